#include "batch/frame_stream.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
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

// Batches of photo rows in flight, enough for each thread to keep working while the others finish
// one, and about the bytes of photo rows in each: every hand-over wakes a thread, which costs as
// much as blending a few hundred rows, so a batch holds some 32 to 128 rows.
constexpr int kBatches = 4;
constexpr std::size_t kBatchBytes = std::size_t{768} << 10;

int batchRowsFor(int width) {
  const std::size_t rows = kBatchBytes / (3 * static_cast<std::size_t>(width));
  return static_cast<int>(std::clamp<std::size_t>(rows / 16 * 16, 32, 128));
}

// Rings of a megabyte or more (the pixel buffers' threshold for huge pages) are rounded up to
// whole huge pages: faulting in a few megabytes of small pages costs more processor time here
// than blending them.
constexpr std::size_t kHugeRing = std::size_t{1} << 20;
constexpr std::size_t kHugePage = std::size_t{2} << 20;

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
// sit there), so that a panorama is not read twice in full. A head without the segments that
// carry tags or a colour profile (APP1: EXIF and XMP; APP2: ICC; APP13: IPTC) has none, and is not
// handed to the metadata library at all.
PhotoMetadata readJpegHeadMetadata(const std::string& fileName) {
  std::vector<std::uint8_t> head;
  std::FILE* f = std::fopen(fileName.c_str(), "rb");
  if (!f) return {};
  // Marker by marker: SOI, then segments with a 2-byte length, up to the start of scan.
  std::uint8_t marker[4];
  bool tagged = false;
  if (std::fread(marker, 1, 2, f) == 2 && marker[0] == 0xFF && marker[1] == 0xD8) {
    head.assign(marker, marker + 2);
    while (std::fread(marker, 1, 4, f) == 4 && marker[0] == 0xFF && marker[1] != 0xDA) {
      tagged = tagged || marker[1] == 0xE1 || marker[1] == 0xE2 || marker[1] == 0xED;
      const std::size_t length = (std::size_t{marker[2]} << 8) | marker[3];
      if (length < 2) break;
      const std::size_t at = head.size();
      head.insert(head.end(), marker, marker + 4);
      head.resize(at + 2 + length);
      if (std::fread(head.data() + at + 4, 1, length - 2, f) != length - 2) break;
    }
  }
  std::fclose(f);
  if (head.empty() || !tagged) return {};
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

// How far each step of the pipeline has gone, in batches, under one lock: the decoder fills a
// slot of the ring, the blender pulls it towards the mask, the encoder writes it, and the slot of
// batch i is free again once batch i - kBatches is encoded. Any step may stop them all.
class Progress {
 public:
  enum Step { kDecoded, kBlended, kEncoded, kSteps };

  // Waits until step has finished count batches; false once stopped.
  bool waitFor(Step step, int count) {
    std::unique_lock<std::mutex> hold(mutex_);
    changed_.wait(hold, [&] { return stopped_ || done_[step] >= count; });
    return !stopped_;
  }
  void finished(Step step) {
    const std::lock_guard<std::mutex> hold(mutex_);
    ++done_[step];
    changed_.notify_all();
  }
  void stop() {
    const std::lock_guard<std::mutex> hold(mutex_);
    stopped_ = true;
    changed_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  int done_[kSteps] = {};
  bool stopped_ = false;
};

// The pipeline of one photo. Its mask rows are kept from an earlier photo of this size (the
// decoder then blends, there is nothing else to do beside it), or made on a thread of their own
// that also blends, so that decoding, making and blending, and encoding share the cores; the rows
// made go to a batch of their own, or straight to their kept place when they are to be kept.
struct Pipeline {
  // std::bad_alloc when memory runs out.
  Pipeline(int photoWidth, std::shared_ptr<const KeptMaskRows> keptRows, KeptMaskRows* keepingRows)
      : width(photoWidth),
        stride((3 * static_cast<std::size_t>(width) + 63) / 64 * 64),
        batchRows(batchRowsFor(width)),
        kept(std::move(keptRows)),
        keeping(keepingRows) {
    const std::size_t photoBytes = stride * static_cast<std::size_t>(batchRows) * kBatches;
    const std::size_t maskBytes =
        kept || keeping ? 0 : static_cast<std::size_t>(width) * static_cast<std::size_t>(batchRows);
    std::size_t bytes = photoBytes + maskBytes;
    if (bytes >= kHugeRing) bytes = (bytes + kHugePage - 1) / kHugePage * kHugePage;
    memory = PixelBuffer(bytes, PixelBuffer::Fill::kAny);
    maskBatch = memory.data() + photoBytes;
  }
  // The photo rows of a batch: batchRows rows, stride bytes apart.
  std::uint8_t* rows(int batch) const {
    return memory.data() + static_cast<std::size_t>(batch % kBatches) *
                               static_cast<std::size_t>(batchRows) * stride;
  }
  // Where the mask row of photo row y is made, or was kept.
  std::uint8_t* madeMaskRow(int y) const {
    return keeping ? keeping->row(y)
                   : maskBatch +
                         static_cast<std::size_t>(y % batchRows) * static_cast<std::size_t>(width);
  }
  int rowsIn(int batch, int height) const {
    return std::min(batchRows, height - batch * batchRows);
  }
  void fail() {
    decodeFailed = true;
    progress.stop();
  }

  const int width;
  const std::size_t stride;
  const int batchRows;
  const std::shared_ptr<const KeptMaskRows> kept;  // set: no mask is made
  KeptMaskRows* const keeping;                     // set: the rows made are kept there
  PixelBuffer memory;                              // the photo's ring, then a batch of mask rows
  std::uint8_t* maskBatch = nullptr;
  Progress progress;
  std::atomic<bool> decodeFailed{false};  // the photo could not be read, or no memory for its mask
};

// Blends the rows of a decoded batch with the mask rows beside them.
void blendBatch(const GreyMaskBlender& blender, Pipeline& p, int batch, int n,
                const std::uint8_t* (*maskRow)(const Pipeline&, int)) {
  std::uint8_t* rows = p.rows(batch);
  for (int i = 0; i < n; ++i) {
    const int y = batch * p.batchRows + i;
    blender.blendRow(rows + static_cast<std::size_t>(i) * p.stride, maskRow(p, y), p.width);
  }
}

const std::uint8_t* keptRowOf(const Pipeline& p, int y) {
  return p.kept->row(y);
}

const std::uint8_t* madeRowOf(const Pipeline& p, int y) {
  return p.madeMaskRow(y);
}

// The mask's side: every row of the mask made in order, a batch at a time while the decoder
// reads that batch, then the batch blended.
void makeMaskAndBlend(const Bitmap& maskPicture, int height, const FrameFileSettings& settings,
                      Pipeline& p) {
  try {
    MaskRows mask(maskPicture, p.width, height, settings.mask);
    const GreyMaskBlender blender(settings.blend.opacity, settings.blend.colour);
    for (int batch = 0; batch * p.batchRows < height; ++batch) {
      const int n = p.rowsIn(batch, height);
      for (int i = 0; i < n; ++i)
        std::memcpy(p.madeMaskRow(batch * p.batchRows + i), mask.next(),
                    static_cast<std::size_t>(p.width));
      if (!p.progress.waitFor(Progress::kDecoded, batch + 1)) return;
      blendBatch(blender, p, batch, n, madeRowOf);
      p.progress.finished(Progress::kBlended);
    }
  } catch (...) {  // no memory for the mask's rows: the photo fails as one that cannot be read
    p.fail();
  }
}

// The decoding side: rows of the photo into the ring, blended here when the mask was kept.
void decode(JpegRowReader& reader, const FrameFileSettings& settings, Pipeline& p) {
  bool ok = true;
  try {
    const int height = reader.height();
    std::optional<GreyMaskBlender> blender;
    if (p.kept) blender.emplace(settings.blend.opacity, settings.blend.colour);
    for (int batch = 0; batch * p.batchRows < height && ok; ++batch) {
      if (!p.progress.waitFor(Progress::kEncoded, batch - kBatches + 1)) return;
      const int n = p.rowsIn(batch, height);
      ok = reader.readRows(p.rows(batch), p.stride, n).ok();
      if (!ok) break;
      if (blender) blendBatch(*blender, p, batch, n, keptRowOf);
      p.progress.finished(Progress::kDecoded);
      if (blender) p.progress.finished(Progress::kBlended);
    }
    ok = ok && reader.finish().ok();
  } catch (...) {
    ok = false;
  }
  if (!ok) p.fail();
}

// The encoding side: every batch in order; false when the encoder or the file failed.
bool encodeBatches(RowEncoder& encoder, int height, Pipeline& p) {
  for (int batch = 0; batch * p.batchRows < height; ++batch) {
    if (!p.progress.waitFor(Progress::kBlended, batch + 1)) return false;
    if (!encoder.writeRows(p.rows(batch), p.stride, p.rowsIn(batch, height)).ok()) {
      p.progress.stop();
      return false;
    }
    p.progress.finished(Progress::kEncoded);
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
  std::unique_ptr<Pipeline> made;
  try {
    if (claim) keeping = std::make_shared<KeptMaskRows>(width, height);
    made = std::make_unique<Pipeline>(width, kept, keeping.get());
  } catch (const std::bad_alloc&) {
    if (claim) masks.dropClaim(width, height);
    throw;
  }
  Pipeline& p = *made;
  std::thread maskThread, decoder;
  try {
    // The decoder first: it has the most to do, and can run ahead while the mask's tables are
    // made.
    decoder = std::thread([&] { decode(reader, settings, p); });
    if (!kept)
      maskThread = std::thread([&] { makeMaskAndBlend(masks.picture(), height, settings, p); });
  } catch (...) {  // no thread to be had: the one started stops
    p.progress.stop();
    if (decoder.joinable()) decoder.join();
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
