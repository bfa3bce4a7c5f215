#!/usr/bin/env bash
# The English translation against the sources: lupdate run over a copy of translations/vorlino_en.ts
# must find every text already there and translated, and none gone. A text wrapped for translation
# but missing from the file would show in French to an English user.
# usage: check_translations.sh LUPDATE SOURCE_DIR WORK_DIR
set -u
lupdate=$1
src=$(realpath "$2")
work=$3
rm -rf "$work"
mkdir -p "$work"
cp "$src/translations/vorlino_en.ts" "$work/vorlino_en.ts"
(cd "$src" && "$lupdate" -silent -locations none -no-obsolete -source-language fr \
  -target-language en src/ui -ts "$work/vorlino_en.ts") || { echo "FAIL: lupdate"; exit 1; }
if ! diff -u "$src/translations/vorlino_en.ts" "$work/vorlino_en.ts"; then
  echo "FAIL: translations/vorlino_en.ts is not up to date with the sources: build the target"
  echo "vorlino_update_translations, then translate what it marks unfinished"
  exit 1
fi
echo "translations/vorlino_en.ts matches the sources"
