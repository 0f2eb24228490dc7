#include <gtest/gtest.h>

#include <glib.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "CFBundle.h"
#include "CFString.h"
#include "CFStringInternal.h"
#include "CFURL.h"
#include "UTType.h"

namespace {

namespace fs = std::filesystem;

// The harness names the bundle in $QUORVEL_BUNDLE; a run without it uses the
// bundle the build makes beside the tests folder.
[[maybe_unused]] const bool kBundleNamed = [] {
  const char* named = getenv("QUORVEL_BUNDLE");
  if (named == nullptr || *named == '\0') {
    std::error_code error;
    fs::path tests = fs::read_symlink("/proc/self/exe", error).parent_path();
    setenv("QUORVEL_BUNDLE", (tests.parent_path() / "Quorvel.app").c_str(), 1);
  }
  return true;
}();

CFStringRef S(const char* utf8) { return CFStringMakeConstantUTF8(utf8); }

std::string PathOf(CFURLRef url) {
  if (url == nullptr) return "(nil)";
  CFStringRef path = CFURLCopyFileSystemPath(url, kCFURLPOSIXPathStyle);
  std::string text = __CFStringGetUTF8(path);
  CFRelease(path);
  return text;
}

CFURLRef FolderURL(const std::string& path) {
  return CFURLCreateFromFileSystemRepresentation(nullptr, reinterpret_cast<const UInt8*>(path.data()),
                                                 CFIndex(path.size()), true);
}

void WriteFile(const fs::path& path, const std::string& data) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << data;
}

std::string InfoPlist(const std::string& identifier) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
         "<key>CFBundleIdentifier</key><string>" + identifier + "</string>"
         "<key>CFBundleDevelopmentRegion</key><string>English</string>"
         "<key>CFBundleExecutable</key><string>Test</string>"
         "</dict></plist>\n";
}

fs::path FrameworksFolder() { return fs::path(getenv("QUORVEL_BUNDLE")) / "Contents" / "Frameworks"; }

class BundleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root = fs::path(g_get_tmp_dir()) / ("cfbundle-" + std::to_string(getpid()));
    fs::remove_all(root);
    app = root / "Test.app";
    WriteFile(app / "Contents/Info.plist", InfoPlist("com.example.test"));
    WriteFile(app / "Contents/Resources/a.txt", "a");
    WriteFile(app / "Contents/Resources/Images/b.png", "b");
    WriteFile(app / "Contents/Resources/English.lproj/c.strings", "c");
    WriteFile(app / "Contents/Resources/d", "d");
  }
  void TearDown() override { fs::remove_all(root); }

  CFBundleRef Open(const fs::path& folder) {
    CFURLRef url = FolderURL(folder.string());
    CFBundleRef bundle = CFBundleCreate(nullptr, url);
    CFRelease(url);
    return bundle;
  }

  fs::path root, app;
};

TEST(MainBundle, IsTheBundleNamedByTheEnvironment) {
  CFBundleRef main = CFBundleGetMainBundle();
  ASSERT_NE(main, nullptr);
  std::string expected = fs::canonical(getenv("QUORVEL_BUNDLE")).string();
  CFURLRef url = CFBundleCopyBundleURL(main);
  EXPECT_EQ(PathOf(url), expected);
  CFRelease(url);

  EXPECT_TRUE(CFEqual(CFBundleGetIdentifier(main), S("com.brindlecote.Quorvel")));
  EXPECT_TRUE(CFEqual(CFBundleGetValueForInfoDictionaryKey(main, S("CFBundleSignature")), S("QVRL")));
  UInt32 type = 0, creator = 0;
  CFBundleGetPackageInfo(main, &type, &creator);
  EXPECT_EQ(type, UInt32('APPL'));
  EXPECT_EQ(creator, UInt32('QVRL'));
  EXPECT_EQ(CFBundleGetBundleWithIdentifier(S("com.brindlecote.Quorvel")), main);

  CFURLRef frameworks = CFBundleCopyPrivateFrameworksURL(main);
  EXPECT_EQ(PathOf(frameworks), expected + "/Contents/Frameworks");
  EXPECT_TRUE(CFURLHasDirectoryPath(frameworks));
  CFRelease(frameworks);
  CFURLRef support = CFBundleCopySharedSupportURL(main);
  EXPECT_EQ(PathOf(support), expected + "/Contents/SharedSupport");
  CFRelease(support);

  // The main bundle's code is the running process.
  EXPECT_TRUE(CFBundleIsExecutableLoaded(main));
  EXPECT_EQ(CFBundleGetFunctionPointerForName(main, S("g_strdup")), reinterpret_cast<void*>(&g_strdup));

  // Its folder opened by URL is the main bundle itself.
  CFURLRef again = FolderURL(expected);
  CFBundleRef same = CFBundleCreate(nullptr, again);
  EXPECT_EQ(same, main);
  CFRelease(same);
  CFRelease(again);
}

