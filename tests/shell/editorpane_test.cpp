// The editor pane in a headless editor window, over real files and the
// fixture interface files: terminal runs of real PHP, Perl and Ruby scripts
// whose output reaches the terminal pane's console, each project argument one
// argv element; script runs reusing their error pane and runner; the Abort
// button between the start and the end of a run; the find pane built once
// under the editor and driven through its fields and buttons; the closing of
// the lower pane; and what the pane says it supports.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "../run/RunTestSupport.h"
#include "ApplicationResources.h"
#include "CFArray.h"
#include "CFData.h"
#include "CFDictionary.h"
#include "CFURL.h"
#include "HeadlessHost.h"
#include "IBCarbonRuntime.h"
#include "PreferenceUtilities.h"
#include "TConsoleUnit.h"
#include "TDocumentListUnit.h"
#include "TEditorPaneUnit.h"
#include "TFileSystemUnit.h"
#include "TFindPaneUnit.h"
#include "TFindUnit.h"
#include "TPropertyListUnit.h"
#include "TQVEditorUnit.h"
#include "TSplitViewUnit.h"
#include "TSyntaxCollectionUnit.h"
#include "TWASTEDocumentUnit.h"
#include "TWASTEViewUnit.h"
#include "TWindowUnit.h"
#include "plinthora/Plinthora.h"

