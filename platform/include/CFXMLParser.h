// An event-driven XML parser. The caller gives callbacks that build its own
// structures: `createXMLStructure` is called for each node in document order
// (the document, then elements, text runs, comments, processing instructions
// ...); `addChild` links each new structure to the structure of the node that
// holds it; `endXMLStructure` is called when an element ends (after its
// content) and, last, when the document ends. Nodes without content (text,
// comments, ...) get no end call.
//
// Text: all character data between two pieces of markup comes as one text
// node, with character and entity references already replaced, however the
// input happens to be split. A run of only white space (space, tab, CR, LF)
// comes as a white-space node, or not at all with kCFXMLParserSkipWhitespace.
// A CDATA section comes as one CDATA node holding its content. The document
// type comes as one node; the declarations inside it are not reported.
//
// A create callback that returns nil skips the node: it is not added, and for
// an element nothing inside it is reported (nor its end). The document node is
// never skipped.
//
// Untrusted input: outside data (external entities, the external DTD subset)
// is never read by the parser itself; only with
// kCFXMLParserResolveExternalEntities and a resolve callback are external
// entities parsed, from the data that callback returns. Entity expansion is
// bounded. Malformed or truncated input stops the parse with an error status;
// structures created until then stay as they were added (open elements get no
// end call). Nesting depth is limited only by memory.
//
// A parser is used by one thread at a time; separate parsers may run on
// separate threads.
#pragma once

#include "CFBase.h"
#include "CFData.h"
#include "CFURL.h"
#include "CFXMLNode.h"

typedef struct __CFXMLParser* CFXMLParserRef;

typedef CFOptionFlags CFXMLParserOptions;
enum : CFOptionFlags {
  kCFXMLParserValidateDocument = 1,          // accepted; documents are checked for well-formedness only
  kCFXMLParserSkipMetaData = 2,              // no document type, comments or processing instructions
  kCFXMLParserReplacePhysicalEntities = 4,   // entity references are always replaced
  kCFXMLParserSkipWhitespace = 8,
  kCFXMLParserResolveExternalEntities = 16,  // through the resolve callback only
  kCFXMLParserAddImpliedAttributes = 32,     // attribute defaults declared in the DTD are added
  kCFXMLParserAllOptions = 0x00FFFFFF,
  kCFXMLParserNoOptions = 0,
};

typedef CFIndex CFXMLParserStatusCode;
enum : CFIndex {
  kCFXMLStatusParseNotBegun = -2,
  kCFXMLStatusParseInProgress = -1,
  kCFXMLStatusParseSuccessful = 0,
  kCFXMLErrorUnexpectedEOF = 1,
  kCFXMLErrorUnknownEncoding = 2,
  kCFXMLErrorEncodingConversionFailure = 3,
  kCFXMLErrorMalformedProcessingInstruction = 4,
  kCFXMLErrorMalformedDTD = 5,
  kCFXMLErrorMalformedName = 6,
  kCFXMLErrorMalformedCDSect = 7,
  kCFXMLErrorMalformedCloseTag = 8,
  kCFXMLErrorMalformedStartTag = 9,
  kCFXMLErrorMalformedDocument = 10,
  kCFXMLErrorElementlessDocument = 11,
  kCFXMLErrorMalformedComment = 12,
  kCFXMLErrorMalformedCharacterReference = 13,
  kCFXMLErrorMalformedParsedCharacterData = 14,
  kCFXMLErrorNoData = 15,
};

// Returns the caller's structure for the node (nil: skip it). The node is the
// parser's; retain it to keep it.
typedef void* (*CFXMLParserCreateXMLStructureCallBack)(CFXMLParserRef parser, CFXMLNodeRef nodeDesc,
                                                        void* info);
typedef void (*CFXMLParserAddChildCallBack)(CFXMLParserRef parser, void* parent, void* child, void* info);
typedef void (*CFXMLParserEndXMLStructureCallBack)(CFXMLParserRef parser, void* xmlType, void* info);
// The data of an external entity (Create rule; nil: leave it unresolved).
typedef CFDataRef (*CFXMLParserResolveExternalEntityCallBack)(CFXMLParserRef parser, CFXMLExternalID* extID,
                                                               void* info);
