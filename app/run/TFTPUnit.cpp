#include "TFTPUnit.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include <cmath>
#include <cstring>
#include <map>
#include <string>

#include "CFDate.h"
#include "CFDateFormatter.h"
#include "CFNumber.h"
#include "CFRunLoop.h"
#include "CFStream.h"
#include "CFString.h"
#include "MacMemory.h"
#include "PascalCarbonCommon.h"
#include "SCDynamicStore.h"

namespace {

std::map<FTPStreamHandle, TFTPStream*>& Streams() {
  static auto* streams = new std::map<FTPStreamHandle, TFTPStream*>();
  return *streams;
}
FTPStreamHandle gNextHandle = 0;

constexpr CFOptionFlags kAllEvents = kCFStreamEventOpenCompleted | kCFStreamEventHasBytesAvailable |
                                     kCFStreamEventCanAcceptBytes | kCFStreamEventErrorOccurred |
                                     kCFStreamEventEndEncountered;

constexpr CFStreamError kNoError{0, 0};

std::string UTF8(CFStringRef s) {
  if (s == nullptr) return "";
  CFIndex n = CFStringGetLength(s);
  CFIndex max = CFStringGetMaximumSizeForEncoding(n, kCFStringEncodingUTF8) + 1;
  std::string out(size_t(max), '\0');
  if (!CFStringGetCString(s, out.data(), max, kCFStringEncodingUTF8)) return "";
  out.resize(strlen(out.c_str()));
  return out;
}

CFStringRef CreateUTF8(const std::string& s) {
  return CFStringCreateWithBytes(nullptr, reinterpret_cast<const UInt8*>(s.data()), CFIndex(s.size()),
                                 kCFStringEncodingUTF8, false);
}

std::string ShortText(const Str255& s) { return std::string(reinterpret_cast<const char*>(s.s + 1), size_t(s.len())); }

int Hex(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The last "/"-separated name of a URL's text, its escapes decoded as the
// URL itself decodes them ("" for a folder URL or a text that is no URL).
std::string LastName(CFStringRef url) {
  std::string text = UTF8(url);
  if (text.empty() || text.back() == '/') return "";
  CFURLRef address = FTPCreateURL(url);
  if (address == nullptr) return "";
  CFStringRef name = CFURLCopyLastPathComponent(address);
  CFRelease(address);
  std::string out = UTF8(name);
  if (name != nullptr) CFRelease(name);
  return out;
}

SInt64 NumberValue(CFTypeRef v, bool* ok) {
  SInt64 n = 0;
  *ok = v != nullptr && CFGetTypeID(v) == CFNumberGetTypeID() &&
        CFNumberGetValue(static_cast<CFNumberRef>(v), kCFNumberSInt64Type, &n);
  return n;
}

Str255 ASCIIShort(CFStringRef s) {
  std::string text = UTF8(s);
  std::string ascii;
  for (unsigned char c : text) ascii += c < 0x80 ? char(c) : '?';
  return Str255(ascii);
}

CFStringRef DateText(CFDateRef date) {
  static CFDateFormatterRef dateFormat = nullptr, timeFormat = nullptr;
  if (dateFormat == nullptr) {
    CFLocaleRef locale = CFLocaleCopyCurrent();
    dateFormat = CFDateFormatterCreate(nullptr, locale, kCFDateFormatterShortStyle, kCFDateFormatterNoStyle);
    timeFormat = CFDateFormatterCreate(nullptr, locale, kCFDateFormatterNoStyle, kCFDateFormatterShortStyle);
    if (locale != nullptr) CFRelease(locale);
  }
  CFAbsoluteTime at = CFDateGetAbsoluteTime(date);
  CFStringRef d = CFDateFormatterCreateStringWithAbsoluteTime(nullptr, dateFormat, at);
  CFStringRef t = CFDateFormatterCreateStringWithAbsoluteTime(nullptr, timeFormat, at);
  CFMutableStringRef out = CFStringCreateMutable(nullptr, 0);
  if (d != nullptr) CFStringAppend(out, d);
  CFStringAppendCString(out, " ", kCFStringEncodingUTF8);
  if (t != nullptr) CFStringAppend(out, t);
  if (d != nullptr) CFRelease(d);
  if (t != nullptr) CFRelease(t);
  return out;
}

// The BSD number of a local file error (the numbers stream errors carry).
SInt32 LocalErrno(int e) {
  switch (e) {
    case EDQUOT: return 69;
    case ENAMETOOLONG: return 63;
    case ELOOP: return 62;
    case ENOTEMPTY: return 66;
    default: return e;
  }
}

}  // namespace

// --- Strings and URLs ---------------------------------------------------------------------

Str255 FTPShortString(CFStringRef text) {
  std::string s = UTF8(text);
  if (s.size() > 255) {
    size_t n = 255;
    while (n > 0 && (static_cast<unsigned char>(s[n]) & 0xC0) == 0x80) --n;  // not inside a character
    s.resize(n);
  }
  return Str255::FromBytes(s.data(), s.size());
}

CFStringRef FTPCreateString(const Str255& text) {
  CFStringRef s = CreateUTF8(ShortText(text));
  if (s == nullptr)
    s = CFStringCreateWithBytes(nullptr, text.s + 1, text.len(), kCFStringEncodingMacRoman, false);
  return s;
}

CFURLRef FTPCreateURL(CFStringRef text) {
  std::string s = UTF8(text);
  if (s.size() < 6 || strncasecmp(s.c_str(), "ftp://", 6) != 0) return nullptr;
  size_t slash = s.find('/', 6);
  std::string out = s.substr(0, slash);
  if (out.find_first_of(" \"<>\\^`{|}\r\n") != std::string::npos) return nullptr;
  if (slash != std::string::npos) {
    static const char* hex = "0123456789ABCDEF";
    for (size_t i = slash; i < s.size(); ++i) {
      unsigned char c = s[i];
      bool escape = c == '%' && i + 2 < s.size() && Hex(s[i + 1]) >= 0 && Hex(s[i + 2]) >= 0;
      if (escape || isalnum(c) || strchr("/-._~!$&'()*+,=:@", c) != nullptr) {
        out += char(c);
      } else {
        out += '%';
        out += hex[c >> 4];
        out += hex[c & 15];
      }
    }
  } else {
    out += '/';
  }
  CFStringRef encoded = CreateUTF8(out);
  if (encoded == nullptr) return nullptr;
  CFURLRef url = CFURLCreateWithString(nullptr, encoded, nullptr);
  CFRelease(encoded);
  return url;
}

// --- Messages and icons ---------------------------------------------------------------------

Str255 GetStreamErrorString(CFStreamError error) {
  struct Row {
    CFIndex domain;
    SInt32 error;
    const char* message;
  };
  static const Row rows[] = {
      {12, 7, "Internet Off"},
      {6, 404, "HTTP: Resource not found (404)"},
      {6, 530, "HTTP: Login denied (530)"},
      {6, 550, "HTTP: Access denied (550)"},
      {1, 32, "Connection broke"},
      {1, 50, "Network is down"},
      {1, 51, "Network is unreachable"},
      {1, 52, "Network dropped connection"},
      {1, 54, "Connection reset"},
      {1, 57, "Internet Disconnected"},
      {1, 60, "Operation timed out"},
      {1, 61, "Connection refused"},
      // Failures this system's transfers give besides those.
      {12, 8, "Server not found"},
      {6, 451, "FTP: The server could not store the file (451)"},
      {6, 552, "FTP: The server has no room for the file (552)"},
      {6, 553, "FTP: File name not allowed (553)"},
      {6, 421, "FTP: Service not available (421)"},
      {1, 2, "No such file or folder"},
      {1, 13, "Permission denied"},
      {1, 28, "The disk is full"},
      {1, 65, "No route to host"},
      {kFTPStreamErrorDomain, kFTPErrorUnreadableListing, "The server's folder listing cannot be read"},
  };
  for (const Row& r : rows)
    if (r.domain == error.domain && r.error == error.error) return Str255(r.message);
  return Str255(std::string("Unknown ") + std::to_string(error.error) + "." + std::to_string(error.domain));
}

IconRef GetFTPListingIcon(FTPDirectoryListingPtr entry) {
  IconRef icon = nullptr;
  if (entry == nullptr) return nullptr;
  if (entry->type == 4) {
    Err = GetIconRef(kOnSystemDisk, kSystemIconsCreator, kGenericFolderIcon, &icon);
  } else if (entry->type == 8) {
    std::string name = ShortText(entry->name);
    size_t dot = name.rfind('.');
    CFStringRef ext = CreateUTF8(dot == std::string::npos ? "" : name.substr(dot + 1));
    Err = GetIconRefFromTypeInfo(0, 0, ext, nullptr, kIconServicesNormalUsageFlag, &icon);
    if (ext != nullptr) CFRelease(ext);
  } else {
    Err = GetIconRef(kOnSystemDisk, kSystemIconsCreator, kUnknownFSObjectIcon, &icon);
  }
  return icon;
}

const void* RetainListingCallback(CFAllocatorRef, const void* value) { return value; }

void ReleaseListingCallback(CFAllocatorRef, const void* value) {
  if (value != nullptr) DisposePtr(static_cast<Ptr>(const_cast<void*>(value)));
}

// --- The stream ----------------------------------------------------------------------------------

TFTPStream::TFTPStream() : fHandle(++gNextHandle) { Streams()[fHandle] = this; }

TFTPStream::~TFTPStream() = default;

TFTPStream* TFTPStream::FromHandle(FTPStreamHandle handle) {
  auto it = Streams().find(handle);
  return it == Streams().end() ? nullptr : it->second;
}

void TFTPStream::TerminateHandle(FTPStreamHandle handle) {
  if (TFTPStream* s = FromHandle(handle)) s->Terminate();
}

void TFTPStream::SetCallback(FTPStreamNotificationCallback callback, void* userData) {
  fCallback = callback;
  fUserData = userData;
}

void TFTPStream::HandleNotification(SInt16 kind, float ratio, CFStreamError error) {
  if (fCallback != nullptr) fCallback(kind, ratio, error, this, fUserData);
}

void TFTPStream::Terminate() { Release(); }

CFRange TFTPStream::GetTransferRatio() { return CFRangeMake(CFIndex(fTransferred), CFIndex(fTotalSize)); }

Str255 TFTPStream::GetFileRatioString() {
  Str255 text = GetMemoryString(SInt32(fTransferred));
  std::string s = ShortText(text) + " of " + ShortText(GetMemoryString(SInt32(std::min<SInt64>(fTotalSize, INT32_MAX))));
  return Str255(s);
}

void TFTPStream::SetUserNamePassword(CFTypeRef stream, CFStringRef user, CFStringRef password) {
  if (stream == nullptr || user == nullptr || CFStringGetLength(user) == 0) return;
  bool read = CFGetTypeID(stream) == CFReadStreamGetTypeID();
  auto set = [&](CFStringRef key, CFTypeRef value) {
    return read ? CFReadStreamSetProperty((CFReadStreamRef)stream, key, value)
                : CFWriteStreamSetProperty((CFWriteStreamRef)stream, key, value);
  };
  if (set(kCFStreamPropertyFTPUserName, user) && password != nullptr) set(kCFStreamPropertyFTPPassword, password);
}

void TFTPStream::SetFTPProxy(CFTypeRef stream, CFDictionaryRef& proxies) {
  if (proxies != nullptr) CFRelease(proxies);
  proxies = SCDynamicStoreCopyProxies(nullptr);
  Boolean passive = true;
  if (proxies != nullptr) {
    bool ok = false;
    SInt64 v = NumberValue(CFDictionaryGetValue(proxies, kSCPropNetProxiesFTPPassive), &ok);
    if (ok && v < 1) passive = false;
  }
  if (stream == nullptr) return;
  bool read = CFGetTypeID(stream) == CFReadStreamGetTypeID();
  auto set = [&](CFStringRef key, CFTypeRef value) {
    if (read)
      CFReadStreamSetProperty((CFReadStreamRef)stream, key, value);
    else
      CFWriteStreamSetProperty((CFWriteStreamRef)stream, key, value);
  };
  if (proxies != nullptr) set(kCFStreamPropertyFTPProxy, proxies);
  set(kCFStreamPropertyFTPUsePassiveMode, passive ? kCFBooleanTrue : kCFBooleanFalse);
  set(kCFStreamPropertyFTPAttemptPersistentConnection, kCFBooleanFalse);
}

FTPDirectoryListingPtr TFTPStream::NewDirectoryListing(CFDictionaryRef entry) {
  auto* rec = reinterpret_cast<FTPDirectoryListingPtr>(NewPtrClear(sizeof(FTPDirectoryListing)));
  if (rec == nullptr || entry == nullptr) return rec;
  bool ok = false;
  SInt64 type = NumberValue(CFDictionaryGetValue(entry, kCFFTPResourceType), &ok);
  if (ok) {
    rec->type = SInt32(type);
    SInt64 mode = NumberValue(CFDictionaryGetValue(entry, kCFFTPResourceMode), &ok);
    if (ok) rec->mode = SInt32(mode);
  }
  auto string = [&](CFStringRef key) -> CFStringRef {
    CFTypeRef v = CFDictionaryGetValue(entry, key);
    return (v != nullptr && CFGetTypeID(v) == CFStringGetTypeID()) ? static_cast<CFStringRef>(v) : nullptr;
  };
  if (CFStringRef owner = string(kCFFTPResourceOwner)) rec->owner = ASCIIShort(owner);
  if (CFStringRef group = string(kCFFTPResourceGroup)) rec->group = ASCIIShort(group);
  SInt64 size = NumberValue(CFDictionaryGetValue(entry, kCFFTPResourceSize), &ok);
  if (ok) rec->size = size;
  CFTypeRef date = CFDictionaryGetValue(entry, kCFFTPResourceModDate);
  if (date != nullptr && CFGetTypeID(date) == CFDateGetTypeID()) {
    CFStringRef text = DateText(static_cast<CFDateRef>(date));
    rec->date = FTPShortString(text);
    CFRelease(text);
  }
  if (CFStringRef name = string(kCFFTPResourceName)) {
    rec->name = FTPShortString(name);
    if (CFStringRef link = string(kCFFTPResourceLink)) rec->link = FTPShortString(link);
  }
  std::string url = ShortText(fConnection.URL) + ShortText(rec->name) + (rec->type == 4 ? "/" : "");
  rec->URL = Str255::FromBytes(url.data(), std::min<size_t>(url.size(), 255));
  // The parent is the listed folder: its last name when the URL has more
  // than scheme and host.
  std::string listing = ShortText(fConnection.URL);
  std::string last;
  int components = 0;
  size_t pos = 0;
  while (pos < listing.size()) {
    size_t next = listing.find('/', pos);
    std::string part = listing.substr(pos, next == std::string::npos ? std::string::npos : next - pos);
    if (!part.empty()) {
      ++components;
      last = part;
    }
    if (next == std::string::npos) break;
    pos = next + 1;
  }
  rec->parentName = components > 2 ? Str63(last) : Str63("/");
  return rec;
}

// --- Starting -------------------------------------------------------------------------------------

bool TFTPStream::StartFailed() {
  Release();
  return false;
}

Boolean TFTPStream::DirectoryListing(CFStringRef url, CFStringRef user, CFStringRef password) {
  fConnection.URL = FTPShortString(url);
  fConnection.userName = FTPShortString(user);
  fConnection.password = FTPShortString(password);
  CFURLRef address = FTPCreateURL(url);
  if (address == nullptr) return StartFailed();
  fReadStream = CFReadStreamCreateWithFTPURL(nullptr, address);
  CFRelease(address);
  if (fReadStream == nullptr) return StartFailed();
  CFArrayCallBacks callbacks{0, RetainListingCallback, ReleaseListingCallback, nullptr, nullptr};
  fListings = CFArrayCreateMutable(nullptr, 0, &callbacks);
  fBuffer = reinterpret_cast<UInt8*>(NewPtrClear(kFTPBufferSize + 1));
  CFStreamClientContext context{0, this, nullptr, nullptr, nullptr};
  if (!CFReadStreamSetClient(fReadStream, kAllEvents, DirectoryListingCallback, &context)) return StartFailed();
  CFReadStreamScheduleWithRunLoop(fReadStream, CFRunLoopGetCurrent(), kCFRunLoopDefaultMode);
  SetUserNamePassword(fReadStream, user, password);
  SetFTPProxy(fReadStream, fProxies);
  if (!CFReadStreamOpen(fReadStream)) return StartFailed();
  return true;
}

Boolean TFTPStream::Upload(CFStringRef url, CFURLRef file, CFStringRef user, CFStringRef password) {
  fConnection.userName = FTPShortString(user);
  fConnection.password = FTPShortString(password);
  fConnection.upload = true;
  std::string folder = UTF8(url);
  if (!folder.empty() && folder.back() != '/') folder += '/';
  UInt8 path[4096];
  if (file == nullptr || !CFURLGetFileSystemRepresentation(file, true, path, sizeof path)) return StartFailed();
  std::string local = reinterpret_cast<char*>(path);
  std::string name = local.substr(local.rfind('/') + 1);
  std::string destination = folder + name;
  // The connection keeps the destination as the program names it, blanks and all.
  std::string shown;
  for (size_t i = 0; i < destination.size(); ++i) {
    if (destination.compare(i, 3, "%20") == 0) {
      shown += ' ';
      i += 2;
    } else {
      shown += destination[i];
    }
  }
  fConnection.URL = Str255::FromBytes(shown.data(), std::min<size_t>(shown.size(), 255));
  struct stat st;
  if (stat(local.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return StartFailed();
  fTotalSize = st.st_size;
  fReadStream = CFReadStreamCreateWithFile(nullptr, file);
  CFStringRef destText = CreateUTF8(destination);
  CFURLRef address = FTPCreateURL(destText);
  if (destText != nullptr) CFRelease(destText);
  if (address != nullptr) {
    fWriteStream = CFWriteStreamCreateWithFTPURL(nullptr, address);
    CFRelease(address);
  }
  fBuffer = reinterpret_cast<UInt8*>(NewPtrClear(kFTPBufferSize));
  if (fReadStream == nullptr || fWriteStream == nullptr || !CFReadStreamOpen(fReadStream)) return StartFailed();
  CFStreamClientContext context{0, this, nullptr, nullptr, nullptr};
  if (!CFWriteStreamSetClient(fWriteStream, kAllEvents, UploadCallback, &context)) return StartFailed();
  CFWriteStreamScheduleWithRunLoop(fWriteStream, CFRunLoopGetCurrent(), kCFRunLoopDefaultMode);
  SetUserNamePassword(fWriteStream, user, password);
  SetFTPProxy(fWriteStream, fProxies);
  if (!CFWriteStreamOpen(fWriteStream)) return StartFailed();
  return true;
}

Boolean TFTPStream::Download(CFStringRef url, CFURLRef folder, CFStringRef user, CFStringRef password) {
  fConnection.URL = FTPShortString(url);
  fConnection.userName = FTPShortString(user);
  fConnection.password = FTPShortString(password);
  if (folder == nullptr || !CFURLHasDirectoryPath(folder)) return StartFailed();
  CFURLGetFSRef(folder, &fConnection.local);
  UInt8 path[4096];
  if (!CFURLGetFileSystemRepresentation(folder, true, path, sizeof path)) return StartFailed();
  // The local name is the remote one; a name that would leave the folder is refused.
  std::string name = LastName(url);
  if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos ||
      name.find('\0') != std::string::npos)
    return StartFailed();
  std::string local = reinterpret_cast<char*>(path);
  if (local.empty() || local.back() != '/') local += '/';
  // The bytes go to a file of their own beside the target, which takes its
  // place only once all of them came: a failed download leaves a file of
  // that name as it was.
  std::string temp = local + ".~" + name + ".XXXXXX";
  local += name;
  int fd = mkstemp(temp.data());
  if (fd < 0) return StartFailed();
  // The file gets the permissions of the one it replaces, else the usual ones.
  struct stat existing;
  if (stat(local.c_str(), &existing) == 0) {
    fchmod(fd, existing.st_mode & 07777);
  } else {
    mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
  }
  close(fd);
  fLocalPath = local;
  fTempPath = temp;
  CFURLRef localURL = CFURLCreateFromFileSystemRepresentation(nullptr, reinterpret_cast<const UInt8*>(temp.data()),
                                                              CFIndex(temp.size()), false);
  if (localURL == nullptr) return StartFailed();
  fWriteStream = CFWriteStreamCreateWithFile(nullptr, localURL);
  CFRelease(localURL);
  CFURLRef address = FTPCreateURL(url);
  if (address != nullptr) {
    fReadStream = CFReadStreamCreateWithFTPURL(nullptr, address);
    CFRelease(address);
  }
  fBuffer = reinterpret_cast<UInt8*>(NewPtrClear(kFTPBufferSize));
  if (fWriteStream == nullptr || fReadStream == nullptr || !CFWriteStreamOpen(fWriteStream)) return StartFailed();
  CFStreamClientContext context{0, this, nullptr, nullptr, nullptr};
  if (!CFReadStreamSetClient(fReadStream, kAllEvents, DownloadCallback, &context)) return StartFailed();
  CFReadStreamScheduleWithRunLoop(fReadStream, CFRunLoopGetCurrent(), kCFRunLoopDefaultMode);
  SetUserNamePassword(fReadStream, user, password);
  SetFTPProxy(fReadStream, fProxies);
  CFReadStreamSetProperty(fReadStream, kCFStreamPropertyFTPFetchResourceInfo, kCFBooleanTrue);
  if (!CFReadStreamOpen(fReadStream)) return StartFailed();
  return true;
}

// --- Ending -------------------------------------------------------------------------------------

void TFTPStream::Detach() {
  if (fReadStream != nullptr) {
    CFReadStreamUnscheduleFromRunLoop(fReadStream, CFRunLoopGetCurrent(), kCFRunLoopDefaultMode);
    CFReadStreamSetClient(fReadStream, 0, nullptr, nullptr);
    CFReadStreamClose(fReadStream);
    CFRelease(fReadStream);
    fReadStream = nullptr;
  }
  if (fWriteStream != nullptr) {
    CFWriteStreamUnscheduleFromRunLoop(fWriteStream, CFRunLoopGetCurrent(), kCFRunLoopDefaultMode);
    CFWriteStreamSetClient(fWriteStream, 0, nullptr, nullptr);
    CFWriteStreamClose(fWriteStream);
    CFRelease(fWriteStream);
    fWriteStream = nullptr;
  }
  if (fProxies != nullptr) CFRelease(fProxies);
  fProxies = nullptr;
  if (fBuffer != nullptr) DisposePtr(reinterpret_cast<Ptr>(fBuffer));
  fBuffer = nullptr;
  if (fListings != nullptr) CFRelease(fListings);
  fListings = nullptr;
  if (!fTempPath.empty()) unlink(fTempPath.c_str());
  fTempPath.clear();
}

void TFTPStream::Release() {
  if (fReleased) return;
  fReleased = true;
  Streams().erase(fHandle);
  Detach();
  // Freed once the callback that is running (if one is) has returned.
  if (fDepth == 0) delete this;
}

void TFTPStream::Notify(SInt16 kind, float ratio, CFStreamError error) {
  ++fDepth;
  HandleNotification(kind, ratio, error);
  --fDepth;
}

void TFTPStream::End(SInt16 kind, CFStreamError error) {
  if (fEnded || fReleased) return;
  fEnded = true;
  Notify(kind, 0, kind == kFTPNotifyFailed ? error : kNoError);
  Release();
}

// --- Events ---------------------------------------------------------------------------------------

void TFTPStream::DirectoryListingCallback(CFReadStreamRef, CFStreamEventType event, void* info) {
  auto* self = static_cast<TFTPStream*>(info);
  self->BeforeEvent();
  self->ListingEvent(event);
  self->AfterEvent();
}

void TFTPStream::DownloadCallback(CFReadStreamRef, CFStreamEventType event, void* info) {
  auto* self = static_cast<TFTPStream*>(info);
  self->BeforeEvent();
  self->DownloadEvent(event);
  self->AfterEvent();
}

void TFTPStream::UploadCallback(CFWriteStreamRef, CFStreamEventType event, void* info) {
  auto* self = static_cast<TFTPStream*>(info);
  self->BeforeEvent();
  self->UploadEvent(event);
  self->AfterEvent();
}

void TFTPStream::BeforeEvent() { ++fDepth; }

// The stream stays allocated while one of its events runs; it goes after the
// event in which it was released.
void TFTPStream::AfterEvent() {
  if (--fDepth == 0 && fReleased) {
    delete this;
    CFRunLoopStop(CFRunLoopGetCurrent());
  }
}

bool TFTPStream::ParseListing(CFIndex count) {
  CFIndex at = 0;
  bool readable = true;
  while (at < count) {
    CFDictionaryRef entry = nullptr;
    CFIndex used = CFFTPCreateParsedResourceListing(nullptr, fBuffer + at, count - at, &entry);
    if (used < 0) readable = false;
    if (used <= 0) break;
    if (entry != nullptr) {
      CFArrayAppendValue(fListings, NewDirectoryListing(entry));
      CFRelease(entry);
    }
    at += used;
  }
  memmove(fBuffer, fBuffer + at, size_t(count - at));
  fPending = UInt32(count - at);
  return readable;
}

void TFTPStream::ListingEvent(CFStreamEventType event) {
  switch (event) {
    case kCFStreamEventOpenCompleted: Notify(kFTPNotifyOpened, 0, kNoError); break;
    case kCFStreamEventHasBytesAvailable: {
      CFIndex room = kFTPBufferSize - CFIndex(fPending);
      if (room <= 0) {  // one line fills the whole buffer: no listing line is that long
        End(kFTPNotifyFailed, CFStreamError{kFTPStreamErrorDomain, kFTPErrorUnreadableListing});
        break;
      }
      CFIndex n = CFReadStreamRead(fReadStream, fBuffer + fPending, room);
      if (n < 0) {
        End(kFTPNotifyFailed, CFReadStreamGetError(fReadStream));
      } else if (n > 0 && !ParseListing(CFIndex(fPending) + n)) {
        End(kFTPNotifyFailed, CFStreamError{kFTPStreamErrorDomain, kFTPErrorUnreadableListing});
      }
      break;
    }
    case kCFStreamEventErrorOccurred: End(kFTPNotifyFailed, CFReadStreamGetError(fReadStream)); break;
    case kCFStreamEventEndEncountered:
      // A last line without its line break still counts.
      if (fPending > 0) {
        fBuffer[fPending] = '\n';
        if (!ParseListing(CFIndex(fPending) + 1) || fPending > 0) {
          End(kFTPNotifyFailed, CFStreamError{kFTPStreamErrorDomain, kFTPErrorUnreadableListing});
          break;
        }
      }
      End(kFTPNotifyFinished, kNoError);
      break;
    default: break;
  }
}

void TFTPStream::DownloadEvent(CFStreamEventType event) {
  switch (event) {
    case kCFStreamEventOpenCompleted: {
      fTotalSize = 0;
      CFTypeRef size = CFReadStreamCopyProperty(fReadStream, kCFStreamPropertyFTPResourceSize);
      bool ok = false;
      SInt64 v = NumberValue(size, &ok);
      if (ok && v > 0) fTotalSize = v;
      if (size != nullptr) CFRelease(size);
      Notify(kFTPNotifyOpened, 0, kNoError);
      break;
    }
    case kCFStreamEventHasBytesAvailable: {
      CFIndex n = CFReadStreamRead(fReadStream, fBuffer, kFTPBufferSize);
      if (n < 0) {
        End(kFTPNotifyFailed, CFReadStreamGetError(fReadStream));
        break;
      }
      CFIndex written = 0;
      while (written < n) {
        CFIndex w = CFWriteStreamWrite(fWriteStream, fBuffer + written, n - written);
        if (w <= 0) {
          // The local file took nothing: its error, else an I/O error.
          CFStreamError e = CFWriteStreamGetError(fWriteStream);
          if (e.domain == 0 && e.error == 0) e = CFStreamError{kCFStreamErrorDomainPOSIX, 5};
          End(kFTPNotifyFailed, e);
          return;
        }
        written += w;
      }
      fTransferred += UInt32(written);
      if (n > 0 && fTotalSize > 0) Notify(kFTPNotifyProgress, float(double(fTransferred) / double(fTotalSize)), kNoError);
      break;
    }
    case kCFStreamEventErrorOccurred: End(kFTPNotifyFailed, CFReadStreamGetError(fReadStream)); break;
    case kCFStreamEventEndEncountered: {
      CFWriteStreamClose(fWriteStream);
      if (rename(fTempPath.c_str(), fLocalPath.c_str()) != 0) {
        End(kFTPNotifyFailed, CFStreamError{kCFStreamErrorDomainPOSIX, LocalErrno(errno)});
        break;
      }
      fTempPath.clear();
      End(kFTPNotifyFinished, kNoError);
      break;
    }
    default: break;
  }
}

void TFTPStream::UploadEvent(CFStreamEventType event) {
  switch (event) {
    case kCFStreamEventOpenCompleted: Notify(kFTPNotifyOpened, 0, kNoError); break;
    case kCFStreamEventCanAcceptBytes: {
      if (fEndOfFile && fPending == 0) break;
      bool moved = false;
      if (fPending == 0) {
        CFIndex n = CFReadStreamRead(fReadStream, fBuffer, kFTPBufferSize);
        if (n < 0) {
          End(kFTPNotifyFailed, CFReadStreamGetError(fReadStream));
          break;
        }
        if (n == 0) {
          // All of the file is on its way: the end is told once the server has it.
          fEndOfFile = true;
          CFWriteStreamSetProperty(fWriteStream, kCFStreamPropertyEndOfData, kCFBooleanTrue);
          break;
        }
        fPending = UInt32(n);
        moved = true;
      }
      CFIndex w = CFWriteStreamWrite(fWriteStream, fBuffer, CFIndex(fPending));
      if (w < 0) {
        End(kFTPNotifyFailed, CFWriteStreamGetError(fWriteStream));
        break;
      }
      if (w > 0) {
        fTransferred += UInt32(w);
        memmove(fBuffer, fBuffer + w, size_t(CFIndex(fPending) - w));
        fPending -= UInt32(w);
        moved = true;
      }
      if (moved) {
        float ratio = fTotalSize > 0 ? float(double(fTransferred) / double(fTotalSize)) : 0;
        Notify(kFTPNotifyProgress, ratio, kNoError);
      }
      break;
    }
    case kCFStreamEventErrorOccurred: End(kFTPNotifyFailed, CFWriteStreamGetError(fWriteStream)); break;
    case kCFStreamEventEndEncountered: End(kFTPNotifyFinished, kNoError); break;
    default: break;
  }
}

// --- Fire and forget --------------------------------------------------------------------------------

void SimpleDownload(const Str255& url, const Str255& user, const Str255& password, const FSRef& folder) {
  CFURLRef folderURL = CFURLCreateFromFSRef(nullptr, &folder);
  CFStringRef u = FTPCreateString(url), n = FTPCreateString(user), p = FTPCreateString(password);
  auto* stream = new TFTPStream();
  stream->Download(u, folderURL, n, p);
  for (CFTypeRef r : {CFTypeRef(folderURL), CFTypeRef(u), CFTypeRef(n), CFTypeRef(p)})
    if (r != nullptr) CFRelease(r);
}

void SimpleUpload(const Str255& url, const Str255& user, const Str255& password, const FSRef& file) {
  CFURLRef fileURL = CFURLCreateFromFSRef(nullptr, &file);
  CFStringRef u = FTPCreateString(url), n = FTPCreateString(user), p = FTPCreateString(password);
  auto* stream = new TFTPStream();
  stream->Upload(u, fileURL, n, p);
  for (CFTypeRef r : {CFTypeRef(fileURL), CFTypeRef(u), CFTypeRef(n), CFTypeRef(p)})
    if (r != nullptr) CFRelease(r);
}
