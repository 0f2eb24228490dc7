#include "ProcessUtils.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

constexpr size_t kReadUnit = 1024;
// What the end of a child may still take from its terminal: enough for
// anything the child itself left, bounded against descendants that go on
// writing after it.
constexpr size_t kDrainLimit = size_t(1) << 20;

size_t PendingSize(ProcessPtr p) { return p->pending.size() - p->pendingStart; }

std::string TakeAll(ProcessPtr p) {
  std::string all = p->pending.substr(p->pendingStart);
  p->pending.clear();
  p->pendingStart = p->scanned = 0;
  return all;
}

// Marks the bytes before `upto` delivered; the buffer is compacted only when
// the delivered part is large, so taking many short lines stays linear.
void Consume(ProcessPtr p, size_t upto) {
  p->pendingStart = upto;
  if (p->scanned < upto) p->scanned = upto;
  if (p->pendingStart == p->pending.size()) {
    p->pending.clear();
    p->pendingStart = p->scanned = 0;
  } else if (p->pendingStart >= 65536 && p->pendingStart * 2 >= p->pending.size()) {
    p->pending.erase(0, p->pendingStart);
    p->scanned -= p->pendingStart;
    p->pendingStart = 0;
  }
}

// One non-blocking read. End of file and errors other than "nothing yet"
// (EIO once the child's side is closed) mean the terminal has given all.
void ReadTerminal(ProcessPtr p, size_t count) {
  if (p->terminalDone || p->terminal < 0) return;
  char buffer[kReadUnit];
  if (count > sizeof buffer) count = sizeof buffer;
  ssize_t n;
  do n = read(p->terminal, buffer, count);
  while (n < 0 && errno == EINTR);
  if (n > 0)
    p->pending.append(buffer, size_t(n));
  else if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK))
    p->terminalDone = true;
}

// Everything the terminal holds once the child has ended.
void DrainTerminal(ProcessPtr p) {
  size_t taken = 0;
  while (!p->terminalDone && taken < kDrainLimit) {
    size_t before = p->pending.size();
    ReadTerminal(p, kReadUnit);
    if (p->pending.size() == before) break;  // nothing more for now
    taken += p->pending.size() - before;
  }
  p->terminalDone = true;
}

void CloseInput(ProcessPtr p) {
  p->unsent.clear();
  if (p->input >= 0) close(p->input);
  p->input = -1;
}

// write(2) with SIGPIPE held back for this thread, so a reader that has gone
// gives EPIPE instead of ending the program.
ssize_t WriteWithoutSigpipe(int fd, const char* data, size_t size) {
  sigset_t block, old, pendingBefore;
  sigemptyset(&block);
  sigaddset(&block, SIGPIPE);
  pthread_sigmask(SIG_BLOCK, &block, &old);
  sigpending(&pendingBefore);
  ssize_t n;
  do n = write(fd, data, size);
  while (n < 0 && errno == EINTR);
  int saved = errno;
  if (n < 0 && saved == EPIPE && !sigismember(&pendingBefore, SIGPIPE)) {
    struct timespec zero = {0, 0};
    while (sigtimedwait(&block, nullptr, &zero) < 0 && errno == EINTR) {
    }
  }
  pthread_sigmask(SIG_SETMASK, &old, nullptr);
  errno = saved;
  return n;
}

void FlushInput(ProcessPtr p) {
  size_t sent = 0;
  while (sent < p->unsent.size() && p->input >= 0) {
    ssize_t n = WriteWithoutSigpipe(p->input, p->unsent.data() + sent, p->unsent.size() - sent);
    if (n > 0) {
      sent += size_t(n);
    } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      break;
    } else {
      CloseInput(p);  // the child no longer reads its input
      return;
    }
  }
  p->unsent.erase(0, sent);
}

void RemoveTimer(ProcessPtr p) {
  if (p->pollTimer != nullptr) RemoveEventLoopTimer(p->pollTimer);
  p->pollTimer = nullptr;
}

void FreeIfReleased(ProcessPtr p) {
  if (p->busy == 0 && p->disposed) delete p;
}

void CallDone(ProcessPtr p, Boolean killed, SInt16 status) {
  ProcessDoneProc done = p->doneCallback;
  if (done == nullptr) return;
  p->doneCallback = nullptr;
  ++p->busy;
  done(killed, status, p->userData);
  --p->busy;
}

