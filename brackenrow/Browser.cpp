// Browser: node records and the tree nodes that own them.
#include "brackenrow/Brackenrow.h"

#include "MacMemory.h"
#include "PascalCarbonCommon.h"

namespace {

// There is no reference count on a record: the one tree node holding it owns it.
const void* NodeRetainCallback(const void* info) { return info; }

// Runs when the owning tree node is freed.
void NodeReleaseCallback(const void* info) {
  auto* node = static_cast<NodeInfoPtr>(const_cast<void*>(info));
  // A record that is not a live block is nobody's to free, and its fields
  // cannot be trusted.
  if (node == nullptr || !IsPointerValid(reinterpret_cast<Ptr>(node))) return;
  if (node->RELEASE != nullptr && node->DATA != nullptr && IsPointerValid(static_cast<Ptr>(node->DATA)))
    node->RELEASE(node->DATA, node->DATATYPE, node->CONTEXT);
  BrackenrowReleaseNode(node);
}

}  // namespace

NodeInfoPtr BrackenrowNewNode(void* userData, SInt32 length, UInt32 dataType, SInt32 index, SInt32 inContainer,
                              Boolean container) {
  auto node = reinterpret_cast<NodeInfoPtr>(NewPtrClear(sizeof(NodeInfo)));
  if (node == nullptr) return nullptr;
  node->INDEX = index;
  node->PARENT = inContainer;
  node->CONTAINER = container ? 1 : 0;
  node->OPEN = 0;
  node->DATA = userData;
  node->DATALENGTH = length;
  node->DATATYPE = dataType;
  return node;
}

void BrackenrowReleaseNode(NodeInfoPtr node) {
  if (node == nullptr || !IsPointerValid(reinterpret_cast<Ptr>(node))) return;
  ReleasePtr(node->DATA);  // only a live block is freed
  ReleasePtr(node);
}

CFTreeContext BrackenrowContextCallbacks(void* info) {
  CFTreeContext context;
  context.version = 0;
  context.info = info;
  context.retain = NodeRetainCallback;
  context.release = NodeReleaseCallback;
  context.copyDescription = nullptr;
  return context;
}

CFTreeRef BrackenrowCreateTree(void* info) {
  CFTreeContext context = BrackenrowContextCallbacks(info);
  return CFTreeCreate(nullptr, &context);
}

NodeInfoPtr BrackenrowGetNode(CFTreeRef tree) {
  if (tree == nullptr) return nullptr;
  CFTreeContext context = {};
  CFTreeGetContext(tree, &context);
  return static_cast<NodeInfoPtr>(context.info);
}

void* BrackenrowGetNodeData(CFTreeRef tree) {
  NodeInfoPtr node = BrackenrowGetNode(tree);
  return node ? node->DATA : nullptr;
}

// ===========================================================================
// The binding of a list view to a tree

#include <unistd.h>

#include "Appearance.h"
#include "MacWindows.h"
#include "QuickDraw.h"
#include "brackenrow/BrowserData.h"

