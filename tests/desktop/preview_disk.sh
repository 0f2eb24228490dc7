#!/usr/bin/env bash
# Preview > Preview from Disk of an HTML file shows the rendered page in the editor's place (its
# script-set title, new at each load, becomes the window's); Back to Editor brings the text back. Preview in New
# Window shows the page in a window of its own, which follows the text as it is typed (the page's
# title echoes its heading) and reloads when the file is saved.
. "$(dirname "$0")/lib.sh"
QV_TEST=preview-disk
desktop_start
f="$T/files/page.html"
cat > "$f" <<'HTML'
<html><head><title>start</title></head><body style="background:#ffffff">
<h1>Hello</h1>
<p><a href="other.html">a link to another page</a></p>
<script>document.title = 'Seen: ' + document.querySelector('h1').textContent + ' #' + Math.random();</script>
</body></html>
HTML
cp "$f" "$T/original"
qv_start "$f"
wait_window '^page\.html$'
editor=$QV_WINDOW
menu_pick 5 2 menu
wait_window '^Seen: Hello #'
[ -s "$T/files/~page.html" ] || fail "no temporary copy ~page.html beside the page"
expect_bytes "$T/files/~page.html" "$T/original"
# The heading is drawn: dark ink in the page's area below the toolbar (the page paints in a
# process of its own, in its own time).
drawn() { [ "$(dark_pixels "$(screenshot rendered)" 5 145 300 70)" -gt 300 ]; }
wait_until "$QV_WAIT" drawn || fail "the page area shows no heading"
qv_expect_alive "after the preview"

# Back to the text, then a preview window of its own.
menu_pick 5 5
wait_window '^page\.html$'
menu_pick 5 4
other_window() { xdotool search --onlyvisible --name "$1" 2>/dev/null | grep -vx "$editor" | tail -n1 | grep .; }
wait_until "$QV_WAIT" other_window '^Seen: Hello #' || fail "no preview window (windows: $(window_titles))"
preview=$(other_window '^Seen: Hello #')
# Side by side, the text on the left and the page on the right.
xdotool windowsize "$editor" 680 800 windowmove "$editor" 0 0
xdotool windowsize "$preview" 680 800 windowmove "$preview" 700 0
settle
screenshot window >/dev/null

# Typing a word into the heading shows in the preview.
QV_WINDOW=$editor
focus_window "$editor"
key ctrl+Home Down End
key Left Left Left Left Left
start=$(date +%s%N)
type_text ' World'
wait_until "$QV_WAIT" other_window '^Seen: Hello World #' ||
  fail "the preview did not follow the typing (windows: $(window_titles))"
note "the preview showed the typed word $(( ($(date +%s%N) - start) / 1000000 )) ms after the typing began"
sleep 0.3
screenshot typed >/dev/null
grep -q '<h1>Hello World</h1>' "$T/files/~page.html" || fail "the temporary copy lacks the typed word"
expect_bytes "$f" "$T/original"

# Saving writes the page and the preview reloads (the page's title is new at each load).
before=$(xdotool getwindowname "$preview")
stamp=$(file_stamp "$T/files/~page.html")
saved=$(file_stamp "$f")
key ctrl+s
wait_file_changed "$f" "$saved"
grep -q '<h1>Hello World</h1>' "$f" || fail "the save did not write the typed word"
wait_until "$QV_WAIT" bash -c "[ \"\$(stat -c '%Y.%i.%s' '$T/files/~page.html')\" != '$stamp' ]" ||
  fail "the save did not refresh the temporary copy"
reloaded() { local now; now=$(xdotool getwindowname "$preview") && [ "$now" != "$before" ] && [[ $now == "Seen: Hello World #"* ]]; }
wait_until "$QV_WAIT" reloaded || fail "the preview did not reload after the save (title: $(xdotool getwindowname "$preview"))"
sleep 0.3
screenshot saved >/dev/null
qv_expect_alive "after the save"
qv_kill
