#include "TEditorPaneUnit.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>

#include "ApplicationFramework.h"
#include "ApplicationResources.h"
#include "CFArray.h"
#include "CFData.h"
#include "Dialogs.h"
#include "Icons.h"
#include "PascalCarbonCommon.h"
#include "PreferenceUtilities.h"
#include "QVGlobals.h"
#include "TConsoleUnit.h"
#include "TFindPaneUnit.h"
#include "TFindUnit.h"
#include "TFTPUnit.h"
#include "TPreferencesUnit.h"
#include "TPropertyListUnit.h"
#include "TQVEditorUnit.h"
#include "TSplitViewUnit.h"
#include "TSyntaxCollectionUnit.h"
#include "TSyntaxParserControllerUnit.h"
#include "TWASTEDocumentUnit.h"
#include "TWASTEViewUnit.h"
#include "TWindowUnit.h"
#include "fenwicket/Fenwicket.h"
#include "plinthora/Plinthora.h"

const char kEditorPaneNibName[] = "Editor Pane";
const char kEditorPaneSourceNibName[] = "Source Pane (Alt 1)";
const char kConsolePaneNibName[] = "Console Pane";
const char kEditorPaneNoRunMessage[] = "This document does not support being run from the command line.";
const char kEditorPaneNoTerminalMessage[] = "the document does not support being run from the command line";
const char kEditorToolbarRunKey[] = "com.brindlecote.toolbar.editor.run";

// The error panes' factories live beside the runners (TEditorPaneUnit+Runners.cpp).
TScriptPane* EditorPaneCreateLanguagePane(const Str63& language);
TScript* EditorPaneCreateTerminalScript(const Str63& language);

namespace {

EditorPaneHooks gHooks{};

constexpr OSType kProjectTag = 'PROJ';
constexpr OSType kFindObjectTag = 'QURY';
constexpr SInt16 kEditorWindowKind = 1;
constexpr OSType kSystemIconCreator = 'macs';
constexpr SInt16 kIconRefType = 6;
constexpr SInt16 kCGImageType = 7;

// The split positions and limits the lower panes are shown with.
constexpr SInt16 kLowerPanePosition = 132;
constexpr SInt16 kFindPanePosition = 92;
constexpr SInt16 kErrorPanePosition = 89;
constexpr CFRange kNoSplitLimit = {-1, 0};

TWindow* FrontWindowOfKind(SInt16 kind) { return FrontWindowObjectOfKind(kind); }

OSType ApplicationCreator() { return ApplicationSignature != 0 ? ApplicationSignature : OSType('QVRL'); }

// An icon of the application's (nil when it is not registered).
IconRef ApplicationIcon(OSType type, OSType creator) {
  IconRef icon = nullptr;
  if (GetIconRef(kOnSystemDisk, creator, type, &icon) != noErr) icon = nullptr;
  return icon;
}

// An RGB colour stored as three big-endian 16-bit components.
Boolean StoredColor(const Str255& key, RGBColor& color) {
  if (AppPrefs == nullptr) return false;
  CFTypeRef value = AppPrefs->GetTypeValue(key);
  Boolean read = false;
  if (value != nullptr && CFGetTypeID(value) == CFDataGetTypeID() && CFDataGetLength(CFDataRef(value)) == 6) {
    const UInt8* b = CFDataGetBytePtr(CFDataRef(value));
    color = RGBColor{UInt16(b[0] << 8 | b[1]), UInt16(b[2] << 8 | b[3]), UInt16(b[4] << 8 | b[5])};
    read = true;
  }
  if (value != nullptr) CFRelease(value);
  return read;
}

ATSURGBAlphaColor AlphaColor(const RGBColor& c) {
  return ATSURGBAlphaColor{float(c.red) / 65535.0f, float(c.green) / 65535.0f, float(c.blue) / 65535.0f, 1.0f};
}

// The file information of the document in the project (a new dictionary).
CFDictionaryRef CopyDocumentFileInfo(TProject* project, TDocument* document) {
  if (project == nullptr || document == nullptr || gHooks.CopyFileInfo == nullptr) return nullptr;
  return gHooks.CopyFileInfo(project, document->name);
}

// A Str63 field of a stored record; a length past the field is cut.
Str63 StoredString63(const UInt8* field) {
  const size_t length = std::min<size_t>(field[0], 63);
  return Str63(std::string_view(reinterpret_cast<const char*>(field + 1), length));
}

}  // namespace

