// Gestalt: answers about the running system.
#pragma once

#include "MacTypes.h"

enum : OSType {
  gestaltSystemVersion = 'sysv',       // 0x1058: 10.5.8, in BCD
  gestaltSystemVersionMajor = 'sys1',  // 10
  gestaltSystemVersionMinor = 'sys2',  // 5
  gestaltSystemVersionBugFix = 'sys3', // 8
};

// noErr with the answer in *response; gestaltUndefSelectorErr for a selector
// it does not know (response untouched); paramErr for a nil response.
OSErr Gestalt(OSType selector, SInt32* response);
