// TSyntaxParserProcessUnit: one parse of one text by one language library.
//
// A process brings the text into a buffer of its own (from the file, or
// streamed from its controller in chunks of 32768 units) and advances exactly
// one character per call of Run. At each character it refreshes its scan
// state (word, previous word, line flags, embedded language) and calls the
// class handlers in a fixed order; the handlers keep the context, range,
// scope and scope-block stacks, style the text through the controller and
// record symbols in the project symbol index. Offsets are UTF-16 units; every
// span handed out is a start/end pair.
//
// A driver makes a process with new, optionally SetOptions, then Create; it
// calls Run until it returns 2 (the process has then terminated and released
// its resources) and frees the instance with Free. A tight loop works too:
//     while (process->Run(next) == 1) {}
#pragma once

#include <vector>

#include "CFArray.h"
#include "CFBase.h"
#include "CFPascal.h"
#include "Files.h"
#include "MacTypes.h"
#include "ShortString.h"
#include "TObjectUnit.h"
#include "TSyntaxCollectionUnit.h"
#include "TSyntaxParserControllerUnit.h"

class TDocument;
class TFileStream;
class TFileSystem;
class TSyntaxParserProcess;
class TSyntaxParserHandler;
struct FileDescriptor;
typedef FileDescriptor* FileDescriptorPtr;
namespace SyntaxScan {
struct LibraryIndex;
struct WordEntry;
}

// ---------------------------------------------------------------------------
// What to parse and where to report

enum : UInt32 {
  kSyntaxParserProcessDisableActions = 1u << 0,  // no symbols, headers or action styles
  kSyntaxParserProcessDontReset = 1u << 1,       // keep the span's styles before parsing
};
typedef UInt32 SyntaxParserProcessOptions;

struct SyntaxParserSource {
  SyntaxLibraryPtr library = nullptr;  // nil: found from the file name
  FSRef file{};                        // name, date, and the text when the controller has none
  CFRange span{0, 0};                  // start/end; (0, 0) for a whole file
  SInt32 unused = 0;
  TSyntaxParserController* controller = nullptr;
  TDocument* document = nullptr;  // told Loaded when a whole-file parse ends
  SyntaxParserProcessOptions options = 0;
};
typedef SyntaxParserSource* SyntaxParserSourcePtr;

// Notification kinds.
enum : SInt16 {
  kSyntaxParserNotifyStarted = 1,
  kSyntaxParserNotifyFinished = 2,
  kSyntaxParserNotifyProgress = 3,  // data: a CFRange (percentage, 100)
  kSyntaxParserNotifyEmbeddedLanguage = 4,  // incremental only; data: the ParserEmbeddedLanguageData
  kSyntaxParserNotifyReleased = 5,  // sent by the driver
};

typedef void (*SyntaxParserNotificationCallback)(FileDescriptorPtr descriptor, const SyntaxParserSource& source,
                                                 SInt16 kind, void* data, void* userData);
typedef void (*SyntaxParserInspectorCallback)(TSyntaxParserProcess* process, void* userData);
typedef void (*SyntaxParserStateCallback)(UniChar character, const Str63& word, Boolean reservedWord, SInt32 offset,
                                          const Str63& context, void* userData);

struct SyntaxParserDestination {
  TFileSystem* fileSystem = nullptr;
  TSyntaxCollection* collection = nullptr;
  SyntaxParserNotificationCallback notification = nullptr;
  SyntaxParserInspectorCallback inspector = nullptr;
  SyntaxParserStateCallback stateCallback = nullptr;
  void* userData = nullptr;
  // The callbacks need not see the characters the scan steps over at once
  // (those no definition acts on), only the source's edit offset: the scan
  // keeps its speed with them. Clear it for a callback of every character.
  Boolean quietSkips = false;
};

// ---------------------------------------------------------------------------
// Scan state and handler data

enum : SInt32 {
  kParserStackDepth = 10,      // contexts, ranges, scopes and scope blocks
  kParserChunkLength = 32768,  // units brought in at a time
  kParserFirstChunk = 2048,    // units a parse brings in first
  kParserLookahead = 64,       // units kept loaded past the current one
  kParserStateRunning = 1,
  kParserStateFinished = 2,
  kParserStateChild = 3,
  kParserStatePaused = 4,  // only with pauseAt set: Run goes on from there when called again
};

