// Uploads of project files: the folder each file goes to, the transfer
// against a real FTP server on 127.0.0.1, and the texts the user sees.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "CFRunLoop.h"
#include "FileUploadUnit.h"
#include "Files.h"
#include "LoopbackFTPServer.h"
#include "PascalCarbonCommon.h"

namespace {

std::string Text(const Str255& s) { return std::string(s.view()); }

void WriteFile(const std::string& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

bool Exists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}

std::string Scratch(const char* name) {
  const char* tmp = getenv("TMPDIR");
  std::string dir = std::string(tmp != nullptr && *tmp ? tmp : "/tmp") + "/upload-" + name + ".XXXXXX";
  return mkdtemp(dir.data()) != nullptr ? dir : std::string();
}

FSRef Ref(const std::string& path) {
  FSRef ref{};
  EXPECT_EQ(FSPathMakeRef(reinterpret_cast<const UInt8*>(path.c_str()), &ref, nullptr), noErr) << path;
  return ref;
}

struct Receiver {
  std::vector<int> kinds;
  std::vector<std::string> texts;
  CFStreamError error{0, 0};
  static void Callback(SInt16 kind, float ratio, CFStreamError error, TFTPStream*, void* data) {
    auto* r = static_cast<Receiver*>(data);
    r->kinds.push_back(kind);
    if (kind == kFTPNotifyProgress) r->texts.push_back(Text(UploadProgressText(ratio * 100)));
    if (kind == kFTPNotifyFailed) r->error = error;
  }
  bool Ended() const {
    for (int k : kinds)
      if (k == kFTPNotifyFinished || k == kFTPNotifyFailed) return true;
    return false;
  }
  // Runs the loop until the stream has ended (a limit, not a timing).
  void Wait(FTPStreamHandle handle) {
    for (int i = 0; i < 60 && !Ended() && TFTPStream::FromHandle(handle) != nullptr; ++i)
      CFRunLoopRunInMode(kCFRunLoopDefaultMode, 1, false);
  }
};

FTPServerInfo Server(const LoopbackFTPServer& ftp, const char* root) {
  FTPServerInfo info = NewFTPServerInfo();
  info.Name = "Local";
  info.Host = Str255("127.0.0.1:" + std::to_string(ftp.Port()));
  info.RootFolder = root;
  info.UserName = LoopbackFTPServer::kUser;
  info.Password = LoopbackFTPServer::kPassword;
  return info;
}

class FileUploadTest : public ::testing::Test {
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
LoopbackFTPServer* FileUploadTest::server_ = nullptr;

}  // namespace

TEST(FileUploadFolder, TheServerRootComesOnceThenTheFilesDirectory) {
  FTPServerInfo server = NewFTPServerInfo();
  server.Host = "ftp.example.org";
  struct {
    const char* root;
    const char* directory;
    const char* url;
  } cases[] = {
      {"", "", "ftp://ftp.example.org/"},
      {"www", "", "ftp://ftp.example.org/www/"},
      {"/www/", "pages", "ftp://ftp.example.org/www/pages/"},
      {"", "/pages/new/", "ftp://ftp.example.org/pages/new/"},
  };
  for (const auto& c : cases) {
    server.RootFolder = c.root;
    EXPECT_EQ(FileUploadFolderURL(server, c.directory), c.url) << c.root << " + " << c.directory;
  }
}

TEST(FileUploadOnSave, TheFileModeDecidesAndDefaultFallsToTheProject) {
  struct {
    const char* file;
    const char* project;
    bool upload;
  } cases[] = {
      {"Server", "Disk", true},     {"Disk", "Server", false}, {"Default", "Server", true},
      {"", "Server", true},         {"Default", "Disk", false}, {"Localhost", "Server", false},
  };
  for (const auto& c : cases) EXPECT_EQ(bool(UploadsOnSave(c.file, c.project)), c.upload) << c.file << "/" << c.project;
}

TEST(FileUploadTexts, ProgressShowsTheWholePercentAndErrorsNameTheFile) {
  struct {
    float percent;
    const char* text;
  } cases[] = {{57.9f, "Transfered 57%"}, {0.0f, "Transfered 0%"}, {100.0f, "Transfered 100%"}};
  for (const auto& c : cases) EXPECT_EQ(Text(UploadProgressText(c.percent)), c.text);
  const std::string message = Text(UploadErrorMessage("index.php", CFStreamError{kCFStreamErrorDomainPOSIX, 61}));
  EXPECT_EQ(message.rfind("The file \"index.php\" could not be uploaded: ", 0), 0u) << message;
  EXPECT_EQ(message.find("-"), std::string::npos) << message;
}

TEST_F(FileUploadTest, TheFileArrivesInTheRootFolderThenItsDirectory) {
  const std::string local = Scratch("send");
  std::string bytes;
  for (int i = 0; i < 200000; ++i) bytes += char('a' + i % 26);
  WriteFile(local + "/my page.html", bytes);
  mkdir((server_->Root() + "/www").c_str(), 0755);
  mkdir((server_->Root() + "/www/pages").c_str(), 0755);

  Receiver r;
  std::string remote;
  TFTPStream* stream =
      StartFileUpload(Server(*server_, "www"), "pages", Ref(local + "/my page.html"), Receiver::Callback, &r, remote);
  ASSERT_NE(stream, nullptr);
  EXPECT_EQ(remote, "ftp://127.0.0.1:" + std::to_string(server_->Port()) + "/www/pages/");
  r.Wait(stream->GetHandle());
  ASSERT_FALSE(r.kinds.empty());
  EXPECT_EQ(r.kinds.back(), kFTPNotifyFinished);
  ASSERT_FALSE(r.texts.empty());
  EXPECT_EQ(r.texts.back(), "Transfered 100%");
  EXPECT_TRUE(ReadFile(server_->Root() + "/www/pages/my page.html") == bytes);
}

TEST_F(FileUploadTest, ARefusedStoreEndsInAMessageAndKeepsTheLocalFile) {
  const std::string local = Scratch("refused");
  WriteFile(local + "/index.php", "<?php echo 1;");
  // The server has no such folder: it refuses the store.
  Receiver r;
  std::string remote;
  TFTPStream* stream =
      StartFileUpload(Server(*server_, "missing"), "", Ref(local + "/index.php"), Receiver::Callback, &r, remote);
  ASSERT_NE(stream, nullptr);
  r.Wait(stream->GetHandle());
  ASSERT_FALSE(r.kinds.empty());
  EXPECT_EQ(r.kinds.back(), kFTPNotifyFailed);
  const std::string message = Text(UploadErrorMessage("index.php", r.error));
  EXPECT_NE(message.find("\"index.php\""), std::string::npos);
  EXPECT_NE(message.find("55"), std::string::npos) << message;  // the server's reply code
  EXPECT_EQ(ReadFile(local + "/index.php"), "<?php echo 1;");
  EXPECT_FALSE(Exists(server_->Root() + "/missing/index.php"));

  // A file that is gone locally does not start at all.
  EXPECT_EQ(StartFileUpload(Server(*server_, ""), "", FSRef{}, Receiver::Callback, &r, remote), nullptr);
}
