#!/usr/bin/env bash
# An image as the first item opened: after its alert no "(Untitled)" tab stands beside the script
# opened with it (closing the script's tab leaves nothing, so the run ends); an image alone leaves
# one empty editor window, as a run that opened nothing begins.
. "$(dirname "$0")/lib.sh"
desktop_start
convert -size 8x8 xc:red "$T/files/picture.png"
printf 'var a;\n' > "$T/files/script.js"

qv_start "$T/files/picture.png" "$T/files/script.js"
wait_dialog
window_titles | grep -q 'Untitled' && fail "an untitled window came up with the alert: $(window_titles)"
key Return
wait_dialog_closed
wait_window '^script\.js$'
screenshot with-script >/dev/null
window_titles | grep -q 'Untitled' && fail "an untitled window stands beside the script: $(window_titles)"
key ctrl+w
wait_until "$QV_WAIT" bash -c "! kill -0 $QV_PID 2>/dev/null" ||
  fail "closing the script's tab left the program with: $(window_titles)"
wait "$QV_PID" 2>/dev/null
QV_PID=""

fresh_settings
qv_start "$T/files/picture.png"
wait_dialog
key Return
wait_dialog_closed
wait_window '^\(Untitled\)$'
screenshot alone >/dev/null
[ "$(xdotool search --onlyvisible --pid "$QV_PID" 2>/dev/null | wc -l)" = 1 ] ||
  fail "more than one window after the image alone: $(window_titles)"
type_text 'ok'
qv_expect_alive "after the image alone"
qv_kill
