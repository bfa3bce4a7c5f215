#!/usr/bin/env bash
# Measures the pixel core against the established tools in one run and prints a table of ratios.
#   scripts/bench.sh            all rows (about 5 minutes on 2 cores)
#   RUNS=5 scripts/bench.sh     more repeats of the whole-process commands (default 3)
# Our figures come from Google Benchmark (in-process, single-threaded); ImageMagick and Pillow are
# timed as whole processes (start-up and file I/O included) on the same pixels, as a user would run
# them. Both sides read the same inputs: a 6000x4000 photo and an 800x600 grey mask.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j2 --target vorlino_bench vorlino-cli >/dev/null

IN=build/bench-inputs
OUT=build/bench-out
mkdir -p "$IN" "$OUT"
IM=/usr/bin/convert-im6.q16
PY=/usr/bin/python3   # Debian's interpreter, the one that has python3-pil
if [ ! -f "$IN/photo.ppm" ]; then
  # A real photo enlarged to 24 MP with camera-like grain (fixed seed), and an oval vignette mask.
  $IM ../shared/samples/coffee.png -filter Lanczos -resize 6000x4000! -seed 7 \
      -attenuate 0.25 +noise Gaussian "$IN/photo.ppm"
  $IM -size 800x600 radial-gradient:white-black -evaluate multiply 1.6 -depth 8 "$IN/mask.pgm"
fi
[ -f "$IN/photo.jpg" ] || $IM "$IN/photo.ppm" -sampling-factor 2x2 -quality 90 "$IN/photo.jpg"
if [ ! -d "$IN/batch" ]; then
  # Twenty 12 MP photos for the batch rows.
  mkdir -p "$IN/batch"
  $IM "$IN/photo.ppm" -resize 4243x2828! -sampling-factor 2x2 -quality 90 "$IN/batch/p00.jpg"
  for i in $(seq -w 1 19); do cp "$IN/batch/p00.jpg" "$IN/batch/p$i.jpg"; done
fi

export VORLINO_BENCH_PHOTO=$IN/photo.ppm VORLINO_BENCH_MASK=$IN/mask.pgm
build/vorlino_bench --benchmark_format=json --benchmark_out="$OUT/ours.json" \
  --benchmark_out_format=json --benchmark_repetitions=3 --benchmark_report_aggregates_only=true \
  >/dev/null

cat > "$OUT/pil.py" <<'EOF_PY'
import sys
from PIL import Image
op, a = sys.argv[1], sys.argv[2:]
LZ = Image.Resampling.LANCZOS
if op == "resize":
    Image.open(a[0]).resize((int(a[1]), int(a[2])), LZ).save(a[3])
elif op == "quant":  # octree palette, then Floyd-Steinberg remap when asked (Pillow 9.4 needs both)
    im = Image.open(a[0])
    q = im.quantize(256, method=Image.Quantize.FASTOCTREE)
    if a[1] == "fs":
        q = im.quantize(palette=q, dither=Image.Dither.FLOYDSTEINBERG)
    q.save(a[2])
elif op == "frame":  # photo, mask, out: the mask fitted, white where it is dark, JPEG q90 4:2:0
    p = Image.open(a[0])
    m = Image.open(a[1]).convert("L").resize(p.size, LZ)
    white = Image.new("RGB", p.size, (255, 255, 255))
    Image.composite(p, white, m).save(a[2], quality=90, subsampling=2, optimize=False)
elif op == "png":
    Image.open(a[0]).save(a[1], compress_level=7)
EOF_PY

