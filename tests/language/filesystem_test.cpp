// The project symbol index: files, global symbols, searches, the modified
// test, and "FileSystem.plist" written, read back and read when damaged.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <utime.h>
#include <vector>

#include "CFArray.h"
#include "CFData.h"
#include "CFDictionary.h"
#include "CFPropertyList.h"
#include "CFRef.h"
#include "CFString.h"
#include "MacMemory.h"
#include "PascalCarbonCommon.h"
#include "TFileSystemUnit.h"
#include "TSymbolTableUnit.h"
#include "TSyntaxCollectionUnit.h"

namespace {

std::string NewFolder(const std::string& name) {
  const char* tmp = std::getenv("TMPDIR");
  std::string path = std::string(tmp ? tmp : "/tmp") + "/filesystem-" + name;
  std::string command = "rm -rf '" + path + "' && mkdir -p '" + path + "'";
  EXPECT_EQ(std::system(command.c_str()), 0);
  return path;
}

FSRef RefOf(const std::string& path) {
  FSRef ref = {};
  EXPECT_TRUE(FSGetPathRef(Str255(path), ref)) << path;
  return ref;
}

void WriteText(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

bool Exists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}

SyntaxStandardData Definition(const char* name) {
  SyntaxStandardData definition = {};
  definition.definitionName = name;
  definition.styleData.styleIndex = 6;
  return definition;
}

// A collection with one small library named "php" that file names ending in
// ".php" find (the index asks only through GetFileLibrary).
class PhpCollection : public TSyntaxCollection {
 public:
  SyntaxLibraryPtr GetFileLibrary(const Str63& fileName) override {
    std::string_view name = fileName.view();
    return name.size() > 4 && name.substr(name.size() - 4) == ".php" ? GetLanguageLibrary("php") : nullptr;
  }
};

struct Languages {
  TSyntaxCollection* collection = new PhpCollection();
  SyntaxLibraryPtr php = nullptr;
  Languages() {
    const char* languageFile =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?><plist version=\"1.0\"><dict>"
        "<key>class: expression</key><dict><key>define: function</key><dict>"
        "<key>icon</key><string>sxFU</string><key>expression</key><string>function *(</string>"
        "</dict></dict></dict></plist>";
    Ref data(CFDataCreate(nullptr, reinterpret_cast<const UInt8*>(languageFile), CFIndex(std::strlen(languageFile))));
    Ref plist(CFPropertyListCreateFromXMLData(nullptr, data.data(), kCFPropertyListImmutable, nullptr));
    php = collection->LoadLibraryFromPropertyList("php", plist.get());
  }
  ~Languages() { TObject::Free(collection); }
};

struct Index {
  TFileSystem* fs;
  Index(const std::string& folder, TSyntaxCollection* collection, CFDictionaryRef paths = nullptr)
      : fs(CreateFileSystem(RefOf(folder), collection, paths)) {}
  ~Index() { fs->Release(); }
  TFileSystem* operator->() { return fs; }
};

// A symbol made the way the scan engine makes it: in the file's table, then
// entered among the globals.
SymbolInfoPtr AddSymbol(TFileSystem* fs, const char* file, const char* name, const char* parent = "") {
  FileDescriptorPtr descriptor = fs->Add(file, "");
  SymbolInfoPtr info = descriptor->symbolTable->Add(name, parent, file, Definition("function"));
  fs->AddSymbol(info);
  return info;
}

std::string GlobalFile(TFileSystem* fs, const char* name) {
  SymbolInfoPtr info = nullptr;
  return fs->GetSymbol(name, info) ? info->fileName.str() : "<none>";
}

std::string Shape(CFTreeRef tree) {
  std::string out;
  for (CFTreeRef c = CFTreeGetFirstChild(tree); c != nullptr; c = CFTreeGetNextSibling(c)) {
    if (!out.empty()) out += " ";
    out += static_cast<SymbolInfoPtr>(BrackenrowGetNodeData(c))->symbolName.str();
    if (CFTreeGetChildCount(c) > 0) out += "(" + Shape(c) + ")";
  }
  return out;
}

}  // namespace

