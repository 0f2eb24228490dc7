#include <gtest/gtest.h>

#include <string>

#include "CFArray.h"
#include "CFString.h"
#include "CFStringInternal.h"
#include "UTType.h"

namespace {

CFStringRef S(const char* utf8) { return CFStringMakeConstantUTF8(utf8); }

std::string Text(CFStringRef s) { return s ? __CFStringGetUTF8(s) : "(nil)"; }

std::string Preferred(CFStringRef tagClass, const char* tag, const char* conformingTo = nullptr) {
  CFStringRef uti = UTTypeCreatePreferredIdentifierForTag(tagClass, tag ? S(tag) : nullptr,
                                                          conformingTo ? S(conformingTo) : nullptr);
  std::string text = Text(uti);
  if (uti) CFRelease(uti);
  return text;
}

std::string Tag(const char* uti, CFStringRef tagClass) {
  CFStringRef tag = UTTypeCopyPreferredTagWithClass(S(uti), tagClass);
  std::string text = Text(tag);
  if (tag) CFRelease(tag);
  return text;
}

TEST(TypeIdentifiers, ExtensionsMapToTheTable) {
  struct {
    const char* ext;
    const char* uti;
  } cases[] = {
      {"php", "public.php-script"}, {"PHP", "public.php-script"}, {"phtml", "public.php-script"},
      {"pl", "public.perl-script"}, {"pm", "public.perl-script"}, {"cgi", "public.perl-script"},
      {"rb", "public.ruby-script"}, {"js", "com.netscape.javascript-source"},
      {"html", "public.html"},      {"HtM", "public.html"},         {"xml", "public.xml"},
      {"css", "public.css"},        {"txt", "public.plain-text"},   {"pas", "public.pascal-source"},
      {"p", "public.pascal-source"}, {"pp", "public.pascal-source"}, {"png", "public.png"},
      {"JPG", "public.jpeg"},       {"jpeg", "public.jpeg"},        {"gif", "com.compuserve.gif"},
      {"icns", "com.apple.icns"},   {"qvproj", "com.brindlecote.quorvel.project"},
      {"app", "com.apple.application-bundle"}, {"bundle", "com.apple.plugin"},
      {"plist", "com.apple.property-list"}, {"zip", "public.zip-archive"}, {"gz", "org.gnu.gnu-zip-archive"},
      {"pdf", "com.adobe.pdf"},     {"webarchive", "com.apple.webarchive"}, {"webloc", "public.url"},
  };
  for (const auto& c : cases) EXPECT_EQ(Preferred(kUTTagClassFilenameExtension, c.ext), c.uti) << c.ext;
}

TEST(TypeIdentifiers, Conformance) {
  struct {
    const char* uti;
    const char* parent;
    bool conforms;
  } cases[] = {
      {"public.php-script", "public.php-script", true},
      {"public.php-script", "public.script", true},
      {"public.php-script", "public.source-code", true},
      {"public.php-script", "public.plain-text", true},
      {"public.php-script", "public.text", true},
      {"public.php-script", "public.data", true},
      {"public.php-script", "public.item", true},
      {"public.php-script", "public.perl-script", false},
      {"public.text", "public.php-script", false},
      {"PUBLIC.HTML", "public.TEXT", true},
      {"public.html", "public.source-code", false},
      {"public.xhtml", "public.xml", true},
      {"public.xhtml", "public.html", true},
      {"com.netscape.javascript-source", "public.source-code", true},
      {"public.png", "public.image", true},
      {"public.png", "public.text", false},
      {"com.brindlecote.quorvel.project", "com.apple.package", true},
      {"com.brindlecote.quorvel.project", "public.data", false},
      {"public.folder", "public.directory", true},
      {"com.apple.application-bundle", "com.apple.package", true},
      {"com.example.unknown", "com.example.unknown", true},
      {"com.example.unknown", "public.item", false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(bool(UTTypeConformsTo(S(c.uti), S(c.parent))), c.conforms) << c.uti << " -> " << c.parent;
  EXPECT_TRUE(UTTypeEqual(S("Public.HTML"), kUTTypeHTML));
  EXPECT_FALSE(UTTypeEqual(kUTTypeHTML, kUTTypeXML));
}

TEST(TypeIdentifiers, ConformingToFilterAndOtherTagClasses) {
  EXPECT_EQ(Preferred(kUTTagClassFilenameExtension, "html", "public.text"), "public.html");
  // No entry for the tag conforms: a dynamic identifier.
  EXPECT_EQ(Preferred(kUTTagClassFilenameExtension, "html", "public.image"), "dyn.ext.html");

  EXPECT_EQ(Preferred(kUTTagClassMIMEType, "text/html"), "public.html");
  EXPECT_EQ(Preferred(kUTTagClassMIMEType, " Text/HTML ; charset=utf-8"), "public.html");
  EXPECT_EQ(Preferred(kUTTagClassOSType, "TEXT"), "public.plain-text");
  EXPECT_EQ(Preferred(kUTTagClassOSType, "text"), "dyn.ostype.text");  // type codes keep their case

  EXPECT_EQ(Tag("public.jpeg", kUTTagClassFilenameExtension), "jpg");
  EXPECT_EQ(Tag("Public.JPEG", kUTTagClassMIMEType), "image/jpeg");
  EXPECT_EQ(Tag("public.plain-text", kUTTagClassOSType), "TEXT");
  EXPECT_EQ(Tag("public.text", kUTTagClassMIMEType), "(nil)");  // no usable tag
  EXPECT_EQ(Tag("public.item", kUTTagClassFilenameExtension), "(nil)");

  CFArrayRef all = UTTypeCreateAllIdentifiersForTag(kUTTagClassFilenameExtension, S("htm"), nullptr);
  ASSERT_NE(all, nullptr);
  ASSERT_GE(CFArrayGetCount(all), 1);
  EXPECT_EQ(Text(static_cast<CFStringRef>(CFArrayGetValueAtIndex(all, 0))), "public.html");
  CFRelease(all);

  CFStringRef description = UTTypeCopyDescription(S("public.php-script"));
  EXPECT_EQ(Text(description), "PHP script");
  CFRelease(description);
  EXPECT_EQ(UTTypeCopyDescription(S("dyn.ext.zzqx")), nullptr);
}

TEST(TypeIdentifiers, UnknownTagsGetDynamicIdentifiers) {
  std::string uti = Preferred(kUTTagClassFilenameExtension, "zzqx");
  EXPECT_EQ(uti, "dyn.ext.zzqx");
  EXPECT_TRUE(UTTypeIsDynamic(S(uti.c_str())));
  EXPECT_FALSE(UTTypeIsDynamic(kUTTypeHTML));
  EXPECT_TRUE(UTTypeConformsTo(S(uti.c_str()), kUTTypeData));
  EXPECT_TRUE(UTTypeConformsTo(S(uti.c_str()), kUTTypeItem));
  EXPECT_FALSE(UTTypeConformsTo(S(uti.c_str()), kUTTypeFolder));

  // Characters beyond a-z and 0-9 are escaped, and the tag comes back.
  std::string odd = Preferred(kUTTagClassFilenameExtension, "Zz Q.x\xc3\xa9");
  EXPECT_EQ(odd, "dyn.ext.zz-20q-2ex-c3-a9");
  EXPECT_EQ(Tag(odd.c_str(), kUTTagClassFilenameExtension), "zz q.x\xc3\xa9");
  EXPECT_EQ(Tag(odd.c_str(), kUTTagClassMIMEType), "(nil)");
  EXPECT_EQ(Tag("dyn.ostype.-54-45-58-54", kUTTagClassOSType), "TEXT");
  // Malformed dynamic identifiers are no identifiers of ours.
  for (const char* bad : {"dyn.", "dyn.ext.", "dyn.ext.a-zz", "dyn.ext.a-4", "dyn.nope.abc", "dyn.ext.A.B"})
    EXPECT_EQ(Tag(bad, kUTTagClassFilenameExtension), "(nil)") << bad;
}

TEST(TypeIdentifiers, HostileArguments) {
  EXPECT_EQ(Preferred(nullptr, "php"), "(nil)");
  EXPECT_EQ(Preferred(kUTTagClassFilenameExtension, nullptr), "(nil)");
  EXPECT_EQ(Preferred(kUTTagClassFilenameExtension, ""), "(nil)");
  EXPECT_EQ(Preferred(S("com.example.tag-class"), "php"), "(nil)");
  CFArrayRef notAString = CFArrayCreate(nullptr, nullptr, 0, &kCFTypeArrayCallBacks);
  EXPECT_EQ(UTTypeCreatePreferredIdentifierForTag(kUTTagClassFilenameExtension, reinterpret_cast<CFStringRef>(notAString), nullptr), nullptr);
  EXPECT_FALSE(UTTypeConformsTo(reinterpret_cast<CFStringRef>(notAString), kUTTypeItem));
  EXPECT_FALSE(UTTypeConformsTo(nullptr, kUTTypeItem));
  EXPECT_FALSE(UTTypeEqual(nullptr, nullptr));
  CFRelease(notAString);

  // A lone surrogate and a long tag still give a well-formed identifier.
  UniChar lone[] = {'a', 0xD800, 'b'};
  CFStringRef strange = CFStringCreateWithCharacters(nullptr, lone, 3);
  CFStringRef uti = UTTypeCreatePreferredIdentifierForTag(kUTTagClassFilenameExtension, strange, nullptr);
  ASSERT_NE(uti, nullptr);
  EXPECT_TRUE(UTTypeIsDynamic(uti));
  CFRelease(uti);
  CFRelease(strange);
  std::string huge(100000, 'x');
  CFStringRef big = __CFStringCreateWithUTF8(huge);
  uti = UTTypeCreatePreferredIdentifierForTag(kUTTagClassFilenameExtension, big, nullptr);
  ASSERT_NE(uti, nullptr);
  EXPECT_EQ(CFStringGetLength(uti), CFIndex(8 + huge.size()));
  CFRelease(uti);
  CFRelease(big);
}

}  // namespace
