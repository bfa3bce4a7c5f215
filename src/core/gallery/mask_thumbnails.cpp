#include "gallery/mask_thumbnails.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#include "compose/bitmap_filters.h"
#include "compose/resample.h"
#include "imagefile/load_image.h"

namespace vorlino {

namespace {

namespace fs = std::filesystem;

constexpr char kMagic[] = "VTHUMB1\n";
// A thumbnail file is tiny; anything far larger is not one of ours.
constexpr std::uintmax_t kMaxCacheFileSize = 1u << 20;
// Masks are small pictures; a photo dropped into the user's folder still gets a thumbnail.
constexpr std::uint64_t kMaxThumbnailSourcePixels = std::uint64_t{1} << 27;

std::string keyText(const MaskFileStamp& stamp, int edge) {
  return stamp.path + '\n' + std::to_string(stamp.size) + '\n' + std::to_string(stamp.modified) +
         '\n' + std::to_string(edge);
}

std::uint64_t fnv1a(const std::string& text) {
  std::uint64_t hash = 0xcbf29ce484222325ull;
  for (const char c : text) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 0x100000001b3ull;
  }
  return hash;
}

std::string asFolder(const std::string& folder) {
  return folder.empty() || folder.back() == '/' ? folder : folder + '/';
}

// The fitted size of a width x height picture in an edge x edge square, at least 1 x 1.
void fitInto(int edge, int& width, int& height) {
  const double scale =
      std::max(static_cast<double>(width) / edge, static_cast<double>(height) / edge);
  width = std::clamp(static_cast<int>(std::lround(width / scale)), 1, edge);
  height = std::clamp(static_cast<int>(std::lround(height / scale)), 1, edge);
}

}  // namespace

std::optional<MaskFileStamp> stampMaskFile(const std::string& path) {
  std::error_code ec;
  const fs::path file(path);
  if (!fs::is_regular_file(file, ec)) return std::nullopt;
  const std::uintmax_t size = fs::file_size(file, ec);
  if (ec) return std::nullopt;
  const fs::file_time_type time = fs::last_write_time(file, ec);
  if (ec) return std::nullopt;
  MaskFileStamp stamp;
  stamp.path = path;
  stamp.size = size;
  stamp.modified =
      std::chrono::duration_cast<std::chrono::nanoseconds>(time.time_since_epoch()).count();
  return stamp;
}

std::string thumbnailCacheName(const MaskFileStamp& stamp, int edge) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::uint64_t hash = fnv1a(keyText(stamp, edge));
  std::string name = "thumb-0000000000000000.grey";
  for (int i = 21; i >= 6; --i, hash >>= 4) name[static_cast<std::size_t>(i)] = kHex[hash & 15];
  return name;
}

bool readCachedThumbnail(const std::string& cacheFolder, const MaskFileStamp& stamp, int edge,
                         GreyThumbnail& out) {
  const std::string path = asFolder(cacheFolder) + thumbnailCacheName(stamp, edge);
  std::error_code ec;
  const std::uintmax_t fileSize = fs::file_size(path, ec);
  if (ec || fileSize > kMaxCacheFileSize) return false;
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const std::string header = kMagic + keyText(stamp, edge) + '\n';
  if (bytes.size() < header.size() + 4 || bytes.compare(0, header.size(), header) != 0)
    return false;
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
  const std::size_t at = header.size();
  const int width = byte(at) | byte(at + 1) << 8;
  const int height = byte(at + 2) | byte(at + 3) << 8;
  if (width < 1 || height < 1 || width > edge || height > edge) return false;
  const std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
  if (bytes.size() != at + 4 + count) return false;
  out.width = width;
  out.height = height;
  out.pixels.assign(bytes.begin() + static_cast<std::ptrdiff_t>(at + 4), bytes.end());
  return true;
}

