#!/usr/bin/env bash
# The real program in a real X window with a window manager (Openbox): the
# main window opens at its drawn size; made larger and then maximised, its
# boxes fill the width and its buttons follow to the right edge; closed while
# maximised, it opens maximised again at the next start.
#
# Usage: real_window_layout.sh PATH-TO-PROGRAM
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/xsession.sh"

program=$(realpath "$1")
start_session

fail() {
    echo "FAILED: $*" >&2
    if [ -n "${TOLVANA_E2E_SHOT:-}" ]; then
        import -window root "$TOLVANA_E2E_SHOT" 2>/dev/null || true
    fi
    [ -f "$work/program.log" ] && sed 's/^/  program: /' "$work/program.log" >&2
    exit 1
}

for tool in openbox wmctrl import xdotool; do
    command -v "$tool" >/dev/null || fail "$tool is missing (scripts/install-deps.sh @tests)"
done

# A home of its own: the password files and the window's settings go there.
mkdir -p "$work/home" "$work/data" "$work/config" "$work/cache" "$work/runtime"
chmod 700 "$work/runtime"
export HOME="$work/home" XDG_DATA_HOME="$work/data" XDG_CONFIG_HOME="$work/config"
export XDG_CACHE_HOME="$work/cache" XDG_RUNTIME_DIR="$work/runtime"
export LANG=C.UTF-8 LC_ALL=C.UTF-8
unset QT_QPA_PLATFORMTHEME XDG_CURRENT_DESKTOP DESKTOP_SESSION GNOME_DESKTOP_SESSION_ID KDE_FULL_SESSION
unset QT_SCALE_FACTOR QT_FONT_DPI
export QT_QPA_PLATFORM=xcb

start_xvfb || fail "Xvfb did not start"
openbox --sm-disable >"$work/openbox.log" 2>&1 &
wm_pid=$!
for _ in $(seq 100); do wmctrl -m >/dev/null 2>&1 && break; sleep 0.1; done
wmctrl -m >/dev/null 2>&1 || fail "Openbox did not start"

start() {
    "$program" >>"$work/program.log" 2>&1 &
    program_pid=$!
    id=$(find_window Olmira 20) || fail "no window Olmira"
}

# Closes the window through the window manager, as its close button does.
close() {
    wmctrl -i -c "$id"
    for _ in $(seq 100); do kill -0 "$program_pid" 2>/dev/null || break; sleep 0.1; done
    kill -0 "$program_pid" 2>/dev/null && fail "the program did not end when its window closed"
    wait "$program_pid" 2>/dev/null || true
    program_pid=
}

size() { xdotool getwindowgeometry --shell "$id" | sed -n 's/^\(WIDTH\|HEIGHT\)=//p' | paste -sd' '; }

# The colour of the window's pixel at x, y, as rrggbb.
pixel() {
    import -window "$id" -crop "1x1+$1+$2" -depth 8 txt:- 2>/dev/null |
        sed -n 's/.*#\([0-9A-Fa-f]\{6\}\).*/\1/p' | tail -n1 | tr 'A-F' 'a-f'
}

# Waits until the pixel at x, y is (or with "!" is not) the colour; the
# program lays the window out and draws it a moment after it is resized.
expect_pixel() {
    local x=$1 y=$2 op=$3 colour=$4 message=$5 seen
    for _ in $(seq 50); do
        seen=$(pixel "$x" "$y")
        if [ "$op" = "=" ]; then [ "$seen" = "$colour" ] && return 0
        else [ "$seen" != "$colour" ] && return 0; fi
        sleep 0.1
    done
    fail "$message (at $x, $y: $seen)"
}

# Waits until the window has the size "width height" that the test reads
# from `size` and a condition on it holds.
wait_size() {
    for _ in $(seq 100); do
        read -r width height <<<"$(size)"
        eval "$1" && return 0
        sleep 0.1
    done
    fail "the window stayed $width x $height ($1)"
}

start
read -r width height <<<"$(size)"
[ "$width" = 437 ] || fail "the window opened $width wide, not 437"
menu=$((height - 417)) # the menu bar above the drawn client area
((menu > 10 && menu < 40)) || fail "the window opened $height high"
window_colour=$(pixel 420 $((menu + 60)))
expect_pixel 200 $((menu + 60)) = ffffff "no box at its drawn place"
[ "$window_colour" != ffffff ] || fail "the box reaches past its drawn right edge"

# Larger: the upper box reaches 52 pixels short of the right edge (its
# scroll bar runs along that edge).
xdotool windowsize "$id" 900 700
wait_size '[ "$width" = 900 ]'
expect_pixel 800 $((menu + 60)) = ffffff "the box did not grow to the right"
expect_pixel 860 $((menu + 60)) = "$window_colour" "the box grew too far"

# Maximised: the boxes fill the screen's width; "Dekryptera" stands 68
# pixels from the right edge, in the row below the lower box.
wmctrl -i -r "$id" -b add,maximized_vert,maximized_horz
wait_size '((width > 1000))'
expect_pixel $((width - 100)) $((menu + 60)) = ffffff "the box does not fill the width"
client=$((height - menu))
buttons=$((menu + 40 + 15 + 17 + 7 + 7 + 210 + client - 417))
expect_pixel $((width - 68 - 40)) $((buttons + 12)) ! "$window_colour" "no button at the right of the row"
expect_pixel $((width - 108)) $((buttons - 40)) = ffffff "no lower box above the buttons"

close
start
for _ in $(seq 50); do
    xprop -id "$id" _NET_WM_STATE | grep -q MAXIMIZED_HORZ && break
    sleep 0.1
done
xprop -id "$id" _NET_WM_STATE | grep -q MAXIMIZED_HORZ || fail "not maximised at the next start"
close

echo "real window layout: 1 passed, 0 failed"
