// The document commands: the recent-file entries, save as with its JPEG question, copy and paste,
// and the dialogs the window shows from its menus.
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFileInfo>
#include <QMimeData>

#include "app/clipboard_image.h"
#include "app/file_names.h"
#include "app/main_form.h"
#include "dialogs/annul_imp.h"
#include "dialogs/apropos.h"
#include "dialogs/impr.h"
#include "dialogs/jpg_compress.h"
#include "dialogs/modal.h"
#include "dialogs/redim.h"
#include "imagefile/save_copy.h"
#include "print/print_command.h"
#include "settings/settings.h"
#include "view/my_graphic.h"

namespace vorlino {

namespace {

constexpr int kRecentCaptionLength = 30;

}  // namespace

// Made once, after the window itself, in the program's start-up order; they live as long as the
// window and are shown modally on demand.
void TMainForm::CreateDialogs() {
  imprForm_ = new TImprForm(*this, this);
  annulerForm_ = new TAnnulerForm(this);
  aproposForm_ = new TAProposForm(this);
  jpgCompressForm_ = new TJPGCompressForm(this);
  redimForm_ = new TRedimForm(*this, this);
  redimForm_->setObjectName(QStringLiteral("RedimForm"));
}

// ---- recent files ------------------------------------------------------------------------------

QString TMainForm::RecentFileCaption(int i) const {
  return QString::number(i + 1) + QLatin1Char(' ') +
         ShortenText(QFileInfo(recentFiles_.at(i)).fileName(), kRecentCaptionLength);
}

void TMainForm::MenuFichierClick() {
  MenuFichierSep->setVisible(!recentFiles_.isEmpty());
  for (int i = 0; i < 4; ++i) {
    const bool shown = i < recentFiles_.size();
    MenuFichierN[i]->setVisible(shown);
    // A "&" in a file name is a letter here, not the item's access key.
    if (shown) MenuFichierN[i]->setText(RecentFileCaption(i).replace(QLatin1Char('&'), "&&"));
  }
}

void TMainForm::MenuFichierNClick(int tag) {
  if (tag < 0 || tag >= recentFiles_.size()) return;
  const QString fileName = recentFiles_.at(tag);  // a copy: opening reorders the list
  OpenImage(fileName, true);
}

void TMainForm::AddRecentFile(const QString& fileName) {
  std::vector<std::string> list;
  for (const QString& entry : recentFiles_) list.push_back(entry.toStdString());
  vorlino::AddRecentFile(list, fileName.toStdString());
  recentFiles_.clear();
  for (const std::string& entry : list) recentFiles_.append(QString::fromStdString(entry));
}

// ---- save as -----------------------------------------------------------------------------------

void TMainForm::MenuFichierEnregistrerClick() {
  SaveDocument();
}

int TMainForm::SaveDocument() {
  if (!AwaitFullPicture()) return 0;
  const TBusyState busy(*this);
  if (saveFolder_.isEmpty()) {
    // An installed copy saves beside the photo rather than in a start folder of its own choosing.
    const QString photoFolder = FolderPart(currentFileName_);
    saveFolder_ = installedCopy_ && !photoFolder.isEmpty() ? photoFolder : openFolder_;
  }
  QString suggested = PathInFolder(currentFileName_, saveFolder_);
  // The writers get a copy: a transparent result is reduced to a palette holding its key colour,
  // and is proposed as GIF, the format that keeps it.
  Bitmap copy = MakeSaveCopy(WorkingBitmap());
  if (WorkingBitmap().Transparent)
    suggested = QString::fromStdString(withGifExtension(suggested.toStdString()));
  // An alpha channel is kept by PNG; formats without one get the picture over its colour.
  else if (WorkingBitmap().bitsPerPixel() == 32)
    suggested = QString::fromStdString(withPngExtension(suggested.toStdString()));
  std::string chosen;
  const PhotoMetadata metadata =
      KeepMetadata() ? documentMetadata_ : documentMetadata_.profileOnly();
  const int result = SaveImageFile(chosen, copy, suggested.toStdString(), &metadata);
  if (result <= 0) return result;
  // The count goes to 0 and the newest snapshot goes with it.
  modificationCount_ = 1;
  DropLastUndo();
  currentFileName_ = QString::fromStdString(chosen);
  saveFolder_ = FolderPart(currentFileName_);
  UpdateStatus();
  return result;
}

bool TMainForm::KeepMetadata() const {
  return MenuFichierMetadonnees->isChecked();
}

void TMainForm::AskJpegOptions(SaveEncoder& encoder, bool& accept) {
  // WebP is written at the quality of the same question.
  const bool asks = encoder.format == SaveFormat::sfJpeg || encoder.format == SaveFormat::sfWebp;
  if (!asks || jpgCompressForm_ == nullptr) return;
  int quality = encoder.jpeg.quality;
  bool progressive = encoder.jpeg.progressive;
  // The save runs in the busy state: the question gets the ordinary pointer meanwhile.
  QApplication::setOverrideCursor(Qt::ArrowCursor);
  accept = vorlino::AskJpegOptions(*jpgCompressForm_, quality, progressive);
  QApplication::restoreOverrideCursor();
  if (!accept) return;
  encoder.jpeg.quality = quality;
  encoder.jpeg.progressive = progressive;
}

// ---- clipboard ---------------------------------------------------------------------------------

void TMainForm::MenuEditionCopierClick() {
  if (!AwaitFullPicture() || WorkingBitmap().empty()) return;
  QApplication::clipboard()->setImage(BitmapToClipboardImage(WorkingBitmap()));
}

void TMainForm::MenuEditionCollerClick() {
  if (!AwaitFullPicture()) return;
  // Read before the question: a clipboard without a picture leaves the document alone.
  if (!QApplication::clipboard()->mimeData() || !QApplication::clipboard()->mimeData()->hasImage())
    return;
  const QImage image = QApplication::clipboard()->image();
  if (image.isNull()) return;
  if (!ConfirmDiscard()) return;
  Bitmap pasted = ClipboardImageToBitmap(image);
  DocumentChanging();
  history_.Clear();
  // A pasted picture has never been saved: leaving or replacing it asks the question.
  modificationCount_ = 1;
  WorkingBitmap().swap(pasted);
  documentMetadata_ = PhotoMetadata();
  imageView_->SetColorProfile({});
  SetResultTransparent(false);
  UpdateCommands();
  currentFileName_ = tr("Sans titre");
  ResetView();  // the zoom item chosen stays
}

// ---- dialogs -----------------------------------------------------------------------------------

void TMainForm::MenuActionRedimClick() {
  if (!AwaitFullPicture() || WorkingBitmap().empty()) return;
  // The dialog records the snapshot, resizes through this window and resets the view itself.
  ExecModal(*redimForm_);
  history_.Settle();
  imageView_->BitmapChanged();
  UpdateCommands();
}

void TMainForm::MenuFichierImprimerClick() {
  if (!AwaitFullPicture()) return;
  vorlino::MenuFichierImprimerClick(*imprForm_, *annulerForm_);
}

void TMainForm::MenuAproposClick() {
  ExecModal(*aproposForm_);
}

}  // namespace vorlino
