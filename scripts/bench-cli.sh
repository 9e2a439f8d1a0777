#!/usr/bin/env bash
# Measures tolvana-cipher as a whole process (start, read the file, convert,
# write to /dev/null) against base64 and base64 -d on the same 16 MB of
# random bytes, all in one hyperfine run, and prints the rates side by side.
#
#   bash scripts/bench-cli.sh
#
# Variables: BUILD_DIR (default build-release), SIZE (bytes of clear text,
# default 16777216), RUNS (runs of each command, default 10).
#
# Rates are in MB/s (1 MB = 1,000,000 bytes) on hyperfine's mean wall-clock
# time, in cipher bytes: "kryptera" and base64 in bytes written,
# "dekryptera" and base64 -d in bytes read.
set -euo pipefail
export LC_ALL=C

cd "$(dirname "${BASH_SOURCE[0]}")/.."
BUILD_DIR=${BUILD_DIR:-build-release}
SIZE=${SIZE:-16777216}
RUNS=${RUNS:-10}

bash scripts/install-deps.sh cmake ninja-build g++ hyperfine

cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DTOLVANA_BUILD_GUI=OFF -DTOLVANA_BUILD_TESTS=OFF -DTOLVANA_BUILD_BENCHMARKS=ON \
    -DTOLVANA_BUILD_FUZZERS=OFF -DTOLVANA_SANITIZE=OFF >/dev/null
cmake --build "$BUILD_DIR" --target tolvana-cipher
tool=$(realpath "$BUILD_DIR/tools/tolvana-cipher")

work="$BUILD_DIR/bench-cli"
mkdir -p "$work"
input="$work/input.bin"
cipher="$work/input.cipher"
b64="$work/input.b64"
# Random bytes; the first one is a letter so that the file can never start
# with a UTF-16 byte-order mark.
{ printf 'T'; head -c $((SIZE - 1)) /dev/urandom; } >"$input"
"$tool" kryptera -d , "$input" >"$cipher"
base64 "$input" >"$b64"
# Every tool gets its own input back.
"$tool" dekryptera -k cp1252 "$cipher" | cmp -s - "$input" || { echo "round trip failed" >&2; exit 1; }

json="$work/hyperfine.json"
hyperfine --style basic --warmup 2 --runs "$RUNS" --export-json "$json" \
    -n 'tolvana-cipher kryptera' "$tool kryptera -d , $input" \
    -n 'base64' "base64 $input" \
    -n 'tolvana-cipher dekryptera' "$tool dekryptera $cipher" \
    -n 'tolvana-cipher dekryptera -k cp1252' "$tool dekryptera -k cp1252 $cipher" \
    -n 'base64 -d' "base64 -d $b64"

# "name mean stddev" for every command.
means=$(awk '
    /"command":/ { name = $0; sub(/.*"command": "/, "", name); sub(/",?$/, "", name) }
    /"mean":/ { v = $2; gsub(/,/, "", v); mean[name] = v }
    /"stddev":/ { v = $2; gsub(/,/, "", v); sd[name] = v; order[++n] = name }
    END { for (i = 1; i <= n; ++i) printf "%s\t%s\t%s\n", order[i], mean[order[i]], sd[order[i]] }
' "$json")
mean_of() { awk -F'\t' -v n="$1" '$1 == n { print $2 }' <<<"$means"; }

cipher_bytes=$(stat -c %s "$cipher")
b64_bytes=$(stat -c %s "$b64")
awk -v size="$SIZE" -v runs="$RUNS" -v cpu="$(awk -F': *' '/model name/ { print $2; exit }' /proc/cpuinfo)" \
    -v cb="$cipher_bytes" -v bb="$b64_bytes" \
    -v ke="$(mean_of 'tolvana-cipher kryptera')" -v be="$(mean_of base64)" \
    -v kd="$(mean_of 'tolvana-cipher dekryptera')" -v kd2="$(mean_of 'tolvana-cipher dekryptera -k cp1252')" \
    -v bd="$(mean_of 'base64 -d')" '
function row(label, bytes, t) { printf "| %-38s | %11d | %8.1f ms | %8.1f MB/s |\n", label, bytes, t * 1000, bytes / t / 1e6 }
function verdict(ok) { return ok ? "met" : "MISSED" }
BEGIN {
    printf "\nInput: %d random bytes, mean of %d runs each, on %s\n\n", size, runs, cpu
    print "| Command (whole process) | Cipher bytes | Time | Rate |"
    print "|---|---|---|---|"
    row("`tolvana-cipher kryptera` (written)", cb, ke)
    row("`base64` (written)", bb, be)
    row("`tolvana-cipher dekryptera` (read)", cb, kd)
    row("`tolvana-cipher dekryptera -k cp1252`", cb, kd2)
    row("`base64 -d` (read)", bb, bd)
    kr = cb / ke / (bb / be); dr = cb / kd / (bb / bd)
    printf "\nTargets, in cipher bytes per second:\n"
    printf "  kryptera at least 3 times as fast as base64:      %5.2f x  %s\n", kr, verdict(kr >= 3)
    printf "  dekryptera at least 3 times as fast as base64 -d: %5.2f x  %s\n", dr, verdict(dr >= 3)
}'
