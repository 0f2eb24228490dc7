#include "ProjectRecords.h"

#include <algorithm>
#include <cstring>

#include "CFString.h"

namespace {

template <int N>
void PutString(UInt8* at, const ShortString<N>& s) {
  std::memset(at, 0, N + 1);
  at[0] = static_cast<UInt8>(s.len());
  std::memcpy(at + 1, s.data() + 1, s.len());
}

// A length byte past the slot or the item is cut to them.
template <int N>
ShortString<N> GetString(const UInt8* bytes, CFIndex size, CFIndex offset) {
  if (size <= offset) return ShortString<N>();
  CFIndex available = std::min<CFIndex>(size - offset - 1, N);
  CFIndex length = std::min<CFIndex>(bytes[offset], available);
  return ShortString<N>::FromBytes(bytes + offset + 1, static_cast<size_t>(std::max<CFIndex>(length, 0)));
}

template <typename T>
void PutNumber(UInt8* at, T value) {
  std::memcpy(at, &value, sizeof value);  // host order
}

template <typename T>
T GetNumber(const UInt8* bytes, CFIndex size, CFIndex offset) {
  T value{};
  if (size >= offset + static_cast<CFIndex>(sizeof value)) std::memcpy(&value, bytes + offset, sizeof value);
  return value;
}

Boolean GetFlag(const UInt8* bytes, CFIndex size, CFIndex offset) {
  return size > offset && bytes[offset] != 0;
}

}  // namespace

// ---------------------------------------------------------------------------

const char* UserPathPlaceholder(SInt16 kind) {
  switch (kind) {
    case kUserPathRoot: return "{root}";
    case kUserPathURL: return "{url}";
    case kUserPathProject: return "{src}";
    case kUserPathApplication: return "{app}";
    case kUserPathSystem: return "{sys}";
    case kUserPathLocalhost: return "{host}";
    default: return "";
  }
}

// ---------------------------------------------------------------------------

void EncodeProjectItemData(const ProjectItemData& item, UInt8 (&bytes)[kProjectItemDataSize]) {
  std::memset(bytes, 0, sizeof bytes);
  PutString(bytes, item.name);
  PutNumber<UInt32>(bytes + 64, item.index);
  bytes[68] = item.edited ? 1 : 0;
  bytes[69] = item.compiling ? 1 : 0;
  bytes[70] = item.transferring ? 1 : 0;
  bytes[71] = item.needsUpload ? 1 : 0;
  PutNumber<SInt32>(bytes + 72, item.errorDomain);
  PutNumber<SInt32>(bytes + 76, item.errorCode);
}

ProjectItemData DecodeProjectItemData(const UInt8* bytes, CFIndex size) {
  ProjectItemData item;
  if (!bytes) return item;
  item.name = GetString<63>(bytes, std::min<CFIndex>(size, 64), 0);
  item.index = GetNumber<UInt32>(bytes, size, 64);
  item.edited = GetFlag(bytes, size, 68);
  item.compiling = GetFlag(bytes, size, 69);
  item.transferring = GetFlag(bytes, size, 70);
  item.needsUpload = GetFlag(bytes, size, 71);
  item.errorDomain = GetNumber<SInt32>(bytes, size, 72);
  item.errorCode = GetNumber<SInt32>(bytes, size, 76);
  return item;
}

// ---------------------------------------------------------------------------

std::string SnippetCreateData(std::string_view name, const std::u16string& text) {
  std::string_view cut = name.substr(0, std::min(name.find(':'), name.size()));
  cut = cut.substr(0, std::min<size_t>(cut.size(), kSnippetNameSize - 1));
  std::string data(kSnippetNameSize + text.size() * 2, '\0');
  std::memcpy(data.data(), cut.data(), cut.size());
  data[cut.size()] = ':';
  if (!text.empty()) std::memcpy(data.data() + kSnippetNameSize, text.data(), text.size() * 2);
  return data;
}

Str63 SnippetGetName(const void* data, CFIndex size) {
  if (!data || size <= 0) return Str63();
  const char* bytes = static_cast<const char*>(data);
  std::string_view head(bytes, static_cast<size_t>(std::min<CFIndex>(size, kSnippetNameSize)));
  size_t colon = head.find(':');
  if (colon == std::string_view::npos) {
    // Without its ":" the name runs to the first zero.
    colon = std::min(head.find('\0'), head.size());
  }
  return Str63(head.substr(0, std::min<size_t>(colon, 63)));
}

std::u16string SnippetGetUnicodeText(const void* data, CFIndex size) {
  if (!data || size <= kSnippetNameSize) return std::u16string();
  std::u16string text(static_cast<size_t>((size - kSnippetNameSize) / 2), u'\0');
  std::memcpy(text.data(), static_cast<const char*>(data) + kSnippetNameSize, text.size() * 2);
  return text;
}

