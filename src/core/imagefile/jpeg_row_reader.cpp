// The row-streaming JPEG reader: libjpeg over a stdio source, its longjmp caught in one narrow
// guard around step functions whose locals are trivially destructible.
#include "imagefile/jpeg_row_reader.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>

#include <jerror.h>
#include <jpeglib.h>

#include "imagefile/jpeg_errors.h"

namespace vorlino {

struct JpegRowReader::State {
  jpeg_decompress_struct cinfo;
  JpegError err;
  jpeg_progress_mgr progress;
  std::FILE* file = nullptr;
  std::unique_ptr<char[]> fileBuffer;  // the file's stdio buffer, freed after it is closed
  bool created = false;
  bool started = false;
  // Arguments of the row step.
  std::uint8_t* rows = nullptr;
  std::size_t stride = 0;
  int count = 0;
};

namespace {

using State = JpegRowReader::State;

void stepReadHeader(State& s) {
  jpeg_create_decompress(&s.cinfo);
  s.created = true;
  s.cinfo.progress = &s.progress;
  jpeg_stdio_src(&s.cinfo, s.file);
  jpeg_read_header(&s.cinfo, TRUE);
}

void stepStart(State& s) {
  jpeg_calc_output_dimensions(&s.cinfo);
  if (s.cinfo.output_width != s.cinfo.image_width ||
      s.cinfo.output_height != s.cinfo.image_height || s.cinfo.output_components != 3) {
    std::strcpy(s.err.message, "unexpected output shape");
    std::longjmp(s.err.jump, 1);
  }
  jpeg_start_decompress(&s.cinfo);
  s.started = true;
}

void stepRows(State& s) {
  jpeg_decompress_struct& c = s.cinfo;
  for (int i = 0; i < s.count; ++i) {
    JSAMPROW row[1] = {s.rows + s.stride * static_cast<std::size_t>(i)};
    // The stdio source never suspends; a row that does not come is a decoder fault.
    if (c.output_scanline >= c.output_height || jpeg_read_scanlines(&c, row, 1) != 1) {
      std::strcpy(s.err.message, "no scanline");
      std::longjmp(s.err.jump, 1);
    }
  }
}

void stepFinish(State& s) {
  jpeg_finish_decompress(&s.cinfo);
}

bool guarded(State& s, void (*step)(State&)) {
  if (setjmp(s.err.jump)) return false;
  step(s);
  return true;
}

CodecResult failureOf(const State& s) {
  if (s.err.tooManyScans) return CodecResult::fail(CodecError::ceDamaged, "too many scans");
  const int code = s.err.code;
  CodecError kind = CodecError::ceDamaged;
  if (code == JERR_NO_SOI) kind = CodecError::ceSignature;
  if (code == JERR_OUT_OF_MEMORY) kind = CodecError::ceNoMemory;
  if (code == JERR_BAD_PRECISION || code == JERR_NOT_COMPILED || code == JERR_ARITH_NOTIMPL ||
      code == JERR_CONVERSION_NOTIMPL)
    kind = CodecError::ceUnsupported;
  return CodecResult::fail(kind, s.err.message);
}

}  // namespace

JpegRowReader::JpegRowReader() : s_(std::make_unique<State>()) {
  watchJpegErrors(s_->cinfo, s_->err, s_->progress);
}

JpegRowReader::~JpegRowReader() {
  if (s_->created) jpeg_destroy_decompress(&s_->cinfo);
  if (s_->file) std::fclose(s_->file);
}

int JpegRowReader::width() const {
  return static_cast<int>(s_->cinfo.output_width);
}

int JpegRowReader::height() const {
  return static_cast<int>(s_->cinfo.output_height);
}

CodecResult JpegRowReader::open(const std::string& fileName) noexcept {
  return runCodec([&]() -> CodecResult {
    State& s = *s_;
    s.file = std::fopen(fileName.c_str(), "rb");
    if (!s.file) return CodecResult::fail(CodecError::ceIo, "cannot read the file");
    // libjpeg asks for 4 KiB at a time: a larger stdio buffer makes that one read of the file
    // every 256 KiB rather than every 4 KiB.
    constexpr std::size_t kFileBuffer = std::size_t{256} << 10;
    s.fileBuffer = std::make_unique<char[]>(kFileBuffer);
    std::setvbuf(s.file, s.fileBuffer.get(), _IOFBF, kFileBuffer);
    if (!guarded(s, stepReadHeader)) return failureOf(s);
    jpeg_decompress_struct& c = s.cinfo;
    if (c.image_width == 0 || c.image_height == 0)
      return CodecResult::fail(CodecError::ceDamaged, "zero size");
    if (c.image_width > JPEG_MAX_DIMENSION || c.image_height > JPEG_MAX_DIMENSION)
      return CodecResult::fail(CodecError::ceTooLarge, "image too large");
    if (c.jpeg_color_space != JCS_GRAYSCALE && c.jpeg_color_space != JCS_YCbCr &&
        c.jpeg_color_space != JCS_RGB)
      return CodecResult::fail(CodecError::ceUnsupported, "colour space not streamed");
    // The settings of the whole-picture decoder, so that the pixels are the same.
    c.out_color_space = JCS_EXT_BGR;
    c.dct_method = JDCT_FLOAT;
    c.do_block_smoothing = TRUE;
    c.quantize_colors = FALSE;
    c.scale_num = 1;
    c.scale_denom = 1;
    if (!guarded(s, stepStart)) return failureOf(s);
    return CodecResult::success();
  });
}

CodecResult JpegRowReader::readRows(std::uint8_t* rows, std::size_t stride, int count) noexcept {
  State& s = *s_;
  if (!s.started) return CodecResult::fail(CodecError::ceDamaged, "not open");
  s.rows = rows;
  s.stride = stride;
  s.count = count;
  if (!guarded(s, stepRows)) return failureOf(s);
  return CodecResult::success();
}

CodecResult JpegRowReader::finish() noexcept {
  State& s = *s_;
  if (!s.started || s.cinfo.output_scanline != s.cinfo.output_height)
    return CodecResult::fail(CodecError::ceDamaged, "rows left");
  if (!guarded(s, stepFinish)) return failureOf(s);
  return CodecResult::success();
}

}  // namespace vorlino
