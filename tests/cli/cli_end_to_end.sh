#!/usr/bin/env bash
# End-to-end runs of vorlino-cli: usage errors, info, convert, resize and frame into every
# writable format, each result read back by the tool itself.
# usage: cli_end_to_end.sh VORLINO_CLI SOURCE_DIR WORK_DIR
. "$(dirname "$0")/test_start.sh"
PHOTO=$SRC/tests/data/jpeg/input_plane.jpg
MASK=$SRC/tests/data/pnm/hopper_16bit.pgm

# expect STATUS COMMAND...: runs the command and checks its exit status.
expect() {
  local want=$1
  shift
  "$@" >"$WORK/out.txt" 2>"$WORK/err.txt"
  local got=$?
  [ "$got" -eq "$want" ] || fail "exit $got (wanted $want): $* -- $(cat "$WORK/err.txt")"
}

# The size and depth that info reports for a file, as "W x H, B bits".
shape() { "$CLI" info "$1" 2>/dev/null | sed 's/^.*, \([0-9]* x [0-9]*\), \([0-9]*\) bits$/\1, \2 bits/'; }

expect 0 "$CLI" --help
grep -q "Usage: vorlino-cli" "$WORK/out.txt" || fail "--help prints the usage"
expect 0 "$CLI" --version
expect 2 "$CLI"
expect 2 "$CLI" frobnicate
expect 2 "$CLI" convert "$PHOTO"
expect 2 "$CLI" frame "$PHOTO" --mask "$MASK" -o "$WORK/x.png" --opacity 5
expect 2 "$CLI" frame "$PHOTO" --mask "$MASK" -o "$WORK/x.png" --colour "#12345G"
expect 2 "$CLI" frame "$PHOTO" --mask "$MASK" -o "$WORK/x.png" --rotate 45
expect 2 "$CLI" frame "$PHOTO" "$PHOTO" --mask "$MASK" -o "$WORK/x.png"
expect 2 "$CLI" convert "$PHOTO" "$WORK/x.jpg" --quality 0

expect 0 "$CLI" info "$PHOTO" "$MASK"
grep -q "input_plane.jpg: Images JPG, " "$WORK/out.txt" || fail "info names the JPEG decoder"
grep -q "hopper_16bit.pgm: Images Portable map, " "$WORK/out.txt" || fail "info names the Netpbm decoder"
expect 1 "$CLI" info "$WORK/missing.png" "$PHOTO"
grep -q "Impossible d'ouvrir l'image dans le fichier" "$WORK/err.txt" || fail "info reports a missing file in French"
grep -q "input_plane.jpg" "$WORK/out.txt" || fail "info goes on after a failure"
# An English user gets the core's messages and the type names in English.
LANGUAGE=en LANG=en_US.UTF-8 "$CLI" info "$WORK/missing.png" "$PHOTO" >"$WORK/out.txt" 2>"$WORK/err.txt"
grep -qx "Cannot open the image in the file \"$WORK/missing.png\"" "$WORK/err.txt" ||
  fail "info reports a missing file in English"
grep -q "input_plane.jpg: JPG images, " "$WORK/out.txt" || fail "info names the decoder in English"
LC_ALL=C LANGUAGE=en "$CLI" info "$WORK/missing.png" 2>&1 | grep -q "Impossible d'ouvrir" ||
  fail "the C locale keeps the French messages"

# info reads the header only: a picture cut short after it still shows its size and depth.
head -c 1200 "$PHOTO" >"$WORK/cut.jpg"
expect 0 "$CLI" info "$WORK/cut.jpg"
[ "$(shape "$WORK/cut.jpg")" = "$(shape "$PHOTO")" ] || fail "info reads only the header"

size=$(shape "$PHOTO" | cut -d, -f1)
for ext in bmp rle gif jpg png tif tga; do
  expect 0 "$CLI" convert "$PHOTO" "$WORK/converted.$ext" --quality 80
  [ "$(shape "$WORK/converted.$ext" | cut -d, -f1)" = "$size" ] || fail "convert to .$ext keeps the size"
  expect 0 "$CLI" frame "$PHOTO" --mask "$MASK" -o "$WORK/framed.$ext" --colour clNavy --opacity 60 --soften
  [ "$(shape "$WORK/framed.$ext" | cut -d, -f1)" = "$size" ] || fail "frame to .$ext keeps the size"
done
[ "$(shape "$WORK/converted.rle")" = "$size, 8 bits" ] || fail "an RLE file holds 8 bits"
expect 1 "$CLI" convert "$PHOTO" "$WORK/converted.xyz"
grep -q "car le format n.est pas reconnu" "$WORK/err.txt" || fail "an unknown extension is reported in French"
expect 1 "$CLI" convert "$PHOTO" "$WORK/missing-folder/x.png"

