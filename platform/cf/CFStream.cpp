// Streams with clients, and the file streams.
#include "CFStream.h"

#include <fcntl.h>
#include <glib.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <vector>

#include "CFNumber.h"
#include "CFStreamInternal.h"
#include "CFString.h"

const CFStringRef kCFStreamPropertyEndOfData = CFStringMakeConstantUTF8("kCFStreamPropertyEndOfData");

namespace {

CFTypeID ReadTypeID() {
  static const CFTypeID id = CFRuntimeRegisterType("CFReadStream");
  return id;
}
CFTypeID WriteTypeID() {
  static const CFTypeID id = CFRuntimeRegisterType("CFWriteStream");
  return id;
}

// --- Dispatch --------------------------------------------------------------------

std::vector<__CFStreamCommon*> gDue;  // streams to look at in the next dispatch
guint gIdle = 0;

gboolean DispatchDue(gpointer) {
  gIdle = 0;
  std::vector<__CFStreamCommon*> due;
  due.swap(gDue);
  for (__CFStreamCommon* s : due) {
    // A stream released by an earlier client of this pass has left the list.
    CFRetain(reinterpret_cast<CFTypeRef>(static_cast<__CFRuntimeBase*>(s)));
  }
  for (size_t i = 0; i < due.size(); ++i) {
    __CFStreamCommon* s = due[i];
    if (s->Deliver()) s->Wake();
  }
  for (__CFStreamCommon* s : due) CFRelease(reinterpret_cast<CFTypeRef>(static_cast<__CFRuntimeBase*>(s)));
  return G_SOURCE_REMOVE;
}

void Forget(__CFStreamCommon* s) { gDue.erase(std::remove(gDue.begin(), gDue.end(), s), gDue.end()); }

}  // namespace

SInt32 __CFBSDErrno(int e) {
  switch (e) {
    case EDEADLK: return 11;
    case EAGAIN: return 35;
    case EINPROGRESS: return 36;
    case EALREADY: return 37;
    case ENOTSOCK: return 38;
    case EDESTADDRREQ: return 39;
    case EMSGSIZE: return 40;
    case EPROTOTYPE: return 41;
    case ENOPROTOOPT: return 42;
    case EPROTONOSUPPORT: return 43;
    case EOPNOTSUPP: return 45;
    case EAFNOSUPPORT: return 47;
    case EADDRINUSE: return 48;
    case EADDRNOTAVAIL: return 49;
    case ENETDOWN: return 50;
    case ENETUNREACH: return 51;
    case ENETRESET: return 52;
    case ECONNABORTED: return 53;
    case ECONNRESET: return 54;
    case ENOBUFS: return 55;
    case EISCONN: return 56;
    case ENOTCONN: return 57;
    case ESHUTDOWN: return 58;
    case ETIMEDOUT: return 60;
    case ECONNREFUSED: return 61;
    case ELOOP: return 62;
    case ENAMETOOLONG: return 63;
    case EHOSTDOWN: return 64;
    case EHOSTUNREACH: return 65;
    case ENOTEMPTY: return 66;
    case EUSERS: return 68;
    case EDQUOT: return 69;
    case ESTALE: return 70;
    case ENOLCK: return 77;
    case ENOSYS: return 78;
    case EOVERFLOW: return 84;
    case ECANCELED: return 89;
    case EIDRM: return 90;
    case ENOMSG: return 91;
    case EILSEQ: return 92;
    default: return e;  // 1 to 34 are the same on both
  }
}

std::string __CFStreamFilePath(CFURLRef url) {
  if (url == nullptr) return "";
  UInt8 path[4096];
  if (!CFURLGetFileSystemRepresentation(url, true, path, sizeof path)) return "";
  return reinterpret_cast<const char*>(path);
}

// --- Common ------------------------------------------------------------------------

__CFStreamCommon::__CFStreamCommon(CFTypeID type) : __CFRuntimeBase(type) {}

__CFStreamCommon::~__CFStreamCommon() {
  Forget(this);
  if (context.release != nullptr && context.info != nullptr) context.release(context.info);
  if (properties != nullptr) CFRelease(properties);
}

CFTypeRef __CFStreamCommon::CopyProperty(CFStringRef name) {
  if (properties == nullptr || name == nullptr) return nullptr;
  CFTypeRef v = CFDictionaryGetValue(properties, name);
  return v != nullptr ? CFRetain(v) : nullptr;
}