void SnippetRename(std::string& data, std::string_view name) {
  if (data.size() < static_cast<size_t>(kSnippetNameSize)) data.resize(kSnippetNameSize, '\0');
  std::string head = SnippetCreateData(name, std::u16string());
  std::memcpy(data.data(), head.data(), kSnippetNameSize);
}

// ---------------------------------------------------------------------------

void EncodeProjectBookmarkData(const ProjectBookmarkData& bookmark, UInt8 (&bytes)[kProjectBookmarkDataSize]) {
  std::memset(bytes, 0, sizeof bytes);
  PutString(bytes, bookmark.name);
  PutString(bytes + 64, bookmark.url);
  size_t length = std::min<size_t>(bookmark.application.size(), kBookmarkApplicationSize - 1);
  std::memcpy(bytes + 320, bookmark.application.data(), length);
  bytes[400] = bookmark.openInside ? 1 : 0;
}

ProjectBookmarkData DecodeProjectBookmarkData(const UInt8* bytes, CFIndex size) {
  ProjectBookmarkData bookmark;
  if (!bytes) return bookmark;
  bookmark.name = GetString<63>(bytes, std::min<CFIndex>(size, 64), 0);
  bookmark.url = GetString<255>(bytes, std::min<CFIndex>(size, 320), 64);
  if (size >= 320 + kBookmarkApplicationSize) {
    const char* app = reinterpret_cast<const char*>(bytes + 320);
    bookmark.application.assign(app, strnlen(app, kBookmarkApplicationSize - 1));
  }
  bookmark.openInside = GetFlag(bytes, size, 400);
  return bookmark;
}

ProjectBookmarkData NewBookmarkData(const Str255& url) {
  ProjectBookmarkData bookmark;
  bookmark.url = url;
  bookmark.openInside = true;
  std::string_view text = url.view();
  size_t slash = text.rfind('/');
  std::string_view last = slash == std::string_view::npos ? text : text.substr(slash + 1);
  bookmark.name = last.empty() ? Str63("untitled") : Str63(last);
  return bookmark;
}

Boolean IsBookmarkText(std::string_view text) {
  size_t colon = text.find(':');
  if (colon == std::string_view::npos) return false;
  std::string_view scheme = text.substr(0, colon);
  return scheme == "http" || scheme == "ftp" || scheme == "file";
}

// ---------------------------------------------------------------------------

void EncodeCommandData(const CommandData& command, UInt8 (&bytes)[kCommandDataSize]) {
  std::memset(bytes, 0, sizeof bytes);
  PutString(bytes, command.title);
  PutString(bytes + 64, command.command);
}

CommandData DecodeCommandData(const UInt8* bytes, CFIndex size) {
  CommandData command;
  if (!bytes) return command;
  command.title = GetString<63>(bytes, std::min<CFIndex>(size, 64), 0);
  command.command = GetString<31>(bytes, size, 64);
  return command;
}

// ---------------------------------------------------------------------------

void EncodeProjectFolder(const Str63& name, OSType groupType, UInt8 (&bytes)[kProjectFolderDataSize]) {
  std::memset(bytes, 0, sizeof bytes);
  PutString(bytes, name);
  PutNumber<UInt32>(bytes + 64, groupType);
}

Str63 DecodeProjectFolderName(const UInt8* bytes, CFIndex size) {
  if (!bytes) return Str63();
  return GetString<63>(bytes, std::min<CFIndex>(size, 64), 0);
}

// ---------------------------------------------------------------------------

Boolean GetProjectLabelColor(const Str255& label, ProjectLabelColor& color) {
  struct Entry {
    const char* name;
    ProjectLabelColor color;
  };
  static const Entry kLabels[] = {
      {"Gray", {0, 0, 0, 0.3f}},     {"Purple", {0.5f, 0, 0.5f, 0.3f}}, {"Yellow", {0.3f, 0.3f, 0, 0.3f}},
      {"Orange", {1, 0.5f, 0, 0.3f}}, {"Red", {1, 0, 0, 0.3f}},          {"Green", {0, 1, 0, 0.3f}},
      {"Blue", {0, 0, 1, 0.3f}},
  };
  for (const Entry& entry : kLabels) {
    if (label == entry.name) {
      color = entry.color;
      return true;
    }
  }
  return false;
}

std::u16string ProjectNameToUnicode(const Str255& name) {
  CFStringRef string = CFStringCreateWithPascalString(nullptr, name.data(), kCFStringEncodingMacRoman);
  std::u16string result;
  if (string) {
    result.resize(static_cast<size_t>(CFStringGetLength(string)));
    CFStringGetCharacters(string, CFRangeMake(0, CFStringGetLength(string)),
                          reinterpret_cast<UniChar*>(result.data()));
    CFRelease(string);
  }
  return result;
}
