// TFileStream on real files: chunked and asynchronous reads (driven by the
// headless host's virtual clock), line endings, and writes.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "CFString.h"
#include "HeadlessHost.h"
#include "MacMemory.h"
#include "PascalCarbonCommon.h"
#include "TFileStreamUnit.h"

namespace {

namespace fs = std::filesystem;

void WriteFile(const std::string& path, const std::string& data) { std::ofstream(path, std::ios::binary) << data; }

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// What a stream was handed, kept outside it: the stream frees itself.
struct Log {
  std::vector<SInt32> counts;  // -1 for the end notification (nil, 0)
  std::string text;
  bool freed = false;
};

class Recorder : public TFileStream {
 public:
  explicit Recorder(Log* log = nullptr) : log_(log) {}
  void GotChunk(Ptr chunk, SInt32 count) override {
    if (log_ == nullptr) return;
    log_->counts.push_back(chunk ? count : -1);
    if (chunk) log_->text.append(chunk, size_t(count));
  }

 protected:
  ~Recorder() override {
    if (log_) log_->freed = true;
  }

 private:
  Log* log_;
};

class TFileStreamTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* tmp = getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/fstream-XXXXXX";
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir = fs::canonical(pattern).string();
    HeadlessUseVirtualClock(true);
  }
  void TearDown() override {
    HeadlessUseVirtualClock(false);
    std::error_code ec;
    fs::remove_all(dir, ec);
  }
  std::string P(const std::string& name) const { return dir + "/" + name; }
  static FSRef Ref(const std::string& path) {
    FSRef ref{};
    EXPECT_EQ(FSPathMakeRef(reinterpret_cast<const UInt8*>(path.c_str()), &ref, nullptr), noErr) << path;
    return ref;
  }
  // Every chunk Read hands out, concatenated, for a buffer size.
  static std::string ReadInChunks(const FSRef& file, UInt32 size, const Str15& endings) {
    auto* s = new Recorder;
    s->SetBufferSize(size);
    s->SetLineEndings(endings);
    EXPECT_EQ(s->Open(file), noErr);
    std::string all;
    SInt32 count = 0;
    while (Ptr chunk = s->Read(count)) all.append(chunk, size_t(count));
    s->Close();
    return all;
  }

  std::string dir;
};

std::string Pattern(size_t n) {
  std::string data(n, '\0');
  for (size_t i = 0; i < n; ++i) data[i] = char('a' + i % 26);
  return data;
}

TEST_F(TFileStreamTest, AsynchronousReadDeliversChunksThenEndsAndFreesItself) {
  const std::string data = Pattern(20000);
  WriteFile(P("f"), data);
  Log log;
  auto* s = new Recorder(&log);
  s->OpenAsynch(Ref(P("f")));
  ASSERT_EQ(Err, noErr);
  EXPECT_EQ(s->fForkSize, 20000);
  EXPECT_EQ(s->fBufferSize, 8192u);
  EXPECT_EQ(s->fName.str(), "f");
  // The timer fires at once, then every 1/60 second: one chunk per firing.
  HeadlessAdvanceClock(0);
  EXPECT_EQ(log.counts, (std::vector<SInt32>{8192}));
  HeadlessAdvanceClock(2.0 / 60);
  EXPECT_EQ(log.counts, (std::vector<SInt32>{8192, 8192, 3616}));
  EXPECT_FALSE(log.freed);
  HeadlessAdvanceClock(1.0 / 60);
  EXPECT_EQ(log.counts, (std::vector<SInt32>{8192, 8192, 3616, -1}));
  EXPECT_TRUE(log.freed);
  EXPECT_EQ(log.text, data);
  HeadlessAdvanceClock(1.0);  // nothing more
  EXPECT_EQ(log.counts.size(), 4u);
}

TEST_F(TFileStreamTest, AnExactMultipleEndsWithAnEmptyChunk) {
  WriteFile(P("f"), Pattern(16384));
  Log log;
  auto* s = new Recorder(&log);
  s->OpenAsynch(Ref(P("f")));
  HeadlessAdvanceClock(1.0);
  EXPECT_EQ(log.counts, (std::vector<SInt32>{8192, 8192, 0, -1}));
  EXPECT_TRUE(log.freed);
}

TEST_F(TFileStreamTest, ClosingEarlyStopsTheReading) {
  WriteFile(P("f"), Pattern(20000));
  Log log;
  auto* s = new Recorder(&log);
  s->OpenAsynch(Ref(P("f")));
  HeadlessAdvanceClock(1.0 / 60);
  ASSERT_EQ(log.counts.size(), 2u);
  s->Close();  // the owner ends it: its timer goes with it
  EXPECT_TRUE(log.freed);
  HeadlessAdvanceClock(1.0);
  EXPECT_EQ(log.counts.size(), 2u);
}

TEST_F(TFileStreamTest, LineEndingsBecomeTheTargetInPlace) {
  struct Case {
    std::string in;
    std::string out;
  } cases[] = {
      {"a\r\nb", "a \rb"},
      {"a\nb\r\nc", "a\rb\r\rc"},  // the first ending is single: so is every later one
      {"a\r\nb\nc\r\n", "a \rb\rc \r"},
      {"\r\r\n\n", "\r\r\r\r"},
      {"no endings", "no endings"},
  };
  for (const Case& c : cases) {
    WriteFile(P("f"), c.in);
    EXPECT_EQ(ReadInChunks(Ref(P("f")), 8192, "\r"), c.out) << c.in;
  }
  // No target: nothing converted.
  WriteFile(P("f"), "a\r\nb");
  EXPECT_EQ(ReadInChunks(Ref(P("f")), 8192, ""), "a\r\nb");
  // LF as target, as the syntax scan uses it.
  EXPECT_EQ(ReadInChunks(Ref(P("f")), 8192, "\n"), "a \nb");
}

