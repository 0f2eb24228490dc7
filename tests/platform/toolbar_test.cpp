// The window toolbar under the headless host: the delegate's questions, items
// made by the delegate or by the toolbar, custom-view item classes, the strip
// above the content, clicks on items, display changes and the screenshot.
#include <cairo.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "CFArray.h"
#include "CFString.h"
#include "HIToolbar.h"
#include "HIView.h"
#include "MacWindows.h"
#include "ViewInternal.h"
#include "WindowInternal.h"

namespace {

CFStringRef S(const char* s) { return CFStringMakeConstantUTF8(s); }

std::string Text(CFStringRef s) {
  char buffer[256] = "";
  if (s) CFStringGetCString(s, buffer, sizeof buffer, kCFStringEncodingUTF8);
  return buffer;
}

const char* const kCustomClass = "com.example.toolbar.custom";

struct Delegate {
  std::vector<std::string> heard;      // 'tbar' kinds and identifiers asked for
  std::vector<UInt32> commands;        // reaching the window
  std::vector<std::string> performed;  // items that took their own action
};

OSStatus DelegateHandler(EventHandlerCallRef, EventRef e, void* data) {
  auto* d = static_cast<Delegate*>(data);
  const EventKind kind = GetEventKind(e);
  CFMutableArrayRef array = nullptr;
  GetEventParameter(e, kEventParamToolbarMutableArray, typeCFMutableArrayRef, nullptr, sizeof array, nullptr, &array);
  switch (kind) {
    case kEventToolbarGetDefaultIdentifiers:
      d->heard.push_back("defaults");
      for (const char* id : {"open", "com.apple.hitoolbox.toolbar.separator", "com.apple.hitoolbox.toolbar.flexiblespace",
                             "unknown", kCustomClass, "save"})
        CFArrayAppendValue(array, S(id));
      return noErr;
    case kEventToolbarGetSelectableIdentifiers:
      d->heard.push_back("selectable");
      CFArrayAppendValue(array, S("open"));
      return noErr;
    case kEventToolbarCreateItemWithIdentifier: {
      CFStringRef id = nullptr;
      GetEventParameter(e, kEventParamToolbarItemIdentifier, typeCFStringRef, nullptr, sizeof id, nullptr, &id);
      d->heard.push_back("create " + Text(id));
      HIToolbarItemRef item = nullptr;
      const std::string name = Text(id);
      if (name == "open" || name == "save") {
        HIToolbarItemCreate(id, 0, &item);
        HIToolbarItemSetLabel(item, name == "open" ? S("Open") : S("Save"));
        HIToolbarItemSetCommandID(item, name == "open" ? 'open' : 'save');
      } else if (name == kCustomClass) {
        EventRef init = nullptr;
        CreateEvent(nullptr, kEventClassHIObject, kEventHIObjectInitialize, 0, 0, &init);
        SetEventParameter(init, kEventParamToolbarItemIdentifier, typeCFStringRef, sizeof id, &id);
        HIObjectCreate(id, init, &item);
        ReleaseEvent(init);
      }
      if (item == nullptr) return eventNotHandledErr;
      SetEventParameter(e, kEventParamToolbarItem, typeHIToolbarItemRef, sizeof item, &item);
      return noErr;
    }
    case kEventToolbarDisplayModeChanged: d->heard.push_back("mode"); return noErr;
    case kEventToolbarDisplaySizeChanged: d->heard.push_back("size"); return noErr;
  }
  return eventNotHandledErr;
}

// The custom item class: its instance data records what it heard.
struct Custom {
  HIObjectRef instance = nullptr;
  HIObjectRef hivi = nullptr;
  HIViewRef view = nullptr;
  std::string identifier;
  Delegate* delegate = nullptr;
};
Delegate* gDelegate = nullptr;

OSStatus CustomHandler(EventHandlerCallRef next, EventRef e, void* data) {
  auto* c = static_cast<Custom*>(data);
  if (GetEventClass(e) == kEventClassHIObject) {
    switch (GetEventKind(e)) {
      case kEventHIObjectConstruct: {
        c = new Custom;
        GetEventParameter(e, kEventParamHIObjectInstance, typeHIObjectRef, nullptr, sizeof c->instance, nullptr,
                          &c->instance);
        GetEventParameter(e, kEventParamHIViewInstance, typeControlRef, nullptr, sizeof c->hivi, nullptr, &c->hivi);
        c->delegate = gDelegate;
        SetEventParameter(e, kEventParamHIObjectInstance, typeVoidPtr, sizeof c, &c);
        return noErr;
      }
      case kEventHIObjectInitialize: {
        OSStatus status = CallNextEventHandler(next, e);
        CFStringRef id = nullptr;
        if (HIToolbarItemCopyIdentifier(c->instance, &id) == noErr && id) {
          c->identifier = Text(id);
          CFRelease(id);
        }
        HIToolbarItemSetLabel(c->instance, S("Search"));
        return status;
      }
      case kEventHIObjectDestruct: delete c; return noErr;
    }
  }
  if (GetEventClass(e) == kEventClassToolbarItem && GetEventKind(e) == kEventToolbarItemCreateCustomView) {
    Rect bounds{0, 0, 22, 120};
    CreateUserPaneControl(nullptr, &bounds, kControlSupportsFocus, &c->view);
    // It takes the focus when asked, as a search field does.
    static const EventTypeSpec kFocus = {kEventClassControl, kEventControlSetFocusPart};
    InstallEventHandler(HIViewGetEventTarget(c->view),
                        [](EventHandlerCallRef, EventRef f, void*) -> OSStatus {
                          ControlPartCode part = kControlEditTextPart;
                          SetEventParameter(f, kEventParamControlPart, typeControlPartCode, sizeof part, &part);
                          return noErr;
                        },
                        1, &kFocus, nullptr, nullptr);
    SetEventParameter(e, kEventParamControlRef, typeControlRef, sizeof c->view, &c->view);
    return noErr;
  }
  if (GetEventClass(e) == kEventClassToolbarItem && GetEventKind(e) == kEventToolbarItemPerformAction) {
    c->delegate->performed.push_back(c->identifier);
    return noErr;
  }
  return eventNotHandledErr;
}

OSStatus WindowCommands(EventHandlerCallRef, EventRef e, void* data) {
  HICommandExtended command{};
  GetEventParameter(e, kEventParamDirectObject, typeHICommand, nullptr, sizeof command, nullptr, &command);
  static_cast<Delegate*>(data)->commands.push_back(command.commandID);
  return noErr;
}

class ToolbarTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    static const EventTypeSpec kEvents[] = {{kEventClassHIObject, kEventHIObjectConstruct},
                                            {kEventClassHIObject, kEventHIObjectInitialize},
                                            {kEventClassHIObject, kEventHIObjectDestruct},
                                            {kEventClassToolbarItem, kEventToolbarItemCreateCustomView},
                                            {kEventClassToolbarItem, kEventToolbarItemPerformAction}};
    ASSERT_EQ(noErr, HIObjectRegisterSubclass(S(kCustomClass), kHIToolbarItemClassID, 0, CustomHandler, 5, kEvents,
                                              nullptr, nullptr));
  }
  void SetUp() override {
    gDelegate = &delegate_;
    Rect bounds{100, 50, 400, 650};
    ASSERT_EQ(noErr, CreateNewWindow(kDocumentWindowClass, kWindowStandardDocumentAttributes, &bounds, &window_));
    static const EventTypeSpec kCommand = {kEventClassCommand, kEventCommandProcess};
    InstallEventHandler(GetWindowEventTarget(window_), WindowCommands, 1, &kCommand, &delegate_, nullptr);
    ASSERT_EQ(noErr, HIToolbarCreate(S("com.example.toolbar"), kHIToolbarIsConfigurable, &toolbar_));
    static const EventTypeSpec kDelegate[] = {{kEventClassToolbar, kEventToolbarGetDefaultIdentifiers},
                                              {kEventClassToolbar, kEventToolbarGetSelectableIdentifiers},
                                              {kEventClassToolbar, kEventToolbarCreateItemWithIdentifier},
                                              {kEventClassToolbar, kEventToolbarDisplayModeChanged},
                                              {kEventClassToolbar, kEventToolbarDisplaySizeChanged}};
    InstallEventHandler(HIObjectGetEventTarget(toolbar_), DelegateHandler, 5, kDelegate, &delegate_, nullptr);
  }
  void TearDown() override {
    if (window_) DisposeWindow(window_);
    if (toolbar_) CFRelease(toolbar_);
  }

  std::vector<HIToolbarItemRef> Items() {
    CFArrayRef array = nullptr;
    HIToolbarCopyItems(toolbar_, &array);
    std::vector<HIToolbarItemRef> items;
    for (CFIndex i = 0; i < CFArrayGetCount(array); ++i)
      items.push_back(static_cast<HIToolbarItemRef>(const_cast<void*>(CFArrayGetValueAtIndex(array, i))));
    CFRelease(array);
    return items;
  }
  // A click (press and release) at a point of the window's content coordinates.
  void Click(CGPoint where) {
    ViewQueueTrackEvent(ViewTrackEvent{true, where, 0});
    EventRef e = nullptr;
    CreateEvent(nullptr, kEventClassMouse, kEventMouseDown, 0, 0, &e);
    SetEventParameter(e, kEventParamWindowMouseLocation, typeHIPoint, sizeof where, &where);
    ViewHandleMouseDown(window_, e);
    ReleaseEvent(e);
    ViewClearTrackEvents();
  }
  // The middle of an item's cell, in content coordinates.
  CGPoint Middle(HIToolbarItemRef item) {
    ToolbarCell cell = CellOf(item);
    HIPoint p{cell.frame.origin.x + cell.frame.size.width / 2, cell.frame.origin.y + cell.frame.size.height - 4};
    return CGPoint{p.x, p.y - WindowToolbarStripHeight(window_)};
  }
  struct ToolbarCell {
    HIViewRef view;
    HIRect frame;
  };
  ToolbarCell CellOf(HIToolbarItemRef item) {
    ToolbarCell c{};
    HIToolbarItemGetView(item, &c.view);
    HIViewRef cell = c.view;
    if (HIViewGetSuperview(cell) != WindowToolbarStrip(window_)) cell = HIViewGetSuperview(cell);
    HIViewGetFrame(cell, &c.frame);
    return c;
  }

  Delegate delegate_;
  WindowRef window_ = nullptr;
  HIToolbarRef toolbar_ = nullptr;
};

