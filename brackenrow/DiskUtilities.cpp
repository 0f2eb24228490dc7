// DiskUtilities: trees as property lists of 32-byte big-endian record headers
// followed by their payloads.
#include "brackenrow/Brackenrow.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "CFArray.h"
#include "CFByteOrder.h"
#include "CFData.h"
#include "CFPropertyList.h"
#include "CFURL.h"
#include "MacMemory.h"
#include "PascalCarbonCommon.h"

namespace {

// The stored header, field by field, with 32-bit pointer words.
struct __attribute__((packed)) NodeHeader {
  SInt32 INDEX;
  SInt32 PARENT;
  SInt16 GROUP;
  UInt8 CONTAINER;
  UInt8 OPEN;
  UInt32 DATATYPE;
  UInt32 DATA;
  SInt32 DATALENGTH;
  UInt32 RELEASE;
  UInt32 CONTEXT;
};
static_assert(sizeof(NodeHeader) == kNodeHeaderSize, "the stored record header is 32 bytes");
static_assert(offsetof(NodeHeader, GROUP) == 8 && offsetof(NodeHeader, CONTAINER) == 10 &&
                  offsetof(NodeHeader, OPEN) == 11 && offsetof(NodeHeader, DATATYPE) == 12 &&
                  offsetof(NodeHeader, DATA) == 16 && offsetof(NodeHeader, DATALENGTH) == 20 &&
                  offsetof(NodeHeader, RELEASE) == 24 && offsetof(NodeHeader, CONTEXT) == 28,
              "stored header layout");

enum : SInt16 { kHostToBig = 1, kBigToHost = 2 };

// Converts a header in place between host and big-endian order (the same
// swap either way); the Booleans and the pointer words are left alone.
void SwapNodeByteOrder(SInt16 order, NodeHeader& node) {
  auto swap32 = [order](UInt32 v) { return order == kHostToBig ? CFSwapInt32HostToBig(v) : CFSwapInt32BigToHost(v); };
  auto swap16 = [order](UInt16 v) { return order == kHostToBig ? CFSwapInt16HostToBig(v) : CFSwapInt16BigToHost(v); };
  node.INDEX = SInt32(swap32(UInt32(node.INDEX)));
  node.PARENT = SInt32(swap32(UInt32(node.PARENT)));
  node.DATATYPE = swap32(node.DATATYPE);
  node.DATALENGTH = SInt32(swap32(UInt32(node.DATALENGTH)));
  node.GROUP = SInt16(swap16(UInt16(node.GROUP)));
}

// How many bytes of a payload may be read: the length asked for, but never
// past the end of a memory block.
CFIndex ReadableLength(const void* data, SInt32 length) {
  CFIndex n = std::max<SInt32>(length, 0);
  if (IsPointerValid(static_cast<Ptr>(const_cast<void*>(data))))
    n = std::min<CFIndex>(n, GetPtrSize(static_cast<Ptr>(const_cast<void*>(data))));
  return n;
}

void AppendChildToPropertyList(CFTreeRef, NodeInfoPtr node, void* context) {
  auto* convert = static_cast<ConvertTreeContextPtr>(context);
  CFMutableDataRef data = CFDataCreateMutable(nullptr, 0);
  if (data == nullptr) return;
  SInt32 length = node->DATALENGTH;

  // Pointer words have no meaning outside this process: they are stored as 0.
  NodeHeader header = {};
  header.INDEX = node->INDEX;
  header.PARENT = node->PARENT;
  header.GROUP = node->GROUP;
  header.CONTAINER = node->CONTAINER ? 1 : 0;
  header.OPEN = node->OPEN ? 1 : 0;
  header.DATATYPE = node->DATATYPE;
  header.DATALENGTH = node->DATALENGTH;
  SwapNodeByteOrder(kHostToBig, header);
  CFDataAppendBytes(data, reinterpret_cast<const UInt8*>(&header), kNodeHeaderSize);

  if (node->DATA != nullptr) {
    void* translated = nullptr;
    if (convert->TRANSLATE != nullptr) translated = convert->TRANSLATE(node, kHostToBig, node->DATA, length, convert->USERCONTEXT);
    const void* bytes = translated ? translated : node->DATA;
    CFDataAppendBytes(data, static_cast<const UInt8*>(bytes), ReadableLength(bytes, length));
    if (translated != nullptr && translated != node->DATA) ReleasePtr(translated);
  }
  CFArrayAppendValue(convert->PROPERTYLIST, data);
  CFRelease(data);
}

// True when the list is an array of CFData elements each holding at least
// a whole header.
bool IsNodeList(CFTypeRef list) {
  if (list == nullptr || CFGetTypeID(list) != CFArrayGetTypeID()) return false;
  auto array = static_cast<CFArrayRef>(list);
  for (CFIndex i = 0, count = CFArrayGetCount(array); i < count; ++i) {
    CFTypeRef element = CFArrayGetValueAtIndex(array, i);
    if (element == nullptr || CFGetTypeID(element) != CFDataGetTypeID()) return false;
    if (CFDataGetLength(static_cast<CFDataRef>(element)) < kNodeHeaderSize) return false;
  }
  return true;
}

// The nodes read so far by INDEX, answering what a children-first walk of the
// tree built so far would find first, without walking it for every record.
class NodeIndex {
 public:
  explicit NodeIndex(CFTreeRef root) : root_(root) { places_[root] = Place{0, 0}; }

