// EditorUtilities: small pieces of the editor window and its toolbar: the
// preview and run pop-up menus whose checked entries follow the project's
// modes, the segmented control that switches the side pane, and the local
// web server's address of a file.
#pragma once

#include <string>
#include <string_view>

#include "Files.h"
#include "HIView.h"
#include "MacTypes.h"
#include "Menus.h"
#include "ShortString.h"

// The application's creator, under which its own icons are registered.
enum : OSType { kEditorApplicationCreator = 'QVRL' };

// Commands of the toolbar items and the side pane's segments.
enum : UInt32 {
  kPreviewItemCommand = 'prvf',
  kRunItemCommand = 'EXEC',
  kModeProjectCommand = 'Mpro',
  kModeFTPCommand = 'Mftp',
  kModeSymbolsCommand = 'Msym',
  kModeBooksCommand = 'Mref',
};

// Development switch: the books mode is not offered.
constexpr Boolean kDevelopmentFeatureBooks = false;

// The item of the "Preview Menu" that a project's "ProjectMode" checks
// ("Disk" 1, "Server" 2, "Localhost" 3), and of the "Run Menu" that its
// "ProjectRunMode" checks ("Run & Debug" 1, "Run & Preview" 2, "Run in
// Terminal Mode" 3, "Check Syntax" 4); 0 for any other value.
MenuItemIndex PreviewModeMenuItem(const Str255& projectMode);
MenuItemIndex RunModeMenuItem(const Str255& projectRunMode);

// What the preview toolbar item does to its menu ("Preview Menu" of the main
// interface file): the contextual-menu font, the item icons, the check mark
// of the project's mode (projectMode nil: no project, nothing checked), the
// applications in the submenu of item 8 with the preview application
// checked, and item 5 "Preview in " + that application's name and icon.
void SetupPreviewMenu(MenuRef menu, const Str255* projectMode, const FSRef& previewApplication);
// The same for the run toolbar item's "Run Menu".
void SetupRunMenu(MenuRef menu, const Str255* projectRunMode);

// The side pane's mode switch: one radio segment per mode (project, FTP,
// symbols), each with its icon and command. Nil when it cannot be made.
HIViewRef CreateModeSegmentView();

// The local web server's address of a file in a user's web folder:
// /Users/NAME/Sites/REST (or /home/NAME/public_html/REST) gives
// http://localhost/~NAME/REST; a path in no web folder gives the empty
// string; a web folder with nothing after it, or no user, gives the path
// itself. Blanks become "%20". Nothing is cut, whatever the length.
std::string FormatLocalhostURL(std::string_view path);

// The editor window that shows previews opened in a window of their own:
// from the front window backwards through the visible windows, the first
// editor window without a toolbar; nil when there is none.
class TEditorWindowAbstract;
TEditorWindowAbstract* FindPreviewEditor();
