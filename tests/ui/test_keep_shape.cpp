// "Ajuster sans déformer" in the window, driven by the mouse and keys: the third choice sits below
// the two others, frames exactly as the command-line tool's path does (the cuts of the ".slices"
// file turning with the mask), is remembered in Vorlino.ini, and a ".slices" file with bad values
// is refused with a warning.
#include <QFile>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include "../core/scripted_prompts.h"
#include "app/main_form.h"
#include "batch/frame_files.h"
#include "imagefile/load_image.h"
#include "settings/ini_file.h"
#include "ui_test_files.h"
#include "window_test_support.h"

using namespace vorlino;
using vorlino::test::child;
using vorlino::test::ScriptedPrompts;
using vorlino::test::showForm;

class TestKeepShape : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir dir_;
  QString photo_;  // 90 x 45
  QString mask_;   // 40 x 30 frame, dark border of 6 with a light, noisy inside

  static void click(QObject& form, const char* name) {
    QTest::mouseClick(child<QToolButton>(form, name), Qt::LeftButton);
  }
  static void choose(QObject& form, const char* name) {
    auto* radio = child<QRadioButton>(form, name);
    QTest::mouseClick(radio, Qt::LeftButton, {}, QPoint(8, radio->height() / 2));
    QVERIFY(radio->isChecked());
  }
  void openPhotoAndMask(TMainForm& form, ScriptedPrompts& script) {
    script.openReplies.push_back({true, photo_.toStdString(), false});
    QTest::keyClick(&form, Qt::Key_O, Qt::ControlModifier);
    script.openReplies.push_back({true, mask_.toStdString(), false});
    click(form, "BtnParcourir");
  }
  // The photo framed through the command-line tool's path: the mask as it keeps it, the cuts of
  // the ".slices" file turned with it.
  Bitmap framedByTheToolsPath(int angle, bool slices) {
    Bitmap photo;
    std::string name = photo_.toStdString();
    if (LoadImageFile(name, photo, {}) <= 0) qFatal("photo unreadable");
    photo.convertTo24();
    const auto picture = prepareMaskPicture(mask_.toStdString(), false, angle);
    MaskOptions options{.fit = true, .keepShape = true};
    if (slices) {
      const SlicesRead read = readMaskSlices(mask_.toStdString(), 40, 30);
      options.cuts = slicesOfTurnedPicture(read.cuts, *picture, angle);
    }
    MaskBitmapCache masks(*picture, options);
    ApplyMaskBitmap(photo, *masks.get(photo.width(), photo.height()), rfCouleursRVB, {});
    return photo;
  }
  void writeSlices(const char* text) {
    QFile file(dir_.filePath(QStringLiteral("cadre.slices")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(text);
  }
  static std::string iniValue(const QString& path, const char* key) {
    IniFile file;
    file.load(path.toStdString());
    return file.readString("Params", key, "<missing>");
  }

 private slots:
  void initTestCase() {
    QVERIFY(dir_.isValid());
    photo_ = vorlino::test::WriteBmp(dir_.path(), QStringLiteral("photo.bmp"), 90, 45,
                                     [](int x, int y) { return qRgb(2 * x, 5 * y, 90); });
    mask_ =
        vorlino::test::WriteBmp(dir_.path(), QStringLiteral("cadre.bmp"), 40, 30, [](int x, int y) {
          const bool inside = x >= 6 && x < 34 && y >= 6 && y < 24;
          const int v = inside ? 170 + (x * 7 + y * 13) % 80 : (x * 11 + y * 3) % 100;
          return qRgb(v, v, v);
        });
  }

  void thirdChoiceFramesLikeTheToolAndIsRemembered() {
    const QString program = dir_.filePath(QStringLiteral("program/"));
    QDir().mkpath(program);
    writeSlices("8 5 30 25\n");
    ScriptedPrompts script;
    {
      TMainForm form(nullptr, program);
      showForm(form);
      // The two first choices keep their places; the third goes below them.
      QCOMPARE(child<QRadioButton>(form, "RdbAjuster")->pos(), QPoint(8, 320));
      QCOMPARE(child<QRadioButton>(form, "RdbRepeter")->pos(), QPoint(8, 338));
      auto* keep = child<QRadioButton>(form, "RdbSansDeformer");
      QCOMPARE(keep->pos(), QPoint(8, 356));
      QCOMPARE(keep->text().replace(QLatin1Char('\n'), QLatin1Char(' ')),
               QStringLiteral("Ajuster sans déformer"));
      QVERIFY(keep->geometry().right() < child<QWidget>(form, "PnlLeft")->width());
      QVERIFY(!keep->isChecked());

      openPhotoAndMask(form, script);
      choose(form, "RdbSansDeformer");
      QVERIFY(!child<QRadioButton>(form, "RdbAjuster")->isChecked());
      click(form, "BtnRotation");
      click(form, "BtnAction");
      QVERIFY(form.WorkingBitmap() == framedByTheToolsPath(90, true));
      // The plain fit gives another picture.
      QTest::keyClick(&form, Qt::Key_Z, Qt::ControlModifier);
      choose(form, "RdbAjuster");
      click(form, "BtnAction");
      QVERIFY(!(form.WorkingBitmap() == framedByTheToolsPath(90, true)));
      choose(form, "RdbSansDeformer");
    }
    const QString ini = program + QStringLiteral("Vorlino.ini");
    QCOMPARE(iniValue(ini, "SansDeformer"), std::string("1"));
    QCOMPARE(iniValue(ini, "Ajuster"), std::string("0"));
    QFile text(ini);
    QVERIFY(text.open(QIODevice::ReadOnly));
    const QByteArray bytes = text.readAll();
    QVERIFY(bytes.indexOf("Metadonnees=") < bytes.indexOf("SansDeformer=1"));
    QVERIFY(bytes.indexOf("SansDeformer=1") < bytes.indexOf("[Fichiers]"));
    {
      TMainForm form(nullptr, program);
      showForm(form);
      QVERIFY(child<QRadioButton>(form, "RdbSansDeformer")->isChecked());
      choose(form, "RdbRepeter");
    }
    QCOMPARE(iniValue(ini, "SansDeformer"), std::string("0"));
    QVERIFY(script.messages.empty());
  }

  void badSlicesAreRefusedWithAWarning() {
    const QString program = dir_.filePath(QStringLiteral("program2/"));
    QDir().mkpath(program);
    writeSlices("8 5 50 25\n");  // right beyond the mask's 40 columns
    ScriptedPrompts script;
    TMainForm form(nullptr, program);
    showForm(form);
    openPhotoAndMask(form, script);
    QCOMPARE(script.messages.size(), std::size_t{1});
    QCOMPARE(script.messages[0].kind, MessageKind::mkWarning);
    QCOMPARE(script.messages[0].caption, std::string("Avertissement"));
    const std::string& text = script.messages[0].text;
    QVERIFY(text.find("cadre.slices") != std::string::npos);
    QVERIFY(text.find("Les découpes par défaut sont utilisées.") != std::string::npos);
    choose(form, "RdbSansDeformer");
    click(form, "BtnAction");
    QVERIFY(form.WorkingBitmap() == framedByTheToolsPath(0, false));
    QCOMPARE(script.messages.size(), std::size_t{1});  // once, when the mask is loaded
  }
};

QTEST_MAIN(TestKeepShape)
#include "test_keep_shape.moc"
