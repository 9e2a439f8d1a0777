#!/usr/bin/env bash
# Installs what is missing, builds the program and starts it. Arguments go to
# the program (a ".crp" or ".txt" file to open, --help, --version).
#
# It builds in build/ only; the test command has a folder of its own.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh @program
cmake -S . -B build -G Ninja -DTOLVANA_BUILD_TESTS=OFF -DTOLVANA_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build build --target tolvana
exec ./build/app/tolvana "$@"
