// The macro editor over the shipped libraries, the command editor over a
// project's own library, and the macro error list under an editor. The
// windows and panes come from the bundle's interface files; what is saved
// is read back from disk by a library loaded afresh.
#include <gtest/gtest.h>

#include <strings.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "../run/RunTestSupport.h"
#include "ApplicationResources.h"
#include "CFURL.h"
#include "HeadlessHost.h"
#include "IBCarbonRuntime.h"
#include "TCodeSenseLibraryUnit.h"
#include "TDemoApplicationUnit.h"
#include "TDocumentListUnit.h"
#include "TEditorPaneUnit.h"
#include "TFileSystemUnit.h"
#include "TFindUnit.h"
#include "PreferenceUtilities.h"
#include "TMacroEditorUnit.h"
#include "TPreferencesUnit.h"
#include "TProjectUnit.h"
#include "TQVEditorUnit.h"
#include "TSplitViewUnit.h"
#include "TSyntaxCollectionUnit.h"
#include "TWASTEDocumentUnit.h"
#include "TWASTEViewUnit.h"
#include "TWindowUnit.h"
#include "fenwicket/Fenwicket.h"
#include "plinthora/Plinthora.h"

namespace {

// The program's own interface file, where the error panes are.
IBNibRef ShippedNib() {
  static IBNibRef nib = [] {
    IBNibRef made = nullptr;
    EXPECT_EQ(CreateNibReference(CFSTR("main"), &made), noErr);
    return made;
  }();
  return nib;
}

std::string TextOf(WEReference we) {
  Handle h = NewHandle(0);
  WEStreamRange(0, WEGetTextLength(we), 'utf8', 0, h, we);
  std::string s(*h, size_t(GetHandleSize(h)));
  DisposeHandle(h);
  return s;
}

std::string StringOf(CFDictionaryRef dictionary, const char* key) {
  if (dictionary == nullptr) return "<none>";
  CFStringRef k = NewString(key);
  CFTypeRef value = CFDictionaryGetValue(dictionary, k);
  CFRelease(k);
  return value != nullptr && CFGetTypeID(value) == CFStringGetTypeID() ? Text(CFStringRef(value)) : "<none>";
}

std::vector<std::string> Alerts() {
  std::vector<std::string> texts;
  for (const HeadlessAlertRecord& record : HeadlessCopyAlertLog())
    texts.push_back(record.explanation.empty() ? record.error : record.explanation);
  return texts;
}

// Typing into a text field, as the keyboard does: the old text goes first.
void Type(ControlRef field, const std::string& text) {
  ASSERT_NE(field, nullptr);
  SetKeyboardFocus(HIViewGetWindow(field), field, kControlFocusNextPart);
  HIViewSetText(field, CFSTR(""));
  CFStringRef string = NewString(text);
  std::u16string characters(size_t(CFStringGetLength(string)), u'\0');
  CFStringGetCharacters(string, CFRangeMake(0, CFIndex(characters.size())),
                        reinterpret_cast<UniChar*>(characters.data()));
  CFRelease(string);
  EventRef e = nullptr;
  CreateEvent(nullptr, kEventClassTextInput, kEventTextInputUnicodeForKeyEvent, 0, 0, &e);
  SetEventParameter(e, kEventParamTextInputSendText, typeUnicodeText, characters.size() * 2, characters.data());
  SendEventToEventTarget(e, GetControlEventTarget(field));
  ReleaseEvent(e);
}

std::string FieldOf(ControlRef field) {
  CFStringRef text = HIViewCopyText(field);
  const std::string s = Text(text);
  if (text != nullptr) CFRelease(text);
  return s;
}

// The user's edit of the command's text: everything replaced, as a paste does.
void Edit(TMacroEditorPane* pane, const std::string& text) {
  ASSERT_NE(pane->textView, nullptr);
  CFStringRef string = NewString(text);
  pane->textView->SetText(string);
  CFRelease(string);
}

void PressDelete(ControlRef list) {
  SetKeyboardFocus(HIViewGetWindow(list), list, kControlFocusNextPart);
  EventRef e = nullptr;
  CreateEvent(nullptr, kEventClassKeyboard, kEventRawKeyDown, 0, 0, &e);
  const UInt32 code = 51, none = 0;
  SetEventParameter(e, kEventParamKeyCode, typeUInt32, sizeof code, &code);
  SetEventParameter(e, kEventParamKeyModifiers, typeUInt32, sizeof none, &none);
  SendEventToEventTarget(e, GetControlEventTarget(list));
  ReleaseEvent(e);
}

void SendCommand(TWindow* window, UInt32 id) {
  HICommand command{};
  command.commandID = id;
  SInt32 result = eventNotHandledErr;
  window->ProcessCommand(command, nullptr, result);
}

// A text engine in a window of its own, as an editor has.
struct TextEngine {
  WindowRef window = nullptr;
  WEReference we = nullptr;
  TextEngine() {
    Rect bounds = {100, 100, 400, 500};
    CreateNewWindow(kDocumentWindowClass, kWindowStandardHandlerAttribute, &bounds, &window);
    HIObjectRef object = nullptr;
    HIObjectCreate(kWasteViewClassID, nullptr, &object);
    auto view = reinterpret_cast<HIViewRef>(object);
    HIViewAddSubview(HIViewGetRoot(window), view);
    CGRect frame{{0, 0}, {300, 200}};
    HIViewSetFrame(view, &frame);
    we = WasteCreateController(view, window, 0);
  }
  ~TextEngine() { DisposeWindow(window); }
  // The text, Tab pressed at its end: what the inline command leaves.
  std::string TabAtEnd(TCodeSenseLibrary* library, const std::string& text) {
    WEPut(0, WEGetTextLength(we), text.data(), text.size(), kCFStringEncodingUTF8, 0, 0, nullptr, nullptr, we);
    Boolean handled = true;
    library->SetController(we);
    library->ProcessCommands(WEGetTextLength(we), handled);
    return TextOf(we);
  }
};

struct MacroLibraryTest : ::testing::Test {
  ScratchFolder data{"macro data"};
  TCodeSenseLibrary* library = nullptr;

