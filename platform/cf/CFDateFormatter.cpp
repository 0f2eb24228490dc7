// Locales and date formatting over the C library's locale data: each locale
// object holds its own locale_t, so formatting never touches the process's
// global locale.
#include "CFDateFormatter.h"

#include <glib.h>
#include <langinfo.h>
#include <locale.h>
#include <time.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "CFRuntime.h"
#include "CFStringInternal.h"

namespace {

CFTypeID LocaleTypeID() {
  static const CFTypeID type = CFRuntimeRegisterType("CFLocale");
  return type;
}

CFTypeID FormatterTypeID() {
  static const CFTypeID type = CFRuntimeRegisterType("CFDateFormatter");
  return type;
}

}  // namespace

struct __CFLocale : __CFRuntimeBase {
  __CFLocale(locale_t l, std::string id) : __CFRuntimeBase(LocaleTypeID()), loc(l) {
    identifier = __CFStringCreateWithUTF8(id);
    if (identifier == nullptr) identifier = __CFStringCreateWithUTF8("C");
  }
  ~__CFLocale() override {
    if (loc != (locale_t)0) freelocale(loc);
    if (identifier) CFRelease(identifier);
  }
  std::string Describe() const override { return "<CFLocale " + __CFStringGetUTF8(identifier) + ">"; }

  locale_t loc;
  CFStringRef identifier;
};

struct __CFDateFormatter : __CFRuntimeBase {
  __CFDateFormatter() : __CFRuntimeBase(FormatterTypeID()) {}
  ~__CFDateFormatter() override {
    if (locale) CFRelease(locale);
  }

  CFLocaleRef locale = nullptr;
  CFDateFormatterStyle dateStyle = kCFDateFormatterNoStyle;
  CFDateFormatterStyle timeStyle = kCFDateFormatterNoStyle;
  std::string datePattern;  // strftime patterns
  std::string timePattern;
};

