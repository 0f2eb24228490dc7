#include "Gallery.h"

#include <string>

#include "CFBundle.h"
#include "CFURL.h"
#include "CGColor.h"
#include "CGContext.h"
#include "CGImage.h"
#include "HIToolbar.h"
#include "Menus.h"
#include "PascalCarbonCommon.h"
#include "TDocumentListUnit.h"
#include "THIToolbarUnit.h"
#include "TNavDialogsUnit.h"
#include "TWASTEPaneUnit.h"
#include "fenwicket/Fenwicket.h"
#include "plinthora/Plinthora.h"

namespace {

bool gQuitOnClose = false;

// Opens each chosen file in the window the dialog belongs to.
class TGalleryOpenDialog : public TCloneable<TGalleryOpenDialog, TNavDialogs> {
 public:
  void HandleSingleResult(const FSRef& file) override {
    if (TGalleryWindow* window = dynamic_cast<TGalleryWindow*>(GetWindowObject(parent))) window->OpenFile(file);
  }
};

// A small glyph for the buttons of the toolbar strip: a rounded square of
// the colour with a lighter centre.
CGImageRef Glyph(CGFloat r, CGFloat g, CGFloat b) {
  CGColorSpaceRef space = CGColorSpaceCreateDeviceRGB();
  CGContextRef c = CGBitmapContextCreate(nullptr, 16, 16, 8, 16 * 4, space, kCGImageAlphaPremultipliedLast);
  CGColorSpaceRelease(space);
  CGContextSetRGBFillColor(c, r, g, b, 1);
  CGContextFillEllipseInRect(c, CGRect{{1, 1}, {14, 14}});
  CGContextSetRGBFillColor(c, 1, 1, 1, 0.55);
  CGContextFillEllipseInRect(c, CGRect{{5, 5}, {6, 6}});
  CGImageRef image = CGBitmapContextCreateImage(c);
  CGContextRelease(c);
  return image;
}

HIViewRef Find(HIViewRef root, OSType signature, SInt32 id) {
  HIViewRef found = nullptr;
  if (root != nullptr) HIViewFindByID(root, HIViewID{signature, id}, &found);
  return found;
}

}  // namespace

// ---------------------------------------------------------------------------
// TGalleryDocument

void TGalleryDocument::MarkTab() {
  auto* pane = dynamic_cast<TTabPane*>(owner);
  if (pane == nullptr) return;
  Str63 title = FSValidFSRef(file) ? FSGetDisplayName(file) : name;
  if (modified) title = Str63("*") + title;
  if (title != pane->Title) pane->SetAppearance(title, nullptr, 0);
}

void TGalleryDocument::SetModifiedState(Boolean flag) {
  const Boolean changed = flag != modified;
  TWASTEDocument::SetModifiedState(flag);
  if (changed) MarkTab();
}

void TGalleryDocument::SavedAs() { MarkTab(); }

void TGalleryDocument::Closed() {}

// ---------------------------------------------------------------------------
// TGalleryWindow

void TGalleryWindow::Open(IBNibRef galleryNib, TPreferenceHandler* handler) {
  SetPreferences(handler);
  SetPreferenceKey("Gallery");
  CreateToolbar("org.quorvel.gallery", 0);
  toolbar->Append(0, 'macs', 'fldr', "Open", kGalleryCommandOpen, true, false);
  toolbar->Append(0, 'macs', 'docu', "Save", kHICommandTWindowSave, true, false);
  toolbar->AppendStandard(0, kHIToolbarSeparatorIdentifier, true);
  toolbar->Append(0, 'macs', 'APPL', "Sidebar", kGalleryCommandSidebar, true, true);
  toolbar->AppendStandard(0, kHIToolbarFlexibleSpaceIdentifier, true);
  toolbar->Append(0, 'macs', 'clos', "Close", kHICommandTWindowClose, true, false);
  Create("Gallery", galleryNib);
  if (window == nullptr) return;

  // The toolbar strip in every style, each with the same buttons.
  auto* toolbarsPane = new TPane();
  toolbarsPane->Create("Toolbars Pane", galleryNib);
  CGImageRef glyphs[] = {Glyph(0.20, 0.55, 0.25), Glyph(0.85, 0.45, 0.10), Glyph(0.20, 0.45, 0.80)};
  for (SInt32 i = 1; i <= kToolbarStyleCount; ++i) {
    HIViewRef bar = Find(toolbarsPane->paneView, 'TBAR', i);
    if (bar == nullptr) continue;
    toolbars.push_back(bar);
    ToolbarAddButton(bar, "Build", glyphs[0], kTTabPaneCGImage, nullptr, 'bild', 0, nullptr);
    ToolbarAddButton(bar, "Run", glyphs[1], kTTabPaneCGImage, nullptr, 'run ', 0, nullptr);
    ToolbarAddButton(bar, "Upload", glyphs[2], kTTabPaneCGImage, nullptr, 'upld',
                     ToolbarOption(kToolbarItemAnchoredRight), nullptr);
  }
  for (CGImageRef g : glyphs) CGImageRelease(g);

  // The tabs, beside the strip.
  auto* tabsPane = new TPane();
  tabsPane->Create("Tabs Pane", galleryNib);
  tabs = new TDocumentTabs();
  tabs->SetController(this);
  if (HIViewRef tabView = Find(tabsPane->paneView, 'TABS', 1)) tabs->Create(tabView);

  split = new TSplitView();
  split->SetPreferenceKey("Main");
  split->firstPane = toolbarsPane;
  split->secondPane = tabsPane;
  HIViewRef splitView = Find(HIViewGetRoot(window), 'SPLT', 1);
  split->Create(splitView);
  SplitViewSetLimit(splitView, CFRangeMake(180, 520));
  if (!preferences->ContainsValue(split->PositionKey())) split->SetPosition(300);
  Show();
}

