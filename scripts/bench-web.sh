#!/usr/bin/env bash
# Builds the web page and measures it in headless Chromium: "Kryptera" and
# "Dekryptera" of 1,000,000 characters, and opening and saving their ".crp"
# file (bench/web_bench.py). Arguments: the number of characters and of runs.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh @web
bash scripts/build-web.sh
/usr/bin/python3 bench/web_bench.py build-web/tolvana.html "$@"
