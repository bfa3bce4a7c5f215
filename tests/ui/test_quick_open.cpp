// A large JPEG opened in two steps on the real window: the reduced picture stands in, the full
// picture replaces it, commands issued meanwhile act on the full picture, a damaged file ends as a
// failed open, a newer open wins, and the EXIF orientation holds for the reduced picture too.
#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include "../core/exif_orientation.h"
#include "../core/scripted_prompts.h"
#include "app/live_preview.h"
#include "app/main_form.h"
#include "app/picture_loader.h"
#include "compose/mask_build.h"
#include "imagefile/jpeg_writer.h"
#include "imagefile/load_image.h"
#include "ui_test_files.h"
#include "view/my_graphic.h"
#include "window_test_support.h"

using namespace vorlino;
using vorlino::test::child;
using vorlino::test::ScriptedPrompts;
using vorlino::test::showForm;
using vorlino::test::status;
using vorlino::test::WriteBmp;

namespace {

constexpr int kWidth = 4200;  // 12.6 megapixels: a photo large enough to open in two steps
constexpr int kHeight = 3000;
// The reduced decode runs at a low priority: on a busy machine it may take a while.
constexpr int kPatience = 60000;

// Writes a kWidth x kHeight JPEG: dark on the left half, bright with a gradient on the right;
// with orientation, an EXIF block holding that Orientation value; keepFraction cuts the file.
QString WriteLargeJpeg(const QString& folder, const QString& name, int orientation = 0,
                       double keepFraction = 1.0, int width = kWidth, int height = kHeight) {
  Bitmap picture;
  picture.resetForOverwrite(width, height, 24);
  for (int y = 0; y < height; ++y) {
    std::uint8_t* row = picture.row(y);
    for (int x = 0; x < width; ++x) {
      const bool dark = x < width / 2;
      row[3 * x] = static_cast<std::uint8_t>(dark ? 20 : 200 + (y & 31));
      row[3 * x + 1] = static_cast<std::uint8_t>(dark ? 20 : 180 + (x & 63));
      row[3 * x + 2] = static_cast<std::uint8_t>(dark ? 30 : 220);
    }
  }
  ByteWriter out;
  if (!WriteJpeg(picture, out, JpegOptions{}).ok()) qFatal("cannot write the test photo");
  std::vector<std::uint8_t> bytes = out.bytes();
  if (orientation != 0)
    bytes = test::withExifOrientation(bytes, static_cast<std::uint8_t>(orientation));
  bytes.resize(static_cast<std::size_t>(static_cast<double>(bytes.size()) * keepFraction));
  const QString path = QDir(folder).filePath(name);
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly)) qFatal("cannot write %s", qPrintable(path));
  file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
  return path;
}

Bitmap PlainDecode(const QString& path) {
  Bitmap picture;
  if (!decodeImageFile(path.toStdString(), picture).ok())
    qFatal("cannot decode %s", qPrintable(path));
  picture.convertTo24();
  return picture;
}

// Holds every full decode back while it lives; declared after the window, so that it lets the
// workers go before the window waits for them.
class HeldFullPictures {
 public:
  HeldFullPictures() { TPictureLoader::HoldFullPictures(true); }
  ~HeldFullPictures() { TPictureLoader::HoldFullPictures(false); }
  void release() { TPictureLoader::HoldFullPictures(false); }
};

bool EarlyPictureShown(const TMainForm& form) {
  const Bitmap* standIn = form.ImageView()->StandIn();
  return standIn != nullptr && standIn->width() > 1;
}

}  // namespace

