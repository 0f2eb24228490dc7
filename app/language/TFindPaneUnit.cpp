#include "TFindPaneUnit.h"

#include <string>

#include "ApplicationFramework.h"
#include "CFArray.h"
#include "Dialogs.h"
#include "HIView.h"
#include "PascalCarbonCommon.h"
#include "THIQueryViewUnit.h"
#include "TPreferencesUnit.h"
#include "WASTE.h"
#include "plinthora/Plinthora.h"

const char kFindWindowNibName[] = "Find Window";
const char kFindPaneFullNibName[] = "Find Pane (Full)";
const char kFindPaneNibName[] = "Find Pane";
const char kFindPaneSplitNibName[] = "Find Pane (Split)";

namespace {

constexpr OSType kFindObjectTag = 'QURY';
constexpr SInt16 kEditorWindowKind = 1;
constexpr UInt32 kReturnKeyCode = 36;

const char kFindWholeWordsKey[] = "FindWholeWords";
const char kFindIgnoreCaseKey[] = "FindIgnoreCase";
const char kFindFileWrapKey[] = "FindFileWrap";
const char kFindRecentFindKey[] = "FindRecentFindStrings";
const char kFindRecentReplaceKey[] = "FindRecentReplaceStrings";
const char kFindCurrentKey[] = "FindCurrentString";
const char kFindCurrentReplaceKey[] = "FindCurrentReplaceString";

FindFrontEditorWindowProc gFrontEditorWindow = nullptr;

HIViewRef FindView(HIViewRef root, OSType signature, SInt32 id) {
  HIViewRef view = nullptr;
  if (root != nullptr) HIViewFindByID(root, HIViewID{signature, id}, &view);
  return view;
}

// A field's text as UTF-8, cut at 255 bytes without splitting a character.
Str255 FieldText(ControlRef field) {
  if (field == nullptr) return Str255();
  CFStringRef text = HIViewCopyText(field);
  if (text == nullptr) return Str255();
  std::string bytes(size_t(CFStringGetMaximumSizeForEncoding(CFStringGetLength(text), kCFStringEncodingUTF8)) + 1,
                    '\0');
  if (!CFStringGetCString(text, bytes.data(), CFIndex(bytes.size()), kCFStringEncodingUTF8)) bytes.clear();
  bytes.resize(std::char_traits<char>::length(bytes.c_str()));
  CFRelease(text);
  if (bytes.size() > 255) {
    size_t cut = 255;
    while (cut > 0 && (UInt8(bytes[cut]) & 0xC0) == 0x80) --cut;
    bytes.resize(cut);
  }
  return Str255(std::string_view(bytes));
}

CFStringRef CreateUTF8String(const Str255& text) {
  const std::string_view bytes = text.view();
  return CFStringCreateWithBytes(nullptr, reinterpret_cast<const UInt8*>(bytes.data()), CFIndex(bytes.size()),
                                 kCFStringEncodingUTF8, false);
}

Boolean Checked(ControlRef box) { return box != nullptr && GetControl32BitValue(box) != 0; }

void SetChecked(ControlRef box, const char* key) {
  if (box != nullptr && AppPrefs != nullptr) SetControl32BitValue(box, AppPrefs->GetBooleanValue(key) ? 1 : 0);
}

void SaveChecked(ControlRef box, const char* key) {
  if (box != nullptr && AppPrefs != nullptr) AppPrefs->SetBooleanValue(key, Checked(box));
}

// The stored recent strings as the combo box offers them: the 25 most recent.
void FillRecentList(ControlRef field, const char* key) {
  if (field == nullptr) return;
  CFArrayRef stored = nullptr;
  if (AppPrefs != nullptr) {
    CFTypeRef value = AppPrefs->GetTypeValue(key);
    if (value != nullptr && CFGetTypeID(value) == CFArrayGetTypeID())
      stored = CFArrayRef(value);
    else if (value != nullptr)
      CFRelease(value);
  }
  CFArrayRef list = FindCopyRecentStrings(stored);
  SetControlData(field, 0, kHIComboBoxListTag, sizeof list, &list);
  CFRelease(list);
  if (stored != nullptr) CFRelease(stored);
}

// The current string of the field from the preferences, any character kept.
void FillCurrentString(ControlRef field, const char* key) {
  if (field == nullptr || AppPrefs == nullptr) return;
  CFTypeRef value = AppPrefs->GetTypeValue(key);
  if (value != nullptr && CFGetTypeID(value) == CFStringGetTypeID()) HIViewSetText(field, CFStringRef(value));
  if (value != nullptr) CFRelease(value);
}

void SaveCurrentString(ControlRef field, const char* key) {
  if (field == nullptr || AppPrefs == nullptr) return;
  CFStringRef text = HIViewCopyText(field);
  if (text == nullptr) text = CFStringCreateWithCString(nullptr, "", kCFStringEncodingUTF8);
  AppPrefs->SetTypeValue(key, text);
  CFRelease(text);
}

// Adds a used text to the recent strings (keeping the 25 most recent) and to
// the field's list when it is new there.
void RememberString(ControlRef field, const char* key, const Str255& text) {
  CFStringRef string = CreateUTF8String(text);
  if (string == nullptr) return;
  if (CFStringGetLength(string) > 0) {
    if (AppPrefs != nullptr) {
      CFTypeRef value = AppPrefs->GetTypeValue(key);
      CFArrayRef stored = value != nullptr && CFGetTypeID(value) == CFArrayGetTypeID() ? CFArrayRef(value) : nullptr;
      CFArrayRef updated = FindCopyAddingRecentString(stored, string);
      AppPrefs->SetTypeValue(key, updated);
      CFRelease(updated);
      if (value != nullptr) CFRelease(value);
    }
    if (field != nullptr) {
      Boolean known = false;
      const ItemCount count = HIComboBoxGetItemCount(field);
      for (CFIndex i = 0; i < CFIndex(count) && !known; ++i) {
        CFStringRef item = nullptr;
        if (HIComboBoxCopyTextItemAtIndex(field, i, &item) == noErr && item != nullptr) {
          known = CFStringCompare(item, string, 0) == kCFCompareEqualTo;
          CFRelease(item);
        }
      }
      if (!known) {
        HIComboBoxAppendTextItem(field, string, nullptr);
        while (CFIndex(HIComboBoxGetItemCount(field)) > kFindRecentStringLimit) HIComboBoxRemoveItemAtIndex(field, 0);
      }
    }
  }
  CFRelease(string);
}

// --- The engine's hooks -----------------------------------------------------

FindOptions HookGetUserSettings(TFindPane* pane) { return pane->GetUserSettings(); }
THIQueryView* HookGetQueryView(TFindPane* pane) { return pane->queryView; }

}  // namespace

