// A first look at a large JPEG, shown while its full decode runs: the size and orientation read
// from the head of the file alone, and a reduced picture that costs a fraction of the full decode.
// A reduced picture is only ever a stand-in: nothing is computed from it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "bitmap/bitmap.h"
#include "imagefile/codec.h"

namespace vorlino {

// What the header of a JPEG says, before any pixel is decoded.
struct JpegHeader {
  int width = 0;  // as stored, before the EXIF orientation
  int height = 0;
  bool progressive = false;
};

// The header of a JPEG file with its EXIF orientation (0 when none) and embedded preview, read from
// the segments before the first scan; the entropy-coded data is never read.
struct JpegOutline {
  JpegHeader header;
  int orientation = 0;
  // The largest JPEG preview in the EXIF block, as a JPEG file; empty when none. Stored as the
  // picture is, before the orientation; it may be padded to another shape (see quickPreview).
  std::vector<std::uint8_t> preview;
  // The ICC profile of the picture's pixels, from its APP2 segments; empty when untagged.
  std::vector<std::uint8_t> iccProfile;
  // The size of the picture once turned upright (orientations 5 to 8 swap the sides).
  int uprightWidth() const;
  int uprightHeight() const;
};

// Reads the segments of a JPEG held in memory up to its first scan. ceSignature when it is no
// JPEG, ceDamaged when the header is broken or the data ends before it does.
CodecResult readJpegHeader(const std::uint8_t* data, std::size_t size, JpegHeader& header) noexcept;

// Reads the head of the JPEG file fileName (the segments before its first scan, up to 16 MiB) and
// its outline. Fails as readJpegHeader does, or with ceIo when the file cannot be read.
CodecResult readJpegOutline(const std::string& fileName, JpegOutline& outline) noexcept;

// Decodes a JPEG held in memory at 1/denom of its size (denom 1, 2, 4 or 8; sides rounded up)
// with libjpeg's scaled inverse DCT, as 24-bit BGR not turned upright. A progressive file stops
// after its first scan, a coarse pass over the whole picture, so only that part of the file is
// read; a baseline file is read to its end. out is changed only on success.
CodecResult readJpegReduced(const std::uint8_t* data, std::size_t size, int denom, Bitmap& out,
                            const DecodeLimits& limits = {}) noexcept;

// Decodes the embedded preview of an outline when it has the picture's shape (within 2 %, as some
// cameras pad thumbnails with black bands): 24-bit BGR, not turned upright. False otherwise.
bool decodeQuickPreview(const JpegOutline& outline, Bitmap& out) noexcept;

// The reduction for a first look at a width x height picture: the largest denom (8, 4, 2 or 1)
// that keeps at least 512 pixels on the longer side, enough for a fitted view to look like the
// photo. The cost of a baseline file is mostly in reading its data, whatever the denom.
int quickReduction(int width, int height);

}  // namespace vorlino