// Told of the error that stops the parse. The parse cannot go on after it,
// whatever the callback answers.
typedef Boolean (*CFXMLParserHandleErrorCallBack)(CFXMLParserRef parser, CFXMLParserStatusCode error,
                                                  void* info);

struct CFXMLParserCallBacks {
  CFIndex version;  // 0
  CFXMLParserCreateXMLStructureCallBack createXMLStructure;
  CFXMLParserAddChildCallBack addChild;
  CFXMLParserEndXMLStructureCallBack endXMLStructure;
  CFXMLParserResolveExternalEntityCallBack resolveExternalEntity;  // optional
  CFXMLParserHandleErrorCallBack handleError;                      // optional
};

typedef const void* (*CFXMLParserRetainCallBack)(const void* info);
typedef void (*CFXMLParserReleaseCallBack)(const void* info);
typedef CFStringRef (*CFXMLParserCopyDescriptionCallBack)(const void* info);

// info is passed to every callback; retain runs on it when the parser is made
// (its result is kept as the info) and release when the parser is freed.
struct CFXMLParserContext {
  CFIndex version;  // 0
  void* info;
  CFXMLParserRetainCallBack retain;
  CFXMLParserReleaseCallBack release;
  CFXMLParserCopyDescriptionCallBack copyDescription;
};

CFTypeID CFXMLParserGetTypeID();

// A parser of the data (retained). dataSource, when given, names where the
// data came from (document info, relative system identifiers). Nil without
// data, without callbacks for create, add-child and end, or for another node
// version than kCFXMLNodeCurrentVersion.
CFXMLParserRef CFXMLParserCreate(CFAllocatorRef allocator, CFDataRef xmlData, CFURLRef dataSource,
                                 CFOptionFlags parseOptions, CFIndex versionOfNodes,
                                 CFXMLParserCallBacks* callBacks, CFXMLParserContext* context);
// The same with the whole resource of the URL, read now
// (CFURLCreateDataAndPropertiesFromResource); nil when it cannot be read.
CFXMLParserRef CFXMLParserCreateWithDataFromURL(CFAllocatorRef allocator, CFURLRef dataSource,
                                                CFOptionFlags parseOptions, CFIndex versionOfNodes,
                                                CFXMLParserCallBacks* callBacks,
                                                CFXMLParserContext* context);

void CFXMLParserGetContext(CFXMLParserRef parser, CFXMLParserContext* context);
void CFXMLParserGetCallBacks(CFXMLParserRef parser, CFXMLParserCallBacks* callBacks);
CFURLRef CFXMLParserGetSourceURL(CFXMLParserRef parser);  // Get rule

// Runs the parse to its end (once; later calls answer the first result).
// True when the whole document was read without error.
Boolean CFXMLParserParse(CFXMLParserRef parser);
// The structure the create callback returned for the document node (nil
// before the parse).
void* CFXMLParserGetDocument(CFXMLParserRef parser);
void* CFXMLParserGetRoot(CFXMLParserRef parser);  // the same

// Stops a running parse from inside a callback: the parse then returns false
// with this status (kCFXMLErrorMalformedDocument when errorCode is not an
// error) and description. A structure returned by the create call that
// aborted is still added to its parent; no other callback follows.
void CFXMLParserAbort(CFXMLParserRef parser, CFXMLParserStatusCode errorCode, CFStringRef errorDescription);
CFXMLParserStatusCode CFXMLParserGetStatusCode(CFXMLParserRef parser);
// A description of the error that stopped the parse (Create rule); nil when
// there was none.
CFStringRef CFXMLParserCopyErrorDescription(CFXMLParserRef parser);
// Where the parser is (during callbacks) or stopped: the 1-based line and
// the byte offset in the data.
CFIndex CFXMLParserGetLineNumber(CFXMLParserRef parser);
CFIndex CFXMLParserGetLocation(CFXMLParserRef parser);