TEST(FileSystem, FilesAreAddedOnceAndGetTheirLanguage) {
  Languages languages;
  Index index(NewFolder("add"), languages.collection);
  EXPECT_FALSE(index->modified);
  EXPECT_EQ(index->GetDescriptor("cart.php"), nullptr);
  EXPECT_EQ(index->GetSymbolics("cart.php"), nullptr);

  FileDescriptorPtr cart = index->Add("cart.php", "/srv/site");
  EXPECT_TRUE(index->modified);
  EXPECT_EQ(cart->fileName.str(), "cart.php");
  EXPECT_EQ(cart->filePath.str(), "/srv/site");
  EXPECT_TRUE(cart->modifiedDate.empty());
  EXPECT_EQ(CFArrayGetCount(cart->headers), 0);
  EXPECT_EQ(cart->symbolTable->library, languages.php);
  EXPECT_EQ(index->GetSymbolics("cart.php"), cart->symbolTable->GetTable());
  EXPECT_EQ(index->Add("notes.txt", "")->symbolTable->library, nullptr);

  index->modified = false;
  EXPECT_EQ(index->Add("cart.php", "/elsewhere"), cart);
  EXPECT_FALSE(index->modified);
  EXPECT_EQ(cart->filePath.str(), "/srv/site");
}

TEST(FileSystem, GlobalSymbolsKeepTheFirstAndLeaveWithTheirOwnFile) {
  Index index(NewFolder("globals"), nullptr);
  AddSymbol(index.fs, "a.php", "shared");
  AddSymbol(index.fs, "a.php", "onlyA");
  AddSymbol(index.fs, "b.php", "shared");
  AddSymbol(index.fs, "b.php", "onlyB");
  EXPECT_EQ(GlobalFile(index.fs, "shared"), "a.php");
  SymbolInfoPtr copy = nullptr;
  ASSERT_TRUE(index->GetSymbol("onlyA", copy));
  SymbolInfoPtr inTable = nullptr;
  ASSERT_TRUE(index->GetDescriptor("a.php")->symbolTable->Find("onlyA", inTable));
  EXPECT_NE(copy, inTable);  // the index keeps a copy of its own
  EXPECT_EQ(copy->fileName.str(), "a.php");

  // Cleaning b leaves a's entry of the shared name alone.
  FileDescriptorPtr b = index->GetDescriptor("b.php");
  CFArrayAppendValue(b->headers, CFSTR("lib.php"));
  index->modified = false;
  index->CleanFile("b.php");
  EXPECT_TRUE(index->modified);
  EXPECT_EQ(GlobalFile(index.fs, "shared"), "a.php");
  EXPECT_EQ(GlobalFile(index.fs, "onlyB"), "<none>");
  EXPECT_EQ(CFTreeGetChildCount(b->symbolTable->GetTable()), 0);
  EXPECT_EQ(CFArrayGetCount(b->headers), 0);

  // RemoveSymbol by name, also when given the stored copy itself.
  ASSERT_TRUE(index->GetSymbol("shared", copy));
  index->RemoveSymbol(copy);
  EXPECT_EQ(GlobalFile(index.fs, "shared"), "<none>");
  index->CleanFile("unknown.php");

  index->CleanAll();
  EXPECT_EQ(index->GetDescriptor("a.php"), nullptr);
  EXPECT_EQ(GlobalFile(index.fs, "onlyA"), "<none>");
}

namespace {

struct Visits {
  std::vector<std::string> seen;
  std::string stopAt;
};

SInt16 VisitSymbol(SymbolInfoPtr info, const FileDescriptor& descriptor, const Str255& query, CFTreeRef node,
                   void* context) {
  auto* visits = static_cast<Visits*>(context);
  EXPECT_EQ(BrackenrowGetNodeData(node), info);
  visits->seen.push_back(descriptor.fileName.str() + ":" + info->symbolName.str());
  if (info->symbolName.str() == visits->stopAt) return 3;
  return query.empty() || info->symbolName.view().find(query.view()) != std::string_view::npos ? 1 : 0;
}

void VisitFile(FileDescriptorPtr descriptor, void* context) {
  static_cast<Visits*>(context)->seen.push_back(descriptor->fileName.str());
}

}  // namespace