TWindow* FrontWindowObjectOfKind(SInt16 kind) {
  for (WindowRef w = GetWindowList(); w != nullptr; w = GetNextWindow(w))
    if (IsWindowVisible(w) && GetWindowKind(w) == kind)
      if (TWindow* window = GetWindowObject(w)) return window;
  return nullptr;
}

void FindPaneSetFrontEditorWindow(FindFrontEditorWindowProc proc) { gFrontEditorWindow = proc; }

TWindow* FindFrontEditorWindow() {
  if (gFrontEditorWindow != nullptr) return gFrontEditorWindow();
  return FrontWindowObjectOfKind(kEditorWindowKind);
}

TFind* FindObjectOfWindow(TWindow* window) {
  if (window == nullptr || window->window == nullptr) return nullptr;
  void* value = nullptr;
  window->GetProperty(kFindObjectTag, value);
  return static_cast<TFind*>(value);
}

void InstallFindPaneHooks() {
  static const FindPaneHooks hooks = {HookGetUserSettings, ActiveFindWindowPane, HookGetQueryView,
                                      FindFrontEditorWindow};
  FindSetPaneHooks(&hooks);
  InstallFindEditorHooks();
}

// ---------------------------------------------------------------------------
// TFindPane

void TFindPane::Create(const Str63& name, IBNibRef nib) {
  TPane::Create(name, nib);
  SetClassString("TFindPane");
  findField = FindView(paneView, kFindPaneFindSignature, kFindPaneFieldID);
  replaceField = FindView(paneView, kFindPaneReplaceSignature, kFindPaneFieldID);
  wholeWordsBox = FindView(paneView, kFindPaneOptionSignature, 128);
  ignoreCaseBox = FindView(paneView, kFindPaneOptionSignature, 129);
  wrapBox = FindView(paneView, kFindPaneOptionSignature, 130);
  if (HIViewRef strip = FindView(paneView, kFindPaneQuerySignature, 128))
    queryView = dynamic_cast<THIQueryView*>(HIViewGetObjectRef(strip));
  if (name == Str63(kFindPaneNibName)) {
    // The embedded layout draws its buttons itself.
    const struct {
      OSType signature;
      SInt32 id;
      SInt16 kind;
    } buttons[] = {{kFindPanePlacardSignature, 128, 2}, {kFindPaneFindSignature, kFindPaneButtonID, 1},
                   {kFindPaneReplaceSignature, kFindPaneButtonID, 1}, {kFindPaneReplaceAllSignature, kFindPaneButtonID, 1},
                   {kFindPaneOptionSignature, 128, 2}, {kFindPaneOptionSignature, 129, 2}};
    for (const auto& b : buttons)
      if (HIViewRef view = FindView(paneView, b.signature, b.id)) HICustomButtonCreate(b.kind, view);
  }
  SetChecked(wholeWordsBox, kFindWholeWordsKey);
  SetChecked(ignoreCaseBox, kFindIgnoreCaseKey);
  SetChecked(wrapBox, kFindFileWrapKey);
  FillRecentList(findField, kFindRecentFindKey);
  FillRecentList(replaceField, kFindRecentReplaceKey);
  FillCurrentString(findField, kFindCurrentKey);
  FillCurrentString(replaceField, kFindCurrentReplaceKey);
  if (findField != nullptr) {
    keyHandler = new TFindButtonHandler();
    keyHandler->Install(GetControlEventTarget(findField));
    keyHandler->AppendEvent(kEventClassKeyboard, kEventRawKeyDown);
  }
}

