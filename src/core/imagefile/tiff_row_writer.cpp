// 24-bit TIFF by rows: the pixels lie between a fixed 40-byte head and the directory, whose
// offset is patched into byte 4 at the end.
#include <vector>

#include "imagefile/row_encoder.h"
#include "imagefile/tiff_writer.h"

namespace vorlino {
namespace {

class TiffRowEncoder final : public RowEncoder {
 public:
  TiffRowEncoder(const RowImageInfo& info, ReplacingFile& file)
      : info_(info), file_(file), rgb_(std::size_t{3} * static_cast<std::size_t>(info.width)) {
    ByteWriter head;
    writeRgbTiffHead(head);
    header_ = file_.write(head.bytes().data(), head.size());
  }
  CodecResult writeRows(const std::uint8_t* rows, std::size_t stride, int count) noexcept override {
    if (!header_.ok()) return header_;
    for (int i = 0; i < count; ++i) {
      bgrToRgbTiffRow(rows + stride * static_cast<std::size_t>(i),
                      static_cast<std::uint32_t>(info_.width), rgb_.data());
      if (auto r = file_.write(rgb_.data(), rgb_.size()); !r.ok()) return r;
    }
    return CodecResult::success();
  }
  CodecResult finish() noexcept override {
    if (!header_.ok()) return header_;
    return runCodec([&] {
      const auto at = static_cast<std::uint32_t>(file_.size());
      ByteWriter directory;
      writeRgbTiffDirectory(directory, static_cast<std::uint32_t>(info_.width),
                            static_cast<std::uint32_t>(info_.height));
      if (auto r = file_.write(directory.bytes().data(), directory.size()); !r.ok()) return r;
      const std::uint8_t offset[4] = {
          static_cast<std::uint8_t>(at), static_cast<std::uint8_t>(at >> 8),
          static_cast<std::uint8_t>(at >> 16), static_cast<std::uint8_t>(at >> 24)};
      return file_.writeAt(4, offset, 4);
    });
  }

 private:
  RowImageInfo info_;
  ReplacingFile& file_;
  std::vector<std::uint8_t> rgb_;
  CodecResult header_;
};

}  // namespace

std::unique_ptr<RowEncoder> makeTiffRowEncoder(const RowImageInfo& info, ReplacingFile& file) {
  // The directory holds 16-bit sides and 32-bit offsets.
  if (info.width > 65535 || info.height > 65535 ||
      !rgbTiffPixelBytes(static_cast<std::uint32_t>(info.width),
                         static_cast<std::uint32_t>(info.height)))
    return nullptr;
  return std::make_unique<TiffRowEncoder>(info, file);
}

}  // namespace vorlino
