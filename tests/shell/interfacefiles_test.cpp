// The interface files as the bundle ships them: every window, pane and menu
// the program asks for loads; the views the code looks up by signature and
// ID are where it looks, of the class it expects; panes follow their
// container when it grows; the menu bar carries each command once, with key
// equivalents that never collide; and the toolbar preferences answer which
// languages can run.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "CFBundle.h"
#include "CFDictionary.h"
#include "CFPropertyList.h"
#include "CFString.h"
#include "CFURL.h"
#include "DataBrowser.h"
#include "HIObject.h"
#include "HIView.h"
#include "IBCarbonRuntime.h"
#include "MacWindows.h"
#include "Menus.h"
#include "PascalCarbonCommon.h"
#include "THIQueryViewUnit.h"
#include "THIViewUnit.h"
#include "TPropertyListUnit.h"
#include "fenwicket/Fenwicket.h"
#include "plinthora/Plinthora.h"

namespace {

CFStringRef S(const std::string& s) { return CFStringCreateWithCString(nullptr, s.c_str(), kCFStringEncodingUTF8); }

std::string Code(OSType c) {
  std::string s;
  for (int shift = 24; shift >= 0; shift -= 8) s += char((c >> shift) & 0xFF);
  return s;
}

std::string Text(CFStringRef s) {
  if (s == nullptr) return {};
  char buffer[1024] = {};
  CFStringGetCString(s, buffer, sizeof buffer, kCFStringEncodingUTF8);
  return buffer;
}

// The names in one section of an interface file, read as the file itself.
std::vector<std::string> SectionNames(const char* file, const char* section) {
  std::vector<std::string> names;
  CFStringRef name = S(file);
  CFURLRef url = CFBundleCopyResourceURL(CFBundleGetMainBundle(), name, CFSTR("nib.plist"), CFSTR("Interface"));
  CFRelease(name);
  if (url == nullptr) return names;
  CFDataRef data = nullptr;
  SInt32 error = 0;
  CFURLCreateDataAndPropertiesFromResource(nullptr, url, &data, nullptr, nullptr, &error);
  CFRelease(url);
  if (data == nullptr) return names;
  CFPropertyListRef root = CFPropertyListCreateFromXMLData(nullptr, data, kCFPropertyListImmutable, nullptr);
  CFRelease(data);
  if (root == nullptr) return names;
  CFStringRef key = S(section);
  auto entries = static_cast<CFDictionaryRef>(CFDictionaryGetValue(CFDictionaryRef(root), key));
  CFRelease(key);
  if (entries != nullptr) {
    std::vector<const void*> keys(size_t(CFDictionaryGetCount(entries)));
    CFDictionaryGetKeysAndValues(entries, keys.data(), nullptr);
    for (const void* k : keys) names.push_back(Text(CFStringRef(k)));
  }
  CFRelease(root);
  return names;
}

IBNibRef Nib(const char* file) {
  static std::map<std::string, IBNibRef> nibs;
  IBNibRef& nib = nibs[file];
  if (nib == nullptr) {
    CFStringRef name = S(file);
    EXPECT_EQ(noErr, CreateNibReference(name, &nib)) << file;
    CFRelease(name);
  }
  return nib;
}

WindowRef Window(const char* file, const std::string& name) {
  WindowRef window = nullptr;
  CFStringRef n = S(name);
  const OSStatus status = CreateWindowFromNib(Nib(file), n, &window);
  CFRelease(n);
  EXPECT_EQ(noErr, status) << file << " / " << name;
  return window;
}

HIViewRef Find(WindowRef window, OSType signature, SInt32 id) {
  HIViewRef view = nullptr;
  if (window != nullptr) HIViewFindByID(HIViewGetRoot(window), HIViewID{signature, id}, &view);
  return view;
}

class InterfaceFilesTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    // The classes the program registers at start-up, and the query view.
    RegisterWasteClass();
    RegisterSplitViewClass();
    RegisterToolbarViewClass();
    RegisterTabViewClass();
    THIViewRegister("com.brindlecote.view.queryview", HIQueryViewConstruct);
  }
  void TearDown() override {
    for (WindowRef w : windows_) DisposeWindow(w);
    windows_.clear();
  }
  WindowRef Open(const char* file, const std::string& name) {
    WindowRef w = Window(file, name);
    if (w != nullptr) windows_.push_back(w);
    return w;
  }
  std::vector<WindowRef> windows_;
};

