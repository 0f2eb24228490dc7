// The library's exported names: exactly its interface, nothing of the
// foundation copy inside it.
#include <cxxabi.h>
#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <set>

#include "PlinthoraTestSupport.h"

namespace {

TEST(PlinthoraLibrary, ExportsExactlyItsInterface) {
  Dl_info info{};
  ASSERT_NE(dladdr(reinterpret_cast<void*>(&RegisterTabViewClass), &info), 0);
  const std::string path = info.dli_fname;
  FILE* pipe = popen(("nm -D --defined-only '" + path + "' 2>/dev/null").c_str(), "r");
  if (pipe == nullptr) GTEST_SKIP() << "nm is not available";
  std::set<std::string> names;
  void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
  ASSERT_NE(library, nullptr);
  char line[1024];
  while (fgets(line, sizeof line, pipe)) {
    char address[64], type[8], symbol[900];
    if (sscanf(line, "%63s %7s %899s", address, type, symbol) != 3) continue;
    if (std::string(type) != "T" && std::string(type) != "W") continue;
    EXPECT_NE(dlsym(library, symbol), nullptr) << symbol;
    int status = 0;
    std::unique_ptr<char, void (*)(void*)> demangled(abi::__cxa_demangle(symbol, nullptr, nullptr, &status), std::free);
    std::string name = status == 0 ? demangled.get() : symbol;
    names.insert(name.substr(0, name.find('(')));
  }
  pclose(pipe);
  dlclose(library);
  const std::set<std::string> expected = {
      // split view
      "SplitViewClose", "SplitViewGetAsynchronous", "SplitViewGetPane", "SplitViewGetPaneIndex",
      "SplitViewGetPosition", "SplitViewSetCreatePaneCallback", "SplitViewSetKind", "SplitViewSetLimit",
      "SplitViewSetNotificationCallback", "SplitViewSetPane", "SplitViewSetPosition", "SplitViewSetVisible",
      "SplitViewSetupPanes", "SplitViewTrackSlider",
      // tab view
      "TabViewAppend", "TabViewAutoReleaseContext", "TabViewForEachPane", "TabViewGetActive", "TabViewGetContext",
      "TabViewGetContextAtIndex", "TabViewGetCount", "TabViewGetPane", "TabViewGetPanes", "TabViewGetTabArray",
      "TabViewRemove", "TabViewRemoveByContext", "TabViewSelect", "TabViewSetCallbacks", "TabViewSetIcon",
      "TabViewSetTitle", "TabViewSetTitleWithCFString", "TabViewSetVisible", "TabViewSwapPane",
      // toolbar
      "ToolbarAddAnimated", "ToolbarAddButton", "ToolbarAddSlider", "ToolbarAddView", "ToolbarChangeItem",
      "ToolbarGetItemMenu", "ToolbarGetItemText", "ToolbarRemoveAll", "ToolbarRemoveItem", "ToolbarSetCallbacks",
      "ToolbarSetItemHidden", "ToolbarSetItemIcon", "ToolbarSetItemMenu", "ToolbarSetItemText", "ToolbarSetOptions",
      "ToolbarSetStyle",
      // custom buttons
      "HICustomButtonCreate", "HICustomButtonCreateBevel", "HICustomButtonCreateTabTrack",
      "HICustomButtonApplyStyles", "HICustomButtonLoadImages",
      // registration
      "RegisterSplitViewClass", "RegisterTabViewClass", "RegisterToolbarViewClass"};
  EXPECT_EQ(names, expected);
}

}  // namespace