TEST_F(ToolbarTest, TheDelegateGivesTheItemsAndTheStripSitsAboveTheContent) {
  Rect content{}, structure{};
  GetWindowBounds(window_, kWindowContentRgn, &content);
  GetWindowBounds(window_, kWindowStructureRgn, &structure);
  ASSERT_EQ(noErr, SetWindowToolbar(window_, toolbar_));
  EXPECT_EQ((std::vector<std::string>{"selectable", "defaults", "create open",
                                      "create com.apple.hitoolbox.toolbar.separator",
                                      "create com.apple.hitoolbox.toolbar.flexiblespace", "create unknown",
                                      std::string("create ") + kCustomClass, "create save"}),
            delegate_.heard);
  auto items = Items();
  ASSERT_EQ(5u, items.size());  // nobody makes "unknown"
  std::vector<std::string> ids;
  for (HIToolbarItemRef item : items) {
    CFStringRef id = nullptr;
    HIToolbarItemCopyIdentifier(item, &id);
    ids.push_back(Text(id));
    CFRelease(id);
    EXPECT_EQ(toolbar_, HIToolbarItemGetToolbar(item));
  }
  EXPECT_EQ((std::vector<std::string>{"open", "com.apple.hitoolbox.toolbar.separator",
                                      "com.apple.hitoolbox.toolbar.flexiblespace", kCustomClass, "save"}),
            ids);
  // Put on but not shown: the content has not moved.
  EXPECT_FALSE(IsWindowToolbarVisible(window_));
  EXPECT_EQ(nullptr, WindowToolbarStrip(window_));
  ASSERT_EQ(noErr, ShowHideWindowToolbar(window_, true, false));
  EXPECT_TRUE(IsWindowToolbarVisible(window_));
  const SInt16 strip = WindowToolbarStripHeight(window_);
  EXPECT_GT(strip, 40);
  Rect shown{}, shownStructure{};
  GetWindowBounds(window_, kWindowContentRgn, &shown);
  GetWindowBounds(window_, kWindowStructureRgn, &shownStructure);
  EXPECT_EQ(content.top + strip, shown.top);
  EXPECT_EQ(content.bottom - content.top, shown.bottom - shown.top);
  EXPECT_EQ(structure.top, shownStructure.top);
  // The flexible space takes what the others leave: "save" ends at the right.
  const HIRect save = CellOf(items[4]).frame;
  EXPECT_NEAR(600 - 4, save.origin.x + save.size.width, 1.0);
  // Hidden again, the content goes back.
  ASSERT_EQ(noErr, ShowHideWindowToolbar(window_, false, false));
  GetWindowBounds(window_, kWindowContentRgn, &shown);
  EXPECT_EQ(content.top, shown.top);
  // Without a toolbar there is nothing to show.
  ASSERT_EQ(noErr, SetWindowToolbar(window_, nullptr));
  EXPECT_EQ(paramErr, ShowHideWindowToolbar(window_, true, false));
}

