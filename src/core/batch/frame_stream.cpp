#include "batch/frame_stream.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "batch/mask_rows.h"
#include "compose/blend_mask.h"
#include "imagefile/file_output.h"
#include "imagefile/format_registry.h"
#include "imagefile/jpeg_row_reader.h"
#include "imagefile/load_image.h"
#include "imagefile/metadata.h"
#include "imagefile/row_encoder.h"
#include "imagefile/save_image.h"

namespace vorlino {
namespace {

namespace fs = std::filesystem;

// Batches in flight between two threads, enough for each side to keep working while the other
// finishes one, and about the bytes of photo rows in each: every hand-over wakes a thread, which
// costs as much as blending a few hundred rows, so a batch holds some 32 to 128 rows.
constexpr int kBatches = 4;
constexpr std::size_t kBatchBytes = std::size_t{768} << 10;

int batchRowsFor(int width) {
  const std::size_t rows = kBatchBytes / (3 * static_cast<std::size_t>(width));
  return static_cast<int>(std::clamp<std::size_t>(rows / 16 * 16, 32, 128));
}
// Rings of a megabyte or more are rounded up to whole huge pages, 4 MiB at least (the pixel
// buffers' threshold for them): faulting in a few megabytes of small pages costs more processor
// time here than blending them.
constexpr std::size_t kHugeRing = std::size_t{1} << 20;
constexpr std::size_t kHugePage = std::size_t{2} << 20;
constexpr std::size_t kHugeRingLeast = std::size_t{4} << 20;

bool canStream(const FrameFileJob& job, const FrameFileSettings& settings,
               const Bitmap& maskPicture) {
  if (!settings.stream || settings.mask.format != rfCouleursRVB) return false;
  // The mask's rows are made by the plain fit's passes: a fit that keeps the mask's shape goes
  // the whole way.
  if (settings.mask.fit && settings.mask.keepShape) return false;
  const auto format = saveFormatOf(job.output);
  if (!format || *format == SaveFormat::sfGif || *format == SaveFormat::sfRle) return false;
  const std::string ext = fileExtension(job.input);
  const auto kind = ext.empty() ? std::nullopt : fileFormats().decoderFor(ext);
  if (kind != DecoderKind::dkJpeg) return false;
  return !maskPicture.empty() && isGreyPicture(maskPicture);
}

// The metadata of a JPEG file, read from its segments before the first scan only (a photo's tags
// sit there), so that a panorama is not read twice in full.
PhotoMetadata readJpegHeadMetadata(const std::string& fileName) {
  std::vector<std::uint8_t> head;
  std::FILE* f = std::fopen(fileName.c_str(), "rb");
  if (!f) return {};
  // Marker by marker: SOI, then segments with a 2-byte length, up to the start of scan.
  std::uint8_t marker[4];
  if (std::fread(marker, 1, 2, f) == 2 && marker[0] == 0xFF && marker[1] == 0xD8) {
    head.assign(marker, marker + 2);
    while (std::fread(marker, 1, 4, f) == 4 && marker[0] == 0xFF && marker[1] != 0xDA) {
      const std::size_t length = (std::size_t{marker[2]} << 8) | marker[3];
      if (length < 2) break;
      const std::size_t at = head.size();
      head.insert(head.end(), marker, marker + 4);
      head.resize(at + 2 + length);
      if (std::fread(head.data() + at + 4, 1, length - 2, f) != length - 2) break;
    }
  }
  std::fclose(f);
  if (head.empty()) return {};
  head.push_back(0xFF);
  head.push_back(0xD9);
  return readPhotoMetadata(head.data(), head.size());
}

// Writes the photo's metadata into the finished output, as the whole-picture save does into the
// bytes it encodes: the same bytes in the end.
bool embedIntoWrittenFile(const std::string& fileName, const PhotoMetadata& metadata, int width,
                          int height) {
  std::vector<std::uint8_t> bytes;
  std::FILE* f = std::fopen(fileName.c_str(), "rb");
  if (!f) return false;
  std::uint8_t chunk[1 << 16];
  for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, f)) > 0;)
    bytes.insert(bytes.end(), chunk, chunk + n);
  std::fclose(f);
  if (!embedPhotoMetadata(metadata, width, height, bytes).ok()) return true;  // kept as written
  return writeFileReplacing(fileName, bytes).ok();
}

