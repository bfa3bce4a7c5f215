// The live preview in the real window: what the view shows while the side panel changes, against
// what "Appliquer le masque" then commits, driven by mouse clicks and keys.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include "../core/scripted_prompts.h"
#include "app/live_preview.h"
#include "app/main_form.h"
#include "settings/ini_file.h"
#include "ui_test_files.h"
#include "view/my_graphic.h"

using namespace vorlino;
using vorlino::test::ScriptedPrompts;
using vorlino::test::WriteBmp;

class TestLivePreview : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir dir_;
  QString photo_;  // 300 x 200, a colour gradient
  QString mask_;   // 40 x 40, dark in the middle, white around
  int folders_ = 0;

  template <class T>
  static T* child(TMainForm& form, const char* name) {
    T* found = form.findChild<T*>(QString::fromLatin1(name));
    if (found == nullptr) qFatal("no child %s", name);
    return found;
  }
  static QString status(TMainForm& form) { return child<QLabel>(form, "StatusPanel0")->text(); }
  static QImage viewImage(TMainForm& form) {
    return form.ImageView()->ScrollBox()->viewport()->grab().toImage();
  }
  static const Bitmap* shown(TMainForm& form) { return form.ImageView()->ShownBitmap(); }
  static void click(QWidget* widget) {
    QTest::mouseClick(widget, Qt::LeftButton, {}, widget->rect().center());
  }
  QString programFolder() {
    const QString folder = dir_.filePath(QStringLiteral("program%1/").arg(++folders_));
    QDir().mkpath(folder);
    return folder;
  }
  // A window at 100 % on the photo, with the mask chosen through "...": that choice already
  // shows a preview, whose full result the test waits for.
  void start(TMainForm& form, ScriptedPrompts& script) {
    form.resize(800, 600);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    script.openReplies.push_back({true, photo_.toStdString(), false});
    click(child<QToolButton>(form, "BtnOuvrir"));
    QCOMPARE(form.ImageView()->GetZoom(), 1.0);
    script.openReplies.push_back({true, mask_.toStdString(), false});
    click(child<QToolButton>(form, "BtnParcourir"));
  }
  static void waitForFull(TMainForm& form) {
    QTRY_VERIFY(form.LivePreview()->FullResult() != nullptr);
    QTRY_VERIFY(shown(form) == form.LivePreview()->FullResult());
  }
  static void typeOpacity(TMainForm& form, const char* text) {
    auto* field = child<QLineEdit>(form, "EdiOpacite");
    click(field);
    field->selectAll();
    QTest::keyClicks(field, QString::fromLatin1(text));
  }

 private slots:
  void initTestCase() {
    QVERIFY(dir_.isValid());
    LivePreviewDefault() = true;
    photo_ = WriteBmp(dir_.path(), "photo.bmp", 300, 200,
                      [](int x, int y) { return qRgb(x * 255 / 299, y * 255 / 199, 90); });
    mask_ = WriteBmp(dir_.path(), "cadre.bmp", 40, 40, [](int x, int y) {
      const int d = std::max(std::abs(x - 20), std::abs(y - 20));
      return d > 14 ? qRgb(255, 255, 255) : qRgb(d * 15, d * 15, d * 15);
    });
  }

  // Each change shows the result "Appliquer le masque" then makes, pixel for pixel, in the
  // bitmap and on the screen, while the document stays untouched until then.
  void previewEqualsTheCommitAt100Percent() {
    ScriptedPrompts script;
    TMainForm form(nullptr, programFolder());
    start(form, script);
    waitForFull(form);
    const Bitmap photo = form.WorkingBitmap();
    QCOMPARE(status(form), QStringLiteral(" Aperçu"));

    // Typed opacity, then the "Transparent" format chosen with the keyboard, then "Adoucir".
    for (int step = 0; step < 3; ++step) {
      if (step == 0) typeOpacity(form, "40");
      if (step == 1) {
        auto* format = child<QComboBox>(form, "CmbFormat");
        format->setFocus();
        QTest::keyClick(format, Qt::Key_Down);
        QCOMPARE(format->currentIndex(), 1);
      }
      if (step == 2) click(child<QCheckBox>(form, "ChbFlou"));
      QTRY_VERIFY(form.LivePreview()->FullResult() == nullptr ||
                  *form.LivePreview()->FullResult() != form.WorkingBitmap());
      waitForFull(form);
      const Bitmap preview = *form.LivePreview()->FullResult();
      QVERIFY(preview != form.WorkingBitmap());
      QCOMPARE(form.ModificationCount(), step);
      QCOMPARE(form.History().Count(), step);
      const QImage screen = viewImage(form);

      click(child<QToolButton>(form, "BtnAction"));
      QVERIFY(form.WorkingBitmap() == preview);
      QCOMPARE(form.WorkingBitmap().Transparent, step >= 1);
      QCOMPARE(form.ModificationCount(), step + 1);
      QCOMPARE(form.History().Count(), step + 1);
      QCOMPARE(status(form), QStringLiteral(" Prêt"));
      QVERIFY(shown(form) == nullptr);
      QCOMPARE(viewImage(form), screen);
    }
    QVERIFY(script.messages.empty());
    // Undone three times: the photo as it was opened.
    for (int i = 0; i < 3; ++i) click(child<QToolButton>(form, "BtnUndo"));
    QVERIFY(form.WorkingBitmap() == photo);
  }

  // Escape drops the preview; undo, opening or a commit end it, and no late result or second
  // frame comes back on top of the document until the side panel changes again.
  void escapeAndDocumentChangesEndIt() {
    ScriptedPrompts script;
    TMainForm form(nullptr, programFolder());
    start(form, script);
    waitForFull(form);
    const Bitmap photo = form.WorkingBitmap();
    QTest::keyClick(&form, Qt::Key_Escape);
    QVERIFY(shown(form) == nullptr);
    QCOMPARE(status(form), QStringLiteral(" Prêt"));
    const QImage plain = viewImage(form);
    QTest::qWait(100);
    QVERIFY(shown(form) == nullptr);

    click(child<QCheckBox>(form, "ChbFlou"));
    waitForFull(form);
    QVERIFY(viewImage(form) != plain);
    QTest::keyClick(&form, Qt::Key_M, Qt::ControlModifier);
    QCOMPARE(form.ModificationCount(), 1);
    const Bitmap framed = form.WorkingBitmap();
    QTest::qWait(150);
    QVERIFY(shown(form) == nullptr);

    // A change and at once an undo: whatever the worker finishes is not shown.
    click(child<QCheckBox>(form, "ChbBichromie"));
    QTest::keyClick(&form, Qt::Key_Z, Qt::ControlModifier);
    QVERIFY(form.WorkingBitmap() == photo);
    QTest::qWait(300);
    QVERIFY(shown(form) == nullptr);
    QCOMPARE(status(form), QStringLiteral(" Prêt"));
    QCOMPARE(viewImage(form), plain);
    QTest::keyClick(&form, Qt::Key_Y, Qt::ControlModifier);
    QVERIFY(form.WorkingBitmap() == framed);
    QTest::qWait(150);
    QVERIFY(shown(form) == nullptr);

    // Opening a picture shows it as it is.
    click(child<QCheckBox>(form, "ChbBichromie"));
    waitForFull(form);
    script.answers.push_back(MessageResult::mrNo);  // the framed photo is not saved
    script.openReplies.push_back({true, photo_.toStdString(), false});
    click(child<QToolButton>(form, "BtnOuvrir"));
    QCOMPARE(form.ModificationCount(), 0);
    QTest::qWait(150);
    QVERIFY(shown(form) == nullptr);
    QCOMPARE(viewImage(form), plain);
  }

  // Backslash held, or the "Avant/après" button held: the photo before the last commit, or
  // without the preview; released: the result again.
  void beforeAfterWhileHeld() {
    ScriptedPrompts script;
    TMainForm form(nullptr, programFolder());
    start(form, script);
    waitForFull(form);
    const Bitmap photo = form.WorkingBitmap();
    QTest::keyPress(&form, Qt::Key_Backslash);
    QVERIFY(shown(form) == nullptr);
    const QImage plain = viewImage(form);
    QTest::keyRelease(&form, Qt::Key_Backslash);
    QVERIFY(shown(form) == form.LivePreview()->FullResult());
    click(child<QToolButton>(form, "BtnAction"));
    const QImage framed = viewImage(form);

    QWidget* field = child<QLineEdit>(form, "EdiOpacite");
    click(field);  // the key works with the keyboard in a side panel field too
    QTest::keyPress(field, Qt::Key_Backslash);
    QVERIFY(shown(form) != nullptr);
    QVERIFY(*shown(form) == photo);
    QCOMPARE(viewImage(form), plain);
    QTest::keyRelease(field, Qt::Key_Backslash);
    QVERIFY(shown(form) == nullptr);
    QCOMPARE(viewImage(form), framed);
    QCOMPARE(child<QLineEdit>(form, "EdiOpacite")->text(), QStringLiteral("100"));

    auto* button = child<QToolButton>(form, "BtnAvantApres");
    QCOMPARE(button->toolTip(), QStringLiteral("Avant/après"));
    QTest::mousePress(button, Qt::LeftButton, {}, button->rect().center());
    QCOMPARE(viewImage(form), plain);
    QTest::mouseRelease(button, Qt::LeftButton, {}, button->rect().center());
    QCOMPARE(viewImage(form), framed);

    // With a new preview on the framed photo, the button shows the framed photo without it.
    click(child<QCheckBox>(form, "ChbFlou"));
    waitForFull(form);
    const QImage previewed = viewImage(form);
    QTest::mousePress(button, Qt::LeftButton, {}, button->rect().center());
    QCOMPARE(viewImage(form), framed);
    QTest::mouseRelease(button, Qt::LeftButton, {}, button->rect().center());
    QCOMPARE(viewImage(form), previewed);
  }

  // A mask under the pointer is previewed in place of the chosen one; leaving brings back the
  // chosen one's preview, or none when there was none.
  void hoveredMaskPreviewsAndLeavingRestores() {
    ScriptedPrompts script;
    TMainForm form(nullptr, programFolder());
    start(form, script);
    waitForFull(form);
    const Bitmap chosen = *form.LivePreview()->FullResult();
    const QString other = WriteBmp(dir_.path(), "autre.bmp", 30, 10, qRgb(0, 0, 0));
    form.previewMaskFile(other);
    QTRY_VERIFY(form.LivePreview()->FullResult() != nullptr &&
                *form.LivePreview()->FullResult() != chosen);
    form.endMaskHover();
    waitForFull(form);
    QVERIFY(*form.LivePreview()->FullResult() == chosen);
    QTest::keyClick(&form, Qt::Key_Escape);
    form.previewMaskFile(other);
    waitForFull(form);
    form.endMaskHover();
    QTest::qWait(150);
    QVERIFY(shown(form) == nullptr);
    QCOMPARE(form.ModificationCount(), 0);
  }

  // "Aperçu en direct" off: the side panel changes nothing on screen; the choice is kept in
  // the preferences file and read back.
  void theMenuItemTurnsItOffAndIsKept() {
    const QString program = programFolder();
    const std::string ini = (program + QStringLiteral("Vorlino.ini")).toStdString();
    for (const bool on : {false, true}) {
      if (on) {
        IniFile file;
        QVERIFY(file.load(ini));
        QCOMPARE(file.readString("Params", "ApercuDirect", "<missing>"), std::string("0"));
      }
      ScriptedPrompts script;
      TMainForm form(nullptr, program);
      auto* item = child<QAction>(form, "MenuActionApercu");
      QCOMPARE(item->text(), QStringLiteral("Aperçu en direct"));
      QCOMPARE(item->isChecked(), !on);  // a fresh file says "on"
      form.resize(800, 600);
      form.show();
      QVERIFY(QTest::qWaitForWindowExposed(&form));
      QMenuBar* bar = form.menuBar();
      auto* menu = child<QMenu>(form, "MenuAction");
      QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(menu->menuAction()).center());
      QTRY_VERIFY(menu->isVisible());
      QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(item).center());
      QCOMPARE(item->isChecked(), on);
      if (!on) {
        script.openReplies.push_back({true, photo_.toStdString(), false});
        click(child<QToolButton>(form, "BtnOuvrir"));
        script.openReplies.push_back({true, mask_.toStdString(), false});
        click(child<QToolButton>(form, "BtnParcourir"));
        click(child<QCheckBox>(form, "ChbFlou"));
        QTest::qWait(300);
        QVERIFY(shown(form) == nullptr);
        QCOMPARE(status(form), QStringLiteral(" Prêt"));
      }
    }
    IniFile file;
    QVERIFY(file.load(ini));
    QCOMPARE(file.readString("Params", "ApercuDirect", "<missing>"), std::string("1"));
  }
};

QTEST_MAIN(TestLivePreview)
#include "test_live_preview.moc"
