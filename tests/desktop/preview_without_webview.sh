#!/usr/bin/env bash
# A program whose Frameworks folder lacks Ostrelle.bundle: the first preview says "Ostrelle failed
# to load!" once; the preview tab stays empty, a second preview says nothing more, and the text and
# the program go on (an edit is saved).
. "$(dirname "$0")/lib.sh"
QV_TEST=preview-without-webview
desktop_start
real=$(cd "$(dirname "$QV_EXE")/../.." && pwd)
app="$T/Quorvel.app"
mkdir -p "$app/Contents/MacOS" "$app/Contents/Frameworks"
cp "$QV_EXE" "$app/Contents/MacOS/Quorvel"
for item in "$real/Contents/"*; do
  case "$(basename "$item")" in MacOS | Frameworks) ;; *) ln -s "$item" "$app/Contents/" ;; esac
done
for item in "$real/Contents/Frameworks/"*; do
  [ "$(basename "$item")" = Ostrelle.bundle ] || ln -s "$item" "$app/Contents/Frameworks/"
done
QV_EXE="$app/Contents/MacOS/Quorvel"
f="$T/files/page.html"
printf '<html><body><h1>Hello</h1></body></html>\n' >"$f"
qv_start "$f"
wait_window '^page\.html$'
editor=$QV_WINDOW
menu_pick 5 2
wait_dialog
shot=$(screenshot alert)
key Return
wait_dialog_closed
QV_WINDOW=$editor
focus_window "$editor"
qv_expect_alive "after the alert"
# Back to the text and a second preview: no second alert.
menu_pick 5 5
menu_pick 5 2
sleep 1
_qv_no_dialog || { screenshot second-alert >/dev/null; fail "the second preview said it again"; }
screenshot second >/dev/null
menu_pick 5 5
focus_window "$editor"
key ctrl+End
type_text 'ok'
stamp=$(file_stamp "$f")
key ctrl+s
wait_file_changed "$f" "$stamp"
grep -q 'ok$' "$f" || fail "the edit was not saved"
qv_expect_alive "at the end"
qv_kill
