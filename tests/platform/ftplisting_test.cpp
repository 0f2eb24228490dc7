// The folder-listing parser: Unix and DOS lines, partial and unreadable
// lines, and a listing read in pieces.
#include <glib.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CFFTPStream.h"
#include "CFNumber.h"
#include "CFRef.h"
#include "CFString.h"
#include "FTPInternal.h"

namespace {

std::string Str(CFDictionaryRef d, CFStringRef key) {
  auto s = static_cast<CFStringRef>(CFDictionaryGetValue(d, key));
  if (s == nullptr) return "<none>";
  char buf[1024];
  CFStringGetCString(s, buf, sizeof buf, kCFStringEncodingUTF8);
  return buf;
}

long long Num(CFDictionaryRef d, CFStringRef key) {
  auto n = static_cast<CFNumberRef>(CFDictionaryGetValue(d, key));
  SInt64 v = -999;
  if (n != nullptr) CFNumberGetValue(n, kCFNumberSInt64Type, &v);
  return v;
}

// The local calendar time of an entry's date, as "YYYY-MM-DD HH:MM".
std::string When(CFDictionaryRef d) {
  auto date = static_cast<CFDateRef>(CFDictionaryGetValue(d, kCFFTPResourceModDate));
  if (date == nullptr) return "<none>";
  GDateTime* t = g_date_time_new_from_unix_local(gint64(CFDateGetAbsoluteTime(date) + kCFAbsoluteTimeIntervalSince1970));
  gchar* text = g_date_time_format(t, "%Y-%m-%d %H:%M");
  std::string out = text;
  g_free(text);
  g_date_time_unref(t);
  return out;
}

// A fixed present: 2024-06-15 12:00 local time.
CFAbsoluteTime Now() {
  GDateTime* t = g_date_time_new_local(2024, 6, 15, 12, 0, 0);
  CFAbsoluteTime now = double(g_date_time_to_unix(t)) - kCFAbsoluteTimeIntervalSince1970;
  g_date_time_unref(t);
  return now;
}

CFIndex Parse(const std::string& text, CFDictionaryRef* entry) {
  return __CFFTPParseListing(reinterpret_cast<const UInt8*>(text.data()), CFIndex(text.size()), Now(), entry);
}

struct EntryCase {
  const char* line;
  long long type, mode, size;
  const char *owner, *group, *date, *name, *link;
};

TEST(FTPListing, ReadsTheFieldsOfUnixAndDOSLines) {
  const EntryCase cases[] = {
      {"-rw-r--r--   1 web  staff     1234 Mar  3 09:07 index.php\r\n", 8, 0644, 1234, "web", "staff",
       "2024-03-03 09:07", "index.php", ""},
      // A time-form date after the present belongs to the year before.
      {"drwxr-xr-x   2 web  staff     4096 Dec 24 18:30 old stuff\n", 4, 0755, 4096, "web", "staff",
       "2023-12-24 18:30", "old stuff", ""},
      {"lrwxrwxrwx   1 root root         7 Jan  1  2020 www -> public\n", 10, 0777, 7, "root", "root",
       "2020-01-01 00:00", "www", "public"},
      {"-rwsr-sr-t   1 a    b            0 Feb 29  2020 odd\n", 8, 07755, 0, "a", "b", "2020-02-29 00:00", "odd",
       ""},
      {"-rwSr-Sr-T+  1 a    b            5 Jun 14 23:59 acl\n", 8, 07644, 5, "a", "b", "2024-06-14 23:59", "acl",
       ""},
      // No group, as some servers list.
      {"-rw-r--r--   1 ftp           99 Jun  1 10:00 nogroup.txt\n", 8, 0644, 99, "ftp", "", "2024-06-01 10:00",
       "nogroup.txt", ""},
      // The name keeps its own blanks; bytes that are not UTF-8 are Latin-1.
      {"-rw-r--r--   1 u    g           10 May  5  2021  two  blanks\n", 8, 0644, 10, "u", "g",
       "2021-05-05 00:00", " two  blanks", ""},
      {"-rw-r--r--   1 u    g           10 May  5  2021 caf\xe9\n", 8, 0644, 10, "u", "g", "2021-05-05 00:00",
       "caf\xc3\xa9", ""},
      {"-rw-r--r--   1 u    g           10 May  5  2021 \xe6\x97\xa5\xe6\x9c\xac.txt\n", 8, 0644, 10, "u", "g",
       "2021-05-05 00:00", "\xe6\x97\xa5\xe6\x9c\xac.txt", ""},
      {"12-31-20  04:05PM       <DIR>          My Folder\r\n", 4, -999, 0, "<none>", "<none>", "2020-12-31 16:05",
       "My Folder", "<none>"},
      {"01-02-1999  12:10AM             123456 setup.exe\r\n", 8, -999, 123456, "<none>", "<none>",
       "1999-01-02 00:10", "setup.exe", "<none>"},
  };
  for (const EntryCase& c : cases) {
    SCOPED_TRACE(c.line);
    CFDictionaryRef entry = nullptr;
    EXPECT_EQ(Parse(c.line, &entry), CFIndex(strlen(c.line)));
    ASSERT_NE(entry, nullptr);
    Ref hold(entry);
    EXPECT_EQ(Num(entry, kCFFTPResourceType), c.type);
    EXPECT_EQ(Num(entry, kCFFTPResourceMode), c.mode);
    EXPECT_EQ(Num(entry, kCFFTPResourceSize), c.size);
    EXPECT_EQ(Str(entry, kCFFTPResourceOwner), c.owner);
    EXPECT_EQ(Str(entry, kCFFTPResourceGroup), c.group);
    EXPECT_EQ(When(entry), c.date);
    EXPECT_EQ(Str(entry, kCFFTPResourceName), c.name);
    EXPECT_EQ(Str(entry, kCFFTPResourceLink), c.link);
  }
}

TEST(FTPListing, ConsumesLinesWithoutEntriesAndRefusesUnreadableOnes) {
  constexpr CFIndex kWholeLine = -2;
  struct {
    const char* text;
    CFIndex result;
  } cases[] = {
      {"total 48\r\n", kWholeLine},
      {"\r\n", kWholeLine},
      {"   \n", kWholeLine},
      {"drwxr-xr-x 2 u g 4096 Jun  1 10:00 .\n", kWholeLine},
      {"drwxr-xr-x 2 u g 4096 Jun  1 10:00 ..\n", kWholeLine},
      // Not complete yet: no line break.
      {"-rw-r--r-- 1 u g 10 Jun  1 10:00 half", 0},
      {"", 0},
      {"total 48", 0},
      // Complete but unreadable.
      {"550 No such file or directory.\r\n", -1},
      {"<html><body>proxy error</body></html>\n", -1},
      {"-rw-r--r-- 1 u g ten Jun  1 10:00 x\n", -1},
      {"-rw-r--r-- 1 u g 10 Foo  1 10:00 x\n", -1},
      {"-rw-r--r-- 1 u g 10 Feb 30  2020 x\n", -1},
      {"-rw-r--r-- 1 u g 10 Jun  1 10:00\n", -1},
      {"-rwxrwxrwz 1 u g 10 Jun  1 10:00 x\n", -1},
      {"13-01-20  04:05PM       <DIR>          x\r\n", -1},
      {"12-31-20  13:05PM       <DIR>          x\r\n", -1},
      {"12-31-20  04:05PM       <DIR>\r\n", -1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    CFDictionaryRef entry = reinterpret_cast<CFDictionaryRef>(1);
    EXPECT_EQ(Parse(c.text, &entry), c.result == kWholeLine ? CFIndex(strlen(c.text)) : c.result);
    EXPECT_EQ(entry, nullptr);
  }
}

// A listing read in two pieces, cut at every byte, gives the same entries:
// the caller keeps the unconsumed tail and parses it again with the rest.
TEST(FTPListing, AListingCutAnywhereGivesEveryEntryOnce) {
  const std::string listing =
      "total 3\r\n"
      "drwxr-xr-x 2 web staff 4096 Jun  1 10:00 css\r\n"
      "-rw-r--r-- 1 web staff   12 Jun  2 11:00 a b.html\r\n"
      "lrwxrwxrwx 1 web staff    3 Jan  5  2022 l -> css\r\n";
  auto parseAll = [](const std::string& first, const std::string& second) {
    std::vector<std::string> names;
    std::string pending;
    for (const std::string& piece : {first, second}) {
      pending += piece;
      size_t at = 0;
      for (;;) {
        CFDictionaryRef entry = nullptr;
        CFIndex used = Parse(pending.substr(at), &entry);
        if (used <= 0) {
          EXPECT_NE(used, -1);
          break;
        }
        if (entry != nullptr) {
          names.push_back(Str(entry, kCFFTPResourceName));
          CFRelease(entry);
        }
        at += size_t(used);
      }
      pending = pending.substr(at);
    }
    EXPECT_EQ(pending, "");
    return names;
  };
  const std::vector<std::string> expected = {"css", "a b.html", "l"};
  for (size_t cut = 0; cut <= listing.size(); ++cut) {
    SCOPED_TRACE(cut);
    EXPECT_EQ(parseAll(listing.substr(0, cut), listing.substr(cut)), expected);
  }
}

}  // namespace
