// The macro error list: the rows of a command's error text, the pane under
// the editor that shows them, and what choosing a row does.
#include <cstdlib>
#include <cstring>
#include <string>

#include "ApplicationFramework.h"
#include "HIView.h"
#include "Icons.h"
#include "MacMemory.h"
#include "PascalCarbonCommon.h"
#include "TApplicationUnit.h"
#include "TEditorTabsUnit.h"
#include "TMacroEditorUnit.h"
#include "TQVEditorUnit.h"
#include "TWASTEDocumentUnit.h"
#include "brackenrow/Brackenrow.h"
#include "plinthora/Plinthora.h"

namespace {

constexpr OSType kSystemCreator = 'macs';
constexpr SInt16 kIconRefKind = 6;
const char kSelfFile[] = "self";

// Up to 255 characters of the text as Mac Roman, a character it lacks
// becoming "?": a message is read, not matched.
Str255 ShortOf(const std::u16string& text) {
  CFStringRef string = CFStringCreateWithCharacters(nullptr, reinterpret_cast<const UniChar*>(text.data()),
                                                    CFIndex(text.size()));
  if (string == nullptr) return Str255();
  UInt8 bytes[255];
  CFIndex used = 0;
  CFStringGetBytes(string, CFRangeMake(0, std::min<CFIndex>(255, CFStringGetLength(string))), kCFStringEncodingMacRoman,
                   '?', false, bytes, sizeof bytes, &used);
  CFRelease(string);
  return Str255::FromBytes(bytes, size_t(used));
}

SInt32 NumberOf(const std::u16string& text) {
  std::string digits;
  for (char16_t c : text) digits += c < 128 ? char(c) : ' ';
  const long value = std::strtol(digits.c_str(), nullptr, 10);
  return SInt32(std::max<long>(std::min<long>(value, 0x7FFFFFFF), -0x7FFFFFFF));
}

CFStringRef NewString(const Str255& text) {
  return CFStringCreateWithPascalString(nullptr, text.data(), kCFStringEncodingMacRoman);
}

ControlRef FindView(HIViewRef root, OSType signature) {
  HIViewRef view = nullptr;
  if (root != nullptr) HIViewFindByID(root, HIViewID{signature, kMacroErrorViewID}, &view);
  return view;
}

IconRef Icon(OSType creator, OSType type) {
  IconRef icon = nullptr;
  if (GetIconRef(kOnSystemDisk, creator, type, &icon) != noErr) icon = nullptr;
  return icon;
}

}  // namespace

std::vector<MacroErrorData> ParseMacroErrors(CFStringRef text) {
  std::vector<MacroErrorData> rows;
  if (text == nullptr) return rows;
  std::u16string characters(size_t(CFStringGetLength(text)), u'\0');
  CFStringGetCharacters(text, CFRangeMake(0, CFIndex(characters.size())), reinterpret_cast<UniChar*>(characters.data()));
  size_t start = 0;
  while (start < characters.size()) {
    size_t end = characters.find(u'\n', start);
    if (end == std::u16string::npos) end = characters.size();
    std::u16string line = characters.substr(start, end - start);
    start = end + 1;
    // A line written with CR LF ends the same.
    if (!line.empty() && line.back() == u'\r') line.pop_back();
    std::vector<std::u16string> parts;
    for (size_t from = 0;;) {
      const size_t bar = line.find(u'|', from);
      parts.push_back(line.substr(from, bar == std::u16string::npos ? std::u16string::npos : bar - from));
      if (bar == std::u16string::npos) break;
      from = bar + 1;
    }
    if (parts.size() < 2) continue;
    MacroErrorData row{};
    row.message = ShortOf(parts[0]);
    row.line = NumberOf(parts[1]);
    if (parts.size() > 2) row.column = SInt16(std::max<SInt32>(std::min<SInt32>(NumberOf(parts[2]), 32767), -32767));
    if (parts.size() > 3) row.file = ShortOf(parts[3]);
    rows.push_back(row);
  }
  return rows;
}

// ---------------------------------------------------------------------------
// The browser

void TMacroErrorBrowser::SetText(CFStringRef newText) {
  CFStringRef old = text;
  text = newText != nullptr ? CFStringCreateCopy(nullptr, newText) : nullptr;
  if (old != nullptr) CFRelease(old);
}

void TMacroErrorBrowser::Populate() {
  Clear();
  for (const MacroErrorData& error : ParseMacroErrors(text)) {
    Ptr block = NewPtrClear(sizeof(MacroErrorData));
    if (block == nullptr) break;
    std::memcpy(block, &error, sizeof error);
    NewItem(block, SInt32(sizeof(MacroErrorData)), kMacroErrorRowType, 0);
  }
}

