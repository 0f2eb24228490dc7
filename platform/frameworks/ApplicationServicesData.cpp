// The exported constants of the ApplicationServices framework. They carry the
// same names as the platform library's definitions (UTType.h), so this file
// declares them itself rather than through that header; the framework is
// linked with -Bsymbolic so that these initialisers fill its own copies.
#include "CFString.h"

#define AS_EXPORT __attribute__((visibility("default")))

AS_EXPORT extern const CFStringRef kUTTagClassFilenameExtension;
AS_EXPORT extern const CFStringRef kUTTagClassMIMEType;
AS_EXPORT extern const CFStringRef kUTTagClassNSPboardType;
AS_EXPORT extern const CFStringRef kUTTagClassOSType;

const CFStringRef kUTTagClassFilenameExtension = CFStringMakeConstantUTF8("public.filename-extension");
const CFStringRef kUTTagClassMIMEType = CFStringMakeConstantUTF8("public.mime-type");
const CFStringRef kUTTagClassNSPboardType = CFStringMakeConstantUTF8("public.pasteboard-type");
const CFStringRef kUTTagClassOSType = CFStringMakeConstantUTF8("public.ostype");
