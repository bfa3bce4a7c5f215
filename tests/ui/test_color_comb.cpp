// The custom colour comb's cell lists, hit tests and layout.
#include <QtTest>
#include <cmath>
#include <set>

#include "controls/color_comb.h"

using namespace vorlino;

namespace {

int ringStart(int sector, int ring) {
  return 1 + sector * 21 + ring * (ring - 1) / 2;
}

}  // namespace

class TestColorComb : public QObject {
  Q_OBJECT

 private slots:
  void constants() {
    QCOMPARE(kCombRadius, 63);
    QCOMPARE(kCombCell, 11);
    QCOMPARE(kCombCell, roundEven(63.0 / 6 + 0.5));
  }

  void combHas127DistinctCells() {
    const TCombArray comb = buildColorComb(1.0);
    QCOMPARE(int(comb.size()), 127);
    std::set<std::pair<int, int>> places;
    for (const CombCell& c : comb) {
      places.insert({c.x, c.y});
      QVERIFY(std::hypot(c.x, c.y) <= kCombRadius - kCombCell / 2);
    }
    QCOMPARE(int(places.size()), 127);
  }

  void cornersAndCentre() {
    const TCombArray comb = buildColorComb(1.0);
    QCOMPARE(comb[0].x, 0);
    QCOMPARE(comb[0].y, 0);
    QCOMPARE(comb[0].color, kWhite);
    struct Corner {
      int x, y;
      Color color;
    };
    // Right, lower right, lower left, left, upper left, upper right (y downwards).
    const Corner corners[6] = {{55, 0, rgb(255, 0, 255)},    {27, 47, rgb(255, 0, 0)},
                               {-27, 47, rgb(255, 255, 0)},  {-55, 0, rgb(0, 255, 0)},
                               {-27, -47, rgb(0, 255, 255)}, {27, -47, rgb(0, 0, 255)}};
    for (int d = 0; d < 6; ++d) {
      const CombCell& c = comb[ringStart(d, 6)];
      QCOMPARE(c.x, corners[d].x);
      QCOMPARE(c.y, corners[d].y);
      QCOMPARE(c.color, corners[d].color);
    }
    // First ring towards magenta: five sixths of the way from white.
    QCOMPARE(comb[ringStart(0, 1)].color, rgb(255, 212, 255));
    // Half-way along the outer edge from red to yellow.
    QCOMPARE(comb[ringStart(1, 6) + 3].color, rgb(255, 128, 0));
  }

  void darkCentreShadesFromBlack() {
    const TCombArray comb = buildColorComb(0.0);
    QCOMPARE(comb[0].color, kBlack);
    QCOMPARE(comb[ringStart(0, 1)].color, rgb(42, 0, 42));  // 255 / 6 = 42.5 rounds to even
    QCOMPARE(comb[ringStart(3, 3)].color, rgb(0, 128, 0));
    QCOMPARE(comb[ringStart(3, 6)].color, rgb(0, 255, 0));  // the outer ring keeps full colours
    // Places do not depend on the brightness.
    const TCombArray bright = buildColorComb(1.0);
    for (int i = 0; i < 127; ++i)
      QCOMPARE(QPoint(comb[i].x, comb[i].y), QPoint(bright[i].x, bright[i].y));
  }

  void greyRowValues() {
    const TCombArray greys = buildGreyRow();
    QCOMPARE(int(greys.size()), 17);
    QCOMPARE(greys[0].color, kWhite);
    QCOMPARE(greys[16].color, kBlack);
    for (int i = 1; i <= 15; ++i) {
      const int level = 15 * (16 - i);
      QCOMPARE(greys[i].color, rgb(level, level, level));
    }
    for (const CombCell& c : greys) QVERIFY(c.color != rgb(240, 240, 240));
  }

  void greyRowZigZag() {
    const TCombArray greys = buildGreyRow();
    QCOMPARE(QPoint(greys[0].x, greys[0].y), QPoint(11, 11));
    QCOMPARE(QPoint(greys[1].x, greys[1].y), QPoint(33, 6));
    QCOMPARE(QPoint(greys[2].x, greys[2].y), QPoint(38, 14));
    QCOMPARE(QPoint(greys[15].x, greys[15].y), QPoint(103, 6));
    QCOMPARE(QPoint(greys[16].x, greys[16].y), QPoint(124, 11));
  }

  void hitTests() {
    const TCombArray comb = buildColorComb(0.5);
    // Every centre hits its own cell: no earlier cell reaches it.
    for (int i = 0; i < 127; ++i) QCOMPARE(hitColorComb(comb, {comb[i].x, comb[i].y}), i);
    QCOMPARE(hitColorComb(comb, {3, 4}), 0);  // distance 5, inclusive
    QCOMPARE(hitColorComb(comb, {70, 0}), -1);

    const TCombArray greys = buildGreyRow();
    QCOMPARE(hitGreyRow(greys, {22, 11}), 0);  // end cells reach 11
    QCOMPARE(hitGreyRow(greys, {124, 22}), 16);
    QCOMPARE(hitGreyRow(greys, {33, 11}), 1);  // other cells reach 5
    QCOMPARE(hitGreyRow(greys, {33, 12}), -1);
    QCOMPARE(hitGreyRow(greys, {-20, 11}), -1);
  }

  void layoutUnderThePalette() {
    const CombLayout l = layoutComb(2, 8, 98);
    QCOMPARE(l.combSquare, QRect(10, 98, 126, 126));
    QCOMPARE(l.combCentre(), QPoint(73, 161));
    QCOMPARE(l.greyRow, QRect(QPoint(10, 98 + 122), QPoint(146, 98 + 147)));
    QCOMPARE(l.brightnessBar, QRect(136, 98 + 11, 20, 104));
    QCOMPARE(l.windowHeight, 98 + 148 + 4);
  }

  void brightnessFromTheBar() {
    const QRect bar(136, 109, 20, 104);
    QCOMPARE(brightnessAt(bar, 109), 1.0);
    QCOMPARE(brightnessAt(bar, 109 + 52), 0.5);
    QCOMPARE(brightnessAt(bar, 109 + 104), 0.0);
    QCOMPARE(brightnessAt(bar, 400), 0.0);  // dragged below the bar
    QCOMPARE(brightnessAt(bar, 0), 1.0);
    QCOMPARE(brightnessMarkY(bar, 1.0), 109);
    QCOMPARE(brightnessMarkY(bar, 0.0), 109 + 103);
    QCOMPARE(rampGrey(bar, 0), 255);
    QCOMPARE(rampGrey(bar, 103), 0);
  }

  void hexagonHasCornersAtTopAndBottom() {
    const std::vector<QPoint> h = hexagonCorners({0, 0}, 11);
    QCOMPARE(int(h.size()), 6);
    QCOMPARE(h[0], QPoint(0, 6));  // 5.5 rounds to even
    QCOMPARE(h[1], QPoint(5, 3));
    QCOMPARE(h[3], QPoint(0, -6));
    QCOMPARE(h[4], QPoint(-5, -3));
  }
};

QTEST_MAIN(TestColorComb)
#include "test_color_comb.moc"
