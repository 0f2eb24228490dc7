#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "CFArray.h"
#include "CFString.h"
#include "CFTree.h"
#include "Files.h"
#include "XMLParser.h"

namespace {

// The payload of one node: the tracked element's name and number, and the
// texts its completing calls brought ("element=text").
struct Entry {
  std::string name;
  SInt32 counter;
  std::vector<std::string> fields;
  static int alive;
  Entry(std::string n, SInt32 c) : name(std::move(n)), counter(c) { ++alive; }
  ~Entry() { --alive; }
};
int Entry::alive = 0;

void ReleaseEntry(const void* info) { delete static_cast<const Entry*>(info); }

const CFTreeContext kRootContext{0, nullptr, nullptr, nullptr, nullptr};

Entry* EntryOf(CFTreeRef node) {
  CFTreeContext c{};
  CFTreeGetContext(node, &c);
  return static_cast<Entry*>(c.info);
}

// Completing calls that found no node are logged in the user data.
void MakeNode(Boolean starting, SInt32 counter, Str63& nodeName, ParserContextPtr context, Str255& text,
              CFTreeRef& node, void* userData) {
  auto* orphans = static_cast<std::vector<std::string>*>(userData);
  if (starting) {
    EXPECT_EQ(node, nullptr);
    if (nodeName == "skip") return;  // makes no node
    CFTreeContext c{0, new Entry(nodeName.str(), counter), nullptr, ReleaseEntry, nullptr};
    node = CFTreeCreate(nullptr, &c);
  } else if (node != nullptr) {
    EntryOf(node)->fields.push_back(context->elementName.str() + "=" + text.str());
  } else {
    orphans->push_back(context->elementName.str() + "=" + text.str());
  }
}

std::string Dump(CFTreeRef node) {
  std::string s;
  for (CFTreeRef child = CFTreeGetFirstChild(node); child; child = CFTreeGetNextSibling(child)) {
    Entry* e = EntryOf(child);
    if (!s.empty()) s += " ";
    s += e->name + "#" + std::to_string(e->counter);
    if (!e->fields.empty()) {
      s += "{";
      for (size_t i = 0; i < e->fields.size(); ++i) s += (i ? "," : "") + e->fields[i];
      s += "}";
    }
    if (CFTreeGetChildCount(child) > 0) s += "(" + Dump(child) + ")";
  }
  return s;
}

CFArrayRef Names(std::initializer_list<const char*> names) {
  CFMutableArrayRef a = CFArrayCreateMutable(nullptr, 0, &kCFTypeArrayCallBacks);
  for (const char* n : names) {
    CFStringRef s = CFStringCreateWithCString(nullptr, n, kCFStringEncodingUTF8);
    CFArrayAppendValue(a, s);
    CFRelease(s);
  }
  return a;
}

class XMLParserTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* tmp = std::getenv("TMPDIR");
    dir_ = std::string(tmp ? tmp : "/tmp") + "/xmlparser-" + std::to_string(getpid());
    ASSERT_EQ(std::system(("mkdir -p '" + dir_ + "'").c_str()), 0);
    Entry::alive = 0;
  }
  void TearDown() override {
    std::system(("rm -rf '" + dir_ + "'").c_str());
    EXPECT_EQ(Entry::alive, 0);  // every node's payload went with the tree
  }

  FSRef Write(const std::string& content) {
    std::string path = dir_ + "/log.xml";
    std::ofstream(path, std::ios::binary | std::ios::trunc) << content;
    FSRef ref{};
    EXPECT_EQ(FSPathMakeRef(reinterpret_cast<const UInt8*>(path.c_str()), &ref, nullptr), noErr);
    return ref;
  }

  // The tree of the file as text; "(nil)" when ParseXMLFile gives nil.
  std::string Parse(const FSRef& file, CFArrayRef names) {
    orphans_.clear();
    CFTreeRef root = ParseXMLFile(file, names, kRootContext, MakeNode, &orphans_);
    if (root == nullptr) return "(nil)";
    std::string s = Dump(root);
    CFRelease(root);
    return s;
  }

  std::string dir_;
  std::vector<std::string> orphans_;
};

