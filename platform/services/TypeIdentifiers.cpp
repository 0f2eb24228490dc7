// Type identifiers: the built-in table, conformance, tags, and the desktop's
// content types for the tags the table does not know.
#include <gio/gio.h>

#include <cstdio>
#include <mutex>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "CFStringInternal.h"
#include "UTType.h"

const CFStringRef kUTTagClassFilenameExtension = CFStringMakeConstantUTF8("public.filename-extension");
const CFStringRef kUTTagClassMIMEType = CFStringMakeConstantUTF8("public.mime-type");
const CFStringRef kUTTagClassNSPboardType = CFStringMakeConstantUTF8("public.pasteboard-type");
const CFStringRef kUTTagClassOSType = CFStringMakeConstantUTF8("public.ostype");

const CFStringRef kUTTypeItem = CFStringMakeConstantUTF8("public.item");
const CFStringRef kUTTypeData = CFStringMakeConstantUTF8("public.data");
const CFStringRef kUTTypeText = CFStringMakeConstantUTF8("public.text");
const CFStringRef kUTTypePlainText = CFStringMakeConstantUTF8("public.plain-text");
const CFStringRef kUTTypeSourceCode = CFStringMakeConstantUTF8("public.source-code");
const CFStringRef kUTTypeHTML = CFStringMakeConstantUTF8("public.html");
const CFStringRef kUTTypeXML = CFStringMakeConstantUTF8("public.xml");
const CFStringRef kUTTypeImage = CFStringMakeConstantUTF8("public.image");
const CFStringRef kUTTypeFolder = CFStringMakeConstantUTF8("public.folder");
const CFStringRef kUTTypePackage = CFStringMakeConstantUTF8("com.apple.package");
const CFStringRef kUTTypeURL = CFStringMakeConstantUTF8("public.url");
const CFStringRef kUTTypePDF = CFStringMakeConstantUTF8("com.adobe.pdf");

