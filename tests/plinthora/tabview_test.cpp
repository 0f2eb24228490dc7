// The tab view: tabs and panes, selection and its notices, removal, the tab
// commands of the window, the record getters, drawing geometry, clicks,
// the pane menu and drags.
#include "MacMemory.h"
#include "MenuInternal.h"
#include "PlinthoraTestSupport.h"
#include "TestBitmap.h"
#include "plinthora/TabTypes.h"

using namespace plinthora_test;

namespace {

TabData* Record(HIViewRef view) {
  TabData* d = nullptr;
  GetControlProperty(view, kTabViewCreatorTag, kTabViewDataPropertyTag, sizeof d, nullptr, &d);
  return d;
}

TabInfo Tab(HIViewRef view, CFIndex index) {
  TabInfo tab{};
  CFArrayRef tabs = TabViewGetTabArray(view);
  CFDataGetBytes(static_cast<CFDataRef>(CFArrayGetValueAtIndex(tabs, index - 1)), CFRange{0, sizeof tab},
                 reinterpret_cast<UInt8*>(&tab));
  return tab;
}

std::string MenuText(MenuRef menu, MenuItemIndex item) {
  CFStringRef text = nullptr;
  CopyMenuItemTextAsCFString(menu, item, &text);
  char buffer[256] = {0};
  if (text) {
    CFStringGetCString(text, buffer, sizeof buffer, kCFStringEncodingUTF8);
    CFRelease(text);
  }
  return buffer;
}

struct Host {
  std::vector<std::string> notices;
  std::vector<HIViewRef> panes;
  WindowRef temporary = nullptr;  // handed back as outWindow once
  bool accept = true;
  std::vector<FlavorType> offered, received;
};

TabCallbacks HostCallbacks() {
  TabCallbacks c{};
  c.CREATEPANE = [](SInt16, const Str63&, void*, WindowRef, WindowRef& outWindow, void* context) -> ControlRef {
    Host& h = *static_cast<Host*>(context);
    if (h.temporary) outWindow = std::exchange(h.temporary, nullptr);
    HIViewRef pane = NewPlainView(nullptr);
    h.panes.push_back(pane);
    return pane;
  };
  c.NOTIFY = [](SInt16 message, SInt16 tab, SInt16 kind, const Str63& name, void* paneContext, ControlRef,
                void* context) {
    static const char* const kMessages[] = {"", "closed", "selected", "removed"};
    static_cast<Host*>(context)->notices.push_back(std::string(kMessages[message]) + " " + std::to_string(tab) + " " +
                                                   name.str() + " " + std::to_string(kind) +
                                                   (paneContext ? " ctx" : ""));
  };
  c.ACCEPTDRAG = [](Ptr, UInt32 type, DragRef, void*, void* context) -> Boolean {
    static_cast<Host*>(context)->offered.push_back(type);
    return static_cast<Host*>(context)->accept;
  };
  c.RECEIVEDRAG = [](Ptr data, UInt32 type, DragRef, void*, void* context) -> Boolean {
    static_cast<Host*>(context)->received.push_back(type);
    return data != nullptr;
  };
  return c;
}

struct TabViewTest : WindowTest {
  HIViewRef container = nullptr, tabs = nullptr;
  Host host;
  static constexpr CGFloat kWidth = 600;
  void SetUp() override {
    WindowTest::SetUp();
    container = NewPlainView(HIViewGetRoot(window), CGRect{{0, 0}, {kWidth, 400}});
    HIViewChangeFeatures(container, kHIViewFeatureAllowsSubviews, 0);
    tabs = Make({});
  }
  HIViewRef Make(const std::vector<Param>& params) {
    HIViewRef view = NewView(kTabViewClassID, nullptr, CGRect{{0, 0}, {kWidth, kTabHeight}}, params);
    HIViewAddSubview(container, view);
    TabViewSetCallbacks(view, HostCallbacks(), reinterpret_cast<Ptr>(&host));
    return view;
  }
  void Append(const char* name, SInt16 tab = kTabViewNewTab, SInt16 kind = 1, void* context = nullptr) {
    TabViewAppend(tabs, tab, kind, name, nullptr, 0, static_cast<Ptr>(context));
  }
  void Draw() {
    Bitmap bitmap(int(kWidth), kTabHeight);
    HIViewDrawInContext(tabs, bitmap.context);
  }
  OSStatus Command(UInt32 id, MenuRef menu = nullptr, MenuItemIndex item = 0) {
    EventRef e = nullptr;
    CreateEvent(nullptr, kEventClassCommand, kEventCommandProcess, 0, 0, &e);
    HICommand command{};
    command.commandID = id;
    command.attributes = menu ? UInt32(kHICommandFromMenu) : 0u;
    command.menu.menuRef = menu;
    command.menu.menuItemIndex = item;
    SetEventParameter(e, kEventParamDirectObject, typeHICommand, sizeof command, &command);
    const OSStatus status = SendEventToEventTarget(e, GetWindowEventTarget(window));
    ReleaseEvent(e);
    return status;
  }
  std::vector<std::string> TakeNotices() { return std::exchange(host.notices, {}); }
};

TEST(TabViewClass, RegistersOnceAndReadsItsStyle) {
  RegisterOnce();
  EXPECT_EQ(RegisterTabViewClass(), hiObjectClassExistsErr);
  struct Case {
    const char* name;
    SInt16 style;
  } cases[] = {{"standard", 1}, {"glossy metal", 2}, {"metallic", 3}, {"toolbar", 4}, {"other", 1}};
  for (const auto& c : cases) {
    HIViewRef view = NewView(kTabViewClassID, nullptr, CGRect{{0, 0}, {100, 24}},
                             {StringParam(kTabViewKindParameterTag, c.name)});
    EXPECT_EQ(Record(view)->STYLE, c.style) << c.name;
    // A tab-track placard takes the same style number by name.
    ControlRef placard = nullptr;
    Rect r = {0, 0, 20, 100};
    CreatePlacardControl(nullptr, &r, &placard);
    HICustomButtonCreateTabTrack(c.name, placard);
    SInt16 stored = 0;
    GetControlProperty(placard, kCustomButtonCreatorTag, kCustomButtonTabPropertyTag, sizeof stored, nullptr, &stored);
    EXPECT_EQ(stored, c.style) << c.name;
    DisposeControl(placard);
    CFRelease(view);
  }
}

TEST_F(TabViewTest, AppendingMakesPanesBelowTheBarAndSelects) {
  Rect bounds = {0, 0, 10, 10};
  CreateNewWindow(kDocumentWindowClass, 0, &bounds, &host.temporary);
  WindowRef temporary = host.temporary;
  Append("One", kTabViewNewTab, 1, &host);
  EXPECT_FALSE(IsValidWindowPtr(temporary));  // released once the pane was in place
  Append("Two");
  Append(std::string(70, 'x').c_str(), 1, 2);  // a second pane of tab 1
  EXPECT_EQ(TakeNotices(), (std::vector<std::string>{"selected 1 One 1 ctx", "selected 2 Two 1",
                                                      "selected 1 " + std::string(63, 'x') + " 2"}));
  EXPECT_EQ(TabViewGetCount(tabs), 2);
  EXPECT_EQ(TabViewGetActive(tabs), 1);
  ASSERT_EQ(host.panes.size(), 3u);
  for (HIViewRef pane : host.panes) {
    EXPECT_EQ(HIViewGetSuperview(pane), container);
    EXPECT_EQ(FrameOf(pane), (CGRect{{0, kTabHeight}, {kWidth, 400 - kTabHeight}}));
  }
  // Only the shown pane of the selected tab is visible, below the bar.
  EXPECT_FALSE(HIViewIsVisible(host.panes[0]));
  EXPECT_FALSE(HIViewIsVisible(host.panes[1]));
  EXPECT_TRUE(HIViewIsVisible(host.panes[2]));
  EXPECT_EQ(HIViewGetNextView(host.panes[2]), tabs);
  // Panes follow their superview's size.
  CGRect bigger{{0, 0}, {kWidth + 100, 500}};
  HIViewSetFrame(container, &bigger);
  EXPECT_EQ(FrameOf(host.panes[0]), (CGRect{{0, kTabHeight}, {kWidth + 100, 500 - kTabHeight}}));

  const TabInfo first = Tab(tabs, 1);
  EXPECT_EQ(first.ACTIVE, 2);
  EXPECT_EQ(first.OWNER, tabs);
  EXPECT_EQ(CountMenuItems(first.MENU), 2);
  EXPECT_EQ(MenuText(first.MENU, 1), "One");
  MenuCommand command = 0;
  GetMenuItemCommandID(first.MENU, 2, &command);
  EXPECT_EQ(command, kHICommandSelectTabPane);
  Append("Nowhere", 7);  // no such tab
  EXPECT_EQ(host.panes.size(), 3u);
}

TEST_F(TabViewTest, RemovingSelectsTheLastTabLeft) {
  Append("One");
  Append("Two");
  Append("Three");
  TabViewSelect(tabs, 1);
  TakeNotices();
  HIViewRef removedPane = host.panes[1];
  MenuRef menu = Tab(tabs, 2).MENU;
  RetainMenu(menu);
  TabViewRemove(2, tabs);
  EXPECT_EQ(TakeNotices(), (std::vector<std::string>{"removed 2 Two 1", "selected 2 Three 1"}));
  EXPECT_EQ(GetMenuRetainCount(menu), 1u);  // the tab's menu went with it
  ReleaseMenu(menu);
  EXPECT_EQ(HIViewGetSuperview(removedPane), nullptr);
  EXPECT_EQ(Tab(tabs, 2).INDEX, 2);
  EXPECT_EQ(TabViewGetActive(tabs), 2);

  TabViewRemove(9, tabs);  // past the end: nothing
  TabViewRemove(-5, tabs);
  EXPECT_EQ(TabViewGetCount(tabs), 2);
  EXPECT_TRUE(TakeNotices().empty());

  int marker = 0;
  Append("Marked", kTabViewNewTab, 3, &marker);
  TakeNotices();
  TabViewRemoveByContext(reinterpret_cast<Ptr>(&host), tabs);  // nobody's context
  EXPECT_EQ(TabViewGetCount(tabs), 3);
  TabViewRemoveByContext(reinterpret_cast<Ptr>(&marker), tabs);
  EXPECT_EQ(TabViewGetCount(tabs), 2);
  TabViewRemove(1, tabs);
  TakeNotices();
  TabViewRemove(1, tabs);
  EXPECT_EQ(TakeNotices(), (std::vector<std::string>{"removed 1 Three 1"}));
  EXPECT_EQ(TabViewGetActive(tabs), 0);
}

TEST_F(TabViewTest, WindowCommandsStepAddAndChoosePanes) {
  Append("One");
  Append("Two");
  Append("Two b", 2);
  Draw();  // the commands arrive from the first draw on
  TakeNotices();
  struct Step {
    UInt32 command;
    SInt16 tab, pane;
  } steps[] = {{kHICommandNextTab, 1, 1},     {kHICommandPreviousTab, 2, 2}, {kHICommandPreviousTab, 1, 1},
               {kHICommandNextTab, 2, 2},     {kHICommandNextPane, 2, 1},    {kHICommandNextPane, 2, 2},
               {kHICommandPreviousPane, 2, 1}};
  for (const auto& s : steps) {
    EXPECT_EQ(Command(s.command), noErr);
    EXPECT_EQ(TabViewGetActive(tabs), s.tab);
    EXPECT_EQ(Tab(tabs, s.tab).ACTIVE, s.pane);
  }
  TakeNotices();
  EXPECT_EQ(Command(kHICommandAddTab), noErr);
  EXPECT_EQ(TakeNotices(), (std::vector<std::string>{"selected 3 Untitled 0"}));
  EXPECT_EQ(host.panes.size(), 4u);

  // A pane chosen from a tab's menu after an earlier tab went.
  MenuRef menu = Tab(tabs, 2).MENU;
  TabViewRemove(1, tabs);
  TakeNotices();
  EXPECT_EQ(Command(kHICommandSelectTabPane, menu, 2), noErr);
  EXPECT_EQ(TabViewGetActive(tabs), 1);
  EXPECT_EQ(Tab(tabs, 1).ACTIVE, 2);
  MenuRef stranger = nullptr;
  CreateNewMenu(0, 0, &stranger);
  EXPECT_EQ(Command(kHICommandSelectTabPane, stranger, 1), eventNotHandledErr);
  ReleaseMenu(stranger);

  HIViewSetVisible(tabs, false);
  EXPECT_EQ(Command(kHICommandNextTab), eventNotHandledErr);
  HIViewSetVisible(tabs, true);
  DisposeControl(tabs);
  EXPECT_EQ(Command(kHICommandNextTab), eventNotHandledErr);
}

TEST_F(TabViewTest, EachWindowGetsItsOwnTabCommands) {
  WindowRef other = nullptr;
  Rect bounds = {100, 100, 300, 400};
  ASSERT_EQ(CreateNewWindow(kDocumentWindowClass, kWindowStandardHandlerAttribute, &bounds, &other), noErr);
  ShowWindow(other);
  HIViewRef second = NewView(kTabViewClassID, other, CGRect{{0, 0}, {300, kTabHeight}});
  TabViewSetCallbacks(second, HostCallbacks(), reinterpret_cast<Ptr>(&host));
  TabViewAppend(second, kTabViewNewTab, 1, "A", nullptr, 0, nullptr);
  TabViewAppend(second, kTabViewNewTab, 1, "B", nullptr, 0, nullptr);
  Append("One");
  Append("Two");
  Draw();
  Bitmap bitmap(300, kTabHeight);
  HIViewDrawInContext(second, bitmap.context);
  EXPECT_EQ(Command(kHICommandNextTab), noErr);
  EXPECT_EQ(TabViewGetActive(tabs), 1);
  EXPECT_EQ(TabViewGetActive(second), 2);
  DisposeWindow(other);
}

TEST_F(TabViewTest, GettersAndIterationByIndex) {
  SInt16 kind = -1;
  EXPECT_EQ(TabViewGetPanes(tabs, kTabViewAll), nullptr);
  EXPECT_EQ(TabViewGetContext(tabs, 0, 0, kind), nullptr);
  EXPECT_EQ(kind, 0);
  int a = 0, b = 0, c = 0;
  Append("A", kTabViewNewTab, 1, &a);
  Append("B", kTabViewNewTab, 2, &b);
  Append("C", 1, 2, &c);
  EXPECT_EQ(TabViewGetContext(tabs, 1, 1, kind), reinterpret_cast<Ptr>(&a));
  EXPECT_EQ(kind, 1);
  EXPECT_EQ(TabViewGetContext(tabs, 0, 0, kind), reinterpret_cast<Ptr>(&c));  // tab 1 was selected again
  EXPECT_EQ(TabViewGetContext(tabs, 5, 1, kind), nullptr);
  EXPECT_EQ(TabViewGetContext(tabs, 1, 9, kind), nullptr);
  EXPECT_EQ(TabViewGetPane(tabs, 2, 1), host.panes[1]);
  EXPECT_EQ(TabViewGetPane(tabs, 3, 1), nullptr);

  CFArrayRef all = TabViewGetPanes(tabs, kTabViewAll);
  ASSERT_EQ(CFArrayGetCount(all), 3);
  EXPECT_EQ(TabViewGetContextAtIndex(all, 1, kind), reinterpret_cast<Ptr>(&a));
  EXPECT_EQ(TabViewGetContextAtIndex(all, 2, kind), reinterpret_cast<Ptr>(&c));
  EXPECT_EQ(TabViewGetContextAtIndex(all, 3, kind), reinterpret_cast<Ptr>(&b));
  EXPECT_EQ(kind, 2);
  EXPECT_EQ(TabViewGetContextAtIndex(all, 4, kind), nullptr);
  CFRelease(all);
  CFArrayRef second = TabViewGetPanes(tabs, 2);
  EXPECT_EQ(CFArrayGetCount(second), 1);
  CFRelease(second);

  static std::vector<std::string> seen;
  seen.clear();
  TabViewIteratePaneCallback record = [](SInt16 k, const Str63& name, void*, void*) {
    seen.push_back(name.str() + std::to_string(k));
  };
  TabViewForEachPane(tabs, kTabViewNoKind, record, nullptr);
  EXPECT_EQ(seen, (std::vector<std::string>{"A1", "C2", "B2"}));
  seen.clear();
  TabViewForEachPane(tabs, 2, record, nullptr);
  EXPECT_EQ(seen, (std::vector<std::string>{"C2", "B2"}));
}

TEST_F(TabViewTest, TitlesIconsSwappedPanesAndHidingTheBar) {
  Append("One");
  Append("Two");
  TabViewSetTitle(tabs, 2, "Renamed");
  EXPECT_EQ(MenuText(Tab(tabs, 2).MENU, 1), "Renamed");
  SInt16 kind = 0;
  CFArrayRef panes = TabViewGetPanes(tabs, 2);
  TabPaneInfo pane{};
  CFDataGetBytes(static_cast<CFDataRef>(CFArrayGetValueAtIndex(panes, 0)), CFRange{0, sizeof pane},
                 reinterpret_cast<UInt8*>(&pane));
  CFRelease(panes);
  EXPECT_EQ(pane.NAME.str(), "Renamed");
  TabViewSetTitle(tabs, 8, "Nobody");  // ignored
  (void)kind;

  // A whole title of any script or length: the tab and its menu item show it,
  // the callbacks get the short Mac Roman name; a short title replaces it.
  const std::string longName = std::string(70, 'x') + ".php";
  const struct {
    std::string whole;
    const char* shortName;  // nullptr: cut at 63
    bool viaStr63;
  } titles[] = {
      {"\u041f\u0440\u0438\u0432\u0435\u0442.php", "??????.php", false},
      {longName, nullptr, false},
      {"plain.php", "plain.php", true},
  };
  for (const auto& t : titles) {
    SCOPED_TRACE(t.whole);
    if (t.viaStr63) {
      TabViewSetTitle(tabs, 2, Str63(t.whole.c_str()));
    } else {
      CFStringRef whole = CFStringCreateWithCString(nullptr, t.whole.c_str(), kCFStringEncodingUTF8);
      TabViewSetTitleWithCFString(tabs, 2, whole);
      CFRelease(whole);
    }
    EXPECT_EQ(MenuText(Tab(tabs, 2).MENU, 1), t.whole);
    CFArrayRef now = TabViewGetPanes(tabs, 2);
    TabPaneInfo shown{};
    CFDataGetBytes(static_cast<CFDataRef>(CFArrayGetValueAtIndex(now, 0)), CFRange{0, sizeof shown},
                   reinterpret_cast<UInt8*>(&shown));
    CFRelease(now);
    EXPECT_EQ(shown.NAME.str(), t.shortName ? std::string(t.shortName) : t.whole.substr(0, 63));
    EXPECT_EQ(shown.TITLE == nullptr, t.viaStr63);
    Draw();
  }

  // The view takes over the caller's reference to a new icon and lets go of the old.
  CGImageRef first = LoadPNGImage("background.png", "Images/Tab Images/standard");
  CGImageRef second = LoadPNGImage("background.png", "Images/Tab Images/toolbar");
  ASSERT_NE(first, nullptr);
  CGImageRetain(first);
  TabViewSetIcon(tabs, 2, reinterpret_cast<Ptr>(first), kMenuCGImageRefType);
  EXPECT_EQ(CFGetRetainCount(first), 2);
  TabViewSetIcon(tabs, 2, reinterpret_cast<Ptr>(second), kMenuCGImageRefType);
  EXPECT_EQ(CFGetRetainCount(first), 1);
  CGImageRelease(first);

  HIViewRef replacement = NewPlainView(nullptr);
  HIViewRef old = TabViewSwapPane(tabs, 2, replacement);
  EXPECT_EQ(old, host.panes[1]);
  EXPECT_EQ(HIViewGetSuperview(old), nullptr);
  EXPECT_EQ(HIViewGetSuperview(replacement), container);
  EXPECT_EQ(FrameOf(replacement), FrameOf(host.panes[0]));
  EXPECT_TRUE(HIViewIsVisible(replacement));
  EXPECT_EQ(TabViewGetPane(tabs, 2, 0), replacement);
  EXPECT_EQ(TabViewSwapPane(tabs, 5, replacement), nullptr);
  CFRelease(old);

  // Hiding the bar gives its room to the superview once, however often asked.
  TabViewSetVisible(tabs, false);
  TabViewSetVisible(tabs, false);
  EXPECT_EQ(FrameOf(container).size.height, 400 + kTabHeight);
  EXPECT_FALSE(HIViewIsVisible(tabs));
  TabViewSetVisible(tabs, true);
  EXPECT_TRUE(HIViewIsVisible(tabs));
  EXPECT_EQ(FrameOf(container).size.height, 400 + kTabHeight);
}

TEST_F(TabViewTest, TabsArePlacedByStyleAndNarrowWhenCrowded) {
  struct Case {
    const char* style;
    CGFloat width;
    int tabs;
    std::vector<CGFloat> lefts;
    CGFloat tabWidth;
  } cases[] = {
      {"standard", kWidth, 2, {2, 142}, 140},
      {"toolbar", kWidth, 3, {-1, 137, 275}, 140},
      {"standard", 280, 2, {2, 142}, 140},
      {"standard", 279, 2, {2, 141}, 139},  // (280 - 279) div 2 + 1
      {"standard", 400, 4, {2, 101, 200, 299}, 99},  // (560 - 400) div 4 + 1
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.style) + " " + std::to_string(c.width));
    DisposeControl(tabs);
    tabs = Make({StringParam(kTabViewKindParameterTag, c.style)});
    const CGRect frame{{0, 0}, {c.width, kTabHeight}};
    HIViewSetFrame(tabs, &frame);
    for (int i = 0; i < c.tabs; ++i) Append("T");
    Draw();
    EXPECT_EQ(Record(tabs)->VISIBLETABS, c.tabs);
    for (int i = 0; i < c.tabs; ++i) {
      const TabInfo tab = Tab(tabs, i + 1);
      EXPECT_EQ(tab.BOUNDS, (CGRect{{c.lefts[size_t(i)], 0}, {c.tabWidth, kTabHeight}}));
      EXPECT_EQ(tab.INDEX, i + 1);
    }
  }
}

