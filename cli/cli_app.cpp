#include "cli_app.h"

#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "bitmap/bitmap.h"
#include "compose/bitmap_filters.h"
#include "compose/mask_build.h"
#include "compose/plain_resize.h"
#include "compose/quarter_turn.h"
#include "compose/resample.h"
#include "imagefile/format_registry.h"
#include "imagefile/load_image.h"
#include "imagefile/save_copy.h"
#include "imagefile/save_image.h"
#include "prompts/prompts.h"
#include "settings/settings.h"

namespace vorlino::cli {
namespace {

namespace fs = std::filesystem;

constexpr const char* kVersion = "vorlino-cli 1.4.0";

constexpr const char* kUsage =
    R"(Usage: vorlino-cli COMMAND [ARGUMENTS]

Commands:
  info FILE...
      One line per file: name, format, width x height, bits per pixel.
  convert INPUT OUTPUT [--quality Q] [--progressive]
      Reads INPUT as the program opens a photo and writes OUTPUT by its extension
      (.bmp .rle .gif .jpg .jpeg .jpe .png .tif .tiff .tga).
  resize INPUT OUTPUT --width W --height H [--plain]
      Lanczos 3 resampling (or a plain stretch with --plain) to W x H pixels.
  frame INPUT... --mask MASK [-o OUTPUT | --output-dir DIR [--format EXT] [--suffix TEXT]]
        [--colour COLOUR] [--opacity N] [--tile] [--soften] [--two-tone] [--transparent]
        [--negative] [--rotate 90|180|270] [--quality Q] [--progressive]
      Frames each photo with the mask as "Appliquer le masque" does, then saves it.
      COLOUR is "#RRGGBB" or a colour name such as clWhite (default white);
      N is the opacity from 10 to 100 (default 100).

Options:
  --quality Q      JPEG quality from 1 to 100 (default 90)
  --progressive    progressive JPEG
  -h, --help       show this help
  --version        show the version

Exit status: 0 all went well, 1 some input failed, 2 usage error.
)";

// Message boxes of the core become lines on the error stream.
class StreamPrompts final : public Prompts {
 public:
  explicit StreamPrompts(std::ostream& err) : err_(err) { previous_ = setPrompts(this); }
  ~StreamPrompts() override { setPrompts(previous_); }
  MessageResult message(MessageKind, const std::string&, const std::string& text,
                        MessageButtons buttons) override {
    std::string line = text;
    for (char& c : line)
      if (c == '\r') c = ' ';
    err_ << line << '\n';
    return buttons == MessageButtons::mbOk ? MessageResult::mrOk : MessageResult::mrCancel;
  }
  OpenImageReply openImage(const OpenImageRequest& r) override { return {false, {}, r.preview}; }
  SaveImageReply saveImage(const SaveImageRequest&) override { return {}; }

 private:
  std::ostream& err_;
  Prompts* previous_ = nullptr;
};

struct UsageError {
  std::string text;
};

// Command-line words split into positional arguments and options (with their values).
struct Arguments {
  std::vector<std::string> positional;
  std::map<std::string, std::string> values;
  std::set<std::string> flags;

  bool has(const std::string& name) const { return flags.count(name) || values.count(name); }
  std::optional<std::string> value(const std::string& name) const {
    auto it = values.find(name);
    if (it == values.end()) return std::nullopt;
    return it->second;
  }
};

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

struct JpegSettings {
  int quality = 90;
  bool progressive = false;
};

JpegSettings jpegSettingsOf(const Arguments& a) {
  JpegSettings s;
  if (auto q = a.value("--quality")) s.quality = parseInt(*q, "--quality", 1, 100);
  s.progressive = a.has("--progressive");
  return s;
}

// Installs the before-save handler that hands the JPEG settings to the writer, as the quality
// dialog does in the window; restores the previous handler when it goes.
class JpegHandlerScope {
 public:
  explicit JpegHandlerScope(JpegSettings s) {
    previous_ = setBeforeSaveHandler([s](SaveEncoder& encoder, bool&) {
      encoder.jpeg.quality = s.quality;
      encoder.jpeg.progressive = s.progressive;
    });
  }
  ~JpegHandlerScope() { setBeforeSaveHandler(previous_); }

