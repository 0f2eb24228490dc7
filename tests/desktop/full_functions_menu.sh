#!/usr/bin/env bash
# A PHP file with more functions than a menu holds (70,000): the window shows it, the program
# settles once the file is read and its functions listed, and typing a character at its end and
# saving writes the original bytes plus that character.
. "$(dirname "$0")/lib.sh"
desktop_start
awk 'BEGIN { print "<?php"; for (i = 1; i <= 70000; i++) printf "function f%d($a) { return $a + %d; }\n", i, i }' \
  > "$T/files/many.php"
{ cat "$T/files/many.php"; printf 'x'; } > "$T/expected"
qv_start "$T/files/many.php"
wait_window 'many\.php'
# The program's CPU time stops growing once the file is parsed and its menus are made.
cpu() { awk '{print $14 + $15}' "/proc/$QV_PID/stat" 2>/dev/null; }
_idle() {
  local a b
  a=$(cpu); sleep 0.5; b=$(cpu)
  qv_alive && [ -n "$a" ] && [ "$a" = "$b" ]
}
wait_until 120 _idle || fail "the program is still busy two minutes after opening the file"
qv_expect_alive "after the file was read"
screenshot opened >/dev/null
stamp=$(file_stamp "$T/files/many.php")
key ctrl+End
type_text x
wait_until 120 _idle || fail "the program is still busy two minutes after a key"
key ctrl+s
wait_file_changed "$T/files/many.php" "$stamp"
qv_expect_alive "after saving"
expect_bytes "$T/files/many.php" "$T/expected"
screenshot saved >/dev/null
qv_quit
