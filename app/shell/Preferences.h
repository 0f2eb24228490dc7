// The application preference window: a toolbar of six panes (General,
// Styles, Terminal, Paths, Servers, Advanced) loaded from the "Preferences"
// interface file. The framework stores and restores every control that
// carries a preference key; this unit adds the values that are not plain
// control values: the text encoding, the preview application, the editor and
// terminal fonts (through the font panel), colours, colour themes and syntax
// styles, the user paths and the list of FTP servers.
#pragma once

#include <string>

#include "CFArray.h"
#include "CFDictionary.h"
#include "HIView.h"
#include "PreferenceUtilities.h"
#include "ShortString.h"
#include "TBrowserUnit.h"
#include "TPreferenceWindowUnit.h"
#include "TSyntaxCollectionUnit.h"

class TPreferenceHandler;
class TUserPathsBrowser;

// The window's kind: there is never more than one.
constexpr SInt16 kPreferencesWindowKind = 3;
inline constexpr const char* kPreferencesNibName = "Preferences";
inline constexpr const char* kPreferencesWindowName = "MainWindow";
inline constexpr const char* kPreferencesWindowKey = "app prefs";

// The panes: label (also the pane's window in the interface file), toolbar
// icon type and command, in toolbar order.
struct PreferencePaneInfo {
  const char* label;
  OSType iconType;
  UInt32 command;
};
const PreferencePaneInfo* PreferencePanes(size_t* count);

// Commands of the panes' own buttons and pop-ups.
enum : UInt32 {
  kPreferencesAddPathCommand = '+PAT',
  kPreferencesRemovePathCommand = '-PAT',
  kPreferencesAddServerCommand = '+SER',
  kPreferencesRemoveServerCommand = '-SER',
  kPreferencesThemeCommand = 'THEM',
  kPreferencesStyleCommand = 'SYNX',
  kPreferencesApplyThemeCommand = 'aply',
  kPreferencesSelectFontCommand = 'sFNT',
};

// Controls the window looks up (signature, ID).
enum : OSType {
  kPreferencesEncodingSignature = 'ENCO',
  kPreferencesPreviewSignature = 'PREV',
  kPreferencesThemeSignature = 'THEM',
  kPreferencesStyleSignature = 'SYNX',
  kPreferencesThemeColorSignature = 'THMC',
  kPreferencesColorSignature = 'COLR',
  kPreferencesStyleOptionSignature = 'OPTI',
  kPreferencesFontSignature = 'FONT',
  kPreferencesPathsSignature = 'PATH',
  kPreferencesServersSignature = 'SERV',
  kPreferencesServerFieldSignature = 'DATA',
};
// The theme record's colours come from these 'THMC' controls, in order:
// text, background, caret, selection.
inline constexpr SInt32 kThemeColorControls[4] = {128, 131, 129, 130};
// 'DATA' 128 to 133: the selected server's host, root folder, user name,
// password, web address and web folder.
enum : SInt32 {
  kServerHostField = 128,
  kServerRootFolderField = 129,
  kServerUserNameField = 130,
  kServerPasswordField = 131,
  kServerWebAddressField = 132,
  kServerPublicFolderField = 133,
};
// The item property that carries an encoding menu item's text encoding.
enum : OSType { kTextEncodingPropertyCreator = kPreviewApplicationCreator, kTextEncodingPropertyTag = 'txen' };
// The list column of the servers' names.
enum : DataBrowserPropertyID { kServerNameColumn = 'NAME' };

// The server record's field that 'DATA' id edits, as text; empty for any
// other id.
Str255 GetServerField(const FTPServerInfo& info, SInt32 field);
// Sets that field; the user name and the password are cut at 31 characters,
// the others at 255 (what the stored record holds). False for any other id.
Boolean SetServerField(FTPServerInfo& info, SInt32 field, CFStringRef text);

// Empties the pop-up's menu and lists every text encoding the system
// converts, by name, each item carrying its encoding as '????'/'txen'; the
// item of encoding becomes the value (the first when none is).
void PopulateTextEncodingMenu(ControlRef popup, UInt32 encoding);
// The encoding of the chosen item; false when it carries none.
Boolean GetTextEncodingMenuValue(ControlRef popup, UInt32& encoding);

