// The document commands on the real window: preferences across a restart, recent files, save as
// with its JPEG question, copy and paste, the image size dialog and the save question. Dialogs
// and message boxes are answered by a script; each window gets a program folder of its own.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDialog>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QSlider>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QtTest>
#include <functional>
#include <set>

#include "../core/scripted_prompts.h"
#include "app/main_form.h"
#include "app/qt_prompts.h"
#include "compose/bitmap_filters.h"
#include "compose/quarter_turn.h"
#include "controls/color_editor.h"
#include "controls/spin2.h"
#include "dialogs/annul_imp.h"
#include "dialogs/apropos.h"
#include "dialogs/impr.h"
#include "dialogs/jpg_compress.h"
#include "dialogs/modal.h"
#include "dialogs/redim.h"
#include "imagefile/jpeg_writer.h"
#include "imagefile/load_image.h"
#include "imagefile/webp_writer.h"
#include "settings/ini_file.h"
#include "ui_test_files.h"
#include "view/my_graphic.h"
#include "window_test_support.h"

using namespace vorlino;
using vorlino::test::child;
using vorlino::test::ScriptedPrompts;
using vorlino::test::showForm;
using vorlino::test::status;
using vorlino::test::WriteBmp;

namespace {

// A photo with many colours, so that reducing it to a palette really has to choose.
QRgb gradientPixel(int x, int y) {
  return qRgb((x * 7) & 255, (y * 5) & 255, (x * 3 + y * 2) & 255);
}

// A mask that is not symmetric: dark in the top-left quarter only.
QRgb cornerMask(int x, int y) {
  return x < 20 && y < 10 ? qRgb(0, 0, 0) : qRgb(255, 255, 255);
}

// Plays the user on every dialog shown while it lives.
class ModalScript {
 public:
  explicit ModalScript(std::function<void(QDialog&)> play) {
    previous_ = SetModalHook([this, play](QDialog& dialog) {
      ++shown;
      titles.append(dialog.windowTitle());
      play(dialog);
    });
  }
  ~ModalScript() { SetModalHook(previous_); }
  int shown = 0;
  QStringList titles;

 private:
  ModalHook previous_;
};

QByteArray fileBytes(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

std::string iniValue(const QString& path, const char* section, const char* key) {
  IniFile file;
  file.load(path.toStdString());
  return file.readString(section, key, "<missing>");
}

}  // namespace

class TestDocuments : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir dir_;
  QString photo_;  // 300 x 200, many colours
  QString mask_;   // 40 x 40, dark top-left corner
  int folders_ = 0;

  QString newFolder(const char* stem) {
    const QString folder = dir_.filePath(QStringLiteral("%1%2/").arg(stem).arg(++folders_));
    QDir().mkpath(folder);
    return folder;
  }
  static void open(TMainForm& form, ScriptedPrompts& script, const QString& path) {
    script.openReplies.push_back({true, path.toStdString(), false});
    child<QAction>(form, "MenuFichierOuvrir")->trigger();
  }
  static void loadMask(TMainForm& form, ScriptedPrompts& script, const QString& path) {
    script.openReplies.push_back({true, path.toStdString(), false});
    child<QToolButton>(form, "BtnParcourir")->click();
  }
  static void apply(TMainForm& form) { child<QToolButton>(form, "BtnAction")->click(); }
  static void saveAs(TMainForm& form, ScriptedPrompts& script, const QString& path) {
    script.saveReplies.push_back({true, path.toStdString()});
    child<QToolButton>(form, "BtnSauver")->click();
  }
  // The photo opened, a mask applied once: a document with one change.
  void editedDocument(TMainForm& form, ScriptedPrompts& script) {
    showForm(form);
    open(form, script, photo_);
    loadMask(form, script, mask_);
    apply(form);
    QCOMPARE(form.ModificationCount(), 1);
  }

 private slots:
  void initTestCase() {
    QVERIFY(dir_.isValid());
    photo_ = WriteBmp(dir_.path(), "photo.bmp", 300, 200, gradientPixel);
    mask_ = WriteBmp(dir_.path(), "coin.bmp", 40, 40, cornerMask);
  }

  // ---- preferences ------------------------------------------------------------------------------

