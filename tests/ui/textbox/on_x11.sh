#!/usr/bin/env bash
# Runs a test program on Qt's X11 platform in an X server of its own (Xvfb),
# for what only X11 has, such as its primary selection and the middle button
# that pastes it.
#
# Usage: on_x11.sh PROGRAM [ARGUMENT...]
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../../e2e/xsession.sh"

work=$(mktemp -d)
xvfb_pid=
cleanup() {
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

start_xvfb || { echo "Xvfb did not start" >&2; exit 1; }
QT_QPA_PLATFORM=xcb "$@"
