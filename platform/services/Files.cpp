// The File Manager's items: references from paths, catalog information,
// creating, renaming, moving, copying and deleting, FSSpecs and dates.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "CFString.h"
#include "FilesInternal.h"

namespace files {

// ---------------------------------------------------------------------------
// Statuses

OSErr ErrnoToOSErr(int err) {
  switch (err) {
    case 0: return noErr;
    case ENOENT:
    case ELOOP: return fnfErr;
    case ENOTDIR: return dirNFErr;
    case EEXIST: return dupFNErr;
    case ENOTEMPTY:
    case EBUSY:
    case ETXTBSY: return fBsyErr;
    case EACCES:
    case EPERM:
    case EROFS: return permErr;
    case ENOSPC:
    case EDQUOT:
    case EFBIG: return dskFulErr;
    case ENAMETOOLONG: return bdNamErr;
    case EMFILE:
    case ENFILE: return tmfoErr;
    case EXDEV: return diffVolErr;
    case EISDIR: return notAFileErr;
    case EINVAL: return paramErr;
    case ENOMEM: return memFullErr;
    default: return ioErr;
  }
}

// ---------------------------------------------------------------------------
// Names

namespace {

void AppendUTF8(std::string* out, UInt32 c) {
  if (c < 0x80) {
    *out += char(c);
  } else if (c < 0x800) {
    *out += char(0xC0 | (c >> 6));
    *out += char(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    *out += char(0xE0 | (c >> 12));
    *out += char(0x80 | ((c >> 6) & 0x3F));
    *out += char(0x80 | (c & 0x3F));
  } else {
    *out += char(0xF0 | (c >> 18));
    *out += char(0x80 | ((c >> 12) & 0x3F));
    *out += char(0x80 | ((c >> 6) & 0x3F));
    *out += char(0x80 | (c & 0x3F));
  }
}

// The length of the valid UTF-8 sequence at s (0 when it is not one) and its
// code point.
size_t DecodeUTF8(const unsigned char* s, size_t n, UInt32* c) {
  unsigned char b = s[0];
  if (b < 0x80) {
    *c = b;
    return 1;
  }
  size_t len;
  unsigned char lo = 0x80, hi = 0xBF;
  if (b >= 0xC2 && b <= 0xDF) {
    len = 2;
    *c = b & 0x1F;
  } else if (b >= 0xE0 && b <= 0xEF) {
    len = 3;
    *c = b & 0x0F;
    if (b == 0xE0) lo = 0xA0;
    if (b == 0xED) hi = 0x9F;  // no encoded surrogates
  } else if (b >= 0xF0 && b <= 0xF4) {
    len = 4;
    *c = b & 0x07;
    if (b == 0xF0) lo = 0x90;
    if (b == 0xF4) hi = 0x8F;
  } else {
    return 0;
  }
  if (n < len) return 0;
  for (size_t i = 1; i < len; ++i) {
    unsigned char t = s[i];
    if (t < (i == 1 ? lo : 0x80) || t > (i == 1 ? hi : 0xBF)) return 0;
    *c = (*c << 6) | (t & 0x3F);
  }
  return len;
}

}  // namespace

OSErr NameFromUnicode(const UniChar* name, UniCharCount length, std::string* out) {
  if (length == 0 || name == nullptr) return bdNamErr;
  if (length > 255) return errFSNameTooLong;
  out->clear();
  for (UniCharCount i = 0; i < length; ++i) {
    UInt32 c = name[i];
    if (c >= 0xD800 && c <= 0xDBFF) {
      if (i + 1 >= length || name[i + 1] < 0xDC00 || name[i + 1] > 0xDFFF) return bdNamErr;
      c = 0x10000 + ((c - 0xD800) << 10) + (name[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xDC00 && c <= 0xDFFF) {
      if (c < 0xDC80 || c > 0xDCFF) return bdNamErr;
      *out += char(c - 0xDC00);  // a byte of a name that was not UTF-8
      continue;
    }
    if (c == 0 || c == '/') return bdNamErr;
    AppendUTF8(out, c);
  }
  if (*out == "." || *out == "..") return bdNamErr;
  return noErr;
}

OSErr NameToUnicode(std::string_view name, HFSUniStr255* out) {
  UInt16 n = 0;
  auto put = [&](UniChar u) {
    if (n >= 255) return false;
    out->unicode[n++] = u;
    return true;
  };
  const auto* s = reinterpret_cast<const unsigned char*>(name.data());
  size_t i = 0;
  while (i < name.size()) {
    UInt32 c;
    size_t len = DecodeUTF8(s + i, name.size() - i, &c);
    bool ok;
    if (len == 0) {
      ok = put(UniChar(0xDC00 + s[i]));
      len = 1;
    } else if (c >= 0x10000) {
      ok = put(UniChar(0xD800 + ((c - 0x10000) >> 10))) && put(UniChar(0xDC00 + ((c - 0x10000) & 0x3FF)));
    } else {
      ok = put(UniChar(c));
    }
    if (!ok) {
      out->length = 0;
      return errFSNameTooLong;
    }
    i += len;
  }
  out->length = n;
  return noErr;
}

OSErr NameFromCFString(CFStringRef name, std::string* out) {
  out->clear();
  if (name == nullptr) return bdNamErr;
  CFIndex length = CFStringGetLength(name);
  if (length <= 0) return bdNamErr;
  if (length > 255) return errFSNameTooLong;
  UniChar units[255];
  CFStringGetCharacters(name, CFRangeMake(0, length), units);
  return NameFromUnicode(units, UniCharCount(length), out);
}

OSErr NameToMacRoman(const std::string& name, StrFileName out) {
  out[0] = 0;
  HFSUniStr255 units;
  OSErr err = NameToUnicode(name, &units);
  if (err != noErr) return err;
  if (units.length > 63) return errFSNameTooLong;
  CFStringRef s = CFStringCreateWithCharacters(kCFAllocatorDefault, units.unicode, units.length);
  if (s == nullptr) return bdNamErr;
  Boolean ok = CFStringGetPascalString(s, out, 64, kCFStringEncodingMacRoman);
  CFRelease(s);
  return ok ? OSErr(noErr) : OSErr(bdNamErr);
}

OSErr NameFromMacRoman(ConstStr255Param name, std::string* out) {
  if (name == nullptr || name[0] == 0) return bdNamErr;
  CFStringRef s = CFStringCreateWithPascalString(kCFAllocatorDefault, name, kCFStringEncodingMacRoman);
  if (s == nullptr) return bdNamErr;
  OSErr err = NameFromCFString(s, out);
  CFRelease(s);
  return err;
}

// ---------------------------------------------------------------------------
// Dates

namespace {

constexpr double kSecondsFrom1904To2001 = 3061152000.0;
constexpr SInt64 kSecondsFrom1904To1970 = 2082844800;

UTCDateTime DateFromTimespec(const struct timespec& ts) {
  UTCDateTime d{0, 0, 0};
  SInt64 secs = SInt64(ts.tv_sec) + kSecondsFrom1904To1970;
  if (secs < 0) return d;
  if (secs >= (SInt64(1) << 48)) secs = (SInt64(1) << 48) - 1;
  d.highSeconds = UInt16(UInt64(secs) >> 32);
  d.lowSeconds = UInt32(secs);
  d.fraction = UInt16((UInt64(ts.tv_nsec) << 16) / 1000000000u);
  return d;
}

struct timespec TimespecFromDate(const UTCDateTime& d) {
  SInt64 secs = (SInt64(d.highSeconds) << 32) | d.lowSeconds;
  struct timespec ts;
  ts.tv_sec = time_t(secs - kSecondsFrom1904To1970);
  ts.tv_nsec = long((UInt64(d.fraction) * 1000000000u) >> 16);
  return ts;
}

}  // namespace

}  // namespace files

using namespace files;

OSStatus UCConvertUTCDateTimeToCFAbsoluteTime(const UTCDateTime* iUTCDate, CFAbsoluteTime* oCFTime) {
  if (iUTCDate == nullptr || oCFTime == nullptr) return paramErr;
  double secs = double((UInt64(iUTCDate->highSeconds) << 32) | iUTCDate->lowSeconds);
  *oCFTime = secs - kSecondsFrom1904To2001 + iUTCDate->fraction / 65536.0;
  return noErr;
}

OSStatus UCConvertCFAbsoluteTimeToUTCDateTime(CFAbsoluteTime iCFTime, UTCDateTime* oUTCDate) {
  if (oUTCDate == nullptr || std::isnan(iCFTime)) return paramErr;
  double since1904 = iCFTime + kSecondsFrom1904To2001;
  if (since1904 < 0) return kUTCUnderflowErr;
  double whole = std::floor(since1904);
  double frac = std::round((since1904 - whole) * 65536.0);
  if (frac >= 65536.0) {
    whole += 1;
    frac = 0;
  }
  if (whole >= 281474976710656.0) return kUTCOverflowErr;  // 2^48
  UInt64 secs = UInt64(whole);
  oUTCDate->highSeconds = UInt16(secs >> 32);
  oUTCDate->lowSeconds = UInt32(secs);
  oUTCDate->fraction = UInt16(frac);
  return noErr;
}

namespace files {

// ---------------------------------------------------------------------------
// Catalog information

namespace {

constexpr char kFinderInfoAttribute[] = "user.quorvel.finderinfo";

UInt16 BE16(const UInt8* p) { return UInt16((p[0] << 8) | p[1]); }
UInt32 BE32(const UInt8* p) { return (UInt32(p[0]) << 24) | (UInt32(p[1]) << 16) | (UInt32(p[2]) << 8) | p[3]; }
void PutBE16(UInt8* p, UInt16 v) {
  p[0] = UInt8(v >> 8);
  p[1] = UInt8(v);
}
void PutBE32(UInt8* p, UInt32 v) {
  for (int i = 0; i < 4; ++i) p[i] = UInt8(v >> (24 - 8 * i));
}

// The stored form is big-endian: a file's information starts with two 32-bit
// codes, a folder's with four 16-bit coordinates; both end in four 16-bit
// fields. The extended information is kept as the caller gave it.
void DecodeFinderInfo(const UInt8* stored, bool folder, UInt8* finderInfo) {
  if (folder) {
    FolderInfo f;
    f.windowBounds = Rect{SInt16(BE16(stored)), SInt16(BE16(stored + 2)), SInt16(BE16(stored + 4)),
                          SInt16(BE16(stored + 6))};
    f.finderFlags = BE16(stored + 8);
    f.location = Point{SInt16(BE16(stored + 10)), SInt16(BE16(stored + 12))};
    f.reservedField = BE16(stored + 14);
    std::memcpy(finderInfo, &f, sizeof f);
  } else {
    FileInfo f;
    f.fileType = BE32(stored);
    f.fileCreator = BE32(stored + 4);
    f.finderFlags = BE16(stored + 8);
    f.location = Point{SInt16(BE16(stored + 10)), SInt16(BE16(stored + 12))};
    f.reservedField = BE16(stored + 14);
    std::memcpy(finderInfo, &f, sizeof f);
  }
}

void EncodeFinderInfo(const UInt8* finderInfo, bool folder, UInt8* stored) {
  if (folder) {
    FolderInfo f;
    std::memcpy(&f, finderInfo, sizeof f);
    PutBE16(stored, UInt16(f.windowBounds.top));
    PutBE16(stored + 2, UInt16(f.windowBounds.left));
    PutBE16(stored + 4, UInt16(f.windowBounds.bottom));
    PutBE16(stored + 6, UInt16(f.windowBounds.right));
    PutBE16(stored + 8, f.finderFlags);
    PutBE16(stored + 10, UInt16(f.location.v));
    PutBE16(stored + 12, UInt16(f.location.h));
    PutBE16(stored + 14, f.reservedField);
  } else {
    FileInfo f;
    std::memcpy(&f, finderInfo, sizeof f);
    PutBE32(stored, f.fileType);
    PutBE32(stored + 4, f.fileCreator);
    PutBE16(stored + 8, f.finderFlags);
    PutBE16(stored + 10, UInt16(f.location.v));
    PutBE16(stored + 12, UInt16(f.location.h));
    PutBE16(stored + 14, f.reservedField);
  }
}

// The 32 stored bytes (Finder information, then the extended part); zeros
// when the item has none or the file system keeps no attributes.
void ReadStoredFinderInfo(const std::string& path, UInt8 stored[32]) {
  std::memset(stored, 0, 32);
  UInt8 buf[32];
  ssize_t n = lgetxattr(path.c_str(), kFinderInfoAttribute, buf, sizeof buf);
  if (n >= 16) std::memcpy(stored, buf, size_t(n));
}

OSErr WriteStoredFinderInfo(const std::string& path, const UInt8 stored[32]) {
  bool empty = true;
  for (int i = 0; i < 32; ++i) empty = empty && stored[i] == 0;
  int r = empty ? lremovexattr(path.c_str(), kFinderInfoAttribute)
                : lsetxattr(path.c_str(), kFinderInfoAttribute, stored, 32, 0);
  if (r == 0) return noErr;
  // Best effort: a file system (or a symbolic link) that keeps no such
  // attributes simply loses the information.
  if (errno == ENOTSUP || errno == ENODATA || errno == EPERM) return noErr;
  return ErrnoToOSErr(errno);
}

bool InGroup(gid_t gid) {
  if (gid == getegid()) return true;
  int n = getgroups(0, nullptr);
  if (n <= 0) return false;
  std::vector<gid_t> groups(static_cast<size_t>(n));
  n = getgroups(n, groups.data());
  for (int i = 0; i < n; ++i)
    if (groups[size_t(i)] == gid) return true;
  return false;
}

// Whether the effective user may read (4), write (2) or search (1) the item.
bool Allowed(const struct stat& st, int what) {
  if (geteuid() == 0) return what != 1 || (st.st_mode & 0111) != 0 || !S_ISREG(st.st_mode);
  int shift = st.st_uid == geteuid() ? 6 : InGroup(st.st_gid) ? 3 : 0;
  return ((st.st_mode >> shift) & what) != 0;
}

UInt32 CountItems(const std::string& path) {
  DIR* dir = opendir(path.c_str());
  if (dir == nullptr) return 0;
  UInt32 count = 0;
  while (struct dirent* e = readdir(dir)) {
    if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0) ++count;
  }
  closedir(dir);
  return count;
}

struct timespec CreationTime(const std::string& path, const struct stat& st) {
  struct statx sx;
  if (statx(AT_FDCWD, path.c_str(), AT_SYMLINK_NOFOLLOW, STATX_BTIME, &sx) == 0 && (sx.stx_mask & STATX_BTIME)) {
    struct timespec ts;
    ts.tv_sec = sx.stx_btime.tv_sec;
    ts.tv_nsec = sx.stx_btime.tv_nsec;
    return ts;
  }
  // No birth time here: the earliest date the file system does keep.
  bool modFirst = st.st_mtim.tv_sec < st.st_ctim.tv_sec ||
                  (st.st_mtim.tv_sec == st.st_ctim.tv_sec && st.st_mtim.tv_nsec < st.st_ctim.tv_nsec);
  return modFirst ? st.st_mtim : st.st_ctim;
}

bool ParentStat(const std::string& path, struct stat* st) {
  std::string parent = ParentPath(path);
  return !parent.empty() && lstat(parent.c_str(), st) == 0;
}

}  // namespace

void FillCatalogInfo(const std::string& path, const struct stat& st, FSCatalogInfoBitmap which,
                     FSCatalogInfo* info, const struct stat* parentSt) {
  bool folder = S_ISDIR(st.st_mode);
  if (folder) NoteFolder(path, st);
  if (which & kFSCatInfoTextEncoding) info->textEncodingHint = kTextEncodingUnicodeDefault;
  if (which & kFSCatInfoNodeFlags) info->nodeFlags = folder ? kFSNodeIsDirectoryMask : 0;
  if (which & kFSCatInfoVolume) info->volume = VolumeForDevice(st.st_dev);
  if (which & kFSCatInfoParentDirID) {
    struct stat own;
    if (parentSt == nullptr && ParentStat(path, &own)) parentSt = &own;
    if (path == "/" || parentSt == nullptr) {
      info->parentDirID = fsRtParID;
    } else {
      info->parentDirID = UInt32(parentSt->st_ino);
      if (S_ISDIR(parentSt->st_mode)) NoteFolder(ParentPath(path), *parentSt);
    }
  }
  if (which & kFSCatInfoNodeID) info->nodeID = UInt32(st.st_ino);
  if (which & kFSCatInfoSharingFlags) info->sharingFlags = 0;
  if (which & (kFSCatInfoUserPrivs | kFSCatInfoUserAccess | kFSCatInfoPermissions)) {
    UInt8 privileges = 0;
    if (!Allowed(st, 2)) privileges |= kioACUserNoMakeChangesMask;
    if (st.st_uid != geteuid()) privileges |= kioACUserNotOwnerMask;
    if (folder && !Allowed(st, 1)) privileges |= kioACUserNoSeeFolderMask | kioACUserNoSeeFilesMask;
    if (folder && !Allowed(st, 4)) privileges |= kioACUserNoSeeFilesMask;
    if (which & (kFSCatInfoUserPrivs | kFSCatInfoUserAccess)) info->userPrivileges = privileges;
    if (which & kFSCatInfoPermissions) {
      FSPermissionInfo p{};
      p.userID = st.st_uid;
      p.groupID = st.st_gid;
      p.userAccess = privileges;
      p.mode = UInt16(st.st_mode);
      std::memcpy(info->permissions, &p, sizeof p);
    }
  }
  if (which & kFSCatInfoCreateDate) info->createDate = DateFromTimespec(CreationTime(path, st));
  if (which & kFSCatInfoContentMod) info->contentModDate = DateFromTimespec(st.st_mtim);
  if (which & kFSCatInfoAttrMod) info->attributeModDate = DateFromTimespec(st.st_ctim);
  if (which & kFSCatInfoAccessDate) info->accessDate = DateFromTimespec(st.st_atim);
  if (which & kFSCatInfoBackupDate) info->backupDate = UTCDateTime{0, 0, 0};
  if (which & (kFSCatInfoFinderInfo | kFSCatInfoFinderXInfo)) {
    UInt8 stored[32];
    ReadStoredFinderInfo(path, stored);
    if (which & kFSCatInfoFinderInfo) DecodeFinderInfo(stored, folder, info->finderInfo);
    if (which & kFSCatInfoFinderXInfo) std::memcpy(info->extFinderInfo, stored + 16, 16);
  }
  if (which & kFSCatInfoValence) info->valence = folder ? CountItems(path) : 0;
  if (which & kFSCatInfoDataSizes) {
    info->dataLogicalSize = folder ? 0 : UInt64(st.st_size);
    info->dataPhysicalSize = folder ? 0 : UInt64(st.st_blocks) * 512;
  }
  if (which & kFSCatInfoRsrcSizes) info->rsrcLogicalSize = info->rsrcPhysicalSize = 0;
}

OSErr FillSpec(const std::string& path, const struct stat& st, FSSpec* spec, const struct stat* parentSt) {
  spec->vRefNum = VolumeForDevice(st.st_dev);
  if (path == "/") {
    spec->parID = fsRtParID;
  } else {
    struct stat own;
    if (parentSt == nullptr) {
      if (!ParentStat(path, &own)) return fnfErr;
      parentSt = &own;
    }
    spec->parID = SInt32(UInt32(parentSt->st_ino));
    if (S_ISDIR(parentSt->st_mode)) NoteFolder(ParentPath(path), *parentSt);
  }
  return NameToMacRoman(LastComponent(path), spec->name);
}

OSErr ApplyCatalogInfo(const std::string& path, FSCatalogInfoBitmap which, const FSCatalogInfo* info) {
  if (info == nullptr || (which & kFSCatInfoSettableInfo) == 0) return noErr;
  struct stat st;
  if (lstat(path.c_str(), &st) != 0) return ErrnoToOSErr(errno);
  bool folder = S_ISDIR(st.st_mode);
  // Finder information first: the attribute needs write access, which new
  // permission bits may take away.
  if (which & (kFSCatInfoFinderInfo | kFSCatInfoFinderXInfo)) {
    UInt8 stored[32];
    ReadStoredFinderInfo(path, stored);
    if (which & kFSCatInfoFinderInfo) EncodeFinderInfo(info->finderInfo, folder, stored);
    if (which & kFSCatInfoFinderXInfo) std::memcpy(stored + 16, info->extFinderInfo, 16);
    OSErr err = WriteStoredFinderInfo(path, stored);
    if (err != noErr) return err;
  }
  if (which & (kFSCatInfoContentMod | kFSCatInfoAccessDate)) {
    struct timespec times[2];
    times[0].tv_nsec = times[1].tv_nsec = UTIME_OMIT;
    times[0].tv_sec = times[1].tv_sec = 0;
    if (which & kFSCatInfoAccessDate) times[0] = TimespecFromDate(info->accessDate);
    if (which & kFSCatInfoContentMod) times[1] = TimespecFromDate(info->contentModDate);
    if (utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW) != 0) return ErrnoToOSErr(errno);
  }
  if ((which & kFSCatInfoPermissions) && !S_ISLNK(st.st_mode)) {
    FSPermissionInfo p;
    std::memcpy(&p, info->permissions, sizeof p);
    if ((mode_t(p.mode) & 07777) != (st.st_mode & 07777) && chmod(path.c_str(), mode_t(p.mode) & 07777) != 0)
      return ErrnoToOSErr(errno);
  }
  return noErr;
}

// ---------------------------------------------------------------------------
// Copying and removing trees

OSErr RemoveTree(const std::string& path) {
  struct stat st;
  if (lstat(path.c_str(), &st) != 0) return ErrnoToOSErr(errno);
  if (!S_ISDIR(st.st_mode)) return unlink(path.c_str()) == 0 ? OSErr(noErr) : ErrnoToOSErr(errno);
  std::vector<std::string> names;
  if (DIR* dir = opendir(path.c_str())) {
    while (struct dirent* e = readdir(dir))
      if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0) names.emplace_back(e->d_name);
    closedir(dir);
  } else {
    return ErrnoToOSErr(errno);
  }
  for (const auto& name : names) {
    OSErr err = RemoveTree(JoinPath(path, name));
    if (err != noErr && err != fnfErr) return err;
  }
  return rmdir(path.c_str()) == 0 ? OSErr(noErr) : ErrnoToOSErr(errno);
}

namespace {

// The user attributes (Finder information and others) go with a copy, best effort.
void CopyAttributes(int from, int to) {
  ssize_t size = flistxattr(from, nullptr, 0);
  if (size <= 0) return;
  std::vector<char> names(static_cast<size_t>(size));
  size = flistxattr(from, names.data(), names.size());
  if (size <= 0) return;
  std::vector<char> value;
  for (size_t i = 0; i < size_t(size);) {
    const char* name = names.data() + i;
    size_t len = strnlen(name, size_t(size) - i);
    i += len + 1;
    if (std::strncmp(name, "user.", 5) != 0) continue;
    ssize_t n = fgetxattr(from, name, nullptr, 0);
    if (n < 0) continue;
    value.resize(size_t(n) + 1);
    n = fgetxattr(from, name, value.data(), value.size());
    if (n >= 0) (void)fsetxattr(to, name, value.data(), size_t(n), 0);
  }
}

OSErr CopyData(int in, int out) {
  bool plain = false;
  for (;;) {
    if (!plain) {
      ssize_t n = copy_file_range(in, nullptr, out, nullptr, size_t(1) << 30, 0);
      if (n > 0) continue;
      if (n == 0) return noErr;
      if (errno == EINTR) continue;
      if (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP || errno == EBADF) {
        plain = true;
        continue;
      }
      return ErrnoToOSErr(errno);
    }
    std::vector<char> buf(size_t(1) << 18);
    for (;;) {
      ssize_t n = read(in, buf.data(), buf.size());
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) return ErrnoToOSErr(errno);
      if (n == 0) return noErr;
      for (ssize_t done = 0; done < n;) {
        ssize_t w = write(out, buf.data() + done, size_t(n - done));
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) return ErrnoToOSErr(w < 0 ? errno : ENOSPC);
        done += w;
      }
    }
  }
}

