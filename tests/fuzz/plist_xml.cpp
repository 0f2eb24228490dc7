// Property lists in XML (preferences, project and group files, language
// files, interface files): any bytes read without a memory fault, and a list
// that reads is written and read back to the same list.
#include "CFPropertyList.h"
#include "FuzzSupport.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::SetUp();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Owned input(fuzz::NewData(data, size));
  CFStringRef error = nullptr;
  fuzz::Owned list(CFPropertyListCreateFromXMLData(nullptr, CFDataRef(input.object), kCFPropertyListMutableContainersAndLeaves, &error));
  fuzz::Owned message(error);
  if (!list) return 0;
  // What was read is written; what was written reads back as an equal list
  // and writes the same bytes again.
  fuzz::Owned written(CFPropertyListCreateXMLData(nullptr, list.object));
  if (!written) return 0;  // a value the XML form cannot hold
  fuzz::Owned again(CFPropertyListCreateFromXMLData(nullptr, CFDataRef(written.object), kCFPropertyListImmutable, nullptr));
  if (!again) fuzz::Fail("a written list does not read back");
  fuzz::Owned rewritten(CFPropertyListCreateXMLData(nullptr, again.object));
  if (!rewritten || fuzz::Bytes(CFDataRef(rewritten.object)) != fuzz::Bytes(CFDataRef(written.object)))
    fuzz::Fail("a list read back writes other bytes");
  return 0;
}
