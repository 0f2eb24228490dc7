// The runners of the script languages (PHP, Perl, Ruby, and HTML through
// tidy): each builds its interpreter's command line for the four run modes.
// Their panes read the interpreter's output line by line: a syntax check's
// verdict is shown at the source text, other errors become rows of the pane.
//
// The Perl and Ruby panes list their errors in a browser of records; the PHP
// pane lists the nodes of the debug wrapper's XML log, whose stack trace,
// locals and classes show in four log windows. Choosing a row shows its
// line: in the source text, or through the open-document command for
// another file.
#pragma once

#include "SCRIPTS.h"
#include "ScriptErrors.h"
#include "TBrowserUnit.h"
#include "TWindowUnit.h"

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

// The icons of the panes: the application's own types, and two of the
// system creator.
enum : OSType {
  kErrorWarningIcon = 'errW',
  kErrorStackTraceIcon = 'errS',
  kErrorLocalsIcon = 'errL',
  kErrorClassesIcon = 'errC',
  kErrorClassTreeIcon = 'errT',
  kErrorNoticeIcon = 'ERRn',
  kErrorUserIcon = 'ERRu',
  kErrorFatalIcon = 'ERRf',
  kErrorOtherIcon = 'ERRr',
  kErrorFunctionIcon = 'sxFU',  // of 'macs'
  kErrorCloseIcon = 'XBUT',     // of 'macs'
};

// View IDs of the panes and the log windows.
enum : OSType {
  kErrorPaneBrowserSignature = 'ERRO',
  kErrorPaneToolbarSignature = 'TOOL',
  kErrorPanePlacardSignature = 'PLAC',
  kErrorLogBrowserSignature = 'BROW',
};
constexpr SInt32 kErrorPaneViewID = 128;
extern const char kErrorLogWindowNibName[];  // "Error Log Window"

// The payload type of the records the Perl and Ruby browsers list, and of
// the PHP log's nodes.
constexpr UInt32 kScriptErrorDataType = '?\?\?\?';

// One node of the PHP error log: the element's name and its attributes
// (CFString to CFString; the node's record releases them).
struct PHPLogNode {
  Str63 name;
  CFMutableDictionaryRef attributes;
};

// The PHP log's elements the panes read.
extern const char* const kPHPLogElements[11];

// What a row shows: an icon (by creator and type; type 0: none) and a text.
struct ErrorRowDisplay {
  OSType creator = 0;
  OSType type = 0;
  Str255 text;
};

// The list of an error pane or a log window. Rows are drawn as the icon and
// the text of ItemDisplay; choosing a row calls ItemChosen with its payload.
class TScriptErrorBrowser : public TBrowser {
 public:
  TScriptPane* pane = nullptr;  // not owned

  virtual ErrorRowDisplay ItemDisplay(void* data) = 0;
  virtual void ItemChosen(void* data) {}

  void SetItemData(void* data, UInt32 dataType, DataBrowserItemID item, DataBrowserPropertyID property,
                   DataBrowserItemDataRef itemData) override;
  void DrawItem(void* data, UInt32 dataType, Boolean container, DataBrowserItemID item,
                DataBrowserPropertyID property, DataBrowserItemState state, CGRect bounds,
                CGContextRef context) override;
  void ItemNotification(void* data, UInt32 dataType, DataBrowserItemID item,
                        DataBrowserItemNotification message) override;
  // The payload of the row (0 is the first) in the list's order; nil when
  // there is no such row.
  void* RowData(SInt16 row);
};

class TPERLErrorBrowser : public TScriptErrorBrowser {
 public:
  ErrorRowDisplay ItemDisplay(void* data) override;
  void ItemChosen(void* data) override;
};

class TRubyErrorBrowser : public TScriptErrorBrowser {
 public:
  ErrorRowDisplay ItemDisplay(void* data) override;
  void ItemChosen(void* data) override;
};

// Lists the log's "debugtrace" nodes.
class TPHPErrorBrowser : public TScriptErrorBrowser {
 public:
  ErrorRowDisplay ItemDisplay(void* data) override;
  void ItemChosen(void* data) override;
};

// The list of one log window (stack trace, locals, classes, class tree).
class TPHPErrorLogBrowser : public TScriptErrorBrowser {
 public:
  ErrorRowDisplay ItemDisplay(void* data) override;
  void ItemChosen(void* data) override;
};

// A window of the PHP log, shown from a button of the pane's toolbar.
class TPHPErrorLogWindow : public TWindow {
 public:
  TPHPErrorLogBrowser* browser = nullptr;  // owned

  void Create(const Str63& name, IBNibRef nib) override;
  void Release() override;
  // The close box hides the window: the pane shows it again with its log.
  SInt32 Closing(EventRef event) override;
  // 16 pixels a row, at least 144 and at most 384, the top kept.
  void FitHeight();
};

// The window height that shows that many rows of a log window.
SInt16 PHPErrorLogWindowHeight(UInt32 rows);

class TPHPPaneAbstract : public TScriptPane {
 public:
  virtual void ApplyErrorLog(CFTreeRef tree) = 0;
  virtual void ApplyStackFrame(CFTreeRef tree) = 0;
};

class TPHPPane : public TPHPPaneAbstract {
 public:
  TPHPErrorBrowser* browser = nullptr;  // owned
  // Stack trace, locals, classes, class tree.
  TPHPErrorLogWindow* logWindows[4] = {};
  CFTreeRef log = nullptr;  // owned

  void Create(const Str63& name, IBNibRef nib) override;
  void Release() override;
  void HandleErrorLog() override;
  void HandleSingleLine(const Str255& line) override;
  void Finished() override;
  void Clear() override;
  void ApplyErrorLog(CFTreeRef tree) override;
  void ApplyStackFrame(CFTreeRef tree) override;
  // Takes the log over (nil: none) and shows it.
  void SetLog(CFTreeRef tree);
  // A syntax check's error, listed as a node of a log of its own.
  void AddCheckError(const Str255& message, const Str255& file, SInt32 line);
};

class TPERLPane : public TScriptPane {
 public:
  TPERLErrorBrowser* browser = nullptr;  // owned
  void Create(const Str63& name, IBNibRef nib) override;
  void Release() override;
  void HandleSingleLine(const Str255& line) override;
  void Finished() override;
  void Clear() override;
};

class TRubyPane : public TScriptPane {
 public:
  TRubyErrorBrowser* browser = nullptr;  // owned
  SInt32 currentItem = 0;  // the error that stack lines go under; 0: none
  void Create(const Str63& name, IBNibRef nib) override;
  void Release() override;
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

// Reads a PHP error log (nil when it cannot be read or holds none of the
// elements): a root whose children are the top-level nodes.
CFTreeRef ReadPHPErrorLog(const FSRef& file);
// The attribute of a log node as a short string; empty when absent.
Str255 GetErrorFieldValue(CFTreeRef node, const char* key);
// The node's record and payload; nil for a root.
PHPLogNode* PHPLogNodeOf(CFTreeRef node);

// Shows an error's line: the source text's line (counted from 1) when the
// file is the run document's or empty, else the file opened at that line.
void ShowScriptErrorLine(TScriptPane* pane, const Str63& file, SInt32 line);

// The path tidy is run from: the bundle's own when it carries one, else the
// system's.
Str255 GetTidyPath();
