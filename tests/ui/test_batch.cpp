// "Appliquer à un dossier..." end to end: the menu item, the dialog, the JPEG question, the run on
// worker threads behind the progress window, and the summary, with every dialog played by a
// script. The files written are compared with what the shared per-photo work gives.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>
#include <functional>

#include "../core/scripted_prompts.h"
#include "app/main_form.h"
#include "batch/frame_files.h"
#include "controls/color_editor.h"
#include "controls/spin2.h"
#include "dialogs/batch_form.h"
#include "dialogs/batch_progress.h"
#include "dialogs/jpg_compress.h"
#include "dialogs/modal.h"
#include "imagefile/load_image.h"
#include "imagefile/save_image.h"

using namespace vorlino;
using vorlino::test::ScriptedPrompts;

namespace {

// A photo-like picture: smooth gradients with a seed, so that every file differs.
Bitmap MakePhoto(int width, int height, int seed) {
  Bitmap bitmap(width, height, 24);
  for (int y = 0; y < height; ++y) {
    std::uint8_t* p = bitmap.row(y);
    for (int x = 0; x < width; ++x, p += 3) {
      p[0] = static_cast<std::uint8_t>(x * 3 + seed * 17);
      p[1] = static_cast<std::uint8_t>(y * 5 + seed * 31);
      p[2] = static_cast<std::uint8_t>((x + y) * 2 + seed);
    }
  }
  return bitmap;
}

void WritePicture(const QString& path, const Bitmap& bitmap) {
  QDir().mkpath(QFileInfo(path).absolutePath());
  if (SaveImageFileWith(path.toStdString(), bitmap, JpegOptions{}, false) <= 0)
    qFatal("cannot write %s", qPrintable(path));
}

QByteArray FileBytes(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Every file under folder, as paths relative to it, sorted.
QStringList FilesUnder(const QString& folder) {
  QStringList found;
  QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
  while (it.hasNext()) found << QDir(folder).relativeFilePath(it.next());
  found.sort();
  return found;
}

// How the script fills the folder dialog.
struct Fill {
  QString input;
  QString output;
  int formatIndex = 0;  // 0 "Format d'origine", then the save formats
  bool recursive = false;
  bool overwrite = false;
  int jpegSlider = 0;  // the JPEG dialog's track bar position when asked (0: not expected)
};

}  // namespace

class TestBatch : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir dir_;
  QString photos_;  // bmp, png, jpg, tga, a sub-folder with a tif, and one damaged bmp
  QString mask_;
  QString single_;  // a photo opened in the window

  template <class T>
  static T* child(QObject& form, const char* name) {
    T* found = form.findChild<T*>(QString::fromLatin1(name));
    if (found == nullptr) qFatal("no child %s", name);
    return found;
  }

  void showWithMask(TMainForm& form, ScriptedPrompts& script) {
    form.resize(800, 600);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    script.openReplies.push_back({true, mask_.toStdString(), false});
    child<QToolButton>(form, "BtnParcourir")->click();
    QVERIFY(!form.MaskPicture().empty());
  }

  // Plays the folder dialog, the JPEG dialog and the progress window; onProgress, when given, is
  // what the user does in the progress window (it then waits for the window to close itself).
  static ModalHook Player(const Fill& fill, bool* jpegAsked = nullptr,
                          std::function<void(TBatchProgress&)> onProgress = {}) {
    return [=](QDialog& dialog) {
      if (auto* form = qobject_cast<TBatchForm*>(&dialog)) {
        form->EdiEntree->setText(fill.input);
        form->EdiSortie->setText(fill.output);
        form->CmbFormat->setCurrentIndex(fill.formatIndex);
        form->CBSousDossiers->setChecked(fill.recursive);
        form->CBRemplacer->setChecked(fill.overwrite);
        form->BOk->click();
      } else if (auto* jpeg = qobject_cast<TJPGCompressForm*>(&dialog)) {
        if (jpegAsked != nullptr) *jpegAsked = true;
        if (fill.jpegSlider > 0) {
          jpeg->TBN->setValue(fill.jpegSlider);
          jpeg->BOk->click();
        }
      } else if (auto* progress = qobject_cast<TBatchProgress*>(&dialog)) {
        if (onProgress) onProgress(*progress);
        QTRY_VERIFY_WITH_TIMEOUT(!progress->isVisible(), 120000);
      }
    };
  }

