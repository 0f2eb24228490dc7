// Multiprocessing Services: preemptive tasks on threads, message queues, and
// remote calls that run a function on the main thread while the caller waits.
//
// Stopping a task is cooperative. Linux offers no safe way to end a thread
// from outside (a thread killed while it holds the allocator's or a CF lock
// would wedge the process), so MPTerminateTask only asks: the task ends at
// its next cancellation point. The cancellation points are:
//   - MPRemoteCall: a call made, or still waiting to start, after the stop was
//     asked is not run; a call whose function already runs on the main thread
//     is waited for. The task then ends there;
//   - MPWaitOnQueue on a task: the wait gives up and the task ends;
//   - MPExit, and a long computation that checks MPTaskShouldStop() itself
//     (it may also simply return).
// A task ends by unwinding its stack from the cancellation point (destructors
// run, the code after the point does not). Code that runs on a task must not
// swallow that unwinding with catch (...) without rethrowing.
//
// Remote calls are serviced by every run of the main event loop
// (RunApplicationEventLoop, RunCurrentEventLoop, nested and modal runs, and
// the headless clock's advance), and by the main thread while it waits in
// MPWaitOnQueue, so a main thread that waits for a task never deadlocks with
// a task that needs the main thread first.
#pragma once

#include "MacTypes.h"

typedef struct OpaqueMPTaskID* MPTaskID;
typedef struct OpaqueMPQueueID* MPQueueID;

typedef UInt32 MPTaskOptions;
typedef UInt32 MPTaskWeight;

// The task's entry point; its result is the task's termination status.
typedef OSStatus (*TaskProc)(void* parameter);
// A function run on the main thread by MPRemoteCall.
typedef void* (*MPRemoteProcedure)(void* parameter);

// Where a remote call runs. There is one process and no interrupt level
// here: every context is the main thread, inside its event loop.
typedef UInt8 MPRemoteContext;
enum : MPRemoteContext {
  kMPAnyRemoteContext = 0,
  kMPOwningProcessRemoteContext = 1,
  kMPInterruptRemoteContext = 2,
};

// Durations of waits: positive values are milliseconds, negative values
// microseconds; 0 does not wait.
enum : SInt32 {
  kDurationImmediate = 0,
  kDurationMillisecond = 1,
  kDurationMicrosecond = -1,
  kDurationForever = 0x7FFFFFFF,
};

enum : OSStatus {
  kMPInvalidIDErr = -29299,     // no live task or queue has this ID
  kMPTaskAbortedErr = -29297,   // the task ended by an error that escaped its entry point
  kMPDeletedErr = -29295,       // the queue was deleted while someone waited on it
  kMPTimeoutErr = -29296,       // the wait ran out of time
};

// --- Queues -------------------------------------------------------------------

OSStatus MPCreateQueue(MPQueueID* queue);
// Wakes every waiter with kMPDeletedErr; the ID is invalid afterwards. IDs
// are never reused.
OSStatus MPDeleteQueue(MPQueueID queue);
// Appends a message of three words (any thread).
OSStatus MPNotifyQueue(MPQueueID queue, void* param1, void* param2, void* param3);
// Takes the oldest message (nil out-parameters skip a word). Waits at most
// the duration (see above); kMPTimeoutErr when it ran out. On the main thread
// pending remote calls are run while waiting; on a task the wait is a
// cancellation point.
OSStatus MPWaitOnQueue(MPQueueID queue, void** param1, void** param2, void** param3, Duration timeout);

// --- Tasks --------------------------------------------------------------------

// Starts entryPoint(parameter) on a new thread. stackSize 0 takes the system's
// default. When the task has ended (its entry point returned, or it was
// stopped, or it called MPExit), the message (terminationParameter1,
// terminationParameter2, status) is sent to notifyQueue when one is given.
// The task's ID is stored in *task before the entry point starts.
OSStatus MPCreateTask(TaskProc entryPoint, void* parameter, ByteCount stackSize, MPQueueID notifyQueue,
                      void* terminationParameter1, void* terminationParameter2, MPTaskOptions options,
                      MPTaskID* task);
// Asks the task to stop (see the top of this file); the status becomes its
// termination status. Returns at once; wait on the notification queue for
// the end. kMPInvalidIDErr when the task has already ended.
OSStatus MPTerminateTask(MPTaskID task, OSStatus terminationStatus);
// Every thread of the process gets the same share of the processor here, so
// the weight is kept with the task but changes nothing.
OSStatus MPSetTaskWeight(MPTaskID task, MPTaskWeight weight);
// The calling task's ID; nil on a thread that MPCreateTask did not start
// (the main thread among them).
MPTaskID MPCurrentTaskID();
// True for the ID of a live task; with nil, true when the caller is a task.
Boolean MPTaskIsPreemptive(MPTaskID task);
// Gives up the rest of the time slice.
void MPYield();
// True on a task that has been asked to stop: a long computation checks it
// and returns (or calls MPExit). False on any other thread.
Boolean MPTaskShouldStop();
// Ends the calling task with the status, unwinding its stack. On a thread that
// is not a task it writes a diagnostic and returns.
void MPExit(OSStatus status);

// --- Remote calls ---------------------------------------------------------------

// Runs remoteProc(parameter) on the main thread and returns its result; the
// caller waits until it has run to its end. Called on the main thread it runs
// at once. On a task it is a cancellation point (see the top of this file).
void* MPRemoteCall(MPRemoteProcedure remoteProc, void* parameter, MPRemoteContext context);
