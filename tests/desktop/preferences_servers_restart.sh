#!/usr/bin/env bash
# Edit > Preferences… > Servers: a server added there, named, its host typed and the field left by
# a click elsewhere, is stored and listed again after the program quits and starts again; F2
# renames it; deleting every server leaves none, on disk and in the list, after the next restart.
. "$(dirname "$0")/lib.sh"
desktop_start
printf "<?php\necho 'servers';\n" > "$T/files/a.php"

# The program with its Preferences window on the Servers pane.
open_servers() {
  qv_start "$T/files/a.php"
  wait_window '^a\.php$'
  key ctrl+comma
  wait_window '^Preferences$'
  click 242 50   # the toolbar's Servers button
  settle
}

open_servers
screenshot empty >/dev/null
if records=$(stored_data_items FTPServers); then
  [ -z "$records" ] || fail "a first run already has servers"
fi
click 33 370   # +: the new server's name is ready to be typed
key ctrl+a
type_text "Staging"
key Return
click 435 115  # Host
key ctrl+a
type_text "ftp.quorvel.test"
click 110 200  # the empty part of the list: the field is left
screenshot added >/dev/null
qv_expect_alive "after adding a server"
qv_quit

records=$(stored_data_items FTPServers) || fail "no servers stored after the quit"
[ "$(echo "$records" | grep -c .)" = 1 ] || fail "one server expected on disk, found: $records"
[ ${#records} = $((1408 * 2)) ] || fail "a server record is 1408 bytes, not $(( ${#records} / 2 ))"
[ "$(pascal_at "$records" 0)" = "Staging" ] || fail "the server's name is '$(pascal_at "$records" 0)'"
[ "$(pascal_at "$records" 64)" = "ftp.quorvel.test" ] || fail "the host stored is '$(pascal_at "$records" 64)'"

open_servers
shot=$(screenshot restarted)
# The list shows one row, with its name.
[ "$(dark_pixels "$shot" 24 132 170 20)" -gt 20 ] || fail "the server is not listed after the restart"
[ "$(dark_pixels "$shot" 24 156 170 20)" -lt 5 ] || fail "more than one server is listed"
click 110 142  # the server
key F2         # renamed
key ctrl+a
type_text "Production"
key Return
screenshot renamed >/dev/null
records=$(stored_data_items FTPServers)
[ "$(pascal_at "$records" 0)" = "Production" ] || fail "the renamed server is stored as '$(pascal_at "$records" 0)'"
[ "$(pascal_at "$records" 64)" = "ftp.quorvel.test" ] || fail "the rename lost the host"
click 58 370   # −
screenshot deleted >/dev/null
qv_quit

records=$(stored_data_items FTPServers) || fail "deleting every server lost the stored list instead of emptying it"
[ -z "$records" ] || fail "servers are still stored after deleting them all"

open_servers
shot=$(screenshot none)
[ "$(dark_pixels "$shot" 24 132 170 20)" -lt 5 ] || fail "a deleted server came back after the restart"
qv_quit
