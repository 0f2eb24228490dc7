#include "SCRIPTS.h"

#include <sys/stat.h>

#include <cerrno>

#include <cmath>
#include <cstring>

#include "ApplicationFramework.h"
#include "CFBundle.h"
#include "CFURL.h"
#include "Dialogs.h"
#include "Folders.h"
#include "MacHelp.h"
#include "MacMemory.h"
#include "PascalCarbonCommon.h"
#include "ScriptErrors.h"
#include "TConsoleUnit.h"
#include "TDocumentUnit.h"
#include "TWindowUnit.h"
#include "UnixCommon.h"
#include "fenwicket/Fenwicket.h"
#include "plinthora/Plinthora.h"

const char kScriptNoOutputMessage[] = "No output was generated from running the script.";

namespace {

constexpr OSType kConsoleSignature = 'OUTP';
constexpr SInt32 kConsoleID = 128;
constexpr char kLogFolderName[] = "Logs";
constexpr OSType kUnknownCreator = 0x3F3F3F3F;  // '????'

CFStringRef NewStringFromUTF8(const std::string& text) {
  return CFStringCreateWithBytes(nullptr, reinterpret_cast<const UInt8*>(text.data()), CFIndex(text.size()),
                                 kCFStringEncodingUTF8, false);
}

std::string PathOf(const FSRef& ref) {
  std::vector<UInt8> buffer(4096);
  if (FSRefMakePath(&ref, buffer.data(), UInt32(buffer.size())) != noErr) return std::string();
  return std::string(reinterpret_cast<const char*>(buffer.data()));
}

// The size of a file's data; 0 for a folder.
UInt64 DataSize(const FSRef& ref) {
  FSCatalogInfo info{};
  if (FSGetCatalogInfo(&ref, kFSCatInfoDataSizes, &info, nullptr, nullptr, nullptr) != noErr) return 0;
  return info.dataLogicalSize;
}

// "~" + the document's name + ".html", in the document's folder. The name
// is the file's own, as the file system spells it, when there is a file.
CFStringRef CopyPreviewName(TDocument* document) {
  CFMutableStringRef name = CFStringCreateMutable(nullptr, 0);
  CFStringAppendCString(name, "~", kCFStringEncodingUTF8);
  const std::string path = FSValidFSRef(document->file) ? PathOf(document->file) : std::string();
  if (!path.empty()) {
    CFStringRef fileName = NewStringFromUTF8(GetNameOnly(path));
    if (fileName != nullptr) {
      CFStringAppend(name, fileName);
      CFRelease(fileName);
    }
  } else {
    CFStringAppendPascalString(name, document->name.data(), kCFStringEncodingMacRoman);
  }
  CFStringAppendCString(name, ".html", kCFStringEncodingUTF8);
  return name;
}

void Notify(TScript* script, SInt16 code) {
  if (script->callback != nullptr) script->callback(code, script, script->callbackData);
}

// What every run does at its end, also one that never started: the console
// says when nothing came, the callback hears 4, the buffers go.
void FinishRun(TScript* script, TScriptProcess* process) {
  if (script->console != nullptr && script->console->IsEmpty()) {
    CFStringRef message = NewStringFromUTF8(kScriptNoOutputMessage);
    script->console->WriteLn(message);
    CFRelease(message);
  }
  Notify(script, kScriptProcessFinished);
  if (process != nullptr && process->script != script) return;  // the script let go during the callback
  if (script->pane != nullptr) script->pane->Finished();
  script->ClearBuffers();
  if (script->console != nullptr) script->console->ScrollToEnd();
  script->RemoveProcess();
}

// The process runner's line handling, for script children. The child's
// output comes in chunks and is cut into lines here, as the runner cuts it
// (a CR, LF, CR LF or CR CR LF ends a line), so that blank lines are kept:
// the preview page holds every line with its line feed. Escape sequences go.
// Blank lines reach neither the console nor the pane, as with every runner.
void DeliverLine(TScriptProcess* runner, const std::string& text) {
  const std::string line = StripTerminalEscapes(text);
  runner->output += line;
  runner->output += '\n';
  CFMutableStringRef string = CreateStringFromProcessOutput(line);
  if (string == nullptr) return;
  if (runner->fResults != nullptr) {
    CFStringAppend(runner->fResults, string);
    CFStringAppendCString(runner->fResults, "\n", kCFStringEncodingUTF8);
  }
  if (!line.empty()) {
    if (runner->fWriteOutput && runner->fConsole != nullptr) runner->fConsole->WriteLn(string);
    runner->GotData(string);
  }
  CFRelease(string);
}

// Hands out the whole lines of the pending output; at the end, the rest
// too. False when the runner went during a line (it is not touched then).
bool DeliverLines(TScriptProcess* runner, bool atEnd) {
  ProcessPtr process = runner->fProcess;
  std::string& pending = runner->pendingOutput;
  while (!pending.empty()) {
    const size_t end = pending.find_first_of("\r\n");
    size_t next = end;
    if (end == std::string::npos) {
      if (!atEnd) break;
      next = pending.size();
    } else {
      next = end + 1;
      if (pending[end] == '\r') {
        // A CR may be the start of CR LF or CR CR LF still on its way.
        if (!atEnd && next + 1 >= pending.size() &&
            (next == pending.size() || pending[next] == '\r'))
          break;
        if (next + 1 < pending.size() && pending[next] == '\r' && pending[next + 1] == '\n')
          next += 2;
        else if (next < pending.size() && pending[next] == '\n')
          ++next;
      }
    }
    const std::string line = pending.substr(0, end == std::string::npos ? pending.size() : end);
    pending.erase(0, next);
    DeliverLine(runner, line);
    if (process != nullptr && process->disposed) return false;
  }
  return true;
}

void ScriptDataCallback(const std::string& chunk, void* userData) {
  auto* runner = static_cast<TScriptProcess*>(userData);
  runner->pendingOutput += chunk;
  DeliverLines(runner, false);
}

void ScriptDoneProc(Boolean killed, SInt16 status, void* userData) {
  auto* runner = static_cast<TScriptProcess*>(userData);
  if (!DeliverLines(runner, true)) return;
  TProcessUtilsUnit::ProcessDoneProc(killed, status, userData);
}

}  // namespace

