// TBatchForm: "Appliquer à un dossier...". Asks for the folder of photos, the folder of results,
// the format written, whether sub-folders are included and whether existing files are replaced;
// then frames every photo with the side panel's current settings on worker threads behind a
// progress window, and ends with a summary box.
//
// Created once by the main window and kept, so the last folders and choices are proposed again
// for the rest of the session.
#pragma once

#include <QDialog>
#include <QString>
#include <vector>

#include "batch/frame_files.h"
#include "bitmap/bitmap.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;

namespace vorlino {

class TJPGCompressForm;

// What the user chose in the dialog. format: -1 for "Format d'origine", else a row of kSaveFormats.
struct TBatchChoices {
  QString input;
  QString output;
  int format = -1;
  bool recursive = false;
  bool overwrite = false;
};

// How a run ended, as the summary box tells it.
struct TBatchSummary {
  int total = 0;
  int done = 0;
  int skipped = 0;
  int failed = 0;
  bool cancelled = false;
  QStringList failures;
};

// The summary box's text: "%d photos encadrées, %d échecs", then the photos left as they were,
// a cancelled run, and the failures' messages (the first kShownFailures of them).
QString BatchSummaryText(const TBatchSummary& summary);

class TBatchForm : public QDialog {
  Q_OBJECT

 public:
  // jpegForm: the program's JPEG quality dialog; without one the form keeps its own.
  explicit TBatchForm(QWidget* parent = nullptr, TJPGCompressForm* jpegForm = nullptr);
  ~TBatchForm() override;

  // The whole command: the dialog, the JPEG question when JPEG files are to be written, the run
  // behind the progress window and the summary box. maskPicture and settings are the side
  // panel's, read by the caller; the workers get copies. False when the user cancelled the
  // dialog; the summary of a run otherwise.
  bool Execute(const Bitmap& maskPicture, const FrameFileSettings& settings,
               TBatchSummary* summary = nullptr);

  const TBatchChoices& Choices() const { return choices_; }

  QLabel* LEntree = nullptr;
  QLineEdit* EdiEntree = nullptr;
  QToolButton* BEntree = nullptr;
  QLabel* LSortie = nullptr;
  QLineEdit* EdiSortie = nullptr;
  QToolButton* BSortie = nullptr;
  QLabel* LFormat = nullptr;
  QComboBox* CmbFormat = nullptr;
  QCheckBox* CBSousDossiers = nullptr;
  QCheckBox* CBRemplacer = nullptr;
  QPushButton* BOk = nullptr;
  QPushButton* BAnnuler = nullptr;

 public slots:
  // "Ok": checks the folders, lists the photos, asks the JPEG quality when needed; closes the
  // dialog only when all is ready.
  void BOkClick();

 private:
  void BrowseFolder(QLineEdit* edit, const QString& caption);
  void ShowChoices();
  TBatchChoices ReadChoices() const;
  bool PrepareJobs(const TBatchChoices& choices);
  TJPGCompressForm& JpegForm();

  TJPGCompressForm* jpegForm_ = nullptr;
  TBatchChoices choices_;
  bool transparent_ = false;  // the result format of the run being prepared
  bool softAlpha_ = false;    // "Transparence progressive": PNG unless a format is chosen
  std::vector<FrameFileJob> jobs_;
  JpegOptions jpeg_;
};

}  // namespace vorlino
