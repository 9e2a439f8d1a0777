#!/usr/bin/env bash
# Installs what is missing, builds the program and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh cmake ninja-build g++ qt6-base-dev qt6-qpa-plugins qt6-translations-l10n fonts-dejavu-core
cmake -S . -B build -G Ninja -DTOLVANA_BUILD_TESTS=OFF -DTOLVANA_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build build --target tolvana
exec ./build/app/tolvana
