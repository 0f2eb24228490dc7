// Start-up of the platform: picks the display host and prepares the runtime.
#pragma once

enum HostKind { kHostHeadless = 0, kHostGtk = 1 };

// Initialises the platform once per process. The GTK host is chosen when a
// display is available and QUORVEL_HEADLESS is not set; otherwise headless.
HostKind HostInitialize(int* argc, char*** argv);
HostKind HostGetKind();
