// The error panes under the editor: a syntax check (what Run > Check Syntax
// asks of the editor pane) of a broken PHP, Perl or Ruby file brings the
// language's error pane up under the editor with the error listed, and
// choosing the row selects the error's line in the editor. The panes come
// from the program's own interface file.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "../run/ErrorPaneTestSupport.h"
#include "ApplicationResources.h"
#include "CFURL.h"
#include "HeadlessHost.h"
#include "IBCarbonRuntime.h"
#include "TConsoleUnit.h"
#include "TEditorPaneUnit.h"
#include "TFileSystemUnit.h"
#include "TFindUnit.h"
#include "TSplitViewUnit.h"
#include "TSyntaxCollectionUnit.h"
#include "TWASTEDocumentUnit.h"
#include "TDocumentListUnit.h"
#include "TWindowUnit.h"
#include "plinthora/Plinthora.h"

namespace {

IBNibRef WindowNib() {
  static IBNibRef nib = [] {
    const std::string folder = QUORVEL_TEST_SOURCE_DIR "/shell/fixtures";
    CFURLRef url = CFURLCreateFromFileSystemRepresentation(nullptr, reinterpret_cast<const UInt8*>(folder.c_str()),
                                                           CFIndex(folder.size()), true);
    CFBundleRef bundle = CFBundleCreate(nullptr, url);
    CFRelease(url);
    IBNibRef made = nullptr;
    EXPECT_EQ(CreateNibReferenceWithCFBundle(bundle, CFSTR("PaneMain"), &made), noErr);
    return made;
  }();
  return nib;
}

TSyntaxCollection* Languages() {
  static TSyntaxCollection* collection = [] {
    TSyntaxCollection* c = CreateSyntaxCollection(nullptr);
    for (const char* language : {"html", "php", "perl", "ruby"}) c->LoadLibrary(language);
    return c;
  }();
  return collection;
}

FSRef RefOf(const std::string& path) {
  FSRef ref{};
  FSPathMakeRef(reinterpret_cast<const UInt8*>(path.c_str()), &ref, nullptr);
  return ref;
}

struct Ended {
  bool ended = false;
  ScriptProcessNotificationCallback forward = nullptr;
};
Ended gRun;

void Recording(SInt16 code, TScript* script, void* data) {
  gRun.forward(code, script, data);
  if (code == kScriptProcessFinished) gRun.ended = true;
}

std::string SelectedLine(WEReference we) {
  SInt32 start = 0, end = 0;
  WEGetSelection(&start, &end, we);
  Handle h = NewHandle(0);
  WEStreamRange(start, end, 'utf8', 0, h, we);
  std::string s(*h, size_t(GetHandleSize(h)));
  DisposeHandle(h);
  if (!s.empty() && s.back() == '\r') s.pop_back();
  return s;
}

struct ErrorPaneUnderEditorTest : ::testing::Test {
  ScratchFolder folder{"error pane"};
  TWindow* window = nullptr;
  TFind* find = nullptr;
  TEditorPane* pane = nullptr;
  TWASTEDocument* document = nullptr;

  static void SetUpTestSuite() {
    HeadlessUseVirtualClock(true);
    RegisterWasteClass();
    RegisterToolbarViewClass();
    RegisterSplitViewClass();
    RegisterConsoleClass();
    UsePrivateStateFolder();
    UseSystemInterpreters();
    static ApplicationResourceInfo resources;
    AppResources = &resources;
  }

  void SetUp() override {
    ApplicationNib = ShippedNib();
    mkdir((folder.path + "/index").c_str(), 0700);
    AppResources->FileSystem = CreateFileSystem(RefOf(folder.path + "/index"), Languages(), nullptr);
    window = new TWindow();
    window->Create("Pane Editor Window", WindowNib());
    ASSERT_NE(window->window, nullptr);
    window->Show();
    find = new TFind();
    find->SetWindow(window);
    window->SetProperty('QURY', find, sizeof find);
  }

