// The FTP folder-listing parser on any bytes, read the way a transfer reads
// a listing: line after line from the front. Each result is -1, 0 or the
// length of a whole line (its line break included); an entry holds its fields
// with their types; and the listing read in two pieces at any cut gives the
// same entries as read whole.
#include <cstring>
#include <string>
#include <vector>

#include "CFDate.h"
#include "CFFTPStream.h"
#include "CFNumber.h"
#include "FTPInternal.h"
#include "FuzzSupport.h"

namespace {

constexpr CFAbsoluteTime kNow = 7.0e8;  // a fixed present: the years inferred do not depend on the clock

bool Typed(CFDictionaryRef entry, CFStringRef key, CFTypeID type, bool required) {
  CFTypeRef v = CFDictionaryGetValue(entry, key);
  if (v == nullptr) return !required;
  return CFGetTypeID(v) == type;
}

// The names of the entries of a listing, and whether it ended unreadable.
std::vector<std::string> ReadAll(const std::vector<std::string>& pieces, bool* unreadable) {
  std::vector<std::string> names;
  std::string pending;
  *unreadable = false;
  for (const std::string& piece : pieces) {
    pending += piece;
    size_t at = 0;
    while (!*unreadable) {
      CFDictionaryRef entry = nullptr;
      const auto* bytes = reinterpret_cast<const UInt8*>(pending.data() + at);
      const CFIndex left = CFIndex(pending.size() - at);
      CFIndex used = __CFFTPParseListing(bytes, left, kNow, &entry);
      if (used < -1 || used > left) fuzz::Fail("a result outside the bytes given");
      if (used == -1) *unreadable = true;
      if (used <= 0) {
        if (entry != nullptr) fuzz::Fail("an entry without a line");
        break;
      }
      if (bytes[used - 1] != '\n' || memchr(bytes, '\n', size_t(used - 1)) != nullptr)
        fuzz::Fail("a line that is not one line");
      if (entry != nullptr) {
        if (!Typed(entry, kCFFTPResourceType, CFNumberGetTypeID(), true) ||
            !Typed(entry, kCFFTPResourceName, CFStringGetTypeID(), true) ||
            !Typed(entry, kCFFTPResourceSize, CFNumberGetTypeID(), true) ||
            !Typed(entry, kCFFTPResourceModDate, CFDateGetTypeID(), true) ||
            !Typed(entry, kCFFTPResourceMode, CFNumberGetTypeID(), false) ||
            !Typed(entry, kCFFTPResourceOwner, CFStringGetTypeID(), false) ||
            !Typed(entry, kCFFTPResourceLink, CFStringGetTypeID(), false))
          fuzz::Fail("an entry field of the wrong type");
        auto name = static_cast<CFStringRef>(CFDictionaryGetValue(entry, kCFFTPResourceName));
        char buf[4096];
        if (CFStringGetLength(name) == 0) fuzz::Fail("an entry without a name");
        names.push_back(CFStringGetCString(name, buf, sizeof buf, kCFStringEncodingUTF8) ? buf : "?");
        CFRelease(entry);
      }
      at += size_t(used);
    }
    pending.erase(0, at);
  }
  return names;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::SetUp();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1 || size > 8192) return 0;
  const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
  const size_t cut = text.empty() ? 0 : data[0] % (text.size() + 1);
  bool wholeUnreadable = false, piecesUnreadable = false;
  std::vector<std::string> whole = ReadAll({text}, &wholeUnreadable);
  std::vector<std::string> pieces = ReadAll({text.substr(0, cut), text.substr(cut)}, &piecesUnreadable);
  if (whole != pieces || wholeUnreadable != piecesUnreadable) fuzz::Fail("a cut changed the listing");
  return 0;
}
