#!/usr/bin/env bash
# Makes the Debian package from a finished build folder and checks it as the users' systems would:
# lintian finds no error, the AppStream and menu-entry validators pass, apt resolves every
# dependency, and from the package unpacked into a scratch root (nothing is installed) the
# command-line tool runs and frames the sample, the manual pages and the completion load, and the
# window starts under Xvfb and finds the installed masks. Exit 77 (skipped) when a tool is missing.
# usage: check_package.sh BUILD_DIR SOURCE_DIR
# With VORLINO_PACKAGE_SHOT=file.png the window is photographed with the mask loaded.
set -u
build=$(cd "$1" && pwd)
src=$(cd "$2" && pwd)

if [ "${3:-}" = --window ]; then
  # The window part, run under xvfb-run by the main part: start the installed program on the
  # sample, click the mask box, type a mask's bare name in the open dialog (it resolves in the
  # folder the dialog starts in), quit from the menu; the preferences written at exit then name
  # the mask that was found.
  root=$4
  work=$5
  HOME=$work/home XDG_CONFIG_HOME=$work/home/.config "$root/usr/bin/vorlino" \
    "$src/samples/coffee.png" >"$work/window.log" 2>&1 &
  pid=$!
  trap 'kill "$pid" 2>/dev/null' EXIT
  window=$(timeout 20 xdotool search --sync --onlyvisible --name '^Vorlino$' | head -n 1)
  [ -n "$window" ] || { echo "the window did not appear"; exit 1; }
  sleep 1
  xdotool mousemove --window "$window" 72 128 click 1  # the middle of the mask box
  dialog=$(timeout 20 xdotool search --sync --onlyvisible --name '^Ouvrir$' | head -n 1)
  [ -n "$dialog" ] || { echo "the mask dialog did not open"; exit 1; }
  sleep 0.5
  xdotool type --delay 10 vignette_ovale.png
  xdotool key Return
  sleep 1.5
  [ -n "${VORLINO_PACKAGE_SHOT:-}" ] && import -window root "$VORLINO_PACKAGE_SHOT"
  xdotool mousemove --window "$window" 29 8 click 1  # "Fichier"
  sleep 0.7
  xdotool key Up Return  # its last item, "Quitter"
  for _ in $(seq 50); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.2
  done
  if kill -0 "$pid" 2>/dev/null; then
    echo "the window did not close from its menu"
    exit 1
  fi
  wait "$pid" || { echo "the window ended with status $?"; exit 1; }
  exit 0
fi

for tool in cpack dpkg-deb dpkg-shlibdeps lintian appstreamcli desktop-file-validate apt-get \
  xvfb-run xdotool man file objdump python3; do
  if ! command -v "$tool" >/dev/null; then
    echo "skipped: $tool is not installed (scripts/setup.sh installs it)"
    exit 77
  fi
done

work=$(mktemp -d "${TMPDIR:-/tmp}/vorlino-package.XXXXXX")
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# The package, from the build as it is (cpack installs the build folder; it compiles nothing).
if ! (cd "$build" && cpack -G DEB -B "$work/out") >"$work/cpack.log" 2>&1; then
  cat "$work/cpack.log"
  echo "FAIL: cpack could not make the package"
  exit 1
fi
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
deb=$work/out/vorlino_${version}_amd64.deb
[ -f "$deb" ] || { ls "$work/out"; echo "FAIL: no $deb"; exit 1; }
echo "package: $(basename "$deb"), $(stat -c %s "$deb") bytes"
echo "Depends: $(dpkg-deb -f "$deb" Depends)"

# lintian: errors fail, the rest is shown.
lintian --no-cfg --display-info --fail-on error "$deb" >"$work/lintian.txt" 2>&1 || fail "lintian reports errors"
grep -v '^running with root' "$work/lintian.txt"

