// Reading a JPEG file a few rows at a time, for work that never holds the whole picture: the file
// is read through a small buffer and rows are handed out top to bottom. The pixels are those of
// readJpeg (same inverse DCT, block smoothing and BGR output), for the files whose colours come
// out directly: grey, YCbCr and RGB. CMYK and YCCK files are declined at open, so that the caller
// can use the whole-picture decoder instead.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "imagefile/codec.h"

namespace vorlino {

class JpegRowReader {
 public:
  JpegRowReader();
  ~JpegRowReader();
  JpegRowReader(const JpegRowReader&) = delete;
  JpegRowReader& operator=(const JpegRowReader&) = delete;

  // Opens the file and reads its header. Sides are limited by the format itself (65500); there is
  // no pixel-count limit, since rows are never held all at once. ceUnsupported for colour spaces
  // this reader does not stream (the whole-picture decoder reads them).
  CodecResult open(const std::string& fileName) noexcept;
  int width() const;
  int height() const;

  // Decodes the next count rows (24-bit BGR, width * 3 bytes each) into rows, stride bytes apart.
  // A damaged or truncated file fails; so does asking past the last row.
  CodecResult readRows(std::uint8_t* rows, std::size_t stride, int count) noexcept;

  // Checks the end of the file after the last row.
  CodecResult finish() noexcept;

  struct State;  // libjpeg's structures, kept out of this header

 private:
  std::unique_ptr<State> s_;
};

}  // namespace vorlino
