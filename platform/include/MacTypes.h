// Basic scalar and record types shared by every area of the platform layer.
#pragma once

#include <cstddef>
#include <cstdint>

typedef uint8_t UInt8;
typedef int8_t SInt8;
typedef uint16_t UInt16;
typedef int16_t SInt16;
typedef uint32_t UInt32;
typedef int32_t SInt32;
typedef uint64_t UInt64;
typedef int64_t SInt64;
// A 64-bit count in two halves, the high one first.
struct UnsignedWide {
  UInt32 hi;
  UInt32 lo;
};
typedef float Float32;
typedef double Float64;

typedef unsigned char Boolean;

typedef SInt16 OSErr;
typedef SInt32 OSStatus;
typedef UInt32 FourCharCode;
typedef FourCharCode OSType;
typedef FourCharCode ResType;
typedef UInt32 OptionBits;
typedef UInt32 ItemCount;
typedef UInt32 ByteCount;
typedef SInt16 ScriptCode;
typedef UInt16 UniChar;
typedef UInt32 UniCharCount;
typedef UInt32 UTF32Char;
typedef SInt32 Fixed;
typedef char* Ptr;
typedef Ptr* Handle;
typedef long Size;
typedef unsigned char* StringPtr;
typedef const unsigned char* ConstStringPtr;
typedef ConstStringPtr ConstStr255Param;
typedef ConstStringPtr ConstStr63Param;
typedef ConstStringPtr ConstStr31Param;
typedef void* LogicalAddress;
typedef double Duration;
typedef intptr_t SRefCon;  // pointer-sized reference constants

// Four-character codes are written as 'abcd' multi-character literals; with
// GCC and Clang such a literal has exactly the big-endian value of its bytes.
constexpr FourCharCode FOUR_CHAR_CODE(const char (&s)[5]) {
  return (FourCharCode(UInt8(s[0])) << 24) | (FourCharCode(UInt8(s[1])) << 16) |
         (FourCharCode(UInt8(s[2])) << 8) | FourCharCode(UInt8(s[3]));
}

enum : OSStatus {
  noErr = 0,
  paramErr = -50,
  memFullErr = -108,
  nilHandleErr = -109,
  memWZErr = -111,
  fnfErr = -43,
  unimpErr = -4,
  userCanceledErr = -128,
  gestaltUndefSelectorErr = -5551,
  eventAlreadyPostedErr = -9860,
  eventTargetBusyErr = -9861,
  eventClassInvalidErr = -9862,
  eventClassIncorrectErr = -9864,
  eventHandlerAlreadyInstalledErr = -9866,
  eventInternalErr = -9868,
  eventKindIncorrectErr = -9869,
  eventParameterNotFoundErr = -9870,
  eventNotHandledErr = -9874,
  eventLoopTimedOutErr = -9875,
  eventLoopQuitErr = -9876,
  eventNotInQueueErr = -9877,
  errInvalidWindowRef = -5600,
  errUnknownControl = -30584,
  errMessageNotSupported = -30580,
  errDataNotSupported = -30581,
  errControlPropertyNotFoundErr = -5603,
  errUnknownPropertyErr = -5603,
  errInvalidMenuRef = -5604,
  menuPropertyNotFoundErr = -5603,
  menuItemNotFoundErr = -5620,
  kLSApplicationNotFoundErr = -10814,
  kLSLaunchInProgressErr = -10817,
  kLSUnknownErr = -10810,
};

struct Point {
  SInt16 v;
  SInt16 h;
};

struct Rect {
  SInt16 top;
  SInt16 left;
  SInt16 bottom;
  SInt16 right;
};

struct RGBColor {
  UInt16 red;
  UInt16 green;
  UInt16 blue;
};

static_assert(sizeof(Point) == 4 && sizeof(Rect) == 8 && sizeof(RGBColor) == 6,
              "QuickDraw records keep their stored sizes");

// Text encodings (the subset the program names).
typedef UInt32 TextEncoding;
enum : TextEncoding {
  kTextEncodingMacRoman = 0,
  kTextEncodingUnicodeDefault = 0x100,
  kTextEncodingISOLatin1 = 0x201,
  kTextEncodingWindowsLatin1 = 0x500,
  kTextEncodingASCII = 0x600,
  kTextEncodingUTF8 = 0x08000100,
};

// Event parameters read as a type they cannot be converted to.
enum : OSStatus { errAECoercionFail = -1700 };

// File Manager statuses.
enum : OSStatus {
  dirFulErr = -33,
  dskFulErr = -34,
  nsvErr = -35,
  ioErr = -36,
  bdNamErr = -37,
  eofErr = -39,
  posErr = -40,
  tmfoErr = -42,
  wPrErr = -44,
  vLckdErr = -46,
  fLckdErr = -45,
  fBsyErr = -47,
  dupFNErr = -48,
  opWrErr = -49,
  rfNumErr = -51,
  permErr = -54,
  wrPermErr = -61,
  dirNFErr = -120,
  badMovErr = -122,
  diffVolErr = -123,
  notAFileErr = -1302,
  diffRefNumErr = -1303,
  errFSBadFSRef = -1401,
  errFSBadForkName = -1402,
  errFSNotAFolder = -1407,
  errFSForkNotFound = -1409,
  errFSNameTooLong = -1410,
  errFSBadPosMode = -1412,
  errFSNoMoreItems = -1417,
  errFSBadItemCount = -1418,
  errFSBadIteratorFlags = -1422,
  errFSIteratorNotFound = -1423,
  afpAccessDenied = -5000,
  kUTCUnderflowErr = -8850,
  kUTCOverflowErr = -8851,
};

// Text conversion: a character that the target encoding cannot hold.
enum : OSStatus { kTECUnmappableElementErr = -8754 };

// Processes, CoreFoundation and code loading.
enum : OSStatus {
  procNotFound = -600,
  cfragNoSymbolErr = -2802,
  coreFoundationUnknownErr = -4960,
};

// Text conversion: an encoding that cannot be converted, and bytes that are not valid in theirs.
enum : OSStatus { kTextUnsupportedEncodingErr = -8738, kTextMalformedInputErr = -8740 };
