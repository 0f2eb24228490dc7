#!/bin/bash
# The update check against an FTP server on 127.0.0.1 named in the preferences:
# the update window opens with the change notes, and Download puts the update
# file into the desktop folder.
source "$(dirname "$0")/lib.sh"
desktop_start

ftp="$T/ftp"
mkdir -p "$ftp/public_html/updates" "$T/home/Desktop"
printf '2.1|public_html/updates/quorvel-2.1.tar.gz|no\n' >"$ftp/public_html/updates/updates.txt"
printf '<html><body><h1>New in 2.1</h1><p>Faster find in large projects.</p></body></html>\n' \
  >"$ftp/public_html/updates/changes.html"
printf 'the update file\n' >"$ftp/public_html/updates/quorvel-2.1.tar.gz"
cp "$ftp/public_html/updates/quorvel-2.1.tar.gz" "$T/expected"

port=$(/usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
/usr/bin/python3 -m pyftpdlib -i 127.0.0.1 -p "$port" -d "$ftp" -u qvupdate -P tavi-rune >"$T/ftp.log" 2>&1 &
ftp_pid=$!
trap 'kill $ftp_pid 2>/dev/null; _qv_cleanup' EXIT
wait_until 10 bash -c "exec 3<>/dev/tcp/127.0.0.1/$port" || fail "the FTP server did not start"

mkdir -p "$T/config/Quorvel"
printf 'XDG_DESKTOP_DIR="$HOME/Desktop"\n' >"$T/config/user-dirs.dirs"
cat >"$T/config/Quorvel/com.brindlecote.Quorvel.plist" <<PLIST
<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">
<plist version="1.0">
<dict>
	<key>user.UpdateManagerHost</key><string>127.0.0.1:$port</string>
</dict>
</plist>
PLIST

qv_start
wait_window 'Software Update'
# The notes are drawn: dark ink where the page shows, below the status line (the page paints in a
# process of its own, in its own time).
drawn() { [ "$(dark_pixels "$(screenshot notes)" 10 70 400 120)" -gt 300 ]; }
wait_until "$QV_WAIT" drawn || fail "the change notes are not drawn"
qv_expect_alive "showing the update window"

# Download (the web view keeps the keyboard focus, so the button is clicked).
click 493 437
wait_until "$QV_WAIT" test -s "$T/home/Desktop/quorvel-2.1.tar.gz" || fail "the update file did not arrive on the desktop"
expect_bytes "$T/home/Desktop/quorvel-2.1.tar.gz" "$T/expected"
settle
screenshot downloaded
qv_expect_alive "after the download"
