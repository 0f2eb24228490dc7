// Apple events: descriptors, lists, records and events, the handler table,
// and sending to this process or to the desktop's file manager.
#include "AppleEvents.h"

#include <gio/gio.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <limits>
#include <map>
#include <mutex>
#include <unordered_set>
#include <utility>

#include "CFBundle.h"
#include "CFString.h"
#include "CFStringInternal.h"
#include "CFURL.h"
#include "Files.h"
#include "Host.h"
#include "LaunchServicesInternal.h"

struct OpaqueAEDataStorage {
  std::vector<UInt8> bytes;                             // simple descriptors
  std::vector<std::pair<AEKeyword, AEDesc>> items;      // lists, records, event parameters
  AEEventClass eventClass = 0;                          // events only
  AEEventID eventID = 0;
  AEDesc target{typeNull, nullptr};
  AEReturnID returnID = 0;
  AETransactionID transactionID = 0;
};

namespace {

constexpr OSType kFileManagerSignature = 'MACS';

// The storages alive, so that a descriptor holding anything else (stale or
// uninitialised memory) is refused instead of followed.
std::mutex& StorageLock() {
  static std::mutex lock;
  return lock;
}
std::unordered_set<OpaqueAEDataStorage*>& Storages() {
  static auto* live = new std::unordered_set<OpaqueAEDataStorage*>();
  return *live;
}

OpaqueAEDataStorage* NewStorage() {
  auto* storage = new OpaqueAEDataStorage();
  std::lock_guard<std::mutex> guard(StorageLock());
  Storages().insert(storage);
  return storage;
}

bool IsLive(AEDataStorage storage) {
  if (storage == nullptr) return true;
  std::lock_guard<std::mutex> guard(StorageLock());
  return Storages().count(storage) != 0;
}

bool IsValid(const AEDesc* desc) { return desc != nullptr && IsLive(desc->dataHandle); }

bool IsList(DescType type) { return type == typeAEList; }
bool IsKeyed(DescType type) { return type == typeAERecord || type == typeAppleEvent; }
bool IsAggregate(DescType type) { return IsList(type) || IsKeyed(type); }

void Dispose(AEDesc* desc);

void DisposeStorage(OpaqueAEDataStorage* storage) {
  if (storage == nullptr) return;
  {
    std::lock_guard<std::mutex> guard(StorageLock());
    if (Storages().erase(storage) == 0) return;
  }
  for (auto& item : storage->items) Dispose(&item.second);
  Dispose(&storage->target);
  delete storage;
}

void Dispose(AEDesc* desc) {
  DisposeStorage(desc->dataHandle);
  desc->descriptorType = typeNull;
  desc->dataHandle = nullptr;
}

AEDesc Duplicate(const AEDesc& desc) {
  AEDesc copy{desc.descriptorType, nullptr};
  if (desc.dataHandle == nullptr) return copy;
  const OpaqueAEDataStorage* from = desc.dataHandle;
  OpaqueAEDataStorage* to = NewStorage();
  to->bytes = from->bytes;
  to->items.reserve(from->items.size());
  for (const auto& item : from->items) to->items.emplace_back(item.first, Duplicate(item.second));
  to->eventClass = from->eventClass;
  to->eventID = from->eventID;
  to->target = Duplicate(from->target);
  to->returnID = from->returnID;
  to->transactionID = from->transactionID;
  copy.dataHandle = to;
  return copy;
}

AEDesc Simple(DescType type, const void* data, size_t size) {
  AEDesc desc{type, nullptr};
  if (type == typeNull) return desc;
  desc.dataHandle = NewStorage();
  if (size) desc.dataHandle->bytes.assign(static_cast<const UInt8*>(data), static_cast<const UInt8*>(data) + size);
  return desc;
}

const std::vector<UInt8>& BytesOf(const AEDesc& desc) {
  static const std::vector<UInt8> none;
  return desc.dataHandle ? desc.dataHandle->bytes : none;
}

// --- Coercion -------------------------------------------------------------------

bool IsNumeric(DescType t) {
  return t == typeBoolean || t == typeTrue || t == typeFalse || t == typeSInt16 || t == typeSInt32 ||
         t == typeUInt32 || t == typeSInt64 || t == typeIEEE64BitFloatingPoint;
}

bool ReadNumber(DescType t, const std::vector<UInt8>& b, double* value) {
  auto read = [&b](auto sample) -> bool {
    return b.size() == sizeof(sample);
  };
  switch (t) {
    case typeTrue: *value = 1; return b.empty();
    case typeFalse: *value = 0; return b.empty();
    case typeBoolean: if (b.size() != 1) return false; *value = b[0] ? 1 : 0; return true;
    case typeSInt16: { SInt16 v; if (!read(v)) return false; std::memcpy(&v, b.data(), sizeof v); *value = v; return true; }
    case typeSInt32: { SInt32 v; if (!read(v)) return false; std::memcpy(&v, b.data(), sizeof v); *value = v; return true; }
    case typeUInt32: { UInt32 v; if (!read(v)) return false; std::memcpy(&v, b.data(), sizeof v); *value = v; return true; }
    case typeSInt64: { SInt64 v; if (!read(v)) return false; std::memcpy(&v, b.data(), sizeof v); *value = double(v); return true; }
    case typeIEEE64BitFloatingPoint: {
      double v;
      if (!read(v)) return false;
      std::memcpy(&v, b.data(), sizeof v);
      *value = v;
      return std::isfinite(v);
    }
    default: return false;
  }
}

template <typename T>
bool FitsInteger(double v) {
  return v == std::floor(v) && v >= double(std::numeric_limits<T>::min()) && v <= double(std::numeric_limits<T>::max());
}

bool WriteNumber(DescType t, double v, AEDesc* out) {
  auto make = [&](const auto& value) {
    *out = Simple(t, &value, sizeof value);
    return true;
  };
  switch (t) {
    case typeBoolean: if (v != 0 && v != 1) return false; return make(UInt8(v));
    case typeTrue: if (v != 1) return false; *out = Simple(t, nullptr, 0); return true;
    case typeFalse: if (v != 0) return false; *out = Simple(t, nullptr, 0); return true;
    case typeSInt16: return FitsInteger<SInt16>(v) && make(SInt16(v));
    case typeSInt32: return FitsInteger<SInt32>(v) && make(SInt32(v));
    case typeUInt32: return FitsInteger<UInt32>(v) && make(UInt32(v));
    case typeSInt64: return v == std::floor(v) && std::fabs(v) < 9.2e18 && make(SInt64(v));
    case typeIEEE64BitFloatingPoint: return make(v);
    default: return false;
  }
}

bool TextEncodingOf(DescType t, CFStringEncoding* encoding) {
  switch (t) {
    case typeChar: *encoding = kCFStringEncodingMacRoman; return true;
    case typeUTF8Text: *encoding = kCFStringEncodingUTF8; return true;
    case typeUnicodeText: *encoding = kCFStringEncodingUTF16; return true;
    default: return false;
  }
}

bool ConvertText(const AEDesc& from, DescType toType, AEDesc* out) {
  CFStringEncoding source, target;
  if (!TextEncodingOf(from.descriptorType, &source) || !TextEncodingOf(toType, &target)) return false;
  const auto& b = BytesOf(from);
  CFStringRef text = CFStringCreateWithBytes(nullptr, b.data(), CFIndex(b.size()), source, false);
  if (text == nullptr) return false;
  CFIndex length = CFStringGetLength(text), needed = 0;
  CFIndex done = CFStringGetBytes(text, CFRangeMake(0, length), target, 0, false, nullptr, 0, &needed);
  bool ok = done == length;
  if (ok) {
    std::vector<UInt8> bytes(static_cast<size_t>(needed));
    CFStringGetBytes(text, CFRangeMake(0, length), target, 0, false, bytes.data(), needed, nullptr);
    *out = Simple(toType, bytes.data(), bytes.size());
  }
  CFRelease(text);
  return ok;
}

bool ConvertFile(const AEDesc& from, DescType toType, AEDesc* out) {
  const auto& b = BytesOf(from);
  if (from.descriptorType == typeFSRef && toType == typeFileURL) {
    if (b.size() != sizeof(FSRef)) return false;
    FSRef ref;
    std::memcpy(&ref, b.data(), sizeof ref);
    CFURLRef url = CFURLCreateFromFSRef(nullptr, &ref);
    if (url == nullptr) return false;
    std::string text = __CFStringGetUTF8(CFURLGetString(url));
    CFRelease(url);
    *out = Simple(toType, text.data(), text.size());
    return true;
  }
  if (from.descriptorType == typeFileURL && toType == typeFSRef) {
    CFURLRef url = CFURLCreateWithBytes(nullptr, b.data(), CFIndex(b.size()), kCFStringEncodingUTF8, nullptr);
    if (url == nullptr) return false;
    FSRef ref;
    bool ok = CFURLGetFSRef(url, &ref);
    CFRelease(url);
    if (ok) *out = Simple(toType, &ref, sizeof ref);
    return ok;
  }
  return false;
}

OSErr Coerce(const AEDesc& from, DescType toType, AEDesc* out) {
  if (toType == typeWildCard || toType == from.descriptorType) {
    *out = Duplicate(from);
    return noErr;
  }
  // One item and a list of one item stand for each other.
  if (toType == typeAEList && !IsAggregate(from.descriptorType)) {
    out->descriptorType = typeAEList;
    out->dataHandle = NewStorage();
    out->dataHandle->items.emplace_back(0, Duplicate(from));
    return noErr;
  }
  if (IsList(from.descriptorType) && !IsAggregate(toType) && from.dataHandle != nullptr &&
      from.dataHandle->items.size() == 1)
    return Coerce(from.dataHandle->items.front().second, toType, out);
  if (IsAggregate(from.descriptorType) || IsAggregate(toType)) return errAECoercionFail;
  if (IsNumeric(from.descriptorType) && IsNumeric(toType)) {
    double value;
    if (ReadNumber(from.descriptorType, BytesOf(from), &value) && WriteNumber(toType, value, out)) return noErr;
    return errAECoercionFail;
  }
  if (ConvertText(from, toType, out) || ConvertFile(from, toType, out)) return noErr;
  return errAECoercionFail;
}

// Copies a simple descriptor, converted, into the caller's buffer.
OSErr ReadInto(const AEDesc& item, DescType desiredType, DescType* typeCode, void* dataPtr, Size maximumSize,
               Size* actualSize) {
  if (maximumSize < 0 || (dataPtr == nullptr && maximumSize > 0)) return paramErr;
  AEDesc converted{typeNull, nullptr};
  OSErr err = Coerce(item, desiredType, &converted);
  if (err != noErr) return err;
  if (IsAggregate(converted.descriptorType)) {
    Dispose(&converted);
    return errAEWrongDataType;
  }
  const auto& b = BytesOf(converted);
  if (typeCode) *typeCode = converted.descriptorType;
  if (actualSize) *actualSize = Size(b.size());
  size_t n = std::min(b.size(), size_t(maximumSize));
  if (n) std::memcpy(dataPtr, b.data(), n);
  Dispose(&converted);
  return noErr;
}

OSErr CopyOut(const AEDesc& item, DescType desiredType, AEDesc* result) {
  if (result == nullptr) return paramErr;
  AEInitializeDesc(result);
  return Coerce(item, desiredType, result);
}

const AEDesc* FindKey(const AEDesc* record, AEKeyword key) {
  for (const auto& item : record->dataHandle->items)
    if (item.first == key) return &item.second;
  return nullptr;
}

OSErr PutKeyed(AEDesc* record, AEKeyword key, AEDesc&& value) {
  for (auto& item : record->dataHandle->items) {
    if (item.first == key) {
      Dispose(&item.second);
      item.second = value;
      return noErr;
    }
  }
  record->dataHandle->items.emplace_back(key, value);
  return noErr;
}

OSErr CheckKeyed(const AEDesc* record) {
  if (!IsValid(record)) return errAENotAEDesc;
  if (!IsKeyed(record->descriptorType) || record->dataHandle == nullptr) return errAEWrongDataType;
  return noErr;
}

OSErr CheckList(const AEDesc* list) {
  if (!IsValid(list)) return errAENotAEDesc;
  if (!IsAggregate(list->descriptorType) || list->dataHandle == nullptr) return errAEWrongDataType;
  return noErr;
}

OSErr CheckEvent(const AEDesc* event) {
  if (!IsValid(event)) return errAENotAEDesc;
  if (event->descriptorType != typeAppleEvent || event->dataHandle == nullptr) return errAENotAppleEvent;
  return noErr;
}

// --- Handlers --------------------------------------------------------------------

struct Handler {
  AEEventHandlerUPP proc;
  SRefCon refcon;
};

std::mutex& HandlerLock() {
  static std::mutex lock;
  return lock;
}
std::map<std::pair<AEEventClass, AEEventID>, Handler>& Handlers() {
  static auto* table = new std::map<std::pair<AEEventClass, AEEventID>, Handler>();
  return *table;
}

bool FindHandler(AEEventClass c, AEEventID id, Handler* out) {
  std::lock_guard<std::mutex> guard(HandlerLock());
  auto& table = Handlers();
  for (auto key : {std::make_pair(c, id), std::make_pair(c, AEEventID(typeWildCard)),
                   std::make_pair(AEEventClass(typeWildCard), id),
                   std::make_pair(AEEventClass(typeWildCard), AEEventID(typeWildCard))}) {
    auto found = table.find(key);
    if (found != table.end()) {
      *out = found->second;
      return true;
    }
  }
  return false;
}

// --- Reveal -------------------------------------------------------------------------

std::mutex& RevealLock() {
  static std::mutex lock;
  return lock;
}
std::vector<std::string>& RevealLog() {
  static auto* log = new std::vector<std::string>();
  return *log;
}

// The path of one item given as an FSRef or a file URL.
OSErr ItemPath(const AEDesc& item, std::string* path) {
  AEDesc ref{typeNull, nullptr};
  if (Coerce(item, typeFSRef, &ref) != noErr) return errAEWrongDataType;
  const auto& b = BytesOf(ref);
  OSErr err = fnfErr;
  if (b.size() == sizeof(FSRef)) {
    FSRef fsRef;
    std::memcpy(&fsRef, b.data(), sizeof fsRef);
    std::vector<UInt8> buffer(65536);
    err = OSErr(FSRefMakePath(&fsRef, buffer.data(), UInt32(buffer.size())));
    if (err == noErr) *path = reinterpret_cast<const char*>(buffer.data());
  }
  Dispose(&ref);
  return err;
}

void OpenFolderOf(const std::string& path) {
  std::string folder = path;
  size_t slash = folder.find_last_of('/');
  folder = slash == 0 ? std::string("/") : slash == std::string::npos ? folder : folder.substr(0, slash);
  CFURLRef url = CFURLCreateFromFileSystemRepresentation(nullptr, reinterpret_cast<const UInt8*>(folder.data()),
                                                         CFIndex(folder.size()), true);
  if (url == nullptr) return;
  LSOpenWithDesktop(nullptr, {url});
  CFRelease(url);
}

void ShowItemsAnswered(GObject* source, GAsyncResult* result, gpointer data) {
  auto* firstPath = static_cast<std::string*>(data);
  GError* error = nullptr;
  GVariant* answer = g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, &error);
  if (answer != nullptr) {
    g_variant_unref(answer);
  } else {
    g_error_free(error);
    OpenFolderOf(*firstPath);
  }
  delete firstPath;
}

