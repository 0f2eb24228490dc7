// The class handlers of the scan engine: embedded languages, ranges, prefixes,
// keywords and numbers, expressions, scopes and scope blocks, and the actions
// a matching definition runs.
#include <locale.h>
#include <regex.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <unordered_map>

#include "GNURegex.h"
#include "PascalStringUtilities.h"
#include "TSyntaxParserProcessUnit+Internal.h"

using namespace SyntaxScan;

namespace {

// A miss of an open text told by its second unit alone, before the full
// comparison: a literal text of two units or more whose second unit is not
// the one after the current character (and that is not the word just read,
// which it could equal instead). Anything else is left to the full test.
inline bool MissesAtSecondUnit(const TSyntaxParserProcess& process, const Str15& s) {
  if (s.len() < 2 || s[1] == '\\' || process.state.word.len() == s.len()) return false;
  const SInt32 next = process.state.offset + 1;
  if (next < 0 || size_t(next) >= process.text.size()) return false;
  return process.text[size_t(next)] != FromMacRoman(s[2]);
}

inline bool IsWordByte(unsigned char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}

inline bool ContainsWord(CFSetRef set, const Str63& word) {
  return set != nullptr && SyntaxSetContainsWord(set, word.data());
}

// Keywords are stored in lower case; words are almost always ASCII.
Str63 LowerWordSlow(const Str63& word) {
  Str63 lower = word;
  bool ascii = true;
  for (int i = 1; i <= lower.len(); ++i) {
    const unsigned char c = lower[i];
    if (c >= 'A' && c <= 'Z') lower[i] = static_cast<unsigned char>(c + 32);
    else if (c >= 128) ascii = false;
  }
  if (!ascii) lower = Str63(LowercaseString(Str255(word)));
  return lower;
}

// The lower-case form into a buffer of 64 bytes; its length. ASCII inline.
int LowerWord(const Str63& word, unsigned char* out) {
  const int n = word.len();
  for (int i = 0; i < n; ++i) {
    const unsigned char c = word[i + 1];
    if (c >= 128) {
      const Str63 lower = LowerWordSlow(word);
      std::memcpy(out, lower.data() + 1, size_t(lower.len()));
      return lower.len();
    }
    out[i] = (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + 32) : c;
  }
  return n;
}

bool AllDigits(const Str63& word) {
  if (word.empty()) return false;
  for (int i = 1; i <= word.len(); ++i)
    if (word[i] < '0' || word[i] > '9') return false;
  return true;
}

// One-character keys for the alternative-prefix dictionaries, made once.
CFStringRef CharacterKey(UniChar c) {
  static CFStringRef keys[128] = {};
  if (c == 0 || c >= 128) return nullptr;
  if (keys[c] == nullptr) {
    const char text[2] = {char(c), 0};
    keys[c] = __CFStringMakeConstantString(text);
  }
  return keys[c];
}

Str255 ToStr255(CFStringRef s) {
  Str255 r;
  if (s == nullptr || CFGetTypeID(s) != CFStringGetTypeID()) return r;
  const CFIndex length = CFStringGetLength(s);
  for (CFIndex i = 0; i < length && r.len() < 255; ++i) r += ToMacRoman(CFStringGetCharacterAtIndex(s, i));
  return r;
}

// Whether a pattern is searched without the library is settled on its first
// calls, by cost in instructions as measured: a step of the search about 50;
// the library's pass about 1,200 and, on a match, the reading of its group
// about 2,300 more.
constexpr long kTrialCalls = 64;
constexpr long kStepCost = 50, kLibraryPass = 1200, kLibraryGroup = 2300;

// Group number token (1 to 11) of the first match of a POSIX extended
// pattern in the text; empty when it does not match or the group took no
// part. Patterns are compiled once and kept: declarations are frequent.
Str255 MatchGroup(std::string_view pattern, const Str255& text, SInt16 token, int* at = nullptr) {
  if (at != nullptr) *at = 0;
  struct Compiled {
    RegExType handle{};
    GroupProgram* programs[12] = {};  // by token, made on first use
    bool tried[12] = {};
    // The search without the library, kept while it stays cheaper than the
    // library's pass: by the steps it takes on the first calls.
    bool alone = true;
    long aloneCalls = 0, aloneSteps = 0, aloneMatches = 0;
    ~Compiled() {
      DisposeRegEx(&handle);
      for (GroupProgram* p : programs) DisposeGroupProgram(p);
    }
  };
  struct PatternHash {
    using is_transparent = void;
    size_t operator()(std::string_view s) const { return size_t(HashWord(s)); }
  };
  static auto* cache = new std::unordered_map<std::string, std::unique_ptr<Compiled>, PatternHash, std::equal_to<>>();
  if (token < 1 || token > 11) return Str255();
  // A declaration keeps asking with the same pattern: the last one is
  // compared before the pattern is hashed.
  static thread_local const std::string* lastKey = nullptr;
  static thread_local Compiled* lastSlot = nullptr;
  Compiled* slot = nullptr;
  if (lastKey != nullptr && *lastKey == pattern) {
    slot = lastSlot;
  } else {
    auto found = cache->find(pattern);
    if (found == cache->end()) {
      auto made = std::make_unique<Compiled>();
      NewRegEx(made->handle, std::string(pattern).c_str(), true, false, false);
      found = cache->emplace(std::string(pattern), std::move(made)).first;
    }
    lastKey = &found->first;
    lastSlot = slot = found->second.get();
  }
  if (slot->handle.errortext != nullptr) return Str255();
  if (!slot->tried[token]) {
    slot->tried[token] = true;
    GroupProgram* program = CompileGroupProgram(std::string(pattern).c_str(), token);
    // The reader must count the groups as the library does.
    if (program != nullptr && GroupProgramGroups(program) != slot->handle.groups) {
      DisposeGroupProgram(program);
      program = nullptr;
    }
    slot->programs[token] = program;
  }
  if (const GroupProgram* program = slot->programs[token]; program != nullptr && slot->handle.compiled != nullptr) {
    bool matched = false;
    int start = -1, end = -1;
    long steps = 0;
    const int answer =
        slot->alone ? FindGroupProgram(program, text.data() + 1, text.len(), matched, start, end, &steps) : 0;
    if (slot->alone && ++slot->aloneCalls <= kTrialCalls) {
      slot->aloneSteps += steps;
      if (answer != 1 || matched) ++slot->aloneMatches;
      if (slot->aloneCalls == kTrialCalls &&
          slot->aloneSteps * kStepCost > kTrialCalls * kLibraryPass + slot->aloneMatches * kLibraryGroup)
        slot->alone = false;
    }
    if (answer == 1) {
      if (!matched || start < 0 || end - start <= 0) return Str255();
      if (at != nullptr) *at = start + 1;
      return GNURegex::GetStringRange(text, start + 1, end);
    }
    // Else the extent of the match alone is cheap to ask for.
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", locale_t(0));
    const unsigned char* subject = text.data() + 1;
    const int length = text.len();
    regmatch_t whole[1];
    whole[0].rm_so = 0;
    whole[0].rm_eo = length;
    const locale_t previous = cLocale != locale_t(0) ? uselocale(cLocale) : locale_t(0);
    const int status = regexec(slot->handle.compiled, reinterpret_cast<const char*>(subject), 1, whole, REG_STARTEND);
    if (previous != locale_t(0)) uselocale(previous);
    if (status != 0) return Str255();
    if (RunGroupProgram(program, subject, length, int(whole[0].rm_so), int(whole[0].rm_eo), start, end) == 1) {
      if (start < 0 || end - start <= 0) return Str255();
      if (at != nullptr) *at = start + 1;
      return GNURegex::GetStringRange(text, start + 1, end);
    }
  }
  if (!MatchRegEx(slot->handle, text.str(), false, false)) return Str255();
  SInt16 start = 0, length = 0;
  GetMatchRegEx(slot->handle, token, start, length);
  if (length <= 0 || start < 1) return Str255();
  if (at != nullptr) *at = start;
  return GNURegex::GetStringRange(text, start, start + length - 1);
}

SyntaxStyleData SlotStyle(SyntaxLibraryPtr library, SInt16 slot) {
  SyntaxStyleData style{};
  if (library != nullptr && slot >= 1 && slot <= kSyntaxStyleSlots) style.style = library->styles[slot];
  style.styleIndex = 1;
  return style;
}

}  // namespace

