// Numeric edit fields with up and down arrows inside their right edge.
//
// TSpinEdit2 holds an integer, TFloatSpinEdit a real number shown through a format. The value lives
// in the text: typed characters are filtered key by key (digits, a sign at the very start, the
// locale's decimal separator once, control characters), the value is read by parsing the text
// (MinValue when it does not parse) and written by formatting it, limited to MinValue..MaxValue
// unless both are equal. Pasted text is not filtered. Up/Down keys and the arrows step by
// Increment; a read-only field beeps instead. With EditorEnabled off the text cannot be edited
// but the arrows still step.
//
// Use the PascalCase properties below; QLineEdit's own read-only and maximum-length settings are
// driven by them.
#pragma once

#include <QLineEdit>
#include <QString>
#include <optional>

#include "controls/up_down.h"

namespace vorlino {

// ---- text conversions, free of any widget -------------------------------------------------------

// The current locale's decimal separator.
QChar decimalSeparator();

// value formatted by a pattern of '0' (digit always shown), '#' (digit shown when significant) and
// at most one '.', which stands for `separator`; other characters are ignored. The last decimal is
// rounded to nearest (ties to even on exact binary ties); "-0" is never shown. "0.00" gives 12.50.
QString formatFloat(double value, const QString& pattern, QChar separator);

// A real number: optional blanks, sign, digits with at most one `separator`, an optional exponent.
std::optional<double> parseFloat(const QString& text, QChar separator);
// A 32-bit integer: optional blanks, sign and decimal digits.
std::optional<int> parseInt(const QString& text);

// ---- the common field ---------------------------------------------------------------------------

class TCustomSpinEdit : public QLineEdit {
  Q_OBJECT

 public:
  // Width of the arrows at 96 dpi, before the visual-styles growth.
  static constexpr int kArrowWidth = 13;

  bool AutoSelect() const { return autoSelect_; }
  void SetAutoSelect(bool on) { autoSelect_ = on; }
  bool EditorEnabled() const { return editorEnabled_; }
  void SetEditorEnabled(bool on);
  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool on);
  // Characters the user may type (0: no limit); text written through Value is never cut.
  int MaxLength() const { return maxLength_; }
  void SetMaxLength(int length) { maxLength_ = qMax(0, length); }
  bool ShowUpDown() const { return showUpDown_; }
  void SetShowUpDown(bool on);

  virtual void StepUp() = 0;
  virtual void StepDown() = 0;

  TUpDown* UpDown() const { return upDown_; }
  QSize sizeHint() const override;

 signals:
  // Every change of the text, typed or written by Value.
  void OnChange();

 protected:
  explicit TCustomSpinEdit(QWidget* parent);

  // The decimal separator accepted by the key filter, or a null QChar when none is.
  virtual QChar acceptedSeparator() const { return QChar(); }
  virtual void leaveField() = 0;
  // Sets the text as the field's own write: never refused by the typing limit.
  void writeText(const QString& text);

  void keyPressEvent(QKeyEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void layoutArrows();
  void updateMinimumHeight();
  void applyEditable();

  TUpDown* upDown_;
  bool autoSelect_ = true;
  bool editorEnabled_ = true;
  bool readOnly_ = false;
  bool showUpDown_ = true;
  int maxLength_ = 0;
  bool writing_ = false;
};

class TSpinEdit2 : public TCustomSpinEdit {
  Q_OBJECT

 public:
  explicit TSpinEdit2(QWidget* parent = nullptr);

  int Value() const;
  void SetValue(int value);
  int MinValue() const { return minValue_; }
  void SetMinValue(int value) { minValue_ = value; }
  int MaxValue() const { return maxValue_; }
  void SetMaxValue(int value) { maxValue_ = value; }
  int Increment() const { return increment_; }
  void SetIncrement(int value) { increment_ = value; }

  void StepUp() override;
  void StepDown() override;

 protected:
  void leaveField() override;

 private:
  int limit(qint64 value) const;

  int minValue_ = 0;
  int maxValue_ = 0;
  int increment_ = 1;
};

class TFloatSpinEdit : public TCustomSpinEdit {
  Q_OBJECT

 public:
  explicit TFloatSpinEdit(QWidget* parent = nullptr);

  double Value() const;
  void SetValue(double value);
  double MinValue() const { return minValue_; }
  void SetMinValue(double value) { minValue_ = value; }
  double MaxValue() const { return maxValue_; }
  void SetMaxValue(double value) { maxValue_ = value; }
  double Increment() const { return increment_; }
  void SetIncrement(double value) { increment_ = value; }
  // Pattern for the text (see formatFloat); an empty pattern stores "0.00".
  QString Format() const { return format_; }
  void SetFormat(const QString& pattern);

  void StepUp() override;
  void StepDown() override;

 protected:
  QChar acceptedSeparator() const override;
  void leaveField() override;

 private:
  double limit(double value) const;

  double minValue_ = 0;
  double maxValue_ = 0;
  double increment_ = 1.0;
  QString format_ = QStringLiteral("0.00");
};

}  // namespace vorlino
