// The per-library index of definitions that the scan engine consults at every
// character: words to definitions, and the characters that can start an
// open text or a prefix, so that most characters cost no set look-up.
#include <algorithm>
#include <atomic>
#include <memory>

#include "CFDictionary.h"
#include "CFSet.h"
#include "CFString.h"
#include "TSyntaxParserProcessUnit+Internal.h"

namespace SyntaxScan {

namespace {

// The set's strings as Mac Roman bytes (the form words take in the engine).
// A string with a character Mac Roman lacks, or longer than a word can be,
// can never equal a word and is left out.
std::vector<std::string> SetWords(CFSetRef set) {
  std::vector<std::string> words;
  if (set == nullptr) return words;
  const CFIndex count = CFSetGetCount(set);
  std::vector<const void*> values(size_t(count > 0 ? count : 0));
  if (count > 0) CFSetGetValues(set, values.data());
  for (const void* value : values) {
    CFStringRef s = static_cast<CFStringRef>(value);
    if (s == nullptr || CFGetTypeID(s) != CFStringGetTypeID()) continue;
    const CFIndex length = CFStringGetLength(s);
    if (length > 255) continue;
    std::string word;
    bool exact = true;
    for (CFIndex i = 0; i < length; ++i) {
      const UniChar c = CFStringGetCharacterAtIndex(s, i);
      const unsigned char b = ToMacRoman(c);
      if (FromMacRoman(b) != c) exact = false;
      word += char(b);
    }
    if (exact) words.push_back(std::move(word));
  }
  return words;
}

// The set's one-character strings as UTF-16 units.
void SetCharacters(CFSetRef set, std::bitset<65536>& bits, std::vector<UniChar>* units = nullptr) {
  if (set == nullptr) return;
  const CFIndex count = CFSetGetCount(set);
  std::vector<const void*> values(size_t(count > 0 ? count : 0));
  if (count > 0) CFSetGetValues(set, values.data());
  for (const void* value : values) {
    CFStringRef s = static_cast<CFStringRef>(value);
    if (s != nullptr && CFGetTypeID(s) == CFStringGetTypeID() && CFStringGetLength(s) == 1) {
      const UniChar c = CFStringGetCharacterAtIndex(s, 0);
      bits.set(c);
      if (units != nullptr) units->push_back(c);
    }
  }
}

void IndexSet(CFSetRef set, WordSetIndex& index) {
  std::bitset<65536> ignored;
  SetCharacters(set, ignored, &index.units);
  for (const std::string& w : SetWords(set)) index.words.Insert(w);
}

template <typename T>
std::vector<T*> Records(CFArrayRef array) {
  std::vector<T*> out;
  const CFIndex count = array != nullptr ? CFArrayGetCount(array) : 0;
  for (CFIndex i = 0; i < count; ++i) out.push_back(static_cast<T*>(const_cast<void*>(CFArrayGetValueAtIndex(array, i))));
  return out;
}

std::string Lower(std::string word) {
  for (char& c : word)
    if (c >= 'A' && c <= 'Z') c = char(c + 32);
  return word;
}

// Whether an open text is found by its first unit: a literal text that
// cannot equal a word (a word is only ever made of word characters).
bool LiteralOpen(SyntaxLibraryPtr library, const Str15& open) {
  if (open.empty() || MetaCharacterKind(open) != 0) return false;
  return !SyntaxLibraryIsWordCharacter(library, FromMacRoman(open[1]));
}

// Where an open text can match at a non-word character: its first unit when
// it is literal, the line breaks or the tab for the meta texts; an open text
// that begins with a word character never matches there.
void MarkOpenStops(SyntaxLibraryPtr library, const Str15& open, std::bitset<65536>& stops) {
  if (open.empty()) return;
  switch (MetaCharacterKind(open)) {
    case 'r':
      stops.set('\r');
      stops.set('\n');
      return;
    case 't':
      stops.set('\t');
      return;
    case 'f':
      return;  // the end position is always visited
    default:
      break;
  }
  if (LiteralOpen(library, open)) stops.set(FromMacRoman(open[1]));
}

template <typename T>
void BuildOpenIndex(SyntaxLibraryPtr library, CFArrayRef array, OpenIndex<T>& index, std::bitset<65536>& stops) {
  index.all = Records<T>(array);
  for (T* def : index.all) MarkOpenStops(library, def->open, stops);
  for (T* def : index.all) {
    if (!LiteralOpen(library, def->open)) continue;
    const UniChar unit = FromMacRoman(def->open[1]);
    index.first.set(unit);
    if (unit >= 256) index.wide[unit];
  }
  for (T* def : index.all) {
    const bool literal = LiteralOpen(library, def->open);
    const UniChar unit = literal ? FromMacRoman(def->open[1]) : 0;
    if (!literal) index.always.push_back(def);
    // Every unit with a list gets the definitions tried there, in order.
    for (size_t c = 0; c < 256; ++c)
      if (index.first.test(c) && (!literal || unit == c)) index.byUnit[c].push_back(def);
    for (auto& [c, list] : index.wide)
      if (!literal || unit == c) list.push_back(def);
  }
}

// A range whose open text needs its word right before it, a line start, or
// a second unit, opens only where that holds: its first unit need not stop
// the scan elsewhere when nothing else may open there. Each definition adds
// one test it needs; the scan stops where any holds.
void MarkConditionalStops(SyntaxLibraryPtr library, LibraryIndex& index) {
  std::bitset<256> candidates, unconditional;
  std::vector<LibraryIndex::ConditionalStop> conditions(256);
  for (SyntaxRangeDataPtr def : index.ranges.all) {
    if (def == nullptr || !LiteralOpen(library, def->open)) continue;
    const UniChar unit = FromMacRoman(def->open[1]);
    if (unit >= 256) continue;
    LibraryIndex::ConditionalStop& c = conditions[unit];
    const UniChar second = def->open.len() >= 2 ? FromMacRoman(def->open[2]) : UniChar(0);
    candidates.set(unit);
    if (!def->openWord.empty()) {
      if (std::find(c.openWords.begin(), c.openWords.end(), def->openWord) == c.openWords.end())
        c.openWords.push_back(def->openWord);
    } else if (def->anchor) {
      c.atLineStart = true;
      if (def->open.len() < 2 || second >= 256) c.anyAtLineStart = true;
      else c.nextAtLineStart.set(second);
    } else if (def->open.len() >= 2 && second < 256) {
      c.next.set(second);
    } else {
      unconditional.set(unit);
    }
  }
  // Units that stop for anything else (an embedded language, a prefix, a
  // meta text) stay unconditional.
  std::bitset<65536> others = index.prefixCharacters;
  for (SyntaxEmbeddedLanguageDataPtr def : index.embeddedLanguages.all) MarkOpenStops(library, def->open, others);
  for (SyntaxRangeDataPtr def : index.ranges.all)
    if (def != nullptr && MetaCharacterKind(def->open) != 0) MarkOpenStops(library, def->open, others);
  for (size_t unit = 0; unit < 256; ++unit)
    if (candidates.test(unit) && !unconditional.test(unit) && !others.test(unit)) index.conditional.set(unit);
  if (index.conditional.any()) index.conditions = std::move(conditions);
}

// A definition bound to a context other than the empty name and "any".
bool Bound(const Str63& context) { return !context.empty() && !(context == kContextAny); }

void MarkContextualStops(LibraryIndex& index) {
  for (size_t unit = 0; unit < 256; ++unit) {
    if (!index.stops.test(unit)) continue;
    const UniChar c = UniChar(unit);
    bool bound = true, empty = false;
    for (SyntaxRangeDataPtr def : index.ranges.Candidates(c)) {
      bound = bound && Bound(def->context);
      empty = empty || def->context == kContextEmpty;
    }
    if (!index.embeddedLanguages.Empty(c))
      for (SyntaxEmbeddedLanguageDataPtr def : index.embeddedLanguages.Candidates(c)) {
        bound = bound && !(def->openContext == kContextAny);
        empty = empty || def->openContext == kContextEmpty;
      }
    if (index.prefixCharacters.test(c))
      for (const PrefixEntry& entry : index.prefixes) {
        const SyntaxPrefixDataPtr def = entry.definition;
        if (def->prefixes == nullptr || !entry.prefixes.ContainsUnit(c)) continue;
        bound = bound && (Bound(def->context) || def->scopes != nullptr || def->scopeBody || def->compileMode);
        empty = empty || (def->context == kContextEmpty && def->scopes == nullptr && !def->scopeBody && !def->compileMode);
      }
    if (bound) index.contextual.set(unit);
    if (empty) index.opensInEmpty.set(unit);
  }
}

std::unique_ptr<LibraryIndex> Build(SyntaxLibraryPtr library) {
  static std::atomic<UInt32> serials{0};
  auto index = std::make_unique<LibraryIndex>();
  index->serial = ++serials;
  index->library = library;
  const CFArrayRef arrays[8] = {library->ranges,   library->keywords,    library->embeddedLanguages,
                                library->prefixes, library->expressions, library->scopes,
                                library->scopeBlocks, library->customs};
  for (int i = 0; i < 8; ++i) {
    index->arrays[i] = arrays[i];
    index->counts[i] = arrays[i] != nullptr ? CFArrayGetCount(arrays[i]) : 0;
    if (arrays[i] != nullptr) CFRetain(arrays[i]);
  }
  BuildOpenIndex(library, library->ranges, index->ranges, index->stops);
  BuildOpenIndex(library, library->embeddedLanguages, index->embeddedLanguages, index->stops);
  for (SyntaxPrefixDataPtr def : Records<SyntaxPrefixData>(library->prefixes)) {
    PrefixEntry entry;
    entry.definition = def;
    IndexSet(def->prefixes, entry.prefixes);
    index->prefixes.push_back(std::move(entry));
    SetCharacters(def->prefixes, index->prefixCharacters);
    for (const std::string& w : SetWords(def->prefixes))
      if (w.size() > 1) index->words.Insert(w).prefix = true;
    if (def->altPrefixes != nullptr) {
      index->hasAltPrefixes = true;
      const CFIndex count = CFDictionaryGetCount(def->altPrefixes);
      std::vector<const void*> keys(size_t(count > 0 ? count : 0));
      if (count > 0) CFDictionaryGetKeysAndValues(def->altPrefixes, keys.data(), nullptr);
      for (const void* key : keys) {
        CFStringRef s = static_cast<CFStringRef>(key);
        if (s == nullptr || CFGetTypeID(s) != CFStringGetTypeID() || CFStringGetLength(s) != 1) continue;
        const UniChar c = CFStringGetCharacterAtIndex(s, 0);
        if (c != 0 && c < 128) index->altPrefixKeys.set(c);
      }
    }
  }
  index->stops |= index->prefixCharacters;
  MarkConditionalStops(library, *index);
  MarkContextualStops(*index);
  for (int c = 0; c < 256; ++c)
    index->unitClass[c] = UInt8((library->wordCharacters.test(size_t(c)) ? LibraryIndex::kWord : 0) |
                                (index->stops.test(size_t(c)) ? LibraryIndex::kStop : 0) |
                                (c == '\r' || c == '\n' ? LibraryIndex::kLineBreak : 0) |
                                (c == '\t' || c == ' ' ? LibraryIndex::kBlank : 0) |
                                (index->prefixCharacters.test(size_t(c)) ? LibraryIndex::kPrefix : 0));
  for (SyntaxKeywordDataPtr def : Records<SyntaxKeywordData>(library->keywords))
    for (const std::string& w : SetWords(def->keywords)) {
      auto& list = index->keywords.Insert(Lower(w));
      if (list.empty() || list.back() != def) list.push_back(def);
    }
  for (SyntaxExpressionDataPtr def : Records<SyntaxExpressionData>(library->expressions))
    for (const std::string& w : SetWords(def->keywords)) index->words.Insert(w).expressions.push_back(def);
  for (SyntaxScopeDataPtr def : Records<SyntaxScopeData>(library->scopes))
    for (const std::string& w : SetWords(def->keywords)) index->words.Insert(w).scopes.push_back(def);
  for (SyntaxScopeBlockDataPtr def : Records<SyntaxScopeBlockData>(library->scopeBlocks)) {
    ScopeBlockEntry entry;
    entry.definition = def;
    IndexSet(def->open, entry.open);
    IndexSet(def->openNewline, entry.openNewline);
    IndexSet(def->close, entry.close);
    index->scopeBlocks.push_back(std::move(entry));
  }
  return index;
}

bool StillValid(const LibraryIndex& index, SyntaxLibraryPtr library) {
  const CFArrayRef arrays[8] = {library->ranges,   library->keywords,    library->embeddedLanguages,
                                library->prefixes, library->expressions, library->scopes,
                                library->scopeBlocks, library->customs};
  for (int i = 0; i < 8; ++i) {
    if (index.arrays[i] != arrays[i]) return false;
    if ((arrays[i] != nullptr ? CFArrayGetCount(arrays[i]) : 0) != index.counts[i]) return false;
  }
  return true;
}

void Forget(LibraryIndex& index) {
  for (CFArrayRef array : index.arrays)
    if (array != nullptr) CFRelease(array);
}

}  // namespace

const LibraryIndex* GetLibraryIndex(SyntaxLibraryPtr library) {
  if (library == nullptr) return nullptr;
  // Kept for the life of the process (and never destroyed at exit, when a
  // parse may still run from another static's destructor).
  static auto* indexes = new std::unordered_map<SyntaxLibraryPtr, std::unique_ptr<LibraryIndex>>();
  auto it = indexes->find(library);
  if (it != indexes->end()) {
    if (StillValid(*it->second, library)) return it->second.get();
    Forget(*it->second);
    indexes->erase(it);
  }
  auto built = Build(library);
  const LibraryIndex* result = built.get();
  indexes->emplace(library, std::move(built));
  return result;
}

}  // namespace SyntaxScan
