// Multiprocessing Services on POSIX threads.
//
// One lock guards every task, queue and remote call, and one condition
// variable announces every change: there are few tasks and the hand-overs are
// rare, so simplicity wins over finer locking. IDs are counters, never
// addresses, so a stale ID is refused instead of reaching a new object.
//
// A task ends early by throwing TaskExit from a cancellation point; its
// thread's start routine catches it. Remote calls wait in a list that a GLib
// source on the default main context drains, so every run of the event loop
// (nested ones included: the source may recurse) services them.
#include "Multiprocessing.h"

#include <cxxabi.h>
#include <glib.h>
#include <pthread.h>
#include <sched.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <exception>
#include <limits.h>
#include <memory>
#include <mutex>
#include <unordered_map>

#include "EventTargetInternal.h"

struct OpaqueMPTaskID {};
struct OpaqueMPQueueID {};

namespace {

using Clock = std::chrono::steady_clock;

struct TaskExit {
  OSStatus status;
};

struct Queue {
  std::deque<std::array<void*, 3>> messages;
  bool deleted = false;
};

struct Task {
  uintptr_t id = 0;
  TaskProc entry = nullptr;
  void* parameter = nullptr;
  uintptr_t notifyQueue = 0;
  void* termination1 = nullptr;
  void* termination2 = nullptr;
  bool stop = false;  // guarded by gLock
  OSStatus stopStatus = noErr;
  MPTaskWeight weight = 0;
};

struct RemoteCall {
  enum State { kPending, kRunning, kDone };
  MPRemoteProcedure proc;
  void* parameter;
  Task* caller;  // set when the caller is a task that may still be cancelled here
  void* result = nullptr;
  State state = kPending;
};

// Never destroyed: a task thread may still be finishing (deleting its queue,
// ending) while the process runs its exit-time destructors.
std::mutex& gLock = *new std::mutex;
std::condition_variable& gChanged = *new std::condition_variable;
uintptr_t gNextID = 1;
std::unordered_map<uintptr_t, std::shared_ptr<Queue>>& gQueues =
    *new std::unordered_map<uintptr_t, std::shared_ptr<Queue>>;
std::unordered_map<uintptr_t, std::shared_ptr<Task>>& gTasks =
    *new std::unordered_map<uintptr_t, std::shared_ptr<Task>>;
std::deque<RemoteCall*>& gCalls = *new std::deque<RemoteCall*>;  // waiting to start, oldest first

thread_local Task* tCurrent = nullptr;

uintptr_t IDOf(const void* ref) { return reinterpret_cast<uintptr_t>(ref); }

std::shared_ptr<Queue> FindQueue(MPQueueID queue) {
  auto it = gQueues.find(IDOf(queue));
  return it == gQueues.end() ? nullptr : it->second;
}

// A task may be cut short here unless it is already unwinding (a second
// exception during unwinding would end the process).
bool MayCancel(Task* self) { return self != nullptr && std::uncaught_exceptions() == 0; }

// The oldest waiting call that may run. A call whose task was asked to stop
// is left alone: its task takes it back and ends (the lock makes the choice
// between the two atomic).
std::deque<RemoteCall*>::iterator NextRunnable() {
  return std::find_if(gCalls.begin(), gCalls.end(),
                      [](RemoteCall* c) { return c->caller == nullptr || !c->caller->stop; });
}

bool HasRunnable() { return NextRunnable() != gCalls.end(); }

// Runs the oldest runnable remote call on the main thread; the lock is held
// on entry and on return, and released while the function runs.
void RunOneCall(std::unique_lock<std::mutex>& lock) {
  auto it = NextRunnable();
  if (it == gCalls.end()) return;
  RemoteCall* call = *it;
  gCalls.erase(it);
  call->state = RemoteCall::kRunning;
  lock.unlock();
  void* result = nullptr;
  try {
    result = call->proc(call->parameter);
  } catch (abi::__forced_unwind&) {
    throw;
  } catch (...) {
    // An exception must not cross the event loop's C frames.
    std::fprintf(stderr, "Quorvel: a remote call ended with an exception\n");
  }
  lock.lock();
  call->result = result;
  call->state = RemoteCall::kDone;  // the caller may free the record from here on
  gChanged.notify_all();
}

void ServicePendingCalls() {
  std::unique_lock<std::mutex> lock(gLock);
  while (HasRunnable()) RunOneCall(lock);
}

bool CallsPending() {
  std::lock_guard<std::mutex> lock(gLock);
  return HasRunnable();
}

gboolean SourcePrepare(GSource*, gint* timeout) {
  *timeout = -1;
  return CallsPending();
}
gboolean SourceCheck(GSource*) { return CallsPending(); }
gboolean SourceDispatch(GSource*, GSourceFunc, gpointer) {
  ServicePendingCalls();
  return G_SOURCE_CONTINUE;
}

GSourceFuncs gSourceFuncs = {SourcePrepare, SourceCheck, SourceDispatch, nullptr, nullptr, nullptr};
std::once_flag gSourceOnce;

void EnsureSource() {
  std::call_once(gSourceOnce, [] {
    GSource* source = g_source_new(&gSourceFuncs, sizeof(GSource));
    g_source_set_can_recurse(source, TRUE);  // a remote call may run a nested loop
    g_source_set_priority(source, G_PRIORITY_DEFAULT);
    g_source_set_name(source, "Quorvel remote calls");
    g_source_attach(source, g_main_context_default());
  });
}

void* TaskMain(void* arg) {
  std::shared_ptr<Task> task = std::move(*static_cast<std::shared_ptr<Task>*>(arg));
  delete static_cast<std::shared_ptr<Task>*>(arg);
  tCurrent = task.get();
  OSStatus status = noErr;
  try {
    status = task->entry(task->parameter);
  } catch (const TaskExit& exit) {
    status = exit.status;
  } catch (abi::__forced_unwind&) {
    throw;
  } catch (...) {
    std::fprintf(stderr, "Quorvel: a task ended with an exception\n");
    status = kMPTaskAbortedErr;
  }
  tCurrent = nullptr;
  std::lock_guard<std::mutex> lock(gLock);
  if (task->stop) status = task->stopStatus;
  gTasks.erase(task->id);
  if (task->notifyQueue != 0) {
    auto it = gQueues.find(task->notifyQueue);
    if (it != gQueues.end())
      it->second->messages.push_back({task->termination1, task->termination2,
                                      reinterpret_cast<void*>(static_cast<intptr_t>(status))});
  }
  gChanged.notify_all();
  return nullptr;
}

// The absolute end of a wait of the given duration; nothing for "forever".
bool Deadline(Duration timeout, Clock::time_point* end) {
  if (timeout >= double(kDurationForever)) return false;
  auto now = Clock::now();
  if (!(timeout == timeout) || timeout == 0) {  // NaN waits no more than 0
    *end = now;
  } else if (timeout > 0) {
    *end = now + std::chrono::microseconds(int64_t(timeout * 1000.0));
  } else {
    double us = -timeout;
    *end = now + std::chrono::microseconds(us > 1e15 ? int64_t(1e15) : int64_t(us));
  }
  return true;
}

}  // namespace

