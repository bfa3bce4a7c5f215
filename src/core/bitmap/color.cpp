#include "bitmap/color.h"

#include <array>

namespace vorlino {
namespace {

// Classic desktop defaults, in system colour index order (scroll bar, background, active caption,
// ... , menu bar). Replaced from the platform palette by the user interface.
std::array<Color, kSystemColorCount> gSystemColors = {
    rgb(200, 200, 200), rgb(0, 128, 128),   rgb(0, 0, 128),     rgb(128, 128, 128),
    rgb(212, 208, 200), rgb(255, 255, 255), rgb(0, 0, 0),       rgb(0, 0, 0),
    rgb(0, 0, 0),       rgb(255, 255, 255), rgb(212, 208, 200), rgb(212, 208, 200),
    rgb(128, 128, 128), rgb(10, 36, 106),   rgb(255, 255, 255), rgb(212, 208, 200),
    rgb(128, 128, 128), rgb(128, 128, 128), rgb(0, 0, 0),       rgb(212, 208, 200),
    rgb(255, 255, 255), rgb(64, 64, 64),    rgb(212, 208, 200), rgb(0, 0, 0),
    rgb(255, 255, 225), rgb(181, 181, 181), rgb(0, 0, 128),     rgb(166, 202, 240),
    rgb(192, 192, 192), rgb(49, 106, 197),  rgb(236, 233, 216),
};

}  // namespace

Color ColorToRGB(Color c) {
  if (!isSystemColor(c)) return c;
  unsigned index = c & 0xFF;
  return index < gSystemColors.size() ? gSystemColors[index] : kBlack;
}

void setSystemColor(int index, Color value) {
  if (index >= 0 && index < kSystemColorCount) gSystemColors[index] = value & 0x00FFFFFF;
}

}  // namespace vorlino
