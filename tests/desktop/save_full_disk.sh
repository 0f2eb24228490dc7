#!/usr/bin/env bash
# Save of a file that no longer fits on its disk leaves the original whole (no cut file, no
# temporary left), says so in an alert naming the file, and keeps the document modified; once
# there is room again the same Save writes it.
. "$(dirname "$0")/lib.sh"
if [ "$(id -u)" != 0 ]; then echo "skipped: mounting a small file system needs root"; exit 0; fi
desktop_start
disk="$T/files/disk"
mkdir -p "$disk"
mount -t tmpfs -o size=400k tmpfs "$disk" || { echo "skipped: no tmpfs here"; exit 0; }
trap 'qv_kill; umount "$disk" 2>/dev/null; _qv_cleanup' EXIT
f="$disk/big.html"
# 330 KB of a page: it fits once, not twice.
{ echo '<html><body>'; for i in $(seq 1 7000); do echo "<p>line $i of a page that fills the disk</p>"; done; } > "$f"
[ "$(stat -c %s "$f")" -gt 300000 ] || fail "the fixture is too small"
cp "$f" "$T/original"
qv_start "$f"
wait_window 'big\.html'
key ctrl+End
type_text x
key ctrl+s
wait_dialog
screenshot disk-full >/dev/null
qv_expect_alive "after the failed save"
expect_bytes "$f" "$T/original"
[ "$(ls -A "$disk")" = big.html ] || fail "the failed save left files behind: $(ls -A "$disk")"
key Return
wait_no_dialog
case "$(xdotool getwindowname "$QV_WINDOW")" in
  \**) ;;
  *) fail "the document no longer shows as modified: '$(xdotool getwindowname "$QV_WINDOW")'" ;;
esac
# Room again: the same Save writes the file.
mount -o remount,size=2m "$disk" || fail "the disk could not be made larger"
stamp=$(file_stamp "$f")
focus_window "$QV_WINDOW"
key ctrl+s
wait_file_changed "$f" "$stamp"
cp "$T/original" "$T/expected" && printf 'x' >> "$T/expected"
expect_bytes "$f" "$T/expected"
qv_quit
