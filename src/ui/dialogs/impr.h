// TImprForm: the print layout dialog, captioned "Imprimer". The user places the working bitmap on
// one printed page: size (zoom bar, width or height in centimetres, or the whole page), position
// (centred or margins in centimetres), copies, outline only, cut marks. A scaled picture of the
// printable area shows the result; the printed resolution is reported.
//
// Sizes and positions are worked out on PrinterZoom in printer pixels and mirrored onto
// PreviewZoom, the page picture, through PreviewScale. The dialog reads the working bitmap through
// its host when shown and never changes it. PrintPage draws the page of an accepted layout.
//
// The printer: the machine's default print queue when one is set; otherwise a PDF file printer on
// A4, whose file name "Imprimer" asks for (through the prompts interface) before accepting. The
// dialog shows which of the two the page goes to.
#pragma once

#include <QDialog>
#include <QPrinter>
#include <functional>
#include <memory>

#include "print/print_layout.h"
#include "view/img_zoom.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QScrollBar;

namespace vorlino {

class TFloatSpinEdit;
class TPrintHost;
class TPrintJob;
class TSpinEdit2;

class TImprForm : public QDialog {
  Q_OBJECT

 public:
  // The printer set-up dialog: changes the printer's settings or leaves them; its answer does not
  // matter. Tests install a scripted one.
  using SetupDialogFunction = std::function<void(QPrinter& printer, QWidget* parent)>;

  explicit TImprForm(TPrintHost& host, QWidget* parent = nullptr);
  ~TImprForm() override;

  TPrintHost& Host() const { return host_; }
  QPrinter& Printer() const { return *printer_; }
  // Replaces the printer (a print queue or a PDF file printer); only between showings.
  void SetPrinter(std::unique_ptr<QPrinter> printer);
  // A PDF printer on A4 at high resolution, writing the file named when printing.
  static std::unique_ptr<QPrinter> MakePdfPrinter();
  // The default print queue when one is set, otherwise MakePdfPrinter().
  static std::unique_ptr<QPrinter> MakeDefaultPrinter();
  bool PrintsToPdfFile() const;
  // Where the page goes: the queue's name, or "Fichier PDF".
  QString PrinterTargetText() const;
  void SetSetupDialog(SetupDialogFunction dialog) { setupDialog_ = std::move(dialog); }

  // Prepares the layout (FormShow) and runs the dialog; true when accepted.
  bool ShowModal();
  // Starts the document of an accepted layout and draws the page; the progress window ends or
  // abandons it. Does nothing when the job was cancelled before it began.
  void PrintPage(TPrintJob& job);

  // ---- event handlers ----
  void FormShow();
  void CBCentrerClick();
  void CBAjusterClick();
  void ScrollBarZoomScroll();
  void SELChange();
  void SEHChange();
  void BOkTailleClick();
  void SEXYChange();
  void BOkMargesClick();
  void BConfigurerClick();
  void BImprimerClick();

  // ---- layout steps ----
  void ReadPageMetrics();
  void ResetLayout();
  void ShowZoom();
  void ApplyPrintZoom();
  void ApplyPosition();
  void ShowResolution();
  void LayoutPreviewPage();
  // 0 when every field is filled, otherwise the position (1 to 5) of the first empty one.
  int CheckFieldsFilled();
  // 0 when every rule holds, otherwise the rule that failed (1 to 4).
  int CheckFieldRanges();

  // ---- state ----
  const TPageMetrics& Page() const { return page_; }
  int ImageWidth() const { return imageWidth_; }
  int ImageHeight() const { return imageHeight_; }
  double AspectRatio() const { return aspectRatio_; }
  double PrintFactor() const { return printFactor_; }
  const TPreviewLayout& Preview() const { return preview_; }
  bool Linking() const { return linking_; }
  bool SizePending() const { return sizePending_; }
  bool MarginsPending() const { return marginsPending_; }
  const TImageZoom& PreviewZoom() const { return previewZoom_; }
  const TImageZoom& PrinterZoom() const { return printerZoom_; }
  // The page picture's rectangle on the dialog.
  QRect PreviewRect() const;

  // ---- controls ----
  QLabel* LTaille;
  QLabel* LCopies;
  TSpinEdit2* SECopies;
  QPushButton* BConfigurer;
  QLabel* LImprimante;
  QCheckBox* CBCentrer;
  QCheckBox* CBAjuster;
  QLabel* LabelZoom;
  QScrollBar* ScrollBarZoom;
  QLabel* LblResolution;
  QGroupBox* GBTaille;
  TFloatSpinEdit* SEL;
  TFloatSpinEdit* SEH;
  QPushButton* BOkTaille;
  QGroupBox* GBMarges;
  TFloatSpinEdit* SEX;
  TFloatSpinEdit* SEY;
  QPushButton* BOkMarges;
  QCheckBox* CBContours;
  QCheckBox* CBTraits;
  QPushButton* BImprimer;
  QPushButton* BAnnuler;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void CreateControls();
  TFloatSpinEdit* AddCmField(QGroupBox* group, const QString& label, int left);
  void SetZoomBarPosition(int position);
  void UpdateZoomBarState();
  void RepaintPreview();
  void ApplySize();
  void ApplyMargins();
  // Asks for the PDF file's name; false when the user gives none.
  bool AskPdfFileName();
  // The warning box, then the field gets the focus with its whole text selected.
  void WarnAndSelect(const QString& text, TFloatSpinEdit* field);
  void DrawCutMarks(QPainter& painter);

  TPrintHost& host_;
  std::unique_ptr<QPrinter> printer_;
  SetupDialogFunction setupDialog_;

  TPageMetrics page_;
  int imageWidth_ = 0;
  int imageHeight_ = 0;
  double aspectRatio_ = 1;
  double printFactor_ = 1;
  TPreviewLayout preview_;
  bool linking_ = false;
  bool sizePending_ = false;
  bool marginsPending_ = false;
  bool zoomBarUsable_ = true;
  bool settingZoomBar_ = false;
  TImageZoom previewZoom_;
  TImageZoom printerZoom_;
};

}  // namespace vorlino
