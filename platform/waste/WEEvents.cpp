// The text engine's input: typed text and keys, clicks, activation, the edit
// commands, the pasteboard, drags, and files.
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "EventTargetInternal.h"
#include "HIView.h"
#include "MacMemory.h"
#include "MacWindows.h"
#include "WEFileCodec.h"
#include "WEInternal.h"

using namespace we;

namespace {

constexpr UInt32 kCmd = kCmdKey, kShift = kShiftKey, kOption = kOptionKey;

static_assert(weEndOfLineCR == UInt32(weLineEndingCR) && weEndOfLineLF == UInt32(weLineEndingLF) &&
                  weEndOfLineCRLF == UInt32(weLineEndingCRLF),
              "the engine's line endings are the codec's");

bool Editable(WEReference we) { return !we->Feature(weFReadOnly); }

void AutoScroll(WEReference we) {
  if (we->Feature(weFAutoScroll)) ScrollToSelection(we);
}

SInt32 ActiveEnd(WEReference we) { return we->sel.anchor == we->sel.start ? we->sel.end : we->sel.start; }

bool HighSurrogate(UniChar c) { return c >= 0xD800 && c <= 0xDBFF; }
bool LowSurrogate(UniChar c) { return c >= 0xDC00 && c <= 0xDFFF; }

SInt32 PrevChar(WEReference we, SInt32 p) {
  if (p <= 0) return 0;
  --p;
  if (p > 0 && LowSurrogate(we->text.ValueAt(p)) && HighSurrogate(we->text.ValueAt(p - 1))) --p;
  return p;
}

SInt32 NextChar(WEReference we, SInt32 p) {
  const SInt32 n = Length(we);
  if (p >= n) return n;
  ++p;
  if (p < n && LowSurrogate(we->text.ValueAt(p)) && HighSurrogate(we->text.ValueAt(p - 1))) ++p;
  return p;
}

SInt32 PrevWord(WEReference we, SInt32 p) {
  while (p > 0 && !IsWordClass(CharClass(we->text.ValueAt(p - 1)))) --p;
  while (p > 0 && IsWordClass(CharClass(we->text.ValueAt(p - 1)))) --p;
  return p;
}

SInt32 NextWord(WEReference we, SInt32 p) {
  const SInt32 n = Length(we);
  while (p < n && !IsWordClass(CharClass(we->text.ValueAt(p)))) ++p;
  while (p < n && IsWordClass(CharClass(we->text.ValueAt(p)))) ++p;
  return p;
}

// Line breaks from outside (LF, CR LF) become the engine's CR.
std::vector<UniChar> ToCR(const UniChar* chars, size_t count) {
  std::vector<UniChar> out;
  out.reserve(count);
  for (size_t i = 0; i < count; ++i) {
    if (chars[i] == 13 && i + 1 < count && chars[i + 1] == 10) continue;
    out.push_back(chars[i] == 10 ? 13 : chars[i]);
  }
  return out;
}

void UserReplace(WEReference we, SInt32 start, SInt32 end, const UniChar* chars, SInt32 count, WEActionKind kind,
                 bool typing) {
  if (!typing) CloseTyping(we);
  BeginImplicit(we, kind);
  // The replacement leaves the insertion point after the new text before it
  // reports the change, so a hook that moves it (an auto-indent) has the
  // last word.
  Replace(we, start, end, chars, count, nullptr, typing);
  EndImplicit(we);
  we->preferredX = -1;
  // The key's rows are drawn with the layout the change and its report
  // left (see RedrawEdit).
  SettleEdit(we);
}

void MoveTo(WEReference we, SInt32 offset, bool extend) {
  if (extend)
    SetSelectionInternal(we, we->sel.anchor, offset);
  else
    SetSelectionInternal(we, offset, offset);
  AutoScroll(we);
}

void VerticalMove(WEReference we, bool down, bool extend) {
  const SInt32 from = extend ? ActiveEnd(we) : (down ? we->sel.end : we->sel.start);
  LongPt pt{};
  SInt16 lh = 0;
  WEGetPoint(from, 1, &pt, &lh, we);
  if (we->preferredX < 0) we->preferredX = pt.h;
  const SInt32 keep = we->preferredX;
  LongPt target{down ? pt.v + lh + 1 : pt.v - 1, keep};
  SInt32 offset;
  LongRect dest;
  WEGetDestRect(&dest, we);
  if (!down && target.v < dest.top)
    offset = 0;
  else if (down && target.v >= dest.bottom)
    offset = Length(we);
  else
    offset = WEGetOffset(&target, nullptr, we);
  MoveTo(we, offset, extend);
  we->preferredX = keep;
}

// Option-page up/down: the view scrolls a page and the caret goes with it,
// keeping its place on the screen (and its column).
void PageMove(WEReference we, bool down, bool extend) {
  const SInt32 page = std::max<SInt32>(1, we->view.bottom - we->view.top - 10);
  const SInt32 from = extend ? ActiveEnd(we) : (down ? we->sel.end : we->sel.start);
  LongPt pt{};
  SInt16 lh = 0;
  WEGetPoint(from, 1, &pt, &lh, we);
  if (we->preferredX < 0) we->preferredX = pt.h;
  const SInt32 keep = we->preferredX;
  LongRect dest;
  WEGetDestRect(&dest, we);
  const SInt32 v = pt.v + lh / 2 + (down ? page : -page);
  SInt32 offset;
  if (v < dest.top) {
    offset = 0;
  } else if (v >= dest.bottom) {
    offset = Length(we);
  } else {
    LongPt target{v, keep};
    offset = WEGetOffset(&target, nullptr, we);
  }
  ScrollBy(we, down ? -page : page);
  MoveTo(we, offset, extend);
  we->preferredX = keep;
}

OSStatus HandleKey(WEReference we, UniChar key, UInt32 modifiers) {
  const bool extend = modifiers & kShift;
  const bool word = modifiers & kOption;
  const bool line = modifiers & kCmd;
  switch (key) {
    case 28: case 29: {  // left, right
      const bool left = key == 28;
      we->preferredX = -1;
      if (!extend && we->sel.start != we->sel.end && !word && !line) {
        MoveTo(we, left ? we->sel.start : we->sel.end, false);
        return noErr;
      }
      SInt32 p = extend ? ActiveEnd(we) : (left ? we->sel.start : we->sel.end);
      if (line) {
        const SInt32 l = we->lines.PartitionOf(p);
        SInt32 end = we->lines.Start(l + 1);
        if (end > we->lines.Start(l) && we->text.ValueAt(end - 1) == 13) --end;
        p = left ? we->lines.Start(l) : end;
      } else if (word) {
        p = left ? PrevWord(we, p) : NextWord(we, p);
      } else {
        p = left ? PrevChar(we, p) : NextChar(we, p);
      }
      MoveTo(we, p, extend);
      return noErr;
    }
    case 30: case 31:  // up, down
      if (line) {
        we->preferredX = -1;
        MoveTo(we, key == 30 ? 0 : Length(we), extend);
      } else {
        VerticalMove(we, key == 31, extend);
      }
      return noErr;
    case 1: ScrollBy(we, INT32_MAX / 2); return noErr;   // home: to the top
    case 4: ScrollBy(we, -INT32_MAX / 2); return noErr;  // end: to the bottom
    case 11: case 12:  // page up, page down: with option the caret goes along
      if (word || extend)
        PageMove(we, key == 12, extend);
      else
        ScrollBy(we, (key == 11 ? 1 : -1) * std::max<SInt32>(1, we->view.bottom - we->view.top - 10));
      return noErr;
    case 8: case 127: {  // backspace, forward delete
      if (!Editable(we)) return noErr;
      SInt32 s = we->sel.start, e = we->sel.end;
      if (s == e) {
        if (key == 8)
          s = word ? PrevWord(we, s) : PrevChar(we, s);
        else
          e = word ? NextWord(we, e) : NextChar(we, e);
      }
      if (s != e) UserReplace(we, s, e, nullptr, 0, weAKTyping, true);
      AutoScroll(we);
      return noErr;
    }
  }
  return eventNotHandledErr;
}

OSStatus TextInputHandler(EventHandlerCallRef, EventRef event, void* userData) {
  auto* we = static_cast<WEReference>(userData);
  if (GetEventClass(event) != kEventClassTextInput || GetEventKind(event) != kEventTextInputUnicodeForKeyEvent)
    return eventNotHandledErr;
  ByteCount size = 0;
  if (GetEventParameter(event, kEventParamTextInputSendText, typeUnicodeText, nullptr, 0, &size, nullptr) != noErr ||
      size < sizeof(UniChar))
    return eventNotHandledErr;
  std::vector<UniChar> chars(size / sizeof(UniChar));
  GetEventParameter(event, kEventParamTextInputSendText, typeUnicodeText, nullptr, chars.size() * sizeof(UniChar),
                    nullptr, chars.data());
  UInt32 keyCode = 0, modifiers = 0;
  EventRef raw = nullptr;
  if (GetEventParameter(event, kEventParamTextInputSendKeyboardEvent, typeEventRef, nullptr, sizeof raw, nullptr,
                        &raw) == noErr &&
      raw != nullptr) {
    GetEventParameter(raw, kEventParamKeyCode, typeUInt32, nullptr, sizeof keyCode, nullptr, &keyCode);
    GetEventParameter(raw, kEventParamKeyModifiers, typeUInt32, nullptr, sizeof modifiers, nullptr, &modifiers);
  }
  return WETextInput(chars.data(), UniCharCount(chars.size()), keyCode, modifiers, we);
}

// --- Pasteboard ------------------------------------------------------------------------

const CFStringRef kUTF16Flavor = CFStringMakeConstantUTF8("public.utf16-plain-text");
const CFStringRef kUTF8Flavor = CFStringMakeConstantUTF8("public.utf8-plain-text");

PasteboardRef Clipboard() {
  static PasteboardRef clipboard = [] {
    PasteboardRef p = nullptr;
    PasteboardCreate(kPasteboardClipboard, &p);
    return p;
  }();
  return clipboard;
}

bool PasteboardText(PasteboardRef pb, std::vector<UniChar>* out) {
  if (pb == nullptr) return false;
  PasteboardSynchronize(pb);
  ItemCount count = 0;
  if (PasteboardGetItemCount(pb, &count) != noErr) return false;
  for (CFIndex i = 1; i <= CFIndex(count); ++i) {
    PasteboardItemID item = nullptr;
    if (PasteboardGetItemIdentifier(pb, i, &item) != noErr) continue;
    CFDataRef data = nullptr;
    if (PasteboardCopyItemFlavorData(pb, item, kUTF16Flavor, &data) == noErr && data) {
      const CFIndex n = CFDataGetLength(data) / 2;
      out->resize(size_t(n));
      if (n > 0) std::memcpy(out->data(), CFDataGetBytePtr(data), size_t(n) * 2);
      CFRelease(data);
      return true;
    }
    if (PasteboardCopyItemFlavorData(pb, item, kUTF8Flavor, &data) == noErr && data) {
      CFStringRef s = CFStringCreateWithBytes(nullptr, CFDataGetBytePtr(data), CFDataGetLength(data),
                                              kCFStringEncodingUTF8, false);
      CFRelease(data);
      if (s == nullptr) continue;
      out->resize(size_t(CFStringGetLength(s)));
      CFStringGetCharacters(s, CFRangeMake(0, CFIndex(out->size())), out->data());
      CFRelease(s);
      return true;
    }
  }
  return false;
}

// --- Files -----------------------------------------------------------------------------

// A file's bytes, read into one block of its size (not cleared first).
struct FileBytes {
  struct Free {
    void operator()(char* p) const { std::free(p); }
  };
  std::unique_ptr<char, Free> data;
  size_t size = 0;
  size_t capacity = 0;
  bool Reserve(size_t n) {
    if (n <= capacity) return true;
    char* p = nullptr;
    if (n >= kLargeBlock) {
      p = static_cast<char*>(AllocateLargeBlock(n));
      if (p != nullptr && size > 0) std::memcpy(p, data.get(), size);
      if (p != nullptr) data.reset(p);
    } else {
      p = static_cast<char*>(std::realloc(data.get(), n));
      if (p != nullptr) (void)data.release(), data.reset(p);
    }
    if (p == nullptr) return false;
    capacity = n;
    return true;
  }
};

bool ReadFile(const FSRef* ref, FileBytes* out, OSStatus* status) {
  UInt8 path[4096];
  if ((*status = FSRefMakePath(ref, path, sizeof path)) != noErr) return false;
  const int fd = open(reinterpret_cast<const char*>(path), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    *status = fnfErr;
    return false;
  }
  struct stat info {};
  const size_t expected = fstat(fd, &info) == 0 && info.st_size > 0 && info.st_size < (off_t(1) << 31)
                              ? size_t(info.st_size)
                              : 0;
  if (!out->Reserve(expected + 1)) {
    close(fd);
    *status = memFullErr;
    return false;
  }
  for (;;) {
    // A file that grew while being read is read to its end all the same.
    if (out->size == out->capacity && !out->Reserve(out->capacity * 2)) {
      close(fd);
      *status = memFullErr;
      return false;
    }
    const ssize_t n = read(fd, out->data.get() + out->size, out->capacity - out->size);
    if (n < 0) {
      if (errno == EINTR) continue;
      close(fd);
      *status = ioErr;
      return false;
    }
    if (n == 0) break;
    out->size += size_t(n);
  }
  close(fd);
  return true;
}

// The file is replaced at once: a failure or a crash during the save leaves
// its old contents whole.
OSStatus WriteFile(const FSRef* ref, const std::string& bytes) {
  return FSRefWriteFileAtomically(ref, bytes.data(), bytes.size());
}

UInt32 StyleFromCodec(WEReference we, const WECodecStyle& cs) {
  we::Style s;
  if (!cs.fontName.empty()) {
    unsigned char name[256];
    const size_t n = std::min<size_t>(cs.fontName.size(), 255);
    name[0] = UInt8(n);
    std::memcpy(name + 1, cs.fontName.data(), n);
    const FMFontFamily family = FMGetFontFamilyFromName(name);
    if (family != kInvalidFontFamily) s.Set('font', std::string(reinterpret_cast<const char*>(&family), 2));
  }
  if (cs.size != (12 << 16)) s.Set('ptsz', std::string(reinterpret_cast<const char*>(&cs.size), 4));
  if (cs.color.red || cs.color.green || cs.color.blue)
    s.Set('colr', std::string(reinterpret_cast<const char*>(&cs.color), 6));
  if (cs.bold) s.Set('bold', std::string(1, '\1'));
  if (cs.italic) s.Set('ital', std::string(1, '\1'));
  if (cs.underline) s.Set('undl', std::string(1, '\1'));
  return InternStyle(we, s);
}

WECodecStyle CodecFromStyle(WEReference we, UInt32 index) {
  WECodecStyle cs;
  const we::Style& s = we->styles[index];
  SInt16 family = 4;
  if (const we::StyleValue v = s.Find('font'); v && v->size() >= 2) std::memcpy(&family, v->data(), 2);
  unsigned char name[256] = {};
  if (FMGetFontFamilyName(family, name)) cs.fontName.assign(reinterpret_cast<const char*>(name + 1), name[0]);
  if (const we::StyleValue v = s.Find('ptsz'); v && v->size() >= 4) std::memcpy(&cs.size, v->data(), 4);
  if (const we::StyleValue v = s.Find('colr'); v && v->size() >= 6) std::memcpy(&cs.color, v->data(), 6);
  auto flag = [&](FourCharCode tag) {
    const we::StyleValue v = s.Find(tag);
    return v && !v->empty() && (*v)[0] != 0;
  };
  cs.bold = flag('bold');
  cs.italic = flag('ital');
  cs.underline = flag('undl');
  return cs;
}

}  // namespace

