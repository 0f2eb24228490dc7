// Icon Services: ownership, the registry, icon files, file icons and
// plotting; and a sampler picture of the theme and icons for a person to
// look at (theme-sampler.png in the test's working folder).
#include <gtest/gtest.h>

#include <cairo.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "CFString.h"
#include "Files.h"
#include "HITheme.h"
#include "Icons.h"
#include "QuartzInternal.h"

namespace {

constexpr OSType kAny = 0x3F3F3F3F;  // four question marks

std::string TempDir() {
  const char* t = getenv("TMPDIR");
  std::string dir = std::string(t != nullptr ? t : "/tmp") + "/icons_test";
  std::string cmd = "mkdir -p '" + dir + "'";
  EXPECT_EQ(system(cmd.c_str()), 0);
  return dir;
}

// A PNG of size x size: the top half in one colour, the bottom in another.
std::vector<UInt8> TwoTonePNG(int size, double top[3], double bottom[3]) {
  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, size, size);
  cairo_t* cr = cairo_create(s);
  cairo_set_source_rgb(cr, top[0], top[1], top[2]);
  cairo_rectangle(cr, 0, 0, size, size / 2.0);
  cairo_fill(cr);
  cairo_set_source_rgb(cr, bottom[0], bottom[1], bottom[2]);
  cairo_rectangle(cr, 0, size / 2.0, size, size / 2.0);
  cairo_fill(cr);
  cairo_destroy(cr);
  std::vector<UInt8> png;
  cairo_surface_write_to_png_stream(
      s,
      [](void* c, const unsigned char* d, unsigned int n) {
        static_cast<std::vector<UInt8>*>(c)->insert(static_cast<std::vector<UInt8>*>(c)->end(), d, d + n);
        return CAIRO_STATUS_SUCCESS;
      },
      &png);
  cairo_surface_destroy(s);
  return png;
}

std::vector<UInt8> RedOverBlue(int size = 16) {
  double red[3] = {1, 0, 0}, blue[3] = {0, 0, 1};
  return TwoTonePNG(size, red, blue);
}

void Put32(std::vector<UInt8>& v, UInt32 x) {
  for (int s = 24; s >= 0; s -= 8) v.push_back(UInt8(x >> s));
}

std::vector<UInt8> Icns(const std::vector<std::vector<UInt8>>& pngs) {
  std::vector<UInt8> body;
  for (const auto& png : pngs) {
    body.insert(body.end(), {'i', 'c', '0', '8'});
    Put32(body, UInt32(png.size() + 8));
    body.insert(body.end(), png.begin(), png.end());
  }
  std::vector<UInt8> file = {'i', 'c', 'n', 's'};
  Put32(file, UInt32(body.size() + 8));
  file.insert(file.end(), body.begin(), body.end());
  return file;
}

FSRef WriteFile(const std::string& name, const std::vector<UInt8>& bytes) {
  std::string path = TempDir() + "/" + name;
  FILE* f = fopen(path.c_str(), "wb");
  EXPECT_NE(f, nullptr);
  if (!bytes.empty()) fwrite(bytes.data(), 1, bytes.size(), f);
  fclose(f);
  FSRef ref{};
  EXPECT_EQ(FSPathMakeRef(reinterpret_cast<const UInt8*>(path.c_str()), &ref, nullptr), noErr);
  return ref;
}

struct Canvas {
  Canvas(int w, int h, bool yDown)
      : s(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h)), c(QuartzCreateContextForSurface(s, yDown)) {}
  ~Canvas() {
    CGContextRelease(c);
    cairo_surface_destroy(s);
  }
  // (r, g, b, a) of the device pixel from the top-left, premultiplied.
  std::vector<int> At(int x, int y) {
    cairo_surface_flush(s);
    uint32_t w;
    memcpy(&w, cairo_image_surface_get_data(s) + y * cairo_image_surface_get_stride(s) + x * 4, 4);
    return {int((w >> 16) & 255), int((w >> 8) & 255), int(w & 255), int(w >> 24)};
  }
  cairo_surface_t* s;
  CGContextRef c;
};

