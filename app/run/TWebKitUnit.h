// TWebKit: the program's control for a web view. It binds the Ostrelle
// bundle's functions once per process, makes a web view for a container
// control, keeps the web view over the container (it lives in the window's
// root view), forwards loading and navigation to the bundle, and turns the
// bundle's events into virtual methods. TWebKitPane is a tab that shows one.
//
// Without the bundle there is no web view: "Ostrelle failed to load!" is said
// once, every call does nothing and the container stays empty.
#pragma once

#include "CGImage.h"
#include "CFDictionary.h"
#include "Ostrelle.h"
#include "TControlUnit.h"
#include "TDocumentTabsUnit.h"

// The functions bound from the bundle, and whether they are.
extern Boolean WebKitLoaded;
extern WebKitCreateHIViewProc WebKitCreateHIView;
extern WebKitLoadURLProc WebKitLoadURL;
extern WebKitViewProc WebKitReload;
extern WebKitViewProc WebKitStopLoading;
extern WebKitViewProc WebKitGoBack;
extern WebKitCanGoProc WebKitCanGoBack;
extern WebKitViewProc WebKitGoForward;
extern WebKitCanGoProc WebKitCanGoForward;
extern WebKitInitCarbonProc WebKitInitCarbon;
// True once the bundle was tried and could not be bound (said once).
Boolean WebKitUnavailable();

class TWebKit : public TControl {
 public:
  WindowRef root = nullptr;     // the window in whose root view the web view lives
  HIViewRef webView = nullptr;  // nil until made (and for good without the bundle)
  Str255 url;

  void Create(ControlRef container) override;
  virtual void LoadFunctions();
  virtual void SetRoot(WindowRef window);
  virtual void SynchBounds();
  virtual void Reload();
  virtual void StopLoading();
  virtual void LoadURL(const Str255& inURL);
  virtual void LoadFile(const FSRef& file);
  virtual void GoBack();
  virtual void GoForward();
  virtual Boolean CanGoBack();
  virtual Boolean CanGoForward();
  // A subclass may claim any event of the web view first (status noErr).
  virtual void HandleEvent(EventRef event, OSStatus& status);
  // The identifier the host gives a resource (kept by the bundle while it
  // loads); nil for none.
  virtual CFTypeRef EventWebResourceGetIdentifier(CFStringRef resourceURL);
  virtual void EventWebResourceDidReceiveResponse(CFTypeRef identifier);
  virtual void EventWebResourceDidReceiveContentLength(CFTypeRef identifier, UInt32 length);
  virtual void EventWebResourceLoadFinished(CFTypeRef identifier);
  virtual void EventWebResourceLoadFailed(CFTypeRef identifier, const Str255& error);
  virtual void EventWebSetStatusText(CFStringRef text);
  virtual CFStringRef EventWebGetStatusText();  // not owned; the empty string here
  virtual void EventWebMouseMovedOverElement(CFDictionaryRef element);
  virtual Boolean EventWebSetStatusBarVisible();
  virtual void EventWebCreateWindow(const Str255& inURL);
  virtual void EventWebShowWindow();
  virtual void EventWebFrameLoadStarted();
  virtual void EventWebFrameLoadDone();
  virtual void EventWebFrameLoadFailed(const Str255& error);
  virtual void EventWebReceivedPageTitle(const Str255& title);
  virtual void EventWebReceivedPageIcon(CGImageRef icon);

  // The web view goes with its object: it lives in the window's root view,
  // where nothing else would take it away when the container goes.
  void Release() override;

  // Loads a URL of any length (LoadFile's whole file URLs).
  void LoadURLString(CFStringRef inURL);

  EventHandlerRef containerHandler = nullptr;
  EventHandlerRef webViewHandler = nullptr;
};

// A TWebKit for the container, in the container's window.
TWebKit* HIWebKitCreate(ControlRef container);

class TWebKitPane : public TDocumentPane {
 public:
  Str255 url;
  TWebKit* webkit = nullptr;

  void Create(const Str63& name, IBNibRef nib) override;
  void Load() override;
  void SelectViewObject() override;
  // The inherited pane's release: no document goes with this pane.
  void Release() override;

  virtual void Initialize();
  virtual void SetURL(const Str255& inURL);
  virtual void SetFile(const FSRef& file);

 private:
  CFStringRef fileURL = nullptr;  // a whole file URL set by SetFile, when longer than a short string
};

constexpr OSType kWebKitControlSignature = 'WEBK';
constexpr SInt32 kWebKitControlID = 128;