TEST(FileSystem, SearchesVisitFilesInOrderAndStopOnRequest) {
  Index index(NewFolder("search"), nullptr);
  AddSymbol(index.fs, "a.php", "Cart");
  AddSymbol(index.fs, "a.php", "addItem", "Cart");
  AddSymbol(index.fs, "b.php", "addUser");
  AddSymbol(index.fs, "c.php", "remove");

  Visits files;
  index->ExamineFiles(VisitFile, &files);
  EXPECT_EQ(files.seen, (std::vector<std::string>{"a.php", "b.php", "c.php"}));

  Visits all;
  EXPECT_EQ(index->SearchSymbolTable(VisitSymbol, nullptr, "add", &all), 2);
  EXPECT_EQ(all.seen, (std::vector<std::string>{"a.php:addItem", "a.php:Cart", "b.php:addUser", "c.php:remove"}));

  Ref filter(CFArrayCreateMutable(nullptr, 0, &kCFTypeArrayCallBacks));
  CFArrayAppendValue(const_cast<CFMutableArrayRef>(filter.array()), CFSTR("c.php"));
  CFArrayAppendValue(const_cast<CFMutableArrayRef>(filter.array()), CFSTR("b.php"));
  Visits some;
  EXPECT_EQ(index->SearchSymbolTable(VisitSymbol, filter.array(), "", &some), 2);
  EXPECT_EQ(some.seen, (std::vector<std::string>{"b.php:addUser", "c.php:remove"}));

  Visits stopped;
  stopped.stopAt = "Cart";
  EXPECT_EQ(index->SearchSymbolTable(VisitSymbol, nullptr, "", &stopped), 1);
  EXPECT_EQ(stopped.seen, (std::vector<std::string>{"a.php:addItem", "a.php:Cart"}));

  Visits examined;
  index->ExamineSymbols(VisitSymbol, &examined);
  EXPECT_EQ(examined.seen.size(), 4u);
}

TEST(FileSystem, ModifiedTestComparesTheStoredDate) {
  std::string folder = NewFolder("dates");
  std::string source = folder + "/src";
  ASSERT_EQ(mkdir(source.c_str(), 0755), 0);
  WriteText(source + "/page.php", "<?php echo 1;");
  FSRef page = RefOf(source + "/page.php");

  // Search paths: the base path as key, the folders to look in as value.
  CFMutableDictionaryRef paths = CFDictionaryCreateMutable(nullptr, 0, &kCFTypeDictionaryKeyCallBacks,
                                                           &kCFTypeDictionaryValueCallBacks);
  CFMutableArrayRef folders = CFArrayCreateMutable(nullptr, 0, &kCFTypeArrayCallBacks);
  CFStringRef sourcePath = CFStringCreateWithCString(nullptr, source.c_str(), kCFStringEncodingUTF8);
  CFArrayAppendValue(folders, sourcePath);
  CFDictionarySetValue(paths, CFSTR(""), folders);
  CFRelease(sourcePath);
  CFRelease(folders);

  Index withPaths(folder, nullptr, paths);
  withPaths->SetRoot(RefOf(source));  // a file at the top is keyed by its bare name
  Index withoutPaths(NewFolder("dates-nopaths"), nullptr);
  EXPECT_TRUE(withPaths->GetFileModified("page.php"));  // unknown
  EXPECT_TRUE(withPaths->GetFileModifiedWithFSRef(page));

  FileDescriptorPtr descriptor = withPaths->Add("page.php", "");
  withoutPaths->Add("page.php", "");
  EXPECT_TRUE(withPaths->GetFileModified("page.php"));     // never parsed
  EXPECT_FALSE(withoutPaths->GetFileModified("page.php"));  // cannot be found
  descriptor->modifiedDate = FSGetModifiedFileDate(page);
  ASSERT_FALSE(descriptor->modifiedDate.empty());
  EXPECT_FALSE(withPaths->GetFileModified("page.php"));
  EXPECT_FALSE(withPaths->GetFileModifiedWithFSRef(page));

  struct utimbuf later = {1000000000, 1000000000};
  ASSERT_EQ(utime((source + "/page.php").c_str(), &later), 0);
  EXPECT_TRUE(withPaths->GetFileModified("page.php"));
  EXPECT_TRUE(withPaths->GetFileModifiedWithFSRef(page));
}

