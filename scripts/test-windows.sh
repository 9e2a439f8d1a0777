#!/usr/bin/env bash
# Builds the Windows program and its tests (scripts/build-windows.sh, which
# installs what is missing and builds a static Qt once) and runs the Windows
# suites under Wine: the cipher, storage, registry and GUI tests, the golden
# files and tolvana.exe in a real X window.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/build-windows.sh
build=${TOLVANA_WIN_BUILD:-$PWD/build-windows}
# Keep a wineserver running for the whole run, so that no test pays Wine's
# start-up.
"$build/wine-run.sh" cmd /c exit >/dev/null 2>&1 || true
ctest --test-dir "$build" --output-on-failure -j 2