  void missingFileGivesDefaultsAndACompleteParamsSection() {
    ScriptedPrompts script;
    const QString program = newFolder("program");
    {
      TMainForm form(nullptr, program);
      QCOMPARE(form.SettingsPath(), program + QStringLiteral("Vorlino.ini"));
      QCOMPARE(form.OpenFolder(), program);
      QVERIFY(form.SaveFolder().isEmpty());
      QVERIFY(form.MaskPicture().empty());
      QCOMPARE(child<TColorEdit>(form, "ColorEdit")->color(), kWhite);
      QCOMPARE(child<QComboBox>(form, "CmbFormat")->currentIndex(), 0);
      QVERIFY(child<QRadioButton>(form, "RdbAjuster")->isChecked());
      QVERIFY(!child<QCheckBox>(form, "ChbFlou")->isChecked());
      QVERIFY(!child<QCheckBox>(form, "ChbBichromie")->isChecked());
      QVERIFY(form.RecentFiles().isEmpty());
      QVERIFY(!(form.windowState() & Qt::WindowMaximized));
    }
    QVERIFY(script.messages.empty());
    IniFile file;
    QVERIFY(file.load((program + QStringLiteral("Vorlino.ini")).toStdString()));
    const std::pair<const char*, std::string> expected[] = {
        {"Ouvrir", program.toStdString()},
        {"Enregistrer", ""},
        {"Agrandir", "0"},
        {"Apercu", "0"},
        {"Masque", ""},
        {"Couleur", "#FFFFFF"},
        {"Negatif", "0"},
        {"Angle", "0"},
        {"Format", "0"},
        {"Adoucir", "0"},
        {"Bichromie", "0"},
        {"Ajuster", "1"},
    };
    for (const auto& [key, value] : expected) {
      QVERIFY2(file.hasKey("Params", key), key);
      QCOMPARE(file.readString("Params", key, "<missing>"), value);
    }
    QVERIFY(!file.hasSection("Fichiers"));
  }

  void everyPreferenceSurvivesARestart() {
    ScriptedPrompts script;
    const QString program = newFolder("program");
    const QString photos = newFolder("photos");
    const QString saved = newFolder("saved");
    const QString first = WriteBmp(photos, "premiere.bmp", 30, 20, gradientPixel);
    const QString second = WriteBmp(photos, "seconde.bmp", 30, 20, gradientPixel);
    const Color colour = 0x80FF00;  // red 0, green 255, blue 128
    Bitmap maskShown;
    const bool previewBefore = previewFlag();
    {
      TMainForm form(nullptr, program);
      form.setWindowState(Qt::WindowMaximized);
      showForm(form);
      open(form, script, first);
      open(form, script, second);
      saveAs(form, script, saved + QStringLiteral("copie.bmp"));
      // The preview is turned on in the open dialog: it closes with its box checked.
      script.openReplies.push_back({true, mask_.toStdString(), true});
      child<QToolButton>(form, "BtnParcourir")->click();
      QVERIFY(previewFlag());
      child<QToolButton>(form, "BtnNegatif")->click();
      child<QToolButton>(form, "BtnRotation")->click();
      child<QToolButton>(form, "BtnRotation")->click();
      maskShown = form.MaskPicture();
      child<TColorEdit>(form, "ColorEdit")->setColor(colour);
      child<QComboBox>(form, "CmbFormat")->setCurrentIndex(1);
      child<QCheckBox>(form, "ChbFlou")->setChecked(true);
      child<QCheckBox>(form, "ChbBichromie")->setChecked(true);
      child<QRadioButton>(form, "RdbRepeter")->setChecked(true);
    }
    const QString ini = program + QStringLiteral("Vorlino.ini");
    QCOMPARE(iniValue(ini, "Params", "Ouvrir"), photos.toStdString());
    QCOMPARE(iniValue(ini, "Params", "Enregistrer"), saved.toStdString());
    QCOMPARE(iniValue(ini, "Params", "Agrandir"), std::string("1"));
    QCOMPARE(iniValue(ini, "Params", "Apercu"), std::string("1"));
    QCOMPARE(iniValue(ini, "Params", "Masque"), mask_.toStdString());
    QCOMPARE(iniValue(ini, "Params", "Couleur"), std::string("#00FF80"));
    QCOMPARE(iniValue(ini, "Params", "Negatif"), std::string("1"));
    QCOMPARE(iniValue(ini, "Params", "Angle"), std::string("180"));
    QCOMPARE(iniValue(ini, "Params", "Format"), std::string("1"));
    QCOMPARE(iniValue(ini, "Params", "Adoucir"), std::string("1"));
    QCOMPARE(iniValue(ini, "Params", "Bichromie"), std::string("1"));
    QCOMPARE(iniValue(ini, "Params", "Ajuster"), std::string("0"));
    QCOMPARE(iniValue(ini, "Fichiers", "Fichier1"), second.toStdString());
    QCOMPARE(iniValue(ini, "Fichiers", "Fichier2"), first.toStdString());
    QCOMPARE(iniValue(ini, "Fichiers", "Fichier3"), std::string("<missing>"));

    setPreviewFlag(false);
    {
      TMainForm form(nullptr, program);
      QVERIFY(form.windowState() & Qt::WindowMaximized);
      QCOMPARE(form.OpenFolder(), photos);
      QCOMPARE(form.SaveFolder(), saved);
      QVERIFY(previewFlag());
      QCOMPARE(form.MaskPath(), mask_);
      QVERIFY(form.Negative());
      QCOMPARE(form.MaskAngle(), 180);
      QVERIFY(form.MaskPicture() == maskShown);
      QCOMPARE(child<TColorEdit>(form, "ColorEdit")->color(), colour);
      QCOMPARE(child<QComboBox>(form, "CmbFormat")->currentIndex(), 1);
      QVERIFY(!child<TColorEdit>(form, "ColorEdit")->isEnabled());  // the format's own effect
      QVERIFY(child<QCheckBox>(form, "ChbFlou")->isChecked());
      QVERIFY(child<QCheckBox>(form, "ChbBichromie")->isChecked());
      QVERIFY(child<QRadioButton>(form, "RdbRepeter")->isChecked());
      QCOMPARE(form.RecentFiles(), QStringList({second, first}));
      QVERIFY(child<QToolButton>(form, "BtnNegatif")->isEnabled());
    }
    setPreviewFlag(previewBefore);
    QVERIFY(script.messages.empty());
  }

