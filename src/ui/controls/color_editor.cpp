#include "controls/color_editor.h"

#include <QColorDialog>
#include <QEvent>

#include "controls/color_palette.h"
#include "controls/color_picker.h"
#include "controls/prev_next_btn.h"
#include "controls/visual_styles.h"

namespace vorlino {
namespace {

constexpr int kArrowWidth = 15;

}  // namespace

bool runColorDialog(Color& color, QWidget* parent) {
  QColorDialog dialog(toQColor(color), parent);
  dialog.setOption(QColorDialog::DontUseNativeDialog);
  if (dialog.exec() != QDialog::Accepted) return false;
  color = fromQColor(dialog.selectedColor());
  return true;
}

TColorEdit::TColorEdit(QWidget* parent)
    : QFrame(parent), picker_(new TColorPicker(this)), arrow_(new TPrevNextButton(this)) {
  setBackgroundRole(QPalette::Base);
  setAutoFillBackground(true);
  setFrameStyle(QFrame::WinPanel | QFrame::Sunken);

  picker_->setIndicatorBorder(TIndicatorBorder::ibFlat);
  picker_->setTransparent(true);
  picker_->setClickDropDown(false);
  picker_->setAnchorToParent(true);
  // The access key opens the comb from the keyboard.
  picker_->setCustomText(tr("&Autres couleurs..."));
  arrow_->SetStyle(stDown);

  connect(picker_, &TColorPicker::changed, this, &TColorEdit::changed);
  connect(picker_, &TColorPicker::clicked, this, &TColorEdit::swatchClicked);
  connect(arrow_, &TPrevNextButton::OnClick, this, [this] { picker_->setDroppedDown(true); });

  setMinimumHeight(minimumFieldHeight());
  resize(80, minimumFieldHeight());
  layoutParts();
}

void TColorEdit::setBorderStyle(TBorderStyle style) {
  if (style == borderStyle_) return;
  borderStyle_ = style;
  setFrameStyle(style == bsSingle ? (QFrame::WinPanel | QFrame::Sunken) : QFrame::NoFrame);
  setMinimumHeight(minimumFieldHeight());
  layoutParts();
}

Color TColorEdit::color() const {
  return picker_->selectionColor();
}

void TColorEdit::setColor(Color c) {
  picker_->setSelectionColor(c);
}

void TColorEdit::setReadOnly(bool on) {
  readOnly_ = on;
  arrow_->setEnabled(!on);
}

int TColorEdit::minimumFieldHeight() const {
  // Room for the border and a line of text, as a one-line edit field of the same font.
  return (borderStyle_ == bsSingle ? 8 : 6) + fontMetrics().height();
}

void TColorEdit::swatchClicked() {
  if (readOnly_) return;
  if (!colorDialog_) {
    picker_->setDroppedDown(true);
    return;
  }
  Color chosen = color();
  if (colorDialog_(chosen)) setColor(chosen);
}

void TColorEdit::layoutParts() {
  const QRect client = contentsRect();
  const bool styled = visualStylesEnabled();
  arrow_->setGeometry(client.right() + 1 - kArrowWidth, client.top(), kArrowWidth, client.height());
  picker_->setGeometry(client.left(), client.top(),
                       std::max(0, client.width() - (styled ? kArrowWidth + 1 : kArrowWidth)),
                       client.height());
  picker_->setMargin(styled ? 1 : 2);
}

void TColorEdit::resizeEvent(QResizeEvent* event) {
  QFrame::resizeEvent(event);
  const int minimum = minimumFieldHeight();
  if (height() < minimum) {
    resize(width(), minimum);  // comes back here at the minimum height
    return;
  }
  layoutParts();
}

void TColorEdit::changeEvent(QEvent* event) {
  QFrame::changeEvent(event);
  if (event->type() == QEvent::FontChange) {
    setMinimumHeight(minimumFieldHeight());
    layoutParts();
  }
}

}  // namespace vorlino
