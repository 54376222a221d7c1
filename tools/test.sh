#!/usr/bin/env bash
# Installs what is missing, builds everything with AddressSanitizer and UndefinedBehaviorSanitizer
# and runs every test, then builds the test programs that start threads with ThreadSanitizer and
# runs them again. Prints the time of each stage.
set -euo pipefail
cd "$(dirname "$0")/.."

build=${BUILD_DIR:-build-test}
tsan_build=${TSAN_BUILD_DIR:-build-tsan}
jobs=${JOBS:-$(nproc)}

stage_start=$SECONDS
stage() {
    local now=$SECONDS
    echo "test.sh: stage '$1' took $((now - stage_start)) s"
    stage_start=$now
}

bash tools/install-deps.sh
stage install

cmake -S . -B "$build" -G Ninja \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DSTELLAGRIM_SANITIZE=ON -DSTELLAGRIM_WERROR=ON -DSTELLAGRIM_BENCH=ON
stage configure
cmake --build "$build" -j "$jobs"
stage build

ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1:strict_string_checks=1} \
UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1} \
    ctest --test-dir "$build" --output-on-failure -j "$jobs"
stage test

# ThreadSanitizer: only the programs whose code starts threads are made in this build.
cmake -S . -B "$tsan_build" -G Ninja \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DSTELLAGRIM_TSAN=ON -DSTELLAGRIM_WERROR=ON -DSTELLAGRIM_BENCH=OFF
cmake --build "$tsan_build" -j "$jobs"
stage "tsan build"
TSAN_OPTIONS=${TSAN_OPTIONS:-halt_on_error=1:second_deadlock_stack=1} \
    ctest --test-dir "$tsan_build" --output-on-failure -j "$jobs"
stage "tsan test"
