#include "TSyntaxParserUnit.h"

#include "DynamicParser.h"
#include "Files.h"
#include "PascalCarbonCommon.h"
#include "TFileSystemUnit.h"

#include <ctime>

namespace {

void ReleaseSourceCopy(CFAllocatorRef, const void* value) { delete static_cast<const SyntaxParserSource*>(value); }

const CFArrayCallBacks kSourceQueueCallBacks = {0, nullptr, ReleaseSourceCopy, nullptr, nullptr};

}  // namespace

TSyntaxParser::~TSyntaxParser() {
  delete edits_;
  if (current != nullptr) Terminate();
  else if (busy || queue != nullptr || timer != nullptr) Release();
}

void TSyntaxParser::SetDestination(const SyntaxParserDestination& value) {
  destination = value;
  if (destination.collection == nullptr && destination.fileSystem != nullptr)
    destination.collection = destination.fileSystem->collection;
}

void TSyntaxParser::SetOptions(SyntaxParserOptions value) { options = value; }

void TSyntaxParser::AppendFile(const SyntaxParserSource& source) {
  if (queue == nullptr) queue = CFArrayCreateMutable(nullptr, 0, &kSourceQueueCallBacks);
  CFArrayAppendValue(queue, new SyntaxParserSource(source));
}

SInt16 TSyntaxParser::GetQueueCount() { return queue != nullptr ? SInt16(CFArrayGetCount(queue)) : 0; }

void TSyntaxParser::ParseBatch(SyntaxParserOptions value) {
  // A whole parse leaves nothing for the edits' slices to do.
  if (edits_ != nullptr) edits_->Cancel();
  busy = true;
  options = value;
  if ((options & kSyntaxParserAsynchMode) == 0) return;
  lastError = -1;
  if (timerUPP == nullptr) timerUPP = NewEventLoopTimerUPP(ProcessEventLoop);
  if (GetQueueCount() > 0)
    lastError = InstallEventLoopTimer(GetCurrentEventLoop(), 0, kEventDurationMicrosecond, timerUPP, this, &timer);
  Err = lastError;
  if (lastError != 0) Release();
}

void TSyntaxParser::ParseSingleFile(const SyntaxParserSource& source, Boolean compile) {
  AppendFile(source);
  ParseBatch(kSyntaxParserAsynchMode | (compile ? kSyntaxParserCompileMode : 0));
}

void TSyntaxParser::ParseDynamic(const SyntaxParserSource& source) {
  if (timer != nullptr) return;  // a batch owns the driver until it ends
  if (edits_ != nullptr && edits_->Working()) {
    // The whole text (perhaps in another language, the file renamed): what
    // the edits left goes. Else the stretch joins it, run through at once.
    const bool whole = source.span.location <= 0 && source.controller != nullptr &&
                       source.span.length >= source.controller->GetTextLength();
    if (whole) {
      edits_->Cancel();
    } else {
      ParseEdit(source, INT32_MAX);
      return;
    }
  }
  busy = true;
  auto* process = new TSyntaxParserProcess();
  process->incremental = true;
  process->fromController = true;
  process->SetOptions(source.options);
  lastError = process->Create(source, destination);
  Err = lastError;
  if (lastError == 0) {
    TSyntaxParserProcess* next = nullptr;
    while (process->Run(next) != kParserStateFinished) {
      // An incremental parse starts no child; a process that would is run
      // to its end in its place.
      if (next != nullptr && next != process) {
        TSyntaxParserProcess* child = next;
        next = nullptr;
        while (child->Run(next) != kParserStateFinished) {
        }
        FreeProcess(child);
      }
    }
  }
  FreeProcess(process);
  busy = false;
}

void TSyntaxParser::ParseEdit(const SyntaxParserSource& source, SInt32 pauseAt) {
  if (timer != nullptr) return;  // a batch owns the driver until it ends
  if (edits_ == nullptr) edits_ = new TDynamicReparse();
  busy = true;
  edits_->Reparse(source, destination, pauseAt);
  lastError = Err;
  busy = false;
  edits_->ContinueLater(kSyntaxParserEditSlice);
}

void TSyntaxParser::EditChanged(SInt32 offset, SInt32 delta) {
  if (edits_ != nullptr) edits_->TextChanged(offset, delta);
}

Boolean TSyntaxParser::EditPending() const { return edits_ != nullptr && edits_->Working(); }

void TSyntaxParser::AttachHandlers(const Str63&, TSyntaxParserProcess*) {}

void TSyntaxParser::FreeProcess(TSyntaxParserProcess*& process) {
  if (process == nullptr) return;
  process->Release();
  process->Free();
  process = nullptr;
}

