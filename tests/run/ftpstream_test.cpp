// The FTP stream: listings, downloads and uploads against a real FTP server
// on 127.0.0.1, each ending with exactly one kind 2 or kind 4.
#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "CFRef.h"
#include "CFRunLoop.h"
#include "CFString.h"
#include "LoopbackFTPServer.h"
#include "TFTPUnit.h"

namespace {

CFStringRef S(const std::string& s) { return CFStringCreateWithCString(nullptr, s.c_str(), kCFStringEncodingUTF8); }

void MakeDirs(const std::string& path) {
  for (size_t at = path.find('/', 1);; at = path.find('/', at + 1)) {
    mkdir(path.substr(0, at).c_str(), 0755);
    if (at == std::string::npos) break;
  }
}

bool IsFile(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

int CountEntries(const std::string& dir) {
  DIR* d = opendir(dir.c_str());
  int count = 0;
  while (dirent* e = readdir(d))
    if (strcmp(e->d_name, ".") != 0 && strcmp(e->d_name, "..") != 0) ++count;
  closedir(d);
  return count;
}

std::string Text(const Str255& s) { return std::string(reinterpret_cast<const char*>(s.s + 1), size_t(s.len())); }

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

std::string Scratch(const std::string& name) {
  std::string dir = std::string(getenv("TMPDIR")) + "/ftpstream-" + name;
  MakeDirs(dir);
  return dir;
}

CFURLRef FolderURL(const std::string& dir) {
  return CFURLCreateFromFileSystemRepresentation(nullptr, reinterpret_cast<const UInt8*>(dir.data()),
                                                 CFIndex(dir.size()), true);
}

struct Entry {
  std::string url, parent, name;
  SInt32 type;
  SInt64 size;
};

// What a receiver sees: the kinds in order, the error of kind 4, and the
// listing entries it takes during kind 2.
struct Receiver {
  std::vector<int> kinds;
  CFStreamError error{0, 0};
  std::vector<Entry> entries;
  float lastRatio = 0;
  bool terminateAtOpen = false;
  FTPStreamHandle handle = 0;

  static void Callback(SInt16 kind, float ratio, CFStreamError error, TFTPStream* stream, void* data) {
    auto* r = static_cast<Receiver*>(data);
    r->kinds.push_back(kind);
    if (kind == kFTPNotifyProgress) r->lastRatio = ratio;
    if (kind == kFTPNotifyFailed) r->error = error;
    if (kind == kFTPNotifyFinished && stream->fListings != nullptr) {
      for (CFIndex i = 0; i < CFArrayGetCount(stream->fListings); ++i) {
        auto* e = static_cast<FTPDirectoryListingPtr>(const_cast<void*>(CFArrayGetValueAtIndex(stream->fListings, i)));
        r->entries.push_back({Text(e->URL), Text(e->parentName), Text(e->name), e->type, e->size});
      }
    }
    if (kind == kFTPNotifyOpened && r->terminateAtOpen) stream->Terminate();
  }
  bool Ended() const {
    for (int k : kinds)
      if (k == kFTPNotifyFinished || k == kFTPNotifyFailed) return true;
    return false;
  }
  int Count(int kind) const { return int(std::count(kinds.begin(), kinds.end(), kind)); }
  // Runs the loop until the stream has ended (a limit, not a timing).
  void Wait() {
    for (int i = 0; i < 60 && !Ended() && TFTPStream::FromHandle(handle) != nullptr; ++i)
      CFRunLoopRunInMode(kCFRunLoopDefaultMode, 1, false);
    // What is still due after the end would show up here.
    CFRunLoopRunInMode(kCFRunLoopDefaultMode, 0.1, false);
  }
  void ExpectOneEnd(int kind) const {
    EXPECT_EQ(Count(kFTPNotifyFinished) + Count(kFTPNotifyFailed), 1);
    ASSERT_FALSE(kinds.empty());
    EXPECT_EQ(kinds.back(), kind);
    EXPECT_EQ(TFTPStream::FromHandle(handle), nullptr);
  }
};

TFTPStream* NewStream(Receiver& r) {
  auto* s = new TFTPStream();
  s->SetCallback(Receiver::Callback, &r);
  r.handle = s->GetHandle();
  return s;
}

Receiver List(const std::string& url, const char* password = LoopbackFTPServer::kPassword) {
  Receiver r;
  Ref u(S(url)), user(S(LoopbackFTPServer::kUser)), pw(S(password));
  EXPECT_TRUE(NewStream(r)->DirectoryListing(u.str(), user.str(), pw.str()));
  r.Wait();
  return r;
}

Receiver Download(const std::string& url, const std::string& folder) {
  Receiver r;
  Ref u(S(url)), user(S(LoopbackFTPServer::kUser)), pw(S(LoopbackFTPServer::kPassword)), dir(FolderURL(folder));
  EXPECT_TRUE(NewStream(r)->Download(u.str(), dir.url(), user.str(), pw.str()));
  r.Wait();
  return r;
}

Receiver Upload(const std::string& folderURL, const std::string& file) {
  Receiver r;
  Ref u(S(folderURL)), user(S(LoopbackFTPServer::kUser)), pw(S(LoopbackFTPServer::kPassword));
  Ref local(CFURLCreateFromFileSystemRepresentation(nullptr, reinterpret_cast<const UInt8*>(file.data()),
                                                    CFIndex(file.size()), false));
  EXPECT_TRUE(NewStream(r)->Upload(u.str(), local.url(), user.str(), pw.str()));
  r.Wait();
  return r;
}

std::string Big(size_t n) {
  std::string s;
  for (size_t i = 0; i < n; ++i) s += char('A' + (i * 13 + i / 97) % 26);
  return s;
}

class FTPStreamTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    server_ = new LoopbackFTPServer();
    ASSERT_TRUE(server_->Ready());
  }
  static void TearDownTestSuite() {
    delete server_;
    server_ = nullptr;
  }
  static LoopbackFTPServer* server_;
};
LoopbackFTPServer* FTPStreamTest::server_ = nullptr;