// Batches of rows passed in order from one thread to the next: batch i sits in slot i % slots,
// filled once the consumer is done with batch i - slots. Either side may stop both. Both sides
// know the rows of each batch: the same number, fewer in the last.
class Handoff {
 public:
  explicit Handoff(int slots) : slots_(slots) {}

  // The producer: waits until batch may be filled; false once stopped.
  bool waitToFill(int batch) {
    std::unique_lock<std::mutex> hold(mutex_);
    changed_.wait(hold, [&] { return stopped_ || batch - taken_ < slots_; });
    return !stopped_;
  }
  void filled() {
    const std::lock_guard<std::mutex> hold(mutex_);
    ++filled_;
    changed_.notify_all();
  }
  // The consumer: waits for batch; false once stopped.
  bool waitFilled(int batch) {
    std::unique_lock<std::mutex> hold(mutex_);
    changed_.wait(hold, [&] { return stopped_ || filled_ > batch; });
    return !stopped_;
  }
  void taken() {
    const std::lock_guard<std::mutex> hold(mutex_);
    ++taken_;
    changed_.notify_all();
  }
  void stop() {
    const std::lock_guard<std::mutex> hold(mutex_);
    stopped_ = true;
    changed_.notify_all();
  }

 private:
  const int slots_;
  std::mutex mutex_;
  std::condition_variable changed_;
  int filled_ = 0;  // batches handed over so far
  int taken_ = 0;   // batches given back so far
  bool stopped_ = false;
};

// Where the mask's rows come from: rows kept from an earlier photo of this size, or rows made on
// their own thread, either into a ring of batches or, when they are to be kept, straight into
// their kept place (the mask thread may then run ahead as far as it likes).
struct MaskSource {
  MaskSource(int photoWidth, int rowsPerBatch, std::shared_ptr<const KeptMaskRows> keptRows,
             KeptMaskRows* keepingRows)
      : kept(std::move(keptRows)),
        keeping(keepingRows),
        made(keeping ? 1 << 30 : kBatches),
        width(static_cast<std::size_t>(photoWidth)),
        batchRows(rowsPerBatch) {}
  // The bytes of the ring, when the rows are made and not kept.
  std::size_t ringBytes() const {
    return kept || keeping ? 0 : width * static_cast<std::size_t>(batchRows) * kBatches;
  }
  // The mask row for row y of the photo, in batch y / batchRows.
  const std::uint8_t* row(int y) { return kept ? kept->row(y) : destination(y); }
  // Where the mask thread puts that row when it makes it.
  std::uint8_t* destination(int y) {
    if (keeping) return keeping->row(y);
    const auto slot = static_cast<std::size_t>((y / batchRows) % kBatches);
    return ring +
           (slot * static_cast<std::size_t>(batchRows) + static_cast<std::size_t>(y % batchRows)) *
               width;
  }

  std::shared_ptr<const KeptMaskRows> kept;  // set: nothing is made
  KeptMaskRows* keeping;                     // set: the rows made are kept there
  Handoff made;
  std::size_t width;
  int batchRows;
  std::uint8_t* ring = nullptr;  // ringBytes() bytes of the pipeline's memory
};