void EditorPaneSetHooks(const EditorPaneHooks* hooks) { gHooks = hooks != nullptr ? *hooks : EditorPaneHooks{}; }
const EditorPaneHooks& EditorPaneGetHooks() { return gHooks; }

float EditorPaneCompletionDelay(const Str255& text) {
  const std::string s(text.view());
  char* end = nullptr;
  const double value = s.empty() ? 0 : std::strtod(s.c_str(), &end);
  // Text that is not a number reads as 0, as the number of nothing.
  if (end == s.c_str() || !(value > 0)) return 0.3f;
  return float(value);
}

// ---------------------------------------------------------------------------
// TEditorPane

TWindow* TEditorPane::OwnerWindow() { return GetWindowObject(GetWindow()); }

TFind* TEditorPane::WindowFind() {
  TWindow* window = OwnerWindow();
  if (window == nullptr || window->window == nullptr) return nullptr;
  void* value = nullptr;
  window->GetProperty(kFindObjectTag, value);
  return static_cast<TFind*>(value);
}

TPane* TEditorPane::LowerPane() { return split != nullptr ? split->GetPane(kEditorPaneLowerSide) : nullptr; }

Str63 TEditorPane::ScriptLanguage() {
  return document != nullptr ? GetSupportedScriptLanguage(document->name) : Str63();
}