const LibraryIndex* TSyntaxParserProcess::Reindex() {
  indexedLibrary_ = library;
  libraryIndex_ = GetLibraryIndex(library);
  return libraryIndex_;
}

const WordEntry* TSyntaxParserProcess::CurrentWordEntry() {
  const LibraryIndex* index = Index();
  if (wordEntryIndex_ != index) {
    wordEntryIndex_ = index;
    wordEntry_ = index != nullptr ? index->words.Find(state.word.view(), WordHash()) : nullptr;
  }
  return wordEntry_;
}

// Each handler first makes the cheap test that most characters fail, so the
// full handler runs only where it can do something.

void TSyntaxParserProcess::HandleEmbededLanguage() {
  if (!data.embeddedLanguage.active) {
    if (inEmbeddedLanguage || library == nullptr) return;
    if (Index()->embeddedLanguages.Empty(state.character)) return;
  } else if (!state.atEnd && !MayMatchHere(data.embeddedLanguage.close)) {
    return;
  }
  HandleEmbededLanguageBody();
}

void TSyntaxParserProcess::HandleRange() {
  if (library == nullptr) return;
  if (!state.atEnd) {
    const LibraryIndex* index = Index();
    const bool mayOpen = !index->ranges.Empty(state.character);
    if (data.rangeDepth == 0) {
      if (!mayOpen) return;
    } else if (!mayOpen && !state.languageChanged) {
      const ParserRangeData& entry = data.ranges[data.rangeDepth];
      const SyntaxRangeDataPtr top = entry.definition;
      if (!((top->singleLine || top->tag) && state.lineBreak) &&
          !(entry.nestOpen != 0 && state.character == entry.nestOpen) &&
          !MayMatchHere(entry.close.empty() ? top->close : entry.close))
        return;
    }
  }
  HandleRangeBody();
}

void TSyntaxParserProcess::HandleScope() {
  if (state.nonWord) {
    if (data.scopeDepth == 0) return;
    // Inside a tracked scope only its open and close characters count.
    const ParserScopeData& top = data.scopes[data.scopeDepth];
    if (!top.tracking) return;
    const UniChar c = state.character;
    if (!(!top.trackOpen.empty() && c == FromMacRoman(top.trackOpen[1])) &&
        !(!top.trackClose.empty() && c == FromMacRoman(top.trackClose[1])))
      return;
  }
  HandleScopeBody();
}

void TSyntaxParserProcess::HandleExpression() {
  if (!data.expression.active && state.nonWord) return;
  HandleExpressionBody();
}

void TSyntaxParserProcess::HandlePrefix() {
  if (!data.prefix.active && state.nonWord && (state.character == 0 || library == nullptr ||
                                               !Index()->prefixCharacters.test(state.character)))
    return;
  HandlePrefixBody();
}

// ---------------------------------------------------------------------------
// Embedded languages

void TSyntaxParserProcess::HandleEmbededLanguageBody() {
  ParserEmbeddedLanguageData& embedded = data.embeddedLanguage;
  ParserProcessState& st = state;
  if (embedded.active) {
    if (!(st.atEnd || (MayMatchHere(embedded.close) && ValidStringOffset(embedded.close)))) return;
    const Str63& top = TopContext();
    const bool contextAllows = top == embedded.definition.closeContext || top == kContextPreprocessor ||
                               embedded.definition.openContext == kContextAny;
    if (!contextAllows) return;
    embedded.span.length = embedded.close == st.word ? st.offset : st.offset + embedded.close.len() - 1;
    const SInt32 limit = textEnd - bufferBase;
    if (embedded.span.length > limit) embedded.span.length = limit;
    inEmbeddedLanguage = false;
    reenteredBlock_ = false;
    if (!incremental) st.languageChanged = true;
    if (source.controller != nullptr && library != nullptr && embedded.span.length >= embedded.span.location) {
      source.controller->ApplyEmbeddedLanguage(embedded.span, library->language);
      closedMarkEnd_ = SInt32(embedded.span.length) + bufferBase;
    }
    TSyntaxCollection* languages = collection != nullptr ? collection : (library != nullptr ? library->collection : nullptr);
    SyntaxLibraryPtr outer = languages != nullptr ? languages->GetLanguageLibrary(embedded.outerLanguage) : nullptr;
    if (outer != nullptr) library = outer;
    embedded = ParserEmbeddedLanguageData();
    return;
  }
  if (inEmbeddedLanguage || library == nullptr) return;
  // The destination's collection, or else the one the library came from.
  TSyntaxCollection* languages = collection != nullptr ? collection : library->collection;
  if (languages == nullptr) return;
  const LibraryIndex* index = Index();
  if (index->embeddedLanguages.Empty(st.character)) return;
  for (SyntaxEmbeddedLanguageDataPtr def : index->embeddedLanguages.Candidates(st.character)) {
    if (MissesAtSecondUnit(*this, def->open)) continue;
    if (!(def->openContext == TopContext() || def->openContext == kContextAny)) continue;
    if (!ValidStringOffset(def->open)) continue;
    // A language that is not loaded is not entered: the text stays in the
    // outer language.
    SyntaxLibraryPtr inner = languages->GetLanguageLibrary(def->language);
    if (inner == nullptr) continue;
    const bool literal = MetaCharacterKind(def->open) == 0 && !(def->open == st.word);
    embedded.active = true;
    embedded.definition = *def;
    embedded.span = CFRangeMake(st.offset + 1, 0);
    embedded.close = def->close;
    reenteredBlock_ = incremental && ReentersEarlierBlock(*def);
    if (literal) SkipCharacters(def->open.len() - 1);
    st.atEnd = true;  // ends the current word
    if (!incremental) st.languageChanged = false;
    ClearSpans();
    // The block the earlier parse left keeps its marks: nothing in it needs
    // resetting, and the re-parse may stop in it where both agree.
    if (incremental && !reenteredBlock_) Notify(kSyntaxParserNotifyEmbeddedLanguage, &embedded);
    inEmbeddedLanguage = true;
    embedded.outerLanguage = library->language;
    library = inner;
    return;
  }
}

