#include <QSignalSpy>
#include <QStyle>
#include <QTest>

#include "controls/prev_next_btn.h"
#include "controls/visual_styles.h"

using namespace vorlino;

class TestPrevNextButton : public QObject {
  Q_OBJECT

 private:
  // A point on the visible arrow, in the up-down pair's coordinates.
  static QPoint onArrow(TPrevNextButton& button) {
    return button.upDown()->mapFrom(&button, button.rect().center());
  }

 private slots:
  void upDownRectShowsOneHalf_data() {
    QTest::addColumn<int>("style");
    QTest::addColumn<bool>("themed");
    QTest::addColumn<QRect>("expected");  // left, top, right, bottom (exclusive) as a QRect
    const int w = 15, h = 21;
    auto r = [](int l, int t, int rr, int b) { return QRect(QPoint(l, t), QPoint(rr - 1, b - 1)); };
    QTest::newRow("down") << int(stDown) << false << r(0, -(h + 1), w, h);
    QTest::newRow("up") << int(stUp) << false << r(0, 0, w, 2 * h + 1);
    QTest::newRow("left") << int(stLeft) << false << r(0, 0, 2 * w + 1, h);
    QTest::newRow("right") << int(stRight) << false << r(-(w + 1), 0, w, h);
    QTest::newRow("down themed") << int(stDown) << true << r(-1, -(h + 2), w + 1, h + 1);
    QTest::newRow("right themed") << int(stRight) << true << r(-(w + 2), -1, w + 1, h + 1);
  }
  void cleanup() { setVisualStylesEnabled(false); }

  void upDownRectShowsOneHalf() {
    QFETCH(int, style);
    QFETCH(bool, themed);
    QFETCH(QRect, expected);
    QCOMPARE(TPrevNextButton::upDownRect(TPNStyle(style), 15, 21, themed), expected);

    // The laid-out widget follows the same rule, and the visible half is the wanted arrow.
    setVisualStylesEnabled(themed);
    TPrevNextButton button;
    button.resize(15, 21);
    button.SetStyle(TPNStyle(style));
    button.show();  // resize events reach hidden widgets only when they are shown
    QCOMPARE(button.upDown()->geometry(), expected);
    const QPoint centre = onArrow(button);
    const TUpDown::Arrow wanted =
        style == stDown || style == stRight ? TUpDown::udSecond : TUpDown::udFirst;
    QCOMPARE(button.upDown()->arrowAt(centre), wanted);
    // The wanted arrow fills the button exactly: all of its frame shows, nothing of the other.
    const QRect shown = button.upDown()->arrowRect(wanted).translated(button.upDown()->pos());
    if (!themed) QCOMPARE(shown, button.rect());
    QCOMPARE(button.upDown()->orientation(),
             style == stDown || style == stUp ? Qt::Vertical : Qt::Horizontal);
    setVisualStylesEnabled(false);
  }

  void styleChangeAndResizeRedoLayout() {
    TPrevNextButton button;
    QCOMPARE(button.Style(), stDown);
    QCOMPARE(button.width(), button.height());
    button.show();
    button.resize(15, 21);
    button.SetStyle(stLeft);
    QCOMPARE(button.upDown()->geometry(), TPrevNextButton::upDownRect(stLeft, 15, 21, false));
    button.resize(30, 12);
    QCOMPARE(button.upDown()->geometry(), TPrevNextButton::upDownRect(stLeft, 30, 12, false));
  }

  void pressAndReleaseOnTheArrowClicksOnce() {
    TPrevNextButton button;
    button.resize(15, 21);
    QSignalSpy clicks(&button, &TPrevNextButton::OnClick);
    const QPoint p = onArrow(button);
    QTest::mousePress(button.upDown(), Qt::LeftButton, {}, p);
    QVERIFY(button.Down());
    QCOMPARE(clicks.count(), 0);
    QTest::mouseRelease(button.upDown(), Qt::LeftButton, {}, p);
    QVERIFY(!button.Down());
    QCOMPARE(clicks.count(), 1);
  }

  void holdingDoesNotRepeat() {
    TPrevNextButton button;
    button.resize(15, 21);
    button.show();
    QVERIFY(QTest::qWaitForWindowExposed(&button));
    QSignalSpy clicks(&button, &TPrevNextButton::OnClick);
    const QPoint p = onArrow(button);
    QTest::mousePress(button.upDown(), Qt::LeftButton, {}, p);
    // Longer than any auto-repeat threshold of a spin arrow.
    QTest::qWait(3 * button.style()->styleHint(QStyle::SH_SpinBox_ClickAutoRepeatThreshold) / 2);
    QCOMPARE(clicks.count(), 0);
    QTest::mouseRelease(button.upDown(), Qt::LeftButton, {}, p);
    QCOMPARE(clicks.count(), 1);
  }

  void releasingOutsideFiresNothing() {
    TPrevNextButton button;
    button.resize(15, 21);
    QSignalSpy clicks(&button, &TPrevNextButton::OnClick);
    TMyUpDown* upDown = button.upDown();
    QTest::mousePress(upDown, Qt::LeftButton, {}, onArrow(button));
    // Far outside the up-down pair.
    QTest::mouseRelease(upDown, Qt::LeftButton, {}, upDown->mapFrom(&button, QPoint(100, 100)));
    QCOMPARE(clicks.count(), 0);
    QVERIFY(!button.Down());
    // On the hidden half: inside the pair's rectangle but outside the button.
    QTest::mousePress(upDown, Qt::LeftButton, {}, onArrow(button));
    QTest::mouseRelease(upDown, Qt::LeftButton, {}, upDown->mapFrom(&button, QPoint(7, -5)));
    QCOMPARE(clicks.count(), 0);
    // A press on the hidden half does not start a click either.
    QTest::mousePress(upDown, Qt::LeftButton, {}, upDown->mapFrom(&button, QPoint(7, -5)));
    QVERIFY(!button.Down());
  }

  void rightButtonDoesNothing() {
    TPrevNextButton button;
    button.resize(15, 21);
    QSignalSpy clicks(&button, &TPrevNextButton::OnClick);
    QTest::mouseClick(button.upDown(), Qt::RightButton, {}, onArrow(button));
    QCOMPARE(clicks.count(), 0);
  }

  void disablingDisablesTheArrow() {
    TPrevNextButton button;
    button.resize(15, 21);
    QSignalSpy clicks(&button, &TPrevNextButton::OnClick);
    button.setEnabled(false);
    QVERIFY(!button.upDown()->isEnabled());
    QTest::mouseClick(button.upDown(), Qt::LeftButton, {}, onArrow(button));
    QCOMPARE(clicks.count(), 0);
    button.setEnabled(true);
    QVERIFY(button.upDown()->isEnabled());
    QTest::mouseClick(button.upDown(), Qt::LeftButton, {}, onArrow(button));
    QCOMPARE(clicks.count(), 1);
  }
};

QTEST_MAIN(TestPrevNextButton)
#include "test_prev_next_btn.moc"
