#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh cmake ninja-build g++ qt6-base-dev qt6-qpa-plugins fonts-dejavu-core \
    libgtest-dev libbenchmark-dev xvfb xdotool
cmake -S . -B build -G Ninja >/dev/null
cmake --build build
QT_QPA_PLATFORM=offscreen ctest --test-dir build --output-on-failure -j 2
