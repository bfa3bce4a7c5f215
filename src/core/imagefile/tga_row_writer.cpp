// Targa by rows: each row is run-length encoded on its own, so rows go out as they come.
#include "imagefile/row_encoder.h"
#include "imagefile/tga_writer.h"

namespace vorlino {
namespace {

class TargaRowEncoder final : public RowEncoder {
 public:
  TargaRowEncoder(const RowImageInfo& info, ReplacingFile& file) : info_(info), file_(file) {
    writeTargaHeader(bytes_, info.width, info.height, false);
    header_ = file_.write(bytes_.bytes().data(), bytes_.size());
  }
  CodecResult writeRows(const std::uint8_t* rows, std::size_t stride, int count) noexcept override {
    if (!header_.ok()) return header_;
    return runCodec([&] {
      bytes_.bytes().clear();
      for (int i = 0; i < count; ++i)
        encodeTargaRow(rows + stride * static_cast<std::size_t>(i), info_.width, 3, bytes_);
      return file_.write(bytes_.bytes().data(), bytes_.size());
    });
  }
  CodecResult finish() noexcept override { return header_; }

 private:
  RowImageInfo info_;
  ReplacingFile& file_;
  ByteWriter bytes_;
  CodecResult header_;
};

}  // namespace

std::unique_ptr<RowEncoder> makeTargaRowEncoder(const RowImageInfo& info, ReplacingFile& file) {
  // The header holds 16-bit sides.
  if (info.width > 65535 || info.height > 65535) return nullptr;
  return std::make_unique<TargaRowEncoder>(info, file);
}

}  // namespace vorlino
