// Source documents in a real source editor over real files: the text or line
// a document was opened for is selected once its text is in (and only once),
// saving reports the write's own status, "save as" under another language's
// name colours the text as that language, reverting does not double the
// text, and a page's document is named after its address.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <string>

#include "../support/CFRef.h"
#include "CFURL.h"
#include "DynamicParser.h"
#include "HeadlessHost.h"
#include "IBCarbonRuntime.h"
#include "PascalCarbonCommon.h"
#include "TQVEditorUnit.h"
#include "TSourceDocumentUnit.h"
#include "TWASTEViewUnit.h"
#include "fixtures/CodeSenseFixture.h"
#include "fixtures/EditorFixture.h"
#include "plinthora/Plinthora.h"

using namespace codesensetest;
using namespace editortest;

namespace {


const char* const kScript =
    "<?php\n"
    "function alpha() { return 1; }\n"
    "$total = alpha() + alpha();\n"
    "?>\n";

struct SourceDocumentTest : ScratchTest {
  TFileSystem* index = nullptr;
  TSourceDocument* document = nullptr;
  TQVEditor* editor = nullptr;
  WEReference we = nullptr;

  void SetUp() override {
    ScratchTest::SetUp();
    RegisterEditorViewsOnce();
    mkdir((scratch + "/index").c_str(), 0700);
    index = CreateFileSystem(RefOf(scratch + "/index"), Languages(), nullptr);
    index->SetRoot(RefOf(scratch));
  }
  void TearDown() override {
    if (editor != nullptr) editor->ReleaseViewObject();
    if (document != nullptr) document->Release();
    if (index != nullptr) index->Release();
    ScratchTest::TearDown();
  }
  // Makes the editor over the file; the text comes in with the first parse.
  void Make(const std::string& name, const std::string& text) {
    WriteText(scratch + "/" + name, text);
    document = new TSourceDocument();
    document->Create(RefOf(scratch + "/" + name));
    editor = new TQVEditor();
    editor->SetDocument(document);
    editor->SetFileSystem(index);
    editor->Create("Source Pane", EditorNib());
    ASSERT_NE(editor->view, nullptr);
    we = editor->GetWE();
    document->SetEditor(editor);
  }
  void Load() {
    editor->Load();
    Finish();
    ASSERT_GT(WEGetTextLength(we), 0) << editor->parser->lastError;
  }
  void Finish() {
    for (int i = 0; i < 100000 && editor->parser->busy; ++i) HeadlessAdvanceClock(0.001);
    ASSERT_FALSE(editor->parser->busy);
  }
  std::string Selected() {
    SInt32 start = 0, end = 0;
    WEGetSelection(&start, &end, we);
    return TextOf(we).substr(size_t(start), size_t(end - start));
  }
  SInt32 SelectionStart() {
    SInt32 start = 0, end = 0;
    WEGetSelection(&start, &end, we);
    return start;
  }
};

TEST_F(SourceDocumentTest, TheQueryOrLineIsSelectedOnceTheTextIsIn) {
  struct Case {
    const char* what;
    const char* query;
    SInt16 line;
    std::string selected;
    SInt32 start;  // -1: wherever loading left it
  } cases[] = {
      {"the first occurrence", "alpha()", 0, "alpha()", 15},
      {"case counts", "ALPHA", 0, "", -1},
      {"a query not in the text", "gamma", 0, "", -1},
      {"a line counted from 1", "", 3, "$total = alpha() + alpha();\r", 37},
      {"the last line", "", 4, "?>\r", 65},
      {"line 0 is ignored", "", 0, "", -1},
      {"a line past the end", "", 40, "", -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Make("page.php", kScript);
    // Asked before the text is in: kept until the first parse has finished.
    document->SetQueryString(c.query);
    document->SetDefaultLine(c.line);
    Load();
    if (c.start >= 0) {
      EXPECT_EQ(Selected(), c.selected);
      EXPECT_EQ(SelectionStart(), c.start);
    } else {
      EXPECT_EQ(Selected(), "");
    }
    // Shown once: a later whole-text parse leaves the user's selection alone.
    WESetSelection(1, 1, we);
    editor->Refresh();
    Finish();
    EXPECT_EQ(SelectionStart(), 1);
    editor->ReleaseViewObject();
    editor = nullptr;
    document->Release();
    document = nullptr;
  }
}

TEST_F(SourceDocumentTest, AQueryAskedForAfterLoadingIsSelectedAtOnce) {
  Make("page.php", kScript);
  Load();
  document->SetQueryString("$total");
  EXPECT_EQ(Selected(), "$total");
  document->SetDefaultLine(2);
  EXPECT_EQ(Selected(), "function alpha() { return 1; }\r");
}

TEST_F(SourceDocumentTest, SavingReportsTheWritesStatus) {
  mkdir((scratch + "/site").c_str(), 0700);
  WriteText(scratch + "/site/x.php", "<?php echo 1; ?>\n");
  Make("site/x.php", "<?php echo 1; ?>\n");
  Load();
  WEPut(0, 0, "// ", 3, kTextEncodingMacRoman, 0, 0, nullptr, nullptr, we);
  document->SetModifiedState(true);
  EXPECT_EQ(document->Save(), noErr);
  EXPECT_FALSE(document->modified);
  EXPECT_EQ(ReadText(scratch + "/site/x.php"), "// <?php echo 1; ?>\n");

  // The folder is gone: the write fails, and the save says so.
  std::system(("rm -rf '" + scratch + "/site'").c_str());
  WEPut(0, 0, "x", 1, kTextEncodingMacRoman, 0, 0, nullptr, nullptr, we);
  document->SetModifiedState(true);
  EXPECT_NE(document->Save(), noErr);
  EXPECT_TRUE(document->modified);
}

TEST_F(SourceDocumentTest, SaveAsUnderAnotherLanguageColoursTheTextAsThatLanguage) {
  Make("script.js", "var a = 1;\n<?php $total = 2; ?>\n");
  Load();
  const SInt32 variable = SInt32(TextOf(we).find("$total"));
  const RGBColor plain = editor->GetController()->nilColor;
  EXPECT_TRUE(CompareRGBColor(GetOffsetColor(variable + 1, we), plain));
  WEReference before = we;
  // Saved under a new name: the document's file is the new one.
  const std::string renamed = scratch + "/script.php";
  WriteText(renamed, "");
  document->file = RefOf(renamed);
  document->SavedAs();
  EXPECT_EQ(editor->GetWE(), before);
  EXPECT_FALSE(CompareRGBColor(GetOffsetColor(variable + 1, we), plain));
}

TEST_F(SourceDocumentTest, RevertingReadsTheFileOnce) {
  Make("page.php", kScript);
  Load();
  WEPut(0, WEGetTextLength(we), "changed", 7, kTextEncodingMacRoman, 0, 0, nullptr, nullptr, we);
  document->SetModifiedState(true);
  EXPECT_EQ(document->Open(), noErr);
  Finish();
  for (int i = 0; i < 200; ++i) HeadlessAdvanceClock(0.02);  // any chunked read would land by now
  std::string expected = kScript;
  for (char& c : expected)
    if (c == '\n') c = '\r';
  EXPECT_EQ(TextOf(we), expected);
  EXPECT_FALSE(document->modified);
}

TEST(URLDocumentTest, APageIsNamedAfterItsAddressCutTo63Characters) {
  auto* page = new TURLDocument();
  const std::string url = "http://localhost/" + std::string(80, 'a');
  page->CreateWithURL(Str255(url));
  EXPECT_EQ(page->url.str(), url);
  EXPECT_EQ(page->name.str(), url.substr(0, 63));
  EXPECT_FALSE(FSValidFSRef(page->file));
  page->Release();
}

}  // namespace
