// Batch find over real files in a scratch folder, with the program's own
// "Find" interface file: rows by file with each match's line, the options,
// the count and the beep, an empty text and a missing project refused, Stop
// and a closing window ending the task cleanly, and a match row opening its
// file at its own line.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "ApplicationFramework.h"
#include "CFPascal.h"
#include "CFString.h"
#include "CFURL.h"
#include "HeadlessHost.h"
#include "IBCarbonRuntime.h"
#include "MacMemory.h"
#include "MacWindows.h"
#include "TBatchFindUnit.h"
#include "TFindPaneUnit.h"
#include "TPreferencesUnit.h"
#include "fenwicket/Fenwicket.h"

namespace {

namespace fs = std::filesystem;

IBNibRef ProgramFindNib() {
  static IBNibRef nib = [] {
    // A folder of its own holding the program's file.
    const char* tmp = getenv("TMPDIR");
    const fs::path root = fs::path(tmp != nullptr ? tmp : "/tmp") / "batchfind-nib";
    fs::remove_all(root);
    fs::create_directories(root / "Interface");
    fs::copy_file(QUORVEL_TEST_SOURCE_DIR "/../resources/Interface/Find.nib.plist", root / "Interface/Find.nib.plist");
    const std::string folder = root.string();
    CFURLRef url = CFURLCreateFromFileSystemRepresentation(nullptr, reinterpret_cast<const UInt8*>(folder.c_str()),
                                                           CFIndex(folder.size()), true);
    CFBundleRef bundle = CFBundleCreate(nullptr, url);
    CFRelease(url);
    IBNibRef made = nullptr;
    EXPECT_EQ(CreateNibReferenceWithCFBundle(bundle, CFSTR("Find"), &made), noErr);
    return made;
  }();
  return nib;
}

// The project's files, as the provider hands them over.
std::vector<FSRef> gProjectFiles;
bool gHasProject = true;

CFArrayRef CopyProjectFiles() {
  if (!gHasProject) return nullptr;
  CFMutableArrayRef list = CFArrayCreatePascal();
  for (const FSRef& ref : gProjectFiles) {
    Ptr block = NewPtr(sizeof ref);
    std::memcpy(block, &ref, sizeof ref);
    CFArrayAppendValue(list, block);
  }
  return list;
}

std::string Text(CFStringRef s) {
  if (s == nullptr) return "<nil>";
  char buffer[1024] = {};
  CFStringGetCString(s, buffer, sizeof buffer, kCFStringEncodingUTF8);
  return buffer;
}

// The options of the last open-document command the application received.
std::vector<ApplicationOpenCommandOptions> gOpened;

OSStatus RecordOpen(EventHandlerCallRef, EventRef event, void*) {
  HICommand command{};
  GetEventParameter(event, kEventParamDirectObject, typeHICommand, nullptr, sizeof command, nullptr, &command);
  if (command.commandID != kHICommandOpenDocument) return eventNotHandledErr;
  ApplicationOpenCommandOptions options{};
  GetEventParameter(event, kEventParamOpenOptions, typeVoidPtr, nullptr, sizeof options, nullptr, &options);
  gOpened.push_back(options);
  return noErr;
}

struct BatchFindTest : ::testing::Test {
  fs::path folder;
  TBatchFindPane* pane = nullptr;

  static void SetUpTestSuite() {
    HeadlessUseVirtualClock(true);
    RegisterWasteClass();
    if (AppPrefs == nullptr) {
      AppPrefs = new TPreferenceHandlerApplication();
      AppPrefs->SetDomain("user.");
    }
    BatchFindSetProjectFiles(CopyProjectFiles);
    const EventTypeSpec command{kEventClassCommand, kEventCommandProcess};
    InstallEventHandler(GetApplicationEventTarget(), RecordOpen, 1, &command, nullptr, nullptr);
  }

  void SetUp() override {
    const char* tmp = getenv("TMPDIR");
    folder = fs::path(tmp != nullptr ? tmp : "/tmp") / "batchfind";
    fs::remove_all(folder);
    fs::create_directories(folder);
    gProjectFiles.clear();
    gHasProject = true;
    gOpened.clear();
    HeadlessClearAlertLog();
    pane = OpenBatchFindWindow(ProgramFindNib());
    ASSERT_NE(pane, nullptr);
    ASSERT_NE(pane->browser, nullptr);
  }

  void TearDown() override {
    if (TBatchFindPane* open = ActiveBatchFindPane()) {
      SInt32 status = 0;
      GetWindowObject(open->GetWindow())->Close(status);
    }
    fs::remove_all(folder);
  }