namespace {

constexpr UInt32 kSpringTicks = 30;  // a drag resting this long on a container opens it

// --- Ids ---------------------------------------------------------------------

void CollectIds(CFTreeRef tree, NodeInfoPtr node, void* context) {
  (void)tree;
  static_cast<std::set<SInt32>*>(context)->insert(node->INDEX);
}

// --- The list view's callbacks -------------------------------------------------

OSStatus ItemData(ControlRef browser, DataBrowserItemID item, DataBrowserPropertyID property,
                  DataBrowserItemDataRef itemData, Boolean setValue) {
  BrowserDataPtr data = TestBrowserData(browser);
  if (data == nullptr) return noErr;
  CFTreeRef node = NodeOfItem(data, SInt32(item));
  NodeInfoPtr record = BrackenrowGetNode(node);
  const BrackenrowCallbacks& cb = data->CALLBACKS;
  if (setValue) {
    if (record == nullptr) return noErr;
    Boolean checked = false;
    CFStringRef text = nullptr;
    if (GetDataBrowserItemDataText(itemData, &text) == noErr && text != nullptr) {
      if (cb.SETITEMTEXT) {
        cb.SETITEMTEXT(record->DATA, item, property, text, cb.CONTEXT);
        SetThemeCursor(kThemeArrowCursor);
      }
      CFRelease(text);
    } else if (GetDataBrowserItemDataBooleanValue(itemData, &checked) == noErr) {
      if (cb.SETITEMCHECKBOX) cb.SETITEMCHECKBOX(record->DATA, item, property, checked, cb.CONTEXT);
    }
    return noErr;
  }
  switch (property) {
    case kDataBrowserItemIsActiveProperty:
    case kDataBrowserItemIsSelectableProperty:
    case kDataBrowserItemIsEditableProperty: {
      Boolean answer = true;
      if (cb.SETITEMPROPERTY) {
        DataBrowserPropertyID column = 0;
        GetDataBrowserItemDataProperty(itemData, &column);
        answer = record ? cb.SETITEMPROPERTY(record->DATA, record->DATATYPE, item, column, property, cb.CONTEXT)
                        : false;
      }
      SetDataBrowserItemDataBooleanValue(itemData, answer);
      break;
    }
    case kDataBrowserItemIsContainerProperty:
      SetDataBrowserItemDataBooleanValue(
          itemData, record != nullptr && (CFTreeGetChildCount(node) > 0 || record->CONTAINER));
      break;
    default:
      if (record && cb.SETITEMDATA && record->DATA)
        cb.SETITEMDATA(record->DATA, record->DATATYPE, item, property, itemData, cb.CONTEXT);
      break;
  }
  return noErr;
}

void ItemNotification(ControlRef browser, DataBrowserItemID item, DataBrowserItemNotification message) {
  if (item == 0) return;
  BrowserDataPtr data = TestBrowserData(browser);
  if (data == nullptr) return;
  CFTreeRef node = NodeOfItem(data, SInt32(item));
  NodeInfoPtr record = BrackenrowGetNode(node);
  if (record == nullptr) return;
  switch (message) {
    case kDataBrowserEditStarted:
      data->EDITING = true;
      break;
    case kDataBrowserEditStopped:
      data->EDITING = false;
      break;
    case kDataBrowserItemDoubleClicked:
      SetDataBrowserEditItem(browser, item, 'TEXT');
      break;
    case kDataBrowserContainerOpened:
      ExpandTree(node, item, browser);
      record->OPEN = true;
      break;
    case kDataBrowserUserToggledContainer: {
      ++data->MODIFIED;
      DataBrowserItemState state = 0;
      GetDataBrowserItemState(browser, item, &state);
      // The list asks before it toggles: an open container is about to close.
      record->OPEN = (state & kDataBrowserContainerIsOpen) ? false : true;
      break;
    }
    default:
      break;
  }
  // The host may have ended the browser or removed the item meanwhile.
  data = TestBrowserData(browser);
  if (data == nullptr) return;
  record = BrackenrowGetNode(NodeOfItem(data, SInt32(item)));
  if (record && data->CALLBACKS.ITEMNOTIFICATION)
    data->CALLBACKS.ITEMNOTIFICATION(record->DATA, record->DATATYPE, browser, item, message,
                                     data->CALLBACKS.CONTEXT);
}

Boolean ItemCompare(ControlRef browser, DataBrowserItemID one, DataBrowserItemID two,
                    DataBrowserPropertyID sortProperty) {
  BrowserDataPtr data = TestBrowserData(browser);
  if (data == nullptr || data->CALLBACKS.COMPAREITEM == nullptr) return false;
  return data->CALLBACKS.COMPAREITEM(BrackenrowGetNode(NodeOfItem(data, SInt32(one))),
                                     BrackenrowGetNode(NodeOfItem(data, SInt32(two))), sortProperty, browser,
                                     data->CALLBACKS.CONTEXT);
}

void GetContextualMenu(ControlRef browser, MenuRef* menu, UInt32* helpType, CFStringRef* helpItemString,
                       AEDesc*) {
  *menu = nullptr;
  if (helpType) *helpType = 0;  // no help is offered
  if (helpItemString) *helpItemString = nullptr;
  BrowserDataPtr data = TestBrowserData(browser);
  if (data == nullptr || data->CALLBACKS.GETCONTEXTUALMENU == nullptr) return;
  SInt16 count = 0;
  ItemArrayHandle items = GetSelectedBrowserItems(browser, count);
  *menu = data->CALLBACKS.GETCONTEXTUALMENU(browser, items, count, data->CALLBACKS.CONTEXT);
  if (items) DisposeHandle(reinterpret_cast<Handle>(items));
}

void SelectContextualMenu(ControlRef browser, MenuRef menu, UInt32, SInt16 menuID, MenuItemIndex menuItem) {
  BrowserDataPtr data = TestBrowserData(browser);
  // A menu dismissed without a choice only goes.
  if (data != nullptr && data->CALLBACKS.SELECTCONTEXTUALMENU != nullptr && menuItem != 0) {
    SInt16 count = 0;
    ItemArrayHandle items = GetSelectedBrowserItems(browser, count);
    if (count == 0) {
      data->CALLBACKS.SELECTCONTEXTUALMENU(browser, nullptr, menu, menuID, menuItem, data->CALLBACKS.CONTEXT);
    } else {
      for (SInt16 i = 0; i < count; ++i) {
        data = TestBrowserData(browser);
        if (data == nullptr) break;
        NodeInfoPtr record = BrackenrowGetNode(NodeOfItem(data, SInt32((*items)[i])));
        if (record == nullptr) continue;  // deleted by an earlier call
        data->CALLBACKS.SELECTCONTEXTUALMENU(browser, record, menu, menuID, menuItem, data->CALLBACKS.CONTEXT);
      }
    }
    if (items) DisposeHandle(reinterpret_cast<Handle>(items));
  }
  // The library owns the menu the host handed it.
  if (menu) ReleaseMenu(menu);
}

Boolean EditText(ControlRef, DataBrowserItemID, DataBrowserPropertyID, CFStringRef, Rect*, Boolean*) {
  return true;
}

// --- Timer ---------------------------------------------------------------------

void BrowserTimer(EventLoopTimerRef, void* userData) {
  auto browser = static_cast<ControlRef>(userData);
  BrowserDataPtr data = GetBrowserData(browser);
  if (data == nullptr) return;
  if (data->CALLBACKS.TIMER) {
    data->CALLBACKS.TIMER(browser, data->CALLBACKS.CONTEXT);
    data = GetBrowserData(browser);
    if (data == nullptr) return;
  }
  if (data->HOVERITEM != 0 && TickCount() - data->HOVERTIME > kSpringTicks) {
    DataBrowserItemState state = 0;
    GetDataBrowserItemState(browser, data->HOVERITEM, &state);
    if (!(state & kDataBrowserContainerIsOpen)) OpenDataBrowserContainer(browser, data->HOVERITEM);
    data = GetBrowserData(browser);
    if (data == nullptr) return;
    HIViewSetNeedsDisplay(browser, true);
    data->HOVERTIME = TickCount();
  }
}

// --- Events --------------------------------------------------------------------

// The item whose row's first-column content holds the point (browser
// coordinates); 0 when none.
DataBrowserItemID ItemUnderPoint(ControlRef browser, CGPoint p) {
  DataBrowserTableViewColumnID first = 0;
  GetDataBrowserTableViewColumnProperty(browser, 0, &first);
  for (DataBrowserTableViewRowIndex row = 0; row < 32767; ++row) {
    DataBrowserItemID item = 0;
    if (GetDataBrowserTableViewItemID(browser, row, &item) != noErr || item == 0) break;
    Rect r{};
    if (GetDataBrowserItemPartBounds(browser, item, first, kDataBrowserPropertyContentPart, &r) != noErr) continue;
    HIPoint topLeft{CGFloat(r.left), CGFloat(r.top)}, bottomRight{CGFloat(r.right), CGFloat(r.bottom)};
    HIViewConvertPoint(&topLeft, nullptr, browser);
    HIViewConvertPoint(&bottomRight, nullptr, browser);
    if (p.x >= topLeft.x && p.x < bottomRight.x && p.y >= topLeft.y && p.y < bottomRight.y) return item;
  }
  return 0;
}

OSStatus WindowMouseHandler(EventHandlerCallRef, EventRef event, void* userData) {
  auto browser = static_cast<ControlRef>(userData);
  BrowserDataPtr data = TestBrowserData(browser);
  if (data == nullptr) return eventNotHandledErr;
  WindowRef window = GetControlOwner(browser);
  HIViewRef hit = nullptr;
  if (window == nullptr || HIViewGetViewForMouseEvent(HIViewGetRoot(window), event, &hit) != noErr ||
      hit != browser)
    return eventNotHandledErr;
  HIPoint where{};
  if (GetEventParameter(event, kEventParamWindowMouseLocation, typeHIPoint, nullptr, sizeof where, nullptr,
                        &where) != noErr)
    return eventNotHandledErr;
  HIViewConvertPoint(&where, nullptr, browser);
  DataBrowserItemID item = ItemUnderPoint(browser, where);
  switch (GetEventKind(event)) {
    case kEventMouseDown:
      data->MOUSEDOWN = item;
      data->DRAGORIGIN = Point{SInt16(where.y), SInt16(where.x)};
      if (item) UpdateDataBrowserItems(browser, kDataBrowserNoItem, 1, &item, 0, 0);
      break;
    case kEventMouseUp:
      data->MOUSEUP = item;
      if (item) UpdateDataBrowserItems(browser, kDataBrowserNoItem, 1, &item, 0, 0);
      break;
    default:
      break;
  }
  return eventNotHandledErr;
}

void InstallMouseHandler(BrowserDataPtr data) {
  if (data->INSTALLEDMOUSEHANDLER) return;
  WindowRef window = GetControlOwner(data->browser);
  if (window == nullptr) return;
  static const EventTypeSpec kMouse[] = {
      {kEventClassMouse, kEventMouseDown}, {kEventClassMouse, kEventMouseUp}, {kEventClassMouse, kEventMouseMoved}};
  if (InstallWindowEventHandler(window, WindowMouseHandler, 3, kMouse, data->browser, &data->mouseHandler) == noErr) {
    data->mouseWindow = window;
    data->INSTALLEDMOUSEHANDLER = true;
  }
}

void RemoveMouseHandler(BrowserDataPtr data) {
  if (data->mouseHandler) RemoveEventHandler(data->mouseHandler);
  data->mouseHandler = nullptr;
  data->mouseWindow = nullptr;
  data->INSTALLEDMOUSEHANDLER = false;
}

// Ends what could call back into a browser that is going away: the timer,
// the window's mouse handler and the list view's callbacks.
void Detach(BrowserDataPtr data) {
  if (data->TIMER) RemoveEventLoopTimer(data->TIMER);
  data->TIMER = nullptr;
  RemoveMouseHandler(data);
  DataBrowserCallbacks callbacks;
  InitDataBrowserCallbacks(&callbacks);
  SetDataBrowserCallbacks(data->browser, &callbacks);
  DataBrowserCustomCallbacks custom;
  InitDataBrowserCustomCallbacks(&custom);
  SetDataBrowserCustomCallbacks(data->browser, &custom);
}

void EndTracking(BrowserDataPtr data) {
  data->TRACKING = false;
  data->CONTROLTARGET = false;
  data->MOUSEMOVED = 0;
  data->HOVERITEM = 0;
  data->partItem = 0;
  UpdateDataBrowserItems(data->browser, kDataBrowserNoItem, 0, nullptr, 0, 0);
}

OSStatus BrowserEventHandler(EventHandlerCallRef callRef, EventRef event, void* userData) {
  auto browser = static_cast<ControlRef>(userData);
  BrowserDataPtr data = GetBrowserData(browser);
  if (data == nullptr) return eventNotHandledErr;
  const EventClass cls = GetEventClass(event);
  const EventKind kind = GetEventKind(event);
  if (cls == kEventClassCommand && kind == kEventCommandProcess) {
    HICommand command{};
    GetEventParameter(event, kEventParamDirectObject, typeHICommand, nullptr, sizeof command, nullptr, &command);
    if (command.commandID == kHICommandFocusBrowser) return BrackenrowHandleFocusEvent(event);
    if (command.commandID == kHICommandRemoveItem) BrackenrowClearSelection(true, browser);
    return eventNotHandledErr;
  }
  if (cls == kEventClassKeyboard && kind == kEventRawKeyDown) {
    UInt32 code = 0;
    GetEventParameter(event, kEventParamKeyCode, typeUInt32, nullptr, sizeof code, nullptr, &code);
    if ((data->OPTIONS & kBrackenrowKeyboardRemove) && !data->EDITING && (code == 51 || code == 71 || code == 117))
      BrackenrowClearSelection(true, browser);
    return eventNotHandledErr;  // the list view still hears the key
  }
  if (cls != kEventClassControl) return eventNotHandledErr;
  switch (kind) {
    case kEventControlDraw: {
      InstallMouseHandler(data);
      Boolean plain = true;
      GetDataBrowserListViewUsePlainBackground(browser, &plain);
      if (plain) return eventNotHandledErr;
      // The list draws first; the browser's colour then fills what no row covers.
      OSStatus status = CallNextEventHandler(callRef, event);
      CGContextRef context = nullptr;
      GetEventParameter(event, kEventParamCGContextRef, typeCGContextRef, nullptr, sizeof context, nullptr,
                        &context);
      if ((data = TestBrowserData(browser)) != nullptr && context) PaintBrowserBackground(data, context);
      return status;
    }
    case kEventControlActivate:
    case kEventControlDeactivate:
      HIViewSetNeedsDisplay(browser, true);
      return eventNotHandledErr;
    case kEventControlDragEnter:
    case kEventControlDragWithin:
      data->TRACKING = true;
      return eventNotHandledErr;
    case kEventControlDragLeave:
      EndTracking(data);
      return eventNotHandledErr;
    case kEventControlDragReceive: {
      // The list finds the row under the drop again before it hands the drop
      // over (after the drag left it): the hit test must still see a drag.
      data->TRACKING = true;
      OSStatus status = CallNextEventHandler(callRef, event);
      if ((data = GetBrowserData(browser)) != nullptr) EndTracking(data);
      return status;
    }
    case kEventControlDispose: {
      // Nothing of the browser may run once the control is gone, even while
      // the host keeps the record until it releases it.
      Detach(data);
      if (data->CALLBACKS.RELEASE)
        data->CALLBACKS.RELEASE(browser, data->CALLBACKS.CONTEXT);
      else
        BrackenrowRelease(browser);
      return eventNotHandledErr;
    }
    default:
      return eventNotHandledErr;
  }
}

}  // namespace

