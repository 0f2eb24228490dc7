// TTask: work off the main thread. A subclass overrides Run, the creator
// calls Start, and Run runs on a task of its own; when Run returns the object
// releases itself. Work that belongs to the main thread goes through
// CallRemote, which runs RemoteProcedure there while the task waits.
//
// Ending a task early (Stop) is cooperative: the task ends at its next
// cancellation point, that is a CallRemote (which then does not run), a
// wait on a queue, or a check of MPTaskShouldStop() that a long Run makes
// itself (see Multiprocessing.h). Run's code after that point does not run.
//
// Whoever ends the task releases the object, exactly once: the task itself
// after a normal end, Stop after a stop. The two never race: whichever comes
// first decides, and a Stop that comes after Run has returned does nothing.
// Stop called from the task's own Run, or from its RemoteProcedure on the
// main thread, cannot wait for the end (the end waits for the caller): it
// only asks, and the task releases itself when it has ended.
//
// When Start fails (Err is not noErr afterwards) Run never runs and the
// creator releases the object.
#pragma once

#include <atomic>
#include <thread>

#include "MacTypes.h"
#include "Multiprocessing.h"
#include "TObjectUnit.h"

class TTask : public TObject {
 public:
  virtual void Start();
  // Stops the task, waits for its end and releases the object (see above).
  virtual void Stop();
  virtual void Run();
  // On the task: runs RemoteProcedure(selector) on the main thread and waits.
  virtual void CallRemote(SInt16 selector);
  virtual void RemoteProcedure(SInt16 selector);
  virtual void Release();

  MPTaskID fTask = nullptr;
  UInt32 fWeight = 0;
  MPQueueID fTerminationQueue = nullptr;
  SInt16 fRemoteSelector = 0;

 private:
  friend void* TTaskRemoteProcedure(void* parameter);
  // The thread that runs this task's RemoteProcedure right now, if any.
  std::atomic<std::thread::id> fRemoteThread{};
};

OSStatus TTaskEntryCallback(void* parameter);
void* TTaskRemoteProcedure(void* parameter);