// ---------------------------------------------------------------------------
// Internal

namespace we {

void ScrollBy(WEReference we, SInt32 dv) {
  LongRect dest;
  WEGetDestRect(&dest, we);
  const SInt32 viewHeight = we->view.bottom - we->view.top;
  // Keep the destination between its top at the view's top and its bottom at the view's bottom.
  const SInt32 minTop = std::min(we->view.top, we->view.top - ((dest.bottom - dest.top) - viewHeight));
  const SInt32 newTop = std::clamp(dest.top + dv, minTop, we->view.top);
  WEScroll(0, newTop - dest.top, we);
}

bool DragText(DragRef drag, std::vector<UniChar>* out, WEReference we) {
  UInt16 items = 0;
  if (CountDragItems(drag, &items) != noErr) return false;
  for (UInt16 i = 1; i <= items; ++i) {
    DragItemRef item = 0;
    if (GetDragItemReferenceNumber(drag, i, &item) != noErr) continue;
    for (FlavorType type : {FlavorType('utxt'), FlavorType('utf8'), FlavorType('TEXT'), FlavorType('RTF ')}) {
      Size size = 0;
      if (GetFlavorDataSize(drag, item, type, &size) != noErr || size < 0) continue;
      std::string bytes(size_t(size), '\0');
      if (size > 0 && GetFlavorData(drag, item, type, bytes.data(), &size, 0) != noErr) continue;
      bytes.resize(size_t(size));
      if (type == 'utxt') {
        out->resize(bytes.size() / 2);
        std::memcpy(out->data(), bytes.data(), out->size() * 2);
      } else if (type == 'RTF ') {
        // Styled text dropped in: its characters (the drop takes the style
        // of where it lands, as typed text does).
        WECodecText doc;
        if (WEReadRTF(bytes.data(), bytes.size(), doc) != noErr) continue;
        out->assign(doc.text.begin(), doc.text.end());
      } else {
        CFStringRef s = CFStringCreateWithBytes(nullptr, reinterpret_cast<const UInt8*>(bytes.data()),
                                                CFIndex(bytes.size()),
                                                type == 'utf8' ? kCFStringEncodingUTF8 : kCFStringEncodingMacRoman,
                                                false);
        if (s == nullptr) continue;
        out->resize(size_t(CFStringGetLength(s)));
        CFStringGetCharacters(s, CFRangeMake(0, CFIndex(out->size())), out->data());
        CFRelease(s);
      }
      return true;
    }
    // No flavour the engine reads: the host's hook may supply the item as
    // UTF-16 text.
    if (we && we->translateDragHook) {
      Handle h = NewHandle(0);
      if (h == nullptr) continue;
      const bool got = we->translateDragHook(drag, item, 'utxt', h, we) == noErr && GetHandleSize(h) >= 2;
      if (got) {
        out->resize(size_t(GetHandleSize(h)) / 2);
        std::memcpy(out->data(), *h, out->size() * 2);
      }
      DisposeHandle(h);
      if (got) return true;
    }
  }
  return false;
}

// The drop point (global) in the root view's coordinates.
bool DropOffset(WEReference we, DragRef drag, SInt32* outOffset) {
  Point mouse{0, 0};
  if (GetDragMouse(drag, &mouse, nullptr) != noErr) return false;
  if (we->hiView) {
    if (WindowRef window = HIViewGetWindow(we->hiView)) {
      GrafPtr saved = nullptr;
      GetPort(&saved);
      SetPortWindowPort(window);
      GlobalToLocal(&mouse);
      SetPort(saved);
    }
  }
  LongPt pt{};
  WEPointToLongPoint(mouse, &pt);
  *outOffset = WEGetOffset(&pt, nullptr, we);
  return true;
}

void EventsDispose(WEReference we) {
  if (we->targetHandler) RemoveEventHandler(we->targetHandler);
  we->targetHandler = nullptr;
}

}  // namespace we