OSErr Reveal(const AppleEvent* event) {
  const AEDesc* object = FindKey(event, keyDirectObject);
  if (object == nullptr) return errAEDescNotFound;
  std::vector<std::string> paths;
  if (object->descriptorType == typeAEList && object->dataHandle != nullptr) {
    for (const auto& item : object->dataHandle->items) {
      std::string path;
      OSErr err = ItemPath(item.second, &path);
      if (err != noErr) return err;
      paths.push_back(path);
    }
  } else {
    std::string path;
    OSErr err = ItemPath(*object, &path);
    if (err != noErr) return err;
    paths.push_back(path);
  }
  if (paths.empty()) return errAEDescNotFound;

  if (HostGetKind() == kHostHeadless) {
    std::lock_guard<std::mutex> guard(RevealLock());
    for (const auto& path : paths) RevealLog().push_back(path);
    return noErr;
  }

  GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
  if (bus == nullptr) {
    OpenFolderOf(paths.front());
    return noErr;
  }
  GVariantBuilder uris;
  g_variant_builder_init(&uris, G_VARIANT_TYPE("as"));
  for (const auto& path : paths) {
    gchar* uri = g_filename_to_uri(path.c_str(), nullptr, nullptr);
    if (uri) g_variant_builder_add(&uris, "s", uri);
    g_free(uri);
  }
  g_dbus_connection_call(bus, "org.freedesktop.FileManager1", "/org/freedesktop/FileManager1",
                         "org.freedesktop.FileManager1", "ShowItems", g_variant_new("(ass)", &uris, ""), nullptr,
                         G_DBUS_CALL_FLAGS_NONE, 10000, nullptr, ShowItemsAnswered, new std::string(paths.front()));
  g_object_unref(bus);
  return noErr;
}

