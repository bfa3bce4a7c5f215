// The derived images of a HEIF file (grids, overlays, identities), read from the file's own boxes.
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

struct HeifDerivedImages {
  // The output size of every grid and overlay item. Items whose boxes are cut or damaged are left
  // out (libheif refuses them later).
  std::vector<HeifCanvas> canvases;
  // A derived picture ('dimg' reference) draws from an item that is missing or is no picture:
  // libheif 1.15 then stops the whole program on an assertion instead of failing.
  bool missingSource = false;
};

// What the derived images of the HEIF file held in [data, data + size) ask for; empty for a file
// without derived images.
HeifDerivedImages heifDerivedImages(const std::uint8_t* data, std::size_t size) noexcept;

}  // namespace vorlino
