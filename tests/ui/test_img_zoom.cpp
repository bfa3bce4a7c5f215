#include <QImage>
#include <QPainter>
#include <QTest>

#include "view/bitmap_image.h"
#include "view/img_zoom.h"

using namespace vorlino;

namespace {

// Column x of a 24-bit test bitmap has red x, green 7 * y (mod 256), blue 200.
Bitmap gradient(int w, int h) {
  Bitmap b(w, h, 24);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) b.setPixel(x, y, rgb(std::uint8_t(x), std::uint8_t(7 * y), 200));
  return b;
}

QRgb qrgbOf(Color c) {
  return qRgb(redOf(c), greenOf(c), blueOf(c));
}

QImage canvasImage(int w, int h, QRgb fill) {
  QImage image(w, h, QImage::Format_RGB32);
  image.fill(fill);
  return image;
}

}  // namespace

class TestImageZoom : public QObject {
  Q_OBJECT

 private slots:
  void initialState() {
    TImageZoom z;
    QVERIFY(!z.Bitmap());
    QVERIFY(!z.Canvas());
    QVERIFY(z.Bounds().isEmpty());
    QCOMPARE(z.Zoom(), 1.0);
    QCOMPARE(z.ZoomMode(), zmNormal);
    QCOMPARE(z.Alignment(), zaTopLeft);
    QCOMPARE(z.ImageRect(), QRect(0, 0, 0, 0));
    QVERIFY(!z.Halftone() && !z.SnapToPixels());
  }

  void fitInsideCentred() {
    const Bitmap b(400, 300);
    TImageZoom z;
    z.SetBitmap(&b);
    z.SetBounds(QRect(0, 0, 200, 200));
    z.SetZoomMode(zmFitInside);
    z.SetAlignment(zaCenter);
    QCOMPARE(z.Zoom(), 0.5);
    QCOMPARE(z.DrawnWidth(), 200);
    QCOMPARE(z.DrawnHeight(), 150);
    QCOMPARE(QPoint(z.Left(), z.Top()), QPoint(0, 25));
  }

  void fitWidthLargerThanBoundsGoesNegative() {
    const Bitmap b(400, 300);
    TImageZoom z;
    z.SetAlignment(zaCenter);
    z.SetZoomMode(zmFitWidth);
    z.SetBounds(QRect(0, 0, 800, 100));
    z.SetBitmap(&b);
    QCOMPARE(z.Zoom(), 2.0);
    QCOMPARE(QSize(z.DrawnWidth(), z.DrawnHeight()), QSize(800, 600));
    QCOMPARE(z.Top(), -250);
    QCOMPARE(z.Left(), 0);
    // Fit height on the same bounds: the other ratio.
    z.SetZoomMode(zmFitHeight);
    QCOMPARE(z.Zoom(), 100.0 / 300.0);
    QCOMPARE(z.DrawnWidth(), 133);
  }

  void drawnWidthRoundsTiesToEven() {
    const Bitmap b(200, 101);
    TImageZoom z;
    z.SetBitmap(&b);
    z.SetDrawnWidth(100);
    QCOMPARE(z.Zoom(), 0.5);
    QCOMPARE(z.DrawnHeight(), 50);  // Round(50.5)
    QCOMPARE(z.ZoomMode(), zmCustom);
    z.SetDrawnHeight(303);  // zoom 3: 600 wide
    QCOMPARE(z.Zoom(), 3.0);
    QCOMPARE(z.DrawnWidth(), 600);
    const Bitmap odd(7, 5);
    z.SetBitmap(&odd);
    z.SetZoom(0.5);  // 3.5 -> 4 and 2.5 -> 2
    QCOMPARE(QSize(z.DrawnWidth(), z.DrawnHeight()), QSize(4, 2));
    QCOMPARE(roundHalfEven(-2.5), -2);
    QCOMPARE(roundHalfEven(1e300), 1 << 30);
  }

  void drawnSizeIgnoredWithoutScale() {
    TImageZoom z;
    z.SetDrawnWidth(100);  // no bitmap
    QCOMPARE(z.DrawnWidth(), 0);
    const Bitmap empty;
    z.SetBitmap(&empty);
    z.SetDrawnWidth(100);  // would divide by a zero width
    z.SetDrawnHeight(100);
    QCOMPARE(z.Zoom(), 1.0);
    QCOMPARE(z.DrawnWidth(), 0);
    const Bitmap b(50, 40);
    z.SetBitmap(&b);
    z.SetDrawnWidth(0);
    z.SetDrawnWidth(-5);
    QCOMPARE(z.DrawnWidth(), 50);
    QCOMPARE(z.ZoomMode(), zmNormal);
  }

