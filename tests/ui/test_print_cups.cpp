// Printing through a real CUPS queue: scripts/cups-test-setup.sh starts a private scheduler of the
// test's own, with the cups-pdf queue "VorlinoPDF", and stops it when the test ends; the dialog
// prints on it as on any printer, and the PDF the queue writes is read back. Skipped only where no
// CUPS scheduler can run.
#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLocale>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProcess>
#include <QPushButton>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTransform>
#include <QtEndian>
#include <optional>

#include "../core/scripted_prompts.h"
#include "controls/spin2.h"
#include "dialogs/annul_imp.h"
#include "dialogs/impr.h"
#include "print/print_command.h"
#include "print/print_job.h"
#include "print_test_support.h"

using namespace vorlino;
using namespace vorlino::test;

namespace {

const QString kQueue = QStringLiteral("VorlinoPDF");
QString kSpool;  // the private scheduler's spool folder
const QColor kBlue(40, 70, 190);

// The value of one attribute in a CUPS job control file (IPP encoding: value tag, 2-byte name
// length, name, 2-byte value length, value).
std::optional<QByteArray> ippValue(const QByteArray& control, const QByteArray& name) {
  QByteArray key(2, '\0');
  qToBigEndian<quint16>(quint16(name.size()), key.data());
  key += name;
  const qsizetype at = control.indexOf(key);
  if (at < 1 || at + key.size() + 2 > control.size()) return std::nullopt;
  const qsizetype start = at + key.size();
  const int length = qFromBigEndian<quint16>(control.constData() + start);
  if (start + 2 + length > control.size()) return std::nullopt;
  return control.mid(start + 2, length);
}

std::optional<int> ippInteger(const QByteArray& control, const QByteArray& name) {
  const auto value = ippValue(control, name);
  if (!value || value->size() != 4) return std::nullopt;
  return qFromBigEndian<qint32>(value->constData());
}

QSet<QString> filesIn(const QString& folder, const QStringList& patterns) {
  const QStringList names = QDir(folder).entryList(patterns, QDir::Files);
  return QSet<QString>(names.begin(), names.end());
}

// A job control file read back.
struct Job {
  QString file;
  QByteArray control;
  int state() const { return ippInteger(control, "job-state").value_or(0); }
};

// The jobs that appeared since `before`, once every one of them has finished (completed 9,
// cancelled 7 or aborted 8) and the queue is idle, read from their control files. With expectJob,
// waits for at least one.
QList<Job> finishedNewJobs(const QSet<QString>& before, bool expectJob = true) {
  QList<Job> jobs;
  for (int round = 0; round < 600; ++round) {  // the queue converts through Ghostscript
    jobs.clear();
    bool settled = true;
    for (const QString& name : filesIn(kSpool, {QStringLiteral("c*")}) - before) {
      QFile file(kSpool + QLatin1Char('/') + name);
      if (!file.open(QIODevice::ReadOnly)) continue;
      Job job{name, file.readAll()};
      settled = settled && job.state() >= 7;
      jobs.append(job);
    }
    if ((!jobs.isEmpty() || !expectJob) && settled) {
      // Idle queue: the backend has finished writing.
      QProcess lpstat;
      lpstat.start(QStringLiteral("lpstat"), {QStringLiteral("-o"), kQueue});
      lpstat.waitForFinished(10000);
      if (lpstat.readAllStandardOutput().trimmed().isEmpty()) return jobs;
    }
    QTest::qWait(200);
  }
  return jobs;
}

struct QueuePrinting {
  FakeHost host;
  TImprForm form{host};
  TAnnulerForm progress;
  ScriptedPrompts prompts;

  explicit QueuePrinting(const QString& fileName) {
    host.bitmap = solidBitmap(1500, 750, kBlue);
    host.fileName = QStringLiteral("/images/vacances/") + fileName;
    auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    printer->setPrinterName(kQueue);
    form.SetPrinter(std::move(printer));
  }
};

}  // namespace

class TestPrintCups : public QObject {
  Q_OBJECT

  QString outFolder_;
  QString schedulerRoot_;

  static QString setupScript() {
    return QFileInfo(QStringLiteral(VORLINO_TEST_DATA "/../../scripts/cups-test-setup.sh"))
        .absoluteFilePath();
  }

