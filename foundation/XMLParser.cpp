#include "XMLParser.h"

#include "CFString.h"
#include "CFURL.h"
#include "PascalCarbonCommon.h"

namespace {

// The text is cut at 255 characters; a little more is kept so that a pair of
// UTF-16 units at the cut still converts whole.
constexpr CFIndex kKeptTextUnits = 512;

// The pending text as a short string. A character Mac Roman cannot hold
// becomes "?" rather than emptying the whole text.
void UpdateText(ParserContextPtr context) {
  CFIndex used = 0;
  CFIndex length = CFStringGetLength(context->pendingText);
  CFStringGetBytes(context->pendingText, CFRangeMake(0, length), kCFStringEncodingMacRoman, '?', false,
                   context->text.data() + 1, 255, &used);
  context->text.SetLength(int(used));
}

void ClearText(ParserContextPtr context) {
  CFIndex length = CFStringGetLength(context->pendingText);
  if (length > 0) CFStringDelete(context->pendingText, CFRangeMake(0, length));
  context->text.Clear();
}

void AppendText(ParserContextPtr context, CFStringRef piece) {
  CFIndex room = kKeptTextUnits - CFStringGetLength(context->pendingText);
  CFIndex length = CFStringGetLength(piece);
  if (room <= 0 || length == 0) return;
  if (length <= room) {
    CFStringAppend(context->pendingText, piece);
  } else {
    CFStringRef head = CFStringCreateWithSubstring(nullptr, piece, CFRangeMake(0, room));
    if (head) {
      CFStringAppend(context->pendingText, head);
      CFRelease(head);
    }
  }
  UpdateText(context);
}

bool IsTracked(ParserContextPtr context, CFStringRef name) {
  if (context->elementNames == nullptr || name == nullptr) return false;
  return CFArrayContainsValue(context->elementNames, CFRangeMake(0, CFArrayGetCount(context->elementNames)), name);
}

}  // namespace

void OuputNode(Boolean starting, ParserContextPtr context) {
  if (starting) {
    context->nodeName = context->elementName;
    ++context->counter;
    context->parentNode = context->currentNode;
    // The callback gets a nil node, so that making none cannot be mistaken
    // for the node above.
    CFTreeRef made = nullptr;
    context->callback(true, context->counter, context->nodeName, context, context->text, made, context->userData);
    if (made != nullptr) {
      if (CFTreeGetParent(made) == nullptr)
        CFTreeAppendChild(context->parentNode ? context->parentNode : context->root, made);
      CFRelease(made);  // the tree holds it now
      context->currentNode = made;
    }
  } else {
    CFTreeRef node = context->currentNode;
    context->callback(false, context->counter, context->nodeName, context, context->text, node, context->userData);
  }
}

void* CreateXMLStructure(CFXMLParserRef parser, CFXMLNodeRef node, void* contextPtr) {
  auto* context = static_cast<ParserContextPtr>(contextPtr);
  CFStringRef string = CFXMLNodeGetString(node);
  switch (CFXMLNodeGetTypeCode(node)) {
    case kCFXMLNodeTypeElement: {
      context->elementName = CFStringToPascal(string);
      if (!context->open.empty()) context->open.back().holdsElements = true;
      ClearText(context);  // an element's text is its own, never an earlier one's
      bool tracked = IsTracked(context, string);
      context->open.push_back({tracked, false, context->currentNode});
      if (tracked) OuputNode(true, context);
      break;
    }
    case kCFXMLNodeTypeText:
    case kCFXMLNodeTypeCDATASection: AppendText(context, string); break;
    default: break;
  }
  // The parser skips what gets nil; the document has no string but must be read.
  return string ? const_cast<void*>(static_cast<const void*>(string)) : contextPtr;
}

void AddXMLChild(CFXMLParserRef parser, void* parent, void* child, void* context) {}

void EndXMLStructure(CFXMLParserRef parser, void* structure, void* contextPtr) {
  auto* context = static_cast<ParserContextPtr>(contextPtr);
  if (context->open.empty()) return;  // the document's end
  ParserContext::OpenElement element = context->open.back();
  context->open.pop_back();
  if (!element.holdsElements) OuputNode(false, context);
  if (element.tracked) context->currentNode = element.nodeBefore;
}

CFTreeRef ParseXMLFile(const FSRef& file, CFArrayRef elementNames, const CFTreeContext& treeContext,
                       XMLParserOutputNodeCallback callback, void* userData) {
  CFURLRef url = CFURLCreateFromFSRef(nullptr, &file);
  if (url == nullptr) return nullptr;

  auto* context = new ParserContext{};
  context->callback = callback;
  context->userData = userData;
  context->elementNames = elementNames;
  context->root = CFTreeCreate(nullptr, &treeContext);
  context->pendingText = CFStringCreateMutable(nullptr, 0);

  CFXMLParserCallBacks callbacks{0, CreateXMLStructure, AddXMLChild, EndXMLStructure, nullptr, nullptr};
  CFXMLParserContext parserContext{0, context, nullptr, nullptr, nullptr};
  CFXMLParserRef parser = CFXMLParserCreateWithDataFromURL(nullptr, url, kCFXMLParserSkipWhitespace,
                                                           kCFXMLNodeCurrentVersion, &callbacks, &parserContext);
  CFTreeRef result = nullptr;
  if (parser != nullptr && callback != nullptr) {
    CFXMLParserParse(parser);
    result = context->root;
  } else {
    CFRelease(context->root);
  }
  if (parser != nullptr) CFRelease(parser);
  CFRelease(context->pendingText);
  delete context;
  CFRelease(url);
  return result;
}
