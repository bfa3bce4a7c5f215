// The gallery of masks on the real window: a click and Enter load a mask exactly as the browse
// button does (same preference, same message for a bad file), the arrow keys move through it, the
// "Edition" menu closes and reopens it, and dropped pictures are copied into the user's folder.
// XDG_DATA_HOME and XDG_CACHE_HOME point into a temporary folder.
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QListWidget>
#include <QMimeData>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QToolButton>
#include <QUrl>
#include <QtTest>

#include "../core/scripted_prompts.h"
#include "app/main_form.h"
#include "app/mask_gallery.h"
#include "settings/ini_file.h"
#include "ui_test_files.h"

using namespace vorlino;
using vorlino::test::ScriptedPrompts;
using vorlino::test::WriteBmp;

class TestMaskGallery : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir dir_;
  QString program_;  // a program folder with "Masques": a.bmp (readable), b.bmp (damaged)
  QString good_;
  QString bad_;
  int programs_ = 0;

  QString userMasks() const { return dir_.filePath(QStringLiteral("data/vorlino/Masques/")); }

  // A copy of the program folder with its masks, so that each window has its own preferences.
  QString newProgram() {
    const QString folder = dir_.filePath(QStringLiteral("program%1/").arg(++programs_));
    QDir().mkpath(folder + QStringLiteral("Masques"));
    QFile::copy(good_, folder + QStringLiteral("Masques/a.bmp"));
    QFile::copy(bad_, folder + QStringLiteral("Masques/b.bmp"));
    return folder;
  }

  static QListWidget* listOf(TMainForm& form) {
    auto* list = form.findChild<QListWidget*>(QStringLiteral("LstMasques"));
    if (list == nullptr) qFatal("no gallery list");
    return list;
  }

  static void show(TMainForm& form) {
    form.resize(1000, 700);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
  }

  static void clickItem(QListWidget* list, int row) {
    const QRect rect = list->visualItemRect(list->item(row));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, rect.center());
  }

  static std::string iniValue(const QString& path, const char* key) {
    IniFile file;
    if (!file.load(path.toStdString())) return "<no file>";
    return file.readString("Params", key, "<missing>");
  }

 private slots:
  void initTestCase() {
    QVERIFY(dir_.isValid());
    qputenv("XDG_DATA_HOME", dir_.filePath(QStringLiteral("data")).toUtf8());
    qputenv("XDG_CACHE_HOME", dir_.filePath(QStringLiteral("cache")).toUtf8());
    good_ = WriteBmp(dir_.path(), "a.bmp", 40, 30,
                     [](int x, int) { return x < 20 ? qRgb(0, 0, 0) : qRgb(255, 255, 255); });
    bad_ = test::WriteDamaged(dir_.path(), "b.bmp");
  }

  void clickAndEnterLoadAsTheBrowseButtonDoes() {
    const QString program = newProgram();
    const QString masks = program + QStringLiteral("Masques/");
    ScriptedPrompts script;
    std::vector<ScriptedPrompts::Message> browseMessages;
    {
      TMainForm form(nullptr, program);
      show(form);
      QListWidget* list = listOf(form);
      QTRY_COMPARE(list->count(), 2);
      QCOMPARE(list->item(0)->text(), QStringLiteral("a"));
      QCOMPARE(list->item(1)->text(), QStringLiteral("b"));

      // The damaged file through the browse button, for the message to compare with.
      script.openReplies.push_back({true, (masks + QStringLiteral("b.bmp")).toStdString(), false});
      form.findChild<QToolButton*>(QStringLiteral("BtnParcourir"))->click();
      browseMessages = script.messages;
      QCOMPARE(browseMessages.size(), std::size_t{1});
      script.messages.clear();

      clickItem(list, 0);
      QCOMPARE(form.MaskPath(), masks + QStringLiteral("a.bmp"));
      QCOMPARE(form.MaskFolder(), masks);
      QCOMPARE(form.MaskPicture().width(), 40);
      QVERIFY(script.messages.empty());
      QVERIFY(script.openRequests.size() == 1);  // no dialog for a gallery pick
      QVERIFY(list->item(0)->isSelected());

      // The arrow keys move through the thumbnails; Enter picks the damaged one: the same
      // message as the browse button gave, and the mask stays as it was.
      list->setFocus();
      QTest::keyClick(list, Qt::Key_Right);
      QCOMPARE(list->currentRow(), 1);
      QTest::keyClick(list, Qt::Key_Left);
      QCOMPARE(list->currentRow(), 0);
      QTest::keyClick(list, Qt::Key_Right);
      QTest::keyClick(list, Qt::Key_Return);
      QCOMPARE(script.messages.size(), browseMessages.size());
      QCOMPARE(script.messages[0].caption, browseMessages[0].caption);
      QCOMPARE(script.messages[0].text, browseMessages[0].text);
      QCOMPARE(form.MaskPath(), masks + QStringLiteral("a.bmp"));
      QCOMPARE(form.MaskPicture().width(), 40);

      // Hovering tells which mask is under the pointer, once, and when the pointer leaves it.
      QSignalSpy hovered(form.MaskGallery(), &TMaskGallery::maskHovered);
      QSignalSpy ended(form.MaskGallery(), &TMaskGallery::maskHoverEnded);
      const QPoint onB = list->visualItemRect(list->item(1)).center();
      QTest::mouseMove(list->viewport(), onB);
      QTest::mouseMove(list->viewport(), onB + QPoint(2, 1));
      QTRY_COMPARE(hovered.count(), 1);
      QCOMPARE(hovered[0][0].toString(), masks + QStringLiteral("b.bmp"));
      QCOMPARE(ended.count(), 0);
      QTest::mouseMove(list->viewport(), list->viewport()->rect().bottomRight() - QPoint(3, 3));
      QTRY_COMPARE(ended.count(), 1);
      QCOMPARE(form.MaskPath(), masks + QStringLiteral("a.bmp"));  // hovering loads nothing
    }
    QCOMPARE(iniValue(program + QStringLiteral("Vorlino.ini"), "Masque"),
             (masks + QStringLiteral("a.bmp")).toStdString());
  }

  void theEditionMenuClosesTheGalleryAndTheChoiceIsKept() {
    const QString program = newProgram();
    ScriptedPrompts script;
    {
      TMainForm form(nullptr, program);
      show(form);
      auto* item = form.findChild<QAction*>(QStringLiteral("MenuEditionGalerie"));
      QVERIFY(item != nullptr);
      QCOMPARE(item->text(), QStringLiteral("Galerie de masques"));
      QVERIFY(item->isCheckable() && item->isChecked());
      QVERIFY(listOf(form)->isVisible());
      item->trigger();
      QVERIFY(!listOf(form)->isVisible());
    }
    QCOMPARE(iniValue(program + QStringLiteral("Vorlino.ini"), "Galerie"), std::string("0"));
    {
      TMainForm form(nullptr, program);
      show(form);
      QVERIFY(!listOf(form)->isVisible());
      auto* item = form.findChild<QAction*>(QStringLiteral("MenuEditionGalerie"));
      QVERIFY(!item->isChecked());
      item->trigger();
      QTRY_COMPARE(listOf(form)->count(), 2);
    }
    QCOMPARE(iniValue(program + QStringLiteral("Vorlino.ini"), "Galerie"), std::string("1"));
  }

  void dropCopiesPicturesIntoTheUserFolderAndRefusesTheRest() {
    const QString program = newProgram();
    ScriptedPrompts script;
    TMainForm form(nullptr, program);
    show(form);
    QListWidget* list = listOf(form);
    QTRY_COMPARE(list->count(), 2);
    QVERIFY(!QFileInfo::exists(userMasks()));  // made on first use only

    const QString other = dir_.filePath(QStringLiteral("autre"));
    QDir().mkpath(other);
    const QString picture = WriteBmp(other, "a.bmp", 16, 16, qRgb(90, 90, 90));
    const QString text = other + QStringLiteral("/notes.txt");
    {
      QFile file(text);
      QVERIFY(file.open(QIODevice::WriteOnly));
      file.write("pas une image");
    }
    auto drop = [&](const QStringList& files) {
      QMimeData data;
      QList<QUrl> urls;
      for (const QString& f : files) urls.append(QUrl::fromLocalFile(f));
      data.setUrls(urls);
      const QPoint at = list->viewport()->rect().center();
      QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
      QApplication::sendEvent(list->viewport(), &enter);
      QVERIFY(enter.isAccepted());
      QDropEvent event(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
      QApplication::sendEvent(list->viewport(), &event);
      QVERIFY(event.isAccepted());
    };

    drop({picture, text});
    QTRY_COMPARE(list->count(), 3);
    QCOMPARE(script.messages.size(), std::size_t{1});
    QCOMPARE(script.messages[0].caption, std::string("Erreur"));
    QCOMPARE(QString::fromStdString(script.messages[0].text),
             QStringLiteral("Le fichier \"notes.txt\" n'est pas une image : il n'a pas été ajouté "
                            "aux masques."));
    QVERIFY(QFileInfo::exists(userMasks() + QStringLiteral("a.bmp")));
    QVERIFY(!QFileInfo::exists(userMasks() + QStringLiteral("notes.txt")));
    QCOMPARE(form.WorkingBitmap().width(), 0);  // a drop on the gallery opens no photo

    // The same name again: a second file beside the first, never over it.
    const QByteArray firstBytes = [&] {
      QFile f(userMasks() + QStringLiteral("a.bmp"));
      return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }();
    drop({good_});
    QTRY_COMPARE(list->count(), 4);
    QVERIFY(QFileInfo::exists(userMasks() + QStringLiteral("a (2).bmp")));
    QFile first(userMasks() + QStringLiteral("a.bmp"));
    QVERIFY(first.open(QIODevice::ReadOnly));
    QCOMPARE(first.readAll(), firstBytes);
    QCOMPARE(list->currentItem()->text(), QStringLiteral("a (2)"));

    // The copy is picked like any other mask.
    clickItem(list, list->currentRow());
    QCOMPARE(form.MaskPath(), userMasks() + QStringLiteral("a (2).bmp"));
  }
};

QTEST_MAIN(TestMaskGallery)
#include "test_mask_gallery.moc"
