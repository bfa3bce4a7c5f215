// The "Transparence progressive" result in the real window: chosen and applied with the keyboard
// and the mouse, shown over squares, kept through undo, redo and the image size dialog, copied
// and saved with its alpha, and remembered in the preferences.
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include "../core/scripted_prompts.h"
#include "app/main_form.h"
#include "dialogs/modal.h"
#include "dialogs/redim.h"
#include "ui_test_files.h"
#include "view/my_graphic.h"

using namespace vorlino;
using vorlino::test::ScriptedPrompts;
using vorlino::test::WriteBmp;

namespace {

constexpr QRgb kPhoto = qRgb(10, 100, 200);
constexpr Color kPhotoColor = 0xC8640A;

template <class T>
T* child(QWidget& form, const char* name) {
  T* found = form.findChild<T*>(QString::fromLatin1(name));
  if (found == nullptr) qFatal("no child %s", name);
  return found;
}

// Ctrl with key where the keyboard is in the window (a closed dialog may still hold the focus
// here, where no window manager gives it back).
void pressCtrl(QWidget& form, Qt::Key key) {
  QWidget* target = QApplication::focusWidget();
  QTest::keyClick(target != nullptr && target->window() == &form ? target : &form, key,
                  Qt::ControlModifier);
}

int alphaAt(const Bitmap& b, int x, int y) {
  return b.row(y)[4 * x + 3];
}

// How many pixels of the view show the silver of the squares drawn behind transparency.
int silverPixels(TMainForm& form) {
  const QImage shot = form.ImageView()->grab().toImage().convertToFormat(QImage::Format_RGB32);
  int count = 0;
  for (int y = 0; y < shot.height(); ++y)
    for (int x = 0; x < shot.width(); ++x) count += shot.pixel(x, y) == qRgb(0xC0, 0xC0, 0xC0);
  return count;
}

}  // namespace

class TestSoftAlpha : public QObject {
  Q_OBJECT

 private slots:
  void chosenAppliedUndoneResizedCopiedSavedAndRemembered() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString photo = WriteBmp(dir.path(), "photo.bmp", 300, 200, kPhoto);
    // Black on the left, mid grey in the middle, white on the right.
    const QString mask = WriteBmp(dir.path(), "cadre.bmp", 30, 20, [](int x, int) {
      return x < 10 ? qRgb(0, 0, 0) : x < 20 ? qRgb(128, 128, 128) : qRgb(255, 255, 255);
    });
    const QString program = dir.filePath(QStringLiteral("program/"));
    QDir().mkpath(program);

    ScriptedPrompts script;
    {
      TMainForm form(nullptr, program);
      form.resize(800, 600);
      form.show();
      QVERIFY(QTest::qWaitForWindowExposed(&form));
      script.openReplies.push_back({true, photo.toStdString(), false});
      QTest::keyClick(&form, Qt::Key_O, Qt::ControlModifier);
      script.openReplies.push_back({true, mask.toStdString(), false});
      QTest::mouseClick(child<QToolButton>(form, "BtnParcourir"), Qt::LeftButton);
      QCOMPARE(form.WorkingBitmap().width(), 300);

      auto* format = child<QComboBox>(form, "CmbFormat");
      QCOMPARE(format->count(), 3);
      QCOMPARE(format->itemText(2), QStringLiteral("Transparence progressive"));
      format->setFocus();
      QTest::keyClick(format, Qt::Key_Down);
      QTest::keyClick(format, Qt::Key_Down);
      QCOMPARE(format->currentIndex(), 2);
      for (const char* name : {"EdiOpacite", "ColorEdit", "ChbBichromie"})
        QVERIFY2(child<QWidget>(form, name)->isEnabled(), name);
      const int silverBefore = silverPixels(form);

      QTest::mouseClick(child<QToolButton>(form, "BtnAction"), Qt::LeftButton);
      const Bitmap& image = form.WorkingBitmap();
      QCOMPARE(image.bitsPerPixel(), 32);
      QCOMPARE(alphaAt(image, 5, 100), 0);  // black mask, opacity 100
      QCOMPARE(alphaAt(image, 295, 100), 255);
      const int grey = alphaAt(image, 150, 100);
      QVERIFY(grey > 100 && grey < 160);
      QCOMPARE(image.pixel(5, 100), kPhotoColor);  // the colours keep the photo
      QVERIFY(!image.Transparent);
      QVERIFY(form.ImageView()->TransparentDisplay());
      QVERIFY(silverPixels(form) > silverBefore + 1000);  // the squares show through
      const Bitmap applied = image;

      pressCtrl(form, Qt::Key_Z);
      QCOMPARE(form.WorkingBitmap().bitsPerPixel(), 24);
      QCOMPARE(form.WorkingBitmap().pixel(5, 100), kPhotoColor);
      QVERIFY(!form.ImageView()->TransparentDisplay());
      pressCtrl(form, Qt::Key_Y);
      QVERIFY(form.WorkingBitmap() == applied);

      // "Taille de l'image": half the width, proportions kept, filtered; the alpha follows.
      SetModalHook([](QDialog& dialog) {
        auto* width = child<QWidget>(dialog, "EdiL");
        width->setFocus();
        QTest::keyClick(width, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(width, QStringLiteral("150"));
        QTest::keyClick(child<QPushButton>(dialog, "BOk"), Qt::Key_Return);
      });
      pressCtrl(form, Qt::Key_T);
      SetModalHook({});
      form.activateWindow();  // what the window manager does when the dialog goes
      QVERIFY(QTest::qWaitForWindowActive(&form));
      QCOMPARE(form.WorkingBitmap().width(), 150);
      QCOMPARE(form.WorkingBitmap().bitsPerPixel(), 32);
      QCOMPARE(alphaAt(form.WorkingBitmap(), 2, 50), 0);
      QCOMPARE(alphaAt(form.WorkingBitmap(), 147, 50), 255);
      pressCtrl(form, Qt::Key_Z);
      QVERIFY(form.WorkingBitmap() == applied);

      pressCtrl(form, Qt::Key_C);
      const QImage copied = QApplication::clipboard()->image();
      QVERIFY(copied.hasAlphaChannel());
      QCOMPARE(qAlpha(copied.pixel(5, 100)), 0);
      QCOMPARE(qAlpha(copied.pixel(295, 100)), 255);

      const QString saved = dir.filePath(QStringLiteral("cadre.png"));
      script.saveReplies.push_back({true, saved.toStdString()});
      pressCtrl(form, Qt::Key_S);
      QCOMPARE(script.saveRequests.size(), std::size_t(1));
      QCOMPARE(script.saveRequests[0].filterIndex, 5);  // "Image PNG"
      const QImage file(saved);
      QVERIFY(file.hasAlphaChannel());
      QCOMPARE(qAlpha(file.pixel(5, 100)), 0);
      QCOMPARE(qAlpha(file.pixel(150, 100)), grey);
      QCOMPARE(file.pixel(295, 100), kPhoto | 0xFF000000u);
    }
    // Written on close and chosen again on the next start.
    TMainForm again(nullptr, program);
    QCOMPARE(child<QComboBox>(again, "CmbFormat")->currentIndex(), 2);
  }
};

QTEST_MAIN(TestSoftAlpha)
#include "test_soft_alpha.moc"