namespace {

IBNibRef FixtureNib(CFStringRef name) {
  const std::string folder = QUORVEL_TEST_SOURCE_DIR "/shell/fixtures";
  CFURLRef url = CFURLCreateFromFileSystemRepresentation(nullptr, reinterpret_cast<const UInt8*>(folder.c_str()),
                                                         CFIndex(folder.size()), true);
  CFBundleRef bundle = CFBundleCreate(nullptr, url);
  CFRelease(url);
  IBNibRef nib = nullptr;
  EXPECT_EQ(CreateNibReferenceWithCFBundle(bundle, name, &nib), noErr);
  return nib;
}
IBNibRef MainNib() {
  static IBNibRef nib = FixtureNib(CFSTR("PaneMain"));
  return nib;
}
IBNibRef FindNib() {
  static IBNibRef nib = FixtureNib(CFSTR("PaneFind"));
  return nib;
}

std::string TextOf(WEReference we) {
  Handle h = NewHandle(0);
  WEStreamRange(0, WEGetTextLength(we), 'utf8', 0, h, we);
  std::string s(*h, size_t(GetHandleSize(h)));
  DisposeHandle(h);
  return s;
}

std::string Marked(WEReference we) {
  std::string text = TextOf(we);
  SInt32 start = 0, end = 0;
  WEGetSelection(&start, &end, we);
  text.insert(size_t(end), "]");
  text.insert(size_t(start), "[");
  return text;
}

// The project's file information, as the project unit will hand it over.
CFDictionaryRef gFileInfo = nullptr;
TProject* const kProject = reinterpret_cast<TProject*>(0x5eed);
Str63 gFileInfoAskedFor;
CFDictionaryRef CopyFileInfo(TProject* project, const Str63& name) {
  gFileInfoAskedFor = name;
  if (project != kProject || gFileInfo == nullptr) return nullptr;
  CFRetain(gFileInfo);
  return gFileInfo;
}

CFDataRef ArgumentData(bool active, const std::string& name, const std::string& value) {
  UInt8 record[129] = {};
  record[0] = active;
  record[1] = UInt8(name.size());
  std::memcpy(record + 2, name.data(), name.size());
  record[65] = UInt8(value.size());
  std::memcpy(record + 66, value.data(), value.size());
  return CFDataCreate(nullptr, record, sizeof record);
}

// File information holding script arguments and, when named, a server.
void SetFileInfo(const std::vector<CFDataRef>& arguments, const char* server = nullptr) {
  if (gFileInfo != nullptr) CFRelease(gFileInfo);
  CFMutableDictionaryRef info =
      CFDictionaryCreateMutable(nullptr, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
  CFMutableArrayRef list = CFArrayCreateMutable(nullptr, 0, &kCFTypeArrayCallBacks);
  for (CFDataRef a : arguments) {
    CFArrayAppendValue(list, a);
    CFRelease(a);
  }
  CFDictionarySetValue(info, CFSTR("FileInfoArguments"), list);
  CFRelease(list);
  if (server != nullptr) {
    CFStringRef name = NewString(server);
    CFDictionarySetValue(info, CFSTR("FileInfoServer"), name);
    CFRelease(name);
  }
  gFileInfo = info;
}

TSyntaxCollection* Languages() {
  static TSyntaxCollection* collection = [] {
    TSyntaxCollection* c = CreateSyntaxCollection(nullptr);
    for (const char* language : {"html", "php", "perl", "ruby", "javascript", "css"}) c->LoadLibrary(language);
    return c;
  }();
  return collection;
}

FSRef RefOf(const std::string& path) {
  FSRef ref{};
  FSPathMakeRef(reinterpret_cast<const UInt8*>(path.c_str()), &ref, nullptr);
  return ref;
}

// A script's run told its pane; the Abort button as it stood after each code.
struct Notifications {
  struct Seen {
    SInt16 code;
    bool abortShown;
  };
  std::vector<Seen> seen;
  TEditorPane* pane = nullptr;
  ScriptProcessNotificationCallback forward = nullptr;
  bool Ended() const { return !seen.empty() && seen.back().code == kScriptProcessFinished; }
};
Notifications gNotifications;

bool AbortShown(TEditorPane* pane) {
  return pane->abortItem != 0 && pane->editor->toolbar != nullptr &&
         ToolbarGetItemText(pane->editor->toolbar, pane->abortItem) == "Abort" && pane->process != nullptr;
}

void Recording(SInt16 code, TScript* script, void* data) {
  gNotifications.forward(code, script, data);
  gNotifications.seen.push_back({code, AbortShown(gNotifications.pane)});
}

// Runs the loop until the script's run has ended.
void Drive(TScript* script) {
  for (int i = 0; i < 100000 && !gNotifications.Ended(); ++i) {
    if (script->process != nullptr && script->process->fProcess != nullptr)
      ProcessWaitForOutput(script->process->fProcess, 100);
    HeadlessAdvanceClock(1.0 / 30);
  }
  ASSERT_TRUE(gNotifications.Ended());
}

struct EditorPaneTest : ::testing::Test {
  ScratchFolder folder{"editor pane"};
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
    ApplicationNib = MainNib();
    static ApplicationResourceInfo resources;
    resources.FindNib = FindNib();
    AppResources = &resources;
    InstallFindPaneHooks();
  }

  void SetUp() override {
    mkdir((folder.path + "/index").c_str(), 0700);
    AppResources->FileSystem = CreateFileSystem(RefOf(folder.path + "/index"), Languages(), nullptr);
    EditorPaneHooks hooks{};
    hooks.CopyFileInfo = CopyFileInfo;
    EditorPaneSetHooks(&hooks);
    window = new TWindow();
    window->Create("Pane Editor Window", MainNib());
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
    AppResources->ToolbarPreferences = nullptr;
    if (gFileInfo != nullptr) CFRelease(gFileInfo);
    gFileInfo = nullptr;
    EditorPaneSetHooks(nullptr);
  }

  // An editor pane over the file (written first) or an untitled document,
  // filling the window, its document the window's active one.
  void Open(const std::string& name, const std::string& text, bool inProject = false) {
    document = new TWASTEDocument();
    if (name.empty()) {
      document->CreateEmpty();
    } else {
      folder.Write(name, text);
      document->Create(RefOf(folder.File(name)));
    }
    if (inProject) window->SetProperty('PROJ', kProject, sizeof kProject);
    pane = new TEditorPane();
    pane->SetDocument(document);
    pane->SetOwner(window);
    pane->Create(kEditorPaneNibName, MainNib());
    ASSERT_NE(pane->editor, nullptr);
    ASSERT_NE(pane->split, nullptr);
    pane->Attach(window->window);
    window->documents->Append(document);
    window->documents->SetActive(document);
    for (int i = 0; i < 100000 && pane->editor->parser->busy; ++i) HeadlessAdvanceClock(0.001);
  }
  WEReference WE() { return pane->editor->GetWE(); }
  // Lets the split views' animations run to their end.
  void Settle() { HeadlessAdvanceClock(2.0); }

  // Hooks the recorder between the run and the pane.
  void Record(TScript* script) {
    ScriptProcessNotificationCallback forward =
        script->callback == Recording ? gNotifications.forward : script->callback;
    gNotifications = Notifications{};
    gNotifications.pane = pane;
    gNotifications.forward = forward;
    script->SetCallback(Recording, script->callbackData);
  }
};

// --- Terminal runs ------------------------------------------------------------

TEST_F(EditorPaneTest, TerminalRunsRealInterpretersWithEachArgumentOneElement) {
  struct Case {
    const char* file;
    const char* script;
  };
  const Case cases[] = {
      {"args.php", "<?php foreach (array_slice($argv, 1) as $a) echo '[', $a, \"]\\n\";\n"},
      {"args.pl", "print \"[$_]\\n\" for @ARGV;\n"},
      {"args.rb", "ARGV.each { |a| puts \"[#{a}]\" }\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    Open(c.file, c.script, true);
    // Blanks, quotes and a shell's specials stay inside their one element.
    SetFileInfo({ArgumentData(true, "greeting", "hello world"), ArgumentData(false, "off", "never"),
                 ArgumentData(true, "q", "say \"hi\" $HOME; `x`")});
    pane->RunTerminal();
    auto* terminal = dynamic_cast<TTerminalPane*>(pane->LowerPane());
    ASSERT_NE(terminal, nullptr);
    ASSERT_NE(terminal->script, nullptr);
    ASSERT_NE(terminal->console, nullptr);
    EXPECT_EQ(gFileInfoAskedFor.str(), c.file);
    Record(terminal->script);
    Drive(terminal->script);
    const std::string expected = "[greeting=hello world]\r[q=say \"hi\" $HOME; `x`]";
    EXPECT_NE(TextOf(terminal->console->controller).find(expected), std::string::npos)
        << TextOf(terminal->console->controller);
    EXPECT_EQ(TextOf(terminal->console->controller).find("never"), std::string::npos);

    // The second run reuses the pane and its runner, with the arguments once.
    TScript* runner = terminal->script;
    SetFileInfo({ArgumentData(true, "second", "run")});
    pane->RunTerminal();
    EXPECT_EQ(pane->LowerPane(), terminal);
    EXPECT_EQ(terminal->script, runner);
    Record(runner);
    Drive(runner);
    const std::string text = TextOf(terminal->console->controller);
    EXPECT_NE(text.find("[second=run]"), std::string::npos) << text;
    EXPECT_EQ(text.find("greeting"), std::string::npos) << text;
    EXPECT_EQ(ToolbarGetItemText(terminal->toolbar, 1).str(), runner->interpreter.str());
    SInt32 status = 0;
    window->Close(status);
    window = new TWindow();
    window->Create("Pane Editor Window", MainNib());
    window->Show();
    window->SetProperty('QURY', find, sizeof find);
  }
}

TEST_F(EditorPaneTest, TheAbortButtonShowsExactlyFromTheStartOfARunToItsEnd) {
  Open("wait.pl", "print \"started\\n\"; sleep 1; print \"done\\n\";\n");
  EXPECT_FALSE(AbortShown(pane));
  pane->RunTerminal();
  auto* terminal = dynamic_cast<TTerminalPane*>(pane->LowerPane());
  ASSERT_NE(terminal, nullptr);
  // The start was reported inside RunTerminal: the button is there now.
  EXPECT_TRUE(AbortShown(pane));
  Record(terminal->script);
  Drive(terminal->script);
  // Shown through every report until the end's.
  ASSERT_FALSE(gNotifications.seen.empty());
  for (size_t i = 0; i + 1 < gNotifications.seen.size(); ++i) EXPECT_TRUE(gNotifications.seen[i].abortShown) << i;
  EXPECT_EQ(gNotifications.seen.back().code, kScriptProcessFinished);
  EXPECT_FALSE(gNotifications.seen.back().abortShown);
  EXPECT_FALSE(AbortShown(pane));
  EXPECT_EQ(pane->process, nullptr);

  // A run whose interpreter is missing ends too, and takes the button along.
  AppPrefs->SetStringValue("CommandLinePERL", "/nonexistent/perl");
  Record(terminal->script);
  pane->RunTerminal();
  Drive(terminal->script);
  AppPrefs->SetStringValue("CommandLinePERL", "/usr/bin/perl");
  EXPECT_FALSE(AbortShown(pane));
  EXPECT_FALSE(gNotifications.seen.back().abortShown);
}

TEST_F(EditorPaneTest, DocumentsNoInterpreterRunsAreRefusedWithTheirMessages) {
  for (const char* name : {"page.html", "notes.txt", "style.css"}) {
    SCOPED_TRACE(name);
    Open(name, "text\n");
    HeadlessClearAlertLog();
    pane->RunTerminal();
    pane->RunScript(kScriptModeCheckSyntax);
    const auto log = HeadlessCopyAlertLog();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].explanation, "the document does not support being run from the command line");
    EXPECT_EQ(log[1].explanation, "This document does not support being run from the command line.");
    EXPECT_EQ(pane->LowerPane(), nullptr);
  }
}

