// The XML form of property lists: the reader (driven by expat) and the
// writer of the standard form, with their base64 and date codecs.
#include <expat.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "CFArray.h"
#include "CFDate.h"
#include "CFDictionary.h"
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

// ---------------------------------------------------------------------------
// Base64

const char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int Base64Value(unsigned char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

bool IsXMLSpace(unsigned char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// White space anywhere is skipped; padding is optional but nothing may follow it.
bool DecodeBase64(std::string_view text, std::string& out) {
  out.clear();
  out.reserve(text.size() / 4 * 3 + 3);
  UInt32 bits = 0;
  int count = 0, padding = 0;
  for (unsigned char c : text) {
    if (IsXMLSpace(c)) continue;
    if (c == '=') {
      if (++padding > 2) return false;
      continue;
    }
    int value = Base64Value(c);
    if (value < 0 || padding > 0) return false;
    bits = (bits << 6) | UInt32(value);
    if (++count == 4) {
      out += char(bits >> 16);
      out += char(bits >> 8);
      out += char(bits);
      bits = 0;
      count = 0;
    }
  }
  if (count == 1) return false;
  if (count == 2) out += char(bits >> 4);
  if (count == 3) {
    out += char(bits >> 10);
    out += char(bits >> 2);
  }
  return true;
}

// Lines of at most lineLength characters, each indented and ended by a line feed.
void EncodeBase64(const UInt8* bytes, size_t length, size_t lineLength, const std::string& indent,
                  std::string& out) {
  size_t column = 0;
  for (size_t i = 0; i < length; i += 3) {
    UInt32 bits = UInt32(bytes[i]) << 16;
    if (i + 1 < length) bits |= UInt32(bytes[i + 1]) << 8;
    if (i + 2 < length) bits |= bytes[i + 2];
    if (column == 0) out += indent;
    out += kBase64[(bits >> 18) & 63];
    out += kBase64[(bits >> 12) & 63];
    out += i + 1 < length ? kBase64[(bits >> 6) & 63] : '=';
    out += i + 2 < length ? kBase64[bits & 63] : '=';
    column += 4;
    if (column >= lineLength) {
      out += '\n';
      column = 0;
    }
  }
  if (column > 0) out += '\n';
}

// ---------------------------------------------------------------------------
// Dates: "YYYY-MM-DDTHH:MM:SSZ" in UTC

// Days from 1970-01-01 to the given day of the proleptic Gregorian calendar.
SInt64 DaysFromCivil(SInt64 y, unsigned m, unsigned d) {
  y -= m <= 2;
  const SInt64 era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = unsigned(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + SInt64(doe) - 719468;
}

void CivilFromDays(SInt64 z, SInt64& y, unsigned& m, unsigned& d) {
  z += 719468;
  const SInt64 era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = unsigned(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = doy - (153 * mp + 2) / 5 + 1;
  m = mp < 10 ? mp + 3 : mp - 9;
  y = SInt64(yoe) + era * 400 + (m <= 2);
}

const SInt64 kDays1970To2001 = 11323;

bool IsLeap(SInt64 y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

bool ParseDate(std::string_view text, CFAbsoluteTime& at) {
  while (!text.empty() && IsXMLSpace(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsXMLSpace(text.back())) text.remove_suffix(1);
  static const char kPattern[] = "dddd-dd-ddTdd:dd:ddZ";
  if (text.size() != sizeof kPattern - 1) return false;
  for (size_t i = 0; i < text.size(); ++i) {
    if (kPattern[i] == 'd' ? !(text[i] >= '0' && text[i] <= '9') : text[i] != kPattern[i]) return false;
  }
  auto number = [&](size_t pos, size_t len) {
    int value = 0;
    for (size_t i = pos; i < pos + len; ++i) value = value * 10 + (text[i] - '0');
    return value;
  };
  int year = number(0, 4), month = number(5, 2), day = number(8, 2);
  int hour = number(11, 2), minute = number(14, 2), second = number(17, 2);
  static const int kMonthDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12 || day < 1) return false;
  int monthDays = kMonthDays[month - 1] + (month == 2 && IsLeap(year) ? 1 : 0);
  if (day > monthDays || hour > 23 || minute > 59 || second > 59) return false;
  SInt64 days = DaysFromCivil(year, unsigned(month), unsigned(day)) - kDays1970To2001;
  at = double(days * 86400 + hour * 3600 + minute * 60 + second);
  return true;
}

bool FormatDate(CFAbsoluteTime at, std::string& out) {
  if (!std::isfinite(at)) return false;
  double whole = std::floor(at);
  // Far beyond the four-digit years checked below; keeps the arithmetic in range.
  if (std::fabs(whole) > 1e15) return false;
  SInt64 seconds = SInt64(whole);
  SInt64 days = seconds >= 0 ? seconds / 86400 : -((-seconds + 86399) / 86400);
  SInt64 rest = seconds - days * 86400;
  SInt64 year;
  unsigned month, day;
  CivilFromDays(days + kDays1970To2001, year, month, day);
  if (year < 0 || year > 9999) return false;
  char buffer[40];
  std::snprintf(buffer, sizeof buffer, "%04d-%02u-%02uT%02d:%02d:%02dZ", int(year), month, day, int(rest / 3600),
                int(rest / 60 % 60), int(rest % 60));
  out += buffer;
  return true;
}

// ---------------------------------------------------------------------------
// Numbers

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && IsXMLSpace(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsXMLSpace(text.back())) text.remove_suffix(1);
  return text;
}

// Decimal or "0x" hexadecimal, with an optional sign; false when empty,
// malformed or outside the 64-bit signed range.
bool ParseInteger(std::string_view text, SInt64& value) {
  text = Trimmed(text);
  bool negative = false;
  if (!text.empty() && (text[0] == '-' || text[0] == '+')) {
    negative = text[0] == '-';
    text.remove_prefix(1);
  }
  int base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    text.remove_prefix(2);
  }
  if (text.empty()) return false;
  UInt64 magnitude = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), magnitude, base);
  if (ec != std::errc() || end != text.data() + text.size()) return false;
  if (negative) {
    if (magnitude > UInt64(INT64_MAX) + 1) return false;
    value = magnitude == UInt64(INT64_MAX) + 1 ? INT64_MIN : -SInt64(magnitude);
  } else {
    if (magnitude > UInt64(INT64_MAX)) return false;
    value = SInt64(magnitude);
  }
  return true;
}

bool EqualsIgnoringCase(std::string_view a, const char* b) {
  size_t n = std::strlen(b);
  if (a.size() != n) return false;
  for (size_t i = 0; i < n; ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != b[i]) return false;
  return true;
}

bool ParseReal(std::string_view text, double& value) {
  text = Trimmed(text);
  if (EqualsIgnoringCase(text, "nan")) {
    value = std::nan("");
    return true;
  }
  for (const char* word : {"inf", "+inf", "infinity", "+infinity"})
    if (EqualsIgnoringCase(text, word)) {
      value = HUGE_VAL;
      return true;
    }
  for (const char* word : {"-inf", "-infinity"})
    if (EqualsIgnoringCase(text, word)) {
      value = -HUGE_VAL;
      return true;
    }
  if (!text.empty() && text[0] == '+') text.remove_prefix(1);
  if (text.empty() || !(std::isdigit(static_cast<unsigned char>(text[0])) || text[0] == '.' || text[0] == '-'))
    return false;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::general);
  return ec == std::errc() && end == text.data() + text.size();
}

