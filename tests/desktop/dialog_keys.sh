#!/usr/bin/env bash
# A dialog takes the keys: a folder named on the command line offers "Create New Project"; Return
# presses Create (the project's window opens) and types nothing into the editor behind it;
# started again, Escape presses Cancel.
. "$(dirname "$0")/lib.sh"
desktop_start
mkdir -p "$T/files/site"
printf '<?php echo 1; ?>\n' > "$T/files/site/index.php"
untitled_clean() { ! window_titles | grep -q "'\*(Untitled)'"; }
qv_start "$T/files/site"
wait_window 'Create New Project'
screenshot offered >/dev/null
key Return
wait_window 'site Project'
untitled_clean || fail "Return went to the editor: $(window_titles)"
screenshot created >/dev/null
qv_quit
qv_start "$T/files/site"
wait_window 'Create New Project'
key Escape
wait_no_window 'Create New Project'
untitled_clean || fail "Escape went to the editor: $(window_titles)"
qv_expect_alive "after Escape"
qv_quit
