// TSyntaxCollectionUnit: the languages the editor knows. One syntax library per
// language, read from the property list "<language>.plist" in the bundle's
// "Language Specifications" folder: its names, its extra word characters, a
// table of text styles and its definitions grouped by class. The scan engine
// walks the definition records directly; the symbol table and the project
// index find a definition again by name; completion reads the keyword sets.
//
// Libraries, their definitions and sets are filled once and then only read,
// except for the style copies that a theme change rewrites in place.
#pragma once

#include <bitset>
#include <string_view>
#include <vector>

#include "CFArray.h"
#include "CFBase.h"
#include "CFDictionary.h"
#include "CFSet.h"
#include "CFString.h"
#include "MacTypes.h"
#include "ShortString.h"
#include "TObjectUnit.h"

class TSyntaxCollection;

// ---------------------------------------------------------------------------
// Text styles

// One text style. Kept in memory with the stored field layout (52 bytes); the
// stored form in theme dictionaries is big-endian, converted by
// SwapExtendedTextStyleBytes or the encode/decode helpers below.
struct ExtendedTextStyle {
  Str31 name;             // not used for drawing
  RGBColor textColor;     // the colour the controller applies
  RGBColor secondColor;   // kept with the style, not applied
  SInt16 firstNumber;     // kept with the style, not applied
  SInt16 secondNumber;    // kept with the style, not applied
  Boolean bold;
  Boolean italic;
  Boolean underline;
  UInt8 padding;
};
static_assert(sizeof(ExtendedTextStyle) == 52, "ExtendedTextStyle keeps its stored size");

enum : SInt16 {
  kSyntaxStyleSlots = 24,      // slots 1..24 in every library
  kSyntaxStyleUsedSlots = 17,  // slots 1..17 carry a style
  kSyntaxStyleNumbers = 17,    // the slot numbers are drawn with; it has no style name
};

// Converts the two colours and the two numbers between the stored big-endian
// order and the host order (direction 1 to storage, 2 from storage; both swap
// the same way; nothing changes on a big-endian host).
void SwapExtendedTextStyleBytes(ExtendedTextStyle& style, SInt16 direction);
// The style from its 52 stored bytes; false (style untouched) for nil data or
// any other size.
Boolean ExtendedTextStyleFromStoredBytes(const UInt8* bytes, CFIndex length, ExtendedTextStyle& style);
// A new CFData of the 52 stored bytes of the style (Create rule).
CFDataRef ExtendedTextStyleCreateStoredData(const ExtendedTextStyle& style);

// The style name of a slot ("keyword" for 9), empty for 17 and for slots out of
// 1..17; the display name of a slot ("Keywords"), the key of theme
// dictionaries, empty out of 1..17; the default text colour of a slot.
const char* GetSyntaxStyleName(SInt16 slot);
const char* GetSyntaxStyleDisplayName(SInt16 slot);
RGBColor GetSyntaxStyleDefaultColor(SInt16 slot);

// ---------------------------------------------------------------------------
// Definition records

// The style of one definition.
struct SyntaxStyleData {
  ExtendedTextStyle style;  // a copy of the library's slot for styleName
  Str63 styleName;          // the "style" value
  Boolean protectStyle;     // the styled span is also protected
  SInt16 styleIndex;        // slot of styleName; 0 = unknown, never applied
};

// Actions of a definition: bit (1 << action) of a SyntaxActions set.
enum SyntaxAction : UInt32 {
  kSyntaxActionStyle = 0,
  kSyntaxActionSymbol,
  kSyntaxActionMenu,
  kSyntaxActionNavigate,
  kSyntaxActionScope,
  kSyntaxActionScopeBlock,
  kSyntaxActionTrack,
  kSyntaxActionHeader,
  kSyntaxActionScript,
};
typedef UInt32 SyntaxActions;
inline bool SyntaxActionsContain(SyntaxActions actions, SyntaxAction action) {
  return (actions & (UInt32(1) << action)) != 0;
}
inline void SyntaxActionsInclude(SyntaxActions& actions, SyntaxAction action) {
  actions |= UInt32(1) << action;
}

typedef ShortString<1> XMLChar;              // at most one character
typedef ShortString<2> MetaCharacterString;  // at most two: "\r", "\f", "\t" or a character

