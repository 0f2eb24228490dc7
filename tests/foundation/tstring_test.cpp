#include <gtest/gtest.h>

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "CFString.h"
#include "MacMemory.h"
#include "Multiprocessing.h"
#include "PascalCarbonCommon.h"
#include "TStringUnit.h"

namespace {

CFStringRef U(const std::string& utf8) {
  return CFStringCreateWithBytes(nullptr, reinterpret_cast<const UInt8*>(utf8.data()), CFIndex(utf8.size()),
                                 kCFStringEncodingUTF8, false);
}

std::string Utf8(CFStringRef s) {
  if (s == nullptr) return "(nil)";
  CFIndex length = CFStringGetLength(s), size = 0;
  CFStringGetBytes(s, CFRangeMake(0, length), kCFStringEncodingUTF8, 0, false, nullptr, 0, &size);
  std::string out(size_t(size), '\0');
  CFStringGetBytes(s, CFRangeMake(0, length), kCFStringEncodingUTF8, 0, false,
                   reinterpret_cast<UInt8*>(out.data()), size, nullptr);
  return out;
}

// Exposes the file codec, which the file operations use.
class TFileString : public TString {
 public:
  using TString::CreateFileBytes;
  using TString::SetFileBytes;
};

// A string object of the text (UTF-8 source).
template <typename T = TString>
T* Make(const std::string& utf8) {
  auto* t = new T();
  CFStringRef s = U(utf8);
  t->CreateCopy(s);
  CFRelease(s);
  return t;
}

std::string TextOf(TString* t) { return Utf8(t->fText); }

TEST(TString, AppendLineEndsWithTheLineEnding) {
  TString* t = Make("");
  t->AppendLine("abc");
  EXPECT_EQ(TextOf(t), "abc\r");
  t->SetLineEndings(10);
  t->AppendLine("d");
  EXPECT_EQ(TextOf(t), "abc\rd\n");
  EXPECT_EQ(t->GetLength(), 6);
  t->Release();
}

TEST(TString, EditsByPosition) {
  TString* t = Make("hello world");
  t->Insert(5, ",");
  EXPECT_EQ(TextOf(t), "hello, world");
  t->Insert(99, "!");  // past the end: appended
  t->Insert(-3, ">");  // before the start: prepended
  EXPECT_EQ(TextOf(t), ">hello, world!");
  t->Delete(0, 1);
  t->Delete(5, 5);    // empty range
  t->Delete(12, 40);  // cut to the text
  EXPECT_EQ(TextOf(t), "hello, world");
  t->Replace(0, 5, "HELLO");
  t->FindAndReplace("o", "0");
  EXPECT_EQ(TextOf(t), "HELLO, w0rld");
  CFStringRef tail = U(" \xE2\x82\xAC");
  t->ReplaceLong(7, 99, tail);
  CFRelease(tail);
  EXPECT_EQ(TextOf(t), "HELLO,  \xE2\x82\xAC");
  EXPECT_TRUE(t->Find("hello", kCFCompareCaseInsensitive));
  EXPECT_FALSE(t->Find("hello", 0));
  t->Clear();
  EXPECT_EQ(t->GetLength(), 0);
  EXPECT_FALSE(t->Find("", 0));
  t->Release();
}

TEST(TString, ShortStringsFollowTheEncoding) {
  TString* t = new TString();
  t->CreateWithString("caf\x8E");  // Mac Roman e-acute
  EXPECT_EQ(TextOf(t), "caf\xC3\xA9");
  EXPECT_EQ(t->GetPascalString(), "caf\x8E");
  EXPECT_EQ(t->GetCharacter(3), 0x8E);
  t->SetEncoding(kCFStringEncodingUTF8);
  EXPECT_EQ(t->GetRange(0, 4), "caf\xC3\xA9");
  EXPECT_EQ(t->GetCharacter(3), 0);  // two bytes do not fit one
  t->Append(nullptr);
  t->Insert(0, "\xC3\xA0 ");  // valid UTF-8
  t->Insert(0, "\x8E ");      // not: read as Mac Roman
  EXPECT_EQ(TextOf(t), "\xC3\xA9 \xC3\xA0 caf\xC3\xA9");
  t->Release();
}

TEST(TString, FindAdvancedGivesStartAndEnd) {
  TString* t = Make("hello world");
  CFRange range = CFRangeMake(0, 11);
  EXPECT_TRUE(t->FindAdvanced("lo", range, 0));
  EXPECT_EQ(range.location, 3);
  EXPECT_EQ(range.length, 5);
  range = CFRangeMake(4, 100);  // cut to the text
  EXPECT_TRUE(t->FindAdvanced("O", range, kCFCompareCaseInsensitive));
  EXPECT_EQ(range.location, 4);
  EXPECT_EQ(range.length, 5);
  range = CFRangeMake(5, 6);
  EXPECT_FALSE(t->FindAdvanced("hello", range, 0));
  EXPECT_EQ(range.location, 5);
  EXPECT_EQ(range.length, 6);
  range = CFRangeMake(50, 3);
  EXPECT_FALSE(t->FindAdvanced("d", range, 0));
  t->Release();
}

TEST(TString, CharacterAccessAtAndPastTheEnd) {
  struct Case {
    const char* text;
    SInt32 index;
    const char* afterDelete;
    UInt8 character;
  } cases[] = {
      {"hello", 5, "hell", 'o'},  // at the end: the last one
      {"hello", 0, "ello", 'h'},
      {"hello", 2, "helo", 'l'},
      {"hello", 9, "hello", 0},   // far past the end: nothing
      {"hello", -1, "hello", 0},
      {"hello", INT32_MAX, "hello", 0},
      {"", 0, "", 0},
      {"a\xF0\x9F\x98\x80", 3, "a", 0},  // a surrogate pair goes whole
      {"a\xF0\x9F\x98\x80" "b", 1, "ab", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.text) + " @" + std::to_string(c.index));
    TString* t = Make(c.text);
    EXPECT_EQ(t->GetCharacter(c.index), c.character);
    t->DeleteCharacter(c.index);
    EXPECT_EQ(TextOf(t), c.afterDelete);
    t->Release();
  }
}