// ---------------------------------------------------------------------------
// Typing

OSStatus WETextInput(const UniChar* inText, UniCharCount inCount, UInt32 inKeyCode, UInt32 inModifiers,
                     WEReference we) {
  if (we == nullptr || (inText == nullptr && inCount > 0)) return paramErr;
  if (inCount == 0) return noErr;
  // Keys that only move or scroll are not text: the filter hears typing.
  if (inCount == 1) {
    const UniChar k = inText[0];
    if (k == 1 || k == 4 || k == 11 || k == 12 || (k >= 28 && k <= 31)) return HandleKey(we, k, inModifiers);
    if (k == 27 || k == 16 || k == 5 || k == 0) return eventNotHandledErr;
  }
  std::vector<UniChar> text(inText, inText + inCount);
  if (we->filterHook) {
    Handle h = NewHandle(Size(text.size() * sizeof(UniChar)));
    if (h == nullptr) return memFullErr;
    std::memcpy(*h, text.data(), text.size() * sizeof(UniChar));
    const Boolean consumed = we->filterHook(nullptr, h, inModifiers, inKeyCode, we);
    const Size size = GetHandleSize(h);
    text.assign(reinterpret_cast<UniChar*>(*h), reinterpret_cast<UniChar*>(*h) + (size > 0 ? size / 2 : 0));
    DisposeHandle(h);
    if (consumed) return noErr;
    if (text.empty()) return noErr;
  }
  if (text.size() == 1 && (text[0] == 8 || text[0] == 127)) return HandleKey(we, text[0], inModifiers);
  if (!Editable(we)) return noErr;
  // Enter types a line break; other control characters are not text.
  std::vector<UniChar> typed;
  typed.reserve(text.size());
  for (UniChar c : ToCR(text.data(), text.size())) {
    if (c == 3) c = 13;
    if (c < 0x20 && c != 13 && c != 9) continue;
    if (c == 0x7F) continue;
    typed.push_back(c);
  }
  if (typed.empty()) return noErr;
  UserReplace(we, we->sel.start, we->sel.end, typed.data(), SInt32(typed.size()), weAKTyping, true);
  AutoScroll(we);
  return noErr;
}

