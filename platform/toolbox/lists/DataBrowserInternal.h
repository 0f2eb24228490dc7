// Internal to the list control: the record behind a data browser, shared by
// the model (DataBrowser.cpp) and the view (DataBrowserView.cpp).
#pragma once

#include <map>
#include <vector>

#include "../HIViewRecord.h"
#include "DataBrowser.h"

struct DBItem {
  DataBrowserItemID id = 0;
  DataBrowserItemID container = 0;
  std::vector<DataBrowserItemID> children;  // row order inside the container
  bool open = false;
  bool selected = false;
  int depth = 0;
};

struct DBColumn {
  DataBrowserPropertyDesc desc{};
  UInt16 width = 120, minWidth = 0, maxWidth = 0xFFFF;
  CFStringRef title = nullptr;  // retained
  bool widthSet = false;
};

// What an item-data call carries: the property asked about and the value.
struct OpaqueDataBrowserItemDataRef {
  DataBrowserPropertyID property = 0;
  CFStringRef text = nullptr;  // retained
  Boolean boolean = false;
  ThemeButtonValue button = 0;
  IconRef icon = nullptr;
  SInt32 value = 0;
  DataBrowserItemID itemID = 0;
  bool hasText = false, hasBoolean = false, hasButton = false, hasValue = false;
};

struct DBRecord {
  __CView* view = nullptr;
  DataBrowserViewStyle style = kDataBrowserListView;
  DataBrowserAttributes attributes = 0;
  bool plainBackground = true;
  bool hScroll = true, vScroll = true;
  DataBrowserSelectionFlags selectionFlags = 0;
  DataBrowserItemID target = 0;
  DataBrowserCallbacks callbacks{};
  DataBrowserCustomCallbacks custom{};
  CGFloat metrics[6] = {0, 2, 5, 2, 2, 16};
  bool metricSet[6] = {};
  std::vector<DBColumn> columns;
  DataBrowserPropertyID disclosureColumn = 0;
  bool expandableRows = false;
  UInt16 headerHeight = 0;
  UInt16 rowHeight = 18;
  DataBrowserTableViewHiliteStyle hilite = kDataBrowserTableViewFillHilite;
  DataBrowserPropertyID sortProperty = 0;
  DataBrowserSortOrder sortOrder = kDataBrowserOrderIncreasing;

  std::map<DataBrowserItemID, DBItem> items;  // 0 is the top level
  std::vector<DataBrowserItemID> rows;        // the visible rows, flattened
  bool rowsValid = false;
  DataBrowserItemID anchorFirst = 0, anchorLast = 0;
  CGPoint scroll{0, 0};  // top, left of the shown part of the rows

  // The drag over the browser and its spring-loading.
  DataBrowserItemID dragTarget = 0;
  bool dragAccepted = false;
  bool dragInside = false;
  DataBrowserItemID springItem = 0;
  EventTime springSince = 0;
  EventLoopTimerRef springTimer = nullptr;

  // The text cell being edited.
  DataBrowserItemID editItem = 0;
  DataBrowserPropertyID editProperty = 0;
  HIViewRef editField = nullptr;
  bool ending = false;
  bool lostSelection = false;  // a removal took selected items
};

DBRecord* DBRecordOf(ControlRef browser);
const std::vector<DataBrowserItemID>& DBRows(DBRecord* rec);
void DBNotify(DBRecord* rec, DataBrowserItemID item, DataBrowserItemNotification message);
DataBrowserItemState DBState(DBRecord* rec, DataBrowserItemID item);
bool DBIsContainer(DBRecord* rec, DataBrowserItemID item);
// Asks the item-data callback a yes/no property (true without a callback).
bool DBAskBoolean(DBRecord* rec, DataBrowserItemID item, DataBrowserPropertyID property, bool fallback);
OSStatus DBToggle(DBRecord* rec, DataBrowserItemID item, bool byUser);
void DBSelect(DBRecord* rec, const std::vector<DataBrowserItemID>& items, DataBrowserSetOption op);
void DBRevealRow(DBRecord* rec, DataBrowserItemID item, bool center);
void DBClampScroll(DBRecord* rec);
void DBInvalidate(DBRecord* rec);
CGFloat DBMetric(DBRecord* rec, DataBrowserMetric metric);

// View (DataBrowserView.cpp).
void DBInstallView(DBRecord* rec);
// A cell's rectangle in the view's own coordinates (part: enclosing, content,
// disclosure, text, icon).
bool DBCellRect(DBRecord* rec, DataBrowserItemID item, DataBrowserPropertyID property, DataBrowserPropertyPart part,
                CGRect* out);
void DBBeginEdit(DBRecord* rec, DataBrowserItemID item, DataBrowserPropertyID property);
void DBEndEdit(DBRecord* rec, bool commit);
void DBForget(DBRecord* rec);
