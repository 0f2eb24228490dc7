#!/usr/bin/env bash
# The FTP pane's contextual menu creates a file in a remote folder and deletes a remote file (both
# through ftp.php under /usr/bin/php); a file dragged from another program onto the list is
# uploaded into the folder shown. The server's disk is checked after each.
. "$(dirname "$0")/lib.sh"
desktop_start
. "$(dirname "$0")/../support/desktop_ftp.sh"
ftp_server_start
printf '<?php\necho "shop";\n' >"$root/www/index.php"
printf 'body {}\n' >"$root/www/site.css"
ftp_project
ftp_open_mode 176
window=$QV_WINDOW

# New File on the images folder's row.
# (The pointer leaves the menu so that the keys alone choose.)
click 65 168 3
wait_popup
xdotool mousemove 700 700; settle
screenshot context-menu >/dev/null
key Down Down Return
wait_until 20 test -f "$root/www/images/untitled.txt" || { screenshot no-new-file >/dev/null; fail "New File made nothing on the server"; }
settle
screenshot new-file >/dev/null

# Delete on index.php's row (the images folder stays closed).
click 65 187 3
wait_popup
xdotool mousemove 700 700; settle
screenshot delete-menu >/dev/null
key Down Down Down Return
wait_until 20 bash -c "! test -e '$root/www/index.php'" || { screenshot not-deleted >/dev/null; fail "Delete left index.php on the server"; }
settle
screenshot deleted >/dev/null

# A drag from another program: a small GTK window offers a local file as a uri-list.
printf '<p>dropped</p>\n' >"$T/files/dropped.html"
/usr/bin/python3 - "$T/files/dropped.html" >"$T/source.log" 2>&1 <<'PY' &
import sys, gi
gi.require_version("Gtk", "3.0")
from gi.repository import Gtk, Gdk, GLib
uri = GLib.filename_to_uri(sys.argv[1], None)
w = Gtk.Window(title="Drag Source")
w.move(900, 500)
w.set_default_size(200, 120)
b = Gtk.EventBox()
b.add(Gtk.Label(label="dropped.html"))
b.drag_source_set(Gdk.ModifierType.BUTTON1_MASK, [Gtk.TargetEntry.new("text/uri-list", 0, 0)], Gdk.DragAction.COPY)
b.connect("drag-data-get", lambda w, c, d, i, t: d.set_uris([uri]))
w.add(b)
w.connect("destroy", Gtk.main_quit)
w.show_all()
Gtk.main()
PY
SOURCE_PID=$!
trap 'kill "$SOURCE_PID" "$FTP_PID" 2>/dev/null; _qv_cleanup' EXIT
wait_window '^Drag Source$'
source=$QV_WINDOW
QV_WINDOW=$window
window_origin
tx=$((QV_WX + 60)); ty=$((QV_WY + 300))
QV_WINDOW=$source
window_origin
sx=$((QV_WX + 100)); sy=$((QV_WY + 60))
drag_to "$sx" "$sy" "$tx" "$ty" 20 drag-over
QV_WINDOW=$window
wait_until 20 test -f "$root/www/dropped.html" || { screenshot not-dropped >/dev/null; fail "the dropped file was not uploaded"; }
wait_until 10 cmp -s "$root/www/dropped.html" "$T/files/dropped.html" || fail "the uploaded file differs from the dropped one"
settle
screenshot dropped >/dev/null
qv_expect_alive "after the drop"
kill "$SOURCE_PID" 2>/dev/null
focus_window "$window"
qv_quit
