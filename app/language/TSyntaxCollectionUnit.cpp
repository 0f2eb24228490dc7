#include "TSyntaxCollectionUnit.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "CFBundle.h"
#include "CFData.h"
#include "CFNumber.h"
#include "CFPascal.h"
#include "CFPropertyList.h"
#include "CFURL.h"
#include "PascalCarbonCommon.h"
#include "PascalStringUtilities.h"
#include "UTType.h"

namespace {

// ---------------------------------------------------------------------------
// The style table

struct StyleSlotInfo {
  const char* styleName;
  const char* displayName;
  RGBColor color;
};

// Defaults are the low 16 bits of the colour setter's integers (99999 gives
// 34463).
const StyleSlotInfo kStyleSlots[kSyntaxStyleUsedSlots] = {
    {"built-in-function", "Built-in-Functions", {33333, 33333, 33333}},
    {"class", "Classes", {55555, 0, 34463}},
    {"comment", "Comments", {55555, 55555, 0}},
    {"constant", "Constants", {0, 39321, 65535}},
    {"element", "Elements", {0, 44444, 0}},
    {"function", "Functions", {52428, 0, 65535}},
    {"method", "Methods", {65535, 0, 65535}},
    {"html", "HTML", {0, 0, 55555}},
    {"keyword", "Keywords", {0, 34463, 33333}},
    {"operator", "Operators", {33333, 33333, 33333}},
    {"string", "Strings", {55555, 33333, 0}},
    {"variable", "Variables", {33333, 55555, 0}},
    {"instance-variable", "Instance Variables", {0, 55555, 0}},
    {"global-variable", "Global Variables", {33333, 39321, 0}},
    {"html-tag", "Tag Titles", {0, 65535, 39321}},
    {"html-attribute", "Attributes", {0, 0, 65535}},
    {"", "Numbers", {0, 0, 65535}},
};

// A stored language file is a few hundred kilobytes at most; anything far
// larger is not one and is not read into memory.
constexpr CFIndex kMaxSpecificationBytes = 32 * 1024 * 1024;

void Complain(const Str63& language, const std::string& what) {
  std::fprintf(stderr, "Language specification \"%s\": %s\n", language.str().c_str(), what.c_str());
}

std::string DescribeCF(CFStringRef string) {
  if (string == nullptr) return std::string();
  CFIndex size = CFStringGetMaximumSizeForEncoding(CFStringGetLength(string), kCFStringEncodingUTF8) + 1;
  std::string out(size_t(size), '\0');
  if (!CFStringGetCString(string, out.data(), size, kCFStringEncodingUTF8)) return std::string();
  out.resize(std::strlen(out.c_str()));
  return out;
}

// ---------------------------------------------------------------------------
// The word-set index: the sets the loader makes, as hashed UTF-16 strings.

struct U16Hash {
  using is_transparent = void;
  size_t operator()(std::u16string_view s) const { return std::hash<std::u16string_view>()(s); }
};
struct U16Equal {
  using is_transparent = void;
  bool operator()(std::u16string_view a, std::u16string_view b) const { return a == b; }
};
using WordSet = std::unordered_set<std::u16string, U16Hash, U16Equal>;

// Sets are registered while their owner lives; the index holds a reference,
// so a registered address is never reused by another set.
std::unordered_map<CFSetRef, std::unique_ptr<WordSet>>& WordSetIndex() {
  static auto* index = new std::unordered_map<CFSetRef, std::unique_ptr<WordSet>>();
  return *index;
}

void AddWordToSet(const void* value, void* context) {
  CFStringRef string = static_cast<CFStringRef>(value);
  if (string == nullptr || CFGetTypeID(string) != CFStringGetTypeID()) return;
  CFIndex length = CFStringGetLength(string);
  std::u16string word(size_t(length), u'\0');
  if (length > 0) CFStringGetCharacters(string, CFRangeMake(0, length), reinterpret_cast<UniChar*>(word.data()));
  static_cast<WordSet*>(context)->insert(std::move(word));
}

void RegisterWordSet(CFSetRef set) {
  if (set == nullptr) return;
  auto words = std::make_unique<WordSet>();
  CFSetApplyFunction(set, AddWordToSet, words.get());
  auto& index = WordSetIndex();
  if (index.find(set) == index.end()) {
    CFRetain(set);
    index.emplace(set, std::move(words));
  }
}

void ReleaseWordSet(CFSetRef set) {
  if (set == nullptr) return;
  auto& index = WordSetIndex();
  auto found = index.find(set);
  if (found != index.end()) {
    index.erase(found);
    CFRelease(set);
  }
  CFRelease(set);
}

// A new set of the array's strings (other elements are skipped), indexed;
// nil when the value is not an array.
CFSetRef CreateStringSet(CFTypeRef value) {
  if (value == nullptr || CFGetTypeID(value) != CFArrayGetTypeID()) return nullptr;
  CFArrayRef array = static_cast<CFArrayRef>(value);
  CFMutableSetRef set = CFSetCreateMutable(nullptr, 0, &kCFTypeSetCallBacks);
  for (CFIndex i = 0, n = CFArrayGetCount(array); i < n; ++i) {
    CFTypeRef item = CFArrayGetValueAtIndex(array, i);
    if (item != nullptr && CFGetTypeID(item) == CFStringGetTypeID()) CFSetAddValue(set, item);
  }
  RegisterWordSet(set);
  return set;
}

// Replaces an owned set field.
void AssignSet(CFSetRef& field, CFTypeRef value) {
  CFSetRef set = CreateStringSet(value);
  if (field != nullptr) ReleaseWordSet(field);
  field = set;
}

// ---------------------------------------------------------------------------
// Value conversions

Str255 KeyText(CFStringRef key) { return key ? CFStringToPascal(key) : Str255(); }

// A string value as stored: whole values "&lt;", "&gt;" and backslash-n
// become "<", ">" and a tab; anything that is no string is the empty string.
Str255 ValueText(CFTypeRef value) {
  if (value == nullptr || CFGetTypeID(value) != CFStringGetTypeID()) return Str255();
  Str255 text = CFStringToPascal(static_cast<CFStringRef>(value));
  if (text == "&lt;") return Str255("<");
  if (text == "&gt;") return Str255(">");
  if (text == "\\n") return Str255("\t");
  return text;
}

Boolean ValueFlag(CFTypeRef value) {
  if (value == nullptr || CFGetTypeID(value) != CFBooleanGetTypeID()) return false;
  return CFBooleanGetValue(static_cast<CFBooleanRef>(value));
}

SInt16 ValueNumber(CFTypeRef value) {
  SInt32 number = StrN(ValueText(value));
  return SInt16(std::clamp<SInt32>(number, -32768, 32767));
}

bool KeyIs(const Str255& key, const char* name) { return key == name; }

// ---------------------------------------------------------------------------
// Records

void DisposeDefinition(SyntaxStandardDataPtr definition) {
  if (definition == nullptr) return;
  if (definition->scopes) ReleaseWordSet(definition->scopes);
  switch (definition->definitionClass) {
    case kSyntaxClassRange: {
      auto* d = static_cast<SyntaxRangeDataPtr>(definition);
      if (d->operandWords) ReleaseWordSet(d->operandWords);
      if (d->notAfter) ReleaseWordSet(d->notAfter);
      delete d;
      return;
    }
    case kSyntaxClassKeyword: {
      auto* d = static_cast<SyntaxKeywordDataPtr>(definition);
      if (d->keywords) ReleaseWordSet(d->keywords);
      delete d;
      return;
    }
    case kSyntaxClassEmbeddedLanguage:
      delete static_cast<SyntaxEmbeddedLanguageDataPtr>(definition);
      return;
    case kSyntaxClassPrefix: {
      auto* d = static_cast<SyntaxPrefixDataPtr>(definition);
      if (d->prefixes) ReleaseWordSet(d->prefixes);
      if (d->leadingWords) ReleaseWordSet(d->leadingWords);
      if (d->altPrefixes) CFRelease(d->altPrefixes);
      delete d;
      return;
    }
    case kSyntaxClassExpression: {
      auto* d = static_cast<SyntaxExpressionDataPtr>(definition);
      if (d->keywords) ReleaseWordSet(d->keywords);
      delete d;
      return;
    }
    case kSyntaxClassScope: {
      auto* d = static_cast<SyntaxScopeDataPtr>(definition);
      if (d->keywords) ReleaseWordSet(d->keywords);
      delete d;
      return;
    }
    case kSyntaxClassScopeBlock: {
      auto* d = static_cast<SyntaxScopeBlockDataPtr>(definition);
      if (d->open) ReleaseWordSet(d->open);
      if (d->openNewline) ReleaseWordSet(d->openNewline);
      if (d->close) ReleaseWordSet(d->close);
      delete d;
      return;
    }
    case kSyntaxClassCustom: {
      auto* d = static_cast<SyntaxCustomDataPtr>(definition);
      if (d->values) {
        // The sets among the values were indexed when they were made.
        CFDictionaryApplyFunction(
            d->values,
            [](const void*, const void* value, void*) {
              if (value && CFGetTypeID(value) == CFSetGetTypeID()) {
                CFSetRef set = static_cast<CFSetRef>(value);
                CFRetain(set);  // ReleaseWordSet drops one reference of ours
                ReleaseWordSet(set);
              }
            },
            nullptr);
        CFRelease(d->values);
      }
      delete d;
      return;
    }
    case kSyntaxClassNone:
      delete definition;
      return;
  }
}

// The registered copies in a library's definitions dictionary: a plain
// SyntaxStandardData holding its own reference to the scopes set.
void ReleaseRegisteredCopy(CFAllocatorRef, const void* value) {
  auto* copy = static_cast<SyntaxStandardDataPtr>(const_cast<void*>(value));
  if (copy->scopes) CFRelease(copy->scopes);
  delete copy;
}

const CFDictionaryValueCallBacks kRegisteredCopyCallbacks = {0, nullptr, ReleaseRegisteredCopy, nullptr, nullptr};

void DisposeLibrary(SyntaxLibraryPtr library) {
  if (library == nullptr) return;
  for (SInt16 c = kSyntaxClassRange; c <= kSyntaxClassCustom; ++c) {
    CFMutableArrayRef array = GetSyntaxClassArray(library, SyntaxDefinitionClass(c));
    if (array == nullptr) continue;
    for (CFIndex i = 0, n = CFArrayGetCount(array); i < n; ++i)
      DisposeDefinition(static_cast<SyntaxStandardDataPtr>(const_cast<void*>(CFArrayGetValueAtIndex(array, i))));
    CFRelease(array);
  }
  if (library->definitions) CFRelease(library->definitions);
  if (library->characterSet) ReleaseWordSet(library->characterSet);
  if (library->autoPair) ReleaseWordSet(library->autoPair);
  delete library;
}

void ReleaseLibraryCallback(CFAllocatorRef, const void* value) {
  DisposeLibrary(static_cast<SyntaxLibraryPtr>(const_cast<void*>(value)));
}

const CFArrayCallBacks kLibraryArrayCallbacks = {0, nullptr, ReleaseLibraryCallback, nullptr, nullptr};

void BuildWordCharacters(SyntaxLibraryPtr library) {
  library->wordCharacters.reset();
  for (UniChar c = '0'; c <= '9'; ++c) library->wordCharacters.set(c);
  for (UniChar c = 'A'; c <= 'Z'; ++c) library->wordCharacters.set(c);
  for (UniChar c = 'a'; c <= 'z'; ++c) library->wordCharacters.set(c);
  library->wordCharacters.set('_');
  if (library->characterSet == nullptr) return;
  CFSetApplyFunction(
      library->characterSet,
      [](const void* value, void* context) {
        CFStringRef string = static_cast<CFStringRef>(value);
        // Only one-character strings can equal a character.
        if (CFStringGetLength(string) == 1)
          static_cast<SyntaxLibraryPtr>(context)->wordCharacters.set(CFStringGetCharacterAtIndex(string, 0));
      },
      library);
}

// The size a regular expression grows to when the library compiles it: a
// repetition copies what it repeats ("x+" is "xx*", "x{2,5}" five copies), so
// stacked and nested repetitions multiply ("a" and twenty "+" make a million
// copies, seconds of work and hundreds of megabytes). Saturates at kLimit.
class PatternSize {
 public:
  static constexpr double kLimit = 1e9;
  explicit PatternSize(const char* p) : p_(p) {}
  double Measure() {
    const double size = Alternation();
    return *p_ == 0 ? size : kLimit;  // an unbalanced ")" is not measured
  }

