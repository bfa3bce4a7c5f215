// Real printing to PDF files, read back as pictures: where the image and the cut marks land, the
// outline-only page, bands without seams, and cancelling a job.
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLocale>
#include <QPainter>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <stdexcept>

#include <sys/stat.h>

#include "../core/scripted_prompts.h"
#include "bitmap/color.h"
#include "compose/soft_alpha.h"
#include "controls/spin2.h"
#include "dialogs/annul_imp.h"
#include "dialogs/impr.h"
#include "print/banded_draw.h"
#include "print/print_command.h"
#include "print/print_job.h"
#include "print_test_support.h"

using namespace vorlino;
using namespace vorlino::test;

namespace {

const QColor kRed(210, 40, 40);
constexpr int kDpi = 100;

struct Printing {
  FakeHost host;
  TImprForm form{host};
  TAnnulerForm progress;
  ScriptedPrompts prompts;
  QTemporaryDir folder;
  QString pdf;
  QRect imageRect;  // the laid-out image in printer pixels, as accepted
  double aspect = 1;

  Printing(int w, int h, QColor colour) {
    host.bitmap = solidBitmap(w, h, colour);
    host.fileName = folder.filePath(QStringLiteral("photo.png"));
    form.SetPrinter(TImprForm::MakePdfPrinter());
    pdf = folder.filePath(QStringLiteral("photo.pdf"));
    prompts.saveReplies.push_back({true, pdf.toStdString()});
  }

  // The whole print command; `adjust` runs in the shown dialog before "Imprimer" is pressed.
  void run(const std::function<void(TImprForm&)>& adjust = {}) {
    QTimer::singleShot(0, &form, [this, adjust] {
      if (adjust) adjust(form);
      imageRect = form.PrinterZoom().ImageRect();
      aspect = form.AspectRatio();
      form.BImprimer->click();
    });
    MenuFichierImprimerClick(form, progress);
  }

  // Accepts the layout without the command, for driving the job step by step.
  void accept() {
    form.FormShow();
    form.BImprimerClick();
    QCOMPARE(form.result(), int(QDialog::Accepted));
    form.hide();
  }

  QPointF onPage(QPointF device) const { return pagePoint(form.Printer(), device, kDpi); }
  QRectF rectOnPage(const QRect& r) const {
    return QRectF(onPage(r.topLeft()), onPage(QPointF(r.left() + r.width(), r.top() + r.height())));
  }
  QStringList leftovers() const {
    return QDir(folder.path()).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
  }
};

// Whether p lies within `slack` pixels of the segment a-b.
bool nearSegment(QPointF p, QPointF a, QPointF b, double slack) {
  const QPointF d = b - a;
  const double length2 = QPointF::dotProduct(d, d);
  double t = length2 > 0 ? QPointF::dotProduct(p - a, d) / length2 : 0;
  t = std::clamp(t, 0.0, 1.0);
  const QPointF q = a + t * d - p;
  return std::sqrt(QPointF::dotProduct(q, q)) <= slack;
}

void compareEdges(const QRect& found, const QRectF& expected, double slack) {
  QVERIFY2(std::abs(found.left() - expected.left()) <= slack, "left edge");
  QVERIFY2(std::abs(found.top() - expected.top()) <= slack, "top edge");
  QVERIFY2(std::abs(found.right() + 1 - expected.right()) <= slack, "right edge");
  QVERIFY2(std::abs(found.bottom() + 1 - expected.bottom()) <= slack, "bottom edge");
}

// The dark pixels in a row from `from`, stepping by `step`, before the first light one.
int darkRun(const QImage& image, QPoint from, QPoint step) {
  int run = 0;
  for (QPoint at = from; image.rect().contains(at) && isDark(image.pixel(at)); at += step) ++run;
  return run;
}

// The thickness in pixels of the dark line through `at` on the page rendered at dpi, across the
// direction `along` ((1, 0) for a horizontal line): only a square around it is rendered.
int lineThickness(const QString& pdf, QPointF at, QPoint along, int dpi) {
  const int side = 120;
  const QPoint corner = at.toPoint() - QPoint(side / 2, side / 2);
  const QString prefix = pdf + QStringLiteral(".crop");
  if (QProcess::execute(QStringLiteral("pdftoppm"),
                        {QStringLiteral("-r"), QString::number(dpi), QStringLiteral("-x"),
                         QString::number(corner.x()), QStringLiteral("-y"),
                         QString::number(corner.y()), QStringLiteral("-W"), QString::number(side),
                         QStringLiteral("-H"), QString::number(side), QStringLiteral("-aa"),
                         QStringLiteral("no"), QStringLiteral("-aaVector"), QStringLiteral("no"),
                         QStringLiteral("-png"), QStringLiteral("-singlefile"), pdf, prefix}) != 0)
    return -1;
  const QImage crop(prefix + QStringLiteral(".png"));
  QFile::remove(prefix + QStringLiteral(".png"));
  const QPoint across(along.y(), along.x());
  QPoint centre(side / 2, side / 2);
  // The nearest dark pixel across the line, then the run through it both ways.
  for (int d = 0; d < 8 && !isDark(crop.pixel(centre)); ++d) centre += (d % 2 ? -d : d) * across;
  return darkRun(crop, centre, across) + darkRun(crop, centre, -across) - 1;
}

}  // namespace

