#include "TBatchFindUnit.h"

#include <cstring>
#include <string>

#include "ApplicationFramework.h"
#include "CFPascal.h"
#include "CFString.h"
#include "CFURL.h"
#include "Dialogs.h"
#include "Drag.h"
#include "Icons.h"
#include "LSInfo.h"
#include "MacMemory.h"
#include "MacWindows.h"
#include "Multiprocessing.h"
#include "PascalCarbonCommon.h"
#include "TFindPaneUnit.h"
#include "TPreferencesUnit.h"
#include "brackenrow/Drawing.h"

const char kBatchFindWindowNibName[] = "Batch Find Window";
const char kBatchFindPaneNibName[] = "Find Pane (Batch)";
const char kBatchFindPreferenceKey[] = "BatchFind";
const char kBatchFindNoItemsMessage[] = "There are no items in the project to search.";

namespace {

BatchFindCopyProjectFilesProc gCopyProjectFiles = nullptr;

enum : SInt16 {
  kRemoteBegin = 1,
  kRemoteSearchFile = 2,
  kRemoteEnd = 3,
};

HIViewRef FindView(HIViewRef root, OSType signature, SInt32 id) {
  HIViewRef view = nullptr;
  if (root != nullptr) HIViewFindByID(root, HIViewID{signature, id}, &view);
  return view;
}

std::string UTF8Of(CFStringRef text) {
  if (text == nullptr) return {};
  std::string bytes(size_t(CFStringGetMaximumSizeForEncoding(CFStringGetLength(text), kCFStringEncodingUTF8)) + 1,
                    '\0');
  if (!CFStringGetCString(text, bytes.data(), CFIndex(bytes.size()), kCFStringEncodingUTF8)) return {};
  bytes.resize(std::char_traits<char>::length(bytes.c_str()));
  return bytes;
}

// UTF-8 in a short string, cut at 255 bytes without splitting a character.
Str255 ShortUTF8(std::string bytes) {
  if (bytes.size() > 255) {
    size_t cut = 255;
    while (cut > 0 && (UInt8(bytes[cut]) & 0xC0) == 0x80) --cut;
    bytes.resize(cut);
  }
  return Str255(std::string_view(bytes));
}

Str255 FieldText(ControlRef field) {
  if (field == nullptr) return Str255();
  CFStringRef text = HIViewCopyText(field);
  Str255 result = ShortUTF8(UTF8Of(text));
  if (text != nullptr) CFRelease(text);
  return result;
}

CFStringRef NewUTF8String(const Str255& text) {
  const std::string_view bytes = text.view();
  return CFStringCreateWithBytes(nullptr, reinterpret_cast<const UInt8*>(bytes.data()), CFIndex(bytes.size()),
                                 kCFStringEncodingUTF8, false);
}

const FSRef* FileOf(void* data) {
  if (data == nullptr || GetPtrSize(static_cast<Ptr>(data)) < Size(sizeof(FSRef))) return nullptr;
  return static_cast<const FSRef*>(data);
}

const BatchFindMatch* MatchOf(void* data) {
  if (data == nullptr || GetPtrSize(static_cast<Ptr>(data)) < Size(sizeof(BatchFindMatch))) return nullptr;
  return static_cast<const BatchFindMatch*>(data);
}

// The row's text and icon: a file by its display name and its own icon, a
// match by its line and the clipping icon. The icon is the caller's.
CFStringRef CopyRowText(void* data, UInt32 dataType, IconRef* icon) {
  *icon = nullptr;
  if (dataType == kBatchFindFileItem) {
    const FSRef* file = FileOf(data);
    if (file == nullptr) return nullptr;
    CFStringRef name = nullptr;
    if (LSCopyDisplayNameForRef(file, &name) != noErr) name = nullptr;
    if (GetIconRefFromFileInfo(file, 0, nullptr, 0, nullptr, kIconServicesNormalUsageFlag, icon, nullptr) != noErr)
      *icon = nullptr;
    return name;
  }
  if (dataType == kBatchFindTextItem) {
    const BatchFindMatch* match = MatchOf(data);
    if (match == nullptr) return nullptr;
    if (GetIconRef(kOnSystemDisk, 'macs', 'clpt', icon) != noErr) *icon = nullptr;
    return NewUTF8String(match->line);
  }
  return nullptr;
}

// Line breaks of the text engine's text: CR, and LF where a host put one.
bool IsLineBreak(UInt8 c) { return c == 13 || c == 10; }

}  // namespace

