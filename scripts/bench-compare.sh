#!/usr/bin/env bash
# Measures Kryptera and Dekryptera against base64 and base64 -d on the same
# 16 MB of random bytes, and against a memcpy of the same output, and prints
# the rates side by side with their ratios. Each is measured twice: into
# fresh memory, as a program's first conversion, and into a string that keeps
# its room from run to run, as tolvana-cipher converts a file piece by piece.
#
#   scripts/bench-compare.sh
#
# Variables: BUILD_DIR (default build-release), SIZE (bytes of clear text,
# default 16777216), REPEAT (runs of each measurement, best one kept, default
# 5), JOBS (build jobs, default the number of processors).
#
# Rates are in MB/s with 1 MB = 1,000,000 bytes, on wall-clock time:
# Kryptera and base64 in output bytes per second, Dekryptera and base64 -d in
# input bytes per second. base64 is timed as a whole command (start, read
# the file from the page cache, write to /dev/null); the cipher is timed in
# memory by the benchmark program (bench/cipher_bench).
set -euo pipefail
export LC_ALL=C

cd "$(dirname "${BASH_SOURCE[0]}")/.."
BUILD_DIR=${BUILD_DIR:-build-release}
SIZE=${SIZE:-16777216}
REPEAT=${REPEAT:-5}
JOBS=${JOBS:-$(nproc)}

# --- What the build needs, installed when missing (as root) ------------------
bash scripts/install-deps.sh cmake ninja-build g++ libbenchmark-dev

# --- Build ------------------------------------------------------------------
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DTOLVANA_BUILD_GUI=OFF -DTOLVANA_BUILD_TESTS=OFF -DTOLVANA_BUILD_BENCHMARKS=ON \
    -DTOLVANA_BUILD_FUZZERS=OFF -DTOLVANA_SANITIZE=OFF >/dev/null
cmake --build "$BUILD_DIR" --target cipher_bench -j "$JOBS"
bench="$BUILD_DIR/bench/cipher_bench"
if [[ ! -x $bench ]]; then
    echo "bench-compare: $bench was not built (is libbenchmark-dev installed?)" >&2
    exit 1
fi

# --- The input ----------------------------------------------------------------
work="$BUILD_DIR/bench-compare"
mkdir -p "$work"
input="$work/input.bin"
head -c "$SIZE" /dev/urandom >"$input"
base64 "$input" >"$work/input.b64"

# --- base64 -------------------------------------------------------------------
# Best wall-clock time of REPEAT runs, in seconds.
best_time() {
    local best="" start end t
    for ((run = 0; run < REPEAT; ++run)); do
        start=$EPOCHREALTIME
        "$@" >/dev/null
        end=$EPOCHREALTIME
        t=$(awk -v s="$start" -v e="$end" 'BEGIN { printf "%.6f", e - s }')
        if [[ -z $best ]] || awk -v t="$t" -v b="$best" 'BEGIN { exit !(t < b) }'; then
            best=$t
        fi
    done
    echo "$best"
}
b64_bytes=$(stat -c %s "$work/input.b64")
b64_encode_time=$(best_time base64 "$input")
b64_decode_time=$(best_time base64 -d "$work/input.b64")

# --- The cipher ---------------------------------------------------------------
json="$work/cipher_bench.json"
TOLVANA_BENCH_INPUT="$input" "$bench" --benchmark_filter='^((Kryptera|Dekryptera)/(comma|point)|Memcpy/)' \
    --benchmark_repetitions="$REPEAT" --benchmark_format=json >"$json" 2>"$work/cipher_bench.err"

