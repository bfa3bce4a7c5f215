// TMainForm: the program's one window. It owns the history, the mask and the document state; the
// image view owns the working bitmap. Each handler is a few steps calling the core.
//
// Controls carry their names as object names (BtnUndo, CmbZoom, MenuEditionUndo...), so that
// other windows and the tests find them with findChild.
#pragma once

#include <QMainWindow>
#include <QPoint>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>
#include <string>

#include "app/picture_loader.h"
#include "bitmap/bitmap.h"
#include "compose/mask_build.h"
#include "dialogs/redim.h"
#include "history/undo.h"
#include "imagefile/save_image.h"
#include "print/print_host.h"

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QMenu;
class QRadioButton;
class QToolButton;
class QWidget;

namespace vorlino {

struct Settings;
class TAnnulerForm;
class TAProposForm;
class TBatchForm;
class TImprForm;
class TClickPanel;
class TColorEdit;
class TJPGCompressForm;
class TLivePreview;
class TMaskGallery;
class TMaskImage;
class TMyImage;
class TSpinEdit2;
class TZoomComboBox;

class TMainForm : public QMainWindow, public TRedimHost, public TPrintHost {
  Q_OBJECT

 public:
  // programFolder: the folder whose preferences file and "Masques" folder the window uses, with
  // its trailing separator; empty means the executable's folder. Tests give a folder of their own.
  explicit TMainForm(QWidget* parent = nullptr, const QString& programFolder = QString());
  // Writes the preferences (SaveSettings).
  ~TMainForm() override;

  // ---- shared steps of the commands (also what the image size and print dialogs use) ----
  vorlino::Bitmap& WorkingBitmap() override;
  // The image as it was before the last recorded command (nullptr without one).
  vorlino::Bitmap* CurrentSnapshot() override;
  void RecordUndo(const std::string& name) override;
  void DropLastUndo() override;
  void BeginBusy() override;
  void EndBusy() override;
  void UpdateCommands();
  void ChooseInitialZoom() override;
  void ApplyZoom();
  void ResetView() override;
  void UpdateStatus();
  void SetResultTransparent(bool flag);
  // Whether the current image may be replaced or the program closed: true when unmodified, on
  // "&Non", or on "&Oui" once the save succeeded; false on "Annuler" or a save that did not happen.
  bool ConfirmDiscard();
  void ReportError(std::exception_ptr error) override;

  // ---- documents and the mask ----
  void OpenImage(const QString& fileName, bool remember);
  // A large JPEG is opening: its reduced picture stands in the view while the full picture is
  // decoded, and the previous document waits to come back should the decode fail.
  bool OpenPending() const { return quickOpen_.has_value(); }
  // Commands that read the working bitmap call this first: with an open pending, it waits for the
  // full picture under the busy cursor and ends the open. False when that open failed (its message
  // shown, the previous document back): the command then does not run.
  bool AwaitFullPicture();
  void LoadMask(const QString& fileName);
  void LayoutMaskPreview();
  // The side panel's settings as "Appliquer le masque" reads them.
  MaskOptions CurrentMaskOptions() const;
  BlendOptions CurrentBlendOptions() const;
  std::optional<vorlino::Bitmap> BuildMask();
  void ApplyMask();
  // ---- the live preview ----
  // A change in the side panel (maskChanged: the mask picture itself): shows the framed result.
  void SidePanelChanged(bool maskChanged);
  // Shows the photo framed with the mask picture in that file instead of the chosen mask, with the
  // side panel's other settings (a mask under the pointer); endMaskHover goes back to what was
  // shown before. Nothing when the live preview is off or the file cannot be read.
  void previewMaskFile(const QString& path);
  void endMaskHover();
  // Before/after: while held, the view shows the photo without the preview, or as it was before
  // the last "Appliquer le masque".
  void BeginBeforeAfter();
  void EndBeforeAfter();
  // The working bitmap is about to change or has just been replaced: the preview goes.
  void DocumentChanging();
  bool LivePreviewEnabled() const;
  TLivePreview* LivePreview() const { return livePreview_; }

