// TBatchProgress: the window shown while a folder is framed: a progress bar, the photo being
// framed and "Annuler". Cancelling (the button, Esc or closing the window) stops the run after
// the photos under way; the window closes by itself once the workers have stopped.
#pragma once

#include <QDialog>

class QLabel;
class QProgressBar;
class QPushButton;

namespace vorlino {

class TBatchRunner;

class TBatchProgress : public QDialog {
  Q_OBJECT

 public:
  // runner: started already, so that its total is known.
  explicit TBatchProgress(TBatchRunner& runner, QWidget* parent = nullptr);

  QLabel* LblFichier = nullptr;
  QLabel* LblCompte = nullptr;
  QProgressBar* PBProgression = nullptr;
  QPushButton* BAnnuler = nullptr;

  // "Annuler": asks the runner to stop and says so until it has.
  void BAnnulerClick();

 public slots:
  // While the runner works, closing the window means cancelling, not leaving it behind.
  void reject() override;

 private:
  void ShowProgress(int finished, int total);

  TBatchRunner& runner_;
};

}  // namespace vorlino