CodecResult storeCachedThumbnail(const std::string& cacheFolder, const MaskFileStamp& stamp,
                                 int edge, const GreyThumbnail& thumb) noexcept {
  return runCodec([&]() -> CodecResult {
    std::error_code ec;
    fs::create_directories(cacheFolder, ec);
    if (ec) return CodecResult::fail(CodecError::ceIo, ec.message());
    const std::string header = std::string(kMagic) + keyText(stamp, edge) + '\n';
    std::vector<std::uint8_t> bytes(header.begin(), header.end());
    bytes.push_back(static_cast<std::uint8_t>(thumb.width & 255));
    bytes.push_back(static_cast<std::uint8_t>(thumb.width >> 8));
    bytes.push_back(static_cast<std::uint8_t>(thumb.height & 255));
    bytes.push_back(static_cast<std::uint8_t>(thumb.height >> 8));
    bytes.insert(bytes.end(), thumb.pixels.begin(), thumb.pixels.end());
    // A cache file may be lost in a crash and made again, so it is not synced to the disk (a
    // sync per thumbnail made a first visit of 200 masks take seconds); the rename still keeps a
    // half-written file from ever carrying the cache name.
    const std::string path = asFolder(cacheFolder) + thumbnailCacheName(stamp, edge);
    const std::string temporary = path + ".tmp" + std::to_string(::getpid());
    {
      std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
      out.write(reinterpret_cast<const char*>(bytes.data()),
                static_cast<std::streamsize>(bytes.size()));
      if (!out.flush()) {
        fs::remove(temporary, ec);
        return CodecResult::fail(CodecError::ceIo, "cannot write " + temporary);
      }
    }
    fs::rename(temporary, path, ec);
    if (!ec) return CodecResult::success();
    fs::remove(temporary, ec);
    return CodecResult::fail(CodecError::ceIo, "cannot rename " + temporary);
  });
}

CodecResult makeThumbnail(const std::string& path, int edge, GreyThumbnail& out) noexcept {
  return runCodec([&]() -> CodecResult {
    Bitmap picture;
    DecodeLimits limits;
    limits.maxPixels = kMaxThumbnailSourcePixels;
    CodecResult read = decodeImageFile(path, picture, limits);
    if (!read.ok()) return read;
    if (picture.empty()) return CodecResult::fail(CodecError::ceDamaged, "empty picture");
    picture.convertTo24();
    GreyBitmap(picture);
    int width = picture.width();
    int height = picture.height();
    fitInto(edge, width, height);
    Bitmap small;
    ResampleBitmap(static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height),
                   rkLanczos3, 0, picture, small);
    GreyThumbnail thumb;
    thumb.width = width;
    thumb.height = height;
    thumb.pixels.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    for (int y = 0; y < height; ++y) {
      const std::uint8_t* row = small.row(y);
      std::uint8_t* grey = thumb.pixels.data() + static_cast<std::size_t>(y) * width;
      for (int x = 0; x < width; ++x) grey[x] = row[3 * x];  // grey: the three bytes are equal
    }
    out = std::move(thumb);
    return CodecResult::success();
  });
}

ThumbnailSource thumbnailFor(const std::string& path, const std::string& cacheFolder, int edge,
                             GreyThumbnail& out, bool cacheOnly) noexcept {
  try {
    const std::optional<MaskFileStamp> stamp = stampMaskFile(path);
    if (!stamp) return ThumbnailSource::tsFailed;
    if (!cacheFolder.empty() && readCachedThumbnail(cacheFolder, *stamp, edge, out))
      return ThumbnailSource::tsCache;
    if (cacheOnly) return ThumbnailSource::tsFailed;
    if (!makeThumbnail(path, edge, out).ok()) return ThumbnailSource::tsFailed;
    if (!cacheFolder.empty()) (void)storeCachedThumbnail(cacheFolder, *stamp, edge, out);
    return ThumbnailSource::tsMade;
  } catch (...) {
    return ThumbnailSource::tsFailed;
  }
}

}  // namespace vorlino
