#!/usr/bin/env bash
# A project whose index.php names a local FTP server (pyftpdlib on 127.0.0.1) in its file settings:
# the toolbar's Upload button puts the saved file on the server; with "GeneralUploadSaves" on and the
# file previewing from its server, Ctrl+S after an edit uploads the new text; Project > Publish
# Changes sends the changed sources; a server that refuses the file gives an alert naming it. The
# bytes are checked on the server's disk.
. "$(dirname "$0")/lib.sh"
desktop_start

port=$(/usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
root="$T/ftp-root"
mkdir -p "$root/www"
/usr/bin/python3 -m pyftpdlib -i 127.0.0.1 -p "$port" -d "$root" -w -u user -P 'p@ss:w/rd' >"$T/ftp.log" 2>&1 &
FTP_PID=$!
trap 'kill "$FTP_PID" 2>/dev/null; _qv_cleanup' EXIT
wait_until 10 bash -c "exec 3<>/dev/tcp/127.0.0.1/$port" 2>/dev/null || fail "the FTP server did not start"

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
# An 80-byte source record: the name, then needs-upload set (byte 71).
{ printf '\011index.php'; head -c 61 /dev/zero; printf '\1'; head -c 8 /dev/zero; } >"$T/row"
{
  printf '<?xml version="1.0" encoding="UTF-8"?>\n'
  printf '<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">\n'
  printf '<plist version="1.0">\n<array>\n\t<data>%s</data>\n</array>\n</plist>\n' "$(group_row 10001 TTXT "$T/row")"
} >"$bundle/Contents/Resources/Data/sources.plist"
# The file's settings: the server "Local", previewed from the server.
entry='<key>FileInfo::index.php</key><dict><key>FileInfoServer</key><string>Local</string><key>FileInfoPreviewMode</key><string>Server</string></dict>'
python3 - "$plist" "$entry" <<'PY'
import sys
p, entry = sys.argv[1], sys.argv[2]
s = open(p).read()
at = s.index("<dict>") + len("<dict>")
open(p, "w").write(s[:at] + entry + s[at:])
PY

# The server record (1408 bytes: name, host, root folder, user, password as length-prefixed strings).
pstr() { printf "$(printf '\\%03o' ${#1})%s" "$1"; head -c $(($2 - 1 - ${#1})) /dev/zero; }
{ pstr Local 64; pstr "127.0.0.1:$port" 256; pstr www 256; pstr user 32; pstr 'p@ss:w/rd' 32; head -c $((1408 - 640)) /dev/zero; } >"$T/server"
mkdir -p "$T/config/Quorvel"
{
  printf '<?xml version="1.0" encoding="UTF-8"?>\n'
  printf '<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">\n'
  printf '<plist version="1.0">\n<dict>\n\t<key>user.FTPServers</key>\n\t<array>\n\t\t<data>%s</data>\n\t</array>\n' "$(base64 -w0 "$T/server")"
  printf '\t<key>user.GeneralUploadSaves</key>\n\t<true/>\n</dict>\n</plist>\n'
} >"$T/config/Quorvel/com.brindlecote.Quorvel.plist"

remote="$root/www/index.php"
qv_start "$bundle"
wait_window '^Site\.qvproj$'
click 8 142                                          # the Sources group's triangle
double_click 60 159                                  # index.php
settle
screenshot upload-opened >/dev/null

# Upload from the toolbar.
click 565 47                                         # Upload
wait_until 20 test -f "$remote" || { screenshot upload-no-file >/dev/null; fail "the server has no index.php after Upload"; }
wait_until 10 cmp -s "$remote" "$P/Sources/index.php" || fail "the server's index.php differs from the local file"
screenshot upload-done >/dev/null
qv_expect_alive "after the upload"

# Ctrl+S after an edit uploads the saved text.
rm -f "$remote"
key ctrl+End
type_text 'echo 2;'
key ctrl+s
wait_until 20 test -f "$remote" || fail "saving did not upload index.php"
wait_until 10 cmp -s "$remote" "$P/Sources/index.php" || fail "the uploaded file is not the saved text"
grep -q 'echo 2;' "$remote" || fail "the server got the old text"
screenshot upload-saved >/dev/null

# Project > Publish Changes sends the source still marked as changed (its row has needs-upload set).
rm -f "$remote"
menu_pick 6 5 upload-project-menu
wait_until 20 test -f "$remote" || fail "Publish Changes did not upload index.php"
wait_until 10 cmp -s "$remote" "$P/Sources/index.php" || fail "the published file is not the saved text"
screenshot upload-published >/dev/null

# A server that refuses the store (its folder is gone): an alert says which file failed; the local
# file stays as it was.
cp "$P/Sources/index.php" "$T/local-before"
rm -rf "$root/www"
focus_window "$QV_WINDOW"
click 565 47                                         # Upload
wait_dialog
screenshot upload-refused >/dev/null
key Return
wait_dialog_closed
cmp -s "$P/Sources/index.php" "$T/local-before" || fail "the refused upload changed the local file"
[ ! -e "$remote" ] || fail "the refused upload left a file on the server"

qv_expect_alive "at the end"
qv_quit
