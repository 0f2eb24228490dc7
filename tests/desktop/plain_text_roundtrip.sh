#!/usr/bin/env bash
# A file no language claims opens with its text, and typing a character at its end and saving
# writes the original bytes plus that character.
. "$(dirname "$0")/lib.sh"
desktop_start
printf 'plain\nsecond\n' > "$T/files/notes.txt"
printf 'plain\nsecond\nx' > "$T/expected"
qv_start "$T/files/notes.txt"
wait_window 'notes\.txt'
screenshot opened >/dev/null
stamp=$(file_stamp "$T/files/notes.txt")
key ctrl+End
type_text x
key ctrl+s
wait_file_changed "$T/files/notes.txt" "$stamp"
qv_expect_alive "after saving"
expect_bytes "$T/files/notes.txt" "$T/expected"
screenshot saved >/dev/null
qv_quit
