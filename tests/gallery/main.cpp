// The gallery program: the framework's pieces in one window, and a tree
// browser in another.
#include <cstdlib>

#include "Gallery.h"
#include "Host.h"
#include "MacWindows.h"

int main(int argc, char** argv) {
  // The artwork comes from the program's bundle in the build folder.
  setenv("QUORVEL_BUNDLE", QUORVEL_GALLERY_BUNDLE, 0);
  HostInitialize(&argc, &argv);
  auto* preferences = new TPreferenceHandlerApplication();
  preferences->SetDomain("gallery.");
  GalleryOpenWindow(preferences, true);
  GalleryOpenTreeWindow();
  RunApplicationEventLoop();
  preferences->Synchronize();
  return 0;
}