TEST(TString, GetLineRangeFindsTheLineAroundAPosition) {
  struct Case {
    const char* text;
    SInt32 index;
    CFIndex first, last;
    const char* line;
  } cases[] = {
      {"ab\rcdef\rg", 5, 3, 6, "cdef"},
      {"ab\rcdef\rg", 3, 3, 6, "cdef"},
      {"ab\rcdef\rg", 8, 8, 8, "g"},     // last line without an ending, once
      {"ab\rcdef\rg", 9, 8, 8, "g"},     // at the end
      {"ab\rcd", 5, 3, 4, "cd"},
      {"ab\rcd", 2, 0, 1, "ab"},         // on the CR: the line it ends
      {"ab\r\ncd", 3, 0, 1, "ab"},       // on the LF of CR LF
      {"ab\ncd\n", 6, 3, 4, "cd"},
      {"a\r\rb", 2, 2, 1, ""},           // an empty line
      {"\r", 0, 0, -1, ""},
      {"", 0, 0, -1, ""},
      {"abc", -4, 0, 2, "abc"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.text) + " @" + std::to_string(c.index));
    TString* t = Make(c.text);
    CFRange range{-9, -9};
    Str255 line("junk");
    t->GetLineRange(c.index, &range, &line);
    EXPECT_EQ(range.location, c.first);
    EXPECT_EQ(range.length, c.last);
    EXPECT_EQ(line, c.line);
    t->GetLineRange(c.index, nullptr, nullptr);
    t->Release();
  }
}

TEST(TString, PiecesAsBlocks) {
  TString* t = Make("ab\xC3\xA9\xE4\xB8\xAD" "cd");  // a b e-acute CJK c d
  Ptr bytes = t->GetExtendedRange(0, 6);
  ASSERT_NE(bytes, nullptr);
  EXPECT_EQ(GetPtrSize(bytes), 6);  // the text's length
  EXPECT_EQ(std::string(bytes, 6), std::string("ab\x8E\0\0\0", 6));  // stops at what Mac Roman lacks
  ReleasePtr(bytes);
  bytes = t->GetExtendedRange(4, 99);
  ASSERT_NE(bytes, nullptr);
  EXPECT_EQ(std::string(bytes, 2), "cd");
  ReleasePtr(bytes);
  EXPECT_EQ(t->GetExtendedRange(3, 1), nullptr);  // nothing converts
  EXPECT_EQ(t->GetExtendedRange(6, 5), nullptr);

  UniChar* units = t->GetUnicodeRange(2, 4);
  ASSERT_NE(units, nullptr);
  EXPECT_EQ(GetPtrSize(reinterpret_cast<Ptr>(units)), 4);
  EXPECT_EQ(units[0], 0xE9);
  EXPECT_EQ(units[1], 0x4E2D);
  ReleasePtr(units);
  EXPECT_EQ(t->GetUnicodeRange(4, 2), nullptr);

  UniChar* all = t->GetUnicodeString();
  ASSERT_NE(all, nullptr);
  EXPECT_EQ(all[5], 'd');
  ReleasePtr(all);  // frees only a block
  EXPECT_EQ(t->GetRange(0, 99), "ab\x8E");
  EXPECT_EQ(t->GetPascalString(), "");  // does not convert whole
  t->Release();

  TString* big = Make(std::string(300, 'x'));
  EXPECT_EQ(big->GetPascalString(), "");
  EXPECT_EQ(big->GetRange(0, 300).len(), 254);
  big->Release();
}

