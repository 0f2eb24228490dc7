#!/usr/bin/env bash
# The documents of the last window closed are the session the next start reopens: closing the
# window (its close button) or its last tab (Ctrl+W) quits, and the next start without files
# brings back what that window held, a project's window included.
. "$(dirname "$0")/lib.sh"
desktop_start
for n in a b; do printf "<?php\necho '%s';\n" "$n" > "$T/files/$n.php"; done

wait_ended() {
  wait_until "$QV_WAIT" bash -c "! kill -0 $QV_PID 2>/dev/null" || {
    screenshot not-quit >/dev/null
    fail "the program did not quit ($1; windows: $(window_titles); active: $(xdotool getactivewindow getwindowname 2>/dev/null))"
  }
  wait "$QV_PID" 2>/dev/null
  QV_PID=""
}

qv_start "$T/files/a.php" "$T/files/b.php"
wait_window '^b\.php$'
# The window manager's close of the window, as its title bar's close button does.
key alt+F4
wait_ended "after the last window was closed"

qv_start
wait_window '^b\.php$'
screenshot reopened >/dev/null
key ctrl+w
wait_window '^a\.php$'
# The last tab of the last window: the window closes, the program quits.
key ctrl+w
wait_ended "after the last tab of the last window was closed"

qv_start
wait_window '^a\.php$'
screenshot reopened-again >/dev/null
key ctrl+w
wait_ended "after the only tab was closed"

# A project's window closed last: the next start opens the project again.
fresh_settings
qv_start
wait_window 'Untitled'
menu_pick 1 4                                        # File > New Project…
save_file '^New File$' "$T/files/Site"
wait_window '^Site\.qvproj$'
project=$QV_WINDOW
for w in $(xdotool search --onlyvisible --name 'Untitled' 2>/dev/null); do
  focus_window "$w"
  key ctrl+w
done
wait_no_window 'Untitled'
QV_WINDOW=$project
focus_window "$project"
key alt+F4
wait_ended "after the project's window was closed"

qv_start
wait_window '^Site\.qvproj$'
screenshot project-reopened >/dev/null
qv_expect_alive "after reopening the project"
qv_quit