  void zoomSetter() {
    const Bitmap b(10, 10);
    TImageZoom z;
    z.SetBitmap(&b);
    z.SetZoom(1.0);  // unchanged value still switches to custom
    QCOMPARE(z.ZoomMode(), zmCustom);
    z.SetZoom(2.5);
    QCOMPARE(z.DrawnWidth(), 25);
    z.SetZoom(0);
    QCOMPARE(z.Zoom(), 1.0);
    z.SetZoom(-3);
    QCOMPARE(z.Zoom(), 1.0);
    z.SetZoom(std::nan(""));
    QCOMPARE(z.Zoom(), 1.0);
    QCOMPARE(z.DrawnWidth(), 10);
  }

  void emptyBitmapUnderFittingMode() {
    const Bitmap empty;
    TImageZoom z;
    z.SetBounds(QRect(0, 0, 100, 100));
    z.SetZoomMode(zmFitInside);
    z.SetBitmap(&empty);
    QCOMPARE(z.Zoom(), 0.0);
    QCOMPARE(QSize(z.DrawnWidth(), z.DrawnHeight()), QSize(0, 0));
    QImage image = canvasImage(100, 100, qRgb(1, 2, 3));
    QPainter painter(&image);
    z.SetCanvas(&painter);
    QVERIFY(z.Draw(false).isEmpty());
    painter.end();
    QCOMPARE(image.pixel(50, 50), qRgb(1, 2, 3));
  }

  void fittingWaitsForBounds() {
    // Empty bounds keep the zoom; the first real bounds apply the mode.
    const Bitmap b(100, 50);
    TImageZoom z;
    z.SetZoomMode(zmFitWidth);
    z.SetBitmap(&b);
    QCOMPARE(z.Zoom(), 1.0);
    z.SetBounds(QRect(5, 5, 300, 10));
    QCOMPARE(z.Zoom(), 3.0);
  }

  void alignments_data() {
    QTest::addColumn<int>("alignment");
    QTest::addColumn<QPoint>("expected");
    // Bounds (10, 20) 100 x 50, drawn 41 x 31, previous position (-7, -9).
    QTest::newRow("top-left") << int(zaTopLeft) << QPoint(10, 20);
    QTest::newRow("top") << int(zaTop) << QPoint(39, 20);
    QTest::newRow("top-right") << int(zaTopRight) << QPoint(69, 20);
    QTest::newRow("left") << int(zaLeft) << QPoint(10, 29);
    QTest::newRow("center") << int(zaCenter) << QPoint(39, 29);
    QTest::newRow("right") << int(zaRight) << QPoint(69, 29);
    QTest::newRow("bottom-left") << int(zaBottomLeft) << QPoint(10, 39);
    QTest::newRow("bottom") << int(zaBottom) << QPoint(39, 39);
    QTest::newRow("bottom-right") << int(zaBottomRight) << QPoint(69, 39);
    QTest::newRow("center-horz") << int(zaCenterHorz) << QPoint(39, -9);
    QTest::newRow("center-vert") << int(zaCenterVert) << QPoint(-7, 29);
    QTest::newRow("manual") << int(zaManual) << QPoint(-7, -9);
  }
  void alignments() {
    QFETCH(int, alignment);
    QFETCH(QPoint, expected);
    QCOMPARE(
        alignedPosition(TZoomAlignment(alignment), QRect(10, 20, 100, 50), 41, 31, QPoint(-7, -9)),
        expected);
  }

  void centringTruncatesTowardsZero() {
    // (100 - 101) div 2 is 0, not -1; (100 - 103) div 2 is -1.
    QCOMPARE(alignedPosition(zaCenter, QRect(0, 0, 100, 100), 101, 103, {}), QPoint(0, -1));
  }

  void leftAndTopSwitchToManual() {
    const Bitmap b(10, 10);
    TImageZoom z;
    z.SetBitmap(&b);
    z.SetBounds(QRect(0, 0, 100, 100));
    z.SetAlignment(zaCenter);
    QCOMPARE(z.Left(), 45);
    z.SetLeft(3);
    QCOMPARE(z.Alignment(), zaManual);
    z.SetZoom(2);  // recomputing no longer moves the image
    QCOMPARE(QPoint(z.Left(), z.Top()), QPoint(3, 45));
    QCOMPARE(z.ImageRect(), QRect(3, 45, 20, 20));
  }

