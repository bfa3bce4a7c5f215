// Thumbnails of mask pictures for the gallery, and their cache on disk.
//
// A thumbnail is the mask as the window keeps it (grey), fitted into a square of `edge` pixels.
// The cache holds one small file per picture, named after a hash of the picture's path, size,
// modification time and the edge; the file repeats that key in full, so a hash collision or a
// changed picture reads as a miss and the thumbnail is made again. Everything here runs on any
// thread: nothing touches shared state but the files.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "imagefile/codec.h"

namespace vorlino {

inline constexpr int kThumbnailEdge = 96;

// One grey byte per pixel, rows top to bottom without padding.
struct GreyThumbnail {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> pixels;
  bool empty() const { return width == 0 || height == 0; }
};

// What identifies a picture file's contents for the cache.
struct MaskFileStamp {
  std::string path;
  std::uint64_t size = 0;
  std::int64_t modified = 0;  // modification time in nanoseconds since the file clock's epoch
};

// The stamp of a regular file; nothing when it does not exist or is not a file.
std::optional<MaskFileStamp> stampMaskFile(const std::string& path);

// The cache file name (without folder) for a stamp and an edge.
std::string thumbnailCacheName(const MaskFileStamp& stamp, int edge);

// Reads the cached thumbnail of stamp at edge from cacheFolder into out. False (out unchanged) when
// there is none, when its key differs (the picture changed) or when the file is damaged.
bool readCachedThumbnail(const std::string& cacheFolder, const MaskFileStamp& stamp, int edge,
                         GreyThumbnail& out);

// Writes thumb as the cached thumbnail of stamp at edge; creates cacheFolder when needed.
CodecResult storeCachedThumbnail(const std::string& cacheFolder, const MaskFileStamp& stamp,
                                 int edge, const GreyThumbnail& thumb) noexcept;

// Decodes the picture by its extension with the program's loader (no message), makes it grey and
// fits it into edge x edge keeping its proportions (a small picture is enlarged, as the side panel
// shows it). out is changed only on success.
CodecResult makeThumbnail(const std::string& path, int edge, GreyThumbnail& out) noexcept;

enum class ThumbnailSource { tsCache, tsMade, tsFailed };

// The thumbnail of path: from the cache when its stamp matches, else made and stored (a cache
// that cannot be written is no failure). With cacheOnly, a miss returns tsFailed without decoding.
ThumbnailSource thumbnailFor(const std::string& path, const std::string& cacheFolder, int edge,
                             GreyThumbnail& out, bool cacheOnly = false) noexcept;

}  // namespace vorlino