// --- Shared helpers ----------------------------------------------------------------

BrowserDataPtr GetBrowserData(ControlRef browser) {
  BrowserDataPtr data = nullptr;
  if (browser == nullptr) {
    Err = paramErr;
    return nullptr;
  }
  Err = GetControlProperty(browser, kBrowserPropertyCreator, kBrowserPropertyDataTag, sizeof data, nullptr, &data);
  return Err == noErr ? data : nullptr;
}

BrowserDataPtr TestBrowserData(ControlRef browser) {
  BrowserDataPtr data = GetBrowserData(browser);
  return data && data->TREE ? data : nullptr;
}

CFTreeRef NodeOfItem(BrowserDataPtr data, SInt32 item) {
  if (data == nullptr || data->TREE == nullptr || item == 0) return nullptr;
  CFTreeRef node = CFTreeRecurseGetChildAtIndex(data->TREE, item);
  return node == data->TREE ? nullptr : node;
}

SInt32 ItemOfNode(CFTreeRef node) {
  NodeInfoPtr record = BrackenrowGetNode(node);
  return record ? record->INDEX : 0;
}

DataBrowserItemID RowContainerOf(BrowserDataPtr data, CFTreeRef node) {
  if (node == nullptr || node == data->FOCUS) return kDataBrowserNoItem;
  return DataBrowserItemID(ItemOfNode(node));
}

