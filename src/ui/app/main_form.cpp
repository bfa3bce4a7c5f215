// Creation of the main window: layout, menus, tool bar, side panel and status bar.
#include "app/main_form.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QRadioButton>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <utility>

#include "app/error_report.h"
#include "app/file_names.h"
#include "app/form_widgets.h"
#include "app/live_preview.h"
#include "app/tool_pictures.h"
#include "app/window_keys.h"
#include "controls/color_editor.h"
#include "controls/spin2.h"
#include "controls/visual_styles.h"
#include "settings/app_paths.h"
#include "view/my_graphic.h"

namespace vorlino {

namespace {

constexpr int kUndoCapacity = 6;
constexpr int kToolPanelHeight = 45;
constexpr int kToolButtonWidth = 44;
constexpr int kToolButtonHeight = 38;
constexpr int kToolSeparatorWidth = 16;
constexpr int kSidePanelWidth = 145;

QWidget* ToolSeparator(QWidget* parent) {
  auto* separator = new QWidget(parent);
  separator->setFixedSize(kToolSeparatorWidth, kToolButtonHeight);
  auto* line = new QFrame(separator);
  line->setFrameStyle(QFrame::VLine | QFrame::Sunken);
  line->setGeometry(kToolSeparatorWidth / 2 - 1, 4, 2, kToolButtonHeight - 8);
  return separator;
}

}  // namespace

template <class Sender, class Signal>
void TMainForm::Bind(Sender* sender, Signal signal, void (TMainForm::*handler)()) {
  connect(sender, signal, this,
          [this, handler] { RunCommand([this, handler] { (this->*handler)(); }); });
}

TMainForm::TMainForm(QWidget* parent, const QString& programFolder)
    : QMainWindow(parent), history_(kUndoCapacity) {
  setWindowTitle(QStringLiteral("Vorlino"));
  setMinimumSize(590, 475);
  // Without a window manager to choose, start at a comfortable size for a photo.
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect available = screen->availableGeometry();
    resize(
        QSize(std::min(960, available.width() * 4 / 5), std::min(720, available.height() * 4 / 5))
            .expandedTo(minimumSize()));
  }

  // The platform's style is the visual style here: there is no theme manager to create, only the
  // flag that tells the arrow controls whether themed parts draw their own frame.
  setVisualStylesEnabled(styleDrawsThemedControls(style()));
  imageView_ = new TMyImage(this);
  imageView_->setObjectName(QStringLiteral("ImageView"));

  programFolder_ = programFolder.isEmpty() ? ProgramFolder() : programFolder;
  if (!programFolder_.endsWith(QLatin1Char('/'))) programFolder_ += QLatin1Char('/');
  openFolder_ = StartOpenFolder(programFolder_);
  installedCopy_ = !ProgramFolderWritable(programFolder_);
  const std::string folder = programFolder_.toStdString();
  maskFolder_ = QString::fromStdString(masksFolder(folder, installedDataDir(folder)));
  settingsPath_ = QString::fromStdString(settingsPath(folder));

  CreateMenus();
  auto* client = new QWidget(this);
  auto* column = new QVBoxLayout(client);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);
  column->addWidget(CreateToolPanel());
  auto* row = new QHBoxLayout;
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(0);
  row->addWidget(CreateSidePanel());
  row->addWidget(imageView_, 1);
  column->addLayout(row, 1);
  setCentralWidget(client);
  CreateStatusBar();
  CreateMaskGallery();

  CmbZoom->setCurrentIndex(0);
  CmbFormat->setCurrentIndex(0);
  UpdateCommands();
  SetStatusPanel(0, tr(" Prêt"));
  recentFiles_.clear();
  LoadSettings();
  setAcceptDrops(true);
  // The slot is process-wide: the handler checks that this window still exists, and the
  // destructor gives the slot back to whoever held it before.
  QPointer<TMainForm> self(this);
  previousBeforeSave_ = setBeforeSaveHandler([self](SaveEncoder& encoder, bool& accept) {
    if (self) self->AskJpegOptions(encoder, accept);
  });
  CreateDialogs();
  CreateLivePreview(livePreviewSetting_);
}

TMainForm::~TMainForm() {
  // A photo still opening is dropped; its workers end with the loader.
  CancelQuickOpen();
  // Its workers stop before the view it shows into goes; its state is saved below.
  livePreviewSetting_ = livePreview_->Enabled();
  delete livePreview_;
  livePreview_ = nullptr;
  // The base class hides and deletes the children after this body: nothing they emit then (a zoom
  // list closing its drop-down) may reach the handlers of a window already taken apart.
  for (QObject* child : findChildren<QObject*>())
    QObject::disconnect(child, nullptr, this, nullptr);
  setBeforeSaveHandler(std::move(previousBeforeSave_));
  history_.Clear();
  RunCommand([this] { SaveSettings(); });
}