// --- Addressing ---------------------------------------------------------------------

enum class Destination { Self, FileManager, Unknown, BadAddress };

Destination DestinationOf(const AEDesc& target) {
  const auto& b = BytesOf(target);
  switch (target.descriptorType) {
    case typeProcessSerialNumber: {
      ProcessSerialNumber psn;
      if (b.size() != sizeof psn) return Destination::BadAddress;
      std::memcpy(&psn, b.data(), sizeof psn);
      return psn.highLongOfPSN == 0 && psn.lowLongOfPSN == kCurrentProcess ? Destination::Self : Destination::Unknown;
    }
    case typeKernelProcessID: {
      SInt32 pid;
      if (b.size() != sizeof pid) return Destination::BadAddress;
      std::memcpy(&pid, b.data(), sizeof pid);
      return pid == SInt32(getpid()) ? Destination::Self : Destination::Unknown;
    }
    case typeApplSignature: {
      OSType signature;
      if (b.size() != sizeof signature) return Destination::BadAddress;
      std::memcpy(&signature, b.data(), sizeof signature);
      if (signature == kFileManagerSignature) return Destination::FileManager;
      UInt32 own = 0;
      CFBundleGetPackageInfo(CFBundleGetMainBundle(), nullptr, &own);
      return own != 0x3F3F3F3F && signature == own ? Destination::Self : Destination::Unknown;
    }
    case typeApplicationBundleID: {
      CFStringRef identifier = CFBundleGetIdentifier(CFBundleGetMainBundle());
      std::string wanted(b.begin(), b.end());
      return identifier != nullptr && wanted == __CFStringGetUTF8(identifier) ? Destination::Self
                                                                               : Destination::Unknown;
    }
    default: return Destination::BadAddress;
  }
}

}  // namespace