UInt16 Owners(IconRef icon) {
  UInt16 n = 0;
  EXPECT_EQ(GetIconRefOwners(icon, &n), noErr);
  return n;
}

}  // namespace

TEST(Icons, SystemIconsCountTheirOwners) {
  IconRef a = nullptr, b = nullptr;
  ASSERT_EQ(GetIconRef(-32768, kSystemIconsCreator, kGenericFolderIcon, &a), noErr);
  ASSERT_EQ(GetIconRef(-32768, kSystemIconsCreator, kGenericFolderIcon, &b), noErr);
  EXPECT_EQ(a, b);
  const UInt16 held = Owners(a);
  EXPECT_EQ(AcquireIconRef(a), noErr);
  EXPECT_EQ(Owners(a), held + 1);
  EXPECT_EQ(ReleaseIconRef(a), noErr);
  EXPECT_EQ(ReleaseIconRef(a), noErr);
  EXPECT_EQ(ReleaseIconRef(b), noErr);
  EXPECT_TRUE(IsValidIconRef(a));  // the system keeps its own
  // Unknown types get a document icon, not an error.
  IconRef doc = nullptr, odd = nullptr;
  GetIconRef(-32768, kSystemIconsCreator, kGenericDocumentIcon, &doc);
  ASSERT_EQ(GetIconRef(-32768, 'zzzz', 'qqqq', &odd), noErr);
  EXPECT_EQ(odd, doc);
  ReleaseIconRef(doc);
  ReleaseIconRef(odd);
  EXPECT_EQ(ReleaseIconRef(nullptr), invalidIconRefErr);
  EXPECT_EQ(ReleaseIconRef(reinterpret_cast<IconRef>(&doc)), invalidIconRefErr);
  EXPECT_EQ(GetIconRef(0, 0, 0, nullptr), paramErr);
}

TEST(Icons, RegisteringAgainKeepsHandedOutIcons) {
  double green[3] = {0, 1, 0};
  FSRef first = WriteFile("first.png", RedOverBlue());
  FSRef second = WriteFile("second.png", TwoTonePNG(16, green, green));
  IconRef one = nullptr, two = nullptr;
  ASSERT_EQ(RegisterIconRefFromFSRef(kAny, kAny, &first, &one), noErr);
  EXPECT_EQ(Owners(one), 2);  // the registry's and ours
  ASSERT_EQ(RegisterIconRefFromFSRef(kAny, kAny, &second, &two), noErr);
  EXPECT_NE(one, two);
  ASSERT_TRUE(IsValidIconRef(one));
  EXPECT_EQ(Owners(one), 1);

  // The first still draws its own picture.
  Canvas cv(16, 16, false);
  CGRect r{{0, 0}, {16, 16}};
  ASSERT_EQ(PlotIconRefInContext(cv.c, &r, kAlignNone, kTransformNone, nullptr, 0, one), noErr);
  EXPECT_EQ(cv.At(8, 2), (std::vector<int>{255, 0, 0, 255}));

  IconRef looked = nullptr;
  GetIconRef(-32768, kAny, kAny, &looked);
  EXPECT_EQ(looked, two);
  ReleaseIconRef(looked);

  EXPECT_EQ(ReleaseIconRef(one), noErr);
  EXPECT_FALSE(IsValidIconRef(one));
  EXPECT_EQ(UnregisterIconRef(kAny, kAny), noErr);
  EXPECT_EQ(UnregisterIconRef(kAny, kAny), noSuchIconErr);
  EXPECT_TRUE(IsValidIconRef(two));
  ReleaseIconRef(two);
  EXPECT_FALSE(IsValidIconRef(two));
}

