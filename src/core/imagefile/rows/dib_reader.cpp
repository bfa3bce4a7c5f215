// The device-independent bitmap reader behind the BMP and icon decoders and the bitmaps inside
// metafiles.
#include "imagefile/rows/dib_reader.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "bitmap/checked.h"
#include "imagefile/rows/pixel_rows.h"
#include "imagefile/rows/run_length.h"

namespace vorlino {
namespace {

enum : std::uint32_t {
  kRgb = 0,
  kRle8 = 1,
  kRle4 = 2,
  kBitFields = 3,
  kJpeg = 4,
  kPng = 5,
  kAlphaBitFields = 6,
};

struct InfoHeader {
  std::uint32_t size = 0;
  std::int64_t width = 0;
  std::int64_t height = 0;  // negative: rows stored top-down
  unsigned bitCount = 0;
  std::uint32_t compression = kRgb;
  std::uint32_t colorsUsed = 0;
  std::uint32_t masks[3] = {};  // red, green, blue
  bool hasMasks = false;
  bool os2 = false;  // OS/2 headers: 1.x has 3-byte palette entries, 2.x other compressions
};

bool knownHeaderSize(std::uint32_t size) {
  return size == 12 || (size >= 16 && size <= 124);
}

CodecResult parseHeader(ByteReader& in, InfoHeader& h) {
  h.size = in.u32le();
  if (!knownHeaderSize(h.size))
    return CodecResult::fail(CodecError::ceSignature, "unknown bitmap header size");
  if (h.size == 12) {
    h.width = in.u16le();
    h.height = in.u16le();
    in.u16le();  // planes
    h.bitCount = in.u16le();
    h.os2 = true;
  } else {
    // Shorter OS/2 2.x headers leave out trailing fields, which then read as zero.
    std::uint8_t raw[124] = {};
    in.read(raw, h.size - 4);
    ByteReader f(raw, sizeof raw);
    h.width = f.i32le();
    h.height = f.i32le();
    f.u16le();  // planes
    h.bitCount = f.u16le();
    h.compression = f.u32le();
    f.skip(12);  // image size, resolution
    h.colorsUsed = f.u32le();
    f.u32le();  // important colours
    if (h.size >= 52) {
      h.masks[0] = f.u32le();
      h.masks[1] = f.u32le();
      h.masks[2] = f.u32le();
      h.hasMasks = true;
    }
    h.os2 = h.size != 40 && h.size != 52 && h.size != 56 && h.size < 108;
  }
  if (in.truncated()) return CodecResult::fail(CodecError::ceDamaged, "bitmap header truncated");
  return CodecResult::success();
}

bool standardMasks32(const InfoHeader& h) {
  return h.masks[0] == 0x00FF0000 && h.masks[1] == 0x0000FF00 && h.masks[2] == 0x000000FF;
}

}  // namespace

CodecResult readDib(ByteReader& in, const DibLayout& layout, Bitmap& out,
                    const DecodeLimits& limits, DibFacts* facts) {
  const std::size_t headerStart = in.position();
  InfoHeader h;
  if (auto r = parseHeader(in, h); !r.ok()) return r;

  const unsigned bpp = h.bitCount;
  if (bpp != 1 && bpp != 2 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32)
    return CodecResult::fail(CodecError::ceUnsupported, "unsupported bit count");
  const std::uint32_t comp = h.compression;
  const bool rle = comp == kRle8 || comp == kRle4;
  if (comp == kRle8 && bpp != 8) return CodecResult::fail(CodecError::ceDamaged, "RLE8 not 8 bits");
  if (comp == kRle4 && bpp != 4) return CodecResult::fail(CodecError::ceDamaged, "RLE4 not 4 bits");
  if (h.os2 && (comp == kBitFields || comp == kJpeg))
    return CodecResult::fail(CodecError::ceUnsupported, "OS/2 Huffman or RLE24 compression");
  if (comp == kJpeg || comp == kPng)
    return CodecResult::fail(CodecError::ceUnsupported, "embedded JPEG or PNG");
  if (comp > kAlphaBitFields) return CodecResult::fail(CodecError::ceUnsupported, "compression");
  const bool bitFields = comp == kBitFields || comp == kAlphaBitFields;
  if (bitFields && bpp != 16 && bpp != 32)
    return CodecResult::fail(CodecError::ceDamaged, "bit fields need 16 or 32 bits");
  if (layout.icon && (rle || h.height < 0))
    return CodecResult::fail(CodecError::ceUnsupported, "icon image layout");

  // Masks of a Windows 3.x header follow it.
  if (bitFields && !h.hasMasks) {
    h.masks[0] = in.u32le();
    h.masks[1] = in.u32le();
    h.masks[2] = in.u32le();
    if (comp == kAlphaBitFields) in.u32le();
    if (in.truncated()) return CodecResult::fail(CodecError::ceDamaged, "masks truncated");
  }

  const bool topDown = h.height < 0;
  const std::int64_t width = h.width;
  std::int64_t height = topDown ? -h.height : h.height;
  if (layout.icon) height /= 2;
  if (width <= 0 || height <= 0) return CodecResult::fail(CodecError::ceDamaged, "bad size");
  if (auto r = checkDimensions(static_cast<std::uint64_t>(width),
                               static_cast<std::uint64_t>(height), limits);
      !r.ok())
    return r;
  const int w = static_cast<int>(width);
  const int ht = static_cast<int>(height);

  // Palette, clipped to what the depth can index and to the bytes before the pixels.
  std::vector<PaletteColor> palette;
  const std::size_t paletteStart = in.position();
  const std::size_t entryBytes = layout.paletteIndices ? 2 : h.size == 12 ? 3 : 4;
  if (bpp <= 8) {
    std::size_t entries = std::size_t{1} << bpp;
    if (h.colorsUsed != 0 && h.colorsUsed < entries) entries = h.colorsUsed;
    if (layout.pixelOffset > paletteStart)
      entries = std::min(entries, (layout.pixelOffset - paletteStart) / entryBytes);
    // Pixels kept apart: some writers declare a full table but store fewer entries.
    if (layout.pixels != nullptr) entries = std::min(entries, in.remaining() / entryBytes);
    palette.resize(std::size_t{1} << bpp);
    for (std::size_t i = 0; i < entries; ++i) {
      PaletteColor& c = palette[i];
      if (layout.paletteIndices) {
        c.blue = c.green = c.red = static_cast<std::uint8_t>(in.u16le());
        continue;
      }
      c.blue = in.u8();
      c.green = in.u8();
      c.red = in.u8();
      if (entryBytes == 4) in.u8();
    }
    if (in.truncated()) return CodecResult::fail(CodecError::ceDamaged, "palette truncated");
  }

  // The pixels start at the offset the file header gives when it is plausible, else right after
  // the palette (packed DIBs, and files whose offset field is zero or wrong).
  std::size_t pixelStart = in.position();
  // Deeper pictures may carry an optional colour table, which packed DIBs must step over.
  if (bpp > 8 && h.colorsUsed > 0)
    pixelStart += std::min<std::size_t>(in.remaining(), entryBytes * h.colorsUsed);
  if (layout.pixelOffset >= headerStart + h.size && layout.pixelOffset < in.size())
    pixelStart = layout.pixelOffset;
  in.seek(pixelStart);
  // The pixels come from `in` after the header, or from the block the caller keeps apart.
  ByteReader apart(layout.pixels, layout.pixelBytes);
  ByteReader& px = layout.pixels != nullptr ? apart : in;

  // Output depth: palettes stay palettes (2 bits become 8), plain 32 bits stays 32, the rest 24.
  const bool copy32 = bpp == 32 && (!bitFields || standardMasks32(h));
  const int outBpp = bpp == 2 ? 8 : bpp <= 8 ? static_cast<int>(bpp) : copy32 ? 32 : 24;
  Bitmap pic;

  if (rle) {
    if (px.remaining() < 2) return CodecResult::fail(CodecError::ceDamaged, "no RLE data");
    pic.reset(w, ht, outBpp);
    if (auto r = decodeBmpRle(px, bpp, !topDown, pic); !r.ok()) return r;
  } else {
    const auto stride = rowStride(static_cast<std::size_t>(w), bpp);
    const auto used = checkedMul(static_cast<std::size_t>(w), bpp);
    const auto all = bitmapBytes(static_cast<std::size_t>(w), static_cast<std::size_t>(ht), bpp);
    if (!stride || !used || !all) return CodecResult::fail(CodecError::ceTooLarge, "size");
    const std::size_t rowBytes = (*used + 7) / 8;
    // The last row may lack its padding; every other byte must be there.
    if (px.remaining() < *all - *stride + rowBytes)
      return CodecResult::fail(CodecError::ceDamaged, "pixel data truncated");
    pic.resetForOverwrite(w, ht, outBpp);
    PixelMasks masks = masks555();
    if (bitFields)
      masks = {ChannelMask(h.masks[0]), ChannelMask(h.masks[1]), ChannelMask(h.masks[2])};
    else if (bpp == 32)
      masks = {ChannelMask(0xFF0000), ChannelMask(0xFF00), ChannelMask(0xFF)};
    const std::uint8_t* src = px.data() + px.position();
    for (int i = 0; i < ht; ++i, src += *stride) {
      std::uint8_t* dst = pic.row(topDown ? i : ht - 1 - i);
      switch (bpp) {
        case 1:
        case 4:
        case 8:
          std::memcpy(dst, src, rowBytes);
          break;
        case 2:
          unpackIndices(src, 2, static_cast<std::size_t>(w), dst);
          break;
        case 16:
          convertPacked(src, 2, static_cast<std::size_t>(w), masks, dst, 1);
          break;
        case 24:
          copyPixels(src, 3, static_cast<std::size_t>(w), dst, 1);
          break;
        default:
          if (copy32)
            copyPixels(src, 4, static_cast<std::size_t>(w), dst, 1);
          else
            convertPacked(src, 4, static_cast<std::size_t>(w), masks, dst, 1);
      }
    }
    px.seek(std::min(px.size(), px.position() + *all));
    if (outBpp == 32 && !layout.icon) makeOpaque(pic);
  }
  if (outBpp <= 8) {
    palette.resize(std::size_t{1} << outBpp);
    pic.palette() = std::move(palette);
  }
  out.swap(pic);
  if (facts != nullptr) {
    facts->topDown = topDown;
    facts->bitCount = bpp;
  }
  return CodecResult::success();
}

}  // namespace vorlino
