// Internal to the platform library: the header that every CF object starts
// with, and the fixed type IDs. Each CF type is a C++ struct deriving from
// __CFRuntimeBase; references are pointers to it.
#pragma once

#include <atomic>
#include <string>

#include "CFBase.h"

enum : CFTypeID {
  kCFRuntimeNotATypeID = 0,
  kCFTypeIDNull = 1,
  kCFTypeIDAllocator,
  kCFTypeIDString,
  kCFTypeIDArray,
  kCFTypeIDDictionary,
  kCFTypeIDSet,
  kCFTypeIDBag,
  kCFTypeIDTree,
  kCFTypeIDNumber,
  kCFTypeIDBoolean,
  kCFTypeIDData,
  kCFTypeIDDate,
  kCFTypeIDURL,
  kCFTypeIDFirstDynamic = 64,  // later areas register theirs with CFRuntimeRegisterType
};

struct __CFRuntimeBase {
  explicit __CFRuntimeBase(CFTypeID type) : typeID(type) {}
  virtual ~__CFRuntimeBase() = default;
  __CFRuntimeBase(const __CFRuntimeBase&) = delete;
  __CFRuntimeBase& operator=(const __CFRuntimeBase&) = delete;

  // Value equality with another object of the same type ID (CFEqual checks the
  // type first). The default is identity.
  virtual bool Equal(const __CFRuntimeBase* other) const { return other == this; }
  virtual CFHashCode Hash() const { return CFHashCode(reinterpret_cast<uintptr_t>(this) >> 4); }
  // The text CFCopyDescription shows; the default names the type and address.
  virtual std::string Describe() const;

  // Objects pinned with Pin() (constant strings, singletons) are never freed:
  // retain and release leave their count alone.
  void Pin() { pinned = true; }

  const CFTypeID typeID;
  std::atomic<CFIndex> retainCount{1};
  bool pinned = false;
};

// The runtime view of a reference; nil stays nil.
inline const __CFRuntimeBase* CFObj(CFTypeRef cf) { return static_cast<const __CFRuntimeBase*>(cf); }
inline __CFRuntimeBase* CFObjMut(CFTypeRef cf) {
  return const_cast<__CFRuntimeBase*>(static_cast<const __CFRuntimeBase*>(cf));
}

// Checked downcast: nil when the object is nil or of another type.
template <typename T>
T* CFCast(CFTypeRef cf, CFTypeID type) {
  auto* base = CFObjMut(cf);
  if (base == nullptr || base->typeID != type) return nullptr;
  return static_cast<T*>(base);
}

// Type names for descriptions and CFCopyTypeIDDescription; later areas add
// their own types with a fresh ID.
CFTypeID CFRuntimeRegisterType(const char* name);
const char* CFRuntimeTypeName(CFTypeID type);
