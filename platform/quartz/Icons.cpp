// Icon Services: the registry of icons by (creator, type), icon files, the
// system's own icons (drawn with cairo, so they look the same everywhere and
// at every size), file icons and plotting.
#include <pango/pangocairo.h>
#include <sys/stat.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "CFString.h"
#include "CFStringInternal.h"
#include "Icons.h"
#include "IconsInternal.h"
#include "Menus.h"
#include "QuartzInternal.h"
#include "ThemeInternal.h"

struct OpaqueIconRef {
  UInt16 owners = 1;
  // From a file: the images, smallest first. They are decoded when the icon
  // is first drawn; until then the file's bytes wait in encoded.
  std::vector<cairo_surface_t*> images;
  std::vector<UInt8> encoded;
  // Drawn: the system icon of this type, marked with a text (documents).
  OSType systemType = 0;
  std::string mark;
};

namespace {

// The code of four question marks (written as a number: the literal would
// read as a trigraph).
constexpr OSType kQuestionMarks = 0x3F3F3F3F;

// The tables live as long as the process: menus may let their icons go
// while static objects are being destroyed.
std::unordered_set<IconRef>& Live() {
  static auto* live = new std::unordered_set<IconRef>;
  return *live;
}

std::map<std::pair<OSType, OSType>, IconRef>& Registry() {
  static auto* registry = new std::map<std::pair<OSType, OSType>, IconRef>;
  return *registry;
}

// Document icons by lower-case extension, owned once by the cache.
std::unordered_map<std::string, IconRef>& ExtensionCache() {
  static auto* cache = new std::unordered_map<std::string, IconRef>;
  return *cache;
}

// Menu items keep the IconRefs they show.
const bool kMenuKeeperInstalled = [] {
  MenuSetIconRefKeeper([](Handle icon) { AcquireIconRef(reinterpret_cast<IconRef>(icon)); },
                       [](Handle icon) { ReleaseIconRef(reinterpret_cast<IconRef>(icon)); });
  return true;
}();

IconRef NewIcon() {
  IconRef icon = new OpaqueIconRef;
  Live().insert(icon);
  return icon;
}

void DestroyIcon(IconRef icon) {
  Live().erase(icon);
  for (cairo_surface_t* s : icon->images) cairo_surface_destroy(s);
  delete icon;
}

bool Valid(IconRef icon) { return icon != nullptr && Live().count(icon) != 0; }

void Acquire(IconRef icon) {
  if (icon->owners < UINT16_MAX) ++icon->owners;
}

// Drops one owner; the registry and caches use this as the callers do.
void Drop(IconRef icon) {
  if (!Valid(icon)) return;
  if (--icon->owners == 0) DestroyIcon(icon);
}

// ---------------------------------------------------------------------------
// Icon files

std::vector<UInt8> ReadFile(const char* path, bool* ok) {
  std::vector<UInt8> bytes;
  *ok = false;
  struct stat st;
  if (stat(path, &st) != 0 || !S_ISREG(st.st_mode)) return bytes;
  FILE* f = fopen(path, "rb");
  if (f == nullptr) return bytes;
  UInt8 chunk[65536];
  size_t n;
  while ((n = fread(chunk, 1, sizeof chunk, f)) > 0) bytes.insert(bytes.end(), chunk, chunk + n);
  *ok = ferror(f) == 0;
  fclose(f);
  return bytes;
}

UInt32 BigEndian32(const UInt8* p) { return UInt32(p[0]) << 24 | UInt32(p[1]) << 16 | UInt32(p[2]) << 8 | p[3]; }

void AddImage(std::vector<cairo_surface_t*>& images, const UInt8* bytes, size_t length) {
  CGImageRef image = QuartzCreateImageFromPNGBytes(bytes, length);
  if (image == nullptr) return;
  images.push_back(cairo_surface_reference(QuartzImageGetSurface(image)));
  CGImageRelease(image);
}

// The PNG images of an icon file: the file itself, or the chunks of an .icns
// container (four-byte type, four-byte big-endian length that counts the
// eight header bytes) that hold PNG data.
std::vector<cairo_surface_t*> ImagesOfIconFile(const std::vector<UInt8>& bytes) {
  std::vector<cairo_surface_t*> images;
  if (bytes.size() >= 8 && memcmp(bytes.data(), "icns", 4) == 0) {
    const size_t total = std::min<size_t>(bytes.size(), BigEndian32(bytes.data() + 4));
    size_t at = 8;
    while (at + 8 <= total) {
      const UInt32 length = BigEndian32(bytes.data() + at + 4);
      if (length < 8 || length > total - at) break;  // malformed: stop, keep what was read
      AddImage(images, bytes.data() + at + 8, length - 8);
      at += length;
    }
  } else {
    AddImage(images, bytes.data(), bytes.size());
  }
  std::sort(images.begin(), images.end(), [](cairo_surface_t* a, cairo_surface_t* b) {
    return cairo_image_surface_get_width(a) < cairo_image_surface_get_width(b);
  });
  return images;
}

// Whether the bytes are a whole PNG stream: the signature, a header chunk
// first, every chunk within the bytes, and the end chunk. What the decoder
// would refuse at once (cut, empty or foreign files) fails here, without
// decoding the pixels.
bool IsWholePNG(const UInt8* bytes, size_t length) {
  static const UInt8 kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (length < 8 + 12 + 13 || memcmp(bytes, kSignature, 8) != 0) return false;
  size_t at = 8;
  bool first = true;
  while (at + 12 <= length) {
    const UInt32 size = BigEndian32(bytes + at);
    if (size > length - at - 12) return false;
    const UInt8* type = bytes + at + 4;
    if (first && (memcmp(type, "IHDR", 4) != 0 || size != 13 || BigEndian32(bytes + at + 8) == 0 ||
                  BigEndian32(bytes + at + 12) == 0))
      return false;
    first = false;
    if (memcmp(type, "IEND", 4) == 0) return true;
    at += 12 + size;
  }
  return false;
}

// Whether an icon file holds an image ImagesOfIconFile would read.
bool HoldsIconImage(const std::vector<UInt8>& bytes) {
  if (bytes.size() >= 8 && memcmp(bytes.data(), "icns", 4) == 0) {
    const size_t total = std::min<size_t>(bytes.size(), BigEndian32(bytes.data() + 4));
    size_t at = 8;
    while (at + 8 <= total) {
      const UInt32 length = BigEndian32(bytes.data() + at + 4);
      if (length < 8 || length > total - at) break;
      if (IsWholePNG(bytes.data() + at + 8, length - 8)) return true;
      at += length;
    }
    return false;
  }
  return IsWholePNG(bytes.data(), bytes.size());
}

// The icon's images, decoded from its file the first time they are needed.
const std::vector<cairo_surface_t*>& ImagesOf(OpaqueIconRef* icon) {
  if (!icon->encoded.empty()) {
    icon->images = ImagesOfIconFile(icon->encoded);
    std::vector<UInt8>().swap(icon->encoded);
  }
  return icon->images;
}

OSStatus Register(OSType creator, OSType type, IconRef icon, IconRef* out) {
  auto& reg = Registry();
  auto key = std::make_pair(creator, type);
  auto it = reg.find(key);
  if (it != reg.end()) {
    // Only the registry's own ownership goes; handed-out references stay.
    Drop(it->second);
    it->second = icon;
  } else {
    reg.emplace(key, icon);
  }
  Acquire(icon);  // the caller's
  *out = icon;
  return noErr;
}

// ---------------------------------------------------------------------------
// The system's icons

IconRef SystemIcon(OSType creator, OSType type) {
  auto& reg = Registry();
  auto key = std::make_pair(creator, type);
  auto it = reg.find(key);
  if (it != reg.end()) return it->second;
  IconRef icon = NewIcon();
  icon->systemType = type;
  reg.emplace(key, icon);
  return icon;
}

IconRef DocumentIconFor(std::string extension) {
  for (char& ch : extension) ch = char(tolower(static_cast<unsigned char>(ch)));
  auto& cache = ExtensionCache();
  auto it = cache.find(extension);
  if (it != cache.end()) return it->second;
  IconRef icon = NewIcon();
  icon->systemType = kGenericDocumentIcon;
  std::string mark = extension.substr(0, 4);
  for (char& ch : mark) ch = char(toupper(static_cast<unsigned char>(ch)));
  icon->mark = mark;
  cache.emplace(extension, icon);
  return icon;
}

void RoundRect(cairo_t* cr, double x, double y, double w, double h, double r) {
  cairo_new_sub_path(cr);
  cairo_arc(cr, x + w - r, y + r, r, -M_PI / 2, 0);
  cairo_arc(cr, x + w - r, y + h - r, r, 0, M_PI / 2);
  cairo_arc(cr, x + r, y + h - r, r, M_PI / 2, M_PI);
  cairo_arc(cr, x + r, y + r, r, M_PI, 3 * M_PI / 2);
  cairo_close_path(cr);
}

void VerticalGradient(cairo_t* cr, double y0, double y1, const double top[3], const double bottom[3]) {
  cairo_pattern_t* p = cairo_pattern_create_linear(0, y0, 0, y1);
  cairo_pattern_add_color_stop_rgb(p, 0, top[0], top[1], top[2]);
  cairo_pattern_add_color_stop_rgb(p, 1, bottom[0], bottom[1], bottom[2]);
  cairo_set_source(cr, p);
  cairo_pattern_destroy(p);
}

// Centred text in the box (x, y, w, h), at most that wide.
void Glyph(cairo_t* cr, const std::string& text, double x, double y, double w, double h, double px, bool bold,
           double r, double g, double b) {
  PangoLayout* layout = pango_cairo_create_layout(cr);
  PangoFontDescription* desc = pango_font_description_new();
  pango_font_description_set_family(desc, kThemeFontFamily);
  pango_font_description_set_absolute_size(desc, std::max(1.0, px) * PANGO_SCALE);
  pango_font_description_set_weight(desc, bold ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
  pango_layout_set_font_description(layout, desc);
  pango_font_description_free(desc);
  pango_layout_set_text(layout, text.c_str(), -1);
  PangoRectangle ink, logical;
  pango_layout_get_pixel_extents(layout, &ink, &logical);
  double scale = 1;
  if (logical.width > w && logical.width > 0) scale = w / logical.width;
  cairo_save(cr);
  cairo_translate(cr, x + w / 2, y + h / 2);
  cairo_scale(cr, scale, scale);
  cairo_move_to(cr, -logical.width / 2.0, -(ink.y + ink.height / 2.0));
  cairo_set_source_rgb(cr, r, g, b);
  pango_cairo_show_layout(cr, layout);
  cairo_restore(cr);
  g_object_unref(layout);
}

void DrawFolder(cairo_t* cr, double s, bool open) {
  const double top[3] = {0.55, 0.76, 0.96}, bottom[3] = {0.30, 0.57, 0.88};
  const double backTop[3] = {0.42, 0.64, 0.90}, backBottom[3] = {0.30, 0.52, 0.82};
  // Back with the tab.
  cairo_new_path(cr);
  cairo_move_to(cr, s * 0.06, s * 0.22);
  cairo_line_to(cr, s * 0.38, s * 0.22);
  cairo_line_to(cr, s * 0.45, s * 0.30);
  cairo_line_to(cr, s * 0.94, s * 0.30);
  cairo_line_to(cr, s * 0.94, s * 0.86);
  cairo_line_to(cr, s * 0.06, s * 0.86);
  cairo_close_path(cr);
  VerticalGradient(cr, s * 0.2, s * 0.86, backTop, backBottom);
  cairo_fill(cr);
  // Front.
  if (open) {
    cairo_move_to(cr, s * 0.14, s * 0.42);
    cairo_line_to(cr, s * 0.99, s * 0.42);
    cairo_line_to(cr, s * 0.90, s * 0.86);
    cairo_line_to(cr, s * 0.06, s * 0.86);
    cairo_close_path(cr);
  } else {
    RoundRect(cr, s * 0.06, s * 0.36, s * 0.88, s * 0.50, std::max(0.5, s * 0.04));
  }
  VerticalGradient(cr, s * 0.36, s * 0.86, top, bottom);
  cairo_fill_preserve(cr);
  cairo_set_source_rgba(cr, 0.1, 0.3, 0.6, 0.5);
  cairo_set_line_width(cr, std::max(0.5, s / 40));
  cairo_stroke(cr);
}

void DrawDocument(cairo_t* cr, double s, const std::string& mark, bool question) {
  const double x0 = s * 0.18, x1 = s * 0.82, y0 = s * 0.06, y1 = s * 0.94, fold = s * 0.2;
  cairo_new_path(cr);
  cairo_move_to(cr, x0, y0);
  cairo_line_to(cr, x1 - fold, y0);
  cairo_line_to(cr, x1, y0 + fold);
  cairo_line_to(cr, x1, y1);
  cairo_line_to(cr, x0, y1);
  cairo_close_path(cr);
  const double top[3] = {1, 1, 1}, bottom[3] = {0.93, 0.94, 0.96};
  VerticalGradient(cr, y0, y1, top, bottom);
  cairo_fill_preserve(cr);
  cairo_set_source_rgba(cr, 0, 0, 0, 0.35);
  cairo_set_line_width(cr, std::max(0.5, s / 40));
  cairo_stroke(cr);
  cairo_move_to(cr, x1 - fold, y0);
  cairo_line_to(cr, x1 - fold, y0 + fold);
  cairo_line_to(cr, x1, y0 + fold);
  cairo_set_source_rgba(cr, 0, 0, 0, 0.25);
  cairo_stroke(cr);
  if (question) {
    Glyph(cr, "?", x0, y0 + fold, x1 - x0, y1 - y0 - fold, s * 0.45, true, 0.45, 0.45, 0.5);
  } else if (!mark.empty() && s >= 12) {
    RoundRect(cr, x0 - s * 0.06, s * 0.58, x1 - x0 + s * 0.12, s * 0.22, std::max(0.5, s * 0.03));
    cairo_set_source_rgb(cr, 0.30, 0.52, 0.86);
    cairo_fill(cr);
    Glyph(cr, mark, x0 - s * 0.04, s * 0.58, x1 - x0 + s * 0.08, s * 0.22, s * 0.16, true, 1, 1, 1);
  } else {
    cairo_set_source_rgba(cr, 0, 0, 0, 0.18);
    for (int i = 0; i < 4; ++i) cairo_rectangle(cr, x0 + s * 0.1, s * (0.40 + 0.1 * i), (x1 - x0) - s * 0.2, std::max(0.5, s * 0.03));
    cairo_fill(cr);
  }
}

void DrawApplication(cairo_t* cr, double s) {
  const double top[3] = {0.45, 0.55, 0.95}, bottom[3] = {0.25, 0.30, 0.75};
  RoundRect(cr, s * 0.1, s * 0.1, s * 0.8, s * 0.8, s * 0.18);
  VerticalGradient(cr, s * 0.1, s * 0.9, top, bottom);
  cairo_fill(cr);
  cairo_move_to(cr, s * 0.5, s * 0.24);
  cairo_line_to(cr, s * 0.76, s * 0.5);
  cairo_line_to(cr, s * 0.5, s * 0.76);
  cairo_line_to(cr, s * 0.24, s * 0.5);
  cairo_close_path(cr);
  cairo_set_source_rgba(cr, 1, 1, 1, 0.9);
  cairo_fill(cr);
}

void DrawTrash(cairo_t* cr, double s) {
  const double top[3] = {0.85, 0.87, 0.9}, bottom[3] = {0.62, 0.65, 0.7};
  cairo_move_to(cr, s * 0.22, s * 0.26);
  cairo_line_to(cr, s * 0.78, s * 0.26);
  cairo_line_to(cr, s * 0.72, s * 0.92);
  cairo_line_to(cr, s * 0.28, s * 0.92);
  cairo_close_path(cr);
  VerticalGradient(cr, s * 0.26, s * 0.92, top, bottom);
  cairo_fill_preserve(cr);
  cairo_set_source_rgba(cr, 0, 0, 0, 0.35);
  cairo_set_line_width(cr, std::max(0.5, s / 40));
  cairo_stroke(cr);
  RoundRect(cr, s * 0.16, s * 0.14, s * 0.68, s * 0.1, std::max(0.5, s * 0.03));
  cairo_set_source_rgb(cr, 0.55, 0.58, 0.62);
  cairo_fill(cr);
  cairo_set_source_rgba(cr, 0, 0, 0, 0.25);
  for (double x : {0.38, 0.5, 0.62}) {
    cairo_move_to(cr, s * x, s * 0.36);
    cairo_line_to(cr, s * x, s * 0.84);
  }
  cairo_stroke(cr);
}

void DrawAlert(cairo_t* cr, double s, OSType type) {
  if (type == kAlertCautionIcon) {
    cairo_move_to(cr, s * 0.5, s * 0.08);
    cairo_line_to(cr, s * 0.95, s * 0.88);
    cairo_line_to(cr, s * 0.05, s * 0.88);
    cairo_close_path(cr);
    const double top[3] = {1.0, 0.86, 0.3}, bottom[3] = {0.96, 0.68, 0.1};
    VerticalGradient(cr, s * 0.08, s * 0.88, top, bottom);
    cairo_fill(cr);
    Glyph(cr, "!", s * 0.3, s * 0.34, s * 0.4, s * 0.5, s * 0.5, true, 0.25, 0.2, 0.1);
  } else if (type == kAlertStopIcon) {
    cairo_new_path(cr);
    for (int i = 0; i < 8; ++i) {
      const double a = M_PI / 8 + i * M_PI / 4;
      cairo_line_to(cr, s * (0.5 + 0.45 * std::cos(a)), s * (0.5 + 0.45 * std::sin(a)));
    }
    cairo_close_path(cr);
    const double top[3] = {0.95, 0.35, 0.3}, bottom[3] = {0.78, 0.12, 0.1};
    VerticalGradient(cr, s * 0.05, s * 0.95, top, bottom);
    cairo_fill(cr);
    Glyph(cr, "!", s * 0.2, s * 0.2, s * 0.6, s * 0.6, s * 0.55, true, 1, 1, 1);
  } else {
    cairo_arc(cr, s * 0.5, s * 0.5, s * 0.45, 0, 2 * M_PI);
    const double top[3] = {0.45, 0.68, 0.98}, bottom[3] = {0.2, 0.45, 0.85};
    VerticalGradient(cr, s * 0.05, s * 0.95, top, bottom);
    cairo_fill(cr);
    Glyph(cr, "i", s * 0.2, s * 0.2, s * 0.6, s * 0.6, s * 0.55, true, 1, 1, 1);
  }
}

// Anything else the system names: a tile with a sign.
void DrawTile(cairo_t* cr, double s, OSType type) {
  std::string sign;
  switch (type) {
    case 'cut ': sign = "\xE2\x9C\x82"; break;      // scissors
    case 'SPEL': sign = "\xE2\x9C\x93"; break;      // check mark
    case 'copy': sign = "\xE2\x9D\x90"; break;      // two squares
    case 'past': sign = "\xE2\x86\xB5"; break;      // return arrow
    case kInternetLocationFTPIcon: sign = "FTP"; break;
    case kInternetLocationHTTPIcon: sign = "www"; break;
    case kInternetLocationGenericIcon: sign = "@"; break;
    case kGenericFileServerIcon: sign = "\xE2\x96\xA4"; break;
    case 'FNDR': sign = "\xE2\x8C\x82"; break;  // a house: the root a server serves
    case 'root': sign = "/"; break;                // the system's root folder
    default: {
      for (int shift = 24; shift >= 0 && sign.size() < 1; shift -= 8) {
        const char ch = char((type >> shift) & 0xFF);
        if (isalnum(static_cast<unsigned char>(ch))) sign += char(toupper(static_cast<unsigned char>(ch)));
      }
      if (sign.empty()) sign = "?";
    }
  }
  // A colour from the code, so different tiles tell apart.
  const double hue = double((type * 2654435761u) >> 24) / 255.0;
  const double r = 0.45 + 0.3 * std::cos(2 * M_PI * hue), g = 0.5 + 0.25 * std::cos(2 * M_PI * (hue - 1.0 / 3)),
               b = 0.6 + 0.3 * std::cos(2 * M_PI * (hue - 2.0 / 3));
  RoundRect(cr, s * 0.08, s * 0.08, s * 0.84, s * 0.84, s * 0.2);
  const double top[3] = {std::min(1.0, r + 0.15), std::min(1.0, g + 0.15), std::min(1.0, b + 0.15)},
               bottom[3] = {r * 0.8, g * 0.8, b * 0.8};
  VerticalGradient(cr, s * 0.08, s * 0.92, top, bottom);
  cairo_fill(cr);
  Glyph(cr, sign, s * 0.14, s * 0.14, s * 0.72, s * 0.72, s * (sign.size() > 3 ? 0.34 : 0.5), true, 1, 1, 1);
}

// A folder that holds one kind of thing: the folder with the thing's sign.
void DrawMarkedFolder(cairo_t* cr, double s, const std::string& sign) {
  DrawFolder(cr, s, false);
  Glyph(cr, sign, s * 0.06, s * 0.38, s * 0.88, s * 0.46, s * (sign.size() > 2 ? 0.26 : 0.34), true, 1, 1, 1);
}

void DrawSystemIcon(cairo_t* cr, const OpaqueIconRef* icon, double s) {
  switch (icon->systemType) {
    case 'APLP': DrawMarkedFolder(cr, s, "A"); break;    // the applications folder
    case 'issf': DrawMarkedFolder(cr, s, "www"); break;  // the local web server's folder
    case 'clpt': DrawDocument(cr, s, "abc", false); break;  // a text clipping
    case kGenericFolderIcon: DrawFolder(cr, s, false); break;
    case kOpenFolderIcon: DrawFolder(cr, s, true); break;
    case kGenericDocumentIcon: DrawDocument(cr, s, icon->mark, false); break;
    case kUnknownFSObjectIcon:
    case kQuestionMarks: DrawDocument(cr, s, "", true); break;
    case kGenericApplicationIcon: DrawApplication(cr, s); break;
    case kTrashIcon:
    case kFullTrashIcon: DrawTrash(cr, s); break;
    case kAlertCautionIcon:
    case kAlertNoteIcon:
    case kAlertStopIcon: DrawAlert(cr, s, icon->systemType); break;
    default: DrawTile(cr, s, icon->systemType); break;
  }
}

// The system types drawn by their own pictures; every other type asked of
// the system is a document.
bool IsSystemType(OSType type) {
  switch (type) {
    case kGenericFolderIcon: case kOpenFolderIcon: case kGenericDocumentIcon: case kUnknownFSObjectIcon:
    case kQuestionMarks: case kGenericApplicationIcon: case kTrashIcon: case kFullTrashIcon: case kAlertCautionIcon:
    case kAlertNoteIcon: case kAlertStopIcon: case kGenericFileServerIcon: case kInternetLocationFTPIcon:
    case kInternetLocationGenericIcon: case kInternetLocationHTTPIcon: case 'cut ': case 'copy': case 'past':
    case 'SPEL': case 'FNDR': case 'root': case 'APLP': case 'issf': case 'clpt':
      return true;
    default: return false;
  }
}

// Draws the icon into the square (0, 0, w, h) of cr's y-down user space.
void RenderIcon(cairo_t* cr, OpaqueIconRef* icon, double w, double h) {
  const std::vector<cairo_surface_t*>& images = ImagesOf(icon);
  if (!images.empty()) {
    double sx = 1, sy = 1;
    cairo_user_to_device_distance(cr, &sx, &sy);
    const double need = std::max(w * std::fabs(sx), h * std::fabs(sy));
    cairo_surface_t* pick = images.back();
    for (cairo_surface_t* s : images)
      if (cairo_image_surface_get_width(s) >= need) {
        pick = s;
        break;
      }
    const double iw = cairo_image_surface_get_width(pick), ih = cairo_image_surface_get_height(pick);
    cairo_save(cr);
    cairo_rectangle(cr, 0, 0, w, h);
    cairo_clip(cr);
    cairo_scale(cr, w / iw, h / ih);
    cairo_set_source_surface(cr, pick, 0, 0);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_GOOD);
    cairo_paint(cr);
    cairo_restore(cr);
    return;
  }
  const double s = std::min(w, h);
  cairo_save(cr);
  cairo_translate(cr, (w - s) / 2, (h - s) / 2);
  if (w != h) {
    cairo_translate(cr, -(w - s) / 2, -(h - s) / 2);
    cairo_scale(cr, w / s, h / s);
  }
  DrawSystemIcon(cr, icon, s);
  cairo_restore(cr);
}

}  // namespace

