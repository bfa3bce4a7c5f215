#include "dialogs/jpg_compress.h"

#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>

#include "dialogs/modal.h"

namespace vorlino {

TJPGCompressForm::TJPGCompressForm(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("JPGCompressForm"));
  setWindowTitle(tr("Compression JPEG "));
  setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowStaysOnTopHint |
                 Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
  setFont(DialogFont());
  setFixedSize(298, 234);

  LblN = new QLabel(tr("Compression : %1").arg(90), this);
  LblN->setObjectName(QStringLiteral("LblN"));
  Place(LblN, 16, 24, 120, 13);

  TBN = new QSlider(Qt::Horizontal, this);
  TBN->setObjectName(QStringLiteral("TBN"));
  TBN->setRange(1, 20);
  TBN->setValue(18);
  TBN->setPageStep(1);
  TBN->setSingleStep(1);
  TBN->setTickInterval(1);
  TBN->setTickPosition(QSlider::TicksBelow);
  Place(TBN, 8, 40, 281, 25);
  connect(TBN, &QSlider::valueChanged, this, &TJPGCompressForm::TBNChange);

  Label1 = new QLabel(tr("Qualité inférieure"), this);
  Label1->setObjectName(QStringLiteral("Label1"));
  PlaceAt(Label1, 12, 72);
  Label2 = new QLabel(tr("Qualité supérieure"), this);
  Label2->setObjectName(QStringLiteral("Label2"));
  Label2->setAlignment(Qt::AlignRight | Qt::AlignTop);
  // Right-aligned: the right edge stays at 283 whatever the text's width in this face.
  Label2->adjustSize();
  const int width2 = qMax(85, Label2->width());
  Place(Label2, 198 + 85 - width2, 72, width2, 13);

  RBStandard = new QRadioButton(tr("Format standard"), this);
  RBStandard->setObjectName(QStringLiteral("RBStandard"));
  RBStandard->setChecked(true);
  Place(RBStandard, 16, 112, 145, 17);
  RBProgressif = new QRadioButton(tr("Format progressif"), this);
  RBProgressif->setObjectName(QStringLiteral("RBProgressif"));
  Place(RBProgressif, 16, 132, 153, 17);

  BOk = new QPushButton(tr("Ok"), this);
  BOk->setObjectName(QStringLiteral("BOk"));
  BOk->setDefault(true);
  Place(BOk, 120, 192, 75, 25);
  connect(BOk, &QPushButton::clicked, this, &QDialog::accept);
  BAnnuler = new QPushButton(tr("Annuler"), this);
  BAnnuler->setObjectName(QStringLiteral("BAnnuler"));
  Place(BAnnuler, 208, 192, 75, 25);
  connect(BAnnuler, &QPushButton::clicked, this, &QDialog::reject);

  setTabOrder(BAnnuler, BOk);
  setTabOrder(BOk, TBN);
  setTabOrder(TBN, RBStandard);
  setTabOrder(RBStandard, RBProgressif);
}

int TJPGCompressForm::Quality() const {
  return TBN->value() * 5;
}

bool TJPGCompressForm::Progressive() const {
  return RBProgressif->isChecked();
}

void TJPGCompressForm::TBNChange() {
  LblN->setText(tr("Compression : %1").arg(TBN->value() * 5));
}

void TJPGCompressForm::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  BOk->setFocus(Qt::OtherFocusReason);
}

bool AskJpegOptions(TJPGCompressForm& form, int& quality, bool& progressive) {
  if (ExecModal(form) != QDialog::Accepted) return false;
  quality = form.Quality();
  progressive = form.Progressive();
  return true;
}

}  // namespace vorlino
