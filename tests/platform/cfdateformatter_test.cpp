#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <ctime>
#include <string>

#include "CFDateFormatter.h"
#include "CFStringInternal.h"

namespace {

// 2024-12-09 15:04:05 UTC, a Monday.
constexpr CFAbsoluteTime kMonday = 1733756645.0 - 978307200.0;

class DateFormatterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    unsetenv("LC_ALL");
    unsetenv("LANG");
    setenv("LC_TIME", "C", 1);
    setenv("TZ", "UTC", 1);
    tzset();
  }

  static std::string Format(CFDateFormatterStyle date, CFDateFormatterStyle time, CFAbsoluteTime at) {
    CFLocaleRef locale = CFLocaleCopyCurrent();
    CFDateFormatterRef formatter = CFDateFormatterCreate(nullptr, locale, date, time);
    CFRelease(locale);
    CFStringRef text = CFDateFormatterCreateStringWithAbsoluteTime(nullptr, formatter, at);
    CFRelease(formatter);
    std::string result = text ? __CFStringGetUTF8(text) : "(nil)";
    if (text) CFRelease(text);
    return result;
  }
};

TEST_F(DateFormatterTest, StylesInTheCLocale) {
  CFLocaleRef locale = CFLocaleCopyCurrent();
  EXPECT_EQ(__CFStringGetUTF8(CFLocaleGetIdentifier(locale)), "C");
  CFRelease(locale);
  struct {
    CFDateFormatterStyle date, time;
    const char* expected;
  } cases[] = {
      {kCFDateFormatterShortStyle, kCFDateFormatterNoStyle, "12/09/24"},
      {kCFDateFormatterMediumStyle, kCFDateFormatterNoStyle, "Dec 9, 2024"},
      {kCFDateFormatterLongStyle, kCFDateFormatterNoStyle, "December 9, 2024"},
      {kCFDateFormatterFullStyle, kCFDateFormatterNoStyle, "Monday, December 9, 2024"},
      {kCFDateFormatterNoStyle, kCFDateFormatterShortStyle, "15:04"},
      {kCFDateFormatterNoStyle, kCFDateFormatterMediumStyle, "15:04:05"},
      {kCFDateFormatterNoStyle, kCFDateFormatterLongStyle, "15:04:05 UTC"},
      {kCFDateFormatterLongStyle, kCFDateFormatterLongStyle, "December 9, 2024 15:04:05 UTC"},
      {kCFDateFormatterNoStyle, kCFDateFormatterNoStyle, ""},
      {99, -5, "Monday, December 9, 2024"},  // out-of-range styles count as the nearest
  };
  for (const auto& c : cases) EXPECT_EQ(Format(c.date, c.time, kMonday), c.expected) << c.date << "/" << c.time;
  // A fraction of a second belongs to the second it is in.
  EXPECT_EQ(Format(kCFDateFormatterNoStyle, kCFDateFormatterMediumStyle, kMonday - 0.25), "15:04:04");
}

TEST_F(DateFormatterTest, LocalTimeZoneAndLocales) {
  setenv("TZ", "EST5", 1);
  tzset();
  EXPECT_EQ(Format(kCFDateFormatterLongStyle, kCFDateFormatterLongStyle, kMonday), "December 9, 2024 10:04:05 EST");

  // An unknown locale falls back to C; CFLocaleCreate refuses it.
  setenv("LC_TIME", "xx_NOWHERE.UTF-8", 1);
  CFLocaleRef locale = CFLocaleCopyCurrent();
  EXPECT_EQ(__CFStringGetUTF8(CFLocaleGetIdentifier(locale)), "C");
  CFRelease(locale);
  EXPECT_EQ(CFLocaleCreate(nullptr, CFStringMakeConstantUTF8("xx_NOWHERE")), nullptr);
  EXPECT_EQ(CFLocaleCreate(nullptr, nullptr), nullptr);
  CFLocaleRef utf8 = CFLocaleCreate(nullptr, CFStringMakeConstantUTF8("C.UTF-8"));
  if (utf8) {
    EXPECT_EQ(__CFStringGetUTF8(CFLocaleGetIdentifier(utf8)), "C");
    CFRelease(utf8);
  }
}

TEST_F(DateFormatterTest, TimesThatCannotBeShown) {
  for (double at : {double(NAN), double(INFINITY), -double(INFINITY), 1e300, -1e300})
    EXPECT_EQ(Format(kCFDateFormatterLongStyle, kCFDateFormatterLongStyle, at), "(nil)") << at;
  CFDateFormatterRef formatter = CFDateFormatterCreate(nullptr, nullptr, kCFDateFormatterShortStyle, kCFDateFormatterNoStyle);
  EXPECT_EQ(CFDateFormatterCreateStringWithDate(nullptr, formatter, nullptr), nullptr);
  CFDateRef date = CFDateCreate(nullptr, kMonday);
  CFStringRef text = CFDateFormatterCreateStringWithDate(nullptr, formatter, date);
  EXPECT_EQ(__CFStringGetUTF8(text), "12/09/24");
  CFRelease(text);
  CFRelease(date);
  CFRelease(formatter);
  EXPECT_EQ(CFDateFormatterCreateStringWithAbsoluteTime(nullptr, nullptr, kMonday), nullptr);
}

}  // namespace
