// QuickDraw's random generator and integer geometry.
#include "QuickDraw.h"

#include <algorithm>
#include <atomic>

namespace {

constexpr UInt32 kModulus = 2147483647u;  // 2^31 - 1
constexpr UInt32 kMultiplier = 16807u;

std::atomic<SInt32> gRandomSeed{1};

UInt32 NextSeed(SInt32 seed) {
  // A seed that is 0 modulo the modulus would stay 0 for ever; restart the
  // sequence at 1 instead.
  UInt32 s = UInt32(seed) % kModulus;
  if (s == 0) s = 1;
  return UInt32((UInt64(s) * kMultiplier) % kModulus);
}

inline SInt16 Wrap16(int v) { return SInt16(UInt16(unsigned(v))); }

}  // namespace

SInt16 Random() {
  SInt32 seed = gRandomSeed.load(std::memory_order_relaxed);
  UInt32 next;
  do {
    next = NextSeed(seed);
  } while (!gRandomSeed.compare_exchange_weak(seed, SInt32(next), std::memory_order_relaxed));
  // The low 16 bits as a signed value; -32768 folds to 0 so that the range
  // is symmetric.
  SInt16 value = SInt16(UInt16(next & 0xFFFFu));
  return value == -32768 ? 0 : value;
}

SInt32 GetQDGlobalsRandomSeed() { return gRandomSeed.load(std::memory_order_relaxed); }

void SetQDGlobalsRandomSeed(SInt32 seed) { gRandomSeed.store(seed, std::memory_order_relaxed); }

void SetRect(Rect* r, SInt16 left, SInt16 top, SInt16 right, SInt16 bottom) {
  if (r == nullptr) return;
  r->top = top;
  r->left = left;
  r->bottom = bottom;
  r->right = right;
}

void OffsetRect(Rect* r, SInt16 dh, SInt16 dv) {
  if (r == nullptr) return;
  r->left = Wrap16(r->left + dh);
  r->right = Wrap16(r->right + dh);
  r->top = Wrap16(r->top + dv);
  r->bottom = Wrap16(r->bottom + dv);
}

void InsetRect(Rect* r, SInt16 dh, SInt16 dv) {
  if (r == nullptr) return;
  r->left = Wrap16(r->left + dh);
  r->right = Wrap16(r->right - dh);
  r->top = Wrap16(r->top + dv);
  r->bottom = Wrap16(r->bottom - dv);
  if (EmptyRect(r)) *r = Rect{0, 0, 0, 0};
}

Boolean EqualRect(const Rect* a, const Rect* b) {
  if (a == nullptr || b == nullptr) return a == b;
  return a->top == b->top && a->left == b->left && a->bottom == b->bottom && a->right == b->right;
}

Boolean EmptyRect(const Rect* r) {
  return r == nullptr || r->bottom <= r->top || r->right <= r->left;
}

Boolean PtInRect(Point pt, const Rect* r) {
  if (r == nullptr) return false;
  return pt.h >= r->left && pt.h < r->right && pt.v >= r->top && pt.v < r->bottom;
}

Boolean SectRect(const Rect* a, const Rect* b, Rect* dst) {
  Rect out{0, 0, 0, 0};
  if (a && b) {
    out.top = std::max(a->top, b->top);
    out.left = std::max(a->left, b->left);
    out.bottom = std::min(a->bottom, b->bottom);
    out.right = std::min(a->right, b->right);
  }
  bool nonEmpty = !EmptyRect(&out);
  if (!nonEmpty) out = Rect{0, 0, 0, 0};
  if (dst) *dst = out;
  return nonEmpty;
}

void UnionRect(const Rect* a, const Rect* b, Rect* dst) {
  if (a == nullptr || b == nullptr || dst == nullptr) return;
  Rect out;
  out.top = std::min(a->top, b->top);
  out.left = std::min(a->left, b->left);
  out.bottom = std::max(a->bottom, b->bottom);
  out.right = std::max(a->right, b->right);
  *dst = out;
}

void SetPt(Point* pt, SInt16 h, SInt16 v) {
  if (pt == nullptr) return;
  pt->h = h;
  pt->v = v;
}

Boolean EqualPt(Point a, Point b) { return a.h == b.h && a.v == b.v; }

void AddPt(Point src, Point* dst) {
  if (dst == nullptr) return;
  dst->h = Wrap16(dst->h + src.h);
  dst->v = Wrap16(dst->v + src.v);
}

void SubPt(Point src, Point* dst) {
  if (dst == nullptr) return;
  dst->h = Wrap16(dst->h - src.h);
  dst->v = Wrap16(dst->v - src.v);
}
