// A browser for the tests: a list view with one custom column 'DATA' in a
// headless window, bound by Brackenrow to a host that logs its callbacks.
// Payloads are C strings in memory blocks: the item's name.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "CarbonEvents.h"
#include "DataBrowser.h"
#include "HeadlessHost.h"
#include "MacMemory.h"
#include "MacWindows.h"
#include "brackenrow/Brackenrow.h"

constexpr DataBrowserPropertyID kDataColumn = 'DATA';

inline std::string NameOf(const void* data) { return data ? std::string(static_cast<const char*>(data)) : "-"; }
inline std::string NameOf(NodeInfoPtr node) { return node ? NameOf(node->DATA) : "nil"; }

// What the host heard, and how it answers.
struct Host {
  std::vector<std::string> log;
  int releasedItems = 0;
  int timerTicks = 0;
  int releases = 0;  // the control's RELEASE
  int ticksWhileReleasing = -1;
  std::set<std::string> refuseRemove;
  std::set<std::string> refuseDrag;  // ACCEPTDRAG refuses offers naming these
  std::vector<std::pair<FlavorType, std::string>> offered;   // ACCEPTDRAG: type and bytes
  std::vector<std::pair<FlavorType, std::string>> received;  // RECEIVEDRAG
  std::vector<CGPoint> cursorAtDraw;
  std::vector<UInt32> stateAtDraw;
  int dragImages = 0;
  bool hitAnswer = true;
  bool copyOnReceive = false;  // RECEIVEDRAG appends a copy of a 'NODE' record
  bool drawText = false;       // DRAWITEM / DRAWDRAGIMAGE use the standard text handler
};

inline Host gHost;

inline std::string Bytes(const void* data, FlavorType type) {
  if (data == nullptr) return "";
  const Ptr p = static_cast<Ptr>(const_cast<void*>(data));
  Size n = IsPointerValid(p) ? GetPtrSize(p) : 0;
  if (type == 'dbDG' && n == 4) {
    SInt32 id = 0;
    std::memcpy(&id, data, 4);
    return "#" + std::to_string(id);
  }
  if (type == 'NODE') return "node";
  return std::string(static_cast<const char*>(data), size_t(n)).c_str();
}

