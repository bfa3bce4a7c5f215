// TColorPopup: the drop-down palette of the colour picker. A popup window (it holds the mouse and
// the keyboard while open and closes on a click outside, on Esc, and when the focus or the
// application's activation is lost) with the 40 named colours, optionally the 25 system colours,
// an optional default button and an optional custom button that grows the window into the custom
// colour comb. The picker owns it, opens it and acts on what the user takes from it.
#pragma once

#include <QWidget>
#include <functional>

#include "controls/color_comb.h"
#include "controls/color_palette.h"

namespace vorlino {

class TColorPopup : public QWidget {
  Q_OBJECT

 public:
  // owner: the picker (the window is a top-level popup freed with its owner).
  explicit TColorPopup(QWidget* owner);

  // Where the current left-button drag in custom mode started.
  enum DragArea { daNone = 0, daComb = 1, daGrey = 2, daBar = 3 };

  QString defaultText() const { return defaultText_; }
  void setDefaultText(const QString& text);
  QString customText() const { return customText_; }
  void setCustomText(const QString& text);
  bool showSystemColors() const { return layout_.shape.showSystemColors; }
  void setShowSystemColors(bool show);
  int spacing() const { return layout_.shape.spacing; }
  void setSpacing(int spacing);  // negative values count as 0

  // Hints: whether they are shown, and the owner's text for the default button (kDefaultCell), the
  // custom button (kCustomCell) and empty space (kNoCell).
  void setShowHints(bool show) { showHints_ = show; }
  void setHintProvider(std::function<QString(int cell)> provider) {
    hintProvider_ = std::move(provider);
  }

  // Marks the cell holding colour c as the current one: nothing for kNoColor, the default button
  // for kDefaultColor, a system cell for a symbolic system colour (when shown), otherwise the first
  // cell whose resolved colour equals c's, looking at the named colours, the system colours and
  // the comb (which puts the palette in custom mode).
  void selectColor(Color c);
  // Places the window against anchor (screen coordinates) and shows it.
  void placeAndShow(const QRect& anchor);
  // Re-does the layout after a caption or the system colours changed.
  void adjustWindow();

  int hotIndex() const { return hotIndex_; }
  int selectedIndex() const { return selectedIndex_; }
  bool customMode() const { return customMode_; }
  int customIndex() const { return customIndex_; }
  double brightness() const { return brightness_; }
  DragArea dragArea() const { return dragArea_; }
  const PaletteLayout& paletteLayout() const { return layout_; }
  const CombLayout& combLayout() const { return comb_; }
  // The colour chosen in custom mode, kNoColor when none is.
  Color customColor();
  // Enters custom mode: the window grows to show the comb.
  void enterCustomMode();

  // The hint for a point in window coordinates and the area it belongs to (empty text: none).
  struct Hint {
    QString text;
    QRect area;
    QPoint at;       // where the hint is shown, window coordinates
    int msecs = -1;  // how long it stays; -1: the platform default
  };
  Hint hintAt(QPoint p);

 signals:
  // The user took a cell: a grid cell, kCustomCell (the comb's colour), kDefaultCell, or kNoCell
  // (Enter with nothing hot). The palette stays open until its owner closes it.
  void taken(int cell);
  // Esc, a press outside, or the focus or the application's activation was lost.
  void closeRequested();
  // The window was hidden, whoever hid it.
  void hidden();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  bool event(QEvent* event) override;

 private:
  int hitTest(QPoint p) const;
  void setHot(int cell);
  void take(int cell);
  void handleCustomDrag(QPoint p);
  void setCustomIndex(int index);
  void showDragHint(QPoint p);
  const TCombArray& colorComb();
  int normalHeight() const { return layout_.height; }
  QRect customAreaRect() const;
  void paintCell(QPainter& p, const QRect& r, int cell);
  void paintTextButton(QPainter& p, const QRect& r, int cell, const QString& text);
  void paintCustomAreas(QPainter& p);

  QString defaultText_;
  QString customText_;
  PaletteLayout layout_;
  CombLayout comb_;
  int hotIndex_ = kNoCell;
  int selectedIndex_ = kNoCell;
  bool leftHeld_ = false;
  bool showHints_ = true;
  std::function<QString(int)> hintProvider_;
  QRect anchor_;

  bool customMode_ = false;
  int customIndex_ = 0;  // 0 none, k > 0 comb cell k - 1, k < 0 grey cell -k - 1
  double brightness_ = 1.0;
  DragArea dragArea_ = daNone;
  TCombArray colorComb_;  // built lazily, dropped on a brightness change
  TCombArray greyRow_;
};

}  // namespace vorlino