bool __CFStreamCommon::SetProperty(CFStringRef name, CFTypeRef value) {
  if (name == nullptr) return false;
  if (properties == nullptr)
    properties = CFDictionaryCreateMutable(nullptr, 0, &kCFTypeDictionaryKeyCallBacks,
                                           &kCFTypeDictionaryValueCallBacks);
  if (value != nullptr)
    CFDictionarySetValue(properties, name, value);
  else
    CFDictionaryRemoveValue(properties, name);
  return true;
}

bool __CFStreamCommon::Open() {
  if (status != kCFStreamStatusNotOpen) return false;
  status = kCFStreamStatusOpening;
  if (!DoOpen()) {
    if (status != kCFStreamStatusError) Fail(kCFStreamErrorDomainPOSIX, 5);
    return false;
  }
  return true;
}

void __CFStreamCommon::Close() {
  if (status == kCFStreamStatusClosed) return;
  if (status != kCFStreamStatusNotOpen) DoClose();
  status = kCFStreamStatusClosed;
  Forget(this);
}

void __CFStreamCommon::Fail(CFIndex domain, SInt32 code) {
  if (status == kCFStreamStatusError || status == kCFStreamStatusClosed) return;
  error = CFStreamError{domain, code};
  status = kCFStreamStatusError;
  Wake();
}

void __CFStreamCommon::MarkOpened() {
  if (status == kCFStreamStatusOpening) status = kCFStreamStatusOpen;
  openDue = true;
  Wake();
}

void __CFStreamCommon::Wake() {
  if (!scheduled || clientCallback == nullptr || finalTold) return;
  if (std::find(gDue.begin(), gDue.end(), this) == gDue.end()) gDue.push_back(this);
  if (gIdle == 0) gIdle = g_idle_add_full(G_PRIORITY_DEFAULT, DispatchDue, nullptr, nullptr);
}

void __CFStreamCommon::SetClient(CFOptionFlags events, void* callback, CFStreamClientContext* ctx) {
  if (context.release != nullptr && context.info != nullptr) context.release(context.info);
  context = CFStreamClientContext{};
  if (callback == nullptr || events == 0) {
    clientCallback = nullptr;
    clientEvents = 0;
    Forget(this);
    return;
  }
  clientCallback = callback;
  clientEvents = events;
  if (ctx != nullptr) {
    context = *ctx;
    if (context.retain != nullptr && context.info != nullptr) context.info = context.retain(context.info);
  }
  Wake();
}

void __CFStreamCommon::Schedule(bool on) {
  scheduled = on;
  if (on)
    Wake();
  else
    Forget(this);
}

CFStreamEventType __CFStreamCommon::NextEvent() {
  if (finalTold || status == kCFStreamStatusClosed || status == kCFStreamStatusNotOpen) return kCFStreamEventNone;
  if (status == kCFStreamStatusError) return kCFStreamEventErrorOccurred;
  if (openDue && !openTold) return kCFStreamEventOpenCompleted;
  if (!openTold) return kCFStreamEventNone;
  if (!readyTold && Ready()) return typeID == ReadTypeID() ? kCFStreamEventHasBytesAvailable : kCFStreamEventCanAcceptBytes;
  if (Ended()) return kCFStreamEventEndEncountered;
  return kCFStreamEventNone;
}

bool __CFStreamCommon::Deliver() {
  // A few events a pass, so that a fast stream leaves room for the windows.
  for (int n = 0; n < 16; ++n) {
    if (!scheduled || clientCallback == nullptr) return false;
    CFStreamEventType ev = NextEvent();
    if (ev == kCFStreamEventNone) return false;
    switch (ev) {
      case kCFStreamEventOpenCompleted: openTold = true; break;
      case kCFStreamEventHasBytesAvailable:
      case kCFStreamEventCanAcceptBytes: readyTold = true; break;
      case kCFStreamEventEndEncountered:
        status = kCFStreamStatusAtEnd;
        finalTold = true;
        break;
      case kCFStreamEventErrorOccurred: finalTold = true; break;
      default: break;
    }
    if ((clientEvents & ev) == 0) continue;
    void* info = context.info;
    auto* self = reinterpret_cast<CFTypeRef>(static_cast<__CFRuntimeBase*>(this));
    if (typeID == ReadTypeID())
      reinterpret_cast<CFReadStreamClientCallBack>(clientCallback)((CFReadStreamRef)self, ev, info);
    else
      reinterpret_cast<CFWriteStreamClientCallBack>(clientCallback)((CFWriteStreamRef)self, ev, info);
  }
  return true;
}