  CFTreeRef Find(SInt32 index) const {
    if (index == 0) return root_;
    auto it = first_.find(index);
    return it == first_.end() ? root_ : it->second;
  }

  void Add(CFTreeRef node, CFTreeRef parent, SInt32 index) {
    places_[node] = Place{places_[parent].depth + 1, ++serial_};
    if (index == 0) return;
    auto [it, added] = first_.try_emplace(index, node);
    // A second node with the same INDEX (a damaged or merged list) takes over
    // only where a children-first walk would meet it before the current one.
    if (!added && (it->second == parent || Precedes(node, it->second))) it->second = node;
  }

 private:
  struct Place {
    size_t depth;
    size_t serial;  // children are only ever appended: serials order siblings
  };

  // Whether a comes before b in a children-first walk.
  bool Precedes(CFTreeRef a, CFTreeRef b) const {
    size_t da = places_.at(a).depth, db = places_.at(b).depth;
    CFTreeRef x = a, y = b;
    while (da > db) { x = CFTreeGetParent(x); --da; }
    while (db > da) { y = CFTreeGetParent(y); --db; }
    if (x == y) return a != x;  // the descendant comes first
    while (CFTreeGetParent(x) != CFTreeGetParent(y)) {
      x = CFTreeGetParent(x);
      y = CFTreeGetParent(y);
    }
    return places_.at(x).serial < places_.at(y).serial;
  }

  CFTreeRef root_;
  size_t serial_ = 0;
  std::unordered_map<CFTreeRef, Place> places_;
  std::unordered_map<SInt32, CFTreeRef> first_;
};

}  // namespace

CFTypeRef CFTreeConvertToProperyList(CFTreeRef tree, TreeTranslateCallback translate, void* userContext) {
  ConvertTreeContext convert{CFArrayCreateMutable(nullptr, 0, &kCFTypeArrayCallBacks), translate, userContext};
  if (convert.PROPERTYLIST == nullptr) return nullptr;
  if (tree != nullptr && CFTreeGetChildCount(tree) > 0)
    CFTreeApplyFunctionToAllChildren(tree, AppendChildToPropertyList, true, &convert);
  if (CFArrayGetCount(convert.PROPERTYLIST) == 0) {
    CFRelease(convert.PROPERTYLIST);
    return nullptr;
  }
  return convert.PROPERTYLIST;
}

CFTreeRef CFTreeCreateFromPropertyList(CFTypeRef propertyList, TreeTranslateCallback translate, void* context) {
  if (!IsNodeList(propertyList)) return nullptr;
  auto list = static_cast<CFArrayRef>(propertyList);
  CFTreeRef root = BrackenrowCreateTree(nullptr);
  if (root == nullptr) return nullptr;
  NodeIndex index(root);
  std::vector<CFTreeRef> placed;  // in the order read
  SInt32 largest = 0;

  for (CFIndex i = 0, count = CFArrayGetCount(list); i < count; ++i) {
    auto element = static_cast<CFDataRef>(CFArrayGetValueAtIndex(list, i));
    const UInt8* bytes = CFDataGetBytePtr(element);
    CFIndex n = CFDataGetLength(element) - kNodeHeaderSize;

    NodeHeader header;
    std::memcpy(&header, bytes, kNodeHeaderSize);
    SwapNodeByteOrder(kBigToHost, header);
    NodeInfoPtr record = BrackenrowNewNode(nullptr, header.DATALENGTH, header.DATATYPE, header.INDEX,
                                           header.PARENT, header.CONTAINER != 0);
    if (record == nullptr) {
      CFRelease(root);
      return nullptr;
    }
    record->GROUP = header.GROUP;
    record->OPEN = header.OPEN != 0;

    if (n > 0) {
      Ptr block = NewPtr(n);
      if (block == nullptr) {
        BrackenrowReleaseNode(record);
        CFRelease(root);
        return nullptr;
      }
      std::memcpy(block, bytes + kNodeHeaderSize, size_t(n));
      record->DATALENGTH = SInt32(std::min<CFIndex>(n, 0x7fffffff));
      record->DATA = block;
      if (translate != nullptr) {
        void* translated = translate(record, kBigToHost, block, record->DATALENGTH, context);
        if (translated != nullptr && translated != block) {
          record->DATA = translated;
          ReleasePtr(block);
        }
      }
    }

    CFTreeRef parent = index.Find(record->PARENT);
    CFTreeRef node = BrackenrowCreateTree(record);
    if (node == nullptr) {
      BrackenrowReleaseNode(record);
      CFRelease(root);
      return nullptr;
    }
    CFTreeAppendChild(parent, node);
    CFRelease(node);
    index.Add(node, parent, record->INDEX);
    placed.push_back(node);
    largest = std::max({largest, record->INDEX, record->PARENT});
  }
  // A clean tree: one node per number, each PARENT its node's parent. A
  // record at the top keeps a PARENT outside the list (a group file's rows
  // name the group's own row, which is not stored), but not one of a record
  // of the list, which would place it elsewhere when read again.
  std::unordered_set<SInt32> taken;
  for (CFTreeRef node : placed) {
    NodeInfoPtr record = BrackenrowGetNode(node);
    if (record->INDEX != 0 && !taken.insert(record->INDEX).second && largest < 0x7fffffff) record->INDEX = ++largest;
  }
  for (CFTreeRef node : placed) {
    NodeInfoPtr record = BrackenrowGetNode(node);
    NodeInfoPtr parent = BrackenrowGetNode(CFTreeGetParent(node));
    if (parent != nullptr)
      record->PARENT = parent->INDEX;
    else if (taken.count(record->PARENT) > 0)
      record->PARENT = 0;
  }
  return root;
}

