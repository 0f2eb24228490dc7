// The text encodings this machine converts, for encoding menus: the list and
// each encoding's display name. A TextEncoding here has the same number as
// the CFStringEncoding of the same encoding, so the values convert with
// CFString (CFStringCreateWithBytes, CFStringGetBytes and the others).
#pragma once

#include "MacTypes.h"

typedef UInt32 TextEncodingNameSelector;
enum : TextEncodingNameSelector {
  kTextEncodingFullName = 0,     // "Japanese (Shift JIS)"
  kTextEncodingBaseName = 1,     // "Japanese"
  kTextEncodingVariantName = 2,  // "Shift JIS"; the full name when it has no variant
};
typedef SInt16 RegionCode;
typedef UInt8* TextPtr;
enum : OSStatus { kTECBufferBelowMinimumSizeErr = -8745 };

// Writes the encodings a document may be read and written in, grouped by
// script (Unicode, Western, Central European, Cyrillic, Greek, ..., Japanese,
// Chinese, Korean), up to maxAvailableEncodings of them;
// *actualAvailableEncodings receives the number written, or, with a nil
// array, the number there are.
OSStatus TECGetAvailableTextEncodings(TextEncoding availableEncodings[], ItemCount maxAvailableEncodings,
                                      ItemCount* actualAvailableEncodings);

// The encoding's name, written into oEncodingName (iOutputBufLen bytes) in
// iOutputEncoding when the name converts to it, else as UTF-16 code units
// (kTextEncodingUnicodeDefault, host order); *oActualEncoding tells which and
// *oNameLength the name's length in bytes. Names are in English
// (*oActualRegion 0) whatever iOutputRegion asks. kTextUnsupportedEncodingErr
// for an encoding that does not convert here; kTECBufferBelowMinimumSizeErr,
// with *oNameLength the length needed, when the buffer is too small.
OSStatus GetTextEncodingName(TextEncoding iEncoding, TextEncodingNameSelector iNamingSelector,
                             RegionCode iOutputRegion, TextEncoding iOutputEncoding, ByteCount iOutputBufLen,
                             ByteCount* oNameLength, RegionCode* oActualRegion, TextEncoding* oActualEncoding,
                             TextPtr oEncodingName);
