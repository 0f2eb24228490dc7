// The list control's model and its calls: items in containers, open state,
// selection and anchor, sorting through the host's compare callback, counts,
// iteration by state, reveal and scroll position. Every notification goes to
// the host as it happens; the host may add or remove rows from inside it, so
// loops work on copies and look items up again after each call.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <unordered_map>

#include "DataBrowserInternal.h"

namespace {

std::unordered_map<__CView*, DBRecord*>& Records() {
  static auto* records = new std::unordered_map<__CView*, DBRecord*>;
  return *records;
}

bool Known(DBRecord* rec, DataBrowserItemID id) { return rec->items.count(id) != 0; }

void Flatten(DBRecord* rec, DataBrowserItemID container, int depth) {
  auto it = rec->items.find(container);
  if (it == rec->items.end()) return;
  std::vector<DataBrowserItemID> kids = it->second.children;
  for (DataBrowserItemID id : kids) {
    auto child = rec->items.find(id);
    if (child == rec->items.end()) continue;
    child->second.depth = depth;
    rec->rows.push_back(id);
    if (child->second.open) Flatten(rec, id, depth + 1);
  }
}

bool Before(DBRecord* rec, DataBrowserItemID a, DataBrowserItemID b) {
  auto compare = rec->callbacks.u.v1.itemCompareCallback;
  ControlRef ref = reinterpret_cast<ControlRef>(rec->view);
  if (rec->sortOrder == kDataBrowserOrderDecreasing) return compare(ref, b, a, rec->sortProperty);
  return compare(ref, a, b, rec->sortProperty);
}

bool Sorting(DBRecord* rec) {
  return rec->callbacks.u.v1.itemCompareCallback != nullptr && rec->sortOrder != kDataBrowserOrderUndefined;
}

void SortChildren(DBRecord* rec, DataBrowserItemID container, bool recurse) {
  auto it = rec->items.find(container);
  if (it == rec->items.end()) return;
  std::vector<DataBrowserItemID> kids = it->second.children;
  if (Sorting(rec)) std::stable_sort(kids.begin(), kids.end(), [rec](auto a, auto b) { return Before(rec, a, b); });
  it = rec->items.find(container);  // the compare callback may change the items
  if (it == rec->items.end()) return;
  std::vector<DataBrowserItemID> kept;
  for (auto id : kids)
    if (Known(rec, id) && rec->items[id].container == container) kept.push_back(id);
  it->second.children = kept;
  rec->rowsValid = false;
  if (recurse)
    for (auto id : kept) SortChildren(rec, id, true);
}

// Takes the item and everything inside it out of the model; the removed IDs
// come back in row order.
void Detach(DBRecord* rec, DataBrowserItemID id, std::vector<DataBrowserItemID>* removed) {
  auto it = rec->items.find(id);
  if (it == rec->items.end()) return;
  removed->push_back(id);
  if (it->second.selected) rec->lostSelection = true;
  std::vector<DataBrowserItemID> kids = it->second.children;
  for (auto k : kids) Detach(rec, k, removed);
  if (rec->editItem == id) DBEndEdit(rec, false);
  auto again = rec->items.find(id);
  if (again == rec->items.end()) return;
  if (id != 0) {
    auto parent = rec->items.find(again->second.container);
    if (parent != rec->items.end()) {
      auto& c = parent->second.children;
      c.erase(std::remove(c.begin(), c.end(), id), c.end());
    }
    rec->items.erase(id);
  } else {
    again->second.children.clear();
  }
}

// Items inside the container (recursively through open containers), in row order.
void Collect(DBRecord* rec, DataBrowserItemID container, bool recurse, std::vector<DataBrowserItemID>* out) {
  auto it = rec->items.find(container);
  if (it == rec->items.end()) return;
  std::vector<DataBrowserItemID> kids = it->second.children;
  for (auto id : kids) {
    out->push_back(id);
    if (recurse) Collect(rec, id, true, out);
  }
}

bool Matches(DBRecord* rec, DataBrowserItemID id, DataBrowserItemState state) {
  if (state == kDataBrowserItemAnyState) return true;
  DataBrowserItemState s = DBState(rec, id);
  if (state == kDataBrowserItemNoState) return s == 0;
  return (s & state) != 0;
}

void Removed(DBRecord* rec, const std::vector<DataBrowserItemID>& removed, bool selectionChanged) {
  rec->rowsValid = false;
  if (std::find(removed.begin(), removed.end(), rec->anchorFirst) != removed.end()) rec->anchorFirst = 0;
  if (std::find(removed.begin(), removed.end(), rec->anchorLast) != removed.end()) rec->anchorLast = 0;
  if (std::find(removed.begin(), removed.end(), rec->dragTarget) != removed.end()) rec->dragTarget = 0;
  DBClampScroll(rec);
  DBInvalidate(rec);
  for (auto id : removed) DBNotify(rec, id, kDataBrowserItemRemoved);
  if (selectionChanged) DBNotify(rec, kDataBrowserNoItem, kDataBrowserSelectionSetChanged);
}

}  // namespace

// ---------------------------------------------------------------------------
// Shared with the view

DBRecord* DBRecordOf(ControlRef browser) {
  if (!ViewIsLive(browser)) return nullptr;
  auto it = Records().find(ViewOf(browser));
  return it == Records().end() ? nullptr : it->second;
}

const std::vector<DataBrowserItemID>& DBRows(DBRecord* rec) {
  if (!rec->rowsValid) {
    rec->rows.clear();
    Flatten(rec, 0, 0);
    rec->rowsValid = true;
  }
  return rec->rows;
}

