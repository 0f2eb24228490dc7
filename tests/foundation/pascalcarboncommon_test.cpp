// The core helpers: string conversions, memory blocks, command events,
// alerts, geometry and the status variable.
#include "PascalCarbonCommon.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <string>
#include <thread>

#include "CFString.h"
#include "HeadlessHost.h"
#include "MacMemory.h"
#include "Menus.h"
#include "QuickDraw.h"

namespace {

// A CFString of UTF-8 text, released by the holder.
struct Text {
  explicit Text(const std::string& utf8)
      : ref(CFStringCreateWithBytes(nullptr, reinterpret_cast<const UInt8*>(utf8.data()), CFIndex(utf8.size()),
                                    kCFStringEncodingUTF8, false)) {}
  ~Text() {
    if (ref) CFRelease(ref);
  }
  CFStringRef ref;
};

std::string BlockBytes(const void* block) {
  return std::string(static_cast<const char*>(block), size_t(GetPtrSize(static_cast<Ptr>(const_cast<void*>(block)))));
}

Ptr BlockOf(const std::string& bytes) {
  Ptr block = NewPtr(Size(bytes.size()));
  std::memcpy(block, bytes.data(), bytes.size());
  return block;
}

}  // namespace

// ---------------------------------------------------------------------------
// Strings

TEST(PascalCarbonCommonTest, CFStringToPascalCutsLongStringsAndRefusesForeignCharacters) {
  const std::string ascii(300, 'a');
  struct Case {
    std::string utf8;
    std::string expected;  // Mac Roman bytes
  } cases[] = {
      {"", ""},
      {ascii.substr(0, 254), ascii.substr(0, 254)},
      {ascii.substr(0, 255), ascii.substr(0, 254)},
      {ascii, ascii.substr(0, 254)},
      {"caf\xC3\xA9", "caf\x8E"},                           // é is Mac Roman 0x8E
      {"ab\xE4\xB8\x80", ""},                               // a CJK character: all or nothing
      {"ab\xE4\xB8\x80" + ascii, "ab"},                     // long: up to the character
      {std::string(10, 'x') + "\xF0\x9F\x98\x80" + ascii, std::string(10, 'x')},  // surrogate pair
  };
  for (const auto& c : cases) {
    Text text(c.utf8);
    ASSERT_NE(text.ref, nullptr);
    EXPECT_EQ(CFStringToPascal(text.ref).str(), c.expected) << c.utf8.substr(0, 20);
    EXPECT_EQ(PCFSTR(text.ref).str(), c.expected);
  }
  EXPECT_TRUE(CFStringToPascal(nullptr).empty());
}

