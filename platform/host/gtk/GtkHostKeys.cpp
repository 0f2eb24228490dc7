// Keys of this desktop as the toolbox knows them: Mac virtual key codes of
// the physical key, Mac modifier bits, and the character codes the handlers
// test for (return 13, enter 3, backspace 8, the arrows 28-31, ...).
#include "GtkHost.h"

namespace {

constexpr UInt32 kNoKeyCode = 0xFFFF;

// Virtual key codes of the ANSI keyboard, by the unshifted character.
UInt32 KeyCodeOfCharacter(guint c) {
  switch (c) {
    case 'a': return 0;   case 's': return 1;   case 'd': return 2;   case 'f': return 3;
    case 'h': return 4;   case 'g': return 5;   case 'z': return 6;   case 'x': return 7;
    case 'c': return 8;   case 'v': return 9;   case 'b': return 11;  case 'q': return 12;
    case 'w': return 13;  case 'e': return 14;  case 'r': return 15;  case 'y': return 16;
    case 't': return 17;  case '1': return 18;  case '2': return 19;  case '3': return 20;
    case '4': return 21;  case '6': return 22;  case '5': return 23;  case '=': return 24;
    case '9': return 25;  case '7': return 26;  case '-': return 27;  case '8': return 28;
    case '0': return 29;  case ']': return 30;  case 'o': return 31;  case 'u': return 32;
    case '[': return 33;  case 'i': return 34;  case 'p': return 35;  case 'l': return 37;
    case 'j': return 38;  case '\'': return 39; case 'k': return 40;  case ';': return 41;
    case '\\': return 42; case ',': return 43;  case '/': return 44;  case 'n': return 45;
    case 'm': return 46;  case '.': return 47;  case ' ': return 49;  case '`': return 50;
  }
  return kNoKeyCode;
}

struct SpecialKey {
  guint keyval;
  UInt32 keyCode;
  UInt8 charCode;
};

// Keys without a printing character, and the keypad (whose keys keep their
// own codes whether Num Lock makes them digits or movement keys).
constexpr SpecialKey kSpecialKeys[] = {
    {GDK_KEY_Return, 36, 13},     {GDK_KEY_ISO_Enter, 36, 13}, {GDK_KEY_KP_Enter, 76, 3},
    {GDK_KEY_Tab, 48, 9},         {GDK_KEY_ISO_Left_Tab, 48, 9},
    {GDK_KEY_BackSpace, 51, 8},   {GDK_KEY_Escape, 53, 27},    {GDK_KEY_Delete, 117, 127},
    {GDK_KEY_Help, 114, 5},       {GDK_KEY_Insert, 114, 5},
    {GDK_KEY_Home, 115, 1},       {GDK_KEY_End, 119, 4},       {GDK_KEY_Page_Up, 116, 11},
    {GDK_KEY_Page_Down, 121, 12}, {GDK_KEY_Left, 123, 28},     {GDK_KEY_Right, 124, 29},
    {GDK_KEY_Up, 126, 30},        {GDK_KEY_Down, 125, 31},
    {GDK_KEY_F1, 122, 16},  {GDK_KEY_F2, 120, 16},  {GDK_KEY_F3, 99, 16},   {GDK_KEY_F4, 118, 16},
    {GDK_KEY_F5, 96, 16},   {GDK_KEY_F6, 97, 16},   {GDK_KEY_F7, 98, 16},   {GDK_KEY_F8, 100, 16},
    {GDK_KEY_F9, 101, 16},  {GDK_KEY_F10, 109, 16}, {GDK_KEY_F11, 103, 16}, {GDK_KEY_F12, 111, 16},
    {GDK_KEY_F13, 105, 16}, {GDK_KEY_F14, 107, 16}, {GDK_KEY_F15, 113, 16},
    {GDK_KEY_KP_0, 82, '0'}, {GDK_KEY_KP_1, 83, '1'}, {GDK_KEY_KP_2, 84, '2'}, {GDK_KEY_KP_3, 85, '3'},
    {GDK_KEY_KP_4, 86, '4'}, {GDK_KEY_KP_5, 87, '5'}, {GDK_KEY_KP_6, 88, '6'}, {GDK_KEY_KP_7, 89, '7'},
    {GDK_KEY_KP_8, 91, '8'}, {GDK_KEY_KP_9, 92, '9'}, {GDK_KEY_KP_Decimal, 65, '.'},
    {GDK_KEY_KP_Insert, 82, 5},     {GDK_KEY_KP_End, 83, 4},      {GDK_KEY_KP_Down, 84, 31},
    {GDK_KEY_KP_Page_Down, 85, 12}, {GDK_KEY_KP_Left, 86, 28},    {GDK_KEY_KP_Begin, 87, 0},
    {GDK_KEY_KP_Right, 88, 29},     {GDK_KEY_KP_Home, 89, 1},     {GDK_KEY_KP_Up, 91, 30},
    {GDK_KEY_KP_Page_Up, 92, 11},   {GDK_KEY_KP_Delete, 65, 127},
    {GDK_KEY_KP_Multiply, 67, '*'}, {GDK_KEY_KP_Add, 69, '+'},    {GDK_KEY_Clear, 71, 27},
    {GDK_KEY_KP_Divide, 75, '/'},   {GDK_KEY_KP_Subtract, 78, '-'}, {GDK_KEY_KP_Equal, 81, '='},
};

const SpecialKey* FindSpecial(guint keyval) {
  for (const SpecialKey& k : kSpecialKeys)
    if (k.keyval == keyval) return &k;
  return nullptr;
}

// The Mac Roman code of a character, 0 when Mac Roman has none.
UInt8 MacRomanOf(UniChar u) {
  if (u < 0x80) return UInt8(u);
  CFStringRef s = CFStringCreateWithCharacters(nullptr, &u, 1);
  if (s == nullptr) return 0;
  char buffer[4] = {};
  UInt8 code = 0;
  if (CFStringGetCString(s, buffer, sizeof buffer, kCFStringEncodingMacRoman) && buffer[0] != 0 && buffer[1] == 0)
    code = UInt8(buffer[0]);
  CFRelease(s);
  return code;
}

}  // namespace