void TEditorPane::Create(const Str63& name, IBNibRef nib) {
  TPane::Create(name, nib);
  SetClassString("TEditorPane");
  if (NibRef == nullptr) NibRef = nib;
  TWindow* window = OwnerWindow();
  WindowRef windowRef = window != nullptr ? window->window : GetWindow();
  editor = new TQVEditor();
  findDrawing = new TFindQueryDrawing();

  if (document != nullptr && AppPrefs != nullptr) {
    document->SetEncoding(UInt32(AppPrefs->GetIntegerValue("GeneralFileEncoding")));
    // A preferences file without the size (written by an older version, or
    // edited by hand) must not leave the text unreadably small.
    SInt32 size = AppPrefs->GetIntegerValue("StylesEditorFontSize");
    if (size <= 0 || size > 288) size = kEditorDefaultFontSize;
    document->SetFont(SInt16(AppPrefs->GetIntegerValue("StylesEditorFontFamily")), SInt16(size));
  }
  editor->find = WindowFind();
  editor->SetDocument(document);

  if (window != nullptr) {
    void* value = nullptr;
    window->GetProperty(kProjectTag, value);
    project = static_cast<TProject*>(value);
  }
  TFileSystem* fileSystem = AppResources != nullptr ? AppResources->FileSystem : nullptr;
  if (project != nullptr && gHooks.ProjectFileSystem != nullptr) fileSystem = gHooks.ProjectFileSystem(project);
  if (fileSystem != nullptr) editor->SetFileSystem(fileSystem);
  if (AppResources != nullptr && AppResources->CodeSense != nullptr) editor->SetCodeSense(AppResources->CodeSense);
  editor->SetOwner(window);

  SourceEditorOptions options = 0;
  if (AppPrefs != nullptr) {
    if (AppPrefs->GetBooleanValue("GeneralOptionCodeSense")) options |= SourceEditorOption(kSourceEditorCodeSense);
    if (AppPrefs->GetBooleanValue("GeneralSymbolCompletion"))
      options |= SourceEditorOption(kSourceEditorCodeCompletion);
    if (AppPrefs->GetBooleanValue("GeneralShowLineNumbers"))
      options |= SourceEditorOption(kSourceEditorGutter) | SourceEditorOption(kSourceEditorLineNumbers);
    if (AppPrefs->GetBooleanValue("GeneralOptionWrapLines")) options |= SourceEditorOption(kSourceEditorWrapLines);
    if (AppPrefs->GetBooleanValue("GeneralMultipleUndo")) options |= SourceEditorOption(kSourceEditorMultipleUndo);
  }
  editor->SetOptions(options);
  if (document == nullptr || !FSValidFSRef(document->file)) editor->SetSyntaxMode("php", false);

  editor->Create(kEditorPaneSourceNibName, nib);
  if (editor->view != nullptr) findDrawing->view = editor->view->control;

  if (AppPrefs != nullptr) {
    editor->SetCodeCompletionDelay(EditorPaneCompletionDelay(AppPrefs->GetStringValue("GeneralSymbolCompletionDelay")));
    const int tabWidth = std::atoi(std::string(AppPrefs->GetStringValue("StylesTabWidth").view()).c_str());
    if (tabWidth > 0) editor->SetTabWidth(SInt16(tabWidth));
  }
  // The theme: stored under its name, as a big-endian record.
  Boolean themed = false;
  SyntaxTheme theme{};
  if (AppPrefs != nullptr) {
    const Str255 key = Str255("StylesTheme.") + AppPrefs->GetStringValue("StylesTheme");
    CFTypeRef value = AppPrefs->GetTypeValue(key);
    if (value != nullptr && CFGetTypeID(value) == CFDataGetTypeID()) {
      theme = DecodeSyntaxTheme(CFDataGetBytePtr(CFDataRef(value)), CFDataGetLength(CFDataRef(value)));
      themed = true;
      if (WEReference we = editor->GetWE()) WESetTheme(theme, we);
    }
    if (value != nullptr) CFRelease(value);
  }

  if (windowRef != nullptr) editor->InstallCommandHandler(windowRef);
  editor->Load();
  // The file as it is read, so that a save notices another program's change.
  if (document != nullptr) document->diskStamp = FileStampOf(document->file);
  if (themed && editor->GetController() != nullptr) editor->GetController()->nilColor = theme.text;

  if (FTPDocument && document != nullptr) {
    // The tab keeps a borrowed image, so one image serves every pane.
    static CGImageRef networkImage = LoadPNGImage("Network_16x16.png", "Images/Application Images");
    SetAppearance(document->name, networkImage, kCGImageType);
  }
  // The placard lies in the editor's own interface window (or the window's).
  HIViewRef placard = editor->nibWindow != nullptr
                          ? HIViewFind(kEditorPanePlacardID, kEditorPanePlacardSignature, editor->nibWindow)
                          : nullptr;
  if (placard == nullptr && windowRef != nullptr)
    placard = HIViewFind(kEditorPanePlacardID, kEditorPanePlacardSignature, windowRef);
  if (placard != nullptr) HICustomButtonCreate(3, placard);
  if (document != nullptr) document->SetOwner(this);

  split = new TSplitView();
  split->secondPane = editor;
  HIViewRef splitControl = nullptr;
  if (paneView != nullptr) HIViewFindByID(paneView, HIViewID{kEditorPaneSplitSignature, kEditorPaneSplitID}, &splitControl);
  if (splitControl != nullptr) {
    split->Create(splitControl);
    split->SetVisible(kEditorPaneEditorSide);
  }

  if (editor->view != nullptr) {
    HIViewRef text = editor->view->control;
    const Boolean integrated =
        gHooks.IsIntegratedProjectWindow != nullptr && window != nullptr && gHooks.IsIntegratedProjectWindow(window);
    if (integrated) {
      WasteSetContentInset(text, CGRectMake(0, -1, -1, 0));
    } else {
      WasteSetContentInset(text, CGRectMake(0, 0, -1, 0));
      WasteSetScrollBarInset(text, CGRectMake(0, 0, 0, 2));
    }
  }
  editor->AddModeMenu();
  editor->AddMacroMenu();
}

void TEditorPane::Release() {
  Retire();
  // A running upload reports to this pane: it ends first.
  if (uploadStream != 0) TFTPStream::TerminateHandle(uploadStream);
  uploadStream = 0;
  // The owner may be gone already (a closing window): the window is found
  // from the one the pane went into, and only while its object lives.
  TWindow* window = destination != nullptr && IsValidWindowPtr(destination) ? GetWindowObject(destination) : nullptr;
  void* value = nullptr;
  if (window != nullptr) window->GetProperty(kFindObjectTag, value);
  if (auto* find = static_cast<TFind*>(value); find != nullptr && find->drawing == findDrawing)
    find->SetDrawing(nullptr);
  if (findDrawing != nullptr) findDrawing->Release();
  findDrawing = nullptr;
  if (errorPane != nullptr) errorPane->Release();
  errorPane = nullptr;
  TDocumentPane::Release();
}

