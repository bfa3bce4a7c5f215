// WebP reader on libwebp, from memory: lossy (VP8) and lossless (VP8L), with or without alpha,
// still or animated.
//
// A still picture is decoded straight into the bitmap: 24 bits, or 32 bits when the file says it
// has alpha. An animation gives its first frame as libwebp's animation decoder draws it on the
// canvas (the parts the frame does not cover are transparent black). The canvas size is checked
// against the limits before anything is decoded. The EXIF orientation is not applied here.
#include <algorithm>
#include <memory>

#include <webp/decode.h>
#include <webp/demux.h>

#include "imagefile/photo_formats.h"

namespace vorlino {
namespace {

struct AnimDecoderDelete {
  void operator()(WebPAnimDecoder* d) const { WebPAnimDecoderDelete(d); }
};
struct DemuxDelete {
  void operator()(WebPDemuxer* d) const { WebPDemuxDelete(d); }
};
using AnimDecoder = std::unique_ptr<WebPAnimDecoder, AnimDecoderDelete>;
using Demuxer = std::unique_ptr<WebPDemuxer, DemuxDelete>;

CodecResult failure(VP8StatusCode status) {
  switch (status) {
    case VP8_STATUS_OUT_OF_MEMORY:
      return CodecResult::fail(CodecError::ceNoMemory, "libwebp: out of memory");
    case VP8_STATUS_UNSUPPORTED_FEATURE:
      return CodecResult::fail(CodecError::ceUnsupported, "libwebp: unsupported feature");
    case VP8_STATUS_NOT_ENOUGH_DATA:
      return CodecResult::fail(CodecError::ceDamaged, "truncated file");
    default:
      return CodecResult::fail(CodecError::ceDamaged, "libwebp: bad data");
  }
}

CodecResult decodeStill(const std::uint8_t* data, std::size_t size, bool alpha, Bitmap& pic) {
  WebPDecoderConfig config;
  if (!WebPInitDecoderConfig(&config))
    return CodecResult::fail(CodecError::ceUnsupported, "libwebp version");
  config.output.colorspace = alpha ? MODE_BGRA : MODE_BGR;
  config.output.is_external_memory = 1;
  config.output.u.RGBA.rgba = pic.bits();
  config.output.u.RGBA.stride = static_cast<int>(pic.stride());
  config.output.u.RGBA.size = pic.byteCount();
  const VP8StatusCode status = WebPDecode(data, size, &config);
  WebPFreeDecBuffer(&config.output);  // nothing to free with external memory; kept for symmetry
  return status == VP8_STATUS_OK ? CodecResult::success() : failure(status);
}

CodecResult decodeFirstFrame(const std::uint8_t* data, std::size_t size, bool alpha, Bitmap& pic) {
  WebPAnimDecoderOptions options;
  if (!WebPAnimDecoderOptionsInit(&options))
    return CodecResult::fail(CodecError::ceUnsupported, "libwebp version");
  options.color_mode = MODE_BGRA;
  options.use_threads = 0;
  const WebPData whole{data, size};
  AnimDecoder decoder(WebPAnimDecoderNew(&whole, &options));
  if (!decoder) return CodecResult::fail(CodecError::ceDamaged, "libwebp: bad animation");
  WebPAnimInfo info;
  if (!WebPAnimDecoderGetInfo(decoder.get(), &info) ||
      info.canvas_width != static_cast<std::uint32_t>(pic.width()) ||
      info.canvas_height != static_cast<std::uint32_t>(pic.height()))
    return CodecResult::fail(CodecError::ceDamaged, "libwebp: canvas size");
  std::uint8_t* canvas = nullptr;
  int timestamp = 0;
  if (!WebPAnimDecoderGetNext(decoder.get(), &canvas, &timestamp) || !canvas)
    return CodecResult::fail(CodecError::ceDamaged, "libwebp: bad first frame");
  const std::size_t width = static_cast<std::size_t>(pic.width());
  for (int y = 0; y < pic.height(); ++y) {
    const std::uint8_t* s = canvas + 4 * width * static_cast<std::size_t>(y);
    std::uint8_t* d = pic.row(y);
    if (alpha) {
      std::copy_n(s, 4 * width, d);
      continue;
    }
    for (std::size_t x = 0; x < width; ++x, s += 4, d += 3) {
      d[0] = s[0];
      d[1] = s[1];
      d[2] = s[2];
    }
  }
  return CodecResult::success();
}

}  // namespace

CodecResult readWebp(ByteReader& in, Bitmap& out, const DecodeLimits& limits) noexcept {
  return runCodec([&]() -> CodecResult {
    WebPBitstreamFeatures features;
    const VP8StatusCode status = WebPGetFeatures(in.data(), in.size(), &features);
    if (status == VP8_STATUS_BITSTREAM_ERROR && in.size() >= 12)
      return CodecResult::fail(CodecError::ceSignature, "not a WebP file");
    if (status != VP8_STATUS_OK) return failure(status);
    if (features.width <= 0 || features.height <= 0)
      return CodecResult::fail(CodecError::ceDamaged, "no size");
    if (auto r = checkDimensions(static_cast<std::uint64_t>(features.width),
                                 static_cast<std::uint64_t>(features.height), limits);
        !r.ok())
      return r;
    const bool alpha = features.has_alpha != 0;
    Bitmap pic;
    pic.resetForOverwrite(features.width, features.height, alpha ? 32 : 24);
    const CodecResult r = features.has_animation
                              ? decodeFirstFrame(in.data(), in.size(), alpha, pic)
                              : decodeStill(in.data(), in.size(), alpha, pic);
    if (!r.ok()) return r;
    out.swap(pic);
    return CodecResult::success();
  });
}

std::vector<std::uint8_t> webpIccProfile(const std::uint8_t* data, std::size_t size) noexcept {
  try {
    const WebPData whole{data, size};
    Demuxer demux(WebPDemux(&whole));
    if (!demux || !(WebPDemuxGetI(demux.get(), WEBP_FF_FORMAT_FLAGS) & ICCP_FLAG)) return {};
    WebPChunkIterator chunk;
    if (!WebPDemuxGetChunk(demux.get(), "ICCP", 1, &chunk)) return {};
    std::vector<std::uint8_t> profile(chunk.chunk.bytes, chunk.chunk.bytes + chunk.chunk.size);
    WebPDemuxReleaseChunkIterator(&chunk);
    return profile;
  } catch (...) {
    return {};
  }
}

}  // namespace vorlino
