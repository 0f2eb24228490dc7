// The window toolbar on a real (virtual) display: the strip between the menu
// bar and the content, drawn from the platform's model, and a click on an
// item reaching the window as its command. The screenshot goes to the build
// folder.
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <cairo.h>

#include <string>
#include <vector>

#include "CGColor.h"
#include "CGContext.h"
#include "CGImage.h"
#include "CFString.h"
#include "GtkTestEvents.h"
#include "HIToolbar.h"
#include "Host.h"
#include "MacWindows.h"
#include "WindowInternal.h"
#include "gtk/GtkHost.h"

namespace {

CFStringRef S(const char* s) { return CFStringMakeConstantUTF8(s); }

// A square image of one colour with a darker frame.
CGImageRef Swatch(CGFloat r, CGFloat g, CGFloat b) {
  CGColorSpaceRef space = CGColorSpaceCreateDeviceRGB();
  CGContextRef c = CGBitmapContextCreate(nullptr, 32, 32, 8, 32 * 4, space, kCGImageAlphaPremultipliedLast);
  CGColorSpaceRelease(space);
  CGContextSetRGBFillColor(c, r * 0.6, g * 0.6, b * 0.6, 1);
  CGContextFillRect(c, CGRect{{2, 2}, {28, 28}});
  CGContextSetRGBFillColor(c, r, g, b, 1);
  CGContextFillRect(c, CGRect{{5, 5}, {22, 22}});
  CGImageRef image = CGBitmapContextCreateImage(c);
  CGContextRelease(c);
  return image;
}

struct Heard {
  std::vector<UInt32> commands;
};

OSStatus Delegate(EventHandlerCallRef, EventRef e, void*) {
  CFMutableArrayRef array = nullptr;
  GetEventParameter(e, kEventParamToolbarMutableArray, typeCFMutableArrayRef, nullptr, sizeof array, nullptr, &array);
  if (GetEventKind(e) == kEventToolbarGetDefaultIdentifiers) {
    for (const char* id : {"run", "stop", "com.apple.hitoolbox.toolbar.separator", "preview",
                           "com.apple.hitoolbox.toolbar.flexiblespace", "upload"})
      CFArrayAppendValue(array, S(id));
    return noErr;
  }
  if (GetEventKind(e) != kEventToolbarCreateItemWithIdentifier) return eventNotHandledErr;
  CFStringRef id = nullptr;
  GetEventParameter(e, kEventParamToolbarItemIdentifier, typeCFStringRef, nullptr, sizeof id, nullptr, &id);
  struct Known {
    const char* id;
    const char* label;
    UInt32 command;
    CGFloat r, g, b;
  };
  static const Known kKnown[] = {{"run", "Run", 'run ', 0.2, 0.7, 0.2},
                                 {"stop", "Stop", 'stop', 0.8, 0.2, 0.2},
                                 {"preview", "Preview", 'prev', 0.2, 0.4, 0.9},
                                 {"upload", "Upload", 'upld', 0.9, 0.6, 0.1}};
  for (const Known& k : kKnown) {
    if (!CFEqual(id, S(k.id))) continue;
    HIToolbarItemRef item = nullptr;
    HIToolbarItemCreate(id, 0, &item);
    HIToolbarItemSetLabel(item, S(k.label));
    HIToolbarItemSetCommandID(item, k.command);
    CGImageRef image = Swatch(k.r, k.g, k.b);
    HIToolbarItemSetImage(item, image);
    CGImageRelease(image);
    if (k.command == 'stop') HIToolbarItemSetEnabled(item, false);
    SetEventParameter(e, kEventParamToolbarItem, typeHIToolbarItemRef, sizeof item, &item);
    return noErr;
  }
  return eventNotHandledErr;
}

OSStatus Commands(EventHandlerCallRef, EventRef e, void* data) {
  HICommand command{};
  GetEventParameter(e, kEventParamDirectObject, typeHICommand, nullptr, sizeof command, nullptr, &command);
  if (command.commandID == kHICommandClose) return eventNotHandledErr;
  static_cast<Heard*>(data)->commands.push_back(command.commandID);
  return noErr;
}

TEST(GtkToolbarTest, TheStripShowsAboveTheContentAndItsItemsSendCommands) {
  ASSERT_EQ(kHostGtk, HostInitialize(nullptr, nullptr));
  WindowRef window = nullptr;
  Rect bounds{100, 100, 340, 620};
  ASSERT_EQ(noErr, CreateNewWindow(kDocumentWindowClass, kWindowStandardDocumentAttributes, &bounds, &window));
  SetWindowTitleWithCFString(window, S("index.php"));
  Heard heard;
  static const EventTypeSpec kCommand = {kEventClassCommand, kEventCommandProcess};
  InstallEventHandler(GetWindowEventTarget(window), Commands, 1, &kCommand, &heard, nullptr);
  HIToolbarRef toolbar = nullptr;
  ASSERT_EQ(noErr, HIToolbarCreate(S("com.example.editor"), 0, &toolbar));
  static const EventTypeSpec kDelegate[] = {{kEventClassToolbar, kEventToolbarGetDefaultIdentifiers},
                                            {kEventClassToolbar, kEventToolbarCreateItemWithIdentifier}};
  InstallEventHandler(HIObjectGetEventTarget(toolbar), Delegate, 2, kDelegate, nullptr, nullptr);
  ASSERT_EQ(noErr, SetWindowToolbar(window, toolbar));
  ASSERT_EQ(noErr, ShowHideWindowToolbar(window, true, false));
  CFRelease(toolbar);
  ShowWindow(window);
  GtkWidget* strip = GtkHostToolbarWidget(window);
  GtkWidget* area = GtkHostContentWidget(window);
  const int height = WindowToolbarStripHeight(window);
  ASSERT_TRUE(PumpUntil([&] {
    return gtk_widget_get_mapped(strip) && gtk_widget_get_allocated_height(strip) == height &&
           gtk_widget_get_allocated_height(area) == 240;
  }));
  Pump();

  // "Run" is the first item; "Stop" is disabled.
  Click(strip, 4 + 20, height - 10);
  Click(strip, 4 + 40 + 4 + 20, height - 10);
  EXPECT_EQ((std::vector<UInt32>{'run '}), heard.commands);

  // A click anywhere in a window is announced to it and to the application
  // first, which is how a toolbar item's pop-up window learns to close.
  std::vector<WindowRef> announced;
  static const EventTypeSpec kModality = {kEventClassWindow, kEventWindowGetClickModality};
  EventHandlerRef listener = nullptr;
  InstallEventHandler(
      GetApplicationEventTarget(),
      [](EventHandlerCallRef, EventRef e, void* data) -> OSStatus {
        WindowRef w = nullptr;
        GetEventParameter(e, kEventParamDirectObject, typeWindowRef, nullptr, sizeof w, nullptr, &w);
        static_cast<std::vector<WindowRef>*>(data)->push_back(w);
        return eventNotHandledErr;
      },
      1, &kModality, &announced, &listener);
  Click(area, 100, 100);
  Click(strip, 4 + 20, height - 10);
  EXPECT_EQ((std::vector<WindowRef>{window, window}), announced);
  EXPECT_EQ((std::vector<UInt32>{'run ', 'run '}), heard.commands);
  RemoveEventHandler(listener);

  const std::string path = std::string(QUORVEL_TEST_OUTPUT_DIR) + "/gtk-toolbar-window.png";
  ASSERT_EQ(noErr, GtkHostWriteScreenshot(window, path));
  cairo_surface_t* png = cairo_image_surface_create_from_png(path.c_str());
  ASSERT_EQ(CAIRO_STATUS_SUCCESS, cairo_surface_status(png));
  GtkWidget* bar = GtkHostMenuBarWidget(window);
  const int barHeight = bar && gtk_widget_get_visible(bar) ? gtk_widget_get_allocated_height(bar) : 0;
  EXPECT_EQ(240 + height + barHeight, cairo_image_surface_get_height(png));
  // The "Run" swatch's green, in the strip above the content.
  const unsigned char* data = cairo_image_surface_get_data(png);
  const int stride = cairo_image_surface_get_stride(png);
  const unsigned char* pixel = data + (barHeight + 5 + 16) * stride + (4 + 20) * 4;
  EXPECT_GT(pixel[1], pixel[0] + 40);  // BGRA: green above blue
  cairo_surface_destroy(png);
  DisposeWindow(window);
  Pump();
}

}  // namespace
