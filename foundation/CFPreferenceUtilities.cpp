// Property-list files by FSRef, and single values of the application
// preferences kept for dialog controls.
#include "CFPreferenceUtilities.h"

#include <sys/stat.h>

#include <iterator>

#include "CFData.h"
#include "CFNumber.h"
#include "CFPreferences.h"
#include "CFPropertyList.h"
#include "CFString.h"
#include "CFURL.h"
#include "PascalCarbonCommon.h"

namespace {

// The stored key of a control's value: "userprefs." + key, cut at 255.
CFStringRef ControlKey(const Str255& key) {
  Str255 stored("userprefs.");
  stored += key;
  return CFSTR(stored);
}

// 0 when the item is something a whole-file read may open: not a folder or
// a device (a read of a pipe would never end), and not too large; otherwise
// why not.
SInt32 Readable(const FSRef& file) {
  FSCatalogInfo info;
  OSStatus status = FSGetCatalogInfo(&file, kFSCatInfoNodeFlags | kFSCatInfoPermissions | kFSCatInfoDataSizes,
                                     &info, nullptr, nullptr, nullptr);
  if (status != noErr) return status;
  if (info.nodeFlags & kFSNodeIsDirectoryMask) return kCFURLImproperArgumentsError;
  const auto* permissions = reinterpret_cast<const FSPermissionInfo*>(info.permissions);
  mode_t mode = permissions->mode;
  if (S_ISFIFO(mode) || S_ISCHR(mode) || S_ISBLK(mode) || S_ISSOCK(mode)) return kCFURLImproperArgumentsError;
  return SInt64(info.dataLogicalSize) <= kCFPreferencesMaxPropertyListFileSize ? 0 : SInt32(memFullErr);
}

}  // namespace

// ---------------------------------------------------------------------------
// Property-list files

CFTypeRef CFPreferencesLoadPropertyList(const FSRef& file) { return CFPreferencesLoadPropertyList(file, nullptr); }

CFTypeRef CFPreferencesLoadPropertyList(const FSRef& file, SInt32* status) {
  SInt32 read = Readable(file);
  CFTypeRef list = nullptr;
  CFURLRef url = read == 0 ? CFURLCreateFromFSRef(nullptr, &file) : nullptr;
  if (read == 0 && url == nullptr) read = fnfErr;
  if (url != nullptr) {
    CFDataRef data = nullptr;
    if (CFURLCreateDataAndPropertiesFromResource(nullptr, url, &data, nullptr, nullptr, &read) && data != nullptr)
      list = CFPropertyListCreateFromXMLData(nullptr, data, kCFPropertyListMutableContainersAndLeaves, nullptr);
    else if (read == 0)
      read = fnfErr;
    if (list == nullptr && read == 0) read = fnfErr;  // no property list in the data
    if (data) CFRelease(data);
    CFRelease(url);
  }
  if (status) *status = read;
  return list;
}

SInt32 CFPreferencesSavePropertyList(const FSRef& file, CFTypeRef list) {
  CFURLRef url = CFURLCreateFromFSRef(nullptr, &file);
  if (url == nullptr) return -1;
  CFRelease(url);
  CFDataRef data = list ? CFPropertyListCreateXMLData(nullptr, list) : nullptr;
  if (data == nullptr) return -1;
  // A temporary file renamed over the old one; the status says what went
  // wrong (a full disk, a folder that may not be written) in the File
  // Manager's terms, which the user is told in words.
  const SInt32 status = FSRefWriteFileAtomically(&file, CFDataGetBytePtr(data), size_t(CFDataGetLength(data)));
  CFRelease(data);
  return status;
}

// ---------------------------------------------------------------------------
// Single values

Str255 CFPreferencesGetStringValue(const Str255& key) {
  Str255 result;
  CFTypeRef value = CFPreferencesCopyAppValue(ControlKey(key), kCFPreferencesCurrentApplication);
  if (value == nullptr) return result;
  if (CFGetTypeID(value) == CFStringGetTypeID()) result = PCFSTR(static_cast<CFStringRef>(value));
  CFRelease(value);
  return result;
}

