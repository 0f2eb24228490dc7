// TDocument: one open file or untitled text as the framework sees it: its
// name, its file, whether it has unsaved changes, and the settings its text
// is read and written with. The view that shows it is its owner; a change
// of the modified flag tells the owner's window with the command 'upms'.
// Editors derive their documents from it and override Open, Save, Loaded,
// Closed and SavedAs.
#pragma once

#include "Files.h"
#include "MacTypes.h"
#include "ShortString.h"
#include "TFileStampUnit.h"
#include "TObjectUnit.h"

class TView;

// Sent to the owner's window whenever the modified flag is set.
constexpr UInt32 kHICommandUpdateModifiedState = 'upms';

extern const Str63 kUntitledDocumentName;  // "(Untitled)"
extern const Str255 kDefaultDocumentFont;  // "Andale Mono"
constexpr SInt16 kDefaultDocumentFontSize = 12;

class TDocument : public TObject {
 public:
  TDocument() = default;

  Str63 name;
  FSRef file{};  // all zero for an untitled document
  Boolean modified = false;
  UInt32 encoding = 0;
  // Its first character is the line ending the file is saved with (a CR LF
  // pair stays a pair); empty leaves the file's endings as written.
  Str15 lineEndings;
  OSType fileType = 0;
  Str255 fontName;
  SInt16 fontSize = 0;
  TView* owner = nullptr;  // not owned
  UInt32 saveOption = 0;
  // The file as it was last read or saved (to notice another program's change).
  TFileStamp diskStamp;

  virtual void Create(const FSRef& ref);
  virtual void CreateEmpty();
  // Clears the modified flag; subclasses read the file first. 0 or a status.
  virtual SInt32 Open();
  // Clears the modified flag and rewrites the line endings; subclasses write
  // the text first and call it only when that succeeded.
  virtual SInt32 Save();
  virtual void Closed() {}
  // The document's text has been read in full.
  virtual void Loaded() {}
  // Rewrites the saved file with the document's line endings, through a
  // temporary file, so that a failure leaves the file as it was.
  virtual void ConvertLineEndings();
  virtual void SavedAs() {}
  virtual void SetOwner(TView* view);
  virtual void SetModifiedState(Boolean flag);
  virtual void SetFont(SInt16 family, SInt16 size);
  virtual void SetEncoding(UInt32 textEncoding);
  virtual void SetLineEndings(const Str15& endings);
  virtual void Release();
};
