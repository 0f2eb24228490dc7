#include "THTMLViewerUnit.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "CFString.h"
#include "HIView.h"
#include "Icons.h"
#include "MacMemory.h"
#include "PascalCarbonCommon.h"
#include "TSourceEditorUnit.h"
#include "TWASTEViewUnit.h"
#include "WASTE.h"
#include "brackenrow/Brackenrow.h"

const Str63 kHTMLViewerPaneResource = "HTML Viewer Pane";
const Str63 kHTMLViewerImages = "Images/HTMLViewer";

namespace {

constexpr OSType kHTMLViewerCreator = 'QVRL';  // the application's creator
constexpr OSType kHTMLBrowserSignature = 'BROW';
constexpr SInt32 kHTMLBrowserID = 128;

CGImageRef gSelectionImage = nullptr;

const struct {
  const char* file;
  OSType type;
} kHTMLIcons[] = {
    {"form.icns", kHTMLIconForm},      {"h.icns", kHTMLIconHeading},     {"head.icns", kHTMLIconHead},
    {"html.icns", kHTMLIconHTML},      {"img.icns", kHTMLIconImage},     {"input.icns", kHTMLIconInput},
    {"li.icns", kHTMLIconListItem},    {"object.icns", kHTMLIconObject}, {"p.icns", kHTMLIconParagraph},
    {"script.icns", kHTMLIconScript},  {"style.icns", kHTMLIconStyle},   {"table.icns", kHTMLIconTable},
    {"td.icns", kHTMLIconTableCell},   {"tr.icns", kHTMLIconTableRow},   {"a.icns", kHTMLIconLink},
    {"tag.icns", kHTMLIconGeneric},    {"textnode.icns", kHTMLIconTextNode},
};

// Elements that never have content or a closing tag.
const char* const kVoidElements[] = {"area", "base", "br",   "col",   "embed",  "hr",    "img",
                                     "input", "link", "meta", "param", "source", "track", "wbr"};

bool IsVoidElement(const std::string& name) {
  return std::any_of(std::begin(kVoidElements), std::end(kVoidElements),
                     [&](const char* v) { return name == v; });
}

bool IsWordChar(UniChar c) { return c < 0x80 && (std::isalnum(c) || c == '_'); }

// One character in the short strings' encoding; "?" where it has none.
unsigned char ShortChar(UniChar c) {
  if (c < 0x80) return static_cast<unsigned char>(c);
  unsigned char out = '?';
  if (CFStringRef s = CFStringCreateWithCharacters(nullptr, &c, 1)) {
    CFIndex used = 0;
    CFStringGetBytes(s, CFRangeMake(0, 1), kCFStringEncodingMacRoman, '?', false, &out, 1, &used);
    CFRelease(s);
  }
  return out;
}

template <int N>
void AppendChar(ShortString<N>& to, UniChar c) {
  if (to.len() < N) to += ShortChar(c);
}

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

}  // namespace

// ---------------------------------------------------------------------------
// The scanner

THTMLParser::THTMLParser(CFTreeRef root, const UniChar* text, SInt32 length)
    : root(root), text(text), length(text != nullptr && length > 0 ? length : 0) {}

void THTMLParser::ResetTracking() {
  tagName.Clear();
  counter = 0;
  stack.clear();
  inTag = inComment = commentMarkup = commentHasAt = false;
  capture = captureSpace = textFlag = false;
  attributeCount = attributeState = 0;
  quote = 0;
  rawUntil.clear();
  if (root != nullptr) CFTreeRemoveAllChildren(root);
}

void THTMLParser::Parse() {
  ResetTracking();
  std::string word;
  for (SInt32 offset = 0; offset < length; ++offset) {
    if (!rawUntil.empty()) {
      SkipRawText(offset);
      if (offset >= length) break;
    }
    const UniChar c = text[offset];
    if (IsWordChar(c)) {
      word += static_cast<char>(c);
      continue;
    }
    HandleOffset(offset, c, word);
    word.clear();
  }
  stack.clear();
}

