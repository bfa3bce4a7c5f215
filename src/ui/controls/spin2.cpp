#include "controls/spin2.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QLocale>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QValidator>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>

#include "controls/visual_styles.h"

namespace vorlino {

// ---- text conversions ---------------------------------------------------------------------------

QChar decimalSeparator() {
  const QString point = QLocale().decimalPoint();
  return point.isEmpty() ? QChar('.') : point.front();
}

QString formatFloat(double value, const QString& pattern, QChar separator) {
  int minInteger = 0, minDecimals = 0, maxDecimals = 0;
  bool afterPoint = false;
  for (QChar c : pattern) {
    if (c == QChar('.')) {
      afterPoint = true;
    } else if (c == QChar('0')) {
      (afterPoint ? minDecimals : minInteger) += 1;
      if (afterPoint) ++maxDecimals;
    } else if (c == QChar('#') && afterPoint) {
      ++maxDecimals;
    }
  }
  if (!std::isfinite(value)) return QString::number(value);
  char buffer[400];
  const auto result =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, maxDecimals);
  std::string text(buffer, result.ptr);
  bool negative = !text.empty() && text.front() == '-';
  if (negative) text.erase(0, 1);
  std::string integer = text, decimals;
  if (const auto point = text.find('.'); point != std::string::npos) {
    integer = text.substr(0, point);
    decimals = text.substr(point + 1);
  }
  while (int(decimals.size()) > minDecimals && decimals.back() == '0') decimals.pop_back();
  while (integer.size() > 1 && int(integer.size()) > minInteger && integer.front() == '0')
    integer.erase(0, 1);
  if (minInteger == 0 && integer == "0") integer.clear();
  while (int(integer.size()) < minInteger) integer.insert(0, 1, '0');
  if (integer.find_first_not_of('0') == std::string::npos &&
      decimals.find_first_not_of('0') == std::string::npos)
    negative = false;  // no "-0.00"
  QString out = negative ? QStringLiteral("-") : QString();
  out += QString::fromLatin1(integer.data(), qsizetype(integer.size()));
  if (!decimals.empty()) {
    out += separator;
    out += QString::fromLatin1(decimals.data(), qsizetype(decimals.size()));
  }
  if (out.isEmpty() || out == QStringLiteral("-")) out = QStringLiteral("0");
  return out;
}

std::optional<double> parseFloat(const QString& text, QChar separator) {
  const QString t = text.trimmed();
  std::string s;
  s.reserve(std::size_t(t.size()));
  int i = 0;
  const int n = int(t.size());
  bool mantissaDigit = false;
  if (i < n && (t[i] == QChar('+') || t[i] == QChar('-'))) {
    if (t[i] == QChar('-')) s += '-';
    ++i;
  }
  for (; i < n && t[i].isDigit() && t[i].unicode() < 128; ++i, mantissaDigit = true)
    s += char(t[i].unicode());
  if (i < n && t[i] == separator) {
    s += '.';
    for (++i; i < n && t[i].unicode() >= '0' && t[i].unicode() <= '9'; ++i, mantissaDigit = true)
      s += char(t[i].unicode());
  }
  if (!mantissaDigit) return std::nullopt;
  if (i < n && (t[i] == QChar('e') || t[i] == QChar('E'))) {
    s += 'e';
    ++i;
    if (i < n && (t[i] == QChar('+') || t[i] == QChar('-'))) s += char(t[i++].unicode());
    bool exponentDigit = false;
    for (; i < n && t[i].unicode() >= '0' && t[i].unicode() <= '9'; ++i, exponentDigit = true)
      s += char(t[i].unicode());
    if (!exponentDigit) return std::nullopt;
  }
  if (i != n) return std::nullopt;
  double value = 0;
  const auto result = std::from_chars(s.data(), s.data() + s.size(), value);
  if (result.ec != std::errc() || result.ptr != s.data() + s.size() || !std::isfinite(value))
    return std::nullopt;
  return value;
}

std::optional<int> parseInt(const QString& text) {
  const QString t = text.trimmed();
  int i = 0;
  const int n = int(t.size());
  bool negative = false;
  if (i < n && (t[i] == QChar('+') || t[i] == QChar('-'))) negative = t[i++] == QChar('-');
  if (i == n) return std::nullopt;
  qint64 magnitude = 0;
  for (; i < n; ++i) {
    const char16_t c = t[i].unicode();
    if (c < '0' || c > '9') return std::nullopt;
    magnitude = magnitude * 10 + (c - '0');
    if (magnitude > qint64(std::numeric_limits<int>::max()) + 1) return std::nullopt;
  }
  const qint64 value = negative ? -magnitude : magnitude;
  if (value > std::numeric_limits<int>::max()) return std::nullopt;
  return int(value);
}