// --- Queues ---------------------------------------------------------------------

OSStatus MPCreateQueue(MPQueueID* queue) {
  if (queue == nullptr) return paramErr;
  std::lock_guard<std::mutex> lock(gLock);
  uintptr_t id = gNextID++;
  gQueues.emplace(id, std::make_shared<Queue>());
  *queue = reinterpret_cast<MPQueueID>(id);
  return noErr;
}

OSStatus MPDeleteQueue(MPQueueID queue) {
  std::lock_guard<std::mutex> lock(gLock);
  auto it = gQueues.find(IDOf(queue));
  if (it == gQueues.end()) return kMPInvalidIDErr;
  it->second->deleted = true;
  gQueues.erase(it);
  gChanged.notify_all();
  return noErr;
}

OSStatus MPNotifyQueue(MPQueueID queue, void* param1, void* param2, void* param3) {
  std::lock_guard<std::mutex> lock(gLock);
  auto q = FindQueue(queue);
  if (q == nullptr) return kMPInvalidIDErr;
  q->messages.push_back({param1, param2, param3});
  gChanged.notify_all();
  return noErr;
}

OSStatus MPWaitOnQueue(MPQueueID queue, void** param1, void** param2, void** param3, Duration timeout) {
  Clock::time_point end;
  const bool bounded = Deadline(timeout, &end);
  const bool onMain = EventCoreOnMainThread();
  Task* self = tCurrent;
  std::unique_lock<std::mutex> lock(gLock);
  auto q = FindQueue(queue);
  if (q == nullptr) return kMPInvalidIDErr;
  for (;;) {
    if (!q->messages.empty()) {
      auto m = q->messages.front();
      q->messages.pop_front();
      if (param1) *param1 = m[0];
      if (param2) *param2 = m[1];
      if (param3) *param3 = m[2];
      return noErr;
    }
    if (q->deleted) return kMPDeletedErr;
    if (MayCancel(self) && self->stop) {
      OSStatus status = self->stopStatus;
      lock.unlock();
      throw TaskExit{status};
    }
    if (onMain && HasRunnable()) {
      RunOneCall(lock);
      continue;
    }
    if (!bounded) {
      gChanged.wait(lock);
    } else {
      if (Clock::now() >= end) return kMPTimeoutErr;
      gChanged.wait_until(lock, end);
    }
  }
}

// --- Tasks ------------------------------------------------------------------------

