#!/usr/bin/env bash
# Files named on the command line open as tabs of one window; clicking a tab that is not in front
# draws that file's text (on white), without a key typed first.
. "$(dirname "$0")/lib.sh"
desktop_start
printf '<?php\necho "alpha";\n$beta = 2;\n' > "$T/files/a.php"
printf 'var gamma = 3;\nfunction delta() {}\n' > "$T/files/b.js"
printf 'body { color: red; }\n' > "$T/files/c.css"
qv_start "$T/files/a.php" "$T/files/b.js" "$T/files/c.css"
wait_window 'c\.css'
screenshot opened >/dev/null

# The tab strip under the toolbar, the text right of the line numbers (window-local).
tab_y=98
text="34 140 300 45"
blank="300 300 500 300"
# show_tab NAME X: clicks the tab at X, waits for the title, and checks the text area.
show_tab() {
  click "$2" $tab_y
  wait_window "^$1"
  local shot ink light
  shot=$(screenshot "$1")
  ink=$(dark_pixels "$shot" $text)
  light=$(light_fraction "$shot" $blank)
  note "$1: $ink dark pixels of text, $light of the empty area white"
  [ "$ink" -gt 60 ] || fail "the text of $1 is not drawn after its tab was clicked ($ink dark pixels)"
  awk -v f="$light" 'BEGIN { exit !(f > 0.99) }' || fail "the text area of $1 is not white ($light white)"
}
show_tab 'a\.php' 63
show_tab 'b\.js' 200
show_tab 'c\.css' 337
show_tab 'a\.php' 63
qv_expect_alive "after switching tabs"
qv_quit