# Prints "name rate bytes" for every benchmark: its best rate over the
# repetitions and the cipher bytes it handled.
results=$(awk '
    /"name":/ { name = $2; gsub(/[",]/, "", name); sub(/\/real_time$/, "", name) }
    /"run_type":/ { iteration = ($2 ~ /iteration/) }
    /"cipher_bytes":/ { v = $2; gsub(/,/, "", v); bytes[name] = v }
    /"bytes_per_second":/ {
        v = $2; gsub(/,/, "", v)
        if (iteration && v + 0 > best[name] + 0) best[name] = v
    }
    END { for (n in best) print n, best[n], bytes[n] }
' "$json")
rate_of() { awk -v n="$1" '$1 == n { print $2 }' <<<"$results"; }
bytes_of() { awk -v n="$1" '$1 == n { print $3 }' <<<"$results"; }
for name in Kryptera/comma Kryptera/point Dekryptera/comma Dekryptera/point Memcpy/kryptera \
    Memcpy/dekryptera Kryptera/comma/reused Dekryptera/comma/reused Memcpy/kryptera/reused \
    Memcpy/dekryptera/reused; do
    if [[ -z $(rate_of "$name") ]]; then
        echo "bench-compare: no result for $name; see $json and $work/cipher_bench.err" >&2
        exit 1
    fi
done

# --- Report -------------------------------------------------------------------
awk -v size="$SIZE" -v repeat="$REPEAT" -v cpu="$(awk -F': *' '/model name/ { print $2; exit }' /proc/cpuinfo)" \
    -v b64_bytes="$b64_bytes" -v b64_enc_t="$b64_encode_time" -v b64_dec_t="$b64_decode_time" \
    -v kc="$(rate_of Kryptera/comma)" -v kp="$(rate_of Kryptera/point)" \
    -v dc="$(rate_of Dekryptera/comma)" -v dp="$(rate_of Dekryptera/point)" \
    -v kc_b="$(bytes_of Kryptera/comma)" -v kp_b="$(bytes_of Kryptera/point)" \
    -v dc_b="$(bytes_of Dekryptera/comma)" -v dp_b="$(bytes_of Dekryptera/point)" \
    -v mk="$(rate_of Memcpy/kryptera)" -v md="$(rate_of Memcpy/dekryptera)" \
    -v kr="$(rate_of Kryptera/comma/reused)" -v dr="$(rate_of Dekryptera/comma/reused)" \
    -v mkr="$(rate_of Memcpy/kryptera/reused)" -v mdr="$(rate_of Memcpy/dekryptera/reused)" '
function row(label, bytes, rate) {
    printf "  %-26s %12d bytes %9.1f ms %9.1f MB/s\n", label, bytes, bytes / rate * 1000, rate / 1e6
}
function verdict(ok) { return ok ? "met" : "MISSED" }
BEGIN {
    b64_enc = b64_bytes / b64_enc_t
    b64_dec = b64_bytes / b64_dec_t
    printf "Input: %d random bytes, best of %d runs each, on %s\n\n", size, repeat, cpu
    print "Encoding, rate in output bytes per second:"
    row("Kryptera, decimal comma", kc_b, kc)
    row("Kryptera, decimal point", kp_b, kp)
    row("Kryptera, into kept room", kc_b, kr)
    row("base64", b64_bytes, b64_enc)
    printf "  ratio Kryptera / base64: %.2f (comma), %.2f (point)\n\n", kc / b64_enc, kp / b64_enc
    print "Decoding, rate in input bytes per second:"
    row("Dekryptera, decimal comma", dc_b, dc)
    row("Dekryptera, decimal point", dp_b, dp)
    row("Dekryptera, into kept room", dc_b, dr)
    row("base64 -d", b64_bytes, b64_dec)
    printf "  ratio Dekryptera / base64 -d: %.2f (comma), %.2f (point)\n\n", dc / b64_dec, dp / b64_dec
    kmin = kc < kp ? kc : kp
    dmin = dc < dp ? dc : dp
    # Both memcpy rates are per byte of the cipher text that goes with the
    # output, so a ratio of rates is the ratio of times.
    print "Against memcpy of the same output into fresh memory:"
    printf "  Kryptera writes %d bytes in %.1f ms; memcpy of as many in %.1f ms: %.2f of the rate of memcpy\n", kc_b, kc_b / kmin * 1000, kc_b / mk * 1000, kmin / mk
    printf "  Dekryptera writes %d bytes in %.1f ms; memcpy of as many in %.1f ms: %.2f of the rate of memcpy\n\n", size, dc_b / dmin * 1000, dc_b / md * 1000, dmin / md
    print "Against memcpy of the same output into a string that keeps its room:"
    printf "  Kryptera: %.1f ms, memcpy %.1f ms: %.2f of the rate of memcpy\n", kc_b / kr * 1000, kc_b / mkr * 1000, kr / mkr
    printf "  Dekryptera: %.1f ms, memcpy %.1f ms: %.2f of the rate of memcpy\n\n", dc_b / dr * 1000, dc_b / mdr * 1000, dr / mdr
    print "Targets, on one thread, into kept room (into fresh memory beside):"
    printf "  Kryptera >= 4000 MB/s of cipher output:      %7.1f MB/s  %s  (%.1f MB/s)\n", kr / 1e6, verdict(kr >= 4e9), kmin / 1e6
    printf "  Dekryptera >= 4000 MB/s of cipher input:     %7.1f MB/s  %s  (%.1f MB/s)\n", dr / 1e6, verdict(dr >= 4e9), dmin / 1e6
}'