void DBNotify(DBRecord* rec, DataBrowserItemID item, DataBrowserItemNotification message) {
  if (auto notify = rec->callbacks.u.v1.itemNotificationCallback)
    notify(reinterpret_cast<ControlRef>(rec->view), item, message);
}

DataBrowserItemState DBState(DBRecord* rec, DataBrowserItemID item) {
  auto it = rec->items.find(item);
  if (it == rec->items.end() || item == 0) return 0;
  DataBrowserItemState s = 0;
  if (it->second.selected) s |= kDataBrowserItemIsSelected;
  if (it->second.open) s |= kDataBrowserContainerIsOpen;
  if (rec->dragTarget == item && rec->dragAccepted) s |= kDataBrowserItemIsDragTarget;
  return s;
}

bool DBAskBoolean(DBRecord* rec, DataBrowserItemID item, DataBrowserPropertyID property, bool fallback) {
  auto data = rec->callbacks.u.v1.itemDataCallback;
  if (data == nullptr) return fallback;
  OpaqueDataBrowserItemDataRef cell;
  cell.property = property;
  cell.boolean = fallback;
  data(reinterpret_cast<ControlRef>(rec->view), item, property, &cell, false);
  if (cell.text) CFRelease(cell.text);
  return cell.boolean != 0;
}

bool DBIsContainer(DBRecord* rec, DataBrowserItemID item) {
  if (item == 0) return true;
  return DBAskBoolean(rec, item, kDataBrowserItemIsContainerProperty, false);
}

CGFloat DBMetric(DBRecord* rec, DataBrowserMetric metric) {
  return metric >= 1 && metric <= 5 ? rec->metrics[metric] : 0;
}

void DBInvalidate(DBRecord* rec) {
  if (ViewIsLive(reinterpret_cast<HIViewRef>(rec->view))) ViewInvalidate(rec->view);
}

void DBClampScroll(DBRecord* rec) {
  CGFloat content = CGFloat(DBRows(rec).size()) * rec->rowHeight;
  CGFloat shown = rec->view->frame.size.height - rec->headerHeight;
  rec->scroll.y = std::max<CGFloat>(0, std::min(rec->scroll.y, content - shown));
  CGFloat width = 0;
  for (auto& c : rec->columns) width += c.width;
  rec->scroll.x = std::max<CGFloat>(0, std::min(rec->scroll.x, width - rec->view->frame.size.width));
}

void DBRevealRow(DBRecord* rec, DataBrowserItemID item, bool center) {
  const auto& rows = DBRows(rec);
  auto at = std::find(rows.begin(), rows.end(), item);
  if (at == rows.end()) return;
  CGFloat top = CGFloat(at - rows.begin()) * rec->rowHeight;
  CGFloat shown = std::max<CGFloat>(rec->rowHeight, rec->view->frame.size.height - rec->headerHeight);
  if (center)
    rec->scroll.y = top - (shown - rec->rowHeight) / 2;
  else if (top < rec->scroll.y)
    rec->scroll.y = top;
  else if (top + rec->rowHeight > rec->scroll.y + shown)
    rec->scroll.y = top + rec->rowHeight - shown;
  DBClampScroll(rec);
  DBInvalidate(rec);
}

void DBSelect(DBRecord* rec, const std::vector<DataBrowserItemID>& given, DataBrowserSetOption op) {
  std::vector<DataBrowserItemID> items;
  for (auto id : given)
    if (id != 0 && Known(rec, id) && std::find(items.begin(), items.end(), id) == items.end()) items.push_back(id);
  // Decide every item's new state first, then tell the host.
  std::vector<std::pair<DataBrowserItemID, bool>> changes;
  auto want = [&](DataBrowserItemID id, bool on) {
    if (rec->items[id].selected != on) changes.emplace_back(id, on);
  };
  if (op == kDataBrowserItemsAssign) {
    for (auto id : DBRows(rec))
      if (std::find(items.begin(), items.end(), id) == items.end()) want(id, false);
    for (auto& [id, item] : rec->items)
      if (id != 0 && item.selected && std::find(items.begin(), items.end(), id) == items.end() &&
          std::find(DBRows(rec).begin(), DBRows(rec).end(), id) == DBRows(rec).end())
        want(id, false);
  }
  for (auto id : items) {
    bool on = op == kDataBrowserItemsRemove ? false : op == kDataBrowserItemsToggle ? !rec->items[id].selected : true;
    if (on && !DBAskBoolean(rec, id, kDataBrowserItemIsSelectableProperty, true)) continue;
    want(id, on);
  }
  if ((rec->selectionFlags & kDataBrowserSelectOnlyOne) && op != kDataBrowserItemsRemove) {
    // Only the last item chosen stays selected.
    DataBrowserItemID keep = 0;
    for (auto& [id, on] : changes)
      if (on) keep = id;
    if (keep) {
      changes.erase(std::remove_if(changes.begin(), changes.end(), [&](auto& c) { return c.second && c.first != keep; }),
                    changes.end());
      for (auto& entry : rec->items) {
        const DataBrowserItemID id = entry.first;
        if (id != 0 && id != keep && entry.second.selected &&
            std::find_if(changes.begin(), changes.end(), [&](auto& c) { return c.first == id; }) == changes.end())
          changes.emplace_back(id, false);
      }
    }
  }
  if (changes.empty()) return;
  for (auto& [id, on] : changes) rec->items[id].selected = on;
  // The anchor follows the selection's first and last rows.
  rec->anchorFirst = rec->anchorLast = 0;
  for (auto id : DBRows(rec))
    if (rec->items[id].selected) {
      if (!rec->anchorFirst) rec->anchorFirst = id;
      rec->anchorLast = id;
    }
  DBInvalidate(rec);
  for (auto& [id, on] : changes)
    if (Known(rec, id)) DBNotify(rec, id, on ? kDataBrowserItemSelected : kDataBrowserItemDeselected);
  DBNotify(rec, kDataBrowserNoItem, kDataBrowserSelectionSetChanged);
}