// Kills the child's process group and reaps it; the pid is only signalled
// while unreaped, so it cannot belong to another process yet.
void KillChild(ProcessPtr p) {
  if (!p->running) return;
  kill(-p->pid, SIGKILL);
  kill(p->pid, SIGKILL);
  int status = 0;
  pid_t r;
  do r = waitpid(p->pid, &status, 0);
  while (r < 0 && errno == EINTR);
  if (r == p->pid) p->status = status;
  p->running = false;
}

void TerminateInternal(ProcessPtr p) {
  KillChild(p);
  p->terminalDone = true;
  p->endReported = true;
  CloseInput(p);
  RemoveTimer(p);
  CallDone(p, true, 0);
}

}  // namespace

// --- Command lines --------------------------------------------------------------

std::string CleanLiterals(const std::string& word) {
  std::string clean;
  clean.reserve(word.size());
  for (char c : word)
    if (c != '"') clean += c;
  return clean;
}

ArgvType BuildArgv(const std::string& line) {
  ArgvType words;
  const size_t n = line.size();
  size_t i = 0;
  while (i < n) {
    if (line[i] == ' ') {
      ++i;
      continue;
    }
    if (line[i] == '"') {
      size_t close = line.find('"', i + 1);
      if (close == std::string::npos) {
        words.push_back(line.substr(i + 1));
        i = n;
      } else {
        words.push_back(line.substr(i + 1, close - i - 1));
        i = close + 1;
      }
      continue;
    }
    const size_t start = i;
    bool quoted = false;
    for (; i < n; ++i) {
      if (line[i] == '"')
        quoted = !quoted;
      else if (line[i] == ' ' && !quoted)
        break;
    }
    words.push_back(CleanLiterals(line.substr(start, i - start)));
  }
  return words;
}

std::string GetNameOnly(const std::string& path) {
  std::string p = path;
  while (!p.empty() && p.back() == '/') p.pop_back();
  size_t slash = p.rfind('/');
  if (slash == std::string::npos || slash == 0) return p;
  return p.substr(slash + 1);
}

std::string TrimLastToken(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(0, slash);
}

int SetNoBlock(int fd) {
  int flags = fcntl(fd, F_GETFL);
  if (flags < 0 || fcntl(fd, F_SETFL, flags | O_NONBLOCK) < 0) return -1;
  return 0;
}

extern char** environ;

// --- Launch -------------------------------------------------------------------------

ProcessPtr ProcessLaunch(const std::string& commandLine, Boolean poll, double interval) {
  const ArgvType words = BuildArgv(commandLine);
  if (words.empty()) return nullptr;
  // A program inside a bundle runs from its own folder.
  const std::string folder = TrimLastToken(words[0]);
  const bool changeFolder = folder.size() > 14 && folder.compare(folder.size() - 14, 14, "Contents/MacOS") == 0;
  return ProcessLaunchWords(words, nullptr, changeFolder ? folder : std::string(), poll, interval);
}

