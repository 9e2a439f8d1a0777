#!/usr/bin/env bash
# Drives the Windows program, tolvana.exe, under Wine in a real X window, with
# keys, as a person would: type a text with Swedish letters and a line break,
# "Kryptera", Ctrl+S into the Windows save dialog; then in a fresh start
# Ctrl+O that file, "Dekryptera", "Kryptera" again and save once more. Both
# saved files must hold exactly the bytes the Linux program writes for that
# text. Last, the characters a Swedish keyboard types with AltGr must reach
# the box: typed, encrypted and saved, they must come out as their numbers.
#
# Usage: real_window_wine.sh PATH-TO-tolvana.exe PATH-TO-wine-run.sh
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/xsession.sh"

program=$(realpath "$1")
start_wine_session "$2"

fail() {
    echo "FAILED: $*" >&2
    if [ -n "${TOLVANA_E2E_SHOT:-}" ] && command -v import >/dev/null; then
        import -window root "$TOLVANA_E2E_SHOT" 2>/dev/null || true
    fi
    [ -f "$work/program.log" ] && sed 's/^/  program: /' "$work/program.log" >&2
    exit 1
}

mkdir -p "$work/files"

# The point as decimal separator, as in the Linux test's expected bytes.
export LANG=C.UTF-8 LC_ALL=C.UTF-8

start_xvfb || fail "Xvfb did not start"
# A Swedish keyboard has å, ä and ö on keys of their own; Wine reads the
# layout when it starts.
setxkbmap se || fail "setxkbmap se"

window() {
    local id
    id=$(find_window "$1" 60) ||
        fail "no window \"$1\""
    xdotool windowactivate --sync "$id" 2>/dev/null || xdotool windowfocus --sync "$id"
    echo "$id"
}

gone() {
    for _ in $(seq 300); do
        xdotool search --onlyvisible --name "^$1\$" >/dev/null 2>&1 || return 0
        sleep 0.1
    done
    fail "window \"$1\" is still open"
}

# The program starts in the files folder, where its file dialogs open, so a
# bare name is typed there: Wine's dialog takes no '/', and a '\' would need
# AltGr on the Swedish keyboard.
start() {
    (cd "$work/files" && exec "$wine_run" "$program") >>"$work/program.log" 2>&1 &
    program_pid=$!
    window Olmira >/dev/null
    sleep 1
}

stop() {
    local id
    id=$(xdotool search --onlyvisible --name '^Olmira$' | head -n1)
    xdotool windowclose "$id" 2>/dev/null || xdotool key --window "$id" alt+F4
    for _ in $(seq 100); do kill -0 "$program_pid" 2>/dev/null || break; sleep 0.1; done
    kill "$program_pid" 2>/dev/null || true
    wait "$program_pid" 2>/dev/null || true
    program_pid=
}

# Types a name into the Windows file dialog's name field (which has the focus
# when it opens) and accepts it.
choose_file() {
    local title=$1 path=$2
    window "$title" >/dev/null
    sleep 1
    xdotool type --delay 40 "$path"
    xdotool key Return
    gone "$title"
    window Olmira >/dev/null
}

wait_for_file() {
    for _ in $(seq 200); do [ -s "$1" ] && return 0; sleep 0.05; done
    fail "no file $1"
}

expected="$work/expected.crp"
printf '"\n115.5\n159\n166.5\n55.5\n175.5\n351\n55.5\n157.5\n165\n162\n27\n22.5\n178.5\n153\n157.5\n55.5\n181.5\n184.5\n351"\r\n' >"$expected"
same() {
    cmp -s "$expected" "$1" && return 0
    echo "expected:" >&2; od -c "$expected" >&2
    echo "saved:" >&2; od -c "$1" >&2
    return 1
}

start
xdotool type --delay 40 "Hej på dig"
xdotool key Return
xdotool type --delay 40 "rad två"
xdotool key Tab Tab space
sleep 0.5
xdotool key ctrl+s
choose_file "Spara som" first.crp
wait_for_file "$work/files/first.crp"
same "$work/files/first.crp" || fail "the saved file differs from the Linux program's bytes"
stop

start
xdotool key ctrl+o
choose_file "ladda en krypterad fil" first.crp
xdotool key Tab Tab Tab Tab space
sleep 0.5
xdotool key shift+Tab shift+Tab space
sleep 0.5
xdotool key ctrl+s
choose_file "Spara som" second.crp
wait_for_file "$work/files/second.crp"
same "$work/files/second.crp" || fail "the clear text did not come back unchanged"
stop

# "a", then @ € { } [ ] \ | (AltGr characters on a Swedish keyboard), then
# "b". The euro sign is typed as a person types it, AltGr held down with E:
# xdotool would take the 5 key for it, which Wine on a busy machine has read
# once as a plain 5.
printf '"\n153\n103.5\n199.5\n192\n195\n144\n147\n145.5\n193.5\n154.5"\r\n' >"$expected"
start
xdotool type --delay 60 'a@'
xdotool keydown ISO_Level3_Shift
sleep 0.15
xdotool key e
sleep 0.15
xdotool keyup ISO_Level3_Shift
sleep 0.15
xdotool type --delay 60 '{}[]\|b'
xdotool key Tab Tab space
sleep 0.5
xdotool key ctrl+s
choose_file "Spara som" altgr.crp
wait_for_file "$work/files/altgr.crp"
same "$work/files/altgr.crp" || fail "the AltGr characters did not all reach the box"
stop

echo "real window under Wine: 2 passed, 0 failed"
