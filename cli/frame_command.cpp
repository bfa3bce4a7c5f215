// "vorlino-cli frame": one photo or whole folders framed with a mask, on several photos at once.
#include "frame_command.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

#include "batch/frame_files.h"
#include "batch/frame_report.h"
#include "batch/output_names.h"
#include "batch/shard.h"
#include "cli_texts.h"
#include "imagefile/load_image.h"
#include "metafiles.h"
#include "parallel/parallel.h"
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
    s.mask.fit = saved.fit || saved.keepShape;
    s.mask.keepShape = saved.keepShape;
    s.mask.soften = saved.soften;
    s.mask.twoTone = saved.twoTone;
    s.mask.format = saved.softAlpha     ? rfTransparenceProgressive
                    : saved.format == 1 ? rfTransparent
                                        : rfCouleursRVB;
  }
  if (auto m = a.value("--mask")) s.maskPath = *m;
  if (s.maskPath.empty()) throw UsageError{"frame needs --mask MASK (or --settings naming one)"};
  if (a.has("--tile") + a.has("--fit") + a.has("--fit-keep-shape") > 1)
    throw UsageError{"give one of --tile, --fit and --fit-keep-shape"};
  if (a.has("--tile") || a.has("--fit")) s.mask.keepShape = false;
  if (a.has("--tile")) s.mask.fit = false;
  if (a.has("--fit")) s.mask.fit = true;
  if (a.has("--fit-keep-shape")) s.mask.fit = s.mask.keepShape = true;
  if (a.has("--soften")) s.mask.soften = true;
  if (a.has("--no-soften")) s.mask.soften = false;
  if (a.has("--two-tone")) s.mask.twoTone = true;
  if (a.has("--no-two-tone")) s.mask.twoTone = false;
  if (int(a.has("--transparent")) + int(a.has("--rgb")) + int(a.has("--soft-alpha")) > 1)
    throw UsageError{"give only one of --transparent, --rgb and --soft-alpha"};
  if (a.has("--transparent")) s.mask.format = rfTransparent;
  if (a.has("--rgb")) s.mask.format = rfCouleursRVB;
  if (a.has("--soft-alpha")) s.mask.format = rfTransparenceProgressive;
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

std::string formatSeconds(double s) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f s", s);
  return text;
}

// The inputs named on the command line, then those of --list (a file, or "-" for the standard
// input).
std::vector<std::string> frameInputsOf(const Arguments& a) {
  std::vector<std::string> inputs = a.positional;
  if (auto list = a.value("--list")) {
    std::vector<std::string> listed;
    if (*list == "-") {
      listed = readPathList(std::cin);
    } else {
      std::ifstream in(*list);
      if (!in) throw UsageError{"cannot read the list \"" + *list + "\""};
      listed = readPathList(in);
    }
    inputs.insert(inputs.end(), listed.begin(), listed.end());
  }
  return inputs;
}

}  // namespace

