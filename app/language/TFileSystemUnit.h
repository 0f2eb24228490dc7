// TFileSystemUnit: the project symbol index. For a set of source files it
// remembers the symbols each defines, the files each includes and the date
// at which each was last parsed, and it keeps one dictionary of global
// symbols across all files. One index lives in one "FileSystem.plist" in its
// folder.
#pragma once

#include <bitset>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "CFBase.h"
#include "CFDictionary.h"
#include "Files.h"
#include "MacTypes.h"
#include "ShortString.h"
#include "TSymbolTableUnit.h"
#include "TSyntaxCollectionUnit.h"

// One file. In memory the two references have the host's width; the stored
// "descriptor" image is 584 bytes with both words zero and each text field
// zero past its characters.
struct FileDescriptor {
  Str63 fileName;            // the key in the file table (GetFileKey)
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

// Global symbols by their names' Mac Roman bytes: an open-addressed table
// whose probes read a compact array of hashes, so a word that names no
// symbol (nearly every word a scan asks about) costs one memory access.
// The names themselves sit one after another in one string; a slot holds
// where its name starts, so the table stays small however long the names.
// A name is kept to its first 63 bytes, as a Str63 would keep it.
class SymbolNameTable {
 public:
  SymbolInfoPtr Find(std::string_view name) const {
    if (count_ == 0 || !MayHold(name)) return nullptr;
    const UInt64 h = Hash(name);
    for (size_t i = size_t(h) & mask_;; i = (i + 1) & mask_) {
      if (hashes_[i] == 0) return nullptr;
      if (hashes_[i] == h && NameOf(entries_[i]) == name) return entries_[i].info;
    }
  }
  void Set(std::string_view name, SymbolInfoPtr info) {
    if ((count_ + 1) * 2 > capacity_) Grow();
    const UInt64 h = Hash(name);
    size_t i = size_t(h) & mask_;
    for (; hashes_[i] != 0; i = (i + 1) & mask_) {
      if (hashes_[i] == h && NameOf(entries_[i]) == name) {
        entries_[i].info = info;
        return;
      }
    }
    if (name.size() > 63) name = name.substr(0, 63);
    // Names of erased entries are dropped once they outweigh the live ones.
    if (dead_ > 4096 && dead_ * 2 > names_.size()) Compact();
    hashes_[i] = h;
    entries_[i] = Entry{UInt32(names_.size()), UInt32(name.size()), info};
    names_.append(name);
    ++count_;
    Mark(name);
  }
  void Erase(std::string_view name) {
    if (count_ == 0) return;
    const UInt64 h = Hash(name);
    size_t i = size_t(h) & mask_;
    for (;; i = (i + 1) & mask_) {
      if (hashes_[i] == 0) return;
      if (hashes_[i] == h && NameOf(entries_[i]) == name) break;
    }
    dead_ += entries_[i].size;
    // Later entries of the run move back, so that no probe stops short.
    hashes_[i] = 0;
    --count_;
    for (size_t j = (i + 1) & mask_; hashes_[j] != 0; j = (j + 1) & mask_) {
      const size_t home = size_t(hashes_[j]) & mask_;
      const bool stays = (i < j) ? (home > i && home <= j) : (home > i || home <= j);
      if (stays) continue;
      hashes_[i] = hashes_[j];
      entries_[i] = entries_[j];
      hashes_[j] = 0;
      i = j;
    }
  }
  void Clear() {
    firstBytes_.reset();
    lastBytes_.reset();
    hashes_.reset();
    entries_.reset();
    names_.clear();
    capacity_ = 0;
    mask_ = 0;
    count_ = 0;
    dead_ = 0;
  }

