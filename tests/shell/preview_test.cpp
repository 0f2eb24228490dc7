// The preview headless, over the real Ostrelle bundle on its stand-in
// engine and real files: the URLs a preview opens by mode, the preview
// pane's toolbar as its page loads, fails and is hovered, the reload when
// (and only when) the file shown changes on disk, the single preview and
// console windows, and the editor pane's preview with its temporary copy.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "ApplicationFramework.h"
#include "CFBundle.h"
#include "EditorUtilities.h"
#include "Folders.h"
#include "HeadlessHost.h"
#include "IBCarbonRuntime.h"
#include "OstrelleTestHost.h"
#include "PascalCarbonCommon.h"
#include "PreferenceUtilities.h"
#include "TConsoleUnit.h"
#include "TDocumentListUnit.h"
#include "TEditorPaneUnit.h"
#include "TEditorWindowUnit.h"
#include "TPreferencesUnit.h"
#include "TPreviewPaneUnit.h"
#include "TQVEditorUnit.h"
#include "TTabsUnit.h"
#include "WASTE.h"
#include "plinthora/Plinthora.h"

namespace {

namespace fs = std::filesystem;

std::string Read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

FSRef RefOf(const std::string& path) {
  FSRef ref{};
  EXPECT_EQ(FSPathMakeRef(reinterpret_cast<const UInt8*>(path.c_str()), &ref, nullptr), noErr) << path;
  return ref;
}

// Runs the event loop until the condition holds; the bound only keeps a
// broken build from hanging.
template <class Condition>
bool Spin(Condition done) {
  for (int i = 0; i < 2000 && !done(); ++i) RunCurrentEventLoop(0.005);
  return done();
}

// The program's main interface file, from the built bundle.
IBNibRef MainNib() {
  static IBNibRef nib = [] {
    IBNibRef made = nullptr;
    EXPECT_EQ(CreateNibReferenceWithCFBundle(CFBundleGetMainBundle(), CFSTR("main"), &made), noErr);
    return made;
  }();
  return nib;
}

// ---------------------------------------------------------------------------
// URLs

TEST(PreviewURLTest, TitlesImagesPathsAndNames) {
  struct TitleCase {
    const char* url;
    const char* title;
  };
  for (const TitleCase& c : std::initializer_list<TitleCase>{
           {"file:///home/u/my%20page.html", "my page.html"},
           {"http://host/a/b%20c%20d.php?x=1", "b c d.php?x=1"},
           {"file:///tmp/a%23b%25.html", "a#b%.html"},
           {"http://host/dir/", ""},
           {"plain", "plain"},
       })
    EXPECT_EQ(PreviewTabTitle(c.url), c.title) << c.url;

  EXPECT_STREQ(PreviewURLImageName("file:///tmp/x.html"), "Harddisk_16x16.png");
  for (const char* other : {"http://localhost/", "https://example.org/x", "ftp://h/", "filesystem:x", "nothing"})
    EXPECT_STREQ(PreviewURLImageName(other), "Globe (Alt 2)_16x16.png") << other;

  struct PathCase {
    const char* url;
    bool local;
    const char* path;
  };
  for (const PathCase& c : std::initializer_list<PathCase>{
           {"file:///tmp/a%20b%23c.html", true, "/tmp/a b#c.html"},
           {"file://localhost/tmp/x.html?q=1#top", true, "/tmp/x.html"},
           {"FILE:///tmp/x", true, "/tmp/x"},
           {"file://otherhost/tmp/x", false, ""},
           {"http://localhost/tmp/x", false, ""},
           {"file:", false, ""},
       }) {
    std::string path;
    EXPECT_EQ(bool(PreviewURLLocalPath(c.url, path)), c.local) << c.url;
    EXPECT_EQ(path, c.path) << c.url;
  }

  // Each segment escaped for a web address, the separators kept.
  EXPECT_EQ(PreviewEncodePath("/home/u/my page #1 100%.html"), "/home/u/my%20page%20%231%20100%25.html");
  EXPECT_EQ(PreviewEncodePath("a?b/ü"), "a%3Fb/%C3%BC");
  EXPECT_EQ(PreviewFileURL("/tmp/a b.html"), "file:///tmp/a%20b.html");

  EXPECT_EQ(PreviewTemporaryName("page.html", true, true), "~page.html");
  EXPECT_EQ(PreviewTemporaryName("notes.txt", false, true), "~notes.txt.html");
  EXPECT_EQ(PreviewTemporaryName("anything", false, false), "~untitled.qv.html");
}

TEST(PreviewURLTest, TheURLOfEachMode) {
  FTPServerInfo web{};
  web.Name = "Web";
  web.WebAddress = "127.0.0.1:8080/site";
  web.Query = "a=1 b";
  FTPServerInfo stripped = web;
  stripped.Query = "";
  stripped.PublicFolder = "/site";
  struct Case {
    const char* what;
    const char* mode;
    std::string folder, name, userPath, temporaryURL;
    FTPServerInfo server;
    std::string url, message;
  };
  const std::string outside = "the file /srv/www/my page.html does not descend from the \"Sites\" folder. Files must "
                              "be located in Sites folder to be previewed in localhost mode.";
  const std::vector<Case> cases = {
      {"disk: the temporary copy", "Disk", "/srv", "my page.html", "", "file:///srv/~my%20page.html", {},
       "file:///srv/~my%20page.html", ""},
      {"disk: the project's path first, blanks escaped", "Disk", "/srv", "a.html", "http://h/my dir/a.html", "x", {},
       "http://h/my%20dir/a.html", ""},
      {"run output, whatever the project says", "Precompiled", "/srv/my app", "run me.php", "http://h/x", "", {},
       "file:///srv/my%20app/~run%20me.php.html", ""},
      {"server without a record", "Server", "/srv", "a.html", "", "", {}, "", "There was no server specified"},
      {"server: name escaped, query kept", "Server", "/srv", "my #1.html", "", "", web,
       "http://127.0.0.1:8080/site/my%20%231.html?a=1%20b", ""},
      {"server: the eighth field removed", "Server", "/srv", "a.html", "", "", stripped, "http://127.0.0.1:8080/a.html",
       ""},
      {"localhost in a web folder", "Localhost", "/home/alice/public_html/docs", "my page.html", "", "", {},
       "http://localhost/~alice/docs/my%20page.html", ""},
      {"localhost with a query", "Localhost", "/Users/bob/Sites", "i#x.php", "", "", web,
       "http://localhost/~bob/i%23x.php?a=1%20b", ""},
      {"localhost outside the web folder", "Localhost", "/srv/www", "my page.html", "", "", {}, "", outside},
  };
  for (const Case& c : cases) {
    PreviewRequest request;
    request.mode = c.mode;
    request.folder = c.folder;
    request.name = c.name;
    request.userPath = c.userPath;
    request.temporaryURL = c.temporaryURL;
    request.server = c.server;
    std::string message;
    EXPECT_EQ(PreviewDocumentURL(request, message), c.url) << c.what;
    EXPECT_EQ(message, c.message) << c.what;
  }
}

// ---------------------------------------------------------------------------
// The pane

class PreviewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    static bool registered = false;
    if (!registered) {
      RegisterWasteClass();
      RegisterToolbarViewClass();
      RegisterTabViewClass();
      RegisterSplitViewClass();
      registered = true;
    }
    const char* tmp = getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/preview-XXXXXX";
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir = fs::canonical(pattern).string();
    ApplicationNib = MainNib();
    ASSERT_NE(ApplicationNib, nullptr);
    prefs = new TPreferenceHandlerApplication();
    prefs->SetDomain("user.");
    AppPrefs = prefs;
    prefs->SetBooleanValue("GeneralUsePreviewApplication", false);
    prefs->SetBooleanValue("GeneralEditorFeaturesTabs", true);
    prefs->SetBooleanValue("GeneralEditorFeaturesEditorToolbar", true);
    EditorWindowHooks hooks{};
    hooks.MakePreviewPane = EditorPaneMakePreviewPane;
    hooks.IsPreviewPane = EditorPaneIsPreviewPane;
    EditorWindowSetHooks(&hooks);
    HeadlessClearAlertLog();
  }
  void TearDown() override {
    for (WindowRef w = GetFrontWindowOfClass(kDocumentWindowClass, false); w != nullptr;
         w = GetFrontWindowOfClass(kDocumentWindowClass, false)) {
      if (TWindow* object = GetWindowObject(w)) {
        for (SInt16 i = 0; object->documents != nullptr && i < object->documents->GetCount(); ++i)
          static_cast<TDocument*>(const_cast<void*>(CFArrayGetValueAtIndex(object->documents->documents, i)))->modified =
              false;
        object->Remove();
      } else {
        DisposeWindow(w);
      }
    }
    EditorWindowSetHooks(nullptr);
    AppPrefs = nullptr;
    prefs->Release();
    std::error_code ec;
    fs::remove_all(dir, ec);
  }
  std::string Write(const std::string& name, const std::string& text) {
    std::ofstream(dir + "/" + name, std::ios::binary) << text;
    return dir + "/" + name;
  }
  // A shown window with a preview pane attached to it, showing the URL.
  TPreviewPane* Pane(const std::string& url, TDocument* document = nullptr) {
    Rect bounds{60, 60, 700, 900};
    WindowRef window = nullptr;
    EXPECT_EQ(CreateNewWindow(kDocumentWindowClass, kWindowStandardHandlerAttribute | kWindowCompositingAttribute,
                              &bounds, &window),
              noErr);
    ShowWindow(window);
    windows.push_back(window);
    auto* pane = new TPreviewPane();
    pane->SetResource(Str63("Preview Pane 2.1"), ApplicationNib);
    pane->PrepareDestination(window);
    if (document != nullptr) pane->SetDocument(document);
    pane->SetWholeURL(url);
    pane->Create(pane->Resource, pane->NibRef);
    pane->Attach(window);
    return pane;
  }
  std::string dir;
  TPreferenceHandlerApplication* prefs = nullptr;
  std::vector<WindowRef> windows;
};

