#include "TWebKitUnit.h"

#include <vector>

#include "CFBundle.h"
#include "CFString.h"
#include "CFURL.h"
#include "Files.h"
#include "MachO.h"
#include "PascalCarbonCommon.h"

Boolean WebKitLoaded = false;
WebKitCreateHIViewProc WebKitCreateHIView = nullptr;
WebKitLoadURLProc WebKitLoadURL = nullptr;
WebKitViewProc WebKitReload = nullptr;
WebKitViewProc WebKitStopLoading = nullptr;
WebKitViewProc WebKitGoBack = nullptr;
WebKitCanGoProc WebKitCanGoBack = nullptr;
WebKitViewProc WebKitGoForward = nullptr;
WebKitCanGoProc WebKitCanGoForward = nullptr;
WebKitInitCarbonProc WebKitInitCarbon = nullptr;

namespace {

// The bundle could not be loaded: said once, not tried again.
Boolean gWebKitFailed = false;

void* Function(CFBundleRef bundle, const char* name) {
  CFStringRef string = CFStringCreateWithCString(nullptr, name, kCFStringEncodingMacRoman);
  void* function = CFBundleGetFunctionPointerForName(bundle, string);
  CFRelease(string);
  return function;
}

Str255 StringParameter(EventRef event, EventParamName name) {
  CFStringRef text = nullptr;
  Err = GetEventParameter(event, name, typeCFStringRef, nullptr, sizeof text, nullptr, &text);
  return Err == noErr && text != nullptr ? CFStringToPascal(text) : Str255();
}

CFTypeRef IdentifierParameter(EventRef event) {
  CFTypeRef id = nullptr;
  Err = GetEventParameter(event, kEventParamWebResourceID, typeCFTypeRef, nullptr, sizeof id, nullptr, &id);
  return Err == noErr ? id : nullptr;
}

// Bounds and visibility of the container move the web view (and, when the
// container moves to another window, the web view goes with it). Other
// handlers of the container run as well.
OSStatus ContainerEventHandler(EventHandlerCallRef, EventRef event, void* data) {
  auto* self = static_cast<TWebKit*>(data);
  if (self->webView == nullptr || self->control == nullptr) return eventNotHandledErr;
  switch (GetEventKind(event)) {
    case kEventControlBoundsChanged:
      if (HIViewIsVisible(self->control)) self->SynchBounds();
      break;
    case kEventControlVisibilityChanged:
      if (!HIViewIsVisible(self->control)) {
        HIViewSetVisible(self->webView, false);
        HIViewSetZOrder(self->webView, kHIViewZOrderBelow, nullptr);
        const HIRect away{{-32767, -32767}, {0, 0}};
        HIViewSetFrame(self->webView, &away);
      } else {
        HIViewSetVisible(self->webView, true);
        HIViewSetZOrder(self->webView, kHIViewZOrderAbove, nullptr);
        HIViewSetNeedsDisplay(self->control, true);
        self->SynchBounds();
      }
      break;
    case kEventControlOwningWindowChanged: {
      // Into another window (or back into the window it was made for, from
      // the pane's own interface window): the web view follows and shows as
      // the container now does.
      WindowRef now = GetControlOwner(self->control);
      if (now == nullptr) break;
      if (now != self->root) {
        self->SetRoot(now);
        HIViewAddSubview(HIViewGetRoot(now), self->webView);
      }
      const Boolean shown = HIViewIsVisible(self->control);
      HIViewSetVisible(self->webView, shown);
      if (shown) {
        HIViewSetZOrder(self->webView, kHIViewZOrderAbove, nullptr);
        self->SynchBounds();
      }
      break;
    }
  }
  return eventNotHandledErr;
}

OSStatus WebKitEventHandler(EventHandlerCallRef, EventRef event, void* data) {
  auto* self = static_cast<TWebKit*>(data);
  OSStatus status = eventNotHandledErr;
  self->HandleEvent(event, status);
  const EventClass cls = GetEventClass(event);
  const EventKind kind = GetEventKind(event);
  if (cls == kEventClassWebFrameLoad) {
    switch (kind) {
      case kEventWebFrameDidStartProvisionalLoad: self->EventWebFrameLoadStarted(); break;
      case kEventWebFrameDidReceiveTitle: self->EventWebReceivedPageTitle(StringParameter(event, kEventParamWebTitle)); break;
      case kEventWebFrameDidReceiveIcon: {
        CGImageRef icon = nullptr;
        Err = GetEventParameter(event, kEventParamWebIcon, typeCGImageRef, nullptr, sizeof icon, nullptr, &icon);
        self->EventWebReceivedPageIcon(Err == noErr ? icon : nullptr);
        break;
      }
      case kEventWebFrameDidFinishLoad: self->EventWebFrameLoadDone(); break;
      case kEventWebFrameDidFailLoad: self->EventWebFrameLoadFailed(Str255()); break;
    }
  } else if (cls == kEventClassWebResourceLoad) {
    switch (kind) {
      case kEventWebResourceIdentifierForInitialRequest: {
        CFURLRef url = nullptr;
        Err = GetEventParameter(event, kEventParamWebURL, typeCFURLRef, nullptr, sizeof url, nullptr, &url);
        if (Err == noErr) {
          CFTypeRef id = self->EventWebResourceGetIdentifier(url != nullptr ? CFURLGetString(url) : nullptr);
          if (id != nullptr) SetEventParameter(event, kEventParamWebResourceID, typeCFTypeRef, sizeof id, &id);
          status = noErr;
        }
        break;
      }
      case kEventWebResourceDidReceiveResponse: self->EventWebResourceDidReceiveResponse(IdentifierParameter(event)); break;
      case kEventWebResourceDidReceiveContentLength: {
        CFTypeRef id = IdentifierParameter(event);
        UInt32 length = 0;
        Err = GetEventParameter(event, kEventParamWebContentLength, typeUInt32, nullptr, sizeof length, nullptr, &length);
        self->EventWebResourceDidReceiveContentLength(id, length);
        break;
      }
      case kEventWebResourceDidFinishLoading: self->EventWebResourceLoadFinished(IdentifierParameter(event)); break;
      case kEventWebResourceDidFailLoading: self->EventWebResourceLoadFailed(IdentifierParameter(event), Str255()); break;
    }
  } else if (cls == kEventClassWebWindow) {
    switch (kind) {
      case kEventWebWindowCreateWebView: self->EventWebCreateWindow(Str255()); break;
      case kEventWebWindowShow:
      case kEventWebWindowShowBehindFrontmost: self->EventWebShowWindow(); break;
      case kEventWebWindowSetStatusText: {
        CFStringRef text = nullptr;
        Err = GetEventParameter(event, kEventParamWebStatusText, typeCFStringRef, nullptr, sizeof text, nullptr, &text);
        self->EventWebSetStatusText(Err == noErr ? text : nullptr);
        break;
      }
      case kEventWebWindowGetStatusText: {
        CFStringRef text = self->EventWebGetStatusText();
        if (text != nullptr) {
          SetEventParameter(event, kEventParamWebStatusText, typeCFStringRef, sizeof text, &text);
          status = noErr;
        }
        break;
      }
      case kEventWebWindowMouseMovedOverElement: {
        CFDictionaryRef element = nullptr;
        Err = GetEventParameter(event, kEventParamWebElement, typeCFDictionaryRef, nullptr, sizeof element, nullptr,
                                &element);
        self->EventWebMouseMovedOverElement(Err == noErr ? element : nullptr);
        break;
      }
    }
  }
  return status;
}

}  // namespace

