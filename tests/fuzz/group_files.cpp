// A project's group files (Sources, Resources, Snippets, Bookmarks and
// Commands) and its preferences, in the project folder that comes from other
// people: a project whose file holds any bytes opens, shows and draws every
// row, renames and saves them, and closes without a memory fault. The first
// input byte picks the file (0-4 a group, 5 the preferences); the rest is
// its content.
#include <vector>

#include "ApplicationFramework.h"
#include "CGColor.h"
#include "CGContext.h"
#include "FuzzSupport.h"
#include "PreferenceUtilities.h"
#include "TPreferencesUnit.h"
#include "TProjectBrowserUnit.h"
#include "TProjectUnit.h"
#include "TConsoleUnit.h"
#include "TDemoApplicationUnit.h"

namespace {

const char* const kGroupFiles[] = {"sources.plist", "resources.plist", "snippets.plist", "bookmarks.plist",
                                   "commands.plist"};

CGContextRef Canvas() {
  static std::vector<UInt8> pixels(240 * 4 * 20);
  static CGContextRef context = CGBitmapContextCreate(pixels.data(), 240, 20, 8, 240 * 4, CGColorSpaceCreateDeviceRGB(),
                                                      kCGImageAlphaPremultipliedLast);
  return context;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::SetUp();
  // The application's preferences, as the program has them when a project opens.
  auto* application = new TPreferenceHandlerFile();
  application->SetFile(fuzz::Ref(fuzz::Write("app.plist", "", 0)));
  application->SetBooleanValue("GeneralImportCopyFiles", false);
  application->SetBooleanValue("GeneralImportAddPath", false);
  AppPrefs = application;
  LoadFrameworks();  // the view classes of the interface files, as at start-up
  RegisterConsoleClass();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  // A fresh bundle each time: nothing an earlier input left is read again.
  std::error_code ignored;
  std::filesystem::remove_all(fuzz::Path("Site.qvproj"), ignored);
  const std::string bundle = fuzz::Folder("Site.qvproj");
  fuzz::Folder("Site.qvproj/Contents/Resources/Preferences");
  fuzz::Folder("Site.qvproj/Contents/Resources/Data");
  for (const char* name : kGroupFiles) fuzz::Write(std::string("Site.qvproj/Contents/Resources/Data/") + name, "", 0);
  if (data[0] % 6 < 5)
    fuzz::Write(std::string("Site.qvproj/Contents/Resources/Data/") + kGroupFiles[data[0] % 6], data + 1, size - 1);
  else  // the project's own preferences: its user paths and per-file settings
    fuzz::Write("Site.qvproj/Contents/Resources/Preferences/project.plist", data + 1, size - 1);

  TProject* project = CreateProjectPane(fuzz::Ref(bundle));
  if (project == nullptr) return 0;
  for (TProjectGroup* group : project->groups) {
    group->ReturnGroupItems();
    group->GetFileItem("index.php");
    for (NodeInfoPtr node : group->Items()) {
      IconRef icon = nullptr;
      Str63 name;
      group->GetDisplay(node, icon, name);
      if (project->browser != nullptr)
        project->browser->DrawItem(node->DATA, node->DATATYPE, node->CONTAINER, node->INDEX, 0, 0,
                                   CGRect{{0, 0}, {240, 20}}, Canvas());
      group->NodeOfData(node->DATA);
    }
  }
  // Every row renamed (in the project, not on disk), then all saved.
  for (TProjectGroup* group : project->groups) {
    std::vector<SInt32> indexes;
    for (NodeInfoPtr node : group->Items()) indexes.push_back(node->INDEX);
    for (SInt32 index : indexes) project->RenameItem(group, index, "renamed", false);
  }
  project->SaveAll();
  project->Release();
  return 0;
}