TEST(TString, WrappedStringStaysTheCallers) {
  CFMutableStringRef mine = CFStringCreateMutable(nullptr, 0);
  TString* t = new TString();
  t->Create(mine);
  t->AppendLine("x");
  EXPECT_EQ(Utf8(mine), "x\r");
  t->Release();
  EXPECT_EQ(CFGetRetainCount(mine), 1);
  CFRelease(mine);
}

TEST(TString, ShowOffsetsWritesARuler) {
  TString* t = Make("abcdefghijkl");
  testing::internal::CaptureStderr();
  t->ShowOffsets();
  std::string out = testing::internal::GetCapturedStderr();
  EXPECT_NE(out.find("abcdefghijkl\n123456789111"), std::string::npos) << out;
  t->Release();
}

// The file codec: UTF-8 when the bytes are UTF-8, Mac Roman otherwise, and
// written back the way it was read.
TEST(TString, FilesRoundTripInTheirEncoding) {
  struct Case {
    std::string bytes;
    const char* text;
    CFStringEncoding encoding;
  } cases[] = {
      {"caf\xC3\xA9 \xE2\x82\xAC\n", "caf\xC3\xA9 \xE2\x82\xAC\n", kCFStringEncodingUTF8},
      {"caf\x8E \xDB\r", "caf\xC3\xA9 \xE2\x82\xAC\r", kCFStringEncodingMacRoman},
      {"\xEF\xBB\xBFmark", "\xEF\xBB\xBFmark", kCFStringEncodingUTF8},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    auto* t = new TFileString();
    t->SetFileBytes(reinterpret_cast<const UInt8*>(c.bytes.data()), Size(c.bytes.size()));
    EXPECT_EQ(TextOf(t), c.text);
    EXPECT_EQ(t->fFileEncoding, c.encoding);
    OSStatus status = -1;
    Ptr out = t->CreateFileBytes(status);
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(status, noErr);
    EXPECT_EQ(std::string(out, size_t(GetPtrSize(out))), c.bytes);
    ReleasePtr(out);
    t->Release();
  }
}

TEST(TString, TextAMacRomanFileCannotHoldIsNotWritten) {
  auto* t = new TFileString();
  const std::string bytes = "caf\x8E";
  t->SetFileBytes(reinterpret_cast<const UInt8*>(bytes.data()), Size(bytes.size()));
  CFStringRef cjk = U("\xE4\xB8\xAD");
  t->Append(cjk);
  CFRelease(cjk);
  OSStatus status = noErr;
  EXPECT_EQ(t->CreateFileBytes(status), nullptr);
  EXPECT_EQ(status, kTECUnmappableElementErr);
  t->Release();
}

TEST(TString, EmptyFileLeavesNoTextThatEditsThenMake) {
  auto* t = new TFileString();
  for (const std::string& bytes : {std::string(), std::string("\0abc", 4)}) {
    t->SetFileBytes(reinterpret_cast<const UInt8*>(bytes.data()), Size(bytes.size()));
    EXPECT_EQ(t->fText, nullptr);
    EXPECT_EQ(t->GetLength(), 0);
    EXPECT_EQ(t->GetCharacter(0), 0);
    EXPECT_FALSE(t->Find("a", 0));
    CFRange range{0, 5};
    EXPECT_FALSE(t->FindAdvanced("a", range, 0));
    EXPECT_EQ(t->GetUnicodeString(), nullptr);
    t->DeleteCharacter(0);
    t->Delete(0, 3);
    t->Clear();
    t->FindAndReplace("a", "b");
    OSStatus status = -1;
    Ptr out = t->CreateFileBytes(status);  // saving it writes an empty file
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(GetPtrSize(out), 0);
    ReleasePtr(out);
  }
  const std::string cut("ab\0cd", 5);
  t->SetFileBytes(reinterpret_cast<const UInt8*>(cut.data()), Size(cut.size()));
  EXPECT_EQ(TextOf(t), "ab");
  t->SetFileBytes(nullptr, 0);
  t->Insert(0, "new");
  EXPECT_EQ(TextOf(t), "new");
  EXPECT_TRUE(t->fOwned);
  t->Release();
}