expect 0 "$CLI" resize "$PHOTO" "$WORK/small.png" --width 31 --height 17
[ "$(shape "$WORK/small.png")" = "31 x 17, 24 bits" ] || fail "resize gives the asked size"
expect 0 "$CLI" resize "$PHOTO" "$WORK/plain.bmp" --width 5 --height 300 --plain
[ "$(shape "$WORK/plain.bmp")" = "5 x 300, 24 bits" ] || fail "plain resize gives the asked size"

# Batch into a folder: a transparent result defaults to GIF and keeps 8 bits; a bad input is
# reported and the others are still written.
expect 1 "$CLI" frame "$PHOTO" "$WORK/missing.jpg" "$SRC/tests/data/png/ibasn2c08.png" --mask "$MASK" \
  --output-dir "$WORK/batch" --suffix _cadre --transparent --tile --negative --rotate 90
[ -f "$WORK/batch/input_plane_cadre.gif" ] || fail "batch writes input_plane_cadre.gif"
[ -f "$WORK/batch/ibasn2c08_cadre.gif" ] || fail "batch goes on after a failed input"
[ "$(shape "$WORK/batch/input_plane_cadre.gif" | cut -d, -f2)" = " 8 bits" ] || fail "transparent result saved with a palette"
expect 0 "$CLI" frame "$PHOTO" --mask "$MASK" --output-dir "$WORK/batch2" --format tga
[ -f "$WORK/batch2/input_plane.tga" ] || fail "--format chooses the extension"

# The same settings give the same bytes.
expect 0 "$CLI" frame "$PHOTO" --mask "$MASK" -o "$WORK/again.png" --colour clNavy --opacity 60 --soften
cmp -s "$WORK/again.png" "$WORK/framed.png" || fail "framing is reproducible"

# Soft transparency: the mask becomes the alpha, kept by PNG (the default in a folder), TIFF and
# Targa; a format without alpha gets the picture over the colour.
expect 2 "$CLI" frame "$PHOTO" --mask "$MASK" -o "$WORK/x.png" --soft-alpha --rgb
expect 0 "$CLI" frame "$PHOTO" --mask "$MASK" --output-dir "$WORK/soft" --soft-alpha --opacity 70
[ -f "$WORK/soft/input_plane.png" ] || fail "a soft-alpha result defaults to PNG"
if /usr/bin/python3 -c 'import PIL' 2>/dev/null; then
  alpha() { /usr/bin/python3 -c 'import sys; from PIL import Image; im = Image.open(sys.argv[1]); print(im.mode, "soft" if im.mode == "RGBA" and im.getextrema()[3][0] < 255 else "opaque")' "$1"; }
  [ "$(alpha "$WORK/soft/input_plane.png")" = "RGBA soft" ] || fail "a soft-alpha PNG holds the alpha"
  for ext in tif tga jpg; do
    expect 0 "$CLI" frame "$PHOTO" --mask "$MASK" -o "$WORK/soft.$ext" --soft-alpha --opacity 70
  done
  [ "$(alpha "$WORK/soft.tif")" = "RGBA soft" ] || fail "a soft-alpha TIFF holds the alpha"
  [ "$(alpha "$WORK/soft.tga")" = "RGBA soft" ] || fail "a soft-alpha Targa holds the alpha"
  [ "$(alpha "$WORK/soft.jpg")" = "RGB opaque" ] || fail "a soft-alpha JPEG is composed over the colour"
fi

