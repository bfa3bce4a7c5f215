#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLocale>
#include <QPrinter>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>

#include "../core/scripted_prompts.h"
#include "controls/spin2.h"
#include "dialogs/impr.h"
#include "print/print_job.h"
#include "print_test_support.h"

using namespace vorlino;
using vorlino::test::FakeHost;
using vorlino::test::ScriptedPrompts;

namespace {

// Types text into a field as the user would: select everything, then the keys.
void typeInto(QLineEdit* field, const QString& text) {
  field->setFocus();
  field->selectAll();
  if (text.isEmpty())
    QTest::keyClick(field, Qt::Key_Delete);
  else
    QTest::keyClicks(field, text);
}

struct Fixture {
  FakeHost host;
  TImprForm form{host};
  ScriptedPrompts prompts;
  QTemporaryDir folder;

  Fixture(int w, int h) {
    host.bitmap = test::solidBitmap(w, h, QColor(30, 90, 200));
    host.fileName = folder.filePath(QStringLiteral("vacances.png"));
    form.SetPrinter(TImprForm::MakePdfPrinter());
  }
  void show() {
    form.FormShow();
    form.show();
    form.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&form));
  }
  // The PDF file name the save dialog will give.
  QString answerPdfName(const QString& name = QStringLiteral("page.pdf")) {
    const QString path = folder.filePath(name);
    prompts.saveReplies.push_back({true, path.toStdString()});
    return path;
  }
};

}  // namespace

class TestImprForm : public QObject {
  Q_OBJECT

 private slots:
  void init() { QLocale::setDefault(QLocale(QLocale::French, QLocale::France)); }

  void controls() {
    Fixture f(300, 200);
    QCOMPARE(f.form.windowTitle(), QString("Imprimer"));
    QCOMPARE(f.form.size(), QSize(489, 393));
    QCOMPARE(f.form.CBCentrer->text(), QString("Centrer dans la page"));
    QCOMPARE(f.form.CBAjuster->text(), QString("Utiliser toute la page"));
    QCOMPARE(f.form.GBTaille->title(), QString("Taille de l'image (cm) "));
    QCOMPARE(f.form.GBMarges->title(), QString(" Marges (cm) "));
    QCOMPARE(f.form.CBContours->text(), QString("Imprimer uniquement les contours"));
    QCOMPARE(f.form.CBTraits->text(), QString("Traits de coupe"));
    QCOMPARE(f.form.BConfigurer->text(), QString("Configurer..."));
    QCOMPARE(f.form.SECopies->Value(), 1);
    QCOMPARE(f.form.SECopies->MaxValue(), 10);
    QCOMPARE(f.form.SEL->MaxValue(), 1000.0);
    QCOMPARE(f.form.SEL->MaxLength(), 5);
    QCOMPARE(f.form.ScrollBarZoom->minimum(), 1);
    QCOMPARE(f.form.ScrollBarZoom->pageStep(), 4);
    QCOMPARE(f.form.ScrollBarZoom->geometry(), QRect(265, 80, 209, 15));
    QCOMPARE(f.form.BImprimer->geometry(), QRect(264, 352, 102, 27));
    QVERIFY(f.form.PrintsToPdfFile());
  }

  void wideImageTurnsThePageToLandscape() {
    Fixture f(3000, 2000);
    // A4 portrait before showing.
    f.form.Printer().setPageOrientation(QPageLayout::Portrait);
    QVERIFY(f.form.Printer().width() < f.form.Printer().height());
    f.show();
    QCOMPARE(f.form.Printer().pageLayout().orientation(), QPageLayout::Landscape);
    const TPageMetrics& page = f.form.Page();
    QVERIFY(page.Landscape());
    QCOMPARE(page.PageWidth, f.form.Printer().width());
    QCOMPARE(page.PageWidthCm, f.form.Printer().widthMM() / 10.0);
    QCOMPARE(page.PageWidthCm, 29.0);  // A4 less the PDF printer's margins, whole millimetres
    QCOMPARE(page.PageHeightCm, 20.3);
    QCOMPARE(f.form.LTaille->text(), QString("29,0 cm x 20,3 cm"));
    QCOMPARE(f.form.LImprimante->text(), QString("Imprimante : Fichier PDF"));
    QCOMPARE(f.form.Preview().PreviewWidth, 225);
    QCOMPARE(f.form.LTaille->geometry().top(), f.form.Preview().PreviewHeight + 22);
    QCOMPARE(f.form.PrinterZoom().Bounds(), QRect(0, 0, page.PageWidth, page.PageHeight));
  }

