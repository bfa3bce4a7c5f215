#include <algorithm>
#include <stdexcept>

#include "compose/bitmap_filters.h"
#include "compose/pixel_blocks.h"
#include "parallel/parallel.h"

namespace vorlino {

void ExchangePixels(Bitmap& first, Bitmap& second) {
  if (first.empty() || &first == &second) return;
  blocks::require24(first, "ExchangePixels");
  blocks::require24(second, "ExchangePixels");
  if (second.width() < first.width() || second.height() < first.height())
    throw std::invalid_argument("ExchangePixels: second bitmap smaller than the first");
  const std::size_t bytes = 3 * static_cast<std::size_t>(first.width());
  parallelRows(first.height(), first.width(), [&](int y0, int y1) {
    for (int y = y0; y < y1; ++y)
      std::swap_ranges(first.row(y), first.row(y) + bytes, second.row(y));
  });
}

}  // namespace vorlino
