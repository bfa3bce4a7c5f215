// The canvases of a HEIF file's derived images, read from the file's own boxes.
//
// A grid ('grid') or overlay ('iovl') image states its output size in its item data, apart from
// the size its 'ispe' property gives, and libheif allocates and clears the stated canvas before
// decoding a single tile: a 1.5 KB file can ask for gigabytes that way. The reader checks these
// sizes first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vorlino {

struct HeifCanvas {
  std::uint64_t width = 0;
  std::uint64_t height = 0;
};

// The output size of every grid and overlay item in the HEIF file held in [data, data + size).
// Items whose boxes are cut or damaged are left out (libheif refuses them later); the result is
// empty for a file without derived images.
std::vector<HeifCanvas> heifDerivedCanvases(const std::uint8_t* data, std::size_t size) noexcept;

}  // namespace vorlino