TEST(Icons, IconFilesAndMalformedOnes) {
  FSRef icns = WriteFile("pair.icns", Icns({RedOverBlue(16), RedOverBlue(64)}));
  IconRef icon = nullptr;
  ASSERT_EQ(RegisterIconRefFromFSRef('Test', 'icns', &icns, &icon), noErr);
  ReleaseIconRef(icon);

  std::vector<UInt8> png = RedOverBlue();
  std::vector<UInt8> badLength = Icns({png});
  badLength[12] = 0x7F;  // the chunk claims more than the file holds
  std::vector<UInt8> cut(png.begin(), png.begin() + long(png.size() / 2));
  const struct {
    const char* name;
    std::vector<UInt8> bytes;
  } broken[] = {{"bad-length.icns", badLength}, {"cut.png", cut}, {"empty.icns", {}}, {"text.png", {'h', 'i'}}};
  for (const auto& b : broken) {
    FSRef ref = WriteFile(b.name, b.bytes);
    IconRef out = reinterpret_cast<IconRef>(1);
    EXPECT_EQ(RegisterIconRefFromFSRef('Test', 'bad ', &ref, &out), noIconDataAvailableErr) << b.name;
    EXPECT_EQ(out, nullptr);
  }
  FSRef folder;
  ASSERT_EQ(FSPathMakeRef(reinterpret_cast<const UInt8*>(TempDir().c_str()), &folder, nullptr), noErr);
  EXPECT_EQ(RegisterIconRefFromFSRef('Test', 'dir ', &folder, &icon), fnfErr);
  EXPECT_EQ(UnregisterIconRef('Test', 'bad '), noSuchIconErr);
  UnregisterIconRef('Test', 'icns');
}

TEST(Icons, FileIconsByKindAndExtension) {
  FSRef folder, php1 = WriteFile("a.php", {'x'}), php2 = WriteFile("b.PHP", {'x'}), txt = WriteFile("c.txt", {'x'});
  ASSERT_EQ(FSPathMakeRef(reinterpret_cast<const UInt8*>(TempDir().c_str()), &folder, nullptr), noErr);
  IconRef f = nullptr, sys = nullptr, p1 = nullptr, p2 = nullptr, t = nullptr;
  ASSERT_EQ(GetIconRefFromFileInfo(&folder, 0, nullptr, 0, nullptr, 0, &f, nullptr), noErr);
  GetIconRef(-32768, kSystemIconsCreator, kGenericFolderIcon, &sys);
  EXPECT_EQ(f, sys);
  GetIconRefFromFileRef(&php1, &p1, nullptr);
  GetIconRefFromFileRef(&php2, &p2, nullptr);
  GetIconRefFromFileRef(&txt, &t, nullptr);
  EXPECT_EQ(p1, p2);
  EXPECT_NE(p1, t);
  EXPECT_NE(p1, sys);
  // The catalog information decides when it carries the node flags.
  FSCatalogInfo info{};
  info.nodeFlags = kFSNodeIsDirectoryMask;
  IconRef byInfo = nullptr;
  GetIconRefFromFileInfo(&txt, 0, nullptr, kFSCatInfoNodeFlags, &info, 0, &byInfo, nullptr);
  EXPECT_EQ(byInfo, sys);
  for (IconRef i : {f, sys, p1, p2, t, byInfo}) EXPECT_EQ(ReleaseIconRef(i), noErr);
  EXPECT_EQ(GetIconRefFromFileInfo(nullptr, 0, nullptr, 0, nullptr, 0, &f, nullptr), paramErr);
}