  void negativeAndAngleAreReplayedOnlyOnAMask() {
    ScriptedPrompts script;
    const QString program = newFolder("program");
    const QString ini = program + QStringLiteral("Vorlino.ini");
    auto writeIni = [&ini](const QString& mask, const char* angle) {
      QFile file(ini);
      QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
      file.write("[Params]\nMasque=" + mask.toUtf8() + "\nNegatif=1\nAngle=" + angle + "\n");
    };

    // The mask as the user would see it after loading it, inverting it and turning it clockwise.
    Bitmap expected;
    QVERIFY(decodeImageFile(mask_.toStdString(), expected).ok());
    expected.convertTo24();
    GreyBitmap(expected);
    InvertBitmap(expected);
    RotateQuarter(expected, true);

    writeIni(mask_, "90");
    {
      TMainForm form(nullptr, program);
      QVERIFY(form.Negative());
      QCOMPARE(form.MaskAngle(), 90);
      QVERIFY(form.MaskPicture() == expected);
      QCOMPARE(child<QWidget>(form, "ImgMasque")->size(), QSize(121, 121));
    }
    QCOMPARE(iniValue(ini, "Params", "Negatif"), std::string("1"));
    QCOMPARE(iniValue(ini, "Params", "Angle"), std::string("90"));

    // An angle that is not a quarter turn leaves the mask upright.
    writeIni(mask_, "45");
    {
      TMainForm form(nullptr, program);
      QCOMPARE(form.MaskAngle(), 0);
      QVERIFY(form.Negative());
    }
    QCOMPARE(iniValue(ini, "Params", "Angle"), std::string("0"));

    // Without the mask file both are ignored and written back as "0".
    writeIni(program + QStringLiteral("parti.bmp"), "270");
    {
      TMainForm form(nullptr, program);
      QVERIFY(form.MaskPicture().empty());
      QVERIFY(!form.Negative());
      QCOMPARE(form.MaskAngle(), 0);
    }
    QVERIFY(script.messages.empty());
    QCOMPARE(iniValue(ini, "Params", "Negatif"), std::string("0"));
    QCOMPARE(iniValue(ini, "Params", "Angle"), std::string("0"));
    QCOMPARE(iniValue(ini, "Params", "Masque"), std::string(""));
  }

  void aPreferencesFileThatCannotBeWrittenIsReported() {
    ScriptedPrompts script;
    const QString program = newFolder("program");
    const QString ini = program + QStringLiteral("Vorlino.ini");
    QVERIFY(QDir().mkpath(ini));  // a folder in the file's place: the write must fail
    { TMainForm form(nullptr, program); }
    QCOMPARE(script.messages.size(), size_t(1));
    QCOMPARE(script.messages[0].caption, std::string("Erreur"));
    QCOMPARE(QString::fromStdString(script.messages[0].text),
             QStringLiteral("Impossible d'écrire dans ") + ini);
  }

  // ---- recent files -----------------------------------------------------------------------------

