#include "dialogs/impr.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QPageSetupDialog>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStyle>
#include <algorithm>
#include <stdexcept>

#include "controls/spin2.h"
#include "print/banded_draw.h"
#include "print/print_host.h"
#include "print/print_job.h"
#include "prompts/prompts.h"

namespace vorlino {
namespace {

constexpr int kClientWidth = 489;
constexpr int kClientHeight = 393;

// Qt's own set-up dialogs: the page set-up for a PDF file printer, the printer dialog (printer,
// paper, orientation) for a print queue. Confirming or cancelling makes no difference to the
// caller, which reads the printer's state afterwards.
void runPlatformSetupDialog(QPrinter& printer, QWidget* parent) {
  if (printer.outputFormat() == QPrinter::PdfFormat) {
    QPageSetupDialog dialog(&printer, parent);
    dialog.exec();
  } else {
    QPrintDialog dialog(&printer, parent);
    dialog.setWindowTitle(
        QCoreApplication::translate("vorlino::TImprForm", "Configuration de l'impression"));
    dialog.setOptions(QAbstractPrintDialog::PrintShowPageSize);
    dialog.exec();
  }
}

// Object names let other windows and the tests find the controls.
template <class Widget>
Widget* Named(Widget* widget, const char* name) {
  widget->setObjectName(QLatin1String(name));
  return widget;
}

}  // namespace

// ---- construction -------------------------------------------------------------------------------

TImprForm::TImprForm(TPrintHost& host, QWidget* parent)
    : QDialog(parent),
      host_(host),
      printer_(MakeDefaultPrinter()),
      setupDialog_(&runPlatformSetupDialog) {
  setObjectName(QStringLiteral("ImprForm"));
  setWindowTitle(tr("Imprimer"));
  QFont dialogFont = font();
  dialogFont.setPointSize(8);
  setFont(dialogFont);
  setFixedSize(kClientWidth, kClientHeight);
  CreateControls();
}

TImprForm::~TImprForm() = default;

TFloatSpinEdit* TImprForm::AddCmField(QGroupBox* group, const QString& label, int left) {
  auto* caption = new QLabel(label, group);
  caption->setGeometry(left, 19, 65, 14);
  auto* field = new TFloatSpinEdit(group);
  field->setGeometry(left, 35, 65, 21);
  field->SetFormat(QStringLiteral("0.00"));
  field->SetIncrement(1.0);
  field->SetMaxLength(5);
  field->SetMaxValue(1000.0);
  field->SetShowUpDown(true);
  field->installEventFilter(this);
  caption->setBuddy(field);
  return field;
}

void TImprForm::CreateControls() {
  LTaille = Named(new QLabel(this), "LTaille");
  LTaille->setAlignment(Qt::AlignHCenter | Qt::AlignTop);

  LCopies = Named(new QLabel(tr("Copies :"), this), "LCopies");
  LCopies->move(16, 296);
  SECopies = Named(new TSpinEdit2(this), "SECopies");
  SECopies->setGeometry(16, 312, 65, 21);
  SECopies->SetMinValue(1);
  SECopies->SetMaxValue(10);
  SECopies->SetValue(1);
  LCopies->setBuddy(SECopies);

  BConfigurer = Named(new QPushButton(style()->standardIcon(QStyle::SP_FileDialogDetailedView),
                                      tr("Configurer..."), this),
                      "BConfigurer");
  BConfigurer->setGeometry(16, 352, 102, 27);
  // Where the page goes, above the button that changes it.
  LImprimante = Named(new QLabel(this), "LImprimante");
  LImprimante->setGeometry(16, 336, 225, 14);

  CBCentrer = Named(new QCheckBox(tr("Centrer dans la page"), this), "CBCentrer");
  CBCentrer->setGeometry(264, 16, 177, 17);
  CBAjuster = Named(new QCheckBox(tr("Utiliser toute la page"), this), "CBAjuster");
  CBAjuster->setGeometry(264, 32, 185, 17);

  LabelZoom = Named(new QLabel(tr("Réduire/Agrandir"), this), "LabelZoom");
  LabelZoom->setGeometry(264, 62, 211, 15);
  ScrollBarZoom = Named(new QScrollBar(Qt::Horizontal, this), "ScrollBarZoom");
  ScrollBarZoom->setGeometry(265, 80, 209, 15);
  ScrollBarZoom->setRange(kZoomBarMinimum, 100);
  ScrollBarZoom->setValue(10);
  ScrollBarZoom->setPageStep(4);
  ScrollBarZoom->setSingleStep(1);

  LblResolution = Named(new QLabel(tr("Résolution"), this), "LblResolution");
  LblResolution->setGeometry(264, 108, 211, 15);

  GBTaille = Named(new QGroupBox(tr("Taille de l'image (cm) "), this), "GBTaille");
  GBTaille->setGeometry(264, 136, 211, 68);
  SEL = Named(AddCmField(GBTaille, tr("Largeur :"), 10), "SEL");
  SEH = Named(AddCmField(GBTaille, tr("Hauteur :"), 80), "SEH");
  BOkTaille = Named(new QPushButton(tr("Ok"), GBTaille), "BOkTaille");
  BOkTaille->setGeometry(152, 34, 47, 22);

  GBMarges = Named(new QGroupBox(tr(" Marges (cm) "), this), "GBMarges");
  GBMarges->setGeometry(264, 212, 211, 68);
  SEX = Named(AddCmField(GBMarges, tr("Gauche :"), 10), "SEX");
  SEY = Named(AddCmField(GBMarges, tr("Haut :"), 80), "SEY");
  BOkMarges = Named(new QPushButton(tr("Ok"), GBMarges), "BOkMarges");
  BOkMarges->setGeometry(152, 34, 47, 22);

  CBContours = Named(new QCheckBox(tr("Imprimer uniquement les contours"), this), "CBContours");
  // As wide as its caption needs: the Linux fonts are wider than the one the layout was made for.
  CBContours->setGeometry(264, 296, std::max(209, CBContours->sizeHint().width()), 17);
  CBTraits = Named(new QCheckBox(tr("Traits de coupe"), this), "CBTraits");
  CBTraits->setGeometry(264, 312, 209, 17);

  BImprimer = Named(
      new QPushButton(style()->standardIcon(QStyle::SP_DialogApplyButton), tr("Imprimer"), this),
      "BImprimer");
  BImprimer->setGeometry(264, 352, 102, 27);
  // Enter prints from any field that does not use it itself; Esc cancels (QDialog's own).
  BImprimer->setDefault(true);
  BAnnuler = Named(new QPushButton(tr("Annuler"), this), "BAnnuler");
  BAnnuler->setGeometry(372, 352, 102, 27);

  connect(CBCentrer, &QCheckBox::toggled, this, &TImprForm::CBCentrerClick);
  connect(CBAjuster, &QCheckBox::toggled, this, &TImprForm::CBAjusterClick);
  connect(ScrollBarZoom, &QScrollBar::valueChanged, this, [this] {
    if (!settingZoomBar_) ScrollBarZoomScroll();
  });
  connect(SEL, &TFloatSpinEdit::OnChange, this, &TImprForm::SELChange);
  connect(SEH, &TFloatSpinEdit::OnChange, this, &TImprForm::SEHChange);
  connect(SEX, &TFloatSpinEdit::OnChange, this, &TImprForm::SEXYChange);
  connect(SEY, &TFloatSpinEdit::OnChange, this, &TImprForm::SEXYChange);
  connect(BOkTaille, &QPushButton::clicked, this, &TImprForm::BOkTailleClick);
  connect(BOkMarges, &QPushButton::clicked, this, &TImprForm::BOkMargesClick);
  connect(BConfigurer, &QPushButton::clicked, this, &TImprForm::BConfigurerClick);
  connect(BImprimer, &QPushButton::clicked, this, &TImprForm::BImprimerClick);
  connect(BAnnuler, &QPushButton::clicked, this, &QDialog::reject);
}

// ---- showing ------------------------------------------------------------------------------------

bool TImprForm::ShowModal() {
  try {
    FormShow();
  } catch (...) {
    // The dialog is not shown: it keeps no reference to the bitmap.
    previewZoom_.SetBitmap(nullptr);
    printerZoom_.SetBitmap(nullptr);
    throw;
  }
  return exec() == QDialog::Accepted;
}

void TImprForm::FormShow() {
  linking_ = true;
  // The outline-only choice never carries over to the next printing; the cut marks do.
  CBContours->setChecked(false);

  const Bitmap& bitmap = host_.WorkingBitmap();
  previewZoom_.SetBitmap(&bitmap);
  printerZoom_.SetBitmap(&bitmap);
  // The same bitmap object may have changed size since the last showing.
  previewZoom_.Recompute();
  printerZoom_.Recompute();
  imageWidth_ = bitmap.width();
  imageHeight_ = bitmap.height();
  aspectRatio_ = imageHeight_ > 0 ? double(imageWidth_) / imageHeight_ : 1.0;

  // A square image prints landscape. The page is measured after turning it.
  printer_->setPageOrientation(imageWidth_ >= imageHeight_ ? QPageLayout::Landscape
                                                           : QPageLayout::Portrait);
  ReadPageMetrics();
  printerZoom_.SetBounds(QRect(0, 0, page_.PageWidth, page_.PageHeight));

  ResetLayout();
  LayoutPreviewPage();
  ApplyPrintZoom();
  ApplyPosition();
  BImprimer->setFocus();
}

void TImprForm::ReadPageMetrics() {
  // The printable area, in device pixels and in whole millimetres.
  TPageMetrics page;
  page.PageWidth = printer_->width();
  page.PageHeight = printer_->height();
  page.PageWidthCm = printer_->widthMM() / 10.0;
  page.PageHeightCm = printer_->heightMM() / 10.0;
  const QString target = tr("Imprimante : %1").arg(PrinterTargetText());
  LImprimante->setText(LImprimante->fontMetrics().elidedText(target, Qt::ElideRight, 225));
  LImprimante->setToolTip(target);
  if (page.PageWidth <= 0 || page.PageHeight <= 0 || page.PageWidthCm <= 0 ||
      page.PageHeightCm <= 0)
    throw std::runtime_error(
        QT_TRANSLATE_NOOP("CoreTexts", "L'imprimante n'indique pas la taille de sa page."));
  page_ = page;
}

void TImprForm::ResetLayout() {
  CBCentrer->setChecked(true);
  CBAjuster->setChecked(false);
  GBTaille->setEnabled(true);
  GBMarges->setEnabled(false);

  printerZoom_.SetZoomMode(zmFitInside);
  const double fit = printerZoom_.Zoom();
  zoomBarUsable_ = zoomBarUsable(fit);
  {
    const QSignalBlocker quiet(ScrollBarZoom);
    ScrollBarZoom->setMaximum(zoomBarMaximum(fit));
  }
  UpdateZoomBarState();
  // The image starts at 80 % of the size that fills the page.
  printFactor_ = fit * 0.8;
  printerZoom_.SetZoom(printFactor_);
  ShowZoom();
}

void TImprForm::SetZoomBarPosition(int position) {
  settingZoomBar_ = true;
  ScrollBarZoom->setValue(position);
  settingZoomBar_ = false;
}

void TImprForm::UpdateZoomBarState() {
  ScrollBarZoom->setEnabled(zoomBarUsable_ && !CBAjuster->isChecked());
}

void TImprForm::ShowZoom() {
  SetZoomBarPosition(
      zoomBarPosition(printFactor_, ScrollBarZoom->minimum(), ScrollBarZoom->maximum()));
  // A bar that cannot show any zoom fitting the page does not speak for the printed zoom.
  LabelZoom->setText(zoomBarUsable_ ? zoomLabelText(ScrollBarZoom->value())
                                    : zoomLabelTextForFactor(printFactor_));
}

void TImprForm::ScrollBarZoomScroll() {
  const int position = ScrollBarZoom->value();
  LabelZoom->setText(zoomLabelText(position));
  printFactor_ = position * 10 / 100.0;
  ApplyPrintZoom();
  RepaintPreview();
}

void TImprForm::ApplyPrintZoom() {
  if (CBAjuster->isChecked()) {
    previewZoom_.SetZoomMode(zmFitInside);
    printerZoom_.SetZoomMode(zmFitInside);
    printFactor_ = printerZoom_.Zoom();
    ShowZoom();
  } else {
    printerZoom_.SetZoom(printFactor_);
    previewZoom_.SetZoom(preview_.PreviewScale * printFactor_);
  }
  if (linking_) {
    linking_ = false;
    SEL->SetValue(DeviceToCm(page_, printerZoom_.DrawnWidth()));
    SEH->SetValue(DeviceToCm(page_, printerZoom_.DrawnHeight()));
    linking_ = true;
  }
  ShowResolution();
  if (CBCentrer->isChecked()) ApplyPosition();
}

void TImprForm::ApplyPosition() {
  if (CBCentrer->isChecked()) {
    previewZoom_.SetAlignment(zaCenter);
    printerZoom_.SetAlignment(zaCenter);
    // Margins are measured from the edge of the printable area, not of the paper.
    SEX->SetValue(DeviceToCm(page_, printerZoom_.Left()));
    SEY->SetValue(DeviceToCm(page_, printerZoom_.Top()));
  } else {
    printerZoom_.SetLeft(CmToDevice(page_, SEX->Value()));
    printerZoom_.SetTop(CmToDevice(page_, SEY->Value()));
    previewZoom_.SetLeft(roundHalfEven(printerZoom_.Left() * preview_.PreviewScale) +
                         kPreviewOrigin);
    previewZoom_.SetTop(roundHalfEven(printerZoom_.Top() * preview_.PreviewScale) + kPreviewOrigin);
  }
}

void TImprForm::ShowResolution() {
  LblResolution->setText(resolutionText(
      vorlino::ShowResolution(imageWidth_, imageHeight_, SEL->Value(), SEH->Value())));
}

QRect TImprForm::PreviewRect() const {
  return QRect(kPreviewOrigin, kPreviewOrigin, preview_.PreviewWidth, preview_.PreviewHeight);
}

void TImprForm::LayoutPreviewPage() {
  preview_ = vorlino::LayoutPreviewPage(page_);
  previewZoom_.SetBounds(PreviewRect());
  LTaille->setText(pageSizeText(page_, QLocale()));
  LTaille->setGeometry(kPreviewOrigin, preview_.PreviewHeight + 22, preview_.PreviewWidth,
                       LTaille->sizeHint().height());
  update();
}

// ---- painting -----------------------------------------------------------------------------------

void TImprForm::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  // The page with its shadow, 3 pixels right and down. The area around it (228 x 228 at most) is
  // the dialog's background, erased by every repaint.
  const QRect page = PreviewRect();
  painter.fillRect(page.translated(kShadowOffset, kShadowOffset), Qt::black);
  painter.fillRect(page, Qt::white);
  // Drawing stays on the page picture: an image placed partly off the page shows only its part
  // on the page.
  painter.setClipRect(page);
  TImageZoom view = previewZoom_;
  view.SetCanvas(&painter);
  view.SetBounds(previewZoom_.Bounds());
  view.Draw(false);
}