  // The file frameFile writes for one photo with the window's current settings.
  static QByteArray Expected(TMainForm& form, const QString& input, const QString& output,
                             const JpegOptions& jpeg) {
    const FrameFileSettings settings{form.CurrentMaskOptions(), form.CurrentBlendOptions(), jpeg};
    MaskBitmapCache cache(form.MaskPicture(), settings.mask);
    const FrameFileResult r =
        frameFile({input.toStdString(), output.toStdString()}, settings, cache, true);
    if (r.outcome != FrameOutcome::foDone) return {};
    return FileBytes(output);
  }

  // A new, empty program folder for each window: no preferences from an earlier test.
  QString programFolder() {
    const QString folder = dir_.filePath(QStringLiteral("program%1/").arg(++programFolders_));
    QDir().mkpath(folder);
    return folder;
  }
  int programFolders_ = 0;

  QString freshFolder(const QString& name) {
    const QString path = dir_.filePath(name);
    QDir(path).removeRecursively();
    return path;
  }

 private slots:
  void initTestCase() {
    QVERIFY(dir_.isValid());
    photos_ = dir_.filePath(QStringLiteral("photos"));
    WritePicture(photos_ + "/a.bmp", MakePhoto(61, 47, 1));
    WritePicture(photos_ + "/b.png", MakePhoto(80, 60, 2));
    WritePicture(photos_ + "/c.jpg", MakePhoto(64, 48, 3));
    WritePicture(photos_ + "/d.tga", MakePhoto(61, 47, 4));
    WritePicture(photos_ + "/sous/e.tif", MakePhoto(33, 90, 5));
    QFile broken(photos_ + "/z.bmp");
    QVERIFY(broken.open(QIODevice::WriteOnly));
    broken.write("BM this is no bitmap");
    broken.close();
    // A frame: dark border, white middle.
    Bitmap mask(40, 30, 24);
    for (int y = 0; y < 30; ++y)
      for (int x = 0; x < 40; ++x)
        mask.setPixel(x, y, (x < 6 || y < 5 || x > 33 || y > 24) ? 0x202020 : 0xFFFFFF);
    mask_ = dir_.filePath(QStringLiteral("cadre.bmp"));
    WritePicture(mask_, mask);
    single_ = dir_.filePath(QStringLiteral("seule.bmp"));
    WritePicture(single_, MakePhoto(120, 90, 9));
  }

  void cleanup() { SetModalHook({}); }

  void itemFollowsTheMaskNotThePhoto() {
    ScriptedPrompts script;
    TMainForm form(nullptr, programFolder());
    auto* item = child<QAction>(form, "MenuActionDossier");
    QCOMPARE(item->text(), QStringLiteral("Appliquer à un dossier..."));
    const QList<QAction*> actions = child<QMenu>(form, "MenuAction")->actions();
    QCOMPARE(actions.indexOf(item), actions.indexOf(child<QAction>(form, "MenuActionMasque")) + 1);
    QVERIFY(!item->isEnabled());
    showWithMask(form, script);
    QVERIFY(form.WorkingBitmap().empty());
    QVERIFY(item->isEnabled());
    QVERIFY(!child<QAction>(form, "MenuActionMasque")->isEnabled());
  }

