#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, only those missing.
# Runs `apt-get update` only when something has to be installed; works as root or through sudo.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config git lld
    libsdl2-dev zlib1g-dev libpng-dev libjpeg62-turbo-dev libogg-dev libvorbis-dev
    libboost-dev libcurl4-openssl-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    clang libclang-rt-14-dev clang-tidy clang-format
    xvfb xauth libxtst6 openssl ccache
    libfreetype-dev fonts-dejavu-core
)

missing=()
for p in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
    [[ "$status" == "install ok installed" ]] || missing+=("$p")
done

if ((${#missing[@]} == 0)); then
    exit 0
fi

if [[ $(id -u) -eq 0 ]]; then
    sudo=()
elif command -v sudo >/dev/null 2>&1; then
    sudo=(sudo)
else
    echo "install-deps: missing packages (${missing[*]}) and no root or sudo to install them" >&2
    exit 1
fi

echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -q
"${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