// The pipeline of one photo: the decoder fills batches of photo rows and blends them with the
// mask's rows, the encoder writes them, the mask's rows are made beside (unless they were kept).
struct Pipeline {
  // std::bad_alloc when memory runs out.
  Pipeline(int width, std::shared_ptr<const KeptMaskRows> kept, KeptMaskRows* keeping)
      : stride((3 * static_cast<std::size_t>(width) + 63) / 64 * 64),
        batchRows(batchRowsFor(width)),
        mask(width, batchRows, std::move(kept), keeping) {
    const std::size_t photoBytes = stride * static_cast<std::size_t>(batchRows) * kBatches;
    std::size_t bytes = photoBytes + mask.ringBytes();
    if (bytes >= kHugeRing)
      bytes = std::max(kHugeRingLeast, (bytes + kHugePage - 1) / kHugePage * kHugePage);
    memory = PixelBuffer(bytes, PixelBuffer::Fill::kAny);
    mask.ring = memory.data() + photoBytes;
  }
  void stopAll() {
    photo.stop();
    mask.made.stop();
  }
  // The photo rows of a batch: batchRows rows, stride bytes apart.
  std::uint8_t* rows(int batch) const {
    return memory.data() + static_cast<std::size_t>(batch % kBatches) *
                               static_cast<std::size_t>(batchRows) * stride;
  }

  const std::size_t stride;
  const int batchRows;
  PixelBuffer memory;  // the photo's ring, then the mask's
  Handoff photo{kBatches};
  MaskSource mask;
  std::atomic<bool> decodeFailed{false};
};

// The mask's side: every row of the mask, made in order.
void makeMask(const Bitmap& maskPicture, int width, int height, const MaskOptions& options,
              Pipeline& p) {
  try {
    MaskRows mask(maskPicture, width, height, options);
    for (int y = 0, batch = 0; y < height; y += p.batchRows, ++batch) {
      if (!p.mask.made.waitToFill(batch)) return;
      const int n = std::min(p.batchRows, height - y);
      for (int i = 0; i < n; ++i)
        std::memcpy(p.mask.destination(y + i), mask.next(), static_cast<std::size_t>(width));
      p.mask.made.filled();
    }
  } catch (...) {  // no memory for the mask's rows: the photo fails as one that cannot be read
    p.decodeFailed = true;
    p.stopAll();
  }
}

// The decoding side: rows of the photo, blended with the mask's rows beside them.
void decodeAndBlend(JpegRowReader& reader, const FrameFileSettings& settings, Pipeline& p) {
  bool ok = true;
  try {
    const int width = reader.width(), height = reader.height();
    const GreyMaskBlender blender(settings.blend.opacity, settings.blend.colour);
    for (int y = 0, batch = 0; y < height && ok; y += p.batchRows, ++batch) {
      if (!p.photo.waitToFill(batch)) return;
      std::uint8_t* rows = p.rows(batch);
      const int n = std::min(p.batchRows, height - y);
      ok = reader.readRows(rows, p.stride, n).ok();
      if (!ok) break;
      if (!p.mask.kept && !p.mask.made.waitFilled(batch)) return;
      for (int i = 0; i < n; ++i)
        blender.blendRow(rows + static_cast<std::size_t>(i) * p.stride, p.mask.row(y + i), width);
      if (!p.mask.kept) p.mask.made.taken();
      p.photo.filled();
    }
    ok = ok && reader.finish().ok();
  } catch (...) {
    ok = false;
  }
  if (!ok) {
    p.decodeFailed = true;
    p.stopAll();
  }
}

// The encoding side: every batch in order; false when the encoder or the file failed.
bool encodeBatches(RowEncoder& encoder, int height, Pipeline& p) {
  const int batches = (height + p.batchRows - 1) / p.batchRows;
  for (int batch = 0; batch < batches; ++batch) {
    if (!p.photo.waitFilled(batch)) return false;
    const int n = std::min(p.batchRows, height - batch * p.batchRows);
    if (!encoder.writeRows(p.rows(batch), p.stride, n).ok()) {
      p.stopAll();
      return false;
    }
    p.photo.taken();
  }
  return true;
}

