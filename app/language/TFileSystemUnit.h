// TFileSystemUnit: the project symbol index. For a set of source files it
// remembers the symbols each defines, the files each includes and the date
// at which each was last parsed, and it keeps one dictionary of global
// symbols across all files. One index lives in one "FileSystem.plist" in its
// folder.
#pragma once

#include "CFBase.h"
#include "CFDictionary.h"
#include "Files.h"
#include "MacTypes.h"
#include "ShortString.h"
#include "TSymbolTableUnit.h"
#include "TSyntaxCollectionUnit.h"

// One file. In memory the two references have the host's width; the stored
// "descriptor" image is 584 bytes with both words zero.
struct FileDescriptor {
  Str63 fileName;            // also the key in the file table
  Str255 filePath;           // location text given to Add
  Str255 modifiedDate;       // content-modification date when last parsed; empty when new
  CFMutableArrayRef headers; // names of the files this file includes
  TSymbolTable* symbolTable;
};
typedef FileDescriptor* FileDescriptorPtr;
static_assert(offsetof(FileDescriptor, filePath) == 64 && offsetof(FileDescriptor, modifiedDate) == 320 &&
                  offsetof(FileDescriptor, headers) == 576,
              "the text fields sit where the stored image has them");

enum : CFIndex { kFileDescriptorStoredSize = 584 };

void FileDescriptorToStoredBytes(const FileDescriptor& descriptor, UInt8 (&bytes)[kFileDescriptorStoredSize]);
// The three text fields from a stored image (the references untouched);
// false for nil or any length other than 584. Length bytes beyond a field's
// capacity are cut to it.
Boolean FileDescriptorFromStoredBytes(const UInt8* bytes, CFIndex length, FileDescriptor& descriptor);

typedef void (*FileSystemExamineApplierFunctionCallback)(FileDescriptorPtr descriptor, void* context);
// 1 counts the symbol as a match, 3 ends the whole search, anything else goes on.
typedef SInt16 (*FileSystemSearchApplierFunctionCallback)(SymbolInfoPtr info, const FileDescriptor& descriptor,
                                                          const Str255& query, CFTreeRef node, void* context);

// Not a TObject: a plain run-time object, made by CreateFileSystem and ended
// with Release.
class TFileSystem {
 public:
  FSRef folder = {};                       // holds "FileSystem.plist"
  CFDictionaryRef paths = nullptr;         // search paths of ResolveFile; owned
  CFMutableDictionaryRef files = nullptr;  // name -> FileDescriptorPtr, owned
  CFMutableDictionaryRef globals = nullptr;  // name -> private SymbolInfo copy, owned
  TSyntaxCollection* collection = nullptr;
  Boolean modified = false;

  TFileSystem() = default;
  TFileSystem(const TFileSystem&) = delete;
  TFileSystem& operator=(const TFileSystem&) = delete;

  // Stores the folder and makes the two empty dictionaries.
  virtual void Create(const FSRef& folder);
  // A new descriptor: the name and path, no date, no headers, and an empty
  // symbol table of the file's language.
  virtual FileDescriptorPtr NewFileDescriptor(const Str63& name, const Str255& path);
  // Takes ownership of the dictionary (a previous one is released).
  virtual void SetPaths(CFDictionaryRef paths);
  virtual void SetCollection(TSyntaxCollection* collection);
  // Writes "FileSystem.plist" when the index is modified; the write's status
  // goes to Err. modified stays set.
  virtual void Save();
  // Reads "FileSystem.plist". Damaged entries are left out with a message on
  // standard error; a file that cannot be read leaves the index as it is.
  virtual void Load();
  // The descriptor of the name, made and entered when the name is new.
  virtual FileDescriptorPtr Add(const Str63& name, const Str255& path);
  // Enters a copy of the symbol among the globals unless its name is there.
  virtual void AddSymbol(SymbolInfoPtr info);
  // Removes the global entry of the symbol's name.
  virtual void RemoveSymbol(SymbolInfoPtr info);
  // Forgets what a known file defined and included: its symbol table and
  // headers are emptied, and the global entries that came from it removed.
  virtual void CleanFile(const Str63& name);
  virtual void CleanAll();
  virtual FileDescriptorPtr GetDescriptor(const Str63& name);
  // The root of the file's symbol tree; nil for an unknown file.
  virtual CFTreeRef GetSymbolics(const Str63& name);
  // The global symbol of the name; info points to the index's own copy.
  virtual Boolean GetSymbol(const Str63& name, SymbolInfoPtr& info);
  // True for an unknown file; for a known one whether its date differs from
  // the stored one (false when the file cannot be found along the paths).
  virtual Boolean GetFileModified(const Str63& name);
  virtual Boolean GetFileModifiedWithFSRef(const FSRef& file);
  // The file of the name along the search paths; false without paths.
  virtual Boolean ResolveFile(const Str63& name, FSRef& file);
  // The applier once for every descriptor, in the file table's order.
  virtual void ExamineFiles(FileSystemExamineApplierFunctionCallback applier, void* context);
  // SearchSymbolTable over all files with an empty query.
  virtual void ExamineSymbols(FileSystemSearchApplierFunctionCallback applier, void* context);
  // The applier for every symbol of every file named in files (all files for
  // nil), children before their container; the number of answers 1.
  virtual SInt16 SearchSymbolTable(FileSystemSearchApplierFunctionCallback applier, CFArrayRef files,
                                   const Str255& query, void* context);
  // Releases the paths, every descriptor and the globals, and frees the object.
  virtual void Release();

 protected:
  virtual ~TFileSystem();
};

// Makes the index and then, in this order, SetPaths, SetCollection, Create
// with the folder, and Load.
TFileSystem* CreateFileSystem(const FSRef& folder, TSyntaxCollection* collection, CFDictionaryRef paths);