TEST_F(FTPStreamTest, AListingGivesItsEntriesWithURLsAndParentNames) {
  MakeDirs(server_->Root() + "/my site/css");
  WriteFile(server_->Root() + "/my site/index page.html", "<p>hi</p>");
  WriteFile(server_->Root() + "/top.txt", "12345");

  Receiver root = List(server_->URL("/"));
  root.ExpectOneEnd(kFTPNotifyFinished);
  EXPECT_EQ(root.kinds.front(), kFTPNotifyOpened);
  ASSERT_EQ(root.entries.size(), 2u);
  // pyftpdlib lists in name order.
  EXPECT_EQ(root.entries[0].name, "my site");
  EXPECT_EQ(root.entries[0].type, 4);
  EXPECT_EQ(root.entries[0].url, server_->URL("/my site/"));
  EXPECT_EQ(root.entries[0].parent, "/");
  EXPECT_EQ(root.entries[1].url, server_->URL("/top.txt"));
  EXPECT_EQ(root.entries[1].type, 8);
  EXPECT_EQ(root.entries[1].size, 5);

  Receiver sub = List(server_->URL("/my site/"));
  sub.ExpectOneEnd(kFTPNotifyFinished);
  ASSERT_EQ(sub.entries.size(), 2u);
  EXPECT_EQ(sub.entries[0].url, server_->URL("/my site/css/"));
  EXPECT_EQ(sub.entries[1].url, server_->URL("/my site/index page.html"));
  EXPECT_EQ(sub.entries[1].parent, "my site");
}

