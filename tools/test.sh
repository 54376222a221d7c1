#!/usr/bin/env bash
# Installs what is missing, builds everything with AddressSanitizer and UndefinedBehaviorSanitizer
# and runs every test, then builds the test programs that start threads with ThreadSanitizer and
# runs them again. Prints the time of each stage.
set -euo pipefail
cd "$(dirname "$0")/.."

build=${BUILD_DIR:-build-test}
tsan_build=${TSAN_BUILD_DIR:-build-tsan}
jobs=${JOBS:-$(nproc)}

# Wall time and the processor time of everything the stage ran (user + system, all cores).
cpu_ticks() {
    local -a fields
    read -r -a fields <<<"$(sed 's/^.*) //' /proc/$$/stat)"
    echo $((fields[11] + fields[12] + fields[13] + fields[14]))
}
tick=$(getconf CLK_TCK)
stage_start=$SECONDS
stage_cpu=$(cpu_ticks)
stage() {
    local now=$SECONDS cpu
    cpu=$(cpu_ticks)
    echo "test.sh: stage '$1' took $((now - stage_start)) s ($(((cpu - stage_cpu) / tick)) s of CPU)"
    stage_start=$now
    stage_cpu=$(cpu_ticks)
}

# The sanitizer builds are made for the tests: -O1 with line tables only compiles in about half
# the time of -O2 -g, and the sanitizers' reports still give file and line.
flags="-O1 -g1 -DNDEBUG"

bash tools/install-deps.sh
stage install

cmake -S . -B "$build" -G Ninja \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo "-DCMAKE_C_FLAGS_RELWITHDEBINFO=$flags" \
    "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=$flags" \
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
    -DCMAKE_BUILD_TYPE=RelWithDebInfo "-DCMAKE_C_FLAGS_RELWITHDEBINFO=$flags" \
    "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=$flags" \
    -DSTELLAGRIM_TSAN=ON -DSTELLAGRIM_WERROR=ON -DSTELLAGRIM_BENCH=OFF
cmake --build "$tsan_build" -j "$jobs"
stage "tsan build"
TSAN_OPTIONS=${TSAN_OPTIONS:-halt_on_error=1:second_deadlock_stack=1} \
    ctest --test-dir "$tsan_build" --output-on-failure -j "$jobs"
stage "tsan test"