namespace {

struct TypeEntry {
  const char* identifier;
  std::vector<const char*> parents;
  std::vector<const char*> extensions;  // preferred first, lower case
  std::vector<const char*> mimeTypes;   // lower case
  std::vector<const char*> osTypes;     // exactly four characters
  const char* description;
};

// Parents before children is not required; every parent named must exist.
const std::vector<TypeEntry>& Table() {
  static const std::vector<TypeEntry> table = {
      // Roots and the physical hierarchy.
      {"public.item", {}, {}, {}, {}, "item"},
      {"public.content", {"public.item"}, {}, {}, {}, "content"},
      {"public.data", {"public.item"}, {}, {"application/octet-stream"}, {}, "data"},
      {"public.directory", {"public.item"}, {}, {"inode/directory"}, {}, "directory"},
      {"public.folder", {"public.directory"}, {}, {}, {"fold"}, "folder"},
      {"public.volume", {"public.folder"}, {}, {}, {"disk"}, "volume"},
      {"public.symlink", {"public.item"}, {}, {"inode/symlink"}, {}, "symbolic link"},
      {"public.executable", {"public.item"}, {}, {}, {}, "executable"},
      {"public.unix-executable", {"public.executable", "public.data"}, {}, {"application/x-executable"}, {},
       "Unix executable"},
      {"com.apple.package", {"public.directory"}, {}, {}, {}, "package"},
      {"com.apple.bundle", {"public.directory"}, {}, {}, {}, "bundle"},
      {"com.apple.application", {"public.executable"}, {}, {}, {}, "application"},
      {"com.apple.application-bundle",
       {"com.apple.application", "com.apple.bundle", "com.apple.package"}, {"app"}, {}, {"APPL"}, "application"},
      {"com.apple.framework", {"com.apple.bundle"}, {"framework"}, {}, {}, "framework"},
      {"com.apple.plugin", {"com.apple.bundle", "com.apple.package"}, {"bundle", "plugin"}, {}, {}, "plug-in"},
      {"com.brindlecote.quorvel.project", {"com.apple.package"}, {"qvproj"}, {}, {}, "Quorvel project"},

      // Text.
      {"public.text", {"public.data", "public.content"}, {}, {"text/*"}, {}, "text"},
      {"public.plain-text", {"public.text"}, {"txt", "text"}, {"text/plain"}, {"TEXT"}, "plain text"},
      {"public.utf8-plain-text", {"public.plain-text"}, {}, {}, {}, "Unicode text (UTF-8)"},
      {"public.utf16-plain-text", {"public.plain-text"}, {}, {}, {"utxt"}, "Unicode text (UTF-16)"},
      {"public.rtf", {"public.text"}, {"rtf"}, {"text/rtf", "application/rtf"}, {"RTF "}, "rich text"},
      {"public.log", {"public.plain-text"}, {"log"}, {"text/x-log"}, {}, "log file"},
      {"public.comma-separated-values-text", {"public.plain-text"}, {"csv"}, {"text/csv"}, {},
       "comma-separated values"},
      {"net.daringfireball.markdown", {"public.plain-text"}, {"md", "markdown"}, {"text/markdown", "text/x-markdown"},
       {}, "Markdown text"},
      {"public.yaml", {"public.plain-text"}, {"yaml", "yml"}, {"application/x-yaml", "text/yaml"}, {}, "YAML text"},
      {"public.json", {"public.text"}, {"json"}, {"application/json"}, {}, "JSON text"},
      {"public.css", {"public.plain-text"}, {"css"}, {"text/css"}, {}, "style sheet"},

      // Source code and scripts.
      {"public.source-code", {"public.plain-text"}, {}, {}, {}, "source code"},
      {"public.script", {"public.source-code"}, {}, {}, {}, "script"},
      {"public.shell-script", {"public.script"}, {"sh", "command", "bash", "zsh", "csh", "ksh", "tcsh"},
       {"application/x-shellscript", "application/x-sh", "text/x-sh"}, {}, "shell script"},
      {"public.php-script", {"public.script"}, {"php", "php3", "php4", "php5", "phtml"},
       {"application/x-php", "text/x-php", "application/x-httpd-php"}, {}, "PHP script"},
      {"public.perl-script", {"public.script"}, {"pl", "pm", "cgi"},
       {"application/x-perl", "text/x-perl"}, {}, "Perl script"},
      {"public.ruby-script", {"public.script"}, {"rb", "rbw"},
       {"application/x-ruby", "text/x-ruby"}, {}, "Ruby script"},
      {"public.python-script", {"public.script"}, {"py"},
       {"text/x-python", "text/x-python3", "application/x-python"}, {}, "Python script"},
      {"com.netscape.javascript-source", {"public.source-code", "public.script"},
       {"js", "jscript", "javascript", "mjs"},
       {"text/javascript", "application/javascript", "application/x-javascript"}, {}, "JavaScript source"},
      {"public.pascal-source", {"public.source-code"}, {"pas", "p", "pp"}, {"text/x-pascal"}, {}, "Pascal source"},
      {"public.c-source", {"public.source-code"}, {"c"}, {"text/x-csrc"}, {}, "C source"},
      {"public.c-header", {"public.source-code"}, {"h"}, {"text/x-chdr"}, {}, "C header"},
      {"public.c-plus-plus-source", {"public.source-code"}, {"cpp", "cc", "cxx", "c++"}, {"text/x-c++src"}, {},
       "C++ source"},

      // Markup.
      {"public.html", {"public.text"}, {"html", "htm", "shtml", "shtm"}, {"text/html"}, {"HTML"}, "HTML document"},
      {"public.xml", {"public.text"}, {"xml"}, {"application/xml", "text/xml"}, {}, "XML document"},
      {"public.xhtml", {"public.xml", "public.html"}, {"xhtml", "xht"}, {"application/xhtml+xml"}, {},
       "XHTML document"},
      {"com.apple.property-list", {"public.data"}, {"plist"}, {"application/x-plist"}, {}, "property list"},
      {"com.apple.xml-property-list", {"public.xml", "com.apple.property-list"}, {}, {}, {}, "XML property list"},

      // Images.
      {"public.image", {"public.data", "public.content"}, {}, {"image/*"}, {}, "image"},
      {"public.png", {"public.image"}, {"png"}, {"image/png"}, {"PNGf"}, "PNG image"},
      {"public.jpeg", {"public.image"}, {"jpg", "jpeg", "jpe"}, {"image/jpeg", "image/jpg"}, {"JPEG"}, "JPEG image"},
      {"com.compuserve.gif", {"public.image"}, {"gif"}, {"image/gif"}, {"GIFf"}, "GIF image"},
      {"com.apple.icns", {"public.image"}, {"icns"}, {"image/x-icns"}, {"icns"}, "icon file"},
      {"public.tiff", {"public.image"}, {"tiff", "tif"}, {"image/tiff"}, {"TIFF"}, "TIFF image"},
      {"com.microsoft.bmp", {"public.image"}, {"bmp"}, {"image/bmp", "image/x-bmp"}, {"BMP "}, "BMP image"},
      {"com.microsoft.ico", {"public.image"}, {"ico"}, {"image/vnd.microsoft.icon", "image/x-icon"}, {}, "icon"},
      {"org.webmproject.webp", {"public.image"}, {"webp"}, {"image/webp"}, {}, "WebP image"},
      {"public.svg-image", {"public.image", "public.xml"}, {"svg"}, {"image/svg+xml"}, {}, "SVG image"},

      // Documents, web and archives.
      {"com.adobe.pdf", {"public.data", "public.content"}, {"pdf"}, {"application/pdf"}, {"PDF "}, "PDF document"},
      {"com.apple.webarchive", {"public.data", "public.content"}, {"webarchive"}, {"application/x-webarchive"}, {},
       "web archive"},
      {"public.url", {"public.data"}, {"url", "webloc"}, {"application/x-mswinurl"}, {}, "web location"},
      {"public.archive", {"public.data"}, {}, {}, {}, "archive"},
      {"public.zip-archive", {"public.archive"}, {"zip"}, {"application/zip", "application/x-zip-compressed"},
       {"ZIP "}, "ZIP archive"},
      {"org.gnu.gnu-zip-archive", {"public.archive"}, {"gz", "gzip", "tgz"}, {"application/gzip", "application/x-gzip"},
       {}, "gzip archive"},
      {"public.tar-archive", {"public.archive"}, {"tar"}, {"application/x-tar"}, {}, "tar archive"},
      {"public.bzip2-archive", {"public.archive"}, {"bz2", "tbz", "tbz2"}, {"application/x-bzip2"}, {},
       "bzip2 archive"},
      {"org.tukaani.xz-archive", {"public.archive"}, {"xz", "txz"}, {"application/x-xz"}, {}, "xz archive"},
  };
  return table;
}

enum class TagClass { None, Extension, MIME, OSType, Pasteboard };

struct Index {
  std::unordered_map<std::string, size_t> byIdentifier;
  std::unordered_map<std::string, std::vector<size_t>> byExtension, byMIME, byOSType;
  // Every identifier (lower case) each entry conforms to, itself included.
  std::vector<std::unordered_set<std::string>> ancestors;
};

std::string Lower(const std::string& ascii) {
  std::string out(ascii);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  return out;
}

void Collect(const Index& index, size_t entry, std::unordered_set<std::string>& into, int depth) {
  const TypeEntry& e = Table()[entry];
  if (depth > 64 || !into.insert(Lower(e.identifier)).second) return;
  for (const char* parent : e.parents) {
    auto found = index.byIdentifier.find(Lower(parent));
    if (found != index.byIdentifier.end()) Collect(index, found->second, into, depth + 1);
  }
}

const Index& TheIndex() {
  static const Index index = [] {
    Index built;
    const auto& table = Table();
    for (size_t i = 0; i < table.size(); ++i) {
      built.byIdentifier.emplace(Lower(table[i].identifier), i);
      for (const char* ext : table[i].extensions) built.byExtension[Lower(ext)].push_back(i);
      for (const char* mime : table[i].mimeTypes) built.byMIME[Lower(mime)].push_back(i);
      for (const char* code : table[i].osTypes) built.byOSType[code].push_back(i);
    }
    built.ancestors.resize(table.size());
    for (size_t i = 0; i < table.size(); ++i) Collect(built, i, built.ancestors[i], 0);
    return built;
  }();
  return index;
}

bool IsString(CFTypeRef cf) { return cf != nullptr && CFGetTypeID(cf) == CFStringGetTypeID(); }

// The string with each unit lower-cased, as UTF-8.
std::string LowerText(CFStringRef string) {
  CFIndex length = 0;
  const UniChar* units = __CFStringGetUnits(string, &length);
  std::vector<UniChar> lowered(units, units + length);
  for (UniChar& u : lowered) u = __CFUniCharToLower(u);
  std::string out;
  __CFAppendUTF8(out, lowered.data(), lowered.size());
  return out;
}

TagClass ClassOf(CFStringRef tagClass) {
  if (!IsString(tagClass)) return TagClass::None;
  if (CFEqual(tagClass, kUTTagClassFilenameExtension)) return TagClass::Extension;
  if (CFEqual(tagClass, kUTTagClassMIMEType)) return TagClass::MIME;
  if (CFEqual(tagClass, kUTTagClassOSType)) return TagClass::OSType;
  if (CFEqual(tagClass, kUTTagClassNSPboardType)) return TagClass::Pasteboard;
  return TagClass::None;
}

const char* DynamicClassName(TagClass c) {
  switch (c) {
    case TagClass::Extension: return "ext";
    case TagClass::MIME: return "mime";
    case TagClass::OSType: return "ostype";
    case TagClass::Pasteboard: return "pboard";
    case TagClass::None: break;
  }
  return "";
}

// The tag as the table keys it: lower case except for type codes; MIME types
// lose their parameters.
std::string TagKey(TagClass c, CFStringRef tag) {
  if (c == TagClass::OSType || c == TagClass::Pasteboard) return __CFStringGetUTF8(tag);
  std::string key = LowerText(tag);
  if (c == TagClass::MIME) {
    size_t semicolon = key.find(';');
    if (semicolon != std::string::npos) key.erase(semicolon);
    while (!key.empty() && (key.back() == ' ' || key.back() == '\t')) key.pop_back();
    while (!key.empty() && (key.front() == ' ' || key.front() == '\t')) key.erase(0, 1);
  }
  return key;
}

const std::vector<size_t>* Entries(TagClass c, const std::string& key) {
  const Index& index = TheIndex();
  const std::unordered_map<std::string, std::vector<size_t>>* map = nullptr;
  switch (c) {
    case TagClass::Extension: map = &index.byExtension; break;
    case TagClass::MIME: map = &index.byMIME; break;
    case TagClass::OSType: map = &index.byOSType; break;
    default: return nullptr;
  }
  auto found = map->find(key);
  return found == map->end() ? nullptr : &found->second;
}

// --- The desktop's content types ------------------------------------------------

// The MIME type the desktop guesses for a file name extension; empty when it
// has no confident answer. Answers are kept, up to a bound.
std::string DesktopMIMEForExtension(const std::string& ext) {
  static std::mutex lock;
  static std::unordered_map<std::string, std::string> cache;
  {
    std::lock_guard<std::mutex> guard(lock);
    auto found = cache.find(ext);
    if (found != cache.end()) return found->second;
  }
  std::string result;
  if (ext.find('/') == std::string::npos && ext.size() < 256) {
    std::string name = "file." + ext;
    gboolean uncertain = FALSE;
    gchar* type = g_content_type_guess(name.c_str(), nullptr, 0, &uncertain);
    if (type != nullptr) {
      gchar* mime = g_content_type_get_mime_type(type);
      if (mime != nullptr && !uncertain && !g_content_type_is_unknown(type)) result = Lower(mime);
      g_free(mime);
      g_free(type);
    }
  }
  std::lock_guard<std::mutex> guard(lock);
  if (cache.size() >= 4096) cache.clear();
  cache.emplace(ext, result);
  return result;
}

// --- Dynamic identifiers ------------------------------------------------------------

std::string DynamicIdentifier(TagClass c, const std::string& key) {
  static const char hex[] = "0123456789abcdef";
  std::string out = std::string("dyn.") + DynamicClassName(c) + ".";
  for (unsigned char byte : key) {
    if ((byte >= 'a' && byte <= 'z') || (byte >= '0' && byte <= '9')) {
      out += char(byte);
    } else {
      out += '-';
      out += hex[byte >> 4];
      out += hex[byte & 15];
    }
  }
  return out;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// Splits a dynamic identifier (lower case) into its class and tag.
bool ParseDynamic(const std::string& identifier, TagClass* c, std::string* tag) {
  if (identifier.compare(0, 4, "dyn.") != 0) return false;
  size_t dot = identifier.find('.', 4);
  if (dot == std::string::npos) return false;
  std::string name = identifier.substr(4, dot - 4);
  if (name == "ext") *c = TagClass::Extension;
  else if (name == "mime") *c = TagClass::MIME;
  else if (name == "ostype") *c = TagClass::OSType;
  else if (name == "pboard") *c = TagClass::Pasteboard;
  else return false;
  tag->clear();
  for (size_t i = dot + 1; i < identifier.size(); ++i) {
    char ch = identifier[i];
    if ((ch >= 'a' && ch <= 'z') || (ch >= '0' && ch <= '9')) {
      *tag += ch;
    } else if (ch == '-' && i + 2 < identifier.size() && HexValue(identifier[i + 1]) >= 0 &&
               HexValue(identifier[i + 2]) >= 0) {
      *tag += char(HexValue(identifier[i + 1]) * 16 + HexValue(identifier[i + 2]));
      i += 2;
    } else {
      return false;
    }
  }
  return !tag->empty();
}

void AddAncestorsOf(const char* identifier, std::unordered_set<std::string>& into) {
  const Index& index = TheIndex();
  auto found = index.byIdentifier.find(identifier);
  if (found != index.byIdentifier.end()) into.insert(index.ancestors[found->second].begin(), index.ancestors[found->second].end());
}

// What a dynamic identifier conforms to: public.data and public.item, plus
// text or image when the desktop says so of an extension.
std::unordered_set<std::string> DynamicAncestors(const std::string& identifier) {
  std::unordered_set<std::string> result{identifier};
  AddAncestorsOf("public.data", result);
  TagClass c;
  std::string tag;
  if (!ParseDynamic(identifier, &c, &tag)) return result;
  std::string mime = c == TagClass::Extension ? DesktopMIMEForExtension(tag) : c == TagClass::MIME ? tag : std::string();
  if (mime.empty()) return result;
  if (mime.compare(0, 6, "image/") == 0) {
    AddAncestorsOf("public.image", result);
  } else if (mime.compare(0, 5, "text/") == 0 || g_content_type_is_a(mime.c_str(), "text/plain")) {
    AddAncestorsOf("public.plain-text", result);
  }
  return result;
}

bool Conforms(const std::string& identifier, const std::string& target) {
  if (identifier == target) return true;
  const Index& index = TheIndex();
  auto found = index.byIdentifier.find(identifier);
  if (found != index.byIdentifier.end()) return index.ancestors[found->second].count(target) != 0;
  if (identifier.compare(0, 4, "dyn.") == 0) return DynamicAncestors(identifier).count(target) != 0;
  return false;
}

// The table entries for the tag that conform to the target (all when empty).
std::vector<size_t> Matching(TagClass c, const std::string& key, const std::string& target) {
  std::vector<size_t> result;
  if (const auto* entries = Entries(c, key)) {
    for (size_t i : *entries) {
      if (target.empty() || Conforms(Lower(Table()[i].identifier), target)) result.push_back(i);
    }
  }
  return result;
}

// The preferred identifier, as UTF-8; empty when the arguments are unusable.
std::string Preferred(CFStringRef inTagClass, CFStringRef inTag, CFStringRef inConformingToUTI) {
  TagClass c = ClassOf(inTagClass);
  if (c == TagClass::None || !IsString(inTag) || CFStringGetLength(inTag) == 0) return std::string();
  if (inConformingToUTI != nullptr && !IsString(inConformingToUTI)) return std::string();
  std::string key = TagKey(c, inTag);
  if (key.empty()) return std::string();
  std::string target = inConformingToUTI ? LowerText(inConformingToUTI) : std::string();
  std::vector<size_t> found = Matching(c, key, target);
  if (!found.empty()) return Table()[found.front()].identifier;
  if (c == TagClass::Extension && Entries(c, key) == nullptr) {
    std::string mime = DesktopMIMEForExtension(key);
    if (!mime.empty()) {
      found = Matching(TagClass::MIME, mime, target);
      if (!found.empty()) return Table()[found.front()].identifier;
    }
  }
  return DynamicIdentifier(c, key);
}

CFStringRef MakeString(const std::string& utf8) { return __CFStringCreateWithUTF8(utf8); }

}  // namespace

CFStringRef UTTypeCreatePreferredIdentifierForTag(CFStringRef inTagClass, CFStringRef inTag,
                                                  CFStringRef inConformingToUTI) {
  std::string identifier = Preferred(inTagClass, inTag, inConformingToUTI);
  return identifier.empty() ? nullptr : MakeString(identifier);
}

CFArrayRef UTTypeCreateAllIdentifiersForTag(CFStringRef inTagClass, CFStringRef inTag, CFStringRef inConformingToUTI) {
  std::string preferred = Preferred(inTagClass, inTag, inConformingToUTI);
  if (preferred.empty()) return nullptr;
  TagClass c = ClassOf(inTagClass);
  std::string target = inConformingToUTI ? LowerText(inConformingToUTI) : std::string();
  std::vector<size_t> found = Matching(c, TagKey(c, inTag), target);
  CFMutableArrayRef result = CFArrayCreateMutable(nullptr, 0, &kCFTypeArrayCallBacks);
  std::vector<std::string> identifiers{preferred};
  for (size_t i : found) {
    if (Table()[i].identifier != preferred) identifiers.push_back(Table()[i].identifier);
  }
  for (const auto& identifier : identifiers) {
    if (CFStringRef s = MakeString(identifier)) {
      CFArrayAppendValue(result, s);
      CFRelease(s);
    }
  }
  return result;
}

CFStringRef UTTypeCopyPreferredTagWithClass(CFStringRef inUTI, CFStringRef inTagClass) {
  TagClass c = ClassOf(inTagClass);
  if (c == TagClass::None || !IsString(inUTI)) return nullptr;
  std::string identifier = LowerText(inUTI);
  const Index& index = TheIndex();
  auto found = index.byIdentifier.find(identifier);
  if (found != index.byIdentifier.end()) {
    const TypeEntry& e = Table()[found->second];
    const std::vector<const char*>* tags = nullptr;
    if (c == TagClass::Extension) tags = &e.extensions;
    else if (c == TagClass::MIME) tags = &e.mimeTypes;
    else if (c == TagClass::OSType) tags = &e.osTypes;
    for (const char* tag : tags ? *tags : std::vector<const char*>{}) {
      if (std::string(tag).find('*') == std::string::npos) return MakeString(tag);
    }
    return nullptr;
  }
  TagClass dynamicClass;
  std::string tag;
  if (ParseDynamic(identifier, &dynamicClass, &tag) && dynamicClass == c) return MakeString(tag);
  return nullptr;
}

Boolean UTTypeEqual(CFStringRef inUTI1, CFStringRef inUTI2) {
  if (!IsString(inUTI1) || !IsString(inUTI2)) return false;
  return LowerText(inUTI1) == LowerText(inUTI2);
}

Boolean UTTypeConformsTo(CFStringRef inUTI, CFStringRef inConformsToUTI) {
  if (!IsString(inUTI) || !IsString(inConformsToUTI)) return false;
  return Conforms(LowerText(inUTI), LowerText(inConformsToUTI));
}

Boolean UTTypeIsDynamic(CFStringRef inUTI) {
  if (!IsString(inUTI)) return false;
  TagClass c;
  std::string tag;
  return ParseDynamic(LowerText(inUTI), &c, &tag);
}

CFStringRef UTTypeCopyDescription(CFStringRef inUTI) {
  if (!IsString(inUTI)) return nullptr;
  const Index& index = TheIndex();
  auto found = index.byIdentifier.find(LowerText(inUTI));
  return found == index.byIdentifier.end() ? nullptr : MakeString(Table()[found->second].description);
}
