#include "imagefile/webp_writer.h"

#include <algorithm>
#include <memory>

#include <webp/encode.h>

#include "imagefile/write_support.h"

namespace vorlino {
namespace {

constexpr int kMaxWebpSide = WEBP_MAX_DIMENSION;

struct PictureFree {
  void operator()(WebPPicture* p) const { WebPPictureFree(p); }
};

// libwebp hands the encoded bytes out piece by piece; no exception may cross back into it.
int appendBytes(const std::uint8_t* data, std::size_t size, const WebPPicture* picture) {
  try {
    static_cast<ByteWriter*>(picture->custom_ptr)->write(data, size);
    return 1;
  } catch (...) {
    return 0;
  }
}

// The palette picture as BGRA, alpha 0 on the transparent entry.
Bitmap paletteAsBgra(const Bitmap& bitmap) {
  const Bitmap indexed = paletteTo8Bits(bitmap);
  const auto transparent = transparentIndex(indexed, 256);
  std::uint8_t table[256][4];
  for (std::size_t i = 0; i < 256; ++i) {
    const PaletteColor c = paletteEntry(indexed, i);
    table[i][0] = c.blue;
    table[i][1] = c.green;
    table[i][2] = c.red;
    table[i][3] = transparent && *transparent == i ? 0 : 255;
  }
  Bitmap bgra;
  bgra.resetForOverwrite(indexed.width(), indexed.height(), 32);
  for (int y = 0; y < indexed.height(); ++y) {
    const std::uint8_t* s = indexed.row(y);
    std::uint8_t* d = bgra.row(y);
    for (int x = 0; x < indexed.width(); ++x, d += 4) std::copy_n(table[s[x]], 4, d);
  }
  return bgra;
}

}  // namespace

CodecResult WriteWebp(const Bitmap& bitmap, ByteWriter& out, const WebpOptions& options) noexcept {
  return runCodec([&]() -> CodecResult {
    if (bitmap.empty()) return CodecResult::fail(CodecError::ceUnsupported, "empty bitmap");
    if (bitmap.width() > kMaxWebpSide || bitmap.height() > kMaxWebpSide)
      return CodecResult::fail(CodecError::ceTooLarge, "side above 16383");
    const bool lossless = bitmap.isPaletted();
    WebPConfig config;
    if (!WebPConfigInit(&config))
      return CodecResult::fail(CodecError::ceUnsupported, "libwebp version");
    config.quality = static_cast<float>(std::clamp(options.quality, 1, 100));
    config.thread_level = 1;
    if (lossless) {
      config.lossless = 1;
      config.exact = 1;  // the colour under alpha 0 stays the key colour
    }
    if (!WebPValidateConfig(&config))
      return CodecResult::fail(CodecError::ceUnsupported, "bad settings");

    WebPPicture picture;
    if (!WebPPictureInit(&picture))
      return CodecResult::fail(CodecError::ceUnsupported, "libwebp version");
    std::unique_ptr<WebPPicture, PictureFree> owner(&picture);
    picture.width = bitmap.width();
    picture.height = bitmap.height();
    picture.use_argb = lossless ? 1 : 0;
    int imported = 0;
    if (lossless) {
      const Bitmap bgra = paletteAsBgra(bitmap);
      imported = WebPPictureImportBGRA(&picture, bgra.bits(), static_cast<int>(bgra.stride()));
    } else if (bitmap.bitsPerPixel() == 32) {
      // A soft-transparency result: lossy colours, the alpha plane kept losslessly.
      imported = WebPPictureImportBGRA(&picture, bitmap.bits(), static_cast<int>(bitmap.stride()));
    } else {
      imported = WebPPictureImportBGR(&picture, bitmap.bits(), static_cast<int>(bitmap.stride()));
    }
    if (!imported) return CodecResult::fail(CodecError::ceNoMemory, "cannot import the picture");

    ByteWriter encoded;
    picture.writer = appendBytes;
    picture.custom_ptr = &encoded;
    if (!WebPEncode(&config, &picture)) {
      return picture.error_code == VP8_ENC_ERROR_OUT_OF_MEMORY
                 ? CodecResult::fail(CodecError::ceNoMemory, "out of memory")
                 : CodecResult::fail(CodecError::ceIo, "libwebp could not encode");
    }
    out.write(encoded.bytes().data(), encoded.size());
    return CodecResult::success();
  });
}

}  // namespace vorlino
