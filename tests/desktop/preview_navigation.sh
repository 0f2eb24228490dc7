#!/usr/bin/env bash
# In a preview tab: the link under the pointer shows in the status bar at the bottom and goes when
# the pointer leaves it; following the link, the back and forward buttons go between the two pages.
. "$(dirname "$0")/lib.sh"
QV_TEST=preview-navigation
desktop_start
f="$T/files/page.html"
cat >"$f" <<'HTML'
<html><head><title>First page</title></head><body style="background:#fff;margin:8px">
<h1>First</h1>
<p><a href="other.html">go to the other page</a></p>
</body></html>
HTML
printf '<html><head><title>Other page</title></head><body style="background:#fff"><h1>Other</h1></body></html>\n' \
  >"$T/files/other.html"
qv_start "$f"
wait_window '^page\.html$'
menu_pick 5 2
wait_window '^First page$'
# Window-local places: the back and forward buttons of the preview's toolbar, the link.
BACK="49 124"; FORWARD="75 124"; LINK="90 217"
window_origin
height=$(xwininfo -id "$QV_WINDOW" | awk '/Height:/ {print $2}')
# status_ink NAME: dark pixels of the status bar (the last 24 px above the window's bottom edge) in a
# new screenshot NAME.
status_ink() { dark_pixels "$(screenshot "$1")" 20 $((height - 30)) 600 28; }
link_shown() { [ "$(status_ink hover)" -gt 150 ]; }
link_gone() { [ "$(status_ink off-link)" -lt 60 ]; }
# The status bar shows the link's address while the pointer is over the link, and no more once
# the pointer has left it.
_qv_pointer_to $LINK
wait_until "$QV_WAIT" link_shown || fail "no link address in the status bar"
_qv_pointer_to 600 500
wait_until "$QV_WAIT" link_gone || fail "the link address stayed after the pointer left"

click $LINK
wait_window '^Other page$'
click $BACK
wait_window '^First page$'
screenshot back >/dev/null
click $FORWARD
wait_window '^Other page$'
screenshot forward >/dev/null
qv_expect_alive "after going back and forth"
qv_kill