void TEditorPane::Detach() {
  if (TFind* find = WindowFind(); find != nullptr && find->drawing == findDrawing) find->SetDrawing(nullptr);
  TDocumentPane::Detach();
}

void TEditorPane::SelectViewObject() {
  TDocumentPane::SelectViewObject();
  if (TFind* find = WindowFind()) {
    if (auto* pane = dynamic_cast<TFindPane*>(LowerPane())) find->SetController(pane);
    // The results of a find all are drawn over the editor shown now.
    find->SetDrawing(findDrawing);
  }
  if (editor != nullptr) editor->SelectViewObject();
}

TScriptPane* TEditorPane::CreateErrorPane() {
  const Str63 language = ScriptLanguage();
  if (language.empty()) return nullptr;
  if (gHooks.CreateScriptErrorPane != nullptr) return gHooks.CreateScriptErrorPane(language);
  return EditorPaneCreateLanguagePane(language);
}

void TEditorPane::RunScript(SInt16 mode) {
  auto* lower = dynamic_cast<TScriptPane*>(LowerPane());
  // The terminal's console is no error pane.
  if (dynamic_cast<TTerminalPane*>(lower) != nullptr) lower = nullptr;
  if (ScriptLanguage().empty()) {
    UserNotificationDialog(kEditorPaneNoRunMessage);
    return;
  }
  if (process != nullptr && process->Running()) process->Terminate();
  // A pane made by an earlier run whose errors never showed is that run's.
  if (lower == nullptr) lower = errorPane;
  if (lower == nullptr) {
    lower = CreateErrorPane();
    if (lower == nullptr) return;
    errorPane = lower;
  }
  if (split != nullptr) {
    if (kDevelopmentFeatureInlineErrors) {
      split->SetPosition(20);
      split->SetLimit(CFRangeMake(20, 20));
    } else {
      split->SetPosition(kErrorPanePosition);
      split->SetLimit(kNoSplitLimit);
    }
  }
  lower->text = editor != nullptr ? editor->GetWE() : nullptr;
  lower->PrepareDestination(GetWindow());
  if (lower->script == nullptr) return;
  lower->script->SetCallback(ScriptProcessNotification, this);
  lower->script->SetBlocking(false);
  if (project != nullptr) AppendArguments(document, project, lower->script);
  lower->script->Run(document, mode);
}

void TEditorPane::RunTerminal() {
  auto* lower = dynamic_cast<TTerminalPane*>(LowerPane());
  const Str63 language = ScriptLanguage();
  // No interpreter runs the document (html has no terminal runner either).
  TScript* fresh = lower == nullptr && !language.empty() ? EditorPaneCreateTerminalScript(language) : nullptr;
  if (language.empty() || (lower == nullptr && fresh == nullptr)) {
    UserNotificationDialog(kEditorPaneNoTerminalMessage);
    return;
  }
  if (process != nullptr && process->Running()) process->Terminate();
  if (lower == nullptr) {
    TWindow* front = FrontWindowOfKind(kEditorWindowKind);
    if (front == nullptr) front = OwnerWindow();
    auto* pane = new TTerminalPane();
    pane->SetOwner(front);
    pane->Create(kConsolePaneNibName, NibRef);
    TScript* script = fresh;
    script->SetPane(pane);
    script->SetCallback(ConsoleNotification, this);
    script->SetConsole(pane->console);
    OpenSplit(pane);
    lower = pane;
  }
  TScript* script = lower->script;
  if (script == nullptr) return;
  if (project != nullptr) AppendArguments(document, project, script);
  script->Run(document, kScriptModeRun);
  lower->SetTitle(script->interpreter);
  if (lower->toolbar != nullptr) ToolbarSetItemText(lower->toolbar, 1, script->interpreter);
}

