#include "prompts/prompts.h"

namespace vorlino {
namespace {

class SilentPrompts final : public Prompts {
 public:
  MessageResult message(MessageKind, const std::string&, const std::string&,
                        MessageButtons buttons) override {
    return buttons == MessageButtons::mbOk || buttons == MessageButtons::mbYesNo
               ? (buttons == MessageButtons::mbOk ? MessageResult::mrOk : MessageResult::mrNo)
               : MessageResult::mrCancel;
  }
  OpenImageReply openImage(const OpenImageRequest& r) override { return {false, {}, r.preview}; }
  SaveImageReply saveImage(const SaveImageRequest&) override { return {}; }
};

SilentPrompts gSilent;
Prompts* gPrompts = &gSilent;

}  // namespace

Prompts& prompts() {
  return *gPrompts;
}

Prompts* setPrompts(Prompts* p) {
  Prompts* previous = gPrompts == &gSilent ? nullptr : gPrompts;
  gPrompts = p ? p : &gSilent;
  return previous;
}

void showError(const std::string& text) {
  prompts().message(MessageKind::mkError, "Erreur", text, MessageButtons::mbOk);
}

}  // namespace vorlino
