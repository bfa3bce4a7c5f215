// TMainForm: the program's one window. It owns the history, the mask and the document state; the
// image view owns the working bitmap. Each handler is a few steps calling the core.
//
// Controls carry their names as object names (BtnUndo, CmbZoom, MenuEditionUndo...), so that
// other windows and the tests find them with findChild.
#pragma once

#include <QMainWindow>
#include <QString>
#include <QStringList>
#include <optional>
#include <string>

#include "bitmap/bitmap.h"
#include "compose/mask_build.h"
#include "history/undo.h"

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QMenu;
class QRadioButton;
class QToolButton;
class QWidget;

namespace vorlino {

class TBatchForm;
class TClickPanel;
class TColorEdit;
class TMaskImage;
class TMyImage;
class TSpinEdit2;
class TZoomComboBox;

class TMainForm : public QMainWindow {
  Q_OBJECT

 public:
  explicit TMainForm(QWidget* parent = nullptr);
  ~TMainForm() override;

  // ---- shared steps of the commands ----
  vorlino::Bitmap& WorkingBitmap();
  // The image as it was before the last recorded command (nullptr without one).
  vorlino::Bitmap* CurrentSnapshot();
  void RecordUndo(const std::string& name);
  void DropLastUndo();
  void BeginBusy();
  void EndBusy();
  void UpdateCommands();
  void ChooseInitialZoom();
  void ApplyZoom();
  void ResetView();
  void UpdateStatus();
  void SetResultTransparent(bool flag);
  bool ConfirmDiscard();

  // ---- documents and the mask ----
  void OpenImage(const QString& fileName, bool remember);
  void LoadMask(const QString& fileName);
  void LayoutMaskPreview();
  // The side panel's settings as "Appliquer le masque" reads them.
  MaskOptions CurrentMaskOptions() const;
  BlendOptions CurrentBlendOptions() const;
  std::optional<vorlino::Bitmap> BuildMask();
  void ApplyMask();

  // The file named on the command line, opened at the first paint.
  void SetCommandLineFile(const QString& fileName) { commandLineFile_ = fileName; }
  // What the first paint does: opens the command-line file, if any, once.
  void OpenCommandLineFile();

  // ---- state, for the other commands ----
  TMyImage* ImageView() const { return imageView_; }
  TUndoList& History() { return history_; }
  const vorlino::Bitmap& MaskPicture() const { return maskPicture_; }
  QString MaskPath() const { return maskPath_; }
  QString MaskFolder() const { return maskFolder_; }
  bool Negative() const { return negative_; }
  int MaskAngle() const { return maskAngle_; }
  int ModificationCount() const { return modificationCount_; }
  QString CurrentFileName() const { return currentFileName_; }
  QString OpenFolder() const { return openFolder_; }
  QString SaveFolder() const { return saveFolder_; }
  QString SettingsPath() const { return settingsPath_; }
  QStringList RecentFiles() const { return recentFiles_; }
  TResultFormat ResultFormat() const;

 public slots:
  void MenuFichierClick();
  void MenuFichierOuvrirClick();
  void MenuFichierEnregistrerClick();
  void MenuFichierImprimerClick();
  void MenuFichierNClick(int tag);
  void MenuFichierQuitterClick();
  void MenuEditionClick();
  void MenuEditionCopierClick();
  void MenuEditionCollerClick();
  void MenuActionMasqueClick();
  void MenuActionDossierClick();
  void MenuActionRedimClick();
  void MenuAproposClick();
  void BtnUndoClick();
  void BtnRedoClick();
  void BtnParcourirClick();
  void BtnNegatifClick();
  void BtnRotationClick();
  void CmbZoomChange();
  void CmbZoomDropDown();
  void CmbZoomCloseUp();
  void CmbFormatChange();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void CreateMenus();
  QWidget* CreateToolPanel();
  QWidget* CreateSidePanel();
  void CreateStatusBar();
  QToolButton* AddToolButton(QWidget* bar, const char* name, int picture, const char* hint,
                             void (TMainForm::*handler)());
  // A shortcut refreshes its menu (as opening it would) and then runs the item if enabled.
  void AddShortcut(QAction* item, void (TMainForm::*opening)());
  // Connects a signal to a handler whose errors reach the general error report.
  template <class Sender, class Signal>
  void Bind(Sender* sender, Signal signal, void (TMainForm::*handler)());
  void AddRecentFile(const QString& fileName);
  void SetStatusPanel(int index, const QString& text);