  void squareImagePrintsLandscapeAndTallPortrait() {
    Fixture square(500, 500);
    square.show();
    QCOMPARE(square.form.Printer().pageLayout().orientation(), QPageLayout::Landscape);
    QVERIFY(square.form.Page().Landscape());

    Fixture tall(500, 501);
    tall.show();
    QCOMPARE(tall.form.Printer().pageLayout().orientation(), QPageLayout::Portrait);
    QVERIFY(!tall.form.Page().Landscape());
    QCOMPARE(tall.form.Preview().PreviewHeight, 225);
  }

  void freshLayoutOnShowing() {
    Fixture f(3000, 2000);
    f.show();
    TImprForm& form = f.form;
    const TPageMetrics& page = form.Page();
    const double fit = std::min(double(page.PageWidth) / 3000, double(page.PageHeight) / 2000);
    QVERIFY(form.CBCentrer->isChecked());
    QVERIFY(!form.CBAjuster->isChecked());
    QVERIFY(form.GBTaille->isEnabled());
    QVERIFY(!form.GBMarges->isEnabled());
    QCOMPARE(form.ScrollBarZoom->maximum(), int(std::trunc(fit * 10)));
    QCOMPARE(form.PrintFactor(), fit * 0.8);
    QCOMPARE(form.PrinterZoom().Zoom(), fit * 0.8);
    QCOMPARE(form.ScrollBarZoom->value(), qRound(fit * 8));
    QCOMPARE(form.LabelZoom->text(),
             QString("Réduire/Agrandir à %1 %").arg(form.ScrollBarZoom->value() * 10));
    // Centred in the printable area, margins shown from its edge.
    const TImageZoom& z = form.PrinterZoom();
    QCOMPARE(z.Left(), (page.PageWidth - z.DrawnWidth()) / 2);
    QCOMPARE(z.Top(), (page.PageHeight - z.DrawnHeight()) / 2);
    QCOMPARE(form.SEX->text(), formatFloat(DeviceToCm(page, z.Left()), "0.00", ','));
    QCOMPARE(form.SEL->text(), formatFloat(DeviceToCm(page, z.DrawnWidth()), "0.00", ','));
    QCOMPARE(form.SEH->text(), formatFloat(DeviceToCm(page, z.DrawnHeight()), "0.00", ','));
    // The preview mirrors it at PreviewScale, centred on the page picture.
    const TImageZoom& p = form.PreviewZoom();
    QCOMPARE(p.Bounds(), form.PreviewRect());
    QCOMPARE(p.Zoom(), form.Preview().PreviewScale * form.PrintFactor());
    QCOMPARE(p.Left(), 16 + (form.Preview().PreviewWidth - p.DrawnWidth()) / 2);
    const TResolution r = ShowResolution(3000, 2000, form.SEL->Value(), form.SEH->Value());
    QCOMPARE(form.LblResolution->text(), resolutionText(r));
    QVERIFY(form.BImprimer->hasFocus());
  }

  void zoomBarSetsTheFactor() {
    Fixture f(3000, 2000);
    f.show();
    f.form.ScrollBarZoom->setValue(20);
    QCOMPARE(f.form.PrintFactor(), 2.0);
    QCOMPARE(f.form.LabelZoom->text(), QString("Réduire/Agrandir à 200 %"));
    QCOMPARE(f.form.PrinterZoom().DrawnWidth(), 6000);
    QCOMPARE(f.form.SEL->Value(), std::round(DeviceToCm(f.form.Page(), 6000) * 100) / 100);
    // Still centred.
    QCOMPARE(f.form.PrinterZoom().Left(), (f.form.Page().PageWidth - 6000) / 2);
  }

  void sizeFieldsKeepTheProportions() {
    Fixture f(3000, 2000);
    f.show();
    typeInto(f.form.SEL, "15");
    QCOMPARE(f.form.SEH->text(), QString("10,00"));
    QVERIFY(f.form.SizePending());
    typeInto(f.form.SEH, "4");
    QCOMPARE(f.form.SEL->text(), QString("6,00"));
    // No sign can be typed.
    typeInto(f.form.SEH, "-3");
    QCOMPARE(f.form.SEH->text(), QString("3"));
  }

