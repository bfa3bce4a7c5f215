#include "imagefile/gif_writer.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstring>

#include "imagefile/write_support.h"

namespace vorlino {
namespace {

constexpr std::size_t kMaxCountedColors = 2049;
constexpr std::uint32_t kNoEntry = 0xFFFFFFFFu;

// Distinct colours in the order they first appear, with their pixel counts: an open-addressing
// table over 0x00RRGGBB keys that gives up once more than kMaxCountedColors turn up.
class ColorCounter {
 public:
  ColorCounter() : slots_(kSlots, kNoEntry) {}

  void clear() {
    std::fill(slots_.begin(), slots_.end(), kNoEntry);
    colors_.clear();
    counts_.clear();
  }
  // Index of the colour, added when new; kNoEntry when it would be one colour too many.
  std::uint32_t add(std::uint32_t color) {
    std::size_t slot = hash(color);
    for (;;) {
      const std::uint32_t entry = slots_[slot];
      if (entry == kNoEntry) break;
      if (colors_[entry] == color) {
        ++counts_[entry];
        return entry;
      }
      slot = (slot + 1) & (kSlots - 1);
    }
    if (colors_.size() == kMaxCountedColors) return kNoEntry;
    const auto entry = static_cast<std::uint32_t>(colors_.size());
    slots_[slot] = entry;
    colors_.push_back(color);
    counts_.push_back(1);
    return entry;
  }
  std::uint32_t find(std::uint32_t color) const {
    for (std::size_t slot = hash(color);; slot = (slot + 1) & (kSlots - 1)) {
      const std::uint32_t entry = slots_[slot];
      if (entry == kNoEntry || colors_[entry] == color) return entry;
    }
  }
  const std::vector<std::uint32_t>& colors() const { return colors_; }
  const std::vector<std::uint64_t>& counts() const { return counts_; }

 private:
  static constexpr std::size_t kSlots = 8192;  // a power of two, well above kMaxCountedColors
  static std::size_t hash(std::uint32_t c) { return (c * 2654435761u) >> 19; }

  std::vector<std::uint32_t> slots_;
  std::vector<std::uint32_t> colors_;  // 0x00RRGGBB
  std::vector<std::uint64_t> counts_;
};

std::uint32_t maskedColor(const std::uint8_t* p, std::uint32_t mask) {
  return ((std::uint32_t{p[2]} << 16) | (std::uint32_t{p[1]} << 8) | p[0]) & mask;
}

// Counts the masked colours of a 24-bit bitmap, coarsening the masks until they fit. Returns the
// mask (0x00RRGGBB) that was used.
std::uint32_t countColors(const Bitmap& bitmap, ColorCounter& counter) {
  std::uint8_t red = 255, green = 255, blue = 255;
  int nextChannel = 0;  // blue, red, green, blue...
  for (;;) {
    const std::uint32_t mask = (std::uint32_t{red} << 16) | (std::uint32_t{green} << 8) | blue;
    counter.clear();
    bool fits = true;
    for (int y = 0; y < bitmap.height() && fits; ++y) {
      const std::uint8_t* p = bitmap.row(y);
      for (int x = 0; x < bitmap.width(); ++x, p += 3)
        if (counter.add(maskedColor(p, mask)) == kNoEntry) {
          fits = false;
          break;
        }
    }
    if (fits) return mask;
    std::uint8_t& channel = nextChannel == 0 ? blue : nextChannel == 1 ? red : green;
    channel = static_cast<std::uint8_t>(channel << 1);
    nextChannel = (nextChannel + 1) % 3;
  }
}

}  // namespace

Bitmap frequencyPalette(const Bitmap& source) {
  Bitmap converted;
  const Bitmap* bitmap = &source;
  if (source.bitsPerPixel() != 24) {
    converted = copyAs24Bits(source);
    bitmap = &converted;
  }
  ColorCounter counter;
  const std::uint32_t mask = countColors(*bitmap, counter);

  const std::vector<std::uint32_t>& colors = counter.colors();
  std::vector<std::uint32_t> order(colors.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = static_cast<std::uint32_t>(i);
  std::stable_sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
    return counter.counts()[a] > counter.counts()[b];
  });
  std::array<std::uint32_t, 256> table;
  table.fill(0x808080);
  for (std::size_t i = 0; i < table.size() && i < order.size(); ++i) table[i] = colors[order[i]];

  std::vector<std::uint8_t> entryOf(colors.size());
  for (std::size_t c = 0; c < colors.size(); ++c) {
    int best = 0;
    long bestDistance = -1;
    for (int i = 0; i < 256; ++i) {
      long distance = 0;
      for (int shift = 0; shift < 24; shift += 8) {
        const long d = static_cast<long>((colors[c] >> shift) & 0xFF) -
                       static_cast<long>((table[i] >> shift) & 0xFF);
        distance += d * d;
      }
      if (bestDistance < 0 || distance < bestDistance) {
        bestDistance = distance;
        best = i;
      }
    }
    entryOf[c] = static_cast<std::uint8_t>(best);
  }

  Bitmap out;
  out.resetForOverwrite(bitmap->width(), bitmap->height(), 8);
  for (std::size_t i = 0; i < 256; ++i)
    out.palette()[i] = {static_cast<std::uint8_t>(table[i]),
                        static_cast<std::uint8_t>(table[i] >> 8),
                        static_cast<std::uint8_t>(table[i] >> 16), 0};
  for (int y = 0; y < bitmap->height(); ++y) {
    const std::uint8_t* p = bitmap->row(y);
    std::uint8_t* q = out.row(y);
    for (int x = 0; x < bitmap->width(); ++x, p += 3)
      q[x] = entryOf[counter.find(maskedColor(p, mask))];
  }
  out.Transparent = source.Transparent;
  out.TransparentColor = source.TransparentColor;
  return out;
}