void TMainForm::CreateMenus() {
  auto item = [this](QMenu* menu, const char* name, const char* caption, const char* keys) {
    auto* action = menu->addAction(tr(caption));
    action->setObjectName(QString::fromLatin1(name));
    // Shown in the menu and live in the whole window (see AddShortcut).
    if (keys != nullptr) action->setShortcut(QKeySequence(QString::fromLatin1(keys)));
    return action;
  };

  MenuFichier = menuBar()->addMenu(tr("Fichier"));
  MenuFichier->setObjectName(QStringLiteral("MenuFichier"));
  MenuFichierOuvrir = item(MenuFichier, "MenuFichierOuvrir", QT_TR_NOOP("Ouvrir..."), "Ctrl+O");
  MenuFichierEnregistrer =
      item(MenuFichier, "MenuFichierEnregistrer", QT_TR_NOOP("Enregistrer sous..."), "Ctrl+S");
  MenuFichierMetadonnees =
      item(MenuFichier, "MenuFichierMetadonnees", QT_TR_NOOP("Conserver les métadonnées"), nullptr);
  MenuFichierMetadonnees->setCheckable(true);
  MenuFichierMetadonnees->setChecked(true);
  MenuFichier->addSeparator();
  MenuFichierImprimer =
      item(MenuFichier, "MenuFichierImprimer", QT_TR_NOOP("Imprimer..."), "Ctrl+P");
  MenuFichierSep = MenuFichier->addSeparator();
  MenuFichierSep->setObjectName(QStringLiteral("MenuFichierSep"));
  for (int tag = 0; tag < 4; ++tag) {
    const QByteArray name = "MenuFichier" + QByteArray::number(tag + 1);
    const QByteArray caption = "Fichier " + QByteArray::number(tag + 1);
    MenuFichierN[tag] = item(MenuFichier, name.constData(), caption.constData(), nullptr);
    MenuFichierN[tag]->setData(tag);
    connect(MenuFichierN[tag], &QAction::triggered, this,
            [this, tag] { RunCommand([this, tag] { MenuFichierNClick(tag); }); });
  }
  MenuFichier->addSeparator();
  MenuFichierQuitter = item(MenuFichier, "MenuFichierQuitter", QT_TR_NOOP("Quitter"), nullptr);

  MenuEdition = menuBar()->addMenu(tr("Edition"));
  MenuEdition->setObjectName(QStringLiteral("MenuEdition"));
  MenuEditionUndo = item(MenuEdition, "MenuEditionUndo", QT_TR_NOOP("Annuler"), "Ctrl+Z");
  MenuEditionRedo = item(MenuEdition, "MenuEditionRedo", QT_TR_NOOP("Refaire"), "Ctrl+Y");
  MenuEdition->addSeparator();
  MenuEditionCopier = item(MenuEdition, "MenuEditionCopier", QT_TR_NOOP("Copier"), "Ctrl+C");
  MenuEditionColler = item(MenuEdition, "MenuEditionColler", QT_TR_NOOP("Coller"), "Ctrl+V");

  MenuAction = menuBar()->addMenu(tr("Action"));
  MenuAction->setObjectName(QStringLiteral("MenuAction"));
  MenuActionMasque =
      item(MenuAction, "MenuActionMasque", QT_TR_NOOP("Appliquer le masque"), "Ctrl+M");
  MenuActionDossier =
      item(MenuAction, "MenuActionDossier", QT_TR_NOOP("Appliquer à un dossier..."), nullptr);
  MenuAction->addSeparator();
  MenuActionRedim =
      item(MenuAction, "MenuActionRedim", QT_TR_NOOP("Taille de l'image..."), "Ctrl+T");

  MenuApropos = menuBar()->addAction(tr("A propos"));
  MenuApropos->setObjectName(QStringLiteral("MenuApropos"));

  Bind(MenuFichier, &QMenu::aboutToShow, &TMainForm::MenuFichierClick);
  Bind(MenuEdition, &QMenu::aboutToShow, &TMainForm::MenuEditionClick);
  Bind(MenuFichierOuvrir, &QAction::triggered, &TMainForm::MenuFichierOuvrirClick);
  Bind(MenuFichierEnregistrer, &QAction::triggered, &TMainForm::MenuFichierEnregistrerClick);
  Bind(MenuFichierImprimer, &QAction::triggered, &TMainForm::MenuFichierImprimerClick);
  Bind(MenuFichierQuitter, &QAction::triggered, &TMainForm::MenuFichierQuitterClick);
  Bind(MenuEditionUndo, &QAction::triggered, &TMainForm::BtnUndoClick);
  Bind(MenuEditionRedo, &QAction::triggered, &TMainForm::BtnRedoClick);
  Bind(MenuEditionCopier, &QAction::triggered, &TMainForm::MenuEditionCopierClick);
  Bind(MenuEditionColler, &QAction::triggered, &TMainForm::MenuEditionCollerClick);
  Bind(MenuActionMasque, &QAction::triggered, &TMainForm::MenuActionMasqueClick);
  Bind(MenuActionDossier, &QAction::triggered, &TMainForm::MenuActionDossierClick);
  Bind(MenuActionRedim, &QAction::triggered, &TMainForm::MenuActionRedimClick);
  Bind(MenuApropos, &QAction::triggered, &TMainForm::MenuAproposClick);

  AddShortcut(MenuFichierOuvrir, &TMainForm::MenuFichierClick);
  AddShortcut(MenuFichierEnregistrer, &TMainForm::MenuFichierClick);
  AddShortcut(MenuFichierImprimer, &TMainForm::MenuFichierClick);
  AddShortcut(MenuEditionUndo, &TMainForm::MenuEditionClick);
  AddShortcut(MenuEditionRedo, &TMainForm::MenuEditionClick);
  AddShortcut(MenuEditionCopier, &TMainForm::MenuEditionClick);
  AddShortcut(MenuEditionColler, &TMainForm::MenuEditionClick);
  AddShortcut(MenuActionMasque, nullptr);
  AddShortcut(MenuActionRedim, nullptr);
  KeepWindowShortcutsFirst(this);
}

