// The menu model: items, their state and their (creator, tag) data.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "CFString.h"
#include "Menus.h"

namespace {

CFStringRef Str(const char* s) { return CFStringCreateWithCString(nullptr, s, kCFStringEncodingUTF8); }

std::string Text(MenuRef m, MenuItemIndex i) {
  CFStringRef s = nullptr;
  if (CopyMenuItemTextAsCFString(m, i, &s) != noErr) return "<none>";
  char buf[256];
  CFStringGetCString(s, buf, sizeof buf, kCFStringEncodingUTF8);
  CFRelease(s);
  return buf;
}

class MenusTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(CreateNewMenu(128, 0, &menu_), noErr); }
  void TearDown() override {
    if (menu_) ReleaseMenu(menu_);
  }

  MenuItemIndex Append(const char* text, MenuCommand command = 0, MenuItemAttributes attrs = 0) {
    CFStringRef s = Str(text);
    MenuItemIndex index = 0;
    EXPECT_EQ(AppendMenuItemTextWithCFString(menu_, s, attrs, command, &index), noErr);
    CFRelease(s);
    return index;
  }

  MenuRef menu_ = nullptr;
};

TEST_F(MenusTest, ItemsAreOneBasedAndKeepTheirState) {
  EXPECT_EQ(GetMenuID(menu_), 128);
  EXPECT_EQ(Append("Open", kHICommandOpen), 1);
  EXPECT_EQ(Append("Close", kHICommandClose), 2);
  EXPECT_EQ(Append("", 0, kMenuItemAttrSeparator), 3);
  EXPECT_EQ(Append("Quit", kHICommandQuit, kMenuItemAttrDisabled), 4);
  EXPECT_EQ(CountMenuItems(menu_), 4);

  // Inserted after item 0: at the top; past the end: at the end.
  CFStringRef top = Str("New");
  ASSERT_EQ(InsertMenuItemTextWithCFString(menu_, top, 0, 0, kHICommandNew), noErr);
  ASSERT_EQ(InsertMenuItemTextWithCFString(menu_, top, 200, 0, 'last'), noErr);
  CFRelease(top);
  EXPECT_EQ(Text(menu_, 1), "New");
  EXPECT_EQ(Text(menu_, 2), "Open");
  EXPECT_EQ(Text(menu_, 6), "New");
  EXPECT_EQ(Text(menu_, 7), "<none>");
  EXPECT_EQ(Text(menu_, 0), "<none>");

  MenuCommand cmd = 0;
  ASSERT_EQ(GetMenuItemCommandID(menu_, 5, &cmd), noErr);
  EXPECT_EQ(cmd, MenuCommand(kHICommandQuit));
  EXPECT_FALSE(IsMenuItemEnabled(menu_, 5));
  MenuItemAttributes attrs = 0;
  ASSERT_EQ(GetMenuItemAttributes(menu_, 4, &attrs), noErr);
  EXPECT_EQ(attrs, MenuItemAttributes(kMenuItemAttrSeparator));

  EnableMenuItem(menu_, 5);
  DisableMenuItem(menu_, 2);
  EXPECT_TRUE(IsMenuItemEnabled(menu_, 5));
  EXPECT_FALSE(IsMenuItemEnabled(menu_, 2));
  DisableMenuItem(menu_, 0);
  EXPECT_FALSE(IsMenuItemEnabled(menu_, 0));

  CheckMenuItem(menu_, 3, true);
  CharParameter mark = -1;
  GetItemMark(menu_, 3, &mark);
  EXPECT_EQ(mark, checkMark);
  SetItemMark(menu_, 3, diamondMark);
  GetItemMark(menu_, 3, &mark);
  EXPECT_EQ(mark, diamondMark);
  CheckMenuItem(menu_, 3, false);
  GetItemMark(menu_, 3, &mark);
  EXPECT_EQ(mark, noMark);

  MenuRef found = nullptr;
  MenuItemIndex at = 0;
  ASSERT_EQ(GetIndMenuItemWithCommandID(menu_, kHICommandClose, 1, &found, &at), noErr);
  EXPECT_EQ(found, menu_);
  EXPECT_EQ(at, 3);
  EXPECT_EQ(GetIndMenuItemWithCommandID(menu_, 'none', 1, &found, &at), menuItemNotFoundErr);

  // A text set from a mutable string does not follow later edits of it.
  CFMutableStringRef m = CFStringCreateMutable(nullptr, 0);
  CFStringAppendCString(m, "Save", kCFStringEncodingUTF8);
  ASSERT_EQ(SetMenuItemTextWithCFString(menu_, 1, m), noErr);
  CFStringAppendCString(m, " All", kCFStringEncodingUTF8);
  CFRelease(m);
  EXPECT_EQ(Text(menu_, 1), "Save");
}