ProcessPtr ProcessLaunchWords(const ArgvType& words, const std::vector<std::string>* environment,
                              const std::string& folder, Boolean poll, double interval) {
  if (words.empty() || words[0].empty()) return nullptr;
  // Everything the child needs is made here: after fork it may only make
  // async-signal-safe calls.
  ArgvType argumentWords = words;
  const std::string path = words[0];
  argumentWords[0] = GetNameOnly(path);
  std::vector<char*> argv;
  argv.reserve(argumentWords.size() + 1);
  for (auto& w : argumentWords) argv.push_back(w.data());
  argv.push_back(nullptr);

  // The environment: ours, with the given names replaced.
  std::vector<std::string> added = environment != nullptr ? *environment : std::vector<std::string>();
  std::vector<char*> envp;
  for (char** e = environ; e != nullptr && *e != nullptr; ++e) {
    const char* equals = std::strchr(*e, '=');
    const size_t nameLength = equals != nullptr ? size_t(equals - *e) : std::strlen(*e);
    bool replaced = false;
    for (const std::string& entry : added)
      if (entry.size() > nameLength && entry[nameLength] == '=' && entry.compare(0, nameLength, *e, nameLength) == 0)
        replaced = true;
    if (!replaced) envp.push_back(*e);
  }
  for (auto& entry : added) envp.push_back(entry.data());
  envp.push_back(nullptr);

  int terminal = -1, slave = -1, pipeFds[2] = {-1, -1};
  char slaveName[128];
  bool ready = false;
  terminal = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (terminal >= 0 && grantpt(terminal) == 0 && unlockpt(terminal) == 0 &&
      ptsname_r(terminal, slaveName, sizeof slaveName) == 0) {
    slave = open(slaveName, O_RDWR | O_NOCTTY | O_CLOEXEC);
    ready = slave >= 0 && pipe2(pipeFds, O_CLOEXEC) == 0;
  }
  pid_t pid = ready ? fork() : -1;
  if (pid < 0) {
    for (int fd : {terminal, slave, pipeFds[0], pipeFds[1]})
      if (fd >= 0) close(fd);
    std::fputs("can't fork\n", stdout);
    std::fflush(stdout);
    return nullptr;
  }
  if (pid == 0) {
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    signal(SIGPIPE, SIG_DFL);
    setsid();
    ioctl(slave, TIOCSCTTY, 0);
    dup2(pipeFds[0], 0);
    dup2(slave, 1);
    dup2(slave, 2);
#ifdef SYS_close_range
    syscall(SYS_close_range, 3U, ~0U, 0U);
#endif
    if (!folder.empty() && chdir(folder.c_str()) != 0) {
      // runs from the inherited folder
    }
    execve(path.c_str(), argv.data(), envp.data());
    ssize_t ignored = write(1, "Failed!\n", 8);
    (void)ignored;
    _exit(127);
  }
  close(slave);
  close(pipeFds[0]);
  SetNoBlock(terminal);
  SetNoBlock(pipeFds[1]);

  auto* p = new ProcessRec;
  p->terminal = terminal;
  p->input = pipeFds[1];
  p->pid = pid;
  p->status = 0;
  p->running = true;
  p->lineMode = true;
#ifdef SYS_pidfd_open
  p->exitWatch = int(syscall(SYS_pidfd_open, pid, 0U));  // close-on-exec by nature
#endif
  if (poll) {
    double every = interval > 0 && std::isfinite(interval) ? interval : kProcessDefaultInterval;
    InstallEventLoopTimer(GetMainEventLoop(), 1.0, every, NewEventLoopTimerUPP(DoProcessTimer), p, &p->pollTimer);
  }
  return p;
}

// --- Reading and writing -------------------------------------------------------------

std::string ProcessRead(ProcessPtr process) {
  if (process == nullptr) return std::string();
  ReadTerminal(process, kReadUnit);
  return TakeAll(process);
}

Boolean ProcessReadLn(ProcessPtr p, std::string& line) {
  if (p == nullptr) return false;
  ReadTerminal(p, kReadUnit);
  size_t from = p->scanned > p->pendingStart ? p->scanned : p->pendingStart;
  size_t end = p->pending.find_first_of("\r\n", from);
  if (end != std::string::npos) {
    line.assign(p->pending, p->pendingStart, end - p->pendingStart);
    size_t next = end + 1;
    if (next < p->pending.size() && p->pending[next] == '\r') ++next;
    if (next < p->pending.size() && p->pending[next] == '\n') ++next;
    Consume(p, next);
    return true;
  }
  p->scanned = p->pending.size();
  if (!p->running && PendingSize(p) > 0) {
    line = TakeAll(p);
    return true;
  }
  return false;
}

void ProcessWrite(ProcessPtr process, const std::string& text) {
  if (process == nullptr || process->input < 0 || !process->running) return;
  process->unsent += text;
  FlushInput(process);
}

void ProcessWriteLn(ProcessPtr process, const std::string& text) { ProcessWrite(process, text + "\n"); }

// --- Polling -------------------------------------------------------------------------

void ProcessPoll(ProcessPtr p) {
  if (p == nullptr || p->disposed || p->endReported) return;
  ++p->busy;
  if (p->running) FlushInput(p);
  for (int round = 0; round < 6; ++round) {
    std::string got;
    if (p->lineMode) {
      if (!ProcessReadLn(p, got)) got.clear();
    } else {
      got = ProcessRead(p);
    }
    if (!got.empty()) {
      if (p->dataCallback) p->dataCallback(got, p->userData);
      if (p->disposed || p->endReported) break;
      continue;
    }
    if (!p->prompt.empty() && PendingSize(p) == p->prompt.size() &&
        p->pending.compare(p->pendingStart, std::string::npos, p->prompt) == 0) {
      std::string prompt = TakeAll(p);
      if (p->promptCallback)
        p->promptCallback(p->userData);
      else if (p->dataCallback)
        p->dataCallback(prompt, p->userData);
      if (p->disposed || p->endReported) break;
    }
    if (!ProcessRunning(p)) {
      if (PendingSize(p) > 0) continue;  // the child's last output comes before its end
      RemoveTimer(p);
      p->endReported = true;
      CallDone(p, false, SInt16(UInt16(p->status & 0xFFFF)));
    }
    break;
  }
  --p->busy;
  FreeIfReleased(p);
}