// --- Descriptors ---------------------------------------------------------------------

void AEInitializeDesc(AEDesc* desc) {
  if (desc == nullptr) return;
  desc->descriptorType = typeNull;
  desc->dataHandle = nullptr;
}

OSErr AECreateDesc(DescType typeCode, const void* dataPtr, Size dataSize, AEDesc* result) {
  if (result == nullptr) return paramErr;
  AEInitializeDesc(result);
  if (dataSize < 0 || (dataPtr == nullptr && dataSize > 0)) return paramErr;
  if (IsAggregate(typeCode)) return errAEWrongDataType;
  *result = Simple(typeCode, dataPtr, size_t(dataSize));
  return noErr;
}

OSErr AEDisposeDesc(AEDesc* theAEDesc) {
  if (theAEDesc == nullptr) return noErr;
  if (!IsValid(theAEDesc)) {
    AEInitializeDesc(theAEDesc);
    return errAENotAEDesc;
  }
  Dispose(theAEDesc);
  return noErr;
}

OSErr AEDuplicateDesc(const AEDesc* theAEDesc, AEDesc* result) {
  if (result == nullptr) return paramErr;
  AEInitializeDesc(result);
  if (!IsValid(theAEDesc)) return errAENotAEDesc;
  *result = Duplicate(*theAEDesc);
  return noErr;
}

