// The colour-managed view: a tagged picture is shown converted to the screen's profile while its
// bitmap keeps the file's values; sRGB and untagged pictures are drawn as they are.
#include <QAction>
#include <QComboBox>
#include <QProcess>
#include <QScrollBar>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <fstream>
#include <iterator>

#include "../core/scripted_prompts.h"
#include "app/main_form.h"
#include "app/picture_loader.h"
#include "imagefile/decoders.h"
#include "imagefile/jpeg_writer.h"
#include "imagefile/load_image.h"
#include "imagefile/metadata.h"
#include "imagefile/photo_formats.h"
#include "imagefile/tiff_writer.h"
#include "view/display_profile.h"
#include "view/my_graphic.h"

using namespace vorlino;

namespace {

const char* const kAdobeRgb = "/usr/share/color/icc/compatibleWithAdobeRGB1998.icc";
const char* const kSrgb = "/usr/share/color/icc/sRGB.icc";

std::vector<std::uint8_t> readBytes(const char* path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Saturated and pale colours, greys and the extremes, one per pixel.
Bitmap colourChart() {
  Bitmap b(36, 20);
  for (int y = 0; y < b.height(); ++y)
    for (int x = 0; x < b.width(); ++x)
      b.setPixel(x, y, rgb(std::uint8_t(x * 7), std::uint8_t(255 - y * 12), std::uint8_t(x * y)));
  return b;
}

// Largest channel difference of two 24-bit pictures of one size (-1 for different sizes).
int maxDifference(const Bitmap& a, const Bitmap& b) {
  if (a.width() != b.width() || a.height() != b.height()) return -1;
  int d = 0;
  for (int y = 0; y < a.height(); ++y)
    for (int x = 0; x < a.width(); ++x) {
      const Color p = a.pixel(x, y), q = b.pixel(x, y);
      d = std::max({d, std::abs(redOf(p) - redOf(q)), std::abs(greenOf(p) - greenOf(q)),
                    std::abs(blueOf(p) - blueOf(q))});
    }
  return d;
}

QImage shot(TMyImage& view) {
  return view.ScrollBox()->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

}  // namespace

class TestDisplayProfile : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    adobe_ = readBytes(kAdobeRgb);
    if (adobe_.empty()) QSKIP("icc-profiles-free is not installed (no Adobe RGB profile)");
  }

  // lcms2's own command-line tool converts the same pixels the same way.
  void adobeRgbPixelsAreShownAsTificcConvertsThem() {
    const QString tificc = QStandardPaths::findExecutable(QStringLiteral("tificc"));
    if (tificc.isEmpty()) QSKIP("tificc (liblcms2-utils) is not installed");
    const Bitmap chart = colourChart();
    TDisplayProfile display;
    display.SetSourceProfile(adobe_);
    QVERIFY(display.Active());
    const Bitmap& shown = display.Shown(chart);
    QVERIFY(&shown != &chart);

    QTemporaryDir dir;
    ByteWriter tiff;
    QVERIFY(WriteTiff(chart, tiff, TiffOptions{}).ok());
    const QString in = dir.filePath(QStringLiteral("in.tif"));
    const QString out = dir.filePath(QStringLiteral("out.tif"));
    std::ofstream(in.toStdString(), std::ios::binary)
        .write(reinterpret_cast<const char*>(tiff.bytes().data()), std::streamsize(tiff.size()));
    QProcess run;
    run.start(tificc,
              {QStringLiteral("-i"), QString::fromLatin1(kAdobeRgb), QStringLiteral("-o"),
               QStringLiteral("*sRGB"), QStringLiteral("-t"), QStringLiteral("0"), in, out});
    QVERIFY(run.waitForFinished());
    QCOMPARE(run.exitCode(), 0);
    const std::vector<std::uint8_t> converted = readBytes(out.toLocal8Bit().constData());
    ByteReader reader(converted);
    Bitmap expected;
    QVERIFY(readTiff(reader, expected, {}).ok());
    expected.convertTo24();
    int maxDiff = 0, changed = 0;
    for (int y = 0; y < chart.height(); ++y)
      for (int x = 0; x < chart.width(); ++x) {
        const Color a = shown.pixel(x, y), b = expected.pixel(x, y), c = chart.pixel(x, y);
        maxDiff = std::max({maxDiff, std::abs(redOf(a) - redOf(b)),
                            std::abs(greenOf(a) - greenOf(b)), std::abs(blueOf(a) - blueOf(b))});
        changed += a != c;
      }
    QVERIFY2(maxDiff <= 2, qPrintable(QString::number(maxDiff)));
    QVERIFY(changed > chart.width() * chart.height() / 2);
    // A saturated Adobe RGB green lies outside sRGB: shown at full green, the other channels
    // pushed to nothing; a mid grey stays grey.
    Bitmap two(2, 1);
    two.setPixel(0, 0, rgb(60, 200, 60));
    two.setPixel(1, 0, rgb(128, 128, 128));
    const Bitmap& pair = display.Shown(two);
    QVERIFY(redOf(pair.pixel(0, 0)) < 60 && blueOf(pair.pixel(0, 0)) < 60);
    QCOMPARE(redOf(pair.pixel(1, 0)), greenOf(pair.pixel(1, 0)));
  }