root=$work/root
dpkg -x "$deb" "$root" || fail "dpkg -x"
appstreamcli validate --no-net "$root"/usr/share/metainfo/*.metainfo.xml >"$work/appstream.txt" 2>&1 ||
  { cat "$work/appstream.txt"; fail "appstreamcli validate"; }
desktop-file-validate "$root/usr/share/applications/vorlino.desktop" ||
  fail "desktop-file-validate"

# Every dependency resolves on this system (a simulation: nothing is installed).
apt-get install --simulate --no-install-recommends "$deb" >"$work/apt.txt" 2>&1 ||
  { tail -n 20 "$work/apt.txt"; fail "apt-get cannot resolve the dependencies"; }

# The files a desktop looks for.
for size in 16 22 24 32 48 64 128 256; do
  icon=$root/usr/share/icons/hicolor/${size}x${size}/apps/vorlino.png
  file "$icon" 2>/dev/null | grep -q "PNG image data, $size x $size" || fail "icon $size x $size"
done
grep -q '<svg' "$root/usr/share/icons/hicolor/scalable/apps/vorlino.svg" || fail "scalable icon"
for page in vorlino vorlino-cli; do
  manual=$root/usr/share/man/man1/$page.1.gz
  [ -f "$manual" ] || { fail "no manual page $page(1)"; continue; }
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$manual" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "man $page: $warnings"
done
# Every file that names the version names the package's.
zcat "$root/usr/share/doc/vorlino/changelog.gz" | head -n 1 | grep -qF "vorlino ($version)" ||
  fail "the changelog's last entry is not $version"
grep -qF "<release version=\"$version\"" "$root"/usr/share/metainfo/*.metainfo.xml ||
  fail "the AppStream data has no release $version"
for page in vorlino vorlino-cli; do
  zcat "$root/usr/share/man/man1/$page.1.gz" | grep -q "^\.TH .*\"Vorlino $version\"" ||
    fail "the manual page $page(1) is not for $version"
done
completion=$root/usr/share/bash-completion/completions/vorlino-cli
bash -c "source '$completion' && complete -p vorlino-cli" >/dev/null 2>&1 ||
  fail "the completion does not load"

# The command-line tool from the unpacked root.
cli=$root/usr/bin/vorlino-cli
[ "$("$cli" --version)" = "vorlino-cli $version" ] || fail "vorlino-cli --version: $("$cli" --version)"
mask=$root/usr/share/vorlino/Masques/vignette_ovale.png
if "$cli" frame "$src/samples/coffee.png" --mask "$mask" -o "$work/framed.jpg" --quiet; then
  shape() { "$cli" info "$1" | sed 's/^.*, \([0-9]* x [0-9]*\), .*$/\1/'; }
  [ "$(shape "$work/framed.jpg")" = "$(shape "$src/samples/coffee.png")" ] ||
    fail "the framed sample has another size"
else
  fail "vorlino-cli frame on the sample"
fi

# Metafiles are drawn by the module in the package's private library folder, found from the
# program's own folder; the program itself links no Qt library.
python3 "$src/tests/cli/text_wmf.py" "$work/text.wmf"
"$cli" convert "$work/text.wmf" "$work/text.png" 2>"$work/metafile.txt" ||
  fail "vorlino-cli cannot draw a metafile: $(cat "$work/metafile.txt")"
objdump -p "$cli" | grep -q 'NEEDED.*libQt' && fail "vorlino-cli links Qt"

# The window from the unpacked root, on its own X server.
if xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$build" "$src" --window "$root" "$work" \
  >"$work/xvfb.txt" 2>&1; then
  # The preferences go to the user's folder, never into the package's bin folder.
  settings=$work/home/.config/Vorlino/Vorlino.ini
  stray=$(find "$root" -name Vorlino.ini)
  [ -z "$stray" ] || fail "the window wrote its preferences into the package: $stray"
  grep -qx "Masque=$root/usr/share/vorlino/Masques/vignette_ovale.png" "$settings" 2>/dev/null ||
    fail "the window did not find the installed masks (in $settings: $(cat "$settings" 2>&1))"
else
  cat "$work/xvfb.txt" "$work/window.log" 2>/dev/null
  fail "the window from the unpacked root"
fi

if [ "$failures" -gt 0 ]; then
  echo "package check: $failures failed"
  exit 1
fi
echo "package check: all passed"