TEST_F(TFileStreamTest, ChunkBoundariesDoNotChangeTheText) {
  // A CR LF pair split between two chunks is still one line ending, so every
  // chunk size gives the text that a whole read gives.
  const std::string text = "ab\r\ncd\r\n\r\nef\r\n";
  WriteFile(P("f"), text);
  const FSRef file = Ref(P("f"));
  auto* whole = new Recorder;
  ASSERT_EQ(whole->Open(file), noErr);
  whole->SetLineEndings("\n");
  Ptr all = whole->ReadBytes();
  ASSERT_NE(all, nullptr);
  const std::string expected(all, size_t(GetPtrSize(all)));
  EXPECT_EQ(expected, "ab \ncd \n \nef \n");
  whole->Close();
  for (UInt32 size = 1; size <= text.size() + 1; ++size)
    EXPECT_EQ(ReadInChunks(file, size, "\n"), expected) << "chunk size " << size;
}

TEST_F(TFileStreamTest, OpenFailuresAndReadOnlyFiles) {
  // Nothing there: the status, no fork, no timer.
  auto* s = new Recorder;
  const OSStatus status = s->Open(FSRef{});
  EXPECT_NE(status, noErr);
  EXPECT_EQ(Err, status);
  EXPECT_EQ(s->fFork, 0);
  SInt32 count = 5;
  EXPECT_EQ(s->Read(count), nullptr);
  EXPECT_EQ(count, 0);
  EXPECT_EQ(s->ReadBytes(), nullptr);
  fs::create_directory(P("folder"));
  s->OpenAsynch(Ref(P("folder")));
  EXPECT_NE(Err, noErr);
  EXPECT_EQ(s->fTimer, nullptr);
  s->Close();

  // A file this user may only read opens, for reading; writing it fails
  // with a status and leaves it alone.
  std::string path = P("ro");
  if (geteuid() != 0) {
    WriteFile(path, "read only\n");
    chmod(path.c_str(), 0444);
  } else {
    path = "/sys/devices/system/cpu/online";  // refuses writing even to root
    const int fd = open(path.c_str(), O_RDWR);
    if (fd >= 0) close(fd);
    if (fd >= 0 || errno != EACCES) GTEST_SKIP() << "no read-only file for this user";
  }
  const std::string before = ReadFile(path);
  auto* r = new Recorder;
  ASSERT_EQ(r->Open(Ref(path)), noErr);
  Ptr bytes = r->ReadBytes();
  ASSERT_NE(bytes, nullptr);
  EXPECT_EQ(std::string(bytes, size_t(GetPtrSize(bytes))), before);
  CFStringRef text = CFStringCreateWithCString(nullptr, "x", kCFStringEncodingUTF8);
  r->WriteFork(text);
  EXPECT_NE(Err, noErr);
  CFRelease(text);
  r->Close();
  EXPECT_EQ(ReadFile(path), before);
}

TEST_F(TFileStreamTest, WritesReplaceTheContentsWholeOrNotAtAll) {
  WriteFile(P("f"), std::string(100, 'x'));
  auto* s = new Recorder;
  ASSERT_EQ(s->Open(Ref(P("f"))), noErr);

  CFStringRef ten = CFStringCreateWithCString(nullptr, "0123456789", kCFStringEncodingUTF8);
  s->WriteFork(ten);
  EXPECT_EQ(Err, noErr);
  EXPECT_EQ(ReadFile(P("f")), "0123456789");
  CFRelease(ten);

  CFStringRef accented = CFStringCreateWithCString(nullptr, "caf\xC3\xA9", kCFStringEncodingUTF8);
  s->WriteFork(accented);
  EXPECT_EQ(ReadFile(P("f")), "caf\x8E");  // Mac Roman
  CFRelease(accented);

  // A character Mac Roman lacks, even at the end: nothing is written.
  CFStringRef foreign = CFStringCreateWithCString(nullptr, "abc\xE2\x82\xAC\xE6\x97\xA5", kCFStringEncodingUTF8);
  s->WriteFork(foreign);
  EXPECT_EQ(Err, kTECUnmappableElementErr);
  EXPECT_EQ(ReadFile(P("f")), "caf\x8E");
  CFRelease(foreign);
  s->WriteFork(nullptr);
  EXPECT_EQ(Err, paramErr);

  // An empty text empties the file.
  CFStringRef empty = CFStringCreateWithCString(nullptr, "", kCFStringEncodingUTF8);
  s->WriteFork(empty);
  EXPECT_EQ(Err, noErr);
  EXPECT_EQ(ReadFile(P("f")), "");
  CFRelease(empty);

  Ptr block = NewPtr(3);
  std::memcpy(block, "abc", 3);
  WriteFile(P("f"), std::string(50, 'y'));
  s->WriteBytes(block);
  EXPECT_EQ(Err, noErr);
  EXPECT_EQ(ReadFile(P("f")), "abc");
  s->WriteBytes(block + 1);  // no block: refused, the file stays
  EXPECT_EQ(Err, paramErr);
  EXPECT_EQ(ReadFile(P("f")), "abc");
  ReleasePtr(block);

  // WriteLn writes at the mark, with a CR whatever the line endings.
  s->SetLineEndings("\n");
  s->WriteLn("line");
  EXPECT_EQ(Err, noErr);
  s->WriteLn("two");
  EXPECT_EQ(ReadFile(P("f")), "abcline\rtwo\r");
  s->Close();
}

}  // namespace
