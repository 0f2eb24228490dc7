#!/usr/bin/env bash
# Typing the start of a PHP function name shows the completion list: its names are drawn, it sits
# below the line (the word stays readable), Down and Return put the chosen name in place of the
# word. Near the bottom right corner of the screen the list stays on the screen, above the line.
. "$(dirname "$0")/lib.sh"
desktop_start
f="$T/files/page.php"
printf '<?php\n$a = 1;\n\n\n' > "$f"
qv_start "$f"
wait_window 'page\.php'
key ctrl+End Up

# show_list WHAT: types htmlspec, waits for the list and checks what a person sees of it.
show_list() {
  type_text 'htmlspec'
  wait_until "$QV_WAIT" popup_geometry >/dev/null || fail "no completion list after typing htmlspec ($1)"
  settle
  read -r px py pw ph < <(popup_geometry)
  local shot names word_above word_below
  shot=$(screenshot "$1")
  note "$1: list at ${px},${py} ${pw}x${ph}"
  [ "$ph" -eq 32 ] || fail "the list should have two rows of 16 pixels, it is $ph high ($1)"
  # The second row (not selected): dark names on white.
  names=$(screen_dark_pixels "$shot" "$px" $((py + 17)) "$pw" 14)
  [ "$names" -gt 40 ] || fail "the names in the list are not drawn ($names dark pixels, $1)"
  [ $((px + pw)) -le 1400 ] && [ $((py + ph)) -le 900 ] && [ "$px" -ge 0 ] && [ "$py" -ge 0 ] ||
    fail "the list leaves the screen ($1)"
  # The word typed: right above the list, or right below it when the list went above the line.
  word_above=$(screen_dark_pixels "$shot" "$px" $((py - 14)) 64 13)
  word_below=$(screen_dark_pixels "$shot" "$px" $((py + ph + 1)) 64 13)
  note "$1: names $names, word above $word_above, below $word_below dark pixels"
  WORD_ABOVE=$word_above WORD_BELOW=$word_below
}

show_list below
[ "$WORD_ABOVE" -gt 40 ] || fail "the list covers the word being typed ($WORD_ABOVE dark pixels above it)"
stamp=$(file_stamp "$f")
key Down Return
key ctrl+s
wait_file_changed "$f" "$stamp"
printf '<?php\n$a = 1;\n\nhtmlspecialchars_decode\n' > "$T/expected"
expect_bytes "$f" "$T/expected"

# The window near the bottom right corner: the empty line under the name is near the screen's edge.
key Down
xdotool windowmove "$QV_WINDOW" 1260 670
focus_window "$QV_WINDOW"
window_origin
note "window moved to $QV_WX,$QV_WY"
show_list corner
[ "$WORD_BELOW" -gt 40 ] || fail "near the screen's bottom the list should be above the word ($WORD_BELOW dark pixels below it)"
key Escape
no_list() { ! popup_geometry >/dev/null; }
wait_until "$QV_WAIT" no_list || fail "Escape did not hide the list"
qv_expect_alive "after the completions"
stamp=$(file_stamp "$f")
key ctrl+s
wait_file_changed "$f" "$stamp"
qv_quit