OSStatus WESetEventTarget(EventTargetRef inTarget, OptionBits inEventClasses, WEReference we) {
  if (we == nullptr) return paramErr;
  EventsDispose(we);
  we->target = inTarget;
  we->hiView = nullptr;
  if (inTarget == nullptr) return noErr;
  // The view behind the target, when it is one, is redrawn after changes.
  auto* owner = static_cast<HIViewRef>(EventTargetGetOwner(inTarget));
  if (owner && HIViewGetEventTarget(owner) == inTarget) we->hiView = owner;
  if (inEventClasses & weTextInputEvents) {
    static const EventTypeSpec kTypes[] = {{kEventClassTextInput, kEventTextInputUnicodeForKeyEvent}};
    return InstallEventHandler(inTarget, TextInputHandler, 1, kTypes, we, &we->targetHandler);
  }
  return noErr;
}

// ---------------------------------------------------------------------------
// Activation

OSStatus WEActivate(WEReference we) {
  if (we == nullptr) return paramErr;
  if (!we->active) {
    we->active = true;
    BlinkStart(we);
    Redraw(we);
  }
  return noErr;
}

OSStatus WEDeactivate(WEReference we) {
  if (we == nullptr) return paramErr;
  if (we->active) {
    we->active = false;
    BlinkStop(we);
    Redraw(we);
  }
  return noErr;
}

