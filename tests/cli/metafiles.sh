#!/usr/bin/env bash
# Metafiles in vorlino-cli: drawn by the metafile module, which the tool loads (and Qt with it)
# only for a run that reads one, wherever the metafile comes from (an argument, a folder, --list,
# the mask), with its text; a run without one never loads Qt; without the module a metafile fails
# like any unreadable file and the rest of the run goes on.
# usage: metafiles.sh VORLINO_CLI SOURCE_DIR WORK_DIR
. "$(dirname "$0")/test_start.sh"
mkdir -p "$WORK/in"
PHOTO=$SRC/tests/data/jpeg/input_plane.jpg
MASK=$SRC/tests/data/pnm/hopper_16bit.pgm

# Two metafiles that draw the same picture unless the text is drawn (see text_wmf.py).
python3 "$SRC/tests/cli/text_wmf.py" "$WORK/in/text.wmf"
python3 "$SRC/tests/cli/text_wmf.py" "$WORK/in/blank.wmf" --blank
cp "$PHOTO" "$WORK/in/photo.jpg"

# loads_qt COMMAND...: whether the run loaded Qt's graphics library (the loader's notes go to
# files: the tool keeps the libraries' own messages off its error stream).
loads_qt() {
  rm -f "$WORK"/ld.*
  LD_DEBUG=files LD_DEBUG_OUTPUT=$WORK/ld "$@" >/dev/null 2>&1
  grep -q "file=libQt6Gui" "$WORK"/ld.*
}

"$CLI" convert "$WORK/in/text.wmf" "$WORK/text.png" || fail "convert text.wmf"
"$CLI" convert "$WORK/in/blank.wmf" "$WORK/blank.png" || fail "convert blank.wmf"
cmp -s "$WORK/text.png" "$WORK/blank.png" && fail "convert draws no text"
"$CLI" info "$WORK/in/text.wmf" | grep -q "text.wmf: Metafiles Windows, 200 x 100, 24 bits" ||
  fail "info on a metafile"

# From a folder and from a list, the metafiles drawn as named alone, text included.
"$CLI" frame "$WORK/in" --mask "$MASK" --output-dir "$WORK/folder" --quiet || fail "frame the folder"
cmp -s "$WORK/folder/text.jpg" "$WORK/folder/blank.jpg" && fail "a folder's metafile lost its text"
printf '%s\n' "$WORK/in/text.wmf" "$WORK/in/blank.wmf" >"$WORK/list.txt"
"$CLI" frame --list "$WORK/list.txt" --mask "$MASK" --output-dir "$WORK/listed" --quiet ||
  fail "frame the list"
cmp -s "$WORK/listed/text.jpg" "$WORK/listed/blank.jpg" && fail "a listed metafile lost its text"
cmp -s "$WORK/listed/text.jpg" "$WORK/folder/text.jpg" || fail "listed and folder metafiles differ"
# A metafile as the mask.
"$CLI" frame "$PHOTO" --mask "$WORK/in/text.wmf" -o "$WORK/masked_text.png" --quiet || fail "a metafile mask"
"$CLI" frame "$PHOTO" --mask "$WORK/in/blank.wmf" -o "$WORK/masked_blank.png" --quiet
cmp -s "$WORK/masked_text.png" "$WORK/masked_blank.png" && fail "a metafile mask lost its text"

# Qt is loaded for metafiles only.
mkdir -p "$WORK/photos"
cp "$PHOTO" "$WORK/photos/a.jpg"
loads_qt "$CLI" frame "$WORK/photos" --mask "$MASK" --output-dir "$WORK/q1" --quiet &&
  fail "a folder without metafiles loads Qt"
loads_qt "$CLI" frame "$PHOTO" --mask "$MASK" -o "$WORK/q2.png" && fail "a photo loads Qt"
loads_qt "$CLI" frame "$WORK/in" --mask "$MASK" --output-dir "$WORK/q3" --quiet --overwrite ||
  fail "a folder with a metafile does not load Qt"

# Without the module: a clean failure for the metafiles, the photos still framed.
mkdir -p "$WORK/alone"
cp "$CLI" "$WORK/alone/vorlino-cli"
"$WORK/alone/vorlino-cli" convert "$WORK/in/text.wmf" "$WORK/alone/text.png" 2>"$WORK/err.txt"
status=$?
[ "$status" -eq 1 ] || fail "without the module, convert ends with $status"
grep -q "metafiles cannot be drawn: the module vorlino_metafile.so is missing" "$WORK/err.txt" ||
  fail "without the module, no reason given: $(cat "$WORK/err.txt")"
grep -q "Impossible d'ouvrir l'image dans le fichier" "$WORK/err.txt" ||
  fail "without the module, no failure message"
"$WORK/alone/vorlino-cli" frame "$WORK/in" --mask "$MASK" --output-dir "$WORK/alone/out" --quiet \
  2>"$WORK/err.txt"
status=$?
[ "$status" -eq 1 ] || fail "without the module, frame ends with $status"
[ -f "$WORK/alone/out/photo.jpg" ] || fail "without the module, the photo is not framed"
[ "$(grep -c "metafiles cannot be drawn" "$WORK/err.txt")" -eq 1 ] || fail "the reason is not given once"

if [ "$failures" -gt 0 ]; then
  echo "metafiles: $failures failed"
  exit 1
fi
echo "metafiles: all passed"
