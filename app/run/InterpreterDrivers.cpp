#include "InterpreterDrivers.h"

#include <cstdlib>
#include <cstring>

#include "ApplicationFramework.h"
#include "Files.h"
#include "GNURegex.h"
#include "PascalCarbonCommon.h"
#include "TDocumentUnit.h"
#include "TPreferencesUnit.h"

const char kCommandLinePHPKey[] = "CommandLinePHP";
const char kCommandLinePERLKey[] = "CommandLinePERL";
const char kCommandLineRubyKey[] = "CommandLineRuby";

namespace {

constexpr char kPHPLogName[] = "php_errors.log";
constexpr char kPHPWrapperName[] = "php_debug.php";
constexpr char kSystemTidyPath[] = "/usr/bin/tidy";

Str255 Preference(const char* key) { return AppPrefs != nullptr ? AppPrefs->GetStringValue(key) : Str255(); }

SInt32 Number(const Str255& digits) { return SInt32(std::strtol(digits.str().c_str(), nullptr, 10)); }

// The last component of a path named in an interpreter's message.
Str63 FileName(const Str255& path) { return Str63(GetNameOnly(path.str())); }

Ptr CopyRecord(const void* record, Size size) { return NewPtrCopy(record, size); }

// Adds a heap copy of the record as a row (under parent, 0: the top level)
// and counts one error; the row's item ID.
SInt32 List(TScriptPane* pane, TBrowser* browser, const void* record, Size size, SInt32 parent) {
  SInt32 item = 0;
  if (browser != nullptr) {
    Ptr copy = CopyRecord(record, size);
    if (copy != nullptr) item = browser->NewItem(copy, SInt32(size), kScriptErrorDataType, parent);
  }
  if (pane->script != nullptr) pane->script->IncrementErrorCount();
  return item;
}

// A line ends its pane's reading for this run.
void Block(TScriptPane* pane) {
  if (pane->script != nullptr) pane->script->SetBlocking(true);
}

SInt16 RunMode(TScriptPane* pane) { return pane->script != nullptr ? pane->script->runMode : 0; }


}  // namespace

// --- Runners ------------------------------------------------------------------------------

void TPHPScript::MakeCommand() {
  SetCommandLine(Preference(kCommandLinePHPKey));
  const Str255 wrapperPath = GetSharedSupportFile(kPHPWrapperName, 1);
  wrapper = "\"" + wrapperPath + "\"";
  logName = kPHPLogName;
  FSRef log{};
  if (GetSystemLogFile(logName, log) == noErr) FSDeleteObject(&log);
  AppendArgumentWord("source_file=\"" + path + "\"", "source_file=" + documentPath);
  switch (runMode) {
    case kScriptModeRun:
    case kScriptModePreview:
      TScript::MakeCommand();
      break;
    case kScriptModeDebug:
      CommandAppendInterpreter();
      CommandAppendText(" ");
      CommandAppendQuoted(wrapperPath);
      CommandAppendText(" ");
      CommandAppendArguments();
      break;
    case kScriptModeCheckSyntax:
      CommandAppendInterpreter();
      CommandAppendText(" ");
      CommandAppendOption("-l");
      CommandAppendText(" ");
      CommandAppendPath();
      break;
    default:
      break;
  }
  if (pane != nullptr) pane->SetTitle(interpreter);
}

void TPERLScript::MakeCommand() {
  SetCommandLine(Preference(kCommandLinePERLKey));
  if (runMode != kScriptModeCheckSyntax) {
    TScript::MakeCommand();
    return;
  }
  CommandAppendInterpreter();
  CommandAppendText(" ");
  CommandAppendOption("-c");
  CommandAppendText(" ");
  CommandAppendPath();
  CommandAppendText(" ");
  CommandAppendArguments();
}

void TRubyScript::MakeCommand() {
  SetCommandLine(Preference(kCommandLineRubyKey));
  switch (runMode) {
    case kScriptModeRun:
    case kScriptModePreview:
      TScript::MakeCommand();
      break;
    case kScriptModeDebug:
      CommandAppendInterpreter();
      CommandAppendText(" ");
      CommandAppendOption("-w");
      CommandAppendText(" ");
      CommandAppendOption("-d");
      CommandAppendText(" ");
      CommandAppendPath();
      break;
    case kScriptModeCheckSyntax:
      CommandAppendInterpreter();
      CommandAppendText(" ");
      CommandAppendOption("-c");
      CommandAppendText(" ");
      CommandAppendPath();
      break;
    default:
      break;
  }
  if (pane != nullptr) pane->SetTitle(interpreter);
}

void THTMLScript::MakeCommand() {
  SetCommandLine(GetTidyPath());
  CommandAppendInterpreter();
  CommandAppendText(" ");
  CommandAppendOption("-e");
  CommandAppendText(" ");
  CommandAppendPath();
  CommandAppendText(" ");
}

Str255 GetTidyPath() {
  FSRef tidy{};
  if (FSGetSharedSupportFile("tidy", tidy) == noErr) {
    Str255 path = FSGetFullPath(tidy);
    if (!path.empty()) return path;
  }
  return kSystemTidyPath;
}

// --- Output lines -------------------------------------------------------------------------

