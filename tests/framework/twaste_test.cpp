// The text view wrapper and text documents: puts and copies, the modified
// flag, files read in chunks (decoded, line endings folded, nothing to undo),
// saving, and the panes that hold a text view.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <cstring>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "FrameworkFixtures.h"
#include "FrameworkTestSupport.h"
#include "MacMemory.h"
#include "TWASTEDocumentUnit.h"
#include "TWASTEPaneUnit.h"
#include "TWASTEViewUnit.h"
#include "TWindowUnit.h"
#include "fenwicket/Fenwicket.h"

namespace {

std::string Utf8(CFStringRef s) {
  if (s == nullptr) return "<nil>";
  std::string out(size_t(CFStringGetMaximumSizeForEncoding(CFStringGetLength(s), kCFStringEncodingUTF8)) + 1, '\0');
  CFStringGetCString(s, out.data(), CFIndex(out.size()), kCFStringEncodingUTF8);
  out.resize(std::strlen(out.c_str()));
  return out;
}

std::string TextOf(WEReference we) {
  Handle h = NewHandle(0);
  WEStreamRange(0, WEGetTextLength(we), 'utf8', 0, h, we);
  std::string s(*h, size_t(GetHandleSize(h)));
  DisposeHandle(h);
  return s;
}

class TCountingDocument : public TWASTEDocument {
 public:
  void Loaded() override { ++loaded; }
  int loaded = 0;
};

HIViewRef NewTextView(WindowRef window) {
  HIObjectRef object = nullptr;
  EXPECT_EQ(HIObjectCreate(kWasteViewClassID, nullptr, &object), noErr);
  auto view = reinterpret_cast<HIViewRef>(object);
  HIViewAddSubview(HIViewGetRoot(window), view);
  HIRect frame = {{0, 0}, {300, 200}};
  HIViewSetFrame(view, &frame);
  HIViewSetVisible(view, true);
  return view;
}

// Runs the event loop's clock until the document's read has ended.
void FinishReading(TWASTEDocument* d) {
  for (int i = 0; i < 1000 && d->stream != nullptr; ++i) HeadlessAdvanceClock(1.0 / 60);
  ASSERT_EQ(d->stream, nullptr);
}

class TWASTETest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    HeadlessUseVirtualClock(true);
    RegisterWasteClass();
  }
  void SetUp() override {
    window = new TestWindow();
    control = NewTextView(window->window);
    view = new TWASTEView();
    view->Create(control);
  }
  void TearDown() override {
    delete window;  // the view and its object end with the window
    DisposeAllWindows();
  }
  TCountingDocument* NewDocument(const std::string& name) {
    auto* d = new TCountingDocument();
    d->Create(folder.Ref(name));
    return d;
  }
  TestWindow* window = nullptr;
  HIViewRef control = nullptr;
  TWASTEView* view = nullptr;
  ScratchFolder folder;
};

TEST_F(TWASTETest, PutsAndCopiesUseStartAndEndOffsets) {
  ASSERT_NE(view->controller, nullptr);
  EXPECT_EQ(view->GetClassString(), Str255("TWASTEView"));
  EXPECT_EQ(view->options, WasteOption(kWasteViewVerticalScrollbar) | WasteOption(kWasteViewHorizantalScrollbar));
  EXPECT_EQ(WasteGetViewController(control), view->controller);
  view->SetText(CFSTR("Hello world"));
  EXPECT_EQ(view->GetTextLength(), 11);
  view->PutCFString(CFSTR("there"), CFRangeMake(6, 11));  // start 6, END 11
  EXPECT_EQ(TextOf(view->controller), "Hello there");
  view->PutPascalString("Hi", CFRangeMake(0, 5));
  EXPECT_EQ(TextOf(view->controller), "Hi there");
  Ptr bytes = NewPtrCopy("\xC3\xA9t\xC3\xA9", 5);
  view->PutBytes(bytes, kCFStringEncodingUTF8, CFRangeMake(3, 8));
  EXPECT_EQ(TextOf(view->controller), "Hi été");
  CFStringRef middle = view->CopyRange(CFRangeMake(3, 5));
  EXPECT_EQ(Utf8(middle), "ét");
  CFRelease(middle);
  CFStringRef rest = view->CopyRange(CFRangeMake(3, 0));  // an end of 0: to the end
  EXPECT_EQ(Utf8(rest), "été");
  CFRelease(rest);
  Ptr copy = view->CopyText('utf8');
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(std::string(copy, size_t(GetPtrSize(copy))), "Hi été");
  DisposePtr(copy);
  view->Put(bytes, kCFStringEncodingUTF8);
  EXPECT_EQ(TextOf(view->controller), "été");
  DisposePtr(bytes);
  EXPECT_TRUE(view->GetModified());
  view->Clear();
  EXPECT_EQ(view->GetTextLength(), 0);
  view->SetStyle("Andale Mono", 14);
  Fixed size = 0;
  WEPut(0, 0, "x", 1, 0, 0, 0, nullptr, nullptr, view->controller);
  WEGetOneAttribute(0, 'ptsz', &size, sizeof size, view->controller);
  EXPECT_EQ(size, Fixed(14 << 16));
}

