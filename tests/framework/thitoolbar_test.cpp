// The window toolbar built from item records: the identifier lists the
// delegate answers, items made from the first matching record, look-ups by
// command and identifier, and an item that brings a view of its own.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Drag.h"
#include "FrameworkFixtures.h"
#include "HIToolbar.h"
#include "THIToolbarUnit.h"
#include "TWindowUnit.h"

namespace {

int gToolbarUpdates = 0;

class TToolbarWindow : public TWindow {
 public:
  void UpdateToolbarStatus() override { ++gToolbarUpdates; }
};

// An item whose view is a plain drawn view.
class TSwatchItem : public THIToolbarView {
 public:
  void Initialize() override { initialized = true; }
  bool initialized = false;
};
THIView* NewSwatch() { return new TSwatchItem(); }

std::vector<std::string> Strings(CFArrayRef array) {
  std::vector<std::string> out;
  for (CFIndex i = 0; array && i < CFArrayGetCount(array); ++i) {
    char buffer[256] = {0};
    CFStringGetCString(static_cast<CFStringRef>(CFArrayGetValueAtIndex(array, i)), buffer, sizeof buffer,
                       kCFStringEncodingUTF8);
    out.push_back(buffer);
  }
  return out;
}

std::vector<std::string> ItemIdentifiers(HIToolbarRef toolbar) {
  CFArrayRef items = nullptr;
  HIToolbarCopyItems(toolbar, &items);
  std::vector<std::string> out;
  for (CFIndex i = 0; items && i < CFArrayGetCount(items); ++i) {
    CFStringRef id = nullptr;
    HIToolbarItemCopyIdentifier(static_cast<HIToolbarItemRef>(const_cast<void*>(CFArrayGetValueAtIndex(items, i))),
                                &id);
    CFArrayRef one = CFArrayCreate(nullptr, reinterpret_cast<const void**>(&id), 1, &kCFTypeArrayCallBacks);
    out.push_back(Strings(one)[0]);
    CFRelease(one);
    CFRelease(id);
  }
  if (items) CFRelease(items);
  return out;
}

// What the delegate answers to one of the identifier questions.
std::vector<std::string> Ask(HIToolbarRef toolbar, UInt32 kind) {
  EventRef event = nullptr;
  CreateEvent(nullptr, kEventClassToolbar, kind, 0, kEventAttributeNone, &event);
  CFMutableArrayRef array = CFArrayCreateMutable(nullptr, 0, &kCFTypeArrayCallBacks);
  SetEventParameter(event, kEventParamToolbarMutableArray, typeCFMutableArrayRef, sizeof array, &array);
  EXPECT_EQ(SendEventToEventTarget(event, HIObjectGetEventTarget(toolbar)), noErr);
  ReleaseEvent(event);
  std::vector<std::string> out = Strings(array);
  CFRelease(array);
  return out;
}

std::string Label(HIToolbarItemRef item) {
  CFStringRef label = nullptr;
  HIToolbarItemCopyLabel(item, &label);
  char buffer[256] = {0};
  if (label) CFStringGetCString(label, buffer, sizeof buffer, kCFStringEncodingUTF8), CFRelease(label);
  return buffer;
}

class THIToolbarTest : public ::testing::Test {
 protected:
  void SetUp() override {
    gToolbarUpdates = 0;
    window = new TToolbarWindow();
    window->CreateToolbar("com.test.editor", 0);
    THIToolbar* t = window->toolbar;
    ASSERT_NE(t, nullptr);
    t->Append(0, 'macs', 'APPL', "Run", 'run ', true, true);
    t->Append(0, 'macs', 'APPL', "Run again", 'run ', false, false);  // same command: never made
    t->AppendStandard(0, kHIToolbarSeparatorIdentifier, true);
    t->Append(0, 'macs', 'APPL', "Stop", 'stop', true, false);
    t->Append(0, 'macs', 'APPL', "Upload", 'upld', false, true);
    t->AppendView(0, "com.test.toolbar.swatch", NewSwatch, &context, true);
    window->Create("Document", FixtureNib());
    GetWindowToolbar(window->window, &toolbar);
  }
  void TearDown() override {
    window->Remove();
    DisposeAllWindows();
  }
  TToolbarWindow* window = nullptr;
  HIToolbarRef toolbar = nullptr;
  int context = 7;
};

TEST_F(THIToolbarTest, TheDelegateAnswersFromTheRecords) {
  ASSERT_NE(toolbar, nullptr);
  EXPECT_TRUE(IsWindowToolbarVisible(window->window));
  EXPECT_EQ(gToolbarUpdates, 1);  // told once the toolbar is on the window
  EXPECT_EQ(window->toolbar->GetIdentifierFromCommandID('run '), Str255("com.test.editor.run .item"));
  const std::vector<std::string> defaults = {"com.test.editor.run .item", "com.apple.hitoolbox.toolbar.separator",
                                             "com.test.editor.stop.item", "com.test.toolbar.swatch"};
  EXPECT_EQ(Ask(toolbar, kEventToolbarGetDefaultIdentifiers), defaults);
  EXPECT_EQ(ItemIdentifiers(toolbar), defaults);
  // The four system items, then every record but the standard ones.
  EXPECT_EQ(Ask(toolbar, kEventToolbarGetAllowedIdentifiers),
            (std::vector<std::string>{"com.apple.hitoolbox.toolbar.separator", "com.apple.hitoolbox.toolbar.space",
                                      "com.apple.hitoolbox.toolbar.flexiblespace",
                                      "com.apple.hitoolbox.toolbar.customize", "com.test.editor.run .item",
                                      "com.test.editor.run .item", "com.test.editor.stop.item",
                                      "com.test.editor.upld.item", "com.test.toolbar.swatch"}));
  EXPECT_EQ(Ask(toolbar, kEventToolbarGetSelectableIdentifiers),
            (std::vector<std::string>{"com.test.editor.run .item", "com.test.editor.upld.item"}));

  // Of two records with one command, the first makes the item.
  HIToolbarItemRef run = window->toolbar->GetItemByCommand('run ');
  ASSERT_NE(run, nullptr);
  EXPECT_EQ(Label(run), "Run");
  HIToolbarItemRef made = nullptr;
  ASSERT_EQ(HIToolbarCreateItemWithIdentifier(toolbar, CFStringMakeConstantUTF8("com.test.editor.upld.item"), nullptr,
                                              &made),
            noErr);
  EXPECT_EQ(Label(made), "Upload");
  CFRelease(made);
  EXPECT_NE(HIToolbarCreateItemWithIdentifier(toolbar, CFStringMakeConstantUTF8("com.test.unknown"), nullptr, &made),
            noErr);

  // Enabling by command; icon buttons are not found by identifier.
  window->toolbar->SetItemEnabledByCommand('stop', false);
  EXPECT_FALSE(HIToolbarItemIsEnabled(window->toolbar->GetItemByCommand('stop')));
  EXPECT_TRUE(HIToolbarItemIsEnabled(run));
  EXPECT_EQ(window->toolbar->GetItemByIdentifier("com.test.editor.stop.item"), nullptr);
  EXPECT_EQ(window->toolbar->GetDataByCommand('stop'), nullptr);

  // Drops make no item.
  DragRef drag = nullptr;
  NewDrag(&drag);
  AddDragItemFlavor(drag, 1, 'TEXT', "abc", 3, 0);
  EventRef event = nullptr;
  CreateEvent(nullptr, kEventClassToolbar, kEventToolbarCreateItemFromDrag, 0, kEventAttributeNone, &event);
  SetEventParameter(event, kEventParamDragRef, typeDragRef, sizeof drag, &drag);
  EXPECT_EQ(SendEventToEventTarget(event, HIObjectGetEventTarget(toolbar)), eventNotHandledErr);
  ReleaseEvent(event);
  DisposeDrag(drag);
}

TEST_F(THIToolbarTest, AnItemWithItsOwnViewIsServedByTwoObjects) {
  HIToolbarItemRef item = window->toolbar->GetItemByIdentifier("com.test.toolbar.swatch");
  ASSERT_NE(item, nullptr);
  THIToolbarItem* data = window->toolbar->GetDataByIdentifier("com.test.toolbar.swatch");
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(data, window->toolbar->GetToolbarItemData(item));
  EXPECT_EQ(data->ClassID, Str255("com.test.toolbar.swatch"));
  EXPECT_EQ(data->ViewClassID, Str255("com.test.toolbar.swatch.HIView"));
  EXPECT_EQ(data->Context, &context);
  EXPECT_EQ(data->ItemRef, item);
  HIViewRef view = nullptr;
  ASSERT_EQ(HIToolbarItemGetView(item, &view), noErr);
  ASSERT_EQ(view, data->View);
  // The view's object is a second one of the item's class.
  auto* viewObject = dynamic_cast<TSwatchItem*>(HIViewGetObjectRef(view));
  ASSERT_NE(viewObject, nullptr);
  EXPECT_NE(viewObject, data);
  EXPECT_TRUE(viewObject->initialized);
  EXPECT_EQ(viewObject->Context, &context);
  EXPECT_EQ(data->Toolbar, toolbar);
  // A command set through the item reaches both the view and the item.
  data->SetCommand('swch');
  EXPECT_EQ(window->toolbar->GetItemByCommand('swch'), item);
  // The small display size makes the view's control small.
  HIToolbarSetDisplaySize(toolbar, kHIToolbarDisplaySizeSmall);
  EXPECT_EQ(data->DisplaySize, UInt32(kHIToolbarDisplaySizeSmall));
  UInt16 size = 9;
  GetControlData(view, 0, kControlSizeTag, sizeof size, &size, nullptr);
  EXPECT_EQ(size, 1);
}

}  // namespace
