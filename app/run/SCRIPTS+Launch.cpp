// Starting a child from an argument vector. The process runner of the
// foundation starts command lines, which it splits at blanks and strips of
// double quotes; an interpreter argument may hold both, so script runs hand
// over their words as they are. The child is set up exactly as the runner
// sets up its own (a terminal for its output, a pipe for its input, its own
// session), so the runner's polling, reading and ending work on it unchanged.
#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstring>

#include "SCRIPTS.h"

extern char** environ;

ProcessPtr ProcessLaunchWords(const ArgvType& words, const std::vector<std::string>& environment, double interval) {
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
  std::vector<std::string> added = environment;
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
  const double every = interval > 0 && std::isfinite(interval) ? interval : kProcessDefaultInterval;
  InstallEventLoopTimer(GetMainEventLoop(), 1.0, every, NewEventLoopTimerUPP(DoProcessTimer), p, &p->pollTimer);
  return p;
}