// The terminal's "TerminalStyle" record: empty name, the two colours, the
// family and size in the two numbers, the rest zero; in stored byte order.
void BuildTerminalStyle(const RGBColor& text, const RGBColor& second, SInt16 family, SInt16 size,
                        UInt8 (&bytes)[sizeof(ExtendedTextStyle)]);

// The colour of a colour control; false when the control is none.
Boolean GetColorControlValue(ControlRef control, RGBColor& color);
void SetColorControlValue(ControlRef control, const RGBColor& color);

// Opens the server's address with the desktop's handler of ftp: addresses;
// without one the user is told, by name.
void OpenServerURL(const FTPServerInfo& info);

// The editable list of servers. Its items are the stored records (1408
// bytes each); the item text is the server's name.
class TApplicationPreferenceWindow;
class TServersBrowser : public TBrowser {
 public:
  TPreferenceHandler* preferences = nullptr;  // not owned
  TApplicationPreferenceWindow* owner = nullptr;
  SInt32 selected = 0;  // the item whose fields the text fields show; 0: none

  void Populate() override;
  void ItemNotification(void* data, UInt32 dataType, DataBrowserItemID item,
                        DataBrowserItemNotification message) override;
  void SetItemData(void* data, UInt32 dataType, DataBrowserItemID item, DataBrowserPropertyID property,
                   DataBrowserItemDataRef itemData) override;
  void SetItemText(void* data, DataBrowserItemID item, DataBrowserPropertyID property, CFStringRef text) override;

  // A new record (the one NewFTPServerInfo makes) at the end of the list,
  // selected; its item ID.
  SInt32 AddServer();
  // Lets the user type the item's new name in the list.
  void RenameServer(SInt32 item);
  // Removes the selected servers.
  void RemoveSelectedServers();
  // Every record in list order, one CFData of 1408 bytes each; an empty
  // array when the list is (Create rule).
  CFArrayRef CopyServers();
  // The record of an item; false when the item has none.
  Boolean GetServer(SInt32 item, FTPServerInfo& info);
  void SetServer(SInt32 item, const FTPServerInfo& info);
};

class TApplicationPreferenceWindow : public TPreferenceWindow {
 public:
  TUserPathsBrowser* userPaths = nullptr;
  TServersBrowser* servers = nullptr;
  UInt8 theme[kSyntaxThemeSize] = {0};  // the current theme, as stored
  Str255 currentStyle;                   // the syntax style shown; empty: none
  Boolean themeCurrent = false;
  EventHandlerRef fontPanelHandler = nullptr;
  TPane* shownPane = nullptr;  // the pane SetupPane was last given

  TApplicationPreferenceWindow();

  void ProcessCommand(const HICommand& command, EventRef event, SInt32& result) override;
  void Release() override;
  void ClosePane(const Str255& label) override;
  void SetupPane(const Str63& name, TPane* pane) override;
  void SetPaneValues(const Str255& label, TPreferenceHandler* handler) override;
  void SetValue(ControlRef control, TPreferenceHandler* handler, const Str255& key) override;
  void HandleTextPreference(const Str255& key, ControlRef control) override;

  virtual void SelectSyntaxStyle(const Str255& name, Boolean store);
  virtual void SelectSyntaxTheme(const Str255& name, Boolean store);
  virtual void UpdateDocumentStyles();
  virtual void InstallFontPanelEventHandler();
  virtual void FontPanelSelection(SInt16 family, SInt16 style, SInt16 size);
  virtual void FontPanelClosed() {}

  // The name of the current theme; empty when none is.
  Str31 ThemeName() const;
  // A control of the pane shown; nil when it has none.
  ControlRef PaneControl(OSType signature, SInt32 id) const;
  // Stores the text fields of the Servers pane into the record they show.
  void StoreServerFields();
  // Fills the Servers pane's fields from the item's record (empty and
  // disabled for 0).
  void ShowServerFields(SInt32 item);
  // The pane's add and remove buttons, with their icons.
  void AddRemoveButtons(OSType add, OSType remove);
  // The font text field of the pane shown, from the stored family and size.
  void ShowFont(const Str255& familyKey, const Str255& sizeKey);
};

// Brings the preference window to the front, or makes it.
void OpenApplicationPreferences();
// The open preference window; nil when there is none.
TApplicationPreferenceWindow* GetApplicationPreferenceWindow();
