#!/usr/bin/env bash
# Opening a file no window can show yet (an image) says so in an alert naming the file (screenshot),
# which Return dismisses; no window stands for the image, and a script opened with it opens as usual.
. "$(dirname "$0")/lib.sh"
desktop_start
convert -size 8x8 xc:red "$T/files/picture.png"
printf 'var a;\n' > "$T/files/script.js"
qv_start "$T/files/picture.png" "$T/files/script.js"
# The alert: a window of the program without a title.
alert=""
for _ in $(seq 1 50); do
  for w in $(xdotool search --onlyvisible --name '^$' 2>/dev/null); do
    [ "$(xdotool getwindowpid "$w" 2>/dev/null)" = "$QV_PID" ] && alert=$w
  done
  [ -n "$alert" ] && break
  sleep 0.1
done
[ -n "$alert" ] || fail "no alert for picture.png (windows: $(window_titles))"
screenshot alert >/dev/null
focus_window "$alert"
key Return
wait_until 5 bash -c "! xdotool search --onlyvisible --name '^\$' 2>/dev/null | grep -qx '$alert'" ||
  fail "Return left the alert"
wait_window 'script\.js'
window_titles | grep -q 'picture' && fail "a window stands for picture.png: $(window_titles)"
screenshot after >/dev/null
qv_expect_alive "after the alert"
qv_quit
