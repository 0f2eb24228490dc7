// View helpers on a headless window: walks, look-ups, properties, Boolean
// values, pop-up menus and focus.
#include <gtest/gtest.h>

#include <vector>

#include "CFArray.h"
#include "CFNumber.h"
#include <cstring>
#include <string>
#include "CFString.h"
#include "PascalCarbonCommon.h"

namespace {

class ViewHelpersTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Rect bounds{100, 100, 400, 500};
    ASSERT_EQ(CreateNewWindow(kDocumentWindowClass, 0, &bounds, &window), noErr);
    root = HIViewGetRoot(window);
  }
  void TearDown() override { DisposeWindow(window); }
  HIViewRef AddView(HIViewRef parent, SInt32 id) {
    HIViewRef view = nullptr;
    CGRect frame{{0, 0}, {50, 20}};
    HIViewCreate(&frame, &view);
    HIViewAddSubview(parent, view);
    HIViewSetID(view, HIViewID{'test', id});
    return view;
  }
  static void SetText(HIViewRef view, const char* text) {
    SetControlProperty(view, 'test', 'name', strlen(text) + 1, text);
  }
  WindowRef window = nullptr;
  HIViewRef root = nullptr;
};

TEST_F(ViewHelpersTest, WalkVisitsParentsBeforeChildrenInIndexOrder) {
  HIViewRef first = AddView(root, 1);
  HIViewRef grandchild = AddView(first, 3);
  HIViewRef second = AddView(root, 2);
  std::vector<HIViewRef> seen;
  HIViewApplyFunction(
      root, [](HIViewRef v, const ControlKind&, void* data) { static_cast<std::vector<HIViewRef>*>(data)->push_back(v); },
      &seen);
  EXPECT_EQ(seen, (std::vector<HIViewRef>{root, first, grandchild, second}));
  EXPECT_EQ(HIViewFind(3, 'test', window), grandchild);
  EXPECT_EQ(HIViewFind(9, 'test', window), nullptr);
  EXPECT_TRUE(HIViewIsValid(second));
  EXPECT_FALSE(HIViewIsValid(nullptr));
  EXPECT_EQ(HIViewFrame(second).size.width, 50);
}

TEST_F(ViewHelpersTest, PropertiesAndFindByProperty) {
  HIViewRef a = AddView(root, 1);
  HIViewRef b = AddView(a, 2);
  SetText(b, "target");
  EXPECT_EQ(HIViewGetProperty(b, 'name', 'test').str(), "target");
  EXPECT_TRUE(HIViewGetProperty(a, 'name', 'test').empty());
  EXPECT_NE(Err, noErr);
  EXPECT_EQ(HIViewFindByProperty('name', 'test', "target", window), b);
  SetText(root, "target");
  EXPECT_EQ(HIViewFindByProperty('name', 'test', "target", window), root);
  EXPECT_EQ(HIViewFindByProperty('name', 'test', "targ", window), nullptr);
  // A property without its NUL, and one longer than a short string, read safely.
  std::string huge(600, 'x');
  SetControlProperty(a, 'test', 'name', huge.size(), huge.data());
  EXPECT_EQ(HIViewGetProperty(a, 'name', 'test').len(), 255);
}

TEST_F(ViewHelpersTest, BooleanValuesTextAndFocus) {
  ControlRef box = nullptr, edit = nullptr;
  Rect r{10, 10, 30, 100};
  CreateCheckBoxControl(window, &r, CFSTR("Check"), 0, true, &box);
  HIViewSetBooleanValue(box, true);
  EXPECT_TRUE(HIViewGetBooleanValue(box));
  SetControlBooleanValue(box, false);
  EXPECT_FALSE(GetControlBooleanValue(box));
  EXPECT_EQ(HIViewGetText(box).str(), "Check");

  CreateEditUnicodeTextControl(window, &r, CFSTR("hello"), false, nullptr, &edit);
  HIViewFocusEditText(edit);
  EXPECT_EQ(Err, noErr);
  EXPECT_TRUE(HIViewSubtreeContainsFocus(edit));
  ControlEditTextSelectionRec sel{};
  GetControlData(edit, 0, kControlEditTextSelectionTag, sizeof sel, &sel, nullptr);
  EXPECT_EQ(sel.selStart, 0);
  EXPECT_EQ(sel.selEnd, 5);
}

TEST_F(ViewHelpersTest, GlobalPointsBecomeRootViewPoints) {
  SetPortWindowPort(window);
  CGPoint point{150, 130};
  HIViewGlobalToLocal(point, window);
  EXPECT_EQ(Err, noErr);
  EXPECT_EQ(point.x, 50);
  EXPECT_EQ(point.y, 30);
}

TEST_F(ViewHelpersTest, PopupMenus) {
  ControlRef popup = nullptr, push = nullptr;
  Rect r{10, 10, 30, 100};
  CreatePopupButtonControl(window, &r, nullptr, -12345, false, 0, 0, 0, &popup);
  CreatePushButtonControl(window, &r, CFSTR("OK"), &push);
  MenuRef menu = nullptr;
  CreateNewMenu(2, 0, &menu);
  HIViewSetMenu(popup, menu);
  HIViewSetMenu(push, menu);
  EXPECT_EQ(HIViewGetMenu(popup), menu);
  EXPECT_EQ(HIViewGetMenu(push), nullptr);

  const void* names[] = {CFSTR("Red"), CFSTR("Green"), kCFBooleanTrue, CFSTR("Blue")};
  CFArrayRef array = CFArrayCreate(nullptr, names, 4, &kCFTypeArrayCallBacks);
  HIViewSetMenuWithArray(popup, array);
  EXPECT_EQ(CountMenuItems(menu), 3);
  EXPECT_EQ(HIViewGetMenuItem(popup, CFSTR("blue")), 3);
  HIViewSetMenuItem(popup, CFSTR("GREEN"));
  EXPECT_EQ(HIViewGetValue(popup), 2);
  EXPECT_EQ(HIViewGetMenuText(popup).str(), "Green");
  HIViewSetMenuItem(popup, CFSTR("Purple"));
  EXPECT_EQ(HIViewGetValue(popup), 1);
  CFStringRef text = HIViewCopyMenuText(popup);
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(CFStringCompare(text, CFSTR("Red"), 0), kCFCompareEqualTo);
  CFRelease(text);

  CFArrayRef emptyArray = CFArrayCreate(nullptr, nullptr, 0, &kCFTypeArrayCallBacks);
  HIViewSetMenuWithArray(popup, emptyArray);
  EXPECT_EQ(CountMenuItems(menu), 0);
  EXPECT_EQ(HIViewCopyMenuText(popup), nullptr);
  CFRelease(emptyArray);
  CFRelease(array);
  ReleaseMenu(menu);
}

}  // namespace
