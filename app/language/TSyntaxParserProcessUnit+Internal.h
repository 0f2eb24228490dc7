// What the scan engine's source files share: text conversions, the context
// names, and the calls into the project symbol index (one seam, in
// TSyntaxParserProcessUnit+Index.cpp).
#pragma once

#include <bit>
#include <bitset>
#include <cstring>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "TSyntaxParserProcessUnit.h"

namespace SyntaxScan {

extern const Str63 kContextEmpty;
extern const Str63 kContextAny;
extern const Str63 kContextProtected;
extern const Str63 kContextPreprocessor;
extern const Str63 kLanguageDefault;

// ASCII inline; the rest through the tables.
unsigned char ToMacRomanHigh(UniChar c);
UniChar FromMacRomanHigh(unsigned char c);
inline unsigned char ToMacRoman(UniChar c) { return c < 128 ? static_cast<unsigned char>(c) : ToMacRomanHigh(c); }
inline UniChar FromMacRoman(unsigned char c) { return c < 128 ? UniChar(c) : FromMacRomanHigh(c); }
void DecodeText(const unsigned char* bytes, size_t count, std::vector<UniChar>& out);

// 'r', 'f' or 't' for the two-character meta texts "\r" (a line break), "\f"
// (the end of the text) and "\t" (a tab); 0 for any other text.
template <int N>
inline char MetaCharacterKind(const ShortString<N>& s) {
  if (s.len() != 2 || s[1] != '\\') return 0;
  const unsigned char c = s[2];
  return (c == 'r' || c == 'f' || c == 't') ? char(c) : 0;
}

// --- Words as keys ---------------------------------------------------------------
// Words are Mac Roman bytes of at most 63 characters; a word is hashed once
// and looked up in open-addressed tables, with no allocation per look-up.
// The eight-byte steps of a word's hash; p and n are left at the last
// (short) step, which HashWordEnd mixes in.
inline UInt64 HashWordSteps(const unsigned char*& p, size_t& n) {
  UInt64 h = 0x9E3779B97F4A7C15ull ^ UInt64(n);
  while (n >= 8) {
    UInt64 v;
    std::memcpy(&v, p, 8);
    h = (h ^ v) * 0xFF51AFD7ED558CCDull;
    h ^= h >> 32;
    p += 8;
    n -= 8;
  }
  return h;
}
inline UInt64 HashWordEnd(UInt64 h, UInt64 last) {
  h = (h ^ last) * 0xC4CEB9FE1A85EC53ull;
  return h ^ (h >> 29);
}
inline UInt64 HashWord(const unsigned char* p, size_t n) {
  const UInt64 h = HashWordSteps(p, n);
  UInt64 v = 0;
  for (size_t i = 0; i < n; ++i) v |= UInt64(p[i]) << (8 * i);
  return HashWordEnd(h, v);
}
// The same hash of a word whose buffer may be read in whole eight-byte
// steps past its end (at least (n + 7) / 8 * 8 bytes): the last step loads
// its bytes at once and masks off what lies past the word.
inline UInt64 HashWordPadded(const unsigned char* p, size_t n) {
  if constexpr (std::endian::native != std::endian::little) return HashWord(p, n);
  const UInt64 h = HashWordSteps(p, n);
  UInt64 v = 0;
  if (n > 0) {
    std::memcpy(&v, p, 8);
    v &= ~UInt64(0) >> (64 - 8 * n);
  }
  return HashWordEnd(h, v);
}
inline UInt64 HashWord(std::string_view s) {
  return HashWord(reinterpret_cast<const unsigned char*>(s.data()), s.size());
}

template <typename V>
class WordTable {
 public:
  bool empty() const { return count_ == 0; }
  const V* Find(std::string_view key, UInt64 hash) const {
    if (count_ == 0) return nullptr;
    for (size_t i = size_t(hash) & mask_;; i = (i + 1) & mask_) {
      const Slot& slot = slots_[i];
      if (!slot.used) return nullptr;
      if (slot.hash == hash && slot.key == key) return &slot.value;
    }
  }
  const V* Find(std::string_view key) const { return Find(key, HashWord(key)); }
  // The value of the key, made when new.
  V& Insert(std::string_view key) {
    if ((count_ + 1) * 2 > slots_.size()) Grow();
    const UInt64 hash = HashWord(key);
    for (size_t i = size_t(hash) & mask_;; i = (i + 1) & mask_) {
      Slot& slot = slots_[i];
      if (!slot.used) {
        slot.used = true;
        slot.hash = hash;
        slot.key = std::string(key);
        ++count_;
        return slot.value;
      }
      if (slot.hash == hash && slot.key == key) return slot.value;
    }
  }