Boolean WEIsActive(WEReference we) { return we && we->active; }

// ---------------------------------------------------------------------------
// Commands

OSStatus WEProcessHICommand(const HICommand* inCommand, WEReference we) {
  if (we == nullptr || inCommand == nullptr) return paramErr;
  switch (inCommand->commandID) {
    case kHICommandUndo: return Editable(we) ? WEUndo(we) : weReadOnlyErr;
    case kHICommandRedo: return Editable(we) ? WERedo(we) : weReadOnlyErr;
    case kHICommandCopy: return WECopyToPasteboard(kCurrentSelection, kCurrentSelection, nullptr, we);
    case kHICommandCut: {
      if (!Editable(we)) return weReadOnlyErr;
      if (we->sel.start == we->sel.end) return noErr;
      if (OSStatus s = WECopyToPasteboard(kCurrentSelection, kCurrentSelection, nullptr, we); s != noErr) return s;
      CloseTyping(we);
      BeginImplicit(we, weAKCut);
      Replace(we, we->sel.start, we->sel.end, nullptr, 0, nullptr, false);
      EndImplicit(we);
      AutoScroll(we);
      return noErr;
    }
    case kHICommandPaste:
      if (!Editable(we)) return weReadOnlyErr;
      return WEPasteFromPasteboard(nullptr, we);
    case kHICommandClear:
      if (!Editable(we)) return weReadOnlyErr;
      return WEDelete(we);
    case kHICommandSelectAll:
      WESetSelection(0, Length(we), we);
      return noErr;
  }
  return eventNotHandledErr;
}