// What the program asks of each file by name.
const std::vector<std::pair<const char*, std::vector<std::string>>> kWindows = {
    {"main",
     {"About", "EditorWindow", "EditorWindow (Integrated Project)", "Tabbed Pane", "Side Pane",
      "Side Pane (Stand Alone)", "Editor Pane", "Source Pane (Alt 1)", "CodeCompletion", "Console Pane",
      "Preview Pane 2.1", "ProjectWindow", "Error Pane (PHP)", "Error Pane (PERL)", "Error Pane (Ruby)",
      "Error Pane (HTML)", "Error Pane (Macro)", "Error Log Window"}},
    {"MacroEditor", {"MainWindow", "Macro Pane", "Command Editor"}},
    {"Books", {"Book Pane", "Chapters Pane", "Viewer Pane", "Preview Pane", "Edit Book"}},
    {"Find",
     {"Find Window", "Find Pane", "Find Pane (Full)", "Find Pane (Split)", "Find Pane (Split 2.1)",
      "Batch Find Window", "Find Pane (Batch)"}},
};
const std::vector<std::string> kMenus = {"Project Contextual Menu", "Run Menu", "Preview Menu", "Actions Menu"};

TEST_F(InterfaceFilesTest, EveryWindowPaneAndMenuLoadsFromTheBundle) {
  for (const auto& [file, required] : kWindows) {
    std::vector<std::string> shipped = SectionNames(file, "windows");
    for (const std::string& name : required)
      EXPECT_NE(std::find(shipped.begin(), shipped.end(), name), shipped.end()) << file << " lacks " << name;
    // Whatever the file holds must load, named or not.
    for (const std::string& name : shipped) {
      WindowRef w = Open(file, name);
      if (w == nullptr) continue;
      // A pane lends its content view ('PANE' 128), whatever else it holds.
      if (name.find("Pane") != std::string::npos) {
        EXPECT_NE(Find(w, 'PANE', 128), nullptr) << name;
      }
      // Nothing shows before the program shows it.
      EXPECT_FALSE(IsWindowVisible(w)) << name;
    }
  }
  std::vector<std::string> menus = SectionNames("main", "menus");
  for (const std::string& name : kMenus)
    EXPECT_NE(std::find(menus.begin(), menus.end(), name), menus.end()) << "main lacks the menu " << name;
  for (const std::string& name : menus) {
    MenuRef menu = nullptr;
    CFStringRef n = S(name);
    EXPECT_EQ(noErr, CreateMenuFromNib(Nib("main"), n, &menu)) << name;
    CFRelease(n);
    if (menu) ReleaseMenu(menu);
  }
  Handle bar = nullptr;
  ASSERT_EQ(noErr, CreateMenuBarFromNib(Nib("main"), CFSTR("MenuBar"), &bar));
  DisposeMenuBar(bar);
}

struct Lookup {
  const char* file;
  const char* window;
  OSType signature;
  SInt32 id;
  const char* kind;  // an HIObject class ID, or a control kind; nil: any view
};

