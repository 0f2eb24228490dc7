#include "CFRuntime.h"

#include <cstdio>
#include <mutex>
#include <vector>

namespace {

std::mutex& TypeTableLock() {
  static std::mutex lock;
  return lock;
}

std::vector<std::string>& DynamicTypeNames() {
  static std::vector<std::string> names;
  return names;
}

struct __CFAllocatorStub : __CFRuntimeBase {
  __CFAllocatorStub() : __CFRuntimeBase(kCFTypeIDAllocator) { Pin(); }
};

struct __CFNullObject : __CFRuntimeBase {
  __CFNullObject() : __CFRuntimeBase(kCFTypeIDNull) { Pin(); }
  std::string Describe() const override { return "<CFNull>"; }
};

__CFAllocatorStub gSystemAllocator, gMallocAllocator, gNullAllocator;
__CFNullObject gNull;

}  // namespace

const CFAllocatorRef kCFAllocatorDefault = nullptr;
const CFAllocatorRef kCFAllocatorSystemDefault =
    reinterpret_cast<CFAllocatorRef>(static_cast<__CFRuntimeBase*>(&gSystemAllocator));
const CFAllocatorRef kCFAllocatorMalloc =
    reinterpret_cast<CFAllocatorRef>(static_cast<__CFRuntimeBase*>(&gMallocAllocator));
const CFAllocatorRef kCFAllocatorNull =
    reinterpret_cast<CFAllocatorRef>(static_cast<__CFRuntimeBase*>(&gNullAllocator));
const CFNullRef kCFNull = reinterpret_cast<CFNullRef>(static_cast<__CFRuntimeBase*>(&gNull));

std::string __CFRuntimeBase::Describe() const {
  char buf[96];
  std::snprintf(buf, sizeof buf, "<%s %p>", CFRuntimeTypeName(typeID), static_cast<const void*>(this));
  return buf;
}

CFTypeID CFRuntimeRegisterType(const char* name) {
  std::lock_guard<std::mutex> guard(TypeTableLock());
  DynamicTypeNames().emplace_back(name ? name : "CFType");
  return kCFTypeIDFirstDynamic + DynamicTypeNames().size() - 1;
}

const char* CFRuntimeTypeName(CFTypeID type) {
  switch (type) {
    case kCFTypeIDNull: return "CFNull";
    case kCFTypeIDAllocator: return "CFAllocator";
    case kCFTypeIDString: return "CFString";
    case kCFTypeIDArray: return "CFArray";
    case kCFTypeIDDictionary: return "CFDictionary";
    case kCFTypeIDSet: return "CFSet";
    case kCFTypeIDBag: return "CFBag";
    case kCFTypeIDTree: return "CFTree";
    case kCFTypeIDNumber: return "CFNumber";
    case kCFTypeIDBoolean: return "CFBoolean";
    case kCFTypeIDData: return "CFData";
    case kCFTypeIDDate: return "CFDate";
    case kCFTypeIDURL: return "CFURL";
    default: break;
  }
  std::lock_guard<std::mutex> guard(TypeTableLock());
  auto& names = DynamicTypeNames();
  if (type >= kCFTypeIDFirstDynamic && type - kCFTypeIDFirstDynamic < names.size())
    return names[type - kCFTypeIDFirstDynamic].c_str();
  return "CFType";
}

CFTypeRef CFRetain(CFTypeRef cf) {
  auto* obj = CFObjMut(cf);
  if (obj == nullptr) return nullptr;
  if (!obj->pinned) obj->retainCount.fetch_add(1, std::memory_order_relaxed);
  return cf;
}

void CFRelease(CFTypeRef cf) {
  auto* obj = CFObjMut(cf);
  if (obj == nullptr || obj->pinned) return;
  if (obj->retainCount.fetch_sub(1, std::memory_order_acq_rel) == 1) delete obj;
}

CFIndex CFGetRetainCount(CFTypeRef cf) {
  auto* obj = CFObj(cf);
  if (obj == nullptr) return 0;
  return obj->pinned ? CFIndex(0x7fffffff) : obj->retainCount.load(std::memory_order_relaxed);
}

CFTypeID CFGetTypeID(CFTypeRef cf) {
  auto* obj = CFObj(cf);
  return obj ? obj->typeID : kCFRuntimeNotATypeID;
}

CFTypeID CFNullGetTypeID() { return kCFTypeIDNull; }

Boolean CFEqual(CFTypeRef cf1, CFTypeRef cf2) {
  if (cf1 == cf2) return true;
  auto* a = CFObj(cf1);
  auto* b = CFObj(cf2);
  if (a == nullptr || b == nullptr || a->typeID != b->typeID) return false;
  return a->Equal(b);
}

CFHashCode CFHash(CFTypeRef cf) {
  auto* obj = CFObj(cf);
  return obj ? obj->Hash() : 0;
}
