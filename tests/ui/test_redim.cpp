#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QTest>
#include <set>
#include <stdexcept>

#include "../core/scripted_prompts.h"
#include "compose/resample.h"
#include "controls/spin2.h"
#include "dialogs/modal.h"
#include "dialogs/redim.h"

using namespace vorlino;

namespace {

// The main window's side of the dialog, recorded.
class TestHost : public TRedimHost {
 public:
  Bitmap working;
  std::vector<Bitmap> history;  // snapshots, newest last
  std::vector<std::string> names;
  int busyDepth = 0, beginCount = 0, endCount = 0, zoomCount = 0, resetCount = 0;
  int reported = 0;

  Bitmap& WorkingBitmap() override { return working; }
  Bitmap* CurrentSnapshot() override { return history.empty() ? nullptr : &history.back(); }
  void RecordUndo(const std::string& name) override {
    history.push_back(working);
    names.push_back(name);
  }
  void DropLastUndo() override {
    history.pop_back();
    names.pop_back();
  }
  void BeginBusy() override {
    ++busyDepth;
    ++beginCount;
  }
  void EndBusy() override {
    --busyDepth;
    ++endCount;
  }
  void ChooseInitialZoom() override { ++zoomCount; }
  void ResetView() override { ++resetCount; }
  void ReportError(std::exception_ptr) override { ++reported; }
};

Bitmap gradient(int w, int h) {
  Bitmap b(w, h, 24);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      std::uint8_t* p = b.row(y) + 3 * x;
      p[0] = std::uint8_t(x * 7);
      p[1] = std::uint8_t(y * 5);
      p[2] = std::uint8_t((x + y) * 3);
    }
  return b;
}

QString decimals(const char* text) {
  return QString::fromLatin1(text).replace(QChar('.'), decimalSeparator());
}

// Types text into a field as the user would: select all, then the keys.
void typeInto(TFloatSpinEdit* field, const QString& text) {
  field->setFocus();
  field->selectAll();
  QTest::keyClicks(field, text);
}

// Runs the dialog with play as the user; returns the dialog's result.
int runDialog(TRedimForm& form, const std::function<void(TRedimForm&)>& play) {
  SetModalHook([&](QDialog&) { play(form); });
  const int result = ExecModal(form);
  SetModalHook({});
  return result;
}

}  // namespace

class TestRedim : public QObject {
  Q_OBJECT

 private slots:
  void percentAndProportions() {
    TestHost host;
    host.working = gradient(640, 480);
    const Bitmap original = host.working;
    TRedimForm form(host);
    const int result = runDialog(form, [&](TRedimForm& f) {
      QCOMPARE(f.EdiL->text(), QStringLiteral("640"));
      QCOMPARE(f.EdiH->text(), QStringLiteral("480"));
      QVERIFY(f.BOk->hasFocus());
      f.CmbL->setCurrentIndex(suPercent);
      QCOMPARE(f.EdiL->text(), decimals("100.00"));
      QCOMPARE(f.EdiH->text(), QStringLiteral("480"));  // the other field is not touched
      typeInto(f.EdiL, QStringLiteral("50"));
      QCOMPARE(f.EdiH->text(), QStringLiteral("240"));
      f.BOk->click();
    });
    QCOMPARE(result, int(QDialog::Accepted));
    QCOMPARE(host.working.width(), 320);
    QCOMPARE(host.working.height(), 240);
    QCOMPARE(host.names, std::vector<std::string>{"Taille de l'image"});
    QVERIFY(host.history.back() == original);  // undo brings back the exact image
    QCOMPARE(host.beginCount, 1);
    QCOMPARE(host.busyDepth, 0);
    QCOMPARE(host.zoomCount, 1);
    QCOMPARE(host.resetCount, 1);
    // "Optimiser" is the filtered resampler with its default radius.
    Bitmap source = original, expected;
    ResampleBitmap(320, 240, rkLanczos3, 0, source, expected);
    QVERIFY(host.working == expected);

    // The unit stays for the next showing, in the new image's terms.
    runDialog(form, [&](TRedimForm& f) {
      QCOMPARE(f.CmbL->currentIndex(), int(suPercent));
      QCOMPARE(f.EdiL->text(), decimals("100.00"));
      QCOMPARE(f.EdiH->text(), QStringLiteral("240"));
    });
  }