class TestQuickOpen : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir dir_;
  QString large_;
  QString turned_;  // EXIF orientation 6: shown a quarter turn clockwise
  QString cut_;     // the header whole, the data cut short
  QString small_;
  QString smallJpeg_;  // just under the size that opens in two steps
  QString mask_;

  static void open(TMainForm& form, ScriptedPrompts& script, const QString& path) {
    script.openReplies.push_back({true, path.toStdString(), false});
    QTest::keyClick(&form, Qt::Key_O, Qt::ControlModifier);
  }
  QString programFolder(const char* name) {
    const QString folder = dir_.filePath(QString::fromLatin1(name)) + QLatin1Char('/');
    QDir().mkpath(folder);
    return folder;
  }

 private slots:
  void initTestCase() {
    QVERIFY(dir_.isValid());
    large_ = WriteLargeJpeg(dir_.path(), "grande.jpg");
    turned_ = WriteLargeJpeg(dir_.path(), "tournee.jpg", 6);
    cut_ = WriteLargeJpeg(dir_.path(), "coupee.jpg", 0, 0.6);
    small_ = WriteBmp(dir_.path(), "petite.bmp", 300, 200, qRgb(10, 120, 240));
    smallJpeg_ = WriteLargeJpeg(dir_.path(), "moyenne.jpg", 0, 1.0, 4000, 2990);
    mask_ = WriteBmp(dir_.path(), "masque.bmp", 40, 40, [](int x, int y) {
      return x < 20 && y < 10 ? qRgb(0, 0, 0) : qRgb(255, 255, 255);
    });
  }

  void reducedPictureStandsInUntilTheFullOneReplacesIt() {
    ScriptedPrompts script;
    TMainForm form(nullptr, programFolder("replace"));
    showForm(form);
    open(form, script, smallJpeg_);
    QVERIFY(!form.OpenPending());
    QCOMPARE(form.WorkingBitmap().width(), 4000);
    HeldFullPictures held;
    open(form, script, large_);
    QVERIFY(form.OpenPending());
    // The status tells the photo's own size and name at once; its history is not there yet.
    QCOMPARE(status(form, 1), QStringLiteral("%1 x %2").arg(kWidth).arg(kHeight));
    QCOMPARE(status(form, 2), large_);
    QVERIFY(!child<QToolButton>(form, "BtnUndo")->isEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(EarlyPictureShown(form), kPatience);
    const Bitmap& early = *form.ImageView()->StandIn();
    QVERIFY(early.width() < kWidth / 2);
    QVERIFY(qAbs(early.width() * kHeight - early.height() * kWidth) <= kWidth);  // same shape
    QCOMPARE(form.RecentFiles(), QStringList{smallJpeg_});

    held.release();
    QTRY_VERIFY_WITH_TIMEOUT(!form.OpenPending(), kPatience);
    QCOMPARE(form.ImageView()->StandIn(), nullptr);
    QVERIFY(form.WorkingBitmap() == PlainDecode(large_));
    QCOMPARE(form.CurrentFileName(), large_);
    QCOMPARE(form.RecentFiles(), (QStringList{large_, smallJpeg_}));
    QCOMPARE(form.ModificationCount(), 0);
    QVERIFY(script.messages.empty());
  }

  void commandsIssuedDuringTheDecodeActOnTheFullPicture() {
    ScriptedPrompts script;
    TMainForm form(nullptr, programFolder("commands"));
    showForm(form);
    script.openReplies.push_back({true, mask_.toStdString(), false});
    child<QToolButton>(form, "BtnParcourir")->click();
    const Bitmap plain = PlainDecode(large_);
    Bitmap framed = plain;
    const std::optional<Bitmap> mask = BuildMaskBitmap(form.MaskPicture(), plain.width(),
                                                       plain.height(), form.CurrentMaskOptions());
    QVERIFY(mask.has_value());
    ApplyMaskBitmap(framed, *mask, form.ResultFormat(), form.CurrentBlendOptions());

    {
      HeldFullPictures held;
      open(form, script, large_);
      QTRY_VERIFY_WITH_TIMEOUT(EarlyPictureShown(form), kPatience);
      held.release();
      // Issued before the full picture was announced: the command waits for it.
      QVERIFY(form.OpenPending());
      QTest::keyClick(&form, Qt::Key_M, Qt::ControlModifier);
      QVERIFY(!form.OpenPending());
      QCOMPARE(form.ModificationCount(), 1);
      QVERIFY(form.WorkingBitmap() == framed);
      // The snapshot the apply recorded is the full picture.
      QTest::keyClick(&form, Qt::Key_Z, Qt::ControlModifier);
      QVERIFY(form.WorkingBitmap() == plain);
    }

    // Saved while decoding: the file holds the full picture. The changed document is let go.
    script.answers.push_back(MessageResult::mrNo);
    const QString saved = dir_.filePath(QStringLiteral("enregistree.bmp"));
    {
      HeldFullPictures held;
      open(form, script, large_);
      QVERIFY(form.OpenPending());
      held.release();
      script.saveReplies.push_back({true, saved.toStdString()});
      QTest::keyClick(&form, Qt::Key_S, Qt::ControlModifier);
      QVERIFY(!form.OpenPending());
    }
    QVERIFY(PlainDecode(saved) == plain);
    QCOMPARE(form.ModificationCount(), 0);
  }

  void sidePanelChangedDuringTheDecodePreviewsTheFullPicture() {
    ScriptedPrompts script;
    TMainForm form(nullptr, programFolder("preview"));
    showForm(form);
    script.openReplies.push_back({true, mask_.toStdString(), false});
    child<QToolButton>(form, "BtnParcourir")->click();
    {
      HeldFullPictures held;
      open(form, script, large_);
      QTest::mouseClick(child<QCheckBox>(form, "ChbFlou"), Qt::LeftButton);
      // Nothing is framed from the picture that is not there yet.
      QVERIFY(!form.LivePreview()->Current().has_value());
      QVERIFY(form.OpenPending());
    }
    QTRY_VERIFY_WITH_TIMEOUT(!form.OpenPending(), kPatience);
    if (!form.LivePreviewEnabled()) return;
    QTRY_VERIFY_WITH_TIMEOUT(form.LivePreview()->FullResult() != nullptr, kPatience);
    Bitmap framed = PlainDecode(large_);
    const std::optional<Bitmap> mask = BuildMaskBitmap(form.MaskPicture(), framed.width(),
                                                       framed.height(), form.CurrentMaskOptions());
    QVERIFY(mask.has_value());
    ApplyMaskBitmap(framed, *mask, form.ResultFormat(), form.CurrentBlendOptions());
    QVERIFY(*form.LivePreview()->FullResult() == framed);
  }

  void damagedLargeJpegEndsAsAFailedOpen() {
    ScriptedPrompts script;
    TMainForm form(nullptr, programFolder("damaged"));
    showForm(form);
    open(form, script, small_);
    const Bitmap previous = form.WorkingBitmap();
    const QString zoom = status(form, 1);

    open(form, script, cut_);
    QVERIFY(form.OpenPending());
    QTRY_VERIFY_WITH_TIMEOUT(!form.OpenPending(), kPatience);
    QCOMPARE(script.messages.size(), std::size_t{1});
    QCOMPARE(script.messages[0].text, loadFailureMessage(cut_.toStdString()));
    QVERIFY(form.WorkingBitmap() == previous);
    QCOMPARE(form.CurrentFileName(), small_);
    QCOMPARE(form.RecentFiles(), QStringList{small_});
    QCOMPARE(status(form, 1), zoom);
    QCOMPARE(status(form, 2), small_);
    QCOMPARE(form.ImageView()->StandIn(), nullptr);

    // A command waiting for a picture that never comes does not run on the previous document.
    script.openReplies.push_back({true, mask_.toStdString(), false});
    child<QToolButton>(form, "BtnParcourir")->click();
    {
      HeldFullPictures held;
      open(form, script, cut_);
      QVERIFY(form.OpenPending());
      held.release();
      QTest::keyClick(&form, Qt::Key_M, Qt::ControlModifier);
    }
    QVERIFY(!form.OpenPending());
    QCOMPARE(script.messages.size(), std::size_t{2});
    QCOMPARE(form.ModificationCount(), 0);
    QVERIFY(form.WorkingBitmap() == previous);
  }

  void newerOpenWinsAndOrientationHoldsForTheReducedPicture() {
    ScriptedPrompts script;
    TMainForm form(nullptr, programFolder("newer"));
    showForm(form);
    {
      HeldFullPictures held;
      open(form, script, turned_);
      // Upright from the first moment: the quarter turn swaps the sides.
      QCOMPARE(status(form, 1), QStringLiteral("%1 x %2").arg(kHeight).arg(kWidth));
      QTRY_VERIFY_WITH_TIMEOUT(EarlyPictureShown(form), kPatience);
      const Bitmap& early = *form.ImageView()->StandIn();
      QVERIFY(early.height() > early.width());
      // The file's left half is dark: turned clockwise it is the top half.
      const std::uint8_t* top = early.row(early.height() / 4);
      const std::uint8_t* bottom = early.row(early.height() * 3 / 4);
      QVERIFY(top[3 * (early.width() / 2)] < 60);
      QVERIFY(bottom[3 * (early.width() / 2)] > 150);

      open(form, script, large_);
      QVERIFY(form.OpenPending());
      QCOMPARE(status(form, 1), QStringLiteral("%1 x %2").arg(kWidth).arg(kHeight));
    }
    QTRY_VERIFY_WITH_TIMEOUT(!form.OpenPending(), kPatience);
    // Let the first open's late picture come through the event loop: it is dropped.
    QTest::qWait(200);
    QVERIFY(form.WorkingBitmap() == PlainDecode(large_));
    QCOMPARE(form.CurrentFileName(), large_);
    QVERIFY(script.messages.empty());
  }
};

QTEST_MAIN(TestQuickOpen)
#include "test_quick_open.moc"