TEST_F(MenusTest, DeletingItemsShiftsTheRest) {
  for (const char* t : {"a", "b", "c", "d", "e"}) Append(t);
  DeleteMenuItem(menu_, 2);
  EXPECT_EQ(CountMenuItems(menu_), 4);
  EXPECT_EQ(Text(menu_, 2), "c");
  ASSERT_EQ(DeleteMenuItems(menu_, 2, 10), noErr);  // cut at the end
  EXPECT_EQ(CountMenuItems(menu_), 1);
  EXPECT_EQ(DeleteMenuItems(menu_, 2, 1), menuItemNotFoundErr);
  EXPECT_EQ(DeleteMenuItems(menu_, 0, 1), menuItemNotFoundErr);
  DeleteMenuItem(menu_, 9);  // nothing there
  EXPECT_EQ(Text(menu_, 1), "a");
}

TEST_F(MenusTest, ItemPropertiesAreBytesKeyedByCreatorAndTag) {
  Append("Recent");
  Append("Other");
  UInt8 ref[80];
  for (int i = 0; i < 80; ++i) ref[i] = UInt8(i);
  ASSERT_EQ(SetMenuItemProperty(menu_, 1, 'FREF', typeFSRef, sizeof ref, ref), noErr);
  UInt32 small = 42;
  ASSERT_EQ(SetMenuItemProperty(menu_, 1, 'FREF', 'smal', sizeof small, &small), noErr);

  UInt8 buffer[100];
  ByteCount size = 0;
  ASSERT_EQ(GetMenuItemProperty(menu_, 1, 'FREF', typeFSRef, sizeof buffer, &size, buffer), noErr);
  EXPECT_EQ(size, 80u);
  EXPECT_EQ(std::memcmp(buffer, ref, 80), 0);
  ASSERT_EQ(GetMenuItemPropertySize(menu_, 1, 'FREF', 'smal', &size), noErr);
  EXPECT_EQ(size, 4u);

  struct Case {
    const char* what;
    MenuItemIndex item;
    OSType creator, tag;
    ByteCount bufferSize;
    OSStatus status;
  };
  const Case failures[] = {
      {"too small a buffer", 1, 'FREF', typeFSRef, 79, paramErr},
      {"another tag", 1, 'FREF', 'xxxx', 100, menuPropertyNotFoundErr},
      {"another creator", 1, 'xxxx', typeFSRef, 100, menuPropertyNotFoundErr},
      {"another item", 2, 'FREF', typeFSRef, 100, menuPropertyNotFoundErr},
      {"no such item", 3, 'FREF', typeFSRef, 100, menuItemNotFoundErr},
  };
  for (const auto& c : failures) {
    SCOPED_TRACE(c.what);
    std::memset(buffer, 0xEE, sizeof buffer);
    size = 999;
    EXPECT_EQ(GetMenuItemProperty(menu_, c.item, c.creator, c.tag, c.bufferSize, &size, buffer), c.status);
    EXPECT_EQ(buffer[0], 0xEE);
    EXPECT_EQ(size, 999u);
  }

  // The data goes with its item when others are inserted before it.
  CFStringRef s = Str("first");
  InsertMenuItemTextWithCFString(menu_, s, 0, 0, 0);
  CFRelease(s);
  EXPECT_EQ(GetMenuItemPropertySize(menu_, 2, 'FREF', typeFSRef, &size), noErr);
  EXPECT_EQ(GetMenuItemPropertySize(menu_, 1, 'FREF', typeFSRef, &size), menuPropertyNotFoundErr);

  // Item 0 is the menu's own data.
  ASSERT_EQ(SetMenuItemProperty(menu_, 0, 'appl', 'data', sizeof small, &small), noErr);
  EXPECT_EQ(GetMenuItemPropertySize(menu_, 0, 'appl', 'data', &size), noErr);

  ASSERT_EQ(RemoveMenuItemProperty(menu_, 2, 'FREF', typeFSRef), noErr);
  EXPECT_EQ(RemoveMenuItemProperty(menu_, 2, 'FREF', typeFSRef), menuPropertyNotFoundErr);
  EXPECT_EQ(SetMenuItemProperty(menu_, 2, 'FREF', 'nil ', 4, nullptr), paramErr);
  EXPECT_EQ(SetMenuItemProperty(menu_, 2, 'FREF', 'empt', 0, nullptr), noErr);
}

