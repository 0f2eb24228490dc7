// A project's symbol index ("FileSystem.plist" in the project folder, which
// comes from other people): any bytes load without a memory fault, damaged
// entries are left out, and the index that loaded answers its look-ups,
// searches and lists and is saved and loaded again.
#include <memory>

#include "FuzzSupport.h"
#include "TFileSystemUnit.h"
#include "TSymbolTableUnit.h"
#include "TSyntaxCollectionUnit.h"

namespace {

TSyntaxCollection* Collection() {
  static TSyntaxCollection* collection = [] {
    TSyntaxCollection* made = CreateSyntaxCollection(nullptr);
    for (const char* language : {"html", "css", "javascript", "perl", "xml", "php", "ruby"}) made->LoadLibrary(language);
    return made;
  }();
  return collection;
}

void Examine(FileDescriptorPtr descriptor, void* context) {
  auto* index = static_cast<TFileSystem*>(context);
  index->GetSymbolics(descriptor->fileName);
  index->GetFileModified(descriptor->fileName);
}

SInt16 Found(SymbolInfoPtr info, const FileDescriptor&, const Str255&, CFTreeRef, void* context) {
  auto* index = static_cast<TFileSystem*>(context);
  SymbolInfoPtr global = nullptr;
  index->GetSymbol(info->symbolName, global);
  index->FindSymbol(info->symbolName.view());
  return 1;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::SetUp();
  Collection();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string folder = fuzz::Folder("project");
  fuzz::Write("project/FileSystem.plist", data, size);
  TFileSystem* index = CreateFileSystem(fuzz::Ref(folder), Collection(), nullptr);
  if (index == nullptr) fuzz::Fail("no index");
  index->SetRoot(fuzz::Ref(folder));
  index->ExamineFiles(Examine, index);
  index->ExamineSymbols(Found, index);
  index->SearchSymbolTable(Found, nullptr, "a", index);
  // What loaded is written and loads again.
  index->modified = true;
  index->Save();
  index->CleanAll();
  index->Release();
  TFileSystem* again = CreateFileSystem(fuzz::Ref(folder), Collection(), nullptr);
  again->ExamineSymbols(Found, again);
  again->Release();
  return 0;
}
