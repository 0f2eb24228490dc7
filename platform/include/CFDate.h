// Points in time, as seconds since 2001-01-01 00:00:00 GMT (CFAbsoluteTime).
#pragma once

#include "CFBase.h"

// Seconds from 1970-01-01 to 2001-01-01.
extern const CFTimeInterval kCFAbsoluteTimeIntervalSince1970;  // 978307200.0
extern const CFTimeInterval kCFAbsoluteTimeIntervalSince1904;  // 3061152000.0

// The wall clock.
CFAbsoluteTime CFAbsoluteTimeGetCurrent();

CFTypeID CFDateGetTypeID();
CFDateRef CFDateCreate(CFAllocatorRef allocator, CFAbsoluteTime at);
CFAbsoluteTime CFDateGetAbsoluteTime(CFDateRef theDate);
CFComparisonResult CFDateCompare(CFDateRef theDate, CFDateRef otherDate, void* context);
// theDate minus otherDate, in seconds.
CFTimeInterval CFDateGetTimeIntervalSinceDate(CFDateRef theDate, CFDateRef otherDate);
