// The text engine's store: text, lines, style runs, attributes, selection,
// undo, find and words, properties.
#include <glib.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <new>

#include "MacMemory.h"
#include "WEFileCodec.h"
#include "WEInternal.h"

using namespace we;

namespace {

constexpr UniChar kCR = 13;

// --- Mac Roman ------------------------------------------------------------------------

struct MacRomanTables {
  UniChar upper[128];
  std::unordered_map<UniChar, UInt8> reverse;
  MacRomanTables() {
    for (int b = 0x80; b <= 0xFF; ++b) {
      UInt8 byte = UInt8(b);
      UniChar u = 0xFFFD;
      if (CFStringRef s = CFStringCreateWithBytes(nullptr, &byte, 1, kCFStringEncodingMacRoman, false)) {
        if (CFStringGetLength(s) == 1) u = CFStringGetCharacterAtIndex(s, 0);
        CFRelease(s);
      }
      upper[b - 0x80] = u;
      reverse.emplace(u, byte);
    }
  }
};

const MacRomanTables& Roman() {
  static const MacRomanTables tables;
  return tables;
}

// --- Attributes ------------------------------------------------------------------------

// Defaults of the built-in attributes, read when a style does not hold them.
bool DefaultAttribute(FourCharCode tag, std::string* out) {
  switch (tag) {
    case 'font': {
      const SInt16 family = 4;  // a monospaced family
      *out = std::string(reinterpret_cast<const char*>(&family), 2);
      return true;
    }
    case 'ptsz': {
      const Fixed size = 12 << 16;
      *out = std::string(reinterpret_cast<const char*>(&size), 4);
      return true;
    }
    case 'colr': *out = std::string(6, '\0'); return true;
    case 'bold': case 'ital': case 'undl': *out = std::string(1, '\0'); return true;
    case 'ledg': *out = std::string(8, '\0'); return true;
    case 'lein': *out = std::string(4, '\0'); return true;
  }
  return false;
}

bool AttributeAffectsLayout(FourCharCode tag) {
  switch (tag) {
    case 'font': case 'ptsz': case 'colr': case 'bold': case 'ital': case 'undl': case 'plan': case 'pbcl':
    case 'ledg': case 'lein':
      return true;
  }
  return false;
}

// --- Runs ------------------------------------------------------------------------------

// The run holding pos (the last one for the end), looked for first at the run
// found last and the one after it.
SInt32 RunOf(WEReference we, SInt32 pos) {
  const SInt32 parts = we->runs.Partitions();
  for (SInt32 r = we->runHint; r <= we->runHint + 1 && r < parts; ++r)
    if (r >= 0 && we->runs.Start(r) <= pos && pos < we->runs.Start(r + 1)) return we->runHint = r;
  return we->runHint = we->runs.PartitionOf(pos);
}

// The paragraph holding pos, looked for first where the last one was found.
SInt32 LineOf(WEReference we, SInt32 pos) {
  const SInt32 parts = we->lines.Partitions();
  for (SInt32 l = we->lineHint; l <= we->lineHint + 1 && l < parts; ++l)
    if (l >= 0 && we->lines.Start(l) <= pos && pos < we->lines.Start(l + 1)) return we->lineHint = l;
  return we->lineHint = we->lines.PartitionOf(pos);
}

SInt32 SplitRunAt(WEReference we, SInt32 pos) {
  if (pos >= we->runs.Length()) return pos == 0 ? 0 : we->runs.Partitions();
  const SInt32 r = RunOf(we, pos);
  if (we->runs.Start(r) == pos) return r;
  we->runs.Insert(r + 1, pos);
  we->runStyles.Insert(r + 1, we->runStyles.ValueAt(r));
  return r + 1;
}

// Joins neighbouring runs of one style among runs from - 1 .. to + 1.
void MergeRuns(WEReference we, SInt32 from, SInt32 to) {
  for (SInt32 k = std::min(to + 1, we->runs.Partitions() - 1); k >= std::max<SInt32>(1, from); --k) {
    if (k < we->runs.Partitions() && we->runStyles.ValueAt(k) == we->runStyles.ValueAt(k - 1)) {
      we->runs.Remove(k);
      we->runStyles.Delete(k);
    }
  }
}

std::vector<RunCopy> CopyRuns(WEReference we, SInt32 start, SInt32 end) {
  std::vector<RunCopy> out;
  if (end <= start) return out;
  for (SInt32 r = we->runs.PartitionOf(start); r < we->runs.Partitions() && we->runs.Start(r) < end; ++r)
    out.push_back({std::max(we->runs.Start(r), start) - start, we->runStyles.ValueAt(r)});
  return out;
}

// The remembered extents follow the text as the runs do. An end stays known
// where the change leaves the characters on both sides of it as they were;
// otherwise the extent is looked for again at the next question.
bool ExtentValueOf(WEReference we, UInt32 style, const AttributeExtent& x) {
  const StyleValue v = we->styles[style].Find(x.tag);
  return (v != nullptr) == x.present && (v == nullptr || *v == x.value);
}

void ExtentsDeleted(WEReference we, SInt32 pos, SInt32 n) {
  for (AttributeExtent& x : we->extents) {
    if (!x.valid) continue;
    if (pos + n < x.start) {
      x.start -= n;
      x.end -= n;
    } else if (pos > x.end) {
      // after it, with a character between
    } else if (pos > x.start && pos + n < x.end) {
      x.end -= n;
    } else {
      x.valid = false;
    }
  }
}

void ExtentsInserted(WEReference we, SInt32 pos, SInt32 n, UInt32 style) {
  for (AttributeExtent& x : we->extents) {
    if (!x.valid) continue;
    const bool same = ExtentValueOf(we, style, x);
    if (pos < x.start) {
      x.start += n;
      x.end += n;
    } else if (pos == x.start) {
      if (!same) x.start += n;
      x.end += n;
    } else if (pos < x.end) {
      if (same)
        x.end += n;
      else
        x.valid = false;
    } else if (pos == x.end) {
      if (same) x.end += n;
    }
  }
}

// The characters start .. end went from style before to style after: the
// extents of the tags whose value stayed keep their ends.
void ExtentsRestyled(WEReference we, SInt32 start, SInt32 end, UInt32 before, UInt32 after) {
  for (AttributeExtent& x : we->extents) {
    if (!x.valid || end < x.start || start > x.end) continue;
    const StyleValue b = we->styles[before].Find(x.tag);
    const StyleValue a = we->styles[after].Find(x.tag);
    if ((a == nullptr) != (b == nullptr) || (a != nullptr && *a != *b)) x.valid = false;
  }
}

void ForgetExtentsIn(WEReference we, SInt32 start, SInt32 end) {
  for (AttributeExtent& x : we->extents)
    if (x.valid && end >= x.start && start <= x.end) x.valid = false;
}

void DeleteRuns(WEReference we, SInt32 pos, SInt32 n) {
  if (n <= 0) return;
  ExtentsDeleted(we, pos, n);
  const SInt32 i = SplitRunAt(we, pos);
  const SInt32 j = SplitRunAt(we, pos + n);
  for (SInt32 k = j - 1; k > i; --k) {
    we->runs.Remove(k);
    we->runStyles.Delete(k);
  }
  we->runs.Grow(i, -n);
  if (we->runs.Partitions() == 1) return;  // the text is empty: its one run keeps a style
  if (i == 0) {
    we->runStyles.SetValueAt(0, we->runStyles.ValueAt(1));
    we->runs.Remove(1);
    we->runStyles.Delete(1);
    MergeRuns(we, 0, 1);
  } else {
    we->runs.Remove(i);
    we->runStyles.Delete(i);
    MergeRuns(we, i - 1, i);
  }
}

void InsertRun(WEReference we, SInt32 pos, SInt32 n, UInt32 style) {
  if (n <= 0) return;
  if (we->runs.Length() == 0) {
    ForgetExtents(we);
    we->runStyles.SetValueAt(0, style);
    we->runs.Grow(0, n);
    return;
  }
  ExtentsInserted(we, pos, n, style);
  const SInt32 i = SplitRunAt(we, pos);
  we->runs.Insert(i, pos);
  we->runStyles.Insert(i, style);
  we->runs.Grow(i, n);
  MergeRuns(we, i, i + 1);
}

void InsertRuns(WEReference we, SInt32 pos, SInt32 n, const std::vector<RunCopy>& runs) {
  for (size_t k = 0; k < runs.size(); ++k) {
    const SInt32 s = std::clamp(runs[k].start, 0, n);
    const SInt32 e = k + 1 < runs.size() ? std::clamp(runs[k + 1].start, s, n) : n;
    InsertRun(we, pos + s, e - s, runs[k].style);
  }
}

// Gives start .. end exactly the runs (relative starts, the first at 0).
void RestoreRuns(WEReference we, SInt32 start, SInt32 end, const std::vector<RunCopy>& runs) {
  if (end <= start || runs.empty()) return;
  ForgetExtentsIn(we, start, end);
  const SInt32 i = SplitRunAt(we, start);
  const SInt32 j = SplitRunAt(we, end);
  for (SInt32 k = j - 1; k > i; --k) {
    we->runs.Remove(k);
    we->runStyles.Delete(k);
  }
  we->runStyles.SetValueAt(i, runs[0].style);
  SInt32 at = i;
  for (size_t k = 1; k < runs.size(); ++k) {
    const SInt32 pos = start + runs[k].start;
    if (pos <= we->runs.Start(at) || pos >= end) continue;
    we->runs.Insert(at + 1, pos);
    we->runStyles.Insert(at + 1, runs[k].style);
    ++at;
  }
  MergeRuns(we, i, at + 1);
}

void InvalidateRange(WEReference we, SInt32 start, SInt32 end) {
  LayoutInvalidate(we, we->lines.PartitionOf(start), we->lines.PartitionOf(end));
}

// --- Text changes ----------------------------------------------------------------------

// The raw replacement: text, lines, runs and layout; no undo, selection or hooks.
void ApplyText(WEReference we, SInt32 start, SInt32 removeLength, const UniChar* chars, SInt32 count,
               const std::vector<RunCopy>* runs, UInt32 style) {
  for (SInt32* held : we->heldOffsets) {
    if (*held < start) continue;
    *held = *held >= start + removeLength ? *held + count - removeLength : start + count;
  }
  const SInt32 line0 = we->lines.PartitionOf(start);
  if (removeLength > 0) {
    SInt32 breaks = 0;
    for (SInt32 p = start; p < start + removeLength; ++p)
      if (we->text.ValueAt(p) == kCR) ++breaks;
    for (SInt32 k = 0; k < breaks; ++k) we->lines.Remove(line0 + 1);
    we->lines.Grow(line0, -removeLength);
    if (breaks > 0) LayoutLinesRemoved(we, line0 + 1, breaks);
    DeleteRuns(we, start, removeLength);
    we->text.DeleteRange(start, removeLength);
  }
  if (count > 0) {
    we->text.InsertMany(start, chars, count);
    we->lines.Grow(line0, count);
    SInt32 added = 0;
    for (SInt32 r = 0; r < count; ++r) {
      r = SInt32(WESkipPlainUnits(chars, size_t(r), size_t(count)));
      if (r < count && chars[r] == kCR) we->lines.Insert(line0 + ++added, start + r + 1);
    }
    if (added > 0) LayoutLinesInserted(we, line0 + 1, added);
    if (runs != nullptr && !runs->empty())
      InsertRuns(we, start, count, *runs);
    else
      InsertRun(we, start, count, style);
    LayoutInvalidate(we, line0, line0 + added);
  } else {
    LayoutInvalidate(we, line0, line0);
  }
}

// The count of a text whose saved state no undo can reach.
constexpr SInt32 kModCountUnreachable = 1 << 30;

void Flux(WEReference we, SInt32 offset, SInt32 delta) {
  if (we->fluxHook) we->fluxHook(offset, delta, we);
}

// Reports a change made at start (the text already holds it). A
// replacement is two reports, the new text first and then the removal just
// after it, so that whoever reads a report as the text inserted there (a
// re-parse, word tracking, an auto-indent after Return) gets all of it. A
// change a hook makes during the first report moves the second one with
// the text.
void Report(WEReference we, SInt32 start, SInt32 removed, SInt32 inserted) {
  if (we->fluxHook == nullptr) return;
  if (removed == 0 || inserted == 0) {
    Flux(we, start, inserted - removed);
    return;
  }
  SInt32 junction = start + inserted;
  we->heldOffsets.push_back(&junction);
  Flux(we, start, inserted);
  we->heldOffsets.erase(std::find(we->heldOffsets.begin(), we->heldOffsets.end(), &junction));
  Flux(we, ClampOffset(we, junction), -removed);
}

// --- History across changes it does not record --------------------------------------

// A text change made while undo is off: offset .. offset + removed becomes
// inserted units. The steps already recorded are carried across it, from the
// newest to the oldest: a step before the change moves, a step after it lets
// the change through to the older text, and a step the change overlaps takes
// it in (undoing that step then puts back what the change replaced there as
// well), after which the older steps never saw it.
struct Unrecorded {
  SInt32 offset = 0, removed = 0, inserted = 0;
  std::u16string chars;  // what it removed, with its runs
  std::vector<RunCopy> runs;
  bool live = true;
};

// Runs of from .. to of a range whose runs are given, relative to from.
std::vector<RunCopy> SliceRuns(const std::vector<RunCopy>& runs, SInt32 from, SInt32 to) {
  std::vector<RunCopy> out;
  for (size_t k = 0; k < runs.size(); ++k) {
    const SInt32 s = runs[k].start;
    const SInt32 e = k + 1 < runs.size() ? runs[k + 1].start : INT32_MAX;
    if (e <= from || s >= to) continue;
    out.push_back({std::max(s, from) - from, runs[k].style});
  }
  return out;
}

void AppendRuns(std::vector<RunCopy>& to, const std::vector<RunCopy>& runs, SInt32 at) {
  for (const RunCopy& r : runs) to.push_back({r.start + at, r.style});
}

// A position of the text before the change, in the text after it: one at
// or inside the replaced range stays before the new text (an end), or goes
// after it (a start).
SInt32 MapEnd(const Unrecorded& x, SInt32 q) {
  if (q <= x.offset) return q;
  if (q >= x.offset + x.removed) return q + x.inserted - x.removed;
  return x.offset;
}

SInt32 MapStart(const Unrecorded& x, SInt32 q) {
  if (q < x.offset) return q;
  if (q >= x.offset + x.removed) return q + x.inserted - x.removed;
  return x.offset + x.inserted;
}

void MapSelection(const Unrecorded& x, Selection& sel) {
  if (!x.live) return;
  sel.start = MapEnd(x, sel.start);
  sel.end = MapEnd(x, sel.end);
  sel.anchor = MapEnd(x, sel.anchor);
}

// Carries one recorded change (the inverse the undo applies, in the text
// after it) across x, and x into the text before it.
void CarryChange(Unrecorded& x, Change& c) {
  const SInt32 o = c.offset, len = c.length;
  if (!c.text) {
    // A restyle keeps the length: its range and runs move with the text.
    const SInt32 end = MapEnd(x, o + len);
    c.offset = MapStart(x, o);
    c.length = std::max<SInt32>(0, end - c.offset);
    for (RunCopy& r : c.runs) r.start = std::max<SInt32>(0, MapEnd(x, o + r.start) - c.offset);
    return;
  }
  const SInt32 restored = SInt32(c.chars.size());
  if (x.offset + x.removed <= o) {
    c.offset += x.inserted - x.removed;
    return;
  }
  if (x.offset >= o + len) {
    x.offset += restored - len;
    return;
  }
  // Overlapping: the step takes the change in.
  const SInt32 start = std::min(o, x.offset);
  const SInt32 end = std::max(o + len, x.offset + x.removed) + x.inserted - x.removed;
  std::u16string chars;
  std::vector<RunCopy> runs;
  if (x.offset < o) {
    chars = x.chars.substr(0, size_t(o - x.offset));
    runs = SliceRuns(x.runs, 0, o - x.offset);
  }
  AppendRuns(runs, c.runs, SInt32(chars.size()));
  chars += c.chars;
  if (x.offset + x.removed > o + len) {
    const SInt32 from = o + len - x.offset;
    AppendRuns(runs, SliceRuns(x.runs, from, x.removed), SInt32(chars.size()));
    chars += x.chars.substr(size_t(from));
  }
  c.offset = start;
  c.length = end - start;
  c.chars = std::move(chars);
  c.runs = std::move(runs);
  x.live = false;
}

void CarryAction(Unrecorded& x, Action& a, bool pending) {
  if (!pending) MapSelection(x, a.after);
  for (auto it = a.changes.rbegin(); it != a.changes.rend() && x.live; ++it) CarryChange(x, *it);
  MapSelection(x, a.before);
}

void CarryHistory(WEReference we, SInt32 start, SInt32 removed, SInt32 inserted) {
  const bool pendingChanges = we->pending && !we->pending->changes.empty();
  if (we->undoStack.empty() && we->redoStack.empty() && !pendingChanges) return;
  Unrecorded change;
  change.offset = start;
  change.removed = removed;
  change.inserted = inserted;
  if (removed > 0) {
    change.chars = Copy(we, start, start + removed);
    change.runs = CopyRuns(we, start, start + removed);
  }
  Unrecorded undo = change;
  if (we->pending) CarryAction(undo, *we->pending, true);
  for (auto it = we->undoStack.rbegin(); it != we->undoStack.rend() && undo.live; ++it) CarryAction(undo, *it, false);
  Unrecorded redo = change;
  for (auto it = we->redoStack.rbegin(); it != we->redoStack.rend() && redo.live; ++it) CarryAction(redo, *it, false);
}

void Record(WEReference we, Change change) {
  if (!we->Feature(weFUndo)) return;
  we->redoStack.clear();
  if (!we->pending) return;  // every recording path opens an action first
  auto& changes = we->pending->changes;
  // Consecutive insertions join one change.
  if (change.text && change.chars.empty() && !changes.empty()) {
    Change& last = changes.back();
    if (last.text && last.chars.empty() && last.offset + last.length == change.offset) {
      last.length += change.length;
      return;
    }
  }
  changes.push_back(std::move(change));
}

// Applies a recorded change and answers its inverse.
Change ApplyChange(WEReference we, const Change& c) {
  Change inverse;
  inverse.text = c.text;
  inverse.offset = c.offset;
  const SInt32 end = std::min(c.offset + c.length, Length(we));
  if (c.text) {
    inverse.length = SInt32(c.chars.size());
    inverse.chars = Copy(we, c.offset, end);
    inverse.runs = CopyRuns(we, c.offset, end);
    const UInt32 style = StyleAt(we, c.offset);
    ApplyText(we, c.offset, end - c.offset, reinterpret_cast<const UniChar*>(c.chars.data()),
              SInt32(c.chars.size()), &c.runs, style);
    Report(we, c.offset, end - c.offset, SInt32(c.chars.size()));
  } else {
    inverse.length = c.length;
    inverse.runs = CopyRuns(we, c.offset, end);
    RestoreRuns(we, c.offset, end, c.runs);
    InvalidateRange(we, c.offset, end);
  }
  return inverse;
}

SInt32 ClampSigned(SInt64 v, SInt32 lo, SInt32 hi) { return SInt32(std::clamp<SInt64>(v, lo, hi)); }

bool DecodeText(const void* text, ByteCount length, TextEncoding encoding, std::vector<UniChar>* out) {
  out->clear();
  if (length == 0) return true;
  if (text == nullptr || length > ByteCount(INT32_MAX)) return false;
  const auto* bytes = static_cast<const UInt8*>(text);
  if (encoding == kTextEncodingMacRoman || encoding == 0xFFF) {
    out->resize(length);
    for (ByteCount i = 0; i < length; ++i) (*out)[i] = MacRomanChar(bytes[i]);
    return true;
  }
  if (encoding == kTextEncodingUnicodeDefault) {
    if (length % 2 != 0) return false;
    if (reinterpret_cast<uintptr_t>(bytes) % alignof(UniChar) == 0) {
      const auto* units = reinterpret_cast<const UniChar*>(bytes);
      out->assign(units, units + length / 2);  // no zero-filling first
    } else {
      out->resize(length / 2);
      std::memcpy(out->data(), bytes, length);
    }
    return true;
  }
  CFStringRef s = CFStringCreateWithBytes(nullptr, bytes, CFIndex(length), encoding, false);
  if (s == nullptr) return false;
  out->resize(size_t(CFStringGetLength(s)));
  CFStringGetCharacters(s, CFRangeMake(0, CFIndex(out->size())), out->data());
  CFRelease(s);
  return true;
}

UniChar Fold(UniChar c) {
  if (c >= 0xD800 && c <= 0xDFFF) return c;
  return UniChar(g_unichar_tolower(c));
}

}  // namespace

