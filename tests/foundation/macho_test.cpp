#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "CFString.h"
#include "Files.h"
#include "MachO.h"
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

const Str255 kFramework("ApplicationServices.framework");

fs::path StandIn() {
  return fs::path(getenv("QUORVEL_BUNDLE")) / "Contents/Frameworks/ApplicationServices.framework/ApplicationServices";
}

class MachOTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* tmp = getenv("TMPDIR");
    root = fs::path(tmp && *tmp ? tmp : "/tmp") / ("macho-" + std::to_string(getpid()));
    fs::remove_all(root);
    fs::create_directories(root);
  }
  void TearDown() override { fs::remove_all(root); }

  // The folder's volume and directory ID, as the catalog reports them.
  void Folder(const fs::path& folder, SInt16* volume, SInt32* dirID, FSRef* ref = nullptr) {
    FSRef own;
    if (ref == nullptr) ref = &own;
    ASSERT_EQ(FSPathMakeRef(reinterpret_cast<const UInt8*>(folder.c_str()), ref, nullptr), noErr);
    FSCatalogInfo info;
    ASSERT_EQ(FSGetCatalogInfo(ref, kFSCatInfoVolume | kFSCatInfoNodeID, &info, nullptr, nullptr, nullptr), noErr);
    *volume = info.volume;
    *dirID = SInt32(info.nodeID);
  }

  fs::path root;
};

TEST_F(MachOTest, FrameworkDataIsBoundOnceAndTheBundleReused) {
  CFBundleRef bundle = nullptr;
  void* data = nullptr;
  ASSERT_EQ(MachOGetFrameworkDataRef(kFramework, nullptr, "kUTTagClassFilenameExtension", bundle, data), noErr);
  ASSERT_NE(bundle, nullptr);
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(*static_cast<CFStringRef*>(data), kUTTagClassFilenameExtension);

  // A bundle already in the variable is used as it is, not loaded again by
  // name: here a copy of the framework in another folder answers.
  fs::create_directories(root / "ApplicationServices.framework");
  fs::copy_file(StandIn(), root / "ApplicationServices.framework/ApplicationServices");
  FSRef folder;
  SInt16 volume;
  SInt32 dirID;
  Folder(root, &volume, &dirID, &folder);
  CFBundleRef copy = nullptr;
  void* copied = nullptr;
  ASSERT_EQ(MachOGetFrameworkDataRef(kFramework, &folder, "kUTTagClassFilenameExtension", copy, copied), noErr);
  EXPECT_NE(copy, bundle);
  EXPECT_NE(copied, data);
  CFBundleRef kept = copy;
  void* again = nullptr;
  EXPECT_EQ(MachOGetFrameworkDataRef(kFramework, nullptr, "kUTTagClassFilenameExtension", copy, again), noErr);
  EXPECT_EQ(copy, kept);
  EXPECT_EQ(again, copied);
  CFRelease(copy);
  CFRelease(bundle);
}

TEST_F(MachOTest, MissingNamesAndBundles) {
  CFBundleRef bundle = nullptr;
  void* function = reinterpret_cast<void*>(1);
  EXPECT_EQ(MachOGetFrameworkFunctionRef(kFramework, nullptr, "NoSuchFunction", bundle, function), cfragNoSymbolErr);
  EXPECT_EQ(function, nullptr);
  ASSERT_NE(bundle, nullptr);  // kept for the next look-up
  EXPECT_EQ(MachOGetFrameworkFunctionRef(kFramework, nullptr, "UTTypeConformsTo", bundle, function), noErr);
  EXPECT_NE(function, nullptr);
  CFRelease(bundle);

  for (const char* name : {"Nothing.framework", "..", ""}) {
    CFBundleRef none = reinterpret_cast<CFBundleRef>(1);
    EXPECT_EQ(MachOLoadFrameworkBundle(CFStringMakeConstantUTF8(name), nullptr, none), coreFoundationUnknownErr)
        << name;
    EXPECT_EQ(none, nullptr);
  }

  SInt16 volume;
  SInt32 dirID;
  Folder(root, &volume, &dirID);
  CFBundleRef missing = reinterpret_cast<CFBundleRef>(1);
  EXPECT_EQ(MachOLoadBundle(volume, dirID, "Missing.bundle", missing), fnfErr);
  EXPECT_EQ(missing, nullptr);
  // A folder with no code in it is no loadable bundle.
  fs::create_directories(root / "Empty.bundle/Contents");
  EXPECT_EQ(MachOLoadBundle(volume, dirID, "Empty.bundle", missing), coreFoundationUnknownErr);
  EXPECT_EQ(missing, nullptr);
  void* found = reinterpret_cast<void*>(1);
  EXPECT_EQ(MachOGetPrivateFrameworkFunctionRef("Missing.bundle", "UTTypeEqual", found), fnfErr);
  EXPECT_EQ(found, nullptr);
}

TEST_F(MachOTest, BundlesByFolderAndPrivateFrameworks) {
  fs::create_directories(root / "Plug.bundle/Contents/Linux");
  fs::copy_file(StandIn(), root / "Plug.bundle/Contents/Linux/Plug.so");
  SInt16 volume;
  SInt32 dirID;
  Folder(root, &volume, &dirID);
  CFBundleRef bundle = nullptr;
  void* function = nullptr;
  ASSERT_EQ(MachOGetBundleFunctionRef(volume, dirID, "Plug.bundle", "UTTypeEqual", bundle, function), noErr);
  auto equal = reinterpret_cast<Boolean (*)(CFStringRef, CFStringRef)>(function);
  EXPECT_TRUE(equal(CFStringMakeConstantUTF8("public.HTML"), kUTTypeHTML));
  void* data = nullptr;
  EXPECT_EQ(MachOGetBundleDataRef(volume, dirID, "Plug.bundle", "kUTTagClassOSType", bundle, data), noErr);
  EXPECT_EQ(*static_cast<CFStringRef*>(data), kUTTagClassOSType);
  EXPECT_EQ(MachOGetBundleDataRef(volume, dirID, "Plug.bundle", "kNothing", bundle, data), cfragNoSymbolErr);
  EXPECT_EQ(data, nullptr);
  CFRelease(bundle);

  void* first = nullptr;
  void* second = nullptr;
  ASSERT_EQ(MachOGetPrivateFrameworkFunctionRef(kFramework, "UTTypeConformsTo", first), noErr);
  ASSERT_EQ(MachOGetPrivateFrameworkFunctionRef(kFramework, "UTTypeConformsTo", second), noErr);
  EXPECT_EQ(first, second);
  EXPECT_EQ(MachOGetPrivateFrameworkFunctionRef(kFramework, "NoSuchFunction", second), cfragNoSymbolErr);
}

}  // namespace
