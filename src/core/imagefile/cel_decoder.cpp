// Autodesk Animator cel and picture decoder.
//
// Reads the files with the 32-byte 0x9119 header (width, height, position, depth 8, no
// compression), whose 256-colour palette of 6-bit components precedes the pixels when the file
// is long enough to hold it (otherwise the indices are shown as greys), and the older 320 x 200
// picture without a header: 64000 pixel bytes and a 768-byte palette. Pixels are 8-bit indices,
// top row first. Not read: compressed cels and the Animator Pro cels (FLIC files, magic 0xAF12).
#include <cstring>

#include "bitmap/checked.h"
#include "imagefile/decoders.h"
#include "imagefile/rows/pixel_rows.h"
#include "imagefile/rows/run_length.h"

namespace vorlino {

namespace {

constexpr std::uint16_t kMagic = 0x9119;
constexpr std::size_t kHeaderBytes = 32;
constexpr std::size_t kPaletteBytes = 768;
constexpr int kOldWidth = 320, kOldHeight = 200;
constexpr std::size_t kOldPixels = 64000;

bool isVgaPalette(const std::uint8_t* p) {
  for (std::size_t i = 0; i < kPaletteBytes; ++i)
    if (p[i] > 63) return false;
  return true;
}

CodecResult decodeCel(ByteReader& in, Bitmap& out, const DecodeLimits& limits) {
  int width = 0, height = 0;
  const std::uint8_t* palette = nullptr;
  const std::uint8_t* pixels = nullptr;
  if (in.u16le() == kMagic) {
    width = in.u16le();
    height = in.u16le();
    in.skip(4);  // position on the screen
    const int depth = in.u8();
    const int compression = in.u8();
    in.seek(kHeaderBytes);
    if (in.truncated()) return CodecResult::fail(CodecError::ceDamaged, "short header");
    if (depth != 8 || compression != 0)
      return CodecResult::fail(CodecError::ceUnsupported, "depth or compression");
    if (auto r = checkDimensions(static_cast<std::uint64_t>(width),
                                 static_cast<std::uint64_t>(height), limits);
        !r.ok())
      return r;
    const std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    if (count > in.remaining()) return CodecResult::fail(CodecError::ceDamaged, "file too short");
    if (in.remaining() - count >= kPaletteBytes) palette = in.take(kPaletteBytes);
    pixels = in.take(count);
  } else if (in.size() == kOldPixels + kPaletteBytes) {
    // No header: which end holds the palette is told by its 6-bit components.
    width = kOldWidth;
    height = kOldHeight;
    const std::uint8_t* start = in.data();
    const bool paletteFirst = !isVgaPalette(start + kOldPixels) && isVgaPalette(start);
    palette = paletteFirst ? start : start + kOldPixels;
    pixels = paletteFirst ? start + kPaletteBytes : start;
  } else if (in.size() >= 6 && in.data()[4] == 0x12 && in.data()[5] == 0xAF) {
    return CodecResult::fail(CodecError::ceUnsupported, "Animator Pro cel");
  } else {
    return CodecResult::fail(CodecError::ceSignature, "not an Animator picture");
  }

  Bitmap bmp;
  bmp.reset(width, height, 8);
  if (palette) {
    for (std::size_t i = 0; i < 256; ++i)
      bmp.palette()[i] = vgaColor(palette[3 * i], palette[3 * i + 1], palette[3 * i + 2]);
  } else {
    bmp.palette() = greyPalette(256);
  }
  const std::size_t w = static_cast<std::size_t>(width);
  for (int y = 0; y < height; ++y)
    std::memcpy(bmp.row(y), pixels + static_cast<std::size_t>(y) * w, w);
  out = std::move(bmp);
  return CodecResult::success();
}

}  // namespace

CodecResult readCel(ByteReader& in, Bitmap& out, const DecodeLimits& limits) noexcept {
  return runCodec([&] { return decodeCel(in, out, limits); });
}

}  // namespace vorlino
