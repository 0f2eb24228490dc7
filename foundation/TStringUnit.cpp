#include "TStringUnit.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "MacMemory.h"
#include "Multiprocessing.h"
#include "PascalCarbonCommon.h"

namespace {

constexpr UInt8 kCR = 13;
constexpr UInt8 kLF = 10;

bool IsWordCharacter(UInt8 c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}

bool IsHighSurrogate(UniChar u) { return u >= 0xD800 && u <= 0xDBFF; }
bool IsLowSurrogate(UniChar u) { return u >= 0xDC00 && u <= 0xDFFF; }

bool IsValidUTF8(const UInt8* s, Size n) {
  CFStringRef probe = CFStringCreateWithBytes(nullptr, s, CFIndex(n), kCFStringEncodingUTF8, false);
  if (probe == nullptr) return false;
  CFRelease(probe);
  return true;
}

}  // namespace

// ---------------------------------------------------------------------------
// Construction

void TString::ReleaseText() {
  if (fText != nullptr && fOwned) CFRelease(fText);
  fText = nullptr;
  fOwned = false;
}

CFMutableStringRef TString::EnsureText() {
  if (fText == nullptr) {
    fText = CFStringCreateMutable(nullptr, 0);
    fOwned = true;
  }
  return fText;
}

// The short string in the object's encoding; bytes that are not valid in it
// (Mac Roman text in a UTF-8 object) are read as Mac Roman.
CFStringRef TString::CreateCFString(const Str255& text) {
  CFStringRef s = CFStringCreateWithPascalString(nullptr, text, fEncoding);
  if (s == nullptr) s = CFStringCreateWithPascalString(nullptr, text, kCFStringEncodingMacRoman);
  return s;
}

CFRange TString::Clamp(SInt32 first, SInt32 end) {
  const CFIndex length = CFStringGetLength(fText);
  CFIndex f = std::clamp<CFIndex>(first, 0, length);
  CFIndex e = std::clamp<CFIndex>(end, 0, length);
  return CFRangeMake(f, e > f ? e - f : 0);
}

void TString::Initialize() {
  if (fLineEnding == 0) fLineEnding = kCR;
}

void TString::Create(CFMutableStringRef text) {
  Initialize();
  ReleaseText();
  fText = text;
  fOwned = false;
}

void TString::CreateCopy(CFStringRef text) {
  Initialize();
  ReleaseText();
  fText = text ? CFStringCreateMutableCopy(nullptr, 0, text) : CFStringCreateMutable(nullptr, 0);
  fOwned = true;
}

void TString::CreateEmpty() {
  Initialize();
  ReleaseText();
  fText = CFStringCreateMutable(nullptr, 0);
  fOwned = true;
}

void TString::CreateWithString(const Str255& text) {
  CreateEmpty();
  CFStringRef s = CreateCFString(text);
  if (s) {
    CFStringAppend(fText, s);
    CFRelease(s);
  }
}

void TString::SetFileBytes(const UInt8* bytes, Size count) {
  ReleaseText();
  if (bytes == nullptr || count <= 0) return;
  const UInt8* nul = static_cast<const UInt8*>(std::memchr(bytes, 0, size_t(count)));
  if (nul != nullptr) count = nul - bytes;
  if (count == 0) return;
  fFileEncoding = IsValidUTF8(bytes, count) ? kCFStringEncodingUTF8 : kCFStringEncodingMacRoman;
  CFStringRef s = CFStringCreateWithBytes(nullptr, bytes, CFIndex(count), fFileEncoding, false);
  if (s == nullptr) return;
  fText = CFStringCreateMutableCopy(nullptr, 0, s);
  fOwned = true;
  CFRelease(s);
}

Ptr TString::CreateFileBytes(OSStatus& status) {
  const CFIndex length = CFStringGetLength(fText);
  CFIndex size = 0;
  CFIndex converted =
      length ? CFStringGetBytes(fText, CFRangeMake(0, length), fFileEncoding, 0, false, nullptr, 0, &size) : 0;
  if (converted != length) {
    status = kTECUnmappableElementErr;
    return nullptr;
  }
  Ptr block = NewPtr(size);
  if (block == nullptr) {
    status = memFullErr;
    return nullptr;
  }
  if (size > 0)
    CFStringGetBytes(fText, CFRangeMake(0, length), fFileEncoding, 0, false, reinterpret_cast<UInt8*>(block), size,
                     nullptr);
  status = noErr;
  return block;
}