  static void SetUpTestSuite() {
    HeadlessUseVirtualClock(true);
    RegisterWasteClass();
    RegisterToolbarViewClass();
    RegisterSplitViewClass();
  }
  void SetUp() override {
    // The user's copies of the libraries land here, and nowhere else.
    setenv("XDG_DATA_HOME", data.path.c_str(), 1);
    HeadlessClearAlertLog();
    library = LoadCodeSenseLibrary();
  }
  void TearDown() override {
    if (TMacroEditorWindow* open = FrontMacroEditor()) {
      SInt32 status = 0;
      open->Close(status);
    }
    library->Free();
  }
  // A library read afresh from the disk.
  TCodeSenseLibrary* Reloaded() { return LoadCodeSenseLibrary(); }
  std::string UserFile(const std::string& name) { return data.path + "/Quorvel/Code Sense/" + name; }

  TMacroEditorWindow* Open() {
    TMacroEditorWindow* editor = OpenMacroEditor(library);
    EXPECT_NE(editor, nullptr);
    return editor;
  }
  // Selects the row of the command, as a click does.
  MacroDataPtr Select(TMacroEditorWindow* editor, const std::string& name) {
    for (MacroDataPtr macro : editor->macroBrowser->Macros()) {
      if (macro->commandName.str() != name) continue;
      const DataBrowserItemID item = DataBrowserItemID(
          [&] {
            UInt32 count = 0;
            GetDataBrowserItemCount(editor->macroBrowser->VIEW, 0, false, kDataBrowserItemAnyState, &count);
            for (UInt32 row = 0; row < count; ++row) {
              DataBrowserItemID id = 0;
              GetDataBrowserTableViewItemID(editor->macroBrowser->VIEW, row, &id);
              NodeInfoPtr node = BrackenrowGetNodeAtIndex(SInt32(id), editor->macroBrowser->VIEW);
              if (node != nullptr && node->DATA == macro) return SInt32(id);
            }
            return SInt32(0);
          }());
      SetDataBrowserSelectedItems(editor->macroBrowser->VIEW, 1, &item, kDataBrowserItemsAssign);
      EXPECT_EQ(editor->current, macro);
      return macro;
    }
    ADD_FAILURE() << "no row for " << name;
    return nullptr;
  }
  std::vector<std::string> Names(TMacroEditorWindow* editor) {
    std::vector<std::string> names;
    for (MacroDataPtr macro : editor->macroBrowser->Macros()) names.push_back(macro->commandName.str());
    return names;
  }
};

TEST_F(MacroLibraryTest, AChangedCommandIsSavedAndExpandsAfterAReload) {
  TMacroEditorWindow* editor = Open();
  ASSERT_NE(editor, nullptr);
  EXPECT_EQ(editor->ChosenLibrary().str(), "common");
  // The rows are the library's commands, sorted by their titles.
  std::vector<std::string> titles;
  for (MacroDataPtr macro : editor->macroBrowser->Macros()) titles.push_back(macro->publicName.str());
  EXPECT_EQ(titles.size(), 11u);
  EXPECT_TRUE(std::is_sorted(titles.begin(), titles.end(), [](const std::string& a, const std::string& b) {
    return strcasecmp(a.c_str(), b.c_str()) < 0;
  }));

  MacroDataPtr macro = Select(editor, "name");
  ASSERT_NE(macro, nullptr);
  EXPECT_EQ(FieldOf(editor->pane->titleField), "Insert Document Name");
  EXPECT_EQ(FieldOf(editor->pane->commandField), "name");
  EXPECT_EQ(TextOf(editor->pane->textView->controller), "$FILE");
  Edit(editor->pane, "By $AUTHOR, $1{nobody}");
  Type(editor->pane->titleField, "Insert Author");
  SendCommand(editor, 'save');

  TCodeSenseLibrary* fresh = Reloaded();
  CFDictionaryRef command = fresh->FindCommand("name");
  EXPECT_EQ(StringOf(command, "text"), "By $AUTHOR, $1{nobody}");
  EXPECT_EQ(StringOf(command, "public-name"), "Insert Author");
  EXPECT_EQ(StringOf(command, "action"), "macro");
  EXPECT_EQ(StringOf(fresh->FindCommand("date"), "action"), "shell") << "the other commands stay";
  TextEngine text;
  EXPECT_EQ(text.TabAtEnd(fresh, "x [name]"), "x By Your Name, nobody");
  fresh->Free();
  // Only the changed library gets a copy of the user's.
  EXPECT_TRUE(Exists(UserFile("common.macros.plist")));
  EXPECT_FALSE(Exists(UserFile("php.macros.plist")));
}

TEST_F(MacroLibraryTest, TheActionAndOutputPopupsAndDeletedRowsReachTheFile) {
  TMacroEditorWindow* editor = Open();
  ASSERT_NE(editor, nullptr);
  Select(editor, "name");
  SetControl32BitValue(editor->pane->actionPopup, 2);  // "Shell"
  SendCommand(editor, kHICommandChooseAction);
  SetControl32BitValue(editor->pane->outputPopup, 6);  // "Error List"
  SendCommand(editor, kHICommandChooseOutput);
  Select(editor, "date");
  SendCommand(editor, kHICommandDeleteMacro);
  EXPECT_EQ(editor->current, nullptr);
  // The Delete key in a list removes its selected row too.
  Select(editor, "lorem");
  PressDelete(editor->macroBrowser->VIEW);
  EXPECT_EQ(editor->current, nullptr);
  SetDataBrowserSelectedItems(editor->variableBrowser->VIEW, 0, nullptr, kDataBrowserItemsAssign);
  const DataBrowserItemID first = [&] {
    DataBrowserItemID id = 0;
    GetDataBrowserTableViewItemID(editor->variableBrowser->VIEW, 1, &id);  // EMAIL
    return id;
  }();
  SetDataBrowserSelectedItems(editor->variableBrowser->VIEW, 1, &first, kDataBrowserItemsAssign);
  PressDelete(editor->variableBrowser->VIEW);
  // Closing saves.
  SInt32 status = 0;
  editor->Close(status);
  TCodeSenseLibrary* fresh = Reloaded();
  EXPECT_EQ(StringOf(fresh->FindCommand("name"), "action"), "shell");
  EXPECT_EQ(StringOf(fresh->FindCommand("name"), "output"), "error list");
  EXPECT_EQ(fresh->FindCommand("date"), nullptr);
  EXPECT_EQ(fresh->FindCommand("lorem"), nullptr);
  EXPECT_NE(fresh->FindCommand("time"), nullptr);
  EXPECT_EQ(StringOf(fresh->variables, "EMAIL"), "<none>");
  EXPECT_EQ(StringOf(fresh->variables, "AUTHOR"), "Your Name");
  fresh->Free();
}

TEST_F(MacroLibraryTest, ADuplicateGetsANameOfItsOwnAndBothAreSaved) {
  TMacroEditorWindow* editor = Open();
  ASSERT_NE(editor, nullptr);
  Select(editor, "name");
  SendCommand(editor, kHICommandDuplicateMacro);
  SendCommand(editor, kHICommandDuplicateMacro);
  ASSERT_NE(editor->current, nullptr);
  // The copy is the selected row, with the original's text.
  EXPECT_EQ(editor->current->commandName.str(), "????_1");
  EXPECT_EQ(Text(editor->current->text), "$FILE");
  std::vector<std::string> names = Names(editor);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(std::adjacent_find(names.begin(), names.end()), names.end()) << "no two rows share a name";
  Edit(editor->pane, "copy");
  SendCommand(editor, 'save');
  TCodeSenseLibrary* fresh = Reloaded();
  EXPECT_EQ(StringOf(fresh->FindCommand("name"), "text"), "$FILE");
  EXPECT_EQ(StringOf(fresh->FindCommand("????"), "text"), "$FILE");
  EXPECT_EQ(StringOf(fresh->FindCommand("????_1"), "text"), "copy");
  EXPECT_EQ(StringOf(fresh->FindCommand("????_1"), "public-name"), "Insert Document Name");
  fresh->Free();
}

TEST_F(MacroLibraryTest, ARenameTakesTheNewNameAndOneOntoAnotherCommandsIsRefused) {
  TMacroEditorWindow* editor = Open();
  ASSERT_NE(editor, nullptr);
  MacroDataPtr macro = Select(editor, "name");
  // On the way to "dates" the name passes "date", which another has: no
  // word while typing.
  Type(editor->pane->commandField, "date");
  EXPECT_TRUE(Alerts().empty());
  EXPECT_EQ(macro->commandName.str(), "name");
  // Leaving the row with that name refuses it.
  Select(editor, "time");
  ASSERT_EQ(Alerts().size(), 1u);
  EXPECT_EQ(Alerts()[0], kMacroNameTakenMessage);
  EXPECT_EQ(macro->commandName.str(), "name");

  Select(editor, "name");
  EXPECT_EQ(FieldOf(editor->pane->commandField), "name");
  Type(editor->pane->commandField, "docname");
  SendCommand(editor, 'save');
  TCodeSenseLibrary* fresh = Reloaded();
  EXPECT_EQ(fresh->FindCommand("name"), nullptr) << "the old name is gone";
  EXPECT_EQ(StringOf(fresh->FindCommand("docname"), "text"), "$FILE");
  EXPECT_EQ(StringOf(fresh->FindCommand("date"), "action"), "shell");
  fresh->Free();
}

TEST_F(MacroLibraryTest, ChoosingAnotherLibrarySavesTheEditsFirst) {
  TMacroEditorWindow* editor = Open();
  ASSERT_NE(editor, nullptr);
  Select(editor, "name");
  Edit(editor->pane, "edited");
  ControlRef popup = nullptr;
  HIViewFindByID(HIViewGetRoot(editor->window), HIViewID{kMacroLibraryPopupSignature, 128}, &popup);
  ASSERT_NE(popup, nullptr);
  SetControl32BitValue(popup, 4);  // "PHP"
  SendCommand(editor, kHICommandChooseLibrary);
  EXPECT_EQ(editor->ChosenLibrary().str(), "php");
  EXPECT_EQ(editor->current, nullptr);
  EXPECT_EQ(BrackenrowGetSelection(editor->macroBrowser->VIEW), nullptr);
  const std::vector<std::string> names = Names(editor);
  EXPECT_NE(std::find(names.begin(), names.end(), "lint"), names.end());
  EXPECT_EQ(std::find(names.begin(), names.end(), "name"), names.end());
  TCodeSenseLibrary* fresh = Reloaded();
  EXPECT_EQ(StringOf(fresh->FindCommand("name"), "text"), "edited");
  fresh->Free();
}

TEST_F(MacroLibraryTest, NoCommandIsAddedToAProjectLibraryThatIsNotOpen) {
  TMacroEditorWindow* editor = Open();
  ASSERT_NE(editor, nullptr);
  ControlRef popup = nullptr;
  HIViewFindByID(HIViewGetRoot(editor->window), HIViewID{kMacroLibraryPopupSignature, 128}, &popup);
  SetControl32BitValue(popup, 9);  // "Project", with no project open
  SendCommand(editor, kHICommandChooseLibrary);
  EXPECT_TRUE(Names(editor).empty());
  SendCommand(editor, kHICommandNewMacro);
  EXPECT_TRUE(Names(editor).empty());
  EXPECT_EQ(Alerts(), std::vector<std::string>{kMacroLibraryNotOpenMessage});
}

TEST_F(MacroLibraryTest, NewRowsAndVariablesAreSaved) {
  TMacroEditorWindow* editor = Open();
  ASSERT_NE(editor, nullptr);
  SendCommand(editor, kHICommandNewMacro);
  ASSERT_NE(editor->current, nullptr);
  EXPECT_EQ(editor->current->publicName.str(), "untitled");
  EXPECT_EQ(editor->current->commandName.str(), "????");
  Edit(editor->pane, "new text");
  SendCommand(editor, kHICommandNewVariable);
  std::vector<VariableData> variables = editor->variableBrowser->Variables();
  ASSERT_FALSE(variables.empty());
  EXPECT_EQ(variables.back().name.str(), "untitled");
  EXPECT_EQ(variables.back().value.str(), "empty");
  // The new row's name cell is open for typing; then its value's.
  ControlRef list = editor->variableBrowser->VIEW;
  DataBrowserItemID item = 0;
  DataBrowserPropertyID column = 0;
  GetDataBrowserEditItem(list, &item, &column);
  ASSERT_NE(item, 0u);
  EXPECT_EQ(column, DataBrowserPropertyID(kVariableNameColumn));
  SetDataBrowserEditText(list, CFSTR("TEAM"));
  SetDataBrowserEditItem(list, item, kVariableValueColumn);
  SetDataBrowserEditText(list, CFSTR("Blue"));
  SetDataBrowserEditItem(list, kDataBrowserNoItem, 0);
  SendCommand(editor, 'save');
  TCodeSenseLibrary* fresh = Reloaded();
  EXPECT_EQ(StringOf(fresh->FindCommand("????"), "text"), "new text");
  EXPECT_EQ(StringOf(fresh->FindCommand("????"), "output"), "default");
  EXPECT_EQ(StringOf(fresh->variables, "TEAM"), "Blue");
  EXPECT_EQ(StringOf(fresh->variables, "AUTHOR"), "Your Name");
  EXPECT_EQ(fresh->variables != nullptr ? CFDictionaryGetCount(fresh->variables) : 0, 5);
  fresh->Free();
}

// ---------------------------------------------------------------------------
// The command editor

struct CommandEditorTest : MacroLibraryTest {
  ScratchFolder project{"command project"};
  std::vector<CommandData> stored;

