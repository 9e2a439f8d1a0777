#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test: the fuzz
# targets for a short while and the whole suite under AddressSanitizer and
# UndefinedBehaviorSanitizer, then the ordinary build's suite.
#
# TOLVANA_QUICK=1 runs only the ordinary build's suite.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh cmake ninja-build g++ qt6-base-dev qt6-qpa-plugins qt6-translations-l10n fonts-dejavu-core \
    libgtest-dev libbenchmark-dev xvfb x11-xkb-utils xdotool

if [ "${TOLVANA_QUICK:-0}" != 1 ]; then
    bash scripts/fuzz.sh
    bash scripts/sanitize.sh
fi

# Last, so that its summary closes the run.
cmake -S . -B build -G Ninja >/dev/null
cmake --build build
QT_QPA_PLATFORM=offscreen ctest --test-dir build --output-on-failure -j 2
