// The Ostrelle bundle as the program binds it (by name, from its bundle in
// Frameworks), headless on its stand-in engine: the events of page loads in
// their order, the answers read back from them, navigation, and what a page
// does by itself (hovering, script dialogs, the file button, new windows).
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "HeadlessHost.h"
#include "MacWindows.h"
#include "OstrelleTestHost.h"

namespace {

namespace fs = std::filesystem;
using namespace ostrelle_test;

class BridgeTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { o = Bind(); }
  void SetUp() override {
    ASSERT_NE(o.create, nullptr);
    o.init();
    const char* tmp = getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/ostrelle-XXXXXX";
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir = fs::canonical(pattern).string();
    view = o.create();
    ASSERT_NE(view, nullptr);
    Listen(view, &host);
    HeadlessClearAlertAnswers();
    HeadlessClearAlertLog();
    HeadlessClearNavAnswers();
  }
  void TearDown() override {
    if (view) DisposeControl(view);
    std::error_code ec;
    fs::remove_all(dir, ec);
  }

  std::string Write(const std::string& name, const std::string& text) {
    std::ofstream(dir + "/" + name, std::ios::binary) << text;
    return "file://" + dir + "/" + name;
  }
  void Load(const std::string& url, HIViewRef into = nullptr) {
    CFStringRef s = CF(url);
    o.load(s, into ? into : view);
    CFRelease(s);
  }
  // Runs the loop until the log has a line starting so, or many turns passed.
  bool RunUntil(const std::string& start) {
    for (int turn = 0; turn < 200; ++turn) {
      for (const std::string& line : host.log)
        if (line.compare(0, start.size(), start) == 0) return true;
      RunCurrentEventLoop(0.01);
    }
    return false;
  }
  void Settle() {
    for (int i = 0; i < 5; ++i) RunCurrentEventLoop(0.01);
  }

  static Ostrelle o;
  std::string dir;
  HIViewRef view = nullptr;
  Host host;
};
Ostrelle BridgeTest::o;

TEST_F(BridgeTest, APageLoadTellsItsStoryInOrderWithTheHostsIdentifiers) {
  Write("pic.png", "12345");
  const std::string page = "<html><head><title> My\n  Page &amp; more </title></head>"
                           "<body><img src=\"pic.png\"><img src='gone.png'></body></html>";
  const std::string url = Write("page.html", page);
  const std::string pic = "file://" + dir + "/pic.png", gone = "file://" + dir + "/gone.png";
  struct Case {
    bool answer;
    std::string pageID, picID, goneID;
  } cases[] = {{true, url, pic, gone}, {false, "(nil)", "(nil)", "(nil)"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.answer ? "the host answers identifiers" : "the host answers nothing");
    host.log.clear();
    host.answerIDs = c.answer;
    Load(url);
    EXPECT_TRUE(host.log.empty()) << "nothing comes inside the call";
    ASSERT_TRUE(RunUntil("WBLC 6"));
    const std::vector<std::string> expected = {
        "WBLC 1",
        "WBRL 1 url=" + url,
        "WBLC 3",
        "WBRL 3 id=" + c.pageID,
        "WBRL 4 id=" + c.pageID + " len=" + std::to_string(page.size()),
        "WBRL 5 id=" + c.pageID,
        "WBRL 1 url=" + pic,
        "WBRL 3 id=" + c.picID,
        "WBRL 4 id=" + c.picID + " len=5",
        "WBRL 5 id=" + c.picID,
        "WBRL 1 url=" + gone,
        "WBRL 6 id=" + c.goneID + " error",
        "WBLC 4 title=My Page & more",
        "WBLC 6",
    };
    EXPECT_EQ(host.log, expected);
  }
  EXPECT_EQ(std::string(o.calls(view)), "load " + url + "\nload " + url + "\n");
}

TEST_F(BridgeTest, AFailedLoadDoesNotFinishAndTheNextLoadDoes) {
  const std::string missing = "file://" + dir + "/missing.html";
  Load(missing);
  ASSERT_TRUE(RunUntil("WBLC 7"));
  Settle();
  const std::vector<std::string> failed = {"WBLC 1", "WBRL 1 url=" + missing, "WBRL 6 id=" + missing + " error",
                                           "WBLC 7 error"};
  EXPECT_EQ(host.log, failed);

  host.log.clear();
  Load(Write("ok.html", "<p>fine</p>"));
  ASSERT_TRUE(RunUntil("WBLC 6"));
  EXPECT_EQ(host.log.front(), "WBLC 1");

  // A title a script sets after the load is told all the same.
  host.log.clear();
  o.setTitle(view, "Set later");
  EXPECT_EQ(host.log, std::vector<std::string>{"WBLC 4 title=Set later"});
}

TEST_F(BridgeTest, NavigationAndTextsThatAreNoURLs) {
  const std::string a = Write("a.html", "a"), b = Write("b.html", "b");
  EXPECT_FALSE(o.canGoBack(view));
  Load(a);
  RunUntil("WBLC 6");
  host.log.clear();
  Load(b);
  RunUntil("WBLC 6");
  EXPECT_TRUE(o.canGoBack(view));
  EXPECT_FALSE(o.canGoForward(view));
  o.back(view);
  EXPECT_TRUE(o.canGoForward(view));
  o.forward(view);
  o.reload(view);
  o.stop(view);  // stops the reload before it came: a cancelled load
  Settle();
  Load("not a url");
  Load("");
  Settle();
  EXPECT_EQ(std::string(o.calls(view)),
            "load " + a + "\nload " + b + "\nback " + a + "\nforward " + b + "\nreload\nstop\n");

  // No view, or a view of some other kind: nothing happens.
  HIViewRef plain = nullptr;
  HIRect frame{};
  HIViewCreate(&frame, &plain);
  for (HIViewRef v : {HIViewRef(nullptr), plain}) {
    CFStringRef s = CF(a);
    o.load(s, v);
    CFRelease(s);
    o.reload(v);
    o.stop(v);
    o.back(v);
    o.forward(v);
    EXPECT_FALSE(o.canGoBack(v));
    EXPECT_FALSE(o.canGoForward(v));
  }
  CFRelease(plain);
}

