// Navigation dialogs under the headless host: runs as application-modal
// dialogs and as sheets, the callbacks in order, replies of real files, the
// custom area, locations and what a preference key remembers.
#include <glib.h>
#include <glib/gstdio.h>
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "AppleEvents.h"
#include "CFRef.h"
#include "CFString.h"
#include "Files.h"
#include "HIView.h"
#include "HeadlessHost.h"
#include "MacWindows.h"
#include "Navigation.h"

namespace {

struct Heard {
  NavDialogRef dialog = nullptr;
  std::vector<std::string> log;
  std::vector<std::string> paths;  // the reply's items, at the user action
  std::string saveName;
  bool valid = false;
  bool replacing = false;
  OSStatus replyStatus = 0;
  int customWidth = 0, customHeight = 0;  // asked for in kNavCBCustomize
  HIViewRef customControl = nullptr;       // added in kNavCBStart
  bool disposeOnTerminate = true;
};

std::string PathOf(const FSRef& ref) {
  UInt8 path[4096];
  return FSRefMakePath(&ref, path, sizeof path) == noErr ? std::string(reinterpret_cast<char*>(path)) : "";
}

void Proc(NavEventCallbackMessage message, NavCBRecPtr record, void* data) {
  auto* h = static_cast<Heard*>(data);
  switch (message) {
    case kNavCBCustomize:
      h->log.push_back("customize");
      if (h->customWidth > 0) {
        record->customRect.right = SInt16(record->customRect.left + h->customWidth);
        record->customRect.bottom = SInt16(record->customRect.top + h->customHeight);
      }
      break;
    case kNavCBStart:
      h->log.push_back("start");
      if (h->customControl) EXPECT_EQ(noErr, NavCustomControl(record->context, kNavCtlAddControl, h->customControl));
      break;
    case kNavCBUserAction: {
      h->log.push_back("action " + std::to_string(NavDialogGetUserAction(record->context)));
      NavReplyRecord reply;
      h->replyStatus = NavDialogGetReply(record->context, &reply);
      if (h->replyStatus != noErr) break;
      h->valid = reply.validRecord;
      h->replacing = reply.replacing;
      long count = 0;
      AECountItems(&reply.selection, &count);
      for (long i = 1; i <= count; ++i) {
        FSRef ref{};
        if (AEGetNthPtr(&reply.selection, i, typeFSRef, nullptr, nullptr, &ref, sizeof ref, nullptr) == noErr)
          h->paths.push_back(PathOf(ref));
      }
      if (reply.saveFileName) {
        char name[256] = "";
        CFStringGetCString(reply.saveFileName, name, sizeof name, kCFStringEncodingUTF8);
        h->saveName = name;
      }
      EXPECT_EQ(reply.validRecord ? noErr : OSStatus(paramErr), NavCompleteSave(&reply, kNavTranslateInPlace));
      NavDisposeReply(&reply);
      break;
    }
    case kNavCBTerminate:
      h->log.push_back("terminate");
      if (h->disposeOnTerminate) NavDialogDispose(record->context);
      break;
  }
}

class NavigationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    HeadlessClearNavAnswers();
    HeadlessClearNavLog();
    char templ[] = "/tmp/qvnavXXXXXX";
    const char* made = g_mkdtemp(templ);
    ASSERT_NE(made, nullptr);
    dir_ = made;
    g_mkdir(Path("plain").c_str(), 0755);
    g_mkdir(Path("site.qvproj").c_str(), 0755);
    for (const char* name : {"a.php", "b.css"}) std::ofstream(Path(name)) << "x";
    NavGetDefaultDialogCreationOptions(&options_);
    options_.optionFlags = 0x11F4;
  }
  void TearDown() override {
    std::string command = "rm -rf '" + dir_ + "'";
    ASSERT_EQ(0, system(command.c_str()));
  }
  std::string Path(const std::string& name) const { return dir_ + "/" + name; }

  std::string dir_;
  NavDialogCreationOptions options_{};
};