TEST_F(TWASTETest, EveryChangeMarksTheDocumentModifiedButALoadDoesNot) {
  // An untitled document: the first paste into its empty text counts.
  auto* untitled = new TCountingDocument();
  untitled->CreateEmpty();
  view->Load(untitled);
  EXPECT_FALSE(untitled->modified);
  view->PutCFString(CFSTR("pasted"), CFRangeMake(0, 0));
  EXPECT_TRUE(untitled->modified);
  untitled->Release();
  EXPECT_EQ(view->document, nullptr);  // the view no longer leads to it
  // A file: loading leaves it clean, one typed character marks it.
  folder.Write("page.php", "<?php echo 1; ?>\n");
  TCountingDocument* d = NewDocument("page.php");
  view->Load(d);
  FinishReading(d);
  EXPECT_EQ(TextOf(view->controller), "<?php echo 1; ?>\r");
  EXPECT_FALSE(d->modified);
  EXPECT_FALSE(view->GetModified());
  WESetSelection(0, 0, view->controller);
  UniChar x = 'x';
  WETextInput(&x, 1, 0, 0, view->controller);
  EXPECT_TRUE(d->modified);
  d->Release();
}

// The mark follows the text: undoing back to what was saved clears it,
// undoing past it or redoing sets it, and a save makes the new text the
// clean one.
TEST_F(TWASTETest, UndoingBackToTheSavedTextClearsTheModifiedMark) {
  folder.Write("page.php", "<?php ?>\n");
  TCountingDocument* d = NewDocument("page.php");
  view->Load(d);
  FinishReading(d);
  WEReference we = view->controller;
  WEFeatureFlag(weFUndo, weBitSet, we);
  WEFeatureFlag(weFMultipleUndo, weBitSet, we);
  auto type = [&](UniChar c) { WETextInput(&c, 1, 0, 0, we); };
  auto put = [&](const char* text) { WEPut(0, 0, text, std::strlen(text), 0, 0, 0, nullptr, nullptr, we); };
  WESetSelection(0, 0, we);
  type('x');
  type('y');
  ASSERT_TRUE(d->modified);
  ASSERT_EQ(WEUndo(we), noErr);
  EXPECT_FALSE(d->modified);
  ASSERT_EQ(WERedo(we), noErr);
  EXPECT_TRUE(d->modified);
  ASSERT_EQ(d->Save(), noErr);
  EXPECT_FALSE(d->modified);
  type('z');  // typing on after the save is a step of its own
  ASSERT_EQ(WEUndo(we), noErr);
  EXPECT_FALSE(d->modified);  // back at the saved "xy"
  ASSERT_EQ(WEUndo(we), noErr);
  EXPECT_TRUE(d->modified);   // past it
  // A new change after undoing past the save: the saved text is out of
  // reach, however many changes are undone or made again.
  put("b");
  ASSERT_EQ(WEUndo(we), noErr);
  EXPECT_TRUE(d->modified);
  put("c");
  EXPECT_TRUE(d->modified);
  d->Release();
}