TEST_F(PreviewTest, TheToolbarFollowsThePageLoadingFailingAndHovered) {
  ostrelle_test::Ostrelle o = ostrelle_test::Bind();
  const std::string page = Write("my page.html", "<title>T</title><a href='x.html'>x</a>");
  TPreviewPane* pane = Pane("file://" + PreviewEncodePath(page));
  ASSERT_NE(pane->webkit, nullptr);
  ASSERT_NE(pane->webkit->webView, nullptr);
  EXPECT_TRUE(pane->StopHidden());
  pane->Load();
  ASSERT_TRUE(Spin([&] { return pane->Title == Str63("my page.html"); }));
  EXPECT_TRUE(pane->StopHidden());
  // The stop button shows while a page loads, and goes when it is done or failed.
  for (const bool failed : {false, true}) {
    pane->webkit->EventWebFrameLoadStarted();
    EXPECT_FALSE(pane->StopHidden());
    if (failed) pane->webkit->EventWebFrameLoadFailed(Str255());
    else pane->webkit->EventWebFrameLoadDone();
    EXPECT_TRUE(pane->StopHidden());
  }
  EXPECT_EQ(pane->loads, 1u);
  EXPECT_EQ(ToolbarGetItemText(pane->navigation, pane->urlItem), Str255(("file://" + PreviewEncodePath(page)).c_str()));

  // A hovered link shows, an image's address when there is no link, and
  // nothing hides the item again.
  EXPECT_TRUE(pane->LinkHidden());
  o.hover(pane->webkit->webView, "http://example.org/next.html", "");
  EXPECT_TRUE(Spin([&] { return !pane->LinkHidden(); }));
  EXPECT_EQ(pane->shownLink, "http://example.org/next.html");
  EXPECT_EQ(ToolbarGetItemText(pane->status, pane->linkItem), Str255("http://example.org/next.html"));
  o.hover(pane->webkit->webView, "", "file:///tmp/picture.png");
  EXPECT_TRUE(Spin([&] { return pane->shownLink == "file:///tmp/picture.png"; }));
  EXPECT_FALSE(pane->LinkHidden());
  o.hover(pane->webkit->webView, "", "");
  EXPECT_TRUE(Spin([&] { return pane->LinkHidden(); }));

  // A page that is not there: the stop button goes all the same.
  pane->SetWholeURL("file://" + dir + "/missing.html");
  pane->Load();
  EXPECT_EQ(pane->Title, Str63("missing.html"));
  EXPECT_TRUE(Spin([&] { return std::string(o.calls(pane->webkit->webView)).find("missing.html") != std::string::npos; }));
  for (int i = 0; i < 20; ++i) RunCurrentEventLoop(0.005);
  EXPECT_TRUE(pane->StopHidden());

  // Back, forward and stop go to the web view of the pane in view.
  HICommand command{};
  command.commandID = kPreviewCommandBack;
  SInt32 result = eventNotHandledErr;
  pane->ProcessCommand(command, nullptr, result);
  EXPECT_EQ(result, noErr);
  EXPECT_NE(std::string(o.calls(pane->webkit->webView)).find("back"), std::string::npos)
      << o.calls(pane->webkit->webView);
  EXPECT_TRUE(pane->LinkHidden());
}

