// Image wells: the icon or picture drawn centred in a sunken frame, the
// well's own reference to its content, and wells declared in an interface
// file.
#include <gtest/gtest.h>

#include <cairo.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "CFBundle.h"
#include "CFString.h"
#include "CFURL.h"
#include "CGColor.h"
#include "CGContext.h"
#include "CGImage.h"
#include "EventTargetInternal.h"
#include "Files.h"
#include "Folders.h"
#include "HIView.h"
#include "IBCarbonRuntime.h"
#include "Icons.h"
#include "MacWindows.h"
#include "ViewInternal.h"
#include "WindowInternal.h"

namespace {

CFStringRef Str(const char* s) { return CFStringMakeConstantUTF8(s); }

struct TestWindow {
  WindowRef window;
  EventTargetRef target;
  HIViewRef root;
  explicit TestWindow(uintptr_t id) {
    window = reinterpret_cast<WindowRef>(id);
    target = EventTargetCreate(window, nullptr);
    root = ViewCreateRoot(window, target, CGSize{400, 300});
  }
  ~TestWindow() {
    ViewDisposeRoot(root);
    EventTargetDispose(target);
  }
};

// A 16 x 16 icon file: red over blue, so that upside-down shows.
IconRef RegisterRedOverBlue(OSType type) {
  const std::string path = (std::filesystem::temp_directory_path() / "well-icon.png").string();
  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 16, 16);
  cairo_t* cr = cairo_create(s);
  cairo_set_source_rgb(cr, 1, 0, 0);
  cairo_rectangle(cr, 0, 0, 16, 8);
  cairo_fill(cr);
  cairo_set_source_rgb(cr, 0, 0, 1);
  cairo_rectangle(cr, 0, 8, 16, 8);
  cairo_fill(cr);
  cairo_destroy(cr);
  cairo_surface_write_to_png(s, path.c_str());
  cairo_surface_destroy(s);
  FSRef file{};
  EXPECT_EQ(noErr, FSPathMakeRef(reinterpret_cast<const UInt8*>(path.c_str()), &file, nullptr));
  IconRef icon = nullptr;
  EXPECT_EQ(noErr, RegisterIconRefFromFSRef('Well', type, &file, &icon));
  return icon;
}

struct Pixels {
  int width, height;
  std::vector<UInt8> data;
  const UInt8* at(int x, int y) const { return &data[(size_t(y) * width + x) * 4]; }
  bool red(int x, int y) const { return at(x, y)[0] > 200 && at(x, y)[1] < 60 && at(x, y)[2] < 60; }
  bool blue(int x, int y) const { return at(x, y)[2] > 200 && at(x, y)[0] < 60 && at(x, y)[1] < 60; }
  int grey(int x, int y) const { return at(x, y)[1]; }
};

Pixels Draw(HIViewRef view, int width, int height) {
  Pixels p{width, height, std::vector<UInt8>(size_t(width) * height * 4)};
  CGColorSpaceRef space = CGColorSpaceCreateDeviceRGB();
  CGContextRef ctx = CGBitmapContextCreate(p.data.data(), width, height, 8, size_t(width) * 4, space,
                                           kCGImageAlphaPremultipliedLast);
  CGColorSpaceRelease(space);
  CGContextTranslateCTM(ctx, 0, height);
  CGContextScaleCTM(ctx, 1, -1);
  EXPECT_EQ(noErr, HIViewDrawInContext(view, ctx));
  CGContextFlush(ctx);
  CGContextRelease(ctx);
  return p;
}

TEST(ImageWellTest, DrawsItsIconUprightAndCentredInAFrame) {
  TestWindow w(0x5100);
  IconRef icon = RegisterRedOverBlue('draw');
  ControlButtonContentInfo content{kControlContentIconRef, {icon}};
  const Rect bounds = {0, 0, 50, 80};  // 80 wide, 50 high
  ControlRef well = nullptr;
  ASSERT_EQ(noErr, CreateImageWellControl(nullptr, &bounds, &content, &well));
  HIViewAddSubview(w.root, well);
  ControlKind kind{};
  GetControlKind(well, &kind);
  EXPECT_EQ(kControlKindImageWell, kind.kind);

  const Pixels p = Draw(well, 80, 50);
  // The icon is the 42-point square centred inside the frame's 4-point inset.
  EXPECT_TRUE(p.red(40, 10));
  EXPECT_TRUE(p.blue(40, 40));
  EXPECT_TRUE(p.red(20, 10) && p.red(59, 10));
  EXPECT_FALSE(p.red(16, 10) || p.red(64, 10));  // beside the square: the well's own light face
  EXPECT_GT(p.grey(10, 25), 230);
  // The frame is darker than the face.
  EXPECT_LT(p.grey(0, 25), p.grey(10, 25) - 40);

  // Disabled, the icon is faded.
  HIViewSetEnabled(well, false);
  const Pixels faded = Draw(well, 80, 50);
  EXPECT_GT(faded.at(40, 10)[1], 60);
  HIViewSetEnabled(well, true);

  // Emptied, the face is plain again; a content kind it cannot show is refused.
  ASSERT_EQ(noErr, SetImageWellContentInfo(well, nullptr));
  EXPECT_FALSE(Draw(well, 80, 50).red(40, 10));
  ControlButtonContentInfo resource{1, {nullptr}};
  EXPECT_EQ(errDataNotSupported, SetImageWellContentInfo(well, &resource));
  ControlButtonContentInfo now{};
  ASSERT_EQ(noErr, GetImageWellContentInfo(well, &now));
  EXPECT_EQ(kControlNoContent, now.contentType);
  DisposeControl(well);
  ReleaseIconRef(icon);
  UnregisterIconRef('Well', 'draw');
}

