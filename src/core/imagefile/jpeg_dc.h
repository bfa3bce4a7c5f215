// A JPEG seen through the first coefficient of each 8 x 8 block: the block's average, a picture at
// 1/8 of the size. It still reads every Huffman code of the file, but keeps none of the others and
// does no inverse transform, and a large sequential scan is read on two threads. Made for the first
// look at a large photo (see jpeg_quick.h): nothing is computed from it.
//
// Reads Huffman-coded baseline, extended and progressive files with 8-bit samples, grey or three
// components (YCbCr, or RGB as libjpeg tells them apart), with or without restart intervals. A
// progressive file is read up to the first DC scan of every component, without their refinement
// bits. Anything else is refused with ceUnsupported, so that the caller can use libjpeg instead;
// a file whose codes are broken or that ends early fails with ceDamaged, where libjpeg would
// guess at the rest.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "bitmap/bitmap.h"
#include "imagefile/codec.h"

namespace vorlino {

struct JpegDcOptions {
  // 1, or 2 to read a sequential scan of at least minSplitBytes in two halves: restart intervals
  // split it exactly; without them the second half starts at a guess and is kept from the point
  // where the first thread's decoding, run on past the half, meets it (Huffman codes fall back
  // into step after a few blocks). When they never meet, the first thread reads on alone.
  int threads = 2;
  std::size_t minSplitBytes = 256 * 1024;
  // Where the second half starts, as a share of the scan's data; tests move it about.
  double splitAt = 0.5;
  DecodeLimits limits;
};

// The DC coefficient of every block, per component, as libjpeg's own decoder has it after the
// scans read (progressive: shifted by the point transform, refinement bits absent), with each
// component's quantisation value for it.
struct JpegDcCoefficients {
  int width = 0;  // the picture's size
  int height = 0;
  struct Component {
    int blocksWide = 0;  // the blocks inside the component's own size
    int blocksHigh = 0;
    int hSampling = 1;
    int vSampling = 1;
    std::uint16_t dcQuant = 0;
    std::vector<std::int16_t> dc;  // row by row
  };
  std::vector<Component> components;
  bool rgb = false;  // three components stored as R, G, B rather than Y, Cb, Cr
  // How the last sequential scan was read: on two threads, and whether the second thread's half
  // was kept (met by the first, or split at a restart marker).
  bool split = false;
  bool secondHalfKept = false;
};

// Reads the DC coefficients of the JPEG data[0, size).
CodecResult readJpegDcCoefficients(const std::uint8_t* data, std::size_t size,
                                   JpegDcCoefficients& out,
                                   const JpegDcOptions& options = {}) noexcept;

// The picture at 1/8 of the size (sides rounded up), 24-bit BGR, not turned upright: each pixel
// is its blocks' average, computed as libjpeg's 1/8 inverse DCT and colour conversion compute it;
// subsampled colour comes from the nearest block (libjpeg's own 1/8 decode sharpens it a little
// from the first AC coefficients). out is changed only on success.
CodecResult readJpegDc(const std::uint8_t* data, std::size_t size, Bitmap& out,
                       const JpegDcOptions& options = {}) noexcept;

}  // namespace vorlino