 private slots:
  void initTestCase() {
    QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
    QProcess setup;
    setup.start(QStringLiteral("bash"), {setupScript(), QStringLiteral("start"),
                                         QString::number(QCoreApplication::applicationPid())});
    QVERIFY(setup.waitForFinished(180000));
    const QString reason = QString::fromLocal8Bit(setup.readAllStandardError()).trimmed();
    if (setup.exitCode() == 77)
      QSKIP(qPrintable(QStringLiteral("no CUPS scheduler can run here: ") + reason));
    QVERIFY2(setup.exitCode() == 0, qPrintable(reason));
    for (const QString& line : QString::fromLocal8Bit(setup.readAllStandardOutput()).split('\n')) {
      const QString value = line.section(QLatin1Char('='), 1);
      if (line.startsWith(QLatin1String("CUPS_SERVER=")))
        qputenv("CUPS_SERVER", value.toLocal8Bit());
      if (line.startsWith(QLatin1String("SPOOL="))) kSpool = value;
      if (line.startsWith(QLatin1String("OUT="))) outFolder_ = value;
      if (line.startsWith(QLatin1String("ROOT="))) schedulerRoot_ = value;
    }
    QVERIFY(!outFolder_.isEmpty() && !kSpool.isEmpty() && !schedulerRoot_.isEmpty());
    QVERIFY2(QFileInfo(kSpool).isReadable(), "the CUPS spool folder is not readable");
    QVERIFY(havePdfRenderers());
    QVERIFY2(QPrinterInfo::availablePrinterNames().contains(kQueue), "Qt does not see the queue");
  }

  // The scheduler goes with the test (and, should the test die, with its watcher).
  void cleanupTestCase() {
    if (schedulerRoot_.isEmpty()) return;
    QProcess::execute(QStringLiteral("bash"),
                      {setupScript(), QStringLiteral("stop"), schedulerRoot_});
    QVERIFY(!QFileInfo::exists(schedulerRoot_));
  }

  // With queues but none chosen as the default, the page goes to a PDF file rather than to
  // whichever queue comes first; once the queue is the default, it goes there. The dialog says
  // which.
  void pageGoesToTheDefaultQueueOrAFile() {
    FakeHost host;
    host.bitmap = solidBitmap(300, 200, kBlue);
    {
      TImprForm form(host);
      QVERIFY(form.PrintsToPdfFile());
      form.FormShow();
      QCOMPARE(form.LImprimante->text(), QString("Imprimante : Fichier PDF"));
    }
    QCOMPARE(QProcess::execute(QStringLiteral("/usr/sbin/lpadmin"), {QStringLiteral("-d"), kQueue}),
             0);
    TImprForm form(host);
    QVERIFY(!form.PrintsToPdfFile());
    QCOMPARE(form.Printer().printerName(), kQueue);
    form.FormShow();
    QCOMPARE(form.LImprimante->text(), QString("Imprimante : VorlinoPDF"));
  }

