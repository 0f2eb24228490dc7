// The toolbar: items laid out from both ends, references, what it releases,
// clicks, menus, pop-up windows and slider items.
#include "MenuInternal.h"
#include "PlinthoraTestSupport.h"
#include "TestBitmap.h"
#include "plinthora/PlatformGaps.h"
#include "plinthora/ToolbarClass.h"

using namespace plinthora_test;

namespace {

ToolbarData* Record(HIViewRef view) {
  ToolbarData* d = nullptr;
  GetControlProperty(view, kToolbarCreatorTag, kToolbarDataPropertyTag, sizeof d, nullptr, &d);
  return d;
}

ToolbarItemInfo Item(HIViewRef toolbar, ToolbarItemRef ref) {
  ToolbarData* d = Record(toolbar);
  for (CFIndex i = 0; i < CFArrayGetCount(d->ITEMS); ++i) {
    ToolbarItemInfo item{};
    CFDataGetBytes(static_cast<CFDataRef>(CFArrayGetValueAtIndex(d->ITEMS, i)), CFRange{0, sizeof item},
                   reinterpret_cast<UInt8*>(&item));
    if (item.REF == ref) return item;
  }
  return ToolbarItemInfo{};
}

MenuRef NewMenu(int items) {
  MenuRef menu = nullptr;
  CreateNewMenu(0, 0, &menu);
  for (int i = 1; i <= items; ++i)
    AppendMenuItemTextWithCFString(menu, CFStringMakeConstantUTF8(("Item " + std::to_string(i)).c_str()), 0, 0,
                                   nullptr);
  return menu;
}

constexpr UInt32 kLeft = ToolbarOption(kToolbarItemAnchoredLeft);
constexpr UInt32 kRight = ToolbarOption(kToolbarItemAnchoredRight);

struct Log {
  std::vector<std::string> events;
  std::vector<std::pair<MenuRef, SInt16>> menus;
  std::vector<std::pair<UInt32, ToolbarItemRef>> hits;
};

ToolbarCallbacks RecordingCallbacks() {
  ToolbarCallbacks c{};
  c.SELECTMENU = [](MenuRef menu, SInt16 item, void* context) {
    static_cast<Log*>(context)->menus.emplace_back(menu, item);
    static_cast<Log*>(context)->events.push_back("menu");
  };
  c.HITBUTTON = [](UInt32 command, ToolbarItemRef ref, void* context) {
    static_cast<Log*>(context)->hits.emplace_back(command, ref);
    static_cast<Log*>(context)->events.push_back("hit");
  };
  return c;
}

OSStatus RecordCommand(EventHandlerCallRef, EventRef event, void* userData) {
  HICommand command{};
  GetEventParameter(event, kEventParamDirectObject, typeHICommand, nullptr, sizeof command, nullptr, &command);
  const UInt32 id = command.commandID;
  const char code[] = {char(id >> 24), char(id >> 16), char(id >> 8), char(id), 0};
  static_cast<Log*>(userData)->events.push_back(std::string("command ") + code);
  return noErr;
}

struct ToolbarTest : WindowTest {
  HIViewRef toolbar = nullptr;
  Log log;
  void SetUp() override {
    WindowTest::SetUp();
    toolbar = NewView(kToolbarClassID, window, CGRect{{0, 0}, {400, kToolbarHeight}});
    ASSERT_NE(toolbar, nullptr);
    ToolbarSetCallbacks(toolbar, RecordingCallbacks(), &log);
    static const EventTypeSpec kCommand[] = {{kEventClassCommand, kEventCommandProcess}};
    InstallEventHandler(GetWindowEventTarget(window), RecordCommand, 1, kCommand, &log, nullptr);
  }
  void Draw() {
    Bitmap bitmap(400, kToolbarHeight);
    HIViewDrawInContext(toolbar, bitmap.context);
  }
  // A click at the middle of the item, in window coordinates (the toolbar
  // sits at the window's top left).
  void ClickItem(ToolbarItemRef ref) {
    const CGRect b = Item(toolbar, ref).BOUNDS;
    Click(window, CGPoint{b.origin.x + b.size.width / 2, b.origin.y + b.size.height / 2});
  }
};

TEST(ToolbarClass, RegistersOnceAndReadsItsStyle) {
  RegisterOnce();
  EXPECT_EQ(RegisterToolbarViewClass(), hiObjectClassExistsErr);
  struct Case {
    const char* name;
    SInt16 style;
  } cases[] = {{"gray", 3}, {"light-gray", 4}, {"standard", 1}, {"metal", 2},
               {"blue-steel", 5}, {"header-toolbar", 6}, {"Leopard", 7}, {"chrome", 1}};
  for (const auto& c : cases) {
    HIViewRef view = NewView(kToolbarClassID, nullptr, CGRect{{0, 0}, {100, 30}},
                             {StringParam(kToolbarStyleParameterTag, c.name)});
    EXPECT_EQ(Record(view)->STYLE, c.style) << c.name;
    ToolbarSetStyle(view, "metal");
    EXPECT_EQ(Record(view)->STYLE, 2);
    ToolbarSetStyle(view, "chrome");
    EXPECT_EQ(Record(view)->STYLE, 2);
    CFRelease(view);
  }
}

TEST_F(ToolbarTest, LaysOutItemsFromBothEnds) {
  HIViewRef embedded = NewPlainView(nullptr, CGRect{{0, 0}, {50, 20}});
  const ToolbarItemRef plain =
      ToolbarAddButton(toolbar, "", nullptr, 0, nullptr, 0, ToolbarOption(kToolbarItemDefaultOptions), nullptr);
  const ToolbarItemRef hidden = ToolbarAddButton(toolbar, "", nullptr, 0, nullptr, 'hidn', kLeft, nullptr);
  const ToolbarItemRef slider = ToolbarAddSlider(toolbar, kRight, nullptr);
  const ToolbarItemRef view = ToolbarAddView(toolbar, kLeft, embedded);
  const ToolbarItemRef farRight = ToolbarAddButton(toolbar, "", nullptr, 0, nullptr, 0, kRight, nullptr);
  ToolbarSetItemHidden(toolbar, hidden, true);
  EXPECT_EQ(HIViewGetSuperview(embedded), toolbar);
  Draw();

  // An item is kItemMargin wide to start, plus its parts, plus the margin
  // after it (where the separator goes).
  struct Case {
    ToolbarItemRef ref;
    CGRect bounds;
    SInt16 index;
  } cases[] = {
      {plain, {{-2, 0}, {8, kToolbarHeight}}, 1},
      {slider, {{400 - 20 - 2, 0}, {23, kToolbarHeight}}, 3},
      {view, {{8 - 2, 0}, {58, kToolbarHeight}}, 4},
      {farRight, {{378 - 8 - 2, 0}, {11, kToolbarHeight}}, 5},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.ref);
    EXPECT_EQ(Item(toolbar, c.ref).BOUNDS, c.bounds);
    EXPECT_EQ(Item(toolbar, c.ref).INDEX, c.index);
    HIViewPartCode part = 0;
    const CGPoint middle{c.bounds.origin.x + c.bounds.size.width / 2, 10};
    HIViewGetPartHit(toolbar, &middle, &part);
    EXPECT_EQ(part, c.index);
  }
  EXPECT_EQ(Item(toolbar, hidden).BOUNDS, CGRect{});
  EXPECT_EQ(FrameOf(embedded), (CGRect{{10, 5}, {50, 20}}));
  // Only the default option set is replaced.
  EXPECT_EQ(Item(toolbar, plain).OPTIONS, kLeft | ToolbarOption(kToolbarItemMenuCenter));
  EXPECT_EQ(Item(toolbar, view).OPTIONS, kLeft);
}