  void fiveFilesThenReopenTheThird() {
    ScriptedPrompts script;
    const QString program = newFolder("program");
    const QString photos = newFolder("recent");
    QStringList names;
    for (int i = 1; i <= 5; ++i)
      names.append(
          WriteBmp(photos, QStringLiteral("image%1.bmp").arg(i), 10 + i, 10, qRgb(i, 0, 0)));
    {
      TMainForm form(nullptr, program);
      showForm(form);
      auto* menu = child<QMenu>(form, "MenuFichier");
      form.MenuFichierClick();
      QVERIFY(!child<QAction>(form, "MenuFichierSep")->isVisible());
      QVERIFY(!child<QAction>(form, "MenuFichier1")->isVisible());
      for (const QString& name : names) open(form, script, name);
      QCOMPARE(form.RecentFiles(), QStringList({names[4], names[3], names[2], names[1]}));
      emit menu->aboutToShow();
      QVERIFY(child<QAction>(form, "MenuFichierSep")->isVisible());
      for (const char* item : {"MenuFichier1", "MenuFichier2", "MenuFichier3", "MenuFichier4"})
        QVERIFY2(child<QAction>(form, item)->isVisible(), item);
      QCOMPARE(child<QAction>(form, "MenuFichier3")->text(), QStringLiteral("3 image3.bmp"));

      const size_t requests = script.openRequests.size();
      child<QAction>(form, "MenuFichier3")->trigger();
      QCOMPARE(script.openRequests.size(), requests);  // no dialog for a recent file
      QCOMPARE(form.CurrentFileName(), names[2]);
      QCOMPARE(form.WorkingBitmap().width(), 13);
      QCOMPARE(form.RecentFiles(), QStringList({names[2], names[4], names[3], names[1]}));

      // A file that can no longer be read is reported and keeps its place.
      vorlino::test::WriteDamaged(photos, QStringLiteral("image4.bmp"));
      emit menu->aboutToShow();
      child<QAction>(form, "MenuFichier3")->trigger();
      QCOMPARE(script.messages.size(), size_t(1));
      QVERIFY(script.messages[0].text.starts_with("Impossible d'ouvrir l'image dans le fichier"));
      QCOMPARE(form.CurrentFileName(), names[2]);
      QCOMPARE(form.RecentFiles(), QStringList({names[2], names[4], names[3], names[1]}));
    }
    TMainForm restarted(nullptr, program);
    QCOMPARE(restarted.RecentFiles(), QStringList({names[2], names[4], names[3], names[1]}));
  }

  void recentCaptionsAreShortenedToThirtyCharacters() {
    ScriptedPrompts script;
    const QString photos = newFolder("long");
    const QString longName = QStringLiteral("abcdefghij0123456789ABCDEFGHIJ_klmno.bmp");  // 40
    QCOMPARE(longName.size(), 40);
    const QString ampersand = QStringLiteral("Noir & blanc.bmp");
    TMainForm form(nullptr, newFolder("program"));
    showForm(form);
    open(form, script, WriteBmp(photos, longName, 8, 8, qRgb(1, 2, 3)));
    open(form, script, WriteBmp(photos, ampersand, 8, 8, qRgb(1, 2, 3)));
    QCOMPARE(form.RecentFileCaption(1), QStringLiteral("2 abcdefghij0123456789ABCDEFGHIJ..."));
    QCOMPARE(form.RecentFileCaption(0), QStringLiteral("1 Noir & blanc.bmp"));
    form.MenuFichierClick();
    // Shown as a letter, not taken as the item's access key.
    QCOMPARE(child<QAction>(form, "MenuFichier1")->text(), QStringLiteral("1 Noir && blanc.bmp"));
  }

  // ---- save as ----------------------------------------------------------------------------------

  void transparentResultIsProposedAsGifAndWrittenWithAPalette() {
    ScriptedPrompts script;
    const QString program = newFolder("program");
    TMainForm form(nullptr, program);
    showForm(form);
    open(form, script, photo_);
    loadMask(form, script, mask_);
    child<QComboBox>(form, "CmbFormat")->setCurrentIndex(1);
    apply(form);
    QVERIFY(form.WorkingBitmap().Transparent);
    const Bitmap working = form.WorkingBitmap();

    const QString target =
        newFolder("out") + QStringLiteral("cadre.bmp");  // any type the user picks
    saveAs(form, script, target);
    QCOMPARE(script.saveRequests.size(), size_t(1));
    // The save folder starts as the open folder; the name comes with ".gif", shown without it.
    QCOMPARE(QString::fromStdString(script.saveRequests[0].proposedName),
             dir_.path() + QStringLiteral("/photo"));
    QCOMPARE(script.saveRequests[0].filterIndex, 3);  // "Image GIF"
    QVERIFY(script.messages.empty());

    Bitmap written;
    QVERIFY(decodeImageFile(target.toStdString(), written).ok());
    QCOMPARE(written.width(), 300);
    std::set<Color> colours;
    for (int y = 0; y < written.height(); ++y)
      for (int x = 0; x < written.width(); ++x) colours.insert(written.pixel(x, y));
    QVERIFY(colours.size() <= 256);
    QVERIFY(colours.count(0xDCEDCE) == 1);  // the key colour is kept
    // The working bitmap itself is neither reduced nor converted.
    QVERIFY(form.WorkingBitmap() == working);
    QVERIFY(form.WorkingBitmap().Transparent);
    QCOMPARE(form.CurrentFileName(), target);
    QCOMPARE(form.SaveFolder(), QFileInfo(target).absolutePath() + QLatin1Char('/'));
    QCOMPARE(status(form, 2), target);
    QCOMPARE(form.ModificationCount(), 0);
    QVERIFY(!form.RecentFiles().contains(target));  // a saved file is not a recent one
  }