// ---------------------------------------------------------------------------
// Internal interface

namespace we {

size_t RoundToPages(size_t bytes) {
  static const size_t page = size_t(sysconf(_SC_PAGESIZE));
  return (bytes + page - 1) / page * page;
}

// A block in large pages starts on a large-page boundary (the system is
// asked for that much more and the ends are given back), so that all of it
// can be made of them.
void* MapBlock(size_t bytes, bool largePages) {
  constexpr size_t kLargePage = size_t(2) << 20;
  if (!largePages || bytes < kLargeBlock) {
    void* block = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    return block == MAP_FAILED ? nullptr : block;
  }
  void* mapped = mmap(nullptr, bytes + kLargePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (mapped == MAP_FAILED) return nullptr;
  const uintptr_t start = reinterpret_cast<uintptr_t>(mapped);
  const uintptr_t aligned = (start + kLargePage - 1) & ~uintptr_t(kLargePage - 1);
  if (aligned > start) munmap(mapped, aligned - start);
  const uintptr_t end = start + bytes + kLargePage;
  if (end > aligned + bytes) munmap(reinterpret_cast<void*>(aligned + bytes), end - (aligned + bytes));
  void* block = reinterpret_cast<void*>(aligned);
  madvise(block, bytes, MADV_HUGEPAGE);  // a hint: without large pages the block works all the same
  return block;
}

void* RemapBlock(void* block, size_t bytes, size_t newBytes) {
  void* moved = mremap(block, bytes, newBytes, MREMAP_MAYMOVE);  // keeps the block's advice
  return moved == MAP_FAILED ? nullptr : moved;
}

void UnmapBlock(void* block, size_t bytes) { munmap(block, bytes); }

void* AllocateLargeBlock(size_t bytes) {
  constexpr size_t kLargePage = size_t(2) << 20;
  void* block = nullptr;
  if (posix_memalign(&block, kLargePage, bytes) != 0) return nullptr;
  madvise(block, bytes, MADV_HUGEPAGE);  // a hint: without large pages the block works all the same
  return block;
}

std::vector<RunCopy> CopyStyleRuns(WEReference we, SInt32 start, SInt32 end) { return CopyRuns(we, start, end); }

std::string ToUTF8(const std::u16string& s) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    UInt32 c = s[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;  // a lone surrogate
    }
    char buf[6];
    const int n = g_unichar_to_utf8(c, buf);
    out.append(buf, size_t(n));
  }
  return out;
}

