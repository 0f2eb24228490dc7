// Interface files: a fixture window with every view and ID, a registered view
// class made through its creation parameters, menus and a menu bar, malformed
// files and entries, and a PNG render of the window.
#include <gtest/gtest.h>
#include <cairo.h>

#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

#include "CFBundle.h"
#include "CFString.h"
#include "CFURL.h"
#include "CGContext.h"
#include "HIObject.h"
#include "HIView.h"
#include "IBCarbonRuntime.h"
#include "MacWindows.h"
#include "WindowInternal.h"

namespace {

CFStringRef Str(const char* s) { return CFStringMakeConstantUTF8(s); }

std::string Text(CFStringRef s) {
  if (s == nullptr) return "<nil>";
  char buf[512];
  CFStringGetCString(s, buf, sizeof buf, kCFStringEncodingUTF8);
  return buf;
}

// The registered class of the fixture: keeps its creation parameters and
// draws itself in one colour.
struct Swatch {
  HIViewRef view = nullptr;
  std::string style;
  SInt32 size = -1;
  Boolean async = false;
  CFRange limits{-1, -1};
  HIRect bounds{};
};

OSStatus SwatchHandler(EventHandlerCallRef call, EventRef event, void* data) {
  const EventClass cls = GetEventClass(event);
  const EventKind kind = GetEventKind(event);
  if (cls == kEventClassHIObject && kind == kEventHIObjectConstruct) {
    auto* s = new Swatch;
    GetEventParameter(event, kEventParamHIObjectInstance, typeHIObjectRef, nullptr, sizeof s->view, nullptr, &s->view);
    SetEventParameter(event, kEventParamHIObjectInstance, typeVoidPtr, sizeof s, &s);
    return noErr;
  }
  auto* s = static_cast<Swatch*>(data);
  if (cls == kEventClassHIObject && kind == kEventHIObjectInitialize) {
    OSStatus st = CallNextEventHandler(call, event);
    CFStringRef style = nullptr;
    if (GetEventParameter(event, 'STYL', typeCFStringRef, nullptr, sizeof style, nullptr, &style) == noErr)
      s->style = Text(style);
    GetEventParameter(event, 'SIZE', typeUInt32, nullptr, sizeof s->size, nullptr, &s->size);
    GetEventParameter(event, 'ASYC', typeBoolean, nullptr, sizeof s->async, nullptr, &s->async);
    GetEventParameter(event, 'LIMT', 'cfrg', nullptr, sizeof s->limits, nullptr, &s->limits);
    GetEventParameter(event, kEventParamBounds, typeHIRect, nullptr, sizeof s->bounds, nullptr, &s->bounds);
    return st;
  }
  if (cls == kEventClassHIObject && kind == kEventHIObjectDestruct) {
    delete s;
    return noErr;
  }
  if (cls == kEventClassControl && kind == kEventControlDraw) {
    CGContextRef c = nullptr;
    GetEventParameter(event, kEventParamCGContextRef, typeCGContextRef, nullptr, sizeof c, nullptr, &c);
    HIRect bounds;
    HIViewGetBounds(s->view, &bounds);
    CGContextSetRGBFillColor(c, 0.8, 0.2, 0.2, 1.0);
    CGContextFillRect(c, bounds);
    return noErr;
  }
  return eventNotHandledErr;
}

std::string FixtureFolder() {
  return QUORVEL_TEST_SOURCE_DIR "/platform/fixtures/nib";
}

class NibTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    static const EventTypeSpec kEvents[] = {{kEventClassHIObject, kEventHIObjectConstruct},
                                            {kEventClassHIObject, kEventHIObjectInitialize},
                                            {kEventClassHIObject, kEventHIObjectDestruct},
                                            {kEventClassControl, kEventControlDraw}};
    ASSERT_EQ(HIObjectRegisterSubclass(Str("com.quorvel.test.swatch"), Str("com.apple.hiview"), 0, SwatchHandler, 4,
                                       kEvents, nullptr, nullptr),
              noErr);
    std::string folder = FixtureFolder();
    CFURLRef url = CFURLCreateFromFileSystemRepresentation(nullptr, reinterpret_cast<const UInt8*>(folder.c_str()),
                                                           CFIndex(folder.size()), true);
    bundle_ = CFBundleCreate(nullptr, url);
    CFRelease(url);
    ASSERT_NE(bundle_, nullptr);
  }

  void SetUp() override { ASSERT_EQ(CreateNibReferenceWithCFBundle(bundle_, Str("Test"), &nib_), noErr); }
  void TearDown() override {
    DisposeNibReference(nib_);
    while (WindowRef w = GetWindowList()) DisposeWindow(w);
  }

  HIViewRef Find(WindowRef w, OSType signature, SInt32 id) {
    HIViewRef v = nullptr;
    EXPECT_EQ(HIViewFindByID(HIViewGetRoot(w), HIViewID{signature, id}, &v), noErr)
        << std::string{char(signature >> 24), char(signature >> 16), char(signature >> 8), char(signature)} << id;
    return v;
  }

  OSType Kind(HIViewRef v) {
    ControlKind k{};
    GetControlKind(v, &k);
    return k.kind;
  }

  static CFBundleRef bundle_;
  IBNibRef nib_ = nullptr;
};
CFBundleRef NibTest::bundle_ = nullptr;

