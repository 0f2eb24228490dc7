#!/usr/bin/env bash
# A file named on the command line that does not exist is named in an alert; the files that exist
# open as usual, and a start with only the missing one still leaves a window to work in.
. "$(dirname "$0")/lib.sh"
desktop_start
printf "<?php\n" > "$T/files/a.php"
qv_start "$T/files/a.php" "$T/files/missing one.php"
wait_dialog
screenshot alert >/dev/null
key Return
wait_no_dialog
wait_window '^a\.php$'
qv_expect_alive "after the alert"
qv_quit
[ -e "$T/files/missing one.php" ] && fail "the missing file was created"

fresh_settings
qv_start "$T/files/missing one.php"
wait_dialog
key Return
wait_no_dialog
wait_window '^\(Untitled\)$'
qv_expect_alive "after the alert, with nothing opened"
qv_quit
