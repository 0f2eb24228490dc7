// The headless host's font panel: picks from a queue a test fills, given from
// the event loop after the panel is shown, picks made directly by a test, and
// a log of what the panel showed.
#include <cstdio>
#include <deque>
#include <mutex>

#include "FontPanelInternal.h"
#include "HeadlessHost.h"

namespace {

std::mutex gLock;
std::deque<HeadlessFontAnswer> gAnswers;
std::vector<HeadlessFontRecord> gLog;
EventLoopTimerRef gTimer = nullptr;

void StopTimer() {
  if (gTimer) RemoveEventLoopTimer(gTimer);
  gTimer = nullptr;
}

void GiveAnswers(EventLoopTimerRef, void*) {
  StopTimer();
  for (;;) {
    HeadlessFontAnswer answer;
    {
      std::lock_guard<std::mutex> lock(gLock);
      if (gAnswers.empty()) return;
      answer = gAnswers.front();
      gAnswers.pop_front();
    }
    if (!FPIsFontPanelVisible()) return;
    if (!answer.family.empty()) FontPanelUserSelected(answer.family, answer.style, answer.size);
    if (answer.close || answer.family.empty()) {
      FontPanelUserClosed();
      return;
    }
  }
}

void Log(const FontPanelRequest& request, bool update) {
  std::lock_guard<std::mutex> lock(gLock);
  gLog.push_back(HeadlessFontRecord{request.family, request.style, request.size, update});
}

void Show(const FontPanelRequest& request) {
  Log(request, false);
  std::fprintf(stderr, "Font panel shown with \"%s\" %d pt\n", request.family.c_str(), int(request.size));
  bool queued = false;
  {
    std::lock_guard<std::mutex> lock(gLock);
    queued = !gAnswers.empty();
  }
  StopTimer();
  if (queued) InstallEventLoopTimer(GetMainEventLoop(), 0, 0, GiveAnswers, nullptr, &gTimer);
}

void Hide() { StopTimer(); }

void Update(const FontPanelRequest& request) { Log(request, true); }

}  // namespace

const FontPanelPresenter kHeadlessFontPanelPresenter = {Show, Hide, Update};

void HeadlessQueueFontAnswer(const HeadlessFontAnswer& answer) {
  std::lock_guard<std::mutex> lock(gLock);
  gAnswers.push_back(answer);
}

void HeadlessClearFontAnswers() {
  std::lock_guard<std::mutex> lock(gLock);
  gAnswers.clear();
}

std::vector<HeadlessFontRecord> HeadlessCopyFontLog() {
  std::lock_guard<std::mutex> lock(gLock);
  return gLog;
}

void HeadlessClearFontLog() {
  std::lock_guard<std::mutex> lock(gLock);
  gLog.clear();
}

bool HeadlessFontPanelChoose(const std::string& family, SInt16 style, SInt16 size) {
  if (!FPIsFontPanelVisible()) return false;
  FontPanelUserSelected(family, style, size);
  return true;
}

bool HeadlessFontPanelClose() {
  if (!FPIsFontPanelVisible()) return false;
  StopTimer();
  FontPanelUserClosed();
  return true;
}
