// What the script-run tests share: scratch folders with script files,
// documents over them, the interpreters' preferences, a text view in a
// window, and a recorder of run notifications that drives the child with
// the virtual clock until the run has ended.
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "ApplicationFramework.h"
#include "CFString.h"
#include "HeadlessHost.h"
#include "MacMemory.h"
#include "PascalCarbonCommon.h"
#include "SCRIPTS.h"
#include "TDocumentUnit.h"
#include "TPreferencesUnit.h"
#include "fenwicket/Fenwicket.h"

inline std::string Text(CFStringRef s) { return s == nullptr ? "<nil>" : UTF8FromCFString(s); }

inline CFStringRef NewString(const std::string& utf8) {
  return CFStringCreateWithBytes(nullptr, reinterpret_cast<const UInt8*>(utf8.data()), CFIndex(utf8.size()),
                                 kCFStringEncodingUTF8, false);
}

inline std::string ReadFile(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

inline bool Exists(const std::string& file) {
  struct stat info {};
  return stat(file.c_str(), &info) == 0;
}

// A scratch folder under TMPDIR (whose name may hold blanks and quotes),
// removed with its files.
struct ScratchFolder {
  std::string path;
  explicit ScratchFolder(const std::string& name = "run") {
    const char* tmp = getenv("TMPDIR");
    std::string pattern = std::string(tmp ? tmp : "/tmp") + "/" + name + "-XXXXXX";
    path = mkdtemp(pattern.data());
  }
  ~ScratchFolder() {
    const std::string command = "rm -rf -- '" + path + "'";
    EXPECT_EQ(std::system(command.c_str()), 0);
  }
  std::string Write(const std::string& name, const std::string& bytes) const {
    const std::string file = path + "/" + name;
    std::ofstream(file, std::ios::binary) << bytes;
    return file;
  }
  std::string File(const std::string& name) const { return path + "/" + name; }
};

// A document over a file of the folder.
inline TDocument* NewDocument(const std::string& file) {
  FSRef ref{};
  EXPECT_EQ(FSPathMakeRef(reinterpret_cast<const UInt8*>(file.c_str()), &ref, nullptr), noErr) << file;
  auto* document = new TDocument();
  document->Create(ref);
  return document;
}

// Tests run side by side, and a PHP run empties the log folder's PHP log:
// each test process gets a state folder (and so a log folder) of its own.
inline void UsePrivateStateFolder() {
  static ScratchFolder state("state");  // removed when the test process ends
  setenv("XDG_STATE_HOME", state.path.c_str(), 1);
}

// The interpreters the preferences name, as on a Debian desktop.
inline void UseSystemInterpreters() {
  if (AppPrefs == nullptr) {
    AppPrefs = new TPreferenceHandlerApplication();
    AppPrefs->SetDomain("user.");
  }
  AppPrefs->SetStringValue("CommandLinePHP", "/usr/bin/php");
  AppPrefs->SetStringValue("CommandLinePERL", "/usr/bin/perl");
  AppPrefs->SetStringValue("CommandLineRuby", "/usr/bin/ruby");
}

// What a run told its callback, in order.
struct RunRecorder {
  std::vector<SInt16> codes;
  bool finished = false;
  bool processAtStart = false;

  static void Callback(SInt16 code, TScript* script, void* data) {
    auto* self = static_cast<RunRecorder*>(data);
    self->codes.push_back(code);
    if (code == kScriptProcessStarted) self->processAtStart = script->process != nullptr;
    if (code == kScriptProcessFinished) self->finished = true;
  }
  void Attach(TScript* script) { script->SetCallback(Callback, this); }

  // Fires the poll timer whenever output came, until the run has ended.
  void Drive(TScript* script) {
    for (int i = 0; i < 100000 && !finished; ++i) {
      if (script->process != nullptr && script->process->fProcess != nullptr)
        ProcessWaitForOutput(script->process->fProcess, 100);
      HeadlessAdvanceClock(1.0 / 30);
    }
    ASSERT_TRUE(finished);
  }
};