struct ParserStyledRange {
  CFRange span;
  SyntaxStyleData style;
};

struct ParserScopeRange {
  CFRange span;
  SymbolInfoPtr symbol;
};

struct ParserProcessState {
  SInt32 counter = -1;        // position inside the current chunk
  SInt32 offset = 0;          // position in the buffer
  SInt32 absoluteOffset = 0;  // position in the whole text
  UniChar character = 0;
  Boolean nonWord = false;
  UniChar lastNonWordChar = 0;
  Boolean lineBreak = false;
  Boolean atEnd = false;
  Boolean languageChanged = false;
  Boolean atLineStart = true;
  Boolean deferStyles = false;
  Str63 embeddedLanguage;
  Str63 word;  // the first 63 characters of the word being read
  CFRange wordSpan{-1, -1};
  Boolean reservedWord = false;
  Str63 previousWord;
  CFRange previousWordSpan{-1, -1};
  Str63 context[kParserStackDepth + 1];  // [1..depth]
  SInt16 contextDepth = 0;
  // Owned by the process; the state only points at them.
  std::vector<ParserStyledRange>* styledRanges = nullptr;
  std::vector<ParserScopeRange>* scopeRanges = nullptr;
};

struct ParserPrefixData {
  Boolean active = false;  // a prefix is pending (a start of 0 is a real offset)
  Str15 prefix;
  Str63 prefixName;
  Str63 symbolName;
  CFRange span{0, 0};
  SyntaxPrefixDataPtr definition = nullptr;
};

struct ParserEmbeddedLanguageData {
  CFRange span{0, 0};
  Str31 outerLanguage;
  Str15 close;
  SyntaxEmbeddedLanguageData definition{};
  Boolean active = false;
};

struct ParserRangeData {
  CFRange span{0, 0};
  SyntaxRangeDataPtr definition = nullptr;
  // What an open range learnt from its own open text.
  Str63 tag;             // the tag a heredoc closes with
  Str15 close;           // the close of the current part when it is not the definition's
  UniChar nestOpen = 0;  // the bracket that nests inside a balanced range
  SInt16 nesting = 0;    // brackets open inside it
  SInt16 partsLeft = 0;  // parts still to read, this one included
};

struct ParserScopeData {
  CFRange span{0, 0};
  SInt16 nesting = 0;
  Str63 scopeName;
  Str63 symbolName;
  Boolean tracking = false;
  XMLChar trackOpen;
  XMLChar trackClose;
  SymbolInfoPtr symbol = nullptr;
  SyntaxStandardDataPtr definition = nullptr;  // a scope or the expression that opened it
  SInt16 contextDepth = 0;  // its brackets count only in the context it opened in
};

struct ParserScopeBlockData {
  CFRange span{0, 0};
  Str31 blockName;
  SymbolInfoPtr symbol = nullptr;
  SyntaxScopeBlockDataPtr definition = nullptr;
  // The level of the scope its close closes (0: none): the declaration that
  // opened it declared that scope, with or without a symbol to tie them.
  SInt16 scopeLevel = 0;
};

struct ParserExpressionData {
  Boolean active = false;
  CFRange span{0, 0};
  Str63 keyword;
  MetaCharacterString lineBreak;
  Str255 pattern;
  Str255 collected;
  SyntaxExpressionDataPtr definition = nullptr;
  // The keyword's definitions, and which one is active: a statement the
  // active one does not match may be the next one's ("const a = 1" after
  // "const f = () => 1").
  const SyntaxScan::WordEntry* entry = nullptr;
  size_t choice = 0;
};

struct ParserProcessHandlers {
  ParserPrefixData prefix;
  ParserEmbeddedLanguageData embeddedLanguage;
  ParserRangeData ranges[kParserStackDepth + 1];  // [1..rangeDepth]
  SInt16 rangeDepth = 0;
  ParserScopeData scopes[kParserStackDepth + 1];
  SInt16 scopeDepth = 0;
  ParserScopeBlockData scopeBlocks[kParserStackDepth + 1];
  SInt16 scopeBlockDepth = 0;
  ParserExpressionData expression;
};

// ---------------------------------------------------------------------------
// The process

class TSyntaxParserProcess : public TObject {
 public:
  TSyntaxParserProcess();
  ~TSyntaxParserProcess() override;

