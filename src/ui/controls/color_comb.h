// The custom colour comb shown by the drop-down palette in custom mode: a hexagonal comb of 127
// colour cells around a centre whose brightness the user sets, a zig-zag row of 17 greys and a
// vertical brightness bar. This file holds the pure part (cell lists, geometry, hit tests); the
// palette window paints it and routes the mouse to it.
#pragma once

#include <QPoint>
#include <QRect>
#include <vector>

#include "bitmap/color.h"

namespace vorlino {

inline constexpr int kCombLevels = 7;                          // hexagon rings, centre included
inline constexpr int kCombRadius = 8 * 18 * kCombLevels / 16;  // 63: half the comb square's side
inline constexpr int kCombCell = 11;  // size of one hexagon, corner to corner
inline constexpr int kCombCellCount = 1 + 6 * (1 + 2 + 3 + 4 + 5 + 6);  // 127
inline constexpr int kGreyCellCount = 17;

// One cell of a comb: its centre and its colour (a plain value, never symbolic).
struct CombCell {
  int x = 0;
  int y = 0;
  Color color = kBlack;
};
using TCombArray = std::vector<CombCell>;

// Rounds to the nearest integer, halves to the even neighbour (the program's display rounding).
int roundEven(double v);

// The 127 colour cells, centre first, then sector by sector (right, lower right, lower left, left,
// upper left, upper right) and ring by ring. Positions are relative to the comb's centre, y
// downwards. The centre is white scaled by brightness (0..1), the outer ring reaches the full
// corner colours magenta, red, yellow, green, cyan, blue.
TCombArray buildColorComb(double brightness);

// The 17 grey cells, white to black, relative to the grey row's top-left corner: white and black at
// both ends (drawn at double size), the 15 greys 225, 210, ..., 15 between them in a zig-zag.
TCombArray buildGreyRow();

// Index of the first cell whose centre lies within reach of p (p relative to the same origin as
// the cells), or -1. Colour cells reach 5 pixels; grey cells too, except the two end cells (11).
int hitColorComb(const TCombArray& cells, QPoint p);
int hitGreyRow(const TCombArray& cells, QPoint p);

// The three areas of custom mode, laid out under the palette's normal height.
struct CombLayout {
  QRect combSquare;      // 126 x 126, the comb's centre in its middle
  QRect greyRow;         // overlaps the comb square's last 4 pixel rows
  QRect brightnessBar;   // 20 wide at the comb square's right edge
  int windowHeight = 0;  // height of the palette window in custom mode
  QPoint combCentre() const { return combSquare.topLeft() + QPoint(kCombRadius, kCombRadius); }
};
CombLayout layoutComb(int edge, int spacing, int normalHeight);

// Brightness for a pointer at height y on the bar: 1 at the bar's top, 0 at its bottom, clamped.
double brightnessAt(const QRect& bar, int y);

// Height of the triangle marking the brightness level on the bar.
int brightnessMarkY(const QRect& bar, double brightness);

// Grey level of line n (0 at the top) of the bar's ramp: white at the top, black at the bottom.
int rampGrey(const QRect& bar, int n);

// Corners of a hexagon of the given size around centre, corners at top and bottom.
std::vector<QPoint> hexagonCorners(QPoint centre, int size);

}  // namespace vorlino
