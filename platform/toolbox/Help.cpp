// Help tags of controls, menu items and windows. The content is kept as
// bytes in a private property of its owner, so it goes with the control,
// menu or window and holds no reference to the caller's strings.
#include <cstring>
#include <string>
#include <vector>

#include "CFData.h"
#include "CFString.h"
#include "HelpInternal.h"

namespace {

constexpr OSType kHelpCreator = 'QHlp';
constexpr OSType kHelpTag = 'cont';

bool gTagsShown = true;
Duration gDelay = 500;
bool gHeadlessShown = false;
std::string gHeadlessText;
Rect gHeadlessRect{};
const HelpTagPresenter* gPresenter = nullptr;

std::string UTF8(CFStringRef s) {
  if (s == nullptr) return std::string();
  CFDataRef data = CFStringCreateExternalRepresentation(nullptr, s, kCFStringEncodingUTF8, '?');
  if (data == nullptr) return std::string();
  std::string out(reinterpret_cast<const char*>(CFDataGetBytePtr(data)), size_t(CFDataGetLength(data)));
  CFRelease(data);
  return out;
}

void Put(std::vector<UInt8>& out, UInt32 v, int bytes) {
  for (int shift = (bytes - 1) * 8; shift >= 0; shift -= 8) out.push_back(UInt8(v >> shift));
}
UInt32 Get(const UInt8* p, int bytes) {
  UInt32 v = 0;
  for (int i = 0; i < bytes; ++i) v = v << 8 | p[i];
  return v;
}

bool Empty(const HMHelpContentRec* rec) {
  return rec == nullptr ||
         (rec->content[0].contentType == kHMNoContent && rec->content[1].contentType == kHMNoContent);
}

// version, rectangle, side, then per content: type, length, bytes.
OSStatus Encode(const HMHelpContentRec& rec, std::vector<UInt8>* out) {
  Put(*out, UInt32(rec.version), 4);
  Put(*out, UInt16(rec.absHotRect.top), 2);
  Put(*out, UInt16(rec.absHotRect.left), 2);
  Put(*out, UInt16(rec.absHotRect.bottom), 2);
  Put(*out, UInt16(rec.absHotRect.right), 2);
  Put(*out, UInt16(rec.tagSide), 2);
  for (const HMHelpContent& c : rec.content) {
    std::string bytes;
    switch (c.contentType) {
      case kHMNoContent: break;
      case kHMCFStringContent:
      case kHMCFStringLocalizedContent:
        if (c.u.tagCFString == nullptr) return paramErr;
        bytes = UTF8(c.u.tagCFString);
        break;
      case kHMPascalStrContent:
        bytes.assign(reinterpret_cast<const char*>(c.u.tagString + 1), c.u.tagString[0]);
        break;
      default: return paramErr;
    }
    Put(*out, c.contentType, 4);
    Put(*out, UInt32(bytes.size()), 4);
    out->insert(out->end(), bytes.begin(), bytes.end());
  }
  return noErr;
}

OSStatus Decode(const std::vector<UInt8>& in, HMHelpContentRec* rec) {
  std::memset(rec, 0, sizeof *rec);
  rec->content[0].contentType = rec->content[1].contentType = kHMNoContent;
  if (in.size() < 14) return errHMContentNotFound;
  const UInt8* p = in.data();
  rec->version = SInt32(Get(p, 4));
  rec->absHotRect = Rect{SInt16(Get(p + 4, 2)), SInt16(Get(p + 6, 2)), SInt16(Get(p + 8, 2)), SInt16(Get(p + 10, 2))};
  rec->tagSide = HMTagDisplaySide(Get(p + 12, 2));
  size_t at = 14;
  for (HMHelpContent& c : rec->content) {
    if (at + 8 > in.size()) return errHMContentNotFound;
    const OSType type = Get(p + at, 4);
    const size_t length = Get(p + at + 4, 4);
    at += 8;
    if (length > in.size() - at) return errHMContentNotFound;
    c.contentType = type;
    if (type == kHMPascalStrContent) {
      const size_t n = length > 255 ? 255 : length;
      c.u.tagString[0] = UInt8(n);
      std::memcpy(c.u.tagString + 1, p + at, n);
    } else if (type == kHMCFStringContent || type == kHMCFStringLocalizedContent) {
      c.u.tagCFString = CFStringCreateWithBytes(nullptr, p + at, CFIndex(length), kCFStringEncodingUTF8, false);
    }
    at += length;
  }
  return noErr;
}

template <typename Setter, typename Remover>
OSStatus Store(const HMHelpContentRec* content, Setter set, Remover remove) {
  if (Empty(content)) {
    remove();
    return noErr;
  }
  std::vector<UInt8> bytes;
  if (OSStatus status = Encode(*content, &bytes)) return status;
  return set(bytes);
}

void Clear(HMHelpContentRec* out) {
  if (out == nullptr) return;
  std::memset(out, 0, sizeof *out);
  out->content[0].contentType = out->content[1].contentType = kHMNoContent;
}

}  // namespace

OSStatus HMSetControlHelpContent(ControlRef inControl, const HMHelpContentRec* inContent) {
  if (inControl == nullptr) return errUnknownControl;
  return Store(
      inContent,
      [&](const std::vector<UInt8>& b) {
        return SetControlProperty(inControl, kHelpCreator, kHelpTag, ByteCount(b.size()), b.data());
      },
      [&] { RemoveControlProperty(inControl, kHelpCreator, kHelpTag); });
}

