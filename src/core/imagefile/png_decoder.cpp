// PNG reader on libpng, from memory.
//
// Supports every colour type and bit depth, Adam7 interlacing included:
//   palette 1, 4 and 8 bits -> palette bitmap of the same depth; palette 2 bits -> 8 bits;
//   grey and RGB -> 24 bits; grey + alpha, RGB + alpha, or a tRNS colour key -> 32 bits
//   (blue, green, red, alpha). A tRNS chunk on a palette image is ignored: the program drops
//   transparency anyway, so the indices and their colours are kept.
// 16-bit samples keep their high byte. gAMA, cHRM, sRGB, iCCP and bKGD are ignored: samples are
// taken as they are stored. Damaged or truncated data (IEND missing included) fails.
#include <algorithm>
#include <csetjmp>
#include <cstring>
#include <vector>

#include <png.h>

#include "imagefile/decoders.h"

namespace vorlino {
namespace {

// Everything the libpng calls work on; trivially destructible. PngSession releases the structs.
struct PngState {
  png_structp png = nullptr;
  png_infop info = nullptr;
  std::jmp_buf jump;
  char message[160] = {};
  bool noMemory = false;

  const std::uint8_t* data = nullptr;
  std::size_t size = 0;
  std::size_t pos = 0;

  png_uint_32 width = 0;
  png_uint_32 height = 0;
  int outBits = 0;  // depth of the bitmap to fill: 1, 4, 8, 24 or 32
  png_colorp palette = nullptr;
  int paletteSize = 0;
  png_bytepp rows = nullptr;  // one pointer per row of the target bitmap
};

[[noreturn]] void failPng(PngState& s, const char* message) {
  std::strncpy(s.message, message ? message : "libpng error", sizeof s.message - 1);
  std::longjmp(s.jump, 1);
}

void onPngError(png_structp png, png_const_charp message) {
  failPng(*static_cast<PngState*>(png_get_error_ptr(png)), message);
}

void onPngWarning(png_structp, png_const_charp) {}

void readPngBytes(png_structp png, png_bytep dst, std::size_t n) {
  auto& s = *static_cast<PngState*>(png_get_io_ptr(png));
  if (n > s.size - s.pos) failPng(s, "truncated file");
  std::memcpy(dst, s.data + s.pos, n);
  s.pos += n;
}

// Steps that may longjmp back into guardedPng: only trivially destructible locals here.
void stepReadHeader(PngState& s) {
  s.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &s, onPngError, onPngWarning);
  if (!s.png) {
    s.noMemory = true;
    failPng(s, "cannot create reader");
  }
  s.info = png_create_info_struct(s.png);
  if (!s.info) {
    s.noMemory = true;
    failPng(s, "cannot create reader");
  }
  png_set_read_fn(s.png, &s, readPngBytes);
  png_set_user_limits(s.png, Bitmap::kMaxSide, Bitmap::kMaxSide);
  png_read_info(s.png, s.info);
  s.width = png_get_image_width(s.png, s.info);
  s.height = png_get_image_height(s.png, s.info);
}

// Chooses the target depth and asks libpng for rows in that layout.
void stepSetTransforms(PngState& s) {
  png_structp png = s.png;
  const int colorType = png_get_color_type(png, s.info);
  const int bitDepth = png_get_bit_depth(png, s.info);
  const bool keyed = png_get_valid(png, s.info, PNG_INFO_tRNS) != 0;

  if (colorType == PNG_COLOR_TYPE_PALETTE) {
    if (!png_get_PLTE(png, s.info, &s.palette, &s.paletteSize)) failPng(s, "no palette");
    if (bitDepth == 2) png_set_packing(png);
    s.outBits = bitDepth == 2 ? 8 : bitDepth;
  } else {
    if (bitDepth == 16) png_set_strip_16(png);
    const bool grey = (colorType & PNG_COLOR_MASK_COLOR) == 0;
    if (grey && bitDepth < 8) png_set_expand_gray_1_2_4_to_8(png);
    const bool alpha = (colorType & PNG_COLOR_MASK_ALPHA) != 0 || keyed;
    if (keyed) png_set_tRNS_to_alpha(png);
    if (grey) png_set_gray_to_rgb(png);
    png_set_bgr(png);
    s.outBits = alpha ? 32 : 24;
  }
  png_set_interlace_handling(png);
  png_read_update_info(png, s.info);

  const int channels = png_get_channels(png, s.info);
  const int depth = png_get_bit_depth(png, s.info);
  if (channels * depth != s.outBits) failPng(s, "unexpected row layout");
}

void stepReadImage(PngState& s) {
  png_read_image(s.png, s.rows);
  png_read_end(s.png, nullptr);
}

// The one place that catches libpng's longjmp. Returns false when the step failed.
bool guardedPng(PngState& s, void (*step)(PngState&)) {
  if (setjmp(s.jump)) return false;
  step(s);
  return true;
}

class PngSession {
 public:
  PngSession(const std::uint8_t* data, std::size_t size) {
    s_.data = data;
    s_.size = size;
  }
  PngSession(const PngSession&) = delete;
  PngSession& operator=(const PngSession&) = delete;
  ~PngSession() {
    if (s_.png) png_destroy_read_struct(&s_.png, s_.info ? &s_.info : nullptr, nullptr);
  }
  PngState& state() { return s_; }
  CodecResult failure() const {
    return CodecResult::fail(s_.noMemory ? CodecError::ceNoMemory : CodecError::ceDamaged,
                             s_.message);
  }

 private:
  PngState s_{};
};

}  // namespace

CodecResult readPng(ByteReader& in, Bitmap& out, const DecodeLimits& limits) noexcept {
  return runCodec([&]() -> CodecResult {
    if (in.size() < 8 || png_sig_cmp(in.data(), 0, 8) != 0)
      return CodecResult::fail(CodecError::ceSignature, "not a PNG file");
    PngSession session(in.data(), in.size());
    PngState& s = session.state();
    if (!guardedPng(s, stepReadHeader)) return session.failure();
    CodecResult sized = checkDimensions(s.width, s.height, limits);
    if (!sized.ok()) return sized;
    if (!guardedPng(s, stepSetTransforms)) return session.failure();

    Bitmap picture;
    picture.resetForOverwrite(static_cast<int>(s.width), static_cast<int>(s.height), s.outBits);
    if (png_get_rowbytes(s.png, s.info) > picture.stride())
      return CodecResult::fail(CodecError::ceDamaged, "row larger than expected");
    std::vector<png_bytep> rows(s.height);
    for (png_uint_32 y = 0; y < s.height; ++y) rows[y] = picture.row(static_cast<int>(y));
    s.rows = rows.data();
    if (!guardedPng(s, stepReadImage)) return session.failure();

    if (s.outBits <= 8) {
      auto& palette = picture.palette();  // 2^bits black entries; PLTE fills the first ones
      const auto count =
          std::min<std::size_t>(static_cast<std::size_t>(s.paletteSize), palette.size());
      for (std::size_t i = 0; i < count; ++i)
        palette[i] = {s.palette[i].blue, s.palette[i].green, s.palette[i].red, 0};
    }
    out = std::move(picture);
    return CodecResult::success();
  });
}

}  // namespace vorlino
