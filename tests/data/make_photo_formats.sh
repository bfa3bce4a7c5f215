#!/bin/sh
# Makes the HEIF, AVIF, WebP and JPEG XL test files of tests/data/{heif,avif,webp,jxl} with
# Debian's own encoders (libheif-examples, libavif-bin, webp, libjxl-tools, imagemagick,
# icc-profiles-free). The pictures are drawn here from a fixed seed, so they carry no third-party
# licence. Run from the top of the work tree; the files are committed, so this runs only when
# they are to be made again (encoders of another version give other bytes).
set -eu
out=tests/data
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
icc=/usr/share/color/icc/compatibleWithAdobeRGB1998.icc

convert -seed 7 -size 64x48 plasma: -depth 8 "$tmp/src.png"
convert "$tmp/src.png" -depth 16 "$tmp/src16.png"  # each sample times 257
convert "$tmp/src.png" \( -size 64x48 gradient:white-black \) -alpha off \
  -compose CopyOpacity -composite -depth 8 "$tmp/srca.png"
convert "$tmp/src.png" -profile "$icc" "$tmp/srcicc.png"  # tags the pixels, no conversion
convert "$tmp/src.png" -colorspace Gray -depth 8 "$tmp/grey.png"
convert -seed 9 -size 64x48 plasma: -depth 8 "$tmp/second.png"

heif-enc -q 80 "$tmp/src.png" -o $out/heif/q80.heic
heif-enc -b 10 -q 90 "$tmp/src16.png" -o $out/heif/d10.heic
heif-enc -q 90 "$tmp/srca.png" -o $out/heif/alpha.heic
heif-enc -q 90 "$tmp/srcicc.png" -o $out/heif/adobergb.heif
# A quarter turn anticlockwise in the file's irot property, as a camera held upright writes it.
python3 tests/data/heif_add_rotation.py $out/heif/q80.heic $out/heif/rot90.heic 1

avifenc -l "$tmp/src.png" $out/avif/lossless.avif
avifenc --min 20 --max 30 "$tmp/src.png" $out/avif/lossy.avif
avifenc -d 10 "$tmp/src16.png" $out/avif/d10.avif
avifenc "$tmp/srca.png" $out/avif/alpha.avif
# Display P3 told by code points in the colour box (primaries 12, sRGB curve 13), no profile.
avifenc --cicp 12/13/1 "$tmp/src.png" $out/avif/p3.avif

cwebp -quiet -lossless "$tmp/src.png" -o $out/webp/lossless.webp
cwebp -quiet -q 80 "$tmp/src.png" -o $out/webp/lossy.webp
cwebp -quiet -lossless -exact "$tmp/srca.png" -o $out/webp/alpha.webp
cwebp -quiet -q 90 -metadata icc "$tmp/srcicc.png" -o $out/webp/adobergb.webp
img2webp -lossless "$tmp/src.png" "$tmp/second.png" -o $out/webp/animated.webp

cjxl -d 0 "$tmp/src.png" $out/jxl/lossless.jxl
cjxl -d 1 "$tmp/src.png" $out/jxl/lossy.jxl
cjxl -d 0 "$tmp/src16.png" $out/jxl/d16.jxl
cjxl -d 0 "$tmp/srca.png" $out/jxl/alpha.jxl
cjxl -d 0 "$tmp/grey.png" $out/jxl/grey.jxl
cjxl -d 0 "$tmp/srcicc.png" $out/jxl/adobergb.jxl

# heif/bad/sps_error.heic is alpha.heic with a few bytes changed at random: libde265 reports its
# damaged sequence parameters on stderr. It is kept as it was found, not remade here.

# The first frame of the animation, to compare with (dwebp reads no animation).
cp "$tmp/src.png" $out/webp/animated.first.png
