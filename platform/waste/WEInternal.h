// Internal to the text engine: the record behind a WEReference and the
// containers it is built from.
//
// The text sits in a gap buffer of UTF-16 code units. Lines (paragraphs
// ended by a carriage return), style runs and the vertical position of each
// paragraph are kept as partitionings: sorted start positions in a gap
// buffer, with one pending shift applied lazily, so an edit costs time in
// proportion to the distance from the previous edit and a look-up is a
// binary search.
#pragma once

#include <pango/pango.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <type_traits>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "WASTE.h"

namespace we {

// ---------------------------------------------------------------------------
// Gap buffer

// Blocks from this size on are made of large pages where the system has them;
// they are freed with std::free.
constexpr size_t kLargeBlock = size_t(4) << 20;
// The gap left after a text put in at once (units).
constexpr size_t kWholeTextGap = size_t(1) << 16;
void* AllocateLargeBlock(size_t bytes);
// Blocks from this size on are mapped from the system page by page, so that
// growing one moves its pages instead of copying them, and room never
// written costs no memory. MapBlock's and RemapBlock's sizes are whole
// pages (RoundToPages); both answer nullptr when the system has no room.
// Large pages are asked for a block written whole at once (a text read in):
// a block that fills bit by bit would hold its room in them.
constexpr size_t kMappedBlock = size_t(1) << 20;
size_t RoundToPages(size_t bytes);
void* MapBlock(size_t bytes, bool largePages);
void* RemapBlock(void* block, size_t bytes, size_t newBytes);
void UnmapBlock(void* block, size_t bytes);

template <typename T>
class SplitVector {
 public:
  SplitVector() = default;
  SplitVector(const SplitVector&) = delete;
  SplitVector& operator=(const SplitVector&) = delete;
  ~SplitVector() { Release(); }

  SInt32 Length() const { return lengthBody_; }

  T ValueAt(SInt32 position) const {
    if (position < part1Length_) return position >= 0 ? body_[size_t(position)] : T();
    if (position >= lengthBody_) return T();
    return body_[size_t(position + gapLength_)];
  }
  T& operator[](SInt32 position) {
    return position < part1Length_ ? body_[size_t(position)] : body_[size_t(position + gapLength_)];
  }
  void SetValueAt(SInt32 position, T value) {
    if (position >= 0 && position < lengthBody_) (*this)[position] = value;
  }

  void Insert(SInt32 position, T value) { InsertMany(position, &value, 1); }
  void InsertMany(SInt32 position, const T* values, SInt32 count) {
    if (count <= 0 || position < 0 || position > lengthBody_) return;
    RoomFor(count);
    GapTo(position);
    std::copy(values, values + count, body_ + part1Length_);
    lengthBody_ += count;
    part1Length_ += count;
    gapLength_ -= count;
  }
  void InsertValue(SInt32 position, SInt32 count, T value) {
    if (count <= 0 || position < 0 || position > lengthBody_) return;
    RoomFor(count);
    GapTo(position);
    std::fill(body_ + part1Length_, body_ + part1Length_ + count, value);
    lengthBody_ += count;
    part1Length_ += count;
    gapLength_ -= count;
  }
  void Delete(SInt32 position) { DeleteRange(position, 1); }
  void DeleteRange(SInt32 position, SInt32 count) {
    if (count <= 0 || position < 0 || position + count > lengthBody_) return;
    if (position == 0 && count == lengthBody_) {
      Release();
      size_ = 0;
      lengthBody_ = part1Length_ = gapLength_ = 0;
      return;
    }
    GapTo(position);
    lengthBody_ -= count;
    gapLength_ += count;
  }
  // Copies count values from position into out.
  void GetRange(T* out, SInt32 position, SInt32 count) const {
    if (count <= 0) return;
    SInt32 n1 = std::min(count, std::max<SInt32>(0, part1Length_ - position));
    if (n1 > 0) std::copy(body_ + position, body_ + position + n1, out);
    if (count > n1)
      std::copy(body_ + position + n1 + gapLength_, body_ + position + count + gapLength_, out + n1);
  }
  void MoveGapTo(SInt32 position) { GapTo(std::clamp<SInt32>(position, 0, lengthBody_)); }
  // A contiguous view of position .. position + count (moves the gap away).
  const T* RangePointer(SInt32 position, SInt32 count) {
    if (position < part1Length_ && position + count > part1Length_) GapTo(position);
    if (position < part1Length_) return body_ + position;
    return body_ + position + gapLength_;
  }

