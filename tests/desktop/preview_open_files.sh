#!/usr/bin/env bash
# File > Open of an image and of a PDF shows each in a preview tab, never in a text editor and
# without an alert; a name with a blank and "#" is opened whole. The script opened with them is
# a text tab as usual. An image opened first leaves no "(Untitled)" tab beside the others.
. "$(dirname "$0")/lib.sh"
QV_TEST=preview-open
desktop_start
png="$T/files/a picture #1.png"
convert -size 240x120 xc:red "$png"
cp "$(dirname "$0")/fixtures/sample.pdf" "$T/files/sample.pdf"
printf 'var a;\n' > "$T/files/script.js"
qv_start "$png" "$T/files/script.js"
wait_window 'script\.js'
_qv_no_dialog || fail "opening an image asked something"
window_titles | grep -q 'Untitled' && fail "an untitled window came up: $(window_titles)"
# The image's tab is the first (960 px wide window, tabs 139 px wide).
click 61 98
wait_window 'a picture #1\.png'
# drawn NAME MIN: waits until the page area (below the preview's toolbar) holds at least MIN dark
# pixels in a screenshot NAME; the page renders in a process of its own, in its own time.
drawn() { [ "$(dark_pixels "$(screenshot "$1")" 0 140 960 500)" -gt "$2" ]; }
# The red picture is drawn in the page area.
wait_until "$QV_WAIT" drawn image 10000 || fail "the page area shows no picture"

# File > Open… of the PDF: a third tab that shows the page.
menu_pick 1 6
choose_file 'Open' "$T/files/sample.pdf"
wait_window 'sample\.pdf'
wait_until "$QV_WAIT" drawn pdf 20000 || fail "the page area shows no PDF"
_qv_no_dialog || fail "opening a PDF asked something"
qv_expect_alive "after the PDF"
expect_bytes "$T/files/sample.pdf" "$(dirname "$0")/fixtures/sample.pdf"
qv_quit
