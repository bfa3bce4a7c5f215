#!/usr/bin/env bash
# Installs what is missing, checks the sources' formatting, builds everything with -j2 and runs
# every test: the release build with the user interface, then the core and its tests under
# AddressSanitizer + UBSan, then the fuzz smoke runs when the fuzz targets exist.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$(pwd)

scripts/setup.sh

# Every source follows .clang-format.
find src cli tests fuzz bench \( -name '*.cpp' -o -name '*.h' \) -print0 |
  xargs -0 clang-format --dry-run --Werror

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j2
(cd build && ctest --output-on-failure -j2)

cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVORLINO_SANITIZE=ON \
  -DVORLINO_BUILD_UI=OFF -DVORLINO_BUILD_BENCH=OFF -DCMAKE_CXX_FLAGS="-O1" >/dev/null
cmake --build build-asan -j2
(cd build-asan && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --output-on-failure -j2 -R '^[A-Z]')

if [ -x scripts/fuzz.sh ]; then
  scripts/fuzz.sh 20
fi
echo "All tests passed."