 private:
  BeforeSaveHandler previous_;
};

// Reads a file as the program opens a photo: by its extension, made 24-bit, not transparent.
bool openPhoto(const std::string& name, Bitmap& photo) {
  std::string fileName = name;
  if (LoadImageFile(fileName, photo, "") <= 0) return false;
  photo.convertTo24();
  photo.Transparent = false;
  return true;
}

// Saves as "Enregistrer sous..." does: a copy, reduced to a palette when transparent.
bool saveResult(const std::string& name, const Bitmap& working) {
  Bitmap copy = MakeSaveCopy(working);
  std::string fileName = name;
  return SaveImageFile(fileName, copy, "") > 0;
}

int commandInfo(const Arguments& a, std::ostream& out, std::ostream& err) {
  if (a.positional.empty()) throw UsageError{"info needs at least one file"};
  int status = kExitOk;
  for (const std::string& name : a.positional) {
    Bitmap picture;
    const CodecResult r = decodeImageFile(name, picture);
    if (!r.ok()) {
      err << "Impossible d'ouvrir l'image dans le fichier \"" << name << "\"\n";
      status = kExitSomeFailed;
      continue;
    }
    std::string description;
    TFileFormatList& formats = fileFormats();
    if (auto kind = formats.decoderFor(fileExtension(name)))
      for (const auto& d : formats.decoders())
        if (d.decoder == *kind) description = d.description;
    out << name << ": " << description << ", " << picture.width() << " x " << picture.height()
        << ", " << picture.bitsPerPixel() << " bits\n";
  }
  return status;
}

int commandConvert(const Arguments& a) {
  if (a.positional.size() != 2) throw UsageError{"convert needs INPUT and OUTPUT"};
  const JpegHandlerScope jpeg(jpegSettingsOf(a));
  Bitmap photo;
  if (!openPhoto(a.positional[0], photo)) return kExitSomeFailed;
  return saveResult(a.positional[1], photo) ? kExitOk : kExitSomeFailed;
}

int commandResize(const Arguments& a) {
  if (a.positional.size() != 2) throw UsageError{"resize needs INPUT and OUTPUT"};
  if (!a.value("--width") || !a.value("--height"))
    throw UsageError{"resize needs --width and --height"};
  const int width = parseInt(*a.value("--width"), "--width", 1, 65535);
  const int height = parseInt(*a.value("--height"), "--height", 1, 65535);
  const JpegHandlerScope jpeg(jpegSettingsOf(a));
  Bitmap photo;
  if (!openPhoto(a.positional[0], photo)) return kExitSomeFailed;
  Bitmap resized;
  if (a.has("--plain")) {
    PlainResize(width, height, photo, resized);
  } else {
    ResampleBitmap(static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height),
                   rkLanczos3, 0.0f, photo, resized);
  }
  return saveResult(a.positional[1], resized) ? kExitOk : kExitSomeFailed;
}

struct FrameSettings {
  MaskOptions mask;
  BlendOptions blend;
  bool negative = false;
  int angle = 0;
};

// The output name of one input under --output-dir: the input's name with the suffix and the
// format's extension (".gif" for a transparent result; else the input's own extension when the
// program can write it, else ".jpg").
std::string outputNameFor(const std::string& input, const fs::path& dir,
                          const std::optional<std::string>& format, const std::string& suffix,
                          bool transparent) {
  const fs::path in(input);
  std::string extension;
  if (format) {
    extension = (*format)[0] == '.' ? *format : "." + *format;
  } else if (transparent) {
    extension = ".gif";
  } else {
    extension = in.extension().string();
    if (!saveFormatOf("x" + extension)) extension = ".jpg";
  }
  return (dir / (in.stem().string() + suffix + extension)).string();
}