Boolean WebKitUnavailable() { return gWebKitFailed; }

TWebKit* HIWebKitCreate(ControlRef container) {
  auto* webkit = new TWebKit();
  webkit->SetRoot(GetControlOwner(container));
  webkit->Create(container);
  return webkit;
}

void TWebKit::LoadFunctions() {
  if (WebKitLoaded || gWebKitFailed) return;
  CFURLRef folderURL = CFBundleCopyPrivateFrameworksURL(CFBundleGetMainBundle());
  FSRef folder;
  const bool found = folderURL != nullptr && CFURLGetFSRef(folderURL, &folder);
  if (folderURL != nullptr) CFRelease(folderURL);
  if (!found) return;  // a later call tries again
  FSCatalogInfo info;
  if (FSGetCatalogInfo(&folder, kFSCatInfoVolume | kFSCatInfoNodeID, &info, nullptr, nullptr, nullptr) != noErr) return;
  CFBundleRef bundle = nullptr;
  if (MachOLoadBundle(info.volume, SInt32(info.nodeID), "Ostrelle.bundle", bundle) != noErr || bundle == nullptr) {
    gWebKitFailed = true;
    UserNotificationDialog("Ostrelle failed to load!");
    return;
  }
  WebKitCreateHIView = reinterpret_cast<WebKitCreateHIViewProc>(Function(bundle, "WebKitCreateHIView"));
  WebKitLoadURL = reinterpret_cast<WebKitLoadURLProc>(Function(bundle, "WebKitLoadURL"));
  WebKitReload = reinterpret_cast<WebKitViewProc>(Function(bundle, "WebKitReload"));
  WebKitStopLoading = reinterpret_cast<WebKitViewProc>(Function(bundle, "WebKitStopLoading"));
  WebKitGoBack = reinterpret_cast<WebKitViewProc>(Function(bundle, "WebKitGoBack"));
  WebKitCanGoBack = reinterpret_cast<WebKitCanGoProc>(Function(bundle, "WebKitCanGoBack"));
  WebKitGoForward = reinterpret_cast<WebKitViewProc>(Function(bundle, "WebKitGoForward"));
  WebKitCanGoForward = reinterpret_cast<WebKitCanGoProc>(Function(bundle, "WebKitCanGoForward"));
  WebKitInitCarbon = reinterpret_cast<WebKitInitCarbonProc>(Function(bundle, "WebKitInitCarbon"));
  // A bundle that lacks any of the nine is no web view either.
  if (WebKitCreateHIView == nullptr || WebKitLoadURL == nullptr || WebKitReload == nullptr ||
      WebKitStopLoading == nullptr || WebKitGoBack == nullptr || WebKitCanGoBack == nullptr ||
      WebKitGoForward == nullptr || WebKitCanGoForward == nullptr || WebKitInitCarbon == nullptr) {
    gWebKitFailed = true;
    UserNotificationDialog("Ostrelle failed to load!");
    return;
  }
  WebKitInitCarbon();
  WebKitLoaded = true;
}