void TMainForm::AddShortcut(QAction* item, void (TMainForm::*opening)()) {
  AddMenuKey(item, this, [this, item, opening] {
    RunCommand([this, item, opening] {
      if (opening != nullptr) (this->*opening)();
      if (item->isEnabled()) item->trigger();
    });
  });
}

QToolButton* TMainForm::AddToolButton(QWidget* bar, const char* name, int picture, const char* hint,
                                      void (TMainForm::*handler)()) {
  auto* button = new QToolButton(bar);
  button->setObjectName(QString::fromLatin1(name));
  button->setAutoRaise(true);
  button->setFixedSize(kToolButtonWidth, kToolButtonHeight);
  button->setIconSize(QSize(kToolPictureWidth, kToolPictureHeight));
  button->setIcon(ToolIcon(static_cast<ToolPicture>(picture)));
  button->setToolTip(tr(hint));
  button->setFocusPolicy(Qt::NoFocus);
  bar->layout()->addWidget(button);
  Bind(button, &QToolButton::clicked, handler);
  return button;
}

QWidget* TMainForm::CreateToolPanel() {
  PnlOutils = new QWidget(this);
  PnlOutils->setObjectName(QStringLiteral("PnlOutils"));
  PnlOutils->setFixedHeight(kToolPanelHeight);
  auto* column = new QVBoxLayout(PnlOutils);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);
  auto* line = new QFrame(PnlOutils);
  line->setFrameStyle(QFrame::HLine | QFrame::Sunken);
  line->setFixedHeight(2);
  column->addWidget(line);

  auto* row = new QHBoxLayout;
  row->setContentsMargins(2, 0, 0, 0);
  row->setSpacing(0);
  column->addLayout(row, 1);

  ToolBar = new QWidget(PnlOutils);
  ToolBar->setObjectName(QStringLiteral("ToolBar"));
  auto* buttons = new QHBoxLayout(ToolBar);
  buttons->setContentsMargins(0, 0, 0, 0);
  buttons->setSpacing(0);
  auto tp = [](ToolPicture p) { return static_cast<int>(p); };
  BtnOuvrir = AddToolButton(ToolBar, "BtnOuvrir", tp(ToolPicture::tpOpen),
                            QT_TR_NOOP("Ouvrir une image"), &TMainForm::MenuFichierOuvrirClick);
  BtnSauver =
      AddToolButton(ToolBar, "BtnSauver", tp(ToolPicture::tpSave), QT_TR_NOOP("Enregistrer sous"),
                    &TMainForm::MenuFichierEnregistrerClick);
  BtnImprimer = AddToolButton(ToolBar, "BtnImprimer", tp(ToolPicture::tpPrint),
                              QT_TR_NOOP("Imprimer"), &TMainForm::MenuFichierImprimerClick);
  buttons->addWidget(ToolSeparator(ToolBar));
  BtnAction = AddToolButton(ToolBar, "BtnAction", tp(ToolPicture::tpMask),
                            QT_TR_NOOP("Appliquer le masque"), &TMainForm::MenuActionMasqueClick);
  BtnRedim = AddToolButton(ToolBar, "BtnRedim", tp(ToolPicture::tpResize),
                           QT_TR_NOOP("Taille de l'image"), &TMainForm::MenuActionRedimClick);
  buttons->addWidget(ToolSeparator(ToolBar));
  BtnUndo = AddToolButton(ToolBar, "BtnUndo", tp(ToolPicture::tpUndo), QT_TR_NOOP("Annuler"),
                          &TMainForm::BtnUndoClick);
  BtnRedo = AddToolButton(ToolBar, "BtnRedo", tp(ToolPicture::tpRedo), QT_TR_NOOP("Refaire"),
                          &TMainForm::BtnRedoClick);
  buttons->addWidget(ToolSeparator(ToolBar));
  row->addWidget(ToolBar);

  CmbZoom = new TZoomComboBox(PnlOutils);
  CmbZoom->setObjectName(QStringLiteral("CmbZoom"));
  CmbZoom->setToolTip(tr("Zoom d'affichage"));
  CmbZoom->addItems({QStringLiteral("Auto"), QStringLiteral("50%"), QStringLiteral("100%"),
                     QStringLiteral("200%"), QStringLiteral("400%")});
  CmbZoom->setMinimumWidth(CmbZoom->fontMetrics().horizontalAdvance(QStringLiteral("0000%")) + 40);
  CmbZoom->setEnabled(false);
  Bind(CmbZoom, &QComboBox::activated, &TMainForm::CmbZoomChange);
  Bind(CmbZoom, &TZoomComboBox::dropDown, &TMainForm::CmbZoomDropDown);
  Bind(CmbZoom, &TZoomComboBox::closeUp, &TMainForm::CmbZoomCloseUp);
  row->addWidget(CmbZoom, 0, Qt::AlignVCenter);
  row->addStretch(1);
  return PnlOutils;
}

