// Decoders of the less common raster formats. Each reads the whole file held by `in` and, on
// success, moves the first picture of the file into `out`: a palette bitmap (1, 4 or 8 bits) where
// the file holds palette indices or grey levels, otherwise 24 bits, or 32 bits (blue, green, red,
// alpha) when the file carries an alpha channel. On failure `out` is left untouched and the result
// says why. Sizes over `limits` are refused before anything is allocated; no exception leaves.
#pragma once

#include "bitmap/bitmap.h"
#include "imagefile/codec.h"

namespace vorlino {

// ZSoft PCX (.pcx .pcc .scr).
CodecResult readPcx(ByteReader& in, Bitmap& out, const DecodeLimits& limits) noexcept;
// Alias/Wavefront RLA (.rla .rpf).
CodecResult readRla(ByteReader& in, Bitmap& out, const DecodeLimits& limits) noexcept;
// SGI image file (.sgi .rgb .rgba .bw).
CodecResult readSgi(ByteReader& in, Bitmap& out, const DecodeLimits& limits) noexcept;
// Photoshop document, merged image (.psd .pdd).
CodecResult readPsd(ByteReader& in, Bitmap& out, const DecodeLimits& limits) noexcept;
// Autodesk Animator cel and picture (.cel .pic).
CodecResult readCel(ByteReader& in, Bitmap& out, const DecodeLimits& limits) noexcept;
// Kodak Photo CD image pac, Base resolution (.pcd).
CodecResult readPcd(ByteReader& in, Bitmap& out, const DecodeLimits& limits) noexcept;
// Dr. Halo CUT (.cut); the palette comes from the ".pal" file beside in.fileName().
CodecResult readCut(ByteReader& in, Bitmap& out, const DecodeLimits& limits) noexcept;
// Paint Shop Pro image (.psp).
CodecResult readPsp(ByteReader& in, Bitmap& out, const DecodeLimits& limits) noexcept;

}  // namespace vorlino
