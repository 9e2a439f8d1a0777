# Sourced by the scripts that drive a program in a real X window.
#
# start_xvfb: starts an X server of the caller's own (Xvfb, 1024x768 or XVFB_SCREEN), with
# its display number written to "$work/display", and sets DISPLAY and
# xvfb_pid. The server outlives its last client (-noreset), so a program can
# be started more than once. Returns 1 when the server did not come up.
start_xvfb() {
    exec 3>"$work/display"
    Xvfb -displayfd 3 -screen 0 "${XVFB_SCREEN:-1024x768x24}" -noreset -nolisten tcp >"$work/xvfb.log" 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
    [ -s "$work/display" ] || return 1
    export DISPLAY=":$(head -n1 "$work/display")"
}

# find_window TITLE SECONDS: prints the id of a shown window whose title is
# exactly TITLE, waiting up to SECONDS for it; returns 1 when none came.
# xdotool's own --sync gives up at the first X error, which a window that
# vanishes during the search causes (Wine makes and drops windows of its
# own as a program starts), so the search is simply tried again.
find_window() {
    local id i tries=$(($2 * 10))
    for ((i = 0; i < tries; ++i)); do
        id=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n1) || true
        if [ -n "$id" ]; then
            echo "$id"
            return 0
        fi
        sleep 0.1
    done
    return 1
}

# start_session: makes "$work", the script's own folder, and ends whatever
# the script started there when it ends: the program, Wine's server (where a
# Wine session runs), the window manager and the X server, in that order,
# then removes the folder. Sets work, xvfb_pid, wm_pid and program_pid.
start_session() {
    work=$(mktemp -d)
    xvfb_pid=
    wm_pid=
    program_pid=
    trap end_session EXIT
}

end_session() {
    [ -n "$program_pid" ] && kill "$program_pid" 2>/dev/null || true
    if [ -n "${TOLVANA_WINEPREFIX:-}" ]; then
        WINEPREFIX="$TOLVANA_WINEPREFIX" /usr/lib/wine/wineserver -k 2>/dev/null || true
    fi
    [ -n "$wm_pid" ] && kill "$wm_pid" 2>/dev/null || true
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
    wait 2>/dev/null || true
    rm -rf "$work"
}

# start_wine_session WINE-RUN: start_session for the scripts that drive a
# Windows program under Wine, with a Wine prefix of the script's own copied
# from the build's (so that no password set by another test is asked for).
# Sets wine_run too, and exports TOLVANA_WINEPREFIX.
start_wine_session() {
    wine_run=$(realpath "$1")
    start_session
    export TOLVANA_WINEPREFIX="$work/prefix"
    local build_prefix reg
    build_prefix=$(sed -n 's/^export WINEPREFIX=\${TOLVANA_WINEPREFIX:-\(.*\)}$/\1/p' "$wine_run")
    [ -f "$build_prefix/.ready" ] || "$wine_run" cmd /c exit >/dev/null 2>&1 || true
    # Hard links keep the copy quick; the registry files, which Wine rewrites,
    # are copies of their own.
    cp -al "$build_prefix" "$TOLVANA_WINEPREFIX"
    for reg in "$TOLVANA_WINEPREFIX"/*.reg; do
        cp --remove-destination "$build_prefix/${reg##*/}" "$reg"
    done
    rm -f "$TOLVANA_WINEPREFIX/wineserver" "$TOLVANA_WINEPREFIX/drive_c/numberone" \
        "$TOLVANA_WINEPREFIX/drive_c/id"
}
