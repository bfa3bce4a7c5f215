// The main window end to end: the commands run through its buttons, menus, shortcuts and drops,
// with the dialogs and message boxes answered by a script.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDropEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QRadioButton>
#include <QScrollBar>
#include <QStyleOptionMenuItem>
#include <QTemporaryDir>
#include <QToolButton>
#include <QUrl>
#include <QtTest>
#include <stdexcept>

#include "../core/scripted_prompts.h"
#include "app/error_report.h"
#include "app/main_form.h"
#include "ui_test_files.h"
#include "view/my_graphic.h"

using namespace vorlino;
using vorlino::test::ScriptedPrompts;
using vorlino::test::WriteBmp;

namespace {

constexpr QRgb kPhoto = qRgb(10, 100, 200);
constexpr Color kPhotoColor = 0xC8640A;  // the same as 0x00BBGGRR
constexpr Color kResultKey = 14478798;   // the key colour of the "Transparent" result

// A prompts script that fails once, as a broken dialog layer would, on the first question.
class ThrowingPrompts : public ScriptedPrompts {
 public:
  MessageResult message(MessageKind kind, const std::string& caption, const std::string& text,
                        MessageButtons buttons) override {
    if (kind == MessageKind::mkConfirmation && !thrown) {
      thrown = true;
      throw std::runtime_error("La boîte de dialogue a échoué");
    }
    return ScriptedPrompts::message(kind, caption, text, buttons);
  }
  bool thrown = false;
};

// The text a menu draws for an item, its key included after a tab.
struct QMenuProbe : QMenu {
  static QString textOf(const QMenu* menu, const QAction* item) {
    QStyleOptionMenuItem option;
    (menu->*(&QMenuProbe::initStyleOption))(&option, item);
    return option.text;
  }
};

}  // namespace

