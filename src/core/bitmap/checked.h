// Checked size arithmetic. Every size derived from untrusted numbers (file headers, user input)
// goes through these helpers, so an overflow becomes a clean failure instead of a short buffer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

namespace vorlino {

// a * b, or nothing when the product does not fit in size_t.
inline std::optional<std::size_t> checkedMul(std::size_t a, std::size_t b) {
  std::size_t r;
  if (__builtin_mul_overflow(a, b, &r)) return std::nullopt;
  return r;
}

// a + b, or nothing on overflow.
inline std::optional<std::size_t> checkedAdd(std::size_t a, std::size_t b) {
  std::size_t r;
  if (__builtin_add_overflow(a, b, &r)) return std::nullopt;
  return r;
}

// Bytes of one row of `width` pixels at `bitsPerPixel`, padded to 4 bytes; nothing on overflow.
inline std::optional<std::size_t> rowStride(std::size_t width, unsigned bitsPerPixel) {
  auto bits = checkedMul(width, bitsPerPixel);
  if (!bits) return std::nullopt;
  auto padded = checkedAdd(*bits, 31);
  if (!padded) return std::nullopt;
  return (*padded / 32) * 4;
}

// Bytes of a whole bitmap of that size and depth (rows 4-byte aligned); nothing on overflow.
inline std::optional<std::size_t> bitmapBytes(std::size_t width, std::size_t height,
                                              unsigned bitsPerPixel) {
  auto stride = rowStride(width, bitsPerPixel);
  if (!stride) return std::nullopt;
  return checkedMul(*stride, height);
}

}  // namespace vorlino
