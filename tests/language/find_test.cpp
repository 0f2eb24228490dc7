// Find and replace over a real text view in a headless window: find with and
// without wrap, the options, the find text from the selection (any
// character), find all with its query view and drawn boxes, replace and
// replace all (whole text, in the selection, growing and shrinking
// replacements), find in the next document, the commands, the source
// editor's hooks and the recent strings. Selections are written "[...]" in
// the texts.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CFPascal.h"
#include "HIObject.h"
#include "HeadlessHost.h"
#include "MacMemory.h"
#include "MacWindows.h"
#include "TDocumentListUnit.h"
#include "THIQueryViewUnit.h"
#include "TFindUnit.h"
#include "TQVEditorUnit.h"
#include "TWASTEDocumentUnit.h"
#include "TWindowUnit.h"
#include "TestBitmap.h"
#include "fenwicket/Fenwicket.h"

namespace {

// A text view in a shown window, its document the active one of the
// window's list.
struct View {
  WindowRef window = nullptr;
  HIViewRef view = nullptr;
  WEReference we = nullptr;
  TWASTEDocument* document = nullptr;

  explicit View(WindowRef w) : window(w) {
    HIObjectRef object = nullptr;
    EXPECT_EQ(HIObjectCreate(kWasteViewClassID, nullptr, &object), noErr);
    view = reinterpret_cast<HIViewRef>(object);
    HIViewAddSubview(HIViewGetRoot(window), view);
    const CGRect frame{{10, 20}, {400, 300}};
    HIViewSetFrame(view, &frame);
    HIViewSetVisible(view, true);
    we = WasteCreateController(view, window, 0);
    document = new TWASTEDocument();
    document->CreateEmpty();
    document->controller = we;
  }
};

std::string Stream(SInt32 start, SInt32 end, WEReference we) {
  Handle h = NewHandle(0);
  WEStreamRange(start, end, 'utf8', 0, h, we);
  std::string s(*h, size_t(GetHandleSize(h)));
  DisposeHandle(h);
  return s;
}

void Put(SInt32 at, const std::string& text, WEReference we) {
  WEPut(at, at, text.data(), text.size(), kTextEncodingUTF8, 0, 0, nullptr, nullptr, we);
}

// Sets the text; "[" and "]" mark the selection (none: insertion point at 0).
void SetMarked(const std::string& marked, WEReference we) {
  WESetSelection(0, WEGetTextLength(we), we);
  WEDelete(we);
  const size_t open = marked.find('['), close = marked.find(']');
  if (open == std::string::npos) {
    Put(0, marked, we);
    WESetSelection(0, 0, we);
    return;
  }
  Put(0, marked.substr(0, open), we);
  const SInt32 start = WEGetTextLength(we);
  Put(start, marked.substr(open + 1, close - open - 1), we);
  const SInt32 end = WEGetTextLength(we);
  Put(end, marked.substr(close + 1), we);
  WESetSelection(start, end, we);
}

std::string Marked(WEReference we) {
  SInt32 start = 0, end = 0;
  WEGetSelection(&start, &end, we);
  return Stream(0, start, we) + "[" + Stream(start, end, we) + "]" + Stream(end, WEGetTextLength(we), we);
}

std::string Text(WEReference we) { return Stream(0, WEGetTextLength(we), we); }

std::vector<std::pair<SInt32, SInt32>> Pairs(CFArrayRef list) {
  std::vector<std::pair<SInt32, SInt32>> pairs;
  for (CFIndex i = 0; list != nullptr && i < CFArrayGetCount(list); ++i) {
    auto* p = static_cast<const SInt32*>(CFArrayGetValueAtIndex(list, i));
    pairs.emplace_back(p[0], p[1]);
  }
  return pairs;
}

THIQueryView* gQueryView = nullptr;
FindOptions gPaneSettings;
TFindPane* const kPane = reinterpret_cast<TFindPane*>(0x1);

struct FindTest : ::testing::Test {
  WindowRef carbon = nullptr;
  TWindow* window = nullptr;
  View* first = nullptr;
  TFind* find = nullptr;
  WEReference we = nullptr;

