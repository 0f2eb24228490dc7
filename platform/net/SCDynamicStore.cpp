// The proxy settings, from the environment as Linux programs keep them.
#include "SCDynamicStore.h"

#include <cstdlib>
#include <string>

#include "CFArray.h"
#include "CFNumber.h"
#include "CFString.h"

const CFStringRef kSCPropNetProxiesFTPPassive = CFStringMakeConstantUTF8("FTPPassive");
const CFStringRef kSCPropNetProxiesFTPEnable = CFStringMakeConstantUTF8("FTPEnable");
const CFStringRef kSCPropNetProxiesFTPProxy = CFStringMakeConstantUTF8("FTPProxy");
const CFStringRef kSCPropNetProxiesFTPPort = CFStringMakeConstantUTF8("FTPPort");
const CFStringRef kSCPropNetProxiesSOCKSEnable = CFStringMakeConstantUTF8("SOCKSEnable");
const CFStringRef kSCPropNetProxiesSOCKSProxy = CFStringMakeConstantUTF8("SOCKSProxy");
const CFStringRef kSCPropNetProxiesSOCKSPort = CFStringMakeConstantUTF8("SOCKSPort");
const CFStringRef kSCPropNetProxiesExceptionsList = CFStringMakeConstantUTF8("ExceptionsList");

namespace {

std::string Env(const char* lower, const char* upper) {
  const char* v = getenv(lower);
  if (v == nullptr || *v == 0) v = getenv(upper);
  return v != nullptr ? v : "";
}

void PutNumber(CFMutableDictionaryRef d, CFStringRef key, SInt32 value) {
  CFNumberRef n = CFNumberCreate(nullptr, kCFNumberSInt32Type, &value);
  CFDictionarySetValue(d, key, n);
  CFRelease(n);
}

void PutString(CFMutableDictionaryRef d, CFStringRef key, const std::string& value) {
  CFStringRef s = CFStringCreateWithCString(nullptr, value.c_str(), kCFStringEncodingUTF8);
  if (s == nullptr) return;
  CFDictionarySetValue(d, key, s);
  CFRelease(s);
}

std::string Trim(const std::string& s) {
  size_t b = s.find_first_not_of(" \t"), e = s.find_last_not_of(" \t");
  return b == std::string::npos ? "" : s.substr(b, e - b + 1);
}

// "[scheme://][user[:password]@]host[:port][/]": the scheme, host and port.
bool ParseProxy(std::string text, std::string& scheme, std::string& host, SInt32& port) {
  text = Trim(text);
  scheme = "http";
  size_t sep = text.find("://");
  if (sep != std::string::npos) {
    scheme = text.substr(0, sep);
    for (char& c : scheme) c = char(tolower(static_cast<unsigned char>(c)));
    text = text.substr(sep + 3);
  }
  size_t slash = text.find('/');
  if (slash != std::string::npos) text = text.substr(0, slash);
  size_t at = text.rfind('@');
  if (at != std::string::npos) text = text.substr(at + 1);
  port = 0;
  size_t colon = text.rfind(':');
  size_t bracket = text.rfind(']');
  if (colon != std::string::npos && (bracket == std::string::npos || colon > bracket)) {
    port = SInt32(atoi(text.c_str() + colon + 1));
    text = text.substr(0, colon);
  }
  host = text;
  if (host.empty()) return false;
  if (port <= 0 || port > 65535) port = scheme.rfind("socks", 0) == 0 ? 1080 : scheme == "https" ? 443 : 80;
  return true;
}

}  // namespace

CFDictionaryRef SCDynamicStoreCopyProxies(SCDynamicStoreRef) {
  CFMutableDictionaryRef d =
      CFDictionaryCreateMutable(nullptr, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
  // Linux has no system setting for passive mode: always passive.
  PutNumber(d, kSCPropNetProxiesFTPPassive, 1);
  PutNumber(d, kSCPropNetProxiesFTPEnable, 0);
  PutNumber(d, kSCPropNetProxiesSOCKSEnable, 0);
  std::string proxy = Env("ftp_proxy", "FTP_PROXY");
  if (proxy.empty()) proxy = Env("all_proxy", "ALL_PROXY");
  std::string scheme, host;
  SInt32 port = 0;
  if (!proxy.empty() && ParseProxy(proxy, scheme, host, port)) {
    if (scheme.rfind("socks", 0) == 0) {
      PutNumber(d, kSCPropNetProxiesSOCKSEnable, 1);
      PutString(d, kSCPropNetProxiesSOCKSProxy, host);
      PutNumber(d, kSCPropNetProxiesSOCKSPort, port);
    } else {
      PutNumber(d, kSCPropNetProxiesFTPEnable, 1);
      PutString(d, kSCPropNetProxiesFTPProxy, host);
      PutNumber(d, kSCPropNetProxiesFTPPort, port);
    }
  }
  std::string exceptions = Env("no_proxy", "NO_PROXY");
  if (!exceptions.empty()) {
    CFMutableArrayRef list = CFArrayCreateMutable(nullptr, 0, &kCFTypeArrayCallBacks);
    size_t pos = 0;
    while (pos <= exceptions.size()) {
      size_t comma = exceptions.find(',', pos);
      std::string item = Trim(exceptions.substr(pos, comma == std::string::npos ? std::string::npos : comma - pos));
      if (!item.empty()) {
        CFStringRef s = CFStringCreateWithCString(nullptr, item.c_str(), kCFStringEncodingUTF8);
        if (s != nullptr) {
          CFArrayAppendValue(list, s);
          CFRelease(s);
        }
      }
      if (comma == std::string::npos) break;
      pos = comma + 1;
    }
    CFDictionarySetValue(d, kSCPropNetProxiesExceptionsList, list);
    CFRelease(list);
  }
  return d;
}
