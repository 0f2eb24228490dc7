// Drags: items and flavours, a drag between views of two windows with the
// control drag events and the window handlers in order, drops taken by
// receive handlers, drops into a folder outside the windows resolved through
// an alias record, and hostile alias bytes.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "Aliases.h"
#include "Drag.h"
#include "DragInternal.h"
#include "HIView.h"
#include "HeadlessHost.h"
#include "MacMemory.h"
#include "MacWindows.h"

namespace {

std::vector<std::string> gLog;

struct ViewDragLog {
  std::string label;
  bool accept = false;  // sets 'cldg' at enter
  bool take = false;    // answers noErr to receive
  std::vector<DragItemRef> received;
};

OSStatus ViewDragHandler(EventHandlerCallRef, EventRef event, void* data) {
  auto* v = static_cast<ViewDragLog*>(data);
  DragRef drag = nullptr;
  GetEventParameter(event, kEventParamDragRef, typeDragRef, nullptr, sizeof drag, nullptr, &drag);
  switch (GetEventKind(event)) {
    case kEventControlDragEnter: {
      gLog.push_back(v->label + " enter");
      Boolean yes = v->accept;
      SetEventParameter(event, kEventParamControlWouldAcceptDrop, typeBoolean, sizeof yes, &yes);
      return noErr;
    }
    case kEventControlDragWithin: gLog.push_back(v->label + " within"); return noErr;
    case kEventControlDragLeave: gLog.push_back(v->label + " leave"); return noErr;
    case kEventControlDragReceive: {
      gLog.push_back(v->label + " receive");
      UInt16 count = 0;
      CountDragItems(drag, &count);
      for (UInt16 i = 1; i <= count; ++i) {
        DragItemRef ref = 0;
        GetDragItemReferenceNumber(drag, i, &ref);
        v->received.push_back(ref);
      }
      return v->take ? noErr : OSStatus(eventNotHandledErr);
    }
  }
  return eventNotHandledErr;
}

OSErr TrackingHandler(DragTrackingMessage message, WindowRef, void* refCon, DragRef) {
  static const char* names[] = {"", "enter handler", "enter window", "in window", "leave window", "leave handler"};
  gLog.push_back(std::string(static_cast<const char*>(refCon)) + " " + names[message]);
  return noErr;
}

OSErr ReceiveTaking(WindowRef, void* refCon, DragRef) {
  gLog.push_back(std::string(static_cast<const char*>(refCon)) + " receive handler");
  return noErr;
}
OSErr ReceiveRefusing(WindowRef, void* refCon, DragRef) {
  gLog.push_back(std::string(static_cast<const char*>(refCon)) + " refusing handler");
  return dragNotAcceptedErr;
}

// A shown window at the global position with one drag-tracking view.
struct DragWindow {
  WindowRef window = nullptr;
  HIViewRef view = nullptr;
  ViewDragLog log;
  DragWindow(const char* label, SInt16 left) {
    log.label = label;
    Rect bounds{100, left, 300, SInt16(left + 200)};
    EXPECT_EQ(noErr, CreateNewWindow(kDocumentWindowClass, 0, &bounds, &window));
    HIRect frame{{20, 20}, {100, 100}};
    EXPECT_EQ(noErr, HIViewCreate(&frame, &view));
    HIViewAddSubview(HIViewGetRoot(window), view);
    HIViewSetVisible(view, true);
    SetAutomaticControlDragTrackingEnabledForWindow(window, true);
    SetControlDragTrackingEnabled(view, true);
    static const EventTypeSpec kinds[] = {{kEventClassControl, kEventControlDragEnter},
                                          {kEventClassControl, kEventControlDragWithin},
                                          {kEventClassControl, kEventControlDragLeave},
                                          {kEventClassControl, kEventControlDragReceive}};
    InstallEventHandler(HIViewGetEventTarget(view), ViewDragHandler, 4, kinds, &log, nullptr);
    ShowWindow(window);
  }
  ~DragWindow() { DisposeWindow(window); }
};

// Two items, three flavours each.
DragRef TwoItemDrag() {
  DragRef drag = nullptr;
  EXPECT_EQ(noErr, NewDrag(&drag));
  for (DragItemRef ref : {DragItemRef(11), DragItemRef(22)})
    for (FlavorType type : {FlavorType('utxt'), FlavorType('utf8'), FlavorType('TEXT')})
      EXPECT_EQ(noErr, AddDragItemFlavor(drag, ref, type, "ab", 2, 0));
  return drag;
}

class DragTest : public ::testing::Test {
 protected:
  void SetUp() override {
    gLog.clear();
    HeadlessClearDrags();
  }
  void TearDown() override { HeadlessClearDrags(); }
};

TEST_F(DragTest, ItemsAndFlavours) {
  DragRef drag = nullptr;
  ASSERT_EQ(noErr, NewDrag(&drag));
  EXPECT_EQ(noErr, AddDragItemFlavor(drag, 7, 'utf8', "hello", 5, 0));
  EXPECT_EQ(noErr, AddDragItemFlavor(drag, 7, 'TEXT', "hi", 2, flavorSenderOnly));
  EXPECT_EQ(duplicateFlavorErr, AddDragItemFlavor(drag, 7, 'utf8', "x", 1, 0));
  EXPECT_EQ(noErr, AddDragItemFlavor(drag, 9, 'phfs', nullptr, 0, 0));  // promised

  UInt16 count = 0, flavors = 0;
  EXPECT_EQ(noErr, CountDragItems(drag, &count));
  EXPECT_EQ(2, count);
  EXPECT_EQ(noErr, CountDragItemFlavors(drag, 7, &flavors));
  EXPECT_EQ(2, flavors);
  FlavorType type = 0;
  EXPECT_EQ(noErr, GetFlavorType(drag, 7, 2, &type));
  EXPECT_EQ(FlavorType('TEXT'), type);

  // Partial reads from an offset never run past the data.
  char buffer[16] = {};
  Size size = 3;
  EXPECT_EQ(noErr, GetFlavorData(drag, 7, 'utf8', buffer, &size, 1));
  EXPECT_EQ(3, size);
  EXPECT_EQ(0, std::memcmp(buffer, "ell", 3));
  size = sizeof buffer;
  EXPECT_EQ(noErr, GetFlavorData(drag, 7, 'utf8', buffer, &size, 99));
  EXPECT_EQ(0, size);

  // A promise reads empty until kept, then reads as written.
  FlavorFlags flags = 0;
  EXPECT_EQ(noErr, GetFlavorFlags(drag, 9, 'phfs', &flags));
  EXPECT_TRUE(flags & flavorDataPromised);
  EXPECT_EQ(noErr, SetDragItemFlavorData(drag, 9, 'phfs', "kept", 4, 2));
  EXPECT_EQ(noErr, GetFlavorDataSize(drag, 9, 'phfs', &size));
  EXPECT_EQ(6, size);

  struct Case {
    OSErr expected;
    OSErr got;
  } cases[] = {
      {badDragItemErr, CountDragItemFlavors(drag, 99, &flavors)},
      {badDragFlavorErr, GetFlavorType(drag, 7, 3, &type)},
      {badDragFlavorErr, GetFlavorDataSize(drag, 7, 'none', &size)},
      {badDragItemErr, [&] {
         DragItemRef ref = 0;
         return GetDragItemReferenceNumber(drag, 0, &ref);
       }()},
  };
  for (const Case& c : cases) EXPECT_EQ(c.expected, c.got);

  EXPECT_EQ(noErr, DisposeDrag(drag));
  EXPECT_EQ(badDragRefErr, CountDragItems(drag, &count));
  EXPECT_EQ(badDragRefErr, DisposeDrag(drag));
}

// A promised flavour stays empty inside the program; asked for by another
// program's drop, the sender's send proc makes it, once.
TEST_F(DragTest, APromisedFlavourIsMadeWhenAnotherProgramAsksForIt) {
  DragRef drag = nullptr;
  ASSERT_EQ(noErr, NewDrag(&drag));
  ASSERT_EQ(noErr, AddDragItemFlavor(drag, 3, 'furl', nullptr, 0, 0));
  struct Sent {
    int calls = 0;
    static OSErr Send(FlavorType type, void* refCon, DragItemRef item, DragRef d) {
      auto* sent = static_cast<Sent*>(refCon);
      ++sent->calls;
      const char uri[] = "file:///tmp/made.txt";
      if (type != 'furl') return OSErr(badDragFlavorErr);
      return SetDragItemFlavorData(d, item, type, uri, Size(sizeof uri - 1), 0);
    }
  } sent;
  ASSERT_EQ(noErr, SetDragSendProc(drag, NewDragSendDataUPP(Sent::Send), &sent));
  Size size = 99;
  EXPECT_EQ(noErr, GetFlavorDataSize(drag, 3, 'furl', &size));
  EXPECT_EQ(0, size);
  EXPECT_EQ(0, sent.calls);
  DragFlavorRecord* flavor = DragFulfilFlavor(drag, 3, 'furl');
  ASSERT_NE(flavor, nullptr);
  EXPECT_EQ(std::string(flavor->data.begin(), flavor->data.end()), "file:///tmp/made.txt");
  DragFulfilFlavor(drag, 3, 'furl');
  EXPECT_EQ(1, sent.calls);
  EXPECT_EQ(nullptr, DragFulfilFlavor(drag, 3, 'none'));
  EXPECT_EQ(noErr, DisposeDrag(drag));
}

TEST_F(DragTest, DragBetweenViewsOfTwoWindowsReceivesEachItemOnce) {
  DragWindow a("A", 0);
  DragWindow b("B", 400);
  b.log.accept = b.log.take = true;
  static char kA[] = "wA", kB[] = "wB";
  ASSERT_EQ(noErr, InstallTrackingHandler(TrackingHandler, a.window, kA));
  ASSERT_EQ(noErr, InstallTrackingHandler(TrackingHandler, b.window, kB));
  EXPECT_EQ(duplicateHandlerErr, InstallTrackingHandler(TrackingHandler, b.window, kB));

  DragRef drag = TwoItemDrag();
  HeadlessQueueDrag({{a.window, {50, 50}, 0, 0}, {b.window, {30, 30}, 0, 0}, {b.window, {60, 60}, 0, 0}}, nullptr);
  EventRecord down{mouseDown, 0, 0, Point{130, 30}, 0};  // over view A, global
  EXPECT_EQ(noErr, TrackDrag(drag, &down, nullptr));

  const std::vector<std::string> expected = {
      "wA enter handler", "wA enter window", "wA in window",    "A enter",  // the source view refuses
      "wA leave window",  "wA leave handler",
      "wB enter handler", "wB enter window", "wB in window",    "B enter",
      "B within",         "wB in window",    "B within",        "B leave",
      "wB leave window",  "B receive",       "wB leave handler",
  };
  EXPECT_EQ(expected, gLog);
  EXPECT_EQ((std::vector<DragItemRef>{11, 22}), b.log.received);

  DragAttributes attributes = 0;
  EXPECT_EQ(noErr, GetDragAttributes(drag, &attributes));
  EXPECT_TRUE(attributes & kDragHasLeftSenderWindow);
  Point mouse{}, origin{};
  GetDragMouse(drag, &mouse, nullptr);
  GetDragOrigin(drag, &origin);
  EXPECT_EQ(460, mouse.h);
  EXPECT_EQ(160, mouse.v);
  EXPECT_EQ(30, origin.h);
  EXPECT_EQ(130, origin.v);
  DisposeDrag(drag);
  RemoveTrackingHandler(TrackingHandler, a.window);
  EXPECT_EQ(noErr, RemoveTrackingHandler(TrackingHandler, b.window));
  EXPECT_EQ(handlerNotFoundErr, RemoveTrackingHandler(TrackingHandler, b.window));
}

TEST_F(DragTest, DropsTheViewRefusesGoToReceiveHandlersInTurn) {
  DragWindow b("B", 400);
  b.log.accept = true;  // accepts, but its receive does not take the drop
  static char kOwn[] = "own", kAll[] = "all";
  ASSERT_EQ(noErr, InstallReceiveHandler(ReceiveRefusing, b.window, kOwn));
  ASSERT_EQ(noErr, InstallReceiveHandler(ReceiveTaking, nullptr, kAll));
  DragRef drag = TwoItemDrag();
  HeadlessQueueDrag({{b.window, {50, 50}, 0, 0}}, nullptr);
  EXPECT_EQ(noErr, TrackDrag(drag, nullptr, nullptr));
  EXPECT_EQ((std::vector<std::string>{"B enter", "B within", "B leave", "B receive", "own refusing handler",
                                      "all receive handler"}),
            gLog);

  // Refused everywhere: the drag comes back.
  RemoveReceiveHandler(ReceiveTaking, nullptr);
  gLog.clear();
  HeadlessQueueDrag({{b.window, {50, 50}, 0, 0}}, nullptr);
  EXPECT_EQ(userCanceledErr, TrackDrag(drag, nullptr, nullptr));
  // Without a queued path the drag ends at once, with no drop.
  gLog.clear();
  EXPECT_EQ(userCanceledErr, TrackDrag(drag, nullptr, nullptr));
  EXPECT_TRUE(gLog.empty());
  RemoveReceiveHandler(ReceiveRefusing, b.window);
  DisposeDrag(drag);
}

class DropFolderTest : public DragTest {
 protected:
  void SetUp() override {
    DragTest::SetUp();
    const char* tmp = getenv("TMPDIR");
    folder_ = std::string(tmp ? tmp : "/tmp") + "/drop-folder-" + std::to_string(getpid());
    mkdir(folder_.c_str(), 0755);
  }
  void TearDown() override {
    rmdir(folder_.c_str());
    rmdir((folder_ + "-moved").c_str());
    DragTest::TearDown();
  }
  std::string folder_;
};

TEST_F(DropFolderTest, DropOutsideTheWindowsNamesTheFolderAsAnAlias) {
  FSRef folder{};
  ASSERT_EQ(noErr, FSPathMakeRef(reinterpret_cast<const UInt8*>(folder_.c_str()), &folder, nullptr));
  DragRef drag = TwoItemDrag();
  HeadlessQueueDrag({{nullptr, {5000, 5000}, 0, 0}}, &folder);
  EXPECT_EQ(noErr, TrackDrag(drag, nullptr, nullptr));

  AEDesc location;
  ASSERT_EQ(noErr, GetDropLocation(drag, &location));
  ASSERT_EQ(DescType(typeAlias), location.descriptorType);
  Handle alias = NewHandle(AEGetDescDataSize(&location));
  AEGetDescData(&location, *alias, GetHandleSize(alias));
  AEDisposeDesc(&location);

  // Found again after the folder moved.
  const std::string moved = folder_ + "-moved";
  const std::string newName = moved.substr(moved.rfind('/') + 1);
  std::vector<UniChar> name(newName.begin(), newName.end());
  FSRef renamed{};
  ASSERT_EQ(noErr, FSRenameUnicode(&folder, name.size(), name.data(), kTextEncodingUnicodeDefault, &renamed));
  FSRef resolved{};
  Boolean changed = false;
  ASSERT_EQ(noErr, FSResolveAlias(nullptr, alias, &resolved, &changed));
  char path[1024] = {};
  ASSERT_EQ(noErr, FSRefMakePath(&resolved, reinterpret_cast<UInt8*>(path), sizeof path));
  EXPECT_EQ(moved, std::string(path));
  EXPECT_TRUE(changed);
  DisposeHandle(alias);

  // A drop on no window and no folder is nobody's.
  HeadlessQueueDrag({{nullptr, {5000, 5000}, 0, 0}}, nullptr);
  EXPECT_EQ(userCanceledErr, TrackDrag(drag, nullptr, nullptr));
  ASSERT_EQ(noErr, GetDropLocation(drag, &location));
  EXPECT_EQ(DescType(typeNull), location.descriptorType);
  DisposeDrag(drag);
}

TEST(Aliases, MalformedRecordsAreRefused) {
  FSRef home{};
  const char* tmp = getenv("TMPDIR");
  ASSERT_EQ(noErr, FSPathMakeRef(reinterpret_cast<const UInt8*>(tmp ? tmp : "/tmp"), &home, nullptr));
  Handle good = nullptr;
  ASSERT_EQ(noErr, FSNewAlias(nullptr, &home, &good));
  const Size size = GetHandleSize(good);
  std::string bytes(*good, size_t(size));

  auto resolve = [](const std::string& b) {
    Handle h = nullptr;
    PtrToHand(b.data(), &h, long(b.size()));
    FSRef out{};
    OSErr status = FSResolveAlias(nullptr, h, &out, nullptr);
    DisposeHandle(h);
    return status;
  };
  EXPECT_EQ(noErr, resolve(bytes));
  std::string badMagic = bytes;
  badMagic[0] = 'X';
  std::string longer = bytes + "x";
  std::string lengthTooBig = bytes;
  lengthTooBig[8 + 80] = char(0x7F);
  for (const std::string& b : {bytes.substr(0, 10), bytes.substr(0, size_t(size) - 1), badMagic, longer,
                               lengthTooBig, std::string()})
    EXPECT_EQ(paramErr, resolve(b)) << b.size();
  EXPECT_EQ(paramErr, FSResolveAlias(nullptr, nullptr, &home, nullptr));
  DisposeHandle(good);
}

TEST_F(DragTest, TimersFireWhileTheDragRests) {
  DragWindow b("B", 400);
  int fired = 0;
  EventLoopTimerRef timer = nullptr;
  HeadlessUseVirtualClock(true);
  InstallEventLoopTimer(
      GetMainEventLoop(), 0.1, 0, [](EventLoopTimerRef, void* data) { ++*static_cast<int*>(data); }, &fired, &timer);
  HeadlessQueueDrag({{b.window, {50, 50}, 0, 0.5}}, nullptr);
  DragRef drag = TwoItemDrag();
  TrackDrag(drag, nullptr, nullptr);
  EXPECT_EQ(1, fired);
  RemoveEventLoopTimer(timer);
  HeadlessUseVirtualClock(false);
  DisposeDrag(drag);
}

}  // namespace
