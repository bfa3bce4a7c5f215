#include "imagefile/row_encoder.h"

namespace vorlino {

std::unique_ptr<RowEncoder> makeRowEncoder(SaveFormat format, const JpegOptions& jpeg,
                                           const RowImageInfo& info, ReplacingFile& file) {
  if (info.width <= 0 || info.height <= 0) return nullptr;
  switch (format) {
    case SaveFormat::sfJpeg:
      return makeJpegRowEncoder(jpeg, info, file);
    case SaveFormat::sfPng:
      return makePngRowEncoder(info, file);
    case SaveFormat::sfTiff:
      return makeTiffRowEncoder(info, file);
    case SaveFormat::sfBmp:
      return makeBmpRowEncoder(info, file);
    case SaveFormat::sfTarga:
      return makeTargaRowEncoder(info, file);
    case SaveFormat::sfGif:
    case SaveFormat::sfRle:
      break;  // palette formats: the whole picture is reduced first
    case SaveFormat::sfWebp:
      break;  // the WebP encoder takes the whole picture
  }
  return nullptr;
}

}  // namespace vorlino