// A header toolbar is shorter than its style's artwork: its items are laid
// out and centred in the view's height, not the artwork's.
TEST_F(ToolbarTest, AShortToolbarLaysOutInItsOwnHeight) {
  constexpr int kShort = 18;
  static_assert(kShort < kToolbarHeight);
  HIViewRef header = NewView(kToolbarClassID, window, CGRect{{0, 0}, {300, kShort}});
  HIViewRef embedded = NewPlainView(nullptr, CGRect{{0, 0}, {40, 10}});
  const ToolbarItemRef left = ToolbarAddButton(header, "Shop", nullptr, 0, nullptr, 'shop', kLeft, nullptr);
  const ToolbarItemRef view = ToolbarAddView(header, kLeft, embedded);
  const ToolbarItemRef right = ToolbarAddButton(header, "", nullptr, 0, nullptr, 'back', kRight, nullptr);
  Bitmap bitmap(300, kShort);
  HIViewDrawInContext(header, bitmap.context);
  for (ToolbarItemRef ref : {left, view, right}) {
    SCOPED_TRACE(ref);
    const CGRect b = Item(header, ref).BOUNDS;
    EXPECT_EQ(b.origin.y, 0);
    EXPECT_EQ(b.size.height, kShort);
  }
  EXPECT_EQ(FrameOf(embedded).origin.y, (kShort - 10) / 2);
  // The artwork is fitted to the view: its bottom row is drawn too.
  EXPECT_GT(bitmap.At(150, kShort - 1)[3], 200);
}

