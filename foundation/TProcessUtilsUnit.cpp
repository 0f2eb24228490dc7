#include "TProcessUtilsUnit.h"

#include <cmath>
#include <vector>

#include "CFString.h"
#include "PascalCarbonCommon.h"
#include "UnixCommon.h"

namespace {

TConsoleFactory gConsoleFactory = nullptr;

// How long the main thread sleeps between polls of a LaunchTask child that is
// quiet; new output or the child's end wakes it at once.
constexpr int kTaskPollWaitMs = 50;

// Command lines name files, and file names on this system are UTF-8.
std::string CommandLineBytes(CFStringRef commandLine) {
  CFIndex length = CFStringGetLength(commandLine);
  if (length == 0) return std::string();
  CFIndex size = 0;
  CFStringGetBytes(commandLine, CFRangeMake(0, length), kCFStringEncodingUTF8, '?', false, nullptr, 0, &size);
  std::string bytes(size_t(size), '\0');
  CFStringGetBytes(commandLine, CFRangeMake(0, length), kCFStringEncodingUTF8, '?', false,
                   reinterpret_cast<UInt8*>(bytes.data()), size, &size);
  bytes.resize(size_t(size));
  return bytes;
}

double TimerDelay(double seconds) {
  return seconds >= 0 && std::isfinite(seconds) ? seconds : kProcessDefaultInterval;
}

}  // namespace

void SetConsoleFactory(TConsoleFactory factory) { gConsoleFactory = factory; }
TConsoleFactory GetConsoleFactory() { return gConsoleFactory; }

// --- The child's callbacks -----------------------------------------------------------

namespace TProcessUtilsUnit {

void ProcessDataCallback(const std::string& text, void* userData) {
  auto* runner = static_cast<TProcessUtils*>(userData);
  if (text.empty()) return;
  CFMutableStringRef line = CreateStringFromProcessOutput(text);
  if (line == nullptr) return;
  if (runner->fResults != nullptr) CFStringAppend(runner->fResults, line);
  if (runner->fWriteOutput && runner->fConsole != nullptr) runner->fConsole->WriteLn(line);
  runner->GotData(line);  // may end the runner: it is not touched afterwards
  CFRelease(line);
}

void ProcessDoneProc(Boolean killed, SInt16 status, void* userData) {
  auto* runner = static_cast<TProcessUtils*>(userData);
  if (runner->fConsole != nullptr) runner->fConsole->Redraw();
  runner->Terminated(killed, status);
  if (runner->fDoneFlag != nullptr) *runner->fDoneFlag = true;
  runner->Release();
}

void PromptProc(void* userData) { static_cast<TProcessUtils*>(userData)->GotPrompt(); }

}  // namespace TProcessUtilsUnit

// --- TProcessUtils --------------------------------------------------------------------

void TProcessUtils::Launch(CFStringRef commandLine) { LaunchProcess(commandLine, true); }

void TProcessUtils::LaunchTask(CFStringRef commandLine) {
  LaunchProcess(commandLine, false);
  if (fProcess == nullptr) return;
  auto* task = new TProcessTask;
  task->fOwner = this;
  fPollTask = task;
  task->Start();
  if (Err != noErr) {
    // No worker: the main loop's timer polls instead.
    fPollTask = nullptr;
    task->Release();
    Err = InstallEventLoopTimer(GetMainEventLoop(), fDelay, fDelay, NewEventLoopTimerUPP(DoProcessTimer), fProcess,
                                &fProcess->pollTimer);
  }
}

void TProcessUtils::LaunchWords(const ArgvType& words, const std::vector<std::string>* environment) {
  if (fProcess != nullptr) {
    ProcessSetCallbacks(fProcess, nullptr, nullptr, nullptr);
    ProcessSetPrompt(fProcess, std::string(), nullptr);
    ProcessDispose(fProcess);
  }
  if (fRequestResults) {
    if (fResults != nullptr) CFRelease(fResults);
    fResults = CFStringCreateMutable(nullptr, 0);
  }
  if (!(fDelay > 0) || !std::isfinite(fDelay)) fDelay = kProcessDefaultInterval;
  fProcess = ProcessLaunchWords(words, environment, std::string(), true, fDelay);
  if (fProcess == nullptr) return;
  SetDelay(fDelay);
  ProcessSetLineBuffering(fProcess, true);
  ProcessSetCallbacks(fProcess, TProcessUtilsUnit::ProcessDataCallback, TProcessUtilsUnit::ProcessDoneProc, this);
  if (!fPrompt.empty()) ProcessSetPrompt(fProcess, fPrompt.str(), TProcessUtilsUnit::PromptProc);
}

