#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "CFArray.h"
#include "CFData.h"
#include "CFDictionary.h"
#include "CFString.h"
#include "CFStringInternal.h"
#include "CFTree.h"
#include "CFURL.h"
#include "CFXMLNode.h"
#include "CFXMLParser.h"

namespace {

std::string Text(CFStringRef s) { return s ? __CFStringGetUTF8(s) : std::string("(nil)"); }

CFDataRef Bytes(const std::string& s) {
  return CFDataCreate(nullptr, reinterpret_cast<const UInt8*>(s.data()), CFIndex(s.size()));
}

std::string Escaped(const std::string& s) {
  std::string r;
  for (char c : s) {
    if (c == '\n') r += "\\n";
    else if (c == '\t') r += "\\t";
    else r += c;
  }
  return r;
}

// The label of a node: "#doc", an element's name with its attributes in
// order and "/" when written empty, 'text', ~'white space', cdata'..', !comment,
// ?target:data, !DOCTYPE:name, &entity;.
std::string Label(CFXMLNodeRef node) {
  std::string s = Text(CFXMLNodeGetString(node));
  switch (CFXMLNodeGetTypeCode(node)) {
    case kCFXMLNodeTypeDocument: return "#doc";
    case kCFXMLNodeTypeElement: {
      auto* info = static_cast<const CFXMLElementInfo*>(CFXMLNodeGetInfoPtr(node));
      CFIndex n = CFArrayGetCount(info->attributeOrder);
      EXPECT_EQ(n, CFDictionaryGetCount(info->attributes));
      if (n > 0) {
        s += "[";
        for (CFIndex i = 0; i < n; ++i) {
          auto key = static_cast<CFStringRef>(CFArrayGetValueAtIndex(info->attributeOrder, i));
          s += (i ? "," : "") + Text(key) + "=" +
               Text(static_cast<CFStringRef>(CFDictionaryGetValue(info->attributes, key)));
        }
        s += "]";
      }
      return info->isEmpty ? s + "/" : s;
    }
    case kCFXMLNodeTypeText: return "'" + Escaped(s) + "'";
    case kCFXMLNodeTypeWhitespace: return "~'" + Escaped(s) + "'";
    case kCFXMLNodeTypeCDATASection: return "cdata'" + s + "'";
    case kCFXMLNodeTypeComment: return "!" + s;
    case kCFXMLNodeTypeProcessingInstruction: {
      auto* info = static_cast<const CFXMLProcessingInstructionInfo*>(CFXMLNodeGetInfoPtr(node));
      return "?" + s + ":" + Text(info->dataString);
    }
    case kCFXMLNodeTypeDocumentType: return "!DOCTYPE:" + s;
    case kCFXMLNodeTypeEntityReference: return "&" + s + ";";
    default: return "?type" + std::to_string(CFXMLNodeGetTypeCode(node));
  }
}

struct Node {
  std::string label;
  CFXMLNodeTypeCode type = 0;
  std::vector<Node*> kids;
  Node* parent = nullptr;
  int added = 0;
  int ended = 0;
};

// Builds a tree from the callbacks and logs them, so that a test sees both
// the resulting shape and the order of the calls.
struct Recorder {
  std::vector<std::unique_ptr<Node>> nodes;
  std::string events;
  std::string skipElement;   // create returns nil for this element
  std::string abortOn;       // aborts in create when this label comes
  int errorsReported = 0;
  CFXMLParserStatusCode errorReported = 0;
  CFDataRef entityData = nullptr;  // what the resolver answers (not owned)
  std::vector<std::string> resolved;  // system IDs asked for