TEST_F(BundleTest, FindsResourcesByNameTypeAndSubfolder) {
  CFBundleRef bundle = Open(app);
  ASSERT_NE(bundle, nullptr);
  std::string resources = (app / "Contents/Resources").string();
  struct Case {
    const char* name;
    const char* type;
    const char* subDir;
    std::optional<std::string> expected;  // relative to Resources; none: nil
  } cases[] = {
      {"a", "txt", nullptr, "a.txt"},
      {"a.txt", nullptr, nullptr, "a.txt"},
      {"a.txt", "", "", "a.txt"},
      {"b", ".png", "Images", "Images/b.png"},
      {"b", "png", "Images/", "Images/b.png"},
      {"b", "png", nullptr, std::nullopt},
      {"c", "strings", nullptr, "English.lproj/c.strings"},  // localized folder of the development region
      {"d", nullptr, nullptr, "d"},
      {"Images", nullptr, nullptr, "Images"},
      {"missing", "txt", nullptr, std::nullopt},
      {nullptr, "png", "Images", "Images/b.png"},  // the first of the type
      {nullptr, nullptr, nullptr, std::nullopt},
      // Nothing outside the Resources folder is reachable.
      {"../Info", "plist", nullptr, std::nullopt},
      {"a", "txt", "../Resources", std::nullopt},
      {"/etc/passwd", nullptr, nullptr, std::nullopt},
      {"a", "txt", "/", std::nullopt},
  };
  for (const auto& c : cases) {
    CFURLRef url = CFBundleCopyResourceURL(bundle, c.name ? S(c.name) : nullptr, c.type ? S(c.type) : nullptr,
                                           c.subDir ? S(c.subDir) : nullptr);
    std::string label = std::string(c.name ? c.name : "(nil)") + " / " + (c.type ? c.type : "(nil)") + " / " +
                        (c.subDir ? c.subDir : "(nil)");
    if (c.expected) {
      EXPECT_EQ(PathOf(url), resources + "/" + *c.expected) << label;
    } else {
      EXPECT_EQ(url, nullptr) << label << " gave " << PathOf(url);
    }
    if (url) CFRelease(url);
  }

  CFArrayRef images = CFBundleCopyResourceURLsOfType(bundle, S("png"), S("Images"));
  ASSERT_EQ(CFArrayGetCount(images), 1);
  EXPECT_EQ(PathOf(static_cast<CFURLRef>(CFArrayGetValueAtIndex(images, 0))), resources + "/Images/b.png");
  CFRelease(images);
  CFArrayRef all = CFBundleCopyResourceURLsOfType(bundle, nullptr, nullptr);
  std::vector<std::string> names;
  for (CFIndex i = 0; i < CFArrayGetCount(all); ++i)
    names.push_back(fs::path(PathOf(static_cast<CFURLRef>(CFArrayGetValueAtIndex(all, i)))).filename().string());
  EXPECT_EQ(names, (std::vector<std::string>{"English.lproj", "Images", "a.txt", "d"}));
  CFRelease(all);
  CFArrayRef none = CFBundleCopyResourceURLsOfType(bundle, S("png"), S("../.."));
  EXPECT_EQ(CFArrayGetCount(none), 0);
  CFRelease(none);
  CFRelease(bundle);
}

TEST_F(BundleTest, OneObjectPerFolderAndIdentifierLookUp) {
  CFBundleRef first = Open(app);
  CFBundleRef second = Open(app / "Contents/..");
  EXPECT_EQ(first, second);
  EXPECT_TRUE(CFEqual(CFBundleGetIdentifier(first), S("com.example.test")));
  EXPECT_EQ(CFBundleGetBundleWithIdentifier(S("com.example.test")), first);
  CFRelease(second);
  CFRelease(first);
  EXPECT_EQ(CFBundleGetBundleWithIdentifier(S("com.example.test")), nullptr);
}