TEST_F(PreviewTest, ReloadsOnlyWhenTheFileShownChangesOnDisk) {
  const std::string page = Write("~page.html", "<p>one</p>");
  auto* document = new TDocument();
  document->Create(RefOf(page));
  TPreviewPane* pane = Pane("file://" + PreviewEncodePath(page), document);
  pane->ownsDocument = true;
  ASSERT_NE(pane->subscription, nullptr);
  pane->Load();
  ASSERT_EQ(pane->loads, 1u);

  // A listener of the same folder subscribed after the pane hears each
  // change after it: once it has, the pane has had its say.
  int heard = 0;
  FNSubscriptionRef after = nullptr;
  const FSRef folder = RefOf(dir);
  ASSERT_EQ(FNSubscribe(&folder, NewFNSubscriptionUPP([](FNMessage, OptionBits, void* count, FNSubscriptionRef) {
                          ++*static_cast<int*>(count);
                        }),
                        &heard, 0, &after),
            noErr);
  auto changeAndWait = [&](const std::function<void()>& change) {
    const int before = heard;
    change();
    ASSERT_TRUE(Spin([&] { return heard > before; })) << "no change notification";
  };
  // Another file of the folder: no reload.
  changeAndWait([&] { Write("style.css", "p { color: red }"); });
  EXPECT_EQ(pane->loads, 1u);
  // The file shown rewritten with as many bytes in place: a reload, however
  // close in time to the load (the time is read to the nanosecond).
  struct stat was{};
  stat(page.c_str(), &was);
  changeAndWait([&] {
    struct stat now{};
    do {
      std::ofstream(page, std::ios::binary | std::ios::in | std::ios::out) << "<p>two</p>";
      stat(page.c_str(), &now);
    } while (now.st_mtim.tv_sec == was.st_mtim.tv_sec && now.st_mtim.tv_nsec == was.st_mtim.tv_nsec);
  });
  EXPECT_EQ(pane->loads, 2u);
  // A longer text: a reload.
  changeAndWait([&] { Write("~page.html", "<p>three, longer</p>"); });
  EXPECT_EQ(pane->loads, 3u);
  // Told from inside the program (FNNotify): at once, and once.
  Write("~page.html", "<p>four</p>");
  FNNotify(&folder, kFNDirectoryModifiedMessage, 0);
  EXPECT_EQ(pane->loads, 4u);
  changeAndWait([&] { Write("other.txt", "x"); });
  EXPECT_EQ(pane->loads, 4u);

  // A page from a server is never reloaded by the folder.
  pane->SetWholeURL("http://127.0.0.1:9/page.html");
  pane->Load();
  const UInt32 loads = pane->loads;
  changeAndWait([&] { Write("~page.html", "<p>five</p>"); });
  EXPECT_EQ(pane->loads, loads);

  // Once closed, the pane hears nothing more.
  pane->Close();
  changeAndWait([&] { Write("~page.html", "<p>six</p>"); });
  FNUnsubscribe(after);
}