// The text of a script or style element is no markup: it runs to the
// element's own closing tag.
void THTMLParser::SkipRawText(SInt32& offset) {
  for (; offset < length; ++offset)
    if (text[offset] == '<' && At(offset + 1) == '/' && NameAt(offset + 2) == rawUntil) break;
  rawUntil.clear();
}

std::string THTMLParser::NameAt(SInt32 offset) const {
  std::string name;
  for (SInt32 i = offset; i < length && IsWordChar(text[i]) && name.size() < 63; ++i)
    name += static_cast<char>(std::tolower(text[i]));
  return name;
}

void THTMLParser::HandleOffset(SInt32 offset, UniChar c, const std::string& word) {
  const UniChar next = At(offset + 1);
  if (capture && !inTag && !inComment && !stack.empty()) Capture(c, word);
  if (!inTag && !inComment && c == '<' && next != '/' && next != '!') {
    tagName.Clear();
    tagStart = offset;
    tagEnd = 0;
    inTag = true;
    textFlag = true;
    capture = false;
    for (TagAttributeInfo& entry : attributes) entry = TagAttributeInfo{};
    attributeCount = attributeState = 0;
    quote = 0;
    return;
  }
  if (!inComment && !inTag && c == '<' && next == '!') {
    inComment = true;
    commentMarkup = At(offset + 2) == '-' && At(offset + 3) == '-';
    commentHasAt = false;
    capture = false;
    tagName.Clear();
    tagStart = offset;
    return;
  }
  if (inComment) {
    if (c == '@') commentHasAt = true;
    if (tagName.empty() && !word.empty()) tagName = Str63(Lower(word));
    const bool ends =
        c == '>' && (!commentMarkup || (offset - tagStart >= 5 && At(offset - 1) == '-' && At(offset - 2) == '-'));
    if (ends) {
      inComment = false;
      if (commentHasAt) {
        ++counter;
        if (TagNodeInfoPtr node = NewTag()) {
          node->tagRange.length = offset;
          AppendTag(node, kHTMLCommentNodeType, false);
        }
      }
    }
    return;
  }
  if (inTag && c == '>' && At(offset - 1) == '/' && attributeState != 2) {
    inTag = false;
    tagEnd = offset;
    ++counter;
    if (TagNodeInfoPtr node = NewTag()) {
      node->tagRange.length = offset;
      AppendTag(node, kHTMLTagNodeType, false);
    }
    return;
  }
  if (!inTag && c == '<' && next == '/') {
    capture = false;
    PopTag(NameAt(offset + 2), offset);
    return;
  }

  if (inTag && !tagName.empty() && attributeCount < kHTMLMaximumAttributes) {
    TagAttributeInfo& entry = attributes[attributeCount + 1];
    if (attributeState == 2) {
      for (char w : word) AppendChar(entry.value, static_cast<UniChar>(w));
      if (c == quote) {
        attributeState = 0;
        ++attributeCount;
        if (entry.name == "id") attributes[0] = entry;
      } else {
        AppendChar(entry.value, c);
      }
    } else if (attributeState == 1 && !word.empty()) {
      // An unquoted value.
      entry.value = Str31(word);
      ++attributeCount;
      if (entry.name == "id") attributes[0] = entry;
      attributeState = 0;
    } else if (attributeState == 0 && !word.empty()) {
      if (!entry.name.empty()) {
        // The last one had no value: the word names the next attribute.
        ++attributeCount;
        if (attributeCount < kHTMLMaximumAttributes) attributes[attributeCount + 1].name = Str15(Lower(word));
      } else {
        entry.name = Str15(Lower(word));
      }
    }
    if (attributeState == 0 && c == '=' && attributeCount < kHTMLMaximumAttributes &&
        !attributes[attributeCount + 1].name.empty())
      attributeState = 1;
    else if (attributeState == 1 && (c == '"' || c == '\''))
      attributeState = 2, quote = c;
  }
  if (inTag && tagName.empty() && !word.empty()) tagName = Str63(Lower(word));

  if (inTag && c == '>' && attributeState != 2) {
    if (attributeState == 0 && attributeCount < kHTMLMaximumAttributes &&
        !attributes[attributeCount + 1].name.empty())
      ++attributeCount;  // a last attribute without a value
    inTag = false;
    tagEnd = offset;
    ++counter;
    const std::string name = tagName.str();
    TagNodeInfoPtr node = NewTag();
    if (node == nullptr) return;
    node->tagRange.length = offset;
    if (name.empty() || IsVoidElement(name)) {
      AppendTag(node, kHTMLTagNodeType, false);
      return;
    }
    capture = name[0] == 'h';
    captureSpace = false;
    AppendTag(node, kHTMLTagNodeType, true);
    if (name == "script" || name == "style") rawUntil = name;
  }
}