void TGalleryWindow::OpenFile(const FSRef& file) {
  auto* document = new TGalleryDocument();
  document->Create(file);
  if (TDocumentPane* open = tabs->FindByDocument(document)) {
    document->Release();
    open->SelectViewObject();
    return;
  }
  auto* pane = new TWASTEPane();
  pane->SetResource("Text Pane", nib);
  pane->SetDocument(document);
  tabs->Append(pane);
}

void TGalleryWindow::ToggleSidebar() {
  sidebarHidden = !sidebarHidden;
  split->SetVisible(sidebarHidden ? kSplitViewRightPane : kSplitViewVisible);
}

void TGalleryWindow::ProcessCommand(const HICommand& command, EventRef event, SInt32& result) {
  switch (command.commandID) {
    case kGalleryCommandOpen: {
      auto* dialog = new TGalleryOpenDialog();
      dialog->SetParent(window);
      dialog->OpenDialog();
      result = noErr;
      return;
    }
    case kGalleryCommandSaveAs:
      if (TDocument* active = documents->GetActive()) TNavSaveDocumentAs(window, active);
      result = noErr;
      return;
    case kGalleryCommandSidebar:
      ToggleSidebar();
      result = noErr;
      return;
  }
  TWindow::ProcessCommand(command, event, result);
}

void TGalleryWindow::UpdateCommandStatus(const HICommand& command, EventRef event, SInt32& result) {
  TWindow::UpdateCommandStatus(command, event, result);
  const Boolean hasDocument = documents != nullptr && documents->GetActive() != nullptr;
  switch (command.commandID) {
    case kHICommandTWindowSave:
    case kGalleryCommandSaveAs:
      if (command.menu.menuRef != nullptr) {
        if (hasDocument)
          EnableMenuItem(command.menu.menuRef, command.menu.menuItemIndex);
        else
          DisableMenuItem(command.menu.menuRef, command.menu.menuItemIndex);
      }
      result = noErr;
      break;
  }
}

void TGalleryWindow::Closed() {
  if (gQuitOnClose) QuitApplicationEventLoop();
}

// ---------------------------------------------------------------------------

IBNibRef GalleryNib() {
  static IBNibRef nib = [] {
    const std::string folder = QUORVEL_GALLERY_DIR "/fixtures";
    CFURLRef url = CFURLCreateFromFileSystemRepresentation(nullptr, reinterpret_cast<const UInt8*>(folder.c_str()),
                                                           CFIndex(folder.size()), true);
    CFBundleRef bundle = CFBundleCreate(nullptr, url);
    CFRelease(url);
    IBNibRef made = nullptr;
    CreateNibReferenceWithCFBundle(bundle, CFSTR("Gallery"), &made);
    return made;
  }();
  return nib;
}

void GalleryRegisterClasses() {
  RegisterWasteClass();
  RegisterSplitViewClass();
  RegisterToolbarViewClass();
  RegisterTabViewClass();
}

void GalleryInstallMenuBar() {
  static bool done = false;
  if (done) return;
  done = true;
  MenuRef file = nullptr;
  CreateNewMenu(128, 0, &file);
  SetMenuTitleWithCFString(file, CFStringMakeConstantUTF8("File"));
  struct Item {
    const char* text;
    UInt32 command;
    char key;
  } items[] = {{"Open\xE2\x80\xA6", kGalleryCommandOpen, 'O'},
               {"Save", kHICommandTWindowSave, 'S'},
               {"Save As\xE2\x80\xA6", kGalleryCommandSaveAs, 0},
               {"Close", kHICommandTWindowClose, 'W'}};
  for (const Item& item : items) {
    CFStringRef text = CFStringCreateWithCString(nullptr, item.text, kCFStringEncodingUTF8);
    MenuItemIndex index = 0;
    AppendMenuItemTextWithCFString(file, text, 0, item.command, &index);
    CFRelease(text);
    if (item.key != 0) SetItemCmd(file, index, item.key);
  }
  InsertMenu(file, 0);
  DrawMenuBar();
}

TGalleryWindow* GalleryOpenWindow(TPreferenceHandler* handler, bool quitOnClose) {
  gQuitOnClose = quitOnClose;
  GalleryRegisterClasses();
  GalleryInstallMenuBar();
  auto* window = new TGalleryWindow();
  window->Open(GalleryNib(), handler);
  return window;
}
