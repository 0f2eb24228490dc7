#!/usr/bin/env bash
# With integrated project windows turned off, the stand-alone project window shows the project's
# FTP server in its side pane too, and a remote file opens from there in an editor window.
. "$(dirname "$0")/lib.sh"
desktop_start
. "$(dirname "$0")/../support/desktop_ftp.sh"
ftp_server_start
printf '<?php\necho "shop";\n' >"$root/www/index.php"
ftp_project
python3 - "$T/config/Quorvel/com.brindlecote.Quorvel.plist" <<'PY'
import sys
p = sys.argv[1]
s = open(p).read()
s = s.replace("</dict>\n</plist>", "\t<key>user.GeneralEditorFeaturesProject</key>\n\t<false/>\n</dict>\n</plist>")
open(p, "w").write(s)
PY
qv_start "$bundle"
wait_window '^Site\.qvproj$'
settle
screenshot project-window >/dev/null
menu_pick 7 2 window-menu                            # Window > FTP Server
listed() { [ "$(dark_pixels "$(screenshot listing)" 30 176 60 14)" -gt 20 ]; }
wait_until 20 listed || fail "the project window's FTP pane shows no listing"
double_click 65 187                                  # index.php
wait_window '^index\.php$'
settle; settle
screenshot opened >/dev/null
key ctrl+End
type_text 'echo "open";'
key ctrl+s
wait_until 20 grep -q 'echo "open";' "$root/www/index.php" || fail "saving did not put the new text on the server"
screenshot saved >/dev/null
qv_expect_alive "after saving from the editor window"
qv_quit
