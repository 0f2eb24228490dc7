// The FTP pane's browser and FTP documents against a real FTP server on
// 127.0.0.1 (pyftpdlib, a password with @ : and /): folders listed when they
// are opened, hidden entries left out, new folders and files, moves, renames
// and deletions done by ftp.php under /usr/bin/php, each transfer gone once
// its answer came; a dragged file made where the drop landed when it names a
// folder, else in a private folder; documents downloaded into a folder of their own, saves
// refused while a transfer runs, and a save uploading the text.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "Aliases.h"
#include "ApplicationFramework.h"
#include "CFRunLoop.h"
#include "DragInternal.h"
#include "FTP.h"
#include "HeadlessHost.h"
#include "LoopbackFTPServer.h"
#include "PreferenceUtilities.h"
#include "TPreferencesUnit.h"
#include "WASTE.h"
#include "plinthora/Plinthora.h"

namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out << bytes;
}

bool Exists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}

// Runs the main loop until the condition holds (a limit, not a timing).
bool RunUntil(const std::function<bool()>& done) {
  for (int i = 0; i < 400 && !done(); ++i) CFRunLoopRunInMode(kCFRunLoopDefaultMode, 0.05, false);
  return done();
}

std::vector<std::string> AlertTexts() {
  std::vector<std::string> out;
  for (const auto& a : HeadlessCopyAlertLog()) out.push_back(a.explanation.empty() ? a.error : a.explanation);
  return out;
}

class FTPBrowserTest : public ::testing::Test {
 protected:
  LoopbackFTPServer server;
  TPreferenceHandlerFile* prefs = nullptr;
  TPreferenceHandler* savedPrefs = nullptr;
  FTPServerInfo info{};
  TFTPPane* pane = nullptr;
  std::string www;

  void SetUp() override {
    ASSERT_TRUE(server.Ready());
    RegisterToolbarViewClass();
    if (ApplicationNib == nullptr) {
      ASSERT_EQ(noErr, CreateNibReference(CFSTR("main"), &ApplicationNib));
    }
    www = server.Root() + "/www";
    mkdir(www.c_str(), 0755);
    mkdir((www + "/sub").c_str(), 0755);
    WriteFile(www + "/index.php", "<?php echo 1;\n");
    WriteFile(www + "/site.css", "body {}\n");
    WriteFile(www + "/.htaccess", "hidden\n");
    WriteFile(www + "/sub/a.txt", "a\n");

    const std::string path = std::string(getenv("TMPDIR")) + "/ftpbrowser-prefs.plist";
    std::remove(path.c_str());
    WriteFile(path, "");
    prefs = new TPreferenceHandlerFile();
    FSRef ref;
    FSPathMakeRef(reinterpret_cast<const UInt8*>(path.c_str()), &ref, nullptr);
    prefs->SetFile(ref);
    savedPrefs = AppPrefs;
    AppPrefs = prefs;
    info = NewFTPServerInfo();
    info.Name = "Local";
    info.Host = Str255("127.0.0.1:" + std::to_string(server.Port()));
    info.RootFolder = "www";
    info.UserName = LoopbackFTPServer::kUser;
    info.Password = LoopbackFTPServer::kPassword;
    StoreServer();
    HeadlessClearAlertLog();
  }

  void TearDown() override {
    if (pane != nullptr) pane->Release();
    AppPrefs = savedPrefs;
    if (prefs != nullptr) prefs->Release();
    HeadlessClearAlertLog();
  }

  void StoreServer() {
    CFDataRef data = CreateFTPServerData(info);
    CFArrayRef servers = CFArrayCreate(nullptr, reinterpret_cast<const void**>(&data), 1, &kCFTypeArrayCallBacks);
    prefs->SetTypeValue("FTPServers", servers);
    CFRelease(servers);
    CFRelease(data);
  }

  TFTPBrowser* Connect() {
    pane = CreateFTPPane(info, nullptr);
    if (pane == nullptr) return nullptr;
    TFTPBrowser* b = pane->fBrowser;
    RunUntil([&] { return b->fConnected && b->fTransfers.empty(); });
    return b;
  }

  std::string URL(const std::string& path) { return server.URL("/www/" + path); }

