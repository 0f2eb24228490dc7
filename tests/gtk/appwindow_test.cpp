// The real program on a display: started with a PHP file on its command
// line it shows the file in an editor window; typing goes into the document
// (saved and read back from disk), the window is photographed to
// build/editor-window.png, and after a quit the next start reopens the file.
#include <gtest/gtest.h>
// X's macros after the test framework's headers, which they would spoil.
#include <dlfcn.h>
#include <gdk/gdkx.h>
#include <gtk/gtk.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <X11/Xlib.h>
#include <X11/keysym.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// X calls bound at run time: the test extension and the key tables.
struct X {
  using FakeKey = int (*)(Display*, unsigned int, int, unsigned long);
  using ToKeycode = KeyCode (*)(Display*, KeySym);
  using ToKeysym = KeySym (*)(Display*, KeyCode, int);
  FakeKey fakeKey = nullptr;
  ToKeycode toKeycode = nullptr;
  ToKeysym toKeysym = nullptr;
  decltype(&::XQueryTree) queryTree = nullptr;
  decltype(&::XGetWindowAttributes) attributes = nullptr;
  decltype(&::XFetchName) fetchName = nullptr;
  decltype(&::XFree) free = nullptr;
  decltype(&::XFlush) flush = nullptr;
  decltype(&::XSetInputFocus) setInputFocus = nullptr;
  Display* display = nullptr;
  bool Load() {
    void* xtst = dlopen("libXtst.so.6", RTLD_NOW);
    void* x11 = dlopen("libX11.so.6", RTLD_NOW);
    if (xtst == nullptr || x11 == nullptr) return false;
    fakeKey = reinterpret_cast<FakeKey>(dlsym(xtst, "XTestFakeKeyEvent"));
    toKeycode = reinterpret_cast<ToKeycode>(dlsym(x11, "XKeysymToKeycode"));
    toKeysym = reinterpret_cast<ToKeysym>(dlsym(x11, "XKeycodeToKeysym"));
    queryTree = reinterpret_cast<decltype(queryTree)>(dlsym(x11, "XQueryTree"));
    attributes = reinterpret_cast<decltype(attributes)>(dlsym(x11, "XGetWindowAttributes"));
    fetchName = reinterpret_cast<decltype(fetchName)>(dlsym(x11, "XFetchName"));
    free = reinterpret_cast<decltype(free)>(dlsym(x11, "XFree"));
    flush = reinterpret_cast<decltype(flush)>(dlsym(x11, "XFlush"));
    setInputFocus = reinterpret_cast<decltype(setInputFocus)>(dlsym(x11, "XSetInputFocus"));
    display = gdk_x11_display_get_xdisplay(gdk_display_get_default());
    return fakeKey && toKeycode && toKeysym && queryTree && attributes && fetchName && free && flush &&
           setInputFocus && display;
  }
  void Key(KeySym sym, bool shift = false, bool control = false) {
    const KeyCode code = toKeycode(display, sym);
    const KeyCode shiftCode = toKeycode(display, XK_Shift_L), controlCode = toKeycode(display, XK_Control_L);
    if (control) fakeKey(display, controlCode, True, 0);
    if (shift) fakeKey(display, shiftCode, True, 0);
    fakeKey(display, code, True, 0);
    fakeKey(display, code, False, 0);
    if (shift) fakeKey(display, shiftCode, False, 0);
    if (control) fakeKey(display, controlCode, False, 0);
    flush(display);
    g_usleep(15000);
  }
  void Type(const std::string& text) {
    for (char c : text) {
      KeySym sym = c == '\n' ? XK_Return : KeySym(static_cast<unsigned char>(c));
      const KeyCode code = toKeycode(display, sym);
      Key(sym, code != 0 && toKeysym(display, code, 0) != sym);
    }
  }
} gX;

struct Places {
  std::string root;
  Places() {
    char pattern[] = "/tmp/quorvel-appwindow.XXXXXX";
    const char* tmp = getenv("TMPDIR");
    std::string base = std::string(tmp != nullptr ? tmp : "/tmp") + "/appwindow.XXXXXX";
    std::vector<char> name(base.begin(), base.end());
    name.push_back('\0');
    root = mkdtemp(name.data()) != nullptr ? name.data() : mkdtemp(pattern);
    for (const char* d : {"home", "config", "data", "state", "cache", "tmp", "files"}) fs::create_directories(root + "/" + d);
  }
  ~Places() {
    std::error_code error;
    fs::remove_all(root, error);
  }
};

// Starts the built program with its own places and no session bus (so that
// it is its own running instance); its output goes to a log file.
pid_t Launch(const Places& places, const std::vector<std::string>& files) {
  const char* bundle = getenv("QUORVEL_BUNDLE");
  const std::string program = std::string(bundle != nullptr ? bundle : "") + "/Contents/MacOS/Quorvel";
  const pid_t pid = fork();
  if (pid != 0) return pid;
  for (const char* d : {"home", "config", "data", "state", "cache", "tmp"}) {
    std::string upper = d == std::string("tmp") ? "TMPDIR" : std::string("XDG_") + d + "_HOME";
    for (char& ch : upper) ch = char(toupper(ch));
    if (std::string(d) == "home") upper = "HOME";
    setenv(upper.c_str(), (places.root + "/" + d).c_str(), 1);
  }
  unsetenv("QUORVEL_HEADLESS");
  unsetenv("DBUS_SESSION_BUS_ADDRESS");
  const std::string log = places.root + "/program.log";
  freopen(log.c_str(), "a", stdout);
  freopen(log.c_str(), "a", stderr);
  std::vector<char*> argv{const_cast<char*>(program.c_str())};
  for (const std::string& f : files) argv.push_back(const_cast<char*>(f.c_str()));
  argv.push_back(nullptr);
  execv(program.c_str(), argv.data());
  _exit(127);
}

