// TSymbolTableUnit: the symbols one parse of one file found, as a tree that
// follows their nesting (a method hangs under its class). Each symbol is a
// tree node whose record carries a SymbolInfo as its payload; the project
// symbol index stores every table in "FileSystem.plist" through Flatten and
// rebuilds it with Expand.
#pragma once

#include <unordered_map>
#include <vector>

#include "CFBase.h"
#include "CFTree.h"
#include "MacTypes.h"
#include "ShortString.h"
#include "TSyntaxCollectionUnit.h"
#include "brackenrow/Brackenrow.h"

typedef ShortString<128> SymbolSource;

struct SymbolInfo;
typedef SymbolInfo* SymbolInfoPtr;

// One symbol. In memory the record carries the library pointer at the host's
// width; its stored form is a fixed 360-byte image (below), never this struct.
struct SymbolInfo {
  Str63 symbolName;        // as written in the source
  Str63 parentName;        // the enclosing symbol; empty at the top level
  SInt16 styleIndex;       // style slot of the definition that made it
  Str31 definitionName;    // finds the definition again (GetSymbolDefinition)
  SymbolSource source;     // declaration text captured by the scan engine
  Str63 fileName;          // the file's key in the project symbol index
  UInt8 padding;
  SyntaxLibraryPtr library;  // the file's language; not stored
};
static_assert(offsetof(SymbolInfo, parentName) == 64 && offsetof(SymbolInfo, styleIndex) == 128 &&
                  offsetof(SymbolInfo, definitionName) == 130 && offsetof(SymbolInfo, source) == 162 &&
                  offsetof(SymbolInfo, fileName) == 291 && offsetof(SymbolInfo, padding) == 355,
              "the leading fields sit where the stored image has them");

// The stored image of a SymbolInfo: the fields above at the same offsets,
// each text field zero past its characters, styleIndex big-endian, the
// padding byte zero and the library word (offset 356, 4 bytes) zero.
enum : CFIndex { kSymbolInfoStoredSize = 360 };
enum : UInt32 { kSymbolNodeType = 'SYMB' };

void SymbolInfoToStoredBytes(const SymbolInfo& info, UInt8 (&bytes)[kSymbolInfoStoredSize]);
// The record from its stored image; false (info untouched) for nil or any
// length other than 360. Length bytes beyond a field's capacity are cut to
// it, so a damaged image never reads past its field. The library is nil.
Boolean SymbolInfoFromStoredBytes(const UInt8* bytes, CFIndex length, SymbolInfo& info);

typedef void (*SymbolTableApplierFunctionCallback)(SymbolInfoPtr info, CFTreeRef node, void* context);

// Not a TObject: a plain run-time object made with new, then Create, and
// ended with Release.
class TSymbolTable {
 public:
  CFTreeRef table = nullptr;           // the root; it carries no symbol
  CFTreeRef insertionPoint = nullptr;  // node of the latest Add; nil after Create and Clean
  Boolean modified = false;            // set by Add and Clean, cleared by Flatten
  // Counts nodes: one per Add and per node read by Expand; never reset, so
  // node indexes keep rising across re-parses. 32 bits wide, so that the
  // indexes of one table stay unique.
  SInt32 counter = 0;
  SyntaxLibraryPtr library = nullptr;

  TSymbolTable() = default;
  TSymbolTable(const TSymbolTable&) = delete;
  TSymbolTable& operator=(const TSymbolTable&) = delete;

  // A new symbol placed by its parent name; the table owns the record.
  virtual SymbolInfoPtr Add(const Str63& name, const Str63& parentName, const Str63& fileName,
                            const SyntaxStandardData& definition);
  // Has no effect: symbols leave a table only through Clean or Expand.
  virtual void Remove(SymbolInfoPtr info);
  // Children before their container, in order; the first symbol of that
  // exact name. False with info nil when none.
  virtual Boolean Find(const Str63& name, SymbolInfoPtr& info);
  // Removes every symbol; the counter is kept.
  virtual void Clean();
  virtual CFTreeRef GetTable();
  // Every symbol, children before their container.
  virtual void ApplyFunction(SymbolTableApplierFunctionCallback applier, void* context);
  // The tree as a property list (an array; empty for an empty table) that the
  // caller owns. Clears modified.
  virtual CFTypeRef Flatten();
  // Replaces the tree by the one stored in the list. Elements that are not a
  // symbol record (type 'SYMB', a 360-byte image) are left out; a list that
  // is not an array leaves the table empty. False when anything was left out.
  virtual Boolean Expand(CFTypeRef propertyList);
  virtual void Create(SyntaxLibraryPtr library);
  // Releases the tree and frees the object.
  virtual void Release();

 protected:
  virtual ~TSymbolTable();

 private:
  // The nodes from the top of the tree down to insertionPoint, and where on
  // that line each name (by its hash) stands, deepest last: a parent is found
  // as FindParent finds it without walking up a long line of nested symbols.
  struct PathStep {
    CFTreeRef node;
    UInt64 hash;
  };
  std::vector<PathStep> path_;
  std::unordered_map<UInt64, std::vector<size_t>> onPath_;
  CFTreeRef FindParentOnPath(const Str63& name, size_t& depth);
  void RebuildPath();
  void CutPath(size_t length);
  void ExtendPath(CFTreeRef node, const Str63& name);
};

// The definition that made the symbol; nil without a library or collection.
SyntaxStandardDataPtr GetSymbolDefinition(SymbolInfoPtr info);
// The name, or for a method (definition icon "sxMT") parent "_" name, cut to 63.
Str63 GetSymbolDisplayName(SymbolInfoPtr info);
// From start up through its ancestors (start included, the root excluded),
// the first node whose symbol has exactly that name; start itself when none.
CFTreeRef FindParent(const Str63& name, CFTreeRef start);
// Every symbol below the tree, children before their container.
void TableApplyFunction(CFTreeRef tree, SymbolTableApplierFunctionCallback applier, void* context);
// The translate callback of Flatten (direction 1: the stored image) and
// Expand (direction 2: the record, given the table's library and counted by
// the table passed as context).
void* TranslateSymbolNode(NodeInfoPtr node, SInt16 direction, void* data, SInt32& length, void* context);
// The search behind Find.
SymbolInfoPtr FindSymbol(const Str63& name, CFTreeRef tree, Boolean& found);