void TProcessUtils::LaunchProcess(CFStringRef commandLine, Boolean poll) {
  if (fProcess != nullptr) {
    // A runner drives one child: an earlier one ends here, silently.
    ProcessSetCallbacks(fProcess, nullptr, nullptr, nullptr);
    ProcessSetPrompt(fProcess, std::string(), nullptr);
    ProcessDispose(fProcess);
  }
  if (fRequestResults) {
    if (fResults != nullptr) CFRelease(fResults);
    fResults = CFStringCreateMutable(nullptr, 0);
  }
  if (!(fDelay > 0) || !std::isfinite(fDelay)) fDelay = kProcessDefaultInterval;
  fProcess = ProcessLaunch(CommandLineBytes(commandLine), poll, fDelay);
  if (fProcess == nullptr) return;
  SetDelay(fDelay);
  ProcessSetLineBuffering(fProcess, true);
  ProcessSetCallbacks(fProcess, TProcessUtilsUnit::ProcessDataCallback, TProcessUtilsUnit::ProcessDoneProc, this);
  if (!fPrompt.empty()) ProcessSetPrompt(fProcess, fPrompt.str(), TProcessUtilsUnit::PromptProc);
}

void TProcessUtils::WriteLn(const std::string& text) { ProcessWriteLn(fProcess, text); }

void TProcessUtils::SetPrompt(const Str31& prompt) { fPrompt = prompt; }

void TProcessUtils::SetDelay(double seconds) {
  fDelay = seconds;
  if (fProcess != nullptr) Err = SetEventLoopTimerNextFireTime(fProcess->pollTimer, TimerDelay(seconds));
}

void TProcessUtils::SetWriteOutput(Boolean on) { fWriteOutput = on; }

void TProcessUtils::SetRequestResults(Boolean on) { fRequestResults = on; }

void TProcessUtils::Terminate() { ProcessTerminate(fProcess); }

void TProcessUtils::Release() {
  if (fResults != nullptr) CFRelease(fResults);
  fResults = nullptr;
  if (fPollTask != nullptr) fPollTask->fOwner = nullptr;
  if (fProcess != nullptr) {
    // No notification may reach a runner that is going away.
    ProcessSetCallbacks(fProcess, nullptr, nullptr, nullptr);
    ProcessSetPrompt(fProcess, std::string(), nullptr);
    ProcessDispose(fProcess);
  }
  if (fConsole != nullptr && fConsoleOwned) fConsole->Release();
  fConsole = nullptr;
  delete this;
}

Boolean TProcessUtils::Running() { return fProcess != nullptr && ProcessRunning(fProcess); }

void TProcessUtils::SetConsole(ControlRef view) {
  fWriteOutput = true;
  AttachConsole(nullptr);
  TConsole* console = gConsoleFactory != nullptr ? gConsoleFactory() : nullptr;
  if (console == nullptr) return;
  fConsole = console;
  fConsoleOwned = true;
  console->Create(view);
  console->Clear();
}

void TProcessUtils::GotPrompt() {}
void TProcessUtils::GotData(CFStringRef text) {}
void TProcessUtils::Terminated(Boolean killed, SInt16 status) {}

void TProcessUtils::AttachConsole(TConsole* console) {
  if (fConsole != nullptr && fConsoleOwned && fConsole != console) fConsole->Release();
  fConsole = console;
  fConsoleOwned = false;
}

// --- TProcessTask ---------------------------------------------------------------------

void TProcessTask::Run() { CallRemote(1); }

void TProcessTask::RemoteProcedure(SInt16 selector) {
  // The owner and its child belong to the main thread, where this runs; a
  // runner that goes away clears fOwner, and its record is not touched then.
  if (fOwner == nullptr || fOwner->fProcess == nullptr) return;
  bool done = false;
  fOwner->fDoneFlag = &done;
  ProcessPtr process = fOwner->fProcess;
  for (;;) {
    ProcessPoll(process);
    if (done || fOwner == nullptr) return;
    ProcessWaitForOutput(process, kTaskPollWaitMs);
  }
}
