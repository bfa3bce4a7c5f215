#include "dialogs/redim.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <algorithm>
#include <cmath>
#include <limits>

#include "compose/plain_resize.h"
#include "compose/resample.h"
#include "compose/resample_alpha.h"
#include "controls/spin2.h"
#include "dialogs/modal.h"
#include "prompts/prompts.h"

namespace vorlino {

namespace {

const char* const kCaption = QT_TRANSLATE_NOOP("vorlino::TRedimForm", "Taille de l'image");

// The busy state for the time of a scope, left however the scope ends.
class BusyScope {
 public:
  explicit BusyScope(TRedimHost& host) : host_(host) { host_.BeginBusy(); }
  ~BusyScope() { host_.EndBusy(); }
  BusyScope(const BusyScope&) = delete;
  BusyScope& operator=(const BusyScope&) = delete;

 private:
  TRedimHost& host_;
};

TFloatSpinEdit* sizeField(QWidget* parent, const char* name) {
  auto* field = new TFloatSpinEdit(parent);
  field->setObjectName(QString::fromLatin1(name));
  field->SetFormat(QStringLiteral("0"));
  field->SetIncrement(1);
  field->SetMinValue(1);
  field->SetMaxValue(TRedimForm::kMaxFieldValue);
  field->SetValue(1);
  field->SetShowUpDown(true);
  return field;
}

QComboBox* unitList(QWidget* parent, const char* name) {
  auto* list = new QComboBox(parent);
  list->setObjectName(QString::fromLatin1(name));
  list->addItems({QStringLiteral("pixels"), QStringLiteral("%"), QStringLiteral("cm")});
  list->setCurrentIndex(0);
  return list;
}

}  // namespace

int RoundHalfEven(double value) {
  if (!(value == value)) return 0;
  const double limited = std::clamp(value, double(std::numeric_limits<int>::min()),
                                    double(std::numeric_limits<int>::max()));
  // The default rounding mode rounds halves to the even neighbour.
  return int(std::nearbyint(limited));
}

int SizeToPixels(double value, int unit, int origSize, double pixelsPerCm) {
  switch (unit) {
    case suPercent:
      return RoundHalfEven(value * origSize / 100);
    case suCentimetres:
      return RoundHalfEven(value * pixelsPerCm);
    default:
      return RoundHalfEven(value);
  }
}

double PixelsToSize(int p, int unit, int origSize, double pixelsPerCm) {
  switch (unit) {
    case suPercent:
      return origSize > 0 ? double(p) * 100 / origSize : 100.0;
    case suCentimetres:
      return double(p) / pixelsPerCm;
    default:
      return p;
  }
}

double PixelsPerCm(double pixels, double millimetres) {
  if (!(pixels > 0) || !(millimetres > 0)) return 96 / 2.54;
  return pixels / millimetres * 10;
}

TRedimForm::TRedimForm(TRedimHost& host, QWidget* parent) : QDialog(parent), host_(host) {
  setObjectName(QStringLiteral("RedimForm"));
  setWindowTitle(tr(kCaption));
  setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowStaysOnTopHint |
                 Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
  setFont(DialogFont());
  setFixedSize(227, 225);

  Label1 = new QLabel(tr("Largeur :"), this);
  Label1->setObjectName(QStringLiteral("Label1"));
  PlaceAt(Label1, 16, 16);
  EdiL = sizeField(this, "EdiL");
  Place(EdiL, 16, 32, 89, 21);
  CmbL = unitList(this, "CmbL");
  Place(CmbL, 112, 32, 81, 21);

  Label2 = new QLabel(tr("Hauteur :"), this);
  Label2->setObjectName(QStringLiteral("Label2"));
  PlaceAt(Label2, 16, 64);
  EdiH = sizeField(this, "EdiH");
  Place(EdiH, 16, 80, 89, 21);
  CmbH = unitList(this, "CmbH");
  Place(CmbH, 112, 80, 81, 21);

  CBProportions = new QCheckBox(tr("Conserver les proportions"), this);
  CBProportions->setObjectName(QStringLiteral("CBProportions"));
  CBProportions->setChecked(true);
  Place(CBProportions, 16, 120, 177, 17);
  CBOptimiser = new QCheckBox(tr("Optimiser"), this);
  CBOptimiser->setObjectName(QStringLiteral("CBOptimiser"));
  CBOptimiser->setChecked(true);
  Place(CBOptimiser, 16, 140, 177, 17);

  BOk = new QPushButton(OkGlyph(), tr("OK"), this);
  BOk->setObjectName(QStringLiteral("BOk"));
  BOk->setDefault(true);
  Place(BOk, 56, 184, 75, 27);
  BAnnuler = new QPushButton(CancelGlyph(), tr("Annuler"), this);
  BAnnuler->setObjectName(QStringLiteral("BAnnuler"));
  Place(BAnnuler, 136, 184, 75, 27);

  setTabOrder(CBProportions, CBOptimiser);
  setTabOrder(CBOptimiser, CmbL);
  setTabOrder(CmbL, CmbH);
  setTabOrder(CmbH, EdiL);
  setTabOrder(EdiL, EdiH);
  setTabOrder(EdiH, BOk);
  setTabOrder(BOk, BAnnuler);

  connect(CmbL, &QComboBox::currentIndexChanged, this, &TRedimForm::CmbLChange);
  connect(CmbH, &QComboBox::currentIndexChanged, this, &TRedimForm::CmbHChange);
  connect(EdiL, &TFloatSpinEdit::OnChange, this, &TRedimForm::EdiLChange);
  connect(EdiH, &TFloatSpinEdit::OnChange, this, &TRedimForm::EdiHChange);
  connect(BOk, &QPushButton::clicked, this, &TRedimForm::ClickOk);
  connect(BAnnuler, &QPushButton::clicked, this, &QDialog::reject);

  // The dialog sees keys before its controls.
  for (QWidget* child : findChildren<QWidget*>()) child->installEventFilter(this);

  // Centimetres here are screen centimetres, as the display reports its size.
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    SetPixelsPerCm(PixelsPerCm(screen->size().width(), screen->physicalSize().width()),
                   PixelsPerCm(screen->size().height(), screen->physicalSize().height()));
  }
}

