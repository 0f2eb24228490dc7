// Internal to the platform library: the headless host's answers to the event
// core (alerts, beeps, launch requests).
#pragma once

#include <string>

#include "DesktopHost.h"

SInt16 HeadlessPresentAlert(const AlertRequest& request);
void HeadlessBeep();
void HeadlessRecordLaunch(const std::string& application, const std::string& url);
