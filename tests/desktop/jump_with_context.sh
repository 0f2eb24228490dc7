#!/usr/bin/env bash
# A find that jumps far down shows its match with lines of context below it, not at the view's
# bottom edge (screenshot); the match is selected (the next key replaces it).
. "$(dirname "$0")/lib.sh"
desktop_start
{ for i in $(seq 1 199); do echo "// line $i"; done; echo "var target = 1;"; for i in $(seq 201 400); do echo "// line $i"; done; } > "$T/files/jump.js"
sed 's/^var target = 1;$/var X = 1;/' "$T/files/jump.js" > "$T/expected"
qv_start "$T/files/jump.js"
wait_window 'jump\.js'
key ctrl+Home  # the insertion point opens at the end; the find wraps either way
click 898 46
type_text 'target'
key Return
screenshot found >/dev/null
stamp=$(file_stamp "$T/files/jump.js")
type_text 'X'
key ctrl+s
wait_file_changed "$T/files/jump.js" "$stamp"
expect_bytes "$T/files/jump.js" "$T/expected"
qv_expect_alive "after the jump"
qv_quit