  // "Enregistrer sous...": the save result (above 0 saved, 0 cancelled, below 0 failed).
  int SaveDocument();
  // The before-save question: for the JPEG writer only, asks quality and progressive encoding.
  void AskJpegOptions(SaveEncoder& encoder, bool& accept);

  // ---- preferences and recent files ----
  void LoadSettings();
  void SaveSettings();
  // The caption of recent-file item i (0..3): its number, a blank and the file name shortened.
  QString RecentFileCaption(int i) const;

  // The file named on the command line, opened at the first paint.
  void SetCommandLineFile(const QString& fileName) { commandLineFile_ = fileName; }
  // What the first paint does: opens the command-line file, if any, once.
  void OpenCommandLineFile();

  // ---- state, for the other commands ----
  TMyImage* ImageView() const { return imageView_; }
  // True while work started by a command goes on in the background (the history's packing, the
  // full decode of a photo opening in two steps).
  bool BackgroundWorkPending() const { return history_.Packing() || quickOpen_.has_value(); }
  TMaskGallery* MaskGallery() const { return maskGallery_; }
  TUndoList& History() { return history_; }
  const vorlino::Bitmap& MaskPicture() const { return maskPicture_; }
  QString MaskPath() const { return maskPath_; }
  QString MaskFolder() const { return maskFolder_; }
  bool Negative() const { return negative_; }
  int MaskAngle() const { return maskAngle_; }
  int ModificationCount() const { return modificationCount_; }
  QString CurrentFileName() const override { return currentFileName_; }
  QString OpenFolder() const { return openFolder_; }
  QString SaveFolder() const { return saveFolder_; }
  QString SettingsPath() const { return settingsPath_; }
  QStringList RecentFiles() const { return recentFiles_; }
  // The metadata of the photo opened from a file (none after a paste); it belongs to the document,
  // not to its pixels, so undo, resize and the mask leave it as it is.
  const PhotoMetadata& DocumentMetadata() const { return documentMetadata_; }
  // The ICC profile embedded in the document's file, as the file held it; empty when none.
  const std::vector<std::uint8_t>& DocumentIccProfile() const {
    return documentMetadata_.iccProfile();
  }
  // "Conserver les métadonnées": whether saves carry the photo's tags (the profile always goes).
  bool KeepMetadata() const;
  TResultFormat ResultFormat() const;

  // ---- the dialogs made at start-up, living as long as the window ----
  TImprForm* ImprForm() const { return imprForm_; }
  TAnnulerForm* AnnulerForm() const { return annulerForm_; }
  TAProposForm* AProposForm() const { return aproposForm_; }
  TJPGCompressForm* JPGCompressForm() const { return jpgCompressForm_; }
  TRedimForm* RedimForm() const { return redimForm_; }

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
  // The gallery of masks beside the view, and its item at the end of the "Edition" menu.
  void CreateMaskGallery();
  void CreateDialogs();
  void CreateLivePreview(bool enabled);
  QToolButton* AddToolButton(QWidget* bar, const char* name, int picture, const char* hint,
                             void (TMainForm::*handler)());
  // A shortcut refreshes its menu (as opening it would) and then runs the item if enabled.
  void AddShortcut(QAction* item, void (TMainForm::*opening)());
  // Connects a signal to a handler whose errors reach the general error report.
  template <class Sender, class Signal>
  void Bind(Sender* sender, Signal signal, void (TMainForm::*handler)());
  void AddRecentFile(const QString& fileName);
  // ---- opening in two steps (main_form_open.cpp) ----
  // Starts the two-step open when fileName is a JPEG large enough to be worth it; false otherwise
  // (the file is then opened in one step, as any other).
  bool StartQuickOpen(const std::string& fileName, bool remember);
  void ShowEarlyPicture();
  // Ends the pending open with the full decode's outcome: the document on success; on failure the
  // previous document back and the failure message. Returns whether it succeeded.
  bool FinishQuickOpen(TPictureLoader::Full full);
  // Gives the view and the status back to the document that was there before the pending open.
  void RestorePreviousDocument();
  void CancelQuickOpen();
  // What every successful open does once the working bitmap holds the new picture.
  void AdoptOpenedImage(const std::string& fileName, PhotoMetadata metadata, bool remember,
                        bool keepView);
  void ReplayMask(const Settings& settings);
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
  QRadioButton* RdbSansDeformer = nullptr;
  QLabel* StatusPanels[3] = {nullptr, nullptr, nullptr};
  QMenu* MenuFichier = nullptr;
  QMenu* MenuEdition = nullptr;
  QMenu* MenuAction = nullptr;
  QAction* MenuFichierOuvrir = nullptr;
  QAction* MenuFichierEnregistrer = nullptr;
  QAction* MenuFichierImprimer = nullptr;
  QAction* MenuFichierMetadonnees = nullptr;
  QAction* MenuFichierSep = nullptr;
  QAction* MenuFichierN[4] = {nullptr, nullptr, nullptr, nullptr};
  QAction* MenuFichierQuitter = nullptr;
  QAction* MenuEditionUndo = nullptr;
  QAction* MenuEditionRedo = nullptr;
  QAction* MenuEditionCopier = nullptr;
  QAction* MenuEditionColler = nullptr;
  QAction* MenuEditionGalerie = nullptr;
  QAction* MenuActionMasque = nullptr;
  QAction* MenuActionDossier = nullptr;
  QAction* MenuActionRedim = nullptr;
  QAction* MenuActionApercu = nullptr;
  QToolButton* BtnAvantApres = nullptr;
  QAction* MenuApropos = nullptr;

