// The records inside project, group and index files, read by their decoders
// alone: a payload of any length and content decodes without reading past its
// end, and a record that decodes encodes to bytes that decode to the same
// values. The first input byte picks the record kind; the rest is the payload,
// in a block of exactly its size.
#include <vector>

#include "FuzzSupport.h"
#include "ProjectRecords.h"
#include "TFileSystemUnit.h"
#include "TSymbolTableUnit.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::SetUp();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const uint8_t kind = data[0];
  const std::vector<UInt8> payload(data + 1, data + size);
  const UInt8* bytes = payload.data();
  const auto length = CFIndex(payload.size());
  switch (kind % 9) {
    case 0: {
      const ProjectItemData item = DecodeProjectItemData(bytes, length);
      UInt8 out[kProjectItemDataSize];
      EncodeProjectItemData(item, out);
      if (!(DecodeProjectItemData(out, kProjectItemDataSize).name == item.name)) fuzz::Fail("an item's name changed");
      HasUploadError(item);
      break;
    }
    case 1: {
      const ProjectBookmarkData bookmark = DecodeProjectBookmarkData(bytes, length);
      UInt8 out[kProjectBookmarkDataSize];
      EncodeProjectBookmarkData(bookmark, out);
      const ProjectBookmarkData again = DecodeProjectBookmarkData(out, kProjectBookmarkDataSize);
      if (!(again.name == bookmark.name) || !(again.url == bookmark.url) || again.application != bookmark.application)
        fuzz::Fail("a bookmark changed");
      break;
    }
    case 2: {
      const CommandData command = DecodeCommandData(bytes, length);
      UInt8 out[kCommandDataSize];
      EncodeCommandData(command, out);
      const CommandData again = DecodeCommandData(out, kCommandDataSize);
      if (!(again.title == command.title) || !(again.command == command.command)) fuzz::Fail("a command changed");
      break;
    }
    case 3:
      DecodeProjectFolderName(bytes, length);
      break;
    case 4: {
      SnippetGetName(bytes, length);
      SnippetGetUnicodeText(bytes, length);
      std::string snippet(payload.begin(), payload.end());
      SnippetRename(snippet, "renamed");
      if (!(SnippetGetName(snippet.data(), CFIndex(snippet.size())) == Str63("renamed")))
        fuzz::Fail("a renamed snippet has another name");
      break;
    }
    case 5: {
      const UserPathInfo info = DecodeUserPathInfo(bytes, length);
      UInt8 out[kUserPathInfoSize];
      EncodeUserPathInfo(info, out);
      if (!(DecodeUserPathInfo(out, kUserPathInfoSize).path == info.path)) fuzz::Fail("a user path changed");
      break;
    }
    case 6: {
      SymbolInfo info{};
      if (!SymbolInfoFromStoredBytes(bytes, length, info)) break;
      UInt8 out[kSymbolInfoStoredSize];
      SymbolInfoToStoredBytes(info, out);
      SymbolInfo again{};
      if (!SymbolInfoFromStoredBytes(out, kSymbolInfoStoredSize, again) || !(again.symbolName == info.symbolName) ||
          !(again.fileName == info.fileName))
        fuzz::Fail("a symbol changed");
      break;
    }
    case 7: {
      FileDescriptor descriptor{};
      FileDescriptorFromStoredBytes(bytes, length, descriptor);
      break;
    }
    default: {
      const std::string text(payload.begin(), payload.end());
      IsBookmarkText(text);
      ProjectLabelColor color{};
      GetProjectLabelColor(Str255(text), color);
      ProjectNameToUnicode(Str255(text));
      break;
    }
  }
  return 0;
}