// Frames the photo open in reader into encoder, the mask's rows kept from an earlier photo,
// made and kept for the next ones, or only made; true when every row was encoded.
bool runPipeline(JpegRowReader& reader, RowEncoder& encoder, const FrameFileSettings& settings,
                 MaskBitmapCache& masks, bool& decodeFailed) {
  const int width = reader.width(), height = reader.height();
  bool claim = false;
  std::shared_ptr<const KeptMaskRows> kept = masks.keptRows(width, height, claim);
  std::shared_ptr<KeptMaskRows> keeping;
  if (claim) {
    try {
      keeping = std::make_shared<KeptMaskRows>(width, height);
    } catch (const std::bad_alloc&) {
      masks.dropClaim(width, height);
      claim = false;
    }
  }
  std::unique_ptr<Pipeline> made;
  try {
    made = std::make_unique<Pipeline>(width, kept, keeping.get());
  } catch (const std::bad_alloc&) {
    if (claim) masks.dropClaim(width, height);
    throw;
  }
  Pipeline& p = *made;
  std::thread maskThread, decoder;
  try {
    if (!kept)
      maskThread = std::thread([&] { makeMask(masks.picture(), width, height, settings.mask, p); });
    decoder = std::thread([&] { decodeAndBlend(reader, settings, p); });
  } catch (...) {  // no thread to be had: the one started stops
    p.stopAll();
    if (maskThread.joinable()) maskThread.join();
    if (claim) masks.dropClaim(width, height);
    throw;
  }
  const bool encoded = encodeBatches(encoder, height, p);
  decoder.join();
  if (maskThread.joinable()) maskThread.join();
  decodeFailed = p.decodeFailed;
  if (claim) {
    if (encoded && !decodeFailed)
      masks.keepRows(std::move(keeping));
    else
      masks.dropClaim(width, height);
  }
  return encoded && !decodeFailed;
}

}  // namespace

std::optional<FrameFileResult> frameFileStreamed(const FrameFileJob& job,
                                                 const FrameFileSettings& settings,
                                                 MaskBitmapCache& masks) noexcept {
  try {
    if (!canStream(job, settings, masks.picture())) return std::nullopt;
    JpegRowReader reader;
    // A file this reader declines, or cannot read at all, goes the whole way, which gives the
    // program's own outcome for it.
    if (!reader.open(job.input).ok()) return std::nullopt;
    PhotoMetadata metadata = readJpegHeadMetadata(job.input);
    // A photo stored turned is turned upright whole.
    if (metadata.orientation() >= 2 && metadata.orientation() <= 8) return std::nullopt;
    if (!settings.keepMetadata) metadata = metadata.profileOnly();
    std::error_code ec;
    if (const auto parent = fs::path(job.output).parent_path(); !parent.empty())
      fs::create_directories(parent, ec);
    const FrameFileResult saveFailed{FrameOutcome::foFailed, saveFailureMessage(job.output, false)};
    ReplacingFile file;
    if (!file.open(job.output).ok()) return saveFailed;
    const RowImageInfo info{reader.width(), reader.height()};
    const auto encoder = makeRowEncoder(*saveFormatOf(job.output), settings.jpeg, info, file);
    if (!encoder) return std::nullopt;

    bool decodeFailed = false;
    const bool encoded = runPipeline(reader, *encoder, settings, masks, decodeFailed);
    if (decodeFailed) return FrameFileResult{FrameOutcome::foFailed, loadFailureMessage(job.input)};
    if (!encoded || !encoder->finish().ok() || !file.commit().ok()) return saveFailed;
    if (!metadata.empty() && formatCarriesMetadata(*saveFormatOf(job.output)) &&
        !embedIntoWrittenFile(job.output, metadata, info.width, info.height))
      return saveFailed;
    return FrameFileResult{FrameOutcome::foDone, {}};
  } catch (...) {
    return FrameFileResult{FrameOutcome::foFailed, saveFailureMessage(job.output, false)};
  }
}

}  // namespace vorlino
