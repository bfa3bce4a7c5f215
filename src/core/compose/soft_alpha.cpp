#include "compose/soft_alpha.h"

#include <stdexcept>
#include <vector>

#include "compose/pixel_blocks.h"
#include "parallel/parallel.h"

namespace vorlino {
namespace {

// Alpha for every mask sum (0..765) at one opacity, through BlendMask's weight.
struct AlphaTable {
  std::uint8_t alpha[766];
  explicit AlphaTable(unsigned opacity) {
    for (unsigned sum = 0; sum < 766; ++sum) {
      const unsigned mean = sum / 3;
      unsigned f = 0;
      if (mean < 250) f = (((255 - mean) * 100) / 255 * opacity) / 100;
      alpha[sum] = alphaOfWeight(f);
    }
  }
};

}  // namespace

void SoftAlphaMask(Bitmap& target, const Bitmap& mask, int opacity) {
  const int bpp = target.bitsPerPixel();
  if (bpp != 24 && bpp != 32) throw std::invalid_argument("SoftAlphaMask: 24 or 32 bits only");
  blocks::require24(mask, "SoftAlphaMask");
  if (mask.width() < target.width() || mask.height() < target.height())
    throw std::invalid_argument("SoftAlphaMask: mask smaller than the target");
  if (opacity > 100) opacity = 100;
  // Opacity 0 or below gives weight 0 everywhere: alpha 255, the photo unchanged.
  const AlphaTable table(opacity > 0 ? static_cast<unsigned>(opacity) : 0u);
  const int width = target.width();
  Bitmap result;
  result.resetForOverwrite(width, target.height(), 32);
  parallelRows(target.height(), width, [&](int y0, int y1) {
    for (int y = y0; y < y1; ++y) {
      const std::uint8_t* src = target.row(y);
      const std::uint8_t* m = mask.row(y);
      std::uint8_t* dst = result.row(y);
      // Two loops rather than a test per pixel: the 24-bit one is the common case.
      if (bpp == 24) {
        for (int x = 0; x < width; ++x, src += 3, m += 3, dst += 4) {
          dst[0] = src[0];
          dst[1] = src[1];
          dst[2] = src[2];
          dst[3] = table.alpha[m[0] + m[1] + m[2]];
        }
      } else {
        for (int x = 0; x < width; ++x, src += 4, m += 3, dst += 4) {
          dst[0] = src[0];
          dst[1] = src[1];
          dst[2] = src[2];
          dst[3] = static_cast<std::uint8_t>((src[3] * table.alpha[m[0] + m[1] + m[2]]) / 255);
        }
      }
    }
  });
  result.Transparent = target.Transparent;
  result.TransparentColor = target.TransparentColor;
  target.swap(result);
}

void ComposeOverColour(Bitmap& bitmap, Color colour) {
  if (bitmap.bitsPerPixel() != 32) return;
  const Color plain = ColorToRGB(colour);
  const int t[3] = {blueOf(plain), greenOf(plain), redOf(plain)};
  // Every (alpha, byte) pair of each channel worked out once: a lookup per byte instead of a
  // multiply and a division.
  std::vector<std::uint8_t> tables(3 * 256 * 256);
  for (int j = 0; j < 3; ++j)
    for (int a = 0; a < 256; ++a) {
      const int f = static_cast<int>(weightOfAlpha(static_cast<std::uint8_t>(a)));
      std::uint8_t* row = tables.data() + (j * 256 + a) * 256;
      // As BlendMask: the signed product's division truncates toward zero.
      for (int c = 0; c < 256; ++c) row[c] = static_cast<std::uint8_t>(c + ((t[j] - c) * f) / 100);
    }
  const int width = bitmap.width();
  Bitmap result;
  result.resetForOverwrite(width, bitmap.height(), 24);
  parallelRows(bitmap.height(), width, [&](int y0, int y1) {
    for (int y = y0; y < y1; ++y) {
      const std::uint8_t* src = bitmap.row(y);
      std::uint8_t* dst = result.row(y);
      for (int x = 0; x < width; ++x, src += 4, dst += 3) {
        const std::size_t a = std::size_t{src[3]} * 256;
        dst[0] = tables[a + src[0]];
        dst[1] = tables[65536 + a + src[1]];
        dst[2] = tables[131072 + a + src[2]];
      }
    }
  });
  result.Transparent = bitmap.Transparent;
  result.TransparentColor = bitmap.TransparentColor;
  bitmap.swap(result);
}

}  // namespace vorlino