std::vector<Lookup> Lookups() {
  std::vector<Lookup> table = {
      {"main", "EditorWindow (Integrated Project)", 'SPLT', 128, "com.brindlecote.splitview"},
      {"main", "Tabbed Pane", 'TABS', 128, "com.brindlecote.tabs"},
      {"main", "Editor Pane", 'SPLT', 128, "com.brindlecote.splitview"},
      {"main", "Source Pane (Alt 1)", 'WAST', 128, "com.brindlecote.waste"},
      {"main", "Source Pane (Alt 1)", 'TOOL', 128, "com.brindlecote.toolbar"},
      {"main", "Source Pane (Alt 1)", 'PLAC', 128, "plac"},
      {"main", "Source Pane (Alt 1)", 'SCOP', 128, "stxt"},
      {"main", "CodeCompletion", 'COME', 128, "datb"},
      {"main", "Console Pane", 'OUTP', 128, "com.brindlecote.waste"},
      {"main", "Console Pane", 'TOOL', 128, "com.brindlecote.toolbar"},
      {"main", "Preview Pane 2.1", 'WEBK', 128, nullptr},
      {"main", "Preview Pane 2.1", 'TOOL', 128, "com.brindlecote.toolbar"},
      {"main", "Preview Pane 2.1", 'TOOL', 129, "com.brindlecote.toolbar"},
      {"main", "ProjectWindow", 'TOOL', 128, "com.brindlecote.toolbar"},
      {"main", "ProjectWindow", 'PANE', 130, nullptr},
      {"main", "Error Pane (PHP)", 'PLAC', 128, "plac"},
      {"main", "Error Pane (PHP)", 'ERRO', 128, "datb"},
      {"main", "Error Pane (PHP)", 'TOOL', 128, "com.brindlecote.toolbar"},
      {"main", "Error Pane (PERL)", 'ERRO', 128, "datb"},
      {"main", "Error Pane (PERL)", 'TOOL', 128, "com.brindlecote.toolbar"},
      {"main", "Error Pane (Ruby)", 'ERRO', 128, "datb"},
      {"main", "Error Pane (Ruby)", 'TOOL', 128, "com.brindlecote.toolbar"},
      {"main", "Error Pane (HTML)", 'TOOL', 128, "com.brindlecote.toolbar"},
      {"main", "Error Log Window", 'BROW', 128, "datb"},
      {"main", "Error Pane (Macro)", 'TOOL', 128, "com.brindlecote.toolbar"},
      {"main", "Error Pane (Macro)", 'ERRO', 128, "datb"},
      // The macro editor: its library pop-up, its two lists and the place of
      // the pane that edits a command, which the command editor shows too.
      {"MacroEditor", "MainWindow", 'LANG', 128, "popb"},
      {"MacroEditor", "MainWindow", 'LIST', 128, "datb"},
      {"MacroEditor", "MainWindow", 'LIST', 129, "datb"},
      {"MacroEditor", "MainWindow", 'PANE', 129, nullptr},
      {"MacroEditor", "Command Editor", 'PANE', 129, nullptr},
      {"MacroEditor", "Macro Pane", 'MACR', 128, "eutx"},
      {"MacroEditor", "Macro Pane", 'COMM', 128, "eutx"},
      {"MacroEditor", "Macro Pane", 'ACTI', 128, "popb"},
      {"MacroEditor", "Macro Pane", 'OUTP', 128, "popb"},
      {"MacroEditor", "Macro Pane", 'EDIT', 129, "com.brindlecote.waste"},
  };
  for (const char* side : {"Side Pane", "Side Pane (Stand Alone)"}) {
    table.push_back({"main", side, 'TOOL', 128, "com.brindlecote.toolbar"});
    table.push_back({"main", side, 'SPLT', 128, "com.brindlecote.splitview"});
    table.push_back({"main", side, 'PANE', 129, nullptr});
    table.push_back({"main", side, 'PANE', 130, nullptr});
  }
  for (const char* pane : {"Find Pane", "Find Pane (Full)", "Find Pane (Split)", "Find Pane (Split 2.1)"}) {
    table.push_back({"Find", pane, 'FIND', 128, "cbbx"});
    table.push_back({"Find", pane, 'REPL', 128, "cbbx"});
    for (SInt32 id : {128, 129, 130}) table.push_back({"Find", pane, 'OPTI', id, "cbox"});
    table.push_back({"Find", pane, 'FIND', 129, "push"});
    table.push_back({"Find", pane, 'REPL', 129, "push"});
    table.push_back({"Find", pane, 'REPA', 129, "push"});
  }
  // The strips that the code gives custom-drawn buttons have the placard.
  for (const char* pane : {"Find Pane", "Find Pane (Split)", "Find Pane (Split 2.1)"})
    table.push_back({"Find", pane, 'PLAC', 128, "plac"});
  table.push_back({"Find", "Find Pane (Split 2.1)", 'NAVI', 128, "com.brindlecote.view.queryview"});
  // The batch search: its fields, its progress, status and results.
  for (auto [signature, id, kind] : {std::tuple{'FIND', 128, "cbbx"}, {'REPL', 128, "cbbx"}, {'OPTI', 128, "cbox"},
                                     {'OPTI', 129, "cbox"}, {'PROG', 128, "prgb"}, {'STAT', 128, "stxt"},
                                     {'RESU', 128, "datb"}})
    table.push_back({"Find", "Find Pane (Batch)", OSType(signature), id, kind});
  return table;
}

