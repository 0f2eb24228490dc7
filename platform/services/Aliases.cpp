// Alias records over the FSRef registry: the item's FSRef (which the
// registry keeps current through renames and moves) and its path at the
// time, for when the identity no longer resolves.
//
// Layout (big-endian): 'QALS', version 1 (2 bytes), 2 reserved bytes, the
// 80-byte FSRef, the path's length (4 bytes), the path in UTF-8.
#include <sys/stat.h>

#include <cstring>
#include <string>

#include "Aliases.h"
#include "FilesInternal.h"
#include "MacMemory.h"

namespace {

constexpr UInt32 kMagic = 'QALS';
constexpr UInt16 kVersion = 1;
constexpr size_t kHeader = 4 + 2 + 2 + sizeof(FSRef) + 4;
constexpr size_t kMaxPath = 64 * 1024;

void Put32(std::string& out, UInt32 v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(char((v >> shift) & 0xFF));
}
UInt32 Get32(const UInt8* p) { return UInt32(p[0]) << 24 | UInt32(p[1]) << 16 | UInt32(p[2]) << 8 | p[3]; }

}  // namespace

OSErr FSNewAlias(const FSRef*, const FSRef* target, AliasHandle* inAlias) {
  if (target == nullptr || inAlias == nullptr) return paramErr;
  *inAlias = nullptr;
  std::string path;
  struct stat st {};
  if (OSErr status = files::ResolveRef(target, &path, &st)) return status;
  if (path.size() > kMaxPath) return errFSNameTooLong;
  std::string bytes;
  Put32(bytes, kMagic);
  bytes.push_back(char(kVersion >> 8));
  bytes.push_back(char(kVersion & 0xFF));
  bytes.append(2, '\0');
  bytes.append(reinterpret_cast<const char*>(target->hidden), sizeof target->hidden);
  Put32(bytes, UInt32(path.size()));
  bytes += path;
  Handle h = nullptr;
  if (OSErr status = PtrToHand(bytes.data(), &h, long(bytes.size()))) return status;
  *inAlias = h;
  return noErr;
}

OSErr FSNewAliasMinimal(const FSRef* target, AliasHandle* inAlias) { return FSNewAlias(nullptr, target, inAlias); }

OSErr FSResolveAlias(const FSRef*, AliasHandle alias, FSRef* target, Boolean* wasChanged) {
  if (alias == nullptr || target == nullptr || !IsHandleValid(alias) || *alias == nullptr) return paramErr;
  const Size size = GetHandleSize(alias);
  if (size < Size(kHeader)) return paramErr;
  const auto* p = reinterpret_cast<const UInt8*>(*alias);
  if (Get32(p) != kMagic || (UInt16(p[4]) << 8 | p[5]) != kVersion) return paramErr;
  FSRef recorded;
  std::memcpy(recorded.hidden, p + 8, sizeof recorded.hidden);
  const UInt32 pathLength = Get32(p + 8 + sizeof(FSRef));
  if (pathLength > kMaxPath || Size(kHeader + pathLength) != size) return paramErr;
  const std::string path(reinterpret_cast<const char*>(p + kHeader), pathLength);
  if (path.find('\0') != std::string::npos) return paramErr;

  std::string current;
  struct stat st {};
  if (files::ResolveRef(&recorded, &current, &st) == noErr) {
    *target = recorded;
    if (wasChanged) *wasChanged = current != path;
    return noErr;
  }
  // The identity is lost (the registry was reset): the path may still name it.
  std::string normal;
  if (path.empty() || !files::NormalizePath(path, &normal) || lstat(normal.c_str(), &st) != 0) return fnfErr;
  files::MakeRef(normal, st, target);
  if (wasChanged) *wasChanged = true;
  return noErr;
}
