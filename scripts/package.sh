#!/usr/bin/env bash
# Builds the Debian package with CPack, installs it on this machine (as root,
# with apt-get, which brings in what it depends on) and checks what it
# installed: lintian finds no error or warning, the program starts from the
# desktop's menu entry, ".crp" files have their own type with Tolvana as their
# handler, and the desktop entry and the software centre's description pass
# their validators.
#
#   bash scripts/package.sh               # build, install, check
#   TOLVANA_PACKAGE_INSTALL=0 bash scripts/package.sh   # build only
#
# The package is BUILD_DIR/tolvana_<version>_<arch>.deb (BUILD_DIR defaults
# to build-package). TOLVANA_MAINTAINER sets the package's maintainer ("Name
# <address>"), TOLVANA_WEB_PAGE a tolvana.html to install with the program.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../tests/e2e/xsession.sh"
cd "$(dirname "$0")/.."
BUILD_DIR=${BUILD_DIR:-build-package}
# The commit's time stands for "now" in everything the build writes (GCC,
# rcc, CPack, makensis), so that the same commit builds into the same bytes.
if [ -z "${SOURCE_DATE_EPOCH:-}" ] && epoch=$(git log -1 --format=%ct 2>/dev/null); then
    export SOURCE_DATE_EPOCH=$epoch
fi

bash scripts/install-deps.sh @program dpkg-dev file
# The web page, installed in /usr/share/tolvana, unless TOLVANA_WEB_PAGE names one.
[ -n "${TOLVANA_WEB_PAGE:-}" ] || bash scripts/build-web.sh

cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTOLVANA_BUILD_GUI=ON \
    -DTOLVANA_BUILD_TESTS=OFF -DTOLVANA_BUILD_BENCHMARKS=OFF -DTOLVANA_BUILD_FUZZERS=OFF \
    -DTOLVANA_SANITIZE=OFF -DTOLVANA_WEB_PAGE="${TOLVANA_WEB_PAGE:-$PWD/build-web/tolvana.html}" \
    ${TOLVANA_MAINTAINER:+"-DTOLVANA_MAINTAINER=$TOLVANA_MAINTAINER"} >/dev/null
cmake --build "$BUILD_DIR"
rm -f "$BUILD_DIR"/tolvana_*.deb
(cd "$BUILD_DIR" && cpack -G DEB >cpack.log 2>&1) || { cat "$BUILD_DIR/cpack.log" >&2; exit 1; }
deb=$(realpath "$BUILD_DIR"/tolvana_*.deb)
echo "package: $deb"
[ "${TOLVANA_PACKAGE_INSTALL:-1}" = 1 ] || exit 0

# --- Check ---------------------------------------------------------------------
bash scripts/install-deps.sh desktop-file-utils appstream xdg-utils libfile-mimeinfo-perl \
    shared-mime-info xvfb xdotool lintian

failures=0
fail() { echo "package: FAILED: $*" >&2; failures=$((failures + 1)); }
pass() { echo "package: ok: $*"; }

work=$(mktemp -d)
xvfb_pid=
program_pid=
cleanup() {
    [ -n "$program_pid" ] && kill "$program_pid" 2>/dev/null || true
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

# Debian's own checker: any error or warning fails. A tag that has to stay
# goes, with its reason, into desktop/debian/lintian-overrides, which the
# package then carries; today there is none.
if lintian --fail-on error,warning --no-tag-display-limit "$deb" >"$work/lintian.log" 2>&1; then
    pass "lintian: no error or warning"
else
    grep -v '^running with root privileges' "$work/lintian.log" >&2; fail "lintian"
fi

# What `cmake --install` puts where, as the package has it.
cmake --install "$BUILD_DIR" --prefix "$work/stage" >/dev/null
(cd "$work/stage" && find . -type f | sort) >"$work/staged"
dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $6 }' | sed 's|^\./usr|.|' | sort >"$work/packaged"
if cmp -s "$work/staged" "$work/packaged"; then
    pass "cmake --install installs what the package holds ($(wc -l <"$work/staged") files)"
else
    fail "cmake --install and the package differ:"; diff "$work/staged" "$work/packaged" >&2 || true
fi

