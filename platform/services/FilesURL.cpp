// FSRef <-> file URL.
#include <glib.h>
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

// The item's URL is the one GLib makes of its path, so that the URLs the
// program hands to the web view, to other programs and to the desktop are
// those they make themselves; a folder's URL ends in "/". Paths of any length.
CFURLRef CFURLCreateFromFSRef(CFAllocatorRef allocator, const FSRef* fsRef) {
  std::string path;
  struct stat st;
  if (ResolveRef(fsRef, &path, &st) != noErr) return nullptr;
  gchar* uri = g_filename_to_uri(path.c_str(), nullptr, nullptr);
  if (uri == nullptr) return nullptr;
  std::string text(uri);
  g_free(uri);
  if (S_ISDIR(st.st_mode) && text.back() != '/') text += '/';
  CFStringRef string = CFStringCreateWithBytes(allocator, reinterpret_cast<const UInt8*>(text.data()),
                                               CFIndex(text.size()), kCFStringEncodingASCII, false);
  if (string == nullptr) return nullptr;
  CFURLRef url = CFURLCreateWithString(allocator, string, nullptr);
  CFRelease(string);
  return url;
}