TEST_F(EditorPaneTest, AScriptRunEndsTheTerminalRunAndTheButtonStandsForTheNewRun) {
  // The script waits for input, so each run lasts until it is ended.
  Open("wait.pl", "$| = 1; print \"ready\\n\"; my $line = <STDIN>;\n");
  pane->RunTerminal();
  auto* terminal = dynamic_cast<TTerminalPane*>(pane->LowerPane());
  ASSERT_NE(terminal, nullptr);
  TProcessUtils* first = pane->process;
  ASSERT_NE(first, nullptr);
  Record(terminal->script);

  // A script run ends the terminal's first; the button then stands for it.
  pane->RunScript(kScriptModeDebug);
  EXPECT_TRUE(gNotifications.Ended());
  EXPECT_EQ(terminal->script->process, nullptr);
  ASSERT_NE(pane->errorPane, nullptr);
  TScript* second = pane->errorPane->script;
  ASSERT_NE(second->process, nullptr);
  EXPECT_EQ(pane->process, second->process);
  EXPECT_TRUE(AbortShown(pane));
  EXPECT_EQ(pane->process, second->process);

  // Aborting the second (as the button does) takes the button away.
  Record(second);
  pane->process->Terminate();
  Drive(second);
  EXPECT_FALSE(AbortShown(pane));
}

