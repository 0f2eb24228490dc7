// TSyntaxParserUnit: the parser driver. A driver runs one scan process at a
// time: whole files go through its queue on a main-loop timer, each firing
// running slices of kSyntaxParserRunsPerFiring characters until it has used
// kSyntaxParserFiringBudget, so the interface stays responsive; an edit's stretch is parsed at once, synchronously
// (ParseDynamic). The queue is consumed from its end: the source appended
// last is parsed first.
//
// TSourceDocumentAbstract is the text document an editor opens by a query:
// after a full parse the source editor asks it to select the query, then the
// default line.
#pragma once

#include "CFArray.h"
#include "CarbonEvents.h"
#include "MacTypes.h"
#include "ShortString.h"
#include "TObjectUnit.h"
#include "TSyntaxParserProcessUnit.h"
#include "TWASTEDocumentUnit.h"

// Options of a batch: element n is bit n.
typedef UInt32 SyntaxParserOptions;
enum : UInt32 {
  kSyntaxParserAsynchMode = 1u << 0,   // parse the queue on the timer
  kSyntaxParserCompileMode = 1u << 1,  // collect symbols whatever the file's date
};

// Characters a batch advances between looks at the clock, and the time (in
// microseconds) one timer firing may take before the event loop runs again.
constexpr SInt32 kSyntaxParserRunsPerFiring = 51;
constexpr SInt64 kSyntaxParserFiringBudget = 8000;
// Characters an edit's re-parse goes on by per firing, once the key is done.
constexpr SInt32 kSyntaxParserEditSlice = 4096;

class TDynamicReparse;

class TSyntaxParser : public TObject {
 public:
  TSyntaxParser() = default;
  ~TSyntaxParser() override;

  // Fields.
  CFMutableArrayRef queue = nullptr;  // SyntaxParserSource copies (owned blocks)
  SyntaxParserDestination destination;
  SyntaxParserOptions options = 0;
  TSyntaxParserProcess* current = nullptr;
  EventLoopTimerUPP timerUPP = nullptr;
  EventLoopTimerRef timer = nullptr;
  Boolean busy = false;
  SInt32 lastError = 0;  // the last Create or timer status (the driver's Err)
  // Microseconds a firing may run; 0: one slice a firing.
  SInt64 firingBudget = kSyntaxParserFiringBudget;

  // When the destination names no collection, the index's is used.
  virtual void SetDestination(const SyntaxParserDestination& value);
  virtual void SetOptions(SyntaxParserOptions value);
  virtual void AppendFile(const SyntaxParserSource& source);
  virtual SInt16 GetQueueCount();
  virtual void ParseBatch(SyntaxParserOptions value);
  virtual void ParseSingleFile(const SyntaxParserSource& source, Boolean compile);
  virtual void ParseDynamic(const SyntaxParserSource& source);
  // An edit's re-parse in two parts: the stretch and on as far as pauseAt
  // at once, the rest in slices from the main loop. Every change of the
  // text goes to EditChanged first, so that what is left follows it.
  virtual void ParseEdit(const SyntaxParserSource& source, SInt32 pauseAt);
  virtual void EditChanged(SInt32 offset, SInt32 delta);
  // The edits' re-parse still has work (slices to come).
  Boolean EditPending() const;
  // Called before each batch process is created; attaches nothing.
  virtual void AttachHandlers(const Str63& language, TSyntaxParserProcess* process);
  // Stops a batch at once: the current process, then the batch.
  virtual void Terminate();
  // Runs the batch to its end now, in this call (a key typed while a whole
  // parse streams the text in waits for it instead of being refused).
  void Finish();
  // Ends the batch (notification 5); the object stays for its owner to free.
  virtual void Release();

  // One timer firing.
  static void ProcessEventLoop(EventLoopTimerRef timer, void* driver);

 private:
  // The queue entry the current top-level process parses, removed by
  // identity when it finishes so sources appended meanwhile are kept.
  SyntaxParserSource* currentEntry_ = nullptr;
  TDynamicReparse* edits_ = nullptr;  // owned; made by the first ParseEdit
  // The current process's controller was let go of (drawing allowed) at the
  // end of the last firing, and is taken again at the start of the next.
  Boolean shownBetweenFirings_ = false;
  void RemoveEntry(SyntaxParserSource* entry);
  // One slice of a firing; false once the batch has ended (released).
  bool Slice();
  void FreeProcess(TSyntaxParserProcess*& process);
};

class TSourceDocumentAbstract : public TWASTEDocument {
 public:
  Str255 queryString;
  SInt16 defaultLine = 0;

  virtual void SetQueryString(const Str255& query) {}
  virtual void SetDefaultLine(SInt16 line) {}
  virtual void SelectQuery() {}
  virtual void SelectDefaultLine() {}
};