  FSRef AddFile(const std::string& name, const std::string& bytes) {
    const fs::path path = folder / name;
    std::ofstream(path, std::ios::binary) << bytes;
    FSRef ref{};
    EXPECT_EQ(FSPathMakeRef(reinterpret_cast<const UInt8*>(path.c_str()), &ref, nullptr), noErr);
    gProjectFiles.push_back(ref);
    return ref;
  }

  void SetFind(const char* text, bool wholeWords = false, bool ignoreCase = false) {
    CFStringRef s = CFStringCreateWithCString(nullptr, text, kCFStringEncodingUTF8);
    HIViewSetText(pane->findField, s);
    CFRelease(s);
    SetControl32BitValue(pane->wholeWordsBox, wholeWords ? 1 : 0);
    SetControl32BitValue(pane->ignoreCaseBox, ignoreCase ? 1 : 0);
  }

  SInt32 Command(UInt32 id) {
    HICommand command{};
    command.commandID = id;
    SInt32 result = eventNotHandledErr;
    pane->ProcessCommand(command, nullptr, result);
    return result;
  }

  // Gives the task's main-thread steps their turn until the search is over.
  void Finish() {
    for (long i = 0; pane->Searching() && i < 50'000'000; ++i) {
      HeadlessAdvanceClock(0);
      std::this_thread::yield();
    }
    ASSERT_FALSE(pane->Searching());
  }

  // "FILE name" and "TEXT line: text" rows, a file before its matches.
  std::vector<std::string> Rows() {
    std::vector<std::string> rows;
    CFArrayRef nodes = BrackenrowCopyNodes(pane->browser->VIEW);
    for (CFIndex i = 0; nodes != nullptr && i < CFArrayGetCount(nodes); ++i) {
      auto* node = static_cast<NodeInfoPtr>(const_cast<void*>(CFArrayGetValueAtIndex(nodes, i)));
      if (node->DATATYPE == kBatchFindFileItem) {
        rows.push_back("FILE " + fs::path(PathOf(*static_cast<FSRef*>(node->DATA))).filename().string());
      } else {
        auto* match = static_cast<BatchFindMatch*>(node->DATA);
        rows.push_back("TEXT " + std::to_string(match->lineNumber) + ": " + match->line.str());
      }
    }
    if (nodes != nullptr) CFRelease(nodes);
    return rows;
  }

  static std::string PathOf(const FSRef& ref) {
    UInt8 path[4096] = {};
    FSRefMakePath(&ref, path, sizeof path);
    return reinterpret_cast<char*>(path);
  }

  std::string Status() {
    CFStringRef text = HIViewCopyText(pane->status);
    std::string s = Text(text);
    if (text != nullptr) CFRelease(text);
    return s;
  }
};

TEST_F(BatchFindTest, TheWindowOpensOnceAndIsBroughtForwardAfter) {
  WindowRef window = pane->GetWindow();
  EXPECT_EQ(GetWindowKind(window), kBatchFindWindowKind);
  EXPECT_TRUE(IsWindowVisible(window));
  EXPECT_EQ(OpenBatchFindWindow(ProgramFindNib()), nullptr);
  EXPECT_EQ(ActiveBatchFindPane(), pane);
  EXPECT_FALSE(HIViewIsVisible(pane->progress));
}

TEST_F(BatchFindTest, MatchesAreListedByFileWithTheirLines) {
  AddFile("first.php", "needle on the first line\n  two\n\tneedle needle needle  \nlast needle");
  AddFile("none.txt", "nothing to see\n");
  AddFile("crlf.txt", "one\r\n  needle in the middle\r\nthree\r\n");
  const FSRef gone = AddFile("gone.txt", "needle");
  fs::remove(folder / "gone.txt");  // cannot be read: passed over
  (void)gone;
  AddFile("utf.txt", "ça va, needle à côté\n");
  AddFile("latin.txt", "caf\xE9 needle\n");
  const int beeps = HeadlessBeepCount();
  SetFind("needle");
  EXPECT_EQ(Command('FIND'), noErr);
  ASSERT_TRUE(pane->Searching());
  Finish();

  EXPECT_EQ(Rows(), (std::vector<std::string>{
                        "FILE first.php",
                        "TEXT 1: needle on the first line",
                        "TEXT 3: needle needle needle",
                        "TEXT 3: needle needle needle",
                        "TEXT 3: needle needle needle",
                        "TEXT 4: last needle",
                        "FILE crlf.txt",
                        "TEXT 2: needle in the middle",
                        "FILE utf.txt",
                        "TEXT 1: ça va, needle à côté",
                        "FILE latin.txt",
                        "TEXT 1: café needle",
                    }));
  EXPECT_EQ(Status(), "Found 8 occurrences in 4 files");
  // The progress bar counted the files, the one that could not be read too.
  EXPECT_EQ(GetControl32BitMaximum(pane->progress), 6);
  EXPECT_EQ(GetControl32BitValue(pane->progress), 6);
  EXPECT_EQ(HeadlessBeepCount(), beeps + 1);
  EXPECT_FALSE(HIViewIsVisible(pane->progress));
  EXPECT_TRUE(HIViewIsVisible(pane->browser->VIEW));
  EXPECT_EQ(pane->files, nullptr);
  EXPECT_TRUE(HeadlessCopyAlertLog().empty());
}

TEST_F(BatchFindTest, WholeWordsAndIgnoreCaseDecideWhatMatches) {
  AddFile("words.txt", "Needle needles needle");
  struct Case {
    bool wholeWords, ignoreCase;
    const char* status;
  } cases[] = {
      {false, false, "Found 2 occurrences in 1 files"},
      {false, true, "Found 3 occurrences in 1 files"},
      {true, false, "Found 1 occurrences in 1 files"},
      {true, true, "Found 2 occurrences in 1 files"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.wholeWords ? "whole words " : "") + (c.ignoreCase ? "ignore case" : ""));
    SetFind("needle", c.wholeWords, c.ignoreCase);
    Command('FIND');
    Finish();
    EXPECT_EQ(Status(), c.status);
  }
}