TEST_F(EditorPaneTest, ErrorsFoundAfterATerminalRunTakeTheTerminalsPlace) {
  Open("broken.pl", "", true);
  // The run saves the document first: the broken text is the editor's.
  const std::string broken = "print \"broken\\n\"\nprint;;; }\n";
  WEPut(0, 0, broken.data(), broken.size(), kTextEncodingUTF8, 0, 0, nullptr, nullptr, WE());
  pane->RunTerminal();
  auto* terminal = dynamic_cast<TTerminalPane*>(pane->LowerPane());
  ASSERT_NE(terminal, nullptr);
  Record(terminal->script);
  Drive(terminal->script);
  pane->RunScript(kScriptModeDebug);
  TScriptPane* errors = pane->errorPane;
  ASSERT_NE(errors, nullptr);
  Record(errors->script);
  Drive(errors->script);
  EXPECT_EQ(pane->LowerPane(), errors);
}

TEST_F(EditorPaneTest, TheTerminalPaneTakesItsColoursAndFontFromThePreferences) {
  ExtendedTextStyle style{};
  style.textColor = RGBColor{0x1111, 0x2222, 0x3333};
  style.secondColor = RGBColor{0xFFFF, 0xEEEE, 0xDDDD};
  Str255 family = "Courier";
  style.firstNumber = FMGetFontFamilyFromName(family.data());
  style.secondNumber = 15;
  CFDataRef data = ExtendedTextStyleCreateStoredData(style);
  AppPrefs->SetTypeValue("TerminalStyle", data);
  CFRelease(data);
  const UInt8 hilite[6] = {0x80, 0x00, 0x40, 0x00, 0x20, 0x00};
  CFDataRef hiliteData = CFDataCreate(nullptr, hilite, sizeof hilite);
  AppPrefs->SetTypeValue("TerminaHiliteColor", hiliteData);
  CFRelease(hiliteData);

  Open("style.php", "<?php\n");
  pane->PrintTerminal("Macro", CFSTR("coloured"));
  auto* terminal = dynamic_cast<TTerminalPane*>(pane->LowerPane());
  ASSERT_NE(terminal, nullptr);
  WEReference we = terminal->console->controller;
  RGBColor colour{};
  ASSERT_EQ(WEGetOneAttribute(2, 'colr', &colour, sizeof colour, we), noErr);
  EXPECT_EQ(colour.red, 0x1111);
  EXPECT_EQ(colour.blue, 0x3333);
  SInt16 font = 0;
  ASSERT_EQ(WEGetOneAttribute(2, 'font', &font, sizeof font, we), noErr);
  EXPECT_EQ(font, style.firstNumber);
  ATSURGBAlphaColor selection{};
  ASSERT_EQ(WEGetViewInfo('hili', &selection, sizeof selection, WEGetCurrentView(we)), noErr);
  EXPECT_NEAR(selection.red, 0.5, 0.01);
  EXPECT_NEAR(selection.alpha, 1.0, 0.001);
  for (const char* key : {"TerminalStyle", "TerminaHiliteColor"}) AppPrefs->RemoveValue(key);

  // Without a stored style: the terminal's own font.
  pane->CloseActivePane();
  Settle();
  pane->PrintTerminal("Macro", CFSTR("plain"));
  terminal = dynamic_cast<TTerminalPane*>(pane->LowerPane());
  ASSERT_NE(terminal, nullptr);
  Str255 andale = "Andale Mono";
  ASSERT_EQ(WEGetOneAttribute(2, 'font', &font, sizeof font, terminal->console->controller), noErr);
  EXPECT_EQ(font, FMGetFontFamilyFromName(andale.data()));
}