void NoteIdAdded(BrowserDataPtr data, SInt32 id) {
  if (data->idsValid) data->ids.insert(id);
}

void InvalidateIds(BrowserDataPtr data) {
  data->idsValid = false;
  data->ids.clear();
}

CGFloat PortHeightOf(ControlRef browser) {
  WindowRef window = GetControlOwner(browser);
  if (window == nullptr) return 0;
  Rect bounds{};
  GetPortBounds(GetWindowPort(window), &bounds);
  return CGFloat(bounds.bottom - bounds.top);
}

// --- Exported ---------------------------------------------------------------------

void BrackenrowAssociateNode(NodeInfoPtr node, ControlRef browser) {
  BrowserDataPtr data = GetBrowserData(browser);
  if (data == nullptr || node == nullptr) return;
  node->RELEASE = data->CALLBACKS.RELEASEITEM;
  node->CONTEXT = data->CALLBACKS.CONTEXT;
}

SInt32 BrackenrowGetUniqueIndex(SInt16 group, ControlRef browser) {
  BrowserDataPtr data = GetBrowserData(browser);
  if (data == nullptr) return 1;
  if (!data->idsValid) {
    data->ids.clear();
    if (data->TREE) CFTreeApplyFunctionToAllChildren(data->TREE, CollectIds, true, &data->ids);
    data->idsValid = true;
  }
  const SInt64 base = group > 0 ? SInt64(group) * kGroupIndexShift : 0;
  // The first ID above the group's base that no record carries.
  SInt64 candidate = base + 1;
  for (auto it = data->ids.lower_bound(SInt32(std::min<SInt64>(candidate, 0x7FFFFFFF)));
       it != data->ids.end() && *it == candidate; ++it)
    ++candidate;
  if (candidate > 0x7FFFFFFF) return 1;
  return SInt32(candidate - base);
}

