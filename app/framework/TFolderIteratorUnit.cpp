#include "TFolderIteratorUnit.h"

#include <cstring>
#include <string>

#include "MacMemory.h"
#include "brackenrow/Browser.h"

namespace {

// Hidden means a leading dot in the name on disk; the short name cannot
// tell, since names it cannot hold come back empty.
bool IsHidden(const FSRef& ref, const Str63& shortName) {
  if (!shortName.empty()) return shortName[1] == '.';
  UInt8 path[4096];
  if (FSRefMakePath(&ref, path, sizeof path) != noErr) return false;
  const char* slash = std::strrchr(reinterpret_cast<const char*>(path), '/');
  return slash != nullptr && slash[1] == '.';
}

CFTreeRef NewItemNode(const IteratorNodeInfo& options, const FSRef& ref, const Str63& name, bool folder) {
  auto* data = reinterpret_cast<FolderIteratorNodeData*>(NewPtrClear(sizeof(FolderIteratorNodeData)));
  if (data == nullptr) return nullptr;
  data->ref = ref;
  data->name = name;
  NodeInfoPtr parent = BrackenrowGetNode(options.tree);
  // The running counter is unique within one walk, so it serves as the index.
  NodeInfoPtr node = BrackenrowNewNode(data, sizeof(FolderIteratorNodeData), kFolderIteratorNodeType,
                                       options.itemCounter, parent != nullptr ? parent->INDEX : 0, folder);
  if (node == nullptr) {
    DisposePtr(reinterpret_cast<Ptr>(data));
    return nullptr;
  }
  return BrackenrowCreateTree(node);
}

}  // namespace

IteratorNodeInfo DefaultIteratorNodeInfo() {
  IteratorNodeInfo info;
  info.maximumDepth = 20;
  return info;
}

SInt32 TFolderIterator::GotFolder(const FSRef&, SInt32) { return 0; }
SInt32 TFolderIterator::GotFile(const FSRef&, SInt32) { return 0; }

void TFolderIterator::Run(const FSRef& folder) {
  IteratorNodeInfo options = DefaultIteratorNodeInfo();
  const IteratorNodeInfo restore = options;
  RunWithOptions(folder, options, restore);
}

void TFolderIterator::RunWithOptions(const FSRef& folder, IteratorNodeInfo& options,
                                     const IteratorNodeInfo& restore) {
  FSIterator iterator = nullptr;
  Err = FSOpenIterator(&folder, kFSIterateFlat, &iterator);
  if (Err == noErr) {
    for (;;) {
      ItemCount count = 0;
      FSRef item;
      const OSErr status = FSGetCatalogInfoBulk(iterator, 1, &count, nullptr, kFSCatInfoNone, nullptr, &item,
                                                nullptr, nullptr);
      if ((status != noErr && status != errFSNoMoreItems) || count == 0) break;
      options.itemCounter++;
      const bool isFolder = FSIsFolder(item);
      const Str63 name = FSGetActualName(item);
      if (!IsHidden(item, name)) {
        const SInt32 folderValue = isFolder ? GotFolder(item, options.value) : 0;
        if (!isFolder) GotFile(item, options.value);
        CFTreeRef node = nullptr;
        if (options.tree != nullptr && options.buildTree) {
          node = NewItemNode(options, item, name, isFolder);
          if (node != nullptr) CFTreeAppendChild(options.tree, node);
        }
        // Symbolic links are never folders here, so a link cycle is not walked.
        if (isFolder && options.depth <= options.maximumDepth) {
          const IteratorNodeInfo kept = options;
          options.folderName = name;
          options.tree = node;
          options.value = folderValue;
          options.depth = SInt16(options.depth + 1);
          options.relativePath = options.relativePath + "/" + name;
          RunWithOptions(item, options, kept);
        }
        if (node != nullptr) CFRelease(node);
      }
      if (status != noErr) break;
    }
  }
  const SInt16 counter = options.itemCounter;
  options = restore;
  options.itemCounter = counter;
  if (iterator != nullptr) Err = FSCloseIterator(iterator);
}

void TFolderIterator::Release() { delete this; }