TEST(FileSystem, SaveAndLoadGiveBackFilesHeadersDatesSymbolsAndNesting) {
  Languages languages;
  std::string folder = NewFolder("roundtrip");
  std::string file = folder + "/FileSystem.plist";
  {
    Index index(folder, languages.collection);
    index->Save();  // nothing changed: nothing written
    EXPECT_EQ(ReadText(file), "");

    SymbolInfoPtr cart = AddSymbol(index.fs, "cart.php", "Cart");
    cart->source = "class Cart";
    AddSymbol(index.fs, "cart.php", "add", "Cart");
    AddSymbol(index.fs, "cart.php", "remove", "Cart");
    AddSymbol(index.fs, "util.php", "helper");
    FileDescriptorPtr descriptor = index->GetDescriptor("cart.php");
    descriptor->modifiedDate = "Monday, 1 January 2024 at 10:00:00";
    CFArrayAppendValue(descriptor->headers, CFSTR("util.php"));
    index->Add("empty.php", "/srv");
    index->Save();
    EXPECT_NE(ReadText(file).find("global symbols"), std::string::npos);
  }
  Index back(folder, languages.collection);
  FileDescriptorPtr cart = back->GetDescriptor("cart.php");
  ASSERT_NE(cart, nullptr);
  EXPECT_EQ(cart->modifiedDate.str(), "Monday, 1 January 2024 at 10:00:00");
  ASSERT_EQ(CFArrayGetCount(cart->headers), 1);
  EXPECT_EQ(CFStringToPascal(static_cast<CFStringRef>(CFArrayGetValueAtIndex(cart->headers, 0))).str(), "util.php");
  EXPECT_EQ(Shape(cart->symbolTable->GetTable()), "Cart(add remove)");
  EXPECT_EQ(cart->symbolTable->library, languages.php);
  EXPECT_EQ(cart->symbolTable->counter, 3);
  auto first = static_cast<SymbolInfoPtr>(BrackenrowGetNodeData(CFTreeGetFirstChild(cart->symbolTable->GetTable())));
  EXPECT_EQ(first->source.str(), "class Cart");
  EXPECT_EQ(first->library, languages.php);
  EXPECT_EQ(Shape(back->GetSymbolics("util.php")), "helper");
  ASSERT_NE(back->GetDescriptor("empty.php"), nullptr);
  EXPECT_EQ(back->GetDescriptor("empty.php")->filePath.str(), "/srv");
  EXPECT_EQ(GlobalFile(back.fs, "add"), "cart.php");
  EXPECT_EQ(GlobalFile(back.fs, "helper"), "util.php");
  SymbolInfoPtr global = nullptr;
  ASSERT_TRUE(back->GetSymbol("Cart", global));
  EXPECT_EQ(global->library, languages.php);
  EXPECT_EQ(global->styleIndex, 6);
  EXPECT_FALSE(back->modified);
}

