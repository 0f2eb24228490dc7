#!/usr/bin/env bash
# A character the file's encoding cannot hold is a question at Save: Cancel leaves the file as it
# is and the document modified; "Save as UTF-8" writes the whole text in UTF-8.
. "$(dirname "$0")/lib.sh"
desktop_start
F="$T/files"
printf 'caf\xe9\n' > "$F/latin.txt"
cp "$F/latin.txt" "$T/original"
printf 'caf\xc3\xa9\n\xe2\x82\xac\xd0\x96' > "$T/expected"
qv_start "$F/latin.txt"
wait_window 'latin\.txt'
type_text '€Ж' 150
key ctrl+s
answer_dialog Escape
focus_window "$QV_WINDOW"
qv_expect_alive "after cancelling the save"
expect_bytes "$F/latin.txt" "$T/original"
stamp=$(file_stamp "$F/latin.txt")
key ctrl+s
answer_dialog Return
wait_file_changed "$F/latin.txt" "$stamp"
expect_bytes "$F/latin.txt" "$T/expected"
screenshot saved >/dev/null
qv_quit
