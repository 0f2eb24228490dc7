// A file's first parse in the source editor, in timer firings: between
// firings the view draws the text coloured as far as the scan has come, in
// the colours the finished parse leaves, and the colours do not depend on how
// the parse was sliced.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "HeadlessHost.h"
#include "IBCarbonRuntime.h"
#include "TQVEditorUnit.h"
#include "TSyntaxParserProcessUnit.h"
#include "TWASTEDocumentUnit.h"
#include "TWASTEViewUnit.h"
#include "fixtures/CodeSenseFixture.h"
#include "fixtures/EditorFixture.h"
#include "plinthora/Plinthora.h"

using namespace codesensetest;
using namespace editortest;

namespace {

using Look = std::array<UInt16, 6>;

// Code, strings, comments and markup, over many lines.
std::string PhpText(int blocks) {
  std::string text = "<html><body>\n<?php\n";
  for (int i = 0; i < blocks; ++i) {
    const std::string n = std::to_string(i);
    text += "/* block " + n + " */\nfunction f" + n + "($a, $b = 'x" + n + "') {\n";
    text += "  // add them\n  $s = \"sum: \" . ($a + $b + " + n + ");\n  return $s;\n}\n";
    if (i % 7 == 3) text += "?>\n<p class=\"c" + n + "\">text " + n + "</p>\n<?php\n";
  }
  return text + "?>\n</body></html>\n";
}

struct OpenParseTest : ScratchTest {
  std::vector<std::pair<TWASTEDocument*, TQVEditor*>> opened;

  void TearDown() override {
    for (auto [document, editor] : opened) {
      editor->ReleaseViewObject();
      document->Release();
    }
    ScratchTest::TearDown();
  }
  // An editor loading the file, its parse not yet begun.
  TQVEditor* Load(const std::string& name) {
    RegisterViewClassOnce();
    static const bool toolbars = (RegisterToolbarViewClass(), true);
    (void)toolbars;
    auto* document = new TWASTEDocument();
    document->Create(RefOf(scratch + "/" + name));
    auto* editor = new TQVEditor();
    editor->SetDocument(document);
    editor->SetOptions(SourceEditorOption(kSourceEditorAllOptions));
    editor->Create("Source Pane", EditorNib());
    opened.emplace_back(document, editor);
    if (editor->view == nullptr) return nullptr;
    editor->SetCollection(Languages());
    editor->Load();
    return editor;
  }
  static void Finish(TQVEditor* editor) {
    for (int i = 0; i < 1000000 && editor->parser->busy; ++i) HeadlessAdvanceClock(0.001);
    ASSERT_FALSE(editor->parser->busy);
  }
  static std::vector<Look> Looks(WEReference we, SInt32 end) {
    std::vector<Look> looks;
    for (SInt32 i = 0; i < end; ++i) {
      RGBColor rgb{};
      Boolean bold = false, italic = false, underline = false;
      WEGetOneAttribute(i, 'colr', &rgb, sizeof rgb, we);
      WEGetOneAttribute(i, 'bold', &bold, 1, we);
      WEGetOneAttribute(i, 'ital', &italic, 1, we);
      WEGetOneAttribute(i, 'undl', &underline, 1, we);
      looks.push_back({rgb.red, rgb.green, rgb.blue, UInt16(bold), UInt16(italic), UInt16(underline)});
    }
    return looks;
  }
};

TEST_F(OpenParseTest, BetweenFiringsTheViewShowsTheTextColouredAsItWillStay) {
  WriteText(scratch + "/page.php", PhpText(120));
  TQVEditor* sliced = Load("page.php");
  ASSERT_NE(sliced, nullptr);
  sliced->parser->firingBudget = 0;  // one slice of Runs a firing
  WEReference we = sliced->GetWE();
  // Well into the file, the scan far enough past the part compared that no
  // open string or comment reaches back into it.
  const SInt32 part = 3000;
  int firings = 0;
  while (sliced->parser->busy &&
         (sliced->parser->current == nullptr || sliced->parser->current->state.absoluteOffset < part + 1500)) {
    HeadlessAdvanceClock(0.000001);  // one firing: the timer's interval
    ++firings;
  }
  ASSERT_TRUE(sliced->parser->busy) << "the parse ended in " << firings << " firings";
  EXPECT_GT(firings, 3);
  EXPECT_EQ(WEFeatureFlag(weFInhibitRedraw, weBitTest, we), 0) << "the view draws between firings";
  const std::vector<Look> shown = Looks(we, part);
  Finish(sliced);
  EXPECT_EQ(WEFeatureFlag(weFInhibitRedraw, weBitTest, we), 0);
  const std::vector<Look> finished = Looks(we, WEGetTextLength(we));
  EXPECT_TRUE(std::equal(shown.begin(), shown.end(), finished.begin()));

  // The same file parsed in firings of the usual budget: the same text in
  // the same colours.
  TQVEditor* whole = Load("page.php");
  ASSERT_NE(whole, nullptr);
  Finish(whole);
  EXPECT_EQ(TextOf(whole->GetWE()), TextOf(we));
  EXPECT_TRUE(Looks(whole->GetWE(), WEGetTextLength(we)) == finished);
  // Some of it is coloured at all.
  EXPECT_NE(finished.front(), finished[size_t(part) / 2]);
}

// The text takes no input while it streams in (the window draws it then): a
// key typed meanwhile waits for the parse to end and goes in, coloured as a
// whole parse colours it; it is not lost.
TEST_F(OpenParseTest, AKeyTypedWhileTheTextStreamsInWaitsForTheParseAndGoesIn) {
  const std::string text = PhpText(120);
  WriteText(scratch + "/page.php", text);
  TQVEditor* editor = Load("page.php");
  ASSERT_NE(editor, nullptr);
  editor->parser->firingBudget = 0;
  WindowRef window = editor->GetWindow();
  ASSERT_NE(window, nullptr);
  ShowWindow(window);
  SelectWindow(window);
  ASSERT_EQ(SetKeyboardFocus(window, editor->view->control, kControlEditTextPart), noErr);
  WEReference we = editor->GetWE();
  for (int i = 0; i < 4 && editor->parser->busy; ++i) HeadlessAdvanceClock(0.000001);
  ASSERT_TRUE(editor->parser->busy);
  const SInt32 at = SInt32(text.find("$s = "));  // x$s: no variable, once the key is re-parsed
  WESetSelection(at, at, we);

  SendKey(7, 'x');
  EXPECT_FALSE(editor->parser->busy);
  std::string typed = text;
  typed.insert(size_t(at), "x");
  std::replace(typed.begin(), typed.end(), '\n', '\r');
  ASSERT_EQ(TextOf(we), typed);
  for (int i = 0; i < 100000 && editor->parser->EditPending(); ++i) HeadlessAdvanceClock(0.001);
  const std::vector<Look> keyed = Looks(we, WEGetTextLength(we));
  editor->Refresh();
  Finish(editor);
  const std::vector<Look> whole = Looks(we, WEGetTextLength(we));
  const auto differ = std::mismatch(keyed.begin(), keyed.end(), whole.begin());
  EXPECT_TRUE(differ.first == keyed.end()) << "the colours a whole parse gives; not at "
                                           << (differ.first - keyed.begin()) << " (the key at " << at << ")";
}

}  // namespace
