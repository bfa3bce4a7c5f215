// The one door through which the program asks the user something: message boxes and the file
// dialogs. The core calls it; the user interface installs a Qt implementation; tests install a
// scripted one, so that no test ever waits on a modal loop.
#pragma once

#include <string>

namespace vorlino {

enum class MessageKind { mkError, mkWarning, mkConfirmation, mkInformation };
enum class MessageButtons { mbOk, mbOkCancel, mbYesNo, mbYesNoCancel };
enum class MessageResult { mrOk, mrCancel, mrYes, mrNo };

// The picture open dialog: filter is "description|patterns|..." text, the first entry selected.
struct OpenImageRequest {
  std::string folder;  // initial folder, may be empty
  std::string filter;
  bool preview = false;  // state of the preview check box when the dialog opens
};
struct OpenImageReply {
  bool accepted = false;
  std::string fileName;  // full path when accepted
  bool preview = false;  // state of the preview check box when the dialog closed
};

// The save dialog (asks before overwriting, requires the folder to exist).
struct SaveImageRequest {
  std::string filter;
  int filterIndex = 0;           // 1-based type preselected; 0 leaves the first type selected
  std::string defaultExtension;  // e.g. ".bmp"
  std::string proposedName;      // full path without extension, may be empty
};
struct SaveImageReply {
  bool accepted = false;
  std::string fileName;
};

class Prompts {
 public:
  virtual ~Prompts() = default;
  // A modal message box; caption is one of "Erreur", "Avertissement", "Confirmation",
  // "Information" or "Vorlino".
  virtual MessageResult message(MessageKind kind, const std::string& caption,
                                const std::string& text, MessageButtons buttons) = 0;
  virtual OpenImageReply openImage(const OpenImageRequest& request) = 0;
  virtual SaveImageReply saveImage(const SaveImageRequest& request) = 0;
};

// The installed implementation. Until one is installed, a silent one answers: messages give their
// default button (OK, or Cancel where there is one), dialogs are cancelled.
Prompts& prompts();
// Installs p (not owned; nullptr restores the silent one). Returns the previous one.
Prompts* setPrompts(Prompts* p);

// Shorthand for the error box with a single OK button, caption "Erreur".
void showError(const std::string& text);

}  // namespace vorlino
