#!/bin/bash
# Sets up a fresh Debian 12 machine, builds Glimmerset with its tests and runs them all,
# then again under AddressSanitizer and UndefinedBehaviorSanitizer, then a short fuzzing pass.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build-test -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=ON
cmake --build build-test -j2
ctest --test-dir build-test --output-on-failure -j2

cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=ON -DGLIMMERSET_SANITIZE=ON
cmake --build build-asan -j2
ASAN_OPTIONS=detect_leaks=1 ctest --test-dir build-asan --output-on-failure -j2

CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=ON -DGLIMMERSET_FUZZ=ON
cmake --build build-fuzz -j2 --target field_reader_fuzz glyph_file_fuzz template_text_fuzz glyph_import_fuzz intel_hex_fuzz avr_elf_fuzz wiring_fuzz cell_notation_fuzz
ctest --test-dir build-fuzz --output-on-failure -j2 -L fuzz
