// Server-side file operations: the argument vector the helper gets, how its
// output and exit become the one result, and ftp.php itself under
// /usr/bin/php against a real FTP server on 127.0.0.1.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "CFRunLoop.h"
#include "LoopbackFTPServer.h"
#include "TFTPProcessUnit.h"

namespace {

std::string Text(const Str255& s) { return std::string(reinterpret_cast<const char*>(s.s + 1), size_t(s.len())); }

std::string Scratch() {
  std::string dir = std::string(getenv("TMPDIR")) + "/ftpprocess";
  mkdir(dir.c_str(), 0700);
  return dir;
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out << bytes;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

struct Result {
  std::vector<std::string> messages;
  std::vector<std::string> actions;
  static void Callback(const Str31& action, const Str255& message, TFTPBrowser*, void* data) {
    auto* r = static_cast<Result*>(data);
    r->actions.push_back(Text(action));
    r->messages.push_back(Text(message));
  }
};

FTPConnection Connection(const std::string& host, const std::string& user, const std::string& password) {
  FTPConnection c{};
  c.hostName = Str63(host);
  c.userName = Str255(user);
  c.password = Str255(password);
  return c;
}

// Runs one operation to its end (a limit, not a timing) and gives what was reported.
template <typename F>
Result RunOperation(TFTPProcess* p, F operation) {
  Result r;
  p->SetCallback(Result::Callback, &r);
  operation(p);
  for (int i = 0; i < 300 && r.messages.empty(); ++i) CFRunLoopRunInMode(kCFRunLoopDefaultMode, 0.1, false);
  // Anything reported after the first result would show up now.
  CFRunLoopRunInMode(kCFRunLoopDefaultMode, 0.3, false);
  return r;
}

TFTPProcess* FakeHelper(const std::string& body) {
  std::string script = Scratch() + "/helper.sh";
  WriteFile(script, body);
  auto* p = new TFTPProcess();
  p->fInterpreter = "/bin/sh";
  p->fScript = script;
  p->SetConnection(Connection("example.org", "user", "pw"));
  return p;
}

TEST(FTPProcess, EachArgumentIsOneWordWhateverItHolds) {
  std::string out = Scratch() + "/words.txt";
  TFTPProcess* p = FakeHelper("for a in \"$@\"; do printf '%s\\n' \"$a\"; done > '" + out + "'\necho 0\n");
  p->SetConnection(Connection("example.org", "us er", "pa\"ss word\" action=delete"));
  Result r = RunOperation(p, [](TFTPProcess* p) { p->Rename("/a \"b\".txt", "c d.txt"); });
  ASSERT_EQ(r.messages, std::vector<std::string>{""});
  EXPECT_EQ(r.actions, std::vector<std::string>{"rename"});
  EXPECT_EQ(ReadFile(out),
            "server=example.org\nuser=us er\npassword=pa\"ss word\" action=delete\nfile=/a \"b\".txt\n"
            "name=c d.txt\naction=rename\n");
}

TEST(FTPProcess, TheScriptsOutputAndExitGiveOneResult) {
  struct {
    const char *what, *script, *message;
  } cases[] = {
      {"text then a number", "echo 'Could not delete /x: No such file.'; echo 6; exit 6", "Could not delete /x: No such file."},
      {"a number alone", "echo 0", ""},
      {"nothing, exit 0", "exit 0", ""},
      {"several numbers: the first decides", "echo first; echo 1; echo second; echo 2", "first"},
      {"nothing, exit 3", "exit 3", "The server operation failed (status 3)"},
      {"text, exit 2", "echo 'No server was given.'; exit 2", "No server was given."},
      {"killed by a signal", "kill -TERM $$", "The server operation failed (status 15)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Result r = RunOperation(FakeHelper(std::string(c.script) + "\n"), [](TFTPProcess* p) { p->DeleteFile("/x"); });
    EXPECT_EQ(r.messages, std::vector<std::string>{c.message});
  }
  auto* p = new TFTPProcess();
  p->fInterpreter = "/no/such/php";
  p->fScript = "/x.php";
  Result missing = RunOperation(p, [](TFTPProcess* p) { p->NewFile("/x"); });
  EXPECT_EQ(missing.messages, std::vector<std::string>{"The PHP interpreter /no/such/php could not be started"});
}

TEST(FTPProcess, TheDefaultScriptIsTheBundlesHelper) {
  auto* p = new TFTPProcess();
  p->Initialize();
  ASSERT_GE(p->fArguments.size(), 5u);
  EXPECT_EQ(p->fArguments[0], "/usr/bin/php");
  const std::string tail = "/SharedSupport/ftp.php";
  EXPECT_EQ(p->fArguments[1].substr(p->fArguments[1].size() - tail.size()), tail);
  p->Release();
}

TEST(FTPProcess, TheHelperDoesEachOperationOnARealServer) {
  LoopbackFTPServer server;
  ASSERT_TRUE(server.Ready());
  const std::string helper = std::string(QUORVEL_TEST_SOURCE_DIR) + "/../resources/SharedSupport/ftp.php";
  const FTPConnection connection = Connection("127.0.0.1:" + std::to_string(server.Port()),
                                              LoopbackFTPServer::kUser, LoopbackFTPServer::kPassword);
  auto make = [&](const FTPConnection& c) {
    auto* p = new TFTPProcess();
    p->fScript = helper;
    p->SetConnection(c);
    return p;
  };
  auto ok = [&](auto operation) {
    Result r = RunOperation(make(connection), operation);
    EXPECT_EQ(r.messages, std::vector<std::string>{""});
  };
  auto refused = [&](auto operation, const std::string& part) {
    Result r = RunOperation(make(connection), operation);
    ASSERT_EQ(r.messages.size(), 1u);
    EXPECT_NE(r.messages[0].find(part), std::string::npos) << r.messages[0];
  };
  const std::string root = server.Root();
  struct stat st;

  ok([](TFTPProcess* p) { p->NewDirectory("/my site"); });
  EXPECT_TRUE(stat((root + "/my site").c_str(), &st) == 0 && S_ISDIR(st.st_mode));
  ok([](TFTPProcess* p) { p->NewFile("/my site/a.txt"); });
  EXPECT_EQ(ReadFile(root + "/my site/a.txt"), "");
  // A new file never replaces one that is there.
  WriteFile(root + "/my site/a.txt", "kept");
  refused([](TFTPProcess* p) { p->NewFile("/my site/a.txt"); }, "already exists");
  EXPECT_EQ(ReadFile(root + "/my site/a.txt"), "kept");
  ok([](TFTPProcess* p) { p->Rename("/my site/a.txt", "b c.txt"); });
  EXPECT_EQ(ReadFile(root + "/my site/b c.txt"), "kept");
  ok([](TFTPProcess* p) { p->NewDirectory("/other"); });
  ok([](TFTPProcess* p) { p->Move("/my site/b c.txt", "/other"); });
  EXPECT_EQ(ReadFile(root + "/other/b c.txt"), "kept");
  ok([](TFTPProcess* p) { p->DeleteFile("/other/b c.txt"); });
  EXPECT_NE(stat((root + "/other/b c.txt").c_str(), &st), 0);
  ok([](TFTPProcess* p) { p->DeleteDirectory("/other"); });
  EXPECT_NE(stat((root + "/other").c_str(), &st), 0);
  refused([](TFTPProcess* p) { p->DeleteFile("/no such file"); }, "Could not delete /no such file");

  Result login = RunOperation(make(Connection(Text(connection.hostName), LoopbackFTPServer::kUser, "wrong")),
                     [](TFTPProcess* p) { p->NewDirectory("/x"); });
  ASSERT_EQ(login.messages.size(), 1u);
  EXPECT_NE(login.messages[0].find("refused the login of user"), std::string::npos) << login.messages[0];
}

// A login that starts in a folder of its own: the helper's paths are under
// it, as the browser's ftp:// URLs are, and a file of the same path outside
// it is left alone.
TEST(FTPProcess, PathsAreUnderTheFolderTheLoginStartsIn) {
  LoopbackFTPServer server(/*faults=*/true);
  ASSERT_TRUE(server.Ready());
  const std::string root = server.Root();
  for (const char* folder : {"/www", "/home", "/home/user", "/home/user/www"})
    mkdir((root + folder).c_str(), 0700);
  WriteFile(root + "/www/a.txt", "outside");
  WriteFile(root + "/home/user/www/a.txt", "inside");
  auto run = [&](auto operation) {
    auto* p = new TFTPProcess();
    p->fScript = std::string(QUORVEL_TEST_SOURCE_DIR) + "/../resources/SharedSupport/ftp.php";
    p->SetConnection(Connection("127.0.0.1:" + std::to_string(server.Port()), LoopbackFTPServer::kUser,
                                LoopbackFTPServer::kPassword));
    return RunOperation(p, operation).messages;
  };
  const std::vector<std::string> done{""};
  struct stat st;
  EXPECT_EQ(run([](TFTPProcess* p) { p->Rename("/www/a.txt", "b.txt"); }), done);
  EXPECT_EQ(ReadFile(root + "/home/user/www/b.txt"), "inside");
  EXPECT_EQ(run([](TFTPProcess* p) { p->NewDirectory("/old"); }), done);
  EXPECT_EQ(run([](TFTPProcess* p) { p->Move("/www/b.txt", "/old"); }), done);
  EXPECT_EQ(ReadFile(root + "/home/user/old/b.txt"), "inside");
  EXPECT_EQ(run([](TFTPProcess* p) { p->DeleteFile("/old/b.txt"); }), done);
  EXPECT_NE(stat((root + "/home/user/old/b.txt").c_str(), &st), 0);
  const std::vector<std::string> refused = run([](TFTPProcess* p) { p->DeleteFile("/www/a.txt"); });
  ASSERT_EQ(refused.size(), 1u);
  EXPECT_NE(refused[0].find("Could not delete /www/a.txt"), std::string::npos) << refused[0];
  EXPECT_EQ(ReadFile(root + "/www/a.txt"), "outside");
}

}  // namespace
