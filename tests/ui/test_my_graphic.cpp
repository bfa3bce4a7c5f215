#include <QPaintEvent>
#include <QScrollBar>
#include <QTest>

#include "view/my_graphic.h"

using namespace vorlino;

namespace {

// Counts the paint events a widget receives.
class PaintCounter : public QObject {
 public:
  int count = 0;
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++count;
    return false;
  }
};

void fillBitmap(Bitmap& b, int w, int h) {
  b.reset(w, h, 24);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) b.setPixel(x, y, rgb(std::uint8_t(x), std::uint8_t(y), 99));
}

// The viewport as the user sees it.
QImage shot(TMyImage& view) {
  return view.ScrollBox()->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

}  // namespace

class TestMyImage : public QObject {
  Q_OBJECT

 private slots:
  void freshView() {
    TMyImage view;
    QCOMPARE(view.Margin(), 8);
    QCOMPARE(view.GetZoom(), 1.0);
    QVERIFY(view.Bitmap().empty());
    QVERIFY(!view.TransparentDisplay());
    QCOMPARE(view.Zoomer().Alignment(), zaManual);
    QVERIFY(view.Zoomer().SnapToPixels());
    QVERIFY(!view.Zoomer().Halftone());
    QCOMPARE(view.ScrollBox()->extent(), QSize(16, 16));
  }

  void extentCoversImageAndMargins() {
    TMyImage view;
    view.resize(150, 100);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    view.Bitmap().reset(100, 50);
    view.BitmapChanged();
    view.SetZoom(2);
    QCOMPARE(view.ExtentMarker() - view.OriginMarker(), QPoint(216, 116));
    QCOMPARE(view.ScrollBox()->extent(), QSize(216, 116));
    // The ranges let the far corner of the extent reach the viewport's far corner.
    QScrollBar* h = view.ScrollBox()->horizontalScrollBar();
    QScrollBar* v = view.ScrollBox()->verticalScrollBar();
    const QSize viewport = view.ScrollBox()->viewport()->size();
    QCOMPARE(h->maximum(), 216 - viewport.width());
    QCOMPARE(v->maximum(), 116 - viewport.height());
    QVERIFY(h->hasTracking() && v->hasTracking());
    view.ScrollTo(1000, 1000);
    QCOMPARE(view.ExtentMarker(), QPoint(viewport.width(), viewport.height()));
    QCOMPARE(view.OriginMarker(), QPoint(viewport.width() - 216, viewport.height() - 116));
    // Zooming back to fit drops the ranges and the position.
    view.SetZoom(0.5);
    QCOMPARE(h->maximum(), 0);
    QCOMPARE(v->maximum(), 0);
    QCOMPARE(view.OriginMarker(), QPoint(0, 0));
  }

  void fitIntoLimitsByWidthThenHeight() {
    TMyImage view;
    view.Bitmap().reset(800, 400);
    view.BitmapChanged();
    view.FitInto(416, 300);
    QCOMPARE(view.GetZoom(), 0.5);
    QCOMPARE(view.Zoomer().DrawnHeight(), 200);

    view.Bitmap().reset(400, 800);
    view.BitmapChanged();  // same zoom, new drawn size
    QCOMPARE(view.Zoomer().DrawnWidth(), 200);
    view.FitInto(416, 300);
    QCOMPARE(view.GetZoom(), 284.0 / 800.0);
    QCOMPARE(view.Zoomer().DrawnWidth(), 142);
    QCOMPARE(view.Zoomer().DrawnHeight(), 284);
    QCOMPARE(view.ScrollBox()->extent(), QSize(158, 300));

    // Too narrow for any width: only the height step can act.
    view.SetZoom(1);
    view.FitInto(16, 1000);
    QCOMPARE(view.GetZoom(), 1.0);
    view.FitInto(10, 216);
    QCOMPARE(view.GetZoom(), 0.25);
  }