// Entering a block clears the whole state, so from its opening on a
// re-parse reads the block exactly as the earlier parse did when that one
// opened a block of the same language at the same character, and both
// blocks close the same way. The marks tell the first; the second holds
// when every definition that may have opened the earlier block closes alike.
bool TSyntaxParserProcess::ReentersEarlierBlock(const SyntaxEmbeddedLanguageData& def) {
  TSyntaxParserController* controller = source.controller;
  if (controller == nullptr || !tracksNesting_) return false;
  const SInt32 at = state.absoluteOffset;
  if (!(controller->GetEmbeddedLanguage(at + 1) == def.language) || controller->GetEmbeddedLanguage(at) == def.language)
    return false;
  // The text from the span's end on is the earlier parse's: only the
  // definitions that open here could have opened the earlier block.
  const bool unchanged = at >= spanEnd;
  const bool anyOpen = def.openContext == kContextAny;
  for (SyntaxEmbeddedLanguageDataPtr other : Index()->embeddedLanguages.all) {
    if (other == nullptr || !(other->language == def.language)) continue;
    if (unchanged && !ValidStringOffset(other->open)) continue;
    if (!(other->close == def.close) || !(other->closeContext == def.closeContext) ||
        (other->openContext == kContextAny) != anyOpen)
      return false;
  }
  return true;
}

// ---------------------------------------------------------------------------
// Ranges

namespace {

// The bracket that closes an opening one, 0 for any other character.
UniChar ClosingBracket(UniChar c) {
  switch (c) {
    case '(': return ')';
    case '[': return ']';
    case '{': return '}';
    case '<': return '>';
    default: return 0;
  }
}

inline bool IsBlank(UniChar c) { return c == ' ' || c == '\t'; }

}  // namespace

// Characters before the buffer (an incremental parse) come from the controller.
UniChar TSyntaxParserProcess::CharAt(SInt32 bufferOffset) {
  if (bufferOffset >= 0) return bufferBase + bufferOffset < textEnd ? At(bufferOffset) : UniChar(0);
  const SInt32 absolute = bufferBase + bufferOffset;
  if (absolute < 0 || source.controller == nullptr) return 0;
  return source.controller->GetOffsetChar(absolute);
}

// A character is escaped by an odd run of break characters right before it.
bool TSyntaxParserProcess::EscapedAt(SInt32 bufferOffset, const XMLChar& breakChar) {
  if (breakChar.empty()) return false;
  const UniChar escape = FromMacRoman(breakChar[1]);
  SInt32 run = 0;
  for (SInt32 i = bufferOffset - 1; bufferBase + i >= 0 && CharAt(i) == escape; --i) ++run;
  return (run & 1) != 0;
}

// Whether the text before the current character leaves an operand to come:
// a slash there starts a literal, not a division.
bool TSyntaxParserProcess::OperandExpected(const SyntaxRangeData& definition) {
  SInt32 i = state.offset - 1 - definition.openWord.len();
  while (bufferBase + i >= 0 && IsBlank(CharAt(i))) --i;
  if (bufferBase + i < 0) return true;  // the start of the text
  const UniChar c = CharAt(i);
  if (c == '\r' || c == '\n') return true;
  if (c == ')' || c == ']') return false;
  if (!ValidWordCharacter(c)) return true;
  // A word: only the words after which an operand follows ("return").
  std::string word;
  while (bufferBase + i >= 0 && ValidWordCharacter(CharAt(i)) && word.size() < 64) word.insert(word.begin(), char(ToMacRoman(CharAt(i--))));
  return definition.operandWords != nullptr && SyntaxSetContainsWord(definition.operandWords, std::string_view(word));
}

// The tag after the open text, in the open's quote when it ends with one;
// the number of characters tag and quote take, 0 when there is no tag.
SInt32 TSyntaxParserProcess::ReadTag(const SyntaxRangeData& definition, Str63& tag) {
  tag.Clear();
  const SInt16 first = SInt16(definition.open.len());
  const unsigned char last = definition.open.empty() ? 0 : definition.open[definition.open.len()];
  const UniChar quote = (last == '\'' || last == '"' || last == '`') ? UniChar(last) : 0;
  SInt16 n = first;
  for (;; ++n) {
    const UniChar c = GetCharacterAtOffset(n);
    const bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
    if (!(letter || (n > first && c >= '0' && c <= '9')) || tag.len() >= 63) break;
    tag += static_cast<unsigned char>(c);
  }
  if (tag.empty()) return 0;
  if (quote != 0) {
    if (GetCharacterAtOffset(n) != quote) {
      tag.Clear();
      return 0;
    }
    ++n;
  }
  return n - first;
}

// At a line break: the number of characters to the end of the closing tag
// when the next line begins with it, else 0.
SInt32 TSyntaxParserProcess::TagClosesHere(const ParserRangeData& range) {
  if (range.tag.empty() || !state.lineBreak) return 0;
  SInt16 n = 1;
  if (range.definition->indentedClose)
    while (n < 1000 && IsBlank(GetCharacterAtOffset(n))) ++n;
  for (int i = 1; i <= range.tag.len(); ++i, ++n)
    if (GetCharacterAtOffset(n) != UniChar(range.tag[i])) return 0;
  const UniChar after = GetCharacterAtOffset(n);
  if (after != 0 && ValidWordCharacter(after)) return 0;
  if (range.definition->tagAlone && after != 0 && after != '\r' && after != '\n') return 0;
  return n;
}

