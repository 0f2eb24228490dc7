# Shared steps of the desktop scenario tests: the real program under a virtual X server with a
# window manager and a private session bus, in a scratch home, driven by real X input.
#
# A test is a bash script tests/desktop/<name>.sh that sources this file, calls desktop_start,
# and then uses the steps below. It exits 0 when everything held; `fail` ends it with a message.
# Every wait has a time limit (QV_WAIT seconds, 30 by default) and polls what it waits for.
#
# Set by CTest: QV_EXE (the bundle's executable), QV_SHOTS (where screenshots go).

set -u
QV_EXE=${QV_EXE:-build/Quorvel.app/Contents/MacOS/Quorvel}
QV_SHOTS=${QV_SHOTS:-build/desktop-shots}
QV_WAIT=${QV_WAIT:-30}
QV_TEST=$(basename "${0%.sh}")
QV_PID=""
QV_WINDOW=""
_qv_xvfb="" _qv_wm="" _qv_dbus=""

fail() {
  echo "FAIL [$QV_TEST]: $*" >&2
  if [ -n "${T:-}" ] && [ -s "$T/qv.log" ]; then echo "--- program output:" >&2; tail -n 40 "$T/qv.log" >&2; fi
  screenshot "failure" >/dev/null 2>&1
  exit 1
}
note() { echo "[$QV_TEST] $*"; }

_qv_cleanup() {
  [ -n "$QV_PID" ] && kill -9 "$QV_PID" 2>/dev/null
  [ -n "$_qv_wm" ] && kill "$_qv_wm" 2>/dev/null
  [ -n "$_qv_dbus" ] && kill "$_qv_dbus" 2>/dev/null
  [ -n "$_qv_xvfb" ] && kill "$_qv_xvfb" 2>/dev/null
  wait 2>/dev/null
  [ -n "${T:-}" ] && [ -z "${QV_KEEP:-}" ] && rm -rf "$T"
}