TEST(PascalCarbonCommonTest, CFStringToPascalRangeTakesAnEndPosition) {
  Text text("hello world");
  struct Case {
    CFIndex first, last;
    const char* expected;
  } cases[] = {
      {1, 11, "hello world"}, {7, 11, "world"}, {7, 40, "world"},  // an end past the string is fine
      {0, 11, "hello world"}, {1, 10, ""},                         // a string longer than the end fails
      {12, 20, ""},           {1, 0, ""},       {1, -3, ""},       {1, 300, "hello world"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(CFStringToPascalRange(text.ref, CFRangeMake(c.first, c.last)).str(), c.expected)
        << c.first << ".." << c.last;
  EXPECT_TRUE(CFStringToPascalRange(nullptr, CFRangeMake(1, 5)).empty());
  Text foreign("a\xE4\xB8\x80");
  EXPECT_TRUE(CFStringToPascalRange(foreign.ref, CFRangeMake(1, 5)).empty());
}

TEST(PascalCarbonCommonTest, CFSTRInternsTheText) {
  EXPECT_EQ(CFSTR("abc"), CFSTR(Str255("abc")));
  EXPECT_EQ(CFSTR(Str63("abc")), CFSTR("abc"));
  EXPECT_NE(CFSTR("abc"), CFSTR("abd"));
  const Str255 longest(std::string(255, 'z'));
  CFStringRef s = CFSTR(longest);
  EXPECT_EQ(CFStringGetLength(s), 255);
  EXPECT_EQ(PCFSTR(s).len(), 254);  // the conversion back cuts, as long strings do
  // Mac Roman bytes become their characters.
  EXPECT_EQ(CFStringGetCharacterAtIndex(CFSTR("\x8E"), 0), 0x00E9);
  EXPECT_EQ(CFStringGetLength(CFSTR("")), 0);
}

TEST(PascalCarbonCommonTest, UnicodeBlocks) {
  // A block of UTF-16 characters; an odd trailing byte is no character.
  const UniChar chars[] = {'h', 0x00E9, 'y'};
  Ptr block = NewPtr(5);
  std::memcpy(block, chars, 5);
  EXPECT_EQ(UnicodeStringToPascal(reinterpret_cast<UniChar*>(block)).str(), "h\x8E");
  EXPECT_EQ(UStrP(reinterpret_cast<UniChar*>(block)).str(), "h\x8E");
  // Memory that is no block has no known size: nothing is read.
  EXPECT_TRUE(UnicodeStringToPascal(chars).empty());
  EXPECT_TRUE(UnicodeStringToPascal(reinterpret_cast<UniChar*>(block + 2)).empty());
  EXPECT_TRUE(UnicodeStringToPascal(nullptr).empty());
  DisposePtr(block);

  // A string with its own buffer hands that out, and ReleasePtr leaves it.
  Text text("h\xC3\xA9llo");
  UniChar* own = CreateUnicodeString(text.ref);
  ASSERT_NE(own, nullptr);
  EXPECT_EQ(own[1], 0x00E9);
  if (own == CFStringGetCharactersPtr(text.ref)) {
    UniChar* held = own;
    ReleasePtr(held);
    EXPECT_EQ(held, own);
    EXPECT_EQ(CFStringGetCharacterAtIndex(text.ref, 1), 0x00E9);
  }
  // The empty string has no buffer of its own: a block of size 0.
  Text empty("");
  UniChar* none = UStr(empty.ref);
  ASSERT_TRUE(IsPointerAllocated(none));
  EXPECT_EQ(GetPtrSize(reinterpret_cast<Ptr>(none)), 0);
  ReleasePtr(none);
  EXPECT_EQ(none, nullptr);
  EXPECT_EQ(CreateUnicodeString(nullptr), nullptr);

  UniChar* copied = CreateUnicodeStringP(Str255("a\x8E"), kTextEncodingMacRoman);
  ASSERT_TRUE(IsPointerAllocated(copied));
  EXPECT_EQ(GetPtrSize(reinterpret_cast<Ptr>(copied)), 4);
  EXPECT_EQ(copied[0], 'a');
  EXPECT_EQ(copied[1], 0x00E9);
  ReleasePtr(copied);
  // Bytes that are not valid in the encoding give nil.
  EXPECT_EQ(CreateUnicodeStringP(Str255("\xFF"), kTextEncodingUTF8), nullptr);
}

TEST(PascalCarbonCommonTest, NumbersAndCodes) {
  for (SInt32 n : {0, 7, -12, 1024, INT32_MAX, INT32_MIN}) EXPECT_EQ(StrN(NStr(n)), n);
  EXPECT_EQ(NStr(-12).str(), "-12");

  struct FloatCase {
    const char* text;
    float expected;
  } floats[] = {{"", 0.0f}, {"3.5kg", 3.5f}, {"kg", 0.0f}, {"-2e2", -200.0f}, {".25", 0.25f}, {"inf", 0.0f}};
  for (const auto& c : floats) EXPECT_FLOAT_EQ(StringToFloat(c.text), c.expected) << c.text;

  EXPECT_EQ(FCCToInteger("abcd"), UInt32('abcd'));
  EXPECT_EQ(FCCToInteger("ab"), 0x61620000u);
  const Str4 withZeros = FCCToString(0x41420043);
  ASSERT_EQ(withZeros.len(), 4);
  EXPECT_EQ(withZeros.str(), std::string("AB\0C", 4));
  EXPECT_EQ(FCCToInteger(FCCToString('TEXT')), UInt32('TEXT'));
}

TEST(PascalCarbonCommonTest, GetMemoryString) {
  struct Case {
    SInt32 count;
    const char* expected;
  } cases[] = {{0, "0b"},         {1023, "1023b"},    {1024, "1k"},         {1048575, "1023k"},
               {1048576, "1024k"}, {1049599, "1024k"}, {1049600, "1M"},     {INT32_MAX, "2047M"}};
  for (const auto& c : cases) EXPECT_EQ(GetMemoryString(c.count).str(), c.expected) << c.count;
}

// ---------------------------------------------------------------------------
// Memory blocks

TEST(PascalCarbonCommonTest, ReleasePtrFreesOnlyBlocks) {
  Text text("some text");
  const UniChar* own = CFStringGetCharactersPtr(text.ref);
  ASSERT_NE(own, nullptr);
  const UniChar* ownHeld = own;
  ReleasePtr(ownHeld);
  EXPECT_EQ(ownHeld, own);

  Ptr block = NewPtr(16);
  char* interior = block + 4;
  ReleasePtr(interior);
  EXPECT_EQ(interior, block + 4);
  EXPECT_TRUE(IsPointerAllocated(block));

  char local[4];
  char* stack = local;
  ReleasePtr(stack);
  EXPECT_EQ(stack, local);

  void* held = block;
  ReleasePtr(held);
  EXPECT_EQ(held, nullptr);
  EXPECT_FALSE(IsPointerAllocated(block));
  ReleasePtr(held);  // nil stays nil

  Handle h = NewHandle(8);
  Handle notAHandle = reinterpret_cast<Handle>(local);
  ReleaseHandle(notAHandle);
  EXPECT_EQ(notAHandle, reinterpret_cast<Handle>(local));
  ReleaseHandle(h);
  EXPECT_EQ(h, nullptr);

  EXPECT_FALSE(IsPointerAllocated(nullptr));
  EXPECT_TRUE(IsObjectValid(local));
  EXPECT_FALSE(IsObjectValid(nullptr));
}

TEST(PascalCarbonCommonTest, WriteByteRangeOffsetsAndClamp) {
  struct Case {
    Size offset, count;
    const char* expected;
  } cases[] = {
      {0, 2, "AB......"}, {1, 2, "AB......"}, {2, 2, "..AB...."},  // offsets 0 and 1 write at the start
      {6, 4, "......AB"},                                            // cut at the block's end
      {8, 4, "........"}, {20, 1, "........"}, {0, 0, "........"}, {3, -1, "........"},
      {-5, 1, "A......."},
  };
  for (const auto& c : cases) {
    Ptr dest = BlockOf("........");
    WriteByteRange(dest, "ABCD", c.offset, c.count);
    EXPECT_EQ(BlockBytes(dest), c.expected) << c.offset << "/" << c.count;
    DisposePtr(dest);
  }
  // A source block is never read past its end either.
  Ptr dest = BlockOf("........");
  Ptr source = BlockOf("xy");
  WriteByteRange(dest, source, 0, 6);
  EXPECT_EQ(BlockBytes(dest), "xy......");
  DisposePtr(source);
  DisposePtr(dest);
}

TEST(PascalCarbonCommonTest, CopyByteRangeNeverReadsPastTheSource) {
  Ptr source = BlockOf("0123456789");
  struct Case {
    Size offset, count;
    const char* expected;
  } cases[] = {{0, 3, "012....."}, {1, 3, "012....."}, {2, 3, "234....."},
               {8, 5, "89......"}, {10, 2, "........"}, {0, -4, "........"}};
  for (const auto& c : cases) {
    char dest[9] = "........";
    CopyByteRange(source, c.offset, c.count, dest);
    EXPECT_STREQ(dest, c.expected) << c.offset << "/" << c.count;
  }
  // A destination block is not written past its end.
  Ptr small = BlockOf("...");
  CopyByteRange(source, 0, 10, small);
  EXPECT_EQ(BlockBytes(small), "012");
  // Memory that is no block has no size to cut at: nothing is copied.
  char foreign[] = "abc";
  char dest[4] = "...";
  CopyByteRange(foreign, 0, 3, dest);
  EXPECT_STREQ(dest, "...");
  DisposePtr(small);
  DisposePtr(source);
}

TEST(PascalCarbonCommonTest, BlockCopies) {
  Ptr source = BlockOf("abcdef");
  Ptr whole = CopyPointer(source);
  EXPECT_EQ(BlockBytes(whole), "abcdef");
  EXPECT_NE(whole, source);
  Ptr range = NewPtrCopyRange(source, 2, 3);
  EXPECT_EQ(BlockBytes(range), "cde");
  // Past the end of a source block the copy is zero-filled, not read.
  Ptr beyond = NewPtrCopyRange(source, 4, 4);
  EXPECT_EQ(BlockBytes(beyond), std::string("ef\0\0", 4));
  EXPECT_EQ(NewPtrCopyRange(source, -1, 2), nullptr);
  EXPECT_EQ(NewPtrCopy(nullptr, 4), nullptr);
  char local[] = "xyz";
  EXPECT_EQ(CloneObject(local), nullptr);

  // SwapPointer gives foreign memory a block of its own and leaves blocks be.
  char* held = local;
  SwapPointer(held, 3);
  ASSERT_TRUE(IsPointerAllocated(held));
  EXPECT_EQ(BlockBytes(held), "xyz");
  char* before = held;
  SwapPointer(held, 3);
  EXPECT_EQ(held, before);
  for (Ptr p : {source, whole, range, beyond, held}) DisposePtr(p);
}

// ---------------------------------------------------------------------------
// Command events

namespace {

struct Received {
  int calls = 0;
  HICommand command{};
  OSStatus lookup = noErr;
};

OSStatus CommandHandler(EventHandlerCallRef, EventRef event, void* data) {
  auto* received = static_cast<Received*>(data);
  ++received->calls;
  EXPECT_EQ(GetEventClass(event), kEventClassCommand);
  EXPECT_EQ(GetEventKind(event), kEventCommandProcess);
  GetEventParameter(event, kEventParamDirectObject, typeHICommand, nullptr, sizeof(HICommand), nullptr,
                    &received->command);
  // A receiver looking for a menu item property finds none.
  UInt8 ref[80];
  received->lookup = GetCommandParameter(event, 'FREF', typeFSRef, sizeof ref, ref);
  return received->command.commandID == 'tst1' ? noErr : eventNotHandledErr;
}

}  // namespace

TEST(PascalCarbonCommonTest, SendHICommandDeliversACommandWithoutMenu) {
  Received received;
  const EventTypeSpec spec = {kEventClassCommand, kEventCommandProcess};
  EventHandlerRef handler = nullptr;
  ASSERT_EQ(InstallApplicationEventHandler(CommandHandler, 1, &spec, &received, &handler), noErr);

  Err = 1;
  SendHICommand(GetApplicationEventTarget(), 'tst1');
  EXPECT_EQ(received.calls, 1);
  EXPECT_EQ(received.command.commandID, UInt32('tst1'));
  EXPECT_EQ(received.command.attributes, 0u);
  EXPECT_EQ(received.command.menu.menuRef, nullptr);
  EXPECT_EQ(received.command.menu.menuItemIndex, 0);
  EXPECT_NE(received.lookup, noErr);
  EXPECT_EQ(Err, noErr);

  SendHICommand(GetApplicationEventTarget(), 'tst2');
  EXPECT_EQ(Err, eventNotHandledErr);  // the send's status
  RemoveEventHandler(handler);
}

TEST(PascalCarbonCommonTest, GetCommandParameterFromEventOrMenuItem) {
  MenuRef menu = nullptr;
  ASSERT_EQ(CreateNewMenu(1, 0, &menu), noErr);
  MenuItemIndex item = 0;
  AppendMenuItemTextWithCFString(menu, CFSTR("Recent"), 0, 'OPND', &item);
  const SInt32 fromMenu = 4242;
  ASSERT_EQ(SetMenuItemProperty(menu, item, 'test', typeSInt32, sizeof fromMenu, &fromMenu), noErr);

  auto makeCommand = [&](MenuRef commandMenu) {
    EventRef event = nullptr;
    CreateEvent(nullptr, kEventClassCommand, kEventCommandProcess, 0, kEventAttributeNone, &event);
    HICommand command{};
    command.commandID = 'OPND';
    command.menu.menuRef = commandMenu;
    command.menu.menuItemIndex = item;
    SetEventParameter(event, kEventParamDirectObject, typeHICommand, sizeof command, &command);
    return event;
  };

  // The event's own parameter comes first.
  EventRef withParameter = makeCommand(menu);
  const SInt32 fromEvent = 7;
  SetEventParameter(withParameter, 'test', typeSInt32, sizeof fromEvent, &fromEvent);
  SInt32 value = -1;
  EXPECT_EQ(GetCommandParameter(withParameter, 'test', typeSInt32, sizeof value, &value), noErr);
  EXPECT_EQ(value, 7);
  ReleaseEvent(withParameter);

  // Otherwise the menu item's property of the same creator and tag.
  EventRef fromItem = makeCommand(menu);
  value = -1;
  EXPECT_EQ(GetCommandParameter(fromItem, 'test', typeSInt32, sizeof value, &value), noErr);
  EXPECT_EQ(value, 4242);
  // Neither has it: an error and the buffer untouched.
  value = -1;
  EXPECT_NE(GetCommandParameter(fromItem, 'none', typeSInt32, sizeof value, &value), noErr);
  EXPECT_EQ(value, -1);
  // A size that does not hold the value reads nothing.
  UInt8 small[2] = {9, 9};
  EXPECT_NE(GetCommandParameter(fromItem, 'test', typeSInt32, sizeof small, small), noErr);
  EXPECT_EQ(small[0], 9);
  EXPECT_EQ(GetCommandParameter(fromItem, 'test', typeSInt32, -4, &value), paramErr);
  ReleaseEvent(fromItem);

  EventRef noMenu = makeCommand(nullptr);
  EXPECT_EQ(GetCommandParameter(noMenu, 'test', typeSInt32, sizeof value, &value), eventParameterNotFoundErr);
  EXPECT_EQ(value, -1);
  ReleaseEvent(noMenu);
  ReleaseMenu(menu);
}

// ---------------------------------------------------------------------------
// Alerts, URLs, system version, log

TEST(PascalCarbonCommonTest, AlertsShowTheirTexts) {
  HeadlessClearAlertLog();
  Err = 99;
  UserNotificationDialog("The file could not be saved.");
  EXPECT_EQ(Err, noErr);
  Err = 99;
  ShowError("Something went wrong");
  EXPECT_EQ(Err, 99);  // the caution alert leaves the status alone

  const auto log = HeadlessCopyAlertLog();
  ASSERT_EQ(log.size(), 2u);
  EXPECT_EQ(log[0].kind, kAlertStopAlert);
  EXPECT_EQ(log[0].error, "Alert");
  EXPECT_EQ(log[0].explanation, "The file could not be saved.");
  EXPECT_FALSE(log[0].okText.empty());
  EXPECT_TRUE(log[0].cancelText.empty());
  EXPECT_TRUE(log[0].otherText.empty());
  EXPECT_EQ(log[1].kind, kAlertCautionAlert);
  EXPECT_EQ(log[1].error, "Something went wrong");
  EXPECT_EQ(log[1].explanation, " ");
}

TEST(PascalCarbonCommonTest, LSOpenURLOpensValidURLsOnly) {
  HeadlessClearLaunchRequests();
  Err = 99;
  LSOpenURL("http://localhost/~user/index.php");
  EXPECT_EQ(Err, noErr);
  Err = 99;
  LSOpenURL("not a url");
  EXPECT_EQ(Err, 99);
  const auto requests = HeadlessCopyLaunchRequests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].url, "http://localhost/~user/index.php");
  EXPECT_TRUE(requests[0].application.empty());
}

