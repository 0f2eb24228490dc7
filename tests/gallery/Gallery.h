// The gallery: one window that shows the framework's pieces together, the
// window toolbar, a strip of toolbars in each of their styles, a split view
// and document tabs whose File > Open adds a tab holding the file in a text
// view. Built with the tests, never installed.
#pragma once

#include <string>
#include <vector>

#include "TDocumentTabsUnit.h"
#include "TPaneUnit.h"
#include "TPreferencesUnit.h"
#include "TSplitViewUnit.h"
#include "TWASTEDocumentUnit.h"
#include "TWindowUnit.h"

enum : UInt32 {
  kGalleryCommandOpen = 'open',
  kGalleryCommandSaveAs = 'svas',
  kGalleryCommandSidebar = 'side',
};

// A text document whose tab shows its name, with a leading "*" while it has
// unsaved changes, and the new name after a Save As.
class TGalleryDocument : public TWASTEDocument {
 public:
  void SetModifiedState(Boolean flag) override;
  void SavedAs() override;
  void Closed() override;

  void MarkTab();
};

class TGalleryWindow : public TWindow {
 public:
  TSplitView* split = nullptr;
  TDocumentTabs* tabs = nullptr;
  std::vector<ControlRef> toolbars;  // one per style, in order
  Boolean sidebarHidden = false;

  void ProcessCommand(const HICommand& command, EventRef event, SInt32& result) override;
  void UpdateCommandStatus(const HICommand& command, EventRef event, SInt32& result) override;
  void Closed() override;

  // Makes the window from the interface file, with its toolbars, split view
  // and tabs, and shows it.
  void Open(IBNibRef nib, TPreferenceHandler* handler);
  // A tab for the file, or the file's tab brought forward.
  void OpenFile(const FSRef& file);
  // Hides the side with the toolbars, or brings it back (animated).
  void ToggleSidebar();
};

// The gallery's interface file.
IBNibRef GalleryNib();
// Registers the view classes the gallery's interface file names.
void GalleryRegisterClasses();
// The menu bar: File with Open, Save, Save As and Close.
void GalleryInstallMenuBar();
// The gallery's window, made and shown; a closed window ends the event loop
// when quitOnClose is set.
TGalleryWindow* GalleryOpenWindow(TPreferenceHandler* handler, bool quitOnClose);

// The tree browser window: folders and files in a Brackenrow browser whose
// rows drag to new places, disclose, are renamed in place (double-click) and
// are saved to and loaded from a tree file.
struct TGalleryTree {
  WindowRef window = nullptr;
  ControlRef browser = nullptr;
};
TGalleryTree* GalleryOpenTreeWindow();
OSStatus GalleryTreeSave(TGalleryTree* tree, const char* path);
OSStatus GalleryTreeLoad(TGalleryTree* tree, const char* path);
// The item's name; empty when there is no such item.
std::string GalleryTreeName(TGalleryTree* tree, SInt32 item);
void GalleryCloseTreeWindow(TGalleryTree* tree);
