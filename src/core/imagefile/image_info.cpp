#include "imagefile/image_info.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <utility>

#include "imagefile/decoder_kind.h"
#include "imagefile/format_registry.h"
#include "imagefile/load_image.h"
#include "imagefile/metadata.h"
#include "imagefile/orientation.h"

namespace vorlino {
namespace {

// The file mapped read-only: only the pages a header reader touches are read from disk.
class MappedFile {
 public:
  explicit MappedFile(const std::string& name) {
    const int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return;
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0) {
      void* at =
          ::mmap(nullptr, static_cast<std::size_t>(st.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
      if (at != MAP_FAILED) {
        data_ = static_cast<const std::uint8_t*>(at);
        size_ = static_cast<std::size_t>(st.st_size);
      }
    }
    ::close(fd);
  }
  ~MappedFile() {
    if (data_) ::munmap(const_cast<std::uint8_t*>(data_), size_);
  }
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;
  const std::uint8_t* data() const { return data_; }
  std::size_t size() const { return size_; }

 private:
  const std::uint8_t* data_ = nullptr;
  std::size_t size_ = 0;
};

std::uint32_t be32(const std::uint8_t* p) {
  return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | p[3];
}
unsigned be16(const std::uint8_t* p) {
  return unsigned(p[0]) << 8 | p[1];
}
unsigned le16(const std::uint8_t* p) {
  return unsigned(p[1]) << 8 | p[0];
}

// A size that the decoder would take; nothing when it would refuse it.
std::optional<ImageInfo> sized(std::uint64_t width, std::uint64_t height, int bits) {
  if (!checkDimensions(width, height, DecodeLimits{}).ok()) return std::nullopt;
  return ImageInfo{static_cast<int>(width), static_cast<int>(height), bits};
}

// PNG: IHDR, then the chunks before the first IDAT for PLTE and tRNS. Palettes of 1, 4 and 8 bits
// stay as they are, 2 bits become 8; grey and colour give 24 bits, 32 with alpha or a tRNS key.
std::optional<ImageInfo> pngInfo(const std::uint8_t* d, std::size_t n) {
  static constexpr std::uint8_t kSignature[8] = {137, 80, 78, 71, 13, 10, 26, 10};
  if (n < 33 || std::memcmp(d, kSignature, 8) != 0 || be32(d + 8) != 13 ||
      std::memcmp(d + 12, "IHDR", 4) != 0)
    return std::nullopt;
  const std::uint32_t width = be32(d + 16), height = be32(d + 20);
  const int depth = d[24], type = d[25];
  const bool validDepth =
      (type == 0 && (depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16)) ||
      (type == 3 && (depth == 1 || depth == 2 || depth == 4 || depth == 8)) ||
      ((type == 2 || type == 4 || type == 6) && (depth == 8 || depth == 16));
  if (!validDepth || d[26] != 0 || d[27] != 0 || d[28] > 1) return std::nullopt;
  bool palette = false, key = false;
  for (std::size_t at = 33;;) {
    if (n - at < 8) return std::nullopt;
    const std::uint64_t length = be32(d + at);
    const std::uint8_t* name = d + at + 4;
    if (std::memcmp(name, "IDAT", 4) == 0) break;
    if (std::memcmp(name, "IEND", 4) == 0) return std::nullopt;
    palette = palette || std::memcmp(name, "PLTE", 4) == 0;
    key = key || std::memcmp(name, "tRNS", 4) == 0;
    if (length > n - at - 8 || n - at - 8 - length < 4) return std::nullopt;
    at += 12 + length;
  }
  if (type == 3) {
    if (!palette) return std::nullopt;
    return sized(width, height, depth == 2 ? 8 : depth);
  }
  const bool alpha = type == 4 || type == 6 || key;
  return sized(width, height, alpha ? 32 : 24);
}

// JPEG: the markers up to the first frame header. 8-bit grey, colour and CMYK frames give 24 bits;
// 12-bit, lossless, or a height left to a later marker are left to the decoder.
std::optional<ImageInfo> jpegInfo(const std::uint8_t* d, std::size_t n) {
  if (n < 4 || d[0] != 0xFF || d[1] != 0xD8) return std::nullopt;
  std::size_t at = 2;
  for (;;) {
    while (at < n && d[at] != 0xFF) ++at;  // stray bytes between segments, as libjpeg skips them
    while (at < n && d[at] == 0xFF) ++at;  // fill bytes
    if (at >= n) return std::nullopt;
    const int marker = d[at++];
    if (marker == 0xD8 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) continue;
    if (marker == 0xD9 || marker == 0xDA || n - at < 2) return std::nullopt;
    const std::size_t length = be16(d + at);
    if (length < 2 || length > n - at) return std::nullopt;
    const bool frame =
        marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
    if (frame) {
      const bool lossless = marker == 0xC3 || marker == 0xC7 || marker == 0xCB || marker == 0xCF;
      if (lossless || length < 8 || d[at + 2] != 8) return std::nullopt;
      const unsigned height = be16(d + at + 3), width = be16(d + at + 5);
      const int components = d[at + 7];
      if (components != 1 && components != 3 && components != 4) return std::nullopt;
      if (length < 8 + 3u * components) return std::nullopt;
      return sized(width, height, 24);
    }
    at += length;
  }
}

// GIF: the logical screen, enlarged to hold the first frame, as an 8-bit palette picture.
std::optional<ImageInfo> gifInfo(const std::uint8_t* d, std::size_t n) {
  if (n < 13 || std::memcmp(d, "GIF", 3) != 0) return std::nullopt;
  const unsigned screenWidth = le16(d + 6), screenHeight = le16(d + 8);
  std::size_t at = 13;
  if (d[10] & 0x80) at += 3u << ((d[10] & 7) + 1);
  for (;;) {
    if (at >= n) return std::nullopt;
    if (d[at] == 0x21) {  // extension: label, then sub-blocks up to an empty one
      at += 2;
      for (;;) {
        if (at >= n) return std::nullopt;
        const std::size_t block = d[at];
        at += 1 + block;
        if (block == 0) break;
      }
      continue;
    }
    if (d[at] != 0x2C || n - at < 10) return std::nullopt;
    const unsigned left = le16(d + at + 1), top = le16(d + at + 3);
    const unsigned width = le16(d + at + 5), height = le16(d + at + 7);
    if (width == 0 || height == 0) return std::nullopt;
    return sized(std::max(screenWidth, left + width), std::max(screenHeight, top + height), 8);
  }
}

std::uint32_t le32(const std::uint8_t* p) {
  return std::uint32_t(p[3]) << 24 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[1]) << 8 | p[0];
}

// Windows bitmap with its file header and a Windows info header (OS/2 headers and packed DIBs are
// left to the decoder). Palettes stay palettes (2 bits become 8), 32 bits with the usual masks
// stay 32, the rest gives 24.
std::optional<ImageInfo> bmpInfo(const std::uint8_t* d, std::size_t n) {
  if (n < 54 || d[0] != 'B' || d[1] != 'M') return std::nullopt;
  const std::uint32_t size = le32(d + 14);
  if (size != 40 && size != 52 && size != 56 && size != 108 && size != 124) return std::nullopt;
  const std::int64_t width = std::int32_t(le32(d + 18));
  const std::int64_t height = std::int32_t(le32(d + 22));
  const unsigned bits = le16(d + 28);
  const std::uint32_t compression = le32(d + 30);
  if (bits != 1 && bits != 2 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
    return std::nullopt;
  const bool bitFields = compression == 3 || compression == 6;
  const bool fits = compression == 0 || (compression == 1 && bits == 8) ||
                    (compression == 2 && bits == 4) || (bitFields && (bits == 16 || bits == 32));
  if (!fits || width <= 0 || height == 0) return std::nullopt;
  // The masks follow a 40-byte header, or are part of a longer one: at the same place.
  if (bitFields && n < 66) return std::nullopt;
  const bool usualMasks = !bitFields || (le32(d + 54) == 0x00FF0000 && le32(d + 58) == 0x0000FF00 &&
                                         le32(d + 62) == 0x000000FF);
  const int depth = bits == 2 ? 8 : bits <= 8 ? int(bits) : bits == 32 && usualMasks ? 32 : 24;
  return sized(std::uint64_t(width), std::uint64_t(height < 0 ? -height : height), depth);
}

// Targa: the 18-byte header. 8-bit indices into a map of at most 256 entries, and grey, give an
// 8-bit palette picture; 32-bit true colour stays 32; the rest gives 24.
std::optional<ImageInfo> tgaInfo(const std::uint8_t* d, std::size_t n) {
  if (n < 18) return std::nullopt;
  const unsigned mapType = d[1], type = d[2] & ~8u, entryBits = d[7], depth = d[16];
  const unsigned mapFirst = le16(d + 3), mapLength = le16(d + 5);
  if (mapType > 1 || type < 1 || type > 3) return std::nullopt;
  const bool depthOk = type == 1   ? (depth == 8 || depth == 16) && mapType == 1
                       : type == 2 ? depth == 15 || depth == 16 || depth == 24 || depth == 32
                                   : depth == 8;
  if (!depthOk) return std::nullopt;
  if (type == 1 && ((entryBits != 15 && entryBits != 16 && entryBits != 24 && entryBits != 32) ||
                    mapLength == 0))
    return std::nullopt;
  const bool palette = (type == 1 && depth == 8 && mapFirst + mapLength <= 256) || type == 3;
  return sized(le16(d + 12), le16(d + 14), palette ? 8 : depth == 32 ? 32 : 24);
}

std::optional<ImageInfo> headerInfo(DecoderKind kind, const MappedFile& file) {
  if (!file.data()) return std::nullopt;
  switch (kind) {
    case DecoderKind::dkPng:
      return pngInfo(file.data(), file.size());
    case DecoderKind::dkJpeg:
      return jpegInfo(file.data(), file.size());
    case DecoderKind::dkGif:
      return gifInfo(file.data(), file.size());
    case DecoderKind::dkBitmap:
      return bmpInfo(file.data(), file.size());
    case DecoderKind::dkTarga:
      return tgaInfo(file.data(), file.size());
    default:
      return std::nullopt;
  }
}

}  // namespace

CodecResult readImageInfo(const std::string& fileName, ImageInfo& info) noexcept {
  return runCodec([&]() -> CodecResult {
    const std::string ext = fileExtension(fileName);
    const auto kind = ext.empty() ? std::nullopt : fileFormats().decoderFor(ext);
    if (kind && decoderAvailable(*kind)) {
      const MappedFile file(fileName);
      if (auto found = headerInfo(*kind, file)) {
        if (mayCarryMetadata(ext))
          found->orientation = readPhotoMetadata(file.data(), file.size()).orientation();
        // Orientations 5 to 8 turn the picture a quarter: the upright size is the stored one
        // crossed.
        if (orientationAppliesTo(ext) && found->orientation >= 5)
          std::swap(found->width, found->height);
        info = *found;
        return CodecResult::success();
      }
    }
    Bitmap picture;
    PhotoMetadata metadata;
    const CodecResult r = decodeImageFile(fileName, picture, metadata);
    if (r.ok())
      info = {picture.width(), picture.height(), picture.bitsPerPixel(), metadata.orientation()};
    return r;
  });
}

}  // namespace vorlino
