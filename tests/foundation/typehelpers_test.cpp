// Type identifiers of files, with the tag class bound by name from the
// bundle's "ApplicationServices.framework".
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "CFString.h"
#include "Files.h"
#include "PascalCarbonCommon.h"

namespace {

namespace fs = std::filesystem;

std::string Text(CFStringRef s) {
  if (s == nullptr) return "<nil>";
  char buf[256];
  return CFStringGetCString(s, buf, sizeof buf, kCFStringEncodingUTF8) ? buf : "?";
}

class TypeHelpersTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* tmp = getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/types-XXXXXX";
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir = fs::canonical(pattern).string();
  }
  void TearDown() override { fs::remove_all(dir); }
  FSRef File(const std::string& name) {
    std::ofstream(dir + "/" + name) << "x";
    FSRef ref{};
    EXPECT_TRUE(FSGetPathRef(Str255(dir + "/" + name), ref)) << name;
    return ref;
  }
  std::string dir;
};

TEST_F(TypeHelpersTest, IdentifierForATagBindsTheTagClassByName) {
  CFStringRef js = CFStringCreateWithCString(nullptr, "js", kCFStringEncodingUTF8);
  CFStringRef id = UTTypeCreatePreferredIdentifierForTagCFM("kUTTagClassFilenameExtension", js, nullptr);
  EXPECT_EQ(Err, noErr);
  EXPECT_EQ(Text(id), "com.netscape.javascript-source");
  if (id) CFRelease(id);

  CFStringRef mime = CFStringCreateWithCString(nullptr, "text/html", kCFStringEncodingUTF8);
  id = UTTypeCreatePreferredIdentifierForTagCFM("kUTTagClassMIMEType", mime, nullptr);
  EXPECT_EQ(Text(id), "public.html");
  if (id) CFRelease(id);
  CFRelease(mime);

  // A constant the framework does not export, and a name that is no tag
  // class at all: nothing is bound.
  EXPECT_EQ(UTTypeCreatePreferredIdentifierForTagCFM("kUTTagClassNoSuchThing", js, nullptr), nullptr);
  EXPECT_EQ(Err, cfragNoSymbolErr);
  EXPECT_EQ(UTTypeCreatePreferredIdentifierForTagCFM("UTTypeConformsTo", js, nullptr), nullptr);
  EXPECT_NE(Err, noErr);
  EXPECT_EQ(UTTypeCreatePreferredIdentifierForTagCFM("", js, nullptr), nullptr);
  CFRelease(js);
}

TEST_F(TypeHelpersTest, IdentifiersOfFiles) {
  struct Case {
    const char* name;
    const char* identifier;
  } cases[] = {
      {"index.php", "public.php-script"},
      {"INDEX.PHP", "public.php-script"},
      {"a.pl", "public.perl-script"},
      {"a.rb", "public.ruby-script"},
      {"a.html", "public.html"},
      {"a.xml", "public.xml"},
      {"a.css", "public.css"},
      {"a.txt", "public.plain-text"},
      {"a.js", "com.netscape.javascript-source"},
  };
  for (const Case& c : cases) {
    CFStringRef id = FSGetUTIdentifier(File(c.name), nullptr);
    EXPECT_EQ(Text(id), c.identifier) << c.name;
    if (id) CFRelease(id);
  }
  EXPECT_EQ(FSGetUTIdentifier(File("Makefile"), nullptr), nullptr);
  EXPECT_EQ(FSGetUTIdentifier(FSRef{}, nullptr), nullptr);
  EXPECT_NE(Err, noErr);
}

TEST_F(TypeHelpersTest, ConformanceOfFiles) {
  const FSRef html = File("a.html");
  const FSRef php = File("a.php");
  EXPECT_TRUE(FSConformsToUTIdentifier(html, "public.html"));
  EXPECT_TRUE(FSConformsToUTIdentifier(html, "public.text"));
  EXPECT_TRUE(FSConformsToUTIdentifier(php, "public.source-code"));
  EXPECT_TRUE(FSConformsToUTIdentifier(php, "public.text"));
  EXPECT_FALSE(FSConformsToUTIdentifier(php, "public.html"));
  EXPECT_FALSE(FSConformsToUTIdentifier(File("README"), "public.text"));  // no extension
  EXPECT_FALSE(FSConformsToUTIdentifier(FSRef{}, "public.item"));
  EXPECT_FALSE(FSConformsToUTIdentifier(html, ""));
}

}  // namespace