  void srgbAndUntaggedPicturesAreDrawnAsTheyAre() {
    const Bitmap chart = colourChart();
    TDisplayProfile display;
    QVERIFY(!display.Active());
    QCOMPARE(&display.Shown(chart), &chart);
    const std::vector<std::uint8_t> srgb = readBytes(kSrgb);
    if (!srgb.empty()) {
      display.SetSourceProfile(srgb);
      QVERIFY(!display.Active());
      QCOMPARE(&display.Shown(chart), &chart);
    }
    // The screen's own profile: nothing to convert either.
    display.SetScreenProfile(adobe_);
    display.SetSourceProfile(adobe_);
    QVERIFY(!display.Active());
    // Damaged bytes are no profile.
    display.SetSourceProfile({1, 2, 3, 4});
    QVERIFY(!display.Active());
  }

  void theCopyIsMadeOncePerChangeAndKeepsTheTransparentColour() {
    Bitmap picture = colourChart();
    picture.Transparent = true;
    picture.TransparentColor = picture.pixel(3, 3);
    TDisplayProfile display;
    display.SetSourceProfile(adobe_);
    const Bitmap* first = &display.Shown(picture);
    const Color before = first->pixel(10, 10);
    QCOMPARE(first->pixel(3, 3), picture.TransparentColor);
    for (int y = 0; y < picture.height(); ++y)
      for (int x = 0; x < picture.width(); ++x)
        QCOMPARE(first->pixel(x, y) == picture.TransparentColor,
                 picture.pixel(x, y) == picture.TransparentColor);
    // Unannounced pixel changes are not seen: the copy is reused...
    picture.setPixel(10, 10, rgb(0, 0, 0));
    QCOMPARE(display.Shown(picture).pixel(10, 10), before);
    // ...until the change is announced.
    display.Invalidate();
    QCOMPARE(display.Shown(picture).pixel(10, 10), rgb(0, 0, 0));
  }

  // In the window: the view shows converted colours at every zoom the user picks, the bitmap keeps
  // its bytes.
  void theViewShowsConvertedColoursAndKeepsTheBitmap() {
    TMyImage view;
    view.resize(300, 260);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    Bitmap& bitmap = view.Bitmap();
    bitmap.reset(40, 30);
    for (int y = 0; y < 30; ++y)
      for (int x = 0; x < 40; ++x) bitmap.setPixel(x, y, rgb(60, 200, 60));
    view.BitmapChanged();
    const Bitmap before = bitmap;
    const int m = view.Margin();
    QCOMPARE(QColor(shot(view).pixel(m + 5, m + 5)), QColor(60, 200, 60));

    view.SetColorProfile(adobe_);
    TDisplayProfile reference;
    reference.SetSourceProfile(adobe_);
    const Color expected = reference.Shown(before).pixel(0, 0);
    const QColor seen(qRgb(redOf(expected), greenOf(expected), blueOf(expected)));
    QVERIFY(seen != QColor(60, 200, 60));
    for (double zoom : {1.0, 0.25, 3.0, 7.5}) {
      view.SetZoom(zoom);
      QCOMPARE(QColor(shot(view).pixel(m + 1, m + 1)), seen);
    }
    QVERIFY(bitmap == before);
    // A change of the bitmap shows at the next paint.
    bitmap.setPixel(0, 0, rgb(255, 255, 255));
    view.BitmapChanged();
    view.SetZoom(4);
    QCOMPARE(QColor(shot(view).pixel(m + 1, m + 1)), QColor(255, 255, 255));
    view.SetColorProfile({});
    QCOMPARE(QColor(shot(view).pixel(m + 5, m + 5)), QColor(60, 200, 60));
  }

