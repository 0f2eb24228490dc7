#!/usr/bin/env bash
# The program killed (kill -9) while it saves a 50 MB file leaves the old file or the new one
# whole on disk, never a cut one.
. "$(dirname "$0")/lib.sh"
desktop_start
# Opening and typing into 50 MB takes a while in a sanitizer build: give each wait more time.
QV_WAIT=150
f="$T/files/large.html"
line='<p>a line of a large page, written to be ended during its save</p>'
yes "$line" | head -n $(( 50 * 1024 * 1024 / (${#line} + 1) + 1 )) > "$f"
cp "$f" "$T/original"
size=$(stat -c %s "$f")
qv_start "$f"
wait_window 'large\.html'
# The text is in and modified once the title shows "*". A key typed while the sanitizer build
# still lays out 50 MB can be dropped with the focus change that follows: type again now and then.
typed=0
end=$(( $(date +%s) + QV_WAIT ))
while ! _qv_find_window '^\*large\.html' >/dev/null; do
  [ "$(date +%s)" -le "$end" ] || fail "the typed text never showed (windows: $(window_titles))"
  qv_alive || fail "the program ended while the text was typed"
  if [ $(( typed % 300 )) -eq 0 ]; then focus_window "$QV_WINDOW"; type_text x; fi
  typed=$(( typed + 1 ))
  sleep 0.1
done
stamp=$(file_stamp "$f")
key ctrl+s
# The moment the save shows on disk (a file beside it, or the file itself touched), end it.
end=$(( $(date +%s) + QV_WAIT ))
caught=""
while [ "$(date +%s)" -le "$end" ]; do
  if [ "$(ls -A "$T/files" | wc -l)" -gt 1 ] || [ "$(file_stamp "$f")" != "$stamp" ]; then caught=1; break; fi
done
[ -n "$caught" ] || fail "the save never started"
qv_kill
if cmp -s "$f" "$T/original"; then
  note "killed before the rename: the old file is whole"
elif [ "$(stat -c %s "$f")" -gt "$size" ] && tr -d x < "$f" | cmp -s - "$T/original"; then
  note "killed after the rename: the new file is whole"
else
  fail "the file was cut: $(stat -c %s "$f") bytes of $size and the typed x"
fi
