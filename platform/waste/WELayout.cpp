// The text engine's layout and drawing: one pango layout per paragraph,
// made when it is first needed and dropped when its text or style changes;
// the vertical position of every paragraph in a partitioning, so that finding
// the paragraph at a height is a binary search.
#include <pango/pangocairo.h>

#include <algorithm>
#include <cmath>

#include "EventTargetInternal.h"
#include "HIView.h"
#include "QuartzInternal.h"
#include "WEFonts.h"
#include "WEInternal.h"

using namespace we;

namespace {

// Paragraphs laid out at once by WECalText and when the geometry is asked
// for; beyond, heights are estimates until the paragraphs are reached.
constexpr SInt32 kEagerParagraphs = 2000;
constexpr SInt32 kSettleParagraphs = 256;

// Layouts kept besides those of the paragraphs in view. A large file is laid
// out piece by piece as it is coloured (to learn the heights, which stay
// known); a layout out of view that goes is made again when it is needed.
constexpr size_t kKeptLayouts = 1024;
UInt64 gLayoutClock = 0;  // counts uses of layouts, for the order of their going

void TrimLayouts(WEReference we);
SInt32 ParagraphAt(WEReference we, SInt32 y);

PangoFontMap* FontMap() {
  static PangoFontMap* map = pango_cairo_font_map_new();
  return map;
}

// Pango counts in units of 1/1024 pixel in an int, so a row much wider than
// a million pixels would overflow: no row is laid out wider than this.
constexpr SInt32 kMaxRowWidth = 1 << 20;
constexpr SInt32 kLayoutPiece = 1024;

SInt32 Width(WEReference we) {
  return SInt32(std::clamp<SInt64>(SInt64(we->dest.right) - we->dest.left, 1, kMaxRowWidth));
}

// What a paragraph's character looks like in its layout. Only a carriage
// return ends a line here, so the characters the layout would break a line
// at (LF, VT, FF, NEL, U+2028, U+2029) are shown as symbols, as are the
// other control characters (a NUL would end the layout's text); each stays
// one unit, so offsets and layout positions keep in step.
UniChar DisplayUnit(UniChar c) {
  if (c < 0x20) return c == '\t' ? c : UniChar(0x2400 + c);  // the control pictures
  if (c == 0x7F) return 0x2421;
  if (c == 0x85 || c == 0x2028 || c == 0x2029) return 0x2424;  // the newline symbol
  return c;
}

SInt32 Pixels(int pangoUnits) { return SInt32(std::floor(double(pangoUnits) / PANGO_SCALE)); }
SInt32 PixelsUp(int pangoUnits) { return SInt32(std::ceil(double(pangoUnits) / PANGO_SCALE)); }

PangoFontDescription* FontFor(const StyleLook& look) {
  PangoFontDescription* desc = pango_font_description_new();
  pango_font_description_set_family(desc, look.family.c_str());
  pango_font_description_set_absolute_size(desc, std::max(1.0, look.size) * PANGO_SCALE);
  pango_font_description_set_weight(desc, look.bold ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
  pango_font_description_set_style(desc, look.italic ? PANGO_STYLE_ITALIC : PANGO_STYLE_NORMAL);
  return desc;
}

bool SameFont(const StyleLook& a, const StyleLook& b) {
  return a.family == b.family && std::max(1.0, a.size) == std::max(1.0, b.size) && a.bold == b.bold &&
         a.italic == b.italic;
}

// The height of one empty line in the style.
SInt32 LineHeightOf(WEReference we, UInt32 style) {
  const StyleLook& look = LookOf(we, style);
  PangoLayout* layout = pango_layout_new(we->pango);
  PangoFontDescription* desc = FontFor(look);
  pango_layout_set_font_description(layout, desc);
  pango_font_description_free(desc);
  PangoRectangle logical;
  pango_layout_get_extents(layout, nullptr, &logical);
  g_object_unref(layout);
  return std::max<SInt32>(1, PixelsUp(logical.height));
}

SInt32 EstimateHeight(WEReference we, SInt32 line) {
  const UInt32 style = StyleAt(we, we->lines.Start(line));
  return LineHeightOf(we, style) + LookOf(we, style).paraSpacing;
}

const StyleLook& ParagraphLook(WEReference we, SInt32 i) { return LookOf(we, StyleAt(we, we->lines.Start(i))); }

// Where the paragraph's rows start.
SInt32 ParaLeft(WEReference we, SInt32 i) { return we->dest.left + ParagraphLook(we, i).indent; }

SInt32 ParagraphHeight(WEReference we, SInt32 i) { return we->paraY.Start(i + 1) - we->paraY.Start(i); }

void SetParagraphHeight(WEReference we, SInt32 i, SInt32 height) {
  const SInt32 delta = height - ParagraphHeight(we, i);
  if (delta != 0) we->paraY.Grow(i, delta);
}

// The paragraph's text without its line break.
SInt32 TextEnd(WEReference we, SInt32 i) {
  SInt32 end = we->lines.Start(i + 1);
  if (end > we->lines.Start(i) && we->text.ValueAt(end - 1) == 13) --end;
  return end;
}

void DropLayout(WEReference we, SInt32 i) {
  ParagraphLayout& p = we->paras[i];
  if (p.layout) {
    we->layoutRuns.erase(p.layout);
    g_object_unref(p.layout);
    p.layout = nullptr;
  }
}

// The style runs of paragraph i, starts relative to it.
std::vector<std::pair<SInt32, UInt32>> ParagraphRuns(WEReference we, SInt32 i) {
  std::vector<std::pair<SInt32, UInt32>> runs;
  const SInt32 start = we->lines.Start(i), end = std::max(TextEnd(we, i), start + 1);
  for (SInt32 r = we->runs.PartitionOf(start); r < we->runs.Partitions() && we->runs.Start(r) < end; ++r)
    runs.emplace_back(std::max(we->runs.Start(r), start) - start, we->runStyles.ValueAt(r));
  return runs;
}

// A layout of paragraph i, its height recorded. Without looks, only what
// places the glyphs is given (fonts, and the pieces the font attributes cut):
// colours, underlines and backgrounds, which neither shape nor move a glyph,
// are left out, so the layout measures the paragraph as its whole layout
// does at less cost.
PangoLayout* MakeLayout(WEReference we, SInt32 i, bool looks) {
  const SInt32 start = we->lines.Start(i);
  const SInt32 end = TextEnd(we, i);
  std::u16string chars = Copy(we, start, end);
  for (char16_t& c : chars) c = DisplayUnit(c);
  const std::string utf8 = ToUTF8(chars);

  PangoLayout* layout = pango_layout_new(we->pango);
  pango_layout_set_text(layout, utf8.data(), int(utf8.size()));
  const StyleLook& para = LookOf(we, StyleAt(we, start));
  pango_layout_set_width(layout, std::max<SInt32>(1, Width(we) - std::max<SInt32>(0, para.indent)) * PANGO_SCALE);
  pango_layout_set_wrap(layout, PANGO_WRAP_WORD_CHAR);
  if (para.rowSpacing > 0) pango_layout_set_spacing(layout, para.rowSpacing * PANGO_SCALE);
  PangoFontDescription* desc = FontFor(LookOf(we, StyleAt(we, start)));
  pango_layout_set_font_description(layout, desc);
  pango_font_description_free(desc);

  // Attributes from the style runs, at UTF-8 byte indexes.
  PangoAttrList* attrs = pango_attr_list_new();
  if (end > start) {
    SInt32 unit = 0;
    size_t byte = 0;
    auto byteAt = [&](SInt32 target) {
      while (unit < target && byte < utf8.size()) {
        const UniChar c = chars[size_t(unit)];
        const bool pair = c >= 0xD800 && c <= 0xDBFF && size_t(unit) + 1 < chars.size() &&
                          chars[size_t(unit) + 1] >= 0xDC00 && chars[size_t(unit) + 1] <= 0xDFFF;
        unit += pair ? 2 : 1;
        byte = size_t(g_utf8_next_char(utf8.data() + byte) - utf8.data());
      }
      return guint(byte);
    };
    // The layout measures each item (a stretch it shapes as one) in an int
    // of 1/1024 pixels, and a long line in one item would overflow it: no
    // item is let run past kLayoutPiece units (nor comes near, each glyph
    // at most 1000 pixels). A run in the paragraph's own font needs no
    // font of its own, so runs that differ only in colour are shaped as
    // one item; such a stretch is cut by giving its piece that reaches
    // kLayoutPiece the paragraph's font, whose ends are item boundaries.
    PangoFontDescription* paraFont = nullptr;
    SInt32 open = 0;  // where the stretch without an item boundary began
    for (SInt32 r = we->runs.PartitionOf(start); r < we->runs.Partitions() && we->runs.Start(r) < end; ++r) {
      const SInt32 runStart = std::max(we->runs.Start(r), start) - start;
      const SInt32 runEnd = std::min(we->runs.Start(r + 1), end) - start;
      const StyleLook& look = LookOf(we, we->runStyles.ValueAt(r));
      const bool ownFont = !SameFont(look, para);
      PangoFontDescription* d = ownFont ? FontFor(look) : nullptr;
      for (SInt32 s = runStart; s < runEnd;) {
        SInt32 e = std::min(runEnd, s + kLayoutPiece);
        PangoFontDescription* font = d;
        if (!ownFont) {
          e = std::min(runEnd, open + kLayoutPiece);
          if (e == open + kLayoutPiece) {
            if (paraFont == nullptr) paraFont = FontFor(para);
            font = paraFont;
            open = e;
          }
        }
        const guint bs = byteAt(s), be = byteAt(e);
        auto add = [&](PangoAttribute* a) {
          a->start_index = bs;
          a->end_index = be;
          pango_attr_list_insert(attrs, a);
        };
        if (font != nullptr) add(pango_attr_font_desc_new(font));
        if (!looks) {
          s = e;
          continue;
        }
        add(pango_attr_foreground_new(guint16(look.rgb[0] * 65535), guint16(look.rgb[1] * 65535),
                                      guint16(look.rgb[2] * 65535)));
        if (look.underline) add(pango_attr_underline_new(PANGO_UNDERLINE_SINGLE));
        if (look.hasBackground)
          add(pango_attr_background_new(guint16(look.background[0] * 65535), guint16(look.background[1] * 65535),
                                        guint16(look.background[2] * 65535)));
        s = e;
      }
      if (ownFont) open = runEnd;
      if (d != nullptr) pango_font_description_free(d);
    }
    if (paraFont != nullptr) pango_font_description_free(paraFont);
  }
  pango_layout_set_attributes(layout, attrs);
  pango_attr_list_unref(attrs);

  PangoRectangle logical;
  pango_layout_get_extents(layout, nullptr, &logical);
  SetParagraphHeight(we, i, std::max<SInt32>(1, PixelsUp(logical.height)) + std::max<SInt32>(0, para.paraSpacing));
  return layout;
}

PangoLayout* EnsureLayout(WEReference we, SInt32 i) {
  ParagraphLayout& p = we->paras[i];
  if (p.layout) {
    // A re-parse resets a stretch and styles it again, mostly as it was.
    auto made = we->layoutRuns.find(p.layout);
    if (made == we->layoutRuns.end()) return p.layout;
    made->second.used = ++gLayoutClock;
    if (!made->second.restyled) return p.layout;
    made->second.restyled = false;
    if (ParagraphRuns(we, i) == made->second.runs) return p.layout;
    DropLayout(we, i);
  }
  std::vector<std::pair<SInt32, UInt32>> madeWith = ParagraphRuns(we, i);
  PangoLayout* layout = MakeLayout(we, i, true);
  p.layout = layout;
  LayoutRuns& made = we->layoutRuns[layout];
  made.runs = std::move(madeWith);
  made.paragraph = i;
  made.used = ++gLayoutClock;
  TrimLayouts(we);
  return layout;
}

// Lays out what waits within the dirty range, when it is small; then an
// edit that took another height marks what follows it.
void Settle(WEReference we, SInt32 limit = kSettleParagraphs) {
  if (we->dirtyLast >= we->dirtyFirst) {
    const SInt32 last = std::min(we->dirtyLast, we->lines.Partitions() - 1);
    const SInt32 first = std::max<SInt32>(0, we->dirtyFirst);
    if (last - first + 1 <= limit && !we->Feature(weFInhibitRecal)) {
      // A paragraph out of view is only measured (a parse colours a large
      // file a stretch at a time, far from the view); one in view, or laid
      // out already, gets its layout.
      SInt32 shownFirst = 0, shownLast = -1;
      if (we->view.bottom > we->view.top) {
        shownFirst = ParagraphAt(we, we->view.top) - 1;
        shownLast = ParagraphAt(we, we->view.bottom - 1) + 1;
      }
      for (SInt32 i = first; i <= last; ++i) {
        if (we->paras[i].layout != nullptr || (i >= shownFirst && i <= shownLast)) EnsureLayout(we, i);
        else g_object_unref(MakeLayout(we, i, false));
      }
    }
    we->dirtyFirst = 0;
    we->dirtyLast = -1;
  }
  if (we->editHeightBefore >= 0) {
    const SInt32 before = we->editHeightBefore;
    we->editHeightBefore = -1;
    if (TextHeight(we) != before) RedrawParagraphs(we, we->editFrom, we->editFrom, true);
  }
}

void MarkDirty(WEReference we, SInt32 first, SInt32 last) {
  if (we->dirtyLast < we->dirtyFirst) {
    we->dirtyFirst = first;
    we->dirtyLast = last;
  } else {
    we->dirtyFirst = std::min(we->dirtyFirst, first);
    we->dirtyLast = std::max(we->dirtyLast, last);
  }
}

SInt32 ParagraphTop(WEReference we, SInt32 i) { return we->dest.top + we->paraY.Start(i); }

// UTF-16 offset within a paragraph's text <-> byte index of its layout.
int ByteOf(PangoLayout* layout, SInt32 units) {
  const char* text = pango_layout_get_text(layout);
  const char* p = text;
  while (units > 0 && *p) {
    const gunichar c = g_utf8_get_char(p);
    units -= c > 0xFFFF ? 2 : 1;
    p = g_utf8_next_char(p);
  }
  return int(p - text);
}

SInt32 UnitsOf(PangoLayout* layout, int byte) {
  const char* text = pango_layout_get_text(layout);
  SInt32 units = 0;
  for (const char* p = text; *p && p - text < byte; p = g_utf8_next_char(p)) units += g_utf8_get_char(p) > 0xFFFF ? 2 : 1;
  return units;
}

SInt32 ParagraphAt(WEReference we, SInt32 y) {
  const SInt32 rel = y - we->dest.top;
  if (rel <= 0) return 0;
  return we->paraY.PartitionOf(rel);
}

// Lets the layouts go that were used longest ago, once more than
// kKeptLayouts are kept, down to half of that; those of the paragraphs in
// view and next to it stay, and so does the one just made or used.
void TrimLayouts(WEReference we) {
  if (we->layoutRuns.size() <= kKeptLayouts) return;
  SInt32 first = 0, last = -1;
  if (we->view.bottom > we->view.top) {
    first = ParagraphAt(we, we->view.top) - 1;
    last = ParagraphAt(we, we->view.bottom - 1) + 1;
  }
  std::vector<std::pair<UInt64, SInt32>> out;  // (used, paragraph) of those out of view
  out.reserve(we->layoutRuns.size());
  for (const auto& [layout, made] : we->layoutRuns)
    if (made.paragraph < first || made.paragraph > last) out.emplace_back(made.used, made.paragraph);
  const size_t excess = we->layoutRuns.size() - kKeptLayouts / 2;
  if (out.size() > excess) {
    std::nth_element(out.begin(), out.begin() + SInt64(excess), out.end());
    out.resize(excess);
  }
  // The newest (its caller holds it) is out of the count: it stays.
  for (const auto& [used, paragraph] : out)
    if (used != gLayoutClock) DropLayout(we, paragraph);
}

struct Box {
  SInt32 left, top, right, bottom;
};

// The boxes of start .. end within the paragraphs that meet the view.
std::vector<Box> RangeBoxes(WEReference we, SInt32 start, SInt32 end) {
  std::vector<Box> boxes;
  if (end <= start) return boxes;
  Settle(we);
  SInt32 first = std::max(we->lines.PartitionOf(start), ParagraphAt(we, we->view.top));
  SInt32 last = std::min(we->lines.PartitionOf(end), ParagraphAt(we, we->view.bottom));
  for (SInt32 i = first; i <= last; ++i) {
    PangoLayout* layout = EnsureLayout(we, i);
    const SInt32 ls = we->lines.Start(i);
    const SInt32 te = TextEnd(we, i);
    const SInt32 a = std::max(start, ls) - ls;
    const SInt32 b = std::min(end, te) - ls;
    const bool toRight = end > te && we->lines.Start(i + 1) > te;  // the line break is selected
    const int ba = ByteOf(layout, a), bb = ByteOf(layout, std::max(a, b));
    const SInt32 top = ParagraphTop(we, i);
    const SInt32 left = ParaLeft(we, i);
    PangoLayoutIter* iter = pango_layout_get_iter(layout);
    do {
      PangoLayoutLine* line = pango_layout_iter_get_line_readonly(iter);
      int y0 = 0, y1 = 0;
      pango_layout_iter_get_line_yrange(iter, &y0, &y1);
      const int lineStart = line->start_index, lineEnd = line->start_index + line->length;
      const bool lastLine = pango_layout_iter_at_last_line(iter);
      const int s = std::max(ba, lineStart), e = std::min(bb, lineEnd);
      if (s < e || (lastLine && toRight && ba <= lineEnd)) {
        int* ranges = nullptr;
        int n = 0;
        SInt32 x0 = INT32_MAX, x1 = INT32_MIN;
        if (s < e) {
          pango_layout_line_get_x_ranges(line, s, e, &ranges, &n);
          for (int k = 0; k < n; ++k) {
            x0 = std::min(x0, Pixels(ranges[2 * k]));
            x1 = std::max(x1, PixelsUp(ranges[2 * k + 1]));
          }
          g_free(ranges);
        }
        if (lastLine && toRight) {
          if (x0 == INT32_MAX) {
            int x = 0;
            pango_layout_line_index_to_x(line, std::min(std::max(ba, lineStart), lineEnd), FALSE, &x);
            x0 = Pixels(x);
          }
          x1 = std::max(x1, std::max(we->view.right, we->dest.right) - left);
        }
        if (x0 < x1)
          boxes.push_back({left + x0, top + Pixels(y0), left + x1, top + PixelsUp(y1)});
      }
    } while (pango_layout_iter_next_line(iter));
    pango_layout_iter_free(iter);
  }
  return boxes;
}

void CaretBox(WEReference we, SInt32 offset, SInt16 direction, LongPt* pt, SInt16* height) {
  Settle(we);
  offset = ClampOffset(we, offset);
  const SInt32 i = we->lines.PartitionOf(offset);
  PangoLayout* layout = EnsureLayout(we, i);
  const int byte = ByteOf(layout, offset - we->lines.Start(i));
  PangoRectangle strong;
  pango_layout_get_cursor_pos(layout, byte, &strong, nullptr);
  if (direction == 0 && byte > 0) {
    // At a wrap, the end of the upper line.
    int lineNo = 0, x = 0;
    pango_layout_index_to_line_x(layout, byte, FALSE, &lineNo, &x);
    PangoLayoutLine* line = pango_layout_get_line_readonly(layout, lineNo);
    if (lineNo > 0 && line && line->start_index == byte) {
      const char* text = pango_layout_get_text(layout);
      const int prev = int(g_utf8_prev_char(text + byte) - text);
      PangoRectangle pos;
      pango_layout_index_to_pos(layout, prev, &pos);
      strong.x = pos.x + pos.width;
      strong.y = pos.y;
      strong.height = pos.height;
    }
  }
  pt->h = ParaLeft(we, i) + Pixels(strong.x);
  pt->v = ParagraphTop(we, i) + Pixels(strong.y);
  if (height) *height = SInt16(std::clamp<SInt32>(PixelsUp(strong.height), 1, INT16_MAX));
}

// Whether the ink of a layout reaches above or below its rows (a tall or
// low glyph): only then is a paragraph beside a drawn area drawn too.
// Worked out once, and kept with the layout.
constexpr unsigned kInkAbove = 1, kInkBelow = 2, kInkKnown = 4;
unsigned InkReach(PangoLayout* layout) {
  static const GQuark key = g_quark_from_static_string("we-ink-reach");
  const unsigned known = GPOINTER_TO_UINT(g_object_get_qdata(G_OBJECT(layout), key));
  if (known & kInkKnown) return known;
  PangoRectangle ink, logical;
  pango_layout_get_extents(layout, &ink, &logical);
  // Within a pixel of the edge counts as reaching over it: the outlines
  // are drawn smoothed, and the extents of stacked marks are not exact.
  unsigned reach = kInkKnown;
  if (ink.height > 0 && ink.y < logical.y + PANGO_SCALE) reach |= kInkAbove;
  if (ink.height > 0 && ink.y + ink.height > logical.y + logical.height - PANGO_SCALE) reach |= kInkBelow;
  g_object_set_qdata(G_OBJECT(layout), key, GUINT_TO_POINTER(reach));
  return reach;
}

bool SetColor(cairo_t* cr, const double rgba[4]) {
  cairo_set_source_rgba(cr, rgba[0], rgba[1], rgba[2], rgba[3]);
  return true;
}

}  // namespace

// ---------------------------------------------------------------------------
// Internal interface

namespace we {

const StyleLook& LookOf(WEReference we, UInt32 style) {
  auto& slot = we->looks[style];
  if (slot) return *slot;
  auto look = std::make_unique<StyleLook>();
  const Style& s = we->styles[style];
  SInt16 family = 4;
  if (const StyleValue v = s.Find('font'); v && v->size() >= 2) std::memcpy(&family, v->data(), 2);
  look->family = WEFontFace(family);
  if (const StyleValue v = s.Find('ptsz'); v && v->size() >= 4) {
    Fixed size;
    std::memcpy(&size, v->data(), 4);
    look->size = std::clamp(double(size) / 65536.0, 1.0, 1000.0);
  }
  auto rgb = [](const StyleValue& v, double out[3]) {
    RGBColor c{};
    std::memcpy(&c, v->data(), std::min<size_t>(v->size(), sizeof c));
    out[0] = c.red / 65535.0;
    out[1] = c.green / 65535.0;
    out[2] = c.blue / 65535.0;
  };
  if (const StyleValue v = s.Find('colr'); v && !v->empty()) rgb(v, look->rgb);
  if (const StyleValue v = s.Find('pbcl'); v && v->size() >= 6) {
    look->hasBackground = true;
    rgb(v, look->background);
  }
  auto flag = [&](FourCharCode tag) {
    const StyleValue v = s.Find(tag);
    return v && !v->empty() && (*v)[0] != 0;
  };
  look->bold = flag('bold');
  look->italic = flag('ital');
  look->underline = flag('undl');
  // Paragraph attributes are 16.16 fixed pixels, kept within sane bounds.
  auto fixedAt = [&](FourCharCode tag, size_t at) -> SInt32 {
    const StyleValue v = s.Find(tag);
    if (v == nullptr || v->size() < at + 4) return 0;
    Fixed f;
    std::memcpy(&f, v->data() + at, 4);
    return SInt32(std::clamp(std::lround(double(f) / 65536.0), 0L, 4000L));
  };
  look->indent = fixedAt('lein', 0);
  look->rowSpacing = fixedAt('ledg', 0);
  look->paraSpacing = fixedAt('ledg', 4);
  slot = std::move(look);
  return *slot;
}

void LayoutInit(WEReference we) {
  we->pango = pango_font_map_create_context(FontMap());
  cairo_font_options_t* options = cairo_font_options_create();
  cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
  cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
  cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
  pango_cairo_context_set_font_options(we->pango, options);
  cairo_font_options_destroy(options);
  we->paras.InsertValue(0, 1, ParagraphLayout{});
  we->paraY.Grow(0, EstimateHeight(we, 0));
  we->layoutWidth = Width(we);
}

void LayoutDispose(WEReference we) {
  for (SInt32 i = 0; i < we->paras.Length(); ++i) DropLayout(we, i);
  if (we->pango) g_object_unref(we->pango);
  we->pango = nullptr;
}

void LayoutLinesInserted(WEReference we, SInt32 line, SInt32 count) {
  we->paras.InsertValue(line, count, ParagraphLayout{});
  for (auto& [layout, made] : we->layoutRuns)
    if (made.paragraph >= line) made.paragraph += count;
  for (SInt32 k = 0; k < count; ++k) we->paraY.Insert(line + k, we->paraY.Start(line + k));
  if (we->dirtyLast >= we->dirtyFirst) {
    if (we->dirtyFirst >= line) we->dirtyFirst += count;
    if (we->dirtyLast >= line) we->dirtyLast += count;
  }
  // Estimates until the paragraphs are laid out; one style lookup serves all
  // new lines of an insertion that is uniform.
  const SInt32 estimate = EstimateHeight(we, line - 1);
  for (SInt32 k = 0; k < count; ++k) we->paraY.Grow(line + k, estimate);
  MarkDirty(we, line - 1, line + count - 1);
}

void LayoutLinesRemoved(WEReference we, SInt32 line, SInt32 count) {
  for (SInt32 k = 0; k < count; ++k) {
    DropLayout(we, line);
    we->paraY.Grow(line, -ParagraphHeight(we, line));
    we->paraY.Remove(line);
    we->paras.Delete(line);
  }
  for (auto& [layout, made] : we->layoutRuns)
    if (made.paragraph >= line) made.paragraph -= count;
  if (we->dirtyLast >= we->dirtyFirst) {
    auto fix = [&](SInt32 p) { return p >= line + count ? p - count : std::min(p, line - 1); };
    we->dirtyFirst = std::max<SInt32>(0, fix(we->dirtyFirst));
    we->dirtyLast = fix(we->dirtyLast);
  }
}

void LayoutInvalidate(WEReference we, SInt32 firstLine, SInt32 lastLine) {
  firstLine = std::max<SInt32>(0, firstLine);
  lastLine = std::min(lastLine, we->lines.Partitions() - 1);
  for (SInt32 i = firstLine; i <= lastLine; ++i) DropLayout(we, i);
  MarkDirty(we, firstLine, lastLine);
}

void LayoutRestyled(WEReference we, SInt32 firstLine, SInt32 lastLine) {
  firstLine = std::max<SInt32>(0, firstLine);
  lastLine = std::min(lastLine, we->lines.Partitions() - 1);
  for (SInt32 i = firstLine; i <= lastLine; ++i) {
    if (PangoLayout* layout = we->paras[i].layout) {
      auto made = we->layoutRuns.find(layout);
      if (made != we->layoutRuns.end()) made->second.restyled = true;
      else DropLayout(we, i);
    }
  }
  MarkDirty(we, firstLine, lastLine);
}

void LayoutInvalidateAll(WEReference we) { LayoutInvalidate(we, 0, we->lines.Partitions() - 1); }

SInt32 TextHeight(WEReference we) { return we->paraY.Length(); }

SInt32 ParagraphIndent(WEReference we, SInt32 line) {
  return ParagraphLook(we, std::clamp(line, 0, we->lines.Partitions() - 1)).indent;
}

namespace {

void Hold(WEReference we, SInt32 first, SInt32 last, bool toEnd) {
  if (we->heldLast < we->heldFirst) {
    we->heldFirst = first;
    we->heldLast = last;
  } else {
    we->heldFirst = std::min(we->heldFirst, first);
    we->heldLast = std::max(we->heldLast, last);
  }
  we->heldToEnd = we->heldToEnd || toEnd;
}

}  // namespace

void Redraw(WEReference we) {
  if (we->Feature(weFInhibitRedraw)) we->heldWhole = true;
  else if (we->hiView) HIViewSetNeedsDisplay(we->hiView, true);
}

void RedrawHeld(WEReference we) {
  const bool whole = we->heldWhole, any = we->heldLast >= we->heldFirst;
  const SInt32 first = we->heldFirst, last = we->heldLast;
  const bool toEnd = we->heldToEnd;
  we->heldWhole = we->heldToEnd = false;
  we->heldFirst = 0;
  we->heldLast = -1;
  if (whole) Redraw(we);
  else if (any) RedrawParagraphs(we, first, last, toEnd);
}

void RedrawParagraphs(WEReference we, SInt32 first, SInt32 last, bool toEnd) {
  if (we->Feature(weFInhibitRedraw)) {
    Hold(we, first, last, toEnd);
    return;
  }
  if (we->hiView == nullptr) return;
  const SInt32 count = we->lines.Partitions();
  first = std::clamp<SInt32>(first, 0, count - 1);
  last = std::clamp<SInt32>(last, first, count - 1);
  const SInt32 top = std::max(we->view.top, ParagraphTop(we, first));
  const SInt32 bottom = toEnd ? we->view.bottom : std::min(we->view.bottom, ParagraphTop(we, last + 1));
  if (bottom <= top) return;
  // The rows across the whole view (its gutter and margins too), in its
  // own coordinates.
  HIRect r{{double(we->view.left), double(top)}, {double(std::max<SInt32>(1, we->view.right - we->view.left)),
                                                   double(bottom - top)}};
  if (WindowRef window = HIViewGetWindow(we->hiView)) HIViewConvertRect(&r, HIViewGetRoot(window), we->hiView);
  HIRect bounds{};
  HIViewGetBounds(we->hiView, &bounds);
  r.origin.x = bounds.origin.x;
  r.size.width = bounds.size.width;
  HIViewSetNeedsDisplayInRect(we->hiView, &r, true);
}

void RedrawEdit(WEReference we, SInt32 line0, SInt32 lastLine, bool linesChanged, SInt32 heightBefore,
                SInt32 dirtyBefore) {
  if (we->Feature(weFInhibitRedraw)) {
    // Heights are checked when the rows are drawn.
    Hold(we, line0, lastLine, linesChanged);
    return;
  }
  if (we->hiView == nullptr || we->view.bottom <= we->view.top) return;
  const SInt32 from = dirtyBefore >= 0 ? std::min(line0, dirtyBefore) : line0;
  if (linesChanged) {
    RedrawParagraphs(we, from, lastLine, true);
    return;
  }
  // Whether what follows moved is known once the changed paragraphs are
  // laid out: that waits for the next look at the geometry (a typed key's
  // scroll to the caret, the drawing), after the change's report, whose
  // re-colouring would otherwise have them laid out a second time.
  if (we->editHeightBefore >= 0) Settle(we);  // an earlier edit's first
  RedrawParagraphs(we, line0, lastLine, false);
  we->editFrom = from;
  we->editHeightBefore = heightBefore;
}

void SettleEdit(WEReference we) { Settle(we); }

void ScrollToSelection(WEReference we, bool context) {
  if (we->view.bottom <= we->view.top || we->view.right <= we->view.left) return;
  const SInt32 p = we->sel.anchor == we->sel.start ? we->sel.end : we->sel.start;
  LongPt pt{};
  SInt16 lh = 0;
  CaretBox(we, p, 1, &pt, &lh);
  if (pt.v + lh > we->view.bottom) {
    // The caret goes to the bottom of the view: what will show above it is
    // laid out first. Left to the drawing, heights that were estimates
    // would push the caret out of view again, and the next key would
    // scroll (and draw) the whole view once more.
    const SInt32 heightBefore = TextHeight(we);
    SInt32 room = we->view.bottom - we->view.top;
    for (SInt32 i = we->lines.PartitionOf(p) - 1; i >= 0; --i) {
      EnsureLayout(we, i);
      if (room <= 0) break;  // the one above the view, which its drawing lays out too
      room -= ParagraphHeight(we, i);
    }
    if (TextHeight(we) != heightBefore) {
      Redraw(we);  // rows in view may have moved, scrolled or not
      CaretBox(we, p, 1, &pt, &lh);
    }
  }
  // Three lines of context, or what the view has room for.
  const SInt32 margin = context ? std::max<SInt32>(0, std::min<SInt32>(3 * lh, (we->view.bottom - we->view.top - lh) / 2)) : 0;
  SInt32 dv = 0, dh = 0;
  if (pt.v < we->view.top)
    dv = we->view.top - pt.v + margin;
  else if (pt.v + lh > we->view.bottom) {
    const SInt32 least = std::max(we->view.bottom - (pt.v + lh), we->view.top - pt.v);
    dv = std::max(we->view.bottom - (pt.v + lh) - margin, we->view.top - pt.v);
    // The context stops at the text's end.
    dv = std::max(dv, std::min(least, we->view.bottom - (we->dest.top + TextHeight(we))));
  }
  // Never above the text's start.
  if (dv > 0) dv = std::min(dv, we->view.top - we->dest.top);
  if (pt.h < we->view.left)
    dh = we->view.left - pt.h + (we->view.right - we->view.left) / 4;
  else if (pt.h >= we->view.right)
    dh = we->view.right - pt.h - 1 - (we->view.right - we->view.left) / 4;
  dh = std::min(dh, we->view.left - we->dest.left);  // never past the left edge
  if (dh != 0 || dv != 0) WEScroll(dh, dv, we);
}

}  // namespace we

// ---------------------------------------------------------------------------
// Rectangles and layout

void WEGetDestRect(LongRect* outDestRect, WEReference we) {
  if (outDestRect == nullptr || we == nullptr) return;
  Settle(we);
  *outDestRect = we->dest;
  outDestRect->bottom = we->dest.top + TextHeight(we);
}

void WESetDestRect(const LongRect* inDestRect, WEReference we) {
  if (inDestRect == nullptr || we == nullptr) return;
  we->dest = *inDestRect;
  if (Width(we) != we->layoutWidth) {
    we->layoutWidth = Width(we);
    LayoutInvalidateAll(we);
  }
  Redraw(we);
}

void WEGetViewRect(LongRect* outViewRect, WEReference we) {
  if (outViewRect && we) *outViewRect = we->view;
}

void WESetViewRect(const LongRect* inViewRect, WEReference we) {
  if (inViewRect == nullptr || we == nullptr) return;
  we->view = *inViewRect;
  Redraw(we);
}

OSStatus WECalText(WEReference we) {
  if (we == nullptr) return paramErr;
  we->layoutWidth = Width(we);
  LayoutInvalidateAll(we);
  Settle(we, kEagerParagraphs);
  Redraw(we);
  return noErr;
}

void WEScroll(SInt32 inHOffset, SInt32 inVOffset, WEReference we) {
  if (we == nullptr || (inHOffset == 0 && inVOffset == 0)) return;
  we->dest.left += inHOffset;
  we->dest.right += inHOffset;
  we->dest.top += inVOffset;
  we->dest.bottom += inVOffset;
  Redraw(we);
  if (we->scrollHook) we->scrollHook(we);
}

// ---------------------------------------------------------------------------
// Offsets and points

SInt32 WEGetOffset(const LongPt* inPoint, WEEdge* outEdge, WEReference we) {
  if (we == nullptr || inPoint == nullptr) return 0;
  Settle(we);
  if (outEdge) *outEdge = kLeadingEdge;
  const SInt32 rel = inPoint->v - we->dest.top;
  if (rel < 0) return 0;
  if (rel >= TextHeight(we)) {
    if (outEdge) *outEdge = kTrailingEdge;
    return Length(we);
  }
  const SInt32 i = we->paraY.PartitionOf(rel);
  PangoLayout* layout = EnsureLayout(we, i);
  const SInt32 top = ParagraphTop(we, i);
  int index = 0, trailing = 0;
  const double x = double(inPoint->h - ParaLeft(we, i)), y = double(inPoint->v - top);
  constexpr double kReach = 2.0 * kMaxRowWidth - 1;  // still an int in pango units
  pango_layout_xy_to_index(layout, int(std::clamp(x, -kReach, kReach) * PANGO_SCALE),
                           int(std::clamp(y, 0.0, kReach) * PANGO_SCALE), &index, &trailing);
  SInt32 units = UnitsOf(layout, index);
  if (trailing > 0) {
    const char* p = pango_layout_get_text(layout) + index;
    for (int k = 0; k < trailing && *p; ++k, p = g_utf8_next_char(p)) units += g_utf8_get_char(p) > 0xFFFF ? 2 : 1;
    if (outEdge) *outEdge = kTrailingEdge;
  }
  return std::min(we->lines.Start(i) + units, TextEnd(we, i));
}

void WEGetPoint(SInt32 inOffset, SInt16 inDirection, LongPt* outPoint, SInt16* outLineHeight, WEReference we) {
  if (we == nullptr || outPoint == nullptr) return;
  CaretBox(we, inOffset, inDirection, outPoint, outLineHeight);
}

RgnHandle WEGetHiliteRgn(SInt32 inStart, SInt32 inEnd, WEReference we) {
  RgnHandle rgn = NewRgn();
  if (we == nullptr || rgn == nullptr) return rgn;
  SInt32 start = inStart < 0 ? we->sel.start : inStart;
  SInt32 end = inEnd < 0 ? we->sel.end : inEnd;
  if (start > end) std::swap(start, end);
  RgnHandle box = NewRgn();
  for (const Box& b : RangeBoxes(we, ClampOffset(we, start), ClampOffset(we, end))) {
    const SInt32 l = std::max(b.left, we->view.left), t = std::max(b.top, we->view.top);
    const SInt32 r = std::min(b.right, we->view.right), btm = std::min(b.bottom, we->view.bottom);
    if (l >= r || t >= btm) continue;
    auto s16 = [](SInt32 v) { return SInt16(std::clamp<SInt32>(v, INT16_MIN, INT16_MAX)); };
    SetRectRgn(box, s16(l), s16(t), s16(r), s16(btm));
    UnionRgn(rgn, box, rgn);
  }
  DisposeRgn(box);
  return rgn;
}

// ---------------------------------------------------------------------------
// Drawing

void WEUpdate(RgnHandle inUpdateRgn, WEReference we) {
  if (we == nullptr || we->context == nullptr || we->Feature(weFInhibitRedraw)) return;
  cairo_t* cr = QuartzContextGetCairo(we->context);
  if (cr == nullptr) return;
  SInt32 left = we->view.left, top = we->view.top, right = we->view.right, bottom = we->view.bottom;
  if (inUpdateRgn) {
    Rect r;
    GetRegionBounds(inUpdateRgn, &r);
    left = std::max<SInt32>(left, r.left);
    top = std::max<SInt32>(top, r.top);
    right = std::min<SInt32>(right, r.right);
    bottom = std::min<SInt32>(bottom, r.bottom);
  }
  {
    // Only what the context still lets through (a host draws the dirty
    // area of its window).
    double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    cairo_clip_extents(cr, &x0, &y0, &x1, &y1);
    left = std::max<SInt32>(left, SInt32(std::floor(x0)));
    top = std::max<SInt32>(top, SInt32(std::floor(y0)));
    right = std::min<SInt32>(right, SInt32(std::ceil(x1)));
    bottom = std::min<SInt32>(bottom, SInt32(std::ceil(y1)));
  }
  if (left >= right || top >= bottom) return;
  const SInt32 heightBefore = TextHeight(we);
  const SInt32 dirtyBefore = we->dirtyLast >= we->dirtyFirst ? we->dirtyFirst : -1;
  Settle(we);
  // Laid out only now, a paragraph took another height: what follows it
  // moved, outside the area drawn now as well.
  if (dirtyBefore >= 0 && TextHeight(we) != heightBefore) RedrawParagraphs(we, dirtyBefore, dirtyBefore, true);

  cairo_save(cr);
  cairo_rectangle(cr, left, top, right - left, bottom - top);
  cairo_clip(cr);

  const CGRect dirty{{double(left), double(top)}, {double(right - left), double(bottom - top)}};
  if (we->eraseHook) {
    CGContextSaveGState(we->context);
    we->eraseHook(we->context, &dirty, &we->viewRecord, we);
    CGContextRestoreGState(we->context);
  } else {
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);
  }

