// Truevision Targa (.tga, .win, .vst, .vda, .icb).
//
// Image types 1 (colour-mapped), 2 (true colour) and 3 (grey), plain or run-length encoded (9, 10,
// 11); run-length packets may cross rows. Colour maps of 15, 16, 24 or 32-bit entries, with a first
// index; 8 or 16-bit indices. True colour of 15, 16, 24 and 32 bits (alpha kept in the fourth
// byte; the attribute bit of 16-bit pixels is ignored). Any origin: bottom-up or top-down, left to
// right or right to left. The file has no signature, so the header is checked field by field.
// Not read: 16-bit grey with alpha, the Huffman/quadtree types 32 and 33.
#include <vector>

#include "bitmap/checked.h"
#include "imagefile/decoders.h"
#include "imagefile/rows/pixel_rows.h"
#include "imagefile/rows/run_length.h"

namespace vorlino {
namespace {

struct TargaHeader {
  unsigned idLength, mapType, imageType, mapFirst, mapLength, mapEntryBits;
  unsigned width, height, depth, descriptor;
};

PaletteColor mapEntry(const std::uint8_t* p, unsigned bits, const PixelMasks& m555) {
  if (bits <= 16) {
    std::uint8_t bgr[3];
    convertPacked(p, 2, 1, m555, bgr, 1);
    return {bgr[0], bgr[1], bgr[2], 0};
  }
  return {p[0], p[1], p[2], 0};
}

}  // namespace

CodecResult readTarga(ByteReader& in, Bitmap& out, const DecodeLimits& limits) noexcept {
  return runCodec([&]() -> CodecResult {
    if (in.remaining() < 18) return CodecResult::fail(CodecError::ceSignature, "too short");
    TargaHeader h;
    h.idLength = in.u8();
    h.mapType = in.u8();
    h.imageType = in.u8();
    h.mapFirst = in.u16le();
    h.mapLength = in.u16le();
    h.mapEntryBits = in.u8();
    in.skip(4);  // screen origin
    h.width = in.u16le();
    h.height = in.u16le();
    h.depth = in.u8();
    h.descriptor = in.u8();

    const unsigned kind = h.imageType & 7;
    const bool rle = (h.imageType & 8) != 0;
    const bool knownType = (h.imageType & ~8u) >= 1 && (h.imageType & ~8u) <= 3;
    if (h.mapType > 1 || !knownType)
      return CodecResult::fail(CodecError::ceSignature, "not a Targa image type");
    const unsigned d = h.depth;
    const bool depthOk = kind == 1   ? (d == 8 || d == 16) && h.mapType == 1
                         : kind == 2 ? d == 15 || d == 16 || d == 24 || d == 32
                                     : d == 8;
    if (!depthOk) return CodecResult::fail(CodecError::ceUnsupported, "pixel depth");
    const unsigned e = h.mapEntryBits;
    if (kind == 1 && e != 15 && e != 16 && e != 24 && e != 32)
      return CodecResult::fail(CodecError::ceUnsupported, "colour map entry size");
    if (kind == 1 && h.mapLength == 0)
      return CodecResult::fail(CodecError::ceDamaged, "empty colour map");
    if (auto r = checkDimensions(h.width, h.height, limits); !r.ok()) return r;

    in.skip(h.idLength);
    const PixelMasks m555 = masks555();
    std::vector<PaletteColor> map;
    if (h.mapType == 1 && h.mapLength > 0) {
      const std::size_t entryBytes = (e + 7) / 8;  // a map beside true colour is only skipped
      const std::uint8_t* p = in.take(entryBytes * h.mapLength);
      if (!p) return CodecResult::fail(CodecError::ceDamaged, "colour map truncated");
      if (kind == 1) {
        // Indexed by pixel value: entries below the first index are black.
        map.resize(std::size_t{h.mapFirst} + h.mapLength);
        for (unsigned i = 0; i < h.mapLength; ++i, p += entryBytes)
          map[h.mapFirst + i] = mapEntry(p, e, m555);
      }
    }
    if (in.truncated()) return CodecResult::fail(CodecError::ceDamaged, "header truncated");

    const int pixelBytes = static_cast<int>((d + 7) / 8);
    const std::size_t w = h.width;
    const std::size_t pixels = w * h.height;
    const std::size_t needed = rle ? PixelPacketReader::minimumBytes(pixels, pixelBytes)
                                   : pixels * static_cast<std::size_t>(pixelBytes);
    if (in.remaining() < needed)
      return CodecResult::fail(CodecError::ceDamaged, "pixel data truncated");

    // 8-bit indices into a map that fits 256 entries stay a palette picture.
    const bool paletteOut = (kind == 1 && d == 8 && map.size() <= 256) || kind == 3;
    const int outBpp = paletteOut ? 8 : d == 32 ? 32 : 24;
    const int outBytes = outBpp / 8;
    Bitmap pic;
    pic.resetForOverwrite(static_cast<int>(w), static_cast<int>(h.height), outBpp);
    if (kind == 3) {
      pic.palette() = greyPalette(256);
    } else if (paletteOut) {
      map.resize(256);
      pic.palette() = map;
    }

    const bool topDown = (h.descriptor & 0x20) != 0;
    const bool rightToLeft = (h.descriptor & 0x10) != 0;
    const int step = rightToLeft ? -1 : 1;
    const std::size_t firstColumn = rightToLeft ? (w - 1) * static_cast<std::size_t>(outBytes) : 0;
    PixelPacketReader packets(in, pixelBytes);
    std::vector<std::uint8_t> rowBuffer(rle ? w * static_cast<std::size_t>(pixelBytes) : 0);
    const int height = static_cast<int>(h.height);
    for (int i = 0; i < height; ++i) {
      const std::uint8_t* src;
      if (rle) {
        if (!packets.read(rowBuffer.data(), w))
          return CodecResult::fail(CodecError::ceDamaged, "run-length data truncated");
        src = rowBuffer.data();
      } else {
        src = in.take(w * static_cast<std::size_t>(pixelBytes));
        if (!src) return CodecResult::fail(CodecError::ceDamaged, "pixel data truncated");
      }
      std::uint8_t* dst = pic.row(topDown ? i : height - 1 - i) + firstColumn;
      if (paletteOut || d == 24 || d == 32)
        copyPixels(src, pixelBytes, w, dst, step);
      else if (kind == 1)
        expandPalette(src, pixelBytes, w, map, dst, 3, step);
      else
        convertPacked(src, 2, w, m555, dst, step);
    }
    out.swap(pic);
    return CodecResult::success();
  });
}

}  // namespace vorlino