// --- Helpers ----------------------------------------------------------------------------

std::string StripTerminalEscapes(const std::string& line) {
  if (line.find('\x1b') == std::string::npos) return line;
  std::string clean;
  clean.reserve(line.size());
  for (size_t i = 0; i < line.size();) {
    if (line[i] != '\x1b') {
      clean += line[i++];
      continue;
    }
    ++i;
    if (i < line.size() && line[i] == '[') {
      // A control sequence: parameters and intermediates up to a final byte.
      ++i;
      while (i < line.size() && !(line[i] >= 0x40 && line[i] <= 0x7e)) ++i;
      if (i < line.size()) ++i;
    } else if (i < line.size() && line[i] == ']') {
      // An operating-system command: up to BEL or ESC backslash.
      ++i;
      while (i < line.size() && line[i] != '\a' && !(line[i] == '\x1b' && i + 1 < line.size() && line[i + 1] == '\\'))
        ++i;
      if (i < line.size()) i += line[i] == '\a' ? 1 : 2;
    } else {
      // Any other: intermediates (a character set's choice), then one final byte.
      while (i < line.size() && line[i] >= 0x20 && line[i] <= 0x2f) ++i;
      if (i < line.size()) ++i;
    }
  }
  return clean;
}

std::string ArgumentWord(const std::string& text) {
  const size_t n = text.size();
  if (n >= 2 && text.front() == '"' && text.back() == '"') return text.substr(1, n - 2);
  const size_t open = text.find("=\"");
  if (open != std::string::npos && n >= open + 3 && text.back() == '"' &&
      text.find('"') == open + 1)
    return text.substr(0, open + 1) + text.substr(open + 2, n - open - 3);
  return text;
}

