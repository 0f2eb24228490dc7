// The headless host's navigation dialogs: answers from a queue a test fills,
// a log of every dialog run, sheets answered from the event loop.
#include <cstdio>
#include <deque>
#include <mutex>
#include <unordered_map>

#include "HeadlessHost.h"
#include "NavigationInternal.h"

namespace {

std::mutex gLock;
std::deque<HeadlessNavAnswer> gAnswers;
std::vector<HeadlessNavRecord> gLog;

struct PendingSheet {
  EventLoopTimerRef timer = nullptr;
  NavAnswer answer;
};
std::unordered_map<NavDialogRef, PendingSheet>& Pending() {
  static auto* m = new std::unordered_map<NavDialogRef, PendingSheet>;
  return *m;
}

// Takes the next scripted answer and logs the dialog with it.
NavAnswer Answer(const NavRequest& r) {
  NavAnswer answer;
  {
    std::lock_guard<std::mutex> lock(gLock);
    if (!gAnswers.empty()) {
      const HeadlessNavAnswer& a = gAnswers.front();
      answer.action = a.action;
      answer.paths = a.paths;
      answer.saveName = a.saveName;
      gAnswers.pop_front();
    }
    if (!NavKindOffers(r.kind, answer.action)) {
      std::fprintf(stderr, "  (queued navigation answer %u is not offered by a %s dialog; cancelled)\n",
                   unsigned(answer.action), NavKindName(r.kind));
      answer.action = kNavUserActionCancel;
    }
    gLog.push_back(HeadlessNavRecord{NavKindName(r.kind), r.title, r.clientName, r.saveFileName, r.location,
                                     r.preferenceKey, r.optionFlags, r.modality, r.parent, r.documentCount,
                                     r.saveChangesAction, r.customControl, r.customSize, answer.action});
  }
  std::fprintf(stderr, "Navigation dialog (%s) \"%s\": answer %u\n", NavKindName(r.kind), r.title.c_str(),
               unsigned(answer.action));
  return answer;
}

void RunModal(const NavRequest& request, NavAnswer* answer) { *answer = Answer(request); }

void FireSheet(EventLoopTimerRef, void* data) {
  auto dialog = static_cast<NavDialogRef>(data);
  auto it = Pending().find(dialog);
  if (it == Pending().end()) return;
  RemoveEventLoopTimer(it->second.timer);
  NavAnswer answer = it->second.answer;
  Pending().erase(it);
  NavDialogAnswered(dialog, answer);
}

bool ShowSheet(const NavRequest& request) {
  PendingSheet sheet;
  sheet.answer = Answer(request);
  if (InstallEventLoopTimer(GetMainEventLoop(), 0, 0, FireSheet, request.dialog, &sheet.timer) != noErr) return false;
  Pending()[request.dialog] = sheet;
  return true;
}

void Dismiss(NavDialogRef dialog) {
  auto it = Pending().find(dialog);
  if (it == Pending().end()) return;
  RemoveEventLoopTimer(it->second.timer);
  Pending().erase(it);
}

}  // namespace

const NavPresenter kHeadlessNavPresenter = {RunModal, ShowSheet, Dismiss};

void HeadlessQueueNavAnswer(const HeadlessNavAnswer& answer) {
  std::lock_guard<std::mutex> lock(gLock);
  gAnswers.push_back(answer);
}

void HeadlessClearNavAnswers() {
  std::lock_guard<std::mutex> lock(gLock);
  gAnswers.clear();
}

std::vector<HeadlessNavRecord> HeadlessCopyNavLog() {
  std::lock_guard<std::mutex> lock(gLock);
  return gLog;
}

void HeadlessClearNavLog() {
  std::lock_guard<std::mutex> lock(gLock);
  gLog.clear();
}
