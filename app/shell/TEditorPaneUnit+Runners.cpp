// The runners and error panes the editor pane makes by script language. Kept
// apart from the pane's own unit: the runners' error records and the source
// editor's are two declarations of one name.
#include "InterpreterDrivers.h"
#include "ShortString.h"

TScriptPane* EditorPaneCreateLanguagePane(const Str63& language);
TScript* EditorPaneCreateTerminalScript(const Str63& language);

// Nil for a language without an error pane, and for a pane its interface
// file could not make.
TScriptPane* EditorPaneCreateLanguagePane(const Str63& language) {
  TScriptPane* pane = nullptr;
  if (language == "php")
    pane = CreatePHPPane();
  else if (language == "perl")
    pane = CreatePERLPane();
  else if (language == "html")
    pane = CreateHTMLPane();
  else if (language == "ruby")
    pane = CreateRubyPane();
  if (pane != nullptr && pane->paneView == nullptr) {
    pane->Release();
    pane = nullptr;
  }
  return pane;
}

// Nil for a language no interpreter runs in a terminal (html among them).
TScript* EditorPaneCreateTerminalScript(const Str63& language) {
  if (language == "php") return CreatePHPScript();
  if (language == "perl") return CreatePERLScript();
  if (language == "ruby") return CreateRubyScript();
  return nullptr;
}
