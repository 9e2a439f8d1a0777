#!/usr/bin/env bash
# The Windows program under Wine as the desktop's settings make it look, set
# in the registry as a user sets them: at 96 and at 192 DPI, in the light and
# the dark app mode, and in high contrast. Each start is photographed into
# ARTIFACTS (kept by CI) and checked: at 192 DPI the window is about twice as
# large, in the dark mode it is dark, in the light mode light.
#
# Usage: look_wine.sh PATH-TO-tolvana.exe PATH-TO-wine-run.sh ARTIFACTS
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/xsession.sh"

program=$(realpath "$1")
artifacts=$(realpath -m "$3")
start_wine_session "$2"

fail() {
    echo "FAILED: $*" >&2
    [ -f "$work/program.log" ] && sed 's/^/  program: /' "$work/program.log" >&2
    exit 1
}

command -v import >/dev/null || fail "ImageMagick's import is missing"
mkdir -p "$artifacts" "$work/files"

XVFB_SCREEN=1920x1080x24 start_xvfb || fail "Xvfb did not start"

# reg VALUE-PATH NAME DWORD
reg() {
    "$wine_run" reg add "$1" /v "$2" /t REG_DWORD /d "$3" /f >/dev/null 2>&1 ||
        fail "reg add $1 $2"
}
personalize='HKCU\Software\Microsoft\Windows\CurrentVersion\Themes\Personalize'

# Starts the program, photographs its window into ARTIFACTS/NAME.png and
# prints its width, height and mean brightness (0 to 1), then ends it.
look() {
    local name=$1 id
    (cd "$work/files" && exec "$wine_run" "$program") >>"$work/program.log" 2>&1 &
    program_pid=$!
    id=$(find_window Olmira 60) || fail "no window Olmira ($name)"
    sleep 2
    import -window "$id" "$artifacts/$name.png" || fail "no picture of $name"
    local size brightness
    size=$(identify -format '%w %h' "$artifacts/$name.png")
    brightness=$(identify -format '%[fx:mean]' "$artifacts/$name.png")
    xdotool windowclose "$id" 2>/dev/null || true
    for _ in $(seq 100); do kill -0 "$program_pid" 2>/dev/null || break; sleep 0.1; done
    kill "$program_pid" 2>/dev/null || true
    wait "$program_pid" 2>/dev/null || true
    program_pid=
    echo "$size $brightness"
}

reg "$personalize" AppsUseLightTheme 1
read -r width96 height96 light < <(look light-96dpi)
reg "$personalize" AppsUseLightTheme 0
read -r _ _ dark < <(look dark-96dpi)
reg 'HKCU\Control Panel\Desktop' LogPixels 192
reg "$personalize" AppsUseLightTheme 1
read -r width192 height192 _ < <(look light-192dpi)
reg "$personalize" AppsUseLightTheme 0
look dark-192dpi >/dev/null
reg 'HKCU\Control Panel\Desktop' LogPixels 96
reg "$personalize" AppsUseLightTheme 1
# High contrast: Windows keeps its flags here; Wine may or may not read them.
"$wine_run" reg add 'HKCU\Control Panel\Accessibility\HighContrast' /v Flags /t REG_SZ \
    /d 127 /f >/dev/null 2>&1 || true
look high-contrast >/dev/null

echo "96 DPI: ${width96}x${height96}, light $light, dark $dark; 192 DPI: ${width192}x${height192}"
awk -v l="$light" 'BEGIN { exit !(l > 0.6) }' || fail "the light mode is not light ($light)"
awk -v d="$dark" 'BEGIN { exit !(d < 0.4) }' || fail "the dark mode is not dark ($dark)"
awk -v a="$width96" -v b="$width192" 'BEGIN { exit !(b >= 1.7 * a) }' ||
    fail "at 192 DPI the window is ${width192} wide, at 96 DPI ${width96}"
echo "pictures in $artifacts"