  static void* Create(CFXMLParserRef parser, CFXMLNodeRef node, void* info) {
    auto* r = static_cast<Recorder*>(info);
    std::string label = Label(node);
    r->events += "c(" + label + ") ";
    if (!r->abortOn.empty() && label == r->abortOn) {
      CFStringRef why = CFStringMakeConstantUTF8("stopped by the test");
      CFXMLParserAbort(parser, kCFXMLErrorMalformedName, why);
    }
    if (CFXMLNodeGetTypeCode(node) == kCFXMLNodeTypeElement && Text(CFXMLNodeGetString(node)) == r->skipElement)
      return nullptr;
    r->nodes.push_back(std::make_unique<Node>());
    r->nodes.back()->label = label;
    r->nodes.back()->type = CFXMLNodeGetTypeCode(node);
    return r->nodes.back().get();
  }
  static void AddChild(CFXMLParserRef, void* parent, void* child, void* info) {
    auto* r = static_cast<Recorder*>(info);
    auto* p = static_cast<Node*>(parent);
    auto* c = static_cast<Node*>(child);
    r->events += "a(" + p->label + ">" + c->label + ") ";
    p->kids.push_back(c);
    c->parent = p;
    ++c->added;
  }
  static void End(CFXMLParserRef, void* structure, void* info) {
    auto* r = static_cast<Recorder*>(info);
    auto* n = static_cast<Node*>(structure);
    r->events += "e(" + n->label + ") ";
    ++n->ended;
  }
  static CFDataRef Resolve(CFXMLParserRef, CFXMLExternalID* id, void* info) {
    auto* r = static_cast<Recorder*>(info);
    r->resolved.push_back(id->systemID ? Text(CFURLGetString(id->systemID)) : "(nil)");
    return r->entityData ? static_cast<CFDataRef>(CFRetain(r->entityData)) : nullptr;
  }
  static Boolean HandleError(CFXMLParserRef, CFXMLParserStatusCode error, void* info) {
    auto* r = static_cast<Recorder*>(info);
    ++r->errorsReported;
    r->errorReported = error;
    return true;
  }

  static std::string Dump(const Node* n) {
    std::string s = n->label;
    if (!n->kids.empty()) {
      s += "(";
      for (size_t i = 0; i < n->kids.size(); ++i) s += (i ? " " : "") + Dump(n->kids[i]);
      s += ")";
    }
    return s;
  }
  std::string Tree() const { return nodes.empty() ? "" : Dump(nodes.front().get()); }

