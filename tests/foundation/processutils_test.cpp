// Child processes with real programs. Nothing here sleeps: the tests wait for
// a child's end with waitid(WNOWAIT) (which leaves the reaping to the code
// under test), wait for output with poll(2), and fire poll timers with the
// headless host's virtual clock.
#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "CFString.h"
#include "HeadlessHost.h"
#include "ProcessUtils.h"
#include "UnixCommon.h"

namespace {

// Blocks until the child has ended, without reaping it.
void WaitExited(ProcessPtr p) {
  siginfo_t info;
  ASSERT_EQ(waitid(P_PID, id_t(p->pid), &info, WEXITED | WNOWAIT), 0);
}

bool Reaped(pid_t pid) { return waitpid(pid, nullptr, WNOHANG) < 0 && errno == ECHILD; }

int OpenDescriptors() {
  int count = 0;
  if (DIR* d = opendir("/proc/self/fd")) {
    while (readdir(d) != nullptr) ++count;
    closedir(d);
  }
  return count;
}

std::string TempDir() {
  const char* base = std::getenv("TMPDIR");
  std::string pattern = std::string(base && *base ? base : "/tmp") + "/processutils.XXXXXX";
  std::vector<char> buf(pattern.begin(), pattern.end());
  buf.push_back('\0');
  return mkdtemp(buf.data()) ? std::string(buf.data()) : std::string();
}

std::string RealPath(const std::string& path) {
  char buf[PATH_MAX];
  return realpath(path.c_str(), buf) ? std::string(buf) : path;
}

// What the callbacks of one record received.
struct Seen {
  std::vector<std::string> data;
  int prompts = 0;
  int dones = 0;
  bool killed = false;
  SInt16 status = -1;
  bool disposeOnDone = false;
  ProcessPtr record = nullptr;
};

void OnData(const std::string& text, void* user) { static_cast<Seen*>(user)->data.push_back(text); }
void OnDone(Boolean killed, SInt16 status, void* user) {
  auto* seen = static_cast<Seen*>(user);
  ++seen->dones;
  seen->killed = killed;
  seen->status = status;
  if (seen->disposeOnDone) ProcessDispose(seen->record);
}
void OnPrompt(void* user) { ++static_cast<Seen*>(user)->prompts; }

ProcessPtr Start(const std::string& line, Seen& seen, bool poll = false) {
  ProcessPtr p = ProcessLaunch(line, poll, 0.1);
  EXPECT_NE(p, nullptr) << line;
  ProcessSetCallbacks(p, OnData, OnDone, &seen);
  seen.record = p;
  return p;
}

// Polls explicitly until the done callback came, waiting for output between
// polls; bounded by a generous number of polls.
void PollToEnd(ProcessPtr p, Seen& seen) {
  for (int i = 0; i < 100000 && seen.dones == 0; ++i) {
    ProcessPoll(p);
    if (seen.dones == 0) ProcessWaitForOutput(p, 100);
  }
}

// --- Command lines ---------------------------------------------------------------------

TEST(ProcessCommandLines, SplitIntoWords) {
  struct Case {
    const char* line;
    std::vector<std::string> words;
  } cases[] = {
      {"/bin/echo hello", {"/bin/echo", "hello"}},
      {"/bin/prog \"a b\" c", {"/bin/prog", "a b", "c"}},
      {"/bin/prog name=\"a b\"", {"/bin/prog", "name=a b"}},
      {"/bin/prog x y z", {"/bin/prog", "x", "y", "z"}},
      {"  a   b ", {"a", "b"}},
      {"a\tb c", {"a\tb", "c"}},  // only the space separates
      {"a \"b c", {"a", "b c"}},  // an open quote runs to the end
      {"a \"\"", {"a", ""}},
      {"\"quo ted\"tail", {"quo ted", "tail"}},
      {"x=\"1 2\"y\"3 4\" z", {"x=1 2y3 4", "z"}},
      {"", {}},
      {"   ", {}},
  };
  for (const auto& c : cases) EXPECT_EQ(BuildArgv(c.line), c.words) << c.line;
}

TEST(ProcessCommandLines, PathParts) {
  struct Case {
    const char* path;
    const char* name;
    const char* folder;
  } cases[] = {
      {"/bin/echo", "echo", "/bin"},
      {"echo", "echo", "echo"},
      {"/echo", "/echo", ""},
      {"/usr/bin/", "bin", "/usr/bin"},
      {"", "", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(GetNameOnly(c.path), c.name) << c.path;
    EXPECT_EQ(TrimLastToken(c.path), c.folder) << c.path;
  }
  EXPECT_EQ(CleanLiterals("\"a\"b\""), "ab");
}

TEST(ProcessReading, EveryLineEndEndsOneLineAndTheRestFollowsTheEnd) {
  ProcessRec r;  // not launched: the buffer alone
  r.pending = "a\rb\nc\r\nd\r\r\ne\n\nf";
  r.running = true;
  r.terminalDone = true;
  std::vector<std::string> lines;
  std::string line;
  while (ProcessReadLn(&r, line)) lines.push_back(line);
  EXPECT_EQ(lines, (std::vector<std::string>{"a", "b", "c", "d", "e"}))
      << "LF then LF: the optional LF after a line end is taken";
  r.running = false;  // after the end the unterminated rest is a line
  ASSERT_TRUE(ProcessReadLn(&r, line));
  EXPECT_EQ(line, "f");
  EXPECT_FALSE(ProcessReadLn(&r, line));
}

TEST(ProcessReading, NilRecordsAreHarmless) {
  std::string line;
  EXPECT_FALSE(ProcessReadLn(nullptr, line));
  EXPECT_EQ(ProcessRead(nullptr), "");
  EXPECT_FALSE(ProcessRunning(nullptr));
  EXPECT_EQ(ProcessResult(nullptr), -1);
  ProcessPoll(nullptr);
  ProcessTerminate(nullptr);
  ProcessWrite(nullptr, "x");
  ProcessPtr none = nullptr;
  ProcessDispose(none);
  EXPECT_EQ(ProcessLaunch("   ", false, 0), nullptr);
  testing::internal::CaptureStdout();
  DoProcessTimer(nullptr, nullptr);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Timer with nil userData!!! *********\n");
}

// --- Polling ---------------------------------------------------------------------------

class ProcessTimerTest : public ::testing::Test {
 protected:
  void SetUp() override { HeadlessUseVirtualClock(true); }
  void TearDown() override { HeadlessUseVirtualClock(false); }
};

TEST_F(ProcessTimerTest, EchoDeliversItsLineThenItsEndFromTheTimer) {
  Seen seen;
  seen.disposeOnDone = true;  // the done callback may dispose the record
  ProcessPtr p = Start("/bin/echo hello", seen, true);
  pid_t pid = p->pid;
  WaitExited(p);
  HeadlessAdvanceClock(0.9);
  EXPECT_TRUE(seen.data.empty()) << "the first poll comes after one second";
  HeadlessAdvanceClock(0.2);
  EXPECT_EQ(seen.data, std::vector<std::string>{"hello"});
  EXPECT_EQ(seen.dones, 1);
  EXPECT_FALSE(seen.killed);
  EXPECT_EQ(seen.status, 0);
  EXPECT_EQ(seen.record, nullptr);
  EXPECT_TRUE(Reaped(pid));
  HeadlessAdvanceClock(1.0);  // the timer is gone with the record
  EXPECT_EQ(seen.dones, 1);
}

TEST(ProcessPolling, AProgramThatCannotRunSaysFailedAndEndsWith32512) {
  std::string dir = TempDir();
  std::string plain = dir + "/not-executable";
  std::ofstream(plain) << "echo no\n";
  for (std::string line : {std::string("/nonexistent/program arg"), plain}) {
    Seen seen;
    ProcessPtr p = Start(line, seen);
    WaitExited(p);
    PollToEnd(p, seen);
    EXPECT_EQ(seen.data, std::vector<std::string>{"Failed!"}) << line;
    EXPECT_EQ(seen.status, 32512) << line;
    EXPECT_EQ(ProcessResult(p), 32512);
    ProcessDispose(p);
  }
}

TEST(ProcessPolling, OnePollDeliversAtMostSixLines) {
  Seen seen;
  ProcessPtr p = Start("/bin/sh -c \"for i in 1 2 3 4 5 6 7 8 9 10; do echo line$i; done\"", seen);
  WaitExited(p);
  ProcessPoll(p);
  EXPECT_EQ(seen.data.size(), 6u);
  EXPECT_EQ(seen.dones, 0);
  ProcessPoll(p);
  ASSERT_EQ(seen.data.size(), 10u);
  EXPECT_EQ(seen.data[9], "line10");
  EXPECT_EQ(seen.dones, 1);
  ProcessDispose(p);
}

TEST(ProcessPolling, OutputJustBeforeTheEndIsDeliveredBeforeTheEnd) {
  // An unterminated last line, and a CR LF ending (the terminal makes
  // it CR CR LF): both arrive, then the end, in one poll.
  Seen seen;
  ProcessPtr p = Start("/usr/bin/printf \"a\\r\\nb\"", seen);
  WaitExited(p);
  ProcessPoll(p);
  EXPECT_EQ(seen.data, (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(seen.dones, 1);
  ProcessDispose(p);
}

TEST(ProcessPolling, ChunkModeHandsOutWhatWasRead) {
  Seen seen;
  ProcessPtr p = Start("/bin/echo one two", seen);
  ProcessSetLineBuffering(p, false);
  WaitExited(p);
  PollToEnd(p, seen);
  std::string all;
  for (auto& chunk : seen.data) all += chunk;
  EXPECT_EQ(all, "one two\r\n");  // the terminal turns LF into CR LF
  ProcessDispose(p);
}

TEST(ProcessPolling, APromptWithoutLineEndIsDeliveredOnceThenInputIsAnswered) {
  for (bool withCallback : {true, false}) {
    Seen seen;
    ProcessPtr p = Start("/bin/sh -c \"printf 'ftp> '; read x; echo got $x\"", seen);
    ProcessSetPrompt(p, "ftp> ", withCallback ? OnPrompt : nullptr);
    for (int i = 0; i < 100000 && seen.prompts == 0 && seen.data.empty(); ++i) {
      ProcessWaitForOutput(p, 100);
      ProcessPoll(p);
    }
    if (withCallback) {
      EXPECT_EQ(seen.prompts, 1);
      EXPECT_TRUE(seen.data.empty());
    } else {
      EXPECT_EQ(seen.data, std::vector<std::string>{"ftp> "});
    }
    ProcessPoll(p);  // the prompt was emptied: no second delivery
    EXPECT_EQ(seen.prompts + int(seen.data.size()), 1);
    ProcessWriteLn(p, "abc");
    PollToEnd(p, seen);
    EXPECT_EQ(seen.data.back(), "got abc");
    EXPECT_EQ(seen.status, 0);
    ProcessDispose(p);
  }
}

TEST(ProcessPolling, ExitCodesAndSignalsReachTheEnd) {
  struct Case {
    const char* line;
    SInt16 status;
  } cases[] = {
      {"/bin/sh -c \"exit 3\"", 3 * 256},
      {"/bin/sh -c \"kill -TERM $$\"", SIGTERM},
  };
  for (const auto& c : cases) {
    Seen seen;
    ProcessPtr p = Start(c.line, seen);
    PollToEnd(p, seen);
    EXPECT_EQ(seen.status, c.status) << c.line;
    EXPECT_FALSE(seen.killed);
    ProcessDispose(p);
  }
}

TEST(ProcessPolling, AChildThatClosesItsOutputEarlyEndsCleanly) {
  Seen seen;
  ProcessPtr p = Start("/bin/sh -c \"exec >&- 2>&-; read x\"", seen);
  for (int i = 0; i < 1000 && !p->terminalDone; ++i) {
    ProcessWaitForOutput(p, 100);
    ProcessPoll(p);
  }
  EXPECT_TRUE(ProcessRunning(p));
  EXPECT_EQ(seen.dones, 0);
  ProcessWriteLn(p, "");
  PollToEnd(p, seen);
  EXPECT_EQ(seen.dones, 1);
  EXPECT_EQ(seen.status, 0);
  ProcessDispose(p);
}

// --- Termination, input, descriptors ------------------------------------------------------

TEST_F(ProcessTimerTest, TerminateKillsTheWholeGroupOnceAndRemovesTheTimer) {
  Seen seen;
  // The shell's child (sleep) holds the terminal too; it must go as well.
  ProcessPtr p = Start("/bin/sh -c \"sleep 1000; echo never\"", seen, true);
  pid_t pid = p->pid;
  ProcessWrite(p, std::string(1 << 20, 'x'));  // nobody reads it: must not block
  ProcessTerminate(p);
  EXPECT_EQ(seen.dones, 1);
  EXPECT_TRUE(seen.killed);
  EXPECT_EQ(seen.status, 0);
  EXPECT_EQ(p->pollTimer, nullptr);
  EXPECT_FALSE(ProcessRunning(p));
  EXPECT_TRUE(Reaped(pid));
  // Once the whole group is gone nobody holds the terminal: it hangs up.
  struct pollfd fd = {p->terminal, POLLIN, 0};
  ASSERT_EQ(poll(&fd, 1, 60000), 1);
  EXPECT_TRUE(fd.revents & POLLHUP);
  HeadlessAdvanceClock(2.0);
  ProcessPoll(p);
  EXPECT_EQ(seen.dones, 1) << "no second end";
  ProcessDispose(p);
}

TEST(ProcessInput, WritingToAChildThatHasGoneDoesNotKillTheProgram) {
  Seen seen;
  ProcessPtr p = Start("/bin/true", seen);
  WaitExited(p);  // ended, not yet seen: the write meets a closed pipe
  ProcessWrite(p, std::string(200000, 'y'));
  ProcessWriteLn(p, "more");
  PollToEnd(p, seen);
  EXPECT_EQ(seen.status, 0);
  ProcessDispose(p);
}

TEST(ProcessDescriptors, ChildrenInheritNoneAndDisposeClosesTheirs) {
  const int before = OpenDescriptors();
  int stray = open("/dev/null", O_RDONLY);  // not close-on-exec
  ASSERT_GE(stray, 0);
  Seen first;
  ProcessPtr a = Start("/bin/cat", first);
  std::string probe = "/bin/sh -c \"for f in " + std::to_string(a->terminal) + " " + std::to_string(a->input) +
                      " " + std::to_string(stray) + "; do [ -e /proc/self/fd/$f ] && echo open $f; done; echo end\"";
  StringArr lines = ProcessLaunchToStringArr(probe);
  EXPECT_EQ(lines, StringArr{"end"});
  ProcessDispose(a);
  close(stray);
  for (int i = 0; i < 5; ++i) {
    Seen seen;
    ProcessPtr p = Start("/bin/echo x", seen);
    PollToEnd(p, seen);
    ProcessDispose(p);
  }
  EXPECT_EQ(OpenDescriptors(), before);
}

TEST(ProcessDescriptors, DisposingARunningChildKillsAndReapsIt) {
  Seen seen;
  ProcessPtr p = Start("/bin/sleep 1000", seen);
  pid_t pid = p->pid;
  ProcessDispose(p);
  EXPECT_EQ(p, nullptr);
  EXPECT_EQ(seen.dones, 1);
  EXPECT_TRUE(seen.killed);
  EXPECT_TRUE(Reaped(pid));
}

TEST(ProcessDescriptors, ARecordDisposedFromItsDataCallbackIsFreedAfterThePoll) {
  struct Disposer {
    static void Data(const std::string&, void* user) {
      auto* self = static_cast<Disposer*>(user);
      ++self->lines;
      ProcessDispose(self->record);
    }
    ProcessPtr record = nullptr;
    int lines = 0;
  } disposer;
  disposer.record = ProcessLaunch("/bin/sh -c \"echo 1; echo 2; echo 3\"", false, 0);
  ASSERT_NE(disposer.record, nullptr);
  ProcessSetCallbacks(disposer.record, Disposer::Data, nullptr, &disposer);
  ProcessPtr p = disposer.record;
  WaitExited(p);
  ProcessPoll(p);  // stops after the first line; the record is freed on return
  EXPECT_EQ(disposer.lines, 1);
  EXPECT_EQ(disposer.record, nullptr);
}

// --- Blocking runs ---------------------------------------------------------------------------

TEST(ProcessBlocking, ToStringArrKeepsEveryLineOfALargeOutputInOrder) {
  StringArr lines = ProcessLaunchToStringArr("/bin/sh -c \"seq 1 20000; printf tail\"");
  ASSERT_EQ(lines.size(), 20001u);
  EXPECT_EQ(lines[0], "1");
  EXPECT_EQ(lines[19999], "20000");
  EXPECT_EQ(lines[20000], "tail");
  EXPECT_TRUE(ProcessLaunchToStringArr("/bin/true").empty());
  EXPECT_EQ(ProcessLaunchToStringArr("/nonexistent/x"), StringArr{"Failed!"});
}

TEST(ProcessBlocking, SilentRunsToTheEndAndAChildReadingInputGetsEndOfFile) {
  std::string dir = TempDir();
  std::string mark = dir + "/mark";
  ProcessLaunchSilent("/bin/sh -c \"read x; echo done > " + mark + "\"");
  std::ifstream in(mark);
  std::string text;
  std::getline(in, text);
  EXPECT_EQ(text, "done");
}

TEST(ProcessBlocking, AProgramInsideABundleRunsFromItsOwnFolder) {
  std::string dir = TempDir();
  std::string bundle = dir + "/Tool.app/Contents/MacOS";
  ASSERT_EQ(system(("mkdir -p " + bundle).c_str()), 0);
  for (const std::string& folder : {bundle, dir}) {
    std::string script = folder + "/where";
    std::ofstream(script) << "#!/bin/sh\npwd\n";
    chmod(script.c_str(), 0755);
    StringArr lines = ProcessLaunchToStringArr(script);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(RealPath(lines[0]), RealPath(folder == bundle ? bundle : "."));
  }
}

// --- Shell commands ------------------------------------------------------------------------------

std::string Text(CFStringRef s) {
  std::string out(size_t(CFStringGetLength(s)) * 4 + 1, '\0');
  CFStringGetCString(s, out.data(), CFIndex(out.size()), kCFStringEncodingUTF8);
  out.resize(std::strlen(out.c_str()));
  return out;
}

TEST(ShellCommands, ReadShellTakesAtMost255BytesUpToANul) {
  EXPECT_EQ(ReadShell("printf 'ab\\n'").str(), "ab\n");
  EXPECT_EQ(ReadShell("printf 'a\\000b'").str(), "a");
  EXPECT_EQ(ReadShell("head -c 1000 /dev/zero | tr '\\0' z").len(), 255);
  EXPECT_TRUE(ReadShell("true").empty());
  std::string dir = TempDir();
  DoShellCommand("echo hi > " + dir + "/done");
  EXPECT_TRUE(std::ifstream(dir + "/done").good());
}

TEST(ShellCommands, OutputIsUTF8WhenValidAndMacRomanOtherwise) {
  struct Case {
    const char* command;
    const char* expected;  // UTF-8
  } cases[] = {
      {"printf 'caf\\303\\251\\n'", "caf\xc3\xa9\n"},
      {"printf 'caf\\351'", "caf\xc3\x88"},  // 0xE9 is a capital E with grave in Mac Roman
      {"true", ""},
  };
  for (const auto& c : cases) {
    CFMutableStringRef s = ReadShellOutput(c.command);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(Text(s), c.expected) << c.command;
    CFRelease(s);
  }
  CFMutableStringRef big = ReadShellOutput("seq 1 30000");
  EXPECT_EQ(CFStringGetLength(big), 168894);  // every piece kept
  CFRelease(big);
}

}  // namespace