void BatchFindSetProjectFiles(BatchFindCopyProjectFilesProc proc) { gCopyProjectFiles = proc; }
BatchFindCopyProjectFilesProc BatchFindGetProjectFiles() { return gCopyProjectFiles; }

CFRange GetLineRange(SInt32 offset, WEReference we) {
  const SInt32 length = WEGetTextLength(we);
  if (offset < 0) offset = 0;
  if (offset > length) offset = length;
  SInt32 start = offset;
  while (start > 0 && !IsLineBreak(WEGetChar(start - 1, we))) --start;
  SInt32 end = offset;
  while (end < length && !IsLineBreak(WEGetChar(end, we))) ++end;
  return CFRangeMake(start, end);
}

// ---------------------------------------------------------------------------
// The results

void TBatchFindBrowser::SetItemData(void* data, UInt32 dataType, DataBrowserItemID, DataBrowserPropertyID,
                                    DataBrowserItemDataRef itemData) {
  IconRef icon = nullptr;
  CFStringRef text = CopyRowText(data, dataType, &icon);
  if (text != nullptr) {
    Err = SetDataBrowserItemDataText(itemData, text);
    CFRelease(text);
  }
  if (icon != nullptr) {
    Err = SetDataBrowserItemDataIcon(itemData, icon);
    ReleaseIconRef(icon);
  }
}

void TBatchFindBrowser::DrawItem(void* data, UInt32 dataType, Boolean container, DataBrowserItemID item,
                                 DataBrowserPropertyID property, DataBrowserItemState state, CGRect bounds,
                                 CGContextRef context) {
  IconRef icon = nullptr;
  CFStringRef text = CopyRowText(data, dataType, &icon);
  StandardTextPropertyDrawHandler(icon, text, container, property, item, state, bounds, context, VIEW);
  if (text != nullptr) CFRelease(text);
  if (icon != nullptr) ReleaseIconRef(icon);
}

Boolean TBatchFindBrowser::AddDragItem(void* data, UInt32 dataType, DataBrowserItemID, DragRef drag,
                                       DragItemRef dragItem) {
  if (dataType == kBatchFindFileItem) {
    const FSRef* file = FileOf(data);
    if (file == nullptr) return false;
    CFURLRef url = CFURLCreateFromFSRef(nullptr, file);
    if (url == nullptr) return false;
    const std::string bytes = UTF8Of(CFURLGetString(url));
    CFRelease(url);
    Err = AddDragItemFlavor(drag, dragItem, 'furl', bytes.data(), Size(bytes.size()), 0);
    return Err == noErr;
  }
  if (dataType == kBatchFindTextItem) {
    const BatchFindMatch* match = MatchOf(data);
    if (match == nullptr) return false;
    CFStringRef line = NewUTF8String(match->line);
    if (line == nullptr) return false;
    const CFIndex length = CFStringGetLength(line);
    std::u16string units(size_t(length), u'\0');
    CFStringGetCharacters(line, CFRangeMake(0, length), reinterpret_cast<UniChar*>(units.data()));
    CFRelease(line);
    Err = AddDragItemFlavor(drag, dragItem, 'utxt', units.data(), Size(units.size() * sizeof(char16_t)), 0);
    return Err == noErr;
  }
  return false;
}

ApplicationOpenCommandOptions TBatchFindBrowser::OpenOptionsFor(DataBrowserItemID item) {
  ApplicationOpenCommandOptions open = GetDefaultOpenCommandOptions();
  NodeInfoPtr node = BrackenrowGetNodeAtIndex(SInt32(item), VIEW);
  NodeInfoPtr parent = BrackenrowGetNodeParent(SInt32(item), VIEW);
  if (node == nullptr || node->DATATYPE != kBatchFindTextItem || parent == nullptr ||
      parent->DATATYPE != kBatchFindFileItem)
    return open;
  const FSRef* target = FileOf(parent->DATA);
  const BatchFindMatch* match = MatchOf(node->DATA);
  if (target == nullptr || match == nullptr) return open;
  open.file = *target;
  open.keepInBackground = FSValidFSRef(file) && FSCompareFSRefs(&file, target) == noErr;
  // The match's own line, not the text: the text would select its first
  // occurrence in the file (and only with the case as typed).
  open.defaultLine = SInt16(match->lineNumber > 0x7FFF ? 0x7FFF : match->lineNumber);
  return open;
}

