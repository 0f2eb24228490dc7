// Standard alerts and URL opening under the headless host: alerts answer from
// the test's queue and are logged; opening records the request.
#include <glib.h>
#include <glib/gstdio.h>
#include <gtest/gtest.h>

#include <string>

#include "CFArray.h"
#include "CFString.h"
#include "CFURL.h"
#include "Dialogs.h"
#include "HeadlessHost.h"
#include "LaunchServices.h"
#include "LaunchServicesInternal.h"

namespace {

// A short string from bytes (Mac Roman).
struct PStr {
  unsigned char s[256];
  explicit PStr(const std::string& bytes) {
    s[0] = static_cast<unsigned char>(bytes.size());
    bytes.copy(reinterpret_cast<char*>(s + 1), bytes.size());
  }
  operator ConstStr255Param() const { return s; }
};

class AlertsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    HeadlessClearAlertAnswers();
    HeadlessClearAlertLog();
    HeadlessClearLaunchRequests();
  }
};

TEST_F(AlertsTest, AnAlertWithoutParametersHasOnlyOK) {
  SInt16 hit = 0;
  // 0x8A is a-umlaut and 0xD5 a right single quote in Mac Roman.
  ASSERT_EQ(StandardAlert(kAlertStopAlert, PStr("Alert"), PStr("Can\xD5t read \x8A"), nullptr, &hit), noErr);
  EXPECT_EQ(hit, kAlertStdAlertOKButton);
  auto log = HeadlessCopyAlertLog();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].kind, kAlertStopAlert);
  EXPECT_EQ(log[0].error, "Alert");
  EXPECT_EQ(log[0].explanation, "Can\u2019t read \u00e4");
  EXPECT_EQ(log[0].okText, "OK");
  EXPECT_EQ(log[0].cancelText, "");
  EXPECT_EQ(log[0].otherText, "");
  EXPECT_EQ(log[0].defaultButton, kAlertStdAlertOKButton);

  // A queued Cancel cannot be the answer of an alert without Cancel.
  HeadlessQueueAlertAnswer(kAlertStdAlertCancelButton);
  ASSERT_EQ(StandardAlert(kAlertCautionAlert, PStr("Oops"), PStr(" "), nullptr, &hit), noErr);
  EXPECT_EQ(hit, kAlertStdAlertOKButton);
  EXPECT_EQ(HeadlessCopyAlertLog().size(), 2u);

  // Nil texts are empty texts.
  ASSERT_EQ(StandardAlert(kAlertNoteAlert, nullptr, nullptr, nullptr, nullptr), noErr);
  EXPECT_EQ(HeadlessCopyAlertLog().back().error, "");
}

TEST_F(AlertsTest, QueuedAnswersAreTakenInOrder) {
  PStr discard("Discard");
  AlertStdAlertParamRec p{};
  p.defaultText = kAlertDefaultOKText;
  p.cancelText = kAlertDefaultCancelText;
  p.otherText = discard;
  p.defaultButton = kAlertStdAlertOKButton;
  p.cancelButton = kAlertStdAlertCancelButton;

  HeadlessQueueAlertAnswer(kAlertStdAlertCancelButton);
  HeadlessQueueAlertAnswer(kAlertStdAlertOtherButton);
  SInt16 hits[3] = {};
  for (SInt16& hit : hits) ASSERT_EQ(StandardAlert(kAlertCautionAlert, PStr("Save?"), nullptr, &p, &hit), noErr);
  EXPECT_EQ(hits[0], kAlertStdAlertCancelButton);
  EXPECT_EQ(hits[1], kAlertStdAlertOtherButton);
  EXPECT_EQ(hits[2], kAlertStdAlertOKButton) << "an empty queue answers the default button";

  auto log = HeadlessCopyAlertLog();
  ASSERT_EQ(log.size(), 3u);
  EXPECT_EQ(log[0].cancelText, "Cancel");
  EXPECT_EQ(log[0].otherText, "Discard");
  EXPECT_EQ(log[0].cancelButton, kAlertStdAlertCancelButton);
  EXPECT_EQ(log[1].itemHit, kAlertStdAlertOtherButton);

  // An alert with no buttons at all still gets OK; a default naming a
  // missing button falls back to one the alert has.
  AlertStdAlertParamRec none{};
  none.defaultButton = kAlertStdAlertOtherButton;
  SInt16 hit = 0;
  ASSERT_EQ(StandardAlert(kAlertPlainAlert, PStr("Done"), nullptr, &none, &hit), noErr);
  EXPECT_EQ(hit, kAlertStdAlertOKButton);
  EXPECT_EQ(HeadlessCopyAlertLog().back().okText, "OK");
}