// Records what the scanner reports.
class Scanner : public TString {
 public:
  void ParserState(SInt32 index, UInt8 character, const Str255& word, Boolean& stop) override {
    std::unique_lock<std::mutex> lock(mutex);
    if (!word.empty()) words.push_back(std::to_string(index) + ":" + word.str());
    characters += char(character);
    lastIndex = index;
    if (index == stopAt) stop = true;
    if (waitForStop) {
      waitForStop = false;
      started = true;
      changed.notify_all();
      lock.unlock();
      while (!MPTaskShouldStop()) MPYield();
    }
  }
  void ParserTerminated() override {
    std::lock_guard<std::mutex> lock(mutex);
    ++terminated;
    terminatedOn = std::this_thread::get_id();
    changed.notify_all();
  }
  void WaitFor(bool Scanner::*flag) {
    std::unique_lock<std::mutex> lock(mutex);
    changed.wait(lock, [&] { return this->*flag || terminated > 0; });
  }
  void WaitTerminated() {
    std::unique_lock<std::mutex> lock(mutex);
    changed.wait(lock, [&] { return terminated > 0; });
  }

  std::mutex mutex;
  std::condition_variable changed;
  std::vector<std::string> words;
  std::string characters;
  SInt32 lastIndex = -1;
  SInt32 stopAt = -1;
  bool waitForStop = false;
  bool started = false;
  int terminated = 0;
  std::thread::id terminatedOn;
};

TEST(TString, ParserReportsCompletedWords) {
  auto* t = Make<Scanner>("a_b1 c");
  t->Parse(false);
  EXPECT_EQ(t->words, std::vector<std::string>{"4:a_b1"});  // the final c is not reported
  EXPECT_EQ(t->characters, "a_b1 c");
  EXPECT_EQ(t->terminated, 1);
  EXPECT_EQ(t->terminatedOn, std::this_thread::get_id());

  // A later scan reads the text as it is now, one byte per UTF-16 unit.
  t->Clear();
  CFStringRef text = U("x\xE4\xB8\xAD\xF0\x9F\x98\x80y z,");
  t->Append(text);
  CFRelease(text);
  t->words.clear();
  t->characters.clear();
  t->Parse(false);
  EXPECT_EQ(t->characters, "x???y z,");
  EXPECT_EQ(t->words, (std::vector<std::string>{"1:x", "5:y", "7:z"}));
  t->Release();
}

TEST(TString, ParserStopsWhenAsked) {
  auto* t = Make<Scanner>("one two three");
  t->stopAt = 3;
  t->Parse(false);
  EXPECT_EQ(t->lastIndex, 3);
  EXPECT_EQ(t->words, std::vector<std::string>{"3:one"});
  EXPECT_EQ(t->terminated, 1);
  t->Release();
}

TEST(TString, ThreadedParseRunsOnAWorker) {
  auto* t = Make<Scanner>("alpha beta gamma.");
  t->Parse(true);
  t->WaitTerminated();
  {
    std::lock_guard<std::mutex> lock(t->mutex);
    EXPECT_EQ(t->words, (std::vector<std::string>{"5:alpha", "10:beta", "16:gamma"}));
    EXPECT_EQ(t->terminated, 1);
    EXPECT_NE(t->terminatedOn, std::this_thread::get_id());
    EXPECT_EQ(t->fTask, nullptr);  // the task no longer touches the string
  }
  t->Release();
}

TEST(TString, StoppedThreadedParseEndsOnceOnTheWorker) {
  auto* t = Make<Scanner>(std::string(5000, 'w') + " end");
  t->waitForStop = true;
  t->Parse(true);
  t->WaitFor(&Scanner::started);
  TStringParserTask* task = t->fTask;
  ASSERT_NE(task, nullptr);
  task->Stop();  // returns once the task has ended and been released
  EXPECT_EQ(t->fTask, nullptr);
  EXPECT_EQ(t->terminated, 1);
  EXPECT_NE(t->terminatedOn, std::this_thread::get_id());
  EXPECT_LT(t->lastIndex, 5000);
  EXPECT_TRUE(t->words.empty());
  t->Release();
}

}  // namespace