namespace hostcb {
inline void ReleaseItem(void*, UInt32, void* ctx) { ++static_cast<Host*>(ctx)->releasedItems; }
inline Boolean RemoveItem(void* data, UInt32, DataBrowserItemID, void* ctx) {
  auto* host = static_cast<Host*>(ctx);
  host->log.push_back("remove? " + NameOf(data));
  return host->refuseRemove.count(NameOf(data)) == 0;
}
inline Boolean Compare(NodeInfoPtr a, NodeInfoPtr b, DataBrowserPropertyID, ControlRef, void*) {
  return NameOf(a) < NameOf(b);
}
inline void Timer(ControlRef, void* ctx) { ++static_cast<Host*>(ctx)->timerTicks; }
// The control goes: the host lets time pass (a sheet, say) before it
// releases the browser.
inline void Release(ControlRef browser, void* ctx) {
  auto* host = static_cast<Host*>(ctx);
  ++host->releases;
  const int ticks = host->timerTicks;
  HeadlessAdvanceClock(0.5);
  host->ticksWhileReleasing = host->timerTicks - ticks;
  BrackenrowRelease(browser);
}
inline Boolean AddDragItem(void*, UInt32, DataBrowserItemID, DragRef, DragItemRef, ControlRef, void*) { return true; }
inline Boolean AcceptDrag(ControlRef, NodeInfoPtr target, DragRef, void* data, FlavorType type, void* ctx) {
  auto* host = static_cast<Host*>(ctx);
  host->offered.emplace_back(type, Bytes(data, type));
  (void)target;
  return host->refuseDrag.count(Bytes(data, type)) == 0;
}
inline void ReceiveDrag(ControlRef browser, NodeInfoPtr target, DragRef, void* data, FlavorType type, void* ctx) {
  auto* host = static_cast<Host*>(ctx);
  host->received.emplace_back(type, Bytes(data, type) + "->" + NameOf(target));
  if (host->copyOnReceive && type == 'NODE') {
    NodeInfoPtr source = nullptr;
    std::memcpy(&source, data, sizeof source);
    std::string copy = NameOf(source) + "'";
    BrackenrowAppendItem(NewPtrCopy(copy.c_str(), Size(copy.size() + 1)), SInt32(copy.size() + 1), 'TEXT', 0, 0,
                         target ? target->INDEX : 0, false, browser);
  }
}
inline void HitDraw(void* data, UInt32, Boolean container, DataBrowserPropertyID property, DataBrowserItemID item,
                    DataBrowserItemState state, CGRect bounds, CGContextRef context, ControlRef browser, void* ctx) {
  auto* host = static_cast<Host*>(ctx);
  host->cursorAtDraw.push_back(BrackenrowGetCursorLocation(browser));
  host->stateAtDraw.push_back(BrackenrowGetCursorState(browser));
  if (host->drawText) {
    CFStringRef text = CFStringCreateWithCString(nullptr, static_cast<const char*>(data), kCFStringEncodingUTF8);
    StandardTextPropertyDrawHandler(nullptr, text, container, property, item, state, bounds, context, browser);
    CFRelease(text);
  }
}
inline void DrawDragImage(void* data, UInt32 type, Boolean container, DataBrowserPropertyID property,
                          DataBrowserItemID item, DataBrowserItemState state, CGRect bounds, CGContextRef context,
                          ControlRef browser, void* ctx) {
  ++static_cast<Host*>(ctx)->dragImages;
  HitDraw(data, type, container, property, item, state, bounds, context, browser, ctx);
}
inline Boolean HitTest(void*, UInt32, ControlRef, CGRect, CGRect, void* ctx) {
  return static_cast<Host*>(ctx)->hitAnswer;
}
}  // namespace hostcb

inline BrackenrowCallbacks HostCallbacks() {
  BrackenrowCallbacks cb{};
  cb.RELEASEITEM = hostcb::ReleaseItem;
  cb.REMOVEITEM = hostcb::RemoveItem;
  cb.COMPAREITEM = hostcb::Compare;
  cb.TIMER = hostcb::Timer;
  cb.ADDDRAGITEM = hostcb::AddDragItem;
  cb.ACCEPTDRAG = hostcb::AcceptDrag;
  cb.RECEIVEDRAG = hostcb::ReceiveDrag;
  cb.DRAWITEM = hostcb::HitDraw;
  cb.CONTEXT = &gHost;
  return cb;
}

class BrowserTest : public ::testing::Test {
 protected:
  void SetUp() override {
    gHost = Host{};
    Rect bounds = {100, 100, 300, 400};
    ASSERT_EQ(noErr, CreateNewWindow(kDocumentWindowClass, kWindowStandardHandlerAttribute, &bounds, &window));
    browser = NewList(Rect{0, 0, 200, 300});
  }
  // Disposing of the window disposes of the lists, which releases the browsers.
  void TearDown() override { DisposeWindow(window); }

  ControlRef NewList(Rect r) {
    ControlRef list = nullptr;
    EXPECT_EQ(noErr, CreateDataBrowserControl(window, &r, kDataBrowserListView, &list));
    DataBrowserListViewColumnDesc column{};
    column.propertyDesc = {kDataColumn, kDataBrowserCustomType, kDataBrowserDefaultPropertyFlags};
    column.headerBtnDesc.minimumWidth = 200;
    AddDataBrowserListViewColumn(list, &column, kDataBrowserListViewAppendColumn);
    SetDataBrowserTableViewNamedColumnWidth(list, kDataColumn, UInt16(r.right - r.left));
    SetDataBrowserListViewDisclosureColumn(list, kDataColumn, true);
    SetDataBrowserTableViewRowHeight(list, 20);
    lists.push_back(list);
    return list;
  }

