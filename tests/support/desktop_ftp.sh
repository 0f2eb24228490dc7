# Shared by the desktop tests of the FTP pane (sourced after tests/desktop/lib.sh and desktop_start):
# a local FTP server (pyftpdlib on 127.0.0.1, its folder $root, a password with @ : and /), the
# server stored as "Local" in the program's settings with the root folder "www", and a project
# $bundle whose settings choose it.

# ftp_server_start [faults]: with "faults", the server of tests/support/ftp_faults_server.py (a
# retrieval of a file named stall* sends nothing; a store into full* ends with 552).
ftp_server_start() {
  port=$(/usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
  root="$T/ftp-root"
  mkdir -p "$root/www/images"
  if [ "${1:-}" = faults ]; then
    /usr/bin/python3 "$(dirname "${BASH_SOURCE[0]}")/ftp_faults_server.py" "$port" "$root" user 'p@ss:w/rd' >"$T/ftp.log" 2>&1 &
  else
    /usr/bin/python3 -m pyftpdlib -i 127.0.0.1 -p "$port" -d "$root" -w -u user -P 'p@ss:w/rd' >"$T/ftp.log" 2>&1 &
  fi
  FTP_PID=$!
  trap 'kill "$FTP_PID" 2>/dev/null; _qv_cleanup' EXIT
  wait_until 10 bash -c "exec 3<>/dev/tcp/127.0.0.1/$port" 2>/dev/null || fail "the FTP server did not start"
}

ftp_server_stop() { kill "$FTP_PID" 2>/dev/null; wait "$FTP_PID" 2>/dev/null; }

ftp_project() {
  P="$T/files/Site"
  bundle="$P/Site.qvproj"
  local plist="$bundle/Contents/Resources/Preferences/project.plist"
  mkdir -p "$P/Sources"
  cp -r "$(dirname "$QV_EXE")/../Resources/Templates/(project template)/(bundle).qvproj" "$bundle"
  # The project's server, as Project Settings stores it when "Local" is chosen.
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
}

# The project's window in the FTP mode, its listing in: the row at window-local y ROW-Y has ink.
ftp_open_mode() {
  qv_start "$bundle"
  wait_window '^Site\.qvproj$'
  settle
  menu_pick 7 2 window-menu                          # Window > FTP Server
  listed() { [ "$(dark_pixels "$(screenshot listing)" 30 "$1" 60 14)" -gt 20 ]; }
  wait_until 20 listed "${1:-176}" || fail "the FTP pane shows no listing"
}
