// Alias/Wavefront RLA decoder.
//
// Reads the 740-byte header, the table of scanline offsets and, per scanline, one length-prefixed
// run-length record per channel: the colour channels, then the matte channels (auxiliary channels
// are not read). Samples of 1 to 16 bits are scaled to 8 bits; a sample wider than 8 bits is coded
// as its bytes in separate runs, most significant byte first. The picture is the active window,
// stored bottom-up. Three or more colour channels give 24 bits, or 32 with the first matte channel
// as alpha; one or two give grey (with alpha); a file with a matte but no colour shows the matte
// as a grey picture. The colour, premultiplied in the file, is divided by the alpha.
// Floating-point samples are not read.
#include <cstring>

#include "bitmap/checked.h"
#include "imagefile/decoders.h"
#include "imagefile/rows/pixel_rows.h"
#include "imagefile/rows/run_length.h"

namespace vorlino {

namespace {

constexpr std::size_t kHeaderBytes = 740;

struct RlaHeader {
  int width = 0, height = 0;
  int colourChannels = 0, matteChannels = 0;
  int colourBits = 8, matteBits = 8;
  bool floatingPoint = false;
};

std::int16_t s16(ByteReader& in) {
  return static_cast<std::int16_t>(in.u16be());
}

// Reads one channel record of a scanline and scales its samples to 8 bits.
bool readChannel(ByteReader& in, std::size_t width, int bits, std::vector<std::uint8_t>& coded,
                 std::uint8_t* dst) {
  const std::size_t length = in.u16be();
  const std::uint8_t* data = in.take(length);
  if (!data) return false;
  ByteReader record(data, length);
  RunDecoder runs(record, RunScheme::rsSignedRuns);
  const std::size_t sampleBytes = bits > 8 ? 2 : 1;
  if (!runs.read(coded.data(), width * sampleBytes)) return false;
  if (sampleBytes == 1) {
    if (bits == 8) {
      std::memcpy(dst, coded.data(), width);
    } else {
      const unsigned top = (1u << bits) - 1;
      for (std::size_t x = 0; x < width; ++x)
        dst[x] =
            static_cast<std::uint8_t>((std::min<unsigned>(coded[x], top) * 255 + top / 2) / top);
    }
  } else {
    const unsigned top = (1u << bits) - 1;
    const std::uint8_t* high = coded.data();
    const std::uint8_t* low = coded.data() + width;
    for (std::size_t x = 0; x < width; ++x) {
      const unsigned v = std::min<unsigned>((unsigned{high[x]} << 8) | low[x], top);
      dst[x] = static_cast<std::uint8_t>((v * 255 + top / 2) / top);
    }
  }
  return true;
}

// The colour of an RLA file is premultiplied by its matte; the bitmap's alpha is straight.
void unpremultiply(std::uint8_t* row, std::size_t width) {
  for (std::size_t x = 0; x < width; ++x) {
    std::uint8_t* px = row + 4 * x;
    const unsigned a = px[3];
    if (a == 0 || a == 255) continue;
    for (int k = 0; k < 3; ++k)
      px[k] = static_cast<std::uint8_t>(std::min<unsigned>(255, (px[k] * 255u) / a));
  }
}

CodecResult decodeRla(ByteReader& in, Bitmap& out, const DecodeLimits& limits) {
  if (in.size() < kHeaderBytes) return CodecResult::fail(CodecError::ceSignature, "not RLA");
  RlaHeader h;
  in.seek(8);  // the full window; the picture is the active window that follows
  const int left = s16(in), right = s16(in), bottom = s16(in), top = s16(in);
  in.skip(2);  // frame number
  h.floatingPoint = s16(in) == 4;
  h.colourChannels = s16(in);
  h.matteChannels = s16(in);
  in.seek(658);
  const int channelBits = s16(in);
  in.skip(2);
  const int matteBits = s16(in);
  if (channelBits) h.colourBits = channelBits;  // 0 in files of the oldest revision: 8 bits
  if (matteBits) h.matteBits = matteBits;
  in.seek(kHeaderBytes);
  if (right < left || top < bottom) return CodecResult::fail(CodecError::ceDamaged, "bad window");
  if (h.colourChannels < 0 || h.matteChannels < 0 || h.colourChannels + h.matteChannels == 0)
    return CodecResult::fail(CodecError::ceDamaged, "channel counts");
  if (h.floatingPoint)
    return CodecResult::fail(CodecError::ceUnsupported, "floating-point samples");
  if (h.colourBits < 1 || h.colourBits > 16 || h.matteBits < 1 || h.matteBits > 16)
    return CodecResult::fail(CodecError::ceUnsupported, "sample size");
  h.width = right - left + 1;
  h.height = top - bottom + 1;
  if (auto r = checkDimensions(static_cast<std::uint64_t>(h.width),
                               static_cast<std::uint64_t>(h.height), limits);
      !r.ok())
    return r;
  const std::size_t width = static_cast<std::size_t>(h.width);
  const std::size_t height = static_cast<std::size_t>(h.height);
  // Every scanline has an offset and at least a length word per channel read.
  if (height > in.remaining() / 4)
    return CodecResult::fail(CodecError::ceDamaged, "file too short");

  const bool colour = h.colourChannels > 0;
  const bool grey = !colour || h.colourChannels < 3;
  const bool alpha = colour && h.matteChannels > 0;
  const int outBits = grey && !alpha ? 8 : alpha ? 32 : 24;
  const std::size_t pixelBytes = static_cast<std::size_t>(outBits / 8);
  Bitmap bmp;
  bmp.reset(h.width, h.height, outBits);
  if (outBits == 8) bmp.palette() = greyPalette(256);

  std::vector<std::uint32_t> offsets(height);
  for (auto& o : offsets) o = in.u32be();
  std::vector<std::uint8_t> coded(2 * width);
  std::vector<std::uint8_t> plane(width);
  const int colourRead = h.colourChannels >= 3 ? 3 : colour ? 1 : 0;
  for (std::size_t i = 0; i < height; ++i) {
    in.seek(offsets[i]);
    std::uint8_t* row =
        bmp.row(static_cast<int>(height - 1 - i));  // the first scanline is the bottom one
    for (int c = 0; c < colourRead + (alpha || !colour ? 1 : 0); ++c) {
      const bool matte = c >= colourRead;
      if (!readChannel(in, width, matte ? h.matteBits : h.colourBits, coded, plane.data()))
        return CodecResult::fail(CodecError::ceDamaged, "truncated scanline");
      if (outBits == 8) {
        std::memcpy(row, plane.data(), width);
      } else if (matte) {
        interleavePlane(plane.data(), width, row + 3, 4);
        unpremultiply(row, width);
      } else if (grey) {
        for (int k = 0; k < 3; ++k)
          interleavePlane(plane.data(), width, row + k, static_cast<int>(pixelBytes));
      } else {
        interleavePlane(plane.data(), width, row + 2 - c, static_cast<int>(pixelBytes));
      }
      // Colour channels not shown (a fourth, or the second of two) lie before the matte.
      if (alpha && c == colourRead - 1)
        for (int skip = colourRead; skip < h.colourChannels; ++skip) in.skip(in.u16be());
    }
  }
  out = std::move(bmp);
  return CodecResult::success();
}

}  // namespace

CodecResult readRla(ByteReader& in, Bitmap& out, const DecodeLimits& limits) noexcept {
  return runCodec([&] { return decodeRla(in, out, limits); });
}

}  // namespace vorlino
