// Byte order of the host and byte swapping between big-endian, little-endian
// and host order.
#pragma once

#include "MacTypes.h"

typedef long CFByteOrder;
enum : CFByteOrder { CFByteOrderUnknown = 0, CFByteOrderLittleEndian = 1, CFByteOrderBigEndian = 2 };

inline constexpr bool __CFHostIsBigEndian() {
  return __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__;
}

inline CFByteOrder CFByteOrderGetCurrent() {
  return __CFHostIsBigEndian() ? CFByteOrderBigEndian : CFByteOrderLittleEndian;
}

inline constexpr UInt16 CFSwapInt16(UInt16 v) { return __builtin_bswap16(v); }
inline constexpr UInt32 CFSwapInt32(UInt32 v) { return __builtin_bswap32(v); }
inline constexpr UInt64 CFSwapInt64(UInt64 v) { return __builtin_bswap64(v); }

inline constexpr UInt16 CFSwapInt16BigToHost(UInt16 v) { return __CFHostIsBigEndian() ? v : CFSwapInt16(v); }
inline constexpr UInt32 CFSwapInt32BigToHost(UInt32 v) { return __CFHostIsBigEndian() ? v : CFSwapInt32(v); }
inline constexpr UInt64 CFSwapInt64BigToHost(UInt64 v) { return __CFHostIsBigEndian() ? v : CFSwapInt64(v); }
inline constexpr UInt16 CFSwapInt16HostToBig(UInt16 v) { return CFSwapInt16BigToHost(v); }
inline constexpr UInt32 CFSwapInt32HostToBig(UInt32 v) { return CFSwapInt32BigToHost(v); }
inline constexpr UInt64 CFSwapInt64HostToBig(UInt64 v) { return CFSwapInt64BigToHost(v); }

inline constexpr UInt16 CFSwapInt16LittleToHost(UInt16 v) { return __CFHostIsBigEndian() ? CFSwapInt16(v) : v; }
inline constexpr UInt32 CFSwapInt32LittleToHost(UInt32 v) { return __CFHostIsBigEndian() ? CFSwapInt32(v) : v; }
inline constexpr UInt64 CFSwapInt64LittleToHost(UInt64 v) { return __CFHostIsBigEndian() ? CFSwapInt64(v) : v; }
inline constexpr UInt16 CFSwapInt16HostToLittle(UInt16 v) { return CFSwapInt16LittleToHost(v); }
inline constexpr UInt32 CFSwapInt32HostToLittle(UInt32 v) { return CFSwapInt32LittleToHost(v); }
inline constexpr UInt64 CFSwapInt64HostToLittle(UInt64 v) { return CFSwapInt64LittleToHost(v); }

// The same under the short names: B = big-endian, L = little-endian, N = host.
inline constexpr UInt16 EndianU16_BtoN(UInt16 v) { return CFSwapInt16BigToHost(v); }
inline constexpr UInt16 EndianU16_NtoB(UInt16 v) { return CFSwapInt16HostToBig(v); }
inline constexpr UInt16 EndianU16_LtoN(UInt16 v) { return CFSwapInt16LittleToHost(v); }
inline constexpr UInt16 EndianU16_NtoL(UInt16 v) { return CFSwapInt16HostToLittle(v); }
inline constexpr UInt32 EndianU32_BtoN(UInt32 v) { return CFSwapInt32BigToHost(v); }
inline constexpr UInt32 EndianU32_NtoB(UInt32 v) { return CFSwapInt32HostToBig(v); }
inline constexpr UInt32 EndianU32_LtoN(UInt32 v) { return CFSwapInt32LittleToHost(v); }
inline constexpr UInt32 EndianU32_NtoL(UInt32 v) { return CFSwapInt32HostToLittle(v); }
inline constexpr UInt64 EndianU64_BtoN(UInt64 v) { return CFSwapInt64BigToHost(v); }
inline constexpr UInt64 EndianU64_NtoB(UInt64 v) { return CFSwapInt64HostToBig(v); }
inline constexpr UInt64 EndianU64_LtoN(UInt64 v) { return CFSwapInt64LittleToHost(v); }
inline constexpr UInt64 EndianU64_NtoL(UInt64 v) { return CFSwapInt64HostToLittle(v); }
inline constexpr SInt16 EndianS16_BtoN(SInt16 v) { return SInt16(CFSwapInt16BigToHost(UInt16(v))); }
inline constexpr SInt16 EndianS16_NtoB(SInt16 v) { return SInt16(CFSwapInt16HostToBig(UInt16(v))); }
inline constexpr SInt32 EndianS32_BtoN(SInt32 v) { return SInt32(CFSwapInt32BigToHost(UInt32(v))); }
inline constexpr SInt32 EndianS32_NtoB(SInt32 v) { return SInt32(CFSwapInt32HostToBig(UInt32(v))); }
