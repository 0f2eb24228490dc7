// Internal to the platform library: how a host shows help tags, and the
// headless host's record of the tag shown.
#pragma once

#include <string>

#include "MacHelp.h"

struct HelpTagPresenter {
  void (*show)(CFStringRef text, const Rect& hotRect, HMTagDisplaySide side);
  void (*hide)();
};
// Nil restores the headless presenter, which only records.
void HelpSetTagPresenter(const HelpTagPresenter* presenter);

// The headless host's tag: its text (UTF-8) and hot rectangle; false when
// no tag is shown.
bool HelpGetShownTag(std::string* text, Rect* hotRect);
