// TColorEdit: the colour field. A bordered box that shows the chosen colour as a swatch (a
// TColorPicker) with a drop-down arrow (a TPrevNextButton in style stDown) at its right edge. A
// click on the swatch runs the linked colour dialog (or drops the palette down when none is
// linked); the arrow drops the palette down.
#pragma once

#include <QFrame>
#include <functional>

#include "bitmap/color.h"

namespace vorlino {

class TColorPicker;
class TPrevNextButton;

// Runs a colour dialog on color; returns true and the chosen colour in color on OK, false (color
// untouched) when cancelled. Tests link a scripted one so that no modal loop ever waits.
using ColorDialogFunction = std::function<bool(Color& color)>;

// The program's colour dialog: Qt's own (not the desktop's), so that its custom colours show and
// keep between runs and it behaves the same everywhere. The initial colour is resolved first.
bool runColorDialog(Color& color, QWidget* parent);

class TColorEdit : public QFrame {
  Q_OBJECT

 public:
  enum TBorderStyle { bsNone, bsSingle };

  explicit TColorEdit(QWidget* parent = nullptr);

  TBorderStyle borderStyle() const { return borderStyle_; }
  void setBorderStyle(TBorderStyle style);
  // The chosen colour (the picker's selection colour). Writing the current value does nothing;
  // any change emits changed().
  Color color() const;
  void setColor(Color c);
  // The dialog run by a click on the swatch; an empty function unlinks it.
  void setColorDialog(ColorDialogFunction dialog) { colorDialog_ = std::move(dialog); }
  bool hasColorDialog() const { return static_cast<bool>(colorDialog_); }
  // Read-only: the swatch click does nothing and the arrow is disabled.
  bool readOnly() const { return readOnly_; }
  void setReadOnly(bool on);

  TColorPicker* picker() const { return picker_; }
  TPrevNextButton* arrow() const { return arrow_; }

  // The height below which the field never shrinks: it depends on the border and the font.
  int minimumFieldHeight() const;
  QSize sizeHint() const override { return {80, minimumFieldHeight()}; }
  QSize minimumSizeHint() const override { return {0, minimumFieldHeight()}; }

 signals:
  void changed();

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void swatchClicked();
  void layoutParts();

  TColorPicker* picker_;
  TPrevNextButton* arrow_;
  TBorderStyle borderStyle_ = bsSingle;
  bool readOnly_ = false;
  ColorDialogFunction colorDialog_;
};

}  // namespace vorlino
