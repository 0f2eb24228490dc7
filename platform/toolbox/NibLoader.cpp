// The interface-file loader: reads "Interface/NAME.nib.plist" and builds its
// windows (with their view trees), menus and menu bars. Every entry is
// checked before it is used; a file is a hostile input like any other.
#include <cmath>
#include <cstring>
#include <map>
#include <new>
#include <set>
#include <string>
#include <vector>

#include <utility>

#include "CFArray.h"
#include "CFData.h"
#include "CFDictionary.h"
#include "CFNumber.h"
#include "CFPropertyList.h"
#include "CFURL.h"
#include "EventTargetInternal.h"
#include "HIObject.h"
#include "DataBrowser.h"
#include "HIView.h"
#include "IBCarbonRuntime.h"
#include "Folders.h"
#include "Icons.h"

struct __CIBNibRef {
  CFDictionaryRef root = nullptr;
};

namespace {

constexpr int kMaxDepth = 64;  // views inside views, menus inside menus

CFStringRef ViewClassID() { return CFStringMakeConstantUTF8("com.apple.hiview"); }

// --- Reading typed entries ---------------------------------------------------------

CFStringRef Key(const char* s) { return CFStringMakeConstantUTF8(s); }

CFTypeRef Value(CFDictionaryRef d, const char* key) {
  return d ? static_cast<CFTypeRef>(CFDictionaryGetValue(d, Key(key))) : nullptr;
}

bool Is(CFTypeRef v, CFTypeID type) { return v != nullptr && CFGetTypeID(v) == type; }

CFDictionaryRef AsDict(CFTypeRef v) { return Is(v, CFDictionaryGetTypeID()) ? CFDictionaryRef(v) : nullptr; }
CFArrayRef AsArray(CFTypeRef v) { return Is(v, CFArrayGetTypeID()) ? CFArrayRef(v) : nullptr; }
CFStringRef AsString(CFTypeRef v) { return Is(v, CFStringGetTypeID()) ? CFStringRef(v) : nullptr; }

std::string UTF8(CFStringRef s) {
  if (s == nullptr) return {};
  CFIndex length = CFStringGetLength(s);
  std::vector<char> buffer(size_t(length) * 4 + 1);
  if (!CFStringGetCString(s, buffer.data(), CFIndex(buffer.size()), kCFStringEncodingUTF8)) return {};
  return buffer.data();
}

// A status that remembers the first fault.
struct Status {
  OSStatus value = noErr;
  bool ok() const { return value == noErr; }
  void Fail(OSStatus st) {
    if (value == noErr) value = st;
  }
};

constexpr OSStatus kBadEntry = kIBCarbonRuntimeObjectNotOfRequestedType;

// A number entry: false when absent; a wrong type or a non-finite value fails.
bool Number(CFDictionaryRef d, const char* key, double* out, Status& st) {
  CFTypeRef v = Value(d, key);
  if (v == nullptr) return false;
  if (!Is(v, CFNumberGetTypeID())) {
    st.Fail(kBadEntry);
    return false;
  }
  double x = 0;
  CFNumberGetValue(CFNumberRef(v), kCFNumberDoubleType, &x);
  if (!std::isfinite(x)) {
    st.Fail(kBadEntry);
    return false;
  }
  *out = x;
  return true;
}

bool Integer(CFDictionaryRef d, const char* key, SInt32* out, Status& st) {
  double x = 0;
  if (!Number(d, key, &x, st)) return false;
  if (x < -2147483648.0 || x > 2147483647.0 || x != std::floor(x)) {
    st.Fail(kBadEntry);
    return false;
  }
  *out = SInt32(x);
  return true;
}

bool Flag(CFDictionaryRef d, const char* key, bool fallback, Status& st) {
  CFTypeRef v = Value(d, key);
  if (v == nullptr) return fallback;
  if (!Is(v, CFBooleanGetTypeID())) {
    st.Fail(kBadEntry);
    return fallback;
  }
  return CFBooleanGetValue(CFBooleanRef(v));
}

CFStringRef Text(CFDictionaryRef d, const char* key, Status& st) {
  CFTypeRef v = Value(d, key);
  if (v == nullptr) return nullptr;
  if (!Is(v, CFStringGetTypeID())) {
    st.Fail(kBadEntry);
    return nullptr;
  }
  return CFStringRef(v);
}

// Four characters of Mac Roman ("word", "????") or a number.
bool FourCC(CFTypeRef v, OSType* out) {
  if (Is(v, CFNumberGetTypeID())) {
    double x = 0;
    CFNumberGetValue(CFNumberRef(v), kCFNumberDoubleType, &x);
    if (!(x >= 0 && x <= 4294967295.0) || x != std::floor(x)) return false;
    *out = OSType(x);
    return true;
  }
  CFStringRef s = AsString(v);
  if (s == nullptr || CFStringGetLength(s) != 4) return false;
  char bytes[8] = {};
  if (!CFStringGetCString(s, bytes, sizeof bytes, kCFStringEncodingMacRoman) || std::strlen(bytes) != 4) return false;
  *out = (OSType(UInt8(bytes[0])) << 24) | (OSType(UInt8(bytes[1])) << 16) | (OSType(UInt8(bytes[2])) << 8) |
         OSType(UInt8(bytes[3]));
  return true;
}

bool Code(CFDictionaryRef d, const char* key, OSType* out, Status& st) {
  CFTypeRef v = Value(d, key);
  if (v == nullptr) return false;
  if (!FourCC(v, out)) {
    st.Fail(kBadEntry);
    return false;
  }
  return true;
}

// [x, y, width, height] with sizes that are not negative and fit 16 bits.
bool Frame(CFDictionaryRef d, const char* key, CGRect* out, Status& st) {
  CFTypeRef v = Value(d, key);
  if (v == nullptr) return false;
  CFArrayRef a = AsArray(v);
  if (a == nullptr || CFArrayGetCount(a) != 4) {
    st.Fail(kBadEntry);
    return false;
  }
  double n[4];
  for (CFIndex i = 0; i < 4; ++i) {
    CFTypeRef e = CFArrayGetValueAtIndex(a, i);
    if (!Is(e, CFNumberGetTypeID())) {
      st.Fail(kBadEntry);
      return false;
    }
    CFNumberGetValue(CFNumberRef(e), kCFNumberDoubleType, &n[i]);
    if (!std::isfinite(n[i]) || std::fabs(n[i]) > 32767) {
      st.Fail(kBadEntry);
      return false;
    }
  }
  if (n[2] < 0 || n[3] < 0 || n[0] + n[2] > 32767 || n[1] + n[3] > 32767) {
    st.Fail(kBadEntry);
    return false;
  }
  *out = CGRect{{n[0], n[1]}, {n[2], n[3]}};
  return true;
}

Rect QDRect(const CGRect& r) {
  return Rect{SInt16(std::lround(r.origin.y)), SInt16(std::lround(r.origin.x)),
              SInt16(std::lround(r.origin.y + r.size.height)), SInt16(std::lround(r.origin.x + r.size.width))};
}

struct Name {
  const char* name;
  UInt32 value;
};

// A list of names, each adding its bits; an unknown name fails.
UInt32 Bits(CFDictionaryRef d, const char* key, const Name* table, size_t count, Status& st) {
  CFTypeRef v = Value(d, key);
  if (v == nullptr) return 0;
  CFArrayRef a = AsArray(v);
  if (a == nullptr) {
    st.Fail(kBadEntry);
    return 0;
  }
  UInt32 bits = 0;
  for (CFIndex i = 0; i < CFArrayGetCount(a); ++i) {
    std::string n = UTF8(AsString(CFArrayGetValueAtIndex(a, i)));
    bool found = false;
    for (size_t k = 0; k < count; ++k) {
      if (n == table[k].name) {
        bits |= table[k].value;
        found = true;
        break;
      }
    }
    if (!found) st.Fail(kBadEntry);
  }
  return bits;
}

// --- Properties (views and menu items) -------------------------------------------------

// Each entry: creator, tag and one of string (UTF-8 bytes and a terminating
// zero), data, integer (SInt32), boolean (one byte).
template <typename Setter>
void Properties(CFDictionaryRef d, Status& st, Setter set) {
  CFTypeRef v = Value(d, "properties");
  if (v == nullptr) return;
  CFArrayRef a = AsArray(v);
  if (a == nullptr) return st.Fail(kBadEntry);
  for (CFIndex i = 0; i < CFArrayGetCount(a) && st.ok(); ++i) {
    CFDictionaryRef p = AsDict(CFArrayGetValueAtIndex(a, i));
    OSType creator = 0, tag = 0;
    if (p == nullptr || !Code(p, "creator", &creator, st) || !Code(p, "tag", &tag, st)) return st.Fail(kBadEntry);
    std::vector<UInt8> bytes;
    if (CFTypeRef s = Value(p, "string")) {
      if (!Is(s, CFStringGetTypeID())) return st.Fail(kBadEntry);
      std::string u = UTF8(CFStringRef(s));
      bytes.assign(u.begin(), u.end());
      bytes.push_back(0);
    } else if (CFTypeRef dt = Value(p, "data")) {
      if (!Is(dt, CFDataGetTypeID())) return st.Fail(kBadEntry);
      const UInt8* b = CFDataGetBytePtr(CFDataRef(dt));
      bytes.assign(b, b + CFDataGetLength(CFDataRef(dt)));
    } else if (Value(p, "integer")) {
      SInt32 n = 0;
      if (!Integer(p, "integer", &n, st)) return;
      bytes.resize(sizeof n);
      std::memcpy(bytes.data(), &n, sizeof n);
    } else if (Value(p, "boolean")) {
      bytes.push_back(Flag(p, "boolean", false, st) ? 1 : 0);
    } else {
      return st.Fail(kBadEntry);
    }
    OSStatus result = set(creator, tag, bytes);
    if (result != noErr) st.Fail(result);
  }
}

// --- Menus ----------------------------------------------------------------------------

const Name kMenuAttributes[] = {
    {"excludesMarkColumn", kMenuAttrExcludesMarkColumn},
    {"autoDisable", kMenuAttrAutoDisable},
    {"usePencilGlyph", kMenuAttrUsePencilGlyph},
    {"hidden", kMenuAttrHidden},
};
const Name kItemAttributes[] = {
    {"disabled", kMenuItemAttrDisabled},
    {"iconDisabled", kMenuItemAttrIconDisabled},
    {"submenuParentChoosable", kMenuItemAttrSubmenuParentChoosable},
    {"dynamic", kMenuItemAttrDynamic},
    {"notPreviousAlternate", kMenuItemAttrNotPreviousAlternate},
    {"hidden", kMenuItemAttrHidden},
    {"separator", kMenuItemAttrSeparator},
    {"sectionHeader", kMenuItemAttrSectionHeader},
    {"ignoreMeta", kMenuItemAttrIgnoreMeta},
    {"autoRepeat", kMenuItemAttrAutoRepeat},
    {"customDraw", kMenuItemAttrCustomDraw},
    {"includeInCmdKeyMatching", kMenuItemAttrIncludeInCmdKeyMatching},
    {"autoDisable", kMenuItemAttrAutoDisable},
    {"updateSingleItem", kMenuItemAttrUpdateSingleItem},
};
const Name kModifiers[] = {
    {"shift", kMenuShiftModifier},
    {"option", kMenuOptionModifier},
    {"control", kMenuControlModifier},
    {"noCommand", kMenuNoCommandModifier},
};

struct Loader {
  CFDictionaryRef root;
  Status st;
  std::set<std::string> menusInProgress;  // named menus being built (a cycle fails)
  // Named menus built in the current menu tree, each holding one reference:
  // a name met again is the same menu, so menus that name the next one twice
  // cost one menu per name, not two to the power of the names.
  std::map<std::string, MenuRef> menusBuilt;