TEST(Icons, PlottingIsUprightAndTransformed) {
  FSRef file = WriteFile("plot.png", RedOverBlue(32));
  IconRef icon = nullptr;
  ASSERT_EQ(RegisterIconRefFromFSRef('Test', 'plot', &file, &icon), noErr);
  CGRect r{{0, 0}, {16, 16}};
  // A y-up bitmap context as it is, and a view context flipped the way the
  // program flips before plotting: red (the top) on top in both.
  Canvas up(16, 16, false), view(16, 16, true);
  PlotIconRefInContext(up.c, &r, kAlignAbsoluteCenter, kTransformNone, nullptr, 0, icon);
  CGContextTranslateCTM(view.c, 0, 16);
  CGContextScaleCTM(view.c, 1, -1);
  PlotIconRefInContext(view.c, &r, kAlignAbsoluteCenter, kTransformNone, nullptr, 0, icon);
  for (Canvas* c : {&up, &view}) {
    EXPECT_EQ(c->At(8, 3), (std::vector<int>{255, 0, 0, 255}));
    EXPECT_EQ(c->At(8, 12), (std::vector<int>{0, 0, 255, 255}));
  }
  // Alignment in a wide rectangle: a 16-point square at the right end.
  Canvas wide(48, 16, false);
  CGRect w{{0, 0}, {48, 16}};
  PlotIconRefInContext(wide.c, &w, kAlignCenterRight, kTransformNone, nullptr, 0, icon);
  EXPECT_EQ(wide.At(8, 8)[3], 0);
  EXPECT_EQ(wide.At(40, 8)[3], 255);

  Canvas sel(16, 16, false), dis(16, 16, false);
  PlotIconRefInContext(sel.c, &r, kAlignNone, kTransformSelected, nullptr, 0, icon);
  PlotIconRefInContext(dis.c, &r, kAlignNone, kTransformDisabled, nullptr, 0, icon);
  EXPECT_LT(sel.At(8, 3)[0], 200);  // darkened, still opaque
  EXPECT_EQ(sel.At(8, 3)[3], 255);
  EXPECT_NEAR(dis.At(8, 3)[3], 128, 2);  // faded

  EXPECT_EQ(PlotIconRefInContext(sel.c, nullptr, 0, 0, nullptr, 0, icon), paramErr);
  ReleaseIconRef(icon);
  UnregisterIconRef('Test', 'plot');
  EXPECT_EQ(PlotIconRefInContext(sel.c, &r, 0, 0, nullptr, 0, icon), invalidIconRefErr);
}

