// The headless host's side of the event core: scripted alert answers with a
// log of the alerts shown, counted beeps, recorded launch requests, and the
// virtual clock's controls.
#include <cstdio>
#include <deque>
#include <mutex>
#include <vector>

#include "EventsInternal.h"
#include "HeadlessHost.h"
#include "HeadlessInternal.h"

namespace {

std::mutex gLock;  // the records may be read from a test's worker thread
std::deque<SInt16> gAnswers;
std::vector<HeadlessAlertRecord> gAlertLog;
std::vector<HeadlessLaunchRequest> gLaunches;
int gBeeps = 0;

const char* KindName(AlertType kind) {
  switch (kind) {
    case kAlertStopAlert: return "stop";
    case kAlertNoteAlert: return "note";
    case kAlertCautionAlert: return "caution";
    case kAlertPlainAlert: return "plain";
  }
  return "plain";
}

bool HasButton(const AlertRequest& r, SInt16 item) {
  switch (item) {
    case kAlertStdAlertOKButton: return !r.okText.empty();
    case kAlertStdAlertCancelButton: return !r.cancelText.empty();
    case kAlertStdAlertOtherButton: return !r.otherText.empty();
    case kAlertStdAlertHelpButton: return r.helpButton;
  }
  return false;
}

}  // namespace

SInt16 HeadlessPresentAlert(const AlertRequest& request) {
  std::fprintf(stderr, "Alert (%s): %s\n", KindName(request.kind), request.error.c_str());
  if (!request.explanation.empty()) std::fprintf(stderr, "  %s\n", request.explanation.c_str());

  std::lock_guard<std::mutex> lock(gLock);
  SInt16 answer = request.defaultButton;
  if (!gAnswers.empty()) {
    SInt16 queued = gAnswers.front();
    gAnswers.pop_front();
    if (HasButton(request, queued))
      answer = queued;
    else
      std::fprintf(stderr, "  (queued answer %d names no button of this alert; default taken)\n", queued);
  }
  gAlertLog.push_back(HeadlessAlertRecord{request.kind, request.error, request.explanation, request.okText,
                                          request.cancelText, request.otherText, request.helpButton,
                                          request.defaultButton, request.cancelButton, answer});
  return answer;
}

void HeadlessBeep() {
  std::lock_guard<std::mutex> lock(gLock);
  ++gBeeps;
}

void HeadlessRecordLaunch(const std::string& application, const std::string& url) {
  std::fprintf(stderr, "Open %s%s%s\n", url.c_str(), application.empty() ? "" : " with ", application.c_str());
  std::lock_guard<std::mutex> lock(gLock);
  gLaunches.push_back(HeadlessLaunchRequest{application, url});
}

void HeadlessUseVirtualClock(bool on) { PlatformClockSetVirtual(on); }
bool HeadlessUsingVirtualClock() { return PlatformClockIsVirtual(); }
void HeadlessAdvanceClock(EventTime seconds) { PlatformClockAdvanceBy(seconds); }

void HeadlessQueueAlertAnswer(SInt16 itemHit) {
  std::lock_guard<std::mutex> lock(gLock);
  gAnswers.push_back(itemHit);
}

void HeadlessClearAlertAnswers() {
  std::lock_guard<std::mutex> lock(gLock);
  gAnswers.clear();
}

std::vector<HeadlessAlertRecord> HeadlessCopyAlertLog() {
  std::lock_guard<std::mutex> lock(gLock);
  return gAlertLog;
}

void HeadlessClearAlertLog() {
  std::lock_guard<std::mutex> lock(gLock);
  gAlertLog.clear();
}

int HeadlessBeepCount() {
  std::lock_guard<std::mutex> lock(gLock);
  return gBeeps;
}

std::vector<HeadlessLaunchRequest> HeadlessCopyLaunchRequests() {
  std::lock_guard<std::mutex> lock(gLock);
  return gLaunches;
}

void HeadlessClearLaunchRequests() {
  std::lock_guard<std::mutex> lock(gLock);
  gLaunches.clear();
}