  // ---- state ----
  TMyImage* imageView_ = nullptr;
  TMaskGallery* maskGallery_ = nullptr;
  TUndoList history_;
  vorlino::Bitmap maskPicture_;
  QString maskPath_;
  QString maskFolder_;
  bool negative_ = false;
  int maskAngle_ = 0;
  // The cuts a ".slices" file beside the mask named, for the mask as loaded (before any turn).
  std::optional<MaskCuts> maskSlices_;
  QString programFolder_;
  QString openFolder_;
  QString saveFolder_;
  // The program's folder is not writable: the dialogs start in the user's folders instead.
  bool installedCopy_ = false;
  QString settingsPath_;
  int modificationCount_ = 0;
  QStringList recentFiles_;
  QString currentFileName_;
  PhotoMetadata documentMetadata_;
  QString commandLineFile_;
  bool firstPaintDone_ = false;
  int busyDepth_ = 0;
  BeforeSaveHandler previousBeforeSave_;
  TLivePreview* livePreview_ = nullptr;
  // The state before the last "Appliquer le masque", unpacked from the history while the
  // before/after key is held (the history keeps it packed).
  vorlino::Bitmap beforeAfter_;
  bool livePreviewSetting_ = true;                      // "ApercuDirect" as read at start-up
  std::shared_ptr<const vorlino::Bitmap> previewMask_;  // the mask picture as the worker reads it
  std::shared_ptr<const vorlino::Bitmap> hoverMask_;    // a mask under the pointer
  bool hoverWasShown_ = false;

  TImprForm* imprForm_ = nullptr;
  TAnnulerForm* annulerForm_ = nullptr;
  TAProposForm* aproposForm_ = nullptr;
  TJPGCompressForm* jpgCompressForm_ = nullptr;
  TRedimForm* redimForm_ = nullptr;
  TBatchForm* batchForm_ = nullptr;  // created at first use, kept for the session's choices

  // A large JPEG opening in two steps. The working bitmap meanwhile is an unfilled block of the
  // photo's size, for the layout and the status bar only: the view draws the stand-in over it,
  // and no command reads it (they call AwaitFullPicture first).
  struct QuickOpen {
    std::string fileName;
    bool remember = false;
    vorlino::Bitmap blank;  // shown until the reduced picture comes
    vorlino::Bitmap early;
    vorlino::Bitmap previous;  // the previous document's working bitmap
    int previousZoom = 0;
    QPoint previousScroll;
    bool previewWanted = false;  // the side panel changed meanwhile
  };
  std::optional<QuickOpen> quickOpen_;
  TPictureLoader* pictureLoader_ = nullptr;
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
