// Byte streams with clients: file streams here, FTP streams in CFFTPStream.h.
//
// A stream scheduled on the run loop tells its client of the events the
// client asked for, always from the run loop and never from inside a read or
// a write: opened, bytes available (read streams), can accept bytes (write
// streams), an error, and the end. A stream tells the end or an error once,
// and nothing after that. Close, or setting no client, stops every event.
#pragma once

#include "CFBase.h"
#include "CFRunLoop.h"
#include "CFURL.h"

typedef struct __CFReadStream* CFReadStreamRef;
typedef struct __CFWriteStream* CFWriteStreamRef;

typedef CFOptionFlags CFStreamEventType;
enum : CFOptionFlags {
  kCFStreamEventNone = 0,
  kCFStreamEventOpenCompleted = 1,
  kCFStreamEventHasBytesAvailable = 2,
  kCFStreamEventCanAcceptBytes = 4,
  kCFStreamEventErrorOccurred = 8,
  kCFStreamEventEndEncountered = 16,
};

typedef CFIndex CFStreamStatus;
enum : CFIndex {
  kCFStreamStatusNotOpen = 0,
  kCFStreamStatusOpening = 1,
  kCFStreamStatusOpen = 2,
  kCFStreamStatusReading = 3,
  kCFStreamStatusWriting = 4,
  kCFStreamStatusAtEnd = 5,
  kCFStreamStatusClosed = 6,
  kCFStreamStatusError = 7,
};

typedef CFIndex CFStreamErrorDomain;
enum : CFIndex {
  kCFStreamErrorDomainCustom = -1,
  kCFStreamErrorDomainPOSIX = 1,  // the error is a BSD errno number (ECONNREFUSED is 61)
  kCFStreamErrorDomainMacOSStatus = 2,
};

struct CFStreamError {
  CFIndex domain;
  SInt32 error;
};

struct CFStreamClientContext {
  CFIndex version;
  void* info;
  void* (*retain)(void* info);
  void (*release)(void* info);
  CFStringRef (*copyDescription)(void* info);
};

typedef void (*CFReadStreamClientCallBack)(CFReadStreamRef stream, CFStreamEventType type, void* clientCallBackInfo);
typedef void (*CFWriteStreamClientCallBack)(CFWriteStreamRef stream, CFStreamEventType type, void* clientCallBackInfo);

CFTypeID CFReadStreamGetTypeID();
CFTypeID CFWriteStreamGetTypeID();

// File streams on a file URL. The write stream creates the file (or empties
// it) when it opens; its file gets the permissions of the process's umask.
CFReadStreamRef CFReadStreamCreateWithFile(CFAllocatorRef alloc, CFURLRef fileURL);
CFWriteStreamRef CFWriteStreamCreateWithFile(CFAllocatorRef alloc, CFURLRef fileURL);

Boolean CFReadStreamOpen(CFReadStreamRef stream);
void CFReadStreamClose(CFReadStreamRef stream);
CFStreamStatus CFReadStreamGetStatus(CFReadStreamRef stream);
CFStreamError CFReadStreamGetError(CFReadStreamRef stream);
Boolean CFReadStreamHasBytesAvailable(CFReadStreamRef stream);
// The count read; 0 at the end, -1 on an error. A scheduled stream that has
// nothing yet answers 0 without waiting (its client is told when bytes come).
CFIndex CFReadStreamRead(CFReadStreamRef stream, UInt8* buffer, CFIndex bufferLength);
CFTypeRef CFReadStreamCopyProperty(CFReadStreamRef stream, CFStringRef propertyName);
Boolean CFReadStreamSetProperty(CFReadStreamRef stream, CFStringRef propertyName, CFTypeRef propertyValue);
// A nil callback (or no events) removes the client. The context is copied;
// its retain and release are called on its info.
Boolean CFReadStreamSetClient(CFReadStreamRef stream, CFOptionFlags streamEvents, CFReadStreamClientCallBack clientCB,
                              CFStreamClientContext* clientContext);
void CFReadStreamScheduleWithRunLoop(CFReadStreamRef stream, CFRunLoopRef runLoop, CFStringRef runLoopMode);
void CFReadStreamUnscheduleFromRunLoop(CFReadStreamRef stream, CFRunLoopRef runLoop, CFStringRef runLoopMode);

Boolean CFWriteStreamOpen(CFWriteStreamRef stream);
void CFWriteStreamClose(CFWriteStreamRef stream);
CFStreamStatus CFWriteStreamGetStatus(CFWriteStreamRef stream);
CFStreamError CFWriteStreamGetError(CFWriteStreamRef stream);
Boolean CFWriteStreamCanAcceptBytes(CFWriteStreamRef stream);
// The count accepted (maybe fewer than offered), -1 on an error.
CFIndex CFWriteStreamWrite(CFWriteStreamRef stream, const UInt8* buffer, CFIndex bufferLength);
CFTypeRef CFWriteStreamCopyProperty(CFWriteStreamRef stream, CFStringRef propertyName);
Boolean CFWriteStreamSetProperty(CFWriteStreamRef stream, CFStringRef propertyName, CFTypeRef propertyValue);
Boolean CFWriteStreamSetClient(CFWriteStreamRef stream, CFOptionFlags streamEvents,
                               CFWriteStreamClientCallBack clientCB, CFStreamClientContext* clientContext);
void CFWriteStreamScheduleWithRunLoop(CFWriteStreamRef stream, CFRunLoopRef runLoop, CFStringRef runLoopMode);
void CFWriteStreamUnscheduleFromRunLoop(CFWriteStreamRef stream, CFRunLoopRef runLoop, CFStringRef runLoopMode);

// Set to kCFBooleanTrue on a write stream whose writer has written its last
// byte: the stream then completes what it sends and tells the end only once
// the receiver has confirmed it (an FTP server's reply to the store), or an
// error. Closing a write stream instead abandons what has not been confirmed.
extern const CFStringRef kCFStreamPropertyEndOfData;
