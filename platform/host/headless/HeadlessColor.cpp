// The headless host's colour picker: answers from a queue a test fills, and
// a log of every request.
#include <cstdio>
#include <deque>
#include <mutex>

#include "ColorPickerInternal.h"
#include "HeadlessHost.h"

namespace {

std::mutex gLock;
std::deque<HeadlessColorAnswer> gAnswers;
std::vector<HeadlessColorRecord> gLog;

}  // namespace

bool HeadlessPresentColor(const ColorRequest& request, RGBColor* chosen) {
  // With nothing queued the picker is cancelled: nothing changes unasked.
  HeadlessColorAnswer answer{false, request.input};
  {
    std::lock_guard<std::mutex> lock(gLock);
    if (!gAnswers.empty()) {
      answer = gAnswers.front();
      gAnswers.pop_front();
    }
    gLog.push_back(HeadlessColorRecord{request.prompt, request.input, answer.chosen, answer.color});
  }
  std::fprintf(stderr, "Colour picker \"%s\": %s\n", request.prompt.c_str(), answer.chosen ? "chosen" : "cancelled");
  if (answer.chosen) *chosen = answer.color;
  return answer.chosen;
}

void HeadlessQueueColorAnswer(const HeadlessColorAnswer& answer) {
  std::lock_guard<std::mutex> lock(gLock);
  gAnswers.push_back(answer);
}

void HeadlessClearColorAnswers() {
  std::lock_guard<std::mutex> lock(gLock);
  gAnswers.clear();
}

std::vector<HeadlessColorRecord> HeadlessCopyColorLog() {
  std::lock_guard<std::mutex> lock(gLock);
  return gLog;
}

void HeadlessClearColorLog() {
  std::lock_guard<std::mutex> lock(gLock);
  gLog.clear();
}
