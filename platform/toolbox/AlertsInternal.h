// Alerts the platform itself shows (a file it was asked to open, the help).
#pragma once

#include <string>

// A stop alert with the two UTF-8 texts, answered with OK; returns when it is.
void RunStopAlert(const std::string& error, const std::string& explanation);
