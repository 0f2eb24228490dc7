#!/usr/bin/env bash
# A remote file dragged from the FTP pane to another program that takes files (a uri-list): the
# file is downloaded when the program asks for it and handed over as a local file, with the
# server's bytes.
. "$(dirname "$0")/lib.sh"
desktop_start
. "$(dirname "$0")/../support/desktop_ftp.sh"
ftp_server_start
printf '<?php\necho "shop";\n' >"$root/www/index.php"
ftp_project
ftp_open_mode 176
window=$QV_WINDOW

# The other program: a GTK window that copies each dropped file into $T/files/received.
mkdir -p "$T/files/received"
/usr/bin/python3 - "$T/files/received" >"$T/target.log" 2>&1 <<'PY' &
import shutil, sys, gi
gi.require_version("Gtk", "3.0")
from gi.repository import Gtk, Gdk, GLib
out = sys.argv[1]
w = Gtk.Window(title="Drop Target")
w.move(1268, 300)  # beside the program's window, which a press raises
w.set_default_size(128, 200)
b = Gtk.EventBox()
b.add(Gtk.Label(label="drop here"))
b.drag_dest_set(Gtk.DestDefaults.ALL, [Gtk.TargetEntry.new("text/uri-list", 0, 0)], Gdk.DragAction.COPY)
def received(widget, context, x, y, data, info, time):
    for uri in data.get_uris():
        path = GLib.filename_from_uri(uri)[0]
        shutil.copy(path, out)
        print(path, flush=True)
b.connect("drag-data-received", received)
w.add(b)
w.connect("destroy", Gtk.main_quit)
w.show_all()
Gtk.main()
PY
TARGET_PID=$!
trap 'kill "$TARGET_PID" "$FTP_PID" 2>/dev/null; _qv_cleanup' EXIT
wait_window '^Drop Target$'
target=$QV_WINDOW
window_origin
tx=$((QV_WX + 60)); ty=$((QV_WY + 100))
QV_WINDOW=$window
focus_window "$window"
window_origin
sx=$((QV_WX + 60)); sy=$((QV_WY + 187))            # the index.php row
xdotool windowraise "$target"; settle                # the other program's window in sight
drag_to "$sx" "$sy" "$tx" "$ty" 25 drag-over
wait_until 20 test -f "$T/files/received/index.php" || { screenshot not-received >/dev/null; fail "the other program got no file"; }
cmp -s "$T/files/received/index.php" "$root/www/index.php" || fail "the file handed over is not the server's"
settle
screenshot received >/dev/null
qv_expect_alive "after the drag out"
kill "$TARGET_PID" 2>/dev/null
focus_window "$window"
qv_quit