 private:
  double Alternation() {
    double size = Sequence();
    while (*p_ == '|') {
      ++p_;
      size += Sequence() + 1;
    }
    return Cap(size);
  }
  double Sequence() {
    double size = 0;
    while (*p_ != 0 && *p_ != '|' && *p_ != ')') size = Cap(size + Piece());
    return size;
  }
  double Piece() {
    double size = Atom();
    for (;;) {
      if (*p_ == '*' || *p_ == '?') {
        ++p_;
        size += 1;
      } else if (*p_ == '+') {
        ++p_;
        size = size * 2 + 1;
      } else if (*p_ == '{' && std::isdigit(static_cast<unsigned char>(p_[1]))) {
        char* end = nullptr;
        const double low = double(std::strtoul(p_ + 1, &end, 10));
        double high = low;
        if (*end == ',') {
          high = std::isdigit(static_cast<unsigned char>(end[1])) ? double(std::strtoul(end + 1, &end, 10)) : low + 1;
          if (*end == ',') ++end;  // malformed: the library refuses it anyway
        }
        p_ = *end == '}' ? end + 1 : end;
        size = size * std::max({low, high, 1.0}) + 1;
      } else {
        return Cap(size);
      }
      size = Cap(size);
    }
  }
  double Atom() {
    switch (*p_) {
      case '(': {
        ++p_;
        const double size = Alternation();
        if (*p_ == ')') ++p_;
        return size + 1;
      }
      case '[': {
        // A bracket expression is one node: "[]...]", "[^]...]", "[:class:]".
        ++p_;
        if (*p_ == '^') ++p_;
        if (*p_ == ']') ++p_;
        while (*p_ != 0 && *p_ != ']') {
          if (*p_ == '[' && (p_[1] == ':' || p_[1] == '.' || p_[1] == '=')) {
            const char close = p_[1];
            p_ += 2;
            while (*p_ != 0 && !(*p_ == close && p_[1] == ']')) ++p_;
            if (*p_ != 0) p_ += 2;
          } else {
            ++p_;
          }
        }
        if (*p_ == ']') ++p_;
        return 1;
      }
      case '\\':
        ++p_;
        if (*p_ != 0) ++p_;
        return 1;
      default:
        ++p_;
        return 1;
    }
  }
  static double Cap(double size) { return size > kLimit ? kLimit : size; }
  const char* p_;
};

// Patterns of the language files stay well below this; a pattern above it
// would stall every parse that meets it.
constexpr double kMaxPatternSize = 20000;

// The regular expression of a definition, if it has one.
Str255 DefinitionPattern(SyntaxStandardDataPtr definition) {
  if (definition->definitionClass == kSyntaxClassExpression)
    return static_cast<SyntaxExpressionDataPtr>(definition)->expressionGPC;
  if (definition->definitionClass == kSyntaxClassPrefix)
    return Str255(static_cast<SyntaxPrefixDataPtr>(definition)->expression);
  return Str255();
}

// Enters the definition being read in the library's definitions (the first
// of a name wins) and closes it. A definition whose regular expression is
// too large to compile is left out.
void RegisterCurrentDefinition(TSyntaxCollection* collection) {
  SyntaxStandardDataPtr definition = collection->currentDefinition;
  SyntaxLibraryPtr library = collection->currentLibrary;
  collection->currentDefinition = nullptr;
  if (definition == nullptr || library == nullptr) return;
  if (const Str255 pattern = DefinitionPattern(definition); !pattern.empty()) {
    if (PatternSize(pattern.str().c_str()).Measure() > kMaxPatternSize) {
      Complain(library->language, "the regular expression of \"" + definition->definitionName.str() +
                                      "\" is too large to compile; definition left out");
      CFMutableArrayRef array = GetSyntaxClassArray(library, definition->definitionClass);
      const CFIndex count = array != nullptr ? CFArrayGetCount(array) : 0;
      for (CFIndex i = count - 1; i >= 0; --i) {
        if (CFArrayGetValueAtIndex(array, i) != definition) continue;
        CFArrayRemoveValueAtIndex(array, i);
        break;
      }
      DisposeDefinition(definition);
      return;
    }
  }
  CFStringRef name = CFStringCreateWithPascalString(nullptr, definition->definitionName.data(), kCFStringEncodingMacRoman);
  if (name == nullptr) return;
  if (CFDictionaryGetValue(library->definitions, name) == nullptr) {
    auto* copy = new SyntaxStandardData(*definition);
    if (copy->scopes) CFRetain(copy->scopes);
    CFDictionaryAddValue(library->definitions, name, copy);
  }
  CFRelease(name);
}

// Prefixes in ascending precedence; equal precedences keep reading order.
void SortPrefixes(SyntaxLibraryPtr library) {
  CFMutableArrayRef array = library->prefixes;
  CFIndex count = CFArrayGetCount(array);
  if (count < 2) return;
  std::vector<const void*> values(size_t(count), nullptr);
  CFArrayGetValues(array, CFRangeMake(0, count), values.data());
  std::stable_sort(values.begin(), values.end(), [](const void* a, const void* b) {
    return CompareDefinitionPrecedence(a, b, nullptr) == kCFCompareLessThan;
  });
  // The array neither retains nor releases, so the records survive the refill.
  CFArrayRemoveAllValues(array);
  for (const void* value : values) CFArrayAppendValue(array, value);
}

}  // namespace

