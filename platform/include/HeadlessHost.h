// Test control of the headless host: the virtual clock, the scripted answers
// of alerts, and the records of what the program asked the desktop to do.
#pragma once

#include <string>
#include <vector>

#include "CGGeometry.h"
#include "CarbonEvents.h"
#include "Dialogs.h"
#include "MacTypes.h"
#include "Navigation.h"

// --- Clock ------------------------------------------------------------------
// With the virtual clock, GetCurrentEventTime, TickCount and every timer read
// a time that only moves when a test advances it (or when a run of the event
// loop with a timeout advances it by that timeout). Switching keeps the clock
// continuous.
void HeadlessUseVirtualClock(bool on);
bool HeadlessUsingVirtualClock();
// Moves the virtual clock forward by the given seconds, firing every timer
// that falls due on the way in time order, each at its own due time, and
// delivering posted events. Turns the virtual clock on if it was off.
void HeadlessAdvanceClock(EventTime seconds);

// --- Alerts -----------------------------------------------------------------
struct HeadlessAlertRecord {
  AlertType kind;
  std::string error;        // UTF-8
  std::string explanation;  // UTF-8
  // Button texts, empty when the alert has no such button.
  std::string okText;
  std::string cancelText;
  std::string otherText;
  bool helpButton;
  SInt16 defaultButton;
  SInt16 cancelButton;
  SInt16 itemHit;  // the answer given
};

// The next alert answers with this item; with an empty queue an alert answers
// its default button. An answer naming a button the alert lacks is replaced
// by the default button.
void HeadlessQueueAlertAnswer(SInt16 itemHit);
void HeadlessClearAlertAnswers();
std::vector<HeadlessAlertRecord> HeadlessCopyAlertLog();
void HeadlessClearAlertLog();
int HeadlessBeepCount();

// --- Navigation dialogs ---------------------------------------------------------
// What the next navigation dialog answers. paths are POSIX paths: the items
// chosen in open and choose dialogs (those that do not exist are left out of
// the reply), the folder saved into for save dialogs; saveName is the name
// typed. An action the dialog does not offer is taken as Cancel. A save over
// an existing file counts as agreed to: the reply says replacing.
struct HeadlessNavAnswer {
  NavUserAction action = kNavUserActionCancel;
  std::vector<std::string> paths;
  std::string saveName;  // UTF-8
};
// One record per dialog run, in order.
struct HeadlessNavRecord {
  std::string kind;         // "getfile", "choosefile", "choosefolder", "putfile", "asksavechanges", "askreview"
  std::string title;        // UTF-8, as shown
  std::string clientName;
  std::string saveFileName;
  std::string location;     // the folder it opened in, empty when none was known
  UInt32 preferenceKey;
  NavDialogOptionFlags optionFlags;
  WindowModality modality;  // as run: window-modal only with a parent
  WindowRef parent;
  UInt32 documentCount;     // review dialogs
  NavAskSaveChangesAction saveChangesAction;
  HIViewRef customControl;  // the custom area added, nil when none
  CGSize customSize;        // the custom area's size after kNavCBCustomize
  NavUserAction action;     // the answer given
};
void HeadlessQueueNavAnswer(const HeadlessNavAnswer& answer);
void HeadlessClearNavAnswers();
std::vector<HeadlessNavRecord> HeadlessCopyNavLog();
void HeadlessClearNavLog();

// --- Colour picker ----------------------------------------------------------------
// What the next colour picker answers; with an empty queue it is cancelled.
struct HeadlessColorAnswer {
  bool chosen;     // false: cancelled
  RGBColor color;  // the colour chosen
};
struct HeadlessColorRecord {
  std::string prompt;  // UTF-8
  RGBColor input;      // the colour it started from
  bool chosen;         // the answer given
  RGBColor color;
};
void HeadlessQueueColorAnswer(const HeadlessColorAnswer& answer);
void HeadlessClearColorAnswers();
std::vector<HeadlessColorRecord> HeadlessCopyColorLog();
void HeadlessClearColorLog();

// --- Font panel -------------------------------------------------------------------
// The font panel is not modal: while it is shown, the user's picks arrive as
// events. Queued answers are given, in order, on the first turn of the event
// loop after the panel is shown (a family of "" only closes it).
struct HeadlessFontAnswer {
  std::string family;  // UTF-8 name, as the desktop lists it
  SInt16 style;        // QuickDraw style bits (bold 1, italic 2)
  SInt16 size;         // points
  bool close;          // the panel is closed after this pick
};
// One record per showing of the panel or change of the font it shows.
struct HeadlessFontRecord {
  std::string family;  // UTF-8; empty when none
  SInt16 style;
  SInt16 size;
  bool update;  // false: shown; true: the shown panel changed its font
};
void HeadlessQueueFontAnswer(const HeadlessFontAnswer& answer);
void HeadlessClearFontAnswers();
std::vector<HeadlessFontRecord> HeadlessCopyFontLog();
void HeadlessClearFontLog();
// A pick or a close as the user makes it, now: the event is sent before the
// call returns. False (and nothing sent) while the panel is hidden.
bool HeadlessFontPanelChoose(const std::string& family, SInt16 style, SInt16 size);
bool HeadlessFontPanelClose();

// --- Launch Services ----------------------------------------------------------
struct HeadlessLaunchRequest {
  std::string application;  // the application URL's text, empty for the default
  std::string url;          // the item URL's text
};
std::vector<HeadlessLaunchRequest> HeadlessCopyLaunchRequests();
void HeadlessClearLaunchRequests();

// --- Pointer --------------------------------------------------------------------
// Steps of the pointer for the loops of TrackMouseLocation (a drag-selection
// in text, a splitter being dragged). A step happens once its pause has
// passed: the event loop runs meanwhile, and a loop waiting with a shorter
// timeout hears time-outs at the previous point first. With no step left
// the button counts as released where the pointer was last.
struct HeadlessMouseStep {
  WindowRef window;  // where is in this window's content coordinates; nil: global
  CGPoint where;
  UInt32 modifiers;  // Mac modifier bits held
  EventTime pause;   // seconds before the step
  bool release;      // the button goes up here
};
void HeadlessQueueMouseTrack(const std::vector<HeadlessMouseStep>& steps);
void HeadlessClearMouseTrack();
// The theme cursor set last (the arrow at start), and its animation step.
UInt32 HeadlessCurrentThemeCursor();
UInt32 HeadlessCurrentCursorStep();
