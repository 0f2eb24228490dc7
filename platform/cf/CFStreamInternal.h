// Internal to the platform library: the stream objects behind CFStream.h.
//
// A stream keeps its state and the events that are due; the run loop tells
// them to the client from an idle dispatch, never from inside a read, a write
// or a transfer library's callback, so a client may close or release the
// stream from its callback.
#pragma once

#include <string>

#include "CFDictionary.h"
#include "CFRuntime.h"
#include "CFStream.h"

struct __CFStreamCommon : __CFRuntimeBase {
  explicit __CFStreamCommon(CFTypeID type);
  ~__CFStreamCommon() override;

  // Subclasses: start (false with the error set when it fails at once) and stop.
  virtual bool DoOpen() = 0;
  virtual void DoClose() {}
  virtual CFTypeRef CopyProperty(CFStringRef name);
  virtual bool SetProperty(CFStringRef name, CFTypeRef value);
  // The next event of the kind's own (bytes available / can accept), and
  // whether the end is reached; asked only while open and without an error.
  virtual bool Ready() = 0;
  virtual bool Ended() = 0;

  bool Open();
  void Close();
  // Records an error (the first one stays) and makes it due.
  void Fail(CFIndex domain, SInt32 error);
  // Makes "opened" due; the stream tells it once.
  void MarkOpened();
  // Something changed: the stream is looked at in the next dispatch.
  void Wake();
  // Allows the next bytes-available / can-accept event (after a read or a write).
  void Rearm() {
    readyTold = false;
    Wake();
  }
  void SetClient(CFOptionFlags events, void* callback, CFStreamClientContext* context);
  void Schedule(bool on);
  // Tells the due events, a bounded number; true when more are due.
  bool Deliver();

  CFStreamStatus status = kCFStreamStatusNotOpen;
  CFStreamError error{0, 0};
  CFMutableDictionaryRef properties = nullptr;

 private:
  CFStreamEventType NextEvent();

  CFOptionFlags clientEvents = 0;
  void* clientCallback = nullptr;
  CFStreamClientContext context{};
  bool scheduled = false;
  bool openDue = false;
  bool openTold = false;
  bool readyTold = false;
  bool finalTold = false;
};

struct __CFReadStream : __CFStreamCommon {
  __CFReadStream();
  virtual CFIndex Read(UInt8* buffer, CFIndex length) = 0;
};

struct __CFWriteStream : __CFStreamCommon {
  __CFWriteStream();
  virtual CFIndex Write(const UInt8* buffer, CFIndex length) = 0;
};

// The BSD number of a Linux errno value (ECONNREFUSED 111 -> 61, ETIMEDOUT
// 110 -> 60, ECONNRESET 104 -> 54, ...): the numbers POSIX-domain stream
// errors carry.
SInt32 __CFBSDErrno(int linuxErrno);

// The file-system path of a file URL ("" when it is not one).
std::string __CFStreamFilePath(CFURLRef url);