  void TearDown() override {
    SInt32 status = 0;
    window->Close(status);
    find->Release();
    AppResources->FileSystem->Release();
    AppResources->FileSystem = nullptr;
  }

  void Open(const std::string& name, const std::string& text) {
    document = new TWASTEDocument();
    folder.Write(name, text);
    document->Create(RefOf(folder.File(name)));
    pane = new TEditorPane();
    pane->SetDocument(document);
    pane->SetOwner(window);
    pane->Create(kEditorPaneNibName, ShippedNib());
    ASSERT_NE(pane->editor, nullptr);
    ASSERT_NE(pane->split, nullptr);
    pane->Attach(window->window);
    window->documents->Append(document);
    window->documents->SetActive(document);
    for (int i = 0; i < 1000; ++i) HeadlessAdvanceClock(0.001);  // the whole-file parse
  }

  void CheckSyntax() {
    pane->RunScript(kScriptModeCheckSyntax);
    TScriptPane* errors = pane->errorPane != nullptr ? pane->errorPane : dynamic_cast<TScriptPane*>(pane->LowerPane());
    ASSERT_NE(errors, nullptr);
    TScript* script = errors->script;
    gRun = Ended{};
    gRun.forward = script->callback;
    script->SetCallback(Recording, script->callbackData);
    for (int i = 0; i < 100000 && !gRun.ended; ++i) {
      if (script->process != nullptr && script->process->fProcess != nullptr)
        ProcessWaitForOutput(script->process->fProcess, 100);
      HeadlessAdvanceClock(1.0 / 30);
    }
    ASSERT_TRUE(gRun.ended);
  }
};

TEST_F(ErrorPaneUnderEditorTest, ACheckOfABrokenFileFillsThePaneAndTheRowSelectsItsLine) {
  struct Case {
    const char* name;
    const char* source;
    const char* title;
    std::string line;
  };
  const Case cases[] = {
      {"broken.php", "<?php\n$a = 1;\necho $a\necho 2;\n", "1 ", "echo 2;"},
      {"broken.pl", "use strict;\nmy $a = 1;\nmy $b = ;\n", "PERL", "my $b = ;"},
      {"broken.rb", "def f\n  1\n", "/usr/bin/ruby", "  1"},  // the runner names its interpreter
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Open(c.name, c.source);
    CheckSyntax();
    auto* lower = dynamic_cast<TScriptPane*>(pane->LowerPane());
    ASSERT_NE(lower, nullptr) << "the errors bring the pane up under the editor";
    EXPECT_EQ(ToolbarGetItemText(lower->toolbar, 1), Str255(c.title));
    TScriptErrorBrowser* browser = nullptr;
    if (auto* p = dynamic_cast<TPHPPane*>(lower)) browser = p->browser;
    if (auto* p = dynamic_cast<TPERLPane*>(lower)) browser = p->browser;
    if (auto* p = dynamic_cast<TRubyPane*>(lower)) browser = p->browser;
    ASSERT_NE(browser, nullptr);
    EXPECT_EQ(browser->CountItems(0, true), 1u);
    // The pane marks errors in the editor's own text.
    WEReference we = lower->text;
    ASSERT_NE(we, nullptr);
    WESetSelection(0, 0, we);
    SetDataBrowserSelectedItems(browser->VIEW, 0, nullptr, kDataBrowserItemsAssign);
    browser->SelectRow(0);
    EXPECT_EQ(SelectedLine(we), c.line);

    // Closing the pane ends it; a clean file's check then shows no pane.
    EXPECT_EQ(pane->CloseActivePane(), eventNotHandledErr);
    EXPECT_EQ(pane->LowerPane(), nullptr);
    pane->Close();
    pane = nullptr;
    window->documents->Remove(document);
    document->Release();
    document = nullptr;
  }
}

}  // namespace
