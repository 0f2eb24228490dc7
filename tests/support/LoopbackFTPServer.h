// A real FTP server on 127.0.0.1 for the transfer tests: Debian's pyftpdlib,
// either as its own command line or as ftp_faults_server.py (the replies of
// a failing server: 552 and 451 at the end of a store, a stalled data
// channel). The server serves a fresh folder and ends with the object.
#pragma once

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

class LoopbackFTPServer {
 public:
  // The password has the characters a URL would take apart.
  static constexpr const char* kUser = "user";
  static constexpr const char* kPassword = "p@ss:w/rd";

  explicit LoopbackFTPServer(bool faults = false) {
    // A proxy of the machine's environment is not for this server.
    setenv("no_proxy", "127.0.0.1,localhost", 1);
    const char* tmp = getenv("TMPDIR");
    std::string base = std::string(tmp != nullptr && *tmp ? tmp : "/tmp") + "/ftp-root.XXXXXX";
    std::vector<char> buf(base.begin(), base.end());
    buf.push_back(0);
    if (mkdtemp(buf.data()) == nullptr) return;
    root_ = buf.data();
    port_ = FreePort();
    std::string port = std::to_string(port_);
    std::string script = std::string(QUORVEL_TEST_SOURCE_DIR) + "/support/ftp_faults_server.py";
    pid_ = fork();
    if (pid_ == 0) {
      int null = open("/dev/null", O_RDWR);
      if (null >= 0) {
        dup2(null, 0);
        dup2(null, 1);
        dup2(null, 2);
      }
      if (faults)
        execl("/usr/bin/python3", "python3", script.c_str(), port.c_str(), root_.c_str(), kUser, kPassword,
              (char*)nullptr);
      else
        execl("/usr/bin/python3", "python3", "-m", "pyftpdlib", "-i", "127.0.0.1", "-p", port.c_str(), "-d",
              root_.c_str(), "-w", "-u", kUser, "-P", kPassword, (char*)nullptr);
      _exit(127);
    }
    // Ready once it accepts a connection (a limit, never a fixed wait).
    for (int i = 0; i < 200 && !ready_; ++i) {
      ready_ = Accepts();
      if (!ready_) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
  }

  ~LoopbackFTPServer() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
    }
    if (!root_.empty()) {
      std::string cmd = "rm -rf '" + root_ + "'";
      if (system(cmd.c_str()) != 0) {
      }
    }
  }

  bool Ready() const { return ready_; }
  int Port() const { return port_; }
  const std::string& Root() const { return root_; }
  // "ftp://127.0.0.1:PORT" + path (a path starts with "/").
  std::string URL(const std::string& path = "/") const {
    return "ftp://127.0.0.1:" + std::to_string(port_) + path;
  }

  // A port no one listens on: the one a fresh server would get, unused.
  static int FreePort() {
    int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = 0;
    socklen_t len = sizeof a;
    int port = 0;
    if (bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
        getsockname(s, reinterpret_cast<sockaddr*>(&a), &len) == 0)
      port = ntohs(a.sin_port);
    close(s);
    return port;
  }

 private:
  bool Accepts() const {
    int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(uint16_t(port_));
    bool ok = connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    close(s);
    return ok;
  }

  std::string root_;
  int port_ = 0;
  pid_t pid_ = -1;
  bool ready_ = false;
};