TEST_F(TabViewTest, ClicksSelectAndCloseBoxesOnlyTellTheHost) {
  Append("One");
  Append("Two");
  Draw();
  TakeNotices();
  // The close box sits BUTTONOFFSET (7, 10) in from the tab's top right.
  const TabInfo first = Tab(tabs, 1);
  EXPECT_EQ(first.CLOSEBOXBOUNDS, (CGRect{{2 + 140 - kCloseBox - 7, 10}, {kCloseBox, kCloseBox}}));
  Click(window, CGPoint{20, 5});
  EXPECT_EQ(TakeNotices(), (std::vector<std::string>{"selected 1 One 1"}));
  const CGRect box = Tab(tabs, 2).CLOSEBOXBOUNDS;
  Click(window, CGPoint{box.origin.x + 3, box.origin.y + 3});
  EXPECT_EQ(TakeNotices(), (std::vector<std::string>{"closed 2 Two 1"}));
  EXPECT_EQ(TabViewGetCount(tabs), 2);
  EXPECT_EQ(TabViewGetActive(tabs), 1);
  Click(window, CGPoint{kWidth - 5, 5});  // beyond the tabs
  EXPECT_TRUE(TakeNotices().empty());
  EXPECT_EQ(Record(tabs)->TRACKING, 0);

  // The pointer entering the bar is silent.
  const int beeps = HeadlessBeepCount();
  EventRef entered = nullptr;
  CreateEvent(nullptr, kEventClassMouse, kEventMouseEntered, 0, 0, &entered);
  SendEventToEventTarget(entered, HIViewGetEventTarget(tabs));
  ReleaseEvent(entered);
  EXPECT_EQ(HeadlessBeepCount(), beeps);
}

