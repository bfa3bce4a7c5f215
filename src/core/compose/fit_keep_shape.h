// "Ajuster sans déformer": fitting a mask to the photo without stretching its corners.
//
// Two vertical and two horizontal cut lines divide the mask into nine parts. The four corners are
// scaled by one factor in both directions, the top and bottom parts stretch only across, the left
// and right parts only down, and the centre both ways. Along each axis this is one continuous,
// piecewise-linear map from photo to mask positions, so the whole fit stays separable: the two
// passes of the Lanczos 3 resampler run with weights computed piece by piece, each output pixel
// weighting the mask pixels around its own centre whichever side of a cut they lie, so no seam
// appears where two parts meet.
#pragma once

#include <optional>
#include <string>

#include "bitmap/bitmap.h"
#include "compose/resample.h"

namespace vorlino {

// The four cut lines, in mask pixels: columns [0, left) form the left border, [right, width) the
// right one; rows [0, top) the top border, [bottom, height) the bottom one.
struct MaskCuts {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  friend bool operator==(const MaskCuts&, const MaskCuts&) = default;
};

// True when every border and the centre keep at least one pixel of a width x height mask.
bool cutsFitMask(const MaskCuts& cuts, int width, int height);

// The cuts a mask gets without a ".slices" file: the bounding box of its pixels at or above
// mid-grey (mean of the three channels 128 or more), each border widened to at least 1 % of its
// side (and one pixel). Nothing when the mask has no such pixel or is under 3 pixels on a side:
// it is then fitted plainly.
std::optional<MaskCuts> findMaskCuts(const Bitmap& mask);

// The cuts of a width x height mask after it is turned clockwise by angle (0, 90, 180 or 270), as
// the quarter turns move its pixels.
MaskCuts turnCuts(const MaskCuts& cuts, int width, int height, int angle);

// The cuts for a mask picture turned clockwise by angle since it was loaded with slices (what its
// ".slices" file named): those turned with it; nothing without slices.
std::optional<MaskCuts> slicesOfTurnedPicture(const std::optional<MaskCuts>& slices,
                                              const Bitmap& picture, int angle);

// The ".slices" file that names the cuts of a mask file: same name, other extension.
std::string slicesPathFor(const std::string& maskPath);

// What a ".slices" file gave: cuts, or a French message explaining why its values were refused
// (the default cuts then apply); neither when there is no such file.
struct SlicesRead {
  std::optional<MaskCuts> cuts;
  std::string error;
};

// Reads the ".slices" file beside maskPath for a mask of width x height as loaded: four whole
// numbers, left, top, right and bottom, separated by spaces, commas or line breaks.
SlicesRead readMaskSlices(const std::string& maskPath, int width, int height);

// The corner factor (target pixels per mask pixel, between pixel centres as the resampler maps
// them): the one that keeps the borders in proportion to the photo's shorter side, reduced when
// needed so that opposite corners never overlap.
float keepShapeCornerScale(int maskWidth, int maskHeight, int width, int height,
                           const MaskCuts& cuts);

// The weights of one axis: srcSize mask pixels cut at cutStart and cutEnd mapped onto dstSize
// pixels with corners at cornerScale. When the corners take the plain fit's scale the three pieces
// are one straight map, and the plain list is returned.
TContributorList keepShapeContributors(int srcSize, int dstSize, int cutStart, int cutEnd,
                                       float cornerScale);

// Fits a 24-bit mask into target (already at the photo's size) keeping its shape; without cuts,
// or with cuts that do not fit the mask, the default ones; without those, the plain fit.
void FitKeepShape(const Bitmap& mask, const std::optional<MaskCuts>& cuts, Bitmap& target,
                  ResampleCode code = ResampleCode::kFastest);

}  // namespace vorlino
