#!/usr/bin/env bash
# Framing as a stream of rows against framing whole, as whole processes: wall time (median of RUNS)
# and peak memory (ru_maxrss of the child, from wait4), ratios taken within this one run.
#   scripts/bench_stream.sh          RUNS=5 by default; PANORAMA=0 skips the 400 MP row
# Rows: one 24 MP JPEG framed with the 800x600 mask (and libvips' frame program when libvips is
# installed); a batch of twenty 12 MP photos with --jobs 2; a 40000x10000 panorama JPEG to JPEG.
# Inputs are those of scripts/bench.sh (made here when missing).
#   BEFORE=path/to/an/older/vorlino-cli adds its rows, for before/after ratios in the same run.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --build build -j2 --target vorlino-cli >/dev/null

IN=build/bench-inputs
OUT=build/bench-stream
mkdir -p "$IN" "$OUT"
IM=/usr/bin/convert-im6.q16
if [ ! -f "$IN/photo.jpg" ] || [ ! -f "$IN/mask.pgm" ] || [ ! -d "$IN/batch" ]; then
  $IM ../shared/samples/coffee.png -filter Lanczos -resize 6000x4000! -seed 7 \
      -attenuate 0.25 +noise Gaussian "$IN/photo.ppm"
  $IM -size 800x600 radial-gradient:white-black -evaluate multiply 1.6 -depth 8 "$IN/mask.pgm"
  $IM "$IN/photo.ppm" -sampling-factor 2x2 -quality 90 "$IN/photo.jpg"
  mkdir -p "$IN/batch"
  $IM "$IN/photo.ppm" -resize 4243x2828! -sampling-factor 2x2 -quality 90 "$IN/batch/p00.jpg"
  for i in $(seq -w 1 19); do cp "$IN/batch/p00.jpg" "$IN/batch/p$i.jpg"; done
fi
if [ "${PANORAMA:-1}" = 1 ] && [ ! -f "$IN/pano.jpg" ]; then
  gcc -O2 -o "$OUT/panorama" bench/panorama.c -ljpeg
  if command -v cjpeg >/dev/null; then
    "$OUT/panorama" 40000 10000 | cjpeg -quality 90 >"$IN/pano.jpg"
  else  # libjpeg-turbo-progs absent: the same rows through libjpeg directly
    "$OUT/panorama" 40000 10000 "$IN/pano.jpg"
  fi
fi

CLI=build/vorlino-cli
M=$IN/mask.pgm
: >"$OUT/rows.tsv"
# measure NAME CMD...: median wall seconds, the largest peak RSS (MiB) and the median processor
# seconds (user + system; the fairer figure when other work shares the machine) of RUNS runs.
measure() {
  local name=$1; shift
  python3 - "${RUNS:-5}" "$@" <<'EOF_PY' | sed "s/^/$name\t/" | tee -a "$OUT/rows.tsv"
import os, statistics, subprocess, sys, time
runs, cmd = int(sys.argv[1]), sys.argv[2:]
times, peaks, cpus = [], [], []
for _ in range(runs):
    t = time.perf_counter()
    p = subprocess.Popen(cmd, stdout=subprocess.DEVNULL)
    _, status, usage = os.wait4(p.pid, 0)
    times.append(time.perf_counter() - t)
    peaks.append(usage.ru_maxrss / 1024)
    cpus.append(usage.ru_utime + usage.ru_stime)
    if os.waitstatus_to_exitcode(status) != 0: sys.exit(f"failed: {cmd}")
print(f"{statistics.median(times):.3f}\t{max(peaks):.1f}\t{statistics.median(cpus):.3f}")
EOF_PY
}

measure frame24_stream $CLI frame "$IN/photo.jpg" --mask "$M" -o "$OUT/s.jpg" --quiet --overwrite
measure frame24_whole $CLI frame "$IN/photo.jpg" --mask "$M" -o "$OUT/w.jpg" --quiet --overwrite --whole
cmp "$OUT/s.jpg" "$OUT/w.jpg" && echo "24 MP: stream and whole files identical"
if [ -n "${BEFORE:-}" ]; then
  measure frame24_before "$BEFORE" frame "$IN/photo.jpg" --mask "$M" -o "$OUT/b.jpg" --quiet --overwrite
  cmp "$OUT/s.jpg" "$OUT/b.jpg" && echo "24 MP: before and after files identical"
