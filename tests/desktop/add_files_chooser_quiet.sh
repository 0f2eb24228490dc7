#!/usr/bin/env bash
# Project > Add Files… used as people type: paths typed straight into the file dialog (quickly, with no
# Ctrl+L first), one of them in a sub-folder, and a cancel by Escape. Every file typed is added, and
# the program prints no GTK critical on the way.
. "$(dirname "$0")/lib.sh"
desktop_start
mkdir -p "$T/files/site/parts"
for name in a b; do printf '<?php echo "%s"; ?>\n' "$name" > "$T/files/site/$name.php"; done
printf '<?php echo "c"; ?>\n' > "$T/files/site/parts/c.php"
sources="$T/files/Shop/Shop.qvproj/Contents/Resources/Data/sources.plist"
no_criticals() {
  grep -q 'Gtk-CRITICAL' "$T/qv.log" && fail "GTK criticals $1: $(grep -m 3 'Gtk-CRITICAL' "$T/qv.log")"
  return 0
}

qv_start
wait_window 'Untitled'
menu_pick 1 4                                        # File > New Project…
save_file '^New File$' "$T/files/Shop"
wait_window '^Shop\.qvproj$'
project_window=$QV_WINDOW
for name in a b; do
  menu_pick 6 1                                      # Project > Add Files…
  wait_window '^Open$'
  xdotool type --delay 8 -- "$T/files/site/$name.php"
  settle
  key Return
  wait_no_window '^Open$'
  no_criticals "while adding $name.php"
  QV_WINDOW=$project_window
  focus_window "$project_window"
done
menu_pick 6 1
wait_window '^Open$'
key Escape
wait_no_window '^Open$'
no_criticals "after a cancel"
QV_WINDOW=$project_window
focus_window "$project_window"
menu_pick 6 1
wait_window '^Open$'
xdotool type --delay 8 -- "$T/files/site/parts/c.php"
settle
screenshot typed >/dev/null
key Return
wait_no_window '^Open$'
no_criticals "while choosing from a sub-folder"
QV_WINDOW=$project_window
focus_window "$project_window"
screenshot added >/dev/null
stamp=$(file_stamp "$sources")
key ctrl+w
wait_file_changed "$sources" "$stamp"
rows=$(python3 -c "
import plistlib, sys
for row in plistlib.load(open(sys.argv[1], 'rb')):
    if isinstance(row, bytes): print(row.decode('latin-1'))
" "$sources")
for name in a b c; do
  echo "$rows" | grep -q "$name\.php" || fail "$name.php was not added; the rows hold: $rows"
done
no_criticals "at the end"
