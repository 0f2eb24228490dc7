#!/usr/bin/env bash
# Edit > Preferences… > Styles > Select… opens the desktop's font chooser; a larger size chosen
# there redraws the open editor's text larger at once, is shown in the Styles pane and is stored,
# so that the editor still uses it after a restart.
. "$(dirname "$0")/lib.sh"
desktop_start
printf "<?php\necho 'hello world';\n\$answer = 42;\n" > "$T/files/a.php"
qv_start "$T/files/a.php"
wait_window '^a\.php$'
EDITOR=$QV_WINDOW
before=$(screenshot before)
# The text of the first lines, right of the gutter.
ink_before=$(dark_pixels "$before" 60 150 500 120)

key ctrl+comma
wait_window '^Preferences$'
PREFS=$QV_WINDOW
click 85 50      # the toolbar's Styles button
click 480 115    # Select…
wait_window '^Fonts$'
screenshot chooser >/dev/null
# The chooser's size field: the whole number replaced by 24, then Select.
_qv_pointer_to 279 415 && xdotool click --repeat 3 --delay 60 1
settle
type_text "24"
key Tab
screenshot chooser-24 >/dev/null
click 373 455    # Select
wait_no_window '^Fonts$'
qv_expect_alive "after the font was chosen"

QV_WINDOW=$PREFS
focus_window "$PREFS"
screenshot styles >/dev/null
QV_WINDOW=$EDITOR
focus_window "$EDITOR"
after=$(screenshot after)
ink_after=$(dark_pixels "$after" 60 150 500 120)
note "ink of the text: $ink_before before, $ink_after after"
[ "$ink_after" -gt $((ink_before * 3 / 2)) ] || fail "the editor's text was not redrawn larger ($ink_before, then $ink_after)"
qv_quit

size=$(tr -d '\n\t ' <"$T/config/Quorvel/com.brindlecote.Quorvel.plist" |
  grep -o '<key>user.StylesEditorFontSize</key><integer>[0-9]*' | grep -o '[0-9]*$')
[ "$size" = 24 ] || fail "the font size stored is '$size'"

qv_start "$T/files/a.php"
wait_window '^a\.php$'
restarted=$(screenshot restarted)
ink_restarted=$(dark_pixels "$restarted" 60 150 500 120)
[ "$ink_restarted" -gt $((ink_before * 3 / 2)) ] || fail "after a restart the editor is back at the old size"
qv_quit