TEST_F(NibTest, WindowWithEveryViewAndID) {
  WindowRef w = nullptr;
  ASSERT_EQ(CreateWindowFromNib(nib_, Str("Main"), &w), noErr);
  EXPECT_FALSE(IsWindowVisible(w));  // hidden as the file made it
  WindowClass cls = 0;
  GetWindowClass(w, &cls);
  EXPECT_EQ(cls, kDocumentWindowClass);
  WindowAttributes attrs = 0;
  GetWindowAttributes(w, &attrs);
  EXPECT_EQ(attrs, UInt32(kWindowCloseBoxAttribute | kWindowResizableAttribute | kWindowStandardHandlerAttribute |
                          kWindowCompositingAttribute));
  CFStringRef title = nullptr;
  CopyWindowTitleAsCFString(w, &title);
  EXPECT_EQ(Text(title), "Fixture Window");
  CFRelease(title);
  EXPECT_EQ(GetWindowKind(w), 1000);
  Rect r;
  GetWindowBounds(w, kWindowContentRgn, &r);
  EXPECT_EQ((std::vector<int>{r.left, r.top, r.right, r.bottom}), (std::vector<int>{120, 80, 540, 380}));
  HISize minimum, maximum;
  GetWindowResizeLimits(w, &minimum, &maximum);
  EXPECT_EQ(minimum.width, 300);
  EXPECT_EQ(maximum.height, 900);

  struct Expect {
    OSType signature;
    SInt32 id;
    OSType kind;
  } views[] = {
      {'word', 128, kControlKindStaticText}, {'NAME', 1, kControlKindEditUnicodeText},
      {'CHEK', 2, kControlKindCheckBox},     {'POPU', 3, kControlKindPopupButton},
      {'GRUP', 4, kControlKindGroupBox},     {'RGRP', 5, kControlKindRadioGroup},
      {'SLID', 7, kControlKindSlider},       {'PROG', 8, kControlKindProgressBar},
      {'SEGM', 9, kControlKindHISegmentedView}, {'PANE', 128, kControlKindUserPane},
      {'butn', 1, kControlKindPushButton},   {'butn', 2, kControlKindPushButton},
  };
  for (const auto& e : views) {
    HIViewRef v = Find(w, e.signature, e.id);
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(Kind(v), e.kind) << e.id;
    EXPECT_EQ(HIViewGetWindow(v), w);
  }
  EXPECT_EQ(HIViewCountSubviews(HIViewGetRoot(w)), 12);

  HIViewRef name = Find(w, 'NAME', 1);
  CFStringRef text = nullptr;
  CopyControlTitleAsCFString(Find(w, 'word', 128), &text);
  EXPECT_EQ(Text(text), "Name:");
  CFRelease(text);
  char pref[32] = {};
  ByteCount size = 0;
  ASSERT_EQ(GetControlProperty(name, '????', 'PREF', sizeof pref, &size, pref), noErr);
  EXPECT_EQ(size, 9u);  // the characters and a terminating zero
  EXPECT_STREQ(pref, "FileName");

  EXPECT_EQ(GetControl32BitValue(Find(w, 'CHEK', 2)), 1);
  HIViewRef slider = Find(w, 'SLID', 7);
  EXPECT_EQ(GetControl32BitMaximum(slider), 10);
  EXPECT_EQ(GetControl32BitValue(slider), 4);
  EXPECT_EQ(GetControl32BitValue(Find(w, 'PROG', 8)), 60);
  HIViewRef popup = Find(w, 'POPU', 3);
  MenuRef choices = nullptr;
  ASSERT_EQ(GetControlData(popup, 0, kControlPopupButtonMenuRefTag, sizeof choices, &choices, nullptr), noErr);
  EXPECT_EQ(CountMenuItems(choices), 3);
  EXPECT_EQ(GetMenuID(choices), 300);
  EXPECT_EQ(GetControl32BitValue(popup), 2);

  HIViewRef group = Find(w, 'RGRP', 5);
  EXPECT_EQ(HIViewCountSubviews(group), 2);
  EXPECT_EQ(HIViewGetSuperview(group), Find(w, 'GRUP', 4));
  HIViewRef segments = Find(w, 'SEGM', 9);
  EXPECT_EQ(HISegmentedViewGetSegmentCount(segments), 2u);
  EXPECT_EQ(HISegmentedViewGetSegmentCommand(segments, 2), UInt32('seg2'));

  EXPECT_FALSE(HIViewIsVisible(Find(w, 'PANE', 128)));
  EXPECT_FALSE(HIViewIsEnabled(Find(w, 'butn', 2), nullptr));
  UInt32 command = 0;
  GetControlCommandID(Find(w, 'butn', 1), &command);
  EXPECT_EQ(command, kHICommandOK);

  // Bindings to the parent's edges follow a resize of the window.
  HIViewRef ok = Find(w, 'butn', 1);
  HIRect before, after, fieldBefore, fieldAfter;
  HIViewGetFrame(ok, &before);
  HIViewGetFrame(name, &fieldBefore);
  SizeWindow(w, 520, 340, true);
  HIViewGetFrame(ok, &after);
  HIViewGetFrame(name, &fieldAfter);
  EXPECT_EQ(after.origin.x - before.origin.x, 100);
  EXPECT_EQ(after.origin.y - before.origin.y, 40);
  EXPECT_EQ(fieldAfter.size.width - fieldBefore.size.width, 100);
  EXPECT_EQ(fieldAfter.origin.x, fieldBefore.origin.x);
}

