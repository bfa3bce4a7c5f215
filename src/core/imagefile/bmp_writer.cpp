#include "imagefile/bmp_writer.h"

#include <algorithm>
#include <cstddef>

#include "bitmap/checked.h"
#include "imagefile/write_support.h"

namespace vorlino {
namespace {

constexpr std::uint32_t kHeadersSize = 14 + 40;

CodecResult writeBmpBody(const Bitmap& bitmap, ByteWriter& out) {
  const int bpp = bitmap.bitsPerPixel();
  const std::size_t tableEntries =
      bpp <= 8 ? std::size_t{1} << bpp : std::min<std::size_t>(bitmap.palette().size(), 256);
  const auto stride =
      rowStride(static_cast<std::size_t>(bitmap.width()), static_cast<unsigned>(bpp));
  const auto imageSize =
      stride ? checkedMul(*stride, static_cast<std::size_t>(bitmap.height())) : std::nullopt;
  const std::size_t dataOffset = kHeadersSize + 4 * tableEntries;
  const auto fileSize = imageSize ? checkedAdd(*imageSize, dataOffset) : std::nullopt;
  if (!fileSize || *fileSize > 0xFFFFFFFFu)
    return CodecResult::fail(CodecError::ceTooLarge, "BMP file above 4 GiB");

  out.reserve(out.size() + *fileSize);
  BmpInfoHeader info;
  info.width = bitmap.width();
  info.height = bitmap.height();
  info.bitsPerPixel = static_cast<std::uint16_t>(bpp);
  info.imageSize = static_cast<std::uint32_t>(*imageSize);
  info.colorsUsed = static_cast<std::uint32_t>(tableEntries);
  writeBmpHeaders(out, info, static_cast<std::uint32_t>(dataOffset),
                  static_cast<std::uint32_t>(*fileSize));
  for (std::size_t i = 0; i < tableEntries; ++i) {
    const PaletteColor c = paletteEntry(bitmap, i);
    const std::uint8_t entry[4] = {c.blue, c.green, c.red, 0};
    out.write(entry, 4);
  }
  // Bitmap rows are padded to 4 bytes like BMP rows; the padding is written as zeros so that the
  // same picture always gives the same file.
  const std::size_t used = (static_cast<std::size_t>(bitmap.width()) * bpp + 7) / 8;
  const std::uint8_t zeros[4] = {};
  for (int y = bitmap.height() - 1; y >= 0; --y) {
    out.write(bitmap.row(y), used);
    out.write(zeros, *stride - used);
  }
  return CodecResult::success();
}

}  // namespace

void writeBmpHeaders(ByteWriter& out, const BmpInfoHeader& info, std::uint32_t dataOffset,
                     std::uint32_t fileSize) {
  out.u8('B');
  out.u8('M');
  out.u32le(fileSize);
  out.u16le(0);
  out.u16le(0);
  out.u32le(dataOffset);
  out.u32le(40);
  out.u32le(static_cast<std::uint32_t>(info.width));
  out.u32le(static_cast<std::uint32_t>(info.height));
  out.u16le(1);
  out.u16le(info.bitsPerPixel);
  out.u32le(info.compression);
  out.u32le(info.imageSize);
  out.u32le(static_cast<std::uint32_t>(kBmpPixelsPerMetre));
  out.u32le(static_cast<std::uint32_t>(kBmpPixelsPerMetre));
  out.u32le(info.colorsUsed);
  out.u32le(0);
}

CodecResult WriteBmp(const Bitmap& bitmap, ByteWriter& out, const BmpOptions&) noexcept {
  return runCodec([&] {
    if (bitmap.bitsPerPixel() == 32) return writeBmpBody(copyAs24Bits(bitmap), out);
    return writeBmpBody(bitmap, out);
  });
}

}  // namespace vorlino
