// FTP read and write streams on libcurl's multi interface, driven from the
// GLib main context: libcurl's sockets are GLib fd sources, its timer a GLib
// timeout. A transfer's end is taken from curl_multi_info_read, outside every
// libcurl callback; the stream then tells its client from the run loop.
#include "CFFTPStream.h"

#include <curl/curl.h>
#include <glib-unix.h>
#include <glib.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <map>

#include "CFArray.h"
#include "CFNumber.h"
#include "CFStreamInternal.h"
#include "CFString.h"
#include "CFURL.h"
#include "FTPInternal.h"
#include "SCDynamicStore.h"

const CFStringRef kCFStreamPropertyFTPUserName = CFStringMakeConstantUTF8("kCFStreamPropertyFTPUserName");
const CFStringRef kCFStreamPropertyFTPPassword = CFStringMakeConstantUTF8("kCFStreamPropertyFTPPassword");
const CFStringRef kCFStreamPropertyFTPUsePassiveMode = CFStringMakeConstantUTF8("kCFStreamPropertyFTPUsePassiveMode");
const CFStringRef kCFStreamPropertyFTPAttemptPersistentConnection =
    CFStringMakeConstantUTF8("kCFStreamPropertyFTPAttemptPersistentConnection");
const CFStringRef kCFStreamPropertyFTPFetchResourceInfo =
    CFStringMakeConstantUTF8("kCFStreamPropertyFTPFetchResourceInfo");
const CFStringRef kCFStreamPropertyFTPResourceSize = CFStringMakeConstantUTF8("kCFStreamPropertyFTPResourceSize");
const CFStringRef kCFStreamPropertyFTPProxy = CFStringMakeConstantUTF8("kCFStreamPropertyFTPProxy");

namespace {

// --- Time limits ---------------------------------------------------------------------

long Seconds(const char* name, long fallback) {
  const char* text = getenv(name);
  if (text == nullptr || *text == 0) return fallback;
  char* end = nullptr;
  long v = strtol(text, &end, 10);
  return (end != nullptr && *end == 0 && v > 0 && v < 3600) ? v : fallback;
}
// The seconds a connection may take, and the seconds a transfer may move
// nothing (QUORVEL_FTP_CONNECT_SECONDS and QUORVEL_FTP_STALL_SECONDS change
// them, for tests of hung servers).
long ConnectSeconds() { return Seconds("QUORVEL_FTP_CONNECT_SECONDS", 30); }
long StallSeconds() { return Seconds("QUORVEL_FTP_STALL_SECONDS", 30); }

// --- Strings ------------------------------------------------------------------------

std::string UTF8(CFStringRef s) {
  if (s == nullptr) return "";
  CFIndex n = CFStringGetLength(s);
  CFIndex max = CFStringGetMaximumSizeForEncoding(n, kCFStringEncodingUTF8) + 1;
  std::string out(size_t(max), '\0');
  if (!CFStringGetCString(s, out.data(), max, kCFStringEncodingUTF8)) return "";
  out.resize(strlen(out.c_str()));
  return out;
}

// A URL segment with its escapes decoded by the URL functions; escapes
// that are not UTF-8 give their bytes as they are.
std::string Decode(const std::string& s) {
  CFStringRef text = CFStringCreateWithBytes(nullptr, reinterpret_cast<const UInt8*>(s.data()), CFIndex(s.size()),
                                             kCFStringEncodingUTF8, false);
  if (text == nullptr) return s;
  std::string out = s;
  CFStringRef all = CFStringCreateWithCString(nullptr, "", kCFStringEncodingUTF8);
  for (CFStringEncoding encoding : {kCFStringEncodingUTF8, kCFStringEncodingISOLatin1}) {
    CFStringRef decoded = CFURLCreateStringByReplacingPercentEscapesUsingEncoding(nullptr, text, all, encoding);
    if (decoded == nullptr) continue;
    CFIndex length = CFStringGetLength(decoded), used = 0;
    CFStringGetBytes(decoded, CFRangeMake(0, length), encoding, 0, false, nullptr, 0, &used);
    std::string bytes(static_cast<size_t>(used), '\0');
    CFStringGetBytes(decoded, CFRangeMake(0, length), encoding, 0, false, reinterpret_cast<UInt8*>(bytes.data()),
                     used, &used);
    CFRelease(decoded);
    out = bytes;
    break;
  }
  CFRelease(all);
  CFRelease(text);
  return out;
}

std::string EncodeSegment(const std::string& raw) {
  static const char* hex = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : raw) {
    if (isalnum(c) || strchr("-._~!$&'()*+,=:@", c) != nullptr) {
      out += char(c);
    } else {
      out += '%';
      out += hex[c >> 4];
      out += hex[c & 15];
    }
  }
  return out;
}

