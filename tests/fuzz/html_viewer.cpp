// The HTML structure pane's own tag scanner: any text (read as UTF-16 view
// characters, or as bytes widened one to one) is scanned to its end without a
// memory fault, the tree never deeper than the bound, every node's range
// inside the text, and a second scan of the same tree replaces the first.
#include "FuzzSupport.h"
#include "THTMLViewerUnit.h"
#include "brackenrow/Browser.h"

#include <vector>

namespace {

int Depth(CFTreeRef tree, SInt32 length) {
  int deepest = 0;
  for (CFTreeRef child = CFTreeGetFirstChild(tree); child != nullptr; child = CFTreeGetNextSibling(child)) {
    TagNodeInfoPtr info = HTMLViewerNodeInfo(child);
    if (info == nullptr || info->tagRange.location < 0 || info->tagRange.location >= length ||
        info->tagRange.length < 0 || info->tagRange.length >= length)
      fuzz::Fail("a node outside the text");
    (void)HTMLViewerRowText(*info);
    const int d = 1 + Depth(child, length);
    if (d > deepest) deepest = d;
  }
  return deepest;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::SetUp();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  std::vector<UniChar> text;
  if (data[0] & 1) {
    for (size_t i = 1; i + 1 < size; i += 2) text.push_back(UniChar(data[i] | (data[i + 1] << 8)));
  } else {
    for (size_t i = 1; i < size; ++i) text.push_back(data[i]);
  }
  CFTreeRef root = BrackenrowCreateTree(nullptr);
  for (int round = 0; round < 2; ++round) {
    THTMLParser parser(root, text.data(), SInt32(text.size()));
    parser.Parse();
    if (Depth(root, SInt32(text.size())) > kHTMLMaximumDepth + 1) fuzz::Fail("the tree is deeper than its bound");
    (void)HTMLViewerListedNodes(root);
  }
  CFRelease(root);
  return 0;
}