namespace {

__CFLocale* LocaleCast(CFTypeRef cf) { return CFCast<__CFLocale>(cf, LocaleTypeID()); }
__CFDateFormatter* FormatterCast(CFTypeRef cf) { return CFCast<__CFDateFormatter>(cf, FormatterTypeID()); }

std::string IdentifierOf(const std::string& posixName) {
  std::string id = posixName.substr(0, posixName.find_first_of(".@"));
  return id.empty() || id == "POSIX" ? std::string("C") : id;
}

// A locale for dates and their character set; nil when not installed.
__CFLocale* MakeLocale(const std::string& name) {
  if (name.empty() || name.size() > 256 || name.find('/') != std::string::npos) return nullptr;
  for (const std::string& candidate : {name, name + ".UTF-8", name + ".utf8"}) {
    locale_t loc = newlocale(LC_TIME_MASK | LC_CTYPE_MASK, candidate.c_str(), (locale_t)0);
    if (loc != (locale_t)0) return new __CFLocale(loc, IdentifierOf(name));
  }
  return nullptr;
}

__CFLocale* CLocale() {
  locale_t loc = newlocale(LC_TIME_MASK | LC_CTYPE_MASK, "C", (locale_t)0);
  return new __CFLocale(loc, "C");
}

// --- Patterns ---------------------------------------------------------------------

void ReplaceAll(std::string& s, const std::string& from, const std::string& to) {
  for (size_t at = s.find(from); at != std::string::npos; at = s.find(from, at + to.size())) s.replace(at, from.size(), to);
}

std::string LangInfo(locale_t loc, nl_item item) {
  const char* text = loc != (locale_t)0 ? nl_langinfo_l(item, loc) : nullptr;
  return text ? std::string(text) : std::string();
}

// The composite conversions spelled out, so that the fields can be read.
std::string Expand(std::string pattern, locale_t loc) {
  std::string ampm = LangInfo(loc, T_FMT_AMPM);
  if (ampm.empty() || ampm.find("%r") != std::string::npos) ampm = "%I:%M:%S %p";
  ReplaceAll(pattern, "%D", "%m/%d/%y");
  ReplaceAll(pattern, "%F", "%Y-%m-%d");
  ReplaceAll(pattern, "%T", "%H:%M:%S");
  ReplaceAll(pattern, "%R", "%H:%M");
  ReplaceAll(pattern, "%r", ampm);
  return pattern;
}

// The order of day, month and year in the short date format ("mdy", "dmy", ...).
std::string FieldOrder(const std::string& pattern, char* daySeparator) {
  std::string order;
  *daySeparator = 0;
  for (size_t i = 0; i + 1 < pattern.size(); ++i) {
    if (pattern[i] != '%') continue;
    size_t j = i + 1;
    while (j < pattern.size() && (pattern[j] == '-' || pattern[j] == '_' || pattern[j] == '0' ||
                                  pattern[j] == 'E' || pattern[j] == 'O'))
      ++j;
    if (j >= pattern.size()) break;
    char c = pattern[j];
    char field = 0;
    if (c == 'd' || c == 'e') field = 'd';
    else if (c == 'm' || c == 'b' || c == 'B' || c == 'h') field = 'm';
    else if (c == 'y' || c == 'Y' || c == 'C') field = 'y';
    if (field && order.find(field) == std::string::npos) {
      order += field;
      if (field == 'd' && j + 1 < pattern.size()) *daySeparator = pattern[j + 1];
    }
    i = j;
  }
  return order;
}

bool HasNonASCII(const std::string& s) {
  for (unsigned char c : s)
    if (c >= 0x80) return true;
  return false;
}

std::string DatePattern(locale_t loc, CFDateFormatterStyle style) {
  if (style <= kCFDateFormatterNoStyle) return std::string();
  std::string shortFormat = Expand(LangInfo(loc, D_FMT), loc);
  if (shortFormat.empty()) shortFormat = "%m/%d/%y";
  if (style == kCFDateFormatterShortStyle) return shortFormat;
  char separator = 0;
  std::string order = FieldOrder(shortFormat, &separator);
  bool medium = style == kCFDateFormatterMediumStyle, full = style >= kCFDateFormatterFullStyle;
  const char* month = medium ? "%b" : "%B";
  std::string result;
  if (order == "mdy") {
    result = std::string(month) + " %-d, %Y";
    if (full) result = "%A, " + result;
  } else if (order == "dmy") {
    result = separator == '.' ? std::string("%-d. ") + month + " %Y" : std::string("%-d ") + month + " %Y";
    if (full) result = (separator == '.' ? "%A, " : "%A ") + result;
  } else if (order == "ymd") {
    if (HasNonASCII(shortFormat)) {
      result = shortFormat;
      ReplaceAll(result, "%m", "%-m");
      ReplaceAll(result, "%d", "%-d");
      if (full) result += " %A";
    } else {
      result = std::string("%Y ") + month + " %-d";
      if (full) result = "%A, " + result;
    }
  } else {
    result = shortFormat;
  }
  return result;
}

std::string TimePattern(locale_t loc, CFDateFormatterStyle style) {
  if (style <= kCFDateFormatterNoStyle) return std::string();
  std::string medium = Expand(LangInfo(loc, T_FMT), loc);
  if (medium.empty()) medium = "%H:%M:%S";
  ReplaceAll(medium, "%I", "%-I");
  if (style == kCFDateFormatterShortStyle) {
    std::string shortened = medium;
    for (const char* seconds : {":%S", ".%S", "%S"}) {
      size_t at = shortened.find(seconds);
      if (at != std::string::npos) {
        shortened.erase(at, std::string(seconds).size());
        break;
      }
    }
    return shortened;
  }
  if (style == kCFDateFormatterMediumStyle) return medium;
  return medium + " %Z";
}

CFDateFormatterStyle Clamp(CFDateFormatterStyle style) {
  if (style < kCFDateFormatterNoStyle) return kCFDateFormatterNoStyle;
  if (style > kCFDateFormatterFullStyle) return kCFDateFormatterFullStyle;
  return style;
}

// strftime in the locale, as UTF-8; false when the text cannot be made.
bool Format(const std::string& pattern, const struct tm& when, locale_t loc, std::string* out) {
  out->clear();
  if (pattern.empty()) return true;
  std::vector<char> buffer(256);
  for (;;) {
    size_t n = strftime_l(buffer.data(), buffer.size(), pattern.c_str(), &when, loc);
    if (n > 0) {
      out->assign(buffer.data(), n);
      break;
    }
    if (buffer.size() >= 8192) return false;
    buffer.resize(buffer.size() * 4);
  }
  std::string codeset = LangInfo(loc, CODESET);
  if (codeset.empty() || g_ascii_strcasecmp(codeset.c_str(), "UTF-8") == 0 ||
      g_ascii_strcasecmp(codeset.c_str(), "utf8") == 0)
    return g_utf8_validate(out->data(), gssize(out->size()), nullptr);
  gchar* converted = g_convert(out->data(), gssize(out->size()), "UTF-8", codeset.c_str(), nullptr, nullptr, nullptr);
  if (converted == nullptr) return false;
  *out = converted;
  g_free(converted);
  return true;
}

}  // namespace

