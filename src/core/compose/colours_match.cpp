#include <cstdlib>

#include "compose/bitmap_filters.h"

namespace vorlino {

bool ColoursMatch(Color a, Color b, int tolerance) {
  const Color pa = ColorToRGB(a);
  const Color pb = ColorToRGB(b);
  return std::abs(redOf(pa) - redOf(pb)) <= tolerance &&
         std::abs(greenOf(pa) - greenOf(pb)) <= tolerance &&
         std::abs(blueOf(pa) - blueOf(pb)) <= tolerance;
}

}  // namespace vorlino