OSStatus DBToggle(DBRecord* rec, DataBrowserItemID item, bool byUser) {
  if (!Known(rec, item) || item == 0) return errDataBrowserItemNotFound;
  if (!DBIsContainer(rec, item)) return errDataBrowserItemNotFound;
  if (byUser) {
    DBNotify(rec, item, kDataBrowserUserToggledContainer);
    if (!Known(rec, item)) return noErr;
  }
  ControlRef ref = reinterpret_cast<ControlRef>(rec->view);
  return rec->items[item].open ? CloseDataBrowserContainer(ref, item) : OpenDataBrowserContainer(ref, item);
}

// ---------------------------------------------------------------------------
// The control

OSStatus CreateDataBrowserControl(WindowRef window, const Rect* boundsRect, DataBrowserViewStyle style,
                                  ControlRef* outControl) {
  if (outControl == nullptr || boundsRect == nullptr) return paramErr;
  *outControl = nullptr;
  CGRect frame{{CGFloat(boundsRect->left), CGFloat(boundsRect->top)},
               {CGFloat(boundsRect->right - boundsRect->left), CGFloat(boundsRect->bottom - boundsRect->top)}};
  __CView* view = ViewCreateStandard(kControlKindDataBrowser, frame);
  if (view == nullptr) return memFullErr;
  auto* rec = new DBRecord;
  rec->view = view;
  rec->style = style == kDataBrowserColumnView ? kDataBrowserColumnView : kDataBrowserListView;
  rec->items[0] = DBItem{};
  rec->items[0].open = true;
  InitDataBrowserCallbacks(&rec->callbacks);
  InitDataBrowserCustomCallbacks(&rec->custom);
  Records()[view] = rec;
  DBInstallView(rec);
  if (window) ViewEmbedInWindow(window, view);
  *outControl = reinterpret_cast<ControlRef>(view);
  return noErr;
}

void DBForget(DBRecord* rec) {
  if (rec->springTimer) RemoveEventLoopTimer(rec->springTimer);
  for (auto& c : rec->columns)
    if (c.title) CFRelease(c.title);
  Records().erase(rec->view);
  delete rec;
}

#define RECORD(browser)                              \
  DBRecord* rec = DBRecordOf(browser);               \
  if (rec == nullptr) return errUnknownControl;

OSStatus InitDataBrowserCallbacks(DataBrowserCallbacks* callbacks) {
  if (callbacks == nullptr) return paramErr;
  memset(callbacks, 0, sizeof *callbacks);
  callbacks->version = kDataBrowserLatestCallbacks;
  return noErr;
}
OSStatus InitDataBrowserCustomCallbacks(DataBrowserCustomCallbacks* callbacks) {
  if (callbacks == nullptr) return paramErr;
  memset(callbacks, 0, sizeof *callbacks);
  callbacks->version = kDataBrowserLatestCustomCallbacks;
  return noErr;
}
OSStatus SetDataBrowserCallbacks(ControlRef browser, const DataBrowserCallbacks* callbacks) {
  RECORD(browser);
  if (callbacks == nullptr) return paramErr;
  rec->callbacks = *callbacks;
  rec->rowsValid = false;
  return noErr;
}
OSStatus GetDataBrowserCallbacks(ControlRef browser, DataBrowserCallbacks* callbacks) {
  RECORD(browser);
  if (callbacks == nullptr) return paramErr;
  *callbacks = rec->callbacks;
  return noErr;
}
OSStatus SetDataBrowserCustomCallbacks(ControlRef browser, const DataBrowserCustomCallbacks* callbacks) {
  RECORD(browser);
  if (callbacks == nullptr) return paramErr;
  rec->custom = *callbacks;
  return noErr;
}
OSStatus GetDataBrowserCustomCallbacks(ControlRef browser, DataBrowserCustomCallbacks* callbacks) {
  RECORD(browser);
  if (callbacks == nullptr) return paramErr;
  *callbacks = rec->custom;
  return noErr;
}

