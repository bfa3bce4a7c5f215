// The descriptive data a photo file carries besides its pixels: EXIF (date taken, camera, lens,
// exposure, GPS), XMP, IPTC and the embedded ICC colour profile. Read when a photo is opened and
// written back into the file when it is saved, so that photo libraries can still sort the framed
// picture. Exiv2 does the reading and writing; none of its types or exceptions leave metadata.cpp.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "imagefile/codec.h"

namespace vorlino {

// An immutable bundle of a photo's metadata, cheap to copy (the blocks are shared). It belongs to
// the document, not to its pixels: undo, resize and the mask leave it alone.
class PhotoMetadata {
 public:
  // True when there is nothing to write: no tags and no colour profile.
  bool empty() const { return !tags_ && !profile_; }
  // True when EXIF, XMP or IPTC tags were found.
  bool hasTags() const { return tags_ != nullptr; }
  // The EXIF Orientation value found in the file (1 to 8), 0 when there was none.
  int orientation() const { return orientation_; }
  // The embedded ICC profile exactly as the file held it; empty when there was none.
  const std::vector<std::uint8_t>& iccProfile() const;
  // The same bundle with every tag dropped and only the colour profile kept (privacy).
  PhotoMetadata profileOnly() const;
  // The same bundle with this colour profile (for files whose profile the metadata library does
  // not find but their decoder does).
  PhotoMetadata withProfile(std::vector<std::uint8_t> icc) const;

  struct Tags;  // Exiv2's containers, defined in metadata.cpp

 private:
  friend PhotoMetadata readPhotoMetadata(const std::uint8_t*, std::size_t) noexcept;
  friend CodecResult embedPhotoMetadata(const PhotoMetadata&, int, int,
                                        std::vector<std::uint8_t>&) noexcept;

  std::shared_ptr<const Tags> tags_;
  std::shared_ptr<const std::vector<std::uint8_t>> profile_;
  int orientation_ = 0;
};

// Reads the metadata of a whole picture file held in memory (the format is recognised by its
// content). Never fails: a file without metadata, of a format that carries none, or whose metadata
// is damaged gives an empty bundle. Image-structure tags (sizes, strips, tiles) and the EXIF
// thumbnail are left out, as they describe the file rather than the photo.
PhotoMetadata readPhotoMetadata(const std::uint8_t* data, std::size_t size) noexcept;

// The largest JPEG preview embedded in the metadata of a picture file held in memory (the EXIF
// thumbnail, or a larger preview some cameras add), as the JPEG file it is; empty when there is
// none or the metadata is damaged. For a JPEG, the head of the file up to its first scan is enough.
std::vector<std::uint8_t> largestJpegPreview(const std::uint8_t* data, std::size_t size) noexcept;

// Whether files with this lower-case extension may carry photo metadata worth reading (JPEG, TIFF,
// PNG, Photoshop, WebP, HEIF, AVIF, JPEG XL): the loader asks Exiv2 about no other file.
bool mayCarryMetadata(const std::string& extension);

// Writes metadata into an encoded JPEG, PNG, TIFF or WebP file held in file, in place: the tags
// with Orientation set to 1 and the pixel dimensions set to width x height, and the colour profile.
// An empty bundle leaves file untouched. On failure file is unchanged and the result says why.
CodecResult embedPhotoMetadata(const PhotoMetadata& metadata, int width, int height,
                               std::vector<std::uint8_t>& file) noexcept;

}  // namespace vorlino
