#!/usr/bin/env bash
# Run > Run & Preview of a PHP script runs the real /usr/bin/php and shows its output page
# ("~script.php.html" beside the script) in the script's place; a second run after an edit rewrites
# the page and the same preview shows the new output.
. "$(dirname "$0")/lib.sh"
QV_TEST=preview-run-php
desktop_start
[ -x /usr/bin/php ] || { echo "SKIP: no /usr/bin/php"; exit 0; }
f="$T/files/script.php"
cat >"$f" <<'PHP'
<?php
$n = 6 * 7;
echo "<html><head><title>Answer $n</title></head><body style='background:#fff'>";
echo "<h1>The answer is $n</h1><p>" . strtoupper("computed by php") . "</p></body></html>";
PHP
qv_start "$f"
wait_window '^script\.php$'
editor=$QV_WINDOW
menu_pick 4 3 menu
wait_window '^Answer 42$'
[ -s "$T/files/~script.php.html" ] || fail "no output page ~script.php.html beside the script"
grep -q '<h1>The answer is 42</h1>' "$T/files/~script.php.html" || fail "the output page is not the script's output"
drawn() { [ "$(dark_pixels "$(screenshot output)" 5 145 400 80)" -gt 300 ]; }
wait_until "$QV_WAIT" drawn || fail "the page area shows no output"
qv_expect_alive "after the run"

# Back to the script, change it, run again: the page follows.
menu_pick 5 5
wait_window '^script\.php$'
key ctrl+Home Down End
key BackSpace BackSpace BackSpace BackSpace BackSpace BackSpace
type_text '7 * 6 + 1;'
menu_pick 4 3
wait_window '^Answer 43$'
grep -q 'The answer is 43' "$T/files/~script.php.html" || fail "the second run did not rewrite the page"
sleep 0.5
screenshot second-run >/dev/null
qv_expect_alive "after the second run"
qv_kill