TEST(FileSystem, DamagedIndexFilesAreReadAsFarAsTheyAreSound) {
  Languages languages;
  std::string folder = NewFolder("damaged");
  {
    Index index(folder, languages.collection);
    AddSymbol(index.fs, "good.php", "kept");
    AddSymbol(index.fs, "good.php", "child", "kept");
    AddSymbol(index.fs, "bad.php", "lost");
    index->Save();
  }
  std::string file = folder + "/FileSystem.plist";
  std::string text = ReadText(file);

  // Cut the descriptor of bad.php to a few bytes, give a global symbol a
  // short record, and add entries of the wrong types.
  Ref data(CFDataCreate(nullptr, reinterpret_cast<const UInt8*>(text.data()), CFIndex(text.size())));
  Ref plist(CFPropertyListCreateFromXMLData(nullptr, data.data(), kCFPropertyListMutableContainersAndLeaves, nullptr));
  ASSERT_TRUE(plist);
  auto root = static_cast<CFMutableDictionaryRef>(const_cast<void*>(plist.get()));
  auto table = static_cast<CFMutableDictionaryRef>(const_cast<void*>(CFDictionaryGetValue(root, CFSTR("file table"))));
  auto globals =
      static_cast<CFMutableDictionaryRef>(const_cast<void*>(CFDictionaryGetValue(root, CFSTR("global symbols"))));
  auto bad = static_cast<CFMutableDictionaryRef>(const_cast<void*>(CFDictionaryGetValue(table, CFSTR("bad.php"))));
  const UInt8 few[4] = {3, 'b', 'a', 'd'};
  Ref shortData(CFDataCreate(nullptr, few, 4));
  CFDictionarySetValue(bad, CFSTR("descriptor"), shortData.get());
  CFDictionarySetValue(globals, CFSTR("kept"), shortData.get());
  CFDictionarySetValue(globals, CFSTR("odd"), CFSTR("not data"));
  CFDictionarySetValue(table, CFSTR("strange.php"), CFSTR("not a dictionary"));
  auto good = static_cast<CFMutableDictionaryRef>(const_cast<void*>(CFDictionaryGetValue(table, CFSTR("good.php"))));
  CFDictionarySetValue(good, CFSTR("headers"), CFSTR("not an array"));
  Ref written(CFPropertyListCreateXMLData(nullptr, plist.get()));
  WriteText(file, std::string(reinterpret_cast<const char*>(CFDataGetBytePtr(written.data())),
                              size_t(CFDataGetLength(written.data()))));

  testing::internal::CaptureStderr();
  Index back(folder, languages.collection);
  std::string messages = testing::internal::GetCapturedStderr();
  EXPECT_NE(messages.find("FileSystem.plist"), std::string::npos) << messages;
  EXPECT_NE(messages.find("bad.php"), std::string::npos) << messages;
  EXPECT_EQ(back->GetDescriptor("bad.php"), nullptr);
  EXPECT_EQ(back->GetDescriptor("strange.php"), nullptr);
  ASSERT_NE(back->GetDescriptor("good.php"), nullptr);
  EXPECT_EQ(CFArrayGetCount(back->GetDescriptor("good.php")->headers), 0);
  EXPECT_EQ(Shape(back->GetSymbolics("good.php")), "kept(child)");
  EXPECT_EQ(GlobalFile(back.fs, "kept"), "<none>");
  EXPECT_EQ(GlobalFile(back.fs, "odd"), "<none>");
  EXPECT_EQ(GlobalFile(back.fs, "child"), "good.php");

  // Files that hold no index at all leave it empty and usable.
  const char* contents[] = {
      "",
      "garbage \x01\x02",
      "<?xml version=\"1.0\"?><plist version=\"1.0\"><array><string>x</string></array></plist>",
      "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>file table</key><dict>",
  };
  for (const char* content : contents) {
    WriteText(file, content);
    testing::internal::CaptureStderr();
    Index empty(folder, languages.collection);
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(empty->GetDescriptor("good.php"), nullptr) << content;
    AddSymbol(empty.fs, "new.php", "fresh");
    empty->Save();
    EXPECT_NE(ReadText(file).find("new.php"), std::string::npos);
  }
  EXPECT_TRUE(Exists(file));
}

namespace {

// Text whose buffer past its end still holds older characters, as a reused
// name buffer does.
template <int N>
ShortString<N> Worn(const char* text) {
  ShortString<N> s(std::string(N, '#'));
  s.Assign(text, std::strlen(text));
  return s;
}

std::string SaveSmallIndex(const std::string& folder, bool worn) {
  auto text63 = [worn](const char* t) { return worn ? Worn<63>(t) : Str63(t); };
  {
    Index index(folder, nullptr);
    FileDescriptorPtr cart = index->Add(text63("cart.php"), worn ? Worn<255>("/srv") : Str255("/srv"));
    cart->modifiedDate = worn ? Worn<255>("Monday") : Str255("Monday");
    SymbolInfoPtr s = cart->symbolTable->Add(text63("Cart"), text63(""), text63("cart.php"), Definition("class"));
    s->source = worn ? Worn<128>("class Cart") : SymbolSource("class Cart");
    index->AddSymbol(s);
    index->AddSymbol(cart->symbolTable->Add(text63("add"), text63("Cart"), text63("cart.php"), Definition("m")));
    index->Save();
  }
  return ReadText(folder + "/FileSystem.plist");
}

}  // namespace

TEST(FileSystem, TheSameIndexGivesTheSameFile) {
  std::string clean = SaveSmallIndex(NewFolder("bytes-clean"), false);
  ASSERT_NE(clean.find("cart.php"), std::string::npos);
  EXPECT_EQ(SaveSmallIndex(NewFolder("bytes-worn"), true), clean);
}

