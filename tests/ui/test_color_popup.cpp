// The drop-down palette and the picker that owns it: which cell shows the current colour, the
// keyboard and the mouse, the closing rules, custom mode and the hints.
#include <QtTest>

#include "controls/color_palette.h"
#include "controls/color_picker.h"
#include "controls/color_popup.h"

using namespace vorlino;

namespace {

void sendMouse(QWidget* w, QEvent::Type type, QPoint pos, Qt::MouseButtons buttons,
               Qt::MouseButton button = Qt::LeftButton) {
  QMouseEvent e(type, QPointF(pos), QPointF(w->mapToGlobal(pos)),
                type == QEvent::MouseMove ? Qt::NoButton : button, buttons, Qt::NoModifier);
  QCoreApplication::sendEvent(w, &e);
}

void press(QWidget* w, QPoint p) {
  sendMouse(w, QEvent::MouseButtonPress, p, Qt::LeftButton);
}
void drag(QWidget* w, QPoint p) {
  sendMouse(w, QEvent::MouseMove, p, Qt::LeftButton);
}
void release(QWidget* w, QPoint p) {
  sendMouse(w, QEvent::MouseButtonRelease, p, Qt::NoButton);
}

// A colour of the comb found in none of the named colours.
int combOnlyCell(const TCombArray& comb) {
  for (int i = 1; i < int(comb.size()); ++i) {
    bool named = false;
    for (int c = 0; c < kPaletteCellCount; ++c) named = named || paletteColor(c) == comb[i].color;
    if (!named) return i;
  }
  return -1;
}

struct Picker {
  QWidget host;
  TColorPicker* picker = new TColorPicker(&host);
  Picker() {
    host.resize(200, 100);
    picker->move(20, 20);
    picker->setCustomText("Autres couleurs...");
    host.show();
  }
  TColorPopup* popup() const { return picker->popup(); }
};

}  // namespace

class TestColorPopup : public QObject {
  Q_OBJECT

 private slots:
  void showsTheCurrentColour() {
    Picker w;
    w.picker->setSelectionColor(kWhite);
    w.picker->setDroppedDown(true);
    QVERIFY(w.popup()->isVisible());
    QCOMPARE(w.popup()->selectedIndex(), 39);
    QCOMPARE(w.popup()->hotIndex(), 39);
    w.picker->setDroppedDown(false);
    QVERIFY(!w.popup()->isVisible());

    w.picker->setSelectionColor(rgb(1, 2, 3));  // found nowhere
    w.picker->setDroppedDown(true);
    QCOMPARE(w.popup()->selectedIndex(), kNoCell);
    QVERIFY(!w.popup()->customMode());
  }

  void systemColoursStaySymbolic() {
    Picker w;
    w.picker->setShowSystemColors(true);
    w.picker->setSelectionColor(systemColor(15));
    w.picker->setDroppedDown(true);
    QCOMPARE(w.popup()->selectedIndex(), 55);
    // Taking a system cell gives back the symbolic value, not its current RGB.
    press(w.popup(), cellRect(w.popup()->paletteLayout(), 45).center());
    release(w.popup(), cellRect(w.popup()->paletteLayout(), 45).center());
    QCOMPARE(w.picker->selectionColor(), systemColor(5));
    // Without the system cells, a system colour is matched by its resolved value.
    TColorPopup plain(nullptr);
    setSystemColor(5, rgb(255, 255, 0));
    plain.selectColor(systemColor(5));
    QCOMPARE(plain.selectedIndex(), 26);  // "Yellow"
  }

  void defaultColourSelectsTheDefaultButton() {
    TColorPopup popup(nullptr);
    popup.selectColor(kDefaultColor);
    QCOMPARE(popup.selectedIndex(), kNoCell);  // no default button
    popup.setDefaultText("&Automatique");
    popup.selectColor(kDefaultColor);
    QCOMPARE(popup.selectedIndex(), kDefaultCell);
    popup.selectColor(kNoColor);
    QCOMPARE(popup.selectedIndex(), kNoCell);
  }

