// The Ostrelle bundle: nine C functions over the web engine, and the bridge
// that turns what the engine tells into events sent to the web view.
#include "Ostrelle.h"

#include <climits>
#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

#include "../platform/web/WebEngine.h"
#include "AppleEvents.h"
#include "CFBundle.h"
#include "CFDictionary.h"
#include "CFString.h"
#include "CFURL.h"
#include "CGImage.h"
#include "Dialogs.h"
#include "Files.h"
#include "HIObject.h"
#include "HINativeView.h"
#include "Navigation.h"

#include <cairo.h>

#define OSTRELLE_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

CFStringRef UTF8String(const std::string& text) {
  return CFStringCreateWithBytes(nullptr, reinterpret_cast<const UInt8*>(text.data()), CFIndex(text.size()),
                                 kCFStringEncodingUTF8, false);
}

std::string UTF8Of(CFStringRef string) {
  if (string == nullptr) return std::string();
  const CFIndex length = CFStringGetLength(string);
  CFIndex bytes = 0;
  CFStringGetBytes(string, CFRange{0, length}, kCFStringEncodingUTF8, 0, false, nullptr, 0, &bytes);
  std::string out(size_t(bytes), '\0');
  CFStringGetBytes(string, CFRange{0, length}, kCFStringEncodingUTF8, 0, false,
                   reinterpret_cast<UInt8*>(out.data()), bytes, nullptr);
  return out;
}

CFURLRef URLOf(const std::string& uri) {
  CFStringRef string = UTF8String(uri);
  if (string == nullptr) return nullptr;
  CFURLRef url = CFURLCreateWithString(nullptr, string, nullptr);
  CFRelease(string);
  return url;
}

// The icon as an image of its own (cairo's ARGB32: premultiplied, native order).
CGImageRef ImageOf(cairo_surface_t* surface) {
  if (surface == nullptr || cairo_surface_get_type(surface) != CAIRO_SURFACE_TYPE_IMAGE) return nullptr;
  cairo_surface_flush(surface);
  const int width = cairo_image_surface_get_width(surface), height = cairo_image_surface_get_height(surface);
  const int stride = cairo_image_surface_get_stride(surface);
  if (cairo_image_surface_get_format(surface) != CAIRO_FORMAT_ARGB32 || width <= 0 || height <= 0) return nullptr;
  CFDataRef bytes = CFDataCreate(nullptr, cairo_image_surface_get_data(surface), CFIndex(stride) * height);
  CGDataProviderRef provider = CGDataProviderCreateWithCFData(bytes);
  CFRelease(bytes);
  CGColorSpaceRef space = CGColorSpaceCreateDeviceRGB();
  CGImageRef image = CGImageCreate(size_t(width), size_t(height), 8, 32, size_t(stride), space,
                                   CGBitmapInfo(kCGImageAlphaPremultipliedFirst) | kCGBitmapByteOrder32Little, provider, nullptr,
                                   true, kCGRenderingIntentDefault);
  CGColorSpaceRelease(space);
  CGDataProviderRelease(provider);
  return image;
}

class Bridge;
std::unordered_map<HIViewRef, Bridge*>& Bridges() {
  static auto* bridges = new std::unordered_map<HIViewRef, Bridge*>();
  return *bridges;
}

// One web view: its engine, and the events of what it tells.
class Bridge : public web::EngineClient {
 public:
  HIViewRef view = nullptr;
  std::unique_ptr<web::Engine> engine;

  static Bridge* Of(HIViewRef view) {
    auto it = Bridges().find(view);
    return it == Bridges().end() ? nullptr : it->second;
  }

