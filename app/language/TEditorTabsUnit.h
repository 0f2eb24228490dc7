// TEditorTabsUnit: the tab bar of an editor window with several documents,
// and the editor-window interface (TEditorWindowAbstract) through which the
// units that cannot depend on the editor window itself reach one: the tabs,
// the source documents, the find engine and the panes of later units. The
// tab bar takes files and text dropped onto it: a text file opens in a new
// tab, an image or an address as a page, other text as a new untitled
// document.
#pragma once

#include "CFArray.h"
#include "Drag.h"
#include "IBCarbonRuntime.h"
#include "ShortString.h"
#include "TDocumentTabsUnit.h"
#include "TPaneUnit.h"
#include "TWindowUnit.h"

class TFind;
class TModePane;
class TProject;
class TSplitView;

// Window kind of every editor window.
constexpr SInt16 kEditorWindowKind = 1;

// Window properties of an editor window (creator 'WIND', pointer-sized).
constexpr OSType kEditorWindowFindTag = 'QURY';
constexpr OSType kEditorWindowProjectTag = 'PROJ';

class TEditorWindowAbstract : public TWindow {
 public:
  Boolean Integrated = false;
  Boolean NoToolbar = false;
  TSplitView* MainSplit = nullptr;  // integrated windows only
  TFind* Find = nullptr;            // owned
  TProject* Project = nullptr;      // shared with the project's other windows
  CFMutableArrayRef ErrorList = nullptr;  // owns its blocks

  // A file (nil: an untitled document) in a new editor pane; the text, when
  // given, is a block of UTF-16 put at the start of the document.
  virtual void NewFile(const FSRef* file, Ptr text) = 0;
  // A page in a preview pane: a new tab, or in place of the owner's editor.
  virtual void NewURL(const Str255& url, TDocumentPane* owner) = 0;
  virtual void NewFTPFile(TDocument* document) = 0;
  virtual TModePane* GetModePane() = 0;
  virtual void PreviewNewWindow(const Str255& url) = 0;
  virtual void UpdateSidePane(TDocumentPane* pane) = 0;
  virtual void UpdateHTMLViewer() = 0;
  virtual void UpdateSymbols() = 0;
};

// The front editor window (the front window of kind 1) when it is one; nil
// otherwise.
TEditorWindowAbstract* FrontEditorWindow();

class TEditorTabs : public TDocumentTabs {
 public:
  // Also brings the side pane up to date for the document the tab shows.
  void Select(TTabPane* pane) override;
  // Files ('hfs ') and Unicode text ('utxt').
  Boolean AcceptDrag(TTabPane* pane, Ptr data, UInt32 flavor, DragRef drag) override;
  // Opens what was dropped in the front editor window; false when there is
  // none or the file cannot be named.
  Boolean ReceiveDrag(TTabPane* pane, Ptr data, UInt32 flavor, DragRef drag) override;
};

constexpr OSType kEditorTabsSignature = 'TABS';
constexpr SInt32 kEditorTabsID = 128;

class TEditorTabPane : public TPane {
 public:
  TEditorTabs* tabs = nullptr;  // owned: it ends with its tab view

  // The pane, then its tab bar on the view ('TABS', 128) of the pane's
  // interface window, controlled by the pane's owner window.
  void Create(const Str63& name, IBNibRef nib) override;
};

// What a dropped text opens as: a page when the part before its first ":"
// is "http", "ftp" or "file"; otherwise the text of a new document.
Boolean DroppedTextIsURL(CFStringRef text);
