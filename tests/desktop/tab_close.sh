#!/usr/bin/env bash
# Closing one tab of three, by the key, the File menu and the tab's close box, for the first, a
# middle and the last tab, unmodified or modified (saved or not at the question): the program
# goes on, the other tabs stay with their unsaved edits, and the closed file holds what the answer
# says. Each case starts the program afresh on a.php, b.php and c.php.
. "$(dirname "$0")/lib.sh"
desktop_start

# Window-local places of the editor window (960 px wide, tabs of equal width from the left).
FILE_MENU="19 12"
FILE_CLOSE="48 214"
tab_label() { echo "$(( 61 + 139 * ($1 - 1) )) 98"; }
tab_box() { echo "$(( 127 + 139 * ($1 - 1) )) 101"; }

names=(a b c)
original() { printf "<?php\necho '%s';\n" "$1"; }

# case: HOW (key|menu|box) WHICH (1-3) STATE (clean|save|discard)
run_case() {
  local how=$1 which=$2 state=$3
  local target=${names[$((which - 1))]}
  # Another tab holds an edit that is never saved before the close.
  local other=3; [ "$which" = 3 ] && other=1
  local edited=${names[$((other - 1))]}
  note "close $target.php by $how ($state), $edited.php edited"
  fresh_settings
  rm -f "$T/files"/*
  local n
  for n in "${names[@]}"; do original "$n" > "$T/files/$n.php"; done
  qv_start "$T/files/a.php" "$T/files/b.php" "$T/files/c.php"
  wait_window '^c\.php$'

  click $(tab_label $other)
  wait_window "^\\*?$edited\\.php\$"
  key ctrl+End
  type_text y
  wait_window "^\\*$edited\\.php\$"
  if [ "$state" != clean ]; then
    click $(tab_label "$which")
    wait_window "^\\*?$target\\.php\$"
    key ctrl+End
    type_text x
    wait_window "^\\*$target\\.php\$"
  fi
  if [ "$how" = box ]; then
    # The close box of a tab in the background.
    click $(tab_label $other)
    wait_window "^\\*$edited\\.php\$"
    click $(tab_box "$which")
  else
    click $(tab_label "$which")
    wait_window "^\\*?$target\\.php\$"
    if [ "$how" = key ]; then key ctrl+w; else click $FILE_MENU; click $FILE_CLOSE; fi
  fi
  if [ "$state" != clean ]; then
    wait_dialog
    screenshot "$how-$target-question" >/dev/null
    local stamp
    stamp=$(file_stamp "$T/files/$target.php")
    if [ "$state" = save ]; then
      key Return
      wait_file_changed "$T/files/$target.php" "$stamp"
    else
      key shift+Tab shift+Tab space  # "Don't Save"
    fi
    wait_no_dialog
  fi
  qv_expect_alive "after closing $target.php by $how"

  # The last tab left is selected; the closed one is gone from the row.
  local left=() i
  for i in 1 2 3; do [ "$i" != "$which" ] && left+=("${names[$((i - 1))]}"); done
  # (The window's title is marked while any of its documents is modified.)
  wait_window "^\\*${left[1]}\\.php\$"
  screenshot "$how-$target-closed" >/dev/null

  original "$target" > "$T/expected"
  [ "$state" = save ] && printf 'x' >> "$T/expected"
  expect_bytes "$T/files/$target.php" "$T/expected"

  # The edit of the other tab is still there: saving it writes it.
  local place=1; [ "${left[1]}" = "$edited" ] && place=2
  click $(tab_label $place)
  wait_window "^\\*$edited\\.php\$"
  local stamp
  stamp=$(file_stamp "$T/files/$edited.php")
  key ctrl+s
  wait_file_changed "$T/files/$edited.php" "$stamp"
  { original "$edited"; printf 'y'; } > "$T/expected"
  expect_bytes "$T/files/$edited.php" "$T/expected"
  # Nothing is left unsaved (a closed tab that lingered modified would ask): the quit ends it.
  qv_quit
}

# Every way, every place and every state, each way once in each place and each state.
run_case key 1 clean
run_case key 2 save
run_case key 3 discard
run_case menu 1 discard
run_case menu 2 clean
run_case menu 3 save
run_case box 1 save
run_case box 2 discard
run_case box 3 clean