  // --- Frame loading ('WBLC') ---
  void LoadStarted(void* dataSource) override {
    failed_ = false;
    FrameEvent(kEventWebFrameDidStartProvisionalLoad, dataSource);
  }
  void LoadRedirected(void* dataSource) override { FrameEvent(kEventWebFrameDidReceiveServerRedirect, dataSource); }
  void LoadCommitted(void* dataSource) override { FrameEvent(kEventWebFrameDidCommitLoad, dataSource); }
  // A load that failed does not finish as well (the engine says it does).
  void LoadFinished(void* dataSource) override {
    if (failed_) return;
    FrameEvent(kEventWebFrameDidFinishLoad, dataSource);
  }
  void LoadFailed(void* dataSource, void* error) override {
    failed_ = true;
    EventRef e = Make(kEventClassWebFrameLoad, kEventWebFrameDidFailLoad, dataSource);
    if (e == nullptr) return;
    SetEventParameter(e, kEventParamWebError, typeWebError, sizeof error, &error);
    Send(e, kEventTargetDontPropagate | kEventTargetSendToAllHandlers);
  }
  void LocationChangedWithinPage(void* dataSource) override {
    FrameEvent(kEventWebFrameDidChangeLocationWithinPage, dataSource);
  }
  void TitleChanged(const std::string& title) override {
    CFStringRef text = UTF8String(title);
    if (text == nullptr) return;
    EventRef e = Make(kEventClassWebFrameLoad, kEventWebFrameDidReceiveTitle, dataSource_);
    if (e != nullptr) {
      SetEventParameter(e, kEventParamWebTitle, typeCFStringRef, sizeof text, &text);
      Send(e, kEventTargetDontPropagate | kEventTargetSendToAllHandlers);
    }
    CFRelease(text);
  }
  void IconChanged(cairo_surface_t* icon) override {
    CGImageRef image = ImageOf(icon);
    if (image == nullptr) return;
    EventRef e = Make(kEventClassWebFrameLoad, kEventWebFrameDidReceiveIcon, dataSource_);
    if (e != nullptr) {
      SetEventParameter(e, kEventParamWebIcon, typeCGImageRef, sizeof image, &image);
      Send(e, kEventTargetDontPropagate | kEventTargetSendToAllHandlers);
    }
    CGImageRelease(image);
  }

  // --- Resources ('WBRL') ---
  // The host's identifier is read back whatever the send answered, and kept
  // (retained) until the resource finished or failed.
  const void* ResourceStarted(void* dataSource, const std::string& uri, void* request) override {
    EventRef e = Make(kEventClassWebResourceLoad, kEventWebResourceIdentifierForInitialRequest, dataSource);
    if (e == nullptr) return nullptr;
    CFURLRef url = URLOf(uri);
    if (url != nullptr) SetEventParameter(e, kEventParamWebURL, typeCFURLRef, sizeof url, &url);
    if (request != nullptr) SetEventParameter(e, kEventParamWebRequest, typeWebRequest, sizeof request, &request);
    SendEventToEventTargetWithOptions(e, Target(), kEventTargetDontPropagate);
    CFTypeRef id = nullptr;
    if (GetEventParameter(e, kEventParamWebResourceID, typeCFTypeRef, nullptr, sizeof id, nullptr, &id) != noErr)
      id = nullptr;
    if (id != nullptr) CFRetain(id);
    ReleaseEvent(e);
    if (url != nullptr) CFRelease(url);
    return id;
  }
  void ResourceResponse(void* dataSource, const void* id, void* response, uint64_t length) override {
    if (EventRef e = ResourceEvent(kEventWebResourceDidReceiveResponse, dataSource, id)) {
      if (response != nullptr) SetEventParameter(e, kEventParamWebResponse, typeWebResponse, sizeof response, &response);
      Send(e, kEventTargetDontPropagate | kEventTargetSendToAllHandlers);
    }
    if (EventRef e = ResourceEvent(kEventWebResourceDidReceiveContentLength, dataSource, id)) {
      const UInt32 received = length > UINT32_MAX ? UINT32_MAX : UInt32(length);
      SetEventParameter(e, kEventParamWebContentLength, typeUInt32, sizeof received, &received);
      Send(e, kEventTargetDontPropagate | kEventTargetSendToAllHandlers);
    }
  }
  void ResourceFinished(void* dataSource, const void* id) override {
    if (EventRef e = ResourceEvent(kEventWebResourceDidFinishLoading, dataSource, id))
      Send(e, kEventTargetDontPropagate | kEventTargetSendToAllHandlers);
    if (id != nullptr) CFRelease(static_cast<CFTypeRef>(id));
  }
  void ResourceFailed(void* dataSource, const void* id, void* error) override {
    if (EventRef e = ResourceEvent(kEventWebResourceDidFailLoading, dataSource, id)) {
      SetEventParameter(e, kEventParamWebError, typeWebError, sizeof error, &error);
      Send(e, kEventTargetDontPropagate | kEventTargetSendToAllHandlers);
    }
    if (id != nullptr) CFRelease(static_cast<CFTypeRef>(id));
  }