  FTPDirectoryListingPtr Find(TFTPBrowser* b, const std::string& path) { return b->FindListingByURL(Str255(URL(path)), 0); }

  // Waits for every transfer of the browser to end.
  bool Settled(TFTPBrowser* b) { return RunUntil([&] { return b->fTransfers.empty(); }); }
};

TEST_F(FTPBrowserTest, FoldersAreListedWhenOpenedAndHiddenEntriesNeverShow) {
  TFTPBrowser* b = Connect();
  ASSERT_NE(b, nullptr);
  ASSERT_TRUE(b->fConnected);
  ASSERT_NE(Find(b, "index.php"), nullptr);
  EXPECT_EQ(Find(b, "index.php")->type, 8);
  EXPECT_EQ(Find(b, "index.php")->size, 14);
  ASSERT_NE(Find(b, "sub/"), nullptr);
  EXPECT_EQ(Find(b, ".htaccess"), nullptr);
  // A folder's content comes only once it is opened.
  EXPECT_EQ(Find(b, "sub/a.txt"), nullptr);
  OpenDataBrowserContainer(b->VIEW, Find(b, "sub/")->node);
  ASSERT_TRUE(RunUntil([&] { return Find(b, "sub/a.txt") != nullptr; }));
  EXPECT_TRUE(Settled(b));
  // The opened folder is remembered: a refresh of its parent shows it as
  // last listed, and a new connection lists it again with its parent.
  ASSERT_NE(b->fOpenFolders, nullptr);
  EXPECT_TRUE(CFSetContainsValue(b->fOpenFolders, CFSTR("/www/sub/")));
  WriteFile(www + "/sub/b.txt", "b\n");
  b->Refresh(nullptr);
  ASSERT_TRUE(Settled(b));
  EXPECT_NE(Find(b, "sub/a.txt"), nullptr);
  pane->Connect(Str255(GetFTPServerURL(info, "")), info.UserName, info.Password);
  ASSERT_TRUE(RunUntil([&] { return Find(b, "sub/b.txt") != nullptr; }));
  EXPECT_TRUE(Settled(b));
  EXPECT_TRUE(AlertTexts().empty());
}

TEST_F(FTPBrowserTest, ThePathMenuJumpsToAFolderAndBackGoesUpToTheRootFolder) {
  TFTPBrowser* b = Connect();
  ASSERT_NE(b, nullptr);
  b->DownloadPath("/www/sub/");
  ASSERT_TRUE(Settled(b));
  EXPECT_EQ(b->fConnection.URL.str(), URL("sub/"));
  EXPECT_NE(Find(b, "sub/a.txt"), nullptr);
  EXPECT_EQ(Find(b, "index.php"), nullptr);
  pane->UpdateToolbar(1);
  EXPECT_EQ(b->fPathMenuPaths, (std::vector<std::string>{"/www/sub/", "/www/", "/"}));
  b->FocusGoBack();
  ASSERT_TRUE(Settled(b));
  EXPECT_EQ(b->fConnection.URL.str(), URL(""));
  EXPECT_NE(Find(b, "index.php"), nullptr);
  // The server's root folder is as far up as it goes.
  b->FocusGoBack();
  EXPECT_TRUE(b->fTransfers.empty());
  EXPECT_EQ(b->fConnection.URL.str(), URL(""));
}