  void combColourOpensInCustomMode() {
    Picker w;
    const int cell = combOnlyCell(buildColorComb(1.0));
    QVERIFY(cell > 0);
    w.picker->setSelectionColor(buildColorComb(1.0)[cell].color);
    w.picker->setDroppedDown(true);
    TColorPopup* p = w.popup();
    QVERIFY(p->customMode());
    QCOMPARE(p->selectedIndex(), kCustomCell);
    QCOMPARE(p->customIndex(), cell + 1);
    QCOMPARE(p->height(), p->combLayout().windowHeight);
    // Closing leaves custom mode and shrinks the window back.
    w.picker->setDroppedDown(false);
    QVERIFY(!p->customMode());
    QCOMPARE(p->height(), p->paletteLayout().height);

    // A grey of the zig-zag row is found there first.
    w.picker->setSelectionColor(rgb(225, 225, 225));
    w.picker->setDroppedDown(true);
    QCOMPARE(p->customIndex(), -2);
    QCOMPARE(p->customColor(), rgb(225, 225, 225));
  }

  void keyboardTakesTheHotCell() {
    Picker w;
    QSignalSpy changed(w.picker, &TColorPicker::changed);
    w.picker->setSelectionColor(paletteColor(10));
    w.picker->setDroppedDown(true);
    QTest::keyClick(w.popup(), Qt::Key_Right);
    QTest::keyClick(w.popup(), Qt::Key_Down);
    QCOMPARE(w.popup()->hotIndex(), 19);
    QTest::keyClick(w.popup(), Qt::Key_Return);
    QCOMPARE(w.picker->selectionColor(), paletteColor(19));
    QVERIFY(!w.picker->droppedDown());
    QCOMPARE(changed.count(), 2);
  }

  void keyboardNeverReachesHiddenSystemCells() {
    Picker w;
    w.picker->setSelectionColor(paletteColor(36));
    w.picker->setDroppedDown(true);
    for (Qt::Key key : {Qt::Key_Down, Qt::Key_Right, Qt::Key_Down, Qt::Key_Right, Qt::Key_Left,
                        Qt::Key_Up, Qt::Key_Down, Qt::Key_Down, Qt::Key_Right}) {
      QTest::keyClick(w.popup(), key);
      QVERIFY(w.popup()->hotIndex() < kFirstSystemCell);
    }
  }

  void enterWithNothingHotIsTheDefault() {
    Picker w;
    QSignalSpy defaults(w.picker, &TColorPicker::defaultSelected);
    QSignalSpy changed(w.picker, &TColorPicker::changed);
    w.picker->setSelectionColor(rgb(1, 2, 3));
    changed.clear();
    w.picker->setDroppedDown(true);
    QTest::keyClick(w.popup(), Qt::Key_Space);
    QCOMPARE(defaults.count(), 1);
    QCOMPARE(changed.count(), 0);
    QVERIFY(!w.picker->droppedDown());
  }

  void acceleratorsOfTheButtons() {
    Picker w;
    QSignalSpy defaults(w.picker, &TColorPicker::defaultSelected);
    w.picker->setDefaultText("&Automatique");
    w.picker->setCustomText("Autres &couleurs...");
    w.picker->setDroppedDown(true);
    QTest::keyClick(w.popup(), Qt::Key_C, Qt::AltModifier);
    QVERIFY(w.popup()->customMode());
    QTest::keyClick(w.popup(), Qt::Key_A);  // without Alt: nothing
    QCOMPARE(defaults.count(), 0);
    QTest::keyClick(w.popup(), Qt::Key_A, Qt::AltModifier);
    QCOMPARE(defaults.count(), 1);
    QVERIFY(!w.picker->droppedDown());
  }

  void closingRules() {
    Picker w;
    QSignalSpy dropChanged(w.picker, &TColorPicker::dropChanged);
    const Color before = rgb(1, 2, 3);
    w.picker->setSelectionColor(before);

    w.picker->setDroppedDown(true);
    QTest::keyClick(w.popup(), Qt::Key_Escape);
    QVERIFY(!w.picker->droppedDown());
    QVERIFY(!w.popup()->isVisible());

    w.picker->setDroppedDown(true);
    press(w.popup(), {10, 10});  // inside: stays open
    QVERIFY(w.picker->droppedDown());
    release(w.popup(), {5, 5});
    press(w.popup(), {-5, 10});  // outside
    QVERIFY(!w.picker->droppedDown());

    w.picker->setDroppedDown(true);
    emit qApp->applicationStateChanged(Qt::ApplicationInactive);
    QVERIFY(!w.picker->droppedDown());

    w.picker->setDroppedDown(true);
    QFocusEvent focusOut(QEvent::FocusOut, Qt::ActiveWindowFocusReason);
    QCoreApplication::sendEvent(w.popup(), &focusOut);
    QVERIFY(!w.picker->droppedDown());

    // Hidden behind the picker's back (the window system closing popups): the picker follows.
    w.picker->setDroppedDown(true);
    w.popup()->hide();
    QVERIFY(!w.picker->droppedDown());

    QCOMPARE(dropChanged.count(), 10);
    QCOMPARE(w.picker->selectionColor(), before);
  }