UInt32 GtkHostMacModifiers(guint state) {
  UInt32 m = 0;
  if (state & GDK_CONTROL_MASK) m |= kGtkHostCmdKey;
  if (state & GDK_SHIFT_MASK) m |= kGtkHostShiftKey;
  if (state & GDK_LOCK_MASK) m |= kGtkHostAlphaLock;
  if (state & GDK_MOD1_MASK) m |= kGtkHostOptionKey;
  if (state & (GDK_SUPER_MASK | GDK_MOD4_MASK)) m |= kGtkHostControlKey;
  return m;
}

GtkHostKey GtkHostMapKey(guint keyval, guint baseKeyval) {
  if (baseKeyval == 0) baseKeyval = keyval;
  GtkHostKey key{kNoKeyCode, 0, 0};
  // The code names the physical key; the characters what it typed.
  const SpecialKey* physical = FindSpecial(baseKeyval);
  const SpecialKey* typed = FindSpecial(keyval);
  if (physical) {
    key.keyCode = physical->keyCode;
  } else if (typed) {
    key.keyCode = typed->keyCode;
  } else {
    const gunichar base = gdk_keyval_to_unicode(gdk_keyval_to_lower(baseKeyval));
    if (base != 0 && base < 0x80) key.keyCode = KeyCodeOfCharacter(base);
  }
  if (typed) {
    key.charCode = typed->charCode;
    key.unicode = typed->charCode;
    return key;
  }
  const gunichar c = gdk_keyval_to_unicode(keyval);
  if (c != 0 && c <= 0xFFFF) {
    key.unicode = UniChar(c);
    key.charCode = MacRomanOf(key.unicode);
  }
  return key;
}

bool GtkHostMapNavigation(guint keyval, guint gdkState, GtkHostKey* ioKey, UInt32* ioModifiers) {
  // Alt and Super keep the Mac meaning of their keys (Alt+Left is already a word).
  if (gdkState & (GDK_MOD1_MASK | GDK_SUPER_MASK | GDK_MOD4_MASK)) return false;
  const bool ctrl = gdkState & GDK_CONTROL_MASK;
  struct Gesture {
    UInt32 keyCode;
    UInt8 charCode;
    UInt32 modifiers;
  };
  constexpr Gesture kLineStart{123, 28, kGtkHostCmdKey}, kLineEnd{124, 29, kGtkHostCmdKey},
      kTextStart{126, 30, kGtkHostCmdKey}, kTextEnd{125, 31, kGtkHostCmdKey}, kWordLeft{123, 28, kGtkHostOptionKey},
      kWordRight{124, 29, kGtkHostOptionKey}, kDeleteWordBack{51, 8, kGtkHostOptionKey},
      kDeleteWordForward{117, 127, kGtkHostOptionKey}, kPageUp{116, 11, kGtkHostOptionKey},
      kPageDown{121, 12, kGtkHostOptionKey};
  const Gesture* g = nullptr;
  switch (keyval) {
    case GDK_KEY_Home: case GDK_KEY_KP_Home: g = ctrl ? &kTextStart : &kLineStart; break;
    case GDK_KEY_End: case GDK_KEY_KP_End: g = ctrl ? &kTextEnd : &kLineEnd; break;
    case GDK_KEY_Left: case GDK_KEY_KP_Left: g = ctrl ? &kWordLeft : nullptr; break;
    case GDK_KEY_Right: case GDK_KEY_KP_Right: g = ctrl ? &kWordRight : nullptr; break;
    case GDK_KEY_BackSpace: g = ctrl ? &kDeleteWordBack : nullptr; break;
    case GDK_KEY_Delete: case GDK_KEY_KP_Delete: g = ctrl ? &kDeleteWordForward : nullptr; break;
    // Ctrl+Page Up/Down stay what they are (tab switching on this desktop).
    case GDK_KEY_Page_Up: case GDK_KEY_KP_Page_Up: g = ctrl ? nullptr : &kPageUp; break;
    case GDK_KEY_Page_Down: case GDK_KEY_KP_Page_Down: g = ctrl ? nullptr : &kPageDown; break;
  }
  if (g == nullptr) return false;
  ioKey->keyCode = g->keyCode;
  ioKey->charCode = g->charCode;
  ioKey->unicode = g->charCode;
  *ioModifiers = (*ioModifiers & ~(kGtkHostCmdKey | kGtkHostOptionKey)) | g->modifiers;
  return true;
}