void TSyntaxParser::RemoveEntry(SyntaxParserSource* entry) {
  if (queue == nullptr || entry == nullptr) return;
  const CFIndex count = CFArrayGetCount(queue);
  for (CFIndex i = count - 1; i >= 0; --i)
    if (CFArrayGetValueAtIndex(queue, i) == entry) {
      CFArrayRemoveValueAtIndex(queue, i);
      return;
    }
}

void TSyntaxParser::Terminate() {
  while (current != nullptr) {
    TSyntaxParserProcess* parent = current->child ? current->parent : nullptr;
    current->Terminate();
    FreeProcess(current);
    current = parent;
  }
  currentEntry_ = nullptr;
  Release();
}

void TSyntaxParser::Release() {
  if (destination.notification != nullptr) {
    const SyntaxParserSource none{};
    destination.notification(nullptr, none, kSyntaxParserNotifyReleased, nullptr, destination.userData);
  }
  if (timer != nullptr) {
    lastError = RemoveEventLoopTimer(timer);
    Err = lastError;
    timer = nullptr;
  }
  if (timerUPP != nullptr) DisposeEventLoopTimerUPP(timerUPP);
  timerUPP = nullptr;
  if (queue != nullptr) CFRelease(queue);
  queue = nullptr;
  currentEntry_ = nullptr;
  shownBetweenFirings_ = false;
  busy = false;
}

namespace {

// The monotonic clock in microseconds: a firing's budget is real time, not
// the event loop's (which a test may hold still).
SInt64 MonotonicMicroseconds() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return SInt64(now.tv_sec) * 1000000 + now.tv_nsec / 1000;
}

}  // namespace

void TSyntaxParser::ProcessEventLoop(EventLoopTimerRef, void* data) {
  auto* self = static_cast<TSyntaxParser*>(data);
  // Slices of kSyntaxParserRunsPerFiring Runs until the firing's budget is
  // used: a key waits at most one budget, and a large file is not paced by
  // a return to the event loop every few hundred characters.
  const SInt64 deadline = MonotonicMicroseconds() + self->firingBudget;
  // The parse holds the view's drawing only while it runs: between firings
  // the window shows the text as far as it has come, coloured as far as the
  // scan has.
  if (self->shownBetweenFirings_ && self->current != nullptr && self->current->source.controller != nullptr)
    self->current->source.controller->Prepare(false);
  self->shownBetweenFirings_ = false;
  do {
    if (!self->Slice()) return;  // the batch has ended
  } while (self->current != nullptr && MonotonicMicroseconds() < deadline);
  if (self->current != nullptr && self->current->source.controller != nullptr) {
    self->current->source.controller->Prepare(true);
    self->shownBetweenFirings_ = true;
  }
}

void TSyntaxParser::Finish() {
  if (!busy || queue == nullptr) return;
  if (shownBetweenFirings_ && current != nullptr && current->source.controller != nullptr)
    current->source.controller->Prepare(false);
  shownBetweenFirings_ = false;
  while (Slice()) {
  }
}

bool TSyntaxParser::Slice() {
  if (current != nullptr) {
    SInt16 result = kParserStateRunning;
    for (SInt32 i = 0; i < kSyntaxParserRunsPerFiring; ++i) {
      TSyntaxParserProcess* next = nullptr;
      result = current->Run(next);
      if (next != nullptr) current = next;
      if (result != kParserStateRunning) break;
    }
    if (result == kParserStateFinished) {
      TSyntaxParserProcess* finished = current;
      if (!finished->child) {
        RemoveEntry(currentEntry_);
        currentEntry_ = nullptr;
      }
      current = finished->child ? finished->parent : nullptr;
      FreeProcess(finished);
    }
  }
  if (current == nullptr && GetQueueCount() > 0) {
    auto* entry = static_cast<SyntaxParserSource*>(const_cast<void*>(CFArrayGetValueAtIndex(queue, GetQueueCount() - 1)));
    auto* process = new TSyntaxParserProcess();
    if (options & kSyntaxParserCompileMode) process->collecting = true;
    const Str63 language =
        FSValidFSRef(entry->file) ? GetSupportedFileLanguage(FSGetDisplayName(entry->file)) : Str63();
    AttachHandlers(language, process);
    process->SetOptions(entry->options);
    lastError = process->Create(*entry, destination);
    Err = lastError;
    if (lastError == 0) {
      current = process;
      currentEntry_ = entry;
    } else {
      RemoveEntry(entry);
      FreeProcess(process);
    }
  }
  // A firing that finds nothing left ends the batch.
  if (current == nullptr && GetQueueCount() == 0) {
    Release();
    return false;
  }
  return true;
}
