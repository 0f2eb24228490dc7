#!/usr/bin/env bash
# The bookmark editor as a person fills it in with the keyboard: the project pane's action menu makes
# a bookmark, its row's contextual menu opens the editor with the focus in Title; Tab goes on to the
# Address field (its text selected), what is typed there replaces it, and Return presses Done. The
# project's bookmarks file keeps both, once the window closes.
. "$(dirname "$0")/lib.sh"
desktop_start
bundle="$T/files/Shop/Shop.qvproj"
bookmarks="$bundle/Contents/Resources/Data/bookmarks.plist"
# The project pane's action menu (the gear) and the row the new bookmark takes under Bookmarks.
actions_x=40 actions_y=96 bookmark_x=80 bookmark_y=213

qv_start
wait_window 'Untitled'
menu_pick 1 4                                        # File > New Project…
save_file '^New File$' "$T/files/Shop"
wait_window '^Shop\.qvproj$'
project_window=$QV_WINDOW
click $actions_x $actions_y
menu_choose 3 actions-menu                           # New Bookmark
screenshot bookmark-row >/dev/null
click $bookmark_x $bookmark_y 3
menu_choose 3 bookmark-menu                          # Bookmark Info…
wait_window '^Bookmark$'
key ctrl+a
type_text "Local shop"
key Tab
type_text "http://localhost/shop/"
screenshot editor-filled >/dev/null
key Return
wait_no_window '^Bookmark$'
qv_expect_alive "after Done"

QV_WINDOW=$project_window
focus_window "$project_window"
[ -f "$bookmarks" ] || fail "the project has no bookmarks file"
stamp=$(file_stamp "$bookmarks")
key ctrl+w
wait_file_changed "$bookmarks" "$stamp"
rows=$(python3 -c "
import plistlib, sys
for row in plistlib.load(open(sys.argv[1], 'rb')):
    if isinstance(row, bytes): print(row.decode('latin-1'))
" "$bookmarks")
echo "$rows" | grep -q 'Local shop' || fail "the bookmark's title was not kept: $rows"
echo "$rows" | grep -q 'http://localhost/shop/' || fail "Tab did not reach the Address field; the bookmark holds: $rows"
echo "$rows" | grep -q 'example.com' && fail "the placeholder address is still there"
exit 0
