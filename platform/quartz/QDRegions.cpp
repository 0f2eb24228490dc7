// Regions over cairo's rectangle regions.
#include "QDRegions.h"

#include <cairo.h>

#include <unordered_set>
#include <vector>

#include "QuartzInternal.h"

struct OpaqueRgnHandle {
  cairo_region_t* region;
};

namespace {

// Handles that are alive, so a disposed or foreign handle is ignored
// instead of read.
std::unordered_set<RgnHandle>& Live() {
  static auto* live = new std::unordered_set<RgnHandle>;
  return *live;
}

cairo_region_t* R(RgnHandle rgn) { return rgn != nullptr && Live().count(rgn) != 0 ? rgn->region : nullptr; }

void Replace(RgnHandle dst, cairo_region_t* with) {
  cairo_region_destroy(dst->region);
  dst->region = with;
}

enum class Op { kSect, kUnion, kDiff, kXor };

void Combine(RgnHandle a, RgnHandle b, RgnHandle dst, Op op) {
  cairo_region_t *ra = R(a), *rb = R(b);
  if (R(dst) == nullptr || ra == nullptr || rb == nullptr) return;
  cairo_region_t* out = cairo_region_copy(ra);
  switch (op) {
    case Op::kSect: cairo_region_intersect(out, rb); break;
    case Op::kUnion: cairo_region_union(out, rb); break;
    case Op::kDiff: cairo_region_subtract(out, rb); break;
    case Op::kXor: cairo_region_xor(out, rb); break;
  }
  Replace(dst, out);
}

}  // namespace

RgnHandle NewRgn() {
  RgnHandle rgn = new OpaqueRgnHandle{cairo_region_create()};
  Live().insert(rgn);
  return rgn;
}

void DisposeRgn(RgnHandle rgn) {
  if (R(rgn) == nullptr) return;
  Live().erase(rgn);
  cairo_region_destroy(rgn->region);
  delete rgn;
}

void CopyRgn(RgnHandle srcRgn, RgnHandle dstRgn) {
  if (R(srcRgn) == nullptr || R(dstRgn) == nullptr || srcRgn == dstRgn) return;
  Replace(dstRgn, cairo_region_copy(srcRgn->region));
}

void SetEmptyRgn(RgnHandle rgn) {
  if (R(rgn) != nullptr) Replace(rgn, cairo_region_create());
}

void SetRectRgn(RgnHandle rgn, SInt16 left, SInt16 top, SInt16 right, SInt16 bottom) {
  if (R(rgn) == nullptr) return;
  if (right <= left || bottom <= top) {
    SetEmptyRgn(rgn);
    return;
  }
  cairo_rectangle_int_t r{left, top, right - left, bottom - top};
  Replace(rgn, cairo_region_create_rectangle(&r));
}

void RectRgn(RgnHandle rgn, const Rect* r) {
  if (r != nullptr) SetRectRgn(rgn, r->left, r->top, r->right, r->bottom);
}

void OffsetRgn(RgnHandle rgn, SInt16 dh, SInt16 dv) {
  if (R(rgn) != nullptr) cairo_region_translate(rgn->region, dh, dv);
}

void SectRgn(RgnHandle a, RgnHandle b, RgnHandle dst) { Combine(a, b, dst, Op::kSect); }
void UnionRgn(RgnHandle a, RgnHandle b, RgnHandle dst) { Combine(a, b, dst, Op::kUnion); }
void DiffRgn(RgnHandle a, RgnHandle b, RgnHandle dst) { Combine(a, b, dst, Op::kDiff); }
void XorRgn(RgnHandle a, RgnHandle b, RgnHandle dst) { Combine(a, b, dst, Op::kXor); }

Boolean PtInRgn(Point pt, RgnHandle rgn) {
  cairo_region_t* r = R(rgn);
  return r != nullptr && cairo_region_contains_point(r, pt.h, pt.v);
}

Boolean RectInRgn(const Rect* rect, RgnHandle rgn) {
  cairo_region_t* r = R(rgn);
  if (r == nullptr || rect == nullptr || rect->right <= rect->left || rect->bottom <= rect->top) return false;
  cairo_rectangle_int_t box{rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top};
  return cairo_region_contains_rectangle(r, &box) != CAIRO_REGION_OVERLAP_OUT;
}

Boolean EqualRgn(RgnHandle a, RgnHandle b) {
  cairo_region_t *ra = R(a), *rb = R(b);
  return ra != nullptr && rb != nullptr && cairo_region_equal(ra, rb);
}

Boolean EmptyRgn(RgnHandle rgn) {
  cairo_region_t* r = R(rgn);
  return r == nullptr || cairo_region_is_empty(r);
}

Boolean IsRegionRectangular(RgnHandle rgn) {
  cairo_region_t* r = R(rgn);
  return r != nullptr && cairo_region_num_rectangles(r) == 1;
}

Rect* GetRegionBounds(RgnHandle region, Rect* bounds) {
  if (bounds == nullptr) return nullptr;
  *bounds = Rect{0, 0, 0, 0};
  cairo_region_t* r = R(region);
  if (r == nullptr || cairo_region_is_empty(r)) return bounds;
  cairo_rectangle_int_t e;
  cairo_region_get_extents(r, &e);
  bounds->top = SInt16(e.y);
  bounds->left = SInt16(e.x);
  bounds->bottom = SInt16(e.y + e.height);
  bounds->right = SInt16(e.x + e.width);
  return bounds;
}

OSStatus ClipCGContextToRegion(CGContextRef gc, const Rect* portRect, RgnHandle region) {
  cairo_region_t* r = R(region);
  if (QuartzContext(gc) == nullptr || portRect == nullptr || r == nullptr) return paramErr;
  const int n = cairo_region_num_rectangles(r);
  std::vector<CGRect> rects;
  rects.reserve(size_t(n));
  for (int i = 0; i < n; ++i) {
    cairo_rectangle_int_t e;
    cairo_region_get_rectangle(r, i, &e);
    rects.push_back(CGRect{{double(e.x - portRect->left), double(portRect->bottom - (e.y + e.height))},
                           {double(e.width), double(e.height)}});
  }
  CGContextClipToRects(gc, rects.data(), rects.size());  // an empty region hides everything
  return noErr;
}
