// Drawn looks for ordinary controls: the bottom-bar buttons of panes (bevel
// buttons, pop-up buttons and segmented views drawn from image pieces) and
// the button image over the left end of a search field.
#pragma once

#include "CFString.h"
#include "TCustomControlUnit.h"

// Every bottom-bar button is this high, whatever its interface file says.
constexpr CGFloat kBottomContentButtonHeight = 23;

class TBottomContentButton : public TCustomControl {
 public:
  virtual void DrawTitle(CFStringRef title, UInt16 controlSize, CGRect bounds, CGContextRef context);
  virtual void DrawBackground(CGRect bounds, CGContextRef context);
  virtual void DrawMenuIcon(CGRect bounds, CGContextRef context);
  virtual void DrawImage(const ControlButtonContentInfo& content, UInt16 controlSize, CGRect bounds,
                         CGContextRef context);
  virtual void DrawPopupArrows(CGRect bounds, CGContextRef context);
  virtual void DrawSegmentedView(UInt16 controlSize, CGRect bounds, CGContextRef context);
  virtual void DrawSegmentedBackground(CGRect bounds, CGContextRef context);

  CGRect GetBounds() override;
  void InitializeControl() override;
  void AllocateResources() override;
  void DrawControl(CGRect bounds, CGContextRef context, OSStatus& result) override;
};

class THISearchField : public TCustomControl {
 public:
  CGImageRef SearchButtonImage = nullptr;
  void AllocateResources() override;
  void DrawControl(CGRect bounds, CGContextRef context, OSStatus& result) override;
  void Release() override;
};

// The bottom-bar images, loaded once for the program's life.
extern CustomButtonImages TBottomContentButtonImages;
extern Boolean TBottomContentButtonLoaded;

void TBottomContentButtonApplierFunction(ControlRef control, void* data);
void THISearchFieldCreate(ControlRef control);
