// Internal to the platform library: the drag record, the session that takes
// a drag through windows, handlers and views, and the hook through which a
// display host runs TrackDrag.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "Drag.h"
#include "HIView.h"
#include "MacWindows.h"

struct DragFlavorRecord {
  FlavorType type = 0;
  FlavorFlags flags = 0;
  std::vector<UInt8> data;
};

struct DragItemRecord {
  DragItemRef ref = 0;
  Rect bounds{};
  std::vector<DragFlavorRecord> flavors;
};

struct OpaqueDragRef {
  std::vector<DragItemRecord> items;
  bool fromOtherProgram = false;  // made by a host for a drag another program started
  bool tracking = false;
  WindowRef sourceWindow = nullptr;  // the window under the drag's origin (not retained)
  bool leftSourceWindow = false;
  WindowRef currentWindow = nullptr;  // the window under the pointer now
  CGPoint origin{};
  CGPoint mouse{};
  UInt32 modifiers = 0;
  UInt32 downModifiers = 0;
  UInt32 upModifiers = 0;
  DragActions allowableLocal = kDragActionAll;
  DragActions allowableRemote = kDragActionAll;
  DragActions dropAction = kDragActionNothing;
  CGImageRef image = nullptr;  // retained
  HIPoint imageOffset{};
  DescType dropType = typeNull;
  std::vector<UInt8> dropData;
  DragSendDataUPP sendProc = nullptr;  // fills promised flavours
  void* sendRefCon = nullptr;
};

bool DragIsLive(DragRef drag);
// A drag that another program offers (the desktop host fills its items).
DragRef DragCreateIncoming();
// The flavour of the item, nil when either is missing.
DragFlavorRecord* DragFindFlavor(DragRef drag, DragItemRef item, FlavorType type);
// Asks the sender's send proc for a promised flavour's data (once); the
// flavour afterwards, nil when the item lacks it.
DragFlavorRecord* DragFulfilFlavor(DragRef drag, DragItemRef item, FlavorType type);

// The front visible window whose content holds the global point; nil when none.
WindowRef DragWindowAt(CGPoint global);
CGPoint DragWindowOrigin(WindowRef window);  // the content's top left, global

// One drag's way through the program's windows: tracking handlers hear
// enter / in / leave, the view under the pointer hears the control drag
// events, and the drop goes to the target view or the receive handlers.
class DragSession {
 public:
  explicit DragSession(DragRef drag);
  ~DragSession();  // ends as Cancel would when neither Drop nor Cancel ran
  DragSession(const DragSession&) = delete;
  DragSession& operator=(const DragSession&) = delete;

  // The pointer is at the global point over the window (nil: over none of
  // the program's windows).
  void MoveTo(WindowRef window, CGPoint global, UInt32 modifiers);
  // Drops where the pointer is. Outside the windows a drop lands in
  // outsideFolder (the drop location becomes its alias) when one is given.
  // noErr when taken, userCanceledErr otherwise.
  OSErr Drop(const FSRef* outsideFolder);
  // Ends without a drop.
  void Cancel();
  // Whether the place under the pointer would take a drop now.
  bool WouldAccept() const { return targetAccepts_ || handlerAccepts_; }
  DragRef drag() const { return drag_; }

 private:
  void Leave(bool leaveHandlers, WindowRef next);
  void TrackControl(WindowRef window, CGPoint local);
  void LeaveControl();

  DragRef drag_;
  WindowRef window_ = nullptr;  // retained while current
  HIViewRef control_ = nullptr;  // retained while current: the view that said it would accept
  HIViewRef candidate_ = nullptr;  // the drag-tracking view under the pointer (not retained; compared only)
  std::set<std::uint64_t> enteredHandlers_;
  bool targetAccepts_ = false;
  bool handlerAccepts_ = false;
  bool ended_ = false;
};

// The session TrackDrag is running now, nil when none.
DragSession* DragCurrentSession();

// What runs TrackDrag: it follows the pointer, drives the session and
// answers the result (noErr / userCanceledErr). Nil restores the headless
// runner, which follows the queued paths.
typedef OSErr (*DragTrackRunner)(DragRef drag, DragSession& session);
void DragSetTrackRunner(DragTrackRunner runner);
