#include "ApplicationFramework.h"

#include <cstdint>
#include <string>

#include "PascalCarbonCommon.h"
#include "TDocumentUnit.h"

TPreferenceHandler* AppPrefs = nullptr;
OSType ApplicationSignature = 0;
IBNibRef ApplicationNib = nullptr;
Boolean ApplicationQuitting = false;

TObject* TWindowGetObject(WindowRef window) {
  if (window == nullptr) return nullptr;
  // The reference constant is pointer-sized; 0 or negative means none.
  const intptr_t value = intptr_t(GetWRefCon(window));
  return value > 0 ? reinterpret_cast<TObject*>(value) : nullptr;
}

TObject* TWindowGetPane(WindowRef window) {
  void* pane = nullptr;
  TWindowGetProperty(kTWindowPaneTag, pane, window);
  return static_cast<TObject*>(pane);
}

void TWindowSetProperty(OSType tag, const void* value, ByteCount size, WindowRef window) {
  if (size > sizeof value) size = sizeof value;
  Err = SetWindowProperty(window, kTWindowPropertyCreator, tag, size, &value);
}

void TWindowGetProperty(OSType tag, void*& value, WindowRef window) {
  value = nullptr;
  ByteCount size = 0;
  Err = GetWindowPropertySize(window, kTWindowPropertyCreator, tag, &size);
  if (Err != noErr || size > sizeof value) return;
  void* read = nullptr;
  Err = GetWindowProperty(window, kTWindowPropertyCreator, tag, size, nullptr, &read);
  if (Err == noErr) value = read;
}

void TWindowRemoveProperty(OSType tag, WindowRef window) {
  Err = RemoveWindowProperty(window, kTWindowPropertyCreator, tag);
}

void TWindowSetDocument(TDocument* document, WindowRef window) {
  if (document == nullptr) {
    Err = SetWindowTitleWithCFString(window, CFSTR(""));
    Err = RemoveWindowProxy(window);
  } else if (FSValidFSRef(document->file)) {
    // The whole name, in every script: the short form is for lists.
    const std::string full = FSGetFullName(document->file);
    CFStringRef title = CFStringCreateWithBytes(nullptr, reinterpret_cast<const UInt8*>(full.data()),
                                                CFIndex(full.size()), kCFStringEncodingUTF8, false);
    Err = SetWindowTitleWithCFString(window, title != nullptr ? title : CFSTR(document->name));
    if (title != nullptr) CFRelease(title);
    Err = HIWindowSetProxyFSRef(window, &document->file);
  } else {
    Err = SetWindowTitleWithCFString(window, CFSTR(document->name));
    Err = RemoveWindowProxy(window);
  }
}

ApplicationOpenCommandOptions GetDefaultOpenCommandOptions() {
  ApplicationOpenCommandOptions options{};
  return options;
}

namespace {

EventRef NewOpenCommandEvent() {
  EventRef event = nullptr;
  Err = CreateEvent(nullptr, kEventClassCommand, kEventCommandProcess, 0, kEventAttributeNone, &event);
  if (event == nullptr) return nullptr;
  HICommand command{};
  command.commandID = kHICommandOpenDocument;
  Err = SetEventParameter(event, kEventParamDirectObject, typeHICommand, sizeof command, &command);
  return event;
}

}  // namespace

void SendOpenDocumentCommand(const FSRef& file, Boolean newWindow) {
  EventRef event = NewOpenCommandEvent();
  if (event == nullptr) return;
  Err = SetEventParameter(event, kEventParamOpenFile, typeFSRef, sizeof file, &file);
  Err = SetEventParameter(event, kEventParamOpenNewWindow, typeBoolean, sizeof newWindow, &newWindow);
  Err = SendEventToEventTarget(event, GetApplicationEventTarget());
  ReleaseEvent(event);
}

void SendOpenDocumentCommandWithOptions(const ApplicationOpenCommandOptions& options) {
  EventRef event = NewOpenCommandEvent();
  if (event == nullptr) return;
  if (FSValidFSRef(options.file))
    Err = SetEventParameter(event, kEventParamOpenFile, typeFSRef, sizeof options.file, &options.file);
  Err = SetEventParameter(event, kEventParamOpenOptions, typeVoidPtr, sizeof options, &options);
  Err = SendEventToEventTarget(event, GetApplicationEventTarget());
  ReleaseEvent(event);
}