TagNodeInfoPtr THTMLParser::NewTag() {
  auto* node = reinterpret_cast<TagNodeInfoPtr>(NewPtrClear(sizeof(TagNodeInfo)));
  if (node == nullptr) return nullptr;
  node->tagName = tagName;
  node->tagIndex = counter;
  node->startRange = CFRangeMake(tagStart, 0);
  node->tagRange = CFRangeMake(tagStart, 0);
  node->tagID = attributes[0].value;
  node->attributeCount = attributeCount;
  std::copy(std::begin(attributes), std::end(attributes), node->attributes);
  node->textFlag = textFlag;
  return node;
}

void THTMLParser::AppendTag(TagNodeInfoPtr node, UInt32 type, Boolean container) {
  if (node == nullptr) return;
  if (root == nullptr || stack.size() >= size_t(kHTMLMaximumDepth)) {
    DisposePtr(reinterpret_cast<Ptr>(node));
    return;
  }
  CFTreeRef parent = stack.empty() ? root : stack.back()->treeNode;
  const SInt32 parentIndex = stack.empty() ? 0 : stack.back()->tagIndex;
  NodeInfoPtr record = BrackenrowNewNode(node, sizeof(TagNodeInfo), type, node->tagIndex, parentIndex, false);
  if (record == nullptr) {
    DisposePtr(reinterpret_cast<Ptr>(node));
    return;
  }
  record->OPEN = true;
  CFTreeRef child = BrackenrowCreateTree(record);
  if (child == nullptr) {
    BrackenrowReleaseNode(record);
    return;
  }
  node->treeNode = child;
  CFTreeAppendChild(parent, child);
  CFRelease(child);  // the parent holds it
  if (container) stack.push_back(node);
}

void THTMLParser::PopTag(const std::string& name, SInt32 offset) {
  auto open = std::find_if(stack.rbegin(), stack.rend(),
                           [&](TagNodeInfoPtr node) { return node->tagName.view() == name; });
  if (open == stack.rend()) return;
  const size_t keep = stack.size() - size_t(open - stack.rbegin()) - 1;
  for (size_t i = keep; i < stack.size(); ++i) stack[i]->tagRange.length = offset;
  stack.resize(keep);
}

// A heading's text, its runs of spaces and line breaks as one space.
void THTMLParser::Capture(UniChar c, const std::string& word) {
  TagNodeInfo& open = *stack.back();
  for (char w : word) {
    if (captureSpace && !open.tagText.empty()) AppendChar(open.tagText, ' ');
    captureSpace = false;
    AppendChar(open.tagText, static_cast<UniChar>(w));
  }
  if (c == '<') {
    textFlag = false;
    return;
  }
  if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
    captureSpace = true;
    return;
  }
  if (captureSpace && !open.tagText.empty()) AppendChar(open.tagText, ' ');
  captureSpace = false;
  AppendChar(open.tagText, c);
}

// ---------------------------------------------------------------------------
// Rows

TagNodeInfoPtr HTMLViewerNodeInfo(CFTreeRef node) { return static_cast<TagNodeInfoPtr>(BrackenrowGetNodeData(node)); }

