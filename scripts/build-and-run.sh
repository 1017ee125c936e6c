#!/bin/bash
# Sets up a fresh Debian 12 machine, builds Glimmerset and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=OFF
cmake --build build
exec build/glimmerset
