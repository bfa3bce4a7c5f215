// The picture open dialog: its preview panel, the filter conversion, and the dialog driven through
// the Qt prompts with the preview state carried back.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include "../core/scripted_prompts.h"
#include "app/qt_prompts.h"
#include "files/name_filters.h"
#include "files/open_picture_dialog.h"
#include "imagefile/load_image.h"
#include "ui_test_files.h"

using namespace vorlino;
using vorlino::test::ScriptedPrompts;
using vorlino::test::WriteBmp;

class TestOpenPictureDialog : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir dir_;

  // Runs `act` on the open dialog once it is shown modally.
  static void whenShown(std::function<void(TOpenPictureDialog&)> act) {
    QTimer::singleShot(0, [act] {
      auto* dialog = qobject_cast<TOpenPictureDialog*>(QApplication::activeModalWidget());
      if (dialog == nullptr) {
        whenShown(act);
        return;
      }
      act(*dialog);
    });
  }

 private slots:
  void initTestCase() { QVERIFY(dir_.isValid()); }

  void filterTextBecomesQtNameFilters() {
    const QStringList filters = QtNameFilters(
        "Toutes les images|*.bmp; *.gif|Bitmaps Windows (*.bmp; *.dib)|*.bmp; *.dib|Images GIF "
        "(*.gif)|*.gif");
    QCOMPARE(filters, QStringList({"Toutes les images (*.bmp *.gif)",
                                   "Bitmaps Windows (*.bmp; *.dib) (*.bmp *.dib)",
                                   "Images GIF (*.gif) (*.gif)"}));
    // Qt shows the descriptions as written and filters by the patterns.
    TOpenPictureDialog dialog;
    dialog.setNameFilters(filters);
    dialog.selectNameFilter(filters.front());
    auto* types = dialog.findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
    QVERIFY(types != nullptr);
    QCOMPARE(types->count(), 3);
    QCOMPARE(types->itemText(0), QStringLiteral("Toutes les images"));
    QCOMPARE(types->itemText(1), QStringLiteral("Bitmaps Windows (*.bmp; *.dib)"));
    QCOMPARE(types->currentIndex(), 0);
    QCOMPARE(dialog.nameFilters(), filters);
    QCOMPARE(QtNameFilters("").size(), 0);
  }

  void previewFollowsTheCheckBox() {
    ScriptedPrompts script;
    const QString photo = WriteBmp(dir_.path(), "photo.bmp", 640, 480, qRgb(1, 2, 3));
    TOpenPictureDialog dialog;
    dialog.SetPreview(false);
    dialog.SetHighlighted(photo);
    QVERIFY(dialog.PreviewBitmap().empty());  // nothing read while unchecked
    QCOMPARE(dialog.PictureLabelText(), QString());
    dialog.SetPreview(true);
    dialog.RefreshPreview();
    QCOMPARE(dialog.PreviewBitmap().width(), 640);
    QCOMPARE(dialog.PictureLabelText(), QStringLiteral("640x480 pixels"));

    // A damaged file and a folder empty the preview without a word.
    dialog.SetHighlighted(vorlino::test::WriteDamaged(dir_.path(), "broken.bmp"));
    QVERIFY(dialog.PreviewBitmap().empty());
    QCOMPARE(dialog.PictureLabelText(), QString());
    dialog.SetHighlighted(photo);
    dialog.SetHighlighted(dir_.path());
    QVERIFY(dialog.PreviewBitmap().empty());
    QVERIFY(script.messages.empty());
    QVERIFY(reportLoadFailures());  // switched back on after each preview read
  }

  void previewFollowsATypedName() {
    const QString photo = WriteBmp(dir_.path(), "tapee.bmp", 320, 200, qRgb(4, 5, 6));
    TOpenPictureDialog dialog;
    dialog.setDirectory(dir_.path());
    dialog.SetPreview(true);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    auto* name = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    QVERIFY(name != nullptr);
    QTest::keyClicks(name, QStringLiteral("tapee.bm"));
    QVERIFY(dialog.PreviewBitmap().empty());  // no such file yet
    QTest::keyClick(name, Qt::Key_P);
    QCOMPARE(dialog.PreviewBitmap().width(), 320);
    QCOMPARE(dialog.PictureLabelText(), QStringLiteral("320x200 pixels"));
    QTest::keyClick(name, Qt::Key_Backspace);
    QVERIFY(dialog.PreviewBitmap().empty());
    QCOMPARE(dialog.PictureLabelText(), QString());
  }

  void previewBoxCentresAndFits() {
    Bitmap photo(3000, 2000);
    TPreviewBox box(photo);
    QCOMPARE(box.PictureRect(QSize(200, 150)), QRect(0, 8, 200, 133));
    Bitmap icon(64, 48);
    TPreviewBox small(icon);
    QCOMPARE(small.PictureRect(QSize(200, 150)), QRect(68, 51, 64, 48));
    Bitmap none;
    TPreviewBox empty(none);
    QVERIFY(empty.PictureRect(QSize(200, 150)).isEmpty());
  }

  void promptsRunTheDialogAndCarryThePreviewState() {
    const QString photo = WriteBmp(dir_.path(), "chosen.bmp", 16, 12, qRgb(9, 9, 9));
    QtPrompts qt;
    OpenImageRequest request;
    request.folder = dir_.path().toStdString();
    request.filter = "Toutes les images|*.bmp|Bitmaps Windows (*.bmp)|*.bmp";
    request.preview = false;

    bool seen = false;
    whenShown([&seen, this](TOpenPictureDialog& dialog) {
      seen = true;
      QCOMPARE(dialog.directory().absolutePath(), QDir(dir_.path()).absolutePath());
      QVERIFY(dialog.testOption(QFileDialog::DontUseNativeDialog));
      QVERIFY(!dialog.Preview());
      dialog.findChild<QCheckBox*>(QStringLiteral("PreviewCheck"))->click();
      dialog.reject();
    });
    OpenImageReply reply = qt.openImage(request);
    QVERIFY(seen);
    QVERIFY(!reply.accepted);
    QVERIFY(reply.preview);  // taken back even when cancelled

    request.preview = true;
    whenShown([photo](TOpenPictureDialog& dialog) {
      QVERIFY(dialog.Preview());
      dialog.selectFile(photo);
      QMetaObject::invokeMethod(&dialog, "accept");
    });
    reply = qt.openImage(request);
    QVERIFY(reply.accepted);
    QCOMPARE(QString::fromStdString(reply.fileName), photo);
  }
};

QTEST_MAIN(TestOpenPictureDialog)
#include "test_open_picture_dialog.moc"
