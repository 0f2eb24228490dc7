#!/usr/bin/env bash
# The keys of a sheet: in a project, Project > Rename… on a new folder opens the rename sheet with the
# focus in its name field; Escape cancels it (the name stays), Return presses Rename (the new name is
# what the project's file keeps once the window closes).
. "$(dirname "$0")/lib.sh"
desktop_start
bundle="$T/files/Shop/Shop.qvproj"
sources="$bundle/Contents/Resources/Data/sources.plist"
# The names held by the rows of a group file.
row_names() {
  python3 - "$1" <<'PY'
import plistlib, sys
try:
    rows = plistlib.load(open(sys.argv[1], 'rb'))
except Exception:
    rows = []
for row in rows if isinstance(rows, list) else []:
    if isinstance(row, bytes):
        print(row.decode('latin-1'))
PY
}

qv_start
wait_window 'Untitled'
menu_pick 1 4                                        # File > New Project…
save_file '^New File$' "$T/files/Shop"
wait_window '^Shop\.qvproj$'
project_window=$QV_WINDOW
menu_pick 6 2                                        # Project > New Folder
menu_pick 6 3                                        # Project > Rename…
wait_window '^Rename$'
key ctrl+a
type_text "Cancelled"
screenshot rename-typed >/dev/null
key Escape
wait_no_window '^Rename$'
qv_expect_alive "after Escape"

QV_WINDOW=$project_window
focus_window "$project_window"
menu_pick 6 3                                        # Project > Rename…
wait_window '^Rename$'
key ctrl+a
type_text "Pages"
key Return
wait_no_window '^Rename$'
screenshot renamed >/dev/null
qv_expect_alive "after Return"

focus_window "$project_window"
stamp=$(file_stamp "$sources")
key ctrl+w
wait_file_changed "$sources" "$stamp"
names=$(row_names "$sources")
echo "$names" | grep -q 'Pages' || fail "Return did not rename the folder; the rows hold: $names"
echo "$names" | grep -q 'Cancelled' && fail "Escape renamed the folder anyway"
exit 0