TEST_F(TWASTETest, AChunkedReadDecodesFoldsLineEndingsAndLeavesNothingToUndo) {
  // The first chunk (8192 bytes) ends inside an é, the second inside a CR LF.
  std::string bytes(8191, 'a');
  bytes += "\xC3\xA9";
  bytes += std::string(16383 - bytes.size(), 'b');
  bytes += "\r\nlast line\r\n";
  folder.Write("big.txt", bytes);
  TCountingDocument* d = NewDocument("big.txt");
  view->Load(d);
  EXPECT_EQ(Err, noErr);  // started: Open answers at once
  ASSERT_NE(d->stream, nullptr);
  Boolean accept = true;
  ControllerAcceptInput(accept, view->controller, view);
  EXPECT_FALSE(accept);  // no typing into a text being read in
  FinishReading(d);
  std::string expected(8191, 'a');
  expected += "\xC3\xA9";
  expected += std::string(16383 - 8193, 'b');
  expected += "\rlast line\r";
  EXPECT_EQ(TextOf(view->controller), expected);
  EXPECT_EQ(d->loaded, 1);
  EXPECT_FALSE(d->modified);
  EXPECT_EQ(WEGetModCount(view->controller), 0u);
  Boolean redo = true;
  WEActionKind kind = -1;
  WEGetUndoInfo(&redo, &kind, view->controller);
  EXPECT_EQ(kind, weAKNone);
  EXPECT_FALSE(redo);
  EXPECT_EQ(d->lineEndings, Str15("\r\n"));
  accept = true;
  ControllerAcceptInput(accept, view->controller, view);
  EXPECT_TRUE(accept);
  // Saved unchanged, the file comes back byte for byte.
  EXPECT_EQ(d->Save(), noErr);
  EXPECT_EQ(ReadFile(folder.path + "/big.txt"), bytes);
  d->Release();
}

TEST_F(TWASTETest, FilesAreWrittenBackInTheEncodingAndEndingsTheyWereReadIn) {
  struct Case {
    const char* name;
    std::string bytes;
    UInt32 preferred;  // the document's encoding before it is read (the preference's)
    std::string text;  // as the view holds it, UTF-8
    UInt32 found;
  } cases[] = {
      {"utf8.txt", "caf\xC3\xA9\nend", kCFStringEncodingUTF8, "caf\xC3\xA9\rend", kCFStringEncodingUTF8},
      {"latin.txt", "caf\xE9\rend\r", kCFStringEncodingUTF8, "caf\xC3\xA9\rend\r", kCFStringEncodingWindowsLatin1},
      {"roman.txt", "caf\x8E\rend\r", kCFStringEncodingMacRoman, "caf\xC3\xA9\rend\r", kCFStringEncodingMacRoman},
      {"wide.txt", std::string("\xFF\xFEh\0i\0\r\0\n\0", 10), kCFStringEncodingUTF8, "hi\r",
       kCFStringEncodingUTF16LE},
      {"marked.txt", "\xEF\xBB\xBF" "a\r\nb", kCFStringEncodingUTF8, "a\rb", kCFStringEncodingUTF8},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    folder.Write(c.name, c.bytes);
    TCountingDocument* d = NewDocument(c.name);
    d->SetEncoding(c.preferred);
    view->Load(d);
    FinishReading(d);
    EXPECT_EQ(TextOf(view->controller), c.text);
    EXPECT_EQ(d->FileEncoding(), c.found);
    // Typed and taken back, then saved: the file's own bytes.
    WESetSelection(1, 1, view->controller);
    UniChar x = 'x';
    WETextInput(&x, 1, 0, 0, view->controller);
    WESetSelection(1, 2, view->controller);
    WEDelete(view->controller);
    ASSERT_EQ(d->Save(), noErr);
    EXPECT_EQ(ReadFile(folder.path + "/" + c.name), c.bytes);
    d->Release();
  }
}

TEST_F(TWASTETest, AFileThatIsNotTextIsReadOnlyAndNeverWritten) {
  const std::string bytes("\x7F" "ELF\x02\x01\0\0\x90\xFF\r\n\n", 13);
  folder.Write("prog", bytes);
  TCountingDocument* d = NewDocument("prog");
  view->Load(d);
  FinishReading(d);
  EXPECT_TRUE(d->readOnly);
  WESetSelection(0, 0, view->controller);
  UniChar x = 'x';
  WETextInput(&x, 1, 0, 0, view->controller);
  EXPECT_FALSE(d->modified);
  struct stat before {};
  stat((folder.path + "/prog").c_str(), &before);
  EXPECT_EQ(d->Save(), noErr);
  struct stat after {};
  stat((folder.path + "/prog").c_str(), &after);
  EXPECT_EQ(after.st_ino, before.st_ino);
  EXPECT_EQ(ReadFile(folder.path + "/prog"), bytes);
  d->Release();
}