bool HasControl(const std::string& s) {
  for (unsigned char c : s)
    if (c < 0x20 || c == 0x7f) return true;
  return false;
}

// --- The multi handle on the main context -----------------------------------------------

struct FTPTransfer;

struct Driver {
  CURLM* multi = nullptr;
  std::map<curl_socket_t, guint> sources;
  guint timer = 0;
};

Driver& TheDriver();
void CheckDone();

gboolean OnSocket(gint fd, GIOCondition cond, gpointer) {
  int ev = 0;
  if (cond & G_IO_IN) ev |= CURL_CSELECT_IN;
  if (cond & G_IO_OUT) ev |= CURL_CSELECT_OUT;
  if (cond & (G_IO_ERR | G_IO_HUP)) ev |= CURL_CSELECT_ERR;
  int running = 0;
  curl_multi_socket_action(TheDriver().multi, fd, ev, &running);
  CheckDone();
  return G_SOURCE_CONTINUE;  // a source libcurl gave up meanwhile is already destroyed
}

gboolean OnTimer(gpointer) {
  Driver& d = TheDriver();
  d.timer = 0;
  int running = 0;
  curl_multi_socket_action(d.multi, CURL_SOCKET_TIMEOUT, 0, &running);
  CheckDone();
  return G_SOURCE_REMOVE;
}

int SocketCallback(CURL*, curl_socket_t s, int what, void*, void*) {
  Driver& d = TheDriver();
  auto it = d.sources.find(s);
  if (it != d.sources.end()) {
    g_source_remove(it->second);
    d.sources.erase(it);
  }
  if (what == CURL_POLL_REMOVE) return 0;
  int cond = G_IO_ERR | G_IO_HUP;
  if (what & CURL_POLL_IN) cond |= G_IO_IN;
  if (what & CURL_POLL_OUT) cond |= G_IO_OUT;
  d.sources[s] = g_unix_fd_add_full(G_PRIORITY_DEFAULT, s, GIOCondition(cond), OnSocket, nullptr, nullptr);
  return 0;
}

int TimerCallback(CURLM*, long timeoutMs, void*) {
  Driver& d = TheDriver();
  if (d.timer != 0) g_source_remove(d.timer);
  d.timer = 0;
  if (timeoutMs >= 0) d.timer = g_timeout_add_full(G_PRIORITY_DEFAULT, guint(timeoutMs), OnTimer, nullptr, nullptr);
  return 0;
}

Driver& TheDriver() {
  static Driver* d = [] {
    curl_global_init(CURL_GLOBAL_DEFAULT);
    auto* driver = new Driver();
    driver->multi = curl_multi_init();
    curl_multi_setopt(driver->multi, CURLMOPT_SOCKETFUNCTION, SocketCallback);
    curl_multi_setopt(driver->multi, CURLMOPT_TIMERFUNCTION, TimerCallback);
    return driver;
  }();
  return *d;
}

// --- One transfer -------------------------------------------------------------------

constexpr size_t kBufferLimit = 65536;  // bytes held between libcurl and the client

struct FTPTransfer {
  FTPTransfer(__CFStreamCommon* o, std::string u, bool up) : owner(o), url(std::move(u)), upload(up) {}
  ~FTPTransfer() { Stop(); }

  bool Start();
  void Stop();
  void Finished(CURLcode code);
  void Resume() {
    if (easy != nullptr && paused && !done) {
      paused = false;
      curl_easy_pause(easy, CURLPAUSE_CONT);
    }
  }
  void Opened() {
    if (openedTold) return;
    openedTold = true;
    owner->MarkOpened();
  }
  size_t Buffered() const { return buffer.size() - readPos; }
  void Consume(size_t n) {
    readPos += n;
    if (readPos == buffer.size()) {
      buffer.clear();
      readPos = 0;
    }
  }

