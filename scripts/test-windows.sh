#!/usr/bin/env bash
# Builds the Windows programs, their tests and the installer
# (scripts/build-windows.sh, which installs what is missing and builds a static
# Qt once) and runs the Windows suites under Wine: the cipher, storage,
# registry and GUI tests, the golden files, tolvana.exe in a real X window,
# tolvana-cipher.exe's tests, the programs' resources, and the installer
# installed, used and uninstalled.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/build-windows.sh
build=${TOLVANA_WIN_BUILD:-$PWD/build-windows}
# No Wine process outlives the run.
trap 'WINEPREFIX="$build/wineprefix" /usr/lib/wine/wineserver -k 2>/dev/null || true' EXIT
# Keep a wineserver running for the whole run, so that no test pays Wine's
# start-up.
"$build/wine-run.sh" cmd /c exit >/dev/null 2>&1 || true
# A test that fails is run once more: a Wine process now and then fails to
# start in a prefix that was made moments before. A real fault fails twice.
ctest --test-dir "$build" --output-on-failure -j 2 --repeat until-pass:2