  // 0 on success; otherwise the error (-1: no library; a file error), and the
  // controller has been restored and the process released.
  virtual SInt32 Create(const SyntaxParserSource& source, const SyntaxParserDestination& destination);
  // A child parse with the same destination (Err: its Create result), or nil.
  virtual TSyntaxParserProcess* SpawnProcess(const SyntaxParserSource& source);
  virtual void AppendHandler(TSyntaxParserHandler* handler);
  // One character; returns the state (1 running, 2 finished, 3 child started).
  virtual SInt16 Run(TSyntaxParserProcess*& next);
  virtual void ProcessOffset();
  virtual void Terminate();
  // Frees the buffers, the state arrays, the handlers and the stream. The
  // instance itself is freed by its owner.
  virtual void Release();
  virtual void StreamRead();
  virtual void StreamText();
  virtual void SetParent(TSyntaxParserProcess* process);
  virtual void SetOptions(SyntaxParserProcessOptions value);
  virtual void HandleScope();
  virtual void HandleScopeBlock();
  virtual void HandleExpression();
  virtual void HandlePrefix();
  virtual void HandleKeyword();
  virtual void HandleRange();
  virtual void HandleEmbededLanguage();
  virtual void HandleCustomClass();
  virtual void SetContext(const Str63& name);
  virtual void ClearContext();
  virtual Boolean GetContext(const SyntaxStandardData& definition);
  virtual void ClearSpans();
  virtual Boolean ValidScope(Boolean change, const SyntaxStandardData& definition);
  virtual Boolean ValidOffsetMetaCharacter(const MetaCharacterString& meta);
  virtual Boolean ValidStringOffset(const Str15& s);
  virtual Boolean ValidWordCharacter(UniChar c);
  virtual void ApplyRangeStyle(const SyntaxStyleData& style, CFRange span);
  virtual void ApplyHeaderAction(const Str255& name);
  virtual void ApplyScriptAction(CFRange span, SInt16 n, const SyntaxStandardData& definition);
  virtual SymbolInfoPtr ApplyDefinitionAction(const Str63& name, CFRange span, SInt16 level,
                                              const SyntaxStandardData& definition);
  virtual void DumpStyleRanges();
  virtual void DumpScopeRanges();
  virtual void AppendScopeDump(SymbolInfoPtr symbol, CFRange span);
  virtual void SetScopeRangeTracking(SInt16 level, SymbolInfoPtr symbol, const SyntaxStandardData& definition);
  // The character n positions from the current one (0 outside the text).
  virtual UniChar GetCharacterAtOffset(SInt16 n);

  // A re-parse of an edit that must run on far past its stretch can be done
  // in parts: with pauseAt set (before Create or between calls), Run returns
  // kParserStatePaused at the first position at or past it where the parse
  // would go on, with the controller restored as at the end of a parse, and
  // goes on from there when called again.
  SInt32 pauseAt = -1;
  // The controller's text changed (at offset, by delta) while the parse was
  // paused. True when the change lies past what the parse has read, which
  // then reads the new text from there on; false when the parse can no
  // longer go on.
  Boolean TextChanged(SInt32 offset, SInt32 delta);
  // Where the state last left the plain one, if it has not come back since
  // (-1): the marks a later re-parse compares with are written up to here.
  SInt32 NestedSince() const { return nestedSince_; }

  // The top context ("empty" at the bottom).
  const Str63& TopContext() const { return state.context[state.contextDepth > 0 ? state.contextDepth : 1]; }

  // Fields.
  SyntaxParserSource source;
  SyntaxParserDestination destination;
  FileDescriptorPtr descriptor = nullptr;
  TSyntaxParserProcess* parent = nullptr;
  CFMutableArrayRef handlers = nullptr;
  SInt16 processState = 0;  // 1 running, 2 finished, 3 a child parse started
  TSyntaxParserProcess* next = nullptr;
  TFileStream* fileStream = nullptr;
  CFRange chunk{0, 0};
  std::vector<UniChar> text;  // the characters brought in so far
  SInt32 chunkLength = 0;
  SInt32 chunkStart = 0;
  SInt32 streamChunk_ = kParserFirstChunk;  // units the next StreamText brings in
  SInt32 bufferBase = 0;  // absolute offset of text[0]
  SInt32 textEnd = 0;
  SInt32 spanEnd = 0;
  Boolean incremental = false;
  Boolean child = false;
  Boolean streaming = false;
  Boolean collecting = false;
  Boolean unbalancedOpen = false;
  Boolean inEmbeddedLanguage = false;
  Boolean fromController = false;
  SyntaxParserProcessOptions options = 0;
  ParserProcessState state;
  ParserProcessHandlers data;
  UInt32 lastNotification = 0;
  UInt32 progressSteps_ = 0;  // steps since the clock was read for progress
  TFileSystem* fileSystem = nullptr;
  TSyntaxCollection* collection = nullptr;
  SyntaxLibraryPtr library = nullptr;