TEST_F(TabViewTest, PaneMenuShowsOnlyWithMoreThanOnePane) {
  Append("One");
  Append("One b", 1);
  Append("Two");
  Draw();
  auto secondaryClick = [&](CGPoint where) {
    EventRef e = nullptr;
    CreateEvent(nullptr, kEventClassControl, kEventControlContextualMenuClick, 0, 0, &e);
    SetEventParameter(e, kEventParamWindowMouseLocation, typeHIPoint, sizeof where, &where);
    EXPECT_EQ(SendEventToEventTarget(e, HIViewGetEventTarget(tabs)), eventNotHandledErr);
    ReleaseEvent(e);
  };
  HeadlessClearMenuLog();
  secondaryClick(CGPoint{200, 5});  // tab 2: a single pane
  EXPECT_TRUE(HeadlessCopyMenuLog().empty());
  TabViewSelect(tabs, 1);
  TakeNotices();
  HeadlessQueueMenuChoice(nullptr, 1);
  secondaryClick(CGPoint{kWidth - 5, 5});  // no tab there: the selected tab's menu
  const auto shown = HeadlessCopyMenuLog();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].menu, Tab(tabs, 1).MENU);
  EXPECT_EQ(Tab(tabs, 1).ACTIVE, 1);  // the choice came back as the window's command
  EXPECT_EQ(TakeNotices(), (std::vector<std::string>{"selected 1 One 1"}));
}