TEST_F(BundleTest, BadFoldersAndBadInfoGiveNothing) {
  EXPECT_EQ(Open(root / "missing.app"), nullptr);
  EXPECT_EQ(Open(app / "Contents/Resources/a.txt"), nullptr);
  EXPECT_EQ(CFBundleCreate(nullptr, nullptr), nullptr);
  CFURLRef ftp = CFURLCreateWithString(nullptr, S("ftp://example.com/x.app/"), nullptr);
  EXPECT_EQ(CFBundleCreate(nullptr, ftp), nullptr);
  CFRelease(ftp);

  // A malformed Info.plist reads as an empty dictionary.
  WriteFile(root / "Broken.bundle/Contents/Info.plist", "<plist><dict><key>x</key>");
  CFBundleRef broken = Open(root / "Broken.bundle");
  ASSERT_NE(broken, nullptr);
  EXPECT_EQ(CFDictionaryGetCount(CFBundleGetInfoDictionary(broken)), 0);
  EXPECT_EQ(CFBundleGetIdentifier(broken), nullptr);
  CFRelease(broken);

  // No executable, then one that is no shared object.
  CFBundleRef bundle = Open(app);
  EXPECT_EQ(CFBundleCopyExecutableURL(bundle), nullptr);
  EXPECT_FALSE(CFBundleLoadExecutable(bundle));
  EXPECT_EQ(CFBundleGetFunctionPointerForName(bundle, S("main")), nullptr);
  WriteFile(app / "Contents/Linux/Test", "this is not a shared object");
  CFURLRef executable = CFBundleCopyExecutableURL(bundle);
  EXPECT_EQ(PathOf(executable), fs::canonical(app).string() + "/Contents/Linux/Test");
  CFRelease(executable);
  EXPECT_FALSE(CFBundleLoadExecutable(bundle));
  EXPECT_FALSE(CFBundleIsExecutableLoaded(bundle));
  CFRelease(bundle);
}

TEST_F(BundleTest, LoadsTheApplicationServicesFramework) {
  CFBundleRef framework = Open(FrameworksFolder() / "ApplicationServices.framework");
  ASSERT_NE(framework, nullptr);
  CFURLRef executable = CFBundleCopyExecutableURL(framework);
  EXPECT_EQ(fs::path(PathOf(executable)).filename(), "ApplicationServices");
  CFRelease(executable);
  EXPECT_TRUE(CFEqual(CFBundleGetIdentifier(framework), S("com.brindlecote.Quorvel.ApplicationServices")));

  ASSERT_TRUE(CFBundleLoadExecutable(framework));
  EXPECT_TRUE(CFBundleIsExecutableLoaded(framework));
  auto* tagClass = static_cast<const CFStringRef*>(CFBundleGetDataPointerForName(framework, S("kUTTagClassFilenameExtension")));
  ASSERT_NE(tagClass, nullptr);
  // The framework's own variable, holding the platform's constant.
  EXPECT_NE(static_cast<const void*>(tagClass), static_cast<const void*>(&kUTTagClassFilenameExtension));
  EXPECT_EQ(*tagClass, kUTTagClassFilenameExtension);
  for (const char* name : {"kUTTagClassMIMEType", "kUTTagClassNSPboardType", "kUTTagClassOSType"})
    EXPECT_NE(CFBundleGetDataPointerForName(framework, S(name)), nullptr) << name;

  using ConformsTo = Boolean (*)(CFStringRef, CFStringRef);
  auto conforms = reinterpret_cast<ConformsTo>(CFBundleGetFunctionPointerForName(framework, S("UTTypeConformsTo")));
  ASSERT_NE(conforms, nullptr);
  EXPECT_TRUE(conforms(S("public.php-script"), S("public.text")));

  EXPECT_EQ(CFBundleGetFunctionPointerForName(framework, S("NoSuchFunction")), nullptr);
  EXPECT_EQ(CFBundleGetDataPointerForName(framework, S("")), nullptr);
  EXPECT_TRUE(CFBundleIsExecutableLoaded(framework));
  CFRelease(framework);
}

TEST_F(BundleTest, FrameworkLayoutAndUnloading) {
  // A copy of the framework under another name: executable Name.framework/Name.
  fs::path copy = root / "Copy.framework";
  fs::create_directories(copy / "Resources");
  fs::copy_file(FrameworksFolder() / "ApplicationServices.framework/ApplicationServices", copy / "Copy");
  WriteFile(copy / "Resources/Images/x.png", "x");
  CFBundleRef bundle = Open(copy);
  ASSERT_NE(bundle, nullptr);
  CFURLRef image = CFBundleCopyResourceURL(bundle, S("x"), S("png"), S("Images"));
  EXPECT_EQ(PathOf(image), fs::canonical(copy).string() + "/Resources/Images/x.png");
  CFRelease(image);
  ASSERT_TRUE(CFBundleLoadExecutable(bundle));
  EXPECT_NE(CFBundleGetDataPointerForName(bundle, S("kUTTagClassOSType")), nullptr);
  CFBundleUnloadExecutable(bundle);
  EXPECT_FALSE(CFBundleIsExecutableLoaded(bundle));
  // A look-up loads it again.
  EXPECT_NE(CFBundleGetDataPointerForName(bundle, S("kUTTagClassOSType")), nullptr);
  EXPECT_TRUE(CFBundleIsExecutableLoaded(bundle));
  CFRelease(bundle);
}

}  // namespace
