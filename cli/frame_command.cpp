// "vorlino-cli frame": one photo or whole folders framed with a mask, on several photos at once.
#include "frame_command.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <thread>
#include <utility>

#include "compose/bitmap_filters.h"
#include "compose/mask_build.h"
#include "compose/quarter_turn.h"
#include "imagefile/format_registry.h"
#include "imagefile/load_image.h"
#include "settings/settings.h"

namespace vorlino::cli {
namespace {

namespace fs = std::filesystem;

struct FrameSettings {
  std::string maskPath;
  MaskOptions mask;
  BlendOptions blend;
  bool negative = false;
  int angle = 0;
};

struct FrameJob {
  std::string input;
  std::string output;
};

// The look prepared in the window ("Vorlino.ini"), then the command line on top of it.
FrameSettings frameSettingsOf(const Arguments& a) {
  FrameSettings s;
  if (auto file = a.value("--settings")) {
    std::error_code ec;
    if (!fs::is_regular_file(*file, ec)) throw UsageError{"no settings file \"" + *file + "\""};
    Settings saved;
    loadSettingsFile(*file, saved);
    s.maskPath = saved.maskPath;
    s.negative = saved.negative;
    s.angle = saved.angle;
    s.blend.colour = saved.colour;
    s.mask.fit = saved.fit;
    s.mask.soften = saved.soften;
    s.mask.twoTone = saved.twoTone;
    s.mask.format = saved.format == 1 ? rfTransparent : rfCouleursRVB;
  }
  if (auto m = a.value("--mask")) s.maskPath = *m;
  if (s.maskPath.empty()) throw UsageError{"frame needs --mask MASK (or --settings naming one)"};
  if (a.has("--tile") && a.has("--fit")) throw UsageError{"give either --tile or --fit"};
  if (a.has("--tile")) s.mask.fit = false;
  if (a.has("--fit")) s.mask.fit = true;
  if (a.has("--soften")) s.mask.soften = true;
  if (a.has("--no-soften")) s.mask.soften = false;
  if (a.has("--two-tone")) s.mask.twoTone = true;
  if (a.has("--no-two-tone")) s.mask.twoTone = false;
  if (a.has("--transparent") && a.has("--rgb"))
    throw UsageError{"give either --transparent or --rgb"};
  if (a.has("--transparent")) s.mask.format = rfTransparent;
  if (a.has("--rgb")) s.mask.format = rfCouleursRVB;
  if (a.has("--negative")) s.negative = true;
  if (a.has("--no-negative")) s.negative = false;
  if (auto o = a.value("--opacity")) s.blend.opacity = parseInt(*o, "--opacity", 10, 100);
  if (auto c = a.value("--colour")) {
    constexpr Color kInvalid = 0xFFFFFFFF;
    const Color colour = TextToColour(*c, kInvalid);
    if (colour == kInvalid) throw UsageError{"unknown colour \"" + *c + "\""};
    s.blend.colour = colour;
  }
  if (auto r = a.value("--rotate")) {
    s.angle = parseInt(*r, "--rotate", 0, 270);
    if (s.angle % 90 != 0) throw UsageError{"--rotate takes 0, 90, 180 or 270"};
  }
  return s;
}

bool isReadableImage(const fs::path& p) {
  std::error_code ec;
  return fs::is_regular_file(p, ec) && fileFormats().decoderFor(fileExtension(p.string()));
}

// The photos an input names: the file itself, or the readable image files of a folder in name
// order (and of its sub-folders with recursive), each with its path relative to that folder.
std::vector<std::pair<fs::path, fs::path>> expandInput(const fs::path& input, bool recursive) {
  std::vector<std::pair<fs::path, fs::path>> found;
  std::error_code ec;
  if (!fs::is_directory(input, ec)) {
    found.emplace_back(input, input.filename());
    return found;
  }
  auto add = [&](const fs::directory_entry& e) {
    if (isReadableImage(e.path())) found.emplace_back(e.path(), e.path().lexically_relative(input));
  };
  if (recursive) {
    for (const auto& e : fs::recursive_directory_iterator(input, ec)) add(e);
  } else {
    for (const auto& e : fs::directory_iterator(input, ec)) add(e);
  }
  std::sort(found.begin(), found.end(),
            [](const auto& x, const auto& y) { return x.second < y.second; });
  return found;
}

// The output name of one photo under --output-dir: its relative name with the suffix and the
// format's extension (".gif" for a transparent result; else the photo's own extension when the
// program can write it, else ".jpg").
std::string outputNameFor(const fs::path& relative, const fs::path& dir,
                          const std::optional<std::string>& format, const std::string& suffix,
                          bool transparent) {
  std::string extension;
  if (format) {
    extension = (*format)[0] == '.' ? *format : "." + *format;
  } else if (transparent) {
    extension = ".gif";
  } else {
    extension = relative.extension().string();
    if (!saveFormatOf("x" + extension)) extension = ".jpg";
  }
  return (dir / relative.parent_path() / (relative.stem().string() + suffix + extension)).string();
}

// Mask bitmaps by photo size, so that a folder of same-sized photos builds the mask once.
class MaskCache {
 public:
  MaskCache(const Bitmap& picture, const MaskOptions& options)
      : picture_(picture), options_(options) {}