// Names come from source text and file names, and may hold any character;
// each must come back as it was, and none may keep the rest from the file.
TEST(FileSystem, NamesWithControlCharactersSurviveAndCostNothingElse) {
  struct Case {
    std::string file, symbol, header;
  };
  const Case cases[] = {
      {"a.js", "a", "x\x01y"},  // import { a } from "x\x01y";
      {"a.js", "s\x1f", "h"},
      {"odd\x02.js", "a", "h"},
      {"a.js", std::string("\x00z", 2), std::string("\x7f\x0b", 2)},
      {"a.js", "tab\tline\nreturn\r", "\r\n"},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(n);
    std::string folder = NewFolder("control-" + std::to_string(n++));
    Str63 file(c.file), symbol(c.symbol);
    Str255 headerText(c.header);
    Ref header(CFStringCreateWithPascalString(nullptr, headerText.data(), kCFStringEncodingMacRoman));
    {
      Index index(folder, nullptr);
      AddSymbol(index.fs, "kept.js", "Kept");
      FileDescriptorPtr odd = index->Add(file, "");
      index->AddSymbol(odd->symbolTable->Add(symbol, "", file, Definition("function")));
      CFArrayAppendValue(odd->headers, header.get());
      index->Save();
      ASSERT_EQ(Err, noErr);
    }
    Index back(folder, nullptr);
    EXPECT_EQ(Shape(back->GetSymbolics("kept.js")), "Kept");
    EXPECT_EQ(GlobalFile(back.fs, "Kept"), "kept.js");
    FileDescriptorPtr odd = back->GetDescriptor(file);
    ASSERT_NE(odd, nullptr);
    EXPECT_EQ(Shape(odd->symbolTable->GetTable()), c.symbol);
    SymbolInfoPtr global = nullptr;
    ASSERT_TRUE(back->GetSymbol(symbol, global));
    EXPECT_EQ(global->fileName, file);
    ASSERT_EQ(CFArrayGetCount(odd->headers), 1);
    EXPECT_TRUE(CFEqual(CFArrayGetValueAtIndex(odd->headers, 0), header.get()));
  }
}

namespace {

// Makes the file (and its folders) below the folder; its path.
std::string MakeFile(const std::string& folder, const std::string& relative, const std::string& text = "x") {
  std::string path = folder + "/" + relative;
  std::string command = "mkdir -p \"$(dirname '" + path + "')\"";
  EXPECT_EQ(std::system(command.c_str()), 0);
  WriteText(path, text);
  return path;
}

// The item at a path of UTF-8 bytes.
FSRef RefOfBytes(const std::string& path) {
  FSRef ref = {};
  EXPECT_EQ(FSPathMakeRef(reinterpret_cast<const UInt8*>(path.c_str()), &ref, nullptr), noErr) << path;
  return ref;
}

}  // namespace

TEST(FileSystem, FilesAreKeyedByTheirPathBelowTheRoot) {
  std::string root = NewFolder("keys");
  std::string outside = NewFolder("keys-outside");
  const std::string longA(40, 'a'), longB(40, 'b'), longC(30, 'c');
  struct Case {
    std::string path;
    std::string key;  // "" when the key is checked by its shape only
  };
  const Case cases[] = {
      {MakeFile(root, "index.js"), "index.js"},
      {MakeFile(root, "lib/index.js"), "lib/index.js"},
      {MakeFile(root, "a/b/c/index.js"), "a/b/c/index.js"},
      {MakeFile(root, "caf\xc3\xa9/index.js"), "caf\x8e/index.js"},  // stored in Mac Roman
      {MakeFile(root, longA + "/" + longC + "/index.js"), ""},
      {MakeFile(root, longB + "/" + longC + "/index.js"), ""},
      {MakeFile(root, "\xd0\xb4\xd0\xbe\xd0\xbc/index.js"), ""},  // no Mac Roman for it
      {MakeFile(outside, "index.js"), ""},
  };
  Index index(NewFolder("keys-index"), nullptr);
  index->SetRoot(RefOf(root));
  std::vector<std::string> keys;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    FSRef file = RefOfBytes(c.path);
    Str63 key = index->GetFileKey(file);
    keys.push_back(key.str());
    if (!c.key.empty()) EXPECT_EQ(key.str(), c.key);
    EXPECT_TRUE(key.view().ends_with("/index.js") || key == "index.js") << key.str();
    // Every key but a hashed one leads back to its file.
    FSRef back;
    if (key[1] == '#') {
      EXPECT_FALSE(index->ResolveFile(key, back));
    } else {
      ASSERT_TRUE(index->ResolveFile(key, back));
      EXPECT_EQ(FSCompareFSRefs(&back, &file), noErr);
    }
  }
  EXPECT_EQ(keys[4].substr(0, 1), "#");
  EXPECT_EQ(keys[4].substr(14), longC + "/index.js");  // whole folder names after the hash
  EXPECT_EQ(keys[6].substr(14), "???/index.js");
  EXPECT_TRUE(keys[7][0] == '/' || keys[7][0] == '#') << keys[7];
  std::vector<std::string> sorted = keys;
  std::sort(sorted.begin(), sorted.end());
  EXPECT_EQ(std::unique(sorted.begin(), sorted.end()), sorted.end());

  // Without a root, paths are taken from the top of the file system.
  Index noRoot(NewFolder("keys-noroot"), nullptr);
  Str63 key = noRoot->GetFileKey(RefOf(cases[0].path));
  EXPECT_TRUE(key.view().ends_with("keys/index.js")) << key.str();
  EXPECT_NE(key[1], '/');
  EXPECT_TRUE(noRoot->GetFileKey(FSRef()).empty());
  FSRef none;
  EXPECT_FALSE(index->ResolveFile("../keys/index.js", none));
}

