// The colour picker: the request goes to the display host's presenter.
#include "ColorPicker.h"

#include "CFString.h"
#include "ColorPickerInternal.h"
#include "EventTargetInternal.h"

namespace {

ColorPresenter gPresenter = nullptr;

std::string UTF8(ConstStr255Param prompt) {
  if (prompt == nullptr || prompt[0] == 0) return std::string();
  CFStringRef s = CFStringCreateWithPascalString(nullptr, prompt, kCFStringEncodingMacRoman);
  if (s == nullptr) return std::string();
  char buf[1024] = {};
  CFStringGetCString(s, buf, sizeof buf, kCFStringEncodingUTF8);
  CFRelease(s);
  return buf;
}

}  // namespace

void ColorPickerSetPresenter(ColorPresenter presenter) { gPresenter = presenter; }

Boolean GetColor(Point, ConstStr255Param prompt, const RGBColor* inColor, RGBColor* outColor) {
  if (outColor == nullptr) return false;
  ColorRequest request;
  request.prompt = UTF8(prompt);
  if (inColor) request.input = *inColor;
  const RGBColor input = request.input;
  if (!EventCoreCheckMainThread("GetColor")) {
    *outColor = input;
    return false;
  }
  RGBColor chosen = input;
  const bool ok = (gPresenter ? gPresenter : HeadlessPresentColor)(request, &chosen);
  *outColor = ok ? chosen : input;
  return ok;
}
