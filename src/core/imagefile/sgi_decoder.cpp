// SGI image file decoder.
//
// Reads verbatim and run-length coded files of 1 or 2 bytes per sample (2-byte samples keep their
// high byte) with any dimension count and 1 to 4 or more channels: one channel gives an 8-bit grey
// palette bitmap, grey and alpha or four channels give 32 bits with alpha, three give 24 bits;
// channels after the fourth are ignored. Rows are stored bottom-up, one plane per channel. Only
// the normal colour-map kind is read (the dithered, screen and colour-map kinds are obsolete).
#include <cstring>

#include "bitmap/checked.h"
#include "imagefile/decoders.h"
#include "imagefile/rows/pixel_rows.h"
#include "imagefile/rows/run_length.h"

namespace vorlino {

namespace {

constexpr std::size_t kHeaderBytes = 512;
constexpr std::uint16_t kMagic = 474;

CodecResult decodeSgi(ByteReader& in, Bitmap& out, const DecodeLimits& limits) {
  if (in.u16be() != kMagic) return CodecResult::fail(CodecError::ceSignature, "not SGI");
  const int storage = in.u8();
  const int bpc = in.u8();
  const int dimension = in.u16be();
  const std::size_t xsize = in.u16be();
  std::size_t ysize = in.u16be();
  std::size_t zsize = in.u16be();
  in.seek(104);
  const std::uint32_t colourMap = in.u32be();
  in.seek(kHeaderBytes);
  if (in.truncated()) return CodecResult::fail(CodecError::ceDamaged, "short header");
  if (storage > 1 || (bpc != 1 && bpc != 2) || dimension < 1 || dimension > 3)
    return CodecResult::fail(CodecError::ceDamaged, "bad header");
  if (colourMap != 0) return CodecResult::fail(CodecError::ceUnsupported, "colour map kind");
  if (dimension == 1) ysize = 1;
  if (dimension < 3) zsize = 1;
  if (zsize == 0) return CodecResult::fail(CodecError::ceDamaged, "no channels");
  if (auto r = checkDimensions(xsize, ysize, limits); !r.ok()) return r;

  const std::size_t channels = zsize == 2 ? 2 : std::min<std::size_t>(zsize, 4);
  const int outBits = channels == 1 ? 8 : channels == 3 ? 24 : 32;
  const int pixelBytes = outBits / 8;
  const std::size_t rowBytes = xsize * static_cast<std::size_t>(bpc);

  // Where each row of each channel starts, and how many bytes it may use.
  const std::size_t rows = ysize * zsize;
  std::vector<std::uint32_t> starts, lengths;
  if (storage == 0) {
    const auto bytes = checkedMul(rowBytes, rows);
    if (!bytes || *bytes > in.remaining())
      return CodecResult::fail(CodecError::ceDamaged, "file too short");
  } else {
    if (rows > in.remaining() / 8)
      return CodecResult::fail(CodecError::ceDamaged, "file too short");
    starts.resize(rows);
    lengths.resize(rows);
    for (auto& s : starts) s = in.u32be();
    for (auto& l : lengths) l = in.u32be();
  }

  Bitmap bmp;
  bmp.reset(static_cast<int>(xsize), static_cast<int>(ysize), outBits);
  if (outBits == 8) bmp.palette() = greyPalette(256);
  std::vector<std::uint8_t> samples(rowBytes);
  std::vector<std::uint8_t> plane(xsize);
  for (std::size_t y = 0; y < ysize; ++y) {
    std::uint8_t* row = bmp.row(static_cast<int>(ysize - 1 - y));
    for (std::size_t c = 0; c < channels; ++c) {
      const std::size_t index = c * ysize + y;
      if (storage == 0) {
        in.seek(kHeaderBytes + index * rowBytes);
        if (!in.read(samples.data(), rowBytes))
          return CodecResult::fail(CodecError::ceDamaged, "truncated");
      } else {
        // Each row is coded by itself; a row's packets may not reach beyond its stated length.
        if (starts[index] > in.size() || lengths[index] > in.size() - starts[index])
          return CodecResult::fail(CodecError::ceDamaged, "row outside the file");
        ByteReader rowData(in.data() + starts[index], lengths[index]);
        RunDecoder runs(rowData, RunScheme::rsSgi, bpc);
        if (!runs.read(samples.data(), xsize))
          return CodecResult::fail(CodecError::ceDamaged, "truncated row");
      }
      const std::uint8_t* values = samples.data();
      if (bpc == 2) {
        highBytesBE(samples.data(), xsize, plane.data());
        values = plane.data();
      }
      if (channels == 1) {
        std::memcpy(row, values, xsize);
      } else if (channels == 2) {
        // Grey and alpha: the grey goes into blue, green and red.
        for (int k = 0; k < (c == 0 ? 3 : 1); ++k)
          interleavePlane(values, xsize, row + (c == 0 ? k : 3), 4);
      } else {
        const int channel = c < 3 ? 2 - static_cast<int>(c) : 3;
        interleavePlane(values, xsize, row + channel, pixelBytes);
      }
    }
  }
  out = std::move(bmp);
  return CodecResult::success();
}

}  // namespace

CodecResult readSgi(ByteReader& in, Bitmap& out, const DecodeLimits& limits) noexcept {
  return runCodec([&] { return decodeSgi(in, out, limits); });
}

}  // namespace vorlino
