// Internal to the platform library: what the font panel asks of the display
// host, and how the host reports what the user did. The headless host
// presents by default; the GTK host installs its own presenter when it starts.
#pragma once

#include <string>

#include "FontPanel.h"

struct FontPanelRequest {
  std::string family;  // UTF-8; empty when the selection names no family
  FMFontStyle style = 0;
  FMFontSize size = 12;
};
struct FontPanelPresenter {
  void (*show)(const FontPanelRequest& request);    // not modal: returns at once
  void (*hide)();                                   // the program hides it
  void (*update)(const FontPanelRequest& request);  // the shown panel shows another font
};
// Nil restores the headless presenter.
void FontPanelSetPresenter(const FontPanelPresenter* presenter);

// The host's reports, on the main thread: the user picked a font (family by
// name, UTF-8), or closed the panel.
void FontPanelUserSelected(const std::string& family, FMFontStyle style, FMFontSize size);
void FontPanelUserClosed();

// host/headless: the scripted presenter.
extern const FontPanelPresenter kHeadlessFontPanelPresenter;
