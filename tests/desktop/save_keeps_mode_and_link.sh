#!/usr/bin/env bash
# Save keeps what the file was: an executable script stays 0755, a page 0644, and a file opened
# through a symbolic link is saved through it (the link stays a link, its target changes).
. "$(dirname "$0")/lib.sh"
desktop_start
mkdir -p "$T/files/site"
printf '#!/usr/bin/perl\nprint "hi\\n";\n' > "$T/files/run.pl"
chmod 0755 "$T/files/run.pl"
printf '<p>page</p>\n' > "$T/files/page.html"
chmod 0644 "$T/files/page.html"
printf '<p>real</p>\n' > "$T/files/site/real.html"
chmod 0640 "$T/files/site/real.html"
ln -s site/real.html "$T/files/link.html"
# opened as, written to, its mode
for row in "run.pl run.pl 755" "page.html page.html 644" "link.html site/real.html 640"; do
  set -- $row
  target="$T/files/$2"
  cp "$target" "$T/expected" && printf 'x' >> "$T/expected"
  qv_start "$T/files/$1"
  wait_window "${1//./\\.}"
  stamp=$(file_stamp "$target")
  key ctrl+End
  type_text x
  key ctrl+s
  wait_file_changed "$target" "$stamp"
  qv_expect_alive "after saving $1"
  expect_bytes "$target" "$T/expected"
  [ "$(stat -c %a "$target")" = "$3" ] || fail "$1 was saved with mode $(stat -c %a "$target"), not $3"
  screenshot "saved-$1" >/dev/null
  qv_quit
done
[ -L "$T/files/link.html" ] || fail "the link was replaced by a file"
[ "$(readlink "$T/files/link.html")" = site/real.html ] || fail "the link points elsewhere now"
leftover=$(find "$T/files" -name '.*' -newer "$T/expected" | head -n1)
[ -z "$leftover" ] || fail "a temporary file was left: $leftover"