  void repaintsOnlyWhenThePositionChanges() {
    TMyImage view;
    view.resize(200, 150);
    view.Bitmap().reset(300, 300);
    view.BitmapChanged();
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    PaintCounter counter;
    QWidget* viewport = view.ScrollBox()->viewport();
    viewport->installEventFilter(&counter);
    QCoreApplication::processEvents();
    counter.count = 0;

    view.ScrollTo(40, 30);
    QCoreApplication::processEvents();
    QCOMPARE(counter.count, 1);
    QCOMPARE(view.OriginMarker(), QPoint(-40, -30));
    view.ScrollTo(40, 30);  // same place
    QCoreApplication::processEvents();
    QCOMPARE(counter.count, 1);

    // Dragging the thumb: the view follows every position, not only the release.
    QScrollBar* h = view.ScrollBox()->horizontalScrollBar();
    h->setSliderDown(true);
    for (int x = 41; x <= 45; ++x) {
      h->setSliderPosition(x);
      QCoreApplication::processEvents();
      QCOMPARE(view.OriginMarker().x(), -x);
    }
    h->setSliderDown(false);
    QCOMPARE(counter.count, 6);
    viewport->removeEventFilter(&counter);
  }

  void drawsTheImageMarginPixelsIn() {
    TMyImage view;
    view.resize(120, 100);
    fillBitmap(view.Bitmap(), 30, 20);
    view.BitmapChanged();
    view.SetZoom(2);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    const QRgb face = view.palette().color(QPalette::Window).rgb();
    QImage image = shot(view);
    QCOMPARE(image.pixel(7, 7), face);
    QCOMPARE(image.pixel(8, 8), qRgb(0, 0, 99));
    QCOMPARE(image.pixel(8 + 2 * 29 + 1, 8 + 2 * 19 + 1), qRgb(29, 19, 99));
    QCOMPARE(image.pixel(8 + 60, 20), face);
    QCOMPARE(image.pixel(20, 8 + 40), face);
    QCOMPARE(image.pixel(image.width() - 1, image.height() - 1), face);

    // Smaller bitmap afterwards: no stale pixels where the larger image was.
    fillBitmap(view.Bitmap(), 5, 5);
    view.BitmapChanged();
    image = shot(view);
    QCOMPARE(image.pixel(8 + 9, 8 + 9), qRgb(4, 4, 99));
    QCOMPARE(image.pixel(8 + 10, 8), face);
    QCOMPARE(image.pixel(30, 30), face);

    // Scrolled: the image moves with the scrolled area.
    fillBitmap(view.Bitmap(), 100, 100);
    view.BitmapChanged();
    view.ScrollTo(20, 10);
    image = shot(view);
    QCOMPARE(image.pixel(0, 0), qRgb(6, 1, 99));  // (20 - 8) / 2, (10 - 8) / 2
  }

  void emptyBitmapShowsOnlyBackground() {
    TMyImage view;
    view.resize(60, 60);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    const QImage image = shot(view);
    const QRgb face = view.palette().color(QPalette::Window).rgb();
    for (int y = 0; y < image.height(); y += 5)
      for (int x = 0; x < image.width(); x += 5) QCOMPARE(image.pixel(x, y), face);
  }

  void checkerboardUnderTransparentPixels() {
    for (bool offscreen : {false, true}) {
      TMyImage view;
      view.resize(140, 120);
      Bitmap& b = view.Bitmap();
      b.reset(200, 200);
      for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 200; ++x) b.setPixel(x, y, x < 100 ? kTransparentKey : rgb(1, 2, 3));
      b.Transparent = true;
      b.TransparentColor = kTransparentKey;
      view.BitmapChanged();
      view.SetTransparentDisplay(offscreen);
      view.show();
      QVERIFY(QTest::qWaitForWindowExposed(&view));

      auto expectedChecker = [&](int x, int y) {
        // Squares anchored on the image's top-left corner.
        const QPoint origin = view.OriginMarker() + QPoint(8, 8);
        const int cx = ((x - origin.x()) % 8 + 8) % 8, cy = ((y - origin.y()) % 8 + 8) % 8;
        return (cx < 4) == (cy < 4) ? qRgb(0xC0, 0xC0, 0xC0) : qRgb(255, 255, 255);
      };
      for (QPoint scroll : {QPoint(0, 0), QPoint(3, 5), QPoint(13, 2)}) {
        view.ScrollTo(scroll.x(), scroll.y());
        const QImage image = shot(view);
        const QPoint origin = view.OriginMarker() + QPoint(8, 8);
        for (int y = qMax(0, origin.y()); y < 100; ++y)
          for (int x = qMax(0, origin.x()); x < 80; ++x) {
            const int bx = x - origin.x();
            QCOMPARE(image.pixel(x, y), bx < 100 ? expectedChecker(x, y) : qRgb(1, 2, 3));
          }
      }
    }
  }
};

QTEST_MAIN(TestMyImage)
#include "test_my_graphic.moc"