QWidget* TMainForm::CreateSidePanel() {
  PnlLeft = new QWidget(this);
  PnlLeft->setObjectName(QStringLiteral("PnlLeft"));
  PnlLeft->setFixedWidth(kSidePanelWidth);
  auto place = [](QWidget* w, const char* name, int left, int top, int width, int height) {
    w->setObjectName(QString::fromLatin1(name));
    const QSize hint = w->sizeHint();
    w->setGeometry(left, top, width > 0 ? width : hint.width(),
                   height > 0 ? height : hint.height());
  };

  PnlMasque = new TClickPanel(PnlLeft);
  PnlMasque->setFrameStyle(QFrame::Box | QFrame::Plain);
  PnlMasque->setLineWidth(1);
  place(PnlMasque, "PnlMasque", 8, 0, 129, 129);
  PnlMasque->setToolTip(tr("Charger un masque"));
  ImgMasque = new TMaskImage(maskPicture_, PnlMasque);
  place(ImgMasque, "ImgMasque", 1, 1, 0, 0);
  ImgMasque->resize(0, 0);
  Bind(PnlMasque, &TClickPanel::clicked, &TMainForm::BtnParcourirClick);
  Bind(ImgMasque, &TMaskImage::clicked, &TMainForm::BtnParcourirClick);

  EdiNomMasque = new QLabel(PnlLeft);
  EdiNomMasque->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  EdiNomMasque->setIndent(3);
  place(EdiNomMasque, "EdiNomMasque", 8, 136, 103, 21);

  BtnParcourir = new QToolButton(PnlLeft);
  BtnParcourir->setAutoRaise(true);
  BtnParcourir->setIcon(PanelGlyphIcon(PanelGlyph::pgBrowse));
  BtnParcourir->setToolTip(tr("Charger un masque"));
  place(BtnParcourir, "BtnParcourir", 114, 136, 23, 21);
  Bind(BtnParcourir, &QToolButton::clicked, &TMainForm::BtnParcourirClick);

  BtnNegatif = new QToolButton(PnlLeft);
  BtnNegatif->setIcon(PanelGlyphIcon(PanelGlyph::pgNegative));
  BtnNegatif->setToolTip(tr("Inverser noir et blanc"));
  place(BtnNegatif, "BtnNegatif", 8, 164, 60, 25);
  Bind(BtnNegatif, &QToolButton::clicked, &TMainForm::BtnNegatifClick);

  BtnRotation = new QToolButton(PnlLeft);
  BtnRotation->setIcon(PanelGlyphIcon(PanelGlyph::pgRotate));
  BtnRotation->setToolTip(tr("Rotation 90° horaire"));
  place(BtnRotation, "BtnRotation", 77, 164, 60, 25);
  Bind(BtnRotation, &QToolButton::clicked, &TMainForm::BtnRotationClick);

  LblCouleur = new QLabel(tr("Couleur :"), PnlLeft);
  place(LblCouleur, "LblCouleur", 8, 200, 0, 0);
  LblOpacite = new QLabel(tr("Opacité :"), PnlLeft);
  place(LblOpacite, "LblOpacite", 77, 200, 0, 0);

  ColorEdit = new TColorEdit(PnlLeft);
  ColorEdit->setColor(kWhite);
  ColorEdit->setColorDialog([this](Color& colour) { return runColorDialog(colour, this); });
  place(ColorEdit, "ColorEdit", 8, 216, 60, 21);

  EdiOpacite = new TSpinEdit2(PnlLeft);
  EdiOpacite->SetMinValue(10);
  EdiOpacite->SetMaxValue(100);
  EdiOpacite->SetValue(100);
  place(EdiOpacite, "EdiOpacite", 77, 216, 60, 21);

  CmbFormat = new QComboBox(PnlLeft);
  CmbFormat->addItems({tr("Couleurs RVB"), tr("Transparent"), tr("Transparence progressive")});
  CmbFormat->setToolTip(tr("Format du résultat"));
  place(CmbFormat, "CmbFormat", 8, 247, 130, 21);
  Bind(CmbFormat, &QComboBox::currentIndexChanged, &TMainForm::CmbFormatChange);

  ChbFlou = new QCheckBox(tr("Adoucir"), PnlLeft);
  place(ChbFlou, "ChbFlou", 8, 276, 0, 0);
  ChbBichromie = new QCheckBox(tr("Bichromie"), PnlLeft);
  place(ChbBichromie, "ChbBichromie", 8, 294, 0, 0);
  RdbAjuster = new QRadioButton(tr("Ajuster le masque"), PnlLeft);
  place(RdbAjuster, "RdbAjuster", 8, 320, 0, 0);
  RdbAjuster->setChecked(true);
  RdbRepeter = new QRadioButton(tr("Répéter le masque"), PnlLeft);
  place(RdbRepeter, "RdbRepeter", 8, 338, 0, 0);
  RdbSansDeformer = new QRadioButton(tr("Ajuster sans déformer"), PnlLeft);
  // The panel keeps its width: with a font too wide for the label, it goes on two lines.
  if (8 + RdbSansDeformer->sizeHint().width() > kSidePanelWidth)
    RdbSansDeformer->setText(tr("Ajuster sans\ndéformer"));
  place(RdbSansDeformer, "RdbSansDeformer", 8, 356, 0, 0);
  return PnlLeft;
}

