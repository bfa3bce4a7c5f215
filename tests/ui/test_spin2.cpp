#include <QApplication>
#include <QClipboard>
#include <QFocusEvent>
#include <QLocale>
#include <QSignalSpy>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QTest>
#include <limits>

#include "controls/spin2.h"
#include "controls/visual_styles.h"

using namespace vorlino;

namespace {

int gBeeps = 0;
void countBeep() {
  ++gBeeps;
}

void leave(QWidget& w) {
  QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
  QApplication::sendEvent(&w, &out);
}

void pasteText(QLineEdit& w, const QString& text) {
  QApplication::clipboard()->setText(text);
  w.selectAll();
  QTest::keyClick(&w, Qt::Key_V, Qt::ControlModifier);
}

// A point on one of the field's arrows, in the arrow widget's coordinates.
QPoint arrowPoint(TCustomSpinEdit& field, TUpDown::Arrow arrow) {
  return field.UpDown()->arrowRect(arrow).center();
}

}  // namespace

class TestSpinEdits : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    gBeeps = 0;
    setBeepHandler(&countBeep);
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
  }
  void cleanup() { setBeepHandler(nullptr); }

  void formatting() {
    QCOMPARE(formatFloat(12.5, "0.00", ','), QString("12,50"));
    QCOMPARE(formatFloat(1000, "0.00", '.'), QString("1000.00"));
    QCOMPARE(formatFloat(2.5, "0", '.'), QString("2"));  // ties to even
    QCOMPARE(formatFloat(3.5, "0", '.'), QString("4"));
    QCOMPARE(formatFloat(2.675, "0.00", '.'), QString("2.67"));  // 2.675 is 2.67499... in binary
    QCOMPARE(formatFloat(-0.001, "0.00", '.'), QString("0.00"));
    QCOMPARE(formatFloat(-1.25, "0.0", '.'), QString("-1.2"));
    QCOMPARE(formatFloat(0.5, "#.##", '.'), QString(".5"));
    QCOMPARE(formatFloat(7, "000", '.'), QString("007"));
  }

  void parsing() {
    QCOMPARE(parseFloat("1,5", ','), 1.5);
    QCOMPARE(parseFloat(" -12.25 ", '.'), -12.25);
    QCOMPARE(parseFloat("+3", '.'), 3.0);
    QCOMPARE(parseFloat("2,5e2", ','), 250.0);
    QCOMPARE(parseFloat(",5", ','), 0.5);
    QVERIFY(!parseFloat("1.5", ','));  // not this locale's separator
    QVERIFY(!parseFloat("", '.'));
    QVERIFY(!parseFloat("-", '.'));
    QVERIFY(!parseFloat("abc", '.'));
    QVERIFY(!parseFloat("inf", '.'));
    QVERIFY(!parseFloat("1e", '.'));
    QVERIFY(!parseFloat("1e999", '.'));
    QCOMPARE(parseInt(" 42"), 42);
    QCOMPARE(parseInt("-2147483648"), std::numeric_limits<int>::min());
    QVERIFY(!parseInt("2147483648"));
    QVERIFY(!parseInt("99999999999999999999"));
    QVERIFY(!parseInt("1.0"));
    QVERIFY(!parseInt("+"));
  }

  void initialTexts() {
    QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
    TSpinEdit2 i;
    TFloatSpinEdit f;
    QCOMPARE(i.text(), QString("0"));
    QCOMPARE(f.text(), QString("0,00"));
    QCOMPARE(f.Format(), QString("0.00"));
    f.SetFormat("");
    QCOMPARE(f.Format(), QString("0.00"));
    QCOMPARE(i.sizeHint().width(), 65);
  }

  void commaLocaleTurnsFullStopIntoComma() {
    QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
    TFloatSpinEdit f;
    f.clear();
    QTest::keyClicks(&f, "1.5");
    QCOMPARE(f.text(), QString("1,5"));
    QCOMPARE(gBeeps, 0);
    QCOMPARE(f.Value(), 1.5);
    QTest::keyClick(&f, ',');  // a second separator, typed either way
    QTest::keyClick(&f, '.');
    QCOMPARE(f.text(), QString("1,5"));
    QCOMPARE(gBeeps, 2);
    f.SetValue(12.5);
    QCOMPARE(f.text(), QString("12,50"));
  }

  void separatorOnlyWhenTheFormatHasDecimals() {
    TFloatSpinEdit f;
    f.SetFormat("0");
    f.SetValue(7);
    QCOMPARE(f.text(), QString("7"));
    f.end(false);
    QTest::keyClick(&f, '.');
    QCOMPARE(f.text(), QString("7"));
    QCOMPARE(gBeeps, 1);
    TSpinEdit2 i;
    i.end(false);
    QTest::keyClick(&i, '.');
    QTest::keyClick(&i, 'a');
    QTest::keyClick(&i, ' ');
    QCOMPARE(i.text(), QString("0"));
    QCOMPARE(gBeeps, 4);
  }

  void signOnlyAtTheStart() {
    TSpinEdit2 i;
    i.clear();
    QTest::keyClicks(&i, "5");
    QTest::keyClick(&i, '-');
    QCOMPARE(i.text(), QString("5"));
    QCOMPARE(gBeeps, 1);
    i.home(false);
    QTest::keyClick(&i, '-');
    QCOMPARE(i.text(), QString("-5"));
    QCOMPARE(i.Value(), -5);
    // With the whole text selected the caret counts as the start: the sign replaces it.
    i.selectAll();
    QTest::keyClick(&i, '+');
    QCOMPARE(i.text(), QString("+"));
    QCOMPARE(gBeeps, 1);
  }

  void controlKeysPassTheFilter() {
    TSpinEdit2 i;
    i.SetValue(123);
    i.end(false);
    QTest::keyClick(&i, Qt::Key_Backspace);
    QCOMPARE(i.text(), QString("12"));
    QTest::keyClick(&i, Qt::Key_Escape);
    QCOMPARE(gBeeps, 0);
  }

  void noLimitWhenMinEqualsMax() {
    TSpinEdit2 i;
    i.SetValue(-123456);
    QCOMPARE(i.text(), QString("-123456"));
    i.SetValue(std::numeric_limits<int>::max());
    i.StepUp();  // no overflow past the type's range
    QCOMPARE(i.Value(), std::numeric_limits<int>::max());
    TFloatSpinEdit f;
    f.SetValue(-98765.4321);
    QCOMPARE(f.Value(), -98765.43);
  }

  void pastedNonNumber() {
    TFloatSpinEdit f;
    f.SetMinValue(1);
    f.SetMaxValue(5000);
    f.SetFormat("0");
    pasteText(f, "abc");
    QCOMPARE(f.text(), QString("abc"));  // pasted text is not filtered
    QCOMPARE(f.Value(), 1.0);
    leave(f);
    QCOMPARE(f.text(), QString("1"));

    TSpinEdit2 i;
    i.SetMinValue(10);
    i.SetMaxValue(100);
    pasteText(i, "abc");
    QCOMPARE(i.Value(), 10);
    leave(i);
    QCOMPARE(i.text(), QString("abc"));

    // An out-of-range number is brought into range on leaving; an empty real field stays empty.
    i.setText("250");
    leave(i);
    QCOMPARE(i.text(), QString("100"));
    f.clear();
    leave(f);
    QCOMPARE(f.text(), QString());
    f.setText("7.25");
    leave(f);
    QCOMPARE(f.text(), QString("7"));
  }

  void steppingStopsAtTheLimits() {
    TSpinEdit2 copies;
    copies.SetMinValue(1);
    copies.SetMaxValue(10);
    copies.SetValue(9);
    copies.StepUp();
    copies.StepUp();
    QCOMPARE(copies.Value(), 10);
    QTest::keyClick(&copies, Qt::Key_Up);
    QCOMPARE(copies.text(), QString("10"));
    copies.SetValue(-4);
    QCOMPARE(copies.Value(), 1);
    QTest::keyClick(&copies, Qt::Key_Down);
    QCOMPARE(copies.Value(), 1);

    TFloatSpinEdit cm;
    cm.SetMaxValue(1000);
    cm.SetValue(999.5);
    cm.StepUp();
    QCOMPARE(cm.text(), QString("1000.00"));
  }

  void arrowsStepAndTakeFocus() {
    TSpinEdit2 opacity;
    opacity.SetMinValue(10);
    opacity.SetMaxValue(100);
    opacity.SetValue(50);
    opacity.show();
    QVERIFY(QTest::qWaitForWindowExposed(&opacity));
    QTest::mousePress(opacity.UpDown(), Qt::LeftButton, {}, arrowPoint(opacity, TUpDown::udFirst));
    QTest::mouseRelease(opacity.UpDown(), Qt::LeftButton, {},
                        arrowPoint(opacity, TUpDown::udFirst));
    QCOMPARE(opacity.Value(), 51);
    QVERIFY(opacity.hasFocus());
    QTest::mouseClick(opacity.UpDown(), Qt::LeftButton, {}, arrowPoint(opacity, TUpDown::udSecond));
    QTest::mouseClick(opacity.UpDown(), Qt::LeftButton, {}, arrowPoint(opacity, TUpDown::udSecond));
    QCOMPARE(opacity.Value(), 49);
  }

  void readOnlyBeepsOnSteps() {
    TSpinEdit2 i;
    i.SetValue(5);
    i.SetReadOnly(true);
    i.StepUp();
    QTest::keyClick(&i, Qt::Key_Down);
    QCOMPARE(i.Value(), 5);
    QCOMPARE(gBeeps, 2);
    QTest::keyClick(&i, '7');
    QCOMPARE(i.text(), QString("5"));
  }

  void editorDisabledRefusesEditsButSteps() {
    TSpinEdit2 i;
    i.SetValue(5);
    i.SetEditorEnabled(false);
    i.end(false);
    QTest::keyClick(&i, '7');
    QTest::keyClick(&i, Qt::Key_Backspace);
    QCOMPARE(i.text(), QString("5"));
    QCOMPARE(gBeeps, 2);
    pasteText(i, "99");
    QCOMPARE(i.text(), QString("5"));
    i.StepUp();
    QCOMPARE(i.Value(), 6);
  }

  void maxLengthLimitsTypingOnly() {
    TFloatSpinEdit f;
    f.SetMaxLength(5);
    f.SetMaxValue(1000);
    f.clear();
    QTest::keyClicks(&f, "12.345");
    QCOMPARE(f.text(), QString("12.34"));
    QCOMPARE(gBeeps, 1);
    f.SetValue(1000);
    QCOMPARE(f.text(), QString("1000.00"));  // written by program: never cut
    pasteText(f, "123456");
    QCOMPARE(f.text(), QString("1000.00"));
  }

  void onChangeFiresForTypingAndValue() {
    TSpinEdit2 i;
    QSignalSpy changes(&i, &TCustomSpinEdit::OnChange);
    i.SetValue(3);
    QTest::keyClick(&i, '4');
    QCOMPARE(changes.count(), 2);
  }

  void autoSelectOnKeyboardEntry() {
    QWidget form;
    auto* first = new TSpinEdit2(&form);
    auto* second = new TSpinEdit2(&form);
    second->move(0, 40);
    second->SetValue(1234);
    form.show();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    first->setFocus(Qt::OtherFocusReason);
    second->setFocus(Qt::TabFocusReason);
    QCOMPARE(second->selectedText(), QString("1234"));
    second->SetAutoSelect(false);
    first->setFocus(Qt::OtherFocusReason);
    second->setFocus(Qt::TabFocusReason);
    QVERIFY(second->selectedText().isEmpty());
  }

  void arrowLayout() {
    TSpinEdit2 i;
    i.resize(65, 21);
    i.show();
    QVERIFY(QTest::qWaitForWindowExposed(&i));
    QStyleOptionFrame option;
    option.initFrom(&i);
    option.lineWidth = i.style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, &i);
    const int frame = option.lineWidth;
    QCOMPARE(i.UpDown()->geometry(), QRect(65 - frame - 13, frame, 13, i.height() - 2 * frame));
    QCOMPARE(i.textMargins().right(), 13);
    QVERIFY(i.minimumHeight() >= 8 + i.fontMetrics().height());

    setVisualStylesEnabled(true);
    i.resize(70, 21);
    QCOMPARE(i.UpDown()->geometry(),
             QRect(70 - frame - 14, frame - 1, 15, i.height() - 2 * frame + 2));
    setVisualStylesEnabled(false);

    i.SetShowUpDown(false);
    QVERIFY(!i.UpDown()->isVisible());
    QCOMPARE(i.textMargins().right(), 0);
    i.setEnabled(false);
    QVERIFY(!i.UpDown()->isEnabled());
  }
};

QTEST_MAIN(TestSpinEdits)
#include "test_spin2.moc"