std::string UTF8FromCFString(CFStringRef text) {
  if (text == nullptr) return std::string();
  const CFIndex length = CFStringGetLength(text);
  CFIndex size = 0;
  CFStringGetBytes(text, CFRangeMake(0, length), kCFStringEncodingUTF8, '?', false, nullptr, 0, &size);
  std::string bytes(size_t(size), '\0');
  CFStringGetBytes(text, CFRangeMake(0, length), kCFStringEncodingUTF8, '?', false,
                   reinterpret_cast<UInt8*>(bytes.data()), size, &size);
  bytes.resize(size_t(size));
  return bytes;
}

std::string UTF8FromShortString(const Str255& text) {
  CFStringRef string = CFStringCreateWithPascalString(nullptr, text.data(), kCFStringEncodingMacRoman);
  std::string bytes = UTF8FromCFString(string);
  if (string != nullptr) CFRelease(string);
  return bytes;
}

std::string GetSystemLogFolderPath() {
  FSRef logs{};
  if (FSFindFolder(kOnSystemDisk, kLogsFolderType, kCreateFolder, &logs) != noErr) return std::string();
  std::string folder = PathOf(logs);
  if (folder.empty()) return folder;
  folder += "/";
  folder += kLogFolderName;
  if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return std::string();
  return folder;
}

OSStatus GetSystemLogFile(const Str63& name, FSRef& ref) {
  std::string path = GetSystemLogFolderPath();
  if (path.empty()) return fnfErr;
  if (!name.empty()) path += "/" + UTF8FromShortString(name);
  FSRef found{};
  OSStatus status = FSPathMakeRef(reinterpret_cast<const UInt8*>(path.c_str()), &found, nullptr);
  if (status == noErr) ref = found;
  return status;
}

Str255 GetSharedSupportFile(const Str63& name, SInt16 style) {
  CFBundleRef bundle = CFBundleGetMainBundle();
  CFURLRef url = bundle != nullptr ? CFBundleCopySharedSupportURL(bundle) : nullptr;
  if (url == nullptr) return Str255();
  UInt8 buffer[1024] = {0};
  const Boolean made = CFURLGetFileSystemRepresentation(url, true, buffer, sizeof buffer);
  CFRelease(url);
  struct stat info {};
  if (!made || stat(reinterpret_cast<const char*>(buffer), &info) != 0 || !S_ISDIR(info.st_mode)) return Str255();
  CFStringRef folderString = NewStringFromUTF8(reinterpret_cast<const char*>(buffer));
  Str255 folder = PCFSTR(folderString);
  if (folderString != nullptr) CFRelease(folderString);
  Str255 result;
  for (int i = 1; i <= folder.len(); ++i) {
    if (style == 0 && folder[i] == ' ') result += '\\';
    result += folder[i];
  }
  result += "/";
  result += name;
  return result;
}

// --- TScriptProcess -----------------------------------------------------------------------

void TScriptProcess::LaunchWords(const ArgvType& words) {
  if (fRequestResults) {
    if (fResults != nullptr) CFRelease(fResults);
    fResults = CFStringCreateMutable(nullptr, 0);
  }
  output.clear();
  pendingOutput.clear();
  if (!(fDelay > 0) || !std::isfinite(fDelay)) fDelay = kProcessDefaultInterval;
  std::vector<std::string> environment;
  const std::string logs = GetSystemLogFolderPath();
  if (!logs.empty()) environment.push_back(std::string(kScriptLogFolderVariable) + "=" + logs);
  fProcess = ProcessLaunchWords(words, &environment, std::string(), true, fDelay);
  if (fProcess == nullptr) return;
  SetDelay(fDelay);
  ProcessSetLineBuffering(fProcess, false);
  ProcessSetCallbacks(fProcess, ScriptDataCallback, ScriptDoneProc, this);
}

