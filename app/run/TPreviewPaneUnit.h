// TPreviewPaneUnit: pages shown in a web view. TPreviewPane is a tab (or an
// editor pane's stand-in) that shows one URL under a navigation toolbar
// (preview applications, stop, back, forward, the URL) and over a status
// toolbar that shows the link under the mouse; it reloads itself when the
// local file it shows changes on disk. TPreviewWindow is the one preview
// window (kind 4), TConsoleWindow the one console window (kind 6), and
// TPreviewResourcePane a list of the resources of a page.
//
// The web view reports what WebKitGTK can tell: no client redirects, no
// status-text requests, no plug-in loads and no loads of sub-frames ever
// reach these classes.
#pragma once

#include <string>
#include <string_view>

#include "CFString.h"
#include "Files.h"
#include "TBrowserUnit.h"
#include "TFileStampUnit.h"
#include "TWebKitUnit.h"
#include "TWindowUnit.h"

class TConsoleView;
class TPreviewPane;
class TPreviewResourcePane;
class TSplitView;
class TTabs;

// Window kinds.
constexpr SInt16 kPreviewWindowKind = 4;
constexpr SInt16 kConsoleWindowKind = 6;

// Commands of the navigation toolbar, and the edit button's.
enum : UInt32 {
  kPreviewCommandBack = '<-go',
  kPreviewCommandForward = 'go->',
  kPreviewCommandStop = 'stpl',
  kPreviewCommandEdit = 'cEDT',
  kPreviewCommandURL = '?' << 24 | '?' << 16 | '?' << 8 | '?',  // four question marks
};
// The parameter of the preview window's open command: a short string.
constexpr EventParamName kEventParamPreviewURL = 'pstr';
constexpr EventParamType typePreviewURL = 'PSTR';

// Interface resources in the application's main interface file.
extern const char kPreviewPaneResource[];          // "Preview Pane"
extern const char kPreviewWindowResource[];        // "Preview Window"
extern const char kConsoleWindowResource[];        // "Console Window"
extern const char kPreviewResourcePaneResource[];  // "Preview Resource Pane"

// The tab title of a URL: its last "/"-separated component with its escapes
// read back ("%20" a blank).
std::string PreviewTabTitle(std::string_view url);
// The image of the URL button: "Harddisk_16x16.png" for a file URL,
// "Globe (Alt 2)_16x16.png" for any other.
const char* PreviewURLImageName(std::string_view url);
// The local file a URL names (a file URL, percent-decoded, with no query);
// false for any other URL. The file need not exist.
Boolean PreviewURLLocalPath(std::string_view url, std::string& path);

class TPreviewWebKit : public TWebKit {
 public:
  TPreviewPane* pane = nullptr;

  CFTypeRef EventWebResourceGetIdentifier(CFStringRef resourceURL) override;
  void EventWebResourceDidReceiveContentLength(CFTypeRef identifier, UInt32 length) override;
  void EventWebSetStatusText(CFStringRef text) override;
  CFStringRef EventWebGetStatusText() override;
  void EventWebMouseMovedOverElement(CFDictionaryRef element) override;
  void EventWebFrameLoadStarted() override;
  void EventWebFrameLoadDone() override;
  void EventWebFrameLoadFailed(const Str255& error) override;
  void EventWebReceivedPageTitle(const Str255& title) override;
};

class TPreviewPane : public TWebKitPane {
 public:
  ControlRef navigation = nullptr;  // 'TOOL' 128
  ControlRef status = nullptr;      // 'TOOL' 129
  TPreviewResourcePane* resources = nullptr;
  FNSubscriptionRef subscription = nullptr;
  TFileStamp modification;  // of the local file shown, when it was loaded
  SInt16 stopItem = 0;
  SInt16 urlItem = 0;
  SInt16 statusItem = 0;
  SInt16 linkItem = 0;
  // The whole URL shown (the short-string URL of the web view is its first
  // 255 bytes at most).
  std::string wholeURL;
  // How often the page was loaded or reloaded.
  UInt32 loads = 0;
  // A page shown in an editor's place owns its document (no tab lists it).
  Boolean ownsDocument = false;
  // The window the page's title went to, and the title it had before: the
  // window gets it back when the pane closes.
  WindowRef titledWindow = nullptr;
  CFStringRef formerTitle = nullptr;

