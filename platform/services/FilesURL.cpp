// FSRef <-> file URL.
#include <sys/stat.h>

#include <vector>

#include "CFURL.h"
#include "FilesInternal.h"

using namespace files;

Boolean CFURLGetFSRef(CFURLRef url, FSRef* fsRef) {
  if (url == nullptr || fsRef == nullptr) return false;
  // The representation call fails for a short buffer and for a URL that is
  // no file URL alike: grow up to a bound, then give up.
  std::vector<UInt8> path(4096);
  while (!CFURLGetFileSystemRepresentation(url, true, path.data(), CFIndex(path.size()))) {
    if (path.size() >= (1u << 16)) return false;
    path.resize(path.size() * 4);
  }
  return FSPathMakeRef(path.data(), fsRef, nullptr) == noErr;
}

CFURLRef CFURLCreateFromFSRef(CFAllocatorRef allocator, const FSRef* fsRef) {
  std::string path;
  struct stat st;
  if (ResolveRef(fsRef, &path, &st) != noErr) return nullptr;
  return CFURLCreateFromFileSystemRepresentation(allocator, reinterpret_cast<const UInt8*>(path.data()),
                                                 CFIndex(path.size()), S_ISDIR(st.st_mode));
}
