#include "TEditorTabsUnit.h"

#include "CFString.h"
#include "Files.h"
#include "MacMemory.h"
#include "PascalCarbonCommon.h"
#include "TApplicationUnit.h"

TEditorWindowAbstract* FrontEditorWindow() {
  TWindow* front = nullptr;
  if (CurrentApplication != nullptr) {
    front = TApplicationGetFrontWindowOfKind(kEditorWindowKind);
  } else {
    for (WindowRef w = GetFrontWindowOfClass(kDocumentWindowClass, true); w != nullptr && front == nullptr;
         w = GetNextWindowOfClass(w, kDocumentWindowClass, true))
      if (GetWindowKind(w) == kEditorWindowKind) front = GetWindowObject(w);
  }
  return dynamic_cast<TEditorWindowAbstract*>(front);
}

Boolean DroppedTextIsURL(CFStringRef text) {
  if (text == nullptr) return false;
  const CFRange colon = CFStringFind(text, CFSTR(":"), 0);
  if (colon.location == kCFNotFound) return false;
  CFStringRef scheme = CFStringCreateWithSubstring(nullptr, text, CFRangeMake(0, colon.location));
  Boolean url = false;
  for (CFStringRef known : {CFSTR("http"), CFSTR("ftp"), CFSTR("file")})
    url = url || CFStringCompare(scheme, known, 0) == kCFCompareEqualTo;
  CFRelease(scheme);
  return url;
}

// ---------------------------------------------------------------------------
// TEditorTabs

void TEditorTabs::Select(TTabPane* pane) {
  TDocumentTabs::Select(pane);
  auto* window = dynamic_cast<TEditorWindowAbstract*>(Controller);
  // The window keeps to editor panes: a page leaves the side pane alone.
  if (auto* documentPane = dynamic_cast<TDocumentPane*>(pane); window != nullptr && documentPane != nullptr)
    window->UpdateSidePane(documentPane);
}

Boolean TEditorTabs::AcceptDrag(TTabPane*, Ptr, UInt32 flavor, DragRef) {
  return flavor == kDragFlavorTypeHFS || flavor == kFlavorTypeUnicodeText;
}

Boolean TEditorTabs::ReceiveDrag(TTabPane*, Ptr data, UInt32 flavor, DragRef) {
  TEditorWindowAbstract* window = FrontEditorWindow();
  if (window == nullptr || data == nullptr) return false;
  if (flavor == kDragFlavorTypeHFS) {
    if (GetPtrSize(data) < Size(sizeof(HFSFlavor))) return false;
    HFSFlavor flavorData;
    BlockMoveData(data, &flavorData, sizeof flavorData);
    FSRef file{};
    if (FSpMakeFSRef(&flavorData.fileSpec, &file) != noErr) return false;
    if (FSConformsToUTIdentifier(file, "public.text")) window->NewFile(&file, nullptr);
    else if (FSConformsToUTIdentifier(file, "public.image")) window->NewURL(FSGetURL(file), nullptr);
    return true;
  }
  if (flavor == kFlavorTypeUnicodeText) {
    const CFIndex count = CFIndex(GetPtrSize(data) / Size(sizeof(UniChar)));
    CFStringRef text = CFStringCreateWithCharacters(nullptr, reinterpret_cast<const UniChar*>(data), count);
    if (text == nullptr) return false;
    if (DroppedTextIsURL(text)) window->NewURL(CFStringToPascal(text), nullptr);
    else window->NewFile(nullptr, data);
    CFRelease(text);
    return true;
  }
  return false;
}

// ---------------------------------------------------------------------------
// TEditorTabPane

void TEditorTabPane::Create(const Str63& name, IBNibRef nib) {
  TPane::Create(name, nib);
  SetClassString("TEditorTabPane");
  ControlRef view = HIViewFind(kEditorTabsID, kEditorTabsSignature, nibWindow);
  if (view == nullptr) return;
  tabs = new TEditorTabs();
  tabs->Create(view);
  tabs->SetController(dynamic_cast<TWindow*>(owner));
}