void TPHPPane::HandleSingleLine(const Str255& line) {
  if (RunMode(this) != kScriptModeCheckSyntax) return;
  static const char kNoErrors[] = "No syntax errors detected";
  const std::string text = line.str();
  if (text.compare(0, std::strlen(kNoErrors), kNoErrors) == 0) {
    DisplayError(kNoErrors, 0);
    return;
  }
  const size_t colon = text.find(':');
  const std::string before = text.substr(0, colon);
  if (colon == std::string::npos || (before != "Parse error" && before != "PHP Parse error")) return;
  const size_t blank = text.find_last_of(' ');
  const SInt32 number = Number(blank == std::string::npos ? line : Str255(text.substr(blank + 1)));
  DisplayError(line, SInt16(number));
  Block(this);
  // The check's error is listed too, as the log would list it.
  RegexSubExpressions groups;
  Str255 message = line, file = script != nullptr ? script->path : Str255();
  if (RegEx("Parse error: +(.*) in (.*) on line ([0-9]+)", text, groups)) {
    message = groups[1];
    file = groups[2];
  }
  AddCheckError(message, file, number);
}

void TPERLPane::HandleSingleLine(const Str255& line) {
  PerlError error{};
  RegexSubExpressions groups;
  const std::string text = line.str();
  const SInt16 mode = RunMode(this);
  if (mode == kScriptModeCheckSyntax && RegEx("syntax OK", text, groups)) error.message = "Syntax OK";
  // The module's file name holds no blank; a longest match would run on to
  // the " in" of Perl's advice to install it.
  if (RegEx("^Can't locate ([^ ]*) in", text, groups)) error.message = groups[1];
  if (RegEx("^Undefined subroutine (.*) called at (.*) line ([0-9]+).", text, groups)) {
    error.message = "Undefined subroutine " + groups[1];
    error.file = FileName(groups[2]);
    error.line = Number(groups[3]);
  }
  if (RegEx("^syntax error at (.*) line ([0-9]+), near \"(.*)\"", text, groups)) {
    error.message = "Syntax Error near \"" + groups[3] + "\"";
    error.file = FileName(groups[1]);
    error.line = Number(groups[2]);
  }
  if (error.message.empty()) return;
  if (mode == kScriptModeCheckSyntax) {
    DisplayError(error.message, SInt16(error.line));
    Block(this);
    // A check's error is listed too; its verdict of no errors is not.
    if (error.message == "Syntax OK") return;
  }
  List(this, browser, &error, sizeof error, 0);
}

void TRubyPane::HandleSingleLine(const Str255& line) {
  RegexSubExpressions groups;
  const std::string text = line.str();
  if (RunMode(this) == kScriptModeCheckSyntax) {
    if (RegEx("(.*):([0-9]+): syntax error", text, groups)) {
      DisplayError("syntax error", SInt16(Number(groups[2])));
      Block(this);
      // A check's error is listed too, with the interpreter's words.
      RubyError error{};
      error.line = Number(groups[2]);
      error.file = FileName(groups[1]);
      error.message = "syntax error";
      if (RegEx("(.*):([0-9]+): syntax error, (.*)", text, groups)) error.message = groups[3];
      currentItem = List(this, browser, &error, sizeof error, 0);
      return;
    }
    if (text == "Syntax OK") {
      DisplayError(line, 0);
      Block(this);
      return;
    }
  }
  // Newer interpreters open the method's quote with ' rather than `.
  RubyError error{};
  if (RegEx("(.*):([0-9]+):in [`'](.*)': (.*)", text, groups)) {
    error.message = groups[4];
    error.line = Number(groups[2]);
    error.file = FileName(groups[1]);
    currentItem = List(this, browser, &error, sizeof error, 0);
  } else if (RegEx("(.*):([0-9]+): syntax error, (.*)", text, groups)) {
    error.message = groups[3];
    error.line = Number(groups[2]);
    error.file = FileName(groups[1]);
    currentItem = List(this, browser, &error, sizeof error, 0);
  } else if (currentItem != 0 && RegEx("[[:space:]]+from (.*):([0-9]+):in [`'](.*)'", text, groups)) {
    error.method = groups[3];
    error.line = Number(groups[2]);
    error.file = FileName(groups[1]);
    List(this, browser, &error, sizeof error, currentItem);
  }
}

void THTMLPane::HandleSingleLine(const Str255& line) {
  RegexSubExpressions groups;
  const std::string text = line.str();
  if (RegEx("line ([0-9]*) column ([0-9]*) - (.*): (.*)", text, groups)) {
    GenericSyntaxError error{};
    error.line = SInt16(Number(groups[1]));
    error.column = SInt16(Number(groups[2]));
    error.message = groups[3] + ": " + groups[4];
    if (script != nullptr && script->document != nullptr) error.file = script->document->file;
    if (script != nullptr) script->AppendGlobalError(error);
    return;
  }
  // The summary ends the messages; tidy 5 words it "Tidy found N warnings
  // and M errors!".
  if (RegEx("([0-9]*) warnings, ([0-9]*) errors were found!", text, groups) ||
      RegEx("found ([0-9]*) warnings? and ([0-9]*) errors?!", text, groups))
    Block(this);
}

// --- Factories ----------------------------------------------------------------------------

TScript* CreatePHPScript() { return new TPHPScript(); }
TScript* CreatePERLScript() { return new TPERLScript(); }
TScript* CreateRubyScript() { return new TRubyScript(); }
TScript* CreateHTMLScript() { return new THTMLScript(); }