void TScriptProcess::GotData(CFStringRef line) {
  if (script == nullptr) return;
  if (script->lastLine != nullptr) CFRelease(script->lastLine);
  script->lastLine = CFStringCreateCopy(nullptr, line);
  if (script->blocking || script->pane == nullptr) return;
  script->pane->HandleSingleLine(PCFSTR(line));
}

void TScriptProcess::Terminated(Boolean, SInt16) {
  TScript* s = script;
  if (s == nullptr) return;
  ending = true;
  Boolean preview = false;
  if (fResults != nullptr && s->document != nullptr) {
    FSRef folder = FSGetParent(s->document->file);
    CFStringRef name = CopyPreviewName(s->document);
    FSRef file{};
    if (FSValidFSRef(folder) && FSCreateFile(name, folder, 'TEXT', kUnknownCreator, file) == noErr) {
      s->previewFile = file;
      // The page is the output as it came, in full: an older, longer one
      // leaves nothing behind.
      Ptr block = NewPtr(Size(output.size()));
      if (block != nullptr) {
        if (!output.empty()) std::memcpy(block, output.data(), output.size());
        FSWriteDataFork(file, block);
        DisposePtr(block);
      }
      preview = DataSize(file) != 0 && s->errorCount == 0;
    }
    CFRelease(name);
  }
  FSRef log{};
  const Boolean logFound = GetSystemLogFile(s->logName, log) == noErr;
  const UInt64 logSize = logFound ? DataSize(log) : 0;
  switch (s->runMode) {
    case kScriptModeRun:
    case kScriptModeDebug:
      if (logFound && (logSize > 0 || s->errorCount > 0)) {
        if (s->pane != nullptr) s->pane->HandleErrorLog();
        Notify(s, kScriptProcessErrors);
      } else if (preview) {
        Notify(s, kScriptProcessPreview);
      }
      break;
    case kScriptModePreview:
      if (preview) Notify(s, kScriptProcessPreview);
      break;
    case kScriptModeCheckSyntax:
      // The check's errors are listed in the pane, which comes up for them.
      if (s->errorCount > 0) Notify(s, kScriptProcessErrors);
      break;
    default:
      break;
  }
  if (script != s) return;  // the script let go during a callback
  FinishRun(s, this);
}

// --- TScript ----------------------------------------------------------------------------

void TScript::Run(TDocument* inDocument, SInt16 mode) {
  if (process != nullptr) return;
  runMode = mode;
  document = inDocument;
  if (document != nullptr) Err = OSStatus(document->Save());
  Initialize();
  MakeCommand();
  if (pane != nullptr) pane->Clear();
  Launch();
}

void TScript::Launch() {
  if (process != nullptr) {
    if (process->Running()) return;
    SysBeep(1);
    // The ended child's report and its last output are no longer this
    // script's.
    process->script = nullptr;
    process->AttachConsole(nullptr);
    process = nullptr;
  }
  auto* runner = new TScriptProcess();
  if (console != nullptr) {
    runner->AttachConsole(console);
    console->Clear();
  }
  runner->SetWriteOutput(true);
  runner->SetRequestResults(true);
  runner->script = this;
  process = runner;
  runner->LaunchWords(words);
  if (runner->fProcess == nullptr) {
    // Nothing started: the run ends here, and the callback hears only its end.
    process = nullptr;
    runner->script = nullptr;
    runner->Release();
    FinishRun(this, nullptr);
    return;
  }
  Notify(this, kScriptProcessStarted);
}

void TScript::Terminate() {
  if (process != nullptr) process->Terminate();
}

Boolean TScript::Running() { return process != nullptr && process->Running(); }

void TScript::SetPane(TScriptPane* inPane) {
  pane = inPane;
  if (pane != nullptr) pane->script = this;
}

void TScript::SetConsole(TConsoleView* inConsole) { console = inConsole; }
void TScript::SetWebKit(TWebKit* inWebView) { webView = inWebView; }