// ---------------------------------------------------------------------------
// Styles

void SwapExtendedTextStyleBytes(ExtendedTextStyle& style, SInt16 direction) {
  SwapRGBColorBytes(style.textColor, direction);
  SwapRGBColorBytes(style.secondColor, direction);
  if constexpr (std::endian::native == std::endian::little) {
    style.firstNumber = SInt16(__builtin_bswap16(UInt16(style.firstNumber)));
    style.secondNumber = SInt16(__builtin_bswap16(UInt16(style.secondNumber)));
  }
}

Boolean ExtendedTextStyleFromStoredBytes(const UInt8* bytes, CFIndex length, ExtendedTextStyle& style) {
  if (bytes == nullptr || length != CFIndex(sizeof(ExtendedTextStyle))) return false;
  auto u16 = [bytes](int at) { return UInt16((UInt16(bytes[at]) << 8) | bytes[at + 1]); };
  ExtendedTextStyle s{};
  // The stored name is a length byte and 31 characters; a hostile length is cut.
  s.name = Str31::FromBytes(bytes + 1, std::min<int>(bytes[0], 31));
  s.textColor = RGBColor{u16(32), u16(34), u16(36)};
  s.secondColor = RGBColor{u16(38), u16(40), u16(42)};
  s.firstNumber = SInt16(u16(44));
  s.secondNumber = SInt16(u16(46));
  s.bold = bytes[48] != 0;
  s.italic = bytes[49] != 0;
  s.underline = bytes[50] != 0;
  style = s;
  return true;
}

CFDataRef ExtendedTextStyleCreateStoredData(const ExtendedTextStyle& style) {
  UInt8 bytes[sizeof(ExtendedTextStyle)] = {0};
  bytes[0] = UInt8(style.name.len());
  std::memcpy(bytes + 1, style.name.data() + 1, size_t(style.name.len()));
  auto put = [&bytes](int at, UInt16 v) {
    bytes[at] = UInt8(v >> 8);
    bytes[at + 1] = UInt8(v);
  };
  put(32, style.textColor.red);
  put(34, style.textColor.green);
  put(36, style.textColor.blue);
  put(38, style.secondColor.red);
  put(40, style.secondColor.green);
  put(42, style.secondColor.blue);
  put(44, UInt16(style.firstNumber));
  put(46, UInt16(style.secondNumber));
  bytes[48] = style.bold ? 1 : 0;
  bytes[49] = style.italic ? 1 : 0;
  bytes[50] = style.underline ? 1 : 0;
  return CFDataCreate(nullptr, bytes, sizeof(bytes));
}

const char* GetSyntaxStyleName(SInt16 slot) {
  if (slot < 1 || slot > kSyntaxStyleUsedSlots) return "";
  return kStyleSlots[slot - 1].styleName;
}

const char* GetSyntaxStyleDisplayName(SInt16 slot) {
  if (slot < 1 || slot > kSyntaxStyleUsedSlots) return "";
  return kStyleSlots[slot - 1].displayName;
}

RGBColor GetSyntaxStyleDefaultColor(SInt16 slot) {
  if (slot < 1 || slot > kSyntaxStyleUsedSlots) return RGBColor{0, 0, 0};
  return kStyleSlots[slot - 1].color;
}