Size AEGetDescDataSize(const AEDesc* theAEDesc) {
  if (!IsValid(theAEDesc) || IsAggregate(theAEDesc->descriptorType)) return 0;
  return Size(BytesOf(*theAEDesc).size());
}

OSErr AEGetDescData(const AEDesc* theAEDesc, void* dataPtr, Size maximumSize) {
  if (!IsValid(theAEDesc)) return errAENotAEDesc;
  if (IsAggregate(theAEDesc->descriptorType)) return errAEDescNotFound;
  if (maximumSize < 0 || (dataPtr == nullptr && maximumSize > 0)) return paramErr;
  const auto& b = BytesOf(*theAEDesc);
  size_t n = std::min(b.size(), size_t(maximumSize));
  if (n) std::memcpy(dataPtr, b.data(), n);
  return noErr;
}

OSErr AECoerceDesc(const AEDesc* theAEDesc, DescType toType, AEDesc* result) {
  if (result == nullptr) return paramErr;
  AEInitializeDesc(result);
  if (!IsValid(theAEDesc)) return errAENotAEDesc;
  return Coerce(*theAEDesc, toType, result);
}

// --- Lists and records ---------------------------------------------------------------

OSErr AECreateList(const void* factoringPtr, Size factoredSize, Boolean isRecord, AEDescList* resultList) {
  if (resultList == nullptr) return paramErr;
  resultList->descriptorType = isRecord ? typeAERecord : typeAEList;
  resultList->dataHandle = NewStorage();
  return noErr;
}

OSErr AECountItems(const AEDescList* theAEDescList, long* theCount) {
  if (theCount == nullptr) return paramErr;
  *theCount = 0;
  if (OSErr err = CheckList(theAEDescList)) return err;
  *theCount = long(theAEDescList->dataHandle->items.size());
  return noErr;
}

