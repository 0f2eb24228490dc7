#!/usr/bin/env bash
# A remote file dragged from the FTP pane to a program that saves dropped files the direct way
# (it names where to save through the source window's property): the file is downloaded into that
# folder, with the server's bytes, and the program hears that it was saved; a place the file
# cannot go under its own name (another name, a folder that does not exist) is answered as an
# error and nothing is written anywhere.
. "$(dirname "$0")/lib.sh"
desktop_start
. "$(dirname "$0")/../support/desktop_ftp.sh"
[ -x "${QV_XDS_TARGET:-}" ] || fail "the direct-save drop target was not built"
ftp_server_start
printf '<?php\necho "shop";\n' >"$root/www/index.php"
ftp_project
ftp_open_mode 176
window=$QV_WINDOW

mkdir -p "$T/files/saved"
echo file >"$T/files/control"
"$QV_XDS_TARGET" "$T/files/saved" >"$T/target.log" 2>&1 &
TARGET_PID=$!
trap 'kill "$TARGET_PID" "$FTP_PID" 2>/dev/null; _qv_cleanup' EXIT
wait_window '^Direct Save Target$'
target=$QV_WINDOW
window_origin
tx=$((QV_WX + 60)); ty=$((QV_WY + 100))
QV_WINDOW=$window
focus_window "$window"
window_origin
sx=$((QV_WX + 60)); sy=$((QV_WY + 187))            # the index.php row
saved="$T/files/saved"

answered_more() { [ "$(grep -c '^[SEF?]$' "$T/target.log" || true)" -gt "$1" ]; }

# drag_out: the index.php row dragged onto the target, which answers on a line of its own.
drag_out() {
  local answers
  answers=$(grep -c '^[SEF?]$' "$T/target.log" || true)
  xdotool windowraise "$target"; settle
  drag_to "$sx" "$sy" "$tx" "$ty" 25 "drag-over-$1"
  wait_until 20 answered_more "$answers" || {
    screenshot "no-answer-$1" >/dev/null
    cat "$T/target.log" >&2
    fail "$1: the drop target got no answer"
  }
  answer=$(grep '^[SEF?]$' "$T/target.log" | tail -n 1)
}

# The URI the target names, the answer it gets and whether the file lands in the folder.
while read -r mode want lands; do
  rm -rf "$saved"; mkdir -p "$saved"
  echo "$mode" >"$T/files/control"
  drag_out "$mode"
  [ "$answer" = "$want" ] || { cat "$T/target.log" >&2; fail "$mode: answered \"$answer\", not \"$want\""; }
  if [ "$lands" = yes ]; then
    cmp -s "$saved/index.php" "$root/www/index.php" || fail "$mode: the file saved is not the server's"
    [ "$(ls -A "$saved")" = "index.php" ] || fail "$mode: the folder holds more than the file: $(ls -A "$saved")"
  else
    [ -z "$(ls -A "$saved")" ] || fail "$mode: a refused save wrote into the folder: $(ls -A "$saved")"
  fi
  # No remote file is written anywhere else.
  [ -z "$(find "$T/files" -name index.php -not -path "$saved/*")" ] ||
    fail "$mode: the file was written outside the folder: $(find "$T/files" -name index.php -not -path "$saved/*")"
  find "$TMPDIR" "$HOME" -path '*Quorvel FTP Drags*' -name index.php 2>/dev/null | grep -q . &&
    fail "$mode: the file went to the private drag folder"
  qv_expect_alive "after the $mode drag"
done <<'CASES'
file    S yes
folder  S yes
renamed E no
missing E no
CASES
grep -qx 'name index.php' "$T/target.log" || fail "the source did not name the file it promised"
settle
screenshot saved >/dev/null
qv_expect_alive "after the direct-save drag"
kill "$TARGET_PID" 2>/dev/null
focus_window "$window"
qv_quit