// The eight classes of definitions (0: none of them).
enum SyntaxDefinitionClass : SInt16 {
  kSyntaxClassNone = 0,
  kSyntaxClassRange,
  kSyntaxClassKeyword,
  kSyntaxClassEmbeddedLanguage,
  kSyntaxClassPrefix,
  kSyntaxClassExpression,
  kSyntaxClassScope,
  kSyntaxClassScopeBlock,
  kSyntaxClassCustom,
};
// "range" -> kSyntaxClassRange ...; kSyntaxClassNone for any other name.
SyntaxDefinitionClass GetSyntaxDefinitionClass(std::string_view classKey);

// What every definition has. The CF sets are owned by the record.
struct SyntaxStandardData {
  Str63 definitionName;
  Str63 icon;             // symbol kind code shown by symbol lists ("sxFU")
  Str63 context;          // parse context in which the definition applies
  Boolean nestStyles;
  Boolean scopeDeep;
  Boolean protected_;     // "protected" (a reserved word here)
  Boolean compileMode;    // used only while a parse collects symbols
  SInt16 precedence;
  Boolean allowOverloading;
  SyntaxStyleData styleData;
  SyntaxActions actions;
  CFSetRef scopes;        // scope names; nil when absent
  Str63 script;
  Str15 command;
  XMLChar scopeRangeOpen;
  XMLChar scopeRangeClose;
  // Which record this is the head of; the loader acts only on the record of
  // the class being read.
  SyntaxDefinitionClass definitionClass;
};
typedef SyntaxStandardData* SyntaxStandardDataPtr;

struct SyntaxRangeData : SyntaxStandardData {
  Str15 open;        // the symbol part of "open"
  Str15 close;
  XMLChar breakChar; // escape character
  Str15 openWord;    // the word part of "open"
  Str15 applyContext;
  Boolean anchor;
  Boolean singleLine;
  Boolean unbalanced;
  // What real code needs beyond the fields above (keys no older reader knows,
  // so they are ignored there):
  // "operand": opens only where an operand is expected, that is after an
  // operator, an opening bracket or a line start, or after a word of
  // "operand-words"; not after another word, a number, ")" or "]".
  Boolean operand;
  CFSetRef operandWords;
  // "not-after": opens nowhere right after one of these texts (Ruby's "$`"
  // is a variable, not a command) nor after one of these words, blanks
  // between ("class <<self" opens no text block).
  CFSetRef notAfter;
  // "balanced": brackets of the kind the open text ends with nest inside.
  Boolean balanced;
  // "tag": the open text is followed by a tag (an identifier, in the open's
  // quote when the open ends with one) and the range closes at a line that
  // begins with that tag; "indented-close": blanks may stand before it;
  // "tag-alone": nothing but the tag may stand on that line.
  Boolean tag;
  Boolean indentedClose;
  Boolean tagAlone;
  // "parts": the number of delimited parts (2 for a substitution): after
  // the close of a part the next begins, with the same delimiter or, after
  // brackets, a bracket of its own.
  SInt16 parts;
};
typedef SyntaxRangeData* SyntaxRangeDataPtr;

struct SyntaxKeywordData : SyntaxStandardData {
  CFSetRef keywords;  // lower case
  Boolean nest;
  Boolean reserved;
  Boolean autoComplete;
  Str255 autoCompleteContext;
};
typedef SyntaxKeywordData* SyntaxKeywordDataPtr;

struct SyntaxEmbeddedLanguageData : SyntaxStandardData {
  Str15 openContext;
  Str15 closeContext;
  Str15 open;
  Str15 close;
  Str63 language;
};
typedef SyntaxEmbeddedLanguageData* SyntaxEmbeddedLanguageDataPtr;

struct SyntaxPrefixData : SyntaxStandardData {
  CFSetRef prefixes;
  CFMutableDictionaryRef altPrefixes;  // B -> A for each "A B"
  CFSetRef leadingWords;
  Boolean ignorePrefix;
  Str63 expression;
  MetaCharacterString lineBreak;
  SInt16 token;
  // "scope-body": with "scopes", acts only directly in the body of a scope
  // that tracks its brackets, not in the blocks nested in it.
  Boolean scopeBody;
  // "all-matches": every match of "expression" names a symbol.
  Boolean allMatches;
  // "line-start": acts only on the first word of a line. A word whose first
  // character is a prefix is matched with "expression" together with the
  // rest of its line.
  Boolean lineStart;
};
typedef SyntaxPrefixData* SyntaxPrefixDataPtr;

