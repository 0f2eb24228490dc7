// Property-list files by FSRef, and single values of the application
// preferences kept for dialog controls.
#include "CFPreferenceUtilities.h"

#include <sys/stat.h>

#include "CFData.h"
#include "CFNumber.h"
#include "CFPreferences.h"
#include "CFPropertyList.h"
#include "CFString.h"
#include "CFURL.h"
#include "PascalCarbonCommon.h"

namespace {

// The stored key of a control's value: "userprefs." + key, cut at 255.
CFStringRef ControlKey(const Str255& key) {
  Str255 stored("userprefs.");
  stored += key;
  return CFSTR(stored);
}

// True when the item is something a whole-file read may open: not a folder
// or a device (a read of a pipe would never end), and not too large.
bool Readable(const FSRef& file) {
  FSCatalogInfo info;
  if (FSGetCatalogInfo(&file, kFSCatInfoNodeFlags | kFSCatInfoPermissions | kFSCatInfoDataSizes, &info, nullptr,
                       nullptr, nullptr) != noErr)
    return false;
  if (info.nodeFlags & kFSNodeIsDirectoryMask) return false;
  const auto* permissions = reinterpret_cast<const FSPermissionInfo*>(info.permissions);
  mode_t mode = permissions->mode;
  if (S_ISFIFO(mode) || S_ISCHR(mode) || S_ISBLK(mode) || S_ISSOCK(mode)) return false;
  return SInt64(info.dataLogicalSize) <= kCFPreferencesMaxPropertyListFileSize;
}

}  // namespace

// ---------------------------------------------------------------------------
// Property-list files

CFTypeRef CFPreferencesLoadPropertyList(const FSRef& file) {
  if (!Readable(file)) return nullptr;
  CFURLRef url = CFURLCreateFromFSRef(nullptr, &file);
  if (url == nullptr) return nullptr;
  CFDataRef data = nullptr;
  SInt32 status = 0;
  CFTypeRef list = nullptr;
  if (CFURLCreateDataAndPropertiesFromResource(nullptr, url, &data, nullptr, nullptr, &status) && data != nullptr)
    list = CFPropertyListCreateFromXMLData(nullptr, data, kCFPropertyListMutableContainersAndLeaves, nullptr);
  if (data) CFRelease(data);
  CFRelease(url);
  return list;
}

SInt32 CFPreferencesSavePropertyList(const FSRef& file, CFTypeRef list) {
  CFURLRef url = CFURLCreateFromFSRef(nullptr, &file);
  if (url == nullptr) return -1;
  CFDataRef data = list ? CFPropertyListCreateXMLData(nullptr, list) : nullptr;
  if (data == nullptr) {
    CFRelease(url);
    return -1;
  }
  // The platform writes a temporary file and renames it over the old one.
  SInt32 status = 0;
  if (!CFURLWriteDataAndPropertiesToResource(url, data, nullptr, &status) && status == 0) status = -1;
  CFRelease(data);
  CFRelease(url);
  return status;
}

// ---------------------------------------------------------------------------
// Single values

Str255 CFPreferencesGetStringValue(const Str255& key) {
  Str255 result;
  CFTypeRef value = CFPreferencesCopyAppValue(ControlKey(key), kCFPreferencesCurrentApplication);
  if (value == nullptr) return result;
  if (CFGetTypeID(value) == CFStringGetTypeID()) result = PCFSTR(static_cast<CFStringRef>(value));
  CFRelease(value);
  return result;
}

Boolean CFPreferencesGetBooleanValue(const Str255& key) {
  CFTypeRef value = CFPreferencesCopyAppValue(ControlKey(key), kCFPreferencesCurrentApplication);
  if (value == nullptr) return true;
  Boolean result = !(CFGetTypeID(value) == CFBooleanGetTypeID() && !CFBooleanGetValue(static_cast<CFBooleanRef>(value)));
  CFRelease(value);
  return result;
}
