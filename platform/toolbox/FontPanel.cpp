// The font panel: which font it shows, where its events go, and the events
// themselves; the display host shows the panel and reports the user's picks.
#include "FontPanel.h"

#include <algorithm>
#include <cstring>

#include "CFString.h"
#include "EventTargetInternal.h"
#include "FontPanelInternal.h"
#include "WEFonts.h"

namespace {

const FontPanelPresenter* gPresenter = nullptr;
bool gVisible = false;
FontPanelRequest gShown;
EventTargetRef gTarget = nullptr;

const FontPanelPresenter& Presenter() { return gPresenter ? *gPresenter : kHeadlessFontPanelPresenter; }

EventTargetRef Target() { return gTarget ? gTarget : GetApplicationEventTarget(); }

// The panel shows the face the family is drawn with: the fixed families
// (the classic names) are drawn with the engine's own faces, the others with
// their own.
std::string FamilyName(FMFontFamily family) {
  if (family == kInvalidFontFamily || !FMGetFontFamilyName(family, nullptr)) return std::string();
  const std::string faces = WEFontFace(family);
  return faces.substr(0, faces.find(','));
}

FMFontFamily FamilyNumber(const std::string& family) {
  unsigned char name[256] = {};
  CFStringRef s = CFStringCreateWithBytes(nullptr, reinterpret_cast<const UInt8*>(family.data()),
                                          CFIndex(family.size()), kCFStringEncodingUTF8, false);
  if (s == nullptr || !CFStringGetPascalString(s, name, sizeof name, kCFStringEncodingMacRoman)) {
    const size_t n = std::min<size_t>(family.size(), 255);
    name[0] = UInt8(n);
    std::memcpy(name + 1, family.data(), n);
  }
  if (s) CFRelease(s);
  return FMGetFontFamilyFromName(name);
}

// Selections go to the target the program gave (its events climb to the
// application from there); closing is the application's business.
void Send(UInt32 kind, const FontPanelRequest* selection, FMFontFamily family) {
  EventRef event = nullptr;
  if (CreateEvent(nullptr, kEventClassFont, kind, 0, kEventAttributeNone, &event) != noErr) return;
  if (selection) {
    SetEventParameter(event, kEventParamFMFontFamily, typeFMFontFamily, sizeof family, &family);
    SetEventParameter(event, kEventParamFMFontStyle, typeFMFontStyle, sizeof selection->style, &selection->style);
    SetEventParameter(event, kEventParamFMFontSize, typeFMFontSize, sizeof selection->size, &selection->size);
  }
  SendEventToEventTarget(event, selection ? Target() : GetApplicationEventTarget());
  ReleaseEvent(event);
}

}  // namespace

void FontPanelSetPresenter(const FontPanelPresenter* presenter) { gPresenter = presenter; }

OSStatus FPShowHideFontPanel() {
  if (!EventCoreCheckMainThread("FPShowHideFontPanel")) return fontPanelShowErr;
  if (gVisible) {
    Presenter().hide();
    FontPanelUserClosed();
    return noErr;
  }
  gVisible = true;
  Presenter().show(gShown);
  return noErr;
}

Boolean FPIsFontPanelVisible() { return gVisible; }

OSStatus SetFontInfoForSelection(OSType iStyleType, UInt32 iNumStyles, void* iStyles, EventTargetRef iFPEventTarget) {
  if (iNumStyles > 0) {
    if (iStyleType != kFontSelectionQDType || iStyles == nullptr) return fontPanelSelectionStyleErr;
    const auto* style = static_cast<const FontSelectionQDStyle*>(iStyles);
    if (style->version != kFontSelectionQDStyleVersionZero) return fontPanelSelectionStyleErr;
    gShown.family = FamilyName(style->instance.fontFamily);
    gShown.style = style->instance.fontStyle;
    gShown.size = style->size > 0 ? style->size : FMFontSize(12);
  }
  gTarget = iFPEventTarget;
  if (gVisible && iNumStyles > 0) Presenter().update(gShown);
  return noErr;
}

void FontPanelUserSelected(const std::string& family, FMFontStyle style, FMFontSize size) {
  if (!gVisible) return;
  gShown.family = family;
  gShown.style = style;
  gShown.size = size > 0 ? size : FMFontSize(12);
  const FMFontFamily number = family.empty() ? FMFontFamily(kInvalidFontFamily) : FamilyNumber(family);
  const FontPanelRequest picked = gShown;
  Send(kEventFontSelection, &picked, number);
}

void FontPanelUserClosed() {
  if (!gVisible) return;
  gVisible = false;
  Send(kEventFontPanelClosed, nullptr, 0);
}
