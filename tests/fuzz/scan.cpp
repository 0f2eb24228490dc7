// The scan of source text by the shipped languages (what every opened file
// goes through): any text, in any language, whole or as an edit's span, read
// from the editor or from a file, is scanned to its end without a memory
// fault. The first input byte picks the language and the way in; the rest
// is the text.
#include <memory>

#include "../support/RecordingSyntaxController.h"
#include "FuzzSupport.h"
#include "TFileSystemUnit.h"
#include "TSyntaxCollectionUnit.h"
#include "TSyntaxParserProcessUnit.h"

namespace {

const char* const kLanguages[] = {"html", "css", "javascript", "perl", "xml", "php", "ruby"};
const char* const kFileNames[] = {"a.html", "a.css", "a.js", "a.pl", "a.xml", "a.php", "a.rb"};

TSyntaxCollection* Collection() {
  static TSyntaxCollection* collection = [] {
    TSyntaxCollection* made = CreateSyntaxCollection(nullptr);
    for (const char* language : kLanguages) made->LoadLibrary(language);
    return made;
  }();
  return collection;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::SetUp();
  for (const char* language : kLanguages)
    if (Collection()->GetLanguageLibrary(language) == nullptr) fuzz::Fail("a shipped language did not load");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const size_t language = data[0] % std::size(kLanguages);
  const int way = (data[0] / std::size(kLanguages)) % 3;  // 0 editor, 1 span of the editor, 2 file
  ++data;
  --size;
  SyntaxLibraryPtr library = Collection()->GetLanguageLibrary(kLanguages[language]);

  SyntaxParserSource source;
  source.library = library;
  SyntaxParserDestination destination;
  std::unique_ptr<RecordingSyntaxController> controller;
  TFileSystem* index = nullptr;
  if (way < 2) {
    // The editor's text: the bytes as Mac Roman characters, one unit each.
    std::u16string text(data, data + size);
    controller = std::make_unique<RecordingSyntaxController>(text);
    source.controller = controller.get();
    if (way == 1 && size >= 2) {
      const SInt32 a = SInt32(data[0]) * SInt32(size) / 256, b = SInt32(data[1]) * SInt32(size) / 256;
      source.span = CFRangeMake(std::min(a, b), std::max(a, b));
    }
  } else {
    const std::string file = fuzz::Write(kFileNames[language], data, size);
    source.file = fuzz::Ref(file);
    index = CreateFileSystem(fuzz::Ref(fuzz::Folder("index")), Collection(), nullptr);
    index->SetRoot(fuzz::Ref(fuzz::Folder("")));
    destination.fileSystem = index;
    destination.collection = Collection();
  }
  auto* process = new TSyntaxParserProcess();
  if (way == 1) {
    process->incremental = true;
    process->fromController = true;
  }
  if (process->Create(source, destination) == 0) {
    TSyntaxParserProcess* next = nullptr;
    for (int runs = 0; process->Run(next) == 1; ++runs)
      if (runs > 1000000) fuzz::Fail("the scan does not end");
  }
  process->Free();
  if (index) index->Release();
  return 0;
}