OSErr AEPutDesc(AEDescList* theAEDescList, long index, const AEDesc* theAEDesc) {
  if (!IsValid(theAEDescList) || !IsValid(theAEDesc)) return errAENotAEDesc;
  if (!IsList(theAEDescList->descriptorType) || theAEDescList->dataHandle == nullptr) return errAEWrongDataType;
  auto& items = theAEDescList->dataHandle->items;
  if (index < 0 || size_t(index) > items.size() + 1) return errAEIllegalIndex;
  AEDesc copy = Duplicate(*theAEDesc);
  if (index == 0 || size_t(index) == items.size() + 1) {
    items.emplace_back(0, copy);
  } else {
    Dispose(&items[size_t(index - 1)].second);
    items[size_t(index - 1)].second = copy;
  }
  return noErr;
}

OSErr AEPutPtr(AEDescList* theAEDescList, long index, DescType typeCode, const void* dataPtr, Size dataSize) {
  AEDesc item;
  if (OSErr err = AECreateDesc(typeCode, dataPtr, dataSize, &item)) return err;
  OSErr err = AEPutDesc(theAEDescList, index, &item);
  Dispose(&item);
  return err;
}

OSErr AEGetNthDesc(const AEDescList* theAEDescList, long index, DescType desiredType, AEKeyword* theAEKeyword,
                   AEDesc* result) {
  if (result == nullptr) return paramErr;
  AEInitializeDesc(result);
  if (OSErr err = CheckList(theAEDescList)) return err;
  const auto& items = theAEDescList->dataHandle->items;
  if (index < 1 || size_t(index) > items.size()) return errAEIllegalIndex;
  const auto& item = items[size_t(index - 1)];
  if (theAEKeyword) *theAEKeyword = item.first;
  return CopyOut(item.second, desiredType, result);
}

OSErr AEGetNthPtr(const AEDescList* theAEDescList, long index, DescType desiredType, AEKeyword* theAEKeyword,
                  DescType* typeCode, void* dataPtr, Size maximumSize, Size* actualSize) {
  if (OSErr err = CheckList(theAEDescList)) return err;
  const auto& items = theAEDescList->dataHandle->items;
  if (index < 1 || size_t(index) > items.size()) return errAEIllegalIndex;
  const auto& item = items[size_t(index - 1)];
  if (theAEKeyword) *theAEKeyword = item.first;
  return ReadInto(item.second, desiredType, typeCode, dataPtr, maximumSize, actualSize);
}

OSErr AEPutKeyDesc(AERecord* theAERecord, AEKeyword theAEKeyword, const AEDesc* theAEDesc) {
  if (OSErr err = CheckKeyed(theAERecord)) return err;
  if (!IsValid(theAEDesc)) return errAENotAEDesc;
  return PutKeyed(theAERecord, theAEKeyword, Duplicate(*theAEDesc));
}

OSErr AEPutKeyPtr(AERecord* theAERecord, AEKeyword theAEKeyword, DescType typeCode, const void* dataPtr,
                  Size dataSize) {
  if (OSErr err = CheckKeyed(theAERecord)) return err;
  AEDesc item;
  if (OSErr err = AECreateDesc(typeCode, dataPtr, dataSize, &item)) return err;
  return PutKeyed(theAERecord, theAEKeyword, std::move(item));
}

OSErr AEGetKeyPtr(const AERecord* theAERecord, AEKeyword theAEKeyword, DescType desiredType, DescType* typeCode,
                  void* dataPtr, Size maximumSize, Size* actualSize) {
  if (OSErr err = CheckKeyed(theAERecord)) return err;
  const AEDesc* item = FindKey(theAERecord, theAEKeyword);
  if (item == nullptr) return errAEDescNotFound;
  return ReadInto(*item, desiredType, typeCode, dataPtr, maximumSize, actualSize);
}

OSErr AEGetKeyDesc(const AERecord* theAERecord, AEKeyword theAEKeyword, DescType desiredType, AEDesc* result) {
  if (result == nullptr) return paramErr;
  AEInitializeDesc(result);
  if (OSErr err = CheckKeyed(theAERecord)) return err;
  const AEDesc* item = FindKey(theAERecord, theAEKeyword);
  if (item == nullptr) return errAEDescNotFound;
  return CopyOut(*item, desiredType, result);
}

OSErr AEDeleteKeyDesc(AERecord* theAERecord, AEKeyword theAEKeyword) {
  if (OSErr err = CheckKeyed(theAERecord)) return err;
  auto& items = theAERecord->dataHandle->items;
  for (auto it = items.begin(); it != items.end(); ++it) {
    if (it->first == theAEKeyword) {
      Dispose(&it->second);
      items.erase(it);
      return noErr;
    }
  }
  return errAEDescNotFound;
}

