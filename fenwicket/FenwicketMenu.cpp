// The contextual menu of a text view, with the engine's spelling guesses.
#include <algorithm>
#include <vector>

#include "CFString.h"
#include "MacMemory.h"
#include "MacWindows.h"
#include "fenwicket/FenwicketInternal.h"

using namespace fenwicket;

namespace {

constexpr MenuAttributes kContextualMenuAttributes = 0x20;
constexpr OSType kContextualMenuIconSpelling = 'SPEL';

void AppendItem(MenuRef menu, const char* title, MenuCommand command, OSType icon) {
  MenuItemIndex index = 0;
  AppendMenuItemTextWithCFString(menu, CFStringMakeConstantUTF8(title), 0, command, &index);
  if (icon) SetMenuItemIconRef(menu, index, kSystemIconsCreator, icon);
}

}  // namespace

namespace fenwicket {

CFArrayRef CopySpellingGuesses(CFStringRef word, WEReference we) {
  CFArrayRef guesses = nullptr;
  if (WEGuessSpelling(word, 0, &guesses, we) == noErr) return guesses;
  if (guesses) CFRelease(guesses);
  return nullptr;
}

void ShowContextualMenu(WasteData* data, SInt32 offset) {
  WEReference we = data->CONTROLLER;
  SInt32 start = 0, end = 0;
  WEGetSelection(&start, &end, we);
  SInt32 rangeStart = start, rangeEnd = end;
  const bool inside = start < offset && offset <= end;
  if (start == end || !inside) {
    WEFindWord(offset, kTrailingEdge, &rangeStart, &rangeEnd, we);
    if (rangeEnd - rangeStart > 1)
      WESetSelection(rangeStart, rangeEnd, we);
    else
      WESetSelection(offset, offset, we);
  }
  // The selection descriptor for contextual-menu plug-ins is not made:
  // there are none here.

  MenuRef menu = nullptr;
  if (CreateNewMenu(0, kContextualMenuAttributes, &menu) != noErr || menu == nullptr) return;
  SetContextualMenuFont(menu);
  NotifyContextualMenu(data, menu);

  // Guesses only where the text may be changed and where choosing one
  // replaces the word itself (the selection is that word).
  SInt32 selStart = 0, selEnd = 0;
  WEGetSelection(&selStart, &selEnd, we);
  if (selStart == rangeStart && selEnd == rangeEnd && rangeEnd > rangeStart && InputAllowed(data)) {
    const SInt32 cut = std::min(rangeEnd, rangeStart + 255);
    std::vector<UniChar> chars;
    Handle h = NewHandle(0);
    if (h && WEStreamRange(rangeStart, cut, kFlavorTypeUnicodeText, 0, h, we) == noErr) {
      const UniChar* p = reinterpret_cast<const UniChar*>(*h);
      chars.assign(p, p + GetHandleSize(h) / Size(sizeof(UniChar)));
    }
    if (h) DisposeHandle(h);
    CFStringRef word = CFStringCreateWithCharacters(nullptr, chars.data(), CFIndex(chars.size()));
    CFArrayRef guesses = word ? CopySpellingGuesses(word, we) : nullptr;
    if (guesses && CFArrayGetCount(guesses) > 0) {
      MenuRef submenu = nullptr;
      if (CreateNewMenu(0, kContextualMenuAttributes, &submenu) == noErr && submenu) {
        SetContextualMenuFont(submenu);
        for (CFIndex i = 0; i < CFArrayGetCount(guesses); ++i)
          AppendMenuItemTextWithCFString(submenu, static_cast<CFStringRef>(CFArrayGetValueAtIndex(guesses, i)), 0,
                                         kHICommandInsertWord, nullptr);
        MenuItemIndex index = 0;
        AppendMenuItemTextWithCFString(menu, CFStringMakeConstantUTF8("Spelling"), 0, 0, &index);
        SetMenuItemIconRef(menu, index, kSystemIconsCreator, kContextualMenuIconSpelling);
        SetMenuItemHierarchicalMenu(menu, index, submenu);
        ReleaseMenu(submenu);  // the item keeps its own reference
      }
    }
    if (guesses) CFRelease(guesses);
    if (word) CFRelease(word);
  }

  AppendItem(menu, "Cut", kHICommandCut, 'cut ');
  AppendItem(menu, "Copy", kHICommandCopy, 'copy');
  AppendItem(menu, "Paste", kHICommandPaste, 'past');

  // Just below the text line at the offset.
  LongPt pt{};
  SInt16 lineHeight = 0;
  WEGetPoint(offset, 1, &pt, &lineHeight, we);
  pt.v += lineHeight;
  Point where{};
  WELongPointToPoint(&pt, &where);
  if (WindowRef window = HIViewGetWindow(data->VIEW)) {
    SetPortWindowPort(window);
    LocalToGlobal(&where);
  }
  UInt32 selectionType = 0;
  MenuID menuID = 0;
  MenuItemIndex item = 0;
  ContextualMenuSelect(menu, where, false, kCMHelpItemRemoveHelp, nullptr, nullptr, &selectionType, &menuID, &item);
  ReleaseMenu(menu);
}

}  // namespace fenwicket
