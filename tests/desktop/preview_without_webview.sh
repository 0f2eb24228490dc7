#!/usr/bin/env bash
# A program whose Frameworks folder lacks Ostrelle.bundle: the first preview says "Ostrelle failed
# to load!" once; the preview stays empty, the preview commands are off from then on, and the text
# and the program go on (an edit is saved).
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
# The preview commands are off now; Back to Editor (the one item left to choose) brings the text.
menu_pick 5 1 menu-off
sleep 0.5
_qv_no_dialog || { screenshot second-alert >/dev/null; fail "the program said it again"; }
screenshot back >/dev/null
focus_window "$editor"
key ctrl+End
type_text 'ok'
stamp=$(file_stamp "$f")
key ctrl+s
wait_file_changed "$f" "$stamp"
grep -q 'ok$' "$f" || fail "the edit was not saved"
qv_expect_alive "at the end"
qv_kill
