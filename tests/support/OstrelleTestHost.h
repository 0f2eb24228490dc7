// The Ostrelle bundle bound by name as the program binds it, and a host of
// its events that logs them (with what they carry) and answers as told.
#pragma once

#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "CFBundle.h"
#include "CFDictionary.h"
#include "CFString.h"
#include "CFURL.h"
#include "CGImage.h"
#include "HIObject.h"
#include "Ostrelle.h"

namespace ostrelle_test {

inline std::string UTF8(CFStringRef s) {
  if (s == nullptr) return "(nil)";
  char buffer[8192];
  return CFStringGetCString(s, buffer, sizeof buffer, kCFStringEncodingUTF8) ? buffer : "(long)";
}

inline std::string URLText(CFURLRef url) { return url ? UTF8(CFURLGetString(url)) : "(nil)"; }

inline CFStringRef CF(const std::string& s) { return CFStringCreateWithCString(nullptr, s.c_str(), kCFStringEncodingUTF8); }

inline std::string Code(UInt32 c) {
  std::string s(4, ' ');
  for (int i = 0; i < 4; ++i) s[size_t(i)] = char((c >> (24 - 8 * i)) & 0xFF);
  return s;
}

// The nine functions and the stand-in's, bound as the program binds them.
struct Ostrelle {
  WebKitInitCarbonProc init = nullptr;
  WebKitCreateHIViewProc create = nullptr;
  WebKitLoadURLProc load = nullptr;
  WebKitViewProc reload = nullptr, stop = nullptr, back = nullptr, forward = nullptr;
  WebKitCanGoProc canGoBack = nullptr, canGoForward = nullptr;
  const char* (*calls)(HIViewRef) = nullptr;
  void (*hover)(HIViewRef, const char*, const char*) = nullptr;
  void (*setTitle)(HIViewRef, const char*) = nullptr;
  int (*dialog)(HIViewRef, int, const char*) = nullptr;
  void (*clickFileButton)(HIViewRef) = nullptr;
  const char* (*chosenFile)(HIViewRef) = nullptr;
  int (*openWindow)(HIViewRef, const char*) = nullptr;
};

inline Ostrelle Bind() {
  Ostrelle o;
  const std::string path = std::string(getenv("QUORVEL_BUNDLE")) + "/Contents/Frameworks/Ostrelle.bundle";
  CFURLRef url = CFURLCreateFromFileSystemRepresentation(nullptr, reinterpret_cast<const UInt8*>(path.c_str()),
                                                         CFIndex(path.size()), true);
  CFBundleRef bundle = CFBundleCreate(nullptr, url);
  CFRelease(url);
  EXPECT_NE(bundle, nullptr) << path;
  if (bundle == nullptr || !CFBundleLoadExecutable(bundle)) {
    ADD_FAILURE() << "the bundle does not load";
    return o;
  }
  auto fn = [&](const char* name) {
    CFStringRef n = CF(name);
    void* p = CFBundleGetFunctionPointerForName(bundle, n);
    CFRelease(n);
    EXPECT_NE(p, nullptr) << name;
    return p;
  };
  o.init = reinterpret_cast<WebKitInitCarbonProc>(fn("WebKitInitCarbon"));
  o.create = reinterpret_cast<WebKitCreateHIViewProc>(fn("WebKitCreateHIView"));
  o.load = reinterpret_cast<WebKitLoadURLProc>(fn("WebKitLoadURL"));
  o.reload = reinterpret_cast<WebKitViewProc>(fn("WebKitReload"));
  o.stop = reinterpret_cast<WebKitViewProc>(fn("WebKitStopLoading"));
  o.back = reinterpret_cast<WebKitViewProc>(fn("WebKitGoBack"));
  o.forward = reinterpret_cast<WebKitViewProc>(fn("WebKitGoForward"));
  o.canGoBack = reinterpret_cast<WebKitCanGoProc>(fn("WebKitCanGoBack"));
  o.canGoForward = reinterpret_cast<WebKitCanGoProc>(fn("WebKitCanGoForward"));
  o.calls = reinterpret_cast<const char* (*)(HIViewRef)>(fn("OstrelleStandInCalls"));
  o.hover = reinterpret_cast<void (*)(HIViewRef, const char*, const char*)>(fn("OstrelleStandInHover"));
  o.setTitle = reinterpret_cast<void (*)(HIViewRef, const char*)>(fn("OstrelleStandInSetTitle"));
  o.dialog = reinterpret_cast<int (*)(HIViewRef, int, const char*)>(fn("OstrelleStandInScriptDialog"));
  o.clickFileButton = reinterpret_cast<void (*)(HIViewRef)>(fn("OstrelleStandInClickFileButton"));
  o.chosenFile = reinterpret_cast<const char* (*)(HIViewRef)>(fn("OstrelleStandInChosenFile"));
  o.openWindow = reinterpret_cast<int (*)(HIViewRef, const char*)>(fn("OstrelleStandInOpenWindow"));
  return o;
}

// A host of the events: logs each with what it carries, and answers the
// questions as told.
struct Host {
  std::vector<std::string> log;
  bool answerIDs = true;          // 'WBRL' 1: the URL's text as the identifier
  HIViewRef newView = nullptr;    // 'WBWO' 1
  OSStatus createStatus = noErr;  // what the 'WBWO' 1 handler returns
};

inline OSStatus Record(EventHandlerCallRef, EventRef event, void* data) {
  auto* host = static_cast<Host*>(data);
  const EventClass cls = GetEventClass(event);
  const EventKind kind = GetEventKind(event);
  std::string line = Code(cls) + " " + std::to_string(kind);
  CFTypeRef id = nullptr;
  if (GetEventParameter(event, kEventParamWebResourceID, typeCFTypeRef, nullptr, sizeof id, nullptr, &id) == noErr)
    line += " id=" + (id ? UTF8(static_cast<CFStringRef>(id)) : std::string("(nil)"));
  CFStringRef title = nullptr;
  if (GetEventParameter(event, kEventParamWebTitle, typeCFStringRef, nullptr, sizeof title, nullptr, &title) == noErr)
    line += " title=" + UTF8(title);
  CGImageRef icon = nullptr;
  if (GetEventParameter(event, kEventParamWebIcon, typeCGImageRef, nullptr, sizeof icon, nullptr, &icon) == noErr)
    line += " icon=" + std::to_string(CGImageGetWidth(icon)) + "x" + std::to_string(CGImageGetHeight(icon));
  UInt32 length = 0;
  if (GetEventParameter(event, kEventParamWebContentLength, typeUInt32, nullptr, sizeof length, nullptr, &length) ==
      noErr)
    line += " len=" + std::to_string(length);
  void* error = nullptr;
  if (GetEventParameter(event, kEventParamWebError, typeWebError, nullptr, sizeof error, nullptr, &error) == noErr)
    line += error ? " error" : " error=(nil)";
  CFDictionaryRef element = nullptr;
  if (GetEventParameter(event, kEventParamWebElement, typeCFDictionaryRef, nullptr, sizeof element, nullptr,
                        &element) == noErr) {
    for (const char* key : {kWebElementLinkURLKey, kWebElementImageURLKey}) {
      CFStringRef k = CF(key);
      auto value = static_cast<CFURLRef>(CFDictionaryGetValue(element, k));
      CFRelease(k);
      if (value != nullptr) line += std::string(" ") + key + "=" + URLText(value);
    }
  }
  CFURLRef url = nullptr;
  if (GetEventParameter(event, kEventParamWebURL, typeCFURLRef, nullptr, sizeof url, nullptr, &url) == noErr) {
    line += " url=" + URLText(url);
    if (cls == kEventClassWebResourceLoad && kind == kEventWebResourceIdentifierForInitialRequest && host->answerIDs) {
      CFTypeRef answer = CFURLGetString(url);
      SetEventParameter(event, kEventParamWebResourceID, typeCFTypeRef, sizeof answer, &answer);
    }
  }
  host->log.push_back(line);
  if (cls == kEventClassWebWindow && kind == kEventWebWindowCreateWebView) {
    if (host->newView != nullptr)
      SetEventParameter(event, kEventParamWebNewView, typeWebView, sizeof host->newView, &host->newView);
    return host->createStatus;
  }
  return noErr;
}

inline void Listen(HIViewRef view, Host* host) {
  std::vector<EventTypeSpec> kinds;
  for (EventKind k = 1; k <= 10; ++k) kinds.push_back({kEventClassWebFrameLoad, k});
  for (EventKind k = 1; k <= 7; ++k) kinds.push_back({kEventClassWebResourceLoad, k});
  for (EventKind k = 1; k <= 11; ++k) kinds.push_back({kEventClassWebWindow, k});
  InstallEventHandler(HIObjectGetEventTarget(reinterpret_cast<HIObjectRef>(view)), Record, ItemCount(kinds.size()),
                      kinds.data(), host, nullptr);
}

}  // namespace ostrelle_test
