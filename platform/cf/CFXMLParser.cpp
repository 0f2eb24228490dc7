// The XML parser over expat. Expat reports the document as a stream of events;
// this file turns them into nodes and the caller's create / add-child / end
// protocol, keeping the open elements on an explicit stack (so depth costs
// heap, never native stack) and joining the pieces in which expat hands over
// character data into one text node per run.
#include "CFXMLParser.h"

#include <expat.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "CFArray.h"
#include "CFCollectionInternal.h"
#include "CFDictionary.h"
#include "CFStringInternal.h"

namespace {

CFTypeID XMLParserTypeID() {
  static const CFTypeID id = CFRuntimeRegisterType("CFXMLParser");
  return id;
}

// Expat takes int lengths; large documents go in slices of this size.
constexpr size_t kSliceBytes = size_t(1) << 20;
// External entities parsed inside external entities, at most this deep.
constexpr int kMaxEntityDepth = 16;

}  // namespace

struct __CFXMLParser;

namespace {

// One expat parser at work: the document's, or that of an external entity.
struct Frame {
  __CFXMLParser* owner;
  XML_Parser xp;
  const UInt8* bytes;
  size_t length;
  int depth;
};

}  // namespace

struct __CFXMLParser : __CFRuntimeBase {
  __CFXMLParser() : __CFRuntimeBase(XMLParserTypeID()) {}

  ~__CFXMLParser() override {
    if (data) CFRelease(data);
    if (source) CFRelease(source);
    if (errorDescription) CFRelease(errorDescription);
    if (entityDescription) CFRelease(entityDescription);
    if (context.release && context.info) context.release(context.info);
  }

  std::string Describe() const override {
    std::string s = "<CFXMLParser " + __CFAddressText(this) + ">";
    if (context.copyDescription) {
      CFStringRef d = context.copyDescription(context.info);
      if (d) {
        s += "{info = " + __CFStringGetUTF8(d) + "}";
        CFRelease(d);
      }
    }
    return s;
  }

  CFDataRef data = nullptr;
  CFURLRef source = nullptr;
  CFOptionFlags options = 0;
  CFXMLParserCallBacks callBacks{};
  CFXMLParserContext context{};

  CFXMLParserStatusCode status = kCFXMLStatusParseNotBegun;
  CFStringRef errorDescription = nullptr;
  CFIndex line = 0;
  CFIndex location = 0;
  void* document = nullptr;

  // State of the running parse.
  Frame* active = nullptr;           // the innermost expat parser at work
  bool stopped = false;              // aborted: no more callbacks
  std::vector<void*> open;           // structures of the open (reported) elements
  size_t skipDepth = 0;              // > 0 inside an element whose structure was nil
  std::string text;                  // character data of the current run (UTF-8)
  std::string cdata;                 // content of the open CDATA section
  bool inCDATA = false;
  bool sawElement = false;
  CFXMLParserStatusCode entityStatus = 0;  // why an external entity failed
  CFStringRef entityDescription = nullptr;
};

