#include "Host.h"

#include <cstdlib>

#include "gtk/GtkHost.h"

namespace {
bool gInitialized = false;
HostKind gKind = kHostHeadless;

// QUORVEL_HEADLESS set to anything but nothing keeps the program off the display.
bool HeadlessAsked() {
  const char* value = std::getenv("QUORVEL_HEADLESS");
  return value != nullptr && value[0] != '\0';
}
}  // namespace

HostKind HostInitialize(int* argc, char*** argv) {
  if (gInitialized) return gKind;
  gInitialized = true;
  gKind = !HeadlessAsked() && GtkHostStart(argc, argv) ? kHostGtk : kHostHeadless;
  return gKind;
}

HostKind HostGetKind() { return gKind; }