// --- Events ---------------------------------------------------------------------------

OSErr AECreateAppleEvent(AEEventClass theAEEventClass, AEEventID theAEEventID, const AEAddressDesc* target,
                         AEReturnID returnID, AETransactionID transactionID, AppleEvent* result) {
  static std::atomic<AEReturnID> nextReturnID{1};
  if (result == nullptr) return paramErr;
  AEInitializeDesc(result);
  if (target != nullptr && !IsValid(target)) return errAENotAEDesc;
  if (target != nullptr && IsAggregate(target->descriptorType)) return errAEWrongDataType;
  OpaqueAEDataStorage* storage = NewStorage();
  storage->eventClass = theAEEventClass;
  storage->eventID = theAEEventID;
  if (target != nullptr) storage->target = Duplicate(*target);
  if (returnID == kAutoGenerateReturnID) {
    returnID = nextReturnID.fetch_add(1);
    if (returnID == kAutoGenerateReturnID || returnID == 0) returnID = nextReturnID.fetch_add(1);
  }
  storage->returnID = returnID;
  storage->transactionID = transactionID;
  result->descriptorType = typeAppleEvent;
  result->dataHandle = storage;
  return noErr;
}

OSErr AEPutParamPtr(AppleEvent* theAppleEvent, AEKeyword theAEKeyword, DescType typeCode, const void* dataPtr,
                    Size dataSize) {
  if (OSErr err = CheckEvent(theAppleEvent)) return err;
  return AEPutKeyPtr(theAppleEvent, theAEKeyword, typeCode, dataPtr, dataSize);
}

OSErr AEPutParamDesc(AppleEvent* theAppleEvent, AEKeyword theAEKeyword, const AEDesc* theAEDesc) {
  if (OSErr err = CheckEvent(theAppleEvent)) return err;
  return AEPutKeyDesc(theAppleEvent, theAEKeyword, theAEDesc);
}

OSErr AEGetParamPtr(const AppleEvent* theAppleEvent, AEKeyword theAEKeyword, DescType desiredType,
                    DescType* typeCode, void* dataPtr, Size maximumSize, Size* actualSize) {
  if (OSErr err = CheckEvent(theAppleEvent)) return err;
  return AEGetKeyPtr(theAppleEvent, theAEKeyword, desiredType, typeCode, dataPtr, maximumSize, actualSize);
}

OSErr AEGetParamDesc(const AppleEvent* theAppleEvent, AEKeyword theAEKeyword, DescType desiredType, AEDesc* result) {
  if (result == nullptr) return paramErr;
  AEInitializeDesc(result);
  if (OSErr err = CheckEvent(theAppleEvent)) return err;
  return AEGetKeyDesc(theAppleEvent, theAEKeyword, desiredType, result);
}

OSErr AEDeleteParam(AppleEvent* theAppleEvent, AEKeyword theAEKeyword) {
  if (OSErr err = CheckEvent(theAppleEvent)) return err;
  return AEDeleteKeyDesc(theAppleEvent, theAEKeyword);
}

OSErr AEGetAttributeDesc(const AppleEvent* theAppleEvent, AEKeyword theAEKeyword, DescType desiredType,
                         AEDesc* result) {
  if (result == nullptr) return paramErr;
  AEInitializeDesc(result);
  if (OSErr err = CheckEvent(theAppleEvent)) return err;
  const OpaqueAEDataStorage* e = theAppleEvent->dataHandle;
  AEDesc attribute{typeNull, nullptr};
  switch (theAEKeyword) {
    case keyEventClassAttr: attribute = Simple(typeType, &e->eventClass, sizeof e->eventClass); break;
    case keyEventIDAttr: attribute = Simple(typeType, &e->eventID, sizeof e->eventID); break;
    case keyReturnIDAttr: attribute = Simple(typeSInt16, &e->returnID, sizeof e->returnID); break;
    case keyTransactionIDAttr: attribute = Simple(typeSInt32, &e->transactionID, sizeof e->transactionID); break;
    case keyAddressAttr: attribute = Duplicate(e->target); break;
    default: return errAEDescNotFound;
  }
  OSErr err = Coerce(attribute, desiredType, result);
  Dispose(&attribute);
  return err;
}