__CFReadStream::__CFReadStream() : __CFStreamCommon(ReadTypeID()) {}
__CFWriteStream::__CFWriteStream() : __CFStreamCommon(WriteTypeID()) {}

// --- File streams --------------------------------------------------------------------

namespace {

struct FileReadStream : __CFReadStream {
  explicit FileReadStream(std::string p) : path(std::move(p)) {}
  ~FileReadStream() override { DoClose(); }
  bool DoOpen() override {
    fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
      Fail(kCFStreamErrorDomainPOSIX, __CFBSDErrno(errno));
      return false;
    }
    MarkOpened();
    return true;
  }
  void DoClose() override {
    if (fd >= 0) ::close(fd);
    fd = -1;
  }
  bool Ready() override { return !eof; }
  bool Ended() override { return eof; }
  CFIndex Read(UInt8* buffer, CFIndex length) override {
    if (fd < 0 || length <= 0) return 0;
    ssize_t n;
    do n = ::read(fd, buffer, size_t(length));
    while (n < 0 && errno == EINTR);
    if (n < 0) {
      Fail(kCFStreamErrorDomainPOSIX, __CFBSDErrno(errno));
      return -1;
    }
    if (n == 0) {
      eof = true;
      Wake();
    } else {
      Rearm();
    }
    return CFIndex(n);
  }
  std::string path;
  int fd = -1;
  bool eof = false;
};

struct FileWriteStream : __CFWriteStream {
  explicit FileWriteStream(std::string p) : path(std::move(p)) {}
  ~FileWriteStream() override { DoClose(); }
  bool DoOpen() override {
    fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) {
      Fail(kCFStreamErrorDomainPOSIX, __CFBSDErrno(errno));
      return false;
    }
    MarkOpened();
    return true;
  }
  void DoClose() override {
    if (fd >= 0) ::close(fd);
    fd = -1;
  }
  bool Ready() override { return true; }
  bool Ended() override { return false; }
  CFIndex Write(const UInt8* buffer, CFIndex length) override {
    if (fd < 0 || length <= 0) return 0;
    ssize_t n;
    do n = ::write(fd, buffer, size_t(length));
    while (n < 0 && errno == EINTR);
    if (n < 0) {
      Fail(kCFStreamErrorDomainPOSIX, __CFBSDErrno(errno));
      return -1;
    }
    Rearm();
    return CFIndex(n);
  }
  std::string path;
  int fd = -1;
};

template <typename T>
T* Stream(CFTypeRef s, CFTypeID type) {
  return CFCast<T>(s, type);
}
__CFReadStream* R(CFReadStreamRef s) { return Stream<__CFReadStream>(s, ReadTypeID()); }
__CFWriteStream* W(CFWriteStreamRef s) { return Stream<__CFWriteStream>(s, WriteTypeID()); }

bool ActiveStatus(CFStreamStatus st) {
  return st == kCFStreamStatusOpen || st == kCFStreamStatusOpening || st == kCFStreamStatusAtEnd;
}

}  // namespace

CFTypeID CFReadStreamGetTypeID() { return ReadTypeID(); }
CFTypeID CFWriteStreamGetTypeID() { return WriteTypeID(); }

CFReadStreamRef CFReadStreamCreateWithFile(CFAllocatorRef, CFURLRef fileURL) {
  std::string path = __CFStreamFilePath(fileURL);
  if (path.empty()) return nullptr;
  return reinterpret_cast<CFReadStreamRef>(static_cast<__CFRuntimeBase*>(new FileReadStream(path)));
}

CFWriteStreamRef CFWriteStreamCreateWithFile(CFAllocatorRef, CFURLRef fileURL) {
  std::string path = __CFStreamFilePath(fileURL);
  if (path.empty()) return nullptr;
  return reinterpret_cast<CFWriteStreamRef>(static_cast<__CFRuntimeBase*>(new FileWriteStream(path)));
}

