#!/usr/bin/env bash
# A file of 100,000 lines: the gutter is as wide as the longest line number, so the numbers near
# the end stand apart from each other and from the text (screenshot), and typing there still goes
# in where the insertion point is.
. "$(dirname "$0")/lib.sh"
desktop_start
for i in $(seq 1 100000); do echo "x$i"; done > "$T/files/long.js"
cp "$T/files/long.js" "$T/expected"; printf 'end\n' >> "$T/expected"
qv_start "$T/files/long.js"  # the insertion point opens at the end
wait_window 'long\.js'
stamp=$(file_stamp "$T/files/long.js")
type_text 'end'
key Return
screenshot end >/dev/null
key ctrl+s
wait_file_changed "$T/files/long.js" "$stamp"
expect_bytes "$T/files/long.js" "$T/expected"
qv_expect_alive "after saving"
qv_quit
