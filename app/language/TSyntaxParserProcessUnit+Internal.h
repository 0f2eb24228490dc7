// What the scan engine's source files share: text conversions, the context
// names, and the calls into the project symbol index (one seam, in
// TSyntaxParserProcessUnit+Index.cpp).
#pragma once

#include <bitset>
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

unsigned char ToMacRoman(UniChar c);
UniChar FromMacRoman(unsigned char c);
void DecodeText(const unsigned char* bytes, size_t count, std::vector<UniChar>& out);

// 'r', 'f' or 't' for the two-character meta texts "\r" (a line break), "\f"
// (the end of the text) and "\t" (a tab); 0 for any other text.
template <int N>
inline char MetaCharacterKind(const ShortString<N>& s) {
  if (s.len() != 2 || s[1] != '\\') return 0;
  const unsigned char c = s[2];
  return (c == 'r' || c == 'f' || c == 't') ? char(c) : 0;
}

// --- A library's definitions, indexed for the per-character tests ------------
// Built once per library and kept; the class arrays are retained so that a
// library freed and another made at the same address is never mistaken for
// the old one.
struct WordHash {
  using is_transparent = void;
  size_t operator()(std::string_view s) const { return std::hash<std::string_view>()(s); }
};
template <typename T>
using WordMap = std::unordered_map<std::string, std::vector<T*>, WordHash, std::equal_to<>>;

struct WordEntry {
  std::vector<SyntaxExpressionDataPtr> expressions;
  std::vector<SyntaxScopeDataPtr> scopes;
  bool prefix = false;  // a multi-character prefix of some definition
};

struct LibraryIndex {
  SyntaxLibraryPtr library = nullptr;
  CFArrayRef arrays[8] = {};
  CFIndex counts[8] = {};
  std::vector<SyntaxRangeDataPtr> ranges;
  std::vector<SyntaxEmbeddedLanguageDataPtr> embeddedLanguages;
  std::vector<SyntaxPrefixDataPtr> prefixes;
  std::vector<SyntaxScopeBlockDataPtr> scopeBlocks;
  // Keyword sets by word: keywords by their lower-case form, the others
  // exact, in one entry so that a word is looked up once.
  WordMap<SyntaxKeywordData> keywords;
  std::unordered_map<std::string, WordEntry, WordHash, std::equal_to<>> words;
  // First units of literal open texts; a definition whose open text is a
  // meta text or may equal a word is always tried.
  std::bitset<65536> rangeFirst, embeddedFirst, prefixCharacters;
  bool rangeAlways = false, embeddedAlways = false;
  bool hasAltPrefixes = false;
};

// The index of a library (nil for nil), built on first use.
const LibraryIndex* GetLibraryIndex(SyntaxLibraryPtr library);

// --- The project symbol index -------------------------------------------------
// Every call tolerates a nil index, descriptor or symbol.
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
SymbolInfoPtr IndexGetSymbol(TFileSystem* index, const Str255& name);
// A new symbol in the descriptor's table, entered among the global symbols.
SymbolInfoPtr IndexAddSymbol(TFileSystem* index, FileDescriptorPtr descriptor, const Str63& name,
                             const Str63& parentName, const SyntaxStandardData& definition);
SInt16 SymbolGetStyleIndex(SymbolInfoPtr symbol);
Str63 SymbolGetFileName(SymbolInfoPtr symbol);
void SymbolSetSource(SymbolInfoPtr symbol, const Str255& text);

}  // namespace SyntaxScan