UInt8 MacRomanByte(UniChar c) {
  if (c < 0x80) return UInt8(c);
  const auto& r = Roman().reverse;
  auto it = r.find(c);
  return it == r.end() ? 0xFF : it->second;
}

UniChar MacRomanChar(UInt8 b) { return b < 0x80 ? UniChar(b) : Roman().upper[b - 0x80]; }

SInt32 Length(WEReference we) { return we->text.Length(); }

SInt32 ClampOffset(WEReference we, SInt32 offset) { return std::clamp(offset, 0, Length(we)); }

namespace {

// The packed entry at `at`: its tag and its value's size.
void EntryAt(const std::string& packed, size_t at, FourCharCode* tag, UInt32* size) {
  std::memcpy(tag, packed.data() + at, 4);
  std::memcpy(size, packed.data() + at + 4, 4);
}

// Where the entry of the tag is, or where it would go (the first entry of a
// greater tag, or the end).
size_t EntryOf(const std::string& packed, FourCharCode tag, bool* found) {
  size_t at = 0;
  while (at < packed.size()) {
    FourCharCode t;
    UInt32 n;
    EntryAt(packed, at, &t, &n);
    if (t >= tag) {
      *found = t == tag;
      return at;
    }
    at += 8 + n;
  }
  *found = false;
  return at;
}

}  // namespace