void BrackenrowInitialize(ControlRef browser, BrackenrowOptions options, const BrackenrowCallbacks& callbacks) {
  if (browser == nullptr) {
    Err = paramErr;
    return;
  }
  if (GetBrowserData(browser) != nullptr) BrackenrowRelease(browser);  // bound once at a time
  BrackenrowCallbacks copy = callbacks;
  if (WindowRef window = GetControlOwner(browser)) SetAutomaticControlDragTrackingEnabledForWindow(window, true);
  if (options & kBrackenrowColumnView) SetDataBrowserViewStyle(browser, kDataBrowserColumnView);
  if (options & kBrackenrowAlternatingRowColors)
    DataBrowserChangeAttributes(browser, kDataBrowserAttributeListViewAlternatingRowColors, 0);
  if (options & kBrackenrowColorBackground) SetDataBrowserListViewUsePlainBackground(browser, false);

  DataBrowserCallbacks db;
  InitDataBrowserCallbacks(&db);
  db.u.v1.itemDataCallback = ItemData;
  db.u.v1.itemNotificationCallback = ItemNotification;
  db.u.v1.addDragItemCallback = BrowserAddDragItem;
  db.u.v1.acceptDragCallback = BrowserAcceptDrag;
  db.u.v1.receiveDragCallback = BrowserReceiveDrag;
  db.u.v1.postProcessDragCallback = BrowserPostProcessDrag;
  db.u.v1.getContextualMenuCallback = GetContextualMenu;
  db.u.v1.selectContextualMenuCallback = SelectContextualMenu;
  if (options & kBrackenrowSortRows) db.u.v1.itemCompareCallback = ItemCompare;
  SetDataBrowserCallbacks(browser, &db);
  DataBrowserCustomCallbacks custom;
  InitDataBrowserCustomCallbacks(&custom);
  custom.u.v1.drawItemCallback = BrowserDrawItem;
  custom.u.v1.editTextCallback = EditText;
  custom.u.v1.hitTestCallback = BrowserHitTest;
  custom.u.v1.trackingCallback = BrowserTracking;
  SetDataBrowserCustomCallbacks(browser, &custom);

  auto data = new BrowserData;
  data->browser = browser;
  data->CALLBACKS = copy;
  data->OPTIONS = options;
  data->DRAGCOLUMN = 'DATA';
  if (options & kBrackenrowAllocateTree) {
    // The browser's one reference to its own root.
    data->TREE = BrackenrowCreateTree(nullptr);
    data->FOCUS = data->TREE;
    data->OPTIONS |= kBrackenrowReleaseTree;
  }
  Err = SetControlProperty(browser, kBrowserPropertyCreator, kBrowserPropertyDataTag, sizeof data, &data);
  CGConvertRGBColorToCGRGB(SetRGBColor(52101, 55003, 57555), 1.0f, data->BACKGROUND);

  // Drag enter too: the list asks about the row under a drag as it enters.
  static const EventTypeSpec kEvents[] = {
      {kEventClassControl, kEventControlDraw},       {kEventClassControl, kEventControlDragEnter},
      {kEventClassControl, kEventControlDragWithin},
      {kEventClassControl, kEventControlDragLeave},  {kEventClassControl, kEventControlDragReceive},
      {kEventClassControl, kEventControlDispose},    {kEventClassControl, kEventControlActivate},
      {kEventClassControl, kEventControlDeactivate}, {kEventClassKeyboard, kEventRawKeyDown},
      {kEventClassCommand, kEventCommandProcess}};
  InstallEventHandler(GetControlEventTarget(browser), BrowserEventHandler, 10, kEvents, browser, &data->handler);
  InstallEventLoopTimer(GetMainEventLoop(), 0, 0.1, BrowserTimer, browser, &data->TIMER);
}

