// The preference handlers: the application's preferences, a property-list
// file, and a dictionary inside another handler.
#include "TPreferencesUnit.h"

#include <cstring>
#include <string>

#include "CFArray.h"
#include "CFData.h"
#include "CFNumber.h"
#include "CFPreferenceUtilities.h"
#include "CFPreferences.h"
#include "CFPropertyList.h"
#include "CFString.h"
#include "PascalCarbonCommon.h"

namespace {

// The key and order of the SwapTypeBytes walk under way, for its appliers.
thread_local Str255 gSwapKey;
thread_local SInt16 gSwapOrder = 0;

constexpr SInt16 kMaxChangeCount = 32767;

bool IsType(CFTypeRef value, CFTypeID type) { return value != nullptr && CFGetTypeID(value) == type; }

// The typed readings of a stored value (nil for a missing key).
Boolean BooleanOf(CFTypeRef value) {
  return !(IsType(value, CFBooleanGetTypeID()) && !CFBooleanGetValue(static_cast<CFBooleanRef>(value)));
}

Str255 StringOf(CFTypeRef value) {
  return IsType(value, CFStringGetTypeID()) ? PCFSTR(static_cast<CFStringRef>(value)) : Str255();
}

SInt32 IntegerOf(CFTypeRef value) {
  SInt32 result = 0;
  if (!IsType(value, CFNumberGetTypeID()) ||
      !CFNumberGetValue(static_cast<CFNumberRef>(value), kCFNumberSInt32Type, &result))
    return 0;
  return result;
}

CFTypeRef ElementOf(CFTypeRef value, CFIndex index) {
  if (!IsType(value, CFArrayGetTypeID())) return nullptr;
  auto array = static_cast<CFArrayRef>(value);
  return index >= 0 && index < CFArrayGetCount(array) ? CFArrayGetValueAtIndex(array, index) : nullptr;
}

CFNumberRef NewInteger(SInt32 value) { return CFNumberCreate(nullptr, kCFNumberSInt32Type, &value); }

// A copy of the caller's bytes, after the handler converted them in place;
// nil (nothing converted) for a negative length or missing bytes.
CFDataRef NewStoredData(TPreferenceHandler* handler, const Str255& key, void* data, SInt32 length) {
  if (length < 0 || (data == nullptr && length > 0)) return nullptr;
  handler->SwapBytes(key, 1, data);
  return CFDataCreate(nullptr, static_cast<const UInt8*>(data), length);
}

// Copies stored data of exactly size bytes, converted in a private block,
// into the destination.
Boolean CopyStoredData(TPreferenceHandler* handler, const Str255& key, CFTypeRef value, void* destination,
                       SInt32 size) {
  if (!IsType(value, CFDataGetTypeID()) || destination == nullptr) return false;
  auto data = static_cast<CFDataRef>(value);
  const CFIndex length = CFDataGetLength(data);
  if (size < 0 || length != CFIndex(size)) return false;
  if (length == 0) return true;
  Ptr buffer = NewPtrCopy(CFDataGetBytePtr(data), Size(length));
  if (buffer == nullptr) return false;
  handler->SwapBytes(key, 2, buffer);
  std::memcpy(destination, buffer, size_t(length));
  ReleasePtr(buffer);
  return true;
}

// The array stored (or nil) with the value appended, when it does not hold
// an equal value yet (Create rule); nil when nothing is to change.
CFMutableArrayRef NewAppendedArray(CFTypeRef stored, CFTypeRef value) {
  CFMutableArrayRef array;
  if (IsType(stored, CFArrayGetTypeID())) {
    auto old = static_cast<CFArrayRef>(stored);
    if (CFArrayContainsValue(old, CFRangeMake(0, CFArrayGetCount(old)), value)) return nullptr;
    array = CFArrayCreateMutableCopy(nullptr, 0, old);
  } else {
    array = CFArrayCreateMutable(nullptr, 0, &kCFTypeArrayCallBacks);
  }
  if (array != nullptr) CFArrayAppendValue(array, value);
  return array;
}

CFMutableDictionaryRef NewDictionary() {
  return CFDictionaryCreateMutable(nullptr, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
}

// True when the item is a file with some bytes in it.
bool HasContents(const FSRef& file) {
  FSCatalogInfo info;
  return FSGetCatalogInfo(&file, kFSCatInfoNodeFlags | kFSCatInfoDataSizes, &info, nullptr, nullptr, nullptr) ==
             noErr &&
         !(info.nodeFlags & kFSNodeIsDirectoryMask) && info.dataLogicalSize > 0;
}

// Copies the file beside itself as "<name>.corrupt" (or "<name>.corrupt.1",
// ...), never over an earlier copy. noErr also when there is nothing to keep.
OSStatus KeepCopy(const FSRef& file) {
  FSCatalogInfo info;
  HFSUniStr255 name;
  FSRef parent;
  OSStatus status = FSGetCatalogInfo(&file, kFSCatInfoNodeFlags | kFSCatInfoDataSizes, &info, &name, nullptr, &parent);
  if (status == fnfErr) return noErr;
  if (status != noErr) return status;
  if ((info.nodeFlags & kFSNodeIsDirectoryMask) || info.dataLogicalSize == 0) return noErr;
  for (int n = 0; n < 100; ++n) {
    CFStringRef base = CFStringCreateWithCharacters(nullptr, name.unicode, name.length);
    CFMutableStringRef aside = CFStringCreateMutableCopy(nullptr, 0, base);
    CFRelease(base);
    std::string suffix = ".corrupt" + (n == 0 ? std::string() : "." + std::to_string(n));
    CFStringAppendCString(aside, suffix.c_str(), kCFStringEncodingASCII);
    status = FSCopyObjectSync(&file, &parent, aside, nullptr, kFSFileOperationDefaultOptions);
    CFRelease(aside);
    if (status != dupFNErr) return status;
  }
  return status;
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

// Application preferences: the current application's domain.
CFTypeRef AppCopy(CFStringRef key) { return CFPreferencesCopyAppValue(key, kCFPreferencesCurrentApplication); }
void AppSet(CFStringRef key, CFTypeRef value) {
  CFPreferencesSetAppValue(key, value, kCFPreferencesCurrentApplication);
}

}  // namespace

// ===========================================================================
// TPreferenceHandler

CFStringRef TPreferenceHandler::StoredKey(const Str255& key) const {
  Str255 stored(fDomain);
  stored += key;
  return CFSTR(stored);
}

void TPreferenceHandler::CountChange() {
  if (fChangeCount < kMaxChangeCount) ++fChangeCount;
}

void TPreferenceHandler::SetDomain(const Str63& domain) { fDomain = domain; }

void TPreferenceHandler::SetByteSwapperCallback(TPreferenceHandlerByteSwapperCallback callback) {
  fByteSwapper = callback;
}

void TPreferenceHandler::Synchronize() {}

Boolean TPreferenceHandler::ContainsValue(const Str255&) { return false; }

void TPreferenceHandler::RemoveValue(const Str255&) {}

void TPreferenceHandler::SwapBytes(const Str255& key, SInt16 order, void* data) {
  if (fByteSwapper != nullptr) fByteSwapper(key, order, data);
}

void TPreferenceHandler::SwapTypeBytes(const Str255& key, CFTypeRef value, SInt16 order) {
  gSwapKey = key;
  gSwapOrder = order;
  if (IsType(value, CFDictionaryGetTypeID()))
    CFDictionaryApplyFunction(static_cast<CFDictionaryRef>(value), SwapDictionaryBytes, this);
  else if (IsType(value, CFArrayGetTypeID()))
    CFArrayApplyFunction(static_cast<CFArrayRef>(value), CFRangeMake(0, CFArrayGetCount(static_cast<CFArrayRef>(value))),
                         SwapArrayBytes, this);
}

void TPreferenceHandler::SetArrayValue(const Str255&, CFTypeRef) {}
void TPreferenceHandler::SetTypeValue(const Str255&, CFTypeRef) {}
void TPreferenceHandler::SetBooleanValue(const Str255&, Boolean) {}
void TPreferenceHandler::SetStringValue(const Str255&, const Str255&) {}
void TPreferenceHandler::SetIntegerValue(const Str255&, SInt32) {}
void TPreferenceHandler::SetDataValue(const Str255&, void*, SInt32) {}
CFTypeRef TPreferenceHandler::GetArrayValue(const Str255&, CFIndex) { return nullptr; }
CFTypeRef TPreferenceHandler::GetTypeValue(const Str255&) { return nullptr; }
Boolean TPreferenceHandler::GetBooleanValue(const Str255&) { return false; }
Str255 TPreferenceHandler::GetStringValue(const Str255&) { return Str255(); }
SInt32 TPreferenceHandler::GetIntegerValue(const Str255&) { return 0; }
Boolean TPreferenceHandler::CopyDataValue(const Str255&, void*, SInt32) { return false; }

void TPreferenceHandler::Release() { delete this; }

void SwapDictionaryBytes(const void*, const void* value, void* handler) { SwapArrayBytes(value, handler); }

void SwapArrayBytes(const void* value, void* handler) {
  if (IsType(value, CFDictionaryGetTypeID())) {
    CFDictionaryApplyFunction(static_cast<CFDictionaryRef>(value), SwapDictionaryBytes, handler);
  } else if (IsType(value, CFArrayGetTypeID())) {
    auto array = static_cast<CFArrayRef>(value);
    CFArrayApplyFunction(array, CFRangeMake(0, CFArrayGetCount(array)), SwapArrayBytes, handler);
  } else if (IsType(value, CFDataGetTypeID())) {
    auto data = static_cast<CFDataRef>(value);
    Ptr block = NewPtrCopy(CFDataGetBytePtr(data), Size(CFDataGetLength(data)));
    if (block == nullptr) return;
    static_cast<TPreferenceHandler*>(handler)->SwapBytes(gSwapKey, gSwapOrder, block);
    ReleasePtr(block);
  }
}

// ===========================================================================
// TPreferenceHandlerApplication

void TPreferenceHandlerApplication::Synchronize() {
  // A failed write stays pending in the preferences and goes out with the
  // next synchronisation of the application's domain.
  if (fChangeCount > 0) CFPreferencesAppSynchronize(kCFPreferencesCurrentApplication);
  fChangeCount = 0;
}

Boolean TPreferenceHandlerApplication::ContainsValue(const Str255& key) {
  CFTypeRef value = AppCopy(StoredKey(key));
  if (value == nullptr) return false;
  CFRelease(value);
  return true;
}

void TPreferenceHandlerApplication::RemoveValue(const Str255& key) {
  AppSet(StoredKey(key), nullptr);
  CountChange();
}

void TPreferenceHandlerApplication::SetArrayValue(const Str255& key, CFTypeRef value) {
  if (value == nullptr) return;
  CFStringRef stored = StoredKey(key);
  CFTypeRef old = AppCopy(stored);
  CFMutableArrayRef array = NewAppendedArray(old, value);
  if (old) CFRelease(old);
  if (array == nullptr) return;
  AppSet(stored, array);
  CFRelease(array);
  CountChange();
}

void TPreferenceHandlerApplication::SetTypeValue(const Str255& key, CFTypeRef value) {
  AppSet(StoredKey(key), value);
  CountChange();
}

void TPreferenceHandlerApplication::SetBooleanValue(const Str255& key, Boolean value) {
  AppSet(StoredKey(key), value ? kCFBooleanTrue : kCFBooleanFalse);
  CountChange();
}

void TPreferenceHandlerApplication::SetStringValue(const Str255& key, const Str255& value) {
  AppSet(StoredKey(key), CFSTR(value));
  CountChange();
}

void TPreferenceHandlerApplication::SetIntegerValue(const Str255& key, SInt32 value) {
  CFNumberRef number = NewInteger(value);
  AppSet(StoredKey(key), number);
  CFRelease(number);
  CountChange();
}

void TPreferenceHandlerApplication::SetDataValue(const Str255& key, void* data, SInt32 length) {
  CFDataRef stored = NewStoredData(this, key, data, length);
  if (stored == nullptr) return;
  AppSet(StoredKey(key), stored);
  CFRelease(stored);
  CountChange();
}

CFTypeRef TPreferenceHandlerApplication::GetArrayValue(const Str255& key, CFIndex index) {
  CFTypeRef value = AppCopy(StoredKey(key));
  if (!IsType(value, CFArrayGetTypeID())) {
    if (value) CFRelease(value);
    return nullptr;
  }
  if (value == fArrayHeld) {
    CFRelease(value);
  } else {
    if (fArrayHeld) CFRelease(fArrayHeld);
    fArrayHeld = static_cast<CFArrayRef>(value);
  }
  return ElementOf(fArrayHeld, index);
}

CFTypeRef TPreferenceHandlerApplication::GetTypeValue(const Str255& key) { return AppCopy(StoredKey(key)); }

Boolean TPreferenceHandlerApplication::GetBooleanValue(const Str255& key) {
  CFTypeRef value = AppCopy(StoredKey(key));
  Boolean result = BooleanOf(value);
  if (value) CFRelease(value);
  return result;
}

Str255 TPreferenceHandlerApplication::GetStringValue(const Str255& key) {
  CFTypeRef value = AppCopy(StoredKey(key));
  Str255 result = StringOf(value);
  if (value) CFRelease(value);
  return result;
}

SInt32 TPreferenceHandlerApplication::GetIntegerValue(const Str255& key) {
  CFTypeRef value = AppCopy(StoredKey(key));
  SInt32 result = IntegerOf(value);
  if (value) CFRelease(value);
  return result;
}

Boolean TPreferenceHandlerApplication::CopyDataValue(const Str255& key, void* destination, SInt32 size) {
  CFTypeRef value = AppCopy(StoredKey(key));
  Boolean copied = CopyStoredData(this, key, value, destination, size);
  if (value) CFRelease(value);
  return copied;
}

void TPreferenceHandlerApplication::Release() {
  if (fArrayHeld) CFRelease(fArrayHeld);
  fArrayHeld = nullptr;
  TPreferenceHandler::Release();
}

// ===========================================================================
// TPreferenceHandlerFile

void TPreferenceHandlerFile::SetFile(const FSRef& file) {
  fFile = file;
  fUnreadable = false;
  if (fValues) CFRelease(fValues);
  fValues = nullptr;
  if (FSValidFSRef(file)) {
    CFTypeRef list = CFPreferencesLoadPropertyList(file);
    // A file whose root is no dictionary counts as unreadable.
    if (IsType(list, CFDictionaryGetTypeID()))
      fValues = static_cast<CFMutableDictionaryRef>(const_cast<void*>(list));
    else if (list)
      CFRelease(list);
    fUnreadable = fValues == nullptr && HasContents(file);
  }
  if (fValues == nullptr) fValues = NewDictionary();
}

void TPreferenceHandlerFile::Synchronize() {
  if (fChangeCount > 0 && fValues != nullptr) {
    // What could not be read is kept beside the file before it is replaced;
    // without that copy nothing is written, and the changes stay counted.
    if (fUnreadable) {
      OSStatus kept = KeepCopy(fFile);
      if (kept != noErr) {
        Err = kept;
        return;
      }
      fUnreadable = false;
    }
    Err = CFPreferencesSavePropertyList(fFile, fValues);
    // Changes that did not reach the file stay counted: the next
    // Synchronize writes them.
    if (Err != noErr) return;
  } else {
    Err = noErr;
  }
  fChangeCount = 0;
}

bool TPreferenceHandlerFile::Store(CFStringRef key, CFTypeRef value) {
  if (fValues == nullptr) {
    Err = paramErr;
    return false;
  }
  if (Edit(fValues, key, value)) return true;
  CFMutableDictionaryRef copy = CFDictionaryCreateMutableCopy(nullptr, 0, fValues);
  if (copy == nullptr) {
    Err = memFullErr;
    return false;
  }
  if (!Edit(copy, key, value)) {
    CFRelease(copy);
    Err = paramErr;
    return false;
  }
  return AdoptValues(copy);
}

bool TPreferenceHandlerFile::AdoptValues(CFMutableDictionaryRef copy) {
  if (fValues) CFRelease(fValues);
  fValues = copy;
  return true;
}

Boolean TPreferenceHandlerFile::ContainsValue(const Str255& key) {
  return fValues != nullptr && CFDictionaryContainsKey(fValues, StoredKey(key));
}

void TPreferenceHandlerFile::RemoveValue(const Str255& key) {
  if (ContainsValue(key)) Store(StoredKey(key), nullptr);
}

void TPreferenceHandlerFile::SetArrayValue(const Str255& key, CFTypeRef value) {
  if (value == nullptr) return;
  if (fValues == nullptr) {
    Err = paramErr;
    return;
  }
  CFStringRef stored = StoredKey(key);
  CFMutableArrayRef array = NewAppendedArray(CFDictionaryGetValue(fValues, stored), value);
  if (array == nullptr) return;
  if (Store(stored, array)) CountChange();
  CFRelease(array);
}

void TPreferenceHandlerFile::SetTypeValue(const Str255& key, CFTypeRef value) {
  if (value == nullptr) return;
  if (Store(StoredKey(key), value)) CountChange();
}

void TPreferenceHandlerFile::SetBooleanValue(const Str255& key, Boolean value) {
  if (Store(StoredKey(key), value ? kCFBooleanTrue : kCFBooleanFalse)) CountChange();
}

void TPreferenceHandlerFile::SetStringValue(const Str255& key, const Str255& value) {
  if (Store(StoredKey(key), CFSTR(value))) CountChange();
}

void TPreferenceHandlerFile::SetIntegerValue(const Str255& key, SInt32 value) {
  CFNumberRef number = NewInteger(value);
  if (number == nullptr) {
    Err = memFullErr;
    return;
  }
  if (Store(StoredKey(key), number)) CountChange();
  CFRelease(number);
}

void TPreferenceHandlerFile::SetDataValue(const Str255& key, void* data, SInt32 length) {
  if (fValues == nullptr) {
    Err = paramErr;
    return;
  }
  CFDataRef stored = NewStoredData(this, key, data, length);
  if (stored == nullptr) {
    Err = paramErr;
    return;
  }
  if (Store(StoredKey(key), stored)) CountChange();
  CFRelease(stored);
}

CFTypeRef TPreferenceHandlerFile::GetArrayValue(const Str255& key, CFIndex index) {
  return fValues ? ElementOf(CFDictionaryGetValue(fValues, StoredKey(key)), index) : nullptr;
}

CFTypeRef TPreferenceHandlerFile::GetTypeValue(const Str255& key) {
  CFTypeRef value = fValues ? CFDictionaryGetValue(fValues, StoredKey(key)) : nullptr;
  return value ? CFRetain(value) : nullptr;
}

Boolean TPreferenceHandlerFile::GetBooleanValue(const Str255& key) {
  return BooleanOf(fValues ? CFDictionaryGetValue(fValues, StoredKey(key)) : nullptr);
}

Str255 TPreferenceHandlerFile::GetStringValue(const Str255& key) {
  return StringOf(fValues ? CFDictionaryGetValue(fValues, StoredKey(key)) : nullptr);
}

SInt32 TPreferenceHandlerFile::GetIntegerValue(const Str255& key) {
  return IntegerOf(fValues ? CFDictionaryGetValue(fValues, StoredKey(key)) : nullptr);
}

Boolean TPreferenceHandlerFile::CopyDataValue(const Str255& key, void* destination, SInt32 size) {
  return CopyStoredData(this, key, fValues ? CFDictionaryGetValue(fValues, StoredKey(key)) : nullptr,
                        destination, size);
}

void TPreferenceHandlerFile::Release() {
  if (fValues) CFRelease(fValues);
  fValues = nullptr;
  TPreferenceHandler::Release();
}

// ===========================================================================
// TPreferenceHandlerDictionary

void TPreferenceHandlerDictionary::Create(const Str255& name, TPreferenceHandler* parent) {
  fName = name;
  // A handler inside itself would synchronise itself for ever.
  fParent = parent == this ? nullptr : parent;
  parent = fParent;
  if (fValues) CFRelease(fValues);
  fValues = nullptr;
  const bool fileParent = dynamic_cast<TPreferenceHandlerFile*>(parent) != nullptr;
  const bool applicationParent = dynamic_cast<TPreferenceHandlerApplication*>(parent) != nullptr;
  if (!fileParent && !applicationParent) return;

  CFTypeRef value = parent->GetTypeValue(name);
  if (IsType(value, CFDictionaryGetTypeID())) {
    if (fileParent) {
      // The parent's own nested dictionary, edited in place.
      fValues = static_cast<CFMutableDictionaryRef>(const_cast<void*>(value));
      value = nullptr;
    } else {
      fValues = static_cast<CFMutableDictionaryRef>(const_cast<void*>(
          CFPropertyListCreateDeepCopy(nullptr, value, kCFPropertyListMutableContainersAndLeaves)));
    }
  }
  if (value) CFRelease(value);
  if (fValues == nullptr) fValues = NewDictionary();
}

bool TPreferenceHandlerDictionary::AdoptValues(CFMutableDictionaryRef copy) {
  if (auto* parent = dynamic_cast<TPreferenceHandlerFile*>(fParent)) {
    if (!parent->Store(parent->StoredKey(fName), copy)) {
      CFRelease(copy);
      return false;
    }
  }
  return TPreferenceHandlerFile::AdoptValues(copy);
}

void TPreferenceHandlerDictionary::Synchronize() {
  if (fParent == nullptr || fValues == nullptr) return;
  fParent->SetTypeValue(fName, fValues);
  fParent->Synchronize();
}