# Folders: the readable pictures in name order, the same bytes whatever the number of jobs,
# existing outputs skipped unless --overwrite, sub-folders only with --recursive.
mkdir -p "$WORK/in/sub"
cp "$SRC"/tests/data/png/*.png "$SRC"/tests/data/gif/*.gif "$WORK/in/"
cp "$PHOTO" "$WORK/in/sub/"
echo "not a picture" >"$WORK/in/notes.txt"
expect 0 "$CLI" frame "$WORK/in" --mask "$MASK" --output-dir "$WORK/jobs1" --jobs 1 --soften
expect 0 "$CLI" frame "$WORK/in" --mask "$MASK" --output-dir "$WORK/jobs3" --jobs 3 --soften
grep -q "^5 framed, 0 skipped, 0 failed" "$WORK/err.txt" || fail "the summary counts the photos of the folder"
[ "$(ls "$WORK/jobs3" | wc -l)" -eq 5 ] || fail "a folder gives one output per picture, not its sub-folder"
for f in "$WORK"/jobs1/*; do
  cmp -s "$f" "$WORK/jobs3/$(basename "$f")" || fail "--jobs 3 gives the bytes of --jobs 1 for $(basename "$f")"
done
[ -f "$WORK/jobs1/gif_animation.gif" ] || fail "a GIF input keeps its format"
expect 0 "$CLI" frame "$WORK/in" --mask "$MASK" --output-dir "$WORK/rec" --recursive --quiet
[ ! -s "$WORK/err.txt" ] || fail "--quiet prints nothing: $(cat "$WORK/err.txt")"
[ -f "$WORK/rec/sub/input_plane.jpg" ] || fail "--recursive keeps the sub-folder"
cmp -s "$WORK/jobs1/basn3p04.png" "$WORK/jobs3/basn3p04.png" || fail "an existing output is kept without --overwrite"
expect 0 "$CLI" frame "$WORK/in" --mask "$MASK" --output-dir "$WORK/jobs3"
grep -q "basn3p04.png\" existe déjà" "$WORK/err.txt" || fail "a skipped output is reported"
expect 0 "$CLI" frame "$WORK/in" --mask "$MASK" --output-dir "$WORK/jobs3" --overwrite
cmp -s "$WORK/jobs1/basn3p04.png" "$WORK/jobs3/basn3p04.png" && fail "--overwrite replaces the output"

# Photos that differ only by their extension each get their own result, the later ones with
# their extension in the name, whatever the number of jobs; an output folder holding the photos
# themselves is refused before anything is written.
mkdir -p "$WORK/alike"
cp "$PHOTO" "$WORK/alike/hopper.jpg"
cp "$MASK" "$WORK/alike/hopper.pgm"
cp "$SRC/tests/data/pnm/hopper_1bit.pbm" "$WORK/alike/hopper.pbm"
for jobs in 1 2; do
  expect 0 "$CLI" frame "$WORK/alike" --mask "$MASK" --output-dir "$WORK/alike-out$jobs" --jobs $jobs
  grep -q "^3 framed, 0 skipped, 0 failed" "$WORK/err.txt" || fail "--jobs $jobs frames the three alike photos"
  for f in hopper.jpg hopper-pbm.jpg hopper-pgm.jpg; do
    [ -f "$WORK/alike-out$jobs/$f" ] || fail "--jobs $jobs writes $f"
  done
done
[ "$(shape "$WORK/alike-out2/hopper-pbm.jpg" | cut -d, -f1)" = "$(shape "$WORK/alike/hopper.pbm" | cut -d, -f1)" ] ||
  fail "hopper-pbm.jpg is the framed hopper.pbm"
cp "$WORK/alike/hopper.jpg" "$WORK/original.jpg"
expect 2 "$CLI" frame "$WORK/alike" --mask "$MASK" --output-dir "$WORK/alike" --overwrite
grep -q "would replace the photo" "$WORK/err.txt" || fail "an output folder holding the photos is refused"
cmp -s "$WORK/alike/hopper.jpg" "$WORK/original.jpg" || fail "a refused batch leaves the photos alone"
[ "$(ls "$WORK/alike" | wc -l)" -eq 3 ] || fail "a refused batch writes nothing"
expect 2 "$CLI" frame "$WORK/alike/hopper.jpg" --mask "$MASK" -o "$WORK/alike/../alike/hopper.jpg"
cmp -s "$WORK/alike/hopper.jpg" "$WORK/original.jpg" || fail "-o naming the photo itself is refused"

# A look prepared in the window: the settings file gives the same bytes as the same options.
printf '[Params]\r\nMasque=%s\r\nCouleur=#102030\r\nNegatif=1\r\nAngle=90\r\nAdoucir=1\r\nAjuster=0\r\n' "$MASK" >"$WORK/Vorlino.ini"
expect 0 "$CLI" frame "$PHOTO" --settings "$WORK/Vorlino.ini" -o "$WORK/from-settings.png" --opacity 70
expect 0 "$CLI" frame "$PHOTO" --mask "$MASK" -o "$WORK/from-options.png" --colour "#102030" \
  --negative --rotate 90 --soften --tile --opacity 70
cmp -s "$WORK/from-settings.png" "$WORK/from-options.png" || fail "--settings reads the look of the window"
expect 0 "$CLI" frame "$PHOTO" --settings "$WORK/Vorlino.ini" -o "$WORK/overridden.png" --opacity 70 --fit
cmp -s "$WORK/from-settings.png" "$WORK/overridden.png" && fail "options override the settings file"
expect 2 "$CLI" frame "$PHOTO" --settings "$WORK/missing.ini" -o "$WORK/x.png"

# Fitting without stretching the corners: the window's key and the option give the same bytes, a
# .slices file beside the mask moves the cuts, and one with bad values is refused with a message.
cp "$MASK" "$WORK/cadre.pgm"
expect 2 "$CLI" frame "$PHOTO" --mask "$WORK/cadre.pgm" -o "$WORK/x.png" --fit --fit-keep-shape
printf '[Params]\r\nMasque=%s\r\nAngle=90\r\nAjuster=0\r\nSansDeformer=1\r\n' "$WORK/cadre.pgm" >"$WORK/keep.ini"
expect 0 "$CLI" frame "$PHOTO" --settings "$WORK/keep.ini" -o "$WORK/keep-settings.png"
expect 0 "$CLI" frame "$PHOTO" --mask "$WORK/cadre.pgm" --rotate 90 -o "$WORK/keep.png" --fit-keep-shape
cmp -s "$WORK/keep-settings.png" "$WORK/keep.png" || fail "SansDeformer=1 in the settings is --fit-keep-shape"
expect 0 "$CLI" frame "$PHOTO" --mask "$WORK/cadre.pgm" --rotate 90 -o "$WORK/plain.png" --fit
cmp -s "$WORK/plain.png" "$WORK/keep.png" && fail "--fit-keep-shape differs from --fit"
printf '10 12\n100 110\n' >"$WORK/cadre.slices"
expect 0 "$CLI" frame "$PHOTO" --mask "$WORK/cadre.pgm" --rotate 90 -o "$WORK/sliced.png" --fit-keep-shape
cmp -s "$WORK/sliced.png" "$WORK/keep.png" && fail "the .slices file moves the cuts"
printf '10 12 100 130\n' >"$WORK/cadre.slices"
expect 0 "$CLI" frame "$PHOTO" --mask "$WORK/cadre.pgm" --rotate 90 -o "$WORK/refused.png" --fit-keep-shape
grep -q "cadre.slices.*Les découpes par défaut sont utilisées" "$WORK/err.txt" || fail "bad cuts are refused on stderr"
cmp -s "$WORK/refused.png" "$WORK/keep.png" || fail "refused cuts fall back to the default ones"

# A camera photo: upright size and tag in info; its tags go into the outputs unless
# --strip-metadata, which keeps only the colour profile.
if command -v exiftool >/dev/null; then
  cp "$PHOTO" "$WORK/camera.jpg"
  exiftool -q -overwrite_original -Orientation#=6 -Make=Vendor -XMP-dc:Title=Lac \
    "-ICC_Profile<=$SRC/tests/data/icc/compatibleWithAdobeRGB1998.icc" "$WORK/camera.jpg"
  expect 0 "$CLI" info "$WORK/camera.jpg"
  grep -q "46 x 70, 24 bits, orientation EXIF 6" "$WORK/out.txt" || fail "info gives the upright size and the tag"
  kept() { [ "$(exiftool -s3 -Make -Title -Orientation# "$1" | tr '\n' ' ')" = "Vendor Lac 1 " ] || fail "$2 keeps the tags, upright"; }
  stripped() {
    [ -z "$(exiftool -s3 -Make -Title "$1")" ] || fail "$2 --strip-metadata drops the tags"
    [ -n "$(exiftool -s3 -ProfileDescription "$1")" ] || fail "$2 --strip-metadata keeps the profile"
  }
  expect 0 "$CLI" convert "$WORK/camera.jpg" "$WORK/meta.png" && kept "$WORK/meta.png" convert
  expect 0 "$CLI" convert "$WORK/camera.jpg" "$WORK/meta.png" --strip-metadata && stripped "$WORK/meta.png" convert
  expect 0 "$CLI" resize "$WORK/camera.jpg" "$WORK/meta.tif" --width 20 --height 30 && kept "$WORK/meta.tif" resize
  expect 0 "$CLI" resize "$WORK/camera.jpg" "$WORK/meta.tif" --width 20 --height 30 --strip-metadata &&
    stripped "$WORK/meta.tif" resize
  expect 0 "$CLI" frame "$WORK/camera.jpg" --mask "$MASK" -o "$WORK/meta.jpg" && kept "$WORK/meta.jpg" frame
  expect 0 "$CLI" frame "$WORK/camera.jpg" --mask "$MASK" -o "$WORK/meta-stripped.jpg" --strip-metadata &&
    stripped "$WORK/meta-stripped.jpg" frame
else
  echo "exiftool not installed: metadata checks skipped"
fi

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "all vorlino-cli checks passed"