TEST_F(FTPBrowserTest, ServerOperationsChangeTheServerAndEndTheirTransfers) {
  TFTPBrowser* b = Connect();
  ASSERT_NE(b, nullptr);
  // New files take the first free name.
  b->NewFile(nullptr, false);
  ASSERT_TRUE(Settled(b));
  ASSERT_TRUE(RunUntil([&] { return Find(b, "untitled.txt") != nullptr; }));
  b->NewFile(nullptr, false);
  ASSERT_TRUE(Settled(b));
  EXPECT_TRUE(Exists(www + "/untitled.txt"));
  EXPECT_TRUE(Exists(www + "/untitled.txt.1"));
  b->NewFile(nullptr, true);
  ASSERT_TRUE(Settled(b));
  ASSERT_TRUE(RunUntil([&] { return Find(b, "untitled_folder/") != nullptr; }));

  // A move: the file goes into the folder, its row goes, and no transfer
  // stays behind under either entry's key.
  b->Move(Find(b, "site.css"), Find(b, "untitled_folder/"));
  ASSERT_TRUE(Settled(b));
  EXPECT_TRUE(Exists(www + "/untitled_folder/site.css"));
  EXPECT_FALSE(Exists(www + "/site.css"));
  EXPECT_TRUE(RunUntil([&] { return Find(b, "site.css") == nullptr; }));
  EXPECT_EQ(b->GetTransfer(Str255(URL("site.css"))), nullptr);

  b->Rename(Find(b, "index.php"), "home.php");
  ASSERT_TRUE(Settled(b));
  EXPECT_TRUE(Exists(www + "/home.php"));
  ASSERT_TRUE(RunUntil([&] { return Find(b, "home.php") != nullptr; }));

  b->Delete(Find(b, "untitled.txt"));
  ASSERT_TRUE(Settled(b));
  EXPECT_FALSE(Exists(www + "/untitled.txt"));
  EXPECT_TRUE(AlertTexts().empty());

  // A move the server refuses (the folder went behind the browser's back)
  // tells its message once and leaves nothing running.
  std::filesystem::remove_all(www + "/untitled_folder");
  b->Move(Find(b, "home.php"), Find(b, "untitled_folder/"));
  ASSERT_TRUE(Settled(b));
  CFRunLoopRunInMode(kCFRunLoopDefaultMode, 0.3, false);
  EXPECT_EQ(AlertTexts().size(), 1u);
  EXPECT_TRUE(Exists(www + "/home.php"));
  EXPECT_TRUE(b->fTransfers.empty());
}

TEST_F(FTPBrowserTest, ADroppedFileIsUploadedIntoTheFolder) {
  TFTPBrowser* b = Connect();
  ASSERT_NE(b, nullptr);
  const std::string local = std::string(getenv("TMPDIR")) + "/dropped page.html";
  WriteFile(local, "<p>dropped</p>\n");
  FSRef file;
  ASSERT_EQ(noErr, FSPathMakeRef(reinterpret_cast<const UInt8*>(local.c_str()), &file, nullptr));
  b->Upload(Find(b, "sub/")->URL, Find(b, "sub/")->node, file);
  ASSERT_TRUE(Settled(b));
  EXPECT_EQ(ReadFile(www + "/sub/dropped page.html"), "<p>dropped</p>\n");
  FTPDirectoryListingPtr row = b->FindListingByURL(Str255(URL("sub/dropped page.html")), 0);
  ASSERT_NE(row, nullptr);
  EXPECT_EQ(row->type, 8);
  EXPECT_TRUE(AlertTexts().empty());
}