std::string HTMLViewerRowText(const TagNodeInfo& node) {
  if (!node.tagText.empty()) return node.tagText.str() + " (" + node.tagName.str() + ")";
  if (!node.tagID.empty()) return node.tagID.str() + " (" + node.tagName.str() + ")";
  return node.tagName.str();
}

void HTMLViewerRowIcon(const TagNodeInfo& node, OSType& creator, OSType& type) {
  const std::string name = node.tagName.str();
  creator = kHTMLViewerCreator;
  static const struct {
    const char* name;
    OSType type;
  } kNames[] = {{"form", kHTMLIconForm},      {"head", kHTMLIconHead},       {"body", kHTMLIconHead},
                {"html", kHTMLIconHTML},      {"img", kHTMLIconImage},       {"input", kHTMLIconInput},
                {"li", kHTMLIconListItem},    {"object", kHTMLIconObject},   {"p", kHTMLIconParagraph},
                {"script", kHTMLIconScript},  {"style", kHTMLIconStyle},     {"table", kHTMLIconTable},
                {"td", kHTMLIconTableCell},   {"tr", kHTMLIconTableRow},     {"a", kHTMLIconLink}};
  for (const auto& entry : kNames)
    if (name == entry.name) {
      type = entry.type;
      return;
    }
  if (!name.empty() && name[0] == 'h') {
    type = kHTMLIconHeading;
    return;
  }
  if (node.textFlag) {
    creator = kHTMLClippingCreator;
    type = kHTMLClippingType;
    return;
  }
  type = kHTMLIconGeneric;
}

namespace {

void CollectListed(CFTreeRef tree, std::vector<TagNodeInfoPtr>& out) {
  for (CFTreeRef child = CFTreeGetFirstChild(tree); child != nullptr; child = CFTreeGetNextSibling(child)) {
    if (TagNodeInfoPtr info = HTMLViewerNodeInfo(child)) {
      const bool listed = info->tagName == "script" || info->tagName == "style" || !info->tagID.empty();
      if (listed) out.push_back(info);
    }
    CollectListed(child, out);
  }
}

}  // namespace

std::vector<TagNodeInfoPtr> HTMLViewerListedNodes(CFTreeRef tree) {
  std::vector<TagNodeInfoPtr> out;
  if (tree != nullptr) CollectListed(tree, out);
  return out;
}

void LoadHTMLIcons() {
  for (const auto& icon : kHTMLIcons) {
    // A missing file registers nothing; the kind then shows no image.
    IconRef ref = RegisterIconRef(kHTMLViewerCreator, icon.type, icon.file, kHTMLViewerImages);
    if (ref != nullptr) ReleaseIconRef(ref);
  }
}

void HTMLViewerSetSelectionImage(CGImageRef image) { gSelectionImage = image; }

// ---------------------------------------------------------------------------
// The list and the pane

void THTMLBrowser::Create(ControlRef browser) {
  TBrowser::Create(browser);
  SetClassString("THTMLBrowser");
  if (VIEW != nullptr && gSelectionImage != nullptr) BrackenrowSetSelectionImage(VIEW, gSelectionImage);
}

void THTMLBrowser::ItemNotification(void* data, UInt32, DataBrowserItemID, DataBrowserItemNotification message) {
  if (message != kDataBrowserItemSelected) return;
  auto* info = static_cast<TagNodeInfoPtr>(data);
  if (info == nullptr || editor == nullptr) return;
  editor->SetHiliteRanage(CFRangeMake(info->tagRange.location, info->tagRange.length));
  if (WEReference we = editor->GetWE())
    WESetSelection(SInt32(info->tagRange.location), SInt32(info->tagRange.location), we);
  if (VIEW != nullptr) HIViewSetNeedsDisplay(VIEW, true);
}

