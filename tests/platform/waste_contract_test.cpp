// The text engine as its callers use it: spelling guesses for the
// contextual menu, a document opened in chunks or in one styled step, the
// find loops of the search commands, and a hidden instance that searches
// files it loads.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "CFArray.h"
#include "CFString.h"
#include "Drag.h"
#include "MacMemory.h"
#include "WASTE.h"

namespace {

std::vector<std::pair<SInt32, SInt32>> gFlux;
void RecordFlux(SInt32 offset, SInt32 delta, WEReference) { gFlux.emplace_back(offset, delta); }

struct Engine {
  WEReference we = nullptr;
  explicit Engine(OptionBits features = weDoUndo | weDoMultipleUndo, LongRect dest = {0, 0, 0, 600},
                  LongRect view = {0, 0, 400, 600}) {
    EXPECT_EQ(WENew(&dest, &view, features, &we), noErr);
    WEFluxProcPtr flux = RecordFlux;
    WESetInfo(weFluxHook, &flux, we);
    gFlux.clear();
  }
  ~Engine() { WEDispose(we); }
  OSStatus Put(SInt32 start, SInt32 end, const std::string& text, WEPutOptions options = 0) {
    return WEPut(start, end, text.data(), text.size(), kTextEncodingMacRoman, options, 0, nullptr, nullptr, we);
  }
  std::string Text(SInt32 start = 0, SInt32 end = -2) const {
    Handle h = NewHandle(0);
    EXPECT_EQ(WEStreamRange(start, end == -2 ? WEGetTextLength(we) : end, 'utf8', 0, h, we), noErr);
    std::string s(*h ? *h : "", size_t(GetHandleSize(h)));
    DisposeHandle(h);
    return s;
  }
  OSStatus Find(const std::string& key, SInt32 from, SInt32 to, SInt32* s, SInt32* e, OptionBits options = 0) {
    return WEFind(key.data(), SInt32(key.size()), kTextEncodingMacRoman, options, from, to, s, e, we);
  }
  std::pair<SInt32, SInt32> Selection() const {
    SInt32 s = 0, e = 0;
    WEGetSelection(&s, &e, we);
    return {s, e};
  }
};

// A scratch folder for files, removed with its files at the end.
struct Scratch {
  std::string dir;
  std::vector<std::string> files;
  Scratch() {
    char name[] = "/tmp/waste-contract-XXXXXX";
    dir = mkdtemp(name) ? name : "/tmp";
  }
  ~Scratch() {
    for (const auto& f : files) std::remove(f.c_str());
    rmdir(dir.c_str());
  }
  FSRef Write(const std::string& name, const std::string& bytes) {
    const std::string path = dir + "/" + name;
    std::ofstream(path, std::ios::binary) << bytes;
    files.push_back(path);
    FSRef ref{};
    EXPECT_EQ(FSPathMakeRef(reinterpret_cast<const UInt8*>(path.c_str()), &ref, nullptr), noErr);
    return ref;
  }
};

CFStringRef MakeString(const std::u16string& s) {
  return CFStringCreateWithCharacters(nullptr, reinterpret_cast<const UniChar*>(s.data()), CFIndex(s.size()));
}

std::vector<std::string> Guesses(const std::u16string& word, WEReference we, OSStatus* status = nullptr) {
  CFStringRef s = MakeString(word);
  CFArrayRef list = nullptr;
  const OSStatus st = WEGuessSpelling(s, 0, &list, we);
  if (status) *status = st;
  std::vector<std::string> out;
  for (CFIndex i = 0; list && i < CFArrayGetCount(list); ++i) {
    char buffer[512] = {0};
    CFStringGetCString(static_cast<CFStringRef>(CFArrayGetValueAtIndex(list, i)), buffer, sizeof buffer,
                       kCFStringEncodingUTF8);
    out.push_back(buffer);
  }
  if (list) CFRelease(list);
  CFRelease(s);
  return out;
}

bool HaveDictionary() {
  return access("/usr/share/hunspell/en_US.dic", R_OK) == 0 || access("/usr/share/myspell/en_US.dic", R_OK) == 0;
}

bool Contains(const std::vector<std::string>& list, const std::string& s) {
  return std::find(list.begin(), list.end(), s) != list.end();
}

TEST(WasteSpelling, TextThatIsNotOneWordOrIsSpelledRightHasNoGuesses) {
  Engine e;
  const std::u16string cases[] = {
      u"",
      u"This",                  // spelled right
      u"editor",
      u"two wrods",             // more than a word
      u"wrod\r",
      u"1234",                  // no letter
      u"___",
      u"wr\xD800od",            // a broken surrogate pair
      std::u16string(300, u'q'),  // longer than any word
  };
  for (const auto& word : cases) {
    OSStatus status = -1;
    EXPECT_TRUE(Guesses(word, e.we, &status).empty()) << std::string(word.begin(), word.end());
    EXPECT_EQ(status, noErr);
  }
}

TEST(WasteSpelling, AMisspelledWordGetsTheDictionarysGuesses) {
  if (!HaveDictionary()) GTEST_SKIP() << "no English dictionary";
  Engine e;
  const struct {
    std::u16string word;
    std::string expected;
  } cases[] = {{u"Thsi", "This"}, {u"recieve", "receive"}, {u"teh", "the"}};
  for (const auto& c : cases) {
    const auto guesses = Guesses(c.word, e.we);
    EXPECT_TRUE(Contains(guesses, c.expected)) << c.expected;
  }
}

TEST(WasteSpelling, MissingArgumentsAreRefused) {
  Engine e;
  CFStringRef word = CFStringCreateWithCString(nullptr, "wrod", kCFStringEncodingUTF8);
  CFArrayRef list = reinterpret_cast<CFArrayRef>(word);  // must be cleared on failure
  EXPECT_EQ(WEGuessSpelling(nullptr, 0, &list, e.we), paramErr);
  EXPECT_EQ(list, nullptr);
  EXPECT_EQ(WEGuessSpelling(word, 0, nullptr, e.we), paramErr);
  EXPECT_EQ(WEGuessSpelling(word, 0, &list, nullptr), paramErr);
  CFArrayRef notAString = CFArrayCreate(nullptr, nullptr, 0, &kCFTypeArrayCallBacks);
  EXPECT_EQ(WEGuessSpelling(reinterpret_cast<CFStringRef>(notAString), 0, &list, e.we), paramErr);
  CFRelease(notAString);
  CFRelease(word);
}

// A document is opened into a view that may hold text: the default style is
// set over 0..0, everything is selected and deleted, then the file arrives
// in chunks appended with redrawing off.
TEST(WasteContract, ADocumentOpenedInChunksTakesTheDefaultStyle) {
  Engine e;
  ASSERT_EQ(e.Put(0, 0, "an older text\rof two lines"), noErr);
  const FMFontFamily family = FMGetFontFamilyFromName(reinterpret_cast<ConstStr255Param>("\x07" "Courier"));
  const Fixed size = 14 << 16;
  ASSERT_EQ(WESetOneAttribute(0, 0, 'font', &family, 2, e.we), noErr);
  ASSERT_EQ(WESetOneAttribute(0, 0, 'ptsz', &size, 4, e.we), noErr);
  WESetSelection(0, WEGetTextLength(e.we), e.we);
  ASSERT_EQ(WEDelete(e.we), noErr);
  gFlux.clear();

  const std::string chunks[] = {"first chunk\r", "second ", "chunk\rend"};
  for (const auto& chunk : chunks) {
    EXPECT_EQ(WEFeatureFlag(weFInhibitRedraw, weBitSet, e.we), 0);
    const SInt32 end = WEGetTextLength(e.we);
    ASSERT_EQ(e.Put(end, end, chunk, wePutAddToTypingSequence), noErr);
    EXPECT_EQ(WEFeatureFlag(weFInhibitRedraw, weBitClear, e.we), 1);
  }
  EXPECT_EQ(e.Text(), "first chunk\rsecond chunk\rend");
  // The first chunk went into an empty text: its delta is the new length,
  // which is how a view tells a load from an edit.
  ASSERT_EQ(gFlux.size(), 3u);
  EXPECT_EQ(gFlux[0], std::make_pair(SInt32(0), SInt32(12)));
  EXPECT_EQ(gFlux[2], std::make_pair(SInt32(19), SInt32(9)));
  for (SInt32 offset : {0, 12, 20, WEGetTextLength(e.we)}) {
    FMFontFamily f = 0;
    Fixed z = 0;
    EXPECT_EQ(WEGetOneAttribute(offset, 'font', &f, 2, e.we), noErr);
    EXPECT_EQ(WEGetOneAttribute(offset, 'ptsz', &z, 4, e.we), noErr);
    EXPECT_EQ(f, family) << offset;
    EXPECT_EQ(z, size) << offset;
  }
  EXPECT_EQ(WECountLines(e.we), 3);
}

// A styled document is saved and opened again in one step; opening resets
// the change count, and typing one character counts again.
TEST(WasteContract, AStyledDocumentSurvivesSaveAndLoad) {
  Scratch scratch;
  const FSRef file = scratch.Write("styled.rtf", "");
  {
    Engine e;
    ASSERT_EQ(e.Put(0, 0, "plain bold\rsecond line"), noErr);
    const Boolean on = true;
    const RGBColor red{0xFFFF, 0, 0};
    WESetOneAttribute(6, 10, 'bold', &on, 1, e.we);
    WESetOneAttribute(11, 17, 'colr', &red, 6, e.we);
    ASSERT_EQ(WESave(0, WEGetTextLength(e.we), &file, 'RTF ', kTextEncodingMacRoman, 0, e.we), noErr);
  }
  Engine e;
  ASSERT_EQ(e.Put(0, 0, "something to replace"), noErr);
  ASSERT_EQ(WELoad(0, WEGetTextLength(e.we), &file, 'RTF ', kTextEncodingMacRoman, 0, e.we), noErr);
  WESetSelection(0, 0, e.we);
  WEResetModCount(e.we);
  EXPECT_EQ(e.Text(), "plain bold\rsecond line");
  Boolean bold = false;
  WEGetOneAttribute(7, 'bold', &bold, 1, e.we);
  EXPECT_TRUE(bold);
  WEGetOneAttribute(2, 'bold', &bold, 1, e.we);
  EXPECT_FALSE(bold);
  RGBColor color{};
  WEGetOneAttribute(12, 'colr', &color, 6, e.we);
  EXPECT_EQ(color.red, 0xFFFF);
  EXPECT_EQ(color.green, 0);
  EXPECT_EQ(WEGetModCount(e.we), 0u);
  const UniChar x = 'x';
  ASSERT_EQ(WETextInput(&x, 1, 0, 0, e.we), noErr);
  EXPECT_EQ(WEGetModCount(e.we), 1u);

  // A missing file or an unknown type is an error and leaves the text alone.
  FSRef missing{};
  EXPECT_NE(WELoad(0, 0, &missing, 'TEXT', kTextEncodingMacRoman, 0, e.we), noErr);
  EXPECT_EQ(WELoad(0, 0, &file, 'PICT', kTextEncodingMacRoman, 0, e.we), weUnsupportedFlavorErr);
  EXPECT_EQ(e.Text(), "xplain bold\rsecond line");
}

// A plain text document is written back with the line ending it was read
// with; the caller can name another.
TEST(WasteContract, APlainTextDocumentKeepsItsLineEnding) {
  struct Case {
    const char* file;
    UInt32 found;
    const char* saved;  // written back as read
    const char* asCR;   // written with the ending named
  } cases[] = {
      {"a\nb\n", weEndOfLineLF, "a\nb\n", "a\rb\r"},
      {"a\r\nb\r\n", weEndOfLineCRLF, "a\r\nb\r\n", "a\rb\r"},
      {"a\rb\r", weEndOfLineCR, "a\rb\r", "a\rb\r"},
      {"a\r\nb\nc", weEndOfLineCRLF, "a\r\nb\r\nc", "a\rb\rc"},  // mixed: the first ending
      {"ab", weEndOfLineLF, "ab", "ab"},
  };
  Scratch scratch;
  auto read = [&](const FSRef& ref) {
    UInt8 path[1024];
    FSRefMakePath(&ref, path, sizeof path);
    std::ifstream in(reinterpret_cast<const char*>(path), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  const FSRef out = scratch.Write("out.txt", "");
  int n = 0;
  for (const Case& c : cases) {
    const FSRef file = scratch.Write("in" + std::to_string(n++) + ".txt", c.file);
    Engine e;
    ASSERT_EQ(WELoad(0, 0, &file, 'TEXT', kTextEncodingMacRoman, 0, e.we), noErr);
    UInt32 found = 0;
    ASSERT_EQ(WEGetInfo(weEndOfLineInfo, &found, e.we), noErr);
    EXPECT_EQ(found, c.found) << c.file;
    ASSERT_EQ(WESave(0, WEGetTextLength(e.we), &out, 'TEXT', kTextEncodingMacRoman, 0, e.we), noErr);
    EXPECT_EQ(read(out), c.saved) << c.file;
    ASSERT_EQ(WESave(0, WEGetTextLength(e.we), &out, 'TEXT', kTextEncodingMacRoman, weEndOfLineCR, e.we), noErr);
    EXPECT_EQ(read(out), c.asCR) << c.file;
  }

  // A file read into part of the text leaves the document's ending; a host
  // that fills the text itself says which ending it read.
  Engine e;
  const FSRef crlf = scratch.Write("crlf.txt", "x\r\ny");
  ASSERT_EQ(e.Put(0, 0, "one\rtwo"), noErr);
  ASSERT_EQ(WELoad(3, 3, &crlf, 'TEXT', kTextEncodingMacRoman, 0, e.we), noErr);
  UInt32 ending = 0;
  WEGetInfo(weEndOfLineInfo, &ending, e.we);
  EXPECT_EQ(ending, UInt32(weEndOfLineLF));
  ending = weEndOfLineCRLF;
  ASSERT_EQ(WESetInfo(weEndOfLineInfo, &ending, e.we), noErr);
  ASSERT_EQ(WESave(0, WEGetTextLength(e.we), &out, 'TEXT', kTextEncodingMacRoman, 0, e.we), noErr);
  EXPECT_EQ(read(out), "onex\r\ny\r\ntwo");
  ending = 7;
  EXPECT_EQ(WESetInfo(weEndOfLineInfo, &ending, e.we), paramErr);
}

// A document naming more fonts than the engine has family numbers opens
// whole; its first fonts keep their names, the rest take the default family,
// and the table keeps room for the documents after it.
TEST(WasteContract, ADocumentNamingThousandsOfFontsLeavesRoomForOthers) {
  constexpr int kFonts = 33000;
  std::string rtf = "{\\rtf1\\ansi{\\fonttbl";
  for (int i = 0; i < kFonts; ++i) rtf += "{\\f" + std::to_string(i) + " Crowd " + std::to_string(i) + ";}";
  rtf += "}";
  for (int i = 0; i < kFonts; ++i) rtf += "{\\f" + std::to_string(i) + " x}";
  rtf += "}";
  Scratch scratch;
  const FSRef file = scratch.Write("crowd.rtf", rtf);
  Engine e;
  ASSERT_EQ(WELoad(0, 0, &file, 'RTF ', kTextEncodingMacRoman, 0, e.we), noErr);
  EXPECT_EQ(WEGetTextLength(e.we), kFonts);
  auto fontName = [&](SInt32 offset) {
    SInt16 family = 0;
    WEGetOneAttribute(offset, 'font', &family, sizeof family, e.we);
    unsigned char name[256] = {};
    if (!FMGetFontFamilyName(family, name)) return std::string("<none>");
    return std::string(reinterpret_cast<char*>(name + 1), name[0]);
  };
  EXPECT_EQ(fontName(0), "Crowd 0");
  EXPECT_EQ(fontName(1000), "Crowd 1000");
  EXPECT_EQ(fontName(kFonts - 1), "Monaco");
  const FMFontFamily later = FMGetFontFamilyFromName(reinterpret_cast<ConstStr255Param>("\x0c" "Later Family"));
  EXPECT_NE(later, kInvalidFontFamily);
  EXPECT_NE(later, 4);
}

// The search commands loop on WEFind until it answers "not found" or fails.
TEST(WasteContract, FindLoopsOfTheSearchCommands) {
  Engine e;
  ASSERT_EQ(e.Put(0, 0, "int x;\rfoo();\rint y;\rbar"), noErr);

  // Reveal: every match selects its line; the last one stays selected.
  SInt32 from = 0, s = 0, end = 0, matches = 0;
  OSStatus status;
  while ((status = e.Find("int", from, WEGetTextLength(e.we), &s, &end)) == noErr) {
    SInt32 ls = 0, le = 0;
    WEGetLineRange(WEOffsetToLine(s, e.we), &ls, &le, e.we);
    WESetSelection(ls, le, e.we);
    from = end;
    ++matches;
  }
  EXPECT_EQ(status, weNotFoundErr);
  EXPECT_EQ(matches, 2);
  EXPECT_EQ(e.Selection(), std::make_pair(SInt32(14), SInt32(21)));
  // An empty key is a failure, which ends such a loop as well.
  EXPECT_EQ(e.Find("", 0, WEGetTextLength(e.we), &s, &end), paramErr);
  // A start past the end finds nothing.
  EXPECT_EQ(e.Find("bar", 100, 10, &s, &end), weNotFoundErr);

  // Replace all within one action: the range end moves with each
  // replacement, and one undo takes the whole action back.
  const std::string before = e.Text();
  const SInt32 rangeEnd0 = 14;  // the first two lines only
  SInt32 pos = 0, rangeEnd = rangeEnd0, count = 0;
  ASSERT_EQ(WEBeginAction(e.we), noErr);
  while (e.Find("o", pos, rangeEnd, &s, &end) == noErr) {
    ASSERT_EQ(e.Put(s, end, "OO", wePutIntCutAndPaste), noErr);
    WESetSelection(s, s + 2, e.we);
    ++count;
    pos = s + 2;
    rangeEnd += 1;
  }
  ASSERT_EQ(WEEndAction(weAKPaste, e.we), noErr);
  EXPECT_EQ(count, 2);
  EXPECT_EQ(e.Text(), "int x;\rfOOOO();\rint y;\rbar");
  Boolean redo = true;
  WEActionKind kind = weAKNone;
  WEGetUndoInfo(&redo, &kind, e.we);
  EXPECT_EQ(kind, weAKPaste);
  EXPECT_FALSE(redo);
  ASSERT_EQ(WEUndo(e.we), noErr);
  EXPECT_EQ(e.Text(), before);
}

// Searching files: a hidden instance with empty rectangles that never
// draws loads each file as text and reports the line of every match.
TEST(WasteContract, AHiddenInstanceLoadsAndSearchesFiles) {
  Scratch scratch;
  std::string big;
  for (int i = 0; i < 20000; ++i) big += "line " + std::to_string(i) + " of plain text\n";
  big += "  the needle is here  \nlast\n";
  const FSRef bigFile = scratch.Write("big.txt", big);
  const FSRef smallFile = scratch.Write("small.txt", "no match\r\nin here\r\n");

  Engine e(weDoInhibitRedraw, LongRect{0, 0, 0, 0}, LongRect{0, 0, 0, 0});
  ASSERT_EQ(WELoad(0, WEGetTextLength(e.we), &smallFile, 'TEXT', kTextEncodingMacRoman, 0, e.we), noErr);
  EXPECT_EQ(e.Text(), "no match\rin here\r");  // line breaks become carriage returns
  SInt32 s = 0, end = 0;
  EXPECT_EQ(e.Find("needle", 0, WEGetTextLength(e.we), &s, &end), weNotFoundErr);

  ASSERT_EQ(WELoad(0, WEGetTextLength(e.we), &bigFile, 'TEXT', kTextEncodingMacRoman, 0, e.we), noErr);
  EXPECT_EQ(WECountLines(e.we), 20003);
  std::vector<std::string> lines;
  SInt32 from = 0;
  while (e.Find("needle", from, WEGetTextLength(e.we), &s, &end) == noErr) {
    SInt32 ls = 0, le = 0;
    WEGetLineRange(WEOffsetToLine(s, e.we), &ls, &le, e.we);
    lines.push_back(e.Text(ls, le));
    from = end;
  }
  EXPECT_EQ(lines, std::vector<std::string>{"  the needle is here  \r"});
}

// Drops: styled text is read for its characters; an item in a flavour the
// engine cannot read is offered to the translate hook, whose text goes in.
std::vector<FlavorType> gAsked;
const char* gSupply = nullptr;
OSErr Translate(DragRef, DragItemRef, FlavorType type, Handle out, WEReference) {
  gAsked.push_back(type);
  if (gSupply == nullptr) return noErr;  // answered, but nothing given
  std::u16string text;
  for (const char* p = gSupply; *p; ++p) text.push_back(char16_t(*p));
  SetHandleSize(out, Size(text.size() * 2));
  std::memcpy(*out, text.data(), text.size() * 2);
  return noErr;
}

TEST(WasteContract, DropsReadStyledTextAndAskTheTranslateHookForTheRest) {
  Engine e(weDoUndo | weDoDragAndDrop);
  ASSERT_EQ(e.Put(0, 0, "[]"), noErr);
  // An untracked drag's mouse is at the origin: everything drops at 0.
  auto drop = [&](FlavorType type, const std::string& bytes) {
    DragRef drag = nullptr;
    NewDrag(&drag);
    AddDragItemFlavor(drag, 1, type, bytes.data(), Size(bytes.size()), 0);
    const OSStatus status = WEReceiveDrag(drag, e.we);
    DisposeDrag(drag);
    return status;
  };
  EXPECT_EQ(drop('RTF ', "{\\rtf1\\ansi {\\b bold} text}"), noErr);
  EXPECT_EQ(e.Text(), "bold text[]");
  EXPECT_EQ(drop('RTF ', "{\\rtf1 {\\b unclosed"), noErr);  // what a cut document holds
  EXPECT_EQ(e.Text(), "unclosedbold text[]");

  ASSERT_EQ(e.Put(0, WEGetTextLength(e.we), "[]"), noErr);
  const std::string url = "file:///tmp/x";
  EXPECT_EQ(drop('furl', url), dragNotAcceptedErr);  // no hook
  WETranslateDragProcPtr hook = Translate;
  ASSERT_EQ(WESetInfo(weTranslateDragHook, &hook, e.we), noErr);
  gSupply = nullptr;
  EXPECT_EQ(drop('furl', url), dragNotAcceptedErr);  // the hook gave nothing
  EXPECT_EQ(gAsked, std::vector<FlavorType>{'utxt'});
  gSupply = "x";
  EXPECT_EQ(drop('furl', url), noErr);
  EXPECT_EQ(e.Text(), "x[]");
  gAsked.clear();
  EXPECT_EQ(drop('utf8', "y"), noErr);  // readable: the hook is not asked
  EXPECT_TRUE(gAsked.empty());
  EXPECT_EQ(e.Text(), "yx[]");
}

}  // namespace
