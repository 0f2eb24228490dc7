// Property lists with key-path access, loaded from and saved to files.
#include "TPropertyListUnit.h"

#include <vector>

#include "CFArray.h"
#include "CFNumber.h"
#include "CFPreferenceUtilities.h"
#include "CFString.h"
#include "PascalCarbonCommon.h"
#include "PascalStringUtilities.h"

namespace {

// '????': no particular Finder type or creator.
constexpr OSType kUnknownCode = 0x3F3F3F3F;

bool IsType(CFTypeRef value, CFTypeID type) { return value != nullptr && CFGetTypeID(value) == type; }

CFMutableDictionaryRef NewDictionary() {
  return CFDictionaryCreateMutable(nullptr, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
}

// The path's components; empty when the path is one key used whole.
std::vector<CFStringRef> Components(const Str255& path, CFArrayRef& owner) {
  std::vector<CFStringRef> parts;
  owner = ExplodeString(path, '/');
  if (owner == nullptr) return parts;
  const CFIndex count = CFArrayGetCount(owner);
  for (CFIndex i = 0; i < count; ++i) parts.push_back(static_cast<CFStringRef>(CFArrayGetValueAtIndex(owner, i)));
  return parts;
}

// Sets (or, for a nil value, removes) the key; true when the dictionary
// holds the edit afterwards. An immutable dictionary refuses the edit.
bool Edit(CFMutableDictionaryRef values, CFStringRef key, CFTypeRef value) {
  if (value == nullptr) {
    CFDictionaryRemoveValue(values, key);
    return !CFDictionaryContainsKey(values, key);
  }
  CFDictionarySetValue(values, key, value);
  CFTypeRef stored = CFDictionaryGetValue(values, key);
  return stored == value || (stored != nullptr && CFEqual(stored, value));
}

// One dictionary on the way down a path: the root, or the dictionary stored
// under key in the one before it.
struct Step {
  CFMutableDictionaryRef dictionary;
  CFStringRef key;
};

// Stores the value under the key in the last dictionary of the walk. A
// dictionary that refuses the edit (an immutable one a caller stored) gives
// way to a mutable copy, which takes its place in the dictionary before it,
// and so on up to the root. False, with Err set, when that cannot be done.
bool StoreAlong(std::vector<Step>& walk, size_t level, CFStringRef key, CFTypeRef value,
                CFMutableDictionaryRef& root) {
  CFMutableDictionaryRef dictionary = walk[level].dictionary;
  if (Edit(dictionary, key, value)) return true;
  CFMutableDictionaryRef copy = CFDictionaryCreateMutableCopy(nullptr, 0, dictionary);
  if (copy == nullptr) {
    Err = memFullErr;
    return false;
  }
  if (!Edit(copy, key, value)) {
    CFRelease(copy);
    Err = paramErr;
    return false;
  }
  if (level == 0) {
    CFRelease(root);
    root = copy;
    walk[0].dictionary = copy;
    return true;
  }
  bool stored = StoreAlong(walk, level - 1, walk[level].key, copy, root);
  if (stored) walk[level].dictionary = copy;  // the one before it holds it now
  CFRelease(copy);
  return stored;
}

}  // namespace

void TPropertyList::Create() {
  if (fValues) CFRelease(fValues);
  fValues = NewDictionary();
}

SInt32 TPropertyList::Load(const FSRef& file) {
  fFile = file;
  SInt32 status = noErr;
  CFTypeRef list = CFPreferencesLoadPropertyList(file, &status);
  // A list whose root is no dictionary counts as no list at all.
  if (!IsType(list, CFDictionaryGetTypeID())) {
    if (list) CFRelease(list);
    Create();
    return status != noErr ? status : SInt32(fnfErr);
  }
  if (fValues) CFRelease(fValues);
  fValues = static_cast<CFMutableDictionaryRef>(const_cast<void*>(list));
  return noErr;
}

SInt32 TPropertyList::Save(const FSRef& file) {
  fFile = file;
  return CFPreferencesSavePropertyList(file, fValues);
}

SInt32 TPropertyList::SaveAs(const FSRef& folder, const Str63& name) {
  CFStringRef text = CFStringCreateWithPascalString(nullptr, name, kCFStringEncodingMacRoman);
  FSRef made{};
  Err = text ? FSCreateFile(text, folder, kUnknownCode, kUnknownCode, made) : OSStatus(paramErr);
  if (text) CFRelease(text);
  fFile = made;
  // Err keeps the creation's status.
  if (FSGetCatalogInfo(&fFile, kFSCatInfoNone, nullptr, nullptr, nullptr, nullptr) == noErr) return Save(fFile);
  return Err;
}

Boolean TPropertyList::GetBooleanValue(const Str255& path) {
  CFTypeRef value = GetValue(path);
  return !(IsType(value, CFBooleanGetTypeID()) && !CFBooleanGetValue(static_cast<CFBooleanRef>(value)));
}

Str255 TPropertyList::GetStringValue(const Str255& path) {
  CFTypeRef value = GetValue(path);
  return IsType(value, CFStringGetTypeID()) ? PCFSTR(static_cast<CFStringRef>(value)) : Str255();
}

SInt32 TPropertyList::GetIntegerValue(const Str255& path) {
  CFTypeRef value = GetValue(path);
  SInt32 result = 0;
  if (!IsType(value, CFNumberGetTypeID()) ||
      !CFNumberGetValue(static_cast<CFNumberRef>(value), kCFNumberSInt32Type, &result))
    return 0;
  return result;
}

void TPropertyList::SetBooleanValue(const Str255& path, Boolean value) {
  SetValue(path, value ? kCFBooleanTrue : kCFBooleanFalse);
}

void TPropertyList::SetStringValue(const Str255& path, const Str255& value) { SetValue(path, CFSTR(value)); }

void TPropertyList::SetIntegerValue(const Str255& path, SInt32 value) {
  CFNumberRef number = CFNumberCreate(nullptr, kCFNumberSInt32Type, &value);
  SetValue(path, number);
  CFRelease(number);
}

void TPropertyList::ApplyFunction(CFDictionaryApplierFunction applier, void* context) {
  if (fValues && applier) CFDictionaryApplyFunction(fValues, applier, context);
}

void TPropertyList::ApplyFunctionToKey(const Str255& path, CFDictionaryApplierFunction applier, void* context) {
  CFTypeRef value = GetValue(path);
  if (applier && IsType(value, CFDictionaryGetTypeID()))
    CFDictionaryApplyFunction(static_cast<CFDictionaryRef>(value), applier, context);
}

void TPropertyList::InsertDictionary(const Str255& path) {
  CFMutableDictionaryRef dictionary = NewDictionary();
  SetValue(path, dictionary);
  CFRelease(dictionary);
}

void TPropertyList::RemoveAllValues() {}

SInt32 TPropertyList::GetCountAtKey(const Str255& path) {
  CFTypeRef value = GetValue(path);
  return IsType(value, CFDictionaryGetTypeID()) ? SInt32(CFDictionaryGetCount(static_cast<CFDictionaryRef>(value)))
                                                : 0;
}

SInt32 TPropertyList::GetKeyCount() { return fValues ? SInt32(CFDictionaryGetCount(fValues)) : 0; }

CFTypeRef TPropertyList::GetValue(const Str255& path) {
  if (fValues == nullptr) return nullptr;
  CFArrayRef owner = nullptr;
  std::vector<CFStringRef> parts = Components(path, owner);
  CFTypeRef result = nullptr;
  if (parts.empty() || CFDictionaryGetCount(fValues) == 0) {
    result = CFDictionaryGetValue(fValues, CFSTR(path));
  } else {
    CFDictionaryRef current = fValues;
    for (size_t i = 0; i < parts.size(); ++i) {
      CFTypeRef value = CFDictionaryGetValue(current, parts[i]);
      if (value == nullptr) continue;
      if (IsType(value, CFDictionaryGetTypeID())) {
        current = static_cast<CFDictionaryRef>(value);
        if (i + 1 == parts.size()) result = value;
      } else {
        result = value;
      }
    }
  }
  if (owner) CFRelease(owner);
  return result;
}

void TPropertyList::SetValue(const Str255& path, CFTypeRef value) {
  if (fValues == nullptr || value == nullptr) return;
  CFArrayRef owner = nullptr;
  std::vector<CFStringRef> parts = Components(path, owner);
  std::vector<Step> walk{{fValues, nullptr}};
  if (parts.empty()) {
    StoreAlong(walk, 0, CFSTR(path), value, fValues);
    return;
  }
  bool stored = false;
  for (size_t i = 0; !stored && i + 1 < parts.size(); ++i) {
    CFTypeRef found = CFDictionaryGetValue(walk.back().dictionary, parts[i]);
    if (IsType(found, CFDictionaryGetTypeID())) {
      walk.push_back({static_cast<CFMutableDictionaryRef>(const_cast<void*>(found)), parts[i]});
    } else if (IsType(found, CFArrayGetTypeID())) {
      Err = paramErr;  // an array cannot hold the rest of the path
      stored = true;
    } else if (found != nullptr) {
      StoreAlong(walk, walk.size() - 1, parts[i], value, fValues);
      stored = true;
    } else {
      CFMutableDictionaryRef made = NewDictionary();
      if (made == nullptr || !StoreAlong(walk, walk.size() - 1, parts[i], made, fValues)) {
        if (made == nullptr) Err = memFullErr;
        stored = true;
      } else {
        walk.push_back({made, parts[i]});
      }
      if (made) CFRelease(made);
    }
  }
  if (!stored) StoreAlong(walk, walk.size() - 1, parts.back(), value, fValues);
  CFRelease(owner);
}

void TPropertyList::Release() {
  if (fValues) CFRelease(fValues);
  fValues = nullptr;
  Free();
}

TPropertyList* TPropertyListCreate() {
  auto* list = new TPropertyList;
  list->Create();
  return list;
}

TPropertyList* TPropertyListLoad(const FSRef& file) {
  auto* list = new TPropertyList;
  Err = list->Load(file);
  return list;
}