void TImprForm::RepaintPreview() {
  update(PreviewRect().adjusted(0, 0, kShadowOffset, kShadowOffset));
}

// ---- centring and filling -----------------------------------------------------------------------

void TImprForm::CBCentrerClick() {
  if (CBCentrer->isChecked()) {
    ApplyPosition();
    RepaintPreview();
  } else {
    // Nothing moves: the margins start from where the image is.
    previewZoom_.SetAlignment(zaManual);
    printerZoom_.SetAlignment(zaManual);
  }
  GBMarges->setEnabled(!CBCentrer->isChecked());
}

void TImprForm::CBAjusterClick() {
  const bool filling = CBAjuster->isChecked();
  if (filling) {
    CBCentrer->setChecked(true);
    ApplyPrintZoom();
    RepaintPreview();
  }
  CBCentrer->setEnabled(!filling);
  UpdateZoomBarState();
  LabelZoom->setEnabled(!filling);
  GBTaille->setEnabled(!filling);
}

// ---- size and margin fields ---------------------------------------------------------------------

void TImprForm::SELChange() {
  if (!linking_) return;
  linking_ = false;
  SEH->SetValue(SEL->Value() / aspectRatio_);
  linking_ = true;
  sizePending_ = true;
}

void TImprForm::SEHChange() {
  if (!linking_) return;
  linking_ = false;
  SEL->SetValue(SEH->Value() * aspectRatio_);
  linking_ = true;
  sizePending_ = true;
}

