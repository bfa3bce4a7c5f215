#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTest>

#include "dialogs/jpg_compress.h"
#include "dialogs/modal.h"

using namespace vorlino;

namespace {

// Asks through the dialog with play as the user.
bool ask(TJPGCompressForm& form, int& quality, bool& progressive,
         const std::function<void(TJPGCompressForm&)>& play) {
  SetModalHook([&](QDialog&) { play(form); });
  const bool accepted = AskJpegOptions(form, quality, progressive);
  SetModalHook({});
  return accepted;
}

}  // namespace

class TestJpgCompress : public QObject {
  Q_OBJECT

 private slots:
  void startValues() {
    TJPGCompressForm form;
    QCOMPARE(form.windowTitle(), QStringLiteral("Compression JPEG "));
    QCOMPARE(form.TBN->value(), 18);
    QCOMPARE(form.LblN->text(), QStringLiteral("Compression : 90"));
    QVERIFY(form.RBStandard->isChecked());
    QCOMPARE(form.Quality(), 90);
    QVERIFY(!form.Progressive());
  }

  void labelFollowsTheTrackBar() {
    TJPGCompressForm form;
    form.TBN->setValue(1);
    QCOMPARE(form.LblN->text(), QStringLiteral("Compression : 5"));
    QCOMPARE(form.Quality(), 5);
    form.TBN->setValue(20);
    QCOMPARE(form.LblN->text(), QStringLiteral("Compression : 100"));
    QCOMPARE(form.Quality(), 100);
    // The track bar stops at its ends.
    form.TBN->setValue(25);
    QCOMPARE(form.Quality(), 100);
  }

  void remembersChoicesBetweenSaves() {
    TJPGCompressForm form;
    int quality = 0;
    bool progressive = false;
    QVERIFY(ask(form, quality, progressive, [](TJPGCompressForm& f) {
      QVERIFY(f.BOk->hasFocus());
      f.TBN->setFocus();
      for (int i = 0; i < 6; ++i) QTest::keyClick(f.TBN, Qt::Key_Left);
      QTest::mouseClick(f.RBProgressif, Qt::LeftButton);
      f.BOk->click();
    }));
    QCOMPARE(quality, 60);
    QVERIFY(progressive);

    // The next save proposes the same choices; cancelling leaves the caller's values alone.
    quality = 75;
    progressive = false;
    QVERIFY(!ask(form, quality, progressive, [](TJPGCompressForm& f) {
      QCOMPARE(f.TBN->value(), 12);
      QVERIFY(f.RBProgressif->isChecked());
      QCOMPARE(f.LblN->text(), QStringLiteral("Compression : 60"));
      QVERIFY(f.BOk->hasFocus());
      f.BAnnuler->click();
    }));
    QCOMPARE(quality, 75);
    QVERIFY(!progressive);
  }

  void escapeCancelsAndEnterAccepts() {
    TJPGCompressForm form;
    int quality = 0;
    bool progressive = true;
    QVERIFY(!ask(form, quality, progressive,
                 [](TJPGCompressForm& f) { QTest::keyClick(&f, Qt::Key_Escape); }));
    QVERIFY(ask(form, quality, progressive,
                [](TJPGCompressForm& f) { QTest::keyClick(f.focusWidget(), Qt::Key_Return); }));
    QCOMPARE(quality, 90);
    QVERIFY(!progressive);
  }

  void layoutAndTabOrder() {
    TJPGCompressForm form;
    QCOMPARE(form.size(), QSize(298, 234));
    QCOMPARE(form.TBN->geometry(), QRect(8, 40, 281, 25));
    QCOMPARE(form.BOk->geometry(), QRect(120, 192, 75, 25));
    QCOMPARE(form.BAnnuler->geometry(), QRect(208, 192, 75, 25));
    QCOMPARE(form.Label2->geometry().right(), 282);  // right-aligned on 198 + 85
    QVERIFY(form.BOk->isDefault());
    const QList<QWidget*> expected = {form.BAnnuler, form.BOk, form.TBN, form.RBStandard,
                                      form.RBProgressif};
    QList<QWidget*> chain;
    QWidget* w = form.BAnnuler;
    do {
      if (expected.contains(w)) chain.append(w);
      w = w->nextInFocusChain();
    } while (w != form.BAnnuler);
    QCOMPARE(chain, expected);
  }
};

QTEST_MAIN(TestJpgCompress)
#include "test_jpg_compress.moc"
