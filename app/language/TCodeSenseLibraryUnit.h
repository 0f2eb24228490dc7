// TCodeSenseLibraryUnit: the macro library. Named commands come in libraries
// (one property-list file per language, a common one and a project one) and
// share a dictionary of variables. A command either expands its text in place
// ("macro") or runs it as a shell command line and uses the output ("shell");
// the result goes to the text, a help tag, the browser, the whole document,
// the console or the macro error list.
//
// In a source text view the user types "[name(arguments)>destination]" and
// presses Tab; the key filter that the library installs on every view finds
// the bracketed command around the insertion point and runs it. The command
// menu runs the same commands on the selection.
//
// Values that come from outside the command's own text (arguments, the
// document's name and path, variables, the output of substitutions) are data:
// they are never read again as markers, and a shell command line gets them as
// environment variables and positional parameters, never pasted into it.
#pragma once

#include <vector>

#include "CFArray.h"
#include "CFBase.h"
#include "CFDictionary.h"
#include "CFString.h"
#include "CarbonEvents.h"
#include "Files.h"
#include "HIView.h"
#include "MacTypes.h"
#include "Menus.h"
#include "ShortString.h"
#include "TObjectUnit.h"
#include "TStringUnit.h"
#include "TSyntaxCollectionUnit.h"
#include "WASTE.h"

// One command as the macro editor handles it.
struct MacroData {
  Str63 publicName;   // "public-name", or the command name when there is none
  Str63 commandName;  // the command's key in its library
  Str31 action;
  Str31 output;
  CFMutableStringRef text;  // a private copy of "text"; nil when there is none
};
typedef MacroData* MacroDataPtr;

// A new record named name, with an empty text and the other fields empty.
MacroDataPtr NewMacro(const Str63& name);
// Releases the text and the record and sets the variable to nil; nil is fine.
void ReleaseMacro(MacroDataPtr& macro);

// Destinations of a result.
enum : SInt16 {
  kMacroOutputDefault = 1,
  kMacroOutputPopup = 2,
  kMacroOutputURL = 3,
  kMacroOutputReplace = 4,
  kMacroOutputConsole = 5,
  kMacroOutputErrorList = 6,
};

enum : UInt32 {
  kHICommandInsertMacro = 'inmc',      // an item of the command menu
  kHICommandMacroConsole = 'OPCN',     // a result for the console
  kHICommandMacroErrorList = 'shme',   // a result for the macro error list
  kHICommandRefreshParse = 'REFS',     // the whole text was replaced
};
enum : EventParamName {
  kEventParamMacroResult = 'CFSR',  // typeCFStringRef, retained for the handler
  kEventParamMacroTitle = 'cmnm',   // typeMacroTitle, 256 bytes
};
enum : EventParamType { typeMacroTitle = 'PSTR' };

// The text view property that names a view's document (an FSRef).
enum : OSType {
  kCodeSensePropertyCreator = 'WAST',
  kCodeSenseDocumentTag = 'FSRE',
};

// Mac virtual key codes and the modifier word the key filter reads.
enum : UInt32 {
  kCodeSenseReturnKey = 36,
  kCodeSenseTabKey = 48,
  kCodeSenseDeleteKey = 51,
  kCodeSenseOptionModifier = 0x0800,
};

// The typing helpers the key filter hands keys to, and their shared state.
// The source editor fills this in once; until then the filter only runs
// inline commands. Any entry may be nil.
struct CodeSenseTypingHelpers {
  Boolean (*ValidBracketCharacter)(UInt8 ch);
  Boolean (*ClosingBracketCharacter)(UInt8 ch);
  void (*AutoExpandLanguageTags)(UInt8 ch, SInt16 keyCode, WEReference we, Boolean& accept);
  void (*AutoCompleteBrackets)(UInt8 ch, SInt16 keyCode, WEReference we, Boolean& accept);
  void (*AutoCloseTag)(SInt32 offset, WEReference we, Boolean& accept);
  void (*AutoDeleteTag)(SInt32 offset, WEReference we, Boolean& accept);
  void (*InsertForwardLineBreak)(SInt32 offset, WEReference we);
  void (*AutoIndent)(SInt32 offset, WEReference we);
  UInt32* CurrentKeyCode;
  UInt32* CurrentKeyModifiers;
  Boolean* DisableFlux;
};
// Copies the record; nil goes back to no helpers.
void CodeSenseSetTypingHelpers(const CodeSenseTypingHelpers* helpers);

class TCodeSenseLibrary : public TObject {
 public:
  TCodeSenseLibrary();
  ~TCodeSenseLibrary() override;