 private:
  void GapTo(SInt32 position) {
    if (position == part1Length_) return;
    if (gapLength_ > 0) {
      T* b = body_;
      if (position < part1Length_)
        std::move_backward(b + position, b + part1Length_, b + part1Length_ + gapLength_);
      else
        std::move(b + part1Length_ + gapLength_, b + position + gapLength_, b + part1Length_);
    }
    part1Length_ = position;
  }
  // Grows the block and never clears it: the gap is not read, and a large
  // text is not written twice. A block grows by half of what it holds, so
  // that one filled a value at a time (the style runs of a file being
  // coloured) moves a few times in all, not once per fixed step. Small
  // blocks grow in place where the allocator can; large ones are mapped
  // (see kMappedBlock). A block made for one insertion that is most of it
  // (a text read in whole) is made of large pages (a fresh page costs a
  // fault on first touch, and large pages take far fewer) and gets a gap
  // for typing and pastes, not half as much again.
  void RoomFor(SInt32 count) {
    if (gapLength_ >= count) return;
    const size_t part2 = size_t(lengthBody_ - part1Length_);
    const size_t needed = size_t(lengthBody_) + size_t(count);
    size_t size = 0;
    bool whole = false;
    if (needed * sizeof(T) >= kLargeBlock) {
      whole = size_t(count) >= needed / 2;
      const size_t room = whole ? std::min<size_t>(needed / 8, kWholeTextGap) : needed / 2;
      size = needed + std::max<size_t>(8, room);
    } else {
      size = size_ + std::max<size_t>(size_t(count) + 8, size_ / 2);
    }
    if (size > SIZE_MAX / 2 / sizeof(T)) throw std::bad_alloc();
    T* body = nullptr;
    if (size * sizeof(T) >= kMappedBlock) {
      const size_t bytes = RoundToPages(size * sizeof(T));
      if (mappedBytes_ != 0) {
        // The pages move as they are: part 2 then goes to the new end.
        body = static_cast<T*>(RemapBlock(body_, mappedBytes_, bytes));
        if (body == nullptr) throw std::bad_alloc();
        size = bytes / sizeof(T);
        if (part2 > 0) std::memmove(body + size - part2, body + part1Length_ + gapLength_, part2 * sizeof(T));
      } else {
        body = static_cast<T*>(MapBlock(bytes, whole));
        if (body == nullptr) throw std::bad_alloc();
        size = bytes / sizeof(T);
        if (body_ != nullptr) {
          std::memcpy(body, body_, size_t(part1Length_) * sizeof(T));
          std::memcpy(body + size - part2, body_ + part1Length_ + gapLength_, part2 * sizeof(T));
          Release();
        }
      }
      mappedBytes_ = bytes;
    } else {
      body = static_cast<T*>(std::realloc(body_, size * sizeof(T)));
      if (body == nullptr) throw std::bad_alloc();
      if (part2 > 0) std::memmove(body + size - part2, body + part1Length_ + gapLength_, part2 * sizeof(T));
    }
    body_ = body;
    size_ = size;
    gapLength_ = SInt32(size - size_t(lengthBody_));
  }
  void Release() {
    if (body_ != nullptr) {
      if (mappedBytes_ != 0)
        UnmapBlock(body_, mappedBytes_);
      else
        std::free(body_);
    }
    body_ = nullptr;
    mappedBytes_ = 0;
  }

  static_assert(std::is_trivially_copyable_v<T>, "the block is moved as bytes");
  T* body_ = nullptr;
  size_t size_ = 0;  // values the block has room for
  size_t mappedBytes_ = 0;  // the block's mapped size, 0 for one of the allocator's
  SInt32 lengthBody_ = 0;
  SInt32 part1Length_ = 0;
  SInt32 gapLength_ = 0;
};

// ---------------------------------------------------------------------------
// Partitioning: partition i covers Start(i) .. Start(i + 1); the last entry is
// the total length. Partitions after stepPartition_ owe stepLength_.

class Partitioning {
 public:
  Partitioning() {
    SInt32 zero = 0;
    body_.InsertMany(0, &zero, 1);
    body_.InsertMany(1, &zero, 1);
  }
  SInt32 Partitions() const { return body_.Length() - 1; }

