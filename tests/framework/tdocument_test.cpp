// Documents, document lists, the open-document command and the saved
// document lists, and the line endings a saved file is rewritten with.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "CFData.h"
#include "FrameworkFixtures.h"
#include "TDocumentListUnit.h"
#include "TDocumentUnit.h"
#include "TWindowUnit.h"

namespace {

std::vector<std::string> gReleased;

class TLabelled : public TDocument {
 public:
  explicit TLabelled(const char* label, bool dirty = false) : label(label) {
    CreateEmpty();
    modified = dirty;
  }
  void Release() override {
    gReleased.push_back(label);
    TDocument::Release();
  }
  std::string label;
};

class TDocumentTest : public ::testing::Test {
 protected:
  void SetUp() override { gReleased.clear(); }
  void TearDown() override { DisposeAllWindows(); }
};

TEST_F(TDocumentTest, CreateTakesNameAndTypeFromTheFile) {
  ScratchFolder folder;
  struct Case {
    const char* file;
    OSType type;
  } cases[] = {{"letter.rtf", 'RTF '}, {"LETTER.RTF", 'TEXT'}, {"index.php", 'TEXT'}, {"README", 'TEXT'}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    folder.Write(c.file, "");
    auto* d = new TDocument();
    d->Create(folder.Ref(c.file));
    EXPECT_EQ(d->fileType, c.type);
    EXPECT_EQ(d->name, Str63(c.file));
    EXPECT_EQ(d->GetClassString(), Str255("TDocument"));
    EXPECT_FALSE(d->modified);
    EXPECT_EQ(d->fontName, Str255("Andale Mono"));
    EXPECT_EQ(d->fontSize, 12);
    EXPECT_TRUE(d->lineEndings.empty());
    d->Release();
  }
  auto* untitled = new TDocument();
  untitled->CreateEmpty();
  EXPECT_EQ(untitled->name, Str63("(Untitled)"));
  EXPECT_EQ(untitled->fileType, OSType('TEXT'));
  EXPECT_FALSE(FSValidFSRef(untitled->file));
  untitled->Release();
}

TEST_F(TDocumentTest, EveryModifiedStateIsToldToTheOwnersWindow) {
  auto* w = new TWindow();
  w->Create("Document", FixtureNib());
  int told = 0;
  EventHandlerRef handler = nullptr;
  static const EventTypeSpec kTypes[] = {{kEventClassCommand, kEventCommandProcess}};
  InstallEventHandler(
      GetWindowEventTarget(w->window),
      [](EventHandlerCallRef, EventRef event, void* data) -> OSStatus {
        HICommand command{};
        GetEventParameter(event, kEventParamDirectObject, typeHICommand, nullptr, sizeof command, nullptr, &command);
        if (command.commandID == kHICommandUpdateModifiedState) ++*static_cast<int*>(data);
        return eventNotHandledErr;
      },
      1, kTypes, &told, &handler);
  auto* d = new TDocument();
  d->CreateEmpty();
  d->SetModifiedState(true);  // no owner
  EXPECT_EQ(told, 0);
  TView loose;  // an owner in no window
  d->SetOwner(&loose);
  d->SetModifiedState(true);
  EXPECT_EQ(told, 0);
  d->SetOwner(w);
  d->SetModifiedState(false);
  d->SetModifiedState(false);  // unchanged, still told
  EXPECT_EQ(told, 2);
  EXPECT_EQ(d->Open(), noErr);
  EXPECT_EQ(told, 3);
  RemoveEventHandler(handler);
  d->Release();
  w->Remove();
}

TEST_F(TDocumentTest, SavedFilesAreRewrittenWithTheDocumentsLineEndings) {
  struct Case {
    const char* endings;
    const char* written;
    const char* expected;
  } cases[] = {
      {"", "a\nb\r\nc\rd", "a\nb\r\nc\rd"},  // left as written
      {"\r", "a\nb\nc", "a\rb\rc"},
      {"\n", "a\nb\n", "a\nb\n"},
      {"\r\n", "a\nb\rc\r\nd", "a\r\nb\r\nc\r\nd"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::string(c.endings)));
    ScratchFolder folder;
    const std::string path = folder.Write("script.pl", c.written);
    chmod(path.c_str(), 0751);
    auto* d = new TDocument();
    d->Create(folder.Ref("script.pl"));
    d->SetLineEndings(c.endings);
    EXPECT_EQ(d->Save(), noErr);
    EXPECT_EQ(ReadFile(path), c.expected);
    // The file keeps its permissions, and nothing is left beside it.
    struct stat st {};
    stat(path.c_str(), &st);
    EXPECT_EQ(st.st_mode & 07777, 0751u);
    EXPECT_EQ(folder.Names(), (std::vector<std::string>{"script.pl"}));
    d->Release();
  }
}

