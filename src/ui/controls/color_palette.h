// The drop-down palette's content and geometry, free of any window: the 40 named colours, the 25
// system colours, where each cell and button lies, which cell a point hits and how the arrow keys
// move between cells. The palette window (TColorPopup) paints and drives these.
#pragma once

#include <QColor>
#include <QRect>
#include <QString>

#include "bitmap/color.h"

namespace vorlino {

// Cell indices of the palette. 0..39 named colours, 40..64 system colours.
inline constexpr int kNoCell = -1;
inline constexpr int kCustomCell = -2;   // the custom button (custom mode)
inline constexpr int kDefaultCell = -3;  // the default button
inline constexpr int kPaletteCellCount = 40;
inline constexpr int kSystemCellCount = 25;
inline constexpr int kFirstSystemCell = kPaletteCellCount;

inline constexpr int kCellSize = 18;
inline constexpr int kColumns = 8;
inline constexpr int kRows = (kPaletteCellCount + kColumns - 1) / kColumns;       // 5
inline constexpr int kSystemRows = (kSystemCellCount + kColumns - 1) / kColumns;  // 4
inline constexpr int kEdge = 2;  // width of a 3-D edge
inline constexpr int kDefaultPopupSpacing = 8;

// The value that selects the default button when shown as current (never a pixel colour).
inline constexpr Color kDefaultColor = 0x20000000;

// Name (as shown in the hint) and plain colour of palette cell 0..39.
QString paletteColorName(int cell);
Color paletteColor(int cell);
// Hint name of system cell 40..64 ("system color: ...").
QString systemColorName(int cell);

// Colour of any grid cell: a palette colour, or the symbolic system colour for cells 40..64.
Color cellColor(int cell);

// A colour value as a QColor for drawing: symbolic system colours are resolved first.
QColor toQColor(Color c);
Color fromQColor(const QColor& c);

// What decides the palette's shape.
struct PaletteShape {
  bool showSystemColors = false;
  bool hasDefault = false;             // a default caption is set
  bool hasCustom = false;              // a custom caption is set
  int spacing = kDefaultPopupSpacing;  // horizontal margin, never negative
  int lastCell() const { return showSystemColors ? kFirstSystemCell + kSystemCellCount - 1 : 39; }
};

// Laid-out palette: window size in normal mode and the two text buttons.
struct PaletteLayout {
  PaletteShape shape;
  int width = 0;
  int height = 0;       // normal height; custom mode adds the comb below
  QRect defaultButton;  // empty when not shown
  QRect customButton;   // empty when not shown; the hit area
  QRect customFace;     // the part of the custom button drawn as a button, under an etched line
  QRect customSwatch;   // the small swatch at the custom button's right end
};

// Lays the palette out; captionSize is the size of the larger caption in the caption font (ignored
// when neither button is shown).
PaletteLayout layoutPalette(const PaletteShape& shape, QSize captionSize);

// The 18 x 18 square of grid cell 0..lastCell.
QRect cellRect(const PaletteLayout& layout, int cell);

// Cell under point p (window coordinates): a grid cell, kCustomCell, kDefaultCell or kNoCell.
int hitTestPalette(const PaletteLayout& layout, QPoint p);

enum class PaletteKey { pkLeft, pkUp, pkRight, pkDown };

// The hot cell after an arrow key. From no cell, every arrow key goes to the first cell.
int moveHot(const PaletteShape& shape, int hot, PaletteKey key);

// Where the palette window goes: under the anchor (anchor and screen in screen coordinates), moved
// up to end at the screen's bottom, or above the anchor when it would otherwise cover it; never
// past the screen's right edge nor left of its left edge.
QPoint placePopup(const QRect& anchor, QSize size, const QRect& screen);

}  // namespace vorlino