// Values come back byte for byte whatever runs of zeros they hold, next to
// the item's other values, through replacements and removals.
TEST_F(MenusTest, ItemPropertiesComeBackAsTheyWereSet) {
  Append("f");
  auto bytes = [](std::initializer_list<int> pieces) {  // a positive count of 0xAB, a negative one of zeros
    std::vector<UInt8> v;
    for (int n : pieces) v.insert(v.end(), size_t(n < 0 ? -n : n), UInt8(n < 0 ? 0 : 0xAB));
    return v;
  };
  std::vector<UInt8> record(360, 0);  // a fixed record: short texts zero past their characters
  for (int at : {0, 64, 128, 162, 291}) std::memcpy(&record[size_t(at)], "\x05" "alpha", 6);
  record[130] = 0x80;
  std::vector<UInt8> counting(70000);
  for (size_t i = 0; i < counting.size(); ++i) counting[i] = UInt8(i % 7 == 0 ? 0 : i);
  const struct {
    const char* what;
    std::vector<UInt8> value;
  } cases[] = {
      {"empty", {}},
      {"one zero", bytes({-1})},
      {"zeros only", bytes({-300})},
      {"no zeros", bytes({200})},
      {"short runs of zeros", bytes({3, -1, 2, -2, 1, -1})},
      {"zeros at both ends", bytes({-3, 5, -4})},
      {"long runs", bytes({130, -20000, 1, -129, 128})},
      {"a fixed record", record},
      {"large", counting},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const UInt32 neighbour = 0x01020304;
    ASSERT_EQ(SetMenuItemProperty(menu_, 1, 'QVtt', 'befo', sizeof neighbour, &neighbour), noErr);
    ASSERT_EQ(SetMenuItemProperty(menu_, 1, 'QVtt', 'valu', c.value.size(), c.value.data()), noErr);
    ASSERT_EQ(SetMenuItemProperty(menu_, 1, 'QVtt', 'afte', sizeof neighbour, &neighbour), noErr);
    for (int pass = 0; pass < 2; ++pass) {  // then once more after being set again
      std::vector<UInt8> back(c.value.size() + 8, 0xEE);
      ByteCount size = 0;
      ASSERT_EQ(GetMenuItemProperty(menu_, 1, 'QVtt', 'valu', back.size(), &size, back.data()), noErr);
      ASSERT_EQ(size, c.value.size());
      EXPECT_TRUE(std::equal(c.value.begin(), c.value.end(), back.begin()));
      EXPECT_EQ(back[size], 0xEE);  // nothing written past the value
      for (OSType tag : {OSType('befo'), OSType('afte')}) {
        UInt32 got = 0;
        ASSERT_EQ(GetMenuItemProperty(menu_, 1, 'QVtt', tag, sizeof got, &size, &got), noErr);
        EXPECT_EQ(got, neighbour);
      }
      ASSERT_EQ(SetMenuItemProperty(menu_, 1, 'QVtt', 'valu', c.value.size(), c.value.data()), noErr);
    }
    ASSERT_EQ(RemoveMenuItemProperty(menu_, 1, 'QVtt', 'befo'), noErr);
    UInt32 got = 0;
    ByteCount size = 0;
    ASSERT_EQ(GetMenuItemProperty(menu_, 1, 'QVtt', 'afte', sizeof got, &size, &got), noErr);
    EXPECT_EQ(got, neighbour);
  }
}