void DoProcessTimer(EventLoopTimerRef timer, void* userData) {
  if (userData == nullptr) {
    std::fputs("Timer with nil userData!!! *********\n", stdout);
    std::fflush(stdout);
    return;
  }
  ProcessPoll(static_cast<ProcessPtr>(userData));
}

Boolean ProcessRunning(ProcessPtr p) {
  if (p == nullptr) return false;
  if (p->running) {
    int status = 0;
    pid_t r;
    do r = waitpid(p->pid, &status, WNOHANG);
    while (r < 0 && errno == EINTR);
    if (r != 0) {
      p->running = false;
      if (r == p->pid) p->status = status;
      DrainTerminal(p);
      CloseInput(p);
    }
  }
  return p->running;
}

SInt16 ProcessResult(ProcessPtr process) {
  if (process == nullptr) return -1;
  ProcessRunning(process);
  return SInt16(UInt16(process->status & 0xFFFF));
}

void ProcessTerminate(ProcessPtr p) {
  if (p == nullptr || p->disposed) return;
  ++p->busy;
  TerminateInternal(p);
  --p->busy;
  FreeIfReleased(p);
}

void ProcessDispose(ProcessPtr& process) {
  ProcessPtr p = process;
  process = nullptr;
  if (p == nullptr || p->disposed) return;
  p->disposed = true;
  ++p->busy;
  if (ProcessRunning(p)) TerminateInternal(p);
  --p->busy;
  RemoveTimer(p);
  CloseInput(p);
  if (p->terminal >= 0) close(p->terminal);
  p->terminal = -1;
  if (p->exitWatch >= 0) close(p->exitWatch);
  p->exitWatch = -1;
  p->terminalDone = true;
  FreeIfReleased(p);
}

void ProcessSetCallbacks(ProcessPtr process, ProcessDataCallback data, ProcessDoneProc done, void* userData) {
  if (process == nullptr) return;
  process->dataCallback = data;
  process->doneCallback = done;
  process->userData = userData;
}

void ProcessSetLineBuffering(ProcessPtr process, Boolean on) {
  if (process != nullptr) process->lineMode = on;
}

void ProcessSetPrompt(ProcessPtr process, const std::string& prompt, PromptProc promptCallback) {
  if (process == nullptr) return;
  process->prompt = prompt;
  process->promptCallback = promptCallback;
}

void ProcessWaitForOutput(ProcessPtr p, int milliseconds) {
  if (p == nullptr || !p->running) return;
  struct pollfd fds[2];
  nfds_t count = 0;
  if (!p->terminalDone && p->terminal >= 0) fds[count++] = {p->terminal, POLLIN, 0};
  if (p->exitWatch >= 0) fds[count++] = {p->exitWatch, POLLIN, 0};
  poll(count ? fds : nullptr, count, milliseconds);
}

// --- Blocking runs --------------------------------------------------------------------

namespace {
// How long a blocking run waits between looks: long when the child's end
// wakes the wait, short when only a timeout can tell (a descendant keeps the
// terminal open and the system offers no exit watch).
int BlockingWaitMs(ProcessPtr p) { return p->exitWatch >= 0 ? 1000 : 50; }
}  // namespace

void ProcessLaunchSilent(const std::string& commandLine) {
  ProcessPtr p = ProcessLaunch(commandLine, false, 0);
  if (p == nullptr) return;
  CloseInput(p);
  for (;;) {
    ProcessRead(p);
    if (!ProcessRunning(p)) break;
    ProcessWaitForOutput(p, BlockingWaitMs(p));
  }
  ProcessDispose(p);
}

StringArr ProcessLaunchToStringArr(const std::string& commandLine) {
  StringArr lines;
  ProcessPtr p = ProcessLaunch(commandLine, false, 0);
  if (p == nullptr) return lines;
  CloseInput(p);
  std::string line;
  for (;;) {
    while (ProcessReadLn(p, line)) lines.push_back(line);
    if (!ProcessRunning(p)) {
      while (ProcessReadLn(p, line)) lines.push_back(line);
      break;
    }
    ProcessWaitForOutput(p, BlockingWaitMs(p));
  }
  ProcessDispose(p);
  return lines;
}
