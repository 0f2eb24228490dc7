// ProcessUtils: one command line run as a child process. The child's standard
// output and standard error go to a pseudo-terminal (so it line-buffers as in
// a terminal; line feeds arrive as CR LF), its standard input comes from a
// pipe. Output reaches callbacks from a main-loop timer that polls the child,
// or from explicit polls; the blocking calls run a command to its end.
//
// How the child is handled:
//   - every descriptor this unit opens is close-on-exec, and the child closes
//     every descriptor above 2 before it executes, so no child holds another
//     one's terminal or input;
//   - the fork runs nothing but async-signal-safe calls: the argument vector,
//     the path and the working folder are built before it;
//   - when the end of the child is seen, the terminal is drained first (EIO
//     from the terminal once the child has closed it means "no more data"),
//     and the poll delivers that output, the unterminated last line included,
//     before it reports the end;
//   - the child is reaped when its end is seen, and when it is terminated;
//   - writes to the child's input never block and never raise SIGPIPE: what
//     the pipe cannot take yet waits in the record and goes at the next poll;
//     what is written after the child has gone is dropped;
//   - ProcessTerminate kills the child's whole process group (the child
//     leads its own session) with SIGKILL and reaps it: the child cannot
//     ignore it, leaves no core file, and its own children do not keep the
//     terminal open;
//   - ProcessDispose closes the descriptors and removes the poll timer; a
//     record disposed from inside one of its callbacks is freed when that
//     poll returns.
// Everything but the blocking calls belongs to the main thread. The blocking
// calls (poll False, no timer) may run on a worker task.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

#include "CarbonEvents.h"
#include "MacTypes.h"

// One line (without its line ending) or one chunk of output, as bytes.
typedef void (*ProcessDataCallback)(const std::string& text, void* userData);
// killed: False when the child ended by itself (status: the low 16 bits of
// the wait status: exit code * 256, or the signal number), True when
// ProcessTerminate ended it (status 0).
typedef void (*ProcessDoneProc)(Boolean killed, SInt16 status, void* userData);
typedef void (*PromptProc)(void* userData);

// The words of a command line; the argument vector handed to execv is built
// from it at launch. Owned by the caller, so building one is reentrant.
typedef std::vector<std::string> ArgvType;
typedef std::vector<std::string> StringArr;

struct ProcessRec {
  int terminal = -1;  // master side of the child's terminal; non-blocking
  int input = -1;     // write end of the child's input pipe; non-blocking
  pid_t pid = 0;
  std::string pending;  // output read but not yet delivered, from pendingStart on
  int status = 0;       // the wait status, 0 until the child has ended
  Boolean running = false;
  Boolean lineMode = false;
  ProcessDataCallback dataCallback = nullptr;
  ProcessDoneProc doneCallback = nullptr;
  void* userData = nullptr;
  EventLoopTimerRef pollTimer = nullptr;
  std::string prompt;
  PromptProc promptCallback = nullptr;

  // Bookkeeping of this implementation.
  size_t pendingStart = 0;  // bytes before it are delivered
  size_t scanned = 0;       // bytes from pendingStart up to here hold no line end
  bool terminalDone = false;  // the terminal has given all it will give
  bool endReported = false;   // the end was delivered, or the child terminated
  int exitWatch = -1;         // readable once the child has ended (a pidfd), or -1
  std::string unsent;         // input the pipe could not take yet
  int busy = 0;               // depth of polls running callbacks
  bool disposed = false;      // ProcessDispose came during a poll
};
typedef ProcessRec* ProcessPtr;

// The poll timer's interval when a launch asks for none (0, negative, NaN).
constexpr double kProcessDefaultInterval = 1.0 / 30;

// Starts the command line (see BuildArgv) with the first word as the
// program's path (not searched on PATH). With poll, a main-loop timer polls
// the child: first after 1.0 second, then every interval seconds. Nil, after
// "can't fork" on standard output, when no child could be started, and nil
// for a line without words. A program that cannot be executed prints
// "Failed!" (as its output) and ends with status 32512.
ProcessPtr ProcessLaunch(const std::string& commandLine, Boolean poll, double interval);
// Starts the program words[0] with exactly these arguments (none re-parsed),
// the environment entries ("NAME=value") replacing ours of the same names,
// from the folder when one is given.
ProcessPtr ProcessLaunchWords(const ArgvType& words, const std::vector<std::string>* environment,
                              const std::string& folder, Boolean poll, double interval);
// Splits a line into words: blanks (only the space) separate them; a word
// that begins with a double quote runs to the next one and is taken as it
// is; in any other word a double quote opens a section, up to the next
// double quote, in which blanks do not end the word, and every double quote
// is then removed.
ArgvType BuildArgv(const std::string& line);
// The text without its double quotes.
std::string CleanLiterals(const std::string& word);
// The last component of a path (trailing "/" dropped; a path whose only "/"
// is its first character, or that has none, is taken whole).
std::string GetNameOnly(const std::string& path);
// The path cut before its last "/" (unchanged without one).
std::string TrimLastToken(const std::string& path);
// Adds O_NONBLOCK to the descriptor: 0, or -1 on failure.
int SetNoBlock(int fd);

// Reads what the terminal has (up to 1024 bytes) and hands out all pending
// output; empty when there is none.
std::string ProcessRead(ProcessPtr process);
// Reads as ProcessRead, then takes one line: the text before the first CR or
// LF; the line end (CR, LF, CR LF or CR CR LF) is removed. After the child's
// end the unterminated rest counts as a line. False when no line is there.
Boolean ProcessReadLn(ProcessPtr process, std::string& line);
void ProcessWrite(ProcessPtr process, const std::string& text);
void ProcessWriteLn(ProcessPtr process, const std::string& text);
// Delivers at most 6 lines (or chunks); a prompt standing alone as the
// pending output goes to the prompt callback (or, without one, to the data
// callback) and is emptied; when the child has ended and all its output has
// been delivered, the poll timer is removed and the done callback is
// cleared and called once. The record may be disposed by any callback.
void ProcessPoll(ProcessPtr process);
void DoProcessTimer(EventLoopTimerRef timer, void* userData);
// Asks waitpid (without waiting); its end clears the running flag.
Boolean ProcessRunning(ProcessPtr process);
// -1 for nil; otherwise the low 16 bits of the wait status.
SInt16 ProcessResult(ProcessPtr process);
// Kills the child (see above), removes the poll timer, then clears and calls
// the done callback with (True, 0).
void ProcessTerminate(ProcessPtr process);
// Terminates a child that still runs (its done callback included), closes the
// descriptors, removes the timer and frees the record; process becomes nil.
void ProcessDispose(ProcessPtr& process);
void ProcessSetCallbacks(ProcessPtr process, ProcessDataCallback data, ProcessDoneProc done, void* userData);
void ProcessSetLineBuffering(ProcessPtr process, Boolean on);
void ProcessSetPrompt(ProcessPtr process, const std::string& prompt, PromptProc promptCallback);
// Waits, without busy reading, until the terminal has output, the child may
// have ended, or the milliseconds have passed.
void ProcessWaitForOutput(ProcessPtr process, int milliseconds);

// Runs the command to its end, discarding its output. The child's input is
// closed at once (it reads end of file). Blocks the caller.
void ProcessLaunchSilent(const std::string& commandLine);
// Runs the command to its end and gives every line of its output, in order
// (empty when nothing came). The child's input is closed at once. Blocks the
// caller.
StringArr ProcessLaunchToStringArr(const std::string& commandLine);
