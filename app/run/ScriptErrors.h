// The errors that script runs find in an interpreter's output: the records
// the error panes list, and the rows that hold them.
#pragma once

#include <vector>

#include "Files.h"
#include "MacMemory.h"
#include "ShortString.h"

#pragma pack(push, 1)

// One error of a syntax check, at a line and column of a file. It belongs
// with the application's source editor, which marks such errors inline.
struct GenericSyntaxError {
  SInt16 line;
  SInt16 column;
  SInt32 reserved;
  Str255 message;
  FSRef file;
};

// One Perl error: the file is the last component of the path Perl named.
struct PerlError {
  Str255 message;
  Str63 file;
  SInt32 line;
  UInt8 unused[256];
};
static_assert(sizeof(PerlError) == 580);

// One Ruby error, or (with a method name) one line of its stack.
struct RubyError {
  Str63 method;
  Str255 message;
  Str63 file;
  SInt32 line;
};
static_assert(sizeof(RubyError) == 388);

#pragma pack(pop)

// The rows of an error pane: records in the order they came, each at the top
// level or under an earlier row. The list view that shows them and leads
// from a row to its file and line takes them over when it comes; until then
// the pane keeps its rows here.
class ScriptErrorRows {
 public:
  struct Row {
    Ptr record;       // a heap block owned by the row
    UInt32 parent;    // the parent's item ID; 0 at the top level
  };

  ScriptErrorRows() = default;
  ScriptErrorRows(const ScriptErrorRows&) = delete;
  ScriptErrorRows& operator=(const ScriptErrorRows&) = delete;
  ~ScriptErrorRows() { RemoveAll(); }

  // Takes the block over; the new row's item ID (IDs count from 1).
  UInt32 AddItem(Ptr record, UInt32 parent) {
    rows.push_back(Row{record, parent});
    return UInt32(rows.size());
  }
  void RemoveAll() {
    for (Row& row : rows) DisposePtr(row.record);
    rows.clear();
    selectedRow = -1;
  }
  // Selects a row by its index from 0; a row that does not exist selects none.
  void SelectRow(long row) { selectedRow = row >= 0 && size_t(row) < rows.size() ? row : -1; }

  std::vector<Row> rows;
  long selectedRow = -1;
};
