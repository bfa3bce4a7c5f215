// The Qt message boxes, the general error report and the file-name helpers of the main window.
#include <QFile>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>
#include <new>
#include <stdexcept>

#include "../core/scripted_prompts.h"
#include "app/error_report.h"
#include "app/file_names.h"
#include "app/french_texts.h"
#include "app/qt_prompts.h"

using namespace vorlino;
using vorlino::test::ScriptedPrompts;

class TestPromptsAndErrors : public QObject {
  Q_OBJECT

 private:
  static QStringList buttonTexts(const QMessageBox& box) {
    QStringList texts;
    for (QAbstractButton* b : box.buttons()) texts << b->text();
    texts.sort();
    return texts;
  }

 private slots:
  void messageBoxesSpeakFrench() {
    auto box = MakeMessageBox(MessageKind::mkConfirmation, "Confirmation", "Question ?",
                              MessageButtons::mbYesNoCancel);
    QCOMPARE(box->windowTitle(), QStringLiteral("Confirmation"));
    QCOMPARE(box->icon(), QMessageBox::Question);
    QCOMPARE(buttonTexts(*box), QStringList({"&Non", "&Oui", "Annuler"}));
    QCOMPARE(box->escapeButton()->text(), QStringLiteral("Annuler"));
    QCOMPARE(MakeMessageBox(MessageKind::mkError, "Erreur", "x", MessageButtons::mbOk)->icon(),
             QMessageBox::Critical);
    QCOMPARE(
        MakeMessageBox(MessageKind::mkWarning, "Avertissement", "x", MessageButtons::mbOk)->icon(),
        QMessageBox::Warning);
    auto ok = MakeMessageBox(MessageKind::mkInformation, "Information", "x", MessageButtons::mbOk);
    QCOMPARE(ok->icon(), QMessageBox::Information);
    QCOMPARE(buttonTexts(*ok), QStringList({"OK"}));
  }

  void answersFollowTheClickedButton() {
    for (const auto& [text, expected] :
         {std::pair{"&Oui", MessageResult::mrYes}, std::pair{"&Non", MessageResult::mrNo},
          std::pair{"Annuler", MessageResult::mrCancel}}) {
      auto box = MakeMessageBox(MessageKind::mkConfirmation, "Confirmation", "?",
                                MessageButtons::mbYesNoCancel);
      box->show();
      for (QAbstractButton* b : box->buttons()) {
        if (b->text() == QLatin1String(text)) b->click();
      }
      QVERIFY(MessageBoxResult(*box, MessageButtons::mbYesNoCancel) == expected);
    }
    // Closed without a choice: cancel where there is one, OK for a lone OK.
    auto box = MakeMessageBox(MessageKind::mkConfirmation, "Confirmation", "?",
                              MessageButtons::mbYesNoCancel);
    QVERIFY(MessageBoxResult(*box, MessageButtons::mbYesNoCancel) == MessageResult::mrCancel);
    auto ok = MakeMessageBox(MessageKind::mkError, "Vorlino", "x", MessageButtons::mbOk);
    QVERIFY(MessageBoxResult(*ok, MessageButtons::mbOk) == MessageResult::mrOk);
  }

  void qtOwnTextsSpeakFrench() {
    // The table of what Qt's own translations lack; Qt's are checked with the dialogs.
    TFrenchQtTexts french;
    QCoreApplication::installTranslator(&french);
    QCOMPARE(QCoreApplication::translate("QAbstractFileIconProvider", "Folder"),
             QStringLiteral("Dossier"));
    QCOMPARE(QCoreApplication::translate("QAbstractFileIconProvider", "%1 File"),
             QStringLiteral("Fichier %1"));
    QCOMPARE(QCoreApplication::translate("QFileDialog", "Not a known text"),
             QStringLiteral("Not a known text"));
    QCoreApplication::removeTranslator(&french);
  }

  void errorReportAddsAFullStop() {
    QCOMPARE(ErrorReportText("Disque plein"), std::string("Disque plein."));
    QCOMPARE(ErrorReportText("Disque plein."), std::string("Disque plein."));
    QCOMPARE(ErrorReportText(""), std::string("."));

    ScriptedPrompts script;
    RunCommand([] { throw std::runtime_error("Disque plein"); });
    RunCommand([] { throw std::bad_alloc(); });
    RunCommand([] { throw 42; });
    bool ran = false;
    RunCommand([&ran] { ran = true; });
    QVERIFY(ran);
    QCOMPARE(script.messages.size(), size_t(3));
    for (const auto& m : script.messages) {
      QCOMPARE(m.caption, std::string("Vorlino"));
      QVERIFY(m.kind == MessageKind::mkError);
      QVERIFY(m.buttons == MessageButtons::mbOk);
    }
    QCOMPARE(script.messages[0].text, std::string("Disque plein."));
    QCOMPARE(script.messages[1].text, std::string("Mémoire insuffisante pour cette opération."));
    QCOMPARE(script.messages[2].text, std::string("Erreur inconnue."));
  }

  void exactFileNameFindsTheDiskSpelling() {
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("Photo.JPG")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    const QString folder = dir.path() + QLatin1Char('/');
    QCOMPARE(ExactFileName(folder + "photo.jpg"), folder + "Photo.JPG");
    QCOMPARE(ExactFileName(folder + "Photo.JPG"), folder + "Photo.JPG");
    QCOMPARE(ExactFileName(folder + "autre.jpg"), folder + "autre.jpg");
    QCOMPARE(ExactFileName(folder + "absent/photo.jpg"), folder + "absent/photo.jpg");
  }

  void namesAndFolders() {
    QCOMPARE(FolderPart("/photos/a.jpg"), QStringLiteral("/photos/"));
    QCOMPARE(FolderPart("a.jpg"), QString());
    QCOMPARE(NameWithoutFolderAndExtension("/masques/cadre.bmp"), QStringLiteral("cadre"));
    QCOMPARE(NameWithoutFolderAndExtension("/m.d/cadre.ancien.png"),
             QStringLiteral("cadre.ancien"));
    QCOMPARE(NameWithoutFolderAndExtension("/m.d/cadre"), QStringLiteral("cadre"));

    // The save dialog's suggestion: the name placed in the save folder.
    QCOMPARE(PathInFolder("/photos/a.jpg", "/sauve/"), QStringLiteral("/sauve/a.jpg"));
    QCOMPARE(PathInFolder("/photos/a.jpg", "/sauve"), QStringLiteral("/sauve/a.jpg"));
    QCOMPARE(PathInFolder("/photos/a.jpg", ""), QStringLiteral("a.jpg"));
    QCOMPARE(PathInFolder("Sans titre", "/sauve/"), QStringLiteral("/sauve/Sans titre"));
    QCOMPARE(PathInFolder("", "/sauve/"), QString());

    // Shortened by characters: a letter outside the basic plane counts once and is never split.
    QCOMPARE(ShortenText("abcdef", 6), QStringLiteral("abcdef"));
    QCOMPARE(ShortenText("abcdefg", 6), QStringLiteral("abcdef..."));
    const QString wide = QString::fromUtf8("ab\U0001F4F7cdef");  // 7 characters, 8 UTF-16 units
    QCOMPARE(ShortenText(wide, 7), wide);
    QCOMPARE(ShortenText(wide, 3), QString::fromUtf8("ab\U0001F4F7..."));
  }
};

QTEST_MAIN(TestPromptsAndErrors)
#include "test_prompts_and_errors.moc"