void TImprForm::BOkTailleClick() {
  if (CheckFieldsFilled() != 0 || CheckFieldRanges() != 0) return;
  ApplySize();
}

void TImprForm::ApplySize() {
  linking_ = false;
  // The typed size divided by the size the image would have at factor 1.
  if (page_.Landscape()) {
    const double natural = DeviceToCm(page_, imageWidth_);
    if (natural > 0) printFactor_ = SEL->Value() / natural;
  } else {
    const double natural = DeviceToCm(page_, imageHeight_);
    if (natural > 0) printFactor_ = SEH->Value() / natural;
  }
  ShowZoom();
  ApplyPrintZoom();
  RepaintPreview();
  linking_ = true;
  sizePending_ = false;
}

void TImprForm::SEXYChange() {
  marginsPending_ = true;
}

void TImprForm::BOkMargesClick() {
  if (CheckFieldsFilled() != 0 || CheckFieldRanges() != 0) return;
  ApplyMargins();
}

void TImprForm::ApplyMargins() {
  ApplyPosition();
  RepaintPreview();
  marginsPending_ = false;
}

bool TImprForm::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress) return QDialog::eventFilter(watched, event);
  auto* field = qobject_cast<TFloatSpinEdit*>(watched);
  if (field != SEL && field != SEH && field != SEX && field != SEY)
    return QDialog::eventFilter(watched, event);
  const auto* key = static_cast<QKeyEvent*>(event);
  // No sign can be typed.
  if (key->text() == QStringLiteral("+") || key->text() == QStringLiteral("-")) return true;
  if (key->key() == Qt::Key_Escape) {
    reject();
    return true;
  }
  if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
    // The value goes back through the field's format and limits, then the group's "Ok" acts.
    field->SetValue(field->Value());
    if (field == SEL || field == SEH)
      BOkTailleClick();
    else
      BOkMargesClick();
    return true;
  }
  return QDialog::eventFilter(watched, event);
}

