// Writers that take a picture a few rows at a time, top to bottom, for work that never holds the
// whole picture. Each gives, byte for byte, the file its whole-picture writer makes of the same
// 24-bit pixels. Everything a writer puts before the first row comes from the RowImageInfo given
// at creation, so that what a file carries besides its pixels travels there.
#pragma once

#include <cstdint>
#include <memory>

#include "imagefile/codec.h"
#include "imagefile/replacing_file.h"
#include "imagefile/save_image.h"

namespace vorlino {

// The picture about to be written: 24-bit BGR rows of width pixels, height rows.
struct RowImageInfo {
  int width = 0;
  int height = 0;
};

class RowEncoder {
 public:
  virtual ~RowEncoder() = default;
  // Writes the next count rows, stride bytes apart. The rows are not changed.
  virtual CodecResult writeRows(const std::uint8_t* rows, std::size_t stride,
                                int count) noexcept = 0;
  // After the last row: completes the file (the caller then commits it).
  virtual CodecResult finish() noexcept = 0;
};

// An encoder for the writer of format into file, its header written; nullptr when that writer
// needs the whole picture (GIF, RLE, WebP) or cannot hold a picture of that size, so that the
// caller writes it whole instead. Failures of the header's write come back through the first
// writeRows.
std::unique_ptr<RowEncoder> makeRowEncoder(SaveFormat format, const JpegOptions& jpeg,
                                           const RowImageInfo& info, ReplacingFile& file);

// The writers behind makeRowEncoder, one per file.
std::unique_ptr<RowEncoder> makeJpegRowEncoder(const JpegOptions& jpeg, const RowImageInfo& info,
                                               ReplacingFile& file);
std::unique_ptr<RowEncoder> makePngRowEncoder(const RowImageInfo& info, ReplacingFile& file);
std::unique_ptr<RowEncoder> makeTiffRowEncoder(const RowImageInfo& info, ReplacingFile& file);
std::unique_ptr<RowEncoder> makeBmpRowEncoder(const RowImageInfo& info, ReplacingFile& file);
std::unique_ptr<RowEncoder> makeTargaRowEncoder(const RowImageInfo& info, ReplacingFile& file);

}  // namespace vorlino