void BrackenrowRelease(ControlRef browser) {
  BrowserDataPtr data = GetBrowserData(browser);
  if (data == nullptr) return;
  RemoveControlProperty(browser, kBrowserPropertyCreator, kBrowserPropertyDataTag);
  Detach(data);
  if (data->handler) RemoveEventHandler(data->handler);
  if (data->TREE) {
    // The browser's own reference, and the host's when it handed it over.
    if (data->treeTakenOver) CFRelease(data->TREE);
    CFRelease(data->TREE);
  }
  if (data->SELECTION) CGImageRelease(data->SELECTION);
  delete data;
}

void BrackenrowSetOptions(ControlRef browser, BrackenrowOptions options) {
  if (BrowserDataPtr data = GetBrowserData(browser)) data->OPTIONS = options;
}

void BrackenrowRemoveCallbacks(ControlRef browser) {
  if (BrowserDataPtr data = GetBrowserData(browser)) data->CALLBACKS = BrackenrowCallbacks{};
}

void BrackenrowSetBackgroundColor(ControlRef browser, CGRGB color) {
  if (BrowserDataPtr data = GetBrowserData(browser)) data->BACKGROUND = color;
}

void BrackenrowSetSelectionImage(ControlRef browser, CGImageRef image) {
  BrowserDataPtr data = GetBrowserData(browser);
  if (data == nullptr) return;
  if (image) CGImageRetain(image);
  if (data->SELECTION) CGImageRelease(data->SELECTION);
  data->SELECTION = image;
}