FindOptions TFindPane::GetUserSettings() {
  FindOptions options;
  options.findText = FieldText(findField);
  options.replaceText = FieldText(replaceField);
  if (Checked(wholeWordsBox)) options.flags |= weFindWholeWords;
  if (Checked(ignoreCaseBox)) options.flags |= weFindCaseInsensitive;
  options.wrap = Checked(wrapBox);
  return options;
}

TFind* TFindPane::FrontFind() { return FindObjectOfWindow(FindFrontEditorWindow()); }

TFind* TFindPane::OwnFind() {
  // The owner may be gone already (a closing window): the window is the one
  // the pane's view went into, and only while its object lives.
  TWindow* window = destination != nullptr && IsValidWindowPtr(destination) ? GetWindowObject(destination) : nullptr;
  if (TFind* find = FindObjectOfWindow(window)) return find;
  return FrontFind();
}

namespace {

// The front editor window's find object, given the window's text document
// and the pane's settings; nil (with a beep) without one.
TFind* PrepareFind(TFindPane* pane) {
  TWindow* window = FindFrontEditorWindow();
  TFind* find = FindObjectOfWindow(window);
  if (find == nullptr) {
    SysBeep(1);
    return nullptr;
  }
  find->GetQueryDocument(window);
  find->SetOptions(pane->GetUserSettings());
  return find;
}

}  // namespace

void TFindPane::Find(Boolean all) {
  TFind* find = PrepareFind(this);
  if (find == nullptr) return;
  const Str255 text = find->options.findText;
  if (all) {
    if (find->instance != nullptr) WESetSelection(0, 0, find->instance);
    CFArrayRef list = find->FindAll(text);
    if (list != nullptr && find->drawing != nullptr)
      find->drawing->SetResults(list);
    else if (list != nullptr)
      CFRelease(list);
  } else {
    find->Find(text);
  }
  RememberString(findField, kFindRecentFindKey, text);
}

void TFindPane::Replace(Boolean all) {
  TFind* find = PrepareFind(this);
  if (find == nullptr) return;
  const Str255 findText = find->options.findText;
  const Str255 replaceText = find->options.replaceText;
  if (all) {
    find->ReplaceAll(findText, replaceText, false);
  } else {
    SInt32 start = 0, end = 0;
    if (find->instance != nullptr) WEGetSelection(&start, &end, find->instance);
    if (start == end) find->Find(findText);
    find->Replace(replaceText);
  }
  RememberString(replaceField, kFindRecentReplaceKey, replaceText);
}

void TFindPane::SelectRange(CFRange range) {
  TFind* find = FrontFind();
  if (find == nullptr) return;
  if (find->drawing != nullptr && queryView != nullptr) find->drawing->SetSelected(queryView->GetActiveItem() - 1);
  if (find->instance != nullptr) WESetSelection(SInt32(range.location), SInt32(range.location), find->instance);
}

