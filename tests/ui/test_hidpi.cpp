// The window on a desktop scaled by 2: the picture at 100 % puts one of its pixels on one pixel of
// the screen, and what the program draws itself (tool pictures, colour comb, checkerboard) is
// drawn at the screen's density rather than enlarged from a 1x bitmap.
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include "../core/scripted_prompts.h"
#include "app/main_form.h"
#include "app/tool_pictures.h"
#include "controls/color_picker.h"
#include "controls/color_popup.h"
#include "dialogs/apropos.h"
#include "dialogs/modal.h"
#include "ui_test_files.h"
#include "view/my_graphic.h"

using namespace vorlino;

namespace {

constexpr int kRatio = 2;
constexpr int kMargin = 8;  // the view's, in logical pixels

// A 1-pixel checker over a gradient: any blur, doubling or shift changes some pixel.
QRgb patternAt(int x, int y) {
  const int on = (x + y) % 2 != 0 ? 255 : 0;
  return qRgb((x * 7) % 256, (y * 11) % 256, on);
}

void fillPattern(Bitmap& b, int w, int h) {
  b.reset(w, h, 24);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const QRgb c = patternAt(x, y);
      b.setPixel(x, y, rgb(std::uint8_t(qRed(c)), std::uint8_t(qGreen(c)), std::uint8_t(qBlue(c))));
    }
}

// What a widget shows, at the screen's resolution.
QImage shot(QWidget* widget) {
  const QPixmap pixmap = widget->grab();
  if (pixmap.devicePixelRatio() != kRatio) qWarning("grab at ratio %f", pixmap.devicePixelRatio());
  return pixmap.toImage().convertToFormat(QImage::Format_RGB32);
}

// Blocks of 2 x 2 device pixels, aligned on logical pixels, whose pixels differ: none at all in a
// 1x drawing enlarged to the screen.
int finerThanLogical(const QImage& image, const QRect& area) {
  int blocks = 0;
  for (int y = area.top() & ~1; y + 1 <= area.bottom(); y += 2)
    for (int x = area.left() & ~1; x + 1 <= area.right(); x += 2) {
      const QRgb a = image.pixel(x, y);
      if (image.pixel(x + 1, y) != a || image.pixel(x, y + 1) != a ||
          image.pixel(x + 1, y + 1) != a)
        ++blocks;
    }
  return blocks;
}

}  // namespace