 private:
  UniChar At(SInt32 bufferOffset) const {
    return (bufferOffset >= 0 && bufferOffset < SInt32(text.size())) ? text[size_t(bufferOffset)] : UniChar(0);
  }
  bool Matches(SInt32 bufferOffset, const Str15& s) const;
  void EnsureLoaded(SInt32 absoluteEnd);
  void ReadWholeFile(SInt32& result);
  void Notify(SInt16 kind, void* data);
  void SkipCharacters(SInt32 count);
  // Steps over the characters after the current one at which no handler can
  // do anything, keeping what each would have left in the scan state.
  void SkipQuietCharacters();
  void FinishDescriptor();
  // A re-parse running on past its span resets the old styles of the text
  // it passes, just before it writes there, so that none outlive it.
  void ResetBefore(SInt32 absoluteStart, SInt32 absoluteEnd);
  void ResetThrough(SInt32 absoluteEnd);
  // After each character: marks where the state leaves and comes back to
  // the plain one of the language in force (no range or context open, and
  // nothing waiting that colours text further on: a prefix's or a
  // declaration's name).
  void TrackNesting(SInt32 position);
  bool Plain() const { return state.contextDepth <= 1 && data.rangeDepth == 0 && !Waiting(); }
  bool Waiting() const { return data.prefix.active || data.expression.active; }
  SymbolInfoPtr LookUpGlobalSymbol(const Str255& name);
  bool PushScope();
  bool AfterSigil(SInt32 wordStart, bool anySigil);
  bool InScopeBody();
  void HandleEmbededLanguageBody();
  // Whether the block being opened is one the earlier parse opened at the
  // same character and closes the same way.
  bool ReentersEarlierBlock(const SyntaxEmbeddedLanguageData& def);
  void HandleRangeBody();
  bool OperandExpected(const SyntaxRangeData& definition);
  bool EscapedAt(SInt32 bufferOffset, const XMLChar& breakChar);
  UniChar CharAt(SInt32 bufferOffset);
  SInt32 ReadTag(const SyntaxRangeData& definition, Str63& tag);
  SInt32 TagClosesHere(const ParserRangeData& range);
  void HandleScopeBody();
  void HandleExpressionBody();
  void HandlePrefixBody();
  // The first tests of the handlers, made before each is called.
  bool EmbeddedLanguageMayAct();
  bool RangeMayAct();
  bool PrefixMayActOnWord();
  bool WordNamesDefinitions(bool scopes);
  bool ScopeMayActOnCharacter() const;
  bool MayOpenHere(UniChar c);
  bool QuietWord(const SyntaxScan::LibraryIndex* index, const unsigned char* bytes, int length, UniChar last,
                 SInt32 at, SyntaxKeywordDataPtr& keyword);
  SyntaxKeywordDataPtr KeywordHere(const std::vector<SyntaxKeywordDataPtr>& sets);
  SyntaxPrefixDataPtr WordPrefixOnTheWay(const SyntaxScan::LibraryIndex* index, UniChar c, const unsigned char* bytes,
                                         int n, bool lineStart, bool& none);
  // The index of the library in force (it changes inside embedded languages).
  const SyntaxScan::LibraryIndex* Index() { return library == indexedLibrary_ ? libraryIndex_ : Reindex(); }
  const SyntaxScan::LibraryIndex* Reindex();
  // The definitions the word just ended names, looked up once per word.
  const SyntaxScan::WordEntry* CurrentWordEntry();
  // The hash of the word just ended, made once per word.
  UInt64 WordHash() {
    if (!wordHashed_) {
      wordHash_ = HashCurrentWord();
      wordHashed_ = true;
    }
    return wordHash_;
  }
  UInt64 HashCurrentWord() const;
  // Whether a text can match at the current character: a cheap test that
  // spares most characters the full comparison. A text equals the word just
  // ended only when it begins with a word character.
  bool MayMatchHere(const Str15& s) const {
    if (s.empty()) return false;
    const unsigned char first = s[1];
    if (first == '\\' || first >= 128) return true;
    return state.character == first ||
           (!state.word.empty() && (library == nullptr || library->wordCharacters.test(first)));
  }
  Str255 TextRange(SInt32 first, SInt32 last) const;