// --- Script runs --------------------------------------------------------------

TEST_F(EditorPaneTest, ScriptRunsReuseTheirErrorPaneAndRunnerWithArgumentsAfresh) {
  Open("check.pl", "print \"fine\\n\";\n", true);
  SetFileInfo({ArgumentData(true, "mode", "a b")});
  pane->RunScript(kScriptModeDebug);
  // Without errors the pane stays out of the split, but it is kept.
  EXPECT_EQ(pane->LowerPane(), nullptr);
  TScriptPane* errors = pane->errorPane;
  ASSERT_NE(errors, nullptr);
  ASSERT_NE(errors->script, nullptr);
  EXPECT_EQ(errors->text, WE());
  TScript* runner = errors->script;
  Record(runner);
  Drive(runner);
  EXPECT_EQ(std::count(runner->words.begin(), runner->words.end(), "mode=a b"), 1);

  SetFileInfo({ArgumentData(true, "mode", "c")});
  pane->RunScript(kScriptModeDebug);
  EXPECT_EQ(pane->errorPane, errors);
  EXPECT_EQ(errors->script, runner);
  Record(runner);
  Drive(runner);
  EXPECT_EQ(std::count(runner->words.begin(), runner->words.end(), "mode=c"), 1);
  EXPECT_EQ(std::count(runner->words.begin(), runner->words.end(), "mode=a b"), 0);

  // Errors put the pane under the editor; the next run finds it there.
  // The run saves the document first: the broken text is the editor's.
  const std::string broken = "print \"broken\\n\"\nprint;;; }\n";
  WESetSelection(0, WEGetTextLength(WE()), WE());
  WEPut(0, WEGetTextLength(WE()), broken.data(), broken.size(), kTextEncodingUTF8, 0, 0, nullptr, nullptr, WE());
  pane->RunScript(kScriptModeDebug);
  Record(runner);
  Drive(runner);
  EXPECT_EQ(pane->LowerPane(), errors);
  pane->RunScript(kScriptModeDebug);
  EXPECT_EQ(pane->LowerPane(), errors);
  EXPECT_EQ(errors->script, runner);
  Record(runner);
  Drive(runner);
}

