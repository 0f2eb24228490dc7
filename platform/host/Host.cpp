#include "Host.h"

#include <cstdlib>
#include <cstring>

namespace {
bool gInitialized = false;
HostKind gKind = kHostHeadless;
}  // namespace

HostKind HostInitialize(int* argc, char*** argv) {
  if (gInitialized) return gKind;
  gInitialized = true;
  // Only the headless host exists so far; the GTK host takes over when a
  // display is present once real windows can be shown.
  gKind = kHostHeadless;
  return gKind;
}

HostKind HostGetKind() { return gKind; }