// ---------------------------------------------------------------------------
// Reader

enum ElementKind { kPlist, kDict, kArray, kKey, kString, kData, kDate, kInteger, kReal, kTrue, kFalse };

struct ElementName {
  const char* name;
  ElementKind kind;
};
const ElementName kElements[] = {{"plist", kPlist},     {"dict", kDict},   {"array", kArray}, {"key", kKey},
                                 {"string", kString},   {"data", kData},   {"date", kDate},   {"integer", kInteger},
                                 {"real", kReal},       {"true", kTrue},   {"false", kFalse}};

bool IsContainer(ElementKind kind) { return kind == kPlist || kind == kDict || kind == kArray; }

struct Frame {
  ElementKind kind;
  std::vector<CFTypeRef> keys;    // dict
  std::vector<CFTypeRef> values;  // dict, array, plist
  bool awaitingValue = false;     // dict: a key was read, its value comes next
};

struct XMLReader {
  XML_Parser parser = nullptr;
  CFOptionFlags options = 0;
  std::vector<Frame> stack;
  std::string text;  // the character data of the open leaf element
  CFTypeRef result = nullptr;
  std::string error;
  CFIndex containers = 0;

  ~XMLReader() {
    for (Frame& frame : stack) {
      for (CFTypeRef obj : frame.keys) CFRelease(obj);
      for (CFTypeRef obj : frame.values) CFRelease(obj);
    }
    if (result) CFRelease(result);
  }

