// Process runner objects with real children and interpreters. Poll timers are
// fired with the headless virtual clock; the tests wait for output or for a
// child's end with poll(2) and waitid(WNOWAIT), never by sleeping.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <deque>
#include <string>
#include <vector>

#include "CFString.h"
#include "HeadlessHost.h"
#include "PascalCarbonCommon.h"
#include "TProcessUtilsUnit.h"

namespace {

std::string Text(CFStringRef s) {
  if (s == nullptr) return "<nil>";
  CFIndex length = CFStringGetLength(s), size = 0;
  CFStringGetBytes(s, CFRangeMake(0, length), kCFStringEncodingUTF8, '?', false, nullptr, 0, &size);
  std::string out(size_t(size), '\0');
  CFStringGetBytes(s, CFRangeMake(0, length), kCFStringEncodingUTF8, '?', false,
                   reinterpret_cast<UInt8*>(out.data()), size, &size);
  return out;
}

CFStringRef Line(const std::string& utf8) {
  return CFStringCreateWithBytes(nullptr, reinterpret_cast<const UInt8*>(utf8.data()), CFIndex(utf8.size()),
                                 kCFStringEncodingUTF8, false);
}

// The interpreter's path from PATH, or empty.
std::string Find(const char* program) {
  const char* path = std::getenv("PATH");
  std::string dirs = path ? path : "/usr/bin:/bin";
  size_t start = 0;
  while (start <= dirs.size()) {
    size_t end = dirs.find(':', start);
    if (end == std::string::npos) end = dirs.size();
    std::string candidate = dirs.substr(start, end - start) + "/" + program;
    if (access(candidate.c_str(), X_OK) == 0) return candidate;
    start = end + 1;
  }
  return std::string();
}

// What a runner told; the runner itself is gone after its end.
struct RunLog {
  std::vector<std::string> data;
  std::deque<std::string> answers;  // written back at each prompt
  int prompts = 0;
  int terminated = 0;
  bool killed = false;
  SInt16 status = -1;
  std::string results = "<none>";
  int released = 0;
};

class Runner : public TProcessUtils {
 public:
  explicit Runner(RunLog* log) : log_(log) {}
  void GotData(CFStringRef text) override { log_->data.push_back(Text(text)); }
  void GotPrompt() override {
    ++log_->prompts;
    if (!log_->answers.empty()) {
      WriteLn(log_->answers.front());
      log_->answers.pop_front();
    }
  }
  void Terminated(Boolean killed, SInt16 status) override {
    ++log_->terminated;
    log_->killed = killed;
    log_->status = status;
    if (fResults != nullptr) log_->results = Text(fResults);
  }
  void Release() override {
    ++log_->released;
    TProcessUtils::Release();
  }

 private:
  RunLog* log_;
};

class TProcessUtilsTest : public ::testing::Test {
 protected:
  void SetUp() override { HeadlessUseVirtualClock(true); }
  void TearDown() override {
    SetConsoleFactory(nullptr);
    HeadlessUseVirtualClock(false);
  }

  Runner* Launch(const std::string& commandLine) {
    auto* runner = new Runner(&log);
    CFStringRef line = Line(commandLine);
    runner->Launch(line);
    CFRelease(line);
    EXPECT_NE(runner->fProcess, nullptr) << commandLine;
    return runner;
  }

  // Fires the poll timer whenever output came, until the runner has ended;
  // the runner is not touched once it has ended.
  void Drive(Runner* runner) {
    for (int i = 0; i < 200000 && log.terminated == 0; ++i) {
      ProcessWaitForOutput(runner->fProcess, 100);
      HeadlessAdvanceClock(runner->fDelay);
    }
    EXPECT_EQ(log.terminated, 1);
  }