struct SyntaxExpressionData : SyntaxStandardData {
  Str63 expression;     // pattern with "*" wildcards
  Str255 expressionGPC; // regular expression
  Boolean numeric;
  SInt16 token;
  MetaCharacterString lineBreak;
  CFSetRef keywords;
  // "all-matches": every match of the regular expression names a symbol
  // ("use constant { A => 1, B => 2 }").
  Boolean allMatches;
  // "also-break": a second character that ends the expression, as a ";"
  // ends a statement before its line does.
  XMLChar alsoBreak;
};
typedef SyntaxExpressionData* SyntaxExpressionDataPtr;

struct SyntaxScopeData : SyntaxStandardData {
  CFSetRef keywords;
};
typedef SyntaxScopeData* SyntaxScopeDataPtr;

struct SyntaxScopeBlockData : SyntaxStandardData {
  CFSetRef open;
  CFSetRef openNewline;
  CFSetRef close;
  Boolean inheritSymbol;
};
typedef SyntaxScopeBlockData* SyntaxScopeBlockDataPtr;

struct SyntaxCustomData : SyntaxStandardData {
  CFMutableDictionaryRef values;  // full key -> CFString or CFSet
};
typedef SyntaxCustomData* SyntaxCustomDataPtr;

// ---------------------------------------------------------------------------
// Libraries

struct SyntaxLibraryRec {
  Str63 displayName;
  Str63 rootLanguage;
  Str63 language;  // the key libraries are found by ("php")
  ExtendedTextStyle styles[kSyntaxStyleSlots + 1];  // [1..24]; [0] unused
  CFMutableDictionaryRef definitions;  // name -> private copy of the SyntaxStandardData
  TSyntaxCollection* collection;
  CFSetRef characterSet;  // extra word characters; nil when absent
  CFSetRef autoPair;
  // One array of definition records per class, in reading order (prefixes by
  // ascending precedence).
  CFMutableArrayRef ranges;
  CFMutableArrayRef keywords;
  CFMutableArrayRef embeddedLanguages;
  CFMutableArrayRef prefixes;
  CFMutableArrayRef expressions;
  CFMutableArrayRef scopes;
  CFMutableArrayRef scopeBlocks;
  CFMutableArrayRef customs;
  // The word characters (letters, digits, "_" and characterSet) as a table of
  // UTF-16 units, so that the per-character test is one lookup.
  std::bitset<65536> wordCharacters;
};
typedef SyntaxLibraryRec* SyntaxLibraryPtr;

// The class array of a library (nil for kSyntaxClassNone or a nil library).
CFMutableArrayRef GetSyntaxClassArray(SyntaxLibraryPtr library, SyntaxDefinitionClass definitionClass);

// Whether the character is a word character of the library: a digit, an ASCII
// letter, "_", or one of its extra characters. Without a library only the
// first three count.
inline bool SyntaxLibraryIsWordCharacter(SyntaxLibraryPtr library, UniChar c) {
  if (library) return library->wordCharacters.test(c);
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}

// Membership tests on the string sets of definitions without making a
// CFString: sets made by the loader are indexed as they are made, so a test
// is one hash lookup. The text is UTF-16 units, or Mac Roman bytes for a
// short string. A nil set contains nothing; a set the loader did not make is
// asked through CFSetContainsValue.
Boolean SyntaxSetContainsCharacters(CFSetRef set, const UniChar* characters, CFIndex length);
Boolean SyntaxSetContainsWord(CFSetRef set, ConstStringPtr word);  // a Str63, Str255 ...
Boolean SyntaxSetContainsWord(CFSetRef set, std::string_view asciiWord);

// ---------------------------------------------------------------------------
// The collection

class TSyntaxCollection : public TObject {
 public:
  CFMutableArrayRef libraries = nullptr;  // SyntaxLibraryPtr, owned
  CFDictionaryRef styles = nullptr;       // display name -> CFData of a style; retained
  SyntaxLibraryPtr currentLibrary = nullptr;
  SyntaxStandardDataPtr currentDefinition = nullptr;
  Str63 currentDefinitionName;
  Str63 currentGroup;
  Str63 currentClass;

