#!/usr/bin/env bash
# A file that is not text (a copy of a program) opens read-only with a message; typing does not
# change it and Ctrl+S never rewrites it.
. "$(dirname "$0")/lib.sh"
desktop_start
F="$T/files"
cp /bin/true "$F/program"
cp /bin/true "$T/expected"
touch -d '2001-01-01 00:00' "$F/program"
stamp=$(file_stamp "$F/program")
qv_start "$F/program"
answer_dialog Return
wait_window 'program'
type_text x
key ctrl+s
screenshot after-save >/dev/null
qv_expect_alive "after Ctrl+S"
[ "$(file_stamp "$F/program")" = "$stamp" ] || fail "the program's copy was written"
expect_bytes "$F/program" "$T/expected"
qv_quit
