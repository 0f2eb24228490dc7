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
type_text x
wait_window '^\*large\.html'   # the text is in and modified
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
elif [ "$(stat -c %s "$f")" = $((size + 1)) ] && tr -d x < "$f" | cmp -s - "$T/original"; then
  note "killed after the rename: the new file is whole"
else
  fail "the file was cut: $(stat -c %s "$f") bytes of $size or $((size + 1))"
fi
