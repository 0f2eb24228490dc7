#include "TTaskUnit.h"

#include <mutex>
#include <unordered_map>

#include "PascalCarbonCommon.h"

namespace {

// Who ends a started task. Kept outside the objects, so that deciding never
// reads an object that the other side may just have freed.
enum class TaskEnd {
  kRunning,    // Run has not returned and nobody asked it to stop
  kStopping,   // Stop asked and waits for the end; Stop releases
  kAbandoned,  // Stop asked but could not wait; the task releases itself
};

std::mutex gTasksLock;
std::unordered_map<const TTask*, TaskEnd>& Tasks() {
  static auto* tasks = new std::unordered_map<const TTask*, TaskEnd>;
  return *tasks;
}

// Called by the task when Run has returned or unwound: true when the task
// releases the object itself.
bool ClaimEnd(const TTask* task) {
  std::lock_guard<std::mutex> lock(gTasksLock);
  auto it = Tasks().find(task);
  if (it == Tasks().end()) return false;
  if (it->second == TaskEnd::kStopping) return false;
  Tasks().erase(it);
  return true;
}

}  // namespace

void TTask::Start() {
  fWeight = 0;
  const UInt32 weight = fWeight;
  Err = MPCreateQueue(&fTerminationQueue);
  {
    std::lock_guard<std::mutex> lock(gTasksLock);
    Tasks()[this] = TaskEnd::kRunning;
  }
  // From here on the task may run, end and free the object at any moment:
  // nothing below touches it unless the creation failed.
  Err = MPCreateTask(TTaskEntryCallback, this, 0, fTerminationQueue, this, this, 0, &fTask);
  if (Err != noErr) {
    std::lock_guard<std::mutex> lock(gTasksLock);
    Tasks().erase(this);
    return;
  }
  if (weight > 0) Err = MPSetTaskWeight(fTask, weight);
}

void TTask::Stop() {
  bool wait;
  {
    std::lock_guard<std::mutex> lock(gTasksLock);
    auto it = Tasks().find(this);
    if (it == Tasks().end() || it->second != TaskEnd::kRunning) return;  // ended, or already stopping
    wait = MPCurrentTaskID() != fTask && fRemoteThread.load() != std::this_thread::get_id();
    it->second = wait ? TaskEnd::kStopping : TaskEnd::kAbandoned;
  }
  Err = MPTerminateTask(fTask, 0);
  if (!wait) return;
  Err = MPWaitOnQueue(fTerminationQueue, nullptr, nullptr, nullptr, kDurationForever);
  Release();
}

void TTask::Run() {}

void TTask::CallRemote(SInt16 selector) {
  fRemoteSelector = selector;
  MPRemoteCall(TTaskRemoteProcedure, this, kMPOwningProcessRemoteContext);
}

void TTask::RemoteProcedure(SInt16 selector) {}

void TTask::Release() {
  {
    std::lock_guard<std::mutex> lock(gTasksLock);
    Tasks().erase(this);
  }
  Err = MPDeleteQueue(fTerminationQueue);
  Free();
}

OSStatus TTaskEntryCallback(void* parameter) {
  auto* task = static_cast<TTask*>(parameter);
  // Runs on a normal return and while a stopped task unwinds.
  struct EndGuard {
    TTask* task;
    ~EndGuard() {
      if (ClaimEnd(task)) task->Release();
    }
  } guard{task};
  task->Run();
  return noErr;
}

void* TTaskRemoteProcedure(void* parameter) {
  auto* task = static_cast<TTask*>(parameter);
  const std::thread::id outer = task->fRemoteThread.load();
  task->fRemoteThread.store(std::this_thread::get_id());
  task->RemoteProcedure(task->fRemoteSelector);
  task->fRemoteThread.store(outer);
  return nullptr;
}
