#!/usr/bin/env bash
# A new text saved under a name in another script and longer than 63 characters: the file holds the
# text, and the window is named after the file. Then two files as tabs, one named in Cyrillic and one
# named with the question marks a Mac Roman name would show instead: their tabs must look different.
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

# The tabs: the one of the Cyrillic name, shown in front, must not look like the one of "??????.php".
cyrillic="Привет.php"
marks="??????.php"
printf '<?php\n' > "$F/$cyrillic"
printf '<?php\n' > "$F/$marks"
fresh_settings  # no window of the last run comes back: the two files are tabs 1 and 2
qv_start "$F/$marks" "$F/$cyrillic"
wait_window 'Привет'
# The tab strip under the toolbar (window-local): the title of tab 1 and of tab 2.
tab_y=98
tab1="10 88 110 20"
tab2="147 88 110 20"
xdotool mousemove 700 600
settle
shot=$(screenshot tab-cyrillic)
crop() { window_origin; convert "$1" -crop "${4}x${5}+$((QV_WX + $2))+$((QV_WY + $3))" +repage "$6"; }
crop "$shot" $tab2 "$T/tab-cyrillic.png"
click 63 $tab_y
wait_window '^\?\?\?\?\?\?\.php'
xdotool mousemove 700 600
settle
shot=$(screenshot tab-marks)
crop "$shot" $tab1 "$T/tab-marks.png"
ink=$(dark_pixels "$shot" $tab1)
[ "$ink" -gt 20 ] || fail "the tab of $marks has no title drawn ($ink dark pixels)"
differ=$(compare -metric AE "$T/tab-cyrillic.png" "$T/tab-marks.png" null: 2>&1 || true)
note "the tabs of $cyrillic and $marks differ in $differ pixels"
[ "${differ%% *}" != "0" ] || fail "the tab of $cyrillic shows question marks"
qv_expect_alive "with the two tabs"
qv_quit
