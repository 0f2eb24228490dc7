// Internal to the platform library: the pasteboard stores as the desktop
// host sees them, to share the clipboard with other programs.
#pragma once

#include <string>
#include <vector>

#include "Pasteboard.h"

struct PasteboardFlavorBytes {
  std::string type;  // the flavour's type identifier, UTF-8
  std::vector<UInt8> data;
  PasteboardFlavorFlags flags = 0;
};
typedef std::vector<std::vector<PasteboardFlavorBytes>> PasteboardContents;  // items x flavours

// What the host does for a store: changed tells that the program put new
// content (the host takes the desktop's clipboard); refresh runs before the
// program reads a store it does not own (the host imports what another
// program put there, with PasteboardStoreReplace). Both may be nil.
struct PasteboardBridge {
  void (*changed)(const std::string& name);
  void (*refresh)(const std::string& name);
};
void PasteboardSetBridge(const PasteboardBridge* bridge);  // nil: none

// The store's content, as put (no translated flavours).
PasteboardContents PasteboardStoreCopy(const std::string& name);
// Another program's content replaces the store; the program no longer owns it.
void PasteboardStoreReplace(const std::string& name, const PasteboardContents& contents);
bool PasteboardStoreIsOwned(const std::string& name);
// Another program took the store: the program no longer owns it, and the
// next read brings in the new content (through the bridge's refresh).
void PasteboardStoreDisown(const std::string& name);
