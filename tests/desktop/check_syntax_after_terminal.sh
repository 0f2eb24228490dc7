#!/usr/bin/env bash
# Check Syntax after a Run in Terminal: the errors it finds take the terminal's place below the
# text, and the message it shows over the text behaves as a help tag: the next key, or a move of
# the pointer away, hides it.
. "$(dirname "$0")/lib.sh"
desktop_start
printf '<?php\necho 1\necho 2;\n' > "$T/files/broken.php"
qv_start "$T/files/broken.php"
wait_window 'broken\.php'
# The message is a window of its own without a title of its own.
tags() { xdotool search --onlyvisible --name '^Quorvel$' 2>/dev/null | wc -l; }
key ctrl+alt+t
sleep 1
screenshot terminal >/dev/null
key shift+ctrl+k
wait_until "$QV_WAIT" bash -c "[ \$(xdotool search --onlyvisible --name '^Quorvel\$' 2>/dev/null | wc -l) -gt 0 ]" ||
  fail "Check Syntax showed no message"
screenshot errors >/dev/null
key Right
wait_until 5 bash -c "[ \$(xdotool search --onlyvisible --name '^Quorvel\$' 2>/dev/null | wc -l) -eq 0 ]" ||
  fail "the message stays after a key ($(tags) shown)"
screenshot after-key >/dev/null
# Again, and the pointer moves away.
key shift+ctrl+k
wait_until "$QV_WAIT" bash -c "[ \$(xdotool search --onlyvisible --name '^Quorvel\$' 2>/dev/null | wc -l) -gt 0 ]" ||
  fail "the second check showed no message"
xdotool mousemove --window "$QV_WINDOW" 700 600 >/dev/null; settle
xdotool mousemove --window "$QV_WINDOW" 720 620 >/dev/null; settle
wait_until 5 bash -c "[ \$(xdotool search --onlyvisible --name '^Quorvel\$' 2>/dev/null | wc -l) -eq 0 ]" ||
  fail "the message stays after the pointer moved away ($(tags) shown)"
qv_expect_alive "after checking"
qv_quit
