#include "EditorUtilities.h"

#include <vector>

#include "CFString.h"
#include "Folders.h"
#include "Icons.h"
#include "LSInfo.h"
#include "PascalCarbonCommon.h"
#include "PreferenceUtilities.h"
#include "TEditorTabsUnit.h"

namespace {

void SetItemIcon(MenuRef menu, MenuItemIndex item, OSType creator, OSType type) {
  if (item > CountMenuItems(menu)) return;
  IconRef icon = nullptr;
  if (GetIconRef(kOnSystemDisk, creator, type, &icon) != noErr || icon == nullptr) return;
  SetMenuItemIconHandle(menu, item, kMenuIconRefType, reinterpret_cast<Handle>(icon));
  ReleaseIconRef(icon);  // the item keeps its own reference
}

void CheckOnly(MenuRef menu, MenuItemIndex checked, MenuItemIndex last) {
  for (UInt32 item = 1; item <= last && item <= CountMenuItems(menu); ++item)
    CheckMenuItem(menu, MenuItemIndex(item), item == checked);
}

MenuItemIndex ItemOf(const Str255& value, std::initializer_list<const char*> names) {
  MenuItemIndex item = 1;
  for (const char* name : names) {
    if (value == name) return item;
    ++item;
  }
  return 0;
}

}  // namespace

MenuItemIndex PreviewModeMenuItem(const Str255& projectMode) {
  return ItemOf(projectMode, {"Disk", "Server", "Localhost"});
}

MenuItemIndex RunModeMenuItem(const Str255& projectRunMode) {
  return ItemOf(projectRunMode, {"Run & Debug", "Run & Preview", "Run in Terminal Mode", "Check Syntax"});
}

void SetupPreviewMenu(MenuRef menu, const Str255* projectMode, const FSRef& previewApplication) {
  if (menu == nullptr) return;
  SetContextualMenuFont(menu);
  SetItemIcon(menu, 1, kEditorApplicationCreator, 'prvD');
  SetItemIcon(menu, 2, kEditorApplicationCreator, 'prvS');
  SetItemIcon(menu, 3, kEditorApplicationCreator, 'prvL');
  SetItemIcon(menu, 5, kSystemIconsCreator, 'APPL');
  SetItemIcon(menu, 6, kSystemIconsCreator, 'gwin');
  SetItemIcon(menu, 8, kSystemIconsCreator, 'webs');
  CheckOnly(menu, projectMode ? PreviewModeMenuItem(*projectMode) : 0, 3);

  MenuRef applications = nullptr;
  if (GetMenuItemHierarchicalMenu(menu, 8, &applications) == noErr && applications != nullptr) {
    SetContextualMenuFont(applications);
    PopulatePreviewApplicationMenu(applications, nullptr, previewApplication);
  }
  if (CountMenuItems(menu) < 5) return;
  CFStringRef name = nullptr;
  if (LSCopyDisplayNameForRef(&previewApplication, &name) == noErr && name != nullptr) {
    CFMutableStringRef title = CFStringCreateMutable(nullptr, 0);
    CFStringAppend(title, CFSTR("Preview in "));
    CFStringAppend(title, name);
    SetMenuItemTextWithCFString(menu, 5, title);
    CFRelease(title);
    CFRelease(name);
    IconRef icon = nullptr;
    if (GetIconRefFromFileInfo(&previewApplication, 0, nullptr, 0, nullptr, 0, &icon, nullptr) == noErr && icon) {
      SetMenuItemIconHandle(menu, 5, kMenuIconRefType, reinterpret_cast<Handle>(icon));
      ReleaseIconRef(icon);
    }
  }
}

void SetupRunMenu(MenuRef menu, const Str255* projectRunMode) {
  if (menu == nullptr) return;
  SetContextualMenuFont(menu);
  SetItemIcon(menu, 1, kEditorApplicationCreator, 'exeD');
  SetItemIcon(menu, 2, kEditorApplicationCreator, 'exep');
  SetItemIcon(menu, 3, kEditorApplicationCreator, 'exeT');
  SetItemIcon(menu, 4, kEditorApplicationCreator, 'EXCS');
  CheckOnly(menu, projectRunMode ? RunModeMenuItem(*projectRunMode) : 0, 4);
}

HIViewRef CreateModeSegmentView() {
  struct Segment {
    OSType icon;
    UInt32 command;
  };
  std::vector<Segment> segments = {
      {'MPrj', kModeProjectCommand}, {'MFTP', kModeFTPCommand}, {'MSYM', kModeSymbolsCommand}};
  if (kDevelopmentFeatureBooks) segments.push_back({'MREF', kModeBooksCommand});
  const HIRect bounds{{0, 0}, {0, 0}};
  HIViewRef view = nullptr;
  Err = HISegmentedViewCreate(&bounds, &view);
  if (Err != noErr || view == nullptr) return nullptr;
  HISegmentedViewSetSegmentCount(view, UInt32(segments.size()));
  const float width = MacOSVersion() <= 4 ? 16.0f : 17.0f;
  for (UInt32 i = 0; i < segments.size(); ++i) {
    const UInt32 segment = i + 1;
    HISegmentedViewSetSegmentBehavior(view, segment, kHISegmentBehaviorRadio);
    HISegmentedViewSetSegmentContentWidth(view, segment, false, width);
    HISegmentedViewSetSegmentCommand(view, segment, segments[i].command);
    // The segment keeps the icon without retaining it: this reference is
    // the segment's for as long as the program runs.
    IconRef icon = nullptr;
    if (GetIconRef(kOnSystemDisk, kEditorApplicationCreator, segments[i].icon, &icon) == noErr && icon) {
      ControlButtonContentInfo content{};
      content.contentType = kControlContentIconRef;
      content.u.iconRef = icon;
      HISegmentedViewSetSegmentImage(view, segment, &content);
    }
  }
  return view;
}

std::string FormatLocalhostURL(std::string_view path) {
  std::vector<std::string_view> components;
  for (size_t at = 0; at <= path.size();) {
    const size_t slash = std::min(path.find('/', at), path.size());
    if (slash > at) components.push_back(path.substr(at, slash - at));
    at = slash + 1;
  }
  std::string result(path);
  if (components.size() >= 2) {
    std::string_view user;
    size_t start = 0;  // 1-based; 0: no web folder
    for (size_t i = 0; i < components.size(); ++i) {
      // The home folders and per-user web folders of both layouts.
      if (components[i] == "Users" || components[i] == "home")
        user = i + 1 < components.size() ? components[i + 1] : std::string_view();
      if (components[i] == "Sites" || components[i] == "public_html") start = i + 2;
    }
    if (start == 0) return std::string();
    std::string rest;
    for (size_t i = start; i <= components.size(); ++i) rest.append("/").append(components[i - 1]);
    if (!user.empty() && !rest.empty()) result = "http://localhost/~" + std::string(user) + rest;
  }
  std::string encoded;
  for (char c : result) {
    if (c == ' ') encoded += "%20";
    else encoded += c;
  }
  return encoded;
}

TEditorWindowAbstract* FindPreviewEditor() {
  for (WindowRef w = GetWindowList(); w != nullptr; w = GetNextWindow(w)) {
    if (!IsWindowVisible(w)) continue;
    if (auto* editor = dynamic_cast<TEditorWindowAbstract*>(GetWindowObject(w)))
      if (editor->NoToolbar) return editor;
  }
  return nullptr;
}
