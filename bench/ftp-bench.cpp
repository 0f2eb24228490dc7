// FTP transfers through the platform's streams against Debian's pyftpdlib on
// 127.0.0.1: the wall time and throughput of a download and an upload of a
// large file, with the program's own buffer sizes. Prints figures.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>

#include "CFFTPStream.h"
#include "CFNumber.h"
#include "CFString.h"

namespace {

double Now() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

int FreePort() {
  int s = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof a;
  bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
  getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
  close(s);
  return ntohs(a.sin_port);
}

bool Accepts(int port) {
  int s = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = htons(uint16_t(port));
  bool ok = connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
  close(s);
  return ok;
}

struct State {
  size_t bytes = 0, toSend = 0, sent = 0;
  bool done = false, failed = false;
  std::string chunk = std::string(32768, 'x');
};

void OnRead(CFReadStreamRef s, CFStreamEventType ev, void* info) {
  auto* st = static_cast<State*>(info);
  if (ev == kCFStreamEventHasBytesAvailable) {
    UInt8 buf[32768];
    CFIndex n = CFReadStreamRead(s, buf, sizeof buf);
    if (n > 0) st->bytes += size_t(n);
  } else if (ev == kCFStreamEventEndEncountered || ev == kCFStreamEventErrorOccurred) {
    st->done = true;
    st->failed = ev == kCFStreamEventErrorOccurred;
  }
}

void OnWrite(CFWriteStreamRef s, CFStreamEventType ev, void* info) {
  auto* st = static_cast<State*>(info);
  if (ev == kCFStreamEventCanAcceptBytes) {
    if (st->sent < st->toSend) {
      CFIndex n = CFWriteStreamWrite(s, reinterpret_cast<const UInt8*>(st->chunk.data()),
                                     CFIndex(std::min(st->chunk.size(), st->toSend - st->sent)));
      if (n > 0) st->sent += size_t(n);
    }
    if (st->sent == st->toSend) CFWriteStreamSetProperty(s, kCFStreamPropertyEndOfData, kCFBooleanTrue);
  } else if (ev == kCFStreamEventEndEncountered || ev == kCFStreamEventErrorOccurred) {
    st->done = true;
    st->failed = ev == kCFStreamEventErrorOccurred;
  }
}

CFURLRef URL(const std::string& text) {
  CFStringRef s = CFStringCreateWithCString(nullptr, text.c_str(), kCFStringEncodingUTF8);
  CFURLRef url = CFURLCreateWithString(nullptr, s, nullptr);
  CFRelease(s);
  return url;
}

void Wait(State& st) {
  while (!st.done) CFRunLoopRunInMode(kCFRunLoopDefaultMode, 1, true);
}

}  // namespace

int main() {
  const size_t size = 64u << 20;
  char root[] = "/tmp/ftp-bench.XXXXXX";
  if (mkdtemp(root) == nullptr) return 1;
  {
    std::ofstream big(std::string(root) + "/big.bin", std::ios::binary);
    std::string block(1 << 20, 'q');
    for (size_t i = 0; i < size; i += block.size()) big << block;
  }
  int port = FreePort();
  pid_t pid = fork();
  if (pid == 0) {
    std::string p = std::to_string(port);
    freopen("/dev/null", "w", stderr);
    execl("/usr/bin/python3", "python3", "-m", "pyftpdlib", "-i", "127.0.0.1", "-p", p.c_str(), "-d", root, "-w",
          "-u", "user", "-P", "pw", (char*)nullptr);
    _exit(127);
  }
  for (int i = 0; i < 200 && !Accepts(port); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  const std::string base = "ftp://127.0.0.1:" + std::to_string(port);
  CFStringRef user = CFStringCreateWithCString(nullptr, "user", kCFStringEncodingUTF8);
  CFStringRef pw = CFStringCreateWithCString(nullptr, "pw", kCFStringEncodingUTF8);

  State down;
  CFURLRef u = URL(base + "/big.bin");
  CFReadStreamRef r = CFReadStreamCreateWithFTPURL(nullptr, u);
  CFReadStreamSetProperty(r, kCFStreamPropertyFTPUserName, user);
  CFReadStreamSetProperty(r, kCFStreamPropertyFTPPassword, pw);
  CFStreamClientContext ctx{0, &down, nullptr, nullptr, nullptr};
  CFReadStreamSetClient(r, 31, OnRead, &ctx);
  CFReadStreamScheduleWithRunLoop(r, CFRunLoopGetCurrent(), kCFRunLoopDefaultMode);
  double t0 = Now();
  CFReadStreamOpen(r);
  Wait(down);
  double t1 = Now();
  std::printf("download %zu MiB: %.2f s, %.1f MiB/s%s\n", size >> 20, t1 - t0, double(down.bytes) / 1048576 / (t1 - t0),
              down.failed || down.bytes != size ? " (FAILED)" : "");
  CFReadStreamClose(r);
  CFRelease(r);
  CFRelease(u);

  State up;
  up.toSend = size;
  u = URL(base + "/up.bin");
  CFWriteStreamRef w = CFWriteStreamCreateWithFTPURL(nullptr, u);
  CFWriteStreamSetProperty(w, kCFStreamPropertyFTPUserName, user);
  CFWriteStreamSetProperty(w, kCFStreamPropertyFTPPassword, pw);
  ctx.info = &up;
  CFWriteStreamSetClient(w, 31, OnWrite, &ctx);
  CFWriteStreamScheduleWithRunLoop(w, CFRunLoopGetCurrent(), kCFRunLoopDefaultMode);
  t0 = Now();
  CFWriteStreamOpen(w);
  Wait(up);
  t1 = Now();
  std::printf("upload %zu MiB: %.2f s, %.1f MiB/s%s\n", size >> 20, t1 - t0, double(up.sent) / 1048576 / (t1 - t0),
              up.failed ? " (FAILED)" : "");
  CFWriteStreamClose(w);
  CFRelease(w);
  CFRelease(u);

  kill(pid, SIGTERM);
  waitpid(pid, nullptr, 0);
  std::string rm = std::string("rm -rf '") + root + "'";
  return system(rm.c_str()) == 0 ? 0 : 1;
}