  static int Prereq(void* self, char*, char*, int, int) {
    auto* t = static_cast<FTPTransfer*>(self);
    t->loggedIn = true;
    if (!t->awaitSize) t->Opened();
    return CURL_PREREQFUNC_OK;
  }
  static size_t Received(char* data, size_t, size_t n, void* self) {
    auto* t = static_cast<FTPTransfer*>(self);
    if (t->Buffered() > 0 && t->Buffered() + n > kBufferLimit) {
      t->paused = true;
      return CURL_WRITEFUNC_PAUSE;
    }
    t->buffer.append(data, n);
    t->Opened();  // the size is known once the data comes
    t->owner->Wake();
    return n;
  }
  // Every reply line of the server comes here; the last refusal (4xx, 5xx) is kept.
  static size_t Reply(char* line, size_t, size_t n, void* self) {
    auto* t = static_cast<FTPTransfer*>(self);
    if (n >= 4 && isdigit(static_cast<unsigned char>(line[0])) && isdigit(static_cast<unsigned char>(line[1])) &&
        isdigit(static_cast<unsigned char>(line[2])) && line[3] == ' ' && (line[0] == '4' || line[0] == '5'))
      t->lastRefusal = (line[0] - '0') * 100 + (line[1] - '0') * 10 + (line[2] - '0');
    return n;
  }
  static size_t Send(char* data, size_t, size_t n, void* self) {
    auto* t = static_cast<FTPTransfer*>(self);
    size_t have = t->Buffered();
    if (have == 0) {
      if (t->endOfData) return 0;
      t->paused = true;
      return CURL_READFUNC_PAUSE;
    }
    size_t k = have < n ? have : n;
    memcpy(data, t->buffer.data() + t->readPos, k);
    t->Consume(k);
    t->owner->Wake();  // room again for the writer
    return k;
  }

  __CFStreamCommon* owner;
  std::string url;
  bool upload;
  CURL* easy = nullptr;
  bool added = false;
  std::string buffer;
  size_t readPos = 0;
  bool paused = false;
  bool loggedIn = false;
  bool openedTold = false;
  bool awaitSize = false;
  bool endOfData = false;
  bool done = false;
  bool ok = false;
  long lastRefusal = 0;
  curl_off_t size = -1;
};

std::map<CURL*, FTPTransfer*>& Transfers() {
  static auto* m = new std::map<CURL*, FTPTransfer*>();
  return *m;
}

void CheckDone() {
  Driver& d = TheDriver();
  int left = 0;
  while (CURLMsg* msg = curl_multi_info_read(d.multi, &left)) {
    if (msg->msg != CURLMSG_DONE) continue;
    auto it = Transfers().find(msg->easy_handle);
    if (it != Transfers().end()) {
      it->second->Finished(msg->data.result);
    } else {
      curl_multi_remove_handle(d.multi, msg->easy_handle);
    }
  }
}

CFStringRef StringProperty(__CFStreamCommon* s, CFStringRef key) {
  if (s->properties == nullptr) return nullptr;
  CFTypeRef v = CFDictionaryGetValue(s->properties, key);
  return (v != nullptr && CFGetTypeID(v) == CFStringGetTypeID()) ? static_cast<CFStringRef>(v) : nullptr;
}

bool BooleanProperty(__CFStreamCommon* s, CFStringRef key, bool fallback) {
  if (s->properties == nullptr) return fallback;
  CFTypeRef v = CFDictionaryGetValue(s->properties, key);
  if (v == nullptr) return fallback;
  if (CFGetTypeID(v) == CFBooleanGetTypeID()) return CFBooleanGetValue(static_cast<CFBooleanRef>(v));
  if (CFGetTypeID(v) == CFNumberGetTypeID()) {
    SInt32 n = 0;
    CFNumberGetValue(static_cast<CFNumberRef>(v), kCFNumberSInt32Type, &n);
    return n != 0;
  }
  return fallback;
}

long DictNumber(CFDictionaryRef d, CFStringRef key) {
  CFTypeRef v = CFDictionaryGetValue(d, key);
  SInt32 n = 0;
  if (v != nullptr && CFGetTypeID(v) == CFNumberGetTypeID())
    CFNumberGetValue(static_cast<CFNumberRef>(v), kCFNumberSInt32Type, &n);
  return n;
}

std::string DictString(CFDictionaryRef d, CFStringRef key) {
  CFTypeRef v = CFDictionaryGetValue(d, key);
  return (v != nullptr && CFGetTypeID(v) == CFStringGetTypeID()) ? UTF8(static_cast<CFStringRef>(v)) : "";
}