  void SetUp() override {
    MacroLibraryTest::SetUp();
    project.Write("project.macros.plist",
                  "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
                  "<key>greet</key><dict><key>action</key><string>macro</string><key>output</key>"
                  "<string>default</string><key>public-name</key><string>Greeting</string><key>text</key>"
                  "<string>Hello</string></dict></dict></plist>\n");
    FSRef file{};
    const std::string path = project.File("project.macros.plist");
    ASSERT_EQ(FSPathMakeRef(reinterpret_cast<const UInt8*>(path.c_str()), &file, nullptr), noErr);
    library->LoadLibrary(file);
  }
  static void Store(const CommandData& command, void* context) {
    static_cast<CommandEditorTest*>(context)->stored.push_back(command);
  }
  TCommandEditor* Open(const char* title, const char* name) {
    CommandData command;
    command.title = title;
    command.command = name;
    return OpenCommandEditor(command, library, nullptr, Store, this);
  }
  void Close(TCommandEditor* editor) {
    SInt32 status = 0;
    editor->Close(status);
  }
  // The project library as the file now holds it.
  CFDictionaryRef ProjectFile() {
    CFURLRef url = CFURLCreateFromFileSystemRepresentation(
        nullptr, reinterpret_cast<const UInt8*>(project.File("project.macros.plist").c_str()),
        CFIndex(project.File("project.macros.plist").size()), false);
    CFDataRef bytes = nullptr;
    SInt32 error = 0;
    CFURLCreateDataAndPropertiesFromResource(nullptr, url, &bytes, nullptr, nullptr, &error);
    CFRelease(url);
    if (bytes == nullptr) return nullptr;
    auto list = static_cast<CFDictionaryRef>(CFPropertyListCreateFromXMLData(nullptr, bytes, 0, nullptr));
    CFRelease(bytes);
    return list;
  }
};

TEST_F(CommandEditorTest, ClosingMovesTheCommandToItsNewNameAndGivesTheProjectItsTitle) {
  TCommandEditor* editor = Open("Greeting", "greet");
  ASSERT_NE(editor, nullptr);
  EXPECT_EQ(FieldOf(editor->pane->titleField), "Greeting");
  EXPECT_EQ(TextOf(editor->pane->textView->controller), "Hello");
  Edit(editor->pane, "Hello, $1{world}");
  Type(editor->pane->titleField, "Say Hello");
  Type(editor->pane->commandField, "hello");
  Close(editor);
  ASSERT_EQ(stored.size(), 1u);
  EXPECT_EQ(stored[0].title.str(), "Say Hello");
  EXPECT_EQ(stored[0].command.str(), "hello");
  CFDictionaryRef file = ProjectFile();
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(CFDictionaryGetCount(file), 1) << "the old name is gone";
  auto command = static_cast<CFDictionaryRef>(CFDictionaryGetValue(file, CFSTR("hello")));
  EXPECT_EQ(StringOf(command, "text"), "Hello, $1{world}");
  EXPECT_EQ(StringOf(command, "public-name"), "Say Hello");
  CFRelease(file);
}

TEST_F(CommandEditorTest, ANameLongerThanTheCommandHoldsIsRefusedAndTheOldOneKept) {
  TCommandEditor* editor = Open("Greeting", "greet");
  ASSERT_NE(editor, nullptr);
  Edit(editor->pane, "kept");
  Type(editor->pane->commandField, std::string(32, 'n'));
  Close(editor);
  ASSERT_EQ(Alerts().size(), 1u);
  EXPECT_EQ(Alerts()[0], kProjectCommandNameTooLongMessage);
  ASSERT_EQ(stored.size(), 1u);
  EXPECT_EQ(stored[0].command.str(), "greet");
  CFDictionaryRef file = ProjectFile();
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(StringOf(static_cast<CFDictionaryRef>(CFDictionaryGetValue(file, CFSTR("greet"))), "text"), "kept");
  CFRelease(file);
  // A name of exactly 31 characters fits.
  editor = Open("Greeting", "greet");
  ASSERT_NE(editor, nullptr);
  Type(editor->pane->commandField, std::string(31, 'n'));
  Close(editor);
  EXPECT_EQ(stored.back().command.str(), std::string(31, 'n'));
}

TEST_F(CommandEditorTest, ACommandTheLibraryLacksStartsWithTheProjectCommandsTitle) {
  TCommandEditor* editor = Open("Build Page", "????");
  ASSERT_NE(editor, nullptr);
  EXPECT_EQ(FieldOf(editor->pane->titleField), "Build Page");
  EXPECT_EQ(FieldOf(editor->pane->commandField), "????");
  EXPECT_EQ(TextOf(editor->pane->textView->controller), "");
  Edit(editor->pane, "<b>$1</b>");
  Close(editor);
  CFDictionaryRef file = ProjectFile();
  ASSERT_NE(file, nullptr);
  auto command = static_cast<CFDictionaryRef>(CFDictionaryGetValue(file, CFSTR("????")));
  EXPECT_EQ(StringOf(command, "text"), "<b>$1</b>");
  EXPECT_EQ(StringOf(command, "action"), "macro");
  EXPECT_EQ(CFDictionaryGetCount(file), 2);
  CFRelease(file);
}

TEST_F(CommandEditorTest, AnOpenMacroEditorShowsWhatTheCommandEditorSavedAndKeepsIt) {
  TMacroEditorWindow* macros = MacroLibraryTest::Open();
  ASSERT_NE(macros, nullptr);
  ControlRef popup = nullptr;
  HIViewFindByID(HIViewGetRoot(macros->window), HIViewID{kMacroLibraryPopupSignature, 128}, &popup);
  SetControl32BitValue(popup, 9);  // "Project"
  SendCommand(macros, kHICommandChooseLibrary);
  Select(macros, "greet");
  EXPECT_EQ(TextOf(macros->pane->textView->controller), "Hello");

  TCommandEditor* editor = Open("Greeting", "greet");
  ASSERT_NE(editor, nullptr);
  Edit(editor->pane, "Hello again");
  Close(editor);
  // Back in the macro editor: the row shows the command as saved, and
  // saving the macro editor's lists does not bring the old text back.
  SelectWindow(macros->window);
  ASSERT_NE(macros->current, nullptr);
  EXPECT_EQ(macros->current->commandName.str(), "greet");
  EXPECT_EQ(TextOf(macros->pane->textView->controller), "Hello again");
  Edit(macros->pane, "Hello again!");
  SendCommand(macros, 'save');
  CFDictionaryRef file = ProjectFile();
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(StringOf(static_cast<CFDictionaryRef>(CFDictionaryGetValue(file, CFSTR("greet"))), "text"), "Hello again!");
  CFRelease(file);
}

// A project's command item: its Info opens the command editor on the
// project's own library, which is made when the project has none yet; the
// item takes the title and name the editor closes with.
TEST_F(MacroLibraryTest, AProjectCommandItemIsEditedInTheProjectsLibrary) {
  ScratchFolder folder{"command item"};
  const std::string bundle = folder.path + "/Site.qvproj";
  ASSERT_EQ(std::system(("mkdir -p '" + bundle + "/Contents/Resources/Preferences' '" + bundle +
                         "/Contents/Resources/Data'").c_str()),
            0);
  const std::string prefs = folder.Write("app.plist", "");
  FSRef ref{};
  FSPathMakeRef(reinterpret_cast<const UInt8*>(prefs.c_str()), &ref, nullptr);
  auto* application = new TPreferenceHandlerFile();
  application->SetFile(ref);
  TPreferenceHandler* savedAppPrefs = AppPrefs;
  AppPrefs = application;
  static ApplicationResourceInfo resources;
  ApplicationResourceInfo* saved = AppResources;
  AppResources = &resources;
  resources.CodeSense = library;
  ProjectDialogHooks hooks = ProjectGetDialogHooks();
  hooks.OpenCommandEditor = ProjectOpenCommandEditor;
  ProjectSetDialogHooks(&hooks);

  FSPathMakeRef(reinterpret_cast<const UInt8*>(bundle.c_str()), &ref, nullptr);
  TProject* project = CreateProjectPane(ref);
  ASSERT_NE(project, nullptr);
  HICommand command{};
  command.commandID = 'ACOM';
  SInt32 result = eventNotHandledErr;
  project->ProcessCommand(command, nullptr, result);
  TProjectGroup* commands = project->FindGroupByType(kProjectCommandType);
  ASSERT_EQ(commands->Items().size(), 1u);
  NodeInfoPtr item = commands->Items()[0];
  EXPECT_EQ(DecodeCommandData(static_cast<UInt8*>(item->DATA), item->DATALENGTH).command.str(), "????");

  command.commandID = 'gINF';
  commands->ProcessCommand(item->DATA, kProjectCommandType, command);
  auto* editor = dynamic_cast<TCommandEditor*>(GetWindowObject(FrontWindow()));
  ASSERT_NE(editor, nullptr) << "the item's Info opens the command editor";
  EXPECT_EQ(FieldOf(editor->pane->titleField), "untitled");
  Type(editor->pane->titleField, "Tidy Page");
  Type(editor->pane->commandField, "tidy");
  Edit(editor->pane, "tidy -q \"$PATH\"");
  SInt32 status = 0;
  editor->Close(status);

  item = commands->Items()[0];
  const CommandData stored = DecodeCommandData(static_cast<UInt8*>(item->DATA), item->DATALENGTH);
  EXPECT_EQ(stored.title.str(), "Tidy Page");
  EXPECT_EQ(stored.command.str(), "tidy");
  const std::string file = ReadFile(bundle + "/Contents/Resources/Data/project.macros.plist");
  EXPECT_NE(file.find("<key>tidy</key>"), std::string::npos) << file;
  EXPECT_NE(file.find("<string>tidy -q \"$PATH\"</string>"), std::string::npos) << file;
  EXPECT_EQ(file.find("????"), std::string::npos) << file;

  project->Release();
  AppResources = saved;
  AppPrefs = savedAppPrefs;
  application->Release();
}

// ---------------------------------------------------------------------------
// The error list

TEST(MacroErrorsTest, LinesWithABarGiveRows) {
  struct Case {
    const char* text;
    std::vector<std::string> rows;  // message|line|column|file
  };
  const Case cases[] = {
      {"no bar here\n", {}},
      {"", {}},
      {"oops|12||self\n", {"oops|12|0|self"}},
      {"a|3|7|other.php\nplain\nb|x\n", {"a|3|7|other.php", "b|0|0|"}},
      {"last line|4", {"last line|4|0|"}},
      {"crlf|2|1|self\r\n", {"crlf|2|1|self"}},
      {"|5|\n", {"|5|0|"}},
      {"m|1|2|f|extra\n", {"m|1|2|f"}},
      {"caf\xC3\xA9 \xE2\x86\x92 q|9\n", {"caf\xC3\xA9 ? q|9|0|"}},
  };
  for (const Case& c : cases) {
    CFStringRef text = NewString(c.text);
    std::vector<std::string> rows;
    for (const MacroErrorData& row : ParseMacroErrors(text)) {
      CFStringRef message = CFStringCreateWithPascalString(nullptr, row.message.data(), kCFStringEncodingMacRoman);
      rows.push_back(Text(message) + "|" + std::to_string(row.line) + "|" + std::to_string(row.column) + "|" +
                     row.file.str());
      CFRelease(message);
    }
    CFRelease(text);
    EXPECT_EQ(rows, c.rows) << c.text;
  }
}

TSyntaxCollection* Languages() {
  static TSyntaxCollection* collection = [] {
    TSyntaxCollection* c = CreateSyntaxCollection(nullptr);
    c->LoadLibrary("php");
    return c;
  }();
  return collection;
}

IBNibRef WindowNib() {
  static IBNibRef nib = [] {
    const std::string folder = QUORVEL_TEST_SOURCE_DIR "/shell/fixtures";
    CFURLRef url = CFURLCreateFromFileSystemRepresentation(nullptr, reinterpret_cast<const UInt8*>(folder.c_str()),
                                                           CFIndex(folder.size()), true);
    CFBundleRef bundle = CFBundleCreate(nullptr, url);
    CFRelease(url);
    IBNibRef made = nullptr;
    EXPECT_EQ(CreateNibReferenceWithCFBundle(bundle, CFSTR("PaneMain"), &made), noErr);
    return made;
  }();
  return nib;
}

struct MacroErrorPaneTest : ::testing::Test {
  ScratchFolder folder{"macro errors"};
  TWindow* window = nullptr;
  TFind* find = nullptr;
  TEditorPane* pane = nullptr;
  TWASTEDocument* document = nullptr;

