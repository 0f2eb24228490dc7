// Colour spaces and colours.
#include <algorithm>
#include <cmath>

#include "CFString.h"
#include "QuartzInternal.h"

namespace {

CFTypeID ColorSpaceType() {
  static const CFTypeID id = CFRuntimeRegisterType("CGColorSpace");
  return id;
}

CFTypeID ColorType() {
  static const CFTypeID id = CFRuntimeRegisterType("CGColor");
  return id;
}

CGColorSpace* Space(CGColorSpaceRef s) { return CFCast<CGColorSpace>(s, ColorSpaceType()); }
CGColor* Color(CGColorRef c) { return CFCast<CGColor>(c, ColorType()); }

double Clamp01(double v) { return std::isnan(v) ? 0 : std::clamp(v, 0.0, 1.0); }

}  // namespace

const CFStringRef kCGColorSpaceGenericRGB = CFStringMakeConstantUTF8("kCGColorSpaceGenericRGB");
const CFStringRef kCGColorSpaceGenericGray = CFStringMakeConstantUTF8("kCGColorSpaceGenericGray");
const CFStringRef kCGColorSpaceSRGB = CFStringMakeConstantUTF8("kCGColorSpaceSRGB");

CGColorSpace::CGColorSpace(CGColorSpaceModel m) : __CFRuntimeBase(ColorSpaceType()), model(m) {}

CGColor::CGColor() : __CFRuntimeBase(ColorType()) {}
CGColor::~CGColor() { CGColorSpaceRelease(space); }

bool CGColor::Equal(const __CFRuntimeBase* other) const {
  auto* o = static_cast<const CGColor*>(other);
  return CGColorSpaceGetModel(space) == CGColorSpaceGetModel(o->space) && components == o->components;
}

CFTypeID CGColorSpaceGetTypeID() { return ColorSpaceType(); }
CFTypeID CGColorGetTypeID() { return ColorType(); }

CGColorSpaceRef CGColorSpaceCreateDeviceRGB() { return new CGColorSpace(kCGColorSpaceModelRGB); }
CGColorSpaceRef CGColorSpaceCreateDeviceGray() { return new CGColorSpace(kCGColorSpaceModelMonochrome); }

CGColorSpaceRef CGColorSpaceCreateWithName(CFStringRef name) {
  if (name == nullptr) return nullptr;
  if (CFEqual(name, kCGColorSpaceGenericRGB) || CFEqual(name, kCGColorSpaceSRGB)) return CGColorSpaceCreateDeviceRGB();
  if (CFEqual(name, kCGColorSpaceGenericGray)) return CGColorSpaceCreateDeviceGray();
  return nullptr;
}

CGColorSpaceRef CGColorSpaceRetain(CGColorSpaceRef space) {
  if (Space(space) != nullptr) CFRetain(space);
  return space;
}

void CGColorSpaceRelease(CGColorSpaceRef space) {
  if (Space(space) != nullptr) CFRelease(space);
}

size_t CGColorSpaceGetNumberOfComponents(CGColorSpaceRef space) {
  auto* s = Space(space);
  return s != nullptr ? s->Components() : 0;
}

CGColorSpaceModel CGColorSpaceGetModel(CGColorSpaceRef space) {
  auto* s = Space(space);
  return s != nullptr ? s->model : kCGColorSpaceModelUnknown;
}

CGColorRef CGColorCreate(CGColorSpaceRef space, const CGFloat components[]) {
  auto* s = Space(space);
  if (s == nullptr || components == nullptr) return nullptr;
  auto* c = new CGColor;
  c->space = CGColorSpaceRetain(space);
  for (size_t i = 0; i <= s->Components(); ++i) c->components.push_back(Clamp01(components[i]));
  return c;
}

CGColorRef CGColorCreateGenericRGB(CGFloat red, CGFloat green, CGFloat blue, CGFloat alpha) {
  CGColorSpaceRef space = CGColorSpaceCreateDeviceRGB();
  const CGFloat parts[4] = {red, green, blue, alpha};
  CGColorRef c = CGColorCreate(space, parts);
  CGColorSpaceRelease(space);
  return c;
}

CGColorRef CGColorCreateGenericGray(CGFloat gray, CGFloat alpha) {
  CGColorSpaceRef space = CGColorSpaceCreateDeviceGray();
  const CGFloat parts[2] = {gray, alpha};
  CGColorRef c = CGColorCreate(space, parts);
  CGColorSpaceRelease(space);
  return c;
}

CGColorRef CGColorCreateCopy(CGColorRef color) {
  auto* c = Color(color);
  return c != nullptr ? CGColorCreate(c->space, c->components.data()) : nullptr;
}

CGColorRef CGColorCreateCopyWithAlpha(CGColorRef color, CGFloat alpha) {
  auto* c = Color(color);
  if (c == nullptr) return nullptr;
  std::vector<CGFloat> parts = c->components;
  parts.back() = alpha;
  return CGColorCreate(c->space, parts.data());
}

CGColorRef CGColorRetain(CGColorRef color) {
  if (Color(color) != nullptr) CFRetain(color);
  return color;
}

void CGColorRelease(CGColorRef color) {
  if (Color(color) != nullptr) CFRelease(color);
}

Boolean CGColorEqualToColor(CGColorRef color1, CGColorRef color2) {
  if (color1 == color2) return true;
  if (Color(color1) == nullptr || Color(color2) == nullptr) return false;
  return CFEqual(color1, color2);
}

size_t CGColorGetNumberOfComponents(CGColorRef color) {
  auto* c = Color(color);
  return c != nullptr ? c->components.size() : 0;
}

const CGFloat* CGColorGetComponents(CGColorRef color) {
  auto* c = Color(color);
  return c != nullptr ? c->components.data() : nullptr;
}

CGFloat CGColorGetAlpha(CGColorRef color) {
  auto* c = Color(color);
  return c != nullptr ? c->components.back() : 0;
}

CGColorSpaceRef CGColorGetColorSpace(CGColorRef color) {
  auto* c = Color(color);
  return c != nullptr ? c->space : nullptr;
}

QuartzRGBA QuartzColorToRGBA(CGColorRef color) {
  auto* c = Color(color);
  if (c == nullptr) return QuartzRGBA{0, 0, 0, 0};
  const auto& p = c->components;
  if (p.size() == 4) return QuartzRGBA{p[0], p[1], p[2], p[3]};
  return QuartzRGBA{p[0], p[0], p[0], p[1]};
}