TEST_F(PreviewTest, OnePreviewWindowAndOneConsoleWindow) {
  auto sendURL = [](const char* url) {
    EventRef event = nullptr;
    CreateEvent(nullptr, kEventClassCommand, kEventCommandProcess, 0, 0, &event);
    if (url != nullptr) {
      const Str255 text(url);
      SetEventParameter(event, kEventParamPreviewURL, typePreviewURL, text.len() + 1, text.data());
    }
    return event;
  };
  const std::string page = Write("a.html", "<title>A</title>");
  EventRef first = sendURL(("file://" + page).c_str());
  TPreviewWindow* window = OpenPreviewWindow(first);
  ReleaseEvent(first);
  ASSERT_NE(window, nullptr);
  ASSERT_NE(window->window, nullptr);
  EXPECT_EQ(GetWindowKind(window->window), kPreviewWindowKind);
  ASSERT_NE(window->tabs, nullptr);
  EXPECT_EQ(TabViewGetCount(window->tabs->TabView), 1);
  EventRef second = sendURL("http://127.0.0.1:9/b%20c.html");
  EXPECT_EQ(OpenPreviewWindow(second), window);
  ReleaseEvent(second);
  EXPECT_EQ(TabViewGetCount(window->tabs->TabView), 2);
  auto* shown = dynamic_cast<TPreviewPane*>(window->tabs->GetActive());
  ASSERT_NE(shown, nullptr);
  EXPECT_EQ(shown->Title, Str63("b c.html"));
  // No URL: the window comes forward and no tab is added.
  EventRef none = sendURL(nullptr);
  EXPECT_EQ(OpenPreviewWindow(none), window);
  ReleaseEvent(none);
  EXPECT_EQ(TabViewGetCount(window->tabs->TabView), 2);

  TConsoleWindow* console = OpenConsoleWindow();
  ASSERT_NE(console, nullptr);
  EXPECT_EQ(GetWindowKind(console->window), kConsoleWindowKind);
  EXPECT_TRUE(IsWindowVisible(console->window));
  ASSERT_NE(console->console, nullptr);
  EXPECT_TRUE(console->console->IsEmpty());
  EXPECT_EQ(OpenConsoleWindow(), console);

  // The list of a page's resources: a row each, emptied when a load starts.
  TPreviewResourcePane* resources = CreatePreviewResourcePane();
  ASSERT_NE(resources, nullptr);
  ASSERT_NE(resources->browser, nullptr);
  PreviewResourceInfo info{};
  info.name = "style.css";
  info.file = RefOf(Write("style.css", "p {}"));
  info.size = 4;
  EXPECT_EQ(PreviewResourceText(info), "style.css (4 bytes)");
  resources->Append(info);
  resources->Append(info);
  EXPECT_EQ(resources->browser->CountItems(0, false), 2u);
  shown->resources = resources;
  shown->webkit->EventWebFrameLoadStarted();
  EXPECT_EQ(resources->browser->CountItems(0, false), 0u);
  shown->webkit->EventWebFrameLoadDone();
  shown->resources = nullptr;
  resources->Close();
}