struct DragOverTabs : TabViewTest {
  DragRef drag = nullptr;
  void SetUp() override {
    TabViewTest::SetUp();
    Append("One");
    Append("Two");
    TabViewSelect(tabs, 1);
    Draw();
    TakeNotices();
    NewDrag(&drag);
    AddDragItemFlavor(drag, 1, 'TEXT', "hi", 2, 0);
    AddDragItemFlavor(drag, 1, 'utf8', "hi", 2, 0);
    AddDragItemFlavor(drag, 2, 'TEXT', "yo", 2, 0);
  }
  void TearDown() override {
    DisposeDrag(drag);
    TabViewTest::TearDown();
  }
  // Over tab 2 for the pause, then the drop at the point.
  OSErr Run(EventTime pause, CGPoint drop) {
    HeadlessQueueDrag({{window, {200, 5}, 0, pause}, {window, drop, 0, 0}}, nullptr);
    return TrackDrag(drag, nullptr, nullptr);
  }
};

TEST_F(DragOverTabs, HoveringOverATabSelectsItOnce) {
  Run(0.5, CGPoint{300, 300});
  EXPECT_EQ(TabViewGetActive(tabs), 1);
  Run(3.0, CGPoint{300, 300});
  EXPECT_EQ(TabViewGetActive(tabs), 2);
  EXPECT_EQ(TakeNotices(), (std::vector<std::string>{"selected 2 Two 1"}));
  EXPECT_EQ(Record(tabs)->HOVERITEM, 0);
  EXPECT_FALSE(Record(tabs)->HILITE);
}

