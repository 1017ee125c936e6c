#!/bin/bash
# Sets up a fresh Debian 12 machine, builds Glimmerset with its tests and runs them all.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build-test -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=ON
cmake --build build-test
ctest --test-dir build-test --output-on-failure -j2