void LoadSyntaxStyles(SyntaxLibraryPtr library, CFDictionaryRef styles) {
  if (library == nullptr) return;
  // Every load starts from the same table, so a theme never inherits what the
  // previous one left in a slot: zeros under a theme (what a first load
  // gives), the default colours without one.
  for (SInt16 slot = 0; slot <= kSyntaxStyleSlots; ++slot) library->styles[slot] = ExtendedTextStyle{};
  if (styles == nullptr || CFGetTypeID(styles) != CFDictionaryGetTypeID()) {
    for (SInt16 slot = 1; slot <= kSyntaxStyleUsedSlots; ++slot)
      library->styles[slot].textColor = kStyleSlots[slot - 1].color;
    return;
  }
  for (SInt16 slot = 1; slot <= kSyntaxStyleUsedSlots; ++slot) {
    CFTypeRef value = CFDictionaryGetValue(styles, CFSTR(kStyleSlots[slot - 1].displayName));
    if (value == nullptr) continue;
    bool ok = CFGetTypeID(value) == CFDataGetTypeID() &&
              ExtendedTextStyleFromStoredBytes(CFDataGetBytePtr(static_cast<CFDataRef>(value)),
                                               CFDataGetLength(static_cast<CFDataRef>(value)),
                                               library->styles[slot]);
    if (!ok)
      std::fprintf(stderr, "Text style \"%s\" of the theme is not a stored style of %zu bytes; ignored\n",
                   kStyleSlots[slot - 1].displayName, sizeof(ExtendedTextStyle));
  }
}

ExtendedTextStyle GetStyleStringIndex(SyntaxLibraryPtr library, const Str63& styleName, SInt16& index) {
  index = 0;
  if (!styleName.empty()) {
    for (SInt16 slot = 1; slot < kSyntaxStyleNumbers; ++slot) {
      if (styleName == kStyleSlots[slot - 1].styleName) {
        index = slot;
        break;
      }
    }
  }
  if (index == 0 || library == nullptr) return ExtendedTextStyle{};
  return library->styles[index];
}

void UpdateDefinitionStyle(const void* definition, void* library) {
  auto* d = static_cast<SyntaxStandardDataPtr>(const_cast<void*>(definition));
  if (d == nullptr) return;
  SInt16 index = 0;
  d->styleData.style = GetStyleStringIndex(static_cast<SyntaxLibraryPtr>(library), d->styleData.styleName, index);
}

void UpdateSyntaxCollectionStyles(TSyntaxCollection* collection, CFDictionaryRef styles) {
  if (collection == nullptr) return;
  if (styles) CFRetain(styles);
  if (collection->styles) CFRelease(collection->styles);
  collection->styles = styles;
  for (CFIndex i = 0, n = collection->GetLibraryCount(); i < n; ++i) {
    SyntaxLibraryPtr library = collection->GetLibraryAtIndex(i);
    LoadSyntaxStyles(library, styles);
    for (SInt16 c = kSyntaxClassRange; c <= kSyntaxClassCustom; ++c) {
      CFMutableArrayRef array = GetSyntaxClassArray(library, SyntaxDefinitionClass(c));
      CFArrayApplyFunction(array, CFRangeMake(0, CFArrayGetCount(array)), UpdateDefinitionStyle, library);
    }
    // The registered copies are refreshed too, so nothing that finds a
    // definition by name sees the previous theme's colours.
    CFDictionaryApplyFunction(
        library->definitions, [](const void*, const void* value, void* lib) { UpdateDefinitionStyle(value, lib); },
        library);
  }
}

CFComparisonResult CompareDefinitionPrecedence(const void* a, const void* b, void*) {
  SInt16 pa = static_cast<const SyntaxStandardData*>(a)->precedence;
  SInt16 pb = static_cast<const SyntaxStandardData*>(b)->precedence;
  if (pa < pb) return kCFCompareLessThan;
  if (pa > pb) return kCFCompareGreaterThan;
  return kCFCompareEqualTo;
}

// ---------------------------------------------------------------------------
// Classes, sets and libraries

SyntaxDefinitionClass GetSyntaxDefinitionClass(std::string_view classKey) {
  if (classKey == "range") return kSyntaxClassRange;
  if (classKey == "keyword") return kSyntaxClassKeyword;
  if (classKey == "embedded-language") return kSyntaxClassEmbeddedLanguage;
  if (classKey == "prefix") return kSyntaxClassPrefix;
  if (classKey == "expression") return kSyntaxClassExpression;
  if (classKey == "scope") return kSyntaxClassScope;
  if (classKey == "scope-block") return kSyntaxClassScopeBlock;
  if (classKey == "custom") return kSyntaxClassCustom;
  return kSyntaxClassNone;
}

CFMutableArrayRef GetSyntaxClassArray(SyntaxLibraryPtr library, SyntaxDefinitionClass definitionClass) {
  if (library == nullptr) return nullptr;
  switch (definitionClass) {
    case kSyntaxClassRange: return library->ranges;
    case kSyntaxClassKeyword: return library->keywords;
    case kSyntaxClassEmbeddedLanguage: return library->embeddedLanguages;
    case kSyntaxClassPrefix: return library->prefixes;
    case kSyntaxClassExpression: return library->expressions;
    case kSyntaxClassScope: return library->scopes;
    case kSyntaxClassScopeBlock: return library->scopeBlocks;
    case kSyntaxClassCustom: return library->customs;
    case kSyntaxClassNone: return nullptr;
  }
  return nullptr;
}

Boolean SyntaxSetContainsCharacters(CFSetRef set, const UniChar* characters, CFIndex length) {
  if (set == nullptr || length < 0 || (characters == nullptr && length > 0)) return false;
  auto& index = WordSetIndex();
  auto found = index.find(set);
  if (found != index.end()) {
    std::u16string_view word(reinterpret_cast<const char16_t*>(characters), size_t(length));
    return found->second->find(word) != found->second->end();
  }
  CFStringRef string = CFStringCreateWithCharacters(nullptr, characters, length);
  Boolean result = string != nullptr && CFSetContainsValue(set, string);
  if (string) CFRelease(string);
  return result;
}

Boolean SyntaxSetContainsWord(CFSetRef set, ConstStringPtr word) {
  if (set == nullptr || word == nullptr) return false;
  UniChar buffer[255];
  int length = word[0];
  for (int i = 0; i < length; ++i) {
    unsigned char c = word[i + 1];
    if (c >= 0x80) {
      // Mac Roman beyond ASCII: let the string layer convert it.
      CFStringRef string = CFStringCreateWithPascalString(nullptr, word, kCFStringEncodingMacRoman);
      if (string == nullptr) return false;
      CFIndex n = std::min<CFIndex>(CFStringGetLength(string), 255);
      CFStringGetCharacters(string, CFRangeMake(0, n), buffer);
      CFRelease(string);
      return SyntaxSetContainsCharacters(set, buffer, n);
    }
    buffer[i] = c;
  }
  return SyntaxSetContainsCharacters(set, buffer, length);
}

Boolean SyntaxSetContainsWord(CFSetRef set, std::string_view asciiWord) {
  if (set == nullptr) return false;
  std::u16string word(asciiWord.begin(), asciiWord.end());
  return SyntaxSetContainsCharacters(set, reinterpret_cast<const UniChar*>(word.data()), CFIndex(word.size()));
}

void GetPairValues(CFStringRef key, CFTypeRef value, Str255& keyText, Str255& valueText, Boolean& flag) {
  keyText = KeyText(key);
  valueText = ValueText(value);
  flag = ValueFlag(value);
}

