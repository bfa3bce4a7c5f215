#include "imagefile/jpeg_writer.h"

// clang-format off
#include <cstdio>
#include <jpeglib.h>
// clang-format on

#include <csetjmp>
#include <cstdlib>
#include <memory>

#include "imagefile/write_support.h"

namespace vorlino {
namespace {

struct ErrorManager {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
};

[[noreturn]] void onError(j_common_ptr cinfo) {
  auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
  (*cinfo->err->format_message)(cinfo, err->message);
  std::longjmp(err->jump, 1);
}

void onMessage(j_common_ptr) {}  // warnings are not shown anywhere

struct MallocFree {
  void operator()(unsigned char* p) const { std::free(p); }
};

// The only function that can be left by longjmp: its locals are all trivially destructible.
// On success *data (malloc'd by libjpeg, also on failure when not null) holds the file.
bool compress(const Bitmap& bitmap, const JpegOptions& options, unsigned char** data,
              unsigned long* size, char* message) {
  jpeg_compress_struct cinfo;
  ErrorManager err;
  cinfo.err = jpeg_std_error(&err.pub);
  err.pub.error_exit = onError;
  err.pub.output_message = onMessage;
  err.message[0] = 0;
  if (setjmp(err.jump)) {
    jpeg_destroy_compress(&cinfo);
    std::snprintf(message, JMSG_LENGTH_MAX, "%s", err.message);
    return false;
  }
  jpeg_create_compress(&cinfo);
  jpeg_mem_dest(&cinfo, data, size);
  cinfo.image_width = static_cast<JDIMENSION>(bitmap.width());
  cinfo.image_height = static_cast<JDIMENSION>(bitmap.height());
  cinfo.input_components = 3;
  // The bitmap's blue, green, red bytes are read as RGB input by the library's converter.
  cinfo.in_color_space = JCS_EXT_BGR;
  jpeg_set_defaults(&cinfo);
  cinfo.dct_method = JDCT_FLOAT;
  const int quality = options.quality < 1 ? 1 : options.quality > 100 ? 100 : options.quality;
  jpeg_set_quality(&cinfo, quality, TRUE);
  if (options.progressive) jpeg_simple_progression(&cinfo);
  jpeg_start_compress(&cinfo, TRUE);
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(bitmap.row(static_cast<int>(cinfo.next_scanline)));
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  return true;
}

}  // namespace

CodecResult WriteJpeg(const Bitmap& bitmap, ByteWriter& out, const JpegOptions& options) noexcept {
  return runCodec([&] {
    if (bitmap.empty()) return CodecResult::fail(CodecError::ceUnsupported, "empty bitmap");
    if (bitmap.width() > JPEG_MAX_DIMENSION || bitmap.height() > JPEG_MAX_DIMENSION)
      return CodecResult::fail(CodecError::ceTooLarge, "side above the JPEG limit");
    Bitmap converted;
    const Bitmap* source = &bitmap;
    if (bitmap.bitsPerPixel() != 24) {
      converted = copyAs24Bits(bitmap);
      source = &converted;
    }
    unsigned char* data = nullptr;
    unsigned long size = 0;
    char message[JMSG_LENGTH_MAX];
    const bool ok = compress(*source, options, &data, &size, message);
    std::unique_ptr<unsigned char, MallocFree> owner(data);
    if (!ok) return CodecResult::fail(CodecError::ceNoMemory, message);
    out.write(data, size);
    return CodecResult::success();
  });
}

}  // namespace vorlino
