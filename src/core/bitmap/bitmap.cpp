#include "bitmap/bitmap.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <stdexcept>
#include <utility>
#include <vector>

#include "bitmap/checked.h"

namespace vorlino {
namespace {

constexpr std::size_t kHugePage = std::size_t{2} << 20;
// From a megabyte up, blocks are mapped in huge pages: a fault on a small page costs about 11 us
// on a virtual machine, so the 256 small pages of a megabyte cost more than clearing a huge page.
constexpr std::size_t kMapThreshold = std::size_t{1} << 20;

bool validDepth(int bpp) {
  return bpp == 1 || bpp == 4 || bpp == 8 || bpp == 24 || bpp == 32;
}

// Released large blocks waiting for reuse. Bounded in bytes so that memory given back by a closed
// photo does not stay held for long: the next blocks of another size push the old ones out.
constexpr std::size_t kKeptBytes = std::size_t{256} << 20;
constexpr std::size_t kKeptBlocks = 6;

struct KeptBlock {
  void* mapping;
  std::size_t mappedBytes;
  std::uint8_t* data;
  std::size_t capacity;
};

class KeptBlocks {
 public:
  // The smallest kept block that holds bytes without wasting more than half as much again.
  bool take(std::size_t bytes, KeptBlock& out) {
    const std::lock_guard lock(mutex_);
    std::size_t best = blocks_.size();
    for (std::size_t i = 0; i < blocks_.size(); ++i) {
      const std::size_t c = blocks_[i].capacity;
      if (c >= bytes && c - bytes <= bytes / 2 &&
          (best == blocks_.size() || c < blocks_[best].capacity))
        best = i;
    }
    if (best == blocks_.size()) return false;
    out = blocks_[best];
    total_ -= out.mappedBytes;
    blocks_.erase(blocks_.begin() + static_cast<std::ptrdiff_t>(best));
    return true;
  }

  void releaseAll() noexcept {
    std::vector<KeptBlock> dropped;
    {
      const std::lock_guard lock(mutex_);
      dropped.swap(blocks_);
      total_ = 0;
    }
    for (const KeptBlock& b : dropped) munmap(b.mapping, b.mappedBytes);
  }

  void give(const KeptBlock& block) noexcept {
    std::vector<KeptBlock> dropped;
    {
      const std::lock_guard lock(mutex_);
      try {
        if (block.mappedBytes <= kKeptBytes) {
          blocks_.push_back(block);
          total_ += block.mappedBytes;
        } else {
          dropped.push_back(block);
        }
        while (total_ > kKeptBytes || blocks_.size() > kKeptBlocks) {  // oldest first
          dropped.push_back(blocks_.front());
          total_ -= blocks_.front().mappedBytes;
          blocks_.erase(blocks_.begin());
        }
      } catch (...) {  // no room to note it: give it back now
        munmap(block.mapping, block.mappedBytes);
      }
    }
    for (const KeptBlock& b : dropped) munmap(b.mapping, b.mappedBytes);
  }