// Titles of any characters stay with their items while thousands are
// replaced, inserted and deleted around them.
TEST_F(MenusTest, TitlesStayWithTheirItems) {
  const std::vector<std::string> kinds = {"plain_function", "", "caf\u00e9", "\u03bb\u2192x", "emoji \U0001F600 end"};
  std::vector<std::string> expected;
  for (int i = 0; i < 3000; ++i) {
    expected.push_back(kinds[size_t(i) % kinds.size()] + std::to_string(i));
    Append(expected.back().c_str());
  }
  // Each title set again several times, and every third item deleted.
  for (int round = 0; round < 3; ++round)
    for (size_t i = 0; i < expected.size(); i += 2) {
      expected[i] = kinds[(i + size_t(round) + 1) % kinds.size()] + "r" + std::to_string(round) + "_" + std::to_string(i);
      CFStringRef s = Str(expected[i].c_str());
      ASSERT_EQ(SetMenuItemTextWithCFString(menu_, MenuItemIndex(i + 1), s), noErr);
      CFRelease(s);
    }
  for (size_t i = expected.size(); i-- > 0;)
    if (i % 3 == 1) {
      DeleteMenuItem(menu_, MenuItemIndex(i + 1));
      expected.erase(expected.begin() + SInt64(i));
    }
  CFStringRef top = Str("\u00fcber");
  ASSERT_EQ(InsertMenuItemTextWithCFString(menu_, top, 0, 0, 0), noErr);
  CFRelease(top);
  expected.insert(expected.begin(), "\u00fcber");
  ASSERT_EQ(CountMenuItems(menu_), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) ASSERT_EQ(Text(menu_, MenuItemIndex(i + 1)), expected[i]) << i;

  // Emptied and filled again.
  ASSERT_EQ(DeleteMenuItems(menu_, 1, CountMenuItems(menu_)), noErr);
  Append("again");
  EXPECT_EQ(Text(menu_, 1), "again");
}

TEST_F(MenusTest, MenusAreCountedAndHoldTheirSubmenus) {
  MenuRef sub = nullptr;
  ASSERT_EQ(CreateNewMenu(0, 0, &sub), noErr);
  Append("Open Recent");
  ASSERT_EQ(SetMenuItemHierarchicalMenu(menu_, 1, sub), noErr);
  EXPECT_EQ(GetMenuRetainCount(sub), 2u);
  ReleaseMenu(sub);
  EXPECT_TRUE(IsValidMenu(sub));
  CFStringRef s = Str("file.php");
  AppendMenuItemTextWithCFString(sub, s, 0, 'OPND', nullptr);
  CFRelease(s);

  MenuRef found = nullptr;
  MenuItemIndex at = 0;
  ASSERT_EQ(GetIndMenuItemWithCommandID(menu_, 'OPND', 1, &found, &at), noErr);
  EXPECT_EQ(found, sub);
  EXPECT_EQ(at, 1);

  // The menu ends with its last release, and takes its submenu along.
  EXPECT_EQ(RetainMenu(menu_), noErr);
  EXPECT_EQ(ReleaseMenu(menu_), noErr);
  EXPECT_TRUE(IsValidMenu(menu_));
  EventTargetRef target = GetMenuEventTarget(menu_);
  EXPECT_NE(target, nullptr);
  DisposeMenu(menu_);
  EXPECT_FALSE(IsValidMenu(menu_));
  EXPECT_FALSE(IsValidMenu(sub));
  EXPECT_EQ(ReleaseMenu(menu_), errInvalidMenuRef);
  EXPECT_EQ(CountMenuItems(menu_), 0);
  EXPECT_EQ(GetMenuEventTarget(menu_), nullptr);
  menu_ = nullptr;
}

OSStatus TakeCommand(EventHandlerCallRef, EventRef, void* data) {
  ++*static_cast<int*>(data);
  return noErr;
}

TEST_F(MenusTest, MenuEventsClimbToTheApplication) {
  int taken = 0;
  EventTypeSpec type = {kEventClassCommand, kEventCommandProcess};
  EventHandlerRef h = nullptr;
  ASSERT_EQ(InstallApplicationEventHandler(TakeCommand, 1, &type, &taken, &h), noErr);
  EventRef e = nullptr;
  CreateEvent(nullptr, kEventClassCommand, kEventCommandProcess, 0, 0, &e);
  EXPECT_EQ(SendEventToEventTarget(e, GetMenuEventTarget(menu_)), noErr);
  EXPECT_EQ(taken, 1);
  ReleaseEvent(e);
  RemoveEventHandler(h);
}

}  // namespace
