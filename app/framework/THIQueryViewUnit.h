// THIQueryView: a small drawn stepper through a list of results (left arrow,
// the number of the current result, right arrow) that tells the front
// window when the user steps.
#pragma once

#include "CFArray.h"
#include "CGImage.h"
#include "THIViewUnit.h"

struct HIControlImageInfo {
  CGImageRef normal;
  CGImageRef selected;
  CGImageRef hover;
  CGImageRef unused;
};

enum : SInt16 {
  kQueryViewPartLeft = 1,
  kQueryViewPartCenter = 2,
  kQueryViewPartRight = 3,
};
constexpr UInt32 kQueryViewPreviousCommand = 'qry<';
constexpr UInt32 kQueryViewNextCommand = 'qry>';

class THIQueryView : public THIView {
 public:
  THIQueryView();

  SInt32 Current = 0;
  SInt32 Count = 0;
  CFArrayRef Results = nullptr;  // items point to CFRange records; owned
  HIControlImageInfo RightImages = {};
  HIControlImageInfo CenterImages = {};
  HIControlImageInfo LeftImages = {};
  CGRect LeftRect = {{0, 0}, {0, 0}};
  CGRect CenterRect = {{0, 0}, {0, 0}};
  CGRect RightRect = {{0, 0}, {0, 0}};

  virtual void Clear();
  virtual SInt16 GetActiveItem();
  virtual CFRange GetActiveRange();
  virtual void SetResults(CFArrayRef results);
  virtual void SetRange(SInt16 current, SInt16 count);

  void AllocateResources() override;
  void DrawControl(CGRect bounds, CGContextRef context) override;
  void ControlHit(SInt16 part) override;
  SInt16 HitTestControl(CGRect bounds, CGPoint point) override;
  void Release() override;
};

THIView* HIQueryViewConstruct();
