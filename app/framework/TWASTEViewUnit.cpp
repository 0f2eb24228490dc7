#include "TWASTEViewUnit.h"

#include <cstring>

#include "MacMemory.h"
#include "PascalCarbonCommon.h"
#include "TWASTEDocumentUnit.h"

namespace {

constexpr TextEncoding kUnicodeEncoding = 256;  // UTF-16, host order
constexpr WEPutOptions kPutOption = 1;

}  // namespace

// A change leaves the document modified unless it brought the text back to
// what was saved (the engine's count of changes is 0 again after undoing
// them all).
void ControllerFlux(SInt32, SInt32, UInt8, WEReference we, void* context) {
  auto* view = static_cast<TWASTEView*>(context);
  if (view == nullptr || view->document == nullptr) return;
  const Boolean modified = we == nullptr || WEGetModCount(we) != 0;
  if (view->document->modified != modified) view->document->SetModifiedState(modified);
}

void ControllerAcceptInput(Boolean& accept, WEReference, void* context) {
  auto* view = static_cast<TWASTEView*>(context);
  if (view != nullptr && view->document != nullptr && view->document->stream != nullptr) accept = false;
}

void TWASTEView::Create(ControlRef inControl) {
  TControl::Create(inControl);
  SetClassString("TWASTEView");
  if (options == 0)
    options = WasteOption(kWasteViewVerticalScrollbar) | WasteOption(kWasteViewHorizantalScrollbar);
  if (viewWindow == nullptr) viewWindow = HIViewGetWindow(inControl);
  controller = WasteCreateController(inControl, viewWindow, options);
  if (controller == nullptr) return;
  WasteCustomCallbacks callbacks{};
  callbacks.USERFLUX = ControllerFlux;
  callbacks.ACCEPTINPUT = ControllerAcceptInput;
  WasteRegisterCallbackClient(inControl, callbacks, this);
}

void TWASTEView::Release() {
  if (document != nullptr) document->ControllerGone(controller);
  document = nullptr;
  controller = nullptr;
  TControl::Release();
}

void TWASTEView::Load(TWASTEDocument* inDocument) {
  document = inDocument;
  if (document == nullptr) return;
  document->controller = controller;
  Err = document->Open();
}

void TWASTEView::Clear() {
  if (controller == nullptr) return;
  WESetSelection(0, GetTextLength(), controller);
  Err = WEDelete(controller);
}

void TWASTEView::SetStyle(const Str255& fontName, SInt16 size) {
  if (controller == nullptr) return;
  const FMFontFamily family = FMGetFontFamilyFromName(fontName.data());
  const Fixed points = Fixed(SInt32(size) << 16);
  Err = WESetOneAttribute(0, 0, 'font', &family, sizeof family, controller);
  Err = WESetOneAttribute(0, 0, 'ptsz', &points, sizeof points, controller);
}

void TWASTEView::SetText(CFStringRef text) {
  if (controller == nullptr || text == nullptr) return;
  UniChar* characters = CreateUnicodeString(text);
  if (characters == nullptr) return;
  Err = WEPut(0, GetTextLength(), characters, ByteCount(CFStringGetLength(text)) * 2, kUnicodeEncoding, kPutOption, 0,
              nullptr, nullptr, controller);
  ReleasePtr(characters);
}

void TWASTEView::Put(Ptr data, UInt32 encoding) {
  if (controller == nullptr || !IsPointerAllocated(data)) return;
  Err = WEPut(0, GetTextLength(), data, ByteCount(GetPtrSize(data)), encoding, kPutOption, 0, nullptr, nullptr,
              controller);
}

void TWASTEView::PutBytes(Ptr data, UInt32 encoding, CFRange range) {
  if (controller == nullptr || !IsPointerAllocated(data)) return;
  Err = WEPut(SInt32(range.location), SInt32(range.length), data, ByteCount(GetPtrSize(data)), encoding, kPutOption,
              0, nullptr, nullptr, controller);
}

void TWASTEView::PutPascalString(const Str255& text, CFRange range) {
  if (controller == nullptr) return;
  Err = WEPut(SInt32(range.location), SInt32(range.length), text.data() + 1, ByteCount(text.len()), 0, kPutOption, 0,
              nullptr, nullptr, controller);
}

void TWASTEView::PutCFString(CFStringRef text, CFRange range) {
  if (controller == nullptr || text == nullptr) return;
  UniChar* characters = CreateUnicodeString(text);
  if (characters == nullptr && CFStringGetLength(text) > 0) return;
  Err = WEPut(SInt32(range.location), SInt32(range.length), characters, ByteCount(CFStringGetLength(text)) * 2,
              kUnicodeEncoding, kPutOption, 0, nullptr, nullptr, controller);
  ReleasePtr(characters);
}

void TWASTEView::SetOptions(WasteViewOptions inOptions) {
  options = inOptions;
  if (control != nullptr) WasteSetOptions(control, inOptions);
}

void TWASTEView::ChangeOptions(WasteViewOptions inOptions, Boolean remove) {
  options = inOptions;
  if (control != nullptr) WasteChangeOptions(control, inOptions, remove);
}

Boolean TWASTEView::GetModified() { return controller != nullptr && WEGetModCount(controller) != 0; }

SInt32 TWASTEView::GetTextLength() { return controller != nullptr ? WEGetTextLength(controller) : 0; }

Ptr TWASTEView::CopyText(UInt32 flavor) {
  if (controller == nullptr) return nullptr;
  Handle stream = NewHandle(0);
  if (stream == nullptr) return nullptr;
  Ptr copy = nullptr;
  Err = WEStreamRange(0, GetTextLength(), flavor, 0, stream, controller);
  if (Err == noErr) copy = NewPtrCopy(*stream, GetHandleSize(stream));
  DisposeHandle(stream);
  return copy;
}

CFStringRef TWASTEView::CopyRange(CFRange range) {
  if (controller == nullptr) return nullptr;
  const SInt32 end = range.length == 0 ? GetTextLength() : SInt32(range.length);
  Handle stream = NewHandle(0);
  if (stream == nullptr) return nullptr;
  CFStringRef text = nullptr;
  Err = WEStreamRange(SInt32(range.location), end, 'utxt', 0, stream, controller);
  if (Err == noErr)
    text = CFStringCreateWithCharacters(nullptr, reinterpret_cast<const UniChar*>(*stream),
                                        CFIndex(GetHandleSize(stream) / 2));
  DisposeHandle(stream);
  return text;
}