StyleValue Style::Find(FourCharCode tag) const {
  bool found = false;
  const size_t at = EntryOf(packed, tag, &found);
  if (!found) return StyleValue();
  FourCharCode t;
  UInt32 n;
  EntryAt(packed, at, &t, &n);
  return StyleValue(std::string_view(packed.data() + at + 8, n));
}

void Style::Set(FourCharCode tag, std::string_view value) {
  bool found = false;
  const size_t at = EntryOf(packed, tag, &found);
  const UInt32 n = UInt32(value.size());
  char head[8];
  std::memcpy(head, &tag, 4);
  std::memcpy(head + 4, &n, 4);
  std::string entry(head, 8);
  entry.append(value);
  if (found) {
    FourCharCode t;
    UInt32 old;
    EntryAt(packed, at, &t, &old);
    packed.replace(at, 8 + old, entry);
  } else {
    packed.insert(at, entry);
  }
}

void Style::Remove(FourCharCode tag) {
  bool found = false;
  const size_t at = EntryOf(packed, tag, &found);
  if (!found) return;
  FourCharCode t;
  UInt32 n;
  EntryAt(packed, at, &t, &n);
  packed.erase(at, 8 + n);
}

UInt32 StyleTable::Intern(const Style& style) {
  if (slots_.size() < 2 * (styles_.size() + 1)) Grow();
  const size_t mask = slots_.size() - 1;
  for (size_t slot = Hash(style.packed) & mask;; slot = (slot + 1) & mask) {
    const UInt32 held = slots_[slot];
    if (held == 0) {
      const UInt32 index = UInt32(styles_.size());
      styles_.push_back(style);
      styles_.back().packed.shrink_to_fit();
      slots_[slot] = index + 1;
      return index;
    }
    if (styles_[held - 1].packed == style.packed) return held - 1;
  }
}

void StyleTable::Grow() {
  std::vector<UInt32> slots(std::max<size_t>(64, slots_.size() * 2), 0);
  const size_t mask = slots.size() - 1;
  for (UInt32 i = 0; i < styles_.size(); ++i) {
    size_t slot = Hash(styles_[i].packed) & mask;
    while (slots[slot] != 0) slot = (slot + 1) & mask;
    slots[slot] = i + 1;
  }
  slots_ = std::move(slots);
}

UInt32 InternStyle(WEReference we, const Style& style) {
  const UInt32 index = we->styles.Intern(style);
  if (we->looks.size() < we->styles.size()) we->looks.resize(we->styles.size());
  return index;
}

void ForgetExtents(WEReference we) {
  for (AttributeExtent& x : we->extents) x.valid = false;
}

// Callers read along the text: the run is looked for first where the last
// one was found.
UInt32 StyleAt(WEReference we, SInt32 offset) { return we->runStyles.ValueAt(RunOf(we, ClampOffset(we, offset))); }

std::u16string Copy(WEReference we, SInt32 start, SInt32 end) {
  start = ClampOffset(we, start);
  end = ClampOffset(we, end);
  std::u16string out;
  if (end <= start) return out;
  out.resize(size_t(end - start));
  we->text.GetRange(reinterpret_cast<UniChar*>(out.data()), start, end - start);
  return out;
}

void BeginImplicit(WEReference we, WEActionKind kind) {
  if (we->actionDepth++ == 0) {
    we->pending = Action{};
    we->pending->kind = kind;
    we->pending->before = we->sel;
  }
}

void EndImplicit(WEReference we) {
  if (we->actionDepth <= 0) return;
  if (--we->actionDepth > 0) return;
  Action a = std::move(*we->pending);
  we->pending.reset();
  a.after = we->sel;
  if (a.changes.empty()) return;
  const bool typing = a.typing;
  if (typing && we->typingOpen && !we->undoStack.empty() && we->undoStack.back().typing) {
    Action& top = we->undoStack.back();
    for (auto& c : a.changes) {
      if (c.text && c.chars.empty() && !top.changes.empty()) {
        Change& last = top.changes.back();
        if (last.text && last.chars.empty() && last.offset + last.length == c.offset) {
          last.length += c.length;
          continue;
        }
      }
      top.changes.push_back(std::move(c));
    }
    top.after = a.after;
    top.mods += a.mods;
    return;
  }
  if (!we->Feature(weFMultipleUndo)) we->undoStack.clear();
  we->undoStack.push_back(std::move(a));
  we->typingOpen = typing;
}

void CloseTyping(WEReference we) { we->typingOpen = false; }

void Replace(WEReference we, SInt32 start, SInt32 end, const UniChar* chars, SInt32 count,
             const std::vector<RunCopy>* runs, bool typing) {
  start = ClampOffset(we, start);
  end = std::max(start, ClampOffset(we, end));
  const SInt32 removed = end - start;
  if (removed == 0 && count == 0) return;
  const SInt32 length = Length(we);

  // The style the new text takes.
  UInt32 style;
  const bool emptied = removed == length;
  if (we->nullStyle && (we->nullStyleOffset == start || emptied)) {
    style = *we->nullStyle;
  } else if (length == 0) {
    style = we->runStyles.ValueAt(0);
  } else if (removed > 0) {
    style = StyleAt(we, start);
  } else {
    style = StyleAt(we, start > 0 ? start - 1 : 0);
  }

  Change change;
  change.offset = start;
  change.length = count;
  const bool record = we->Feature(weFUndo);
  if (record && removed > 0) {
    change.chars = Copy(we, start, end);
    change.runs = CopyRuns(we, start, end);
  }
  if (!record) CarryHistory(we, start, removed, count);
  const SInt32 line0 = we->lines.PartitionOf(start), linesBefore = we->lines.Partitions();
  const SInt32 heightBefore = TextHeight(we);
  const SInt32 dirtyBefore = we->dirtyLast >= we->dirtyFirst ? we->dirtyFirst : -1;
  ApplyText(we, start, removed, chars, count, runs, style);
  if (Length(we) == 0) {
    ForgetExtents(we);
    we->runStyles.SetValueAt(0, style);
  }
  we->nullStyle.reset();
  if (we->pending) we->pending->typing = we->pending->typing || typing;
  // Below 0 the saved text lies in the redo steps, which a new change
  // throws away: no undo leads back to it any more.
  if (record && we->modCount < 0) we->modCount = kModCountUnreachable;
  we->modCount++;
  if (record && we->pending) we->pending->mods++;
  Record(we, std::move(change));

  // The selection follows the text.
  const SInt32 delta = count - removed;
  Selection& s = we->sel;
  auto move = [&](SInt32 p, bool isEnd) {
    if (p <= start) return p;
    if (p >= end) return p + delta;
    return isEnd ? start + count : start;
  };
  if (s.start >= start && s.end <= end) {
    s.start = s.end = s.anchor = start + count;
  } else {
    const bool anchorAtStart = s.anchor == s.start;
    s.start = move(s.start, false);
    s.end = move(s.end, true);
    s.anchor = anchorAtStart ? s.start : s.end;
  }
  BlinkReset(we);
  // Only the rows the change touched, unless it moved what follows.
  RedrawEdit(we, line0, we->lines.PartitionOf(start + count), we->lines.Partitions() != linesBefore, heightBefore,
             dirtyBefore);
  Report(we, start, removed, count);
}

// A caret placed far from the last edit: the text's gap and the indexes'
// steps move there now, as a click is handled, so that the first key typed
// there costs no more than the next (in a large text the move is most of a
// key's work).
void ReadyForEdit(WEReference we, SInt32 offset) {
  we->text.MoveGapTo(offset);
  const SInt32 run = RunOf(we, offset);
  we->runs.ReadyAt(run);
  we->runStyles.MoveGapTo(run + 1);
  const SInt32 line = LineOf(we, offset);
  we->lines.ReadyAt(line);
  we->paraY.ReadyAt(line);
  we->paras.MoveGapTo(line + 1);
}

