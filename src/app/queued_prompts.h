// The prompts of the measuring programs: the open dialog answered with queued names, messages
// written to the standard error, every question answered "Non".
#pragma once

#include <QString>
#include <QTextStream>
#include <deque>
#include <string>

#include "prompts/prompts.h"

class QueuedPrompts final : public vorlino::Prompts {
 public:
  std::deque<std::string> names;
  vorlino::MessageResult message(vorlino::MessageKind, const std::string& caption,
                                 const std::string& text, vorlino::MessageButtons) override {
    QTextStream(stderr) << QString::fromStdString(caption + ": " + text) << Qt::endl;
    return vorlino::MessageResult::mrNo;
  }
  vorlino::OpenImageReply openImage(const vorlino::OpenImageRequest& request) override {
    if (names.empty()) return {false, {}, request.preview};
    vorlino::OpenImageReply reply{true, names.front(), request.preview};
    names.pop_front();
    return reply;
  }
  vorlino::SaveImageReply saveImage(const vorlino::SaveImageRequest&) override { return {}; }
};
