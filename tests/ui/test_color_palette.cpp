// The palette's geometry without a window: layout, cell places, hit test, keyboard walk and
// placement on the screen.
#include <QtTest>
#include <set>

#include "controls/color_palette.h"

using namespace vorlino;

namespace {

PaletteShape shape(bool system, bool withDefault, bool withCustom) {
  PaletteShape s;
  s.showSystemColors = system;
  s.hasDefault = withDefault;
  s.hasCustom = withCustom;
  return s;
}

const QSize kCaption(60, 13);  // button 64 x 23

}  // namespace

class TestColorPalette : public QObject {
  Q_OBJECT

 private slots:
  void tableHoldsTheNamedColours() {
    QCOMPARE(paletteColorName(0), QString("Black"));
    QCOMPARE(paletteColor(0), rgb(0, 0, 0));
    QCOMPARE(paletteColorName(9), QString("Orange"));
    QCOMPARE(paletteColor(9), rgb(255, 102, 0));
    QCOMPARE(paletteColorName(23), QString("Grey-40%"));
    QCOMPARE(paletteColor(23), rgb(150, 150, 150));
    QCOMPARE(paletteColorName(39), QString("White"));
    QCOMPARE(paletteColor(39), kWhite);
    std::set<Color> distinct;
    for (int i = 0; i < kPaletteCellCount; ++i) distinct.insert(paletteColor(i));
    QCOMPARE(int(distinct.size()), kPaletteCellCount);

    QCOMPARE(systemColorName(40), QString("system color: scroll bar"));
    QCOMPARE(systemColorName(64), QString("system color: info background"));
    QCOMPARE(systemColorName(56), QString("system color: button shadow"));
    QCOMPARE(cellColor(55), systemColor(15));  // system cells keep the symbolic value
    QCOMPARE(cellColor(65), kNoColor);
  }

  void layoutSizes() {
    const PaletteLayout plain = layoutPalette(shape(false, false, false), QSize());
    QCOMPARE(plain.width, 8 * 18 + 2 * 2 + 2 * 8);
    QCOMPARE(plain.height, 5 * 18 + 4 * 2);
    QVERIFY(plain.defaultButton.isEmpty() && plain.customButton.isEmpty());

    const PaletteLayout all = layoutPalette(shape(true, true, true), kCaption);
    QCOMPARE(all.defaultButton, QRect(10, 4, 144, 23));
    QCOMPARE(all.customButton.top(), 98 + 27 + 76);
    QCOMPARE(all.height, 98 + 27 + 76 + 27);
    QCOMPARE(all.customSwatch.size(), QSize(12, 12));
    QCOMPARE(all.customSwatch.right(), all.customButton.right() - 2 - 3);

    // A caption wider than the grid widens the window so the button holds it.
    const PaletteLayout wide = layoutPalette(shape(false, false, true), QSize(200, 13));
    QCOMPARE(wide.width, 204 + 2 * (2 + 8));
    QCOMPARE(wide.customButton.width(), 204);

    // Negative spacing counts as 0.
    PaletteShape tight = shape(false, false, false);
    tight.spacing = -5;
    QCOMPARE(layoutPalette(tight, QSize()).width, 8 * 18 + 4);
  }

  void cellPlaces() {
    const PaletteLayout plain = layoutPalette(shape(true, false, false), QSize());
    QCOMPARE(cellRect(plain, 0), QRect(10, 4, 18, 18));
    QCOMPARE(cellRect(plain, 39), QRect(10 + 7 * 18, 4 + 4 * 18, 18, 18));
    QCOMPARE(cellRect(plain, 40), QRect(10, 4 + 5 * 18 + 6, 18, 18));
    QCOMPARE(cellRect(plain, 64), QRect(10, 4 + 8 * 18 + 6, 18, 18));
    const PaletteLayout withDefault = layoutPalette(shape(false, true, false), kCaption);
    QCOMPARE(cellRect(withDefault, 0), QRect(10, 4 + 23, 18, 18));
  }

