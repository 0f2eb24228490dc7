// TypingHelpers: edits of the text around a keystroke, made by the macro
// library's text filter and change callback: pairing brackets and quotes,
// wrapping a selection in a pair, an indented block on Return between
// braces, "<?" expanded to a PHP block, closing and deleting HTML tags, a
// line below the current one, and carrying a line's indentation over.
//
// A routine that decides about the keystroke sets accept to false when it
// made the edit itself (the key is then not inserted). Characters outside
// the text read as 0, so no rule fires at the text's ends by accident.
#pragma once

#include "MacTypes.h"
#include "ShortString.h"
#include "WASTE.h"

struct AutoCompleteBracketEntry {
  UInt8 open;
  UInt8 close;
  Boolean block;  // Return between the pair opens an indented block
};
extern const AutoCompleteBracketEntry kAutoCompleteBracket[6];

// Mac virtual key codes and the modifiers the filter tests.
enum : UInt32 {
  kTypingReturnKeyCode = 36,
  kTypingTabKeyCode = 48,
  kTypingDeleteKeyCode = 51,
  kTypingOptionModifier = 0x0800,  // the Option key alone
};

// Shared with the macro library: the keystroke being filtered (set to 0 by
// a helper that completes the keystroke itself), and whether the change a
// helper causes must not be taken for typing (cleared by the filter).
extern UInt32 CurrentKeyCode;
extern UInt32 CurrentKeyModifiers;
extern Boolean DisableFlux;

// ch opens one of the six pairs.
Boolean ValidBracketCharacter(UInt8 ch);
// ch closes one of the six pairs.
Boolean ClosingBracketCharacter(UInt8 ch);
// The spaces and tabs that begin the line (0-based); empty for a line
// outside the text.
Str255 GetLineIndent(SInt32 line, WEReference we);
// "?" typed between "<" and ">" gives "<?php |?>".
void AutoExpandLanguageTags(UInt8 ch, UInt32 keyCode, WEReference we, Boolean& accept);
// Pairs, deletes empty pairs, opens brace blocks and wraps selections; a
// closing character typed right before the one its pair inserted steps
// over it.
void AutoCompleteBrackets(UInt8 ch, UInt32 keyCode, WEReference we, Boolean& accept);
// Return with the character at offset the ">" of an opening tag: inserts
// the closing tag after it, the insertion point between the two.
void AutoCloseTag(SInt32 offset, WEReference we, Boolean& accept);
// Offset between a ">" and a "<": deletes from the line's first "<" before
// it to the line's last ">" after it.
void AutoDeleteTag(SInt32 offset, WEReference we, Boolean& accept);
// A new line below offset's line, indented like the line after it (like
// offset's line when it is the last), with the insertion point on it.
void InsertForwardLineBreak(SInt32 offset, WEReference we);
// After a line break typed at offset: the next line starts with the
// indentation of offset's line.
void AutoIndent(SInt32 offset, WEReference we);
