#include "batch/frame_files.h"

#include <algorithm>

#include "batch/frame_stream.h"
#include "compose/bitmap_filters.h"
#include "compose/quarter_turn.h"
#include "imagefile/format_registry.h"
#include "imagefile/load_image.h"
#include "imagefile/save_copy.h"
#include "imagefile/save_image.h"

namespace vorlino {

namespace fs = std::filesystem;

namespace {

bool isReadablePicture(const fs::path& p) {
  std::error_code ec;
  return fs::is_regular_file(p, ec) && fileFormats().decoderFor(fileExtension(p.string()));
}

}  // namespace

std::vector<std::pair<fs::path, fs::path>> listPictures(const fs::path& input, bool recursive) {
  std::vector<std::pair<fs::path, fs::path>> found;
  std::error_code ec;
  if (!fs::is_directory(input, ec)) {
    found.emplace_back(input, input.filename());
    return found;
  }
  auto add = [&](const fs::directory_entry& e) {
    if (isReadablePicture(e.path()))
      found.emplace_back(e.path(), e.path().lexically_relative(input));
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

std::string frameOutputName(const fs::path& relative, const fs::path& dir,
                            const std::optional<std::string>& format, const std::string& suffix,
                            bool transparent) {
  std::string extension;
  if (format && !format->empty()) {
    extension = (*format)[0] == '.' ? *format : "." + *format;
  } else if (transparent) {
    extension = ".gif";
  } else {
    extension = relative.extension().string();
    if (!saveFormatOf("x" + extension)) extension = ".jpg";
  }
  return (dir / relative.parent_path() / (relative.stem().string() + suffix + extension)).string();
}

std::shared_ptr<const Bitmap> MaskBitmapCache::get(int width, int height) {
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

std::shared_ptr<const KeptMaskRows> MaskBitmapCache::keptRows(int width, int height, bool& claim) {
  const std::lock_guard<std::mutex> hold(mutex_);
  claim = false;
  for (const auto& rows : kept_)
    if (rows->width() == width && rows->height() == height) return rows;
  const Size size{width, height};
  claim = keepRows_ &&
          static_cast<std::size_t>(width) <= kKeptBytes / static_cast<std::size_t>(height) &&
          std::find(claimed_.begin(), claimed_.end(), size) == claimed_.end();
  if (claim) claimed_.push_back(size);
  return nullptr;
}

void MaskBitmapCache::keepRows(std::shared_ptr<const KeptMaskRows> rows) {
  const int width = rows->width(), height = rows->height();
  const std::lock_guard<std::mutex> hold(mutex_);
  if (kept_.size() >= kKeptEntries) kept_.erase(kept_.begin());
  kept_.push_back(std::move(rows));
  std::erase(claimed_, Size{width, height});
}

void MaskBitmapCache::dropClaim(int width, int height) {
  const std::lock_guard<std::mutex> hold(mutex_);
  std::erase(claimed_, Size{width, height});
}

FrameFileResult frameFile(const FrameFileJob& job, const FrameFileSettings& settings,
                          MaskBitmapCache& masks, bool overwrite) noexcept {
  try {
    std::error_code ec;
    if (!overwrite && fs::exists(job.output, ec))
      return {FrameOutcome::foSkipped, "\"" + job.output + "\" existe déjà"};
    if (auto streamed = frameFileStreamed(job, settings, masks)) return *streamed;
    Bitmap photo;
    PhotoMetadata metadata;
    if (!decodeImageFile(job.input, photo, metadata, settings.limits).ok())
      return {FrameOutcome::foFailed, loadFailureMessage(job.input)};
    photo.convertTo24();
    photo.Transparent = false;
    const auto mask = masks.get(photo.width(), photo.height());
    if (!mask) return {FrameOutcome::foFailed, loadFailureMessage(job.input)};
    ApplyMaskBitmap(photo, *mask, settings.mask.format, settings.blend);
    if (const auto parent = fs::path(job.output).parent_path(); !parent.empty())
      fs::create_directories(parent, ec);
    MakeSaveReady(photo);
    if (!settings.keepMetadata) metadata = metadata.profileOnly();
    const int written = SaveImageFileWith(job.output, photo, settings.jpeg, false, &metadata);
    if (written > 0) return {FrameOutcome::foDone, {}};
    return {FrameOutcome::foFailed, saveFailureMessage(job.output, written == -2)};
  } catch (const std::exception&) {
    return {FrameOutcome::foFailed, saveFailureMessage(job.output, false)};
  }
}

std::optional<Bitmap> prepareMaskPicture(const std::string& fileName, bool negative, int angle) {
  Bitmap picture;
  if (!decodeImageFile(fileName, picture).ok()) return std::nullopt;
  picture.convertTo24();
  GreyBitmap(picture);
  if (negative) InvertBitmap(picture);
  if (angle == 90) RotateQuarter(picture, true);
  if (angle == 180) RotateHalf(picture);
  if (angle == 270) RotateQuarter(picture, false);
  return picture;
}

}  // namespace vorlino
