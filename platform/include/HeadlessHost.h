// Test control of the headless host: the virtual clock, the scripted answers
// of alerts, and the records of what the program asked the desktop to do.
#pragma once

#include <string>
#include <vector>

#include "CGGeometry.h"
#include "CarbonEvents.h"
#include "Dialogs.h"
#include "MacTypes.h"

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
