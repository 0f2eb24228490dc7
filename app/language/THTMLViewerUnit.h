// THTMLViewerUnit: the HTML structure pane. A small tag scanner of its own
// (THTMLParser) reads the editor's text character by character and builds a
// tree of the document's tags, comments and headings; the pane lists the
// script and style tags and every tag with an id, and choosing a row
// highlights that tag in the editor.
#pragma once

#include <string>
#include <vector>

#include "CFTree.h"
#include "CGImage.h"
#include "IBCarbonRuntime.h"
#include "TBrowserUnit.h"
#include "TPaneUnit.h"

class TSourceEditor;

// Node types of the tree's records.
enum : UInt32 {
  kHTMLTagNodeType = 'stan',      // a tag
  kHTMLCommentNodeType = 'comm',  // a comment worth listing (one with an "@")
};

// Icon types, registered under the application's creator.
enum : OSType {
  kHTMLIconForm = 'hfrm',
  kHTMLIconHeading = 'hhed',
  kHTMLIconHead = 'hhde',
  kHTMLIconHTML = 'hhtm',
  kHTMLIconImage = 'himg',
  kHTMLIconInput = 'hinp',
  kHTMLIconListItem = 'hlsi',
  kHTMLIconObject = 'hobj',
  kHTMLIconParagraph = 'hpar',
  kHTMLIconScript = 'hscr',
  kHTMLIconStyle = 'hsty',
  kHTMLIconTable = 'htab',
  kHTMLIconTableCell = 'htbc',
  kHTMLIconTableRow = 'hbtr',
  kHTMLIconLink = 'hlnk',
  kHTMLIconGeneric = 'hgen',
  kHTMLIconTextNode = 'hgtn',
};
// The system's text-clipping icon, for a plain tag that opened text.
constexpr OSType kHTMLClippingCreator = 'macs';
constexpr OSType kHTMLClippingType = 'clpt';

extern const Str63 kHTMLViewerPaneResource;  // "HTML Viewer Pane"
extern const Str63 kHTMLViewerImages;        // "Images/HTMLViewer"

struct TagAttributeInfo {
  Str15 name;
  Str31 value;
};
constexpr int kHTMLAttributeEntries = 12;  // entry 0 holds the id, 1..11 the attributes
constexpr int kHTMLMaximumAttributes = 11;
constexpr int kHTMLMaximumDepth = 255;

// One tag or comment: the payload of a tree node's record.
struct TagNodeInfo {
  Str63 tagName;       // lower case; a comment's first word
  SInt32 tagIndex;     // 1, 2, ... in document order
  CFTreeRef treeNode;  // the node that carries the record (not retained: it owns the record)
  CFRange startRange;  // location: the offset of the tag's "<"
  CFRange tagRange;    // location: the "<"; length holds the END offset (the ">" or the closing "</")
  Str31 tagText;       // a heading's text, without line breaks
  SInt16 attributeCount;
  TagAttributeInfo attributes[kHTMLAttributeEntries];
  Boolean textFlag;
  Str31 tagID;
};
typedef TagNodeInfo* TagNodeInfoPtr;

class THTMLParser {
 public:
  // Scans text[0..length) (the view's characters) into the root tree, which
  // is emptied first. The text is not kept.
  THTMLParser(CFTreeRef root, const UniChar* text, SInt32 length);
  virtual ~THTMLParser() = default;

  virtual void Parse();
  virtual void HandleOffset(SInt32 offset, UniChar c, const std::string& word);
  virtual void AppendTag(TagNodeInfoPtr node, UInt32 type, Boolean container);
  // Closes the innermost open tag of that name, and every tag opened inside
  // it, at offset; a name with no open tag changes nothing.
  virtual void PopTag(const std::string& name, SInt32 offset);
  virtual TagNodeInfoPtr NewTag();
  virtual void ResetTracking();
  virtual void Release() { delete this; }

  SInt32 NodeCount() const { return counter; }

 private:
  UniChar At(SInt32 offset) const { return offset >= 0 && offset < length ? text[offset] : 0; }
  std::string NameAt(SInt32 offset) const;
  void EndTag(SInt32 offset);
  void SkipRawText(SInt32& offset);
  void Capture(UniChar c, const std::string& word);

  CFTreeRef root;
  const UniChar* text;
  SInt32 length;
  std::vector<TagNodeInfoPtr> stack;  // open tags, innermost last
  Boolean inTag = false;
  Boolean inComment = false;
  Boolean commentMarkup = false;  // "<!--": ends at "-->"
  Boolean commentHasAt = false;
  Str63 tagName;
  SInt32 tagStart = 0;
  SInt32 tagEnd = 0;
  Boolean textFlag = false;
  Boolean capture = false;
  Boolean captureSpace = false;
  SInt32 counter = 0;
  TagAttributeInfo attributes[kHTMLAttributeEntries]{};
  SInt16 attributeCount = 0;
  SInt16 attributeState = 0;  // 0 a name, 1 after "=", 2 inside quotes
  UniChar quote = 0;
  std::string rawUntil;  // after a script or style tag: the name that ends its text
};

// The row of a node: "text (name)", "id (name)" or the name alone.
std::string HTMLViewerRowText(const TagNodeInfo& node);
// The icon of a node: creator and type.
void HTMLViewerRowIcon(const TagNodeInfo& node, OSType& creator, OSType& type);
// The nodes the list shows, in document order: script and style tags and
// every node with an id.
std::vector<TagNodeInfoPtr> HTMLViewerListedNodes(CFTreeRef tree);
// The node's record payload; nil for a root.
TagNodeInfoPtr HTMLViewerNodeInfo(CFTreeRef node);

// Registers the icons of the tag kinds.
void LoadHTMLIcons();
void HTMLViewerSetSelectionImage(CGImageRef image);

class THTMLBrowser : public TBrowser {
 public:
  TSourceEditor* editor = nullptr;

  void Create(ControlRef browser) override;
  void ItemNotification(void* data, UInt32 dataType, DataBrowserItemID item,
                        DataBrowserItemNotification message) override;
  void DrawItem(void* data, UInt32 dataType, Boolean container, DataBrowserItemID item,
                DataBrowserPropertyID property, DataBrowserItemState state, CGRect bounds,
                CGContextRef context) override;
  Boolean CompareItem(NodeInfoPtr node1, NodeInfoPtr node2, DataBrowserPropertyID property) override;
};

enum : UInt32 { kHTMLViewerOptionShowAll = 1, kHTMLViewerOptionTagFilter = 2 };
typedef UInt32 HTMLViewerOptions;

class THTMLViewer : public TPane {
 public:
  CFTreeRef tree = nullptr;  // owned
  THTMLBrowser* browser = nullptr;
  HTMLViewerOptions options = kHTMLViewerOptionTagFilter;

  void Create(const Str63& name, IBNibRef nib) override;
  void Release() override;
  // Scans the editor's text (always the view's, so offsets match what is
  // shown) into tree, made when nil, and shows it.
  virtual void Parse(TSourceEditor* editor, CFTreeRef& tree);
  virtual void Load(CFTreeRef tree, TSourceEditor* editor);
  virtual void SetOptions(HTMLViewerOptions options);
};

THTMLViewer* CreateHTMLViewer(IBNibRef nib);
// The editor's whole text as view characters.
std::u16string HTMLViewerCopyEditorText(TSourceEditor* editor);
