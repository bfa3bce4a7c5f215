#include "imagefile/bmp_rle_writer.h"

#include <cstddef>
#include <cstdint>
#include <vector>

#include "imagefile/bmp_writer.h"
#include "imagefile/file_output.h"
#include "imagefile/palette/reduce_palette.h"
#include "imagefile/write_support.h"

namespace vorlino {
namespace {

constexpr std::size_t kMaxRun = 255;
constexpr std::uint32_t kDataOffset = 14 + 40 + 1024;

CodecResult writeRleBody(const Bitmap& bitmap, ByteWriter& out) {
  ByteWriter data;
  const std::size_t width = static_cast<std::size_t>(bitmap.width());
  for (int y = bitmap.height() - 1; y >= 0; --y) {
    encodeRle8Row(bitmap.row(y), width, data);
    data.u8(0);
    data.u8(0);  // end of line
  }
  data.u8(0);
  data.u8(1);  // end of bitmap
  if (data.size() > 0xFFFFFFFFu - kDataOffset)
    return CodecResult::fail(CodecError::ceTooLarge, "BMP file above 4 GiB");

  const auto size = static_cast<std::uint32_t>(data.size());
  BmpInfoHeader info;
  info.width = bitmap.width();
  info.height = bitmap.height();
  info.bitsPerPixel = 8;
  info.compression = 1;
  info.imageSize = size;
  info.colorsUsed = 256;
  out.reserve(out.size() + kDataOffset + size);
  writeBmpHeaders(out, info, kDataOffset, kDataOffset + size);
  for (std::size_t i = 0; i < 256; ++i) {
    const PaletteColor c = paletteEntry(bitmap, i);
    const std::uint8_t entry[4] = {c.blue, c.green, c.red, 0};
    out.write(entry, 4);
  }
  out.write(data.bytes().data(), size);
  return CodecResult::success();
}

}  // namespace

void encodeRle8Row(const std::uint8_t* row, std::size_t count, ByteWriter& out) {
  std::size_t i = 0;
  while (i < count) {
    std::size_t run = 1;
    while (i + run < count && run < kMaxRun && row[i + run] == row[i]) ++run;
    if (run >= 2) {
      out.u8(static_cast<std::uint8_t>(run));
      out.u8(row[i]);
      i += run;
      continue;
    }
    // Indices up to the next pair of equal neighbours (or the row's end).
    std::size_t literal = 1;
    while (i + literal < count && literal < kMaxRun &&
           !(i + literal + 1 < count && row[i + literal] == row[i + literal + 1]))
      ++literal;
    if (literal >= 3) {
      out.u8(0);
      out.u8(static_cast<std::uint8_t>(literal));
      out.write(row + i, literal);
      if (literal % 2) out.u8(0);  // absolute runs are padded to an even length
    } else {
      for (std::size_t k = 0; k < literal; ++k) {  // too short for an absolute run
        out.u8(1);
        out.u8(row[i + k]);
      }
    }
    i += literal;
  }
}

CodecResult WriteRle(const Bitmap& bitmap, ByteWriter& out, const RleOptions&) noexcept {
  return runCodec([&] {
    if (bitmap.empty()) return writeRleBody(Bitmap(bitmap.width(), bitmap.height(), 8), out);
    if (bitmap.isPaletted()) {
      if (bitmap.bitsPerPixel() == 8 && bitmap.palette().size() == 256)
        return writeRleBody(bitmap, out);
      return writeRleBody(paletteTo8Bits(bitmap), out);
    }
    Bitmap reduced(bitmap);
    ReduceToPalette(reduced, 256, kReduceDither | kReduceConvert);
    if (!reduced.isPaletted())
      return CodecResult::fail(CodecError::ceUnsupported, "palette reduction failed");
    if (reduced.bitsPerPixel() != 8) reduced = paletteTo8Bits(reduced);
    return writeRleBody(reduced, out);
  });
}

CodecResult WriteRleFile(const Bitmap& bitmap, const std::string& fileName) noexcept {
  ByteWriter out;
  CodecResult r = WriteRle(bitmap, out);
  if (!r.ok()) return r;
  return writeFileReplacing(fileName, out.bytes());
}

}  // namespace vorlino
