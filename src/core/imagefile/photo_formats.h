// Decoders of the photo formats of phones, cameras and the web: HEIF (HEIC and AVIF), WebP and
// JPEG XL, of the same shape as the others (see decoders.h). Each gives the picture upright where
// its library applies the file's own orientation (HEIF irot/imir, JPEG XL), 24 bits, or 32 bits
// (blue, green, red, alpha) when the file has alpha; samples deeper than 8 bits are rounded to the
// nearest 8-bit value. A damaged or truncated file fails; no library message is printed.
//
// The *IccProfile functions return the ICC profile embedded in such a file (empty when it has none
// or cannot be read), for keeping it with the document and for colour-managed display.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "bitmap/bitmap.h"
#include "imagefile/codec.h"

namespace vorlino {

// HEIF and AVIF through libheif: the primary image, with its transformations applied.
CodecResult readHeif(ByteReader& in, Bitmap& out, const DecodeLimits& limits) noexcept;
// The colr profile (prof or rICC) of the primary image.
std::vector<std::uint8_t> heifIccProfile(const std::uint8_t* data, std::size_t size) noexcept;

// WebP through libwebp: a still picture, or the first frame of an animation drawn on its canvas.
CodecResult readWebp(ByteReader& in, Bitmap& out, const DecodeLimits& limits) noexcept;
// The ICCP chunk.
std::vector<std::uint8_t> webpIccProfile(const std::uint8_t* data, std::size_t size) noexcept;

// JPEG XL through libjxl (bare code stream or container): the first frame, oriented.
CodecResult readJxl(ByteReader& in, Bitmap& out, const DecodeLimits& limits) noexcept;
// The profile of the pixels readJxl returns (for an XYB-coded file, the one libjxl converts to).
std::vector<std::uint8_t> jxlIccProfile(const std::uint8_t* data, std::size_t size) noexcept;

}  // namespace vorlino