  // The whole road: a tagged HEIF photo opened in the window through the open dialog, its profile
  // handed to the view, then zoomed with the keyboard.
  void aTaggedHeifOpensInTheWindowAndShowsConvertedAtEveryZoom() {
    const std::string file = VORLINO_TEST_DATA "/heif/adobergb.heif";
    Bitmap decoded;
    QVERIFY(decodeImageFile(file, decoded).ok());
    vorlino::test::ScriptedPrompts script;
    QTemporaryDir program;
    TMainForm form(nullptr, program.path() + QLatin1Char('/'));
    form.resize(800, 600);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    script.openReplies.push_back({true, file, false});
    form.findChild<QAction*>(QStringLiteral("MenuFichierOuvrir"))->trigger();
    QVERIFY(script.messages.empty());
    QCOMPARE(form.WorkingBitmap().width(), 64);
    QVERIFY(maxDifference(form.WorkingBitmap(), decoded) == 0);

    // Opening hands the file's profile to the view.
    QVERIFY(form.ImageView()->Display().Active());
    TDisplayProfile reference;
    reference.SetSourceProfile(adobe_);
    const Bitmap converted = reference.Shown(decoded);
    QVERIFY(converted.pixel(10, 20) != decoded.pixel(10, 20));

    auto* zoom = form.findChild<QComboBox*>(QStringLiteral("CmbZoom"));
    zoom->setFocus();
    TMyImage& view = *form.ImageView();
    for (int step = 0; step < 3; ++step) {
      const double scale = view.GetZoom();
      const QPoint at = view.OriginMarker() + QPoint(view.Margin(), view.Margin()) +
                        QPoint(int(10.5 * scale), int(20.5 * scale));
      const Color c = converted.pixel(10, 20);
      QCOMPARE(QColor(shot(view).pixel(at)), QColor(redOf(c), greenOf(c), blueOf(c)));
      if (step == 2) break;
      QTest::keyClick(zoom, Qt::Key_Up);  // 100%, 50%, then "Auto" (400% for so small a photo)
      QVERIFY(view.GetZoom() != scale);
    }
    QVERIFY(maxDifference(form.WorkingBitmap(), decoded) == 0);
  }

  // A large tagged JPEG opens in two steps: its reduced picture is drawn converted already, and
  // failing to open it gives the previous document its own colours back.
  void aLargeTaggedJpegShowsItsReducedPictureConverted() {
    Bitmap photo(4200, 3000);
    for (int y = 0; y < photo.height(); ++y) {
      std::uint8_t* row = photo.row(y);
      for (int x = 0; x < photo.width(); ++x) {
        row[3 * x] = 60;  // BGR
        row[3 * x + 1] = 200;
        row[3 * x + 2] = 60;
      }
    }
    ByteWriter out;
    QVERIFY(WriteJpeg(photo, out, JpegOptions{}).ok());
    std::vector<std::uint8_t> bytes = out.bytes();
    QVERIFY(embedPhotoMetadata(PhotoMetadata{}.withProfile(adobe_), photo.width(), photo.height(),
                               bytes)
                .ok());
    QTemporaryDir folder;
    const std::string file = folder.filePath(QStringLiteral("grande.jpg")).toStdString();
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));

    vorlino::test::ScriptedPrompts script;
    TMainForm form(nullptr, folder.path() + QLatin1Char('/'));
    form.resize(800, 600);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    TMyImage& view = *form.ImageView();
    {
      // Released however the block ends: the window waits for its decode when it goes.
      struct Held {
        Held() { TPictureLoader::HoldFullPictures(true); }
        ~Held() { TPictureLoader::HoldFullPictures(false); }
      } held;
      script.openReplies.push_back({true, file, false});
      QTest::keyClick(&form, Qt::Key_O, Qt::ControlModifier);
      QTRY_VERIFY_WITH_TIMEOUT(view.StandIn() != nullptr && view.StandIn()->width() > 1, 60000);
      const Bitmap& early = *view.StandIn();
      TDisplayProfile reference;
      reference.SetSourceProfile(adobe_);
      const Color c = reference.Shown(early).pixel(early.width() / 2, early.height() / 2);
      QVERIFY(c != early.pixel(early.width() / 2, early.height() / 2));
      const QPoint centre = view.ScrollBox()->viewport()->rect().center();
      const QColor seen(shot(view).pixel(centre));
      QVERIFY(std::abs(seen.red() - redOf(c)) <= 1 && std::abs(seen.green() - greenOf(c)) <= 1 &&
              std::abs(seen.blue() - blueOf(c)) <= 1);
    }
    QTRY_VERIFY_WITH_TIMEOUT(!form.OpenPending(), 60000);
    QVERIFY(form.ImageView()->Display().Active());
    QVERIFY(script.messages.empty());
  }

 private:
  std::vector<std::uint8_t> adobe_;
};

QTEST_MAIN(TestDisplayProfile)
#include "test_display_profile.moc"
