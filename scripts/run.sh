#!/usr/bin/env bash
# Installs what is missing, builds the program (Release, -j2) and starts it on the sample photo,
# with the masks in the "Masques" folder beside it. Extra arguments replace the sample photo.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j2 --target vorlino

if [ $# -gt 0 ]; then
  exec build/vorlino "$@"
fi
exec build/vorlino "$(pwd)/samples/coffee.png"
