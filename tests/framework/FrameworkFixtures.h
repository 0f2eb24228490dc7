// Fixtures of the framework's window, pane and document tests: the test
// interface file, a recorder of the commands that reach the application,
// scratch files, and the alerts the headless host answered.
#pragma once

#include <gtest/gtest.h>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "ApplicationFramework.h"
#include "CFBundle.h"
#include "CFURL.h"
#include "HeadlessHost.h"
#include "IBCarbonRuntime.h"
#include "PascalCarbonCommon.h"

// This folder of the sources.
inline std::string SourceFolder() { return QUORVEL_TEST_SOURCE_DIR "/framework"; }

// An interface file of tests/framework/fixtures/Interface, opened once.
inline IBNibRef FixtureNibNamed(const std::string& name) {
  static std::map<std::string, IBNibRef> nibs;
  if (auto found = nibs.find(name); found != nibs.end()) return found->second;
  const std::string folder = SourceFolder() + "/fixtures";
  CFURLRef url = CFURLCreateFromFileSystemRepresentation(nullptr, reinterpret_cast<const UInt8*>(folder.c_str()),
                                                         CFIndex(folder.size()), true);
  CFBundleRef bundle = CFBundleCreate(nullptr, url);
  CFRelease(url);
  CFStringRef nibName = CFStringCreateWithCString(nullptr, name.c_str(), kCFStringEncodingUTF8);
  IBNibRef made = nullptr;
  EXPECT_EQ(CreateNibReferenceWithCFBundle(bundle, nibName, &made), noErr) << name;
  CFRelease(nibName);
  return nibs[name] = made;
}

// The interface file tests/framework/fixtures/Interface/Framework.nib.plist.
inline IBNibRef FixtureNib() { return FixtureNibNamed("Framework"); }

inline std::string FourCC(UInt32 code) {
  return std::string{char(code >> 24), char(code >> 16), char(code >> 8), char(code)};
}

// Records every command event that reaches the application target, with
// what the framework's senders put in it.
struct AppCommands {
  struct Entry {
    UInt32 command = 0;
    bool hasFile = false;
    FSRef file{};
    bool hasNewWindow = false;
    Boolean newWindow = false;
    bool hasOptions = false;
    ApplicationOpenCommandOptions options{};
    void* reviewWindow = nullptr;
    bool hasReviewEvent = false;
    CFIndex reviewCount = -1;
    bool windowAliveAtQuit = false;
  };
  std::vector<Entry> entries;
  EventHandlerRef handler = nullptr;
  WindowRef watched = nullptr;  // whether it still lives when 'quit' arrives
  OSStatus answer = noErr;

  AppCommands() {
    static const EventTypeSpec kTypes[] = {{kEventClassCommand, kEventCommandProcess}};
    InstallEventHandler(GetApplicationEventTarget(), Handle, 1, kTypes, this, &handler);
  }
  ~AppCommands() { RemoveEventHandler(handler); }

  static OSStatus Handle(EventHandlerCallRef, EventRef event, void* data) {
    auto* self = static_cast<AppCommands*>(data);
    Entry e;
    HICommand command{};
    GetEventParameter(event, kEventParamDirectObject, typeHICommand, nullptr, sizeof command, nullptr, &command);
    e.command = command.commandID;
    e.hasFile = GetEventParameter(event, kEventParamOpenFile, typeFSRef, nullptr, sizeof e.file, nullptr, &e.file) ==
                noErr;
    e.hasNewWindow = GetEventParameter(event, kEventParamOpenNewWindow, typeBoolean, nullptr, sizeof e.newWindow,
                                       nullptr, &e.newWindow) == noErr;
    e.hasOptions = GetEventParameter(event, kEventParamOpenOptions, typeVoidPtr, nullptr, sizeof e.options, nullptr,
                                     &e.options) == noErr;
    GetEventParameter(event, 'revp', typeWindowRef, nullptr, sizeof e.reviewWindow, nullptr, &e.reviewWindow);
    EventRef closeEvent = nullptr;
    e.hasReviewEvent =
        GetEventParameter(event, 'reve', typeEventRef, nullptr, sizeof closeEvent, nullptr, &closeEvent) == noErr;
    CFArrayRef documents = nullptr;
    if (GetEventParameter(event, 'revd', typeCFTypeRef, nullptr, sizeof documents, nullptr, &documents) == noErr &&
        documents != nullptr) {
      e.reviewCount = CFArrayGetCount(documents);
      CFRelease(documents);  // handed over
    }
    if (command.commandID == kHICommandQuit) e.windowAliveAtQuit = self->watched && IsValidWindowPtr(self->watched);
    self->entries.push_back(e);
    return self->answer;
  }

  std::vector<std::string> Commands() const {
    std::vector<std::string> out;
    for (const Entry& e : entries) out.push_back(FourCC(e.command));
    return out;
  }
};

// A scratch folder under TMPDIR, removed with its files.
struct ScratchFolder {
  std::string path;
  ScratchFolder() {
    const char* tmp = getenv("TMPDIR");
    std::string pattern = std::string(tmp ? tmp : "/tmp") + "/framework-XXXXXX";
    path = mkdtemp(pattern.data());
  }
  ~ScratchFolder() { std::system(("rm -rf '" + path + "'").c_str()); }
  std::string Write(const std::string& name, const std::string& bytes) const {
    const std::string file = path + "/" + name;
    std::ofstream(file, std::ios::binary) << bytes;
    return file;
  }
  FSRef Ref(const std::string& name) const {
    FSRef ref{};
    EXPECT_EQ(FSPathMakeRef(reinterpret_cast<const UInt8*>((path + "/" + name).c_str()), &ref, nullptr), noErr) << name;
    return ref;
  }
  std::vector<std::string> Names() const {
    std::vector<std::string> out;
    if (DIR* dir = opendir(path.c_str())) {
      while (dirent* entry = readdir(dir))
        if (std::string(entry->d_name) != "." && std::string(entry->d_name) != "..") out.push_back(entry->d_name);
      closedir(dir);
    }
    return out;
  }
};

inline std::string ReadFile(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

inline std::string Title(WindowRef window) {
  CFStringRef title = nullptr;
  CopyWindowTitleAsCFString(window, &title);
  if (title == nullptr) return "<nil>";
  char buffer[512] = {0};
  CFStringGetCString(title, buffer, sizeof buffer, kCFStringEncodingUTF8);
  CFRelease(title);
  return buffer;
}

// Every window a test left behind goes, with the alerts it logged.
inline void DisposeAllWindows() {
  while (WindowRef w = GetWindowList()) DisposeWindow(w);
  HeadlessClearAlertAnswers();
  HeadlessClearAlertLog();
}
