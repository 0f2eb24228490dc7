// Internal to the platform library: what the colour picker asks of the
// display host. The headless host answers by default; the GTK host installs
// its own presenter when it starts.
#pragma once

#include <string>

#include "MacTypes.h"

struct ColorRequest {
  std::string prompt;  // UTF-8
  RGBColor input{0, 0, 0};
};
// Runs the picker modally (a nested run of the loop); true with the chosen
// colour, false when cancelled.
typedef bool (*ColorPresenter)(const ColorRequest& request, RGBColor* chosen);
// Nil restores the headless presenter.
void ColorPickerSetPresenter(ColorPresenter presenter);

// host/headless: the scripted presenter.
bool HeadlessPresentColor(const ColorRequest& request, RGBColor* chosen);
