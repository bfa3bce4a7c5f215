#include "compose/resample_alpha.h"

#include "parallel/parallel.h"

namespace vorlino {

void ResampleKeepingAlpha(std::uint32_t newWidth, std::uint32_t newHeight, TResampleKernel kernel,
                          float radius, Bitmap& source, Bitmap& target) {
  if (source.bitsPerPixel() != 32) {
    ResampleBitmap(newWidth, newHeight, kernel, radius, source, target);
    return;
  }
  const int width = source.width();
  Bitmap colours, alpha;
  colours.resetForOverwrite(width, source.height(), 24);
  alpha.reset(width, source.height(), 24);
  parallelRows(source.height(), width, [&](int y0, int y1) {
    for (int y = y0; y < y1; ++y) {
      const std::uint8_t* src = source.row(y);
      std::uint8_t* c = colours.row(y);
      std::uint8_t* a = alpha.row(y);
      for (int x = 0; x < width; ++x, src += 4, c += 3, a += 3) {
        c[0] = src[0];
        c[1] = src[1];
        c[2] = src[2];
        a[0] = src[3];
      }
    }
  });
  Bitmap resizedColours, resizedAlpha;
  ResampleBitmap(newWidth, newHeight, kernel, radius, colours, resizedColours);
  colours.clear();
  ResampleBitmap(newWidth, newHeight, kernel, radius, alpha, resizedAlpha);
  alpha.clear();
  Bitmap result;
  result.resetForOverwrite(resizedColours.width(), resizedColours.height(), 32);
  const int newSide = result.width();
  parallelRows(result.height(), newSide, [&](int y0, int y1) {
    for (int y = y0; y < y1; ++y) {
      const std::uint8_t* c = resizedColours.row(y);
      const std::uint8_t* a = resizedAlpha.row(y);
      std::uint8_t* dst = result.row(y);
      for (int x = 0; x < newSide; ++x, c += 3, a += 3, dst += 4) {
        dst[0] = c[0];
        dst[1] = c[1];
        dst[2] = c[2];
        dst[3] = a[0];
      }
    }
  });
  result.Transparent = source.Transparent;
  result.TransparentColor = source.TransparentColor;
  target.swap(result);
}

}  // namespace vorlino