TEST(FileSystem, FilesOfOneNameInDifferentFoldersKeepTheirOwnSymbols) {
  Languages languages;
  std::string root = NewFolder("same-names");
  std::string indexFolder = NewFolder("same-names-index");
  FSRef top = RefOf(MakeFile(root, "Controller.php"));
  FSRef admin = RefOf(MakeFile(root, "admin/Controller.php"));
  {
    Index index(indexFolder, languages.collection);
    index->SetRoot(RefOf(root));
    for (auto [file, symbol] : {std::pair{top, "Site"}, std::pair{admin, "Admin"}}) {
      Str63 key = index->GetFileKey(file);
      EXPECT_TRUE(index->GetFileModifiedWithFSRef(file));
      FileDescriptorPtr descriptor = index->Add(key, "");
      EXPECT_EQ(descriptor->symbolTable->library, languages.php);
      index->AddSymbol(descriptor->symbolTable->Add(symbol, "", key, Definition("class")));
      index->AddSymbol(descriptor->symbolTable->Add("index", symbol, key, Definition("method")));
      descriptor->modifiedDate = FSGetModifiedFileDate(file);
    }
    index->Save();
  }
  Index back(indexFolder, languages.collection);
  back->SetRoot(RefOf(root));
  EXPECT_EQ(Shape(back->GetSymbolics("Controller.php")), "Site(index)");
  EXPECT_EQ(Shape(back->GetSymbolics("admin/Controller.php")), "Admin(index)");
  EXPECT_EQ(back->GetDescriptor("admin/Controller.php")->symbolTable->library, languages.php);
  EXPECT_EQ(GlobalFile(back.fs, "Admin"), "admin/Controller.php");
  EXPECT_EQ(GlobalFile(back.fs, "index"), "Controller.php");
  for (FSRef file : {top, admin}) {
    EXPECT_FALSE(back->GetFileModifiedWithFSRef(file));
    EXPECT_FALSE(back->GetFileModified(back->GetFileKey(file)));  // found below the root, no paths needed
  }
  // Cleaning one leaves the other and its global symbols alone.
  back->CleanFile("admin/Controller.php");
  EXPECT_EQ(Shape(back->GetSymbolics("Controller.php")), "Site(index)");
  EXPECT_EQ(GlobalFile(back.fs, "Site"), "Controller.php");
  EXPECT_EQ(GlobalFile(back.fs, "Admin"), "<none>");
}

// An index written when files were keyed by their bare names still loads, and
// the file at the top of the root finds its entry again.
TEST(FileSystem, AnIndexOfBareNamesStillLoads) {
  Languages languages;
  std::string root = NewFolder("bare");
  std::string indexFolder = NewFolder("bare-index");
  FSRef top = RefOf(MakeFile(root, "cart.php"));
  FSRef nested = RefOf(MakeFile(root, "shop/cart.php"));
  {
    Index old(indexFolder, languages.collection);
    AddSymbol(old.fs, "cart.php", "Cart");
    old->GetDescriptor("cart.php")->modifiedDate = FSGetModifiedFileDate(top);
    old->Save();
  }
  Index index(indexFolder, languages.collection);
  index->SetRoot(RefOf(root));
  EXPECT_EQ(Shape(index->GetSymbolics(index->GetFileKey(top))), "Cart");
  EXPECT_FALSE(index->GetFileModifiedWithFSRef(top));
  EXPECT_TRUE(index->GetFileModifiedWithFSRef(nested));
  EXPECT_EQ(GlobalFile(index.fs, "Cart"), "cart.php");
}
