// TBatchFindUnit: find a text in every file of the front window's project.
// The batch find window (kind 100) holds a TBatchFindPane and, under it, the
// results: one row per file with matches and, inside it, one row per match
// with its trimmed line. Choosing a match row opens its file at that line.
//
// The search runs on a TBatchFindTask, but every step that touches the text
// engine or the views runs on the main thread through CallRemote, one call
// per file: the task only walks the list and stops between files when it is
// asked to. However a search ends (all files done, Stop, the window closing)
// it ends through one clean-up on the main thread.
#pragma once

#include <vector>

#include "ApplicationFramework.h"
#include "CFArray.h"
#include "CFBase.h"
#include "Files.h"
#include "ShortString.h"
#include "TBrowserUnit.h"
#include "TFindUnit.h"
#include "TPaneUnit.h"
#include "TTaskUnit.h"
#include "TWindowUnit.h"
#include "WASTE.h"

class TFindButtonHandler;
class TBatchFindPane;

constexpr SInt16 kBatchFindWindowKind = 100;
extern const char kBatchFindWindowNibName[];  // "Batch Find Window"
extern const char kBatchFindPaneNibName[];    // "Find Pane (Batch)"
extern const char kBatchFindPreferenceKey[];  // "BatchFind", the window's frame
extern const char kBatchFindNoItemsMessage[];  // "There are no items in the project to search."

// Views of "Find Pane (Batch)" besides the find pane's own ('FIND', 'REPL',
// 'OPTI').
enum : OSType {
  kBatchFindResultsSignature = 'RESU',   // 128 the results list
  kBatchFindProgressSignature = 'PROG',  // 128 shown while a search runs
  kBatchFindStatusSignature = 'STAT',    // 128 the count of the last search
};

enum : UInt32 {
  kHICommandBatchFindStop = 'not!',
};

// Row kinds of the results.
enum : UInt32 {
  kBatchFindFileItem = 'FILE',  // payload: a copy of the file's FSRef
  kBatchFindTextItem = 'TEXT',  // payload: BatchFindMatch
};

// The payload of a match row. It starts with the line as a length-prefixed
// UTF-8 string (trimmed, cut at 255 bytes on a character boundary); the
// line number and the match's place let the row open its file where the
// match is, not at the first occurrence of the text.
struct BatchFindMatch {
  Str255 line;
  SInt32 lineNumber = 0;  // from 1, as the file counts them
  SInt32 matchStart = 0;  // offsets in the file's text
  SInt32 matchEnd = 0;
};

// The files of the front window's project, for the search: a new array that
// owns FSRef blocks (CFArrayCreatePascal), in the project's order, which the
// caller releases; nil when there is no project. Until a provider is set,
// there is no project.
typedef CFArrayRef (*BatchFindCopyProjectFilesProc)();
void BatchFindSetProjectFiles(BatchFindCopyProjectFilesProc proc);
BatchFindCopyProjectFilesProc BatchFindGetProjectFiles();

class TBatchFindBrowser : public TBrowser {
 public:
  FindOptions options;  // of the last search started, for opening results
  FSRef file{};         // a file the browser stands for; none here

  void SetItemData(void* data, UInt32 dataType, DataBrowserItemID item, DataBrowserPropertyID property,
                   DataBrowserItemDataRef itemData) override;
  void DrawItem(void* data, UInt32 dataType, Boolean container, DataBrowserItemID item,
                DataBrowserPropertyID property, DataBrowserItemState state, CGRect bounds,
                CGContextRef context) override;
  Boolean AddDragItem(void* data, UInt32 dataType, DataBrowserItemID item, DragRef drag,
                      DragItemRef dragItem) override;
  // A match row chosen: the window goes behind the others and the match's
  // file opens at the match's line.
  void ItemNotification(void* data, UInt32 dataType, DataBrowserItemID item,
                        DataBrowserItemNotification message) override;

  // The options a match row opens its file with.
  ApplicationOpenCommandOptions OpenOptionsFor(DataBrowserItemID item);
};

class TBatchFindTask : public TTask {
 public:
  TBatchFindPane* pane = nullptr;

  void Run() override;
  void RemoteProcedure(SInt16 selector) override;
};

class TBatchFindPane : public TPane {
 public:
  ControlRef findField = nullptr;      // ('FIND', 128)
  ControlRef replaceField = nullptr;   // ('REPL', 128)
  ControlRef wholeWordsBox = nullptr;  // ('OPTI', 128)
  ControlRef ignoreCaseBox = nullptr;  // ('OPTI', 129)
  TFindButtonHandler* keyHandler = nullptr;
  ControlRef progress = nullptr;  // ('PROG', 128)
  ControlRef status = nullptr;    // ('STAT', 128)
  FindOptions options;            // of the running search
  TBatchFindTask* task = nullptr;
  TBatchFindBrowser* browser = nullptr;
  CFArrayRef files = nullptr;  // FSRef blocks; released when the search ends

  // Counts of the running (or last) search.
  SInt32 occurrences = 0;
  SInt32 matchedFiles = 0;
  CFIndex nextFile = 0;  // the file the task hands to the main thread next

  void Create(const Str63& name, IBNibRef nib) override;
  // 'FIND', 'RePA' (nothing: no replace here) and 'not!'.
  void ProcessCommand(const HICommand& command, EventRef event, SInt32& result) override;
  // Stops a running search first, then releases the browser and the pane.
  void Release() override;

  // Starts a search over the project's files; refuses an empty find text and
  // a second search while one runs (a beep each).
  virtual void Find();
  // On the task: the search itself, one remote call per file.
  virtual void FindInFiles(const Str255& text, CFArrayRef inFiles);
  // Stops a running search; what was found so far stays listed. From a step
  // of the search itself, the task ends at its next call.
  virtual void StopSearch();

  // Main-thread steps of a search, called through the task.
  void BeginSearch();
  virtual void SearchFile(CFIndex index);
  // The one clean-up of a search: views back, counts shown, the instance and
  // the file list gone. A beep when it ran to its end.
  void EndSearch(Boolean completed);

  Boolean Searching() const { return task != nullptr; }

 private:
  WEReference instance_ = nullptr;  // the hidden text engine of the search
  CFIndex fileCount_ = 0;
};

// The line around the offset as (start, end): from after the previous CR or
// LF (or 0) to the next one (or the text's end).
CFRange GetLineRange(SInt32 offset, WEReference we);

// With a batch find window open, brings it to the front and answers nil;
// otherwise opens one and answers its pane (nil when it cannot be made).
TBatchFindPane* OpenBatchFindWindow(IBNibRef nib);
// The pane of the open batch find window, or nil.
TBatchFindPane* ActiveBatchFindPane();
