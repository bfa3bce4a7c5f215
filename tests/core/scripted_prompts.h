// A Prompts implementation for tests: records every message and answers from a script.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "prompts/prompts.h"

namespace vorlino::test {

class ScriptedPrompts : public Prompts {
 public:
  struct Message {
    MessageKind kind;
    std::string caption;
    std::string text;
    MessageButtons buttons;
  };

  ScriptedPrompts() { previous_ = setPrompts(this); }
  ~ScriptedPrompts() override { setPrompts(previous_); }

  MessageResult message(MessageKind kind, const std::string& caption, const std::string& text,
                        MessageButtons buttons) override {
    messages.push_back({kind, caption, text, buttons});
    if (!answers.empty()) {
      MessageResult r = answers.front();
      answers.pop_front();
      return r;
    }
    return buttons == MessageButtons::mbOk ? MessageResult::mrOk : MessageResult::mrCancel;
  }
  OpenImageReply openImage(const OpenImageRequest& r) override {
    openRequests.push_back(r);
    if (openReplies.empty()) return {false, {}, r.preview};
    OpenImageReply reply = openReplies.front();
    openReplies.pop_front();
    return reply;
  }
  SaveImageReply saveImage(const SaveImageRequest& r) override {
    saveRequests.push_back(r);
    if (saveReplies.empty()) return {};
    SaveImageReply reply = saveReplies.front();
    saveReplies.pop_front();
    return reply;
  }

  std::vector<Message> messages;
  std::deque<MessageResult> answers;
  std::vector<OpenImageRequest> openRequests;
  std::deque<OpenImageReply> openReplies;
  std::vector<SaveImageRequest> saveRequests;
  std::deque<SaveImageReply> saveReplies;

 private:
  Prompts* previous_ = nullptr;
};

}  // namespace vorlino::test
