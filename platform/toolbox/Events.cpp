// Event records: class, kind, time, attributes and typed, named parameters.
#include <cmath>
#include <cstring>
#include <limits>
#include <new>

#include "CFString.h"
#include "CGGeometry.h"
#include "EventsInternal.h"

namespace {

__CEvent::Param* FindParam(EventRef event, EventParamName name) {
  for (auto& p : event->params)
    if (p.name == name) return &p;
  return nullptr;
}

bool IsIntegerType(EventParamType t) {
  return t == typeSInt16 || t == typeSInt32 || t == typeUInt32 || t == typeSInt64;
}

bool ReadInteger(EventParamType t, const std::vector<UInt8>& b, long long* out) {
  switch (t) {
    case typeSInt16: {
      if (b.size() != sizeof(SInt16)) return false;
      SInt16 v;
      std::memcpy(&v, b.data(), sizeof v);
      *out = v;
      return true;
    }
    case typeSInt32: {
      if (b.size() != sizeof(SInt32)) return false;
      SInt32 v;
      std::memcpy(&v, b.data(), sizeof v);
      *out = v;
      return true;
    }
    case typeUInt32: {
      if (b.size() != sizeof(UInt32)) return false;
      UInt32 v;
      std::memcpy(&v, b.data(), sizeof v);
      *out = v;
      return true;
    }
    case typeSInt64: {
      if (b.size() != sizeof(SInt64)) return false;
      SInt64 v;
      std::memcpy(&v, b.data(), sizeof v);
      *out = v;
      return true;
    }
  }
  return false;
}

template <typename T>
bool WriteInteger(long long v, std::vector<UInt8>* out) {
  if (v < (long long)std::numeric_limits<T>::min() || v > (long long)std::numeric_limits<T>::max()) return false;
  T t = static_cast<T>(v);
  out->resize(sizeof t);
  std::memcpy(out->data(), &t, sizeof t);
  return true;
}

SInt16 ToQD(CGFloat f) {
  if (!std::isfinite(f)) return 0;
  double t = std::trunc(f);
  if (t < -32768) return -32768;
  if (t > 32767) return 32767;
  return SInt16(t);
}

// The conversions callers rely on between parameter types that carry the same
// value: QuickDraw and HI points and rectangles, the integer types, and a
// CFString read as a CFType (or back, when it is one).
bool Coerce(const __CEvent::Param& p, EventParamType to, std::vector<UInt8>* out) {
  const auto& b = p.bytes;
  if (IsIntegerType(p.type) && IsIntegerType(to)) {
    long long v;
    if (!ReadInteger(p.type, b, &v)) return false;
    switch (to) {
      case typeSInt16: return WriteInteger<SInt16>(v, out);
      case typeSInt32: return WriteInteger<SInt32>(v, out);
      case typeUInt32: return WriteInteger<UInt32>(v, out);
      case typeSInt64: return WriteInteger<SInt64>(v, out);
    }
    return false;
  }
  if (p.type == typeHIPoint && to == typeQDPoint && b.size() == sizeof(CGPoint)) {
    CGPoint hp;
    std::memcpy(&hp, b.data(), sizeof hp);
    Point qp{ToQD(hp.y), ToQD(hp.x)};
    out->resize(sizeof qp);
    std::memcpy(out->data(), &qp, sizeof qp);
    return true;
  }
  if (p.type == typeQDPoint && to == typeHIPoint && b.size() == sizeof(Point)) {
    Point qp;
    std::memcpy(&qp, b.data(), sizeof qp);
    CGPoint hp{CGFloat(qp.h), CGFloat(qp.v)};
    out->resize(sizeof hp);
    std::memcpy(out->data(), &hp, sizeof hp);
    return true;
  }
  if (p.type == typeHIRect && to == typeQDRectangle && b.size() == sizeof(CGRect)) {
    CGRect r;
    std::memcpy(&r, b.data(), sizeof r);
    Rect q;
    q.top = ToQD(r.origin.y);
    q.left = ToQD(r.origin.x);
    q.bottom = ToQD(r.origin.y + r.size.height);
    q.right = ToQD(r.origin.x + r.size.width);
    out->resize(sizeof q);
    std::memcpy(out->data(), &q, sizeof q);
    return true;
  }
  if (p.type == typeQDRectangle && to == typeHIRect && b.size() == sizeof(Rect)) {
    Rect q;
    std::memcpy(&q, b.data(), sizeof q);
    CGRect r{{CGFloat(q.left), CGFloat(q.top)}, {CGFloat(q.right - q.left), CGFloat(q.bottom - q.top)}};
    out->resize(sizeof r);
    std::memcpy(out->data(), &r, sizeof r);
    return true;
  }
  if (p.type == typeCFStringRef && to == typeCFTypeRef && b.size() == sizeof(CFTypeRef)) {
    *out = b;
    return true;
  }
  if (p.type == typeCFTypeRef && to == typeCFStringRef && b.size() == sizeof(CFTypeRef)) {
    CFTypeRef obj;
    std::memcpy(&obj, b.data(), sizeof obj);
    if (obj != nullptr && CFGetTypeID(obj) != CFStringGetTypeID()) return false;
    *out = b;
    return true;
  }
  return false;
}

}  // namespace