class TestPrintOutput : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
    if (!havePdfRenderers()) QSKIP("pdftoppm and pdftocairo (poppler-utils) are not installed");
  }

  void imageAndCutMarksLandWhereLaidOut() {
    Printing p(1200, 600, kRed);  // ratio 2: middle marks too
    p.run([](TImprForm& form) {
      form.CBTraits->setChecked(true);
      form.SECopies->SetValue(2);
    });
    QVERIFY(QFile::exists(p.pdf));
    QCOMPARE(p.leftovers(), QStringList{QStringLiteral("photo.pdf")});
    QCOMPARE(p.host.busyCalls, 1);
    QCOMPARE(p.host.busyDepth, 0);
    QVERIFY(!p.progress.isVisible());
    QVERIFY(!p.progress.Cancelled());
    QVERIFY(p.form.PrinterZoom().Bitmap() == nullptr);

    const QImage page = renderPdf(p.pdf, kDpi, Renderer::rdSplashAliased);
    QVERIFY(!page.isNull());
    // A4 turned to landscape for a wide image.
    QVERIFY(std::abs(page.width() - 297 * kDpi / 25.4) <= 2);
    QVERIFY(std::abs(page.height() - 210 * kDpi / 25.4) <= 2);
    const QRect red = boundsOf(page, [](QRgb c) { return near(c, kRed, 40); });
    const QRectF expected = p.rectOnPage(p.imageRect);
    compareEdges(red, expected, 1.5);

    const TPageMetrics& metrics = p.form.Page();
    const std::vector<QLine> marks =
        cutMarkLines(p.imageRect, CmToDevice(metrics, 0.8), CmToDevice(metrics, 0.1), p.aspect);
    QCOMPARE(marks.size(), std::size_t(10));
    for (const QLine& mark : marks) {
      const QPointF middle = p.onPage((QPointF(mark.p1()) + QPointF(mark.p2())) / 2);
      QVERIFY2(darkNear(page, middle, 1), "a cut mark is missing");
    }
    // Nothing else is dark on the page: every dark pixel belongs to a mark.
    int stray = 0;
    for (int y = 0; y < page.height(); ++y)
      for (int x = 0; x < page.width(); ++x) {
        if (!isDark(page.pixel(x, y))) continue;
        const QPointF here(x + 0.5, y + 0.5);
        bool onMark = false;
        for (const QLine& mark : marks)
          onMark = onMark || nearSegment(here, p.onPage(mark.p1()), p.onPage(mark.p2()), 1.5);
        stray += onMark ? 0 : 1;
      }
    QCOMPARE(stray, 0);
  }

  // On a 1200 dpi page, a line of one printer pixel (0.02 mm) is too thin to cut along: the marks
  // and the outline are 0.1 mm wide, about 4.7 pixels.
  void cutMarksAndOutlineAreWideEnoughOnPaper() {
    constexpr int kFine = 1200;
    QCOMPARE(int(TImprForm::MakePdfPrinter()->resolution()), kFine);
    Printing marks(1200, 600, kRed);
    marks.run([](TImprForm& form) { form.CBTraits->setChecked(true); });
    const TPageMetrics& metrics = marks.form.Page();
    const int away = (CmToDevice(metrics, 0.8) + CmToDevice(metrics, 0.1)) / 2;
    const QRect r = marks.imageRect;
    const QPointF leftMark =
        pagePoint(marks.form.Printer(), QPointF(r.left() - away, r.top()), kFine);
    const QPointF topMark =
        pagePoint(marks.form.Printer(), QPointF(r.left(), r.top() - away), kFine);
    QVERIFY2(lineThickness(marks.pdf, leftMark, {1, 0}, kFine) >= 4, "horizontal cut mark");
    QVERIFY2(lineThickness(marks.pdf, topMark, {0, 1}, kFine) >= 4, "vertical cut mark");

    Printing outline(800, 700, kRed);
    outline.run([](TImprForm& form) { form.CBContours->setChecked(true); });
    const QRect o = outline.imageRect;
    const QPointF leftEdge =
        pagePoint(outline.form.Printer(), QPointF(o.left() + 2, o.top() + o.height() / 2), kFine);
    QVERIFY2(lineThickness(outline.pdf, leftEdge, {0, 1}, kFine) >= 4, "outline");
  }

  // The PDF gets the mode of a saved picture: 0666 less the umask for a new file, the mode of the
  // file it replaces otherwise.
  void pdfFileGetsTheModeOfASavedPicture() {
    const mode_t previous = ::umask(022);
    Printing p(300, 200, kRed);
    p.run();
    QCOMPARE(QFileInfo(p.pdf).permissions() & 0x7777, QFile::ReadOwner | QFile::WriteOwner |
                                                          QFile::ReadUser | QFile::WriteUser |
                                                          QFile::ReadGroup | QFile::ReadOther);
    QVERIFY(QFile::setPermissions(p.pdf, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser |
                                             QFile::WriteUser | QFile::ReadGroup));
    p.prompts.saveReplies.push_back({true, p.pdf.toStdString()});
    p.run();
    ::umask(previous);
    QCOMPARE(QFileInfo(p.pdf).permissions() & 0x7777, QFile::ReadOwner | QFile::WriteOwner |
                                                          QFile::ReadUser | QFile::WriteUser |
                                                          QFile::ReadGroup);
  }

  void outlineOnlyDrawsOneRectangle() {
    Printing p(800, 700, kRed);  // ratio below 1.5
    p.run([](TImprForm& form) { form.CBContours->setChecked(true); });
    const QImage page = renderPdf(p.pdf, kDpi, Renderer::rdSplashAliased);
    QVERIFY(!page.isNull());
    QVERIFY(boundsOf(page, [](QRgb c) { return near(c, kRed, 60); }).isEmpty());
    const QRect dark = boundsOf(page, isDark);
    const QRectF expected = p.rectOnPage(p.imageRect);
    compareEdges(dark, expected, 1.5);
    // Only the frame: the inside stays white.
    const QRect inside = dark.adjusted(3, 3, -3, -3);
    QVERIFY(boundsOf(page.copy(inside), [](QRgb c) { return !isWhite(c); }).isEmpty());
    QVERIFY(isDark(page.pixel(dark.left(), dark.center().y())));
    QVERIFY(isDark(page.pixel(dark.center().x(), dark.bottom())));
  }

  void bandsLeaveNoSeam() {
    const QColor colour(120, 160, 90);
    Printing p(3000, 2000, colour);  // several bands of rows
    p.run();
    const QImage page = renderPdf(p.pdf, 150, Renderer::rdCairo);
    QVERIFY(!page.isNull());
    const QRectF expected = QRectF(pagePoint(p.form.Printer(), p.imageRect.topLeft(), 150),
                                   pagePoint(p.form.Printer(),
                                             QPointF(p.imageRect.left() + p.imageRect.width(),
                                                     p.imageRect.top() + p.imageRect.height()),
                                             150));
    const QRect inside = expected.toAlignedRect().adjusted(3, 3, -3, -3);
    int off = 0;
    for (int y = inside.top(); y <= inside.bottom(); ++y)
      for (int x = inside.left(); x <= inside.right(); ++x)
        off += near(page.pixel(x, y), colour, 12) ? 0 : 1;
    QCOMPARE(off, 0);
  }

  void cancelDuringThePageLeavesNoFile() {
    Printing p(3000, 2000, kRed);
    p.accept();
    TPrintJob job(p.form.Printer());
    p.progress.BeginJob(job);
    QVERIFY(p.progress.isVisible());
    QCOMPARE(p.progress.LabelTitre->text(), QString("Patientez, préparation de l'impression..."));
    // Pressed while the page is being produced.
    QTimer::singleShot(0, p.progress.BAnnuler, &QPushButton::click);
    p.form.PrintPage(job);
    QCOMPARE(job.State(), TPrintJob::jsAbandoned);
    QVERIFY(!p.progress.EndJob());
    QVERIFY(p.progress.Cancelled());
    QVERIFY(!p.progress.isVisible());
    QVERIFY(!QFile::exists(p.pdf));
    QVERIFY(p.leftovers().isEmpty());
    // The printer is ready for the next job, with the chosen file name.
    QCOMPARE(p.form.Printer().outputFileName(), p.pdf);
  }

  void escapeCancelsAndKeepsAnEarlierFile() {
    Printing p(3000, 2000, kRed);
    {
      QFile earlier(p.pdf);
      QVERIFY(earlier.open(QIODevice::WriteOnly));
      earlier.write("earlier");
    }
    p.accept();
    TPrintJob job(p.form.Printer());
    p.progress.BeginJob(job);
    QTimer::singleShot(0, &p.progress, [&] { QTest::keyClick(&p.progress, Qt::Key_Escape); });
    p.form.PrintPage(job);
    QVERIFY(!p.progress.EndJob());
    QFile earlier(p.pdf);
    QVERIFY(earlier.open(QIODevice::ReadOnly));
    QCOMPARE(earlier.readAll(), QByteArray("earlier"));
    QCOMPARE(p.leftovers(), QStringList{QStringLiteral("photo.pdf")});
  }

  void cancelBeforeTheDocumentBegins() {
    Printing p(300, 200, kRed);
    p.accept();
    TPrintJob job(p.form.Printer());
    // Handled by the first round of events, before the document begins.
    QTimer::singleShot(0, p.progress.BAnnuler, &QPushButton::click);
    p.progress.BeginJob(job);
    QVERIFY(p.progress.Cancelled());
    p.form.PrintPage(job);
    QCOMPARE(job.State(), TPrintJob::jsAbandoned);
    QVERIFY(!job.Painter().isActive());
    QVERIFY(!p.progress.EndJob());
    QVERIFY(!QFile::exists(p.pdf));
    QVERIFY(p.leftovers().isEmpty());
    QVERIFY(p.form.PrinterZoom().Bitmap() == nullptr);
  }

  void failingBeginReachesTheCaller() {
    Printing p(300, 200, kRed);
    p.prompts.saveReplies.clear();
    p.prompts.saveReplies.push_back(
        {true, p.folder.filePath(QStringLiteral("absent/photo.pdf")).toStdString()});
    bool thrown = false;
    try {
      p.run();
    } catch (const std::runtime_error& error) {
      thrown = true;
      QCOMPARE(QString::fromUtf8(error.what()), QString("L'impression n'a pas pu commencer."));
    }
    QVERIFY(thrown);
    QVERIFY(!p.progress.isVisible());
    QCOMPARE(p.host.busyDepth, 0);
    QVERIFY(p.form.PrinterZoom().Bitmap() == nullptr);
  }

  void bandedDrawingMatchesOneCopy() {
    Bitmap bitmap(97, 61, 24);
    for (int y = 0; y < bitmap.height(); ++y)
      for (int x = 0; x < bitmap.width(); ++x)
        bitmap.setPixel(x, y, rgb(std::uint8_t(x * 2), std::uint8_t(y * 4), 77));
    TImageZoom zoom;
    zoom.SetBitmap(&bitmap);
    zoom.SetBounds(QRect(0, 0, 300, 200));
    zoom.SetZoom(1.0);
    zoom.SetLeft(20);
    zoom.SetTop(-5);  // partly above the bounds

    QImage single(300, 200, QImage::Format_RGB32);
    single.fill(Qt::white);
    {
      QPainter painter(&single);
      zoom.SetCanvas(&painter);
      zoom.SetBounds(QRect(0, 0, 300, 200));
      zoom.Draw(false);
      zoom.SetCanvas(nullptr);
      zoom.SetBounds(QRect(0, 0, 300, 200));
    }
    QImage banded(300, 200, QImage::Format_RGB32);
    banded.fill(Qt::white);
    int bands = 0;
    {
      QPainter painter(&banded);
      const TBandedDrawResult r = drawInBands(
          zoom, painter, [&] { return ++bands > 0; }, 7);
      QVERIFY(r.complete);
      QCOMPARE(r.covered, QRect(20, 0, 97, 56));
    }
    QCOMPARE(bands, 8);  // 56 visible rows in bands of 7
    QCOMPARE(banded, single);

    // Enlarged by 2.5: every row of the target is covered, band joins included.
    zoom.SetZoom(2.5);
    zoom.SetTop(0);
    banded.fill(Qt::white);
    {
      QPainter painter(&banded);
      drawInBands(
          zoom, painter, [] { return true; }, 5);
    }
    const QRect target(20, 0, 242, 152);  // 97 x 2.5 = 242.5 rounds to even
    QVERIFY(boundsOf(banded.copy(target), isWhite).isEmpty());

    // Stopping after two bands leaves the rest undrawn.
    banded.fill(Qt::white);
    bands = 0;
    {
      QPainter painter(&banded);
      const TBandedDrawResult r = drawInBands(
          zoom, painter, [&] { return ++bands <= 2; }, 10);
      QVERIFY(!r.complete);
    }
    QVERIFY(!isWhite(banded.pixel(30, 49)));
    QVERIFY(isWhite(banded.pixel(30, 56)));
  }

  void softTransparencyIsComposedOverWhitePaper() {
    // Alpha 0 over black, 255 over a colour, 128 between: the page shows white, the colour and
    // the composition of the saved files, whatever the surface held before.
    Bitmap bitmap(30, 10, 32);
    for (int y = 0; y < 10; ++y)
      for (int x = 0; x < 30; ++x) {
        std::uint8_t* p = bitmap.row(y) + 4 * x;
        p[0] = 40;
        p[1] = 80;
        p[2] = x < 10 ? 0 : 160;
        p[3] = x < 10 ? 0 : x < 20 ? 128 : 255;
      }
    Bitmap composed = bitmap;
    ComposeOverColour(composed, kWhite);
    TImageZoom zoom;
    zoom.SetBitmap(&bitmap);
    zoom.SetBounds(QRect(0, 0, 30, 10));
    zoom.SetZoom(1.0);
    QImage page(30, 10, QImage::Format_RGB32);
    page.fill(Qt::red);
    {
      QPainter painter(&page);
      drawInBands(
          zoom, painter, [] { return true; }, 4);
    }
    for (int x : {2, 15, 25}) {
      const Color c = composed.pixel(x, 5);
      QCOMPARE(page.pixel(x, 5), qRgb(redOf(c), greenOf(c), blueOf(c)));
    }
    QCOMPARE(page.pixel(2, 5), qRgb(255, 255, 255));
  }
};

QTEST_MAIN(TestPrintOutput)
#include "test_print_output.moc"
