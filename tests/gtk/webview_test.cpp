// The real web view on the desktop: the Ostrelle bundle on WebKitGTK, its
// view a native child of a real window, pages from files. Alerts answer from
// the scripted queue (a dialog nobody answers would hold the page's script).
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <webkit2/webkit2.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "DesktopHost.h"
#include "gtk/GtkHost.h"
#include "GtkTestEvents.h"
#include "HINativeView.h"
#include "HeadlessHost.h"
#include "Host.h"
#include "MacWindows.h"
#include "OstrelleTestHost.h"

namespace {

namespace fs = std::filesystem;
using namespace ostrelle_test;

// Runs the loop until the condition holds; the web process may be slow to
// start on a busy machine, so the limit is generous (it only bounds a hang).
template <typename Condition>
bool WaitUntil(Condition done, double seconds = 90) {
  const gint64 end = g_get_monotonic_time() + gint64(seconds * G_USEC_PER_SEC);
  while (!done()) {
    if (g_get_monotonic_time() > end) return false;
    while (g_main_context_iteration(nullptr, FALSE)) {
    }
    g_usleep(2000);
  }
  return true;
}

int Count(const std::vector<std::string>& log, const std::string& start) {
  return int(std::count_if(log.begin(), log.end(),
                           [&](const std::string& l) { return l.compare(0, start.size(), start) == 0; }));
}

std::vector<std::string> FrameEvents(const std::vector<std::string>& log) {
  std::vector<std::string> frames;
  for (const std::string& line : log)
    if (line.compare(0, 4, "WBLC") == 0) frames.push_back(line);
  return frames;
}

std::string Describe(GtkWidget* widget, GtkWidget* area) {
  GtkAllocation a;
  gtk_widget_get_allocation(widget, &a);
  gtk_widget_translate_coordinates(widget, area, 0, 0, &a.x, &a.y);
  GtkWidget* parent = gtk_widget_get_parent(widget);
  return "at " + std::to_string(a.x) + "," + std::to_string(a.y) + " " + std::to_string(a.width) + "x" +
         std::to_string(a.height) + (gtk_widget_get_mapped(widget) ? " mapped" : " unmapped") +
         (gtk_widget_get_visible(widget) ? " visible" : " hidden") + " in " +
         (parent ? G_OBJECT_TYPE_NAME(parent) : "nothing");
}

class WebViewTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ASSERT_EQ(kHostGtk, HostInitialize(nullptr, nullptr));
    // Alerts answer from the queue, as headless.
    DesktopHostSetAlertPresenter(nullptr);
    o = Bind();
  }
  void SetUp() override {
    ASSERT_NE(o.create, nullptr);
    o.init();
    const char* tmp = getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/webview-XXXXXX";
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir = fs::canonical(pattern).string();
    Rect bounds{60, 60, 460, 660};
    ASSERT_EQ(CreateNewWindow(kDocumentWindowClass, kWindowStandardHandlerAttribute, &bounds, &window), noErr);
    view = o.create();
    ASSERT_NE(view, nullptr);
    Listen(view, &host);
    HIViewAddSubview(HIViewGetRoot(window), view);
    HIRect frame{{20, 30}, {500, 320}};
    HIViewSetFrame(view, &frame);
    HIViewSetVisible(view, true);
    ShowWindow(window);
    widget = static_cast<GtkWidget*>(HINativeViewGetWidget(view));
    ASSERT_TRUE(WEBKIT_IS_WEB_VIEW(widget));
    GtkWidget* area = GtkHostContentWidget(window);
    ASSERT_TRUE(WaitUntil([&] {
      GtkAllocation a;
      gtk_widget_get_allocation(widget, &a);
      int x = -1, y = -1;
      gtk_widget_translate_coordinates(widget, area, 0, 0, &x, &y);
      return gtk_widget_get_mapped(widget) && x == 20 && y == 30 && a.width == 500 && a.height == 320;
    })) << "the web view shows at its view's frame, over the window's content: " << Describe(widget, area);
    HeadlessClearAlertAnswers();
    HeadlessClearAlertLog();
  }
  void TearDown() override {
    DisposeWindow(window);
    Pump();
    std::error_code ec;
    fs::remove_all(dir, ec);
  }

  // A square PNG of the size, one colour.
  void WritePNG(const std::string& name, int size) {
    cairo_surface_t* image = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, size, size);
    cairo_t* cr = cairo_create(image);
    cairo_set_source_rgb(cr, 0.8, 0.1, 0.1);
    cairo_paint(cr);
    cairo_destroy(cr);
    ASSERT_EQ(cairo_surface_write_to_png(image, (dir + "/" + name).c_str()), CAIRO_STATUS_SUCCESS);
    cairo_surface_destroy(image);
  }
  std::string Write(const std::string& name, const std::string& text) {
    std::ofstream(dir + "/" + name, std::ios::binary) << text;
    return "file://" + dir + "/" + name;
  }
  void Load(const std::string& url) {
    CFStringRef s = CF(url);
    o.load(s, view);
    CFRelease(s);
  }
  // Until the log has the line, and the engine has stopped loading.
  bool LoadedUntil(const std::string& start) {
    return WaitUntil([&] { return Count(host.log, start) > 0 && !webkit_web_view_is_loading(WEBKIT_WEB_VIEW(widget)); });
  }

  static Ostrelle o;
  std::string dir;
  WindowRef window = nullptr;
  HIViewRef view = nullptr;
  GtkWidget* widget = nullptr;
  Host host;
};
Ostrelle WebViewTest::o;

