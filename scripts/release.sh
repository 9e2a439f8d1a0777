#!/usr/bin/env bash
# Builds a release and puts it in dist/ (TOLVANA_DIST sets another folder),
# in a form anyone can check:
#
#   tolvana_<version>_amd64.deb          the Debian package
#   tolvana-<version>-setup.exe          the Windows installer
#   tolvana.exe, tolvana-cipher.exe      the portable Windows programs
#   tolvana.html                         the web page
#   tolvana-<version>-relink-kit.tar.gz  relinks the Windows programs with
#                                        another Qt (the LGPL's relink)
#   tolvana-<version>.spdx.json          what each file carries, with versions
#                                        and licences (SPDX 2.3)
#   SHA256SUMS                           the SHA-256 of each file above
#   SHA256SUMS.asc                       with a GPG key: its signature
#
# Signing is asked for with keys in the environment:
#   TOLVANA_GPG_KEY     a GPG key (id or address) that signs SHA256SUMS
#   TOLVANA_SIGN_CERT   Authenticode certificate and private key (PEM) that
#   TOLVANA_SIGN_KEY    sign tolvana.exe, tolvana-cipher.exe, the uninstaller
#                       and the installer (scripts/sign-windows.sh)
#
# The builds are the ordinary ones (scripts/build-web.sh, scripts/package.sh,
# scripts/build-windows.sh) in their usual folders, or those named by
# TOLVANA_WEB_BUILD, BUILD_DIR and TOLVANA_WIN_BUILD; a build already made is
# brought up to date. The builds are reproducible (scripts/check-reproducible.sh):
# anyone can build the same commit and compare with SHA256SUMS.
#
# A user checks a download with:
#   gpg --verify SHA256SUMS.asc SHA256SUMS && sha256sum --ignore-missing -c SHA256SUMS
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
DIST=${TOLVANA_DIST:-$ROOT/dist}
WEB_BUILD=${TOLVANA_WEB_BUILD:-$ROOT/build-web}
PACKAGE_BUILD=${BUILD_DIR:-$ROOT/build-package}
WIN_BUILD=${TOLVANA_WIN_BUILD:-$ROOT/build-windows}
if [ -z "${SOURCE_DATE_EPOCH:-}" ] && epoch=$(git log -1 --format=%ct 2>/dev/null); then
    export SOURCE_DATE_EPOCH=$epoch
fi

log() { printf '[release %s] %s\n' "$(date -u +%H:%M:%S)" "$*"; }

sign_windows=
if [ -n "${TOLVANA_SIGN_CERT:-}${TOLVANA_SIGN_KEY:-}" ]; then
    [ -f "${TOLVANA_SIGN_CERT:-}" ] && [ -f "${TOLVANA_SIGN_KEY:-}" ] ||
        { echo "release: TOLVANA_SIGN_CERT and TOLVANA_SIGN_KEY must both name files" >&2; exit 2; }
    export TOLVANA_SIGN_CERT TOLVANA_SIGN_KEY
    sign_windows=1
fi
if [ -n "${TOLVANA_GPG_KEY:-}" ]; then
    gpg --batch --list-secret-keys "$TOLVANA_GPG_KEY" >/dev/null 2>&1 ||
        { echo "release: no secret GPG key '$TOLVANA_GPG_KEY'" >&2; exit 2; }
fi
bash scripts/install-deps.sh osslsigncode gnupg

log "the web page"
TOLVANA_WEB_BUILD=$WEB_BUILD bash scripts/build-web.sh
log "the Debian package"
BUILD_DIR=$PACKAGE_BUILD TOLVANA_PACKAGE_INSTALL=0 TOLVANA_WEB_PAGE=$WEB_BUILD/tolvana.html \
    bash scripts/package.sh
log "the Windows programs, the installer and the relink kit"
TOLVANA_WIN_BUILD=$WIN_BUILD TOLVANA_WEB_PAGE=$WEB_BUILD/tolvana.html TOLVANA_SIGN=$sign_windows \
    bash scripts/build-windows.sh installer

version=$(sed -n 's/^project(Tolvana VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
rm -rf "$DIST"
mkdir -p "$DIST"
cp "$WEB_BUILD/tolvana.html" "$DIST/"
cp "$PACKAGE_BUILD/tolvana_${version}_amd64.deb" "$DIST/"
cp "$WIN_BUILD/installer/tolvana-$version-setup.exe" "$WIN_BUILD/tolvana-$version-relink-kit.tar.gz" "$DIST/"
if [ -n "$sign_windows" ]; then
    # The signed copies, the same that the installer holds.
    cp "$WIN_BUILD/installer/signed/tolvana.exe" "$WIN_BUILD/installer/signed/tolvana-cipher.exe" "$DIST/"
else
    cp "$WIN_BUILD/app/tolvana.exe" "$WIN_BUILD/tools/tolvana-cipher.exe" "$DIST/"
fi

qt_version=$(sed -n 's/^QT_VERSION=//p' scripts/build-windows.sh)
python3 scripts/sbom.py "$DIST" "$version" "$(git rev-parse HEAD 2>/dev/null || echo unknown)" \
    "$qt_version" >"$DIST/tolvana-$version.spdx.json"
(cd "$DIST" && sha256sum -- * >SHA256SUMS)
if [ -n "${TOLVANA_GPG_KEY:-}" ]; then
    gpg --batch --yes --local-user "$TOLVANA_GPG_KEY" --armor --detach-sign \
        --output "$DIST/SHA256SUMS.asc" "$DIST/SHA256SUMS"
fi
log "release in $DIST:"
(cd "$DIST" && ls -l)
