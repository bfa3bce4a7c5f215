// Helpers shared by the files of the GDI player; not part of its interface.
#pragma once

#include <algorithm>
#include <cmath>
#include <numbers>

#include "imagefile/metafile/canvas.h"

namespace vorlino::gdi_detail {

constexpr double kPi = std::numbers::pi;

inline bool finite(MfPoint p) {
  return std::isfinite(p.x) && std::isfinite(p.y);
}

// Output coordinates beyond this are far outside any picture; they are clamped so that a
// painter never sees values it cannot represent.
constexpr double kFar = 1e7;
inline MfPoint clampFar(MfPoint p) {
  if (!finite(p)) return {0, 0};
  return {std::clamp(p.x, -kFar, kFar), std::clamp(p.y, -kFar, kFar)};
}

inline int roundToInt(double v) {
  if (!std::isfinite(v)) return 0;
  return static_cast<int>(std::nearbyint(std::clamp(v, -kFar, kFar)));
}

inline MfPath rectPath(const MfRect& r) {
  MfPath p;
  p.moveTo({double(r.left), double(r.top)});
  p.lineTo({double(r.right), double(r.top)});
  p.lineTo({double(r.right), double(r.bottom)});
  p.lineTo({double(r.left), double(r.bottom)});
  p.close();
  return p;
}

}  // namespace vorlino::gdi_detail