void TMainForm::CreateStatusBar() {
  QStatusBar* bar = statusBar();
  bar->setObjectName(QStringLiteral("StatusBar"));
  bar->setSizeGripEnabled(true);
  const int widths[3] = {160, 100, 0};
  for (int i = 0; i < 3; ++i) {
    auto* panel = new QLabel(bar);
    panel->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    if (widths[i] > 0) panel->setFixedWidth(widths[i]);
    if (i == 1) panel->setAlignment(Qt::AlignCenter);
    bar->addWidget(panel, i == 2 ? 1 : 0);
    StatusPanels[i] = panel;
  }
}

void TMainForm::SetStatusPanel(int index, const QString& text) {
  StatusPanels[index]->setText(text);
}

void TMainForm::closeEvent(QCloseEvent* event) {
  bool mayClose = false;
  RunCommand([this, &mayClose] { mayClose = ConfirmDiscard(); });
  if (!mayClose) {
    event->ignore();
    return;
  }
  // The preferences are written when the window is destroyed, after this question.
  event->accept();
}

void TMainForm::paintEvent(QPaintEvent* event) {
  QMainWindow::paintEvent(event);
  if (firstPaintDone_) return;
  firstPaintDone_ = true;
  // Opened just after the first paint, so that the window is on screen before a long read or a
  // message about an unreadable file.
  QTimer::singleShot(0, this, [this] { RunCommand([this] { OpenCommandLineFile(); }); });
}

}  // namespace vorlino
