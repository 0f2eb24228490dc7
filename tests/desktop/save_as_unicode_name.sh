#!/usr/bin/env bash
# A new text saved under a name in another script and longer than 63 characters: the file holds the
# text, and the window is named after the file.
. "$(dirname "$0")/lib.sh"
desktop_start
F="$T/files"
name="Заметки о проекте с очень длинным именем, которое не помещается в 63 знака.txt"
qv_start
wait_window '.'
key ctrl+n
wait_window 'Untitled'
type_text 'hello'
key ctrl+s
wait_dialog
key ctrl+a
type_text "$F/$name" 150
key Return
wait_dialog_closed
wait_until "$QV_WAIT" test -f "$F/$name" || fail "no file named '$name' after Save As (files: $(ls "$F"))"
sleep 0.3
printf 'hello' > "$T/expected"
expect_bytes "$F/$name" "$T/expected"
wait_window 'Заметки о проекте'
screenshot saved >/dev/null
qv_expect_alive "after Save As"
qv_quit