  // Original formats, sub-folders, one damaged file; the photo in the window stays as it was.
  void framesEveryPhotoAsTheSharedWorkDoes() {
    ScriptedPrompts script;
    TMainForm form(nullptr, programFolder());
    showWithMask(form, script);
    script.openReplies.push_back({true, single_.toStdString(), false});
    child<QAction>(form, "MenuFichierOuvrir")->trigger();
    QVERIFY(!form.WorkingBitmap().empty());
    const Bitmap before = form.WorkingBitmap();
    child<QCheckBox>(form, "ChbFlou")->setChecked(true);
    child<TSpinEdit2>(form, "EdiOpacite")->SetValue(70);
    child<TColorEdit>(form, "ColorEdit")->setColor(0x3060C0);
    child<QToolButton>(form, "BtnRotation")->click();  // the mask as shown: turned

    const QString out = freshFolder(QStringLiteral("out1"));
    bool asked = false;
    Fill fill{photos_, out, 0, true, false, 12};
    SetModalHook(Player(fill, &asked));
    script.messages.clear();
    child<QAction>(form, "MenuActionDossier")->trigger();
    QVERIFY(asked);  // c.jpg keeps its format, so the quality is asked

    const QStringList written = FilesUnder(out);
    QCOMPARE(written, QStringList({"a.bmp", "b.png", "c.jpg", "d.tga", "sous/e.tif"}));
    const JpegOptions jpeg{60, false};
    const QString expected = freshFolder(QStringLiteral("expected1"));
    for (const QString& name : written) {
      const QString input = photos_ + '/' + name;
      QVERIFY2(Expected(form, input, expected + '/' + name, jpeg) == FileBytes(out + '/' + name),
               qPrintable(name));
    }
    QCOMPARE(script.messages.size(), size_t(1));
    const QString summary = QString::fromStdString(script.messages[0].text);
    QVERIFY2(summary.startsWith(QStringLiteral("5 photos encadrées, 1 échecs")),
             qPrintable(summary));
    QVERIFY(summary.contains(QStringLiteral("z.bmp")));
    QCOMPARE(script.messages[0].caption, std::string("Avertissement"));

    QVERIFY(form.WorkingBitmap() == before);
    QCOMPARE(form.ModificationCount(), 0);
    QVERIFY(form.History().Current() == nullptr);
  }

  // The side panel read as "Appliquer le masque" reads it: tiles, two tones, colour, opacity,
  // and the mask turned and inverted as shown.
  void sameResultAsApplyingInTheWindow() {
    ScriptedPrompts script;
    TMainForm form(nullptr, programFolder());
    showWithMask(form, script);
    child<QRadioButton>(form, "RdbRepeter")->setChecked(true);
    child<QCheckBox>(form, "ChbBichromie")->setChecked(true);
    child<TSpinEdit2>(form, "EdiOpacite")->SetValue(45);
    child<TColorEdit>(form, "ColorEdit")->setColor(0x10A040);
    child<QToolButton>(form, "BtnNegatif")->click();
    child<QToolButton>(form, "BtnRotation")->click();
    const QString one = freshFolder(QStringLiteral("one"));
    QVERIFY(QDir().mkpath(one));
    QVERIFY(QFile::copy(single_, one + "/seule.bmp"));
    const QString out = freshFolder(QStringLiteral("out-one"));
    SetModalHook(Player(Fill{one, out, 0, false, false, 0}));
    child<QAction>(form, "MenuActionDossier")->trigger();

    script.openReplies.push_back({true, single_.toStdString(), false});
    child<QAction>(form, "MenuFichierOuvrir")->trigger();
    child<QAction>(form, "MenuActionMasque")->trigger();
    Bitmap framed;
    QVERIFY(decodeImageFile((out + "/seule.bmp").toStdString(), framed).ok());
    framed.convertTo24();
    QVERIFY(form.WorkingBitmap().width() == 120);
    QVERIFY(framed == form.WorkingBitmap());
  }

  // A chosen format for all; a transparent result; existing results kept unless "Remplacer".
  void chosenFormatsAndExistingFiles() {
    ScriptedPrompts script;
    TMainForm form(nullptr, programFolder());
    showWithMask(form, script);
    child<QComboBox>(form, "CmbFormat")->setCurrentIndex(1);  // "Transparent"
    const QString out = freshFolder(QStringLiteral("out2"));

    SetModalHook(Player(Fill{photos_, out, 0, false, false, 0}));
    child<QAction>(form, "MenuActionDossier")->trigger();
    // A transparent result goes to GIF when no format is chosen.
    QCOMPARE(FilesUnder(out), QStringList({"a.gif", "b.gif", "c.gif", "d.gif"}));
    const QString expected = freshFolder(QStringLiteral("expected2"));
    QCOMPARE(FileBytes(out + "/b.gif"),
             Expected(form, photos_ + "/b.png", expected + "/b.gif", JpegOptions{}));

    // PNG chosen: written beside the GIFs; a result already there is left alone.
    QFile keep(out + "/a.png");
    QVERIFY(keep.open(QIODevice::WriteOnly));
    keep.write("keep");
    keep.close();
    script.messages.clear();
    SetModalHook(Player(Fill{photos_, out, 5, false, false, 0}));
    child<QAction>(form, "MenuActionDossier")->trigger();
    QCOMPARE(FileBytes(out + "/a.png"), QByteArray("keep"));
    QCOMPARE(FileBytes(out + "/d.png"),
             Expected(form, photos_ + "/d.tga", expected + "/d.png", JpegOptions{}));
    QString summary = QString::fromStdString(script.messages.back().text);
    QVERIFY2(summary.startsWith(QStringLiteral("3 photos encadrées, 1 échecs\n1 photos laissées")),
             qPrintable(summary));

    script.messages.clear();
    SetModalHook(Player(Fill{photos_, out, 5, false, true, 0}));
    child<QAction>(form, "MenuActionDossier")->trigger();
    QCOMPARE(FileBytes(out + "/a.png"),
             Expected(form, photos_ + "/a.bmp", expected + "/a.png", JpegOptions{}));
    summary = QString::fromStdString(script.messages.back().text);
    QVERIFY2(summary.startsWith(QStringLiteral("4 photos encadrées, 1 échecs")),
             qPrintable(summary));
  }

