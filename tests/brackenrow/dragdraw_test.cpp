// The browser's drags, hit tests and drawing headless: rows dragged within a
// browser and between browsers, drops refused into a node's own subtree,
// drags from another process, the drag image, hit testing and click
// tracking through the host, the cursor location, and the drawing handlers'
// pixels.
#include <unistd.h>

#include <cmath>

#include "BrowserFixture.h"
#include "CGColor.h"
#include "CGImage.h"
#include "HITheme.h"
#include "TestBitmap.h"

namespace {

// The drag image, drawn into a bitmap when the drag ends.
struct DragImage {
  int width = 0, height = 0;
  std::vector<UInt8> pixels;
};
DragImage gImage;

void PostDrag(ControlRef, DragRef drag, OSStatus, void*) {
  CGImageRef image = nullptr;
  HIPoint offset{};
  gImage = DragImage{};
  if (GetDragImage(drag, &image, &offset) != noErr || image == nullptr) return;
  gImage.width = int(CGImageGetWidth(image));
  gImage.height = int(CGImageGetHeight(image));
  gImage.pixels.assign(size_t(gImage.width) * gImage.height * 4, 0);
  CGColorSpaceRef space = CGColorSpaceCreateDeviceRGB();
  CGContextRef ctx = CGBitmapContextCreate(gImage.pixels.data(), gImage.width, gImage.height, 8, gImage.width * 4,
                                           space, kCGImageAlphaPremultipliedLast);
  CGColorSpaceRelease(space);
  CGContextDrawImage(ctx, CGRect{{0, 0}, {CGFloat(gImage.width), CGFloat(gImage.height)}}, image);
  CGContextFlush(ctx);
  CGContextRelease(ctx);
}

int gHitTests = 0;
Boolean CountingHitTest(void* data, UInt32 type, ControlRef browser, CGRect item, CGRect mouse, void* ctx) {
  ++gHitTests;
  return hostcb::HitTest(data, type, browser, item, mouse, ctx);
}

class DragTest : public BrowserTest {
 protected:
  void SetUp() override {
    BrowserTest::SetUp();
    HeadlessUseVirtualClock(true);
    HeadlessClearDrags();
    HeadlessClearMouseTrack();
    ShowWindow(window);
  }
  void TearDown() override {
    HeadlessClearDrags();
    HeadlessUseVirtualClock(false);
    BrowserTest::TearDown();
  }

  // A point of the item's cell in the window: dy from the cell's top.
  CGPoint At(SInt32 item, CGFloat dy, ControlRef list = nullptr) {
    Rect r = Cell(item, list);
    return CGPoint{CGFloat(r.left + 60), CGFloat(r.top) + dy};
  }
  CGPoint Middle(SInt32 item, ControlRef list = nullptr) {
    Rect r = Cell(item, list);
    return At(item, CGFloat(r.bottom - r.top) / 2, list);
  }