// --- The lower pane -----------------------------------------------------------

TEST_F(EditorPaneTest, ClosingTheActivePaneRemovesTheLowerPaneOrTheOverlay) {
  Open("close.php", "<?php\n");
  // Nothing below the editor: nothing to close.
  EXPECT_EQ(pane->CloseActivePane(), eventNotHandledErr);

  pane->SearchDocument();
  ASSERT_NE(dynamic_cast<TFindPane*>(pane->LowerPane()), nullptr);
  EXPECT_EQ(pane->CloseActivePane(), eventNotHandledErr);
  EXPECT_EQ(pane->LowerPane(), nullptr);
  Settle();  // the split closes the pane once it has collapsed
  EXPECT_EQ(find->controller, nullptr);
  EXPECT_EQ(find->drawing, nullptr);
  // Selected again, the editor's drawing shows the results of a find all.
  pane->SelectViewObject();
  EXPECT_EQ(find->drawing, pane->findDrawing);

  pane->PrintTerminal("Macro", CFSTR("output line"));
  auto* terminal = dynamic_cast<TTerminalPane*>(pane->LowerPane());
  ASSERT_NE(terminal, nullptr);
  EXPECT_EQ(ToolbarGetItemText(terminal->toolbar, 1).str(), "Macro");
  EXPECT_EQ(TextOf(terminal->console->controller), "\routput line");
  // Printing again reuses the pane and replaces its text.
  pane->PrintTerminal("Other", CFSTR("second"));
  EXPECT_EQ(pane->LowerPane(), terminal);
  EXPECT_EQ(TextOf(terminal->console->controller), "\rsecond");
  EXPECT_EQ(pane->CloseActivePane(), eventNotHandledErr);
  EXPECT_EQ(pane->LowerPane(), nullptr);
  Settle();

  // An overlay shown in the pane's place goes, and the pane comes back.
  auto* overlay = new TPane();
  overlay->Create(kConsolePaneNibName, MainNib());
  overlay->Attach(window->window);
  pane->overlay = overlay;
  EXPECT_FALSE(pane->IsFindAvailable());
  EXPECT_EQ(pane->CloseActivePane(), noErr);
  EXPECT_EQ(pane->overlay, nullptr);
  EXPECT_TRUE(pane->IsFindAvailable());
  EXPECT_EQ(TWindowGetPane(window->window), pane);
  EXPECT_EQ(HIViewGetSuperview(pane->paneView), HIViewGetRoot(window->window));

  // A pane that closes leaves the find object nothing of its own.
  pane->SearchDocument();
  ASSERT_EQ(find->drawing, pane->findDrawing);
  pane->Close();
  EXPECT_EQ(find->drawing, nullptr);
  EXPECT_EQ(find->controller, nullptr);
}

// --- What the pane supports ---------------------------------------------------