Boolean CFPreferencesGetBooleanValue(const Str255& key) {
  CFTypeRef value = CFPreferencesCopyAppValue(ControlKey(key), kCFPreferencesCurrentApplication);
  if (value == nullptr) return true;
  Boolean result = !(CFGetTypeID(value) == CFBooleanGetTypeID() && !CFBooleanGetValue(static_cast<CFBooleanRef>(value)));
  CFRelease(value);
  return result;
}

// ===========================================================================
// Preferences bound to controls

namespace {

// '????': no particular creator or type.
constexpr OSType kUnknownCode = 0x3F3F3F3F;
constexpr OSType kPrefCreator = kUnknownCode;
constexpr OSType kPrefTag = 'PREF';

void StoreValue(const Str255& key, CFPropertyListRef value) {
  CFPreferencesSetAppValue(ControlKey(key), value, kCFPreferencesCurrentApplication);
}

CFTypeRef CopyStored(const Str255& key) {
  return CFPreferencesCopyAppValue(ControlKey(key), kCFPreferencesCurrentApplication);
}

// The stored string under the key (the caller releases it); nil when
// missing or not a string.
CFStringRef CopyStoredString(const Str255& key) {
  CFTypeRef value = CopyStored(key);
  if (value != nullptr && CFGetTypeID(value) == CFStringGetTypeID()) return static_cast<CFStringRef>(value);
  if (value != nullptr) CFRelease(value);
  return nullptr;
}

template <typename Visit>
void WalkViews(HIViewRef view, Visit& visit) {
  if (view == nullptr) return;
  visit(view);
  const ItemCount count = HIViewCountSubviews(view);
  for (ItemCount i = 1; i <= count; ++i) {
    HIViewRef child = nullptr;
    if (HIViewGetIndexedSubview(view, CFIndex(i), &child) == noErr) WalkViews(child, visit);
  }
}

const EventTypeSpec kPaneEvents[] = {{kEventClassControl, kEventControlRemovingSubControl},
                                     {kEventClassControl, kEventControlDispose}};

}  // namespace

void SetAppStringValue(const Str255& key, ControlRef control) {
  CFStringRef text = HIViewCopyText(control);
  if (text == nullptr) return;
  StoreValue(key, text);
  CFRelease(text);
}

void SetAppBooleanValue(const Str255& key, ControlRef control) {
  StoreValue(key, GetControl32BitValue(control) != 0 ? kCFBooleanTrue : kCFBooleanFalse);
}

void SetAppMenuValue(const Str255& key, ControlRef control) {
  CFStringRef text = HIViewCopyMenuText(control);
  if (text == nullptr) return;
  StoreValue(key, text);
  CFRelease(text);
}

void RestoreAppStringValue(const Str255& key, ControlRef control) {
  CFStringRef text = CopyStoredString(key);
  if (text == nullptr) return;
  Err = HIViewSetText(control, text);
  CFRelease(text);
}

void RestoreAppBooleanValue(const Str255& key, ControlRef control) {
  SetControl32BitValue(control, CFPreferencesGetBooleanValue(key) ? 1 : 0);
}

void RestoreAppMenuValue(const Str255& key, ControlRef control) {
  CFStringRef text = CopyStoredString(key);
  if (text == nullptr) return;
  SetControl32BitValue(control, HIViewGetMenuItem(control, text));
  CFRelease(text);
}

Str255 CFPreferencesGetKey(ControlRef control) { return HIViewGetProperty(control, kPrefTag, kPrefCreator); }

void CFPreferencesDefaultSynchronize(ControlRef control) {
  const Str255 key = CFPreferencesGetKey(control);
  if (key.empty()) return;
  ControlKind kind{};
  Err = GetControlKind(control, &kind);
  switch (kind.kind) {
    case kControlKindCheckBox:
    case kControlKindRadioButton:
    case kControlKindRadioGroup:
    case kControlKindCheckGroupBox:
      SetAppBooleanValue(key, control);
      break;
    case kControlKindEditUnicodeText:
      SetAppStringValue(key, control);
      break;
    case kControlKindPopupButton:
    case kControlKindPopupGroupBox:
      SetAppMenuValue(key, control);
      break;
    default:
      break;
  }
}

