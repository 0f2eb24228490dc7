// The review-documents question headless: run as a sheet of its window it
// answers from the loop with Review, Discard or Cancel (anything else queued
// is a cancel), records the count and the client name, and may be disposed
// from inside its own answer.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CFString.h"
#include "HeadlessHost.h"
#include "MacWindows.h"
#include "Navigation.h"

namespace {

struct Heard {
  NavDialogRef dialog = nullptr;
  std::vector<std::string> log;
  bool disposeAtAction = false;
};

void Proc(NavEventCallbackMessage message, NavCBRecPtr record, void* data) {
  auto* h = static_cast<Heard*>(data);
  switch (message) {
    case kNavCBCustomize: h->log.push_back("customize"); break;
    case kNavCBStart: h->log.push_back("start"); break;
    case kNavCBUserAction: {
      h->log.push_back("action " + std::to_string(NavDialogGetUserAction(record->context)));
      NavReplyRecord reply;
      // The question has no files to reply with.
      EXPECT_EQ(kNavWrongDialogStateErr, NavDialogGetReply(record->context, &reply));
      if (h->disposeAtAction) NavDialogDispose(record->context);
      break;
    }
    case kNavCBTerminate:
      h->log.push_back("terminate");
      NavDialogDispose(record->context);
      break;
  }
}

class NavReviewTest : public testing::Test {
 protected:
  void SetUp() override {
    HeadlessClearNavAnswers();
    HeadlessClearNavLog();
    Rect bounds{100, 100, 400, 500};
    ASSERT_EQ(noErr, CreateNewWindow(kDocumentWindowClass, kWindowStandardDocumentAttributes, &bounds, &parent_));
    ShowWindow(parent_);
    NavGetDefaultDialogCreationOptions(&options_);
    options_.parentWindow = parent_;
    options_.modality = kWindowModalityWindowModal;
    options_.clientName = CFStringMakeConstantUTF8("Review");
  }
  void TearDown() override {
    DisposeWindow(parent_);
    HeadlessClearNavAnswers();
  }
  WindowRef parent_ = nullptr;
  NavDialogCreationOptions options_{};
};

TEST_F(NavReviewTest, ASheetAnswersFromTheLoopWithItsOwnActionsOnly) {
  struct Case {
    NavUserAction queued, heard;
  };
  const Case cases[] = {{kNavUserActionReviewDocuments, kNavUserActionReviewDocuments},
                        {kNavUserActionDiscardDocuments, kNavUserActionDiscardDocuments},
                        {kNavUserActionCancel, kNavUserActionCancel},
                        {kNavUserActionSaveChanges, kNavUserActionCancel},
                        {kNavUserActionOpen, kNavUserActionCancel}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.queued);
    HeadlessClearNavLog();
    HeadlessQueueNavAnswer({c.queued, {}, ""});
    Heard h;
    ASSERT_EQ(noErr, NavCreateAskReviewDocumentsDialog(&options_, 3, Proc, &h, &h.dialog));
    ASSERT_EQ(noErr, NavDialogRun(h.dialog));
    // A sheet: the run returns before the answer.
    EXPECT_EQ((std::vector<std::string>{"customize", "start"}), h.log);
    RunCurrentEventLoop(0);
    EXPECT_EQ((std::vector<std::string>{"customize", "start", "action " + std::to_string(c.heard), "terminate"}),
              h.log);
    const auto log = HeadlessCopyNavLog();
    ASSERT_EQ(1u, log.size());
    EXPECT_EQ("askreview", log[0].kind);
    EXPECT_EQ(3u, log[0].documentCount);
    EXPECT_EQ("Review", log[0].clientName);
    EXPECT_EQ(kWindowModalityWindowModal, log[0].modality);
    EXPECT_EQ(parent_, log[0].parent);
  }
}

TEST_F(NavReviewTest, DisposedInsideItsAnswerItHearsNothingMore) {
  HeadlessQueueNavAnswer({kNavUserActionDiscardDocuments, {}, ""});
  Heard h;
  h.disposeAtAction = true;
  ASSERT_EQ(noErr, NavCreateAskReviewDocumentsDialog(&options_, 2, Proc, &h, &h.dialog));
  ASSERT_EQ(noErr, NavDialogRun(h.dialog));
  RunCurrentEventLoop(0);
  RunCurrentEventLoop(0);
  EXPECT_EQ((std::vector<std::string>{"customize", "start", "action 10"}), h.log);
  EXPECT_EQ(paramErr, NavDialogRun(h.dialog));
}

TEST_F(NavReviewTest, NoDocumentsToReviewIsRefused) {
  Heard h;
  EXPECT_EQ(paramErr, NavCreateAskReviewDocumentsDialog(&options_, 0, Proc, &h, &h.dialog));
  EXPECT_EQ(nullptr, h.dialog);
  EXPECT_EQ(paramErr, NavCreateAskReviewDocumentsDialog(nullptr, 2, Proc, &h, &h.dialog));
  EXPECT_EQ(paramErr, NavCreateAskReviewDocumentsDialog(&options_, 2, Proc, &h, nullptr));
}

}  // namespace
