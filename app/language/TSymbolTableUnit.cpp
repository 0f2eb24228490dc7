// TSymbolTableUnit: symbol trees, their stored records and their walks.
#include "TSymbolTableUnit.h"

#include <algorithm>
#include <cstring>

#include "CFArray.h"
#include "CFByteOrder.h"
#include "CFData.h"
#include "MacMemory.h"
#include "PascalCarbonCommon.h"

namespace {

enum : SInt16 { kToStorage = 1, kFromStorage = 2 };

// Children before their container, siblings in order, without recursion:
// symbol chains can be as deep as a file is long. The function returns false
// to end the walk.
template <typename Visit>
void WalkChildrenFirst(CFTreeRef tree, Visit visit) {
  if (tree == nullptr) return;
  auto deepest = [](CFTreeRef node) {
    for (CFTreeRef child = CFTreeGetFirstChild(node); child != nullptr; child = CFTreeGetFirstChild(node))
      node = child;
    return node;
  };
  CFTreeRef first = CFTreeGetFirstChild(tree);
  if (first == nullptr) return;
  CFTreeRef node = deepest(first);
  while (node != nullptr && node != tree) {
    // The next node is found before the visit, so the visitor may not change
    // the tree, but the walk does not depend on what the record holds.
    CFTreeRef sibling = CFTreeGetNextSibling(node);
    CFTreeRef next = sibling ? deepest(sibling) : CFTreeGetParent(node);
    if (!visit(node)) return;
    node = next;
  }
}

SymbolInfoPtr SymbolOf(CFTreeRef node) {
  NodeInfoPtr record = BrackenrowGetNode(node);
  return record ? static_cast<SymbolInfoPtr>(record->DATA) : nullptr;
}

// Only the length byte and the characters: what lies past them in the
// buffer is left over from earlier text and must not reach the file.
template <int N>
void CopyField(const ShortString<N>& field, UInt8* at) {
  const int length = field.s[0] > N ? N : field.s[0];
  at[0] = UInt8(length);
  std::memcpy(at + 1, field.s + 1, size_t(length));
}

// Reads a length-prefixed field, cutting a length byte beyond its capacity.
template <int N>
void ReadField(const UInt8* at, ShortString<N>& field) {
  std::memcpy(field.s, at, N + 1);
  if (field.s[0] > N) field.s[0] = N;
}

// Whether the element is a stored symbol record: a header of type 'SYMB'
// followed by exactly one stored image.
bool IsSymbolElement(CFTypeRef element) {
  if (element == nullptr || CFGetTypeID(element) != CFDataGetTypeID()) return false;
  auto data = static_cast<CFDataRef>(element);
  if (CFDataGetLength(data) != CFIndex(kNodeHeaderSize) + CFIndex(kSymbolInfoStoredSize)) return false;
  const UInt8* bytes = CFDataGetBytePtr(data);
  UInt32 type = (UInt32(bytes[12]) << 24) | (UInt32(bytes[13]) << 16) | (UInt32(bytes[14]) << 8) | bytes[15];
  return type == kSymbolNodeType;
}

}  // namespace

// ---------------------------------------------------------------------------
// Stored records

void SymbolInfoToStoredBytes(const SymbolInfo& info, UInt8 (&bytes)[kSymbolInfoStoredSize]) {
  std::memset(bytes, 0, sizeof bytes);
  CopyField(info.symbolName, bytes + 0);
  CopyField(info.parentName, bytes + 64);
  UInt16 style = CFSwapInt16HostToBig(UInt16(info.styleIndex));
  std::memcpy(bytes + 128, &style, 2);
  CopyField(info.definitionName, bytes + 130);
  CopyField(info.source, bytes + 162);
  CopyField(info.fileName, bytes + 291);
}

Boolean SymbolInfoFromStoredBytes(const UInt8* bytes, CFIndex length, SymbolInfo& info) {
  if (bytes == nullptr || length != kSymbolInfoStoredSize) return false;
  SymbolInfo read = {};
  ReadField(bytes + 0, read.symbolName);
  ReadField(bytes + 64, read.parentName);
  UInt16 style;
  std::memcpy(&style, bytes + 128, 2);
  read.styleIndex = SInt16(CFSwapInt16BigToHost(style));
  ReadField(bytes + 130, read.definitionName);
  ReadField(bytes + 162, read.source);
  ReadField(bytes + 291, read.fileName);
  info = read;
  return true;
}

// ---------------------------------------------------------------------------
// The table

TSymbolTable::~TSymbolTable() {
  if (table != nullptr) CFRelease(table);
}

void TSymbolTable::Create(SyntaxLibraryPtr library) {
  this->library = library;
  if (table == nullptr) table = BrackenrowCreateTree(nullptr);
}

void TSymbolTable::Release() { delete this; }

