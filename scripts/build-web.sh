#!/usr/bin/env bash
# Builds build-web/tolvana.html: Tolvana as one web page that needs nothing
# else, no server and no network. The cipher (cipher/), the reading of ".crp"
# and text files (storage/, with its web platform file) and the program's
# catalogue of messages (messages/) are compiled to WebAssembly with Debian's
# emscripten and put into the page with its HTML, style and scripts (web/).
#
# As root on Debian 12 it installs emscripten when it is missing.
# TOLVANA_WEB_BUILD sets another build folder.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
BUILD=${TOLVANA_WEB_BUILD:-$ROOT/build-web}
# The commit's time stands for "now" in everything the build writes (GCC,
# rcc, CPack, makensis), so that the same commit builds into the same bytes.
if [ -z "${SOURCE_DATE_EPOCH:-}" ] && epoch=$(git log -1 --format=%ct 2>/dev/null); then
    export SOURCE_DATE_EPOCH=$epoch
fi

bash scripts/install-deps.sh emscripten python3

# Debian's emscripten runs its JavaScript tools with Node.js and needs
# Debian's Node.js modules (acorn), also where another Node.js comes first on
# PATH.
export NODE_PATH=/usr/share/nodejs${NODE_PATH:+:$NODE_PATH}
# The compiler's cache is Debian's, prebuilt and read-only.
export EM_FROZEN_CACHE=1

# One configuration with emscripten's toolchain builds the page from the same
# library targets as the programs (CMakeLists.txt, web/CMakeLists.txt). -O2,
# and the asserts kept, as the page has always been built.
emcmake cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_CXX_FLAGS_RELEASE=-O2 >/dev/null
nice -n 10 cmake --build "$BUILD" --target tolvana_html