// The viewable top-level window whose title holds the text; 0 when none.
Window FindWindow(const std::string& text) {
  Window root = DefaultRootWindow(gX.display), parent = 0, *children = nullptr;
  unsigned int count = 0;
  Window found = 0;
  if (!gX.queryTree(gX.display, root, &root, &parent, &children, &count)) return 0;
  for (unsigned int i = 0; i < count && found == 0; ++i) {
    XWindowAttributes attributes{};
    if (!gX.attributes(gX.display, children[i], &attributes) || attributes.map_state != IsViewable) continue;
    char* name = nullptr;
    if (gX.fetchName(gX.display, children[i], &name) && name != nullptr) {
      if (std::string(name).find(text) != std::string::npos) found = children[i];
      gX.free(name);
    }
  }
  if (children != nullptr) gX.free(children);
  return found;
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

void Photograph(Window window, const std::string& path) {
  XWindowAttributes a{};
  gX.attributes(gX.display, window, &a);
  GdkWindow* root = gdk_get_default_root_window();
  GdkPixbuf* shot = gdk_pixbuf_get_from_window(root, a.x, a.y, a.width, a.height);
  ASSERT_NE(shot, nullptr);
  EXPECT_TRUE(gdk_pixbuf_save(shot, path.c_str(), "png", nullptr, nullptr));
  g_object_unref(shot);
}

TEST(AppWindow, ThePhpFileOnTheCommandLineOpensTakesTypingAndComesBackAfterAQuit) {
  ASSERT_TRUE(gtk_init_check(nullptr, nullptr));
  ASSERT_TRUE(gX.Load());
  Places places;
  const std::string file = places.root + "/files/hello.php";
  std::ofstream(file) << "<?php\n// A greeting.\n$name = \"world\";\necho \"Hello, $name!\\n\";\n?>\n";

  pid_t pid = Launch(places, {file});
  Window window = 0;
  ASSERT_TRUE(WaitFor([&] { return (window = FindWindow("hello.php")) != 0; }))
      << Read(places.root + "/program.log");
  gX.setInputFocus(gX.display, window, RevertToParent, CurrentTime);
  gX.flush(gX.display);
  g_usleep(300000);

  // Into the PHP block, above its closing line: the caret starts past the end.
  gX.Key(XK_Up);
  gX.Type("$count = 42; // typed here\necho $count;\n");
  g_usleep(300000);
  Photograph(window, std::string(QUORVEL_TEST_OUTPUT_DIR) + "/editor-window.png");

  gX.Key(XK_s, false, true);  // save
  ASSERT_TRUE(WaitFor([&] { return Read(file).find("$count = 42;") != std::string::npos; }))
      << "the typed text reaches the document: " << Read(file);
  EXPECT_NE(Read(file).find("\n$count = 42; // typed here\necho $count;\n?>"), std::string::npos) << Read(file);
  EXPECT_EQ(Read(file).rfind("<?php\n// A greeting.\n$name = \"world\";\n", 0), 0u) << Read(file);

  gX.Key(XK_q, false, true);  // quit
  int status = -1;
  ASSERT_TRUE(WaitFor([&] { return Exited(pid, &status); })) << Read(places.root + "/program.log");
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

  // The next start, with nothing on its command line, reopens the file.
  pid = Launch(places, {});
  EXPECT_TRUE(WaitFor([&] { return FindWindow("hello.php") != 0; })) << Read(places.root + "/program.log");
  kill(pid, SIGTERM);
  waitpid(pid, &status, 0);
}

}  // namespace

namespace {

// A start with nothing to open shows an empty editor window, so there is
// always a window and its menus; closing that last window ends the run.
TEST(AppWindow, AStartWithNothingToOpenShowsAnEditorAndClosingItEndsTheRun) {
  ASSERT_TRUE(gtk_init_check(nullptr, nullptr));
  ASSERT_TRUE(gX.Load());
  Places places;
  const pid_t pid = Launch(places, {});
  Window window = 0;
  ASSERT_TRUE(WaitFor([&] { return (window = FindWindow("")) != 0; })) << Read(places.root + "/program.log");
  gX.setInputFocus(gX.display, window, RevertToParent, CurrentTime);
  gX.flush(gX.display);
  g_usleep(300000);
  gX.Key(XK_w, false, true);  // close
  int status = -1;
  const bool ended = WaitFor([&] { return Exited(pid, &status); });
  if (!ended) {
    kill(pid, SIGTERM);
    waitpid(pid, &status, 0);
  }
  EXPECT_TRUE(ended) << Read(places.root + "/program.log");
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

}  // namespace
