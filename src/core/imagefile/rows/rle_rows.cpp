#include "imagefile/rows/rle_rows.h"

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

void interleavePlane(const std::uint8_t* plane, std::size_t count, std::uint8_t* dst,
                     int pixelBytes) {
  for (std::size_t i = 0; i < count; ++i) dst[i * pixelBytes] = plane[i];
}

void highBytesBE(const std::uint8_t* src, std::size_t count, std::uint8_t* dst) {
  for (std::size_t i = 0; i < count; ++i) dst[i] = src[2 * i];
}

void setOpaque(std::uint8_t* row, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) row[4 * i + 3] = 255;
}

std::vector<PaletteColor> greyRamp(int entries) {
  std::vector<PaletteColor> pal(static_cast<std::size_t>(entries));
  for (int i = 0; i < entries; ++i) {
    const auto v = static_cast<std::uint8_t>(i * 255 / (entries - 1));
    pal[static_cast<std::size_t>(i)] = {v, v, v, 0};
  }
  return pal;
}

PaletteColor vgaColor(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
  auto scale = [](std::uint8_t v) {
    return static_cast<std::uint8_t>(std::min<unsigned>(v, 63) * 255 / 63);
  };
  return {scale(b), scale(g), scale(r), 0};
}

}  // namespace vorlino