void TWebKit::Create(ControlRef container) {
  LoadFunctions();
  TControl::Create(container);
  SetViewObject(reinterpret_cast<HIObjectRef>(container));
  SetClassString("TWebKit");
  if (!WebKitLoaded || container == nullptr) return;  // an empty container: no web view to call
  if (root == nullptr) root = GetControlOwner(container);
  webView = WebKitCreateHIView();
  if (webView == nullptr) return;
  if (HIViewRef top = root != nullptr ? HIViewGetRoot(root) : nullptr) HIViewAddSubview(top, webView);
  HIViewSetVisible(webView, HIViewIsVisible(container));
  SynchBounds();
  static const EventTypeSpec kContainerEvents[] = {{kEventClassControl, kEventControlBoundsChanged},
                                                   {kEventClassControl, kEventControlVisibilityChanged},
                                                   {kEventClassControl, kEventControlOwningWindowChanged}};
  Err = InstallEventHandler(GetControlEventTarget(container), ContainerEventHandler, 3, kContainerEvents, this,
                            &containerHandler);
  std::vector<EventTypeSpec> kinds;
  for (EventKind k = 1; k <= 7; ++k) kinds.push_back({kEventClassWebResourceLoad, k});
  for (EventKind k = 1; k <= 11; ++k) kinds.push_back({kEventClassWebWindow, k});
  for (EventKind k = 1; k <= 10; ++k) kinds.push_back({kEventClassWebFrameLoad, k});
  Err = InstallEventHandler(HIObjectGetEventTarget(reinterpret_cast<HIObjectRef>(webView)), WebKitEventHandler,
                            ItemCount(kinds.size()), kinds.data(), this, &webViewHandler);
}

void TWebKit::Release() {
  if (containerHandler != nullptr) RemoveEventHandler(containerHandler);
  containerHandler = nullptr;
  if (webView != nullptr) {
    if (webViewHandler != nullptr) RemoveEventHandler(webViewHandler);
    webViewHandler = nullptr;
    DisposeControl(webView);
    webView = nullptr;
  }
  TControl::Release();
}

void TWebKit::SetRoot(WindowRef window) { root = window; }

void TWebKit::SynchBounds() {
  if (webView == nullptr || control == nullptr || root == nullptr) return;
  HIRect bounds;
  if (HIViewGetBounds(control, &bounds) != noErr) return;
  if (HIViewConvertRect(&bounds, control, HIViewGetRoot(root)) != noErr) return;
  HIViewSetFrame(webView, &bounds);
}

void TWebKit::LoadURLString(CFStringRef inURL) {
  if (webView == nullptr || inURL == nullptr || CFStringGetLength(inURL) == 0) return;
  WebKitLoadURL(inURL, webView);
}