OSStatus HMSetMenuItemHelpContent(MenuRef inMenu, MenuItemIndex inItem, const HMHelpContentRec* inContent) {
  if (!IsValidMenu(inMenu)) return errInvalidMenuRef;
  if (inItem > CountMenuItems(inMenu)) return menuItemNotFoundErr;
  return Store(
      inContent,
      [&](const std::vector<UInt8>& b) {
        return SetMenuItemProperty(inMenu, inItem, kHelpCreator, kHelpTag, ByteCount(b.size()), b.data());
      },
      [&] { RemoveMenuItemProperty(inMenu, inItem, kHelpCreator, kHelpTag); });
}

OSStatus HMSetWindowHelpContent(WindowRef inWindow, const HMHelpContentRec* inContent) {
  if (inWindow == nullptr) return errInvalidWindowRef;
  return Store(
      inContent,
      [&](const std::vector<UInt8>& b) {
        return SetWindowProperty(inWindow, kHelpCreator, kHelpTag, ByteCount(b.size()), b.data());
      },
      [&] { RemoveWindowProperty(inWindow, kHelpCreator, kHelpTag); });
}

OSStatus HMGetControlHelpContent(ControlRef inControl, HMHelpContentRec* outContent) {
  Clear(outContent);
  if (outContent == nullptr) return paramErr;
  ByteCount size = 0;
  if (GetControlPropertySize(inControl, kHelpCreator, kHelpTag, &size) != noErr) return errHMContentNotFound;
  std::vector<UInt8> bytes(size);
  if (GetControlProperty(inControl, kHelpCreator, kHelpTag, size, &size, bytes.data()) != noErr)
    return errHMContentNotFound;
  return Decode(bytes, outContent);
}

OSStatus HMGetMenuItemHelpContent(MenuRef inMenu, MenuItemIndex inItem, HMHelpContentRec* outContent) {
  Clear(outContent);
  if (outContent == nullptr) return paramErr;
  ByteCount size = 0;
  if (GetMenuItemPropertySize(inMenu, inItem, kHelpCreator, kHelpTag, &size) != noErr) return errHMContentNotFound;
  std::vector<UInt8> bytes(size);
  if (GetMenuItemProperty(inMenu, inItem, kHelpCreator, kHelpTag, size, &size, bytes.data()) != noErr)
    return errHMContentNotFound;
  return Decode(bytes, outContent);
}

OSStatus HMGetWindowHelpContent(WindowRef inWindow, HMHelpContentRec* outContent) {
  Clear(outContent);
  if (outContent == nullptr) return paramErr;
  ByteCount size = 0;
  if (GetWindowPropertySize(inWindow, kHelpCreator, kHelpTag, &size) != noErr) return errHMContentNotFound;
  std::vector<UInt8> bytes(size);
  if (GetWindowProperty(inWindow, kHelpCreator, kHelpTag, size, &size, bytes.data()) != noErr)
    return errHMContentNotFound;
  return Decode(bytes, outContent);
}

CFStringRef HMCopyHelpContentText(const HMHelpContentRec* inContent, Boolean inMaximum) {
  if (inContent == nullptr) return nullptr;
  const HMHelpContent& c = inContent->content[inMaximum ? kHMMaximumContentIndex : kHMMinimumContentIndex];
  switch (c.contentType) {
    case kHMCFStringContent:
    case kHMCFStringLocalizedContent:  // no localized tables: the key is the text
      return c.u.tagCFString ? CFStringCreateCopy(nullptr, c.u.tagCFString) : nullptr;
    case kHMPascalStrContent:
      return CFStringCreateWithPascalString(nullptr, c.u.tagString, kCFStringEncodingMacRoman);
  }
  return nullptr;
}

OSStatus HMDisplayTag(const HMHelpContentRec* inContent) {
  if (inContent == nullptr) return paramErr;
  CFStringRef text = HMCopyHelpContentText(inContent, false);
  if (text == nullptr) return errHMIllegalContentForMinimumState;
  if (gTagsShown) {
    if (gPresenter != nullptr && gPresenter->show != nullptr) {
      gPresenter->show(text, inContent->absHotRect, inContent->tagSide);
    } else {
      gHeadlessShown = true;
      gHeadlessText = UTF8(text);
      gHeadlessRect = inContent->absHotRect;
    }
  }
  CFRelease(text);
  return noErr;
}

OSStatus HMHideTag() {
  if (gPresenter != nullptr && gPresenter->hide != nullptr) gPresenter->hide();
  gHeadlessShown = false;
  gHeadlessText.clear();
  return noErr;
}

OSStatus HMSetHelpTagsDisplayed(Boolean inDisplayTags) {
  gTagsShown = inDisplayTags != 0;
  if (!gTagsShown) HMHideTag();
  return noErr;
}
Boolean HMAreHelpTagsDisplayed() { return gTagsShown; }

OSStatus HMSetTagDelay(Duration inDelay) {
  if (inDelay < 0) return paramErr;
  gDelay = inDelay;
  return noErr;
}
OSStatus HMGetTagDelay(Duration* outDelay) {
  if (outDelay == nullptr) return paramErr;
  *outDelay = gDelay;
  return noErr;
}

void HelpSetTagPresenter(const HelpTagPresenter* presenter) { gPresenter = presenter; }

bool HelpGetShownTag(std::string* text, Rect* hotRect) {
  if (!gHeadlessShown) return false;
  if (text) *text = gHeadlessText;
  if (hotRect) *hotRect = gHeadlessRect;
  return true;
}
