#!/usr/bin/env bash
# The relink kit on its own, as a user gets it: unpacked in an empty folder,
# with nothing of the build around it, relink.sh links tolvana.exe and
# tolvana-cipher.exe against the static Qt it is given; linked against the
# build's own Qt they are the same to the bit as the build's programs, and
# they run under Wine.
#
#   relink_kit_test.sh KIT.tar.gz QT_PREFIX TOLVANA.EXE TOLVANA-CIPHER.EXE WINE-RUN
set -euo pipefail
kit=$(realpath "$1") qt=$2 program=$3 cipher=$4 wine_run=$5
build=$(dirname "$kit")

failures=0
fail() { echo "relink kit: FAILED: $*" >&2; failures=$((failures + 1)); }
pass() { echo "relink kit: ok: $*"; }

[ -f "$kit" ] || { echo "relink kit: no kit $kit (scripts/build-windows.sh makes it)" >&2; exit 1; }
work=$(mktemp -d /tmp/tolvana-relink.XXXXXX)
trap 'rm -rf "$work"' EXIT
tar -xzf "$kit" -C "$work"
top=$(find "$work" -mindepth 1 -maxdepth 1 -type d)
[ -n "$top" ] && [ -f "$top/relink.sh" ] || { echo "relink kit: no relink.sh in the kit" >&2; exit 1; }
for file in README.txt QT.txt mingw-w64-x86_64.cmake; do
    [ -s "$top/$file" ] || fail "the kit has no $file"
done
grep -q '^Qt version: [0-9]' "$top/QT.txt" || fail "QT.txt names no Qt version"
grep -qE '^  [0-9a-f]{64}  qt6-base_.*\.orig\.tar\.' "$top/QT.txt" || fail "QT.txt has no hash of Qt's sources"
grep -q -- '-static' "$top/QT.txt" || fail "QT.txt has no configure options"
if grep -rqF "$build" "$top/relink.sh"; then
    fail "relink.sh names the build folder $build"
fi

# A clean environment: only the compiler on PATH and the kit's own folder.
if env -i PATH=/usr/bin:/bin HOME="$work" sh "$top/relink.sh" "$qt" "$work/out" >"$work/relink.log" 2>&1; then
    pass "relink.sh linked both programs"
else
    cat "$work/relink.log" >&2
    echo "relink kit: FAILED: relink.sh" >&2
    exit 1
fi
for pair in "tolvana.exe:$program" "tolvana-cipher.exe:$cipher"; do
    name=${pair%%:*} original=${pair#*:}
    if cmp -s "$work/out/$name" "$original"; then
        pass "the relinked $name is the build's to the bit"
    else
        fail "the relinked $name differs from the build's"
    fi
done

# Wine's server lingers after the programs: started here with nothing of the
# test's output, it keeps no pipe of the test open (or of ctest's).
"$wine_run" cmd /c exit </dev/null >/dev/null 2>&1 || true
clear=$(printf 'Hej' | "$wine_run" "$work/out/tolvana-cipher.exe" kryptera -d , |
    "$wine_run" "$work/out/tolvana-cipher.exe" dekryptera) || true
[ "$clear" = "Hej" ] && pass "the relinked tolvana-cipher.exe runs under Wine" ||
    fail "the relinked tolvana-cipher.exe gives \"$clear\""
version=$("$wine_run" "$work/out/tolvana.exe" --version 2>&1) || true
[[ $version == "tolvana "[0-9]* ]] && pass "the relinked tolvana.exe runs under Wine: $version" ||
    fail "the relinked tolvana.exe --version gives \"$version\""

if ((failures)); then
    echo "relink kit: $failures check(s) failed" >&2
    exit 1
fi
