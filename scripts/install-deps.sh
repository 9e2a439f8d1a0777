#!/usr/bin/env bash
# Installs the Debian packages named on the command line that are not
# installed yet. Runs apt-get update only when something is missing.
set -euo pipefail

missing=()
for pkg in "$@"; do
    dpkg -s "$pkg" >/dev/null 2>&1 || missing+=("$pkg")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
    echo "Missing packages: ${missing[*]} (run as root, or install them first)" >&2
    exit 1
fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
# Other apt users on the machine may hold the lock for a while.
apt-get -o DPkg::Lock::Timeout=900 update -qq
apt-get -o DPkg::Lock::Timeout=900 install -y -qq "${missing[@]}" >/dev/null
