// The mask in the side panel and the apply command.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QRadioButton>
#include <QToolButton>

#include "app/file_names.h"
#include "app/form_widgets.h"
#include "app/main_form.h"
#include "app/mask_gallery.h"
#include "compose/bitmap_filters.h"
#include "compose/quarter_turn.h"
#include "controls/color_editor.h"
#include "controls/spin2.h"
#include "dialogs/batch_form.h"
#include "imagefile/load_image.h"
#include "prompts/prompts.h"
#include "view/my_graphic.h"

namespace vorlino {

void TMainForm::LoadMask(const QString& fileName) {
  std::string name = fileName.toStdString();
  if (LoadImageFile(name, maskPicture_, maskFolder_.toStdString()) <= 0) return;
  maskPicture_.convertTo24();
  maskPath_ = QString::fromStdString(name);
  GreyBitmap(maskPicture_);
  EdiNomMasque->setText(NameWithoutFolderAndExtension(maskPath_));
  maskFolder_ = FolderPart(maskPath_);
  LayoutMaskPreview();
  UpdateCommands();
  negative_ = false;
  maskAngle_ = 0;
  // Cuts named beside the mask file; values that do not suit it are refused here, once per mask,
  // and the cuts found on the picture apply.
  SlicesRead slices = readMaskSlices(name, maskPicture_.width(), maskPicture_.height());
  maskSlices_ = slices.cuts;
  if (!slices.error.empty())
    prompts().message(MessageKind::mkWarning, "Avertissement", slices.error, MessageButtons::mbOk);
  SidePanelChanged(true);
  maskGallery_->MarkChosen(maskPath_);
}

void TMainForm::BtnParcourirClick() {
  LoadMask(QString());
}

void TMainForm::BtnNegatifClick() {
  InvertBitmap(maskPicture_);
  ImgMasque->PictureChanged();
  ImgMasque->repaint();
  negative_ = !negative_;
}

void TMainForm::BtnRotationClick() {
  RotateQuarter(maskPicture_, true);
  LayoutMaskPreview();
  maskAngle_ = (maskAngle_ + 90) % 360;
}

void TMainForm::LayoutMaskPreview() {
  int width = maskPicture_.width();
  int height = maskPicture_.height();
  FitSize(width, height, PnlMasque->width() - 8, PnlMasque->height() - 8);
  const QRect client = PnlMasque->contentsRect();
  ImgMasque->setGeometry(client.left() + (client.width() - width) / 2,
                         client.top() + (client.height() - height) / 2, width, height);
  ImgMasque->PictureChanged();
}

MaskOptions TMainForm::CurrentMaskOptions() const {
  MaskOptions options;
  options.keepShape = RdbSansDeformer->isChecked();
  options.fit = RdbAjuster->isChecked() || options.keepShape;
  if (options.keepShape)
    options.cuts = slicesOfTurnedPicture(maskSlices_, maskPicture_, maskAngle_);
  options.soften = ChbFlou->isChecked();
  options.twoTone = ChbBichromie->isChecked();
  options.format = ResultFormat();
  return options;
}

BlendOptions TMainForm::CurrentBlendOptions() const {
  BlendOptions blend;
  blend.opacity = EdiOpacite->Value();
  blend.colour = ColorEdit->color();
  return blend;
}

std::optional<Bitmap> TMainForm::BuildMask() {
  const Bitmap& photo = WorkingBitmap();
  return BuildMaskBitmap(maskPicture_, photo.width(), photo.height(), CurrentMaskOptions());
}

void TMainForm::ApplyMask() {
  RecordUndo("Masque");
  const TBusyState busy(*this);
  const std::optional<Bitmap> mask = BuildMask();
  if (!mask) return;
  const TResultFormat format = ResultFormat();
  ApplyMaskBitmap(WorkingBitmap(), *mask, format, CurrentBlendOptions());
  SetResultTransparent(format == rfTransparent);
}

void TMainForm::MenuActionMasqueClick() {
  if (!AwaitFullPicture()) return;
  try {
    ApplyMask();
  } catch (...) {
    history_.Settle();
    imageView_->BitmapChanged();  // the photo may be partly changed: show what it holds
    throw;
  }
  history_.Settle();
  imageView_->BitmapChanged();
}

void TMainForm::MenuActionDossierClick() {
  if (!AwaitFullPicture() || maskPicture_.empty()) return;
  // The JPEG question is the window's own dialog: the choices made there are proposed again.
  if (batchForm_ == nullptr) batchForm_ = new TBatchForm(this, jpgCompressForm_);
  batchForm_->Execute(maskPicture_,
                      {CurrentMaskOptions(), CurrentBlendOptions(), JpegOptions{}, KeepMetadata()});
}

}  // namespace vorlino