void SetSelectionInternal(WEReference we, SInt32 anchor, SInt32 active, bool keepNullStyle) {
  anchor = ClampOffset(we, anchor);
  active = ClampOffset(we, active);
  const Selection old = we->sel;
  we->sel.anchor = anchor;
  we->sel.start = std::min(anchor, active);
  we->sel.end = std::max(anchor, active);
  if (!keepNullStyle && we->nullStyle && !(we->sel.start == we->sel.end && we->sel.start == we->nullStyleOffset) &&
      we->sel.start == we->sel.end)
    we->nullStyle.reset();
  if (old.start != we->sel.start || old.end != we->sel.end) {
    CloseTyping(we);
    BlinkReset(we);
    Redraw(we);
    if (we->sel.start == we->sel.end) ReadyForEdit(we, we->sel.start);
  }
}

SInt32 CharClass(UniChar c) {
  if (c == '_') return weCharClassUnderscore;
  if (c < 0x80) {
    if (c <= 0x20 || c == 0x7F) return weCharClassSpace;
    if (c >= '0' && c <= '9') return weCharClassDigit;
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) return weCharClassLetter;
    return weCharClassPunctuation;
  }
  if (c >= 0xD800 && c <= 0xDFFF) return weCharClassPunctuation;
  if (g_unichar_isspace(c) || g_unichar_iscntrl(c)) return weCharClassSpace;
  if (g_unichar_isdigit(c)) return weCharClassDigit;
  if (g_unichar_isalpha(c) || g_unichar_ismark(c)) return weCharClassLetter;
  return weCharClassPunctuation;
}

bool IsWordClass(SInt32 cls) {
  return cls == weCharClassLetter || cls == weCharClassDigit || cls == weCharClassUnderscore;
}

}  // namespace we

// ---------------------------------------------------------------------------
// Instances

OSStatus WENew(const LongRect* inDestRect, const LongRect* inViewRect, OptionBits inFeatures, WEReference* outWE) {
  if (outWE == nullptr) return paramErr;
  *outWE = nullptr;
  auto* we = new WEOpaqueRec;
  if (inDestRect) we->dest = *inDestRect;
  if (inViewRect) we->view = *inViewRect;
  we->features = inFeatures;
  we->viewRecord.owner = we;
  we->runStyles.Insert(0, InternStyle(we, Style{}));
  LayoutInit(we);
  *outWE = we;
  return noErr;
}

void WEDispose(WEReference we) {
  if (we == nullptr) return;
  BlinkStop(we);
  EventsDispose(we);
  LayoutDispose(we);
  delete we;
}

OSStatus WESetInfo(WESelector inSelector, const void* inInfo, WEReference we) {
  if (we == nullptr) return paramErr;
  auto ptr = [&](auto& field) {
    using T = std::remove_reference_t<decltype(field)>;
    field = inInfo ? *static_cast<const T*>(inInfo) : T{};
  };
  switch (inSelector) {
    case weTextFilterHook: ptr(we->filterHook); return noErr;
    case weFluxHook: ptr(we->fluxHook); return noErr;
    case weScrollHook: ptr(we->scrollHook); return noErr;
    case weCGEraseHook: ptr(we->eraseHook); return noErr;
    case weTranslateDragHook: ptr(we->translateDragHook); return noErr;
    case weCGContextInfo: ptr(we->context); return noErr;
    case weRefConInfo: ptr(we->refCon); return noErr;
    case weEndOfLineInfo: {
      const UInt32 ending = inInfo ? *static_cast<const UInt32*>(inInfo) : 0;
      if (ending < weEndOfLineCR || ending > weEndOfLineCRLF) return paramErr;
      we->lineEnding = UInt8(ending);
      return noErr;
    }
  }
  return paramErr;
}

OSStatus WEGetInfo(WESelector inSelector, void* outInfo, WEReference we) {
  if (we == nullptr || outInfo == nullptr) return paramErr;
  auto get = [&](const auto& field) {
    using T = std::remove_cv_t<std::remove_reference_t<decltype(field)>>;
    *static_cast<T*>(outInfo) = field;
  };
  switch (inSelector) {
    case weTextFilterHook: get(we->filterHook); return noErr;
    case weFluxHook: get(we->fluxHook); return noErr;
    case weScrollHook: get(we->scrollHook); return noErr;
    case weCGEraseHook: get(we->eraseHook); return noErr;
    case weTranslateDragHook: get(we->translateDragHook); return noErr;
    case weCGContextInfo: get(we->context); return noErr;
    case weRefConInfo: get(we->refCon); return noErr;
    case weEndOfLineInfo: *static_cast<UInt32*>(outInfo) = we->lineEnding; return noErr;
  }
  return paramErr;
}

SInt16 WEFeatureFlag(SInt16 inFeature, SInt16 inAction, WEReference we) {
  if (we == nullptr || inFeature < 0 || inFeature > 31) return -1;
  const SInt16 old = we->Feature(inFeature) ? 1 : 0;
  const OptionBits bit = 1u << inFeature;
  switch (inAction) {
    case weBitSet: we->features |= bit; break;
    case weBitClear: we->features &= ~bit; break;
    case weBitToggle: we->features ^= bit; break;
    default: return old;
  }
  const SInt16 now = we->Feature(inFeature) ? 1 : 0;
  if (now != old) {
    if (inFeature == weFMultipleUndo && !now && we->undoStack.size() > 1)
      we->undoStack.erase(we->undoStack.begin(), we->undoStack.end() - 1);
    if (inFeature == weFInhibitRedraw && !now) RedrawHeld(we);
    if (inFeature == weFInhibitRecal && !now) WECalText(we);
  }
  return old;
}

// ---------------------------------------------------------------------------
// Text

OSStatus WEPut(SInt32 inStart, SInt32 inEnd, const void* inText, ByteCount inTextLength, TextEncoding inEncoding,
               WEPutOptions inPutOptions, ItemCount, const FlavorType*, const Handle*, WEReference we) {
  if (we == nullptr) return paramErr;
  // UTF-16 in place goes in as it is: a whole file's text is not copied
  // once more on its way in.
  std::vector<UniChar> decoded;
  const UniChar* units = nullptr;
  size_t count = 0;
  if (inEncoding == kTextEncodingUnicodeDefault && inText != nullptr && inTextLength % 2 == 0 &&
      inTextLength <= ByteCount(INT32_MAX) && reinterpret_cast<uintptr_t>(inText) % alignof(UniChar) == 0) {
    units = static_cast<const UniChar*>(inText);
    count = inTextLength / 2;
  } else {
    if (!DecodeText(inText, inTextLength, inEncoding, &decoded)) return paramErr;
    units = decoded.data();
    count = decoded.size();
  }
  if (count > size_t(INT32_MAX - Length(we))) return memFullErr;
  SInt32 start = inStart == kCurrentSelection ? we->sel.start : inStart;
  SInt32 end = inEnd == kCurrentSelection ? we->sel.end : inEnd;
  if (start > end) std::swap(start, end);
  start = ClampOffset(we, start);
  end = ClampOffset(we, end);
  const bool typing = (inPutOptions & wePutAddToTypingSequence) != 0;
  if (!typing) CloseTyping(we);
  BeginImplicit(we, typing ? weAKTyping : weAKUnspecified);
  Replace(we, start, end, units, SInt32(count), nullptr, typing);
  EndImplicit(we);
  return noErr;
}

OSStatus WEDelete(WEReference we) {
  if (we == nullptr) return paramErr;
  if (we->sel.start == we->sel.end) return noErr;
  CloseTyping(we);
  BeginImplicit(we, weAKClear);
  Replace(we, we->sel.start, we->sel.end, nullptr, 0, nullptr, false);
  EndImplicit(we);
  return noErr;
}