TEST_F(BridgeTest, ScriptDialogsAreThePlatformsStopAlerts) {
  HeadlessQueueAlertAnswer(kAlertStdAlertOKButton);
  EXPECT_EQ(o.dialog(view, 1, "Leave?"), 1);
  HeadlessQueueAlertAnswer(kAlertStdAlertCancelButton);
  EXPECT_EQ(o.dialog(view, 1, "Really?"), 0);
  EXPECT_EQ(o.dialog(view, 0, "Hello"), 0);
  EXPECT_EQ(o.dialog(view, 2, "Your name?"), 1);  // a prompt gets null, and no panel shows

  const std::vector<HeadlessAlertRecord> alerts = HeadlessCopyAlertLog();
  ASSERT_EQ(alerts.size(), 3u);
  for (size_t i = 0; i < 2; ++i) {
    SCOPED_TRACE(alerts[i].error);
    EXPECT_EQ(alerts[i].kind, kAlertStopAlert);
    EXPECT_FALSE(alerts[i].okText.empty());
    EXPECT_FALSE(alerts[i].cancelText.empty());
    EXPECT_FALSE(alerts[i].helpButton);
    EXPECT_EQ(alerts[i].defaultButton, kAlertStdAlertOKButton);
    EXPECT_EQ(alerts[i].cancelButton, kAlertStdAlertCancelButton);
  }
  EXPECT_EQ(alerts[0].error, "Leave?");
  EXPECT_EQ(alerts[2].error, "Hello");
  EXPECT_EQ(alerts[2].kind, kAlertStopAlert);
  EXPECT_TRUE(alerts[2].cancelText.empty());
}

TEST_F(BridgeTest, TheFileButtonGetsTheWholeChosenPath) {
  Rect bounds{100, 100, 400, 500};
  WindowRef window = nullptr;
  ASSERT_EQ(CreateNewWindow(kDocumentWindowClass, kWindowStandardHandlerAttribute, &bounds, &window), noErr);
  HIViewAddSubview(HIViewGetRoot(window), view);

  // A path longer than 1024 bytes.
  std::string deep = dir;
  while (deep.size() < 1300) deep += "/" + std::string(60, 'p');
  fs::create_directories(deep);
  const std::string file = deep + "/upload.txt";
  std::ofstream(file) << "x";
  HeadlessQueueNavAnswer({kNavUserActionChoose, {file}, ""});
  o.clickFileButton(view);
  for (int i = 0; i < 50 && o.chosenFile(view) == nullptr; ++i) RunCurrentEventLoop(0.01);
  ASSERT_NE(o.chosenFile(view), nullptr);
  EXPECT_EQ(std::string(o.chosenFile(view)), file);
  const std::vector<HeadlessNavRecord> dialogs = HeadlessCopyNavLog();
  ASSERT_FALSE(dialogs.empty());
  EXPECT_EQ(dialogs.back().kind, "choosefile");
  EXPECT_EQ(dialogs.back().parent, window);
  EXPECT_EQ(dialogs.back().optionFlags & kNavAllowMultipleFiles, 0u);
  EXPECT_FALSE(dialogs.back().clientName.empty());

  // Cancelled: the page gets nothing.
  HeadlessQueueNavAnswer({kNavUserActionCancel, {}, ""});
  o.clickFileButton(view);
  Settle();
  EXPECT_EQ(o.chosenFile(view), nullptr);
  DisposeWindow(window);
  view = nullptr;  // went with its window
}

TEST_F(BridgeTest, HoveringAndNewWindows) {
  o.hover(view, "http://127.0.0.1/a%20b.html", "file:///pics/x.png");
  o.hover(view, "", nullptr);
  const std::vector<std::string> hovers = {
      "WBWO 6 WebElementLinkURL=http://127.0.0.1/a%20b.html WebElementImageURL=file:///pics/x.png", "WBWO 6"};
  EXPECT_EQ(host.log, hovers);

  // A host that answers no view: the page's new window does not open.
  host.log.clear();
  const std::string popup = Write("popup.html", "<title>Popup</title>");
  EXPECT_EQ(o.openWindow(view, popup.c_str()), 0);
  EXPECT_EQ(host.log, std::vector<std::string>{"WBWO 1 url=" + popup});

  // One that answers a web view of its own: the page loads there, and it is told to show.
  HIViewRef other = o.create();
  Host otherHost;
  Listen(other, &otherHost);
  host.newView = other;
  EXPECT_EQ(o.openWindow(view, popup.c_str()), 1);
  EXPECT_EQ(otherHost.log, std::vector<std::string>{"WBWO 2"});
  EXPECT_EQ(std::string(o.calls(other)), "load " + popup + "\n");
  // An answer left in the event by a handler that did not handle it counts for nothing.
  host.createStatus = eventNotHandledErr;
  EXPECT_EQ(o.openWindow(view, popup.c_str()), 0);
  DisposeControl(other);
}

}  // namespace
