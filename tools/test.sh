#!/usr/bin/env bash
# Installs what is missing, builds everything with the sanitizers, and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."

bash tools/install-deps.sh

build=${BUILD_DIR:-build-test}
jobs=${JOBS:-$(nproc)}
cmake -S . -B "$build" -G Ninja \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DSTELLAGRIM_SANITIZE=ON -DSTELLAGRIM_WERROR=ON -DSTELLAGRIM_BENCH=ON
cmake --build "$build" -j "$jobs"

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1:strict_string_checks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export SDL_VIDEODRIVER=${SDL_VIDEODRIVER:-dummy}
export SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy}
ctest --test-dir "$build" --output-on-failure -j "$jobs"