  // Stores the document as the view's 'WAST'/'FSRE' property and registers
  // the key filter (once libraries are loaded) and the change callback.
  virtual void Register(HIViewRef view, const FSRef& document);
  virtual void SetLanguage(const Str63& language);
  virtual void SetController(WEReference controller);
  virtual void SetLibraryContext(SyntaxLibraryPtr library, const Str255& context);
  // Adds a copy of the reference unless it is there already.
  virtual void AppendLibrary(const FSRef& file);
  virtual void AppendStandardLibrary(const Str63& name);
  // True for the current language, an empty language, "common" and "project".
  virtual Boolean AcceptLibrary(const Str63& name);
  virtual Boolean ContainsLibrary(const FSRef& file);
  // A new menu of the commands of every accepted library (the caller owns it).
  virtual MenuRef BuildMenu();
  // Runs the command whose name the chosen item carries on the selection.
  virtual void ExecuteMenuCommand(const HICommand& command);
  virtual void ExecuteCommandWithSelection(const Str63& name);
  // Arguments, optional sections and backquote substitutions, in place.
  virtual void ParseSyntax(TString& text, CFArrayRef arguments);
  // "$SUPPORT", "$FILE", "$PATH" and the variables, in place.
  virtual void InsertVariables(CFMutableStringRef text, CFArrayRef arguments);
  // The command's dictionary in the first accepted library that has it (not
  // retained); nil when none has it.
  virtual CFDictionaryRef FindCommand(const Str255& name);
  // "????", or "????_" and the first number no loaded library uses.
  virtual Str255 GetUniqueCommand();
  virtual void RemoveCommand(const Str63& name, const Str63& library);
  // Stores the record in the library (when loaded) and saves.
  virtual void SaveCommand(MacroDataPtr macro, const Str63& library);
  // A new record of the command (ReleaseMacro it); nil when not found.
  virtual MacroDataPtr GetCommandData(const Str63& name);
  // The file of that name among the standard libraries: the user's own copy
  // when there is one, else the application's. Unchanged when neither exists.
  virtual void GetStandardLibrary(const Str63& fileName, FSRef& ref);
  virtual void SavePropertyList(CFTypeRef list, const FSRef& file);
  // The file's property list with mutable containers (the caller owns it).
  virtual CFTypeRef GetPropertyList(const FSRef& file);
  virtual void LoadLibrary(const FSRef& file);
  virtual void UnloadLibrary(const FSRef& file);
  virtual void UnloadLibraryWithName(const Str63& name);
  virtual void Load();
  // Writes the variables and every loaded library. The application's own
  // files are never written: a changed standard library or variables file
  // goes to the user's "Code Sense" folder, which is read first from then on.
  virtual void Save();
  // Finds and runs the inline command around the offset.
  virtual void ProcessCommands(SInt32 offset, Boolean& handled);
  // Runs a command for range (start, END) of the text; handled becomes false
  // when the key that asked for it must not be typed.
  virtual void ExecuteCommand(const Str63& name, const Str63& destination, CFArrayRef arguments, CFRange range,
                              Boolean& handled);
  virtual void OutputCommandResults(const Str255& title, SInt16 destination, CFRange range, CFStringRef result);

  CFMutableArrayRef libraries = nullptr;        // FSRef blocks, in search order
  Str63 language;
  CFMutableDictionaryRef variables = nullptr;   // nil when unreadable
  CFMutableDictionaryRef commands = nullptr;    // library name -> its commands
  WEReference controller = nullptr;
  Str255 libraryContext;
  SyntaxLibraryPtr syntaxLibrary = nullptr;

  // How long a shell command may run, in seconds, before it is stopped and
  // reported.
  double commandTimeLimit = 15.0;
  // How much output a shell command may give before it is stopped and
  // reported.
  size_t commandOutputLimit = size_t(16) << 20;
};

// Creates the library and loads it.
TCodeSenseLibrary* LoadCodeSenseLibrary();

// The key filter and the change callback of the registered text views.
Boolean CodeSenseTextFilter(UInt8 ch, SInt32 offset, UInt32 modifiers, UInt32 keyCode, WEReference controller,
                            void* context);
void CodeSenseFluxCallback(SInt32 offset, SInt32 delta, UInt8 previous, WEReference controller, void* context);

// Sends the result command (class 'cmds', kind 1) with the text and the
// title to the target, synchronously. The handler takes over one reference
// to the text; when nobody handles the event that reference is released here.
OSStatus SendResultCommand(EventTargetRef target, UInt32 command, const Str255& title, CFStringRef text);