  void Fail(const std::string& problem) {
    if (!error.empty()) return;
    error = problem + " on line " + std::to_string(XML_GetCurrentLineNumber(parser));
    XML_StopParser(parser, XML_FALSE);
  }

  void Start(const char* name) {
    if (!error.empty()) return;
    const ElementName* element = nullptr;
    for (const ElementName& candidate : kElements)
      if (std::strcmp(candidate.name, name) == 0) element = &candidate;
    if (element == nullptr) return Fail(std::string("Encountered unknown element <") + name + ">");
    ElementKind kind = element->kind;
    if (stack.empty()) {
      if (result != nullptr || kind == kKey) return Fail(std::string("Unexpected element <") + name + ">");
    } else {
      Frame& parent = stack.back();
      if (!IsContainer(parent.kind))
        return Fail(std::string("Element <") + name + "> inside an element that holds only text");
      if (kind == kPlist) return Fail("Nested <plist> element");
      if (parent.kind == kDict) {
        if (parent.awaitingValue == (kind == kKey))
          return Fail(parent.awaitingValue ? "A <key> without a value" : "A dictionary value without a <key>");
      } else if (kind == kKey) {
        return Fail("A <key> outside a dictionary");
      } else if (parent.kind == kPlist && !parent.values.empty()) {
        return Fail("More than one object in <plist>");
      }
    }
    if ((kind == kDict || kind == kArray) && ++containers > kCFPropertyListMaxDepth) return Fail("Containers nested too deeply");
    text.clear();
    stack.push_back(Frame{kind, {}, {}, false});
  }

  void Text(const char* data, int length) {
    if (!error.empty()) return;
    std::string_view chunk(data, size_t(length));
    if (!stack.empty() && !IsContainer(stack.back().kind)) {
      text.append(chunk);
      return;
    }
    for (unsigned char c : chunk)
      if (!IsXMLSpace(c)) return Fail("Text outside a value element");
  }

  void End() {
    if (!error.empty() || stack.empty()) return;
    Frame frame = std::move(stack.back());
    stack.pop_back();
    CFTypeRef obj = nullptr;
    switch (frame.kind) {
      case kPlist:
        if (frame.values.empty()) return Fail("Empty <plist>");
        obj = frame.values[0];
        frame.values.clear();
        break;
      case kDict:
        if (frame.awaitingValue) {
          stack.push_back(std::move(frame));  // released with the stack
          return Fail("A <key> without a value");
        }
        obj = __CFPListMakeDictionary(frame.keys, frame.values, options);
        --containers;
        break;
      case kArray:
        obj = __CFPListMakeArray(frame.values, options);
        --containers;
        break;
      case kKey:
      case kString: {
        __CFUniChars units;
        if (!__CFDecodeUTF8(reinterpret_cast<const UInt8*>(text.data()), text.size(), units))
          return Fail("Text that is not UTF-8");
        obj = frame.kind == kKey ? __CFStringCreateWithUnits(std::move(units))
                                 : __CFPListMakeString(std::move(units), options);
        break;
      }
      case kData: {
        std::string bytes;
        if (!DecodeBase64(text, bytes)) return Fail("Malformed base64 in <data>");
        obj = __CFPListMakeData(reinterpret_cast<const UInt8*>(bytes.data()), bytes.size(), options);
        break;
      }
      case kDate: {
        CFAbsoluteTime at;
        if (!ParseDate(text, at)) return Fail("Malformed <date>");
        obj = CFDateCreate(nullptr, at);
        break;
      }
      case kInteger: {
        SInt64 value;
        if (!ParseInteger(text, value)) return Fail("Malformed or out-of-range <integer>");
        obj = CFNumberCreate(nullptr, kCFNumberSInt64Type, &value);
        break;
      }
      case kReal: {
        double value;
        if (!ParseReal(text, value)) return Fail("Malformed <real>");
        obj = CFNumberCreate(nullptr, kCFNumberFloat64Type, &value);
        break;
      }
      case kTrue:
      case kFalse:
        if (!Trimmed(text).empty()) return Fail("Text inside <true/> or <false/>");
        obj = CFRetain(frame.kind == kTrue ? kCFBooleanTrue : kCFBooleanFalse);
        break;
    }
    text.clear();
    if (obj == nullptr) return Fail("Out of memory");
    if (stack.empty()) {
      result = obj;
      return;
    }
    Frame& parent = stack.back();
    if (frame.kind == kKey) {
      parent.keys.push_back(obj);
      parent.awaitingValue = true;
    } else {
      parent.values.push_back(obj);
      parent.awaitingValue = false;
    }
  }

