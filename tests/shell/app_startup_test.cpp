// Start-up: the steps in their order, what each leaves for the next, the
// default preferences of a first run against those of a later run, and the
// two ways a run ends.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "AppShellTestSupport.h"
#include "AppleHelp.h"
#include "CFNumber.h"
#include "CFPreferences.h"
#include "HIObject.h"
#include "LSInfo.h"
#include "Menus.h"
#include "PascalCarbonCommon.h"
#include "TPreferencesUnit.h"
#include "WASTE.h"

using namespace appshell;

namespace {

std::vector<std::string> gSteps;
// At the moment the application object is created (menu bar, resources):
// whether the defaults were already in the preferences file.
bool gDefaultsBeforeMenuBar = false;

void Record(const char* step) {
  gSteps.push_back(step);
  if (std::string(step) == "CreateApplicationObject") {
    CFPropertyListRef list = ReadPropertyList(PreferencesFile());
    CFStringRef key = Key("user.StylesEditorFontSize");
    gDefaultsBeforeMenuBar = list != nullptr && CFDictionaryContainsKey(static_cast<CFDictionaryRef>(list), key);
    CFRelease(key);
    if (list != nullptr) CFRelease(list);
  }
}

TEST(AppStartup, RunsItsStepsInOrderAndLeavesTheApplicationReady) {
  PrepareAppBundle();
  StartupStepRecorder = Record;
  StartApplication();
  StartupStepRecorder = nullptr;
  EXPECT_EQ(gSteps, (std::vector<std::string>{"InitializeUnits", "LoadFrameworks", "LeopardGUI", "RegisterColorPicker",
                                              "RegisterHelpBook", "CreateApplication", "CreatePreferences",
                                              "CopyDefaultPreferences", "ModifyDefaultPreferences", "SetRecentItems",
                                              "CreateApplicationObject", "LoadResources", "QuorvelUpdates",
                                              "RestoreDocumentList"}));
  EXPECT_TRUE(gDefaultsBeforeMenuBar) << "the defaults are copied before the menu bar and resources are loaded";

  ASSERT_NE(MyApplication, nullptr);
  EXPECT_EQ(CurrentApplication, MyApplication);
  EXPECT_EQ(AppPrefs, MyApplication->preferences);
  EXPECT_EQ(MyApplication->preferences->fDomain.str(), "user.");
  EXPECT_EQ(ApplicationSignature, OSType('QVRL'));
  EXPECT_FALSE(LeopardGUI);
  EXPECT_EQ(AppResources, MyApplication->resources);
  // The view classes the interface files name exist.
  for (const char* id : {"com.brindlecote.splitview", "com.brindlecote.tabs", "com.brindlecote.waste",
                         "com.brindlecote.toolbar", "com.brindlecote.view.colorpicker"}) {
    CFStringRef classID = Key(id);
    HIObjectClassRef made = nullptr;
    EXPECT_EQ(HIObjectRegisterSubclass(classID, kHIViewClassID, 0, [](EventHandlerCallRef, EventRef, void*) {
      return OSStatus(eventNotHandledErr);
    }, 0, nullptr, nullptr, &made), hiObjectClassExistsErr) << id;
    CFRelease(classID);
  }
  // The menu bar with the recent items under item 8 of the File menu.
  MenuRef file = GetMenuRef(kApplicationFileMenuID);
  ASSERT_NE(file, nullptr);
  MenuRef recent = nullptr;
  EXPECT_EQ(GetMenuItemHierarchicalMenu(file, 8, &recent), noErr);
  EXPECT_NE(recent, nullptr);
  EXPECT_EQ(MyApplication->recentItems.limit, 25);
  // The help book opens its index in the browser.
  HeadlessClearLaunchRequests();
  EXPECT_EQ(AHGotoPage(nullptr, nullptr, nullptr), noErr);
  const auto launches = HeadlessCopyLaunchRequests();
  ASSERT_EQ(launches.size(), 1u);
  EXPECT_NE(launches[0].url.find("Quorvel%20Help/index.html"), std::string::npos) << launches[0].url;
}

// The program's own start-up wires every unit that is part of it: each
// hook and target is set, except those awaiting a unit, which are listed in
// one place and stay empty until that unit comes.
TEST(AppStartup, WiresEveryHookWhoseUnitIsBuilt) {
  PrepareAppBundle();
  StartApplication();
  const std::vector<ProgramWire> wires = CopyProgramWiring();
  auto awaits = [](const std::string& name) {
    return std::find(kProgramWiresAwaitingUnits.begin(), kProgramWiresAwaitingUnits.end(), name) !=
           kProgramWiresAwaitingUnits.end();
  };
  std::vector<std::string> missing, listedButSet, unknown;
  for (const ProgramWire& wire : wires) {
    if (!wire.set && !awaits(wire.name)) missing.push_back(wire.name);
    if (wire.set && awaits(wire.name)) listedButSet.push_back(wire.name);
  }
  for (const std::string& name : kProgramWiresAwaitingUnits)
    if (std::none_of(wires.begin(), wires.end(), [&](const ProgramWire& wire) { return wire.name == name; }))
      unknown.push_back(name);
  EXPECT_TRUE(missing.empty()) << "never installed: " << ::testing::PrintToString(missing);
  EXPECT_TRUE(listedButSet.empty()) << "installed, yet listed as awaiting a unit: "
                                    << ::testing::PrintToString(listedButSet);
  EXPECT_TRUE(unknown.empty()) << "listed, but no such entry: " << ::testing::PrintToString(unknown);
}

// A first run seeds the preferences from the bundle's defaults plus the
// shell's own; a later run copies nothing, even what the user removed.
TEST(AppStartup, DefaultPreferencesAreCopiedOnTheFirstRunOnly) {
  PrepareAppBundle();
  ScratchFolder bin("bin");
  bin.Write("php", "#!/bin/sh\n", true);
  bin.Write("ruby", "not a program\n", false);  // not executable: passed over
  const std::string savedPath = getenv("PATH") != nullptr ? getenv("PATH") : "";
  setenv("PATH", ("relative:" + bin.path + ":/usr/bin:/bin").c_str(), 1);
  int modified = 0;
  StartupStepRecorder = [](const char* step) {
    if (std::string(step) == "ModifyDefaultPreferences") gSteps.push_back(step);
  };
  gSteps.clear();

  auto* app = new TDemoApplication();
  auto* prefs = new TPreferenceHandlerApplication();
  prefs->SetDomain(kApplicationPreferencesDomain);
  app->preferences = prefs;
  app->CopyDefaultPreferences(kDefaultPreferencesFile);
  modified = int(gSteps.size());
  EXPECT_EQ(modified, 1);

  CFPropertyListRef list = ReadPropertyList(PreferencesFile());
  ASSERT_NE(list, nullptr) << "the first run writes the preferences file";
  auto stored = static_cast<CFDictionaryRef>(list);
  const CFIndex count = CFDictionaryGetCount(stored);
  std::vector<const void*> keys(count), values(count);
  CFDictionaryGetKeysAndValues(stored, keys.data(), values.data());
  for (const void* key : keys) EXPECT_EQ(StringOf(key).rfind("user.", 0), 0u) << StringOf(key);

  EXPECT_EQ(prefs->GetStringValue("StylesTheme").str(), "Classic");
  EXPECT_EQ(prefs->GetIntegerValue("GeneralFileEncoding"), SInt32(kCFStringEncodingUTF8));
  CFTypeRef styles = prefs->GetTypeValue("SyntaxStyles.Classic");
  EXPECT_TRUE(styles != nullptr && CFGetTypeID(styles) == CFDictionaryGetTypeID());
  if (styles != nullptr) CFRelease(styles);
  // Interpreters: the first executable along the absolute entries of PATH.
  EXPECT_EQ(prefs->GetStringValue("CommandLinePHP").str(), bin.path + "/php");
  const std::string perl = prefs->GetStringValue("CommandLinePERL").str();
  const std::string ruby = prefs->GetStringValue("CommandLineRuby").str();
  EXPECT_TRUE(perl == "/usr/bin/perl" || perl == "/bin/perl") << perl;
  EXPECT_TRUE(ruby == "/usr/bin/ruby" || ruby == "/bin/ruby") << ruby;
  // The value in the defaults file wins over the shell's own.
  EXPECT_EQ(prefs->GetIntegerValue("StylesEditorFontFamily"), 156);
  EXPECT_EQ(prefs->GetIntegerValue("StylesEditorFontSize"), 12);
  CFRelease(list);

  // The user removes a key; the next run copies nothing back.
  prefs->RemoveValue("StylesTheme");
  prefs->Synchronize();
  gSteps.clear();
  app->CopyDefaultPreferences(kDefaultPreferencesFile);
  EXPECT_TRUE(gSteps.empty()) << "nothing is copied when the preferences file exists";
  EXPECT_FALSE(prefs->ContainsValue("StylesTheme"));

  StartupStepRecorder = nullptr;
  setenv("PATH", savedPath.c_str(), 1);
  prefs->Release();
  delete app;
}

TEST(AppStartup, ShellDefaultsNeverReplaceTheFilesOwn) {
  // The desktop's web browser, found through its entry, becomes the preview
  // application; the entry is made before anything asks the desktop.
  const std::string data = std::getenv("XDG_DATA_HOME"), config = std::getenv("XDG_CONFIG_HOME");
  std::filesystem::create_directories(data + "/applications");
  std::ofstream(data + "/applications/qvtest-browser.desktop")
      << "[Desktop Entry]\nType=Application\nName=Test Browser\nExec=/bin/true %u\n"
         "MimeType=x-scheme-handler/http;text/html;\n";
  std::ofstream(config + "/mimeapps.list") << "[Default Applications]\nx-scheme-handler/http=qvtest-browser.desktop\n";
  PrepareAppBundle();
  TDemoApplication app;
  struct Case {
    const char* name;
    bool fileHasFontSize;
    SInt16 expectedFontSize;
  } cases[] = {{"file without the size", false, 12}, {"file with its own size", true, 14}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CFMutableDictionaryRef defaults =
        CFDictionaryCreateMutable(nullptr, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
    CFStringRef php = Key("user.CommandLinePHP"), mine = Key("/opt/php/bin/php");
    CFDictionaryAddValue(defaults, php, mine);
    CFStringRef size = Key("user.StylesEditorFontSize");
    if (c.fileHasFontSize) {
      SInt16 fourteen = 14;
      CFNumberRef n = CFNumberCreate(nullptr, kCFNumberSInt16Type, &fourteen);
      CFDictionaryAddValue(defaults, size, n);
      CFRelease(n);
    }
    app.ModifyDefaultPreferences(defaults);
    SInt16 value = 0;
    auto number = static_cast<CFNumberRef>(CFDictionaryGetValue(defaults, size));
    ASSERT_NE(number, nullptr);
    EXPECT_TRUE(CFNumberGetValue(number, kCFNumberSInt16Type, &value));
    EXPECT_EQ(value, c.expectedFontSize);
    CFStringRef family = Key("user.StylesEditorFontFamily");
    SInt16 familyNumber = 0;
    CFNumberGetValue(static_cast<CFNumberRef>(CFDictionaryGetValue(defaults, family)), kCFNumberSInt16Type,
                     &familyNumber);
    EXPECT_EQ(familyNumber, FMGetFontFamilyFromName(Str255("Verdana")));
    EXPECT_EQ(StringOf(CFDictionaryGetValue(defaults, php)), "/opt/php/bin/php");
    CFStringRef preview = Key("user.GeneralPreviewApplication");
    auto stored = static_cast<CFDataRef>(CFDictionaryGetValue(defaults, preview));
    ASSERT_NE(stored, nullptr);
    ASSERT_EQ(CFDataGetLength(stored), CFIndex(sizeof(FSRef)));
    FSRef app{};
    CFStringRef id = nullptr;
    ASSERT_EQ(LSResolveStoredApplicationReference(reinterpret_cast<const FSRef*>(CFDataGetBytePtr(stored)), &app),
              noErr);
    ASSERT_EQ(LSCopyApplicationDesktopID(&app, &id), noErr);
    EXPECT_EQ(StringOf(id), "qvtest-browser.desktop");
    CFRelease(id);
    for (CFStringRef k : {php, mine, size, family, preview}) CFRelease(k);
    CFRelease(defaults);
  }
}

// 'KILL' ends the run at once: what an orderly quit writes is not written.
TEST(AppStartup, KillEndsTheProcessWithoutSavingWhatAQuitSaves) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  struct Case {
    const char* name;
    bool kill;
    bool markerWritten;
  } cases[] = {{"quit", false, true}, {"KILL", true, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string marker = std::string("EndMarker.") + c.name;
    EXPECT_EXIT(
        {
          StartOnce();
          MyApplication->preferences->SetBooleanValue(marker.c_str(), true);
          if (c.kill) {
            HICommand command{};
            command.commandID = 'KILL';
            SInt32 result = eventNotHandledErr;
            MyApplication->ProcessCommand(command, nullptr, result);
          } else {
            MyApplication->HandleQuitCommand();
          }
          _exit(3);  // only the orderly quit comes back here
        },
        ::testing::ExitedWithCode(c.kill ? 0 : 3), "");
    CFPropertyListRef list = ReadPropertyList(PreferencesFile());
    CFStringRef key = Key(("user." + marker).c_str());
    const bool written = list != nullptr && CFDictionaryContainsKey(static_cast<CFDictionaryRef>(list), key);
    EXPECT_EQ(written, c.markerWritten);
    CFRelease(key);
    if (list != nullptr) CFRelease(list);
  }
}

}  // namespace
