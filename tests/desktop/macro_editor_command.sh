#!/usr/bin/env bash
# Edit > Macros… opens the macro editor on the common library; the signature command and the
# AUTHOR variable are changed there, the window is closed (which saves them), and back in the
# editor "[sign]" and Tab expand the changed command: the saved file holds its new text, and a
# restart finds the change in the user's copy of the library.
. "$(dirname "$0")/lib.sh"
desktop_start
f="$T/files/notes.php"
printf '<?php\n// ' > "$f"
qv_start "$f"
wait_window 'notes\.php'
editor=$QV_WINDOW

# open_macro_editor: Edit > Macros…, the last item of the Edit menu a person can choose, or the
# one before it once Preferences… below it can be chosen too.
open_macro_editor() {
  local ups i
  for ups in 1 2; do
    QV_WINDOW=$editor
    focus_window "$editor"
    click 20 10
    keys=(Right)
    for ((i = 0; i < ups; i++)); do keys+=(Up); done
    key "${keys[@]}"
    screenshot "edit-menu-$ups" >/dev/null
    key Return
    if wait_until 5 _qv_find_window '^Macros$'; then
      wait_window '^Macros$'
      return 0
    fi
    # Another window took the place: it goes, and the next item up is tried.
    local other
    other=$(xdotool getactivewindow 2>/dev/null)
    [ -n "$other" ] && [ "$other" != "$editor" ] && xdotool windowclose "$other" 2>/dev/null
    settle
  done
  fail "Edit > Macros… opened no window named Macros (windows: $(window_titles))"
}
open_macro_editor
macros=$QV_WINDOW
settle
screenshot opened >/dev/null

# Window-local places: the menu bar takes the top 25 pixels; the list of commands starts 70
# below it, with rows of 20; the command's text view fills the right of the window under the
# title, name, action and output.
LIST_TOP=95
# The commands are sorted by title: "Insert Signature" is the sixth row of the list.
click 90 $((LIST_TOP + 6 * 20 - 10))
screenshot selected >/dev/null
# Its text, replaced in the command's text view.
click 470 290
key ctrl+a
type_text 'Signed: $AUTHOR'
# The variables' list below: a double click on AUTHOR's value (the first row, right of the name
# column) opens that cell for typing.
double_click 300 462
key ctrl+a
type_text 'Ada Lovelace'
key Return
screenshot changed >/dev/null
key ctrl+w
wait_no_window '^Macros$'
user="$T/data/Quorvel/Code Sense/common.macros.plist"
[ -f "$user" ] || fail "closing the macro editor saved no copy of the common library"
grep -q 'Signed: $AUTHOR' "$user" || fail "the saved library lacks the changed text"
grep -q 'Ada Lovelace' "$T/data/Quorvel/Code Sense/variables.plist" || fail "the changed variable was not saved"

QV_WINDOW=$editor
focus_window "$editor"
key ctrl+End
stamp=$(file_stamp "$f")
type_text '[sign]'
key Tab
screenshot expanded >/dev/null
key ctrl+s
wait_file_changed "$f" "$stamp"
printf '<?php\n// Signed: Ada Lovelace' > "$T/expected"
expect_bytes "$f" "$T/expected"
qv_expect_alive "after the expansion"
qv_quit

# A second run reads the user's copy: the change is still there.
qv_start "$f"
wait_window 'notes\.php'
key ctrl+End Return
stamp=$(file_stamp "$f")
type_text '// [sign]'
key Tab
key ctrl+s
wait_file_changed "$f" "$stamp"
printf '<?php\n// Signed: Ada Lovelace\n// Signed: Ada Lovelace' > "$T/expected"
expect_bytes "$f" "$T/expected"
qv_quit
