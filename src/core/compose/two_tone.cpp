#include "compose/bitmap_filters.h"
#include "compose/pixel_blocks.h"

namespace vorlino {
namespace {

struct Tones {
  unsigned threshold;
  std::uint8_t dark[3];
  std::uint8_t light[3];
};

VORLINO_ALWAYS_INLINE void twoToneRows(Bitmap& bitmap, const Tones& tones, int y0, int y1) {
  const auto threshold = static_cast<std::uint16_t>(tones.threshold);
  const std::uint8_t d0 = tones.dark[0], d1 = tones.dark[1], d2 = tones.dark[2];
  const std::uint8_t l0 = tones.light[0], l1 = tones.light[1], l2 = tones.light[2];
  for (int y = y0; y < y1; ++y)
    blocks::forEachBlock(bitmap.width(), bitmap.row(y), [&](std::uint8_t* p) VORLINO_LAMBDA_INLINE {
      for (int k = 0; k < blocks::kPixels; ++k) {
        std::uint8_t* q = p + 3 * k;
        const auto sum = static_cast<std::uint16_t>(18 * q[0] + 183 * q[1] + 54 * q[2]);
        const bool light = (sum >> 8) > threshold;
        q[0] = light ? l0 : d0;
        q[1] = light ? l1 : d1;
        q[2] = light ? l2 : d2;
      }
    });
}

void twoToneBaseline(Bitmap& bitmap, const Tones& tones, int y0, int y1) {
  twoToneRows(bitmap, tones, y0, y1);
}
VORLINO_AVX2 void twoToneAvx2(Bitmap& bitmap, const Tones& tones, int y0, int y1) {
  twoToneRows(bitmap, tones, y0, y1);
}

}  // namespace

void TwoToneBitmap(Bitmap& bitmap, int threshold, Color dark, Color light) {
  if (threshold < 1 || threshold > 254 || bitmap.empty()) return;
  blocks::require24(bitmap, "TwoToneBitmap");
  const Color d = ColorToRGB(dark);
  const Color l = ColorToRGB(light);
  const Tones tones{static_cast<unsigned>(threshold),
                    {blueOf(d), greenOf(d), redOf(d)},
                    {blueOf(l), greenOf(l), redOf(l)}};
  if (blocks::useAvx2())
    twoToneAvx2(bitmap, tones, 0, bitmap.height());
  else
    twoToneBaseline(bitmap, tones, 0, bitmap.height());
}

}  // namespace vorlino
