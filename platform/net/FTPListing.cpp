// The parser of FTP folder listings: the Unix "ls -l" form most servers
// send, and the DOS form of Windows servers.
#include <glib.h>

#include <cctype>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "CFDate.h"
#include "CFFTPStream.h"
#include "CFNumber.h"
#include "CFString.h"
#include "FTPInternal.h"

const CFStringRef kCFFTPResourceMode = CFStringMakeConstantUTF8("kCFFTPResourceMode");
const CFStringRef kCFFTPResourceName = CFStringMakeConstantUTF8("kCFFTPResourceName");
const CFStringRef kCFFTPResourceOwner = CFStringMakeConstantUTF8("kCFFTPResourceOwner");
const CFStringRef kCFFTPResourceGroup = CFStringMakeConstantUTF8("kCFFTPResourceGroup");
const CFStringRef kCFFTPResourceLink = CFStringMakeConstantUTF8("kCFFTPResourceLink");
const CFStringRef kCFFTPResourceSize = CFStringMakeConstantUTF8("kCFFTPResourceSize");
const CFStringRef kCFFTPResourceType = CFStringMakeConstantUTF8("kCFFTPResourceType");
const CFStringRef kCFFTPResourceModDate = CFStringMakeConstantUTF8("kCFFTPResourceModDate");

