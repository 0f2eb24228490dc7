// Tree files (the record trees that group files and browser states are
// saved in): any bytes read without a memory fault, and a tree that reads is
// written and reads back in the same shape with the same records.
#include "brackenrow/DiskUtilities.h"
#include "FuzzSupport.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::SetUp();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const FSRef file = fuzz::Ref(fuzz::Write("tree.plist", data, size));
  fuzz::Owned tree(CFTreeReadPropertyList(file, nullptr, nullptr));
  if (!tree) return 0;
  fuzz::Owned written(CFTreeConvertToProperyList(CFTreeRef(tree.object), nullptr, nullptr));
  CFTreeWritePropertyList(file, CFTreeRef(tree.object), nullptr, nullptr);
  fuzz::Owned again(CFTreeReadPropertyList(file, nullptr, nullptr));
  if (!written) {
    if (again) fuzz::Fail("a tree without records reads back with some");
    return 0;
  }
  if (!again) fuzz::Fail("a written tree does not read back");
  fuzz::Owned rewritten(CFTreeConvertToProperyList(CFTreeRef(again.object), nullptr, nullptr));
  if (!rewritten || !CFEqual(written.object, rewritten.object))
    fuzz::Fail("a written tree reads back in another shape");
  return 0;
}