TEST(PascalCarbonCommonTest, MacOSVersionWriteLogAndPerThreadStatus) {
  Err = 99;
  EXPECT_EQ(MacOSVersion(), 5);
  EXPECT_EQ(Err, noErr);

  testing::internal::CaptureStderr();
  WriteLog("log line \x8E");
  const std::string written = testing::internal::GetCapturedStderr();
  EXPECT_NE(written.find("log line \xC3\xA9"), std::string::npos) << written;

  // A worker's status does not reach the main thread's.
  Err = 1;
  std::thread([] { Err = -2; }).join();
  EXPECT_EQ(Err, 1);
}

// ---------------------------------------------------------------------------
// Colours, geometry and random numbers

TEST(PascalCarbonCommonTest, ColoursAndGeometry) {
  const RGBColor color = SetRGBColor(0x12345, -1, 0);
  EXPECT_EQ(color.red, 0x2345);
  EXPECT_EQ(color.green, 0xFFFF);
  EXPECT_EQ(color.blue, 0);
  CGRGB rgb{};
  CGConvertRGBColorToCGRGB(RGBColor{65535, 0, 32768}, 0.25f, rgb);
  EXPECT_FLOAT_EQ(rgb.red, 1.0f);
  EXPECT_FLOAT_EQ(rgb.green, 0.0f);
  EXPECT_NEAR(rgb.blue, 0.5f, 1e-4);
  EXPECT_FLOAT_EQ(rgb.alpha, 0.25f);

  struct Case {
    CGRect rect;
    Rect expected;  // top, left, bottom, right
  } cases[] = {
      {CGRectMake(10.7, 20.2, 5.9, 3.5), {20, 10, 23, 15}},
      {CGRectMake(-1.5, -2.7, 3.9, 1.2), {-2, -1, -1, 2}},  // toward zero, not down
      {CGRectMake(NAN, 1e12, -1e12, INFINITY), {32767, 0, 32767, -32768}},  // hostile values are clamped
  };
  for (const auto& c : cases) {
    const Rect r = HIRectToQD(c.rect);
    EXPECT_EQ(r.top, c.expected.top);
    EXPECT_EQ(r.left, c.expected.left);
    EXPECT_EQ(r.bottom, c.expected.bottom);
    EXPECT_EQ(r.right, c.expected.right);
  }
  const Rect qd = {5, -3, 25, 40};
  const CGRect hi = QDRectToHI(qd);
  EXPECT_EQ(hi.origin.x, -3);
  EXPECT_EQ(hi.origin.y, 5);
  EXPECT_EQ(hi.size.width, 43);
  EXPECT_EQ(hi.size.height, 20);
  const Rect back = HIRectToQD(hi);
  EXPECT_EQ(std::memcmp(&back, &qd, sizeof qd), 0);
  const Point p = HIPointToQD(CGPointMake(-7.9, 3.99));
  EXPECT_EQ(p.h, -7);
  EXPECT_EQ(p.v, 3);
  const CGPoint hp = QDPointToHI(Point{4, 9});
  EXPECT_EQ(hp.x, 9);
  EXPECT_EQ(hp.y, 4);
}

TEST(PascalCarbonCommonTest, GetRandomNumberStaysInItsBounds) {
  SetQDGlobalsRandomSeed(1);
  struct Bounds {
    SInt32 low, high;
  } bounds[] = {{1, 6}, {-10, 10}, {0, 0}, {100, 100000}, {INT32_MIN, INT32_MAX}};
  for (const auto& b : bounds)
    for (int i = 0; i < 500; ++i) {
      const SInt32 n = GetRandomNumber(b.low, b.high);
      ASSERT_GE(n, b.low);
      ASSERT_LE(n, b.high);
    }
  // An empty range answers its lower bound instead of dividing by zero.
  EXPECT_EQ(GetRandomNumber(5, 4), 5);
  EXPECT_EQ(GetRandomNumber(5, -100), 5);
}