class TestHiDpi : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir dir_;

 private slots:
  void initTestCase() {
    QVERIFY(dir_.isValid());
    qputenv("XDG_DATA_HOME", dir_.filePath(QStringLiteral("data")).toUtf8());
    qputenv("XDG_CACHE_HOME", dir_.filePath(QStringLiteral("cache")).toUtf8());
  }

  void desktopIsScaled() {
    QWidget w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QCOMPARE(w.devicePixelRatioF(), qreal(kRatio));
  }

  // 100 %: one bitmap pixel per device pixel, the margin and the scroll range in logical pixels.
  void hundredPercentIsOnePixelPerDevicePixel() {
    TMyImage view;
    view.resize(200, 150);
    fillPattern(view.Bitmap(), 41, 31);
    view.BitmapChanged();
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QCOMPARE(view.GetZoom(), 1.0);
    // Half the picture's size in logical pixels, odd sizes rounded up.
    QCOMPARE(view.ScrollBox()->extent(), QSize(21 + 2 * kMargin, 16 + 2 * kMargin));

    const QRgb face = view.palette().color(QPalette::Window).rgb();
    QImage image = shot(view.ScrollBox()->viewport());
    const int at = kMargin * kRatio;
    QCOMPARE(image.pixel(at - 1, at - 1), face);
    for (int y = 0; y < 31; ++y)
      for (int x = 0; x < 41; ++x) QCOMPARE(image.pixel(at + x, at + y), patternAt(x, y));
    QCOMPARE(image.pixel(at + 41, at), face);
    QCOMPARE(image.pixel(at, at + 31), face);

    // 200 %: blocks of 2 x 2 device pixels, one logical pixel each.
    view.SetZoom(2);
    QCOMPARE(view.ScrollBox()->extent(), QSize(41 + 2 * kMargin, 31 + 2 * kMargin));
    image = shot(view.ScrollBox()->viewport());
    for (int y = 0; y < 62; ++y)
      for (int x = 0; x < 82; ++x) QCOMPARE(image.pixel(at + x, at + y), patternAt(x / 2, y / 2));

    // Scrolled: a logical scroll step moves the picture by two device pixels.
    view.SetZoom(1);
    fillPattern(view.Bitmap(), 600, 500);
    view.BitmapChanged();
    QCOMPARE(view.ScrollBox()->extent(), QSize(300 + 2 * kMargin, 250 + 2 * kMargin));
    view.ScrollTo(30, 20);
    QCOMPARE(view.OriginMarker(), QPoint(-30, -20));
    image = shot(view.ScrollBox()->viewport());
    for (int y = 0; y < 40; ++y)
      for (int x = 0; x < 40; ++x)
        QCOMPARE(image.pixel(x, y),
                 patternAt(x + (30 - kMargin) * kRatio, y + (20 - kMargin) * kRatio));
    // The far corner is still reachable: the last device pixel column shows at the right edge.
    view.ScrollTo(100000, 100000);
    image = shot(view.ScrollBox()->viewport());
    const QPoint corner = (view.ExtentMarker() - QPoint(kMargin, kMargin)) * kRatio;
    QCOMPARE(image.pixel(corner.x() - 1, corner.y() - 1), patternAt(599, 499));
    QCOMPARE(image.pixel(corner.x(), corner.y() - 1), face);
  }

  // A fitted zoom fills the view's device pixels, not its logical ones.
  void fittingCountsDevicePixels() {
    TMyImage view;
    fillPattern(view.Bitmap(), 800, 400);
    view.BitmapChanged();
    view.FitInto(216, 300);
    QCOMPARE(view.GetZoom(), 0.5);  // 200 logical = 400 device pixels for 800
    QCOMPARE(view.Zoomer().DrawnWidth(), 400);
    QCOMPARE(view.ScrollBox()->extent(), QSize(216, 116));
    view.FitInto(416, 116);
    QCOMPARE(view.GetZoom(), 0.5);  // the height limits it now: 100 logical pixels for 400
  }

  // A transparent picture reduced for a preview (open dialog, print layout) is sampled for the
  // device pixels it covers: at half size on a desktop scaled by 2 it shows every pixel.
  void transparentPreviewUsesDevicePixels() {
    Bitmap b;
    fillPattern(b, 60, 40);
    for (int y = 0; y < 40; ++y)
      for (int x = 0; x < 60; ++x)
        if ((x * y) % 7 == 3) b.setPixel(x, y, kTransparentKey);
    b.Transparent = true;
    b.TransparentColor = kTransparentKey;
    QImage canvas(60, 40, QImage::Format_RGB32);
    canvas.setDevicePixelRatio(kRatio);
    canvas.fill(Qt::black);
    QPainter painter(&canvas);
    TImageZoom zoom;
    zoom.SetBitmap(&b);
    zoom.SetCanvas(&painter);
    zoom.SetZoom(0.5);
    QCOMPARE(zoom.Draw(false), QRect(0, 0, 30, 20));
    painter.end();
    for (int y = 0; y < 40; ++y)
      for (int x = 0; x < 60; ++x)
        QCOMPARE(canvas.pixel(x, y), (x * y) % 7 == 3 ? qRgb(0, 0, 0) : patternAt(x, y));
  }

  // Squares of 4 logical pixels, 8 device pixels of plain white or silver, moving with the image.
  void checkerboardKeepsLogicalSquaresAndSharpEdges() {
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
      for (QPoint scroll : {QPoint(0, 0), QPoint(3, 5)}) {
        view.ScrollTo(scroll.x(), scroll.y());
        const QImage image = shot(view.ScrollBox()->viewport());
        const QPoint origin = (view.OriginMarker() + QPoint(kMargin, kMargin)) * kRatio;
        for (int y = qMax(0, origin.y()); y < 160; ++y)
          for (int x = qMax(0, origin.x()); x < origin.x() + 100; ++x) {
            const int cx = (x - origin.x()) % 16, cy = (y - origin.y()) % 16;
            const QRgb want = (cx < 8) == (cy < 8) ? qRgb(0xC0, 0xC0, 0xC0) : qRgb(255, 255, 255);
            QCOMPARE(image.pixel(x, y), want);
          }
      }
    }
  }

  void toolPicturesAreDrawnForTheScreen() {
    const QPixmap pixmap =
        ToolIcon(ToolPicture::tpOpen).pixmap(QSize(kToolPictureWidth, kToolPictureHeight), 2.0);
    QCOMPARE(pixmap.devicePixelRatio(), 2.0);
    QCOMPARE(pixmap.size(), QSize(2 * kToolPictureWidth, 2 * kToolPictureHeight));
    // A 1x icon on the same desktop still gets its own drawing, not a reduced 2x one.
    const QPixmap single =
        ToolIcon(ToolPicture::tpOpen).pixmap(QSize(kToolPictureWidth, kToolPictureHeight), 1.0);
    QCOMPARE(single.size(), QSize(kToolPictureWidth, kToolPictureHeight));
    QCOMPARE(
        single.toImage().convertToFormat(QImage::Format_ARGB32),
        DrawToolPicture(ToolPicture::tpOpen, true, 1.0).convertToFormat(QImage::Format_ARGB32));
    const QPixmap disabled =
        ToolIcon(ToolPicture::tpSave)
            .pixmap(QSize(kToolPictureWidth, kToolPictureHeight), 2.0, QIcon::Disabled);
    QCOMPARE(disabled.size(), QSize(2 * kToolPictureWidth, 2 * kToolPictureHeight));
    QVERIFY(finerThanLogical(disabled.toImage(), disabled.toImage().rect()) > 20);
  }

  // The about box's picture and the OK and Cancel glyphs of the dialogs.
  void dialogPicturesAreDrawnForTheScreen() {
    TAProposForm about(nullptr, QStringLiteral("/nonexistent/guide.html"));
    const QPixmap picture = about.Image1->pixmap();
    QCOMPARE(picture.devicePixelRatio(), qreal(kRatio));
    QCOMPARE(picture.size(), QSize(96, 200) * kRatio);
    QVERIFY(finerThanLogical(picture.toImage(), picture.rect()) > 100);
    for (const QIcon& glyph : {OkGlyph(), CancelGlyph()}) {
      const QImage image = glyph.pixmap(QSize(16, 16), qreal(kRatio)).toImage();
      QCOMPARE(image.size(), QSize(16, 16) * kRatio);
      QVERIFY(finerThanLogical(image, image.rect()) > 10);
    }
  }

  // The comb, drawn off-screen, keeps the edges of its cells at device resolution.
  void colourCombIsSharp() {
    QWidget host;
    host.resize(200, 100);
    auto* picker = new TColorPicker(&host);
    picker->move(20, 20);
    picker->setCustomText("Autres couleurs...");
    picker->setClickDropDown(true);
    host.show();
    QVERIFY(QTest::qWaitForWindowExposed(&host));
    QTest::mouseClick(picker, Qt::LeftButton);
    TColorPopup* popup = picker->popup();
    QTRY_VERIFY(popup->isVisible());
    QTest::mouseClick(popup, Qt::LeftButton, {}, popup->paletteLayout().customButton.center());
    QTRY_VERIFY(popup->customMode());
    const CombLayout comb = popup->combLayout();
    const QImage image = shot(popup);
    QCOMPARE(image.size(), popup->size() * kRatio);
    const QRect square(comb.combSquare.topLeft() * kRatio, comb.combSquare.size() * kRatio);
    QVERIFY(finerThanLogical(image, square) > 100);
    // The centre cell still has its colour (white at full brightness) in device pixels.
    const QPoint centre = comb.combCentre() * kRatio;
    QCOMPARE(image.pixel(centre), qRgb(255, 255, 255));
  }

  // In the window: a picture that fits the view's device pixels opens at 100 %, shown pixel for
  // pixel; "Auto" chosen from the keyboard fits it to the device pixels of the view.
  void windowShowsPhotoPixelForPixel() {
    test::ScriptedPrompts script;
    const QString folder = dir_.filePath(QStringLiteral("program/"));
    QDir().mkpath(folder);
    TMainForm form(nullptr, folder);
    form.resize(800, 600);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    TMyImage* view = form.ImageView();
    const QSize client = view->contentsRect().size();
    // Larger than the view in logical pixels, smaller in device pixels.
    const int w = (client.width() - 2 * kMargin) * 3 / 2,
              h = (client.height() - 2 * kMargin) * 3 / 2;
    const QString photo = test::WriteBmp(dir_.path(), "photo.bmp", w, h, patternAt);
    script.openReplies.push_back({true, photo.toStdString(), false});
    form.findChild<QAction*>(QStringLiteral("MenuFichierOuvrir"))->trigger();
    auto* zoom = form.findChild<QComboBox*>(QStringLiteral("CmbZoom"));
    QCOMPARE(zoom->currentText(), QStringLiteral("100%"));
    QCOMPARE(view->GetZoom(), 1.0);
    QImage image = shot(view->ScrollBox()->viewport());
    const int at = kMargin * kRatio;
    for (int y = 0; y < 24; ++y)
      for (int x = 0; x < 24; ++x) QCOMPARE(image.pixel(at + x, at + y), patternAt(x, y));

    zoom->setFocus();
    QTest::keyClick(zoom, Qt::Key_Home);
    QCOMPARE(zoom->currentIndex(), 0);
    const double fitted = view->GetZoom();
    QVERIFY(fitted > 1.0);
    QCOMPARE(zoom->currentText(), QString::number(qRound(fitted * 100)) + QLatin1Char('%'));
    const QSize drawn(view->Zoomer().DrawnWidth(), view->Zoomer().DrawnHeight());
    const QSize room = (client - QSize(2 * kMargin, 2 * kMargin)) * kRatio;
    QVERIFY(drawn.width() <= room.width() && drawn.height() <= room.height());
    QVERIFY(drawn.width() >= room.width() - 1 || drawn.height() >= room.height() - 1);
  }

  // The gallery's thumbnails are made as many device pixels wide as their tiles.
  void galleryThumbnailsHaveDevicePixels() {
    test::ScriptedPrompts script;
    const QString folder = dir_.filePath(QStringLiteral("gallery/"));
    QDir().mkpath(folder + QStringLiteral("Masques"));
    // A ramp across: every device pixel of a sharp thumbnail differs from its neighbour.
    test::WriteBmp(folder + QStringLiteral("Masques"), "ramp.bmp", 400, 400, [](int x, int) {
      const int g = x * 255 / 399;
      return qRgb(g, g, g);
    });
    TMainForm form(nullptr, folder);
    form.resize(1000, 700);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    auto* list = form.findChild<QListWidget*>(QStringLiteral("LstMasques"));
    QVERIFY(list != nullptr);
    QTRY_VERIFY(list->count() == 1);
    const QSize tile = list->iconSize();
    QImage image;
    QTRY_VERIFY((image = list->item(0)->icon().pixmap(tile, 2.0).toImage(),
                 finerThanLogical(image, image.rect()) > 1000));
    QCOMPARE(image.size(), tile * kRatio);
  }
};

int main(int argc, char** argv) {
  // The scale is fixed before the application exists: Qt reads it once.
  qputenv("QT_SCALE_FACTOR", QByteArray::number(kRatio));
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  TestHiDpi test;
  return QTest::qExec(&test, argc, argv);
}

#include "test_hidpi.moc"