class TestMainForm : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir dir_;
  QString photo_;     // 300 x 200
  QString mask_;      // 40 x 40, black left half, white right half
  QString wideMask_;  // 400 x 100

  template <class T>
  static T* child(TMainForm& form, const char* name) {
    T* found = form.findChild<T*>(QString::fromLatin1(name));
    if (found == nullptr) qFatal("no child %s", name);
    return found;
  }
  static QString status(TMainForm& form, int panel) {
    return child<QLabel>(form, QStringLiteral("StatusPanel%1").arg(panel).toLatin1())->text();
  }
  static OpenImageReply chosen(const QString& path) { return {true, path.toStdString(), false}; }
  // A new, empty program folder for each window: no preferences from an earlier test.
  QString programFolder() {
    const QString folder = dir_.filePath(QStringLiteral("program%1/").arg(++programFolders_));
    QDir().mkpath(folder);
    return folder;
  }
  int programFolders_ = 0;

  void showForm(TMainForm& form) {
    form.resize(800, 600);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
  }
  void openPhoto(TMainForm& form, ScriptedPrompts& script, const QString& path) {
    script.openReplies.push_back(chosen(path));
    child<QAction>(form, "MenuFichierOuvrir")->trigger();
  }
  // Ctrl with key, typed where the keyboard is, as the user would.
  static void pressKey(TMainForm& form, Qt::Key key) {
    QWidget* target = QApplication::focusWidget();
    QTest::keyClick(target != nullptr ? target : &form, key, Qt::ControlModifier);
  }
  void loadMask(TMainForm& form, ScriptedPrompts& script, const QString& path) {
    script.openReplies.push_back(chosen(path));
    child<QToolButton>(form, "BtnParcourir")->click();
  }

 private slots:
  void initTestCase() {
    QVERIFY(dir_.isValid());
    photo_ = WriteBmp(dir_.path(), "photo.bmp", 300, 200, kPhoto);
    mask_ = WriteBmp(dir_.path(), "cadre.bmp", 40, 40,
                     [](int x, int) { return x < 20 ? qRgb(0, 0, 0) : qRgb(255, 255, 255); });
    wideMask_ = WriteBmp(dir_.path(), "large.masque.bmp", 400, 100, qRgb(90, 90, 90));
  }

  void startsIdleWithImageCommandsDisabled() {
    ScriptedPrompts script;
    TMainForm form(nullptr, programFolder());
    showForm(form);
    QCOMPARE(form.windowTitle(), QStringLiteral("Vorlino"));
    QCOMPARE(form.minimumSize(), QSize(590, 475));
    QCOMPARE(status(form, 0), QStringLiteral(" Prêt"));
    for (const char* name : {"BtnSauver", "BtnImprimer", "BtnAction", "BtnRedim", "BtnUndo",
                             "BtnRedo", "BtnNegatif", "BtnRotation"}) {
      QVERIFY2(!child<QWidget>(form, name)->isEnabled(), name);
    }
    QVERIFY(child<QWidget>(form, "BtnOuvrir")->isEnabled());
    auto* zoom = child<QComboBox>(form, "CmbZoom");
    QVERIFY(!zoom->isEnabled());
    QCOMPARE(zoom->currentText(), QStringLiteral("Auto"));
    QCOMPARE(child<QComboBox>(form, "CmbFormat")->currentText(), QStringLiteral("Couleurs RVB"));
    QCOMPARE(child<QToolButton>(form, "BtnUndo")->toolTip(), QStringLiteral("Annuler"));
    QCOMPARE(child<QToolButton>(form, "BtnRedo")->toolTip(), QStringLiteral("Refaire"));
    QCOMPARE(form.OpenFolder(), form.SettingsPath().chopped(QStringLiteral("Vorlino.ini").size()));
    // The side panel keeps its controls where they belong.
    QCOMPARE(child<QWidget>(form, "PnlLeft")->width(), 145);
    QCOMPARE(child<QWidget>(form, "PnlMasque")->geometry(), QRect(8, 0, 129, 129));
    // The spin field keeps the height its font needs.
    QCOMPARE(child<QWidget>(form, "EdiOpacite")->pos(), QPoint(77, 216));
    QCOMPARE(child<QWidget>(form, "EdiOpacite")->width(), 60);
    QCOMPARE(child<QWidget>(form, "CmbFormat")->geometry(), QRect(8, 247, 130, 21));
    QCOMPARE(child<QWidget>(form, "PnlOutils")->height(), 45);
    QCOMPARE(child<QWidget>(form, "BtnOuvrir")->size(), QSize(44, 38));
    QCOMPARE(child<QToolButton>(form, "BtnOuvrir")->iconSize(), QSize(37, 32));
  }

  void opensThroughTheDialogAt100Percent() {
    ScriptedPrompts script;
    TMainForm form(nullptr, programFolder());
    showForm(form);
    openPhoto(form, script, photo_);
    QCOMPARE(script.openRequests.size(), size_t(1));
    QCOMPARE(QString::fromStdString(script.openRequests[0].folder),
             form.SettingsPath().chopped(11));
    QVERIFY(script.openRequests[0].filter.starts_with("Toutes les images|"));
    QCOMPARE(form.WorkingBitmap().width(), 300);
    QCOMPARE(form.WorkingBitmap().bitsPerPixel(), 24);
    QCOMPARE(form.CurrentFileName(), photo_);
    QCOMPARE(form.OpenFolder(), dir_.path() + QLatin1Char('/'));
    QCOMPARE(form.ModificationCount(), 0);
    QCOMPARE(status(form, 1), QStringLiteral("300 x 200"));
    QCOMPARE(status(form, 2), photo_);
    auto* zoom = child<QComboBox>(form, "CmbZoom");
    QVERIFY(zoom->isEnabled());
    QCOMPARE(zoom->currentText(), QStringLiteral("100%"));
    QCOMPARE(zoom->itemText(0), QStringLiteral("Auto"));
    QCOMPARE(form.ImageView()->GetZoom(), 1.0);
    QVERIFY(!child<QWidget>(form, "BtnUndo")->isEnabled());
    QVERIFY(child<QWidget>(form, "BtnSauver")->isEnabled());
    QVERIFY(!child<QWidget>(form, "BtnAction")->isEnabled());  // no mask yet
  }

  void largeImageOpensFittedAndShowsItsPercentage() {
    ScriptedPrompts script;
    TMainForm form(nullptr, programFolder());
    showForm(form);
    openPhoto(form, script, WriteBmp(dir_.path(), "large.bmp", 1600, 1200, kPhoto));
    auto* zoom = child<QComboBox>(form, "CmbZoom");
    QCOMPARE(zoom->currentIndex(), 0);
    const double scale = form.ImageView()->GetZoom();
    QVERIFY(scale > 0.1 && scale < 1.0);
    QCOMPARE(zoom->currentText(), QString::number(qRound(scale * 100)) + QLatin1Char('%'));
    // Choosing 50% puts "Auto" back in the first place; the drop-down shows "Auto" while open.
    zoom->setCurrentIndex(1);
    form.CmbZoomChange();
    QCOMPARE(form.ImageView()->GetZoom(), 0.5);
    QCOMPARE(zoom->itemText(0), QStringLiteral("Auto"));
    zoom->setCurrentIndex(0);
    form.CmbZoomChange();
    QCOMPARE(zoom->itemText(0), QString::number(qRound(scale * 100)) + QLatin1Char('%'));
    form.CmbZoomDropDown();
    QCOMPARE(zoom->itemText(0), QStringLiteral("Auto"));
    form.CmbZoomCloseUp();  // closed without a choice: the percentage comes back
    QCOMPARE(zoom->itemText(0), QString::number(qRound(scale * 100)) + QLatin1Char('%'));
  }

  void fittingZoomIsClampedBetweenTenthAndFour() {
    ScriptedPrompts script;
    TMainForm form(nullptr, programFolder());
    showForm(form);
    auto* zoom = child<QComboBox>(form, "CmbZoom");
    openPhoto(form, script, WriteBmp(dir_.path(), "tiny.bmp", 10, 8, kPhoto));
    QCOMPARE(zoom->currentText(), QStringLiteral("100%"));
    zoom->setCurrentIndex(0);
    form.CmbZoomChange();
    QCOMPARE(form.ImageView()->GetZoom(), 4.0);
    QCOMPARE(zoom->currentText(), QStringLiteral("400%"));
    openPhoto(form, script, WriteBmp(dir_.path(), "strip.bmp", 9000, 4, kPhoto));
    QCOMPARE(zoom->currentIndex(), 0);
    QCOMPARE(form.ImageView()->GetZoom(), 0.1);
    QCOMPARE(zoom->currentText(), QStringLiteral("10%"));
  }

  void appliesInBothFormatsWithUndoAndRedo() {
    ScriptedPrompts script;
    TMainForm form(nullptr, programFolder());
    showForm(form);
    openPhoto(form, script, photo_);
    loadMask(form, script, mask_);
    auto* apply = child<QToolButton>(form, "BtnAction");
    QVERIFY(apply->isEnabled());

    apply->click();  // "Couleurs RVB", white, opacity 100
    Bitmap& image = form.WorkingBitmap();
    QCOMPARE(image.pixel(5, 100), kWhite);
    QCOMPARE(image.pixel(295, 100), kPhotoColor);
    QVERIFY(!image.Transparent);
    QCOMPARE(form.ModificationCount(), 1);
    QCOMPARE(child<QToolButton>(form, "BtnUndo")->toolTip(), QStringLiteral("Annuler Masque"));
    QCOMPARE(status(form, 0), QStringLiteral(" Prêt"));
    QVERIFY(QApplication::overrideCursor() == nullptr);

    auto* format = child<QComboBox>(form, "CmbFormat");
    format->setCurrentIndex(1);
    for (const char* name :
         {"ChbBichromie", "LblOpacite", "EdiOpacite", "LblCouleur", "ColorEdit"}) {
      QVERIFY2(!child<QWidget>(form, name)->isEnabled(), name);
    }
    child<QToolButton>(form, "BtnUndo")->click();
    QCOMPARE(image.pixel(5, 100), kPhotoColor);
    QCOMPARE(child<QToolButton>(form, "BtnRedo")->toolTip(), QStringLiteral("Refaire Masque"));
    apply->click();  // "Transparent": key colour where the mask is dark, flagged transparent
    QCOMPARE(image.pixel(5, 100), kResultKey);
    QVERIFY(image.pixel(295, 100) != kResultKey);
    QVERIFY(image.Transparent);
    QCOMPARE(image.TransparentColor, kResultKey);
    QVERIFY(form.ImageView()->TransparentDisplay());
    QVERIFY(!child<QWidget>(form, "BtnRedo")->isEnabled());  // a new command drops the redo entry

    child<QToolButton>(form, "BtnUndo")->click();
    QVERIFY(!image.Transparent);
    QVERIFY(!form.ImageView()->TransparentDisplay());
    child<QToolButton>(form, "BtnRedo")->click();
    QVERIFY(image.Transparent);
    QVERIFY(form.ImageView()->TransparentDisplay());
    QCOMPARE(form.ModificationCount(), 1);

    format->setCurrentIndex(0);
    apply->click();  // back to colours: the flag follows the format applied last
    QVERIFY(!image.Transparent);
    QVERIFY(!form.ImageView()->TransparentDisplay());
    for (const char* name :
         {"ChbBichromie", "LblOpacite", "EdiOpacite", "LblCouleur", "ColorEdit"}) {
      QVERIFY2(child<QWidget>(form, name)->isEnabled(), name);
    }
  }

  void sevenCommandsLeaveSixUndoable() {
    ScriptedPrompts script;
    TMainForm form(nullptr, programFolder());
    showForm(form);
    openPhoto(form, script, photo_);
    loadMask(form, script, mask_);
    for (int i = 0; i < 7; ++i) child<QToolButton>(form, "BtnAction")->click();
    QCOMPARE(form.ModificationCount(), 7);
    auto* undo = child<QToolButton>(form, "BtnUndo");
    int undone = 0;
    while (undo->isEnabled() && undone < 10) {
      undo->click();
      ++undone;
    }
    QCOMPARE(undone, 6);
    QCOMPARE(form.ModificationCount(), 1);
    QCOMPARE(undo->toolTip(), QStringLiteral("Annuler"));
    // The oldest state kept is the one after the first application.
    QCOMPARE(form.WorkingBitmap().pixel(5, 100), kWhite);
  }

  void commandStatesFollowMaskAndPhoto() {
    ScriptedPrompts script;
    TMainForm form(nullptr, programFolder());
    showForm(form);
    auto enabled = [&form](const char* name) { return child<QWidget>(form, name)->isEnabled(); };
    loadMask(form, script, mask_);
    QVERIFY(enabled("BtnNegatif") && enabled("BtnRotation"));
    QVERIFY(!enabled("BtnAction") && !enabled("BtnSauver") && !enabled("CmbZoom"));
    QVERIFY(!child<QAction>(form, "MenuActionMasque")->isEnabled());

    TMainForm photoOnly(nullptr, programFolder());
    showForm(photoOnly);
    openPhoto(photoOnly, script, photo_);
    auto photoEnabled = [&photoOnly](const char* name) {
      return child<QWidget>(photoOnly, name)->isEnabled();
    };
    QVERIFY(!photoEnabled("BtnNegatif") && !photoEnabled("BtnAction"));
    QVERIFY(photoEnabled("BtnRedim") && photoEnabled("BtnImprimer") && photoEnabled("CmbZoom"));
    for (const char* name : {"MenuActionRedim", "MenuFichierEnregistrer", "MenuFichierImprimer",
                             "MenuEditionCopier"}) {
      QVERIFY2(child<QAction>(photoOnly, name)->isEnabled(), name);
    }

    openPhoto(form, script, photo_);
    QVERIFY(enabled("BtnAction"));
    QVERIFY(child<QAction>(form, "MenuActionMasque")->isEnabled());
  }

  void maskPreviewNegativeAndQuarterTurns() {
    ScriptedPrompts script;
    TMainForm form(nullptr, programFolder());
    showForm(form);
    loadMask(form, script, wideMask_);
    auto* preview = child<QWidget>(form, "ImgMasque");
    QCOMPARE(preview->size(), QSize(121, 30));
    QCOMPARE(preview->pos(), QPoint(1 + (127 - 121) / 2, 1 + (127 - 30) / 2));
    QCOMPARE(child<QLabel>(form, "EdiNomMasque")->text(), QStringLiteral("large.masque"));
    QCOMPARE(form.MaskFolder(), dir_.path() + QLatin1Char('/'));
    const Color grey = form.MaskPicture().pixel(0, 0);
    QVERIFY(redOf(grey) == greenOf(grey) && greenOf(grey) == blueOf(grey));  // kept in grey

    child<QToolButton>(form, "BtnRotation")->click();
    QCOMPARE(preview->size(), QSize(30, 121));
    QCOMPARE(form.MaskAngle(), 90);
    QCOMPARE(form.MaskPicture().width(), 100);
    child<QToolButton>(form, "BtnNegatif")->click();
    QVERIFY(form.Negative());
    QCOMPARE(form.MaskPicture().pixel(0, 0), Color(kWhite - grey));

    // A cancelled dialog changes nothing.
    child<QToolButton>(form, "BtnParcourir")->click();
    QCOMPARE(form.MaskAngle(), 90);
    QVERIFY(form.Negative());
    QCOMPARE(form.MaskFolder(), dir_.path() + QLatin1Char('/'));

    // Loading again gives the picture upright, not inverted.
    loadMask(form, script, wideMask_);
    QCOMPARE(form.MaskAngle(), 0);
    QVERIFY(!form.Negative());
    QCOMPARE(form.MaskPicture().width(), 400);
    QCOMPARE(form.MaskPicture().pixel(0, 0), grey);
    QCOMPARE(preview->size(), QSize(121, 30));
  }

  void droppingThreeFilesOpensTheFirst() {
    ScriptedPrompts script;
    TMainForm form(nullptr, programFolder());
    showForm(form);
    const QString second = WriteBmp(dir_.path(), "second.bmp", 20, 20, kPhoto);
    auto* data = new QMimeData;
    data->setUrls(
        {QUrl::fromLocalFile(photo_), QUrl::fromLocalFile(second), QUrl::fromLocalFile(mask_)});
    QDragEnterEvent enter(QPoint(400, 300), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&form, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(400, 300), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&form, &drop);
    QVERIFY(drop.isAccepted());
    QTRY_COMPARE(form.CurrentFileName(), photo_);
    QTest::qWait(20);
    QCOMPARE(form.CurrentFileName(), photo_);
    QCOMPARE(form.WorkingBitmap().width(), 300);
    QCOMPARE(form.OpenFolder(), dir_.path() + QLatin1Char('/'));
    QVERIFY(script.openRequests.empty());
    delete data;
  }

  void failedOpenLeavesEverythingAsItWas() {
    ScriptedPrompts script;
    TMainForm form(nullptr, programFolder());
    showForm(form);
    openPhoto(form, script, photo_);
    loadMask(form, script, mask_);
    child<QToolButton>(form, "BtnAction")->click();
    const Bitmap before = form.WorkingBitmap();

    script.answers.push_back(MessageResult::mrNo);  // do not save
    openPhoto(form, script, vorlino::test::WriteDamaged(dir_.path(), "broken.bmp"));
    QCOMPARE(script.messages.size(), size_t(2));
    QCOMPARE(script.messages[0].caption, std::string("Confirmation"));
    QCOMPARE(script.messages[0].text,
             std::string("Voulez-vous enregistrer les modifications avant de quitter ?"));
    QVERIFY(script.messages[0].buttons == MessageButtons::mbYesNoCancel);
    QVERIFY(script.messages[1].text.starts_with("Impossible d'ouvrir l'image dans le fichier"));
    QVERIFY(form.WorkingBitmap() == before);
    QCOMPARE(form.CurrentFileName(), photo_);
    QCOMPARE(form.ModificationCount(), 1);
    QVERIFY(child<QWidget>(form, "BtnUndo")->isEnabled());
    QCOMPARE(status(form, 2), photo_);

    // "Annuler" stops before the dialog.
    script.answers.push_back(MessageResult::mrCancel);
    const size_t requests = script.openRequests.size();
    child<QAction>(form, "MenuFichierOuvrir")->trigger();
    QCOMPARE(script.openRequests.size(), requests);
    QCOMPARE(form.CurrentFileName(), photo_);
  }

  void closingAsksOnlyWhenModified() {
    ScriptedPrompts script;
    TMainForm form(nullptr, programFolder());
    showForm(form);
    openPhoto(form, script, photo_);
    QVERIFY(form.close());  // nothing changed: no question
    QVERIFY(script.messages.empty());

    TMainForm edited(nullptr, programFolder());
    showForm(edited);
    openPhoto(edited, script, photo_);
    loadMask(edited, script, mask_);
    child<QToolButton>(edited, "BtnAction")->click();
    script.answers.push_back(MessageResult::mrCancel);
    QVERIFY(!edited.close());
    QVERIFY(edited.isVisible());
    script.answers.push_back(MessageResult::mrNo);
    QVERIFY(edited.close());
    QCOMPARE(script.messages.size(), size_t(2));
  }

  void commandLineNameTakesTheDiskSpelling() {
    ScriptedPrompts script;
    const QString onDisk = WriteBmp(dir_.path(), "Vacances.BMP", 30, 20, kPhoto);
    TMainForm form(nullptr, programFolder());
    const QString startFolder = form.OpenFolder();
    form.SetCommandLineFile(dir_.path() + QStringLiteral("/vacances.bmp"));
    showForm(form);  // the first paint opens it
    QTRY_COMPARE(form.CurrentFileName(), onDisk);
    QCOMPARE(status(form, 2), onDisk);
    QCOMPARE(form.OpenFolder(), startFolder);
    QVERIFY(script.openRequests.empty());
  }

  void shortcutsRefreshTheirMenuFirst() {
    ScriptedPrompts script;
    TMainForm form(nullptr, programFolder());
    showForm(form);
    openPhoto(form, script, photo_);
    loadMask(form, script, mask_);
    child<QToolButton>(form, "BtnAction")->click();
    auto* undoItem = child<QAction>(form, "MenuEditionUndo");
    QCOMPARE(undoItem->text(), QStringLiteral("Annuler"));  // stale until refreshed
    pressKey(form, Qt::Key_Z);
    QCOMPARE(undoItem->text(), QStringLiteral("Annuler Masque"));  // refreshed, then run
    QCOMPARE(form.ModificationCount(), 0);
    QCOMPARE(form.WorkingBitmap().pixel(5, 100), kPhotoColor);
    QCOMPARE(child<QAction>(form, "MenuEditionRedo")->text(), QStringLiteral("Refaire"));
    pressKey(form, Qt::Key_Y);
    QCOMPARE(form.ModificationCount(), 1);
    QCOMPARE(undoItem->text(), QStringLiteral("Annuler"));  // refreshed before the redo ran

    // "Coller" is disabled until its menu is refreshed: the key enables and runs it.
    QApplication::clipboard()->clear();
    pressKey(form, Qt::Key_V);
    QVERIFY(!child<QAction>(form, "MenuEditionColler")->isEnabled());
    QImage picture(4, 4, QImage::Format_RGB32);
    picture.fill(Qt::red);
    QApplication::clipboard()->setImage(picture);
    script.answers.push_back(MessageResult::mrNo);  // do not save the masked photo
    pressKey(form, Qt::Key_V);
    QVERIFY(child<QAction>(form, "MenuEditionColler")->isEnabled());
    QCOMPARE(form.WorkingBitmap().width(), 4);
    // The menus still show each item's key.
    auto* menu = child<QMenu>(form, "MenuEdition");
    QVERIFY(QMenuProbe::textOf(menu, undoItem).endsWith(QStringLiteral("\tCtrl+Z")));
  }

  void shortcutsLiveOnAfterAMenuClosedWithEscape() {
    ScriptedPrompts script;
    TMainForm form(nullptr, programFolder());
    showForm(form);
    openPhoto(form, script, photo_);
    loadMask(form, script, mask_);
    QMenuBar* bar = form.menuBar();
    QAction* action = child<QMenu>(form, "MenuAction")->menuAction();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(action).center());
    QTRY_VERIFY(QApplication::activePopupWidget() != nullptr);
    QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_Escape);
    QTRY_VERIFY(QApplication::activePopupWidget() == nullptr);
    pressKey(form, Qt::Key_M);
    QCOMPARE(form.ModificationCount(), 1);
    pressKey(form, Qt::Key_Z);
    QCOMPARE(form.ModificationCount(), 0);
  }

  // With a side panel field holding the keyboard, the window's keys still act on the picture.
  void windowShortcutsWinOverTheSidePanelFields() {
    ScriptedPrompts script;
    TMainForm form(nullptr, programFolder());
    showForm(form);
    openPhoto(form, script, photo_);
    loadMask(form, script, mask_);
    child<QToolButton>(form, "BtnAction")->click();
    auto* opacity = child<QLineEdit>(form, "EdiOpacite");
    QTest::mouseClick(opacity, Qt::LeftButton, {}, QPoint(10, opacity->height() / 2));
    QTRY_VERIFY(opacity->hasFocus());
    opacity->selectAll();
    QTest::keyClicks(opacity, QStringLiteral("50"));
    QCOMPARE(opacity->text(), QStringLiteral("50"));

    QTest::keyClick(opacity, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(form.ModificationCount(), 0);  // the mask was undone, not the typing
    QCOMPARE(opacity->text(), QStringLiteral("50"));

    QApplication::clipboard()->clear();
    opacity->selectAll();
    QTest::keyClick(opacity, Qt::Key_C, Qt::ControlModifier);
    QTRY_VERIFY(!QApplication::clipboard()->image().isNull());
    QCOMPARE(QApplication::clipboard()->image().size(), QSize(300, 200));

    QImage picture(30, 20, QImage::Format_RGB32);
    picture.fill(QColor(10, 100, 200));
    QApplication::clipboard()->setImage(picture);
    QTest::keyClick(opacity, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(form.WorkingBitmap().width(), 30);
    QCOMPARE(opacity->text(), QStringLiteral("50"));
    child<QToolButton>(form, "BtnAction")->click();  // white at half opacity over the photo
    QCOMPARE(redOf(form.WorkingBitmap().pixel(1, 10)), (10 + 255) / 2);
  }

  void clickingTheImageGivesItTheKeys() {
    ScriptedPrompts script;
    TMainForm form(nullptr, programFolder());
    showForm(form);
    openPhoto(form, script, WriteBmp(dir_.path(), "wide.bmp", 2000, 1500, kPhoto));
    auto* zoom = child<QComboBox>(form, "CmbZoom");
    zoom->setCurrentIndex(2);  // 100%: the picture is larger than the view
    form.CmbZoomChange();
    zoom->setFocus();
    QTRY_VERIFY(zoom->hasFocus());
    QWidget* viewport = form.ImageView()->ScrollBox()->viewport();
    QTest::mouseClick(viewport, Qt::LeftButton, {}, viewport->rect().center());
    QWidget* focused = QApplication::focusWidget();
    QVERIFY(focused != zoom);
    QScrollBar* vertical = form.ImageView()->ScrollBox()->verticalScrollBar();
    QScrollBar* horizontal = form.ImageView()->ScrollBox()->horizontalScrollBar();
    QTest::keyClick(focused, Qt::Key_Down);
    QVERIFY(vertical->value() > 0);
    QTest::keyClick(focused, Qt::Key_Right);
    QVERIFY(horizontal->value() > 0);
    const int afterArrow = vertical->value();
    QTest::keyClick(focused, Qt::Key_PageDown);
    QVERIFY(vertical->value() > afterArrow);
    QTest::keyClick(focused, Qt::Key_End);
    QCOMPARE(vertical->value(), vertical->maximum());
    QTest::keyClick(focused, Qt::Key_Home);
    QCOMPARE(vertical->value(), 0);
    QCOMPARE(zoom->currentText(), QStringLiteral("100%"));
    QCOMPARE(child<QComboBox>(form, "CmbFormat")->currentIndex(), 0);
  }

  void errorsReachTheGeneralReportAndTheWindowGoesOn() {
    ThrowingPrompts script;
    TMainForm form(nullptr, programFolder());
    showForm(form);
    openPhoto(form, script, photo_);
    loadMask(form, script, mask_);
    child<QToolButton>(form, "BtnAction")->click();
    script.openReplies.push_back(chosen(photo_));
    child<QAction>(form, "MenuFichierOuvrir")->trigger();  // the question throws
    QVERIFY(script.thrown);
    QCOMPARE(script.messages.size(), size_t(1));
    QCOMPARE(script.messages[0].caption, std::string("Vorlino"));
    QVERIFY(script.messages[0].kind == MessageKind::mkError);
    QVERIFY(script.messages[0].buttons == MessageButtons::mbOk);
    QCOMPARE(script.messages[0].text, std::string("La boîte de dialogue a échoué."));
    // Still usable: undo works and leaves the busy state.
    child<QToolButton>(form, "BtnUndo")->click();
    QCOMPARE(form.ModificationCount(), 0);
    QCOMPARE(status(form, 0), QStringLiteral(" Prêt"));
  }
};

QTEST_MAIN(TestMainForm)
#include "test_main_form.moc"
