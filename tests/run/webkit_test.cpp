// The web view host headless, over the real Ostrelle bundle on its stand-in
// engine: binding, the web view kept over its container (hidden far away
// while the container hides), the bundle's events as virtual methods with
// the answers put back, and a program without the bundle.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "CFBundle.h"
#include "CFString.h"
#include "CFURL.h"
#include "Files.h"
#include "HINativeView.h"
#include "HeadlessHost.h"
#include "MacWindows.h"
#include "PascalCarbonCommon.h"
#include "IBCarbonRuntime.h"
#include "OstrelleTestHost.h"
#include "TWebKitUnit.h"

namespace {

namespace fs = std::filesystem;

std::string UTF8(CFStringRef s) {
  if (s == nullptr) return "(nil)";
  char buffer[4096];
  return CFStringGetCString(s, buffer, sizeof buffer, kCFStringEncodingUTF8) ? buffer : "(long)";
}

// Records every virtual method the bundle's events reach; gives each
// resource its URL as identifier.
class RecordingWebKit : public TWebKit {
 public:
  std::vector<std::string> log;
  CFTypeRef EventWebResourceGetIdentifier(CFStringRef resourceURL) override {
    log.push_back("identifier? " + UTF8(resourceURL));
    return resourceURL;
  }
  void EventWebResourceDidReceiveContentLength(CFTypeRef id, UInt32 length) override {
    log.push_back("length " + UTF8(static_cast<CFStringRef>(id)) + " " + std::to_string(length));
  }
  void EventWebResourceLoadFinished(CFTypeRef id) override {
    log.push_back("finished " + UTF8(static_cast<CFStringRef>(id)));
  }
  void EventWebResourceLoadFailed(CFTypeRef id, const Str255&) override {
    log.push_back("failed " + UTF8(static_cast<CFStringRef>(id)));
  }
  void EventWebMouseMovedOverElement(CFDictionaryRef element) override {
    CFStringRef key = CFStringCreateWithCString(nullptr, kWebElementLinkURLKey, kCFStringEncodingUTF8);
    auto link = static_cast<CFURLRef>(element ? CFDictionaryGetValue(element, key) : nullptr);
    CFRelease(key);
    log.push_back("over " + (link ? UTF8(CFURLGetString(link)) : std::string("nothing")));
  }
  void EventWebFrameLoadStarted() override { log.push_back("started"); }
  void EventWebFrameLoadDone() override { log.push_back("done"); }
  void EventWebFrameLoadFailed(const Str255&) override { log.push_back("load failed"); }
  void EventWebReceivedPageTitle(const Str255& title) override { log.push_back("title " + title.str()); }
};

class WebKitTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* tmp = getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/webkit-XXXXXX";
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir = fs::canonical(pattern).string();
    Rect bounds{100, 100, 500, 700};
    ASSERT_EQ(CreateNewWindow(kDocumentWindowClass, kWindowStandardHandlerAttribute, &bounds, &window), noErr);
    HIRect frame{{40, 50}, {300, 200}};
    HIViewRef pane = nullptr;
    HIRect paneFrame{{10, 20}, {500, 350}};
    HIViewCreate(&paneFrame, &pane);
    HIViewAddSubview(HIViewGetRoot(window), pane);
    HIViewCreate(&frame, &container);
    HIViewAddSubview(pane, container);
    HIViewSetVisible(pane, true);
    HIViewSetVisible(container, true);
    HeadlessClearAlertLog();
  }
  void TearDown() override {
    if (webkit) webkit->Release();
    DisposeWindow(window);
    std::error_code ec;
    fs::remove_all(dir, ec);
  }
  HIRect WebViewFrame() {
    HIRect r{};
    HIViewGetFrame(webkit->webView, &r);
    return r;
  }
  void RunUntil(const std::string& line) {
    for (int i = 0; i < 200; ++i) {
      for (const std::string& l : webkit->log)
        if (l == line) return;
      RunCurrentEventLoop(0.01);
    }
  }
  FSRef Write(const std::string& name, const std::string& text) {
    std::ofstream(dir + "/" + name) << text;
    FSRef ref{};
    FSPathMakeRef(reinterpret_cast<const UInt8*>((dir + "/" + name).c_str()), &ref, nullptr);
    return ref;
  }

  std::string dir;
  WindowRef window = nullptr;
  HIViewRef container = nullptr;
  RecordingWebKit* webkit = nullptr;
};

