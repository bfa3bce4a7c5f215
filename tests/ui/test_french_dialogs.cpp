// Qt's own dialogs and menus, opened as the program opens them, speak French; the windows'
// captions are exactly their own.
#include <QAbstractButton>
#include <QColorDialog>
#include <QComboBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <functional>
#include <memory>

#include "app/app_setup.h"
#include "app/qt_prompts.h"
#include "controls/color_editor.h"
#include "controls/color_picker.h"
#include "controls/spin2.h"
#include "dialogs/impr.h"

using namespace vorlino;

namespace {

// Words that Qt's dialogs show when they are not translated, and that no French text uses.
const char* const kEnglishWords[] = {
    "Select Color",
    "Basic colors",
    "Custom colors",
    "Pick Screen Color",
    "Add to",
    "Hue",
    "Red",
    "Green",
    "Blue",
    "Cancel",
    "Page Setup",
    "Page Layout",
    "Paper",
    "Page size",
    "Width",
    "Height",
    "Margins",
    "margin",
    "Landscape",
    "Reverse",
    "Pages per sheet",
    "Page order",
    "Paper source",
    "Millimeters",
    "Inches",
    "Printer",
    "Properties",
    "Print",
    "Collate",
    "Current Page",
    "already exists",
    "Do you want",
    "replace",
    "Yes",
    "No",
    "Undo",
    "Redo",
    "Cut",
    "Copy",
    "Paste",
    "Delete",
    "Select All",
    "Look in",
    "File name",
    "Files of type",
    "Back",
    "Forward",
    "Detail View",
    "List View",
    "Folder",
    "Size",
    "Name",
    "Date Modified",
    "Kind",
    "Drive",
    "Open",
    "Save",
    "Unknown",
    "Computer",
    "Parent Directory",
    "Create New",
};

// Every text a window shows: its caption, labels, buttons, group titles, list items, tabs,
// column titles, tooltips and the texts of its menus.
QStringList shownTexts(QWidget* window) {
  QStringList texts{window->windowTitle()};
  for (QWidget* w : window->findChildren<QWidget*>()) {
    if (!w->isVisibleTo(window)) continue;
    // The print queues' names, models and places, as the print system gives them.
    if (w->objectName() == QLatin1String("printers") || w->objectName() == QLatin1String("type") ||
        w->objectName() == QLatin1String("location"))
      continue;
    texts << w->toolTip();
    if (auto* label = qobject_cast<QLabel*>(w)) texts << label->text();
    if (auto* button = qobject_cast<QAbstractButton*>(w)) texts << button->text();
    if (auto* group = qobject_cast<QGroupBox*>(w)) texts << group->title();
    if (auto* list = qobject_cast<QComboBox*>(w)) {
      for (int i = 0; i < list->count(); ++i) texts << list->itemText(i);
    }
    if (auto* tabs = qobject_cast<QTabBar*>(w)) {
      for (int i = 0; i < tabs->count(); ++i) texts << tabs->tabText(i);
    }
    if (auto* header = qobject_cast<QHeaderView*>(w); header && header->model()) {
      for (int i = 0; i < header->count(); ++i)
        texts << header->model()->headerData(i, header->orientation()).toString();
    }
  }
  for (QAction* action : window->findChildren<QAction*>()) texts << action->text();
  for (QAction* action : window->actions()) texts << action->text();  // a menu's items
  return texts;
}

// The texts holding one of the English words, as whole words, access keys ignored.
QStringList englishIn(const QStringList& texts) {
  QStringList found;
  for (QString text : texts) {
    text.remove(QLatin1Char('&'));
    for (const char* word : kEnglishWords) {
      const QRegularExpression pattern(
          QStringLiteral("\\b%1\\b").arg(QRegularExpression::escape(QLatin1String(word))),
          QRegularExpression::CaseInsensitiveOption);
      if (pattern.match(text).hasMatch()) {
        found << text;
        break;
      }
    }
  }
  return found;
}

// Runs act on the first widget that satisfies find, once it shows up while a modal loop runs.
// Gives up after a few seconds and rejects every dialog, so that a test never hangs.
void whenShown(std::function<QWidget*()> find, std::function<void(QWidget*)> act) {
  auto* timer = new QTimer;
  auto tries = std::make_shared<int>(0);
  QObject::connect(timer, &QTimer::timeout, [timer, tries, find, act] {
    if (QWidget* shown = find(); shown != nullptr && shown->isVisible()) {
      timer->deleteLater();
      timer->stop();
      act(shown);
    } else if (++*tries > 200) {
      timer->deleteLater();
      timer->stop();
      for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* dialog = qobject_cast<QDialog*>(w); dialog && dialog->isVisible())
          dialog->reject();
    }
  });
  timer->start(20);
}

QWidget* modalOf(const char* className) {
  QWidget* modal = QApplication::activeModalWidget();
  return modal != nullptr && modal->inherits(className) ? modal : nullptr;
}

}  // namespace

