// Folder change notifications over real inotify events: changes made by
// another process reach subscribers on the main loop, bursts are told once,
// ending a subscription stops it, and FNNotify is heard inside the call.
#include <gtest/gtest.h>

#include <glib.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "Files.h"

namespace {

namespace fs = std::filesystem;

struct Heard {
  FNMessage message;
  OptionBits flags;
  FNSubscriptionRef subscription;
};

// What a subscriber heard; `then` runs after each notification.
struct Listener {
  std::vector<Heard> heard;
  std::function<void(FNSubscriptionRef)> then;
};

void Record(FNMessage message, OptionBits flags, void* refcon, FNSubscriptionRef subscription) {
  auto* listener = static_cast<Listener*>(refcon);
  listener->heard.push_back({message, flags, subscription});
  if (listener->then) listener->then(subscription);
}

class ChangeNotificationsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root = fs::path(g_get_tmp_dir()) / ("notify-" + std::to_string(getpid()));
    fs::remove_all(root);
    fs::create_directories(root);
  }
  void TearDown() override {
    for (FNSubscriptionRef s : live) FNUnsubscribe(s);
    fs::remove_all(root);
  }

  fs::path Folder(const std::string& name) {
    fs::path p = root / name;
    fs::create_directories(p);
    return p;
  }

  static FSRef Ref(const fs::path& path) {
    FSRef ref{};
    EXPECT_EQ(FSPathMakeRef(reinterpret_cast<const UInt8*>(path.c_str()), &ref, nullptr), noErr) << path;
    return ref;
  }

  FNSubscriptionRef Subscribe(const fs::path& folder, Listener* listener) {
    FSRef ref = Ref(folder);
    FNSubscriptionRef s = nullptr;
    EXPECT_EQ(FNSubscribe(&ref, NewFNSubscriptionUPP(Record), listener, 0, &s), noErr);
    if (s) live.push_back(s);
    return s;
  }

  void Unsubscribe(FNSubscriptionRef s) {
    EXPECT_EQ(FNUnsubscribe(s), noErr);
    std::erase(live, s);
  }

  // Runs the main loop until the listener has heard something. The guard
  // only keeps a broken build from hanging; nothing here is timed.
  static bool WaitFor(const Listener& listener) {
    bool gaveUp = false;
    guint guard = g_timeout_add_seconds(20, [](gpointer flag) {
      *static_cast<bool*>(flag) = true;
      return G_SOURCE_REMOVE;
    }, &gaveUp);
    while (listener.heard.empty() && !gaveUp) g_main_context_iteration(nullptr, TRUE);
    if (!gaveUp) g_source_remove(guard);
    return !listener.heard.empty();
  }

  // Makes a change in a folder of its own and waits until it is heard: every
  // change made before it has then been told too.
  void Settle() {
    static int n = 0;
    Listener sentinel;
    fs::path folder = Folder("sentinel" + std::to_string(++n));
    FNSubscriptionRef s = Subscribe(folder, &sentinel);
    std::ofstream(folder / "touch") << "x";
    ASSERT_TRUE(WaitFor(sentinel));
    Unsubscribe(s);
  }

  static void Run(const std::string& command) { ASSERT_EQ(std::system(command.c_str()), 0) << command; }

  fs::path root;
  std::vector<FNSubscriptionRef> live;
};

TEST_F(ChangeNotificationsTest, ChangesByAnotherProcessReachTheMainLoop) {
  struct {
    const char* what;
    const char* command;  // run by sh in the subscribed folder
  } cases[] = {
      {"a file written", "printf 'new text' > page.html"},
      {"a file created", "touch fresh.txt"},
      {"a file deleted", "rm old.txt"},
      {"a file renamed", "mv old.txt renamed.txt"},
      {"a folder made", "mkdir images"},
      {"the folder itself removed", "cd .. && rm -r \"$OLDPWD\""},
  };
  int i = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    fs::path folder = Folder("case" + std::to_string(i++));
    std::ofstream(folder / "page.html") << "old text";
    std::ofstream(folder / "old.txt") << "x";
    Listener listener;
    FNSubscriptionRef s = Subscribe(folder, &listener);
    ASSERT_NE(s, nullptr);
    Run("cd '" + folder.string() + "' && " + c.command);
    ASSERT_TRUE(WaitFor(listener));
    EXPECT_EQ(listener.heard[0].message, kFNDirectoryModifiedMessage);
    EXPECT_EQ(listener.heard[0].flags, 0u);
    EXPECT_EQ(listener.heard[0].subscription, s);
    Unsubscribe(s);
  }
}

