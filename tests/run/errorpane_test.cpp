// The error panes over their browsers: a syntax check of a broken file with
// the real interpreters lists its error and choosing the row selects its
// line; a PHP log from a small fixture becomes rows with their icons and
// texts, its windows fit their rows; a debug run through the PHP wrapper
// reports through the log.
#include <gtest/gtest.h>

#include "ErrorPaneTestSupport.h"
#include "fenwicket/Fenwicket.h"

namespace {

class ErrorPaneTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    HeadlessUseVirtualClock(true);
    RegisterWasteClass();
    UsePrivateStateFolder();
    UseSystemInterpreters();
  }
  void SetUp() override {
    Rect bounds = {100, 100, 300, 400};
    ASSERT_EQ(CreateNewWindow(kDocumentWindowClass, kWindowStandardHandlerAttribute, &bounds, &window), noErr);
    HIObjectRef object = nullptr;
    ASSERT_EQ(HIObjectCreate(kWasteViewClassID, nullptr, &object), noErr);
    auto view = reinterpret_cast<HIViewRef>(object);
    HIViewAddSubview(HIViewGetRoot(window), view);
    HIRect frame = {{0, 0}, {300, 200}};
    HIViewSetFrame(view, &frame);
    ShowWindow(window);
    we = WasteCreateController(view, window, 0);
    ASSERT_NE(we, nullptr);
  }
  void TearDown() override {
    if (pane != nullptr) pane->Release();
    if (document != nullptr) document->Release();
  }

  // Runs the file in the pane to its end; the source text holds the file.
  void Run(TScriptPane* made, const std::string& file, const std::string& source, SInt16 mode) {
    pane = made;
    ASSERT_NE(pane->paneView, nullptr);
    SetSource(source);
    recorder = RunRecorder();
    recorder.Attach(pane->script);
    document = NewDocument(file);
    pane->script->Run(document, mode);
    recorder.Drive(pane->script);
  }
  void SetSource(const std::string& source) {
    WESetSelection(0, WEGetTextLength(we), we);
    WEDelete(we);
    std::string text = source;
    for (char& c : text)
      if (c == '\n') c = '\r';
    WEPut(0, 0, text.data(), SInt32(text.size()), 0, 0, 0, nullptr, nullptr, we);
    WESetSelection(0, 0, we);
    if (pane != nullptr) pane->text = we;
  }
  std::string SelectedText() {
    SInt32 start = 0, end = 0;
    WEGetSelection(&start, &end, we);
    Handle h = NewHandle(0);
    WEStreamRange(start, end, 'utf8', 0, h, we);
    std::string s(*h, size_t(GetHandleSize(h)));
    DisposeHandle(h);
    // A line is selected with its line break.
    if (!s.empty() && s.back() == '\r') s.pop_back();
    return s;
  }

  ScratchFolder folder{"errorpane"};
  WindowRef window = nullptr;
  WEReference we = nullptr;
  TScriptPane* pane = nullptr;
  TDocument* document = nullptr;
  RunRecorder recorder;
};

// The open-document commands that reach the application.
struct OpenCommands {
  std::vector<ApplicationOpenCommandOptions> sent;
  EventHandlerRef handler = nullptr;
  OpenCommands() {
    static const EventTypeSpec kTypes[] = {{kEventClassCommand, kEventCommandProcess}};
    InstallEventHandler(GetApplicationEventTarget(), Handle, 1, kTypes, this, &handler);
  }
  ~OpenCommands() { RemoveEventHandler(handler); }
  static OSStatus Handle(EventHandlerCallRef, EventRef event, void* data) {
    ApplicationOpenCommandOptions options{};
    if (GetEventParameter(event, kEventParamOpenOptions, typeVoidPtr, nullptr, sizeof options, nullptr, &options) ==
        noErr)
      static_cast<OpenCommands*>(data)->sent.push_back(options);
    return noErr;
  }
};

// Chooses the row as a click does, even when it is selected already.
void ChooseRow(TBrowser* browser, SInt16 row) {
  SetDataBrowserSelectedItems(browser->VIEW, 0, nullptr, kDataBrowserItemsAssign);
  browser->SelectRow(row);
}

std::string RowText(TScriptErrorBrowser* browser, SInt16 row) {
  void* data = browser->RowData(row);
  if (data == nullptr) return "<none>";
  const ErrorRowDisplay display = browser->ItemDisplay(data);
  return (display.type != 0 ? FourCC(display.type) + " " : std::string()) + display.text.str();
}

