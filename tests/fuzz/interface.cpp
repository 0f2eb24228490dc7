// Interface files (the windows, views and menus of the program and its
// plug-ins): any property list is taken as one, and every window, menu and
// menu bar it names is made and disposed of without a memory fault.
#include <vector>

#include "CFBundle.h"
#include "CFDictionary.h"
#include "CFPropertyList.h"
#include "CFURL.h"
#include "FuzzSupport.h"
#include "IBCarbonRuntime.h"
#include "MacWindows.h"
#include "Menus.h"
#include "TConsoleUnit.h"
#include "TDemoApplicationUnit.h"

namespace {

std::vector<CFStringRef> Names(CFTypeRef root, const char* section) {
  std::vector<CFStringRef> names;
  if (root == nullptr || CFGetTypeID(root) != CFDictionaryGetTypeID()) return names;
  fuzz::Owned key(CFStringCreateWithCString(nullptr, section, kCFStringEncodingUTF8));
  CFTypeRef s = CFDictionaryGetValue(CFDictionaryRef(root), key.object);
  if (s == nullptr || CFGetTypeID(s) != CFDictionaryGetTypeID()) return names;
  const CFIndex count = CFDictionaryGetCount(CFDictionaryRef(s));
  std::vector<const void*> keys(static_cast<size_t>(count));
  CFDictionaryGetKeysAndValues(CFDictionaryRef(s), keys.data(), nullptr);
  for (const void* k : keys)
    if (CFGetTypeID(k) == CFStringGetTypeID() && names.size() < 16) names.push_back(CFStringRef(k));
  return names;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::SetUp();
  LoadFrameworks();  // the view classes of the interface files, as at start-up
  RegisterConsoleClass();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Write("bundle/Interface/Fuzz.nib.plist", data, size);
  static CFBundleRef bundle = [] {
    const std::string folder = fuzz::Folder("bundle");
    CFURLRef url = CFURLCreateFromFileSystemRepresentation(nullptr, reinterpret_cast<const UInt8*>(folder.c_str()),
                                                           CFIndex(folder.size()), true);
    CFBundleRef made = CFBundleCreate(nullptr, url);
    CFRelease(url);
    return made;
  }();
  if (bundle == nullptr) fuzz::Fail("no bundle for the interface file");
  IBNibRef nib = nullptr;
  if (CreateNibReferenceWithCFBundle(bundle, CFStringMakeConstantUTF8("Fuzz"), &nib) != noErr) return 0;

  // The names as the file gives them (the reference keeps its own copy).
  fuzz::Owned input(fuzz::NewData(data, size));
  fuzz::Owned root(CFPropertyListCreateFromXMLData(nullptr, CFDataRef(input.object), kCFPropertyListImmutable, nullptr));
  for (CFStringRef name : Names(root.object, "windows")) {
    WindowRef window = nullptr;
    if (CreateWindowFromNib(nib, name, &window) == noErr && window) DisposeWindow(window);
  }
  for (CFStringRef name : Names(root.object, "menus")) {
    MenuRef menu = nullptr;
    if (CreateMenuFromNib(nib, name, &menu) == noErr && menu) ReleaseMenu(menu);
  }
  for (CFStringRef name : Names(root.object, "menuBars")) {
    Handle bar = nullptr;
    if (CreateMenuBarFromNib(nib, name, &bar) == noErr && bar) DisposeMenuBar(bar);
  }
  DisposeNibReference(nib);
  return 0;
}
