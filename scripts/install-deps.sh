#!/bin/bash
# Installs everything the build, the tests and the benchmarks need on Debian 12,
# and any further packages named as arguments.
set -euo pipefail
packages=(
    build-essential cmake ninja-build pkg-config
    qt6-base-dev libgl-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    clang libclang-rt-14-dev
    avra simavr libsimavr-dev libelf-dev libpng-dev zlib1g-dev
    gcc-avr avr-libc binutils-avr arduino-core-avr
    xvfb xauth help2man
    "$@"
)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
