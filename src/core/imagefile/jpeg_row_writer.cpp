// JPEG by rows: the settings of WriteJpeg, with a destination that hands each filled buffer to
// the file instead of growing one in memory. libjpeg's longjmp is caught in one narrow guard
// around step functions whose locals are trivially destructible.
// clang-format off
#include <cstdio>
#include <jpeglib.h>
// clang-format on

#include <csetjmp>
#include <vector>

#include "imagefile/jpeg_writer.h"
#include "imagefile/row_encoder.h"

namespace vorlino {
namespace {

constexpr std::size_t kOutputBytes = std::size_t{64} << 10;

struct RowsError {
  jpeg_error_mgr pub;  // first member: libjpeg hands back a pointer to it
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
};

[[noreturn]] void onError(j_common_ptr cinfo) {
  auto* err = reinterpret_cast<RowsError*>(cinfo->err);
  (*cinfo->err->format_message)(cinfo, err->message);
  std::longjmp(err->jump, 1);
}

void onMessage(j_common_ptr) {}  // warnings are not shown anywhere

struct Compression {
  jpeg_compress_struct cinfo;
  RowsError err;
  jpeg_destination_mgr dest;
  ReplacingFile* file = nullptr;
  CodecResult written;  // the first failure of the file, if any
  std::vector<std::uint8_t> buffer;
  bool created = false;
  JpegOptions options;
  RowImageInfo info;
  // Arguments of the row step.
  const std::uint8_t* rows = nullptr;
  std::size_t stride = 0;
  int count = 0;
};

Compression& compressionOf(j_compress_ptr cinfo) {
  // The destination manager is a member of Compression, reached through client_data.
  return *static_cast<Compression*>(cinfo->client_data);
}

void startDestination(j_compress_ptr cinfo) {
  Compression& c = compressionOf(cinfo);
  c.dest.next_output_byte = c.buffer.data();
  c.dest.free_in_buffer = c.buffer.size();
}

boolean emptyDestination(j_compress_ptr cinfo) {
  Compression& c = compressionOf(cinfo);
  if (c.written.ok()) c.written = c.file->write(c.buffer.data(), c.buffer.size());
  c.dest.next_output_byte = c.buffer.data();
  c.dest.free_in_buffer = c.buffer.size();
  return TRUE;
}

void termDestination(j_compress_ptr cinfo) {
  Compression& c = compressionOf(cinfo);
  const std::size_t used = c.buffer.size() - c.dest.free_in_buffer;
  if (c.written.ok() && used > 0) c.written = c.file->write(c.buffer.data(), used);
}

void stepStart(Compression& c) {
  jpeg_create_compress(&c.cinfo);
  c.created = true;
  c.cinfo.client_data = &c;
  c.dest.init_destination = startDestination;
  c.dest.empty_output_buffer = emptyDestination;
  c.dest.term_destination = termDestination;
  c.cinfo.dest = &c.dest;
  c.cinfo.image_width = static_cast<JDIMENSION>(c.info.width);
  c.cinfo.image_height = static_cast<JDIMENSION>(c.info.height);
  c.cinfo.input_components = 3;
  c.cinfo.in_color_space = JCS_EXT_BGR;
  jpeg_set_defaults(&c.cinfo);
  c.cinfo.dct_method = JDCT_FLOAT;
  const int quality = c.options.quality < 1 ? 1 : c.options.quality > 100 ? 100 : c.options.quality;
  jpeg_set_quality(&c.cinfo, quality, TRUE);
  if (c.options.progressive) jpeg_simple_progression(&c.cinfo);
  jpeg_start_compress(&c.cinfo, TRUE);
}

void stepRows(Compression& c) {
  for (int i = 0; i < c.count; ++i) {
    JSAMPROW row = const_cast<JSAMPROW>(c.rows + c.stride * static_cast<std::size_t>(i));
    jpeg_write_scanlines(&c.cinfo, &row, 1);
  }
}

void stepFinish(Compression& c) {
  jpeg_finish_compress(&c.cinfo);
}

bool guarded(Compression& c, void (*step)(Compression&)) {
  if (setjmp(c.err.jump)) return false;
  step(c);
  return true;
}

class JpegRowEncoder final : public RowEncoder {
 public:
  JpegRowEncoder(const JpegOptions& options, const RowImageInfo& info, ReplacingFile& file)
      : c_(std::make_unique<Compression>()) {
    c_->cinfo.err = jpeg_std_error(&c_->err.pub);
    c_->err.pub.error_exit = onError;
    c_->err.pub.output_message = onMessage;
    c_->err.message[0] = 0;
    c_->file = &file;
    c_->options = options;
    c_->info = info;
    c_->buffer.resize(kOutputBytes);
    started_ = run(stepStart);
  }
  ~JpegRowEncoder() override {
    if (c_->created) jpeg_destroy_compress(&c_->cinfo);
  }
  CodecResult writeRows(const std::uint8_t* rows, std::size_t stride, int count) noexcept override {
    if (!started_.ok()) return started_;
    c_->rows = rows;
    c_->stride = stride;
    c_->count = count;
    return run(stepRows);
  }
  CodecResult finish() noexcept override {
    if (!started_.ok()) return started_;
    return run(stepFinish);
  }

 private:
  CodecResult run(void (*step)(Compression&)) noexcept {
    if (!guarded(*c_, step)) return CodecResult::fail(CodecError::ceNoMemory, c_->err.message);
    return c_->written;
  }

  std::unique_ptr<Compression> c_;
  CodecResult started_;
};

}  // namespace

std::unique_ptr<RowEncoder> makeJpegRowEncoder(const JpegOptions& jpeg, const RowImageInfo& info,
                                               ReplacingFile& file) {
  if (info.width > JPEG_MAX_DIMENSION || info.height > JPEG_MAX_DIMENSION) return nullptr;
  return std::make_unique<JpegRowEncoder>(jpeg, info, file);
}

}  // namespace vorlino
