// Locales and date formatting in the user's language, through the C
// library's locale data (LC_TIME), in the local time zone.
#pragma once

#include "CFBase.h"
#include "CFDate.h"
#include "CFString.h"

typedef const struct __CFLocale* CFLocaleRef;
typedef struct __CFDateFormatter* CFDateFormatterRef;

CFTypeID CFLocaleGetTypeID();
// Create rule: the user's locale for dates, named by $LC_ALL, else
// $LC_TIME, else $LANG; "C" when none is set or the named locale is not
// installed.
CFLocaleRef CFLocaleCopyCurrent();
// Create rule: the locale of a POSIX name ("de_DE.UTF-8") or a locale
// identifier ("de_DE"); nil when the system has no such locale.
CFLocaleRef CFLocaleCreate(CFAllocatorRef allocator, CFStringRef localeIdentifier);
// Get rule: the identifier, without encoding or modifier ("en_US", "C").
CFStringRef CFLocaleGetIdentifier(CFLocaleRef locale);

typedef CFIndex CFDateFormatterStyle;
enum : CFIndex {
  kCFDateFormatterNoStyle = 0,
  kCFDateFormatterShortStyle = 1,   // 12/09/24        3:04 PM
  kCFDateFormatterMediumStyle = 2,  // Dec 9, 2024     3:04:05 PM
  kCFDateFormatterLongStyle = 3,    // December 9, 2024   3:04:05 PM CET
  kCFDateFormatterFullStyle = 4,    // Monday, December 9, 2024   3:04:05 PM CET
};

CFTypeID CFDateFormatterGetTypeID();
// Create rule. A nil locale is the "C" locale. Styles outside the range
// count as the nearest one.
CFDateFormatterRef CFDateFormatterCreate(CFAllocatorRef allocator, CFLocaleRef locale, CFDateFormatterStyle dateStyle,
                                         CFDateFormatterStyle timeStyle);
CFLocaleRef CFDateFormatterGetLocale(CFDateFormatterRef formatter);
CFDateFormatterStyle CFDateFormatterGetDateStyle(CFDateFormatterRef formatter);
CFDateFormatterStyle CFDateFormatterGetTimeStyle(CFDateFormatterRef formatter);
// The date, then a space and the time, each in its style ("" with both
// styles none). The order of day, month and year and the names of months,
// days and the AM/PM marks follow the locale's short date format and its
// names. Nil for a time that is not finite or outside what the time zone
// functions can convert.
CFStringRef CFDateFormatterCreateStringWithAbsoluteTime(CFAllocatorRef allocator, CFDateFormatterRef formatter,
                                                        CFAbsoluteTime at);
CFStringRef CFDateFormatterCreateStringWithDate(CFAllocatorRef allocator, CFDateFormatterRef formatter,
                                                CFDateRef date);
