// The gallery's tree browser: a window with a Brackenrow browser of folders
// and files whose rows drag to new places (into an open folder, or between
// rows), disclose their children, are renamed in place and are saved to and
// loaded from a tree file.
#include <cstdio>
#include <cstring>

#include "Gallery.h"
#include "Icons.h"
#include "MacMemory.h"
#include "MacWindows.h"
#include "brackenrow/Brackenrow.h"

namespace {

constexpr DataBrowserPropertyID kTreeColumn = 'DATA', kNameColumn = 'TEXT';
constexpr UInt32 kEntryType = 'GENT';
constexpr Size kNameSize = 64;

std::string NameOf(const void* data) { return data ? std::string(static_cast<const char*>(data)) : std::string(); }

IconRef Icon(bool folder) {
  static IconRef icons[2] = {};
  IconRef& icon = icons[folder ? 1 : 0];
  if (icon == nullptr) GetIconRef(0, 'macs', folder ? kGenericFolderIcon : kGenericDocumentIcon, &icon);
  return icon;
}

void FillCell(void* data, UInt32, DataBrowserItemID, DataBrowserPropertyID property, DataBrowserItemDataRef itemData,
              void*) {
  if (property != kNameColumn) return;
  CFStringRef text = CFStringCreateWithCString(nullptr, static_cast<const char*>(data), kCFStringEncodingUTF8);
  SetDataBrowserItemDataText(itemData, text);
  if (text) CFRelease(text);
}

// A name edited in place.
void Rename(void* data, DataBrowserItemID item, DataBrowserPropertyID, CFStringRef text, void* context) {
  auto* tree = static_cast<TGalleryTree*>(context);
  char name[kNameSize] = {};
  if (!CFStringGetCString(text, name, sizeof name, kCFStringEncodingUTF8) || name[0] == 0) return;
  std::memcpy(data, name, sizeof name);
  BrackenrowSetModified(tree->browser);
  BrackenrowUpdateItem(SInt32(item), tree->browser);
}

void DrawRow(void* data, UInt32, Boolean container, DataBrowserPropertyID property, DataBrowserItemID item,
             DataBrowserItemState state, CGRect bounds, CGContextRef context, ControlRef browser, void*) {
  CFStringRef text = CFStringCreateWithCString(nullptr, static_cast<const char*>(data), kCFStringEncodingUTF8);
  StandardTextPropertyDrawHandler(Icon(container), text, container, property, item, state, bounds, context, browser);
  if (text) CFRelease(text);
}

Boolean Draggable(void*, UInt32, DataBrowserItemID, DragRef, DragItemRef, ControlRef, void*) { return true; }

// Rows of this browser are taken anywhere; the library moves them.
Boolean Accept(ControlRef, NodeInfoPtr, DragRef, void*, FlavorType type, void*) { return type == kEntryType; }

Ptr NewEntry(const char* name) {
  Ptr block = NewPtrClear(kNameSize);
  std::strncpy(block, name, kNameSize - 1);
  return block;
}

SInt32 Add(TGalleryTree* tree, const char* name, SInt32 folder, bool isFolder) {
  return BrackenrowAppendItem(NewEntry(name), kNameSize, kEntryType, 0, 0, folder, isFolder, tree->browser);
}

}  // namespace

TGalleryTree* GalleryOpenTreeWindow() {
  auto* tree = new TGalleryTree();
  Rect bounds{80, 720, 480, 1140};
  if (CreateNewWindow(kDocumentWindowClass, kWindowStandardHandlerAttribute | kWindowCloseBoxAttribute, &bounds,
                      &tree->window) != noErr) {
    delete tree;
    return nullptr;
  }
  SetWindowTitleWithCFString(tree->window, CFSTR("Tree"));
  Rect frame{8, 8, 392, 412};
  CreateDataBrowserControl(tree->window, &frame, kDataBrowserListView, &tree->browser);
  ControlRef browser = tree->browser;
  struct Column {
    DataBrowserPropertyID id;
    DataBrowserPropertyType type;
    DataBrowserPropertyFlags flags;
    CFStringRef title;
    UInt16 width;
  } columns[] = {{kTreeColumn, kDataBrowserCustomType, 0, CFSTR("Tree"), 240},
                 {kNameColumn, kDataBrowserTextType, kDataBrowserPropertyIsEditable, CFSTR("Name"), 160}};
  for (const Column& c : columns) {
    DataBrowserListViewColumnDesc desc{};
    desc.propertyDesc = {c.id, c.type, c.flags};
    desc.headerBtnDesc.titleString = c.title;
    desc.headerBtnDesc.minimumWidth = c.width;
    desc.headerBtnDesc.maximumWidth = c.width;
    AddDataBrowserListViewColumn(browser, &desc, kDataBrowserListViewAppendColumn);
    SetDataBrowserTableViewNamedColumnWidth(browser, c.id, c.width);
  }
  SetDataBrowserListViewHeaderBtnHeight(browser, 18);
  SetDataBrowserListViewDisclosureColumn(browser, kTreeColumn, true);
  SetDataBrowserTableViewRowHeight(browser, 20);

  BrackenrowCallbacks callbacks{};
  callbacks.SETITEMDATA = FillCell;
  callbacks.SETITEMTEXT = Rename;
  callbacks.DRAWITEM = DrawRow;
  callbacks.DRAWDRAGIMAGE = DrawRow;
  callbacks.ADDDRAGITEM = Draggable;
  callbacks.ACCEPTDRAG = Accept;
  callbacks.CONTEXT = tree;
  BrackenrowInitialize(browser, kBrackenrowAllocateTree | kBrackenrowArrangeRowOrder | kBrackenrowDrawOutlines |
                                    kBrackenrowAlternatingRowColors | kBrackenrowDrawSingleDragImage,
                       callbacks);
  SInt32 site = Add(tree, "site", 0, true);
  SInt32 css = Add(tree, "css", site, true);
  Add(tree, "site.css", css, false);
  Add(tree, "print.css", css, false);
  Add(tree, "index.php", site, false);
  SInt32 scripts = Add(tree, "scripts", 0, true);
  Add(tree, "app.js", scripts, false);
  Add(tree, "README.md", 0, false);
  Add(tree, "notes.txt", 0, false);
  BrackenrowResetModCount(browser);
  OpenDataBrowserContainer(browser, DataBrowserItemID(site));
  ShowWindow(tree->window);
  return tree;
}

OSStatus GalleryTreeSave(TGalleryTree* tree, const char* path) {
  // The tree file is written over an existing file.
  if (FILE* f = std::fopen(path, "a")) std::fclose(f);
  FSRef where{};
  OSStatus status = FSPathMakeRef(reinterpret_cast<const UInt8*>(path), &where, nullptr);
  if (status != noErr) return status;
  BrackenrowSetModified(tree->browser);  // saved even when unchanged
  return BrackenrowSave(where, tree->browser);
}

OSStatus GalleryTreeLoad(TGalleryTree* tree, const char* path) {
  FSRef where{};
  OSStatus status = FSPathMakeRef(reinterpret_cast<const UInt8*>(path), &where, nullptr);
  if (status != noErr) return status;
  return BrackenrowLoad(where, tree->browser);
}

std::string GalleryTreeName(TGalleryTree* tree, SInt32 item) {
  return NameOf(BrackenrowGetNodeAtIndex(item, tree->browser) ? BrackenrowGetNodeAtIndex(item, tree->browser)->DATA
                                                                 : nullptr);
}

void GalleryCloseTreeWindow(TGalleryTree* tree) {
  if (tree == nullptr) return;
  if (tree->window) DisposeWindow(tree->window);
  delete tree;
}