int commandFrame(const Arguments& a) {
  if (a.positional.empty()) throw UsageError{"frame needs at least one INPUT"};
  const auto maskName = a.value("--mask");
  if (!maskName) throw UsageError{"frame needs --mask MASK"};
  const auto output = a.value("-o");
  const auto outputDir = a.value("--output-dir");
  if (output && outputDir) throw UsageError{"give either -o or --output-dir, not both"};
  if (!output && !outputDir) throw UsageError{"frame needs -o OUTPUT or --output-dir DIR"};
  if (output && a.positional.size() != 1)
    throw UsageError{"-o takes one INPUT; use --output-dir for several"};
  if ((a.value("--format") || a.value("--suffix")) && !outputDir)
    throw UsageError{"--format and --suffix go with --output-dir"};
  if (auto f = a.value("--format"); f && !saveFormatOf("x" + ((*f)[0] == '.' ? *f : "." + *f)))
    throw UsageError{"unknown output format \"" + *f + "\""};

  FrameSettings s;
  s.mask.fit = !a.has("--tile");
  s.mask.soften = a.has("--soften");
  s.mask.twoTone = a.has("--two-tone");
  s.mask.format = a.has("--transparent") ? rfTransparent : rfCouleursRVB;
  if (auto o = a.value("--opacity")) s.blend.opacity = parseInt(*o, "--opacity", 10, 100);
  if (auto c = a.value("--colour")) {
    constexpr Color kInvalid = 0xFFFFFFFF;
    const Color colour = TextToColour(*c, kInvalid);
    if (colour == kInvalid) throw UsageError{"unknown colour \"" + *c + "\""};
    s.blend.colour = ColorToRGB(colour);
  }
  s.negative = a.has("--negative");
  if (auto r = a.value("--rotate")) {
    s.angle = parseInt(*r, "--rotate", 90, 270);
    if (s.angle % 90 != 0) throw UsageError{"--rotate takes 90, 180 or 270"};
  }
  const JpegHandlerScope jpeg(jpegSettingsOf(a));

  // The mask as the program keeps it: 24-bit grey, then the saved negative and angle replayed.
  Bitmap maskPicture;
  if (!openPhoto(*maskName, maskPicture)) return kExitSomeFailed;
  GreyBitmap(maskPicture);
  if (s.negative) InvertBitmap(maskPicture);
  if (s.angle == 90) RotateQuarter(maskPicture, true);
  if (s.angle == 180) RotateHalf(maskPicture);
  if (s.angle == 270) RotateQuarter(maskPicture, false);

  if (outputDir) fs::create_directories(*outputDir);
  int status = kExitOk;
  for (const std::string& input : a.positional) {
    Bitmap photo;
    if (!openPhoto(input, photo)) {
      status = kExitSomeFailed;
      continue;
    }
    const auto mask = BuildMaskBitmap(maskPicture, photo.width(), photo.height(), s.mask);
    if (!mask) {
      status = kExitSomeFailed;
      continue;
    }
    ApplyMaskBitmap(photo, *mask, s.mask.format, s.blend);
    const std::string target =
        output ? *output
               : outputNameFor(input, *outputDir, a.value("--format"),
                               a.value("--suffix").value_or(""), photo.Transparent);
    if (!saveResult(target, photo)) status = kExitSomeFailed;
  }
  return status;
}

}  // namespace

int run(int argc, char** argv, std::ostream& out, std::ostream& err) {
  const std::vector<std::string> words(argv + 1, argv + argc);
  if (words.empty()) {
    err << kUsage;
    return kExitUsage;
  }
  const std::string& command = words[0];
  if (command == "-h" || command == "--help" || command == "help") {
    out << kUsage;
    return kExitOk;
  }
  if (command == "--version") {
    out << kVersion << '\n';
    return kExitOk;
  }
  StreamPrompts prompts(err);
  try {
    const std::vector<std::string> rest(words.begin() + 1, words.end());
    for (const std::string& w : rest)
      if (w == "-h" || w == "--help") {
        out << kUsage;
        return kExitOk;
      }
    if (command == "info") return commandInfo(parseArguments(rest, {}, {}), out, err);
    if (command == "convert")
      return commandConvert(parseArguments(rest, {"--quality"}, {"--progressive"}));
    if (command == "resize")
      return commandResize(parseArguments(rest, {"--width", "--height", "--quality"},
                                          {"--plain", "--progressive"}));
    if (command == "frame")
      return commandFrame(parseArguments(
          rest,
          {"--mask", "-o", "--output-dir", "--format", "--suffix", "--colour", "--opacity",
           "--rotate", "--quality"},
          {"--tile", "--soften", "--two-tone", "--transparent", "--negative", "--progressive"}));
    throw UsageError{"unknown command \"" + command + "\""};
  } catch (const UsageError& e) {
    err << "vorlino-cli: " << e.text << "\nTry 'vorlino-cli --help'.\n";
    return kExitUsage;
  } catch (const std::exception& e) {
    err << "vorlino-cli: " << e.what() << '\n';
    return kExitSomeFailed;
  }
}

}  // namespace vorlino::cli
