// TRedimForm: the image size dialog. The user gives a new width and height in pixels, in percent
// of the current size or in screen centimetres, optionally keeping the proportions; OK resizes the
// working bitmap with the filtered resampler ("Optimiser") or a plain stretch, recorded in the
// edit history under "Taille de l'image".
//
// The dialog reaches the rest of the program only through TRedimHost, which the main window
// implements; tests give it a small host of their own.
#pragma once

#include <QDialog>
#include <exception>
#include <string>

#include "bitmap/bitmap.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;

namespace vorlino {

class TFloatSpinEdit;

// What the image size dialog needs from the main window.
class TRedimHost {
 public:
  virtual ~TRedimHost() = default;
  virtual Bitmap& WorkingBitmap() = 0;
  // The image as it was before the last recorded command; non-null right after RecordUndo.
  virtual Bitmap* CurrentSnapshot() = 0;
  virtual void RecordUndo(const std::string& name) = 0;
  // Removes the entry RecordUndo just added (used when the resize fails).
  virtual void DropLastUndo() = 0;
  virtual void BeginBusy() = 0;
  virtual void EndBusy() = 0;
  virtual void ChooseInitialZoom() = 0;
  virtual void ResetView() = 0;
  // The general error report, for an error that stopped the resize.
  virtual void ReportError(std::exception_ptr error) = 0;
};

// Units of the two size fields, in the order of the unit lists.
enum TSizeUnit { suPixels = 0, suPercent = 1, suCentimetres = 2 };

// Round to nearest, ties to even, limited to the int range.
int RoundHalfEven(double value);
// A field value in unit as whole pixels of a side of origSize pixels.
int SizeToPixels(double value, int unit, int origSize, double pixelsPerCm);
// p pixels of a side of origSize pixels expressed in unit.
double PixelsToSize(int p, int unit, int origSize, double pixelsPerCm);
// Screen pixels per centimetre from a size in pixels and in millimetres; 96 dpi when the
// display reports no usable physical size.
double PixelsPerCm(double pixels, double millimetres);

class TRedimForm : public QDialog {
  Q_OBJECT

 public:
  // The largest value the size fields take, unless the image opened is larger.
  static constexpr int kMaxFieldValue = 5000;

  explicit TRedimForm(TRedimHost& host, QWidget* parent = nullptr);

  // Screen centimetres: set from the primary screen at creation.
  void SetPixelsPerCm(double x, double y);
  double PixelsPerCmX() const { return pixelsPerCmX_; }
  double PixelsPerCmY() const { return pixelsPerCmY_; }

  int WidthInPixels() const;
  int HeightInPixels() const;
  void ShowWidth(int p);
  void ShowHeight(int p);
  int NewWidth() const { return newWidth_; }
  int NewHeight() const { return newHeight_; }

  QLabel* Label1 = nullptr;
  TFloatSpinEdit* EdiL = nullptr;
  QComboBox* CmbL = nullptr;
  QLabel* Label2 = nullptr;
  TFloatSpinEdit* EdiH = nullptr;
  QComboBox* CmbH = nullptr;
  QCheckBox* CBProportions = nullptr;
  QCheckBox* CBOptimiser = nullptr;
  QPushButton* BOk = nullptr;
  QPushButton* BAnnuler = nullptr;

 public slots:
  void CmbLChange();
  void CmbHChange();
  void EdiLChange();
  void EdiHChange();
  // OK: checks the fields, resizes through the host and closes. An error in the resize leaves
  // the image and the history as they were, propagates, and the dialog stays open.
  void BOkClick();

 protected:
  void showEvent(QShowEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void FormShow();
  // The dialog's key handling, seen before the focused control; true when the key was used.
  bool FormKeyPress(QKeyEvent* event);
  void ClickOk();
  void ChangeUnit(QComboBox* list, TFloatSpinEdit* field, int& unit, bool width);

  TRedimHost& host_;
  int origWidth_ = 0;
  int origHeight_ = 0;
  double ratio_ = 1.0;
  int unitW_ = suPixels;
  int unitH_ = suPixels;
  double pixelsPerCmX_ = 96 / 2.54;
  double pixelsPerCmY_ = 96 / 2.54;
  int newWidth_ = 0;
  int newHeight_ = 0;
  bool linking_ = false;
};

}  // namespace vorlino
