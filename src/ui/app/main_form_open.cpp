// Opening a large JPEG in two steps: a reduced picture at once, the full picture when decoded.
// Until then the previous document is kept aside, untouched, so that a failed decode ends as any
// failed open does: its message, and the previous document as it was.
#include <QComboBox>
#include <QPalette>
#include <QScrollBar>
#include <utility>

#include "app/error_report.h"
#include "app/file_names.h"
#include "app/form_widgets.h"
#include "app/main_form.h"
#include "app/picture_loader.h"
#include "imagefile/decoder_kind.h"
#include "imagefile/format_registry.h"
#include "imagefile/jpeg_quick.h"
#include "imagefile/load_image.h"
#include "prompts/prompts.h"
#include "view/my_graphic.h"

namespace vorlino {

namespace {

// The full decode runs at about 200 megapixels a second on a recent desktop core (24 MP in 0.14 s,
// 100 MP in 0.3 to 0.6 s, measured) and at half that on a modest one: from 12 megapixels it takes
// a tenth of a second or more there. Smaller photos (most phones') open in one step, about as soon
// as a first picture would show.
constexpr std::uint64_t kQuickOpenPixels = 12'000'000;

bool IsJpegFile(const std::string& fileName) {
  const std::string ext = fileExtension(fileName);
  const auto kind = ext.empty() ? std::nullopt : fileFormats().decoderFor(ext);
  return kind && *kind == DecoderKind::dkJpeg;
}

}  // namespace

bool TMainForm::StartQuickOpen(const std::string& fileName, bool remember) {
  if (!IsJpegFile(fileName)) return false;
  JpegOutline outline;
  // A file whose header cannot be read goes the ordinary way, which reports it.
  if (!readJpegOutline(fileName, outline).ok()) return false;
  const JpegHeader& header = outline.header;
  const auto pixels =
      static_cast<std::uint64_t>(header.width) * static_cast<std::uint64_t>(header.height);
  if (pixels < kQuickOpenPixels || !checkDimensions(header.width, header.height, {}).ok())
    return false;
  if (!pictureLoader_) {
    pictureLoader_ = new TPictureLoader(this);
    connect(pictureLoader_, &TPictureLoader::earlyArrived, this,
            [this] { RunCommand([this] { ShowEarlyPicture(); }); });
    connect(pictureLoader_, &TPictureLoader::fullArrived, this, [this] {
      RunCommand([this] {
        if (quickOpen_) FinishQuickOpen(pictureLoader_->WaitFull());
      });
    });
  }

  QuickOpen& open = quickOpen_.emplace();
  open.fileName = fileName;
  open.remember = remember;
  open.previousZoom = CmbZoom->currentIndex();
  open.previousScroll = QPoint(imageView_->ScrollBox()->horizontalScrollBar()->value(),
                               imageView_->ScrollBox()->verticalScrollBar()->value());
  // One pixel of the view's background, stretched over the photo's place until the reduced
  // picture comes.
  const QColor background = imageView_->palette().color(QPalette::Window);
  open.blank.resetForOverwrite(1, 1, 24);
  open.blank.row(0)[0] = static_cast<std::uint8_t>(background.blue());
  open.blank.row(0)[1] = static_cast<std::uint8_t>(background.green());
  open.blank.row(0)[2] = static_cast<std::uint8_t>(background.red());
  imageView_->SetStandIn(&open.blank);
  // The reduced picture is drawn colour-managed as the full one will be.
  imageView_->SetColorProfile(outline.iccProfile);

  DocumentChanging();
  open.previous.swap(WorkingBitmap());
  WorkingBitmap().resetForOverwrite(outline.uprightWidth(), outline.uprightHeight(), 24);
  SetResultTransparent(false);
  imageView_->BitmapChanged();
  ChooseInitialZoom();
  ResetView();
  UpdateCommands();
  pictureLoader_->Start(fileName, std::move(outline));
  return true;
}

void TMainForm::ShowEarlyPicture() {
  if (!quickOpen_) return;
  // The view lets go of the picture being replaced (an embedded preview before the reduced one).
  imageView_->SetStandIn(&quickOpen_->blank);
  pictureLoader_->TakeEarly(quickOpen_->early);
  imageView_->SetStandIn(quickOpen_->early.empty() ? &quickOpen_->blank : &quickOpen_->early);
}

bool TMainForm::AwaitFullPicture() {
  if (!quickOpen_) return true;
  TPictureLoader::Full full;
  {
    const TBusyState busy(*this);
    full = pictureLoader_->WaitFull();
  }
  return FinishQuickOpen(std::move(full));
}

bool TMainForm::FinishQuickOpen(TPictureLoader::Full full) {
  if (!full.result.ok()) {
    const std::string fileName = quickOpen_->fileName;
    RestorePreviousDocument();
    if (reportLoadFailures()) showError(loadFailureMessage(fileName));
    return false;
  }
  QuickOpen open = std::move(*quickOpen_);
  quickOpen_.reset();
  imageView_->SetStandIn(nullptr);
  // The picture takes the stand-in's place: the zoom and scroll position chosen meanwhile stay.
  const bool sameSize = full.picture.width() == WorkingBitmap().width() &&
                        full.picture.height() == WorkingBitmap().height();
  WorkingBitmap().swap(full.picture);
  full.picture = vorlino::Bitmap();  // the unfilled block goes
  AdoptOpenedImage(open.fileName, std::move(full.metadata), open.remember, sameSize);
  if (open.previewWanted) SidePanelChanged(false);
  // As after any command: the decodes' scratch blocks (the file's bytes, the first look's) and
  // the previous document's pixels go back to the system rather than waiting for reuse.
  open.previous.clearToSystem();
  releaseKeptPixelBlocks();
  return true;
}

void TMainForm::RestorePreviousDocument() {
  QuickOpen open = std::move(*quickOpen_);
  quickOpen_.reset();
  WorkingBitmap().swap(open.previous);
  imageView_->SetStandIn(nullptr);
  imageView_->SetColorProfile(documentMetadata_.iccProfile());
  SetResultTransparent(WorkingBitmap().Transparent);
  imageView_->BitmapChanged();
  CmbZoom->setCurrentIndex(open.previousZoom);
  ResetView();
  imageView_->ScrollTo(open.previousScroll.x(), open.previousScroll.y());
  UpdateCommands();
}

void TMainForm::CancelQuickOpen() {
  if (!quickOpen_) return;
  pictureLoader_->Cancel();
  RestorePreviousDocument();
}

void TMainForm::AdoptOpenedImage(const std::string& fileName, PhotoMetadata metadata, bool remember,
                                 bool keepView) {
  documentMetadata_ = std::move(metadata);
  imageView_->SetColorProfile(documentMetadata_.iccProfile());
  DocumentChanging();
  history_.Clear();
  modificationCount_ = 0;
  WorkingBitmap().convertTo24();
  SetResultTransparent(false);
  imageView_->BitmapChanged();
  currentFileName_ = QString::fromStdString(fileName);
  if (remember) {
    openFolder_ = FolderPart(currentFileName_);
    AddRecentFile(currentFileName_);
  }
  if (keepView) {
    UpdateStatus();
  } else {
    ChooseInitialZoom();
    ResetView();
  }
  UpdateCommands();
}

}  // namespace vorlino
