// Decoders built on the C image libraries (libjpeg, libpng, giflib, libtiff). Each reads a whole
// file held in memory, checks the picture's size against the limits before allocating it, and on
// success moves the first image of the file into `out`; on any failure `out` is left untouched.
// None of them throws, longjmps out or prints anything.
#pragma once

#include "bitmap/bitmap.h"
#include "imagefile/codec.h"

namespace vorlino {

// JPEG (baseline, extended, progressive, arithmetic-coded; 8-bit samples), full size, float IDCT
// with block smoothing. Grey, YCbCr and RGB give 24 bits; CMYK and YCCK are turned into RGB.
// A truncated file fails.
CodecResult readJpeg(ByteReader& in, Bitmap& out, const DecodeLimits& limits) noexcept;

// PNG of every colour type, bit depth and interlace. Palette images keep their palette (1, 4 or 8
// bits per pixel; 2-bit images become 8-bit); grey and RGB give 24 bits; an alpha channel or a
// tRNS colour key gives 32 bits (blue, green, red, alpha). 16-bit samples keep their high byte.
CodecResult readPng(ByteReader& in, Bitmap& out, const DecodeLimits& limits) noexcept;

// GIF 87a and 89a: the first frame drawn on the logical screen, as an 8-bit palette bitmap.
CodecResult readGif(ByteReader& in, Bitmap& out, const DecodeLimits& limits) noexcept;

// TIFF (classic and BigTIFF): the first directory. Bilevel and palette strips stay palette
// bitmaps; everything else libtiff can turn into RGBA gives 32 bits (blue, green, red, alpha).
CodecResult readTiff(ByteReader& in, Bitmap& out, const DecodeLimits& limits) noexcept;

// Binary EPS (C5 D0 D3 C6 header): the TIFF preview it embeds. A file without one fails.
CodecResult readEps(ByteReader& in, Bitmap& out, const DecodeLimits& limits) noexcept;

}  // namespace vorlino
