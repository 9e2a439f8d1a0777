#!/usr/bin/env bash
# Drives the real program in a real X window, with keys, as a person would:
# type a text with Swedish letters and a line break, "Kryptera", Ctrl+S into
# Qt's own save dialog; then in a fresh start Ctrl+O that file, "Dekryptera",
# "Kryptera" again and save once more. Both saved files must hold exactly the
# cipher text of the typed text.
#
# Usage: real_window.sh PATH-TO-PROGRAM
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/xsession.sh"

program=$(realpath "$1")
start_session

fail() {
    echo "FAILED: $*" >&2
    # Where the caller asks for it, a picture of the screen at the failure.
    if [ -n "${TOLVANA_E2E_SHOT:-}" ] && command -v import >/dev/null; then
        import -window root "$TOLVANA_E2E_SHOT" 2>/dev/null || true
    fi
    [ -f "$work/program.log" ] && sed 's/^/  program: /' "$work/program.log" >&2
    exit 1
}

# A home of its own: the program's password files and Qt's settings go there.
mkdir -p "$work/home" "$work/data" "$work/config" "$work/cache" "$work/runtime" "$work/files"
chmod 700 "$work/runtime"
export HOME="$work/home" XDG_DATA_HOME="$work/data" XDG_CONFIG_HOME="$work/config"
export XDG_CACHE_HOME="$work/cache" XDG_RUNTIME_DIR="$work/runtime"
# xdotool types letters such as å only under a real locale; C.UTF-8 writes
# numbers with a decimal point.
export LANG=C.UTF-8 LC_ALL=C.UTF-8
# No desktop: Qt shows its own widget file dialog.
unset QT_QPA_PLATFORMTHEME XDG_CURRENT_DESKTOP DESKTOP_SESSION GNOME_DESKTOP_SESSION_ID KDE_FULL_SESSION
export QT_QPA_PLATFORM=xcb

start_xvfb || fail "Xvfb did not start"
# A Swedish keyboard has å, ä and ö on keys of their own. xdotool types a
# letter that has no key by mapping one for a moment, and a busy program may
# read that key after the mapping is gone, losing the letter.
setxkbmap se || fail "setxkbmap se"

# Waits for a window with exactly this title and gives it the keyboard.
window() {
    local id
    id=$(find_window "$1" 20) ||
        fail "no window \"$1\""
    xdotool windowfocus --sync "$id"
    echo "$id"
}

# Waits until no window with this title is shown any more.
gone() {
    for _ in $(seq 200); do
        xdotool search --onlyvisible --name "^$1\$" >/dev/null 2>&1 || return 0
        sleep 0.05
    done
    fail "window \"$1\" is still open"
}

start() {
    "$program" >>"$work/program.log" 2>&1 &
    program_pid=$!
    window Olmira >/dev/null
}

stop() {
    kill "$program_pid"
    wait "$program_pid" 2>/dev/null || true
    program_pid=
    gone Olmira
}

# Types a file name into Qt's file dialog and accepts it. The name field has
# the focus when the dialog opens; its completer may take the first Return.
# With no window manager to hand the keyboard back, the main window is given
# it again once the dialog is gone, as a person's click would.
choose_file() {
    local title=$1 path=$2
    window "$title" >/dev/null
    xdotool type --delay 20 "$path"
    for _ in 1 2 3; do
        xdotool key Return
        sleep 0.3
        if ! xdotool search --onlyvisible --name "^$title\$" >/dev/null 2>&1; then
            window Olmira >/dev/null
            return 0
        fi
    done
    fail "the dialog \"$title\" did not take $path"
}

wait_for_file() {
    for _ in $(seq 200); do [ -s "$1" ] && return 0; sleep 0.05; done
    fail "no file $1"
}

expected="$work/expected.crp"
printf '"\n115.5\n159\n166.5\n55.5\n175.5\n351\n55.5\n157.5\n165\n162\n27\n22.5\n178.5\n153\n157.5\n55.5\n181.5\n184.5\n351"\r\n' >"$expected"

# First start: type, encrypt (the focus starts in the clear-text box; Tab
# twice reaches "Kryptera"), save.
start
# The window shows the program's icon, and its class is the one that the
# menu entry names, so that docks and task bars group the two.
olmira=$(find_window Olmira 20) || fail "no window Olmira"
# The icon's pixels are many lines; grep -q would stop reading at the first
# and xprop then die of SIGPIPE, which pipefail takes for a failure.
icon=$(xprop -id "$olmira" _NET_WM_ICON)
[[ $icon == "_NET_WM_ICON(CARDINAL) = "* ]] || fail "the window has no icon"
wm_class=$(sed -n 's/^StartupWMClass=//p' "$(dirname "${BASH_SOURCE[0]}")/../../desktop/se.tolvana.Tolvana.desktop")
xprop -id "$olmira" WM_CLASS | grep -q "\"$wm_class\"\$" ||
    fail "the window's class is not \"$wm_class\": $(xprop -id "$olmira" WM_CLASS)"
xdotool type --delay 20 "Hej på dig"
xdotool key Return
xdotool type --delay 20 "rad två"
xdotool key Tab Tab space
xdotool key ctrl+s
choose_file "Spara som" "$work/files/first.crp"
wait_for_file "$work/files/first.crp"
same() {
    cmp -s "$expected" "$1" && return 0
    echo "expected:" >&2; od -c "$expected" >&2
    echo "saved:" >&2; od -c "$1" >&2
    return 1
}
same "$work/files/first.crp" || fail "the saved file differs from the expected bytes"
stop

# Second start: open, decrypt (Tab four times reaches "Dekryptera", the last
# button on the screen), then encrypt the clear text that came back (Shift+Tab
# twice, past "Skapa lösenord", to "Kryptera") and save it.
start
xdotool key ctrl+o
choose_file "ladda en krypterad fil" "$work/files/first.crp"
xdotool key Tab Tab Tab Tab space
xdotool key shift+Tab shift+Tab space
xdotool key ctrl+s
# A name typed without an extension gets ".crp".
choose_file "Spara som" "$work/files/second"
wait_for_file "$work/files/second.crp"
same "$work/files/second.crp" || fail "the clear text did not come back unchanged"
stop

echo "real window: 1 passed, 0 failed"
