// The English interface: the translation is complete and sound, and the window, its menus, its
// side panel and its dialogs, opened as the user opens them, show no French text.
#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QDialog>
#include <QDockWidget>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QToolButton>
#include <QXmlStreamReader>
#include <QtTest>

#include "../core/scripted_prompts.h"
#include "app/app_setup.h"
#include "app/core_texts.h"
#include "app/main_form.h"
#include "controls/color_picker.h"
#include "dialogs/modal.h"
#include "files/name_filters.h"
#include "imagefile/format_registry.h"
#include "imagefile/load_image.h"
#include "ui_test_files.h"

using namespace vorlino;
using vorlino::test::ScriptedPrompts;
using vorlino::test::WriteBmp;

namespace {

// Texts written the same in both languages.
const QStringList kSameInBoth = {QStringLiteral("OK"),          QStringLiteral("Confirmation"),
                                 QStringLiteral("Information"), QStringLiteral("Action"),
                                 QStringLiteral("Transparent"), QStringLiteral("%1x%2 pixels")};

struct Message {
  QString context;
  QString source;
  QString translation;
  QString type;  // the translation's type attribute ("unfinished", "vanished"...), empty when done
};

QList<Message> ReadTs() {
  QFile file(QStringLiteral(VORLINO_TEST_DATA "/../../translations/vorlino_en.ts"));
  if (!file.open(QIODevice::ReadOnly)) qFatal("cannot read translations/vorlino_en.ts");
  QXmlStreamReader xml(&file);
  QList<Message> messages;
  QString context;
  while (!xml.atEnd()) {
    xml.readNext();
    if (!xml.isStartElement()) continue;
    if (xml.name() == QLatin1String("name")) context = xml.readElementText();
    if (xml.name() == QLatin1String("message")) messages.append({context, {}, {}, {}});
    if (xml.name() == QLatin1String("source")) messages.last().source = xml.readElementText();
    if (xml.name() == QLatin1String("translation")) {
      messages.last().type = xml.attributes().value(QLatin1String("type")).toString();
      messages.last().translation = xml.readElementText();
    }
  }
  if (xml.hasError()) qFatal("vorlino_en.ts: %s", qPrintable(xml.errorString()));
  return messages;
}

QStringList Sorted(QStringList list) {
  list.sort();
  return list;
}

QStringList Placeholders(const QString& text) {
  static const QRegularExpression placeholder(QStringLiteral("%\\d"));
  QStringList found;
  for (auto it = placeholder.globalMatch(text); it.hasNext();) found << it.next().captured();
  found.removeDuplicates();
  return Sorted(found);
}

// Every text a widget tree shows: captions, labels, buttons, tips, list items, group titles, and
// the menus of a menu bar with their items.
QStringList ShownTexts(QWidget* root) {
  QStringList texts{root->windowTitle(), root->toolTip()};
  for (QWidget* w : root->findChildren<QWidget*>()) {
    texts << w->toolTip();
    if (auto* label = qobject_cast<QLabel*>(w)) texts << label->text();
    if (auto* button = qobject_cast<QAbstractButton*>(w)) texts << button->text();
    if (auto* group = qobject_cast<QGroupBox*>(w)) texts << group->title();
    if (auto* dock = qobject_cast<QDockWidget*>(w)) texts << dock->windowTitle();
    if (auto* list = qobject_cast<QComboBox*>(w))
      for (int i = 0; i < list->count(); ++i) texts << list->itemText(i);
    if (auto* bar = qobject_cast<QMenuBar*>(w)) {
      for (QAction* menu : bar->actions()) {
        texts << menu->text();
        if (menu->menu() == nullptr) continue;
        for (QAction* item : menu->menu()->actions())
          if (item->isVisible()) texts << item->text();
      }
    }
  }
  texts.removeAll(QString());
  return texts;
}

}  // namespace

