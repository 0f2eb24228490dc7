// Language files (a person may add or edit one): any property list is read
// as a language without a memory fault, and a language that loads scans a
// small page of mixed code to its end.
#include <memory>

#include "../support/RecordingSyntaxController.h"
#include "CFPropertyList.h"
#include "FuzzSupport.h"
#include "TSyntaxCollectionUnit.h"
#include "TSyntaxParserProcessUnit.h"

namespace {

const char16_t kSample[] =
    u"<?php\r// note\r$a = \"x $b\" . 'y' . 0x1F;\rfunction f($x) { return [$x, <<<EOT\rhere\rEOT\r]; }\r"
    u"/* c */ if ($a == 1) { echo f(2); } ?>\r<p class=\"k\">&amp; <b>t</b></p>\r"
    u"<script>var s = /re+/g; s += `t${1}`;</script>\r<style>p { color: #fff; }</style>\r";

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::SetUp();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Owned input(fuzz::NewData(data, size));
  fuzz::Owned root(CFPropertyListCreateFromXMLData(nullptr, CFDataRef(input.object), kCFPropertyListImmutable, nullptr));
  if (!root) return 0;
  std::unique_ptr<TSyntaxCollection> collection(CreateSyntaxCollection(nullptr));
  SyntaxLibraryPtr library = collection->LoadLibraryFromPropertyList("fuzz", root.object);
  if (library == nullptr) return 0;
  for (int incremental = 0; incremental < 2; ++incremental) {
    RecordingSyntaxController controller{std::u16string(kSample)};
    SyntaxParserSource source;
    source.library = library;
    source.controller = &controller;
    if (incremental) source.span = CFRangeMake(20, 90);
    SyntaxParserDestination destination;
    destination.collection = collection.get();
    auto* process = new TSyntaxParserProcess();
    process->incremental = incremental;
    process->fromController = incremental;
    if (process->Create(source, destination) == 0) {
      TSyntaxParserProcess* next = nullptr;
      for (int runs = 0; process->Run(next) == 1; ++runs)
        if (runs > 1000000) fuzz::Fail("the scan does not end");
    }
    process->Free();
  }
  return 0;
}
