// Folder listings. An iterator reads the folder's names when it opens and
// hands them out in name order, so that a listing is the same on every file
// system (readdir order is not) and never gives an item twice.
#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <unordered_set>
#include <vector>

#include "FilesInternal.h"

using namespace files;

struct OpaqueFSIterator {
  std::string folder;
  struct stat folderSt;
  struct timespec modified;  // the folder's modification time when listed
  std::vector<std::string> names;
  size_t next = 0;
};

namespace {

struct LiveIterators {
  std::mutex mu;
  std::unordered_set<OpaqueFSIterator*> set;
};

LiveIterators& Live() {
  static LiveIterators* live = new LiveIterators;
  return *live;
}

bool IsLive(OpaqueFSIterator* it) {
  LiveIterators& l = Live();
  std::lock_guard<std::mutex> guard(l.mu);
  return l.set.count(it) != 0;
}

unsigned char Fold(unsigned char c) { return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c; }

// Letters without case first, then the bytes, so that the order is total.
bool NameBefore(const std::string& a, const std::string& b) {
  size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    unsigned char x = Fold(a[i]), y = Fold(b[i]);
    if (x != y) return x < y;
  }
  if (a.size() != b.size()) return a.size() < b.size();
  return a < b;
}

}  // namespace

OSErr FSOpenIterator(const FSRef* container, FSIteratorFlags iteratorFlags, FSIterator* iterator) {
  if (iterator == nullptr) return paramErr;
  if (iteratorFlags != kFSIterateFlat) return errFSBadIteratorFlags;
  std::string path;
  struct stat st;
  OSErr err = ResolveRef(container, &path, &st);
  if (err != noErr) return err;
  DIR* dir = opendir(path.c_str());
  if (dir == nullptr) return errno == ENOTDIR ? OSErr(errFSNotAFolder) : ErrnoToOSErr(errno);
  auto* it = new OpaqueFSIterator;
  it->folder = path;
  struct stat folderSt;
  if (fstat(dirfd(dir), &folderSt) != 0) folderSt = st;
  it->folderSt = folderSt;
  it->modified = folderSt.st_mtim;
  errno = 0;
  while (struct dirent* e = readdir(dir)) {
    if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0) it->names.emplace_back(e->d_name);
  }
  int readError = errno;
  closedir(dir);
  if (readError != 0) {
    delete it;
    return ErrnoToOSErr(readError);
  }
  std::sort(it->names.begin(), it->names.end(), NameBefore);
  {
    LiveIterators& l = Live();
    std::lock_guard<std::mutex> guard(l.mu);
    l.set.insert(it);
  }
  *iterator = it;
  return noErr;
}

OSErr FSCloseIterator(FSIterator iterator) {
  {
    LiveIterators& l = Live();
    std::lock_guard<std::mutex> guard(l.mu);
    if (l.set.erase(iterator) == 0) return errFSIteratorNotFound;
  }
  delete iterator;
  return noErr;
}

OSErr FSGetCatalogInfoBulk(FSIterator iterator, ItemCount maximumObjects, ItemCount* actualObjects,
                           Boolean* containerChanged, FSCatalogInfoBitmap whichInfo,
                           FSCatalogInfo* catalogInfos, FSRef* refs, FSSpec* specs, HFSUniStr255* names) {
  if (actualObjects != nullptr) *actualObjects = 0;
  if (containerChanged != nullptr) *containerChanged = false;
  if (iterator == nullptr || !IsLive(iterator)) return errFSIteratorNotFound;
  if (actualObjects == nullptr) return paramErr;
  if (maximumObjects == 0) return errFSBadItemCount;
  OpaqueFSIterator& it = *iterator;

  struct stat now;
  bool changed = stat(it.folder.c_str(), &now) != 0 || now.st_mtim.tv_sec != it.modified.tv_sec ||
                 now.st_mtim.tv_nsec != it.modified.tv_nsec;

  RegistryBatch batch;  // one lock of the registry for the whole batch
  ItemCount count = 0;
  OSErr err = noErr;
  while (count < maximumObjects && it.next < it.names.size()) {
    const std::string& name = it.names[it.next];
    std::string path = JoinPath(it.folder, name);
    struct stat st;
    if (lstat(path.c_str(), &st) != 0) {
      ++it.next;
      changed = true;  // removed since the listing began
      continue;
    }
    if (names != nullptr) {
      err = NameToUnicode(name, &names[count]);
      if (err != noErr) break;
    }
    if (specs != nullptr) {
      err = FillSpec(path, st, &specs[count], &it.folderSt);
      if (err != noErr) break;
    }
    if (catalogInfos != nullptr) FillCatalogInfo(path, st, whichInfo, &catalogInfos[count], &it.folderSt);
    if (refs != nullptr) MakeRef(path, st, &refs[count]);
    ++it.next;
    ++count;
  }
  *actualObjects = count;
  if (containerChanged != nullptr) *containerChanged = changed;
  if (err != noErr) {
    ++it.next;  // an item that cannot be described is passed over next time
    return err;
  }
  return it.next >= it.names.size() ? OSErr(errFSNoMoreItems) : OSErr(noErr);
}