  std::shared_ptr<const Bitmap> get(int width, int height) {
    {
      const std::lock_guard<std::mutex> hold(mutex_);
      for (const auto& [size, mask] : entries_)
        if (size == std::make_pair(width, height)) return mask;
    }
    auto built = BuildMaskBitmap(picture_, width, height, options_);
    if (!built) return nullptr;
    auto mask = std::make_shared<const Bitmap>(std::move(*built));
    const std::lock_guard<std::mutex> hold(mutex_);
    if (entries_.size() >= kEntries) entries_.erase(entries_.begin());
    entries_.emplace_back(std::make_pair(width, height), mask);
    return mask;
  }

 private:
  static constexpr std::size_t kEntries = 3;
  const Bitmap& picture_;
  const MaskOptions options_;
  std::mutex mutex_;
  std::vector<std::pair<std::pair<int, int>, std::shared_ptr<const Bitmap>>> entries_;
};

enum class Outcome { ocDone, ocSkipped, ocFailed };

Outcome frameOne(const FrameJob& job, const FrameSettings& s, MaskCache& masks, bool overwrite,
                 StreamPrompts& messages) {
  std::error_code ec;
  if (!overwrite && fs::exists(job.output, ec)) {
    messages.line("skipped " + job.output + ": it exists (--overwrite replaces it)");
    return Outcome::ocSkipped;
  }
  Bitmap photo;
  if (!openPhoto(job.input, photo)) return Outcome::ocFailed;
  const auto mask = masks.get(photo.width(), photo.height());
  if (!mask) {
    messages.line("vorlino-cli: the mask could not be prepared for " + job.input);
    return Outcome::ocFailed;
  }
  ApplyMaskBitmap(photo, *mask, s.mask.format, s.blend);
  if (const auto parent = fs::path(job.output).parent_path(); !parent.empty())
    fs::create_directories(parent, ec);
  return saveResult(job.output, photo) ? Outcome::ocDone : Outcome::ocFailed;
}

std::string formatSeconds(double s) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f s", s);
  return text;
}

}  // namespace

