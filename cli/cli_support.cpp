#include "cli_support.h"

#include "cli_texts.h"
#include "imagefile/load_image.h"
#include "imagefile/save_copy.h"

namespace vorlino::cli {

std::optional<std::string> Arguments::value(const std::string& name) const {
  auto it = values.find(name);
  if (it == values.end()) return std::nullopt;
  return it->second;
}

Arguments parseArguments(const std::vector<std::string>& words,
                         const std::set<std::string>& withValue,
                         const std::set<std::string>& flagNames) {
  Arguments a;
  for (std::size_t i = 0; i < words.size(); ++i) {
    const std::string& w = words[i];
    if (w == "--") {
      a.positional.insert(a.positional.end(), words.begin() + static_cast<long>(i) + 1,
                          words.end());
      break;
    }
    if (w.size() > 1 && w[0] == '-') {
      std::string name = w;
      std::optional<std::string> inlineValue;
      if (auto eq = w.find('='); eq != std::string::npos && w.rfind("--", 0) == 0) {
        name = w.substr(0, eq);
        inlineValue = w.substr(eq + 1);
      }
      if (withValue.count(name)) {
        if (!inlineValue) {
          if (i + 1 >= words.size()) throw UsageError{"option " + name + " needs a value"};
          inlineValue = words[++i];
        }
        a.values[name] = *inlineValue;
      } else if (flagNames.count(name) && !inlineValue) {
        a.flags.insert(name);
      } else {
        throw UsageError{"unknown option " + w};
      }
      continue;
    }
    a.positional.push_back(w);
  }
  return a;
}

int parseInt(const std::string& text, const std::string& option, int low, int high) {
  std::size_t used = 0;
  int v = 0;
  try {
    v = std::stoi(text, &used);
  } catch (...) {
    used = 0;
  }
  if (used != text.size() || text.empty() || v < low || v > high)
    throw UsageError{option + " must be a whole number from " + std::to_string(low) + " to " +
                     std::to_string(high) + ", not \"" + text + "\""};
  return v;
}

StreamPrompts::StreamPrompts(std::ostream& err) : err_(err) {
  previous_ = setPrompts(this);
}

StreamPrompts::~StreamPrompts() {
  setPrompts(previous_);
}

MessageResult StreamPrompts::message(MessageKind, const std::string&, const std::string& text,
                                     MessageButtons buttons) {
  std::string one = localized(text);
  for (char& c : one)
    if (c == '\r') c = ' ';
  line(one);
  return buttons == MessageButtons::mbOk ? MessageResult::mrOk : MessageResult::mrCancel;
}

void StreamPrompts::line(const std::string& text) {
  const std::lock_guard<std::mutex> hold(mutex_);
  err_ << text << '\n';
  err_.flush();
}

JpegOptions jpegOptionsOf(const Arguments& a) {
  JpegOptions jpeg;
  if (auto q = a.value("--quality")) jpeg.quality = parseInt(*q, "--quality", 1, 100);
  jpeg.progressive = a.has("--progressive");
  return jpeg;
}

bool openPhoto(const std::string& name, Bitmap& photo, const Arguments& a,
               PhotoMetadata* metadata) {
  std::string fileName = name;
  if (LoadImageFile(fileName, photo, "", metadata) <= 0) return false;
  if (metadata && a.has("--strip-metadata")) *metadata = metadata->profileOnly();
  photo.convertTo24();
  photo.Transparent = false;
  return true;
}

bool saveResult(const std::string& name, Bitmap& working, const JpegOptions& jpeg,
                const PhotoMetadata* metadata) {
  MakeSaveReady(working);
  return SaveImageFileWith(name, working, jpeg, true, metadata) > 0;
}

}  // namespace vorlino::cli