// ---- the common field ---------------------------------------------------------------------------

namespace {

// Refuses user edits (typing, pastes, drops) that would make the text longer than MaxLength. Text
// written by the field itself is always acceptable: a value is never cut, and QLineEdit only
// refuses an edit when the text before it was acceptable.
class LengthValidator : public QValidator {
 public:
  explicit LengthValidator(const TCustomSpinEdit* field, const bool* writing)
      : QValidator(nullptr), field_(field), writing_(writing) {}
  State validate(QString& input, int&) const override {
    const int limit = field_->MaxLength();
    return !*writing_ && limit > 0 && input.size() > limit ? Invalid : Acceptable;
  }

 private:
  const TCustomSpinEdit* field_;
  const bool* writing_;
};

bool isControl(QChar c) {
  return c.unicode() < 0x20 || c.unicode() == 0x7F;
}

}  // namespace

TCustomSpinEdit::TCustomSpinEdit(QWidget* parent) : QLineEdit(parent), upDown_(new TUpDown(this)) {
  auto* validator = new LengthValidator(this, &writing_);
  validator->setParent(this);
  setValidator(validator);
  upDown_->setOrientation(Qt::Vertical);
  upDown_->setClickMode(TUpDown::cmPressRepeat);
  upDown_->setCursor(Qt::ArrowCursor);
  connect(upDown_, &TUpDown::arrowClicked, this, [this](TUpDown::Arrow arrow) {
    if (!hasFocus()) setFocus(Qt::OtherFocusReason);
    if (arrow == TUpDown::udFirst)
      StepUp();
    else
      StepDown();
  });
  connect(this, &QLineEdit::textChanged, this, &TCustomSpinEdit::OnChange);
  updateMinimumHeight();
  resize(sizeHint());
  layoutArrows();
}

QSize TCustomSpinEdit::sizeHint() const {
  return QSize(65, QLineEdit::sizeHint().height());
}

void TCustomSpinEdit::writeText(const QString& text) {
  writing_ = true;
  setText(text);
  writing_ = false;
}

void TCustomSpinEdit::SetEditorEnabled(bool on) {
  editorEnabled_ = on;
  applyEditable();
}

void TCustomSpinEdit::SetReadOnly(bool on) {
  readOnly_ = on;
  applyEditable();
}

void TCustomSpinEdit::applyEditable() {
  // QLineEdit's read-only state refuses typing, paste, cut, drops and middle-click pastes alike.
  QLineEdit::setReadOnly(readOnly_ || !editorEnabled_);
}

void TCustomSpinEdit::SetShowUpDown(bool on) {
  if (showUpDown_ == on) return;
  showUpDown_ = on;
  layoutArrows();
}

void TCustomSpinEdit::layoutArrows() {
  QRect client = rect();
  if (hasFrame()) {
    QStyleOptionFrame option;
    initStyleOption(&option);
    const int frame = style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, this);
    client.adjust(frame, frame, -frame, -frame);
  }
  QRect arrows(client.right() + 1 - kArrowWidth, client.top(), kArrowWidth, client.height());
  if (visualStylesEnabled()) arrows.adjust(-1, -1, 1, 1);
  upDown_->setGeometry(arrows);
  upDown_->setVisible(showUpDown_);
  // The text stops where the arrows begin.
  setTextMargins(0, 0, showUpDown_ ? arrows.width() : 0, 0);
}

void TCustomSpinEdit::updateMinimumHeight() {
  setMinimumHeight((hasFrame() ? 8 : 6) + fontMetrics().height());
}