  void proportionRoundsHalfToEven() {
    TestHost host;
    host.working = gradient(1000, 500);
    TRedimForm form(host);
    runDialog(form, [&](TRedimForm& f) {
      typeInto(f.EdiL, QStringLiteral("333"));
      QCOMPARE(f.EdiH->text(), QStringLiteral("166"));  // Round(166.5)
      typeInto(f.EdiH, QStringLiteral("167"));
      QCOMPARE(f.EdiL->text(), QStringLiteral("334"));
      // Without proportions the other field stays.
      f.CBProportions->setChecked(false);
      typeInto(f.EdiL, QStringLiteral("10"));
      QCOMPARE(f.EdiH->text(), QStringLiteral("167"));
    });
    QVERIFY(host.names.empty());
  }

  void screenCentimetres() {
    QCOMPARE(PixelsPerCm(1280, 320), 40.0);
    QVERIFY(PixelsPerCm(1280, 0) > 37 && PixelsPerCm(1280, 0) < 38);  // 96 dpi when unknown
    TestHost host;
    host.working = gradient(600, 300);
    TRedimForm form(host);
    form.SetPixelsPerCm(40, 40);
    runDialog(form, [&](TRedimForm& f) {
      f.CmbL->setCurrentIndex(suCentimetres);
      QCOMPARE(f.EdiL->text(), decimals("15.00"));
      typeInto(f.EdiL, QStringLiteral("10"));
      QCOMPARE(f.WidthInPixels(), 400);
      QCOMPARE(f.EdiH->text(), QStringLiteral("200"));
      f.CmbH->setCurrentIndex(suCentimetres);
      QCOMPARE(f.EdiH->text(), decimals("5.00"));
      QCOMPARE(f.HeightInPixels(), 200);
      f.BOk->click();
    });
    QCOMPARE(host.working.width(), 400);
    QCOMPARE(host.working.height(), 200);
    // Back to pixels: the size in pixels is unchanged, only its expression.
    runDialog(form, [&](TRedimForm& f) {
      f.CmbL->setCurrentIndex(suPixels);
      QCOMPARE(f.EdiL->text(), QStringLiteral("400"));
    });
  }

  void zeroWidthAndEnterGivesTwoByTwo() {
    TestHost host;
    host.working = gradient(640, 480);
    TRedimForm form(host);
    const int result = runDialog(form, [&](TRedimForm& f) {
      typeInto(f.EdiL, QStringLiteral("0"));
      QCOMPARE(f.EdiH->text(), QStringLiteral("1"));  // the field's minimum
      QTest::keyClick(f.EdiL, Qt::Key_Enter);         // before the width field loses the focus
    });
    QCOMPARE(result, int(QDialog::Accepted));
    QCOMPARE(host.working.width(), 2);
    QCOMPARE(host.working.height(), 2);
  }

  void largeImageUnchangedWithoutEdits() {
    TestHost host;
    host.working = gradient(6000, 4000);
    const Bitmap original = host.working;
    TRedimForm form(host);
    const int result = runDialog(form, [&](TRedimForm& f) {
      QCOMPARE(f.EdiL->text(), QStringLiteral("6000"));
      QCOMPARE(f.EdiH->text(), QStringLiteral("4000"));
      QTest::keyClick(f.BOk, Qt::Key_Return);
    });
    QCOMPARE(result, int(QDialog::Rejected));
    QVERIFY(host.names.empty());
    QCOMPARE(host.beginCount, 0);
    QVERIFY(host.working == original);
  }

  void transparentResultIsStretchedPlainly() {
    TestHost host;
    host.working = gradient(50, 40);
    for (int x = 0; x < 50; ++x) host.working.setPixel(x, 10, kTransparentKey);
    host.working.Transparent = true;
    host.working.TransparentColor = kTransparentKey;
    std::set<Color> colours;
    for (int y = 0; y < 40; ++y)
      for (int x = 0; x < 50; ++x) colours.insert(host.working.pixel(x, y));
    TRedimForm form(host);
    runDialog(form, [&](TRedimForm& f) {
      QVERIFY(!f.CBOptimiser->isEnabled());
      QVERIFY(!f.CBOptimiser->isChecked());
      typeInto(f.EdiL, QStringLiteral("123"));
      f.BOk->click();
    });
    QCOMPARE(host.working.width(), 123);
    QCOMPARE(host.working.height(), 98);  // Round(123 / 1.25) = Round(98.4)
    QVERIFY(host.working.Transparent);
    for (int y = 0; y < host.working.height(); ++y)
      for (int x = 0; x < host.working.width(); ++x)
        QVERIFY(colours.count(host.working.pixel(x, y)));

    // An opaque image gets "Optimiser" back at the next showing.
    host.working.Transparent = false;
    runDialog(form, [&](TRedimForm& f) {
      QVERIFY(f.CBOptimiser->isEnabled());
      QVERIFY(f.CBOptimiser->isChecked());
    });
  }

