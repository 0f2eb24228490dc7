// Descriptions of CF objects: CFCopyDescription, CFCopyTypeIDDescription and
// CFShow, the program's way of writing a diagnostic line.
#include <cstdio>

#include "CFStringInternal.h"

namespace {

CFStringRef StringFromText(const std::string& text) {
  if (CFStringRef s = __CFStringCreateWithUTF8(text)) return s;
  // A description that is not UTF-8 (bytes of a foreign record) still shows.
  return CFStringCreateWithBytes(nullptr, reinterpret_cast<const UInt8*>(text.data()), CFIndex(text.size()),
                                 kCFStringEncodingMacRoman, false);
}

}  // namespace

CFStringRef CFCopyDescription(CFTypeRef cf) {
  const __CFRuntimeBase* obj = CFObj(cf);
  if (obj == nullptr) return nullptr;
  if (obj->typeID == kCFTypeIDString) return CFStringCreateCopy(nullptr, static_cast<CFStringRef>(cf));
  return StringFromText(obj->Describe());
}

CFStringRef CFCopyTypeIDDescription(CFTypeID type_id) { return StringFromText(CFRuntimeTypeName(type_id)); }

void CFShow(CFTypeRef obj) {
  std::string line = obj ? CFObj(obj)->Describe() : std::string("(null)");
  line.push_back('\n');
  // One write, so that lines of several threads do not interleave.
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
}
