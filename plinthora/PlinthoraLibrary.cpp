// The library frame: class registration and the helpers the view classes
// share.
#include "CFBase.h"
#include "plinthora/PlinthoraInternal.h"

namespace plinthora {

OSStatus RegisterViewClass(CFStringRef classID, EventHandlerUPP handler, ItemCount count, const EventTypeSpec* events) {
  HIObjectClassRef cls = nullptr;
  Err = HIObjectRegisterSubclass(classID, kHIViewClassID, 0, handler, count, events, nullptr, &cls);
  return Err;
}

void DrawImageAt(CGContextRef context, CGImageRef image, CGFloat x, CGFloat y) {
  if (image == nullptr) return;
  DrawImageIn(context, image, CGRect{{x, y}, {ImageWidth(image), ImageHeight(image)}});
}

void DrawImageIn(CGContextRef context, CGImageRef image, CGRect rect) {
  if (image == nullptr || context == nullptr) return;
  Err = HIViewDrawCGImage(context, &rect, image);
}

CGImageRef LoadImage(const Str255& name, const Str255& folder) { return LoadPNGImage(name, folder); }

CFStringRef CopyString(const Str255& text) {
  CFStringRef s = CFStringCreateWithPascalString(nullptr, text, kCFStringEncodingMacRoman);
  return s ? s : CFStringCreateWithCString(nullptr, "", kCFStringEncodingUTF8);
}

bool GetStringParameter(EventRef event, EventParamName name, Str255& out) {
  CFStringRef value = nullptr;
  if (GetEventParameter(event, name, typeCFStringRef, nullptr, sizeof value, nullptr, &value) != noErr ||
      value == nullptr)
    return false;
  out = PCFSTR(value);
  return true;
}

CGContextRef DrawContext(EventRef event) {
  CGContextRef context = nullptr;
  GetEventParameter(event, kEventParamCGContextRef, typeCGContextRef, nullptr, sizeof context, nullptr, &context);
  return context;
}

}  // namespace plinthora