TEST_F(InterfaceFilesTest, TheViewsTheCodeLooksUpAreThereWithTheirClasses) {
  std::map<std::string, WindowRef> open;
  for (const Lookup& l : Lookups()) {
    const std::string key = std::string(l.file) + "/" + l.window;
    if (!open.count(key)) open[key] = Open(l.file, l.window);
    HIViewRef view = Find(open[key], l.signature, l.id);
    const std::string what = key + " " + Code(l.signature) + " " + std::to_string(l.id);
    ASSERT_NE(view, nullptr) << what;
    if (l.kind == nullptr) continue;
    if (std::strchr(l.kind, '.') != nullptr) {
      CFStringRef cls = S(l.kind);
      EXPECT_TRUE(HIObjectIsOfClass(reinterpret_cast<HIObjectRef>(view), cls)) << what << " is not " << l.kind;
      CFRelease(cls);
    } else {
      ControlKind kind{};
      EXPECT_EQ(noErr, GetControlKind(view, &kind)) << what;
      EXPECT_EQ(l.kind, Code(kind.kind)) << what;
    }
  }
}

TEST_F(InterfaceFilesTest, ThePartsThatFillAPaneFollowItWhenItGrows) {
  // (window, view): each must grow with its pane in both directions.
  const std::vector<std::tuple<const char*, const char*, OSType, SInt32>> filling = {
      {"main", "Editor Pane", 'SPLT', 128},
      {"main", "Source Pane (Alt 1)", 'WAST', 128}, {"main", "Console Pane", 'OUTP', 128},
      {"main", "Side Pane", 'SPLT', 128},          {"main", "Preview Pane 2.1", 'WEBK', 128},
      {"Find", "Find Pane (Split)", 'PLAC', 128},
  };
  for (const auto& [file, name, signature, id] : filling) {
    WindowRef w = Open(file, name);
    HIViewRef pane = Find(w, 'PANE', 128);
    HIViewRef view = Find(w, signature, id);
    ASSERT_TRUE(pane && view) << name;
    HIRect before{}, grown{}, after{};
    HIViewGetFrame(view, &before);
    HIViewGetFrame(pane, &grown);
    grown.size.width += 150;
    grown.size.height += 90;
    HIViewSetFrame(pane, &grown);
    HIViewGetFrame(view, &after);
    EXPECT_EQ(before.size.width + 150, after.size.width) << name;
    EXPECT_EQ(before.size.height + 90, after.size.height) << name;
    EXPECT_EQ(before.origin.y, after.origin.y) << name << ": the top stays where it was";
  }
  // Strips stay on their edge and keep their height.
  const std::vector<std::tuple<const char*, const char*, OSType, SInt32, bool>> strips = {
      {"main", "Tabbed Pane", 'TABS', 128, false}, {"main", "Source Pane (Alt 1)", 'TOOL', 128, false},
      {"main", "Source Pane (Alt 1)", 'PLAC', 128, true}, {"main", "Preview Pane 2.1", 'TOOL', 129, true},
      {"Find", "Find Pane (Split)", 'FIND', 128, false},  {"Find", "Find Pane (Full)", 'REPA', 129, false},
  };
  for (const auto& [file, name, signature, id, bottom] : strips) {
    WindowRef w = Open(file, name);
    HIViewRef pane = Find(w, 'PANE', 128);
    HIViewRef view = Find(w, signature, id);
    ASSERT_TRUE(pane && view) << name;
    HIRect before{}, grown{}, after{};
    HIViewGetFrame(view, &before);
    HIViewGetFrame(pane, &grown);
    grown.size.width += 150;
    grown.size.height += 90;
    HIViewSetFrame(pane, &grown);
    HIViewGetFrame(view, &after);
    EXPECT_EQ(before.size.height, after.size.height) << name << " " << Code(signature);
    EXPECT_EQ(before.origin.y + (bottom ? 90 : 0), after.origin.y) << name << " " << Code(signature);
  }
}

