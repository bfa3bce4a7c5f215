#include "app/qt_prompts.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QPushButton>

#include "app/core_texts.h"
#include "files/name_filters.h"
#include "files/open_picture_dialog.h"

namespace vorlino {

namespace {

QMessageBox::Icon IconOf(MessageKind kind) {
  switch (kind) {
    case MessageKind::mkError:
      return QMessageBox::Critical;
    case MessageKind::mkWarning:
      return QMessageBox::Warning;
    case MessageKind::mkConfirmation:
      return QMessageBox::Question;
    case MessageKind::mkInformation:
      return QMessageBox::Information;
  }
  return QMessageBox::NoIcon;
}

// The button roles carry the answer: Yes, No, Reject (cancel) and Accept (OK).
void AddButtons(QMessageBox& box, MessageButtons buttons) {
  auto add = [&box](const char* text, QMessageBox::ButtonRole role) {
    return box.addButton(QCoreApplication::translate("QtPrompts", text), role);
  };
  QPushButton* first = nullptr;
  QPushButton* escape = nullptr;
  switch (buttons) {
    case MessageButtons::mbOk:
      first = escape = add(QT_TRANSLATE_NOOP("QtPrompts", "OK"), QMessageBox::AcceptRole);
      break;
    case MessageButtons::mbOkCancel:
      first = add(QT_TRANSLATE_NOOP("QtPrompts", "OK"), QMessageBox::AcceptRole);
      escape = add(QT_TRANSLATE_NOOP("QtPrompts", "Annuler"), QMessageBox::RejectRole);
      break;
    case MessageButtons::mbYesNo:
      first = add(QT_TRANSLATE_NOOP("QtPrompts", "&Oui"), QMessageBox::YesRole);
      escape = add(QT_TRANSLATE_NOOP("QtPrompts", "&Non"), QMessageBox::NoRole);
      break;
    case MessageButtons::mbYesNoCancel:
      first = add(QT_TRANSLATE_NOOP("QtPrompts", "&Oui"), QMessageBox::YesRole);
      add(QT_TRANSLATE_NOOP("QtPrompts", "&Non"), QMessageBox::NoRole);
      escape = add(QT_TRANSLATE_NOOP("QtPrompts", "Annuler"), QMessageBox::RejectRole);
      break;
  }
  box.setDefaultButton(first);
  box.setEscapeButton(escape);
}

QWidget* DialogParent() {
  return QApplication::activeWindow();
}

// Gives the keyboard back to the window the dialog came from, so that its shortcuts work at once
// even where no window manager does it.
void Reactivate(QWidget* window) {
  if (window != nullptr && window->isVisible()) window->activateWindow();
}

}  // namespace

std::unique_ptr<QMessageBox> MakeMessageBox(MessageKind kind, const QString& caption,
                                            const QString& text, MessageButtons buttons,
                                            QWidget* parent) {
  auto box = std::make_unique<QMessageBox>(parent);
  box->setWindowTitle(caption);
  box->setText(text);
  box->setIcon(IconOf(kind));
  AddButtons(*box, buttons);
  return box;
}

MessageResult MessageBoxResult(const QMessageBox& box, MessageButtons buttons) {
  const MessageResult closed =
      buttons == MessageButtons::mbOk
          ? MessageResult::mrOk
          : (buttons == MessageButtons::mbYesNo ? MessageResult::mrNo : MessageResult::mrCancel);
  const QAbstractButton* clicked = box.clickedButton();
  if (clicked == nullptr) return closed;
  switch (box.buttonRole(const_cast<QAbstractButton*>(clicked))) {
    case QMessageBox::AcceptRole:
      return MessageResult::mrOk;
    case QMessageBox::YesRole:
      return MessageResult::mrYes;
    case QMessageBox::NoRole:
      return MessageResult::mrNo;
    case QMessageBox::RejectRole:
      return MessageResult::mrCancel;
    default:
      return closed;
  }
}

MessageResult QtPrompts::message(MessageKind kind, const std::string& caption,
                                 const std::string& text, MessageButtons buttons) {
  QWidget* parent = DialogParent();
  auto box =
      MakeMessageBox(kind, TranslatedCoreText(caption), TranslatedCoreText(text), buttons, parent);
  // A box shown during a busy command must still get the arrow.
  QApplication::setOverrideCursor(Qt::ArrowCursor);
  box->exec();
  QApplication::restoreOverrideCursor();
  Reactivate(parent);
  return MessageBoxResult(*box, buttons);
}

OpenImageReply QtPrompts::openImage(const OpenImageRequest& request) {
  OpenImageReply reply;
  QWidget* parent = DialogParent();
  {
    TOpenPictureDialog dialog(parent);
    const QStringList filters = QtNameFilters(request.filter);
    dialog.setNameFilters(filters);
    if (!filters.isEmpty()) dialog.selectNameFilter(filters.front());
    if (!request.folder.empty()) dialog.setDirectory(QString::fromStdString(request.folder));
    dialog.SetPreview(request.preview);
    reply.accepted = dialog.Execute() && !dialog.selectedFiles().isEmpty();
    if (reply.accepted) reply.fileName = dialog.selectedFiles().front().toStdString();
    reply.preview = dialog.Preview();
  }
  Reactivate(parent);
  // Let the windows that the dialog covered repaint before the file is read.
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  return reply;
}

QString SuffixOfNameFilter(const QString& filter) {
  const qsizetype star = filter.indexOf(QStringLiteral("*."));
  if (star < 0) return {};
  qsizetype end = star + 2;
  while (end < filter.size() && (filter.at(end).isLetterOrNumber())) ++end;
  return filter.mid(star + 2, end - star - 2);
}

SaveImageReply QtPrompts::saveImage(const SaveImageRequest& request) {
  QWidget* parent = DialogParent();
  QFileDialog dialog(parent);
  dialog.resize(760, 480);
  dialog.setOption(QFileDialog::DontUseNativeDialog, true);
  dialog.setOption(QFileDialog::HideNameFilterDetails, true);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setWindowTitle(QCoreApplication::translate("QtPrompts", "Enregistrer sous"));
  dialog.setLabelText(QFileDialog::LookIn,
                      QCoreApplication::translate("QtPrompts", "Enregistrer dans :"));
  dialog.setLabelText(QFileDialog::FileName,
                      QCoreApplication::translate("QtPrompts", "Nom du fichier :"));
  dialog.setLabelText(QFileDialog::FileType, QCoreApplication::translate("QtPrompts", "Type :"));
  dialog.setLabelText(QFileDialog::Accept,
                      QCoreApplication::translate("QtPrompts", "&Enregistrer"));
  dialog.setLabelText(QFileDialog::Reject, QCoreApplication::translate("QtPrompts", "Annuler"));
  const QStringList filters = QtNameFilters(request.filter);
  dialog.setNameFilters(filters);
  const int index = request.filterIndex > 0 ? request.filterIndex - 1 : 0;
  if (index < filters.size()) dialog.selectNameFilter(filters[index]);
  // A name typed without extension takes the one of the type shown, as the user expects: a
  // transparent result proposed as "Image GIF" is written as a GIF, not with the first type's.
  QString fallback = QString::fromStdString(request.defaultExtension);
  if (fallback.startsWith(QLatin1Char('.'))) fallback.remove(0, 1);
  auto followType = [&dialog, fallback] {
    const QString suffix = SuffixOfNameFilter(dialog.selectedNameFilter());
    dialog.setDefaultSuffix(suffix.isEmpty() ? fallback : suffix);
  };
  followType();
  // The signal carries the type's shown text, without its patterns: the full filter is asked.
  QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, followType);
  if (!request.proposedName.empty()) {
    const QString name = QString::fromStdString(request.proposedName);
    const QFileInfo proposed(name);
    if (name.contains(QLatin1Char('/'))) dialog.setDirectory(proposed.absolutePath());
    dialog.selectFile(proposed.fileName());
  }
  QApplication::setOverrideCursor(Qt::ArrowCursor);
  const bool accepted = dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty();
  QApplication::restoreOverrideCursor();
  SaveImageReply reply;
  reply.accepted = accepted;
  if (accepted) reply.fileName = dialog.selectedFiles().front().toStdString();
  Reactivate(parent);
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  return reply;
}

}  // namespace vorlino
