#!/usr/bin/env bash
# Builds the Windows program: one self-contained build-windows/app/tolvana.exe,
# the cipher tool build-windows/tools/tolvana-cipher.exe, their tests and the
# installer build-windows/installer/tolvana-<version>-setup.exe.
#
# As root on Debian 12 it installs what is missing (MinGW-w64, Wine, ...),
# builds a static Qt for Windows from Debian's own qt6-base source package
# once, and keeps it under /var/cache/tolvana (keyed on the Qt version, its
# configure options and the toolchain file), so later runs skip that step.
#
#   bash scripts/build-windows.sh            Qt if needed, then all of the above
#   bash scripts/build-windows.sh installer  Qt if needed, the programs and the
#                                            installer, no tests
#   bash scripts/build-windows.sh qt         only the Qt step
#   bash scripts/build-windows.sh cipher     only tolvana-cipher.exe, which
#                                            needs no Qt
#
# TOLVANA_QT_CACHE sets another cache folder; TOLVANA_WIN_BUILD another build folder.
# TOLVANA_SIGN=1 signs the programs, the uninstaller and the installer
# (scripts/sign-windows.sh, scripts/release.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD

STAGE=${1:-all}
QT_VERSION=6.4.2
TOOLCHAIN=$ROOT/cmake/mingw-w64-x86_64.cmake
CACHE=${TOLVANA_QT_CACHE:-/var/cache/tolvana}
BUILD=${TOLVANA_WIN_BUILD:-$ROOT/build-windows}
# The commit's time stands for "now" in everything the build writes (GCC,
# rcc, CPack, makensis), so that the same commit builds into the same bytes.
if [ -z "${SOURCE_DATE_EPOCH:-}" ] && epoch=$(git log -1 --format=%ct 2>/dev/null); then
    export SOURCE_DATE_EPOCH=$epoch
fi

QT_CONFIGURE=(
    -xplatform win32-g++ -qt-host-path /usr
    -static -static-runtime -release
    -nomake tests -nomake examples
    -no-dbus -no-opengl -no-icu
    -qt-zlib -qt-pcre -qt-libpng -qt-libjpeg -qt-freetype -qt-harfbuzz
    -no-feature-sql -no-feature-network -no-feature-xml -no-feature-printsupport
    -no-feature-vulkan
    # Debian's source package leaves out the tablet headers.
    -no-feature-tabletevent
)
KEY=$( { printf '%s\n' "$QT_VERSION" "${QT_CONFIGURE[@]}"; cat "$TOOLCHAIN"; } | sha256sum | cut -c1-10)
QT_PREFIX=$CACHE/qt-$QT_VERSION-$KEY

log() { printf '[build-windows %s] %s\n' "$(date -u +%H:%M:%S)" "$*"; }

install_deps() {
    bash scripts/install-deps.sh @program perl dpkg-dev qt6-base-dev-tools googletest \
        g++-mingw-w64-x86-64-posix mingw-w64-tools binutils-mingw-w64-x86-64 \
        icoutils nsis python3-pefile wine64 wine xvfb x11-xkb-utils xdotool
}