  // The real save dialog: a name typed without extension takes the one of the type shown.
  void saveDialogWritesTheTypeItShows() {
    QCOMPARE(SuffixOfNameFilter(QStringLiteral("Image JPEG (*.jpg *.jpeg *.jpe)")),
             QStringLiteral("jpg"));
    QVERIFY(SuffixOfNameFilter(QStringLiteral("Tous (*)")).isEmpty());

    QtPrompts real;
    Prompts* previous = setPrompts(&real);
    TMainForm form(nullptr, newFolder("program"));
    showForm(form);
    form.SetCommandLineFile(photo_);
    form.OpenCommandLineFile();
    form.LoadMask(mask_);
    child<QComboBox>(form, "CmbFormat")->setCurrentIndex(1);
    apply(form);
    const QString out = newFolder("out");

    // Answers the dialog once it is up: optionally picks another type, then saves "sortie".
    auto answer = [&out](const QString& type) {
      QTimer::singleShot(0, [&out, type] {
        QFileDialog* dialog = nullptr;
        for (QWidget* window : QApplication::topLevelWidgets())
          if (auto* found = qobject_cast<QFileDialog*>(window); found && found->isVisible())
            dialog = found;
        if (dialog == nullptr) qFatal("the save dialog is not shown");
        if (!type.isEmpty()) {
          auto* types = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
          const int row = types ? types->findText(type, Qt::MatchStartsWith) : -1;
          if (row < 0) {  // the checks after the save then fail; the dialog must not stay up
            static_cast<QDialog*>(dialog)->reject();
            return;
          }
          types->setCurrentIndex(row);
          emit types->activated(row);  // what the list sends for the user's choice
          emit types->textActivated(types->itemText(row));
        }
        dialog->setDirectory(out);
        dialog->selectFile(QStringLiteral("sortie"));
        static_cast<QDialog*>(dialog)->accept();  // "Enregistrer"
      });
    };
    answer(QString());
    child<QToolButton>(form, "BtnSauver")->click();
    QCOMPARE(form.CurrentFileName(), out + QStringLiteral("sortie.gif"));
    QVERIFY(QFile::exists(out + QStringLiteral("sortie.gif")));

    apply(form);
    answer(QStringLiteral("Image PNG"));
    child<QToolButton>(form, "BtnSauver")->click();
    QCOMPARE(form.CurrentFileName(), out + QStringLiteral("sortie.png"));
    QVERIFY(QFile::exists(out + QStringLiteral("sortie.png")));
    setPrompts(previous);
  }

  void savingAfterTwoApplicationsLeavesOneUndoToTheOriginal() {
    ScriptedPrompts script;
    TMainForm form(nullptr, newFolder("program"));
    editedDocument(form, script);
    const Bitmap afterFirst = form.WorkingBitmap();
    child<QComboBox>(form, "CmbFormat")->setCurrentIndex(1);
    apply(form);
    QCOMPARE(form.ModificationCount(), 2);
    saveAs(form, script, newFolder("out") + QStringLiteral("deux.png"));
    QCOMPARE(form.ModificationCount(), 0);
    QCOMPARE(status(form, 0), QStringLiteral(" Prêt"));
    QVERIFY(QApplication::overrideCursor() == nullptr);
    auto* undo = child<QToolButton>(form, "BtnUndo");
    QVERIFY(undo->isEnabled());
    undo->click();
    Bitmap original;
    QVERIFY(decodeImageFile(photo_.toStdString(), original).ok());
    original.convertTo24();
    QVERIFY(form.WorkingBitmap() == original);
    QVERIFY(!(form.WorkingBitmap() == afterFirst));
    QVERIFY(!undo->isEnabled());
    QCOMPARE(form.ModificationCount(), -1);
  }

  void anUnknownExtensionFailsAndChangesNothing() {
    ScriptedPrompts script;
    TMainForm form(nullptr, newFolder("program"));
    editedDocument(form, script);
    const Bitmap before = form.WorkingBitmap();
    const QString target = newFolder("out") + QStringLiteral("image.xyz");
    saveAs(form, script, target);
    QCOMPARE(script.messages.size(), size_t(1));
    QCOMPARE(QString::fromStdString(script.messages[0].text),
             QStringLiteral("Impossible d'enregistrer l'image dans le fichier \"%1\"\r"
                            "car le format n'est pas reconnu !")
                 .arg(target));
    QVERIFY(!QFile::exists(target));
    QCOMPARE(form.ModificationCount(), 1);
    QCOMPARE(form.CurrentFileName(), photo_);
    QVERIFY(form.WorkingBitmap() == before);
    QCOMPARE(child<QToolButton>(form, "BtnUndo")->toolTip(), QStringLiteral("Annuler Masque"));
    QCOMPARE(status(form, 0), QStringLiteral(" Prêt"));
    QVERIFY(QApplication::overrideCursor() == nullptr);
  }