void TBatchFindBrowser::ItemNotification(void*, UInt32 dataType, DataBrowserItemID item,
                                         DataBrowserItemNotification message) {
  if (message != kDataBrowserItemSelected || dataType != kBatchFindTextItem) return;
  const ApplicationOpenCommandOptions open = OpenOptionsFor(item);
  if (!FSValidFSRef(open.file)) return;
  if (WindowRef window = GetControlOwner(VIEW)) SendBehind(window, nullptr);
  SendOpenDocumentCommandWithOptions(open);
}

// ---------------------------------------------------------------------------
// The task

void TBatchFindTask::Run() {
  if (pane != nullptr) pane->FindInFiles(pane->options.findText, pane->files);
}

void TBatchFindTask::RemoteProcedure(SInt16 selector) {
  switch (selector) {
    case kRemoteBegin:
      pane->BeginSearch();
      break;
    case kRemoteSearchFile:
      pane->SearchFile(pane->nextFile);
      break;
    case kRemoteEnd:
      pane->EndSearch(true);
      break;
  }
}

// ---------------------------------------------------------------------------
// The pane

void TBatchFindPane::Create(const Str63& name, IBNibRef nib) {
  TPane::Create(name, nib);
  SetClassString("TBatchFindPane");
  findField = FindView(paneView, kFindPaneFindSignature, kFindPaneFieldID);
  replaceField = FindView(paneView, kFindPaneReplaceSignature, kFindPaneFieldID);
  wholeWordsBox = FindView(paneView, kFindPaneOptionSignature, 128);
  ignoreCaseBox = FindView(paneView, kFindPaneOptionSignature, 129);
  progress = FindView(paneView, kBatchFindProgressSignature, 128);
  status = FindView(paneView, kBatchFindStatusSignature, 128);
  if (findField != nullptr) {
    keyHandler = new TFindButtonHandler();
    keyHandler->Install(GetControlEventTarget(findField));
    keyHandler->AppendEvent(kEventClassKeyboard, kEventRawKeyDown);
  }
}

void TBatchFindPane::ProcessCommand(const HICommand& command, EventRef event, SInt32& result) {
  switch (command.commandID) {
    case kHICommandFindPaneFind:
      Find();
      result = noErr;
      break;
    case kHICommandFindPaneReplaceAll:
      result = noErr;  // replace-all is not offered here
      break;
    case kHICommandBatchFindStop:
      StopSearch();
      result = noErr;
      break;
    default:
      TPane::ProcessCommand(command, event, result);
  }
}

void TBatchFindPane::Release() {
  // The pane's views may have gone first with the window (the list's object
  // with them): the search ends without touching them.
  if (browser != nullptr && !TBrowser::IsLive(browser)) browser = nullptr;
  progress = nullptr;
  status = nullptr;
  // A running task would call into a freed pane.
  StopSearch();
  if (keyHandler != nullptr) keyHandler->Release();
  keyHandler = nullptr;
  if (browser != nullptr) browser->Release();
  browser = nullptr;
  TPane::Release();
}

