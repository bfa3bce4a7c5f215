// The main window's shared command steps, opening, undo and redo, zoom and status.
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QLabel>
#include <QMimeData>
#include <QStatusBar>
#include <QTimer>
#include <QToolButton>
#include <QUrl>
#include <algorithm>

#include "app/core_texts.h"
#include "app/error_report.h"
#include "app/file_names.h"
#include "app/form_widgets.h"
#include "app/main_form.h"
#include "controls/color_editor.h"
#include "controls/spin2.h"
#include "imagefile/load_image.h"
#include "prompts/prompts.h"
#include "view/img_zoom.h"
#include "view/my_graphic.h"

namespace vorlino {

namespace {

// The first dropped item that is a local file, or empty.
QString FirstDroppedFile(const QMimeData* data) {
  if (data == nullptr || !data->hasUrls()) return {};
  for (const QUrl& url : data->urls()) {
    if (url.isLocalFile()) return url.toLocalFile();
  }
  return {};
}

}  // namespace

Bitmap& TMainForm::WorkingBitmap() {
  return imageView_->Bitmap();
}

Bitmap* TMainForm::CurrentSnapshot() {
  TUndoItem* current = history_.Current();
  return current != nullptr ? current->WholeSnapshot() : nullptr;
}

void TMainForm::BeginBusy() {
  SetStatusPanel(0, tr(" Traitement en cours..."));
  statusBar()->repaint();
  QApplication::setOverrideCursor(Qt::WaitCursor);
  ++busyDepth_;
}

void TMainForm::EndBusy() {
  SetStatusPanel(0, tr(" Prêt"));
  if (busyDepth_ > 0) {
    --busyDepth_;
    QApplication::restoreOverrideCursor();
  }
  // The pixel blocks a command kept for reuse are given back once it is over: an idle window
  // holds its photo and history, not the scratch memory of its last command.
  if (busyDepth_ == 0) releaseKeptPixelBlocks();
}

void TMainForm::RecordUndo(const std::string& name) {
  // The screen is brought up to date before a long operation starts.
  PnlOutils->repaint();
  imageView_->repaint();
  DocumentChanging();
  history_.Add(WorkingBitmap(), name);
  ++modificationCount_;
  UpdateCommands();
}

void TMainForm::DropLastUndo() {
  history_.DropNewest();
  --modificationCount_;
  UpdateCommands();
}

void TMainForm::UpdateCommands() {
  const bool hasMask = !maskPicture_.empty();
  const bool hasImage = !WorkingBitmap().empty();
  BtnNegatif->setEnabled(hasMask);
  BtnRotation->setEnabled(hasMask);
  MenuActionMasque->setEnabled(hasMask && hasImage);
  BtnAction->setEnabled(hasMask && hasImage);
  MenuActionDossier->setEnabled(hasMask);  // the photos come from the folder
  for (QWidget* w : {static_cast<QWidget*>(BtnRedim), static_cast<QWidget*>(BtnSauver),
                     static_cast<QWidget*>(BtnImprimer), static_cast<QWidget*>(CmbZoom)}) {
    w->setEnabled(hasImage);
  }
  for (QAction* a :
       {MenuActionRedim, MenuFichierEnregistrer, MenuFichierImprimer, MenuEditionCopier}) {
    a->setEnabled(hasImage);
  }
  // The history is the previous document's until a pending open ends.
  const TUndoItem* current = quickOpen_ ? nullptr : history_.Current();
  BtnUndo->setEnabled(current != nullptr);
  BtnUndo->setToolTip(current != nullptr ? tr("Annuler %1").arg(TranslatedCoreText(current->Name()))
                                         : tr("Annuler"));
  const TUndoItem* next = quickOpen_ ? nullptr : history_.Next();
  BtnRedo->setEnabled(next != nullptr);
  BtnRedo->setToolTip(next != nullptr ? tr("Refaire %1").arg(TranslatedCoreText(next->Name()))
                                      : tr("Refaire"));
}

void TMainForm::SetResultTransparent(bool flag) {
  WorkingBitmap().Transparent = flag;
  // A picture with an alpha channel shows the squares through it too, drawn the same way.
  imageView_->SetTransparentDisplay(flag || WorkingBitmap().bitsPerPixel() == 32);
}

bool TMainForm::ConfirmDiscard() {
  // A photo still opening has not been modified; the question about the previous one was asked
  // when its open began.
  if (modificationCount_ <= 0 || quickOpen_) return true;
  const MessageResult answer = prompts().message(
      MessageKind::mkConfirmation, "Confirmation",
      tr("Voulez-vous enregistrer les modifications avant de quitter ?").toStdString(),
      MessageButtons::mbYesNoCancel);
  // After "&Oui" the image may go only once it is safely written: a cancelled or failed save keeps
  // the program and the image as they are.
  if (answer == MessageResult::mrYes) return SaveDocument() > 0;
  return answer == MessageResult::mrNo;
}

// ---- opening ---------------------------------------------------------------------------------

void TMainForm::OpenImage(const QString& fileName, bool remember) {
  if (!ConfirmDiscard()) return;
  std::string name = fileName.toStdString();
  if (name.empty() && !chooseImageFile(name, openFolder_.toStdString())) return;
  // A newer open replaces one still decoding, which ends as if it had never started.
  CancelQuickOpen();
  if (StartQuickOpen(name, remember)) return;
  PhotoMetadata metadata;
  if (LoadImageFile(name, WorkingBitmap(), openFolder_.toStdString(), &metadata) <= 0) return;
  AdoptOpenedImage(name, std::move(metadata), remember, false);
}

void TMainForm::MenuFichierOuvrirClick() {
  OpenImage(QString(), true);
}

void TMainForm::OpenCommandLineFile() {
  const QString fileName = std::exchange(commandLineFile_, QString());
  if (fileName.isEmpty()) return;
  OpenImage(ExactFileName(QFileInfo(fileName).absoluteFilePath()), false);
}

void TMainForm::dragEnterEvent(QDragEnterEvent* event) {
  if (!FirstDroppedFile(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void TMainForm::dropEvent(QDropEvent* event) {
  const QString fileName = FirstDroppedFile(event->mimeData());
  if (fileName.isEmpty()) return;
  event->acceptProposedAction();
  // Opened once the drop is finished: the question and the messages of the open must not run
  // inside the drag and drop exchange.
  QTimer::singleShot(
      0, this, [this, fileName] { RunCommand([this, &fileName] { OpenImage(fileName, true); }); });
}

// ---- menus -----------------------------------------------------------------------------------

void TMainForm::MenuEditionClick() {
  MenuEditionUndo->setEnabled(BtnUndo->isEnabled());
  MenuEditionUndo->setText(BtnUndo->toolTip());
  MenuEditionRedo->setEnabled(BtnRedo->isEnabled());
  MenuEditionRedo->setText(BtnRedo->toolTip());
  const QMimeData* clip = QApplication::clipboard()->mimeData();
  MenuEditionColler->setEnabled(clip != nullptr && clip->hasImage());
}

void TMainForm::MenuFichierQuitterClick() {
  close();
}

void TMainForm::ReportError(std::exception_ptr error) {
  try {
    std::rethrow_exception(error);
  } catch (...) {
    ReportCurrentException();
  }
}

// ---- undo and redo ---------------------------------------------------------------------------

void TMainForm::BtnUndoClick() {
  if (!AwaitFullPicture() || history_.Current() == nullptr) return;
  const TBusyState busy(*this);
  DocumentChanging();
  history_.Undo();
  SetResultTransparent(WorkingBitmap().Transparent);
  --modificationCount_;
  const TUndoItem* undone = history_.Next();
  imageView_->BitmapChanged();
  if (undone == nullptr || !undone->SameSize()) ResetView();
  UpdateCommands();
}

void TMainForm::BtnRedoClick() {
  if (!AwaitFullPicture() || history_.Next() == nullptr) return;
  const TBusyState busy(*this);
  DocumentChanging();
  history_.Redo();
  SetResultTransparent(WorkingBitmap().Transparent);
  ++modificationCount_;
  const TUndoItem* redone = history_.Current();
  imageView_->BitmapChanged();
  if (redone == nullptr || !redone->SameSize()) ResetView();
  UpdateCommands();
}

// ---- zoom and status -------------------------------------------------------------------------

void TMainForm::ChooseInitialZoom() {
  const QRect client = imageView_->contentsRect();
  const int margin = imageView_->Margin();
  const Bitmap& image = WorkingBitmap();
  // 100 % shows one image pixel per device pixel.
  const qreal ratio = imageView_->DeviceRatio();
  const bool fits = (client.width() - 2 * margin) * ratio >= image.width() &&
                    (client.height() - 2 * margin) * ratio >= image.height();
  CmbZoom->setCurrentIndex(fits ? 2 : 0);
}

void TMainForm::ApplyZoom() {
  static constexpr double kScales[] = {0.0, 0.5, 1.0, 2.0, 4.0};
  const int index = CmbZoom->currentIndex();
  double scale = 0.0;
  if (index >= 1 && index <= 4) {
    scale = kScales[index];
  } else {
    imageView_->FitToClient();
    scale = std::clamp(imageView_->GetZoom(), 0.1, 4.0);
  }
  imageView_->SetZoom(scale);
}

void TMainForm::ResetView() {
  // The view first takes the bitmap as it now is (a command may have changed its size).
  imageView_->BitmapChanged();
  ApplyZoom();
  imageView_->ScrollTo(0, 0);
  UpdateStatus();
}

void TMainForm::UpdateStatus() {
  const Bitmap& image = WorkingBitmap();
  SetStatusPanel(1, QString::asprintf("%d x %d", image.width(), image.height()));
  SetStatusPanel(2, quickOpen_ ? QString::fromStdString(quickOpen_->fileName) : currentFileName_);
  if (CmbZoom->currentIndex() == 0) {
    CmbZoom->setItemText(
        0, QString::number(roundHalfEven(imageView_->GetZoom() * 100)) + QLatin1Char('%'));
    CmbZoom->setCurrentIndex(0);
  } else {
    CmbZoom->setItemText(0, QStringLiteral("Auto"));
  }
}

void TMainForm::CmbZoomChange() {
  ResetView();
}

void TMainForm::CmbZoomDropDown() {
  CmbZoom->setItemText(0, QStringLiteral("Auto"));
  if (CmbZoom->currentIndex() < 0) CmbZoom->setCurrentIndex(0);
}

void TMainForm::CmbZoomCloseUp() {
  if (CmbZoom->currentText() == QStringLiteral("Auto")) UpdateStatus();
}

void TMainForm::CmbFormatChange() {
  // The soft transparency reads the opacity, the colour (composed behind where the alpha cannot
  // be kept) and the two tones as "Couleurs RVB" does.
  const bool rgb = CmbFormat->currentIndex() != 1;
  for (QWidget* w : {static_cast<QWidget*>(ChbBichromie), static_cast<QWidget*>(LblOpacite),
                     static_cast<QWidget*>(EdiOpacite), static_cast<QWidget*>(LblCouleur),
                     static_cast<QWidget*>(ColorEdit)}) {
    w->setEnabled(rgb);
  }
}

TResultFormat TMainForm::ResultFormat() const {
  switch (CmbFormat->currentIndex()) {
    case 1:
      return rfTransparent;
    case 2:
      return rfTransparenceProgressive;
    default:
      return rfCouleursRVB;
  }
}

}  // namespace vorlino