  // --- The window ('WBWO') ---
  void MouseOverElement(const std::string& link, const std::string& image) override {
    CFMutableDictionaryRef element =
        CFDictionaryCreateMutable(nullptr, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
    for (const auto& [key, uri] : {std::pair<const char*, const std::string&>{kWebElementLinkURLKey, link},
                                   std::pair<const char*, const std::string&>{kWebElementImageURLKey, image}}) {
      if (uri.empty()) continue;
      CFURLRef url = URLOf(uri);
      if (url == nullptr) continue;
      CFStringRef name = CFStringCreateWithCString(nullptr, key, kCFStringEncodingUTF8);
      CFDictionarySetValue(element, name, url);
      CFRelease(name);
      CFRelease(url);
    }
    EventRef e = Make(kEventClassWebWindow, kEventWebWindowMouseMovedOverElement, nullptr);
    if (e != nullptr) {
      CFDictionaryRef value = element;
      SetEventParameter(e, kEventParamWebElement, typeCFDictionaryRef, sizeof value, &value);
      Send(e, kEventTargetDontPropagate | kEventTargetSendToAllHandlers);
    }
    CFRelease(element);
  }

  // The host may answer a web view of this bundle: the new window's page
  // loads in it, which is then told to show.
  bool CreateWindow(const std::string& uri, void* request) override {
    EventRef e = Make(kEventClassWebWindow, kEventWebWindowCreateWebView, nullptr);
    if (e == nullptr) return false;
    if (request != nullptr) SetEventParameter(e, kEventParamWebRequest, typeWebRequest, sizeof request, &request);
    CFURLRef url = URLOf(uri);
    if (url != nullptr) SetEventParameter(e, kEventParamWebURL, typeCFURLRef, sizeof url, &url);
    HIViewRef answer = nullptr;
    if (SendEventToEventTargetWithOptions(e, Target(), kEventTargetDontPropagate) != noErr ||
        GetEventParameter(e, kEventParamWebNewView, typeWebView, nullptr, sizeof answer, nullptr, &answer) != noErr)
      answer = nullptr;
    ReleaseEvent(e);
    if (url != nullptr) CFRelease(url);
    Bridge* other = answer != nullptr ? Of(answer) : nullptr;
    if (other == nullptr) return false;
    if (!uri.empty()) other->engine->Load(uri);
    if (EventRef show = other->Make(kEventClassWebWindow, kEventWebWindowShow, nullptr))
      other->Send(show, kEventTargetDontPropagate);
    return true;
  }

  void ScriptAlert(const std::string& message) override {
    CFStringRef text = UTF8String(message);
    DialogRef alert = nullptr;
    if (CreateStandardAlert(kAlertStopAlert, text, nullptr, nullptr, &alert) == noErr) {
      DialogItemIndex item = 0;
      RunStandardAlert(alert, nullptr, &item);
    }
    if (text != nullptr) CFRelease(text);
  }

  bool ScriptConfirm(const std::string& message) override {
    AlertStdCFStringAlertParamRec param{};
    GetStandardAlertDefaultParams(&param, kStdCFStringAlertVersionOne);
    param.movable = true;
    param.helpButton = false;
    param.defaultText = kAlertDefaultOKTextCF;
    param.cancelText = kAlertDefaultCancelTextCF;
    param.otherText = nullptr;
    param.defaultButton = kAlertStdAlertOKButton;
    param.cancelButton = kAlertStdAlertCancelButton;
    CFStringRef text = UTF8String(message);
    DialogRef alert = nullptr;
    DialogItemIndex item = 0;
    if (CreateStandardAlert(kAlertStopAlert, text, nullptr, &param, &alert) == noErr)
      RunStandardAlert(alert, nullptr, &item);
    if (text != nullptr) CFRelease(text);
    return item == kAlertStdAlertOKButton;
  }

  void ChooseFile(std::function<void(const std::string* path)> done) override;

 private:
  EventTargetRef Target() { return HIObjectGetEventTarget(reinterpret_cast<HIObjectRef>(view)); }

  EventRef Make(EventClass cls, EventKind kind, void* dataSource) {
    EventRef e = nullptr;
    if (CreateEvent(nullptr, cls, kind, GetCurrentEventTime(), kEventAttributeNone, &e) != noErr) return nullptr;
    if (dataSource != nullptr) {
      dataSource_ = dataSource;
      SetEventParameter(e, kEventParamWebDataSource, typeWebDataSource, sizeof dataSource, &dataSource);
    }
    return e;
  }
  OSStatus Send(EventRef e, OptionBits options) {
    const OSStatus status = SendEventToEventTargetWithOptions(e, Target(), options);
    ReleaseEvent(e);
    return status;
  }
  void FrameEvent(EventKind kind, void* dataSource) {
    if (EventRef e = Make(kEventClassWebFrameLoad, kind, dataSource))
      Send(e, kEventTargetDontPropagate | kEventTargetSendToAllHandlers);
  }
  EventRef ResourceEvent(EventKind kind, void* dataSource, const void* id) {
    EventRef e = Make(kEventClassWebResourceLoad, kind, dataSource);
    if (e != nullptr) SetEventParameter(e, kEventParamWebResourceID, typeCFTypeRef, sizeof id, &id);
    return e;
  }

  bool failed_ = false;
  void* dataSource_ = nullptr;
};

// --- The file button's chooser ---

struct Chooser;
std::vector<Chooser*>& Choosers() {
  static auto* open = new std::vector<Chooser*>();
  return *open;
}

// One run of the choose-file dialog; it ends when the dialog terminates.
struct Chooser {
  std::function<void(const std::string* path)> done;
  bool answered = false;
  static bool Open(Chooser* c) {
    for (Chooser* o : Choosers())
      if (o == c) return true;
    return false;
  }
  static void End(Chooser* c) {
    auto& open = Choosers();
    for (auto it = open.begin(); it != open.end(); ++it)
      if (*it == c) {
        open.erase(it);
        break;
      }
    delete c;
  }
  void Answer(const std::string* path) {
    if (answered) return;
    answered = true;
    done(path);
  }
};

std::string PathOf(const FSRef& ref) {
  std::vector<UInt8> path(PATH_MAX);
  for (;;) {
    const OSStatus status = FSRefMakePath(&ref, path.data(), UInt32(path.size()));
    if (status == noErr) return reinterpret_cast<const char*>(path.data());
    if (path.size() >= (1u << 20)) return std::string();
    path.resize(path.size() * 4);
  }
}

void OpenDialogEventProc(NavEventCallbackMessage selector, NavCBRecPtr parms, void* data) {
  auto* chooser = static_cast<Chooser*>(data);
  if (selector == kNavCBUserAction && parms != nullptr) {
    std::string path;
    bool chosen = false;
    if (NavDialogGetUserAction(parms->context) == kNavUserActionChoose) {
      NavReplyRecord reply{};
      if (NavDialogGetReply(parms->context, &reply) == noErr) {
        FSRef ref{};
        if (reply.validRecord &&
            AEGetNthPtr(&reply.selection, 1, typeFSRef, nullptr, nullptr, &ref, sizeof ref, nullptr) == noErr) {
          path = PathOf(ref);
          chosen = !path.empty();
        }
        NavDisposeReply(&reply);
      }
    }
    chooser->Answer(chosen ? &path : nullptr);
  } else if (selector == kNavCBTerminate && parms != nullptr) {
    chooser->Answer(nullptr);
    NavDialogDispose(parms->context);
    Chooser::End(chooser);
  }
}

CFStringRef CopyApplicationName() {
  if (CFBundleRef main = CFBundleGetMainBundle()) {
    CFStringRef key = CFStringCreateWithCString(nullptr, "CFBundleName", kCFStringEncodingUTF8);
    CFTypeRef name = CFBundleGetValueForInfoDictionaryKey(main, key);
    CFRelease(key);
    if (name != nullptr && CFGetTypeID(name) == CFStringGetTypeID())
      return static_cast<CFStringRef>(CFRetain(name));
  }
  return CFStringCreateWithCString(nullptr, "Quorvel", kCFStringEncodingUTF8);
}

void Bridge::ChooseFile(std::function<void(const std::string* path)> done) {
  auto* chooser = new Chooser{std::move(done)};
  Choosers().push_back(chooser);
  NavDialogCreationOptions options{};
  NavGetDefaultDialogCreationOptions(&options);
  options.optionFlags &= ~kNavAllowMultipleFiles;
  CFStringRef client = CopyApplicationName();
  options.clientName = client;
  options.parentWindow = HIViewGetWindow(view);
  options.modality = options.parentWindow != nullptr ? kWindowModalityWindowModal : kWindowModalityAppModal;
  NavDialogRef dialog = nullptr;
  OSStatus status = NavCreateChooseFileDialog(&options, nullptr, OpenDialogEventProc, nullptr, nullptr, chooser, &dialog);
  if (client != nullptr) CFRelease(client);
  if (status == noErr) status = NavDialogRun(dialog);
  if (status != noErr) {
    // The dialog could not be made or run: the page hears Cancel.
    if (dialog != nullptr) NavDialogDispose(dialog);
    if (Chooser::Open(chooser)) {
      chooser->Answer(nullptr);
      Chooser::End(chooser);
    }
  }
}

OSStatus ViewEnds(EventHandlerCallRef, EventRef, void* data) {
  auto* bridge = static_cast<Bridge*>(data);
  Bridges().erase(bridge->view);
  delete bridge;
  return eventNotHandledErr;
}

Bridge* BridgeOf(HIViewRef view) { return view != nullptr ? Bridge::Of(view) : nullptr; }

}  // namespace

