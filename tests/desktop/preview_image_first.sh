#!/usr/bin/env bash
# An image as the first item opened: it shows in a preview tab of the window the script opened with
# it shares, with no "(Untitled)" tab beside them; closing both tabs ends the run. An image alone
# opens one window whose only tab shows it.
. "$(dirname "$0")/lib.sh"
QV_TEST=preview-image-first
desktop_start
convert -size 8x8 xc:red "$T/files/picture.png"
printf 'var a;\n' > "$T/files/script.js"

qv_start "$T/files/picture.png" "$T/files/script.js"
wait_window '^script\.js$'
_qv_no_dialog || fail "opening the image asked something"
screenshot with-script >/dev/null
window_titles | grep -q 'Untitled' && fail "an untitled window stands beside the script: $(window_titles)"
[ "$(xdotool search --onlyvisible --pid "$QV_PID" 2>/dev/null | wc -l)" = 1 ] ||
  fail "more than one window: $(window_titles)"
key ctrl+w
wait_window '^picture\.png$'
key ctrl+w
wait_until "$QV_WAIT" bash -c "! kill -0 $QV_PID 2>/dev/null" ||
  fail "closing both tabs left the program with: $(window_titles)"
wait "$QV_PID" 2>/dev/null
QV_PID=""

fresh_settings
qv_start "$T/files/picture.png"
wait_window '^picture\.png$'
screenshot alone >/dev/null
[ "$(xdotool search --onlyvisible --pid "$QV_PID" 2>/dev/null | wc -l)" = 1 ] ||
  fail "more than one window after the image alone: $(window_titles)"
window_titles | grep -q 'Untitled' && fail "an untitled window came with the image: $(window_titles)"
qv_expect_alive "after the image alone"
qv_kill