void TMacroErrorBrowser::DrawItem(void* data, UInt32 dataType, Boolean container, DataBrowserItemID item,
                                  DataBrowserPropertyID property, DataBrowserItemState state, CGRect bounds,
                                  CGContextRef context) {
  if (data == nullptr || dataType != kMacroErrorRowType) return;
  CFStringRef message = NewString(static_cast<MacroErrorData*>(data)->message);
  StandardTextPropertyDrawHandler(nullptr, message, container, property, item, state, bounds, context, VIEW);
  if (message != nullptr) CFRelease(message);
}

void TMacroErrorBrowser::ItemNotification(void* data, UInt32 dataType, DataBrowserItemID,
                                          DataBrowserItemNotification message) {
  if (message == kDataBrowserItemSelected && data != nullptr && dataType == kMacroErrorRowType)
    ChooseError(*static_cast<MacroErrorData*>(data));
}

void TMacroErrorBrowser::ChooseError(const MacroErrorData& error) {
  Str63 document;
  if (editor != nullptr && editor->document != nullptr) document = editor->document->name;
  if (error.file == kSelfFile || (!document.empty() && error.file == Str255(document))) {
    WEReference we = editor != nullptr ? editor->GetWE() : nullptr;
    if (we == nullptr || error.line < 1) return;
    SInt32 start = 0, end = 0;
    WEGetLineRange(error.line - 1, &start, &end, we);
    WESetSelection(start, end, we);
    return;
  }
  ApplicationOpenCommandOptions options = GetDefaultOpenCommandOptions();
  options.fileName = Str63(error.file);
  options.defaultLine = SInt16(std::max<SInt32>(0, std::min<SInt32>(error.line, 32767)));
  SendOpenDocumentCommandWithOptions(options);
}

void TMacroErrorBrowser::Release() {
  if (text != nullptr) CFRelease(text);
  text = nullptr;
  TBrowser::Release();
}

// ---------------------------------------------------------------------------
// The pane

void TMacroErrorPane::Create(const Str63& paneName, IBNibRef nib) {
  TPane::Create(paneName, nib);
  SetClassString("TMacroErrorPane");
  if (paneView == nullptr) return;
  if (ControlRef view = FindView(paneView, kMacroErrorListSignature)) {
    browser = new TMacroErrorBrowser();
    browser->SetOptions(kBrackenrowAllocateTree | kBrackenrowAlternatingRowColors);
    browser->Create(view);
  }
  toolbar = FindView(paneView, kMacroErrorToolbarSignature);
  if (toolbar == nullptr) return;
  ToolbarSetOptions(toolbar, ToolbarOption(kToolbarOptionHideSeparators));
  ToolbarAddButton(toolbar, name, nullptr, 0, nullptr, 0, ToolbarOption(kToolbarItemDefaultOptions), nullptr);
  // The close button asks for what closes every lower pane of an editor.
  ToolbarAddButton(toolbar, "", Icon(kSystemCreator, kMacroErrorCloseIcon), kIconRefKind, nullptr, kHICommandClosePane,
                   ToolbarOption(kToolbarItemAnchoredRight), nullptr);
}

void TMacroErrorPane::Release() {
  // The browser goes with its list view; one still there is let go here.
  if (browser != nullptr && TBrowser::IsLive(browser)) browser->Release();
  browser = nullptr;
  TPane::Release();
}

void TMacroErrorPane::Load(CFStringRef text) {
  if (browser == nullptr) return;
  browser->SetText(text);
  browser->Populate();
}

void TMacroErrorPane::SetName(const Str255& title) {
  name = title;
  if (toolbar != nullptr) ToolbarSetItemText(toolbar, 1, title);
}

TMacroErrorPane* CreateMacroErrorPane(const Str255& name, CFStringRef text, TQVEditor* editor) {
  TWindow* front = TApplicationGetFrontWindowOfKind(kEditorWindowKind);
  if (front == nullptr && editor != nullptr) front = GetWindowObject(editor->GetWindow());
  auto* pane = new TMacroErrorPane();
  pane->name = name;
  pane->SetOwner(front);
  pane->Create(kMacroErrorPaneName, ApplicationNib);
  if (pane->paneView == nullptr) {
    pane->Release();
    return nullptr;
  }
  if (pane->browser != nullptr) pane->browser->editor = editor;
  pane->Load(text);
  return pane;
}
