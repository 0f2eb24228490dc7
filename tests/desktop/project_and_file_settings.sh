#!/usr/bin/env bash
# A project made from the shipped template, with index.php in its Sources: the Options button opens
# Project Settings, whose panes the toolbar switches; a new preview mode and an added user path reach
# project.plist when the window closes, and show again when it opens anew. With index.php open,
# Run > File Info… (Ctrl+I) opens File Info; an argument added in its Script pane and a note typed
# in its Notes pane and the server chosen in its FTP pane reach the file's entry in project.plist, and
# its General pane shows where an upload puts the file. Every pane is photographed.
. "$(dirname "$0")/lib.sh"
desktop_start

# be32 N: N as four big-endian bytes; group_row INDEX TYPE PAYLOAD-FILE: one stored group row.
be32() { printf "$(printf '\\%03o' $(($1 >> 24 & 255)) $(($1 >> 16 & 255)) $(($1 >> 8 & 255)) $(($1 & 255)))"; }
group_row() {
  { be32 "$1"; be32 0; printf '\0\1\0\0%s' "$2"; be32 0; be32 "$(stat -c %s "$3")"; be32 0; be32 0; cat "$3"; } |
    base64 -w0
}

P="$T/files/Site"
bundle="$P/Site.qvproj"
plist="$bundle/Contents/Resources/Preferences/project.plist"
mkdir -p "$P/Sources"
cp -r "$(dirname "$QV_EXE")/../Resources/Templates/(project template)/(bundle).qvproj" "$bundle"
printf '<?php\necho "shop";\n' >"$P/Sources/index.php"
{ printf '\011index.php'; head -c 70 /dev/zero; } >"$T/row"    # an 80-byte source record
{
  printf '<?xml version="1.0" encoding="UTF-8"?>\n'
  printf '<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">\n'
  printf '<plist version="1.0">\n<array>\n\t<data>%s</data>\n</array>\n</plist>\n' "$(group_row 10001 TTXT "$T/row")"
} >"$bundle/Contents/Resources/Data/sources.plist"

# One FTP server in the application's preferences (its keys carry the domain "user."): a 1408-byte record (name, host and root folder
# as length-prefixed strings in slots of 64, 256 and 256 bytes).
pstr() { printf "$(printf '\\%03o' ${#1})%s" "$1"; head -c $(($2 - 1 - ${#1})) /dev/zero; }
{ pstr Main 64; pstr ftp.example.test 256; pstr www 256; head -c $((1408 - 576)) /dev/zero; } >"$T/server"
[ "$(stat -c %s "$T/server")" = 1408 ] || fail "the server record is not 1408 bytes"
mkdir -p "$T/config/Quorvel"
{
  printf '<?xml version="1.0" encoding="UTF-8"?>\n'
  printf '<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">\n'
  printf '<plist version="1.0">\n<dict>\n\t<key>user.FTPServers</key>\n\t<array>\n\t\t<data>%s</data>\n\t</array>\n</dict>\n</plist>\n' \
    "$(base64 -w0 "$T/server")"
} >"$T/config/Quorvel/com.brindlecote.Quorvel.plist"

# plist_string KEY: the string stored under KEY (the first one in the file).
plist_string() { tr -d '\n\t' <"$plist" | grep -o "<key>$1</key><string>[^<]*</string>" | head -n1 | sed 's/<[^>]*>/ /g' | awk '{$1=""; print substr($0, 2)}'; }
# user_paths: how many records "UserPaths" holds.
user_paths() { tr -d '\n\t' <"$plist" | grep -o '<key>UserPaths</key><array>.*' | sed 's|</array>.*||' | grep -o '<data>' | wc -l; }

qv_start "$bundle"
wait_window '^Site\.qvproj$'

# Project Settings from the toolbar's Options button; its toolbar switches the panes.
stamp=$(file_stamp "$plist")
click 676 47
wait_window '^Project Settings$'
screenshot settings-general >/dev/null
click 325 240                                        # Preview mode
menu_choose 2 settings-preview-menu                  # Server
click 82 50                                          # Paths
screenshot settings-paths >/dev/null
before=$(user_paths)
click 32 337                                         # + under the list: a Project path "/"
screenshot settings-paths-added >/dev/null
click 132 50                                         # Preview
screenshot settings-preview >/dev/null
key ctrl+w
wait_no_window '^Project Settings$'
wait_file_changed "$plist" "$stamp"
qv_expect_alive "after closing Project Settings"
[ "$(plist_string ProjectMode)" = "Server" ] || fail "ProjectMode is '$(plist_string ProjectMode)', not Server"
[ "$(user_paths)" -eq $((before + 1)) ] || fail "UserPaths holds $(user_paths) records, not $((before + 1))"

# Opened again, the window shows what was stored.
wait_window '^Site\.qvproj$'
click 676 47
wait_window '^Project Settings$'
screenshot settings-reopened >/dev/null
key ctrl+w
wait_no_window '^Project Settings$'

# index.php opened from its row; Ctrl+I opens File Info for it.
wait_window '^Site\.qvproj$'
click 8 142                                          # the Sources group's triangle
double_click 60 159                                  # index.php
wait_window '^index\.php$'
stamp=$(file_stamp "$plist")
key ctrl+i
wait_window '^File Info$'
screenshot info-general >/dev/null
click 83 52                                          # Script
screenshot info-script >/dev/null
click 32 316                                         # + under the list: an argument "untitled"
screenshot info-script-added >/dev/null
click 128 52                                         # FTP
screenshot info-ftp >/dev/null
click 300 115                                        # Server
menu_choose 2 info-ftp-servers                       # Main
click 30 52                                          # General: where an upload puts the file
screenshot info-general-server >/dev/null
click 178 52                                         # Preview
screenshot info-preview >/dev/null
click 230 52                                         # Notes
screenshot info-notes >/dev/null
click 260 134                                        # the notes field
type_text "Checked by hand"
screenshot info-notes-typed >/dev/null
key ctrl+w
wait_no_window '^File Info$'
wait_file_changed "$plist" "$stamp"
qv_expect_alive "after closing File Info"
entry=$(tr -d '\n\t' <"$plist" | grep -o '<key>FileInfo::index.php</key><dict>.*' | sed 's|</dict>.*||')
[ -n "$entry" ] || fail "project.plist has no entry for index.php"
echo "$entry" | grep -q '<key>FileInfoNotes</key><string>Checked by hand</string>' ||
  fail "the note is not in the file's entry: $entry"
echo "$entry" | grep -q '<key>FileInfoArguments</key><array><data>' || fail "the argument is not in the file's entry: $entry"
echo "$entry" | grep -q '<key>FileInfoRunMode</key><string>Default</string>' || fail "the entry was not seeded: $entry"
echo "$entry" | grep -q '<key>FileInfoServer</key><string>Main</string>' || fail "the server is not in the file's entry: $entry"

# Opened again, the note is there.
wait_window '^index\.php$'
key ctrl+i
wait_window '^File Info$'
click 230 52
screenshot info-notes-reopened >/dev/null
key ctrl+w
wait_no_window '^File Info$'
wait_window '^index\.php$'
qv_quit
