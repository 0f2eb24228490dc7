#!/usr/bin/env bash
# Choosing another theme in Preferences > Styles recolours the open editor at once (the dark
# "Midnight" theme darkens its text area), and the choice is stored for the next run.
. "$(dirname "$0")/lib.sh"
desktop_start
printf "<?php\necho 'theme';\n" > "$T/files/a.php"
qv_start "$T/files/a.php"
wait_window '^a\.php$'
EDITOR=$QV_WINDOW
before=$(screenshot before)
light_before=$(light_fraction "$before" 200 250 400 200)

key ctrl+comma
wait_window '^Preferences$'
click 85 50      # Styles
click 290 200    # the Theme pop-up
menu_choose 2 menu   # Midnight
screenshot styles-midnight >/dev/null
QV_WINDOW=$EDITOR
focus_window "$EDITOR"
after=$(screenshot after)
light_after=$(light_fraction "$after" 200 250 400 200)
note "light share of the text area: $light_before before, $light_after after"
awk -v a="$light_before" -v b="$light_after" 'BEGIN { exit !(a > 0.9 && b < 0.1) }' ||
  fail "the editor was not recoloured ($light_before, then $light_after)"
qv_quit
theme=$(tr -d '\n\t' <"$T/config/Quorvel/com.brindlecote.Quorvel.plist" |
  grep -o '<key>user.StylesTheme</key><string>[^<]*' | sed 's/.*<string>//')
[ "$theme" = Midnight ] || fail "the theme stored is '$theme'"