void THTMLBrowser::DrawItem(void* data, UInt32, Boolean container, DataBrowserItemID item,
                            DataBrowserPropertyID property, DataBrowserItemState state, CGRect bounds,
                            CGContextRef context) {
  auto* info = static_cast<TagNodeInfoPtr>(data);
  if (info == nullptr) return;
  OSType creator = 0, type = 0;
  HTMLViewerRowIcon(*info, creator, type);
  IconRef icon = nullptr;
  if (GetIconRef(kOnSystemDisk, creator, type, &icon) != noErr) icon = nullptr;
  const std::string row = HTMLViewerRowText(*info);
  CFStringRef text = CFStringCreateWithBytes(nullptr, reinterpret_cast<const UInt8*>(row.data()), CFIndex(row.size()),
                                             kCFStringEncodingMacRoman, false);
  StandardTextPropertyDrawHandler(icon, text, container, property, item, state, bounds, context, VIEW);
  if (text != nullptr) CFRelease(text);
  if (icon != nullptr) ReleaseIconRef(icon);
}

Boolean THTMLBrowser::CompareItem(NodeInfoPtr node1, NodeInfoPtr node2, DataBrowserPropertyID) {
  auto* a = node1 != nullptr ? static_cast<TagNodeInfoPtr>(node1->DATA) : nullptr;
  auto* b = node2 != nullptr ? static_cast<TagNodeInfoPtr>(node2->DATA) : nullptr;
  if (a == nullptr || b == nullptr) return a != nullptr;
  const std::string ta = Lower(HTMLViewerRowText(*a)), tb = Lower(HTMLViewerRowText(*b));
  return ta != tb ? ta < tb : a->tagIndex < b->tagIndex;
}

void THTMLViewer::Create(const Str63& name, IBNibRef nib) {
  TPane::Create(name, nib);
  SetClassString("THTMLViewer");
  if (paneView == nullptr) return;
  browser = new THTMLBrowser();
  browser->SetOptions(kBrackenrowSortRows | kBrackenrowColorBackground);
  browser->Create(HIViewFind(kHTMLBrowserID, kHTMLBrowserSignature, nibWindow));
}

void THTMLViewer::Release() {
  if (browser != nullptr && TBrowser::IsLive(browser)) browser->Release();
  browser = nullptr;
  if (tree != nullptr) CFRelease(tree);
  tree = nullptr;
  TPane::Release();
}

std::u16string HTMLViewerCopyEditorText(TSourceEditor* editor) {
  std::u16string out;
  if (editor == nullptr || editor->view == nullptr) return out;
  Ptr block = editor->view->CopyText('utxt');
  if (block == nullptr) return out;
  out.assign(reinterpret_cast<const char16_t*>(block), size_t(GetPtrSize(block)) / sizeof(UniChar));
  DisposePtr(block);
  return out;
}

void THTMLViewer::Parse(TSourceEditor* editor, CFTreeRef& target) {
  if (target == nullptr) target = BrackenrowCreateTree(nullptr);
  if (target == nullptr) return;
  if (target != tree) {
    if (tree != nullptr) CFRelease(tree);
    CFRetain(target);
    tree = target;
  }
  const std::u16string text = HTMLViewerCopyEditorText(editor);
  auto* parser = new THTMLParser(target, reinterpret_cast<const UniChar*>(text.data()), SInt32(text.size()));
  parser->Parse();
  parser->Release();
  Load(target, editor);
}

void THTMLViewer::Load(CFTreeRef from, TSourceEditor* editor) {
  if (browser == nullptr) return;
  browser->editor = editor;
  browser->Clear();
  for (TagNodeInfoPtr info : HTMLViewerListedNodes(from)) {
    auto* copy = reinterpret_cast<TagNodeInfoPtr>(NewPtrClear(sizeof(TagNodeInfo)));
    if (copy == nullptr) break;
    *copy = *info;
    copy->treeNode = nullptr;
    browser->NewItem(copy, sizeof(TagNodeInfo), kHTMLTagNodeType, 0);
  }
  if (browser->VIEW != nullptr) HIViewSetNeedsDisplay(browser->VIEW, true);
}

void THTMLViewer::SetOptions(HTMLViewerOptions value) { options = value; }

THTMLViewer* CreateHTMLViewer(IBNibRef nib) {
  auto* viewer = new THTMLViewer();
  viewer->Create(kHTMLViewerPaneResource, nib);
  return viewer;
}
