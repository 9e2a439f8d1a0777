#!/usr/bin/env bash
# Builds the program and every test with AddressSanitizer and
# UndefinedBehaviorSanitizer (gcc) in its own build folder and runs the tests
# through ctest. Any sanitizer report fails the test that caused it.
#
#   scripts/sanitize.sh
#
# Variables: BUILD_DIR (default build-sanitize), JOBS (build and test jobs),
# and anything ctest takes after the script's arguments, for example
#   scripts/sanitize.sh -R Cipher
set -euo pipefail
export LC_ALL=C

cd "$(dirname "${BASH_SOURCE[0]}")/.."
BUILD_DIR=${BUILD_DIR:-build-sanitize}
JOBS=${JOBS:-$(nproc)}

bash scripts/install-deps.sh @program @tests

# The options hold for the test discovery at build time as well as for ctest.
# Leaks in the system libraries that Qt loads (fonts, dynamic loading) are not
# ours; scripts/lsan.supp names them.
export ASAN_OPTIONS=${ASAN_OPTIONS:-halt_on_error=1:abort_on_error=0:detect_leaks=1:detect_stack_use_after_return=1:strict_init_order=1:check_initialization_order=1:print_stacktrace=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$PWD/scripts/lsan.supp:print_suppressions=0}
export QT_QPA_PLATFORM=offscreen

cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DTOLVANA_SANITIZE=ON -DTOLVANA_BUILD_GUI=ON -DTOLVANA_BUILD_TESTS=ON \
    -DTOLVANA_BUILD_BENCHMARKS=OFF -DTOLVANA_BUILD_FUZZERS=OFF >/dev/null
cmake --build "$BUILD_DIR" -j "$JOBS"
ctest --test-dir "$BUILD_DIR" --output-on-failure -j "$JOBS" "$@"