CFTypeID CFLocaleGetTypeID() { return LocaleTypeID(); }

CFLocaleRef CFLocaleCopyCurrent() {
  for (const char* variable : {"LC_ALL", "LC_TIME", "LANG"}) {
    const char* value = getenv(variable);
    if (value == nullptr || *value == '\0') continue;
    if (__CFLocale* locale = MakeLocale(value)) return locale;
    break;
  }
  return CLocale();
}

CFLocaleRef CFLocaleCreate(CFAllocatorRef allocator, CFStringRef localeIdentifier) {
  if (localeIdentifier == nullptr || CFGetTypeID(localeIdentifier) != CFStringGetTypeID()) return nullptr;
  std::string name = __CFStringGetUTF8(localeIdentifier);
  if (name.find('\0') != std::string::npos) return nullptr;
  return MakeLocale(name);
}

CFStringRef CFLocaleGetIdentifier(CFLocaleRef locale) {
  __CFLocale* l = LocaleCast(locale);
  return l ? l->identifier : nullptr;
}

CFTypeID CFDateFormatterGetTypeID() { return FormatterTypeID(); }

CFDateFormatterRef CFDateFormatterCreate(CFAllocatorRef allocator, CFLocaleRef locale, CFDateFormatterStyle dateStyle,
                                         CFDateFormatterStyle timeStyle) {
  __CFLocale* l = LocaleCast(locale);
  auto* formatter = new __CFDateFormatter();
  formatter->locale = l ? static_cast<CFLocaleRef>(CFRetain(l)) : CLocale();
  formatter->dateStyle = Clamp(dateStyle);
  formatter->timeStyle = Clamp(timeStyle);
  locale_t loc = LocaleCast(formatter->locale)->loc;
  formatter->datePattern = DatePattern(loc, formatter->dateStyle);
  formatter->timePattern = TimePattern(loc, formatter->timeStyle);
  return formatter;
}

CFLocaleRef CFDateFormatterGetLocale(CFDateFormatterRef formatter) {
  __CFDateFormatter* f = FormatterCast(formatter);
  return f ? f->locale : nullptr;
}

CFDateFormatterStyle CFDateFormatterGetDateStyle(CFDateFormatterRef formatter) {
  __CFDateFormatter* f = FormatterCast(formatter);
  return f ? f->dateStyle : kCFDateFormatterNoStyle;
}

CFDateFormatterStyle CFDateFormatterGetTimeStyle(CFDateFormatterRef formatter) {
  __CFDateFormatter* f = FormatterCast(formatter);
  return f ? f->timeStyle : kCFDateFormatterNoStyle;
}

CFStringRef CFDateFormatterCreateStringWithAbsoluteTime(CFAllocatorRef allocator, CFDateFormatterRef formatter,
                                                        CFAbsoluteTime at) {
  __CFDateFormatter* f = FormatterCast(formatter);
  if (f == nullptr || !std::isfinite(at)) return nullptr;
  double seconds = std::floor(at + kCFAbsoluteTimeIntervalSince1970);
  // time_t and struct tm's int year hold far less than a double.
  if (std::fabs(seconds) > 6.7e16) return nullptr;
  time_t t = time_t(seconds);
  struct tm when;
  tzset();
  if (localtime_r(&t, &when) == nullptr) return nullptr;
  locale_t loc = LocaleCast(f->locale)->loc;
  std::string date, time;
  if (!Format(f->datePattern, when, loc, &date) || !Format(f->timePattern, when, loc, &time)) return nullptr;
  std::string text = date.empty() ? time : time.empty() ? date : date + " " + time;
  return __CFStringCreateWithUTF8(text);
}

CFStringRef CFDateFormatterCreateStringWithDate(CFAllocatorRef allocator, CFDateFormatterRef formatter,
                                                CFDateRef date) {
  if (date == nullptr || CFGetTypeID(date) != CFDateGetTypeID()) return nullptr;
  return CFDateFormatterCreateStringWithAbsoluteTime(allocator, formatter, CFDateGetAbsoluteTime(date));
}