void BrackenrowSetDragColumn(DataBrowserPropertyID dragColumn, ControlRef browser) {
  if (BrowserDataPtr data = GetBrowserData(browser)) data->DRAGCOLUMN = dragColumn;
}

void BrackenrowSetModified(ControlRef browser) {
  if (BrowserDataPtr data = GetBrowserData(browser)) ++data->MODIFIED;
}

SInt16 BrackenrowGetModCount(ControlRef browser) {
  BrowserDataPtr data = GetBrowserData(browser);
  return data ? SInt16(data->MODIFIED) : 0;
}

void BrackenrowResetModCount(ControlRef browser) {
  if (BrowserDataPtr data = GetBrowserData(browser)) data->MODIFIED = 0;
}

CFTreeRef BrackenrowGetTree(ControlRef browser) {
  BrowserDataPtr data = GetBrowserData(browser);
  return data ? data->TREE : nullptr;
}

UInt32 BrackenrowGetCursorState(ControlRef browser) {
  BrowserDataPtr data = GetBrowserData(browser);
  return data ? data->CURSORSTATE : 0;
}

CGPoint BrackenrowGetCursorLocation(ControlRef browser) {
  BrowserDataPtr data = GetBrowserData(browser);
  return data ? data->CURSORLOCATION : CGPoint{0, 0};
}