TEST(ImageWellTest, KeepsItsOwnReferenceUntilReplacedOrDisposed) {
  TestWindow w(0x5200);
  IconRef icon = RegisterRedOverBlue('refs');
  const Rect bounds = {0, 0, 40, 40};
  ControlRef well = nullptr;
  ASSERT_EQ(noErr, CreateImageWellControl(nullptr, &bounds, nullptr, &well));
  HIViewAddSubview(w.root, well);
  // Set through the control data tag, as a caller holding only a ControlRef does.
  ControlButtonContentInfo content{kControlContentIconRef, {icon}};
  ASSERT_EQ(noErr, SetControlData(well, kControlEntireControl, kControlImageWellContentTag, sizeof content, &content));
  // Set twice: the same icon is not given up in between.
  ASSERT_EQ(noErr, SetImageWellContentInfo(well, &content));
  ReleaseIconRef(icon);
  UnregisterIconRef('Well', 'refs');
  ASSERT_TRUE(IsValidIconRef(icon));  // only the well holds it now
  ControlButtonContentInfo now{};
  ASSERT_EQ(noErr, GetImageWellContentInfo(well, &now));
  EXPECT_EQ(kControlContentIconRef, now.contentType);
  EXPECT_EQ(static_cast<void*>(icon), now.u.iconRef);
  EXPECT_TRUE(Draw(well, 40, 40).red(20, 10));
  DisposeControl(well);
  EXPECT_FALSE(IsValidIconRef(icon));

  // A picture, replaced: the well lets go of it.
  const std::string path = (std::filesystem::temp_directory_path() / "well-icon.png").string();
  CGDataProviderRef source = CGDataProviderCreateWithFilename(path.c_str());
  CGImageRef picture = CGImageCreateWithPNGDataProvider(source, nullptr, false, kCGRenderingIntentDefault);
  CGDataProviderRelease(source);
  ASSERT_NE(nullptr, picture);
  ControlButtonContentInfo image{kControlContentCGImageRef, {picture}};
  ASSERT_EQ(noErr, CreateImageWellControl(nullptr, &bounds, &image, &well));
  HIViewAddSubview(w.root, well);
  EXPECT_EQ(2, CFGetRetainCount(picture));
  const Pixels p = Draw(well, 40, 40);
  EXPECT_TRUE(p.red(20, 13));  // at its own 16 x 16 size, centred
  EXPECT_TRUE(p.blue(20, 26));
  EXPECT_FALSE(p.red(20, 8));
  ASSERT_EQ(noErr, SetImageWellContentInfo(well, nullptr));
  EXPECT_EQ(1, CFGetRetainCount(picture));
  DisposeControl(well);
  CGImageRelease(picture);

  // Other controls have no well content.
  ControlRef button = nullptr;
  CreatePushButtonControl(nullptr, &bounds, Str("OK"), &button);
  EXPECT_EQ(errDataNotSupported, SetImageWellContentInfo(button, nullptr));
  DisposeControl(button);
}

TEST(ImageWellTest, AnInterfaceFileDeclaresWellsWithOrWithoutAnIcon) {
  const std::string folder = QUORVEL_TEST_SOURCE_DIR "/platform/fixtures/nib";
  CFURLRef url = CFURLCreateFromFileSystemRepresentation(nullptr, reinterpret_cast<const UInt8*>(folder.c_str()),
                                                         CFIndex(folder.size()), true);
  CFBundleRef bundle = CFBundleCreate(nullptr, url);
  CFRelease(url);
  IBNibRef nib = nullptr;
  ASSERT_EQ(noErr, CreateNibReferenceWithCFBundle(bundle, Str("Test"), &nib));
  WindowRef window = nullptr;
  ASSERT_EQ(noErr, CreateWindowFromNib(nib, Str("Wells"), &window));
  HIViewRef withIcon = nullptr, empty = nullptr;
  ASSERT_EQ(noErr, HIViewFindByID(HIViewGetRoot(window), HIViewID{'PREF', 128}, &withIcon));
  ASSERT_EQ(noErr, HIViewFindByID(HIViewGetRoot(window), HIViewID{'PREF', 129}, &empty));
  ControlButtonContentInfo content{};
  ASSERT_EQ(noErr, GetImageWellContentInfo(withIcon, &content));
  EXPECT_EQ(kControlContentIconRef, content.contentType);
  IconRef folderIcon = nullptr;
  ASSERT_EQ(noErr, GetIconRef(kOnSystemDisk, kSystemIconsCreator, kGenericFolderIcon, &folderIcon));
  EXPECT_EQ(static_cast<void*>(folderIcon), content.u.iconRef);
  ReleaseIconRef(folderIcon);
  ASSERT_EQ(noErr, GetImageWellContentInfo(empty, &content));
  EXPECT_EQ(kControlNoContent, content.contentType);
  // A picture of the window to look at.
  char cwd[4096];
  ASSERT_NE(nullptr, getcwd(cwd, sizeof cwd));
  const std::string shot = std::string(cwd) + "/imagewell-window.png";
  ASSERT_EQ(noErr, WindowWritePNG(window, shot));
  std::printf("window screenshot: %s\n", shot.c_str());
  DisposeWindow(window);
  DisposeNibReference(nib);
  CFRelease(bundle);
}

}  // namespace
