#!/usr/bin/env bash
# Builds the current commit twice, in two folders of different names and
# depths and some seconds apart, and checks that the two builds are the same
# to the bit. Any difference is shown with diffoscope.
#
#   bash scripts/check-reproducible.sh                  everything
#   bash scripts/check-reproducible.sh web deb cipher   only those
#
# What can be checked:
#   web      tolvana.html
#   deb      the Debian package (with the web page)
#   cipher   tolvana-cipher.exe alone (the Windows build without Qt)
#   windows  tolvana.exe, tolvana-cipher.exe, the installer and the relink
#            kit (needs the static Qt that scripts/build-windows.sh makes)
#
# CI checks everything (.ci/run): 487 s for both builds on a machine busy
# with other builds, of which the Windows part is about 3 minutes once the
# static Qt is made. Where time is short, `web deb cipher` needs no Qt.
#
# The builds are of the commit (git HEAD), not of changes not yet committed.
# TOLVANA_REPRO_DIR sets the work folder (default: a new one under /var/tmp,
# removed when everything matched); TOLVANA_REPRO_PAUSE the seconds between
# the two builds (default 5).
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD

parts=("$@")
[ ${#parts[@]} -gt 0 ] || parts=(web deb cipher windows)
for part in "${parts[@]}"; do
    case $part in
    web | deb | cipher | windows) ;;
    *) echo "check-reproducible: unknown part '$part' (web, deb, cipher, windows)" >&2; exit 2 ;;
    esac
done
has() { [[ " ${parts[*]} " == *" $1 "* ]]; }

log() { printf '[check-reproducible %s] %s\n' "$(date -u +%H:%M:%S)" "$*"; }

bash scripts/install-deps.sh git
commit=$(git rev-parse HEAD)
[ -z "$(git status --porcelain --untracked-files=no)" ] ||
    log "note: changes not committed are not part of the check"
export SOURCE_DATE_EPOCH
SOURCE_DATE_EPOCH=$(git log -1 --format=%ct "$commit")

work=${TOLVANA_REPRO_DIR:-$(mktemp -d /var/tmp/tolvana-repro.XXXXXX)}
mkdir -p "$work"
# The two source folders differ in name and depth, as two people's would.
sources=("$work/one/tolvana" "$work/two/deeper/elsewhere")

# build N: builds the parts asked for from source folder N into its out/.
build() {
    local src=${sources[$1]}
    local out=$src/out
    rm -rf "$src"
    mkdir -p "$(dirname "$src")"
    git clone -q --no-local --no-checkout "$ROOT" "$src"
    git -C "$src" checkout -q --detach "$commit"
    mkdir -p "$out"
    (
        cd "$src"
        export TOLVANA_WEB_BUILD=$src/build-web
        if has web || has deb || has windows; then
            bash scripts/build-web.sh
            cp build-web/tolvana.html "$out/"
        fi
        if has deb; then
            BUILD_DIR=$src/build-package TOLVANA_PACKAGE_INSTALL=0 \
                TOLVANA_WEB_PAGE=$src/build-web/tolvana.html bash scripts/package.sh
            cp build-package/tolvana_*.deb "$out/"
        fi
        if has windows; then
            TOLVANA_WIN_BUILD=$src/build-windows TOLVANA_WEB_PAGE=$src/build-web/tolvana.html \
                bash scripts/build-windows.sh installer
            cp build-windows/app/tolvana.exe build-windows/tools/tolvana-cipher.exe \
                build-windows/installer/tolvana-*-setup.exe build-windows/tolvana-*-relink-kit.tar.gz "$out/"
        elif has cipher; then
            TOLVANA_WIN_BUILD=$src/build-cipher bash scripts/build-windows.sh cipher
            cp build-cipher/tools/tolvana-cipher.exe "$out/"
        fi
    )
}

start=$(date +%s)
log "first build of $commit in ${sources[0]}"
build 0
pause=${TOLVANA_REPRO_PAUSE:-5}
log "pausing $pause s"
sleep "$pause"
log "second build in ${sources[1]}"
build 1

one=${sources[0]}/out
two=${sources[1]}/out
differ=0
for file in "$one"/*; do
    name=${file##*/}
    if [ ! -f "$two/$name" ]; then
        log "DIFFERS: $name is missing from the second build"; differ=1
    elif cmp -s "$file" "$two/$name"; then
        log "same: $name ($(sha256sum <"$file" | cut -c1-16))"
    else
        log "DIFFERS: $name"
        differ=1
        # diffoscope names what differs, down into archives and programs;
        # it is installed only when it has something to show.
        bash scripts/install-deps.sh diffoscope-minimal >&2
        diffoscope --text "$work/$name.diffoscope.txt" "$file" "$two/$name" >/dev/null 2>&1 || true
        head -n 60 "$work/$name.diffoscope.txt" >&2 || true
        log "the whole comparison: $work/$name.diffoscope.txt"
    fi
done
log "two builds took $(($(date +%s) - start)) s"
if ((differ)); then
    log "FAILED: the builds differ (both kept in $work)"
    exit 1
fi
[ -n "${TOLVANA_REPRO_DIR:-}" ] || rm -rf "$work"
log "the two builds are the same: ${parts[*]}"
