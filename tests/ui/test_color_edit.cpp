// The colour field: its Color property, the swatch click with and without a colour dialog, the
// arrow, read-only and disabled states, its layout and the real colour dialog behind the hook.
#include <QColorDialog>
#include <QtTest>

#include "controls/color_editor.h"
#include "controls/color_palette.h"
#include "controls/color_picker.h"
#include "controls/color_popup.h"
#include "controls/prev_next_btn.h"
#include "controls/visual_styles.h"

using namespace vorlino;

namespace {

void clickArrow(TColorEdit& edit) {
  TPrevNextButton* arrow = edit.arrow();
  const QPoint p = arrow->upDown()->mapFrom(arrow, arrow->rect().center());
  QTest::mouseClick(arrow->upDown(), Qt::LeftButton, {}, p);
}

struct Field {
  QWidget host;
  TColorEdit* edit = new TColorEdit(&host);
  Field() {
    host.resize(300, 200);
    edit->setGeometry(8, 16, 60, 21);
    edit->setColor(kWhite);
    host.show();
  }
};

}  // namespace

class TestColorEdit : public QObject {
  Q_OBJECT

 private slots:
  void colorProperty() {
    Field f;
    QSignalSpy changed(f.edit, &TColorEdit::changed);
    f.edit->setColor(kWhite);  // the same value: nothing
    QCOMPARE(changed.count(), 0);
    f.edit->setColor(rgb(10, 20, 30));
    QCOMPARE(changed.count(), 1);
    QCOMPARE(f.edit->color(), rgb(10, 20, 30));
    QCOMPARE(f.edit->picker()->selectionColor(), rgb(10, 20, 30));
    f.edit->setColor(systemColor(5));  // kept symbolic
    QCOMPARE(f.edit->color(), systemColor(5));
    QCOMPARE(changed.count(), 2);
  }

  void pickerSettings() {
    Field f;
    TColorPicker* p = f.edit->picker();
    QCOMPARE(p->customText(), QString("&Autres couleurs..."));  // shown without the "&"
    QCOMPARE(p->defaultText(), QString());
    QVERIFY(p->anchorToParent());
    QVERIFY(!p->clickDropDown());
    QVERIFY(p->transparent());
    QCOMPARE(p->indicatorBorder(), TIndicatorBorder::ibFlat);
    QCOMPARE(f.edit->arrow()->Style(), stDown);
  }

  void swatchRunsTheDialog() {
    Field f;
    QSignalSpy changed(f.edit, &TColorEdit::changed);
    Color offered = kNoColor;
    Color answer = rgb(1, 2, 3);
    bool accept = false;
    f.edit->setColorDialog([&](Color& c) {
      offered = c;
      if (accept) c = answer;
      return accept;
    });
    QTest::mouseClick(f.edit->picker(), Qt::LeftButton);
    QCOMPARE(offered, kWhite);
    QCOMPARE(f.edit->color(), kWhite);  // cancelled
    QVERIFY(!f.edit->picker()->droppedDown());
    accept = true;
    QTest::mouseClick(f.edit->picker(), Qt::LeftButton);
    QCOMPARE(f.edit->color(), answer);
    QCOMPARE(changed.count(), 1);
    answer = f.edit->color();  // OK on the same colour: no change
    QTest::mouseClick(f.edit->picker(), Qt::LeftButton);
    QCOMPARE(changed.count(), 1);
  }

  void swatchWithoutDialogDropsDown() {
    Field f;
    QVERIFY(!f.edit->hasColorDialog());
    QTest::mouseClick(f.edit->picker(), Qt::LeftButton);
    QVERIFY(f.edit->picker()->droppedDown());
  }

  void arrowDropsDownUnderTheField() {
    Field f;
    clickArrow(*f.edit);
    QVERIFY(f.edit->picker()->droppedDown());
    TColorPopup* popup = f.edit->picker()->popup();
    QVERIFY(popup->isVisible());
    QCOMPARE(popup->selectedIndex(), 39);  // white
    // Anchored to the field, not to the swatch inside it.
    QCOMPARE(popup->pos(), f.edit->mapToGlobal(QPoint(-1, f.edit->height())));
  }

