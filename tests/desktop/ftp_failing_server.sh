#!/usr/bin/env bash
# An FTP server that fails: a file whose data never comes ends, once the stall limit has passed, in
# an alert instead of a frozen pane; a save the server refuses at the end (552) says so and keeps
# the text; a server that has gone refuses the connection, and the pane's toolbar says so and
# offers to connect again.
. "$(dirname "$0")/lib.sh"
desktop_start
. "$(dirname "$0")/../support/desktop_ftp.sh"
ftp_server_start faults
printf 'never comes\n' >"$root/www/stall.txt"
printf 'old\n' >"$root/www/full.txt"
ftp_project
export QUORVEL_FTP_STALL_SECONDS=3 QUORVEL_FTP_CONNECT_SECONDS=5
# Rows: full.txt, images, stall.txt.
ftp_open_mode 168
window=$QV_WINDOW

double_click 65 206                                  # stall.txt
wait_dialog
screenshot stalled >/dev/null
key Return
wait_no_dialog
focus_window "$window"
qv_expect_alive "after the stalled download"

double_click 65 168                                  # full.txt
opened() { find "$T/run" "$T/tmp" -path '*/Quorvel FTP/*/full.txt' 2>/dev/null | grep -q .; }
wait_until 20 opened || fail "full.txt was not downloaded"
settle; settle
key ctrl+End
type_text 'new text'
key ctrl+s
wait_dialog
screenshot store-refused >/dev/null
key Return
wait_no_dialog
focus_window "$window"
local=$(find "$T/run" "$T/tmp" -path '*/Quorvel FTP/*/full.txt' | head -n1)
grep -q 'new text' "$local" || fail "the refused upload lost the local text"

# The server goes: a refresh is refused, and the pane says so.
ftp_server_stop
click 65 187 3                                       # on the images row
wait_popup
xdotool mousemove 700 700; settle
key Down Down Down Down Return                       # Refresh
settle; settle; settle
screenshot refused >/dev/null
[ "$(dark_pixels "$QV_SHOTS/$QV_TEST-refused.png" 120 118 120 18)" -gt 30 ] || fail "the pane's toolbar shows no message"
qv_expect_alive "after the refused connection"
qv_quit