OSStatus CFTreeWritePropertyList(const FSRef& where, CFTreeRef tree, TreeTranslateCallback translate, void* context) {
  CFURLRef url = CFURLCreateFromFSRef(nullptr, &where);
  if (url == nullptr) return Err = fnfErr;
  CFTypeRef list = CFTreeConvertToProperyList(tree, translate, context);
  if (list != nullptr) {
    CFDataRef xml = CFPropertyListCreateXMLData(nullptr, list);
    if (xml != nullptr) {
      // Through a temporary file; the File Manager's status says why a
      // write failed (a full disk, a folder that may not be written).
      Err = FSRefWriteFileAtomically(&where, CFDataGetBytePtr(xml), size_t(CFDataGetLength(xml)));
      CFRelease(xml);
    } else {
      Err = paramErr;
    }
    CFRelease(list);
  } else {
    // No records: the file is emptied rather than given an empty array.
    HFSUniStr255 fork;
    Err = FSGetDataForkName(&fork);
    if (Err == noErr) Err = FSDeleteFork(&where, fork.length, fork.unicode);
  }
  CFRelease(url);
  return Err;
}

CFTreeRef CFTreeReadPropertyList(const FSRef& where, TreeTranslateCallback translate, void* context) {
  CFURLRef url = CFURLCreateFromFSRef(nullptr, &where);
  if (url == nullptr) return nullptr;
  CFDataRef data = nullptr;
  SInt32 code = 0;
  Boolean read = CFURLCreateDataAndPropertiesFromResource(nullptr, url, &data, nullptr, nullptr, &code);
  CFRelease(url);
  if (!read || data == nullptr) return nullptr;
  CFTreeRef tree = nullptr;
  if (CFDataGetLength(data) > 0) {
    CFPropertyListRef list = CFPropertyListCreateFromXMLData(nullptr, data, kCFPropertyListImmutable, nullptr);
    if (list != nullptr) {
      tree = CFTreeCreateFromPropertyList(list, translate, context);
      CFRelease(list);
    }
  }
  CFRelease(data);
  return tree;
}

// --- A browser's tree ------------------------------------------------------------

#include "brackenrow/BrowserData.h"

CFTypeRef BrackenrowGetPropertyList(ControlRef browser, TreeTranslateCallback translate, void* context) {
  BrowserDataPtr data = GetBrowserData(browser);
  if (data == nullptr || data->TREE == nullptr) return nullptr;
  return CFTreeConvertToProperyList(data->TREE, translate, context);
}

OSStatus BrackenrowSave(const FSRef& where, ControlRef browser) {
  BrowserDataPtr data = GetBrowserData(browser);
  if (data == nullptr) return Err;
  if (data->MODIFIED <= 0) {
    data->MODIFIED = 0;
    return noErr;
  }
  if (data->TREE == nullptr) return paramErr;
  const OSStatus status = CFTreeWritePropertyList(where, data->TREE, nullptr, nullptr);
  // Changes that did not reach the file are still unsaved.
  if (status == noErr) data->MODIFIED = 0;
  return status;
}

OSStatus BrackenrowLoad(const FSRef& where, ControlRef browser) {
  BrowserDataPtr data = GetBrowserData(browser);
  if (data == nullptr) return Err;
  CFTreeRef tree = CFTreeReadPropertyList(where, nullptr, nullptr);
  if (tree == nullptr) return eofErr;
  // The browser owns what it read: the old tree and its rows make way.
  SetBrowserTree(data, tree, true);
  if (CFTreeGetChildCount(tree) > 0) ExpandTree(tree, kDataBrowserNoItem, browser);
  return noErr;
}
