// Internal to the platform library: opening through the desktop (GIO),
// whatever the host. A nil application opens each item with its default
// application; otherwise the application is a .desktop file or an executable.
#pragma once

#include <vector>

#include "CFBase.h"

OSStatus LSOpenWithDesktop(CFURLRef appURL, const std::vector<CFURLRef>& items);
