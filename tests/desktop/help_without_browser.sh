#!/usr/bin/env bash
# Help > Quorvel Help on a desktop that offers no web browser (no program on the path, no desktop
# entries in the data folders) says so in an alert, and the program goes on.
. "$(dirname "$0")/lib.sh"
desktop_start
mkdir -p "$T/nodata" "$T/bin"
printf "<?php\n" > "$T/files/a.php"
PATH="$T/bin" XDG_DATA_DIRS="$T/nodata" qv_start "$T/files/a.php"
wait_window '^a\.php$'
click 383 12   # Help
click 434 37   # Quorvel Help
wait_dialog
screenshot alert >/dev/null
key Return
wait_no_dialog
qv_expect_alive "after the alert"
qv_quit