OSStatus MPCreateTask(TaskProc entryPoint, void* parameter, ByteCount stackSize, MPQueueID notifyQueue,
                      void* terminationParameter1, void* terminationParameter2, MPTaskOptions options,
                      MPTaskID* task) {
  if (task) *task = nullptr;
  if (entryPoint == nullptr) return paramErr;
  auto record = std::make_shared<Task>();
  record->entry = entryPoint;
  record->parameter = parameter;
  record->termination1 = terminationParameter1;
  record->termination2 = terminationParameter2;
  {
    std::lock_guard<std::mutex> lock(gLock);
    if (notifyQueue != nullptr) {
      if (FindQueue(notifyQueue) == nullptr) return kMPInvalidIDErr;
      record->notifyQueue = IDOf(notifyQueue);
    }
    record->id = gNextID++;
    gTasks.emplace(record->id, record);
  }
  if (task) *task = reinterpret_cast<MPTaskID>(record->id);

  pthread_attr_t attr;
  pthread_attr_init(&attr);
  pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED);
  if (stackSize > 0) {
    size_t page = size_t(sysconf(_SC_PAGESIZE));
    size_t size = std::max<size_t>(stackSize, PTHREAD_STACK_MIN);
    size = (size + page - 1) / page * page;
    pthread_attr_setstacksize(&attr, size);
  }
  auto* arg = new std::shared_ptr<Task>(record);
  pthread_t thread;
  int rc = pthread_create(&thread, &attr, TaskMain, arg);
  pthread_attr_destroy(&attr);
  if (rc != 0) {
    delete arg;
    std::lock_guard<std::mutex> lock(gLock);
    gTasks.erase(record->id);
    if (task) *task = nullptr;
    return memFullErr;
  }
  return noErr;
}

OSStatus MPTerminateTask(MPTaskID task, OSStatus terminationStatus) {
  std::lock_guard<std::mutex> lock(gLock);
  auto it = gTasks.find(IDOf(task));
  if (it == gTasks.end()) return kMPInvalidIDErr;
  if (!it->second->stop) {
    it->second->stop = true;
    it->second->stopStatus = terminationStatus;
  }
  gChanged.notify_all();
  return noErr;
}

OSStatus MPSetTaskWeight(MPTaskID task, MPTaskWeight weight) {
  std::lock_guard<std::mutex> lock(gLock);
  auto it = gTasks.find(IDOf(task));
  if (it == gTasks.end()) return kMPInvalidIDErr;
  it->second->weight = weight;
  return noErr;
}

MPTaskID MPCurrentTaskID() { return tCurrent ? reinterpret_cast<MPTaskID>(tCurrent->id) : nullptr; }

Boolean MPTaskIsPreemptive(MPTaskID task) {
  if (task == nullptr) return tCurrent != nullptr;
  std::lock_guard<std::mutex> lock(gLock);
  return gTasks.count(IDOf(task)) != 0;
}

void MPYield() { sched_yield(); }

Boolean MPTaskShouldStop() {
  if (tCurrent == nullptr) return false;
  std::lock_guard<std::mutex> lock(gLock);
  return tCurrent->stop;
}

void MPExit(OSStatus status) {
  if (tCurrent == nullptr) {
    std::fprintf(stderr, "Quorvel: MPExit called outside a task; ignored\n");
    return;
  }
  if (std::uncaught_exceptions() != 0) return;  // the task is already ending
  throw TaskExit{status};
}

// --- Remote calls -------------------------------------------------------------------

void* MPRemoteCall(MPRemoteProcedure remoteProc, void* parameter, MPRemoteContext context) {
  if (remoteProc == nullptr) return nullptr;
  if (EventCoreOnMainThread()) return remoteProc(parameter);
  EnsureSource();
  Task* self = tCurrent;
  const bool mayCancel = MayCancel(self);
  RemoteCall call{remoteProc, parameter, mayCancel ? self : nullptr};
  std::unique_lock<std::mutex> lock(gLock);
  if (mayCancel && self->stop) {
    OSStatus status = self->stopStatus;
    lock.unlock();
    throw TaskExit{status};
  }
  gCalls.push_back(&call);
  gChanged.notify_all();  // a main thread waiting in MPWaitOnQueue runs it
  g_main_context_wakeup(g_main_context_default());
  while (call.state != RemoteCall::kDone) {
    if (mayCancel && self->stop && call.state == RemoteCall::kPending) {
      gCalls.erase(std::find(gCalls.begin(), gCalls.end(), &call));
      OSStatus status = self->stopStatus;
      lock.unlock();
      throw TaskExit{status};
    }
    gChanged.wait(lock);
  }
  if (mayCancel && self->stop) {
    OSStatus status = self->stopStatus;
    lock.unlock();
    throw TaskExit{status};
  }
  return call.result;
}
