#!/usr/bin/env bash
# A project as a person makes and uses one: File > New Project… names it in the save dialog, Project >
# Add Files… adds three PHP files that lie outside it, each through the file dialog. Their rows open
# them in the project's window (a double-click, Return on a selected row, the contextual menu's Open)
# and in a new window (Open in New Window); Run > Compile fills the project's symbol index, which the
# Symbols mode lists and which is still there after the program quit and the project was opened again;
# Find > Find in Project… searches the project's files.
. "$(dirname "$0")/lib.sh"
desktop_start
mkdir -p "$T/files/site"
cat > "$T/files/site/cart.php" <<'PHP'
<?php
class Cart
{
    function total($lines)
    {
        return count($lines) * price_of('tea');
    }
}
?>
PHP
cat > "$T/files/site/prices.php" <<'PHP'
<?php
function price_of($product)
{
    return $product == 'tea' ? 3.5 : 0;
}

function format_price($amount)
{
    return sprintf('%.2f EUR', $amount);
}
?>
PHP
cat > "$T/files/site/index.php" <<'PHP'
<?php
require 'cart.php';
echo format_price(price_of('tea'));
?>
PHP
bundle="$T/files/Shop/Shop.qvproj"
index="$bundle/Contents/Resources/Preferences/FileSystem.plist"

# Rows of the project pane, in window coordinates: the Sources group's triangle and its three files.
sources_x=9 sources_y=142 row_x=60 cart_y=159 prices_y=178 index_y=196

qv_start
wait_window 'Untitled'
menu_pick 1 4 new-project-menu                      # File > New Project…
save_file '^New File$' "$T/files/Shop"
wait_window '^Shop\.qvproj$'
[ -d "$bundle" ] || fail "no project bundle at $bundle"
for name in cart prices index; do
  menu_pick 6 1                                      # Project > Add Files…
  choose_file '^Open$' "$T/files/site/$name.php"
  wait_window '^Shop\.qvproj$'
done
screenshot sources >/dev/null                        # PHP document icons, not "?"

# Run > Compile with no file open writes the project's symbol index; the Symbols mode lists what the
# compile found.
key ctrl+b
wait_until "$QV_WAIT" test -s "$index" || fail "Compile left the project's symbol index empty"
qv_expect_alive "after the compile"
key ctrl+3
screenshot symbols >/dev/null
key ctrl+1
# Find in Project… opens with no file open too.
key shift+ctrl+f
wait_window '^Find in Project$'
key ctrl+w
wait_no_window '^Find in Project$'
wait_window '^Shop\.qvproj$'

# A double-click opens a file in the project's window.
double_click $row_x $cart_y
wait_window '^cart\.php$'
# Return opens the selected row.
click $row_x $prices_y
key Return
wait_window '^prices\.php$'
# The contextual menu: Open, then Open in New Window.
click $row_x $index_y 3
menu_choose 1 contextual-menu                       # Open
wait_window '^index\.php$'
screenshot integrated >/dev/null
project_window=$QV_WINDOW
click $row_x $cart_y 3
menu_choose 2                                        # Open in New Window
wait_until "$QV_WAIT" bash -c "[ \$(xdotool search --onlyvisible --name '^cart\.php\$' | wc -l) -ge 1 ] &&
  [ \"\$(xdotool search --onlyvisible --name '^cart\.php\$' | tail -n1)\" != '$project_window' ]" ||
  fail "Open in New Window gave no second window (windows: $(window_titles))"
screenshot new-window >/dev/null
wait_window '^cart\.php$'
[ "$QV_WINDOW" != "$project_window" ] || fail "Open in New Window opened in the project's window"
key ctrl+w
wait_window '^index\.php$'

# Find > Find in Project… from the project's window lists the hits in the project's files.
key shift+ctrl+f
wait_window '^Find in Project$'
type_text price_of
key Return
wait_until "$QV_WAIT" qv_alive || fail "the program ended during the batch find"
sleep 1
screenshot batch-find >/dev/null
key ctrl+w
wait_no_window '^Find in Project$'

wait_window '^index\.php$'
qv_quit
for symbol in Cart price_of format_price; do
  grep -q "$symbol" "$index" || fail "the symbol index does not name $symbol"
done

# Opened again, the project's symbols are still listed.
qv_start "$bundle"
wait_window 'Shop\.qvproj|\.php$'
key ctrl+3
screenshot reopened-symbols >/dev/null
qv_expect_alive "after reopening the project"
qv_quit