// CreateWithFile and Save live in TStringUnit+Files.cpp.

void TString::Release() {
  ReleaseText();
  ReleasePtr(fBytes);
  fBytesLength = 0;
  delete this;
}

// ---------------------------------------------------------------------------
// Editing

void TString::Append(CFStringRef text) {
  if (text) CFStringAppend(EnsureText(), text);
}

void TString::AppendLine(const Str255& line) {
  CFStringRef s = CreateCFString(line);
  if (s) {
    CFStringAppend(EnsureText(), s);
    CFRelease(s);
  }
  Str255 ending;
  ending += fLineEnding;
  CFStringRef e = CreateCFString(ending);
  if (e) {
    CFStringAppend(EnsureText(), e);
    CFRelease(e);
  }
}

void TString::Insert(SInt32 position, const Str255& text) {
  CFMutableStringRef t = EnsureText();
  CFStringRef s = CreateCFString(text);
  if (s == nullptr) return;
  CFStringInsert(t, std::clamp<CFIndex>(position, 0, CFStringGetLength(t)), s);
  CFRelease(s);
}

void TString::Delete(SInt32 first, SInt32 end) {
  if (fText == nullptr) return;
  CFRange r = Clamp(first, end);
  if (r.length > 0) CFStringDelete(fText, r);
}

void TString::DeleteCharacter(SInt32 index) {
  const CFIndex length = CFStringGetLength(fText);
  CFIndex i = CFIndex(index) + 1 > length ? CFIndex(index) - 1 : CFIndex(index);
  if (i < 0 || i >= length) return;
  CFRange r = CFRangeMake(i, 1);
  UniChar u = CFStringGetCharacterAtIndex(fText, i);
  if (IsHighSurrogate(u) && i + 1 < length && IsLowSurrogate(CFStringGetCharacterAtIndex(fText, i + 1))) {
    r.length = 2;
  } else if (IsLowSurrogate(u) && i > 0 && IsHighSurrogate(CFStringGetCharacterAtIndex(fText, i - 1))) {
    r = CFRangeMake(i - 1, 2);
  }
  CFStringDelete(fText, r);
}

void TString::Clear() {
  const CFIndex length = CFStringGetLength(fText);
  if (length > 0) CFStringDelete(fText, CFRangeMake(0, length));
}

void TString::Replace(SInt32 first, SInt32 end, const Str255& text) {
  CFStringRef s = CreateCFString(text);
  if (s == nullptr) return;
  ReplaceLong(first, end, s);
  CFRelease(s);
}

void TString::ReplaceLong(SInt32 first, SInt32 end, CFStringRef text) {
  if (text == nullptr) return;
  EnsureText();
  CFStringReplace(fText, Clamp(first, end), text);
}

void TString::FindAndReplace(const Str255& find, const Str255& replacement) {
  if (fText == nullptr || find.empty()) return;
  CFStringRef f = CreateCFString(find);
  CFStringRef r = CreateCFString(replacement);
  if (f && r) CFStringFindAndReplace(fText, f, r, CFRangeMake(0, CFStringGetLength(fText)), 0);
  if (f) CFRelease(f);
  if (r) CFRelease(r);
}

Boolean TString::Find(const Str255& text, CFOptionFlags options) {
  if (fText == nullptr) return false;
  CFStringRef s = CreateCFString(text);
  if (s == nullptr) return false;
  CFRange found = CFStringFind(fText, s, options);
  CFRelease(s);
  return found.location != kCFNotFound && found.length > 0;
}

