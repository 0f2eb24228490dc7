#!/usr/bin/env bash
# An untitled text saved over an executable script keeps the script executable (0755); saved under
# a new name it gets the usual mode (0666 less the umask: 0644 here), never a private 0600.
. "$(dirname "$0")/lib.sh"
desktop_start
umask 022
printf '#!/usr/bin/perl\nprint "old\\n";\n' > "$T/files/tool.pl"
chmod 0755 "$T/files/tool.pl"
printf 'print 1;' > "$T/expected"
# saved as, its mode then
for row in "tool.pl 755" "new.html 644"; do
  set -- $row
  qv_start
  wait_window 'Untitled'
  type_text 'print 1;'
  key ctrl+s
  if [ -e "$T/files/$1" ]; then
    # The file dialog asks whether to replace the file; Replace has the focus.
    wait_window 'Save As'
    key ctrl+a
    type_text "$T/files/$1"
    key Return
    wait_until "$QV_WAIT" bash -c "[ \$(xdotool search --onlyvisible --pid $QV_PID | wc -l) -ge 3 ]" ||
      fail "no question about replacing $1"
    key Return
    wait_no_window 'Save As'
  else
    save_file 'Save As' "$T/files/$1"
  fi
  wait_until "$QV_WAIT" cmp -s "$T/files/$1" "$T/expected" || fail "$1 does not hold the text after Save As"
  qv_expect_alive "after saving as $1"
  [ "$(stat -c %a "$T/files/$1")" = "$2" ] || fail "saved as $1 with mode $(stat -c %a "$T/files/$1"), not $2"
  screenshot "saved-as-$1" >/dev/null
  qv_kill
done
leftover=$(ls -A "$T/files" | grep '^\.' | head -n1)
[ -z "$leftover" ] || fail "a temporary file was left: $leftover"
