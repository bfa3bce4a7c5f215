#include <QLocale>
#include <QTest>
#include <algorithm>

#include "print/print_layout.h"

using namespace vorlino;

namespace {

// The printable area of a portrait page reported as 4800 x 6800 pixels and 203 x 287 mm.
TPageMetrics portraitPage() {
  return {4800, 6800, 20.3, 28.7};
}

TPageMetrics turned(const TPageMetrics& p) {
  return {p.PageHeight, p.PageWidth, p.PageHeightCm, p.PageWidthCm};
}

bool contains(const std::vector<QLine>& lines, const QLine& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

}  // namespace

class TestPrintLayout : public QObject {
  Q_OBJECT

 private slots:
  void conversionsGoThroughTheLongerSide() {
    const TPageMetrics portrait = portraitPage();
    QVERIFY(!portrait.Landscape());
    QCOMPARE(DeviceToCm(portrait, 6800), 28.7);
    QCOMPARE(DeviceToCm(portrait, 3400), 28.7 / 2);
    QCOMPARE(CmToDevice(portrait, 28.7), 6800);
    QCOMPARE(CmToDevice(portrait, 0.8), 190);  // 189.547...

    const TPageMetrics landscape = turned(portrait);
    QVERIFY(landscape.Landscape());
    QCOMPARE(DeviceToCm(landscape, 6800), 28.7);
    QCOMPARE(CmToDevice(landscape, 28.7), 6800);

    // A square page counts as portrait: the height's centimetres are used.
    const TPageMetrics square{1000, 1000, 20.0, 10.0};
    QVERIFY(!square.Landscape());
    QCOMPARE(DeviceToCm(square, 1000), 10.0);
    QCOMPARE(CmToDevice(square, 1.0), 100);
  }

  void cmToDeviceRoundsHalvesToEven() {
    const TPageMetrics page{50, 100, 5.0, 10.0};  // 10 pixels per centimetre
    QCOMPARE(CmToDevice(page, 0.25), 2);
    QCOMPARE(CmToDevice(page, 0.75), 8);
    QCOMPARE(CmToDevice(page, 0.5), 5);
  }

  void pageOfNoSizeGivesZeroInsteadOfInfinity() {
    const TPageMetrics empty;
    QCOMPARE(DeviceToCm(empty, 100), 0.0);
    QCOMPARE(CmToDevice(empty, 3), 0);
  }

  void zoomBarExample() {
    // Page-filling zoom 4.96: maximum 49, start factor 3.968, position 40, label 400.
    const double fit = 4.96;
    QCOMPARE(zoomBarMaximum(fit), 49);
    QVERIFY(zoomBarUsable(fit));
    const double start = fit * 0.8;
    QCOMPARE(start, 3.968);
    const int position = zoomBarPosition(start, kZoomBarMinimum, zoomBarMaximum(fit));
    QCOMPARE(position, 40);
    QCOMPARE(zoomLabelText(position), QString("Réduire/Agrandir à 400 %"));
  }

  void zoomBarPositionStaysWithinItsRange() {
    QCOMPARE(zoomBarPosition(0.02, 1, 49), 1);
    QCOMPARE(zoomBarPosition(7.0, 1, 49), 49);
    QCOMPARE(zoomBarPosition(0.25, 1, 49), 2);  // 2.5: ties to even
    QCOMPARE(zoomBarPosition(0.35000001, 1, 49), 4);
  }

  void zoomBarBelowATenth() {
    // An image more than ten times larger than the page: the maximum stays at the minimum and
    // the bar cannot show a fitting zoom; the label then shows the factor itself.
    QCOMPARE(zoomBarMaximum(0.07), kZoomBarMinimum);
    QVERIFY(!zoomBarUsable(0.07));
    QVERIFY(zoomBarUsable(0.1));
    QCOMPARE(zoomBarMaximum(0.1), 1);
    QCOMPARE(zoomLabelTextForFactor(0.056), QString("Réduire/Agrandir à 6 %"));
  }

  void resolution() {
    // Wider than tall: measured along the width.
    TResolution r = ShowResolution(3000, 2000, 25.4, 16.93);
    QCOMPARE(r.perCm, 118);    // 118.11
    QCOMPARE(r.perInch, 300);  // 3000 / 25.4 * 2.54
    QCOMPARE(resolutionText(r), QString("300 pixels/pouce, 118 pixels/cm"));
    // Square or taller: along the height; the width field does not matter.
    r = ShowResolution(1000, 1000, 999.0, 10.0);
    QCOMPARE(r.perCm, 100);
    QCOMPARE(r.perInch, 254);
    r = ShowResolution(800, 1200, 0.0, 12.0);
    QCOMPARE(r.perCm, 100);
    // A field not yet valid gives zeros rather than a division by zero.
    r = ShowResolution(800, 1200, 5.0, 0.0);
    QCOMPARE(r.perCm, 0);
    QCOMPARE(r.perInch, 0);
  }

  void pageSizeUsesTheLocaleSeparator() {
    const TPageMetrics page = portraitPage();
    QCOMPARE(pageSizeText(page, QLocale(QLocale::French)), QString("20,3 cm x 28,7 cm"));
    QCOMPARE(pageSizeText(page, QLocale(QLocale::English)), QString("20.3 cm x 28.7 cm"));
  }

