// Internal to the controls library: drawing the tab view.
#pragma once

#include "plinthora/TabTypes.h"

namespace tabs {

// The narrowing of every tab when n tabs share the width.
SInt16 GetTabRatio(SInt16 count, CGFloat width);
OSStatus DrawTabView(TabData* d, EventRef event);

}  // namespace tabs