OSStatus WEStreamRange(SInt32 inStart, SInt32 inEnd, FlavorType inType, OptionBits, Handle outData,
                       WEReference we) {
  if (we == nullptr || outData == nullptr || !IsHandleValid(outData)) return paramErr;
  SInt32 start = inStart == kCurrentSelection ? we->sel.start : inStart;
  SInt32 end = inEnd == kCurrentSelection ? we->sel.end : inEnd;
  start = ClampOffset(we, start);
  end = std::max(start, ClampOffset(we, end));
  const std::u16string chars = Copy(we, start, end);
  std::string bytes;
  switch (inType) {
    case 'utxt': bytes.assign(reinterpret_cast<const char*>(chars.data()), chars.size() * 2); break;
    case 'utf8': bytes = ToUTF8(chars); break;
    case 'TEXT':
      bytes.resize(chars.size());
      for (size_t i = 0; i < chars.size(); ++i) bytes[i] = char(MacRomanByte(chars[i]));
      break;
    default: return weUnsupportedFlavorErr;
  }
  SetHandleSize(outData, Size(bytes.size()));
  if (MemError() != noErr) return MemError();
  if (!bytes.empty()) std::memcpy(*outData, bytes.data(), bytes.size());
  return noErr;
}

UInt8 WEGetChar(SInt32 inOffset, WEReference we) {
  if (we == nullptr || inOffset < 0 || inOffset >= Length(we)) return 0;
  return MacRomanByte(we->text.ValueAt(inOffset));
}

SInt32 WEGetTextLength(WEReference we) { return we ? Length(we) : 0; }

OSStatus WEFindWord(SInt32 inOffset, WEEdge inEdge, SInt32* outStart, SInt32* outEnd, WEReference we) {
  if (we == nullptr) return paramErr;
  const SInt32 length = Length(we);
  SInt32 start = 0, end = 0;
  if (length > 0) {
    SInt32 c = std::clamp(inEdge == kLeadingEdge ? inOffset : inOffset - 1, 0, length - 1);
    const UniChar ch = we->text.ValueAt(c);
    const SInt32 cls = CharClass(ch);
    start = c;
    end = c + 1;
    if (ch == 13 || ch == 10) {
      // a line break stands alone
    } else if (IsWordClass(cls)) {
      while (start > 0 && IsWordClass(CharClass(we->text.ValueAt(start - 1)))) --start;
      while (end < length && IsWordClass(CharClass(we->text.ValueAt(end)))) ++end;
    } else if (cls == weCharClassSpace) {
      auto blank = [&](SInt32 p) {
        const UniChar u = we->text.ValueAt(p);
        return u != 13 && u != 10 && CharClass(u) == weCharClassSpace;
      };
      while (start > 0 && blank(start - 1)) --start;
      while (end < length && blank(end)) ++end;
    } else if (ch >= 0xD800 && ch <= 0xDBFF && end < length) {
      ++end;  // keep a surrogate pair whole
    } else if (ch >= 0xDC00 && ch <= 0xDFFF && start > 0) {
      --start;
    }
  }
  if (outStart) *outStart = start;
  if (outEnd) *outEnd = end;
  return noErr;
}

OSStatus WEFind(const char* inKey, SInt32 inKeyLength, TextEncoding inEncoding, OptionBits inMatchOptions,
                SInt32 inRangeStart, SInt32 inRangeEnd, SInt32* outMatchStart, SInt32* outMatchEnd, WEReference we) {
  if (we == nullptr || inKeyLength < 0) return paramErr;
  std::vector<UniChar> key;
  if (!DecodeText(inKey, ByteCount(inKeyLength), inEncoding, &key) || key.empty()) return paramErr;
  const SInt32 start = ClampOffset(we, inRangeStart);
  const SInt32 end = ClampOffset(we, inRangeEnd);
  const SInt32 n = SInt32(key.size());
  if (end - start < n) return weNotFoundErr;
  const bool fold = inMatchOptions & weFindCaseInsensitive;
  const bool whole = inMatchOptions & weFindWholeWords;
  if (fold)
    for (auto& c : key) c = Fold(c);
  const UniChar* text = we->text.RangePointer(0, Length(we));
  const UniChar first = key[0];
  for (SInt32 p = start; p + n <= end; ++p) {
    if ((fold ? Fold(text[p]) : text[p]) != first) continue;
    SInt32 k = 1;
    while (k < n && (fold ? Fold(text[p + k]) : text[p + k]) == key[k]) ++k;
    if (k < n) continue;
    if (whole) {
      if (p > 0 && IsWordClass(CharClass(text[p - 1])) && IsWordClass(CharClass(key[0]))) continue;
      if (p + n < Length(we) && IsWordClass(CharClass(text[p + n])) && IsWordClass(CharClass(key[n - 1]))) continue;
    }
    if (outMatchStart) *outMatchStart = p;
    if (outMatchEnd) *outMatchEnd = p + n;
    return noErr;
  }
  return weNotFoundErr;
}

OSStatus WEGetCharacterProperty(SInt32 inOffset, SInt32 inProperty, SInt32* outValue, WEReference we) {
  if (we == nullptr || outValue == nullptr || inProperty != weCharClassProperty) return paramErr;
  if (inOffset < 0 || inOffset >= Length(we)) return paramErr;
  *outValue = CharClass(we->text.ValueAt(inOffset));
  return noErr;
}

// ---------------------------------------------------------------------------
// Selection

void WEGetSelection(SInt32* outStart, SInt32* outEnd, WEReference we) {
  if (outStart) *outStart = we ? we->sel.start : 0;
  if (outEnd) *outEnd = we ? we->sel.end : 0;
}

void WESetSelection(SInt32 inStart, SInt32 inEnd, WEReference we) {
  if (we == nullptr) return;
  we->preferredX = -1;
  SetSelectionInternal(we, inStart, inEnd);
  // A selection set from outside is a jump: it shows with lines around it.
  if (we->Feature(weFAutoScroll)) ScrollToSelection(we, true);
}

SInt32 WEGetSelectionAnchor(WEReference we) { return we ? we->sel.anchor : 0; }

// ---------------------------------------------------------------------------
// Lines

SInt32 WEOffsetToLine(SInt32 inOffset, WEReference we) {
  if (we == nullptr) return 0;
  return we->lines.PartitionOf(ClampOffset(we, inOffset));
}

void WEGetLineRange(SInt32 inLineIndex, SInt32* outLineStart, SInt32* outLineEnd, WEReference we) {
  SInt32 start = 0, end = 0;
  if (we != nullptr) {
    const SInt32 line = std::clamp(inLineIndex, 0, we->lines.Partitions() - 1);
    start = we->lines.Start(line);
    end = we->lines.Start(line + 1);
  }
  if (outLineStart) *outLineStart = start;
  if (outLineEnd) *outLineEnd = end;
}

SInt32 WECountLines(WEReference we) { return we ? we->lines.Partitions() : 0; }

void WEPointToLongPoint(Point inPoint, LongPt* outLongPoint) {
  if (outLongPoint) *outLongPoint = LongPt{inPoint.v, inPoint.h};
}

void WELongPointToPoint(const LongPt* inLongPoint, Point* outPoint) {
  if (inLongPoint == nullptr || outPoint == nullptr) return;
  outPoint->v = SInt16(ClampSigned(inLongPoint->v, INT16_MIN, INT16_MAX));
  outPoint->h = SInt16(ClampSigned(inLongPoint->h, INT16_MIN, INT16_MAX));
}

// ---------------------------------------------------------------------------
// Undo

OSStatus WEBeginAction(WEReference we) {
  if (we == nullptr) return paramErr;
  CloseTyping(we);
  BeginImplicit(we, weAKUnspecified);
  return noErr;
}

OSStatus WEEndAction(WEActionKind inKind, WEReference we) {
  if (we == nullptr || we->actionDepth <= 0) return paramErr;
  if (we->actionDepth == 1) {
    we->pending->kind = inKind;
    we->pending->typing = false;  // an action of the caller's is a step of its own
  }
  EndImplicit(we);
  CloseTyping(we);
  return noErr;
}

OSStatus WEGetUndoInfo(Boolean* outRedoFlag, WEActionKind* outActionKind, WEReference we) {
  if (we == nullptr) return paramErr;
  if (outRedoFlag) *outRedoFlag = !we->redoStack.empty();
  if (outActionKind) *outActionKind = we->undoStack.empty() ? WEActionKind(weAKNone) : we->undoStack.back().kind;
  return noErr;
}