  static void XMLCALL OnStart(void* user, const XML_Char* name, const XML_Char**) {
    static_cast<XMLReader*>(user)->Start(name);
  }
  static void XMLCALL OnEnd(void* user, const XML_Char*) { static_cast<XMLReader*>(user)->End(); }
  static void XMLCALL OnText(void* user, const XML_Char* data, int length) {
    static_cast<XMLReader*>(user)->Text(data, length);
  }
  // Entity declarations are how a document blows up on expansion; a property
  // list never needs one.
  static void XMLCALL OnEntityDecl(void* user, const XML_Char*, int, const XML_Char*, int, const XML_Char*,
                                   const XML_Char*, const XML_Char*, const XML_Char*) {
    static_cast<XMLReader*>(user)->Fail("Entity declarations are not accepted");
  }
  // With a DOCTYPE that names an external DTD, expat cannot tell an unknown
  // entity from one the DTD defines and leaves it out; its text would be lost.
  static void XMLCALL OnSkippedEntity(void* user, const XML_Char* name, int) {
    static_cast<XMLReader*>(user)->Fail(std::string("Undefined entity &") + name + ";");
  }
};

// ---------------------------------------------------------------------------
// Writer

// The text as UTF-8 with the markup characters escaped; false for what XML
// cannot carry.
bool AppendEscaped(CFStringRef str, std::string& out) {
  CFIndex length = 0;
  const UniChar* units = __CFStringGetUnits(str, &length);
  size_t runStart = 0;
  auto flush = [&](CFIndex upto) {
    if (CFIndex(runStart) < upto) __CFAppendUTF8(out, units + runStart, size_t(upto) - runStart);
  };
  for (CFIndex i = 0; i < length; ++i) {
    UniChar u = units[i];
    const char* entity = nullptr;
    if (u == '&') {
      entity = "&amp;";
    } else if (u == '<') {
      entity = "&lt;";
    } else if (u == '>') {
      entity = "&gt;";
    } else if (u == '\r') {
      entity = "&#13;";  // a raw carriage return would read back as a line feed
    } else if ((u < 0x20 && u != '\t' && u != '\n') || u == 0xFFFE || u == 0xFFFF) {
      return false;
    } else if (u >= 0xD800 && u <= 0xDBFF) {
      if (i + 1 >= length || units[i + 1] < 0xDC00 || units[i + 1] > 0xDFFF) return false;
      ++i;
      continue;
    } else if (u >= 0xDC00 && u <= 0xDFFF) {
      return false;
    }
    if (entity) {
      flush(i);
      out += entity;
      runStart = size_t(i) + 1;
    }
  }
  flush(length);
  return true;
}

void Indent(std::string& out, int level) { out.append(size_t(level), '\t'); }