  void okAppliesTheTypedWidth() {
    Fixture f(3000, 2000);
    f.show();
    typeInto(f.form.SEL, "15");
    f.form.BOkTaille->click();
    QVERIFY(!f.form.SizePending());
    const TPageMetrics& page = f.form.Page();
    QCOMPARE(f.form.PrintFactor(), 15.0 / DeviceToCm(page, 3000));
    QVERIFY(std::abs(f.form.PrinterZoom().DrawnWidth() - CmToDevice(page, 15)) <= 1);
    // The typed values stay as typed.
    QCOMPARE(f.form.SEL->text(), QString("15"));
    QCOMPARE(f.form.LblResolution->text(), resolutionText(ShowResolution(3000, 2000, 15, 10)));
  }

  void typedWidthCountsWithoutOk() {
    Fixture f(3000, 2000);
    f.show();
    typeInto(f.form.SEL, "12");
    QVERIFY(f.form.SizePending());
    f.answerPdfName();
    f.form.BImprimer->click();
    QCOMPARE(f.form.result(), int(QDialog::Accepted));
    QVERIFY(std::abs(DeviceToCm(f.form.Page(), f.form.PrinterZoom().DrawnWidth()) - 12.0) < 0.01);
    QVERIFY(!f.form.SizePending());
    // The bitmap stays with the printer side for PrintPage; the preview lets it go.
    QVERIFY(f.form.PrinterZoom().Bitmap() == &f.host.bitmap);
    QVERIFY(f.form.PreviewZoom().Bitmap() == nullptr);
  }

  void widthOutOfRangeWarnsAndSelects() {
    Fixture f(3000, 2000);
    f.show();
    typeInto(f.form.SEL, "0.5");
    QTest::keyClick(f.form.SEL, Qt::Key_Return);
    QCOMPARE(f.prompts.messages.size(), std::size_t(1));
    const auto& m = f.prompts.messages[0];
    QCOMPARE(m.kind, MessageKind::mkWarning);
    QCOMPARE(m.caption, std::string("Avertissement"));
    QCOMPARE(QString::fromStdString(m.text),
             QString("La largeur doit être comprise entre 1,00 et 29,00"));
    QVERIFY(f.form.SEL->hasFocus());
    QCOMPARE(f.form.SEL->selectedText(), f.form.SEL->text());
    QCOMPARE(f.form.SEL->text(), QString("0,50"));  // Enter normalised the text
    QVERIFY(f.form.isVisible());
  }

  void emptyFieldIsReportedUnlessFillingThePage() {
    Fixture f(3000, 2000);
    f.show();
    typeInto(f.form.SECopies, "");
    f.form.BImprimer->click();
    QCOMPARE(f.prompts.messages.size(), std::size_t(1));
    QCOMPARE(QString::fromStdString(f.prompts.messages[0].text),
             QString("Renseignez tous les champs avant de continuer !"));
    QVERIFY(f.form.SECopies->hasFocus());
    QVERIFY(f.form.isVisible());

    f.form.CBAjuster->setChecked(true);
    QVERIFY(!f.form.GBTaille->isEnabled());
    QVERIFY(!f.form.GBMarges->isEnabled());
    QVERIFY(!f.form.ScrollBarZoom->isEnabled());
    QVERIFY(!f.form.CBCentrer->isEnabled());
    QVERIFY(f.form.CBCentrer->isChecked());
    // Filling the page: the image fits the printable area exactly.
    const TImageZoom& z = f.form.PrinterZoom();
    QVERIFY(z.DrawnWidth() == f.form.Page().PageWidth ||
            z.DrawnHeight() == f.form.Page().PageHeight);
    f.answerPdfName();
    f.form.BImprimer->click();
    QCOMPARE(f.prompts.messages.size(), std::size_t(1));
    QCOMPARE(f.form.result(), int(QDialog::Accepted));
    QCOMPARE(f.form.Printer().copyCount(), 1);
  }

