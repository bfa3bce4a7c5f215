#include "batch/frame_stream.h"

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
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

// Rows per batch handed from the decoding thread to the encoding one, and batches in flight:
// enough for each side to keep working while the other finishes a batch.
constexpr int kBatchRows = 32;
constexpr int kBatches = 4;

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

// The batches between the two threads: each is free, filled (rows decoded and blended) or being
// encoded. Either side may stop the other.
struct Batches {
  std::mutex mutex;
  std::condition_variable changed;
  std::vector<Bitmap> rows;  // kBatches bitmaps of width x kBatchRows
  std::vector<int> counts;   // rows filled in each batch
  int filled = 0;            // batches handed over so far
  int encoded = 0;           // batches given back so far
  bool stopped = false;      // a failure on either side
  bool decodeFailed = false;
};

// The decoding side: rows of the photo, the mask's rows beside them, blended.
void decodeAndBlend(JpegRowReader& reader, const Bitmap& maskPicture,
                    const FrameFileSettings& settings, Batches& b) {
  bool ok = true;
  try {
    const int width = reader.width(), height = reader.height();
    MaskRows mask(maskPicture, width, height, settings.mask);
    const GreyMaskBlender blender(settings.blend.opacity, settings.blend.colour);
    for (int y = 0, batch = 0; y < height && ok; y += kBatchRows, ++batch) {
      {
        std::unique_lock<std::mutex> hold(b.mutex);
        b.changed.wait(hold, [&] { return b.stopped || batch - b.encoded < kBatches; });
        if (b.stopped) return;
      }
      Bitmap& rows = b.rows[static_cast<std::size_t>(batch % kBatches)];
      const int n = std::min(kBatchRows, height - y);
      ok = reader.readRows(rows.bits(), rows.stride(), n).ok();
      if (!ok) break;
      for (int i = 0; i < n; ++i) blender.blendRow(rows.row(i), mask.next(), width);
      const std::lock_guard<std::mutex> hold(b.mutex);
      b.counts[static_cast<std::size_t>(batch % kBatches)] = n;
      ++b.filled;
      b.changed.notify_all();
    }
    ok = ok && reader.finish().ok();
  } catch (...) {
    ok = false;
  }
  if (!ok) {
    const std::lock_guard<std::mutex> hold(b.mutex);
    b.stopped = b.decodeFailed = true;
    b.changed.notify_all();
  }
}

// The encoding side: every batch in order; false when the encoder or the file failed.
bool encodeBatches(RowEncoder& encoder, int height, Batches& b) {
  const int batches = (height + kBatchRows - 1) / kBatchRows;
  for (int batch = 0; batch < batches; ++batch) {
    {
      std::unique_lock<std::mutex> hold(b.mutex);
      b.changed.wait(hold, [&] { return b.stopped || b.filled > batch; });
      if (b.stopped) return false;
    }
    const auto slot = static_cast<std::size_t>(batch % kBatches);
    const bool ok =
        encoder.writeRows(b.rows[slot].bits(), b.rows[slot].stride(), b.counts[slot]).ok();
    const std::lock_guard<std::mutex> hold(b.mutex);
    if (!ok) b.stopped = true;
    ++b.encoded;
    b.changed.notify_all();
    if (!ok) return false;
  }
  return true;
}

}  // namespace

std::optional<FrameFileResult> frameFileStreamed(const FrameFileJob& job,
                                                 const FrameFileSettings& settings,
                                                 const Bitmap& maskPicture) noexcept {
  try {
    if (!canStream(job, settings, maskPicture)) return std::nullopt;
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

    Batches b;
    for (int i = 0; i < kBatches; ++i) {
      b.rows.emplace_back();
      b.rows.back().reset(info.width, kBatchRows, 24);
    }
    b.counts.assign(kBatches, 0);
    std::thread decoder([&] { decodeAndBlend(reader, maskPicture, settings, b); });
    const bool encoded = encodeBatches(*encoder, info.height, b);
    decoder.join();
    if (b.decodeFailed)
      return FrameFileResult{FrameOutcome::foFailed, loadFailureMessage(job.input)};
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