void TSyntaxParserProcess::HandleRangeBody() {
  ParserProcessState& st = state;
  if (library == nullptr) return;
  while (data.rangeDepth > 0) {
    ParserRangeData& top = data.ranges[data.rangeDepth];
    SyntaxRangeDataPtr def = top.definition;
    const Str15& close = top.close.empty() ? def->close : top.close;
    SInt32 end = 0;
    SInt32 skip = 0;
    bool closes = false;
    SInt32 tagLength = 0;
    // A re-parse takes the earlier parse's word for where the language
    // ends, unless it reads a block it knows: that one finds the end itself.
    if (st.languageChanged && !(st.embeddedLanguage == library->language) && !(incremental && inEmbeddedLanguage)) {
      closes = true;
      end = st.offset - 1;
    } else if ((tagLength = TagClosesHere(top)) > 0) {
      closes = true;
      end = st.offset + tagLength;
      skip = tagLength - 1;
    } else if (def->singleLine && st.lineBreak) {
      closes = true;
      end = st.offset;
    } else if (st.atEnd) {
      // Whatever is still open closes at the end of the text.
      closes = true;
      end = MetaCharacterKind(close) != 0 ? st.offset : st.offset + close.len();
    } else if (top.nestOpen != 0 && st.character == top.nestOpen && !EscapedAt(st.offset, def->breakChar)) {
      ++top.nesting;
      return;
    } else if (!top.tag.empty()) {
      break;  // a heredoc ends only at its tag
    } else if (MayMatchHere(close) && ValidStringOffset(close)) {
      // The close is escaped only by an odd run of break characters before it
      // ("\\" followed by the close text closes).
      if (!EscapedAt(st.offset, def->breakChar)) {
        if (top.nesting > 0) {
          --top.nesting;
          return;
        }
        if (top.partsLeft > 1) {
          // The next part of a substitution: the same delimiter goes on; after
          // brackets, the next part has brackets of its own.
          --top.partsLeft;
          const UniChar delimiter = FromMacRoman(def->open[def->open.len()]);
          if (ClosingBracket(delimiter) == 0) return;
          SInt16 n = 1;
          while (n < 1000 && (IsBlank(GetCharacterAtOffset(n)) || GetCharacterAtOffset(n) == '\r' ||
                              GetCharacterAtOffset(n) == '\n'))
            ++n;
          const UniChar next = GetCharacterAtOffset(n);
          if (ClosingBracket(next) != 0) {
            top.close.Clear();
            top.close += ToMacRoman(ClosingBracket(next));
            if (top.nestOpen != 0) top.nestOpen = next;
            SkipCharacters(n);
            return;
          }
        }
        closes = true;
        if (MetaCharacterKind(close) != 0) {
          end = st.offset;
        } else {
          end = st.offset + close.len();
          if (!(close == st.word)) skip = close.len() - 1;
        }
      }
    }
    if (!closes) break;
    const bool atLineEnd = def->singleLine && st.lineBreak;
    const CFRange span = CFRangeMake(top.span.location, end);
    top = ParserRangeData();
    --data.rangeDepth;
    ApplyRangeStyle(def->styleData, span);
    if (!def->applyContext.empty()) ClearContext();
    if (def->nestStyles) {
      // Styles inside keep waiting while a range around that nests styles
      // too is open: they are applied, innermost last, when it closes.
      bool outerNests = false;
      for (SInt16 i = 1; i <= data.rangeDepth; ++i) outerNests = outerNests || data.ranges[i].definition->nestStyles;
      if (!outerNests) DumpStyleRanges();
    }
    // The close text is read once: its other characters are stepped over.
    SkipCharacters(skip);
    // A line break ends every one-line range open on that line, not only
    // the innermost.
    if (atLineEnd && data.rangeDepth > 0 && data.ranges[data.rangeDepth].definition->singleLine) continue;
    if (!st.atEnd) return;
  }
  if (st.atEnd) return;

  const LibraryIndex* index = Index();
  if (index->ranges.Empty(st.character)) return;
  // An escaped character inside a range opens nothing ("\[" in a literal).
  if (data.rangeDepth > 0 && EscapedAt(st.offset, data.ranges[data.rangeDepth].definition->breakChar)) return;
  for (SyntaxRangeDataPtr def : index->ranges.Candidates(st.character)) {
    if (!def->openWord.empty()) {
      // The word must stand right before the open text ("q{").
      if (!(def->openWord == st.previousWord) || st.previousWordSpan.length != st.offset) continue;
      // After a sigil or "->" the word is a name ("$y/2", "$obj->s(1)").
      if (AfterSigil(st.previousWordSpan.location, true)) continue;
    }
    // Where "$" is a sigil (it opens variables, or is no word character),
    // "$'" and "$\"" are variables: the quote after it opens no string. (A
    // backquote after "$" may be a template given to a function "$".)
    if (def->open.len() == 1 && (st.character == '\'' || st.character == '"') &&
        bufferBase + st.offset - 1 >= 0 && CharAt(st.offset - 1) == '$' &&
        (index->prefixCharacters.test('$') || !ValidWordCharacter('$')))
      continue;
    if (MissesAtSecondUnit(*this, def->open) || !ValidStringOffset(def->open)) continue;
    if (def->anchor) {
      // Only where a line starts: the character before the opening (its word
      // included) is a line break, or the opening starts the text.
      const SInt32 before = st.offset - def->openWord.len() - 1;
      if (bufferBase + before >= 0) {
        const UniChar c = CharAt(before);
        if (c != '\r' && c != '\n') continue;
      }
    }
    if (!GetContext(*def)) continue;
    if (def->operand && !OperandExpected(*def)) continue;
    if (def->notAfter != nullptr) {
      // Not right after one of the texts, nor after one of the words with
      // blanks between ("$`" is a variable, "class <<self" no text block).
      SInt32 i = st.offset - 1 - def->openWord.len();
      bool excluded = false;
      if (bufferBase + i >= 0 && !ValidWordCharacter(CharAt(i))) {
        const char before = char(ToMacRoman(CharAt(i)));
        excluded = SyntaxSetContainsWord(def->notAfter, std::string_view(&before, 1));
      }
      while (!excluded && bufferBase + i >= 0 && IsBlank(CharAt(i))) --i;
      std::string word;
      while (!excluded && bufferBase + i >= 0 && ValidWordCharacter(CharAt(i)) && word.size() < 64)
        word.insert(word.begin(), char(ToMacRoman(CharAt(i--))));
      if (excluded || (!word.empty() && SyntaxSetContainsWord(def->notAfter, std::string_view(word)))) continue;
    }
    Str63 tag;
    SInt32 tagLength = 0;
    if (def->tag && (tagLength = ReadTag(*def, tag)) == 0) continue;
    if (data.rangeDepth >= kParserStackDepth) return;
    ParserRangeData& entry = data.ranges[++data.rangeDepth];
    entry = ParserRangeData();
    entry.span = CFRangeMake(st.offset, 0);
    entry.definition = def;
    entry.tag = tag;
    entry.partsLeft = def->parts;
    if (def->balanced && !def->open.empty()) {
      const UniChar bracket = FromMacRoman(def->open[def->open.len()]);
      if (ClosingBracket(bracket) != 0) entry.nestOpen = bracket;
    }
    if (def->nestStyles) st.deferStyles = true;
    if (def->unbalanced) unbalancedOpen = true;
    if (!def->openWord.empty()) entry.span.location -= def->openWord.len();
    if (!def->applyContext.empty()) SetContext(Str63(def->applyContext));
    // The open text is read once, so "/*/" does not close what it opened.
    if (MetaCharacterKind(def->open) == 0 && !(def->open == st.word)) SkipCharacters(def->open.len() - 1 + tagLength);
    return;
  }
}