// ---------------------------------------------------------------------------
// Pasteboard

Boolean WECanPaste(WEReference we) {
  if (we == nullptr || !Editable(we)) return false;
  std::vector<UniChar> text;
  return PasteboardText(Clipboard(), &text);
}

OSStatus WECopyToPasteboard(SInt32 inStart, SInt32 inEnd, PasteboardRef inPasteboard, WEReference we) {
  if (we == nullptr) return paramErr;
  PasteboardRef pb = inPasteboard ? inPasteboard : Clipboard();
  if (pb == nullptr) return paramErr;
  SInt32 start = inStart == kCurrentSelection ? we->sel.start : inStart;
  SInt32 end = inEnd == kCurrentSelection ? we->sel.end : inEnd;
  if (start > end) std::swap(start, end);
  std::u16string chars = Copy(we, start, end);
  for (auto& c : chars)
    if (c == 13) c = 10;  // the desktop's line breaks
  if (OSStatus s = PasteboardClear(pb); s != noErr) return s;
  CFDataRef utf16 = CFDataCreate(nullptr, reinterpret_cast<const UInt8*>(chars.data()), CFIndex(chars.size() * 2));
  const std::string utf8 = ToUTF8(chars);
  CFDataRef utf8Data = CFDataCreate(nullptr, reinterpret_cast<const UInt8*>(utf8.data()), CFIndex(utf8.size()));
  auto item = reinterpret_cast<PasteboardItemID>(uintptr_t(1));
  OSStatus status = PasteboardPutItemFlavor(pb, item, kUTF16Flavor, utf16, kPasteboardFlavorNoFlags);
  if (status == noErr) status = PasteboardPutItemFlavor(pb, item, kUTF8Flavor, utf8Data, kPasteboardFlavorNoFlags);
  if (utf16) CFRelease(utf16);
  if (utf8Data) CFRelease(utf8Data);
  return status;
}