fi
if pkg-config --exists vips 2>/dev/null; then
  # The frame program of the shared image-tool anchors when they are beside this tree, else ours.
  ANCHORS=../shared/bench/anchors.sh
  rm -f "$OUT/vipsframe.c"
  if [ -f "$ANCHORS" ]; then
    sed -n "/^cat > \"\$SRC\/vipsframe.c\" <<'EOF_C'\$/,/^EOF_C\$/p" "$ANCHORS" | sed '1d;$d' >"$OUT/vipsframe.c"
  fi
  [ -s "$OUT/vipsframe.c" ] || cp bench/vipsframe.c "$OUT/vipsframe.c"
  gcc -O2 -o "$OUT/vipsframe" "$OUT/vipsframe.c" $(pkg-config --cflags --libs vips)
  measure frame24_vips "$OUT/vipsframe" "$IN/photo.jpg" "$M" "$OUT/v.jpg"
else
  echo "libvips is not installed (Debian libvips-dev): no libvips row in this run"
fi

measure photo12_stream $CLI frame "$IN/batch/p00.jpg" --mask "$M" -o "$OUT/one.jpg" --quiet --overwrite
rm -rf "$OUT/bs" "$OUT/bw"
measure batch20_stream_jobs2 $CLI frame "$IN/batch" --mask "$M" --output-dir "$OUT/bs" --jobs 2 --quiet --overwrite
measure batch20_whole_jobs2 $CLI frame "$IN/batch" --mask "$M" --output-dir "$OUT/bw" --jobs 2 --quiet --overwrite --whole
diff -r "$OUT/bs" "$OUT/bw" >/dev/null && echo "batch: stream and whole files identical"
if [ -n "${BEFORE:-}" ]; then
  rm -rf "$OUT/bb"
  measure batch20_before_jobs2 "$BEFORE" frame "$IN/batch" --mask "$M" --output-dir "$OUT/bb" --jobs 2 --quiet --overwrite
  diff -r "$OUT/bs" "$OUT/bb" >/dev/null && echo "batch: before and after files identical"
fi

if [ "${PANORAMA:-1}" = 1 ]; then
  RUNS=${PANORAMA_RUNS:-3} measure pano400_stream $CLI frame "$IN/pano.jpg" --mask "$M" -o "$OUT/pano.jpg" --quiet --overwrite
  if $CLI frame "$IN/pano.jpg" --mask "$M" -o "$OUT/pano_whole.jpg" --quiet --overwrite --whole 2>/dev/null; then
    echo "the whole path framed the panorama"
  else
    echo "the whole path refuses the panorama (pixel cap), as it should"
  fi
fi

python3 - "$OUT/rows.tsv" <<'EOF_PY'
import sys
rows = {l.split("\t")[0]: tuple(map(float, l.split("\t")[1:4])) for l in open(sys.argv[1])}
def show(text): print(text)
s, w = rows["frame24_stream"], rows["frame24_whole"]
show(f"24 MP frame: stream {s[0]:.3f} s {s[1]:.0f} MiB; whole {w[0]:.3f} s {w[1]:.0f} MiB; "
     f"speed-up {w[0] / s[0]:.2f}x, memory {w[1] / s[1]:.1f}x less; "
     f"processor time {s[2]:.3f} s against {w[2]:.3f} s")
if "frame24_before" in rows:
    b = rows["frame24_before"]
    show(f"  before {b[0]:.3f} s {b[1]:.0f} MiB ({b[2]:.3f} s of processor): "
         f"{b[0] / s[0]:.2f}x the speed now")
if "frame24_vips" in rows:
    v = rows["frame24_vips"]
    show(f"  libvips {v[0]:.3f} s {v[1]:.0f} MiB: stream is {v[0] / s[0]:.2f}x faster, "
         f"memory {s[1] / v[1]:.2f} of libvips'")
bs, bw, one = rows["batch20_stream_jobs2"], rows["batch20_whole_jobs2"], rows["photo12_stream"]
show(f"20 x 12 MP, --jobs 2: stream {20 / bs[0]:.2f} photos/s, whole {20 / bw[0]:.2f} photos/s "
     f"({bw[0] / bs[0]:.2f}x); peak {bs[1]:.0f} MiB against {one[1]:.0f} MiB for one photo "
     f"({bs[1] / one[1]:.2f}x); processor time {bs[2]:.2f} s against {bw[2]:.2f} s")
if "batch20_before_jobs2" in rows:
    b = rows["batch20_before_jobs2"]
    show(f"  before {20 / b[0]:.2f} photos/s, {b[1]:.0f} MiB, {b[2]:.2f} s of processor: "
         f"{b[0] / bs[0]:.2f}x the photos per second now")
if "pano400_stream" in rows:
    p = rows["pano400_stream"]
    show(f"40000 x 10000 panorama JPEG to JPEG: {p[0]:.2f} s ({p[2]:.2f} s of processor), "
         f"peak {p[1]:.0f} MiB (target < 256)")
EOF_PY