TEST_F(ToolbarTest, ReferencesRemovalAndWhatIsReleased) {
  MenuRef kept = NewMenu(2), released = NewMenu(2);
  const ToolbarItemRef a = ToolbarAddButton(toolbar, "a", nullptr, 0, released, 0, kLeft, nullptr);
  const ToolbarItemRef b = ToolbarAddButton(toolbar, "b", nullptr, 0, nullptr, 0, kLeft, nullptr);
  const ToolbarItemRef c = ToolbarAddButton(toolbar, "c", nullptr, 0, nullptr, 0, kLeft, nullptr);
  EXPECT_EQ((std::vector<ToolbarItemRef>{a, b, c}), (std::vector<ToolbarItemRef>{1, 2, 3}));
  EXPECT_EQ(GetMenuRetainCount(released), 2u);
  EXPECT_EQ(ToolbarGetItemMenu(toolbar, a), released);
  EXPECT_EQ(ToolbarGetItemText(toolbar, b).str(), "b");
  EXPECT_EQ(ToolbarGetItemText(toolbar, 99).str(), "");
  ToolbarSetItemText(toolbar, 99, "nothing");  // an unknown reference changes nothing

  // Two removals before any redraw take the right items.
  ToolbarRemoveItem(toolbar, a);
  ToolbarRemoveItem(toolbar, c);
  EXPECT_EQ(GetMenuRetainCount(released), 1u);
  EXPECT_EQ(CFArrayGetCount(Record(toolbar)->ITEMS), 1);
  EXPECT_EQ(ToolbarGetItemText(toolbar, b).str(), "b");
  EXPECT_EQ(Item(toolbar, b).INDEX, 1);

  // A view item's view goes with it.
  HIViewRef embedded = NewPlainView(nullptr);
  CFRetain(embedded);
  ToolbarAddView(toolbar, kLeft, embedded);
  ToolbarRemoveAll(toolbar);
  EXPECT_EQ(HIViewGetSuperview(embedded), nullptr);
  CFRelease(embedded);
  EXPECT_EQ(ToolbarAddButton(toolbar, "again", nullptr, 0, nullptr, 0, kLeft, nullptr), 1);

  // Resources stay with the host when asked.
  ToolbarSetOptions(toolbar, ToolbarOption(kToolbarOptionDontReleaseResources));
  const ToolbarItemRef d = ToolbarAddButton(toolbar, "d", nullptr, 0, kept, 0, kLeft, nullptr);
  ToolbarRemoveItem(toolbar, d);
  EXPECT_EQ(GetMenuRetainCount(kept), 2u);
  MenuRef other = NewMenu(1);
  const ToolbarItemRef e = ToolbarAddButton(toolbar, "e", nullptr, 0, kept, 0, kLeft, nullptr);
  ToolbarSetItemMenu(toolbar, e, other);
  EXPECT_EQ(GetMenuRetainCount(kept), 2u);
  EXPECT_EQ(GetMenuRetainCount(other), 2u);
  ReleaseMenu(kept);
  ReleaseMenu(other);
  ReleaseMenu(released);
}

TEST_F(ToolbarTest, ClicksCallTheHostThenSendTheCommand) {
  const ToolbarItemRef command = ToolbarAddButton(toolbar, "", nullptr, 0, nullptr, 'doit', kLeft, nullptr);
  const ToolbarItemRef inert = ToolbarAddButton(toolbar, "", nullptr, 0, nullptr, 0, kLeft, nullptr);
  Draw();
  ClickItem(command);
  EXPECT_EQ(log.events, (std::vector<std::string>{"hit", "command doit"}));
  ASSERT_EQ(log.hits.size(), 1u);
  EXPECT_EQ(log.hits[0], (std::pair<UInt32, ToolbarItemRef>{'doit', command}));
  log.events.clear();
  ClickItem(inert);  // nothing to track, nothing to call
  EXPECT_TRUE(log.events.empty());
}