  // JPEG chosen: the quality of the JPEG dialog is used; cancelling that dialog starts nothing.
  void jpegQualityFromTheJpegDialog() {
    ScriptedPrompts script;
    TMainForm form(nullptr, programFolder());
    showWithMask(form, script);
    const QString out = freshFolder(QStringLiteral("out3"));
    SetModalHook(Player(Fill{photos_, out, 4, false, false, 0}));  // JPEG dialog cancelled
    child<QAction>(form, "MenuActionDossier")->trigger();
    QVERIFY(!QFileInfo::exists(out));
    QVERIFY(script.messages.empty());

    SetModalHook(Player(Fill{photos_, out, 4, false, false, 5}));  // quality 25
    child<QAction>(form, "MenuActionDossier")->trigger();
    QCOMPARE(FilesUnder(out), QStringList({"a.jpg", "b.jpg", "c.jpg", "d.jpg"}));
    const QString expected = freshFolder(QStringLiteral("expected3"));
    QCOMPARE(FileBytes(out + "/a.jpg"),
             Expected(form, photos_ + "/a.bmp", expected + "/a.jpg", JpegOptions{25, false}));
    QVERIFY(FileBytes(out + "/a.jpg") !=
            Expected(form, photos_ + "/a.bmp", expected + "/a90.jpg", JpegOptions{90, false}));
  }

  // WebP chosen: the same quality question, and the files are written at its answer.
  void webpQualityFromTheJpegDialog() {
    ScriptedPrompts script;
    TMainForm form(nullptr, programFolder());
    showWithMask(form, script);
    const QString out = freshFolder(QStringLiteral("out-webp"));
    bool asked = false;
    SetModalHook(Player(Fill{photos_, out, 8, false, false, 4}, &asked));  // quality 20
    child<QAction>(form, "MenuActionDossier")->trigger();
    QVERIFY(asked);
    QCOMPARE(FilesUnder(out), QStringList({"a.webp", "b.webp", "c.webp", "d.webp"}));
    const QString expected = freshFolder(QStringLiteral("expected-webp"));
    QCOMPARE(FileBytes(out + "/a.webp"),
             Expected(form, photos_ + "/a.bmp", expected + "/a.webp", JpegOptions{20, false}));
  }