  ~Loader() { ForgetMenus(); }

  CFDictionaryRef Section(const char* name) { return AsDict(Value(root, name)); }

  void ForgetMenus() {
    for (auto& [name, menu] : menusBuilt) ReleaseMenu(menu);
    menusBuilt.clear();
  }
  // A menu tree of its own: a pop-up or a search field marks and edits its
  // menu, so two controls naming one menu each get their own.
  MenuRef TreeFrom(CFTypeRef spec) {
    ForgetMenus();
    MenuRef m = MenuFrom(spec, 0);
    ForgetMenus();
    return m;
  }
  MenuRef MenuFrom(CFTypeRef spec, int depth);
  MenuRef NamedMenu(const std::string& name, int depth);
  void Items(MenuRef menu, CFArrayRef items, int depth);
  MenuRef MenuBar(CFArrayRef menus);
  HIViewRef View(CFDictionaryRef d, HIViewRef parent, int depth);
  void DataBrowserConfigure(HIViewRef browser, CFDictionaryRef d);
  void Configure(HIViewRef view, CFDictionaryRef d, const std::string& cls, int depth);
};

MenuRef Loader::NamedMenu(const std::string& name, int depth) {
  CFDictionaryRef menus = Section("menus");
  CFStringRef key = CFStringCreateWithCString(nullptr, name.c_str(), kCFStringEncodingUTF8);
  CFDictionaryRef d = key && menus ? AsDict(CFDictionaryGetValue(menus, key)) : nullptr;
  if (key) CFRelease(key);
  if (d == nullptr) {
    st.Fail(kIBCarbonRuntimeCantFindObject);
    return nullptr;
  }
  if (auto built = menusBuilt.find(name); built != menusBuilt.end()) {
    RetainMenu(built->second);
    return built->second;
  }
  if (!menusInProgress.insert(name).second) {
    st.Fail(kBadEntry);  // a menu that holds itself
    return nullptr;
  }
  MenuRef m = MenuFrom(d, depth);
  menusInProgress.erase(name);
  if (m != nullptr) {
    RetainMenu(m);
    menusBuilt.emplace(name, m);
  }
  return m;
}

// A menu dictionary, or the name of one in "menus".
MenuRef Loader::MenuFrom(CFTypeRef spec, int depth) {
  if (depth > kMaxDepth) {
    st.Fail(kBadEntry);
    return nullptr;
  }
  if (CFStringRef name = AsString(spec)) return NamedMenu(UTF8(name), depth + 1);
  CFDictionaryRef d = AsDict(spec);
  if (d == nullptr) {
    st.Fail(kBadEntry);
    return nullptr;
  }
  SInt32 id = 0;
  Integer(d, "id", &id, st);
  if (id < -32768 || id > 32767) st.Fail(kBadEntry);
  MenuAttributes attributes = Bits(d, "attributes", kMenuAttributes, std::size(kMenuAttributes), st);
  if (!st.ok()) return nullptr;
  MenuRef menu = nullptr;
  OSStatus s = CreateNewMenu(MenuID(id), attributes, &menu);
  if (s != noErr) {
    st.Fail(s);
    return nullptr;
  }
  if (CFStringRef title = Text(d, "title", st)) SetMenuTitleWithCFString(menu, title);
  if (!Flag(d, "enabled", true, st)) DisableMenuItem(menu, 0);
  if (CFTypeRef items = Value(d, "items")) {
    if (CFArrayRef a = AsArray(items))
      Items(menu, a, depth);
    else
      st.Fail(kBadEntry);
  }
  if (!st.ok()) {
    ReleaseMenu(menu);
    return nullptr;
  }
  return menu;
}

void Loader::Items(MenuRef menu, CFArrayRef items, int depth) {
  for (CFIndex i = 0; i < CFArrayGetCount(items) && st.ok(); ++i) {
    CFDictionaryRef d = AsDict(CFArrayGetValueAtIndex(items, i));
    if (d == nullptr) return st.Fail(kBadEntry);
    MenuItemAttributes attributes = Bits(d, "attributes", kItemAttributes, std::size(kItemAttributes), st);
    if (Flag(d, "separator", false, st)) attributes |= kMenuItemAttrSeparator;
    if (!Flag(d, "enabled", true, st)) attributes |= kMenuItemAttrDisabled;
    OSType command = 0;
    Code(d, "command", &command, st);
    CFStringRef title = Text(d, "title", st);
    if (!st.ok()) return;
    MenuItemIndex index = 0;
    OSStatus s = AppendMenuItemTextWithCFString(menu, title, attributes, command, &index);
    if (s != noErr) return st.Fail(s);
    if (CFStringRef key = Text(d, "key", st)) {
      if (CFStringGetLength(key) != 1) return st.Fail(kBadEntry);
      SetMenuItemCommandKey(menu, index, false, CFStringGetCharacterAtIndex(key, 0));
    }
    SInt32 virtualKey = 0;
    if (Integer(d, "virtualKey", &virtualKey, st)) {
      if (virtualKey < 0 || virtualKey > 0xFFFF) return st.Fail(kBadEntry);
      SetMenuItemCommandKey(menu, index, true, UInt16(virtualKey));
    }
    SetMenuItemModifiers(menu, index, UInt8(Bits(d, "modifiers", kModifiers, std::size(kModifiers), st)));
    if (Flag(d, "checked", false, st)) CheckMenuItem(menu, index, true);
    SInt32 indent = 0;
    if (Integer(d, "indent", &indent, st)) {
      if (indent < 0 || indent > 15) return st.Fail(kBadEntry);
      SetMenuItemIndent(menu, index, UInt32(indent));
    }
    Properties(d, st, [&](OSType creator, OSType tag, const std::vector<UInt8>& bytes) {
      return SetMenuItemProperty(menu, index, creator, tag, ByteCount(bytes.size()), bytes.data());
    });
    if (CFTypeRef sub = Value(d, "submenu")) {
      MenuRef submenu = MenuFrom(sub, depth + 1);
      if (submenu == nullptr) return;
      SetMenuItemHierarchicalMenu(menu, index, submenu);
      ReleaseMenu(submenu);
    }
  }
}

MenuRef Loader::MenuBar(CFArrayRef menus) {
  MenuRef root = nullptr;
  OSStatus s = CreateNewMenu(0, 0, &root);
  if (s != noErr) {
    st.Fail(s);
    return nullptr;
  }
  // The bar is one tree: a menu it names twice is one menu.
  ForgetMenus();
  for (CFIndex i = 0; i < CFArrayGetCount(menus) && st.ok(); ++i) {
    MenuRef m = MenuFrom(CFArrayGetValueAtIndex(menus, i), 0);
    if (m == nullptr) break;
    CFStringRef title = nullptr;
    CopyMenuTitleAsCFString(m, &title);
    MenuItemIndex index = 0;
    s = AppendMenuItemTextWithCFString(root, title, 0, 0, &index);
    if (title) CFRelease(title);
    if (s == noErr) s = SetMenuItemHierarchicalMenu(root, index, m);
    ReleaseMenu(m);
    if (s != noErr) st.Fail(s);
  }
  ForgetMenus();
  if (!st.ok()) {
    ReleaseMenu(root);
    return nullptr;
  }
  return root;
}

// --- Views ----------------------------------------------------------------------------

const Name kBindings[] = {{"top", 1}, {"left", 2}, {"bottom", 4}, {"right", 8}};
const Name kSearchFieldAttributes[] = {{"cancel", kHISearchFieldAttributesCancel},
                                       {"searchIcon", kHISearchFieldAttributesSearchIcon}};
const Name kComboBoxAttributes[] = {{"autoCompletion", kHIComboBoxAutoCompletionAttribute},
                                    {"autoSort", kHIComboBoxAutoSortAttribute}};

// An event carrying the creation parameters of a registered class: the frame
// as 'boun' and each entry of "parameters" (a four-character name) by its type.
EventRef InitEvent(CFDictionaryRef d, const CGRect& frame, Status& st, std::vector<CFTypeRef>& keep) {
  EventRef e = nullptr;
  OSStatus s = CreateEvent(nullptr, kEventClassHIObject, kEventHIObjectInitialize, 0, 0, &e);
  if (s != noErr) {
    st.Fail(s);
    return nullptr;
  }
  SetEventParameter(e, kEventParamBounds, typeHIRect, sizeof frame, &frame);
  CFTypeRef v = Value(d, "parameters");
  if (v == nullptr) return e;
  CFDictionaryRef params = AsDict(v);
  if (params == nullptr) {
    st.Fail(kBadEntry);
    return e;
  }
  CFIndex count = CFDictionaryGetCount(params);
  std::vector<const void*> keys(static_cast<size_t>(count)), values(static_cast<size_t>(count));
  CFDictionaryGetKeysAndValues(params, keys.data(), values.data());
  for (CFIndex i = 0; i < count; ++i) {
    OSType name = 0;
    if (!FourCC(CFTypeRef(keys[size_t(i)]), &name)) {
      st.Fail(kBadEntry);
      break;
    }
    CFTypeRef value = CFTypeRef(values[size_t(i)]);
    if (Is(value, CFStringGetTypeID())) {
      // The event holds the reference; the string lives until creation ends.
      CFRetain(value);
      keep.push_back(value);
      SetEventParameter(e, name, typeCFStringRef, sizeof(CFStringRef), &value);
    } else if (Is(value, CFBooleanGetTypeID())) {
      Boolean b = CFBooleanGetValue(CFBooleanRef(value));
      SetEventParameter(e, name, typeBoolean, sizeof b, &b);
    } else if (Is(value, CFNumberGetTypeID())) {
      if (CFNumberIsFloatType(CFNumberRef(value))) {
        double x = 0;
        CFNumberGetValue(CFNumberRef(value), kCFNumberDoubleType, &x);
        SetEventParameter(e, name, typeFloat, sizeof x, &x);
      } else {
        SInt64 n = 0;
        CFNumberGetValue(CFNumberRef(value), kCFNumberSInt64Type, &n);
        if (n < -2147483648LL || n > 4294967295LL) {
          st.Fail(kBadEntry);
          break;
        }
        SInt32 n32 = SInt32(n);
        SetEventParameter(e, name, typeSInt32, sizeof n32, &n32);
      }
    } else if (CFArrayRef a = AsArray(value); a && CFArrayGetCount(a) == 2) {
      // [location, length]: a CFRange.
      CFRange r{};
      SInt64 n[2];
      for (CFIndex k = 0; k < 2; ++k) {
        CFTypeRef x = CFArrayGetValueAtIndex(a, k);
        if (!Is(x, CFNumberGetTypeID())) {
          st.Fail(kBadEntry);
          return e;
        }
        CFNumberGetValue(CFNumberRef(x), kCFNumberSInt64Type, &n[k]);
      }
      r.location = CFIndex(n[0]);
      r.length = CFIndex(n[1]);
      SetEventParameter(e, name, 'cfrg', sizeof r, &r);
    } else if (Is(value, CFDataGetTypeID())) {
      SetEventParameter(e, name, typeVoidPtr, ByteCount(CFDataGetLength(CFDataRef(value))),
                        CFDataGetBytePtr(CFDataRef(value)));
    } else {
      st.Fail(kBadEntry);
      break;
    }
  }
  return e;
}

HIViewRef Loader::View(CFDictionaryRef d, HIViewRef parent, int depth) {
  if (d == nullptr || depth > kMaxDepth) {
    st.Fail(kBadEntry);
    return nullptr;
  }
  CFStringRef classID = Text(d, "class", st);
  if (classID == nullptr) {
    st.Fail(kBadEntry);
    return nullptr;
  }
  const std::string cls = UTF8(classID);
  CGRect frame{};
  Frame(d, "frame", &frame, st);
  CFStringRef title = Text(d, "title", st);
  SInt32 value = 0, minimum = 0, maximum = 0;
  const bool hasValue = Integer(d, "value", &value, st);
  const bool hasMinimum = Integer(d, "minimum", &minimum, st);
  const bool hasMaximum = Integer(d, "maximum", &maximum, st);
  if (!hasMaximum && (cls == "scrollBar" || cls == "slider" || cls == "progressBar" || cls == "littleArrows"))
    maximum = 100;
  if (!st.ok()) return nullptr;
  const Rect r = QDRect(frame);
  HIViewRef view = nullptr;
  OSStatus s = noErr;
  if (cls == "view") {
    s = HIViewCreate(&frame, &view);
  } else if (cls == "userPane") {
    SInt32 features = 0;
    Integer(d, "features", &features, st);
    s = CreateUserPaneControl(nullptr, &r, UInt32(features), &view);
  } else if (cls == "pushButton") {
    s = CreatePushButtonControl(nullptr, &r, title, &view);
    // Return presses the default button of its window, Escape the cancel one.
    for (auto [key, tag] : {std::pair{"default", kControlPushButtonDefaultTag}, {"cancel", kControlPushButtonCancelTag}}) {
      const Boolean marked = Flag(d, key, false, st);
      if (s == noErr && marked) SetControlData(view, kControlEntireControl, tag, sizeof marked, &marked);
    }
  } else if (cls == "bevelButton") {
    s = CreateBevelButtonControl(nullptr, &r, title, kControlBevelButtonNormalBevel, kControlBehaviorPushbutton,
                                 nullptr, 0, 0, 0, &view);
  } else if (cls == "checkBox") {
    s = CreateCheckBoxControl(nullptr, &r, title, value, true, &view);
  } else if (cls == "radioButton") {
    s = CreateRadioButtonControl(nullptr, &r, title, value, true, &view);
  } else if (cls == "radioGroup") {
    s = CreateRadioGroupControl(nullptr, &r, &view);
  } else if (cls == "popupButton") {
    s = CreatePopupButtonControl(nullptr, &r, title, -12345, false, 0, 0, 0, &view);
  } else if (cls == "staticText") {
    s = CreateStaticTextControl(nullptr, &r, title, nullptr, &view);
  } else if (cls == "editText" || cls == "editUnicodeText") {
    s = CreateEditUnicodeTextControl(nullptr, &r, title, Flag(d, "password", false, st), nullptr, &view);
  } else if (cls == "scrollBar") {
    SInt32 viewSize = 0;
    Integer(d, "viewSize", &viewSize, st);
    s = CreateScrollBarControl(nullptr, &r, value, minimum, maximum, viewSize, true, nullptr, &view);
  } else if (cls == "slider") {
    s = CreateSliderControl(nullptr, &r, value, minimum, maximum, 0, 0, true, nullptr, &view);
  } else if (cls == "placard") {
    s = CreatePlacardControl(nullptr, &r, &view);
  } else if (cls == "groupBox") {
    s = CreateGroupBoxControl(nullptr, &r, title, Flag(d, "primary", true, st), &view);
  } else if (cls == "separator") {
    s = CreateSeparatorControl(nullptr, &r, &view);
  } else if (cls == "dataBrowser") {
    s = CreateDataBrowserControl(nullptr, &r, kDataBrowserListView, &view);
  } else if (cls == "chasingArrows") {
    s = CreateChasingArrowsControl(nullptr, &r, &view);
  } else if (cls == "progressBar") {
    s = CreateProgressBarControl(nullptr, &r, value, minimum, maximum, Flag(d, "indeterminate", false, st), &view);
  } else if (cls == "disclosureTriangle") {
    s = CreateDisclosureTriangleControl(nullptr, &r, 0, title, value, title != nullptr, true, &view);
  } else if (cls == "littleArrows") {
    s = CreateLittleArrowsControl(nullptr, &r, value, minimum, maximum, 1, &view);
  } else if (cls == "imageWell") {
    // "iconType" (and "iconCreator", the system's when absent): the icon shown.
    OSType creator = kSystemIconsCreator, type = 0;
    Code(d, "iconCreator", &creator, st);
    IconRef icon = nullptr;
    if (Code(d, "iconType", &type, st) && GetIconRef(kOnSystemDisk, creator, type, &icon) != noErr) icon = nullptr;
    ControlButtonContentInfo content{kControlNoContent, {nullptr}};
    if (icon) {
      content.contentType = kControlContentIconRef;
      content.u.iconRef = icon;
    }
    s = CreateImageWellControl(nullptr, &r, &content, &view);
    if (icon) ReleaseIconRef(icon);  // the well keeps its own reference
  } else if (cls == "imageView") {
    s = HIImageViewCreate(nullptr, &view);
  } else if (cls == "segmentedView") {
    s = HISegmentedViewCreate(&frame, &view);
  } else if (cls == "searchField") {
    const OptionBits attributes = Bits(d, "attributes", kSearchFieldAttributes, std::size(kSearchFieldAttributes), st);
    s = HISearchFieldCreate(&frame, attributes, nullptr, Text(d, "descriptiveText", st), &view);
    if (s == noErr && title) HIViewSetText(view, title);
  } else if (cls == "comboBox") {
    // "list": the texts the button offers.
    const OptionBits attributes = Bits(d, "attributes", kComboBoxAttributes, std::size(kComboBoxAttributes), st);
    s = HIComboBoxCreate(&frame, title, nullptr, AsArray(Value(d, "list")), attributes, &view);
  } else if (cls.find('.') != std::string::npos) {
    // A registered HIObject class: construct and initialise with the
    // creation parameters.
    std::vector<CFTypeRef> keep;
    EventRef init = InitEvent(d, frame, st, keep);
    HIObjectRef object = nullptr;
    if (st.ok() && init != nullptr) {
      s = HIObjectCreate(classID, init, &object);
      if (s == hiObjectClassNotFoundErr) s = errUnknownControl;
      if (s == noErr && !HIObjectIsOfClass(object, ViewClassID())) {
        CFRelease(object);  // an object that is no view has no place here
        object = nullptr;
        s = errUnknownControl;
      }
    }
    if (init) ReleaseEvent(init);
    for (CFTypeRef k : keep) CFRelease(k);
    view = reinterpret_cast<HIViewRef>(object);
  } else {
    s = errUnknownControl;
  }
  if (s != noErr || view == nullptr || !st.ok()) {
    st.Fail(s != noErr ? s : OSStatus(errUnknownControl));
    if (view) DisposeControl(view);
    return nullptr;
  }
  s = HIViewAddSubview(parent, view);
  if (s != noErr) {
    DisposeControl(view);
    st.Fail(s);
    return nullptr;
  }
  HIViewSetFrame(view, &frame);
  if (hasMinimum) SetControl32BitMinimum(view, minimum);
  if (hasMaximum) SetControl32BitMaximum(view, maximum);
  if (hasValue) SetControl32BitValue(view, value);
  Configure(view, d, cls, depth);
  // Values that depend on content (a pop-up's menu, a radio group's buttons)
  // are set again once the content is there.
  if (hasValue && st.ok()) SetControl32BitValue(view, value);
  return st.ok() ? view : nullptr;
}

void Loader::Configure(HIViewRef view, CFDictionaryRef d, const std::string& cls, int depth) {
  OSType signature = 0;
  SInt32 id = 0;
  const bool hasSignature = Code(d, "signature", &signature, st);
  const bool hasID = Integer(d, "id", &id, st);
  if (hasSignature || hasID) HIViewSetID(view, HIViewID{signature, id});
  OSType command = 0;
  if (Code(d, "command", &command, st)) HIViewSetCommandID(view, command);
  if (CFStringRef title = Text(d, "title", st); title && cls.find('.') != std::string::npos)
    SetControlTitleWithCFString(view, title);
  if (UInt32 bind = Bits(d, "layout", kBindings, std::size(kBindings), st)) {
    HILayoutInfo layout{};
    layout.version = kHILayoutInfoVersionZero;
    HIViewGetLayoutInfo(view, &layout);
    if (bind & 1) layout.binding.top = HISideBinding{nullptr, kHILayoutBindTop, 0};
    if (bind & 2) layout.binding.left = HISideBinding{nullptr, kHILayoutBindLeft, 0};
    if (bind & 4) layout.binding.bottom = HISideBinding{nullptr, kHILayoutBindBottom, 0};
    if (bind & 8) layout.binding.right = HISideBinding{nullptr, kHILayoutBindRight, 0};
    OSStatus s = HIViewSetLayoutInfo(view, &layout);
    if (s != noErr) st.Fail(s);
  }
  Properties(d, st, [&](OSType creator, OSType tag, const std::vector<UInt8>& bytes) {
    return SetControlProperty(view, creator, tag, ByteCount(bytes.size()), bytes.data());
  });
  if (cls == "searchField") {
    if (CFTypeRef spec = Value(d, "menu")) {
      MenuRef menu = TreeFrom(spec);
      if (menu != nullptr) {
        OSStatus s = HISearchFieldSetSearchMenu(view, menu);
        ReleaseMenu(menu);  // the field keeps its own reference
        if (s != noErr) st.Fail(s);
      }
    }
  }
  if (cls == "popupButton") {
    if (CFTypeRef spec = Value(d, "menu")) {
      MenuRef menu = TreeFrom(spec);
      if (menu != nullptr) {
        OSErr s = SetControlData(view, 0, kControlPopupButtonMenuRefTag, sizeof menu, &menu);
        ReleaseMenu(menu);  // the pop-up keeps its own reference
        if (s != noErr) st.Fail(s);
      }
    }
  }
  if (cls == "segmentedView") {
    if (CFTypeRef v = Value(d, "segments")) {
      CFArrayRef segments = AsArray(v);
      if (segments == nullptr) return st.Fail(kBadEntry);
      const CFIndex count = CFArrayGetCount(segments);
      HISegmentedViewSetSegmentCount(view, UInt32(count));
      for (CFIndex i = 0; i < count && st.ok(); ++i) {
        CFDictionaryRef seg = AsDict(CFArrayGetValueAtIndex(segments, i));
        if (seg == nullptr) return st.Fail(kBadEntry);
        const UInt32 n = UInt32(i + 1);
        if (CFStringRef label = Text(seg, "title", st)) HISegmentedViewSetSegmentLabel(view, n, label);
        OSType c = 0;
        if (Code(seg, "command", &c, st)) HISegmentedViewSetSegmentCommand(view, n, c);
        HISegmentedViewSetSegmentEnabled(view, n, Flag(seg, "enabled", true, st));
        SInt32 on = 0;
        if (Integer(seg, "value", &on, st)) HISegmentedViewSetSegmentValue(view, n, on);
        double width = 0;
        if (Number(seg, "width", &width, st)) HISegmentedViewSetSegmentContentWidth(view, n, false, float(width));
      }
    }
  }
  if (cls == "dataBrowser") DataBrowserConfigure(view, d);
  if (CFTypeRef v = Value(d, "subviews")) {
    CFArrayRef subviews = AsArray(v);
    if (subviews == nullptr) return st.Fail(kBadEntry);
    for (CFIndex i = 0; i < CFArrayGetCount(subviews) && st.ok(); ++i)
      View(AsDict(CFArrayGetValueAtIndex(subviews, i)), view, depth + 1);
  }
  // Hidden and disabled last, so that subviews inherit the state.
  if (!Flag(d, "visible", true, st)) HIViewSetVisible(view, false);
  if (!Flag(d, "enabled", true, st)) HIViewSetEnabled(view, false);
}

// --- Lists ------------------------------------------------------------------------------

const Name kColumnTypes[] = {{"text", kDataBrowserTextType},
                             {"icon", kDataBrowserIconType},
                             {"iconAndText", kDataBrowserIconAndTextType},
                             {"checkbox", kDataBrowserCheckboxType},
                             {"custom", kDataBrowserCustomType}};
const Name kColumnFlags[] = {{"editable", kDataBrowserPropertyIsEditable},
                             {"selectionColumn", kDataBrowserListViewSelectionColumn},
                             {"movable", kDataBrowserListViewMovableColumn},
                             {"sortable", kDataBrowserListViewSortableColumn},
                             {"typeSelect", kDataBrowserListViewTypeSelectColumn}};
const Name kBrowserAttributes[] = {{"alternatingRows", kDataBrowserAttributeListViewAlternatingRowColors},
                                   {"columnDividers", kDataBrowserAttributeListViewDrawColumnDividers}};
const Name kSelectionFlags[] = {{"dragSelect", kDataBrowserDragSelect},
                                {"selectOnlyOne", kDataBrowserSelectOnlyOne},
                                {"resetSelection", kDataBrowserResetSelection},
                                {"cmdTogglesSelection", kDataBrowserCmdTogglesSelection},
                                {"noDisjointSelection", kDataBrowserNoDisjointSelection},
                                {"alwaysExtendSelection", kDataBrowserAlwaysExtendSelection},
                                {"neverEmptySelectionSet", kDataBrowserNeverEmptySelectionSet}};
const Name kHiliteStyles[] = {{"fill", kDataBrowserTableViewFillHilite}, {"minimal", kDataBrowserTableViewMinimalHilite}};
const Name kSortOrders[] = {{"increasing", kDataBrowserOrderIncreasing}, {"decreasing", kDataBrowserOrderDecreasing}};

// One name of the table; false when absent, an unknown name fails.
bool OneOf(CFDictionaryRef d, const char* key, const Name* table, size_t count, UInt32* out, Status& st) {
  CFTypeRef v = Value(d, key);
  if (v == nullptr) return false;
  const std::string n = UTF8(AsString(v));
  for (size_t k = 0; k < count; ++k)
    if (AsString(v) && n == table[k].name) {
      *out = table[k].value;
      return true;
    }
  st.Fail(kBadEntry);
  return false;
}

// A width or height: 0 to 65535.
bool Size16(CFDictionaryRef d, const char* key, UInt16* out, Status& st) {
  SInt32 n = 0;
  if (!Integer(d, key, &n, st)) return false;
  if (n < 0 || n > 0xFFFF) {
    st.Fail(kBadEntry);
    return false;
  }
  *out = UInt16(n);
  return true;
}

// The columns and the look of a list; the host fills the rows in code.
void Loader::DataBrowserConfigure(HIViewRef browser, CFDictionaryRef d) {
  auto check = [&](OSStatus s) {
    if (s != noErr) st.Fail(kBadEntry);
  };
  if (CFTypeRef v = Value(d, "columns")) {
    CFArrayRef columns = AsArray(v);
    if (columns == nullptr) return st.Fail(kBadEntry);
    for (CFIndex i = 0; i < CFArrayGetCount(columns) && st.ok(); ++i) {
      CFDictionaryRef c = AsDict(CFArrayGetValueAtIndex(columns, i));
      if (c == nullptr) return st.Fail(kBadEntry);
      DataBrowserListViewColumnDesc desc{};
      desc.headerBtnDesc.version = kDataBrowserListViewLatestHeaderDesc;
      if (!Code(c, "property", &desc.propertyDesc.propertyID, st)) return st.Fail(kBadEntry);
      UInt32 type = kDataBrowserTextType;
      OneOf(c, "type", kColumnTypes, std::size(kColumnTypes), &type, st);
      desc.propertyDesc.propertyType = type;
      desc.propertyDesc.propertyFlags = Bits(c, "flags", kColumnFlags, std::size(kColumnFlags), st);
      desc.headerBtnDesc.titleString = Text(c, "title", st);
      Size16(c, "minimumWidth", &desc.headerBtnDesc.minimumWidth, st);
      Size16(c, "maximumWidth", &desc.headerBtnDesc.maximumWidth, st);
      UInt16 width = 0;
      const bool hasWidth = Size16(c, "width", &width, st);
      if (!st.ok()) return;
      check(AddDataBrowserListViewColumn(browser, &desc, kDataBrowserListViewAppendColumn));
      if (hasWidth && st.ok())
        check(SetDataBrowserTableViewNamedColumnWidth(browser, desc.propertyDesc.propertyID, width));
    }
  }
  OSType disclosure = 0;
  if (Code(d, "disclosureColumn", &disclosure, st) && st.ok())
    check(SetDataBrowserListViewDisclosureColumn(browser, disclosure, true));
  UInt16 height = 0;
  if (Size16(d, "headerHeight", &height, st)) SetDataBrowserListViewHeaderBtnHeight(browser, height);
  if (Size16(d, "rowHeight", &height, st)) {
    if (height == 0) return st.Fail(kBadEntry);
    SetDataBrowserTableViewRowHeight(browser, height);
  }
  if (UInt32 bits = Bits(d, "attributes", kBrowserAttributes, std::size(kBrowserAttributes), st))
    DataBrowserChangeAttributes(browser, bits, 0);
  if (Value(d, "selection"))
    SetDataBrowserSelectionFlags(browser, Bits(d, "selection", kSelectionFlags, std::size(kSelectionFlags), st));
  UInt32 choice = 0;
  if (OneOf(d, "hilite", kHiliteStyles, std::size(kHiliteStyles), &choice, st))
    SetDataBrowserTableViewHiliteStyle(browser, choice);
  OSType sortProperty = 0;
  if (Code(d, "sortProperty", &sortProperty, st) && st.ok()) {
    DataBrowserTableViewColumnIndex position = 0;  // it must name a column
    check(GetDataBrowserTableViewColumnPosition(browser, sortProperty, &position));
    if (st.ok()) SetDataBrowserSortProperty(browser, sortProperty);
  }
  if (OneOf(d, "sortOrder", kSortOrders, std::size(kSortOrders), &choice, st))
    SetDataBrowserSortOrder(browser, DataBrowserSortOrder(choice));
}

// --- Windows --------------------------------------------------------------------------

const Name kClasses[] = {
    {"alert", kAlertWindowClass},       {"modal", kModalWindowClass},
    {"movableModal", kMovableModalWindowClass}, {"movableAlert", kMovableAlertWindowClass},
    {"floating", kFloatingWindowClass}, {"document", kDocumentWindowClass},
    {"utility", kUtilityWindowClass},   {"help", kHelpWindowClass},
    {"sheet", kSheetWindowClass},       {"toolbar", kToolbarWindowClass},
    {"plain", kPlainWindowClass},       {"overlay", kOverlayWindowClass},
    {"sheetAlert", kSheetAlertWindowClass}, {"altPlain", kAltPlainWindowClass},
    {"drawer", kDrawerWindowClass},
};
const Name kWindowAttributes[] = {
    {"closeBox", kWindowCloseBoxAttribute},
    {"horizontalZoom", kWindowHorizontalZoomAttribute},
    {"verticalZoom", kWindowVerticalZoomAttribute},
    {"fullZoom", kWindowFullZoomAttribute},
    {"collapseBox", kWindowCollapseBoxAttribute},
    {"resizable", kWindowResizableAttribute},
    {"sideTitlebar", kWindowSideTitlebarAttribute},
    {"toolbarButton", kWindowToolbarButtonAttribute},
    {"unifiedTitleAndToolbar", kWindowUnifiedTitleAndToolbarAttribute},
    {"metal", kWindowMetalAttribute},
    {"noTitleBar", kWindowNoTitleBarAttribute},
    {"metalNoContentSeparator", kWindowMetalNoContentSeparatorAttribute},
    {"doesNotCycle", kWindowDoesNotCycleAttribute},
    {"noUpdates", kWindowNoUpdatesAttribute},
    {"noActivates", kWindowNoActivatesAttribute},
    {"opaqueForEvents", kWindowOpaqueForEventsAttribute},
    {"compositing", kWindowCompositingAttribute},
    {"noShadow", kWindowNoShadowAttribute},
    {"asyncDrag", kWindowAsyncDragAttribute},
    {"hideOnSuspend", kWindowHideOnSuspendAttribute},
    {"standardHandler", kWindowStandardHandlerAttribute},
    {"hideOnFullScreen", kWindowHideOnFullScreenAttribute},
    {"inWindowMenu", kWindowInWindowMenuAttribute},
    {"liveResize", kWindowLiveResizeAttribute},
    {"ignoreClicks", kWindowIgnoreClicksAttribute},
    {"noConstrain", kWindowNoConstrainAttribute},
    {"standardDocument", kWindowStandardDocumentAttributes},
    {"standardFloating", kWindowStandardFloatingAttributes},
};
const Name kPositions[] = {
    {"center", kWindowCenterOnMainScreen},
    {"alert", kWindowAlertPositionOnMainScreen},
    {"cascade", kWindowCascadeOnMainScreen},
};

WindowClass ClassOf(CFDictionaryRef d, Status& st) {
  CFTypeRef v = Value(d, "class");
  if (v == nullptr) return kDocumentWindowClass;
  std::string n = UTF8(AsString(v));
  for (const auto& c : kClasses)
    if (n == c.name) return c.value;
  st.Fail(errUnrecognizedWindowClass);
  return kDocumentWindowClass;
}

CFDictionaryRef Entry(IBNibRef nib, const char* section, CFStringRef name) {
  if (nib == nullptr || name == nullptr || CFGetTypeID(name) != CFStringGetTypeID()) return nullptr;
  CFDictionaryRef s = AsDict(Value(nib->root, section));
  return s ? AsDict(CFDictionaryGetValue(s, name)) : nullptr;
}

// Whether the section has the name at all (of whatever type).
bool HasEntry(IBNibRef nib, const char* section, CFStringRef name) {
  if (nib == nullptr || name == nullptr || CFGetTypeID(name) != CFStringGetTypeID()) return false;
  CFDictionaryRef s = AsDict(Value(nib->root, section));
  return s && CFDictionaryGetValue(s, name) != nullptr;
}

std::set<IBNibRef>& LiveNibs() {
  static auto* s = new std::set<IBNibRef>;
  return *s;
}

bool IsNib(IBNibRef nib) { return nib != nullptr && LiveNibs().count(nib) != 0; }

}  // namespace

