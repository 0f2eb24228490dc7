#!/usr/bin/env bash
# A project's command is edited from its row: File Info… in the row's contextual menu opens the
# command editor on the command the project's library holds; a new title and text, and Done, put
# the text into the project's library file and the title into the project's row.
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
# row_of FILE N: the Nth stored row of a group file, decoded.
row_of() {
  tr -d '\n\t' <"$1" | grep -o '<data>[^<]*</data>' | sed -n "${2}p" | sed 's/<[^>]*>//g' | base64 -d
}

P="$T/files/Site"
D="$P/Site.qvproj/Contents/Resources/Data"
mkdir -p "$D" "$P/Site.qvproj/Contents/Resources/Preferences" "$P/Sources"
# The command row: the title "Greet" and the library's name "greet" (96 bytes).
{ printf '\005Greet'; head -c 58 /dev/zero; printf '\005greet'; head -c 26 /dev/zero; } >"$T/command"
{
  printf '<?xml version="1.0" encoding="UTF-8"?>\n<plist version="1.0">\n<array>\n'
  printf '\t<data>%s</data>\n' "$(group_row 50001 COMM "$T/command")"
  printf '</array>\n</plist>\n'
} >"$D/commands.plist"
cat >"$D/project.macros.plist" <<'PLIST'
<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict><key>greet</key><dict><key>action</key><string>macro</string>
<key>output</key><string>default</string><key>public-name</key><string>Greet</string>
<key>text</key><string>Hello</string></dict></dict></plist>
PLIST

qv_start "$P/Site.qvproj"
wait_window 'Site'
main=$QV_WINDOW
# Window-local places: the COMMANDS group's disclosure triangle, then its one row below it.
click 8 215
click 80 233
click 80 233 3
screenshot menu >/dev/null
menu_choose 1   # File Info…, the one item a command row can choose here
wait_window '^Command$'
screenshot opened >/dev/null
qv_expect_alive "after opening the command editor"
# Its places (window-local; the menu bar takes the top 25 pixels): the title field, the text.
click 190 56
key ctrl+a
type_text 'Say Hello'
click 200 250
key ctrl+a
type_text 'Hello from the project'
screenshot edited >/dev/null
click 389 373   # Done
wait_no_window '^Command$'
qv_expect_alive "after closing the command editor"
grep -q '<string>Hello from the project</string>' "$D/project.macros.plist" ||
  fail "the project's library lacks the new text: $(cat "$D/project.macros.plist")"
grep -q '<string>Say Hello</string>' "$D/project.macros.plist" || fail "the project's library lacks the new title"
grep -q '<key>greet</key>' "$D/project.macros.plist" || fail "the command left its name"
focus_window "$main"
qv_quit
# The project's row was saved with the new title and the same command name.
row_of "$D/commands.plist" 1 | tail -c +33 >"$T/got"
{ printf '\011Say Hello'; head -c 54 /dev/zero; printf '\005greet'; head -c 26 /dev/zero; } >"$T/expected"
expect_bytes "$T/got" "$T/expected"
