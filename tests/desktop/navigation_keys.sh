#!/usr/bin/env bash
# The navigation keys of this desktop move the caret in a source file: Home/End to the line's ends,
# Ctrl+Home/End to the text's, Ctrl+Left/Right by words, Ctrl+Backspace/Delete delete a word, Shift
# extends the selection, Page Up/Down take the caret along. After each key a "~" is typed and the
# file saved: the bytes on disk show where the caret went.
. "$(dirname "$0")/lib.sh"
desktop_start
f="$T/files/moves.php"
printf '<?php\none two three\nfour five\nsix seven\neight\n' > "$f"
qv_start "$f"
wait_window 'moves\.php'
screenshot opened >/dev/null

step=0
# step EXPECTED KEYS...: the keys, a typed "~", Ctrl+S; the file then holds EXPECTED (printf format).
step() {
  local expected=$1; shift
  step=$((step + 1))
  local stamp
  stamp=$(file_stamp "$f")
  [ $# -gt 0 ] && key "$@"
  type_text '~'
  key ctrl+s
  wait_file_changed "$f" "$stamp"
  printf "$expected" > "$T/expected"
  cmp -s "$f" "$T/expected" || { note "step $step: keys $*"; expect_bytes "$f" "$T/expected"; }
}

step '<?php\none two three\nfour five\nsix seven\neight\n~' ctrl+End
step '<?php\none two three\nfour five\nsix seven\neight\n~\n~' ctrl+a ctrl+End Return
step '~<?php\none two three\nfour five\nsix seven\neight\n~\n~' ctrl+Home
step '~<?php\n~one two three\nfour five\nsix seven\neight\n~\n~' Down Home
step '~<?php\n~one two three~\nfour five\nsix seven\neight\n~\n~' End
step '~<?php\n~one~ two three~\nfour five\nsix seven\neight\n~\n~' Home ctrl+Right
step '~<?php\n~one~ two~ three~\nfour five\nsix seven\neight\n~\n~' ctrl+Right
step '~<?php\n~one~ ~two~ three~\nfour five\nsix seven\neight\n~\n~' ctrl+Left
step '~<?php\n~two~ three~\nfour five\nsix seven\neight\n~\n~' shift+Home
step '~<?php\n~two~ three~\nfour~\nsix seven\neight\n~\n~' Down Home ctrl+Right shift+End
step '~<?php\n~two~ three~\nfour~\nsix ~\neight\n~\n~' Down End ctrl+BackSpace
step '~<?php\n~two~ three~\nfour~\n~ ~\neight\n~\n~' Home ctrl+Delete
screenshot moved >/dev/null
step '~\n~\n~' Down End ctrl+shift+Home
step '~\n~\n~~' Page_Down
step '~~\n~\n~~' Page_Up
qv_expect_alive "after the keys"
screenshot done >/dev/null
qv_quit