OSStatus CreateNibReferenceWithCFBundle(CFBundleRef inBundle, CFStringRef inNibName, IBNibRef* outNibRef) {
  if (outNibRef == nullptr) return paramErr;
  *outNibRef = nullptr;
  if (inBundle == nullptr || inNibName == nullptr || CFGetTypeID(inNibName) != CFStringGetTypeID()) return paramErr;
  const std::string name = UTF8(inNibName);
  if (name.empty() || name.find('/') != std::string::npos || name == "." || name == "..") return paramErr;
  CFURLRef url = CFBundleCopyResourceURL(inBundle, inNibName, CFStringMakeConstantUTF8("nib.plist"),
                                         CFStringMakeConstantUTF8("Interface"));
  if (url == nullptr) return fnfErr;
  CFDataRef data = nullptr;
  SInt32 error = 0;
  const bool read = CFURLCreateDataAndPropertiesFromResource(nullptr, url, &data, nullptr, nullptr, &error);
  CFRelease(url);
  if (!read || data == nullptr) return fnfErr;
  CFPropertyListRef plist = CFPropertyListCreateFromXMLData(nullptr, data, kCFPropertyListImmutable, nullptr);
  CFRelease(data);
  if (plist == nullptr || CFGetTypeID(plist) != CFDictionaryGetTypeID()) {
    if (plist) CFRelease(plist);
    return kIBCarbonRuntimeMalformedFile;
  }
  auto* nib = new (std::nothrow) __CIBNibRef;
  if (nib == nullptr) {
    CFRelease(plist);
    return memFullErr;
  }
  nib->root = CFDictionaryRef(plist);
  LiveNibs().insert(nib);
  *outNibRef = nib;
  return noErr;
}