// A file dragged out is made when the receiver asks for it: in the folder the
// drop named when it named one (nothing else written), else in a private
// folder; the promise then holds the file's URL.
TEST_F(FTPBrowserTest, ADraggedFileIsMadeWhereTheDropLanded) {
  TFTPBrowser* b = Connect();
  ASSERT_NE(b, nullptr);
  const std::string base = std::string(getenv("TMPDIR")) + "/drag-out-" + std::to_string(getpid());
  std::filesystem::remove_all(base);
  for (bool named : {true, false}) {
    SCOPED_TRACE(named ? "dropped into a folder" : "dropped nowhere");
    const std::string folder = base + (named ? "/named" : "/none");
    std::filesystem::create_directories(folder);
    FTPDirectoryListingPtr entry = Find(b, "index.php");
    ASSERT_NE(entry, nullptr);
    NodeInfoPtr node = BrackenrowGetNodeAtIndex(SInt32(entry->node), b->VIEW);
    ASSERT_NE(node, nullptr);
    DragRef drag = nullptr;
    ASSERT_EQ(noErr, NewDrag(&drag));
    ASSERT_TRUE(b->AddDragItem(node->DATA, node->DATATYPE, entry->node, drag, 1));
    const SInt32 id = SInt32(entry->node);
    AddDragItemFlavor(drag, 1, kBrackenrowItemDragFlavor, &id, sizeof id, 0);
    if (named) {
      FSRef ref{};
      AliasHandle alias = nullptr;
      ASSERT_EQ(noErr, FSPathMakeRef(reinterpret_cast<const UInt8*>(folder.c_str()), &ref, nullptr));
      ASSERT_EQ(noErr, FSNewAlias(nullptr, &ref, &alias));
      AEDesc desc;
      ASSERT_EQ(noErr, AECreateDesc(typeAlias, *alias, GetHandleSize(alias), &desc));
      SetDropLocation(drag, &desc);
      AEDisposeDesc(&desc);
      DisposeHandle(alias);
    }
    DragFlavorRecord* url = DragFulfilFlavor(drag, 1, kFlavorTypeFileURL);
    ASSERT_NE(url, nullptr);
    const std::string uri(url->data.begin(), url->data.end());
    DisposeDrag(drag);
    ASSERT_EQ(uri.rfind("file://", 0), 0u) << uri;
    std::string made;  // the path, its escapes decoded
    for (size_t i = 7; i < uri.size(); ++i)
      if (uri[i] == '%' && i + 2 < uri.size()) {
        made += char(std::stoi(uri.substr(i + 1, 2), nullptr, 16));
        i += 2;
      } else {
        made += uri[i];
      }
    EXPECT_EQ(ReadFile(made), "<?php echo 1;\n");
    if (named) {
      EXPECT_EQ(made, folder + "/index.php");
    } else {
      EXPECT_NE(made.find("/Quorvel FTP Drags/"), std::string::npos) << made;
      EXPECT_FALSE(Exists(folder + "/index.php"));
    }
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(folder)) names.push_back(e.path().filename().string());
    EXPECT_EQ(names, named ? std::vector<std::string>{"index.php"} : std::vector<std::string>{});
    EXPECT_TRUE(b->fTransfers.empty());
  }
  EXPECT_TRUE(AlertTexts().empty());
  std::filesystem::remove_all(base);
}

class FTPDocumentTest : public FTPBrowserTest {
 protected:
  WEReference we = nullptr;

  void TearDown() override {
    if (we != nullptr) WEDispose(we);
    FTPBrowserTest::TearDown();
  }

  TFTPDocument* Open(TFTPBrowser* b, const std::string& path) {
    auto* d = new TFTPDocument();
    d->CreateEmpty();
    d->fBrowser = b;
    d->fConnection = b->fConnection;
    d->fTransfer.name = Str255(URL(path));
    d->NewConnection(b->fConnection);
    d->fStream->fConnection.URL = d->fTransfer.name;
    d->name = Str63(path.substr(path.rfind('/') + 1));
    d->Download();
    return d;
  }

  void Edit(TFTPDocument* d, const std::string& text) {
    if (we == nullptr) {
      LongRect r{0, 0, 400, 400};
      ASSERT_EQ(noErr, WENew(&r, &r, 0, &we));
    }
    WEPut(0, WEGetTextLength(we), text.data(), text.size(), 0, 0, 0, nullptr, nullptr, we);
    d->controller = we;
    d->SetModifiedState(true);
  }
};

TEST_F(FTPDocumentTest, EachRemoteFileDownloadsIntoItsOwnFolder) {
  TFTPBrowser* b = Connect();
  ASSERT_NE(b, nullptr);
  WriteFile(www + "/sub/index.php", "<?php echo 2;\n");
  TFTPDocument* one = Open(b, "index.php");
  TFTPDocument* two = Open(b, "sub/index.php");
  ASSERT_TRUE(RunUntil([&] { return one->fStream == nullptr && two->fStream == nullptr; }));
  const std::string a = FSGetFullPath(one->file).str(), c = FSGetFullPath(two->file).str();
  EXPECT_NE(a, c);
  EXPECT_EQ(ReadFile(a), "<?php echo 1;\n");
  EXPECT_EQ(ReadFile(c), "<?php echo 2;\n");
  EXPECT_EQ(one->name, Str63("index.php"));
  EXPECT_TRUE(b->fTransfers.empty());
  one->Release();
  two->Release();
}