TEST_F(DragOverTabs, EveryItemMustBeAcceptedAndDropsGoToTheHost) {
  // Each item's flavours are offered until one is taken.
  EXPECT_EQ(Run(0, CGPoint{20, 5}), noErr);
  EXPECT_EQ(host.offered, (std::vector<FlavorType>{'TEXT', 'TEXT'}));
  EXPECT_EQ(host.received, (std::vector<FlavorType>{'TEXT', 'utf8', 'TEXT'}));
  host.offered.clear();
  host.accept = false;
  Run(0, CGPoint{300, 300});
  EXPECT_EQ(host.offered, (std::vector<FlavorType>{'TEXT', 'utf8', 'TEXT'}));

  TabCallbacks none = HostCallbacks();
  none.ACCEPTDRAG = nullptr;
  none.RECEIVEDRAG = nullptr;
  TabViewSetCallbacks(tabs, none, reinterpret_cast<Ptr>(&host));
  EventRef e = nullptr;
  CreateEvent(nullptr, kEventClassControl, kEventControlDragEnter, 0, 0, &e);
  SetEventParameter(e, kEventParamDragRef, typeDragRef, sizeof drag, &drag);
  EXPECT_EQ(SendEventToEventTarget(e, HIViewGetEventTarget(tabs)), noErr);
  Boolean would = false;
  GetEventParameter(e, kEventParamControlWouldAcceptDrop, typeBoolean, nullptr, sizeof would, nullptr, &would);
  EXPECT_TRUE(would);
  EXPECT_TRUE(Record(tabs)->HILITE);
  ReleaseEvent(e);
  EXPECT_EQ(Run(0, CGPoint{20, 5}), userCanceledErr);
}

TEST_F(TabViewTest, DestroyingFreesOnlyWhatTheViewOwns) {
  Ptr owned = NewPtrClear(16);
  Ptr kept = NewPtrClear(16);
  Append("Owned", kTabViewNewTab, 1, owned);
  HIViewRef keeper = Make({});
  TabViewAppend(keeper, kTabViewNewTab, 1, "Kept", nullptr, 0, kept);
  TabViewAutoReleaseContext(tabs, true);
  Draw();
  HIViewRef pane = host.panes[0];
  DisposeControl(tabs);
  DisposeControl(keeper);
  EXPECT_FALSE(IsPointerValid(owned));
  EXPECT_TRUE(IsPointerValid(kept));
  EXPECT_EQ(HIViewGetSuperview(pane), container);  // panes belong to the window
  DisposePtr(kept);
  EXPECT_EQ(Command(kHICommandNextTab), eventNotHandledErr);
}

}  // namespace