  SInt32 Start(SInt32 partition) const {
    if (partition < 0) return 0;
    if (partition > Partitions()) partition = Partitions();
    SInt32 pos = body_.ValueAt(partition);
    if (partition > stepPartition_) pos += stepLength_;
    return pos;
  }
  SInt32 Length() const { return Start(Partitions()); }

  // The partition holding position; the last one for the total length.
  SInt32 PartitionOf(SInt32 position) const {
    const SInt32 parts = Partitions();
    if (parts <= 1) return 0;
    if (position >= Start(parts)) return parts - 1;
    SInt32 lower = 0, upper = parts;
    while (lower < upper) {
      const SInt32 middle = (upper + lower + 1) / 2;
      if (position < Start(middle))
        upper = middle - 1;
      else
        lower = middle;
    }
    return lower;
  }

  // Partition grows by delta: everything after it moves.
  void Grow(SInt32 partition, SInt32 delta) {
    if (delta == 0) return;
    if (stepLength_ != 0) {
      if (partition >= stepPartition_) {
        ApplyStep(partition);
      } else if (partition >= stepPartition_ - Partitions() / 10) {
        BackStep(partition);
      } else {
        ApplyStep(Partitions());
        stepPartition_ = partition;
        stepLength_ = delta;
        return;
      }
      stepLength_ += delta;
    } else {
      stepPartition_ = partition;
      stepLength_ = delta;
    }
  }
  // A new partition starting at position, numbered partition.
  void Insert(SInt32 partition, SInt32 position) {
    if (stepPartition_ < partition) ApplyStep(partition);
    body_.InsertMany(partition, &position, 1);
    stepPartition_++;
  }
  // The step and the gap brought to partition, ready for changes there.
  void ReadyAt(SInt32 partition) {
    partition = std::clamp<SInt32>(partition, 0, Partitions());
    if (stepLength_ != 0) {
      if (partition > stepPartition_) ApplyStep(partition);
      else if (partition < stepPartition_) BackStep(partition);
    }
    body_.MoveGapTo(partition + 1);
  }
  // Removes the start of the partition (it joins the one before).
  void Remove(SInt32 partition) {
    if (partition > stepPartition_) ApplyStep(partition);
    stepPartition_--;
    body_.Delete(partition);
  }

 private:
  void ApplyStep(SInt32 upTo) {
    if (stepLength_ != 0)
      for (SInt32 i = stepPartition_ + 1; i <= upTo; ++i) body_[i] += stepLength_;
    stepPartition_ = upTo;
    if (stepPartition_ >= Partitions()) {
      stepPartition_ = Partitions();
      stepLength_ = 0;
    }
  }
  void BackStep(SInt32 downTo) {
    if (stepLength_ != 0)
      for (SInt32 i = downTo + 1; i <= stepPartition_; ++i) body_[i] -= stepLength_;
    stepPartition_ = downTo;
  }

  SplitVector<SInt32> body_;
  SInt32 stepPartition_ = 0;
  SInt32 stepLength_ = 0;
};

// ---------------------------------------------------------------------------
// Styles: sorted (tag, bytes) lists, interned so that a run holds an index.

// A value a style holds for a tag, or none (compares equal to nullptr).
class StyleValue {
 public:
  StyleValue() = default;
  explicit StyleValue(std::string_view value) : value_(value), present_(true) {}
  bool operator==(std::nullptr_t) const { return !present_; }
  explicit operator bool() const { return present_; }
  const std::string_view& operator*() const { return value_; }
  const std::string_view* operator->() const { return &value_; }

 private:
  std::string_view value_;
  bool present_ = false;
};

// The attributes, sorted by tag, packed into one string: each is its tag
// (4 bytes), its value's size (4 bytes) and the value. A large text meets
// thousands of styles (a mark per symbol), so each is one block, and the
// packed form is its key as well.
struct Style {
  std::string packed;
  StyleValue Find(FourCharCode tag) const;
  void Set(FourCharCode tag, std::string_view value);
  void Remove(FourCharCode tag);
  const std::string& Key() const { return packed; }
};

// The styles of an instance, each once: a style's index never changes, and
// the look-up by contents is an open table of indexes (no key is kept twice).
class StyleTable {
 public:
  size_t size() const { return styles_.size(); }
  const Style& operator[](UInt32 index) const { return styles_[index]; }
  // The index of the style with these attributes, added when new.
  UInt32 Intern(const Style& style);

