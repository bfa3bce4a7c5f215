#!/usr/bin/env bash
# Times opening a 24-megapixel JPEG and applying a fitted, softened mask on the real window, each
# from the click to the repainted window. Makes the photo once with ImageMagick.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j2 --target vorlino_measure vorlino
PHOTO=build/measure-6000x4000.jpg
[ -f "$PHOTO" ] || /usr/bin/convert samples/coffee.png -resize '6000x4000!' -quality 90 "$PHOTO"
xvfb-run -a -s "-screen 0 1280x1024x24" build/vorlino_measure "$(pwd)/$PHOTO" \
  "$(pwd)/build/Masques/vignette_ovale.png"