Boolean CFReadStreamOpen(CFReadStreamRef stream) {
  auto* s = R(stream);
  return s != nullptr && s->Open();
}
void CFReadStreamClose(CFReadStreamRef stream) {
  if (auto* s = R(stream)) s->Close();
}
CFStreamStatus CFReadStreamGetStatus(CFReadStreamRef stream) {
  auto* s = R(stream);
  return s ? s->status : kCFStreamStatusError;
}
CFStreamError CFReadStreamGetError(CFReadStreamRef stream) {
  auto* s = R(stream);
  return s ? s->error : CFStreamError{0, 0};
}
Boolean CFReadStreamHasBytesAvailable(CFReadStreamRef stream) {
  auto* s = R(stream);
  return s != nullptr && ActiveStatus(s->status) && s->Ready();
}
CFIndex CFReadStreamRead(CFReadStreamRef stream, UInt8* buffer, CFIndex bufferLength) {
  auto* s = R(stream);
  if (s == nullptr || buffer == nullptr) return -1;
  if (s->status == kCFStreamStatusError) return -1;
  if (!ActiveStatus(s->status)) return s->status == kCFStreamStatusAtEnd ? 0 : -1;
  return s->Read(buffer, bufferLength);
}
CFTypeRef CFReadStreamCopyProperty(CFReadStreamRef stream, CFStringRef name) {
  auto* s = R(stream);
  return s ? s->CopyProperty(name) : nullptr;
}
Boolean CFReadStreamSetProperty(CFReadStreamRef stream, CFStringRef name, CFTypeRef value) {
  auto* s = R(stream);
  return s != nullptr && s->SetProperty(name, value);
}
Boolean CFReadStreamSetClient(CFReadStreamRef stream, CFOptionFlags events, CFReadStreamClientCallBack cb,
                              CFStreamClientContext* context) {
  auto* s = R(stream);
  if (s == nullptr) return false;
  s->SetClient(events, reinterpret_cast<void*>(cb), context);
  return true;
}
void CFReadStreamScheduleWithRunLoop(CFReadStreamRef stream, CFRunLoopRef runLoop, CFStringRef) {
  if (auto* s = R(stream)) s->Schedule(runLoop != nullptr);
}
void CFReadStreamUnscheduleFromRunLoop(CFReadStreamRef stream, CFRunLoopRef, CFStringRef) {
  if (auto* s = R(stream)) s->Schedule(false);
}

Boolean CFWriteStreamOpen(CFWriteStreamRef stream) {
  auto* s = W(stream);
  return s != nullptr && s->Open();
}
void CFWriteStreamClose(CFWriteStreamRef stream) {
  if (auto* s = W(stream)) s->Close();
}
CFStreamStatus CFWriteStreamGetStatus(CFWriteStreamRef stream) {
  auto* s = W(stream);
  return s ? s->status : kCFStreamStatusError;
}
CFStreamError CFWriteStreamGetError(CFWriteStreamRef stream) {
  auto* s = W(stream);
  return s ? s->error : CFStreamError{0, 0};
}
Boolean CFWriteStreamCanAcceptBytes(CFWriteStreamRef stream) {
  auto* s = W(stream);
  return s != nullptr && ActiveStatus(s->status) && s->Ready();
}
CFIndex CFWriteStreamWrite(CFWriteStreamRef stream, const UInt8* buffer, CFIndex bufferLength) {
  auto* s = W(stream);
  if (s == nullptr || buffer == nullptr || !ActiveStatus(s->status)) return -1;
  return s->Write(buffer, bufferLength);
}
CFTypeRef CFWriteStreamCopyProperty(CFWriteStreamRef stream, CFStringRef name) {
  auto* s = W(stream);
  return s ? s->CopyProperty(name) : nullptr;
}
Boolean CFWriteStreamSetProperty(CFWriteStreamRef stream, CFStringRef name, CFTypeRef value) {
  auto* s = W(stream);
  return s != nullptr && s->SetProperty(name, value);
}
Boolean CFWriteStreamSetClient(CFWriteStreamRef stream, CFOptionFlags events, CFWriteStreamClientCallBack cb,
                               CFStreamClientContext* context) {
  auto* s = W(stream);
  if (s == nullptr) return false;
  s->SetClient(events, reinterpret_cast<void*>(cb), context);
  return true;
}
void CFWriteStreamScheduleWithRunLoop(CFWriteStreamRef stream, CFRunLoopRef runLoop, CFStringRef) {
  if (auto* s = W(stream)) s->Schedule(runLoop != nullptr);
}
void CFWriteStreamUnscheduleFromRunLoop(CFWriteStreamRef stream, CFRunLoopRef, CFStringRef) {
  if (auto* s = W(stream)) s->Schedule(false);
}