  static void SetUpTestSuite() {
    HeadlessUseVirtualClock(true);
    RegisterWasteClass();
    RegisterToolbarViewClass();
    RegisterSplitViewClass();
    UsePrivateStateFolder();
    static ApplicationResourceInfo resources;
    AppResources = &resources;
    InstallProgramWiring();
  }
  void SetUp() override {
    ApplicationNib = ShippedNib();
    mkdir((folder.path + "/index").c_str(), 0700);
    FSRef index{};
    FSPathMakeRef(reinterpret_cast<const UInt8*>((folder.path + "/index").c_str()), &index, nullptr);
    AppResources->FileSystem = CreateFileSystem(index, Languages(), nullptr);
    window = new TWindow();
    window->Create("Pane Editor Window", WindowNib());
    ASSERT_NE(window->window, nullptr);
    window->Show();
    find = new TFind();
    find->SetWindow(window);
    window->SetProperty('QURY', find, sizeof find);
    std::string text;
    for (int line = 1; line <= 15; ++line) text += "line " + std::to_string(line) + "\n";
    const std::string file = folder.Write("page.php", text);
    FSRef ref{};
    FSPathMakeRef(reinterpret_cast<const UInt8*>(file.c_str()), &ref, nullptr);
    document = new TWASTEDocument();
    document->Create(ref);
    pane = new TEditorPane();
    pane->SetDocument(document);
    pane->SetOwner(window);
    pane->Create(kEditorPaneNibName, ShippedNib());
    ASSERT_NE(pane->editor, nullptr);
    pane->Attach(window->window);
    window->documents->Append(document);
    window->documents->SetActive(document);
    for (int i = 0; i < 200; ++i) HeadlessAdvanceClock(0.001);
  }
  void TearDown() override {
    SInt32 status = 0;
    window->Close(status);
    find->Release();
    AppResources->FileSystem->Release();
    AppResources->FileSystem = nullptr;
  }
  TMacroErrorPane* Lower() { return dynamic_cast<TMacroErrorPane*>(pane->LowerPane()); }
};

TEST_F(MacroErrorPaneTest, TheErrorsComeUpUnderTheEditorAndARowShowsItsLine) {
  CFStringRef text = NewString("Unexpected end|12||self\nElsewhere|3|1|other.php\nnot an error\n");
  pane->ShowMacroErrors("Check Syntax", text);
  CFRelease(text);
  TMacroErrorPane* errors = Lower();
  ASSERT_NE(errors, nullptr) << "the list comes up under the editor";
  EXPECT_EQ(ToolbarGetItemText(errors->toolbar, 1), Str255("Check Syntax"));
  ASSERT_NE(errors->browser, nullptr);
  EXPECT_EQ(errors->browser->CountItems(0, true), 2u);

  WEReference we = pane->editor->GetWE();
  WESetSelection(0, 0, we);
  errors->browser->SelectRow(0);
  SInt32 start = 0, end = 0;
  WEGetSelection(&start, &end, we);
  Handle h = NewHandle(0);
  WEStreamRange(start, end, 'utf8', 0, h, we);
  std::string selected(*h, size_t(GetHandleSize(h)));
  DisposeHandle(h);
  EXPECT_EQ(selected.substr(0, 7), "line 12");

  // A second report of errors goes into the same list, under its title.
  text = NewString("Other|2||page.php\n");
  pane->ShowMacroErrors("Lint", text);
  CFRelease(text);
  EXPECT_EQ(Lower(), errors);
  EXPECT_EQ(ToolbarGetItemText(errors->toolbar, 1), Str255("Lint"));
  EXPECT_EQ(errors->browser->CountItems(0, true), 1u);
  errors->browser->SelectRow(0);
  WEGetSelection(&start, &end, we);
  EXPECT_EQ(start, 7) << "the document's own name selects in it too";

  EXPECT_EQ(pane->CloseActivePane(), eventNotHandledErr);
  EXPECT_EQ(pane->LowerPane(), nullptr);
}

}  // namespace