OSStatus SetDataBrowserViewStyle(ControlRef browser, DataBrowserViewStyle style) {
  RECORD(browser);
  if (style != kDataBrowserListView && style != kDataBrowserColumnView) return paramErr;
  rec->style = style;  // remembered; the browser draws as a list
  return noErr;
}
OSStatus GetDataBrowserViewStyle(ControlRef browser, DataBrowserViewStyle* style) {
  RECORD(browser);
  if (style == nullptr) return paramErr;
  *style = rec->style;
  return noErr;
}
OSStatus DataBrowserChangeAttributes(ControlRef browser, DataBrowserAttributes toSet, DataBrowserAttributes toClear) {
  RECORD(browser);
  rec->attributes = (rec->attributes | toSet) & ~toClear;
  DBInvalidate(rec);
  return noErr;
}
OSStatus DataBrowserGetAttributes(ControlRef browser, DataBrowserAttributes* attributes) {
  RECORD(browser);
  if (attributes == nullptr) return paramErr;
  *attributes = rec->attributes;
  return noErr;
}
OSStatus SetDataBrowserListViewUsePlainBackground(ControlRef browser, Boolean usePlain) {
  RECORD(browser);
  rec->plainBackground = usePlain != 0;
  DBInvalidate(rec);
  return noErr;
}
OSStatus GetDataBrowserListViewUsePlainBackground(ControlRef browser, Boolean* usePlain) {
  RECORD(browser);
  if (usePlain == nullptr) return paramErr;
  *usePlain = rec->plainBackground;
  return noErr;
}
OSStatus SetDataBrowserHasScrollBars(ControlRef browser, Boolean horiz, Boolean vert) {
  RECORD(browser);
  rec->hScroll = horiz;
  rec->vScroll = vert;
  DBInvalidate(rec);
  return noErr;
}
OSStatus GetDataBrowserHasScrollBars(ControlRef browser, Boolean* horiz, Boolean* vert) {
  RECORD(browser);
  if (horiz) *horiz = rec->hScroll;
  if (vert) *vert = rec->vScroll;
  return noErr;
}
OSStatus SetDataBrowserSelectionFlags(ControlRef browser, DataBrowserSelectionFlags flags) {
  RECORD(browser);
  rec->selectionFlags = flags;
  return noErr;
}
OSStatus GetDataBrowserSelectionFlags(ControlRef browser, DataBrowserSelectionFlags* flags) {
  RECORD(browser);
  if (flags == nullptr) return paramErr;
  *flags = rec->selectionFlags;
  return noErr;
}
OSStatus SetDataBrowserTarget(ControlRef browser, DataBrowserItemID target) {
  RECORD(browser);
  rec->target = target;
  DBNotify(rec, target, kDataBrowserTargetChanged);
  return noErr;
}
OSStatus GetDataBrowserTarget(ControlRef browser, DataBrowserItemID* target) {
  RECORD(browser);
  if (target == nullptr) return paramErr;
  *target = rec->target;
  return noErr;
}
OSStatus SetDataBrowserMetric(ControlRef browser, DataBrowserMetric metric, Boolean useDefaultValue, CGFloat value) {
  RECORD(browser);
  if (metric < 1 || metric > 5) return paramErr;
  static const CGFloat defaults[6] = {0, 2, 5, 2, 2, 16};
  rec->metricSet[metric] = !useDefaultValue;
  rec->metrics[metric] = useDefaultValue ? defaults[metric] : value;
  DBInvalidate(rec);
  return noErr;
}
OSStatus GetDataBrowserMetric(ControlRef browser, DataBrowserMetric metric, Boolean* usingDefaultValue,
                              CGFloat* value) {
  RECORD(browser);
  if (metric < 1 || metric > 5) return paramErr;
  if (usingDefaultValue) *usingDefaultValue = !rec->metricSet[metric];
  if (value) *value = rec->metrics[metric];
  return noErr;
}

// ---------------------------------------------------------------------------
// Columns

static DBColumn* Column(DBRecord* rec, DataBrowserPropertyID property) {
  for (auto& c : rec->columns)
    if (c.desc.propertyID == property) return &c;
  return nullptr;
}