 private:
  static size_t Hash(const std::string& packed) { return std::hash<std::string>{}(packed); }
  void Grow();
  std::vector<Style> styles_;
  std::vector<UInt32> slots_;  // index + 1 of a style, 0 where free
};

// What the layout needs of a style.
struct StyleLook {
  std::string family;
  double size = 12;
  double rgb[3] = {0, 0, 0};
  bool bold = false, italic = false, underline = false;
  bool hasBackground = false;
  double background[3] = {0, 0, 0};
  // Paragraph attributes, read from the style at a paragraph's start.
  SInt32 indent = 0;         // 'lein': left indent of every row
  SInt32 rowSpacing = 0;     // 'ledg' first half: added between rows
  SInt32 paraSpacing = 0;    // 'ledg' second half: added after the paragraph
};

// The extent of one attribute's value found last, over whole runs: a
// language mark can span most of a large text, so the walk over its runs is
// made once and the edits keep its ends (as they keep the runs).
struct AttributeExtent {
  FourCharCode tag = 0;
  bool valid = false;
  bool present = false;  // whether the runs carry the tag at all
  std::string value;
  SInt32 start = 0, end = 0;
};

struct RunCopy {
  SInt32 start;  // relative to the copied range
  UInt32 style;
};

// One undoable change: replace length units at offset by text with runs (a
// text change), or give offset .. offset + length the runs (a restyle).
struct Change {
  bool text = true;
  SInt32 offset = 0;
  SInt32 length = 0;
  std::u16string chars;
  std::vector<RunCopy> runs;
};

struct Selection {
  SInt32 start = 0, end = 0, anchor = 0;
};

struct Action {
  WEActionKind kind = weAKUnspecified;
  std::vector<Change> changes;  // in the order made: the last one is the newest
  Selection before, after;
  bool typing = false;
  SInt32 mods = 0;  // the changes it counted in the modification count
};

struct ParagraphLayout {
  PangoLayout* layout = nullptr;  // nil until laid out
};

// Of a layout: the style runs (start within the paragraph, style) it was
// made with; restyled: styles were set since, and the layout stands only if
// the runs came out the same. Its paragraph, and when it was last used: only
// so many layouts are kept, those of paragraphs out of view that were used
// longest ago go first.
struct LayoutRuns {
  std::vector<std::pair<SInt32, UInt32>> runs;
  bool restyled = false;
  SInt32 paragraph = 0;
  UInt64 used = 0;
};

// One change of one attribute made to a style (set to a short value, removed,
// or the plain face), as a key: a parse sets the same few attributes on the
// same few styles over and over.
struct StyleChange {
  static constexpr size_t kMaxValue = 64;  // a language mark's size
  UInt32 from = 0;
  FourCharCode tag = 0;
  UInt8 kind = 0;  // 0 set, 1 remove, 2 plain face
  UInt8 size = 0;
  char value[kMaxValue] = {};
  // Values are zero past their size, so a short one compares as one word.
  bool operator==(const StyleChange& o) const {
    if (from != o.from || tag != o.tag || kind != o.kind || size != o.size) return false;
    if (size <= 8) {
      UInt64 a = 0, b = 0;
      std::memcpy(&a, value, sizeof a);
      std::memcpy(&b, o.value, sizeof b);
      return a == b;
    }
    return std::memcmp(value, o.value, size) == 0;
  }
};
// A change as the instance's table keeps it: a value of up to eight bytes
// as it is, a longer one by its hash (the style the change made holds the
// value, and is checked against it when found), so a long-lived table of
// thousands of marks stays small.
struct StyleChangeKey {
  UInt32 from = 0;
  FourCharCode tag = 0;
  UInt8 kind = 0;
  UInt8 size = 0;
  UInt64 value = 0;
  bool Hashed() const { return kind == 0 && size > 8; }
  bool operator==(const StyleChangeKey& o) const {
    return from == o.from && tag == o.tag && kind == o.kind && size == o.size && value == o.value;
  }
  static StyleChangeKey Of(const StyleChange& c) {
    StyleChangeKey k;
    k.from = c.from;
    k.tag = c.tag;
    k.kind = c.kind;
    k.size = c.size;
    if (c.size <= 8) {
      std::memcpy(&k.value, c.value, sizeof k.value);
    } else {
      UInt64 h = 0xCBF29CE484222325ull;
      for (size_t i = 0; i < c.size; ++i) h = (h ^ UInt8(c.value[i])) * 0x100000001B3ull;
      k.value = h;
    }
    return k;
  }
};
struct StyleChangeKeyHash {
  size_t operator()(const StyleChangeKey& k) const noexcept {
    UInt64 h = (UInt64(k.from) * 0x9E3779B97F4A7C15ull) ^ (UInt64(k.tag) << 8) ^ (UInt64(k.kind) << 4) ^ k.size;
    h ^= k.value + 0x9E3779B97F4A7C15ull + (h << 6) + (h >> 2);
    return size_t(h * 0xBF58476D1CE4E5B9ull);
  }
};

// The style each change gives each style, in one open table: a large
// text's parse adds tens of thousands, and each look-up is then one probe
// into one block rather than a walk of a bucket's chain of nodes.
class StyleChangeTable {
 public:
  // The style the change makes, or nullptr when it is not known yet.
  const UInt32* Find(const StyleChangeKey& key) const {
    if (count_ == 0) return nullptr;
    for (size_t i = Slot(key);; i = (i + 1) & mask_) {
      const Entry& e = entries_[i];
      if (e.to == kFree) return nullptr;
      if (e.Holds(key)) return &e.to;
    }
  }
  // A table that has grown to its most starts again empty: it only saves
  // work, and the changes a parse makes again and again are soon back
  // (the recent ones are in front of it besides), while a mark made once
  // for each of tens of thousands of symbols is never asked for again.
  void Set(const StyleChangeKey& key, UInt32 to) {
    if ((count_ + 1) * 4 > entries_.size() * 3) {
      if (entries_.size() < kMostSlots)
        Grow();
      else
        Clear();
    }
    size_t i = Slot(key);
    for (; entries_[i].to != kFree; i = (i + 1) & mask_)
      if (entries_[i].Holds(key)) {
        entries_[i].to = to;
        return;
      }
    entries_[i] = Entry::Of(key, to);
    ++count_;
  }
  size_t size() const { return count_; }