# desktop_start: a scratch home (T is its root; files of the test go in $T/files), a display of
# its own, openbox, a session bus. The program is not started yet.
desktop_start() {
  for tool in Xvfb xdotool xwininfo openbox dbus-daemon import convert; do
    command -v "$tool" >/dev/null || { echo "desktop test needs $tool (scripts/install-deps)" >&2; exit 1; }
  done
  [ -x "$QV_EXE" ] || { echo "no program at $QV_EXE" >&2; exit 1; }
  case "$QV_EXE" in /*) ;; *) QV_EXE="$PWD/$QV_EXE" ;; esac
  case "$QV_SHOTS" in /*) ;; *) QV_SHOTS="$PWD/$QV_SHOTS" ;; esac
  mkdir -p "$QV_SHOTS"
  T=$(mktemp -d "${TMPDIR:-/tmp}/qv-desktop.XXXXXX")
  trap _qv_cleanup EXIT
  trap 'exit 1' INT TERM
  mkdir -p "$T/home" "$T/config" "$T/data" "$T/state" "$T/cache" "$T/tmp" "$T/files" "$T/run"
  chmod 700 "$T/run"
  export HOME="$T/home" XDG_CONFIG_HOME="$T/config" XDG_DATA_HOME="$T/data" XDG_STATE_HOME="$T/state" \
    XDG_CACHE_HOME="$T/cache" XDG_RUNTIME_DIR="$T/run" TMPDIR="$T/tmp" GSETTINGS_BACKEND=memory NO_AT_BRIDGE=1 \
    GTK_IM_MODULE=gtk-im-context-simple LANG=C.UTF-8 LC_ALL=C.UTF-8
  # Web views: no sandbox for the page process (none can be set up in a
  # container), no compositing (the virtual server has no GL).
  export WEBKIT_DISABLE_SANDBOX_THIS_IS_DANGEROUS=1 WEBKIT_DISABLE_COMPOSITING_MODE=1
  unset QUORVEL_HEADLESS WAYLAND_DISPLAY
  Xvfb -displayfd 9 -screen 0 1400x900x24 -nolisten tcp 9>"$T/display" >"$T/xvfb.log" 2>&1 &
  _qv_xvfb=$!
  local i
  for i in $(seq 1 300); do [ -s "$T/display" ] && break; kill -0 "$_qv_xvfb" 2>/dev/null || break; sleep 0.05; done
  [ -s "$T/display" ] || fail "the virtual X server did not start"
  export DISPLAY=":$(head -n1 "$T/display")"
  local bus
  bus=$(dbus-daemon --session --fork --print-address=1 --print-pid=2 2>"$T/dbus.pid") || fail "no session bus"
  export DBUS_SESSION_BUS_ADDRESS="$bus"
  _qv_dbus=$(cat "$T/dbus.pid")
  openbox --sm-disable >"$T/openbox.log" 2>&1 &
  _qv_wm=$!
  # The window manager owns the root window once it runs; wait for it.
  for i in $(seq 1 200); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
    sleep 0.05
  done
}

# wait_until SECONDS COMMAND...: polls COMMAND until it succeeds; fails the wait (returns 1) after SECONDS.
wait_until() {
  local limit=$1; shift
  local end=$(( $(date +%s%N) / 1000000 + limit * 1000 ))
  while :; do
    "$@" && return 0
    [ $(( $(date +%s%N) / 1000000 )) -ge $end ] && return 1
    sleep 0.1
  done
}

# qv_start ARGS...: starts the program with ARGS (files to open), its output in $T/qv.log.
qv_start() {
  "$QV_EXE" "$@" >>"$T/qv.log" 2>&1 &
  QV_PID=$!
}
qv_alive() { [ -n "$QV_PID" ] && kill -0 "$QV_PID" 2>/dev/null; }
# qv_expect_alive WHAT: fails the test when the program has ended.
qv_expect_alive() { qv_alive || fail "the program ended ($*)"; }

_qv_find_window() {
  local w
  w=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | tail -n1)
  [ -n "$w" ] && { echo "$w"; return 0; }
  return 1
}
# wait_window TITLE-REGEX: waits for a visible window whose title matches, raises and focuses it,
# and sets QV_WINDOW to its id.
wait_window() {
  local w="" end=$(( $(date +%s) + QV_WAIT ))
  while [ "$(date +%s)" -le "$end" ]; do
    qv_alive || fail "the program ended while waiting for a window named '$1'"
    w=$(_qv_find_window "$1") && break
    sleep 0.1
  done
  [ -n "$w" ] || fail "no window named '$1' within ${QV_WAIT} s (windows: $(window_titles))"
  QV_WINDOW=$w
  focus_window "$w"
}
# wait_dialog: waits for a visible dialog of the program (a window transient for another of its
# windows: an alert, a save question), focuses it and sets QV_DIALOG to its id. Answer it with key:
# Return takes the default button, Escape cancels, shift+Tab moves the focus to the button before.
wait_dialog() {
  local w="" end=$(( $(date +%s) + QV_WAIT ))
  while [ "$(date +%s)" -le "$end" ] && [ -z "$w" ]; do
    qv_alive || fail "the program ended while waiting for a dialog"
    w=$(_qv_find_dialog) || sleep 0.1
  done
  [ -n "$w" ] || fail "no dialog within ${QV_WAIT} s (windows: $(window_titles))"
  QV_DIALOG=$w
  focus_window "$w"
}
_qv_find_dialog() {
  local w
  for w in $(xdotool search --onlyvisible --pid "$QV_PID" 2>/dev/null); do
    xprop -id "$w" _NET_WM_WINDOW_TYPE 2>/dev/null | grep -q '_NET_WM_WINDOW_TYPE_DIALOG' && { echo "$w"; return 0; }
  done
  return 1
}
# wait_no_dialog: waits until the program shows no dialog.
_qv_no_dialog() { ! _qv_find_dialog >/dev/null; }
wait_no_dialog() { wait_until "$QV_WAIT" _qv_no_dialog || fail "a dialog is still there after ${QV_WAIT} s"; }
# wait_no_window TITLE-REGEX: waits until no visible window's title matches.
wait_no_window() {
  wait_until "$QV_WAIT" bash -c "! xdotool search --onlyvisible --name '$1' >/dev/null 2>&1" ||
    fail "a window named '$1' is still there after ${QV_WAIT} s"
}
window_titles() {
  local w
  for w in $(xdotool search --onlyvisible --name '.' 2>/dev/null); do printf "'%s' " "$(xdotool getwindowname "$w" 2>/dev/null)"; done
}
focus_window() {
  local try
  # Asked again when the window manager has not made it active yet (a busy machine can take
  # longer than the first wait): keys meant for the window must not go to nothing.
  for try in 1 2 3; do
    xdotool windowactivate --sync "$1" >/dev/null 2>&1 || xdotool windowfocus --sync "$1" >/dev/null 2>&1
    # Let the window draw once it has the focus before input goes to it.
    wait_until 5 bash -c "[ \"\$(xdotool getactivewindow 2>/dev/null)\" = '$1' ]" && break
  done
  settle
}
# _qv_dialogs: the program's visible windows other than QV_WINDOW (alerts, file choosers).
_qv_dialogs() {
  local w
  for w in $(xdotool search --onlyvisible --pid "$QV_PID" 2>/dev/null); do [ "$w" != "$QV_WINDOW" ] && echo "$w"; done
}
# settle: lets the program handle what it was sent (the X server round trip, then a short pause).
settle() { xdotool sleep 0.3 >/dev/null 2>&1 || sleep 0.3; }

# key KEYS...: real key presses to the focused window (xdotool key syntax: ctrl+s, Return, shift+Home).
key() { xdotool key --delay 60 "$@"; settle; }
# type_text TEXT [DELAY-MS]: types TEXT as key presses (40 ms apart unless DELAY-MS says otherwise).
# Characters outside the keyboard map are typed one call each: within one call xdotool maps them onto
# spare key codes in turn, and on a busy machine the program may read a key code after its mapping
# changed again, which drops or swaps characters.
type_text() {
  if LC_ALL=C grep -q '[^[:print:][:space:]]' <<<"$1"; then
    local LC_ALL=C.UTF-8  # whole characters, not bytes
    local i ch text=$1
    for ((i = 0; i < ${#text}; i++)); do
      ch=${text:i:1}
      xdotool type --delay "${2:-40}" -- "$ch"
      LC_ALL=C grep -q '[^[:print:][:space:]]' <<<"$ch" && sleep 0.1
    done
  else
    xdotool type --delay "${2:-40}" -- "$1"
  fi
  settle
}
# click X Y [BUTTON]: a click at window-local X Y of QV_WINDOW (press, a short pause, release).
click() {
  _qv_pointer_to "$1" "$2" && xdotool mousedown "${3:-1}" && sleep 0.08 && xdotool mouseup "${3:-1}"
  settle
}
double_click() {
  _qv_pointer_to "$1" "$2" && xdotool click --repeat 2 --delay 80 1
  settle
}
# drag_to SX SY TX TY [STEPS] [SHOT]: a real pointer drag in screen coordinates: press at SX SY,
# move in STEPS steps (25) to just past TX TY, take the screenshot SHOT there when named, release.
drag_to() {
  local sx=$1 sy=$2 tx=$3 ty=$4 steps=${5:-25} i
  xdotool mousemove "$sx" "$sy"; settle
  xdotool mousedown 1
  for ((i = 1; i <= steps; i++)); do
    xdotool mousemove $((sx + (tx - sx) * i / steps)) $((sy + (ty - sy) * i / steps))
    sleep 0.05
  done
  xdotool mousemove $((tx + 2)) $((ty + 2)); sleep 0.3
  [ -n "${6:-}" ] && screenshot "$6" >/dev/null
  xdotool mouseup 1
}
# The pointer to window-local X Y of QV_WINDOW. A synced move waits for the pointer to move, so it
# leaves the place first: a second click on the same spot would wait for a move that never comes.
_qv_pointer_to() {
  xdotool mousemove 0 0 && xdotool mousemove --window "$QV_WINDOW" --sync "$1" "$2"
}

# screenshot NAME: a PNG of the whole screen in QV_SHOTS (named after the test); prints its path.
screenshot() {
  local out="$QV_SHOTS/$QV_TEST-$1.png"
  import -window root "$out" 2>/dev/null && echo "$out"
}

# window_origin: sets QV_WX, QV_WY to the screen position of QV_WINDOW's top-left (window-local 0 0).
window_origin() {
  QV_WX=$(xwininfo -id "$QV_WINDOW" | awk '/Absolute upper-left X/ {print $4}')
  QV_WY=$(xwininfo -id "$QV_WINDOW" | awk '/Absolute upper-left Y/ {print $4}')
}
# dark_pixels SHOT X Y W H: how many pixels of a window-local rectangle of a screenshot are dark
# (ink: text, lines); light_fraction SHOT X Y W H: the share (0..1) of its pixels that are near white.
# screen_dark_pixels SHOT X Y W H: dark_pixels for a rectangle in screen coordinates.
_qv_region() { window_origin; echo "${4}x${5}+$((QV_WX + $2))+$((QV_WY + $3))"; }
_qv_dark() {
  convert "$1" -crop "$2" +repage -colorspace Gray -threshold 45% -negate -format '%[fx:round(mean*w*h)]' info:
}
dark_pixels() { _qv_dark "$1" "$(_qv_region "$@")"; }
screen_dark_pixels() { _qv_dark "$1" "${4}x${5}+${2}+${3}"; }
light_fraction() {
  convert "$1" -crop "$(_qv_region "$@")" +repage -colorspace Gray -threshold 97% -format '%[fx:mean]' info:
}

# popup_geometry: "X Y W H" (screen) of the program's visible pop-up window (one the window manager
# does not frame: a completion list, a help tag); fails when there is none.
popup_geometry() {
  local w info
  for w in $(xdotool search --onlyvisible --pid "$QV_PID" 2>/dev/null); do
    info=$(xwininfo -id "$w" 2>/dev/null) || continue
    echo "$info" | grep -q 'Override Redirect State: yes' || continue
    echo "$info" | awk '/Absolute upper-left X/ {x=$4} /Absolute upper-left Y/ {y=$4} /Width:/ {w=$2}
      /Height:/ {h=$2} END {print x, y, w, h}'
    return 0
  done
  return 1
}

# wait_popup: waits until a pop-up (a menu the click opened) is on the screen, so that the keys or
# the click meant for it do not reach the window under it.
wait_popup() { wait_until "$QV_WAIT" popup_geometry >/dev/null || fail "no pop-up within ${QV_WAIT} s"; }

# file_mtime FILE: modification time in nanoseconds (empty when missing).
file_mtime() { stat -c %Y%N "$1" 2>/dev/null | head -c 40; }
# wait_file_changed FILE OLD-STAMP: waits until FILE's stamp (file_stamp) differs from OLD-STAMP.
file_stamp() { stat -c '%Y.%i.%s' "$1" 2>/dev/null || echo missing; }
wait_file_changed() {
  wait_until "$QV_WAIT" bash -c "[ \"\$(stat -c '%Y.%i.%s' '$1' 2>/dev/null || echo missing)\" != '$2' ]" ||
    fail "$(basename "$1") did not change within ${QV_WAIT} s"
  # The write is a rename of a complete file: give it a moment to settle anyway.
  sleep 0.2
}
# expect_bytes FILE EXPECTED-FILE: the bytes on disk are exactly those expected.
expect_bytes() {
  cmp -s "$1" "$2" || fail "$(basename "$1") holds other bytes than expected:
$(cmp "$1" "$2" 2>&1 | head -n 3)
got:      $(od -An -c "$1" | head -n 4 | tr -s ' ')
expected: $(od -An -c "$2" | head -n 4 | tr -s ' ')"
}

# fresh_settings: forgets what earlier runs of the program stored (preferences, the session, the
# file registry), so that the next qv_start is a first run. Only while the program is not running.
fresh_settings() { rm -rf "$T/config"/* "$T/data"/* "$T/state"/* "$T/cache"/*; }

# qv_quit: Ctrl+Q to the focused window and a wait for the program to end (answering no alert).
qv_quit() {
  key ctrl+q
  wait_until "$QV_WAIT" bash -c "! kill -0 $QV_PID 2>/dev/null" || fail "the program did not quit"
  wait "$QV_PID" 2>/dev/null
  QV_PID=""
}
# qv_kill: ends the program at once.
qv_kill() { [ -n "$QV_PID" ] && kill -9 "$QV_PID" 2>/dev/null; wait "$QV_PID" 2>/dev/null; QV_PID=""; }

# menu_pick MENU ITEM [SHOT]: chooses an item of QV_WINDOW's menu bar with the keyboard, as a person
# can: a click opens the first menu, Right moves to the MENU-th menu (1 = the first), Down to its
# ITEM-th item that can be chosen (GTK's keys pass over separators and disabled items), and Return
# chooses it. With SHOT, the open menu is photographed under that name first.
menu_pick() {
  local i keys=()
  click 20 10
  for ((i = 1; i < $1; i++)); do keys+=(Right); done
  for ((i = 0; i < $2; i++)); do keys+=(Down); done
  key "${keys[@]}"
  [ -n "${3:-}" ] && screenshot "$3" >/dev/null
  key Return
}

# choose_file TITLE-REGEX PATH: answers the GTK file dialog whose title matches with PATH: Ctrl+L
# shows its location field, the path is typed there and Return accepts it; waits for it to go.
choose_file() {
  wait_window "$1"
  key ctrl+l
  type_text "$2"
  key Return
  wait_no_window "$1"
}

# save_file TITLE-REGEX PATH: answers the GTK save dialog whose title matches: its name field (which
# has the focus) takes the whole path, and Return saves; waits for it to go.
save_file() {
  wait_window "$1"
  key ctrl+a
  type_text "$2"
  key Return
  wait_no_window "$1"
}

# menu_choose ITEM [SHOT]: in the menu that is open (a contextual or pop-up menu, which may open
# with the item under the pointer selected), Home selects its first item and Down moves to the
# ITEM-th item that can be chosen; Return chooses it. With SHOT, photographed before the choice.
menu_choose() {
  local i keys=(Home)
  wait_popup
  for ((i = 1; i < $1; i++)); do keys+=(Down); done
  key "${keys[@]}"
  [ -n "${2:-}" ] && screenshot "$2" >/dev/null
  key Return
}

# wait_dialog_closed: waits until the dialog wait_dialog found (QV_DIALOG) is gone.
wait_dialog_closed() {
  wait_until "$QV_WAIT" bash -c "! xdotool search --onlyvisible --pid $QV_PID 2>/dev/null | grep -qx '$QV_DIALOG'" ||
    fail "the dialog is still there after ${QV_WAIT} s"
}
# answer_dialog KEYS...: wait_dialog, then KEYS (Return: the default button, Escape: cancel), and
# a wait for that dialog to close.
answer_dialog() {
  wait_dialog
  key "$@"
  wait_dialog_closed
}

# stored_data_items KEY: the data items of the array the program stored under the preference KEY,
# one a line in hex (nothing for an empty array); prints "absent" and fails when the key is missing.
stored_data_items() {
  local f="$T/config/Quorvel/com.brindlecote.Quorvel.plist" body b
  body=$(tr -d '\n\t ' <"$f" 2>/dev/null | grep -o "<key>user\.$1</key><array/>\|<key>user\.$1</key><array>.*") ||
    { echo absent; return 1; }
  case "$body" in *"</key><array/>") return 0 ;; esac
  body=${body#*</key><array>}
  body=${body%%</array>*}
  for b in $(echo "$body" | grep -o '<data>[^<]*</data>' | sed 's/<\/*data>//g'); do
    echo "$b" | base64 -d | od -An -tx1 -v | tr -d ' \n'
    echo
  done
}
# pascal_at HEX OFFSET: the text of the length-prefixed string at byte OFFSET of a record in hex.
pascal_at() {
  local len=$((16#${1:$(($2 * 2)):2}))
  printf "$(echo -n "${1:$((($2 + 1) * 2)):$((len * 2))}" | sed 's/../\\x&/g')"
}
