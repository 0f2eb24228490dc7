// Gestalt answers as a 10.5.8 system, so that every caller takes the branch
// meant for 10.5 and later.
#include "Gestalt.h"

OSErr Gestalt(OSType selector, SInt32* response) {
  SInt32 answer;
  switch (selector) {
    case gestaltSystemVersion: answer = 0x1058; break;
    case gestaltSystemVersionMajor: answer = 10; break;
    case gestaltSystemVersionMinor: answer = 5; break;
    case gestaltSystemVersionBugFix: answer = 8; break;
    default: return gestaltUndefSelectorErr;
  }
  if (response == nullptr) return paramErr;
  *response = answer;
  return noErr;
}
