#!/usr/bin/env bash
# Brackets and quotes typed out in full come out once (the closer the pair put in is stepped over),
# and undoing back to the saved text clears the modified mark: the title loses its "*" and quitting
# asks nothing.
. "$(dirname "$0")/lib.sh"
desktop_start
printf '// end\n' > "$T/files/pairs.js"
printf '// end\na(b) "d" [e];\nf(g[1]);\n' > "$T/expected"
qv_start "$T/files/pairs.js"
wait_window 'pairs\.js'
win=$QV_WINDOW
stamp=$(file_stamp "$T/files/pairs.js")
key ctrl+End
type_text 'a(b) "d" [e];'
key Return
type_text 'f(g[1]);'
key Return
screenshot typed >/dev/null
key ctrl+s
wait_file_changed "$T/files/pairs.js" "$stamp"
expect_bytes "$T/files/pairs.js" "$T/expected"
# Saved: the title carries no mark; a change marks it, undoing the change clears it again.
title() { xdotool getwindowname "$win"; }
wait_until 5 bash -c "! xdotool getwindowname $win | grep -q '\*'" || fail "saved, yet the title is '$(title)'"
type_text 'zz'
wait_until 5 bash -c "xdotool getwindowname $win | grep -q '\*'" || fail "changed, yet the title is '$(title)'"
key ctrl+z
wait_until 5 bash -c "! xdotool getwindowname $win | grep -q '\*'" ||
  fail "undone back to the saved text, yet the title is '$(title)'"
screenshot undone >/dev/null
qv_expect_alive "after undoing"
# Nothing to save: quitting asks nothing and leaves the file as saved.
qv_quit
expect_bytes "$T/files/pairs.js" "$T/expected"
