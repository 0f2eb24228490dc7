// File-system helpers that ask other services: the application bundle's
// places, the names people see, name extensions, modification dates in the
// current locale, and showing an item in the file manager.
#include <cstring>
#include <string>

#include "CFBundle.h"
#include "CFDateFormatter.h"
#include "CFString.h"
#include "CFURL.h"
#include "Files.h"
#include "LSInfo.h"
#include "PascalCarbonCommon+FilesInternal.h"
#include "PascalCarbonCommon.h"

using namespace pcc_files;

namespace {

const FSRef kNoFSRef{};

// The named item inside the folder at the URL (which the caller keeps).
OSStatus ItemInFolderURL(CFURLRef folderURL, const Str255& name, FSRef& ref) {
  ref = kNoFSRef;
  FSRef folder;
  if (folderURL == nullptr || !CFURLGetFSRef(folderURL, &folder)) return fnfErr;
  return FSGetSubFolder(folder, name, ref);
}

}  // namespace

OSStatus FSGetSharedSupportFile(const Str255& name, FSRef& ref) {
  CFURLRef folder = CFBundleCopySharedSupportURL(CFBundleGetMainBundle());
  const OSStatus status = ItemInFolderURL(folder, name, ref);
  if (folder != nullptr) CFRelease(folder);
  return status;
}

OSStatus FSGetResourceFile(const Str63& name, const Str63& folder, FSRef& ref) {
  ref = kNoFSRef;
  CFStringRef resource = CreateString(name);
  CFStringRef subfolder = folder.empty() ? nullptr : CreateString(folder);
  CFURLRef url =
      resource != nullptr ? CFBundleCopyResourceURL(CFBundleGetMainBundle(), resource, nullptr, subfolder) : nullptr;
  const Boolean found = url != nullptr && CFURLGetFSRef(url, &ref);
  if (url != nullptr) CFRelease(url);
  if (subfolder != nullptr) CFRelease(subfolder);
  if (resource != nullptr) CFRelease(resource);
  if (!found) ref = kNoFSRef;
  return found ? noErr : fnfErr;
}

namespace {

// A name that does not fit a short string, made one for showing: Mac Roman
// with '?' for a character it lacks, and a name of more than 63 characters
// cut in the middle, so that its start and its extension stay.
Str63 ShortenedName(CFStringRef name) {
  const CFIndex length = name != nullptr ? CFStringGetLength(name) : 0;
  std::string bytes(size_t(length), '?');
  CFIndex used = 0;
  if (length > 0)
    CFStringGetBytes(name, CFRangeMake(0, length), kCFStringEncodingMacRoman, '?', false,
                     reinterpret_cast<UInt8*>(bytes.data()), length, &used);
  bytes.resize(size_t(used));
  if (bytes.size() > 63) bytes = bytes.substr(0, 40) + char(0xC9) + bytes.substr(bytes.size() - 22);
  return Str63::FromBytes(bytes.data(), bytes.size());
}

}  // namespace

Str63 FSGetDisplayName(const FSRef& ref) {
  CFStringRef name = nullptr;
  Err = LSCopyDisplayNameForRef(&ref, &name);
  Str255 result;
  Str63 shown;
  if (Err == noErr && !FitPascal(name, 63, result)) shown = ShortenedName(name);
  else shown = result;
  if (name != nullptr) CFRelease(name);
  return shown;
}

std::string FSGetFullName(const FSRef& ref) {
  CFStringRef name = nullptr;
  Err = LSCopyDisplayNameForRef(&ref, &name);
  std::string out;
  if (Err == noErr && name != nullptr) {
    const CFIndex length = CFStringGetLength(name);
    CFIndex used = 0;
    CFStringGetBytes(name, CFRangeMake(0, length), kCFStringEncodingUTF8, 0, false, nullptr, 0, &used);
    out.resize(size_t(used));
    CFStringGetBytes(name, CFRangeMake(0, length), kCFStringEncodingUTF8, 0, false,
                     reinterpret_cast<UInt8*>(out.data()), used, &used);
  }
  if (name != nullptr) CFRelease(name);
  return out;
}

Str15 FSGetExtension(const FSRef& ref) {
  LSItemInfoRecord info{};
  Err = LSCopyItemInfoForRef(&ref, kLSRequestExtension, &info);
  Str255 result;
  if (Err == noErr && info.extension != nullptr && !FitPascal(info.extension, 15, result)) Err = bdNamErr;
  if (info.extension != nullptr) CFRelease(info.extension);
  return result;
}

namespace {

// The time in the long date and time styles of the formatter's locale; nil
// when it cannot be formatted.
CFStringRef CreateLongDate(CFDateFormatterRef formatter, CFAbsoluteTime time) {
  if (formatter == nullptr) return nullptr;
  return CFDateFormatterCreateStringWithAbsoluteTime(nullptr, formatter, time);
}

// The formatters are made once: making a locale reads the system's locale
// data, and an index of a large tree asks for thousands of dates. They are
// never released, and only read afterwards, so workers share them.
CFDateFormatterRef LongDateFormatter() {
  static const CFDateFormatterRef formatter = [] {
    CFLocaleRef locale = CFLocaleCopyCurrent();
    if (locale == nullptr) return CFDateFormatterRef(nullptr);
    CFDateFormatterRef made =
        CFDateFormatterCreate(nullptr, locale, kCFDateFormatterLongStyle, kCFDateFormatterLongStyle);
    CFRelease(locale);
    return made;
  }();
  return formatter;
}

CFDateFormatterRef PlainLongDateFormatter() {
  static const CFDateFormatterRef formatter =
      CFDateFormatterCreate(nullptr, nullptr, kCFDateFormatterLongStyle, kCFDateFormatterLongStyle);
  return formatter;
}

}  // namespace

Str255 FSGetModifiedFileDate(const FSRef& ref) {
  FSCatalogInfo info;
  Err = FSGetCatalogInfo(&ref, kFSCatInfoContentMod, &info, nullptr, nullptr, nullptr);
  if (Err != noErr) return Str255();
  CFAbsoluteTime time = 0;
  Err = UCConvertUTCDateTimeToCFAbsoluteTime(&info.contentModDate, &time);
  if (Err != noErr) return Str255();
  CFDateFormatterRef formatter = LongDateFormatter();
  if (formatter == nullptr) return Str255();
  Str255 result;
  CFStringRef text = CreateLongDate(formatter, time);
  // Callers compare these texts to notice changed files, so a locale whose
  // names Mac Roman cannot hold falls back to the plain "C" form rather than
  // giving no date at all.
  if (!FitPascal(text, 255, result)) {
    if (text != nullptr) CFRelease(text);
    text = CreateLongDate(PlainLongDateFormatter(), time);
    FitPascal(text, 255, result);
  }
  if (text != nullptr) CFRelease(text);
  return result;
}
