// The per-library index of definitions that the scan engine consults at every
// character: words to definitions, and the characters that can start an
// open text or a prefix, so that most characters cost no set look-up.
#include <memory>

#include "CFSet.h"
#include "CFString.h"
#include "TSyntaxParserProcessUnit+Internal.h"

namespace SyntaxScan {

namespace {

// The set's strings as Mac Roman bytes (the form words take in the engine).
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
    std::string word;
    for (CFIndex i = 0; i < length && i < 255; ++i) word += char(ToMacRoman(CFStringGetCharacterAtIndex(s, i)));
    words.push_back(std::move(word));
  }
  return words;
}

// The set's one-character strings as UTF-16 units.
void SetCharacters(CFSetRef set, std::bitset<65536>& bits) {
  if (set == nullptr) return;
  const CFIndex count = CFSetGetCount(set);
  std::vector<const void*> values(size_t(count > 0 ? count : 0));
  if (count > 0) CFSetGetValues(set, values.data());
  for (const void* value : values) {
    CFStringRef s = static_cast<CFStringRef>(value);
    if (s != nullptr && CFGetTypeID(s) == CFStringGetTypeID() && CFStringGetLength(s) == 1)
      bits.set(CFStringGetCharacterAtIndex(s, 0));
  }
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

std::unique_ptr<LibraryIndex> Build(SyntaxLibraryPtr library) {
  auto index = std::make_unique<LibraryIndex>();
  index->library = library;
  const CFArrayRef arrays[8] = {library->ranges,   library->keywords,    library->embeddedLanguages,
                                library->prefixes, library->expressions, library->scopes,
                                library->scopeBlocks, library->customs};
  for (int i = 0; i < 8; ++i) {
    index->arrays[i] = arrays[i];
    index->counts[i] = arrays[i] != nullptr ? CFArrayGetCount(arrays[i]) : 0;
    if (arrays[i] != nullptr) CFRetain(arrays[i]);
  }
  index->ranges = Records<SyntaxRangeData>(library->ranges);
  for (SyntaxRangeDataPtr def : index->ranges) {
    if (LiteralOpen(library, def->open)) index->rangeFirst.set(FromMacRoman(def->open[1]));
    else index->rangeAlways = true;
  }
  index->embeddedLanguages = Records<SyntaxEmbeddedLanguageData>(library->embeddedLanguages);
  for (SyntaxEmbeddedLanguageDataPtr def : index->embeddedLanguages) {
    if (LiteralOpen(library, def->open)) index->embeddedFirst.set(FromMacRoman(def->open[1]));
    else index->embeddedAlways = true;
  }
  index->prefixes = Records<SyntaxPrefixData>(library->prefixes);
  for (SyntaxPrefixDataPtr def : index->prefixes) {
    SetCharacters(def->prefixes, index->prefixCharacters);
    for (const std::string& w : SetWords(def->prefixes))
      if (w.size() > 1) index->words[w].prefix = true;
    if (def->altPrefixes != nullptr) index->hasAltPrefixes = true;
  }
  for (SyntaxKeywordDataPtr def : Records<SyntaxKeywordData>(library->keywords))
    for (const std::string& w : SetWords(def->keywords)) {
      auto& list = index->keywords[Lower(w)];
      if (list.empty() || list.back() != def) list.push_back(def);
    }
  for (SyntaxExpressionDataPtr def : Records<SyntaxExpressionData>(library->expressions))
    for (const std::string& w : SetWords(def->keywords)) index->words[w].expressions.push_back(def);
  for (SyntaxScopeDataPtr def : Records<SyntaxScopeData>(library->scopes))
    for (const std::string& w : SetWords(def->keywords)) index->words[w].scopes.push_back(def);
  index->scopeBlocks = Records<SyntaxScopeBlockData>(library->scopeBlocks);
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
