#!/usr/bin/env bash
# The GNU parallel recipe of docs/cluster.md with two local "nodes": the parts together give the
# files of one --jobs 2 run. Skipped (status 77) when GNU parallel is not installed.
# usage: parallel_recipe.sh VORLINO_CLI SOURCE_DIR WORK_DIR
set -u
CLI=$1
SRC=$2
WORK=$3
if ! command -v parallel >/dev/null || ! parallel --version 2>/dev/null | grep -q "GNU parallel"; then
  echo "SKIP: GNU parallel is not installed (Debian package 'parallel'; scripts/setup.sh installs it)"
  exit 77
fi
rm -rf "$WORK"
mkdir -p "$WORK/photos/sub"
cp "$SRC"/tests/data/png/*.png "$SRC"/tests/data/gif/*.gif "$WORK/photos/"
cp "$SRC"/tests/data/jpeg/*.jpg "$WORK/photos/sub/"
MASK=$SRC/tests/data/pnm/hopper_16bit.pgm

"$CLI" frame "$WORK/photos" --recursive --output-dir "$WORK/one" --mask "$MASK" --opacity 80 \
  --soften --quiet --jobs 2 || { echo "FAIL: the single run"; exit 1; }
# Two local nodes (":" is this machine, "2/" two jobs on it), one part each, as in the recipe.
N=2
seq 1 $N | parallel -S 2/: --line-buffer \
  "$CLI" frame "$WORK/photos" --recursive --output-dir "$WORK/framed" --mask "$MASK" --opacity 80 \
  --soften --quiet --shard {}/$N --report "$WORK/framed/report-{}.jsonl" ||
  { echo "FAIL: the parallel recipe"; exit 1; }
rm "$WORK"/framed/report-*.jsonl
if ! diff -r "$WORK/one" "$WORK/framed"; then
  echo "FAIL: the parallel recipe gives other files than one --jobs 2 run"
  exit 1
fi
echo "the GNU parallel recipe gives the files of one run"
