// What the fuzz targets share: a private scratch folder that holds the home
// and XDG places and every file a target writes (removed when the process
// ends), the headless host, the bundle of this build, and small helpers.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "CFData.h"
#include "CFString.h"
#include "Files.h"

namespace fuzz {

inline std::string& ScratchPath() {
  static std::string path;
  return path;
}

inline void RemoveScratch() {
  if (ScratchPath().empty()) return;
  std::error_code ignored;
  std::filesystem::remove_all(ScratchPath(), ignored);
}

// Called first from LLVMFuzzerInitialize, before the platform reads its
// environment: nothing a target does reaches the real home folder or the
// display.
inline void SetUp() {
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/quorvel-fuzz-XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) {
    std::perror("mkdtemp");
    std::abort();
  }
  ScratchPath() = pattern;
  std::atexit(RemoveScratch);
  const std::string places[][2] = {{"HOME", "home"},           {"XDG_CONFIG_HOME", "config"},
                                   {"XDG_DATA_HOME", "data"},  {"XDG_STATE_HOME", "state"},
                                   {"XDG_CACHE_HOME", "cache"}, {"TMPDIR", "tmp"}};
  for (const auto& place : places) {
    const std::string folder = pattern + "/" + place[1];
    mkdir(folder.c_str(), 0700);
    setenv(place[0].c_str(), folder.c_str(), 1);
  }
  setenv("QUORVEL_HEADLESS", "1", 1);
  setenv("QUORVEL_CLOCK_ORIGIN", "1000", 1);
  setenv("QUORVEL_BUNDLE", QUORVEL_FUZZ_BUNDLE, 0);
  unsetenv("DISPLAY");
  unsetenv("WAYLAND_DISPLAY");
}

// A path inside the scratch folder (its folders made).
inline std::string Path(const std::string& relative) {
  const std::filesystem::path path = std::filesystem::path(ScratchPath()) / "files" / relative;
  std::error_code ignored;
  std::filesystem::create_directories(path.parent_path(), ignored);
  return path.string();
}

// A folder inside the scratch folder, made.
inline std::string Folder(const std::string& relative) {
  const std::filesystem::path path = std::filesystem::path(ScratchPath()) / "files" / relative;
  std::error_code ignored;
  std::filesystem::create_directories(path, ignored);
  return path.string();
}

inline std::string Write(const std::string& relative, const void* data, size_t size) {
  const std::string path = Path(relative);
  std::ofstream(path, std::ios::binary | std::ios::trunc).write(static_cast<const char*>(data), std::streamsize(size));
  return path;
}

inline FSRef Ref(const std::string& path) {
  FSRef ref{};
  if (FSPathMakeRef(reinterpret_cast<const UInt8*>(path.c_str()), &ref, nullptr) != noErr) {
    std::fprintf(stderr, "no reference for %s\n", path.c_str());
    std::abort();
  }
  return ref;
}

// Owns one CF object.
struct Owned {
  CFTypeRef object = nullptr;
  explicit Owned(CFTypeRef o = nullptr) : object(o) {}
  Owned(const Owned&) = delete;
  Owned& operator=(const Owned&) = delete;
  ~Owned() {
    if (object) CFRelease(object);
  }
  explicit operator bool() const { return object != nullptr; }
};

inline CFDataRef NewData(const uint8_t* data, size_t size) { return CFDataCreate(nullptr, data, CFIndex(size)); }

inline std::string_view Bytes(CFDataRef data) {
  return data ? std::string_view(reinterpret_cast<const char*>(CFDataGetBytePtr(data)), size_t(CFDataGetLength(data)))
              : std::string_view();
}

// A fault the sanitizers cannot see (a round trip that changed the value):
// said on standard error, and the input kept as a finding.
[[noreturn]] inline void Fail(const char* what) {
  std::fprintf(stderr, "fuzz check failed: %s\n", what);
  std::abort();
}

}  // namespace fuzz
