#!/usr/bin/env bash
# A project whose settings name a local FTP server (pyftpdlib on 127.0.0.1, a password with @ : and
# /): the FTP mode of the project window's side pane lists the server's folder; a double-click on a
# remote file opens it in an editor; typing and saving puts the new text on the server's disk.
. "$(dirname "$0")/lib.sh"
desktop_start

port=$(/usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
root="$T/ftp-root"
mkdir -p "$root/www/images"
printf '<?php\necho "shop";\n' >"$root/www/index.php"
printf 'body {}\n' >"$root/www/site.css"
printf 'hidden\n' >"$root/www/.htaccess"
/usr/bin/python3 -m pyftpdlib -i 127.0.0.1 -p "$port" -d "$root" -w -u user -P 'p@ss:w/rd' >"$T/ftp.log" 2>&1 &
FTP_PID=$!
trap 'kill "$FTP_PID" 2>/dev/null; _qv_cleanup' EXIT
wait_until 10 bash -c "exec 3<>/dev/tcp/127.0.0.1/$port" 2>/dev/null || fail "the FTP server did not start"

P="$T/files/Site"
bundle="$P/Site.qvproj"
plist="$bundle/Contents/Resources/Preferences/project.plist"
mkdir -p "$P/Sources"
cp -r "$(dirname "$QV_EXE")/../Resources/Templates/(project template)/(bundle).qvproj" "$bundle"
# The project's server (what Project Settings stores when "Local" is chosen).
python3 - "$plist" <<'PY'
import sys
p = sys.argv[1]
s = open(p).read()
old = "<key>ProjectServer</key>\n\t<string>None</string>"
assert old in s
open(p, "w").write(s.replace(old, "<key>ProjectServer</key>\n\t<string>Local</string>"))
PY
# The server record (1408 bytes: name, host, root folder, user, password as length-prefixed strings).
pstr() { printf "$(printf '\\%03o' ${#1})%s" "$1"; head -c $(($2 - 1 - ${#1})) /dev/zero; }
{ pstr Local 64; pstr "127.0.0.1:$port" 256; pstr www 256; pstr user 32; pstr 'p@ss:w/rd' 32; head -c $((1408 - 640)) /dev/zero; } >"$T/server"
mkdir -p "$T/config/Quorvel"
{
  printf '<?xml version="1.0" encoding="UTF-8"?>\n'
  printf '<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">\n'
  printf '<plist version="1.0">\n<dict>\n\t<key>user.FTPServers</key>\n\t<array>\n\t\t<data>%s</data>\n\t</array>\n' "$(base64 -w0 "$T/server")"
  printf '</dict>\n</plist>\n'
} >"$T/config/Quorvel/com.brindlecote.Quorvel.plist"

qv_start "$bundle"
wait_window '^Site\.qvproj$'
settle
screenshot project >/dev/null
menu_pick 7 2 window-menu                          # Window > FTP Server
# The listing arrives: the row of index.php gets its ink.
listed() { [ "$(dark_pixels "$(screenshot listing)" 30 176 60 14)" -gt 20 ]; }
wait_until 20 listed || fail "the FTP pane lists no index.php"

# A double-click opens the remote file in an editor, downloaded into a folder of its own.
double_click 65 187
downloaded() { find "$T/run" "$T/tmp" -path '*/Quorvel FTP/*/index.php' 2>/dev/null | grep -q .; }
wait_until 20 downloaded || fail "index.php was not downloaded"
settle; settle
screenshot opened >/dev/null
key ctrl+End
type_text 'echo "sale";'
key ctrl+s
wait_until 20 grep -q 'echo "sale";' "$root/www/index.php" || { screenshot not-saved >/dev/null; fail "saving did not put the new text on the server"; }
grep -q 'echo "shop";' "$root/www/index.php" || fail "the server's copy lost its old text"
settle
screenshot saved >/dev/null
qv_expect_alive "after saving the remote file"
qv_quit
