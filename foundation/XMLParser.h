// XMLParser: reads an XML file into a CFTree that holds only the elements
// whose names the caller lists. The caller's callback makes the node of each
// such element (its payload in the node's context info) and fills it from
// the text of the elements inside it.
#pragma once

#include <vector>

#include "CFArray.h"
#include "CFBase.h"
#include "CFTree.h"
#include "CFXMLParser.h"
#include "Files.h"
#include "ShortString.h"

struct ParserContext;
typedef ParserContext* ParserContextPtr;

// starting true: a tracked element has just started; make its node (for
// instance with CFTreeCreate) and store it in node, which comes in nil. The
// node is handed over: the tree takes it, so the callback does not release
// it. Leaving node nil makes no node; the elements inside then go to the
// nearest node above.
// starting false: an element without elements inside it (tracked or not) has
// ended; node is the node of the innermost open tracked element (nil when
// there is none), context->elementName the ended element's name, and text
// that element's whole text (cut at 255 characters).
typedef void (*XMLParserOutputNodeCallback)(Boolean starting, SInt32 counter, Str63& nodeName,
                                            ParserContextPtr context, Str255& text, CFTreeRef& node,
                                            void* userData);

// The state of one parse (made and freed by ParseXMLFile).
struct ParserContext {
  Str63 elementName;  // the element most recently started (any element)
  Str63 nodeName;     // the tracked element whose node is being made
  Str255 text;        // the text of the current element so far (cut at 255)
  XMLParserOutputNodeCallback callback;
  void* userData;
  CFArrayRef elementNames;  // the tracked names (CFStrings)
  SInt32 counter;           // tracked elements started so far
  CFTreeRef root;
  CFTreeRef currentNode;    // node of the innermost open tracked element
  CFTreeRef parentNode;     // where a new node is appended (nil: the root)

  // One entry per open element, so that an element's end finds what its start did.
  struct OpenElement {
    bool tracked;
    bool holdsElements;
    CFTreeRef nodeBefore;  // the current node when the element started
  };
  std::vector<OpenElement> open;
  CFMutableStringRef pendingText;  // the current element's text, uncut
};

// Parses the file and returns the root of the result tree (made with the tree
// context; the caller releases it), or nil when the file's URL or the parser
// cannot be made (a missing or unreadable file) or there is no callback. A file that is not
// well-formed gives the nodes made before the fault (the root alone when the
// fault comes first).
CFTreeRef ParseXMLFile(const FSRef& file, CFArrayRef elementNames, const CFTreeContext& treeContext,
                       XMLParserOutputNodeCallback callback, void* userData);

// The step that calls the callback.
void OuputNode(Boolean starting, ParserContextPtr context);

// The parser's callbacks.
void* CreateXMLStructure(CFXMLParserRef parser, CFXMLNodeRef node, void* context);
void AddXMLChild(CFXMLParserRef parser, void* parent, void* child, void* context);
void EndXMLStructure(CFXMLParserRef parser, void* structure, void* context);
