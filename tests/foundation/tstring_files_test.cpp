#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "CFString.h"
#include "Files.h"
#include "PascalCarbonCommon.h"
#include "TStringUnit.h"

namespace {

std::string Utf8(CFStringRef s) {
  if (s == nullptr) return "(nil)";
  CFIndex length = CFStringGetLength(s), size = 0;
  CFStringGetBytes(s, CFRangeMake(0, length), kCFStringEncodingUTF8, 0, false, nullptr, 0, &size);
  std::string out(size_t(size), '\0');
  CFStringGetBytes(s, CFRangeMake(0, length), kCFStringEncodingUTF8, 0, false,
                   reinterpret_cast<UInt8*>(out.data()), size, nullptr);
  return out;
}

class TStringFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* tmp = std::getenv("TMPDIR");
    dir_ = std::string(tmp ? tmp : "/tmp") + "/tstring-files-" + std::to_string(getpid());
    ASSERT_EQ(std::system(("mkdir -p '" + dir_ + "'").c_str()), 0);
  }
  void TearDown() override { std::system(("rm -rf '" + dir_ + "'").c_str()); }

  std::string Path(const char* name) { return dir_ + "/" + name; }
  FSRef Write(const char* name, const std::string& bytes) {
    std::ofstream(Path(name), std::ios::binary | std::ios::trunc) << bytes;
    FSRef ref{};
    EXPECT_EQ(FSPathMakeRef(reinterpret_cast<const UInt8*>(Path(name).c_str()), &ref, nullptr), noErr);
    return ref;
  }
  std::string Read(const char* name) {
    std::ifstream in(Path(name), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  std::string dir_;
};

TEST_F(TStringFilesTest, EmptyFileLeavesNoText) {
  TString* t = new TString();
  t->CreateWithFile(Write("empty.txt", ""));
  EXPECT_EQ(Err, noErr);
  EXPECT_EQ(t->fText, nullptr);
  EXPECT_EQ(t->GetLength(), 0);
  t->Release();
}

TEST_F(TStringFilesTest, SavesBackInTheEncodingItRead) {
  struct Case {
    std::string bytes;
    const char* text;
    std::string saved;  // after appending "!"
  } cases[] = {
      {"caf\xC3\xA9\n\xE2\x82\xAC", "caf\xC3\xA9\n\xE2\x82\xAC", "caf\xC3\xA9\n\xE2\x82\xAC!"},
      {"caf\x8E\r\xDB", "caf\xC3\xA9\r\xE2\x82\xAC", "caf\x8E\r\xDB!"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    FSRef file = Write("doc.txt", c.bytes);
    TString* t = new TString();
    t->CreateWithFile(file);
    EXPECT_EQ(Utf8(t->fText), c.text);
    t->AppendLine("!");
    t->Delete(t->GetLength() - 1, t->GetLength());  // drop the line ending again
    t->Save(file);
    EXPECT_EQ(Err, noErr);
    EXPECT_EQ(Read("doc.txt"), c.saved);
    t->Release();
  }
}

TEST_F(TStringFilesTest, TextTheFileCannotHoldLeavesTheFileAlone) {
  const std::string original = "caf\x8E and more text that must not be cut";
  FSRef file = Write("roman.txt", original);
  TString* t = new TString();
  t->CreateWithFile(file);
  CFStringRef cjk = CFStringCreateWithCString(nullptr, "\xE4\xB8\xAD", kCFStringEncodingUTF8);
  t->ReplaceLong(0, 1, cjk);
  CFRelease(cjk);
  t->Save(file);
  EXPECT_EQ(Err, kTECUnmappableElementErr);
  EXPECT_EQ(Read("roman.txt"), original);
  t->Release();
}

TEST_F(TStringFilesTest, NewTextIsSavedAsUTF8AndReplacesTheFile) {
  FSRef file = Write("new.txt", std::string(100, 'x'));
  TString* t = new TString();
  t->CreateWithString("na\x8Fve");  // Mac Roman e-grave
  t->Save(file);
  EXPECT_EQ(Err, noErr);
  EXPECT_EQ(Read("new.txt"), "na\xC3\xA8ve");
  t->Release();
}

TEST_F(TStringFilesTest, MissingFileLeavesNoTextAndAStatus) {
  FSRef file = Write("gone.txt", "x");
  ASSERT_EQ(FSDeleteObject(&file), noErr);
  TString* t = new TString();
  t->CreateWithFile(file);
  EXPECT_NE(Err, noErr);
  EXPECT_EQ(t->fText, nullptr);
  t->Append(CFSTR("still usable"));
  EXPECT_EQ(t->GetLength(), 12);
  t->Release();
}

}  // namespace
