#!/usr/bin/env bash
# Installs every Debian package the project needs. Idempotent and quiet when all is there.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build pkg-config git
  qt6-base-dev qt6-base-dev-tools libgl-dev qt6-translations-l10n qt6-l10n-tools
  libjpeg62-turbo-dev libpng-dev zlib1g-dev libgif-dev libtiff-dev libdeflate-dev libzstd-dev
  libexiv2-dev libimage-exiftool-perl
  libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev
  xvfb xauth x11-utils xdotool imagemagick python3-pil poppler-utils
  parallel
  cups printer-driver-cups-pdf
  dpkg-dev file lintian appstream desktop-file-utils man-db
  libheif-dev libde265-dev libdav1d-dev libwebp-dev libjxl-dev liblcms2-dev libxcb1-dev
  libheif-examples libavif-bin webp libjxl-tools liblcms2-utils icc-profiles-free
)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
echo "Installing: ${missing[*]}"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