void TRedimForm::SetPixelsPerCm(double x, double y) {
  pixelsPerCmX_ = x;
  pixelsPerCmY_ = y;
}

int TRedimForm::WidthInPixels() const {
  return SizeToPixels(EdiL->Value(), unitW_, origWidth_, pixelsPerCmX_);
}

int TRedimForm::HeightInPixels() const {
  return SizeToPixels(EdiH->Value(), unitH_, origHeight_, pixelsPerCmY_);
}

void TRedimForm::ShowWidth(int p) {
  linking_ = false;
  EdiL->SetValue(PixelsToSize(p, unitW_, origWidth_, pixelsPerCmX_));
  linking_ = true;
}

void TRedimForm::ShowHeight(int p) {
  linking_ = false;
  EdiH->SetValue(PixelsToSize(p, unitH_, origHeight_, pixelsPerCmY_));
  linking_ = true;
}

void TRedimForm::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!event->spontaneous()) FormShow();
}

void TRedimForm::FormShow() {
  const Bitmap& image = host_.WorkingBitmap();
  origWidth_ = image.width();
  origHeight_ = image.height();
  // A transparent result is always stretched plainly: filtering would create colours next to
  // the key colour.
  CBOptimiser->setEnabled(!image.Transparent);
  CBOptimiser->setChecked(CBOptimiser->isEnabled());
  ratio_ = origHeight_ > 0 ? double(origWidth_) / origHeight_ : 1.0;
  unitW_ = CmbL->currentIndex();
  unitH_ = CmbH->currentIndex();
  // The fields must be able to show the image's own size, or OK without any edit would squash an
  // image larger than the usual maximum.
  const int maximum = std::max({int(kMaxFieldValue), origWidth_, origHeight_});
  EdiL->SetMaxValue(maximum);
  EdiH->SetMaxValue(maximum);
  ShowWidth(origWidth_);
  ShowHeight(origHeight_);
  CBProportions->setChecked(true);
  BOk->setFocus(Qt::OtherFocusReason);
}

