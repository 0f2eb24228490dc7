#!/usr/bin/env bash
# A command whose output goes to the error list (the PHP library's "lint", which checks the saved
# file): "[lint]" and Tab in a broken PHP file bring the macro error pane up under the editor with
# the error, a click on the error selects its line, and the pane's close button closes it again.
. "$(dirname "$0")/lib.sh"
desktop_start
f="$T/files/broken.php"
printf '<?php\n$a = 1\necho $a;\n' > "$f"
cp "$f" "$T/expected"
qv_start "$f"
wait_window 'broken\.php'
# Window-local places (the window opens 960 wide): the pane comes up between the tabs and the
# editor, its strip 122 below the window's top with the close button at its right end, its first
# row under the strip; the row's message runs past the editor's first line there.
ROW_X=110 ROW_Y=142 ROW_W=100 ROW_H=14
CLOSE_X=946 CLOSE_Y=124
before=$(screenshot before)

key ctrl+End
type_text '[lint]'
key Tab
# The pane comes up under the editor: its strip and its row are drawn where the text was white.
pane_up() {
  local shot
  shot=$(screenshot probe)
  [ "$(dark_pixels "$shot" $ROW_X $ROW_Y $ROW_W $ROW_H)" -gt 60 ]
}
wait_until "$QV_WAIT" pane_up || fail "no error pane under the editor after [lint]"
settle
shown=$(screenshot shown)
[ "$(dark_pixels "$before" $ROW_X $ROW_Y $ROW_W $ROW_H)" -lt 20 ] || fail "the place of the error row is not empty before"
qv_expect_alive "with the error pane up"

# The row names line 3 of this file: choosing it selects that line.
click $ROW_X $((ROW_Y + ROW_H / 2))
screenshot chosen >/dev/null

# The close button at the right end of the pane's strip closes the pane.
click $CLOSE_X $CLOSE_Y
gone() {
  local shot
  shot=$(screenshot probe)
  [ "$(dark_pixels "$shot" $ROW_X $ROW_Y $ROW_W $ROW_H)" -lt 20 ]
}
wait_until "$QV_WAIT" gone || fail "the close button left the error pane up"
screenshot closed >/dev/null
qv_expect_alive "after closing the error pane"
# Nothing was saved: the file is as it was.
expect_bytes "$f" "$T/expected"
qv_kill