  // Presses on a selected row of `from`, moves past the slop and drags the
  // selection to `to`, where it rests and is dropped.
  void DragSelection(ControlRef from, SInt32 pressed, CGPoint to) {
    CGPoint start = Middle(pressed, from);
    HeadlessQueueMouseTrack({{window, {start.x + 10, start.y}, 0, 0, false}});
    HeadlessQueueDrag({{window, to, 0, 0.05}, {window, to, 0, 0.05}, {window, to, 0, 0}}, nullptr);
    Click(from, start);
  }
};

TEST_F(DragTest, MovesRowsWithinTheBrowserWhereTheyAreDropped) {
  Init(kBrackenrowAllocateTree | kBrackenrowArrangeRowOrder);
  SInt32 box = Append("box", 0, true);
  SInt32 in = Append("in", box);
  SInt32 a = Append("a");
  SInt32 b = Append("b");
  SInt32 c = Append("c");
  OpenDataBrowserContainer(browser, DataBrowserItemID(box));
  struct Step {
    const char* what;
    SInt32 dragged;
    SInt32 over;
    CGFloat dy;  // from the top of the row dropped on; < 0: its middle
    std::string shape;
    int modifications;
  };
  const Step steps[] = {
      // Two pixels below a row's top: after the row above it.
      {"upper edge", c, b, 2, "box[in] a c b", 1},
      // The middle of an open container: inside it, as its last child.
      {"into container", a, box, -1, "box[in a] c b", 1},
      // Into its own subtree, or into itself: refused, nothing counted.
      {"own child", box, in, -1, "box[in a] c b", 0},
      {"itself", box, box, -1, "box[in a] c b", 0},
  };
  for (const Step& s : steps) {
    Select({s.dragged});
    const int before = BrackenrowGetModCount(browser);
    gHost.received.clear();
    DragSelection(browser, s.dragged, s.dy < 0 ? Middle(s.over) : At(s.over, s.dy));
    EXPECT_EQ(s.shape, Shape()) << s.what;
    EXPECT_EQ(s.modifications, BrackenrowGetModCount(browser) - before) << s.what;
    EXPECT_FALSE(gHost.received.empty()) << s.what;
  }
  // The rows follow the tree.
  EXPECT_EQ((std::vector<std::string>{"box", "in", "a", "c", "b"}), Rows());
  // The drop handed the host the item's ID and its record.
  EXPECT_EQ('dbDG', gHost.received.front().first);
  EXPECT_EQ('NODE', gHost.received.back().first);
}

TEST_F(DragTest, CopiesBetweenBrowsersWithoutTakingTheIDAsTheTargetsOwn) {
  ControlRef left = browser;
  const Rect half{0, 0, 200, 150};
  SetControlBounds(left, &half);
  SetDataBrowserTableViewNamedColumnWidth(left, kDataColumn, 150);
  ControlRef right = NewList(Rect{0, 150, 200, 300});
  Init(kBrackenrowAllocateTree | kBrackenrowArrangeRowOrder, left);
  Init(kBrackenrowAllocateTree | kBrackenrowArrangeRowOrder, right);
  Append("apple", 0, false, 0, 0, left);
  SInt32 pear = Append("pear", 0, false, 0, 0, left);
  SInt32 one = Append("one", 0, false, 0, 0, right);
  Append("two", 0, false, 0, 0, right);
  ASSERT_EQ(2, pear);  // "two" on the right has the same ID
  gHost.copyOnReceive = true;
  Select({pear}, left);
  DragSelection(left, pear, Middle(one, right));
  // The right browser was offered the raw ID, not its own item "two".
  ASSERT_FALSE(gHost.offered.empty());
  EXPECT_EQ('dbDG', gHost.offered.front().first);
  EXPECT_EQ("#2", gHost.offered.front().second);
  EXPECT_EQ((std::vector<std::string>{"one", "pear'", "two"}), Rows(right));
  EXPECT_EQ((std::vector<std::string>{"apple", "pear"}), Rows(left));
}

TEST_F(DragTest, AnotherProcesssItemIDAndRecordAddressMeanNothingHere) {
  Init(kBrackenrowAllocateTree | kBrackenrowArrangeRowOrder);
  SInt32 one = Append("one");
  SInt32 two = Append("two");
  // What a browser of another process would send.
  DragRef drag = nullptr;
  NewDrag(&drag);
  AddDragItemFlavor(drag, 1, kBrackenrowItemDragFlavor, &one, sizeof one, 0);
  NodeInfoPtr bogus = reinterpret_cast<NodeInfoPtr>(uintptr_t(0x10));
  AddDragItemFlavor(drag, 1, kBrackenrowNodeDataDragFlavor, &bogus, sizeof bogus, 0);
  BrackenrowDragSource source{SInt64(getpid()) + 1, browser};
  AddDragItemFlavor(drag, 1, kBrackenrowSourceDragFlavor, &source, sizeof source, 0);
  HeadlessQueueDrag({{window, Middle(two), 0, 0.05}, {window, Middle(two), 0, 0}}, nullptr);
  EXPECT_EQ(noErr, TrackDrag(drag, nullptr, nullptr));
  DisposeDrag(drag);
  for (const auto& offer : gHost.offered) {
    EXPECT_EQ('dbDG', offer.first);
    EXPECT_EQ("#1", offer.second);
  }
  EXPECT_EQ((std::vector<std::pair<FlavorType, std::string>>{{'dbDG', "#1->two"}}), gHost.received);
  // Its own item with that ID stayed where it was.
  EXPECT_EQ((std::vector<std::string>{"one", "two"}), Rows());
  EXPECT_EQ("one two", Shape());
}

TEST_F(DragTest, ADropIsRefusedWholeWhenTheHostRefusesOneItem) {
  Init(kBrackenrowAllocateTree | kBrackenrowArrangeRowOrder);
  SInt32 box = Append("box", 0, true);
  SInt32 a = Append("a");
  SInt32 b = Append("b");
  OpenDataBrowserContainer(browser, DataBrowserItemID(box));
  // Refused whichever flavour of "b" is offered.
  gHost.refuseDrag = {"b", "node"};
  Select({a, b});
  DragSelection(browser, a, Middle(box));
  EXPECT_TRUE(gHost.received.empty());
  EXPECT_EQ("box a b", Shape());
}

TEST_F(DragTest, TheDragImageIsBuiltOnceWithOnlyIconsAndText) {
  BrackenrowCallbacks callbacks = HostCallbacks();
  callbacks.DRAWDRAGIMAGE = hostcb::DrawDragImage;
  callbacks.POSTDRAG = PostDrag;
  callbacks.ACCEPTDRAG = nullptr;  // dropped nowhere
  Init(kBrackenrowAllocateTree, browser, callbacks);
  SInt32 a = Append("Wide");
  SInt32 b = Append("Wide");
  SInt32 c = Append("Wide");
  gHost.drawText = true;
  Select({a, b, c});
  DragSelection(browser, b, CGPoint{290, 190});
  // One image of the three rows, built after the third was added.
  EXPECT_EQ(3, gHost.dragImages);
  ASSERT_EQ(60, gImage.height);
  // No cell background: the image is clear but for the text.
  int ink = 0, clear = 0;
  for (size_t i = 0; i < gImage.pixels.size(); i += 4) (gImage.pixels[i + 3] ? ink : clear)++;
  EXPECT_GT(ink, 30);
  EXPECT_GT(clear, gImage.width * gImage.height / 2);
}

TEST_F(DragTest, TheHostDecidesHitsWithTheMinimalStyleAndAlwaysTracksClicks) {
  BrackenrowCallbacks callbacks = HostCallbacks();
  callbacks.HITTEST = CountingHitTest;
  Init(kBrackenrowAllocateTree, browser, callbacks);
  SInt32 one = Append("one");
  SInt32 two = Append("two");
  struct Case {
    DataBrowserTableViewHiliteStyle style;
    bool hits;
    std::vector<std::string> selected;
    int asked;  // hit test and click tracking
  };
  for (const Case& c : {Case{kDataBrowserTableViewMinimalHilite, false, {}, 1},
                        Case{kDataBrowserTableViewMinimalHilite, true, {"two"}, 2},
                        Case{kDataBrowserTableViewFillHilite, false, {}, 1},
                        Case{kDataBrowserTableViewFillHilite, true, {"two"}, 1}}) {
    Select({});
    SetDataBrowserTableViewHiliteStyle(browser, c.style);
    gHost.hitAnswer = c.hits;
    gHitTests = 0;
    Click(browser, Middle(two));
    EXPECT_EQ(c.selected, Selected()) << c.style << " " << c.hits;
    EXPECT_EQ(c.asked, gHitTests) << c.style << " " << c.hits;
  }
  (void)one;
}

TEST_F(DragTest, TheCursorLocationIsConvertedOnceAndSurvivesDrawing) {
  BrackenrowCallbacks callbacks = HostCallbacks();
  callbacks.HITTEST = hostcb::HitTest;
  Init(kBrackenrowAllocateTree, browser, callbacks);
  Append("one");
  SInt32 two = Append("two");
  SetDataBrowserTableViewHiliteStyle(browser, kDataBrowserTableViewMinimalHilite);
  CGPoint click = Middle(two);
  Click(browser, click);
  // In the drawing handlers' coordinates: y up from the bottom of the port (200).
  const CGPoint expected{std::floor(click.x), 200 - std::floor(click.y)};
  CGPoint got = BrackenrowGetCursorLocation(browser);
  EXPECT_EQ(expected.x, got.x);
  EXPECT_EQ(expected.y, got.y);
  Bitmap bitmap(300, 200);
  gHost.cursorAtDraw.clear();
  for (int pass = 0; pass < 2; ++pass) HIViewDrawInContext(browser, bitmap.context);
  ASSERT_EQ(4u, gHost.cursorAtDraw.size());
  for (CGPoint p : gHost.cursorAtDraw) {
    EXPECT_EQ(expected.x, p.x);
    EXPECT_EQ(expected.y, p.y);
  }
}

// --- Drawing handlers ----------------------------------------------------------------

CGColorRef Brush(ThemeBrush brush) {
  CGColorRef color = nullptr;
  HIThemeBrushCreateCGColor(brush, &color);
  return color;
}

void ExpectColour(const UInt8* px, CGColorRef color, const char* what) {
  const CGFloat* c = CGColorGetComponents(color);
  for (int i = 0; i < 3; ++i) EXPECT_NEAR(c[i] * 255, px[i], 2) << what << " component " << i;
}

TEST_F(BrowserTest, SelectionFollowsActivationAndTextTakesTheIconsPlace) {
  Init(kBrackenrowAllocateTree);
  SInt32 item = Append("one");
  const CGRect row{{0, 0}, {200, 20}};
  struct Case {
    bool active;
    ThemeBrush brush;
  };
  for (const Case& c : {Case{true, kThemeBrushAlternatePrimaryHighlightColor},
                        Case{false, kThemeBrushSecondaryHighlightColor}}) {
    c.active ? ActivateControl(browser) : DeactivateControl(browser);
    Bitmap bitmap(200, 20);
    StandardSelectionDrawHandler(kDataBrowserItemIsSelected, kDataColumn, DataBrowserItemID(item), row,
                                 bitmap.context, browser);
    CGColorRef color = Brush(c.brush);
    ExpectColour(bitmap.At(100, 10), color, c.active ? "active" : "inactive");
    CGColorRelease(color);
    // An unselected row gets nothing.
    Bitmap empty(200, 20);
    StandardSelectionDrawHandler(0, kDataColumn, DataBrowserItemID(item), row, empty.context, browser);
    EXPECT_EQ(0, empty.At(100, 10)[3]);
  }
  ActivateControl(browser);

  // Rows 20 high: icons of 16, vertically centred.
  CGRect icon = GetStandardIconBounds(CGRect{{10, 40}, {200, 20}}, browser);
  EXPECT_EQ(16, icon.size.width);
  EXPECT_EQ(10, icon.origin.x);
  EXPECT_EQ(42, icon.origin.y);
  SetDataBrowserTableViewRowHeight(browser, 40);
  EXPECT_EQ(32, GetStandardIconBounds(row, browser).size.width);
  SetDataBrowserTableViewRowHeight(browser, 20);

  // Without an icon the text is drawn 18 points further left.
  auto leftmostInk = [](Bitmap& b) {
    for (int x = 0; x < b.width; ++x)
      for (int y = 0; y < b.height; ++y)
        if (b.At(x, y)[3] > 100 && b.At(x, y)[0] < 128) return x;
    return -1;
  };
  BrackenrowSetBackgroundColor(browser, MakeCGRGB(1, 1, 1, 1));
  Bitmap composite(300, 20), plain(300, 20);
  StandardTextPropertyDrawHandler(nullptr, CFSTR("Text"), false, kDataColumn, DataBrowserItemID(item), 0,
                                  CGRect{{60, 0}, {200, 20}}, composite.context, browser);
  StandardTextDrawHandler(CFSTR("Text"), 0, CGRect{{60, 0}, {200, 20}}, plain.context, browser);
  const int shifted = leftmostInk(composite), unshifted = leftmostInk(plain);
  ASSERT_GT(unshifted, 0);
  EXPECT_EQ(unshifted - 18, shifted);
}

// Captions are drawn bold: they are measured bold too, so that a title with
// room for it is drawn whole, not cut short.
TEST_F(BrowserTest, CaptionsAreMeasuredInTheirBoldFont) {
  Init(kBrackenrowAllocateTree);
  SInt32 item = Append("group");
  // The columns holding dark ink.
  auto inkSpan = [](Bitmap& b) {
    int left = -1, right = -1;
    for (int x = 0; x < b.width; ++x)
      for (int y = 0; y < b.height; ++y)
        if (b.At(x, y)[3] > 100 && b.At(x, y)[0] < 200) {
          if (left < 0) left = x;
          right = x;
        }
    return right - left;
  };
  for (const char* title : {"SNIPPETS", "BOOKMARKS", "COMMANDS", "W"}) {
    SCOPED_TRACE(title);
    CFStringRef text = CFStringCreateWithCString(nullptr, title, kCFStringEncodingUTF8);
    Bitmap caption(300, 20);
    StandardCaptionPropertyDrawHandler(nullptr, text, true, kDataColumn, DataBrowserItemID(item), 0,
                                       CGRect{{40, 0}, {200, 20}}, caption.context, browser);
    // The same text in the same font, in a box far wider than it.
    Bitmap whole(300, 20);
    HIThemeTextInfo info{};
    info.state = kThemeStateActive;
    info.fontID = kThemeSmallEmphasizedSystemFont;
    info.horizontalFlushness = kHIThemeTextHorizontalFlushLeft;
    info.verticalFlushness = kHIThemeTextVerticalFlushCenter;
    const CGRect box{{10, 0}, {280, 20}};
    CGContextSetRGBFillColor(whole.context, 0, 0, 0, 1);
    HIThemeDrawTextBox(text, &box, &info, whole.context, kHIThemeOrientationNormal);
    CFRelease(text);
    ASSERT_GT(inkSpan(whole), 0);
    EXPECT_EQ(inkSpan(whole), inkSpan(caption));
  }
}

TEST_F(BrowserTest, TheBrowsersColourFillsTheListBelowItsLastRow) {
  Init(kBrackenrowAllocateTree | kBrackenrowColorBackground);
  BrackenrowSetBackgroundColor(browser, MakeCGRGB(1, 0, 0, 1));
  Append("one");
  Append("two");
  Bitmap bitmap(300, 200);
  HIViewDrawInContext(browser, bitmap.context);
  const UInt8* below = bitmap.At(150, 150);
  EXPECT_EQ(255, below[0]);
  EXPECT_EQ(0, below[1]);
  // Inactive, the theme's inactive background instead.
  DeactivateControl(browser);
  Bitmap inactive(300, 200);
  HIViewDrawInContext(browser, inactive.context);
  CGColorRef color = Brush(kThemeBrushDialogBackgroundInactive);
  ExpectColour(inactive.At(150, 150), color, "inactive");
  CGColorRelease(color);
}

}  // namespace