RUNS=${RUNS:-3}
# time_cmd NAME CMD...: median wall time of RUNS whole-process runs, appended to tools.tsv
: >"$OUT/tools.tsv"
time_cmd() {
  local name=$1; shift
  $PY - "$RUNS" "$@" <<'EOF_PY' | sed "s/^/$name\t/" >>"$OUT/tools.tsv"
import statistics, subprocess, sys, time
runs, cmd = int(sys.argv[1]), sys.argv[2:]
times = []
for _ in range(runs):
    t = time.perf_counter(); subprocess.run(cmd, check=True, stdout=subprocess.DEVNULL); times.append(time.perf_counter() - t)
print(f"{statistics.median(times):.3f}")
EOF_PY
}
time_cmd im_up   $IM -limit thread 1 "$IN/mask.pgm" -filter Lanczos -resize '6000x4000!' "$OUT/im_up.pgm"
time_cmd pil_up  $PY "$OUT/pil.py" resize "$IN/mask.pgm" 6000 4000 "$OUT/p_up.pgm"
time_cmd im_down $IM -limit thread 1 "$IN/photo.ppm" -filter Lanczos -resize '3000x2000!' "$OUT/im_dn.ppm"
time_cmd pil_down $PY "$OUT/pil.py" resize "$IN/photo.ppm" 3000 2000 "$OUT/p_dn.ppm"
time_cmd im_quant_fs $IM -limit thread 1 "$IN/photo.ppm" -dither FloydSteinberg -colors 256 -compress None "BMP3:$OUT/im_q.bmp"
time_cmd pil_quant_fs $PY "$OUT/pil.py" quant "$IN/photo.ppm" fs "$OUT/p_q.bmp"
time_cmd pil_quant_nd $PY "$OUT/pil.py" quant "$IN/photo.ppm" none "$OUT/p_qn.bmp"

# Whole processes on both sides: framing a 24 MP JPEG (decode, Lanczos 3 fit, blend, JPEG q90).
CLI=build/vorlino-cli
time_cmd ours_frame $CLI frame "$IN/photo.jpg" --mask "$IN/mask.pgm" -o "$OUT/ours_fr.jpg" --quiet --overwrite
time_cmd ours_frame_1t $CLI frame "$IN/photo.jpg" --mask "$IN/mask.pgm" -o "$OUT/ours_fr1.jpg" --quiet --jobs 1 --overwrite
time_cmd im_frame $IM "$IN/photo.jpg" \( "$IN/mask.pgm" -filter Lanczos -resize '6000x4000!' -negate \) \
  -compose Screen -composite -sampling-factor 2x2 -define jpeg:optimize-coding=false -quality 90 "$OUT/im_fr.jpg"
time_cmd pil_frame $PY "$OUT/pil.py" frame "$IN/photo.jpg" "$IN/mask.pgm" "$OUT/p_fr.jpg"
if pkg-config --exists vips 2>/dev/null; then
  gcc -O2 -o "$OUT/vipsframe" bench/vipsframe.c $(pkg-config --cflags --libs vips)
  time_cmd vips_frame "$OUT/vipsframe" "$IN/photo.jpg" "$IN/mask.pgm" "$OUT/v_fr.jpg"
fi
# PNG level 7 of the 24 MP photo, whole processes (the others choose a filter per row; IM's
# -quality 75 means level 7 and that choice).
time_cmd ours_png $CLI convert "$IN/photo.ppm" "$OUT/ours.png"
time_cmd im_png $IM "$IN/photo.ppm" -quality 75 "$OUT/im.png"
time_cmd pil_png $PY "$OUT/pil.py" png "$IN/photo.ppm" "$OUT/p.png"
png_bytes="ours:ours.png im:im.png pil:p.png"
if pkg-config --exists vips 2>/dev/null; then
  gcc -O2 -o "$OUT/vipspng" bench/vipspng.c $(pkg-config --cflags --libs vips)
  time_cmd vips_png "$OUT/vipspng" "$IN/photo.ppm" "$OUT/v.png"
  png_bytes="$png_bytes vips:v.png"
fi
for pair in $png_bytes; do
  stat -c '%s' "$OUT/${pair#*:}" | sed "s/^/${pair%%:*}_png_bytes\t/" >>"$OUT/tools.tsv"
done
# Twenty 12 MP photos, one and two at a time.
rm -rf "$OUT/b1" "$OUT/b2"
time_cmd batch_jobs1 $CLI frame "$IN/batch" --mask "$IN/mask.pgm" --output-dir "$OUT/b1" --jobs 1 --quiet --overwrite
time_cmd batch_jobs2 $CLI frame "$IN/batch" --mask "$IN/mask.pgm" --output-dir "$OUT/b2" --jobs 2 --quiet --overwrite
diff -r "$OUT/b1" "$OUT/b2" >/dev/null && echo "batch outputs identical for --jobs 1 and 2"

$PY scripts/bench_report.py "$OUT/ours.json" "$OUT/tools.tsv"
