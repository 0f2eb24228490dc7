#include "TPreviewPaneUnit.h"

#include <sys/stat.h>

#include <cctype>

#include "ApplicationFramework.h"
#include "CFDictionary.h"
#include "CFURL.h"
#include "Icons.h"
#include "PascalCarbonCommon.h"
#include "PreferenceUtilities.h"
#include "TConsoleUnit.h"
#include "TSplitViewUnit.h"
#include "TTabsUnit.h"
#include "plinthora/Plinthora.h"

const char kPreviewPaneResource[] = "Preview Pane";
const char kPreviewWindowResource[] = "Preview Window";
const char kConsoleWindowResource[] = "Console Window";
const char kPreviewResourcePaneResource[] = "Preview Resource Pane";

namespace {

constexpr OSType kNavigationToolbarSignature = 'TOOL';
constexpr SInt32 kNavigationToolbarID = 128;
constexpr SInt32 kStatusToolbarID = 129;
constexpr OSType kTabsSignature = 'TABS';
constexpr OSType kConsoleSignature = 'OUTP';
constexpr OSType kResourceBrowserSignature = 'BROW';
constexpr SInt32 kInterfaceID = 128;
constexpr SInt16 kIconRefType = 6;
constexpr SInt16 kCGImageType = 7;
constexpr UInt32 kResourceItemType = 'PRES';
const char kImagesFolder[] = "Images/Application Images";

OSType ApplicationCreator() { return ApplicationSignature != 0 ? ApplicationSignature : OSType('QVRL'); }

IconRef ApplicationIcon(OSType type) {
  IconRef icon = nullptr;
  if (GetIconRef(kOnSystemDisk, ApplicationCreator(), type, &icon) != noErr) icon = nullptr;
  return icon;
}

ControlRef FindControl(HIViewRef in, OSType signature, SInt32 id) {
  if (in == nullptr) return nullptr;
  HIViewRef found = nullptr;
  return HIViewFindByID(in, HIViewID{signature, id}, &found) == noErr ? found : nullptr;
}

std::string UTF8(CFStringRef text) {
  if (text == nullptr) return std::string();
  const CFIndex length = CFStringGetLength(text);
  std::string bytes(size_t(CFStringGetMaximumSizeForEncoding(length, kCFStringEncodingUTF8)) + 1, '\0');
  if (!CFStringGetCString(text, bytes.data(), CFIndex(bytes.size()), kCFStringEncodingUTF8)) return std::string();
  bytes.resize(strlen(bytes.c_str()));
  return bytes;
}

CFStringRef CreateUTF8(const std::string& text) {
  return CFStringCreateWithBytes(nullptr, reinterpret_cast<const UInt8*>(text.data()), CFIndex(text.size()),
                                 kCFStringEncodingUTF8, false);
}

// The stamp of the file at the path as it is now; unknown when it is gone.
TFileStamp PathStamp(const std::string& path) {
  TFileStamp stamp;
  struct stat st{};
  if (path.empty() || stat(path.c_str(), &st) != 0) return stamp;
  stamp.known = true;
  stamp.size = st.st_size;
  stamp.seconds = st.st_mtim.tv_sec;
  stamp.nanoseconds = st.st_mtim.tv_nsec;
  stamp.device = st.st_dev;
  stamp.inode = st.st_ino;
  return stamp;
}

Boolean SameStamp(const TFileStamp& a, const TFileStamp& b) {
  return a.known == b.known && a.size == b.size && a.seconds == b.seconds && a.nanoseconds == b.nanoseconds &&
         a.device == b.device && a.inode == b.inode;
}

// One notification procedure for every preview pane; the pane is the context.
void PreviewFolderNotification(FNMessage, OptionBits, void* refcon, FNSubscriptionRef) {
  auto* pane = static_cast<TPreviewPane*>(refcon);
  if (TPaneIsLive(pane)) pane->FolderChanged();
}

FNSubscriptionUPP NotificationProc() {
  static FNSubscriptionUPP proc = NewFNSubscriptionUPP(PreviewFolderNotification);
  return proc;
}

// The pane moves or changes size (a tab or a split places it): the web
// view, which lives in the window's root, follows its container.
OSStatus PaneBoundsHandler(EventHandlerCallRef, EventRef, void* data) {
  auto* pane = static_cast<TPreviewPane*>(data);
  if (TPaneIsLive(pane) && pane->webkit != nullptr && pane->webkit->control != nullptr &&
      HIViewIsVisible(pane->webkit->control))
    pane->webkit->SynchBounds();
  return eventNotHandledErr;
}

void OpenWithApplication(TPreviewPane* pane, const FSRef& application) {
  if (pane == nullptr || !FSValidFSRef(application)) return;
  const std::string& url = pane->wholeURL;
  if (url.empty()) return;
  LSOpenURLWithApplication(Str255(url.c_str()), application);
}

void SelectPreviewApplicationMenu(MenuRef menu, SInt16 item, void* context) {
  OpenWithApplication(static_cast<TPreviewPane*>(context), GetPreviewApplicationMenuFileRef(menu, MenuItemIndex(item)));
}

void ClickURLButton(UInt32, ToolbarItemRef item, void* context) {
  auto* pane = static_cast<TPreviewPane*>(context);
  if (pane != nullptr && item == pane->urlItem) OpenWithApplication(pane, PreviewApplication());
}

// A value of an element dictionary: a URL or a text.
CFStringRef ElementURL(CFDictionaryRef element, const char* key) {
  if (element == nullptr) return nullptr;
  CFStringRef name = CFStringCreateWithCString(nullptr, key, kCFStringEncodingUTF8);
  CFTypeRef value = CFDictionaryGetValue(element, name);
  CFRelease(name);
  if (value == nullptr) return nullptr;
  if (CFGetTypeID(value) == CFURLGetTypeID()) return CFURLGetString(static_cast<CFURLRef>(value));
  if (CFGetTypeID(value) == CFStringGetTypeID()) return static_cast<CFStringRef>(value);
  return nullptr;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

// The browser the user chose for previews (no file when none was).
FSRef PreviewApplication() {
  FSRef application{};
  if (AppPrefs == nullptr) return application;
  if (CFTypeRef data = AppPrefs->GetTypeValue("GeneralPreviewApplication")) {
    if (CFGetTypeID(data) == CFDataGetTypeID() && CFDataGetLength(static_cast<CFDataRef>(data)) == sizeof application)
      CFDataGetBytes(static_cast<CFDataRef>(data), CFRangeMake(0, sizeof application),
                     reinterpret_cast<UInt8*>(&application));
    CFRelease(data);
  }
  return application;
}

// ---------------------------------------------------------------------------
// URLs

std::string PreviewTabTitle(std::string_view url) {
  const size_t slash = url.rfind('/');
  std::string_view last = slash == std::string_view::npos ? url : url.substr(slash + 1);
  // Escapes read back as the characters they stand for ("%20" a blank), so
  // the tab names the file as its folder does.
  std::string title;
  for (size_t i = 0; i < last.size(); ++i) {
    if (last[i] == '%' && i + 2 < last.size() && HexValue(last[i + 1]) >= 0 && HexValue(last[i + 2]) >= 0) {
      const char c = char(HexValue(last[i + 1]) * 16 + HexValue(last[i + 2]));
      title += c != '\0' ? c : ' ';
      i += 2;
    } else {
      title += last[i];
    }
  }
  return title;
}

const char* PreviewURLImageName(std::string_view url) {
  const size_t colon = url.find(':');
  const std::string_view scheme = colon == std::string_view::npos ? url : url.substr(0, colon);
  return scheme == "file" ? "Harddisk_16x16.png" : "Globe (Alt 2)_16x16.png";
}

Boolean PreviewURLLocalPath(std::string_view url, std::string& path) {
  path.clear();
  constexpr std::string_view kScheme = "file://";
  if (url.size() < kScheme.size()) return false;
  for (size_t i = 0; i < kScheme.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(url[i])) != kScheme[i]) return false;
  std::string_view rest = url.substr(kScheme.size());
  // The host: none, or this machine.
  const size_t slash = rest.find('/');
  if (slash == std::string_view::npos) return false;
  const std::string_view host = rest.substr(0, slash);
  if (!host.empty() && host != "localhost") return false;
  rest = rest.substr(slash);
  rest = rest.substr(0, std::min(rest.find('?'), rest.find('#')));
  for (size_t i = 0; i < rest.size(); ++i) {
    if (rest[i] == '%' && i + 2 < rest.size() && HexValue(rest[i + 1]) >= 0 && HexValue(rest[i + 2]) >= 0) {
      path += char(HexValue(rest[i + 1]) * 16 + HexValue(rest[i + 2]));
      i += 2;
    } else {
      path += rest[i];
    }
  }
  return !path.empty();
}

// ---------------------------------------------------------------------------
// TPreviewWebKit

CFTypeRef TPreviewWebKit::EventWebResourceGetIdentifier(CFStringRef) { return nullptr; }
void TPreviewWebKit::EventWebResourceDidReceiveContentLength(CFTypeRef, UInt32) {}
void TPreviewWebKit::EventWebSetStatusText(CFStringRef) {}
CFStringRef TPreviewWebKit::EventWebGetStatusText() { return nullptr; }

void TPreviewWebKit::EventWebMouseMovedOverElement(CFDictionaryRef element) {
  if (!TPaneIsLive(pane)) return;
  CFStringRef link = ElementURL(element, kWebElementLinkURLKey);
  if (link == nullptr) link = ElementURL(element, kWebElementImageURLKey);
  pane->ShowLink(link);
}

void TPreviewWebKit::EventWebFrameLoadStarted() {
  if (!TPaneIsLive(pane)) return;
  if (pane->resources != nullptr && TPaneIsLive(pane->resources)) pane->resources->Clear();
  pane->ShowStop(true);
}

void TPreviewWebKit::EventWebFrameLoadDone() {
  if (!TPaneIsLive(pane)) return;
  pane->ClearStatus();
  pane->ShowStop(false);
}

void TPreviewWebKit::EventWebFrameLoadFailed(const Str255&) { EventWebFrameLoadDone(); }

void TPreviewWebKit::EventWebReceivedPageTitle(const Str255& title) {
  if (!TPaneIsLive(pane) || pane->paneView == nullptr || title.empty()) return;
  WindowRef window = HIViewGetWindow(pane->paneView);
  if (window == nullptr || window == pane->nibWindow) return;
  if (pane->formerTitle == nullptr) {
    CopyWindowTitleAsCFString(window, &pane->formerTitle);
    pane->titledWindow = window;
  }
  CFStringRef text = CFStringCreateWithPascalString(nullptr, title.data(), kCFStringEncodingUTF8);
  if (text == nullptr) text = CFStringCreateWithPascalString(nullptr, title.data(), kCFStringEncodingMacRoman);
  if (text != nullptr) {
    SetWindowTitleWithCFString(window, text);
    CFRelease(text);
  }
}

// ---------------------------------------------------------------------------
// TPreviewPane

void TPreviewPane::Initialize() {
  if (webkit != nullptr) return;
  auto* view = new TPreviewWebKit();
  view->pane = this;
  webkit = view;
}

void TPreviewPane::SetURL(const Str255& inURL) {
  TWebKitPane::SetURL(inURL);
  wholeURL = inURL.str();
}

void TPreviewPane::SetWholeURL(const std::string& inURL) {
  TWebKitPane::SetURL(Str255(inURL.c_str()));
  wholeURL = inURL;
}

void TPreviewPane::Create(const Str63& name, IBNibRef nib) {
  // The web view object comes first, so the inherited creation keeps it.
  Initialize();
  if (webkit != nullptr && webkit->url.empty()) webkit->url = url;
  TWebKitPane::Create(name, nib);
  SetClassString("TPreviewPane");
  WindowRef target = destination != nullptr ? destination : GetWindow();
  if (commandHandler == nullptr && target != nullptr && target != nibWindow) InstallCommandHandler(target);

  if (paneView != nullptr) {
    static const EventTypeSpec kBounds[] = {{kEventClassControl, kEventControlBoundsChanged}};
    Err = InstallEventHandler(GetControlEventTarget(paneView), PaneBoundsHandler, 1, kBounds, this, nullptr);
  }
  navigation = FindControl(paneView, kNavigationToolbarSignature, kNavigationToolbarID);
  status = FindControl(paneView, kNavigationToolbarSignature, kStatusToolbarID);
  constexpr UInt32 kOptions = ToolbarOption(31);
  if (navigation != nullptr) {
    MenuRef applications = nullptr;
    if (CreateNewMenu(0, 0, &applications) == noErr && applications != nullptr) {
      PopulatePreviewApplicationMenu(applications, nullptr, PreviewApplication());
      SetContextualMenuFont(applications);
    }
    IconRef appIcon = nullptr;
    if (GetIconRef(kOnSystemDisk, 'macs', 'APPL', &appIcon) != noErr) appIcon = nullptr;
    ToolbarAddButton(navigation, "", appIcon, appIcon != nullptr ? kIconRefType : 0, applications, 0, kOptions, this);
    stopItem = ToolbarAddButton(navigation, "", ApplicationIcon('!NOT'), kIconRefType, nullptr, kPreviewCommandStop,
                                kOptions, this);
    ToolbarSetItemHidden(navigation, stopItem, true);
    hiddenStop = true;
    ToolbarAddButton(navigation, "", ApplicationIcon('BAC<'), kIconRefType, nullptr, kPreviewCommandBack, kOptions, this);
    ToolbarAddButton(navigation, "", ApplicationIcon('FOR<'), kIconRefType, nullptr, kPreviewCommandForward, kOptions,
                     this);
    urlItem = ToolbarAddButton(navigation, "http://", ApplicationIcon('tPRV'), kIconRefType, nullptr, kPreviewCommandURL,
                               kOptions, this);
    const ToolbarCallbacks callbacks{SelectPreviewApplicationMenu, ClickURLButton, nullptr, this};
    ToolbarSetCallbacks(navigation, callbacks, this);
  }
  if (status != nullptr) {
    statusItem = ToolbarAddButton(status, "", nullptr, 0, nullptr, 0, kOptions, this);
    ToolbarSetItemHidden(status, statusItem, true);
    linkItem = ToolbarAddButton(status, "", ApplicationIcon('tFND'), kIconRefType, nullptr, 0, kOptions, this);
    ToolbarSetItemHidden(status, linkItem, true);
  }
  hiddenStatus = hiddenLink = true;
  if (document != nullptr) Subscribe();
}

void TPreviewPane::Subscribe() {
  if (subscription != nullptr || document == nullptr || !FSValidFSRef(document->file)) return;
  FSRef folder{};
  if (FSGetCatalogInfo(&document->file, kFSCatInfoNone, nullptr, nullptr, nullptr, &folder) != noErr) return;
  if (FNSubscribe(&folder, NotificationProc(), this, 0, &subscription) != noErr) subscription = nullptr;
}

void TPreviewPane::Unsubscribe() {
  if (subscription != nullptr) FNUnsubscribe(subscription);
  subscription = nullptr;
}

void TPreviewPane::Load() {
  if (webkit == nullptr) return;
  if (wholeURL.empty()) wholeURL = (webkit->url.empty() ? url : webkit->url).str();
  if (webkit->url.empty()) webkit->url = Str255(wholeURL.c_str());
  const std::string title = PreviewTabTitle(wholeURL);
  SetAppearance(Str63(title.c_str()), nullptr, kCGImageType);
  if (title.size() > 63) {
    FullTitle = title;
    if (const SInt16 index = CurrentTabIndex(); index > 0) ShowTitle(index);
  }
  if (navigation != nullptr && urlItem != 0) {
    // The toolbar keeps its own reference to the image.
    CGImageRef image = LoadPNGImage(PreviewURLImageName(wholeURL), kImagesFolder);
    ToolbarChangeItem(navigation, urlItem, Str255(wholeURL.c_str()), image, kCGImageType);
    if (image != nullptr) CGImageRelease(image);
  }
  std::string path;
  modification = PreviewURLLocalPath(wholeURL, path) ? PathStamp(path) : TFileStamp{};
  ClearStatus();
  ++loads;
  if (CFStringRef whole = CreateUTF8(wholeURL)) {
    webkit->LoadURLString(whole);
    CFRelease(whole);
  }
}

void TPreviewPane::FolderChanged() {
  std::string path;
  if (!PreviewURLLocalPath(wholeURL, path)) return;
  const TFileStamp now = PathStamp(path);
  if (SameStamp(now, modification)) return;
  modification = now;
  ++loads;
  if (webkit != nullptr) webkit->Reload();
}

void TPreviewPane::ProcessCommand(const HICommand& command, EventRef event, SInt32& result) {
  switch (command.commandID) {
    case kPreviewCommandBack:
    case kPreviewCommandForward:
    case kPreviewCommandStop: {
      // Ours when our toolbar sent it, or when we are the page in view.
      HICommandExtended sent{};
      if (event == nullptr || GetEventParameter(event, kEventParamDirectObject, typeHICommand, nullptr, sizeof sent,
                                                nullptr, &sent) != noErr)
        sent.attributes = 0;
      const Boolean fromUs = (command.attributes & kHICommandFromControl) != 0 && navigation != nullptr &&
                             (sent.attributes & kHICommandFromControl) != 0 && sent.source.control == navigation;
      const Boolean fromOtherControl = (command.attributes & kHICommandFromControl) != 0 && !fromUs;
      const Boolean shown = paneView != nullptr && HIViewIsVisible(paneView) && HIViewGetWindow(paneView) != nibWindow;
      if (fromOtherControl || (!fromUs && !shown) || webkit == nullptr) break;
      if (command.commandID == kPreviewCommandBack) webkit->GoBack();
      else if (command.commandID == kPreviewCommandForward) webkit->GoForward();
      else webkit->StopLoading();
      ClearStatus();
      result = noErr;
      return;
    }
    default:
      break;
  }
  TWebKitPane::ProcessCommand(command, event, result);
}

void TPreviewPane::SetItemHidden(ControlRef bar, SInt16 item, Boolean& state, Boolean hidden) {
  state = hidden;
  if (bar != nullptr && item != 0) ToolbarSetItemHidden(bar, item, hidden);
}

Boolean TPreviewPane::StopHidden() { return hiddenStop; }
Boolean TPreviewPane::StatusHidden() { return hiddenStatus; }
Boolean TPreviewPane::LinkHidden() { return hiddenLink; }

void TPreviewPane::ClearStatus() {
  SetItemHidden(status, statusItem, hiddenStatus, true);
  SetItemHidden(status, linkItem, hiddenLink, true);
}

void TPreviewPane::ShowStop(Boolean shown) { SetItemHidden(navigation, stopItem, hiddenStop, !shown); }

void TPreviewPane::ShowLink(CFStringRef link) {
  if (link == nullptr || CFStringGetLength(link) == 0) {
    SetItemHidden(status, linkItem, hiddenLink, true);
    return;
  }
  shownLink = UTF8(link);
  if (status != nullptr && linkItem != 0) ToolbarSetItemText(status, linkItem, Str255(shownLink.c_str()));
  SetItemHidden(status, linkItem, hiddenLink, false);
}

void TPreviewPane::AppendEditButton() {
  if (navigation == nullptr) return;
  ToolbarAddButton(navigation, "Edit", ApplicationIcon('EDIM'), kIconRefType, nullptr, kPreviewCommandEdit,
                   ToolbarOption(30), this);
}

void TPreviewPane::AppendSlider(TSplitView* split) {
  if (navigation == nullptr || split == nullptr || split->control == nullptr) return;
  ToolbarAddSlider(navigation, ToolbarOption(30), split->control);
}

void TPreviewPane::Close() {
  Unsubscribe();
  if (formerTitle != nullptr && titledWindow != nullptr && IsValidWindowPtr(titledWindow))
    SetWindowTitleWithCFString(titledWindow, formerTitle);
  if (resources != nullptr && TPaneIsLive(resources)) {
    TPreviewResourcePane* list = resources;
    resources = nullptr;
    list->Close();
  }
  TWebKitPane::Close();
}

void TPreviewPane::Release() {
  Unsubscribe();
  // The web view object ends with its container (it may be gone already);
  // it asks whether its pane still lives before each use.
  webkit = nullptr;
  if (formerTitle != nullptr) CFRelease(formerTitle);
  formerTitle = nullptr;
  TDocument* page = ownsDocument ? document : nullptr;
  TWebKitPane::Release();
  if (page != nullptr) page->Release();
}

// ---------------------------------------------------------------------------
// Windows

void TPreviewWindow::Create(const Str63& name, IBNibRef nib) {
  TWindow::Create(name, nib);
  SetClassString("TPreviewWindow");
  if (window == nullptr) return;
  SetWindowKind(window, kPreviewWindowKind);
  if (ControlRef view = FindControl(HIViewGetRoot(window), kTabsSignature, kInterfaceID)) {
    tabs = new TTabs();
    tabs->Create(view);
  }
}

void TPreviewWindow::Release() {
  tabs = nullptr;  // it ends with its tab view
  TWindow::Release();
}

void TPreviewWindow::HandleOpenURLCommand(EventRef event) {
  if (event == nullptr || tabs == nullptr) return;
  ByteCount size = 0;
  UInt8 bytes[256] = {0};
  if (GetEventParameter(event, kEventParamPreviewURL, typePreviewURL, nullptr, sizeof bytes, &size, bytes) != noErr ||
      size == 0)
    return;
  const std::string text(reinterpret_cast<const char*>(bytes + 1), std::min<size_t>(bytes[0], size - 1));
  if (text.empty()) return;
  auto* pane = new TPreviewPane();
  pane->SetOwner(this);
  pane->SetWholeURL(text);
  pane->SetResource(kPreviewPaneResource, nib);
  tabs->Append(pane);
}

void TConsoleWindow::Create(const Str63& name, IBNibRef nib) {
  TWindow::Create(name, nib);
  SetClassString("TConsoleWindow");
  if (window == nullptr) return;
  SetWindowKind(window, kConsoleWindowKind);
  if (ControlRef view = FindControl(HIViewGetRoot(window), kConsoleSignature, kInterfaceID)) {
    console = dynamic_cast<TConsoleView*>(NewConsoleView());
    if (console != nullptr) {
      console->Create(view);
      console->Clear();
    }
  }
  Show();
}

void TConsoleWindow::Release() {
  if (console != nullptr) console->Release();
  console = nullptr;
  TWindow::Release();
}

namespace {

// The front visible window of the kind, as an object of the class.
template <class Window>
Window* FrontWindowOf(SInt16 kind) {
  for (WindowRef w = GetWindowList(); w != nullptr; w = GetNextWindow(w))
    if (IsWindowVisible(w) && GetWindowKind(w) == kind)
      if (auto* window = dynamic_cast<Window*>(GetWindowObject(w))) return window;
  return nullptr;
}

}  // namespace

TConsoleWindow* OpenConsoleWindow() {
  if (auto* front = FrontWindowOf<TConsoleWindow>(kConsoleWindowKind)) {
    SelectWindow(front->window);
    return front;
  }
  auto* console = new TConsoleWindow();
  console->Create(kConsoleWindowResource, ApplicationNib);
  return console;
}

TPreviewWindow* OpenPreviewWindow(EventRef event) {
  auto* preview = FrontWindowOf<TPreviewWindow>(kPreviewWindowKind);
  if (preview == nullptr) {
    preview = new TPreviewWindow();
    preview->Create(kPreviewWindowResource, ApplicationNib);
    preview->Show();
  }
  preview->HandleOpenURLCommand(event);
  if (preview->window != nullptr) SelectWindow(preview->window);
  return preview;
}

// ---------------------------------------------------------------------------
// Resources of a page

std::string PreviewResourceText(const PreviewResourceInfo& info) {
  return info.name.str() + " (" + std::to_string(info.size) + " bytes)";
}

void TPreviewResourceBrowser::SetItemData(void* data, UInt32 dataType, DataBrowserItemID, DataBrowserPropertyID,
                                          DataBrowserItemDataRef itemData) {
  if (data == nullptr || dataType != kResourceItemType) return;
  const auto* info = static_cast<const PreviewResourceInfo*>(data);
  if (CFStringRef text = CreateUTF8(PreviewResourceText(*info))) {
    SetDataBrowserItemDataText(itemData, text);
    CFRelease(text);
  }
  IconRef icon = FSValidFSRef(info->file) ? FSGetIcon(info->file) : nullptr;
  if (icon == nullptr && GetIconRef(kOnSystemDisk, 'macs', kGenericDocumentIcon, &icon) != noErr) icon = nullptr;
  if (icon != nullptr) {
    SetDataBrowserItemDataIcon(itemData, icon);
    ReleaseIconRef(icon);
  }
}

Boolean TPreviewResourceBrowser::AddDragItem(void* data, UInt32 dataType, DataBrowserItemID, DragRef drag,
                                             DragItemRef itemRef) {
  if (data == nullptr || dataType != kResourceItemType) return false;
  const auto* info = static_cast<const PreviewResourceInfo*>(data);
  CFStringRef url = FSValidFSRef(info->file) ? FSCopyURLString(info->file) : nullptr;
  if (url == nullptr) return false;
  std::vector<UniChar> chars(size_t(CFStringGetLength(url)));
  CFStringGetCharacters(url, CFRangeMake(0, CFIndex(chars.size())), chars.data());
  CFRelease(url);
  Err = AddDragItemFlavor(drag, itemRef, 'utxt', chars.data(), Size(chars.size() * sizeof(UniChar)), 0);
  return Err == noErr;
}

void TPreviewResourcePane::Create(const Str63& name, IBNibRef nib) {
  TPane::Create(name, nib);
  SetClassString("TPreviewResourcePane");
  if (ControlRef view = FindControl(paneView, kResourceBrowserSignature, kInterfaceID)) {
    browser = new TPreviewResourceBrowser();
    browser->SetOptions(kBrackenrowAllocateTree);
    browser->Create(view);
  }
}

void TPreviewResourcePane::Append(const PreviewResourceInfo& info) {
  if (browser == nullptr || !TBrowser::IsLive(browser)) return;
  auto* copy = static_cast<PreviewResourceInfo*>(static_cast<void*>(NewPtrClear(sizeof(PreviewResourceInfo))));
  if (copy == nullptr) return;
  *copy = info;
  browser->NewItem(copy, sizeof(PreviewResourceInfo), kResourceItemType, 0);
}

void TPreviewResourcePane::Clear() {
  if (browser != nullptr && TBrowser::IsLive(browser)) browser->Clear();
}

void TPreviewResourcePane::Release() {
  // The browser goes with its list view; one still there is let go here.
  if (browser != nullptr && TBrowser::IsLive(browser)) browser->Release();
  browser = nullptr;
  TPane::Release();
}

TPreviewResourcePane* CreatePreviewResourcePane() {
  auto* pane = new TPreviewResourcePane();
  pane->Create(kPreviewResourcePaneResource, ApplicationNib);
  return pane;
}

// ---------------------------------------------------------------------------
// The editor window's preview panes

TDocumentPane* MakePreviewPane(TWindow* window, TDocument* document, const std::string& url, TDocumentPane* owner,
                               TDocumentPane* reuse) {
  auto* preview = dynamic_cast<TPreviewPane*>(reuse);
  if (preview != nullptr && !TPaneIsLive(preview)) preview = nullptr;
  if (preview != nullptr) {
    // The same pane shows the new page; the old page's document goes.
    TDocument* old = preview->document;
    preview->Unsubscribe();
    preview->document = nullptr;
    if (old != nullptr && old != document) {
      old->SetOwner(nullptr);
      old->Release();
    }
  } else {
    preview = new TPreviewPane();
    preview->SetOwner(window);
    if (window != nullptr) {
      preview->PrepareDestination(window->window);
      preview->SetResource(Str63("Preview Pane 2.1"), window->nib);
    }
  }
  preview->SetDocument(document);
  preview->SetWholeURL(url);
  preview->ownsDocument = owner != nullptr;
  if (owner != nullptr) {
    if (preview->paneView == nullptr) {
      preview->Create(preview->Resource, preview->NibRef);
      preview->AppendEditButton();
    } else {
      preview->Subscribe();
    }
    preview->Load();
  }
  return preview;
}

Boolean IsPreviewPane(TPane* pane) { return dynamic_cast<TPreviewPane*>(pane) != nullptr; }
