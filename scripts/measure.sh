#!/usr/bin/env bash
# Times the heavy commands on the real window, each from the click to the repainted window, and
# reports the resident memory between them: opening a photo, repainting and panning the view,
# eight applications of a fitted, softened mask, then undo and redo of every step. Runs on a
# 24-megapixel photo (made once with ImageMagick) and on a 100-megapixel one (made once by the
# measuring tool itself, with a grain so that it decodes like a camera's photo). The machine's
# other work shows in the figures: run it a few times and compare medians.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j2 --target vorlino_measure vorlino
PHOTO=build/measure-6000x4000.jpg
BIG=build/measure-12240x8160.jpg
MASK="$(pwd)/build/Masques/vignette_ovale.png"
[ -f "$PHOTO" ] || /usr/bin/convert samples/coffee.png -resize '6000x4000!' -quality 90 "$PHOTO"
[ -f "$BIG" ] || xvfb-run -a build/vorlino_measure --make-photo samples/coffee.png "$BIG" 12240 8160
for photo in "$PHOTO" "$BIG"; do
  xvfb-run -a -s "-screen 0 1280x1024x24" build/vorlino_measure "$(pwd)/$photo" "$MASK" 8
done
