// PNG by rows: each row is filtered (Sub) as it comes and fed to the same piecewise zlib stream as
// the whole-picture writer, whose output is cut into IDAT chunks of exactly 65535 bytes.
#include <libdeflate.h>

#include <vector>

#include "bitmap/checked.h"
#include "imagefile/deflate/deflate_pieces.h"
#include "imagefile/png_writer.h"
#include "imagefile/row_encoder.h"

namespace vorlino {
namespace {

constexpr std::size_t kIdatSize = 65535;
constexpr std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr std::uint8_t kFilterSub = 1;

void put32(std::uint8_t* p, std::uint32_t v) {
  p[0] = static_cast<std::uint8_t>(v >> 24);
  p[1] = static_cast<std::uint8_t>(v >> 16);
  p[2] = static_cast<std::uint8_t>(v >> 8);
  p[3] = static_cast<std::uint8_t>(v);
}

class PngRowEncoder final : public RowEncoder {
 public:
  PngRowEncoder(const RowImageInfo& info, ReplacingFile& file, std::size_t filteredBytes)
      : info_(info),
        file_(file),
        stream_(filteredBytes, PngOptions{}.compressionLevel, &PngRowEncoder::take, this),
        filtered_(3 * static_cast<std::size_t>(info.width) + 1) {
    std::uint8_t ihdr[13];
    put32(ihdr, static_cast<std::uint32_t>(info.width));
    put32(ihdr + 4, static_cast<std::uint32_t>(info.height));
    ihdr[8] = 8;
    ihdr[9] = 2;
    ihdr[10] = ihdr[11] = ihdr[12] = 0;
    written_ = file_.write(kSignature, sizeof kSignature);
    if (written_.ok()) written_ = writeChunk("IHDR", ihdr, sizeof ihdr);
  }
  CodecResult writeRows(const std::uint8_t* rows, std::size_t stride, int count) noexcept override {
    const std::size_t rowBytes = filtered_.size() - 1;
    for (int i = 0; i < count && written_.ok(); ++i) {
      const std::uint8_t* src = rows + stride * static_cast<std::size_t>(i);
      std::uint8_t* f = filtered_.data();
      *f++ = kFilterSub;
      // Sub over RGB: each byte less the same channel one pixel to the left.
      for (std::size_t b = 0; b < 3 && b < rowBytes; ++b) f[b] = src[2 - b];
      for (std::size_t x = 1; 3 * x < rowBytes; ++x)
        for (std::size_t b = 0; b < 3; ++b)
          f[3 * x + b] = static_cast<std::uint8_t>(src[3 * x + 2 - b] - src[3 * x - 1 - b]);
      if (!stream_.write(filtered_.data(), filtered_.size()) && written_.ok())
        written_ = CodecResult::fail(CodecError::ceNoMemory, "deflate failed");
    }
    return written_;
  }
  CodecResult finish() noexcept override {
    if (!written_.ok()) return written_;
    if (!stream_.finish())
      return written_.ok() ? CodecResult::fail(CodecError::ceNoMemory, "deflate failed") : written_;
    if (!pending_.empty()) written_ = writeChunk("IDAT", pending_.data(), pending_.size());
    if (written_.ok()) written_ = writeChunk("IEND", nullptr, 0);
    return written_;
  }

 private:
  CodecResult writeChunk(const char (&type)[5], const std::uint8_t* data, std::size_t size) {
    std::uint8_t head[8];
    put32(head, static_cast<std::uint32_t>(size));
    std::uint32_t crc = libdeflate_crc32(0, type, 4);
    if (size) crc = libdeflate_crc32(crc, data, size);
    std::uint8_t tail[4];
    put32(tail, crc);
    for (int k = 0; k < 4; ++k) head[4 + k] = static_cast<std::uint8_t>(type[k]);
    if (auto r = file_.write(head, 8); !r.ok()) return r;
    if (size)
      if (auto r = file_.write(data, size); !r.ok()) return r;
    return file_.write(tail, 4);
  }

  // Compressed bytes go out in whole IDAT chunks; the rest waits for more or for the end.
  static bool take(void* self, const std::uint8_t* bytes, std::size_t size) {
    auto& e = *static_cast<PngRowEncoder*>(self);
    try {
      e.pending_.insert(e.pending_.end(), bytes, bytes + size);
      std::size_t at = 0;
      for (; e.pending_.size() - at >= kIdatSize && e.written_.ok(); at += kIdatSize)
        e.written_ = e.writeChunk("IDAT", e.pending_.data() + at, kIdatSize);
      e.pending_.erase(e.pending_.begin(), e.pending_.begin() + static_cast<std::ptrdiff_t>(at));
    } catch (...) {
      e.written_ = CodecResult::fail(CodecError::ceNoMemory, "out of memory");
    }
    return e.written_.ok();
  }

  RowImageInfo info_;
  ReplacingFile& file_;
  ZlibPieceStream stream_;
  std::vector<std::uint8_t> filtered_;
  std::vector<std::uint8_t> pending_;
  CodecResult written_;
};

}  // namespace

std::unique_ptr<RowEncoder> makePngRowEncoder(const RowImageInfo& info, ReplacingFile& file) {
  const auto filtered = checkedMul(3 * static_cast<std::size_t>(info.width) + 1,
                                   static_cast<std::size_t>(info.height));
  if (!filtered) return nullptr;
  return std::make_unique<PngRowEncoder>(info, file, *filtered);
}

}  // namespace vorlino