// A menu as full as item indexes go (the functions of a very large file)
// is drawn as any other, with no item marked and with its last one marked.
TEST_F(ToolbarTest, AFullMenuIsDrawnMarkedOrNot) {
  MenuRef menu = NewMenu(0xFFFF);
  ASSERT_EQ(CountMenuItems(menu), 0xFFFF);
  const ToolbarItemRef ref = ToolbarAddButton(toolbar, "", nullptr, 0, menu, 0, kLeft, nullptr);
  Draw();
  SetItemMark(menu, 0xFFFF, checkMark);
  Draw();
  EXPECT_GT(Item(toolbar, ref).BOUNDS.size.width, 0);
}

TEST_F(ToolbarTest, MenuItemsPopUpTheirMenu) {
  MenuRef menu = NewMenu(3);
  MenuRef empty = NewMenu(0);
  const ToolbarItemRef down = ToolbarAddButton(
      toolbar, "", nullptr, 0, menu, 0, kLeft | ToolbarOption(kToolbarItemMenuDropDown), nullptr);
  const ToolbarItemRef none = ToolbarAddButton(toolbar, "", nullptr, 0, empty, 'empt', kLeft, nullptr);
  Draw();
  HeadlessClearMenuLog();
  HeadlessQueueMenuChoice(nullptr, 2);
  ClickItem(down);
  const auto shown = HeadlessCopyMenuLog();
  ASSERT_EQ(shown.size(), 1u);
  const CGRect b = Item(toolbar, down).BOUNDS;
  Point expected{SInt16(b.origin.y + b.size.height + 4), SInt16(b.origin.x + 1)};
  SetPortWindowPort(window);
  LocalToGlobal(&expected);
  EXPECT_EQ(shown[0].where.h, expected.h);
  EXPECT_EQ(shown[0].where.v, expected.v);
  ASSERT_EQ(log.menus.size(), 1u);
  EXPECT_EQ(log.menus[0], (std::pair<MenuRef, SInt16>{menu, 2}));
  EXPECT_EQ(log.events.front(), "menu");

  // A menu without entries is not hit at all.
  HIViewPartCode part = 0;
  const CGRect e = Item(toolbar, none).BOUNDS;
  const CGPoint middle{e.origin.x + e.size.width / 2, 10};
  HIViewGetPartHit(toolbar, &middle, &part);
  EXPECT_EQ(part, kControlNoPart);
  ReleaseMenu(menu);
  ReleaseMenu(empty);
}

struct PopupTest : ToolbarTest {
  WindowRef popup = nullptr;
  ToolbarItemRef ref = 0;
  void SetUp() override {
    ToolbarTest::SetUp();
    Rect bounds = {0, 0, 80, 120};
    ASSERT_EQ(CreateNewWindow(kPlainWindowClass, 0, &bounds, &popup), noErr);
    ToolbarAddButton(toolbar, "", nullptr, 0, nullptr, 0, kLeft, nullptr);
    ref = ToolbarAddButton(toolbar, "", nullptr, 0, popup, 0, kLeft, nullptr);
    Draw();
  }
  void TearDown() override {
    if (popup) DisposeWindow(popup);
    ToolbarTest::TearDown();
  }
  void SendWindowEvent(EventKind kind, WindowRef about) {
    EventRef e = nullptr;
    CreateEvent(nullptr, kEventClassWindow, kind, 0, 0, &e);
    SetEventParameter(e, kEventParamDirectObject, typeWindowRef, sizeof about, &about);
    SendEventToEventTarget(e, GetApplicationEventTarget());
    ReleaseEvent(e);
  }
};

