// Playing what a page does on a headless stand-in web view (WebEngine.h):
// the calls the bundle made of it, and the page's own doings. Exported by the
// Ostrelle bundle beside its nine functions, so that tests bind them by name
// as the host binds the others. Each does nothing for a view that is no
// stand-in view.
#pragma once

#include "HIView.h"

extern "C" {
// What the view was asked to do, one line each: "load URI", "reload", "stop",
// "back URI", "forward URI" (the URI gone to). Valid until the next call.
__attribute__((visibility("default"))) const char* OstrelleStandInCalls(HIViewRef view);
// The pointer moves over a link and/or an image (URIs; nil or empty for none).
__attribute__((visibility("default"))) void OstrelleStandInHover(HIViewRef view, const char* link, const char* image);
// A script sets the page's title.
__attribute__((visibility("default"))) void OstrelleStandInSetTitle(HIViewRef view, const char* title);
// A script calls alert (0), confirm (1) or prompt (2) with the message;
// answers what the script gets: 1 for a confirmed confirm, 1 for a prompt
// that got no text (null), 0 otherwise.
__attribute__((visibility("default"))) int OstrelleStandInScriptDialog(HIViewRef view, int type, const char* message);
// The user clicks a file button of the page; then the path the page was
// given (nil while none was chosen or when cancelled).
__attribute__((visibility("default"))) void OstrelleStandInClickFileButton(HIViewRef view);
__attribute__((visibility("default"))) const char* OstrelleStandInChosenFile(HIViewRef view);
// A script opens a new window on uri; answers whether the host took it.
__attribute__((visibility("default"))) int OstrelleStandInOpenWindow(HIViewRef view, const char* uri);
}
