#!/usr/bin/env bash
# File > Save As… (Shift+Ctrl+S) writes the text to the file named in its dialog, and the window
# then stands for that file; Save and Revert are disabled while nothing changed, and the edit menu
# shows no command that would do nothing (screenshots of both menus).
. "$(dirname "$0")/lib.sh"
desktop_start
printf 'var a = 1;\n' > "$T/files/first.js"
printf 'var a = 1;\nb\n' > "$T/expected"
qv_start "$T/files/first.js"
wait_window 'first\.js'
win=$QV_WINDOW
click 18 12
screenshot file-menu-unchanged >/dev/null
key Escape
click 58 12
screenshot edit-menu >/dev/null
key Escape
key ctrl+End
type_text 'b'
key Return
key shift+ctrl+s
wait_window 'Save As'
key ctrl+a
type_text 'second.js'
key Return
wait_until "$QV_WAIT" test -s "$T/files/second.js" || fail "Save As wrote no second.js (windows: $(window_titles))"
sleep 0.3
expect_bytes "$T/files/second.js" "$T/expected"
cmp -s "$T/files/first.js" <(printf 'var a = 1;\n') || fail "Save As changed the first file"
wait_until 5 bash -c "xdotool getwindowname $win | grep -q 'second\.js'" ||
  fail "after Save As the window is '$(xdotool getwindowname "$win")'"
QV_WINDOW=$win
focus_window "$win"
screenshot saved-as >/dev/null
qv_expect_alive "after Save As"
qv_quit
