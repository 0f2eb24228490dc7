// Drawn looks for ordinary controls: the bottom-bar buttons of panes (bevel
// buttons, pop-up buttons and segmented views drawn from image pieces) and
// the button image over the left end of a search field. Also the items that
// windows put in their toolbar with a view of their own (search field,
// segmented view, icon, icon with a pop-up menu) and the colour well.
#pragma once

#include "CFString.h"
#include "Icons.h"
#include "Menus.h"
#include "ShortString.h"
#include "TCustomControlUnit.h"
#include "THIToolbarUnit.h"

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

// ---------------------------------------------------------------------------
// Toolbar items with views of their own

// The context of an icon item; lives as long as the toolbar.
struct ToolbarIconViewInfo {
  UInt32 IconCreator = 0;
  UInt32 IconType = 0;
  Str255 Label;
  UInt32 Command = 0;
};

// The context of a search field item, when set: the handler of accepted text,
// given the search field as its data.
class THIToolbarSearchField : public THIToolbarItem {
 public:
  THIToolbarSearchField();
  MenuRef SearchMenu = nullptr;
  EventHandlerRef TextHandler = nullptr;
  void Create() override;
  void Initialize() override;
  void SetViewConstraints(CGSize& minimum, CGSize& maximum) override;
  virtual void SetSearchMenu();
  void Release() override;
};

class THIToolbarSegmentView;
// The context of a segmented-view item: makes the item's view.
using THIToolbarViewCreateViewCallback = HIViewRef (*)(THIToolbarSegmentView* item);

class THIToolbarSegmentView : public THIToolbarItem {
 public:
  THIToolbarSegmentView();
  void Create() override;
  void Initialize() override;
};

class TToolbarIconView : public THIToolbarView {
 public:
  TToolbarIconView();
  IconRef Icon = nullptr;
  UInt32 CommandID = 0;
  void Initialize() override;
  void SetViewConstraints(CGSize& minimum, CGSize& maximum) override;
  void DrawControl(CGRect bounds, CGContextRef context) override;
  void Release() override;
};

// An icon item that shows PopupMenu (set by subclasses) when held down.
class TPopupIconView : public TToolbarIconView {
 public:
  TPopupIconView();
  MenuRef PopupMenu = nullptr;
  void InitializeControl() override;
  void ControlDeepHit() override;
  MenuRef GetContextualMenu(CGPoint point) override;
  void DrawControl(CGRect bounds, CGContextRef context) override;
  void Release() override;
};

// A colour well: a click opens the colour picker on Color.
class TColorPickerView : public THIView {
 public:
  TColorPickerView();
  RGBColor Color = {0, 0, 0};
  void ControlHit(SInt16 part) override;
  void DrawControl(CGRect bounds, CGContextRef context) override;
  virtual void SelectColor();
  virtual void SetColor(const RGBColor& color);
};

inline constexpr const char* kColorPickerViewClassID = "com.brindlecote.view.colorpicker";
inline constexpr const char* kSearchFieldToolbarItemClassID = "com.brindlecote.view.searchfield.toolbar.item";
inline constexpr const char* kSegmentViewToolbarItemClassID = "com.brindlecote.view.segmentview.toolbar.item";

THIView* ConstructHIToolbarSearchField();
THIView* ConstructHIToolbarSegmentView();
THIView* ConstructToolbarIconView();
THIView* ColorPickerViewConstruct();
// Registers the colour well's view class.
void ColorPickerViewRegister();

// Appends an icon item drawn by its own view; its identifier is the
// toolbar's identifier of the command.
void AppendToolbarIconView(THIToolbar* toolbar, UInt32 attributes, UInt32 iconCreator, UInt32 iconType,
                           const Str255& label, UInt32 command, Boolean isDefault);