// ---------------------------------------------------------------------------
// Keywords and numbers

void TSyntaxParserProcess::HandleKeyword() {
  ParserProcessState& st = state;
  if (library == nullptr || st.word.empty() || preprocessor_) return;
  const bool emptyContext = emptyContext_;
  if (emptyContext && AllDigits(st.word)) {
    ApplyRangeStyle(SlotStyle(library, kSyntaxStyleNumbers), st.wordSpan);
    return;
  }
  const LibraryIndex* index = Index();
  // The keyword the word is here, if any.
  auto keyword = [&]() -> SyntaxKeywordDataPtr {
    if (index->keywords.empty()) return nullptr;
    unsigned char lower[64];
    const int n = LowerWord(st.word, lower);
    const std::string_view key(reinterpret_cast<const char*>(lower), size_t(n));
    // A word already in lower case has the hash the word has.
    const bool same = key == st.word.view();
    const auto* found = index->keywords.Find(key, same ? WordHash() : HashWord(lower, size_t(n)));
    if (found == nullptr) return nullptr;
    for (SyntaxKeywordDataPtr def : *found)
      if (GetContext(*def)) return def;
    return nullptr;
  };
  if (fileSystem != nullptr && emptyContext) {
    SymbolInfoPtr symbol = IndexGetSymbol(fileSystem, st.word.view());
    const SInt16 slot = SymbolGetStyleIndex(symbol);
    if (symbol != nullptr && slot >= 1 && slot <= kSyntaxStyleSlots) {
      // A reserved word that opens a block stays one whatever another file
      // names so: a method "for" elsewhere must not hide the "for" that
      // opens a block here. Other words take the symbol's colour.
      SyntaxKeywordDataPtr reserved = keyword();
      const auto opensBlock = [&] {
        for (const ScopeBlockEntry& entry : index->scopeBlocks)
          if (entry.open.ContainsWord(st.word.view(), WordHash()) ||
              entry.openNewline.ContainsWord(st.word.view(), WordHash()))
            return true;
        return false;
      };
      if (reserved == nullptr || !reserved->reserved || !opensBlock()) {
        SyntaxStyleData style = SlotStyle(library, slot);
        style.styleIndex = slot;
        ApplyRangeStyle(style, st.wordSpan);
        return;
      }
    }
  }
  SyntaxKeywordDataPtr def = keyword();
  if (def == nullptr) return;
  if (def->nest) st.deferStyles = true;
  ApplyRangeStyle(def->styleData, st.wordSpan);
  st.reservedWord = def->reserved;
}

// ---------------------------------------------------------------------------
// Scope blocks

void TSyntaxParserProcess::HandleScopeBlock() {
  ParserProcessState& st = state;
  if (!st.reservedWord || library == nullptr || st.word.empty()) return;
  const LibraryIndex* index = Index();
  const std::string_view word = st.word.view();
  if (data.scopeBlockDepth > 0) {
    ParserScopeBlockData& top = data.scopeBlocks[data.scopeBlockDepth];
    SyntaxScopeBlockDataPtr def = top.definition;
    const ScopeBlockEntry* entry = nullptr;
    for (const ScopeBlockEntry& e : index->scopeBlocks)
      if (e.definition == def) entry = &e;
    const bool closes = def != nullptr && (entry != nullptr ? entry->close.ContainsWord(word, WordHash())
                                                            : ContainsWord(def->close, st.word));
    if (closes && GetContext(*def)) {
      top.span.length = st.offset;
      AppendScopeDump(top.symbol, top.span);
      if (data.scopeBlockDepth == 1) DumpScopeRanges();
      if (data.scopeDepth > 0 && ((data.scopes[data.scopeDepth].symbol != nullptr &&
                                   data.scopes[data.scopeDepth].symbol == top.symbol) ||
                                  top.scopeLevel == data.scopeDepth)) {
        data.scopes[data.scopeDepth] = ParserScopeData();
        --data.scopeDepth;
      }
      top = ParserScopeBlockData();
      --data.scopeBlockDepth;
      return;
    }
  }
  // Ten blocks deep is the limit: a deeper opening is read as plain text.
  if (data.scopeBlockDepth >= kParserStackDepth) return;
  // The words that open a block only where a statement starts ("if"): at a
  // line's start, or after an operator or an opening bracket ("x = if a",
  // "(if a"); after an expression they end a statement ("return if a").
  auto statementStart = [&]() {
    if (st.atLineStart) return true;
    SInt32 i = st.wordSpan.location - 1;
    while (bufferBase + i >= 0 && IsBlank(CharAt(i))) --i;
    if (bufferBase + i < 0) return true;
    const UniChar c = CharAt(i);
    return c == '(' || c == '=' || c == ';' || c == '[' || c == ',' || c == '|' || c == '&' || c == '!';
  };
  for (const ScopeBlockEntry& entry : index->scopeBlocks) {
    SyntaxScopeBlockDataPtr def = entry.definition;
    if (!GetContext(*def)) continue;
    if (!entry.open.ContainsWord(word, WordHash()) &&
        !(entry.openNewline.ContainsWord(word, WordHash()) && statementStart()))
      continue;
    ParserScopeBlockData& block = data.scopeBlocks[++data.scopeBlockDepth];
    block = ParserScopeBlockData();
    block.blockName = st.word;
    block.span = CFRangeMake(st.offset, 0);
    blockOpenedAt_ = st.offset;
    block.definition = def;
    if (def->inheritSymbol && data.scopeDepth > 0) block.symbol = data.scopes[data.scopeDepth].symbol;
    return;
  }
}

// ---------------------------------------------------------------------------
// Scopes

void TSyntaxParserProcess::HandleScopeBody() {
  ParserProcessState& st = state;
  if (data.scopeDepth > 0 && st.nonWord) {
    ParserScopeData& top = data.scopes[data.scopeDepth];
    // A bracket in a string or a comment inside the scope is text.
    if (top.tracking && st.contextDepth == top.contextDepth) {
      const UniChar c = st.character;
      if (!top.trackOpen.empty() && c == FromMacRoman(top.trackOpen[1])) {
        ++top.nesting;
      } else if (!top.trackClose.empty() && c == FromMacRoman(top.trackClose[1])) {
        if (--top.nesting == 0) {
          top.span.length = st.offset;
          AppendScopeDump(top.symbol, top.span);
          if (data.scopeDepth == 1) DumpScopeRanges();
          top = ParserScopeData();
          --data.scopeDepth;
          return;
        }
      }
    }
  }
  if (st.nonWord || st.word.empty() || library == nullptr) return;
  const WordEntry* entry = CurrentWordEntry();
  if (entry == nullptr) return;
  for (SyntaxScopeDataPtr def : entry->scopes) {
    if (!GetContext(*def) || !ValidScope(true, *def)) continue;
    const SInt16 level = data.scopeDepth;
    if (!PushScope()) return;
    ParserScopeData& scope = data.scopes[data.scopeDepth];
    scope.definition = def;
    scope.scopeName = st.word;
    scope.span = CFRangeMake(st.wordSpan.location, 0);
    SetScopeRangeTracking(data.scopeDepth, nullptr, *def);
    scope.symbolName = st.word;
    ApplyDefinitionAction(st.word, st.wordSpan, level, *def);
    return;
  }
}