  void Create(const Str63& name, IBNibRef nib) override;
  void Load() override;
  void ProcessCommand(const HICommand& command, EventRef event, SInt32& result) override;
  void Close() override;
  void Release() override;
  void Initialize() override;
  void SetURL(const Str255& inURL) override;

  virtual void AppendEditButton();
  virtual void AppendSlider(TSplitView* split);
  virtual void ClearStatus();

  // A URL of any length.
  void SetWholeURL(const std::string& url);
  // The folder changed: reloads when the file shown is not what was loaded.
  void FolderChanged();
  // Shows (or hides, for nil) a hovered link's URL.
  void ShowLink(CFStringRef link);
  void ShowStop(Boolean shown);
  // Whether the stop, status and link items are hidden now, and the link
  // last shown.
  Boolean StopHidden();
  Boolean StatusHidden();
  Boolean LinkHidden();
  std::string shownLink;
  // Change notifications for the folder of the pane's document.
  void Subscribe();
  void Unsubscribe();

 private:
  Boolean hiddenStop = true, hiddenStatus = true, hiddenLink = true;
  void SetItemHidden(ControlRef bar, SInt16 item, Boolean& state, Boolean hidden);
};

class TPreviewWindow : public TWindow {
 public:
  TTabs* tabs = nullptr;

  void Create(const Str63& name, IBNibRef nib) override;
  void ProcessCommand(const HICommand&, EventRef, SInt32&) override {}
  void Release() override;
  // Opens the event's 'pstr' URL in a new tab; nothing without one.
  virtual void HandleOpenURLCommand(EventRef event);
};

class TConsoleWindow : public TWindow {
 public:
  TConsoleView* console = nullptr;

  void Create(const Str63& name, IBNibRef nib) override;
  void Release() override;
};

// One resource of a page: its name, its file, its size in bytes.
struct PreviewResourceInfo {
  Str255 name;
  FSRef file;
  SInt32 size;
};
// What a resource's row reads: name + " (" + size + " bytes)".
std::string PreviewResourceText(const PreviewResourceInfo& info);

class TPreviewResourceBrowser : public TBrowser {
 public:
  void SetItemData(void* data, UInt32 dataType, DataBrowserItemID item, DataBrowserPropertyID property,
                   DataBrowserItemDataRef itemData) override;
  Boolean AddDragItem(void* data, UInt32 dataType, DataBrowserItemID item, DragRef drag,
                      DragItemRef itemRef) override;
};

class TPreviewResourcePane : public TPane {
 public:
  TPreviewResourceBrowser* browser = nullptr;

  void Create(const Str63& name, IBNibRef nib) override;
  void Release() override;
  virtual void Append(const PreviewResourceInfo& info);
  virtual void Clear();
};

// The browser application stored in "GeneralPreviewApplication"; an invalid
// reference when none was chosen.
FSRef PreviewApplication();

// The console window in front, or a new one.
TConsoleWindow* OpenConsoleWindow();
// The preview window in front (or a new one, shown) opens the event's URL.
TPreviewWindow* OpenPreviewWindow(EventRef event);
TPreviewResourcePane* CreatePreviewResourcePane();

// The editor window's preview panes: a new pane for the document and the
// URL, or the owner's own one reused; loaded when it is the owner's.
TDocumentPane* MakePreviewPane(TWindow* window, TDocument* document, const std::string& url, TDocumentPane* owner,
                               TDocumentPane* reuse);
Boolean IsPreviewPane(TPane* pane);
