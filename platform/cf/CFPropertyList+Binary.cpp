// The binary form of property lists ("bplist00"): a header, the objects, a
// table of object offsets and a 32-byte trailer. Every offset, count and
// reference is checked against the data before it is followed.
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "CFDate.h"
#include "CFNumber.h"
#include "CFPropertyList.h"
#include "CFStringInternal.h"

// Defined in CFPropertyList.cpp.
CFStringRef __CFPListMakeString(__CFUniChars&& units, CFOptionFlags options);
CFDataRef __CFPListMakeData(const UInt8* bytes, size_t length, CFOptionFlags options);
CFTypeRef __CFPListMakeArray(std::vector<CFTypeRef>& values, CFOptionFlags options);
CFTypeRef __CFPListMakeDictionary(std::vector<CFTypeRef>& keys, std::vector<CFTypeRef>& values,
                                  CFOptionFlags options);

namespace {

const size_t kHeaderSize = 8;
const size_t kTrailerSize = 32;

struct BinaryReader {
  const UInt8* bytes = nullptr;
  size_t length = 0;
  CFOptionFlags options = 0;
  unsigned offsetSize = 0, refSize = 0;
  UInt64 numObjects = 0, topObject = 0;
  size_t tableOffset = 0;   // the objects lie in [kHeaderSize, tableOffset)
  std::vector<UInt8> busy;  // objects being read: a reference back to one is a cycle
  std::vector<CFTypeRef> shared;  // immutable leaves already read, by index
  UInt64 budget = 0;        // references that may still be followed
  UInt64 copyBudget = 0;    // bytes of mutable leaves that may still be copied
  std::string error;

  ~BinaryReader() {
    for (CFTypeRef obj : shared)
      if (obj) CFRelease(obj);
  }

  CFTypeRef Fail(const char* problem) {
    if (error.empty()) error = std::string("Malformed binary property list: ") + problem;
    return nullptr;
  }

  // Big-endian unsigned integer of size bytes at pos; the caller checked the bounds.
  UInt64 Read(size_t pos, unsigned size) const {
    UInt64 value = 0;
    for (unsigned i = 0; i < size; ++i) value = (value << 8) | bytes[pos + i];
    return value;
  }

  // True when [pos, pos + size) lies within the object area.
  bool Fits(size_t pos, UInt64 size) const { return pos <= tableOffset && size <= tableOffset - pos; }

  bool ReadTrailer() {
    if (length < kHeaderSize + 1 + kTrailerSize) return Fail("too short"), false;
    if (std::memcmp(bytes, "bplist00", kHeaderSize) != 0) return Fail("unknown version"), false;
    size_t t = length - kTrailerSize;
    offsetSize = bytes[t + 6];
    refSize = bytes[t + 7];
    numObjects = Read(t + 8, 8);
    topObject = Read(t + 16, 8);
    UInt64 table = Read(t + 24, 8);
    if (offsetSize < 1 || offsetSize > 8 || refSize < 1 || refSize > 8) return Fail("bad integer sizes"), false;
    if (numObjects == 0 || topObject >= numObjects) return Fail("bad object count"), false;
    if (table <= kHeaderSize || table >= t) return Fail("offset table outside the data"), false;
    if (numObjects > (t - table) / offsetSize) return Fail("offset table outside the data"), false;
    tableOffset = size_t(table);
    busy.assign(size_t(numObjects), 0);
    shared.assign(size_t(numObjects), nullptr);
    // Every reference that is followed costs one, whatever it leads to, so
    // the budget bounds the size of the whole tree read. A tree written out
    // once per reference needs at most one per reference byte; the rest is
    // room for containers that are shared now and then. More means a
    // document that multiplies on reading.
    budget = numObjects + length + (UInt64(1) << 18);
    // Mutable strings and data are made anew at every reference (a copy
    // shared by two places would change in both); a file may share them,
    // but not so that a few KB become GB.
    copyBudget = 16 * UInt64(length) + (UInt64(1) << 25);
    return true;
  }

  // The count of an object: the marker's low nibble, or an integer object
  // that follows the marker when the nibble is 0xF. pos moves past it.
  bool ReadCount(unsigned nibble, size_t& pos, UInt64& count) {
    if (nibble != 0xF) {
      count = nibble;
      return true;
    }
    if (!Fits(pos, 1)) return false;
    unsigned marker = bytes[pos];
    if ((marker >> 4) != 0x1 || (marker & 0xF) > 3) return false;
    unsigned size = 1u << (marker & 0xF);
    if (!Fits(pos + 1, size)) return false;
    count = Read(pos + 1, size);
    pos += 1 + size;
    return true;
  }

  bool Leaves() const { return (options & 2) != 0; }

  // Charges a copy of size bytes to the budget; false when it is spent.
  bool Copy(UInt64 size) {
    if (size > copyBudget) return false;
    copyBudget -= size;
    return true;
  }