void CFPreferencesDefaultRestore(ControlRef control, const ControlKind& kind, const Str255& key, void*) {
  switch (kind.kind) {
    case kControlKindCheckBox:
    case kControlKindRadioButton:
    case kControlKindRadioGroup:
      RestoreAppBooleanValue(key, control);
      break;
    case kControlKindEditUnicodeText:
      RestoreAppStringValue(key, control);
      break;
    case kControlKindPopupButton:
      RestoreAppMenuValue(key, control);
      break;
    default:
      break;
  }
}

void CFPreferencesApplyFunction(HIViewRef view, CFPreferencesApplierFunction applier, void* userData) {
  if (applier == nullptr) return;
  auto visit = [&](HIViewRef v) {
    const Str255 key = CFPreferencesGetKey(v);
    if (key.empty()) return;
    ControlKind kind{};
    Err = GetControlKind(v, &kind);
    applier(v, kind, key, userData);
  };
  WalkViews(view, visit);
}

OSStatus PaneEventHandler(EventHandlerCallRef, EventRef event, void*) {
  if (GetEventClass(event) == kEventClassControl) {
    if (GetEventKind(event) == kEventControlRemovingSubControl) {
      ControlRef removed = nullptr;
      if (GetEventParameter(event, kEventParamControlSubControl, typeControlRef, nullptr, sizeof removed, nullptr,
                            &removed) == noErr &&
          removed != nullptr)
        CFPreferencesDefaultSynchronize(removed);
    } else if (GetEventKind(event) == kEventControlDispose) {
      CFPreferencesAppSynchronize(kCFPreferencesCurrentApplication);
    }
  }
  return eventNotHandledErr;
}

void CFPreferencesInstallPaneHandler(HIViewRef view, EventHandlerProcPtr handler, void* userData) {
  static EventHandlerUPP procedure = NewEventHandlerUPP(handler);
  Err = InstallEventHandler(HIViewGetEventTarget(view), procedure, std::size(kPaneEvents), kPaneEvents,
                            userData, nullptr);
}

ControlRef CFPreferencesLoadPane(WindowRef window, IBNibRef nib, Boolean restore, const Str63& name) {
  static EventHandlerUPP paneHandler = NewEventHandlerUPP(PaneEventHandler);
  WindowRef source = nullptr;
  Err = CreateWindowFromNib(nib, CFSTR(Str255(name)), &source);
  if (Err != noErr || source == nullptr) return nullptr;

  constexpr HIViewID kPaneID = {'PANE', 128};
  constexpr HIViewID kRootID = {'ROOT', 128};
  HIViewRef pane = nullptr;
  HIViewRef root = nullptr;
  HIViewFindByID(HIViewGetRoot(source), kPaneID, &pane);
  HIViewFindByID(HIViewGetRoot(window), kRootID, &root);
  if (pane == nullptr || root == nullptr) {
    // Without both views nothing is replaced: the window keeps its pane.
    ReleaseWindow(source);
    return nullptr;
  }
  HIViewRef old = nullptr;
  if (HIViewFindByID(HIViewGetRoot(window), kPaneID, &old) == noErr && old != nullptr) DisposeControl(old);

  if (restore) CFPreferencesApplyFunction(pane, CFPreferencesDefaultRestore, nullptr);
  Err = HIViewAddSubview(root, pane);
  Err = HIViewSetVisible(pane, true);

  CGRect frame{};
  HIViewGetFrame(pane, &frame);
  Rect content{}, structure{};
  if (GetWindowBounds(window, kWindowContentRgn, &content) == noErr &&
      GetWindowBounds(window, kWindowStructureRgn, &structure) == noErr) {
    // The transition takes the structure's end state: move its bottom by
    // what the content's height changes.
    const SInt32 height = SInt32(frame.size.height) + 54;
    structure.bottom = SInt16(structure.bottom + height - (content.bottom - content.top));
    Err = TransitionWindow(window, kWindowSlideTransitionEffect, kWindowResizeTransitionAction, &structure);
  }
  if (restore)
    Err = InstallEventHandler(HIViewGetEventTarget(pane), paneHandler, std::size(kPaneEvents), kPaneEvents,
                              window, nullptr);
  ReleaseWindow(source);
  return pane;
}