  void marginsPlaceTheImage() {
    Fixture f(3000, 2000);
    f.show();
    f.form.CBCentrer->setChecked(false);
    QVERIFY(f.form.GBMarges->isEnabled());
    typeInto(f.form.SEX, "2");
    typeInto(f.form.SEY, "1.5");
    QVERIFY(f.form.MarginsPending());
    QTest::keyClick(f.form.SEY, Qt::Key_Enter);
    QVERIFY(!f.form.MarginsPending());
    const TPageMetrics& page = f.form.Page();
    const TImageZoom& z = f.form.PrinterZoom();
    QCOMPARE(z.Left(), CmToDevice(page, 2.0));
    QCOMPARE(z.Top(), CmToDevice(page, 1.5));
    QCOMPARE(z.Alignment(), zaManual);
    const double scale = f.form.Preview().PreviewScale;
    QCOMPARE(f.form.PreviewZoom().Left(), qRound(z.Left() * scale) + 16);
    QCOMPARE(f.form.PreviewZoom().Top(), qRound(z.Top() * scale) + 16);

    // Beyond the largest left margin for the size applied.
    typeInto(f.form.SEX, "25");
    f.form.BOkMarges->click();
    QCOMPARE(f.prompts.messages.size(), std::size_t(1));
    const double leftMax = page.PageWidthCm - DeviceToCm(page, z.DrawnWidth());
    QCOMPARE(QString::fromStdString(f.prompts.messages[0].text),
             QString("La marge de gauche doit être inférieure ou égale à %1")
                 .arg(QLocale().toString(leftMax, 'f', 2)));
    QVERIFY(f.form.SEX->hasFocus());
    QCOMPARE(z.Left(), CmToDevice(page, 2.0));
  }

  void escapeInAFieldCancels() {
    Fixture f(300, 200);
    f.show();
    QTest::keyClick(f.form.SEH, Qt::Key_Escape);
    QCOMPARE(f.form.result(), int(QDialog::Rejected));
    QVERIFY(!f.form.isVisible());
    QVERIFY(f.form.PrinterZoom().Bitmap() == nullptr);
    QVERIFY(f.form.PreviewZoom().Bitmap() == nullptr);
  }

  // "Imprimer" is the default button: Enter after typing a copy count prints; Esc still cancels.
  void enterPrintsEscapeCancels() {
    Fixture f(300, 200);
    f.show();
    typeInto(f.form.SECopies, QStringLiteral("3"));
    f.answerPdfName();
    QTest::keyClick(f.form.SECopies, Qt::Key_Return);
    QCOMPARE(f.form.result(), int(QDialog::Accepted));
    QCOMPARE(f.form.Printer().copyCount(), 3);

    f.show();
    typeInto(f.form.SECopies, QStringLiteral("2"));
    QTest::keyClick(f.form.SECopies, Qt::Key_Escape);
    QCOMPARE(f.form.result(), int(QDialog::Rejected));
    QVERIFY(!f.form.isVisible());
  }

  void checkBoxCaptionsAreShownWhole() {
    Fixture f(300, 200);
    f.show();
    for (QCheckBox* box :
         {f.form.CBCentrer, f.form.CBAjuster, f.form.CBContours, f.form.CBTraits}) {
      QVERIFY2(box->width() >= box->sizeHint().width(), qPrintable(box->text()));
      QVERIFY2(box->geometry().right() < f.form.width(), qPrintable(box->text()));
    }
  }

  void outlineClearedAtEachShowingCutMarksKept() {
    Fixture f(300, 200);
    f.show();
    f.form.CBContours->setChecked(true);
    f.form.CBTraits->setChecked(true);
    f.form.SECopies->SetValue(3);
    f.form.reject();
    f.show();
    QVERIFY(!f.form.CBContours->isChecked());
    QVERIFY(f.form.CBTraits->isChecked());
    QCOMPARE(f.form.SECopies->Value(), 3);
  }

  void acceptingSetsTitleCopiesAndPdfName() {
    Fixture f(300, 200);
    f.show();
    f.form.SECopies->SetValue(4);
    const QString pdf = f.answerPdfName(QStringLiteral("sortie.pdf"));
    f.form.BImprimer->click();
    QCOMPARE(f.form.result(), int(QDialog::Accepted));
    QCOMPARE(f.prompts.saveRequests.size(), std::size_t(1));
    const SaveImageRequest& request = f.prompts.saveRequests[0];
    QCOMPARE(QString::fromStdString(request.proposedName),
             f.folder.filePath(QStringLiteral("vacances")));
    QCOMPARE(request.defaultExtension, std::string(".pdf"));
    QCOMPARE(f.form.Printer().outputFileName(), pdf);
    QCOMPARE(f.form.Printer().docName(), QString("vacances.png"));
    QCOMPARE(f.form.Printer().copyCount(), 4);
  }

  void noPdfNameKeepsTheDialogOpen() {
    Fixture f(300, 200);
    f.show();
    f.form.BImprimer->click();  // the save dialog is cancelled
    QCOMPARE(f.prompts.saveRequests.size(), std::size_t(1));
    QVERIFY(f.form.isVisible());
    f.form.reject();
  }

