// The gallery of masks beside the view. A picked thumbnail is loaded by LoadMask, the browse
// button's own path: the same checks, messages and remembered folder. A hovered thumbnail is
// previewed.
#include <QMenu>

#include "app/error_report.h"
#include "app/main_form.h"
#include "app/mask_gallery.h"
#include "gallery/user_masks.h"

namespace vorlino {

void TMainForm::CreateMaskGallery() {
  // Without a "Masques" folder the mask folder is the program's own, which is no gallery.
  const QString programMasks =
      maskFolder_.endsWith(QStringLiteral("/Masques/")) ? maskFolder_ : QString();
  maskGallery_ = new TMaskGallery(this, programMasks, QString::fromStdString(userMasksFolder()),
                                  QString::fromStdString(thumbnailCacheFolder()));
  addDockWidget(Qt::RightDockWidgetArea, maskGallery_);
  connect(maskGallery_, &TMaskGallery::maskChosen, this,
          [this](const QString& path) { RunCommand([this, path] { LoadMask(path); }); });
  // With the live preview, the mask under the pointer is previewed on the photo.
  connect(maskGallery_, &TMaskGallery::maskHovered, this, &TMainForm::previewMaskFile);
  connect(maskGallery_, &TMaskGallery::maskHoverEnded, this, &TMainForm::endMaskHover);

  MenuEdition->addSeparator();
  MenuEditionGalerie = maskGallery_->toggleViewAction();
  MenuEditionGalerie->setObjectName(QStringLiteral("MenuEditionGalerie"));
  MenuEdition->addAction(MenuEditionGalerie);
}

}  // namespace vorlino
