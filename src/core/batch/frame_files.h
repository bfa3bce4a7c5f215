// Framing picture files without the user: the work behind the command-line tool's "frame" and the
// window's "Appliquer à un dossier...". Each photo is read, framed and written exactly as the
// window's "Appliquer le masque" and "Enregistrer sous..." would, so the files are the same
// whichever door the user came in by. Safe to run on several threads at once: nothing here shows
// a message; failures come back as the program's French texts.
#pragma once

#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "batch/mask_rows.h"
#include "bitmap/bitmap.h"
#include "compose/mask_build.h"
#include "imagefile/codec.h"
#include "imagefile/jpeg_writer.h"

namespace vorlino {

// The side-panel settings and the JPEG settings a folder is framed with.
struct FrameFileSettings {
  MaskOptions mask;
  BlendOptions blend;
  JpegOptions jpeg;
  // Whether each photo's metadata goes into its output; when not, only its colour profile does.
  bool keepMetadata = true;
  // The limits of a photo decoded whole; a photo framed as a stream of rows has none but its
  // format's sides.
  DecodeLimits limits;
  // Whether photos that can be framed as a stream of rows are (the files are the same).
  bool stream = true;
};

// One photo to frame and the file to write.
struct FrameFileJob {
  std::string input;
  std::string output;
};

// The readable pictures an input names: the file itself, or the files of a folder that the
// registry can read, in name order (with recursive, those of its sub-folders too), each paired
// with its path relative to that folder.
std::vector<std::pair<std::filesystem::path, std::filesystem::path>> listPictures(
    const std::filesystem::path& input, bool recursive);

// The output of one picture in dir: its relative name with suffix and the extension of format
// (with or without its dot); without a format, ".gif" for a transparent result, else the picture's
// own extension when the program writes it, else ".jpg".
std::string frameOutputName(const std::filesystem::path& relative, const std::filesystem::path& dir,
                            const std::optional<std::string>& format, const std::string& suffix,
                            bool transparent);

// Mask bitmaps by photo size, so that a folder of same-sized photos builds its mask once.
class MaskBitmapCache {
 public:
  MaskBitmapCache(const Bitmap& maskPicture, const MaskOptions& options)
      : picture_(maskPicture), options_(options) {}
  // The mask bitmap for that size, or nullptr when it cannot be built.
  std::shared_ptr<const Bitmap> get(int width, int height);
  const Bitmap& picture() const { return picture_; }
  const MaskOptions& options() const { return options_; }

  // The mask rows of a streamed photo of that size, kept from an earlier photo, or nullptr. When
  // none is kept, claim tells whether this caller should keep the rows it makes: one caller at a
  // time per size, only when keeping is on and the rows are small enough. A claimant ends with
  // keepRows (the rows of every row of the mask) or dropClaim.
  std::shared_ptr<const KeptMaskRows> keptRows(int width, int height, bool& claim);
  void keepRows(std::shared_ptr<const KeptMaskRows> rows);
  void dropClaim(int width, int height);
  // Whether streamed photos keep their mask rows for the next ones (on by default): off for a
  // single photo, which would only pay the memory.
  void setKeepRows(bool keep) { keepRows_ = keep; }

 private:
  using Size = std::pair<int, int>;
  static constexpr std::size_t kEntries = 3;
  // Kept rows: two sizes (a folder's landscape and portrait photos), at most 64 MiB each.
  static constexpr std::size_t kKeptEntries = 2;
  static constexpr std::size_t kKeptBytes = std::size_t{64} << 20;
  const Bitmap& picture_;
  const MaskOptions options_;
  std::mutex mutex_;
  std::vector<std::pair<Size, std::shared_ptr<const Bitmap>>> entries_;
  bool keepRows_ = true;
  std::vector<std::shared_ptr<const KeptMaskRows>> kept_;
  std::vector<Size> claimed_;
};

enum class FrameOutcome { foDone, foSkipped, foFailed };

struct FrameFileResult {
  FrameOutcome outcome = FrameOutcome::foFailed;
  std::string message;  // the French text of a failure, or why the photo was skipped
};

// Reads job.input as the program opens a photo, frames it with the cached mask bitmap, and saves
// it as "Enregistrer sous..." does (a transparent result reduced to a palette). An existing output
// is skipped unless overwrite is set. Folders of the output are created.
FrameFileResult frameFile(const FrameFileJob& job, const FrameFileSettings& settings,
                          MaskBitmapCache& masks, bool overwrite) noexcept;

// The mask picture as the program keeps it, read from a file: 24-bit grey, then the negative
// and the quarter turns replayed. Nothing when the file cannot be read.
std::optional<Bitmap> prepareMaskPicture(const std::string& fileName, bool negative, int angle);

}  // namespace vorlino
