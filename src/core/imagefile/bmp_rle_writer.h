// Windows BMP writer with 8-bit run-length encoding (RLE8).
//
// A 1-, 4- or 8-bit bitmap is written as 8 bits with the same colours; any other bitmap is first
// reduced to 256 colours (octree palette, error diffusion) on a copy. The file is the 14-byte
// file header, the 40-byte information header (compression 1, colours used 256), a 256-entry
// colour table and the RLE8 data: rows bottom-up, each closed by an end-of-line marker, the whole
// closed by an end-of-bitmap marker. Runs of equal indices are encoded runs; stretches of at
// least three without a repeat are absolute runs.
#pragma once

#include <string>

#include "bitmap/bitmap.h"
#include "imagefile/codec.h"

namespace vorlino {

struct RleOptions {};

CodecResult WriteRle(const Bitmap& bitmap, ByteWriter& out,
                     const RleOptions& options = {}) noexcept;

// Encodes the bitmap and writes it to fileName, replacing any existing file only once the whole
// file is written (see writeFileReplacing).
CodecResult WriteRleFile(const Bitmap& bitmap, const std::string& fileName) noexcept;

// Appends the RLE8 encoding of one row of indices (without the end-of-line marker).
void encodeRle8Row(const std::uint8_t* indices, std::size_t count, ByteWriter& out);

}  // namespace vorlino