class TestFrenchDialogs : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    if (!SetUpApplication()) QSKIP("Qt's French translations are not installed");
  }

  void colourDialogFromTheColourField() {
    TColorEdit field;
    field.setColorDialog([&field](Color& colour) { return runColorDialog(colour, &field); });
    field.resize(60, 21);
    field.show();
    QVERIFY(QTest::qWaitForWindowExposed(&field));
    QStringList texts;
    whenShown([] { return modalOf("QColorDialog"); },
              [&texts](QWidget* dialog) {
                texts = shownTexts(dialog);
                static_cast<QDialog*>(dialog)->reject();
              });
    auto* swatch = field.findChild<TColorPicker*>();
    QTest::mouseClick(swatch, Qt::LeftButton, {}, swatch->rect().center());
    QVERIFY(texts.size() > 10);
    QVERIFY(texts.contains(QStringLiteral("Sélectionner une couleur")));
    QCOMPARE(englishIn(texts), QStringList());
  }

  void pageSetUpAndPrinterDialogs() {
    const std::unique_ptr<QPrinter> printer = TImprForm::MakePdfPrinter();
    QPageSetupDialog pageSetup(printer.get());
    pageSetup.show();
    QVERIFY(QTest::qWaitForWindowExposed(&pageSetup));
    const QStringList pageTexts = shownTexts(&pageSetup);
    QVERIFY(pageTexts.contains(QStringLiteral("Papier")));
    QCOMPARE(englishIn(pageTexts), QStringList());

    QPrintDialog print(printer.get());
    print.setOptions(QAbstractPrintDialog::PrintShowPageSize);
    print.show();
    QVERIFY(QTest::qWaitForWindowExposed(&print));
    QCOMPARE(englishIn(shownTexts(&print)), QStringList());
  }

  void saveDialogAndItsOverwriteQuestion() {
    QTemporaryDir dir;
    QFile existing(dir.filePath(QStringLiteral("photo.png")));
    QVERIFY(existing.open(QIODevice::WriteOnly));
    existing.close();
    QStringList dialogTexts;
    QStringList questionTexts;
    whenShown([] { return modalOf("QFileDialog"); },
              [&](QWidget* dialog) {
                dialogTexts = shownTexts(dialog);
                whenShown([] { return modalOf("QMessageBox"); },
                          [&](QWidget* question) {
                            questionTexts = shownTexts(question);
                            QTest::keyClick(question, Qt::Key_Escape);  // "Non": no replacing
                            QTimer::singleShot(
                                50, dialog, [dialog] { QTest::keyClick(dialog, Qt::Key_Escape); });
                          });
                auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
                QTest::keyClick(name != nullptr ? static_cast<QWidget*>(name) : dialog,
                                Qt::Key_Return);
              });
    QtPrompts prompts;
    SaveImageRequest request;
    request.filter = "Image PNG|*.png";
    request.filterIndex = 1;
    request.defaultExtension = ".png";
    request.proposedName = existing.fileName().toStdString();
    const SaveImageReply reply = prompts.saveImage(request);
    QVERIFY(!reply.accepted);
    QVERIFY(!dialogTexts.isEmpty());
    QCOMPARE(englishIn(dialogTexts), QStringList());
    QVERIFY(questionTexts.join(QLatin1Char('\n')).contains(QStringLiteral("existe déjà")));
    QCOMPARE(englishIn(questionTexts), QStringList());
  }

  void contextMenuOfATextField() {
    TSpinEdit2 field;
    field.resize(80, 24);
    field.show();
    QVERIFY(QTest::qWaitForWindowExposed(&field));
    QStringList texts;
    whenShown([] { return QApplication::activePopupWidget(); },
              [&texts](QWidget* menu) {
                texts = shownTexts(menu);
                menu->close();
              });
    // Through the window, as the platform delivers it: that is where a context menu is asked for.
    QTest::mouseClick(field.windowHandle(), Qt::RightButton, {}, QPoint(10, 12));
    QTRY_VERIFY(!texts.isEmpty());
    QVERIFY(texts.join(QLatin1Char('\n')).contains(QStringLiteral("Tout sélectionner")));
    QCOMPARE(englishIn(texts), QStringList());
  }

  // The platform appends a set display name to every caption; none is set.
  void captionsAreExactlyTheWindowsOwn() {
    QCoreApplication::setApplicationName(QStringLiteral("Autre"));
    QCOMPARE(QGuiApplication::applicationDisplayName(), QStringLiteral("Autre"));
    QCoreApplication::setApplicationName(QStringLiteral("Vorlino"));
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
      QSKIP("the caption the window manager sees is read on X11 only");
    auto box = MakeMessageBox(MessageKind::mkConfirmation, QStringLiteral("Confirmation"),
                              QStringLiteral("?"), MessageButtons::mbYesNoCancel);
    box->show();
    QVERIFY(QTest::qWaitForWindowExposed(box.get()));
    QProcess xprop;
    xprop.start(QStringLiteral("xprop"), {QStringLiteral("-id"), QString::number(box->winId()),
                                          QStringLiteral("_NET_WM_NAME")});
    QVERIFY(xprop.waitForFinished(10000));
    QCOMPARE(QString::fromUtf8(xprop.readAllStandardOutput()).trimmed(),
             QStringLiteral("_NET_WM_NAME(UTF8_STRING) = \"Confirmation\""));
  }
};

QTEST_MAIN(TestFrenchDialogs)
#include "test_french_dialogs.moc"