TEST_F(EditorPaneTest, RunFTPAndPreviewAreSupportedAsTheDocumentAndProjectAllow) {
  auto& toolbar = *new TPropertyList();
  toolbar.Create();
  toolbar.SetBooleanValue(Str255("php/") + kEditorToolbarRunKey, true);
  toolbar.SetBooleanValue(Str255("html/") + kEditorToolbarRunKey, false);

  // The servers the program reads: "FTPServers" of the application preferences.
  FTPServerInfo known = NewFTPServerInfo();
  known.Name = "Main";
  known.Host = "ftp.example.test";
  CFDataRef data = CreateFTPServerData(known);
  CFArrayRef list = CFArrayCreate(nullptr, reinterpret_cast<const void**>(&data), 1, &kCFTypeArrayCallBacks);
  AppPrefs->SetTypeValue("FTPServers", list);
  CFRelease(list);
  CFRelease(data);

  struct Case {
    const char* name;     // empty: untitled
    bool inProject;
    const char* server;   // nil: no server in the file information
    bool run, ftp, preview;
  };
  const Case cases[] = {
      {"", false, nullptr, false, false, false},
      {"a.php", false, "Main", true, false, true},
      {"a.php", true, nullptr, true, false, true},
      {"a.php", true, "Elsewhere", true, false, true},
      {"a.php", true, "Main", true, true, true},
      {"b.html", true, "Main", false, true, true},
      {"c.txt", false, nullptr, false, false, true},
      {"d.pl", false, nullptr, true, false, true},  // a language the list does not name
  };
  TearDown();
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.name) + (c.inProject ? " in a project" : "") + (c.server ? c.server : ""));
    SetUp();
    AppResources->ToolbarPreferences = &toolbar;
    Open(c.name, "x\n", c.inProject);
    SetFileInfo({}, c.server);
    EXPECT_EQ(bool(pane->SupportsRun()), c.run);
    FTPServerInfo server = NewFTPServerInfo();
    EXPECT_EQ(bool(pane->SupportsFTP(&server)), c.ftp);
    EXPECT_EQ(bool(pane->SupportsFTP(nullptr)), c.ftp);
    if (c.ftp) {
      EXPECT_EQ(server.Host.str(), "ftp.example.test");
    }
    EXPECT_EQ(bool(pane->SupportsPreview()), c.preview);
    TearDown();
  }
  // A file that went away is no longer previewed.
  SetUp();
  Open("gone.php", "x\n");
  unlink(folder.File("gone.php").c_str());
  EXPECT_FALSE(pane->SupportsPreview());
  AppPrefs->RemoveValue("FTPServers");
  toolbar.Release();
}

TEST_F(EditorPaneTest, AnUntitledDocumentIsEditedAsPHP) {
  Open("", "");
  ASSERT_NE(pane->editor->CurrentLanguage(), nullptr);
  EXPECT_EQ(pane->editor->CurrentLanguage()->language.str(), "php");
}

TEST_F(EditorPaneTest, AMissingOrUnusableFontSizeGivesTheDefaultSize) {
  // A preferences file without the size left the text a pixel high.
  for (SInt32 stored : {0, -3, 1000, 15}) {
    if (stored == 0) AppPrefs->RemoveValue("StylesEditorFontSize");
    else AppPrefs->SetIntegerValue("StylesEditorFontSize", stored);
    Open("size.php", "<?php echo 1;\n");
    EXPECT_EQ(document->fontSize, stored == 15 ? 15 : kEditorDefaultFontSize) << stored;
  }
  AppPrefs->RemoveValue("StylesEditorFontSize");
}

TEST(EditorPaneCompletionDelay, ZeroLessOrNoNumberIsThreeTenths) {
  const std::pair<const char*, float> cases[] = {{"0", 0.3f},  {"x", 0.3f},   {"", 0.3f},     {"-1", 0.3f},
                                                 {"0.5", 0.5f}, {"2", 2.0f}, {"1.5s", 1.5f}, {"nan", 0.3f}};
  for (const auto& [text, delay] : cases) EXPECT_FLOAT_EQ(EditorPaneCompletionDelay(text), delay) << text;
}

// --- Find through the pane ------------------------------------------------------

