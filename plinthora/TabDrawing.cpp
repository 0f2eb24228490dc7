// Drawing the tab view from the image set of its style. Drawing also
// records each tab's rectangle and close box, which hit testing uses.
#include <cmath>

#include "HITheme.h"
#include "Icons.h"
#include "plinthora/TabDrawing.h"
#include "plinthora/TabUtilities.h"

using plinthora::DrawImageAt;
using plinthora::ImageHeight;
using plinthora::ImageWidth;

namespace tabs {

namespace {

struct TabDraw {
  TabData* d;
  CGContextRef context;
  const TabImageRec& images;
  ControlPartCode hilite;
};

void SetFill(CGContextRef c, const ATSURGBAlphaColorRec& color) {
  CGContextSetRGBFillColor(c, color.red, color.green, color.blue, color.alpha);
}

void DrawBackground(const TabDraw& t, CGFloat width) {
  CGImageRef image = t.images.BACKGROUND;
  if (ImageWidth(image) <= 0) return;
  CGContextSaveGState(t.context);
  for (CGFloat x = 0; x < width; x += ImageWidth(image)) DrawImageAt(t.context, image, x, 0);
  CGContextRestoreGState(t.context);
}

void DrawContent(const TabDraw& t, TabInfo& tab, SInt16 i, SInt16 s, CGFloat left, CGFloat width) {
  const CGFloat right = left + width;
  CGImageRef center = t.images.CENTER[s];
  CGContextSaveGState(t.context);
  CGContextClipToRect(t.context,
                      CGRect{{left, 0}, {width - ImageWidth(t.images.RIGHT[s]), ImageHeight(center)}});
  if (ImageWidth(center) > 0)
    for (CGFloat x = left + ImageWidth(t.images.LEFT[s]); x < right; x += ImageWidth(center))
      DrawImageAt(t.context, center, x, 0);
  CGContextRestoreGState(t.context);
  DrawImageAt(t.context, t.images.LEFT[s], left, 0);
  DrawImageAt(t.context, t.images.RIGHT[s], right - ImageWidth(t.images.RIGHT[s]), 0);

  const TabImageMetrics& m = t.images.METRICS;
  const SInt16 c = t.hilite == kTabViewCloseBoxPart && i == t.d->TRACKING ? 3 : 1;
  CGImageRef box = t.images.CLOSE[c][s];
  CGRect rect{{right - ImageWidth(box) - m.BUTTONOFFSET.x, m.BUTTONOFFSET.y}, {ImageWidth(box), ImageHeight(box)}};
  if (c == 3) {
    rect.origin.x += m.BUTTONPRESSOFFSET.x;
    rect.origin.y += m.BUTTONPRESSOFFSET.y;
  }
  tab.CLOSEBOXBOUNDS = rect;
  plinthora::DrawImageIn(t.context, box, rect);
}

void DrawText(const TabDraw& t, const TabPaneInfo& pane, SInt16 s, CGFloat left, CGFloat right) {
  const TabImageMetrics& m = t.images.METRICS;
  CGContextRef c = t.context;
  CGContextSaveGState(c);
  if (m.TEXTSHADOW) CGContextSetShadow(c, CGSize{0, -1}, 1);
  if (s == kTabImageStateInactive) {
    CGContextSetBlendMode(c, kCGBlendModeDarken);
    SetFill(c, m.TEXTCOLORINACTIVE);
  } else if (s == kTabImageStatePressed) {
    SetFill(c, m.TEXTCOLORPRESSED);
  }
  if (pane.ICON) left += kDefaultIconSize;
  const CGRect box{{left + kDefaultHorizantalTextInset, CGFloat(m.VERTICALOFFSET)},
                   {(right - left) - 2 * ImageWidth(t.images.CLOSE[1][1]) - m.BUTTONOFFSET.x,
                    ImageHeight(t.images.CENTER[1])}};
  HIThemeTextInfo info{};
  info.version = 0;
  info.state = 0;
  info.fontID = m.INACTIVEFONTID;
  info.horizontalFlushness = kHIThemeTextHorizontalFlushCenter;
  info.verticalFlushness = kHIThemeTextVerticalFlushCenter;
  info.options = 0;
  info.truncationPosition = kHIThemeTextTruncationEnd;
  info.truncationMaxLines = 1;
  if (s == kTabImageStateActive) {
    info.fontID = m.ACTIVEFONTID;
    SetFill(c, m.TEXTCOLORACTIVE);
  }
  CFStringRef title = CopyPaneTitle(pane);
  if (m.TEXTEMBOSS) {
    CGContextSaveGState(c);
    CGContextSetRGBFillColor(c, 1, 1, 1, 1);
    CGContextSetShadow(c, CGSize{0, 0}, 0);
    CGContextSetBlendMode(c, kCGBlendModeNormal);
    CGContextSetAlpha(c, 1);
    CGRect lower = box;
    lower.origin.y += 1;
    HIThemeDrawTextBox(title, &lower, &info, c, kHIThemeOrientationNormal);
    CGContextRestoreGState(c);
  }
  HIThemeDrawTextBox(title, &box, &info, c, kHIThemeOrientationNormal);
  CFRelease(title);
  CGContextRestoreGState(c);
}

void DrawIcon(const TabDraw& t, const TabInfo& tab, const TabPaneInfo& pane, SInt16 s) {
  if (pane.ICON == nullptr) return;
  const TabImageMetrics& m = t.images.METRICS;
  CGContextRef c = t.context;
  CGContextSaveGState(c);
  const CGRect box{{tab.BOUNDS.origin.x + m.ICONOFFSET.x, tab.BOUNDS.origin.y + m.ICONOFFSET.y},
                   {kDefaultIconSize, kDefaultIconSize}};
  if (s == kTabImageStateInactive) CGContextSetAlpha(c, 0.5);
  if (pane.ICONTYPE == kMenuCGImageRefType) {
    HIViewDrawCGImage(c, &box, static_cast<CGImageRef>(pane.ICON));
  } else if (pane.ICONTYPE == kMenuIconRefType) {
    CGContextTranslateCTM(c, 0, ImageHeight(t.images.CENTER[1]));
    CGContextScaleCTM(c, 1, -1);
    PlotIconRefInContext(c, &box, kAlignNone, kTransformNone, nullptr, kPlotIconRefNormalFlags,
                         static_cast<IconRef>(pane.ICON));
  }
  CGContextRestoreGState(c);
}

void DrawTab(const TabDraw& t, TabInfo& tab, SInt16 i, SInt16 narrowing) {
  TabData* d = t.d;
  const TabImageMetrics& m = t.images.METRICS;
  CGContextSaveGState(t.context);
  TabPaneInfo pane{};
  GetPane(tab, tab.ACTIVE, pane);
  const CGFloat width = kDefaultWidth - narrowing;
  const CGFloat left = (i - 1) * width + i * m.MARGIN + m.STARTOFFSET;
  const CGFloat right = left + width;
  tab.BOUNDS = CGRect{{left, 0}, {width, ImageHeight(t.images.CENTER[1])}};
  tab.INDEX = i;
  SInt16 s = i == d->ACTIVE ? kTabImageStateActive : kTabImageStateInactive;
  if (i == d->TRACKING && i != d->ACTIVE && t.hilite == kTabViewContentPart) s = kTabImageStatePressed;
  if (i == d->HOVERITEM && i != d->ACTIVE) s = kTabImageStatePressed;
  if (!HIViewIsActive(d->VIEW, nullptr)) CGContextSetAlpha(t.context, 0.3);
  DrawContent(t, tab, i, s, left, width);
  DrawText(t, pane, s, left, right);
  DrawIcon(t, tab, pane, s);
  CGContextRestoreGState(t.context);
}

}  // namespace

SInt16 GetTabRatio(SInt16 count, CGFloat width) {
  if (count <= 0 || count * kDefaultWidth <= width) return 0;
  return SInt16((SInt32(count * kDefaultWidth) - SInt32(std::lround(width))) / count + 1);
}

OSStatus DrawTabView(TabData* d, EventRef event) {
  CGContextRef context = plinthora::DrawContext(event);
  if (context == nullptr) return noErr;
  CGRect bounds{}, frame{};
  HIViewGetBounds(d->VIEW, &bounds);
  HIViewGetFrame(d->VIEW, &frame);
  const SInt16 style = d->STYLE >= 1 && d->STYLE <= kTabImageStyles ? d->STYLE : SInt16(kTabStyleStandardID);
  const TabDraw t{d, context, TabImages[style], GetControlHilite(d->VIEW)};
  DrawBackground(t, bounds.size.width);
  const SInt16 count = TabCount(d);
  const SInt16 narrowing = GetTabRatio(count, frame.size.width);
  d->VISIBLETABS = count;
  for (SInt16 i = 1; i <= count; ++i) {
    TabInfo tab{};
    if (!GetTab(d, i, tab)) continue;
    DrawTab(t, tab, i, narrowing);
    SetTab(d, i, tab);
  }
  if (d->HILITE) {
    CGContextSaveGState(context);
    HIThemeSetFill(kThemeBrushPrimaryHighlightColor, nullptr, context, kHIThemeOrientationNormal);
    HIThemeSetStroke(kThemeBrushPrimaryHighlightColor, nullptr, context, kHIThemeOrientationNormal);
    CGContextSetAlpha(context, 0.4);
    CGContextFillRect(context, bounds);
    CGContextRestoreGState(context);
  }
  return noErr;
}

}  // namespace tabs