OSStatus AddDataBrowserListViewColumn(ControlRef browser, DataBrowserListViewColumnDesc* columnDesc,
                                      DataBrowserTableViewColumnIndex position) {
  RECORD(browser);
  if (columnDesc == nullptr) return paramErr;
  if (columnDesc->propertyDesc.propertyID <= kDataBrowserItemParentContainerProperty ||
      Column(rec, columnDesc->propertyDesc.propertyID))
    return errDataBrowserInvalidPropertyData;
  DBColumn c;
  c.desc = columnDesc->propertyDesc;
  c.minWidth = columnDesc->headerBtnDesc.minimumWidth;
  c.maxWidth = columnDesc->headerBtnDesc.maximumWidth ? columnDesc->headerBtnDesc.maximumWidth : 0xFFFF;
  c.width = std::clamp<UInt16>(120, c.minWidth, std::max(c.minWidth, c.maxWidth));
  if (columnDesc->headerBtnDesc.titleString) c.title = CFStringCreateCopy(nullptr, columnDesc->headerBtnDesc.titleString);
  if (position >= rec->columns.size())
    rec->columns.push_back(c);
  else
    rec->columns.insert(rec->columns.begin() + position, c);
  DBInvalidate(rec);
  return noErr;
}
OSStatus RemoveDataBrowserTableViewColumn(ControlRef browser, DataBrowserTableViewColumnID column) {
  RECORD(browser);
  for (auto it = rec->columns.begin(); it != rec->columns.end(); ++it)
    if (it->desc.propertyID == column) {
      if (it->title) CFRelease(it->title);
      rec->columns.erase(it);
      if (rec->disclosureColumn == column) rec->disclosureColumn = 0;
      DBInvalidate(rec);
      return noErr;
    }
  return errDataBrowserPropertyNotFound;
}
OSStatus GetDataBrowserTableViewColumnCount(ControlRef browser, UInt32* numColumns) {
  RECORD(browser);
  if (numColumns == nullptr) return paramErr;
  *numColumns = UInt32(rec->columns.size());
  return noErr;
}
OSStatus GetDataBrowserTableViewColumnProperty(ControlRef browser, DataBrowserTableViewColumnIndex column,
                                               DataBrowserTableViewColumnID* property) {
  RECORD(browser);
  if (property == nullptr) return paramErr;
  if (column >= rec->columns.size()) return errDataBrowserPropertyNotFound;
  *property = rec->columns[column].desc.propertyID;
  return noErr;
}
OSStatus GetDataBrowserTableViewColumnPosition(ControlRef browser, DataBrowserTableViewColumnID column,
                                               DataBrowserTableViewColumnIndex* position) {
  RECORD(browser);
  if (position == nullptr) return paramErr;
  for (size_t i = 0; i < rec->columns.size(); ++i)
    if (rec->columns[i].desc.propertyID == column) {
      *position = DataBrowserTableViewColumnIndex(i);
      return noErr;
    }
  return errDataBrowserPropertyNotFound;
}
OSStatus SetDataBrowserTableViewNamedColumnWidth(ControlRef browser, DataBrowserTableViewColumnID column,
                                                 UInt16 width) {
  RECORD(browser);
  DBColumn* c = Column(rec, column);
  if (c == nullptr) return errDataBrowserPropertyNotFound;
  c->width = std::clamp<UInt16>(width, c->minWidth, std::max(c->minWidth, c->maxWidth));
  c->widthSet = true;
  DBInvalidate(rec);
  return noErr;
}
OSStatus GetDataBrowserTableViewNamedColumnWidth(ControlRef browser, DataBrowserTableViewColumnID column,
                                                 UInt16* width) {
  RECORD(browser);
  DBColumn* c = Column(rec, column);
  if (c == nullptr) return errDataBrowserPropertyNotFound;
  if (width == nullptr) return paramErr;
  *width = c->width;
  return noErr;
}
OSStatus SetDataBrowserListViewDisclosureColumn(ControlRef browser, DataBrowserTableViewColumnID column,
                                                Boolean expandableRows) {
  RECORD(browser);
  if (column != 0 && Column(rec, column) == nullptr) return errDataBrowserPropertyNotFound;
  rec->disclosureColumn = column;
  rec->expandableRows = expandableRows;
  DBInvalidate(rec);
  return noErr;
}
OSStatus GetDataBrowserListViewDisclosureColumn(ControlRef browser, DataBrowserTableViewColumnID* column,
                                                Boolean* expandableRows) {
  RECORD(browser);
  if (column) *column = rec->disclosureColumn;
  if (expandableRows) *expandableRows = rec->expandableRows;
  return noErr;
}
OSStatus SetDataBrowserListViewHeaderBtnHeight(ControlRef browser, UInt16 height) {
  RECORD(browser);
  rec->headerHeight = height;
  DBClampScroll(rec);
  DBInvalidate(rec);
  return noErr;
}
OSStatus GetDataBrowserListViewHeaderBtnHeight(ControlRef browser, UInt16* height) {
  RECORD(browser);
  if (height == nullptr) return paramErr;
  *height = rec->headerHeight;
  return noErr;
}
OSStatus SetDataBrowserTableViewRowHeight(ControlRef browser, UInt16 height) {
  RECORD(browser);
  if (height == 0) return paramErr;
  rec->rowHeight = height;
  DBClampScroll(rec);
  DBInvalidate(rec);
  return noErr;
}
OSStatus GetDataBrowserTableViewRowHeight(ControlRef browser, UInt16* height) {
  RECORD(browser);
  if (height == nullptr) return paramErr;
  *height = rec->rowHeight;
  return noErr;
}
OSStatus SetDataBrowserTableViewHiliteStyle(ControlRef browser, DataBrowserTableViewHiliteStyle hiliteStyle) {
  RECORD(browser);
  rec->hilite = hiliteStyle;
  DBInvalidate(rec);
  return noErr;
}
OSStatus GetDataBrowserTableViewHiliteStyle(ControlRef browser, DataBrowserTableViewHiliteStyle* hiliteStyle) {
  RECORD(browser);
  if (hiliteStyle == nullptr) return paramErr;
  *hiliteStyle = rec->hilite;
  return noErr;
}

// ---------------------------------------------------------------------------
// Sorting

OSStatus SetDataBrowserSortProperty(ControlRef browser, DataBrowserPropertyID property) {
  RECORD(browser);
  rec->sortProperty = property;
  SortChildren(rec, 0, true);
  DBInvalidate(rec);
  return noErr;
}
OSStatus GetDataBrowserSortProperty(ControlRef browser, DataBrowserPropertyID* property) {
  RECORD(browser);
  if (property == nullptr) return paramErr;
  *property = rec->sortProperty;
  return noErr;
}
OSStatus SetDataBrowserSortOrder(ControlRef browser, DataBrowserSortOrder order) {
  RECORD(browser);
  if (order > kDataBrowserOrderDecreasing) return paramErr;
  rec->sortOrder = order;
  SortChildren(rec, 0, true);
  DBInvalidate(rec);
  return noErr;
}
OSStatus GetDataBrowserSortOrder(ControlRef browser, DataBrowserSortOrder* order) {
  RECORD(browser);
  if (order == nullptr) return paramErr;
  *order = rec->sortOrder;
  return noErr;
}
OSStatus SortDataBrowserContainer(ControlRef browser, DataBrowserItemID container, Boolean sortChildren) {
  RECORD(browser);
  if (!Known(rec, container)) return errDataBrowserItemNotFound;
  DBNotify(rec, container, kDataBrowserContainerSorting);
  SortChildren(rec, container, sortChildren);
  DBInvalidate(rec);
  DBNotify(rec, container, kDataBrowserContainerSorted);
  return noErr;
}

// ---------------------------------------------------------------------------
// Items