TEST_F(WebKitTest, TheWebViewLivesInTheRootAndFollowsItsContainer) {
  webkit = new RecordingWebKit();
  webkit->SetRoot(window);
  webkit->Create(container);
  ASSERT_TRUE(WebKitLoaded);
  ASSERT_NE(webkit->webView, nullptr);
  EXPECT_NE(HINativeViewGetWidget(webkit->webView), nullptr);
  EXPECT_EQ(HIViewGetSuperview(webkit->webView), HIViewGetRoot(window));
  EXPECT_EQ(GetControlObject(container), webkit);
  HIRect r = WebViewFrame();
  EXPECT_EQ(r.origin.x, 50);
  EXPECT_EQ(r.origin.y, 70);
  EXPECT_EQ(r.size.width, 300);
  EXPECT_EQ(r.size.height, 200);

  HIViewMoveBy(container, 5, 5);
  EXPECT_EQ(WebViewFrame().origin.x, 55);

  // A hidden container sends the web view far away, with no size.
  HIViewSetVisible(container, false);
  r = WebViewFrame();
  EXPECT_EQ(r.origin.x, -32767);
  EXPECT_EQ(r.origin.y, -32767);
  EXPECT_EQ(r.size.width, 0);
  EXPECT_FALSE(HIViewIsVisible(webkit->webView));
  HIViewSetVisible(container, true);
  r = WebViewFrame();
  EXPECT_EQ(r.origin.x, 55);
  EXPECT_EQ(r.size.height, 200);
  EXPECT_TRUE(HIViewIsVisible(webkit->webView));

  // A second web view binds nothing again: the same functions, no message.
  WebKitCreateHIViewProc bound = WebKitCreateHIView;
  TWebKit* second = HIWebKitCreate(container);
  EXPECT_EQ(WebKitCreateHIView, bound);
  EXPECT_NE(second->webView, nullptr);
  EXPECT_TRUE(HeadlessCopyAlertLog().empty());
  // Its web view goes with it (nothing else would take it from the root).
  const ItemCount before = HIViewCountSubviews(HIViewGetRoot(window));
  second->Release();
  EXPECT_EQ(HIViewCountSubviews(HIViewGetRoot(window)), before - 1);
}

TEST_F(WebKitTest, EventsReachTheVirtualMethodsWithTheAnswersPutBack) {
  webkit = new RecordingWebKit();
  webkit->SetRoot(window);
  webkit->Create(container);
  ASSERT_NE(webkit->webView, nullptr);
  const FSRef page = Write("a page.html", "<title>The Page</title>hello");
  const std::string url = "file://" + dir + "/a%20page.html";
  webkit->LoadFile(page);
  RunUntil("done");
  const std::vector<std::string> expected = {
      "started", "identifier? " + url, "length " + url + " 28", "finished " + url, "title The Page", "done"};
  EXPECT_EQ(webkit->log, expected);

  webkit->log.clear();
  webkit->LoadURL(Str255(("file://" + dir + "/missing.html").c_str()));
  RunUntil("load failed");
  for (int i = 0; i < 5; ++i) RunCurrentEventLoop(0.01);
  const std::vector<std::string> failed = {"started", "identifier? file://" + dir + "/missing.html",
                                           "failed file://" + dir + "/missing.html", "load failed"};
  EXPECT_EQ(webkit->log, failed);

  // An empty URL loads nothing.
  webkit->log.clear();
  webkit->LoadURL(Str255());
  for (int i = 0; i < 5; ++i) RunCurrentEventLoop(0.01);
  EXPECT_TRUE(webkit->log.empty());
  EXPECT_TRUE(webkit->CanGoBack());
  EXPECT_FALSE(webkit->CanGoForward());
}

TEST_F(WebKitTest, AWholeFileURLOfAnyLength) {
  std::string deep = dir;
  while (deep.size() < 400) deep += "/" + std::string(50, 'w');
  fs::create_directories(deep);
  std::ofstream(deep + "/deep.html") << "<title>Deep</title>";
  FSRef ref{};
  ASSERT_EQ(FSPathMakeRef(reinterpret_cast<const UInt8*>((deep + "/deep.html").c_str()), &ref, nullptr), noErr);
  webkit = new RecordingWebKit();
  webkit->SetRoot(window);
  webkit->Create(container);
  webkit->LoadFile(ref);
  RunUntil("done");
  EXPECT_EQ(webkit->log.back(), "done");
  EXPECT_EQ(webkit->log[1], "identifier? file://" + deep + "/deep.html");
}