TEST_F(ToolbarTest, ACustomItemClassMakesItsViewInTheStrip) {
  ASSERT_EQ(noErr, SetWindowToolbar(window_, toolbar_));
  ASSERT_EQ(noErr, ShowHideWindowToolbar(window_, true, false));
  HIToolbarItemRef item = Items()[3];
  auto* custom = static_cast<Custom*>(HIObjectDynamicCast(item, S(kCustomClass)));
  ASSERT_NE(nullptr, custom);
  EXPECT_EQ(item, custom->instance);
  EXPECT_EQ(item, custom->hivi);  // toolbar items hear their instance as views do
  EXPECT_EQ(kCustomClass, custom->identifier);
  CFStringRef label = nullptr;
  HIToolbarItemCopyLabel(item, &label);
  EXPECT_EQ("Search", Text(label));
  CFRelease(label);
  HIViewRef view = nullptr;
  ASSERT_EQ(noErr, HIToolbarItemGetView(item, &view));
  EXPECT_EQ(custom->view, view);
  EXPECT_EQ(window_, HIViewGetWindow(view));
  // The view shares the window's keyboard focus.
  ASSERT_EQ(noErr, SetKeyboardFocus(window_, view, kControlFocusNextPart));
  ControlRef focus = nullptr;
  GetKeyboardFocus(window_, &focus);
  EXPECT_EQ(view, focus);
  // A click on the view goes to the view, not to the item's action.
  HIRect frame{};
  HIViewGetFrame(view, &frame);
  HIPoint inView{frame.size.width / 2, frame.size.height / 2};
  HIViewConvertPoint(&inView, view, nullptr);
  EXPECT_LT(inView.y, 0);
  // Removing the item takes its view out of the strip; the item keeps it.
  CFRetain(item);
  ASSERT_EQ(noErr, HIToolbarRemoveItemAtIndex(toolbar_, 3));
  EXPECT_EQ(nullptr, HIViewGetSuperview(view));
  EXPECT_EQ(nullptr, HIToolbarItemGetToolbar(item));
  CFRelease(item);
  EXPECT_EQ(4u, Items().size());
}