TEST_F(WebViewTest, APageLoadsInOrderWithItsTitle) {
  WritePNG("square.png", 40);
  const std::string url = Write("page.html",
                                "<html><head><title>Static Title</title></head>"
                                "<body style='background:#c8e0ff'><h1>Hello from the page</h1>"
                                "<img src='square.png'></body></html>");
  const std::string square = "file://" + dir + "/square.png";
  Load(url);
  ASSERT_TRUE(LoadedUntil("WBLC 6"));
  // The title and the resources' ends may come after the load finished.
  WaitUntil([&] { return Count(host.log, "WBLC 4") > 0 && Count(host.log, "WBRL 5") > 1; });
  const std::vector<std::string> frames = FrameEvents(host.log);
  SCOPED_TRACE(::testing::PrintToString(host.log));
  ASSERT_GE(frames.size(), 3u);
  EXPECT_EQ(frames[0], "WBLC 1");
  EXPECT_EQ(frames[1], "WBLC 3");
  EXPECT_EQ(Count(frames, "WBLC 4 title=Static Title"), 1) << ::testing::PrintToString(frames);
  EXPECT_EQ(Count(frames, "WBLC 6"), 1);
  EXPECT_EQ(Count(frames, "WBLC 7"), 0);
  // The main resource was asked about first, and finished with the host's identifier.
  EXPECT_EQ(Count(host.log, "WBRL 1 url=" + url), 1);
  EXPECT_EQ(Count(host.log, "WBRL 5 id=" + url), 1);
  // The page's image, a resource of its own.
  EXPECT_EQ(Count(host.log, "WBRL 1 url=" + square), 1);
  EXPECT_EQ(Count(host.log, "WBRL 5 id=" + square), 1);
  EXPECT_EQ(Count(host.log, "WBRL 6"), 0);
  Pump();
  EXPECT_EQ(GtkHostWriteScreenshot(window, std::string(QUORVEL_TEST_OUTPUT_DIR) + "/webview-page.png"), noErr);
}

TEST_F(WebViewTest, AMissingFileFailsWithoutAnErrorPageOrAFinish) {
  Load("file://" + dir + "/missing.html");
  ASSERT_TRUE(LoadedUntil("WBLC 7"));
  Pump();
  const std::vector<std::string> frames = FrameEvents(host.log);
  EXPECT_EQ(Count(frames, "WBLC 1"), 1) << "no second load for an error page: " << ::testing::PrintToString(frames);
  EXPECT_EQ(Count(frames, "WBLC 7 error"), 1);
  EXPECT_EQ(Count(frames, "WBLC 6"), 0);
  const gchar* title = webkit_web_view_get_title(WEBKIT_WEB_VIEW(widget));
  EXPECT_TRUE(title == nullptr || *title == '\0') << title;
}

TEST_F(WebViewTest, ConfirmIsAnsweredThroughTheAlertQueue) {
  HeadlessQueueAlertAnswer(kAlertStdAlertCancelButton);
  const std::string url = Write("confirm.html",
                                "<html><body><script>"
                                "document.title = confirm('Go on?') ? 'went on' : 'stopped';"
                                "</script></body></html>");
  Load(url);
  ASSERT_TRUE(LoadedUntil("WBLC 6"));
  ASSERT_TRUE(WaitUntil([&] { return Count(host.log, "WBLC 4") > 0; }));
  EXPECT_EQ(Count(host.log, "WBLC 4 title=stopped"), 1) << ::testing::PrintToString(host.log);
  const std::vector<HeadlessAlertRecord> alerts = HeadlessCopyAlertLog();
  ASSERT_EQ(alerts.size(), 1u);
  EXPECT_EQ(alerts[0].error, "Go on?");
  EXPECT_EQ(alerts[0].kind, kAlertStopAlert);
  EXPECT_EQ(alerts[0].itemHit, kAlertStdAlertCancelButton);
}

