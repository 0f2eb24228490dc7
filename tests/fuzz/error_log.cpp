// The error log that the PHP debug wrapper writes (XML; a script that dies
// while writing it, or that prints into it, leaves it cut or odd): any bytes
// read without a memory fault, and a log that reads is listed in the PHP
// pane, each row shown and chosen, its frames filling the log windows.
#include "ApplicationFramework.h"
#include "DataBrowser.h"
#include "FuzzSupport.h"
#include "IBCarbonRuntime.h"
#include "InterpreterDrivers.h"
#include "TConsoleUnit.h"
#include "TDemoApplicationUnit.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::SetUp();
  LoadFrameworks();  // the view classes of the interface files, as at start-up
  RegisterConsoleClass();
  if (CreateNibReference(CFStringMakeConstantUTF8("main"), &ApplicationNib) != noErr) fuzz::Fail("the program's interface file");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CFTreeRef tree = ReadPHPErrorLog(fuzz::Ref(fuzz::Write("log.xml", data, size)));
  if (tree == nullptr) return 0;
  for (CFTreeRef child = CFTreeGetFirstChild(tree); child; child = CFTreeGetNextSibling(child))
    for (const char* key : {"type", "message", "file", "line", "function", "name", "value", "class"})
      GetErrorFieldValue(child, key);
  auto* pane = static_cast<TPHPPane*>(CreatePHPPane());
  pane->SetLog(tree);  // the pane takes the log
  for (SInt16 row = 0; row < 8; ++row) {
    void* item = pane->browser ? pane->browser->RowData(row) : nullptr;
    if (item == nullptr) break;
    pane->browser->ItemDisplay(item);
    SetDataBrowserSelectedItems(pane->browser->VIEW, 0, nullptr, kDataBrowserItemsAssign);
    pane->browser->SelectRow(row);
    for (auto* window : pane->logWindows)
      if (window && window->browser)
        for (SInt16 r = 0; r < 8; ++r)
          if (void* d = window->browser->RowData(r)) window->browser->ItemDisplay(d);
  }
  pane->Release();
  return 0;
}