// Ten scopes deep is the limit: a deeper one is not opened.
bool TSyntaxParserProcess::PushScope() {
  if (data.scopeDepth >= kParserStackDepth) return false;
  data.scopes[++data.scopeDepth] = ParserScopeData();
  data.scopes[data.scopeDepth].contextDepth = state.contextDepth;
  return true;
}

// A word right after a sigil or "->" is a name, not a keyword ("$package",
// "$obj->sub"); quote-like words also after the other sigils ("@s", "%y").
bool TSyntaxParserProcess::AfterSigil(SInt32 wordStart, bool anySigil) {
  const UniChar c = CharAt(wordStart - 1);
  if (c == '$' || (c == '>' && CharAt(wordStart - 2) == '-')) return true;
  return anySigil && (c == '@' || c == '%' || c == '&');
}

// Directly in the body of the top scope: its brackets are open once, not
// more (a method of a class, not a block inside one).
bool TSyntaxParserProcess::InScopeBody() {
  if (data.scopeDepth == 0) return false;
  const ParserScopeData& top = data.scopes[data.scopeDepth];
  return top.tracking && top.nesting <= 1 && state.contextDepth == top.contextDepth;
}

Boolean TSyntaxParserProcess::ValidScope(Boolean change, const SyntaxStandardData& definition) {
  const CFSetRef set = definition.scopes;
  if (set == nullptr) return true;
  if (data.scopeDepth == 0 && CFSetGetCount(set) == 1 && SyntaxSetContainsWord(set, std::string_view("root")))
    return true;
  if (!definition.scopeDeep)
    return data.scopeDepth > 0 && ContainsWord(set, data.scopes[data.scopeDepth].scopeName);
  for (SInt16 level = data.scopeDepth; level >= 1; --level) {
    if (!ContainsWord(set, data.scopes[level].scopeName)) continue;
    if (change) {
      while (data.scopeDepth > level) data.scopes[data.scopeDepth--] = ParserScopeData();
    }
    return true;
  }
  return false;
}

void TSyntaxParserProcess::SetScopeRangeTracking(SInt16 level, SymbolInfoPtr symbol,
                                                 const SyntaxStandardData& definition) {
  if (definition.scopeRangeOpen.empty() || definition.scopeRangeClose.empty()) return;
  if (level < 1 || level > data.scopeDepth) return;
  ParserScopeData& scope = data.scopes[level];
  scope.tracking = true;
  scope.symbol = symbol;
  scope.trackOpen = definition.scopeRangeOpen;
  scope.trackClose = definition.scopeRangeClose;
}

// ---------------------------------------------------------------------------
// Expressions

