#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "dialogs/apropos.h"
#include "dialogs/modal.h"

using namespace vorlino;

class TestApropos : public QObject {
  Q_OBJECT

 private slots:
  void contents() {
    TAProposForm form(nullptr, QStringLiteral("/nonexistent/guide.html"));
    QCOMPARE(form.windowTitle(), QStringLiteral("A propos de Vorlino"));
    QCOMPARE(form.size(), QSize(313, 277));
    QCOMPARE(form.ProductName->text(), QStringLiteral("Vorlino"));
    QVERIFY(form.ProductName->font().bold());
    QVERIFY(form.Version->text().startsWith(QStringLiteral("Version 1.4")));
    QCOMPARE(form.Author->text(), QStringLiteral("L'équipe Vorlino"));
    QCOMPARE(form.Image1->pixmap().size(), QSize(96, 200));
    QCOMPARE(form.BOk->geometry(), QRect(230, 240, 75, 27));
  }

  void linkOpensTheGuide() {
    QTemporaryDir dir;
    const QString guide = dir.filePath(QStringLiteral("guide.html"));
    QFile file(guide);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("<html></html>");
    file.close();

    TAProposForm form(nullptr, guide);
    QList<QUrl> opened;
    form.OpenUrl = [&](const QUrl& url) { opened.append(url); };
    SetModalHook([&](QDialog&) {
      QVERIFY(form.URL->isEnabled());
      // A press released outside the link opens nothing.
      QTest::mousePress(form.URL, Qt::LeftButton, {}, QPoint(2, 2));
      QTest::mouseRelease(form.URL, Qt::LeftButton, {}, QPoint(-5, -5));
      QCOMPARE(opened.size(), 0);
      QTest::mouseClick(form.URL, Qt::LeftButton, {}, QPoint(2, 2));
      form.BOk->click();
    });
    QCOMPARE(ExecModal(form), int(QDialog::Accepted));
    SetModalHook({});
    QCOMPARE(opened, QList<QUrl>{QUrl::fromLocalFile(guide)});
    QCOMPARE(form.GuideUrl().scheme(), QStringLiteral("file"));
  }

  void withoutGuideTheLinkIsGreyed() {
    TAProposForm form(nullptr, QStringLiteral("/nonexistent/guide.html"));
    int opened = 0;
    form.OpenUrl = [&](const QUrl&) { ++opened; };
    QVERIFY(!form.URL->isEnabled());
    QVERIFY(form.GuideUrl().isEmpty());
    form.URLClick();
    QCOMPARE(opened, 0);
  }
};

QTEST_MAIN(TestApropos)
#include "test_apropos.moc"
