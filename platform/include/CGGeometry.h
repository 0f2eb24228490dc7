// Quartz geometry records: points, sizes and rectangles in floating point,
// and the RGB-alpha colour record of the styled-text layer.
#pragma once

typedef double CGFloat;

struct CGPoint {
  CGFloat x;
  CGFloat y;
};

struct CGSize {
  CGFloat width;
  CGFloat height;
};

struct CGRect {
  CGPoint origin;
  CGSize size;
};

// Components 0..1.
struct ATSURGBAlphaColor {
  float red;
  float green;
  float blue;
  float alpha;
};
