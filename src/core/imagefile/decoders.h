// One decoder per readable format, all of one shape: read the file held by `in` and, on success
// only, put its first picture into `out`. Palette pictures stay palette pictures (1, 4 or 8 bits
// with their palette), 24 and 32-bit pictures keep their depth (the fourth byte of a 32-bit result
// is alpha, 255 where the format has none); other forms become 24 bits. A failure leaves `out`
// untouched and says why in the result; no exception leaves a decoder.
#pragma once

#include "bitmap/bitmap.h"
#include "imagefile/codec.h"

namespace vorlino {

using DecoderFunction = CodecResult (*)(ByteReader& in, Bitmap& out, const DecodeLimits& limits);

// Windows bitmaps: "BM" files and packed DIBs without the file header; OS/2 and Windows headers,
// 1/2/4/8/16/24/32 bits, bit fields, RLE4 and RLE8.
CodecResult readBmp(ByteReader& in, Bitmap& out, const DecodeLimits& limits) noexcept;
// Windows icons: the largest, then deepest image of the file, as 32 bits with alpha (the pixels of
// the AND mask transparent).
CodecResult readIco(ByteReader& in, Bitmap& out, const DecodeLimits& limits) noexcept;
// JPEG (baseline, extended, progressive, arithmetic-coded; 8-bit samples), full size, float IDCT
// with block smoothing. Grey, YCbCr and RGB give 24 bits; CMYK and YCCK are turned into RGB.
// A truncated file fails.
CodecResult readJpeg(ByteReader& in, Bitmap& out, const DecodeLimits& limits) noexcept;
// Truevision Targa: types 1, 2, 3 and their run-length forms 9, 10, 11.
CodecResult readTarga(ByteReader& in, Bitmap& out, const DecodeLimits& limits) noexcept;
// TIFF (classic and BigTIFF): the first directory. Bilevel and palette strips stay palette
// bitmaps; everything else libtiff can turn into RGBA gives 32 bits (blue, green, red, alpha).
CodecResult readTiff(ByteReader& in, Bitmap& out, const DecodeLimits& limits) noexcept;
// Binary EPS (C5 D0 D3 C6 header): the TIFF preview it embeds. A file without one fails.
CodecResult readEps(ByteReader& in, Bitmap& out, const DecodeLimits& limits) noexcept;
CodecResult readPcx(ByteReader& in, Bitmap& out, const DecodeLimits& limits) noexcept;
CodecResult readRla(ByteReader& in, Bitmap& out, const DecodeLimits& limits) noexcept;
CodecResult readSgi(ByteReader& in, Bitmap& out, const DecodeLimits& limits) noexcept;
CodecResult readPsd(ByteReader& in, Bitmap& out, const DecodeLimits& limits) noexcept;
// Netpbm bit, grey and pixel maps, P1 to P6, maxval up to 65535.
CodecResult readPnm(ByteReader& in, Bitmap& out, const DecodeLimits& limits) noexcept;
CodecResult readCel(ByteReader& in, Bitmap& out, const DecodeLimits& limits) noexcept;
CodecResult readPcd(ByteReader& in, Bitmap& out, const DecodeLimits& limits) noexcept;
CodecResult readCut(ByteReader& in, Bitmap& out, const DecodeLimits& limits) noexcept;
CodecResult readPsp(ByteReader& in, Bitmap& out, const DecodeLimits& limits) noexcept;
// PNG of every colour type, bit depth and interlace. Palette images keep their palette (1, 4 or 8
// bits per pixel; 2-bit images become 8-bit); grey and RGB give 24 bits; an alpha channel or a
// tRNS colour key gives 32 bits (blue, green, red, alpha). 16-bit samples keep their high byte.
CodecResult readPng(ByteReader& in, Bitmap& out, const DecodeLimits& limits) noexcept;
// GIF 87a and 89a: the first frame drawn on the logical screen, as an 8-bit palette bitmap.
CodecResult readGif(ByteReader& in, Bitmap& out, const DecodeLimits& limits) noexcept;

// Windows metafiles are drawn by the user interface: it installs the function that renders one
// (nullptr removes it). Until then readMetafile fails with ceUnsupported.
void setMetafileDecoder(DecoderFunction render);
CodecResult readMetafile(ByteReader& in, Bitmap& out, const DecodeLimits& limits) noexcept;

// Stands for a decoder that this build does not have: always fails with ceUnsupported.
CodecResult readNotYetAvailable(ByteReader& in, Bitmap& out, const DecodeLimits& limits) noexcept;

}  // namespace vorlino
