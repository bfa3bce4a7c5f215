// Paint Shop Pro image decoder.
//
// Reads file format versions 3 and later: the file header, the block tree ("~BK" blocks), the
// general image attributes, the colour palette, the composite image bank and the layer bank.
// When the bank holds a full-size composite image stored as channels (not JPEG), that is the
// picture; otherwise the raster layers are composited over white in file order (bottom first):
// normal blending, layer opacity, visibility and the layer's transparency mask. Other blend modes
// are drawn as normal; user masks, adjustment, vector and group layers are not applied. Channel
// data may be stored as is (rows padded to 4 bytes or not), run-length coded or deflated (LZ77).
// Images of 8 bits with a palette and of 24 bits are read; 8-bit images give an 8-bit palette
// bitmap when one opaque layer covers the canvas, 24 bits otherwise.
#include <algorithm>
#include <cstring>

#include "bitmap/checked.h"
#include "imagefile/decoders.h"
#include "imagefile/deflate/inflate_buffer.h"
#include "imagefile/rows/pixel_rows.h"
#include "imagefile/rows/run_length.h"

namespace vorlino {

namespace {

constexpr char kSignature[] = "Paint Shop Pro Image File\n\x1a";
constexpr std::size_t kFileHeaderBytes = 32;

enum BlockId {
  biImage = 0,
  biColour = 2,
  biLayerStart = 3,
  biLayer = 4,
  biChannel = 5,
  biCompositeImage = 9,
  biCompositeBank = 16,
  biCompositeAttributes = 17,
};
enum Compression { pcNone = 0, pcRle = 1, pcLz77 = 2 };
enum BitmapType { btImage = 0, btTransparencyMask = 1 };

struct Block {
  int id = -1;
  std::size_t data = 0;     // first byte of the block's data
  std::size_t initial = 0;  // length of the leading information chunk (version 3 only)
  std::size_t end = 0;      // one past the last byte of the block
};

// Reads the block header at the reader's position; the block must lie within `limit`.
bool readBlock(ByteReader& in, int major, std::size_t limit, Block& b) {
  if (limit - std::min(limit, in.position()) < (major <= 3 ? 14u : 10u)) return false;
  if (in.u32be() != 0x7E424B00) return false;  // "~BK\0"
  b.id = in.u16le();
  b.initial = major <= 3 ? in.u32le() : 0;
  const std::size_t total = in.u32le();
  b.data = in.position();
  if (total > limit - b.data) return false;
  b.end = b.data + total;
  return true;
}

struct Rect {
  std::int32_t left = 0, top = 0, right = 0, bottom = 0;
  std::int64_t width() const { return std::int64_t{right} - left; }
  std::int64_t height() const { return std::int64_t{bottom} - top; }
};

Rect readRect(ByteReader& in) {
  Rect r;
  r.left = in.i32le(), r.top = in.i32le(), r.right = in.i32le(), r.bottom = in.i32le();
  return r;
}

struct Channel {
  int bitmapType = 0, channelType = 0;
  const std::uint8_t* data = nullptr;
  std::size_t bytes = 0;
};

// A raster layer, or the composite image, ready to be drawn on the canvas.
struct Layer {
  std::int64_t x = 0, y = 0;  // top-left corner on the canvas
  std::size_t width = 0, height = 0;
  int opacity = 255;
  bool visible = true;
  int compression = pcNone;
  std::vector<Channel> channels;
};

struct ImageInfo {
  bool present = false;
  std::int32_t width = 0, height = 0;
  int compression = 0, bitDepth = 0;
};

// Reads the channel blocks between the reader's position and `end`.
bool readChannels(ByteReader& in, int major, std::size_t end, std::vector<Channel>& channels) {
  Block b;
  while (in.position() < end) {
    if (!readBlock(in, major, end, b)) return false;
    if (b.id == biChannel) {
      if (major > 3) b.initial = in.u32le();
      Channel c;
      c.bytes = in.u32le();
      in.skip(4);  // uncompressed length: not trusted, the layer size says it
      c.bitmapType = in.u16le();
      c.channelType = in.u16le();
      if (in.truncated() || b.initial > b.end - b.data || c.bytes > b.end - b.data - b.initial)
        return false;
      c.data = in.data() + b.data + b.initial;
      channels.push_back(c);
    }
    in.seek(b.end);
  }
  return true;
}

// Decodes one channel into width x height bytes.
bool decodeChannel(const Channel& c, int compression, std::size_t width, std::size_t height,
                   std::vector<std::uint8_t>& out) {
  const std::size_t count = width * height;
  out.resize(count);
  if (compression == pcLz77) return inflateInto(c.data, c.bytes, out.data(), count);
  ByteReader in(c.data, c.bytes);
  if (compression == pcRle) return RunDecoder(in, RunScheme::rsPaintShop).read(out.data(), count);
  // Stored rows are padded to 4 bytes by some writers and not by others: the length tells.
  const std::size_t padded = (width + 3) / 4 * 4;
  const std::size_t step = c.bytes >= padded * height ? padded : width;
  for (std::size_t y = 0; y < height; ++y) {
    in.seek(y * step);
    if (!in.read(out.data() + y * width, width)) return false;
  }
  return true;
}

// Most pixels that `bytes` of channel data can hold under a compression.
std::size_t channelCapacity(std::size_t bytes, int compression) {
  const std::size_t ratio = compression == pcLz77  ? kMaxInflateRatio
                            : compression == pcRle ? 64
                                                   : 1;
  return checkedMul(bytes + 1, ratio).value_or(SIZE_MAX);
}

class PspReader {
 public:
  PspReader(ByteReader& in, const DecodeLimits& limits) : in_(in), limits_(limits) {}
  CodecResult decode(Bitmap& out);