TEST_F(NavigationTest, ModalOpenCallsBackInsideTheRunWithTheExistingDocumentsInOrder) {
  HeadlessQueueNavAnswer(
      {kNavUserActionOpen, {Path("b.css"), Path("plain"), Path("site.qvproj"), Path("gone.txt"), Path("a.php")}, ""});
  Heard h;
  options_.preferenceKey = 3;
  options_.windowTitle = CFStringMakeConstantUTF8("Open");
  ASSERT_EQ(noErr, NavCreateGetFileDialog(&options_, nullptr, Proc, nullptr, nullptr, &h, &h.dialog));
  ASSERT_EQ(noErr, NavDialogRun(h.dialog));
  EXPECT_EQ((std::vector<std::string>{"customize", "start", "action 2", "terminate"}), h.log);
  // A plain folder and a missing file are no documents; a project folder is.
  EXPECT_EQ((std::vector<std::string>{Path("b.css"), Path("site.qvproj"), Path("a.php")}), h.paths);
  EXPECT_TRUE(h.valid);
  auto log = HeadlessCopyNavLog();
  ASSERT_EQ(1u, log.size());
  EXPECT_EQ("getfile", log[0].kind);
  EXPECT_EQ("Open", log[0].title);
  EXPECT_EQ(kWindowModalityAppModal, log[0].modality);
  EXPECT_EQ(3u, log[0].preferenceKey);
  EXPECT_EQ(0x11F4u, log[0].optionFlags);
}