// The proxy of the settings dictionary, and the hosts that go around it.
void ApplyProxy(CURL* easy, CFDictionaryRef proxies) {
  std::string proxy, exceptions;
  if (proxies != nullptr && CFGetTypeID(proxies) == CFDictionaryGetTypeID()) {
    if (DictNumber(proxies, kSCPropNetProxiesFTPEnable) != 0) {
      std::string host = DictString(proxies, kSCPropNetProxiesFTPProxy);
      long port = DictNumber(proxies, kSCPropNetProxiesFTPPort);
      // An HTTP proxy must tunnel, or it would answer a listing with a web page.
      if (!host.empty()) {
        proxy = "http://" + host + ":" + std::to_string(port > 0 ? port : 80);
        curl_easy_setopt(easy, CURLOPT_HTTPPROXYTUNNEL, 1L);
      }
    } else if (DictNumber(proxies, kSCPropNetProxiesSOCKSEnable) != 0) {
      std::string host = DictString(proxies, kSCPropNetProxiesSOCKSProxy);
      long port = DictNumber(proxies, kSCPropNetProxiesSOCKSPort);
      if (!host.empty()) proxy = "socks5h://" + host + ":" + std::to_string(port > 0 ? port : 1080);
    }
    CFTypeRef list = CFDictionaryGetValue(proxies, kSCPropNetProxiesExceptionsList);
    if (list != nullptr && CFGetTypeID(list) == CFArrayGetTypeID()) {
      auto* array = static_cast<CFArrayRef>(list);
      for (CFIndex i = 0; i < CFArrayGetCount(array); ++i) {
        CFTypeRef item = CFArrayGetValueAtIndex(array, i);
        if (item == nullptr || CFGetTypeID(item) != CFStringGetTypeID()) continue;
        if (!exceptions.empty()) exceptions += ",";
        exceptions += UTF8(static_cast<CFStringRef>(item));
      }
    }
  }
  // An empty proxy goes direct: the stream never reads the environment itself.
  curl_easy_setopt(easy, CURLOPT_PROXY, proxy.c_str());
  if (!exceptions.empty()) curl_easy_setopt(easy, CURLOPT_NOPROXY, exceptions.c_str());
}

bool FTPTransfer::Start() {
  std::string transferURL, user, password;
  if (!__CFFTPTransferURL(url, transferURL, user, password)) {
    owner->Fail(kCFStreamErrorDomainFTP, 501);
    return false;
  }
  if (CFStringRef u = StringProperty(owner, kCFStreamPropertyFTPUserName)) {
    user = UTF8(u);
    password.clear();
    if (CFStringRef p = StringProperty(owner, kCFStreamPropertyFTPPassword)) password = UTF8(p);
  }
  easy = curl_easy_init();
  if (easy == nullptr) {
    owner->Fail(kCFStreamErrorDomainPOSIX, 12);
    return false;
  }
  curl_easy_setopt(easy, CURLOPT_URL, transferURL.c_str());
  curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "ftp");
  curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(easy, CURLOPT_PRIVATE, this);
  // Without a user name the login is anonymous, libcurl's default.
  if (!user.empty()) {
    curl_easy_setopt(easy, CURLOPT_USERNAME, user.c_str());
    curl_easy_setopt(easy, CURLOPT_PASSWORD, password.c_str());
  }
  const long stall = StallSeconds();
  curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT, ConnectSeconds());
  curl_easy_setopt(easy, CURLOPT_SERVER_RESPONSE_TIMEOUT, stall);
  curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, stall);
  // Passive is libcurl's default (EPSV, then PASV); active mode lets the
  // system pick the address.
  if (!BooleanProperty(owner, kCFStreamPropertyFTPUsePassiveMode, true)) curl_easy_setopt(easy, CURLOPT_FTPPORT, "-");
  if (!BooleanProperty(owner, kCFStreamPropertyFTPAttemptPersistentConnection, false)) {
    curl_easy_setopt(easy, CURLOPT_FRESH_CONNECT, 1L);
    curl_easy_setopt(easy, CURLOPT_FORBID_REUSE, 1L);
  }
  ApplyProxy(easy, owner->properties ? static_cast<CFDictionaryRef>(
                                           CFDictionaryGetValue(owner->properties, kCFStreamPropertyFTPProxy))
                                     : nullptr);
  curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &FTPTransfer::Reply);
  curl_easy_setopt(easy, CURLOPT_HEADERDATA, this);
  curl_easy_setopt(easy, CURLOPT_PREREQFUNCTION, &FTPTransfer::Prereq);
  curl_easy_setopt(easy, CURLOPT_PREREQDATA, this);
  if (upload) {
    curl_easy_setopt(easy, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(easy, CURLOPT_READFUNCTION, &FTPTransfer::Send);
    curl_easy_setopt(easy, CURLOPT_READDATA, this);
  } else {
    awaitSize = BooleanProperty(owner, kCFStreamPropertyFTPFetchResourceInfo, false);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &FTPTransfer::Received);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, this);
  }
  Transfers()[easy] = this;
  if (curl_multi_add_handle(TheDriver().multi, easy) != CURLM_OK) {
    Stop();
    owner->Fail(kCFStreamErrorDomainPOSIX, 12);
    return false;
  }
  added = true;
  return true;
}