 private:
  static constexpr UInt32 kFree = UINT32_MAX;  // no style has this index
  static constexpr size_t kMostSlots = size_t(1) << 15;
  // A key and its style in 24 bytes.
  struct Entry {
    UInt64 value = 0;
    UInt32 from = 0;
    FourCharCode tag = 0;
    UInt32 to = kFree;
    UInt8 kind = 0, size = 0;
    bool Holds(const StyleChangeKey& k) const {
      return value == k.value && from == k.from && tag == k.tag && kind == k.kind && size == k.size;
    }
    StyleChangeKey Key() const {
      StyleChangeKey k;
      k.from = from;
      k.tag = tag;
      k.kind = kind;
      k.size = size;
      k.value = value;
      return k;
    }
    static Entry Of(const StyleChangeKey& k, UInt32 to) {
      Entry e;
      e.value = k.value;
      e.from = k.from;
      e.tag = k.tag;
      e.to = to;
      e.kind = k.kind;
      e.size = k.size;
      return e;
    }
  };
  static_assert(sizeof(Entry) == 24);
  // The hash's top bits: its last multiplication mixes everything into them.
  size_t Slot(const StyleChangeKey& key) const { return size_t(UInt64(StyleChangeKeyHash{}(key)) >> shift_); }
  void Clear() {
    std::fill(entries_.begin(), entries_.end(), Entry{});
    count_ = 0;
  }
  void Grow() {
    std::vector<Entry> old(entries_.empty() ? 1024 : entries_.size() * 2);
    old.swap(entries_);
    mask_ = entries_.size() - 1;
    shift_ = 64 - unsigned(__builtin_ctzll(entries_.size()));
    count_ = 0;
    for (const Entry& e : old)
      if (e.to != kFree) Set(e.Key(), e.to);
  }
  std::vector<Entry> entries_;
  size_t mask_ = 0;
  unsigned shift_ = 64;
  size_t count_ = 0;
};

// A change looked up lately, in a small table in front of the map.
struct RecentStyleChange {
  StyleChange change;
  UInt32 to = 0;
  bool used = false;
};

}  // namespace we

struct WEOpaqueView {
  WEReference owner = nullptr;
  double hilite[4] = {0.71, 0.84, 1.0, 1.0};
  double inactiveHilite[4] = {0.83, 0.83, 0.83, 1.0};
  double caret[4] = {0, 0, 0, 1};
};