namespace {

OSStatus TakeBack(WEReference we, std::vector<Action>& from, std::vector<Action>& to, int sign) {
  if (we == nullptr) return paramErr;
  if (from.empty() || we->actionDepth > 0) return weCantUndoErr;
  Action a = std::move(from.back());
  from.pop_back();
  CloseTyping(we);
  Action inverse;
  inverse.kind = a.kind;
  inverse.before = a.after;
  inverse.after = a.before;
  inverse.mods = a.mods;
  // The step counted as many changes as were made, however many of them
  // it joined into one. Counted first, so that whoever hears of the changes
  // already reads the count they lead to (back to 0 at the saved text).
  we->modCount += sign * a.mods;
  for (auto it = a.changes.rbegin(); it != a.changes.rend(); ++it) inverse.changes.push_back(ApplyChange(we, *it));
  we->sel = a.before;
  we->sel.start = ClampOffset(we, we->sel.start);
  we->sel.end = ClampOffset(we, we->sel.end);
  we->sel.anchor = ClampOffset(we, we->sel.anchor);
  we->nullStyle.reset();
  to.push_back(std::move(inverse));
  Redraw(we);
  if (we->Feature(weFAutoScroll)) ScrollToSelection(we);
  return noErr;
}

}  // namespace

OSStatus WEUndo(WEReference we) { return we ? TakeBack(we, we->undoStack, we->redoStack, -1) : paramErr; }

OSStatus WERedo(WEReference we) { return we ? TakeBack(we, we->redoStack, we->undoStack, +1) : paramErr; }

UInt32 WEGetModCount(WEReference we) { return we ? UInt32(we->modCount) : 0; }

// The text as it stands becomes the reference (the saved text): typing
// after it is a step of its own, so that undoing that step comes back to it.
void WEResetModCount(WEReference we) {
  if (we == nullptr) return;
  we->modCount = 0;
  CloseTyping(we);
}

// ---------------------------------------------------------------------------
// Attributes

OSStatus WEGetOneAttribute(SInt32 inOffset, WESelector inAttributeTag, void* outValue, ByteCount inValueSize,
                           WEReference we) {
  if (we == nullptr || (outValue == nullptr && inValueSize > 0)) return paramErr;
  SInt32 offset = inOffset == kCurrentSelection ? we->sel.start : ClampOffset(we, inOffset);
  UInt32 style;
  if (we->nullStyle && we->nullStyleOffset == offset)
    style = *we->nullStyle;
  else
    style = StyleAt(we, offset);
  // Read where it is stored: callers ask for marks character by character.
  std::string fallback;
  StyleValue value = we->styles[style].Find(inAttributeTag);
  if (value == nullptr) {
    if (!DefaultAttribute(inAttributeTag, &fallback)) return weAttributeNotFoundErr;
    value = StyleValue(fallback);
  }
  if (inValueSize > 0) {
    std::memset(outValue, 0, inValueSize);
    std::memcpy(outValue, value->data(), std::min<size_t>(inValueSize, value->size()));
  }
  return noErr;
}

OSStatus WEGetAttributeExtent(SInt32 inOffset, WESelector inAttributeTag, SInt32* outStart, SInt32* outEnd,
                              WEReference we) {
  if (we == nullptr || outStart == nullptr || outEnd == nullptr) return paramErr;
  const SInt32 length = Length(we);
  const SInt32 offset = inOffset == kCurrentSelection ? we->sel.start : ClampOffset(we, inOffset);
  // The style the offset reads, and whether another style reads the same:
  // by style index, each compared once.
  const SInt32 run = we->runs.PartitionOf(offset);
  const UInt32 style = we->runStyles.ValueAt(run);
  StyleValue value = we->styles[style].Find(inAttributeTag);
  AttributeExtent* known = nullptr;
  for (AttributeExtent& x : we->extents)
    if (x.tag == inAttributeTag) known = &x;
  SInt32 start = 0, end = 0;
  if (known != nullptr && known->valid && offset >= known->start && offset < known->end &&
      ExtentValueOf(we, style, *known)) {
    start = known->start;
    end = known->end;
  } else {
    // The style the offset reads, and whether another style reads the same:
    // by style index, each compared once.
    std::vector<SInt8> same(we->styles.size(), -1);
    same[style] = 1;
    auto sameValue = [&](UInt32 other) {
      SInt8& k = same[other];
      if (k < 0) {
        const StyleValue v = we->styles[other].Find(inAttributeTag);
        k = (v == nullptr) == (value == nullptr) && (v == nullptr || *v == *value) ? 1 : 0;
      }
      return k == 1;
    };
    SInt32 first = run, last = run;
    while (first > 0 && sameValue(we->runStyles.ValueAt(first - 1))) --first;
    const SInt32 runs = we->runs.Partitions();
    while (last + 1 < runs && sameValue(we->runStyles.ValueAt(last + 1))) ++last;
    start = we->runs.Start(first);
    end = we->runs.Start(last + 1);
    if (known == nullptr) {
      known = &we->extents[we->nextExtent++ % we->extents.size()];
      known->tag = inAttributeTag;
    }
    known->valid = end > start;
    known->present = value != nullptr;
    known->value = value != nullptr ? *value : std::string();
    known->start = start;
    known->end = end;
  }
  start = std::min(start, offset);
  end = std::max(end, offset + 1);
  end = std::min(end, std::max<SInt32>(length, offset + 1));
  // The style the next typed text takes is read at its one offset.
  if (we->nullStyle && we->nullStyleOffset >= start && we->nullStyleOffset < end) {
    if (we->nullStyleOffset == offset) {
      start = offset;
      end = offset + 1;
    } else if (we->nullStyleOffset < offset) {
      start = we->nullStyleOffset + 1;
    } else {
      end = we->nullStyleOffset;
    }
  }
  *outStart = start;
  *outEnd = end;
  return noErr;
}

namespace {

// One attribute change as asked for: its key in the instance's tables, or,
// for a long value, the styles it made within this call.
struct AttributeChange {
  StyleChange key;
  bool remembered = true;
  const void* value = nullptr;
  ByteCount size = 0;
  std::vector<std::pair<UInt32, UInt32>> memo;

  AttributeChange(WESelector tag, const void* inValue, ByteCount inSize) : value(inValue), size(inSize) {
    key.tag = tag;
    key.kind = tag == 'plan' ? 2 : (inValue == nullptr && inSize > 0) ? 1 : 0;
    remembered = key.kind != 0 || inSize <= StyleChange::kMaxValue;
    if (key.kind == 2) {
      key.size = 1;
      key.value[0] = inValue != nullptr && inSize >= 1 && *static_cast<const UInt8*>(inValue) != 0;
    } else if (key.kind == 0 && remembered && inValue != nullptr) {
      key.size = UInt8(inSize);
      std::memcpy(key.value, inValue, inSize);
    }
  }

  // Whether the style holds this change's value (a change found by the
  // hash of its value made it only then).
  bool Made(WEReference we, UInt32 style) const {
    const StyleValue v = we->styles[style].Find(key.tag);
    return v && v->size() == key.size && std::memcmp(v->data(), key.value, key.size) == 0;
  }