TEST_F(XMLParserTest, BuildsTheTreeOfTrackedElements) {
  struct Case {
    std::string xml;
    std::initializer_list<const char*> tracked;
    std::string tree;
  } cases[] = {
      // Nested tracked elements, then a sibling at the first level; an empty
      // tracked element completes with empty text, not its neighbour's.
      {"<log><a><b>t</b></a>\n<a/></log>", {"a", "b"}, "a#1(b#2{b=t}) a#3{a=}"},
      // An untracked element in between adds no node.
      {"<log><a><x><b>1</b></x></a></log>", {"a", "b"}, "a#1(b#2{b=1})"},
      // The elements inside a tracked one fill it with their whole texts.
      {"<log><entry><time>12:00</time><msg>a &amp; b &lt;c&gt;</msg></entry></log>", {"entry"},
       "entry#1{time=12:00,msg=a & b <c>}"},
      {"<entry>ab<!--c-->cd<![CDATA[<x>]]></entry>", {"entry"}, "entry#1{entry=abcd<x>}"},
      // An element holding one of the same name is not completed itself.
      {"<a><a/></a>", {"a"}, "a#1(a#2{a=})"},
      // Mac Roman text; a character it lacks becomes "?".
      {"<e>caf\xC3\xA9 \xE4\xB8\xAD!</e>", {"e"}, "e#1{e=caf\x8E ?!}"},
      // A tracked element whose callback makes no node: its elements go to the node above.
      {"<a><skip><b>1</b></skip></a>", {"a", "skip", "b"}, "a#1(b#3{b=1})"},
      {"<log><skip><b>1</b></skip></log>", {"skip", "b"}, "b#2{b=1}"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.xml);
    CFArrayRef names = Names(c.tracked);
    EXPECT_EQ(Parse(Write(c.xml), names), c.tree);
    CFRelease(names);
  }
}

TEST_F(XMLParserTest, TextIsCutAt255Characters) {
  std::string body(300, 'x');
  CFArrayRef names = Names({"e"});
  EXPECT_EQ(Parse(Write("<e>" + body + "</e>"), names), "e#1{e=" + std::string(255, 'x') + "}");
  CFRelease(names);
}

TEST_F(XMLParserTest, LeafOutsideTrackedElementsCompletesWithoutNode) {
  CFArrayRef names = Names({"a"});
  EXPECT_EQ(Parse(Write("<log><x>1</x><a>2</a></log>"), names), "a#1{a=2}");
  EXPECT_EQ(orphans_, std::vector<std::string>{"x=1"});
  CFRelease(names);
}

TEST_F(XMLParserTest, EachParseStartsAfresh) {
  CFArrayRef names = Names({"a"});
  FSRef file = Write("<log><a>1</a><a>2</a></log>");
  EXPECT_EQ(Parse(file, names), "a#1{a=1} a#2{a=2}");
  EXPECT_EQ(Parse(file, names), "a#1{a=1} a#2{a=2}");
  CFRelease(names);
}

TEST_F(XMLParserTest, MalformedFilesKeepWhatCameBeforeTheFault) {
  CFArrayRef names = Names({"a"});
  EXPECT_EQ(Parse(Write("<log><a>1</a><a>2"), names), "a#1{a=1} a#2");
  EXPECT_EQ(Parse(Write("<log><a>1</a></lg>"), names), "a#1{a=1}");
  EXPECT_EQ(Parse(Write("not xml at all"), names), "");
  EXPECT_EQ(Parse(Write(""), names), "");
  EXPECT_EQ(Parse(Write(std::string("<a>\0\xFF</a>", 8)), names), "a#1");
  CFRelease(names);
}

TEST_F(XMLParserTest, NoFileGivesNil) {
  CFArrayRef names = Names({"a"});
  FSRef file = Write("<a/>");
  ASSERT_EQ(FSDeleteObject(&file), noErr);
  EXPECT_EQ(Parse(file, names), "(nil)");
  FSRef none{};
  EXPECT_EQ(Parse(none, names), "(nil)");
  CFRelease(names);
}

TEST_F(XMLParserTest, DeepNestingOfTrackedElements) {
  const int depth = 20000;
  std::string xml;
  for (int i = 0; i < depth; ++i) xml += "<a>";
  xml += "x";
  for (int i = 0; i < depth; ++i) xml += "</a>";
  CFArrayRef names = Names({"a"});
  CFTreeRef root = ParseXMLFile(Write(xml), names, kRootContext, MakeNode, &orphans_);
  ASSERT_NE(root, nullptr);
  int levels = 0;
  CFTreeRef node = root;
  while (CFTreeGetChildCount(node) == 1) {
    node = CFTreeGetFirstChild(node);
    ++levels;
  }
  EXPECT_EQ(levels, depth);
  EXPECT_EQ(EntryOf(node)->fields, std::vector<std::string>{"a=x"});
  CFRelease(root);
  CFRelease(names);
}

}  // namespace
