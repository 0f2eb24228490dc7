// TFindPaneUnit: the find pane and the find window. The pane reads the
// user's find settings from its fields and check boxes, keeps the recent
// find and replace strings in the preferences, and drives the editor
// window's TFind. It comes in the layouts "Find Pane" (embedded, custom-drawn
// buttons), "Find Pane (Full)" (in the find window), "Find Pane (Split)" (under
// an editor) and "Find Pane (Split 2.1)" (with a results strip). The find
// window is a window of kind 101 holding a "Find Pane (Full)".
//
// Find texts travel as UTF-8 from the field to the engine, whatever their
// characters; an empty find text is refused with a beep.
#pragma once

#include "CFString.h"
#include "ShortString.h"
#include "TEventHandlerUnit.h"
#include "TFindUnit.h"
#include "TPaneUnit.h"
#include "TWindowUnit.h"

class THIQueryView;
class TFindButtonHandler;

// The views a find pane looks up.
enum : OSType {
  kFindPaneFindSignature = 'FIND',     // 128 the find combo box, 129 its button
  kFindPaneReplaceSignature = 'REPL',  // 128 the replace combo box, 129 its button
  kFindPaneReplaceAllSignature = 'REPA',  // 129 the replace-all button
  kFindPaneOptionSignature = 'OPTI',   // 128 whole words, 129 ignore case, 130 wrap
  kFindPaneQuerySignature = 'NAVI',    // 128 the results strip
  kFindPanePlacardSignature = 'PLAC',  // 128
};
constexpr SInt32 kFindPaneFieldID = 128;
constexpr SInt32 kFindPaneButtonID = 129;

// Commands of the pane's buttons and of the Return key in the find field.
enum : UInt32 {
  kHICommandFindPaneFind = 'FIND',
  kHICommandFindPaneReplace = 'REPL',
  kHICommandFindPaneReplaceAll = 'RePA',
  kHICommandFindPaneQueryBack = 'qry<',
  kHICommandFindPaneQueryForward = 'qry>',
};

// The find window's kind and the interface names it is made from.
constexpr SInt16 kFindWindowKind = 101;
extern const char kFindWindowNibName[];     // "Find Window"
extern const char kFindPaneFullNibName[];   // "Find Pane (Full)"
extern const char kFindPaneNibName[];       // "Find Pane"
extern const char kFindPaneSplitNibName[];  // "Find Pane (Split)"

// The deployment version the program is built as: 2.0, so 'FIND' never runs
// a find-all from the pane.
constexpr SInt32 kDeploymentVersionMajor = 2;
constexpr SInt32 kDeploymentVersionMinor = 0;

class TFindPane : public TPane {
 public:
  ControlRef findField = nullptr;      // combo box ('FIND', 128)
  ControlRef replaceField = nullptr;   // combo box ('REPL', 128)
  ControlRef wholeWordsBox = nullptr;  // ('OPTI', 128)
  ControlRef ignoreCaseBox = nullptr;  // ('OPTI', 129)
  ControlRef wrapBox = nullptr;        // ('OPTI', 130)
  THIQueryView* queryView = nullptr;   // ('NAVI', 128), only with a results strip
  TFindButtonHandler* keyHandler = nullptr;

  void Create(const Str63& name, IBNibRef nib) override;
  // Clears the editor's drawn results, saves the settings and the current
  // strings, closes the pane and detaches it from the window's TFind.
  void Close() override;
  void Release() override;
  // 'FIND', 'REPL', 'RePA', 'qry<' and 'qry>', only while the pane shows.
  void ProcessCommand(const HICommand& command, EventRef event, SInt32& result) override;

  virtual FindOptions GetUserSettings();
  virtual void Find(Boolean all);
  virtual void Replace(Boolean all);
  virtual void SelectRange(CFRange range);

  // The front editor window's find object (its 'QURY' property), nil when
  // there is none.
  TFind* FrontFind();
  // The find object of the editor window the pane lies in; the front one's
  // for a pane elsewhere (the find window's).
  TFind* OwnFind();
};

class TFindWindow : public TWindow {
 public:
  // Closes the find pane first, then the window.
  void Close(SInt32& status) override;
};

// On the find field: Return sends 'FIND' to the active window.
class TFindButtonHandler : public TEventHandler {
 public:
  void HandleEvent(EventRef event, UInt32 eventClass, UInt32 eventKind, SInt32& result) override;
};

// With a find window open: brings it forward, focuses its find field and
// answers nil. Otherwise opens one ("Find Window" of the nib) with a
// "Find Pane (Full)" and answers its pane.
TFindPane* OpenFindWindow(IBNibRef nib);
// The pane of the open find window (the front window of kind 101), or nil.
TFindPane* ActiveFindWindowPane();

// The front editor window (kind 1) and its find object, as the pane and the
// engine see them. Until the editor window's unit sets the first, the front
// window of kind 1.
typedef TWindow* (*FindFrontEditorWindowProc)();
void FindPaneSetFrontEditorWindow(FindFrontEditorWindowProc proc);
TWindow* FindFrontEditorWindow();
// The object of the frontmost visible window of the kind, nil when none.
TWindow* FrontWindowObjectOfKind(SInt16 kind);
// A window's find object: its 'QURY' window property (nil without one).
TFind* FindObjectOfWindow(TWindow* window);

// Fills the engine's pane hooks (settings, the find window's pane, the
// results strip, the front editor window) and its editor hooks.
void InstallFindPaneHooks();
