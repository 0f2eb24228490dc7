// What the error-pane tests share: the program's own interface file with
// the panes, and the rows of their browsers.
#pragma once

#include "IBCarbonRuntime.h"
#include "InterpreterDrivers.h"
#include "RunTestSupport.h"
#include "plinthora/Plinthora.h"

inline std::string FourCC(OSType type) {
  std::string s;
  for (int shift = 24; shift >= 0; shift -= 8) s += char((type >> shift) & 0xFF);
  return s;
}

// The program's own interface file, where the error panes are.
inline IBNibRef ShippedNib() {
  static IBNibRef nib = [] {
    // The panes' toolbars are the library's views, as at start-up.
    RegisterToolbarViewClass();
    IBNibRef made = nullptr;
    EXPECT_EQ(CreateNibReference(CFSTR("main"), &made), noErr);
    return made;
  }();
  return nib;
}

// The error pane made from its interface (no runner: tests give their own).
inline void CreateFromShippedNib(TScriptPane* pane) {
  const char* name = dynamic_cast<TPHPPane*>(pane)    ? "Error Pane (PHP)"
                     : dynamic_cast<TPERLPane*>(pane) ? "Error Pane (PERL)"
                     : dynamic_cast<TRubyPane*>(pane) ? "Error Pane (Ruby)"
                                                      : "Error Pane (HTML)";
  pane->Create(name, ShippedNib());
}

// The rows of a browser's own tree, depth first: the parent's item ID and
// the payload.
struct ErrorRow {
  SInt32 parent;
  void* data;
};
inline void CollectRows(CFTreeRef tree, std::vector<ErrorRow>& rows) {
  for (CFTreeRef child = CFTreeGetFirstChild(tree); child != nullptr; child = CFTreeGetNextSibling(child)) {
    NodeInfoPtr node = BrackenrowGetNode(child);
    if (node != nullptr) rows.push_back(ErrorRow{node->PARENT, node->DATA});
    CollectRows(child, rows);
  }
}
// parent: the position (from 1) of the parent's row in the list; 0 at the
// top level.
inline std::vector<ErrorRow> RowsOf(TBrowser* browser) {
  std::vector<ErrorRow> rows;
  if (browser != nullptr && browser->VIEW != nullptr) CollectRows(BrackenrowGetTree(browser->VIEW), rows);
  for (ErrorRow& row : rows) {
    if (row.parent == 0) continue;
    for (size_t i = 0; i < rows.size(); ++i)
      if (BrackenrowGetNodeAtIndex(row.parent, browser->VIEW) != nullptr &&
          BrackenrowGetNodeAtIndex(row.parent, browser->VIEW)->DATA == rows[i].data) {
        row.parent = SInt32(i + 1);
        break;
      }
  }
  return rows;
}
// The row (from 0) selected in the list; -1 for none.
inline long SelectedRow(TBrowser* browser) {
  for (SInt16 row = 0; row < 200; ++row) {
    DataBrowserItemID item = kDataBrowserNoItem;
    if (GetDataBrowserTableViewItemID(browser->VIEW, DataBrowserTableViewRowIndex(row), &item) != noErr) return -1;
    if (IsDataBrowserItemSelected(browser->VIEW, item)) return row;
  }
  return -1;
}
