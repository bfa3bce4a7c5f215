#include "controls/color_picker.h"

#include <qdrawutil.h>
#include <QKeySequence>
#include <QMouseEvent>
#include <QPainter>
#include <QShortcut>

#include "controls/color_palette.h"
#include "controls/color_popup.h"
#include "controls/system_colors.h"

namespace vorlino {
namespace {

constexpr int kButtonFace = 15;  // system colour index of the button face

}  // namespace

TColorPicker::TColorPicker(QWidget* parent)
    : QWidget(parent), color_(systemColor(kButtonFace)), margin_(2) {
  ensureSystemColorsLoaded();
  popup_ = new TColorPopup(this);
  popup_->setHintProvider([this](int cell) {
    QString hint = onHint_ ? onHint_(cell) : QString();
    if (hint.isEmpty() && (cell == kDefaultCell || cell == kCustomCell)) hint = toolTip();
    return hint;
  });
  connect(popup_, &TColorPopup::taken, this, &TColorPicker::takeFromPopup);
  connect(popup_, &TColorPopup::closeRequested, this, [this] { setDroppedDown(false); });
  connect(popup_, &TColorPopup::hidden, this, &TColorPicker::popupHidden);
  resize(sizeHint());
}

TColorPicker::~TColorPicker() {
  // The palette is a child window: make sure it does not call back into a half-destroyed picker.
  disconnect(popup_, nullptr, this, nullptr);
}

void TColorPicker::setColor(Color c) {
  if (c == color_) return;
  color_ = c;
  update();
}

QString TColorPicker::customText() const {
  return popup_->customText();
}
void TColorPicker::setCustomText(const QString& text) {
  popup_->setCustomText(text);
}
QString TColorPicker::defaultText() const {
  return popup_->defaultText();
}
void TColorPicker::setDefaultText(const QString& text) {
  popup_->setDefaultText(text);
}
int TColorPicker::popupSpacing() const {
  return popup_->spacing();
}
void TColorPicker::setPopupSpacing(int spacing) {
  popup_->setSpacing(spacing);
}
bool TColorPicker::showSystemColors() const {
  return popup_->showSystemColors();
}
void TColorPicker::setShowSystemColors(bool show) {
  popup_->setShowSystemColors(show);
}

void TColorPicker::setIndicatorBorder(TIndicatorBorder border) {
  if (border == indicatorBorder_) return;
  indicatorBorder_ = border;
  update();
}

void TColorPicker::setMargin(int margin) {
  if (margin == margin_) return;
  margin_ = margin;
  update();
}

void TColorPicker::setTransparent(bool on) {
  if (on == transparent_) return;
  transparent_ = on;
  setAttribute(Qt::WA_OpaquePaintEvent, !on);
  update();
}

void TColorPicker::setShowHint(bool show) {
  showHint_ = show;
  popup_->setShowHints(show);
}

void TColorPicker::setCaption(const QString& caption) {
  caption_ = caption;
  delete accelerator_;
  accelerator_ = nullptr;
  const QKeySequence key = QKeySequence::mnemonic(caption);
  if (!key.isEmpty()) {
    accelerator_ = new QShortcut(key, this);
    connect(accelerator_, &QShortcut::activated, this, &TColorPicker::clicked);
  }
}

void TColorPicker::setSelectionColor(Color c) {
  if (c == selectionColor_) return;
  selectionColor_ = c;
  if (droppedDown_) popup_->selectColor(c);
  update();
  emit changed();
}

void TColorPicker::setDroppedDown(bool down) {
  if (down == droppedDown_) return;
  if (onDropChanging_ && !onDropChanging_(down)) return;
  droppedDown_ = down;
  if (down) {
    popup_->setShowHints(showHint_);
    popup_->selectColor(selectionColor_);
    popup_->placeAndShow(anchorOnScreen());
  } else {
    popup_->hide();
  }
  emit dropChanged();
  update();
}

void TColorPicker::takeFromPopup(int cell) {
  if (cell >= 0) {
    setSelectionColor(cellColor(cell));
  } else if (cell == kCustomCell) {
    const Color chosen = popup_->customColor();
    if (chosen != kNoColor) setSelectionColor(chosen);
  } else {
    emit defaultSelected();
  }
  setDroppedDown(false);
}

void TColorPicker::popupHidden() {
  // Hidden by someone other than setDroppedDown (the window system closing popups): follow it.
  if (!droppedDown_) return;
  droppedDown_ = false;
  emit dropChanged();
  update();
}

QRect TColorPicker::anchorOnScreen() const {
  const QWidget* anchor = anchorToParent_ && parentWidget() ? parentWidget() : this;
  return QRect(anchor->mapToGlobal(QPoint(0, 0)), anchor->size());
}

void TColorPicker::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
  pressed_ = true;
  if (clickDropDown_ && !droppedDown_) setDroppedDown(true);
}

void TColorPicker::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return QWidget::mouseReleaseEvent(event);
  const bool wasPressed = pressed_;
  pressed_ = false;
  if (wasPressed && rect().contains(event->position().toPoint())) emit clicked();
}

void TColorPicker::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) emit doubleClicked();
  mousePressEvent(event);
}

void TColorPicker::paintEvent(QPaintEvent*) {
  QPainter p(this);
  QRect r = rect();
  if (!transparent_) p.fillRect(r, toQColor(color_));
  r.adjust(margin_, margin_, -margin_, -margin_);
  if (r.isEmpty()) return;
  if (isEnabled()) {
    const QColor swatch = toQColor(selectionColor_);
    switch (indicatorBorder_) {
      case TIndicatorBorder::ibFlat:
        p.setPen(palette().color(QPalette::Dark));
        p.setBrush(swatch);
        p.drawRect(r.adjusted(0, 0, -1, -1));
        break;
      case TIndicatorBorder::ibNone:
        p.fillRect(r, swatch);
        break;
      case TIndicatorBorder::ibSunken:
      case TIndicatorBorder::ibRaised:
        qDrawShadePanel(&p, r, palette(), indicatorBorder_ == TIndicatorBorder::ibSunken, 1);
        p.fillRect(r.adjusted(1, 1, -1, -1), swatch);
        break;
    }
  } else {
    const QColor grey = palette().color(QPalette::Disabled, QPalette::Text);
    p.fillRect(r, toQColor(color_));
    p.fillRect(r, QBrush(grey, Qt::Dense4Pattern));
    p.setPen(grey);
    p.setBrush(Qt::NoBrush);
    p.drawRect(r.adjusted(0, 0, -1, -1));
  }
}

}  // namespace vorlino
