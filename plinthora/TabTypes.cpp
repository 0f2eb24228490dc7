// The tab view's image sets and per-style metrics.
#include "plinthora/TabTypes.h"

TabImageRec TabImages[kTabImageStyles + 1];

namespace {

const char* const kStyleNames[kTabImageStyles + 1] = {"", "standard", "glossy metal", "metallic", "toolbar"};
constexpr ATSURGBAlphaColorRec kDarkGrey{0.2f, 0.2f, 0.2f, 0.9f};

}  // namespace

SInt16 GetTabStyleIndex(const Str63& name) {
  for (SInt16 i = 1; i <= kTabImageStyles; ++i)
    if (name == kStyleNames[i]) return i;
  // An unknown name draws as the standard style, so the result always
  // indexes an image set.
  return kTabStyleStandardID;
}

void SetDefaultMetrics(SInt16 style, TabImageMetrics& m) {
  m = TabImageMetrics{};
  switch (style) {
    case kTabStyleGlossyMetal:
    case kTabStyleMetallic:
      m.ACTIVEFONTID = 2;
      m.INACTIVEFONTID = 1;
      // These styles' own colours are fully transparent, which hides every
      // title: they take the standard style's colours.
      m.TEXTCOLORACTIVE = {0, 0, 0, 0.9f};
      m.TEXTCOLORINACTIVE = {0, 0, 0, 0.5f};
      m.TEXTCOLORPRESSED = {0, 0, 0, 0.7f};
      break;
    case kTabStyleToolbar:
      m.BUTTONOFFSET = {5, 5};
      m.ICONOFFSET = {2, 2};
      m.TEXTEMBOSS = true;
      m.MARGIN = -2;
      m.STARTOFFSET = 1;
      m.ACTIVEFONTID = 1;
      m.INACTIVEFONTID = 1;
      m.TEXTCOLORACTIVE = kDarkGrey;
      m.TEXTCOLORINACTIVE = kDarkGrey;
      m.TEXTCOLORPRESSED = kDarkGrey;
      break;
    default:
      m.BUTTONOFFSET = {7, 10};
      m.ICONOFFSET = {9, 9};
      m.STARTOFFSET = 2;
      m.VERTICALOFFSET = 2;
      m.ACTIVEFONTID = 1;
      m.INACTIVEFONTID = 1;
      m.TEXTCOLORACTIVE = {0, 0, 0, 0.9f};
      m.TEXTCOLORINACTIVE = {0, 0, 0, 0.5f};
      m.TEXTCOLORPRESSED = {0, 0, 0, 0.7f};
      break;
  }
}

void LoadTabImages() {
  static const char* const kStates[4] = {"", "active", "inactive", "pressed"};
  for (SInt16 style = 1; style <= kTabImageStyles; ++style) {
    TabImageRec& rec = TabImages[style];
    SetDefaultMetrics(style, rec.METRICS);
    const Str255 folder = Str255("Images/Tab Images/") + kStyleNames[style];
    rec.BACKGROUND = plinthora::LoadImage("background.png", folder);
    for (int s = 1; s <= 3; ++s) {
      rec.LEFT[s] = plinthora::LoadImage(Str255("left_") + kStates[s] + ".png", folder);
      rec.RIGHT[s] = plinthora::LoadImage(Str255("right_") + kStates[s] + ".png", folder);
      rec.CENTER[s] = plinthora::LoadImage(Str255("center_") + kStates[s] + ".png", folder);
    }
    rec.CLOSE[1][1] = plinthora::LoadImage("closebox_active.png", folder);
    rec.CLOSE[1][2] = plinthora::LoadImage("closebox_inactive.png", folder);
    rec.CLOSE[1][3] = plinthora::LoadImage("closebox_pressed.png", folder);
    rec.CLOSE[3][1] = plinthora::LoadImage("closebox_active_pressed.png", folder);
    rec.CLOSE[3][2] = plinthora::LoadImage("closebox_inactive_pressed.png", folder);
  }
}