  void SetUp() override {
    static bool registered = false;
    if (!registered) {
      HeadlessUseVirtualClock(true);
      RegisterWasteClass();
      registered = true;
    }
    Rect bounds = {100, 100, 500, 600};
    ASSERT_EQ(CreateNewWindow(kDocumentWindowClass, kWindowStandardHandlerAttribute, &bounds, &carbon), noErr);
    ShowWindow(carbon);
    window = new TWindow();
    window->documents = new TDocumentList();
    window->documents->Create();
    first = new View(carbon);
    we = first->we;
    window->documents->Append(first->document);
    window->documents->SetActive(first->document);
    find = new TFind();
    find->SetWindow(window);
    find->GetQueryDocument(window);
    FindSetPaneHooks(nullptr);
  }
  void TearDown() override {
    FindSetPaneHooks(nullptr);
    find->Release();
    window->documents->Release();
    delete window;
    delete first;
    DisposeWindow(carbon);
  }
  void Options(UInt32 flags, bool wrap) {
    FindOptions o;
    o.flags = flags;
    o.wrap = wrap;
    find->SetOptions(o);
  }
};

TEST_F(FindTest, FindSelectsTheNextMatchWrappingWhenAsked) {
  struct Case {
    const char* text;
    UInt32 flags;
    bool wrap;
    const char* what;
    const char* expected;
    int beeps;
  };
  const Case cases[] = {
      {"alpha beta alpha", 0, false, "alpha", "[alpha] beta alpha", 0},
      {"[alpha] beta alpha", 0, false, "alpha", "alpha beta [alpha]", 0},
      {"alpha beta [alpha]", 0, false, "alpha", "alpha beta [alpha]", 1},
      {"alpha beta [alpha]", 0, true, "alpha", "[alpha] beta alpha", 0},
      {"alpha b[]eta", 0, true, "zeta", "alpha b[]eta", 1},
      {"x ALPHA alpha", weFindCaseInsensitive, false, "alpha", "x [ALPHA] alpha", 0},
      {"x ALPHA alpha", 0, false, "alpha", "x ALPHA [alpha]", 0},
      {"alphabet alpha", weFindWholeWords, false, "alpha", "alphabet [alpha]", 0},
      {"café crème", 0, false, "crème", "café [crème]", 0},
      {"CAFÉ café", weFindCaseInsensitive, false, "café", "[CAFÉ] café", 0},
      // An empty find text would match everywhere: it is refused.
      {"ab[]c", 0, true, "", "ab[]c", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text + std::string(" / ") + c.what);
    SetMarked(c.text, we);
    Options(c.flags, c.wrap);
    const int beeps = HeadlessBeepCount();
    find->Find(c.what);
    EXPECT_EQ(Marked(we), c.expected);
    EXPECT_EQ(HeadlessBeepCount() - beeps, c.beeps);
    EXPECT_EQ(find->options.findText.str(), c.what);
  }
}

TEST_F(FindTest, FindSelectionSearchesForTheSelectedTextWhateverItsCharacters) {
  for (const auto& [text, expected] : std::vector<std::pair<std::string, std::string>>{
           {"x [café] y café", "x café y [café]"},
           {"[€ 5] and € 5", "€ 5 and [€ 5]"},
           {"[plain] plain", "plain [plain]"}}) {
    SetMarked(text, we);
    find->FindSelection();
    EXPECT_EQ(Marked(we), expected);
  }
  // Nothing selected: nothing to look for.
  SetMarked("abc", we);
  const int beeps = HeadlessBeepCount();
  find->FindSelection();
  EXPECT_EQ(HeadlessBeepCount() - beeps, 1);
  EXPECT_EQ(Marked(we), "[]abc");
}

TEST_F(FindTest, WithoutATextDocumentEveryOperationBeepsAndDoesNothing) {
  find->GetQueryDocument(nullptr);
  EXPECT_EQ(find->instance, nullptr);
  SetMarked("[a] a", we);
  const int beeps = HeadlessBeepCount();
  find->Find("a");
  EXPECT_EQ(find->FindAll("a"), nullptr);
  find->Replace("b");
  find->ReplaceAll("a", "b", false);
  EXPECT_EQ(HeadlessBeepCount() - beeps, 4);
  EXPECT_EQ(Marked(we), "[a] a");
}

TEST_F(FindTest, FindAllListsTheMatchesAfterTheSelectionAndFeedsTheQueryView) {
  THIQueryView query;
  gQueryView = &query;
  FindPaneHooks hooks{};
  hooks.GetQueryView = [](TFindPane*) { return gQueryView; };
  FindSetPaneHooks(&hooks);
  find->SetController(kPane);

  SetMarked("a[] b a c é a", we);
  CFArrayRef list = find->FindAll("a");
  EXPECT_EQ(Pairs(list), (std::vector<std::pair<SInt32, SInt32>>{{4, 5}, {10, 11}}));
  SInt32 start = 0, end = 0;
  WEGetSelection(&start, &end, we);
  EXPECT_EQ(start, 4);
  EXPECT_EQ(end, 4);
  EXPECT_EQ(query.Count, 2);
  EXPECT_EQ(query.Current, 1);
  const CFRange range = query.GetActiveRange();
  EXPECT_EQ(range.location, 4);
  EXPECT_EQ(range.length, 1);
  CFRelease(list);

  // No match: an empty list, the selection stays.
  SetMarked("[x] y", we);
  list = find->FindAll("z");
  EXPECT_EQ(CFArrayGetCount(list), 0);
  EXPECT_EQ(Marked(we), "[x] y");
  CFRelease(list);

  const int beeps = HeadlessBeepCount();
  EXPECT_EQ(find->FindAll(""), nullptr);
  EXPECT_EQ(HeadlessBeepCount() - beeps, 1);
  query.Clear();  // the view owns the ranges it was last given
}

TEST_F(FindTest, ReplaceReplacesTheSelectionAndSelectsTheReplacement) {
  struct Case {
    const char* text;
    const char* replacement;
    const char* expected;
  };
  const Case cases[] = {
      {"x [ab] y", "café", "x [café] y"},
      {"x [ab] y", "", "x [] y"},
      {"x [] y", "Q", "x [] y"},
  };
  for (const Case& c : cases) {
    SetMarked(c.text, we);
    find->Replace(c.replacement);
    EXPECT_EQ(Marked(we), c.expected) << c.text;
  }
}

TEST_F(FindTest, ReplaceAllReplacesEachOriginalOccurrenceOnce) {
  struct Case {
    const char* text;
    const char* what;
    const char* replacement;
    bool inSelection;
    UInt32 flags;
    const char* expected;
    int beeps;
  };
  const Case cases[] = {
      {"a b a", "a", "aa", false, 0, "aa b aa", 0},
      {"[a a] a", "a", "aaa", true, 0, "aaa aaa a", 0},
      {"[a a] a", "a", "", true, 0, "  a", 0},
      {"a [b a b] a", "a", "xyz", true, 0, "a b xyz b a", 0},
      {"A a", "a", "b", false, weFindCaseInsensitive, "b b", 0},
      {"é e é", "é", "e", false, 0, "e e e", 0},
      {"xyz", "q", "r", false, 0, "xyz", 1},
      {"abc", "", "r", false, 0, "abc", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    SetMarked(c.text, we);
    find->options.flags = c.flags;
    const int beeps = HeadlessBeepCount();
    find->ReplaceAll(c.what, c.replacement, c.inSelection);
    EXPECT_EQ(Text(we), c.expected);
    EXPECT_EQ(HeadlessBeepCount() - beeps, c.beeps);
  }
  // The last replacement is selected.
  SetMarked("a b a", we);
  find->options.flags = 0;
  find->ReplaceAll("a", "cé", false);
  EXPECT_EQ(Marked(we), "cé b [cé]");
}

TEST_F(FindTest, FindInNextFileMovesToTheNextDocumentAndSearchesThere) {
  View second(carbon);
  SetMarked("nothing here", we);
  SetMarked("some needle", second.we);
  window->documents->Append(second.document);
  window->documents->SetActive(first->document);
  Options(0, false);
  find->options.findText = "needle";
  find->FindInNextFile();
  EXPECT_EQ(window->documents->GetActive(), second.document);
  EXPECT_EQ(find->instance, second.we);
  EXPECT_EQ(Marked(second.we), "some [needle]");
  // Round again to the first document.
  find->FindInNextFile();
  EXPECT_EQ(find->instance, we);

  window->documents->Remove(second.document);
  second.document->Release();
  // No active document: nothing after it.
  window->documents->SetActive(nullptr);
  const int beeps = HeadlessBeepCount();
  find->FindInNextFile();
  EXPECT_EQ(HeadlessBeepCount() - beeps, 1);
}

TEST_F(FindTest, CommandsTakeThePaneSettingsOrKeepTheRequestInForce) {
  FindPaneHooks hooks{};
  hooks.GetUserSettings = [](TFindPane*) { return gPaneSettings; };
  FindSetPaneHooks(&hooks);
  gPaneSettings = FindOptions();
  gPaneSettings.findText = "one";
  gPaneSettings.replaceText = "two";

  struct Case {
    OSType command;
    bool pane;
    const char* text;
    const char* expected;
  };
  const Case cases[] = {
      {'WFdN', true, "one one", "[one] one"},
      {'ReFN', true, "[one] one", "two [one]"},
      {'RePA', true, "one x one", "two x [two]"},
      {'RePS', true, "[one x] one", "[two] x one"},
      {'FndS', true, "[x] one x", "x one [x]"},
      // Without a pane the request in force stays.
      {'WFdN', false, "two [two] two", "two two [two]"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.text));
    find->SetController(c.pane ? kPane : nullptr);
    find->options.findText = "two";
    SetMarked(c.text, we);
    HICommand command{};
    command.commandID = c.command;
    SInt32 result = -1;
    find->ProcessCommand(command, result);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(Marked(we), c.expected);
  }
  HICommand other{};
  other.commandID = 'abcd';
  SInt32 result = -1;
  find->ProcessCommand(other, result);
  EXPECT_EQ(result, -1);
}

TEST_F(FindTest, DrawingCountsAndBoxesAtMostFourHundredMatches) {
  for (int n : {400, 401}) {
    std::string text;
    for (int i = 0; i < n; ++i) text += "ab\r";
    SetMarked(text, we);
    auto* drawing = new TFindQueryDrawing();
    drawing->view = first->view;
    drawing->SetResults(find->FindAll("b"));
    EXPECT_EQ(drawing->GetResultCount().str(),
              n == 400 ? "Found 400 matches." : "More than 400 matches.");
    const std::vector<CGRect> boxes = drawing->ResultBoxes(we);
    ASSERT_EQ(boxes.size(), 400u);
    // One character wide, one line high, each line below the last.
    EXPECT_GT(boxes[0].size.width, 0);
    EXPECT_GT(boxes[0].size.height, 0);
    EXPECT_EQ(boxes[1].origin.x, boxes[0].origin.x);
    EXPECT_EQ(boxes[1].origin.y - boxes[0].origin.y, boxes[0].size.height);
    drawing->SetSelected(3);
    EXPECT_EQ(drawing->selected, 3);
    drawing->Clear();
    EXPECT_EQ(drawing->results, nullptr);
    EXPECT_EQ(drawing->selected, 0);
    EXPECT_EQ(drawing->GetResultCount().str(), "Found 0 matches.");
    drawing->Release();
  }
}

TEST_F(FindTest, TheEditorDrawsTheResultsUntilItsTextChanges) {
  InstallFindEditorHooks();
  THIQueryView query;
  gQueryView = &query;
  FindPaneHooks hooks{};
  hooks.GetQueryView = [](TFindPane*) { return gQueryView; };
  FindSetPaneHooks(&hooks);
  find->SetController(kPane);
  auto* drawing = new TFindQueryDrawing();
  drawing->view = first->view;
  find->SetDrawing(drawing);
  SetMarked("x y x", we);
  drawing->SetResults(find->FindAll("x"));
  ASSERT_NE(drawing->results, nullptr);
  ASSERT_EQ(query.Count, 2);

  TQVEditor editor;
  editor.find = find;
  // The background shows the boxes, the selected one yellow.
  auto yellow = [&] {
    Bitmap bitmap(420, 340);
    const CGRect rect{{0, 0}, {420, 340}};
    editor.HandleDrawBackground(bitmap.context, rect, nullptr, we);
    bitmap.At(0, 0);  // what was drawn reaches the pixels
    int n = 0;
    for (size_t i = 0; i < bitmap.pixels.size(); i += 4) {
      const UInt8* p = &bitmap.pixels[i];
      n += p[0] > 240 && p[1] > 200 && p[2] < 60;
    }
    return n;
  };
  EXPECT_GT(yellow(), 20);

  editor.HandleControllerFlux(0, 1, 'x', we);
  EXPECT_EQ(drawing->results, nullptr);
  EXPECT_EQ(query.Count, 0);
  EXPECT_EQ(query.Results, nullptr);
  EXPECT_EQ(yellow(), 0);
  editor.find = nullptr;
  drawing->Release();
  QVEditorSetFindHooks(nullptr);
}

std::vector<std::string> Strings(CFArrayRef list) {
  std::vector<std::string> out;
  for (CFIndex i = 0; i < CFArrayGetCount(list); ++i) {
    char buffer[256] = {};
    CFStringGetCString(static_cast<CFStringRef>(CFArrayGetValueAtIndex(list, i)), buffer, sizeof buffer,
                       kCFStringEncodingUTF8);
    out.push_back(buffer);
  }
  return out;
}

CFArrayRef Numbered(int first, int last) {
  CFMutableArrayRef list = CFArrayCreateMutable(nullptr, 0, &kCFTypeArrayCallBacks);
  for (int i = first; i <= last; ++i) {
    CFStringRef s = CFStringCreateWithCString(nullptr, std::to_string(i).c_str(), kCFStringEncodingUTF8);
    CFArrayAppendValue(list, s);
    CFRelease(s);
  }
  return list;
}

std::vector<std::string> NumberedStrings(int first, int last) {
  std::vector<std::string> out;
  for (int i = first; i <= last; ++i) out.push_back(std::to_string(i));
  return out;
}

TEST(FindRecentStrings, KeepTheTwentyFiveMostRecentInsteadOfLosingThem) {
  struct Case {
    int stored;         // entries "1".."stored"
    const char* added;  // nil: only read
    std::vector<std::string> expected;
  };
  auto upTo = [](int first, int last, std::vector<std::string> tail = {}) {
    std::vector<std::string> v = NumberedStrings(first, last);
    v.insert(v.end(), tail.begin(), tail.end());
    return v;
  };
  const Case cases[] = {
      {3, nullptr, upTo(1, 3)},
      {26, nullptr, upTo(2, 26)},
      {3, "new", upTo(1, 3, {"new"})},
      {3, "2", upTo(1, 3)},
      {3, "", upTo(1, 3)},
      {25, "new", upTo(2, 25, {"new"})},
      {30, "new", upTo(7, 30, {"new"})},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.stored);
    CFArrayRef stored = Numbered(1, c.stored);
    CFArrayRef result = nullptr;
    if (c.added == nullptr) {
      result = FindCopyRecentStrings(stored);
    } else {
      CFStringRef text = CFStringCreateWithCString(nullptr, c.added, kCFStringEncodingUTF8);
      result = FindCopyAddingRecentString(stored, text);
      CFRelease(text);
    }
    EXPECT_EQ(Strings(result), c.expected);
    CFRelease(result);
    CFRelease(stored);
  }
  CFArrayRef none = FindCopyRecentStrings(nullptr);
  EXPECT_EQ(CFArrayGetCount(none), 0);
  CFRelease(none);
}

}  // namespace