// ---------------------------------------------------------------------------
// Public calls

OSErr GetIconRef(SInt16 vRefNum, OSType creator, OSType iconType, IconRef* theIconRef) {
  if (theIconRef == nullptr) return paramErr;
  *theIconRef = nullptr;
  auto& reg = Registry();
  auto it = reg.find(std::make_pair(creator, iconType));
  IconRef icon = nullptr;
  if (it != reg.end()) icon = it->second;
  else if (IsSystemType(iconType)) icon = SystemIcon(kSystemIconsCreator, iconType);
  else icon = SystemIcon(kSystemIconsCreator, kGenericDocumentIcon);
  Acquire(icon);
  *theIconRef = icon;
  return noErr;
}

OSStatus RegisterIconRefFromFSRef(OSType creator, OSType iconType, const FSRef* iconFile, IconRef* theIconRef) {
  if (iconFile == nullptr || theIconRef == nullptr) return paramErr;
  *theIconRef = nullptr;
  UInt8 path[PATH_MAX];
  OSStatus err = FSRefMakePath(iconFile, path, sizeof path);
  if (err != noErr) return err;
  bool ok;
  std::vector<UInt8> bytes = ReadFile(reinterpret_cast<const char*>(path), &ok);
  if (!ok) return fnfErr;
  // Start-up registers many icons that are never shown: the pixels are
  // decoded on first use.
  if (!HoldsIconImage(bytes)) return noIconDataAvailableErr;
  IconRef icon = NewIcon();
  icon->encoded = std::move(bytes);
  icon->systemType = iconType;
  return Register(creator, iconType, icon, theIconRef);
}