namespace {

// GIF's variable-length-code LZW with the code size growing up to 12 bits and a clear code
// when the table is full. Codes are packed least significant bit first into sub-blocks of at
// most 255 bytes.
class LzwEncoder {
 public:
  LzwEncoder(ByteWriter& out, int minCodeSize)
      : out_(out),
        minCodeSize_(minCodeSize),
        clearCode_(1 << minCodeSize),
        // For each code and next index, the code of the extended string (0: none yet).
        children_(std::size_t{kMaxCodes} << minCodeSize, 0) {
    used_.reserve(kMaxCodes);
    out_.u8(static_cast<std::uint8_t>(minCodeSize));
    reset();
    put(clearCode_);
  }

  void add(std::uint8_t index) {
    if (prefix_ < 0) {
      prefix_ = index;
      return;
    }
    const std::size_t slot = (static_cast<std::size_t>(prefix_) << minCodeSize_) | index;
    if (children_[slot] != 0) {
      prefix_ = children_[slot];
      return;
    }
    emit(prefix_);
    if (nextCode_ < kMaxCodes) {
      children_[slot] = static_cast<std::uint16_t>(nextCode_++);
      used_.push_back(static_cast<std::uint32_t>(slot));
    } else {
      put(clearCode_);
      reset();
    }
    prefix_ = index;
  }

  void finish() {
    if (prefix_ >= 0) emit(prefix_);
    put(clearCode_ + 1);
    if (bitCount_ > 0) pushByte(static_cast<std::uint8_t>(bits_));
    flushBlock();
    out_.u8(0);  // block terminator
  }

 private:
  static constexpr int kMaxCodes = 4096;

  void reset() {
    for (std::uint32_t slot : used_) children_[slot] = 0;
    used_.clear();
    nextCode_ = clearCode_ + 2;
    codeSize_ = minCodeSize_ + 1;
  }
  // A data code. The decoder adds the entry this code completes only when it reads the next
  // code, so it widens once its table reaches 2^codeSize: widen at the same point.
  void emit(int code) {
    put(code);
    if (nextCode_ >= (1 << codeSize_) && codeSize_ < 12) ++codeSize_;
  }
  void put(int code) {
    bits_ |= static_cast<std::uint32_t>(code) << bitCount_;
    bitCount_ += codeSize_;
    while (bitCount_ >= 8) {
      pushByte(static_cast<std::uint8_t>(bits_));
      bits_ >>= 8;
      bitCount_ -= 8;
    }
  }
  void pushByte(std::uint8_t b) {
    block_[blockSize_++] = b;
    if (blockSize_ == 255) flushBlock();
  }
  void flushBlock() {
    if (blockSize_ == 0) return;
    out_.u8(static_cast<std::uint8_t>(blockSize_));
    out_.write(block_, blockSize_);
    blockSize_ = 0;
  }

  ByteWriter& out_;
  const int minCodeSize_;
  const int clearCode_;
  std::vector<std::uint16_t> children_;
  std::vector<std::uint32_t> used_;  // slots of children_ set since the last reset
  int nextCode_ = 0;
  int codeSize_ = 0;
  int prefix_ = -1;
  std::uint32_t bits_ = 0;
  int bitCount_ = 0;
  std::uint8_t block_[255];
  std::size_t blockSize_ = 0;
};

CodecResult writeGifBody(const Bitmap& bitmap, ByteWriter& out) {
  const int bpp = bitmap.bitsPerPixel();
  const std::size_t entries = std::size_t{1} << bpp;
  const auto key = transparentIndex(bitmap, entries);
  out.write(key ? "GIF89a" : "GIF87a", 6);
  out.u16le(static_cast<std::uint16_t>(bitmap.width()));
  out.u16le(static_cast<std::uint16_t>(bitmap.height()));
  // Global table present, colour resolution and table size from the depth.
  out.u8(static_cast<std::uint8_t>(0x80 | ((bpp - 1) << 4) | (bpp - 1)));
  out.u8(0);  // background index
  out.u8(0);  // aspect ratio
  for (std::size_t i = 0; i < entries; ++i) {
    const PaletteColor c = paletteEntry(bitmap, i);
    out.u8(c.red);
    out.u8(c.green);
    out.u8(c.blue);
  }
  if (key) {
    const std::uint8_t extension[] = {0x21, 0xF9, 4, 0x01, 0, 0, static_cast<std::uint8_t>(*key),
                                      0};
    out.write(extension, sizeof extension);
  }
  out.u8(0x2C);
  out.u16le(0);
  out.u16le(0);
  out.u16le(static_cast<std::uint16_t>(bitmap.width()));
  out.u16le(static_cast<std::uint16_t>(bitmap.height()));
  out.u8(0);  // no local table, not interlaced

  LzwEncoder lzw(out, bpp < 2 ? 2 : bpp);
  std::vector<std::uint8_t> indices(static_cast<std::size_t>(bitmap.width()));
  for (int y = 0; y < bitmap.height(); ++y) {
    unpackIndices(bitmap, y, indices.data());
    for (std::uint8_t index : indices) lzw.add(index);
  }
  lzw.finish();
  out.u8(0x3B);
  return CodecResult::success();
}

}  // namespace

CodecResult WriteGif(const Bitmap& bitmap, ByteWriter& out, const GifOptions&) noexcept {
  return runCodec([&] {
    if (bitmap.empty()) return CodecResult::fail(CodecError::ceUnsupported, "empty bitmap");
    if (CodecResult r = checkShortSides(bitmap); !r.ok()) return r;
    if (bitmap.isPaletted()) return writeGifBody(bitmap, out);
    return writeGifBody(frequencyPalette(bitmap), out);
  });
}

}  // namespace vorlino
