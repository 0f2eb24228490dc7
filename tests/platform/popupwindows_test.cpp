// Windows that pop up over another without taking its place: a window of
// activation scope none is shown, selected and activated without becoming the
// active window or the keyboard's; its opacity; points of a view on the screen.
#include <gtest/gtest.h>

#include "HIView.h"
#include "MacWindows.h"

namespace {

TEST(PopupWindows, AWindowOfScopeNoneNeverTakesTheActivationNorTheFocus) {
  Rect bounds{100, 100, 400, 500};
  WindowRef editorWindow = nullptr, popup = nullptr;
  ASSERT_EQ(CreateNewWindow(kDocumentWindowClass, kWindowStandardDocumentAttributes, &bounds, &editorWindow), noErr);
  ASSERT_EQ(CreateNewWindow(kPlainWindowClass, kWindowNoTitleBarAttribute, &bounds, &popup), noErr);
  ShowWindow(editorWindow);
  SelectWindow(editorWindow);
  ASSERT_EQ(SetWindowActivationScope(popup, kWindowActivationScopeNone), noErr);
  WindowActivationScope scope = kWindowActivationScopeAll;
  GetWindowActivationScope(popup, &scope);
  EXPECT_EQ(scope, kWindowActivationScopeNone);
  ShowWindow(popup);
  SelectWindow(popup);
  ActivateWindow(popup, true);
  EXPECT_EQ(ActiveNonFloatingWindow(), editorWindow);
  EXPECT_EQ(GetUserFocusWindow(), editorWindow);
  EXPECT_TRUE(IsWindowActive(editorWindow));
  EXPECT_TRUE(IsWindowActive(popup)) << "it looks active";
  EXPECT_NE(SetUserFocusWindow(popup), noErr);
  EXPECT_EQ(SetWindowActivationScope(popup, 7), paramErr);
  // Giving the active window scope none hands the activation on.
  HideWindow(popup);
  SetWindowActivationScope(popup, kWindowActivationScopeAll);
  ShowWindow(popup);
  SelectWindow(popup);
  EXPECT_EQ(ActiveNonFloatingWindow(), popup);
  SetWindowActivationScope(popup, kWindowActivationScopeNone);
  EXPECT_EQ(ActiveNonFloatingWindow(), editorWindow);
}

TEST(PopupWindows, OpacityAndPointsOnTheScreen) {
  Rect bounds{100, 100, 400, 500};
  WindowRef editorWindow = nullptr, popup = nullptr;
  ASSERT_EQ(CreateNewWindow(kDocumentWindowClass, kWindowStandardDocumentAttributes, &bounds, &editorWindow), noErr);
  ASSERT_EQ(CreateNewWindow(kPlainWindowClass, kWindowNoTitleBarAttribute, &bounds, &popup), noErr);
  // Opacity is kept within 0..1.
  CGFloat alpha = 0;
  SetWindowAlpha(popup, 0.89);
  GetWindowAlpha(popup, &alpha);
  EXPECT_DOUBLE_EQ(alpha, 0.89);
  SetWindowAlpha(popup, 3);
  GetWindowAlpha(popup, &alpha);
  EXPECT_DOUBLE_EQ(alpha, 1.0);
  // From view space to the screen and back.
  HIPoint p{10, 20};
  HIPointConvert(&p, kHICoordSpaceView, HIViewGetRoot(editorWindow), kHICoordSpaceScreenPixel, nullptr);
  EXPECT_EQ(p.x, 110);
  EXPECT_EQ(p.y, 120);
  HIPointConvert(&p, kHICoordSpaceScreenPixel, nullptr, kHICoordSpaceView, HIViewGetRoot(editorWindow));
  EXPECT_EQ(p.x, 10);
  EXPECT_EQ(p.y, 20);
  // Window space starts at the frame's corner, above the title bar.
  Rect structure{};
  GetWindowBounds(editorWindow, kWindowStructureRgn, &structure);
  HIPointConvert(&p, kHICoordSpaceView, HIViewGetRoot(editorWindow), kHICoordSpaceWindow, editorWindow);
  EXPECT_EQ(p.x, 110 - structure.left);
  EXPECT_EQ(p.y, 120 - structure.top);
  // A view outside every window leaves the point as it is.
  HIPoint q{5, 6};
  HIPointConvert(&q, kHICoordSpaceView, nullptr, kHICoordSpaceScreenPixel, nullptr);
  EXPECT_EQ(q.x, 5);
  EXPECT_EQ(q.y, 6);
  DisposeWindow(popup);
  DisposeWindow(editorWindow);
}

}  // namespace