TEST_F(TDocumentTest, ListsKeepOrderActiveDocumentAndOwnership) {
  auto* list = new TDocumentList();
  list->Create();
  EXPECT_EQ(list->GetNext(), nullptr);  // no active document
  EXPECT_EQ(list->CopyList(), nullptr);
  CFArrayRef dirty = list->GetDirtyDocuments();
  ASSERT_NE(dirty, nullptr);
  EXPECT_EQ(CFArrayGetCount(dirty), 0);
  CFRelease(dirty);
  auto* a = new TLabelled("a");
  list->Append(a);
  EXPECT_EQ(list->GetActive(), a);
  EXPECT_EQ(list->GetNext(), a);  // one document: itself
  auto* b = new TLabelled("b", true);
  auto* c = new TLabelled("c");
  list->Append(b);
  list->Append(c);
  EXPECT_EQ(list->GetCount(), 3);
  EXPECT_EQ(list->GetNext(), a);  // wraps
  list->SetActive(a);
  EXPECT_EQ(list->GetNext(), b);
  EXPECT_TRUE(list->ContainsDirtyDocuments());
  dirty = list->GetDirtyDocuments();
  EXPECT_EQ(CFArrayGetCount(dirty), 1);
  EXPECT_EQ(CFArrayGetValueAtIndex(dirty, 0), b);
  CFRelease(dirty);
  // Removing any document clears the active one; it is not released.
  list->Remove(c);
  EXPECT_EQ(list->GetActive(), nullptr);
  EXPECT_TRUE(gReleased.empty());
  CFArrayRef files = list->CopyList();
  ASSERT_NE(files, nullptr);
  EXPECT_EQ(CFArrayGetCount(files), 2);
  EXPECT_EQ(CFDataGetLength(static_cast<CFDataRef>(CFArrayGetValueAtIndex(files, 0))), 80);
  CFRelease(files);
  list->Release();
  EXPECT_EQ(gReleased, (std::vector<std::string>{"a", "b"}));
  c->Release();
}

TEST_F(TDocumentTest, FindDocumentComparesFiles) {
  ScratchFolder folder;
  folder.Write("x.css", "");
  folder.Write("y.css", "");
  auto* list = new TDocumentList();
  list->Create();
  auto* x = new TDocument();
  x->Create(folder.Ref("x.css"));
  list->Append(x);
  EXPECT_EQ(list->FindDocument(folder.Ref("x.css")), x);
  EXPECT_EQ(list->FindDocument(folder.Ref("y.css")), nullptr);
  list->Release();
}

CFDataRef FileData(const FSRef& ref) { return CFDataCreate(nullptr, ref.hidden, sizeof ref); }

TEST_F(TDocumentTest, ASavedListReopensWindowByWindowTheFrontOneLast) {
  ScratchFolder folder;
  for (const char* name : {"a1", "a2", "b1", "b2", "c"}) folder.Write(name, name);
  FSRef gone{};
  folder.Write("gone", "");
  gone = folder.Ref("gone");
  std::remove((folder.path + "/gone").c_str());
  // Front window a (its first file now gone), then window b, then a loose file.
  CFMutableArrayRef a = CFArrayCreateMutable(nullptr, 0, &kCFTypeArrayCallBacks);
  CFMutableArrayRef b = CFArrayCreateMutable(nullptr, 0, &kCFTypeArrayCallBacks);
  CFMutableArrayRef list = CFArrayCreateMutable(nullptr, 0, &kCFTypeArrayCallBacks);
  for (auto [array, ref] : {std::pair{a, gone}, std::pair{a, folder.Ref("a1")}, std::pair{a, folder.Ref("a2")},
                            std::pair{b, folder.Ref("b1")}, std::pair{b, folder.Ref("b2")}}) {
    CFDataRef data = FileData(ref);
    CFArrayAppendValue(array, data);
    CFRelease(data);
  }
  CFArrayAppendValue(list, a);
  CFArrayAppendValue(list, b);
  CFDataRef loose = FileData(folder.Ref("c"));
  CFArrayAppendValue(list, loose);
  AppCommands app;
  OpenDocumentList(list);
  std::vector<std::string> opened;
  for (const auto& e : app.entries) {
    ASSERT_TRUE(e.hasFile);
    ASSERT_TRUE(e.hasNewWindow);
    opened.push_back(FSGetDisplayName(e.file).str() + (e.newWindow ? " new" : ""));
  }
  EXPECT_EQ(opened, (std::vector<std::string>{"c", "b1 new", "b2", "a1 new", "a2"}));
  CFRelease(loose);
  CFRelease(a);
  CFRelease(b);
  CFRelease(list);
}

TEST_F(TDocumentTest, OpenCommandsCarryTheFileOnlyWhenThereIsOne) {
  ScratchFolder folder;
  folder.Write("f.rb", "");
  AppCommands app;
  SendOpenDocumentCommand(folder.Ref("f.rb"), true);
  ApplicationOpenCommandOptions options = GetDefaultOpenCommandOptions();
  options.url = "http://localhost/";
  options.defaultLine = 12;
  SendOpenDocumentCommandWithOptions(options);
  options.file = folder.Ref("f.rb");
  SendOpenDocumentCommandWithOptions(options);
  ASSERT_EQ(app.Commands(), (std::vector<std::string>{"OPND", "OPND", "OPND"}));
  EXPECT_TRUE(app.entries[0].hasFile && app.entries[0].hasNewWindow && app.entries[0].newWindow);
  EXPECT_FALSE(app.entries[0].hasOptions);
  EXPECT_FALSE(app.entries[1].hasFile);
  ASSERT_TRUE(app.entries[1].hasOptions);
  EXPECT_EQ(app.entries[1].options.url, Str255("http://localhost/"));
  EXPECT_EQ(app.entries[1].options.defaultLine, 12);
  EXPECT_TRUE(app.entries[2].hasFile && app.entries[2].hasOptions);
  const ApplicationOpenCommandOptions zero = GetDefaultOpenCommandOptions();
  EXPECT_FALSE(FSValidFSRef(zero.file));
  EXPECT_TRUE(zero.url.empty() && zero.fileName.empty() && zero.queryString.empty());
  EXPECT_EQ(zero.defaultLine, 0);
  EXPECT_EQ(zero.data, nullptr);
}

}  // namespace