// --- The nine functions ---

OSTRELLE_EXPORT void WebKitInitCarbon() { web::EngineInitialize(); }

OSTRELLE_EXPORT HIViewRef WebKitCreateHIView() {
  auto* bridge = new Bridge();
  bridge->engine = web::CreateEngine(bridge);
  HIViewRef view = nullptr;
  if (bridge->engine == nullptr || HINativeViewCreate(bridge->engine->Widget(), &view) != noErr) {
    delete bridge;
    return nullptr;
  }
  bridge->view = view;
  Bridges()[view] = bridge;
  static const EventTypeSpec kDispose[] = {{kEventClassControl, kEventControlDispose}};
  InstallEventHandler(HIObjectGetEventTarget(reinterpret_cast<HIObjectRef>(view)), ViewEnds, 1, kDispose, bridge,
                      nullptr);
  return view;
}

// Loads nothing for a text that is no URL.
OSTRELLE_EXPORT void WebKitLoadURL(CFStringRef url, HIViewRef view) {
  Bridge* bridge = BridgeOf(view);
  if (bridge == nullptr || url == nullptr) return;
  CFURLRef parsed = CFURLCreateWithString(nullptr, url, nullptr);
  if (parsed == nullptr) return;
  const std::string text = UTF8Of(CFURLGetString(parsed));
  CFRelease(parsed);
  if (!text.empty()) bridge->engine->Load(text);
}

OSTRELLE_EXPORT void WebKitReload(HIViewRef view) {
  if (Bridge* bridge = BridgeOf(view)) bridge->engine->Reload();
}

OSTRELLE_EXPORT void WebKitStopLoading(HIViewRef view) {
  if (Bridge* bridge = BridgeOf(view)) bridge->engine->Stop();
}

OSTRELLE_EXPORT void WebKitGoBack(HIViewRef view) {
  if (Bridge* bridge = BridgeOf(view)) bridge->engine->GoBack();
}

OSTRELLE_EXPORT void WebKitGoForward(HIViewRef view) {
  if (Bridge* bridge = BridgeOf(view)) bridge->engine->GoForward();
}

OSTRELLE_EXPORT Boolean WebKitCanGoBack(HIViewRef view) {
  Bridge* bridge = BridgeOf(view);
  return bridge != nullptr && bridge->engine->CanGoBack();
}

OSTRELLE_EXPORT Boolean WebKitCanGoForward(HIViewRef view) {
  Bridge* bridge = BridgeOf(view);
  return bridge != nullptr && bridge->engine->CanGoForward();
}
