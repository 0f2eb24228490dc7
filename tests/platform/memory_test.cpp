#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "MacMemory.h"

namespace {

std::string Contents(Handle h) { return std::string(*h, size_t(GetHandleSize(h))); }

Handle HandleOf(const std::string& text) {
  Handle h = nullptr;
  EXPECT_EQ(PtrToHand(text.data(), &h, long(text.size())), noErr);
  return h;
}

TEST(MemoryBlocks, ValidityOnlyForLiveBlockStarts) {
  Ptr block = NewPtr(16);
  Ptr empty1 = NewPtr(0);
  Ptr empty2 = NewPtr(0);
  ASSERT_NE(block, nullptr);
  ASSERT_NE(empty1, nullptr);
  ASSERT_NE(empty2, nullptr);
  EXPECT_NE(empty1, empty2);

  char onStack[16];
  char* fromMalloc = static_cast<char*>(std::malloc(16));
  Handle h = NewHandle(8);

  struct Case {
    const char* what;
    Ptr p;
    bool valid;
  } cases[] = {
      {"live block", block, true},
      {"zero-size block", empty1, true},
      {"other zero-size block", empty2, true},
      {"nil", nullptr, false},
      {"interior pointer", block + 1, false},
      {"last byte", block + 15, false},
      {"stack memory", onStack, false},
      {"heap memory not from NewPtr", fromMalloc, false},
      {"handle contents", *h, false},
      {"master pointer of a handle", reinterpret_cast<Ptr>(h), false},
  };
  for (const Case& c : cases) EXPECT_EQ(bool(IsPointerValid(c.p)), c.valid) << c.what;

  EXPECT_EQ(GetPtrSize(block), 16);
  EXPECT_EQ(GetPtrSize(empty1), 0);
  EXPECT_EQ(MemError(), noErr);
  EXPECT_EQ(GetPtrSize(block + 1), 0);
  EXPECT_EQ(MemError(), memWZErr);

  DisposePtr(block);
  EXPECT_EQ(MemError(), noErr);
  EXPECT_FALSE(IsPointerValid(block));
  EXPECT_EQ(GetPtrSize(block), 0);

  DisposePtr(empty1);
  DisposePtr(empty2);
  DisposeHandle(h);
  std::free(fromMalloc);
}

TEST(MemoryBlocks, DisposingNonBlocksIsHarmless) {
  Ptr block = NewPtrClear(8);
  char onStack[8] = {1, 2, 3, 4, 5, 6, 7, 8};

  DisposePtr(block + 4);  // interior: the block survives
  EXPECT_EQ(MemError(), memWZErr);
  EXPECT_TRUE(IsPointerValid(block));

  DisposePtr(onStack);
  EXPECT_EQ(MemError(), memWZErr);
  EXPECT_EQ(onStack[0], 1);

  DisposePtr(nullptr);
  EXPECT_EQ(MemError(), noErr);

  DisposePtr(block);
  EXPECT_EQ(MemError(), noErr);
  DisposePtr(block);  // twice
  EXPECT_EQ(MemError(), memWZErr);

  DisposeHandle(reinterpret_cast<Handle>(onStack));
  EXPECT_EQ(MemError(), memWZErr);
  Handle h = NewHandle(4);
  DisposeHandle(h);
  EXPECT_EQ(MemError(), noErr);
  EXPECT_FALSE(IsHandleValid(h));
  DisposeHandle(h);
  EXPECT_EQ(MemError(), memWZErr);
}

TEST(MemoryBlocks, SizesAndFailures) {
  Ptr clear = NewPtrClear(64);
  ASSERT_NE(clear, nullptr);
  for (int i = 0; i < 64; ++i) ASSERT_EQ(clear[i], 0);

  std::memcpy(clear, "abcdefgh", 8);
  SetPtrSize(clear, 4);  // shrinking never moves
  EXPECT_EQ(MemError(), noErr);
  EXPECT_EQ(GetPtrSize(clear), 4);
  EXPECT_EQ(std::memcmp(clear, "abcd", 4), 0);
  SetPtrSize(clear, Size(1) << 36);  // cannot grow in place
  EXPECT_EQ(MemError(), memFullErr);
  EXPECT_EQ(GetPtrSize(clear), 4);
  SetPtrSize(clear, -1);
  EXPECT_EQ(MemError(), paramErr);
  EXPECT_EQ(GetPtrSize(clear), 4);
  DisposePtr(clear);

  EXPECT_EQ(NewPtr(-1), nullptr);
  EXPECT_EQ(MemError(), paramErr);
  EXPECT_EQ(NewPtr(Size(1) << 50), nullptr);
  EXPECT_EQ(MemError(), memFullErr);
  EXPECT_EQ(NewHandle(Size(1) << 50), nullptr);
  EXPECT_EQ(MemError(), memFullErr);
}

TEST(MemoryBlocks, BlockMoveAllowsOverlapAndIgnoresBadArguments) {
  char buf[] = "abcdefgh";
  BlockMoveData(buf, buf + 2, 5);
  EXPECT_STREQ(buf, "ababcdeh");
  BlockMove(buf + 2, buf, 5);
  EXPECT_STREQ(buf, "abcdedeh");
  BlockMoveData(nullptr, buf, 4);
  BlockMoveData(buf, nullptr, 4);
  BlockMoveData(buf + 1, buf, -3);
  BlockZero(buf, -1);
  EXPECT_STREQ(buf, "abcdedeh");
  BlockZero(buf + 6, 2);
  EXPECT_STREQ(buf, "abcded");
}

TEST(MemoryHandles, ResizingKeepsContents) {
  Handle h = HandleOf("hello");
  ASSERT_NE(h, nullptr);
  EXPECT_TRUE(IsHandleValid(h));
  EXPECT_EQ(Contents(h), "hello");

  // Far past any slack, so the contents move.
  SetHandleSize(h, 1 << 20);
  EXPECT_EQ(MemError(), noErr);
  EXPECT_EQ(GetHandleSize(h), 1 << 20);
  EXPECT_EQ(std::memcmp(*h, "hello", 5), 0);
  EXPECT_FALSE(IsPointerValid(*h));

  SetHandleSize(h, 2);
  EXPECT_EQ(Contents(h), "he");

  EmptyHandle(h);
  EXPECT_TRUE(IsHandleValid(h));
  EXPECT_EQ(*h, nullptr);
  EXPECT_EQ(GetHandleSize(h), 0);
  SetHandleSize(h, 3);  // an empty handle gets contents again
  EXPECT_EQ(MemError(), noErr);
  std::memcpy(*h, "xyz", 3);
  EXPECT_EQ(Contents(h), "xyz");
  DisposeHandle(h);
}

TEST(MemoryHandles, LockedContentsDoNotMove) {
  Handle h = HandleOf("keep");
  HLock(h);
  EXPECT_EQ(UInt8(HGetState(h)) & kHandleLockedMask, kHandleLockedMask);
  Ptr before = *h;
  SetHandleSize(h, 1 << 20);
  EXPECT_EQ(MemError(), memFullErr);
  EXPECT_EQ(*h, before);
  EXPECT_EQ(Contents(h), "keep");
  EmptyHandle(h);
  EXPECT_EQ(MemError(), memFullErr);
  EXPECT_EQ(Contents(h), "keep");

  HUnlock(h);
  EXPECT_EQ(UInt8(HGetState(h)) & kHandleLockedMask, 0);
  SetHandleSize(h, 1 << 20);
  EXPECT_EQ(MemError(), noErr);
  SInt8 state = HGetState(h);
  HSetState(h, SInt8(kHandleLockedMask));
  HSetState(h, state);
  EXPECT_EQ(HGetState(h), state);
  DisposeHandle(h);

  HLock(reinterpret_cast<Handle>(&before));  // not a handle: nothing happens
  EXPECT_EQ(MemError(), memWZErr);
}

TEST(MemoryHandles, CopiesAndAppends) {
  Handle a = HandleOf("abc");
  Handle b = HandleOf("12");

  EXPECT_EQ(HandAndHand(a, b), noErr);
  EXPECT_EQ(Contents(b), "12abc");
  EXPECT_EQ(PtrAndHand("XY", b, 2), noErr);
  EXPECT_EQ(Contents(b), "12abcXY");
  // A handle appended to itself, and its own contents appended: the source
  // moves while the handle grows.
  EXPECT_EQ(HandAndHand(b, b), noErr);
  EXPECT_EQ(Contents(b), "12abcXY12abcXY");
  SetHandleSize(a, 1 << 16);
  std::memcpy(*a, "abc", 3);
  EXPECT_EQ(PtrAndHand(*a, a, 1 << 16), noErr);
  EXPECT_EQ(GetHandleSize(a), 1 << 17);
  EXPECT_EQ(std::memcmp(*a + (1 << 16), "abc", 3), 0);

  Handle copy = b;
  EXPECT_EQ(HandToHand(&copy), noErr);
  EXPECT_NE(copy, b);
  (*b)[0] = '#';
  EXPECT_EQ(Contents(copy), "12abcXY12abcXY");

  Handle empty = NewEmptyHandle();
  EXPECT_EQ(HandAndHand(empty, copy), noErr);
  EXPECT_EQ(GetHandleSize(copy), 14);
  EXPECT_EQ(PtrAndHand("q", empty, 1), noErr);
  EXPECT_EQ(Contents(empty), "q");

  char notAHandle[8];
  EXPECT_EQ(PtrAndHand("q", reinterpret_cast<Handle>(notAHandle), 1), memWZErr);
  EXPECT_EQ(PtrAndHand("q", b, -1), paramErr);
  Handle none = nullptr;
  EXPECT_EQ(HandToHand(&none), nilHandleErr);

  for (Handle h : {a, b, copy, empty}) DisposeHandle(h);
}

TEST(MemoryBlocks, ThreadsShareOneRegistry) {
  constexpr int kThreads = 8;
  constexpr int kRounds = 2000;
  std::vector<int> failures(kThreads, 0);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t, &failures] {
      std::vector<Ptr> live;
      for (int i = 0; i < kRounds; ++i) {
        Ptr p = NewPtr(i % 64);
        Handle h = NewHandle(i % 32);
        if (!p || !h || !IsPointerValid(p) || GetPtrSize(p) != i % 64 || !IsHandleValid(h)) ++failures[t];
        SetHandleSize(h, 4096);
        DisposeHandle(h);
        live.push_back(p);
        if (live.size() > 16) {
          DisposePtr(live.front());
          if (MemError() != noErr) ++failures[t];
          live.erase(live.begin());
        }
      }
      for (Ptr p : live) DisposePtr(p);
    });
  }
  for (auto& th : threads) th.join();
  for (int t = 0; t < kThreads; ++t) EXPECT_EQ(failures[t], 0) << "thread " << t;
}

}  // namespace
