#include "imagefile/write_png.h"

#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "imagefile/write_support.h"

namespace vorlino {
namespace {

constexpr std::size_t kIdatSize = 65535;
constexpr std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr std::uint8_t kFilterSub = 1;

void writeChunk(ByteWriter& out, const char (&type)[5], const std::uint8_t* data,
                std::size_t size) {
  out.u32be(static_cast<std::uint32_t>(size));
  out.write(type, 4);
  if (size) out.write(data, size);
  uLong crc = crc32(0, reinterpret_cast<const Bytef*>(type), 4);
  if (size) crc = crc32_z(crc, data, size);
  out.u32be(static_cast<std::uint32_t>(crc));
}

class Deflater {
 public:
  explicit Deflater(int level) {
    if (deflateInit(&stream_, level) != Z_OK) throw std::bad_alloc();
    ready_ = true;
  }
  Deflater(const Deflater&) = delete;
  Deflater& operator=(const Deflater&) = delete;
  ~Deflater() {
    if (ready_) deflateEnd(&stream_);
  }
  z_stream* get() { return &stream_; }

 private:
  z_stream stream_{};
  bool ready_ = false;
};

// Feeds filtered rows to deflate and writes the output as IDAT chunks of kIdatSize bytes.
class IdatWriter {
 public:
  IdatWriter(ByteWriter& out, int level) : out_(out), deflater_(level), chunk_(kIdatSize) {
    z_stream* z = deflater_.get();
    z->next_out = chunk_.data();
    z->avail_out = static_cast<uInt>(kIdatSize);
  }

  bool add(const std::uint8_t* data, std::size_t size) { return pump(data, size, Z_NO_FLUSH); }
  bool finish() {
    if (!pump(nullptr, 0, Z_FINISH)) return false;
    const std::size_t rest = kIdatSize - deflater_.get()->avail_out;
    if (rest) writeChunk(out_, "IDAT", chunk_.data(), rest);
    return true;
  }

 private:
  bool pump(const std::uint8_t* data, std::size_t size, int flush) {
    z_stream* z = deflater_.get();
    z->next_in = const_cast<Bytef*>(data);
    z->avail_in = static_cast<uInt>(size);
    for (;;) {
      const int status = deflate(z, flush);
      if (status == Z_STREAM_ERROR) return false;
      const bool full = z->avail_out == 0;
      if (full) {
        writeChunk(out_, "IDAT", chunk_.data(), kIdatSize);
        z->next_out = chunk_.data();
        z->avail_out = static_cast<uInt>(kIdatSize);
      }
      if (flush == Z_FINISH) {
        if (status == Z_STREAM_END) return true;
        if (status == Z_BUF_ERROR && !full) return false;  // no progress possible
      } else if (z->avail_in == 0 && !full) {
        return true;
      }
    }
  }

  ByteWriter& out_;
  Deflater deflater_;
  std::vector<std::uint8_t> chunk_;
};

CodecResult writePngBody(const Bitmap& bitmap, ByteWriter& out, int level) {
  const int bpp = bitmap.bitsPerPixel();
  const bool indexed = bpp <= 8;
  const int depth = indexed ? bpp : 8;
  out.write(kSignature, sizeof kSignature);

  std::uint8_t ihdr[13];
  const auto put32 = [](std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v >> 24);
    p[1] = static_cast<std::uint8_t>(v >> 16);
    p[2] = static_cast<std::uint8_t>(v >> 8);
    p[3] = static_cast<std::uint8_t>(v);
  };
  put32(ihdr, static_cast<std::uint32_t>(bitmap.width()));
  put32(ihdr + 4, static_cast<std::uint32_t>(bitmap.height()));
  ihdr[8] = static_cast<std::uint8_t>(depth);
  ihdr[9] = indexed ? 3 : 2;
  ihdr[10] = ihdr[11] = ihdr[12] = 0;
  writeChunk(out, "IHDR", ihdr, sizeof ihdr);

  if (indexed) {
    const std::size_t entries = std::size_t{1} << depth;
    std::vector<std::uint8_t> plte(3 * entries);
    for (std::size_t i = 0; i < entries; ++i) {
      const PaletteColor c = paletteEntry(bitmap, i);
      plte[3 * i] = c.red;
      plte[3 * i + 1] = c.green;
      plte[3 * i + 2] = c.blue;
    }
    writeChunk(out, "PLTE", plte.data(), plte.size());
    if (const auto key = transparentIndex(bitmap, entries)) {
      std::vector<std::uint8_t> alpha(*key + 1, 255);
      alpha[*key] = 0;
      writeChunk(out, "tRNS", alpha.data(), alpha.size());
    }
  }

  // One filter byte, then the row; Sub subtracts the byte one pixel to the left (one byte back
  // for depths below 8).
  const std::size_t width = static_cast<std::size_t>(bitmap.width());
  const std::size_t rowBytes =
      indexed ? (width * static_cast<std::size_t>(depth) + 7) / 8 : 3 * width;
  const std::size_t step = indexed ? 1 : 3;
  const int tailBits = static_cast<int>((width * static_cast<std::size_t>(depth)) % 8);
  std::vector<std::uint8_t> raw(rowBytes);
  std::vector<std::uint8_t> filtered(rowBytes + 1);
  filtered[0] = kFilterSub;
  IdatWriter idat(out, level);
  for (int y = 0; y < bitmap.height(); ++y) {
    const std::uint8_t* src = bitmap.row(y);
    if (indexed) {
      std::memcpy(raw.data(), src, rowBytes);
      // Unused low bits of a packed row's last byte are zero in the file.
      if (tailBits) raw[rowBytes - 1] &= static_cast<std::uint8_t>(0xFF00u >> tailBits);
    } else {
      const std::size_t srcStep = static_cast<std::size_t>(bpp / 8);
      for (std::size_t x = 0; x < width; ++x) {
        raw[3 * x] = src[srcStep * x + 2];
        raw[3 * x + 1] = src[srcStep * x + 1];
        raw[3 * x + 2] = src[srcStep * x];
      }
    }
    std::uint8_t* f = filtered.data() + 1;
    for (std::size_t i = 0; i < step && i < rowBytes; ++i) f[i] = raw[i];
    for (std::size_t i = step; i < rowBytes; ++i)
      f[i] = static_cast<std::uint8_t>(raw[i] - raw[i - step]);
    if (!idat.add(filtered.data(), filtered.size()))
      return CodecResult::fail(CodecError::ceNoMemory, "deflate failed");
  }
  if (!idat.finish()) return CodecResult::fail(CodecError::ceNoMemory, "deflate failed");
  writeChunk(out, "IEND", nullptr, 0);
  return CodecResult::success();
}

}  // namespace

CodecResult WritePng(const Bitmap& bitmap, ByteWriter& out, const PngOptions& options) noexcept {
  return runCodec([&] {
    if (bitmap.empty()) return CodecResult::fail(CodecError::ceUnsupported, "empty bitmap");
    if (options.compressionLevel < 0 || options.compressionLevel > 9)
      return CodecResult::fail(CodecError::ceUnsupported, "compression level out of range");
    return writePngBody(bitmap, out, options.compressionLevel);
  });
}

}  // namespace vorlino