  // The selection under the text.
  if (we->sel.end > we->sel.start && (we->active || we->Feature(weFOutlineHilite))) {
    for (const Box& b : RangeBoxes(we, we->sel.start, we->sel.end)) {
      cairo_rectangle(cr, b.left, b.top, b.right - b.left, b.bottom - b.top);
      if (we->active) {
        SetColor(cr, we->viewRecord.hilite);
        cairo_fill(cr);
      } else {
        cairo_save(cr);
        cairo_clip(cr);
        cairo_rectangle(cr, b.left + 0.5, b.top + 0.5, b.right - b.left - 1, b.bottom - b.top - 1);
        SetColor(cr, we->viewRecord.inactiveHilite);
        cairo_set_line_width(cr, 1);
        cairo_stroke(cr);
        cairo_restore(cr);
      }
    }
  }

  // The paragraphs that meet the dirty area, and the one on each side when
  // its glyphs reach into it.
  const SInt32 firstMet = ParagraphAt(we, top), lastMet = ParagraphAt(we, bottom - 1);
  const SInt32 first = std::max<SInt32>(0, firstMet - 1);
  const SInt32 last = std::min(lastMet + 1, we->lines.Partitions() - 1);
  for (SInt32 i = first; i <= last; ++i) {
    PangoLayout* layout = EnsureLayout(we, i);
    if ((i < firstMet && !(InkReach(layout) & kInkBelow)) || (i > lastMet && !(InkReach(layout) & kInkAbove)))
      continue;
    cairo_move_to(cr, ParaLeft(we, i), ParagraphTop(we, i));
    pango_cairo_show_layout(cr, layout);
  }

