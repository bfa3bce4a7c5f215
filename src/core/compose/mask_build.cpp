#include "compose/mask_build.h"

#include <algorithm>
#include <cmath>

#include "compose/bitmap_filters.h"
#include "compose/blend_mask.h"
#include "compose/resample.h"
#include "compose/soft_alpha.h"
#include "imagefile/palette/reduce_palette.h"

namespace vorlino {

std::optional<Bitmap> BuildMaskBitmap(const Bitmap& maskPicture, int width, int height,
                                      const MaskOptions& options) noexcept {
  try {
    Bitmap mask;
    if (options.fit) {
      // The resampler converts its source in place; a 24-bit picture is left as it is, so only
      // another depth needs a private copy.
      Bitmap converted;
      const Bitmap* source = &maskPicture;
      if (maskPicture.bitsPerPixel() != 24) {
        converted = maskPicture;
        converted.convertTo24();
        source = &converted;
      }
      if (options.keepShape) {
        // Every pixel is written unless the picture is empty; a fresh bitmap is black.
        if (source->empty())
          mask.reset(width, height, 24);
        else
          mask.resetForOverwrite(width, height, 24);
        FitKeepShape(*source, options.cuts, mask);
      } else {
        ResampleBitmap(static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height),
                       rkLanczos3, 0.0f, const_cast<Bitmap&>(*source), mask);
      }
      ReplaceColour(mask, kWhite, kWhite, 12);
    } else {
      mask.reset(width, height, 24);
      TileBitmap(mask, maskPicture, 100, kNoColor, 0);
    }
    if (options.soften) {
      SoftenBitmap(mask);
      SoftenBitmap(mask);
    }
    if (options.format == rfTransparent || options.twoTone)
      TwoToneBitmap(mask, 128, kBlack, kWhite);
    return mask;
  } catch (...) {
    return std::nullopt;
  }
}

void ApplyMaskBitmap(Bitmap& working, const Bitmap& mask, TResultFormat format,
                     const BlendOptions& blend) {
  if (format == rfTransparenceProgressive) {
    SoftAlphaMask(working, mask, blend.opacity);
    working.TransparentColor = ColorToRGB(blend.colour);
    working.Transparent = false;
    return;
  }
  ComposeOverColour(working, working.TransparentColor);
  if (format == rfTransparent) {
    // The reduction reads the transparent colour from the bitmap, so it is set first.
    working.TransparentColor = kTransparentKey;
    ReduceToPalette(working, 256, 65);
    BlendMask(working, mask, 100, kTransparentKey);
    working.Transparent = true;
  } else {
    BlendMask(working, mask, blend.opacity, blend.colour);
    working.Transparent = false;
  }
}

void FitSize(int& width, int& height, int boxWidth, int boxHeight) {
  if (width <= 0 || height <= 0 || boxWidth <= 0 || boxHeight <= 0) return;
  const double x =
      std::max(static_cast<double>(width) / boxWidth, static_cast<double>(height) / boxHeight);
  // Halves go to the even neighbour under the default rounding mode.
  width = static_cast<int>(std::nearbyint(width / x));
  height = static_cast<int>(std::nearbyint(height / x));
  if (width > boxWidth) width = boxWidth;
  if (height > boxHeight) height = boxHeight;
}

}  // namespace vorlino
