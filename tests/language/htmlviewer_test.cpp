// The HTML structure pane's scanner over real-shaped pages (nesting, tags left
// open, comments, scripts), a second scan of the same tree, and the rows the
// list shows.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "THTMLViewerUnit.h"
#include "brackenrow/Browser.h"

namespace {

struct Scan {
  CFTreeRef root = BrackenrowCreateTree(nullptr);
  std::u16string text;
  ~Scan() { CFRelease(root); }
  void Run(const std::u16string& source) {
    text = source;
    THTMLParser parser(root, reinterpret_cast<const UniChar*>(text.data()), SInt32(text.size()));
    parser.Parse();
  }
};

// The tree as "name(child child)" with comments as "#name".
std::string Outline(CFTreeRef tree) {
  std::string out;
  for (CFTreeRef child = CFTreeGetFirstChild(tree); child != nullptr; child = CFTreeGetNextSibling(child)) {
    TagNodeInfoPtr info = HTMLViewerNodeInfo(child);
    NodeInfoPtr record = BrackenrowGetNode(child);
    if (!out.empty()) out += ' ';
    out += (record->DATATYPE == kHTMLCommentNodeType ? "#" : "") + info->tagName.str();
    if (CFTreeGetChildCount(child) > 0) out += "(" + Outline(child) + ")";
  }
  return out;
}

TagNodeInfoPtr Find(CFTreeRef tree, const std::string& name) {
  for (CFTreeRef child = CFTreeGetFirstChild(tree); child != nullptr; child = CFTreeGetNextSibling(child)) {
    TagNodeInfoPtr info = HTMLViewerNodeInfo(child);
    if (info->tagName.str() == name) return info;
    if (TagNodeInfoPtr inner = Find(child, name)) return inner;
  }
  return nullptr;
}

TEST(HTMLViewerScan, BuildsTheNestingOfRealPages) {
  const struct {
    const char16_t* html;
    const char* outline;
  } kCases[] = {
      {u"<html><head><title>T</title></head><body><p>a</p></body></html>", "html(head(title) body(p))"},
      // Void elements hold nothing; a close tag closes its own element and
      // whatever was left open inside it.
      {u"<body><p>one<br>two<img src=\"a.png\"><hr></p><div><ul><li>x<li>y</ul></div></body>",
       "body(p(br img hr) div(ul(li(li))))"},
      {u"<BODY><Div>x</DIV></body>", "body(div)"},
      // A stray close tag changes nothing.
      {u"</div><p>a</p></span>", "p"},
      // Self-closed tags and DOCTYPE.
      {u"<!DOCTYPE html><html><br/><input type=\"text\" /></html>", "html(br input)"},
      // Comments: one with an "@" is kept, its markup may hold ">" and tags.
      {u"<!-- mail me@example.org > <b> --><p>a</p><!-- plain <i> --><!--x-->", "#mail p"},
      // A script's text is no markup, whatever "<" it holds.
      {u"<head><script>if (a<b && c</d) document.write(\"<p>\");</script><style>p<q{}</style></head>",
       "head(script style)"},
      {u"<p>never closed <b>bold", "p(b)"},
  };
  for (const auto& c : kCases) {
    Scan scan;
    scan.Run(c.html);
    EXPECT_EQ(Outline(scan.root), c.outline) << std::string(c.outline);
  }
}

TEST(HTMLViewerScan, RecordsOffsetsAttributesAndHeadingText) {
  Scan scan;
  scan.Run(
      u"<html>\n<h1 class=\"t\">  A heading\r\n that runs on past thirty-one</h1>"
      u"<img src=\"logo.png\" id=\"logo\"><input disabled name=x id='field'>"
      u"<p a=\"1\" b=\"2\" c=\"3\" d=\"4\" e=\"5\" f=\"6\" g=\"7\" h=\"8\" i=\"9\" j=\"10\" k=\"11\" l=\"12\">é</p>");
  TagNodeInfoPtr html = Find(scan.root, "html");
  ASSERT_NE(html, nullptr);
  EXPECT_EQ(html->tagRange.location, 0);
  EXPECT_EQ(html->tagIndex, 1);

  TagNodeInfoPtr h1 = Find(scan.root, "h1");
  ASSERT_NE(h1, nullptr);
  EXPECT_EQ(h1->tagText.str(), "A heading that runs on past thi");
  EXPECT_EQ(h1->tagRange.location, 7);
  EXPECT_EQ(scan.text.substr(size_t(h1->tagRange.length), 5), u"</h1>");
  EXPECT_EQ(HTMLViewerRowText(*h1), "A heading that runs on past thi (h1)");

  TagNodeInfoPtr img = Find(scan.root, "img");
  ASSERT_NE(img, nullptr);
  EXPECT_EQ(img->attributeCount, 2);
  EXPECT_EQ(img->attributes[1].name.str(), "src");
  EXPECT_EQ(img->attributes[1].value.str(), "logo.png");
  EXPECT_EQ(img->tagID.str(), "logo");
  EXPECT_EQ(HTMLViewerRowText(*img), "logo (img)");
  EXPECT_EQ(scan.text[size_t(img->tagRange.length)], u'>');

  TagNodeInfoPtr input = Find(scan.root, "input");
  ASSERT_NE(input, nullptr);
  EXPECT_EQ(input->attributeCount, 3);
  EXPECT_EQ(input->attributes[1].name.str(), "disabled");
  EXPECT_EQ(input->attributes[2].value.str(), "x");
  EXPECT_EQ(input->tagID.str(), "field");

  TagNodeInfoPtr p = Find(scan.root, "p");
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p->attributeCount, kHTMLMaximumAttributes);
  EXPECT_EQ(p->attributes[11].name.str(), "k");
  // Offsets count the view's characters: the "é" is one.
  EXPECT_EQ(scan.text.substr(size_t(p->tagRange.length)), u"</p>");
}

