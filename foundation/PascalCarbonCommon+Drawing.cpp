// Styled-text colours on a context, and opening a URL with a chosen application.
#include "CFArray.h"
#include "CFURL.h"
#include "LaunchServices.h"
#include "PascalCarbonCommon.h"

void CGContextSetATSUFillColor(CGContextRef context, const ATSURGBAlphaColor& color) {
  CGContextSetRGBFillColor(context, color.red, color.green, color.blue, color.alpha);
}

void CGContextSetATSUStrokeColor(CGContextRef context, const ATSURGBAlphaColor& color) {
  CGContextSetRGBStrokeColor(context, color.red, color.green, color.blue, color.alpha);
}

void LSOpenURLWithApplication(const Str255& url, const FSRef& application) {
  if (url.empty()) return;
  CFURLRef item = CFURLCreateWithBytes(nullptr, url.data() + 1, url.len(), kCFStringEncodingMacRoman, nullptr);
  if (item == nullptr) return;
  CFURLRef appURL = CFURLCreateFromFSRef(nullptr, &application);
  if (appURL == nullptr) {
    // An application that cannot be named would open the URL with whatever
    // the default is: refuse instead.
    CFRelease(item);
    Err = kLSApplicationNotFoundErr;
    return;
  }
  const void* values[] = {item};
  CFArrayRef items = CFArrayCreate(nullptr, values, 1, &kCFTypeArrayCallBacks);
  CFRelease(item);
  LSLaunchURLSpec spec{appURL, items, nullptr, 0, nullptr};
  Err = LSOpenFromURLSpec(&spec, nullptr);
  CFRelease(items);
  CFRelease(appURL);
}