OSErr RegisterIconRefFromIconFile(OSType creator, OSType iconType, const FSSpec* iconFile, IconRef* theIconRef) {
  if (iconFile == nullptr || theIconRef == nullptr) return paramErr;
  *theIconRef = nullptr;
  FSRef ref;
  OSErr err = FSpMakeFSRef(iconFile, &ref);
  if (err != noErr) return err;
  return OSErr(RegisterIconRefFromFSRef(creator, iconType, &ref, theIconRef));
}

OSErr UnregisterIconRef(OSType creator, OSType iconType) {
  auto& reg = Registry();
  auto it = reg.find(std::make_pair(creator, iconType));
  if (it == reg.end()) return noSuchIconErr;
  IconRef icon = it->second;
  reg.erase(it);
  Drop(icon);
  return noErr;
}

OSStatus GetIconRefFromFileInfo(const FSRef* inRef, UniCharCount inFileNameLength, const UniChar* inFileName,
                                FSCatalogInfoBitmap inWhichInfo, const FSCatalogInfo* inCatalogInfo,
                                IconServicesUsageFlags inUsageFlags, IconRef* outIconRef, SInt16* outLabel) {
  if (outIconRef == nullptr) return paramErr;
  *outIconRef = nullptr;
  if (outLabel != nullptr) *outLabel = 0;
  std::string path, name;
  if (inRef != nullptr) {
    UInt8 buffer[PATH_MAX];
    OSStatus err = FSRefMakePath(inRef, buffer, sizeof buffer);
    if (err != noErr) return err;
    path = reinterpret_cast<const char*>(buffer);
    name = path.substr(path.find_last_of('/') + 1);
  }
  if (inFileName != nullptr && inFileNameLength > 0) {
    name.clear();
    __CFAppendUTF8(name, inFileName, std::min<UniCharCount>(inFileNameLength, 255));
  }
  if (path.empty() && name.empty()) return paramErr;
  bool folder = false, executable = false;
  if (inCatalogInfo != nullptr && (inWhichInfo & kFSCatInfoNodeFlags) != 0) {
    folder = (inCatalogInfo->nodeFlags & kFSNodeIsDirectoryMask) != 0;
  }
  struct stat st;
  if (!path.empty() && stat(path.c_str(), &st) == 0) {
    if (inCatalogInfo == nullptr || (inWhichInfo & kFSCatInfoNodeFlags) == 0) folder = S_ISDIR(st.st_mode);
    executable = S_ISREG(st.st_mode) && (st.st_mode & 0111) != 0;
  }
  const size_t dot = name.find_last_of('.');
  const std::string extension = dot == std::string::npos || dot == 0 ? "" : name.substr(dot + 1);
  std::string lower = extension;
  for (char& ch : lower) ch = char(tolower(static_cast<unsigned char>(ch)));
  IconRef icon;
  if (folder && lower == "app") icon = SystemIcon(kSystemIconsCreator, kGenericApplicationIcon);
  else if (folder) icon = SystemIcon(kSystemIconsCreator, kGenericFolderIcon);
  else if (executable && extension.empty()) icon = SystemIcon(kSystemIconsCreator, kGenericApplicationIcon);
  else if (extension.empty()) icon = SystemIcon(kSystemIconsCreator, kGenericDocumentIcon);
  else icon = DocumentIconFor(extension);
  Acquire(icon);
  *outIconRef = icon;
  return noErr;
}

