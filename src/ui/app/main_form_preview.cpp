// The live preview through the window: the side panel's changes, the "Aperçu en direct" item,
// Escape, and the before/after key and button.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QRadioButton>
#include <QShortcut>
#include <QToolButton>

#include "app/error_report.h"
#include "app/live_preview.h"
#include "app/main_form.h"
#include "app/tool_pictures.h"
#include "batch/frame_files.h"
#include "controls/color_editor.h"
#include "controls/spin2.h"
#include "view/my_graphic.h"

namespace vorlino {

namespace {

// Holding the backslash key anywhere in the window shows the picture as it was before.
class TBeforeAfterKey : public QObject {
 public:
  explicit TBeforeAfterKey(TMainForm* form) : QObject(form), form_(form) {
    qApp->installEventFilter(this);
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease) return false;
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() != Qt::Key_Backslash) return false;
    auto* widget = qobject_cast<QWidget*>(watched);
    if (widget == nullptr || widget->window() != form_) return false;
    // Held down, the key repeats: only the first press and the last release count.
    if (!key->isAutoRepeat()) {
      if (event->type() == QEvent::KeyPress)
        form_->BeginBeforeAfter();
      else
        form_->EndBeforeAfter();
    }
    return true;
  }

 private:
  TMainForm* form_;
};

}  // namespace

void TMainForm::CreateLivePreview(bool enabled) {
  livePreview_ = new TLivePreview(imageView_, this);
  livePreview_->setObjectName(QStringLiteral("LivePreview"));
  livePreview_->SetEnabled(enabled);
  connect(livePreview_, &TLivePreview::shownChanged, this, [this](bool shown) {
    if (busyDepth_ == 0) SetStatusPanel(0, shown ? tr(" Aperçu") : tr(" Prêt"));
  });

  MenuAction->addSeparator();
  MenuActionApercu = MenuAction->addAction(tr("Aperçu en direct"));
  MenuActionApercu->setObjectName(QStringLiteral("MenuActionApercu"));
  MenuActionApercu->setCheckable(true);
  MenuActionApercu->setChecked(enabled);
  connect(MenuActionApercu, &QAction::toggled, this,
          [this](bool on) { RunCommand([this, on] { livePreview_->SetEnabled(on); }); });

  auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
  escape->setObjectName(QStringLiteral("PreviewEscapeShortcut"));
  escape->setEnabled(false);
  connect(escape, &QShortcut::activated, this, [this] { livePreview_->Drop(); });
  connect(livePreview_, &TLivePreview::shownChanged, escape, &QShortcut::setEnabled);

  BtnAvantApres = new QToolButton(ToolBar);
  BtnAvantApres->setObjectName(QStringLiteral("BtnAvantApres"));
  BtnAvantApres->setAutoRaise(true);
  BtnAvantApres->setFixedSize(BtnUndo->size());
  BtnAvantApres->setIconSize(BtnUndo->iconSize());
  BtnAvantApres->setIcon(ToolIcon(ToolPicture::tpBeforeAfter));
  BtnAvantApres->setToolTip(tr("Avant/après"));
  BtnAvantApres->setFocusPolicy(Qt::NoFocus);
  ToolBar->layout()->addWidget(BtnAvantApres);
  connect(BtnAvantApres, &QToolButton::pressed, this, &TMainForm::BeginBeforeAfter);
  connect(BtnAvantApres, &QToolButton::released, this, &TMainForm::EndBeforeAfter);
  new TBeforeAfterKey(this);

  // Every choice of the side panel; the mask picture's own changes call in from LoadMask.
  auto changed = [this] { RunCommand([this] { SidePanelChanged(false); }); };
  auto maskChanged = [this] { RunCommand([this] { SidePanelChanged(true); }); };
  connect(BtnNegatif, &QToolButton::clicked, this, maskChanged);
  connect(BtnRotation, &QToolButton::clicked, this, maskChanged);
  connect(ColorEdit, &TColorEdit::changed, this, changed);
  connect(EdiOpacite, &TSpinEdit2::OnChange, this, changed);
  connect(CmbFormat, &QComboBox::currentIndexChanged, this, changed);
  connect(ChbFlou, &QCheckBox::toggled, this, changed);
  connect(ChbBichromie, &QCheckBox::toggled, this, changed);
  connect(RdbAjuster, &QRadioButton::toggled, this, changed);
  connect(RdbSansDeformer, &QRadioButton::toggled, this, changed);
}

bool TMainForm::LivePreviewEnabled() const {
  return livePreview_ != nullptr && livePreview_->Enabled();
}

void TMainForm::SidePanelChanged(bool maskChanged) {
  if (livePreview_ == nullptr) return;  // still starting: the settings are being replayed
  if (maskChanged || !previewMask_) previewMask_ = std::make_shared<const Bitmap>(maskPicture_);
  hoverMask_.reset();
  if (!livePreview_->Enabled()) return;
  // The preview frames the full picture: with a photo still opening, it comes once it is there.
  if (quickOpen_) {
    quickOpen_->previewWanted = true;
    return;
  }
  livePreview_->Request({previewMask_, CurrentMaskOptions(), CurrentBlendOptions()});
}

void TMainForm::previewMaskFile(const QString& path) {
  if (!LivePreviewEnabled() || quickOpen_ || WorkingBitmap().empty()) return;
  std::optional<Bitmap> picture = prepareMaskPicture(path.toStdString(), false, 0);
  if (!picture) return;
  if (!hoverMask_) hoverWasShown_ = livePreview_->Current().has_value();
  hoverMask_ = std::make_shared<const Bitmap>(std::move(*picture));
  livePreview_->Request({hoverMask_, CurrentMaskOptions(), CurrentBlendOptions()});
}

void TMainForm::endMaskHover() {
  if (!hoverMask_ || livePreview_ == nullptr) return;
  hoverMask_.reset();
  if (hoverWasShown_ && !maskPicture_.empty()) {
    if (!previewMask_) previewMask_ = std::make_shared<const Bitmap>(maskPicture_);
    livePreview_->Request({previewMask_, CurrentMaskOptions(), CurrentBlendOptions()});
  } else {
    livePreview_->Drop();
  }
}

void TMainForm::BeginBeforeAfter() {
  if (livePreview_ == nullptr || livePreview_->Comparing() || quickOpen_) return;
  if (livePreview_->Shown()) {
    livePreview_->BeginCompare(nullptr);  // the working bitmap, without the preview
    return;
  }
  const TUndoItem* last = history_.Current();
  if (last == nullptr || last->Name() != "Masque") return;
  beforeAfter_ = last->CopySnapshot();
  livePreview_->BeginCompare(&beforeAfter_);
}

void TMainForm::EndBeforeAfter() {
  if (livePreview_ != nullptr && livePreview_->Comparing()) livePreview_->EndCompare();
  vorlino::Bitmap().swap(beforeAfter_);
}

void TMainForm::DocumentChanging() {
  if (livePreview_ != nullptr) livePreview_->DocumentChanged();
}

}  // namespace vorlino
