#!/usr/bin/env bash
# Times the live preview on the real window with a 24-megapixel photo: from a digit typed into the
# opacity field to the repainted view, at the fitted zoom and at 100 %. Makes the photo once.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j2 --target vorlino_measure_preview vorlino
PHOTO=build/measure-6000x4000.jpg
[ -f "$PHOTO" ] || /usr/bin/convert samples/coffee.png -resize '6000x4000!' -quality 90 "$PHOTO"
xvfb-run -a -s "-screen 0 1280x1024x24" build/vorlino_measure_preview "$(pwd)/$PHOTO" \
  "$(pwd)/build/Masques/vignette_ovale.png"