OSErr GetIconRefFromFileRef(const FSRef* inRef, IconRef* outIconRef, SInt16* outLabel) {
  if (inRef == nullptr) return paramErr;
  return OSErr(GetIconRefFromFileInfo(inRef, 0, nullptr, 0, nullptr, 0, outIconRef, outLabel));
}

OSErr GetIconRefFromTypeInfo(OSType inCreator, OSType inType, CFStringRef inExtension, CFStringRef inMIMEType,
                             IconServicesUsageFlags inUsageFlags, IconRef* outIconRef) {
  if (outIconRef == nullptr) return paramErr;
  *outIconRef = nullptr;
  if (inType != 0 || inCreator != 0) {
    auto& reg = Registry();
    if (reg.count(std::make_pair(inCreator, inType)) != 0 || IsSystemType(inType) || inExtension == nullptr)
      return GetIconRef(kOnSystemDiskForIcons, inCreator, inType, outIconRef);
  }
  std::string ext = inExtension != nullptr ? __CFStringGetUTF8(inExtension) : "";
  IconRef icon = ext.empty() ? SystemIcon(kSystemIconsCreator, kGenericDocumentIcon) : DocumentIconFor(ext);
  Acquire(icon);
  *outIconRef = icon;
  return noErr;
}

OSErr AcquireIconRef(IconRef theIconRef) {
  if (!Valid(theIconRef)) return invalidIconRefErr;
  Acquire(theIconRef);
  return noErr;
}

