// The picture open dialog: Qt's own (non-native) file dialog widened on the right by a preview
// panel. Whenever the highlighted file changes and "Aperçu" is checked, the file is read with
// failure reports switched off and shown fitted into a box, its size in pixels below.
#pragma once

#include <QFileDialog>
#include <QString>
#include <QWidget>

#include "bitmap/bitmap.h"

class QCheckBox;
class QFrame;
class QLabel;

namespace vorlino {

// The box that draws the preview bitmap: centred, at its own size when it fits, otherwise scaled
// by the largest factor at which it fits, with plain stretching and no background fill; "(vide)"
// centred when there is no picture.
class TPreviewBox : public QWidget {
  Q_OBJECT

 public:
  explicit TPreviewBox(const vorlino::Bitmap& picture, QWidget* parent = nullptr)
      : QWidget(parent), picture_(picture) {}

  // Where the picture lands inside a box of `size` (empty without a picture).
  QRect PictureRect(const QSize& size) const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  const vorlino::Bitmap& picture_;
};

class TOpenPictureDialog : public QFileDialog {
  Q_OBJECT

 public:
  explicit TOpenPictureDialog(QWidget* parent = nullptr);

  // The checked state of "Aperçu".
  bool Preview() const;
  void SetPreview(bool on);

  // Shows the dialog modally with the arrow cursor; true when the user confirmed a file. The
  // preview is emptied afterwards.
  bool Execute();

  // Reads the highlighted file into the preview (or empties it) and repaints the box.
  void RefreshPreview();
  // The file the preview follows; normally set by the dialog's selection.
  void SetHighlighted(const QString& path);

  const vorlino::Bitmap& PreviewBitmap() const { return preview_; }
  QString PictureLabelText() const;
  TPreviewBox* PaintBox() const { return paintBox_; }

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void ClearPreview();

  QWidget* picturePanel_;
  QCheckBox* previewCheck_;
  QFrame* paintPanel_;
  TPreviewBox* paintBox_;
  QLabel* pictureLabel_;
  vorlino::Bitmap preview_;
  QString highlighted_;
  bool shown_ = false;
};

}  // namespace vorlino
