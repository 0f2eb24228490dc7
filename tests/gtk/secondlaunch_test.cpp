// The real program started twice on one session bus: the second start, with
// another PHP file, hands the file to the running instance and ends at once,
// and the first instance shows it as a tab of its editor window (the window
// is photographed to build/second-launch.png).
#include <gtest/gtest.h>
// X's macros after the test framework's headers, which they would spoil.
#include <dlfcn.h>
#include <gdk/gdkx.h>
#include <gtk/gtk.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <X11/Xlib.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// X calls bound at run time.
struct X {
  decltype(&::XQueryTree) queryTree = nullptr;
  decltype(&::XGetWindowAttributes) attributes = nullptr;
  decltype(&::XFetchName) fetchName = nullptr;
  decltype(&::XFree) free = nullptr;
  Display* display = nullptr;
  bool Load() {
    void* x11 = dlopen("libX11.so.6", RTLD_NOW);
    if (x11 == nullptr) return false;
    queryTree = reinterpret_cast<decltype(queryTree)>(dlsym(x11, "XQueryTree"));
    attributes = reinterpret_cast<decltype(attributes)>(dlsym(x11, "XGetWindowAttributes"));
    fetchName = reinterpret_cast<decltype(fetchName)>(dlsym(x11, "XFetchName"));
    free = reinterpret_cast<decltype(free)>(dlsym(x11, "XFree"));
    display = gdk_x11_display_get_xdisplay(gdk_display_get_default());
    return queryTree && attributes && fetchName && free && display;
  }
} gX;

struct Places {
  std::string root;
  Places() {
    const char* tmp = getenv("TMPDIR");
    std::string base = std::string(tmp != nullptr ? tmp : "/tmp") + "/secondlaunch.XXXXXX";
    std::vector<char> name(base.begin(), base.end());
    name.push_back('\0');
    root = mkdtemp(name.data()) != nullptr ? name.data() : "";
    for (const char* d : {"home", "config", "data", "state", "cache", "tmp", "files"}) fs::create_directories(root + "/" + d);
  }
  ~Places() {
    std::error_code error;
    fs::remove_all(root, error);
  }
};

// A session bus of the test's own, so that the two starts find each other
// and nothing reaches an instance the person running the tests may have open.
struct PrivateBus {
  GPid pid = 0;
  std::string address;
  PrivateBus() {
    gchar* argv[] = {const_cast<gchar*>("dbus-daemon"), const_cast<gchar*>("--session"), const_cast<gchar*>("--nofork"),
                     const_cast<gchar*>("--print-address=1"), nullptr};
    gint out = -1;
    if (!g_spawn_async_with_pipes(nullptr, argv, nullptr, GSpawnFlags(G_SPAWN_SEARCH_PATH | G_SPAWN_DO_NOT_REAP_CHILD),
                                  nullptr, nullptr, &pid, nullptr, &out, nullptr, nullptr))
      return;
    // The daemon prints its address once it listens.
    char c = 0;
    while (read(out, &c, 1) == 1 && c != '\n') address += c;
    close(out);
  }
  ~PrivateBus() {
    if (pid == 0) return;
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
  }
};

// Starts the built program with the test's places and bus; its output goes
// to a log file.
pid_t Launch(const Places& places, const std::string& bus, const std::string& file) {
  const char* bundle = getenv("QUORVEL_BUNDLE");
  const std::string program = std::string(bundle != nullptr ? bundle : "") + "/Contents/MacOS/Quorvel";
  const pid_t pid = fork();
  if (pid != 0) return pid;
  setenv("HOME", (places.root + "/home").c_str(), 1);
  setenv("XDG_CONFIG_HOME", (places.root + "/config").c_str(), 1);
  setenv("XDG_DATA_HOME", (places.root + "/data").c_str(), 1);
  setenv("XDG_STATE_HOME", (places.root + "/state").c_str(), 1);
  setenv("XDG_CACHE_HOME", (places.root + "/cache").c_str(), 1);
  setenv("TMPDIR", (places.root + "/tmp").c_str(), 1);
  setenv("DBUS_SESSION_BUS_ADDRESS", bus.c_str(), 1);
  unsetenv("QUORVEL_HEADLESS");
  const std::string log = places.root + "/program.log";
  freopen(log.c_str(), "a", stdout);
  freopen(log.c_str(), "a", stderr);
  char* argv[] = {const_cast<char*>(program.c_str()), const_cast<char*>(file.c_str()), nullptr};
  execv(program.c_str(), argv);
  _exit(127);
}