TEST_F(NavigationTest, EachKindTakesOnlyItsOwnAnswersAndItems) {
  struct Case {
    const char* what;
    NavUserAction queued;
    std::vector<std::string> items;
    NavUserAction heard;
    std::vector<std::string> paths;
    bool valid;
  };
  const std::vector<Case> cases = {
      {"getfile", kNavUserActionSaveAs, {"a.php"}, kNavUserActionCancel, {}, false},
      {"getfile single", kNavUserActionOpen, {"a.php", "b.css"}, kNavUserActionOpen, {"a.php"}, true},
      {"choosefile", kNavUserActionChoose, {"plain", "site.qvproj"}, kNavUserActionChoose, {"site.qvproj"}, true},
      {"choosefolder", kNavUserActionChoose, {"a.php", "plain"}, kNavUserActionChoose, {"plain"}, true},
      {"choosefolder", kNavUserActionChoose, {"a.php"}, kNavUserActionChoose, {}, false},
      {"asksavechanges", kNavUserActionDontSaveChanges, {}, kNavUserActionDontSaveChanges, {}, false},
      {"asksavechanges", kNavUserActionOpen, {}, kNavUserActionCancel, {}, false},
      {"askreview", kNavUserActionDiscardDocuments, {}, kNavUserActionDiscardDocuments, {}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<std::string> items;
    for (const auto& name : c.items) items.push_back(Path(name));
    HeadlessQueueNavAnswer({c.queued, items, ""});
    Heard h;
    NavDialogCreationOptions o = options_;
    const std::string what = c.what;
    OSStatus made = paramErr;
    if (what == "getfile") made = NavCreateGetFileDialog(&o, nullptr, Proc, nullptr, nullptr, &h, &h.dialog);
    if (what == "getfile single") {
      o.optionFlags &= ~kNavAllowMultipleFiles;
      made = NavCreateGetFileDialog(&o, nullptr, Proc, nullptr, nullptr, &h, &h.dialog);
    }
    if (what == "choosefile") made = NavCreateChooseFileDialog(&o, nullptr, Proc, nullptr, nullptr, &h, &h.dialog);
    if (what == "choosefolder") made = NavCreateChooseFolderDialog(&o, Proc, nullptr, &h, &h.dialog);
    if (what == "asksavechanges")
      made = NavCreateAskSaveChangesDialog(&o, kNavSaveChangesClosingDocument, Proc, &h, &h.dialog);
    if (what == "askreview") made = NavCreateAskReviewDocumentsDialog(&o, 2, Proc, &h, &h.dialog);
    ASSERT_EQ(noErr, made);
    ASSERT_EQ(noErr, NavDialogRun(h.dialog));
    ASSERT_EQ(4u, h.log.size());
    EXPECT_EQ("action " + std::to_string(c.heard), h.log[2]);
    std::vector<std::string> expected;
    for (const auto& name : c.paths) expected.push_back(Path(name));
    EXPECT_EQ(expected, h.paths);
    EXPECT_EQ(c.valid, h.valid);
    // The questions have no reply of files.
    if (what.rfind("ask", 0) == 0) EXPECT_EQ(kNavWrongDialogStateErr, h.replyStatus);
  }
}

TEST_F(NavigationTest, ASheetReturnsAtOnceAndAnswersFromTheLoop) {
  WindowRef parent = nullptr;
  Rect bounds{100, 100, 400, 500};
  ASSERT_EQ(noErr, CreateNewWindow(kDocumentWindowClass, kWindowStandardDocumentAttributes, &bounds, &parent));
  HeadlessQueueNavAnswer({kNavUserActionSaveChanges, {}, ""});
  Heard h;
  options_.parentWindow = parent;
  options_.modality = kWindowModalityWindowModal;
  options_.saveFileName = CFStringMakeConstantUTF8("index.php");
  ASSERT_EQ(noErr, NavCreateAskSaveChangesDialog(&options_, kNavSaveChangesClosingDocument, Proc, &h, &h.dialog));
  ASSERT_EQ(noErr, NavDialogRun(h.dialog));
  EXPECT_EQ((std::vector<std::string>{"customize", "start"}), h.log);
  EXPECT_EQ(kNavUserActionNone, NavDialogGetUserAction(h.dialog));
  RunCurrentEventLoop(0);
  EXPECT_EQ((std::vector<std::string>{"customize", "start", "action 6", "terminate"}), h.log);
  auto log = HeadlessCopyNavLog();
  ASSERT_EQ(1u, log.size());
  EXPECT_EQ(kWindowModalityWindowModal, log[0].modality);
  EXPECT_EQ(parent, log[0].parent);
  EXPECT_EQ("index.php", log[0].saveFileName);
  EXPECT_EQ(kNavSaveChangesClosingDocument, log[0].saveChangesAction);

  // A sheet disposed before it is answered is heard no more.
  Heard quiet;
  HeadlessQueueNavAnswer({kNavUserActionDontSaveChanges, {}, ""});
  ASSERT_EQ(noErr, NavCreateAskSaveChangesDialog(&options_, kNavSaveChangesClosingDocument, Proc, &quiet,
                                                 &quiet.dialog));
  ASSERT_EQ(noErr, NavDialogRun(quiet.dialog));
  EXPECT_EQ(kNavWrongDialogStateErr, NavDialogRun(quiet.dialog));
  NavDialogDispose(quiet.dialog);
  RunCurrentEventLoop(0);
  EXPECT_EQ((std::vector<std::string>{"customize", "start"}), quiet.log);
  DisposeWindow(parent);
}

TEST_F(NavigationTest, SaveRepliesTheFolderTheNameAndWhetherItReplaces) {
  struct Case {
    const char* name;
    bool replacing;
  };
  for (const Case& c : {Case{"a.php", true}, Case{"new.php", false}}) {
    SCOPED_TRACE(c.name);
    HeadlessQueueNavAnswer({kNavUserActionSaveAs, {dir_}, c.name});
    Heard h;
    ASSERT_EQ(noErr, NavCreatePutFileDialog(&options_, '????', '????', Proc, &h, &h.dialog));
    ASSERT_EQ(noErr, NavDialogRun(h.dialog));
    EXPECT_EQ((std::vector<std::string>{dir_}), h.paths);
    EXPECT_EQ(c.name, h.saveName);
    EXPECT_TRUE(h.valid);
    EXPECT_EQ(c.replacing, h.replacing);
  }
  // A save into a folder that is not there is no valid reply.
  HeadlessQueueNavAnswer({kNavUserActionSaveAs, {Path("nowhere")}, "x.php"});
  Heard h;
  ASSERT_EQ(noErr, NavCreatePutFileDialog(&options_, '????', '????', Proc, &h, &h.dialog));
  ASSERT_EQ(noErr, NavDialogRun(h.dialog));
  EXPECT_FALSE(h.valid);
  EXPECT_EQ("Save", HeadlessCopyNavLog().back().title);
}

TEST_F(NavigationTest, APreferenceKeyRemembersTheFolderUnlessALocationIsSet) {
  options_.preferenceKey = 10;
  auto run = [&](const std::string* location, OSStatus locationStatus) -> std::string {
    Heard h;
    NavDialogRef d = nullptr;
    EXPECT_EQ(noErr, NavCreateGetFileDialog(&options_, nullptr, Proc, nullptr, nullptr, &h, &d));
    if (location) {
      FSRef ref{};
      EXPECT_EQ(noErr, FSPathMakeRef(reinterpret_cast<const UInt8*>(location->c_str()), &ref, nullptr));
      AEDesc desc;
      AECreateDesc(typeFSRef, &ref, sizeof ref, &desc);
      EXPECT_EQ(locationStatus, NavCustomControl(d, kNavCtlSetLocation, &desc));
      AEDisposeDesc(&desc);
    }
    EXPECT_EQ(noErr, NavDialogRun(d));
    return HeadlessCopyNavLog().back().location;
  };
  HeadlessQueueNavAnswer({kNavUserActionOpen, {Path("plain")}, ""});  // no document: nothing remembered
  run(nullptr, noErr);
  HeadlessQueueNavAnswer({kNavUserActionOpen, {Path("a.php")}, ""});
  run(nullptr, noErr);
  EXPECT_EQ(dir_, run(nullptr, noErr));
  const std::string plain = Path("plain"), file = Path("a.php");
  EXPECT_EQ(plain, run(&plain, noErr));
  // A file is no location: the remembered folder stays.
  EXPECT_EQ(dir_, run(&file, kNavCustomControlMessageFailedErr));
  // Another key knows nothing of it.
  options_.preferenceKey = 2;
  EXPECT_EQ("", run(nullptr, noErr));
}

TEST_F(NavigationTest, TheCustomAreaMovesIntoTheDialogAndEndsWithIt) {
  WindowRef source = nullptr;
  Rect bounds{0, 0, 100, 300};
  ASSERT_EQ(noErr, CreateNewWindow(kDocumentWindowClass, 0, &bounds, &source));
  HIViewRef area = nullptr;
  Rect frame{10, 10, 40, 250};
  ASSERT_EQ(noErr, CreateUserPaneControl(source, &frame, 0, &area));
  std::vector<HIViewRef> removed;
  EventTypeSpec removing{kEventClassControl, kEventControlRemovingSubControl};
  auto onRemoving = [](EventHandlerCallRef, EventRef e, void* data) -> OSStatus {
    HIViewRef sub = nullptr;
    GetEventParameter(e, kEventParamControlSubControl, typeControlRef, nullptr, sizeof sub, nullptr, &sub);
    static_cast<std::vector<HIViewRef>*>(data)->push_back(sub);
    return eventNotHandledErr;
  };
  InstallEventHandler(HIViewGetEventTarget(HIViewGetRoot(source)), onRemoving, 1, &removing, &removed, nullptr);

  Heard h;
  h.customWidth = 200;
  h.customHeight = 20;
  h.customControl = area;
  h.disposeOnTerminate = false;
  ASSERT_EQ(noErr, NavCreateChooseFolderDialog(&options_, Proc, nullptr, &h, &h.dialog));
  ASSERT_EQ(noErr, NavDialogRun(h.dialog));
  EXPECT_EQ((std::vector<HIViewRef>{area}), removed);
  DisposeWindow(source);  // the area lives on in the dialog
  ASSERT_EQ(NavDialogGetWindow(h.dialog), HIViewGetWindow(area));
  auto log = HeadlessCopyNavLog();
  ASSERT_EQ(1u, log.size());
  EXPECT_EQ(area, log[0].customControl);
  // Enlarged to the area's own size where the callback asked for less.
  EXPECT_EQ(240, log[0].customSize.width);
  EXPECT_EQ(30, log[0].customSize.height);
  CFRetain(area);
  NavDialogDispose(h.dialog);
  EXPECT_EQ(nullptr, HIViewGetEventTarget(area));
  CFRelease(area);
}

}  // namespace