TEST_F(ErrorPaneTest, ACheckOfABrokenFileListsItsErrorAndTheRowSelectsItsLine) {
  ShippedNib();
  ApplicationNib = ShippedNib();
  struct Case {
    const char* name;
    const char* source;
    std::function<TScriptPane*()> make;
    std::string row;
    std::string line;  // the text the chosen row selects
  };
  const std::vector<Case> cases = {
      {"bad.php", "<?php\necho \"hi\"\necho \"there\";\n", CreatePHPPane,
       "ERRf syntax error, unexpected token \"echo\", expecting \",\" or \";\"", "echo \"there\";"},
      {"bad.pl", "print \"a\";\nmy $x = ;\nprint 2;\n", CreatePERLPane, "errW Syntax Error near \"= ;\"",
       "my $x = ;"},
      {"bad.rb", "puts 1\nx = (\n", CreateRubyPane, "errW unexpected end-of-input", "x = ("},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (pane != nullptr) pane->Release();
    if (document != nullptr) document->Release();
    const std::string file = folder.Write(c.name, c.source);
    Run(c.make(), file, c.source, kScriptModeCheckSyntax);
    EXPECT_EQ(recorder.codes, (std::vector<SInt16>{1, 3, 4})) << "the errors bring the pane up";
    TScriptErrorBrowser* browser = nullptr;
    if (auto* p = dynamic_cast<TPHPPane*>(pane)) browser = p->browser;
    if (auto* p = dynamic_cast<TPERLPane*>(pane)) browser = p->browser;
    if (auto* p = dynamic_cast<TRubyPane*>(pane)) browser = p->browser;
    ASSERT_NE(browser, nullptr);
    EXPECT_EQ(browser->CountItems(0, true), 1u);
    EXPECT_EQ(RowText(browser, 0), c.row);
    EXPECT_EQ(SelectedText(), c.line) << "the first row is chosen at the end";
    WESetSelection(0, 0, we);
    ChooseRow(browser, 0);
    EXPECT_EQ(SelectedText(), c.line) << "choosing the row selects the error's line";
  }
}

// A log as the wrapper writes it: two errors, a class with its parts, and
// the class tree.
const char kLog[] = R"(<?xml version="1.0" encoding="UTF-8"?>
<php_errors>
<debugtrace type="Warning" message="Undefined variable $a" file="/w/page.php" line="3">
<stacktrace>
<entry function="show" file="/w/page.php" line="2"><element name="arg0" value="5"/></entry>
<entry function="main" file="/w/page.php" line="4"/>
</stacktrace>
<localstack><element name="count" value="7"/></localstack>
</debugtrace>
<debugtrace type="User Error" message="stop" file="/w/lib/other.php" line="9"/>
<debugtrace type="Mystery" message="odd" file="/w/page.php" line="1"/>
<class_description name="Shape">
<class_methods><entry function="area" file="/w/page.php" line="5"/></class_methods>
<class_instance_vars><element name="sides" value="3"/></class_instance_vars>
<class_ancestry/>
</class_description>
<class_node name="Shape"><class_node name="Square"/></class_node>
</php_errors>
)";

