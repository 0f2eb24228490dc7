// TProjectBrowser: a project's group tree. The general group browser shows
// the project's five groups in one list; this adds what a project needs:
// the focus menu of the header toolbar's "Project" button (the path from
// the focused folder up to the project), Finder drops anywhere in the tree,
// the removal of a file's settings when its item goes, the contextual menu
// "Project Contextual Menu" with its "Open With" submenu, clearing of
// upload errors on selection and the redraw of rows whose upload runs.
#pragma once

#include "Files.h"
#include "IBCarbonRuntime.h"
#include "Menus.h"
#include "ShortString.h"
#include "TGroupBrowserUnit.h"
#include "TProjectDialogsUnit.h"

class TProject;

// The "Open With" submenu (menu ID kOpenWithMenuID) and its item
// properties (kOpenWithApplicationTag, kOpenWithDocumentTag) are the
// project dialogs'; this browser reads the same tags.

class TProjectBrowser : public TGroupBrowser {
 public:
  TProject* project = nullptr;       // not owned
  MenuRef focusMenu = nullptr;       // the project's header menu; not owned
  MenuRef openWithMenu = nullptr;    // of the last contextual menu; owned
  FSRef bundle{};                    // where the groups are saved
  IBNibRef nib = nullptr;            // the interface file of the contextual menu; not owned

  // Saves the groups, then frees the browser.
  void Release() override;
  // Selecting a source item clears its upload error.
  void ItemNotification(void* data, UInt32 type, DataBrowserItemID item, DataBrowserItemNotification message) override;
  // A file item removed from the open project takes its "FileInfo::"
  // entry with it, unless another item of the project keeps the name.
  void ReleaseItem(void* data, UInt32 type) override;
  // The contextual menu for the selection (the last item decides); the
  // caller releases it.
  MenuRef GetContextualMenu(ItemArrayHandle items, SInt16 count) override;
  void SelectContextualMenu(NodeInfoPtr node, MenuRef menu, SInt16 menuID, UInt16 menuItem) override;
  // Snippets, bookmarks and commands show their names without an icon.
  void DrawItem(void* data, UInt32 type, Boolean container, DataBrowserItemID item, DataBrowserPropertyID property,
                DataBrowserItemState state, CGRect bounds, CGContextRef context) override;
  // Redraws the rows of running uploads.
  void EventLoopTimer() override;
  // Finder files dropped on no row go to the Sources group; drags from a
  // tree of this program are not taken.
  Boolean AcceptItem(void* data, DragRef drag, UInt32 type) override;
  Boolean ReceiveItem(void* data, DragRef drag, UInt32 type) override;
  // Focuses the tree on the item (0: keeps the focus) and rebuilds the
  // focus menu.
  void SetFocus(SInt32 index) override;

  // The index of the first item of the group of that type whose payload
  // name equals name; 0 when there is none.
  virtual SInt32 GetItemByName(UInt32 type, const Str63& name);
};

// The drag carries a flavor on any of its items.
Boolean DragHasFlavor(DragRef drag, FlavorType flavor);
