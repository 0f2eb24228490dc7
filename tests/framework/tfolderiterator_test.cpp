// The folder iterator over real folders: hidden items counted but not
// reported, the depth limit, values handed down, the options restored, and
// the mirror tree.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "TFolderIteratorUnit.h"
#include "brackenrow/Browser.h"

namespace fs = std::filesystem;

namespace {

std::string PathOf(const FSRef& ref) {
  UInt8 path[4096];
  EXPECT_EQ(FSRefMakePath(&ref, path, sizeof path), noErr);
  return reinterpret_cast<const char*>(path);
}

FSRef RefOf(const fs::path& path) {
  FSRef ref;
  EXPECT_EQ(FSPathMakeRef(reinterpret_cast<const UInt8*>(path.c_str()), &ref, nullptr), noErr);
  return ref;
}

void Touch(const fs::path& path) { std::ofstream(path) << "x"; }

// Records what it is told, relative to the top, with the value it was given;
// each folder hands its contents a value of its own.
class TRecordingIterator : public TFolderIterator {
 public:
  explicit TRecordingIterator(fs::path top) : top(std::move(top)) {}
  SInt32 GotFolder(const FSRef& folder, SInt32 value) override {
    const std::string name = fs::relative(PathOf(folder), top).string();
    seen.push_back("dir " + name + " " + std::to_string(value));
    return SInt32(100 + seen.size());
  }
  SInt32 GotFile(const FSRef& file, SInt32 value) override {
    seen.push_back("file " + fs::relative(PathOf(file), top).string() + " " + std::to_string(value));
    return 0;
  }
  fs::path top;
  std::vector<std::string> seen;
};

class TFolderIteratorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "iterXXXXXX").string();
    top = mkdtemp(pattern.data());
  }
  void TearDown() override { fs::remove_all(top); }
  fs::path top;
};

TEST_F(TFolderIteratorTest, HiddenItemsAreCountedButNeitherReportedNorEntered) {
  Touch(top / ".hidden");
  Touch(top / "shown.php");
  fs::create_directories(top / ".git" / "objects");
  Touch(top / ".git" / "objects" / "a");
  TRecordingIterator iterator(top);
  IteratorNodeInfo options = DefaultIteratorNodeInfo();
  const IteratorNodeInfo restore = options;
  iterator.RunWithOptions(RefOf(top), options, restore);
  EXPECT_EQ(iterator.seen, std::vector<std::string>{"file shown.php 0"});
  EXPECT_EQ(options.itemCounter, 3);
}

TEST_F(TFolderIteratorTest, ValuesGoDownAndTheOptionsComeBackAsGivenButTheCounter) {
  fs::create_directories(top / "a" / "b");
  Touch(top / "a" / "b" / "deep.rb");
  Touch(top / "a" / "mid.pl");
  Touch(top / "top.css");
  TRecordingIterator iterator(top);
  IteratorNodeInfo options = DefaultIteratorNodeInfo();
  options.value = 7;
  options.relativePath = Str255("/start");
  const IteratorNodeInfo restore = options;
  iterator.RunWithOptions(RefOf(top), options, restore);
  std::map<std::string, std::string> got;  // listing order is the file system's
  for (const std::string& line : iterator.seen) got[line.substr(line.find(' ') + 1, line.rfind(' ') - line.find(' ') - 1)] = line;
  ASSERT_EQ(got.size(), 5u);
  EXPECT_EQ(got["top.css"], "file top.css 7");
  EXPECT_EQ(got["a"], "dir a 7");
  // a's files get what GotFolder answered for a, b's what it answered for b.
  auto answered = [&](const std::string& key) {  // what GotFolder returned for it
    return std::to_string(100 + (std::find(iterator.seen.begin(), iterator.seen.end(), got[key]) - iterator.seen.begin()) + 1);
  };
  EXPECT_EQ(got["a/mid.pl"], "file a/mid.pl " + answered("a"));
  EXPECT_EQ(got["a/b"], "dir a/b " + answered("a"));
  EXPECT_EQ(got["a/b/deep.rb"], "file a/b/deep.rb " + answered("a/b"));
  EXPECT_EQ(options.itemCounter, 5);
  EXPECT_EQ(options.value, 7);
  EXPECT_EQ(options.depth, 0);
  EXPECT_TRUE(options.relativePath == Str255("/start"));
  EXPECT_EQ(options.folderName.len(), 0);
}

// Records the relative path and depth each level is walked with.
class TPathIterator : public TFolderIterator {
 public:
  void RunWithOptions(const FSRef& folder, IteratorNodeInfo& options, const IteratorNodeInfo& restore) override {
    paths.push_back(std::string(options.relativePath.str()));
    deepest = std::max<int>(deepest, options.depth);
    TFolderIterator::RunWithOptions(folder, options, restore);
  }
  std::vector<std::string> paths;
  int deepest = 0;
};

TEST_F(TFolderIteratorTest, TheDepthLimitStopsTheWalkAndSymbolicLinksAreNotFollowed) {
  fs::path chain = top;
  for (int i = 1; i <= 25; ++i) chain /= "d" + std::to_string(i);
  fs::create_directories(chain);
  fs::create_directory_symlink(top, top / "d1" / "loop");
  TPathIterator iterator;
  iterator.Run(RefOf(top));
  // The top and 21 levels are walked; the folder at depth 21 is reported, not entered.
  EXPECT_EQ(iterator.deepest, 21);
  EXPECT_EQ(iterator.paths.size(), 22u);
  EXPECT_EQ(iterator.paths[2], "/d1/d2");
}

TEST_F(TFolderIteratorTest, TheTreeOptionMirrorsTheWalk) {
  fs::create_directories(top / "lib");
  Touch(top / "lib" / "util.php");
  Touch(top / ".DS");
  TFolderIterator iterator;
  CFTreeRef root = BrackenrowCreateTree(nullptr);
  IteratorNodeInfo options = DefaultIteratorNodeInfo();
  options.tree = root;
  options.buildTree = true;
  const IteratorNodeInfo restore = options;
  iterator.RunWithOptions(RefOf(top), options, restore);
  ASSERT_EQ(CFTreeGetChildCount(root), 1);
  CFTreeRef lib = CFTreeGetFirstChild(root);
  NodeInfoPtr node = BrackenrowGetNode(lib);
  ASSERT_NE(node, nullptr);
  EXPECT_TRUE(node->CONTAINER);
  EXPECT_EQ(node->DATATYPE, UInt32(kFolderIteratorNodeType));
  auto* data = static_cast<FolderIteratorNodeData*>(node->DATA);
  EXPECT_EQ(std::string(data->name.str()), "lib");
  ASSERT_EQ(CFTreeGetChildCount(lib), 1);
  NodeInfoPtr file = BrackenrowGetNode(CFTreeGetFirstChild(lib));
  EXPECT_FALSE(file->CONTAINER);
  EXPECT_EQ(file->PARENT, node->INDEX);
  EXPECT_EQ(PathOf(static_cast<FolderIteratorNodeData*>(file->DATA)->ref), (top / "lib" / "util.php").string());
  CFRelease(root);
}

TEST_F(TFolderIteratorTest, AFolderThatCannotBeOpenedReportsNothing) {
  TRecordingIterator iterator(top);
  Touch(top / "plain");
  IteratorNodeInfo options = DefaultIteratorNodeInfo();
  const IteratorNodeInfo restore = options;
  iterator.RunWithOptions(RefOf(top / "plain"), options, restore);
  EXPECT_TRUE(iterator.seen.empty());
  EXPECT_NE(Err, noErr);
  EXPECT_EQ(options.itemCounter, 0);
}

}  // namespace
