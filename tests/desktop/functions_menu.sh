#!/usr/bin/env bash
# The editor's "< functions >" pop-up lists the file's functions alphabetically; choosing one
# selects the line that declares it, line break and all, so a character typed then replaces
# it (the bytes on disk show which one was found).
. "$(dirname "$0")/lib.sh"
desktop_start
f="$T/files/funcs.php"
printf '<?php\nfunction zeta($a) { return 1; }\nfunction beta($b) { return 2; }\nfunction alpha($c) { return 3; }\n' >"$f"
qv_start "$f"
wait_window 'funcs\.php'
settle
screenshot opened >/dev/null

# Window-local places: the pop-up's button is the second of the bar under the tabs.
FUNCTIONS_X=70
FUNCTIONS_Y=124
# The pointer leaves the open menu, so that only the keys pick its items.
open_functions() {
  click $FUNCTIONS_X $FUNCTIONS_Y
  wait_popup
  xdotool mousemove 1350 880
  settle
}
# menu_geometry: "X Y W H" (screen) of the largest pop-up window of the program.
menu_geometry() {
  local w info best="" area=0
  for w in $(xdotool search --onlyvisible --pid "$QV_PID" 2>/dev/null); do
    info=$(xwininfo -id "$w" 2>/dev/null) || continue
    echo "$info" | grep -q 'Override Redirect State: yes' || continue
    read -r x y ww hh < <(echo "$info" | awk '/Absolute upper-left X/ {x=$4} /Absolute upper-left Y/ {y=$4}
      /Width:/ {w=$2} /Height:/ {h=$2} END {print x, y, w, h}')
    if [ $((ww * hh)) -gt "$area" ]; then area=$((ww * hh)); best="$x $y $ww $hh"; fi
  done
  [ -n "$best" ] && echo "$best"
}
open_functions
shot=$(screenshot listed)
read -r px py pw ph < <(menu_geometry)
[ "$ph" -ge 40 ] || fail "the functions menu is ${pw}x${ph}: too small for three functions"
[ "$(screen_dark_pixels "$shot" "$px" "$py" "$pw" "$ph")" -gt 100 ] || fail "the functions menu shows no titles"
# alpha, beta, zeta: the second is beta.
key Down Down Return
qv_expect_alive "after choosing a function"
stamp=$(file_stamp "$f")
type_text X
key ctrl+s
wait_file_changed "$f" "$stamp"
printf '<?php\nfunction zeta($a) { return 1; }\nXfunction alpha($c) { return 3; }\n' >"$T/expected"
expect_bytes "$f" "$T/expected"

# Opened again after the edit, the menu still shows and goes away with Escape.
key ctrl+Home Down End Left Left
open_functions
screenshot again >/dev/null
key Escape
settle
qv_expect_alive "after the menu closed"
qv_quit