  void Init(BrackenrowOptions options, ControlRef list = nullptr,
            const BrackenrowCallbacks& callbacks = HostCallbacks()) {
    BrackenrowInitialize(list ? list : browser, options, callbacks);
  }

  SInt32 Append(const std::string& name, SInt32 container = 0, bool isContainer = false, SInt32 index = 0,
                SInt16 group = 0, ControlRef list = nullptr) {
    return BrackenrowAppendItem(NewPtrCopy(name.c_str(), Size(name.size() + 1)), SInt32(name.size() + 1), 'TEXT',
                                group, index, container, isContainer, list ? list : browser);
  }

  std::vector<std::string> Rows(ControlRef list = nullptr) {
    list = list ? list : browser;
    std::vector<std::string> rows;
    for (DataBrowserTableViewRowIndex r = 0;; ++r) {
      DataBrowserItemID id = 0;
      if (GetDataBrowserTableViewItemID(list, r, &id) != noErr) return rows;
      rows.push_back(NameOf(BrackenrowGetNodeAtIndex(SInt32(id), list)));
    }
  }

  // The tree as names, a container's children in brackets.
  static std::string Shape(CFTreeRef tree) {
    std::string out;
    for (CFTreeRef c = CFTreeGetFirstChild(tree); c; c = CFTreeGetNextSibling(c)) {
      if (!out.empty()) out += " ";
      out += NameOf(BrackenrowGetNode(c));
      if (CFTreeGetChildCount(c) > 0) out += "[" + Shape(c) + "]";
    }
    return out;
  }
  std::string Shape() { return Shape(BrackenrowGetTree(browser)); }

  std::vector<std::string> Selected(ControlRef list = nullptr) {
    list = list ? list : browser;
    SInt16 count = 0;
    ItemArrayHandle items = GetSelectedBrowserItems(list, count);
    std::vector<std::string> names;
    for (SInt16 i = 0; i < count; ++i) names.push_back(NameOf(BrackenrowGetNodeAtIndex(SInt32((*items)[i]), list)));
    if (items) DisposeHandle(reinterpret_cast<Handle>(items));
    return names;
  }

  void Select(std::vector<SInt32> ids, ControlRef list = nullptr) {
    std::vector<DataBrowserItemID> items(ids.begin(), ids.end());
    SetDataBrowserSelectedItems(list ? list : browser, UInt32(items.size()), items.data(), kDataBrowserItemsAssign);
  }

  // The content part of the item's cell, in window content coordinates.
  Rect Cell(SInt32 item, ControlRef list = nullptr) {
    Rect r{};
    EXPECT_EQ(noErr, GetDataBrowserItemPartBounds(list ? list : browser, DataBrowserItemID(item), kDataColumn,
                                                  kDataBrowserPropertyContentPart, &r));
    return r;
  }

  // A click at a window point, as the list hears it.
  void Click(ControlRef list, CGPoint inWindow, UInt32 clicks = 1) {
    HIPoint p = inWindow;
    HIViewConvertPoint(&p, nullptr, list);
    EventRef e = nullptr;
    CreateEvent(nullptr, kEventClassControl, kEventControlClick, 0, 0, &e);
    SetEventParameter(e, kEventParamDirectObject, typeControlRef, sizeof list, &list);
    SetEventParameter(e, kEventParamMouseLocation, typeHIPoint, sizeof p, &p);
    UInt32 modifiers = 0;
    SetEventParameter(e, kEventParamKeyModifiers, typeUInt32, sizeof modifiers, &modifiers);
    SetEventParameter(e, kEventParamClickCount, typeUInt32, sizeof clicks, &clicks);
    SendEventToEventTarget(e, GetControlEventTarget(list));
    ReleaseEvent(e);
  }

  WindowRef window = nullptr;
  ControlRef browser = nullptr;
  std::vector<ControlRef> lists;
};