// ---------------------------------------------------------------------------
// The editor pane's preview

class EditorPreviewTest : public PreviewTest {
 protected:
  TEditorWindow* Window() {
    TEditorWindow* window = CreateEditorWindow(nullptr, GetDefaultOpenCommandOptions());
    EXPECT_NE(window->window, nullptr);
    window->Show();
    return window;
  }
  static void Type(TEditorPane* pane, const std::string& text) {
    WEReference we = pane->editor->GetWE();
    const SInt32 end = WEGetTextLength(we);
    WEPut(end, end, text.data(), text.size(), kCFStringEncodingUTF8, 0, 0, nullptr, nullptr, we);
  }
};

TEST_F(EditorPreviewTest, DiskPreviewShowsTheTemporaryCopyInTheEditorsPlaceAndFollowsTheTyping) {
  const std::string path = Write("my page.html", "<h1>Hello</h1>\n");
  TEditorWindow* window = Window();
  const FSRef file = RefOf(path);
  window->NewFile(&file, nullptr);
  TEditorPane* editor = window->GetActiveEditor();
  ASSERT_NE(editor, nullptr);
  const FTPServerInfo none{};
  editor->PreviewDocument("Disk", false, nullptr, none);
  auto* preview = dynamic_cast<TPreviewPane*>(editor->overlay);
  ASSERT_NE(preview, nullptr);
  const std::string copy = dir + "/~my page.html";
  EXPECT_EQ(Read(copy), "<h1>Hello</h1>\n");
  EXPECT_EQ(preview->wholeURL, "file://" + dir + "/~my%20page.html");
  EXPECT_EQ(preview->loads, 1u);
  EXPECT_TRUE(HeadlessCopyAlertLog().empty());
  // The editor's tab shows that it previews; the tabs did not grow.
  EXPECT_EQ(editor->IconType, 7);
  EXPECT_NE(editor->Icon, nullptr);
  EXPECT_EQ(TabViewGetCount(window->Tabs->tabs->TabView), 1);

  // Typing rewrites the copy and the preview reloads at once.
  Type(editor, "<p>more</p>");
  editor->IdleTyping();
  EXPECT_EQ(Read(copy), "<h1>Hello</h1>\n<p>more</p>");
  EXPECT_EQ(preview->loads, 2u);
  EXPECT_EQ(Read(path), "<h1>Hello</h1>\n");  // the file itself waits for a save

  // A second preview reuses the pane.
  editor->PreviewDocument("Disk", false, nullptr, none);
  EXPECT_EQ(editor->overlay, preview);
  EXPECT_EQ(preview->loads, 3u);

  // The run's page, wherever the project would put it.
  editor->PreviewDocument("Precompiled", false, nullptr, none);
  EXPECT_EQ(preview->wholeURL, "file://" + dir + "/~my%20page.html.html");
}

