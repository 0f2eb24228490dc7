#!/usr/bin/env bash
# A project file previewed "Server" (its file settings name the server "Local", whose web address is
# a web server on 127.0.0.1 at a free port): Preview > Preview asks that server for the page and
# shows what it serves; a name with a blank goes out escaped.
. "$(dirname "$0")/lib.sh"
QV_TEST=preview-server
desktop_start

P="$T/files/Site"
bundle="$P/Site.qvproj"
plist="$bundle/Contents/Resources/Preferences/project.plist"
mkdir -p "$P/Sources"
cp -r "$(dirname "$QV_EXE")/../Resources/Templates/(project template)/(bundle).qvproj" "$bundle"
cat >"$P/Sources/my page.html" <<'HTML'
<html><head><title>local copy</title></head><body><h1>Not this one</h1></body></html>
HTML
# What the web server serves under that name differs from the local file.
www="$T/www"
mkdir -p "$www"
cat >"$www/my page.html" <<'HTML'
<html><head><title>Served page</title></head><body style="background:#fff"><h1>Served by the web server</h1></body></html>
HTML
port=$(/usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
(cd "$www" && exec /usr/bin/python3 -m http.server --bind 127.0.0.1 "$port") >"$T/http.log" 2>&1 &
HTTP_PID=$!
trap 'kill "$HTTP_PID" 2>/dev/null; _qv_cleanup' EXIT
wait_until 10 bash -c "exec 3<>/dev/tcp/127.0.0.1/$port" 2>/dev/null || fail "the web server did not start"

be32() { printf "$(printf '\\%03o' $(($1 >> 24 & 255)) $(($1 >> 16 & 255)) $(($1 >> 8 & 255)) $(($1 & 255)))"; }
group_row() {
  { be32 "$1"; be32 0; printf '\0\1\0\0%s' "$2"; be32 0; be32 "$(stat -c %s "$3")"; be32 0; be32 0; cat "$3"; } |
    base64 -w0
}
name='my page.html'
{ printf "$(printf '\\%03o' ${#name})%s" "$name"; head -c $((79 - ${#name})) /dev/zero; } >"$T/row"
{
  printf '<?xml version="1.0" encoding="UTF-8"?>\n'
  printf '<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">\n'
  printf '<plist version="1.0">\n<array>\n\t<data>%s</data>\n</array>\n</plist>\n' "$(group_row 10001 TTXT "$T/row")"
} >"$bundle/Contents/Resources/Data/sources.plist"
entry='<key>FileInfo::my page.html</key><dict><key>FileInfoServer</key><string>Local</string><key>FileInfoPreviewMode</key><string>Server</string></dict>'
python3 - "$plist" "$entry" <<'PY'
import sys
p, entry = sys.argv[1], sys.argv[2]
s = open(p).read()
at = s.index("<dict>") + len("<dict>")
open(p, "w").write(s[:at] + entry + s[at:])
PY
# The server record: name, FTP host, root folder, user, password, then the web address (offset 640).
pstr() { printf "$(printf '\\%03o' ${#1})%s" "$1"; head -c $(($2 - 1 - ${#1})) /dev/zero; }
{ pstr Local 64; pstr "127.0.0.1" 256; pstr www 256; pstr user 32; pstr pass 32; pstr "127.0.0.1:$port" 256
  head -c $((1408 - 896)) /dev/zero; } >"$T/server"
mkdir -p "$T/config/Quorvel"
{
  printf '<?xml version="1.0" encoding="UTF-8"?>\n'
  printf '<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">\n'
  printf '<plist version="1.0">\n<dict>\n\t<key>user.FTPServers</key>\n\t<array>\n\t\t<data>%s</data>\n\t</array>\n' "$(base64 -w0 "$T/server")"
  printf '\t<key>user.GeneralUsePreviewApplication</key>\n\t<false/>\n</dict>\n</plist>\n'
} >"$T/config/Quorvel/com.brindlecote.Quorvel.plist"

qv_start "$bundle"
wait_window '^Site\.qvproj$'
click 8 142                                          # the Sources group's triangle
double_click 60 159                                  # my page.html
wait_window '^my page\.html$'
menu_pick 5 1 menu
wait_window '^Served page$'
grep -q 'GET /my%20page.html' "$T/http.log" || fail "the web server was not asked for /my%20page.html: $(cat "$T/http.log")"
sleep 0.5
screenshot served >/dev/null
qv_expect_alive "after the server preview"
qv_kill