void FTPTransfer::Stop() {
  if (easy == nullptr) return;
  if (added) curl_multi_remove_handle(TheDriver().multi, easy);
  added = false;
  Transfers().erase(easy);
  curl_easy_cleanup(easy);
  easy = nullptr;
}

void FTPTransfer::Finished(CURLcode code) {
  done = true;
  if (added) curl_multi_remove_handle(TheDriver().multi, easy);
  added = false;
  curl_off_t length = -1;
  if (curl_easy_getinfo(easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length) == CURLE_OK && length >= 0) size = length;
  if (code == CURLE_OK) {
    ok = true;
    if (loggedIn) Opened();
    owner->Wake();
    return;
  }
  // The server's refusal, not the reply to the QUIT that followed it.
  long reply = lastRefusal, os = 0;
  if (reply == 0) curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &reply);
  curl_easy_getinfo(easy, CURLINFO_OS_ERRNO, &os);
  CFStreamError e = __CFFTPStreamError(code, reply, os);
  owner->Fail(e.domain, e.error);
}

// --- The two streams ----------------------------------------------------------------------

struct FTPReadStream : __CFReadStream {
  explicit FTPReadStream(std::string url) : transfer(this, std::move(url), false) {}
  bool DoOpen() override { return transfer.Start(); }
  void DoClose() override { transfer.Stop(); }
  bool Ready() override { return transfer.Buffered() > 0; }
  bool Ended() override { return transfer.done && transfer.ok && transfer.Buffered() == 0; }
  CFIndex Read(UInt8* out, CFIndex length) override {
    size_t n = transfer.Buffered();
    if (length <= 0 || n == 0) return 0;
    if (size_t(length) < n) n = size_t(length);
    memcpy(out, transfer.buffer.data() + transfer.readPos, n);
    transfer.Consume(n);
    if (transfer.Buffered() < kBufferLimit / 2) transfer.Resume();
    Rearm();
    return CFIndex(n);
  }
  CFTypeRef CopyProperty(CFStringRef name) override {
    if (name != nullptr && CFEqual(name, kCFStreamPropertyFTPResourceSize)) {
      curl_off_t length = transfer.size;
      if (length < 0 && transfer.easy != nullptr)
        curl_easy_getinfo(transfer.easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
      if (length < 0) return nullptr;
      SInt64 v = length;
      return CFNumberCreate(nullptr, kCFNumberSInt64Type, &v);
    }
    return __CFReadStream::CopyProperty(name);
  }
  FTPTransfer transfer;
};

struct FTPWriteStream : __CFWriteStream {
  explicit FTPWriteStream(std::string url) : transfer(this, std::move(url), true) {}
  bool DoOpen() override { return transfer.Start(); }
  void DoClose() override { transfer.Stop(); }
  bool Ready() override { return !transfer.endOfData && transfer.Buffered() < kBufferLimit; }
  bool Ended() override { return transfer.done && transfer.ok; }
  CFIndex Write(const UInt8* data, CFIndex length) override {
    if (transfer.endOfData || transfer.done) return -1;
    size_t room = kBufferLimit - std::min(kBufferLimit, transfer.Buffered());
    size_t n = std::min(room, size_t(length));
    if (n == 0) return 0;
    transfer.buffer.append(reinterpret_cast<const char*>(data), n);
    transfer.Resume();
    Rearm();
    return CFIndex(n);
  }
  bool SetProperty(CFStringRef name, CFTypeRef value) override {
    if (name != nullptr && CFEqual(name, kCFStreamPropertyEndOfData)) {
      if (value != nullptr && CFGetTypeID(value) == CFBooleanGetTypeID() &&
          CFBooleanGetValue(static_cast<CFBooleanRef>(value))) {
        transfer.endOfData = true;
        transfer.Resume();
      }
      return true;
    }
    return __CFWriteStream::SetProperty(name, value);
  }
  FTPTransfer transfer;
};

std::string URLText(CFURLRef url) {
  if (url == nullptr) return "";
  CFURLRef absolute = CFURLCopyAbsoluteURL(url);
  std::string text = UTF8(CFURLGetString(absolute != nullptr ? absolute : url));
  if (absolute != nullptr) CFRelease(absolute);
  return text;
}

}  // namespace