// Every item of the bar's menus, depth first.
struct Item {
  MenuRef menu;
  MenuItemIndex index;
  MenuCommand command;
  std::string title;
};

void Walk(MenuRef menu, std::vector<Item>& items, int depth = 0) {
  ASSERT_LT(depth, 8);
  for (MenuItemIndex i = 1; i <= CountMenuItems(menu); ++i) {
    Item item{menu, i, 0, {}};
    GetMenuItemCommandID(menu, i, &item.command);
    CFStringRef title = nullptr;
    CopyMenuItemTextAsCFString(menu, i, &title);
    item.title = Text(title);
    if (title) CFRelease(title);
    items.push_back(item);
    MenuRef sub = nullptr;
    if (GetMenuItemHierarchicalMenu(menu, i, &sub) == noErr && sub != nullptr) Walk(sub, items, depth + 1);
  }
}

class MenuBarTest : public InterfaceFilesTest {
 protected:
  void SetUp() override {
    Handle bar = nullptr;
    ASSERT_EQ(noErr, CreateMenuBarFromNib(Nib("main"), CFSTR("MenuBar"), &bar));
    root_ = reinterpret_cast<MenuRef>(bar);
    Walk(root_, items_);
  }
  void TearDown() override { DisposeMenuBar(reinterpret_cast<Handle>(root_)); }
  MenuRef Menu(MenuID id) {
    for (MenuItemIndex i = 1; i <= CountMenuItems(root_); ++i) {
      MenuRef sub = nullptr;
      GetMenuItemHierarchicalMenu(root_, i, &sub);
      if (sub && GetMenuID(sub) == id) return sub;
    }
    return nullptr;
  }
  int Count(MenuCommand command) {
    int n = 0;
    for (const Item& i : items_) n += i.command == command;
    return n;
  }
  MenuRef root_ = nullptr;
  std::vector<Item> items_;
};

TEST_F(MenuBarTest, EveryGlobalAndEditorWindowCommandIsInTheBarOnce) {
  const MenuCommand kCommands[] = {
      // The application's.
      'FIND', 'FNDP', 'KILL', 'MACR', 'abou', 'new ', 'newF', 'newP', 'newW', 'nwPB', 'open', 'pref', 'vsws',
      // The editor window's.
      'Msym', 'Mpro', 'Mftp', 'page', 'prDT', 'EXEC', 'EXCS', 'exeD', 'exeP', 'exeT', 'prvB', 'prvD', 'prvL', 'prvS',
      'prvf', 'prvW', 'Xerr', 'fINF', 'uplo', 'ECMP', 'cEDT', 'cPAN', '!NTP',
      // The find commands whose items the window enables.
      'REPL', 'FndS', 'FndT', 'ReFN', 'RePA', 'RePS', 'WFdN',
      // The framework's and the text's.
      'clos', 'save', 'svas', 'rvrt', 'quit', 'undo', 'redo', 'cut ', 'copy', 'past', 'clea', 'sall'};
  for (MenuCommand c : kCommands) EXPECT_EQ(1, Count(c)) << Code(c);
  // Sent by the program itself, with parameters a menu item cannot give.
  for (MenuCommand c : {'OPCN', 'shme', 'REFA', 'opFT', 'SEIT', 'sptm', 'udsp'}) EXPECT_EQ(0, Count(c)) << Code(c);
  // Every item says what it does.
  for (const Item& i : items_) {
    MenuItemAttributes attributes = 0;
    GetMenuItemAttributes(i.menu, i.index, &attributes);
    if (!(attributes & kMenuItemAttrSeparator)) {
      EXPECT_FALSE(i.title.empty()) << Code(i.command);
    }
  }
}