void TEditorPane::SearchDocument() {
  if (auto* pane = dynamic_cast<TFindPane*>(LowerPane())) {
    if (pane->findField != nullptr) SetKeyboardFocus(GetWindow(), pane->findField, kControlFocusNextPart);
    return;
  }
  IBNibRef nib = AppResources != nullptr ? AppResources->FindNib : nullptr;
  if (nib == nullptr || split == nullptr) {
    SysBeep(1);
    return;
  }
  WindowRef window = GetWindow();
  auto* pane = new TFindPane();
  pane->SetCommandHandlerTarget(window);
  pane->SetOwner(this);
  pane->PrepareDestination(window);
  pane->Create(kFindPaneSplitNibName, nib);
  if (pane->paneView == nullptr) {
    pane->Release();
    SysBeep(1);
    return;
  }
  const struct {
    OSType signature;
    SInt32 id;
  } buttons[] = {{kFindPanePlacardSignature, 128},
                 {kFindPaneFindSignature, kFindPaneButtonID},
                 {kFindPaneReplaceSignature, kFindPaneButtonID},
                 {kFindPaneReplaceAllSignature, kFindPaneButtonID}};
  for (const auto& b : buttons) {
    HIViewRef view = nullptr;
    HIViewFindByID(pane->paneView, HIViewID{b.signature, b.id}, &view);
    if (view != nullptr) HICustomButtonCreate(2, view);
  }
  split->SetKind("external");
  split->SetLimit(kNoSplitLimit);
  split->SetPosition(kFindPanePosition);
  split->SetPane(kEditorPaneLowerSide, pane);
  split->SetVisible(0);
  if (TFind* find = WindowFind()) {
    find->SetController(pane);
    find->SetDrawing(findDrawing);
  }
  if (pane->findField != nullptr) SetKeyboardFocus(window, pane->findField, kControlFocusNextPart);
}

Boolean TEditorPane::SupportsRun() {
  if (document == nullptr) return false;
  const Str63 language = GetSupportedFileLanguage(document->name);
  if (language.empty()) return false;
  TPropertyList* toolbarPreferences = AppResources != nullptr ? AppResources->ToolbarPreferences : nullptr;
  if (toolbarPreferences == nullptr) return false;
  return toolbarPreferences->GetBooleanValue(Str255(language) + "/" + kEditorToolbarRunKey);
}

Boolean TEditorPane::SupportsFTP(FTPServerInfoPtr server) {
  CFDictionaryRef info = CopyDocumentFileInfo(project, document);
  if (info == nullptr) return false;
  Boolean found = false;
  CFTypeRef name = CFDictionaryGetValue(info, CFSTR("FileInfoServer"));
  if (name != nullptr && CFGetTypeID(name) == CFStringGetTypeID() && CFStringGetLength(CFStringRef(name)) > 0) {
    Str63 serverName;
    CFStringGetPascalString(CFStringRef(name), serverName.data(), 64, kCFStringEncodingMacRoman);
    FTPServerInfo record = NewFTPServerInfo();
    found = GetFTPServer(serverName, record);
    if (found && server != nullptr) *server = record;
  }
  CFRelease(info);
  return found;
}

Boolean TEditorPane::SupportsPreview() { return document != nullptr && FSRefExists(document->file); }

Boolean TEditorPane::IsFindAvailable() { return overlay == nullptr; }

void TEditorPane::PrintTerminal(const Str255& title, CFStringRef text) {
  auto* lower = dynamic_cast<TTerminalPane*>(LowerPane());
  if (lower == nullptr) {
    TWindow* front = FrontWindowOfKind(kEditorWindowKind);
    if (front == nullptr) front = OwnerWindow();
    lower = new TTerminalPane();
    lower->SetOwner(front);
    lower->Create(kConsolePaneNibName, NibRef);
    lower->SetTitle(title);
    if (lower->toolbar != nullptr) ToolbarSetItemText(lower->toolbar, 1, title);
    OpenSplit(lower);
  }
  if (lower->console != nullptr) {
    lower->console->Clear();
    if (text != nullptr) lower->console->WriteLn(text);
  }
}

void TEditorPane::ShowMacroErrors(const Str255& text, CFStringRef data) {
  TPane* lower = LowerPane();
  if (lower != nullptr && gHooks.IsMacroErrorPane != nullptr && gHooks.IsMacroErrorPane(lower)) {
    // The list shows the new errors under the command's title.
    if (gHooks.SetMacroErrorText != nullptr) gHooks.SetMacroErrorText(lower, text, data);
    return;
  }
  TPane* pane = gHooks.CreateMacroErrorPane != nullptr ? gHooks.CreateMacroErrorPane(text, data, editor) : nullptr;
  if (pane != nullptr) OpenSplit(pane);
}

