#include "imagefile/orientation.h"

#include <algorithm>
#include <iterator>

#include "compose/quarter_turn.h"

namespace vorlino {
namespace {

// Reverses every row of a 24-bit bitmap.
void mirrorLeftRight(Bitmap& picture) {
  const int w = picture.width();
  for (int y = 0; y < picture.height(); ++y) {
    std::uint8_t* left = picture.row(y);
    std::uint8_t* right = left + 3 * static_cast<std::size_t>(w - 1);
    for (; left < right; left += 3, right -= 3) std::swap_ranges(left, left + 3, right);
  }
}

// Exchanges row y with row h - 1 - y.
void mirrorTopBottom(Bitmap& picture) {
  const std::size_t n = 3 * static_cast<std::size_t>(picture.width());
  for (int top = 0, bottom = picture.height() - 1; top < bottom; ++top, --bottom)
    std::swap_ranges(picture.row(top), picture.row(top) + n, picture.row(bottom));
}

}  // namespace

void applyOrientation(Bitmap& picture, int orientation) {
  if (orientation < 2 || orientation > 8 || picture.empty()) return;
  picture.convertTo24();
  switch (orientation) {
    case 2:
      mirrorLeftRight(picture);
      break;
    case 3:
      RotateHalf(picture);
      break;
    case 4:
      mirrorTopBottom(picture);
      break;
    case 5:  // transpose: a quarter clockwise, then left-right
      RotateQuarter(picture, true);
      mirrorLeftRight(picture);
      break;
    case 6:
      RotateQuarter(picture, true);
      break;
    case 7:  // the other diagonal: a quarter anticlockwise, then left-right
      RotateQuarter(picture, false);
      mirrorLeftRight(picture);
      break;
    case 8:
      RotateQuarter(picture, false);
      break;
  }
}

bool orientationAppliesTo(const std::string& extension) {
  static constexpr const char* kExtensions[] = {"jpg", "jpeg", "jpe", "jfif", "png", "webp"};
  return std::find(std::begin(kExtensions), std::end(kExtensions), extension) !=
         std::end(kExtensions);
}

}  // namespace vorlino