Boolean TString::FindAdvanced(const Str255& text, CFRange& range, CFOptionFlags options) {
  if (fText == nullptr || range.length < 0) return false;
  const CFIndex length = CFStringGetLength(fText);
  CFIndex first = std::clamp<CFIndex>(range.location, 0, length);
  CFIndex end = range.length > length - first ? length : first + range.length;
  CFStringRef s = CreateCFString(text);
  if (s == nullptr) return false;
  CFRange found{};
  Boolean ok = CFStringFindWithOptions(fText, s, CFRangeMake(first, end - first), options, &found);
  CFRelease(s);
  if (ok) range = CFRangeMake(found.location, found.location + found.length);
  return ok;
}

// ---------------------------------------------------------------------------
// Queries

SInt32 TString::GetLength() { return SInt32(CFStringGetLength(fText)); }

Str255 TString::GetRange(SInt32 first, SInt32 end) {
  Str255 result;
  if (fText == nullptr) return result;
  CFRange r = Clamp(first, end);
  if (r.length == 0) return result;
  CFIndex used = 0;
  CFStringGetBytes(fText, r, fEncoding, 0, false, result.data() + 1, 254, &used);
  result.SetLength(int(used));
  return result;
}

Ptr TString::GetExtendedRange(SInt32 first, SInt32 count) {
  const CFIndex length = CFStringGetLength(fText);
  const CFIndex from = std::clamp<CFIndex>(first, 0, length);
  const CFRange r = CFRangeMake(from, std::clamp<CFIndex>(count, 0, length - from));
  if (r.length == 0) return nullptr;
  Ptr block = NewPtrClear(length);
  if (block == nullptr) return nullptr;
  CFIndex used = 0;
  CFStringGetBytes(fText, r, kCFStringEncodingMacRoman, 0, false, reinterpret_cast<UInt8*>(block), length, &used);
  if (used == 0) {
    DisposePtr(block);
    return nullptr;
  }
  return block;
}

UInt8 TString::GetCharacter(SInt32 index) {
  const CFIndex length = CFStringGetLength(fText);
  CFIndex i = CFIndex(index) + 1 > length ? CFIndex(index) - 1 : CFIndex(index);
  if (i < 0 || i >= length) return 0;
  UInt8 byte = 0;
  CFIndex used = 0;
  CFStringGetBytes(fText, CFRangeMake(i, 1), fEncoding, 0, false, &byte, 1, &used);
  return used == 1 ? byte : 0;
}

Str255 TString::GetPascalString() {
  Str255 result;
  if (fText == nullptr || !CFStringGetPascalString(fText, result.data(), 256, fEncoding)) result.Clear();
  return result;
}

UniChar* TString::GetUnicodeString() { return fText ? CreateUnicodeString(fText) : nullptr; }

UniChar* TString::GetUnicodeRange(SInt32 first, SInt32 end) {
  if (fText == nullptr) return nullptr;
  CFRange r = Clamp(first, end);
  if (r.length == 0) return nullptr;
  auto* block = reinterpret_cast<UniChar*>(NewPtr(r.length * Size(sizeof(UniChar))));
  if (block) CFStringGetCharacters(fText, r, block);
  return block;
}

void TString::GetLineRange(SInt32 index, CFRange* range, Str255* string) {
  const CFIndex length = CFStringGetLength(fText);
  auto isEnding = [&](CFIndex i) {
    UniChar u = CFStringGetCharacterAtIndex(fText, i);
    return u == kCR || u == kLF;
  };
  CFIndex first = 0, last = -1;
  if (length > 0) {
    CFIndex i = std::clamp<CFIndex>(index, 0, length - 1);
    // On a line ending, the line is the one it ends (CR LF is one ending).
    CFIndex back = i;
    if (isEnding(i)) {
      back = i - 1;
      if (CFStringGetCharacterAtIndex(fText, i) == kLF && back >= 0 &&
          CFStringGetCharacterAtIndex(fText, back) == kCR)
        --back;
      last = back;
    } else {
      last = i;
      while (last + 1 < length && !isEnding(last + 1)) ++last;
    }
    first = back + 1;
    while (first > 0 && !isEnding(first - 1)) --first;
  }
  if (range) *range = CFRangeMake(first, last);
  if (string) {
    string->Clear();
    if (last >= first) {
      CFIndex used = 0;
      CFStringGetBytes(fText, CFRangeMake(first, last - first + 1), fEncoding, '?', false, string->data() + 1, 255,
                       &used);
      string->SetLength(int(used));
    }
  }
}