  void snappedBlocksAtZoom3() {
    // Zoom 3, image origin at -100: column 33 is the block -1..1, column 34 starts at 2.
    const ZoomDrawPlan plan =
        planZoomDraw(QRect(0, 0, 50, 30), QPoint(-100, 0), 3.0, 100, 10, true);
    QVERIFY(plan.snapped);
    QCOMPARE(plan.source.left(), 33);
    QCOMPARE(plan.target.left(), -1);
    // Visible right edge 50 -> Ceil(150 / 3) = 50 columns; 17 blocks of 3 from -1.
    QCOMPARE(plan.source, QRect(33, 0, 17, 10));
    QCOMPARE(plan.target, QRect(-1, 0, 51, 30));
    // Without snapping the target is the visible part of the image.
    const ZoomDrawPlan loose =
        planZoomDraw(QRect(0, 0, 50, 30), QPoint(-100, 0), 3.0, 100, 10, false);
    QVERIFY(!loose.snapped);
    QCOMPARE(loose.target, QRect(0, 0, 50, 30));

    // The same on a surface: pixels 0 and 1 show column 33, 2..4 column 34; nothing outside.
    const Bitmap b = gradient(100, 10);
    QImage image = canvasImage(60, 40, qRgb(9, 9, 9));
    QPainter painter(&image);
    TImageZoom z;
    z.SetCanvas(&painter);
    z.SetBounds(QRect(0, 0, 50, 30));
    z.SetBitmap(&b);
    z.SetZoom(3);
    z.SetLeft(-100);
    z.SetTop(0);
    z.SetSnapToPixels(true);
    QCOMPARE(z.Draw(false), QRect(0, 0, 50, 30));
    painter.end();
    QCOMPARE(qRed(image.pixel(0, 0)), 33);
    QCOMPARE(qRed(image.pixel(1, 0)), 33);
    for (int x = 2; x < 5; ++x) QCOMPARE(qRed(image.pixel(x, 0)), 34);
    QCOMPARE(qRed(image.pixel(49, 0)), 49);  // block 49 starts at 47
    QCOMPARE(qGreen(image.pixel(0, 29)), 7 * 9);
    QCOMPARE(image.pixel(50, 0), qRgb(9, 9, 9));  // clipped to bounds
    QCOMPARE(image.pixel(0, 30), qRgb(9, 9, 9));
  }

  void negativeOffsetsAndPartialSource() {
    // A reduced image partly above and left of bounds: only the seen part is copied.
    const ZoomDrawPlan plan =
        planZoomDraw(QRect(0, 0, 100, 100), QPoint(-30, -50), 0.5, 400, 300, false);
    QCOMPARE(plan.target, QRect(0, 0, 100, 100));
    QCOMPARE(plan.source, QRect(60, 100, 200, 200));
    // Entirely outside: nothing.
    QVERIFY(planZoomDraw(QRect(0, 0, 10, 10), QPoint(-50, 0), 1, 40, 40, false).target.isEmpty());
    // Source rounding: Trunc on the near edges, Ceil on the far ones.
    const ZoomDrawPlan odd = planZoomDraw(QRect(0, 0, 10, 10), QPoint(-1, -1), 3, 5, 5, false);
    QCOMPARE(odd.source, QRect(0, 0, 4, 4));
  }

  void fillLeavesNoStalePixels() {
    const Bitmap b = gradient(20, 10);
    QImage image = canvasImage(100, 80, qRgb(255, 0, 0));  // stale red everywhere
    QPainter painter(&image);
    painter.setBrush(QColor(0, 255, 0));
    TImageZoom z;
    z.SetCanvas(&painter);
    QCOMPARE(z.Bounds(), QRect(0, 0, 100, 80));
    z.SetBounds(QRect(10, 10, 80, 60));
    z.SetBitmap(&b);
    z.SetZoom(2);
    z.SetAlignment(zaCenter);
    QCOMPARE(z.ImageRect(), QRect(30, 30, 40, 20));
    QCOMPARE(z.Draw(true), QRect(30, 30, 40, 20));
    painter.end();
    for (int y = 0; y < 80; ++y)
      for (int x = 0; x < 100; ++x) {
        const QRgb p = image.pixel(x, y);
        if (QRect(30, 30, 40, 20).contains(x, y))
          QCOMPARE(p, qrgbOf(b.pixel((x - 30) / 2, (y - 30) / 2)));
        else if (QRect(10, 10, 80, 60).contains(x, y))
          QCOMPARE(p, qRgb(0, 255, 0));
        else
          QCOMPARE(p, qRgb(255, 0, 0));  // outside bounds: untouched
      }
  }

  void fillWithImageOutOfSight() {
    const Bitmap b(10, 10);
    QImage image = canvasImage(20, 20, qRgb(255, 0, 0));
    QPainter painter(&image);
    painter.setBrush(Qt::blue);
    TImageZoom z;
    z.SetCanvas(&painter);
    z.SetBitmap(&b);
    z.SetLeft(500);
    QVERIFY(z.Draw(true).isEmpty());
    painter.end();
    QCOMPARE(image.pixel(0, 0), qRgb(0, 0, 255));
    QCOMPARE(image.pixel(19, 19), qRgb(0, 0, 255));
  }

