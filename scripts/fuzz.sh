#!/usr/bin/env bash
# Builds the fuzz targets with clang's libFuzzer in build-fuzz/ and runs one.
#   scripts/fuzz.sh TARGET SECONDS [OPTION...]
#                                    fuzz TARGET (xml, ini, registry, presets,
#                                    stream, skin, adverts, playlist) for
#                                    SECONDS, with any further libFuzzer
#                                    options (-fork=1 -ignore_crashes=1 to
#                                    go on past a crash), growing its
#                                    corpus in build-fuzz/corpus/TARGET (seeded
#                                    from tests/fuzz/corpus/TARGET); crashes are
#                                    written to build-fuzz/crashes/
#   scripts/fuzz.sh --regression     run every target once over its seed corpus
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${FUZZ_BUILD_DIR:-build-fuzz}
JOBS=${JOBS:-$(nproc)}

bash scripts/deps.sh
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSONVARA_FUZZ=ON \
    -DCMAKE_C_COMPILER=clang-16 -DCMAKE_CXX_COMPILER=clang++-16 >/dev/null
cmake --build "$BUILD_DIR" -j "$JOBS" --target fuzz_all

export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
if [ "${1:-}" = "--regression" ]; then
    exec ctest --test-dir "$BUILD_DIR" --output-on-failure -j "$JOBS"
fi
if [ $# -lt 2 ]; then
    echo "usage: scripts/fuzz.sh TARGET SECONDS [OPTION...] | --regression" >&2
    exit 2
fi
target=$1 seconds=$2
shift 2
corpus="$BUILD_DIR/corpus/$target"
mkdir -p "$corpus" "$BUILD_DIR/crashes"
exec "$BUILD_DIR/tests/fuzz/fuzz_$target" -max_total_time="$seconds" -print_final_stats=1 \
    -artifact_prefix="$BUILD_DIR/crashes/$target-" -timeout=10 -rss_limit_mb=2048 \
    "$@" "$corpus" "tests/fuzz/corpus/$target"