void TBatchFindPane::Find() {
  if (Searching()) {
    SysBeep(1);
    return;
  }
  CFArrayRef list = gCopyProjectFiles != nullptr ? gCopyProjectFiles() : nullptr;
  if (list == nullptr || CFArrayGetCount(list) == 0) {
    if (list != nullptr) CFRelease(list);
    UserNotificationDialog(Str255(kBatchFindNoItemsMessage));
    return;
  }
  FindOptions settings;
  settings.findText = FieldText(findField);
  settings.replaceText = FieldText(replaceField);
  if (wholeWordsBox != nullptr && GetControl32BitValue(wholeWordsBox) != 0) settings.flags |= weFindWholeWords;
  if (ignoreCaseBox != nullptr && GetControl32BitValue(ignoreCaseBox) != 0) settings.flags |= weFindCaseInsensitive;
  // An empty text matches everywhere without moving on.
  if (settings.findText.empty()) {
    CFRelease(list);
    SysBeep(1);
    return;
  }
  options = settings;
  files = list;
  if (browser != nullptr) browser->options = options;
  auto* runner = new TBatchFindTask();
  runner->pane = this;
  task = runner;
  runner->Start();
  if (Err != noErr) {
    task = nullptr;
    runner->Release();
    CFRelease(files);
    files = nullptr;
    SysBeep(1);
  }
}

void TBatchFindPane::FindInFiles(const Str255&, CFArrayRef inFiles) {
  TBatchFindTask* runner = task;
  runner->CallRemote(kRemoteBegin);
  const CFIndex count = inFiles != nullptr ? CFArrayGetCount(inFiles) : 0;
  for (CFIndex i = 0; i < count; ++i) {
    if (MPTaskShouldStop()) return;
    nextFile = i;
    runner->CallRemote(kRemoteSearchFile);
  }
  runner->CallRemote(kRemoteEnd);
}

void TBatchFindPane::StopSearch() {
  if (task == nullptr) return;
  TBatchFindTask* running = task;
  running->Stop();  // returns when the task has ended, and frees it
  task = nullptr;
  EndSearch(false);
}

void TBatchFindPane::BeginSearch() {
  occurrences = 0;
  matchedFiles = 0;
  fileCount_ = files != nullptr ? CFArrayGetCount(files) : 0;
  if (instance_ == nullptr) {
    const LongRect none{0, 0, 0, 0};
    if (WENew(&none, &none, 0x1000, &instance_) != noErr) instance_ = nullptr;
  }
  if (browser != nullptr) {
    browser->Clear();
    Err = HIViewSetVisible(browser->VIEW, false);
  }
  if (progress != nullptr) {
    SetControl32BitMinimum(progress, 0);
    SetControl32BitMaximum(progress, SInt32(fileCount_));
    SetControl32BitValue(progress, 0);
    Err = HIViewSetVisible(progress, true);
  }
  if (status != nullptr) HIViewSetText(status, CFSTR(""));
}

void TBatchFindPane::SearchFile(CFIndex index) {
  if (progress != nullptr) SetControl32BitValue(progress, SInt32(index + 1));
  if (instance_ == nullptr || files == nullptr || index < 0 || index >= CFArrayGetCount(files)) return;
  const FSRef* file = FileOf(const_cast<void*>(CFArrayGetValueAtIndex(files, index)));
  if (file == nullptr) return;
  // Read as an editor reads it, so that a file that is not UTF-8 is searched
  // too and its offsets are those its editor shows. A file that cannot be
  // read is passed over.
  if (WELoadTextFile(file, kTextEncodingUTF8, nullptr, instance_) != noErr) return;
  const SInt32 length = WEGetTextLength(instance_);
  const std::string_view key = options.findText.view();
  SInt32 fileItem = 0;
  SInt32 from = 0;
  // Lines are counted as the search moves on, never from the start again.
  SInt32 lineNumber = 1, counted = 0;
  SInt32 inFile = 0;
  for (;;) {
    SInt32 start = 0, end = 0;
    if (WEFind(key.data(), SInt32(key.size()), kTextEncodingUTF8, options.flags, from, length, &start, &end,
               instance_) != noErr)
      break;
    if (end <= from && end <= start) break;  // no progress: never loop in place
    from = end;
    for (; counted < start; ++counted)
      if (WEGetChar(counted, instance_) == 13) ++lineNumber;

    if (fileItem == 0 && browser != nullptr) {
      Ptr block = NewPtr(sizeof(FSRef));
      if (block != nullptr) {
        std::memcpy(block, file, sizeof(FSRef));
        fileItem = browser->NewContainer(block, SInt32(sizeof(FSRef)), kBatchFindFileItem, 0);
      }
    }
    const CFRange line = GetLineRange(start, instance_);
    Handle bytes = NewHandle(0);
    std::string text;
    bool streamed = bytes != nullptr && WEStreamRange(line.location, line.length, 'utf8', 0, bytes, instance_) == noErr;
    if (streamed) text.assign(*bytes, size_t(GetHandleSize(bytes)));
    if (bytes != nullptr) DisposeHandle(bytes);
    CFStringRef raw = streamed ? CFStringCreateWithBytes(nullptr, reinterpret_cast<const UInt8*>(text.data()),
                                                         CFIndex(text.size()), kCFStringEncodingUTF8, false)
                               : nullptr;
    // Counted whether or not its line can be shown.
    ++occurrences;
    if (++inFile == 1) ++matchedFiles;
    if (raw == nullptr) continue;  // a line that cannot be shown adds no row
    CFMutableStringRef trimmed = CFStringCreateMutableCopy(nullptr, 0, raw);
    CFRelease(raw);
    CFStringTrimWhitespace(trimmed);
    auto* match = reinterpret_cast<BatchFindMatch*>(NewPtrClear(sizeof(BatchFindMatch)));
    if (match != nullptr) {
      new (match) BatchFindMatch();
      match->line = ShortUTF8(UTF8Of(trimmed));
      match->lineNumber = lineNumber;
      match->matchStart = start;
      match->matchEnd = end;
      if (browser != nullptr) browser->NewItem(match, SInt32(sizeof(BatchFindMatch)), kBatchFindTextItem, fileItem);
    }
    CFRelease(trimmed);
  }
}

