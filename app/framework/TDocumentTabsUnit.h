// Document tabs: one document per tab of a window. TDocumentTabs keeps the
// window's document list in step with its tabs, TDocumentPane is the tab
// pane that holds one document (and asks before a modified one closes), and
// TTabDocument renames its tab when it is saved under a new name.
#pragma once

#include "TDocumentUnit.h"
#include "TTabsUnit.h"

class TDocumentPane;
class TWindow;

class TDocumentTabs : public TTabs {
 public:
  TWindow* Controller = nullptr;  // not owned

  void Create(ControlRef view) override;
  void Append(TTabPane* pane) override;
  void Select(TTabPane* pane) override;
  void Remove(TTabPane* pane) override;

  // The first pane in tab order whose document is the same file; nil when none.
  virtual TDocumentPane* FindByDocument(TDocument* document);
  virtual void SetController(TWindow* window);

  // The pane's document has closed: it leaves the controller's list and is
  // released, and the window's modified mark follows.
  void DocumentClosed(TDocument* document);
};

class TDocumentPane : public TTabPane {
 public:
  TDocumentPane();
  ~TDocumentPane() override;
  TDocumentPane(const TDocumentPane&) = delete;
  TDocumentPane& operator=(const TDocumentPane&) = delete;

  TDocument* document = nullptr;  // released when its tab closes

  // A document that goes is let go of by every pane that shows it, whoever
  // owns it (a window's list may free it before the panes' views go).
  static void DocumentGone(TDocument* document);

  void ReleaseViewObject() override;
  void Close() override;
  void Attach(WindowRef window) override;
  void Load() override;
  // In tabs, the document goes with the pane's view.
  void Release() override;

  virtual void SetDocument(TDocument* inDocument);
};

class TTabDocument : public TDocument {
 public:
  // The tab shows the file's new name, without an icon.
  void SavedAs() override;
};
