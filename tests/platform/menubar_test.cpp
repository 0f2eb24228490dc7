// The menu bar, the enable pass, scripted menu selection and key equivalents:
// commands reach the focus window, then the application.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CFString.h"
#include "MacWindows.h"
#include "MenuInternal.h"
#include "Menus.h"

namespace {

constexpr UInt32 kCommandKey = 1u << 8;
constexpr UInt32 kShiftKey = 1u << 9;

CFStringRef Str(const char* s) { return CFStringCreateWithCString(nullptr, s, kCFStringEncodingUTF8); }

MenuRef NewMenu(MenuID id, const char* title, std::vector<std::pair<const char*, MenuCommand>> items) {
  MenuRef m = nullptr;
  CreateNewMenu(id, 0, &m);
  CFStringRef t = Str(title);
  SetMenuTitleWithCFString(m, t);
  CFRelease(t);
  for (auto& [text, command] : items) {
    CFStringRef s = Str(text);
    AppendMenuItemTextWithCFString(m, s, 0, command, nullptr);
    CFRelease(s);
  }
  return m;
}

// One command event as a handler saw it.
struct Heard {
  char where;  // 'w' window, 'a' application
  EventKind kind;
  UInt32 command;
  UInt32 attributes;
  MenuRef menu;
  MenuItemIndex item;
  UInt32 context;
};

class MenuBarTest : public ::testing::Test {
 protected:
  void SetUp() override {
    HeadlessClearMenuChoices();
    HeadlessClearMenuLog();
    file_ = NewMenu(128, "File", {{"New", 'new '}, {"Close", 'clos'}});
    edit_ = NewMenu(129, "Edit", {{"Undo", 'undo'}, {"Copy", 'copy'}, {"Paste", 'past'}});
    InsertMenu(file_, 0);
    InsertMenu(edit_, 0);
    Rect r{100, 100, 300, 400};
    CreateNewWindow(kDocumentWindowClass, 0, &r, &window_);
    ShowWindow(window_);
    static const EventTypeSpec kTypes[] = {{kEventClassCommand, kEventCommandProcess},
                                           {kEventClassCommand, kEventCommandUpdateStatus}};
    InstallWindowEventHandler(window_, OnWindow, 2, kTypes, this, &windowHandler_);
    InstallApplicationEventHandler(OnApplication, 2, kTypes, this, &appHandler_);
  }

  void TearDown() override {
    RemoveEventHandler(appHandler_);
    DisposeWindow(window_);
    ClearMenuBar();
    ReleaseMenu(file_);
    ReleaseMenu(edit_);
    HeadlessClearMenuChoices();
  }

  static Heard Read(char where, EventRef e) {
    HICommand c{};
    GetEventParameter(e, kEventParamDirectObject, typeHICommand, nullptr, sizeof c, nullptr, &c);
    UInt32 context = 0;
    GetEventParameter(e, kEventParamMenuContext, typeUInt32, nullptr, sizeof context, nullptr, &context);
    return Heard{where, GetEventKind(e), c.commandID, c.attributes, c.menu.menuRef, c.menu.menuItemIndex, context};
  }

  // The window enables 'copy' and takes 'undo'; everything else goes on.
  static OSStatus OnWindow(EventHandlerCallRef, EventRef e, void* d) {
    auto* self = static_cast<MenuBarTest*>(d);
    Heard h = Read('w', e);
    self->heard_.push_back(h);
    if (h.kind == kEventCommandUpdateStatus && h.command == 'copy') {
      EnableMenuItem(h.menu, h.item);
      return noErr;
    }
    if (h.kind == kEventCommandProcess && h.command == 'undo') return noErr;
    return eventNotHandledErr;
  }

  // The application disables 'past' and takes every command that reaches it.
  static OSStatus OnApplication(EventHandlerCallRef, EventRef e, void* d) {
    auto* self = static_cast<MenuBarTest*>(d);
    Heard h = Read('a', e);
    self->heard_.push_back(h);
    if (h.kind == kEventCommandUpdateStatus) {
      if (h.command == 'past') DisableMenuItem(h.menu, h.item);
      return h.command == 'past' ? noErr : eventNotHandledErr;
    }
    return noErr;
  }

