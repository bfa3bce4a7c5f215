// A camera photo in the window, driven by keys and mouse: it opens upright, its tags belong to
// the document (through the mask, undo and redo, into the saved file), "Conserver les
// métadonnées" drops them but not the profile and is remembered, and a pasted picture has none.
// Tags are written and read with exiftool; the test skips without it.
#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include "../core/scripted_prompts.h"
#include "app/main_form.h"
#include "dialogs/modal.h"
#include "imagefile/save_image.h"
#include "ui_test_files.h"
#include "window_test_support.h"

using namespace vorlino;
using vorlino::test::child;
using vorlino::test::ScriptedPrompts;

namespace {

QString exiftool(const QStringList& arguments) {
  QProcess p;
  p.start(QStringLiteral("exiftool"), arguments);
  if (!p.waitForFinished(30000) || p.exitCode() != 0) return QStringLiteral("<failed>");
  return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

// The values exiftool reads for Make, Orientation (numeric) and the profile's description.
QString tagsOf(const QString& file) {
  return exiftool({QStringLiteral("-s3"), QStringLiteral("-Make"), QStringLiteral("-Orientation#"),
                   QStringLiteral("-ProfileDescription"), file})
      .replace(QLatin1Char('\n'), QLatin1Char('|'));
}

}  // namespace

class TestMetadata : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir dir_;
  QString photo_;  // 60 x 40 stored, Orientation 6: 40 x 60 upright
  QString mask_;

  static void click(QObject& form, const char* name) {
    QTest::mouseClick(child<QToolButton>(form, name), Qt::LeftButton);
  }
  static void keys(TMainForm& form, Qt::Key key) {
    QTest::keyClick(&form, key, Qt::ControlModifier);
  }
  // Opens "Fichier" from the menu bar and clicks "Conserver les métadonnées".
  static void toggleKeepMetadata(TMainForm& form) {
    auto* bar = form.menuBar();
    auto* menu = child<QMenu>(form, "MenuFichier");
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(menu->menuAction()).center());
    QTRY_VERIFY(menu->isVisible());
    auto* item = child<QAction>(form, "MenuFichierMetadonnees");
    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(item).center());
    QTRY_VERIFY(!menu->isVisible());
    form.activateWindow();  // the closed menu gives the keyboard back to the window
    QVERIFY(QTest::qWaitForWindowActive(&form));
  }
  // Ctrl+S to name, answering the JPEG question with OK when it comes.
  static void save(TMainForm& form, ScriptedPrompts& script, const QString& name) {
    script.saveReplies.push_back({true, name.toStdString()});
    const ModalHook previous = SetModalHook([](QDialog& dialog) {
      QTest::mouseClick(child<QPushButton>(dialog, "BOk"), Qt::LeftButton);
    });
    keys(form, Qt::Key_S);
    SetModalHook(previous);
    QVERIFY(QFile::exists(name));
  }
  static QString size(TMainForm& form) { return child<QLabel>(form, "StatusPanel1")->text(); }

 private slots:
  void initTestCase() {
    if (exiftool({QStringLiteral("-ver")}) == QStringLiteral("<failed>"))
      QSKIP("exiftool not installed (libimage-exiftool-perl)");
    QVERIFY(dir_.isValid());
    photo_ = dir_.filePath(QStringLiteral("camera.jpg"));
    Bitmap stored(60, 40);
    for (int y = 0; y < 40; ++y)
      for (int x = 0; x < 60; ++x) stored.setPixel(x, y, rgb(4 * x, 6 * y, 100));
    QCOMPARE(SaveImageFileWith(photo_.toStdString(), stored, {}), 1);
    const QString icc = QStringLiteral(VORLINO_TEST_DATA "/icc/compatibleWithAdobeRGB1998.icc");
    QCOMPARE(exiftool({QStringLiteral("-q"), QStringLiteral("-overwrite_original"),
                       QStringLiteral("-Orientation#=6"), QStringLiteral("-Make=Vendor"),
                       QStringLiteral("-ICC_Profile<=") + icc, photo_}),
             QString());
    mask_ = vorlino::test::WriteBmp(dir_.path(), QStringLiteral("cadre.bmp"), 20, 20,
                                    [](int x, int) { return x < 5 ? 0u : 0xFFFFFFu; });
  }

  void tagsFollowTheDocumentAndTheMenuItemDropsThem() {
    const QString program = dir_.filePath(QStringLiteral("program/"));
    QDir().mkpath(program);
    ScriptedPrompts script;
    {
      TMainForm form(nullptr, program);
      form.resize(800, 600);
      form.show();
      QVERIFY(QTest::qWaitForWindowExposed(&form));
      QVERIFY(child<QAction>(form, "MenuFichierMetadonnees")->isChecked());

      script.openReplies.push_back({true, photo_.toStdString(), false});
      keys(form, Qt::Key_O);
      QCOMPARE(size(form), QStringLiteral("40 x 60"));
      QVERIFY(!form.DocumentIccProfile().empty());
      script.openReplies.push_back({true, mask_.toStdString(), false});
      click(form, "BtnParcourir");
      click(form, "BtnAction");
      click(form, "BtnUndo");
      click(form, "BtnRedo");
      save(form, script, dir_.filePath(QStringLiteral("kept.jpg")));
      QCOMPARE(tagsOf(dir_.filePath(QStringLiteral("kept.jpg"))),
               QStringLiteral("Vendor|1|Compatible with Adobe RGB (1998)"));

      toggleKeepMetadata(form);
      QVERIFY(!child<QAction>(form, "MenuFichierMetadonnees")->isChecked());
      save(form, script, dir_.filePath(QStringLiteral("stripped.png")));
      QCOMPARE(tagsOf(dir_.filePath(QStringLiteral("stripped.png"))),
               QStringLiteral("Compatible with Adobe RGB (1998)"));

      // A pasted picture is a new document without tags, whatever the item says.
      toggleKeepMetadata(form);
      keys(form, Qt::Key_C);
      QTRY_VERIFY(!QApplication::clipboard()->image().isNull());
      keys(form, Qt::Key_V);
      QCOMPARE(form.CurrentFileName(), QStringLiteral("Sans titre"));
      save(form, script, dir_.filePath(QStringLiteral("pasted.jpg")));
      QCOMPARE(tagsOf(dir_.filePath(QStringLiteral("pasted.jpg"))), QString());
      toggleKeepMetadata(form);
    }
    QVERIFY(script.messages.empty());
    QFile ini(program + QStringLiteral("Vorlino.ini"));
    QVERIFY(ini.open(QIODevice::ReadOnly));
    const QByteArray text = ini.readAll();
    // The new key comes after the existing keys of [Params].
    QVERIFY(text.contains("Metadonnees=0"));
    QVERIFY(text.indexOf("Ajuster=") < text.indexOf("Metadonnees=0"));
    QVERIFY(!text.contains("[Fichiers]") ||
            text.indexOf("Metadonnees") < text.indexOf("[Fichiers]"));
    TMainForm again(nullptr, program);
    QVERIFY(!child<QAction>(again, "MenuFichierMetadonnees")->isChecked());
  }
};

QTEST_MAIN(TestMetadata)
#include "test_metadata.moc"
