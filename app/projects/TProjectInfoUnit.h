// TProjectInfo: the project settings window. Three panes edit a project's
// preferences: General (its server, preview mode and run mode), Paths (the
// folders searched for its files, "UserPaths") and Preview (where its files
// are previewed, "ProjectPreviewPaths"). The window works on the project's
// own preference handler, so what the user sets reaches project.plist when a
// pane is left and when the window closes.
#pragma once

#include <initializer_list>

#include "Files.h"
#include "HIView.h"
#include "IBCarbonRuntime.h"
#include "Icons.h"
#include "MacTypes.h"
#include "Menus.h"
#include "ShortString.h"
#include "TPreferenceWindowUnit.h"

class TPane;
class TPreferenceHandler;
class TUserPathsBrowser;

constexpr SInt16 kProjectInfoWindowKind = 7;

class TProjectInfo : public TPreferenceWindow {
 public:
  FSRef bundle{};
  TUserPathsBrowser* userPaths = nullptr;     // the Paths pane's list, while it shows
  TUserPathsBrowser* previewPaths = nullptr;  // the Preview pane's list, while it shows

  // The pane commands first; then '+PAT' adds a Project path "/", '+PPT' an
  // empty preview location, '-PAT' and '-PPT' delete the selected rows.
  void ProcessCommand(const HICommand& command, EventRef event, SInt32& result) override;
  // Fills the pane: the bundle's icon and name and the server pop-up
  // (General), the path lists and their buttons (Paths, Preview).
  void SetupPane(const Str63& paneName, TPane* pane) override;
  // The path lists are written back when their pane stores its values.
  void SetValue(ControlRef control, TPreferenceHandler* prefs, const Str255& key) override;
  void Release() override;
};

// Shows the settings window of the project whose bundle and preference
// handler are given. The window of the same project comes to the front; a
// window showing another project is closed first (which stores its values)
// and the window opens anew for this one.
void OpenProjectInfo(const FSRef& bundle, TPreferenceHandler* prefs);
// The settings window, when one is open.
TProjectInfo* GetProjectInfoWindow();
// A project that goes closes the settings and file information windows that
// work on its preferences first, so that they store their values while the
// handler is still there.
void CloseProjectInfoWindows(TPreferenceHandler* projectPrefs);

// ---------------------------------------------------------------------------
// What the settings and file information windows share.

// "ProjectInfo" and "FileInfo" of the application's resources; opened once
// here for a program that has not loaded them.
IBNibRef ProjectInfoInterfaceFile();
IBNibRef FileInfoInterfaceFile();
// The view of the pane by signature and ID; nil when it has none.
HIViewRef FindPaneView(TPane* pane, OSType signature, SInt32 id);
// The image well shows the icon (the well keeps its own reference).
void SetPaneIconWell(HIViewRef well, IconRef icon);
void SetPaneText(HIViewRef view, CFStringRef text);
// The application's icons of the types on the pop-up's items from first on.
void SetPopupItemIcons(HIViewRef popup, MenuItemIndex first, std::initializer_list<OSType> types);
// The pane's list button (signature, ID 128) with the system icon.
void MakeListButton(TPane* pane, OSType signature, OSType iconType);