  RunLog log;
};

TEST_F(TProcessUtilsTest, CollectsResultsCallsGotDataPerLineThenEndsAndReleasesItself) {
  auto* runner = new Runner(&log);
  runner->SetRequestResults(true);
  CFStringRef line = Line("/bin/sh -c \"echo a; echo; echo b; echo c\"");
  runner->Launch(line);
  CFRelease(line);
  Drive(runner);
  EXPECT_EQ(log.data, (std::vector<std::string>{"a", "b", "c"})) << "empty lines are dropped";
  EXPECT_EQ(log.results, "abc");
  EXPECT_FALSE(log.killed);
  EXPECT_EQ(log.status, 0);
  EXPECT_EQ(log.released, 1);
}

TEST_F(TProcessUtilsTest, TheDelayPacesThePolls) {
  Runner* runner = Launch("/bin/echo x");
  EXPECT_DOUBLE_EQ(runner->fDelay, 1.0 / 30);
  siginfo_t info;
  ASSERT_EQ(waitid(P_PID, id_t(runner->fProcess->pid), &info, WEXITED | WNOWAIT), 0);
  HeadlessAdvanceClock(0.02);
  EXPECT_TRUE(log.data.empty()) << "the first poll comes after the delay";
  HeadlessAdvanceClock(0.02);
  EXPECT_EQ(log.data, std::vector<std::string>{"x"});
  EXPECT_EQ(log.terminated, 1);

  log = RunLog();
  runner = Launch("/bin/echo y");
  ASSERT_EQ(waitid(P_PID, id_t(runner->fProcess->pid), &info, WEXITED | WNOWAIT), 0);
  runner->SetDelay(0.5);
  EXPECT_EQ(Err, noErr);
  HeadlessAdvanceClock(0.4);
  EXPECT_TRUE(log.data.empty());
  HeadlessAdvanceClock(0.2);
  EXPECT_EQ(log.data, std::vector<std::string>{"y"});

  // Before a launch there is no timer: only the delay is stored.
  auto* idle = new Runner(&log);
  idle->SetDelay(0.25);
  EXPECT_DOUBLE_EQ(idle->fDelay, 0.25);
  idle->Release();
}

TEST_F(TProcessUtilsTest, TerminateEndsTheChildAndTheRunner) {
  Runner* runner = Launch("/bin/sleep 1000");
  pid_t pid = runner->fProcess->pid;
  EXPECT_TRUE(runner->Running());
  runner->Terminate();
  EXPECT_EQ(log.terminated, 1);
  EXPECT_TRUE(log.killed);
  EXPECT_EQ(log.status, 0);
  EXPECT_EQ(log.released, 1);
  EXPECT_EQ(waitpid(pid, nullptr, WNOHANG), -1) << "reaped";
  HeadlessAdvanceClock(1.0);  // no timer is left to fire
  EXPECT_EQ(log.terminated, 1);
}

TEST_F(TProcessUtilsTest, ReleasingARunnerWhoseChildRunsRemovesItsTimerAndKillsTheChild) {
  Runner* runner = Launch("/bin/sh -c \"while :; do echo tick; sleep 1; done\"");
  pid_t pid = runner->fProcess->pid;
  runner->Release();
  EXPECT_EQ(waitpid(pid, nullptr, WNOHANG), -1) << "reaped";
  HeadlessAdvanceClock(2.0);
  EXPECT_EQ(log.terminated, 0) << "no notification reaches a released runner";
  EXPECT_TRUE(log.data.empty());
  EXPECT_EQ(log.released, 1);
}

TEST_F(TProcessUtilsTest, GotPromptOncePerPromptAndTheRunnerAnswers) {
  auto* runner = new Runner(&log);
  runner->SetPrompt("ftp> ");
  log.answers = {"x", "y"};
  CFStringRef line = Line("/bin/sh -c \"printf 'ftp> '; read a; printf 'ftp> '; read b; echo $a$b\"");
  runner->Launch(line);
  CFRelease(line);
  Drive(runner);
  EXPECT_EQ(log.prompts, 2);
  EXPECT_EQ(log.data, std::vector<std::string>{"xy"});
}

TEST_F(TProcessUtilsTest, AFailedLaunchLeavesNoProcess) {
  auto* runner = new Runner(&log);
  CFStringRef empty = Line("");
  runner->Launch(empty);
  CFRelease(empty);
  EXPECT_EQ(runner->fProcess, nullptr);
  EXPECT_FALSE(runner->Running());
  runner->Terminate();  // nothing to end
  EXPECT_EQ(log.terminated, 0);
  runner->Release();  // its creator releases it
}

TEST_F(TProcessUtilsTest, ALotOfOutputAndBinaryBytesArriveWhole) {
  auto* runner = new Runner(&log);
  runner->SetRequestResults(true);
  CFStringRef line = Line("/bin/sh -c \"seq 1 3000; printf 'caf\\303\\251\\nbin\\001\\377\\n'\"");
  runner->Launch(line);
  CFRelease(line);
  Drive(runner);
  ASSERT_EQ(log.data.size(), 3002u);
  EXPECT_EQ(log.data[2999], "3000");
  EXPECT_EQ(log.data[3000], "caf\xc3\xa9");       // valid UTF-8
  EXPECT_EQ(log.data[3001], "bin\x01\xcb\x87");   // not UTF-8: Mac Roman (0xFF is a caron)
  EXPECT_EQ(log.status, 0);
}

// --- Console --------------------------------------------------------------------------

struct ConsoleLog {
  std::vector<std::string> calls;
  int alive = 0;
};
ConsoleLog* gConsoleLog = nullptr;

class FakeConsole : public TConsole {
 public:
  FakeConsole() { ++gConsoleLog->alive; }
  void Create(ControlRef view) override {
    gConsoleLog->calls.push_back(view == reinterpret_cast<ControlRef>(0x1234) ? "Create" : "Create?");
  }
  void Clear() override { gConsoleLog->calls.push_back("Clear"); }
  void WriteLn(CFStringRef text) override { gConsoleLog->calls.push_back("WriteLn " + Text(text)); }
  void Redraw() override { gConsoleLog->calls.push_back("Redraw"); }