depends=$(dpkg-deb -f "$deb" Depends)
for lib in libqt6core6 libqt6gui6 libqt6widgets6 qt6-qpa-plugins; do
    [[ $depends == *"$lib"* ]] || fail "Depends lacks $lib: $depends"
done
pass "Depends: $depends"

export DEBIAN_FRONTEND=noninteractive
apt-get install -y -qq --reinstall "$deb" >"$work/apt.log" 2>&1 ||
    { cat "$work/apt.log" >&2; echo "package: apt-get install failed" >&2; exit 1; }
pass "installed with apt-get"

app=se.tolvana.Tolvana
for file in /usr/bin/tolvana /usr/bin/tolvana-cipher /usr/share/applications/$app.desktop \
    /usr/share/metainfo/$app.metainfo.xml /usr/share/mime/packages/$app.xml \
    /usr/share/icons/hicolor/scalable/apps/$app.svg /usr/share/doc/tolvana/copyright \
    /usr/share/doc/tolvana/changelog.gz /usr/share/man/man1/tolvana.1.gz \
    /usr/share/man/man1/tolvana-cipher.1.gz /usr/share/tolvana/tolvana.html; do
    [ -f "$file" ] || fail "missing $file"
done
for size in 16 24 32 48 64 128 256; do
    png=/usr/share/icons/hicolor/${size}x${size}/apps/$app.png
    file "$png" 2>/dev/null | grep -q "PNG image data, $size x $size" || fail "no $size x $size icon $png"
done
pass "program, desktop entry, metainfo, MIME type, icons, manual pages and copyright in place"

desktop-file-validate /usr/share/applications/$app.desktop && pass "desktop-file-validate" ||
    fail "desktop-file-validate"
appstreamcli validate --no-net /usr/share/metainfo/$app.metainfo.xml >"$work/appstream.log" 2>&1 &&
    pass "appstreamcli validate" || { cat "$work/appstream.log" >&2; fail "appstreamcli validate"; }

# A user of its own, on no particular desktop: only the installed files count.
mkdir -p "$work/home" "$work/runtime"
chmod 700 "$work/runtime"
export HOME="$work/home" XDG_RUNTIME_DIR="$work/runtime"
export XDG_DATA_HOME="$work/home/.local/share" XDG_CONFIG_HOME="$work/home/.config"
unset XDG_CURRENT_DESKTOP DESKTOP_SESSION XDG_DATA_DIRS XDG_CONFIG_DIRS KDE_FULL_SESSION \
    GNOME_DESKTOP_SESSION_ID QT_QPA_PLATFORMTHEME

handler=$(xdg-mime query default application/x-tolvana-crp || true)
[ "$handler" = "$app.desktop" ] && pass "xdg-mime query default: $handler" ||
    fail "xdg-mime query default application/x-tolvana-crp gives \"$handler\""

# A cipher file of the text "Hej", as the program saves it.
crp="$work/Hej.crp"
printf '"\n115.5\n159\n166.5"\r\n' >"$crp"
type=$(xdg-mime query filetype "$crp" || true)
[ "$type" = application/x-tolvana-crp ] && pass "xdg-mime query filetype: $type" ||
    fail "xdg-mime query filetype $crp gives \"$type\""

version=$(/usr/bin/tolvana --version 2>&1 || true)
[ "$version" = "tolvana 1.0.0" ] && pass "tolvana --version: $version" ||
    fail "tolvana --version gives \"$version\""

clear=$(printf 'Hej då' | /usr/bin/tolvana-cipher kryptera -d , | /usr/bin/tolvana-cipher dekryptera)
[ "$clear" = "Hej då" ] && pass "tolvana-cipher kryptera | tolvana-cipher dekryptera" ||
    fail "tolvana-cipher round trip gives \"$clear\""

# The installed program in an X window, given the cipher file as a desktop's
# file manager gives it.
start_xvfb || fail "Xvfb did not start"
export QT_QPA_PLATFORM=xcb
/usr/bin/tolvana "$crp" >"$work/program.log" 2>&1 &
program_pid=$!
if find_window Olmira 20 >/dev/null; then
    pass "the installed program shows its window \"Olmira\""
else
    fail "the installed program showed no window \"Olmira\""; cat "$work/program.log" >&2
fi

if ((failures)); then
    echo "package: $failures check(s) failed" >&2
    exit 1
fi
echo "package: all checks passed"