void TString::SetLineEndings(UInt8 character) { fLineEnding = character; }

void TString::SetEncoding(CFStringEncoding encoding) { fEncoding = encoding; }

// ---------------------------------------------------------------------------
// Diagnostics

void TString::Show() { CFShow(fText); }

void TString::ShowIndex(SInt32 index) {
  Str255 one;
  one += GetCharacter(index);
  CFStringRef s = CreateCFString(one);
  CFShow(s);
  if (s) CFRelease(s);
}

void TString::ShowOffsets() {
  CFShow(fText);
  const CFIndex count = std::min<CFIndex>(CFStringGetLength(fText), 255);
  Str255 ruler;
  for (CFIndex p = 1; p <= count; ++p) ruler += UInt8('0' + (p >= 100 ? p / 100 : p >= 10 ? p / 10 : p));
  CFStringRef s = CFStringCreateWithPascalString(nullptr, ruler, kCFStringEncodingMacRoman);
  CFShow(s);
  if (s) CFRelease(s);
}

// ---------------------------------------------------------------------------
// The scanner

void TString::Parse(Boolean threaded) {
  // Made afresh every time: the text may have changed since the last scan.
  ReleasePtr(fBytes);
  fBytesLength = 0;
  const CFIndex length = CFStringGetLength(fText);
  if (length > 0) {
    // One byte per UTF-16 unit, so that a byte's index is the character's position.
    std::vector<UniChar> units(static_cast<size_t>(length));
    CFStringGetCharacters(fText, CFRangeMake(0, length), units.data());
    for (UniChar& u : units)
      if (u >= 0xD800 && u <= 0xDFFF) u = '?';
    CFStringRef flat = CFStringCreateWithCharacters(nullptr, units.data(), length);
    fBytes = NewPtr(length);
    if (flat && fBytes) {
      CFIndex used = 0;
      CFStringGetBytes(flat, CFRangeMake(0, length), kCFStringEncodingMacRoman, '?', false,
                       reinterpret_cast<UInt8*>(fBytes), length, &used);
      fBytesLength = SInt32(used);
    }
    if (flat) CFRelease(flat);
  }
  if (threaded) {
    auto* task = new TStringParserTask();
    task->fString = this;
    fTask = task;
    task->Start();
    if (Err != noErr) task->Release();  // no worker: the scan ends here, reported once
  } else {
    fTask = nullptr;
    RunParser();
  }
}

void TString::RunParser() {
  Str255 word;
  const Str255 none;
  Boolean stop = false;
  const auto* bytes = reinterpret_cast<const UInt8*>(fBytes);
  for (SInt32 i = 0; bytes != nullptr && i < fBytesLength && !stop; ++i) {
    if ((i & 1023) == 0 && MPTaskShouldStop()) break;
    const UInt8 c = bytes[i];
    if (IsWordCharacter(c)) {
      word += c;
      ParserState(i, c, none, stop);
    } else {
      Str255 completed = word;
      word.Clear();
      ParserState(i, c, completed, stop);
    }
  }
  // The task lets go of the string before ParserTerminated, which may be the
  // owner's signal that the string can go.
  if (fTask != nullptr) {
    fTask->fFinished = true;
    fTask = nullptr;
  }
  ParserTerminated();
}

void TString::ParserTerminated() {}

void TString::ParserState(SInt32 index, UInt8 character, const Str255& word, Boolean& stop) {}

// ---------------------------------------------------------------------------
// The worker task

void TStringParserTask::Run() {
  if (fString) fString->RunParser();
}

void TStringParserTask::Release() {
  // A task that ended inside the scan (stopped in a ParserState that waited
  // on the main thread) has not reported its end yet.
  if (fString != nullptr && !fFinished) {
    if (fString->fTask == this) fString->fTask = nullptr;
    fString->ParserTerminated();
  }
  TTask::Release();
}