OSStatus WEPasteFromPasteboard(PasteboardRef inPasteboard, WEReference we) {
  if (we == nullptr) return paramErr;
  std::vector<UniChar> text;
  if (!PasteboardText(inPasteboard ? inPasteboard : Clipboard(), &text)) return weUnsupportedFlavorErr;
  const std::vector<UniChar> chars = ToCR(text.data(), text.size());
  if (chars.empty() && we->sel.start == we->sel.end) return noErr;
  UserReplace(we, we->sel.start, we->sel.end, chars.data(), SInt32(chars.size()), weAKPaste, false);
  AutoScroll(we);
  return noErr;
}

// ---------------------------------------------------------------------------
// Drags

OSStatus WETrackDrag(DragTrackingMessage inMessage, DragRef inDrag, WEReference we) {
  if (we == nullptr || inDrag == nullptr) return paramErr;
  if (!Editable(we) || !we->Feature(weFDragAndDrop)) return dragNotAcceptedErr;
  std::vector<UniChar> text;
  if (!DragText(inDrag, &text, we)) return dragNotAcceptedErr;
  if (inMessage == kDragTrackingInWindow || inMessage == kDragTrackingEnterWindow) {
    SInt32 offset = 0;
    if (DropOffset(we, inDrag, &offset) && we->Feature(weFAutoScroll)) {
      // Bring the drop point into view while the drag rests near an edge.
      LongPt pt{};
      SInt16 lh = 0;
      WEGetPoint(offset, 1, &pt, &lh, we);
      if (pt.v < we->view.top || pt.v + lh > we->view.bottom) ScrollBy(we, pt.v < we->view.top ? lh : -lh);
    }
  }
  return noErr;
}

OSStatus WEReceiveDrag(DragRef inDrag, WEReference we) {
  if (we == nullptr || inDrag == nullptr) return paramErr;
  if (!Editable(we) || !we->Feature(weFDragAndDrop)) return dragNotAcceptedErr;
  std::vector<UniChar> text;
  if (!DragText(inDrag, &text, we)) return dragNotAcceptedErr;
  SInt32 offset = we->sel.end;
  DropOffset(we, inDrag, &offset);
  const std::vector<UniChar> chars = ToCR(text.data(), text.size());
  if (chars.empty()) return noErr;
  SInt16 modifiers = 0;
  GetDragModifiers(inDrag, &modifiers, nullptr, nullptr);
  const bool copy = (UInt16(modifiers) & kOption) != 0;
  SetDragDropAction(inDrag, copy ? kDragActionCopy : kDragActionMove);
  const SInt32 n = SInt32(chars.size());
  CloseTyping(we);
  if (inDrag == we->outgoingDrag) {
    // The text's own selection dropped back into it: moved (one step of
    // undo) unless option copies it; dropped onto itself, nothing changes.
    we->droppedInside = true;
    const SInt32 s = ClampOffset(we, we->dragStart), e = ClampOffset(we, we->dragEnd);
    if (!copy && offset >= s && offset <= e) return noErr;
    const std::vector<RunCopy> runs = CopyStyleRuns(we, s, e);
    const bool sameText = SInt32(chars.size()) == e - s;
    BeginImplicit(we, weAKDrag);
    SInt32 at = offset;
    if (!copy) {
      Replace(we, s, e, nullptr, 0, nullptr, false);
      if (at > e) at -= e - s;
    }
    Replace(we, at, at, chars.data(), n, sameText ? &runs : nullptr, false);
    SetSelectionInternal(we, at, at + n);
    EndImplicit(we);
    AutoScroll(we);
    return noErr;
  }
  BeginImplicit(we, weAKDrag);
  Replace(we, offset, offset, chars.data(), n, nullptr, false);
  SetSelectionInternal(we, offset, offset + n);
  EndImplicit(we);
  AutoScroll(we);
  return noErr;
}

// ---------------------------------------------------------------------------
// Files