OSStatus AddDataBrowserItems(ControlRef browser, DataBrowserItemID container, UInt32 numItems,
                             const DataBrowserItemID* items, DataBrowserPropertyID preSortProperty) {
  RECORD(browser);
  if (numItems > 0 && items == nullptr) return paramErr;
  auto parent = rec->items.find(container);
  if (parent == rec->items.end()) return errDataBrowserItemNotFound;
  if (container != 0 && !parent->second.open) return errDataBrowserItemNotAdded;
  std::vector<DataBrowserItemID> added;
  int depth = container == 0 ? 0 : parent->second.depth + 1;
  for (UInt32 i = 0; i < numItems; ++i) {
    DataBrowserItemID id = items[i];
    if (id == 0 || Known(rec, id)) continue;
    DBItem item;
    item.id = id;
    item.container = container;
    item.depth = depth;
    rec->items[id] = item;
    added.push_back(id);
  }
  if (added.empty()) return noErr;
  auto& kids = rec->items[container].children;
  if (Sorting(rec)) {
    // Each new item goes to its place among the sorted rows.
    for (auto id : added) {
      auto& now = rec->items[container].children;
      auto at = std::upper_bound(now.begin(), now.end(), id, [rec](auto a, auto b) { return Before(rec, a, b); });
      rec->items[container].children.insert(rec->items[container].children.begin() + (at - now.begin()), id);
    }
  } else {
    kids.insert(kids.end(), added.begin(), added.end());
  }
  (void)preSortProperty;
  rec->rowsValid = false;
  DBInvalidate(rec);
  for (auto id : added)
    if (Known(rec, id)) DBNotify(rec, id, kDataBrowserItemAdded);
  return noErr;
}

OSStatus RemoveDataBrowserItems(ControlRef browser, DataBrowserItemID container, UInt32 numItems,
                                const DataBrowserItemID* items, DataBrowserPropertyID) {
  RECORD(browser);
  if (numItems > 0 && items == nullptr) return paramErr;
  if (!Known(rec, container)) return errDataBrowserItemNotFound;
  std::vector<DataBrowserItemID> targets;
  if (numItems == 0) {
    targets = rec->items[container].children;
  } else {
    for (UInt32 i = 0; i < numItems; ++i) {
      auto it = rec->items.find(items[i]);
      // An item must be inside the container named (the top level takes any).
      if (items[i] == 0 || it == rec->items.end() || (container != 0 && it->second.container != container))
        return errDataBrowserItemNotFound;
      targets.push_back(items[i]);
    }
  }
  std::vector<DataBrowserItemID> removed;
  rec->lostSelection = false;
  for (auto id : targets) Detach(rec, id, &removed);
  // The selection changes whenever a selected item goes.
  Removed(rec, removed, rec->lostSelection);
  return noErr;
}

OSStatus UpdateDataBrowserItems(ControlRef browser, DataBrowserItemID container, UInt32 numItems,
                                const DataBrowserItemID* items, DataBrowserPropertyID preSortProperty,
                                DataBrowserPropertyID) {
  RECORD(browser);
  if (numItems > 0 && items == nullptr) return paramErr;
  if (preSortProperty != 0 && Sorting(rec)) SortChildren(rec, container, false);
  DBInvalidate(rec);
  return noErr;
}

OSStatus GetDataBrowserItems(ControlRef browser, DataBrowserItemID container, Boolean recurse,
                             DataBrowserItemState state, Handle items) {
  RECORD(browser);
  if (items == nullptr) return paramErr;
  if (!Known(rec, container)) return errDataBrowserItemNotFound;
  std::vector<DataBrowserItemID> all, chosen;
  Collect(rec, container, recurse, &all);
  for (auto id : all)
    if (Matches(rec, id, state)) chosen.push_back(id);
  Size old = GetHandleSize(items);
  SetHandleSize(items, old + Size(chosen.size() * sizeof(DataBrowserItemID)));
  if (MemError() != noErr) return memFullErr;
  if (!chosen.empty()) memcpy(*items + old, chosen.data(), chosen.size() * sizeof(DataBrowserItemID));
  return noErr;
}

OSStatus GetDataBrowserItemCount(ControlRef browser, DataBrowserItemID container, Boolean recurse,
                                 DataBrowserItemState state, UInt32* numItems) {
  RECORD(browser);
  if (numItems == nullptr) return paramErr;
  *numItems = 0;
  if (!Known(rec, container)) return errDataBrowserItemNotFound;
  std::vector<DataBrowserItemID> all;
  Collect(rec, container, recurse, &all);
  for (auto id : all)
    if (Matches(rec, id, state)) ++*numItems;
  return noErr;
}

OSStatus ForEachDataBrowserItem(ControlRef browser, DataBrowserItemID container, Boolean recurse,
                                DataBrowserItemState state, DataBrowserItemUPP callback, void* clientData) {
  RECORD(browser);
  if (callback == nullptr) return paramErr;
  if (!Known(rec, container)) return errDataBrowserItemNotFound;
  std::vector<DataBrowserItemID> all;
  Collect(rec, container, recurse, &all);
  for (auto id : all) {
    // The callback may remove items: those already gone are skipped.
    if (DBRecordOf(browser) != rec) break;
    if (Known(rec, id) && Matches(rec, id, state)) callback(id, DBState(rec, id), clientData);
  }
  return noErr;
}

OSStatus GetDataBrowserItemState(ControlRef browser, DataBrowserItemID item, DataBrowserItemState* state) {
  RECORD(browser);
  if (state == nullptr) return paramErr;
  if (item == 0 || !Known(rec, item)) return errDataBrowserItemNotFound;
  *state = DBState(rec, item);
  return noErr;
}