  // Every structure but the document was added exactly once; elements and
  // the document were ended at most once, and only with all their element
  // children ended before; nothing else was ended.
  void ExpectConsistent(bool finished) const {
    for (size_t i = 0; i < nodes.size(); ++i) {
      const Node* n = nodes[i].get();
      SCOPED_TRACE(n->label);
      EXPECT_EQ(n->added, i == 0 ? 0 : 1);
      bool endable = n->type == kCFXMLNodeTypeElement || n->type == kCFXMLNodeTypeDocument;
      EXPECT_LE(n->ended, endable ? 1 : 0);
      if (finished && endable) {
        EXPECT_EQ(n->ended, 1);
      }
      if (!finished && n->type == kCFXMLNodeTypeDocument) {
        EXPECT_EQ(n->ended, 0);
      }
      if (n->ended) {
        for (const Node* k : n->kids) {
          if (k->type == kCFXMLNodeTypeElement) {
            EXPECT_EQ(k->ended, 1);
          }
        }
      }
    }
  }
};

struct Outcome {
  bool ok = false;
  CFXMLParserStatusCode status = 0;
  std::string description;
  CFIndex line = 0;
};

Outcome ParseWith(Recorder& r, const std::string& xml, CFOptionFlags options, CFURLRef source = nullptr) {
  CFXMLParserCallBacks callbacks{0, Recorder::Create, Recorder::AddChild, Recorder::End, Recorder::Resolve,
                                 Recorder::HandleError};
  CFXMLParserContext context{0, &r, nullptr, nullptr, nullptr};
  CFDataRef data = Bytes(xml);
  CFXMLParserRef parser = CFXMLParserCreate(nullptr, data, source, options, 1, &callbacks, &context);
  CFRelease(data);
  Outcome o;
  if (parser == nullptr) {
    ADD_FAILURE() << "no parser";
    return o;
  }
  o.ok = CFXMLParserParse(parser);
  o.status = CFXMLParserGetStatusCode(parser);
  CFStringRef d = CFXMLParserCopyErrorDescription(parser);
  if (d) {
    o.description = Text(d);
    CFRelease(d);
  }
  o.line = CFXMLParserGetLineNumber(parser);
  EXPECT_EQ(CFXMLParserGetDocument(parser), r.nodes.empty() ? nullptr : r.nodes.front().get());
  CFRelease(parser);
  return o;
}

TEST(CFXMLParser, BuildsTheDocumentTree) {
  struct Case {
    std::string xml;
    CFOptionFlags options;
    const char* tree;
  } cases[] = {
      {"<a x=\"1\" y='2'><b/><c></c></a>", 0, "#doc(a[x=1,y=2](b/ c))"},
      // Text comes whole, references replaced, however expat splits it.
      {"<m>a &amp; b &#65;&lt;c&#x20AC;</m>", 0, "#doc(m('a & b A<c\xE2\x82\xAC'))"},
      {"<a>x<!--n-->y<![CDATA[<z>&amp;]]>w<?pi some data?></a>", 0,
       "#doc(a('x' !n 'y' cdata'<z>&amp;' 'w' ?pi:some data))"},
      {"<a>\n <b> t </b>\n</a>", kCFXMLParserSkipWhitespace, "#doc(a(b(' t ')))"},
      {"<a>\n <b> t </b>\n</a>", 0, "#doc(a(~'\\n ' b(' t ') ~'\\n'))"},
      {"<!--top--><?go?><a/>", 0, "#doc(!top ?go:(nil) a/)"},
      {"<!DOCTYPE a [<!ENTITY e \"ent\">]><a>&e;!</a>", 0, "#doc(!DOCTYPE:a a('ent!'))"},
      {"<!DOCTYPE a [<!ENTITY e \"ent\">]><!--c--><a><?p?>&e;</a>", kCFXMLParserSkipMetaData, "#doc(a('ent'))"},
      {"<!DOCTYPE a [<!ATTLIST a d CDATA \"def\">]><a x=\"1\"/>", 0, "#doc(!DOCTYPE:a a[x=1]/)"},
      {"<!DOCTYPE a [<!ATTLIST a d CDATA \"def\">]><a x=\"1\"/>", kCFXMLParserAddImpliedAttributes,
       "#doc(!DOCTYPE:a a[x=1,d=def]/)"},
      // The external subset is never read: its entities stay references.
      {"<!DOCTYPE a SYSTEM \"a.dtd\"><a>x&ext;y</a>", 0, "#doc(!DOCTYPE:a a('x' &ext; 'y'))"},
      {"<?xml version=\"1.0\" encoding=\"macintosh\"?><a t=\"\x8E\">\x8E\xA5</a>", 0,
       "#doc(a[t=\xC3\xA9](\'\xC3\xA9\xE2\x80\xA2\'))"},
      {"<?xml version=\"1.0\" encoding=\"windows-1252\"?><a>\x80</a>", 0, "#doc(a('\xE2\x82\xAC'))"},
      {std::string("\xFF\xFE<\0a\0>\0h\0\xE9\0<\0/\0a\0>\0", 20), 0, "#doc(a('h\xC3\xA9'))"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.xml);
    Recorder r;
    Outcome o = ParseWith(r, c.xml, c.options);
    EXPECT_TRUE(o.ok) << o.description;
    EXPECT_EQ(o.status, kCFXMLStatusParseSuccessful);
    EXPECT_EQ(r.Tree(), c.tree);
    r.ExpectConsistent(true);
  }
}

TEST(CFXMLParser, CallsBackInDocumentOrder) {
  Recorder r;
  ASSERT_TRUE(ParseWith(r, "<a><b>t</b><!--c--></a>", 0).ok);
  EXPECT_EQ(r.events,
            "c(#doc) c(a) a(#doc>a) c(b) a(a>b) c('t') a(b>'t') e(b) c(!c) a(a>!c) e(a) e(#doc) ");
}

TEST(CFXMLParser, DocumentNodeCarriesSourceAndEncoding) {
  struct Probe {
    CFStringEncoding encoding = 0;
    std::string url;
    static void* Create(CFXMLParserRef, CFXMLNodeRef node, void* info) {
      auto* p = static_cast<Probe*>(info);
      if (CFXMLNodeGetTypeCode(node) == kCFXMLNodeTypeDocument) {
        EXPECT_EQ(CFXMLNodeGetString(node), nullptr);
        auto* d = static_cast<const CFXMLDocumentInfo*>(CFXMLNodeGetInfoPtr(node));
        p->encoding = d->encoding;
        p->url = d->sourceURL ? Text(CFURLGetString(d->sourceURL)) : "(nil)";
      }
      return info;
    }
  };
  CFXMLParserCallBacks callbacks{0, Probe::Create, nullptr, nullptr, nullptr, nullptr};
  CFURLRef url = CFURLCreateWithString(nullptr, CFStringMakeConstantUTF8("file:///tmp/x.xml"), nullptr);
  for (auto [xml, encoding] : {std::pair<std::string, CFStringEncoding>{"<a/>", kCFStringEncodingUTF8},
                               {"<?xml version='1.0' encoding='ISO-8859-1'?><a/>", kCFStringEncodingISOLatin1}}) {
    Probe probe;
    CFXMLParserContext context{0, &probe, nullptr, nullptr, nullptr};
    CFDataRef data = Bytes(xml);
    CFXMLParserRef parser = CFXMLParserCreate(nullptr, data, url, 0, 1, &callbacks, &context);
    CFRelease(data);
    EXPECT_TRUE(CFXMLParserParse(parser));
    EXPECT_EQ(probe.encoding, encoding);
    EXPECT_EQ(probe.url, "file:///tmp/x.xml");
    EXPECT_EQ(CFXMLParserGetSourceURL(parser), url);
    CFRelease(parser);
  }
  CFRelease(url);
}

TEST(CFXMLParser, LongTextComesAsOneNode) {
  // Several megabytes, fed to expat in slices, with references throughout.
  std::string body, expected;
  for (int i = 0; i < 300000; ++i) {
    body += "line " + std::to_string(i) + " &amp;&#x3C;\n";
    expected += "line " + std::to_string(i) + " &<\\n";
  }
  Recorder r;
  Outcome o = ParseWith(r, "<log>" + body + "</log>", kCFXMLParserSkipWhitespace);
  ASSERT_TRUE(o.ok) << o.description;
  EXPECT_EQ(r.Tree(), "#doc(log('" + expected + "'))");
}

TEST(CFXMLParser, MalformedInputStopsWithAStatus) {
  struct Case {
    std::string xml;
    CFXMLParserStatusCode status;
    CFIndex line;
    const char* tree;  // what was reported before the error
  } cases[] = {
      {"", kCFXMLErrorNoData, 1, "#doc"},
      {"  \n ", kCFXMLErrorElementlessDocument, 2, "#doc"},
      {"<a>\n<b>text", kCFXMLErrorUnexpectedEOF, 2, "#doc(a(b))"},
      {"<a><b></a>", kCFXMLErrorMalformedCloseTag, 1, "#doc(a(b))"},
      {"<a x='1' x='2'/>", kCFXMLErrorMalformedStartTag, 1, "#doc"},
      {"<a>&nope;</a>", kCFXMLErrorMalformedParsedCharacterData, 1, "#doc(a)"},
      {"<a>&#0;</a>", kCFXMLErrorMalformedCharacterReference, 1, "#doc(a)"},
      {"<a><![CDATA[x", kCFXMLErrorMalformedCDSect, 1, "#doc(a)"},
      {"<a>\xC3(</a>", kCFXMLErrorMalformedDocument, 1, "#doc(a)"},
      {"<a/>\n\n<b/>", kCFXMLErrorMalformedDocument, 3, "#doc(a/)"},
      {"<?xml version='1.0' encoding='no-such'?><a/>", kCFXMLErrorUnknownEncoding, 1, "#doc"},
      {"<a>\n<?xml version='1.0'?></a>", kCFXMLErrorMalformedProcessingInstruction, 2, "#doc(a)"},
      {"<a <b/>", kCFXMLErrorMalformedDocument, 1, "#doc"},
      {"<a>\n<!-- x -- y --></a>", kCFXMLErrorMalformedDocument, 2, "#doc(a)"},
      // Exponential entity expansion is refused.
      {"<!DOCTYPE a [<!ENTITY a0 \"xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx\">"
       "<!ENTITY a1 \"&a0;&a0;&a0;&a0;&a0;&a0;&a0;&a0;&a0;&a0;\">"
       "<!ENTITY a2 \"&a1;&a1;&a1;&a1;&a1;&a1;&a1;&a1;&a1;&a1;\">"
       "<!ENTITY a3 \"&a2;&a2;&a2;&a2;&a2;&a2;&a2;&a2;&a2;&a2;\">"
       "<!ENTITY a4 \"&a3;&a3;&a3;&a3;&a3;&a3;&a3;&a3;&a3;&a3;\">"
       "<!ENTITY a5 \"&a4;&a4;&a4;&a4;&a4;&a4;&a4;&a4;&a4;&a4;\">"
       "<!ENTITY a6 \"&a5;&a5;&a5;&a5;&a5;&a5;&a5;&a5;&a5;&a5;\">"
       "<!ENTITY a7 \"&a6;&a6;&a6;&a6;&a6;&a6;&a6;&a6;&a6;&a6;\">]><a>&a7;</a>",
       kCFXMLErrorMalformedDocument, 1, "#doc(!DOCTYPE:a a)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.xml.substr(0, 60));
    Recorder r;
    Outcome o = ParseWith(r, c.xml, kCFXMLParserSkipWhitespace);
    EXPECT_FALSE(o.ok);
    EXPECT_EQ(o.status, c.status);
    EXPECT_EQ(o.line, c.line);
    EXPECT_NE(o.description.find("line"), std::string::npos) << o.description;
    EXPECT_EQ(r.errorsReported, 1);
    EXPECT_EQ(r.errorReported, c.status);
    EXPECT_EQ(r.Tree(), c.tree);
    r.ExpectConsistent(false);
  }
}

TEST(CFXMLParser, DeepNestingNeedsNoStack) {
  const int depth = 200000;
  std::string open, close;
  open.reserve(depth * 3);
  for (int i = 0; i < depth; ++i) open += "<a>";
  for (int i = 0; i < depth; ++i) close += "</a>";
  for (bool complete : {true, false}) {
    Recorder r;
    Outcome o = ParseWith(r, open + "deep" + (complete ? close : ""), 0);
    EXPECT_EQ(o.ok, complete);
    EXPECT_EQ(o.status, complete ? kCFXMLStatusParseSuccessful : kCFXMLErrorUnexpectedEOF);
    ASSERT_EQ(r.nodes.size(), size_t(depth) + (complete ? 2 : 1));  // the text is pending at the end
    int ended = 0;
    for (auto& n : r.nodes) ended += n->ended;
    EXPECT_EQ(ended, complete ? depth + 1 : 0);
  }
}

TEST(CFXMLParser, NilStructureSkipsTheSubtree) {
  Recorder r;
  r.skipElement = "skip";
  ASSERT_TRUE(ParseWith(r, "<a>1<skip x='1'>2<b>3</b><skip/></skip>4<c/></a>", 0).ok);
  EXPECT_EQ(r.Tree(), "#doc(a('1' '4' c/))");
  r.ExpectConsistent(true);
  EXPECT_EQ(r.events.find("c(b)"), std::string::npos);
}

TEST(CFXMLParser, AbortFromACallbackEndsTheParse) {
  Recorder r;
  r.abortOn = "stop/";
  Outcome o = ParseWith(r, "<a><b/><stop/><c/></a>", 0);
  EXPECT_FALSE(o.ok);
  EXPECT_EQ(o.status, kCFXMLErrorMalformedName);
  EXPECT_EQ(o.description, "stopped by the test");
  EXPECT_EQ(r.errorsReported, 0);
  // The aborting create's structure is still linked; nothing follows.
  EXPECT_EQ(r.events, "c(#doc) c(a) a(#doc>a) c(b/) a(a>b/) e(b/) c(stop/) a(a>stop/) ");
  r.ExpectConsistent(false);
}

TEST(CFXMLParser, AbortOnAPendingTextRunEndsTheParseThere) {
  // The text run is reported only when the next event comes; aborting on it
  // must stop that event too.
  struct Case {
    const char* xml;
    CFOptionFlags options;
  };
  const Case cases[] = {{"<a>x<b/></a>", 0},
                        {"<a>x</a>", 0},
                        {"<a>x<!--c--></a>", 0},
                        {"<a>x<?p d?></a>", 0},
                        {"<a>x<![CDATA[y]]></a>", 0},
                        {"<!DOCTYPE a SYSTEM \"a.dtd\"><a>x&e;</a>", kCFXMLParserSkipMetaData}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.xml);
    Recorder r;
    r.abortOn = "'x'";
    Outcome o = ParseWith(r, c.xml, c.options);
    EXPECT_FALSE(o.ok);
    EXPECT_EQ(o.status, kCFXMLErrorMalformedName);
    EXPECT_EQ(r.events, "c(#doc) c(a) a(#doc>a) c('x') a(a>'x') ");
    r.ExpectConsistent(false);
  }
}

struct Counted {
  int retains = 0;
  int releases = 0;
  static const void* Retain(const void* info) {
    ++static_cast<Counted*>(const_cast<void*>(info))->retains;
    return info;
  }
  static void Release(const void* info) { ++static_cast<Counted*>(const_cast<void*>(info))->releases; }
  static CFStringRef Describe(const void*) { return __CFStringCreateWithUTF8("counted info"); }
};

TEST(CFXMLParser, ContextInfoIsRetainedForTheParsersLife) {
  Counted counted;
  CFXMLParserCallBacks callbacks{0, Recorder::Create, Recorder::AddChild, Recorder::End, nullptr, nullptr};
  CFXMLParserContext context{0, &counted, Counted::Retain, Counted::Release, Counted::Describe};
  CFDataRef data = Bytes("<a/>");
  CFXMLParserRef parser = CFXMLParserCreate(nullptr, data, nullptr, 0, 1, &callbacks, &context);
  CFRelease(data);
  ASSERT_NE(parser, nullptr);
  EXPECT_EQ(counted.retains, 1);
  CFXMLParserContext got{};
  CFXMLParserGetContext(parser, &got);
  EXPECT_EQ(got.info, &counted);
  CFStringRef d = CFCopyDescription(parser);
  EXPECT_NE(Text(d).find("counted info"), std::string::npos);
  CFRelease(d);
  EXPECT_EQ(counted.releases, 0);
  CFRelease(parser);
  EXPECT_EQ(counted.releases, 1);
}

TEST(CFXMLParser, RefusesWhatItCannotParse) {
  CFXMLParserCallBacks callbacks{0, Recorder::Create, Recorder::AddChild, Recorder::End, nullptr, nullptr};
  CFXMLParserCallBacks noCreate{0, nullptr, Recorder::AddChild, Recorder::End, nullptr, nullptr};
  CFDataRef data = Bytes("<a/>");
  EXPECT_EQ(CFXMLParserCreate(nullptr, nullptr, nullptr, 0, 1, &callbacks, nullptr), nullptr);
  EXPECT_EQ(CFXMLParserCreate(nullptr, data, nullptr, 0, 2, &callbacks, nullptr), nullptr);
  EXPECT_EQ(CFXMLParserCreate(nullptr, data, nullptr, 0, 1, &noCreate, nullptr), nullptr);
  EXPECT_EQ(CFXMLParserCreate(nullptr, data, nullptr, 0, 1, nullptr, nullptr), nullptr);
  CFRelease(data);
  CFURLRef missing =
      CFURLCreateWithString(nullptr, CFStringMakeConstantUTF8("file:///nonexistent/quorvel/x.xml"), nullptr);
  EXPECT_EQ(CFXMLParserCreateWithDataFromURL(nullptr, missing, 0, 1, &callbacks, nullptr), nullptr);
  CFRelease(missing);
}

class CFXMLParserFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* tmp = std::getenv("TMPDIR");
    dir_ = std::string(tmp ? tmp : "/tmp") + "/cfxmlparser-" + std::to_string(getpid());
    std::string cmd = "mkdir -p '" + dir_ + "'";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
  }
  void TearDown() override {
    std::string cmd = "rm -rf '" + dir_ + "'";
    std::system(cmd.c_str());
  }
  CFURLRef Write(const std::string& name, const std::string& content) {
    std::ofstream(dir_ + "/" + name, std::ios::binary) << content;
    CFStringRef path = __CFStringCreateWithUTF8(dir_ + "/" + name);
    CFURLRef url = CFURLCreateWithFileSystemPath(nullptr, path, kCFURLPOSIXPathStyle, false);
    CFRelease(path);
    return url;
  }
  std::string dir_;
};

