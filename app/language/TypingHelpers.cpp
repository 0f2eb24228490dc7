#include "TypingHelpers.h"

#include <string>
#include <vector>

#include "PascalStringUtilities.h"
#include "fenwicket/Fenwicket.h"

const AutoCompleteBracketEntry kAutoCompleteBracket[6] = {
    {'(', ')', false}, {'{', '}', true},  {'[', ']', false},
    {'\'', '\'', false}, {'"', '"', false}, {'<', '>', false},
};

UInt32 CurrentKeyCode = 0;
UInt32 CurrentKeyModifiers = 0;
Boolean DisableFlux = false;

namespace {

constexpr UInt8 kReturn = 13;

// 0 outside the text, whatever the engine would answer there.
UInt8 CharAt(SInt32 offset, WEReference we) {
  if (offset < 0 || offset >= WEGetTextLength(we)) return 0;
  return WEGetChar(offset, we);
}

void Insert(SInt32 offset, const std::string& text, WEReference we) {
  if (text.empty()) return;
  WEPut(offset, offset, text.data(), text.size(), kTextEncodingMacRoman, 0, 0, nullptr, nullptr, we);
}

void PlaceInsertion(SInt32 offset, WEReference we) { WESetSelection(offset, offset, we); }

void Delete(SInt32 start, SInt32 end, WEReference we) {
  WESetSelection(start, end, we);
  WEDelete(we);
}

std::string Text(const Str255& s) { return s.str(); }

void SetFlux(WEReference we, Boolean on) {
  if (HIViewRef view = WasteGetControllerView(we)) WasteSetFluxState(view, on);
}

// The closing characters the pairing rule inserted, still waiting right of
// the insertion point: typing one of them there steps over it, so a pair
// typed out in full comes out once. Each is kept as its distance from the
// text's end, which typing between the pair leaves as it is; innermost last.
// One text at a time: typing in another forgets them.
struct PendingCloser {
  SInt32 fromEnd;
  UInt8 close;
};
struct PendingClosers {
  WEReference we = nullptr;
  std::vector<PendingCloser> closers;
};
PendingClosers gPending;

// Drops the closers that are gone or that the insertion point has passed.
void PrunePending(SInt32 start, WEReference we) {
  if (gPending.we != we) {
    gPending.we = we;
    gPending.closers.clear();
  }
  const SInt32 length = WEGetTextLength(we);
  auto& closers = gPending.closers;
  while (!closers.empty()) {
    const PendingCloser& c = closers.back();
    if (c.fromEnd > length - start || CharAt(length - c.fromEnd, we) != c.close) closers.pop_back();
    else break;
  }
}

bool IsTagNameCharacter(UInt8 c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

}  // namespace

Boolean ValidBracketCharacter(UInt8 ch) {
  for (const auto& entry : kAutoCompleteBracket)
    if (entry.open == ch) return true;
  return false;
}

Str255 GetLineIndent(SInt32 line, WEReference we) {
  Str255 indent;
  if (we == nullptr || line < 0 || line >= WECountLines(we)) return indent;
  SInt32 start = 0, end = 0;
  WEGetLineRange(line, &start, &end, we);
  for (SInt32 i = start; i < end; ++i) {
    const UInt8 c = CharAt(i, we);
    if (c != ' ' && c != '\t') break;
    indent += c;
  }
  return indent;
}

void AutoExpandLanguageTags(UInt8 ch, UInt32, WEReference we, Boolean& accept) {
  if (we == nullptr || ch != '?') return;
  SInt32 start = 0, end = 0;
  WEGetSelection(&start, &end, we);
  if (CharAt(start - 1, we) != '<' || CharAt(start, we) != '>') return;
  Insert(start, "?php ?", we);
  PlaceInsertion(start + 5, we);
  accept = false;
}

Boolean ClosingBracketCharacter(UInt8 ch) {
  for (const auto& entry : kAutoCompleteBracket)
    if (entry.close == ch) return true;
  return false;
}

void AutoCompleteBrackets(UInt8 ch, UInt32 keyCode, WEReference we, Boolean& accept) {
  if (we == nullptr) return;
  SInt32 start = 0, end = 0;
  WEGetSelection(&start, &end, we);
  const bool empty = start == end;
  PrunePending(start, we);
  if (empty && ch != 0 && CharAt(start, we) == ch && !gPending.closers.empty()) {
    const PendingCloser& c = gPending.closers.back();
    if (c.close == ch && c.fromEnd == WEGetTextLength(we) - start) {
      gPending.closers.pop_back();
      PlaceInsertion(start + 1, we);
      accept = false;
      return;
    }
  }
  if (!ValidBracketCharacter(ch) && keyCode != kTypingDeleteKeyCode && keyCode != kTypingReturnKeyCode) return;
  // One undo step for whatever the rule does.
  WEBeginAction(we);
  for (const auto& entry : kAutoCompleteBracket) {
    const std::string open(1, char(entry.open)), close(1, char(entry.close));
    if (empty && keyCode == kTypingDeleteKeyCode && CharAt(start - 1, we) == entry.open &&
        CharAt(start, we) == entry.close) {
      Delete(start - 1, start + 1, we);
      accept = false;
      break;
    }
    if (empty && ch == entry.open) {
      Insert(start, open + close, we);
      PlaceInsertion(start + 1, we);
      gPending.closers.push_back({WEGetTextLength(we) - (start + 1), entry.close});
      accept = false;
      break;
    }
    if (empty && keyCode == kTypingReturnKeyCode && entry.block && CharAt(start - 1, we) == entry.open &&
        CharAt(start, we) == entry.close) {
      WEToggleFluxCallback(we);
      CurrentKeyCode = 0;
      Delete(start, start + 1, we);
      const std::string indent = Text(GetLineIndent(WEOffsetToLine(start, we), we));
      const std::string middle = std::string(1, char(kReturn)) + indent + "\t";
      Insert(start, middle, we);
      const SInt32 p = start + SInt32(middle.size());
      Insert(p, std::string(1, char(kReturn)) + indent + close, we);
      PlaceInsertion(p, we);
      accept = false;
      WEToggleFluxCallback(we);
      WEInvokeUserFluxCallback(start, p - start, we);
      break;
    }
    if (!empty && ch == entry.open) {
      WEToggleFluxCallback(we);
      Insert(start, open, we);
      Insert(end + 1, close, we);
      WESetSelection(start + 1, end + 1, we);
      accept = false;
      WEToggleFluxCallback(we);
      WEInvokeUserFluxCallback(start, end + 1 - start, we);
      break;
    }
  }
  WEEndAction(weAKUnspecified, we);
}

void AutoCloseTag(SInt32 offset, WEReference we, Boolean& accept) {
  if (we == nullptr || CharAt(offset, we) != '>') return;
  SInt32 lineStart = 0, lineEnd = 0;
  WEGetLineRange(WEOffsetToLine(offset, we), &lineStart, &lineEnd, we);
  SInt32 tagStart = -1;
  for (SInt32 i = offset; i >= lineStart; --i) {
    if (CharAt(i, we) == '<') {
      tagStart = i;
      break;
    }
  }
  if (tagStart < 0) return;
  const UInt8 first = CharAt(tagStart + 1, we);
  if (first == '/' || !IsTagNameCharacter(first)) return;
  SInt32 tagEnd = -1;
  for (SInt32 i = offset - 1; i < lineEnd; ++i) {
    if (CharAt(i, we) == '>') {
      tagEnd = i;
      break;
    }
  }
  if (tagEnd <= tagStart) return;
  const Str255 tag = WERangeToString(tagStart, tagEnd, we);
  const Str255 name = GetLeadingWord(tag, 0);
  if (name.empty()) return;
  DisableFlux = true;
  Insert(offset + 1, "</" + Text(name) + ">", we);
  PlaceInsertion(offset + 1, we);
  accept = false;
  CurrentKeyCode = 0;
}

void AutoDeleteTag(SInt32 offset, WEReference we, Boolean& accept) {
  if (we == nullptr || CharAt(offset - 1, we) != '>' || CharAt(offset, we) != '<') return;
  SInt32 lineStart = 0, lineEnd = 0;
  WEGetLineRange(WEOffsetToLine(offset, we), &lineStart, &lineEnd, we);
  SInt32 start = offset;
  for (SInt32 i = offset; i >= lineStart; --i)
    if (CharAt(i, we) == '<') start = i;
  SInt32 end = offset;
  for (SInt32 i = offset - 1; i < lineEnd; ++i)
    if (CharAt(i, we) == '>') end = i + 1;
  Delete(start, end, we);
  accept = false;
}

void InsertForwardLineBreak(SInt32 offset, WEReference we) {
  if (we == nullptr) return;
  SetFlux(we, false);
  const SInt32 line = WEOffsetToLine(offset, we);
  if (line + 1 < WECountLines(we)) {
    SInt32 nextStart = 0, nextEnd = 0;
    WEGetLineRange(line + 1, &nextStart, &nextEnd, we);
    const std::string indent = Text(GetLineIndent(line + 1, we));
    Insert(nextStart, indent + char(kReturn), we);
    PlaceInsertion(nextStart + SInt32(indent.size()), we);
  } else {
    // The last line has no line after it: the new line takes this one's
    // indentation and ends the text.
    const std::string indent = Text(GetLineIndent(line, we));
    const SInt32 length = WEGetTextLength(we);
    Insert(length, char(kReturn) + indent, we);
    PlaceInsertion(WEGetTextLength(we), we);
  }
  SetFlux(we, true);
  CurrentKeyCode = 0;
}

void AutoIndent(SInt32 offset, WEReference we) {
  if (we == nullptr) return;
  // The insertion below is a change too: a change callback that indents on
  // Return must not indent again for it.
  CurrentKeyCode = 0;
  const std::string indent = Text(GetLineIndent(WEOffsetToLine(offset, we), we));
  if (indent.empty()) return;
  WEBeginAction(we);
  Insert(offset + 1, indent, we);
  PlaceInsertion(offset + 1 + SInt32(indent.size()), we);
  WEEndAction(weAKUnspecified, we);
}