// The viewable top-level windows and their titles.
std::vector<std::pair<Window, std::string>> TopWindows() {
  std::vector<std::pair<Window, std::string>> windows;
  Window root = DefaultRootWindow(gX.display), parent = 0, *children = nullptr;
  unsigned int count = 0;
  if (!gX.queryTree(gX.display, root, &root, &parent, &children, &count)) return windows;
  for (unsigned int i = 0; i < count; ++i) {
    XWindowAttributes attributes{};
    if (!gX.attributes(gX.display, children[i], &attributes) || attributes.map_state != IsViewable) continue;
    char* name = nullptr;
    std::string title;
    if (gX.fetchName(gX.display, children[i], &name) && name != nullptr) {
      title = name;
      gX.free(name);
    }
    windows.emplace_back(children[i], title);
  }
  if (children != nullptr) gX.free(children);
  return windows;
}

Window FindWindow(const std::string& text) {
  for (const auto& [window, title] : TopWindows())
    if (title.find(text) != std::string::npos) return window;
  return 0;
}

template <typename Condition>
bool WaitFor(Condition done) {
  for (int turn = 0; turn < 600; ++turn) {  // generous: the first start draws its artwork and caches
    if (done()) return true;
    g_usleep(50000);
  }
  return done();
}

std::string Read(const std::string& path) {
  std::ifstream in(path);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

bool Exited(pid_t pid, int* status) { return waitpid(pid, status, WNOHANG) == pid; }

std::string Titles() {
  std::string all;
  for (const auto& [window, title] : TopWindows()) all += "[" + title + "] ";
  return all;
}

TEST(SecondLaunch, ASecondStartWithAFileEndsAndTheRunningInstanceShowsTheFileAsATab) {
  ASSERT_TRUE(gtk_init_check(nullptr, nullptr));
  ASSERT_TRUE(gX.Load());
  Places places;
  ASSERT_FALSE(places.root.empty());
  PrivateBus bus;
  ASSERT_FALSE(bus.address.empty()) << "a private session bus starts";
  const std::string first = places.root + "/files/first.php", second = places.root + "/files/second.php";
  std::ofstream(first) << "<?php\necho \"first\";\n?>\n";
  std::ofstream(second) << "<?php\necho \"second\";\n?>\n";

  const pid_t running = Launch(places, bus.address, first);
  Window window = 0;
  ASSERT_TRUE(WaitFor([&] { return (window = FindWindow("first.php")) != 0; })) << Read(places.root + "/program.log");
  const size_t windowsBefore = TopWindows().size();

  const pid_t again = Launch(places, bus.address, second);
  int status = -1;
  const bool ended = WaitFor([&] { return Exited(again, &status); });
  if (!ended) {
    kill(again, SIGTERM);
    waitpid(again, &status, 0);
  }
  EXPECT_TRUE(ended) << "the second start ends by itself\n" << Read(places.root + "/program.log");
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;

  // The same window, now showing the second file: a tab, not a window of its own.
  EXPECT_TRUE(WaitFor([&] { return FindWindow("second.php") == window; }))
      << Titles() << "\n" << Read(places.root + "/program.log");
  EXPECT_EQ(TopWindows().size(), windowsBefore) << Titles();
  EXPECT_EQ(FindWindow("first.php"), Window(0)) << Titles();
  EXPECT_TRUE(Exited(running, &status) == false) << "the running instance goes on";
  g_usleep(300000);
  XWindowAttributes a{};
  gX.attributes(gX.display, window, &a);
  if (GdkPixbuf* shot = gdk_pixbuf_get_from_window(gdk_get_default_root_window(), a.x, a.y, a.width, a.height)) {
    gdk_pixbuf_save(shot, (std::string(QUORVEL_TEST_OUTPUT_DIR) + "/second-launch.png").c_str(), "png", nullptr,
                    nullptr);
    g_object_unref(shot);
  }

  kill(running, SIGTERM);
  waitpid(running, &status, 0);
}

}  // namespace