TEST_F(EditorPreviewTest, WholeURLsAndOneWindowForPreviewsInAWindowOfTheirOwn) {
  std::string deep = dir;
  while (deep.size() < 300) deep += "/" + std::string(40, 'd') + " x";
  fs::create_directories(deep);
  std::ofstream(deep + "/page.html") << "<p>deep</p>";
  TEditorWindow* window = Window();
  const FSRef file = RefOf(deep + "/page.html");
  window->NewFile(&file, nullptr);
  TEditorPane* editor = window->GetActiveEditor();
  ASSERT_NE(editor, nullptr);
  const FTPServerInfo none{};
  editor->PreviewDocument("Disk", false, nullptr, none);
  auto* preview = dynamic_cast<TPreviewPane*>(editor->overlay);
  ASSERT_NE(preview, nullptr);
  EXPECT_EQ(preview->wholeURL, PreviewFileURL(deep + "/~page.html"));
  EXPECT_GT(preview->wholeURL.size(), 300u);
  std::string path;
  ASSERT_TRUE(PreviewURLLocalPath(preview->wholeURL, path));
  EXPECT_EQ(path, deep + "/~page.html");
  ASSERT_NE(editor->CloseActivePane(), eventNotHandledErr);

  // In a window of its own: a window without a toolbar, reused by the next.
  EXPECT_EQ(FindPreviewEditor(), nullptr);
  editor->PreviewNewWindow();
  auto* previews = dynamic_cast<TEditorWindow*>(FindPreviewEditor());
  ASSERT_NE(previews, nullptr);
  EXPECT_NE(previews, window);
  EXPECT_TRUE(previews->NoToolbar);
  auto* shown = dynamic_cast<TPreviewPane*>(previews->ActivePane());
  ASSERT_NE(shown, nullptr);
  EXPECT_EQ(shown->wholeURL, PreviewFileURL(deep + "/~page.html"));
  editor->PreviewNewWindow();
  EXPECT_EQ(FindPreviewEditor(), previews);
  EXPECT_EQ(TabViewGetCount(previews->Tabs->tabs->TabView), 2);
}