struct WEOpaqueRec {
  // Text and indexes.
  we::SplitVector<UniChar> text;
  we::Partitioning lines;
  we::Partitioning runs;
  we::SplitVector<UInt32> runStyles;
  we::StyleTable styles;
  std::vector<std::unique_ptr<we::StyleLook>> looks;
  // The style each change gives each style (styles are never dropped, so
  // an entry stays true).
  we::StyleChangeTable styleChanges;
  // Made at the first change: a parse meets thousands of styles (a mark per
  // symbol) and several colours a style, so the table is not small.
  std::vector<we::RecentStyleChange> recentStyleChanges;
  // The run last found by offset: styles are mostly set in text order, at or
  // just after it.
  SInt32 runHint = 0;
  std::array<we::AttributeExtent, 4> extents;  // by tag, the slot reused round
  UInt32 nextExtent = 0;
  SInt32 lineHint = 0;  // the same for the paragraph a style change starts and ends in
  std::optional<UInt32> nullStyle;  // the style of the next insertion at nullStyleOffset
  SInt32 nullStyleOffset = 0;
  std::map<FourCharCode, std::pair<OptionBits, ByteCount>> customAttributes;

  // Selection.
  we::Selection sel;
  SInt32 preferredX = -1;  // kept while moving up and down

  // Features and hooks.
  OptionBits features = 0;
  WETextFilterProcPtr filterHook = nullptr;
  WEFluxProcPtr fluxHook = nullptr;
  WEScrollProcPtr scrollHook = nullptr;
  WECGEraseProcPtr eraseHook = nullptr;
  WETranslateDragProcPtr translateDragHook = nullptr;
  CGContextRef context = nullptr;
  intptr_t refCon = 0;

  // Undo.
  std::vector<we::Action> undoStack, redoStack;
  std::optional<we::Action> pending;  // the action being recorded
  int actionDepth = 0;
  bool typingOpen = false;  // the top undo step still takes typing
  SInt32 modCount = 0;
  // Offsets a change report still has to give out (the removal after the
  // insertion of a replacement): changes made meanwhile move them.
  std::vector<SInt32*> heldOffsets;
  // The line ending plain text is written with (WELineEnding of WEFileCodec.h).
  UInt8 lineEnding = 2;  // LF

  // Properties.
  std::map<std::pair<OSType, OSType>, std::string> properties;

  // Geometry and layout.
  LongRect dest{0, 0, 0, 0};
  LongRect view{0, 0, 0, 0};
  we::Partitioning paraY;  // paragraph i spans paraY.Start(i) .. Start(i + 1) below dest.top
  we::SplitVector<we::ParagraphLayout> paras;
  PangoContext* pango = nullptr;
  SInt32 layoutWidth = 0;  // the width the cached layouts were made for
  SInt32 dirtyFirst = 0, dirtyLast = -1;  // paragraphs that may wait for layout
  // An edit whose rows are marked for drawing, and whose paragraphs' layout
  // is still to tell whether what follows moved: from paragraph editFrom;
  // the text's height before it (-1: no such edit).
  SInt32 editFrom = 0, editHeightBefore = -1;
  std::unordered_map<PangoLayout*, we::LayoutRuns> layoutRuns;  // of each layout made
  // What changed while drawing was inhibited, drawn when it is allowed
  // again: paragraphs heldFirst .. heldLast (heldToEnd: and all below), or
  // the whole view.
  SInt32 heldFirst = 0, heldLast = -1;
  bool heldToEnd = false, heldWhole = false;
  bool active = false;
  WEOpaqueView viewRecord;

  // Events.
  EventTargetRef target = nullptr;
  EventHandlerRef targetHandler = nullptr;
  HIViewRef hiView = nullptr;  // the view of the target, marked for drawing after changes
  UInt32 lastClickTime = 0;
  Point lastClickPoint{0, 0};
  int clickCount = 0;

  // The caret blinks while the instance is active.
  EventLoopTimerRef blinkTimer = nullptr;
  bool caretOn = true;

  // A drag of this instance's text in progress: its source range, and
  // whether the drop landed in this instance (a move made here already).
  DragRef outgoingDrag = nullptr;
  SInt32 dragStart = 0, dragEnd = 0;
  bool droppedInside = false;

  bool Feature(SInt16 f) const { return (features >> f) & 1; }
};