TEST_F(FTPStreamTest, ADownloadReportsProgressAndEndsWithTheWholeFile) {
  const std::string bytes = Big(200000);
  WriteFile(server_->Root() + "/down load.bin", bytes);
  std::string dir = Scratch("download");
  Receiver r = Download(server_->URL("/down load.bin"), dir);
  r.ExpectOneEnd(kFTPNotifyFinished);
  EXPECT_EQ(r.kinds.front(), kFTPNotifyOpened);
  EXPECT_GT(r.Count(kFTPNotifyProgress), 0);
  EXPECT_FLOAT_EQ(r.lastRatio, 1.0f);
  EXPECT_TRUE(ReadFile(dir + "/down load.bin") == bytes);
  // Downloaded again over itself, it keeps the permissions it had.
  chmod((dir + "/down load.bin").c_str(), 0640);
  Receiver again = Download(server_->URL("/down load.bin"), dir);
  again.ExpectOneEnd(kFTPNotifyFinished);
  struct stat st;
  ASSERT_EQ(stat((dir + "/down load.bin").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  EXPECT_EQ(CountEntries(dir), 1);
}

TEST_F(FTPStreamTest, AFailedDownloadEndsOnceAndLeavesTheLocalFileAsItWas) {
  std::string dir = Scratch("failed");
  WriteFile(dir + "/gone.txt", "my own copy");
  Receiver r = Download(server_->URL("/gone.txt"), dir);
  r.ExpectOneEnd(kFTPNotifyFailed);
  EXPECT_EQ(r.error.domain, 6);
  EXPECT_EQ(r.error.error, 550);
  EXPECT_EQ(Text(GetStreamErrorString(r.error)), "HTTP: Access denied (550)");
  EXPECT_EQ(ReadFile(dir + "/gone.txt"), "my own copy");
  // Nothing else was left in the folder.
  EXPECT_EQ(CountEntries(dir), 1);
}

TEST_F(FTPStreamTest, AnUploadEndsOnlyOnceTheServerHasTheFile) {
  std::string dir = Scratch("upload");
  const std::string bytes = Big(100000);
  WriteFile(dir + "/page one.html", bytes);
  MakeDirs(server_->Root() + "/up");
  Receiver r = Upload(server_->URL("/up/"), dir + "/page one.html");
  r.ExpectOneEnd(kFTPNotifyFinished);
  EXPECT_EQ(r.kinds.front(), kFTPNotifyOpened);
  EXPECT_GT(r.Count(kFTPNotifyProgress), 0);
  EXPECT_FLOAT_EQ(r.lastRatio, 1.0f);
  EXPECT_TRUE(ReadFile(server_->Root() + "/up/page one.html") == bytes);

  // An empty file: opened, then the end, and the server has it.
  WriteFile(dir + "/empty.txt", "");
  Receiver empty = Upload(server_->URL("/up"), dir + "/empty.txt");
  empty.ExpectOneEnd(kFTPNotifyFinished);
  EXPECT_EQ(empty.Count(kFTPNotifyProgress), 0);
  EXPECT_TRUE(IsFile(server_->Root() + "/up/empty.txt"));
}

TEST_F(FTPStreamTest, ALoginThatFailsAndARefusedServerEndInKindFour) {
  Receiver login = List(server_->URL("/"), "wrong");
  login.ExpectOneEnd(kFTPNotifyFailed);
  EXPECT_EQ(Text(GetStreamErrorString(login.error)), "HTTP: Login denied (530)");
  Receiver refused = List("ftp://127.0.0.1:" + std::to_string(LoopbackFTPServer::FreePort()) + "/");
  refused.ExpectOneEnd(kFTPNotifyFailed);
  EXPECT_EQ(Text(GetStreamErrorString(refused.error)), "Connection refused");
}

TEST_F(FTPStreamTest, AFailedStartLeavesNothingToFree) {
  Ref user(S("user")), pw(S("pw"));
  std::string dir = Scratch("start");
  Ref folder(FolderURL(dir));
  Ref notFolder(CFURLCreateFromFileSystemRepresentation(nullptr, reinterpret_cast<const UInt8*>(dir.data()),
                                                        CFIndex(dir.size()), false));
  Ref missing(CFURLCreateFromFileSystemRepresentation(nullptr, reinterpret_cast<const UInt8*>("/no/such/file"), 13,
                                                      false));
  struct {
    const char* what;
    std::function<Boolean(TFTPStream*)> start;
  } cases[] = {
      {"listing of no FTP URL", [&](TFTPStream* s) { Ref u(S("http://x/")); return s->DirectoryListing(u.str(), user.str(), pw.str()); }},
      {"download into a file URL", [&](TFTPStream* s) { Ref u(S(server_->URL("/a.txt"))); return s->Download(u.str(), notFolder.url(), user.str(), pw.str()); }},
      // A name the server chose may not leave the folder.
      {"download of ..", [&](TFTPStream* s) { Ref u(S(server_->URL("/x/%2E%2E"))); return s->Download(u.str(), folder.url(), user.str(), pw.str()); }},
      {"download of a/b", [&](TFTPStream* s) { Ref u(S(server_->URL("/x/a%2Fb"))); return s->Download(u.str(), folder.url(), user.str(), pw.str()); }},
      {"upload of a missing file", [&](TFTPStream* s) { Ref u(S(server_->URL("/"))); return s->Upload(u.str(), missing.url(), user.str(), pw.str()); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Receiver r;
    TFTPStream* s = NewStream(r);
    EXPECT_FALSE(c.start(s));
    EXPECT_EQ(TFTPStream::FromHandle(r.handle), nullptr);
    TFTPStream::TerminateHandle(r.handle);  // does nothing
    CFRunLoopRunInMode(kCFRunLoopDefaultMode, 0.05, false);
    EXPECT_TRUE(r.kinds.empty());
  }
}

TEST_F(FTPStreamTest, TerminatingInANotificationEndsTheStreamWithoutMoreNotifications) {
  WriteFile(server_->Root() + "/t.bin", Big(50000));
  Receiver r;
  r.terminateAtOpen = true;
  Ref u(S(server_->URL("/t.bin"))), user(S(LoopbackFTPServer::kUser)), pw(S(LoopbackFTPServer::kPassword));
  std::string dir = Scratch("terminate");
  Ref folder(FolderURL(dir));
  ASSERT_TRUE(NewStream(r)->Download(u.str(), folder.url(), user.str(), pw.str()));
  for (int i = 0; i < 60 && TFTPStream::FromHandle(r.handle) != nullptr; ++i)
    CFRunLoopRunInMode(kCFRunLoopDefaultMode, 1, false);
  CFRunLoopRunInMode(kCFRunLoopDefaultMode, 0.2, false);
  EXPECT_EQ(r.kinds, std::vector<int>{kFTPNotifyOpened});
  TFTPStream::TerminateHandle(r.handle);  // ended: does nothing
  EXPECT_FALSE(IsFile(dir + "/t.bin"));
}

TEST(FTPFaultyServerStream, AStoreRefusedAtTheEndAndAnUnreadableListingEndInKindFour) {
  LoopbackFTPServer server(true);
  ASSERT_TRUE(server.Ready());
  std::string dir = Scratch("faulty");
  WriteFile(dir + "/full.html", Big(40000));
  WriteFile(dir + "/fail.html", "x");
  MakeDirs(server.Root() + "/garbage");
  Receiver full = Upload(server.URL("/"), dir + "/full.html");
  Receiver local = Upload(server.URL("/"), dir + "/fail.html");
  Receiver garbage = List(server.URL("/garbage/"));
  struct {
    const char* what;
    const Receiver& r;
    const char* message;
  } cases[] = {
      {"552", full, "FTP: The server has no room for the file (552)"},
      {"451", local, "FTP: The server could not store the file (451)"},
      {"listing", garbage, "The server's folder listing cannot be read"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    c.r.ExpectOneEnd(kFTPNotifyFailed);
    EXPECT_EQ(Text(GetStreamErrorString(c.r.error)), c.message);
  }
  // A server that tells no size: no progress, but the whole file and the end.
  WriteFile(server.Root() + "/nosize.txt", Big(70000));
  Receiver nosize = Download(server.URL("/nosize.txt"), dir);
  nosize.ExpectOneEnd(kFTPNotifyFinished);
  EXPECT_EQ(nosize.Count(kFTPNotifyProgress), 0);
  EXPECT_TRUE(ReadFile(dir + "/nosize.txt") == Big(70000));
}

TEST(FTPStreamText, MessagesRatiosAndURLs) {
  struct {
    CFIndex domain;
    SInt32 error;
    const char* message;
  } messages[] = {
      {12, 7, "Internet Off"},          {6, 404, "HTTP: Resource not found (404)"},
      {6, 530, "HTTP: Login denied (530)"}, {1, 54, "Connection reset"},
      {1, 57, "Internet Disconnected"}, {1, 60, "Operation timed out"},
      {2, 9, "Unknown 9.2"},            {12, 2, "Unknown 2.12"},
  };
  for (const auto& m : messages)
    EXPECT_EQ(Text(GetStreamErrorString(CFStreamError{m.domain, m.error})), m.message);

  struct {
    const char *text, *url;
  } urls[] = {
      {"ftp://h/my site/a#1?.html", "ftp://h/my%20site/a%231%3F.html"},
      {"ftp://h/already%20escaped/", "ftp://h/already%20escaped/"},
      {"ftp://h:2121", "ftp://h:2121/"},
      {"ftp://h/caf\xc3\xa9/", "ftp://h/caf%C3%A9/"},
  };
  for (const auto& u : urls) {
    SCOPED_TRACE(u.text);
    Ref text(S(u.text));
    Ref url(FTPCreateURL(text.str()));
    ASSERT_TRUE(url);
    char buf[256];
    CFStringGetCString(CFURLGetString(url.url()), buf, sizeof buf, kCFStringEncodingUTF8);
    EXPECT_STREQ(buf, u.url);
  }
  Ref notFTP(S("http://h/"));
  EXPECT_FALSE(FTPCreateURL(notFTP.str()));

  // Folders, files by their extension, and anything else as unknown.
  for (SInt32 type : {4, 8, 10, -1}) {
    SCOPED_TRACE(type);
    FTPDirectoryListing entry{};
    entry.type = type;
    entry.name = "page.html";
    IconRef icon = GetFTPListingIcon(&entry);
    EXPECT_NE(icon, nullptr);
    if (icon != nullptr) ReleaseIconRef(icon);
  }

  Receiver r;
  TFTPStream* s = NewStream(r);
  s->fTransferred = 12 * 1024;
  s->fTotalSize = 40 * 1024;
  EXPECT_EQ(Text(s->GetFileRatioString()), "12k of 40k");
  EXPECT_EQ(s->GetTransferRatio().length, 40 * 1024);
  s->Terminate();
}

}  // namespace