  const SyntaxScan::LibraryIndex* libraryIndex_ = nullptr;
  SyntaxLibraryPtr indexedLibrary_ = nullptr;
  const SyntaxScan::WordEntry* wordEntry_ = nullptr;
  UInt64 wordHash_ = 0;
  bool wordHashed_ = false;
  UInt64 preHash_ = 0;     // the hash of the word QuietWord last looked at,
  SInt32 preHashAt_ = -1;  // which starts at this absolute offset
  bool nextIsWord_ = false;  // the look-ahead found the next unit a word character
  SInt32 nextIsWordAt_ = -1;
  SyntaxLibraryPtr nextIsWordLibrary_ = nullptr;
  const SyntaxScan::LibraryIndex* wordEntryIndex_ = nullptr;  // nil: not looked up for this word
  std::vector<ParserStyledRange> styledRanges_;
  std::vector<ParserScopeRange> scopeRanges_;
  SInt32 loadedEnd_ = 0;   // absolute offset one past the last unit brought in
  SInt32 fileInserted_ = 0;  // units of a file's text handed to the controller so far
  SInt32 skip_ = 0;          // characters the next Run steps over (open and close texts)
  SInt32 firstOffset_ = 0;   // absolute offset of the parse's first character
  SInt32 resetEnd_ = -1;     // the old styles before it are gone (-1: nothing to reset)
  SInt32 nestedSince_ = -1;  // where the state left the plain one (-1: plain)
  Str255 descriptorDate_;    // the file's date, written when the parse completes
  SInt32 blockOpenedAt_ = -1;
  bool bindBlock_ = true;  // a symbol may be bound to the top scope block  // where the word that opened the last scope block ends
  bool progressSent_ = false;
  bool preprocessor_ = false;  // the top context is "preprocessor"
  bool emptyContext_ = false;  // the top context is "empty"
  bool protectedContext_ = false;  // the top context is "protected"
  bool released_ = false;
  bool terminated_ = false;
  bool paused_ = false;
  bool tracksNesting_ = false;  // the controller keeps the nesting marks
  bool reenteredBlock_ = false;  // the embedded block in force is the earlier parse's
  SInt32 staleFrom_ = -1;        // where marks of a block no longer there begin (-1: none)
  SInt32 closedMarkEnd_ = -1;    // the end of the marks of the last block this parse closed
  // The scope marks of a parse: the packed stack in force since
  // scopeMarkFrom_, written when it changes (told by its print).
  bool marksScopes_ = false;
  // Past its span a re-parse found other scopes open than the earlier parse
  // had: it reads on, over quiet characters too, until they agree.
  bool scopesDiffer_ = false;
  SInt32 scopeMarkFrom_ = 0;
  UInt64 scopePrint_ = 0;
  Str255 scopeMark_;
  UInt64 ScopePrint() const;
  Str255 PackScopes() const;
  void TrackScopes(SInt32 position);
  // A re-parse starts in the scopes the whole parse left before its span.
  void SeedScopes(const Str255& packed);
  SyntaxStandardDataPtr FindScopeDefinition(const Str63& scopeName);
  void ClearStaleMarks(SInt32 absoluteEnd);
  void ResumeEarlierBlock();
  void ForgetBlocksOfSpan();
  void MarkBlockRead(SInt32 absoluteEnd);
};

// The base of objects a parse consults at every character. No handler class
// is registered in this program; the interface stays for extensions.
class TSyntaxParserHandler : public TCFObject {
 public:
  TSyntaxParserProcess* process = nullptr;
  ParserProcessState state;

  virtual Str63 GetContext();
  virtual Str63 GetScope();
  virtual SyntaxCustomDataPtr GetDefinition(const Str255& name);
  virtual Str63 GetScopeBlock();
  virtual UniChar GetRelativeCharacter(SInt16 n);
  virtual void CloseScopeBlock();
  virtual void CloseScope();
  virtual void OpenScope(const Str63& name, SymbolInfoPtr symbol);
  virtual void PrintLocation();
  virtual void PrintState();
  virtual SInt16 HandleState();
};