// ---- checks -------------------------------------------------------------------------------------

int TImprForm::CheckFieldsFilled() {
  if (CBAjuster->isChecked()) return 0;
  QLineEdit* const fields[] = {SEL, SEH, SEX, SEY, SECopies};
  for (int i = 0; i < 5; ++i) {
    if (!fields[i]->text().isEmpty()) continue;
    prompts().message(MessageKind::mkWarning, "Avertissement",
                      QCoreApplication::translate("PrintLayout", kFillAllFields).toStdString(),
                      MessageButtons::mbOk);
    fields[i]->setFocus();
    return i + 1;
  }
  return 0;
}

int TImprForm::CheckFieldRanges() {
  if (CBAjuster->isChecked()) return 0;
  const TRangeCheck check =
      vorlino::CheckFieldRanges(page_, printerZoom_.DrawnWidth(), printerZoom_.DrawnHeight(),
                                SEL->Value(), SEH->Value(), SEX->Value(), SEY->Value(), QLocale());
  if (check.result == 0) return 0;
  TFloatSpinEdit* const fields[] = {SEL, SEH, SEX, SEY};
  WarnAndSelect(check.warning, fields[check.result - 1]);
  return check.result;
}

void TImprForm::WarnAndSelect(const QString& text, TFloatSpinEdit* field) {
  prompts().message(MessageKind::mkWarning, "Avertissement", text.toStdString(),
                    MessageButtons::mbOk);
  field->setFocus();
  field->selectAll();
}