TEST_F(NibTest, RegisteredClassGetsItsCreationParameters) {
  WindowRef w = nullptr;
  ASSERT_EQ(CreateWindowFromNib(nib_, Str("Main"), &w), noErr);
  HIViewRef view = Find(w, 'SWAT', 6);
  ASSERT_NE(view, nullptr);
  auto* swatch = static_cast<Swatch*>(HIObjectDynamicCast(reinterpret_cast<HIObjectRef>(view),
                                                          Str("com.quorvel.test.swatch")));
  ASSERT_NE(swatch, nullptr);
  EXPECT_EQ(swatch->view, view);
  EXPECT_EQ(swatch->style, "metal");
  EXPECT_EQ(swatch->size, 12);
  EXPECT_TRUE(swatch->async);
  EXPECT_EQ(swatch->limits.location, 10);
  EXPECT_EQ(swatch->limits.length, 200);
  EXPECT_EQ(swatch->bounds.size.width, 110);
  HIRect frame;
  HIViewGetFrame(view, &frame);
  EXPECT_EQ(frame.origin.x, 250);
  EXPECT_EQ(frame.size.height, 50);
}

TEST_F(NibTest, MenusAndMenuBar) {
  MenuRef file = nullptr;
  ASSERT_EQ(CreateMenuFromNib(nib_, Str("File"), &file), noErr);
  EXPECT_EQ(GetMenuID(file), 128);
  EXPECT_EQ(CountMenuItems(file), 6);
  MenuCommand command = 0;
  GetMenuItemCommandID(file, 5, &command);
  EXPECT_EQ(command, kHICommandClose);
  UInt16 key = 0;
  GetMenuItemCommandKey(file, 5, false, &key);
  EXPECT_EQ(key, 'W');
  UInt8 modifiers = 0;
  GetMenuItemModifiers(file, 6, &modifiers);
  EXPECT_EQ(modifiers, kMenuShiftModifier);
  MenuItemAttributes attrs = 0;
  GetMenuItemAttributes(file, 4, &attrs);
  EXPECT_TRUE(attrs & kMenuItemAttrSeparator);
  MenuRef recent = nullptr;
  GetMenuItemHierarchicalMenu(file, 3, &recent);
  ASSERT_NE(recent, nullptr);
  EXPECT_EQ(GetMenuID(recent), 140);
  UInt8 bytes[8];
  ByteCount size = 0;
  ASSERT_EQ(GetMenuItemProperty(recent, 1, 'FREF', 'fsrf', sizeof bytes, &size, bytes), noErr);
  EXPECT_EQ(size, 4u);
  EXPECT_EQ(bytes[3], 3);
  ReleaseMenu(file);

  ASSERT_EQ(SetMenuBarFromNib(nib_, Str("MenuBar")), noErr);
  EXPECT_EQ(CountMenuBarMenus(), 2);
  MenuRef edit = GetMenuRef(129);
  ASSERT_NE(edit, nullptr);
  EXPECT_EQ(GetMenuBarIndex(edit), 2);
  EXPECT_NE(GetMenuRef(128), nullptr);
  EXPECT_NE(GetMenuRef(140), nullptr);  // a submenu of the bar
  EXPECT_FALSE(IsMenuItemEnabled(edit, 2));
  GetMenuItemAttributes(edit, 3, &attrs);
  EXPECT_TRUE(attrs & kMenuItemAttrUseVirtualKey);
  GetMenuItemCommandKey(edit, 3, true, &key);
  EXPECT_EQ(key, 51);
  GetMenuItemModifiers(edit, 3, &modifiers);
  EXPECT_EQ(modifiers, kMenuNoCommandModifier);
  CFStringRef title = nullptr;
  CopyMenuTitleAsCFString(edit, &title);
  EXPECT_EQ(Text(title), "Edit");
  CFRelease(title);
  ClearMenuBar();
}

