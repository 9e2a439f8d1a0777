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
