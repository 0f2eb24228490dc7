// Batch find in the started program: 'FNDP' opens the batch find window from
// the application's "Find" interface file (once), and choosing a match row
// opens its file in an editor window and hands it that match's line, not the
// text (which would select its first occurrence).
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "AppShellTestSupport.h"
#include "ApplicationResources.h"
#include "CFBundle.h"
#include "CFPascal.h"
#include "CFURL.h"
#include "MacMemory.h"
#include "MacWindows.h"
#include "TBatchFindUnit.h"
#include "TDocumentListUnit.h"
#include "TFindPaneUnit.h"
#include "TDocumentUnit.h"

using namespace appshell;

namespace {

FSRef gFile{};
std::vector<std::string> gSelections;

// The editor window's layout, from the shell's fixture interface file.
IBNibRef WindowNib() {
  static IBNibRef nib = [] {
    const std::string folder = QUORVEL_TEST_SOURCE_DIR "/shell/fixtures";
    CFURLRef url = CFURLCreateFromFileSystemRepresentation(nullptr, reinterpret_cast<const UInt8*>(folder.c_str()),
                                                           CFIndex(folder.size()), true);
    CFBundleRef bundle = CFBundleCreate(nullptr, url);
    CFRelease(url);
    IBNibRef made = nullptr;
    EXPECT_EQ(CreateNibReferenceWithCFBundle(bundle, CFSTR("WinMain"), &made), noErr);
    return made;
  }();
  return nib;
}

CFArrayRef OneFile() {
  CFMutableArrayRef list = CFArrayCreatePascal();
  Ptr block = NewPtr(sizeof gFile);
  std::memcpy(block, &gFile, sizeof gFile);
  CFArrayAppendValue(list, block);
  return list;
}

class BatchFindCommand : public ::testing::Test {
 protected:
  void SetUp() override { StartOnce(); }
  void TearDown() override {
    BatchFindSetProjectFiles(nullptr);
    for (SInt16 kind : {kBatchFindWindowKind, SInt16(1)})
      while (TWindow* window = FrontWindowObjectOfKind(kind)) {
        SInt32 status = 0;
        window->Close(status);
      }
  }
  SInt32 Process(UInt32 id) {
    HICommand command{};
    command.commandID = id;
    SInt32 result = eventNotHandledErr;
    MyApplication->ProcessCommand(command, nullptr, result);
    return result;
  }
};

TEST_F(BatchFindCommand, FNDPOpensTheBatchFindWindowOnce) {
  ASSERT_NE(ShellTargets.OpenBatchFindWindow, nullptr) << "start-up installs it";
  Process('FNDP');
  TBatchFindPane* pane = ActiveBatchFindPane();
  ASSERT_NE(pane, nullptr);
  EXPECT_NE(pane->findField, nullptr);
  EXPECT_NE(pane->browser, nullptr);
  EXPECT_NE(pane->progress, nullptr);
  EXPECT_NE(pane->status, nullptr);
  Process('FNDP');
  int windows = 0;
  for (WindowRef w = GetWindowList(); w != nullptr; w = GetNextWindow(w))
    if (GetWindowKind(w) == kBatchFindWindowKind) ++windows;
  EXPECT_EQ(windows, 1);
}

TEST_F(BatchFindCommand, AMatchRowOpensItsFileAtItsLine) {
  const std::string path = Scratch() + "/batch-lines.php";
  std::ofstream(path, std::ios::binary) << "<?php\n$needle = 1;\n\nfunction f() { return $NEEDLE; }\n";
  ASSERT_EQ(FSPathMakeRef(reinterpret_cast<const UInt8*>(path.c_str()), &gFile, nullptr), noErr);
  BatchFindSetProjectFiles(OneFile);
  const IBNibRef savedNib = ApplicationNib;
  ApplicationNib = WindowNib();
  const auto savedSelection = ShellTargets.SetDocumentSelection;
  gSelections.clear();
  ShellTargets.SetDocumentSelection = [](TDocument* document, const Str255& query, SInt16 line) {
    gSelections.push_back(document->name.str() + " '" + query.str() + "' " + std::to_string(line));
  };
  Process('FNDP');
  TBatchFindPane* pane = ActiveBatchFindPane();
  ASSERT_NE(pane, nullptr);
  HIViewSetText(pane->findField, CFSTR("needle"));
  SetControl32BitValue(pane->ignoreCaseBox, 1);
  HICommand find{};
  find.commandID = 'FIND';
  SInt32 result = eventNotHandledErr;
  pane->ProcessCommand(find, nullptr, result);
  for (long i = 0; pane->Searching() && i < 50'000'000; ++i) {
    HeadlessAdvanceClock(0);
    std::this_thread::yield();
  }
  ASSERT_FALSE(pane->Searching());
  ASSERT_EQ(pane->occurrences, 2);

  CFArrayRef nodes = BrackenrowCopyNodes(pane->browser->VIEW);
  ASSERT_NE(nodes, nullptr);
  ASSERT_EQ(CFArrayGetCount(nodes), 3);
  auto* second = static_cast<NodeInfoPtr>(const_cast<void*>(CFArrayGetValueAtIndex(nodes, 2)));
  const SInt32 item = second->INDEX;
  CFRelease(nodes);
  pane->browser->ItemNotification(second->DATA, kBatchFindTextItem, DataBrowserItemID(item),
                                  kDataBrowserItemSelected);

  // The shell opened the file and handed the line on to its document.
  ShellTargets.SetDocumentSelection = savedSelection;
  ASSERT_EQ(gSelections.size(), 1u);
  EXPECT_EQ(gSelections[0], "batch-lines.php '' 4");
  TWindow* editor = FrontWindowObjectOfKind(1);
  ASSERT_NE(editor, nullptr);
  ASSERT_NE(editor->documents->GetActive(), nullptr);
  EXPECT_EQ(FSCompareFSRefs(&editor->documents->GetActive()->file, &gFile), noErr);
  ApplicationNib = savedNib;
}

}  // namespace
