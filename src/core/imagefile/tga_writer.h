// Run-length-encoded Targa writer.
//
// An 8-bit palette bitmap is written colour-mapped (image type 9, 256 map entries of blue, green,
// red), a 24-bit one as true colour (type 10). 1- and 4-bit bitmaps are written as 8 bits with the
// same colours, 32-bit ones as true colour with 8 alpha bits (depth 32, descriptor 0x28). The
// 18-byte header always states a 256-entry, 24-bit colour map and, below 32 bits, the descriptor
// 0x20 (top row first). Packets never span two rows; there is no
// footer. Sides above 65535 do not fit the header and fail with ceTooLarge; an empty bitmap
// gives an empty file.
#pragma once

#include <cstdint>

#include "bitmap/bitmap.h"
#include "imagefile/codec.h"

namespace vorlino {

struct TargaOptions {};

CodecResult WriteTarga(const Bitmap& bitmap, ByteWriter& out,
                       const TargaOptions& options = {}) noexcept;

// The pieces of the file, shared with the row-streaming writer: the 18-byte header, and one row
// of count pixels of size bytes (1, 3, or 4 with alpha) run-length encoded on its own.
void writeTargaHeader(ByteWriter& out, int width, int height, bool mapped, bool alpha = false);
void encodeTargaRow(const std::uint8_t* row, int count, int size, ByteWriter& out);

}  // namespace vorlino