TEST_F(BatchFindTest, NothingFoundStillCountsAndBeeps) {
  AddFile("a.txt", "alpha\n");
  const int beeps = HeadlessBeepCount();
  SetFind("zebra");
  Command('FIND');
  Finish();
  EXPECT_TRUE(Rows().empty());
  EXPECT_EQ(Status(), "Found 0 occurrences in 0 files");
  EXPECT_EQ(HeadlessBeepCount(), beeps + 1);
}

TEST_F(BatchFindTest, AnEmptyTextOrAMissingProjectStartsNothing) {
  AddFile("a.txt", "alpha\n");
  const int beeps = HeadlessBeepCount();
  SetFind("");
  EXPECT_EQ(Command('FIND'), noErr);
  EXPECT_FALSE(pane->Searching());
  EXPECT_EQ(HeadlessBeepCount(), beeps + 1);
  EXPECT_TRUE(HeadlessCopyAlertLog().empty());

  SetFind("alpha");
  for (bool project : {false, true}) {
    gHasProject = project;
    if (project) gProjectFiles.clear();  // a project without files
    HeadlessClearAlertLog();
    Command('FIND');
    EXPECT_FALSE(pane->Searching());
    const auto alerts = HeadlessCopyAlertLog();
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0].explanation, "There are no items in the project to search.");
  }
  EXPECT_EQ(Command('RePA'), noErr);  // no replace here
}

// Stops once the first file has been searched, as a Stop that comes in
// while the search runs.
class StoppingPane : public TBatchFindPane {
 public:
  void SearchFile(CFIndex index) override {
    TBatchFindPane::SearchFile(index);
    if (index == 0) StopSearch();
  }
};

