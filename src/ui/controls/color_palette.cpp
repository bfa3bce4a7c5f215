#include "controls/color_palette.h"

#include <algorithm>
#include <array>

namespace vorlino {
namespace {

struct NamedColor {
  const char* name;
  Color color;
};

constexpr std::array<NamedColor, kPaletteCellCount> kPalette = {{
    {"Black", rgb(0, 0, 0)},
    {"Brown", rgb(153, 51, 0)},
    {"Olive Green", rgb(51, 51, 0)},
    {"Dark Green", rgb(0, 51, 0)},
    {"Dark Teal", rgb(0, 51, 102)},
    {"Dark blue", rgb(0, 0, 128)},
    {"Indigo", rgb(51, 51, 153)},
    {"Gray-80%", rgb(51, 51, 51)},
    {"Dark Red", rgb(128, 0, 0)},
    {"Orange", rgb(255, 102, 0)},
    {"Dark Yellow", rgb(128, 128, 0)},
    {"Green", rgb(0, 128, 0)},
    {"Teal", rgb(0, 128, 128)},
    {"Blue", rgb(0, 0, 255)},
    {"Blue-Gray", rgb(102, 102, 153)},
    {"Gray-50%", rgb(128, 128, 128)},
    {"Red", rgb(255, 0, 0)},
    {"Light Orange", rgb(255, 153, 0)},
    {"Lime", rgb(153, 204, 0)},
    {"Sea Green", rgb(51, 153, 102)},
    {"Aqua", rgb(51, 204, 204)},
    {"Light Blue", rgb(51, 102, 255)},
    {"Violet", rgb(128, 0, 128)},
    {"Grey-40%", rgb(150, 150, 150)},
    {"Pink", rgb(255, 0, 255)},
    {"Gold", rgb(255, 204, 0)},
    {"Yellow", rgb(255, 255, 0)},
    {"Bright Green", rgb(0, 255, 0)},
    {"Turquoise", rgb(0, 255, 255)},
    {"Sky Blue", rgb(0, 204, 255)},
    {"Plum", rgb(153, 51, 102)},
    {"Gray-25%", rgb(192, 192, 192)},
    {"Rose", rgb(255, 153, 204)},
    {"Tan", rgb(255, 204, 153)},
    {"Light Yellow", rgb(255, 255, 153)},
    {"Light Green", rgb(204, 255, 204)},
    {"Light Turquoise", rgb(204, 255, 255)},
    {"Pale Blue", rgb(153, 204, 255)},
    {"Lavender", rgb(204, 153, 255)},
    {"White", rgb(255, 255, 255)},
}};

constexpr std::array<const char*, kSystemCellCount> kSystemNames = {
    "scroll bar",
    "background",
    "active caption",
    "inactive caption",
    "menu",
    "window",
    "window frame",
    "menu text",
    "window text",
    "caption text",
    "active border",
    "inactive border",
    "application workspace",
    "highlight",
    "highlight text",
    "button face",
    "button shadow",
    "gray text",
    "button text",
    "inactive caption text",
    "button highlight",
    "3D dark shadow",
    "3D light",
    "info text",
    "info background",
};

bool isGridCell(const PaletteShape& shape, int cell) {
  return cell >= 0 && cell <= shape.lastCell();
}

// Where the arrow keys go when they leave the grid past its start or its end.
int beforeFirst(const PaletteShape& s) {
  if (s.hasDefault) return kDefaultCell;
  if (s.hasCustom) return kCustomCell;
  return s.lastCell();
}
int afterLast(const PaletteShape& s) {
  if (s.hasCustom) return kCustomCell;
  if (s.hasDefault) return kDefaultCell;
  return 0;
}

}  // namespace

QString paletteColorName(int cell) {
  return cell >= 0 && cell < kPaletteCellCount ? QString::fromUtf8(kPalette[cell].name) : QString();
}

Color paletteColor(int cell) {
  return cell >= 0 && cell < kPaletteCellCount ? kPalette[cell].color : kNoColor;
}

QString systemColorName(int cell) {
  const int i = cell - kFirstSystemCell;
  if (i < 0 || i >= kSystemCellCount) return QString();
  return QStringLiteral("system color: ") + QString::fromUtf8(kSystemNames[i]);
}

Color cellColor(int cell) {
  if (cell >= 0 && cell < kPaletteCellCount) return kPalette[cell].color;
  if (cell >= kFirstSystemCell && cell < kFirstSystemCell + kSystemCellCount)
    return systemColor(cell - kFirstSystemCell);
  return kNoColor;
}

QColor toQColor(Color c) {
  const Color v = ColorToRGB(c);
  return QColor(redOf(v), greenOf(v), blueOf(v));
}

Color fromQColor(const QColor& c) {
  return rgb(static_cast<std::uint8_t>(c.red()), static_cast<std::uint8_t>(c.green()),
             static_cast<std::uint8_t>(c.blue()));
}

PaletteLayout layoutPalette(const PaletteShape& shapeIn, QSize captionSize) {
  PaletteLayout l;
  l.shape = shapeIn;
  l.shape.spacing = std::max(0, shapeIn.spacing);
  const int s = l.shape.spacing;
  const int buttonWidth = captionSize.width() + 2 * kEdge;
  const int buttonHeight = captionSize.height() + 4 * kEdge + 2;

  l.width = kColumns * kCellSize + 2 * kEdge + 2 * s;
  l.height = kRows * kCellSize + 4 * kEdge;
  // The window widens so that a button holds its caption between the side margins.
  const int widthForButton = buttonWidth + 2 * (kEdge + s);

  if (l.shape.hasDefault) {
    l.width = std::max(l.width, widthForButton);
    l.defaultButton = QRect(QPoint(kEdge + s, 2 * kEdge),
                            QPoint(l.width - kEdge - s - 1, 2 * kEdge + buttonHeight - 1));
    l.height += buttonHeight + 2 * kEdge;
  }
  if (l.shape.showSystemColors) l.height += kSystemRows * kCellSize + 2 * kEdge;
  if (l.shape.hasCustom) {
    l.width = std::max(l.width, widthForButton);
    l.customButton = QRect(QPoint(kEdge + s, l.height),
                           QPoint(l.width - kEdge - s - 1, l.height + buttonHeight - 1));
    l.customFace = l.customButton.adjusted(0, 2 * kEdge, 0, 0);
    const int right = l.customFace.right() + 1 - kEdge;
    const int top = l.customFace.top() + (l.customFace.height() - kCellSize) / 2;
    l.customSwatch = QRect(right - kCellSize, top, kCellSize, kCellSize)
                         .adjusted(kEdge + 1, kEdge + 1, -(kEdge + 1), -(kEdge + 1));
    l.height += buttonHeight + 2 * kEdge;
  }
  return l;
}

QRect cellRect(const PaletteLayout& l, int cell) {
  const int row = cell / kColumns;
  const int column = cell % kColumns;
  int top = 2 * kEdge + kCellSize * row;
  if (l.shape.hasDefault) top += l.defaultButton.bottom() + 1 - 2 * kEdge;
  if (cell >= kFirstSystemCell) top += 3 * kEdge;
  return QRect(kEdge + l.shape.spacing + kCellSize * column, top, kCellSize, kCellSize);
}

int hitTestPalette(const PaletteLayout& l, QPoint p) {
  if (l.shape.hasCustom && l.customButton.contains(p)) return kCustomCell;
  if (l.shape.hasDefault && l.defaultButton.contains(p)) return kDefaultCell;
  int x = p.x();
  int y = p.y();
  if (l.shape.hasDefault) y -= l.defaultButton.height();
  if (x <= l.shape.spacing) return kNoCell;
  y -= (5 * kEdge) / 2;
  if (y < 0) return kNoCell;
  int row = y / kCellSize;
  const int column = (x - l.shape.spacing) / kCellSize;
  if (l.shape.showSystemColors && row >= kRows) {
    y -= 3 * kEdge;
    row = y / kCellSize;
    if (row < kRows) return kNoCell;  // the gap between the two grids
  }
  if (column < 0 || column >= kColumns) return kNoCell;
  const int index = row * kColumns + column;
  if (index < kPaletteCellCount) return index;
  if (l.shape.showSystemColors) {
    const int system = (row - kRows) * kColumns + column;
    if (system < kSystemCellCount) return kFirstSystemCell + system;
  }
  return kNoCell;
}

int moveHot(const PaletteShape& s, int hot, PaletteKey key) {
  const int last = s.lastCell();
  if (hot != kDefaultCell && hot != kCustomCell && !isGridCell(s, hot)) return 0;
  switch (key) {
    case PaletteKey::pkLeft:
      if (hot == kDefaultCell) return s.hasCustom ? kCustomCell : last;
      if (hot == kCustomCell) return last;
      return hot == 0 ? beforeFirst(s) : hot - 1;
    case PaletteKey::pkUp:
      if (hot == kDefaultCell) return s.hasCustom ? kCustomCell : last;
      if (hot == kCustomCell) return last;
      return hot < kColumns ? beforeFirst(s) : hot - kColumns;
    case PaletteKey::pkRight:
      if (hot == kDefaultCell) return 0;
      if (hot == kCustomCell) return s.hasDefault ? kDefaultCell : 0;
      return hot == last ? afterLast(s) : hot + 1;
    case PaletteKey::pkDown:
      if (hot == kDefaultCell) return 0;
      if (hot == kCustomCell) return s.hasDefault ? kDefaultCell : 0;
      return hot + kColumns <= last ? hot + kColumns : afterLast(s);
  }
  return hot;
}

QPoint placePopup(const QRect& anchor, QSize size, const QRect& screen) {
  int x = anchor.left() - 1;
  int y = anchor.top() + anchor.height();
  const int screenBottom = screen.top() + screen.height();
  const int screenRight = screen.left() + screen.width();
  if (y + size.height() > screenBottom) {
    y = screenBottom - size.height();
    if (y < anchor.top()) y = anchor.top() - size.height();
  }
  if (x + size.width() > screenRight) x = screenRight - size.width();
  if (x < screen.left()) x = screen.left();
  return {x, y};
}

}  // namespace vorlino