void TBatchFindPane::EndSearch(Boolean completed) {
  if (completed) SysBeep(1);
  if (browser != nullptr && browser->VIEW != nullptr) Err = HIViewSetVisible(browser->VIEW, true);
  if (progress != nullptr) Err = HIViewSetVisible(progress, false);
  if (status != nullptr) {
    const std::string text = "Found " + std::to_string(occurrences) + " occurrences in " +
                             std::to_string(matchedFiles) + " files";
    CFStringRef s = CFStringCreateWithCString(nullptr, text.c_str(), kCFStringEncodingUTF8);
    HIViewSetText(status, s);
    if (s != nullptr) CFRelease(s);
  }
  if (files != nullptr) CFRelease(files);
  files = nullptr;
  if (instance_ != nullptr) WEDispose(instance_);
  instance_ = nullptr;
  task = nullptr;
}

// ---------------------------------------------------------------------------
// The window

TBatchFindPane* ActiveBatchFindPane() {
  TWindow* window = FrontWindowObjectOfKind(kBatchFindWindowKind);
  if (window == nullptr || window->window == nullptr) return nullptr;
  return dynamic_cast<TBatchFindPane*>(TWindowGetPane(window->window));
}

TBatchFindPane* OpenBatchFindWindow(IBNibRef nib) {
  if (TWindow* open = FrontWindowObjectOfKind(kBatchFindWindowKind); open != nullptr && open->window != nullptr) {
    SelectWindow(open->window);
    return nullptr;
  }
  auto* window = new TWindow();
  window->SetPreferences(AppPrefs);
  window->SetPreferenceKey(kBatchFindPreferenceKey);
  window->Create(kBatchFindWindowNibName, nib);
  if (window->window == nullptr) {
    window->Release();
    return nullptr;
  }
  SetWindowKind(window->window, kBatchFindWindowKind);
  auto* pane = new TBatchFindPane();
  pane->Create(kBatchFindPaneNibName, nib);
  if (pane->paneView == nullptr) {
    pane->Release();
    SInt32 status = 0;
    window->Close(status);
    return nullptr;
  }
  pane->InstallCommandHandler(window->window);
  pane->Attach(window->window);
  if (HIViewRef list = FindView(pane->paneView, kBatchFindResultsSignature, 128)) {
    pane->browser = new TBatchFindBrowser();
    // Its own tree, and items numbered in the order they are found.
    pane->browser->SetOptions(kBrackenrowAllocateTree | kBrackenrowLinearAutoIncrement);
    pane->browser->Create(list);
  }
  window->Show();
  return pane;
}