TEST_F(BatchFindTest, StopKeepsWhatWasFoundAndCleansUp) {
  AddFile("one.txt", "needle\n");
  AddFile("two.txt", "needle\n");
  AddFile("three.txt", "needle\n");
  SetFind("needle");
  Command('FIND');
  // A second search while one runs is refused.
  int beeps = HeadlessBeepCount();
  Command('FIND');
  EXPECT_EQ(HeadlessBeepCount(), beeps + 1);
  // Stopped before its first step, and stopped again: nothing is left over.
  EXPECT_EQ(Command('not!'), noErr);
  EXPECT_FALSE(pane->Searching());
  EXPECT_EQ(Command('not!'), noErr);
  EXPECT_EQ(pane->files, nullptr);
  EXPECT_FALSE(HIViewIsVisible(pane->progress));
  EXPECT_EQ(HeadlessBeepCount(), beeps + 1);  // no beep for a stopped search
  // A new search runs in full after a stop.
  Command('FIND');
  Finish();
  EXPECT_EQ(Status(), "Found 3 occurrences in 3 files");

  // A pane of the same layout that stops during the search.
  SInt32 status = 0;
  GetWindowObject(pane->GetWindow())->Close(status);
  auto* window = new TWindow();
  window->Create(kBatchFindWindowNibName, ProgramFindNib());
  ASSERT_NE(window->window, nullptr);
  SetWindowKind(window->window, kBatchFindWindowKind);
  auto* stopping = new StoppingPane();
  stopping->Create(kBatchFindPaneNibName, ProgramFindNib());
  stopping->InstallCommandHandler(window->window);
  stopping->Attach(window->window);
  HIViewRef list = nullptr;
  HIViewFindByID(stopping->paneView, HIViewID{kBatchFindResultsSignature, 128}, &list);
  stopping->browser = new TBatchFindBrowser();
  stopping->browser->SetOptions(kBrackenrowAllocateTree | kBrackenrowLinearAutoIncrement);
  stopping->browser->Create(list);
  window->Show();
  pane = stopping;
  SetFind("needle");
  beeps = HeadlessBeepCount();
  Command('FIND');
  Finish();
  EXPECT_EQ(Rows(), (std::vector<std::string>{"FILE one.txt", "TEXT 1: needle"}));
  EXPECT_EQ(Status(), "Found 1 occurrences in 1 files");
  EXPECT_EQ(HeadlessBeepCount(), beeps);
  EXPECT_FALSE(HIViewIsVisible(pane->progress));
  EXPECT_TRUE(HIViewIsVisible(pane->browser->VIEW));
  EXPECT_EQ(pane->files, nullptr);
  for (int i = 0; i < 100; ++i) HeadlessAdvanceClock(0);  // the task has ended: no further step runs
  EXPECT_EQ(Rows().size(), 2u);
}

TEST_F(BatchFindTest, ClosingTheWindowStopsTheSearch) {
  for (int i = 0; i < 5; ++i) AddFile("f" + std::to_string(i) + ".txt", "needle\n");
  SetFind("needle");
  Command('FIND');
  HeadlessAdvanceClock(0);
  SInt32 status = 0;
  GetWindowObject(pane->GetWindow())->Close(status);
  pane = nullptr;
  EXPECT_EQ(ActiveBatchFindPane(), nullptr);
  for (int i = 0; i < 100; ++i) HeadlessAdvanceClock(0);  // nothing calls into the closed pane
}

TEST_F(BatchFindTest, AMatchRowOpensItsFileAtItsOwnLine) {
  const FSRef file = AddFile("lines.php", "needle\nother\n\n  NEEDLE again\n");
  SetFind("needle", false, true);
  Command('FIND');
  Finish();
  ASSERT_EQ(Rows().size(), 3u);
  // The rows in order: the file, then its two matches.
  CFArrayRef nodes = BrackenrowCopyNodes(pane->browser->VIEW);
  ASSERT_NE(nodes, nullptr);
  auto node = [&](CFIndex i) { return static_cast<NodeInfoPtr>(const_cast<void*>(CFArrayGetValueAtIndex(nodes, i))); };
  const SInt32 fileItem = node(0)->INDEX, secondMatch = node(2)->INDEX;
  CFRelease(nodes);

  pane->browser->ItemNotification(nullptr, kBatchFindTextItem, DataBrowserItemID(secondMatch),
                                  kDataBrowserItemSelected);
  ASSERT_EQ(gOpened.size(), 1u);
  EXPECT_EQ(FSCompareFSRefs(&gOpened[0].file, &file), noErr);
  EXPECT_EQ(gOpened[0].defaultLine, 4);
  EXPECT_TRUE(gOpened[0].queryString.empty()) << "a query would select the first occurrence instead";

  // A file row opens nothing.
  pane->browser->ItemNotification(nullptr, kBatchFindFileItem, DataBrowserItemID(fileItem), kDataBrowserItemSelected);
  EXPECT_EQ(gOpened.size(), 1u);
}

TEST(BatchFindLineRange, TheLineAroundAnOffset) {
  RegisterWasteClass();
  WEReference we = nullptr;
  const LongRect none{0, 0, 0, 0};
  ASSERT_EQ(WENew(&none, &none, 0x1000, &we), noErr);
  const std::string text = "first\rsecond\nthird";
  ASSERT_EQ(WEPut(0, 0, text.data(), SInt32(text.size()), kTextEncodingUTF8, 0, 0, nullptr, nullptr, we), noErr);
  struct Case {
    SInt32 offset, start, end;
  } cases[] = {{0, 0, 5}, {3, 0, 5}, {5, 0, 5}, {6, 6, 12}, {13, 13, 18}, {18, 13, 18}};
  for (const Case& c : cases) {
    const CFRange range = GetLineRange(c.offset, we);
    EXPECT_EQ(range.location, c.start) << c.offset;
    EXPECT_EQ(range.length, c.end) << c.offset;
  }
  WEDispose(we);
}

}  // namespace