  void dropChangingMayVeto() {
    Picker w;
    bool allow = false;
    int asked = 0;
    w.picker->setDropChangingHandler([&](bool) {
      ++asked;
      return allow;
    });
    w.picker->setDroppedDown(true);
    QVERIFY(!w.picker->droppedDown());
    QVERIFY(!w.popup()->isVisible());
    allow = true;
    w.picker->setDroppedDown(true);
    w.picker->setDroppedDown(true);  // unchanged: not asked
    QCOMPARE(asked, 2);
    allow = false;
    QTest::keyClick(w.popup(), Qt::Key_Escape);
    QVERIFY(w.picker->droppedDown());
    QVERIFY(w.popup()->isVisible());
  }

  void mouseTakesACell() {
    Picker w;
    w.picker->setDroppedDown(true);
    const QPoint p = cellRect(w.popup()->paletteLayout(), 13).center();
    sendMouse(w.popup(), QEvent::MouseMove, p, Qt::NoButton);
    QCOMPARE(w.popup()->hotIndex(), 13);
    press(w.popup(), p);
    QVERIFY(w.picker->droppedDown());
    release(w.popup(), p);
    QCOMPARE(w.picker->selectionColor(), paletteColor(13));
    QVERIFY(!w.picker->droppedDown());
  }

  void customButtonGrowsTheWindow() {
    Picker w;
    w.picker->setDroppedDown(true);
    TColorPopup* p = w.popup();
    const QPoint button = p->paletteLayout().customButton.center();
    press(p, button);
    release(p, button);
    QVERIFY(w.picker->droppedDown());
    QVERIFY(p->customMode());
    QCOMPARE(p->height(), p->combLayout().windowHeight);
    QCOMPARE(p->customColor(), kNoColor);
  }

  void combDragTakesTheCellUnderTheRelease() {
    Picker w;
    w.picker->setDroppedDown(true);
    TColorPopup* p = w.popup();
    p->enterCustomMode();
    const CombLayout& l = p->combLayout();
    const TCombArray comb = buildColorComb(p->brightness());
    const QPoint centre = l.combCentre();
    press(p, centre);
    QCOMPARE(p->dragArea(), TColorPopup::daComb);
    QCOMPARE(p->customIndex(), 1);
    const QPoint other = centre + QPoint(comb[40].x, comb[40].y);
    drag(p, other);
    QCOMPARE(p->customIndex(), 41);
    // Passing over the grey row does not switch a comb drag to it.
    drag(p, l.greyRow.topLeft() + QPoint(124, 11));
    QCOMPARE(p->dragArea(), TColorPopup::daComb);
    QCOMPARE(p->customIndex(), 0);
    drag(p, other);
    release(p, other);
    QCOMPARE(p->dragArea(), TColorPopup::daNone);
    QCOMPARE(w.picker->selectionColor(), comb[40].color);
    QVERIFY(!w.picker->droppedDown());
  }

  void greyRowDrag() {
    Picker w;
    w.picker->setDroppedDown(true);
    TColorPopup* p = w.popup();
    p->enterCustomMode();
    const QPoint origin = p->combLayout().greyRow.topLeft();
    press(p, origin + QPoint(33, 6));
    QCOMPARE(p->dragArea(), TColorPopup::daGrey);
    QCOMPARE(p->customColor(), rgb(225, 225, 225));
    drag(p, origin + QPoint(124, 11));
    release(p, origin + QPoint(124, 11));
    QCOMPARE(w.picker->selectionColor(), kBlack);
  }

  void releaseOnNoCellTakesNothing() {
    Picker w;
    w.picker->setSelectionColor(rgb(1, 2, 3));
    w.picker->setDroppedDown(true);
    TColorPopup* p = w.popup();
    p->enterCustomMode();
    const QPoint gap = p->combLayout().combSquare.topLeft() + QPoint(1, 1);  // a corner: no cell
    press(p, gap);
    release(p, gap);
    QVERIFY(w.picker->droppedDown());
    QCOMPARE(w.picker->selectionColor(), rgb(1, 2, 3));
  }