Boolean IsDataBrowserItemSelected(ControlRef browser, DataBrowserItemID item) {
  DBRecord* rec = DBRecordOf(browser);
  return rec && item != 0 && Known(rec, item) && rec->items[item].selected;
}

OSStatus OpenDataBrowserContainer(ControlRef browser, DataBrowserItemID container) {
  RECORD(browser);
  if (container == 0 || !Known(rec, container)) return errDataBrowserItemNotFound;
  if (rec->items[container].open) return noErr;
  if (!DBIsContainer(rec, container)) return errDataBrowserItemNotFound;
  if (!DBAskBoolean(rec, container, kDataBrowserContainerIsOpenableProperty, true)) return noErr;
  rec->items[container].open = true;
  rec->rowsValid = false;
  DBInvalidate(rec);
  // The host adds the children from here.
  DBNotify(rec, container, kDataBrowserContainerOpened);
  if (Known(rec, container) && Sorting(rec)) SortChildren(rec, container, false);
  return noErr;
}

OSStatus CloseDataBrowserContainer(ControlRef browser, DataBrowserItemID container) {
  RECORD(browser);
  if (container == 0 || !Known(rec, container)) return errDataBrowserItemNotFound;
  if (!rec->items[container].open) return noErr;
  if (!DBAskBoolean(rec, container, kDataBrowserContainerIsClosableProperty, true)) return noErr;
  DBNotify(rec, container, kDataBrowserContainerClosing);
  if (!Known(rec, container)) return noErr;
  std::vector<DataBrowserItemID> kids = rec->items[container].children, removed;
  rec->lostSelection = false;
  for (auto id : kids) Detach(rec, id, &removed);
  if (Known(rec, container)) rec->items[container].open = false;
  Removed(rec, removed, rec->lostSelection);
  DBNotify(rec, container, kDataBrowserContainerClosed);
  return noErr;
}

// ---------------------------------------------------------------------------
// Selection

OSStatus SetDataBrowserSelectedItems(ControlRef browser, UInt32 numItems, const DataBrowserItemID* items,
                                     DataBrowserSetOption operation) {
  RECORD(browser);
  if (numItems > 0 && items == nullptr) return paramErr;
  if (operation > kDataBrowserItemsRemove) return paramErr;
  DBSelect(rec, std::vector<DataBrowserItemID>(items, items + numItems), operation);
  return noErr;
}

OSStatus GetDataBrowserSelectionAnchor(ControlRef browser, DataBrowserItemID* first, DataBrowserItemID* last) {
  RECORD(browser);
  if (first) *first = rec->anchorFirst;
  if (last) *last = rec->anchorLast;
  return noErr;
}

OSStatus MoveDataBrowserSelectionAnchor(ControlRef browser, DataBrowserSelectionAnchorDirection direction,
                                        Boolean extendSelection) {
  RECORD(browser);
  const auto rows = DBRows(rec);
  if (rows.empty()) return noErr;
  ControlRef ref = browser;
  if (direction == kDataBrowserSelectionAnchorLeft || direction == kDataBrowserSelectionAnchorRight) {
    // Left closes the container under the anchor, right opens it.
    DataBrowserItemID item = rec->anchorLast;
    if (item == 0) return noErr;
    bool open = rec->items[item].open;
    if ((direction == kDataBrowserSelectionAnchorRight) != open && DBIsContainer(rec, item)) DBToggle(rec, item, true);
    (void)ref;
    return noErr;
  }
  bool down = direction == kDataBrowserSelectionAnchorDown;
  DataBrowserItemID from = down ? rec->anchorLast : rec->anchorFirst;
  auto at = std::find(rows.begin(), rows.end(), from);
  size_t index;
  if (at == rows.end())
    index = down ? 0 : rows.size() - 1;
  else if (down)
    index = std::min(rows.size() - 1, size_t(at - rows.begin()) + 1);
  else
    index = at == rows.begin() ? 0 : size_t(at - rows.begin()) - 1;
  DataBrowserItemID next = rows[index];
  if (extendSelection && !(rec->selectionFlags & kDataBrowserSelectOnlyOne))
    DBSelect(rec, {next}, kDataBrowserItemsAdd);
  else
    DBSelect(rec, {next}, kDataBrowserItemsAssign);
  if (Known(rec, next)) DBRevealRow(rec, next, false);
  return noErr;
}

OSStatus RevealDataBrowserItem(ControlRef browser, DataBrowserItemID item, DataBrowserPropertyID,
                               DataBrowserRevealOptions options) {
  RECORD(browser);
  if (item == 0 || !Known(rec, item)) return errDataBrowserItemNotFound;
  // Every container above the item is open already (an item exists only
  // inside an open container); the row comes into view.
  DBRevealRow(rec, item, (options & kDataBrowserRevealAndCenterInView) != 0);
  return noErr;
}

// ---------------------------------------------------------------------------
// Rows and scrolling

OSStatus GetDataBrowserTableViewItemRow(ControlRef browser, DataBrowserItemID item,
                                        DataBrowserTableViewRowIndex* row) {
  RECORD(browser);
  if (row == nullptr) return paramErr;
  const auto& rows = DBRows(rec);
  auto at = std::find(rows.begin(), rows.end(), item);
  if (item == 0 || at == rows.end()) return errDataBrowserItemNotFound;
  *row = DataBrowserTableViewRowIndex(at - rows.begin());
  return noErr;
}