SymbolInfoPtr TSymbolTable::Add(const Str63& name, const Str63& parentName, const Str63& fileName,
                                const SyntaxStandardData& definition) {
  if (table == nullptr) return nullptr;
  // Indexes must stay unique within the table: at the top of the range the
  // counter does not wrap but the table is renumbered from 1.
  if (counter == 0x7fffffff) {
    counter = 0;
    WalkChildrenFirst(table, [this](CFTreeRef node) {
      if (NodeInfoPtr record = BrackenrowGetNode(node)) record->INDEX = ++counter;
      return true;
    });
    WalkChildrenFirst(table, [](CFTreeRef node) {
      NodeInfoPtr parent = BrackenrowGetNode(CFTreeGetParent(node));
      if (NodeInfoPtr record = BrackenrowGetNode(node)) record->PARENT = parent ? parent->INDEX : 0;
      return true;
    });
  }
  ++counter;
  modified = true;

  auto info = reinterpret_cast<SymbolInfoPtr>(NewPtrClear(sizeof(SymbolInfo)));
  if (info == nullptr) return nullptr;
  info->symbolName = name;
  info->parentName = parentName;
  info->fileName = fileName;
  info->definitionName = Str31(definition.definitionName);
  info->styleIndex = definition.styleData.styleIndex;
  info->library = library;

  CFTreeRef container;
  size_t depth = 0;  // of the container on the path
  if (insertionPoint == nullptr || parentName.empty()) {
    insertionPoint = table;
    container = table;
  } else {
    container = FindParentOnPath(parentName, depth);
  }
  NodeInfoPtr parentRecord = BrackenrowGetNode(container);
  SInt32 parentIndex = parentRecord ? parentRecord->INDEX : 0;

  NodeInfoPtr record = BrackenrowNewNode(info, kSymbolInfoStoredSize, kSymbolNodeType, counter, parentIndex, false);
  if (record == nullptr) {
    ReleasePtr(info);
    return nullptr;
  }
  CFTreeRef node = BrackenrowCreateTree(record);
  if (node == nullptr) {
    BrackenrowReleaseNode(record);
    return nullptr;
  }
  CFTreeAppendChild(container, node);
  CFRelease(node);
  insertionPoint = node;
  CutPath(container == table ? 0 : depth + 1);
  ExtendPath(node, name);
  return info;
}

namespace {

UInt64 NameHash(const Str63& name) {
  UInt64 hash = 1469598103934665603ull;
  for (int i = 0; i <= name.len(); ++i) hash = (hash ^ UInt64(name.s[i])) * 1099511628211ull;
  return hash;
}

}  // namespace

CFTreeRef TSymbolTable::FindParentOnPath(const Str63& name, size_t& depth) {
  if (path_.empty() || path_.back().node != insertionPoint) RebuildPath();
  if (auto found = onPath_.find(NameHash(name)); found != onPath_.end())
    for (auto at = found->second.rbegin(); at != found->second.rend(); ++at) {
      SymbolInfoPtr info = SymbolOf(path_[*at].node);
      if (info != nullptr && info->symbolName == name) {
        depth = *at;
        return path_[*at].node;
      }
    }
  // None: the latest symbol holds the new one.
  if (path_.empty()) return table;
  depth = path_.size() - 1;
  return insertionPoint;
}

void TSymbolTable::RebuildPath() {
  CutPath(0);
  std::vector<CFTreeRef> up;
  for (CFTreeRef node = insertionPoint; node != nullptr && BrackenrowGetNode(node) != nullptr;
       node = CFTreeGetParent(node))
    up.push_back(node);
  for (auto node = up.rbegin(); node != up.rend(); ++node) {
    SymbolInfoPtr info = SymbolOf(*node);
    ExtendPath(*node, info != nullptr ? info->symbolName : Str63());
  }
}

void TSymbolTable::CutPath(size_t length) {
  while (path_.size() > length) {
    auto found = onPath_.find(path_.back().hash);
    if (found != onPath_.end()) {
      found->second.pop_back();
      if (found->second.empty()) onPath_.erase(found);
    }
    path_.pop_back();
  }
}

void TSymbolTable::ExtendPath(CFTreeRef node, const Str63& name) {
  const UInt64 hash = NameHash(name);
  onPath_[hash].push_back(path_.size());
  path_.push_back({node, hash});
}

void TSymbolTable::Remove(SymbolInfoPtr) {}

Boolean TSymbolTable::Find(const Str63& name, SymbolInfoPtr& info) {
  Boolean found = false;
  info = FindSymbol(name, table, found);
  return found;
}

void TSymbolTable::Clean() {
  if (table != nullptr) CFTreeRemoveAllChildren(table);
  insertionPoint = nullptr;
  CutPath(0);
  modified = true;
}

CFTreeRef TSymbolTable::GetTable() { return table; }

void TSymbolTable::ApplyFunction(SymbolTableApplierFunctionCallback applier, void* context) {
  TableApplyFunction(table, applier, context);
}

CFTypeRef TSymbolTable::Flatten() {
  CFTypeRef list = CFTreeConvertToProperyList(table, TranslateSymbolNode, nullptr);
  if (list == nullptr) list = CFArrayCreateMutable(nullptr, 0, &kCFTypeArrayCallBacks);
  modified = false;
  return list;
}

