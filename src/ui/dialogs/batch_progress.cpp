#include "dialogs/batch_progress.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "app/batch_runner.h"
#include "dialogs/modal.h"

namespace vorlino {

TBatchProgress::TBatchProgress(TBatchRunner& runner, QWidget* parent)
    : QDialog(parent), runner_(runner) {
  setObjectName(QStringLiteral("BatchProgress"));
  setWindowTitle(tr("Application du masque"));
  setFont(DialogFont());
  setMinimumWidth(380);

  LblCompte = new QLabel(this);
  LblCompte->setObjectName(QStringLiteral("LblCompte"));
  PBProgression = new QProgressBar(this);
  PBProgression->setObjectName(QStringLiteral("PBProgression"));
  LblFichier = new QLabel(this);
  LblFichier->setObjectName(QStringLiteral("LblFichier"));
  // A long name must not widen the window: it is shortened in the middle when painted.
  LblFichier->setMinimumWidth(1);
  LblFichier->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  BAnnuler = new QPushButton(CancelGlyph(), tr("Annuler"), this);
  BAnnuler->setObjectName(QStringLiteral("BAnnuler"));
  connect(BAnnuler, &QPushButton::clicked, this, &TBatchProgress::BAnnulerClick);

  auto* column = new QVBoxLayout(this);
  column->addWidget(LblCompte);
  column->addWidget(PBProgression);
  column->addWidget(LblFichier);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(BAnnuler);
  column->addLayout(buttons);
  ShowProgress(0, runner.Total());

  connect(&runner, &TBatchRunner::FileStarted, this, [this](const QString& name) {
    if (!runner_.Cancelled())
      LblFichier->setText(
          LblFichier->fontMetrics().elidedText(name, Qt::ElideMiddle, LblFichier->width()));
    LblFichier->setToolTip(name);
  });
  connect(&runner, &TBatchRunner::Progress, this, &TBatchProgress::ShowProgress);
  connect(&runner, &TBatchRunner::AllFinished, this, &QDialog::accept);
}

void TBatchProgress::ShowProgress(int finished, int total) {
  PBProgression->setRange(0, std::max(total, 1));
  PBProgression->setValue(finished);
  LblCompte->setText(tr("%1 photos traitées sur %2").arg(finished).arg(total));
}

void TBatchProgress::BAnnulerClick() {
  if (!runner_.Running()) return;
  runner_.Cancel();
  BAnnuler->setEnabled(false);
  LblFichier->setText(tr("Arrêt après les photos en cours..."));
}

void TBatchProgress::reject() {
  if (runner_.Running()) {
    BAnnulerClick();
    return;
  }
  QDialog::reject();
}

}  // namespace vorlino
