#!/usr/bin/env bash
# A project folder from someone else whose group files hold rows with a one-byte payload (a length
# byte promising 63 characters): the project opens, those rows show no stray bytes as names,
# renaming one and editing a bookmark keep the program alive, and the renamed row is saved whole.
. "$(dirname "$0")/lib.sh"
desktop_start

# be32 N: N as four big-endian bytes.
be32() { printf "$(printf '\\%03o' $(($1 >> 24 & 255)) $(($1 >> 16 & 255)) $(($1 >> 8 & 255)) $(($1 & 255)))"; }
# group_row INDEX TYPE PAYLOAD-FILE: one stored row (a 32-byte big-endian header, then the
# payload) as base64.
group_row() {
  { be32 "$1"; be32 0; printf '\0\1\0\0%s' "$2"; be32 0; be32 "$(stat -c %s "$3")"; be32 0; be32 0; cat "$3"; } |
    base64 -w0
}
# group_file FILE ROW...: a group file of the rows.
group_file() {
  local file=$1 row
  shift
  {
    printf '<?xml version="1.0" encoding="UTF-8"?>\n'
    printf '<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">\n'
    printf '<plist version="1.0">\n<array>\n'
    for row in "$@"; do printf '\t<data>%s</data>\n' "$row"; done
    printf '</array>\n</plist>\n'
  } >"$file"
}

P="$T/files/Site"
D="$P/Site.qvproj/Contents/Resources/Data"
mkdir -p "$D" "$P/Site.qvproj/Contents/Resources/Preferences" "$P/Sources"
printf '<?php\n' >"$P/Sources/good.php"
printf '\077' >"$T/one"                                          # a length byte and nothing after it
{ printf '\010good.php'; head -c 71 /dev/zero; } >"$T/good"       # a whole 80-byte source record
group_file "$D/sources.plist" "$(group_row 10001 TTXT "$T/one")" "$(group_row 10002 TTXT "$T/good")"
group_file "$D/bookmarks.plist" "$(group_row 40001 BOOK "$T/one")"
group_file "$D/commands.plist" "$(group_row 50001 COMM "$T/one")"

qv_start "$P/Site.qvproj"
wait_window 'Site'
qv_expect_alive "after opening the project"
screenshot opened >/dev/null
main=$QV_WINDOW
# click_screen X Y [BUTTON]: a click at a place of the screen, given as it is with the project
# window's content at 81,55 (its rows, menus, sheets and the windows it places move with it). The
# pointer leaves first: a synced move to where it already is waits for a move that never comes.
window_origin
dx=$((QV_WX - 81)) dy=$((QV_WY - 55))
click_screen() {
  xdotool mousemove 0 0 && xdotool mousemove --sync $(($1 + dx)) $(($2 + dy)) && xdotool mousedown "${3:-1}" && sleep 0.08 &&
    xdotool mouseup "${3:-1}"
  settle
}
# The groups' disclosure triangles, lowest first so that the others stay in place.
click_screen 89 252
click_screen 89 198
screenshot expanded >/dev/null
qv_expect_alive "after showing the rows"
# The bookmark's row: its contextual menu.
click_screen 160 305
click_screen 160 305 3
wait_popup
screenshot menu >/dev/null
click_screen 224 372   # File Info…: the bookmark editor
wait_window '^Bookmark$'
screenshot editor >/dev/null
qv_expect_alive "after opening the bookmark editor"
# Its fields are empty: the record held nothing after its length byte.
key ctrl+a
type_text "Docs"
click_screen 718 201   # the address field
type_text "http://a.example/"
screenshot edited >/dev/null
click_screen 845 304   # Done
wait_no_window '^Bookmark$'
qv_expect_alive "after closing the bookmark editor"
screenshot bookmark >/dev/null
# The short source row: its contextual menu, then Rename….
click_screen 160 215
click_screen 160 215 3
wait_popup
screenshot source-menu >/dev/null
click_screen 224 361   # Rename…
wait_window '^Rename$'
screenshot rename-sheet >/dev/null
qv_expect_alive "after opening the rename sheet"
type_text "renamed.php"
click_screen 798 241   # Rename
wait_no_window '^Rename$'
qv_expect_alive "after renaming the short row"
screenshot renamed >/dev/null
focus_window "$main"
qv_quit

# row_of FILE N: the Nth stored row of a group file, decoded.
row_of() {
  tr -d '\n\t' <"$1" | grep -o '<data>[^<]*</data>' | sed -n "${2}p" | sed 's/<[^>]*>//g' | base64 -d
}
# The two rows were saved whole, with what was typed; the other rows as they were.
# (A source record's own index, at 64, follows the row's number in the tree.)
expect_name_record() {
  [ "$(stat -c %s "$1")" = 80 ] && cmp -s <(head -c 64 "$1") <(head -c 64 "$2") ||
    fail "$3 was not saved whole: $(od -An -c "$1" | head -n 3 | tr -s ' ')"
}
row_of "$D/sources.plist" 1 | tail -c +33 >"$T/got"
{ printf '\013renamed.php'; head -c 68 /dev/zero; } >"$T/expected"
expect_name_record "$T/got" "$T/expected" "the renamed row"
row_of "$D/sources.plist" 2 | tail -c +33 >"$T/got"
expect_name_record "$T/got" "$T/good" "the sound row"
row_of "$D/bookmarks.plist" 1 | tail -c +33 >"$T/got"
{ printf '\004Docs'; head -c 59 /dev/zero; printf '\021http://a.example/'; head -c 238 /dev/zero; head -c 81 /dev/zero; } \
  >"$T/expected"
expect_bytes "$T/got" "$T/expected"