TEST_F(ToolbarTest, ClicksPerformTheItemOrSendItsCommandToTheWindow) {
  ASSERT_EQ(noErr, SetWindowToolbar(window_, toolbar_));
  ASSERT_EQ(noErr, ShowHideWindowToolbar(window_, true, false));
  auto items = Items();
  HIToolbarItemRef open = items[0], save = items[4], custom = items[3];
  Click(Middle(save));
  Click(Middle(open));
  // The custom item's label, below its view, performs the item's own action.
  Click(Middle(custom));
  EXPECT_EQ((std::vector<UInt32>{'save', 'open'}), delegate_.commands);
  EXPECT_EQ((std::vector<std::string>{kCustomClass}), delegate_.performed);
  // "open" is selectable: the click selected it.
  OptionBits attributes = 0;
  HIToolbarItemGetAttributes(open, &attributes);
  EXPECT_TRUE(attributes & kHIToolbarItemSelected);
  HIToolbarItemGetAttributes(save, &attributes);
  EXPECT_FALSE(attributes & kHIToolbarItemSelected);
  // A disabled item does nothing.
  ASSERT_EQ(noErr, HIToolbarItemSetEnabled(save, false));
  EXPECT_FALSE(HIToolbarItemIsEnabled(save));
  Click(Middle(save));
  EXPECT_EQ(2u, delegate_.commands.size());
  // A click in the content below is not the toolbar's.
  Click(CGPoint{10, 10});
  EXPECT_EQ(2u, delegate_.commands.size());
}

