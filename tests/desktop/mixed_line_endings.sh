#!/usr/bin/env bash
# A file of mixed line endings takes its first one: the first Save says so once and writes that
# ending throughout; the next Save asks nothing.
. "$(dirname "$0")/lib.sh"
desktop_start
F="$T/files"
printf 'one\r\ntwo\nthree\rfour' > "$F/mixed.txt"
printf 'one\r\ntwo\r\nthree\r\nfour' > "$T/expected"
touch -d '2001-01-01 00:00' "$F/mixed.txt"
stamp=$(file_stamp "$F/mixed.txt")
qv_start "$F/mixed.txt"
wait_window 'mixed\.txt'
type_text x
key BackSpace
key ctrl+s
answer_dialog Return
focus_window "$QV_WINDOW"
wait_file_changed "$F/mixed.txt" "$stamp"
expect_bytes "$F/mixed.txt" "$T/expected"
# Once told, the next save just writes.
printf 'one\r\ntwo\r\nthree\r\nfourx' > "$T/expected"
stamp=$(file_stamp "$F/mixed.txt")
type_text x
key ctrl+s
wait_file_changed "$F/mixed.txt" "$stamp"
expect_bytes "$F/mixed.txt" "$T/expected"
qv_expect_alive "after the second save"
qv_quit
