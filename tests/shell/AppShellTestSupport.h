// Helpers of the application shell's tests: a bundle of their own (the built
// bundle's resources, with the test interface file as "main"), scratch files
// and folders, and the shell started once per process.
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "CFPropertyList.h"
#include "Files.h"
#include "HeadlessHost.h"
#include "TDemoApplicationUnit.h"

namespace appshell {

namespace fs = std::filesystem;

inline std::string Scratch() {
  const char* tmp = getenv("TMPDIR");
  return std::string(tmp != nullptr ? tmp : "/tmp");
}

// Points the main bundle at a copy of the built bundle made of symbolic
// links, whose "main" interface file is tests/shell/fixtures/Interface/
// AppMain.nib.plist. Call before anything reads the main bundle.
inline std::string PrepareAppBundle() {
  static std::string bundle = [] {
    const char* built = getenv("QUORVEL_BUNDLE");
    EXPECT_NE(built, nullptr) << "the tests run with QUORVEL_BUNDLE set";
    const fs::path real = built != nullptr ? built : "";
    const fs::path copy = fs::path(Scratch()) / "AppBundle" / "Quorvel.app";
    const fs::path contents = copy / "Contents";
    std::error_code error;
    fs::remove_all(copy, error);
    fs::create_directories(contents / "Resources" / "Interface");
    for (const char* entry : {"Info.plist", "MacOS", "Frameworks"})
      if (fs::exists(real / "Contents" / entry)) fs::create_symlink(real / "Contents" / entry, contents / entry);
    for (const auto& item : fs::directory_iterator(real / "Contents" / "Resources")) {
      if (item.path().filename() == "Interface") continue;
      fs::create_symlink(item.path(), contents / "Resources" / item.path().filename());
    }
    if (fs::exists(real / "Contents" / "Resources" / "Interface"))
      for (const auto& item : fs::directory_iterator(real / "Contents" / "Resources" / "Interface"))
        if (item.path().filename() != "main.nib.plist")
          fs::create_symlink(item.path(), contents / "Resources" / "Interface" / item.path().filename());
    fs::create_symlink(fs::path(QUORVEL_TEST_SOURCE_DIR) / "shell/fixtures/Interface/AppMain.nib.plist",
                       contents / "Resources" / "Interface" / "main.nib.plist");
    setenv("QUORVEL_BUNDLE", copy.c_str(), 1);
    return copy.string();
  }();
  return bundle;
}

inline std::string BuiltResources() { return PrepareAppBundle() + "/Contents/Resources"; }

// The application's preferences file.
inline std::string PreferencesFile() {
  const char* config = getenv("XDG_CONFIG_HOME");
  return std::string(config != nullptr ? config : "") + "/Quorvel/com.brindlecote.Quorvel.plist";
}

// The property list of a file; nil when it cannot be read. The caller releases it.
inline CFPropertyListRef ReadPropertyList(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return nullptr;
  const std::string bytes((std::istreambuf_iterator<char>(in)), {});
  CFDataRef data = CFDataCreate(nullptr, reinterpret_cast<const UInt8*>(bytes.data()), CFIndex(bytes.size()));
  CFPropertyListRef list = CFPropertyListCreateFromXMLData(nullptr, data, 0, nullptr);
  CFRelease(data);
  return list;
}

inline CFStringRef Key(const char* text) { return CFStringCreateWithCString(nullptr, text, kCFStringEncodingUTF8); }

inline std::string StringOf(CFTypeRef value) {
  if (value == nullptr || CFGetTypeID(value) != CFStringGetTypeID()) return "<not a string>";
  char buffer[1024] = {0};
  CFStringGetCString(static_cast<CFStringRef>(value), buffer, sizeof buffer, kCFStringEncodingUTF8);
  return buffer;
}

// A scratch folder of the test's own.
struct ScratchFolder {
  std::string path;
  explicit ScratchFolder(const std::string& name) : path(Scratch() + "/" + name) {
    std::error_code error;
    fs::remove_all(path, error);
    fs::create_directories(path);
  }
  std::string Write(const std::string& name, const std::string& text, bool executable = false) const {
    const std::string file = path + "/" + name;
    fs::create_directories(fs::path(file).parent_path());
    std::ofstream(file) << text;
    chmod(file.c_str(), executable ? 0755 : 0644);
    return file;
  }
  std::string Folder(const std::string& name) const {
    fs::create_directories(path + "/" + name);
    return path + "/" + name;
  }
  FSRef Ref(const std::string& name) const {
    FSRef ref{};
    const std::string file = path + "/" + name;
    EXPECT_EQ(FSPathMakeRef(reinterpret_cast<const UInt8*>(file.c_str()), &ref, nullptr), noErr) << file;
    return ref;
  }
};

inline std::string PathOf(const FSRef& ref) {
  UInt8 path[4096] = {0};
  FSRefMakePath(&ref, path, sizeof path);
  return reinterpret_cast<char*>(path);
}

inline std::string NameOf(const FSRef& ref) {
  const std::string path = PathOf(ref);
  return path.substr(path.find_last_of('/') + 1);
}

// The shell as the program starts it, once per process.
inline void StartOnce() {
  PrepareAppBundle();
  if (MyApplication == nullptr) StartApplication();
}

}  // namespace appshell