void TSyntaxParserProcess::HandleExpressionBody() {
  ParserProcessState& st = state;
  if (library == nullptr || preprocessor_) return;
  ParserExpressionData& expression = data.expression;
  if (expression.active) {
    if (!st.nonWord) expression.collected += st.word;
    else if (st.character != 0) expression.collected += ToMacRoman(st.character);
    SyntaxExpressionDataPtr def = expression.definition;
    // The statement may also end before the line does ("const a = 1; class B").
    const bool alsoEnds = st.nonWord && !def->alsoBreak.empty() && st.character == FromMacRoman(def->alsoBreak[1]);
    if ((ValidOffsetMetaCharacter(expression.lineBreak) || alsoEnds) && GetContext(*def)) {
      expression.span.length = st.offset;
      if (def->token == 0) def->token = 1;
      SInt16 token = def->token;
      // The text after the keyword, where the name is looked for: the first
      // place (from 1) of a name in it, read in place rather than copied out.
      const SInt32 rawFirst = std::max<SInt32>(expression.span.location, 0);
      const SInt32 rawEnd =
          std::min({st.offset, rawFirst + SInt32(255), textEnd - bufferBase});  // as TextRange cuts it
      auto findInRaw = [&](const Str255& name) -> int {
        const int n = name.len();
        const SInt32 length = rawEnd - rawFirst;
        if (n == 0 || n > length) return 0;
        for (SInt32 k = 0; k + n <= length; ++k) {
          int j = 0;
          while (j < n && ToMacRoman(At(rawFirst + k + j)) == name[j + 1]) ++j;
          if (j == n) return int(k) + 1;
        }
        return 0;
      };
      Str255 match;
      bool usable = true;
      if (!def->expressionGPC.empty()) {
        // A regular expression wins over a wildcard pattern.
        match = MatchGroup(expression.pattern.view(), expression.collected, token);
        // Not this definition's statement: the keyword's later definitions
        // that end alike read the same text.
        for (size_t next = expression.choice + 1;
             match.empty() && expression.entry != nullptr && next < expression.entry->expressions.size(); ++next) {
          SyntaxExpressionDataPtr other = expression.entry->expressions[next];
          if (other->expressionGPC.empty() || other->lineBreak != def->lineBreak ||
              other->alsoBreak != def->alsoBreak || !GetContext(*other) || !ValidScope(false, *other))
            continue;
          if (other->token == 0) other->token = 1;
          match = MatchGroup(other->expressionGPC.view(), expression.collected, other->token);
          if (match.empty()) continue;
          def = other;
          token = other->token;
          expression.definition = other;
          expression.pattern = other->expressionGPC;
        }
      } else if (!def->expression.empty()) {
        Str255 trimmed = TextRange(expression.span.location, st.offset - 1);
        TrimWhiteSpace(trimmed);
        const ParseOptions how = def->numeric ? ParseOptions(kIgnoreWhiteSpace) : ParseOptions();
        CFArrayRef pieces = GetStringExpression(expression.pattern, def->numeric, trimmed, 1, how);
        if (pieces != nullptr) {
          if (token >= 1 && token <= CFArrayGetCount(pieces)) match = GetStringAtIndex(pieces, token);
          CFRelease(pieces);
        }
        if (!match.empty() && !IsWordByte(match[1])) usable = false;
      }
      if (usable && !match.empty() && ValidScope(false, *def)) {
        // A declaration that opened a block binds to it, and to no other: a
        // one-line "class E < X; end" has closed its block already.
        const SInt32 keywordEnd = expression.span.location - 1;
        const bool openedBlock = blockOpenedAt_ == keywordEnd;
        const bool ownBlock = !openedBlock || (data.scopeBlockDepth > 0 &&
                                               data.scopeBlocks[data.scopeBlockDepth].span.location == keywordEnd);
        bindBlock_ = ownBlock;
        // Without a block of its own the scope of a declaration lasts until
        // the next one like it ("package B;" ends package A).
        if (!openedBlock && data.scopeDepth > 0 && data.scopes[data.scopeDepth].definition == def &&
            SyntaxActionsContain(def->actions, kSyntaxActionScopeBlock) &&
            SyntaxActionsContain(def->actions, kSyntaxActionSymbol))
          data.scopes[data.scopeDepth--] = ParserScopeData();
        // The name's own span, wherever it stands after the keyword.
        const int at = findInRaw(match);
        const SInt32 start = at > 0 ? expression.span.location + at - 1 : expression.span.location;
        const CFRange span = CFRangeMake(start, start + match.len() + (at > 0 ? 0 : 1));
        const Str63 name(match);
        SymbolInfoPtr symbol = ApplyDefinitionAction(name, span, data.scopeDepth, *def);
        bindBlock_ = true;
        Str255 declaration = expression.collected;
        if (declaration.len() > 128) declaration.SetLength(128);
        SymbolSetSource(symbol, declaration);
        // A re-parse opens the scopes a whole parse opens (its symbol is
        // nil): keys after it in the new class are read in that class.
        if (ownBlock) {
          const SInt32 keywordStart = expression.span.location - expression.keyword.len();
          if (SyntaxActionsContain(def->actions, kSyntaxActionScopeBlock) &&
              SyntaxActionsContain(def->actions, kSyntaxActionSymbol) && PushScope()) {
            ParserScopeData& scope = data.scopes[data.scopeDepth];
            scope.scopeName = expression.keyword;
            scope.symbolName = name;
            scope.symbol = symbol;
            scope.definition = def;
            scope.span = CFRangeMake(keywordStart, expression.span.length);
            if (data.scopeBlockDepth > 0) data.scopeBlocks[data.scopeBlockDepth].scopeLevel = data.scopeDepth;
          }
          if (SyntaxActionsContain(def->actions, kSyntaxActionScope) && PushScope()) {
            ParserScopeData& scope = data.scopes[data.scopeDepth];
            scope.scopeName = expression.keyword;
            scope.symbolName = name;
            scope.definition = def;
            scope.span = CFRangeMake(keywordStart, expression.span.length);
            SetScopeRangeTracking(data.scopeDepth, symbol, *def);
          }
        }
        if (def->allMatches && !def->expressionGPC.empty()) {
          // The names after the first: each match further on in the text.
          Str255 rest = expression.collected;
          int from = 0;
          MatchGroup(expression.pattern.view(), rest, token, &from);
          for (int guard = 0; from > 0 && guard < 64; ++guard) {
            const int restStart = from + match.len();
            if (restStart > rest.len()) break;
            rest = GNURegex::GetStringRange(rest, restStart, rest.len());
            match = MatchGroup(expression.pattern.view(), rest, token, &from);
            if (match.empty()) break;
            const int place = findInRaw(match);
            const SInt32 first = place > 0 ? expression.span.location + place - 1 : expression.span.location;
            SymbolSetSource(ApplyDefinitionAction(Str63(match), CFRangeMake(first, first + match.len()),
                                                  data.scopeDepth, *def),
                            declaration);
          }
        }
      }
      expression = ParserExpressionData();
    }
    if (expression.active) return;
  }
  if (st.nonWord || st.word.empty()) return;
  const WordEntry* entry = CurrentWordEntry();
  if (entry == nullptr || AfterSigil(st.wordSpan.location, false)) return;
  for (size_t choice = 0; choice < entry->expressions.size(); ++choice) {
    SyntaxExpressionDataPtr def = entry->expressions[choice];
    if (!GetContext(*def) || !ValidScope(false, *def)) continue;
    expression.active = true;
    expression.entry = entry;
    expression.choice = choice;
    expression.keyword = st.word;
    expression.span = CFRangeMake(st.offset + 1, 0);
    expression.lineBreak = def->lineBreak;
    expression.definition = def;
    expression.pattern = def->expression;
    if (!def->expressionGPC.empty()) expression.pattern = def->expressionGPC;
    expression.collected = st.word;
    if (MetaCharacterKind(def->lineBreak) == 0 && !def->lineBreak.empty() &&
        st.character == FromMacRoman(def->lineBreak[1]))
      expression = ParserExpressionData();
    return;
  }
}

// ---------------------------------------------------------------------------
// Prefixes