void TScript::SetCallback(ScriptProcessNotificationCallback inCallback, void* inData) {
  callback = inCallback;
  callbackData = inData;
}

void TScript::SetBlocking(Boolean flag) { blocking = flag; }

void TScript::SetCommandLine(const Str255& inPath) { interpreter = inPath; }

void TScript::AppendArgument(const Str255& text) { AppendArgumentWord(text, ArgumentWord(UTF8FromShortString(text))); }

void TScript::AppendArgumentWord(const Str255& text, const std::string& word) {
  if (arguments == nullptr) arguments = CFStringCreateMutable(nullptr, 0);
  CFStringAppendPascalString(arguments, text.data(), kCFStringEncodingMacRoman);
  CFStringAppendCString(arguments, " ", kCFStringEncodingUTF8);
  argumentWords.push_back(word);
}

void TScript::MakeCommand() {
  CommandAppendInterpreter();
  CommandAppendText(" ");
  CommandAppendPath();
  CommandAppendText(" ");
  CommandAppendArguments();
}

void TScript::CommandAppendInterpreter() {
  if (command == nullptr) return;
  CFStringAppendPascalString(command, interpreter.data(), kCFStringEncodingMacRoman);
  words.push_back(UTF8FromShortString(interpreter));
}

void TScript::CommandAppendPath() {
  if (command == nullptr) return;
  CFStringAppendCString(command, "\"", kCFStringEncodingUTF8);
  CFStringAppendPascalString(command, path.data(), kCFStringEncodingMacRoman);
  CFStringAppendCString(command, "\"", kCFStringEncodingUTF8);
  words.push_back(documentPath);
}

void TScript::CommandAppendQuoted(const Str255& text) {
  if (command == nullptr) return;
  CFStringAppendCString(command, "\"", kCFStringEncodingUTF8);
  CFStringAppendPascalString(command, text.data(), kCFStringEncodingMacRoman);
  CFStringAppendCString(command, "\"", kCFStringEncodingUTF8);
  words.push_back(UTF8FromShortString(text));
}

void TScript::CommandAppendOption(const char* option) {
  if (command == nullptr) return;
  CFStringAppendCString(command, option, kCFStringEncodingUTF8);
  words.push_back(option);
}

void TScript::CommandAppendText(const char* text) {
  if (command != nullptr) CFStringAppendCString(command, text, kCFStringEncodingUTF8);
}

void TScript::CommandAppendArguments() {
  if (command == nullptr || arguments == nullptr) return;
  CFStringAppend(command, arguments);
  words.insert(words.end(), argumentWords.begin(), argumentWords.end());
}

void TScript::IncrementErrorCount() { ++errorCount; }

void TScript::AppendGlobalError(const GenericSyntaxError&) {
  // Errors are marked inline in the editor only when that feature is built
  // in; this version does not keep them.
}

void TScript::Initialize() {
  if (command != nullptr) CFRelease(command);
  command = CFStringCreateMutable(nullptr, 0);
  words.clear();
  errorCount = 0;
  path.Clear();
  documentPath.clear();
  if (document == nullptr) return;
  FSRef folder = FSGetParent(document->file);
  if (FSValidFSRef(folder)) {
    CFStringRef name = CopyPreviewName(document);
    const std::string earlier = PathOf(folder) + "/" + UTF8FromCFString(name);
    CFRelease(name);
    FSRef ref{};
    if (FSPathMakeRef(reinterpret_cast<const UInt8*>(earlier.c_str()), &ref, nullptr) == noErr && !FSIsFolder(ref))
      FSDeleteObject(&ref);
  }
  if (FSValidFSRef(document->file)) {
    documentPath = PathOf(document->file);
    path = FSGetFullPath(document->file);
  }
}

