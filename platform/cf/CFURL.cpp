// URLs: parsing and validation of the URL string, file-system paths, the
// parts of network URLs, derived URLs and percent escapes.
//
// A URL keeps its string as given (ASCII only: everything else is
// percent-escaped) plus the offsets of its parts, and an optional base.
#include "CFURL.h"

#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "CFData.h"
#include "CFRuntime.h"
#include "CFStringInternal.h"

namespace {

// ---------------------------------------------------------------------------
// Character classes

bool IsAlpha(unsigned char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }
bool IsHex(unsigned char c) { return IsDigit(c) || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f'); }
int HexValue(unsigned char c) {
  if (IsDigit(c)) return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return c - 'a' + 10;
}
bool IsUnreserved(unsigned char c) {
  return IsAlpha(c) || IsDigit(c) || c == '-' || c == '.' || c == '_' || c == '~';
}
bool IsSubDelim(unsigned char c) { return c != 0 && std::strchr("!$&'()*+,;=", c) != nullptr; }
bool IsGenDelim(unsigned char c) { return c != 0 && std::strchr(":/?#[]@", c) != nullptr; }
// Characters that may stand in a URL as they are.
bool IsLegalURLChar(unsigned char c) { return IsUnreserved(c) || IsSubDelim(c) || IsGenDelim(c); }
// Characters a path keeps unescaped when it is made from a file-system path.
bool IsPathChar(unsigned char c) {
  return IsUnreserved(c) || (c != 0 && std::strchr("!$&'()*+,=:@/", c) != nullptr);
}

const char kHexDigits[] = "0123456789ABCDEF";

void AppendEscape(std::string& out, unsigned char byte) {
  out += '%';
  out += kHexDigits[byte >> 4];
  out += kHexDigits[byte & 15];
}

// ---------------------------------------------------------------------------
// Parsing

struct Span {
  size_t pos = std::string::npos;
  size_t len = 0;
  bool present() const { return pos != std::string::npos; }
  std::string_view in(const std::string& s) const {
    return present() ? std::string_view(s).substr(pos, len) : std::string_view();
  }
};

struct Parts {
  Span scheme, user, password, host, port, path, query, fragment;
  bool hasAuthority = false;
  size_t authorityEnd = 0;  // where the path starts
  SInt32 portNumber = -1;
};

bool IsValidScheme(std::string_view s) {
  if (s.empty() || !IsAlpha(s[0])) return false;
  for (unsigned char c : s)
    if (!IsAlpha(c) && !IsDigit(c) && c != '+' && c != '-' && c != '.') return false;
  return true;
}

// Splits an ASCII URL string into its parts; false when it is no valid URL.
bool ParseURL(const std::string& s, Parts& p) {
  const size_t n = s.size();
  for (size_t i = 0; i < n; ++i) {
    unsigned char c = s[i];
    if (c == '%') {
      if (i + 2 >= n || !IsHex(s[i + 1]) || !IsHex(s[i + 2])) return false;
      i += 2;
    } else if (!IsLegalURLChar(c)) {
      return false;
    }
  }
  size_t end = n;
  size_t hash = s.find('#');
  if (hash != std::string::npos) {
    if (s.find('#', hash + 1) != std::string::npos) return false;
    p.fragment = {hash + 1, n - hash - 1};
    end = hash;
  }
  size_t question = s.find('?');
  if (question != std::string::npos && question < end) {
    p.query = {question + 1, end - question - 1};
    end = question;
  }
  size_t i = 0;
  size_t colon = s.find_first_of(":/", 0);
  if (colon != std::string::npos && colon < end && s[colon] == ':' &&
      IsValidScheme(std::string_view(s).substr(0, colon))) {
    p.scheme = {0, colon};
    i = colon + 1;
  }
  if (end - i >= 2 && s[i] == '/' && s[i + 1] == '/') {
    p.hasAuthority = true;
    size_t a = i + 2;
    size_t aEnd = s.find('/', a);
    if (aEnd == std::string::npos || aEnd > end) aEnd = end;
    size_t at = s.rfind('@', aEnd == 0 ? 0 : aEnd - 1);
    size_t hostStart = a;
    if (at != std::string::npos && at >= a && at < aEnd) {
      size_t userColon = s.find(':', a);
      if (userColon != std::string::npos && userColon < at) {
        p.user = {a, userColon - a};
        p.password = {userColon + 1, at - userColon - 1};
      } else {
        p.user = {a, at - a};
      }
      hostStart = at + 1;
    }
    size_t hostEnd;
    size_t portStart = std::string::npos;
    if (hostStart < aEnd && s[hostStart] == '[') {
      size_t close = s.find(']', hostStart);
      if (close == std::string::npos || close >= aEnd) return false;
      // The brackets only mark an address literal; the host is what they hold.
      p.host = {hostStart + 1, close - hostStart - 1};
      hostEnd = close + 1;
      if (hostEnd < aEnd) {
        if (s[hostEnd] != ':') return false;
        portStart = hostEnd + 1;
      }
    } else {
      size_t hostColon = s.find(':', hostStart);
      hostEnd = (hostColon != std::string::npos && hostColon < aEnd) ? hostColon : aEnd;
      p.host = {hostStart, hostEnd - hostStart};
      if (hostEnd < aEnd) portStart = hostEnd + 1;
      for (size_t k = hostStart; k < hostEnd; ++k)
        if (s[k] == '[' || s[k] == ']') return false;
    }
    for (size_t k = a; k < hostStart; ++k)
      if (s[k] == '[' || s[k] == ']') return false;
    if (portStart != std::string::npos && portStart < aEnd) {
      long value = 0;
      for (size_t k = portStart; k < aEnd; ++k) {
        if (!IsDigit(s[k])) return false;
        value = value * 10 + (s[k] - '0');
        if (value > 65535) return false;
      }
      p.port = {portStart, aEnd - portStart};
      p.portNumber = SInt32(value);
    }
    i = aEnd;
  }
  p.authorityEnd = i;
  p.path = {i, end - i};
  return true;
}

// ---------------------------------------------------------------------------
// Percent escapes

// Replaces %XX escapes with their bytes; false for a malformed escape.
bool Unescape(std::string_view in, std::string& out) {
  out.clear();
  out.reserve(in.size());
  for (size_t i = 0; i < in.size(); ++i) {
    unsigned char c = in[i];
    if (c != '%') {
      out += char(c);
      continue;
    }
    if (i + 2 >= in.size() || !IsHex(in[i + 1]) || !IsHex(in[i + 2])) return false;
    out += char(HexValue(in[i + 1]) * 16 + HexValue(in[i + 2]));
    i += 2;
  }
  return true;
}

// A string of UTF-8 text; nil when the bytes are not UTF-8.
CFStringRef StringFromUTF8(std::string_view utf8) { return __CFStringCreateWithUTF8(utf8); }

CFStringRef UnescapedString(std::string_view escaped) {
  std::string raw;
  if (!Unescape(escaped, raw)) return nullptr;
  return StringFromUTF8(raw);
}

// The UTF-8 form of a string; false for nil or an unpaired surrogate.
bool StrictUTF8(CFStringRef str, std::string& out) {
  out.clear();
  if (str == nullptr || CFGetTypeID(str) != CFStringGetTypeID()) return false;
  CFIndex length = 0;
  const UniChar* units = __CFStringGetUnits(str, &length);
  for (CFIndex i = 0; i < length; ++i) {
    UniChar u = units[i];
    if (u >= 0xD800 && u <= 0xDBFF) {
      if (i + 1 >= length || units[i + 1] < 0xDC00 || units[i + 1] > 0xDFFF) return false;
      ++i;
    } else if (u >= 0xDC00 && u <= 0xDFFF) {
      return false;
    }
  }
  out.clear();
  __CFAppendUTF8(out, units, size_t(length));
  return true;
}

// The string's characters when they are all ASCII.
bool ASCIIText(CFStringRef str, std::string& out) {
  out.clear();
  if (str == nullptr || CFGetTypeID(str) != CFStringGetTypeID()) return false;
  CFIndex length = 0;
  const UniChar* units = __CFStringGetUnits(str, &length);
  out.reserve(size_t(length));
  for (CFIndex i = 0; i < length; ++i) {
    if (units[i] >= 0x80) return false;
    out += char(units[i]);
  }
  return true;
}

// Escapes every byte that keep() refuses.
template <typename Keep>
std::string EscapeBytes(std::string_view bytes, Keep keep) {
  std::string out;
  out.reserve(bytes.size());
  for (unsigned char c : bytes) {
    if (keep(c))
      out += char(c);
    else
      AppendEscape(out, c);
  }
  return out;
}

// A set of UTF-16 code units, answered in constant time whatever its size.
class UnitSet {
 public:
  explicit UnitSet(CFStringRef str) {
    CFIndex count = 0;
    const UniChar* units = __CFStringGetUnits(str, &count);
    if (count > 0) bits_.assign(65536, false);
    for (CFIndex i = 0; i < count; ++i) bits_[units[i]] = true;
  }
  bool Contains(UniChar u) const { return !bits_.empty() && bits_[u]; }

 private:
  std::vector<bool> bits_;
};

}  // namespace

// ---------------------------------------------------------------------------
// The object

struct __CFURL : __CFRuntimeBase {
  __CFURL() : __CFRuntimeBase(kCFTypeIDURL) {}
  ~__CFURL() override {
    if (string) CFRelease(string);
    if (base) CFRelease(base);
  }

