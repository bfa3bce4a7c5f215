// Pieces shared by the commands of vorlino-cli: argument parsing, the message sink, and opening
// and saving files exactly as the window does.
#pragma once

#include <map>
#include <mutex>
#include <optional>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "bitmap/bitmap.h"
#include "imagefile/save_image.h"
#include "prompts/prompts.h"

namespace vorlino::cli {

struct UsageError {
  std::string text;
};

// Command-line words split into positional arguments and options (with their values).
struct Arguments {
  std::vector<std::string> positional;
  std::map<std::string, std::string> values;
  std::set<std::string> flags;

  bool has(const std::string& name) const { return flags.count(name) || values.count(name); }
  std::optional<std::string> value(const std::string& name) const;
};

// Options in withValue take the next word (or "--name=value"); flagNames take none. Anything else
// starting with "-" is a usage error; "--" ends the options.
Arguments parseArguments(const std::vector<std::string>& words,
                         const std::set<std::string>& withValue,
                         const std::set<std::string>& flagNames);

// A whole number from low to high, or a usage error naming the option.
int parseInt(const std::string& text, const std::string& option, int low, int high);

// The core's message boxes become lines on the error stream; safe from several threads.
class StreamPrompts final : public Prompts {
 public:
  explicit StreamPrompts(std::ostream& err);
  ~StreamPrompts() override;
  MessageResult message(MessageKind kind, const std::string& caption, const std::string& text,
                        MessageButtons buttons) override;
  OpenImageReply openImage(const OpenImageRequest& r) override { return {false, {}, r.preview}; }
  SaveImageReply saveImage(const SaveImageRequest&) override { return {}; }
  // Writes a line of the tool's own, under the same lock as the messages.
  void line(const std::string& text);
  std::ostream& stream() { return err_; }
  std::mutex& lock() { return mutex_; }

 private:
  std::ostream& err_;
  std::mutex mutex_;
  Prompts* previous_ = nullptr;
};

// The JPEG settings of --quality and --progressive (quality 90 by default).
JpegOptions jpegOptionsOf(const Arguments& a);

// Reads a file as the program opens a photo: by its extension, made 24-bit, not transparent.
// A failure has shown the program's message. metadata, when given, receives the file's metadata,
// reduced to its colour profile when the arguments ask for --strip-metadata.
bool openPhoto(const std::string& name, Bitmap& photo, const Arguments& a,
               PhotoMetadata* metadata = nullptr);

// Saves as "Enregistrer sous..." does: reduced to a palette when transparent, written with the
// given JPEG settings. The reduction is made in place, as the picture is not used afterwards. A
// failure has shown the program's message. metadata, when given, goes into the file.
bool saveResult(const std::string& name, Bitmap& working, const JpegOptions& jpeg,
                const PhotoMetadata* metadata = nullptr);

}  // namespace vorlino::cli
