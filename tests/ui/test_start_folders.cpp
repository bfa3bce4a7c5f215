// Where the open and save dialogs start for an installed copy, whose folder is not writable, and
// for a portable one.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>
#include <utility>

#include "../core/scripted_prompts.h"
#include "app/file_names.h"
#include "app/main_form.h"
#include "settings/ini_file.h"
#include "ui_test_files.h"
#include "window_test_support.h"

using namespace vorlino;
using namespace vorlino::test;

class TestStartFolders : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir dir_;
  QString photo_;
  int folders_ = 0;

  QString newFolder(const char* stem) {
    const QString folder = dir_.filePath(QStringLiteral("%1%2/").arg(stem).arg(++folders_));
    QDir().mkpath(folder);
    return folder;
  }

 private slots:
  void initTestCase() {
    QVERIFY(dir_.isValid());
    photo_ = WriteBmp(dir_.path(), "photo.bmp", 30, 20, qRgb(90, 120, 150));
  }

  // An installed copy cannot write to its folder: while no folder is remembered, the open dialog
  // starts in the user's Pictures folder (else the home folder), and a photo named on the command
  // line is saved beside itself. Remembered folders still win; a portable copy keeps its folder.
  void installedCopyOpensAndSavesInTheUsersFolders() {
    struct Environment {
      QByteArray home = qgetenv("HOME"), config = qgetenv("XDG_CONFIG_HOME");
      ~Environment() {
        qputenv("HOME", home);
        qputenv("XDG_CONFIG_HOME", config);
        SetProgramFolderWritableCheck(nullptr);
      }
    } restore;
    const QString home = newFolder("home");
    const QString pictures = home + QStringLiteral("Pictures/");
    QVERIFY(QDir().mkpath(pictures));
    qputenv("HOME", QFile::encodeName(home.chopped(1)));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home + QStringLiteral(".config")));
    SetProgramFolderWritableCheck([](const QString&) { return false; });

    // The dialogs of the photo named on the command line.
    auto dialogFolders = [this](TMainForm& form, ScriptedPrompts& script) {
      form.SetCommandLineFile(photo_);
      showForm(form);  // the first paint opens it
      QTest::qWaitFor([&] { return form.CurrentFileName() == photo_; });
      script.saveReplies.push_back({false, {}});
      QTest::mouseClick(child<QToolButton>(form, "BtnSauver"), Qt::LeftButton);
      script.openReplies.push_back({false, {}, false});
      QTest::mouseClick(child<QToolButton>(form, "BtnOuvrir"), Qt::LeftButton);
      return std::make_pair(QString::fromStdString(script.saveRequests.at(0).proposedName),
                            QString::fromStdString(script.openRequests.at(0).folder));
    };
    const QString besidePhoto = QFileInfo(photo_).absolutePath() + QStringLiteral("/photo");
    const QString program = newFolder("installed");
    {
      ScriptedPrompts script;
      TMainForm form(nullptr, program);
      QCOMPARE(form.OpenFolder(), pictures);
      QCOMPARE(dialogFolders(form, script), std::make_pair(besidePhoto, pictures));
    }
    {
      QVERIFY(QDir(pictures).removeRecursively());
      TMainForm form(nullptr, newFolder("installed"));
      QCOMPARE(form.OpenFolder(), home);
    }
    {
      // The folders remembered by the last exit of the copy above.
      ScriptedPrompts script;
      const QString saved = newFolder("saved");
      IniFile file;
      QVERIFY(file.load((program + QStringLiteral("Vorlino.ini")).toStdString()));
      file.writeString("Params", "Ouvrir", dir_.path().toStdString());
      file.writeString("Params", "Enregistrer", saved.toStdString());
      QVERIFY(file.save((program + QStringLiteral("Vorlino.ini")).toStdString()).ok());
      TMainForm form(nullptr, program);
      QCOMPARE(dialogFolders(form, script),
               std::make_pair(saved + QStringLiteral("photo"), dir_.path()));
    }
    {
      ScriptedPrompts script;
      SetProgramFolderWritableCheck([](const QString&) { return true; });
      const QString portable = newFolder("portable");
      TMainForm form(nullptr, portable);
      QCOMPARE(dialogFolders(form, script),
               std::make_pair(portable + QStringLiteral("photo"), portable));
    }
  }
};

QTEST_MAIN(TestStartFolders)
#include "test_start_folders.moc"
