// Internal to the toolbar files: the records behind toolbars and their items.
#pragma once

#include <string>
#include <vector>

#include "HIToolbar.h"
#include "HIViewRecord.h"

struct ToolbarData {
  HIToolbarRef self = nullptr;
  CFStringRef identifier = nullptr;  // retained
  OptionBits attributes = 0;
  HIToolbarDisplayMode mode = kHIToolbarDisplayModeDefault;
  HIToolbarDisplaySize size = kHIToolbarDisplaySizeDefault;
  std::vector<HIToolbarItemRef> items;  // one reference each
  WindowRef window = nullptr;           // the window it is on
  bool populated = false;               // the delegate gave its default items
  std::vector<std::string> selectable;  // identifiers (UTF-8)
};

enum class StandardItem { None, Separator, Space, FlexibleSpace };

struct ToolbarItemData {
  HIToolbarItemRef self = nullptr;
  CFStringRef identifier = nullptr;  // retained
  OptionBits attributes = 0;
  CFStringRef label = nullptr;  // retained
  CFStringRef help = nullptr;   // retained
  IconRef icon = nullptr;       // acquired
  CGImageRef image = nullptr;   // retained
  MenuCommand command = 0;
  HIToolbarRef toolbar = nullptr;  // the toolbar it is in
  HIViewRef view = nullptr;        // the custom view (the item's reference)
  bool askedView = false;
  HIViewRef cell = nullptr;        // the strip's view of the item, while a strip shows it
  StandardItem standard = StandardItem::None;
};

ToolbarData* ToolbarDataOf(HIToolbarRef toolbar);
ToolbarItemData* ToolbarItemDataOf(HIToolbarItemRef item);
std::string ToolbarUTF8(CFStringRef s);
// Asks the item for its custom view once; the answer stays.
HIViewRef ToolbarItemCustomView(ToolbarItemData* item);
// Sends a 'tbit' change event to the item.
void ToolbarItemTell(ToolbarItemData* item, EventKind kind);

// ToolbarStrip.cpp: the strip of the window the toolbar is on, if it shows.
void ToolbarStripRebuild(WindowRef window);
void ToolbarStripRelayout(WindowRef window);
void ToolbarStripInvalidate(WindowRef window);
void ToolbarStripDrop(WindowRef window);
// The cell of an item leaves the strip (the item leaves the toolbar).
void ToolbarStripForgetItem(ToolbarItemData* item);
// The strip's height for the toolbar's display mode and size.
SInt16 ToolbarStripHeightFor(const ToolbarData* toolbar);
