// Binary property lists: any bytes after the "bplist00" mark read without a
// memory fault (offsets, counts and references out of range, cycles), and a
// list that reads is written as XML and read back to the same list.
#include <cstring>
#include <vector>

#include "CFPropertyList.h"
#include "FuzzSupport.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::SetUp();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Inputs that lack the mark get it, so every input reaches the binary reader.
  std::vector<uint8_t> bytes;
  if (size < 6 || std::memcmp(data, "bplist", 6) != 0) bytes.assign({'b', 'p', 'l', 'i', 's', 't', '0', '0'});
  bytes.insert(bytes.end(), data, data + size);
  fuzz::Owned input(fuzz::NewData(bytes.data(), bytes.size()));
  fuzz::Owned list(CFPropertyListCreateFromXMLData(nullptr, CFDataRef(input.object), kCFPropertyListImmutable, nullptr));
  if (!list) return 0;
  fuzz::Owned written(CFPropertyListCreateXMLData(nullptr, list.object));
  if (!written) return 0;
  fuzz::Owned again(CFPropertyListCreateFromXMLData(nullptr, CFDataRef(written.object), kCFPropertyListImmutable, nullptr));
  if (!again) fuzz::Fail("a binary list written as XML does not read back");
  fuzz::Owned rewritten(CFPropertyListCreateXMLData(nullptr, again.object));
  if (!rewritten || fuzz::Bytes(CFDataRef(rewritten.object)) != fuzz::Bytes(CFDataRef(written.object)))
    fuzz::Fail("a binary list read back writes other bytes");
  return 0;
}