TEST_F(EditorPaneTest, SearchDocumentBuildsTheFindPaneOnceAndFocusesIt) {
  Open("find.php", "alpha beta alpha gamma alpha\n");
  pane->SearchDocument();
  auto* findPane = dynamic_cast<TFindPane*>(pane->LowerPane());
  ASSERT_NE(findPane, nullptr);
  ControlRef focus = nullptr;
  GetKeyboardFocus(window->window, &focus);
  EXPECT_EQ(focus, findPane->findField);
  EXPECT_EQ(find->controller, findPane);
  EXPECT_EQ(find->drawing, pane->findDrawing);

  // Asked again: the same pane, focused again.
  SetKeyboardFocus(window->window, pane->editor->view->control, kControlFocusNextPart);
  pane->SearchDocument();
  EXPECT_EQ(pane->LowerPane(), findPane);
  GetKeyboardFocus(window->window, &focus);
  EXPECT_EQ(focus, findPane->findField);
}

TEST_F(EditorPaneTest, FindAndReplaceThroughThePanesFieldsAndButtons) {
  Open("replace.php", "alpha beta alpha gamma alpha\n");
  pane->SearchDocument();
  auto* findPane = dynamic_cast<TFindPane*>(pane->LowerPane());
  ASSERT_NE(findPane, nullptr);
  for (ControlRef box : {findPane->wholeWordsBox, findPane->ignoreCaseBox, findPane->wrapBox})
    SetControl32BitValue(box, 0);
  auto click = [&](OSType signature) {
    HIViewRef button = nullptr;
    HIViewFindByID(findPane->paneView, HIViewID{signature, kFindPaneButtonID}, &button);
    ASSERT_NE(button, nullptr);
    HIViewSimulateClick(button, kControlButtonPart, 0, nullptr);
  };
  HIViewSetText(findPane->findField, CFSTR("alpha"));
  HIViewSetText(findPane->replaceField, CFSTR("omega"));
  WESetSelection(0, 0, WE());
  click('FIND');
  EXPECT_EQ(Marked(WE()), "[alpha] beta alpha gamma alpha\r");
  // Replace takes the selected match, then the next one is found first.
  click('REPL');
  EXPECT_EQ(Marked(WE()), "[omega] beta alpha gamma alpha\r");
  WESetSelection(6, 6, WE());
  click('REPL');
  EXPECT_EQ(Marked(WE()), "omega beta [omega] gamma alpha\r");
  click('REPA');
  EXPECT_EQ(TextOf(WE()), "omega beta omega gamma omega\r");

  // Return in the find field finds, as the button does.
  HIViewSetText(findPane->findField, CFSTR("gamma"));
  WESetSelection(0, 0, WE());
  EventRef key = nullptr;
  CreateEvent(nullptr, kEventClassKeyboard, kEventRawKeyDown, 0, kEventAttributeNone, &key);
  UInt32 code = 36;
  SetEventParameter(key, kEventParamKeyCode, typeUInt32, sizeof code, &code);
  SendEventToEventTarget(key, GetControlEventTarget(findPane->findField));
  ReleaseEvent(key);
  EXPECT_EQ(Marked(WE()), "omega beta omega [gamma] omega\r");

  // Used strings are offered again, each once.
  EXPECT_EQ(HIComboBoxGetItemCount(findPane->findField), 2u);
  EXPECT_EQ(HIComboBoxGetItemCount(findPane->replaceField), 1u);

  // An empty find text is refused: a beep, nothing moves, nothing remembered.
  HIViewSetText(findPane->findField, CFSTR(""));
  const int beeps = HeadlessBeepCount();
  click('FIND');
  click('REPA');
  EXPECT_EQ(HeadlessBeepCount() - beeps, 2);
  EXPECT_EQ(Marked(WE()), "omega beta omega [gamma] omega\r");
  EXPECT_EQ(HIComboBoxGetItemCount(findPane->findField), 2u);
}

}  // namespace
