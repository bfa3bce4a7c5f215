// TColorPicker: a swatch that paints the chosen colour and owns the drop-down palette
// (TColorPopup). Opening the palette, taking what the user picks from it and telling the owner
// about it all go through here; the colour field (TColorEdit) is its one user in the program.
#pragma once

#include <QWidget>
#include <functional>

#include "bitmap/color.h"

class QShortcut;

namespace vorlino {

class TColorPopup;

enum class TIndicatorBorder { ibNone, ibFlat, ibSunken, ibRaised };

class TColorPicker : public QWidget {
  Q_OBJECT

 public:
  explicit TColorPicker(QWidget* parent = nullptr);
  ~TColorPicker() override;

  // Left press on the swatch drops the palette down (off by default).
  bool clickDropDown() const { return clickDropDown_; }
  void setClickDropDown(bool on) { clickDropDown_ = on; }
  // Background, painted when not transparent; default the button face colour.
  Color color() const { return color_; }
  void setColor(Color c);
  // Captions of the palette's custom and default buttons; empty hides the button.
  QString customText() const;
  void setCustomText(const QString& text);
  QString defaultText() const;
  void setDefaultText(const QString& text);
  TIndicatorBorder indicatorBorder() const { return indicatorBorder_; }
  void setIndicatorBorder(TIndicatorBorder border);
  // Inset of the colour indicator from the control's edge.
  int margin() const { return margin_; }
  void setMargin(int margin);
  // Horizontal spacing inside the palette; negative values count as 0.
  int popupSpacing() const;
  void setPopupSpacing(int spacing);
  // The chosen colour (default black); symbolic system colours stay symbolic.
  Color selectionColor() const { return selectionColor_; }
  void setSelectionColor(Color c);
  bool showSystemColors() const;
  void setShowSystemColors(bool show);
  bool transparent() const { return transparent_; }
  void setTransparent(bool on);
  // Hints over the palette (the picker's "ShowHint").
  bool showHint() const { return showHint_; }
  void setShowHint(bool show);
  // A caption is not painted; its "&" accelerator clicks the picker.
  QString caption() const { return caption_; }
  void setCaption(const QString& caption);

  // The palette opens under the parent instead of under the picker (set by the colour field).
  bool anchorToParent() const { return anchorToParent_; }
  void setAnchorToParent(bool on) { anchorToParent_ = on; }

  bool droppedDown() const { return droppedDown_; }
  void setDroppedDown(bool down);

  // May veto opening (opening true) or closing the palette by returning false.
  using DropChangingHandler = std::function<bool(bool opening)>;
  void setDropChangingHandler(DropChangingHandler handler) { onDropChanging_ = std::move(handler); }
  // Supplies the hint of the default button (-3), the custom button (-2) or empty space (-1).
  using HintHandler = std::function<QString(int cell)>;
  void setHintHandler(HintHandler handler) { onHint_ = std::move(handler); }

  TColorPopup* popup() const { return popup_; }

  QSize sizeHint() const override { return {45, 22}; }

 signals:
  void changed();          // the selection colour changed
  void defaultSelected();  // the default button (or nothing, with Enter) was taken
  void dropChanged();      // the palette opened or closed
  void clicked();
  void doubleClicked();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  void takeFromPopup(int cell);
  void popupHidden();
  QRect anchorOnScreen() const;

  TColorPopup* popup_ = nullptr;  // owned as a child window
  QShortcut* accelerator_ = nullptr;
  bool clickDropDown_ = false;
  Color color_;
  TIndicatorBorder indicatorBorder_ = TIndicatorBorder::ibFlat;
  int margin_ = 0;
  Color selectionColor_ = kBlack;
  bool transparent_ = true;
  bool showHint_ = true;
  QString caption_;
  bool anchorToParent_ = false;
  bool droppedDown_ = false;
  bool pressed_ = false;
  DropChangingHandler onDropChanging_;
  HintHandler onHint_;
};

}  // namespace vorlino
