// The Ostrelle bundle: the web view, behind nine C functions that the program
// binds by name from "Ostrelle.bundle" in its private Frameworks folder, and
// the events it sends to the web view's own event target about what the page
// does. Where the web view asks a question, the bundle reads the host's answer
// back from the same event after the send.
//
// The web view is a native child view (HINativeView.h) showing a WebKitGTK
// view under the desktop host; headless it is a stand-in engine that loads
// file URLs itself and sends the same events (see platform/web/WebEngine.h).
//
// Objects passed as opaque parameters ('WBDS', 'WBER', 'WBRQ', 'WBRP') are the
// engine's own (a WebKitWebResource, a GError, a WebKitURIRequest, a
// WebKitURIResponse), borrowed for the send; the host must not keep them.
// Pointer parameters are pointer-sized.
//
// Events that WebKitGTK cannot give are never sent:
// - 'WBLC' 9 and 10 (client redirects: the engine tells of none);
// - 'WBRL' 7 (plug-ins are gone);
// - 'WBWO' 3, 4 and 5 (no showing behind the front window, no status text);
// - 'WBWO' 7 to 11 (toolbar, status bar and frame requests: the web view
//   never asks, and the host gives no usable answer to them anyway);
// - loads of sub-frames: only the main frame's loading is reported.
// 'WBRL' 4 comes once per resource, with its response's length. A new window
// a page asks for ('WBWO' 1) opens only in a web view of this bundle that the
// host answers: the page loads there, and that view then hears 'WBWO' 2.
#pragma once

#include "CarbonEvents.h"
#include "HIView.h"

// Event classes.
enum : EventClass {
  kEventClassWebFrameLoad = 'WBLC',
  kEventClassWebResourceLoad = 'WBRL',
  kEventClassWebWindow = 'WBWO',
};

// 'WBLC': every kind carries kEventParamWebDataSource when there is one.
enum : EventKind {
  kEventWebFrameDidStartProvisionalLoad = 1,
  kEventWebFrameDidReceiveServerRedirect = 2,
  kEventWebFrameDidCommitLoad = 3,
  kEventWebFrameDidReceiveTitle = 4,     // 'TITL'
  kEventWebFrameDidReceiveIcon = 5,      // 'ICON'
  kEventWebFrameDidFinishLoad = 6,       // never after kind 7 for the same load
  kEventWebFrameDidFailLoad = 7,         // 'WBER'
  kEventWebFrameDidChangeLocationWithinPage = 8,
  kEventWebFrameWillPerformClientRedirect = 9,  // never sent
  kEventWebFrameDidCancelClientRedirect = 10,   // never sent
};

// 'WBRL' (no kind 2).
enum : EventKind {
  kEventWebResourceIdentifierForInitialRequest = 1,  // 'URL ', 'WBRQ'; answer 'ID  '
  kEventWebResourceDidReceiveResponse = 3,           // 'ID  ', 'WBRP'
  kEventWebResourceDidReceiveContentLength = 4,      // 'ID  ', 'LEN '
  kEventWebResourceDidFinishLoading = 5,             // 'ID  '
  kEventWebResourceDidFailLoading = 6,               // 'ID  ', 'WBER'
  kEventWebResourcePluginFailed = 7,                 // never sent
};

// 'WBWO'.
enum : EventKind {
  kEventWebWindowCreateWebView = 1,  // 'WBRQ'; answer 'WBVW' (nil: no new window)
  kEventWebWindowShow = 2,
  kEventWebWindowShowBehindFrontmost = 3,  // never sent
  kEventWebWindowSetStatusText = 4,        // never sent
  kEventWebWindowGetStatusText = 5,        // never sent
  kEventWebWindowMouseMovedOverElement = 6,  // 'WBEL'
  kEventWebWindowAreToolbarsVisible = 7,     // never sent
  kEventWebWindowSetToolbarsVisible = 8,     // never sent
  kEventWebWindowIsStatusBarVisible = 9,     // never sent
  kEventWebWindowSetStatusBarVisible = 10,   // never sent
  kEventWebWindowSetFrame = 11,              // never sent
};

// Parameter names; the type of each follows it.
enum : EventParamName {
  kEventParamWebDataSource = 'WBDS',     // typeWebDataSource, opaque
  kEventParamWebTitle = 'TITL',          // typeCFStringRef
  kEventParamWebIcon = 'ICON',           // typeCGImageRef, released after the send
  kEventParamWebError = 'WBER',          // typeWebError, a GError*
  kEventParamWebURL = 'URL ',            // typeCFURLRef
  kEventParamWebRedirectDelay = 'DELA',  // typeIEEE64BitFloatingPoint
  kEventParamWebRedirectDate = 'DATE',   // typeCFDateRef
  kEventParamWebFrame = 'WBFR',          // typeWebFrame
  kEventParamWebResourceID = 'ID  ',     // typeCFTypeRef, chosen by the host
  kEventParamWebResponse = 'WBRP',       // typeWebResponse, opaque
  kEventParamWebContentLength = 'LEN ',  // typeUInt32
  kEventParamWebPluginError = 'WBPE',    // typeWebPluginError
  kEventParamWebRequest = 'WBRQ',        // typeWebRequest, opaque
  kEventParamWebNewView = 'WBVW',        // typeWebView, an HIViewRef answered by the host
  kEventParamWebStatusText = 'TEXT',     // typeCFStringRef
  kEventParamWebElement = 'WBEL',        // typeCFDictionaryRef
  kEventParamWebAnswer = 'ansr',         // typeBoolean
  kEventParamWebVisible = 'VISI',        // typeBoolean
  kEventParamWebBounds = 'BOUN',         // typeHIRect
};

enum : EventParamType {
  typeWebDataSource = 'WBDS',
  typeCGImageRef = 'CGIM',
  typeWebError = 'WBER',
  typeCFURLRef = 'CFUR',
  typeCFDateRef = 'CFDT',
  typeWebFrame = 'WBFR',
  typeWebResponse = 'WBRP',
  typeWebPluginError = 'WBPE',
  typeWebRequest = 'WBRQ',
  typeWebView = 'WBVW',
  typeCFDictionaryRef = 'CFDC',
};

// Keys of the element dictionary of 'WBWO' 6: the link and the image under
// the pointer, as CFURLs, each present only when there is one.
#define kWebElementLinkURLKey "WebElementLinkURL"
#define kWebElementImageURLKey "WebElementImageURL"

// The nine functions, as the host binds them.
extern "C" {
typedef void (*WebKitInitCarbonProc)();
typedef HIViewRef (*WebKitCreateHIViewProc)();
typedef void (*WebKitLoadURLProc)(CFStringRef url, HIViewRef view);
typedef void (*WebKitViewProc)(HIViewRef view);  // reload, stop loading, go back, go forward
typedef Boolean (*WebKitCanGoProc)(HIViewRef view);
}
