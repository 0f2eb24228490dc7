// The view's edit commands (shifting lines, paste with matching styles,
// inserting a menu item's word) and the state of the edit menu.
#include <algorithm>
#include <utility>
#include <vector>

#include "CFString.h"
#include "Menus.h"
#include "fenwicket/FenwicketInternal.h"

using namespace fenwicket;

namespace {

constexpr MenuID kEditMenuID = 129;

// Runs an edit with the clients' notifications held back and the engine's
// changes collected; afterwards the clients hear each change as it was
// made, exactly, unless the host had switched notifications off.
class HeldNotifications {
 public:
  explicit HeldNotifications(WasteData* data) : data_(data), saved_(data->FLUXSTATE), outer_(data->changeLog) {
    data_->FLUXSTATE = false;
    data_->changeLog = &changes_;
  }
  void Announce() {
    data_->changeLog = outer_;
    data_->FLUXSTATE = saved_;
    if (saved_)
      for (const auto& [offset, delta] : changes_) NotifyUserFlux(data_, offset, delta, 0);
    changes_.clear();
  }
  ~HeldNotifications() {
    data_->changeLog = outer_;
    data_->FLUXSTATE = saved_;
  }

 private:
  WasteData* data_;
  Boolean saved_;
  std::vector<std::pair<SInt32, SInt32>>* outer_;
  std::vector<std::pair<SInt32, SInt32>> changes_;
};

OSStatus Shift(WasteData* data, bool right) {
  WEReference we = data->CONTROLLER;
  WEBeginAction(we);
  HeldNotifications held(data);
  SInt32 start = 0, end = 0;
  WEGetSelection(&start, &end, we);
  const SInt32 first = WEOffsetToLine(start, we);
  const SInt32 last = WEOffsetToLine(end, we);
  // The selection keeps covering the same text: each change moves the ends
  // that lie after it.
  SInt32 selStart = start, selEnd = end;
  for (SInt32 line = first; line <= last; ++line) {
    SInt32 s = 0, e = 0;
    WEGetLineRange(line, &s, &e, we);
    if (right) {
      const char tab = '\t';
      WEPut(s, s, &tab, 1, 0xFFF, wePutAddToTypingSequence, 0, nullptr, nullptr, we);
      if (s < selStart) ++selStart;
      if (s < selEnd) ++selEnd;
    } else {
      // Only a tab or a space: a line break is no indentation, and taking
      // it would join the line to the next.
      const UInt8 c = s < e ? WEGetChar(s, we) : 0;
      if (c == '\t' || c == ' ') {
        WESetSelection(s, s + 1, we);
        WEDelete(we);
        if (s < selStart) --selStart;
        if (s < selEnd) --selEnd;
      }
    }
  }
  WESetSelection(selStart, selEnd, we);
  held.Announce();
  WEEndAction(weAKTyping, we);
  return noErr;
}

OSStatus Paste(WasteData* data, const HICommand& command) {
  WEReference we = data->CONTROLLER;
  WEBeginAction(we);
  SInt32 start = 0, end = 0;
  WEGetSelection(&start, &end, we);
  // The pasted text lands at the selection's start, whichever end the
  // anchor is.
  const SInt32 cursor = start;
  const bool match = HasOption(data, kWasteViewMatchPastedStyles);
  struct Saved {
    WESelector tag;
    ByteCount size;
    UInt8 value[8];
    bool read;
  } saved[] = {{'font', 2, {}, false}, {'ptsz', 4, {}, false}, {'colr', 6, {}, false},
               {'ledg', 8, {}, false}, {'lein', 4, {}, false}};
  if (match)
    for (Saved& a : saved) a.read = WEGetOneAttribute(cursor, a.tag, a.value, a.size, we) == noErr;

  HeldNotifications held(data);
  const OSStatus status = WEProcessHICommand(&command, we);
  SInt32 newStart = 0, newEnd = 0;
  WEGetSelection(&newStart, &newEnd, we);
  const SInt32 inserted = std::max<SInt32>(0, newStart - cursor);
  if (match && inserted > 0) {
    const SInt16 redraw = WEFeatureFlag(weFInhibitRedraw, weBitSet, we);
    for (const Saved& a : saved)
      if (a.read) WESetOneAttribute(cursor, cursor + inserted, a.tag, a.value, a.size, we);
    const Boolean plain = true;
    WESetOneAttribute(cursor, cursor + inserted, 'plan', &plain, 1, we);
    WESetOneAttribute(cursor, cursor + inserted, 'pbcl', nullptr, 6, we);
    WEFeatureFlag(weFInhibitRedraw, redraw == 1 ? weBitSet : weBitClear, we);
  }
  held.Announce();
  WEEndAction(weAKPaste, we);
  return status;
}

OSStatus InsertWord(WasteData* data, const HICommand& command) {
  WEReference we = data->CONTROLLER;
  CFStringRef text = nullptr;
  if (command.menu.menuRef == nullptr ||
      CopyMenuItemTextAsCFString(command.menu.menuRef, command.menu.menuItemIndex, &text) != noErr || text == nullptr)
    return noErr;
  // At most 255 characters, taken as UTF-16 so that no guess loses letters.
  const CFIndex length = std::min<CFIndex>(CFStringGetLength(text), 255);
  std::vector<UniChar> chars(size_t(length) + 1);
  CFStringGetCharacters(text, CFRangeMake(0, length), chars.data());
  CFRelease(text);
  SInt32 start = 0, end = 0;
  WEGetSelection(&start, &end, we);
  WEPut(start, end, chars.data(), ByteCount(length) * sizeof(UniChar), kTextEncodingUnicodeDefault,
        wePutIntCutAndPaste, 0, nullptr, nullptr, we);
  return noErr;
}

OSStatus Process(WasteData* data, const HICommand& command) {
  WEReference we = data->CONTROLLER;
  switch (command.commandID) {
    case kHICommandShiftRight:
    case kHICommandShiftLeft:
      return InputAllowed(data) ? Shift(data, command.commandID == kHICommandShiftRight) : eventNotHandledErr;
    case kHICommandClear:
    case kHICommandCut:
      return InputAllowed(data) ? WEProcessHICommand(&command, we) : eventNotHandledErr;
    case kHICommandInsertWord:
      // A spelling guess edits the text: never in a view that refuses input.
      return InputAllowed(data) ? InsertWord(data, command) : eventNotHandledErr;
    case kHICommandPaste:
      return InputAllowed(data) ? Paste(data, command) : eventNotHandledErr;
    default:
      return WEProcessHICommand(&command, we);
  }
}

OSStatus UpdateStatus(WasteData* data, const HICommand& command) {
  MenuRef menu = command.menu.menuRef;
  if (menu == nullptr || GetMenuID(menu) != kEditMenuID) return eventNotHandledErr;
  WEReference we = data->CONTROLLER;
  SInt32 start = 0, end = 0;
  WEGetSelection(&start, &end, we);
  Boolean redo = false;
  WEActionKind kind = weAKNone;
  WEGetUndoInfo(&redo, &kind, we);
  bool known = true, enable = false;
  switch (command.commandID) {
    // Nothing to undo (kind 0) leaves undo off, as does a step the host
    // ended as unspecified.
    case kHICommandUndo: enable = kind != weAKNone && kind != weAKUnspecified; break;
    case kHICommandRedo: enable = redo; break;
    case kHICommandPaste: enable = WECanPaste(we) && InputAllowed(data); break;
    case kHICommandShiftRight:
    case kHICommandShiftLeft:
    case kHICommandClear:
    case kHICommandCut: enable = end > start && InputAllowed(data); break;
    case kHICommandCopy: enable = end > start; break;
    case kHICommandSelectAll: enable = true; break;
    default: known = false;
  }
  // The edit menu's other items (Macros…, Preferences…) are someone
  // else's to enable: they pass on.
  if (!known) return eventNotHandledErr;
  if (enable)
    EnableMenuItem(menu, command.menu.menuItemIndex);
  else
    DisableMenuItem(menu, command.menu.menuItemIndex);
  return noErr;
}

}  // namespace

namespace fenwicket {

OSStatus CommandHandler(EventHandlerCallRef, EventRef event, void* userData) {
  auto* data = static_cast<WasteData*>(userData);
  if (data == nullptr || data->CONTROLLER == nullptr) return eventNotHandledErr;
  HICommand command{};
  if (GetEventParameter(event, kEventParamDirectObject, typeHICommand, nullptr, sizeof command, nullptr, &command) !=
      noErr)
    return eventNotHandledErr;
  switch (GetEventKind(event)) {
    case kEventCommandProcess: return Process(data, command);
    case kEventCommandUpdateStatus: return UpdateStatus(data, command);
  }
  return eventNotHandledErr;
}

}  // namespace fenwicket