  void drawWithoutSurfaceOrBitmap() {
    TImageZoom z;
    QVERIFY(z.Draw(true).isEmpty());
    const Bitmap b(4, 4);
    z.SetBitmap(&b);
    z.SetBounds(QRect(0, 0, 10, 10));
    QVERIFY(z.Draw(true).isEmpty());
  }

  void transparentColourShowsWhatWasUnder_data() {
    QTest::addColumn<double>("zoom");
    QTest::newRow("reduced") << 0.5;
    QTest::newRow("actual") << 1.0;
    QTest::newRow("enlarged") << 3.0;
  }
  void transparentColourShowsWhatWasUnder() {
    QFETCH(double, zoom);
    // Left half of the bitmap is the key colour, right half dark grey.
    Bitmap b(40, 20);
    for (int y = 0; y < 20; ++y)
      for (int x = 0; x < 40; ++x) b.setPixel(x, y, x < 20 ? kTransparentKey : rgb(50, 50, 50));
    b.Transparent = true;
    b.TransparentColor = kTransparentKey;
    QImage image(160, 80, QImage::Format_RGB32);
    for (int y = 0; y < 80; ++y)  // a pattern under the image
      for (int x = 0; x < 160; ++x)
        image.setPixel(x, y, ((x / 4 + y / 4) & 1) ? qRgb(255, 255, 255) : qRgb(192, 192, 192));
    const QImage before = image;
    QPainter painter(&image);
    TImageZoom z;
    z.SetCanvas(&painter);
    z.SetBitmap(&b);
    z.SetZoom(zoom);
    z.SetSnapToPixels(true);
    const QRect drawn = z.Draw(false);
    painter.end();
    QCOMPARE(drawn, QRect(0, 0, int(40 * zoom), int(20 * zoom)));
    for (int y = 0; y < 80; ++y)
      for (int x = 0; x < 160; ++x) {
        const bool opaque = drawn.contains(x, y) && x >= drawn.width() / 2;
        QCOMPARE(image.pixel(x, y), opaque ? qRgb(50, 50, 50) : before.pixel(x, y));
      }
    // The same bitmap not marked transparent covers the pattern.
    b.Transparent = false;
    QPainter again(&image);
    z.SetCanvas(&again);
    z.Draw(false);
    again.end();
    QCOMPARE(image.pixel(0, 0), qrgbOf(kTransparentKey));
  }

  void paletteDepthsDrawTheirColours_data() {
    QTest::addColumn<int>("bpp");
    QTest::newRow("1") << 1;
    QTest::newRow("4") << 4;
    QTest::newRow("8") << 8;
    QTest::newRow("32") << 32;
  }
  void paletteDepthsDrawTheirColours() {
    QFETCH(int, bpp);
    Bitmap b(37, 5, bpp);
    const int colours = bpp <= 8 ? 1 << bpp : 256;
    if (bpp <= 8)
      for (int i = 0; i < colours; ++i)
        b.palette()[i] = toPaletteColor(rgb(std::uint8_t(i * 3 + 1), std::uint8_t(255 - i), 9));
    for (int y = 0; y < 5; ++y)
      for (int x = 0; x < 37; ++x) {
        const int v = (x * 5 + y) % colours;
        b.setPixel(x, y,
                   bpp <= 8 ? Color(v) : rgb(std::uint8_t(v * 3 + 1), std::uint8_t(255 - v), 9));
      }
    // Scrolled so that the first visible column is not on a byte boundary.
    QImage image = canvasImage(40, 10, 0);
    QPainter painter(&image);
    TImageZoom z;
    z.SetCanvas(&painter);
    z.SetBitmap(&b);
    z.SetZoom(2);
    z.SetSnapToPixels(true);
    z.SetLeft(-2 * 11);
    z.Draw(false);
    painter.end();
    for (int y = 0; y < 10; ++y)
      for (int x = 0; x < 40 && x / 2 + 11 < 37; ++x)
        QCOMPARE(image.pixel(x, y), qrgbOf(b.pixel(x / 2 + 11, y / 2)));
  }

  void maskedSamplingPicksPixelCentres() {
    Bitmap b = gradient(9, 3);
    const QImage half = maskedImageOfArea(b, QRect(0, 0, 9, 3), QSize(3, 1), kTransparentKey);
    QCOMPARE(half.size(), QSize(3, 1));
    // Centres 1.5, 4.5, 7.5 of 9 columns.
    QCOMPARE(qRed(half.pixel(0, 0)), 1);
    QCOMPARE(qRed(half.pixel(1, 0)), 4);
    QCOMPARE(qRed(half.pixel(2, 0)), 7);
    QCOMPARE(qGreen(half.pixel(0, 0)), 7);  // row 1 of 3
  }
};

QTEST_MAIN(TestImageZoom)
#include "test_img_zoom.moc"
