#!/usr/bin/env bash
# Makes docs/tolvana.png, the README's picture of the main window: the real
# program in an X server of its own (Xvfb), a text typed in, "Kryptera" and
# "Dekryptera" pressed, so that both boxes show what they hold, and the
# window taken with ImageMagick's `import` and kept as a small palette PNG.
#
# As root on Debian 12 it installs what is missing. It builds in build/ (or
# BUILD_DIR) as the run command does. The program runs with a home of its
# own, so it neither reads nor writes the user's password files.
#
#   bash scripts/screenshot.sh [OUTPUT.png]
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
BUILD_DIR=${BUILD_DIR:-build}
output=$(realpath -m "${1:-docs/tolvana.png}")

bash scripts/install-deps.sh @program xvfb x11-xkb-utils xdotool imagemagick
cmake -S . -B "$BUILD_DIR" -G Ninja -DTOLVANA_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build "$BUILD_DIR" --target tolvana >/dev/null

# shellcheck source=../tests/e2e/xsession.sh
source "$ROOT/tests/e2e/xsession.sh"
start_session
fail() {
    echo "screenshot.sh: $*" >&2
    [ -f "$work/program.log" ] && sed 's/^/  program: /' "$work/program.log" >&2
    exit 1
}

mkdir -p "$work/home" "$work/data" "$work/config" "$work/cache" "$work/runtime"
chmod 700 "$work/runtime"
export HOME="$work/home" XDG_DATA_HOME="$work/data" XDG_CONFIG_HOME="$work/config"
export XDG_CACHE_HOME="$work/cache" XDG_RUNTIME_DIR="$work/runtime"
export LANG=C.UTF-8 LC_ALL=C.UTF-8 QT_QPA_PLATFORM=xcb
unset QT_QPA_PLATFORMTHEME XDG_CURRENT_DESKTOP DESKTOP_SESSION

start_xvfb || fail "Xvfb did not start"
setxkbmap se || fail "setxkbmap se"
"$ROOT/$BUILD_DIR/app/tolvana" >"$work/program.log" 2>&1 &
program_pid=$!
id=$(find_window Olmira 20) || fail "no window \"Olmira\""
xdotool windowfocus --sync "$id"

# The focus starts in the clear-text box; Tab twice reaches "Kryptera", once
# more "Dekryptera".
xdotool type --delay 20 "Hej på dig!"
xdotool key Return
xdotool type --delay 20 "Vi ses i morgon."
xdotool key Tab Tab space
sleep 0.5
xdotool key Tab space
sleep 0.5
# The caret away from the text, so that no blink decides the picture.
xdotool key shift+Tab shift+Tab shift+Tab
sleep 0.3

mkdir -p "$(dirname "$output")"
import -window "$id" "$work/window.png"
# A window of a few flat colours: a palette of 64 keeps every pixel's look
# and the file small.
convert "$work/window.png" -strip +dither -colors 64 "PNG8:$output"
echo "screenshot.sh: $output ($(stat -c %s "$output") bytes)"
