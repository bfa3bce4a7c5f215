#include "imagefile/tga_writer.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "imagefile/write_support.h"

namespace vorlino {
namespace {

constexpr int kMaxPacket = 128;

}  // namespace

// Encodes one row of `count` pixels of `size` bytes. At each pixel: a run packet when it equals
// the next one; otherwise a raw packet up to the first pair of equal neighbours. When no pair
// follows, the row's last pixel is left for a raw packet of its own.
void encodeTargaRow(const std::uint8_t* row, int count, int size, ByteWriter& out) {
  auto same = [&](int a, int b) {
    return std::memcmp(row + a * size, row + b * size, static_cast<std::size_t>(size)) == 0;
  };
  int i = 0;
  while (i < count) {
    if (i + 1 < count && same(i, i + 1)) {
      int run = 2;
      while (run < kMaxPacket && i + run < count && same(i, i + run)) ++run;
      out.u8(static_cast<std::uint8_t>(0x80 + run - 1));
      out.write(row + i * size, static_cast<std::size_t>(size));
      i += run;
      continue;
    }
    int raw = 1;
    if (i + 1 < count) {
      // Stops at the first pair of equal neighbours, at the row's last pixel, or at a full packet.
      int j = i + 1;
      while (j + 1 < count && j - i < kMaxPacket && !same(j, j + 1)) ++j;
      raw = j - i;
    }
    out.u8(static_cast<std::uint8_t>(raw - 1));
    out.write(row + i * size, static_cast<std::size_t>(raw) * static_cast<std::size_t>(size));
    i += raw;
  }
}

void writeTargaHeader(ByteWriter& out, int width, int height, bool mapped, bool alpha) {
  out.u8(0);
  out.u8(mapped ? 1 : 0);
  out.u8(mapped ? 9 : 10);
  out.u16le(0);
  out.u16le(256);
  out.u8(24);
  out.u16le(0);
  out.u16le(0);
  out.u16le(static_cast<std::uint16_t>(width));
  out.u16le(static_cast<std::uint16_t>(height));
  out.u8(mapped ? 8 : alpha ? 32 : 24);
  out.u8(alpha ? 0x28 : 0x20);  // top row first; with alpha, 8 alpha bits per pixel
}

namespace {

CodecResult writeTargaBody(const Bitmap& bitmap, ByteWriter& out) {
  const bool mapped = bitmap.bitsPerPixel() == 8;
  const bool alpha = bitmap.bitsPerPixel() == 32;
  writeTargaHeader(out, bitmap.width(), bitmap.height(), mapped, alpha);
  if (mapped)
    for (std::size_t i = 0; i < 256; ++i) {
      const PaletteColor c = paletteEntry(bitmap, i);
      out.u8(c.blue);
      out.u8(c.green);
      out.u8(c.red);
    }
  const int size = mapped ? 1 : alpha ? 4 : 3;
  for (int y = 0; y < bitmap.height(); ++y)
    encodeTargaRow(bitmap.row(y), bitmap.width(), size, out);
  return CodecResult::success();
}

}  // namespace

CodecResult WriteTarga(const Bitmap& bitmap, ByteWriter& out, const TargaOptions&) noexcept {
  return runCodec([&] {
    return writeAs8Or24Or32Bits(bitmap, [&](const Bitmap& b) { return writeTargaBody(b, out); });
  });
}

}  // namespace vorlino
