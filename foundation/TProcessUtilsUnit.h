// TProcessUtils: one child process (ProcessUtils) wrapped in an object whose
// notifications subclasses override: GotData for each line of output,
// GotPrompt when the child waits at its prompt, Terminated when it ends. The
// runner can copy each line into a results string and into a console. It
// releases itself once the child has ended and Terminated has run; the owner
// must not use it after that. A runner whose launch failed (no process) is
// released by its creator.
//
// The console: TConsole is the text view of the running subsystem; the
// foundation knows only the four operations below. The real class is
// installed with SetConsoleFactory; SetConsole makes one through it, binds it
// to the view and clears it. A console made by SetConsole belongs to the
// runner, which releases it (TConsole::Release) when it releases itself; the
// text stays in the view. A console handed over with AttachConsole stays its
// giver's.
#pragma once

#include <string>
#include <vector>

#include "CFBase.h"
#include "CarbonEvents.h"
#include "ProcessUtils.h"
#include "ShortString.h"
#include "TTaskUnit.h"

class TConsole {
 public:
  // Binds the console to an existing text view.
  virtual void Create(ControlRef view) = 0;
  // Empties the text and the line count.
  virtual void Clear() = 0;
  // Appends a line break and then the text; the caller keeps the string.
  virtual void WriteLn(CFStringRef text) = 0;
  // Marks the view as needing display.
  virtual void Redraw() = 0;
  // Ends the console object (not the view or its text).
  virtual void Release() { delete this; }

 protected:
  virtual ~TConsole() = default;
};

// Makes a new console object (not yet bound to a view).
typedef TConsole* (*TConsoleFactory)();
// Installs the console class that SetConsole makes; nil removes it.
void SetConsoleFactory(TConsoleFactory factory);
TConsoleFactory GetConsoleFactory();

class TProcessTask;

// The unit's procedures that the child's callbacks reach (user data: the runner).
namespace TProcessUtilsUnit {
void ProcessDataCallback(const std::string& text, void* userData);
void ProcessDoneProc(Boolean killed, SInt16 status, void* userData);
void PromptProc(void* userData);
}  // namespace TProcessUtilsUnit

class TProcessUtils {
 public:
  TProcessUtils() = default;

  virtual void Launch(CFStringRef commandLine);
  // Launches without a poll timer; a TProcessTask hands the polling to the
  // main thread, which polls until the child has ended without returning to
  // its event loop (it sleeps in poll(2) while the child is quiet).
  virtual void LaunchTask(CFStringRef commandLine);
  // The command line's text is taken as UTF-8, the file system's encoding.
  virtual void LaunchProcess(CFStringRef commandLine, Boolean poll);
  // Launches the program words[0] with exactly these arguments (none
  // re-parsed by a shell or split again), the environment entries
  // ("NAME=value") replacing ours of the same names; polled by a timer.
  void LaunchWords(const ArgvType& words, const std::vector<std::string>* environment);
  virtual void WriteLn(const std::string& text);
  virtual void SetPrompt(const Str31& prompt);
  virtual void SetDelay(double seconds);
  virtual void SetWriteOutput(Boolean on);
  virtual void SetRequestResults(Boolean on);
  virtual void Terminate();
  // Also while the child runs: its timer goes and the child is killed,
  // without notifications.
  virtual void Release();
  virtual Boolean Running();
  virtual void SetConsole(ControlRef view);
  virtual void GotPrompt();
  virtual void GotData(CFStringRef text);
  virtual void Terminated(Boolean killed, SInt16 status);

  // Gives the runner a console that stays its giver's (not released here).
  void AttachConsole(TConsole* console);

  ProcessPtr fProcess = nullptr;
  Str31 fPrompt;
  Boolean fRequestResults = false;
  CFMutableStringRef fResults = nullptr;
  TConsole* fConsole = nullptr;
  double fDelay = 0;
  Boolean fWriteOutput = false;

 protected:
  virtual ~TProcessUtils() = default;

 private:
  friend class TProcessTask;
  friend void TProcessUtilsUnit::ProcessDoneProc(Boolean killed, SInt16 status, void* userData);
  Boolean fConsoleOwned = false;
  bool* fDoneFlag = nullptr;  // set by the done notification, for TProcessTask
  TProcessTask* fPollTask = nullptr;  // the LaunchTask worker, told when the runner goes
};

// The worker task of LaunchTask: one remote call that polls the owner's child
// on the main thread until the done notification has been delivered.
class TProcessTask : public TTask {
 public:
  void Run() override;
  void RemoteProcedure(SInt16 selector) override;

  TProcessUtils* fOwner = nullptr;
};