// Menus that each name the next one twice: every name is built once per
// tree and shared, held once by each item that shows it, and all of it goes
// with the last reference. Two pop-ups still get menus of their own.
TEST_F(NibTest, ANamedMenuIsBuiltOncePerMenuTree) {
  IBNibRef shared = nullptr;
  ASSERT_EQ(CreateNibReferenceWithCFBundle(bundle_, Str("Shared"), &shared), noErr);
  MenuRef top = nullptr;
  ASSERT_EQ(CreateMenuFromNib(shared, Str("Chain0"), &top), noErr);
  EXPECT_EQ(GetMenuRetainCount(top), 1u);
  std::vector<MenuRef> chain{top};
  for (int level = 1; level <= 12; ++level) {
    SCOPED_TRACE(level);
    MenuRef one = nullptr, two = nullptr;
    GetMenuItemHierarchicalMenu(chain.back(), 1, &one);
    GetMenuItemHierarchicalMenu(chain.back(), 2, &two);
    ASSERT_NE(one, nullptr);
    ASSERT_EQ(one, two);
    EXPECT_EQ(GetMenuRetainCount(one), 2u);
    chain.push_back(one);
  }
  MenuRef found = nullptr;
  MenuItemIndex index = 0;
  ASSERT_EQ(GetIndMenuItemWithCommandID(top, 'endc', 1, &found, &index), noErr);
  EXPECT_EQ(found, chain.back());
  // One item, however many places show it.
  EXPECT_EQ(GetIndMenuItemWithCommandID(top, 'endc', 2, &found, &index), menuItemNotFoundErr);
  ReleaseMenu(top);
  for (MenuRef m : chain) EXPECT_FALSE(IsValidMenu(m));

  Handle bar = nullptr;
  ASSERT_EQ(CreateMenuBarFromNib(shared, Str("Twice"), &bar), noErr);
  MenuRef root = reinterpret_cast<MenuRef>(bar), first = nullptr, second = nullptr;
  GetMenuItemHierarchicalMenu(root, 1, &first);
  GetMenuItemHierarchicalMenu(root, 2, &second);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first, second);
  EXPECT_EQ(GetMenuRetainCount(first), 2u);
  DisposeMenuBar(bar);
  EXPECT_FALSE(IsValidMenu(first));

  // A fault after a shared menu was placed frees what was built.
  MenuRef m = reinterpret_cast<MenuRef>(1);
  EXPECT_EQ(CreateMenuFromNib(shared, Str("SharedThenBad"), &m), kIBCarbonRuntimeObjectNotOfRequestedType);
  EXPECT_EQ(m, nullptr);

  WindowRef w = nullptr;
  ASSERT_EQ(CreateWindowFromNib(shared, Str("TwoPopUps"), &w), noErr);
  MenuRef a = nullptr, b = nullptr;
  ASSERT_EQ(GetControlData(Find(w, 'POPU', 1), 0, kControlPopupButtonMenuRefTag, sizeof a, &a, nullptr), noErr);
  ASSERT_EQ(GetControlData(Find(w, 'POPU', 2), 0, kControlPopupButtonMenuRefTag, sizeof b, &b, nullptr), noErr);
  ASSERT_NE(a, nullptr);
  EXPECT_NE(a, b);
  EXPECT_EQ(GetMenuRetainCount(a), 1u);
  DisposeWindow(w);
  EXPECT_FALSE(IsValidMenu(a));
  DisposeNibReference(shared);
}

