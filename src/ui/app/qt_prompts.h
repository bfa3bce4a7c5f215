// The Qt side of the prompts interface: French message boxes and the file dialogs.
#pragma once

#include <QMessageBox>
#include <memory>

#include "prompts/prompts.h"

class QWidget;

namespace vorlino {

// Builds the message box of one request without showing it: caption, icon by kind, and the
// buttons "OK", "&Oui", "&Non", "Annuler" (with access keys). Escape answers "Annuler" where there
// is one, otherwise the only or the last button.
std::unique_ptr<QMessageBox> MakeMessageBox(MessageKind kind, const QString& caption,
                                            const QString& text, MessageButtons buttons,
                                            QWidget* parent = nullptr);
// The answer a finished box gives: the clicked button, "Annuler" (or "OK") when closed without one.
MessageResult MessageBoxResult(const QMessageBox& box, MessageButtons buttons);

// The extension of the first "*.ext" pattern of a save dialog type ("gif" for
// "Image GIF (*.gif)"); empty when the type has none.
QString SuffixOfNameFilter(const QString& filter);

class QtPrompts final : public Prompts {
 public:
  MessageResult message(MessageKind kind, const std::string& caption, const std::string& text,
                        MessageButtons buttons) override;
  OpenImageReply openImage(const OpenImageRequest& request) override;
  SaveImageReply saveImage(const SaveImageRequest& request) override;
};

}  // namespace vorlino
