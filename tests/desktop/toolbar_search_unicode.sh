#!/usr/bin/env bash
# The toolbar's search field finds text beyond ASCII: Cyrillic and an accented word are found and
# selected in the document (the next key typed replaces each), and the bytes saved are UTF-8.
. "$(dirname "$0")/lib.sh"
desktop_start
printf 'a café б привет\n' > "$T/files/search.js"
printf 'a Y б X\n' > "$T/expected"
qv_start "$T/files/search.js"
wait_window 'search\.js'
stamp=$(file_stamp "$T/files/search.js")
search() {  # the field sits at the toolbar's right end
  click 898 46
  key ctrl+a
  type_text "$1"
  key Return
}
search 'привет'
screenshot found-cyrillic >/dev/null
type_text 'X'
search 'café'
type_text 'Y'
key ctrl+s
wait_file_changed "$T/files/search.js" "$stamp"
expect_bytes "$T/files/search.js" "$T/expected"
screenshot replaced >/dev/null
qv_expect_alive "after searching"
qv_quit