// ---- set-up and accepting -----------------------------------------------------------------------

void TImprForm::BConfigurerClick() {
  if (setupDialog_) setupDialog_(*printer_, this);
  // Everything follows the printer's state now, orientation included: it is not chosen again.
  ReadPageMetrics();
  printerZoom_.SetBounds(QRect(0, 0, page_.PageWidth, page_.PageHeight));
  ResetLayout();
  LayoutPreviewPage();
  ApplyPrintZoom();
  ApplyPosition();
  update();
}

bool TImprForm::AskPdfFileName() {
  SaveImageRequest request;
  request.filter = tr("Document PDF").toStdString() + " (*.pdf)|*.pdf";
  request.filterIndex = 1;
  request.defaultExtension = ".pdf";
  QString proposed = printer_->outputFileName();
  if (proposed.isEmpty()) proposed = host_.CurrentFileName();
  if (!proposed.isEmpty()) {
    const QFileInfo file(proposed);
    request.proposedName = QFileInfo(file.dir(), file.completeBaseName()).filePath().toStdString();
  }
  const SaveImageReply reply = prompts().saveImage(request);
  if (!reply.accepted || reply.fileName.empty()) return false;
  QString name = QString::fromStdString(reply.fileName);
  if (QFileInfo(name).suffix().isEmpty()) name += QStringLiteral(".pdf");
  printer_->setOutputFileName(name);
  return true;
}