bool WriteObject(CFTypeRef obj, int level, std::string& out) {
  CFTypeID type = CFGetTypeID(obj);
  Indent(out, level);
  if (type == CFStringGetTypeID()) {
    out += "<string>";
    if (!AppendEscaped(static_cast<CFStringRef>(obj), out)) return false;
    out += "</string>\n";
  } else if (type == CFDictionaryGetTypeID()) {
    auto dict = static_cast<CFDictionaryRef>(obj);
    CFIndex count = CFDictionaryGetCount(dict);
    if (count == 0) {
      out += "<dict/>\n";
      return true;
    }
    std::vector<const void*> keys(static_cast<size_t>(count)), values(static_cast<size_t>(count));
    CFDictionaryGetKeysAndValues(dict, keys.data(), values.data());
    out += "<dict>\n";
    for (size_t i = 0; i < keys.size(); ++i) {
      Indent(out, level + 1);
      out += "<key>";
      if (!AppendEscaped(static_cast<CFStringRef>(keys[i]), out)) return false;
      out += "</key>\n";
      if (!WriteObject(values[i], level + 1, out)) return false;
    }
    Indent(out, level);
    out += "</dict>\n";
  } else if (type == CFArrayGetTypeID()) {
    auto array = static_cast<CFArrayRef>(obj);
    CFIndex count = CFArrayGetCount(array);
    if (count == 0) {
      out += "<array/>\n";
      return true;
    }
    out += "<array>\n";
    for (CFIndex i = 0; i < count; ++i)
      if (!WriteObject(CFArrayGetValueAtIndex(array, i), level + 1, out)) return false;
    Indent(out, level);
    out += "</array>\n";
  } else if (type == CFDataGetTypeID()) {
    auto data = static_cast<CFDataRef>(obj);
    out += "<data>\n";
    // Lines of 76 columns, counting a tab as eight, but never narrower than 16.
    size_t width = level * 8 + 16 > 76 ? 16 : size_t(76 - level * 8);
    EncodeBase64(CFDataGetBytePtr(data), size_t(CFDataGetLength(data)), width, std::string(size_t(level), '\t'),
                 out);
    Indent(out, level);
    out += "</data>\n";
  } else if (type == CFDateGetTypeID()) {
    out += "<date>";
    if (!FormatDate(CFDateGetAbsoluteTime(static_cast<CFDateRef>(obj)), out)) return false;
    out += "</date>\n";
  } else if (type == CFBooleanGetTypeID()) {
    out += CFBooleanGetValue(static_cast<CFBooleanRef>(obj)) ? "<true/>\n" : "<false/>\n";
  } else if (type == CFNumberGetTypeID()) {
    auto number = static_cast<CFNumberRef>(obj);
    char buffer[64];
    if (CFNumberIsFloatType(number)) {
      double value = 0;
      CFNumberGetValue(number, kCFNumberFloat64Type, &value);
      if (std::isnan(value))
        std::snprintf(buffer, sizeof buffer, "nan");
      else if (std::isinf(value))
        std::snprintf(buffer, sizeof buffer, value > 0 ? "+infinity" : "-infinity");
      else
        std::snprintf(buffer, sizeof buffer, "%.17g", value);
      out += "<real>";
      out += buffer;
      out += "</real>\n";
    } else {
      SInt64 value = 0;
      CFNumberGetValue(number, kCFNumberSInt64Type, &value);
      std::snprintf(buffer, sizeof buffer, "%lld", static_cast<long long>(value));
      out += "<integer>";
      out += buffer;
      out += "</integer>\n";
    }
  } else {
    return false;
  }
  return true;
}

}  // namespace

CFPropertyListRef __CFPListReadXML(const UInt8* bytes, size_t length, CFOptionFlags options, std::string& error) {
  XMLReader reader;
  reader.options = options;
  reader.parser = XML_ParserCreate(nullptr);
  if (reader.parser == nullptr) {
    error = "Out of memory";
    return nullptr;
  }
  XML_SetUserData(reader.parser, &reader);
  XML_SetElementHandler(reader.parser, XMLReader::OnStart, XMLReader::OnEnd);
  XML_SetCharacterDataHandler(reader.parser, XMLReader::OnText);
  XML_SetEntityDeclHandler(reader.parser, XMLReader::OnEntityDecl);
  XML_SetSkippedEntityHandler(reader.parser, XMLReader::OnSkippedEntity);
  XML_SetParamEntityParsing(reader.parser, XML_PARAM_ENTITY_PARSING_NEVER);

  bool ok = true;
  const size_t kChunk = size_t(1) << 30;
  size_t offset = 0;
  do {
    size_t piece = std::min(kChunk, length - offset);
    bool last = offset + piece == length;
    if (XML_Parse(reader.parser, reinterpret_cast<const char*>(bytes + offset), int(piece), last) !=
        XML_STATUS_OK) {
      ok = false;
      break;
    }
    offset += piece;
  } while (offset < length);
  if (!ok && reader.error.empty()) {
    reader.error = std::string("Malformed XML: ") + XML_ErrorString(XML_GetErrorCode(reader.parser)) + " on line " +
                   std::to_string(XML_GetCurrentLineNumber(reader.parser));
  }
  XML_ParserFree(reader.parser);
  reader.parser = nullptr;
  if (!reader.error.empty() || reader.result == nullptr) {
    error = reader.error.empty() ? "No property list in the data" : reader.error;
    return nullptr;
  }
  CFPropertyListRef result = reader.result;
  reader.result = nullptr;
  return result;
}

bool __CFPListWriteXML(CFPropertyListRef plist, std::string& out) {
  out =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
      "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
      "<plist version=\"1.0\">\n";
  if (!WriteObject(plist, 0, out)) return false;
  out += "</plist>\n";
  return true;
}
