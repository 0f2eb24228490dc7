// TFindUnit: find and replace in the active text document of an editor
// window. TFind is the engine (one per editor window), TFindQueryDrawing
// draws the matches of a "find all" over the text. Find texts are UTF-8 from
// the field or the selection to the engine, so any character can be found.
// The find pane and the find window are reached through FindPaneHooks.
#pragma once

#include "CFArray.h"
#include "CGContext.h"
#include "HIView.h"
#include "ShortString.h"
#include "WASTE.h"

#include <vector>

class TWindow;
class TFindPane;
class THIQueryView;

// One find request, copied by value.
struct FindOptions {
  Str255 findText;     // UTF-8
  Str255 replaceText;  // UTF-8
  UInt32 flags = 0;    // weFindWholeWords, weFindCaseInsensitive
  Boolean wrap = false;
};

// What the engine asks of the find pane and the window list; filled by the
// unit that builds the pane. Any entry may be nil.
struct FindPaneHooks {
  FindOptions (*GetUserSettings)(TFindPane* pane);
  TFindPane* (*ActiveFindWindowPane)();        // the open find window's pane
  THIQueryView* (*GetQueryView)(TFindPane* pane);  // the results strip, if any
  TWindow* (*FrontEditorWindow)();
};
// Copies the record; nil goes back to none.
void FindSetPaneHooks(const FindPaneHooks* hooks);
const FindPaneHooks& FindGetPaneHooks();

constexpr SInt32 kFindDrawnResultLimit = 400;

class TFindQueryDrawing {
 public:
  virtual ~TFindQueryDrawing() = default;
  CFArrayRef results = nullptr;  // blocks of two SInt32 offsets, start then end; owned
  SInt32 selected = 0;
  HIViewRef view = nullptr;  // the text view drawn over

  // Nothing when there are no results; otherwise the matches as boxes, the
  // selected one highlighted, at most 400.
  virtual void Draw(CGContextRef context, CGRect rect, WEReference instance);
  // Takes the list over (the caller passes it retained).
  virtual void SetResults(CFArrayRef list);
  virtual void SetSelected(SInt32 index);
  virtual void Clear();
  virtual void GoForward();
  virtual void GoBack();
  virtual Str255 GetResultCount();
  virtual void Release();

  // The boxes Draw strokes, in the view's coordinates, at most 400.
  std::vector<CGRect> ResultBoxes(WEReference instance) const;
};

class TFind {
 public:
  virtual ~TFind() = default;
  FindOptions options;
  WEReference instance = nullptr;  // of the query document; nil without one
  TWindow* window = nullptr;
  TFindPane* controller = nullptr;
  TFindQueryDrawing* drawing = nullptr;

  virtual void Find(const Str255& text);
  virtual void FindSelection();
  virtual void FindInNextFile();
  // A new owning list of (start, end) blocks the caller releases; nil when
  // there is no document or no find text.
  virtual CFArrayRef FindAll(const Str255& text);
  virtual Boolean VerifySource();
  virtual void Replace(const Str255& replacement);
  virtual void ReplaceAll(const Str255& find, const Str255& replacement, Boolean inSelection);
  virtual void SetWindow(TWindow* inWindow);
  virtual void SetOptions(const FindOptions& inOptions);
  virtual void SetController(TFindPane* pane);
  virtual void SetDrawing(TFindQueryDrawing* inDrawing);
  virtual void GetQueryDocument(TWindow* inWindow);
  virtual void ProcessCommand(const HICommand& command, SInt32& result);
  virtual void Release();

 private:
  void Focus();
  // An empty find text would match everywhere without moving on.
  Boolean VerifyFindText(const Str255& text);
};

// Fills the source editor's find hooks: an edit clears the results, the
// editor's background draws them.
void InstallFindEditorHooks();

// Recent find and replace strings, oldest first, as the preferences keep them.
constexpr CFIndex kFindRecentStringLimit = 25;
// The entries to offer from a stored list: the 25 most recent (older versions
// let the list grow). A new array the caller releases; empty for nil.
CFArrayRef FindCopyRecentStrings(CFArrayRef stored);
// A new array with the text appended when it is not there yet, keeping the 25
// most recent; an empty text is not kept.
CFArrayRef FindCopyAddingRecentString(CFArrayRef list, CFStringRef text);