 private:
  bool readImageInfo(const Block& b);
  bool readPalette(const Block& b);
  bool readLayer(const Block& b);
  bool readCompositeBank(const Block& b);
  CodecResult draw(const Layer& layer, Bitmap& canvas, bool paletteOut);

  ByteReader& in_;
  const DecodeLimits& limits_;
  int major_ = 0;
  ImageInfo info_;
  std::vector<PaletteColor> palette_;
  std::vector<Layer> layers_;
  bool haveComposite_ = false;
  Layer composite_;
};

bool PspReader::readImageInfo(const Block& b) {
  in_.seek(b.data + (major_ > 3 ? 4 : 0));  // later versions start with the chunk size
  info_.width = in_.i32le();
  info_.height = in_.i32le();
  in_.skip(9);  // resolution and its unit
  info_.compression = in_.u16le();
  info_.bitDepth = in_.u16le();
  info_.present = !in_.truncated() && in_.position() <= b.end;
  return info_.present;
}

bool PspReader::readPalette(const Block& b) {
  // Later versions put the entry count in a chunk with its size; the entries follow the chunk.
  in_.seek(b.data);
  const std::size_t chunk = major_ > 3 ? in_.u32le() : 4;
  const std::size_t entries = in_.u32le();
  if (chunk > b.end - b.data) return false;
  in_.seek(b.data + chunk);
  if (entries > 256 || entries > (b.end - std::min(b.end, in_.position())) / 4) return false;
  palette_.assign(256, PaletteColor{});
  for (std::size_t i = 0; i < entries; ++i) {
    palette_[i].blue = in_.u8();
    palette_[i].green = in_.u8();
    palette_[i].red = in_.u8();
    in_.skip(1);
  }
  return !in_.truncated();
}

bool PspReader::readLayer(const Block& b) {
  Layer layer;
  Rect image, saved;
  int type = 0;
  in_.seek(b.data);
  std::size_t next = 0;
  if (major_ <= 3) {
    in_.skip(256);  // name
    type = in_.u8();
    image = readRect(in_);
    saved = readRect(in_);
    layer.opacity = in_.u8();
    in_.skip(1);  // blend mode
    layer.visible = in_.u8() != 0;
    if (b.initial > b.end - b.data) return false;
    next = b.data + b.initial;  // the channel blocks follow the information chunks
  } else {
    const std::size_t chunk = in_.u32le();
    in_.skip(in_.u16le());  // name
    type = in_.u8();
    image = readRect(in_);
    saved = readRect(in_);
    layer.opacity = in_.u8();
    in_.skip(1);  // blend mode
    layer.visible = (in_.u8() & 1) != 0;
    if (chunk > b.end - b.data) return false;
    in_.seek(b.data + chunk);
    // Extension blocks of later versions may come before the bitmap chunk.
    Block sub;
    while (in_.position() + 4 <= b.end && in_.data()[in_.position()] == '~') {
      if (!readBlock(in_, major_, b.end, sub)) return false;
      in_.seek(sub.end);
    }
    const std::size_t bitmapChunk = in_.position();
    const std::size_t size = in_.u32le();
    if (size > b.end - bitmapChunk) return false;
    next = bitmapChunk + size;
  }
  if (in_.truncated()) return false;
  const bool raster = major_ <= 3 ? type == 0 : type == 1;
  if (!raster) return true;
  // The saved rectangle, within the layer's rectangle, is where the pixels are.
  layer.x = std::int64_t{image.left} + saved.left;
  layer.y = std::int64_t{image.top} + saved.top;
  if (saved.width() < 0 || saved.height() < 0) return false;
  layer.width = static_cast<std::size_t>(saved.width());
  layer.height = static_cast<std::size_t>(saved.height());
  layer.compression = info_.compression;
  in_.seek(next);
  if (!readChannels(in_, major_, b.end, layer.channels)) return false;
  layers_.push_back(std::move(layer));
  return true;
}

bool PspReader::readCompositeBank(const Block& b) {
  in_.seek(b.data);
  const std::size_t chunk = in_.u32le();
  if (chunk > b.end - b.data) return false;
  in_.seek(b.data + chunk);
  Block sub;
  bool fullSize = false;
  int compression = pcNone;
  while (in_.position() < b.end) {
    if (!readBlock(in_, major_, b.end, sub)) return false;
    if (sub.id == biCompositeAttributes) {
      in_.skip(4);  // chunk size
      const std::int32_t width = in_.i32le(), height = in_.i32le();
      in_.skip(2);  // bit depth: that of the image
      compression = in_.u16le();
      in_.skip(6);                   // planes, colours
      const int kind = in_.u16le();  // 0 composite, 1 thumbnail
      fullSize = kind == 0 && width == info_.width && height == info_.height;
    } else if (sub.id == biCompositeImage && fullSize && !haveComposite_) {
      const std::size_t infoChunk = in_.u32le();
      if (infoChunk > sub.end - sub.data) return false;
      in_.seek(sub.data + infoChunk);
      Layer c;
      c.width = static_cast<std::size_t>(info_.width);
      c.height = static_cast<std::size_t>(info_.height);
      c.compression = compression;
      // A palette sub-block may precede the channels; readChannels passes over it.
      if (!readChannels(in_, major_, sub.end, c.channels)) return false;
      composite_ = std::move(c);
      haveComposite_ = true;
    }
    in_.seek(sub.end);
  }
  return !in_.truncated();
}

CodecResult PspReader::draw(const Layer& layer, Bitmap& canvas, bool paletteOut) {
  if (layer.width == 0 || layer.height == 0) return CodecResult::success();
  if (auto r = checkDimensions(layer.width, layer.height, limits_); !r.ok()) return r;
  const std::size_t count = layer.width * layer.height;
  // The colour channels in blue, green, red order (index channel for palette images).
  const Channel* colour[3] = {nullptr, nullptr, nullptr};
  const Channel* mask = nullptr;
  for (const Channel& c : layer.channels) {
    if (count > channelCapacity(c.bytes, layer.compression))
      return CodecResult::fail(CodecError::ceDamaged, "channel too short");
    if (c.bitmapType == btTransparencyMask) mask = &c;
    if (c.bitmapType != btImage) continue;
    if (info_.bitDepth == 8 && c.channelType == 0) colour[0] = &c;
    if (info_.bitDepth == 24 && c.channelType >= 1 && c.channelType <= 3)
      colour[3 - c.channelType] = &c;
  }
  const int needed = info_.bitDepth == 8 ? 1 : 3;
  for (int k = 0; k < needed; ++k)
    if (!colour[k]) return CodecResult::fail(CodecError::ceDamaged, "missing channel");
  std::vector<std::uint8_t> planes[4];
  for (int k = 0; k < needed; ++k)
    if (!decodeChannel(*colour[k], layer.compression, layer.width, layer.height, planes[k]))
      return CodecResult::fail(CodecError::ceDamaged, "channel data");
  if (mask && !decodeChannel(*mask, layer.compression, layer.width, layer.height, planes[3]))
    return CodecResult::fail(CodecError::ceDamaged, "mask data");

  if (paletteOut) {
    for (std::size_t y = 0; y < layer.height; ++y)
      std::memcpy(canvas.row(static_cast<int>(y)), planes[0].data() + y * layer.width, layer.width);
    return CodecResult::success();
  }
  // Clip to the canvas, then blend row by row.
  const std::int64_t x0 = std::max<std::int64_t>(layer.x, 0);
  const std::int64_t y0 = std::max<std::int64_t>(layer.y, 0);
  const std::int64_t x1 =
      std::min<std::int64_t>(layer.x + static_cast<std::int64_t>(layer.width), canvas.width());
  const std::int64_t y1 =
      std::min<std::int64_t>(layer.y + static_cast<std::int64_t>(layer.height), canvas.height());
  for (std::int64_t y = y0; y < y1; ++y) {
    const std::size_t src = static_cast<std::size_t>(y - layer.y) * layer.width;
    std::uint8_t* px = canvas.row(static_cast<int>(y)) + 3 * x0;
    for (std::int64_t x = x0; x < x1; ++x, px += 3) {
      const std::size_t i = src + static_cast<std::size_t>(x - layer.x);
      const unsigned a =
          mask ? layer.opacity * planes[3][i] / 255u : static_cast<unsigned>(layer.opacity);
      std::uint8_t c[3];
      if (needed == 1) {
        const PaletteColor& p = palette_[planes[0][i]];
        c[0] = p.blue, c[1] = p.green, c[2] = p.red;
      } else {
        c[0] = planes[0][i], c[1] = planes[1][i], c[2] = planes[2][i];
      }
      for (int k = 0; k < 3; ++k)
        px[k] = static_cast<std::uint8_t>(px[k] + (static_cast<int>(c[k]) - px[k]) *
                                                      static_cast<int>(a) / 255);
    }
  }
  return CodecResult::success();
}

CodecResult PspReader::decode(Bitmap& out) {
  const std::uint8_t* sig = in_.take(kFileHeaderBytes);
  if (!sig || std::memcmp(sig, kSignature, sizeof kSignature - 1) != 0)
    return CodecResult::fail(CodecError::ceSignature, "not a Paint Shop Pro image");
  major_ = in_.u16le();
  in_.skip(2);
  if (major_ < 3) return CodecResult::fail(CodecError::ceUnsupported, "file format version");

  Block b;
  while (in_.remaining() > 0) {
    if (!readBlock(in_, major_, in_.size(), b))
      return CodecResult::fail(CodecError::ceDamaged, "bad block");
    bool ok = true;
    if (b.id == biImage) {
      ok = readImageInfo(b);
    } else if (b.id == biColour) {
      ok = readPalette(b);
    } else if (b.id == biCompositeBank && major_ > 3 && info_.present) {
      ok = readCompositeBank(b);
    } else if (b.id == biLayerStart && info_.present) {
      in_.seek(b.data);
      Block layer;
      while (ok && in_.position() < b.end) {
        ok = readBlock(in_, major_, b.end, layer);
        if (ok && layer.id == biLayer) ok = readLayer(layer);
        in_.seek(layer.end);
      }
    }
    if (!ok || in_.truncated()) return CodecResult::fail(CodecError::ceDamaged, "bad block data");
    in_.seek(b.end);
  }

  if (!info_.present) return CodecResult::fail(CodecError::ceDamaged, "no image attributes");
  if (info_.bitDepth != 8 && info_.bitDepth != 24)
    return CodecResult::fail(CodecError::ceUnsupported, "bit depth");
  if (info_.compression > pcLz77)
    return CodecResult::fail(CodecError::ceUnsupported, "compression");
  if (info_.width <= 0 || info_.height <= 0)
    return CodecResult::fail(CodecError::ceDamaged, "size");
  if (auto r = checkDimensions(static_cast<std::uint64_t>(info_.width),
                               static_cast<std::uint64_t>(info_.height), limits_);
      !r.ok())
    return r;
  if (info_.bitDepth == 8 && palette_.empty()) palette_ = greyPalette(256);

  std::vector<const Layer*> shown;
  if (haveComposite_) {
    shown.push_back(&composite_);
  } else {
    for (const Layer& l : layers_)
      if (l.visible && l.opacity > 0) shown.push_back(&l);
  }
  if (shown.empty()) return CodecResult::fail(CodecError::ceUnsupported, "no raster image");
  // One opaque layer covering the canvas keeps the palette of an 8-bit image.
  const Layer& first = *shown.front();
  const bool paletteOut =
      info_.bitDepth == 8 && shown.size() == 1 && first.opacity == 255 && first.x == 0 &&
      first.y == 0 && first.width == static_cast<std::size_t>(info_.width) &&
      first.height == static_cast<std::size_t>(info_.height) &&
      std::none_of(first.channels.begin(), first.channels.end(),
                   [](const Channel& c) { return c.bitmapType == btTransparencyMask; });
  Bitmap canvas;
  canvas.reset(info_.width, info_.height, paletteOut ? 8 : 24);
  if (paletteOut) {
    canvas.palette() = palette_;
  } else {
    for (int y = 0; y < canvas.height(); ++y)
      std::memset(canvas.row(y), 255, 3 * static_cast<std::size_t>(canvas.width()));
  }
  for (const Layer* l : shown)
    if (auto r = draw(*l, canvas, paletteOut); !r.ok()) return r;
  out = std::move(canvas);
  return CodecResult::success();
}

}  // namespace

CodecResult readPsp(ByteReader& in, Bitmap& out, const DecodeLimits& limits) noexcept {
  return runCodec([&] { return PspReader(in, limits).decode(out); });
}

}  // namespace vorlino