TEST_F(TWASTETest, AFileThatCannotBeReadIsNeverWrittenOver) {
  folder.Write("gone.txt", "precious");
  TCountingDocument* d = NewDocument("gone.txt");
  d->controller = view->controller;
  view->document = d;
  const std::string moved = folder.path + "/kept.txt";
  std::rename((folder.path + "/gone.txt").c_str(), moved.c_str());
  EXPECT_NE(d->ReadText(), noErr);
  EXPECT_TRUE(d->readOnly);
  // Back in place, the file is not written with the empty text.
  std::rename(moved.c_str(), (folder.path + "/gone.txt").c_str());
  EXPECT_EQ(d->Save(), noErr);
  EXPECT_EQ(ReadFile(folder.path + "/gone.txt"), "precious");
  d->Release();
}

TEST_F(TWASTETest, AFailedSaveKeepsTheDocumentModifiedAndAnswersTheError) {
  folder.Write("gone.txt", "text");
  TCountingDocument* d = NewDocument("gone.txt");
  view->Load(d);
  FinishReading(d);
  view->PutCFString(CFSTR("more "), CFRangeMake(0, 0));
  ASSERT_TRUE(d->modified);
  std::remove((folder.path + "/gone.txt").c_str());
  rmdir(folder.path.c_str());
  EXPECT_NE(d->Save(), noErr);
  EXPECT_TRUE(d->modified);
  d->Release();
}