namespace {

__CFXMLParser* ParserOf(CFTypeRef cf, const char* fn) {
  return __CFCheckedCast<__CFXMLParser>(cf, XMLParserTypeID(), fn);
}

CFXMLParserRef AsRef(__CFXMLParser* p) {
  return reinterpret_cast<CFXMLParserRef>(static_cast<__CFRuntimeBase*>(p));
}

CFStringRef StringOf(const XML_Char* s) { return s ? __CFStringCreateWithUTF8(s) : nullptr; }
CFStringRef StringOf(const std::string& s) { return __CFStringCreateWithUTF8(s); }

void SetDescription(CFStringRef& slot, CFStringRef value) {
  if (value) CFRetain(value);
  if (slot) CFRelease(slot);
  slot = value;
}

void* ParentOf(__CFXMLParser* p) { return p->open.empty() ? p->document : p->open.back(); }

// Hands the node to the create callback; the node itself is released here.
void* CreateStructure(__CFXMLParser* p, CFXMLNodeRef node) {
  if (node == nullptr) return nullptr;
  void* s = p->callBacks.createXMLStructure(AsRef(p), node, p->context.info);
  CFRelease(node);
  return s;
}

void AddChild(__CFXMLParser* p, void* parent, void* child) {
  if (p->callBacks.addChild) p->callBacks.addChild(AsRef(p), parent, child, p->context.info);
}

// A node without content: created and added, never ended.
void EmitLeaf(__CFXMLParser* p, CFXMLNodeTypeCode type, CFStringRef string, const void* info) {
  CFXMLNodeRef node = CFXMLNodeCreate(nullptr, type, string, info, kCFXMLNodeCurrentVersion);
  if (string) CFRelease(string);
  void* s = CreateStructure(p, node);
  // Even when that create call aborted, so that every structure made is linked.
  if (s != nullptr) AddChild(p, ParentOf(p), s);
}

bool IsXMLSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// Ends the current run of character data: one text (or white-space) node.
void FlushText(__CFXMLParser* p) {
  if (p->text.empty()) return;
  std::string run;
  run.swap(p->text);
  if (p->stopped || p->skipDepth > 0) return;
  bool blank = std::all_of(run.begin(), run.end(), IsXMLSpace);
  if (blank && (p->options & kCFXMLParserSkipWhitespace)) return;
  EmitLeaf(p, blank ? kCFXMLNodeTypeWhitespace : kCFXMLNodeTypeText, StringOf(run), nullptr);
}

// Whether the start tag being reported was written <name ... />. Expat does
// not say, so the tag's own bytes are looked at (NUL bytes dropped, so that
// UTF-16 input reads the same). Tags that come from entity text count as not empty.
bool StartTagIsEmpty(const Frame* f) {
  XML_Index index = XML_GetCurrentByteIndex(f->xp);
  int count = XML_GetCurrentByteCount(f->xp);
  if (index < 0 || count < 2 || f->bytes == nullptr) return false;
  size_t end = size_t(index) + size_t(count);
  if (end > f->length) return false;
  char tail[2] = {0, 0};
  int found = 0;
  for (size_t i = end; i > end - std::min<size_t>(size_t(count), 4) && found < 2; --i) {
    char c = char(f->bytes[i - 1]);
    if (c == 0) continue;
    tail[1 - found] = c;
    ++found;
  }
  return found == 2 && tail[0] == '/' && tail[1] == '>';
}

void XMLCALL StartElement(void* userData, const XML_Char* name, const XML_Char** atts) {
  auto* f = static_cast<Frame*>(userData);
  __CFXMLParser* p = f->owner;
  if (p->stopped) return;
  FlushText(p);
  if (p->stopped) return;  // aborted on the text run
  p->sawElement = true;
  if (p->skipDepth > 0) {
    ++p->skipDepth;
    return;
  }
  CFMutableDictionaryRef attributes =
      CFDictionaryCreateMutable(nullptr, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
  CFMutableArrayRef order = CFArrayCreateMutable(nullptr, 0, &kCFTypeArrayCallBacks);
  int specified = XML_GetSpecifiedAttributeCount(f->xp);
  for (int i = 0; atts[i] != nullptr && atts[i + 1] != nullptr; i += 2) {
    if (i >= specified && !(p->options & kCFXMLParserAddImpliedAttributes)) break;
    CFStringRef key = StringOf(atts[i]);
    CFStringRef value = StringOf(atts[i + 1]);
    if (key && value) {
      CFDictionarySetValue(attributes, key, value);
      CFArrayAppendValue(order, key);
    }
    if (key) CFRelease(key);
    if (value) CFRelease(value);
  }
  CFXMLElementInfo info{attributes, order, Boolean(StartTagIsEmpty(f)), {0, 0, 0}};
  CFStringRef nameString = StringOf(name);
  CFXMLNodeRef node = CFXMLNodeCreate(nullptr, kCFXMLNodeTypeElement, nameString, &info, kCFXMLNodeCurrentVersion);
  CFRelease(attributes);
  CFRelease(order);
  if (nameString) CFRelease(nameString);
  void* s = CreateStructure(p, node);
  if (s == nullptr) {
    p->skipDepth = 1;
    return;
  }
  AddChild(p, ParentOf(p), s);
  if (!p->stopped) p->open.push_back(s);
}

void XMLCALL EndElement(void* userData, const XML_Char*) {
  __CFXMLParser* p = static_cast<Frame*>(userData)->owner;
  if (p->stopped) return;
  FlushText(p);
  if (p->stopped) return;
  if (p->skipDepth > 0) {
    --p->skipDepth;
    return;
  }
  if (p->open.empty()) return;
  void* s = p->open.back();
  p->open.pop_back();
  if (p->callBacks.endXMLStructure) p->callBacks.endXMLStructure(AsRef(p), s, p->context.info);
}

void XMLCALL CharacterData(void* userData, const XML_Char* s, int len) {
  __CFXMLParser* p = static_cast<Frame*>(userData)->owner;
  if (p->stopped || p->skipDepth > 0 || len <= 0) return;
  (p->inCDATA ? p->cdata : p->text).append(s, size_t(len));
}

void XMLCALL StartCDATA(void* userData) {
  __CFXMLParser* p = static_cast<Frame*>(userData)->owner;
  if (p->stopped) return;
  FlushText(p);
  if (p->stopped) return;
  p->inCDATA = true;
  p->cdata.clear();
}

void XMLCALL EndCDATA(void* userData) {
  __CFXMLParser* p = static_cast<Frame*>(userData)->owner;
  p->inCDATA = false;
  std::string content;
  content.swap(p->cdata);
  if (p->stopped || p->skipDepth > 0) return;
  EmitLeaf(p, kCFXMLNodeTypeCDATASection, StringOf(content), nullptr);
}

void XMLCALL Comment(void* userData, const XML_Char* data) {
  __CFXMLParser* p = static_cast<Frame*>(userData)->owner;
  if (p->stopped) return;
  FlushText(p);
  if (p->stopped || p->skipDepth > 0 || (p->options & kCFXMLParserSkipMetaData)) return;
  EmitLeaf(p, kCFXMLNodeTypeComment, StringOf(data), nullptr);
}

void XMLCALL ProcessingInstruction(void* userData, const XML_Char* target, const XML_Char* data) {
  __CFXMLParser* p = static_cast<Frame*>(userData)->owner;
  if (p->stopped) return;
  FlushText(p);
  if (p->stopped || p->skipDepth > 0 || (p->options & kCFXMLParserSkipMetaData)) return;
  CFXMLProcessingInstructionInfo info{(data && *data) ? StringOf(data) : nullptr};
  EmitLeaf(p, kCFXMLNodeTypeProcessingInstruction, StringOf(target), &info);
  if (info.dataString) CFRelease(info.dataString);
}

// A system identifier as a URL, relative ones against the document's URL.
CFXMLExternalID MakeExternalID(__CFXMLParser* p, const XML_Char* systemId, const XML_Char* publicId) {
  CFXMLExternalID id{nullptr, StringOf(publicId)};
  if (systemId) {
    CFStringRef s = StringOf(systemId);
    if (s) {
      id.systemID = CFURLCreateWithString(nullptr, s, p->source);
      CFRelease(s);
    }
  }
  return id;
}

void ReleaseExternalID(CFXMLExternalID& id) {
  if (id.systemID) CFRelease(id.systemID);
  if (id.publicID) CFRelease(id.publicID);
}

void XMLCALL StartDoctype(void* userData, const XML_Char* name, const XML_Char* sysid, const XML_Char* pubid,
                          int) {
  __CFXMLParser* p = static_cast<Frame*>(userData)->owner;
  if (p->stopped || (p->options & kCFXMLParserSkipMetaData)) return;
  CFXMLDocumentTypeInfo info{MakeExternalID(p, sysid, pubid)};
  EmitLeaf(p, kCFXMLNodeTypeDocumentType, StringOf(name), &info);
  ReleaseExternalID(info.externalID);
}

// A reference to an entity whose definition was not read (it sits in the
// external DTD subset, which is never loaded).
void XMLCALL SkippedEntity(void* userData, const XML_Char* name, int isParameterEntity) {
  __CFXMLParser* p = static_cast<Frame*>(userData)->owner;
  if (p->stopped || isParameterEntity) return;
  FlushText(p);
  if (p->stopped || p->skipDepth > 0) return;
  CFXMLEntityReferenceInfo info{kCFXMLEntityTypeParsedExternal};
  EmitLeaf(p, kCFXMLNodeTypeEntityReference, StringOf(name), &info);
}

bool Feed(XML_Parser xp, const UInt8* bytes, size_t length) {
  static const char kNothing[1] = {0};
  if (length == 0) return XML_Parse(xp, kNothing, 0, XML_TRUE) == XML_STATUS_OK;
  size_t done = 0;
  while (done < length) {
    size_t n = std::min(kSliceBytes, length - done);
    bool last = done + n == length;
    if (XML_Parse(xp, reinterpret_cast<const char*>(bytes + done), int(n), last ? XML_TRUE : XML_FALSE) !=
        XML_STATUS_OK)
      return false;
    done += n;
  }
  return true;
}

CFXMLParserStatusCode StatusOfError(XML_Error code, const __CFXMLParser* p) {
  switch (code) {
    case XML_ERROR_NO_ELEMENTS:
      if (CFDataGetLength(p->data) == 0) return kCFXMLErrorNoData;
      return p->sawElement ? kCFXMLErrorUnexpectedEOF : kCFXMLErrorElementlessDocument;
    case XML_ERROR_UNCLOSED_TOKEN:
    case XML_ERROR_PARTIAL_CHAR: return kCFXMLErrorUnexpectedEOF;
    case XML_ERROR_TAG_MISMATCH: return kCFXMLErrorMalformedCloseTag;
    case XML_ERROR_DUPLICATE_ATTRIBUTE:
    case XML_ERROR_ATTRIBUTE_EXTERNAL_ENTITY_REF: return kCFXMLErrorMalformedStartTag;
    case XML_ERROR_UNDEFINED_ENTITY:
    case XML_ERROR_RECURSIVE_ENTITY_REF:
    case XML_ERROR_BINARY_ENTITY_REF: return kCFXMLErrorMalformedParsedCharacterData;
    case XML_ERROR_BAD_CHAR_REF: return kCFXMLErrorMalformedCharacterReference;
    case XML_ERROR_MISPLACED_XML_PI:
    case XML_ERROR_XML_DECL:
    case XML_ERROR_TEXT_DECL: return kCFXMLErrorMalformedProcessingInstruction;
    case XML_ERROR_UNKNOWN_ENCODING: return kCFXMLErrorUnknownEncoding;
    case XML_ERROR_INCORRECT_ENCODING: return kCFXMLErrorEncodingConversionFailure;
    case XML_ERROR_UNCLOSED_CDATA_SECTION: return kCFXMLErrorMalformedCDSect;
    case XML_ERROR_PARAM_ENTITY_REF:
    case XML_ERROR_NOT_STANDALONE:
    case XML_ERROR_ENTITY_DECLARED_IN_PE:
    case XML_ERROR_PUBLICID: return kCFXMLErrorMalformedDTD;
    case XML_ERROR_UNBOUND_PREFIX: return kCFXMLErrorMalformedName;
    default: return kCFXMLErrorMalformedDocument;
  }
}

CFStringRef DescribeError(XML_Parser xp, XML_Error code) {
  const XML_LChar* what = XML_ErrorString(code);
  std::string s = what ? what : "malformed document";
  s += " on line " + std::to_string(XML_GetCurrentLineNumber(xp)) + ", column " +
       std::to_string(XML_GetCurrentColumnNumber(xp) + 1);
  return StringOf(s);
}

void RecordPosition(__CFXMLParser* p, XML_Parser xp) {
  p->line = CFIndex(XML_GetCurrentLineNumber(xp));
  XML_Index index = XML_GetCurrentByteIndex(xp);
  p->location = index < 0 ? CFIndex(CFDataGetLength(p->data)) : CFIndex(index);
}

int XMLCALL ExternalEntityRef(XML_Parser xp, const XML_Char* context, const XML_Char*, const XML_Char* systemId,
                              const XML_Char* publicId) {
  auto* f = static_cast<Frame*>(XML_GetUserData(xp));
  __CFXMLParser* p = f->owner;
  if (p->stopped || !(p->options & kCFXMLParserResolveExternalEntities) ||
      p->callBacks.resolveExternalEntity == nullptr || systemId == nullptr)
    return XML_STATUS_OK;  // unresolved external entities are left out
  if (f->depth >= kMaxEntityDepth) {
    p->entityStatus = kCFXMLErrorMalformedParsedCharacterData;
    CFStringRef d = StringOf("external entities nested too deeply");
    SetDescription(p->entityDescription, d);
    if (d) CFRelease(d);
    return XML_STATUS_ERROR;
  }
  CFXMLExternalID id = MakeExternalID(p, systemId, publicId);
  CFDataRef data = p->callBacks.resolveExternalEntity(AsRef(p), &id, p->context.info);
  ReleaseExternalID(id);
  if (p->stopped) {
    if (data) CFRelease(data);
    return XML_STATUS_ERROR;
  }
  if (data == nullptr || CFGetTypeID(data) != CFDataGetTypeID()) {
    if (data) CFRelease(data);
    return XML_STATUS_OK;
  }
  XML_Parser sub = XML_ExternalEntityParserCreate(xp, context, nullptr);
  if (sub == nullptr) {
    CFRelease(data);
    return XML_STATUS_ERROR;
  }
  Frame frame{p, sub, CFDataGetBytePtr(data), size_t(CFDataGetLength(data)), f->depth + 1};
  XML_SetUserData(sub, &frame);
  Frame* outer = p->active;
  p->active = &frame;
  bool ok = Feed(sub, frame.bytes, frame.length);
  if (!ok && !p->stopped && p->entityStatus == 0) {
    XML_Error code = XML_GetErrorCode(sub);
    p->entityStatus = code == XML_ERROR_NO_ELEMENTS ? kCFXMLErrorUnexpectedEOF : StatusOfError(code, p);
    CFStringRef d = DescribeError(sub, code);
    SetDescription(p->entityDescription, d);
    if (d) CFRelease(d);
  }
  p->active = outer;
  XML_ParserFree(sub);
  CFRelease(data);
  return ok ? XML_STATUS_OK : XML_STATUS_ERROR;
}

// Single-byte encodings that expat does not know itself (Mac Roman, Windows
// Latin 1, ...), from the string layer's tables.
int XMLCALL UnknownEncoding(void*, const XML_Char* name, XML_Encoding* info) {
  CFStringRef s = StringOf(name);
  if (s == nullptr) return XML_STATUS_ERROR;
  CFStringEncoding encoding = CFStringConvertIANACharSetNameToEncoding(s);
  CFRelease(s);
  if (encoding == kCFStringEncodingInvalidId || !CFStringIsEncodingAvailable(encoding)) return XML_STATUS_ERROR;
  bool any = false;
  for (int b = 0; b < 256; ++b) {
    UInt8 byte = UInt8(b);
    __CFUniChars out;
    if (__CFStringDecodeBytes(&byte, 1, encoding, false, out) && out.size() == 1 &&
        (out[0] < 0xD800 || out[0] > 0xDFFF)) {
      info->map[b] = out[0];
      any = true;
    } else {
      info->map[b] = -1;
    }
  }
  info->data = nullptr;
  info->convert = nullptr;
  info->release = nullptr;
  return any ? XML_STATUS_OK : XML_STATUS_ERROR;
}

// The encoding the document is in, for the document node: a byte-order mark,
// else the declaration's encoding, else UTF-8.
CFStringEncoding DeclaredEncoding(const UInt8* b, size_t n) {
  if (n >= 2 && ((b[0] == 0xFF && b[1] == 0xFE) || (b[0] == 0xFE && b[1] == 0xFF))) return kCFStringEncodingUnicode;
  if (n >= 5 && std::memcmp(b, "<?xml", 5) == 0) {
    std::string decl(reinterpret_cast<const char*>(b), std::min<size_t>(n, 256));
    size_t end = decl.find("?>");
    if (end != std::string::npos) decl.resize(end);
    size_t at = decl.find("encoding");
    if (at != std::string::npos) {
      size_t q = decl.find_first_of("\"'", at);
      if (q != std::string::npos) {
        size_t close = decl.find(decl[q], q + 1);
        if (close != std::string::npos) {
          CFStringRef name = StringOf(decl.substr(q + 1, close - q - 1));
          CFStringEncoding e = name ? CFStringConvertIANACharSetNameToEncoding(name) : kCFStringEncodingInvalidId;
          if (name) CFRelease(name);
          if (e != kCFStringEncodingInvalidId) return e;
        }
      }
    }
  }
  return kCFStringEncodingUTF8;
}

void ConfigureHandlers(XML_Parser xp, __CFXMLParser* p) {
  XML_SetElementHandler(xp, StartElement, EndElement);
  XML_SetCharacterDataHandler(xp, CharacterData);
  XML_SetCdataSectionHandler(xp, StartCDATA, EndCDATA);
  XML_SetCommentHandler(xp, Comment);
  XML_SetProcessingInstructionHandler(xp, ProcessingInstruction);
  XML_SetStartDoctypeDeclHandler(xp, StartDoctype);
  XML_SetSkippedEntityHandler(xp, SkippedEntity);
  XML_SetExternalEntityRefHandler(xp, ExternalEntityRef);
  XML_SetUnknownEncodingHandler(xp, UnknownEncoding, p);
  // The external DTD subset and parameter entities stay unread.
  XML_SetParamEntityParsing(xp, XML_PARAM_ENTITY_PARSING_NEVER);
}

}  // namespace

CFTypeID CFXMLParserGetTypeID() { return XMLParserTypeID(); }

CFXMLParserRef CFXMLParserCreate(CFAllocatorRef allocator, CFDataRef xmlData, CFURLRef dataSource,
                                 CFOptionFlags parseOptions, CFIndex versionOfNodes,
                                 CFXMLParserCallBacks* callBacks, CFXMLParserContext* context) {
  if (xmlData == nullptr || CFGetTypeID(xmlData) != CFDataGetTypeID() || versionOfNodes != kCFXMLNodeCurrentVersion ||
      callBacks == nullptr || callBacks->createXMLStructure == nullptr)
    return nullptr;
  auto* p = new __CFXMLParser();
  p->data = static_cast<CFDataRef>(CFRetain(xmlData));
  p->source = dataSource ? static_cast<CFURLRef>(CFRetain(dataSource)) : nullptr;
  p->options = parseOptions;
  p->callBacks = *callBacks;
  if (context) {
    p->context = *context;
    if (context->retain && context->info) p->context.info = const_cast<void*>(context->retain(context->info));
  }
  return AsRef(p);
}

CFXMLParserRef CFXMLParserCreateWithDataFromURL(CFAllocatorRef allocator, CFURLRef dataSource,
                                                CFOptionFlags parseOptions, CFIndex versionOfNodes,
                                                CFXMLParserCallBacks* callBacks, CFXMLParserContext* context) {
  if (dataSource == nullptr) return nullptr;
  CFDataRef data = nullptr;
  SInt32 error = 0;
  if (!CFURLCreateDataAndPropertiesFromResource(allocator, dataSource, &data, nullptr, nullptr, &error) ||
      data == nullptr) {
    if (data) CFRelease(data);
    return nullptr;
  }
  CFXMLParserRef parser =
      CFXMLParserCreate(allocator, data, dataSource, parseOptions, versionOfNodes, callBacks, context);
  CFRelease(data);
  return parser;
}

void CFXMLParserGetContext(CFXMLParserRef parser, CFXMLParserContext* context) {
  __CFXMLParser* p = ParserOf(parser, "CFXMLParserGetContext");
  if (p && context) *context = p->context;
}

void CFXMLParserGetCallBacks(CFXMLParserRef parser, CFXMLParserCallBacks* callBacks) {
  __CFXMLParser* p = ParserOf(parser, "CFXMLParserGetCallBacks");
  if (p && callBacks) *callBacks = p->callBacks;
}

CFURLRef CFXMLParserGetSourceURL(CFXMLParserRef parser) {
  __CFXMLParser* p = ParserOf(parser, "CFXMLParserGetSourceURL");
  return p ? p->source : nullptr;
}

Boolean CFXMLParserParse(CFXMLParserRef parser) {
  __CFXMLParser* p = ParserOf(parser, "CFXMLParserParse");
  if (p == nullptr) return false;
  if (p->status != kCFXMLStatusParseNotBegun) return p->status == kCFXMLStatusParseSuccessful;
  p->status = kCFXMLStatusParseInProgress;

  const UInt8* bytes = CFDataGetBytePtr(p->data);
  size_t length = size_t(CFDataGetLength(p->data));
  XML_Parser xp = XML_ParserCreate(nullptr);
  if (xp == nullptr) {
    p->status = kCFXMLErrorMalformedDocument;
    CFStringRef d = StringOf("out of memory");
    SetDescription(p->errorDescription, d);
    if (d) CFRelease(d);
    return false;
  }
  Frame frame{p, xp, bytes, length, 0};
  XML_SetUserData(xp, &frame);
  ConfigureHandlers(xp, p);
  p->active = &frame;

  CFXMLDocumentInfo docInfo{p->source, DeclaredEncoding(bytes, length)};
  CFXMLNodeRef docNode = CFXMLNodeCreate(nullptr, kCFXMLNodeTypeDocument, nullptr, &docInfo, kCFXMLNodeCurrentVersion);
  p->document = CreateStructure(p, docNode);

  bool ok = !p->stopped && Feed(xp, bytes, length);
  if (ok) {
    FlushText(p);
    if (!p->stopped && p->callBacks.endXMLStructure)
      p->callBacks.endXMLStructure(AsRef(p), p->document, p->context.info);
  }
  if (!p->stopped) {
    if (ok) {
      p->status = kCFXMLStatusParseSuccessful;
    } else {
      XML_Error code = XML_GetErrorCode(xp);
      if (code == XML_ERROR_EXTERNAL_ENTITY_HANDLING && p->entityStatus != 0) {
        p->status = p->entityStatus;
        SetDescription(p->errorDescription, p->entityDescription);
      } else {
        p->status = StatusOfError(code, p);
        CFStringRef d = DescribeError(xp, code);
        SetDescription(p->errorDescription, d);
        if (d) CFRelease(d);
      }
      p->stopped = true;
      if (p->callBacks.handleError) p->callBacks.handleError(AsRef(p), p->status, p->context.info);
    }
  }
  RecordPosition(p, xp);
  p->active = nullptr;
  XML_ParserFree(xp);
  p->open.clear();
  p->open.shrink_to_fit();
  p->text.clear();
  p->cdata.clear();
  SetDescription(p->entityDescription, nullptr);
  return p->status == kCFXMLStatusParseSuccessful;
}

void* CFXMLParserGetDocument(CFXMLParserRef parser) {
  __CFXMLParser* p = ParserOf(parser, "CFXMLParserGetDocument");
  return p ? p->document : nullptr;
}

void* CFXMLParserGetRoot(CFXMLParserRef parser) { return CFXMLParserGetDocument(parser); }

void CFXMLParserAbort(CFXMLParserRef parser, CFXMLParserStatusCode errorCode, CFStringRef errorDescription) {
  __CFXMLParser* p = ParserOf(parser, "CFXMLParserAbort");
  if (p == nullptr) return;
  p->status = errorCode > 0 ? errorCode : kCFXMLErrorMalformedDocument;
  SetDescription(p->errorDescription, errorDescription);
  p->stopped = true;
  if (p->active) XML_StopParser(p->active->xp, XML_FALSE);
}

CFXMLParserStatusCode CFXMLParserGetStatusCode(CFXMLParserRef parser) {
  __CFXMLParser* p = ParserOf(parser, "CFXMLParserGetStatusCode");
  return p ? p->status : kCFXMLStatusParseNotBegun;
}

CFStringRef CFXMLParserCopyErrorDescription(CFXMLParserRef parser) {
  __CFXMLParser* p = ParserOf(parser, "CFXMLParserCopyErrorDescription");
  if (p == nullptr || p->errorDescription == nullptr) return nullptr;
  return static_cast<CFStringRef>(CFRetain(p->errorDescription));
}

CFIndex CFXMLParserGetLineNumber(CFXMLParserRef parser) {
  __CFXMLParser* p = ParserOf(parser, "CFXMLParserGetLineNumber");
  if (p == nullptr) return 0;
  if (p->active) return CFIndex(XML_GetCurrentLineNumber(p->active->xp));
  return p->line;
}

CFIndex CFXMLParserGetLocation(CFXMLParserRef parser) {
  __CFXMLParser* p = ParserOf(parser, "CFXMLParserGetLocation");
  if (p == nullptr) return 0;
  if (p->active) {
    XML_Index index = XML_GetCurrentByteIndex(p->active->xp);
    return index < 0 ? 0 : CFIndex(index);
  }
  return p->location;
}