OSStatus SetDataBrowserTableViewItemRow(ControlRef browser, DataBrowserItemID item, DataBrowserTableViewRowIndex row) {
  RECORD(browser);
  if (item == 0 || !Known(rec, item)) return errDataBrowserItemNotFound;
  // Moves the item among its siblings to the row given (clamped to them).
  const auto rows = DBRows(rec);
  DataBrowserItemID container = rec->items[item].container;
  auto& kids = rec->items[container].children;
  kids.erase(std::remove(kids.begin(), kids.end(), item), kids.end());
  size_t at = 0;
  for (auto k : kids) {
    auto r = std::find(rows.begin(), rows.end(), k);
    if (r != rows.end() && DataBrowserTableViewRowIndex(r - rows.begin()) < row) ++at;
  }
  kids.insert(kids.begin() + std::min(at, kids.size()), item);
  rec->rowsValid = false;
  DBInvalidate(rec);
  return noErr;
}

OSStatus GetDataBrowserTableViewItemID(ControlRef browser, DataBrowserTableViewRowIndex row, DataBrowserItemID* item) {
  RECORD(browser);
  if (item == nullptr) return paramErr;
  const auto& rows = DBRows(rec);
  if (row >= rows.size()) {
    *item = 0;
    return errDataBrowserItemNotFound;
  }
  *item = rows[row];
  return noErr;
}

OSStatus GetDataBrowserItemPartBounds(ControlRef browser, DataBrowserItemID item, DataBrowserPropertyID property,
                                      DataBrowserPropertyPart part, Rect* bounds) {
  RECORD(browser);
  if (bounds == nullptr) return paramErr;
  CGRect r;
  if (!DBCellRect(rec, item, property, part, &r)) return errDataBrowserItemNotFound;
  CGPoint o = ViewToRoot(rec->view, r.origin);
  bounds->left = SInt16(std::lround(o.x));
  bounds->top = SInt16(std::lround(o.y));
  bounds->right = SInt16(std::lround(o.x + r.size.width));
  bounds->bottom = SInt16(std::lround(o.y + r.size.height));
  return noErr;
}

OSStatus SetDataBrowserScrollPosition(ControlRef browser, UInt32 top, UInt32 left) {
  RECORD(browser);
  rec->scroll = CGPoint{CGFloat(left), CGFloat(top)};
  DBClampScroll(rec);
  DBInvalidate(rec);
  return noErr;
}

OSStatus GetDataBrowserScrollPosition(ControlRef browser, UInt32* top, UInt32* left) {
  RECORD(browser);
  if (top) *top = UInt32(rec->scroll.y);
  if (left) *left = UInt32(rec->scroll.x);
  return noErr;
}

// ---------------------------------------------------------------------------
// Cell values

#define CELL(ref)                     \
  if (ref == nullptr) return paramErr;

OSStatus SetDataBrowserItemDataText(DataBrowserItemDataRef d, CFStringRef theData) {
  CELL(d);
  if (d->text) CFRelease(d->text);
  d->text = theData ? CFStringCreateCopy(nullptr, theData) : nullptr;
  d->hasText = true;
  return noErr;
}
OSStatus GetDataBrowserItemDataText(DataBrowserItemDataRef d, CFStringRef* theData) {
  CELL(d);
  if (theData == nullptr) return paramErr;
  *theData = d->text ? CFStringCreateCopy(nullptr, d->text) : nullptr;
  return d->hasText ? OSStatus(noErr) : OSStatus(errDataBrowserInvalidPropertyData);
}
OSStatus SetDataBrowserItemDataBooleanValue(DataBrowserItemDataRef d, Boolean theData) {
  CELL(d);
  d->boolean = theData;
  d->hasBoolean = true;
  return noErr;
}
OSStatus GetDataBrowserItemDataBooleanValue(DataBrowserItemDataRef d, Boolean* theData) {
  CELL(d);
  if (theData == nullptr) return paramErr;
  *theData = d->boolean;
  return d->hasBoolean ? OSStatus(noErr) : OSStatus(errDataBrowserInvalidPropertyData);
}
OSStatus SetDataBrowserItemDataButtonValue(DataBrowserItemDataRef d, ThemeButtonValue theData) {
  CELL(d);
  d->button = theData;
  d->hasButton = true;
  return noErr;
}
OSStatus GetDataBrowserItemDataButtonValue(DataBrowserItemDataRef d, ThemeButtonValue* theData) {
  CELL(d);
  if (theData == nullptr) return paramErr;
  *theData = d->button;
  return d->hasButton ? OSStatus(noErr) : OSStatus(errDataBrowserInvalidPropertyData);
}
OSStatus SetDataBrowserItemDataIcon(DataBrowserItemDataRef d, IconRef theData) {
  CELL(d);
  d->icon = theData;  // borrowed for the call, as the caller keeps it
  return noErr;
}
OSStatus SetDataBrowserItemDataValue(DataBrowserItemDataRef d, SInt32 theData) {
  CELL(d);
  d->value = theData;
  d->hasValue = true;
  return noErr;
}
OSStatus GetDataBrowserItemDataValue(DataBrowserItemDataRef d, SInt32* theData) {
  CELL(d);
  if (theData == nullptr) return paramErr;
  *theData = d->value;
  return d->hasValue ? OSStatus(noErr) : OSStatus(errDataBrowserInvalidPropertyData);
}
OSStatus SetDataBrowserItemDataItemID(DataBrowserItemDataRef d, DataBrowserItemID theData) {
  CELL(d);
  d->itemID = theData;
  return noErr;
}
OSStatus GetDataBrowserItemDataProperty(DataBrowserItemDataRef d, DataBrowserPropertyID* theData) {
  CELL(d);
  if (theData == nullptr) return paramErr;
  *theData = d->property;
  return noErr;
}