void TImprForm::BImprimerClick() {
  if (CheckFieldsFilled() != 0 || CheckFieldRanges() != 0) return;
  // Typed values count without pressing "Ok".
  if (sizePending_) ApplySize();
  if (marginsPending_) ApplyMargins();
  if (PrintsToPdfFile() && !AskPdfFileName()) return;
  printer_->setDocName(QFileInfo(host_.CurrentFileName()).fileName());
  printer_->setCopyCount(SECopies->Value());
  accept();
}

void TImprForm::hideEvent(QHideEvent* event) {
  previewZoom_.SetBitmap(nullptr);
  // An accepted layout keeps the bitmap for PrintPage.
  if (result() != QDialog::Accepted) printerZoom_.SetBitmap(nullptr);
  QDialog::hideEvent(event);
}

// ---- the page -----------------------------------------------------------------------------------

void TImprForm::PrintPage(TPrintJob& job) {
  // The bitmap is released however the page ends.
  struct ReleaseBitmap {
    TImageZoom& zoom;
    ~ReleaseBitmap() { zoom.SetBitmap(nullptr); }
  } release{printerZoom_};
  if (!printerZoom_.Bitmap() || !job.Begin()) return;

  QPainter& painter = job.Painter();
  if (CBContours->isChecked()) {
    // A frame whose stroke covers the image's outermost pixels, wide enough to see on paper.
    const double width = paperLineWidth(page_);
    const double inset = width / 2;
    painter.setPen(QPen(Qt::black, width, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRectF(printerZoom_.ImageRect()).adjusted(inset, inset, -inset, -inset));
  } else {
    // The program draws the page once; copies are the driver's.
    const TBandedDrawResult drawn =
        drawInBands(printerZoom_, painter, [&job] { return job.KeepResponsive(); });
    if (!drawn.complete) return;
  }
  if (CBTraits->isChecked() && job.KeepResponsive()) DrawCutMarks(painter);
}

void TImprForm::DrawCutMarks(QPainter& painter) {
  const int a = CmToDevice(page_, 0.8);
  const int b = CmToDevice(page_, 0.1);
  painter.setPen(QPen(Qt::black, paperLineWidth(page_), Qt::SolidLine, Qt::FlatCap));
  for (const QLine& line : cutMarkLines(printerZoom_.ImageRect(), a, b, aspectRatio_))
    painter.drawLine(QLineF(line).translated(0.5, 0.5));
}

}  // namespace vorlino
