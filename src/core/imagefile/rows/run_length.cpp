#include "imagefile/rows/run_length.h"

#include <algorithm>
#include <cstring>

namespace vorlino {

bool RunDecoder::nextPacket() {
  // The count is the last byte of its unit (the low byte of a big-endian word).
  std::uint8_t n = 0;
  for (int i = 0; i < valueBytes_; ++i) n = in_.u8();
  if (in_.truncated()) return false;
  auto startRun = [&](std::size_t count) {
    left_ = count;
    repeat_ = true;
    for (int i = 0; i < valueBytes_; ++i) value_[i] = in_.u8();
  };
  auto startLiteral = [&](std::size_t count) {
    left_ = count;
    repeat_ = false;
  };
  switch (scheme_) {
    case RunScheme::rsPackBits:
      if (n < 128)
        startLiteral(std::size_t{n} + 1);
      else if (n > 128)
        startRun(257 - std::size_t{n});
      break;
    case RunScheme::rsSignedRuns:
      if (n < 128)
        startRun(std::size_t{n} + 1);
      else
        startLiteral(256 - std::size_t{n});
      break;
    case RunScheme::rsPcx:
      if ((n & 0xC0) == 0xC0) {
        startRun(n & 0x3F);
      } else {
        left_ = 1;
        repeat_ = true;
        value_[0] = n;
      }
      break;
    case RunScheme::rsHalo:
      if (n == 0)
        rowEnded_ = true;
      else if (n & 0x80)
        startRun(n & 0x7F);
      else
        startLiteral(n);
      break;
    case RunScheme::rsSgi:
      if ((n & 0x7F) == 0)
        rowEnded_ = true;
      else if (n & 0x80)
        startLiteral(n & 0x7F);
      else
        startRun(n);
      break;
    case RunScheme::rsPaintShop:
      if (n > 128)
        startRun(std::size_t{n} - 128);
      else
        startLiteral(n);
      break;
  }
  return !in_.truncated();
}

bool RunDecoder::read(std::uint8_t* dst, std::size_t count) {
  const std::size_t vb = static_cast<std::size_t>(valueBytes_);
  std::size_t done = 0;
  while (done < count) {
    if (rowEnded_) {
      std::memset(dst + done * vb, 0, (count - done) * vb);
      return true;
    }
    if (left_ == 0) {
      if (!nextPacket()) return false;
      continue;
    }
    const std::size_t n = std::min(left_, count - done);
    std::uint8_t* out = dst + done * vb;
    if (repeat_) {
      if (vb == 1) {
        std::memset(out, value_[0], n);
      } else {
        for (std::size_t i = 0; i < n; ++i) std::memcpy(out + i * vb, value_, vb);
      }
    } else if (!in_.read(out, n * vb)) {
      return false;
    }
    left_ -= n;
    done += n;
  }
  return true;
}

std::size_t RunDecoder::minimumBytes(std::size_t count, RunScheme scheme) {
  // The longest run of each code costs two bytes.
  std::size_t longest = 127;
  if (scheme == RunScheme::rsPackBits || scheme == RunScheme::rsSignedRuns) longest = 128;
  if (scheme == RunScheme::rsPcx) longest = 63;
  return (count / longest) * 2 + (count % longest ? 2 : 0);
}

namespace {

void putIndex(std::uint8_t* row, int bits, int x, unsigned v) {
  if (bits == 8) {
    row[x] = static_cast<std::uint8_t>(v);
    return;
  }
  std::uint8_t& b = row[x / 2];
  b = (x & 1) ? static_cast<std::uint8_t>((b & 0xF0) | (v & 0x0F))
              : static_cast<std::uint8_t>((b & 0x0F) | ((v & 0x0F) << 4));
}

}  // namespace

CodecResult decodeBmpRle(ByteReader& in, int bits, bool bottomUp, Bitmap& out) {
  const int width = out.width();
  const int height = out.height();
  int x = 0;
  int line = 0;  // lines counted in stream order
  auto rowOf = [&](int l) { return out.row(bottomUp ? height - 1 - l : l); };
  while (line < height) {
    if (in.remaining() < 2) {
      // A stream that stops right after filling its last line lacks only the end code.
      if (line == height - 1 && x >= width) break;
      return CodecResult::fail(CodecError::ceDamaged, "RLE data ends early");
    }
    const unsigned count = in.u8();
    const unsigned code = in.u8();
    if (count > 0) {  // a run: one byte holds the index (RLE8) or two alternating indices (RLE4)
      std::uint8_t* row = rowOf(line);
      for (unsigned i = 0; i < count && x < width; ++i, ++x) {
        const unsigned v = bits == 8 ? code : ((i & 1) ? code & 0x0F : code >> 4);
        putIndex(row, bits, x, v);
      }
      continue;
    }
    if (code == 0) {  // end of line
      ++line;
      x = 0;
    } else if (code == 1) {  // end of bitmap
      break;
    } else if (code == 2) {  // delta: move right and down
      const unsigned dx = in.u8();
      const unsigned dy = in.u8();
      if (in.truncated()) return CodecResult::fail(CodecError::ceDamaged, "RLE delta truncated");
      x = std::min(width, x + static_cast<int>(dx));
      line += static_cast<int>(dy);
    } else {  // absolute run of `code` indices, padded to a 16-bit boundary
      std::size_t bytes = bits == 8 ? code : (code + 1) / 2;
      const std::uint8_t* src = in.take(bytes);
      if (!src) return CodecResult::fail(CodecError::ceDamaged, "RLE literal truncated");
      // The pad byte of a run at the very end of the file is often missing; that is harmless.
      if ((bytes & 1) && in.remaining() > 0) in.skip(1);
      std::uint8_t* row = rowOf(line);
      for (unsigned i = 0; i < code && x < width; ++i, ++x) {
        const unsigned v = bits == 8 ? src[i] : ((i & 1) ? src[i / 2] & 0x0F : src[i / 2] >> 4);
        putIndex(row, bits, x, v);
      }
    }
  }
  return CodecResult::success();
}

bool PixelPacketReader::read(std::uint8_t* dst, std::size_t count) {
  const auto n = static_cast<std::size_t>(pixelBytes_);
  while (count > 0) {
    if (left_ == 0) {
      if (in_.remaining() == 0) return false;
      const std::uint8_t header = in_.u8();
      left_ = (header & 0x7Fu) + 1;
      repeat_ = (header & 0x80u) != 0;
      if (repeat_ && !in_.read(value_, n)) return false;
    }
    const std::size_t m = std::min(left_, count);
    if (repeat_) {
      for (std::size_t i = 0; i < m; ++i) std::memcpy(dst + i * n, value_, n);
    } else {
      const std::uint8_t* src = in_.take(m * n);
      if (!src) return false;
      std::memcpy(dst, src, m * n);
    }
    left_ -= m;
    count -= m;
    dst += m * n;
  }
  return true;
}

std::size_t PixelPacketReader::minimumBytes(std::size_t pixels, int pixelBytes) {
  return (pixels / 128 + (pixels % 128 != 0)) * (1 + static_cast<std::size_t>(pixelBytes));
}

}  // namespace vorlino
