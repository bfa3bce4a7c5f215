#include "dialogs/batch_form.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QEventLoop>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>
#include <filesystem>
#include <optional>

#include "app/batch_runner.h"
#include "app/core_texts.h"
#include "batch/output_names.h"
#include "dialogs/batch_progress.h"
#include "dialogs/jpg_compress.h"
#include "dialogs/modal.h"
#include "imagefile/load_image.h"
#include "imagefile/save_image.h"
#include "prompts/prompts.h"

namespace vorlino {

namespace fs = std::filesystem;

namespace {

constexpr int kShownFailures = 20;

fs::path ToPath(const QString& name) {
  return fs::path(name.toStdString());
}

void ShowError(const QString& text) {
  prompts().message(MessageKind::mkError, "Erreur", text.toStdString(), MessageButtons::mbOk);
}

// The extension a row of the save formats writes: the first of its list.
std::string FirstExtension(int row) {
  const std::string list = kSaveFormats[row].extensions;
  return list.substr(0, list.find(';'));
}

}  // namespace

QString BatchSummaryText(const TBatchSummary& summary) {
  QString text =
      QCoreApplication::translate("vorlino::TBatchForm", "%1 photos encadrées, %2 échecs")
          .arg(summary.done)
          .arg(summary.failed);
  if (summary.skipped > 0)
    text +=
        QStringLiteral("\n") +
        QCoreApplication::translate("vorlino::TBatchForm",
                                    "%1 photos laissées telles quelles : le fichier existait déjà")
            .arg(summary.skipped);
  if (summary.cancelled) {
    const int left = summary.total - summary.done - summary.skipped - summary.failed;
    text += QStringLiteral("\n") +
            QCoreApplication::translate("vorlino::TBatchForm",
                                        "Traitement annulé : %1 photos non traitées")
                .arg(left);
  }
  if (!summary.failures.isEmpty()) {
    text += QStringLiteral("\n\n") + QCoreApplication::translate("vorlino::TBatchForm", "Échecs :");
    const int shown = std::min<int>(summary.failures.size(), kShownFailures);
    for (int i = 0; i < shown; ++i) text += QStringLiteral("\n") + summary.failures[i];
    if (summary.failures.size() > shown)
      text += QStringLiteral("\n") +
              QCoreApplication::translate("vorlino::TBatchForm", "... et %1 autres")
                  .arg(int(summary.failures.size()) - shown);
  }
  return text;
}

TBatchForm::TBatchForm(QWidget* parent, TJPGCompressForm* jpegForm)
    : QDialog(parent), jpegForm_(jpegForm) {
  setObjectName(QStringLiteral("BatchForm"));
  setWindowTitle(tr("Appliquer à un dossier"));
  setFont(DialogFont());

  auto folderRow = [this](QLabel*& label, QLineEdit*& edit, QToolButton*& browse,
                          const char* labelName, const char* caption, const char* editName,
                          const char* buttonName, const char* hint) {
    label = new QLabel(tr(caption), this);
    label->setObjectName(QString::fromLatin1(labelName));
    edit = new QLineEdit(this);
    edit->setObjectName(QString::fromLatin1(editName));
    edit->setMinimumWidth(300);
    label->setBuddy(edit);
    browse = new QToolButton(this);
    browse->setObjectName(QString::fromLatin1(buttonName));
    browse->setText(QStringLiteral("..."));
    browse->setToolTip(tr(hint));
    QLineEdit* target = edit;
    const QString title = tr(hint);
    connect(browse, &QToolButton::clicked, this,
            [this, target, title] { BrowseFolder(target, title); });
  };
  folderRow(LEntree, EdiEntree, BEntree, "LEntree", QT_TR_NOOP("Dossier des &photos :"),
            "EdiEntree", "BEntree", QT_TR_NOOP("Choisir le dossier des photos"));
  folderRow(LSortie, EdiSortie, BSortie, "LSortie", QT_TR_NOOP("Dossier des &résultats :"),
            "EdiSortie", "BSortie", QT_TR_NOOP("Choisir le dossier des résultats"));

  LFormat = new QLabel(tr("&Format :"), this);
  LFormat->setObjectName(QStringLiteral("LFormat"));
  CmbFormat = new QComboBox(this);
  CmbFormat->setObjectName(QStringLiteral("CmbFormat"));
  LFormat->setBuddy(CmbFormat);
  CmbFormat->addItem(tr("Format d'origine"), -1);
  for (int row = 0; row < kSaveFormatCount; ++row) {
    QString extensions = QString::fromLatin1(kSaveFormats[row].extensions);
    extensions.replace(QLatin1Char(';'), QStringLiteral(", "));
    CmbFormat->addItem(TranslatedCoreText(QString::fromUtf8(kSaveFormats[row].description)) +
                           QStringLiteral(" (") + extensions + ')',
                       row);
  }

  CBSousDossiers = new QCheckBox(tr("Inclure les &sous-dossiers"), this);
  CBSousDossiers->setObjectName(QStringLiteral("CBSousDossiers"));
  CBRemplacer = new QCheckBox(tr("Remplacer les fichiers &existants"), this);
  CBRemplacer->setObjectName(QStringLiteral("CBRemplacer"));

  BOk = new QPushButton(OkGlyph(), tr("Ok"), this);
  BOk->setObjectName(QStringLiteral("BOk"));
  BOk->setDefault(true);
  connect(BOk, &QPushButton::clicked, this, &TBatchForm::BOkClick);
  BAnnuler = new QPushButton(CancelGlyph(), tr("Annuler"), this);
  BAnnuler->setObjectName(QStringLiteral("BAnnuler"));
  connect(BAnnuler, &QPushButton::clicked, this, &QDialog::reject);

  auto* grid = new QGridLayout;
  grid->addWidget(LEntree, 0, 0);
  grid->addWidget(EdiEntree, 0, 1);
  grid->addWidget(BEntree, 0, 2);
  grid->addWidget(LSortie, 1, 0);
  grid->addWidget(EdiSortie, 1, 1);
  grid->addWidget(BSortie, 1, 2);
  grid->addWidget(LFormat, 2, 0);
  grid->addWidget(CmbFormat, 2, 1, 1, 2);
  grid->addWidget(CBSousDossiers, 3, 1, 1, 2);
  grid->addWidget(CBRemplacer, 4, 1, 1, 2);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(BOk);
  buttons->addWidget(BAnnuler);
  auto* column = new QVBoxLayout(this);
  column->addLayout(grid);
  column->addSpacing(8);
  column->addLayout(buttons);
  setFixedSize(sizeHint());
}

TBatchForm::~TBatchForm() = default;

TJPGCompressForm& TBatchForm::JpegForm() {
  if (jpegForm_ == nullptr) jpegForm_ = new TJPGCompressForm(this);
  return *jpegForm_;
}

void TBatchForm::BrowseFolder(QLineEdit* edit, const QString& caption) {
  QFileDialog dialog(this, caption, edit->text());
  dialog.setOption(QFileDialog::DontUseNativeDialog, true);
  dialog.setOption(QFileDialog::ShowDirsOnly, true);
  dialog.setFileMode(QFileDialog::Directory);
  dialog.setLabelText(QFileDialog::LookIn, tr("Regarder dans :"));
  dialog.setLabelText(QFileDialog::FileName, tr("Dossier :"));
  dialog.setLabelText(QFileDialog::Accept, tr("Choisir"));
  dialog.setLabelText(QFileDialog::Reject, tr("Annuler"));
  if (ExecModal(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
  edit->setText(dialog.selectedFiles().constFirst());
}

void TBatchForm::ShowChoices() {
  EdiEntree->setText(choices_.input);
  EdiSortie->setText(choices_.output);
  CmbFormat->setCurrentIndex(std::max(0, CmbFormat->findData(choices_.format)));
  CBSousDossiers->setChecked(choices_.recursive);
  CBRemplacer->setChecked(choices_.overwrite);
}

TBatchChoices TBatchForm::ReadChoices() const {
  TBatchChoices c;
  c.input = EdiEntree->text().trimmed();
  c.output = EdiSortie->text().trimmed();
  c.format = CmbFormat->currentData().toInt();
  c.recursive = CBSousDossiers->isChecked();
  c.overwrite = CBRemplacer->isChecked();
  return c;
}

bool TBatchForm::PrepareJobs(const TBatchChoices& choices) {
  std::error_code ec;
  const fs::path input = ToPath(choices.input);
  if (choices.input.isEmpty() || !fs::is_directory(input, ec)) {
    ShowError(tr("Le dossier des photos \"%1\" n'existe pas.").arg(choices.input));
    return false;
  }
  if (choices.output.isEmpty()) {
    ShowError(tr("Choisissez le dossier des résultats."));
    return false;
  }
  const fs::path output = ToPath(choices.output);
  if (fs::exists(output, ec) && !fs::is_directory(output, ec)) {
    ShowError(tr("\"%1\" n'est pas un dossier.").arg(choices.output));
    return false;
  }
  const auto pictures = listPictures(input, choices.recursive);
  if (pictures.empty()) {
    prompts().message(MessageKind::mkInformation, "Information",
                      tr("Aucune photo à encadrer dans \"%1\".").arg(choices.input).toStdString(),
                      MessageButtons::mbOk);
    return false;
  }

  std::optional<std::string> format;
  if (choices.format >= 0 && choices.format < kSaveFormatCount)
    format = FirstExtension(choices.format);
  else if (softAlpha_)
    format = ".png";
  const BatchOutputNames names = nameBatchOutputs(pictures, output, format, "", transparent_);
  if (names.replacedInput) {
    ShowError(
        tr("Le dossier des résultats contient les photos elles-mêmes : "
           "choisissez un autre dossier."));
    return false;
  }
  std::vector<FrameFileJob> jobs;
  bool needsJpeg = false;
  for (std::size_t i = 0; i < pictures.size(); ++i) {
    const auto written = saveFormatOf(names.outputs[i]);
    needsJpeg = needsJpeg || written == SaveFormat::sfJpeg || written == SaveFormat::sfWebp;
    jobs.push_back({pictures[i].first.string(), names.outputs[i]});
  }
  if (needsJpeg) {
    int quality = jpeg_.quality;
    bool progressive = jpeg_.progressive;
    if (!AskJpegOptions(JpegForm(), quality, progressive)) return false;
    jpeg_.quality = quality;
    jpeg_.progressive = progressive;
  }
  jobs_ = std::move(jobs);
  return true;
}

void TBatchForm::BOkClick() {
  const TBatchChoices choices = ReadChoices();
  if (!PrepareJobs(choices)) return;
  choices_ = choices;
  accept();
}

bool TBatchForm::Execute(const Bitmap& maskPicture, const FrameFileSettings& settings,
                         TBatchSummary* summary) {
  ShowChoices();
  jobs_.clear();
  transparent_ = settings.mask.format == rfTransparent;
  softAlpha_ = settings.mask.format == rfTransparenceProgressive;
  if (ExecModal(*this) != QDialog::Accepted || jobs_.empty()) return false;

  FrameFileSettings run = settings;
  run.jpeg = jpeg_;
  // A system colour is resolved here, on the GUI thread that keeps the system colour table.
  run.blend.colour = ColorToRGB(run.blend.colour);
  TBatchRunner runner(maskPicture, run, choices_.overwrite);
  runner.Start(std::exchange(jobs_, {}));
  TBatchProgress progress(runner, parentWidget());
  ExecModal(progress);
  // Closed early (only a test's script does so): the run was cancelled; wait for the photos
  // under way so that none is left half done behind the summary.
  if (runner.Running()) {
    runner.Cancel();
    QEventLoop loop;
    connect(&runner, &TBatchRunner::AllFinished, &loop, &QEventLoop::quit);
    if (runner.Running()) loop.exec();
  }

  TBatchSummary result;
  result.total = runner.Total();
  result.done = runner.Done();
  result.skipped = runner.Skipped();
  result.failed = runner.Failed();
  result.cancelled = runner.Cancelled() && runner.Finished() < runner.Total();
  result.failures = runner.Failures();
  const bool clean = result.failed == 0 && !result.cancelled;
  prompts().message(clean ? MessageKind::mkInformation : MessageKind::mkWarning,
                    clean ? "Information" : "Avertissement", BatchSummaryText(result).toStdString(),
                    MessageButtons::mbOk);
  if (summary != nullptr) *summary = std::move(result);
  return true;
}

}  // namespace vorlino