  void brightnessBarDrag() {
    Picker w;
    w.picker->setDroppedDown(true);
    TColorPopup* p = w.popup();
    p->enterCustomMode();
    const QRect bar = p->combLayout().brightnessBar;
    press(p, {bar.center().x(), bar.top() + bar.height() / 2});
    QCOMPARE(p->dragArea(), TColorPopup::daBar);
    QCOMPARE(p->brightness(), 0.5);
    drag(p, {bar.center().x(), bar.bottom() + 40});  // below the bar
    QCOMPARE(p->brightness(), 0.0);
    release(p, {bar.center().x(), bar.bottom() + 40});
    QVERIFY(w.picker->droppedDown());  // the bar takes no colour
    QCOMPARE(p->brightness(), 0.0);
    // The comb's centre is now black.
    const QPoint centre = p->combLayout().combCentre();
    press(p, centre);
    QCOMPARE(p->customColor(), kBlack);
    release(p, centre);
    QCOMPARE(w.picker->selectionColor(), kBlack);
    // The brightness survives closing and reopening.
    w.picker->setDroppedDown(true);
    QCOMPARE(p->brightness(), 0.0);
  }

  void hints() {
    Picker w;
    w.picker->setShowSystemColors(true);
    w.picker->setDefaultText("Automatique");
    w.picker->setToolTip("Couleur du masque");
    w.picker->setHintHandler([](int cell) {
      return cell == kNoCell        ? QString("vide")
             : cell == kDefaultCell ? QString("défaut")
                                    : QString();
    });
    w.picker->setDroppedDown(true);
    TColorPopup* p = w.popup();
    const PaletteLayout& l = p->paletteLayout();
    QCOMPARE(p->hintAt(cellRect(l, 0).center()).text, QString("Black"));
    QCOMPARE(p->hintAt(cellRect(l, 0).center()).area, cellRect(l, 0));
    QCOMPARE(p->hintAt(cellRect(l, 63).center()).text, QString("system color: info text"));
    QCOMPARE(p->hintAt(l.defaultButton.center()).text, QString("défaut"));
    QCOMPARE(p->hintAt(l.customButton.center()).text, QString("Couleur du masque"));
    QCOMPARE(p->hintAt({1, 1}).text, QString("vide"));

    p->enterCustomMode();
    const CombLayout& c = p->combLayout();
    const auto barHint = p->hintAt(c.brightnessBar.center());
    QCOMPARE(barHint.text, QString("Intensité: 100%"));
    QCOMPARE(barHint.at, QPoint(c.brightnessBar.right() + 1, c.brightnessBar.center().y() - 8));
    QCOMPARE(barHint.msecs, 5000);
    QCOMPARE(p->hintAt(c.combCentre()).text, QString("Rouge: 255, Vert: 255, Bleue: 255"));
    QCOMPARE(p->hintAt(c.greyRow.topLeft() + QPoint(38, 14)).text,
             QString("Rouge: 210, Vert: 210, Bleue: 210"));
    // During a comb drag, the chosen cell's colour, wherever the pointer is.
    press(p, c.combCentre());
    QCOMPARE(p->hintAt(c.combCentre() + QPoint(60, -60)).text,
             QString("Rouge: 255, Vert: 255, Bleue: 255"));
  }

  void pickerPainting() {
    // The swatch shows the selection colour inside a button-shadow frame, inset by the margin.
    QWidget host;
    auto* picker = new TColorPicker(&host);
    picker->setGeometry(0, 0, 45, 22);
    picker->setMargin(2);
    picker->setSelectionColor(rgb(255, 0, 0));
    host.show();
    QImage shot = picker->grab().toImage();
    QCOMPARE(shot.pixelColor(20, 10).rgb(), qRgb(255, 0, 0));
    QCOMPARE(shot.pixelColor(2, 10).rgb(), picker->palette().color(QPalette::Dark).rgb());
    picker->setEnabled(false);
    shot = picker->grab().toImage();
    QVERIFY(shot.pixelColor(20, 10).rgb() != qRgb(255, 0, 0));
  }
};

QTEST_MAIN(TestColorPopup)
#include "test_color_popup.moc"
