// Internal to the platform library: what the event core asks of the display
// host for alerts and the beep. The headless host answers by default; the
// GTK host installs its own presenters when it starts.
#pragma once

#include <string>

#include "Dialogs.h"

struct AlertRequest {
  AlertType kind = kAlertPlainAlert;
  std::string error;        // UTF-8
  std::string explanation;  // UTF-8
  // Button texts, empty for a button the alert does not have.
  std::string okText;
  std::string cancelText;
  std::string otherText;
  bool helpButton = false;
  SInt16 defaultButton = kAlertStdAlertOKButton;
  SInt16 cancelButton = 0;
};

// Shows the alert modally (a nested run of the event loop) and answers the
// item chosen: one of the buttons the request has.
typedef SInt16 (*AlertPresenter)(const AlertRequest& request);
typedef void (*BeepPresenter)();

// Nil restores the headless presenters.
void DesktopHostSetAlertPresenter(AlertPresenter presenter);
void DesktopHostSetBeepPresenter(BeepPresenter presenter);