void TWebKit::LoadURL(const Str255& inURL) {
  if (webView == nullptr || inURL.empty()) return;
  CFStringRef string = CFStringCreateWithPascalString(nullptr, inURL.data(), kCFStringEncodingMacRoman);
  LoadURLString(string);
  if (string != nullptr) CFRelease(string);
}

void TWebKit::LoadFile(const FSRef& file) {
  CFStringRef whole = FSCopyURLString(file);
  if (whole == nullptr) return;
  LoadURLString(whole);
  CFRelease(whole);
}

void TWebKit::Reload() {
  if (webView != nullptr) WebKitReload(webView);
}
void TWebKit::StopLoading() {
  if (webView != nullptr) WebKitStopLoading(webView);
}
void TWebKit::GoBack() {
  if (webView != nullptr) WebKitGoBack(webView);
}
void TWebKit::GoForward() {
  if (webView != nullptr) WebKitGoForward(webView);
}
Boolean TWebKit::CanGoBack() { return webView != nullptr && WebKitCanGoBack(webView); }
Boolean TWebKit::CanGoForward() { return webView != nullptr && WebKitCanGoForward(webView); }

void TWebKit::HandleEvent(EventRef, OSStatus&) {}
CFTypeRef TWebKit::EventWebResourceGetIdentifier(CFStringRef) { return nullptr; }
void TWebKit::EventWebResourceDidReceiveResponse(CFTypeRef) {}
void TWebKit::EventWebResourceDidReceiveContentLength(CFTypeRef, UInt32) {}
void TWebKit::EventWebResourceLoadFinished(CFTypeRef) {}
void TWebKit::EventWebResourceLoadFailed(CFTypeRef, const Str255&) {}
void TWebKit::EventWebSetStatusText(CFStringRef) {}
CFStringRef TWebKit::EventWebGetStatusText() {
  static CFStringRef empty = CFStringCreateWithCString(nullptr, "", kCFStringEncodingUTF8);
  return empty;
}
void TWebKit::EventWebMouseMovedOverElement(CFDictionaryRef) {}
Boolean TWebKit::EventWebSetStatusBarVisible() { return true; }
void TWebKit::EventWebCreateWindow(const Str255&) {}
void TWebKit::EventWebShowWindow() {}
void TWebKit::EventWebFrameLoadStarted() {}
void TWebKit::EventWebFrameLoadDone() {}
void TWebKit::EventWebFrameLoadFailed(const Str255&) {}
void TWebKit::EventWebReceivedPageTitle(const Str255&) {}
void TWebKit::EventWebReceivedPageIcon(CGImageRef) {}

// --- TWebKitPane ---

void TWebKitPane::Initialize() {
  if (webkit == nullptr) webkit = new TWebKit();
}

void TWebKitPane::Create(const Str63& name, IBNibRef nib) {
  TDocumentPane::Create(name, nib);
  SetClassString("TWebKitPane");
  if (webkit != nullptr && webkit->control != nullptr) return;
  Initialize();
  webkit->SetRoot(GetWindow());
  HIViewRef container = nullptr;
  if (paneView != nullptr &&
      HIViewFindByID(paneView, HIViewID{kWebKitControlSignature, kWebKitControlID}, &container) == noErr)
    webkit->Create(container);
}

void TWebKitPane::SetURL(const Str255& inURL) {
  url = inURL;
  if (webkit != nullptr) webkit->url = inURL;
}

void TWebKitPane::SetFile(const FSRef& file) {
  Initialize();
  webkit->url = FSGetURL(file);
  if (fileURL != nullptr) CFRelease(fileURL);
  fileURL = FSCopyURLString(file);
}

void TWebKitPane::Load() {
  if (webkit == nullptr) return;
  if (fileURL != nullptr) {
    webkit->LoadURLString(fileURL);
    return;
  }
  if (webkit->url.empty()) webkit->url = url;
  if (!webkit->url.empty()) webkit->LoadURL(webkit->url);
}

void TWebKitPane::SelectViewObject() {
  if (webkit != nullptr && webkit->webView != nullptr && webkit->root != nullptr)
    SetKeyboardFocus(webkit->root, webkit->webView, kControlFocusNextPart);
}

void TWebKitPane::Release() {
  if (fileURL != nullptr) CFRelease(fileURL);
  fileURL = nullptr;
  TDocumentPane::Release();
}
