// The encoding list of encoding menus, from the string layer's one table of
// encodings (what converts on this machine, in menu order).
#include "TextEncodings.h"

#include <cstring>
#include <string>
#include <vector>

#include "CFString.h"

namespace {

// Non-lossy ASCII is an escape notation for property lists, not a document
// encoding.
std::vector<TextEncoding> DocumentEncodings() {
  std::vector<TextEncoding> list;
  for (const CFStringEncoding* e = CFStringGetListOfAvailableEncodings(); *e != kCFStringEncodingInvalidId; ++e)
    if (*e != kCFStringEncodingNonLossyASCII) list.push_back(*e);
  return list;
}

// "Script (Variant)": the part before " (" and the part inside.
CFStringRef SelectName(CFStringRef full, TextEncodingNameSelector selector) {
  const CFRange open = CFStringFind(full, CFStringMakeConstantUTF8(" ("), 0);
  const CFIndex length = CFStringGetLength(full);
  if (open.location == kCFNotFound || selector == kTextEncodingFullName || length < open.location + 3)
    return CFStringCreateCopy(nullptr, full);
  if (selector == kTextEncodingBaseName)
    return CFStringCreateWithSubstring(nullptr, full, CFRange{0, open.location});
  const CFIndex start = open.location + 2;
  return CFStringCreateWithSubstring(nullptr, full, CFRange{start, length - 1 - start});
}

}  // namespace

OSStatus TECGetAvailableTextEncodings(TextEncoding availableEncodings[], ItemCount maxAvailableEncodings,
                                      ItemCount* actualAvailableEncodings) {
  if (actualAvailableEncodings == nullptr) return paramErr;
  const std::vector<TextEncoding> list = DocumentEncodings();
  if (availableEncodings == nullptr) {
    *actualAvailableEncodings = ItemCount(list.size());
    return noErr;
  }
  ItemCount n = 0;
  for (; n < maxAvailableEncodings && n < list.size(); ++n) availableEncodings[n] = list[n];
  *actualAvailableEncodings = n;
  return noErr;
}

OSStatus GetTextEncodingName(TextEncoding iEncoding, TextEncodingNameSelector iNamingSelector, RegionCode,
                             TextEncoding iOutputEncoding, ByteCount iOutputBufLen, ByteCount* oNameLength,
                             RegionCode* oActualRegion, TextEncoding* oActualEncoding, TextPtr oEncodingName) {
  if (iNamingSelector > kTextEncodingVariantName) return paramErr;
  CFStringRef full = CFStringGetNameOfEncoding(iEncoding);
  if (full == nullptr || iEncoding == kCFStringEncodingNonLossyASCII) return kTextUnsupportedEncodingErr;
  CFStringRef name = SelectName(full, iNamingSelector);
  const CFRange all = {0, CFStringGetLength(name)};
  TextEncoding actual = iOutputEncoding;
  CFIndex needed = 0;
  const bool narrow = iOutputEncoding != kTextEncodingUnicodeDefault &&
                      CFStringGetBytes(name, all, iOutputEncoding, 0, false, nullptr, 0, &needed) == all.length;
  if (!narrow) {
    actual = kTextEncodingUnicodeDefault;
    needed = all.length * CFIndex(sizeof(UniChar));
  }
  if (oNameLength) *oNameLength = ByteCount(needed);
  if (oActualRegion) *oActualRegion = 0;
  if (oActualEncoding) *oActualEncoding = actual;
  OSStatus status = noErr;
  if (oEncodingName == nullptr || ByteCount(needed) > iOutputBufLen) {
    status = oEncodingName == nullptr ? OSStatus(paramErr) : OSStatus(kTECBufferBelowMinimumSizeErr);
  } else if (narrow) {
    CFStringGetBytes(name, all, iOutputEncoding, 0, false, oEncodingName, needed, nullptr);
  } else {
    std::vector<UniChar> units(size_t(all.length));
    CFStringGetCharacters(name, all, units.data());
    std::memcpy(oEncodingName, units.data(), size_t(needed));
  }
  CFRelease(name);
  return status;
}