Boolean TSymbolTable::Expand(CFTypeRef propertyList) {
  if (table != nullptr) CFRelease(table);
  table = nullptr;
  insertionPoint = nullptr;
  CutPath(0);

  Boolean whole = true;
  CFMutableArrayRef symbols = CFArrayCreateMutable(nullptr, 0, &kCFTypeArrayCallBacks);
  if (propertyList != nullptr && CFGetTypeID(propertyList) == CFArrayGetTypeID()) {
    auto list = static_cast<CFArrayRef>(propertyList);
    for (CFIndex i = 0, count = CFArrayGetCount(list); i < count; ++i) {
      CFTypeRef element = CFArrayGetValueAtIndex(list, i);
      if (IsSymbolElement(element))
        CFArrayAppendValue(symbols, element);
      else
        whole = false;
    }
  } else {
    whole = false;
  }
  SInt32 before = counter;
  table = CFTreeCreateFromPropertyList(symbols, TranslateSymbolNode, this);
  CFRelease(symbols);
  if (table == nullptr) {
    table = BrackenrowCreateTree(nullptr);
    return false;
  }
  // New indexes must not meet stored ones: the counter moves past the
  // highest index read when that lies beyond what the count alone reaches.
  SInt32 highest = before;
  WalkChildrenFirst(table, [&highest](CFTreeRef node) {
    if (NodeInfoPtr record = BrackenrowGetNode(node)) highest = std::max(highest, record->INDEX);
    return true;
  });
  counter = std::max(counter, highest);
  return whole;
}

// ---------------------------------------------------------------------------
// Unit routines

SyntaxStandardDataPtr GetSymbolDefinition(SymbolInfoPtr info) {
  if (info == nullptr || info->library == nullptr || info->library->collection == nullptr) return nullptr;
  return info->library->collection->GetDefinition(info->definitionName, info->library);
}

Str63 GetSymbolDisplayName(SymbolInfoPtr info) {
  if (info == nullptr) return Str63();
  SyntaxStandardDataPtr definition = GetSymbolDefinition(info);
  if (definition != nullptr && definition->icon.len() >= 4 && std::memcmp(definition->icon.s + 1, "sxMT", 4) == 0) {
    Str63 name(info->parentName);
    name += '_';
    name += info->symbolName;
    return name;
  }
  return info->symbolName;
}

CFTreeRef FindParent(const Str63& name, CFTreeRef start) {
  for (CFTreeRef node = start; node != nullptr; node = CFTreeGetParent(node)) {
    SymbolInfoPtr info = SymbolOf(node);
    if (BrackenrowGetNode(node) == nullptr) break;  // the root ends the walk
    if (info != nullptr && info->symbolName == name) return node;
  }
  return start;
}

void TableApplyFunction(CFTreeRef tree, SymbolTableApplierFunctionCallback applier, void* context) {
  if (applier == nullptr) return;
  WalkChildrenFirst(tree, [&](CFTreeRef node) {
    if (SymbolInfoPtr info = SymbolOf(node)) applier(info, node, context);
    return true;
  });
}

SymbolInfoPtr FindSymbol(const Str63& name, CFTreeRef tree, Boolean& found) {
  SymbolInfoPtr result = nullptr;
  WalkChildrenFirst(tree, [&](CFTreeRef node) {
    SymbolInfoPtr info = SymbolOf(node);
    if (info != nullptr && info->symbolName == name) {
      result = info;
      return false;
    }
    return true;
  });
  found = result != nullptr;
  return result;
}

void* TranslateSymbolNode(NodeInfoPtr, SInt16 direction, void* data, SInt32& length, void* context) {
  if (direction == kToStorage) {
    // The live record is never touched: its stored image is written instead.
    auto info = static_cast<SymbolInfoPtr>(data);
    if (!IsPointerValid(static_cast<Ptr>(data)) || GetPtrSize(static_cast<Ptr>(data)) < Size(sizeof(SymbolInfo))) {
      length = 0;
      return nullptr;
    }
    Ptr image = NewPtr(kSymbolInfoStoredSize);
    if (image == nullptr) {
      length = 0;
      return nullptr;
    }
    SymbolInfoToStoredBytes(*info, *reinterpret_cast<UInt8(*)[kSymbolInfoStoredSize]>(image));
    length = kSymbolInfoStoredSize;
    return image;
  }
  if (direction == kFromStorage) {
    auto info = reinterpret_cast<SymbolInfoPtr>(NewPtrClear(sizeof(SymbolInfo)));
    if (info == nullptr) return nullptr;
    SymbolInfoFromStoredBytes(static_cast<const UInt8*>(data), length, *info);
    auto* owner = static_cast<TSymbolTable*>(context);
    if (owner != nullptr) {
      info->library = owner->library;
      ++owner->counter;
    }
    length = kSymbolInfoStoredSize;
    return info;
  }
  return nullptr;
}
