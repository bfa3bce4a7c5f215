// Kodak Photo CD decoder: the Base image (768 x 512) of an image pac.
//
// Checks the "PCD_IPI" identifier of the information sector, reads the Base image at sector 96
// (pairs of luma rows followed by one row of each half-size chroma component, 4:2:0) and converts
// PhotoYCC to RGB with the published conversion for 8-bit displays, each chroma sample covering
// 2 x 2 pixels. The orientation in the information sector turns the picture: a quarter turn
// anticlockwise (1) or clockwise (3) gives 512 x 768, a half turn (2) keeps the size. The higher
// resolutions (4Base, 16Base) and the smaller overviews are not read.
#include <array>
#include <cstddef>
#include <string>

#include "bitmap/checked.h"
#include "imagefile/decoders.h"

namespace vorlino {

namespace {

constexpr std::size_t kSector = 2048;
constexpr std::size_t kInfoSector = 1;
constexpr std::size_t kOrientationOffset = 1538;
constexpr std::size_t kBaseSector = 96;
constexpr int kBaseWidth = 768, kBaseHeight = 512;

// PhotoYCC to RGB, in 1/1024 steps:
//   L = 1.3584 Y, C1' = 2.2179 (C1 - 156), C2' = 1.8215 (C2 - 137),
//   R = L + C2', G = L - 0.194 C1' - 0.509 C2', B = L + C1'.
struct YccTables {
  std::array<int, 256> luma{}, c1Blue{}, c1Green{}, c2Red{}, c2Green{};
  YccTables() {
    for (int v = 0; v < 256; ++v) {
      luma[v] = static_cast<int>(1.3584 * 1024 * v);
      c1Blue[v] = static_cast<int>(2.2179 * 1024 * (v - 156));
      c2Red[v] = static_cast<int>(1.8215 * 1024 * (v - 137));
      c1Green[v] = static_cast<int>(-0.194 * 2.2179 * 1024 * (v - 156));
      c2Green[v] = static_cast<int>(-0.509 * 1.8215 * 1024 * (v - 137));
    }
  }
};

std::uint8_t clampByte(int v1024) {
  const int v = v1024 / 1024;
  return static_cast<std::uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v);
}

CodecResult decodePcd(ByteReader& in, Bitmap& out, const DecodeLimits& limits) {
  const std::size_t pairBytes = 2 * kBaseWidth + kBaseWidth;  // two luma rows, two half chroma rows
  const std::size_t end = kBaseSector * kSector + pairBytes * (kBaseHeight / 2);
  in.seek(kInfoSector * kSector);
  const std::uint8_t* info = in.take(7);
  if (!info || std::string(reinterpret_cast<const char*>(info), 7) != "PCD_IPI")
    return CodecResult::fail(CodecError::ceSignature, "not a Photo CD image pac");
  if (in.size() < end) return CodecResult::fail(CodecError::ceDamaged, "no Base image");
  const int orientation = in.data()[kInfoSector * kSector + kOrientationOffset] & 3;
  const bool turned = orientation == 1 || orientation == 3;
  const int outWidth = turned ? kBaseHeight : kBaseWidth;
  const int outHeight = turned ? kBaseWidth : kBaseHeight;
  if (auto r = checkDimensions(outWidth, outHeight, limits); !r.ok()) return r;

  Bitmap bmp;
  bmp.resetForOverwrite(outWidth, outHeight, 24);
  // Where source pixel (x, y) lands: base + x * xStep + y * yStep, chosen once per orientation.
  const auto stride = static_cast<std::ptrdiff_t>(bmp.stride());
  const std::ptrdiff_t lastRow = stride * (outHeight - 1);
  std::ptrdiff_t base = 0, xStep = 3, yStep = stride;
  if (orientation == 1) base = lastRow, xStep = -stride, yStep = 3;  // anticlockwise
  if (orientation == 2) base = lastRow + 3 * (outWidth - 1), xStep = -3, yStep = -stride;
  if (orientation == 3) base = 3 * (outWidth - 1), xStep = stride, yStep = -3;  // clockwise

  const YccTables t;
  std::uint8_t* bits = bmp.bits();
  const std::uint8_t* pair = in.data() + kBaseSector * kSector;
  for (int y = 0; y < kBaseHeight; y += 2, pair += pairBytes) {
    const std::uint8_t* c1 = pair + 2 * kBaseWidth;
    const std::uint8_t* c2 = c1 + kBaseWidth / 2;
    for (int dy = 0; dy < 2; ++dy) {
      const std::uint8_t* luma = pair + dy * kBaseWidth;
      std::uint8_t* px = bits + base + (y + dy) * yStep;
      for (int x = 0; x < kBaseWidth; ++x, px += xStep) {
        const int l = t.luma[luma[x]];
        const std::uint8_t u = c1[x / 2], v = c2[x / 2];
        px[0] = clampByte(l + t.c1Blue[u]);
        px[1] = clampByte(l + t.c1Green[u] + t.c2Green[v]);
        px[2] = clampByte(l + t.c2Red[v]);
      }
    }
  }
  out = std::move(bmp);
  return CodecResult::success();
}

}  // namespace

CodecResult readPcd(ByteReader& in, Bitmap& out, const DecodeLimits& limits) noexcept {
  return runCodec([&] { return decodePcd(in, out, limits); });
}

}  // namespace vorlino