  void printsThroughTheQueue() {
    QueuePrinting p(QStringLiteral("Plage d'été.png"));
    QVERIFY(!p.form.PrintsToPdfFile());
    const QSet<QString> jobsBefore = filesIn(kSpool, {QStringLiteral("c*")});
    const QSet<QString> pdfsBefore = filesIn(outFolder_, {QStringLiteral("*.pdf")});

    QRect imageRect;
    QTimer::singleShot(0, &p.form, [&] {
      p.form.SECopies->SetValue(2);
      p.form.CBTraits->setChecked(true);
      imageRect = p.form.PrinterZoom().ImageRect();
      p.form.BImprimer->click();
    });
    MenuFichierImprimerClick(p.form, p.progress);
    QVERIFY(p.prompts.saveRequests.empty());  // a queue needs no file name
    QVERIFY(!p.progress.isVisible());

    const QList<Job> jobs = finishedNewJobs(jobsBefore);
    QCOMPARE(jobs.size(), 1);
    const Job& job = jobs.front();
    QCOMPARE(job.state(), 9);
    QCOMPARE(ippValue(job.control, "job-name").value_or(QByteArray()),
             QString("Plage d'été.png").toUtf8());
    QCOMPARE(ippInteger(job.control, "copies").value_or(0), 2);

    QSet<QString> pdfs = filesIn(outFolder_, {QStringLiteral("*.pdf")}) - pdfsBefore;
    QCOMPARE(pdfs.size(), 1);
    const QString pdf = outFolder_ + QLatin1Char('/') + *pdfs.begin();
    QImage page = renderPdf(pdf, 100, Renderer::rdSplashAliased);
    QFile::remove(pdf);
    QVERIFY(!page.isNull());
    // The wide image turned the page to landscape; the queue delivers it on portrait paper, its
    // top edge along the paper's left edge, as printers do. Turned back, it reads as laid out.
    QCOMPARE(p.form.Printer().pageLayout().orientation(), QPageLayout::Landscape);
    if (page.width() < page.height()) page = page.transformed(QTransform().rotate(90));

    const QPrinter& printer = p.form.Printer();
    const QRectF expected(pagePoint(printer, imageRect.topLeft(), 100),
                          pagePoint(printer,
                                    QPointF(imageRect.left() + imageRect.width(),
                                            imageRect.top() + imageRect.height()),
                                    100));
    const QRect blue = boundsOf(page, [](QRgb c) { return near(c, kBlue, 40); });
    QVERIFY2(std::abs(blue.left() - expected.left()) <= 2, "left edge");
    QVERIFY2(std::abs(blue.top() - expected.top()) <= 2, "top edge");
    QVERIFY2(std::abs(blue.right() + 1 - expected.right()) <= 2, "right edge");
    QVERIFY2(std::abs(blue.bottom() + 1 - expected.bottom()) <= 2, "bottom edge");
    // Cut marks: the middle marks above and below the wide image, and one at a corner.
    const TPageMetrics& metrics = p.form.Page();
    const double away = (CmToDevice(metrics, 0.8) + CmToDevice(metrics, 0.1)) / 2.0;
    const double middleX = imageRect.left() + imageRect.width() / 2;
    QVERIFY(darkNear(page, pagePoint(printer, QPointF(middleX, imageRect.top() - away), 100), 2));
    QVERIFY(darkNear(
        page,
        pagePoint(printer, QPointF(middleX, imageRect.top() + imageRect.height() + away), 100), 2));
    QVERIFY(darkNear(
        page, pagePoint(printer, QPointF(imageRect.left() - away, imageRect.top()), 100), 2));
  }

  void cancelledJobReachesNoPrinter() {
    QueuePrinting p(QStringLiteral("annule.png"));
    const QSet<QString> jobsBefore = filesIn(kSpool, {QStringLiteral("c*")});
    const QSet<QString> pdfsBefore = filesIn(outFolder_, {QStringLiteral("*.pdf")});
    p.form.FormShow();
    p.form.BImprimerClick();
    QCOMPARE(p.form.result(), int(QDialog::Accepted));
    p.form.hide();
    TPrintJob job(p.form.Printer());
    p.progress.BeginJob(job);
    QTimer::singleShot(0, p.progress.BAnnuler, &QPushButton::click);
    p.form.PrintPage(job);
    QVERIFY(!p.progress.EndJob());
    QCOMPARE(job.State(), TPrintJob::jsAbandoned);

    // The queue may have recorded an empty job, cancelled at once; nothing was printed.
    QTest::qWait(1000);
    for (const Job& j : finishedNewJobs(jobsBefore, false)) QVERIFY(j.state() != 9);
    QCOMPARE(filesIn(outFolder_, {QStringLiteral("*.pdf")}) - pdfsBefore, QSet<QString>());

    // The same printer prints normally afterwards.
    const QSet<QString> jobsBetween = filesIn(kSpool, {QStringLiteral("c*")});
    p.form.FormShow();
    p.form.BImprimerClick();
    p.form.hide();
    TPrintJob next(p.form.Printer());
    p.progress.BeginJob(next);
    p.form.PrintPage(next);
    QVERIFY(p.progress.EndJob());
    const QList<Job> jobs = finishedNewJobs(jobsBetween);
    QCOMPARE(jobs.size(), 1);
    QCOMPARE(jobs.front().state(), 9);
    const QSet<QString> pdfs = filesIn(outFolder_, {QStringLiteral("*.pdf")}) - pdfsBefore;
    QCOMPARE(pdfs.size(), 1);
    QFile::remove(outFolder_ + QLatin1Char('/') + *pdfs.begin());
  }
};

QTEST_MAIN(TestPrintCups)
#include "test_print_cups.moc"
