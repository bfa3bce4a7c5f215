#!/usr/bin/env bash
# vorlino-cli opens the HEIF, AVIF and JPEG XL libraries when a picture first needs them: the
# program lists none of them (nor Qt), a run on JPEG photos loads none, and pictures of each kind
# are still read, several at once, as the core reads them.
# usage: lazy_codecs.sh VORLINO_CLI SOURCE_DIR WORK_DIR
. "$(dirname "$0")/test_start.sh"
mkdir -p "$WORK/in"
DATA=$SRC/tests/data
MASK=$DATA/pnm/hopper_16bit.pgm
# loaded COMMAND...: the libraries the run loaded, one a line (the loader's notes go to files:
# the tool keeps the libraries' own messages off its error stream). Fails when the command does.
loaded() {
  rm -f "$WORK"/ld.*
  LD_DEBUG=files LD_DEBUG_OUTPUT=$WORK/ld "$@" >/dev/null
  local status=$?
  sed -n 's/^ *[0-9]*:[[:space:]]*file=\([^ ]*\) .*$/\1/p' "$WORK"/ld.* | sort -u
  return $status
}

lazy='libheif|libde265|libdav1d|libjxl|libhwy|libx265|libaom|libQt6'
needed=$(objdump -p "$CLI" | sed -n 's/^ *NEEDED *//p')
echo "$needed" | grep -E "^($lazy)" && fail "the program lists libraries it should open on first use"

loaded "$CLI" frame "$DATA/jpeg/input_plane.jpg" --mask "$MASK" -o "$WORK/photo.jpg" --quiet \
  >"$WORK/jpeg.txt"
grep -E "^($lazy)" "$WORK/jpeg.txt" && fail "framing a JPEG photo loads them"

# One folder of each kind, framed on two workers: the first calls open the library together.
for kind in heif avif jxl; do
  mkdir -p "$WORK/in/$kind"
  for f in "$DATA/$kind"/*.*; do cp "$f" "$WORK/in/$kind/"; done
  loaded "$CLI" frame "$WORK/in/$kind" --mask "$MASK" --output-dir "$WORK/out/$kind" --jobs 2 \
    --quiet >"$WORK/$kind.txt" || fail "framing the $kind pictures"
  for f in "$WORK/in/$kind"/*.*; do
    name=$(basename "$f")
    out=$(ls "$WORK/out/$kind/${name%.*}".* 2>/dev/null | head -n 1)
    [ -n "$out" ] || { fail "no output for $kind/$name"; continue; }
    want=$("$CLI" info "$f" | sed 's/^.*, \([0-9]* x [0-9]*\), .*$/\1/')
    got=$("$CLI" info "$out" | sed 's/^.*, \([0-9]* x [0-9]*\), .*$/\1/')
    [ "$want" = "$got" ] || fail "$kind/$name framed as $got instead of $want"
  done
done
grep -q '^libheif' "$WORK/heif.txt" || fail "HEIF pictures read without libheif"
grep -q '^libjxl' "$WORK/jxl.txt" || fail "JPEG XL pictures read without libjxl"
grep -q '^libheif' "$WORK/jxl.txt" && fail "JPEG XL pictures load libheif"

if [ "$failures" -gt 0 ]; then
  echo "lazy codecs: $failures failed"
  exit 1
fi
echo "lazy codecs: all passed"
