#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "CFRef.h"
#include "CFArray.h"
#include "CFData.h"
#include "CFDate.h"
#include "CFDictionary.h"
#include "CFNumber.h"
#include "CFPropertyList.h"
#include "CFString.h"
#include "CFStringInternal.h"
#include "CFURL.h"

namespace {

CFStringRef S(const std::string& s) { return __CFStringCreateWithUTF8(s); }
CFStringRef K(const char* s) { return CFStringMakeConstantUTF8(s); }
std::string Text(CFStringRef s) { return s ? __CFStringGetUTF8(s) : std::string("(nil)"); }
CFDataRef Bytes(const std::string& s) {
  return CFDataCreate(nullptr, reinterpret_cast<const UInt8*>(s.data()), CFIndex(s.size()));
}
std::string BytesOf(CFDataRef d) {
  return d ? std::string(reinterpret_cast<const char*>(CFDataGetBytePtr(d)), size_t(CFDataGetLength(d)))
           : std::string("(nil)");
}
CFNumberRef Int(SInt64 v) { return CFNumberCreate(nullptr, kCFNumberSInt64Type, &v); }
CFNumberRef Real(double v) { return CFNumberCreate(nullptr, kCFNumberFloat64Type, &v); }

// A mutable dictionary filled from alternating keys and values; the values
// are taken over.
CFMutableDictionaryRef Dict(std::initializer_list<std::pair<const char*, CFTypeRef>> entries) {
  CFMutableDictionaryRef d =
      CFDictionaryCreateMutable(nullptr, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
  for (auto& [key, value] : entries) {
    CFDictionarySetValue(d, K(key), value);
    CFRelease(value);
  }
  return d;
}
CFMutableArrayRef Array(std::initializer_list<CFTypeRef> values) {
  CFMutableArrayRef a = CFArrayCreateMutable(nullptr, 0, &kCFTypeArrayCallBacks);
  for (CFTypeRef v : values) {
    CFArrayAppendValue(a, v);
    CFRelease(v);
  }
  return a;
}

std::string WriteXML(CFPropertyListRef plist) {
  Ref data(CFPropertyListCreateXMLData(nullptr, plist));
  return BytesOf(data.data());
}

CFPropertyListRef Parse(const std::string& bytes, CFOptionFlags options = kCFPropertyListImmutable,
                        std::string* error = nullptr) {
  Ref data(Bytes(bytes));
  CFStringRef message = nullptr;
  CFPropertyListRef result = CFPropertyListCreateFromXMLData(nullptr, data.data(), options, &message);
  if (error) *error = message ? Text(message) : "";
  if (message) CFRelease(message);
  return result;
}

std::string Fixture(const char* name) {
  std::string path = std::string(QUORVEL_TEST_SOURCE_DIR "/platform/fixtures/") + name;
  std::ifstream in(path, std::ios::binary);
  std::stringstream buffer;
  buffer << in.rdbuf();
  return buffer.str();
}

std::vector<std::string> KeysOf(CFDictionaryRef d) {
  std::vector<const void*> keys(static_cast<size_t>(CFDictionaryGetCount(d)));
  CFDictionaryGetKeysAndValues(d, keys.data(), nullptr);
  std::vector<std::string> out;
  for (const void* k : keys) out.push_back(Text(static_cast<CFStringRef>(k)));
  return out;
}

const char kHeader[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" \"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
    "<plist version=\"1.0\">\n";

// ---------------------------------------------------------------------------
// Writing

TEST(CFPropertyListXML, WritesTheStandardForm) {
  CFDateRef date = CFDateCreate(nullptr, 256260690.0);  // 2009-02-13T23:31:30Z
  Ref plist(Dict({
      {"name", S("a & <b> \xC3\xBC")},
      {"count", Int(5)},
      {"ratio", Real(0.1)},
      {"whole", Real(2.0)},
      {"on", CFRetain(kCFBooleanTrue)},
      {"off", CFRetain(kCFBooleanFalse)},
      {"when", date},
      {"bytes", Bytes(std::string(60, '\x01'))},
      {"empty", Bytes("")},
      {"list", Array({Int(-1), Array({})})},
      {"nothing", Dict({})},
  }));
  std::string expected = std::string(kHeader) +
                         "<dict>\n"
                         "\t<key>name</key>\n"
                         "\t<string>a &amp; &lt;b&gt; \xC3\xBC</string>\n"
                         "\t<key>count</key>\n"
                         "\t<integer>5</integer>\n"
                         "\t<key>ratio</key>\n"
                         "\t<real>0.10000000000000001</real>\n"
                         "\t<key>whole</key>\n"
                         "\t<real>2</real>\n"
                         "\t<key>on</key>\n"
                         "\t<true/>\n"
                         "\t<key>off</key>\n"
                         "\t<false/>\n"
                         "\t<key>when</key>\n"
                         "\t<date>2009-02-13T23:31:30Z</date>\n"
                         "\t<key>bytes</key>\n"
                         "\t<data>\n"
                         "\tAQEBAQEBAQEBAQEBAQEBAQEBAQEBAQEBAQEBAQEBAQEBAQEBAQEBAQEBAQEBAQEBAQEB\n"
                         "\tAQEBAQEBAQEB\n"
                         "\t</data>\n"
                         "\t<key>empty</key>\n"
                         "\t<data>\n"
                         "\t</data>\n"
                         "\t<key>list</key>\n"
                         "\t<array>\n"
                         "\t\t<integer>-1</integer>\n"
                         "\t\t<array/>\n"
                         "\t</array>\n"
                         "\t<key>nothing</key>\n"
                         "\t<dict/>\n"
                         "</dict>\n"
                         "</plist>\n";
  EXPECT_EQ(WriteXML(plist.get()), expected);
  Ref top(S("alone"));
  EXPECT_EQ(WriteXML(top.get()), std::string(kHeader) + "<string>alone</string>\n</plist>\n");
}

TEST(CFPropertyListXML, RoundTripKeepsEveryTypeAndTheKeyOrder) {
  std::string binary;
  for (int i = 0; i < 300; ++i) binary += char(i * 7);
  Ref plist(Dict({
      {"zeta", S("line\r\nbreaks\tand \"quotes\" & <tags> \xE2\x82\xAC \xF0\x9F\x98\x80")},
      {"alpha", Int(INT64_MAX)},
      {"mid", Int(INT64_MIN)},
      {"reals", Array({Real(0.1), Real(-1e300), Real(5e-324), Real(HUGE_VAL), Real(-HUGE_VAL)})},
      {"when", CFDateCreate(nullptr, -3187296000.0)},  // 1900-01-01
      {"data", Bytes(binary)},
      {"nest", Dict({{"deeper", Array({Dict({{"k", S("")}}), Array({}), Dict({})})}})},
      {"", CFRetain(kCFBooleanTrue)},
  }));
  std::string xml = WriteXML(plist.get());
  std::string error;
  Ref back(Parse(xml, kCFPropertyListImmutable, &error));
  ASSERT_TRUE(back) << error;
  EXPECT_TRUE(CFEqual(back.get(), plist.get()));
  EXPECT_EQ(KeysOf(back.dict()), (std::vector<std::string>{"zeta", "alpha", "mid", "reals", "when", "data", "nest", ""}));
  EXPECT_EQ(WriteXML(back.get()), xml);

  double nan = std::nan("");
  Ref withNaN(Array({Real(nan)}));
  Ref nanBack(Parse(WriteXML(withNaN.get())));
  double value = 0;
  CFNumberGetValue(static_cast<CFNumberRef>(CFArrayGetValueAtIndex(nanBack.array(), 0)), kCFNumberFloat64Type,
                   &value);
  EXPECT_TRUE(std::isnan(value));
}

TEST(CFPropertyListXML, TextXMLCannotCarryIsRefused) {
  for (std::string bad : {std::string("bell\x07"), std::string("nul\0x", 5)}) {
    Ref s(S(bad));
    Ref list(Array({CFRetain(s.get())}));
    EXPECT_EQ(CFPropertyListCreateXMLData(nullptr, list.get()), nullptr);
  }
  const UniChar lone[] = {'a', 0xDC00};
  Ref surrogate(CFStringCreateWithCharacters(nullptr, lone, 2));
  EXPECT_EQ(CFPropertyListCreateXMLData(nullptr, surrogate.get()), nullptr);
  Ref notFinite(CFDateCreate(nullptr, HUGE_VAL));
  EXPECT_EQ(CFPropertyListCreateXMLData(nullptr, notFinite.get()), nullptr);
  Ref url(CFURLCreateWithString(nullptr, K("file:///x"), nullptr));
  Ref holdsURL(Array({CFRetain(url.get())}));
  EXPECT_EQ(CFPropertyListCreateXMLData(nullptr, holdsURL.get()), nullptr);
}

// ---------------------------------------------------------------------------
// Validity, copies and mutability

TEST(CFPropertyList, ValidityByTypeAndFormat) {
  Ref good(Dict({{"a", Array({Int(1), S("s"), CFDateCreate(nullptr, 0)})}}));
  EXPECT_TRUE(CFPropertyListIsValid(good.get(), kCFPropertyListXMLFormat_v1_0));
  EXPECT_TRUE(CFPropertyListIsValid(good.get(), kCFPropertyListBinaryFormat_v1_0));
  EXPECT_FALSE(CFPropertyListIsValid(good.get(), kCFPropertyListOpenStepFormat));
  Ref strings(Array({S("a"), Bytes("b")}));
  EXPECT_TRUE(CFPropertyListIsValid(strings.get(), kCFPropertyListOpenStepFormat));

  CFMutableDictionaryRef numberKey =
      CFDictionaryCreateMutable(nullptr, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
  Ref owner(numberKey);
  Ref one(Int(1));
  CFDictionarySetValue(numberKey, one.get(), one.get());
  EXPECT_FALSE(CFPropertyListIsValid(numberKey, kCFPropertyListXMLFormat_v1_0));
  EXPECT_FALSE(CFPropertyListIsValid(kCFNull, kCFPropertyListXMLFormat_v1_0));
  EXPECT_FALSE(CFPropertyListIsValid(nullptr, kCFPropertyListXMLFormat_v1_0));

  // An array that holds itself is refused, not followed for ever.
  CFMutableArrayRef loop = CFArrayCreateMutable(nullptr, 0, &kCFTypeArrayCallBacks);
  CFArrayAppendValue(loop, loop);
  EXPECT_FALSE(CFPropertyListIsValid(loop, kCFPropertyListXMLFormat_v1_0));
  EXPECT_EQ(CFPropertyListCreateXMLData(nullptr, loop), nullptr);
  EXPECT_EQ(CFPropertyListCreateDeepCopy(nullptr, loop, kCFPropertyListImmutable), nullptr);
  CFArrayRemoveAllValues(loop);
  CFRelease(loop);
}

// What each option makes mutable, seen through what mutation does.
struct Mutability {
  bool containers;
  bool leaves;
};

Mutability Probe(CFDictionaryRef root) {
  auto array = static_cast<CFMutableArrayRef>(const_cast<void*>(CFDictionaryGetValue(root, K("list"))));
  auto str = static_cast<CFMutableStringRef>(const_cast<void*>(CFArrayGetValueAtIndex(array, 0)));
  auto data = static_cast<CFMutableDataRef>(const_cast<void*>(CFArrayGetValueAtIndex(array, 1)));
  CFIndex count = CFArrayGetCount(array);
  CFArrayAppendValue(array, kCFBooleanTrue);
  CFDictionarySetValue(const_cast<CFMutableDictionaryRef>(root), K("added"), kCFBooleanTrue);
  CFStringAppend(str, K("!"));
  CFDataAppendBytes(data, reinterpret_cast<const UInt8*>("!"), 1);
  bool containers = CFArrayGetCount(array) == count + 1 && CFDictionaryContainsKey(root, K("added"));
  bool leaves = Text(str) == "text!" && CFDataGetLength(data) == 3;
  return {containers, leaves};
}

TEST(CFPropertyList, MutabilityOptionsAreHonoured) {
  Ref source(Dict({{"list", Array({S("text"), Bytes("ab")})}}));
  std::string xml = WriteXML(source.get());
  std::string binary = Fixture("mutability.bplist");
  struct Case {
    CFOptionFlags option;
    Mutability expected;
  } cases[] = {
      {kCFPropertyListImmutable, {false, false}},
      {kCFPropertyListMutableContainers, {true, false}},
      {kCFPropertyListMutableContainersAndLeaves, {true, true}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.option);
    for (const std::string& bytes : {xml, binary}) {
      Ref parsed(Parse(bytes, c.option));
      ASSERT_TRUE(parsed);
      Mutability m = Probe(parsed.dict());
      EXPECT_EQ(m.containers, c.expected.containers);
      EXPECT_EQ(m.leaves, c.expected.leaves);
    }
    Ref copy(CFPropertyListCreateDeepCopy(nullptr, source.get(), c.option));
    ASSERT_TRUE(copy);
    EXPECT_TRUE(CFEqual(copy.get(), source.get()));
    Mutability m = Probe(copy.dict());
    EXPECT_EQ(m.containers, c.expected.containers);
    EXPECT_EQ(m.leaves, c.expected.leaves);
  }
  // The copies were independent of the source.
  EXPECT_EQ(WriteXML(source.get()), xml);
}

// ---------------------------------------------------------------------------
// Reading what others wrote

TEST(CFPropertyList, ReadsXMLAndBinaryFixtures) {
  std::string error;
  Ref xml(Parse(Fixture("sample.plist"), kCFPropertyListImmutable, &error));
  ASSERT_TRUE(xml) << error;
  Ref binary(Parse(Fixture("sample.bplist"), kCFPropertyListImmutable, &error));
  ASSERT_TRUE(binary) << error;
  EXPECT_TRUE(CFEqual(xml.get(), binary.get()));

  CFDictionaryRef d = binary.dict();
  EXPECT_EQ(KeysOf(d), (std::vector<std::string>{"title", "count", "min", "max", "ratio", "on", "off", "when",
                                                 "bytes", "list", "empty", "markup"}));
  EXPECT_EQ(Text(static_cast<CFStringRef>(CFDictionaryGetValue(d, K("title")))),
            "Quorvel \xC3\xBC \xE2\x82\xAC \xF0\x9F\x98\x80");
  SInt64 value = 0;
  CFNumberGetValue(static_cast<CFNumberRef>(CFDictionaryGetValue(d, K("min"))), kCFNumberSInt64Type, &value);
  EXPECT_EQ(value, INT64_MIN);
  CFNumberGetValue(static_cast<CFNumberRef>(CFDictionaryGetValue(d, K("max"))), kCFNumberSInt64Type, &value);
  EXPECT_EQ(value, INT64_MAX);
  double ratio = 0;
  CFNumberGetValue(static_cast<CFNumberRef>(CFDictionaryGetValue(d, K("ratio"))), kCFNumberFloat64Type, &ratio);
  EXPECT_EQ(ratio, 3.25);
  EXPECT_EQ(CFDictionaryGetValue(d, K("on")), kCFBooleanTrue);
  EXPECT_EQ(CFDictionaryGetValue(d, K("off")), kCFBooleanFalse);
  EXPECT_EQ(CFDateGetAbsoluteTime(static_cast<CFDateRef>(CFDictionaryGetValue(d, K("when")))), 256260690.0);
  EXPECT_EQ(CFDataGetLength(static_cast<CFDataRef>(CFDictionaryGetValue(d, K("bytes")))), 16);
  EXPECT_EQ(CFArrayGetCount(static_cast<CFArrayRef>(CFDictionaryGetValue(d, K("list")))), 4);
  EXPECT_EQ(Text(static_cast<CFStringRef>(CFDictionaryGetValue(d, K("markup")))), "a & <b>");
}

TEST(CFPropertyList, MalformedXMLGivesNilAndAMessage) {
  const std::string open = std::string(kHeader);
  const char* bodies[] = {
      "<dict><key>a</key></dict>",                         // a key without a value
      "<dict><string>x</string></dict>",                   // a value without a key
      "<dict><key>a</key><key>b</key><true/></dict>",      // two keys in a row
      "<array><key>a</key></array>",                       // a key outside a dictionary
      "<array><string>x</array></string>",                 // wrong nesting
      "<array><strong>x</strong></array>",                 // unknown element
      "<string>a<true/></string>",                         // element inside text
      "<array>stray text</array>",                         // text inside a container
      "<true>yes</true>",                                  // text inside an empty element
      "<data>AAB=C</data>",                                // text after padding
      "<data>A</data>",                                    // a lone base64 character
      "<data>AA*A</data>",                                 // not base64
      "<date>2009-02-30T00:00:00Z</date>",                 // no such day
      "<date>2009-02-13 23:31:30</date>",                  // not the format
      "<date></date>",                                     //
      "<integer>9223372036854775808</integer>",            // one past the largest
      "<integer>-9223372036854775809</integer>",           // one below the smallest
      "<integer>12abc</integer>",                          //
      "<integer></integer>",                               //
      "<real>1.5.5</real>",                                //
      "<real>1e999</real>",                                // out of range
      "<array><true/>",                                    // truncated
      "<array/><array/>",                                  // two objects
      "<dict><key>caf&eacute;</key><true/></dict>",        // an entity the DTD would define
      "<string>&nbsp;</string>",                           //
      "",                                                  // nothing at all
  };
  for (const char* body : bodies) {
    SCOPED_TRACE(body);
    std::string error;
    Ref result(Parse(open + body + "</plist>\n", kCFPropertyListImmutable, &error));
    EXPECT_FALSE(result);
    EXPECT_FALSE(error.empty());
  }
  const char* documents[] = {
      "",
      "not xml at all",
      "<plist version=\"1.0\"></plist>",
      "<?xml version=\"1.0\"?><!DOCTYPE plist [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;&a;\">]>"
      "<plist><string>&b;</string></plist>",
      "<plist><string>bad \xFF byte</string></plist>",
      "<plist><plist><true/></plist></plist>",
      "<plist><string>caf&eacute;</string></plist>",
  };
  for (const char* doc : documents) {
    SCOPED_TRACE(doc);
    Ref result(Parse(doc));
    EXPECT_FALSE(result);
  }
  // Without the wrapper and with numbers in other spellings, the object is read.
  Ref bare(Parse("<array><integer> 0x1F </integer><integer>+7</integer><real>-inf</real></array>"));
  ASSERT_TRUE(bare);
  SInt64 value = 0;
  CFNumberGetValue(static_cast<CFNumberRef>(CFArrayGetValueAtIndex(bare.array(), 0)), kCFNumberSInt64Type, &value);
  EXPECT_EQ(value, 31);
  CFNumberGetValue(static_cast<CFNumberRef>(CFArrayGetValueAtIndex(bare.array(), 1)), kCFNumberSInt64Type, &value);
  EXPECT_EQ(value, 7);
  // A nil error pointer and nil data are fine too.
  EXPECT_EQ(CFPropertyListCreateFromXMLData(nullptr, nullptr, 0, nullptr), nullptr);
}

TEST(CFPropertyList, NestingIsLimited) {
  auto nested = [](int depth) {
    std::string s;
    for (int i = 0; i < depth; ++i) s += "<array>";
    for (int i = 0; i < depth; ++i) s += "</array>";
    return s;
  };
  Ref deepest(Parse(nested(kCFPropertyListMaxDepth)));
  EXPECT_TRUE(deepest);
  Ref tooDeep(Parse(nested(kCFPropertyListMaxDepth + 1)));
  EXPECT_FALSE(tooDeep);
  Ref wrapped(Parse(std::string(kHeader) + nested(kCFPropertyListMaxDepth) + "</plist>"));
  EXPECT_TRUE(wrapped);
}

// ---------------------------------------------------------------------------
// Binary input that lies

template <size_t N>
std::string B(const char (&s)[N]) {
  return std::string(s, N - 1);
}

// A binary list of the given objects: each is its bytes; the offset table and
// the trailer are computed (1-byte offsets and references).
std::string Binary(const std::vector<std::string>& objects, UInt64 top = 0, unsigned offsetSize = 1) {
  std::string out = "bplist00";
  std::vector<size_t> offsets;
  for (const std::string& o : objects) {
    offsets.push_back(out.size());
    out += o;
  }
  size_t table = out.size();
  for (size_t off : offsets)
    for (unsigned i = offsetSize; i-- > 0;) out += char(off >> (8 * i));
  std::string trailer(32, '\0');
  trailer[6] = char(offsetSize);
  trailer[7] = 1;
  for (int i = 0; i < 8; ++i) {
    trailer[size_t(8 + i)] = char(UInt64(objects.size()) >> (56 - 8 * i));
    trailer[size_t(16 + i)] = char(top >> (56 - 8 * i));
    trailer[size_t(24 + i)] = char(UInt64(table) >> (56 - 8 * i));
  }
  return out + trailer;
}

TEST(CFPropertyList, BinaryFaultsGiveNil) {
  // Sanity: the helper makes readable lists.
  Ref fine(Parse(Binary({"\xA2\x01\x02", "\x10\x05", "\x51" "a"})));
  ASSERT_TRUE(fine);
  EXPECT_EQ(CFArrayGetCount(fine.array()), 2);
  Ref big(Parse(Binary({std::string("\x14", 1) + std::string(16, '\xFF')})));  // 128-bit -1
  ASSERT_TRUE(big);

  std::string sample = Fixture("sample.bplist");
  std::string badTable = Binary({"\x09"});
  badTable[badTable.size() - 33] = char(200);  // the one offset points past the objects
  std::vector<std::string> faults = {
      sample.substr(0, sample.size() - 1),                     // truncated trailer
      sample.substr(0, 40),                                    // truncated
      "bplist",                                                //
      "bplist01" + sample.substr(8),                           // unknown version
      badTable,                                                //
      Binary({B("\xA1\x00")}),                                    // an array that holds itself
      Binary({"\xA1\x01", B("\xA1\x00")}),                        // two arrays that hold each other
      Binary({"\xA1\x05"}),                                    // a reference to a missing object
      Binary({"\xD1\x01\x02", "\x10\x01", "\x09"}),            // a key that is no string
      Binary({"\x5F\x10\x7F" "abc"}),                          // a string longer than the data
      Binary({"\x4F\x13\x7F\xFF\xFF\xFF\xFF\xFF\xFF\xFF"}),   // a huge data length
      Binary({"\xAF\x13\x7F\xFF\xFF\xFF\xFF\xFF\xFF\xFF"}),   // a huge array
      Binary({"\x13\x01\x02"}),                                // an integer cut short
      Binary({std::string("\x14", 1) + std::string(8, '\0') + std::string(8, '\xFF')}),  // above the range
      Binary({std::string("\x00", 1)}),                        // null is no property
      Binary({"\x80\x01"}),                                    // a keyed-archive UID
      Binary({"\x52\xC3\xA9"}),                                // non-ASCII in an ASCII string
      Binary({"\x09"}, 1),                                     // top object out of range
  };
  for (size_t i = 0; i < faults.size(); ++i) {
    SCOPED_TRACE(i);
    std::string error;
    Ref result(Parse(faults[i], kCFPropertyListImmutable, &error));
    EXPECT_FALSE(result);
    EXPECT_FALSE(error.empty());
  }

  // A lattice of arrays that each hold the next one twice would make 2^40
  // objects; an array that holds the same small array a few times is fine.
  std::vector<std::string> lattice;
  for (int i = 0; i < 40; ++i) lattice.push_back(std::string("\xA2") + char(i + 1) + char(i + 1));
  lattice.push_back("\x09");
  for (CFOptionFlags option : {kCFPropertyListImmutable, kCFPropertyListMutableContainers}) {
    Ref bomb(Parse(Binary(lattice), option));
    EXPECT_FALSE(bomb);
  }
  // Few containers, many references: 100 arrays that each hold the same
  // array 100 times, which holds one integer 1000 times, is ten million
  // elements in a file of 1.3 KB.
  auto fan = [](unsigned count, char ref) {
    return std::string("\xAF\x11") + char(count >> 8) + char(count & 0xFF) + std::string(count, ref);
  };
  Ref wide(Parse(Binary({fan(100, 1), fan(100, 2), fan(1000, 3), "\x10\x05"}, 0, 2)));
  EXPECT_FALSE(wide);
  // Mutable leaves are copied at every reference: 20000 references to one
  // 4 KB data object, a 24 KB file, would make 80 MB.
  std::string block = std::string("\x4F\x11\x10\x00", 4) + std::string(4096, 'x');
  for (CFOptionFlags option : {kCFPropertyListMutableContainersAndLeaves, kCFPropertyListImmutable}) {
    SCOPED_TRACE(option);
    Ref copies(Parse(Binary({fan(20000, 1), block}, 0, 2), option));
    EXPECT_EQ(bool(copies), option == kCFPropertyListImmutable);  // shared when immutable
  }
  Ref shared(Parse(Binary({"\xA3\x01\x01\x01", "\xA1\x02", "\x09"})));
  ASSERT_TRUE(shared);
  EXPECT_EQ(CFArrayGetCount(shared.array()), 3);
}

TEST(CFPropertyList, BinaryNestingIsLimited) {
  // Two-byte offsets and references for a chain of 513 arrays.
  auto deepChain = [](int arrays) {
    std::string out = "bplist00";
    std::vector<size_t> offsets;
    for (int i = 0; i <= arrays; ++i) {
      offsets.push_back(out.size());
      if (i == arrays) {
        out += '\x09';
      } else {
        out += '\xA1';
        out += char((i + 1) >> 8);
        out += char((i + 1) & 0xFF);
      }
    }
    size_t table = out.size();
    for (size_t off : offsets) {
      out += char(off >> 8);
      out += char(off & 0xFF);
    }
    std::string trailer(32, '\0');
    trailer[6] = 2;
    trailer[7] = 2;
    UInt64 count = offsets.size();
    for (int i = 0; i < 8; ++i) {
      trailer[size_t(8 + i)] = char(count >> (56 - 8 * i));
      trailer[size_t(24 + i)] = char(UInt64(table) >> (56 - 8 * i));
    }
    return out + trailer;
  };
  Ref deepest(Parse(deepChain(kCFPropertyListMaxDepth)));
  EXPECT_TRUE(deepest);
  Ref tooDeep(Parse(deepChain(kCFPropertyListMaxDepth + 1)));
  EXPECT_FALSE(tooDeep);
}

}  // namespace