  // Refusals keep the dialog open; the choices are proposed again next time.
  void refusesUnsafeFoldersAndRemembersChoices() {
    ScriptedPrompts script;
    TMainForm form(nullptr, programFolder());
    showWithMask(form, script);
    const int before = FilesUnder(photos_).size();
    int tries = 0;
    QString shownInput;
    bool shownRecursive = false;
    SetModalHook([&](QDialog& dialog) {
      auto* f = qobject_cast<TBatchForm*>(&dialog);
      if (f == nullptr) return;
      shownInput = f->EdiEntree->text();
      shownRecursive = f->CBSousDossiers->isChecked();
      f->EdiEntree->setText(dir_.filePath(QStringLiteral("nulle-part")));
      f->EdiSortie->setText(dir_.filePath(QStringLiteral("out4")));
      f->BOk->click();
      ++tries;
      QVERIFY(f->isVisible());
      // The results would replace the photos themselves.
      f->EdiEntree->setText(photos_);
      f->EdiSortie->setText(photos_ + "/");
      f->CBSousDossiers->setChecked(true);
      f->BOk->click();
      QVERIFY(f->isVisible());
      f->BAnnuler->click();
    });
    child<QAction>(form, "MenuActionDossier")->trigger();
    QCOMPARE(tries, 1);
    QCOMPARE(script.messages.size(), size_t(2));
    QVERIFY(script.messages[0].text.find("nulle-part") != std::string::npos);
    QVERIFY(script.messages[1].text.find("les photos elles-mêmes") != std::string::npos);
    QCOMPARE(FilesUnder(photos_).size(), before);

    // Accepted choices come back at the next opening.
    const QString out = freshFolder(QStringLiteral("out4"));
    SetModalHook(Player(Fill{photos_, out, 3, true, false, 0}));
    child<QAction>(form, "MenuActionDossier")->trigger();
    SetModalHook([&](QDialog& dialog) {
      if (auto* f = qobject_cast<TBatchForm*>(&dialog)) {
        shownInput = f->EdiEntree->text();
        shownRecursive = f->CBSousDossiers->isChecked();
        QCOMPARE(f->EdiSortie->text(), out);
        QCOMPARE(f->CmbFormat->currentIndex(), 3);
      }
    });
    child<QAction>(form, "MenuActionDossier")->trigger();
    QCOMPARE(shownInput, photos_);
    QVERIFY(shownRecursive);
  }

  // "Annuler" stops after the photos under way: fewer results, each one complete.
  void cancelStopsEarly() {
    ScriptedPrompts script;
    TMainForm form(nullptr, programFolder());
    showWithMask(form, script);
    const QString many = freshFolder(QStringLiteral("many"));
    constexpr int kCount = 48;
    for (int i = 0; i < kCount; ++i)
      WritePicture(QStringLiteral("%1/p%2.bmp").arg(many).arg(i, 2, 10, QLatin1Char('0')),
                   MakePhoto(400, 300, i));
    const QString out = freshFolder(QStringLiteral("out5"));
    int valueAtCancel = -1;
    SetModalHook(Player(Fill{many, out, 5, false, false, 0}, nullptr, [&](TBatchProgress& p) {
      QCOMPARE(p.PBProgression->maximum(), kCount);
      QVERIFY(p.LblCompte->text().endsWith(QStringLiteral(" photos traitées sur 48")));
      QTRY_VERIFY_WITH_TIMEOUT(p.PBProgression->value() >= 1, 60000);
      valueAtCancel = p.PBProgression->value();
      p.BAnnuler->click();
      QVERIFY(!p.BAnnuler->isEnabled());
    }));
    child<QAction>(form, "MenuActionDossier")->trigger();
    QVERIFY(valueAtCancel >= 1);
    const QStringList written = FilesUnder(out);
    QVERIFY2(written.size() < kCount, qPrintable(QString::number(written.size())));
    QVERIFY(written.size() >= valueAtCancel);
    for (const QString& name : written) {
      QVERIFY2(name.endsWith(QStringLiteral(".png")) && !name.startsWith('.'), qPrintable(name));
      Bitmap check;
      QVERIFY2(decodeImageFile((out + '/' + name).toStdString(), check).ok(), qPrintable(name));
      QCOMPARE(check.width(), 400);
    }
    const QString summary = QString::fromStdString(script.messages.back().text);
    QVERIFY2(summary.startsWith(QStringLiteral("%1 photos encadrées, 0 échecs\nTraitement annulé : "
                                               "%2 photos non traitées")
                                    .arg(written.size())
                                    .arg(kCount - written.size())),
             qPrintable(summary));
  }

  void summaryListsFailures() {
    TBatchSummary s;
    s.total = 30;
    s.done = 2;
    s.failed = 25;
    for (int i = 0; i < 25; ++i) s.failures << QStringLiteral("échec %1").arg(i);
    const QString text = BatchSummaryText(s);
    QVERIFY(text.startsWith(QStringLiteral("2 photos encadrées, 25 échecs\n\nÉchecs :\néchec 0")));
    QVERIFY(text.contains(QStringLiteral("échec 19\n... et 5 autres")));
    QVERIFY(!text.contains(QStringLiteral("échec 20")));
  }
};

QTEST_MAIN(TestBatch)
#include "test_batch.moc"
