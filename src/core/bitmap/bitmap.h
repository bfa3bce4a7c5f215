// The bitmap every part of the program works on.
//
// Rows are top-down (row 0 at the top), each row starts 4-byte aligned and is addressed directly
// through row(y). Depths: 24 bits (the working bitmap: blue, green, red), 32 bits (blue, green,
// red, straight alpha: right after decoding, and the soft-transparency result), and the palette
// forms 1, 4 and 8 bits whose pixels index palette() (1 bit: most significant bit first; 4 bits:
// high nibble first). An empty bitmap (0 x 0, or any size with a zero side) is valid everywhere.
//
// The attributes Transparent and TransparentColor travel with the bitmap through copies, undo and
// saving.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "bitmap/color.h"

namespace vorlino {

struct PaletteColor {
  std::uint8_t blue = 0, green = 0, red = 0, reserved = 0;
  friend bool operator==(const PaletteColor&, const PaletteColor&) = default;
};

constexpr Color toColor(PaletteColor p) {
  return rgb(p.red, p.green, p.blue);
}
constexpr PaletteColor toPaletteColor(Color c) {
  return {blueOf(c), greenOf(c), redOf(c), 0};
}

// Asks for transparent huge pages on the 2 MiB-aligned part of [data, data + bytes), memory from
// malloc included: worth it for buffers of several megabytes that are about to be written.
void adviseHugePages(void* data, std::size_t bytes) noexcept;

// Hands every kept block (see PixelBuffer) back to the system: for a program that goes idle and
// should not hold the memory of its last burst of work.
void releaseKeptPixelBlocks() noexcept;

// Owner of one pixel block. Blocks of a megabyte or more come from the kernel, 2 MiB aligned with
// transparent huge pages advised: first touch of a 72 MB frame costs a few milliseconds instead of
// 0.2 s, and that of a 1.4 MB mask picture 0.1 ms instead of 4.
// A few released large blocks are kept for the next ones of about their size, so that a series of
// photos (a batch, undo steps) does not pay the kernel's page clearing for every one.
class PixelBuffer {
 public:
  // kZero: every byte is 0. kAny: the bytes are unspecified, for a block about to be overwritten.
  enum class Fill { kZero, kAny };

  PixelBuffer() = default;
  explicit PixelBuffer(std::size_t bytes, Fill fill = Fill::kZero);
  PixelBuffer(const PixelBuffer&) = delete;
  PixelBuffer& operator=(const PixelBuffer&) = delete;
  PixelBuffer(PixelBuffer&& other) noexcept;
  PixelBuffer& operator=(PixelBuffer&& other) noexcept;
  ~PixelBuffer();

  std::uint8_t* data() const { return data_; }
  std::size_t capacity() const { return capacity_; }
  void swap(PixelBuffer& other) noexcept;
  // Frees the block straight to the system, never keeping it for reuse; the buffer is empty then.
  void releaseToSystem() noexcept;

 private:
  void release() noexcept;
  std::uint8_t* data_ = nullptr;
  std::size_t capacity_ = 0;
  std::size_t mappedBytes_ = 0;  // non-zero when data_ lies inside an anonymous mapping
  void* mapping_ = nullptr;
};

class Bitmap {
 public:
  // Largest side accepted; anything larger throws std::length_error.
  static constexpr int kMaxSide = 1 << 20;

  Bitmap() = default;
  // A zero-filled bitmap (palette forms get a black palette of 2^bpp entries).
  Bitmap(int width, int height, int bitsPerPixel = 24);
  Bitmap(const Bitmap& other);
  Bitmap& operator=(const Bitmap& other);
  Bitmap(Bitmap&& other) noexcept;
  Bitmap& operator=(Bitmap&& other) noexcept;
  ~Bitmap() = default;

  int width() const { return width_; }
  int height() const { return height_; }
  int bitsPerPixel() const { return bpp_; }
  bool empty() const { return width_ == 0 || height_ == 0; }
  bool isPaletted() const { return bpp_ <= 8; }
  std::size_t stride() const { return stride_; }
  std::size_t byteCount() const { return stride_ * static_cast<std::size_t>(height_); }

  std::uint8_t* row(int y) { return buffer_.data() + stride_ * static_cast<std::size_t>(y); }
  const std::uint8_t* row(int y) const {
    return buffer_.data() + stride_ * static_cast<std::size_t>(y);
  }
  std::uint8_t* bits() { return buffer_.data(); }
  const std::uint8_t* bits() const { return buffer_.data(); }

  std::vector<PaletteColor>& palette() { return palette_; }
  const std::vector<PaletteColor>& palette() const { return palette_; }

  // Discards the pixels and gives the bitmap a new size and depth, zero-filled. The pixel block is
  // reused when it is large enough. bitsPerPixel is 1, 4, 8, 24 or 32; a palette form gets a black
  // palette of 2^bpp entries, other depths an empty palette. Attributes are kept.
  // Throws std::length_error (bad size or depth) or std::bad_alloc; the bitmap is unchanged then.
  void reset(int width, int height, int bitsPerPixel = 24);
  // As reset(), but the pixel contents are unspecified: for callers that write every pixel.
  void resetForOverwrite(int width, int height, int bitsPerPixel = 24);

  // Makes this bitmap an exact copy of other (size, depth, palette, pixels, attributes), reusing
  // the pixel block when it is large enough: no allocation when sizes agree.
  void assign(const Bitmap& other);
  void swap(Bitmap& other) noexcept;
  // Empties the bitmap (0 x 0, 24 bits) and frees its pixels; attributes are kept.
  void clear() noexcept;
  // As clear(), the pixel block going straight back to the system instead of being kept for
  // reuse: for memory that should not stay held, such as a history's packed snapshot.
  void clearToSystem() noexcept;

  // Converts to 24 bits per pixel in place: palette indices resolved, alpha dropped. Does nothing
  // for a 24-bit bitmap. The palette is kept (a 24-bit bitmap may keep one, written by BMP saves).
  void convertTo24();

  // Colour of one pixel as 0x00BBGGRR (palette resolved), and writing one: for tests and slow
  // paths only, never in pixel loops. setPixel on a palette form takes a palette index.
  Color pixel(int x, int y) const;
  void setPixel(int x, int y, Color colorOrIndex);
  // Palette index of one pixel of a palette form.
  int pixelIndex(int x, int y) const;

  // Attributes that travel with the bitmap.
  bool Transparent = false;
  Color TransparentColor = 0;

  // True when size, depth, palette, pixels (row padding ignored) and attributes are all equal.
  friend bool operator==(const Bitmap& a, const Bitmap& b);

 private:
  void reshape(int width, int height, int bitsPerPixel, bool zero);

  PixelBuffer buffer_;
  std::vector<PaletteColor> palette_;
  int width_ = 0;
  int height_ = 0;
  int bpp_ = 24;
  std::size_t stride_ = 0;
};

}  // namespace vorlino
