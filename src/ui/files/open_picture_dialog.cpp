#include "files/open_picture_dialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QFileInfo>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QToolTip>
#include <QVBoxLayout>
#include <algorithm>
#include <string>

#include "imagefile/load_image.h"
#include "view/img_zoom.h"

namespace vorlino {

namespace {
constexpr int kPanelBorder = 6;
constexpr int kPanelWidth = 190;
}  // namespace

QRect TPreviewBox::PictureRect(const QSize& size) const {
  if (picture_.empty() || size.isEmpty()) return {};
  TImageZoom zoomer;
  zoomer.SetBitmap(&picture_);
  zoomer.SetBounds(QRect(QPoint(0, 0), size));
  const bool fits = picture_.width() <= size.width() && picture_.height() <= size.height();
  zoomer.SetZoomMode(fits ? zmNormal : zmFitInside);
  zoomer.SetAlignment(zaCenter);
  return zoomer.ImageRect();
}

void TPreviewBox::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  if (picture_.empty()) {
    painter.drawText(rect(), Qt::AlignCenter, tr("(vide)"));
    return;
  }
  TImageZoom zoomer;
  zoomer.SetBitmap(&picture_);
  zoomer.SetCanvas(&painter);
  zoomer.SetBounds(rect());
  const bool fits = picture_.width() <= width() && picture_.height() <= height();
  zoomer.SetZoomMode(fits ? zmNormal : zmFitInside);
  zoomer.SetAlignment(zaCenter);
  zoomer.SetHalftone(false);
  zoomer.Draw(false);
  zoomer.SetCanvas(nullptr);
}

TOpenPictureDialog::TOpenPictureDialog(QWidget* parent) : QFileDialog(parent) {
  setOption(QFileDialog::DontUseNativeDialog, true);
  setOption(QFileDialog::HideNameFilterDetails, true);
  setFileMode(QFileDialog::ExistingFile);
  setAcceptMode(QFileDialog::AcceptOpen);
  setWindowTitle(tr("Ouvrir"));
  setLabelText(QFileDialog::LookIn, tr("Regarder dans :"));
  setLabelText(QFileDialog::FileName, tr("Nom du fichier :"));
  setLabelText(QFileDialog::FileType, tr("Type :"));
  setLabelText(QFileDialog::Accept, tr("&Ouvrir"));
  setLabelText(QFileDialog::Reject, tr("Annuler"));

  picturePanel_ = new QWidget(this);
  picturePanel_->setObjectName(QStringLiteral("PicturePanel"));
  picturePanel_->setFixedWidth(kPanelWidth);
  auto* column = new QVBoxLayout(picturePanel_);
  column->setContentsMargins(kPanelBorder, kPanelBorder, kPanelBorder, kPanelBorder);

  previewCheck_ = new QCheckBox(tr("Aperçu"), picturePanel_);
  previewCheck_->setObjectName(QStringLiteral("PreviewCheck"));
  previewCheck_->setFixedHeight(previewCheck_->sizeHint().height() + 2);
  connect(previewCheck_, &QCheckBox::clicked, this, [this] {
    if (shown_) RefreshPreview();
  });

  paintPanel_ = new QFrame(picturePanel_);
  paintPanel_->setObjectName(QStringLiteral("PaintPanel"));
  paintPanel_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  auto* inside = new QVBoxLayout(paintPanel_);
  const int inset = paintPanel_->frameWidth() + 2;  // the picture never touches the bevel
  inside->setContentsMargins(inset, inset, inset, inset);
  paintBox_ = new TPreviewBox(preview_, paintPanel_);
  paintBox_->setObjectName(QStringLiteral("PaintBox"));
  inside->addWidget(paintBox_);

  pictureLabel_ = new QLabel(picturePanel_);
  pictureLabel_->setObjectName(QStringLiteral("PictureLabel"));
  pictureLabel_->setAlignment(Qt::AlignCenter);
  pictureLabel_->setFixedHeight(pictureLabel_->sizeHint().height() + 2);

  column->addWidget(previewCheck_);
  column->addWidget(paintPanel_, 1);
  column->addWidget(pictureLabel_);

  // Qt's own dialog lays its controls out on a grid: the panel takes a new column at the right.
  if (auto* grid = qobject_cast<QGridLayout*>(layout())) {
    grid->addWidget(picturePanel_, 0, grid->columnCount(), grid->rowCount(), 1);
  }
  // Tab order: the preview panel's controls come right after the dialog's own.
  setTabOrder(paintPanel_, previewCheck_);

  connect(this, &QFileDialog::currentChanged, this, &TOpenPictureDialog::SetHighlighted);
  // A name typed into the name field is a selection too: the preview follows it. Qt's dialog
  // does not report it as a change of the current file.
  if (auto* name = findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))) {
    connect(name, &QLineEdit::textChanged, this, [this](const QString& text) {
      if (!text.isEmpty()) SetHighlighted(directory().absoluteFilePath(text));
    });
  }
  // Room for the file list's columns beside the preview.
  resize(900, 520);
}

bool TOpenPictureDialog::Preview() const {
  return previewCheck_->isChecked();
}

void TOpenPictureDialog::SetPreview(bool on) {
  previewCheck_->setChecked(on);
}

bool TOpenPictureDialog::Execute() {
  QApplication::setOverrideCursor(Qt::ArrowCursor);
  const bool accepted = exec() == QDialog::Accepted;
  QApplication::restoreOverrideCursor();
  ClearPreview();
  shown_ = false;
  QToolTip::hideText();
  return accepted;
}

void TOpenPictureDialog::SetHighlighted(const QString& path) {
  // A click in the list also writes the name into the name field: one read for both.
  if (path == highlighted_) return;
  highlighted_ = path;
  RefreshPreview();
}

void TOpenPictureDialog::RefreshPreview() {
  bool loaded = false;
  if (previewCheck_->isChecked() && QFileInfo(highlighted_).isFile()) {
    const bool reported = reportLoadFailures();
    setReportLoadFailures(false);
    std::string name = highlighted_.toStdString();
    loaded = LoadImageFile(name, preview_, std::string()) > 0;
    setReportLoadFailures(reported);
  }
  if (loaded) {
    preview_.convertTo24();
    pictureLabel_->setText(tr("%1x%2 pixels").arg(preview_.width()).arg(preview_.height()));
  } else {
    ClearPreview();
  }
  paintBox_->update();
}

QString TOpenPictureDialog::PictureLabelText() const {
  return pictureLabel_->text();
}

void TOpenPictureDialog::showEvent(QShowEvent* event) {
  QFileDialog::showEvent(event);
  ClearPreview();
  shown_ = true;
}

void TOpenPictureDialog::ClearPreview() {
  preview_.clear();
  pictureLabel_->clear();
  paintBox_->update();
}

}  // namespace vorlino