namespace {

constexpr CFIndex kUnreadable = -1;

struct Token {
  size_t begin, end;
};

std::vector<Token> Tokens(const std::string& line, size_t max) {
  std::vector<Token> out;
  size_t i = 0;
  while (i < line.size() && out.size() < max) {
    while (i < line.size() && line[i] == ' ') ++i;
    if (i >= line.size()) break;
    size_t b = i;
    while (i < line.size() && line[i] != ' ') ++i;
    out.push_back({b, i});
  }
  return out;
}

bool AllDigits(const std::string& s) {
  if (s.empty()) return false;
  for (char c : s)
    if (!isdigit(static_cast<unsigned char>(c))) return false;
  return true;
}

// Text of the server: UTF-8 when it is, else Latin-1 (every byte a character).
CFStringRef Text(const std::string& s) {
  auto* bytes = reinterpret_cast<const UInt8*>(s.data());
  CFStringRef str = CFStringCreateWithBytes(nullptr, bytes, CFIndex(s.size()), kCFStringEncodingUTF8, false);
  if (str == nullptr) str = CFStringCreateWithBytes(nullptr, bytes, CFIndex(s.size()), kCFStringEncodingISOLatin1, false);
  return str;
}

void PutString(CFMutableDictionaryRef d, CFStringRef key, const std::string& value) {
  if (CFStringRef s = Text(value)) {
    CFDictionarySetValue(d, key, s);
    CFRelease(s);
  }
}

void PutNumber(CFMutableDictionaryRef d, CFStringRef key, SInt64 value) {
  CFNumberRef n = CFNumberCreate(nullptr, kCFNumberSInt64Type, &value);
  CFDictionarySetValue(d, key, n);
  CFRelease(n);
}

// A local time as an absolute time; false for a day the calendar lacks.
bool LocalTime(int year, int month, int day, int hour, int minute, CFAbsoluteTime* out) {
  if (month < 1 || month > 12 || day < 1 || day > 31 || hour < 0 || hour > 23 || minute < 0 || minute > 59)
    return false;
  if (day > g_date_get_days_in_month(GDateMonth(month), GDateYear(year))) return false;
  GDateTime* t = g_date_time_new_local(year, month, day, hour, minute, 0);
  if (t == nullptr) return false;
  *out = double(g_date_time_to_unix(t)) - kCFAbsoluteTimeIntervalSince1970;
  g_date_time_unref(t);
  return true;
}

int LocalYear(CFAbsoluteTime now) {
  GDateTime* t = g_date_time_new_from_unix_local(gint64(std::floor(now + kCFAbsoluteTimeIntervalSince1970)));
  if (t == nullptr) return 2000;
  int y = g_date_time_get_year(t);
  g_date_time_unref(t);
  return y;
}

int Month(const std::string& s) {
  static const char* names[] = {"jan", "feb", "mar", "apr", "may", "jun",
                                "jul", "aug", "sep", "oct", "nov", "dec"};
  if (s.size() != 3) return 0;
  for (int i = 0; i < 12; ++i)
    if (g_ascii_strcasecmp(s.c_str(), names[i]) == 0) return i + 1;
  return 0;
}

int TypeOf(char c) {
  switch (c) {
    case 'd': return 4;
    case '-': return 8;
    case 'l': return 10;
    case 'c': return 2;
    case 'b': return 6;
    case 'p': return 1;
    case 's': return 12;
    default: return -1;
  }
}

// "rwxr-sr-t" as permission bits; -1 when it is not such a text.
long ModeOf(const std::string& p) {
  if (p.size() < 9) return -1;
  long mode = 0;
  for (int who = 0; who < 3; ++who) {
    char r = p[size_t(who * 3)], w = p[size_t(who * 3 + 1)], x = p[size_t(who * 3 + 2)];
    int shift = (2 - who) * 3;
    if (r == 'r') mode |= 4L << shift; else if (r != '-') return -1;
    if (w == 'w') mode |= 2L << shift; else if (w != '-') return -1;
    long special = who == 0 ? 04000 : who == 1 ? 02000 : 01000;
    char lower = who == 2 ? 't' : 's', upper = who == 2 ? 'T' : 'S';
    if (x == 'x') mode |= 1L << shift;
    else if (x == lower) mode |= (1L << shift) | special;
    else if (x == upper) mode |= special;
    else if (x != '-') return -1;
  }
  // After the nine letters only an ACL or attribute mark may follow.
  if (p.size() > 9 && !(p.size() == 10 && strchr("+@.", p[9]) != nullptr)) return -1;
  return mode;
}

CFDictionaryRef UnixEntry(const std::string& line, CFAbsoluteTime now) {
  std::vector<Token> t = Tokens(line, 12);
  auto word = [&](size_t i) { return line.substr(t[i].begin, t[i].end - t[i].begin); };
  if (t.size() < 7) return nullptr;
  const std::string perms = word(0);
  int type = TypeOf(perms[0]);
  long mode = ModeOf(perms.substr(1));
  if (type < 0 || mode < 0) return nullptr;
  // The date is the first month name followed by a day and a time or year,
  // after at least the link count, an owner and a size.
  size_t m = 0;
  for (size_t i = 3; i + 2 < t.size(); ++i) {
    if (Month(word(i)) != 0 && AllDigits(word(i + 1)) && AllDigits(word(i - 1))) {
      m = i;
      break;
    }
  }
  if (m == 0 || m + 3 > t.size()) return nullptr;
  // Owner and group come between the link count and the size (some servers
  // give no group, some no link count).
  std::string owner, group;
  size_t first = AllDigits(word(1)) ? 2 : 1;
  if (m - 1 <= first) return nullptr;
  owner = word(first);
  if (m - 1 > first + 1) group = word(first + 1);
  const std::string sizeText = word(m - 1);
  if (sizeText.size() > 18) return nullptr;
  SInt64 size = g_ascii_strtoll(sizeText.c_str(), nullptr, 10);
  int month = Month(word(m));
  int day = atoi(word(m + 1).c_str());
  const std::string when = word(m + 2);
  CFAbsoluteTime date = 0;
  if (when.size() == 4 && AllDigits(when)) {
    if (!LocalTime(atoi(when.c_str()), month, day, 0, 0, &date)) return nullptr;
  } else if ((when.size() == 5 || when.size() == 4) && when[when.size() - 3] == ':') {
    int hour = atoi(when.c_str()), minute = atoi(when.c_str() + when.size() - 2);
    if (!AllDigits(when.substr(0, when.size() - 3)) || !AllDigits(when.substr(when.size() - 2))) return nullptr;
    // The year is the one that puts the date nearest the present.
    int year = LocalYear(now);
    bool found = false;
    for (int y = year - 1; y <= year + 1; ++y) {
      CFAbsoluteTime candidate;
      if (!LocalTime(y, month, day, hour, minute, &candidate)) continue;
      if (!found || std::fabs(candidate - now) < std::fabs(date - now)) date = candidate;
      found = true;
    }
    if (!found) return nullptr;
  } else {
    return nullptr;
  }
  size_t nameStart = t[m + 2].end + 1;
  if (nameStart > line.size()) return nullptr;
  std::string name = line.substr(nameStart), link;
  if (type == 10) {
    size_t arrow = name.find(" -> ");
    if (arrow != std::string::npos) {
      link = name.substr(arrow + 4);
      name = name.substr(0, arrow);
    }
  }
  if (name.empty()) return nullptr;
  if (name == "." || name == "..") return reinterpret_cast<CFDictionaryRef>(kCFNull);
  CFMutableDictionaryRef d =
      CFDictionaryCreateMutable(nullptr, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
  PutNumber(d, kCFFTPResourceType, type);
  PutNumber(d, kCFFTPResourceMode, mode);
  PutString(d, kCFFTPResourceOwner, owner);
  PutString(d, kCFFTPResourceGroup, group);
  PutNumber(d, kCFFTPResourceSize, size);
  CFDateRef cfdate = CFDateCreate(nullptr, date);
  CFDictionarySetValue(d, kCFFTPResourceModDate, cfdate);
  CFRelease(cfdate);
  PutString(d, kCFFTPResourceName, name);
  PutString(d, kCFFTPResourceLink, link);
  return d;
}

// "12-31-20  04:05PM       <DIR>          name" or "... 1234 name".
CFDictionaryRef DOSEntry(const std::string& line) {
  std::vector<Token> t = Tokens(line, 3);
  auto word = [&](size_t i) { return line.substr(t[i].begin, t[i].end - t[i].begin); };
  if (t.size() < 3) return nullptr;
  const std::string date = word(0), time = word(1), what = word(2);
  int month, day, year;
  char sep1, sep2;
  int consumed = 0;
  if (sscanf(date.c_str(), "%2d%c%2d%c%4d%n", &month, &sep1, &day, &sep2, &year, &consumed) != 5 ||
      size_t(consumed) != date.size() || sep1 != sep2 || (sep1 != '-' && sep1 != '/'))
    return nullptr;
  size_t yearDigits = date.size() - date.rfind(sep2) - 1;
  if (yearDigits == 2) year += year < 70 ? 2000 : 1900;
  else if (yearDigits != 4) return nullptr;
  int hour, minute;
  char ampm[3] = {0, 0, 0};
  consumed = 0;
  if (sscanf(time.c_str(), "%2d:%2d%n", &hour, &minute, &consumed) != 2) return nullptr;
  std::string rest = time.substr(size_t(consumed));
  if (!rest.empty()) {
    if (rest.size() != 2 || (toupper(rest[1]) != 'M')) return nullptr;
    ampm[0] = char(toupper(rest[0]));
    if (ampm[0] != 'A' && ampm[0] != 'P') return nullptr;
    if (hour < 1 || hour > 12) return nullptr;
    hour = hour % 12 + (ampm[0] == 'P' ? 12 : 0);
  }
  CFAbsoluteTime when;
  if (!LocalTime(year, month, day, hour, minute, &when)) return nullptr;
  int type;
  SInt64 size = 0;
  if (g_ascii_strcasecmp(what.c_str(), "<DIR>") == 0) {
    type = 4;
  } else if (AllDigits(what) && what.size() <= 18) {
    type = 8;
    size = g_ascii_strtoll(what.c_str(), nullptr, 10);
  } else {
    return nullptr;
  }
  size_t nameStart = t[2].end;
  while (nameStart < line.size() && line[nameStart] == ' ') ++nameStart;
  std::string name = line.substr(nameStart);
  if (name.empty()) return nullptr;
  if (name == "." || name == "..") return reinterpret_cast<CFDictionaryRef>(kCFNull);
  CFMutableDictionaryRef d =
      CFDictionaryCreateMutable(nullptr, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
  PutNumber(d, kCFFTPResourceType, type);
  PutNumber(d, kCFFTPResourceSize, size);
  CFDateRef cfdate = CFDateCreate(nullptr, when);
  CFDictionarySetValue(d, kCFFTPResourceModDate, cfdate);
  CFRelease(cfdate);
  PutString(d, kCFFTPResourceName, name);
  return d;
}

}  // namespace

CFIndex __CFFTPParseListing(const UInt8* buffer, CFIndex length, CFAbsoluteTime now, CFDictionaryRef* parsed) {
  if (parsed != nullptr) *parsed = nullptr;
  if (buffer == nullptr || length <= 0) return 0;
  const void* nl = memchr(buffer, '\n', size_t(length));
  if (nl == nullptr) return 0;
  CFIndex consumed = CFIndex(static_cast<const UInt8*>(nl) - buffer) + 1;
  std::string line(reinterpret_cast<const char*>(buffer), size_t(consumed - 1));
  while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) line.pop_back();
  for (char& c : line)
    if (c == '\t') c = ' ';
  size_t lead = line.find_first_not_of(' ');
  if (lead == std::string::npos) return consumed;  // a blank line
  if (line.find('\0') != std::string::npos) return kUnreadable;
  if (line.compare(lead, 6, "total ") == 0) {
    size_t count = line.find_first_not_of(' ', lead + 6);
    if (count != std::string::npos && AllDigits(line.substr(count))) return consumed;
  }
  CFDictionaryRef entry = nullptr;
  if (lead == 0 && TypeOf(line[0]) >= 0) entry = UnixEntry(line, now);
  if (entry == nullptr && isdigit(static_cast<unsigned char>(line[lead]))) entry = DOSEntry(line.substr(lead));
  if (entry == nullptr) return kUnreadable;
  if (entry == reinterpret_cast<CFDictionaryRef>(kCFNull)) return consumed;  // "." and ".."
  if (parsed != nullptr)
    *parsed = entry;
  else
    CFRelease(entry);
  return consumed;
}

CFIndex CFFTPCreateParsedResourceListing(CFAllocatorRef, const UInt8* buffer, CFIndex bufferLength,
                                         CFDictionaryRef* parsed) {
  return __CFFTPParseListing(buffer, bufferLength, CFAbsoluteTimeGetCurrent(), parsed);
}
