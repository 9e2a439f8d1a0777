#!/usr/bin/env bash
# Builds the web page (scripts/build-web.sh) and runs its tests in a real
# browser: headless Chromium driven by Selenium (tests/web/test_page.py).
# The bytes the page must give are made by the program's tolvana-cipher,
# built here unless TOLVANA_CIPHER names one built in the same run.
#
# As root on Debian 12 it installs what is missing: emscripten, Chromium,
# its driver and Selenium from Debian, and axe-core from npm.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
AXE=axe-core@4.14.1

bash scripts/install-deps.sh @web cmake ninja-build g++ "npm:$AXE"
bash scripts/build-web.sh

cipher=${TOLVANA_CIPHER:-}
if [ -z "$cipher" ]; then
    native=$ROOT/build-web/native
    cmake -S . -B "$native" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTOLVANA_BUILD_GUI=OFF \
        -DTOLVANA_BUILD_TESTS=OFF -DTOLVANA_BUILD_BENCHMARKS=OFF >/dev/null
    nice -n 10 cmake --build "$native" --target tolvana-cipher --parallel 2
    cipher=$native/tools/tolvana-cipher
fi

# Debian's Python, which has Selenium, whatever Python comes first on PATH.
TOLVANA_WEB_PAGE=$ROOT/build-web/tolvana.html TOLVANA_CIPHER=$cipher \
    TOLVANA_AXE=${TOLVANA_NPM_CACHE:-/var/cache/tolvana/npm}/$AXE/node_modules/axe-core/axe.min.js \
    /usr/bin/python3 tests/web/test_page.py