  void jpegQuestionCancelledThenRemembered() {
    ScriptedPrompts script;
    TMainForm form(nullptr, newFolder("program"));
    editedDocument(form, script);
    const QString out = newFolder("out");

    {  // Another type does not ask.
      ModalScript user([](QDialog&) {});
      saveAs(form, script, out + QStringLiteral("sans-question.png"));
      QCOMPARE(user.shown, 0);
      QVERIFY(QFile::exists(out + QStringLiteral("sans-question.png")));
    }
    apply(form);
    {  // Cancelled: no file, no message, nothing changes.
      ModalScript user([](QDialog& dialog) {
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Compression JPEG "));
        QVERIFY(QApplication::overrideCursor() == nullptr ||
                QApplication::overrideCursor()->shape() == Qt::ArrowCursor);
        child<QPushButton>(dialog, "BAnnuler")->click();
      });
      saveAs(form, script, out + QStringLiteral("annule.jpg"));
      QCOMPARE(user.shown, 1);
      QVERIFY(!QFile::exists(out + QStringLiteral("annule.jpg")));
      QVERIFY(script.messages.empty());
      QCOMPARE(form.ModificationCount(), 1);
      QCOMPARE(form.CurrentFileName(), out + QStringLiteral("sans-question.png"));
    }
    {  // Position 12 and "Format progressif": quality 60, progressive.
      ModalScript user([](QDialog& dialog) {
        child<QSlider>(dialog, "TBN")->setValue(12);
        QCOMPARE(child<QLabel>(dialog, "LblN")->text(), QStringLiteral("Compression : 60"));
        child<QRadioButton>(dialog, "RBProgressif")->setChecked(true);
        child<QPushButton>(dialog, "BOk")->click();
      });
      saveAs(form, script, out + QStringLiteral("progressif.jpg"));
      QCOMPARE(user.shown, 1);
    }
    ByteWriter expected;
    QVERIFY(WriteJpeg(form.WorkingBitmap(), expected, JpegOptions{60, true}).ok());
    const QByteArray written = fileBytes(out + QStringLiteral("progressif.jpg"));
    QCOMPARE(written, QByteArray(reinterpret_cast<const char*>(expected.bytes().data()),
                                 qsizetype(expected.bytes().size())));
    QCOMPARE(form.ModificationCount(), 0);
    {  // The next JPEG save opens on the same choices.
      ModalScript user([](QDialog& dialog) {
        QCOMPARE(child<QSlider>(dialog, "TBN")->value(), 12);
        QVERIFY(child<QRadioButton>(dialog, "RBProgressif")->isChecked());
        QCOMPARE(child<QLabel>(dialog, "LblN")->text(), QStringLiteral("Compression : 60"));
        child<QPushButton>(dialog, "BOk")->click();
      });
      saveAs(form, script, out + QStringLiteral("encore.jpg"));
      QCOMPARE(user.shown, 1);
      QVERIFY(QFile::exists(out + QStringLiteral("encore.jpg")));
    }
  }

  // WebP asks the same question and is written lossy at its quality; cancelling writes nothing.
  void webpIsSavedAtTheQualityOfTheJpegQuestion() {
    ScriptedPrompts script;
    TMainForm form(nullptr, newFolder("program"));
    editedDocument(form, script);
    const QString out = newFolder("out");
    {
      ModalScript user([](QDialog& dialog) { child<QPushButton>(dialog, "BAnnuler")->click(); });
      saveAs(form, script, out + QStringLiteral("annule.webp"));
      QCOMPARE(user.shown, 1);
      QVERIFY(!QFile::exists(out + QStringLiteral("annule.webp")));
    }
    {
      ModalScript user([](QDialog& dialog) {
        child<QSlider>(dialog, "TBN")->setValue(4);
        child<QPushButton>(dialog, "BOk")->click();
      });
      saveAs(form, script, out + QStringLiteral("photo.webp"));
      QCOMPARE(user.shown, 1);
    }
    QVERIFY(script.messages.empty());
    ByteWriter expected;
    QVERIFY(WriteWebp(form.WorkingBitmap(), expected, WebpOptions{20}).ok());
    QCOMPARE(fileBytes(out + QStringLiteral("photo.webp")),
             QByteArray(reinterpret_cast<const char*>(expected.bytes().data()),
                        qsizetype(expected.bytes().size())));
    QCOMPARE(form.ModificationCount(), 0);
  }

  // ---- the save question
  // --------------------------------------------------------------------------