OSErr AEGetAttributePtr(const AppleEvent* theAppleEvent, AEKeyword theAEKeyword, DescType desiredType,
                        DescType* typeCode, void* dataPtr, Size maximumSize, Size* actualSize) {
  AEDesc attribute;
  if (OSErr err = AEGetAttributeDesc(theAppleEvent, theAEKeyword, typeWildCard, &attribute)) return err;
  OSErr err = ReadInto(attribute, desiredType, typeCode, dataPtr, maximumSize, actualSize);
  Dispose(&attribute);
  return err;
}

// --- Handlers --------------------------------------------------------------------------

OSErr AEInstallEventHandler(AEEventClass theAEEventClass, AEEventID theAEEventID, AEEventHandlerUPP handler,
                            SRefCon handlerRefcon, Boolean isSysHandler) {
  if (handler == nullptr) return paramErr;
  std::lock_guard<std::mutex> guard(HandlerLock());
  Handlers()[{theAEEventClass, theAEEventID}] = Handler{handler, handlerRefcon};
  return noErr;
}

OSErr AERemoveEventHandler(AEEventClass theAEEventClass, AEEventID theAEEventID, AEEventHandlerUPP handler,
                           Boolean isSysHandler) {
  std::lock_guard<std::mutex> guard(HandlerLock());
  auto& table = Handlers();
  auto found = table.find({theAEEventClass, theAEEventID});
  if (found == table.end() || (handler != nullptr && found->second.proc != handler)) return errAEHandlerNotFound;
  table.erase(found);
  return noErr;
}

OSErr AEGetEventHandler(AEEventClass theAEEventClass, AEEventID theAEEventID, AEEventHandlerUPP* handler,
                        SRefCon* handlerRefcon, Boolean isSysHandler) {
  std::lock_guard<std::mutex> guard(HandlerLock());
  auto& table = Handlers();
  auto found = table.find({theAEEventClass, theAEEventID});
  if (found == table.end()) return errAEHandlerNotFound;
  if (handler) *handler = found->second.proc;
  if (handlerRefcon) *handlerRefcon = found->second.refcon;
  return noErr;
}

OSErr AEDispatchAppleEvent(const AppleEvent* theAppleEvent, AppleEvent* reply) {
  if (reply) AEInitializeDesc(reply);
  if (OSErr err = CheckEvent(theAppleEvent)) return err;
  Handler handler;
  if (!FindHandler(theAppleEvent->dataHandle->eventClass, theAppleEvent->dataHandle->eventID, &handler))
    return errAEEventNotHandled;
  AppleEvent answer{typeNull, nullptr};
  if (reply) {
    AEAddressDesc self;
    ProcessSerialNumber psn{0, kCurrentProcess};
    AECreateDesc(typeProcessSerialNumber, &psn, sizeof psn, &self);
    AECreateAppleEvent(kCoreEventClass, kAEAnswer, &self, theAppleEvent->dataHandle->returnID,
                       theAppleEvent->dataHandle->transactionID, &answer);
    Dispose(&self);
  }
  OSErr err = handler.proc(theAppleEvent, &answer, handler.refcon);
  if (reply) *reply = answer;
  else Dispose(&answer);
  return err;
}

// --- Sending ---------------------------------------------------------------------------

OSErr AESend(const AppleEvent* theAppleEvent, AppleEvent* reply, AESendMode sendMode, AESendPriority sendPriority,
             SInt32 timeOutInTicks, void* idleProc, void* filterProc) {
  if (reply) AEInitializeDesc(reply);
  if (OSErr err = CheckEvent(theAppleEvent)) return err;
  AESendMode replyMode = sendMode & 0x3;
  if (replyMode == 0) return errAEUnknownSendMode;
  const OpaqueAEDataStorage* e = theAppleEvent->dataHandle;
  switch (DestinationOf(e->target)) {
    case Destination::Self:
      return AEDispatchAppleEvent(theAppleEvent, replyMode == kAEWaitReply ? reply : nullptr);
    case Destination::FileManager:
      if (e->eventClass == kAEMiscStandards && e->eventID == kAEMakeObjectsVisible) return Reveal(theAppleEvent);
      return errAEEventNotHandled;
    case Destination::Unknown: return procNotFound;
    case Destination::BadAddress: return errAEUnknownAddressType;
  }
  return errAEUnknownAddressType;
}

std::vector<std::string> HeadlessCopyRevealRequests() {
  std::lock_guard<std::mutex> guard(RevealLock());
  return RevealLog();
}

void HeadlessClearRevealRequests() {
  std::lock_guard<std::mutex> guard(RevealLock());
  RevealLog().clear();
}