void TRedimForm::ChangeUnit(QComboBox* list, TFloatSpinEdit* field, int& unit, bool width) {
  linking_ = false;
  const int p = width ? WidthInPixels() : HeightInPixels();
  unit = list->currentIndex();
  field->SetFormat(unit == suPixels ? QStringLiteral("0") : QStringLiteral("0.00"));
  if (width)
    ShowWidth(p);
  else
    ShowHeight(p);
  linking_ = true;
}

void TRedimForm::CmbLChange() {
  ChangeUnit(CmbL, EdiL, unitW_, true);
}

void TRedimForm::CmbHChange() {
  ChangeUnit(CmbH, EdiH, unitH_, false);
}

void TRedimForm::EdiLChange() {
  if (linking_ && CBProportions->isChecked() && !EdiL->text().isEmpty())
    ShowHeight(RoundHalfEven(WidthInPixels() / ratio_));
}

void TRedimForm::EdiHChange() {
  if (linking_ && CBProportions->isChecked() && !EdiH->text().isEmpty())
    ShowWidth(RoundHalfEven(HeightInPixels() * ratio_));
}

void TRedimForm::BOkClick() {
  if (EdiL->text().isEmpty() || EdiH->text().isEmpty()) {
    prompts().message(MessageKind::mkWarning, "Avertissement",
                      tr("Renseignez tous les champs avant de continuer !").toStdString(),
                      MessageButtons::mbOk);
    return;
  }
  newWidth_ = std::max(2, WidthInPixels());
  newHeight_ = std::max(2, HeightInPixels());
  if (newWidth_ == origWidth_ && newHeight_ == origHeight_) {
    reject();
    return;
  }
  {
    BusyScope busy(host_);
    host_.RecordUndo(kCaption);
    try {
      Bitmap& working = host_.WorkingBitmap();
      Bitmap* snapshot = host_.CurrentSnapshot();
      Bitmap source;
      if (!snapshot) {
        source = working;
        snapshot = &source;
      }
      // Resize into a bitmap of its own: a failure leaves the working bitmap whole.
      Bitmap resized;
      if (CBOptimiser->isChecked()) {
        // A soft-transparency result keeps its alpha; 24-bit pictures resize as they always did.
        ResampleKeepingAlpha(std::uint32_t(newWidth_), std::uint32_t(newHeight_), rkLanczos3, 0,
                             *snapshot, resized);
        resized.Transparent = working.Transparent;
        resized.TransparentColor = working.TransparentColor;
      } else {
        PlainResize(newWidth_, newHeight_, *snapshot, resized);
      }
      working.swap(resized);
    } catch (...) {
      host_.DropLastUndo();
      throw;
    }
    host_.ChooseInitialZoom();
    host_.ResetView();
  }
  accept();
}

void TRedimForm::ClickOk() {
  try {
    BOkClick();
  } catch (...) {
    host_.ReportError(std::current_exception());
  }
}

bool TRedimForm::FormKeyPress(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Escape:
      reject();
      return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      ClickOk();
      return true;
    default:
      break;
  }
  // Signs have no meaning in a size: refused everywhere.
  const QString typed = event->text();
  return typed == QStringLiteral("+") || typed == QStringLiteral("-");
}

void TRedimForm::keyPressEvent(QKeyEvent* event) {
  if (!FormKeyPress(event)) QDialog::keyPressEvent(event);
}

bool TRedimForm::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress && isVisible()) {
    if (FormKeyPress(static_cast<QKeyEvent*>(event))) return true;
  }
  return QDialog::eventFilter(watched, event);
}

}  // namespace vorlino
