#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine, builds everything with AddressSanitizer
# and UndefinedBehaviorSanitizer in build/, and runs the whole test suite;
# then builds the fuzz targets (clang, build-fuzz/) and runs each once over
# its seed corpus, and runs the audio engine's tests (transport stress and
# device loss among them), its real-time allocation and lock check, and the
# message bus stress under ThreadSanitizer (build-tsan/).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/deps.sh

BUILD_DIR=${BUILD_DIR:-build}
JOBS=${JOBS:-$(nproc)}

cmake -S . -B "$BUILD_DIR" -G Ninja \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DSONVARA_SANITIZE=ON
cmake --build "$BUILD_DIR" -j "$JOBS"

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "$BUILD_DIR" --output-on-failure -j "$JOBS" --timeout 600

bash scripts/fuzz.sh --regression

TSAN_DIR=${TSAN_BUILD_DIR:-build-tsan}
cmake -S . -B "$TSAN_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DSONVARA_SANITIZE_THREAD=ON -DSONVARA_BUILD_BENCH=OFF
cmake --build "$TSAN_DIR" -j "$JOBS" --target audio_tests audio_allocation_tests modules_core_tests
export TSAN_OPTIONS=${TSAN_OPTIONS:-halt_on_error=1} SONVARA_STRESS_OPERATIONS=10000
"$TSAN_DIR/tests/audio/audio_tests"
"$TSAN_DIR/tests/audio/audio_allocation_tests"
"$TSAN_DIR/tests/modules/modules_core_tests" --gtest_filter='BusStress*:MessageBus*'