  bool Equal(const __CFRuntimeBase* other) const override {
    auto* o = static_cast<const __CFURL*>(other);
    if (text != o->text) return false;
    if (base == nullptr || o->base == nullptr) return base == o->base;
    return CFEqual(base, o->base);
  }
  CFHashCode Hash() const override { return CFHashCode(std::hash<std::string>()(text)); }
  std::string Describe() const override {
    if (base == nullptr) return text;
    return text + " -- " + CFObj(base)->Describe();
  }

  std::string text;
  Parts parts;
  CFStringRef string = nullptr;
  CFURLRef base = nullptr;
};

namespace {

const __CFURL* AsURL(CFTypeRef cf) { return CFCast<__CFURL>(cf, kCFTypeIDURL); }

// A URL of the text and base; nil when the text is no valid URL. An absolute
// URL drops the base. A relative URL needs a base unless it has a path.
CFURLRef MakeURL(std::string text, CFURLRef base) {
  Parts parts;
  if (!ParseURL(text, parts)) return nullptr;
  if (parts.scheme.present()) base = nullptr;
  if (base == nullptr && text.empty()) return nullptr;
  CFStringRef string = StringFromUTF8(text);
  if (string == nullptr) return nullptr;
  auto* url = new __CFURL();
  url->text = std::move(text);
  url->parts = parts;
  url->string = string;
  url->base = base ? static_cast<CFURLRef>(CFRetain(base)) : nullptr;
  return url;
}

// Removes "." and ".." segments (RFC 3986, 5.2.4).
std::string RemoveDotSegments(std::string_view in) {
  std::string out;
  while (!in.empty()) {
    if (in.substr(0, 3) == "../") {
      in.remove_prefix(3);
    } else if (in.substr(0, 2) == "./") {
      in.remove_prefix(2);
    } else if (in.substr(0, 3) == "/./") {
      in.remove_prefix(2);
    } else if (in == "/.") {
      in = "/";
    } else if (in.substr(0, 4) == "/../" || in == "/..") {
      in = in.size() == 3 ? std::string_view("/") : in.substr(3);
      size_t slash = out.rfind('/');
      out.erase(slash == std::string::npos ? 0 : slash);
    } else if (in == "." || in == "..") {
      in = {};
    } else {
      size_t next = in.find('/', 1);
      if (next == std::string_view::npos) next = in.size();
      out.append(in.substr(0, next));
      in.remove_prefix(next);
    }
  }
  return out;
}

// The string of the URL resolved against its base (RFC 3986, 5.2.2).
std::string AbsoluteText(const __CFURL* u) {
  if (u->base == nullptr) return u->text;
  const __CFURL* b = AsURL(u->base);
  std::string baseText = AbsoluteText(b);
  Parts bp;
  if (!ParseURL(baseText, bp)) return u->text;
  const Parts& r = u->parts;
  const std::string& rt = u->text;
  std::string scheme(bp.scheme.in(baseText));
  std::string authority, path, query;
  bool hasQuery = false;
  if (r.hasAuthority) {
    authority = rt.substr(0, r.authorityEnd);
    path = RemoveDotSegments(r.path.in(rt));
    hasQuery = r.query.present();
    query = r.query.in(rt);
  } else {
    authority = baseText.substr(bp.scheme.present() ? bp.scheme.len + 1 : 0,
                                bp.authorityEnd - (bp.scheme.present() ? bp.scheme.len + 1 : 0));
    std::string_view rpath = r.path.in(rt);
    if (rpath.empty()) {
      path = bp.path.in(baseText);
      hasQuery = r.query.present() || bp.query.present();
      query = r.query.present() ? r.query.in(rt) : bp.query.in(baseText);
    } else {
      if (rpath[0] == '/') {
        path = RemoveDotSegments(rpath);
      } else {
        std::string_view bpath = bp.path.in(baseText);
        std::string merged;
        if (bp.hasAuthority && bpath.empty()) {
          merged = "/";
        } else {
          size_t slash = bpath.rfind('/');
          if (slash != std::string_view::npos) merged = bpath.substr(0, slash + 1);
        }
        merged.append(rpath);
        path = RemoveDotSegments(merged);
      }
      hasQuery = r.query.present();
      query = r.query.in(rt);
    }
  }
  std::string out;
  if (!scheme.empty()) out = scheme + ":";
  out += authority;
  out += path;
  if (hasQuery) out += "?" + query;
  if (r.fragment.present()) out += "#" + std::string(r.fragment.in(rt));
  return out;
}

// The URL that holds scheme and authority for u: u itself when it names
// them, its base otherwise.
const __CFURL* AuthorityOwner(const __CFURL* u) {
  while (u && !u->parts.scheme.present() && !u->parts.hasAuthority && u->base) u = AsURL(u->base);
  return u;
}

// The text of u with its path replaced.
std::string WithPath(const __CFURL* u, std::string_view path) {
  const Parts& p = u->parts;
  std::string out = u->text.substr(0, p.authorityEnd);
  out.append(path);
  out.append(u->text.substr(p.path.pos + p.path.len));
  return out;
}

// The last component of a path, without a trailing "/"; the range within path.
void LastComponent(std::string_view path, size_t& start, size_t& len) {
  size_t end = path.size();
  if (end > 1 && path[end - 1] == '/') --end;
  size_t slash = end == 0 ? std::string_view::npos : path.rfind('/', end - 1);
  if (end == 1 && path[0] == '/') slash = std::string_view::npos;
  start = slash == std::string_view::npos ? 0 : slash + 1;
  len = end - start;
}

// Position of the extension's dot in a component, or npos: a leading dot
// (".htaccess") and a trailing one mark no extension.
size_t ExtensionDot(std::string_view component) {
  size_t dot = component.rfind('.');
  if (dot == std::string_view::npos || dot == 0 || dot + 1 == component.size()) return std::string_view::npos;
  return dot;
}

CFURLRef FileURLFromBytes(std::string path, bool isDirectory) {
  if (path.empty() || path.find('\0') != std::string::npos) return nullptr;
  if (isDirectory) {
    if (path.back() != '/') path += '/';
  } else {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
  }
  if (path[0] == '/') return MakeURL("file://" + EscapeBytes(path, IsPathChar), nullptr);
  // A relative path: escape ":" too, so that its first segment cannot read as a scheme.
  std::string escaped = EscapeBytes(path, [](unsigned char c) { return c != ':' && IsPathChar(c); });
  std::string cwd;
  char buffer[PATH_MAX];
  if (getcwd(buffer, sizeof buffer) == nullptr) return nullptr;
  cwd = buffer;
  CFURLRef base = FileURLFromBytes(cwd, true);
  if (base == nullptr) return nullptr;
  CFURLRef url = MakeURL(escaped, base);
  CFRelease(base);
  return url;
}

}  // namespace

// ---------------------------------------------------------------------------
// Creation

CFTypeID CFURLGetTypeID() { return kCFTypeIDURL; }

CFURLRef CFURLCreateWithString(CFAllocatorRef, CFStringRef URLString, CFURLRef baseURL) {
  std::string text;
  if (!ASCIIText(URLString, text)) return nullptr;
  if (baseURL != nullptr && AsURL(baseURL) == nullptr) return nullptr;
  return MakeURL(std::move(text), baseURL);
}

CFURLRef CFURLCreateWithBytes(CFAllocatorRef, const UInt8* URLBytes, CFIndex length, CFStringEncoding encoding,
                              CFURLRef baseURL) {
  if (URLBytes == nullptr || length < 0) return nullptr;
  if (baseURL != nullptr && AsURL(baseURL) == nullptr) return nullptr;
  __CFUniChars units;
  if (!__CFStringDecodeBytes(URLBytes, size_t(length), encoding, false, units)) return nullptr;
  std::string text;
  text.reserve(units.size());
  for (size_t i = 0; i < units.size(); ++i) {
    if (units[i] < 0x80) {
      text += char(units[i]);
      continue;
    }
    size_t count = 1;
    if (units[i] >= 0xD800 && units[i] <= 0xDBFF && i + 1 < units.size()) count = 2;
    std::string bytes;
    if (!__CFStringEncodeUnits(&units[i], count, encoding, 0, false, bytes)) return nullptr;
    for (unsigned char c : bytes) AppendEscape(text, c);
    i += count - 1;
  }
  return MakeURL(std::move(text), baseURL);
}

CFURLRef CFURLCreateWithFileSystemPath(CFAllocatorRef, CFStringRef filePath, CFURLPathStyle pathStyle,
                                       Boolean isDirectory) {
  if (pathStyle != kCFURLPOSIXPathStyle) return nullptr;
  std::string path;
  if (!StrictUTF8(filePath, path)) return nullptr;
  return FileURLFromBytes(std::move(path), isDirectory);
}

CFURLRef CFURLCreateFromFileSystemRepresentation(CFAllocatorRef, const UInt8* buffer, CFIndex bufLen,
                                                 Boolean isDirectory) {
  if (buffer == nullptr || bufLen <= 0) return nullptr;
  return FileURLFromBytes(std::string(reinterpret_cast<const char*>(buffer), size_t(bufLen)), isDirectory);
}

CFURLRef CFURLCopyAbsoluteURL(CFURLRef relativeURL) {
  const __CFURL* u = AsURL(relativeURL);
  if (u == nullptr) return nullptr;
  if (u->base == nullptr) return static_cast<CFURLRef>(CFRetain(relativeURL));
  return MakeURL(AbsoluteText(u), nullptr);
}

// ---------------------------------------------------------------------------
// Parts

CFStringRef CFURLGetString(CFURLRef anURL) {
  const __CFURL* u = AsURL(anURL);
  return u ? u->string : nullptr;
}

CFURLRef CFURLGetBaseURL(CFURLRef anURL) {
  const __CFURL* u = AsURL(anURL);
  return u ? u->base : nullptr;
}

CFStringRef CFURLCopyScheme(CFURLRef anURL) {
  const __CFURL* u = AuthorityOwner(AsURL(anURL));
  if (u == nullptr || !u->parts.scheme.present()) return nullptr;
  return StringFromUTF8(u->parts.scheme.in(u->text));
}

CFStringRef CFURLCopyHostName(CFURLRef anURL) {
  const __CFURL* u = AuthorityOwner(AsURL(anURL));
  if (u == nullptr || !u->parts.host.present()) return nullptr;
  return UnescapedString(u->parts.host.in(u->text));
}

SInt32 CFURLGetPortNumber(CFURLRef anURL) {
  const __CFURL* u = AuthorityOwner(AsURL(anURL));
  return u ? u->parts.portNumber : -1;
}

CFStringRef CFURLCopyUserName(CFURLRef anURL) {
  const __CFURL* u = AuthorityOwner(AsURL(anURL));
  if (u == nullptr || !u->parts.user.present()) return nullptr;
  return UnescapedString(u->parts.user.in(u->text));
}

CFStringRef CFURLCopyPassword(CFURLRef anURL) {
  const __CFURL* u = AuthorityOwner(AsURL(anURL));
  if (u == nullptr || !u->parts.password.present()) return nullptr;
  return UnescapedString(u->parts.password.in(u->text));
}

CFStringRef CFURLCopyPath(CFURLRef anURL) {
  const __CFURL* u = AsURL(anURL);
  if (u == nullptr) return nullptr;
  return StringFromUTF8(u->parts.path.in(u->text));
}

CFStringRef CFURLCopyFileSystemPath(CFURLRef anURL, CFURLPathStyle pathStyle) {
  const __CFURL* u = AsURL(anURL);
  if (u == nullptr || pathStyle != kCFURLPOSIXPathStyle) return nullptr;
  std::string_view path = u->parts.path.in(u->text);
  if (path.size() > 1 && path.back() == '/') path.remove_suffix(1);
  return UnescapedString(path);
}

Boolean CFURLGetFileSystemRepresentation(CFURLRef url, Boolean resolveAgainstBase, UInt8* buffer,
                                         CFIndex maxBufLen) {
  const __CFURL* u = AsURL(url);
  if (u == nullptr || buffer == nullptr || maxBufLen <= 0) return false;
  std::string text = resolveAgainstBase ? AbsoluteText(u) : u->text;
  Parts p;
  if (!ParseURL(text, p)) return false;
  if (p.scheme.present()) {
    std::string scheme(p.scheme.in(text));
    for (char& c : scheme) c = char(std::tolower(static_cast<unsigned char>(c)));
    if (scheme != "file") return false;
  }
  if (p.hasAuthority) {
    std::string_view host = p.host.in(text);
    if (!host.empty() && host != "localhost") return false;
  }
  std::string_view path = p.path.in(text);
  if (path.empty()) return false;
  if (path.size() > 1 && path.back() == '/') path.remove_suffix(1);
  std::string raw;
  if (!Unescape(path, raw) || raw.find('\0') != std::string::npos) return false;
  if (CFIndex(raw.size()) + 1 > maxBufLen) return false;
  std::memcpy(buffer, raw.data(), raw.size());
  buffer[raw.size()] = 0;
  return true;
}

CFStringRef CFURLCopyLastPathComponent(CFURLRef url) {
  const __CFURL* u = AsURL(url);
  if (u == nullptr) return nullptr;
  std::string_view path = u->parts.path.in(u->text);
  size_t start, len;
  LastComponent(path, start, len);
  std::string_view component = path.substr(start, len);
  CFStringRef result = UnescapedString(component);
  // Escapes that are not UTF-8 are shown as they are written.
  return result ? result : StringFromUTF8(component);
}

CFStringRef CFURLCopyPathExtension(CFURLRef url) {
  const __CFURL* u = AsURL(url);
  if (u == nullptr) return nullptr;
  std::string_view path = u->parts.path.in(u->text);
  size_t start, len;
  LastComponent(path, start, len);
  std::string_view component = path.substr(start, len);
  size_t dot = ExtensionDot(component);
  if (dot == std::string_view::npos) return nullptr;
  return UnescapedString(component.substr(dot + 1));
}

Boolean CFURLHasDirectoryPath(CFURLRef anURL) {
  const __CFURL* u = AsURL(anURL);
  if (u == nullptr) return false;
  std::string_view path = u->parts.path.in(u->text);
  return !path.empty() && path.back() == '/';
}

// ---------------------------------------------------------------------------
// Derived URLs

CFURLRef CFURLCreateCopyAppendingPathComponent(CFAllocatorRef, CFURLRef url, CFStringRef pathComponent,
                                               Boolean isDirectory) {
  const __CFURL* u = AsURL(url);
  std::string component;
  if (u == nullptr || !StrictUTF8(pathComponent, component)) return nullptr;
  bool relative = !u->parts.scheme.present();
  std::string escaped = EscapeBytes(component, [relative](unsigned char c) {
    return IsPathChar(c) && !(relative && c == ':');
  });
  std::string path(u->parts.path.in(u->text));
  if (path.empty() ? u->parts.hasAuthority : path.back() != '/') path += '/';
  path += escaped;
  if (isDirectory && (path.empty() || path.back() != '/')) path += '/';
  return MakeURL(WithPath(u, path), u->base);
}

CFURLRef CFURLCreateCopyDeletingLastPathComponent(CFAllocatorRef, CFURLRef url) {
  const __CFURL* u = AsURL(url);
  if (u == nullptr) return nullptr;
  std::string_view path = u->parts.path.in(u->text);
  if (path.empty() || path == "/") return static_cast<CFURLRef>(CFRetain(url));
  size_t start, len;
  LastComponent(path, start, len);
  std::string_view component = path.substr(start, len);
  std::string result;
  if (component == "..") {
    result = std::string(path.substr(0, start + len)) + "/../";
  } else {
    result = std::string(path.substr(0, start));
    if (result.empty()) result = "./";
  }
  return MakeURL(WithPath(u, result), u->base);
}

CFURLRef CFURLCreateCopyAppendingPathExtension(CFAllocatorRef, CFURLRef url, CFStringRef extension) {
  const __CFURL* u = AsURL(url);
  std::string ext;
  if (u == nullptr || !StrictUTF8(extension, ext) || ext.empty() || ext.find('/') != std::string::npos)
    return nullptr;
  std::string_view path = u->parts.path.in(u->text);
  size_t start, len;
  LastComponent(path, start, len);
  if (len == 0 || path == "/") return nullptr;
  std::string result(path.substr(0, start + len));
  result += '.';
  result += EscapeBytes(ext, IsPathChar);
  result.append(path.substr(start + len));
  return MakeURL(WithPath(u, result), u->base);
}

CFURLRef CFURLCreateCopyDeletingPathExtension(CFAllocatorRef, CFURLRef url) {
  const __CFURL* u = AsURL(url);
  if (u == nullptr) return nullptr;
  std::string_view path = u->parts.path.in(u->text);
  size_t start, len;
  LastComponent(path, start, len);
  size_t dot = ExtensionDot(path.substr(start, len));
  if (dot == std::string_view::npos) return static_cast<CFURLRef>(CFRetain(url));
  std::string result(path.substr(0, start + dot));
  result.append(path.substr(start + len));
  return MakeURL(WithPath(u, result), u->base);
}

// ---------------------------------------------------------------------------
// Percent escapes

CFStringRef CFURLCreateStringByAddingPercentEscapes(CFAllocatorRef, CFStringRef originalString,
                                                    CFStringRef charactersToLeaveUnescaped,
                                                    CFStringRef legalURLCharactersToBeEscaped,
                                                    CFStringEncoding encoding) {
  if (originalString == nullptr || CFGetTypeID(originalString) != CFStringGetTypeID()) return nullptr;
  CFIndex length = 0;
  const UniChar* units = __CFStringGetUnits(originalString, &length);
  UnitSet leave(charactersToLeaveUnescaped), escape(legalURLCharactersToBeEscaped);
  __CFUniChars out;
  out.reserve(size_t(length));
  std::string bytes;
  for (CFIndex i = 0; i < length; ++i) {
    UniChar u = units[i];
    if (leave.Contains(u) || (u < 0x80 && IsLegalURLChar(u) && !escape.Contains(u))) {
      out.push_back(u);
      continue;
    }
    size_t count = 1;
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < length && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF)
      count = 2;
    bytes.clear();
    if (!__CFStringEncodeUnits(&units[i], count, encoding, 0, false, bytes)) return nullptr;
    for (unsigned char c : bytes) {
      out.push_back('%');
      out.push_back(UniChar(kHexDigits[c >> 4]));
      out.push_back(UniChar(kHexDigits[c & 15]));
    }
    i += CFIndex(count) - 1;
  }
  return __CFStringCreateWithUnits(std::move(out));
}

