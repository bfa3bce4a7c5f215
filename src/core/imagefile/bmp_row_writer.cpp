// BMP by rows: the file stores rows bottom-up, so each batch of rows is written at its place from
// the end of the file, reversed, padded to 4 bytes with zeros as the whole-picture writer pads.
#include <cstring>
#include <vector>

#include "bitmap/checked.h"
#include "imagefile/bmp_writer.h"
#include "imagefile/row_encoder.h"

namespace vorlino {
namespace {

constexpr std::uint32_t kDataOffset = 14 + 40;  // no colour table for 24 bits

class BmpRowEncoder final : public RowEncoder {
 public:
  BmpRowEncoder(const RowImageInfo& info, ReplacingFile& file, std::size_t stride,
                std::uint32_t imageSize)
      : info_(info), file_(file), stride_(stride) {
    ByteWriter head;
    BmpInfoHeader header;
    header.width = info.width;
    header.height = info.height;
    header.bitsPerPixel = 24;
    header.imageSize = imageSize;
    writeBmpHeaders(head, header, kDataOffset, kDataOffset + imageSize);
    header_ = file_.write(head.bytes().data(), head.size());
  }
  CodecResult writeRows(const std::uint8_t* rows, std::size_t stride, int count) noexcept override {
    if (!header_.ok()) return header_;
    return runCodec([&] {
      buffer_.assign(stride_ * static_cast<std::size_t>(count), 0);
      const std::size_t used = 3 * static_cast<std::size_t>(info_.width);
      // Row next_ + i goes count - 1 - i rows into the batch, which starts at the file's row
      // height - next_ - count.
      for (int i = 0; i < count; ++i)
        std::memcpy(buffer_.data() + stride_ * static_cast<std::size_t>(count - 1 - i),
                    rows + stride * static_cast<std::size_t>(i), used);
      const std::uint64_t at =
          kDataOffset + stride_ * static_cast<std::uint64_t>(info_.height - next_ - count);
      next_ += count;
      return file_.writeAt(at, buffer_.data(), buffer_.size());
    });
  }
  CodecResult finish() noexcept override { return header_; }

 private:
  RowImageInfo info_;
  ReplacingFile& file_;
  std::size_t stride_;
  int next_ = 0;
  std::vector<std::uint8_t> buffer_;
  CodecResult header_;
};

}  // namespace

std::unique_ptr<RowEncoder> makeBmpRowEncoder(const RowImageInfo& info, ReplacingFile& file) {
  const auto stride = rowStride(static_cast<std::size_t>(info.width), 24);
  const auto imageSize =
      stride ? checkedMul(*stride, static_cast<std::size_t>(info.height)) : std::nullopt;
  if (!imageSize || *imageSize + kDataOffset > 0xFFFFFFFFu) return nullptr;
  return std::make_unique<BmpRowEncoder>(info, file, *stride,
                                         static_cast<std::uint32_t>(*imageSize));
}

}  // namespace vorlino
