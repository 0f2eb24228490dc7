// SCRIPTS: script runs. A TScript saves a document, builds its
// interpreter's command line, runs it as a child process (TScriptProcess)
// whose output lines go to an output pane (TScriptPane) and a console, and
// when the child ends decides whether its output is a page to preview or an
// error log to show; a notification callback hears each step.
//
// The command line is kept twice: as the text that names the run (command,
// with the document path in double quotes), and as the argument vector the
// child is started with (words), in which the interpreter, the path and every
// argument are one element each, whatever blanks or quotes they hold. The
// text is never split again.
//
// Logs live in the program's log folder ($XDG_STATE_HOME/Quorvel/Logs/);
// children find it in the environment as QUORVEL_LOG_DIR.
#pragma once

#include <string>
#include <vector>

#include "CFString.h"
#include "Files.h"
#include "ProcessUtils.h"
#include "ShortString.h"
#include "TObjectUnit.h"
#include "TPaneUnit.h"
#include "TProcessUtilsUnit.h"
#include "WASTE.h"

class TConsoleView;
class TDocument;
class TScript;
class TScriptPane;
class TWebKit;
struct GenericSyntaxError;

// Run modes.
enum : SInt16 {
  kScriptModeRun = 1,
  kScriptModeDebug = 2,
  kScriptModePreview = 3,
  kScriptModeCheckSyntax = 4,
};

// Notification codes.
enum : SInt16 {
  kScriptProcessStarted = 1,
  kScriptProcessPreview = 2,  // the output is a page to preview
  kScriptProcessErrors = 3,   // an error log or counted errors are ready
  kScriptProcessFinished = 4,  // always last
};

typedef void (*ScriptProcessNotificationCallback)(SInt16 code, TScript* script, void* data);

// The inline error marks are not built into this version.
constexpr Boolean kDevelopmentFeatureInlineErrors = false;

// The message a console shows when a run printed nothing.
extern const char kScriptNoOutputMessage[];

// Children see the log folder under this name.
constexpr char kScriptLogFolderVariable[] = "QUORVEL_LOG_DIR";

class TScriptProcess : public TProcessUtils {
 public:
  TScript* script = nullptr;  // nil once the script has let go of the run
  // Every output line as the child wrote it (escape sequences taken out),
  // each ended by a line feed: the preview page.
  std::string output;
  std::string pendingOutput;  // output not yet cut into lines
  Boolean ending = false;  // Terminated is running

  // Starts the words as they are (the first is the program's path), with the
  // log folder in the environment. fProcess stays nil when nothing started.
  void LaunchWords(const ArgvType& words);
  void GotData(CFStringRef line) override;
  void Terminated(Boolean normal, SInt16 status) override;

 protected:
  ~TScriptProcess() override = default;
};

class TScript : public TObject {
 public:
  TScriptProcess* process = nullptr;
  TDocument* document = nullptr;
  Str255 path;
  FSRef previewFile{};
  Str255 interpreter;
  CFMutableStringRef command = nullptr;
  CFMutableStringRef arguments = nullptr;
  Str63 logName;
  SInt16 runMode = 0;
  SInt16 errorCount = 0;
  CFStringRef lastLine = nullptr;  // held until the buffers are cleared
  Boolean blocking = false;
  TScriptPane* pane = nullptr;
  ScriptProcessNotificationCallback callback = nullptr;
  void* callbackData = nullptr;
  TConsoleView* console = nullptr;
  TWebKit* webView = nullptr;

  // The child's argument vector, built with the command text.
  ArgvType words;
  // One element per AppendArgument, for this run only.
  ArgvType argumentWords;

  virtual void Run(TDocument* inDocument, SInt16 mode);
  virtual void Launch();
  virtual void Terminate();
  virtual Boolean Running();
  virtual void SetPane(TScriptPane* inPane);
  virtual void SetConsole(TConsoleView* inConsole);
  virtual void SetWebKit(TWebKit* inWebView);
  virtual void SetCallback(ScriptProcessNotificationCallback inCallback, void* inData);
  virtual void SetBlocking(Boolean flag);
  virtual void SetCommandLine(const Str255& inPath);
  // The text is one argument. Grouping quotes around it ("name=value") or
  // around a value (key="value") are the command text's; the element holds
  // what is between them, inner quotes included.
  virtual void AppendArgument(const Str255& text);
  // The same with the element given (a path the file system spells exactly).
  void AppendArgumentWord(const Str255& text, const std::string& word);
  // The base form: interpreter, blank, quoted path, blank, the arguments.
  virtual void MakeCommand();
  virtual void IncrementErrorCount();
  virtual void AppendGlobalError(const GenericSyntaxError& error);
  virtual void Initialize();
  // Lets go of a run still going (its child is killed, unheard), clears the
  // buffers and frees the object.
  virtual void Release();
  virtual void ClearBuffers();
  virtual void RemoveProcess();

  // Append to the command text and to the words: the interpreter; the
  // document path in double quotes; another path in double quotes; an
  // option; the arguments. CommandAppendText adds text only (the blanks).
  void CommandAppendInterpreter();
  void CommandAppendPath();
  void CommandAppendQuoted(const Str255& text);
  void CommandAppendOption(const char* option);
  void CommandAppendArguments();
  void CommandAppendText(const char* text);

  // The document's path as the file system has it (not cut, not converted).
  std::string documentPath;

 protected:
  ~TScript() override = default;
};

class TScriptPane : public TPane {
 public:
  TScript* script = nullptr;        // owned
  WEReference text = nullptr;       // the source editor's text, where errors are shown
  ControlRef toolbar = nullptr;
  // Item 1 of the toolbar: the interpreter path or the error count.
  Str255 title;

  virtual void HandlePreview(const FSRef& file);
  virtual void HandleErrorLog() {}
  virtual void HandleSingleLine(const Str255& line) {}
  virtual void Finished() {}
  // The message as a help tag at the selection of the source text, then the
  // whole line (counted from 1) selected when line is 1 or more.
  virtual void DisplayError(const Str255& message, SInt16 line);
  virtual void Clear() {}
  virtual void SetTitle(const Str255& text);

  // Handles nothing: the commands belong to the editor around the pane.
  void ProcessCommand(const HICommand& command, EventRef event, SInt32& result) override;
  // Ends the run and the script, then closes as any pane.
  void Close() override;
  // A pane that goes with its window ends its run too.
  void Release() override;

 protected:
  void EndScript();
};

class TConsolePane : public TScriptPane {
 public:
  TConsoleView* console = nullptr;  // ends with its view

  void Create(const Str63& name, IBNibRef nib) override;
};

// The item of the log folder with that name, the folder itself for an empty
// name. fnfErr (ref unchanged) when the item does not exist.
OSStatus GetSystemLogFile(const Str63& name, FSRef& ref);
// The log folder's POSIX path (made when missing); empty when it cannot be.
std::string GetSystemLogFolderPath();
// The POSIX path of the bundle's SharedSupport folder joined with the name;
// style 0 writes each blank of the folder path as a backslash and a blank,
// style 1 leaves it. Empty without a SharedSupport folder.
Str255 GetSharedSupportFile(const Str63& name, SInt16 style);

// Takes terminal escape sequences (colours, cursor moves) out of a line.
std::string StripTerminalEscapes(const std::string& line);
// The argument element that an AppendArgument text stands for.
std::string ArgumentWord(const std::string& text);
// A short string (Mac Roman) as UTF-8 bytes, and back.
std::string UTF8FromShortString(const Str255& text);
// The bytes of a CFString in UTF-8.
std::string UTF8FromCFString(CFStringRef text);