TEST_F(FTPDocumentTest, SavingUploadsAndIsRefusedWhileATransferRuns) {
  TFTPBrowser* b = Connect();
  ASSERT_NE(b, nullptr);
  TFTPDocument* d = Open(b, "index.php");
  // The download still runs: nothing is saved or sent.
  ASSERT_NE(d->fStream, nullptr);
  Edit(d, "early\n");
  EXPECT_EQ(d->Save(), -1);
  EXPECT_EQ(AlertTexts(), std::vector<std::string>{kFTPBusyDocumentMessage});
  ASSERT_TRUE(RunUntil([&] { return d->fStream == nullptr; }));
  EXPECT_EQ(ReadFile(www + "/index.php"), "<?php echo 1;\n");

  Edit(d, "<?php echo 3;\n");
  EXPECT_EQ(d->Save(), noErr);
  ASSERT_TRUE(RunUntil([&] { return d->fStream == nullptr; }));
  EXPECT_EQ(ReadFile(www + "/index.php"), "<?php echo 3;\n");

  // A failed upload clears the stream: the next save goes out again.
  HeadlessClearAlertLog();
  std::filesystem::rename(www, www + ".away");
  Edit(d, "<?php echo 4;\n");
  EXPECT_EQ(d->Save(), noErr);
  ASSERT_TRUE(RunUntil([&] { return d->fStream == nullptr; }));
  EXPECT_EQ(AlertTexts().size(), 1u);
  std::filesystem::rename(www + ".away", www);
  Edit(d, "<?php echo 5;\n");
  EXPECT_EQ(d->Save(), noErr);
  ASSERT_TRUE(RunUntil([&] { return d->fStream == nullptr; }));
  EXPECT_EQ(ReadFile(www + "/index.php"), "<?php echo 5;\n");
  EXPECT_TRUE(b->fTransfers.empty());
  d->controller = nullptr;
  d->Release();
}

TEST_F(FTPDocumentTest, AFileThatCannotBeDownloadedSaysSoAndEndsItsTransfer) {
  TFTPBrowser* b = Connect();
  ASSERT_NE(b, nullptr);
  b->AppendTransfer(Str255(URL("gone.php")), kFTPTransferDownload, 0);
  Open(b, "gone.php");
  ASSERT_TRUE(RunUntil([&] { return !AlertTexts().empty(); }));
  EXPECT_EQ(AlertTexts(),
            std::vector<std::string>{"The download of \"gone.php\" failed: HTTP: Access denied (550)"});
  EXPECT_TRUE(b->fTransfers.empty());
}

TEST_F(FTPBrowserTest, AServerRemovedFromTheSettingsIsLost) {
  TFTPBrowser* b = Connect();
  ASSERT_NE(b, nullptr);
  prefs->SetTypeValue("FTPServers", CFSTR(""));
  pane->Connect(Str255(GetFTPServerURL(info, "")), info.UserName, info.Password);
  EXPECT_FALSE(b->fConnected);
  EXPECT_TRUE(b->fTransfers.empty());
}

TEST(FTPNames, NewEntriesTakeTheFirstFreeName) {
  EXPECT_EQ(FTPUniqueName("untitled.txt", {}), Str63("untitled.txt"));
  EXPECT_EQ(FTPUniqueName("untitled.txt", {"untitled.txt"}), Str63("untitled.txt.1"));
  EXPECT_EQ(FTPUniqueName("untitled.txt", {"untitled.txt", "untitled.txt.1", "a"}), Str63("untitled.txt.2"));
}

TEST(FTPURLs, PathsRootsAndComponents) {
  struct {
    const char *url, *path, *pathSlash, *root;
  } cases[] = {
      {"ftp://host/", "/", "/", "/"},
      {"ftp://host/www/index.php", "/www/index.php", "/www/index.php/", "/www/"},
      {"ftp://host/www/sub/", "/www/sub", "/www/sub/", "/www/"},
      {"ftp:", "", "", "/"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.url);
    EXPECT_EQ(GetURLPath(c.url, false).str(), c.path);
    EXPECT_EQ(GetURLPath(c.url, true).str(), c.pathSlash);
    EXPECT_EQ(GetURLRoot(c.url).str(), c.root);
  }
  CFArrayRef components = nullptr;
  ExplodeURL("ftp://host/www/sub/", components);
  ASSERT_NE(components, nullptr);
  ASSERT_EQ(CFArrayGetCount(components), 2);
  EXPECT_EQ(CFStringCompare(static_cast<CFStringRef>(CFArrayGetValueAtIndex(components, 1)), CFSTR("sub"), 0),
            kCFCompareEqualTo);
  CFRelease(components);
}

}  // namespace