  CFTypeRef Parse(UInt64 index, CFIndex depth, bool asKey) {
    if (index >= numObjects) return Fail("reference to a missing object");
    if (budget == 0) return Fail("objects shared too often");
    --budget;
    size_t i = size_t(index);
    if (shared[i] != nullptr) {
      // A string read as a key is immutable; as a value it may have to be mutable.
      bool isString = CFGetTypeID(shared[i]) == CFStringGetTypeID();
      if (asKey ? isString : !(isString && Leaves())) return CFRetain(shared[i]);
    }
    if (busy[i]) return Fail("an object that contains itself");
    UInt64 offset = Read(tableOffset + i * offsetSize, offsetSize);
    if (offset < kHeaderSize || offset >= tableOffset) return Fail("object offset outside the data");
    size_t pos = size_t(offset);
    unsigned marker = bytes[pos++];
    unsigned kind = marker >> 4, nibble = marker & 0xF;
    if (asKey && kind != 0x5 && kind != 0x6) return Fail("a dictionary key that is no string");
    bool immutable = true;
    CFTypeRef obj = nullptr;
    switch (kind) {
      case 0x0:
        if (nibble == 0x8 || nibble == 0x9) obj = CFRetain(nibble == 0x9 ? kCFBooleanTrue : kCFBooleanFalse);
        else return Fail("unknown object");
        break;
      case 0x1: {
        if (nibble > 4) return Fail("bad integer size");
        unsigned size = 1u << nibble;
        if (!Fits(pos, size)) return Fail("integer outside the data");
        SInt64 value;
        if (size < 8) {
          value = SInt64(Read(pos, size));
        } else if (size == 8) {
          value = SInt64(Read(pos, 8));
        } else {
          // 128 bits: only what the low 64 bits hold, sign included.
          UInt64 high = Read(pos, 8), low = Read(pos + 8, 8);
          if (high != (SInt64(low) < 0 ? ~UInt64(0) : 0)) return Fail("integer out of range");
          value = SInt64(low);
        }
        obj = CFNumberCreate(nullptr, kCFNumberSInt64Type, &value);
        break;
      }
      case 0x2:
      case 0x3: {
        if (kind == 0x3 ? nibble != 3 : (nibble != 2 && nibble != 3)) return Fail("bad real or date size");
        unsigned size = 1u << nibble;
        if (!Fits(pos, size)) return Fail("real outside the data");
        double value;
        if (size == 4) {
          UInt32 raw = UInt32(Read(pos, 4));
          float f;
          std::memcpy(&f, &raw, 4);
          value = f;
        } else {
          UInt64 raw = Read(pos, 8);
          std::memcpy(&value, &raw, 8);
        }
        obj = kind == 0x3 ? static_cast<CFTypeRef>(CFDateCreate(nullptr, value))
                          : static_cast<CFTypeRef>(CFNumberCreate(nullptr, kCFNumberFloat64Type, &value));
        break;
      }
      case 0x4: {
        UInt64 count;
        if (!ReadCount(nibble, pos, count) || !Fits(pos, count)) return Fail("data outside the data");
        if (Leaves() && !Copy(count)) return Fail("data shared too often");
        obj = __CFPListMakeData(bytes + pos, size_t(count), options);
        immutable = !Leaves();
        break;
      }
      case 0x5:
      case 0x6: {
        UInt64 count;
        if (!ReadCount(nibble, pos, count)) return Fail("string outside the data");
        UInt64 unitSize = kind == 0x5 ? 1 : 2;
        if (count > tableOffset / unitSize || !Fits(pos, count * unitSize)) return Fail("string outside the data");
        __CFUniChars units(static_cast<size_t>(count));
        for (size_t k = 0; k < units.size(); ++k) {
          units[k] = UniChar(Read(pos + k * unitSize, unsigned(unitSize)));
          if (kind == 0x5 && units[k] >= 0x80) return Fail("non-ASCII byte in an ASCII string");
        }
        bool mutableString = Leaves() && !asKey;
        if (mutableString && !Copy(count * unitSize)) return Fail("strings shared too often");
        obj = mutableString ? __CFPListMakeString(std::move(units), options)
                            : __CFStringCreateWithUnits(std::move(units));
        immutable = !mutableString;
        break;
      }
      case 0xA:
      case 0xD: {
        if (depth + 1 > kCFPropertyListMaxDepth) return Fail("containers nested too deeply");
        UInt64 count;
        if (!ReadCount(nibble, pos, count)) return Fail("container outside the data");
        UInt64 refs = kind == 0xD ? 2 : 1;
        if (count > tableOffset / refSize / refs || !Fits(pos, count * refSize * refs))
          return Fail("container outside the data");
        busy[i] = 1;
        std::vector<CFTypeRef> keys, values;
        bool ok = true;
        if (kind == 0xD) {
          keys.reserve(size_t(count));
          for (UInt64 k = 0; k < count && ok; ++k) {
            CFTypeRef key = Parse(Read(pos + k * refSize, refSize), depth + 1, true);
            if (key) keys.push_back(key);
            ok = key != nullptr;
          }
          pos += size_t(count * refSize);
        }
        values.reserve(size_t(count));
        for (UInt64 k = 0; k < count && ok; ++k) {
          CFTypeRef value = Parse(Read(pos + k * refSize, refSize), depth + 1, false);
          if (value) values.push_back(value);
          ok = value != nullptr;
        }
        busy[i] = 0;
        if (!ok) {
          for (CFTypeRef o : keys) CFRelease(o);
          for (CFTypeRef o : values) CFRelease(o);
          return nullptr;
        }
        obj = kind == 0xD ? __CFPListMakeDictionary(keys, values, options) : __CFPListMakeArray(values, options);
        // Containers are never shared: every reference gets its own, so a
        // lattice of references cannot make a tree that multiplies when walked.
        immutable = false;
        break;
      }
      default:
        return Fail("object of a kind property lists do not hold");
    }
    if (obj == nullptr) return Fail("out of memory");
    if (immutable && shared[i] == nullptr) shared[i] = CFRetain(obj);
    return obj;
  }
};

}  // namespace

CFPropertyListRef __CFPListReadBinary(const UInt8* bytes, size_t length, CFOptionFlags options,
                                      std::string& error) {
  BinaryReader reader;
  reader.bytes = bytes;
  reader.length = length;
  reader.options = options;
  CFTypeRef result = nullptr;
  if (reader.ReadTrailer()) result = reader.Parse(reader.topObject, 0, false);
  if (result == nullptr) error = reader.error.empty() ? "Malformed binary property list" : reader.error;
  return result;
}