void TFindPane::ProcessCommand(const HICommand& command, EventRef event, SInt32& result) {
  TPane::ProcessCommand(command, event, result);
  if (result == noErr || paneView == nullptr || !HIViewIsVisible(paneView)) return;
  switch (command.commandID) {
    case kHICommandFindPaneFind:
      Find(kDeploymentVersionMajor == 2 && kDeploymentVersionMinor == 1);
      break;
    case kHICommandFindPaneReplace:
      Replace(false);
      break;
    case kHICommandFindPaneReplaceAll:
      Replace(true);
      break;
    case kHICommandFindPaneQueryBack:
    case kHICommandFindPaneQueryForward:
      // The strip has stepped already; its current result is the one to show.
      if (queryView == nullptr) return;
      SelectRange(queryView->GetActiveRange());
      break;
    default:
      return;
  }
  result = noErr;
}

void TFindPane::Close() {
  TFind* find = OwnFind();
  if (find != nullptr && find->drawing != nullptr) find->drawing->Clear();
  // Another pane that drives the find object keeps it.
  if (find != nullptr && find->controller != nullptr && find->controller != this) find = nullptr;
  SaveChecked(wholeWordsBox, kFindWholeWordsKey);
  SaveChecked(ignoreCaseBox, kFindIgnoreCaseKey);
  SaveChecked(wrapBox, kFindFileWrapKey);
  SaveCurrentString(findField, kFindCurrentKey);
  SaveCurrentString(replaceField, kFindCurrentReplaceKey);
  // Closing ends the object with its view.
  TPane::Close();
  if (find != nullptr) {
    find->SetController(nullptr);
    find->SetDrawing(nullptr);
  }
}

void TFindPane::Release() {
  if (keyHandler != nullptr) keyHandler->Release();
  keyHandler = nullptr;
  // A find object must not lead back to a pane that is gone.
  if (TFind* find = OwnFind(); find != nullptr && find->controller == this) find->SetController(nullptr);
  TPane::Release();
}

// ---------------------------------------------------------------------------
// TFindButtonHandler

void TFindButtonHandler::HandleEvent(EventRef event, UInt32 eventClass, UInt32 eventKind, SInt32& result) {
  if (eventClass != kEventClassKeyboard || eventKind != kEventRawKeyDown) return;
  UInt32 keyCode = 0;
  GetEventParameter(event, kEventParamKeyCode, typeUInt32, nullptr, sizeof keyCode, nullptr, &keyCode);
  if (keyCode != kReturnKeyCode) return;
  WindowRef active = ActiveNonFloatingWindow();
  if (active == nullptr) active = FrontNonFloatingWindow();
  if (active != nullptr) SendHICommand(GetWindowEventTarget(active), kHICommandFindPaneFind);
  result = noErr;
}

// ---------------------------------------------------------------------------
// The find window

void TFindWindow::Close(SInt32& status) {
  if (window != nullptr) {
    if (auto* pane = dynamic_cast<TFindPane*>(TWindowGetPane(window))) pane->Close();
  }
  TWindow::Close(status);
}

TFindPane* ActiveFindWindowPane() {
  TWindow* window = FrontWindowObjectOfKind(kFindWindowKind);
  if (window == nullptr || window->window == nullptr) return nullptr;
  return dynamic_cast<TFindPane*>(TWindowGetPane(window->window));
}

TFindPane* OpenFindWindow(IBNibRef nib) {
  if (TWindow* open = FrontWindowObjectOfKind(kFindWindowKind); open != nullptr && open->window != nullptr) {
    SelectWindow(open->window);
    if (auto* pane = dynamic_cast<TFindPane*>(TWindowGetPane(open->window)); pane != nullptr && pane->findField)
      SetKeyboardFocus(open->window, pane->findField, kControlFocusNextPart);
    return nullptr;
  }
  auto* window = new TFindWindow();
  window->SetPreferences(AppPrefs);
  window->SetPreferenceKey("Find");
  window->Create(kFindWindowNibName, nib);
  if (window->window == nullptr) {
    window->Release();
    return nullptr;
  }
  SetWindowKind(window->window, kFindWindowKind);
  auto* pane = new TFindPane();
  pane->Create(kFindPaneFullNibName, nib);
  if (pane->paneView == nullptr) {
    pane->Release();
    SInt32 status = 0;
    window->Close(status);
    return nullptr;
  }
  pane->InstallCommandHandler(window->window);
  pane->Attach(window->window);
  window->Show();
  return pane;
}
