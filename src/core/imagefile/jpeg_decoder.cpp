// JPEG reader on libjpeg (IJG interface).
//
// Supports: baseline, extended (16-bit quantisation tables), progressive and arithmetic-coded
// JPEG with 8-bit samples; grey, YCbCr, RGB, CMYK and YCCK (Adobe's inverted CMYK included).
// Decoded with the floating-point inverse DCT and block smoothing, no colour quantisation: at
// full size, or reduced by libjpeg's scaled inverse DCT for a first look (see jpeg_quick.h). Grey,
// YCbCr and RGB come out as 24 bits; CMYK and YCCK are turned into RGB with the naive formula (no
// colour profile). Not supported: 12-bit and lossless JPEG.
//
// A file that ends early fails: libjpeg only warns and pads the picture with grey, which would
// hand on half a picture. Warnings are never printed.
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

#include <jerror.h>
#include <jpeglib.h>

#include "bitmap/checked.h"
#include "imagefile/decoders.h"
#include "imagefile/jpeg_errors.h"
#include "imagefile/jpeg_quick.h"

namespace vorlino {
namespace {

enum class OutputKind { okBgr, okCmykAdobe, okCmykPlain };

// Everything the libjpeg calls work on. The C structures are trivially destructible; the
// decompressor is released by JpegSession.
struct JpegState {
  jpeg_decompress_struct cinfo;
  JpegError err;
  jpeg_progress_mgr progress;
  const std::uint8_t* data = nullptr;
  unsigned long size = 0;
  OutputKind kind = OutputKind::okBgr;
  std::uint8_t* bits = nullptr;  // top row of the target bitmap
  std::size_t stride = 0;
  std::uint8_t* cmykRow = nullptr;  // one CMYK row, for okCmyk*
  bool firstScanOnly = false;       // a progressive file stops after its first scan
};

// a * b / 255, rounded: the usual byte multiply used to turn CMYK into RGB.
inline std::uint8_t mulDiv255(unsigned a, unsigned b) {
  const unsigned t = a * b + 128;
  return static_cast<std::uint8_t>(((t >> 8) + t) >> 8);
}

// Ink amounts to light: each channel is what the ink of its complement and the black leave.
void cmykToBgr(const std::uint8_t* cmyk, std::uint8_t* bgr, JDIMENSION width, bool inverted) {
  const unsigned flip = inverted ? 255u : 0u;  // Adobe files store 255 - ink
  for (JDIMENSION x = 0; x < width; ++x, cmyk += 4, bgr += 3) {
    const unsigned c = cmyk[0] ^ flip, m = cmyk[1] ^ flip, y = cmyk[2] ^ flip;
    const unsigned light = 255u - (cmyk[3] ^ flip);
    bgr[0] = static_cast<std::uint8_t>(light - mulDiv255(y, light));
    bgr[1] = static_cast<std::uint8_t>(light - mulDiv255(m, light));
    bgr[2] = static_cast<std::uint8_t>(light - mulDiv255(c, light));
  }
}

// Steps that may longjmp back into guardedJpeg: only trivially destructible locals here.
void stepReadHeader(JpegState& s) {
  jpeg_create_decompress(&s.cinfo);
  s.cinfo.progress = &s.progress;
  jpeg_mem_src(&s.cinfo, s.data, s.size);
  jpeg_read_header(&s.cinfo, TRUE);
}

void stepSizeOutput(JpegState& s) {
  jpeg_calc_output_dimensions(&s.cinfo);
}

void readOutputRows(JpegState& s) {
  jpeg_decompress_struct& c = s.cinfo;
  while (c.output_scanline < c.output_height) {
    std::uint8_t* dst = s.bits + s.stride * c.output_scanline;
    const bool cmyk = s.kind != OutputKind::okBgr;
    JSAMPROW rows[1] = {cmyk ? s.cmykRow : dst};
    // The memory source never suspends; a row that does not come is a decoder fault.
    if (jpeg_read_scanlines(&c, rows, 1) != 1) {
      std::strcpy(s.err.message, "no scanline");
      std::longjmp(s.err.jump, 1);
    }
    if (cmyk) cmykToBgr(s.cmykRow, dst, c.output_width, s.kind == OutputKind::okCmykAdobe);
    if (c.output_scanline % 64 == 0) stopIfCancelled(s.err);
  }
}

void stepDecode(JpegState& s) {
  jpeg_decompress_struct& c = s.cinfo;
  if (s.firstScanOnly && jpeg_has_multiple_scans(&c)) {
    // Buffered-image mode shows the coefficients of the first scan alone: the picture as a
    // progressive file's first pass has it. The rest of the file is never read.
    c.buffered_image = TRUE;
    jpeg_start_decompress(&c);
    jpeg_start_output(&c, 1);
    readOutputRows(s);
    jpeg_finish_output(&c);
    return;
  }
  jpeg_start_decompress(&c);
  readOutputRows(s);
  jpeg_finish_decompress(&c);
}

// The one place that catches libjpeg's longjmp. Returns false when the step failed.
bool guardedJpeg(JpegState& s, void (*step)(JpegState&)) {
  if (setjmp(s.err.jump)) return false;
  step(s);
  return true;
}

class JpegSession {
 public:
  JpegSession(const std::uint8_t* data, std::size_t size) {
    s_.data = data;
    s_.size = static_cast<unsigned long>(size);
    watchJpegErrors(s_.cinfo, s_.err, s_.progress);
    s_.cinfo.mem = nullptr;  // tells the destructor whether jpeg_create_decompress ran
  }
  JpegSession(const JpegSession&) = delete;
  JpegSession& operator=(const JpegSession&) = delete;
  ~JpegSession() {
    if (s_.cinfo.mem) jpeg_destroy_decompress(&s_.cinfo);
  }
  JpegState& state() { return s_; }