void TSyntaxParserProcess::HandlePrefixBody() {
  ParserProcessState& st = state;
  if (library == nullptr) return;
  ParserPrefixData& pending = data.prefix;
  if (pending.active) {
    SyntaxPrefixDataPtr def = pending.definition;
    if (!def->expression.empty()) {
      if (!st.nonWord || !ValidOffsetMetaCharacter(def->lineBreak)) return;
      if (def->token == 0) def->token = 1;
      pending.span.length = st.offset;
      const Str255 text = TextRange(pending.span.location, st.offset);
      int at = 0;
      Str255 name = MatchGroup(def->expression.view(), text, def->token, &at);
      TrimWhiteSpace(name);
      if (!name.empty()) {
        // The span of the name itself when the pattern says where it is.
        CFRange span = pending.span;
        if (at > 0) {
          while (at <= text.len() && (text[at] == ' ' || text[at] == '\t' || text[at] == '\r')) ++at;
          span = CFRangeMake(pending.span.location + at - 1, pending.span.location + at - 1 + name.len());
        }
        SymbolInfoPtr symbol = ApplyDefinitionAction(Str63(name), span, data.scopeDepth, *def);
        Str255 declaration = text;
        TrimWhiteSpace(declaration);
        if (declaration.len() > 128) declaration.SetLength(128);
        SymbolSetSource(symbol, declaration);
        // The names after the first, each further on in the text.
        for (int from = at, guard = 0; def->allMatches && at > 0 && guard < 64; ++guard) {
          from += name.len();
          if (from > text.len()) break;
          int next = 0;
          name = MatchGroup(def->expression.view(), GNURegex::GetStringRange(text, from, text.len()), def->token, &next);
          if (name.empty() || next <= 0) break;
          from += next - 1;
          const SInt32 first = pending.span.location + from - 1;
          SymbolSetSource(ApplyDefinitionAction(Str63(name), CFRangeMake(first, first + name.len()),
                                                data.scopeDepth, *def),
                          declaration);
        }
      }
      pending = ParserPrefixData();
      // The character that ended it may start the next one (a line break
      // ends one line and begins the next).
      if (!Index()->prefixCharacters.test(st.character)) return;
    } else {
      if (st.nonWord) return;
      if (!pending.prefixName.empty() && pending.symbolName.empty()) {
        // A declaration word names the word after it.
        pending.symbolName = st.word;
        pending.span = st.wordSpan;
      } else if (pending.prefixName.empty()) {
        if (def->ignorePrefix) pending.prefixName = st.word;
        else pending.prefixName = Str63(Str255(pending.prefix) + st.word);
        pending.symbolName = pending.prefixName;
        pending.span.length = st.offset + 1;
      }
      const Str63 name = pending.symbolName;
      const CFRange span = pending.span;
      pending = ParserPrefixData();
      ApplyDefinitionAction(name, span, data.scopeDepth, *def);
      return;
    }
  }

  const LibraryIndex* index = Index();
  const bool wordEnd = !st.nonWord && !st.word.empty();
  // Most characters and words can start no prefix at all.
  if (wordEnd) {
    if (!index->prefixCharacters.test(At(st.wordSpan.location)) && !(index->hasAltPrefixes && fileSystem != nullptr)) {
      const WordEntry* entry = CurrentWordEntry();
      if (entry == nullptr || !entry->prefix) return;
    }
  } else if (!st.nonWord || st.character == 0 || !index->prefixCharacters.test(st.character)) {
    return;
  }
  for (const PrefixEntry& entry : index->prefixes) {
    SyntaxPrefixDataPtr def = entry.definition;
    if (wordEnd && fileSystem != nullptr && def->altPrefixes != nullptr) {
      const CFStringRef key = CharacterKey(st.lastNonWordChar);
      const void* value = key != nullptr ? CFDictionaryGetValue(def->altPrefixes, key) : nullptr;
      if (value != nullptr && GetContext(*def)) {
        const Str255 full = ToStr255(static_cast<CFStringRef>(value)) + st.word;
        SymbolInfoPtr symbol = IndexGetSymbol(fileSystem, full.view());
        const SInt16 slot = SymbolGetStyleIndex(symbol);
        if (symbol != nullptr && slot >= 1 && slot <= kSyntaxStyleSlots) {
          SyntaxStyleData style = SlotStyle(library, slot);
          style.styleIndex = slot;
          ApplyRangeStyle(style, st.wordSpan);
          return;
        }
      }
    }
    if (def->compileMode && !collecting) continue;
    if (def->prefixes == nullptr) continue;
    if (def->scopeBody && !InScopeBody()) continue;
    if (wordEnd) {
      const UniChar first = At(st.wordSpan.location);
      if (entry.prefixes.ContainsUnit(first) && ValidScope(false, *def) && GetContext(*def) &&
          (!def->lineStart || st.atLineStart)) {
        if (!def->expression.empty()) {
          // The pattern reads the rest of the line the word begins ("MAX =
          // 10") at once, so no prefix waits and the line's others still act.
          Str255 line;
          const SInt16 back = SInt16(st.wordSpan.location - st.offset);
          for (SInt16 n = back; line.len() < 255; ++n) {
            const UniChar c = GetCharacterAtOffset(n);
            if (c == 0 || c == '\r' || c == '\n') break;
            line += ToMacRoman(c);
          }
          if (def->token == 0) def->token = 1;
          int at = 0;
          const Str255 name = MatchGroup(def->expression.view(), line, def->token, &at);
          if (name.empty() || at <= 0) continue;
          const SInt32 start = st.wordSpan.location + at - 1;
          Str255 declaration = line;
          TrimWhiteSpace(declaration);
          if (declaration.len() > 128) declaration.SetLength(128);
          SymbolSetSource(ApplyDefinitionAction(Str63(name), CFRangeMake(start, start + name.len()), data.scopeDepth, *def),
                          declaration);
          return;
        }
        ApplyDefinitionAction(st.word, CFRangeMake(st.wordSpan.location, st.offset + 1), data.scopeDepth, *def);
        return;
      }
      if (entry.prefixes.ContainsWord(st.word.view(), WordHash()) && ValidScope(false, *def) && GetContext(*def)) {
        pending.active = true;
        pending.prefix = st.word;
        pending.prefixName = st.word;
        pending.span = CFRangeMake(st.offset - 1, 0);
        pending.definition = def;
        return;
      }
    } else if (st.nonWord && st.character != 0) {
      const UniChar c = st.character;
      if (entry.prefixes.ContainsUnit(c) && ValidScope(false, *def) && GetContext(*def)) {
        pending.active = true;
        pending.prefix.Clear();
        pending.prefix += ToMacRoman(c);
        pending.span = CFRangeMake(st.offset + (def->ignorePrefix ? 1 : 0), 0);
        pending.definition = def;
        return;
      }
    }
  }
}

// ---------------------------------------------------------------------------
// Actions

SymbolInfoPtr TSyntaxParserProcess::ApplyDefinitionAction(const Str63& name, CFRange span, SInt16 level,
                                                          const SyntaxStandardData& definition) {
  if (name.empty() || (options & kSyntaxParserProcessDisableActions) != 0) return nullptr;
  const SyntaxActions actions = definition.actions;
  SymbolInfoPtr symbol = nullptr;
  if (SyntaxActionsContain(actions, kSyntaxActionSymbol) && !incremental) {
    if (fileSystem != nullptr) {
      SymbolInfoPtr found = IndexGetSymbol(fileSystem, name.view());
      if (!collecting) {
        symbol = found;
      } else if (found == nullptr || definition.allowOverloading ||
                 !(SymbolGetFileName(found) == IndexGetDescriptorName(descriptor))) {
        Str63 parentName;
        if (level >= 1 && level <= data.scopeDepth && data.scopes[level].symbol != nullptr)
          parentName = data.scopes[level].symbolName;
        symbol = IndexAddSymbol(fileSystem, descriptor, name, parentName, definition);
      } else {
        symbol = found;
      }
    }
    if (SyntaxActionsContain(actions, kSyntaxActionTrack) && source.controller != nullptr && symbol != nullptr)
      source.controller->ApplySymbol(span, symbol);
  }
  if (SyntaxActionsContain(actions, kSyntaxActionScopeBlock) && !incremental && data.scopeBlockDepth > 0 &&
      symbol != nullptr && bindBlock_)
    data.scopeBlocks[data.scopeBlockDepth].symbol = symbol;
  if (SyntaxActionsContain(actions, kSyntaxActionHeader) && !incremental && collecting)
    ApplyHeaderAction(Str255(name));
  if (SyntaxActionsContain(actions, kSyntaxActionStyle)) ApplyRangeStyle(definition.styleData, span);
  return symbol;
}

void TSyntaxParserProcess::ApplyHeaderAction(const Str255& name) { IndexAppendHeader(descriptor, name); }

void TSyntaxParserProcess::ApplyScriptAction(CFRange, SInt16, const SyntaxStandardData&) {}