// Copies src (whose lstat data is st) to dst, which must not exist. *made
// tells whether dst was created (and so is the caller's to remove on failure).
OSErr CopyTree(const std::string& src, const std::string& dst, const struct stat& st, bool* made) {
  *made = false;
  if (S_ISREG(st.st_mode)) {
    int in = open(src.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (in < 0) return ErrnoToOSErr(errno);
    int out = open(dst.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (out < 0) {
      int e = errno;
      close(in);
      return ErrnoToOSErr(e);
    }
    *made = true;
    OSErr err = CopyData(in, out);
    if (err == noErr) {
      CopyAttributes(in, out);
      struct timespec times[2] = {st.st_atim, st.st_mtim};
      if (fchmod(out, st.st_mode & 07777) != 0 || futimens(out, times) != 0) err = ErrnoToOSErr(errno);
    }
    close(in);
    if (close(out) != 0 && err == noErr) err = ErrnoToOSErr(errno);
    return err;
  }
  if (S_ISLNK(st.st_mode)) {
    std::vector<char> target(size_t(st.st_size) + 2);
    for (;;) {
      ssize_t n = readlink(src.c_str(), target.data(), target.size());
      if (n < 0) return ErrnoToOSErr(errno);
      if (size_t(n) < target.size()) {
        target[size_t(n)] = 0;
        break;
      }
      if (target.size() > (1u << 20)) return ioErr;
      target.resize(target.size() * 2);
    }
    if (symlink(target.data(), dst.c_str()) != 0) return ErrnoToOSErr(errno);
    *made = true;
    return noErr;
  }
  if (!S_ISDIR(st.st_mode)) return ioErr;  // devices, pipes and sockets are not copied
  if (mkdir(dst.c_str(), 0700) != 0) return ErrnoToOSErr(errno);
  *made = true;
  std::vector<std::string> names;
  DIR* dir = opendir(src.c_str());
  if (dir == nullptr) return ErrnoToOSErr(errno);
  while (struct dirent* e = readdir(dir))
    if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0) names.emplace_back(e->d_name);
  closedir(dir);
  for (const auto& name : names) {
    std::string from = JoinPath(src, name);
    struct stat child;
    if (lstat(from.c_str(), &child) != 0) {
      if (errno == ENOENT) continue;  // gone meanwhile
      return ErrnoToOSErr(errno);
    }
    bool childMade;
    OSErr err = CopyTree(from, JoinPath(dst, name), child, &childMade);
    if (err != noErr) return err;
  }
  int in = open(src.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  int out = open(dst.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  OSErr err = noErr;
  if (in >= 0 && out >= 0) {
    CopyAttributes(in, out);
    struct timespec times[2] = {st.st_atim, st.st_mtim};
    if (fchmod(out, st.st_mode & 07777) != 0 || futimens(out, times) != 0) err = ErrnoToOSErr(errno);
  }
  if (in >= 0) close(in);
  if (out >= 0) close(out);
  return err;
}

// rename() that never replaces an existing item.
int RenameNoReplace(const std::string& from, const std::string& to) {
  if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
  int e = errno;
  struct stat a, b;
  bool sameItem = lstat(from.c_str(), &a) == 0 && lstat(to.c_str(), &b) == 0 && a.st_dev == b.st_dev &&
                  a.st_ino == b.st_ino;
  if (e == EEXIST && !sameItem) return EEXIST;
  if (e != EEXIST && e != EINVAL && e != ENOSYS) return e;
  // A file system without the flag, or a change of case on one that ignores case.
  if (e != EEXIST && lstat(to.c_str(), &b) == 0 && !sameItem) return EEXIST;
  return rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

OSErr ResolveFolder(const FSRef* ref, std::string* path, struct stat* st) {
  OSErr err = ResolveRef(ref, path, st);
  if (err != noErr) return err;
  if (S_ISDIR(st->st_mode)) return noErr;
  // A folder reached through a symbolic link still holds items by name.
  struct stat target;
  if (S_ISLNK(st->st_mode) && stat(path->c_str(), &target) == 0 && S_ISDIR(target.st_mode)) return noErr;
  return errFSNotAFolder;
}

OSErr ChildPath(const FSRef* parent, UniCharCount nameLength, const UniChar* name, std::string* child) {
  std::string folder, leaf;
  struct stat st;
  OSErr err = ResolveFolder(parent, &folder, &st);
  if (err != noErr) return err;
  err = NameFromUnicode(name, nameLength, &leaf);
  if (err != noErr) return err;
  *child = JoinPath(folder, leaf);
  return noErr;
}

OSErr RefAt(const std::string& path, FSRef* ref, struct stat* st = nullptr) {
  struct stat own;
  if (st == nullptr) st = &own;
  if (lstat(path.c_str(), st) != 0) return ErrnoToOSErr(errno);
  if (ref != nullptr) MakeRef(path, *st, ref);
  return noErr;
}

constexpr OptionBits kKnownFileOperationOptions = kFSFileOperationDoNotMoveAcrossVolumes;

// The destination path of a copy or move; dupFNErr when it is taken.
OSErr Destination(const std::string& src, const struct stat& srcSt, const FSRef* destDir, CFStringRef destName,
                  std::string* dst) {
  std::string folder;
  struct stat folderSt;
  OSErr err = ResolveFolder(destDir, &folder, &folderSt);
  if (err != noErr) return err;
  std::string name;
  if (destName != nullptr) {
    err = NameFromCFString(destName, &name);
    if (err != noErr) return err;
  } else {
    if (src == "/") return paramErr;
    name = LastComponent(src);
  }
  if (S_ISDIR(srcSt.st_mode) && (folder == src || IsInside(folder, src))) return badMovErr;
  *dst = JoinPath(folder, name);
  if (*dst == src) return noErr;
  struct stat existing;
  if (lstat(dst->c_str(), &existing) == 0) return dupFNErr;
  return noErr;
}

}  // namespace

}  // namespace files

// ---------------------------------------------------------------------------
// References, paths and comparison

OSStatus FSPathMakeRef(const UInt8* path, FSRef* ref, Boolean* isDirectory) {
  if (path == nullptr || ref == nullptr) return paramErr;
  std::string clean;
  if (!NormalizePath(reinterpret_cast<const char*>(path), &clean)) return fnfErr;
  struct stat st;
  OSErr err = RefAt(clean, ref, &st);
  if (err == noErr && isDirectory != nullptr) *isDirectory = S_ISDIR(st.st_mode);
  return err;
}

OSStatus FSRefMakePath(const FSRef* ref, UInt8* path, UInt32 maxPathSize) {
  if (path == nullptr) return paramErr;
  std::string p;
  struct stat st;
  OSErr err = ResolveRef(ref, &p, &st);
  if (err != noErr) return err;
  if (p.size() + 1 > maxPathSize) return paramErr;
  std::memcpy(path, p.c_str(), p.size() + 1);
  return noErr;
}

OSErr FSCompareFSRefs(const FSRef* ref1, const FSRef* ref2) {
  // Refs to the same item hold the same identity, wherever it moved since.
  return CompareRefs(ref1, ref2);
}

// ---------------------------------------------------------------------------
// Catalog information

OSErr FSGetCatalogInfo(const FSRef* ref, FSCatalogInfoBitmap whichInfo, FSCatalogInfo* catalogInfo,
                       HFSUniStr255* outName, FSSpec* fsSpec, FSRef* parentRef) {
  std::string path;
  struct stat st;
  OSErr err = ResolveRef(ref, &path, &st);
  if (err != noErr) return err;
  if (catalogInfo != nullptr) FillCatalogInfo(path, st, whichInfo, catalogInfo);
  if (outName != nullptr) {
    err = NameToUnicode(LastComponent(path), outName);
    if (err != noErr) return err;
  }
  if (fsSpec != nullptr) {
    err = FillSpec(path, st, fsSpec);
    if (err != noErr) return err;
  }
  if (parentRef != nullptr) {
    std::string parent = ParentPath(path);
    if (parent.empty()) {
      std::memset(parentRef->hidden, 0, sizeof parentRef->hidden);
      return fnfErr;  // the root has no parent
    }
    return RefAt(parent, parentRef);
  }
  return noErr;
}

OSErr FSSetCatalogInfo(const FSRef* ref, FSCatalogInfoBitmap whichInfo, const FSCatalogInfo* catalogInfo) {
  if (catalogInfo == nullptr) return paramErr;
  std::string path;
  struct stat st;
  OSErr err = ResolveRef(ref, &path, &st);
  if (err != noErr) return err;
  return ApplyCatalogInfo(path, whichInfo, catalogInfo);
}

OSErr FSIsAliasFile(const FSRef* fileRef, Boolean* aliasFileFlag, Boolean* folderFlag) {
  if (aliasFileFlag == nullptr || folderFlag == nullptr) return paramErr;
  std::string path;
  struct stat st;
  OSErr err = ResolveRef(fileRef, &path, &st);
  if (err != noErr) return err;
  *aliasFileFlag = S_ISLNK(st.st_mode);
  *folderFlag = S_ISDIR(st.st_mode);
  return noErr;
}

// ---------------------------------------------------------------------------
// Items by name

OSErr FSMakeFSRefUnicode(const FSRef* parentRef, UniCharCount nameLength, const UniChar* name,
                         TextEncoding textEncodingHint, FSRef* newRef) {
  if (newRef == nullptr) return paramErr;
  std::string child;
  OSErr err = ChildPath(parentRef, nameLength, name, &child);
  if (err != noErr) return err;
  return RefAt(child, newRef);
}

OSErr FSCreateFileUnicode(const FSRef* parentRef, UniCharCount nameLength, const UniChar* name,
                          FSCatalogInfoBitmap whichInfo, const FSCatalogInfo* catalogInfo, FSRef* newRef,
                          FSSpec* newSpec) {
  std::string child;
  OSErr err = ChildPath(parentRef, nameLength, name, &child);
  if (err != noErr) return err;
  int fd = open(child.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) return ErrnoToOSErr(errno);
  close(fd);
  err = ApplyCatalogInfo(child, whichInfo, catalogInfo);
  if (err != noErr) return err;
  struct stat st;
  err = RefAt(child, newRef, &st);
  if (err == noErr && newSpec != nullptr) err = FillSpec(child, st, newSpec);
  return err;
}

OSErr FSCreateDirectoryUnicode(const FSRef* parentRef, UniCharCount nameLength, const UniChar* name,
                               FSCatalogInfoBitmap whichInfo, const FSCatalogInfo* catalogInfo, FSRef* newRef,
                               FSSpec* newSpec, UInt32* newDirID) {
  std::string child;
  OSErr err = ChildPath(parentRef, nameLength, name, &child);
  if (err != noErr) return err;
  if (mkdir(child.c_str(), 0777) != 0) return ErrnoToOSErr(errno);
  err = ApplyCatalogInfo(child, whichInfo, catalogInfo);
  if (err != noErr) return err;
  struct stat st;
  err = RefAt(child, newRef, &st);
  if (err != noErr) return err;
  NoteFolder(child, st);
  if (newDirID != nullptr) *newDirID = UInt32(st.st_ino);
  if (newSpec != nullptr) err = FillSpec(child, st, newSpec);
  return err;
}

OSErr FSDeleteObject(const FSRef* ref) {
  std::string path;
  struct stat st;
  OSErr err = ResolveRef(ref, &path, &st);
  if (err != noErr) return err;
  if (S_ISDIR(st.st_mode)) {
    if (rmdir(path.c_str()) == 0) return noErr;
    return errno == EEXIST ? OSErr(fBsyErr) : ErrnoToOSErr(errno);
  }
  return unlink(path.c_str()) == 0 ? OSErr(noErr) : ErrnoToOSErr(errno);
}

OSErr FSRenameUnicode(const FSRef* ref, UniCharCount nameLength, const UniChar* name,
                      TextEncoding textEncodingHint, FSRef* newRef) {
  std::string path, leaf;
  struct stat st;
  OSErr err = ResolveRef(ref, &path, &st);
  if (err != noErr) return err;
  if (path == "/") return paramErr;
  err = NameFromUnicode(name, nameLength, &leaf);
  if (err != noErr) return err;
  std::string target = JoinPath(ParentPath(path), leaf);
  if (target != path) {
    int e = 0;
    RegistryMove(path, target, [&] { return (e = RenameNoReplace(path, target)) == 0; });
    if (e != 0) return ErrnoToOSErr(e);
  }
  return newRef != nullptr ? RefAt(target, newRef) : OSErr(noErr);
}

OSErr FSMoveObject(const FSRef* ref, const FSRef* destDirectory, FSRef* newRef) {
  std::string path, folder;
  struct stat st, folderSt;
  OSErr err = ResolveRef(ref, &path, &st);
  if (err != noErr) return err;
  err = ResolveFolder(destDirectory, &folder, &folderSt);
  if (err != noErr) return err;
  if (path == "/" || folder == path || IsInside(folder, path)) return badMovErr;
  std::string target = JoinPath(folder, LastComponent(path));
  if (target != path) {
    int e = 0;
    RegistryMove(path, target, [&] { return (e = RenameNoReplace(path, target)) == 0; });
    if (e == EINVAL) return badMovErr;
    if (e != 0) return ErrnoToOSErr(e);
  }
  return newRef != nullptr ? RefAt(target, newRef) : OSErr(noErr);
}

OSErr FSExchangeObjects(const FSRef* ref, const FSRef* destRef) {
  std::string a, b;
  struct stat sa, sb;
  OSErr err = ResolveRef(ref, &a, &sa);
  if (err == noErr) err = ResolveRef(destRef, &b, &sb);
  if (err != noErr) return err;
  if (!S_ISREG(sa.st_mode) || !S_ISREG(sb.st_mode)) return notAFileErr;
  if (a == b) return noErr;
  if (sa.st_dev != sb.st_dev) return diffVolErr;
  if (renameat2(AT_FDCWD, a.c_str(), AT_FDCWD, b.c_str(), RENAME_EXCHANGE) == 0) return noErr;
  if (errno != EINVAL && errno != ENOSYS) return ErrnoToOSErr(errno);
  // No atomic exchange on this file system: three renames, undone on failure.
  std::string temp = a + ".exchange-" + std::to_string(getpid());
  if (int e = RenameNoReplace(a, temp); e != 0) return ErrnoToOSErr(e);
  if (rename(b.c_str(), a.c_str()) != 0) {
    int e = errno;
    (void)rename(temp.c_str(), a.c_str());
    return ErrnoToOSErr(e);
  }
  if (rename(temp.c_str(), b.c_str()) != 0) {
    int e = errno;
    (void)rename(a.c_str(), b.c_str());
    (void)rename(temp.c_str(), a.c_str());
    return ErrnoToOSErr(e);
  }
  return noErr;
}

OSStatus FSCopyObjectSync(const FSRef* source, const FSRef* destDir, CFStringRef destName, FSRef* target,
                          OptionBits options) {
  if (options & ~kKnownFileOperationOptions) return paramErr;
  std::string src, dst;
  struct stat st;
  OSErr err = ResolveRef(source, &src, &st);
  if (err != noErr) return err;
  err = Destination(src, st, destDir, destName, &dst);
  if (err != noErr) return err;
  if (dst == src) return dupFNErr;
  bool made = false;
  err = CopyTree(src, dst, st, &made);
  if (err != noErr) {
    if (made) (void)RemoveTree(dst);  // no half copies
    return err;
  }
  return target != nullptr ? RefAt(dst, target) : OSErr(noErr);
}

OSStatus FSMoveObjectSync(const FSRef* source, const FSRef* destDir, CFStringRef destName, FSRef* target,
                          OptionBits options) {
  if (options & ~kKnownFileOperationOptions) return paramErr;
  std::string src, dst;
  struct stat st;
  OSErr err = ResolveRef(source, &src, &st);
  if (err != noErr) return err;
  if (src == "/") return badMovErr;
  err = Destination(src, st, destDir, destName, &dst);
  if (err != noErr) return err;
  if (dst != src) {
    int e = 0;
    RegistryMove(src, dst, [&] { return (e = RenameNoReplace(src, dst)) == 0; });
    if (e == EXDEV) {
      if (options & kFSFileOperationDoNotMoveAcrossVolumes) return diffVolErr;
      bool made = false;
      err = CopyTree(src, dst, st, &made);
      if (err != noErr) {
        if (made) (void)RemoveTree(dst);
        return err;
      }
      // The copy is complete (made outside the registry's lock: it may be
      // long); a source that cannot be removed entirely is reported, and
      // both stay.
      RegistryMove(src, dst, [&] { return (err = RemoveTree(src)) == noErr; });
      if (err != noErr) return err;
    } else if (e == EINVAL) {
      return badMovErr;
    } else if (e != 0) {
      return ErrnoToOSErr(e);
    }
  }
  return target != nullptr ? RefAt(dst, target) : OSErr(noErr);
}

// ---------------------------------------------------------------------------
// FSSpec

OSErr FSMakeFSSpec(FSVolumeRefNum vRefNum, SInt32 dirID, ConstStr255Param fileName, FSSpec* spec) {
  if (spec == nullptr) return paramErr;
  std::string folder;
  if (!FolderForNode(vRefNum, UInt32(dirID), &folder)) return dirNFErr;
  struct stat st;
  if (fileName == nullptr || fileName[0] == 0) {
    if (lstat(folder.c_str(), &st) != 0) return ErrnoToOSErr(errno);
    return FillSpec(folder, st, spec);
  }
  std::string name;
  OSErr err = NameFromMacRoman(fileName, &name);
  if (err != noErr) return err;
  if (fileName[0] > 63) return bdNamErr;
  std::string path = JoinPath(folder, name);
  if (lstat(path.c_str(), &st) == 0) return FillSpec(path, st, spec);
  if (errno != ENOENT) return ErrnoToOSErr(errno);
  // Not there: the FSSpec is still good for creating the item.
  spec->vRefNum = vRefNum;
  spec->parID = dirID;
  std::memcpy(spec->name, fileName, size_t(fileName[0]) + 1);
  return fnfErr;
}

OSErr FSpMakeFSRef(const FSSpec* source, FSRef* newRef) {
  if (source == nullptr || newRef == nullptr) return paramErr;
  if (source->parID == fsRtParID) return RefAt("/", newRef);
  std::string folder;
  if (!FolderForNode(source->vRefNum, UInt32(source->parID), &folder)) return dirNFErr;
  if (source->name[0] == 0 || source->name[0] > 63) return bdNamErr;
  std::string name;
  OSErr err = NameFromMacRoman(source->name, &name);
  if (err != noErr) return err;
  return RefAt(JoinPath(folder, name), newRef);
}
