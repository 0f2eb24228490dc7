// What the interpreters print (PHP, Perl, Ruby and the HTML checker: the
// script and its input come from the user or other people): any output, cut
// into lines as the runner cuts it, with escape sequences, any bytes and any
// length, reaches the error pane of its language in any run mode and is
// listed without a memory fault. The first input byte picks the pane and
// the mode; the rest is the output.
#include <string>

#include "ApplicationFramework.h"
#include "FuzzSupport.h"
#include "IBCarbonRuntime.h"
#include "InterpreterDrivers.h"
#include "PascalCarbonCommon.h"
#include "SCRIPTS.h"
#include "UnixCommon.h"
#include "TConsoleUnit.h"
#include "TDemoApplicationUnit.h"

namespace {

TScriptPane* (*const kPanes[])() = {CreatePHPPane, CreatePERLPane, CreateRubyPane, CreateHTMLPane};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::SetUp();
  LoadFrameworks();  // the view classes of the interface files, as at start-up
  RegisterConsoleClass();
  if (CreateNibReference(CFStringMakeConstantUTF8("main"), &ApplicationNib) != noErr) fuzz::Fail("the program's interface file");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  TScriptPane* pane = kPanes[data[0] % 4]();
  if (pane == nullptr || pane->script == nullptr) fuzz::Fail("no pane");
  TScript* script = pane->script;
  script->runMode = SInt16(1 + (data[0] / 4) % 5);
  const std::string output(reinterpret_cast<const char*>(data + 1), size - 1);
  for (size_t start = 0; start <= output.size();) {
    size_t end = output.find_first_of("\r\n", start);
    if (end == std::string::npos) end = output.size();
    const std::string line = StripTerminalEscapes(output.substr(start, end - start));
    if (CFMutableStringRef text = CreateStringFromProcessOutput(line)) {
      if (!line.empty() && !script->blocking) pane->HandleSingleLine(PCFSTR(text));
      CFRelease(text);
    }
    start = end + 1;
  }
  pane->Finished();
  pane->Release();
  return 0;
}
