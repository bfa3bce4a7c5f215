#include "dialogs/annul_imp.h"

#include <QApplication>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

#include "print/print_job.h"

namespace vorlino {

TAnnulerForm::TAnnulerForm(QWidget* mainWindow)
    : QWidget(mainWindow, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
  setObjectName(QStringLiteral("AnnulerForm"));
  setWindowModality(Qt::ApplicationModal);
  QFont formFont = font();
  formFont.setPointSize(8);
  setFont(formFont);
  setFixedSize(282, 79);

  auto* panel = new QFrame(this);
  panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
  panel->setLineWidth(1);
  panel->setGeometry(rect());

  LabelTitre = new QLabel(tr("Patientez, préparation de l'impression..."), panel);
  LabelTitre->setObjectName(QStringLiteral("LabelTitre"));
  LabelTitre->setGeometry(16, 16, 249, 16);
  LabelTitre->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);

  BAnnuler = new QPushButton(tr("Annuler"), panel);
  BAnnuler->setObjectName(QStringLiteral("BAnnuler"));
  BAnnuler->setGeometry(103, 40, 75, 25);
  connect(BAnnuler, &QPushButton::clicked, this, &TAnnulerForm::BAnnulerClick);
}

TAnnulerForm::~TAnnulerForm() {
  if (cursorPushed_) QApplication::restoreOverrideCursor();
}

void TAnnulerForm::BeginJob(TPrintJob& job) {
  job_ = &job;
  cancelled_ = false;
  if (const QWidget* main = parentWidget(); main != nullptr) {
    const QRect area = main->window()->frameGeometry();
    move(area.center() - QPoint(width() / 2, height() / 2));
  }
  // The program may be busy (hourglass); the cancel button stays plainly clickable.
  if (!cursorPushed_) {
    QApplication::setOverrideCursor(Qt::ArrowCursor);
    cursorPushed_ = true;
  }
  show();
  activateWindow();
  BAnnuler->setFocus();
  QCoreApplication::processEvents(QEventLoop::AllEvents);
}

bool TAnnulerForm::EndJob() {
  struct Close {
    TAnnulerForm& form;
    ~Close() { form.CloseJob(); }
  } close{*this};
  if (!cancelled_ && job_ != nullptr) job_->End();
  return !cancelled_;
}

void TAnnulerForm::CloseJob() {
  job_ = nullptr;
  hide();
  if (cursorPushed_) {
    QApplication::restoreOverrideCursor();
    cursorPushed_ = false;
  }
}

void TAnnulerForm::BAnnulerClick() {
  if (job_ != nullptr) job_->Abandon();
  cancelled_ = true;
}

void TAnnulerForm::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape) {
    BAnnuler->click();
    return;
  }
  QWidget::keyPressEvent(event);
}

}  // namespace vorlino
