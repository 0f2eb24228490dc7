#!/usr/bin/env bash
# A double-click on a server in Preferences > Servers opens its ftp address with the desktop's
# handler; on a desktop that has none (no program on the path, no desktop entries) an alert names
# the server, and the program goes on.
. "$(dirname "$0")/lib.sh"
desktop_start
mkdir -p "$T/nodata" "$T/bin"
printf "<?php\n" > "$T/files/a.php"
PATH="$T/bin" XDG_DATA_DIRS="$T/nodata" qv_start "$T/files/a.php"
wait_window '^a\.php$'
key ctrl+comma
wait_window '^Preferences$'
click 242 50     # Servers
click 33 370     # +
key Return       # its name as it is
double_click 110 142
wait_dialog
screenshot alert >/dev/null
key Return
wait_no_dialog
qv_expect_alive "after the alert"
qv_quit