TEST_F(WebKitTest, APaneLoadsItsFileWholeAndTakesItsWebViewAlong) {
  const std::string folder = QUORVEL_TEST_SOURCE_DIR "/run/fixtures";
  CFURLRef url = CFURLCreateFromFileSystemRepresentation(nullptr, reinterpret_cast<const UInt8*>(folder.c_str()),
                                                         CFIndex(folder.size()), true);
  CFBundleRef fixtures = CFBundleCreate(nullptr, url);
  CFRelease(url);
  IBNibRef nib = nullptr;
  ASSERT_EQ(CreateNibReferenceWithCFBundle(fixtures, CFSTR("Run"), &nib), noErr);
  const ostrelle_test::Ostrelle o = ostrelle_test::Bind();
  ASSERT_NE(o.calls, nullptr);

  std::string deep = dir;
  while (deep.size() < 300) deep += "/" + std::string(50, 'p');
  fs::create_directories(deep);
  std::ofstream(deep + "/page.html") << "<title>Pane</title>";
  FSRef file{};
  ASSERT_EQ(FSPathMakeRef(reinterpret_cast<const UInt8*>((deep + "/page.html").c_str()), &file, nullptr), noErr);

  auto* pane = new TWebKitPane();
  pane->SetFile(file);
  pane->Create("Web Pane", nib);
  ASSERT_NE(pane->webkit, nullptr);
  ASSERT_NE(pane->webkit->webView, nullptr);
  pane->Load();
  for (int i = 0; i < 5; ++i) RunCurrentEventLoop(0.01);
  EXPECT_EQ(std::string(o.calls(pane->webkit->webView)), "load file://" + deep + "/page.html\n");

  // Into a window: the web view leaves the interface window for it, over its container.
  pane->Attach(window);
  EXPECT_EQ(HIViewGetWindow(pane->webkit->webView), window);
  HIRect r{};
  HIViewGetFrame(pane->webkit->webView, &r);
  EXPECT_EQ(r.origin.x, 10);
  EXPECT_EQ(r.origin.y, 20);
  pane->SelectViewObject();
  ControlRef focus = nullptr;
  GetKeyboardFocus(window, &focus);
  EXPECT_EQ(focus, pane->webkit->webView);

  // A pane given only a URL loads it; an empty one loads nothing.
  auto* other = new TWebKitPane();
  other->Create("Web Pane", nib);
  other->Load();
  other->SetURL("file:///nowhere.html");
  other->Load();
  for (int i = 0; i < 5; ++i) RunCurrentEventLoop(0.01);
  EXPECT_EQ(std::string(o.calls(other->webkit->webView)), "load file:///nowhere.html\n");
  other->ReleaseViewObject();
  DisposeNibReference(nib);
}

// Without the bundle (a program whose Frameworks folder lacks it): no web
// view, every call harmless, and the message once. 0 when all holds.
int RunWithoutBundle() {
  const char* tmp = getenv("TMPDIR");
  std::string app = std::string(tmp && *tmp ? tmp : "/tmp") + "/nobundle-XXXXXX";
  if (mkdtemp(app.data()) == nullptr) return 2;
  fs::create_directories(app + "/Contents/Frameworks");
  setenv("QUORVEL_BUNDLE", app.c_str(), 1);
  Rect bounds{100, 100, 300, 300};
  WindowRef window = nullptr;
  CreateNewWindow(kDocumentWindowClass, kWindowStandardHandlerAttribute, &bounds, &window);
  HIRect frame{{0, 0}, {100, 100}};
  HIViewRef container = nullptr;
  HIViewCreate(&frame, &container);
  HIViewAddSubview(HIViewGetRoot(window), container);
  TWebKit* first = HIWebKitCreate(container);
  TWebKit* second = HIWebKitCreate(container);
  first->LoadURL("file:///nowhere.html");
  first->Reload();
  first->StopLoading();
  first->GoBack();
  first->GoForward();
  const auto alerts = HeadlessCopyAlertLog();
  const bool ok = first->webView == nullptr && second->webView == nullptr && !WebKitLoaded &&
                  !first->CanGoBack() && !first->CanGoForward() && alerts.size() == 1 &&
                  alerts[0].explanation == "Ostrelle failed to load!";
  fs::remove_all(app);
  return ok ? 0 : 1;
}

// In a process of its own, since binding is once per process.
TEST(WebKitWithoutBundleTest, NoWebViewAndTheMessageOnce) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(exit(RunWithoutBundle()), ::testing::ExitedWithCode(0), "");
}

}  // namespace
