// Building the mask bitmap from the user's mask picture, and applying it to the photo: the
// pixel side of "Appliquer le masque", shared by the window and the command-line tool so that both
// give the same bytes.
#pragma once

#include <optional>

#include "bitmap/bitmap.h"
#include "compose/fit_keep_shape.h"

namespace vorlino {

// The result formats of the side panel's list, by item index.
enum TResultFormat { rfCouleursRVB = 0, rfTransparent = 1, rfTransparenceProgressive = 2 };

// The side-panel settings that shape the mask bitmap.
struct MaskOptions {
  bool fit = true;       // "Ajuster le masque"; false: "Répéter le masque"
  bool soften = false;   // "Adoucir"
  bool twoTone = false;  // "Bichromie"
  TResultFormat format = rfCouleursRVB;
  // With fit: "Ajuster sans déformer", the mask cut in nine parts whose corners keep their shape.
  bool keepShape = false;
  // The cuts named beside the mask file, turned with the picture; nothing: found on the picture.
  std::optional<MaskCuts> cuts;
};

// The settings read when the mask is blended in the "Couleurs RVB" format; in "Transparence
// progressive" the opacity shapes the alpha and the colour is the one the picture is later composed
// over where a file or a device cannot keep the alpha.
struct BlendOptions {
  int opacity = 100;
  Color colour = kWhite;
};

// Makes a 24-bit mask bitmap of exactly width x height from the mask picture: fitted (Lanczos 3,
// plainly or keeping its shape, near-white snapped to white) or tiled, then softened twice, then
// reduced to two tones when asked or when the format is "Transparent". The mask picture is not
// changed. Any failure (for example memory) yields nothing.
std::optional<Bitmap> BuildMaskBitmap(const Bitmap& maskPicture, int width, int height,
                                      const MaskOptions& options) noexcept;

// Blends a mask bitmap into the working bitmap in the chosen format and sets its transparency:
// "Transparent" keys the masked area with kTransparentKey after a 256-colour reduction (options
// 65), "Couleurs RVB" pulls towards the colour at the opacity, "Transparence progressive" makes
// the mask the alpha of a 32-bit picture (SoftAlphaMask) and keeps the colour in TransparentColor
// as the one to compose over. A 32-bit working bitmap given one of the first two formats is first
// composed over its TransparentColor. Errors propagate.
void ApplyMaskBitmap(Bitmap& working, const Bitmap& mask, TResultFormat format,
                     const BlendOptions& blend);

// Shrinks or enlarges width x height to touch the box on one side, keeping the proportions;
// nothing changes when any of the four values is 0 or negative.
void FitSize(int& width, int& height, int boxWidth, int boxHeight);

}  // namespace vorlino