  void hitTestPlainGrid() {
    const PaletteLayout l = layoutPalette(shape(false, false, false), QSize());
    QCOMPARE(hitTestPalette(l, {11, 5}), 0);
    QCOMPARE(hitTestPalette(l, {8, 10}), kNoCell);  // x must exceed the spacing
    QCOMPARE(hitTestPalette(l, {20, 4}), kNoCell);  // above the first row
    QCOMPARE(hitTestPalette(l, {8 + 18 * 3, 5 + 18 * 2}), 19);
    QCOMPARE(hitTestPalette(l, {8 + 18 * 8 - 1, 5 + 18 * 5 - 1}), 39);
    QCOMPARE(hitTestPalette(l, {8 + 18 * 8, 10}), kNoCell);  // past the last column
    QCOMPARE(hitTestPalette(l, {20, 5 + 18 * 5}), kNoCell);  // no system colours
  }

  void hitTestSystemRowsAndGap() {
    const PaletteLayout l = layoutPalette(shape(true, false, false), QSize());
    QCOMPARE(hitTestPalette(l, {20, 5 + 90}), kNoCell);  // the gap between the grids
    QCOMPARE(hitTestPalette(l, {20, 5 + 90 + 5}), kNoCell);
    QCOMPARE(hitTestPalette(l, {20, 5 + 90 + 6}), 40);
    QCOMPARE(hitTestPalette(l, {8 + 18 * 7 + 1, 11 + 18 * 7}), 40 + 23);
    QCOMPARE(hitTestPalette(l, {9, 11 + 18 * 8}), 64);
    QCOMPARE(hitTestPalette(l, {8 + 18 + 1, 11 + 18 * 8}), kNoCell);  // only 25 system cells
  }

  void hitTestButtons() {
    const PaletteLayout l = layoutPalette(shape(false, true, true), kCaption);
    QCOMPARE(hitTestPalette(l, {20, 10}), kDefaultCell);
    QCOMPARE(hitTestPalette(l, {20, 5 + 23}), 0);  // the grid moved down by the button
    QCOMPARE(hitTestPalette(l, {20, 4 + 23 + 18 * 4 + 10}), 32);
    QCOMPARE(hitTestPalette(l, {100, l.customButton.top()}), kCustomCell);
    QCOMPARE(hitTestPalette(l, {100, l.customButton.bottom()}), kCustomCell);
    QCOMPARE(hitTestPalette(l, {5, l.customButton.top() + 5}), kNoCell);
  }

  void keyboardWalkWithoutButtons() {
    const PaletteShape s = shape(false, false, false);
    QCOMPARE(moveHot(s, 5, PaletteKey::pkLeft), 4);
    QCOMPARE(moveHot(s, 8, PaletteKey::pkLeft), 7);  // last column of the previous row
    QCOMPARE(moveHot(s, 0, PaletteKey::pkLeft), 39);
    QCOMPARE(moveHot(s, 7, PaletteKey::pkRight), 8);
    QCOMPARE(moveHot(s, 39, PaletteKey::pkRight), 0);
    QCOMPARE(moveHot(s, 12, PaletteKey::pkUp), 4);
    QCOMPARE(moveHot(s, 3, PaletteKey::pkUp), 39);
    QCOMPARE(moveHot(s, 10, PaletteKey::pkDown), 18);
    QCOMPARE(moveHot(s, 35, PaletteKey::pkDown), 0);
    QCOMPARE(moveHot(s, kNoCell, PaletteKey::pkUp), 0);
  }

  void keyboardWalkWithCustomButton() {
    const PaletteShape s = shape(false, false, true);
    QCOMPARE(moveHot(s, 0, PaletteKey::pkLeft), kCustomCell);
    QCOMPARE(moveHot(s, kCustomCell, PaletteKey::pkLeft), 39);
    QCOMPARE(moveHot(s, 39, PaletteKey::pkRight), kCustomCell);
    QCOMPARE(moveHot(s, kCustomCell, PaletteKey::pkRight), 0);
    QCOMPARE(moveHot(s, 2, PaletteKey::pkUp), kCustomCell);
    QCOMPARE(moveHot(s, kCustomCell, PaletteKey::pkUp), 39);
    QCOMPARE(moveHot(s, 33, PaletteKey::pkDown), kCustomCell);
    QCOMPARE(moveHot(s, kCustomCell, PaletteKey::pkDown), 0);
  }