CFStringRef CFURLCreateStringByReplacingPercentEscapesUsingEncoding(CFAllocatorRef, CFStringRef origString,
                                                                    CFStringRef charsToLeaveEscaped,
                                                                    CFStringEncoding encoding) {
  if (origString == nullptr || CFGetTypeID(origString) != CFStringGetTypeID()) return nullptr;
  if (charsToLeaveEscaped == nullptr) return CFStringCreateCopy(nullptr, origString);
  CFIndex length = 0;
  const UniChar* units = __CFStringGetUnits(origString, &length);
  UnitSet leave(charsToLeaveEscaped);
  const bool utf8 = encoding == kCFStringEncodingUTF8;
  // UTF-16 and UTF-32 need the whole run of escapes; other encodings map byte by byte.
  const bool wide = !utf8 && (encoding & 0xFFFF) == 0x0100;
  __CFUniChars out;
  out.reserve(size_t(length));
  for (CFIndex i = 0; i < length;) {
    if (units[i] != '%') {
      out.push_back(units[i++]);
      continue;
    }
    // A run of escapes; in UTF-8 one character's bytes, otherwise the whole run.
    std::string bytes;
    CFIndex j = i;
    size_t expected = 0;
    while (j < length && units[j] == '%') {
      if (j + 2 >= length || units[j + 1] >= 0x80 || units[j + 2] >= 0x80 || !IsHex(UInt8(units[j + 1])) ||
          !IsHex(UInt8(units[j + 2])))
        return nullptr;
      unsigned char byte = UInt8(HexValue(UInt8(units[j + 1])) * 16 + HexValue(UInt8(units[j + 2])));
      if (utf8 && bytes.empty()) {
        expected = byte < 0x80 ? 1 : (byte & 0xE0) == 0xC0 ? 2 : (byte & 0xF0) == 0xE0 ? 3 : (byte & 0xF8) == 0xF0 ? 4 : 1;
      }
      bytes += char(byte);
      j += 3;
      if (utf8 ? bytes.size() == expected : !wide) break;
    }
    __CFUniChars decoded;
    if (!__CFStringDecodeBytes(reinterpret_cast<const UInt8*>(bytes.data()), bytes.size(), encoding, false,
                               decoded))
      return nullptr;
    bool keepEscaped = false;
    for (UniChar d : decoded)
      if (leave.Contains(d)) keepEscaped = true;
    if (keepEscaped)
      out.insert(out.end(), units + i, units + j);
    else
      out.insert(out.end(), decoded.begin(), decoded.end());
    i = j;
  }
  return __CFStringCreateWithUnits(std::move(out));
}

CFStringRef CFURLCreateStringByReplacingPercentEscapes(CFAllocatorRef allocator, CFStringRef originalString,
                                                       CFStringRef charactersToLeaveEscaped) {
  return CFURLCreateStringByReplacingPercentEscapesUsingEncoding(allocator, originalString,
                                                                 charactersToLeaveEscaped, kCFStringEncodingUTF8);
}

CFDataRef CFURLCreateData(CFAllocatorRef allocator, CFURLRef url, CFStringEncoding encoding, Boolean) {
  const __CFURL* u = AsURL(url);
  if (u == nullptr) return nullptr;
  return CFStringCreateExternalRepresentation(allocator, u->string, encoding, 0);
}
