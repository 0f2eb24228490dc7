#!/usr/bin/env bash
# Edit > Preferences… opens one window; its toolbar shows each of the six panes, the window taking
# each pane's height; a second Preferences… brings the same window to the front. A path added in
# the Paths pane is stored. Screenshots of every pane land in the shots folder.
. "$(dirname "$0")/lib.sh"
desktop_start
printf "<?php\n" > "$T/files/a.php"
qv_start "$T/files/a.php"
wait_window '^a\.php$'
EDITOR=$QV_WINDOW
key ctrl+comma
wait_window '^Preferences$'
PREFS=$QV_WINDOW
heights=""
for pane in "30 General" "85 Styles" "139 Terminal" "191 Paths" "242 Servers" "306 Advanced"; do
  set -- $pane
  click "$1" 50
  shot=$(screenshot "$2")
  # The button's label stays where it was: the toolbar did not move.
  [ "$(dark_pixels "$shot" $(($1 - 25)) 62 50 14)" -gt 10 ] || fail "no toolbar label under the $2 button"
  heights="$heights $(xwininfo -id "$PREFS" | awk '/Height:/ {print $2}')"
done
note "window heights:$heights"
[ "$(echo $heights | tr ' ' '\n' | sort -u | wc -l)" -ge 4 ] || fail "the window kept one height for every pane:$heights"

click 191 50     # Paths
click 33 363     # +: a new path
screenshot paths-added >/dev/null
click 30 50      # General: the Paths pane stores its list as it goes
[ "$(stored_data_items UserPaths | grep -c .)" = 1 ] || fail "the new path was not stored"

# A second Preferences… from the editor: the same window comes to the front, no other opens.
QV_WINDOW=$EDITOR
focus_window "$EDITOR"
key ctrl+comma
wait_window '^Preferences$'
[ "$QV_WINDOW" = "$PREFS" ] || fail "a second Preferences window opened"
[ "$(xdotool search --onlyvisible --name '^Preferences$' | wc -l)" = 1 ] || fail "more than one Preferences window"
qv_expect_alive "after the panes"
qv_quit