void TCustomSpinEdit::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Up:
      StepUp();
      QLineEdit::keyPressEvent(event);
      return;
    case Qt::Key_Down:
      StepDown();
      QLineEdit::keyPressEvent(event);
      return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      // Never a line break; the key goes on to the form (default button), which acts on it.
      QLineEdit::keyPressEvent(event);
      return;
    default:
      break;
  }
  const QString typed = event->text();
  const bool shortcut = event->modifiers() & (Qt::ControlModifier | Qt::MetaModifier);
  if (typed.size() != 1 || shortcut) {
    QLineEdit::keyPressEvent(event);
    return;
  }
  QChar c = typed.front();
  if (isControl(c)) {
    if (c == QChar('\r') || (!editorEnabled_ && c == QChar('\b')))
      beep();
    else
      QLineEdit::keyPressEvent(event);
    return;
  }

  const QChar separator = acceptedSeparator();
  if (!separator.isNull() && c == QChar('.')) c = separator;
  const int caret = hasSelectedText() ? selectionStart() : cursorPosition();
  bool accepted = false;
  if (c.unicode() >= '0' && c.unicode() <= '9')
    accepted = true;
  else if (c == QChar('+') || c == QChar('-'))
    accepted = caret == 0;
  else if (!separator.isNull() && c == separator)
    accepted = !text().contains(separator);
  if (!editorEnabled_) accepted = false;
  if (accepted && maxLength_ > 0 && text().size() - selectedText().size() >= maxLength_)
    accepted = false;
  if (!accepted) {
    beep();
    return;
  }
  if (c == typed.front())
    QLineEdit::keyPressEvent(event);
  else
    insert(QString(c));  // a typed full stop becomes the locale's separator
}

void TCustomSpinEdit::focusInEvent(QFocusEvent* event) {
  QLineEdit::focusInEvent(event);
  const Qt::FocusReason reason = event->reason();
  if (reason == Qt::PopupFocusReason || reason == Qt::ActiveWindowFocusReason) return;
  if (autoSelect_ && reason != Qt::MouseFocusReason)
    selectAll();
  else if (!autoSelect_)
    deselect();
}

void TCustomSpinEdit::focusOutEvent(QFocusEvent* event) {
  // A menu opening or another window taking over does not leave the field.
  const Qt::FocusReason reason = event->reason();
  if (reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason) leaveField();
  QLineEdit::focusOutEvent(event);
}

void TCustomSpinEdit::resizeEvent(QResizeEvent* event) {
  QLineEdit::resizeEvent(event);
  layoutArrows();
}

void TCustomSpinEdit::changeEvent(QEvent* event) {
  QLineEdit::changeEvent(event);
  if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) {
    updateMinimumHeight();
    layoutArrows();
  }
}

// ---- TSpinEdit2 ---------------------------------------------------------------------------------

TSpinEdit2::TSpinEdit2(QWidget* parent) : TCustomSpinEdit(parent) {
  writeText(QStringLiteral("0"));
}

int TSpinEdit2::limit(qint64 value) const {
  if (minValue_ != maxValue_) value = std::clamp<qint64>(value, minValue_, maxValue_);
  return int(
      std::clamp<qint64>(value, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

int TSpinEdit2::Value() const {
  return parseInt(text()).value_or(minValue_);
}

void TSpinEdit2::SetValue(int value) {
  writeText(QString::number(limit(value)));
}

void TSpinEdit2::StepUp() {
  if (ReadOnly()) {
    beep();
    return;
  }
  writeText(QString::number(limit(qint64(Value()) + increment_)));
}

void TSpinEdit2::StepDown() {
  if (ReadOnly()) {
    beep();
    return;
  }
  writeText(QString::number(limit(qint64(Value()) - increment_)));
}

void TSpinEdit2::leaveField() {
  // Only an out-of-range number is rewritten; an unparsable text stays as typed.
  const int value = Value();
  if (limit(value) != value) SetValue(value);
}

// ---- TFloatSpinEdit -----------------------------------------------------------------------------

TFloatSpinEdit::TFloatSpinEdit(QWidget* parent) : TCustomSpinEdit(parent) {
  writeText(QStringLiteral("0") + decimalSeparator() + QStringLiteral("00"));
}

void TFloatSpinEdit::SetFormat(const QString& pattern) {
  format_ = pattern.isEmpty() ? QStringLiteral("0.00") : pattern;
}

double TFloatSpinEdit::limit(double value) const {
  if (minValue_ != maxValue_) value = std::clamp(value, minValue_, maxValue_);
  return value;
}

double TFloatSpinEdit::Value() const {
  return parseFloat(text(), decimalSeparator()).value_or(minValue_);
}

void TFloatSpinEdit::SetValue(double value) {
  writeText(formatFloat(limit(value), format_, decimalSeparator()));
}

void TFloatSpinEdit::StepUp() {
  if (ReadOnly()) {
    beep();
    return;
  }
  SetValue(Value() + increment_);
}

void TFloatSpinEdit::StepDown() {
  if (ReadOnly()) {
    beep();
    return;
  }
  SetValue(Value() - increment_);
}

QChar TFloatSpinEdit::acceptedSeparator() const {
  return format_.contains(QChar('.')) ? decimalSeparator() : QChar();
}

void TFloatSpinEdit::leaveField() {
  if (!text().isEmpty()) SetValue(Value());
}

}  // namespace vorlino