TEST_F(EditorPreviewTest, TemporaryCopiesOfOtherAndUntitledDocuments) {
  const std::string path = Write("notes.txt", "plain\n");
  TEditorWindow* window = Window();
  const FSRef file = RefOf(path);
  window->NewFile(&file, nullptr);
  TEditorPane* notes = window->GetActiveEditor();
  ASSERT_NE(notes, nullptr);
  const FSRef copy = notes->UpdateTemporaryFile();
  EXPECT_EQ(FSGetFullPath(copy).str(), dir + "/~notes.txt.html");
  EXPECT_EQ(Read(dir + "/~notes.txt.html"), "plain\n");
  // Not an HTML page: typing writes no copy of its own accord.
  fs::remove(dir + "/~notes.txt.html");
  notes->IdleTyping();
  EXPECT_FALSE(fs::exists(dir + "/~notes.txt.html"));

  window->NewFile(nullptr, nullptr);
  TEditorPane* untitled = window->GetActiveEditor();
  ASSERT_NE(untitled, nullptr);
  Type(untitled, "<b>draft</b>");
  const FSRef draft = untitled->UpdateTemporaryFile();
  FSRef temporary{};
  ASSERT_EQ(FSFindFolder(kOnSystemDisk, kTemporaryFolderType, true, &temporary), noErr);
  const std::string where = FSGetFullPath(temporary).str();
  EXPECT_EQ(FSGetFullPath(draft).str(), where + "/~untitled.qv.html");
  EXPECT_EQ(Read(where + "/~untitled.qv.html"), "<b>draft</b>");
  struct stat st{};
  ASSERT_EQ(stat(where.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u) << where;  // no other user reaches the copy
}

TEST_F(EditorPreviewTest, PicturesAndDocumentsOfOtherKindsOpenAsPreviewTabs) {
  const std::string picture = Write("a picture #1.png", "\x89PNG\r\n\x1a\n");
  const std::string pdf = Write("paper.pdf", "%PDF-1.4\n");
  TEditorWindow* window = Window();
  for (const std::string& path : {picture, pdf}) {
    const FSRef file = RefOf(path);
    window->NewFile(&file, nullptr);
  }
  ASSERT_EQ(TabViewGetCount(window->Tabs->tabs->TabView), 2);
  EXPECT_EQ(window->GetActiveEditor(), nullptr);
  auto* shown = dynamic_cast<TPreviewPane*>(window->ActivePane());
  ASSERT_NE(shown, nullptr);
  EXPECT_EQ(shown->wholeURL, "file://" + dir + "/paper.pdf");
  SInt16 kind = 0;
  auto* first = dynamic_cast<TPreviewPane*>(static_cast<TTabPane*>(
      static_cast<void*>(TabViewGetContext(window->Tabs->tabs->TabView, 1, kTabViewActive, kind))));
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->wholeURL, "file://" + dir + "/a%20picture%20%231.png");
  EXPECT_EQ(first->Title, Str63("a picture #1.png"));
  EXPECT_TRUE(HeadlessCopyAlertLog().empty());
}

}  // namespace