OSStatus WELoad(SInt32 inStart, SInt32 inEnd, const FSRef* inFile, OSType inFileType, TextEncoding inEncoding,
                OptionBits, WEReference we) {
  if (we == nullptr || inFile == nullptr) return paramErr;
  FileBytes bytes;
  OSStatus status = noErr;
  if (!ReadFile(inFile, &bytes, &status)) return status;
  SInt32 start = inStart == kCurrentSelection ? we->sel.start : ClampOffset(we, inStart);
  SInt32 end = inEnd == kCurrentSelection ? we->sel.end : ClampOffset(we, inEnd);
  if (start > end) std::swap(start, end);
  WECodecText doc;
  const bool plain = inFileType == 'TEXT' || inFileType == 0;
  WELineEnding found = weLineEndingKeep;
  if (inFileType == 'RTF ') {
    status = WEReadRTF(bytes.data.get(), bytes.size, doc);
  } else if (plain) {
    status = WEDecodeText(bytes.data.get(), bytes.size, inEncoding, weLineEndingKeep, doc.text);
    if (status == noErr) {
      found = WEDetectLineEnding(doc.text.data(), doc.text.size());
      WEConvertLineEndings(doc.text, weLineEndingCR);
    }
  } else {
    return weUnsupportedFlavorErr;
  }
  if (status != noErr) return status;
  // A document keeps the ending it was read with; a file put into part of
  // the text does not change it.
  if (plain && start == 0 && end == Length(we)) we->lineEnding = found == weLineEndingKeep ? weLineEndingLF : found;
  std::vector<RunCopy> runs;
  for (const WECodecRun& r : doc.runs) runs.push_back({SInt32(r.start), StyleFromCodec(we, r.style)});
  CloseTyping(we);
  BeginImplicit(we, weAKUnspecified);
  Replace(we, start, end, doc.text.data(), SInt32(doc.text.size()), runs.empty() ? nullptr : &runs, false);
  if (doc.text.empty() && !runs.empty() && Length(we) == 0) {
    ForgetExtents(we);
    we->runStyles.SetValueAt(0, runs.back().style);
  }
  EndImplicit(we);
  return noErr;
}

OSStatus WELoadTextFile(const FSRef* inFile, TextEncoding inHint, WETextFileFormat* outFormat, WEReference we) {
  if (we == nullptr || inFile == nullptr) return paramErr;
  FileBytes bytes;
  OSStatus status = noErr;
  if (!ReadFile(inFile, &bytes, &status)) return status;
  std::vector<UniChar> text;
  WETextFileFormat format;
  status = WEReadTextFile(bytes.data.get(), bytes.size, inHint, &text, &format);
  if (status != noErr) return status;
  we->lineEnding = UInt8(format.endOfLine);
  CloseTyping(we);
  BeginImplicit(we, weAKUnspecified);
  Replace(we, 0, Length(we), text.data(), SInt32(text.size()), nullptr, false);
  EndImplicit(we);
  if (outFormat != nullptr) *outFormat = format;
  return noErr;
}

OSStatus WESave(SInt32 inStart, SInt32 inEnd, const FSRef* inFile, OSType inFileType, TextEncoding inEncoding,
                OptionBits inOptions, WEReference we) {
  if (we == nullptr || inFile == nullptr) return paramErr;
  SInt32 start = inStart == kCurrentSelection ? we->sel.start : ClampOffset(we, inStart);
  SInt32 end = inEnd == kCurrentSelection ? we->sel.end : ClampOffset(we, inEnd);
  if (start > end) std::swap(start, end);
  const std::u16string chars = Copy(we, start, end);
  std::string bytes;
  OSStatus status;
  if (inFileType == 'RTF ') {
    WECodecText doc;
    doc.text.assign(chars.begin(), chars.end());
    for (SInt32 r = we->runs.PartitionOf(start); r < we->runs.Partitions() && we->runs.Start(r) < std::max(end, start + 1);
         ++r) {
      WECodecStyle cs = CodecFromStyle(we, we->runStyles.ValueAt(r));
      const UInt32 at = UInt32(std::max(we->runs.Start(r), start) - start);
      if (!doc.runs.empty() && doc.runs.back().style == cs) continue;
      doc.runs.push_back({at, cs});
    }
    status = WEWriteRTF(doc, bytes);
  } else if (inFileType == 'TEXT' || inFileType == 0) {
    const UInt32 named = inOptions & weEndOfLineMask;
    WETextFileFormat format;
    format.encoding = inEncoding;
    format.endOfLine = named != weEndOfLineAsRead ? named : UInt32(we->lineEnding);
    format.byteOrderMark = (inOptions & weSaveByteOrderMark) != 0;
    status = WEWriteTextFile(reinterpret_cast<const UniChar*>(chars.data()), chars.size(), &format, &bytes, nullptr);
  } else {
    return weUnsupportedFlavorErr;
  }
  if (status != noErr) return status;
  return WriteFile(inFile, bytes);
}
