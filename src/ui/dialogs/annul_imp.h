// TAnnulerForm: the small window that stays on top while a page is printed, asks the user to wait
// and offers "Annuler". It brackets the print job: BeginJob, then the layout dialog's PrintPage,
// then EndJob. Pending events run while the page is produced (TPrintJob::KeepResponsive), which is
// when a press of "Annuler" or Esc abandons the document.
//
// The window blocks input to the program's other windows while it is shown (without waiting
// itself): the image being printed must not change under the job.
#pragma once

#include <QWidget>

class QLabel;
class QPushButton;

namespace vorlino {

class TPrintJob;

class TAnnulerForm : public QWidget {
  Q_OBJECT

 public:
  // mainWindow: the window it is centred on (may be nullptr).
  explicit TAnnulerForm(QWidget* mainWindow = nullptr);
  ~TAnnulerForm() override;

  // Clears Cancelled, shows the window centred on the main window and lets pending events run
  // once so that it is painted before the job starts.
  void BeginJob(TPrintJob& job);
  // Ends the document unless the job was cancelled, then hides the window (also when ending
  // fails). True when the job ended normally.
  bool EndJob();
  // Hides the window and forgets the job; what EndJob does after ending, for a job that fails.
  void CloseJob();
  // Set by "Annuler" and kept until the next BeginJob.
  bool Cancelled() const { return cancelled_; }

  // "Annuler": abandons the document in progress (or makes sure the job never begins), sets
  // Cancelled.
  void BAnnulerClick();

  QLabel* LabelTitre;
  QPushButton* BAnnuler;

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  TPrintJob* job_ = nullptr;
  bool cancelled_ = false;
  bool cursorPushed_ = false;
};

}  // namespace vorlino
