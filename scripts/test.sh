#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test: the fuzz
# targets for a short while and the whole suite under AddressSanitizer and
# UndefinedBehaviorSanitizer, then the ordinary build's suite, and last the
# Debian package: built, installed on this machine and checked.
#
# TOLVANA_QUICK=1 runs only the ordinary build's suite and the package check.
#
# The ordinary suite is built in a folder of its own (BUILD_DIR, default
# build-test) with every option it needs set here, so nothing that another
# command left in another folder (the run command's build/, say) can leave
# tests out. A ctest run that finds no test fails.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${BUILD_DIR:-build-test}

bash scripts/install-deps.sh @program @tests

if [ "${TOLVANA_QUICK:-0}" != 1 ]; then
    bash scripts/fuzz.sh
    bash scripts/sanitize.sh
fi

cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DTOLVANA_BUILD_GUI=ON -DTOLVANA_BUILD_TESTS=ON -DTOLVANA_BUILD_BENCHMARKS=ON \
    -DTOLVANA_BUILD_FUZZERS=OFF -DTOLVANA_SANITIZE=OFF >/dev/null
cmake --build "$BUILD_DIR"
QT_QPA_PLATFORM=offscreen ctest --test-dir "$BUILD_DIR" --output-on-failure --no-tests=error -j 2

# The Debian package: built, installed on this machine and checked.
bash scripts/package.sh