  void yesKeepsEverythingUnlessTheSaveHappened() {
    ScriptedPrompts script;
    TMainForm form(nullptr, newFolder("program"));
    editedDocument(form, script);
    const Bitmap edited = form.WorkingBitmap();

    // "&Oui", then the save dialog cancelled: the window stays, the image too.
    script.answers.push_back(MessageResult::mrYes);
    QVERIFY(!form.close());
    QVERIFY(form.isVisible());
    QCOMPARE(script.saveRequests.size(), size_t(1));
    QCOMPARE(form.ModificationCount(), 1);

    // "&Oui" before opening another image, then a failed save: the edited image stays.
    script.answers.push_back(MessageResult::mrYes);
    script.saveReplies.push_back(
        {true, (dir_.path() + QStringLiteral("/x.inconnu")).toStdString()});
    const size_t openRequests = script.openRequests.size();
    child<QAction>(form, "MenuFichierOuvrir")->trigger();
    QCOMPARE(script.openRequests.size(), openRequests);  // the open dialog never came
    QVERIFY(form.WorkingBitmap() == edited);
    QCOMPARE(form.ModificationCount(), 1);
    QVERIFY(child<QToolButton>(form, "BtnUndo")->isEnabled());

    // "&Oui" and a save that succeeds: the window closes.
    script.answers.push_back(MessageResult::mrYes);
    const QString target = newFolder("out") + QStringLiteral("fini.bmp");
    script.saveReplies.push_back({true, target.toStdString()});
    QVERIFY(form.close());
    QVERIFY(QFile::exists(target));
  }

  void quitClosesThroughTheQuestion() {
    ScriptedPrompts script;
    TMainForm form(nullptr, newFolder("program"));
    editedDocument(form, script);
    script.answers.push_back(MessageResult::mrCancel);
    child<QAction>(form, "MenuFichierQuitter")->trigger();
    QVERIFY(form.isVisible());
    script.answers.push_back(MessageResult::mrNo);
    child<QAction>(form, "MenuFichierQuitter")->trigger();
    QVERIFY(!form.isVisible());
  }

  // ---- clipboard --------------------------------------------------------------------------------

  // Also run on a real X11 display (see the ctest entry that uses xvfb-run).
  void clipboardCopyAndPaste() {
    ScriptedPrompts script;
    TMainForm source(nullptr, newFolder("program"));
    editedDocument(source, script);
    child<QAction>(source, "MenuEditionCopier")->trigger();
    QTRY_VERIFY(!QApplication::clipboard()->image().isNull());
    const QImage copied = QApplication::clipboard()->image();
    QCOMPARE(copied.size(), QSize(300, 200));
    const Bitmap& working = source.WorkingBitmap();
    for (const QPoint p : {QPoint(0, 0), QPoint(5, 5), QPoint(150, 100), QPoint(299, 199)}) {
      const Color c = working.pixel(p.x(), p.y());
      QCOMPARE(copied.pixel(p) & 0xFFFFFF, qRgb(redOf(c), greenOf(c), blueOf(c)) & 0xFFFFFF);
    }

    TMainForm target(nullptr, newFolder("program"));
    showForm(target);
    auto* zoom = child<QComboBox>(target, "CmbZoom");
    open(target, script, WriteBmp(dir_.path(), "petite.bmp", 20, 10, qRgb(9, 9, 9)));
    zoom->setCurrentIndex(3);  // "200%": kept by the paste
    target.CmbZoomChange();
    target.MenuEditionClick();
    QVERIFY(child<QAction>(target, "MenuEditionColler")->isEnabled());
    child<QAction>(target, "MenuEditionColler")->trigger();
    QVERIFY(script.messages.empty());  // nothing to save: no question
    QVERIFY(target.WorkingBitmap() == working);
    QCOMPARE(target.WorkingBitmap().bitsPerPixel(), 24);
    QVERIFY(!target.WorkingBitmap().Transparent);
    QCOMPARE(target.CurrentFileName(), QStringLiteral("Sans titre"));
    QCOMPARE(status(target, 2), QStringLiteral("Sans titre"));
    QCOMPARE(status(target, 1), QStringLiteral("300 x 200"));
    QCOMPARE(target.ModificationCount(), 1);
    QVERIFY(!child<QToolButton>(target, "BtnUndo")->isEnabled());
    QCOMPARE(zoom->currentText(), QStringLiteral("200%"));
    QCOMPARE(target.ImageView()->GetZoom(), 2.0);

    // The pasted picture is proposed as "Sans titre" in the save folder.
    const QString out = newFolder("out");
    saveAs(target, script, out + QStringLiteral("colle.bmp"));
    QCOMPARE(QString::fromStdString(script.saveRequests.back().proposedName),
             dir_.path() + QStringLiteral("/Sans titre"));
    QCOMPARE(target.ModificationCount(), 0);
  }

  void pasteAsksFirstAndLaysTranslucencyOverWhite() {
    ScriptedPrompts script;
    TMainForm form(nullptr, newFolder("program"));
    editedDocument(form, script);
    const Bitmap edited = form.WorkingBitmap();
    QImage picture(4, 2, QImage::Format_ARGB32);
    picture.fill(qRgba(255, 0, 0, 255));
    picture.setPixel(1, 0, qRgba(0, 0, 0, 0));  // fully transparent
    QApplication::clipboard()->setImage(picture);

    script.answers.push_back(MessageResult::mrCancel);
    child<QAction>(form, "MenuEditionColler")->trigger();
    QCOMPARE(script.messages.size(), size_t(1));
    QVERIFY(form.WorkingBitmap() == edited);
    QCOMPARE(form.CurrentFileName(), photo_);

    script.answers.push_back(MessageResult::mrNo);
    child<QAction>(form, "MenuEditionColler")->trigger();
    QCOMPARE(form.WorkingBitmap().width(), 4);
    QCOMPARE(form.WorkingBitmap().pixel(0, 0), Color(0x0000FF));
    QCOMPARE(form.WorkingBitmap().pixel(1, 0), kWhite);
  }