int commandFrame(const Arguments& a, StreamPrompts& messages) {
  const std::vector<std::string> inputs = frameInputsOf(a);
  if (inputs.empty() && !a.value("--list")) throw UsageError{"frame needs at least one INPUT"};
  const auto output = a.value("-o");
  const auto outputDir = a.value("--output-dir");
  if (output && outputDir) throw UsageError{"give either -o or --output-dir, not both"};
  if (!output && !outputDir) throw UsageError{"frame needs -o OUTPUT or --output-dir DIR"};
  if ((a.value("--format") || a.value("--suffix")) && !outputDir)
    throw UsageError{"--format and --suffix go with --output-dir"};
  if ((a.value("--list") || a.value("--shard")) && !outputDir)
    throw UsageError{"--list and --shard go with --output-dir"};
  std::optional<ShardSpec> shard;
  if (auto k = a.value("--shard")) {
    shard = parseShard(*k);
    if (!shard) throw UsageError{"--shard takes K/N with 1 <= K <= N"};
  }
  if (auto f = a.value("--format"); f && !saveFormatOf("x" + ((*f)[0] == '.' ? *f : "." + *f)))
    throw UsageError{"unknown output format \"" + *f + "\""};
  const FrameSettings s = frameSettingsOf(a);
  const int cores = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  const int jobs = a.value("--jobs") ? parseInt(*a.value("--jobs"), "--jobs", 1, 256) : cores;
  const bool quiet = a.has("--quiet");
  FrameFileSettings frame{s.mask, s.blend, jpegOptionsOf(a), !a.has("--strip-metadata")};
  frame.stream = !a.has("--whole");

  // The list of photos and their output names, before any work.
  std::vector<FrameFileJob> work;
  if (output) {
    std::error_code ec;
    if (inputs.size() != 1 || fs::is_directory(inputs[0], ec))
      throw UsageError{"-o takes one photo; use --output-dir for several or for a folder"};
    if (sameFile(inputs[0], *output))
      throw UsageError{"-o would replace the photo \"" + inputs[0] +
                       "\" with its framed copy; choose another output"};
    work.push_back({inputs[0], *output});
  } else {
    std::vector<BatchPicture> pictures;
    for (const std::string& input : inputs)
      for (auto& picture : listPictures(input, a.has("--recursive")))
        pictures.push_back(std::move(picture));
    // Named all at once over the whole list, so that no two photos share an output whatever the
    // number of jobs, and a shard names its photos as one run of the whole list would.
    // A soft-transparency result goes to PNG unless told otherwise: it keeps the alpha.
    std::optional<std::string> format = a.value("--format");
    if (!format && s.mask.format == rfTransparenceProgressive) format = ".png";
    const BatchOutputNames names =
        nameBatchOutputs(pictures, *outputDir, format, a.value("--suffix").value_or(""),
                         s.mask.format == rfTransparent);
    if (names.replacedInput)
      throw UsageError{"--output-dir would replace the photo \"" + *names.replacedInput +
                       "\" with its framed copy; choose another folder"};
    for (std::size_t i = 0; i < pictures.size(); ++i)
      if (!shard || inShard(pictures[i].second.generic_string(), *shard))
        work.push_back({pictures[i].first.string(), names.outputs[i]});
  }

  // Qt is loaded only for a run that reads a metafile, before the workers start.
  std::vector<std::string> toRead{s.maskPath};
  for (const FrameFileJob& job : work) toRead.push_back(job.input);
  if (auto why = prepareMetafiles(toRead)) messages.line(*why);

  // The mask as the program keeps it: 24-bit grey, then the saved negative and angle replayed.
  const auto maskPicture = prepareMaskPicture(s.maskPath, s.negative, s.angle);
  if (!maskPicture) {
    messages.line(localized(loadFailureMessage(s.maskPath)));
    return kFrameFailed;
  }
  // The cuts, found once for every photo: from the ".slices" file beside the mask, turned with
  // it, or else from the picture itself.
  MaskOptions maskOptions = s.mask;
  if (maskOptions.fit && maskOptions.keepShape) {
    const bool across = s.angle == 90 || s.angle == 270;
    const int loadedWidth = across ? maskPicture->height() : maskPicture->width();
    const int loadedHeight = across ? maskPicture->width() : maskPicture->height();
    const SlicesRead slices = readMaskSlices(s.maskPath, loadedWidth, loadedHeight);
    if (!slices.error.empty()) messages.line(localized(slices.error));
    maskOptions.cuts = slices.cuts ? slicesOfTurnedPicture(slices.cuts, *maskPicture, s.angle)
                                   : findMaskCuts(*maskPicture);
  }
  MaskBitmapCache masks(*maskPicture, maskOptions);
  // A single photo keeps no mask rows for photos that will not come.
  masks.setKeepRows(work.size() > 1);
  if (outputDir) fs::create_directories(*outputDir);
  std::ofstream report;
  if (auto r = a.value("--report")) {
    report.open(*r, std::ios::out | std::ios::trunc | std::ios::binary);
    if (!report) throw UsageError{"cannot write the report \"" + *r + "\""};
  }
  std::mutex reportLock;

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
      const auto began = std::chrono::steady_clock::now();
      const FrameFileResult r = frameFile(work[i], frame, masks, a.has("--overwrite"));
      if (!r.message.empty()) messages.line(localized(r.message));
      if (report.is_open()) {
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                            std::chrono::steady_clock::now() - began)
                            .count();
        const char* status = r.outcome == FrameOutcome::foDone      ? "done"
                             : r.outcome == FrameOutcome::foSkipped ? "skipped"
                                                                    : "failed";
        const std::string line =
            frameReportLine({work[i].input, work[i].output, status, ms, r.message});
        const std::lock_guard<std::mutex> hold(reportLock);
        report << line << '\n';
        report.flush();
      }
      (r.outcome == FrameOutcome::foDone      ? done
       : r.outcome == FrameOutcome::foSkipped ? skipped
                                              : failed)++;
      if (showProgress) progress();
    }
  };
  const int threads = std::min<int>(jobs, static_cast<int>(std::max<std::size_t>(1, work.size())));
  // Several photos at once keep the cores busy by themselves; one photo at a time shares its own
  // rows between the cores instead. The bytes are the same either way.
  if (threads > 1) setWorkerCount(1);
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