void TEditorPane::ShowHideProcessStatus(TProcessUtils* inProcess) {
  ControlRef toolbar = editor != nullptr ? editor->toolbar : nullptr;
  if (inProcess != nullptr) {
    process = inProcess;
    // One button however many runs report a start.
    if (abortItem == 0 && toolbar != nullptr)
      abortItem = ToolbarAddButton(toolbar, "Abort", ApplicationIcon(kEditorPaneAbortIconType, ApplicationCreator()),
                                   kIconRefType, nullptr, kHICommandAbortProcess,
                                   ToolbarOption(kToolbarItemDefaultOptions), nullptr);
    return;
  }
  process = nullptr;
  if (abortItem != 0 && toolbar != nullptr) ToolbarRemoveItem(toolbar, abortItem);
  abortItem = 0;
}

SInt32 TEditorPane::CloseActivePane() {
  SInt32 status = eventNotHandledErr;
  if (overlay != nullptr && overlay->paneView != nullptr && HIViewGetSuperview(overlay->paneView) != nullptr) {
    TPane* shown = overlay;
    overlay = nullptr;
    TWindow* window = OwnerWindow();
    // This pane goes back first, so the tab never shows a disposed view.
    if (tabs != nullptr && CurrentTabIndex() > 0)
      SwapPane(this);
    else if (window != nullptr && window->window != nullptr)
      Attach(window->window);
    shown->Close();
    if (document != nullptr) SetAppearance(document->name, nullptr, 0);
    Select();
    if (window != nullptr) {
      window->UpdateToolbarStatus();
      if (gHooks.UpdateSidePane != nullptr) gHooks.UpdateSidePane(window);
    }
    return noErr;
  }
  TPane* lower = LowerPane();
  if (lower == nullptr || split == nullptr) return status;
  if (auto* scriptPane = dynamic_cast<TScriptPane*>(lower)) {
    if (scriptPane->script != nullptr) scriptPane->script->Terminate();
    split->RemovePane(kEditorPaneLowerSide);
  } else if (dynamic_cast<TFindPane*>(lower) != nullptr ||
             (gHooks.IsMacroErrorPane != nullptr && gHooks.IsMacroErrorPane(lower))) {
    split->RemovePane(kEditorPaneLowerSide);
  }
  return status;
}

void TEditorPane::OpenSplit(TPane* pane) {
  if (split == nullptr) return;
  RestoreSplitView();
  split->SetPosition(kLowerPanePosition);
  split->SetLimit(kNoSplitLimit);
  split->SetPane(kEditorPaneLowerSide, pane);
  split->SetVisible(0);
}

void TEditorPane::RestoreSplitView() {
  if (split != nullptr) split->SetKind("metal");
}

// ---------------------------------------------------------------------------
// The notifications of the pane's runs

void ConsoleNotification(SInt16 code, TScript* script, void* data) {
  auto* pane = static_cast<TEditorPane*>(data);
  if (pane == nullptr) return;
  if (code == kScriptProcessStarted) {
    pane->ShowHideProcessStatus(script->process);
  } else if (code == kScriptProcessFinished) {
    // The end of a run the button no longer stands for leaves it.
    if (pane->process == nullptr || script->process == nullptr || pane->process == script->process)
      pane->ShowHideProcessStatus(nullptr);
  }
}

void ScriptProcessNotification(SInt16 code, TScript* script, void* data) {
  auto* pane = static_cast<TEditorPane*>(data);
  if (pane == nullptr) return;
  switch (code) {
    case kScriptProcessStarted:
    case kScriptProcessFinished:
      ConsoleNotification(code, script, data);
      break;
    case kScriptProcessPreview: {
      const FTPServerInfo server{};  // all zero: no server
      pane->PreviewDocument("Precompiled",
                            AppPrefs != nullptr && AppPrefs->GetBooleanValue("GeneralUsePreviewApplication"), nullptr,
                            server);
      break;
    }
    case kScriptProcessErrors:
      // The errors take the place of whatever is below the text (a
      // terminal, a find pane): they answer what was just asked for.
      if (pane->split != nullptr && script->pane != nullptr && pane->LowerPane() != script->pane) {
        pane->RestoreSplitView();
        pane->split->SetPane(kEditorPaneLowerSide, script->pane);
        pane->split->SetVisible(0);
        if (pane->errorPane == script->pane) pane->errorPane = nullptr;
      }
      break;
  }
}