  // The caret.
  if (we->active && we->caretOn && we->sel.start == we->sel.end && !we->Feature(weFReadOnly)) {
    LongPt pt{};
    SInt16 lh = 0;
    CaretBox(we, we->sel.start, 1, &pt, &lh);
    cairo_rectangle(cr, pt.h, pt.v, 1, lh);
    SetColor(cr, we->viewRecord.caret);
    cairo_fill(cr);
  }
  cairo_restore(cr);
}

// ---------------------------------------------------------------------------
// The view record

WEViewReference WEGetCurrentView(WEReference we) { return we ? &we->viewRecord : nullptr; }

namespace {

double* ViewColor(WESelector tag, WEViewReference view) {
  switch (tag) {
    case 'hili': return view->hilite;
    case 'inhi': return view->inactiveHilite;
    case 'cart': return view->caret;
  }
  return nullptr;
}

}  // namespace

OSStatus WESetViewInfo(WESelector inTag, const void* inValue, ByteCount inValueSize, WEViewReference inView) {
  if (inView == nullptr || inValue == nullptr) return paramErr;
  double* color = ViewColor(inTag, inView);
  if (color == nullptr) return paramErr;
  if (inValueSize == sizeof(ATSURGBAlphaColor)) {
    const auto* c = static_cast<const ATSURGBAlphaColor*>(inValue);
    color[0] = c->red, color[1] = c->green, color[2] = c->blue, color[3] = c->alpha;
  } else if (inValueSize == sizeof(RGBColor)) {
    const auto* c = static_cast<const RGBColor*>(inValue);
    color[0] = c->red / 65535.0, color[1] = c->green / 65535.0, color[2] = c->blue / 65535.0, color[3] = 1;
  } else {
    return paramErr;
  }
  if (inView->owner) Redraw(inView->owner);
  return noErr;
}

OSStatus WEGetViewInfo(WESelector inTag, void* outValue, ByteCount inValueSize, WEViewReference inView) {
  if (inView == nullptr || outValue == nullptr) return paramErr;
  const double* color = ViewColor(inTag, inView);
  if (color == nullptr) return paramErr;
  if (inValueSize == sizeof(ATSURGBAlphaColor)) {
    *static_cast<ATSURGBAlphaColor*>(outValue) = {float(color[0]), float(color[1]), float(color[2]), float(color[3])};
  } else if (inValueSize == sizeof(RGBColor)) {
    *static_cast<RGBColor*>(outValue) = {UInt16(color[0] * 65535 + 0.5), UInt16(color[1] * 65535 + 0.5),
                                         UInt16(color[2] * 65535 + 0.5)};
  } else {
    return paramErr;
  }
  return noErr;
}
