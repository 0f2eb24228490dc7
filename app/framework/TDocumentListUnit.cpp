#include "TDocumentListUnit.h"

#include <cstring>

#include "ApplicationFramework.h"
#include "CFData.h"
#include "PascalCarbonCommon.h"
#include "TDocumentUnit.h"
#include "TViewUnit.h"

namespace {
const void* RetainIdentity(CFAllocatorRef, const void* value) { return value; }
}  // namespace

const CFArrayCallBacks DocumentListArrayCallbacks = {0, RetainIdentity, nullptr, nullptr, nullptr};

void TDocumentList::Create() {
  documents = CFArrayCreateMutable(nullptr, 0, &DocumentListArrayCallbacks);
  active = nullptr;
}

void TDocumentList::Release() {
  if (documents != nullptr) {
    // Each document goes first; the array holds them without owning them.
    const CFIndex count = CFArrayGetCount(documents);
    for (CFIndex i = 0; i < count; ++i)
      static_cast<TDocument*>(const_cast<void*>(CFArrayGetValueAtIndex(documents, i)))->Release();
    CFRelease(documents);
  }
  delete this;
}

CFArrayRef TDocumentList::GetDirtyDocuments() {
  CFMutableArrayRef dirty = CFArrayCreateMutable(nullptr, 0, &DocumentListArrayCallbacks);
  const CFIndex count = documents ? CFArrayGetCount(documents) : 0;
  for (CFIndex i = 0; i < count; ++i) {
    auto* document = static_cast<TDocument*>(const_cast<void*>(CFArrayGetValueAtIndex(documents, i)));
    if (document->modified) CFArrayAppendValue(dirty, document);
  }
  return dirty;
}

Boolean TDocumentList::ContainsDirtyDocuments() {
  const CFIndex count = documents ? CFArrayGetCount(documents) : 0;
  for (CFIndex i = 0; i < count; ++i)
    if (static_cast<const TDocument*>(CFArrayGetValueAtIndex(documents, i))->modified) return true;
  return false;
}

TDocument* TDocumentList::GetActive() { return active; }

TDocument* TDocumentList::GetNext() {
  if (documents == nullptr || active == nullptr) return nullptr;
  const CFIndex count = CFArrayGetCount(documents);
  const CFIndex index = CFArrayGetFirstIndexOfValue(documents, CFRangeMake(0, count), active);
  if (index < 0) return nullptr;
  return static_cast<TDocument*>(const_cast<void*>(CFArrayGetValueAtIndex(documents, (index + 1) % count)));
}

SInt16 TDocumentList::GetCount() { return documents ? SInt16(CFArrayGetCount(documents)) : 0; }

CFArrayRef TDocumentList::CopyList() {
  const CFIndex count = documents ? CFArrayGetCount(documents) : 0;
  if (count == 0) return nullptr;
  CFMutableArrayRef list = CFArrayCreateMutable(nullptr, 0, &kCFTypeArrayCallBacks);
  for (CFIndex i = 0; i < count; ++i) {
    auto* document = static_cast<const TDocument*>(CFArrayGetValueAtIndex(documents, i));
    CFDataRef data = CFDataCreate(nullptr, document->file.hidden, sizeof document->file);
    CFArrayAppendValue(list, data);
    CFRelease(data);
  }
  return list;
}

void TDocumentList::ApplyFunction(TDocumentListApplierFunction function, void* userData) {
  if (documents == nullptr || function == nullptr) return;
  const CFIndex count = CFArrayGetCount(documents);
  for (CFIndex i = 0; i < count && i < CFArrayGetCount(documents); ++i)
    function(static_cast<TDocument*>(const_cast<void*>(CFArrayGetValueAtIndex(documents, i))), userData);
}

TDocument* TDocumentList::FindDocument(const FSRef& file) {
  const CFIndex count = documents ? CFArrayGetCount(documents) : 0;
  for (CFIndex i = 0; i < count; ++i) {
    auto* document = static_cast<TDocument*>(const_cast<void*>(CFArrayGetValueAtIndex(documents, i)));
    if (FSCompareFSRefs(&document->file, &file) == noErr) return document;
  }
  return nullptr;
}

void TDocumentList::SetActive(TDocument* document) { active = document; }

void TDocumentList::Append(TDocument* document) {
  if (documents == nullptr || document == nullptr) return;
  CFArrayAppendValue(documents, document);
  SetActive(document);
}

void TDocumentList::Remove(TDocument* document) {
  if (documents == nullptr) return;
  const CFIndex index = CFArrayGetFirstIndexOfValue(documents, CFRangeMake(0, CFArrayGetCount(documents)), document);
  if (index < 0) return;
  active = nullptr;
  CFArrayRemoveValueAtIndex(documents, index);
}

void TDocumentList::Select(TDocument* document) {
  if (documents == nullptr || document == nullptr) return;
  if (!CFArrayContainsValue(documents, CFRangeMake(0, CFArrayGetCount(documents)), document)) return;
  if (document->owner != nullptr) document->owner->SelectViewObject();
}

TDocumentList* GetWindowDocumentList(WindowRef window) {
  void* list = nullptr;
  TWindowGetProperty(kTWindowDocumentListTag, list, window);
  return static_cast<TDocumentList*>(list);
}

void RemoveDocumentFromList(TDocument* document, WindowRef window) {
  if (TDocumentList* list = GetWindowDocumentList(window)) list->Remove(document);
}

namespace {

Boolean FileOfData(CFTypeRef value, FSRef& file) {
  std::memset(&file, 0, sizeof file);
  if (value == nullptr || CFGetTypeID(value) != CFDataGetTypeID()) return false;
  auto data = static_cast<CFDataRef>(value);
  CFIndex length = CFDataGetLength(data);
  if (length > CFIndex(sizeof file)) length = sizeof file;
  CFDataGetBytes(data, CFRangeMake(0, length), file.hidden);
  return FSRefExists(file);
}

}  // namespace

void OpenDocumentList(CFArrayRef list) {
  if (list == nullptr) return;
  for (CFIndex i = CFArrayGetCount(list) - 1; i >= 0; --i) {
    CFTypeRef element = CFArrayGetValueAtIndex(list, i);
    FSRef file;
    if (element != nullptr && CFGetTypeID(element) == CFArrayGetTypeID()) {
      auto group = static_cast<CFArrayRef>(element);
      // The first file of the group that still exists opens the new window,
      // so a window's documents stay together when its first one is gone.
      Boolean newWindow = true;
      for (CFIndex j = 0; j < CFArrayGetCount(group); ++j) {
        if (!FileOfData(CFArrayGetValueAtIndex(group, j), file)) continue;
        SendOpenDocumentCommand(file, newWindow);
        newWindow = false;
      }
    } else if (FileOfData(element, file)) {
      SendOpenDocumentCommand(file, false);
    }
  }
}
