// Type identifiers of files: the tag-class constants are bound by name from
// the system framework at run time, as the program does for every constant
// that only some systems export.
#include <mutex>

#include "CFString.h"
#include "LSInfo.h"
#include "MachO.h"
#include "PascalCarbonCommon.h"
#include "UTType.h"

namespace {

// The framework stays loaded once bound; the binding may come from any thread.
std::mutex gBindingLock;
CFBundleRef gApplicationServices = nullptr;

// Only names of tag-class constants are bound: the symbol is read as a
// CFString, which another kind of symbol is not.
bool IsTagClassName(const Str255& name) {
  static const Str255 kPrefix("kUTTagClass");
  return name.len() > kPrefix.len() && name.view().substr(0, size_t(kPrefix.len())) == kPrefix.view();
}

}  // namespace

CFStringRef UTTypeCreatePreferredIdentifierForTagCFM(const Str255& tagClassName, CFStringRef tag,
                                                     CFStringRef conformingTo) {
  if (!IsTagClassName(tagClassName)) {
    Err = cfragNoSymbolErr;
    return nullptr;
  }
  void* data = nullptr;
  {
    std::lock_guard<std::mutex> lock(gBindingLock);
    Err = MachOGetFrameworkDataRef("ApplicationServices.framework", nullptr, tagClassName, gApplicationServices, data);
  }
  if (Err != noErr || data == nullptr) return nullptr;
  const CFStringRef tagClass = *static_cast<const CFStringRef*>(data);
  if (tagClass == nullptr) return nullptr;
  return UTTypeCreatePreferredIdentifierForTag(tagClass, tag, conformingTo);
}

CFStringRef FSGetUTIdentifier(const FSRef& ref, CFStringRef conformingTo) {
  LSItemInfoRecord info{};
  Err = LSCopyItemInfoForRef(&ref, kLSRequestExtension, &info);
  if (Err != noErr || info.extension == nullptr) return nullptr;
  CFStringRef identifier =
      UTTypeCreatePreferredIdentifierForTagCFM("kUTTagClassFilenameExtension", info.extension, conformingTo);
  CFRelease(info.extension);
  return identifier;
}

Boolean FSConformsToUTIdentifier(const FSRef& ref, const Str255& identifier) {
  CFStringRef own = FSGetUTIdentifier(ref, nullptr);
  if (own == nullptr) return false;
  CFStringRef other = CFStringCreateWithPascalString(nullptr, identifier.data(), kCFStringEncodingMacRoman);
  const Boolean conforms = other != nullptr && UTTypeConformsTo(own, other);
  if (other != nullptr) CFRelease(other);
  CFRelease(own);
  return conforms;
}
