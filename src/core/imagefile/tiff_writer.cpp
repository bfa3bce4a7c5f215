#include "imagefile/tiff_writer.h"

#include <cstddef>
#include <cstdint>
#include <vector>

#include "bitmap/checked.h"
#include "imagefile/file_output.h"
#include "imagefile/write_support.h"

namespace vorlino {
namespace {

enum TiffType : std::uint16_t { kAscii = 2, kShort = 3, kLong = 4, kRational = 5 };

constexpr std::uint32_t kResolutionNumerator = 877;
constexpr std::uint32_t kResolutionDenominator = 10;
constexpr char kSoftware[10] = {'Q', 'u', 'e', 'n', 'd', 'a', 'l', 'i', 'n', 'e'};
constexpr std::uint16_t kEntryCount = 15;

struct Entry {
  std::uint16_t tag;
  std::uint16_t type;
  std::uint32_t count;
  std::uint32_t value;  // a SHORT value sits in the low two bytes
};

void writeHeader(ByteWriter& out) {
  out.u8('I');
  out.u8('I');
  out.u16le(42);
  out.u32le(8);  // patched once the directory's place is known
}

void writeResolutions(ByteWriter& out) {
  for (int axis = 0; axis < 2; ++axis) {
    out.u32le(kResolutionNumerator);
    out.u32le(kResolutionDenominator);
  }
}

template <std::size_t N>
void writeEntries(ByteWriter& out, const Entry (&entries)[N]) {
  out.u16le(static_cast<std::uint16_t>(N));
  for (const Entry& e : entries) {
    out.u16le(e.tag);
    out.u16le(e.type);
    out.u32le(e.count);
    out.u32le(e.value);
  }
  out.u32le(0);
}

template <std::size_t N>
void writeDirectory(ByteWriter& out, const Entry (&entries)[N]) {
  // No padding byte: the directory may start at an odd offset.
  const std::size_t at = out.size();
  writeEntries(out, entries);
  out.patchU32le(4, static_cast<std::uint32_t>(at));
}

constexpr std::uint32_t kRgbXRes = 8, kRgbYRes = 16, kRgbBitsPerSample = 24, kRgbSoftwareAt = 30;

CodecResult writePaletteTiff(const Bitmap& bitmap, ByteWriter& out, std::uint32_t width,
                             std::uint32_t height) {
  constexpr std::uint32_t kColorMap = 8, kXRes = 1544, kYRes = 1552, kSoftwareAt = 1560,
                          kPixels = 1570;
  const std::uint32_t pixelBytes = width * height;  // both sides are at most 65535
  out.reserve(std::size_t{kPixels} + pixelBytes + 2 + 12 * kEntryCount + 4);
  writeHeader(out);
  // 256 reds, then 256 greens, then 256 blues, each component in the high byte.
  for (int channel = 0; channel < 3; ++channel)
    for (std::size_t i = 0; i < 256; ++i) {
      const PaletteColor c = paletteEntry(bitmap, i);
      const std::uint8_t v = channel == 0 ? c.red : channel == 1 ? c.green : c.blue;
      out.u16le(static_cast<std::uint16_t>(v << 8));
    }
  writeResolutions(out);
  out.write(kSoftware, sizeof kSoftware);
  for (int y = 0; y < bitmap.height(); ++y) out.write(bitmap.row(y), width);
  const Entry entries[kEntryCount] = {
      {254, kLong, 1, 0},
      {256, kShort, 1, width},
      {257, kShort, 1, height},
      {258, kShort, 1, 8},
      {259, kShort, 1, 1},
      {262, kShort, 1, 3},
      {273, kLong, 1, kPixels},
      {277, kShort, 1, 1},
      {278, kLong, 1, height},
      {279, kLong, 1, pixelBytes},
      {282, kRational, 1, kXRes},
      {283, kRational, 1, kYRes},
      {296, kShort, 1, 2},
      {305, kAscii, sizeof kSoftware, kSoftwareAt},
      {320, kShort, 768, kColorMap},
  };
  writeDirectory(out, entries);
  return CodecResult::success();
}

CodecResult writeRgbTiff(const Bitmap& bitmap, ByteWriter& out, std::uint32_t width,
                         std::uint32_t height) {
  const auto pixelBytes = rgbTiffPixelBytes(width, height);
  if (!pixelBytes) return CodecResult::fail(CodecError::ceTooLarge, "TIFF file above 4 GiB");
  out.reserve(kRgbTiffPixelsAt + *pixelBytes + 2 + 12 * kEntryCount + 4);
  writeRgbTiffHead(out);
  std::vector<std::uint8_t> rgb(std::size_t{3} * width);
  for (int y = 0; y < bitmap.height(); ++y) {
    bgrToRgbTiffRow(bitmap.row(y), width, rgb.data());
    out.write(rgb.data(), rgb.size());
  }
  const std::size_t at = out.size();
  writeRgbTiffDirectory(out, width, height);
  out.patchU32le(4, static_cast<std::uint32_t>(at));
  return CodecResult::success();
}

// Blue, green, red, alpha pixels as red, green, blue, alpha samples. The alpha is straight (the
// colours are the photo's, not multiplied by it): ExtraSamples says "unassociated".
CodecResult writeRgbaTiff(const Bitmap& bitmap, ByteWriter& out, std::uint32_t width,
                          std::uint32_t height) {
  constexpr std::uint32_t kXRes = 8, kYRes = 16, kBitsPerSample = 24, kSoftwareAt = 32,
                          kPixels = 42;
  constexpr std::uint16_t kUnassociatedAlpha = 2;
  const auto pixelBytes = checkedMul(std::size_t{4} * width, height);
  if (!pixelBytes || *pixelBytes > 0xFFFFFFFFu - kPixels - 200)
    return CodecResult::fail(CodecError::ceTooLarge, "TIFF file above 4 GiB");
  out.reserve(kPixels + *pixelBytes + 2 + 12 * (kEntryCount + 1) + 4);
  writeHeader(out);
  writeResolutions(out);
  for (int sample = 0; sample < 4; ++sample) out.u16le(8);
  out.write(kSoftware, sizeof kSoftware);
  std::vector<std::uint8_t> rgba(std::size_t{4} * width);
  for (int y = 0; y < bitmap.height(); ++y) {
    const std::uint8_t* src = bitmap.row(y);
    for (std::size_t x = 0; x < width; ++x) {
      rgba[4 * x] = src[4 * x + 2];
      rgba[4 * x + 1] = src[4 * x + 1];
      rgba[4 * x + 2] = src[4 * x];
      rgba[4 * x + 3] = src[4 * x + 3];
    }
    out.write(rgba.data(), rgba.size());
  }
  const Entry entries[kEntryCount + 1] = {
      {254, kLong, 1, 0},
      {256, kShort, 1, width},
      {257, kShort, 1, height},
      {258, kShort, 4, kBitsPerSample},
      {259, kShort, 1, 1},
      {262, kShort, 1, 2},
      {273, kLong, 1, kPixels},
      {277, kShort, 1, 4},
      {278, kLong, 1, height},
      {279, kLong, 1, static_cast<std::uint32_t>(*pixelBytes)},
      {282, kRational, 1, kXRes},
      {283, kRational, 1, kYRes},
      {284, kShort, 1, 1},
      {296, kShort, 1, 2},
      {305, kAscii, sizeof kSoftware, kSoftwareAt},
      {338, kShort, 1, kUnassociatedAlpha},
  };
  writeDirectory(out, entries);
  return CodecResult::success();
}

CodecResult writeTiffBody(const Bitmap& bitmap, ByteWriter& out) {
  const auto width = static_cast<std::uint32_t>(bitmap.width());
  const auto height = static_cast<std::uint32_t>(bitmap.height());
  if (bitmap.bitsPerPixel() == 8) return writePaletteTiff(bitmap, out, width, height);
  if (bitmap.bitsPerPixel() == 32) return writeRgbaTiff(bitmap, out, width, height);
  return writeRgbTiff(bitmap, out, width, height);
}

}  // namespace

std::optional<std::uint32_t> rgbTiffPixelBytes(std::uint32_t width, std::uint32_t height) {
  const auto bytes = checkedMul(std::size_t{3} * width, height);
  if (!bytes || *bytes > 0xFFFFFFFFu - kRgbTiffPixelsAt - 200) return std::nullopt;
  return static_cast<std::uint32_t>(*bytes);
}

void writeRgbTiffHead(ByteWriter& out) {
  writeHeader(out);
  writeResolutions(out);
  out.u16le(8);
  out.u16le(8);
  out.u16le(8);
  out.write(kSoftware, sizeof kSoftware);
}

void bgrToRgbTiffRow(const std::uint8_t* bgr, std::uint32_t width, std::uint8_t* rgb) {
  for (std::size_t x = 0; x < width; ++x) {
    rgb[3 * x] = bgr[3 * x + 2];
    rgb[3 * x + 1] = bgr[3 * x + 1];
    rgb[3 * x + 2] = bgr[3 * x];
  }
}

void writeRgbTiffDirectory(ByteWriter& out, std::uint32_t width, std::uint32_t height) {
  const Entry entries[kEntryCount] = {
      {254, kLong, 1, 0},
      {256, kShort, 1, width},
      {257, kShort, 1, height},
      {258, kShort, 3, kRgbBitsPerSample},
      {259, kShort, 1, 1},
      {262, kShort, 1, 2},
      {273, kLong, 1, kRgbTiffPixelsAt},
      {277, kShort, 1, 3},
      {278, kLong, 1, height},
      {279, kLong, 1, 3 * width * height},
      {282, kRational, 1, kRgbXRes},
      {283, kRational, 1, kRgbYRes},
      {284, kShort, 1, 1},
      {296, kShort, 1, 2},
      {305, kAscii, sizeof kSoftware, kRgbSoftwareAt},
  };
  writeEntries(out, entries);
}

CodecResult WriteTiff(const Bitmap& bitmap, ByteWriter& out, const TiffOptions&) noexcept {
  return runCodec([&] {
    return writeAs8Or24Or32Bits(bitmap, [&](const Bitmap& b) { return writeTiffBody(b, out); });
  });
}

CodecResult WriteTiffFile(const Bitmap& bitmap, const std::string& fileName) noexcept {
  ByteWriter out;
  CodecResult r = WriteTiff(bitmap, out);
  if (!r.ok()) return r;
  return writeFileReplacing(fileName, out.bytes());
}

}  // namespace vorlino
