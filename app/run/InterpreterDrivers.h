// The runners of the script languages (PHP, Perl, Ruby, and HTML through
// tidy): each builds its interpreter's command line for the four run modes.
// Their panes read the interpreter's output line by line: a syntax check's
// verdict is shown at the source text, other errors become rows of the pane.
//
// The rows are kept by the pane (ScriptErrorRows); the list that shows them,
// the pane's toolbar buttons, and the PHP debug log with its windows come
// with the list views.
#pragma once

#include "SCRIPTS.h"
#include "ScriptErrors.h"

// The interpreters' preference keys.
extern const char kCommandLinePHPKey[];
extern const char kCommandLinePERLKey[];
extern const char kCommandLineRubyKey[];

class TPHPScript : public TScript {
 public:
  Str255 wrapper;  // the debug wrapper's path, in double quotes
  void MakeCommand() override;
};

class TPERLScript : public TScript {
 public:
  void MakeCommand() override;
};

class TRubyScript : public TScript {
 public:
  void MakeCommand() override;
};

class THTMLScript : public TScript {
 public:
  void MakeCommand() override;
};

class TPHPPane : public TScriptPane {
 public:
  ScriptErrorRows errors;
  void Create(const Str63& name, IBNibRef nib) override;
  void HandleSingleLine(const Str255& line) override;
  void Finished() override;
  void Clear() override;
};

class TPERLPane : public TScriptPane {
 public:
  ScriptErrorRows errors;
  void Create(const Str63& name, IBNibRef nib) override;
  void HandleSingleLine(const Str255& line) override;
  void Finished() override;
  void Clear() override;
};

class TRubyPane : public TScriptPane {
 public:
  ScriptErrorRows errors;
  UInt32 currentItem = 0;  // the error that stack lines go under; 0: none
  void Create(const Str63& name, IBNibRef nib) override;
  void HandleSingleLine(const Str255& line) override;
  void Finished() override;
  void Clear() override;
};

class THTMLPane : public TScriptPane {
 public:
  void Create(const Str63& name, IBNibRef nib) override;
  void HandleSingleLine(const Str255& line) override;
};

TScript* CreatePHPScript();
TScript* CreatePERLScript();
TScript* CreateRubyScript();
TScript* CreateHTMLScript();

// Each pane is made from its interface file in the application's and owns
// the runner it is given.
TScriptPane* CreatePHPPane();
TScriptPane* CreatePERLPane();
TScriptPane* CreateRubyPane();
TScriptPane* CreateHTMLPane();

// The path tidy is run from: the bundle's own when it carries one, else the
// system's.
Str255 GetTidyPath();
