// The XML parser and the trees made of it: any bytes, with any parse
// options, parse without a memory fault into a tree of nodes whose records
// all read; the same bytes as a file give the element tree of ParseXMLFile.
// An external entity resolves to a fixed small document. The first input
// byte holds the options.
#include <vector>

#include "CFArray.h"
#include "CFDictionary.h"
#include "CFURL.h"
#include "CFXMLNode.h"
#include "CFXMLParser.h"
#include "FuzzSupport.h"
#include "XMLParser.h"

namespace {

struct Build {
  std::vector<CFTreeRef> made;
};

void* Create(CFXMLParserRef, CFXMLNodeRef node, void* info) {
  CFXMLTreeRef tree = CFXMLTreeCreateWithNode(nullptr, node);
  if (tree) static_cast<Build*>(info)->made.push_back(tree);
  return const_cast<void*>(static_cast<const void*>(tree));
}

void AddChild(CFXMLParserRef, void* parent, void* child, void*) {
  if (parent && child) CFTreeAppendChild(static_cast<CFTreeRef>(parent), static_cast<CFTreeRef>(child));
}

void End(CFXMLParserRef, void*, void*) {}

CFDataRef Resolve(CFXMLParserRef, CFXMLExternalID* id, void*) {
  static const char kEntity[] = "<x a='1'>e</x>";
  return CFDataCreate(nullptr, reinterpret_cast<const UInt8*>(kEntity), sizeof kEntity - 1);
}

Boolean HandleError(CFXMLParserRef, CFXMLParserStatusCode, void*) { return false; }

// Reads every record of the node, as the program's readers do.
void Visit(CFTreeRef tree, size_t& count) {
  if (tree == nullptr || ++count > 100000) return;
  CFXMLNodeRef node = CFXMLTreeGetNode(tree);
  if (node) {
    CFStringRef s = CFXMLNodeGetString(node);
    if (s) CFStringGetLength(s);
    const void* info = CFXMLNodeGetInfoPtr(node);
    switch (CFXMLNodeGetTypeCode(node)) {
      case kCFXMLNodeTypeElement:
        if (info) {
          auto* e = static_cast<const CFXMLElementInfo*>(info);
          const CFIndex n = e->attributeOrder ? CFArrayGetCount(e->attributeOrder) : 0;
          for (CFIndex i = 0; i < n; ++i) {
            const void* key = CFArrayGetValueAtIndex(e->attributeOrder, i);
            if (e->attributes == nullptr || CFDictionaryGetValue(e->attributes, key) == nullptr)
              fuzz::Fail("an attribute in the order has no value");
          }
        }
        break;
      case kCFXMLNodeTypeAttributeListDeclaration:
        if (info) {
          auto* l = static_cast<const CFXMLAttributeListDeclarationInfo*>(info);
          for (CFIndex i = 0; i < l->numberOfAttributes; ++i)
            if (l->attributes[i].attributeName) CFStringGetLength(l->attributes[i].attributeName);
        }
        break;
      default:
        break;
    }
  }
  for (CFTreeRef child = CFTreeGetFirstChild(tree); child; child = CFTreeGetNextSibling(child)) Visit(child, count);
}

// The element tree of ParseXMLFile: a node for each tracked element, filled
// from the texts inside it.
void Output(Boolean starting, SInt32, Str63&, ParserContextPtr context, Str255& text, CFTreeRef& node, void*) {
  if (starting) {
    CFTreeContext tree{0, nullptr, nullptr, nullptr, nullptr};
    node = CFTreeCreate(nullptr, &tree);
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::SetUp();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const CFOptionFlags options = data[0] & 0x3F;
  fuzz::Owned bytes(fuzz::NewData(data + 1, size - 1));
  Build build;
  CFXMLParserCallBacks callbacks{0, Create, AddChild, End, Resolve, HandleError};
  CFXMLParserContext context{0, &build, nullptr, nullptr, nullptr};
  static CFURLRef source = CFURLCreateWithFileSystemPath(nullptr, CFStringMakeConstantUTF8("/nonexistent/doc.xml"), kCFURLPOSIXPathStyle, false);
  CFXMLParserRef parser = CFXMLParserCreate(nullptr, CFDataRef(bytes.object), source, options,
                                            kCFXMLNodeCurrentVersion, &callbacks, &context);
  if (parser) {
    CFXMLParserParse(parser);
    size_t count = 0;
    Visit(static_cast<CFTreeRef>(CFXMLParserGetDocument(parser)), count);
    CFXMLParserGetStatusCode(parser);
    fuzz::Owned description(CFXMLParserCopyErrorDescription(parser));
    CFXMLParserGetLineNumber(parser);
    CFXMLParserGetLocation(parser);
    CFRelease(parser);
  }
  for (CFTreeRef tree : build.made) CFRelease(tree);

  static const std::string file = fuzz::Path("doc.xml");
  fuzz::Write("doc.xml", data + 1, size - 1);
  static CFArrayRef names = [] {
    CFStringRef n[] = {CFStringMakeConstantUTF8("error"), CFStringMakeConstantUTF8("item"), CFStringMakeConstantUTF8("x"), CFStringMakeConstantUTF8("plist")};
    return CFArrayCreate(nullptr, reinterpret_cast<const void**>(n), 4, &kCFTypeArrayCallBacks);
  }();
  CFTreeContext treeContext{0, nullptr, nullptr, nullptr, nullptr};
  if (CFTreeRef tree = ParseXMLFile(fuzz::Ref(file), names, treeContext, Output, nullptr)) CFRelease(tree);
  return 0;
}