  void setupRecomputesEverything() {
    Fixture f(3000, 2000);
    f.show();
    f.form.ScrollBarZoom->setValue(10);
    f.form.CBCentrer->setChecked(false);
    const int oldPreviewHeight = f.form.Preview().PreviewHeight;
    f.form.SetSetupDialog([](QPrinter& printer, QWidget*) {
      printer.setPageSize(QPageSize(QPageSize::A5));
      printer.setPageOrientation(QPageLayout::Portrait);
    });
    f.form.BConfigurer->click();
    // The orientation chosen in the set-up stays.
    QCOMPARE(f.form.Printer().pageLayout().orientation(), QPageLayout::Portrait);
    const TPageMetrics& page = f.form.Page();
    QVERIFY(!page.Landscape());
    QCOMPARE(page.PageWidth, f.form.Printer().width());
    QCOMPARE(page.PageHeightCm, f.form.Printer().heightMM() / 10.0);
    QCOMPARE(f.form.Preview().PreviewHeight, 225);
    QVERIFY(f.form.Preview().PreviewWidth < 225);
    QVERIFY(oldPreviewHeight < 225);  // it was a landscape page
    QCOMPARE(f.form.LTaille->text(), pageSizeText(page, QLocale()));
    // Reset: centred, 80 % of the new page-filling zoom.
    const double fit = std::min(double(page.PageWidth) / 3000, double(page.PageHeight) / 2000);
    QVERIFY(f.form.CBCentrer->isChecked());
    QCOMPARE(f.form.PrintFactor(), fit * 0.8);
    QCOMPARE(f.form.PrinterZoom().Left(), (page.PageWidth - f.form.PrinterZoom().DrawnWidth()) / 2);
    QCOMPARE(f.form.PrinterZoom().Bounds(), QRect(0, 0, page.PageWidth, page.PageHeight));
    QCOMPARE(f.form.PreviewZoom().Bounds(), f.form.PreviewRect());
  }

  void hugeImageKeepsTheDialogUsable() {
    // More than ten times the printable width (on a 72 dpi printer): the page-filling zoom is
    // below 0.1.
    Fixture f(9000, 500);
    auto printer = TImprForm::MakePdfPrinter();
    printer->setResolution(72);
    f.form.SetPrinter(std::move(printer));
    f.show();
    TImprForm& form = f.form;
    QVERIFY(form.PrinterZoom().Zoom() < 0.1);
    QCOMPARE(form.ScrollBarZoom->maximum(), 1);
    QVERIFY(!form.ScrollBarZoom->isEnabled());
    QCOMPARE(form.LabelZoom->text(), zoomLabelTextForFactor(form.PrintFactor()));
    // Filling the page and back leaves the bar disabled.
    form.CBAjuster->setChecked(true);
    form.CBAjuster->setChecked(false);
    QVERIFY(!form.ScrollBarZoom->isEnabled());
    QVERIFY(form.GBTaille->isEnabled());
    // A typed size still works.
    typeInto(form.SEL, "20");
    form.BOkTaille->click();
    QVERIFY(f.prompts.messages.empty());
    QVERIFY(std::abs(DeviceToCm(form.Page(), form.PrinterZoom().DrawnWidth()) - 20) < 0.01);
    f.answerPdfName();
    form.BImprimer->click();
    QCOMPARE(form.result(), int(QDialog::Accepted));
  }

  void previewShowsTheImageOnTheWhitePage() {
    Fixture f(3000, 2000);
    f.show();
    const QImage shot = f.form.grab().toImage();
    const QRect page = f.form.PreviewRect();
    const QRect image = f.form.PreviewZoom().ImageRect();
    QCOMPARE(QColor(shot.pixel(image.center())), QColor(30, 90, 200));
    QCOMPARE(QColor(shot.pixel(page.left() + 1, page.top() + 1)), QColor(Qt::white));
    QCOMPARE(QColor(shot.pixel(page.right() + 2, page.bottom() + 2)), QColor(Qt::black));
    QCOMPARE(QColor(shot.pixel(image.left() - 2, image.center().y())), QColor(Qt::white));
    // Filling the page: the image reaches the page picture's sides.
    f.form.CBAjuster->setChecked(true);
    const QImage filled = f.form.grab().toImage();
    QCOMPARE(QColor(filled.pixel(page.left(), page.center().y())), QColor(30, 90, 200));
    QCOMPARE(QColor(filled.pixel(page.right(), page.center().y())), QColor(30, 90, 200));
  }
};

QTEST_MAIN(TestImprForm)
#include "test_impr_form.moc"
