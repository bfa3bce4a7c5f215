// Drawing a laid-out image onto a printer page in horizontal bands, so that pending events can
// run between the bands and a cancelled job stops drawing at once.
#pragma once

#include <QPainter>
#include <functional>

#include "view/img_zoom.h"

namespace vorlino {

// Bands hold about this many bitmap pixels each (at least kMinBandRows rows).
inline constexpr int kBandPixels = 1 << 20;
inline constexpr int kMinBandRows = 16;

// Draws zoom's bitmap on painter exactly where and as large as zoom.Draw(false) would (the same
// source rectangle stretched onto the same target, clipped to zoom.Bounds(), colour-on-colour,
// nothing filled around it), as a series of bands of bandRows bitmap rows (0: by kBandPixels).
// Each band but the last reaches one bitmap row into the next, so that no seam shows between
// them. keepGoing runs before each band; when it returns false, drawing stops and the painter is
// left alone (keepGoing may have ended it). Returns the surface rectangle the image covers (empty
// when nothing is drawn) and whether every band was drawn. As with Draw, the painter's clip stays
// intersected with zoom.Bounds() afterwards.
struct TBandedDrawResult {
  QRect covered;
  bool complete = false;
};
TBandedDrawResult drawInBands(const TImageZoom& zoom, QPainter& painter,
                              const std::function<bool()>& keepGoing, int bandRows = 0);

}  // namespace vorlino