TEST_F(WebViewTest, AHoveredLinkIsTold) {
  const std::string url = Write("link.html",
                                "<html><body style='margin:0'>"
                                "<a href='target.html' style='display:block;width:400px;height:200px'>a link</a>"
                                "</body></html>");
  Load(url);
  ASSERT_TRUE(LoadedUntil("WBLC 6"));
  const std::string expected = "WBWO 6 WebElementLinkURL=file://" + dir + "/target.html";
  // The pointer moves over the link until the page has heard of it.
  int turn = 0;
  ASSERT_TRUE(WaitUntil([&] {
    if (turn++ % 50 == 0) PutMotion(widget, 50 + turn % 7, 60, 0);
    return Count(host.log, expected) > 0;
  })) << ::testing::PrintToString(host.log);
}

TEST_F(WebViewTest, ThePagesIconArrivesAsAnImage) {
  WritePNG("icon.png", 16);
  Write("icon.html", "<html><head><link rel='icon' href='icon.png'><title>Iconic</title></head><body>x</body></html>");
  // Served over HTTP on a free port of 127.0.0.1 (icons of file pages are not kept).
  int probe = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  ASSERT_EQ(bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length);
  const std::string port = std::to_string(ntohs(address.sin_port));
  close(probe);
  gchar* argv[] = {const_cast<gchar*>("/usr/bin/python3"), const_cast<gchar*>("-m"), const_cast<gchar*>("http.server"),
                   const_cast<gchar*>("--bind"), const_cast<gchar*>("127.0.0.1"), const_cast<gchar*>(port.c_str()),
                   nullptr};
  struct Server {
    GPid pid = 0;
    ~Server() {
      if (pid == 0) return;
      kill(pid, SIGTERM);
      waitpid(pid, nullptr, 0);
      g_spawn_close_pid(pid);
    }
  } server;
  ASSERT_TRUE(g_spawn_async(dir.c_str(), argv, nullptr, GSpawnFlags(G_SPAWN_STDOUT_TO_DEV_NULL | G_SPAWN_STDERR_TO_DEV_NULL),
                            nullptr, nullptr, &server.pid, nullptr));
  ASSERT_TRUE(WaitUntil([&] {
    int s = socket(AF_INET, SOCK_STREAM, 0);
    const bool up = connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    close(s);
    return up;
  }, 30));
  Load("http://127.0.0.1:" + port + "/icon.html");
  ASSERT_TRUE(LoadedUntil("WBLC 6"));
  EXPECT_TRUE(WaitUntil([&] { return Count(host.log, "WBLC 5") > 0; }, 60)) << ::testing::PrintToString(host.log);
  EXPECT_EQ(Count(host.log, "WBLC 5 icon=16x16"), 1) << ::testing::PrintToString(host.log);
}

TEST_F(WebViewTest, TheFocusedPageTakesTheKeysAndAHiddenViewHidesIt) {
  const std::string url = Write("input.html",
                                "<html><body><input id=field autofocus "
                                "oninput='document.title = \"typed \" + this.value'></body></html>");
  Load(url);
  ASSERT_TRUE(LoadedUntil("WBLC 6"));
  // The window's focus moves into the web view: the widget takes GTK's.
  ASSERT_EQ(SetKeyboardFocus(window, view, kControlFocusNextPart), noErr);
  ASSERT_TRUE(WaitUntil([&] { return gtk_widget_has_focus(widget); }));
  GtkWidget* top = GtkHostWindowWidget(window);
  ASSERT_TRUE(WaitUntil([&] {
    if (Count(host.log, "WBLC 4 title=typed ") == 0 && Count(host.log, "WBLC 4 title=typed q") == 0) {
      // The page may still be giving its field the focus: type until it shows.
      PutKey(top, GDK_KEY_q);
    }
    return Count(host.log, "WBLC 4 title=typed q") > 0;
  })) << ::testing::PrintToString(host.log);

  // The window's focus leaving the view takes GTK's from the widget.
  ClearKeyboardFocus(window);
  EXPECT_TRUE(WaitUntil([&] { return !gtk_widget_has_focus(widget); }));

  HIViewSetVisible(view, false);
  EXPECT_TRUE(WaitUntil([&] { return !gtk_widget_get_visible(widget); }));
  HIViewSetVisible(view, true);
  EXPECT_TRUE(WaitUntil([&] { return gtk_widget_get_mapped(widget); }));
}

}  // namespace