  std::vector<Heard> Of(EventKind kind) const {
    std::vector<Heard> out;
    for (auto& h : heard_)
      if (h.kind == kind) out.push_back(h);
    return out;
  }

  MenuRef file_ = nullptr;
  MenuRef edit_ = nullptr;
  WindowRef window_ = nullptr;
  EventHandlerRef windowHandler_ = nullptr;
  EventHandlerRef appHandler_ = nullptr;
  std::vector<Heard> heard_;
};

TEST_F(MenuBarTest, BarOrderLookUpAndHierarchicalMenus) {
  EXPECT_EQ(CountMenuBarMenus(), 2);
  EXPECT_EQ(GetMenuBarMenu(1), file_);
  MenuRef help = NewMenu(130, "Help", {});
  InsertMenu(help, 129);  // before Edit
  EXPECT_EQ(GetMenuBarIndex(help), 2);
  EXPECT_EQ(GetMenuBarIndex(edit_), 3);
  InsertMenu(help, 0);  // already there: stays
  EXPECT_EQ(CountMenuBarMenus(), 3);

  // A hierarchical menu is found by ID but not shown; so is a submenu.
  MenuRef recent = NewMenu(200, "Recent", {{"a.php", 'OPND'}});
  InsertMenu(recent, kInsertHierarchicalMenu);
  EXPECT_EQ(CountMenuBarMenus(), 3);
  EXPECT_EQ(GetMenuRef(200), recent);
  MenuRef sub = NewMenu(201, "Sub", {});
  SetMenuItemHierarchicalMenu(file_, 1, sub);
  EXPECT_EQ(GetMenuRef(201), sub);
  EXPECT_EQ(GetMenuRef(128), file_);
  EXPECT_EQ(GetMenuRef(999), nullptr);

  DeleteMenu(130);
  EXPECT_EQ(GetMenuRef(130), nullptr);
  EXPECT_EQ(GetMenuRetainCount(help), 1u);  // the bar let go of it
  DeleteMenu(200);
  EXPECT_EQ(GetMenuRef(200), nullptr);
  SetMenuItemHierarchicalMenu(file_, 1, nullptr);
  for (MenuRef m : {help, recent, sub}) ReleaseMenu(m);

  // The root can be replaced and acquired.
  MenuRef root = AcquireRootMenu();
  EXPECT_EQ(CountMenuItems(root), 2);
  ReleaseMenu(root);
}

TEST_F(MenuBarTest, EnablePassAsksTheFocusWindowThenTheApplication) {
  DisableMenuItem(edit_, 2);  // copy starts disabled
  EXPECT_EQ(UpdateMenuItemsStatus(edit_, kMenuContextPullDown), noErr);
  EXPECT_TRUE(IsMenuItemEnabled(edit_, 2));   // the window enabled it
  EXPECT_FALSE(IsMenuItemEnabled(edit_, 3));  // the application disabled it
  auto updates = Of(kEventCommandUpdateStatus);
  std::vector<std::string> order;
  for (auto& h : updates) {
    order.push_back(std::string(1, h.where) + ":" + std::string{char(h.command >> 24), char(h.command >> 16),
                                                                 char(h.command >> 8), char(h.command)});
    EXPECT_EQ(h.attributes, UInt32(kHICommandFromMenu));
    EXPECT_EQ(h.menu, edit_);
    EXPECT_TRUE(h.context & kMenuContextMenuEnabling);
  }
  EXPECT_EQ(order, (std::vector<std::string>{"w:undo", "a:undo", "w:copy", "w:past", "a:past"}));
  EXPECT_EQ(updates[2].item, 2);
}

TEST_F(MenuBarTest, ScriptedChoiceSendsTheCommandToTheWindowThenTheApplication) {
  HeadlessQueueMenuChoice(edit_, 1);  // Undo: the window takes it
  EXPECT_EQ(MenuSelect(Point{0, 0}), (129 << 16) | 1);
  auto processed = Of(kEventCommandProcess);
  ASSERT_EQ(processed.size(), 1u);
  EXPECT_EQ(processed[0].where, 'w');
  EXPECT_EQ(processed[0].menu, edit_);
  EXPECT_EQ(processed[0].item, 1);
  EXPECT_EQ(processed[0].attributes, UInt32(kHICommandFromMenu));

  heard_.clear();
  HeadlessQueueMenuCommand('new ');  // found through the bar; the window passes it on
  EXPECT_EQ(MenuSelect(Point{0, 0}), (128 << 16) | 1);
  processed = Of(kEventCommandProcess);
  ASSERT_EQ(processed.size(), 2u);
  EXPECT_EQ(processed[0].where, 'w');
  EXPECT_EQ(processed[1].where, 'a');
  EXPECT_EQ(processed[1].command, 'new ');

  // Every bar menu had its pass; the log shows the bar's state.
  auto log = HeadlessCopyMenuLog();
  ASSERT_EQ(log.size(), 2u);
  EXPECT_EQ(log[1].chosenMenu, file_);

  // A disabled item (the application disables Paste) cannot be chosen;
  // an empty script dismisses.
  heard_.clear();
  HeadlessQueueMenuChoice(edit_, 3);
  EXPECT_EQ(MenuSelect(Point{0, 0}), 0);
  EXPECT_TRUE(Of(kEventCommandProcess).empty());
  EXPECT_EQ(MenuSelect(Point{0, 0}), 0);
}

TEST_F(MenuBarTest, ContextualAndPopUpMenusAreAnsweredFromTheScript) {
  MenuRef context = NewMenu(0, "", {{"Cut", 'cut '}, {"Copy", 'copy'}, {"Paste", 'past'}});
  UInt32 type = 99;
  MenuID id = 99;
  MenuItemIndex item = 99;
  HeadlessQueueMenuDismiss();
  EXPECT_EQ(ContextualMenuSelect(context, Point{10, 20}, false, kCMHelpItemRemoveHelp, nullptr, nullptr, &type, &id,
                                 &item),
            userCanceledErr);
  EXPECT_EQ(type, kCMNothingSelected);

  HeadlessQueueMenuChoice(nullptr, 2);  // an item of the menu shown
  EXPECT_EQ(ContextualMenuSelect(context, Point{10, 20}, false, kCMHelpItemRemoveHelp, nullptr, nullptr, &type, &id,
                                 &item),
            noErr);
  EXPECT_EQ(type, kCMMenuItemSelected);
  EXPECT_EQ(item, 2);
  auto processed = Of(kEventCommandProcess);
  ASSERT_FALSE(processed.empty());
  EXPECT_EQ(processed[0].command, 'copy');
  EXPECT_EQ(processed[0].menu, context);
  auto log = HeadlessCopyMenuLog();
  EXPECT_EQ(log.back().where.h, 20);
  EXPECT_EQ(log.back().enabled, (std::vector<bool>{true, true, false}));  // the pass ran first

  HeadlessQueueMenuCommand('cut ');
  EXPECT_EQ(PopUpMenuSelect(context, 5, 6, 1), 1);
  ReleaseMenu(context);
}

// A menu as full as item indexes go (the functions of a very large file)
// pops up, takes its enable pass and answers its last item.
TEST_F(MenuBarTest, AFullMenuPopsUpAndAnswersItsLastItem) {
  MenuRef full = nullptr;
  CreateNewMenu(0, 0, &full);
  CFStringRef s = Str("f");
  for (UInt32 i = 0; i < 0xFFFF; ++i) AppendMenuItemTextWithCFString(full, s, 0, 'fSYM', nullptr);
  CFRelease(s);
  ASSERT_EQ(CountMenuItems(full), 0xFFFF);
  HeadlessClearMenuLog();
  HeadlessQueueMenuChoice(nullptr, 0xFFFF);
  EXPECT_EQ(PopUpMenuSelect(full, 5, 6, 1), SInt32(0xFFFF));
  const auto log = HeadlessCopyMenuLog();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].enabled.size(), size_t(0xFFFF));
  ReleaseMenu(full);
}

