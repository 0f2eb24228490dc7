// The console: the read-only text view in which a child process's output is
// shown line by line (a script run's console pane, the terminal pane, the
// console window). Each line is put after a line break, so the text begins
// with an empty line. A line limit empties the console once it is passed,
// and auto-scroll keeps the last line in view.
//
// Process runners know a console only through the foundation's TConsole
// (Create, Clear, WriteLn, Redraw, Release); TConsoleView is that class over
// a text view, and RegisterConsoleClass makes it the one their SetConsole
// creates.
#pragma once

#include "TProcessUtilsUnit.h"
#include "TWASTEViewUnit.h"

class TConsoleView : public TWASTEView, public TConsole {
 public:
  SInt16 lineCount = 0;     // lines written since the last clear
  SInt16 maximumLines = 0;  // 0: no limit
  Boolean autoScroll = false;

  // Binds the console to the text view: word wrap and a vertical scroll bar,
  // "Andale Mono" 12, read-only, and no undo of what was written.
  void Create(ControlRef inControl) override;
  void Clear() override;
  // A line break, then the line; once more than 32 lines are shown nothing
  // is redrawn during the insertion.
  void WriteLn(CFStringRef line) override;
  void Redraw() override;
  virtual void ScrollToEnd();
  virtual Boolean IsEmpty();
  virtual void SetMaximumLines(SInt16 count);
  virtual void SetAutoScroll(Boolean flag);

  // Ends the object; the view and its text stay.
  void Release() override;
};

// A new console object, not yet bound to a view.
TConsole* NewConsoleView();
// Makes TConsoleView the console that process runners create.
void RegisterConsoleClass();