// --- URLs and errors -------------------------------------------------------------------------

bool __CFFTPTransferURL(const std::string& url, std::string& transferURL, std::string& user, std::string& password) {
  user.clear();
  password.clear();
  if (url.size() < 6 || g_ascii_strncasecmp(url.c_str(), "ftp://", 6) != 0) return false;
  size_t start = 6;
  size_t slash = url.find('/', start);
  std::string authority = url.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
  std::string path = slash == std::string::npos ? "/" : url.substr(slash);
  size_t at = authority.rfind('@');
  if (at != std::string::npos) {
    std::string info = authority.substr(0, at);
    authority = authority.substr(at + 1);
    size_t colon = info.find(':');
    user = Decode(info.substr(0, colon));
    if (colon != std::string::npos) password = Decode(info.substr(colon + 1));
  }
  if (authority.empty() || HasControl(authority) || authority.find_first_of(" \"<>\\^`{|}%") != std::string::npos)
    return false;
  std::string encoded;
  size_t pos = 0;
  while (pos <= path.size()) {
    size_t next = path.find('/', pos);
    std::string segment = Decode(path.substr(pos, next == std::string::npos ? std::string::npos : next - pos));
    if (segment.find_first_of(std::string("\r\n\0", 3)) != std::string::npos) return false;
    encoded += EncodeSegment(segment);
    if (next == std::string::npos) break;
    encoded += '/';
    pos = next + 1;
  }
  transferURL = "ftp://" + authority + encoded;
  return true;
}

CFStreamError __CFFTPStreamError(int code, long reply, long os) {
  switch (code) {
    case CURLE_OPERATION_TIMEDOUT: return {kCFStreamErrorDomainPOSIX, 60};
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY: return {kCFStreamErrorDomainNetDB, 8};
    case CURLE_COULDNT_CONNECT:
      return {kCFStreamErrorDomainPOSIX, os != 0 ? __CFBSDErrno(int(os)) : 61};
    case CURLE_SEND_ERROR:
      return {kCFStreamErrorDomainPOSIX, os != 0 ? __CFBSDErrno(int(os)) : 32};
    case CURLE_RECV_ERROR:
    case CURLE_GOT_NOTHING:
      return {kCFStreamErrorDomainPOSIX, os != 0 ? __CFBSDErrno(int(os)) : 54};
    default: break;
  }
  // Every other failure that came with a reply of the server names it.
  if (reply >= 400 && reply < 1000) return {kCFStreamErrorDomainFTP, SInt32(reply)};
  switch (code) {
    case CURLE_LOGIN_DENIED: return {kCFStreamErrorDomainFTP, 530};
    case CURLE_REMOTE_FILE_NOT_FOUND:
    case CURLE_REMOTE_ACCESS_DENIED: return {kCFStreamErrorDomainFTP, 550};
    case CURLE_REMOTE_DISK_FULL: return {kCFStreamErrorDomainFTP, 552};
    case CURLE_UPLOAD_FAILED: return {kCFStreamErrorDomainFTP, 451};
    case CURLE_URL_MALFORMAT: return {kCFStreamErrorDomainFTP, 501};
    default: return {kCFStreamErrorDomainCustom, SInt32(code)};
  }
}

// --- Streams ------------------------------------------------------------------------------

CFReadStreamRef CFReadStreamCreateWithFTPURL(CFAllocatorRef, CFURLRef ftpURL) {
  std::string text = URLText(ftpURL);
  std::string transferURL, user, password;
  if (!__CFFTPTransferURL(text, transferURL, user, password)) return nullptr;
  auto* s = new FTPReadStream(text);
  return reinterpret_cast<CFReadStreamRef>(static_cast<__CFRuntimeBase*>(s));
}

CFWriteStreamRef CFWriteStreamCreateWithFTPURL(CFAllocatorRef, CFURLRef ftpURL) {
  std::string text = URLText(ftpURL);
  std::string transferURL, user, password;
  if (!__CFFTPTransferURL(text, transferURL, user, password)) return nullptr;
  auto* s = new FTPWriteStream(text);
  return reinterpret_cast<CFWriteStreamRef>(static_cast<__CFRuntimeBase*>(s));
}