class TestEnglish : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir dir_;
  QList<Message> messages_;
  QSet<QString> french_;  // every source text, as written and without its access key

  // The shown texts that are a French source text of the translation.
  QStringList FrenchAmong(const QStringList& texts) const {
    QStringList found;
    for (const QString& text : texts) {
      if (kSameInBoth.contains(text)) continue;
      if (french_.contains(text) || french_.contains(QString(text).remove(QLatin1Char('&'))))
        found << text;
    }
    return found;
  }

  template <class T>
  static T* child(QWidget& parent, const char* name) {
    T* found = parent.findChild<T*>(QString::fromLatin1(name));
    if (found == nullptr) qFatal("no child %s", name);
    return found;
  }

 private slots:
  void initTestCase() {
    QVERIFY(dir_.isValid());
    QVERIFY(SetUpApplication(UiLanguage::ulEnglish));
    QCOMPARE(CurrentUiLanguage(), UiLanguage::ulEnglish);
    messages_ = ReadTs();
    QVERIFY(messages_.size() > 150);
    for (const Message& m : messages_) {
      french_.insert(m.source);
      french_.insert(QString(m.source).remove(QLatin1Char('&')));
    }
  }

  // Each source text has a finished English that the program finds, with the same placeholders
  // and at most one access key.
  void translationIsCompleteAndSound() {
    for (const Message& m : messages_) {
      const QString where = m.context + QStringLiteral(": ") + m.source;
      QVERIFY2(m.type.isEmpty(), qPrintable(where + QStringLiteral(" is ") + m.type));
      QVERIFY2(!m.translation.isEmpty(), qPrintable(where));
      const QString shown = QCoreApplication::translate(m.context.toUtf8().constData(),
                                                        m.source.toUtf8().constData());
      QCOMPARE(shown, m.translation);
      if (!kSameInBoth.contains(m.source)) QVERIFY2(shown != m.source, qPrintable(where));
      QCOMPARE(Placeholders(shown), Placeholders(m.source));
      QCOMPARE(shown.count(QLatin1Char('&')), m.source.count(QLatin1Char('&')));
      QCOMPARE(shown.count(QLatin1Char('\n')), m.source.count(QLatin1Char('\n')));
    }
  }

  // The core's French messages, with file names and sizes in them, come out in English with their
  // values; each line on its own; what the table lacks stays as it is.
  void coreMessagesCarryTheirValues() {
    QCOMPARE(TranslatedCoreText(loadFailureMessage("/tmp/a \"b\" %2.png")),
             QStringLiteral("Cannot open the image in the file \"/tmp/a \"b\" %2.png\""));
    QCOMPARE(TranslatedCoreText(saveFailureMessage("x.foo", true)),
             QStringLiteral("Cannot save the image to the file \"x.foo\"\r"
                            "because the format is not recognised!"));
    const std::string cuts =
        "Les découpes du fichier \"m.slices\" ne conviennent pas à ce masque de 40 x 30 pixels : "
        "il faut 0 < gauche < droite < 40 et 0 < haut < bas < 30. Les découpes par défaut sont "
        "utilisées.";
    QCOMPARE(TranslatedCoreText(cuts),
             QStringLiteral("The cuts in the file \"m.slices\" do not suit this mask of 40 x 30 "
                            "pixels: they need 0 < left < right < 40 and 0 < top < bottom < 30. "
                            "The default cuts are used."));
    // The same size must come back where the text repeats it.
    std::string mismatched = cuts;
    mismatched.replace(mismatched.find("< 40"), 4, "< 41");
    QCOMPARE(TranslatedCoreText(mismatched), QString::fromStdString(mismatched));
    QCOMPARE(TranslatedCoreText(std::string("Rien de connu")), QStringLiteral("Rien de connu"));
    const QStringList filters = QtNameFilters(fileFormats().openFilter());
    QVERIFY(filters.first().startsWith(QStringLiteral("All images (*.")));
    QVERIFY(
        filters.contains(QStringLiteral("JPG images (*.jfif; *.jpe; *.jpeg; *.jpg) "
                                        "(*.jfif *.jpe *.jpeg *.jpg)")));
    QCOMPARE(FrenchAmong(filters), QStringList());
  }

  void windowMenusAndSidePanelAreEnglish() {
    ScriptedPrompts script;
    TMainForm form(nullptr, dir_.filePath(QStringLiteral("program/")));
    form.resize(800, 600);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QStringList menus;
    for (QAction* menu : form.menuBar()->actions()) menus << menu->text();
    QCOMPARE(menus, QStringList({"File", "Edit", "Action", "About"}));
    QCOMPARE(child<QAction>(form, "MenuActionMasque")->text(), QStringLiteral("Apply mask"));
    QCOMPARE(child<QLabel>(form, "StatusPanel0")->text(), QStringLiteral(" Ready"));
    QCOMPARE(child<QLabel>(form, "LblCouleur")->text(), QStringLiteral("Colour:"));
    QCOMPARE(form.findChild<TColorPicker*>()->customText(), QStringLiteral("&More colours..."));
    const QStringList shown = ShownTexts(&form);
    QVERIFY(shown.size() > 40);
    QCOMPARE(FrenchAmong(shown), QStringList());

    // The undo button names what it takes back.
    script.openReplies.push_back(
        {true, WriteBmp(dir_.path(), "photo.bmp", 60, 40, qRgb(10, 100, 200)).toStdString()});
    child<QAction>(form, "MenuFichierOuvrir")->trigger();
    script.openReplies.push_back(
        {true, WriteBmp(dir_.path(), "mask.bmp", 20, 20, qRgb(0, 0, 0)).toStdString()});
    child<QToolButton>(form, "BtnParcourir")->click();
    QTest::keyClick(&form, Qt::Key_M, Qt::ControlModifier);
    QCOMPARE(child<QToolButton>(form, "BtnUndo")->toolTip(), QStringLiteral("Undo mask"));
    QCOMPARE(FrenchAmong(ShownTexts(&form)), QStringList());
    form.close();
  }

  // The dialogs the menus open: image size, apply to a folder, about (with the English guide).
  void dialogsOpenedFromTheMenusAreEnglish() {
    ScriptedPrompts script;
    TMainForm form(nullptr, dir_.filePath(QStringLiteral("program2/")));
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    script.openReplies.push_back(
        {true, WriteBmp(dir_.path(), "photo2.bmp", 60, 40, qRgb(10, 100, 200)).toStdString()});
    child<QAction>(form, "MenuFichierOuvrir")->trigger();
    script.openReplies.push_back(
        {true, WriteBmp(dir_.path(), "mask2.bmp", 20, 20, qRgb(0, 0, 0)).toStdString()});
    child<QToolButton>(form, "BtnParcourir")->click();

    QMap<QString, QStringList> seen;
    QString guideTip;
    SetModalHook([&](QDialog& dialog) {
      seen[dialog.objectName()] = ShownTexts(&dialog);
      if (auto* url = dialog.findChild<QLabel*>(QStringLiteral("URL"))) guideTip = url->toolTip();
      dialog.reject();
    });
    QTest::keyClick(&form, Qt::Key_T, Qt::ControlModifier);
    child<QAction>(form, "MenuActionDossier")->trigger();
    child<QAction>(form, "MenuApropos")->trigger();
    SetModalHook({});
    form.close();

    QCOMPARE(seen.keys(), QStringList({"AProposForm", "BatchForm", "RedimForm"}));
    QCOMPARE(seen["RedimForm"].first(), QStringLiteral("Image size"));
    QVERIFY(seen["BatchForm"].contains(QStringLiteral("Include &subfolders")));
    QVERIFY(seen["AProposForm"].contains(QStringLiteral("User guide")));
    QVERIFY2(guideTip.endsWith(QStringLiteral("/docs/guide_en.html")), qPrintable(guideTip));
    for (auto it = seen.cbegin(); it != seen.cend(); ++it)
      QVERIFY2(FrenchAmong(it.value()).isEmpty(),
               qPrintable(it.key() + QStringLiteral(": ") + FrenchAmong(it.value()).join('|')));
  }
};

QTEST_MAIN(TestEnglish)
#include "test_english.moc"