void TScript::Release() {
  if (process != nullptr) {
    TScriptProcess* runner = process;
    process = nullptr;
    runner->script = nullptr;
    // A runner in its own end releases itself; any other one goes now.
    if (!runner->ending) runner->Release();
  }
  ClearBuffers();
  if (pane != nullptr && pane->script == this) pane->script = nullptr;
  Free();
}

void TScript::ClearBuffers() {
  if (command != nullptr) CFRelease(command);
  if (arguments != nullptr) CFRelease(arguments);
  if (lastLine != nullptr) CFRelease(lastLine);
  command = nullptr;
  arguments = nullptr;
  lastLine = nullptr;
  argumentWords.clear();
}

void TScript::RemoveProcess() { process = nullptr; }

// --- TScriptPane --------------------------------------------------------------------------

void TScriptPane::HandlePreview(const FSRef& file) {
  ApplicationOpenCommandOptions options = GetDefaultOpenCommandOptions();
  options.url = FSGetURL(file);
  SendOpenDocumentCommandWithOptions(options);
  // The run's web view takes the page too once the web view host is built
  // (webView stays nil until then).
}

void TScriptPane::DisplayError(const Str255& message, SInt16 line) {
  if (text == nullptr) return;
  SInt32 start = 0, end = 0;
  WEGetSelection(&start, &end, text);
  SInt16 lineHeight = 0;
  const CGPoint where = WEConvertOffsetToScreen(start, lineHeight, text);
  HMHelpContentRec content{};
  content.version = kMacHelpVersion;
  content.absHotRect.left = SInt16(where.x);
  content.absHotRect.top = SInt16(where.y);
  content.absHotRect.right = SInt16(where.x + 1);
  content.absHotRect.bottom = SInt16(where.y + lineHeight);
  content.tagSide = kHMDefaultSide;
  content.content[kHMMinimumContentIndex].contentType = kHMCFStringContent;
  content.content[kHMMinimumContentIndex].u.tagCFString =
      CFStringCreateWithPascalString(nullptr, message.data(), kCFStringEncodingMacRoman);
  content.content[kHMMaximumContentIndex].contentType = kHMNoContent;
  Err = HMDisplayTag(&content);
  if (content.content[kHMMinimumContentIndex].u.tagCFString != nullptr)
    CFRelease(content.content[kHMMinimumContentIndex].u.tagCFString);
  if (line < 1) return;
  SInt32 lineStart = 0, lineEnd = 0;
  WEGetLineRange(line - 1, &lineStart, &lineEnd, text);
  WESetSelection(lineStart, lineEnd, text);
}

void TScriptPane::SetTitle(const Str255& inTitle) {
  title = inTitle;
  if (toolbar != nullptr) ToolbarSetItemText(toolbar, 1, title);
}

void TScriptPane::ProcessCommand(const HICommand&, EventRef, SInt32& result) { result = eventNotHandledErr; }

void TScriptPane::EndScript() {
  if (script == nullptr) return;
  TScript* s = script;
  s->Terminate();
  if (script == s) script = nullptr;
  s->Release();
}

void TScriptPane::Close() {
  EndScript();
  TPane::Close();
}

void TScriptPane::Release() {
  // Nothing of a run may reach a pane that is going.
  if (script != nullptr) script->pane = nullptr;
  EndScript();
  TPane::Release();
}

// --- TConsolePane -------------------------------------------------------------------------

void TConsolePane::Create(const Str63& name, IBNibRef nib) {
  TScriptPane::Create(name, nib);
  SetClassString("TConsolePane");
  console = new TConsoleView();
  if (auto* window = dynamic_cast<TWindow*>(owner)) {
    console->window = window;
    console->viewWindow = window->window;
  }
  HIViewRef control = nullptr;
  if (paneView != nullptr) HIViewFindByID(paneView, HIViewID{kConsoleSignature, kConsoleID}, &control);
  if (control == nullptr) {
    // A pane without its text view has no console.
    TObject::Free(console);
    console = nullptr;
    return;
  }
  console->Create(control);
}
