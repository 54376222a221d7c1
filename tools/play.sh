#!/usr/bin/env bash
# Installs what is missing, builds the program without sanitizers and starts it on the
# repository's "assets/" folder. The engine makes the program's folder the current one, where it
# looks for "assets/", unless "-wd=" names another: here the repository root. The arguments are
# passed on to the program.
#
# Usage: tools/play.sh [program arguments]
#   $PLAY_BUILD_DIR: the build folder (default build-play). $JOBS: parallel jobs (default: nproc).
set -euo pipefail
cd "$(dirname "$0")/.."

build=${PLAY_BUILD_DIR:-build-play}
jobs=${JOBS:-$(nproc)}

bash tools/install-deps.sh
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSTELLAGRIM_BENCH=OFF \
    -DSTELLAGRIM_SANITIZE=OFF -DSTELLAGRIM_TSAN=OFF -DSTELLAGRIM_FUZZ=OFF >/dev/null
# The local hiscore server is loaded from the program's folder by its file name.
cmake --build "$build" -j "$jobs" --target marivell qzservlet_stub
exec "$build/marivell" "-wd=$PWD" "$@"
