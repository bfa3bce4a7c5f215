// The preferences through the window: read once at the end of its creation, written once when it
// is destroyed. The key table and the file format are the core's (settings/settings.h).
#include <QCheckBox>
#include <QComboBox>
#include <QRadioButton>

#include "app/form_widgets.h"
#include "app/live_preview.h"
#include "app/main_form.h"
#include "app/mask_gallery.h"
#include "compose/bitmap_filters.h"
#include "compose/quarter_turn.h"
#include "controls/color_editor.h"
#include "imagefile/load_image.h"
#include "prompts/prompts.h"
#include "settings/settings.h"

namespace vorlino {

void TMainForm::LoadSettings() {
  // What a missing key keeps: the state the window has just been created with.
  Settings settings;
  settings.openFolder = openFolder_.toStdString();
  settings.saveFolder = saveFolder_.toStdString();
  settings.preview = previewFlag();
  settings.colour = ColorEdit->color();
  settings.livePreview = LivePreviewDefault();
  loadSettingsFile(settingsPath_.toStdString(), settings);

  openFolder_ = QString::fromStdString(settings.openFolder);
  saveFolder_ = QString::fromStdString(settings.saveFolder);
  // Before the window is first shown, so that it opens maximised.
  if (settings.maximized) setWindowState(windowState() | Qt::WindowMaximized);
  setPreviewFlag(settings.preview);
  ReplayMask(settings);
  ColorEdit->setColor(settings.colour);
  if (settings.format == 1) CmbFormat->setCurrentIndex(1);  // runs CmbFormatChange
  if (settings.softAlpha) CmbFormat->setCurrentIndex(2);
  ChbFlou->setChecked(settings.soften);
  ChbBichromie->setChecked(settings.twoTone);
  (settings.keepShape ? RdbSansDeformer : settings.fit ? RdbAjuster : RdbRepeter)->setChecked(true);
  MenuFichierMetadonnees->setChecked(settings.keepMetadata);
  livePreviewSetting_ = settings.livePreview;
  maskGallery_->setVisible(settings.gallery);
  recentFiles_.clear();
  for (const std::string& name : settings.recentFiles)
    recentFiles_.append(QString::fromStdString(name));
}

// Loading the mask resets its negative flag and angle, so the flags are replayed on it after.
void TMainForm::ReplayMask(const Settings& settings) {
  for (const MaskReplayStep step : maskReplaySteps(settings)) {
    switch (step) {
      case MaskReplayStep::rpLoadMask:
        LoadMask(QString::fromStdString(settings.maskPath));
        if (maskPicture_.empty()) return;  // unreadable: no mask, flags stay off
        break;
      case MaskReplayStep::rpInvert:
        InvertBitmap(maskPicture_);
        ImgMasque->PictureChanged();
        negative_ = true;
        break;
      case MaskReplayStep::rpRotateQuarter:
        RotateQuarter(maskPicture_, true);
        LayoutMaskPreview();
        maskAngle_ = 90;
        break;
      case MaskReplayStep::rpRotateHalf:
        RotateHalf(maskPicture_);
        LayoutMaskPreview();
        maskAngle_ = 180;
        break;
      case MaskReplayStep::rpRotateQuarterBack:
        RotateQuarter(maskPicture_, false);
        LayoutMaskPreview();
        maskAngle_ = 270;
        break;
    }
  }
}

void TMainForm::SaveSettings() {
  Settings settings;
  settings.openFolder = openFolder_.toStdString();
  settings.saveFolder = saveFolder_.toStdString();
  settings.maximized = isMaximized();
  settings.preview = previewFlag();
  settings.maskPath = maskPicture_.empty() ? std::string() : maskPath_.toStdString();
  settings.colour = ColorEdit->color();
  settings.negative = negative_;
  settings.angle = maskAngle_;
  settings.format = CmbFormat->currentIndex() == 1 ? 1 : 0;
  settings.softAlpha = CmbFormat->currentIndex() == 2;
  settings.soften = ChbFlou->isChecked();
  settings.twoTone = ChbBichromie->isChecked();
  settings.fit = RdbAjuster->isChecked();
  settings.keepShape = RdbSansDeformer->isChecked();
  settings.keepMetadata = KeepMetadata();
  settings.livePreview = livePreview_ != nullptr ? livePreview_->Enabled() : livePreviewSetting_;
  settings.gallery = !maskGallery_->isHidden();
  for (const QString& name : recentFiles_) settings.recentFiles.push_back(name.toStdString());

  const std::string path = settingsPath_.toStdString();
  if (saveSettingsFile(path, settings).ok()) return;
  showError(tr("Impossible d'écrire dans %1").arg(settingsPath_).toStdString());
}

}  // namespace vorlino