  // The style this change makes of style `index`.
  UInt32 Apply(WEReference we, UInt32 index) {
    const FourCharCode tag = key.tag;
    RecentStyleChange* recent = nullptr;
    StyleChangeKey stored;
    if (remembered) {
      key.from = index;
      constexpr size_t kRecent = 1024;
      if (we->recentStyleChanges.empty()) we->recentStyleChanges.resize(kRecent);
      UInt32 valueBits = 0;
      std::memcpy(&valueBits, key.value, sizeof valueBits);
      const UInt32 slot = ((index * 0x9E3779B1u) ^ tag ^ (valueBits * 0x85EBCA6Bu) ^ key.kind) >> 22;
      recent = &we->recentStyleChanges[slot];
      if (recent->used && recent->change == key) return recent->to;
      stored = StyleChangeKey::Of(key);
      const UInt32* known = we->styleChanges.Find(stored);
      if (known != nullptr && (!stored.Hashed() || Made(we, *known))) {
        *recent = {key, *known, true};
        return *known;
      }
    } else {
      for (const auto& [from, to] : memo)
        if (from == index) return to;
    }
    Style s = we->styles[index];
    if (tag == 'plan') {
      if (key.value[0] != 0) {
        s.Remove('bold');
        s.Remove('ital');
        s.Remove('undl');
      }
    } else if (value == nullptr && size > 0) {
      s.Remove(tag);
    } else {
      s.Set(tag, std::string_view(static_cast<const char*>(value), value ? size : 0));
    }
    const UInt32 result = InternStyle(we, s);
    if (remembered) {
      we->styleChanges.Set(stored, result);
      *recent = {key, result, true};
    } else
      memo.emplace_back(index, result);
    return result;
  }
};

// Sets every change over start .. end at once: the runs there are split,
// restyled and merged once, however many attributes change.
OSStatus SetAttributes(SInt32 inStart, SInt32 inEnd, AttributeChange* changes, size_t count, WEReference we) {
  SInt32 start = inStart == kCurrentSelection ? we->sel.start : inStart;
  SInt32 end = inEnd == kCurrentSelection ? we->sel.end : inEnd;
  if (start > end) std::swap(start, end);
  start = ClampOffset(we, start);
  end = ClampOffset(we, end);
  // The runs of a range share a few styles, each met twice (the check, then
  // the write): what each became is kept here, by style.
  constexpr UInt32 kNoStyle = 0xFFFFFFFFu;
  std::array<std::pair<UInt32, UInt32>, 16> seen;
  seen.fill({kNoStyle, 0});
  auto transform = [&](UInt32 index) {
    auto& slot = seen[(index * 0x9E3779B1u) >> 28];
    if (slot.first == index) return slot.second;
    UInt32 result = index;
    for (size_t c = 0; c < count; ++c) result = changes[c].Apply(we, result);
    slot = {index, result};
    return result;
  };

  if (start == end) {
    if (Length(we) == 0) {
      ForgetExtents(we);
      we->runStyles.SetValueAt(0, transform(we->runStyles.ValueAt(0)));
      LayoutInvalidate(we, 0, 0);
      Redraw(we);
    } else {
      const UInt32 base = we->nullStyle && we->nullStyleOffset == start ? *we->nullStyle
                                                                         : StyleAt(we, start > 0 ? start - 1 : 0);
      we->nullStyle = transform(base);
      we->nullStyleOffset = start;
    }
    return noErr;
  }

  const bool record = we->Feature(weFUndo);
  // A parse sets each word's every attribute, and most already have the
  // value: then the runs stand as they are.
  if (!record) {
    bool same = true;
    for (SInt32 r = RunOf(we, start); same && r < we->runs.Partitions() && we->runs.Start(r) < end; ++r) {
      const UInt32 style = we->runStyles.ValueAt(r);
      same = transform(style) == style;
    }
    if (same) return noErr;
  }
  Change change;
  change.text = false;
  change.offset = start;
  change.length = end - start;
  if (record) change.runs = CopyRuns(we, start, end);
  const SInt32 i = SplitRunAt(we, start);
  const SInt32 j = SplitRunAt(we, end);
  // A re-parse mostly gives the text the styles it already has: then the
  // layout and the picture stand.
  bool changed = false;
  for (SInt32 k = i; k < j; ++k) {
    const UInt32 before = we->runStyles.ValueAt(k), after = transform(before);
    changed = changed || after != before;
    if (after != before) ExtentsRestyled(we, we->runs.Start(k), we->runs.Start(k + 1), before, after);
    we->runStyles.SetValueAt(k, after);
  }
  MergeRuns(we, i, j);
  if (record) {
    BeginImplicit(we, weAKSetStyle);
    Record(we, std::move(change));
    EndImplicit(we);
  }
  bool affectsLayout = false, movesRows = false;
  for (size_t c = 0; c < count; ++c) {
    const FourCharCode tag = changes[c].key.tag;
    affectsLayout = affectsLayout || AttributeAffectsLayout(tag);
    movesRows = movesRows || tag == 'font' || tag == 'ptsz' || tag == 'ledg' || tag == 'lein';
  }
  if (changed && affectsLayout) {
    const SInt32 firstLine = LineOf(we, start), lastLine = LineOf(we, end);
    LayoutRestyled(we, firstLine, lastLine);
    // Colours and faces keep the rows where they are; a font or size may not.
    if (movesRows)
      Redraw(we);
    else
      RedrawParagraphs(we, firstLine, lastLine, false);
  }
  return noErr;
}

}  // namespace

OSStatus WESetOneAttribute(SInt32 inStart, SInt32 inEnd, WESelector inAttributeTag, const void* inValue,
                           ByteCount inValueSize, WEReference we) {
  if (we == nullptr || inValueSize > (1u << 20)) return paramErr;
  AttributeChange change(inAttributeTag, inValue, inValueSize);
  return SetAttributes(inStart, inEnd, &change, 1, we);
}

OSStatus WESetAttributes(SInt32 inStart, SInt32 inEnd, ItemCount inAttributeCount, const WESelector inAttributeTags[],
                         const void* const inAttributeValues[], const ByteCount inAttributeValueSizes[],
                         WEReference we) {
  if (we == nullptr || (inAttributeCount > 0 && (inAttributeTags == nullptr || inAttributeValues == nullptr ||
                                                 inAttributeValueSizes == nullptr)))
    return paramErr;
  if (inAttributeCount == 0) return noErr;
  for (ItemCount c = 0; c < inAttributeCount; ++c)
    if (inAttributeValueSizes[c] > (1u << 20)) return paramErr;
  // A parse sets four at a word: those are made in place, off the heap.
  constexpr ItemCount kLocal = 8;
  alignas(AttributeChange) unsigned char local[kLocal * sizeof(AttributeChange)];
  std::vector<AttributeChange> many;
  AttributeChange* changes = reinterpret_cast<AttributeChange*>(local);
  if (inAttributeCount > kLocal) {
    many.reserve(inAttributeCount);
    for (ItemCount c = 0; c < inAttributeCount; ++c)
      many.emplace_back(inAttributeTags[c], inAttributeValues[c], inAttributeValueSizes[c]);
    return SetAttributes(inStart, inEnd, many.data(), inAttributeCount, we);
  }
  for (ItemCount c = 0; c < inAttributeCount; ++c)
    new (&changes[c]) AttributeChange(inAttributeTags[c], inAttributeValues[c], inAttributeValueSizes[c]);
  const OSStatus result = SetAttributes(inStart, inEnd, changes, inAttributeCount, we);
  for (ItemCount c = 0; c < inAttributeCount; ++c) changes[c].~AttributeChange();
  return result;
}

OSStatus WERegisterCustomAttribute(WESelector inAttributeTag, OptionBits inFlags, ByteCount inValueSize,
                                   OSType, WEReference we) {
  if (we == nullptr) return paramErr;
  we->customAttributes[inAttributeTag] = {inFlags, inValueSize};
  return noErr;
}

// ---------------------------------------------------------------------------
// Properties

OSStatus WESetProperty(OSType inCreator, OSType inTag, ByteCount inSize, const void* inData, WEReference we) {
  if (we == nullptr || (inData == nullptr && inSize > 0)) return paramErr;
  we->properties[{inCreator, inTag}] = std::string(static_cast<const char*>(inData), inData ? inSize : 0);
  return noErr;
}

OSStatus WEGetProperty(OSType inCreator, OSType inTag, ByteCount inBufferSize, ByteCount* outActualSize,
                       void* outData, WEReference we) {
  if (we == nullptr) return paramErr;
  auto it = we->properties.find({inCreator, inTag});
  if (it == we->properties.end()) return weAttributeNotFoundErr;
  if (outActualSize) *outActualSize = it->second.size();
  if (outData == nullptr) return noErr;
  if (inBufferSize < it->second.size()) return paramErr;
  std::memcpy(outData, it->second.data(), it->second.size());
  return noErr;
}

OSStatus WERemoveProperty(OSType inCreator, OSType inTag, WEReference we) {
  if (we == nullptr) return paramErr;
  return we->properties.erase({inCreator, inTag}) ? OSStatus(noErr) : OSStatus(weAttributeNotFoundErr);
}
