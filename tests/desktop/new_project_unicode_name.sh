#!/usr/bin/env bash
# File > New Project… under a Cyrillic name, and under a name longer than 63 characters: the project's
# folder and its bundle carry exactly the name typed (bytes on disk), and so does the window's title.
. "$(dirname "$0")/lib.sh"
desktop_start
long="Site of the neighbourhood bakery with its price lists and opening hours"
for name in "Магазин" "$long"; do
  [ "${#name}" -gt 0 ] || fail "no name"
  qv_start
  wait_window 'Untitled'
  menu_pick 1 4                                      # File > New Project…
  wait_window '^New File$'
  key ctrl+a
  type_text "$T/files/$name" 120
  key Return
  wait_no_window '^New File$'
  title_re="^$(printf '%s' "$name" | sed 's/[.[\*^$()+?{|]/\\&/g')\\.qvproj\$"
  wait_window "$title_re"
  screenshot "window-${#name}" >/dev/null
  [ -d "$T/files/$name/$name.qvproj/Contents" ] ||
    fail "no project bundle named '$name.qvproj' in a folder '$name': $(ls "$T/files" | od -c | head -n 3)"
  [ "$(xdotool getwindowname "$QV_WINDOW")" = "$name.qvproj" ] ||
    fail "the window is titled '$(xdotool getwindowname "$QV_WINDOW")'"
  qv_expect_alive "after making '$name'"
  qv_quit
  fresh_settings
done
