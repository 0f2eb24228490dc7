// UnixCommon: shell commands through popen, and the one decoding of child
// output that every reader of it uses.
#pragma once

#include <string>
#include <string_view>

#include "CFBase.h"
#include "ShortString.h"

// A new string (the caller releases it) of output bytes: read as UTF-8 when
// they are valid UTF-8, as Mac Roman otherwise (every byte maps). Never nil.
CFMutableStringRef CreateStringFromProcessOutput(std::string_view bytes);

// A new mutable string (the caller releases it) holding the whole output of
// the shell command, decoded as above; empty when there is no output or the
// shell cannot be started.
CFMutableStringRef ReadShellOutput(const std::string& command);
// The first 255 bytes (or fewer) of the command's output, up to a NUL byte if
// one occurs; empty when there is none. Waits for the command to end.
Str255 ReadShell(const std::string& command);
// Runs ReadShell and discards its result.
void DoShellCommand(const std::string& command);
