#!/usr/bin/env bash
# A project whose settings name a local FTP server (pyftpdlib on 127.0.0.1, a password with @ : and
# /): the FTP mode of the project window's side pane lists the server's folder; a double-click on a
# remote file opens it in an editor; typing and saving puts the new text on the server's disk.
. "$(dirname "$0")/lib.sh"
desktop_start

. "$(dirname "$0")/../support/desktop_ftp.sh"
ftp_server_start
printf '<?php\necho "shop";\n' >"$root/www/index.php"
printf 'body {}\n' >"$root/www/site.css"
printf 'hidden\n' >"$root/www/.htaccess"
ftp_project
# The listing: images, index.php, site.css; .htaccess never shows.
ftp_open_mode 176
[ "$(dark_pixels "$QV_SHOTS/$QV_TEST-listing.png" 20 220 120 14)" -lt 5 ] || fail "a row shows below site.css"

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