 private:
  struct Entry {
    UInt32 at;    // where the name starts in names_
    UInt32 size;  // its bytes
    SymbolInfoPtr info;
  };
  std::string_view NameOf(const Entry& entry) const { return std::string_view(names_).substr(entry.at, entry.size); }
  static UInt64 Hash(std::string_view s) {
    UInt64 h = 0xCBF29CE484222325ull ^ s.size();
    size_t i = 0;
    for (; i + 8 <= s.size(); i += 8) {
      UInt64 v;
      std::memcpy(&v, s.data() + i, 8);
      h = (h ^ v) * 0x9E3779B97F4A7C15ull;
      h ^= h >> 29;
    }
    UInt64 v = 0;
    for (size_t k = 0; i + k < s.size(); ++k) v |= UInt64(static_cast<unsigned char>(s[i + k])) << (8 * k);
    h = (h ^ v) * 0xC4CEB9FE1A85EC53ull;
    h ^= h >> 32;
    return h != 0 ? h : 1;  // 0 marks a free slot
  }
  // Slots are read only where their hash is set: only the hashes start zeroed.
  void Grow() {
    std::unique_ptr<UInt64[]> oldHashes = std::move(hashes_);
    std::unique_ptr<Entry[]> oldEntries = std::move(entries_);
    const size_t oldCapacity = capacity_;
    capacity_ = oldCapacity == 0 ? 64 : oldCapacity * 2;
    hashes_.reset(new UInt64[capacity_]());
    entries_.reset(new Entry[capacity_]);
    mask_ = capacity_ - 1;
    for (size_t k = 0; k < oldCapacity; ++k) {
      if (oldHashes[k] == 0) continue;
      size_t i = size_t(oldHashes[k]) & mask_;
      while (hashes_[i] != 0) i = (i + 1) & mask_;
      hashes_[i] = oldHashes[k];
      entries_[i] = oldEntries[k];
    }
  }
  // The live names copied into a fresh string, in slot order.
  void Compact() {
    std::string names;
    names.reserve(names_.size() - dead_ + 64);
    for (size_t i = 0; i < capacity_; ++i) {
      if (hashes_[i] == 0) continue;
      const std::string_view name = NameOf(entries_[i]);
      entries_[i].at = UInt32(names.size());
      names.append(name);
    }
    names_.swap(names);
    dead_ = 0;
  }
  // Which (length, first byte) and (length, last byte) pairs some name has:
  // most words a scan asks about fail these before any hashing. Erase leaves
  // its marks; they only send a word on to the table.
  static size_t FirstKey(std::string_view s) {
    return (s.size() & 63) << 8 | static_cast<unsigned char>(s.front());
  }
  static size_t LastKey(std::string_view s) { return (s.size() & 63) << 8 | static_cast<unsigned char>(s.back()); }
  bool MayHold(std::string_view name) const {
    if (name.empty() || name.size() > 63) return true;
    return firstBytes_.test(FirstKey(name)) && lastBytes_.test(LastKey(name));
  }
  void Mark(std::string_view name) {
    if (name.empty()) return;
    firstBytes_.set(FirstKey(name));
    lastBytes_.set(LastKey(name));
  }
  std::bitset<64 * 256> firstBytes_, lastBytes_;
  std::unique_ptr<UInt64[]> hashes_;
  std::unique_ptr<Entry[]> entries_;
  std::string names_;
  size_t capacity_ = 0;
  size_t mask_ = 0;
  size_t count_ = 0;
  size_t dead_ = 0;  // bytes of names_ no entry uses
};

// Not a TObject: a plain run-time object, made by CreateFileSystem and ended
// with Release.
class TFileSystem {
 public:
  FSRef folder = {};                       // holds "FileSystem.plist"
  CFDictionaryRef paths = nullptr;         // search paths of ResolveFile; owned
  CFMutableDictionaryRef files = nullptr;  // key (GetFileKey) -> FileDescriptorPtr, owned
  CFMutableDictionaryRef globals = nullptr;  // name -> private SymbolInfo copy, owned
  TSyntaxCollection* collection = nullptr;
  Boolean modified = false;
  // Files are keyed by their path below this folder; all zeros stands for
  // the top of the file system.
  FSRef root = {};

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
  // The folder whose files are keyed by their path below it (a project's
  // folder); files outside it are keyed by their full path.
  void SetRoot(const FSRef& root) { this->root = root; }
  // The key of a file in the file table, the name every lookup of the file
  // uses: its path relative to the root, so a file at the top of the root
  // keeps its bare name and two files of one name in different folders keep
  // apart; "/" and the full path for a file outside the root. A path that
  // does not fit in 63 Mac Roman characters becomes "#", a hash of the whole
  // path, "/" and as much of its end as fits. Empty when the file is gone.
  Str63 GetFileKey(const FSRef& file) const;
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
  // The same for a name of Mac Roman bytes, without making a string: the
  // scan engine asks for every word it reads.
  SymbolInfoPtr FindSymbol(std::string_view name) const { return globalNames_.Find(name); }
  // True for an unknown file; for a known one whether its date differs from
  // the stored one (false when ResolveFile cannot find the file).
  virtual Boolean GetFileModified(const Str63& name);
  virtual Boolean GetFileModifiedWithFSRef(const FSRef& file);
  // The file of the name along the search paths; failing that, the file a
  // key names below the root (or at its full path).
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

 private:
  // The names of globals by their Mac Roman bytes, kept with the dictionary.
  SymbolNameTable globalNames_;
  void IndexGlobalNames();
  friend void RemoveGlobalOfFile(SymbolInfoPtr info, CFTreeRef, void* context);
};

// Makes the index and then, in this order, SetPaths, SetCollection, Create
// with the folder, and Load.
TFileSystem* CreateFileSystem(const FSRef& folder, TSyntaxCollection* collection, CFDictionaryRef paths);