int commandFrame(const Arguments& a, StreamPrompts& messages) {
  if (a.positional.empty()) throw UsageError{"frame needs at least one INPUT"};
  const auto output = a.value("-o");
  const auto outputDir = a.value("--output-dir");
  if (output && outputDir) throw UsageError{"give either -o or --output-dir, not both"};
  if (!output && !outputDir) throw UsageError{"frame needs -o OUTPUT or --output-dir DIR"};
  if ((a.value("--format") || a.value("--suffix")) && !outputDir)
    throw UsageError{"--format and --suffix go with --output-dir"};
  if (auto f = a.value("--format"); f && !saveFormatOf("x" + ((*f)[0] == '.' ? *f : "." + *f)))
    throw UsageError{"unknown output format \"" + *f + "\""};
  const FrameSettings s = frameSettingsOf(a);
  const int cores = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  const int jobs = a.value("--jobs") ? parseInt(*a.value("--jobs"), "--jobs", 1, 256) : cores;
  const bool quiet = a.has("--quiet");
  const JpegHandlerScope jpeg(jpegSettingsOf(a));

  // The list of photos and their output names, before any work.
  std::vector<FrameJob> work;
  if (output) {
    std::error_code ec;
    if (a.positional.size() != 1 || fs::is_directory(a.positional[0], ec))
      throw UsageError{"-o takes one photo; use --output-dir for several or for a folder"};
    work.push_back({a.positional[0], *output});
  } else {
    const bool transparent = s.mask.format == rfTransparent;
    for (const std::string& input : a.positional)
      for (const auto& [path, relative] : expandInput(input, a.has("--recursive")))
        work.push_back(
            {path.string(), outputNameFor(relative, *outputDir, a.value("--format"),
                                          a.value("--suffix").value_or(""), transparent)});
  }

  // The mask as the program keeps it: 24-bit grey, then the saved negative and angle replayed.
  Bitmap maskPicture;
  if (!openPhoto(s.maskPath, maskPicture)) return kFrameFailed;
  GreyBitmap(maskPicture);
  if (s.negative) InvertBitmap(maskPicture);
  if (s.angle == 90) RotateQuarter(maskPicture, true);
  if (s.angle == 180) RotateHalf(maskPicture);
  if (s.angle == 270) RotateQuarter(maskPicture, false);
  MaskCache masks(maskPicture, s.mask);
  if (outputDir) fs::create_directories(*outputDir);

  // Photos are handed out one at a time to the workers; each one is framed start to finish by one
  // worker, so the files are the same whatever the number of jobs.
  const auto start = std::chrono::steady_clock::now();
  std::atomic<std::size_t> next{0};
  std::atomic<int> done{0}, skipped{0}, failed{0};
  const bool showProgress = !quiet && isatty(STDERR_FILENO);
  auto progress = [&] {
    const int finished = done + skipped + failed;
    const double elapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double rate = elapsed > 0 ? finished / elapsed : 0;
    const double left = rate > 0 ? (static_cast<double>(work.size()) - finished) / rate : 0;
    char text[160];
    std::snprintf(text, sizeof text, "\r%d/%zu photos, %.1f photos/s, %s left   ", finished,
                  work.size(), rate, formatSeconds(left).c_str());
    const std::lock_guard<std::mutex> hold(messages.lock());
    messages.stream() << text;
    messages.stream().flush();
  };
  auto worker = [&] {
    for (std::size_t i = next++; i < work.size(); i = next++) {
      Outcome outcome = Outcome::ocFailed;
      try {
        outcome = frameOne(work[i], s, masks, a.has("--overwrite"), messages);
      } catch (const std::exception& e) {
        messages.line("vorlino-cli: " + work[i].input + ": " + e.what());
      }
      (outcome == Outcome::ocDone ? done : outcome == Outcome::ocSkipped ? skipped : failed)++;
      if (showProgress) progress();
    }
  };
  const int threads = std::min<int>(jobs, static_cast<int>(std::max<std::size_t>(1, work.size())));
  std::vector<std::thread> pool;
  for (int t = 1; t < threads; ++t) pool.emplace_back(worker);
  worker();
  for (auto& t : pool) t.join();

  if (!quiet) {
    const double elapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (showProgress) messages.stream() << '\n';
    messages.line(std::to_string(done.load()) + " framed, " + std::to_string(skipped.load()) +
                  " skipped, " + std::to_string(failed.load()) + " failed in " +
                  formatSeconds(elapsed));
  }
  return failed > 0 ? kFrameFailed : kFrameOk;
}

}  // namespace vorlino::cli