// Not a check: a picture of the theme for a person to look at.
TEST(Icons, SamplerPicture) {
  const int W = 520, H = 300;
  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, W, H);
  CGContextRef c = QuartzCreateContextForSurface(s, true);
  HIThemeSetFill(kThemeBrushDialogBackgroundActive, nullptr, c, kHIThemeOrientationNormal);
  CGContextFillRect(c, CGRect{{0, 0}, {double(W), double(H)}});

  auto text = [&](const char* str, HIRect box, ThemeFontID font, HIThemeTextHorizontalFlush flush, bool white) {
    CFStringRef cf = CFStringCreateWithCString(nullptr, str, kCFStringEncodingUTF8);
    HIThemeTextInfo info{};
    info.state = kThemeStateActive;
    info.fontID = font;
    info.horizontalFlushness = flush;
    info.verticalFlushness = kHIThemeTextVerticalFlushCenter;
    info.truncationPosition = kHIThemeTextTruncationEnd;
    info.truncationMaxLines = 1;
    CGContextSetGrayFillColor(c, white ? 1 : 0, white ? 1 : 0.85);
    HIThemeDrawTextBox(cf, &box, &info, c, kHIThemeOrientationNormal);
    CFRelease(cf);
  };

  const struct {
    ThemeButtonKind kind;
    ThemeDrawState state;
    ThemeButtonValue value;
    ThemeButtonAdornment adorn;
    const char* title;
  } buttons[] = {
      {kThemePushButton, kThemeStateActive, 0, kThemeAdornmentDefault, "OK"},
      {kThemePushButton, kThemeStateActive, 0, 0, "Cancel"},
      {kThemePushButton, kThemeStatePressed, 0, 0, "Pressed"},
      {kThemePushButton, kThemeStateUnavailable, 0, 0, "Disabled"},
      {kThemePopupButton, kThemeStateActive, 0, 0, "Pop-up menu"},
      {kThemeBevelButton, kThemeStateActive, 0, 0, "Bevel"},
      {kThemeLargeBevelButton, kThemeStatePressed, 0, 0, "Pressed"},
      {kThemeCheckBox, kThemeStateActive, kThemeButtonOn, 0, "Check box on"},
      {kThemeCheckBox, kThemeStateActive, kThemeButtonOff, 0, "Check box off"},
      {kThemeRadioButton, kThemeStateActive, kThemeButtonOn, 0, "Radio on"},
      {kThemeRadioButton, kThemeStateInactive, kThemeButtonOff, 0, "Radio inactive"},
      {kThemeCheckBox, kThemeStateActive, kThemeButtonMixed, 0, "Mixed"},
  };
  for (size_t i = 0; i < sizeof buttons / sizeof buttons[0]; ++i) {
    const auto& b = buttons[i];
    HIRect bounds{{20 + (i % 4) * 120.0, 20 + (i / 4) * 34.0}, {108, 22}};
    HIThemeButtonDrawInfo info{};
    info.state = b.state;
    info.kind = b.kind;
    info.value = b.value;
    info.adornment = b.adorn;
    HIRect label;
    HIThemeDrawButton(&bounds, &info, c, kHIThemeOrientationNormal, &label);
    const bool push = b.kind == kThemePushButton || b.kind == kThemePopupButton || b.kind == kThemeBevelButton ||
                      b.kind == kThemeLargeBevelButton;
    text(b.title, label, push ? kThemeSystemFont : kThemeSmallSystemFont,
         push ? kHIThemeTextHorizontalFlushCenter : kHIThemeTextHorizontalFlushLeft,
         (b.adorn & kThemeAdornmentDefault) != 0);
  }

  // A list with a selected row, text of several fonts, a truncated title.
  HIRect list{{20, 130}, {230, 150}};
  HIThemeFrameDrawInfo frame{0, kHIThemeFrameListBox, kThemeStateActive, true};
  CGContextSetRGBFillColor(c, 1, 1, 1, 1);
  CGContextFillRect(c, list);
  HIThemeDrawFrame(&list, &frame, c, kHIThemeOrientationNormal);
  const OSType types[] = {kGenericFolderIcon, kGenericDocumentIcon, kGenericApplicationIcon, kTrashIcon,
                          kUnknownFSObjectIcon, kInternetLocationFTPIcon, kAlertCautionIcon};
  const char* names[] = {"Projects", "index.php", "Quorvel", "Trash", "Unknown item", "FTP server",
                         "A very long name that will not fit in the row at all"};
  for (int row = 0; row < 7; ++row) {
    CGRect rr{{21, 131 + row * 20.0}, {228, 20}};
    if (row % 2 == 1) {
      HIThemeSetFill(kThemeBrushListViewOddRowBackground, nullptr, c, kHIThemeOrientationNormal);
      CGContextFillRect(c, rr);
    }
    if (row == 1) {
      HIThemeSetFill(kThemeBrushAlternatePrimaryHighlightColor, nullptr, c, kHIThemeOrientationNormal);
      CGContextFillRect(c, rr);
    }
    IconRef icon = nullptr;
    GetIconRef(-32768, kSystemIconsCreator, types[row], &icon);
    CGContextSaveGState(c);
    CGContextTranslateCTM(c, 0, 2 * rr.origin.y + 20);
    CGContextScaleCTM(c, 1, -1);
    CGRect ib{{26, rr.origin.y + 2}, {16, 16}};
    PlotIconRefInContext(c, &ib, kAlignAbsoluteCenter, row == 1 ? kTransformSelected : kTransformNone, nullptr, 0,
                         icon);
    CGContextRestoreGState(c);
    ReleaseIconRef(icon);
    text(names[row], HIRect{{48, rr.origin.y}, {195, 20}}, kThemeSmallSystemFont, kHIThemeTextHorizontalFlushLeft,
         row == 1);
  }

  // Large icons, disabled and selected looks, and the smaller parts.
  const OSType big[] = {kGenericFolderIcon, kGenericApplicationIcon, kAlertNoteIcon, kAlertStopIcon};
  for (int i = 0; i < 4; ++i) {
    IconRef icon = nullptr;
    GetIconRef(-32768, kSystemIconsCreator, big[i], &icon);
    CGContextSaveGState(c);
    CGContextTranslateCTM(c, 0, 2 * 130.0 + 48);
    CGContextScaleCTM(c, 1, -1);
    CGRect ib{{270 + i * 60.0, 130}, {48, 48}};
    PlotIconRefInContext(c, &ib, kAlignAbsoluteCenter, i == 3 ? kTransformDisabled : kTransformNone, nullptr, 0,
                         icon);
    CGContextRestoreGState(c);
    ReleaseIconRef(icon);
  }
  HIRect placard{{270, 200}, {110, 22}};
  HIThemePlacardDrawInfo pinfo{0, kThemeStateActive};
  HIThemeDrawPlacard(&placard, &pinfo, c, kHIThemeOrientationNormal);
  text("Line 12, Col 4", placard, kThemeMiniSystemFont, kHIThemeTextHorizontalFlushCenter, false);
  HIRect sep{{270, 232}, {230, 4}};
  HIThemeSeparatorDrawInfo sinfo{0, kThemeStateActive};
  HIThemeDrawSeparator(&sep, &sinfo, c, kHIThemeOrientationNormal);
  HIRect group{{390, 196}, {110, 84}};
  HIThemeGroupBoxDrawInfo ginfo{0, kThemeStateActive, kHIThemeGroupBoxKindPrimary};
  HIThemeDrawGroupBox(&group, &ginfo, c, kHIThemeOrientationNormal);
  HIThemeButtonDrawInfo disc{};
  disc.state = kThemeStateActive;
  disc.kind = kThemeDisclosureButton;
  disc.value = kThemeDisclosureDown;
  HIRect db{{398, 204}, {14, 14}};
  HIThemeDrawButton(&db, &disc, c, kHIThemeOrientationNormal, nullptr);
  text("Group", HIRect{{414, 204}, {80, 14}}, kThemeSmallEmphasizedSystemFont, kHIThemeTextHorizontalFlushLeft,
       false);
  HIThemePopupArrowDrawInfo arrow{0, kThemeStateActive, kThemeArrowDown, kThemeArrow7pt};
  HIRect ab{{400, 240}, {10, 10}};
  HIThemeDrawPopupArrow(&ab, &arrow, c, kHIThemeOrientationNormal);
  HIRect field{{270, 250}, {110, 22}};
  CGContextSetRGBFillColor(c, 1, 1, 1, 1);
  CGContextFillRect(c, field);
  HIThemeFrameDrawInfo finfo{0, kHIThemeFrameTextFieldSquare, kThemeStateActive, false};
  HIThemeDrawFrame(&field, &finfo, c, kHIThemeOrientationNormal);
  text("Search", HIRect{{276, 250}, {100, 22}}, kThemeSmallSystemFont, kHIThemeTextHorizontalFlushLeft, false);
  CGContextSetShadow(c, CGSize{0, -1}, 2);
  CGContextSetRGBFillColor(c, 0.531, 0.595, 0.741, 1);
  CGContextAddEllipseInRect(c, CGRect{{440, 240}, {40, 30}});
  CGContextFillPath(c);

  CGContextRelease(c);
  EXPECT_EQ(cairo_surface_write_to_png(s, "theme-sampler.png"), CAIRO_STATUS_SUCCESS);
  cairo_surface_destroy(s);
}