OSErr ReleaseIconRef(IconRef theIconRef) {
  if (!Valid(theIconRef)) return invalidIconRefErr;
  // The registry's and caches' own ownership keeps an icon alive for them.
  Drop(theIconRef);
  return noErr;
}

OSErr GetIconRefOwners(IconRef theIconRef, UInt16* owners) {
  if (owners == nullptr) return paramErr;
  if (!Valid(theIconRef)) return invalidIconRefErr;
  *owners = theIconRef->owners;
  return noErr;
}

Boolean IsValidIconRef(IconRef theIconRef) { return Valid(theIconRef); }

void IconRender(IconRef icon, cairo_t* cr, double width, double height) {
  if (Valid(icon) && cr != nullptr && width > 0 && height > 0) RenderIcon(cr, icon, width, height);
}

cairo_surface_t* IconCreateSurface(IconRef icon, int size) {
  if (!Valid(icon) || size <= 0 || size > 1024) return nullptr;
  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, size, size);
  cairo_t* cr = cairo_create(s);
  RenderIcon(cr, icon, size, size);
  cairo_destroy(cr);
  cairo_surface_flush(s);
  return s;
}

OSStatus PlotIconRefInContext(CGContextRef inContext, const CGRect* inRect, IconAlignmentType inAlign,
                              IconTransformType inTransform, const RGBColor* inLabelColor, PlotIconRefFlags inFlags,
                              IconRef inIconRef) {
  CGContext* ctx = QuartzContext(inContext);
  if (ctx == nullptr || inRect == nullptr) return paramErr;
  if (!Valid(inIconRef)) return invalidIconRefErr;
  CGRect r = *inRect;
  if (!std::isfinite(r.origin.x) || !std::isfinite(r.origin.y) || !std::isfinite(r.size.width) ||
      !std::isfinite(r.size.height))
    return paramErr;
  if (r.size.width < 0) r.origin.x += r.size.width, r.size.width = -r.size.width;
  if (r.size.height < 0) r.origin.y += r.size.height, r.size.height = -r.size.height;
  if (r.size.width == 0 || r.size.height == 0) return noErr;

  // Placement in a y-up sense: top is the maximum y.
  double w = r.size.width, h = r.size.height, x = r.origin.x, y = r.origin.y;
  if (inAlign != kAlignNone) {
    const double s = std::min(w, h);
    const int vertical = inAlign & 0x03, horizontal = inAlign & 0x0C;
    if (horizontal == kAlignHorizontalCenter) x += (w - s) / 2;
    else if (horizontal == kAlignRight) x += w - s;
    if (vertical == kAlignVerticalCenter || vertical == 0) y += (h - s) / 2;
    else if (vertical == kAlignTop) y += h - s;
    if (horizontal == 0) x += (w - s) / 2;
    w = h = s;
  }

  cairo_t* cr = ctx->cr;
  cairo_path_t* path = cairo_copy_path(cr);
  cairo_save(cr);
  cairo_new_path(cr);
  cairo_translate(cr, x, y + h);
  cairo_scale(cr, 1, -1);
  cairo_push_group(cr);
  RenderIcon(cr, inIconRef, w, h);
  const int base = inTransform & 0x00FF;
  const int label = (inTransform >> 8) & 0x07;
  if ((inFlags & kPlotIconRefNoImage) != 0) {
    cairo_set_operator(cr, CAIRO_OPERATOR_ATOP);
    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_paint(cr);
  }
  if (label != 0 && inLabelColor != nullptr) {
    cairo_set_operator(cr, CAIRO_OPERATOR_ATOP);
    cairo_set_source_rgba(cr, inLabelColor->red / 65535.0, inLabelColor->green / 65535.0,
                          inLabelColor->blue / 65535.0, 0.4);
    cairo_paint(cr);
  }
  if ((inTransform & kTransformSelected) != 0 || base == kTransformOpen) {
    cairo_set_operator(cr, CAIRO_OPERATOR_ATOP);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.35);
    cairo_paint(cr);
  }
  cairo_pop_group_to_source(cr);
  if ((inFlags & kPlotIconRefNoMask) != 0) {
    cairo_push_group(cr);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);
    cairo_pop_group_to_source(cr);
  }
  double alpha = ctx->state.alpha;
  if (base == kTransformDisabled || base == kTransformOffline) alpha *= 0.5;
  cairo_set_operator(cr, QuartzOperatorForBlendMode(ctx->state.blend));
  cairo_rectangle(cr, 0, 0, w, h);
  cairo_clip(cr);
  cairo_paint_with_alpha(cr, alpha);
  cairo_restore(cr);
  cairo_new_path(cr);
  if (path->status == CAIRO_STATUS_SUCCESS) cairo_append_path(cr, path);
  cairo_path_destroy(path);
  return noErr;
}