void AppendArguments(TDocument* document, TProject* project, TScript* script) {
  if (script == nullptr) return;
  CFDictionaryRef info = CopyDocumentFileInfo(project, document);
  if (info == nullptr) return;
  CFTypeRef value = CFDictionaryGetValue(info, CFSTR("FileInfoArguments"));
  if (value != nullptr && CFGetTypeID(value) == CFArrayGetTypeID()) {
    CFArrayRef list = CFArrayRef(value);
    for (CFIndex i = 0; i < CFArrayGetCount(list); ++i) {
      CFTypeRef item = CFArrayGetValueAtIndex(list, i);
      if (item == nullptr || CFGetTypeID(item) != CFDataGetTypeID() ||
          CFDataGetLength(CFDataRef(item)) != CFIndex(sizeof(ScriptArgumentInfo)))
        continue;
      const UInt8* record = CFDataGetBytePtr(CFDataRef(item));
      if (record[0] == 0) continue;
      // One element "name=value" whatever the two hold, quotes and blanks too.
      const Str63 name = StoredString63(record + 1);
      const Str63 val = StoredString63(record + 1 + 64);
      const std::string word = UTF8FromShortString(Str255(name)) + "=" + UTF8FromShortString(Str255(val));
      script->AppendArgumentWord(Str255("\"") + name + "=" + val + "\"", word);
    }
  }
  CFRelease(info);
}

// ---------------------------------------------------------------------------
// TTerminalPane

void TTerminalPane::Create(const Str63& name, IBNibRef nib) {
  TConsolePane::Create(name, nib);
  SetClassString("TTerminalPane");
  if (paneView != nullptr)
    HIViewFindByID(paneView, HIViewID{kTerminalPaneToolbarSignature, kTerminalPaneToolbarID}, &toolbar);
  if (toolbar != nullptr) {
    ToolbarSetOptions(toolbar, ToolbarOption(kToolbarOptionHideSeparators));
    ToolbarAddButton(toolbar, "", nullptr, 0, nullptr, 0, ToolbarOption(kToolbarItemDefaultOptions), nullptr);
    ToolbarAddButton(toolbar, "", ApplicationIcon(kTerminalPaneCloseIconType, kSystemIconCreator), kIconRefType,
                     nullptr, kHICommandClosePane, ToolbarOption(kToolbarItemAnchoredRight), nullptr);
  }
  if (console == nullptr) return;
  HIViewRef text = console->control;
  WEReference we = console->controller;

  ExtendedTextStyle style{};
  Boolean styled = false;
  if (AppPrefs != nullptr) {
    CFTypeRef value = AppPrefs->GetTypeValue("TerminalStyle");
    if (value != nullptr && CFGetTypeID(value) == CFDataGetTypeID())
      styled = ExtendedTextStyleFromStoredBytes(CFDataGetBytePtr(CFDataRef(value)), CFDataGetLength(CFDataRef(value)),
                                                style);
    if (value != nullptr) CFRelease(value);
  }
  Str255 fontName;
  SInt16 fontSize = 12;
  if (styled) {
    CGRGB background{};
    CGConvertRGBColorToCGRGB(style.secondColor, 1.0f, background);
    WasteSetBackgroundColor(text, background);
    if (FMGetFontFamilyName(FMFontFamily(style.firstNumber), fontName.data())) fontSize = style.secondNumber;
  }
  if (fontName.empty()) {
    fontName = "Andale Mono";
    fontSize = 12;
  }
  console->SetStyle(fontName, fontSize);
  if (styled && we != nullptr) WESetOneAttribute(0, WEGetTextLength(we), 'colr', &style.textColor, sizeof(RGBColor), we);

  if (WEViewReference view = we != nullptr ? WEGetCurrentView(we) : nullptr) {
    RGBColor color{};
    if (StoredColor("TerminaHiliteColor", color)) {
      const ATSURGBAlphaColor hilite = AlphaColor(color);
      WESetViewInfo('hili', &hilite, sizeof hilite, view);
      WESetViewInfo('inhi', &hilite, sizeof hilite, view);
    }
    if (StoredColor("TerminalCursorColor", color)) {
      const ATSURGBAlphaColor caret = AlphaColor(color);
      WESetViewInfo('cart', &caret, sizeof caret, view);
    }
  }
  WasteSetContentInset(text, CGRectMake(-1, -1, -1, -1));
}