namespace we {

// Store (WEText.cpp).
SInt32 Length(WEReference we);
SInt32 ClampOffset(WEReference we, SInt32 offset);
UInt32 InternStyle(WEReference we, const Style& style);
UInt32 StyleAt(WEReference we, SInt32 offset);
// Drops the remembered attribute extents (the runs were given anew).
void ForgetExtents(WEReference we);
const StyleLook& LookOf(WEReference we, UInt32 style);
// Replaces start .. end with chars in the given style (nil: the style text
// inserted there takes), records undo, adjusts the selection, fires flux.
void Replace(WEReference we, SInt32 start, SInt32 end, const UniChar* chars, SInt32 count,
             const std::vector<RunCopy>* runs, bool typing);
std::u16string Copy(WEReference we, SInt32 start, SInt32 end);
// The style runs of start .. end, relative to start.
std::vector<RunCopy> CopyStyleRuns(WEReference we, SInt32 start, SInt32 end);
// UTF-8 with lone surrogates as U+FFFD (one code unit each, as before).
std::string ToUTF8(const std::u16string& s);
void SetSelectionInternal(WEReference we, SInt32 anchor, SInt32 active, bool keepNullStyle = false);
bool IsWordClass(SInt32 cls);
SInt32 CharClass(UniChar c);
void BeginImplicit(WEReference we, WEActionKind kind);
void EndImplicit(WEReference we);
void CloseTyping(WEReference we);
UInt8 MacRomanByte(UniChar c);
UniChar MacRomanChar(UInt8 b);

// Layout (WELayout.cpp).
void LayoutInit(WEReference we);
void LayoutDispose(WEReference we);
void LayoutLinesInserted(WEReference we, SInt32 line, SInt32 count);
void LayoutLinesRemoved(WEReference we, SInt32 line, SInt32 count);
void LayoutInvalidate(WEReference we, SInt32 firstLine, SInt32 lastLine);
// Styles were set on the paragraphs (their text is the same): each is laid
// out again when next needed, unless its style runs came out as they were.
void LayoutRestyled(WEReference we, SInt32 firstLine, SInt32 lastLine);
void LayoutInvalidateAll(WEReference we);
SInt32 TextHeight(WEReference we);
// Scrolls the caret into view; when it was out of view, a jump (context)
// leaves a few lines between it and the edge it came in at.
void ScrollToSelection(WEReference we, bool context = false);
void Redraw(WEReference we);
// Marks for drawing only the rows of paragraphs first .. last across the
// whole view, or from paragraph first down to the view's bottom when toEnd
// (what follows moved).
void RedrawParagraphs(WEReference we, SInt32 first, SInt32 last, bool toEnd);
// After a change of the text at line0 that added or removed lines (or not):
// the changed rows, or everything below them once a height changed.
// heightBefore is the text's height before the change, dirtyBefore the
// first paragraph that was waiting for layout then (-1: none).
void RedrawEdit(WEReference we, SInt32 line0, SInt32 lastLine, bool linesChanged, SInt32 heightBefore,
                SInt32 dirtyBefore);
// Drawing is allowed again: marks what changed meanwhile.
void RedrawHeld(WEReference we);
// Lays out what an edit changed now, and marks what it moved.
void SettleEdit(WEReference we);

// The left indent and row spacing of a paragraph (pixels).
SInt32 ParagraphIndent(WEReference we, SInt32 line);
// Scrolls by dv, keeping the text within reach of the view.
void ScrollBy(WEReference we, SInt32 dv);

// Events (WEEvents.cpp).
void EventsDispose(WEReference we);
// Modifier bits of key and mouse events.
constexpr UInt32 kCmdKey = 0x0100, kShiftKey = 0x0200, kOptionKey = 0x0800;
// The text in a drag, as the engine reads it (UTF-16): 'utxt', 'utf8',
// 'TEXT' or the characters of 'RTF ', or what the translate hook supplies.
bool DragText(DragRef drag, std::vector<UniChar>* out, WEReference we);
// The drop point of a drag as an offset of the text.
bool DropOffset(WEReference we, DragRef drag, SInt32* outOffset);

// The pointer and the caret (WEMouse.cpp).
void BlinkStart(WEReference we);
void BlinkStop(WEReference we);
// Shows the caret at once and restarts its blink (after a change or a move).
void BlinkReset(WEReference we);

}  // namespace we