TEST_F(MenuBarTest, TheMenusTheCodeFindsByIDAreWhereItLooks) {
  // The recent items hang from item 8 of the File menu.
  MenuRef file = Menu(128);
  ASSERT_NE(file, nullptr);
  MenuCommand command = 1;
  GetMenuItemCommandID(file, 8, &command);
  EXPECT_EQ(0u, command);
  MenuItemAttributes attributes = 0;
  GetMenuItemAttributes(file, 8, &attributes);
  EXPECT_FALSE(attributes & kMenuItemAttrSeparator);
  // The text view enables the Edit menu's items by its ID.
  MenuRef edit = Menu(129);
  ASSERT_NE(edit, nullptr);
  MenuItemIndex index = 0;
  for (MenuCommand c : {'undo', 'redo', 'cut ', 'copy', 'past', 'clea', 'sall'}) {
    MenuRef holder = nullptr;
    EXPECT_EQ(noErr, GetIndMenuItemWithCommandID(edit, c, 1, &holder, &index)) << Code(c);
    EXPECT_EQ(holder, edit) << Code(c);
  }
  // The project menu follows the project; renaming and uploading follow its selection.
  MenuRef project = Menu(132);
  ASSERT_NE(project, nullptr);
  for (MenuCommand c : {'RENM', 'uplo', 'prDT'}) {
    MenuRef holder = nullptr;
    EXPECT_EQ(noErr, GetIndMenuItemWithCommandID(project, c, 1, &holder, &index)) << Code(c);
    EXPECT_EQ(holder, project) << Code(c);
  }
  // The side-pane modes are enabled by the window's own rule, outside that menu.
  for (MenuCommand c : {'Mpro', 'Mftp', 'Msym'}) {
    MenuRef holder = nullptr;
    EXPECT_EQ(noErr, GetIndMenuItemWithCommandID(root_, c, 1, &holder, &index)) << Code(c);
    EXPECT_NE(holder, project) << Code(c);
  }
  // No menu ID twice; 151 is the "Open With" menu the project makes.
  std::set<MenuID> ids;
  for (MenuItemIndex i = 1; i <= CountMenuItems(root_); ++i) {
    MenuRef sub = nullptr;
    GetMenuItemHierarchicalMenu(root_, i, &sub);
    ASSERT_NE(sub, nullptr);
    EXPECT_TRUE(ids.insert(GetMenuID(sub)).second) << GetMenuID(sub);
    EXPECT_NE(151, GetMenuID(sub));
  }
}

TEST_F(MenuBarTest, KeyEquivalentsNeverCollide) {
  std::map<std::pair<UInt16, UInt8>, std::string> seen;
  int keyed = 0;
  for (const Item& i : items_) {
    UInt16 key = 0;
    if (GetMenuItemCommandKey(i.menu, i.index, false, &key) != noErr || key == 0) continue;
    UInt8 modifiers = 0;
    GetMenuItemModifiers(i.menu, i.index, &modifiers);
    EXPECT_FALSE(modifiers & kMenuNoCommandModifier) << i.title << ": every equivalent goes with Ctrl";
    const UInt16 folded = key < 128 ? UInt16(std::tolower(key)) : key;
    auto [at, fresh] = seen.emplace(std::make_pair(folded, modifiers), i.title);
    EXPECT_TRUE(fresh) << i.title << " and " << at->second << " share a key";
    ++keyed;
  }
  EXPECT_GT(keyed, 20);
  // The equivalents a Linux user reaches for first.
  const std::vector<std::tuple<MenuCommand, char, UInt8>> expected = {
      {'new ', 'N', 0}, {'open', 'O', 0}, {'save', 'S', 0},  {'svas', 'S', kMenuShiftModifier}, {'clos', 'W', 0}, {'quit', 'Q', 0},
      {'undo', 'Z', 0}, {'redo', 'Z', kMenuShiftModifier}, {'cut ', 'X', 0}, {'copy', 'C', 0},
      {'past', 'V', 0}, {'sall', 'A', 0}, {'FIND', 'F', 0},  {'WFdN', 'G', 0}, {'pref', ',', 0},
      {'EXEC', 'R', 0}};
  for (const auto& [command, key, modifiers] : expected) {
    MenuRef holder = nullptr;
    MenuItemIndex index = 0;
    ASSERT_EQ(noErr, GetIndMenuItemWithCommandID(root_, command, 1, &holder, &index)) << Code(command);
    UInt16 got = 0;
    UInt8 mods = 0xFF;
    GetMenuItemCommandKey(holder, index, false, &got);
    GetMenuItemModifiers(holder, index, &mods);
    EXPECT_EQ(UInt16(key), got) << Code(command);
    EXPECT_EQ(modifiers, mods) << Code(command);
  }
}