  // Reads "<language>.plist" from the "Language Specifications" folder and appends its
  // library. A missing file adds nothing; an unreadable or malformed one adds
  // nothing and says why on standard error.
  virtual void LoadLibrary(const Str63& language);
  // Notes the language to be read as LoadLibrary reads it, but at its first
  // use: when GetLanguageLibrary (or GetFileLibrary) asks for it, or when
  // the libraries are counted or walked (then every noted one is read). A
  // run that meets files of a few languages reads only theirs.
  void DeferLibrary(const Str63& language);
  virtual SyntaxStandardDataPtr GetDefinition(const Str31& name, SyntaxLibraryPtr library);
  virtual SyntaxLibraryPtr GetFileLibrary(const Str63& fileName);
  virtual SyntaxLibraryPtr GetLanguageLibrary(const Str63& language);
  virtual void HandleStandardClass(CFStringRef key, CFTypeRef value, SyntaxStandardData& definition);
  virtual void HandleEmbeddedLanguageClass(CFStringRef key, CFTypeRef value);
  virtual void HandleExpressionClass(CFStringRef key, CFTypeRef value);
  virtual void HandleKeywordClass(CFStringRef key, CFTypeRef value);
  virtual void HandlePrefixClass(CFStringRef key, CFTypeRef value);
  virtual void HandleRangeClass(CFStringRef key, CFTypeRef value);
  virtual void HandleScopeClass(CFStringRef key, CFTypeRef value);
  virtual void HandleScopeBlockClass(CFStringRef key, CFTypeRef value);
  virtual void HandleCustomClass(CFStringRef key, CFTypeRef value);

  // The folder the language files are read from; nil (the default) means the
  // main bundle's "Language Specifications" resource folder. Retained.
  void SetSpecificationFolder(CFURLRef folder);
  // Reads the language file at the URL as the library of the language
  // key; same outcome as LoadLibrary. Returns the new library, or nil.
  SyntaxLibraryPtr LoadLibraryFromURL(const Str63& language, CFURLRef url);
  // Builds the library of the language key from a parsed language file (a
  // dictionary); nil, with a message, for anything else.
  SyntaxLibraryPtr LoadLibraryFromPropertyList(const Str63& language, CFTypeRef propertyList);

  CFIndex GetLibraryCount();
  SyntaxLibraryPtr GetLibraryAtIndex(CFIndex index);  // from 0; nil out of range

  // The program keeps its one collection to the end; tests free theirs.
  ~TSyntaxCollection() override;

 private:
  CFURLRef specificationFolder_ = nullptr;
  int depth_ = 0;  // nesting of the dictionary being read
  std::vector<Str63> deferred_;  // languages noted by DeferLibrary, not read yet
  SyntaxLibraryPtr FindLoadedLibrary(const Str63& language);
  void LoadDeferredLibraries();
  friend void IterateSyntaxLibrary(const void* key, const void* value, void* context);
};

// A new, empty collection that keeps the styles (may be nil).
TSyntaxCollection* CreateSyntaxCollection(CFDictionaryRef styles);
// The language key of a file name ("php", ...), or the empty string.
Str63 GetSupportedFileLanguage(const Str63& fileName);
// Replaces the collection's styles and re-applies them to every library and
// every definition record.
void UpdateSyntaxCollectionStyles(TSyntaxCollection* collection, CFDictionaryRef styles);
// Fills a library's style table: the defaults, overlaid with the styles of
// the dictionary when there is one.
void LoadSyntaxStyles(SyntaxLibraryPtr library, CFDictionaryRef styles);
// The slot of a style name (0 when unknown) and a copy of that slot (zeros for 0).
ExtendedTextStyle GetStyleStringIndex(SyntaxLibraryPtr library, const Str63& styleName, SInt16& index);
// Applier (value: a definition record, context: its library): refreshes the
// record's style copy from the library's table.
void UpdateDefinitionStyle(const void* definition, void* library);
// Ascending precedence (-1, 0, 1) of two definition records.
CFComparisonResult CompareDefinitionPrecedence(const void* a, const void* b, void* context);
// The key as text, the value as converted text (empty when it is no string)
// and the value as a flag (false when it is no Boolean).
void GetPairValues(CFStringRef key, CFTypeRef value, Str255& keyText, Str255& valueText, Boolean& flag);
// A zero-filled record of the class named, named and appended to the class's
// array of the library; nil (nothing made) for any other class name.
SyntaxStandardDataPtr AllocateActiveDefinition(const Str63& name, const Str63& definitionClass,
                                               SyntaxLibraryPtr library);
// The dictionary applier that reads one key of a language file (context: the
// collection).
void IterateSyntaxLibrary(const void* key, const void* value, void* context);
