#include "controls/color_comb.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace vorlino {
namespace {

constexpr double kDeg = std::numbers::pi / 180.0;

struct Rgb {
  double r, g, b;
};

Rgb operator+(Rgb a, Rgb b) {
  return {a.r + b.r, a.g + b.g, a.b + b.b};
}
Rgb operator-(Rgb a, Rgb b) {
  return {a.r - b.r, a.g - b.g, a.b - b.b};
}
Rgb operator*(double k, Rgb a) {
  return {k * a.r, k * a.g, k * a.b};
}

constexpr int kRings = kCombLevels - 1;

// A colour channel given in sixths of full intensity, scaled to 0..255.
std::uint8_t channel(double sixths) {
  return static_cast<std::uint8_t>(std::clamp(roundEven(sixths * 255.0 / kRings), 0, 255));
}

bool within(const CombCell& c, QPoint p, int reach) {
  const int dx = p.x() - c.x;
  const int dy = p.y() - c.y;
  return dx * dx + dy * dy <= reach * reach;
}

}  // namespace

int roundEven(double v) {
  return static_cast<int>(std::nearbyint(v));
}

TCombArray buildColorComb(double brightness) {
  const double reach = 2.0 * kCombRadius * std::cos(30 * kDeg) / 2.0;  // about 54.56
  // Corners right, lower right, lower left, left, upper left, upper right; the seventh closes the
  // ring.
  double kx[7], ky[7];
  for (int d = 0; d < 6; ++d) {
    const double theta = (90.0 - 60.0 * d) * kDeg;
    kx[d] = reach * std::sin(theta);
    ky[d] = reach * std::cos(theta);
  }
  kx[6] = kx[0];
  ky[6] = ky[0];
  const Rgb corner[7] = {{1, 0, 1}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0},
                         {0, 1, 1}, {0, 0, 1}, {1, 0, 1}};
  const Rgb centre{brightness, brightness, brightness};

  TCombArray cells;
  cells.reserve(kCombCellCount);
  const std::uint8_t z = channel(kRings * brightness);
  cells.push_back({0, 0, rgb(z, z, z)});
  for (int d = 0; d < 6; ++d) {
    for (int k = 1; k <= kRings; ++k) {
      for (int j = 0; j < k; ++j) {
        const double x = (k * kx[d] + j * (kx[d + 1] - kx[d])) / kRings;
        const double y = (k * ky[d] + j * (ky[d + 1] - ky[d])) / kRings;
        // Kept in sixths and divided last, so that exact halves stay exact halves.
        const Rgb sixths = double(kRings) * centre + double(k) * (corner[d] - centre) +
                           double(j) * (corner[d + 1] - corner[d]);
        cells.push_back({roundEven(x), roundEven(y),
                         rgb(channel(sixths.r), channel(sixths.g), channel(sixths.b))});
      }
    }
  }
  return cells;
}

TCombArray buildGreyRow() {
  const int step = roundEven(kCombCell * std::cos(30 * kDeg) / 2.0);                   // 5
  const int upper = (kCombCell / 4) * 3;                                               // 6
  const int lower = upper + roundEven(kCombCell * (1.0 + std::sin(30 * kDeg)) / 2.0);  // 14
  const int first = 3 * kCombCell;                                                     // 33

  TCombArray cells;
  cells.reserve(kGreyCellCount);
  cells.push_back({kCombCell, kCombCell, kWhite});
  for (int i = 1; i <= 15; ++i) {
    const auto grey = static_cast<std::uint8_t>(15 * (16 - i));
    cells.push_back({first + step * (i - 1), (i % 2 != 0) ? upper : lower, rgb(grey, grey, grey)});
  }
  cells.push_back({16 * step + first + kCombCell, kCombCell, kBlack});
  return cells;
}

int hitColorComb(const TCombArray& cells, QPoint p) {
  for (std::size_t i = 0; i < cells.size(); ++i) {
    if (within(cells[i], p, kCombCell / 2)) return static_cast<int>(i);
  }
  return -1;
}

int hitGreyRow(const TCombArray& cells, QPoint p) {
  for (std::size_t i = 0; i < cells.size(); ++i) {
    const bool end = i == 0 || i + 1 == cells.size();
    if (within(cells[i], p, end ? kCombCell : kCombCell / 2)) return static_cast<int>(i);
  }
  return -1;
}

CombLayout layoutComb(int edge, int spacing, int normalHeight) {
  CombLayout l;
  const int left = edge + spacing;
  const int side = 2 * kCombRadius;
  l.combSquare = QRect(left, normalHeight, side, side);
  const int greyRight =
      roundEven(std::cos(30 * kDeg) * kGreyCellCount * kCombCell / 2.0) + 6 * kCombCell;  // 147
  const int greyTop = normalHeight + side - 4;
  const int greyBottom = normalHeight + side + 2 * kCombCell;
  l.greyRow = QRect(QPoint(left, greyTop), QPoint(greyRight - 1, greyBottom - 1));
  l.brightnessBar = QRect(QPoint(left + side, normalHeight + kCombCell),
                          QPoint(left + side + 20 - 1, normalHeight + side - kCombCell - 1));
  l.windowHeight = 2 * edge + greyBottom;
  return l;
}

double brightnessAt(const QRect& bar, int y) {
  const double b = 1.0 - double(y - bar.top()) / double(bar.height());
  return std::clamp(b, 0.0, 1.0);
}

int brightnessMarkY(const QRect& bar, double brightness) {
  return bar.top() + roundEven((1.0 - brightness) * (bar.height() - 1));
}

int rampGrey(const QRect& bar, int n) {
  const int h = bar.height() - 1;
  return roundEven(double(h - n) * 255.0 / h);
}

std::vector<QPoint> hexagonCorners(QPoint centre, int size) {
  std::vector<QPoint> corners;
  corners.reserve(6);
  for (int i = 0; i < 6; ++i) {
    const double phi = (90.0 - 60.0 * i) * kDeg;
    corners.push_back(centre + QPoint(roundEven(size / 2.0 * std::cos(phi)),
                                      roundEven(size / 2.0 * std::sin(phi))));
  }
  return corners;
}

}  // namespace vorlino