  CodecResult failure() const {
    if (s_.err.tooManyScans) return CodecResult::fail(CodecError::ceDamaged, "too many scans");
    if (s_.err.cancelled) return CodecResult::fail(CodecError::ceIo, "cancelled");
    const int code = s_.err.code;
    CodecError kind = CodecError::ceDamaged;
    if (code == JERR_NO_SOI) kind = CodecError::ceSignature;
    if (code == JERR_OUT_OF_MEMORY) kind = CodecError::ceNoMemory;
    if (code == JERR_BAD_PRECISION || code == JERR_NOT_COMPILED || code == JERR_ARITH_NOTIMPL ||
        code == JERR_CONVERSION_NOTIMPL)
      kind = CodecError::ceUnsupported;
    return CodecResult::fail(kind, s_.err.message);
  }

 private:
  JpegState s_{};
};

// The whole-picture decode at 1/denom of the size (sides rounded up, as libjpeg scales).
CodecResult decodeJpeg(const std::uint8_t* data, std::size_t size, const DecodeLimits& limits,
                       int denom, bool firstScanOnly, Bitmap& out) {
  if (size == 0) return CodecResult::fail(CodecError::ceDamaged, "empty file");
  JpegSession session(data, size);
  JpegState& s = session.state();
  if (!guardedJpeg(s, stepReadHeader)) return session.failure();

  jpeg_decompress_struct& c = s.cinfo;
  CodecResult sized = checkDimensions(c.image_width, c.image_height, limits);
  if (!sized.ok()) return sized;
  switch (c.jpeg_color_space) {
    case JCS_GRAYSCALE:
    case JCS_YCbCr:
    case JCS_RGB:
      c.out_color_space = JCS_EXT_BGR;
      s.kind = OutputKind::okBgr;
      break;
    case JCS_CMYK:
    case JCS_YCCK:
      c.out_color_space = JCS_CMYK;
      s.kind = c.saw_Adobe_marker ? OutputKind::okCmykAdobe : OutputKind::okCmykPlain;
      break;
    default:
      return CodecResult::fail(CodecError::ceUnsupported, "colour space");
  }
  c.dct_method = JDCT_FLOAT;
  c.do_block_smoothing = TRUE;
  c.quantize_colors = FALSE;
  c.scale_num = 1;
  c.scale_denom = static_cast<unsigned>(denom);
  s.firstScanOnly = firstScanOnly;
  s.err.cancel = limits.cancelled;

  if (!guardedJpeg(s, stepSizeOutput)) return session.failure();
  const int components = s.kind == OutputKind::okBgr ? 3 : 4;
  const auto scaled = [denom](JDIMENSION side) { return (side + denom - 1) / denom; };
  if (c.output_width != scaled(c.image_width) || c.output_height != scaled(c.image_height) ||
      c.output_components != components)
    return CodecResult::fail(CodecError::ceDamaged, "unexpected output shape");

  Bitmap picture;
  picture.resetForOverwrite(static_cast<int>(c.output_width), static_cast<int>(c.output_height),
                            24);
  std::vector<std::uint8_t> cmykRow;
  if (s.kind != OutputKind::okBgr) {
    auto bytes = checkedMul(c.output_width, 4);
    if (!bytes) return CodecResult::fail(CodecError::ceTooLarge, "row too wide");
    cmykRow.resize(*bytes);
    s.cmykRow = cmykRow.data();
  }
  s.bits = picture.bits();
  s.stride = picture.stride();
  if (!guardedJpeg(s, stepDecode)) return session.failure();
  out = std::move(picture);
  return CodecResult::success();
}

}  // namespace

CodecResult readJpeg(ByteReader& in, Bitmap& out, const DecodeLimits& limits) noexcept {
  return runCodec(
      [&]() -> CodecResult { return decodeJpeg(in.data(), in.size(), limits, 1, false, out); });
}

CodecResult readJpegReduced(const std::uint8_t* data, std::size_t size, int denom, Bitmap& out,
                            const DecodeLimits& limits) noexcept {
  if (denom != 1 && denom != 2 && denom != 4 && denom != 8)
    return CodecResult::fail(CodecError::ceUnsupported, "scale");
  return runCodec(
      [&]() -> CodecResult { return decodeJpeg(data, size, limits, denom, true, out); });
}

CodecResult readJpegHeader(const std::uint8_t* data, std::size_t size,
                           JpegHeader& header) noexcept {
  return runCodec([&]() -> CodecResult {
    if (size == 0) return CodecResult::fail(CodecError::ceDamaged, "empty file");
    JpegSession session(data, size);
    JpegState& s = session.state();
    if (!guardedJpeg(s, stepReadHeader)) return session.failure();
    const jpeg_decompress_struct& c = s.cinfo;
    if (c.image_width == 0 || c.image_height == 0)
      return CodecResult::fail(CodecError::ceDamaged, "zero size");
    header.width = static_cast<int>(c.image_width);
    header.height = static_cast<int>(c.image_height);
    header.progressive = c.progressive_mode != 0;
    return CodecResult::success();
  });
}

}  // namespace vorlino