# apt-get source needs a deb-src entry; add one for the mirror already in use.
ensure_deb_src() {
    if grep -rqsE '^(deb-src|Types:.*deb-src)' /etc/apt/sources.list /etc/apt/sources.list.d/; then
        return 0
    fi
    local uri key
    uri=$(grep -rhsE '^URIs:' /etc/apt/sources.list.d/*.sources 2>/dev/null |
        awk '{print $2}' | grep -v security | head -n1)
    [ -n "$uri" ] || uri=$(grep -hsE '^deb ' /etc/apt/sources.list | awk '{print $2}' | head -n1)
    [ -n "$uri" ] || uri=http://deb.debian.org/debian
    # The entry must name the same keyring as the entry already there, or apt
    # refuses both.
    key=$(grep -rhsE '^Signed-By:' /etc/apt/sources.list.d/*.sources 2>/dev/null |
        awk '{print $2}' | head -n1)
    [ -n "$key" ] || key=/usr/share/keyrings/debian-archive-keyring.gpg
    log "adding deb-src $uri bookworm main"
    printf 'Types: deb-src\nURIs: %s\nSuites: bookworm\nComponents: main\nSigned-By: %s\n' \
        "$uri" "$key" >/etc/apt/sources.list.d/tolvana-deb-src.sources
    apt-get -o DPkg::Lock::Timeout=900 update -qq
}

build_qt() {
    if [ -f "$QT_PREFIX/.complete" ]; then
        log "static Qt found in $QT_PREFIX"
        return 0
    fi
    ensure_deb_src
    local work=$CACHE/work-$KEY
    rm -rf "$work"
    mkdir -p "$work"
    log "fetching the qt6-base source package"
    (cd "$work" && apt-get source -qq qt6-base >/dev/null)
    local src
    src=$(find "$work" -maxdepth 1 -type d -name 'qt6-base-*' | head -n1)
    grep -q "$QT_VERSION" <<<"$src" || { echo "unexpected Qt source: $src" >&2; exit 1; }
    mkdir -p "$work/build"
    log "configuring Qt into $QT_PREFIX"
    (cd "$work/build" && "$src/configure" -prefix "$QT_PREFIX" "${QT_CONFIGURE[@]}" -- \
        -G Ninja -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" \
        -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake) >"$work/configure.log" 2>&1 ||
        { tail -n 40 "$work/configure.log" >&2; exit 1; }
    log "building Qt (about 30 minutes on 2 cores)"
    nice -n 15 cmake --build "$work/build" --parallel 2
    cmake --install "$work/build" >/dev/null
    # What the Qt was built from, for the relink kit.
    (cd "$work" && sha256sum -- *.dsc *.tar.*) >"$QT_PREFIX/tolvana-qt-source.txt"
    touch "$QT_PREFIX/.complete"
    rm -rf "$work"
    log "static Qt installed in $QT_PREFIX"
}

build_app() {
    log "building tolvana.exe in $BUILD"
    # -O2 as in the Linux build: at -O3 GCC 12 warns wrongly (-Wrestrict) about
    # joining strings.
    cmake -S "$ROOT" -B "$BUILD" -G Ninja \
        -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" \
        -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" \
        -DCMAKE_FIND_ROOT_PATH="$QT_PREFIX" \
        -DCMAKE_PREFIX_PATH="$QT_PREFIX" \
        -DQT_HOST_PATH=/usr \
        -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
        -DTOLVANA_BUILD_BENCHMARKS=OFF \
        -DTOLVANA_BUILD_FUZZERS=OFF \
        -DTOLVANA_GTEST_SOURCE=/usr/src/googletest \
        -DTOLVANA_SIGN="$([ -n "${TOLVANA_SIGN:-}" ] && echo ON || echo OFF)" \
        -DTOLVANA_WEB_PAGE="${TOLVANA_WEB_PAGE:-$ROOT/build-web/tolvana.html}" >/dev/null
    # A signing build signs afresh: the key may not be the one that signed
    # before, which the build cannot see.
    if [ -n "${TOLVANA_SIGN:-}" ]; then
        rm -rf "$BUILD/installer/signed" "$BUILD"/installer/tolvana-*-setup.exe
    fi
    # Test discovery runs each test program under Wine: make the build's Wine
    # prefix and start a lasting wineserver first, or the first runs time out.
    "$BUILD/wine-run.sh" cmd /c exit >/dev/null 2>&1 || true
    if [ "$STAGE" = installer ]; then
        nice -n 10 cmake --build "$BUILD" --parallel 2 --target installer
    else
        nice -n 10 cmake --build "$BUILD" --parallel 2 --target all installer
    fi
    # No Wine process outlives the build.
    WINEPREFIX="$BUILD/wineprefix" /usr/lib/wine/wineserver -k 2>/dev/null || true
    check_imports "$BUILD/app/tolvana.exe"
    check_imports "$BUILD/tools/tolvana-cipher.exe"
    make_relink_kit
    log "done: $BUILD/app/tolvana.exe, $BUILD/tools/tolvana-cipher.exe and" \
        "$(ls "$BUILD"/installer/tolvana-*-setup.exe)"
}

# Which Qt the programs carry: its version, the source package it was built
# from with the SHA-256 of its files, its configure options and the compiler.
qt_info() {
    echo "Qt version: $QT_VERSION"
    echo
    echo "Built from Debian 12's source package qt6-base (apt-get source qt6-base);"
    echo "the SHA-256 of its files:"
    if [ -f "$QT_PREFIX/tolvana-qt-source.txt" ]; then
        sed 's/^/  /' "$QT_PREFIX/tolvana-qt-source.txt"
    else
        # A Qt built before its sources were recorded: the archive's hashes
        # of the same package.
        apt-get source --print-uris -qq "qt6-base=$(dpkg-query -W -f '${Version}' qt6-base-dev)" |
            awk '{ sub(/^SHA256:/, "", $4); print "  " $4 "  " $2 }'
    fi
    echo
    echo "Configured in an empty folder with (SOURCES: the unpacked package):"
    echo "  SOURCES/configure -prefix PREFIX ${QT_CONFIGURE[*]} -- -G Ninja"
    echo "    -DCMAKE_TOOLCHAIN_FILE=mingw-w64-x86_64.cmake"
    echo "    -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake"
    echo "then built and installed with cmake --build . && cmake --install ."
    echo "(the host tools: Debian's qt6-base-dev-tools of the same version)"
    echo
    echo "Compiler: $(x86_64-w64-mingw32-g++-posix --version | head -n1)"
    echo "MinGW-w64: $(dpkg-query -W -f '${Version}' mingw-w64-x86-64-dev)"
}

# The relink kit, BUILD/tolvana-<version>-relink-kit.tar.gz: the programs'
# own objects and a script that links them again with another Qt.
make_relink_kit() {
    local version kit
    version=$(sed -n 's/^project(Tolvana VERSION \([0-9.]*\).*/\1/p' "$ROOT/CMakeLists.txt")
    kit=$BUILD/tolvana-$version-relink-kit.tar.gz
    qt_info >"$BUILD/qt-info.txt"
    python3 "$ROOT/scripts/relink-kit.py" "$BUILD" "$QT_PREFIX" "$BUILD/qt-info.txt" \
        "$TOOLCHAIN" "$kit"
    log "relink kit: $kit"
}

# The program must start on a bare Windows: it may import only DLLs that come
# with Windows itself.
check_imports() {
    local dlls bad
    dlls=$(x86_64-w64-mingw32-objdump -p "$1" | awk '/DLL Name:/ {print tolower($3)}' | sort -u)
    bad=$(grep -vE '^(kernel32|user32|gdi32|advapi32|shell32|ole32|oleaut32|comdlg32|uuid|winmm|imm32|ws2_32|uxtheme|dwmapi|version|netapi32|userenv|shlwapi|setupapi|wtsapi32|d3d9|d3d11|d2d1|dwrite|dxgi|authz|mpr|rpcrt4|msvcrt|ucrtbase|ntdll|bcrypt|crypt32|secur32|comctl32|iphlpapi|shcore|wtsapi32|api-ms-win-.*)\.dll$' <<<"$dlls" || true)
    if [ -n "$bad" ]; then
        echo "${1##*/} needs DLLs that Windows does not have: $bad" >&2
        exit 1
    fi
    log "${1##*/} imports only system DLLs: $(tr '\n' ' ' <<<"$dlls")"
}

# tolvana-cipher.exe alone: plain C++, no Qt, no tests.
build_cipher() {
    log "building tolvana-cipher.exe in $BUILD"
    cmake -S "$ROOT" -B "$BUILD" -G Ninja \
        -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" \
        -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" \
        -DTOLVANA_BUILD_GUI=OFF -DTOLVANA_BUILD_TESTS=OFF \
        -DTOLVANA_BUILD_BENCHMARKS=OFF -DTOLVANA_BUILD_FUZZERS=OFF >/dev/null
    nice -n 10 cmake --build "$BUILD" --parallel 2 --target tolvana-cipher
    check_imports "$BUILD/tools/tolvana-cipher.exe"
}

install_deps
if [ "$STAGE" = cipher ]; then
    build_cipher
    exit 0
fi
build_qt
[ "$STAGE" = qt ] && exit 0
bash scripts/build-web.sh # the web page, put beside tolvana.exe
build_app