 protected:
  ~FakeConsole() override { --gConsoleLog->alive; }
};

TConsole* MakeFakeConsole() { return new FakeConsole; }

TEST_F(TProcessUtilsTest, SetConsoleMakesTheInstalledConsoleWhichTheRunnerOwns) {
  ConsoleLog consoles;
  gConsoleLog = &consoles;
  auto* runner = new Runner(&log);
  runner->SetConsole(reinterpret_cast<ControlRef>(0x1234));  // no console class yet
  EXPECT_TRUE(runner->fWriteOutput);
  EXPECT_EQ(runner->fConsole, nullptr);

  SetConsoleFactory(MakeFakeConsole);
  runner->SetConsole(reinterpret_cast<ControlRef>(0x1234));
  runner->SetConsole(reinterpret_cast<ControlRef>(0x1234));  // the first one goes
  EXPECT_EQ(consoles.alive, 1);
  EXPECT_EQ(consoles.calls, (std::vector<std::string>{"Create", "Clear", "Create", "Clear"}));
  consoles.calls.clear();
  CFStringRef line = Line("/bin/sh -c \"echo one; echo two\"");
  runner->Launch(line);
  CFRelease(line);
  Drive(runner);
  EXPECT_EQ(consoles.calls, (std::vector<std::string>{"WriteLn one", "WriteLn two", "Redraw"}));
  EXPECT_EQ(consoles.alive, 0) << "released with the runner";
}

TEST_F(TProcessUtilsTest, AnAttachedConsoleStaysItsGivers) {
  ConsoleLog consoles;
  gConsoleLog = &consoles;
  auto* console = new FakeConsole;
  auto* runner = new Runner(&log);
  runner->AttachConsole(console);
  runner->SetWriteOutput(true);
  CFStringRef line = Line("/bin/echo hi");
  runner->Launch(line);
  CFRelease(line);
  Drive(runner);
  EXPECT_EQ(consoles.calls, (std::vector<std::string>{"WriteLn hi", "Redraw"}));
  EXPECT_EQ(consoles.alive, 1);
  console->Release();
  EXPECT_EQ(consoles.alive, 0);
}

// --- Worker task -----------------------------------------------------------------------------

TEST(TProcessUtilsTask, LaunchTaskPollsOnTheMainThreadUntilTheEnd) {
  RunLog log;
  auto* runner = new Runner(&log);
  runner->SetRequestResults(true);
  CFStringRef line = Line("/bin/sh -c \"echo a; echo b; exit 5\"");
  runner->LaunchTask(line);
  CFRelease(line);
  EXPECT_EQ(runner->fProcess->pollTimer, nullptr);
  // The task's one remote call arrives through the event loop and returns
  // only when the child has ended.
  for (int i = 0; i < 100000 && log.terminated == 0; ++i) RunCurrentEventLoop(0.05);
  EXPECT_EQ(log.data, (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(log.results, "ab");
  EXPECT_EQ(log.status, 5 * 256);
  EXPECT_EQ(log.released, 1);
}

// --- Interpreters ----------------------------------------------------------------------------

TEST_F(TProcessUtilsTest, PerlPromptsReadsInputWritesUTF8AndExitsWithACode) {
  std::string perl = Find("perl");
  if (perl.empty()) GTEST_SKIP() << "perl is not installed";
  auto* runner = new Runner(&log);
  runner->SetPrompt("name? ");
  log.answers = {"bob"};
  CFStringRef line = Line(perl +
                          " -e \"$|=1; print qq(name? ); my $n = <STDIN>; chomp $n; "
                          "print qq(hi $n\\n), qq(caf\\xc3\\xa9\\n); exit 4\"");
  runner->Launch(line);
  CFRelease(line);
  Drive(runner);
  EXPECT_EQ(log.prompts, 1);
  EXPECT_EQ(log.data, (std::vector<std::string>{"hi bob", "caf\xc3\xa9"}));
  EXPECT_EQ(log.status, 4 * 256);
}

TEST_F(TProcessUtilsTest, PhpAndRubyOutputAndExitCodes) {
  struct Case {
    const char* program;
    const char* script;
    std::vector<std::string> lines;
    SInt16 status;
  } cases[] = {
      {"php", " -n -r \"echo 'x', PHP_EOL, 'y'; exit(3);\"", {"x", "y"}, 3 * 256},
      {"ruby", " -e \"puts 'r1'; STDOUT.flush; exit 2\"", {"r1"}, 2 * 256},
  };
  int ran = 0;
  for (const auto& c : cases) {
    std::string path = Find(c.program);
    if (path.empty()) continue;
    log = RunLog();
    Runner* runner = Launch(path + c.script);
    Drive(runner);
    EXPECT_EQ(log.data, c.lines) << c.program;
    EXPECT_EQ(log.status, c.status) << c.program;
    ++ran;
  }
  if (ran == 0) GTEST_SKIP() << "neither php nor ruby is installed";
}

}  // namespace
