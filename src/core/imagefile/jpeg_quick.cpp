// The head of a JPEG file read on its own: the segments up to the first scan hold the size, the
// coding process and the EXIF block; the scans that follow are most of the file.
#include "imagefile/jpeg_quick.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>

#include "imagefile/decoders.h"
#include "imagefile/metadata.h"

namespace vorlino {
namespace {

constexpr std::size_t kHeadChunk = 64 * 1024;
constexpr std::size_t kMaxHead = 16 * 1024 * 1024;
constexpr int kQuickLongSide = 512;

// The length of the head: the bytes up to the end of the first SOS segment; 0 when bytes do not
// reach that far yet. A marker may be preceded by fill bytes (0xFF).
std::size_t headLength(const std::vector<std::uint8_t>& bytes) {
  std::size_t pos = 2;  // after SOI
  while (pos + 1 < bytes.size()) {
    if (bytes[pos] != 0xFF) return 0;  // not a marker: the header is broken; libjpeg will say so
    const std::uint8_t marker = bytes[pos + 1];
    if (marker == 0xFF) {
      ++pos;
      continue;
    }
    if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8)) {
      pos += 2;  // markers without a length
      continue;
    }
    if (pos + 4 > bytes.size()) return 0;
    const std::size_t length = static_cast<std::size_t>(bytes[pos + 2]) << 8 | bytes[pos + 3];
    if (marker == 0xDA) return pos + 2 + length <= bytes.size() ? pos + 2 + length : 0;
    pos += 2 + length;
  }
  return 0;
}

}  // namespace

int JpegOutline::uprightWidth() const {
  return orientation >= 5 ? header.height : header.width;
}

int JpegOutline::uprightHeight() const {
  return orientation >= 5 ? header.width : header.height;
}

CodecResult readJpegOutline(const std::string& fileName, JpegOutline& outline) noexcept {
  return runCodec([&]() -> CodecResult {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(fileName.c_str(), "rb"),
                                                         &std::fclose);
    if (!file) return CodecResult::fail(CodecError::ceIo, "cannot read the file");
    std::vector<std::uint8_t> head;
    std::size_t length = 0;
    while (length == 0 && head.size() < kMaxHead) {
      const std::size_t had = head.size();
      head.resize(had + std::max(kHeadChunk, had));
      const std::size_t got = std::fread(head.data() + had, 1, head.size() - had, file.get());
      head.resize(had + got);
      length = headLength(head);
      if (got == 0) break;
    }
    // Without its first scan in reach, the header is read from what there is: libjpeg reports
    // the file as cut short or broken.
    if (length != 0) head.resize(length);
    JpegOutline found;
    if (auto r = readJpegHeader(head.data(), head.size(), found.header); !r.ok()) return r;
    const PhotoMetadata metadata = readPhotoMetadata(head.data(), head.size());
    found.orientation = metadata.orientation();
    found.iccProfile = metadata.iccProfile();
    found.preview = largestJpegPreview(head.data(), head.size());
    outline = std::move(found);
    return CodecResult::success();
  });
}

bool decodeQuickPreview(const JpegOutline& outline, Bitmap& out) noexcept {
  if (outline.preview.empty() || outline.header.width <= 0 || outline.header.height <= 0)
    return false;
  Bitmap preview;
  ByteReader in(outline.preview.data(), outline.preview.size());
  if (!readJpeg(in, preview, {}).ok()) return false;
  const double pictureShape = static_cast<double>(outline.header.width) / outline.header.height;
  const double previewShape = static_cast<double>(preview.width()) / preview.height();
  if (std::abs(previewShape / pictureShape - 1.0) > 0.02) return false;
  out.swap(preview);
  return true;
}

int quickReduction(int width, int height) {
  const int longSide = std::max(width, height);
  for (int denom : {8, 4, 2})
    if (longSide / denom >= kQuickLongSide) return denom;
  return 1;
}

}  // namespace vorlino