TEST_F(AlertsTest, CFStringAlertsRunOnceAndBeepsAreCounted) {
  AlertStdCFStringAlertParamRec p;
  ASSERT_EQ(GetStandardAlertDefaultParams(&p, kStdCFStringAlertVersionOne), noErr);
  p.cancelText = kAlertDefaultCancelTextCF;
  CFStringRef error = CFStringCreateWithCString(nullptr, "Delete \u201cx\u201d?", kCFStringEncodingUTF8);
  DialogRef alert = nullptr;
  ASSERT_EQ(CreateStandardAlert(kAlertCautionAlert, error, nullptr, &p, &alert), noErr);
  CFRelease(error);
  HeadlessQueueAlertAnswer(kAlertStdAlertCancelButton);
  DialogItemIndex hit = 0;
  ASSERT_EQ(RunStandardAlert(alert, nullptr, &hit), noErr);
  EXPECT_EQ(hit, kAlertStdAlertCancelButton);
  EXPECT_EQ(HeadlessCopyAlertLog().back().error, "Delete \u201cx\u201d?");
  EXPECT_EQ(RunStandardAlert(alert, nullptr, &hit), paramErr) << "running disposes the alert";
  EXPECT_EQ(GetStandardAlertDefaultParams(&p, 2), paramErr);

  int beeps = HeadlessBeepCount();
  SysBeep(30);
  EXPECT_EQ(HeadlessBeepCount(), beeps + 1);
}

CFURLRef URL(const char* text) {
  CFStringRef s = CFStringCreateWithCString(nullptr, text, kCFStringEncodingUTF8);
  CFURLRef url = CFURLCreateWithString(nullptr, s, nullptr);
  CFRelease(s);
  return url;
}

TEST_F(AlertsTest, OpeningURLsIsRecordedNotLaunched) {
  CFURLRef page = URL("http://localhost/~me/index.php");
  CFURLRef launched = reinterpret_cast<CFURLRef>(1);
  ASSERT_EQ(LSOpenCFURLRef(page, &launched), noErr);
  EXPECT_EQ(launched, nullptr);

  CFURLRef app = URL("file:///usr/share/applications/browser.desktop");
  CFURLRef file = URL("file:///tmp/a%20b.html");
  const void* items[] = {page, file};
  CFArrayRef list = CFArrayCreate(nullptr, items, 2, &kCFTypeArrayCallBacks);
  LSLaunchURLSpec spec{app, list, nullptr, 0, nullptr};
  ASSERT_EQ(LSOpenFromURLSpec(&spec, &launched), noErr);
  EXPECT_TRUE(CFEqual(launched, app));
  CFRelease(launched);

  auto requests = HeadlessCopyLaunchRequests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(requests[0].application, "");
  EXPECT_EQ(requests[0].url, "http://localhost/~me/index.php");
  EXPECT_EQ(requests[1].application, "file:///usr/share/applications/browser.desktop");
  EXPECT_EQ(requests[2].url, "file:///tmp/a%20b.html");

  // Malformed requests are refused before anything is recorded.
  CFStringRef text = CFStringCreateWithCString(nullptr, "http://not.a.url/", kCFStringEncodingUTF8);
  const void* mixed[] = {page, text};
  CFArrayRef bad = CFArrayCreate(nullptr, mixed, 2, &kCFTypeArrayCallBacks);
  CFURLRef web = URL("http://example.invalid/app");
  const LSLaunchURLSpec refused[] = {
      {app, bad, nullptr, 0, nullptr},                        // an item that is no URL
      {nullptr, nullptr, nullptr, 0, nullptr},                // nothing to open
      {reinterpret_cast<CFURLRef>(text), list, nullptr, 0, nullptr},  // an application that is no URL
  };
  for (const auto& r : refused) EXPECT_EQ(LSOpenFromURLSpec(&r, nullptr), paramErr);
  LSLaunchURLSpec remote{web, list, nullptr, 0, nullptr};
  EXPECT_EQ(LSOpenFromURLSpec(&remote, nullptr), kLSApplicationNotFoundErr);
  EXPECT_EQ(LSOpenFromURLSpec(nullptr, nullptr), paramErr);
  EXPECT_EQ(LSOpenCFURLRef(nullptr, nullptr), paramErr);
  EXPECT_EQ(LSOpenCFURLRef(reinterpret_cast<CFURLRef>(text), nullptr), paramErr);
  EXPECT_EQ(HeadlessCopyLaunchRequests().size(), 3u);

  // The desktop path refuses applications it cannot start, launching nothing.
  CFURLRef missing = URL("file:///nonexistent/quorvel-test-app");
  CFURLRef folder = URL("file:///tmp/");
  std::string plainPath = std::string(g_get_tmp_dir()) + "/quorvel-not-executable.txt";
  ASSERT_TRUE(g_file_set_contents(plainPath.c_str(), "text", -1, nullptr));
  g_chmod(plainPath.c_str(), 0644);
  CFURLRef plain = CFURLCreateFromFileSystemRepresentation(
      nullptr, reinterpret_cast<const UInt8*>(plainPath.data()), CFIndex(plainPath.size()), false);
  CFURLRef entry = URL("file:///nonexistent/app.desktop");
  for (CFURLRef a : {missing, folder, plain, entry, web}) {
    EXPECT_EQ(LSOpenWithDesktop(a, {page}), kLSApplicationNotFoundErr);
    CFRelease(a);
  }
  CFRelease(bad);
  CFRelease(text);
  CFRelease(list);
  CFRelease(app);
  CFRelease(file);
  CFRelease(page);
}

}  // namespace
