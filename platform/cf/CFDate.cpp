#include "CFDate.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <new>

#include "CFCollectionInternal.h"

const CFTimeInterval kCFAbsoluteTimeIntervalSince1970 = 978307200.0;
const CFTimeInterval kCFAbsoluteTimeIntervalSince1904 = 3061152000.0;

CFAbsoluteTime CFAbsoluteTimeGetCurrent() {
  struct timespec ts;
  clock_gettime(CLOCK_REALTIME, &ts);
  return (double(ts.tv_sec) - kCFAbsoluteTimeIntervalSince1970) + double(ts.tv_nsec) * 1e-9;
}

struct __CFDate : __CFRuntimeBase {
  explicit __CFDate(CFAbsoluteTime t) : __CFRuntimeBase(kCFTypeIDDate), at(t) {}

  bool Equal(const __CFRuntimeBase* other) const override {
    return static_cast<const __CFDate*>(other)->at == at;
  }
  CFHashCode Hash() const override {
    if (std::isnan(at)) return 0;
    double whole = std::floor(at);
    uint64_t bits;
    double v = at == 0.0 ? 0.0 : at;  // -0 and +0 are equal: one hash
    std::memcpy(&bits, &v, sizeof bits);
    return CFHashCode(whole == at && std::fabs(at) < 9.0e18 ? uint64_t(int64_t(at)) : bits);
  }

  std::string Describe() const override {
    char when[64] = "?";
    double secs = std::floor(at + kCFAbsoluteTimeIntervalSince1970);
    // Only times that the calendar conversion can hold are shown as dates.
    if (std::isfinite(secs) && std::fabs(secs) < 1.0e15) {
      time_t t = time_t(secs);
      struct tm tm;
      if (gmtime_r(&t, &tm) != nullptr) std::strftime(when, sizeof when, "%Y-%m-%d %H:%M:%S +0000", &tm);
    }
    char buf[160];
    std::snprintf(buf, sizeof buf, "<CFDate %p [%s]>{time = %.17g}", static_cast<const void*>(this),
                  when, at);
    return buf;
  }

  const CFAbsoluteTime at;
};

namespace {
__CFDate* DateOf(CFTypeRef d, const char* fn) { return __CFCheckedCast<__CFDate>(d, kCFTypeIDDate, fn); }
}  // namespace

CFTypeID CFDateGetTypeID() { return kCFTypeIDDate; }

CFDateRef CFDateCreate(CFAllocatorRef, CFAbsoluteTime at) {
  auto* d = new (std::nothrow) __CFDate(at);
  return d ? reinterpret_cast<CFDateRef>(static_cast<__CFRuntimeBase*>(d)) : nullptr;
}

CFAbsoluteTime CFDateGetAbsoluteTime(CFDateRef theDate) {
  __CFDate* d = DateOf(theDate, "CFDateGetAbsoluteTime");
  return d ? d->at : 0.0;
}

CFComparisonResult CFDateCompare(CFDateRef theDate, CFDateRef otherDate, void*) {
  CFAbsoluteTime a = CFDateGetAbsoluteTime(theDate), b = CFDateGetAbsoluteTime(otherDate);
  if (a < b) return kCFCompareLessThan;
  if (a > b) return kCFCompareGreaterThan;
  return kCFCompareEqualTo;
}

CFTimeInterval CFDateGetTimeIntervalSinceDate(CFDateRef theDate, CFDateRef otherDate) {
  return CFDateGetAbsoluteTime(theDate) - CFDateGetAbsoluteTime(otherDate);
}
