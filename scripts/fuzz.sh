#!/usr/bin/env bash
# Builds the libFuzzer targets with clang, AddressSanitizer and
# UndefinedBehaviorSanitizer (the libraries under test too) and runs each for a
# bounded time. Exits non-zero when any target finds a crash or a broken
# property; the input that caused it is kept in BUILD_DIR/artifacts.
#
#   scripts/fuzz.sh                       # about 12 seconds per target
#   scripts/fuzz.sh 600                   # 10 minutes per target
#   scripts/fuzz.sh 600 fuzz_dekryptera   # one target only
#   FUZZ_RUNS=100000 scripts/fuzz.sh      # a number of runs instead of a time
#
# Variables: FUZZ_SECONDS (per target, default 12; the first argument wins),
# FUZZ_RUNS, FUZZ_TIMEOUT (the wall-clock seconds one input may take before it
# counts as a hang, default 10; raise it for a long run at a low priority
# beside other work, where a starved process can wait longer than that for
# the processor), FUZZ_MAX_LEN (the longest input tried, libFuzzer's own choice
# unless set; shorter inputs run faster, and 256 bytes already give cipher
# texts of many 64-byte blocks), BUILD_DIR (default build-fuzz), JOBS (build
# jobs).
#
# Every run starts from a fresh copy of fuzz/corpus/<target>, so the
# repository's corpus stays as it is; what a run found stays in
# BUILD_DIR/corpus/<target>. To add a useful new input to the repository,
# minimise it first (<target> -minimize_crash=1 or -merge=1) and copy it in.
set -euo pipefail
export LC_ALL=C

cd "$(dirname "${BASH_SOURCE[0]}")/.."
FUZZ_SECONDS=${1:-${FUZZ_SECONDS:-12}}
shift $(($# > 0 ? 1 : 0))
FUZZ_RUNS=${FUZZ_RUNS:-}
FUZZ_TIMEOUT=${FUZZ_TIMEOUT:-10}
FUZZ_MAX_LEN=${FUZZ_MAX_LEN:-}
BUILD_DIR=${BUILD_DIR:-build-fuzz}
JOBS=${JOBS:-$(nproc)}
all_targets=(fuzz_dekryptera fuzz_roundtrip fuzz_kernels fuzz_readfield fuzz_textfile)
targets=("$@")
named=$((${#targets[@]} > 0))
((named)) || targets=("${all_targets[@]}")

# llvm-14 brings llvm-symbolizer, for stack traces with file and line.
bash scripts/install-deps.sh cmake ninja-build clang libclang-rt-14-dev llvm-14

# The fuzzers need clang; prefer Debian's versioned one when it is there.
cxx=clang++
command -v clang++-14 >/dev/null && cxx=clang++-14
mkdir -p "$BUILD_DIR"
flags="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_COMPILER="$cxx" -DCMAKE_CXX_FLAGS="$flags" \
    -DTOLVANA_BUILD_FUZZERS=ON -DTOLVANA_BUILD_GUI=OFF -DTOLVANA_BUILD_TESTS=OFF \
    -DTOLVANA_BUILD_BENCHMARKS=OFF -DTOLVANA_SANITIZE=OFF >"$BUILD_DIR/configure.log" 2>&1 ||
    { cat "$BUILD_DIR/configure.log" >&2; exit 1; }
grep -E 'fuzz_readfield|Warning' "$BUILD_DIR/configure.log" || true
cmake --build "$BUILD_DIR" -j "$JOBS"

symbolizer=$(command -v llvm-symbolizer-14 || command -v llvm-symbolizer || true)
[[ -n $symbolizer ]] && export ASAN_SYMBOLIZER_PATH=$symbolizer
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:print_stacktrace=1:strict_string_checks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}

if [[ -n $FUZZ_RUNS ]]; then
    bound=(-runs="$FUZZ_RUNS")
    echo "fuzz: $FUZZ_RUNS runs per target"
else
    bound=(-max_total_time="$FUZZ_SECONDS")
    echo "fuzz: $FUZZ_SECONDS seconds per target"
fi
[[ -n $FUZZ_MAX_LEN ]] && bound+=(-max_len="$FUZZ_MAX_LEN")

failed=()
for target in "${targets[@]}"; do
    binary="$BUILD_DIR/fuzz/$target"
    if [[ ! -x $binary ]]; then
        # fuzz/CMakeLists.txt leaves out fuzz_readfield while the storage
        # library is only a placeholder; a target named here must exist.
        echo "fuzz: $target was not built; see the configure messages" >&2
        ((named)) && failed+=("$target (not built)")
        continue
    fi
    corpus="$BUILD_DIR/corpus/$target"
    artifacts="$BUILD_DIR/artifacts/$target"
    rm -rf "$corpus"
    mkdir -p "$corpus" "$artifacts"
    [[ -d fuzz/corpus/$target ]] && cp -R "fuzz/corpus/$target/." "$corpus/"
    dict=()
    [[ -f fuzz/$target.dict ]] && dict=(-dict="fuzz/$target.dict")

    echo "=== $target"
    started=$(date +%s)
    log="$BUILD_DIR/$target.log"
    # -timeout: one input taking this long counts as a failure (a hang).
    if "$binary" "${bound[@]}" "${dict[@]}" -timeout="$FUZZ_TIMEOUT" -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix="$artifacts/" "$corpus" >"$log" 2>&1; then
        grep -E '^(Done|stat::number_of_executed_units|stat::peak_rss_mb)|^#[0-9]+.*DONE' "$log" || true
        echo "time: $(($(date +%s) - started)) s"
    else
        echo "fuzz: $target FAILED; from $log:" >&2
        first=$(grep -n -m1 -E 'ERROR: |property broken|runtime error|deadly signal|timeout|out-of-memory' \
            "$log" | cut -d: -f1 || true)
        first=${first:-1}
        sed -n "${first},$((first + 40))p" "$log" >&2
        grep -E '^SUMMARY|Test unit written' "$log" >&2 || true
        failed+=("$target")
    fi
done

if ((${#failed[@]})); then
    echo "fuzz: failed: ${failed[*]}" >&2
    exit 1
fi
echo "fuzz: all targets ran clean"
