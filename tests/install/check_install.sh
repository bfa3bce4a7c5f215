#!/bin/sh
# Installs the build tree into a scratch prefix and checks it as a desktop would use it: the two
# programs, the masks and the guide where the program looks for them from <prefix>/bin, the menu
# entry and its icon.
# Usage: check_install.sh BUILD_DIR SCRATCH_DIR
set -eu
build=$1
prefix=$2/prefix
rm -rf "$2"
mkdir -p "$2"

fail() {
  echo "install check: $*" >&2
  exit 1
}

cmake --install "$build" --prefix "$prefix" >"$2/install.log" || fail "cmake --install failed"

for program in vorlino vorlino-cli; do
  [ -x "$prefix/bin/$program" ] || fail "bin/$program missing"
done
masks=$(ls "$prefix/share/vorlino/Masques/"*.png 2>/dev/null | wc -l)
[ "$masks" -ge 1 ] || fail "no mask in share/vorlino/Masques"
[ -f "$prefix/share/doc/vorlino/guide.html" ] || fail "guide missing"
[ -f "$prefix/share/doc/vorlino/guide_en.html" ] || fail "English guide missing"
desktop=$prefix/share/applications/vorlino.desktop
icon=$prefix/share/icons/hicolor/256x256/apps/vorlino.png
[ -f "$desktop" ] || fail "desktop entry missing"
[ -f "$icon" ] || fail "icon missing"

# The icon: a PNG whose header says 256 x 256.
header=$(od -An -tx1 -N24 "$icon" | tr -d ' \n')
[ "${header#89504e470d0a1a0a}" != "$header" ] || fail "icon is not a PNG"
[ "${header#*49484452}" = "0000010000000100" ] || fail "icon is not 256 x 256"

# The menu entry: the group first, the keys a launcher needs, lists ending with ';'.
[ "$(head -n 1 "$desktop")" = "[Desktop Entry]" ] || fail "desktop entry does not start with its group"
key() { sed -n "s/^$1=//p" "$desktop"; }
[ "$(key Type)" = Application ] || fail "Type"
[ "$(key Name)" = Vorlino ] || fail "Name"
[ -n "$(key Comment)" ] || fail "Comment"
[ "$(key Exec)" = "vorlino %f" ] || fail "Exec"
[ "$(key Icon)" = vorlino ] || fail "Icon"
[ "$(key Terminal)" = false ] || fail "Terminal"
[ "$(key Categories)" = "Graphics;Photography;" ] || fail "Categories"
mimes=$(key MimeType)
case "$mimes" in *";") ;; *) fail "MimeType does not end with ';'" ;; esac
for type in image/jpeg image/png image/gif image/bmp image/tiff image/x-tga image/x-portable-pixmap; do
  case ";$mimes" in *";$type;"*) ;; *) fail "MimeType lacks $type" ;; esac
done
# Every type named must be one the system's MIME database knows (as a type or an alias).
database=/usr/share/mime/packages/freedesktop.org.xml
if [ -f "$database" ]; then
  for type in $(echo "$mimes" | tr ';' ' '); do
    grep -q -e "type=\"$type\"" "$database" || fail "unknown MIME type $type"
  done
fi
if grep -v -e '^\[Desktop Entry\]$' -e '^[A-Za-z][A-Za-z0-9-]*\(\[[A-Za-z_@.]*\]\)\?=' -e '^$' \
  "$desktop" >/dev/null; then
  fail "a line of the desktop entry is neither a key nor the group"
fi

# The programs run from the install tree.
"$prefix/bin/vorlino-cli" info "$prefix/share/vorlino/Masques/"*.png >"$2/info.txt" ||
  fail "vorlino-cli cannot read the installed masks"
# A metafile is drawn by the module installed in the private library folder.
python3 "$(dirname "$0")/../cli/text_wmf.py" "$2/text.wmf"
"$prefix/bin/vorlino-cli" convert "$2/text.wmf" "$2/text.png" 2>"$2/metafile.log" ||
  fail "vorlino-cli cannot draw a metafile: $(cat "$2/metafile.log")"
# The window starts and stays up (stopped after a few seconds; preferences go to a scratch home).
status=0
HOME=$2/home XDG_CONFIG_HOME=$2/home/.config QT_QPA_PLATFORM=offscreen \
  timeout 5 "$prefix/bin/vorlino" >"$2/vorlino.log" 2>&1 || status=$?
[ "$status" -eq 124 ] || fail "vorlino ended by itself with status $status"
echo "install check: all in place under $prefix"
