// TDocumentList: the documents one window shows, in the order they came,
// with one of them active (the one the window's title and its close, save
// and revert commands refer to). The list owns its documents. The unit also
// reopens a saved list of files: each element an 80-byte file reference
// (CFData), or an array of them for the documents of one window.
#pragma once

#include "CFArray.h"
#include "Files.h"
#include "MacWindows.h"

class TDocument;

typedef void (*TDocumentListApplierFunction)(TDocument* document, void* userData);

class TDocumentList {
 public:
  virtual ~TDocumentList() = default;

  CFMutableArrayRef documents = nullptr;  // neither retained nor released
  TDocument* active = nullptr;

  virtual void Create();
  // Releases every document, then the list.
  virtual void Release();
  // A new array of the modified documents (empty when none); the caller
  // releases it.
  virtual CFArrayRef GetDirtyDocuments();
  virtual Boolean ContainsDirtyDocuments();
  virtual TDocument* GetActive();
  // The document after the active one, wrapping; nil when the active one is
  // not in the list.
  virtual TDocument* GetNext();
  virtual SInt16 GetCount();
  // A new array of the documents' 80-byte file references; nil when empty.
  virtual CFArrayRef CopyList();
  virtual void ApplyFunction(TDocumentListApplierFunction function, void* userData);
  virtual TDocument* FindDocument(const FSRef& file);
  virtual void SetActive(TDocument* document);
  virtual void Append(TDocument* document);
  // Takes the document out (not released) and clears the active document.
  virtual void Remove(TDocument* document);
  // Brings the document's pane or tab forward.
  virtual void Select(TDocument* document);
};

extern const CFArrayCallBacks DocumentListArrayCallbacks;

// The list published by the window as ('WIND', 'docL'); nil when none.
TDocumentList* GetWindowDocumentList(WindowRef window);
void RemoveDocumentFromList(TDocument* document, WindowRef window);
// Reopens a saved list: each window's documents together in a new window,
// the window that was in front last; files that are gone are skipped.
void OpenDocumentList(CFArrayRef list);