  void emptyFieldWarnsAndStaysOpen() {
    test::ScriptedPrompts prompts;
    TestHost host;
    host.working = gradient(64, 48);
    TRedimForm form(host);
    const int result = runDialog(form, [&](TRedimForm& f) {
      f.EdiH->clear();
      f.BOk->click();
      QVERIFY(f.isVisible());
      f.BAnnuler->click();
    });
    QCOMPARE(result, int(QDialog::Rejected));
    QCOMPARE(prompts.messages.size(), std::size_t(1));
    QCOMPARE(prompts.messages[0].kind, MessageKind::mkWarning);
    QCOMPARE(prompts.messages[0].caption, std::string("Avertissement"));
    QCOMPARE(prompts.messages[0].text,
             std::string("Renseignez tous les champs avant de continuer !"));
    QVERIFY(host.names.empty());
  }

  void keysBeforeTheControls() {
    TestHost host;
    host.working = gradient(64, 48);
    TRedimForm form(host);
    const int result = runDialog(form, [&](TRedimForm& f) {
      typeInto(f.EdiL, QStringLiteral("1+2-0"));
      QCOMPARE(f.EdiL->text(), QStringLiteral("120"));
      QTest::keyClick(f.EdiL, Qt::Key_Escape);
      QVERIFY(!f.isVisible());
    });
    QCOMPARE(result, int(QDialog::Rejected));
    QVERIFY(host.names.empty());
    QCOMPARE(host.working.width(), 64);
  }

  void tabOrder() {
    TestHost host;
    TRedimForm form(host);
    const QList<QWidget*> expected = {form.CBProportions, form.CBOptimiser, form.CmbL,
                                      form.CmbH,          form.EdiL,        form.EdiH,
                                      form.BOk,           form.BAnnuler};
    QList<QWidget*> chain;
    QWidget* w = form.CBProportions;
    do {
      if (expected.contains(w)) chain.append(w);
      w = w->nextInFocusChain();
    } while (w != form.CBProportions);
    QCOMPARE(chain, expected);
  }

  void failedResizeLeavesEverythingAsItWas() {
    TestHost host;
    host.working = gradient(300, 200);
    const Bitmap original = host.working;
    TRedimForm form(host);
    form.SetPixelsPerCm(4000, 4000);  // a centimetre field can then ask for too many pixels
    runDialog(form, [&](TRedimForm& f) {
      f.CBProportions->setChecked(false);
      f.CmbL->setCurrentIndex(suCentimetres);
      typeInto(f.EdiL, QStringLiteral("5000"));
      QVERIFY(f.WidthInPixels() > Bitmap::kMaxSide);
      QVERIFY_THROWS_EXCEPTION(std::length_error, f.BOkClick());
      QVERIFY(f.isVisible());
      QVERIFY(host.working == original);
      QVERIFY(host.names.empty());
      QCOMPARE(host.busyDepth, 0);
      // Through the button the error reaches the general report and the dialog stays.
      f.BOk->click();
      QCOMPARE(host.reported, 1);
      QVERIFY(f.isVisible());
      f.BAnnuler->click();
    });
    QVERIFY(host.working == original);
  }

  void roundingHelpers() {
    QCOMPARE(RoundHalfEven(166.5), 166);
    QCOMPARE(RoundHalfEven(167.5), 168);
    QCOMPARE(RoundHalfEven(-0.5), 0);
    QCOMPARE(SizeToPixels(50, suPercent, 640, 40), 320);
    QCOMPARE(SizeToPixels(10, suCentimetres, 640, 40), 400);
    QCOMPARE(PixelsToSize(600, suCentimetres, 0, 40), 15.0);
  }
};

QTEST_MAIN(TestRedim)
#include "test_redim.moc"