TEST_F(MenuBarTest, KeyEquivalentsMatchCharacterAndModifiers) {
  SetMenuItemCommandKey(edit_, 2, false, 'C');
  SetMenuItemCommandKey(edit_, 1, false, 'Z');
  MenuRef redo = nullptr;
  CFStringRef s = Str("Redo");
  AppendMenuItemTextWithCFString(edit_, s, 0, 'redo', nullptr);
  CFRelease(s);
  SetMenuItemCommandKey(edit_, 4, false, 'Z');
  SetMenuItemModifiers(edit_, 4, kMenuShiftModifier);
  SetMenuItemCommandKey(edit_, 3, false, 'V');

  auto key = [](char c, UInt32 modifiers) {
    EventRef e = nullptr;
    CreateEvent(nullptr, kEventClassKeyboard, kEventRawKeyDown, 0, 0, &e);
    SetEventParameter(e, kEventParamKeyMacCharCodes, typeChar, 1, &c);
    SetEventParameter(e, kEventParamKeyModifiers, typeUInt32, 4, &modifiers);
    return e;
  };
  struct Case {
    char c;
    UInt32 modifiers;
    bool found;
    MenuItemIndex item;
  } cases[] = {
      {'c', kCommandKey, true, 2},              // letters match in either case
      {'c', 0, false, 0},                       // the Command key is part of it
      {'z', kCommandKey, true, 1},              // undo
      {'Z', kCommandKey | kShiftKey, true, 4},  // redo asks for Shift
      {'c', kCommandKey | kShiftKey, false, 0},
      {'v', kCommandKey, false, 0},  // the application disables Paste in the pass
  };
  for (const auto& c : cases) {
    EventRef e = key(c.c, c.modifiers);
    MenuRef menu = nullptr;
    MenuItemIndex item = 0;
    EXPECT_EQ(IsMenuKeyEvent(nullptr, e, 0, &menu, &item), c.found) << c.c << " " << c.modifiers;
    EXPECT_EQ(item, c.item) << c.c;
    if (c.found) EXPECT_EQ(menu, edit_);
    ReleaseEvent(e);
  }
  EventRef paste = key('v', kCommandKey);
  MenuItemIndex item = 0;
  EXPECT_TRUE(IsMenuKeyEvent(nullptr, paste, kMenuEventIncludeDisabledItems, &redo, &item));
  ReleaseEvent(paste);

  heard_.clear();
  EventRef copy = key('c', kCommandKey);
  EXPECT_EQ(MenuEvent(copy), (129 << 16) | 2);
  ReleaseEvent(copy);
  auto processed = Of(kEventCommandProcess);
  ASSERT_EQ(processed.size(), 2u);  // the window passed it on to the application
  EXPECT_EQ(processed[0].command, 'copy');
  EXPECT_TRUE(processed[0].context & kMenuContextKeyMatching);
}

TEST_F(MenuBarTest, ItemIconsAreKeptByTheItem) {
  CFStringRef image = Str("stands for a CF-typed image");
  const CFIndex before = CFGetRetainCount(image);
  ASSERT_EQ(SetMenuItemIconHandle(file_, 1, kMenuCGImageRefType, reinterpret_cast<Handle>(const_cast<void*>(
                                                                      static_cast<const void*>(image)))),
            noErr);
  EXPECT_EQ(CFGetRetainCount(image), before + 1);
  UInt8 type = 0;
  Handle handle = nullptr;
  GetMenuItemIconHandle(file_, 1, &type, &handle);
  EXPECT_EQ(type, kMenuCGImageRefType);
  EXPECT_EQ(static_cast<const void*>(handle), static_cast<const void*>(image));
  DeleteMenuItem(file_, 1);
  EXPECT_EQ(CFGetRetainCount(image), before);
  CFRelease(image);
}

}  // namespace