TEST_F(ChangeNotificationsTest, BurstsAreToldOnceAndChangesElsewhereNotAtAll) {
  fs::path busy = Folder("busy");
  fs::path quiet = Folder("quiet");
  fs::create_directories(busy / "inner");
  Listener busyListener, quietListener;
  Subscribe(busy, &busyListener);
  Subscribe(quiet, &quietListener);

  // A copy of a folder of pages: many changes, one after the other.
  constexpr int kFiles = 40;
  Run("cd '" + busy.string() + "' && for i in $(seq " + std::to_string(kFiles) +
      "); do echo page > p$i.html; done && mv p1.html first.html && rm p2.html");
  // Changes inside a sub-folder are that folder's news, not its parent's.
  std::ofstream(busy / "inner" / "deep.txt") << "x";
  ASSERT_TRUE(WaitFor(busyListener));
  Settle();
  EXPECT_GE(busyListener.heard.size(), 1u);
  EXPECT_LT(busyListener.heard.size(), size_t(kFiles) / 4) << "a burst is told as a few notifications";
  EXPECT_TRUE(quietListener.heard.empty());
}

TEST_F(ChangeNotificationsTest, EndingASubscriptionStopsItsNotifications) {
  fs::path folder = Folder("site");
  Listener ended, kept, selfEnding;
  FNSubscriptionRef s = Subscribe(folder, &ended);
  Subscribe(folder, &kept);
  // A subscriber may end its own subscription when it hears of a change.
  Subscribe(folder, &selfEnding);
  selfEnding.then = [this](FNSubscriptionRef self) { Unsubscribe(self); };

  // Ended right after a change, before the main loop ran: not told of it.
  std::ofstream(folder / "a.html") << "x";
  Unsubscribe(s);
  ASSERT_TRUE(WaitFor(kept));
  Settle();
  std::ofstream(folder / "b.html") << "x";
  size_t before = kept.heard.size();
  while (kept.heard.size() == before) g_main_context_iteration(nullptr, TRUE);
  Settle();

  EXPECT_TRUE(ended.heard.empty());
  EXPECT_EQ(selfEnding.heard.size(), 1u);
  EXPECT_EQ(FNUnsubscribe(s), paramErr);
  EXPECT_EQ(FNUnsubscribe(nullptr), paramErr);
}

TEST_F(ChangeNotificationsTest, NotifyReachesTheFolderSubscribersAtOnce) {
  fs::path folder = Folder("site");
  fs::path other = Folder("site/sub");
  Listener first, second, third, elsewhere;
  FNSubscriptionRef a = Subscribe(folder, &first);
  FNSubscriptionRef b = Subscribe(folder, &second);
  FNSubscriptionRef c = Subscribe(folder, &third);
  Subscribe(other, &elsewhere);
  std::vector<int> order;
  first.then = [&](FNSubscriptionRef) { order.push_back(1); };
  // The second subscriber ends the third's subscription: the third is not called.
  second.then = [&](FNSubscriptionRef) {
    order.push_back(2);
    Unsubscribe(c);
  };
  third.then = [&](FNSubscriptionRef) { order.push_back(3); };

  FSRef ref = Ref(folder);
  ASSERT_EQ(FNNotify(&ref, kFNDirectoryModifiedMessage, 7), noErr);
  EXPECT_EQ(order, (std::vector<int>{1, 2}));
  ASSERT_EQ(first.heard.size(), 1u);
  EXPECT_EQ(first.heard[0].message, kFNDirectoryModifiedMessage);
  EXPECT_EQ(first.heard[0].flags, 7u);
  EXPECT_EQ(first.heard[0].subscription, a);
  EXPECT_EQ(second.heard[0].subscription, b);
  EXPECT_TRUE(elsewhere.heard.empty());
}

TEST_F(ChangeNotificationsTest, RefusedSubscriptions) {
  fs::path folder = Folder("site");
  std::ofstream(folder / "page.html") << "x";
  FSRef file = Ref(folder / "page.html");
  FSRef gone = Ref(Folder("gone"));
  fs::remove(root / "gone");
  FSRef zeros{};
  FSRef good = Ref(folder);
  Listener listener;
  FNSubscriptionUPP upp = NewFNSubscriptionUPP(Record);
  struct {
    const char* what;
    const FSRef* ref;
    FNSubscriptionUPP callback;
    bool wantsResult;
    OSStatus status;
  } cases[] = {
      {"no folder", nullptr, upp, true, paramErr},
      {"no callback", &good, nullptr, true, paramErr},
      {"no result", &good, upp, false, paramErr},
      {"a file", &file, upp, true, errFSNotAFolder},
      {"a folder deleted", &gone, upp, true, fnfErr},
      {"no FSRef", &zeros, upp, true, errFSBadFSRef},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    FNSubscriptionRef s = reinterpret_cast<FNSubscriptionRef>(&listener);
    EXPECT_EQ(FNSubscribe(c.ref, c.callback, &listener, 0, c.wantsResult ? &s : nullptr), c.status);
    if (c.wantsResult) EXPECT_EQ(s, nullptr);
  }
  EXPECT_EQ(FNNotify(&gone, kFNDirectoryModifiedMessage, 0), fnfErr);
  EXPECT_EQ(FNNotify(nullptr, kFNDirectoryModifiedMessage, 0), paramErr);
  EXPECT_TRUE(listener.heard.empty());
  DisposeFNSubscriptionUPP(upp);
}

}  // namespace