TEST(HTMLViewerScan, OrdinaryPagesAreNotCutAndDeepNestingIsBounded) {
  // Hundreds of line breaks and images no longer pile up as open tags.
  std::u16string page = u"<body>";
  for (int i = 0; i < 400; ++i) page += u"<br><img src=\"a\">";
  page += u"<div id=\"last\"></div></body>";
  Scan scan;
  scan.Run(page);
  TagNodeInfoPtr last = Find(scan.root, "div");
  ASSERT_NE(last, nullptr);
  EXPECT_EQ(last->tagID.str(), "last");

  std::u16string deep;
  for (int i = 0; i < 1000; ++i) deep += u"<div>";
  scan.Run(deep);
  int depth = 0;
  for (CFTreeRef node = CFTreeGetFirstChild(scan.root); node != nullptr; node = CFTreeGetFirstChild(node)) ++depth;
  EXPECT_EQ(depth, kHTMLMaximumDepth);
}

TEST(HTMLViewerScan, ASecondScanReplacesTheTree) {
  Scan scan;
  scan.Run(u"<div id=\"a\"><script></script></div>");
  scan.Run(u"<p id=\"b\"></p>");
  EXPECT_EQ(Outline(scan.root), "p");
  std::vector<TagNodeInfoPtr> listed = HTMLViewerListedNodes(scan.root);
  ASSERT_EQ(listed.size(), 1u);
  EXPECT_EQ(listed[0]->tagIndex, 1);
  scan.Run(u"");
  EXPECT_EQ(CFTreeGetChildCount(scan.root), 0);
}

TEST(HTMLViewerRows, ListsScriptsStylesAndIdsWithTheirIcons) {
  Scan scan;
  scan.Run(
      u"<html><head><style></style><script src=\"a.js\"></script></head>"
      u"<body id=\"top\"><form id=\"f\"><table id=\"t\"><tr id=\"r\"><td id=\"c\">x</td></tr></table></form>"
      u"<span id=\"s\">text</span><p>no id</p></body></html>");
  std::vector<std::string> rows;
  for (TagNodeInfoPtr node : HTMLViewerListedNodes(scan.root)) rows.push_back(HTMLViewerRowText(*node));
  EXPECT_EQ(rows, (std::vector<std::string>{"style", "script", "top (body)", "f (form)", "t (table)", "r (tr)",
                                            "c (td)", "s (span)"}));

  const struct {
    const char* name;
    bool text;
    OSType creator, type;
  } kIcons[] = {
      {"form", false, 'QVRL', kHTMLIconForm},    {"h2", false, 'QVRL', kHTMLIconHeading},
      {"head", false, 'QVRL', kHTMLIconHead},    {"body", false, 'QVRL', kHTMLIconHead},
      {"html", false, 'QVRL', kHTMLIconHTML},    {"img", false, 'QVRL', kHTMLIconImage},
      {"a", true, 'QVRL', kHTMLIconLink},        {"td", false, 'QVRL', kHTMLIconTableCell},
      {"tr", false, 'QVRL', kHTMLIconTableRow},  {"span", true, kHTMLClippingCreator, kHTMLClippingType},
      {"span", false, 'QVRL', kHTMLIconGeneric},
  };
  for (const auto& c : kIcons) {
    TagNodeInfo node{};
    node.tagName = Str63(c.name);
    node.textFlag = c.text;
    OSType creator = 0, type = 0;
    HTMLViewerRowIcon(node, creator, type);
    EXPECT_EQ(creator, c.creator) << c.name;
    EXPECT_EQ(type, c.type) << c.name;
  }
}

}  // namespace
