#!/usr/bin/env bash
# A project on a disk that has no room left: adding a file that lies outside the project writes the
# project's settings, which fails; an alert names the file and says why, the program goes on, and the
# settings are kept, so that closing the window once there is room again writes them.
. "$(dirname "$0")/lib.sh"
if [ "$(id -u)" != 0 ]; then echo "skipped: mounting a small file system needs root"; exit 0; fi
desktop_start
disk="$T/files/disk"
mkdir -p "$disk" "$T/files/site"
mount -t tmpfs -o size=2m tmpfs "$disk" || { echo "skipped: no tmpfs here"; exit 0; }
trap 'qv_kill; umount "$disk" 2>/dev/null; _qv_cleanup' EXIT
printf '<?php\nfunction price_of($p) { return 3; }\n' > "$T/files/site/cart.php"
settings="$disk/Shop/Shop.qvproj/Contents/Resources/Preferences/project.plist"

qv_start
wait_window 'Untitled'
menu_pick 1 4                                        # File > New Project…
save_file '^New File$' "$disk/Shop"
wait_window '^Shop\.qvproj$'
project_window=$QV_WINDOW
[ -f "$settings" ] || fail "the new project has no settings file"
cp "$settings" "$T/settings-before"
before=$(ls -A "$(dirname "$settings")")

# Nothing fits any more.
dd if=/dev/zero of="$disk/filler" bs=4k 2>/dev/null
menu_pick 6 1                                        # Project > Add Files…
choose_file '^Open$' "$T/files/site/cart.php"
wait_dialog
screenshot alert >/dev/null
qv_expect_alive "after the failed write"
expect_bytes "$settings" "$T/settings-before"
[ "$(ls -A "$(dirname "$settings")")" = "$before" ] ||
  fail "the failed write left files behind: $(ls -A "$(dirname "$settings")")"
key Return
wait_no_dialog
QV_WINDOW=$project_window
screenshot row-kept >/dev/null

# Room again: closing the window writes what the failed write could not.
rm -f "$disk/filler"
focus_window "$project_window"
key ctrl+w
wait_until "$QV_WAIT" grep -q 'site' "$settings" || fail "the project's settings lost the added file's folder"