  // ---- dialogs ----------------------------------------------------------------------------------

  void imageSizeDialogResizesAndUndoRestores() {
    ScriptedPrompts script;
    TMainForm form(nullptr, newFolder("program"));
    showForm(form);
    open(form, script, photo_);
    const Bitmap original = form.WorkingBitmap();
    {
      ModalScript user([](QDialog& dialog) {
        auto& redim = static_cast<TRedimForm&>(dialog);
        QCOMPARE(redim.EdiL->text(), QStringLiteral("300"));
        redim.EdiL->setFocus();
        redim.EdiL->selectAll();
        QTest::keyClicks(redim.EdiL, QStringLiteral("150"));
        QCOMPARE(redim.EdiH->text(), QStringLiteral("100"));
        redim.BOk->click();
      });
      child<QToolButton>(form, "BtnRedim")->click();
      QCOMPARE(user.titles, QStringList{QStringLiteral("Taille de l'image")});
    }
    QCOMPARE(form.WorkingBitmap().width(), 150);
    QCOMPARE(form.WorkingBitmap().height(), 100);
    QCOMPARE(status(form, 1), QStringLiteral("150 x 100"));
    QCOMPARE(form.ModificationCount(), 1);
    QCOMPARE(child<QToolButton>(form, "BtnUndo")->toolTip(),
             QStringLiteral("Annuler Taille de l'image"));
    QCOMPARE(form.ImageView()->Zoomer().DrawnWidth(), 150);  // the view follows the new size

    child<QToolButton>(form, "BtnUndo")->click();
    QVERIFY(form.WorkingBitmap() == original);
    QCOMPARE(status(form, 1), QStringLiteral("300 x 200"));
    QCOMPARE(form.ModificationCount(), 0);

    {  // Cancelled: nothing recorded.
      ModalScript user([](QDialog& dialog) { static_cast<TRedimForm&>(dialog).BAnnuler->click(); });
      child<QAction>(form, "MenuActionRedim")->trigger();
      QCOMPARE(user.shown, 1);
    }
    QVERIFY(form.WorkingBitmap() == original);
    QCOMPARE(form.ModificationCount(), 0);
  }

  void printingGoesThroughTheLayoutDialog() {
    ScriptedPrompts script;
    TMainForm form(nullptr, newFolder("program"));
    showForm(form);
    open(form, script, photo_);
    TImprForm& layout = *form.ImprForm();
    layout.SetPrinter(TImprForm::MakePdfPrinter());
    const QString pdf = newFolder("pdf") + QStringLiteral("photo.pdf");
    script.saveReplies.push_back({true, pdf.toStdString()});
    bool shown = false;
    QTimer::singleShot(0, &layout, [&layout, &shown] {
      shown = layout.isVisible();
      layout.BImprimer->click();
    });
    emit child<QShortcut>(form, "MenuFichierImprimerShortcut")->activated();  // Ctrl+P
    QVERIFY(shown);
    QVERIFY(fileBytes(pdf).startsWith("%PDF"));
    QVERIFY(script.messages.empty());
    QCOMPARE(status(form, 0), QStringLiteral(" Prêt"));
    QVERIFY(QApplication::overrideCursor() == nullptr);
    QVERIFY(!form.AnnulerForm()->isVisible());
    QCOMPARE(form.ModificationCount(), 0);  // printing changes nothing
  }

  void dialogsAreMadeOnceAndTheAboutBoxShows() {
    ScriptedPrompts script;
    TMainForm form(nullptr, newFolder("program"));
    // Made after the window's own controls, in start-up order, and kept.
    QStringList made;
    for (QObject* object : form.children())
      if (object->isWidgetType() && static_cast<QWidget*>(object)->isWindow())
        made.append(object->objectName());
    QCOMPARE(made, QStringList(
                       {"ImprForm", "AnnulerForm", "AProposForm", "JPGCompressForm", "RedimForm"}));
    QVERIFY(form.findChild<QObject*>("ImprForm") == reinterpret_cast<QObject*>(form.ImprForm()));

    showForm(form);
    ModalScript user([](QDialog& dialog) { child<QPushButton>(dialog, "BOk")->click(); });
    child<QAction>(form, "MenuApropos")->trigger();
    child<QAction>(form, "MenuApropos")->trigger();
    QCOMPARE(user.titles, QStringList({QStringLiteral("A propos de Vorlino"),
                                       QStringLiteral("A propos de Vorlino")}));
  }
};

QTEST_MAIN(TestDocuments)
#include "test_documents.moc"