std::vector<MenuCommand> Commands(const char* name) {
  MenuRef menu = nullptr;
  CFStringRef n = S(name);
  EXPECT_EQ(noErr, CreateMenuFromNib(Nib("main"), n, &menu));
  CFRelease(n);
  std::vector<MenuCommand> commands;
  for (MenuItemIndex i = 1; menu && i <= CountMenuItems(menu); ++i) {
    MenuCommand c = 0;
    GetMenuItemCommandID(menu, i, &c);
    commands.push_back(c);
  }
  if (menu) ReleaseMenu(menu);
  return commands;
}

TEST_F(InterfaceFilesTest, TheMenusTheCodeLoadsByNameHoldTheirCommandsInPlace) {
  // The project tree's menu: "Open With" is item 5, which the tree fills.
  std::vector<MenuCommand> project = Commands("Project Contextual Menu");
  ASSERT_GE(project.size(), 5u);
  EXPECT_EQ(MenuCommand('opnA'), project[4]);
  for (MenuCommand c : {'fINF', 'RENM', 'revF', 'opnF', 'opnW', 'uplo'})
    EXPECT_EQ(1, std::count(project.begin(), project.end(), c)) << Code(c);
  // The run pop-up: items 1 to 4 in the order of the run modes.
  EXPECT_EQ((std::vector<MenuCommand>{'exeD', 'exeP', 'exeT', 'EXCS'}), Commands("Run Menu"));
  // The preview pop-up: the three places first, the browser's item 5, the
  // window's 6, and item 8 a submenu that the program fills.
  std::vector<MenuCommand> preview = Commands("Preview Menu");
  ASSERT_EQ(8u, preview.size());
  EXPECT_EQ((std::vector<MenuCommand>{'prvD', 'prvS', 'prvL'}), std::vector<MenuCommand>(preview.begin(), preview.begin() + 3));
  EXPECT_EQ(MenuCommand('prvB'), preview[4]);
  EXPECT_EQ(MenuCommand('prvW'), preview[5]);
  MenuRef menu = nullptr;
  ASSERT_EQ(noErr, CreateMenuFromNib(Nib("main"), CFSTR("Preview Menu"), &menu));
  MenuRef sub = nullptr;
  EXPECT_EQ(noErr, GetMenuItemHierarchicalMenu(menu, 8, &sub));
  EXPECT_NE(sub, nullptr);
  ReleaseMenu(menu);
}

TEST_F(InterfaceFilesTest, TheToolbarPreferencesSayWhichLanguagesRun) {
  FSRef file{};
  ASSERT_EQ(noErr, FSGetResourceFile(Str63("toolbar preferences.plist"), Str63(), file));
  TPropertyList* list = TPropertyListLoad(file);
  ASSERT_NE(list, nullptr);
  for (const char* language : {"php", "perl", "ruby", "html"})
    EXPECT_TRUE(list->GetBooleanValue(Str255(std::string(language) + "/com.brindlecote.toolbar.editor.run")))
        << language;
  // A missing key would read as true: the languages without a runner say so.
  for (const char* language : {"javascript", "css", "xml", "pascal"}) {
    const Str255 path(std::string(language) + "/com.brindlecote.toolbar.editor.run");
    EXPECT_NE(list->GetValue(path), nullptr) << language;
    EXPECT_FALSE(list->GetBooleanValue(path)) << language;
  }
  list->Release();
}

}  // namespace