// A save that cannot be completed (here the process may not write a file
// that long) leaves the file as it was, never cut at the limit.
TEST_F(TWASTETest, ASaveThatCannotFinishLeavesTheFileWhole) {
  const std::string original(3000, 'o');
  folder.Write("page.html", original);
  chmod((folder.path + "/page.html").c_str(), 0755);
  TCountingDocument* d = NewDocument("page.html");
  view->Load(d);
  FinishReading(d);
  view->PutCFString(CFSTR("grown "), CFRangeMake(0, 0));
  struct rlimit old {};
  getrlimit(RLIMIT_FSIZE, &old);
  struct rlimit small = old;
  small.rlim_cur = 2048;
  void (*previous)(int) = signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const SInt32 status = d->Save();
  setrlimit(RLIMIT_FSIZE, &old);
  signal(SIGXFSZ, previous);
  EXPECT_EQ(status, dskFulErr);
  EXPECT_TRUE(d->modified);
  EXPECT_EQ(ReadFile(folder.path + "/page.html"), original);
  EXPECT_EQ(folder.Names(), std::vector<std::string>{"page.html"});
  // Saved once it can be, it keeps its mode.
  ASSERT_EQ(d->Save(), noErr);
  EXPECT_EQ(ReadFile(folder.path + "/page.html"), "grown " + original);
  struct stat st {};
  ASSERT_EQ(stat((folder.path + "/page.html").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0755u);
  d->Release();
}

TEST_F(TWASTETest, RTFIsReadWholeAndAMissingFileIsReported) {
  folder.Write("letter.rtf", "{\\rtf1\\ansi Dear {\\b friend}\\par}");
  TCountingDocument* d = NewDocument("letter.rtf");
  ASSERT_EQ(d->fileType, OSType('RTF '));
  d->controller = view->controller;
  view->document = d;
  EXPECT_EQ(d->Open(), noErr);
  EXPECT_EQ(d->stream, nullptr);
  EXPECT_EQ(TextOf(view->controller).substr(0, 11), "Dear friend");
  EXPECT_EQ(d->loaded, 1);
  EXPECT_EQ(WEGetModCount(view->controller), 0u);
  EXPECT_FALSE(d->modified);
  std::remove((folder.path + "/letter.rtf").c_str());
  EXPECT_NE(d->Open(), noErr);
  // A plain file that cannot be opened is reported too, not read forever.
  folder.Write("plain.txt", "x");
  TCountingDocument* plain = NewDocument("plain.txt");
  std::remove((folder.path + "/plain.txt").c_str());
  plain->controller = view->controller;
  EXPECT_NE(plain->Open(), noErr);
  EXPECT_EQ(plain->stream, nullptr);
  plain->Release();
  d->Release();
}

TEST_F(TWASTETest, APaneHoldsItsTextViewAndClosingItStopsTheRead) {
  auto* w = new TWindow();
  w->Create("Document", FixtureNib());
  std::string bytes(40000, 'z');
  folder.Write("long.txt", bytes);
  TCountingDocument* d = NewDocument("long.txt");
  auto* pane = new TWASTEPane();
  pane->SetDocument(d);
  pane->Create("Text Pane", FixtureNib());
  ASSERT_NE(pane->view, nullptr);
  EXPECT_EQ(pane->GetClassString(), Str255("TWASTEPane"));
  EXPECT_EQ(d->owner, pane);
  EXPECT_EQ(d->controller, pane->view->controller);
  EXPECT_EQ(pane->view->document, d);
  pane->Attach(w->window);
  EXPECT_EQ(TWindowGetPane(w->window), pane);
  EXPECT_EQ(pane->paneView, pane->view->control);  // the text view fills the window
  EXPECT_EQ(HIViewGetSuperview(pane->paneView), HIViewGetRoot(w->window));
  w->AppendDocument(d);
  d->SetOwner(pane);
  EXPECT_EQ(d->Open(), noErr);
  HeadlessAdvanceClock(1.0 / 60);
  ASSERT_NE(d->stream, nullptr);
  const SInt32 partial = WEGetTextLength(d->controller);
  EXPECT_GT(partial, 0);
  EXPECT_LT(partial, 40000);
  pane->Close();
  EXPECT_EQ(d->stream, nullptr);
  // The engine went with the view: the document holds neither.
  EXPECT_EQ(d->controller, nullptr);
  EXPECT_EQ(d->owner, nullptr);
  EXPECT_EQ(TWindowGetPane(w->window), nullptr);
  HeadlessAdvanceClock(1.0);  // no chunk arrives for the closed pane
  EXPECT_EQ(d->loaded, 0);
  w->Remove();
}

TEST_F(TWASTETest, AReadStopsWhenItsViewLeavesEveryWindow) {
  std::string bytes(40000, 'y');
  folder.Write("long.txt", bytes);
  TCountingDocument* d = NewDocument("long.txt");
  d->SetOwner(view);
  view->Load(d);
  HeadlessAdvanceClock(1.0 / 60);
  ASSERT_NE(d->stream, nullptr);
  HIViewRemoveFromSuperview(control);
  HeadlessAdvanceClock(1.0 / 60);
  EXPECT_EQ(d->stream, nullptr);
  HeadlessAdvanceClock(1.0);
  EXPECT_EQ(d->loaded, 0);
  HIViewAddSubview(window->root, control);
  d->Release();
}

TEST_F(TWASTETest, TheLightPaneHoldsTheEnginesOwnViewInAScrollView) {
  auto* d = new TCountingDocument();
  d->CreateEmpty();
  auto* pane = new THIWASTEPane();
  pane->document = d;
  pane->Create("Pane", FixtureNib());
  ASSERT_NE(pane->scrollView, nullptr);
  EXPECT_EQ(HIViewGetSuperview(pane->scrollView), pane->paneView);
  ASSERT_NE(pane->controller, nullptr);
  EXPECT_EQ(d->controller, pane->controller);
  WEPut(0, 0, "abc", 3, 0, 0, 0, nullptr, nullptr, pane->controller);
  EXPECT_EQ(TextOf(pane->controller), "abc");
  EXPECT_EQ(d->owner, pane);
  pane->Close();
  EXPECT_EQ(d->controller, nullptr);
  EXPECT_EQ(d->owner, nullptr);
  d->Release();
  // The other order: the document goes first, and the pane forgets it.
  auto* e = new TCountingDocument();
  e->CreateEmpty();
  auto* second = new THIWASTEPane();
  second->document = e;
  second->Create("Pane", FixtureNib());
  e->Release();
  EXPECT_EQ(second->document, nullptr);
  second->Close();
}

}  // namespace
