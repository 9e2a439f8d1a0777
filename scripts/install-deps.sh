#!/usr/bin/env bash
# Installs the Debian packages named on the command line that are not
# installed yet. Runs apt-get update only when something is missing.
#
# Two names stand for sets, so that every script asks for the same:
#   @program  what building and running the program needs (Qt, the fonts
#             the windows are drawn with, rsvg-convert that draws the icons)
#   @tests    what the test suites need besides (GoogleTest, Google Benchmark,
#             an X server, a window manager and the tools that drive them)
#   @web      what the web page's build and its browser tests need (emscripten,
#             Chromium and its driver, Selenium)
#
# npm:NAME@VERSION installs that package from the npm registry, once, into
# /var/cache/tolvana/npm/NAME@VERSION (TOLVANA_NPM_CACHE sets another folder);
# the scripts find it there.
set -euo pipefail

program=(cmake ninja-build g++ qt6-base-dev qt6-qpa-plugins librsvg2-bin
    fonts-dejavu-core fonts-liberation2)
tests=(libgtest-dev libbenchmark-dev xvfb x11-xkb-utils xdotool openbox wmctrl imagemagick x11-utils)
web=(emscripten python3 chromium chromium-driver python3-selenium)
npm_cache=${TOLVANA_NPM_CACHE:-/var/cache/tolvana/npm}

missing=()
npm_packages=()
for name in "$@"; do
    case $name in
    @program) pkgs=("${program[@]}") ;;
    @tests) pkgs=("${tests[@]}") ;;
    @web) pkgs=("${web[@]}") ;;
    npm:*)
        npm_packages+=("${name#npm:}")
        # npm comes with Node.js from some sources; Debian has it apart.
        command -v npm >/dev/null && continue
        pkgs=(npm)
        ;;
    *) pkgs=("$name") ;;
    esac
    for pkg in "${pkgs[@]}"; do
        dpkg -s "$pkg" >/dev/null 2>&1 || missing+=("$pkg")
    done
done
if [ ${#missing[@]} -gt 0 ]; then
    if [ "$(id -u)" -ne 0 ]; then
        echo "Missing packages: ${missing[*]} (run as root, or install them first)" >&2
        exit 1
    fi
    echo "Installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    # Other apt users on the machine may hold the lock for a while.
    apt-get -o DPkg::Lock::Timeout=900 update -qq
    apt-get -o DPkg::Lock::Timeout=900 install -y -qq "${missing[@]}" >/dev/null
fi

for package in "${npm_packages[@]}"; do
    folder=$npm_cache/$package
    [ -f "$folder/.complete" ] && continue
    echo "Installing from npm: $package"
    rm -rf "$folder"
    mkdir -p "$folder"
    npm install --prefix "$folder" --no-save --no-audit --no-fund --loglevel=error "$package" >/dev/null
    touch "$folder/.complete"
done