TEST_F(PopupTest, OpensBelowItsItemAndClosesWhenAnotherWindowIsClicked) {
  EXPECT_EQ(Item(toolbar, ref).WINDOW, popup);
  EXPECT_EQ(Item(toolbar, ref).MENU, nullptr);
  ClickItem(ref);
  ASSERT_TRUE(IsWindowVisible(popup));
  EXPECT_EQ(GetWRefCon(popup), reinterpret_cast<SRefCon>(toolbar));
  WindowModality modality = 0;
  GetWindowModality(popup, &modality, nullptr);
  EXPECT_EQ(modality, kWindowModalityAppModal);
  Rect structure{};
  GetWindowBounds(popup, kWindowStructureRgn, &structure);
  const CGRect b = Item(toolbar, ref).BOUNDS;
  Point corner{SInt16(b.origin.y + b.size.height), SInt16(b.origin.x + 1)};
  SetPortWindowPort(window);
  LocalToGlobal(&corner);
  EXPECT_EQ(structure.top, corner.v);
  EXPECT_EQ(structure.left, corner.h);
  EXPECT_EQ(structure.right - structure.left, 120);

  SendWindowEvent(kEventWindowGetClickModality, popup);  // about the pop-up itself: it stays
  EXPECT_TRUE(IsWindowVisible(popup));
  SendWindowEvent(kEventWindowGetClickModality, window);
  EXPECT_FALSE(IsWindowVisible(popup));
  EXPECT_EQ(Record(toolbar)->POPUPHANDLER, nullptr);
}

TEST_F(PopupTest, OneHandlerPerOpeningGoneWithTheToolbar) {
  for (int i = 0; i < 3; ++i) {
    ClickItem(ref);
    ASSERT_TRUE(IsWindowVisible(popup));
    ASSERT_NE(Record(toolbar)->POPUPHANDLER, nullptr);
    HideWindow(popup);  // hidden by the host: its handler goes
    EXPECT_EQ(Record(toolbar)->POPUPHANDLER, nullptr);
  }
  ClickItem(ref);
  ASSERT_TRUE(IsWindowVisible(popup));
  DisposeControl(toolbar);
  toolbar = nullptr;
  EXPECT_FALSE(IsWindowVisible(popup));
  EXPECT_EQ(GetWRefCon(popup), SRefCon(0));
  // Window events after the toolbar has gone reach no handler of it.
  WindowRef other = nullptr;
  Rect bounds = {0, 0, 50, 50};
  ASSERT_EQ(CreateNewWindow(kDocumentWindowClass, 0, &bounds, &other), noErr);
  SendWindowEvent(kEventWindowGetClickModality, other);
  DisposeWindow(other);
  ShowWindow(popup);
  SendWindowEvent(kEventWindowGetClickModality, window);
  EXPECT_TRUE(IsWindowVisible(popup));
}

TEST_F(ToolbarTest, SliderItemsDragTheirSplitView) {
  HIViewRef split = NewView(kSplitViewClassID, window, CGRect{{0, kToolbarHeight}, {400, 300}});
  const ToolbarItemRef grip = ToolbarAddSlider(toolbar, kLeft, split);
  Draw();
  const CGRect b = Item(toolbar, grip).BOUNDS;
  const CGPoint start{b.origin.x + b.size.width / 2, 10};
  HeadlessQueueMouseTrack({{window, {start.x + 30, 12}, 0, 0.01, false}, {window, {start.x + 30, 12}, 0, 0.01, true}});
  Click(window, start);
  EXPECT_EQ(SplitViewGetPosition(split), 230);
  EXPECT_TRUE(log.events.empty());
}

TEST_F(ToolbarTest, TheHostMayDrawItsButtons) {
  static std::vector<std::pair<std::string, CGRect>> drawn;
  drawn.clear();
  ToolbarCallbacks c = RecordingCallbacks();
  c.DRAW = [](ToolbarItemRef, const ToolbarContentsInfo& contents, CGRect bounds, CGContextRef, void*) -> Boolean {
    drawn.emplace_back(contents.TEXT.str(), bounds);
    return true;
  };
  ToolbarSetCallbacks(toolbar, c, &log);
  ToolbarAddButton(toolbar, "Run", nullptr, 0, nullptr, 0, kLeft, nullptr);
  Draw();
  ASSERT_EQ(drawn.size(), 1u);
  EXPECT_EQ(drawn[0].first, "Run");
  EXPECT_EQ(drawn[0].second, (CGRect{{-2, 0}, {4, kToolbarHeight}}));
}

}  // namespace