  void previewPage() {
    const TPreviewLayout portrait = LayoutPreviewPage(portraitPage());
    QCOMPARE(portrait.PreviewHeight, 225);
    QCOMPARE(portrait.PreviewWidth, 159);  // 4800 * 225 / 6800 = 158.8
    QCOMPARE(portrait.PreviewScale, 225.0 / 6800);

    const TPreviewLayout landscape = LayoutPreviewPage(turned(portraitPage()));
    QCOMPARE(landscape.PreviewWidth, 225);
    QCOMPARE(landscape.PreviewHeight, 159);
    QCOMPARE(landscape.PreviewScale, 225.0 / 6800);
  }

  void rangeChecksInOrderWithLocaleNumbers() {
    const TPageMetrics page = turned(portraitPage());  // 28.7 x 20.3 cm, 6800 x 4800
    const QLocale fr(QLocale::French);
    const int drawnW = CmToDevice(page, 20.0), drawnH = CmToDevice(page, 10.0);

    TRangeCheck c = CheckFieldRanges(page, drawnW, drawnH, 20, 10, 1, 1, fr);
    QCOMPARE(c.result, 0);

    c = CheckFieldRanges(page, drawnW, drawnH, 0.5, 0.2, 50, 50, fr);
    QCOMPARE(c.result, 1);  // the first failing rule decides
    QCOMPARE(c.warning, QString("La largeur doit être comprise entre 1,00 et 28,70"));
    c = CheckFieldRanges(page, drawnW, drawnH, 28.71, 10, 1, 1, fr);
    QCOMPARE(c.result, 1);
    c = CheckFieldRanges(page, drawnW, drawnH, 28.7, 10, 1, 1, fr);
    QCOMPARE(c.result, 0);

    c = CheckFieldRanges(page, drawnW, drawnH, 20, 21, 1, 1, QLocale(QLocale::English));
    QCOMPARE(c.result, 2);
    QCOMPARE(c.warning, QString("La hauteur doit être comprise entre 1.00 et 20.30"));

    // The largest margins come from the size applied, not the size typed.
    const double leftMax = 28.7 - DeviceToCm(page, drawnW);
    c = CheckFieldRanges(page, drawnW, drawnH, 1, 1, leftMax + 0.01, 0, fr);
    QCOMPARE(c.result, 3);
    QCOMPARE(c.warning, QString("La marge de gauche doit être inférieure ou égale à %1")
                            .arg(fr.toString(leftMax, 'f', 2)));
    c = CheckFieldRanges(page, drawnW, drawnH, 1, 1, leftMax, 10.31, fr);
    QCOMPARE(c.result, 4);
    QCOMPARE(c.warning, QString("La marge du haut doit être inférieure ou égale à 10,30"));
  }

  void cutMarksAtTheFourCorners() {
    const QRect image(100, 200, 700, 500);  // ratio 1.4: no middle marks
    const std::vector<QLine> lines = cutMarkLines(image, 80, 10, 700.0 / 500);
    QCOMPARE(lines.size(), std::size_t(8));
    const int l = 100, t = 200, r = 800, b = 700;
    QVERIFY(contains(lines, QLine(l - 80, t, l - 10, t)));
    QVERIFY(contains(lines, QLine(l, t - 80, l, t - 10)));
    QVERIFY(contains(lines, QLine(r + 80, t, r + 10, t)));
    QVERIFY(contains(lines, QLine(r, t - 80, r, t - 10)));
    QVERIFY(contains(lines, QLine(r + 80, b, r + 10, b)));
    QVERIFY(contains(lines, QLine(r, b + 80, r, b + 10)));
    QVERIFY(contains(lines, QLine(l - 80, b, l - 10, b)));
    QVERIFY(contains(lines, QLine(l, b + 80, l, b + 10)));
  }

  void middleMarksOnElongatedImages() {
    // 1000 x 500: above and below the middle of the width.
    std::vector<QLine> lines = cutMarkLines(QRect(0, 0, 1001, 500), 8, 1, 2.0);
    QCOMPARE(lines.size(), std::size_t(10));
    QVERIFY(contains(lines, QLine(500, -8, 500, -1)));  // 0 + 1001 div 2
    QVERIFY(contains(lines, QLine(500, 508, 500, 501)));
    // Taller than wide: left and right of the middle of the height.
    lines = cutMarkLines(QRect(10, 10, 300, 600), 8, 1, 0.5);
    QCOMPARE(lines.size(), std::size_t(10));
    QVERIFY(contains(lines, QLine(2, 310, 9, 310)));
    QVERIFY(contains(lines, QLine(318, 310, 311, 310)));
    // Exactly 1.5 counts as elongated.
    QCOMPARE(cutMarkLines(QRect(0, 0, 300, 200), 8, 1, 1.5).size(), std::size_t(10));
    QCOMPARE(cutMarkLines(QRect(0, 0, 200, 300), 8, 1, 200.0 / 300).size(), std::size_t(10));
  }
};

QTEST_MAIN(TestPrintLayout)
#include "test_print_layout.moc"