TEST_F(ToolbarTest, DisplayChangesAreToldOnceAndResizeTheStrip) {
  ASSERT_EQ(noErr, SetWindowToolbar(window_, toolbar_));
  ASSERT_EQ(noErr, ShowHideWindowToolbar(window_, true, false));
  delegate_.heard.clear();
  const SInt16 normal = WindowToolbarStripHeight(window_);
  Rect before{};
  GetWindowBounds(window_, kWindowContentRgn, &before);
  ASSERT_EQ(noErr, HIToolbarSetDisplaySize(toolbar_, kHIToolbarDisplaySizeSmall));
  ASSERT_EQ(noErr, HIToolbarSetDisplaySize(toolbar_, kHIToolbarDisplaySizeSmall));
  ASSERT_EQ(noErr, HIToolbarSetDisplayMode(toolbar_, kHIToolbarDisplayModeIconOnly));
  ASSERT_EQ(noErr, HIToolbarSetDisplayMode(toolbar_, kHIToolbarDisplayModeDefault));
  EXPECT_EQ((std::vector<std::string>{"size", "mode", "mode"}), delegate_.heard);
  const SInt16 small = WindowToolbarStripHeight(window_);
  EXPECT_LT(small, normal);
  Rect after{};
  GetWindowBounds(window_, kWindowContentRgn, &after);
  EXPECT_EQ(before.top - (normal - small), after.top);
  HIToolbarDisplaySize size = 0;
  HIToolbarGetDisplaySize(toolbar_, &size);
  EXPECT_EQ(kHIToolbarDisplaySizeSmall, size);
  EXPECT_EQ(paramErr, HIToolbarSetDisplayMode(toolbar_, 7));
}

TEST_F(ToolbarTest, TheScreenshotShowsTheStripAboveTheContent) {
  ASSERT_EQ(noErr, SetWindowToolbar(window_, toolbar_));
  ASSERT_EQ(noErr, ShowHideWindowToolbar(window_, true, false));
  const std::string path = std::string(::testing::TempDir()) + "/toolbar-window.png";
  ASSERT_EQ(noErr, WindowWritePNG(window_, path));
  cairo_surface_t* png = cairo_image_surface_create_from_png(path.c_str());
  ASSERT_EQ(CAIRO_STATUS_SUCCESS, cairo_surface_status(png));
  const int strip = WindowToolbarStripHeight(window_);
  EXPECT_EQ(600, cairo_image_surface_get_width(png));
  EXPECT_EQ(300 + strip, cairo_image_surface_get_height(png));
  const unsigned char* data = cairo_image_surface_get_data(png);
  const int stride = cairo_image_surface_get_stride(png);
  // The strip's border line, then the content's background.
  EXPECT_LT(data[(strip - 1) * stride + 300 * 4], 0xB0);
  EXPECT_EQ(0xEC, data[(strip + 100) * stride + 300 * 4]);
  cairo_surface_destroy(png);
}

TEST_F(ToolbarTest, TheWindowKeepsItsToolbarUntilItGoes) {
  ASSERT_EQ(noErr, SetWindowToolbar(window_, toolbar_));
  EXPECT_EQ(2, CFGetRetainCount(toolbar_));
  HIToolbarRef got = nullptr;
  GetWindowToolbar(window_, &got);
  EXPECT_EQ(toolbar_, got);
  // Put on a second window, it leaves the first.
  WindowRef other = nullptr;
  Rect bounds{0, 0, 100, 100};
  ASSERT_EQ(noErr, CreateNewWindow(kDocumentWindowClass, 0, &bounds, &other));
  ASSERT_EQ(noErr, SetWindowToolbar(other, toolbar_));
  GetWindowToolbar(window_, &got);
  EXPECT_EQ(nullptr, got);
  EXPECT_EQ(2, CFGetRetainCount(toolbar_));
  // The delegate was asked once only.
  EXPECT_EQ(1, std::count(delegate_.heard.begin(), delegate_.heard.end(), "defaults"));
  DisposeWindow(other);
  EXPECT_EQ(1, CFGetRetainCount(toolbar_));
}

}  // namespace