 private:
  std::mutex mutex_;
  std::vector<KeptBlock> blocks_;
  std::size_t total_ = 0;
};

KeptBlocks& keptBlocks() {
  static auto* kept = new KeptBlocks;  // never destroyed: buffers may be released during exit
  return *kept;
}

}  // namespace

void adviseHugePages(void* data, std::size_t bytes) noexcept {
  const auto begin = reinterpret_cast<std::uintptr_t>(data);
  const std::uintptr_t first = (begin + kHugePage - 1) & ~(kHugePage - 1);
  const std::uintptr_t last = (begin + bytes) & ~(kHugePage - 1);
  if (last > first) madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
}

void releaseKeptPixelBlocks() noexcept {
  keptBlocks().releaseAll();
}

PixelBuffer::PixelBuffer(std::size_t bytes, Fill fill) {
  if (bytes == 0) return;
  if (bytes >= kMapThreshold) {
    KeptBlock kept{};
    if (keptBlocks().take(bytes, kept)) {
      mapping_ = kept.mapping;
      mappedBytes_ = kept.mappedBytes;
      data_ = kept.data;
      capacity_ = kept.capacity;
      if (fill == Fill::kZero) std::memset(data_, 0, capacity_);
      return;
    }
    // Room for the block's whole huge pages after the first 2 MiB boundary, so that its last
    // one is a huge page too: a block of one or two megabytes is then one or two faults.
    const auto whole = checkedAdd(bytes, kHugePage - 1);
    const auto total = whole ? checkedAdd(*whole & ~(kHugePage - 1), kHugePage) : std::nullopt;
    if (!total) throw std::bad_alloc();
    void* map = mmap(nullptr, *total, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (map == MAP_FAILED) throw std::bad_alloc();
    auto base = reinterpret_cast<std::uintptr_t>(map);
    auto aligned = (base + kHugePage - 1) & ~(kHugePage - 1);
    data_ = reinterpret_cast<std::uint8_t*>(aligned);
    madvise(data_, (bytes + kHugePage - 1) & ~(kHugePage - 1), MADV_HUGEPAGE);
    mapping_ = map;
    mappedBytes_ = *total;
  } else {
    data_ = static_cast<std::uint8_t*>(fill == Fill::kZero ? std::calloc(bytes, 1)
                                                           : std::malloc(bytes));
    if (!data_) throw std::bad_alloc();
  }
  capacity_ = bytes;
}

PixelBuffer::PixelBuffer(PixelBuffer&& other) noexcept {
  swap(other);
}

PixelBuffer& PixelBuffer::operator=(PixelBuffer&& other) noexcept {
  if (this != &other) {
    release();
    swap(other);
  }
  return *this;
}

PixelBuffer::~PixelBuffer() {
  release();
}

void PixelBuffer::releaseToSystem() noexcept {
  if (mapping_)
    munmap(mapping_, mappedBytes_);
  else
    std::free(data_);
  data_ = nullptr;
  mapping_ = nullptr;
  capacity_ = 0;
  mappedBytes_ = 0;
}

void PixelBuffer::swap(PixelBuffer& other) noexcept {
  std::swap(data_, other.data_);
  std::swap(capacity_, other.capacity_);
  std::swap(mappedBytes_, other.mappedBytes_);
  std::swap(mapping_, other.mapping_);
}

void PixelBuffer::release() noexcept {
  if (mapping_) {
    keptBlocks().give(KeptBlock{mapping_, mappedBytes_, data_, capacity_});
  } else {
    std::free(data_);
  }
  data_ = nullptr;
  mapping_ = nullptr;
  capacity_ = 0;
  mappedBytes_ = 0;
}

Bitmap::Bitmap(int width, int height, int bitsPerPixel) {
  reset(width, height, bitsPerPixel);
}

Bitmap::Bitmap(const Bitmap& other) {
  assign(other);
}

Bitmap& Bitmap::operator=(const Bitmap& other) {
  if (this != &other) assign(other);
  return *this;
}

Bitmap::Bitmap(Bitmap&& other) noexcept {
  swap(other);
}

Bitmap& Bitmap::operator=(Bitmap&& other) noexcept {
  if (this != &other) {
    Bitmap moved;
    moved.swap(other);
    swap(moved);
  }
  return *this;
}

void Bitmap::reset(int width, int height, int bitsPerPixel) {
  reshape(width, height, bitsPerPixel, true);
}

void Bitmap::resetForOverwrite(int width, int height, int bitsPerPixel) {
  reshape(width, height, bitsPerPixel, false);
}

void Bitmap::reshape(int width, int height, int bitsPerPixel, bool zero) {
  if (width < 0 || height < 0 || width > kMaxSide || height > kMaxSide || !validDepth(bitsPerPixel))
    throw std::length_error("bitmap size or depth out of range");
  auto stride = rowStride(static_cast<std::size_t>(width), static_cast<unsigned>(bitsPerPixel));
  auto bytes = bitmapBytes(static_cast<std::size_t>(width), static_cast<std::size_t>(height),
                           static_cast<unsigned>(bitsPerPixel));
  if (!stride || !bytes) throw std::length_error("bitmap too large");
  std::vector<PaletteColor> palette;
  if (bitsPerPixel <= 8) palette.resize(std::size_t{1} << bitsPerPixel);
  if (*bytes > buffer_.capacity()) {
    PixelBuffer fresh(*bytes, zero ? PixelBuffer::Fill::kZero : PixelBuffer::Fill::kAny);
    buffer_.swap(fresh);
  } else if (zero && *bytes > 0) {
    std::memset(buffer_.data(), 0, *bytes);
  }
  palette_.swap(palette);
  width_ = width;
  height_ = height;
  bpp_ = bitsPerPixel;
  stride_ = *stride;
}

void Bitmap::assign(const Bitmap& other) {
  if (this == &other) return;
  resetForOverwrite(other.width_, other.height_, other.bpp_);
  if (other.byteCount() > 0) std::memcpy(buffer_.data(), other.buffer_.data(), other.byteCount());
  palette_ = other.palette_;
  Transparent = other.Transparent;
  TransparentColor = other.TransparentColor;
}

void Bitmap::swap(Bitmap& other) noexcept {
  buffer_.swap(other.buffer_);
  palette_.swap(other.palette_);
  std::swap(width_, other.width_);
  std::swap(height_, other.height_);
  std::swap(bpp_, other.bpp_);
  std::swap(stride_, other.stride_);
  std::swap(Transparent, other.Transparent);
  std::swap(TransparentColor, other.TransparentColor);
}

void Bitmap::clear() noexcept {
  PixelBuffer none;
  buffer_.swap(none);
  palette_.clear();
  width_ = height_ = 0;
  bpp_ = 24;
  stride_ = 0;
}

void Bitmap::clearToSystem() noexcept {
  buffer_.releaseToSystem();
  clear();
}

void Bitmap::convertTo24() {
  if (bpp_ == 24) return;
  Bitmap out;
  out.resetForOverwrite(width_, height_, 24);
  // Palette forms: each index's three bytes found once (black past the palette's end).
  std::uint8_t colours[256][3] = {};
  if (bpp_ <= 8) {
    for (std::size_t i = 0; i < std::min<std::size_t>(palette_.size(), 256); ++i) {
      colours[i][0] = palette_[i].blue;
      colours[i][1] = palette_[i].green;
      colours[i][2] = palette_[i].red;
    }
  }
  for (int y = 0; y < height_; ++y) {
    const std::uint8_t* src = row(y);
    std::uint8_t* dst = out.row(y);
    if (bpp_ == 32) {
      for (int x = 0; x < width_; ++x) {
        dst[3 * x] = src[4 * x];
        dst[3 * x + 1] = src[4 * x + 1];
        dst[3 * x + 2] = src[4 * x + 2];
      }
    } else if (bpp_ == 8) {
      for (int x = 0; x < width_; ++x) std::memcpy(dst + 3 * x, colours[src[x]], 3);
    } else {
      const int shift = 8 - bpp_;
      const unsigned mask = (1u << bpp_) - 1;
      for (int x = 0; x < width_; ++x) {
        const std::size_t bit = static_cast<std::size_t>(x) * static_cast<std::size_t>(bpp_);
        const unsigned index = (src[bit / 8] >> (shift - static_cast<int>(bit % 8))) & mask;
        std::memcpy(dst + 3 * x, colours[index], 3);
      }
    }
  }
  out.palette_ = std::move(palette_);
  out.Transparent = Transparent;
  out.TransparentColor = TransparentColor;
  swap(out);
}

int Bitmap::pixelIndex(int x, int y) const {
  const std::size_t bit = static_cast<std::size_t>(x) * static_cast<std::size_t>(bpp_);
  const int shift = 8 - bpp_ - static_cast<int>(bit % 8);
  return (row(y)[bit / 8] >> shift) & ((1 << bpp_) - 1);
}

Color Bitmap::pixel(int x, int y) const {
  if (bpp_ <= 8) {
    const auto index = static_cast<std::size_t>(pixelIndex(x, y));
    return index < palette_.size() ? toColor(palette_[index]) : kBlack;
  }
  const std::uint8_t* p = row(y) + static_cast<std::size_t>(x) * static_cast<std::size_t>(bpp_ / 8);
  return rgb(p[2], p[1], p[0]);
}

void Bitmap::setPixel(int x, int y, Color colorOrIndex) {
  if (bpp_ <= 8) {
    const std::size_t bit = static_cast<std::size_t>(x) * static_cast<std::size_t>(bpp_);
    const int shift = 8 - bpp_ - static_cast<int>(bit % 8);
    const unsigned mask = ((1u << bpp_) - 1) << shift;
    std::uint8_t& b = row(y)[bit / 8];
    b = static_cast<std::uint8_t>((b & ~mask) | ((colorOrIndex << shift) & mask));
    return;
  }
  std::uint8_t* p = row(y) + static_cast<std::size_t>(x) * static_cast<std::size_t>(bpp_ / 8);
  p[0] = blueOf(colorOrIndex);
  p[1] = greenOf(colorOrIndex);
  p[2] = redOf(colorOrIndex);
  if (bpp_ == 32) p[3] = 255;
}

bool operator==(const Bitmap& a, const Bitmap& b) {
  if (a.width_ != b.width_ || a.height_ != b.height_ || a.bpp_ != b.bpp_ ||
      a.palette_ != b.palette_ || a.Transparent != b.Transparent ||
      a.TransparentColor != b.TransparentColor)
    return false;
  const std::size_t used = (static_cast<std::size_t>(a.width_) * a.bpp_ + 7) / 8;
  const int tailBits = static_cast<int>((static_cast<std::size_t>(a.width_) * a.bpp_) % 8);
  for (int y = 0; y < a.height_; ++y) {
    const std::uint8_t* ra = a.row(y);
    const std::uint8_t* rb = b.row(y);
    if (tailBits == 0) {
      if (used && std::memcmp(ra, rb, used) != 0) return false;
      continue;
    }
    // Ignore the unused low bits of the last byte of a palette row.
    if (used > 1 && std::memcmp(ra, rb, used - 1) != 0) return false;
    const unsigned mask = (0xFF00u >> tailBits) & 0xFF;
    if (((ra[used - 1] ^ rb[used - 1]) & mask) != 0) return false;
  }
  return true;
}

}  // namespace vorlino
