// TJPGCompressForm: asks, before a JPEG save, for the quality and for standard or progressive
// encoding. Created once and kept for the whole run, so the last choices are proposed again at the
// next JPEG save; they are not stored in the preferences.
#pragma once

#include <QDialog>

class QLabel;
class QPushButton;
class QRadioButton;
class QSlider;

namespace vorlino {

class TJPGCompressForm : public QDialog {
  Q_OBJECT

 public:
  explicit TJPGCompressForm(QWidget* parent = nullptr);

  // The quality handed out: track bar position (1..20) times 5.
  int Quality() const;
  bool Progressive() const;

  QLabel* LblN = nullptr;
  QSlider* TBN = nullptr;
  QLabel* Label1 = nullptr;
  QLabel* Label2 = nullptr;
  QRadioButton* RBStandard = nullptr;
  QRadioButton* RBProgressif = nullptr;
  QPushButton* BOk = nullptr;
  QPushButton* BAnnuler = nullptr;

 public slots:
  void TBNChange();

 protected:
  void showEvent(QShowEvent* event) override;
};

// The before-save question for a JPEG file: shows form modally; on OK sets quality (5..100) and
// progressive from it and returns true; on cancel returns false, leaving both as they were, and
// the save is to be abandoned without a message.
bool AskJpegOptions(TJPGCompressForm& form, int& quality, bool& progressive);

}  // namespace vorlino