TEST_F(CFXMLParserFileTest, ParsesTheDataOfAFileURL) {
  CFURLRef url = Write("doc.xml", "<list>\n  <item>one</item>\n</list>\n");
  Recorder r;
  CFXMLParserCallBacks callbacks{0, Recorder::Create, Recorder::AddChild, Recorder::End, nullptr, nullptr};
  CFXMLParserContext context{0, &r, nullptr, nullptr, nullptr};
  CFXMLParserRef parser =
      CFXMLParserCreateWithDataFromURL(nullptr, url, kCFXMLParserSkipWhitespace, 1, &callbacks, &context);
  ASSERT_NE(parser, nullptr);
  EXPECT_TRUE(CFXMLParserParse(parser));
  EXPECT_TRUE(CFXMLParserParse(parser));  // a second call answers the first result
  EXPECT_EQ(r.Tree(), "#doc(list(item('one')))");
  EXPECT_EQ(CFXMLParserGetLineNumber(parser), 4);
  CFRelease(parser);
  CFRelease(url);
}

TEST_F(CFXMLParserFileTest, ExternalEntitiesOnlyThroughTheResolver) {
  CFURLRef secret = Write("secret.xml", "<s>secret</s>");
  CFRelease(secret);
  CFURLRef url = Write("doc.xml", "");
  const std::string doc = "<!DOCTYPE a [<!ENTITY ext SYSTEM \"secret.xml\">]><a>x&ext;y</a>";

  // Without the option, nothing is asked and nothing is read.
  Recorder plain;
  ASSERT_TRUE(ParseWith(plain, doc, 0, url).ok);
  EXPECT_EQ(plain.Tree(), "#doc(!DOCTYPE:a a('xy'))");
  EXPECT_TRUE(plain.resolved.empty());

  // With it, the resolver's data is parsed in place; the file is not read.
  Recorder resolving;
  CFDataRef part = Bytes("<b>in</b>");
  resolving.entityData = part;
  ASSERT_TRUE(ParseWith(resolving, doc, kCFXMLParserResolveExternalEntities, url).ok);
  EXPECT_EQ(resolving.Tree(), "#doc(!DOCTYPE:a a('x' b('in') 'y'))");
  ASSERT_EQ(resolving.resolved.size(), 1u);
  EXPECT_NE(resolving.resolved[0].find("secret.xml"), std::string::npos);
  resolving.ExpectConsistent(true);
  CFRelease(part);

  // Malformed entity data fails the parse with the entity's own status.
  Recorder broken;
  CFDataRef bad = Bytes("<b>in</c>");
  broken.entityData = bad;
  Outcome o = ParseWith(broken, doc, kCFXMLParserResolveExternalEntities, url);
  EXPECT_FALSE(o.ok);
  EXPECT_EQ(o.status, kCFXMLErrorMalformedCloseTag);
  broken.ExpectConsistent(false);
  CFRelease(bad);

  // An entity that names itself cannot recurse without end.
  Recorder looping;
  CFDataRef self = Bytes("&ext;");
  looping.entityData = self;
  EXPECT_FALSE(ParseWith(looping, doc, kCFXMLParserResolveExternalEntities, url).ok);
  EXPECT_LE(looping.resolved.size(), 17u);
  CFRelease(self);
  CFRelease(url);
}