OSStatus CreateNibReference(CFStringRef inNibName, IBNibRef* outNibRef) {
  return CreateNibReferenceWithCFBundle(CFBundleGetMainBundle(), inNibName, outNibRef);
}

void DisposeNibReference(IBNibRef inNibRef) {
  if (!IsNib(inNibRef)) return;
  LiveNibs().erase(inNibRef);
  CFRelease(inNibRef->root);
  delete inNibRef;
}

OSStatus CreateWindowFromNib(IBNibRef inNibRef, CFStringRef inName, WindowRef* outWindow) {
  if (outWindow == nullptr) return paramErr;
  *outWindow = nullptr;
  if (!IsNib(inNibRef)) return paramErr;
  if (!EventCoreCheckMainThread("CreateWindowFromNib")) return eventInternalErr;
  CFDictionaryRef d = Entry(inNibRef, "windows", inName);
  if (d == nullptr)
    return HasEntry(inNibRef, "windows", inName) ? kBadEntry : OSStatus(kIBCarbonRuntimeCantFindObject);
  Loader loader{inNibRef->root, {}, {}, {}};
  Status& st = loader.st;
  const WindowClass windowClass = ClassOf(d, st);
  const WindowAttributes attributes = Bits(d, "attributes", kWindowAttributes, std::size(kWindowAttributes), st);
  CGRect bounds{{100, 100}, {400, 300}};
  Frame(d, "bounds", &bounds, st);
  if (!st.ok()) return st.value;
  Rect content = QDRect(bounds);
  WindowRef window = nullptr;
  OSStatus s = CreateNewWindow(windowClass, attributes, &content, &window);
  if (s != noErr) return s;
  if (CFStringRef title = Text(d, "title", st)) SetWindowTitleWithCFString(window, title);
  SInt32 kind = 0;
  if (Integer(d, "kind", &kind, st)) SetWindowKind(window, SInt16(kind));
  CGRect limits{};
  if (Frame(d, "sizeLimits", &limits, st)) {
    // [minimum width, minimum height, maximum width, maximum height]
    HISize minimum{limits.origin.x, limits.origin.y}, maximum{limits.size.width, limits.size.height};
    SetWindowResizeLimits(window, &minimum, &maximum);
  }
  if (CFTypeRef position = Value(d, "position")) {
    std::string p = UTF8(AsString(position));
    bool found = false;
    for (const auto& n : kPositions) {
      if (p == n.name) {
        RepositionWindow(window, nullptr, n.value);
        found = true;
      }
    }
    if (!found) st.Fail(kBadEntry);
  }
  if (CFTypeRef v = Value(d, "views")) {
    CFArrayRef views = AsArray(v);
    if (views == nullptr) st.Fail(kBadEntry);
    HIViewRef root = HIViewGetRoot(window);
    for (CFIndex i = 0; views && i < CFArrayGetCount(views) && st.ok(); ++i)
      loader.View(AsDict(CFArrayGetValueAtIndex(views, i)), root, 0);
  }
  if (!st.ok()) {
    DisposeWindow(window);
    return st.value;
  }
  *outWindow = window;
  return noErr;
}