SyntaxStandardDataPtr AllocateActiveDefinition(const Str63& name, const Str63& definitionClass,
                                               SyntaxLibraryPtr library) {
  if (library == nullptr) return nullptr;
  SyntaxDefinitionClass c = GetSyntaxDefinitionClass(definitionClass.view());
  SyntaxStandardDataPtr record = nullptr;
  switch (c) {
    case kSyntaxClassRange: record = new SyntaxRangeData(); break;
    case kSyntaxClassKeyword: record = new SyntaxKeywordData(); break;
    case kSyntaxClassEmbeddedLanguage: record = new SyntaxEmbeddedLanguageData(); break;
    case kSyntaxClassPrefix: record = new SyntaxPrefixData(); break;
    case kSyntaxClassExpression: record = new SyntaxExpressionData(); break;
    case kSyntaxClassScope: record = new SyntaxScopeData(); break;
    case kSyntaxClassScopeBlock: record = new SyntaxScopeBlockData(); break;
    case kSyntaxClassCustom: {
      auto* custom = new SyntaxCustomData();
      custom->values =
          CFDictionaryCreateMutable(nullptr, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
      record = custom;
      break;
    }
    case kSyntaxClassNone: return nullptr;
  }
  record->definitionName = name;
  record->definitionClass = c;
  CFArrayAppendValue(GetSyntaxClassArray(library, c), record);
  return record;
}

// ---------------------------------------------------------------------------
// Reading a language file

void IterateSyntaxLibrary(const void* keyPtr, const void* value, void* context) {
  auto* collection = static_cast<TSyntaxCollection*>(context);
  CFStringRef key = static_cast<CFStringRef>(keyPtr);
  SyntaxLibraryPtr library = collection->currentLibrary;
  if (library == nullptr || key == nullptr || CFGetTypeID(key) != CFStringGetTypeID()) return;

  // "class: name": the class before the first ":", the name from the third
  // character after the class.
  Str255 keyText = KeyText(key);
  std::string_view text = keyText.view();
  size_t colon = text.find(':');
  std::string_view keyClass = colon == std::string_view::npos ? std::string_view() : text.substr(0, colon);
  std::string_view keyName = colon == std::string_view::npos || colon + 2 > text.size() ? std::string_view()
                                                                                         : text.substr(colon + 2);
  bool isDictionary = value != nullptr && CFGetTypeID(value) == CFDictionaryGetTypeID();
  const int depth = collection->depth_;

  if (depth == 0) {
    // The root: names, groups and class dictionaries.
    if (keyClass == "class") {
      RegisterCurrentDefinition(collection);
      collection->currentClass = Str63(keyName);
      if (isDictionary) {
        collection->depth_ = 1;
        CFDictionaryApplyFunction(static_cast<CFDictionaryRef>(value), IterateSyntaxLibrary, collection);
        collection->depth_ = 0;
        RegisterCurrentDefinition(collection);
      }
    } else if (keyClass == "group") {
      collection->currentGroup = Str63(keyName);
    } else if (keyClass == "info") {
      if (keyName == "display-name") {
        library->displayName = ValueText(value);
      } else if (keyName == "root-language") {
        library->rootLanguage = ValueText(value);
      } else if (keyName == "character-set") {
        AssignSet(library->characterSet, value);
      } else if (keyName == "auto-pair") {
        AssignSet(library->autoPair, value);
      }
    } else if (keyClass == "define") {
      // A definition belongs to a class dictionary; out here it would be
      // filed under whatever class was read last.
      Complain(library->language, "\"" + std::string(text) + "\" lies outside a class; ignored");
    }
    return;
  }

  if (depth == 1) {
    // Inside a class dictionary: only definitions. A stray key here would
    // otherwise change the definition read last.
    if (text.substr(0, 8) == "define: ") {
      RegisterCurrentDefinition(collection);
      collection->currentDefinitionName = Str63(keyName);
      collection->currentDefinition = AllocateActiveDefinition(collection->currentDefinitionName,
                                                               collection->currentClass, library);
      if (collection->currentDefinition != nullptr && isDictionary) {
        collection->depth_ = 2;
        CFDictionaryApplyFunction(static_cast<CFDictionaryRef>(value), IterateSyntaxLibrary, collection);
        collection->depth_ = 1;
      }
      RegisterCurrentDefinition(collection);
    }
    return;
  }

  // Inside a definition: every key goes to the handler of the current class
  // (nested class or definition dictionaries are not entered).
  switch (GetSyntaxDefinitionClass(collection->currentClass.view())) {
    case kSyntaxClassKeyword: collection->HandleKeywordClass(key, value); break;
    case kSyntaxClassScope: collection->HandleScopeClass(key, value); break;
    case kSyntaxClassScopeBlock: collection->HandleScopeBlockClass(key, value); break;
    case kSyntaxClassExpression: collection->HandleExpressionClass(key, value); break;
    case kSyntaxClassPrefix: collection->HandlePrefixClass(key, value); break;
    case kSyntaxClassEmbeddedLanguage: collection->HandleEmbeddedLanguageClass(key, value); break;
    case kSyntaxClassRange: collection->HandleRangeClass(key, value); break;
    case kSyntaxClassCustom: collection->HandleCustomClass(key, value); break;
    case kSyntaxClassNone: break;
  }
}

// ---------------------------------------------------------------------------
// TSyntaxCollection

TSyntaxCollection* CreateSyntaxCollection(CFDictionaryRef styles) {
  auto* collection = new TSyntaxCollection();
  if (styles) collection->styles = static_cast<CFDictionaryRef>(CFRetain(styles));
  return collection;
}

TSyntaxCollection::~TSyntaxCollection() {
  if (libraries) CFRelease(libraries);
  if (styles) CFRelease(styles);
  if (specificationFolder_) CFRelease(specificationFolder_);
}

void TSyntaxCollection::SetSpecificationFolder(CFURLRef folder) {
  if (folder) CFRetain(folder);
  if (specificationFolder_) CFRelease(specificationFolder_);
  specificationFolder_ = folder;
}

CFIndex TSyntaxCollection::GetLibraryCount() {
  LoadDeferredLibraries();
  return libraries ? CFArrayGetCount(libraries) : 0;
}

SyntaxLibraryPtr TSyntaxCollection::GetLibraryAtIndex(CFIndex index) {
  LoadDeferredLibraries();
  if (libraries == nullptr || index < 0 || index >= CFArrayGetCount(libraries)) return nullptr;
  return static_cast<SyntaxLibraryPtr>(const_cast<void*>(CFArrayGetValueAtIndex(libraries, index)));
}

void TSyntaxCollection::LoadLibrary(const Str63& language) {
  if (libraries == nullptr) libraries = CFArrayCreateMutable(nullptr, 0, &kLibraryArrayCallbacks);
  // The key names a file in one folder: nothing that leaves it.
  std::string_view key = language.view();
  if (key.empty() || key.find('/') != std::string_view::npos || key == "." || key == "..") {
    Complain(language, "not a language key");
    return;
  }
  CFStringRef name = CFStringCreateWithPascalString(nullptr, language.data(), kCFStringEncodingMacRoman);
  if (name == nullptr) return;
  CFURLRef url = nullptr;
  if (specificationFolder_ != nullptr) {
    CFStringRef file = CFStringCreateWithFormat(nullptr, nullptr, CFSTR("%@.plist"), name);
    url = CFURLCreateCopyAppendingPathComponent(nullptr, specificationFolder_, file, false);
    CFRelease(file);
    UInt8 path[1024];
    struct stat info;
    if (url && (!CFURLGetFileSystemRepresentation(url, true, path, sizeof(path)) ||
                stat(reinterpret_cast<char*>(path), &info) != 0)) {
      CFRelease(url);  // no such file: no library, nothing to say
      url = nullptr;
    }
  } else {
    CFBundleRef bundle = CFBundleGetMainBundle();
    if (bundle) url = CFBundleCopyResourceURL(bundle, name, CFSTR("plist"), CFSTR("Language Specifications"));
  }
  CFRelease(name);
  if (url == nullptr) return;
  LoadLibraryFromURL(language, url);
  CFRelease(url);
}

SyntaxLibraryPtr TSyntaxCollection::LoadLibraryFromURL(const Str63& language, CFURLRef url) {
  if (url == nullptr) return nullptr;
  UInt8 path[1024];
  struct stat info;
  if (CFURLGetFileSystemRepresentation(url, true, path, sizeof(path)) &&
      stat(reinterpret_cast<char*>(path), &info) == 0) {
    if (!S_ISREG(info.st_mode)) {
      Complain(language, "not a file");
      return nullptr;
    }
    if (info.st_size > kMaxSpecificationBytes) {
      Complain(language, "too large to be a language file (" + std::to_string(info.st_size) + " bytes)");
      return nullptr;
    }
  }
  CFDataRef data = nullptr;
  SInt32 error = 0;
  if (!CFURLCreateDataAndPropertiesFromResource(nullptr, url, &data, nullptr, nullptr, &error) || data == nullptr) {
    Complain(language, "cannot be read (error " + std::to_string(error) + ")");
    if (data) CFRelease(data);
    return nullptr;
  }
  CFStringRef errorString = nullptr;
  CFPropertyListRef list = CFPropertyListCreateFromXMLData(nullptr, data, kCFPropertyListImmutable, &errorString);
  CFRelease(data);
  if (list == nullptr) {
    Complain(language, "is no property list" + (errorString ? ": " + DescribeCF(errorString) : std::string()));
    if (errorString) CFRelease(errorString);
    return nullptr;
  }
  if (errorString) CFRelease(errorString);
  SyntaxLibraryPtr library = LoadLibraryFromPropertyList(language, list);
  CFRelease(list);
  return library;
}

SyntaxLibraryPtr TSyntaxCollection::LoadLibraryFromPropertyList(const Str63& language, CFTypeRef propertyList) {
  if (libraries == nullptr) libraries = CFArrayCreateMutable(nullptr, 0, &kLibraryArrayCallbacks);
  if (propertyList == nullptr || CFGetTypeID(propertyList) != CFDictionaryGetTypeID()) {
    Complain(language, "its root is not a dictionary; language left out");
    return nullptr;
  }
  auto* library = new SyntaxLibraryRec();
  library->displayName = language;
  library->rootLanguage = language;
  library->language = language;
  library->collection = this;
  library->definitions = CFDictionaryCreateMutable(nullptr, 0, &kCFTypeDictionaryKeyCallBacks, &kRegisteredCopyCallbacks);
  LoadSyntaxStyles(library, styles);
  // The class arrays neither retain nor release: the library disposes its
  // records itself, which lets the prefix array be reordered in place.
  for (CFMutableArrayRef* array : {&library->ranges, &library->keywords, &library->embeddedLanguages,
                                   &library->prefixes, &library->expressions, &library->scopes,
                                   &library->scopeBlocks, &library->customs})
    *array = CFArrayCreateMutable(nullptr, 0, &kNilArrayCallbacks);

  currentLibrary = library;
  currentDefinition = nullptr;
  currentDefinitionName.Clear();
  currentGroup.Clear();
  currentClass.Clear();
  depth_ = 0;
  CFDictionaryApplyFunction(static_cast<CFDictionaryRef>(propertyList), IterateSyntaxLibrary, this);
  RegisterCurrentDefinition(this);
  currentLibrary = nullptr;

  SortPrefixes(library);
  BuildWordCharacters(library);
  CFArrayAppendValue(libraries, library);
  return library;
}

void TSyntaxCollection::DeferLibrary(const Str63& language) {
  if (FindLoadedLibrary(language) != nullptr) return;
  if (std::find(deferred_.begin(), deferred_.end(), language) == deferred_.end()) deferred_.push_back(language);
}

void TSyntaxCollection::LoadDeferredLibraries() {
  // Taken first: a load that asks for another language finds it still noted.
  while (!deferred_.empty()) {
    const Str63 language = deferred_.front();
    deferred_.erase(deferred_.begin());
    if (FindLoadedLibrary(language) == nullptr) LoadLibrary(language);
  }
}

SyntaxLibraryPtr TSyntaxCollection::FindLoadedLibrary(const Str63& language) {
  for (CFIndex i = 0, n = libraries ? CFArrayGetCount(libraries) : 0; i < n; ++i) {
    auto library = static_cast<SyntaxLibraryPtr>(const_cast<void*>(CFArrayGetValueAtIndex(libraries, i)));
    if (library->language == language) return library;
  }
  return nullptr;
}

SyntaxLibraryPtr TSyntaxCollection::GetLanguageLibrary(const Str63& language) {
  if (SyntaxLibraryPtr library = FindLoadedLibrary(language)) return library;
  auto noted = std::find(deferred_.begin(), deferred_.end(), language);
  if (noted == deferred_.end()) return nullptr;
  deferred_.erase(noted);
  LoadLibrary(language);
  return FindLoadedLibrary(language);
}

SyntaxLibraryPtr TSyntaxCollection::GetFileLibrary(const Str63& fileName) {
  Str63 language = GetSupportedFileLanguage(fileName);
  if (language.empty()) return nullptr;
  return GetLanguageLibrary(language);
}

SyntaxStandardDataPtr TSyntaxCollection::GetDefinition(const Str31& name, SyntaxLibraryPtr library) {
  if (library == nullptr || library->definitions == nullptr) return nullptr;
  CFStringRef key = CFStringCreateWithPascalString(nullptr, name.data(), kCFStringEncodingMacRoman);
  if (key == nullptr) return nullptr;
  auto* found = static_cast<SyntaxStandardDataPtr>(const_cast<void*>(CFDictionaryGetValue(library->definitions, key)));
  CFRelease(key);
  return found;
}

// ---------------------------------------------------------------------------
// Class handlers. Each acts only on an open definition of its own class.

void TSyntaxCollection::HandleStandardClass(CFStringRef key, CFTypeRef value, SyntaxStandardData& definition) {
  Str255 name = KeyText(key);
  if (KeyIs(name, "context")) {
    definition.context = ValueText(value);
  } else if (KeyIs(name, "script")) {
    definition.script = ValueText(value);
  } else if (KeyIs(name, "command")) {
    definition.command = ValueText(value);
  } else if (KeyIs(name, "icon")) {
    definition.icon = ValueText(value);
  } else if (KeyIs(name, "precedence")) {
    definition.precedence = ValueNumber(value);
  } else if (KeyIs(name, "protected")) {
    definition.protected_ = ValueFlag(value);
  } else if (KeyIs(name, "protect-style")) {
    definition.styleData.protectStyle = ValueFlag(value);
  } else if (KeyIs(name, "nest-styles")) {
    definition.nestStyles = ValueFlag(value);
  } else if (KeyIs(name, "compile-mode")) {
    definition.compileMode = ValueFlag(value);
  } else if (KeyIs(name, "allow-overloading")) {
    definition.allowOverloading = ValueFlag(value);
  } else if (KeyIs(name, "scope-deep")) {
    definition.scopeDeep = ValueFlag(value);
  } else if (KeyIs(name, "style")) {
    definition.styleData.styleName = ValueText(value);
    definition.styleData.style =
        GetStyleStringIndex(currentLibrary, definition.styleData.styleName, definition.styleData.styleIndex);
  } else if (KeyIs(name, "actions")) {
    definition.actions = 0;
    if (value != nullptr && CFGetTypeID(value) == CFArrayGetTypeID()) {
      static const char* const kActionNames[] = {"style", "symbol", "menu",  "navigate", "scope",
                                                 "scope-block", "track", "header", "script"};
      CFArrayRef array = static_cast<CFArrayRef>(value);
      for (CFIndex i = 0, n = CFArrayGetCount(array); i < n; ++i) {
        Str255 action = ValueText(CFArrayGetValueAtIndex(array, i));
        for (UInt32 a = 0; a < sizeof(kActionNames) / sizeof(kActionNames[0]); ++a)
          if (action == kActionNames[a]) SyntaxActionsInclude(definition.actions, SyntaxAction(a));
      }
    }
  } else if (KeyIs(name, "scopes")) {
    AssignSet(definition.scopes, value);
  } else if (KeyIs(name, "scope-range")) {
    definition.scopeRangeOpen.Clear();
    definition.scopeRangeClose.Clear();
    if (value != nullptr && CFGetTypeID(value) == CFDictionaryGetTypeID()) {
      CFDictionaryRef range = static_cast<CFDictionaryRef>(value);
      definition.scopeRangeOpen = ValueText(CFDictionaryGetValue(range, CFSTR("open")));
      definition.scopeRangeClose = ValueText(CFDictionaryGetValue(range, CFSTR("close")));
    }
  }
}

namespace {
template <typename Record>
Record* OpenDefinition(TSyntaxCollection* collection, SyntaxDefinitionClass c) {
  SyntaxStandardDataPtr d = collection->currentDefinition;
  return d != nullptr && d->definitionClass == c ? static_cast<Record*>(d) : nullptr;
}
}  // namespace

void TSyntaxCollection::HandleRangeClass(CFStringRef key, CFTypeRef value) {
  auto* d = OpenDefinition<SyntaxRangeData>(this, kSyntaxClassRange);
  if (d == nullptr) return;
  HandleStandardClass(key, value, *d);
  Str255 name = KeyText(key);
  if (KeyIs(name, "open")) {
    Str255 open = ValueText(value);
    d->openWord.Clear();
    if (open.len() > 1 && SyntaxLibraryIsWordCharacter(nullptr, open[1])) {
      // "x{": the word part names the word that must come before the symbol.
      Str255 word, rest;
      for (int i = 1; i <= open.len(); ++i) {
        if (SyntaxLibraryIsWordCharacter(nullptr, open[i]))
          word += open[i];
        else
          rest += open[i];
      }
      d->openWord = word;
      d->open = rest;
    } else {
      d->open = open;
    }
  } else if (KeyIs(name, "close")) {
    d->close = ValueText(value);
  } else if (KeyIs(name, "break")) {
    d->breakChar = ValueText(value);
  } else if (KeyIs(name, "apply-context")) {
    d->applyContext = ValueText(value);
  } else if (KeyIs(name, "anchor")) {
    d->anchor = ValueFlag(value);
  } else if (KeyIs(name, "single-line")) {
    d->singleLine = ValueFlag(value);
  } else if (KeyIs(name, "unbalanced")) {
    d->unbalanced = ValueFlag(value);
  } else if (KeyIs(name, "operand")) {
    d->operand = ValueFlag(value);
  } else if (KeyIs(name, "operand-words")) {
    AssignSet(d->operandWords, value);
  } else if (KeyIs(name, "not-after")) {
    AssignSet(d->notAfter, value);
  } else if (KeyIs(name, "balanced")) {
    d->balanced = ValueFlag(value);
  } else if (KeyIs(name, "tag")) {
    d->tag = ValueFlag(value);
  } else if (KeyIs(name, "indented-close")) {
    d->indentedClose = ValueFlag(value);
  } else if (KeyIs(name, "tag-alone")) {
    d->tagAlone = ValueFlag(value);
  } else if (KeyIs(name, "parts")) {
    d->parts = ValueNumber(value);
  }
}

void TSyntaxCollection::HandleKeywordClass(CFStringRef key, CFTypeRef value) {
  auto* d = OpenDefinition<SyntaxKeywordData>(this, kSyntaxClassKeyword);
  if (d == nullptr) return;
  HandleStandardClass(key, value, *d);
  Str255 name = KeyText(key);
  if (KeyIs(name, "keywords")) {
    AssignSet(d->keywords, value);
  } else if (KeyIs(name, "nest")) {
    d->nest = ValueFlag(value);
  } else if (KeyIs(name, "reserved")) {
    d->reserved = ValueFlag(value);
  } else if (KeyIs(name, "auto-complete")) {
    d->autoComplete = ValueFlag(value);
  } else if (KeyIs(name, "auto-complete-context")) {
    d->autoCompleteContext = ValueText(value);
  }
}

void TSyntaxCollection::HandleEmbeddedLanguageClass(CFStringRef key, CFTypeRef value) {
  auto* d = OpenDefinition<SyntaxEmbeddedLanguageData>(this, kSyntaxClassEmbeddedLanguage);
  if (d == nullptr) return;
  HandleStandardClass(key, value, *d);
  Str255 name = KeyText(key);
  if (KeyIs(name, "open")) {
    d->open = ValueText(value);
  } else if (KeyIs(name, "close")) {
    d->close = ValueText(value);
  } else if (KeyIs(name, "open-context")) {
    d->openContext = ValueText(value);
  } else if (KeyIs(name, "close-context")) {
    d->closeContext = ValueText(value);
  } else if (KeyIs(name, "language")) {
    d->language = ValueText(value);
  }
}

void TSyntaxCollection::HandlePrefixClass(CFStringRef key, CFTypeRef value) {
  auto* d = OpenDefinition<SyntaxPrefixData>(this, kSyntaxClassPrefix);
  if (d == nullptr) return;
  HandleStandardClass(key, value, *d);
  Str255 name = KeyText(key);
  if (KeyIs(name, "prefixes")) {
    AssignSet(d->prefixes, value);
  } else if (KeyIs(name, "alt-prefixes")) {
    if (d->altPrefixes) CFRelease(d->altPrefixes);
    d->altPrefixes =
        CFDictionaryCreateMutable(nullptr, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
    if (value != nullptr && CFGetTypeID(value) == CFArrayGetTypeID()) {
      CFArrayRef array = static_cast<CFArrayRef>(value);
      for (CFIndex i = 0, n = CFArrayGetCount(array); i < n; ++i) {
        CFTypeRef item = CFArrayGetValueAtIndex(array, i);
        if (item == nullptr || CFGetTypeID(item) != CFStringGetTypeID()) continue;
        // "A B": B is the key, A the value; no blank, no pair.
        CFStringRef pair = static_cast<CFStringRef>(item);
        CFRange blank = CFStringFind(pair, CFSTR(" "), 0);
        if (blank.location == kCFNotFound) continue;
        CFIndex length = CFStringGetLength(pair);
        CFStringRef a = CFStringCreateWithSubstring(nullptr, pair, CFRangeMake(0, blank.location));
        CFStringRef b =
            CFStringCreateWithSubstring(nullptr, pair, CFRangeMake(blank.location + 1, length - blank.location - 1));
        if (a && b) CFDictionarySetValue(d->altPrefixes, b, a);
        if (a) CFRelease(a);
        if (b) CFRelease(b);
      }
    }
  } else if (KeyIs(name, "scope-body")) {
    d->scopeBody = ValueFlag(value);
  } else if (KeyIs(name, "line-start")) {
    d->lineStart = ValueFlag(value);
  } else if (KeyIs(name, "all-matches")) {
    d->allMatches = ValueFlag(value);
  } else if (KeyIs(name, "leading-words")) {
    AssignSet(d->leadingWords, value);
  } else if (KeyIs(name, "ignore-prefix")) {
    d->ignorePrefix = ValueFlag(value);
  } else if (KeyIs(name, "expression")) {
    d->expression = ValueText(value);
  } else if (KeyIs(name, "line-break")) {
    d->lineBreak = ValueText(value);
  } else if (KeyIs(name, "token")) {
    d->token = ValueNumber(value);
  }
}

void TSyntaxCollection::HandleExpressionClass(CFStringRef key, CFTypeRef value) {
  auto* d = OpenDefinition<SyntaxExpressionData>(this, kSyntaxClassExpression);
  if (d == nullptr) return;
  HandleStandardClass(key, value, *d);
  Str255 name = KeyText(key);
  if (KeyIs(name, "keywords")) {
    AssignSet(d->keywords, value);
  } else if (KeyIs(name, "expression")) {
    d->expression = ValueText(value);
  } else if (KeyIs(name, "expression-gpc")) {
    d->expressionGPC = ValueText(value);
  } else if (KeyIs(name, "line-break")) {
    d->lineBreak = ValueText(value);
  } else if (KeyIs(name, "all-matches")) {
    d->allMatches = ValueFlag(value);
  } else if (KeyIs(name, "also-break")) {
    d->alsoBreak = ValueText(value);
  } else if (KeyIs(name, "numeric")) {
    d->numeric = ValueFlag(value);
  } else if (KeyIs(name, "token")) {
    d->token = ValueNumber(value);
  }
  // "scope-modifiers" is accepted and has no effect.
}

void TSyntaxCollection::HandleScopeClass(CFStringRef key, CFTypeRef value) {
  auto* d = OpenDefinition<SyntaxScopeData>(this, kSyntaxClassScope);
  if (d == nullptr) return;
  HandleStandardClass(key, value, *d);
  if (KeyIs(KeyText(key), "keywords")) AssignSet(d->keywords, value);
}

void TSyntaxCollection::HandleScopeBlockClass(CFStringRef key, CFTypeRef value) {
  auto* d = OpenDefinition<SyntaxScopeBlockData>(this, kSyntaxClassScopeBlock);
  if (d == nullptr) return;
  HandleStandardClass(key, value, *d);
  Str255 name = KeyText(key);
  if (KeyIs(name, "open")) {
    AssignSet(d->open, value);
  } else if (KeyIs(name, "open-newline")) {
    AssignSet(d->openNewline, value);
  } else if (KeyIs(name, "close")) {
    AssignSet(d->close, value);
  } else if (KeyIs(name, "inherit-symbol")) {
    d->inheritSymbol = ValueFlag(value);
  }
}

void TSyntaxCollection::HandleCustomClass(CFStringRef key, CFTypeRef value) {
  auto* d = OpenDefinition<SyntaxCustomData>(this, kSyntaxClassCustom);
  if (d == nullptr) return;
  HandleStandardClass(key, value, *d);
  if (value == nullptr) return;
  if (CFGetTypeID(value) == CFArrayGetTypeID()) {
    CFSetRef set = CreateStringSet(value);
    // The dictionary and the index each hold the set; the record lets go of
    // its own reference.
    CFDictionarySetValue(d->values, key, set);
    CFRelease(set);
  } else if (CFGetTypeID(value) == CFStringGetTypeID()) {
    CFStringRef text = CFStringCreateWithPascalString(nullptr, ValueText(value).data(), kCFStringEncodingMacRoman);
    if (text) {
      CFDictionarySetValue(d->values, key, text);
      CFRelease(text);
    }
  }
}

// ---------------------------------------------------------------------------
// File names

namespace {
// The languages of the extensions answered so far: an extension's type does
// not change while the program runs, and a project's index asks for every
// file, several times each. Only answers the type registry gave are kept.
std::mutex gExtensionLanguagesLock;
std::unordered_map<std::string, Str63> gExtensionLanguages;

Str63 FileLanguageOfType(const Str63& fileName, bool& answered);
}  // namespace

Str63 GetSupportedFileLanguage(const Str63& fileName) {
  const std::string_view name = fileName.view();
  const size_t dot = name.rfind('.');
  if (dot == std::string_view::npos || dot + 1 == name.size()) return Str63();
  std::string key(name.substr(dot));
  {
    std::lock_guard<std::mutex> lock(gExtensionLanguagesLock);
    auto found = gExtensionLanguages.find(key);
    if (found != gExtensionLanguages.end()) return found->second;
  }
  bool answered = false;
  Str63 language = FileLanguageOfType(fileName, answered);
  if (answered) {
    std::lock_guard<std::mutex> lock(gExtensionLanguagesLock);
    if (gExtensionLanguages.size() >= 4096) gExtensionLanguages.clear();
    gExtensionLanguages.emplace(std::move(key), language);
  }
  return language;
}

namespace {
Str63 FileLanguageOfType(const Str63& fileName, bool& answered) {
  Str15 extension = GetStringSuffix(fileName, '.');
  if (extension.empty()) return Str63();
  CFStringRef tag = CFStringCreateWithPascalString(nullptr, extension.data(), kCFStringEncodingMacRoman);
  if (tag == nullptr) return Str63();
  CFStringRef identifier = UTTypeCreatePreferredIdentifierForTagCFM("kUTTagClassFilenameExtension", tag, nullptr);
  CFRelease(tag);
  if (identifier == nullptr) return Str63();
  std::string_view name = fileName.view();
  auto endsWith = [name](std::string_view suffix) {
    return name.size() >= suffix.size() && name.substr(name.size() - suffix.size()) == suffix;
  };
  Str63 result;
  if (UTTypeConformsTo(identifier, CFSTR("com.netscape.javascript-source")) || endsWith(".js")) result = "javascript";
  if (endsWith(".rb")) result = "ruby";
  if (UTTypeConformsTo(identifier, CFSTR("public.xml"))) result = "xml";
  if (endsWith(".plist")) result = "xml";
  if (endsWith(".css")) result = "css";
  if (UTTypeConformsTo(identifier, CFSTR("public.html")) || endsWith(".rhtml")) result = "html";
  if (UTTypeConformsTo(identifier, CFSTR("public.php-script")) || endsWith(".inc")) result = "php";
  if (UTTypeConformsTo(identifier, CFSTR("public.perl-script")) || endsWith(".cgi") || endsWith(".pm"))
    result = "perl";
  if (endsWith(".p") || endsWith(".pas") || endsWith(".pp")) result = "pascal";
  CFRelease(identifier);
  answered = true;
  return result;
}
}  // namespace