  // "Autres couleurs..." from the keyboard: its access key, or Enter once the arrows reach it.
  void otherColoursFromTheKeyboard() {
    Field f;
    QSignalSpy changed(f.edit, &TColorEdit::changed);
    clickArrow(*f.edit);
    TColorPopup* popup = f.edit->picker()->popup();
    QTest::keyClick(popup, Qt::Key_A, Qt::AltModifier);
    QVERIFY(popup->customMode());
    QVERIFY(f.edit->picker()->droppedDown());
    QTest::keyClick(popup, Qt::Key_Escape);
    QVERIFY(!f.edit->picker()->droppedDown());

    clickArrow(*f.edit);
    QTest::keyClick(popup, Qt::Key_Down);  // from white, in the last row, to the button
    QCOMPARE(popup->hotIndex(), kCustomCell);
    QTest::keyClick(popup, Qt::Key_Return);
    QVERIFY(popup->customMode());
    QVERIFY(f.edit->picker()->droppedDown());
    QTest::keyClick(popup, Qt::Key_Return);  // no comb colour chosen yet: stays open
    QVERIFY(f.edit->picker()->droppedDown());
    QCOMPARE(changed.count(), 0);
    QCOMPARE(f.edit->color(), kWhite);
  }

  void readOnly() {
    Field f;
    int dialogRuns = 0;
    f.edit->setColorDialog([&](Color&) {
      ++dialogRuns;
      return true;
    });
    f.edit->setReadOnly(true);
    QVERIFY(!f.edit->arrow()->isEnabled());
    QTest::mouseClick(f.edit->picker(), Qt::LeftButton);
    QCOMPARE(dialogRuns, 0);
    clickArrow(*f.edit);
    QVERIFY(!f.edit->picker()->droppedDown());
    f.edit->setReadOnly(false);
    QVERIFY(f.edit->arrow()->isEnabled());
    QTest::mouseClick(f.edit->picker(), Qt::LeftButton);
    QCOMPARE(dialogRuns, 1);
  }

  void disabledFieldDisablesBothParts() {
    Field f;
    f.edit->setEnabled(false);
    QVERIFY(!f.edit->picker()->isEnabled());
    QVERIFY(!f.edit->arrow()->isEnabled());
    f.edit->setEnabled(true);
    QVERIFY(f.edit->picker()->isEnabled());
    QVERIFY(f.edit->arrow()->isEnabled());
  }

  void layout() {
    Field f;
    const int minimum = f.edit->minimumFieldHeight();
    QCOMPARE(minimum, 8 + f.edit->fontMetrics().height());
    f.edit->resize(60, 5);
    QCOMPARE(f.edit->height(), minimum);
    f.edit->resize(80, minimum + 10);
    const QRect client = f.edit->contentsRect();
    QCOMPARE(f.edit->arrow()->geometry(),
             QRect(client.right() - 14, client.top(), 15, client.height()));
    QCOMPARE(f.edit->picker()->geometry(),
             QRect(client.left(), client.top(), client.width() - 15, client.height()));
    QCOMPARE(f.edit->picker()->margin(), 2);

    setVisualStylesEnabled(true);
    f.edit->resize(81, minimum + 10);
    QCOMPARE(f.edit->picker()->width(), f.edit->contentsRect().width() - 16);
    QCOMPARE(f.edit->picker()->margin(), 1);
    setVisualStylesEnabled(false);

    f.edit->setBorderStyle(TColorEdit::bsNone);
    QCOMPARE(f.edit->contentsRect(), f.edit->rect());
    QCOMPARE(f.edit->minimumFieldHeight(), 6 + f.edit->fontMetrics().height());
  }

  void qtColorDialogBehindTheHook() {
    Field f;
    f.edit->setColorDialog([&f](Color& c) { return runColorDialog(c, &f.host); });
    bool seen = false;
    QTimer::singleShot(0, [&] {
      auto* dialog = qobject_cast<QColorDialog*>(QApplication::activeModalWidget());
      QVERIFY(dialog != nullptr);
      seen = true;
      QCOMPARE(dialog->currentColor(), QColor(255, 255, 255));
      QVERIFY(dialog->testOption(QColorDialog::DontUseNativeDialog));
      dialog->setCurrentColor(QColor(12, 34, 56));
      dialog->accept();
    });
    QTest::mouseClick(f.edit->picker(), Qt::LeftButton);
    QVERIFY(seen);
    QCOMPARE(f.edit->color(), rgb(12, 34, 56));

    QTimer::singleShot(0, [] { QApplication::activeModalWidget()->close(); });
    QTest::mouseClick(f.edit->picker(), Qt::LeftButton);
    QCOMPARE(f.edit->color(), rgb(12, 34, 56));
  }
};

QTEST_MAIN(TestColorEdit)
#include "test_color_edit.moc"
