#include "cli_app.h"

#include <string>
#include <vector>

#include "bitmap/bitmap.h"
#include "cli_support.h"
#include "cli_texts.h"
#include "compose/plain_resize.h"
#include "compose/resample.h"
#include "frame_command.h"
#include "imagefile/format_registry.h"
#include "imagefile/image_info.h"
#include "imagefile/load_image.h"
#include "metafiles.h"

namespace vorlino::cli {
namespace {

constexpr const char* kVersion = "vorlino-cli 1.4.0";

constexpr const char* kUsage =
    R"(Usage: vorlino-cli COMMAND [ARGUMENTS]

Commands:
  info FILE...
      One line per file: name, format, width x height, bits per pixel, and the EXIF
      orientation when the file has one (the size is that of the upright picture).
  convert INPUT OUTPUT [--quality Q] [--progressive] [--strip-metadata]
      Reads INPUT as the program opens a photo and writes OUTPUT by its extension
      (.bmp .rle .gif .jpg .jpeg .jpe .png .tif .tiff .tga .webp).
  resize INPUT OUTPUT --width W --height H [--plain] [--strip-metadata]
      Lanczos 3 resampling (or a plain stretch with --plain) to W x H pixels.
  frame INPUT... [--mask MASK] [--settings FILE]
        (-o OUTPUT | --output-dir DIR [--format EXT] [--suffix TEXT] [--recursive] [--overwrite])
        [--colour COLOUR] [--opacity N] [--tile | --fit | --fit-keep-shape]
        [--soften | --no-soften] [--two-tone | --no-two-tone] [--transparent | --rgb | --soft-alpha]
        [--negative | --no-negative] [--rotate 0|90|180|270] [--quality Q] [--progressive]
        [--jobs N] [--quiet] [--strip-metadata]
        [--list FILE] [--shard K/N] [--report FILE] [--whole]
      Frames each photo with the mask as "Appliquer le masque" does, then saves it as
      "Enregistrer sous..." does. An INPUT may be a folder: its readable pictures, in name
      order (--recursive: with its sub-folders). Outputs are named after the inputs with the
      suffix and the extension of --format (default: the input's own when writable, else .jpg;
      .gif for a transparent result, .png with --soft-alpha); existing outputs are skipped
      unless --overwrite. --soft-alpha makes the mask the photo's alpha channel ("Transparence
      progressive"), kept by PNG, TIFF and Targa; other formats get the picture over COLOUR.
      Photos that would share an output (names differing only by their extension) each
      get their own: the later ones add "-" and their extension (photo-bmp.jpg). An
      output that would replace one of the photos refuses the whole run.
      --settings takes the mask, its negative and angle, the colour and the options from a
      Vorlino.ini written by the program; options on the command line override it.
      COLOUR is "#RRGGBB" or a colour name such as clWhite (default white);
      --fit-keep-shape fits the mask without stretching its corners ("Ajuster sans
      déformer"): cut where its light inside begins and ends, or as MASK.slices says
      (left top right bottom, in mask pixels).
      N is the opacity from 10 to 100 (default 100). --jobs: photos framed at once
      (default: the number of cores); the files are the same whatever N.
      --list: more INPUTs from FILE, one path a line ("-": the standard input).
      --shard K/N: only the K-th of N parts of the photos (1 <= K <= N), chosen by a
      hash of each photo's path relative to its INPUT folder, so that N machines can
      share a folder without talking to each other (see docs/cluster.md).
      --report: one JSON line per photo in FILE (input, output, status, milliseconds,
      message).
      Photos are framed as a stream of rows where they can be (RGB result; JPEG input;
      JPEG, PNG, TIFF, BMP or Targa output), whole otherwise; --whole frames every photo
      whole, for comparisons. The files are the same either way.

Options:
  --quality Q      JPEG (and lossy WebP) quality from 1 to 100 (default 90)
  --progressive    progressive JPEG
  --strip-metadata write no EXIF, XMP or IPTC into JPEG, PNG and TIFF outputs (by default a
                   photo's metadata is kept, upright); its colour profile is kept either way
  -h, --help       show this help
  --version        show the version

Exit status: 0 all went well, 1 some input failed, 2 usage error.
)";

// The decoder's description of a file, by its extension ("Images JPG").
std::string formatDescription(const std::string& name) {
  TFileFormatList& formats = fileFormats();
  if (auto kind = formats.decoderFor(fileExtension(name)))
    for (const auto& d : formats.decoders())
      if (d.decoder == *kind) return localized(d.description);
  return {};
}

// One line of info: "NAME: DESCRIPTION, W x H, B bits".
void printInfo(std::ostream& out, const std::string& name, const ImageInfo& info) {
  out << name << ": " << formatDescription(name) << ", " << info.width << " x " << info.height
      << ", " << info.bitsPerPixel << " bits";
  if (info.orientation != 0)
    out << ", " << localized("orientation EXIF") << " " << info.orientation;
  out << '\n';
}

int commandInfo(const Arguments& a, std::ostream& out, std::ostream& err) {
  if (a.positional.empty()) throw UsageError{"info needs at least one file"};
  if (auto why = prepareMetafiles(a.positional)) err << *why << '\n';
  int status = kExitOk;
  for (const std::string& name : a.positional) {
    ImageInfo info;
    if (!readImageInfo(name, info).ok()) {
      err << localized(loadFailureMessage(name)) << "\n";
      status = kExitSomeFailed;
      continue;
    }
    printInfo(out, name, info);
  }
  return status;
}

int commandConvert(const Arguments& a, std::ostream& err) {
  if (a.positional.size() != 2) throw UsageError{"convert needs INPUT and OUTPUT"};
  if (auto why = prepareMetafiles({a.positional[0]})) err << *why << '\n';
  const JpegOptions jpeg = jpegOptionsOf(a);
  Bitmap photo;
  PhotoMetadata metadata;
  if (!openPhoto(a.positional[0], photo, a, &metadata)) return kExitSomeFailed;
  return saveResult(a.positional[1], photo, jpeg, &metadata) ? kExitOk : kExitSomeFailed;
}

int commandResize(const Arguments& a, std::ostream& err) {
  if (a.positional.size() != 2) throw UsageError{"resize needs INPUT and OUTPUT"};
  if (!a.value("--width") || !a.value("--height"))
    throw UsageError{"resize needs --width and --height"};
  if (auto why = prepareMetafiles({a.positional[0]})) err << *why << '\n';
  const int width = parseInt(*a.value("--width"), "--width", 1, 65535);
  const int height = parseInt(*a.value("--height"), "--height", 1, 65535);
  const JpegOptions jpeg = jpegOptionsOf(a);
  Bitmap photo;
  PhotoMetadata metadata;
  if (!openPhoto(a.positional[0], photo, a, &metadata)) return kExitSomeFailed;
  Bitmap resized;
  if (a.has("--plain")) {
    PlainResize(width, height, photo, resized);
  } else {
    ResampleBitmap(static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height),
                   rkLanczos3, 0.0f, photo, resized);
  }
  return saveResult(a.positional[1], resized, jpeg, &metadata) ? kExitOk : kExitSomeFailed;
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
  StreamPrompts messages(err);
  try {
    const std::vector<std::string> rest(words.begin() + 1, words.end());
    for (const std::string& w : rest)
      if (w == "-h" || w == "--help") {
        out << kUsage;
        return kExitOk;
      }
    if (command == "info") return commandInfo(parseArguments(rest, {}, {}), out, err);
    if (command == "convert")
      return commandConvert(
          parseArguments(rest, {"--quality"}, {"--progressive", "--strip-metadata"}), err);
    if (command == "resize")
      return commandResize(parseArguments(rest, {"--width", "--height", "--quality"},
                                          {"--plain", "--progressive", "--strip-metadata"}),
                           err);
    if (command == "frame")
      return commandFrame(
          parseArguments(
              rest,
              {"--mask", "--settings", "-o", "--output-dir", "--format", "--suffix", "--colour",
               "--opacity", "--rotate", "--quality", "--jobs", "--list", "--shard", "--report"},
              {"--tile", "--fit", "--fit-keep-shape", "--soften", "--no-soften", "--two-tone",
               "--no-two-tone", "--transparent", "--rgb", "--soft-alpha", "--negative",
               "--no-negative", "--progressive", "--recursive", "--overwrite", "--quiet",
               "--strip-metadata", "--whole"}),
          messages);
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
