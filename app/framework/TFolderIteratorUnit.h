// TFolderIterator: walks a folder tree and reports every visible item to
// GotFolder and GotFile, which subclasses override to collect what they need.
// The options record describes the level being walked; every level leaves it
// as its caller gave it, except the item counter, which runs for the whole walk.
#pragma once

#include "CFTree.h"
#include "Files.h"
#include "PascalCarbonCommon.h"

struct IteratorNodeInfo {
  CFTreeRef tree = nullptr;  // parent node for the tree option; not owned
  SInt32 value = 0;          // handed to GotFolder/GotFile; a sub-folder's is its GotFolder result
  Boolean buildTree = false; // with a tree, one node per reported item
  Str63 folderName;          // empty at the top
  SInt16 depth = 0;          // 0 at the top
  SInt16 maximumDepth = 0;   // a folder is entered while depth <= this
  SInt16 itemCounter = 0;    // items read in the whole walk, hidden ones included
  Str255 relativePath;       // "/a/b" below the top, empty at the top
};

// Every field zero or empty but the maximum depth, 20.
IteratorNodeInfo DefaultIteratorNodeInfo();

// The payload of the nodes the tree option makes: type 'fsrf', the item's
// file reference and its name (empty when it cannot be a short name).
enum : UInt32 { kFolderIteratorNodeType = 'fsrf' };
struct FolderIteratorNodeData {
  FSRef ref;
  Str63 name;
};

class TFolderIterator {
 public:
  virtual ~TFolderIterator() = default;

  // Called for each visible sub-folder before it is entered; its result is
  // the value the folder's contents receive. The base answers 0.
  virtual SInt32 GotFolder(const FSRef& folder, SInt32 value);
  // Called for each visible file; the result is not used. The base answers 0.
  virtual SInt32 GotFile(const FSRef& file, SInt32 value);
  virtual void Run(const FSRef& folder);
  virtual void RunWithOptions(const FSRef& folder, IteratorNodeInfo& options, const IteratorNodeInfo& restore);
  virtual void Release();
};