  void keyboardWalkWithDefaultButton() {
    const PaletteShape s = shape(false, true, false);
    QCOMPARE(moveHot(s, kDefaultCell, PaletteKey::pkLeft), 39);
    QCOMPARE(moveHot(s, kDefaultCell, PaletteKey::pkUp), 39);
    QCOMPARE(moveHot(s, kDefaultCell, PaletteKey::pkRight), 0);
    QCOMPARE(moveHot(s, kDefaultCell, PaletteKey::pkDown), 0);
    QCOMPARE(moveHot(s, 0, PaletteKey::pkLeft), kDefaultCell);
    QCOMPARE(moveHot(s, 6, PaletteKey::pkUp), kDefaultCell);
    QCOMPARE(moveHot(s, 39, PaletteKey::pkRight), kDefaultCell);
    QCOMPARE(moveHot(s, 32, PaletteKey::pkDown), kDefaultCell);
  }

  void keyboardWalkWithEverything() {
    const PaletteShape s = shape(true, true, true);
    QCOMPARE(moveHot(s, kDefaultCell, PaletteKey::pkLeft), kCustomCell);
    QCOMPARE(moveHot(s, kDefaultCell, PaletteKey::pkUp), kCustomCell);
    QCOMPARE(moveHot(s, kCustomCell, PaletteKey::pkLeft), 64);
    QCOMPARE(moveHot(s, kCustomCell, PaletteKey::pkUp), 64);
    QCOMPARE(moveHot(s, kCustomCell, PaletteKey::pkRight), kDefaultCell);
    QCOMPARE(moveHot(s, kCustomCell, PaletteKey::pkDown), kDefaultCell);
    QCOMPARE(moveHot(s, 0, PaletteKey::pkLeft), kDefaultCell);
    QCOMPARE(moveHot(s, 64, PaletteKey::pkRight), kCustomCell);
    QCOMPARE(moveHot(s, 39, PaletteKey::pkRight), 40);
    QCOMPARE(moveHot(s, 35, PaletteKey::pkDown), 43);  // into the system rows
    QCOMPARE(moveHot(s, 56, PaletteKey::pkDown), 64);
    QCOMPARE(moveHot(s, 57, PaletteKey::pkDown), kCustomCell);  // no cell below
    QCOMPARE(moveHot(s, 64, PaletteKey::pkUp), 56);
  }

  // From any reachable cell, no arrow key leaves the cells that exist.
  void keyboardWalkStaysInTheShape() {
    for (int variant = 0; variant < 8; ++variant) {
      const PaletteShape s = shape(variant & 1, variant & 2, variant & 4);
      std::set<int> valid;
      for (int c = 0; c <= s.lastCell(); ++c) valid.insert(c);
      if (s.hasDefault) valid.insert(kDefaultCell);
      if (s.hasCustom) valid.insert(kCustomCell);
      for (int from : valid) {
        for (PaletteKey k :
             {PaletteKey::pkLeft, PaletteKey::pkUp, PaletteKey::pkRight, PaletteKey::pkDown}) {
          const int to = moveHot(s, from, k);
          QVERIFY2(valid.count(to) == 1,
                   qPrintable(QString("variant %1 from %2 to %3").arg(variant).arg(from).arg(to)));
        }
      }
      // Right walks every cell once before coming back.
      std::set<int> seen;
      int hot = 0;
      for (std::size_t i = 0; i < valid.size(); ++i) {
        seen.insert(hot);
        hot = moveHot(s, hot, PaletteKey::pkRight);
      }
      QCOMPARE(seen, valid);
      QCOMPARE(hot, 0);
    }
  }

  void placement() {
    const QRect screen(0, 0, 1280, 1024);
    const QSize size(164, 98);
    QCOMPARE(placePopup(QRect(100, 100, 60, 21), size, screen), QPoint(99, 121));
    // Near the bottom it opens above the field.
    QCOMPARE(placePopup(QRect(100, 990, 60, 21), size, screen), QPoint(99, 990 - 98));
    // Moved up to end at the screen's bottom while that still leaves it below the field's top.
    QCOMPARE(placePopup(QRect(100, 920, 60, 21), size, screen), QPoint(99, 1024 - 98));
    QCOMPARE(placePopup(QRect(1250, 100, 60, 21), size, screen), QPoint(1280 - 164, 121));
    QCOMPARE(placePopup(QRect(0, 100, 60, 21), size, screen), QPoint(0, 121));
    QCOMPARE(placePopup(QRect(1400, 100, 60, 21), size, QRect(1280, 0, 1024, 768)),
             QPoint(1399, 121));
  }
};

QTEST_MAIN(TestColorPalette)
#include "test_color_palette.moc"