TEST_F(NibTest, MalformedEntriesFailCleanly) {
  IBNibRef bad = nullptr;
  ASSERT_EQ(CreateNibReferenceWithCFBundle(bundle_, Str("Bad"), &bad), noErr);
  struct Case {
    const char* name;
    OSStatus status;
  } windows[] = {
      {"ShortFrame", kIBCarbonRuntimeObjectNotOfRequestedType},
      {"NegativeSize", kIBCarbonRuntimeObjectNotOfRequestedType},
      {"UnknownView", errUnknownControl},
      {"UnregisteredClass", errUnknownControl},
      {"UnknownWindowClass", errUnrecognizedWindowClass},
      {"BadSignature", kIBCarbonRuntimeObjectNotOfRequestedType},
      {"BadAttribute", kIBCarbonRuntimeObjectNotOfRequestedType},
      {"NotADictionary", kIBCarbonRuntimeObjectNotOfRequestedType},
      {"ViewsNotAnArray", kIBCarbonRuntimeObjectNotOfRequestedType},
      {"StringTitle", kIBCarbonRuntimeObjectNotOfRequestedType},
      {"Missing", kIBCarbonRuntimeCantFindObject},
  };
  for (const auto& c : windows) {
    WindowRef w = reinterpret_cast<WindowRef>(1);
    EXPECT_EQ(CreateWindowFromNib(bad, Str(c.name), &w), c.status) << c.name;
    EXPECT_EQ(w, nullptr) << c.name;
    EXPECT_EQ(GetWindowList(), nullptr) << c.name << " left a window behind";
  }
  Case menus[] = {
      {"Loop", kIBCarbonRuntimeObjectNotOfRequestedType},
      {"MissingSub", kIBCarbonRuntimeCantFindObject},
      {"LongKey", kIBCarbonRuntimeObjectNotOfRequestedType},
      {"Missing", kIBCarbonRuntimeCantFindObject},
  };
  for (const auto& c : menus) {
    MenuRef m = reinterpret_cast<MenuRef>(1);
    EXPECT_EQ(CreateMenuFromNib(bad, Str(c.name), &m), c.status) << c.name;
    EXPECT_EQ(m, nullptr);
  }
  EXPECT_EQ(SetMenuBarFromNib(bad, Str("Broken")), kIBCarbonRuntimeCantFindObject);
  EXPECT_EQ(SetMenuBarFromNib(bad, Str("NotAnArray")), kIBCarbonRuntimeObjectNotOfRequestedType);
  EXPECT_EQ(SetMenuBarFromNib(bad, Str("Missing")), kIBCarbonRuntimeCantFindObject);
  DisposeNibReference(bad);

  Case files[] = {
      {"Broken", kIBCarbonRuntimeMalformedFile},
      {"Array", kIBCarbonRuntimeMalformedFile},
      {"Nowhere", fnfErr},
      {"../Interface/Test", paramErr},
      {"", paramErr},
  };
  for (const auto& c : files) {
    IBNibRef nib = reinterpret_cast<IBNibRef>(1);
    EXPECT_EQ(CreateNibReferenceWithCFBundle(bundle_, Str(c.name), &nib), c.status) << c.name;
    EXPECT_EQ(nib, nullptr);
  }
  WindowRef w = nullptr;
  EXPECT_EQ(CreateWindowFromNib(nullptr, Str("Main"), &w), paramErr);
  EXPECT_EQ(CreateNibReference(Str("NoSuchInterfaceFile"), &bad), fnfErr);
}

TEST_F(NibTest, WindowRendersToAPNG) {
  WindowRef w = nullptr;
  ASSERT_EQ(CreateWindowFromNib(nib_, Str("Main"), &w), noErr);
  char cwd[4096];
  ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
  const std::string path = std::string(cwd) + "/nib-fixture-window.png";
  ASSERT_EQ(WindowWritePNG(w, path), noErr);
  std::printf("window screenshot: %s\n", path.c_str());

  cairo_surface_t* png = cairo_image_surface_create_from_png(path.c_str());
  ASSERT_EQ(cairo_surface_status(png), CAIRO_STATUS_SUCCESS);
  EXPECT_EQ(cairo_image_surface_get_width(png), 420);
  EXPECT_EQ(cairo_image_surface_get_height(png), 300);
  // The swatch sits at (250, 20) in the group box at (20, 84).
  auto pixel = [&](int x, int y) {
    const UInt8* data = cairo_image_surface_get_data(png);
    UInt32 argb;
    std::memcpy(&argb, data + y * cairo_image_surface_get_stride(png) + x * 4, 4);
    return argb & 0xFFFFFF;
  };
  EXPECT_EQ(pixel(20 + 250 + 50, 84 + 20 + 25), 0xCC3333u);
  cairo_surface_destroy(png);
  EXPECT_EQ(WindowWritePNG(w, "/nonexistent-folder/x.png"), ioErr);
}

}  // namespace
