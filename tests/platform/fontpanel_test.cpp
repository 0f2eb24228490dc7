// The font panel under the headless host: the font it is shown with, picks
// made while it is up (scripted ahead or made now) reaching the target as
// selection events with a family number, and its closing.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CarbonEvents.h"
#include "EventTargetInternal.h"
#include "FontPanel.h"
#include "HeadlessHost.h"

namespace {

struct Heard {
  UInt32 kind;
  std::string family;
  FMFontStyle style;
  FMFontSize size;
};

OSStatus OnFontEvent(EventHandlerCallRef, EventRef event, void* data) {
  auto* heard = static_cast<std::vector<Heard>*>(data);
  Heard h{GetEventKind(event), "", 0, 0};
  if (h.kind == kEventFontSelection) {
    FMFontFamily family = kInvalidFontFamily;
    EXPECT_EQ(noErr, GetEventParameter(event, kEventParamFMFontFamily, typeFMFontFamily, nullptr, sizeof family,
                                       nullptr, &family));
    GetEventParameter(event, kEventParamFMFontStyle, typeFMFontStyle, nullptr, sizeof h.style, nullptr, &h.style);
    GetEventParameter(event, kEventParamFMFontSize, typeFMFontSize, nullptr, sizeof h.size, nullptr, &h.size);
    unsigned char name[256] = {};
    if (FMGetFontFamilyName(family, name)) h.family.assign(reinterpret_cast<char*>(name + 1), name[0]);
  }
  heard->push_back(h);
  return noErr;
}

class FontPanelTest : public testing::Test {
 protected:
  void SetUp() override {
    HeadlessClearFontAnswers();
    HeadlessClearFontLog();
    const EventTypeSpec types[] = {{kEventClassFont, kEventFontSelection}, {kEventClassFont, kEventFontPanelClosed}};
    ASSERT_EQ(noErr, InstallEventHandler(GetApplicationEventTarget(), OnFontEvent, 2, types, &heard_, &handler_));
  }
  void TearDown() override {
    if (FPIsFontPanelVisible()) FPShowHideFontPanel();
    SetFontInfoForSelection(kFontSelectionQDType, 0, nullptr, nullptr);
    RemoveEventHandler(handler_);
  }
  std::vector<Heard> heard_;
  EventHandlerRef handler_ = nullptr;
};

TEST_F(FontPanelTest, PicksWhileShownReachTheTargetAndClosingIsReported) {
  const unsigned char mono[] = "\x10" "DejaVu Sans Mono";
  FontSelectionQDStyle start{kFontSelectionQDStyleVersionZero, {FMGetFontFamilyFromName(mono), 0}, 15, false, 0, {}};
  ASSERT_EQ(noErr, SetFontInfoForSelection(kFontSelectionQDType, 1, &start, nullptr));
  EXPECT_FALSE(HeadlessFontPanelChoose("Noto Serif", 0, 12));  // hidden: nobody can pick
  ASSERT_EQ(noErr, FPShowHideFontPanel());
  ASSERT_TRUE(FPIsFontPanelVisible());
  auto log = HeadlessCopyFontLog();
  ASSERT_EQ(1u, log.size());
  EXPECT_EQ("DejaVu Sans Mono", log[0].family);
  EXPECT_EQ(15, log[0].size);
  EXPECT_FALSE(log[0].update);
  EXPECT_TRUE(heard_.empty());

  // A family outside the fixed table gets a number that names it.
  ASSERT_TRUE(HeadlessFontPanelChoose("Noto Serif Display", 3, 13));
  ASSERT_EQ(1u, heard_.size());
  EXPECT_EQ(UInt32(kEventFontSelection), heard_[0].kind);
  EXPECT_EQ("Noto Serif Display", heard_[0].family);
  EXPECT_EQ(3, heard_[0].style);
  EXPECT_EQ(13, heard_[0].size);
  EXPECT_TRUE(FPIsFontPanelVisible());

  // The program shows another font in the open panel: logged, not a pick.
  // A classic family shows as the face it is drawn with.
  const unsigned char verdana[] = "\x07" "Verdana";
  start.instance.fontFamily = FMGetFontFamilyFromName(verdana);
  start.size = 18;
  ASSERT_EQ(noErr, SetFontInfoForSelection(kFontSelectionQDType, 1, &start, nullptr));
  log = HeadlessCopyFontLog();
  ASSERT_EQ(2u, log.size());
  EXPECT_TRUE(log[1].update);
  EXPECT_EQ("DejaVu Sans", log[1].family);
  EXPECT_EQ(18, log[1].size);
  EXPECT_EQ(1u, heard_.size());

  // The user closes it; the program's toggle shows it again and hides it,
  // reporting that closing too.
  ASSERT_TRUE(HeadlessFontPanelClose());
  EXPECT_FALSE(FPIsFontPanelVisible());
  EXPECT_FALSE(HeadlessFontPanelClose());
  ASSERT_EQ(noErr, FPShowHideFontPanel());
  ASSERT_EQ(noErr, FPShowHideFontPanel());
  ASSERT_EQ(3u, heard_.size());
  EXPECT_EQ(UInt32(kEventFontPanelClosed), heard_[1].kind);
  EXPECT_EQ(UInt32(kEventFontPanelClosed), heard_[2].kind);
}

TEST_F(FontPanelTest, ScriptedPicksArriveFromTheLoopAndGoToTheGivenTarget) {
  // Picks go to the target given with the selection; closing to the application.
  EventTargetRef other = EventTargetCreate(reinterpret_cast<void*>(0x4242), nullptr);
  std::vector<Heard> elsewhere;
  const EventTypeSpec types[] = {{kEventClassFont, kEventFontSelection}, {kEventClassFont, kEventFontPanelClosed}};
  EventHandlerRef handler = nullptr;
  ASSERT_EQ(noErr, InstallEventHandler(other, OnFontEvent, 2, types, &elsewhere, &handler));
  ASSERT_EQ(noErr, SetFontInfoForSelection(kFontSelectionQDType, 0, nullptr, other));

  HeadlessQueueFontAnswer({"DejaVu Serif", 0, 11, false});
  HeadlessQueueFontAnswer({"Verdana", 1, 14, true});
  HeadlessQueueFontAnswer({"Never Given", 0, 9, false});  // after the close: stays queued for the next showing
  ASSERT_EQ(noErr, FPShowHideFontPanel());
  EXPECT_TRUE(elsewhere.empty());  // not before the loop turns
  HeadlessAdvanceClock(0);
  ASSERT_EQ(2u, elsewhere.size());
  EXPECT_EQ("DejaVu Serif", elsewhere[0].family);
  EXPECT_EQ(11, elsewhere[0].size);
  EXPECT_EQ("Verdana", elsewhere[1].family);
  EXPECT_EQ(1, elsewhere[1].style);
  ASSERT_EQ(1u, heard_.size());
  EXPECT_EQ(UInt32(kEventFontPanelClosed), heard_[0].kind);
  EXPECT_FALSE(FPIsFontPanelVisible());

  // Only the QuickDraw style record of version 0 describes a selection.
  FontSelectionQDStyle bad{1, {4, 0}, 12, false, 0, {}};
  EXPECT_EQ(fontPanelSelectionStyleErr, SetFontInfoForSelection(kFontSelectionQDType, 1, &bad, nullptr));
  EXPECT_EQ(fontPanelSelectionStyleErr, SetFontInfoForSelection('atsu', 1, &bad, nullptr));
  RemoveEventHandler(handler);
  EventTargetDispose(other);
}

}  // namespace
