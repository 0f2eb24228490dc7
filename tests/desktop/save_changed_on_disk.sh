#!/usr/bin/env bash
# A file changed from the shell after it was opened is not written over silently: Save asks;
# Cancel leaves the other program's text on disk, Overwrite writes the editor's.
. "$(dirname "$0")/lib.sh"
desktop_start
f="$T/files/page.html"
printf '<p>mine</p>\n' > "$f"
qv_start "$f"
wait_window 'page\.html'
printf '<p>changed from the shell</p>\n' > "$f"
cp "$f" "$T/theirs"
key ctrl+End
type_text x
key ctrl+s
wait_dialog
screenshot asked >/dev/null
key Escape
wait_no_dialog
qv_expect_alive "after cancelling the save"
expect_bytes "$f" "$T/theirs"
# Asked again, Overwrite (the button after the focused Cancel) writes the editor's text.
stamp=$(file_stamp "$f")
focus_window "$QV_WINDOW"
key ctrl+s
wait_dialog
key Tab Return
wait_file_changed "$f" "$stamp"
printf '<p>mine</p>\nx' > "$T/expected"
expect_bytes "$f" "$T/expected"
qv_expect_alive "after overwriting"
# The file is the editor's own again: the next save asks nothing.
stamp=$(file_stamp "$f")
type_text y
key ctrl+s
wait_file_changed "$f" "$stamp"
printf '<p>mine</p>\nxy' > "$T/expected"
expect_bytes "$f" "$T/expected"
_qv_no_dialog || fail "a save of the editor's own file asked a question"
qv_quit
