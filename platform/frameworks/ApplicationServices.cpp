// The ApplicationServices framework of this platform: the type-identifier
// functions under their plain names, for code that binds them by name at run
// time; they forward to the platform's. The constants are in
// ApplicationServicesData.cpp.
#include "UTType.h"

#define AS_EXPORT __attribute__((visibility("default")))

// Plain-named entry points. The asm labels give each forwarder the C symbol
// name of the function it stands for, next to the platform's C++ one.
AS_EXPORT CFStringRef AsCreatePreferredIdentifierForTag(CFStringRef tagClass, CFStringRef tag,
                                                        CFStringRef conformingTo)
    __asm__("UTTypeCreatePreferredIdentifierForTag");
AS_EXPORT CFArrayRef AsCreateAllIdentifiersForTag(CFStringRef tagClass, CFStringRef tag, CFStringRef conformingTo)
    __asm__("UTTypeCreateAllIdentifiersForTag");
AS_EXPORT CFStringRef AsCopyPreferredTagWithClass(CFStringRef uti, CFStringRef tagClass)
    __asm__("UTTypeCopyPreferredTagWithClass");
AS_EXPORT Boolean AsEqual(CFStringRef a, CFStringRef b) __asm__("UTTypeEqual");
AS_EXPORT Boolean AsConformsTo(CFStringRef uti, CFStringRef conformsTo) __asm__("UTTypeConformsTo");
AS_EXPORT CFStringRef AsCopyDescription(CFStringRef uti) __asm__("UTTypeCopyDescription");

CFStringRef AsCreatePreferredIdentifierForTag(CFStringRef tagClass, CFStringRef tag, CFStringRef conformingTo) {
  return UTTypeCreatePreferredIdentifierForTag(tagClass, tag, conformingTo);
}
CFArrayRef AsCreateAllIdentifiersForTag(CFStringRef tagClass, CFStringRef tag, CFStringRef conformingTo) {
  return UTTypeCreateAllIdentifiersForTag(tagClass, tag, conformingTo);
}
CFStringRef AsCopyPreferredTagWithClass(CFStringRef uti, CFStringRef tagClass) {
  return UTTypeCopyPreferredTagWithClass(uti, tagClass);
}
Boolean AsEqual(CFStringRef a, CFStringRef b) { return UTTypeEqual(a, b); }
Boolean AsConformsTo(CFStringRef uti, CFStringRef conformsTo) { return UTTypeConformsTo(uti, conformsTo); }
CFStringRef AsCopyDescription(CFStringRef uti) { return UTTypeCopyDescription(uti); }
