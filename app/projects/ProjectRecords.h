// ProjectRecords: the records a project stores in its group files and its
// preferences, each with explicit encoders so the stored bytes never depend
// on the compiler's layout. Numbers are written in host order (little-endian
// on the machines we build for); short strings as a length byte, their
// characters and zeros up to the slot's width.
#pragma once

#include <string>
#include <string_view>

#include "CFArray.h"
#include "CFData.h"
#include "Files.h"
#include "MacTypes.h"
#include "ShortString.h"
#include "TUserPathsBrowserUnit.h"

// ---------------------------------------------------------------------------
// User paths: the record, its kinds and its encoders are the framework's
// (TUserPathsBrowserUnit); a project adds the placeholders of its templates.

// "{root}", "{url}", "{src}", "{app}", "{sys}", "{host}" for kinds 1 to 6;
// empty for any other kind.
const char* UserPathPlaceholder(SInt16 kind);

// ---------------------------------------------------------------------------
// Source and resource items (80 bytes).

enum : CFIndex { kProjectItemDataSize = 80 };

struct ProjectItemData {
  Str63 name;              // 0: the file's name; found again by ResolveFile
  UInt32 index = 0;        // 64: the item's own tree index
  Boolean edited = false;  // 68
  Boolean compiling = false;     // 69
  Boolean transferring = false;  // 70
  Boolean needsUpload = false;   // 71
  SInt32 errorDomain = 0;  // 72: the last failed upload's stream error
  SInt32 errorCode = 0;    // 76
};

void EncodeProjectItemData(const ProjectItemData& item, UInt8 (&bytes)[kProjectItemDataSize]);
ProjectItemData DecodeProjectItemData(const UInt8* bytes, CFIndex size);
// An upload error shows only when both words are set.
inline Boolean HasUploadError(const ProjectItemData& item) {
  return item.errorDomain != 0 && item.errorCode != 0;
}

// ---------------------------------------------------------------------------
// Snippets (64 + text bytes): the name and ":" in the first 64 bytes (no
// length byte, zeros after the ":"), then the text in UTF-16 host order.

enum : CFIndex { kSnippetNameSize = 64 };

// The name is cut before any ":" it holds, and to 63 bytes.
std::string SnippetCreateData(std::string_view name, const std::u16string& text);
// The name before the first ":" of the first 64 bytes.
Str63 SnippetGetName(const void* data, CFIndex size);
std::u16string SnippetGetUnicodeText(const void* data, CFIndex size);
// Replaces the first 64 bytes with the new name and ":".
void SnippetRename(std::string& data, std::string_view name);

// ---------------------------------------------------------------------------
// Bookmarks (401 bytes): name Str63, URL Str255 at 64, the application at
// 320 (80 bytes: the application's desktop-file id as a zero-terminated
// string, zeros when none), open inside at 400.

enum : CFIndex { kProjectBookmarkDataSize = 401, kBookmarkApplicationSize = 80 };

struct ProjectBookmarkData {
  Str63 name;
  Str255 url;
  std::string application;  // desktop-file id; at most 79 bytes are kept
  Boolean openInside = false;
};

void EncodeProjectBookmarkData(const ProjectBookmarkData& bookmark, UInt8 (&bytes)[kProjectBookmarkDataSize]);
ProjectBookmarkData DecodeProjectBookmarkData(const UInt8* bytes, CFIndex size);
// A new bookmark for the URL: opens inside; named after the text following
// the URL's last "/", "untitled" when that is empty.
ProjectBookmarkData NewBookmarkData(const Str255& url);
// Dropped text a bookmark takes: its scheme (the text before its first ":")
// is "http", "ftp" or "file".
Boolean IsBookmarkText(std::string_view text);

// ---------------------------------------------------------------------------
// Commands (96 bytes): title Str63, the library command's name Str31 at 64.

enum : CFIndex { kCommandDataSize = 96 };

struct CommandData {
  Str63 title;
  Str31 command;
};

void EncodeCommandData(const CommandData& command, UInt8 (&bytes)[kCommandDataSize]);
CommandData DecodeCommandData(const UInt8* bytes, CFIndex size);

// ---------------------------------------------------------------------------
// Folders inside a group (72 bytes): name Str63, the group's item type,
// then a zero word.

enum : CFIndex { kProjectFolderDataSize = 72 };
enum : OSType { kProjectFolderType = 'FOLD' };

void EncodeProjectFolder(const Str63& name, OSType groupType, UInt8 (&bytes)[kProjectFolderDataSize]);
Str63 DecodeProjectFolderName(const UInt8* bytes, CFIndex size);
// A stored (Mac Roman) name as UTF-16.
std::u16string ProjectNameToUnicode(const Str255& name);

// ---------------------------------------------------------------------------
// Label colours of "FileInfoLabel".

struct ProjectLabelColor {
  float red, green, blue, alpha;
};
// False for "None", an empty or an unknown name.
Boolean GetProjectLabelColor(const Str255& label, ProjectLabelColor& color);

// Short-string fit: a name fits a slot of width N when it has at most N
// bytes. Names that do not fit are refused, never cut.
inline Boolean NameFits(std::string_view name, int width) {
  return !name.empty() && static_cast<int>(name.size()) <= width;
}