  // ---- controls ----
  QWidget* PnlOutils = nullptr;
  QWidget* ToolBar = nullptr;
  QToolButton* BtnOuvrir = nullptr;
  QToolButton* BtnSauver = nullptr;
  QToolButton* BtnImprimer = nullptr;
  QToolButton* BtnAction = nullptr;
  QToolButton* BtnRedim = nullptr;
  QToolButton* BtnUndo = nullptr;
  QToolButton* BtnRedo = nullptr;
  TZoomComboBox* CmbZoom = nullptr;
  QWidget* PnlLeft = nullptr;
  TClickPanel* PnlMasque = nullptr;
  TMaskImage* ImgMasque = nullptr;
  QLabel* EdiNomMasque = nullptr;
  QToolButton* BtnParcourir = nullptr;
  QToolButton* BtnNegatif = nullptr;
  QToolButton* BtnRotation = nullptr;
  QLabel* LblCouleur = nullptr;
  QLabel* LblOpacite = nullptr;
  TColorEdit* ColorEdit = nullptr;
  TSpinEdit2* EdiOpacite = nullptr;
  QComboBox* CmbFormat = nullptr;
  QCheckBox* ChbFlou = nullptr;
  QCheckBox* ChbBichromie = nullptr;
  QRadioButton* RdbAjuster = nullptr;
  QRadioButton* RdbRepeter = nullptr;
  QLabel* StatusPanels[3] = {nullptr, nullptr, nullptr};
  QMenu* MenuFichier = nullptr;
  QMenu* MenuEdition = nullptr;
  QMenu* MenuAction = nullptr;
  QAction* MenuFichierOuvrir = nullptr;
  QAction* MenuFichierEnregistrer = nullptr;
  QAction* MenuFichierImprimer = nullptr;
  QAction* MenuFichierSep = nullptr;
  QAction* MenuFichierN[4] = {nullptr, nullptr, nullptr, nullptr};
  QAction* MenuFichierQuitter = nullptr;
  QAction* MenuEditionUndo = nullptr;
  QAction* MenuEditionRedo = nullptr;
  QAction* MenuEditionCopier = nullptr;
  QAction* MenuEditionColler = nullptr;
  QAction* MenuActionMasque = nullptr;
  QAction* MenuActionDossier = nullptr;
  QAction* MenuActionRedim = nullptr;
  QAction* MenuApropos = nullptr;

  // ---- state ----
  TMyImage* imageView_ = nullptr;
  TUndoList history_;
  vorlino::Bitmap maskPicture_;
  QString maskPath_;
  QString maskFolder_;
  bool negative_ = false;
  int maskAngle_ = 0;
  QString programFolder_;
  QString openFolder_;
  QString saveFolder_;
  QString settingsPath_;
  int modificationCount_ = 0;
  QStringList recentFiles_;
  QString currentFileName_;
  QString commandLineFile_;
  bool firstPaintDone_ = false;
  int busyDepth_ = 0;
  TBatchForm* batchForm_ = nullptr;  // created at first use, kept for the session's choices
};

// The busy state for the time of a scope: entered at construction, left however the scope ends.
class TBusyState {
 public:
  explicit TBusyState(TMainForm& form) : form_(form) { form_.BeginBusy(); }
  ~TBusyState() { form_.EndBusy(); }
  TBusyState(const TBusyState&) = delete;
  TBusyState& operator=(const TBusyState&) = delete;

 private:
  TMainForm& form_;
};

}  // namespace vorlino