 private:
  struct Slot {
    UInt64 hash = 0;
    std::string key;
    V value{};
    bool used = false;
  };
  void Grow() {
    std::vector<Slot> old;
    old.swap(slots_);
    slots_.resize(old.empty() ? 16 : old.size() * 2);
    mask_ = slots_.size() - 1;
    for (Slot& slot : old) {
      if (!slot.used) continue;
      for (size_t i = size_t(slot.hash) & mask_;; i = (i + 1) & mask_) {
        if (!slots_[i].used) {
          slots_[i] = std::move(slot);
          break;
        }
      }
    }
  }
  std::vector<Slot> slots_;
  size_t mask_ = 0;
  size_t count_ = 0;
};

// --- A library's definitions, indexed for the per-character tests ------------
// Built once per library and kept; the class arrays are retained so that a
// library freed and another made at the same address is never mistaken for
// the old one.

struct WordEntry {
  std::vector<SyntaxExpressionDataPtr> expressions;
  std::vector<SyntaxScopeDataPtr> scopes;
  bool prefix = false;  // a multi-character prefix of some definition
};

// Definitions opened by a text, by the first unit of that text: a literal
// text that cannot equal a word is only tried where its first unit stands;
// the others (meta texts, word-like texts) everywhere. Each list keeps the
// definitions' order.
template <typename T>
struct OpenIndex {
  std::vector<T*> all;
  std::vector<T*> always;
  std::vector<T*> byUnit[256];
  std::unordered_map<UniChar, std::vector<T*>> wide;
  std::bitset<65536> first;  // units with a list of their own
  const std::vector<T*>& Candidates(UniChar c) const {
    if (!first.test(c)) return always;
    if (c < 256) return byUnit[c];
    return wide.find(c)->second;
  }
  bool Empty(UniChar c) const { return always.empty() && !first.test(c); }
};

// The strings of a definition's set, as a scan compares them.
struct WordSetIndex {
  std::vector<UniChar> units;  // its one-unit strings
  WordTable<char> words;       // its strings as Mac Roman words
  bool ContainsUnit(UniChar c) const {
    for (UniChar u : units)
      if (u == c) return true;
    return false;
  }
  bool ContainsWord(std::string_view word, UInt64 hash) const { return words.Find(word, hash) != nullptr; }
};

struct PrefixEntry {
  SyntaxPrefixDataPtr definition = nullptr;
  WordSetIndex prefixes;
};

struct ScopeBlockEntry {
  SyntaxScopeBlockDataPtr definition = nullptr;
  WordSetIndex open, openNewline, close;
};

struct LibraryIndex {
  SyntaxLibraryPtr library = nullptr;
  UInt32 serial = 0;  // unique among the indexes ever built
  CFArrayRef arrays[8] = {};
  CFIndex counts[8] = {};
  OpenIndex<SyntaxRangeData> ranges;
  OpenIndex<SyntaxEmbeddedLanguageData> embeddedLanguages;
  std::vector<PrefixEntry> prefixes;
  std::vector<ScopeBlockEntry> scopeBlocks;
  // Keyword sets by word: keywords by their lower-case form, the others
  // exact, in one entry so that a word is looked up once.
  WordTable<std::vector<SyntaxKeywordDataPtr>> keywords;
  WordTable<WordEntry> words;
  std::bitset<65536> prefixCharacters;
  // The non-word units at which a range or an embedded language may open or
  // a prefix start: elsewhere, with nothing pending, a non-word character
  // is only stepped over.
  std::bitset<65536> stops;
  // Stops below 256 at which only a range may open, and only where a test
  // of the units around holds: the scan steps over them elsewhere.
  struct ConditionalStop {
    std::vector<Str63> openWords;  // the words an open text comes right after ("q{")
    bool atLineStart = false;    // an anchored open text ...
    bool anyAtLineStart = false;  // ... of one unit
    std::bitset<256> nextAtLineStart;  // ... or with this second unit
    std::bitset<256> next;       // an open text with this second unit
  };
  std::bitset<256> conditional;
  // Stops below 256 where every definition that may open there is bound to
  // a context or scope: the scan asks them before it stops.
  std::bitset<256> contextual;
  std::bitset<256> opensInEmpty;  // ... one of them in the "empty" context
  std::vector<ConditionalStop> conditions;  // 256 when any is conditional
  bool hasAltPrefixes = false;
  // The characters an alternative prefix is keyed by (ASCII only).
  std::bitset<128> altPrefixKeys;
  // What the scan asks of a unit below 256, in one look-up: a word
  // character, a stop (above), a prefix character, a line break, a blank.
  // Units from 256 on are asked of the big tables.
  enum : UInt8 { kWord = 1, kStop = 2, kLineBreak = 4, kBlank = 8, kPrefix = 16 };
  UInt8 unitClass[256] = {};
  UInt8 ClassOf(UniChar c) const {
    if (c < 256) return unitClass[c];
    return UInt8((library->wordCharacters.test(c) ? kWord : 0) | (stops.test(c) ? kStop : 0) |
                 (prefixCharacters.test(c) ? kPrefix : 0));
  }
};

// The index of a library (nil for nil), built on first use.
const LibraryIndex* GetLibraryIndex(SyntaxLibraryPtr library);

// --- Declaration patterns --------------------------------------------------------
// The group token of a POSIX extended pattern, read without the regular
// expression library once it has found the match [from, to) of the subject:
// RunGroupProgram answers 1 with the group (start -1 when it took no part)
// when every way of matching agrees, 0 when the library must be asked.
// CompileGroupProgram gives nil for what it does not read.
struct GroupProgram;
GroupProgram* CompileGroupProgram(const char* pattern, int token);
void DisposeGroupProgram(GroupProgram* program);
int GroupProgramGroups(const GroupProgram* program);
int RunGroupProgram(const GroupProgram* program, const unsigned char* subject, int length, int from, int to,
                    int& groupStart, int& groupEnd);
// The same without the library: finds the match itself, as the library
// would, and answers 1 with matched false when there is none. Subjects with
// bytes beyond ASCII, and patterns that may begin on many characters without
// a "^", are left to the library (0). work, when given, receives the steps
// the search took.
int FindGroupProgram(const GroupProgram* program, const unsigned char* subject, int length, bool& matched,
                     int& groupStart, int& groupEnd, long* work = nullptr);

// --- The project symbol index -------------------------------------------------
// Every call tolerates a nil index, descriptor or symbol.
// The file's key in the index: its path below the index's root.
Str63 IndexGetFileKey(TFileSystem* index, const FSRef& file);
FileDescriptorPtr IndexGetDescriptor(TFileSystem* index, const Str63& fileName);
FileDescriptorPtr IndexAddDescriptor(TFileSystem* index, const Str63& fileName);
Str255 IndexGetDescriptorDate(FileDescriptorPtr descriptor);
void IndexSetDescriptorDate(FileDescriptorPtr descriptor, const Str255& date);
Str63 IndexGetDescriptorName(FileDescriptorPtr descriptor);
void IndexCleanFile(TFileSystem* index, const Str63& fileName);
// Appends the header names of one descriptor to another's.
void IndexAppendHeaders(FileDescriptorPtr to, FileDescriptorPtr from);
void IndexAppendHeader(FileDescriptorPtr descriptor, const Str255& name);
// The global symbol of that name, or nil.
SymbolInfoPtr IndexGetSymbol(TFileSystem* index, std::string_view name);
// A new symbol in the descriptor's table, entered among the global symbols.
SymbolInfoPtr IndexAddSymbol(TFileSystem* index, FileDescriptorPtr descriptor, const Str63& name,
                             const Str63& parentName, const SyntaxStandardData& definition);
SInt16 SymbolGetStyleIndex(SymbolInfoPtr symbol);
Str63 SymbolGetFileName(SymbolInfoPtr symbol);
void SymbolSetSource(SymbolInfoPtr symbol, const Str255& text);

}  // namespace SyntaxScan