TEST_F(ErrorPaneTest, ThePHPLogBecomesRowsWithIconsAndItsWindowsFitTheirRows) {
  ApplicationNib = ShippedNib();
  const std::string source = "<?php\nfunction show($n) {}\necho $a;\nshow(5);\n";
  const std::string file = folder.Write("page.php", source);
  document = NewDocument(file);
  auto* php = static_cast<TPHPPane*>(CreatePHPPane());
  pane = php;
  SetSource(source);
  php->script->document = document;
  php->script->path = FSGetFullPath(document->file);
  FSRef ref{};
  const std::string logFile = folder.Write("log.xml", kLog);
  ASSERT_EQ(FSPathMakeRef(reinterpret_cast<const UInt8*>(logFile.c_str()), &ref, nullptr), noErr);
  CFTreeRef tree = ReadPHPErrorLog(ref);
  ASSERT_NE(tree, nullptr);
  php->SetLog(tree);

  EXPECT_EQ(php->title.str(), "3 ");
  EXPECT_EQ(RowText(php->browser, 0), "ERRn Undefined variable $a");
  EXPECT_EQ(RowText(php->browser, 1), "ERRu stop");
  EXPECT_EQ(RowText(php->browser, 2), "ERRr odd");
  TPHPErrorLogBrowser* classes = php->logWindows[2]->browser;
  TPHPErrorLogBrowser* classTree = php->logWindows[3]->browser;
  EXPECT_EQ(RowText(classes, 0), "sxFU Shape");
  EXPECT_EQ(RowText(classTree, 0), "sxFU Shape");
  EXPECT_EQ(RowText(classes, 1), "<none>");
  // The rows' icons are registered for the panes when the application has
  // not done so.
  IconRef generic = nullptr;
  GetIconRef(kOnSystemDisk, 'macs', kGenericDocumentIcon, &generic);
  for (auto [creator, type] : {std::pair<OSType, OSType>{'QVRL', 'ERRn'}, {'QVRL', 'errS'}, {'macs', 'sxFU'}}) {
    IconRef icon = nullptr;
    EXPECT_EQ(GetIconRef(kOnSystemDisk, creator, type, &icon), noErr) << FourCC(type);
    EXPECT_NE(icon, generic) << FourCC(type) << " has an image of its own";
    if (icon != nullptr) ReleaseIconRef(icon);
  }
  if (generic != nullptr) ReleaseIconRef(generic);

  // The first error's frame fills the stack trace and the locals.
  ChooseRow(php->browser, 0);
  TPHPErrorLogBrowser* stack = php->logWindows[0]->browser;
  TPHPErrorLogBrowser* locals = php->logWindows[1]->browser;
  EXPECT_EQ(RowText(stack, 0), "sxFU show");
  EXPECT_EQ(RowText(stack, 1), "sxFU main");
  EXPECT_EQ(RowText(locals, 0), "$count = \"7\"");
  EXPECT_EQ(SelectedText(), "echo $a;") << "the error's own line in the source";
  ChooseRow(stack, 0);
  EXPECT_EQ(SelectedText(), "function show($n) {}") << "a stack entry's line";

  // An error in another file opens that file at its line.
  OpenCommands opened;
  ChooseRow(php->browser, 1);
  ASSERT_EQ(opened.sent.size(), 1u);
  EXPECT_EQ(opened.sent[0].fileName.str(), "other.php");
  EXPECT_EQ(opened.sent[0].defaultLine, 9);
  EXPECT_EQ(SelectedText(), "function show($n) {}") << "the source keeps its selection";

  // Heights: 16 a row between 144 and 384.
  for (auto [rows, height] : {std::pair{0u, 144}, {3u, 144}, {9u, 144}, {10u, 160}, {24u, 384}, {40u, 384}})
    EXPECT_EQ(PHPErrorLogWindowHeight(rows), height) << rows;
  Rect bounds{};
  ASSERT_EQ(GetWindowBounds(php->logWindows[0]->window, kWindowStructureRgn, &bounds), noErr);
  EXPECT_EQ(bounds.bottom - bounds.top, 144);
}

TEST_F(ErrorPaneTest, AMissingOrEmptyLogLeavesTheListAsItWas) {
  const std::string empty = folder.Write("empty.xml", "<?xml version=\"1.0\"?><php_errors/>");
  const std::string broken = folder.Write("broken.xml", "<php_errors><debugtrace type=\"Warning\" message=\"cut");
  for (const std::string& file : {empty, broken, folder.File("missing.xml")}) {
    FSRef ref{};
    if (FSPathMakeRef(reinterpret_cast<const UInt8*>(file.c_str()), &ref, nullptr) != noErr) continue;
    EXPECT_EQ(ReadPHPErrorLog(ref), nullptr) << file;
  }
}

// The wrapper writes a log for a warning, and none for a clean script.
TEST_F(ErrorPaneTest, ADebugRunThroughTheWrapperListsTheLog) {
  ApplicationNib = ShippedNib();
  ASSERT_FALSE(GetSharedSupportFile("php_debug.php", 1).empty());
  const std::string source = "<?php\nfunction f($v) {\n  echo $nothing;\n}\nf(2);\necho \"page\\n\";\n";
  const std::string file = folder.Write("warns.php", source);
  Run(CreatePHPPane(), file, source, kScriptModeDebug);
  EXPECT_EQ(recorder.codes, (std::vector<SInt16>{1, 3, 4}));
  auto* php = static_cast<TPHPPane*>(pane);
  EXPECT_EQ(php->title.str(), "1 ");
  EXPECT_EQ(RowText(php->browser, 0), "ERRn Undefined variable $nothing");
  EXPECT_EQ(RowText(php->logWindows[0]->browser, 0), "sxFU f");
  EXPECT_EQ(SelectedText(), "  echo $nothing;");

  pane->Release();
  pane = nullptr;
  document->Release();
  document = nullptr;
  const std::string clean = "<?php\necho \"page\\n\";\n";
  Run(CreatePHPPane(), folder.Write("clean.php", clean), clean, kScriptModeDebug);
  EXPECT_EQ(recorder.codes, (std::vector<SInt16>{1, 2, 4})) << "no log: the page";
}

}  // namespace