OSStatus CreateEvent(CFAllocatorRef, EventClass inClassID, EventKind inKind, EventTime inWhen,
                     EventAttributes inAttributes, EventRef* outEvent) {
  if (outEvent == nullptr) return paramErr;
  *outEvent = nullptr;
  auto* e = new (std::nothrow) __CEvent;
  if (e == nullptr) return memFullErr;
  e->eventClass = inClassID;
  e->eventKind = inKind;
  e->when = inWhen == 0 ? GetCurrentEventTime() : inWhen;
  e->attributes = inAttributes;
  *outEvent = e;
  return noErr;
}

EventRef CopyEvent(EventRef inOther) {
  if (inOther == nullptr) return nullptr;
  auto* e = new (std::nothrow) __CEvent;
  if (e == nullptr) return nullptr;
  try {
    e->params = inOther->params;
  } catch (const std::bad_alloc&) {
    delete e;
    return nullptr;
  }
  e->eventClass = inOther->eventClass;
  e->eventKind = inOther->eventKind;
  e->when = inOther->when;
  e->attributes = inOther->attributes;
  return e;
}

EventRef RetainEvent(EventRef inEvent) {
  if (inEvent) inEvent->retainCount.fetch_add(1, std::memory_order_relaxed);
  return inEvent;
}

void ReleaseEvent(EventRef inEvent) {
  if (inEvent == nullptr) return;
  if (inEvent->retainCount.fetch_sub(1, std::memory_order_acq_rel) == 1) delete inEvent;
}

ItemCount GetEventRetainCount(EventRef inEvent) { return inEvent ? inEvent->retainCount.load() : 0; }
EventClass GetEventClass(EventRef inEvent) { return inEvent ? inEvent->eventClass : 0; }
EventKind GetEventKind(EventRef inEvent) { return inEvent ? inEvent->eventKind : 0; }
EventTime GetEventTime(EventRef inEvent) { return inEvent ? inEvent->when : 0; }
EventAttributes GetEventAttributes(EventRef inEvent) { return inEvent ? inEvent->attributes : 0; }

OSStatus SetEventTime(EventRef inEvent, EventTime inTime) {
  if (inEvent == nullptr) return paramErr;
  inEvent->when = inTime;
  return noErr;
}

OSStatus SetEventParameter(EventRef inEvent, EventParamName inName, EventParamType inType, ByteCount inSize,
                           const void* inPtr) {
  if (inEvent == nullptr || (inSize > 0 && inPtr == nullptr)) return paramErr;
  try {
    std::vector<UInt8> bytes(static_cast<const UInt8*>(inPtr), static_cast<const UInt8*>(inPtr) + inSize);
    if (auto* p = FindParam(inEvent, inName)) {
      p->type = inType;
      p->bytes.swap(bytes);
    } else {
      inEvent->params.push_back(__CEvent::Param{inName, inType, std::move(bytes)});
    }
  } catch (const std::bad_alloc&) {
    return memFullErr;
  }
  return noErr;
}

OSStatus GetEventParameter(EventRef inEvent, EventParamName inName, EventParamType inDesiredType,
                           EventParamType* outActualType, ByteCount inBufferSize, ByteCount* outActualSize,
                           void* outData) {
  if (inEvent == nullptr) return paramErr;
  const __CEvent::Param* p = FindParam(inEvent, inName);
  if (p == nullptr) return eventParameterNotFoundErr;

  const std::vector<UInt8>* value = &p->bytes;
  EventParamType actualType = p->type;
  std::vector<UInt8> converted;
  if (inDesiredType != typeWildCard && inDesiredType != p->type) {
    if (!Coerce(*p, inDesiredType, &converted)) return errAECoercionFail;
    value = &converted;
    actualType = inDesiredType;
  }

  ByteCount size = ByteCount(value->size());
  if (outData != nullptr) {
    if (inBufferSize < size) return paramErr;
    if (size) std::memcpy(outData, value->data(), size);
  }
  if (outActualSize) *outActualSize = size;
  if (outActualType) *outActualType = actualType;
  return noErr;
}

OSStatus RemoveEventParameter(EventRef inEvent, EventParamName inName) {
  if (inEvent == nullptr) return paramErr;
  auto& ps = inEvent->params;
  for (auto it = ps.begin(); it != ps.end(); ++it) {
    if (it->name == inName) {
      ps.erase(it);
      return noErr;
    }
  }
  return eventParameterNotFoundErr;
}