OSStatus CreateMenuFromNib(IBNibRef inNibRef, CFStringRef inName, MenuRef* outMenuRef) {
  if (outMenuRef == nullptr) return paramErr;
  *outMenuRef = nullptr;
  if (!IsNib(inNibRef)) return paramErr;
  if (!HasEntry(inNibRef, "menus", inName)) return kIBCarbonRuntimeCantFindObject;
  Loader loader{inNibRef->root, {}, {}, {}};
  MenuRef menu = loader.NamedMenu(UTF8(inName), 0);
  if (menu == nullptr) return loader.st.ok() ? OSStatus(kBadEntry) : loader.st.value;
  *outMenuRef = menu;
  return noErr;
}

OSStatus CreateMenuBarFromNib(IBNibRef inNibRef, CFStringRef inName, Handle* outMenuBar) {
  if (outMenuBar == nullptr) return paramErr;
  *outMenuBar = nullptr;
  if (!IsNib(inNibRef)) return paramErr;
  if (!HasEntry(inNibRef, "menuBars", inName)) return kIBCarbonRuntimeCantFindObject;
  CFDictionaryRef bars = AsDict(Value(inNibRef->root, "menuBars"));
  CFArrayRef menus = AsArray(CFDictionaryGetValue(bars, inName));
  if (menus == nullptr) return kBadEntry;
  Loader loader{inNibRef->root, {}, {}, {}};
  MenuRef root = loader.MenuBar(menus);
  if (root == nullptr) return loader.st.ok() ? OSStatus(kBadEntry) : loader.st.value;
  *outMenuBar = reinterpret_cast<Handle>(root);
  return noErr;
}

void SetMenuBar(Handle inMenuBar) {
  MenuRef root = reinterpret_cast<MenuRef>(inMenuBar);
  if (!IsValidMenu(root)) return;
  // The hierarchical menus of the old bar go with it.
  ClearMenuBar();
  SetRootMenu(root);
  DrawMenuBar();
}

void DisposeMenuBar(Handle inMenuBar) {
  MenuRef root = reinterpret_cast<MenuRef>(inMenuBar);
  if (IsValidMenu(root)) ReleaseMenu(root);
}

OSStatus SetMenuBarFromNib(IBNibRef inNibRef, CFStringRef inName) {
  Handle bar = nullptr;
  OSStatus st = CreateMenuBarFromNib(inNibRef, inName, &bar);
  if (st != noErr) return st;
  SetMenuBar(bar);
  DisposeMenuBar(bar);
  return noErr;
}