TEST(CFXMLNode, CreateCopyAndCompare) {
  CFStringRef name = CFStringMakeConstantUTF8("item");
  CFStringRef key = CFStringMakeConstantUTF8("id");
  CFStringRef value = CFStringMakeConstantUTF8("7");
  CFDictionaryRef attrs = CFDictionaryCreate(nullptr, reinterpret_cast<const void**>(&key),
                                             reinterpret_cast<const void**>(&value), 1,
                                             &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
  CFArrayRef order = CFArrayCreate(nullptr, reinterpret_cast<const void**>(&key), 1, &kCFTypeArrayCallBacks);
  CFXMLElementInfo info{attrs, order, true, {0, 0, 0}};
  CFXMLNodeRef node = CFXMLNodeCreate(nullptr, kCFXMLNodeTypeElement, name, &info, 1);
  CFRelease(attrs);
  CFRelease(order);
  ASSERT_NE(node, nullptr);
  EXPECT_EQ(CFGetTypeID(node), CFXMLNodeGetTypeID());
  EXPECT_EQ(CFXMLNodeGetVersion(node), 1);
  EXPECT_EQ(Label(node), "item[id=7]/");

  CFXMLNodeRef copy = CFXMLNodeCreateCopy(nullptr, node);
  EXPECT_TRUE(CFEqual(node, copy));
  EXPECT_EQ(CFHash(node), CFHash(copy));
  CFXMLNodeRef text = CFXMLNodeCreate(nullptr, kCFXMLNodeTypeText, name, nullptr, 1);
  EXPECT_FALSE(CFEqual(node, text));
  EXPECT_EQ(CFXMLNodeGetInfoPtr(text), nullptr);

  EXPECT_EQ(CFXMLNodeCreate(nullptr, kCFXMLNodeTypeText, name, nullptr, 2), nullptr);
  EXPECT_EQ(CFXMLNodeCreate(nullptr, 16, name, nullptr, 1), nullptr);
  EXPECT_EQ(CFXMLNodeGetTypeCode(nullptr), 0);
  EXPECT_EQ(CFXMLNodeGetString(nullptr), nullptr);

  CFXMLTreeRef tree = CFXMLTreeCreateWithNode(nullptr, node);
  EXPECT_EQ(CFXMLTreeGetNode(tree), node);
  EXPECT_EQ(CFGetRetainCount(node), 2);
  CFRelease(tree);
  EXPECT_EQ(CFGetRetainCount(node), 1);

  CFRelease(text);
  CFRelease(copy);
  CFRelease(node);
}

}  // namespace
